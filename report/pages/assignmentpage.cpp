#include "report/pages/pageframe.h"

#include <algorithm>

// An assignment, question by question in the order of the problem document: the question and its given answer, then
// one student after another, each student's responses with their confidence beside their self-critiques with their
// rating and their notes, so that what a student wrote and how they judged it afterwards are read together.
namespace report::pages {

namespace {

using recordreader::BlockKind;

bool shown(const DocGroup& dg, const std::vector<Item>& list) {
    // text before the first question or the closing line, which nobody answered, is left out
    return isQuestion(dg) || !list.empty();
}

// A student's records of a group: all of them; items, the ones shown here; earlier, how many come before those and
// are left to the student's page.
void studentRecords(Out& out, const Context& context, std::size_t s, std::size_t a, std::size_t g,
                    const std::vector<const Item*>& all, const std::vector<const Item*>& items, bool answered,
                    std::size_t earlier) {
    out.put("<li><h5>");
    out.put(context.studentLink(s));
    out.put("</h5>\n");
    if (earlier > 0) {
        out.put("<p class=\"flag\">The latest ");
        out.num(static_cast<long long>(items.size()));
        out.put(" of this student's records here; the ");
        out.num(static_cast<long long>(earlier));
        out.put(" before them are on <a href=\"");
        context.studentQuestionHref(out, s, a, g);
        out.put("\">the student's page</a>.</p>\n");
    }
    if (!answered) {
        // no given answer stands between them: the records in the order they were written
        records(out, context, items, false, {});
        out.put("</li>\n");
        return;
    }
    std::vector<const Item*> responses;
    std::vector<const Item*> afterwards; // the self-critiques and the notes
    for (const Item* it : items) {
        (afterwardsItem(*it) ? afterwards : responses).push_back(it);
    }
    // a column the latest records leave empty where earlier ones are not: those are on the student's page
    const auto column = [&](const std::vector<const Item*>& list, bool after, std::string_view none) {
        const bool before = list.empty() && std::any_of(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(earlier),
                                                        [&](const Item* it) { return afterwardsItem(*it) == after; });
        if (!before) {
            records(out, context, list, false, none);
            return;
        }
        out.put("<p class=\"none\">Among the earlier records, on <a href=\"");
        context.studentQuestionHref(out, s, a, g);
        out.put("\">the student's page</a>.</p>\n");
    };
    // each record says which rating it carries: the two columns need no headings of their own
    out.put("<div class=\"pair\"><div>\n");
    column(responses, false, "No response.");
    out.put("</div><div>\n");
    column(afterwards, true, "No self-critique.");
    out.put("</div></div></li>\n");
}

} // namespace

void group(Out& out, const Context& context, std::size_t a, std::size_t g, std::size_t part) {
    const AssignmentView& av = context.view.assignments[a];
    const DocGroup& dg = av.doc->groups[g];
    const std::vector<Item>& list = av.groups[g];
    if (!shown(dg, list)) {
        return;
    }
    out.put("<section class=\"question\" id=\"");
    putGroupId(out, a, g);
    out.put("\"><h3>");
    out.put(groupTitle(dg));
    out.put("</h3>\n");
    const Context::Range students = context.groupPart(a, g, part);
    partsLine(out, "Students", " in the order of the index", context.groupParts(a, g), part, students,
              context.records.students.size(),
              [&](std::size_t p) { context.groupHref(out, a, g, context.groupPart(a, g, p).first); });
    if (isQuestion(dg)) {
        docText(out, context, questionText(dg.question), false);
    }
    for (const QString& t : dg.textsBefore) {
        docText(out, context, t, false);
    }
    const bool answered = !dg.answers.isEmpty();
    if (answered) {
        out.put("<h4>Given answer</h4>\n");
        for (const QString& answer : dg.answers) {
            docText(out, context, answer, true);
        }
        for (const QString& t : dg.textsAfter) {
            docText(out, context, t, false);
        }
    }
    bool any = false;
    for (std::size_t s = students.first; s < students.end; ++s) {
        const std::vector<const Item*>& all = context.studentItems(s, a)[g];
        if (all.empty()) {
            continue;
        }
        // a page in parts stays bounded however many times one student answered: the latest, and where the rest are
        const std::size_t earlier = context.split(a) ? all.size() - std::min(all.size(), Context::recordsOnAPage) : 0;
        std::vector<const Item*> latest;
        if (earlier > 0) {
            latest.assign(all.begin() + static_cast<std::ptrdiff_t>(earlier), all.end());
        }
        const std::vector<const Item*>& items = earlier > 0 ? latest : all;
        if (!any) {
            out.put(answered ? "<h4>Student by student: the response, then the self-critique</h4>\n"
                             : "<h4>Student by student</h4>\n");
            out.put("<ol class=\"students\">\n");
            any = true;
        }
        studentRecords(out, context, s, a, g, all, items, answered, earlier);
    }
    out.put(any ? "</ol>\n" : "<p class=\"none\">No responses.</p>\n");
    out.put("</section>\n");
}

void assignment(Out& out, const Context& context, std::size_t a) {
    const AssignmentView& av = context.view.assignments[a];
    out.put("<section class=\"assignment\" id=\"");
    putAssignmentId(out, a);
    out.put("\"><h2>");
    out.isolated(context.assignmentName(a));
    out.put("</h2>\n");
    if (!context.onePage) {
        out.put("<p><a href=\"");
        // built up by appending: GCC 12 warns falsely of overlap on a literal plus a temporary string
        std::string summary = "a";
        summary += std::to_string(a + 1);
        summary += "-summary";
        context.indexHref(out, summary);
        out.put("\">The class's ratings at a glance</a></p>\n");
    }
    if (!av.doc && !av.nbr.isEmpty()) {
        out.put("<p class=\"flag\">The problem document has no assignment ");
        out.isolated(av.nbr);
        out.put("; its records follow as they were read.</p>\n");
    }
    if (av.doc && context.split(a)) {
        // too many records for one page that opens at once: a page per question, listed here
        out.put("<p>A page per question:</p>\n<ul>\n");
        for (std::size_t g = 0; g < av.doc->groups.size(); ++g) {
            const DocGroup& dg = av.doc->groups[g];
            const std::vector<Item>& list = av.groups[g];
            if (!shown(dg, list)) {
                continue;
            }
            const auto critiques = std::count_if(list.begin(), list.end(), [](const Item& i) { return i.critique; });
            out.put("<li><a href=\"");
            context.groupHref(out, a, g);
            out.put("\">");
            out.put(groupTitle(dg));
            out.put("</a>: ");
            out.num(static_cast<long long>(list.size()) - critiques);
            out.put(" responses and notes before the answer, ");
            out.num(critiques);
            out.put(" after it");
            if (context.groupParts(a, g) > 1) {
                out.put("; in parts:");
                for (std::size_t p = 0; p < context.groupParts(a, g); ++p) {
                    out.put(" <a href=\"");
                    context.groupHref(out, a, g, context.groupPart(a, g, p).first);
                    out.put("\">");
                    out.num(static_cast<long long>(p + 1));
                    out.put("</a>");
                }
            }
            out.put("</li>\n");
        }
        out.put("</ul>\n");
    } else if (av.doc) {
        for (std::size_t g = 0; g < av.doc->groups.size(); ++g) {
            group(out, context, a, g, 0);
        }
    }
    if (context.unplacedParts(a) > 0) {
        // more than a page holds, as when the class worked through another course: on pages of their own
        out.put("<section class=\"question\"><h3>");
        out.put(av.doc ? "Entries the problem document does not hold" : "Records");
        out.put("</h3>\n<p>");
        out.num(static_cast<long long>(av.unplaced.size()));
        out.put(" records, on pages of their own:");
        for (std::size_t p = 0; p < context.unplacedParts(a); ++p) {
            out.put(" <a href=\"");
            context.unplacedHref(out, a, p);
            out.put("\">part ");
            out.num(static_cast<long long>(p + 1));
            out.put("</a>");
        }
        out.put("</p></section>\n");
    } else if (!av.unplaced.empty()) {
        unplaced(out, context, a, 0);
    }
    out.put("</section>\n");
}

void unplaced(Out& out, const Context& context, std::size_t a, std::size_t part) {
    const AssignmentView& av = context.view.assignments[a];
    const std::size_t parts = context.unplacedParts(a);
    const std::size_t first = parts > 0 ? part * Context::recordsOnAPage : 0;
    const std::size_t end =
        parts > 0 ? std::min(first + Context::recordsOnAPage, av.unplaced.size()) : av.unplaced.size();
    out.put("<section class=\"question\" id=\"");
    putGroupId(out, a, av.doc ? av.doc->groups.size() : 0);
    out.put("\"><h3>");
    out.put(av.doc ? "Entries the problem document does not hold" : "Records");
    out.put("</h3>\n");
    partsLine(out, "Records", {}, parts, part, {first, end}, av.unplaced.size(),
              [&](std::size_t p) { context.unplacedHref(out, a, p); });
    out.put("<ol class=\"records\">\n");
    for (std::size_t i = first; i < end; ++i) {
        record(out, context, av.unplaced[i], true, true);
    }
    out.put("</ol></section>\n");
}

} // namespace report::pages
