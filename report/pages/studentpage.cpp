#include "report/pages/pageframe.h"

#include <QFileInfo>

#include <algorithm>

// A student: per assignment and question, the response with its confidence and, beside it, the self-critique with its
// rating and the notes; above them the chart of the two ratings. A student whose records hold more than a page's worth
// gets a page in parts, each linked from the others.
namespace report::pages {

namespace {

using recordreader::BlockKind;
using Position = Context::Position;

// The records of a group that the part holds: [first, end) of the group's list.
struct Shown {
    std::size_t first = 0;
    std::size_t end = 0;
};

// Where the group's list meets a bound of the part: the index of the first record at or after it.
std::size_t boundIn(std::size_t size, std::size_t a, std::size_t g, const Position& bound) {
    if (Position{a, g, 0} >= bound) {
        return 0;
    }
    return bound.a == a && bound.g == g ? std::min(bound.i, size) : size;
}

Shown shownOf(std::size_t size, std::size_t a, std::size_t g, const Position& start, const Position& end) {
    return {boundIn(size, a, g, start), std::max(boundIn(size, a, g, start), boundIn(size, a, g, end))};
}

void question(Out& out, const Context& context, std::size_t s, std::size_t a, std::size_t g, const Position& start,
              const Position& end) {
    const DocGroup& dg = context.view.assignments[a].doc->groups[g];
    const std::vector<const Item*>& items = context.studentItems(s, a)[g];
    const bool begins = start <= Position{a, g, 0} && Position{a, g, 0} < end;
    const Shown shown = shownOf(items.size(), a, g, start, end);
    if (!begins && shown.first == shown.end) {
        return;
    }
    std::vector<const Item*> responses;
    std::vector<const Item*> afterwards; // the self-critiques and the notes
    for (std::size_t i = shown.first; i < shown.end; ++i) {
        (afterwardsItem(*items[i]) ? afterwards : responses).push_back(items[i]);
    }
    // a column this part leaves empty where another part of the page holds records of it: a link there, not "none"
    const auto elsewhere = [&](bool after) -> bool {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (i < shown.first || i >= shown.end) { // on another part
                if (afterwardsItem(*items[i]) == after) {
                    out.put("<p class=\"none\">On <a href=\"");
                    const std::size_t part = context.studentPartOf(s, {a, g, i});
                    context.studentHref(out, s, part);
                    out.put("\">part ");
                    out.num(static_cast<long long>(part + 1));
                    out.put("</a> of this student's page.</p>\n");
                    return true;
                }
            }
        }
        return false;
    };
    if (begins) {
        out.put("<section class=\"question\" id=\"");
        putCellId(out, s, a);
        out.put("-q");
        out.num(static_cast<long long>(g));
        out.put("\">");
    } else {
        out.put("<section class=\"question\">");
    }
    out.put("<h4><a href=\"");
    context.groupHref(out, a, g, s);
    out.put("\">");
    out.put(groupTitle(dg));
    out.put(begins ? "</a></h4>\n" : "</a>, continued</h4>\n");
    if (isQuestion(dg) && begins) {
        docText(out, context, questionText(dg.question), false);
    }
    out.put("<div class=\"pair\"><div><h5>Response and confidence</h5>\n");
    if (responses.empty() && elsewhere(false)) {
        // said where
    } else if (responses.empty() && dg.kind == DocGroup::Kind::Question &&
               context.view.cells[s][a].unplacedResponses > 0) {
        // a record the document could not place may be this question's response
        out.put("<p class=\"none\">Not placed: <a href=\"");
        context.studentQuestionHref(out, s, a, context.view.assignments[a].doc->groups.size());
        out.put("\">the records not placed in a question</a> may hold the response.</p>\n");
    } else {
        records(out, context, responses, false, "No response.");
    }
    out.put("</div><div><h5>Self-critique, its rating, and notes</h5>\n");
    if (!afterwards.empty() || !elsewhere(true)) {
        records(out, context, afterwards, false, "None.");
    }
    out.put("</div></div></section>\n");
}

// Which part this is, and links to the others, each named by the assignment it begins in.
void studentParts(Out& out, const Context& context, std::size_t s, std::size_t part) {
    const std::size_t parts = context.studentParts(s);
    if (parts < 2) {
        return;
    }
    out.put("<p>Part ");
    out.num(static_cast<long long>(part + 1));
    out.put(" of ");
    out.num(static_cast<long long>(parts));
    out.put(" of this student's page; the others:");
    for (std::size_t p = 0; p < parts; ++p) {
        if (p == part) {
            continue;
        }
        out.put(" <a href=\"");
        context.studentHref(out, s, p);
        out.put("\">part ");
        out.num(static_cast<long long>(p + 1));
        out.put("</a> (from ");
        const std::size_t a = context.studentPartStart(s, p).a;
        out.isolated(a < context.view.assignments.size() ? context.assignmentName(a) : QString());
        out.put(")");
    }
    out.put("</p>\n");
}

} // namespace

void student(Out& out, const Context& context, std::size_t s, std::size_t part) {
    const Student& st = context.records.students[s];
    const Position start = context.studentPartStart(s, part);
    const Position end = context.studentPartEnd(s, part);
    out.put("<section class=\"student\" id=\"");
    putStudentId(out, s);
    out.put("\"><h2>");
    out.isolated(st.name);
    out.put("</h2>\n<p class=\"summary\">Files: ");
    for (std::size_t f = 0; f < st.files.size(); ++f) {
        out.put(f > 0 ? ", <code>" : "<code>");
        out.isolated(QFileInfo(context.records.files[st.files[f]]).fileName());
        out.put("</code>");
    }
    out.put("</p>\n");
    studentParts(out, context, s, part);
    if (part == 0) {
        chart(out, context, s);
    }
    for (std::size_t a = start.a; a < context.view.assignments.size() && Position{a, 0, 0} < end; ++a) {
        const Cell& c = context.view.cells[s][a];
        if (!c.present) {
            continue;
        }
        const AssignmentView& av = context.view.assignments[a];
        const bool begins = start <= Position{a, 0, 0};
        if (begins) {
            out.put("<section id=\"");
            putCellId(out, s, a);
            out.put("\">");
        } else {
            out.put("<section>");
        }
        out.put("<h3><a href=\"");
        context.assignmentHref(out, a);
        out.put("\">");
        out.isolated(context.assignmentName(a));
        out.put(begins ? "</a></h3>\n" : "</a>, continued</h3>\n");
        if (av.doc) {
            for (std::size_t g = 0; g < av.doc->groups.size(); ++g) {
                if (shownForStudent(av, g, context.studentItems(s, a)[g])) {
                    question(out, context, s, a, g, start, end);
                }
            }
        }
        const std::vector<const Item*>& unplaced = context.studentItems(s, a).back();
        const std::size_t last = context.studentItems(s, a).size() - 1;
        const Shown shown = shownOf(unplaced.size(), a, last, start, end);
        if (shown.first < shown.end) {
            out.put("<h4 id=\"");
            putCellId(out, s, a);
            out.put("-q");
            out.num(static_cast<long long>(last));
            out.put("\">");
            out.put(av.doc ? "Entries the problem document does not hold" : "Records");
            out.put("</h4>\n<ol class=\"records\">\n");
            for (std::size_t i = shown.first; i < shown.end; ++i) {
                record(out, context, *unplaced[i], false, true);
            }
            out.put("</ol>\n");
        }
        out.put("</section>\n");
    }
    out.put("</section>\n");
}

} // namespace report::pages
