#include "report/pages/pageframe.h"

#include <algorithm>
#include <array>

// The index: the class at a glance. An overview of who ran what, per assignment a grid of students by questions with
// both ratings and the cells that need the instructor marked, the class's spread of the ratings, and what could not
// be read.
namespace report::pages {

namespace {

// A rating on the scale, in its shade; the number written always.
void rating(Out& out, const Record* r) {
    const int v = r ? ratingValue(r->ratingText) : -1;
    if (v >= 0) {
        out.put("<span class=\"v");
        out.num(v);
        out.put("\">");
        out.num(v);
        out.put("</span>");
    } else if (!r || r->ratingText.trimmed().isEmpty()) {
        out.put("<span class=\"v\">-</span>");
    } else {
        // typed but not on the scale: as much of it as a cell holds
        out.put("<span class=\"v\"><bdi>");
        out.esc(QStringView(r->ratingText).left(4));
        out.put(r->ratingText.size() > 4 ? "\u2026</bdi></span>" : "</bdi></span>");
    }
}

// A rating as words within an attribute.
void ratingWords(Out& out, std::string_view label, const Record* r) {
    out.put(label);
    const int v = r ? ratingValue(r->ratingText) : -1;
    if (v >= 0) {
        out.num(v);
    } else if (!r || r->ratingText.trimmed().isEmpty()) {
        out.put("none");
    } else {
        out.put("typed as ");
        out.esc(QStringView(r->ratingText).left(40));
    }
}

void overviewCell(Out& out, const Context& context, std::size_t s, std::size_t a) {
    const Cell& c = context.view.cells[s][a];
    if (!c.present) {
        out.put("<td class=\"absent\">not run</td>");
        return;
    }
    const DocAssignment* doc = context.view.assignments[a].doc;
    out.put("<td><a href=\"");
    context.studentAssignmentHref(out, s, a);
    out.put("\">");
    if (doc) {
        out.num(c.answered);
        out.put(" of ");
        out.num(doc->questions);
        out.put(" questions");
        if (c.optionalAnswered > 0) {
            out.put(" (+");
            out.num(c.optionalAnswered);
            out.put(" optional)");
        }
    } else {
        out.put("details");
    }
    out.put("</a><br>");
    out.num(c.responses);
    out.put(c.responses == 1 ? " response" : " responses");
    if (c.notes > 0) {
        out.put(", ");
        out.num(c.notes);
        out.put(c.notes == 1 ? " note" : " notes");
    }
    if (c.first) {
        out.put("<br>");
        appendTimeText(out.raw(), *c.first);
        if (c.last != c.first) {
            out.put(" to<br>");
            appendTimeText(out.raw(), *c.last);
        }
    }
    out.put("</td>");
}

// How many of the class gave each rating, 0 to 3, in the scale's shades.
// How many gave each rating, and how many typed one that reads as none of them.
void spread(Out& out, const std::array<int, 4>& counts, int unread) {
    out.put("<td class=\"spread\">");
    for (int v = 0; v < 4; ++v) {
        out.put("<span class=\"v");
        out.num(v);
        out.put("\">");
        out.num(counts[static_cast<std::size_t>(v)]);
        out.put("</span>");
    }
    if (unread > 0) {
        out.put(" ");
        out.num(unread);
        out.put(" not read");
    }
    out.put("</td>");
}

// A rating typed that is not a number from 0 to 3.
bool unreadable(const Record* r, int value) {
    return r && value < 0 && !r->ratingText.trimmed().isEmpty();
}

} // namespace

void indexTop(Out& out, const Context& context) {
    const ClassRecords& r = context.records;
    out.put("<header>\n<h1>Class report</h1>\n<p>");
    out.num(static_cast<long long>(r.students.size()));
    out.put(r.students.size() == 1 ? " student, " : " students, ");
    out.num(r.files.size());
    out.put(r.files.size() == 1 ? " file read" : " files read");
    // the files not read are among the problems, and listed apart
    const std::size_t problems = r.issues.size() - r.notRead.size();
    if (problems > 0) {
        out.put(", <a href=\"");
        context.indexHref(out, "problems");
        out.put("\">");
        out.num(static_cast<long long>(problems));
        out.put(problems == 1 ? " problem</a> reading them" : " problems</a> reading them");
    }
    if (!r.notRead.empty()) {
        out.put(", <a href=\"");
        context.indexHref(out, "not-read");
        out.put("\">");
        out.num(static_cast<long long>(r.notRead.size()));
        out.put(r.notRead.size() == 1 ? " file not read</a>" : " files not read</a>");
    }
    out.put(".</p>\n");
    navigation(out, context);
    out.put("</header>\n");
}

void overview(Out& out, const Context& context) {
    out.put("<section id=\"overview\"><h2>Overview</h2>\n");
    if (context.records.students.empty()) {
        out.put("<p class=\"none\">No student's records could be read.</p></section>\n");
        return;
    }
    out.put("<div class=\"wide\"><table>\n<thead><tr><th>Student</th>");
    for (std::size_t a = 0; a < context.view.assignments.size(); ++a) {
        out.put("<th><a href=\"#");
        putAssignmentId(out, a);
        out.put("-summary\">");
        out.isolated(context.assignmentName(a));
        out.put("</a></th>");
    }
    out.put("</tr></thead>\n<tbody>\n");
    for (std::size_t s = 0; s < context.records.students.size(); ++s) {
        out.put("<tr><th>");
        out.put(context.studentLink(s));
        out.put("</th>");
        for (std::size_t a = 0; a < context.view.assignments.size(); ++a) {
            overviewCell(out, context, s, a);
        }
        out.put("</tr>\n");
    }
    out.put("</tbody></table></div>\n</section>\n");
}

void assignmentSummary(Out& out, const Context& context, std::size_t a) {
    const AssignmentView& av = context.view.assignments[a];
    out.put("<section class=\"assignment\" id=\"");
    putAssignmentId(out, a);
    out.put("-summary\"><h2>");
    out.isolated(context.assignmentName(a));
    out.put("</h2>\n<p><a href=\"");
    context.assignmentHref(out, a);
    out.put("\">Every response, question by question</a>");
    if (av.doc && !context.gridsOnIndex()) {
        out.put("; the grid of students by questions:");
        for (std::size_t p = 0; p < context.gridParts(a); ++p) {
            out.put(" <a href=\"");
            context.gridHref(out, a, p);
            out.put("\">");
            const Context::Range r = context.gridPart(a, p);
            out.num(static_cast<long long>(r.first + 1));
            out.put(" to ");
            out.num(static_cast<long long>(r.end));
            out.put("</a>");
        }
    }
    out.put("</p>\n");
    if (!av.doc) {
        out.put("<p class=\"flag\">The problem document does not hold this assignment: its questions are not known, "
                "so its records are only on its page.</p></section>\n");
        return;
    }
    // per question, the class: how many gave each rating, and the cells that need the instructor
    out.put("<div class=\"wide\"><table class=\"spreads\">\n<thead><tr><th>Question</th>"
            "<th>Confidence: how many gave 0, 1, 2, 3</th><th>Self-critique: how many gave 0, 1, 2, 3</th>"
            "<th>Marked over-confident</th><th>No response</th></tr></thead>\n<tbody>\n");
    for (std::size_t g = 0; g < av.doc->groups.size(); ++g) {
        const DocGroup& dg = av.doc->groups[g];
        if (!isQuestion(dg)) {
            continue;
        }
        std::array<int, 4> confidence{};
        std::array<int, 4> critique{};
        int unreadConfidence = 0;
        int unreadCritique = 0;
        int marked = 0;
        int missing = 0;
        for (std::size_t s = 0; s < context.records.students.size(); ++s) {
            const Cell& cell = context.view.cells[s][a];
            if (!cell.present) {
                continue;
            }
            const QuestionSummary& q = cell.groups[g];
            const int c = q.confidence ? ratingValue(q.confidence->ratingText) : -1;
            const int k = q.critique ? ratingValue(q.critique->ratingText) : -1;
            confidence[static_cast<std::size_t>(std::max(c, 0))] += c >= 0 ? 1 : 0;
            critique[static_cast<std::size_t>(std::max(k, 0))] += k >= 0 ? 1 : 0;
            unreadConfidence += unreadable(q.confidence, c) ? 1 : 0;
            unreadCritique += unreadable(q.critique, k) ? 1 : 0;
            marked += overConfident(c, k) ? 1 : 0;
            missing += q.responses == 0 && dg.kind == DocGroup::Kind::Question && cell.unplacedResponses == 0 ? 1 : 0;
        }
        out.put("<tr><th><a href=\"");
        context.groupHref(out, a, g);
        out.put("\">");
        out.put(groupTitle(dg));
        out.put("</a></th>");
        spread(out, confidence, unreadConfidence);
        spread(out, critique, unreadCritique);
        out.put("<td>");
        out.num(marked);
        out.put("</td><td>");
        out.num(missing);
        out.put("</td></tr>\n");
    }
    out.put("</tbody></table></div>\n");
    if (context.gridsOnIndex()) {
        grid(out, context, a, 0);
    }
    out.put("</section>\n");
}

void grid(Out& out, const Context& context, std::size_t a, std::size_t part) {
    const AssignmentView& av = context.view.assignments[a];
    const Context::Range range = context.gridPart(a, part);
    std::vector<std::size_t> questions;
    for (std::size_t g = 0; g < av.doc->groups.size(); ++g) {
        if (isQuestion(av.doc->groups[g])) {
            questions.push_back(g);
        }
    }
    out.put("<div id=\"");
    putAssignmentId(out, a);
    out.put(
        "-grid\">\n<p class=\"key\">In each cell the confidence rating above the self-critique rating, "
        "<span class=\"v0\">0</span><span class=\"v1\">1</span><span class=\"v2\">2</span>"
        "<span class=\"v3\">3</span>; - for none. Marked \u201cover-confident\u201d and framed: a confidence of "
        "2 or 3 with a self-critique 2 or more lower; \u201cnone\u201d: a question that is not optional left without a "
        "response. * marks an optional question.</p>\n");
    // the grid scrolls in a box of its own, so that its row of question numbers stays in view at its top
    out.put("<div class=\"wide scroll\"><table class=\"grid\">\n<thead><tr><th>Student</th>");
    for (const std::size_t g : questions) {
        const DocGroup& dg = av.doc->groups[g];
        out.put("<th><a href=\"");
        context.groupHref(out, a, g, range.first);
        out.put("\">");
        out.esc(dg.number);
        out.put(dg.kind == DocGroup::Kind::OptionalQuestion ? "*</a></th>" : "</a></th>");
    }
    out.put("</tr></thead>\n<tbody>\n");
    std::vector<std::size_t> notRun;
    for (std::size_t s = range.first; s < range.end; ++s) {
        const Cell& cell = context.view.cells[s][a];
        if (!cell.present) {
            notRun.push_back(s);
            continue;
        }
        out.put("<tr><th>");
        out.put(context.studentLink(s));
        out.put("</th>");
        for (const std::size_t g : questions) {
            const QuestionSummary& q = cell.groups[g];
            const int c = q.confidence ? ratingValue(q.confidence->ratingText) : -1;
            const int k = q.critique ? ratingValue(q.critique->ratingText) : -1;
            const bool missing = q.responses == 0 && av.doc->groups[g].kind == DocGroup::Kind::Question;
            const bool marked = !missing && overConfident(c, k);
            // a record the document could not place may be this question's response: the cell leads to it
            const bool unplaced = missing && cell.unplacedResponses > 0;
            out.put(missing ? "<td class=\"missing\"><a href=\""
                            : (marked ? "<td class=\"alert\"><a href=\"" : "<td><a href=\""));
            context.studentQuestionHref(out, s, a, unplaced ? av.doc->groups.size() : g);
            // what the cell means, read out in words: the shades and the stacked numbers say nothing to a screen reader
            out.put("\" aria-label=\"");
            appendEscaped(out.raw(), context.records.students[s].name);
            out.put(", question ");
            out.esc(av.doc->groups[g].number);
            if (missing) {
                out.put(unplaced ? ": not placed, a record the problem document could not place may be its response"
                                 : ": none, no response");
                // a self-critique written with no response before it: its rating still shows
                if (q.critique) {
                    ratingWords(out, ", self-critique ", q.critique);
                }
                out.put(unplaced ? "\">not placed" : "\">none");
                if (q.critique) {
                    rating(out, q.confidence);
                    rating(out, q.critique);
                }
            } else {
                ratingWords(out, ": confidence ", q.confidence);
                ratingWords(out, ", self-critique ", q.critique);
                out.put(marked ? ", over-confident\">" : "\">");
                rating(out, q.confidence);
                rating(out, q.critique);
                out.put(marked ? "<span class=\"mark\">over-confident</span>" : "");
            }
            out.put("</a></td>");
        }
        out.put("</tr>\n");
    }
    out.put("</tbody></table></div>\n");
    if (!notRun.empty()) {
        out.put("<p>Not run by: ");
        for (std::size_t i = 0; i < notRun.size(); ++i) {
            out.put(i > 0 ? ", " : "");
            out.put(context.studentLink(notRun[i]));
        }
        out.put(".</p>\n");
    }
    out.put("</div>\n");
}

void issueItem(Out& out, const Issue& issue) {
    out.put("<li><code><bdi>");
    out.esc(issue.file);
    out.put("</bdi>");
    if (issue.line > 0) {
        out.put(":");
        out.num(issue.line);
    }
    out.put("</code>: ");
    out.isolated(issue.message);
    if (!issue.text.isEmpty()) {
        out.put("<pre dir=\"auto\">");
        out.esc(issue.text.first(std::min(issue.text.size(), longestShownText)));
        out.put(issue.text.size() > longestShownText ? "</pre><p class=\"flag\">Cut: the lines are longer than a page "
                                                       "shows; the whole of them is in the file.</p>"
                                                     : "</pre>");
    }
    out.put("</li>\n");
}

void problems(Out& out, const Context& context) {
    const std::vector<std::size_t>& list = context.issues(Context::Issues::Problems);
    if (context.problemsOnPages()) {
        issueSummary(out, context, Context::Issues::Problems);
    } else if (!list.empty()) {
        out.put("<section id=\"problems\"><h2>Problems reading the files</h2>\n<p>Everything else in these files "
                "is in the report.</p>\n<ul>\n");
        for (const std::size_t i : list) {
            issueItem(out, context.records.issues[i]);
        }
        out.put("</ul>\n</section>\n");
    }
}

} // namespace report::pages
