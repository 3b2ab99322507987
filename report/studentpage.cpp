#include "report/pageframe.h"

#include <QFileInfo>

// A student: per assignment and question, the response with its confidence and, beside it, the self-critique with its
// rating and the notes; above them the chart of the two ratings.
namespace report::pages {

namespace {

using recordreader::BlockKind;

void question(Out& out, const Context& context, std::size_t s, std::size_t a, std::size_t g) {
    const DocGroup& dg = context.view.assignments[a].doc->groups[g];
    const std::vector<const Item*>& items = context.studentItems(s, a)[g];
    if (!isQuestion(dg) && items.empty()) {
        return;
    }
    std::vector<const Item*> responses;
    std::vector<const Item*> afterwards; // the self-critiques and the notes
    for (const Item* it : items) {
        (it->critique || it->record->kind == BlockKind::Note ? afterwards : responses).push_back(it);
    }
    out.put("<section class=\"question\" id=\"");
    putCellId(out, s, a);
    out.put("-q");
    out.num(static_cast<long long>(g));
    out.put("\"><h4><a href=\"");
    context.groupHref(out, a, g);
    out.put("\">");
    out.put(groupTitle(dg));
    out.put("</a></h4>\n");
    if (isQuestion(dg)) {
        docText(out, questionText(dg.question), false);
    }
    out.put("<div class=\"pair\"><div><h5>Response and confidence</h5>\n");
    if (responses.empty() && dg.kind == DocGroup::Kind::Question && context.view.cells[s][a].unplaced > 0) {
        // a record the document could not place may be this question's response
        out.put("<p class=\"none\">Not placed: <a href=\"");
        context.studentQuestionHref(out, s, a, context.view.assignments[a].doc->groups.size());
        out.put("\">the records not placed in a question</a> may hold the response.</p>\n");
    } else {
        records(out, context, responses, false, "No response.");
    }
    out.put("</div><div><h5>Self-critique, its rating, and notes</h5>\n");
    records(out, context, afterwards, false, "None.");
    out.put("</div></div></section>\n");
}

} // namespace

void student(Out& out, const Context& context, std::size_t s) {
    const Student& st = context.records.students[s];
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
    chart(out, context, s);
    for (std::size_t a = 0; a < context.view.assignments.size(); ++a) {
        const Cell& c = context.view.cells[s][a];
        if (!c.present) {
            continue;
        }
        const AssignmentView& av = context.view.assignments[a];
        out.put("<section id=\"");
        putCellId(out, s, a);
        out.put("\"><h3><a href=\"");
        context.assignmentHref(out, a);
        out.put("\">");
        out.isolated(context.assignmentName(a));
        out.put("</a></h3>\n");
        if (av.doc) {
            for (std::size_t g = 0; g < av.doc->groups.size(); ++g) {
                question(out, context, s, a, g);
            }
        }
        const std::vector<const Item*>& unplaced = context.studentItems(s, a).back();
        if (!unplaced.empty()) {
            out.put("<h4 id=\"");
            putCellId(out, s, a);
            out.put("-q");
            out.num(static_cast<long long>(av.doc ? av.doc->groups.size() : 0));
            out.put("\">");
            out.put(av.doc ? "Entries the problem document does not hold" : "Records");
            out.put("</h4>\n<ol class=\"records\">\n");
            for (const Item* it : unplaced) {
                record(out, context, *it, false, true);
            }
            out.put("</ol>\n");
        }
        out.put("</section>\n");
    }
    out.put("</section>\n");
}

} // namespace report::pages
