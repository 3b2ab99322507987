#include "report/pages/pageframe.h"

#include <QByteArray>

#include <array>
#include <cmath>
#include <utility>

// A student's confidence against their self-critique: one point per pair of ratings, the count written in it, and
// every point traced to its questions by its title and by the table under the chart.
namespace report::pages {

namespace {

using Where = std::pair<std::size_t, std::size_t>; // assignment, group

// In a title plain text; in the table isolated from the words around it.
void questionName(Out& out, const Context& context, Where w, bool isolated) {
    const AssignmentView& av = context.view.assignments[w.first];
    if (isolated) {
        out.isolated(av.nbr);
    } else {
        out.esc(av.nbr);
    }
    out.put(" ");
    out.put(groupTitle(av.doc->groups[w.second]));
}

} // namespace

void chart(Out& out, const Context& context, std::size_t s) {
    std::array<std::array<std::vector<Where>, 4>, 4> points{};
    int pairs = 0;
    int agree = 0;
    int notOnScale = 0;
    for (std::size_t a = 0; a < context.view.assignments.size(); ++a) {
        const std::vector<QuestionSummary>& groups = context.view.cells[s][a].groups;
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const QuestionSummary& q = groups[g];
            if (!q.confidence || !q.critique) {
                continue;
            }
            const int c = ratingValue(q.confidence->ratingText);
            const int k = ratingValue(q.critique->ratingText);
            if (c < 0 || k < 0) {
                ++notOnScale;
                continue;
            }
            points[static_cast<std::size_t>(c)][static_cast<std::size_t>(k)].emplace_back(a, g);
            ++pairs;
            agree += c == k ? 1 : 0;
        }
    }
    std::size_t most = 1;
    for (const auto& row : points) {
        for (const auto& p : row) {
            most = std::max(most, p.size());
        }
    }
    const auto x = [](int c) { return 62 + c * 44; };
    const auto y = [](int k) { return 152 - k * 40; };
    out.put("<figure class=\"chart\"><svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 240 210\" "
            "role=\"img\" aria-labelledby=\"");
    putStudentId(out, s);
    out.put("-chart\"><title id=\"");
    putStudentId(out, s);
    out.put("-chart\">Confidence against self-critique ratings of ");
    out.esc(context.records.students[s].name);
    out.put("</title>\n<rect x=\"40\" y=\"12\" width=\"190\" height=\"160\" fill=\"none\" stroke=\"#888\"/>\n"
            "<line x1=\"62\" y1=\"152\" x2=\"194\" y2=\"32\" stroke=\"#888\" stroke-dasharray=\"4 3\"/>\n");
    for (int v = 0; v < 4; ++v) {
        out.putFilled("<text x=\"%1\" y=\"188\" text-anchor=\"middle\">%2</text>"
                      "<text x=\"30\" y=\"%3\" text-anchor=\"middle\">%2</text>\n",
                      {Digits(x(v)), Digits(v), Digits(y(v) + 4)});
    }
    out.put("<text x=\"135\" y=\"205\" text-anchor=\"middle\">confidence</text>\n"
            "<text x=\"12\" y=\"92\" text-anchor=\"middle\" transform=\"rotate(-90 12 92)\">self-critique</text>\n");
    for (int c = 0; c < 4; ++c) {
        for (int k = 0; k < 4; ++k) {
            const std::vector<Where>& at = points[static_cast<std::size_t>(c)][static_cast<std::size_t>(k)];
            if (at.empty()) {
                continue;
            }
            const double r = 7.0 + 11.0 * std::sqrt(static_cast<double>(at.size()) / static_cast<double>(most));
            const std::string radius = QByteArray::number(r, 'f', 1).toStdString();
            out.putFilled("<g><title>confidence %1, self-critique %2: ", {Digits(c), Digits(k)});
            for (std::size_t i = 0; i < at.size(); ++i) {
                out.put(i > 0 ? ", " : "");
                questionName(out, context, at[i], false);
            }
            out.putFilled(
                "</title><circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"#cfd8e6\" stroke=\"#234\"/>"
                "<text x=\"%1\" y=\"%4\" text-anchor=\"middle\">%5</text></g>\n",
                {Digits(x(c)), Digits(y(k)), radius, Digits(y(k) + 4), Digits(static_cast<long long>(at.size()))});
        }
    }
    out.put("</svg>\n<figcaption>");
    if (pairs == 0) {
        out.put("No question has both a confidence and a self-critique rating on the 0 to 3 scale.");
    } else {
        out.num(pairs);
        out.put(pairs == 1 ? " question" : " questions");
        out.put(" with both ratings (the last of each); on ");
        out.num(agree);
        out.put(" the two agree (dashed line). Points above the line: the critique rated higher than the "
                "confidence.");
    }
    if (notOnScale > 0) {
        out.put(" ");
        out.num(notOnScale);
        out.put(" more with a rating not on the scale.");
    }
    out.put("</figcaption></figure>\n");
    if (pairs == 0) {
        return;
    }
    out.put("<div class=\"wide\"><table class=\"points\"><thead><tr><th>Confidence</th><th>Self-critique</th>"
            "<th>Questions</th></tr></thead><tbody>\n");
    for (int c = 0; c < 4; ++c) {
        for (int k = 0; k < 4; ++k) {
            const std::vector<Where>& at = points[static_cast<std::size_t>(c)][static_cast<std::size_t>(k)];
            if (at.empty()) {
                continue;
            }
            out.putFilled("<tr><td>%1</td><td>%2</td><td>", {Digits(c), Digits(k)});
            for (std::size_t i = 0; i < at.size(); ++i) {
                out.put(i > 0 ? ", <a href=\"" : "<a href=\"");
                context.studentQuestionHref(out, s, at[i].first, at[i].second);
                out.put("\">");
                questionName(out, context, at[i], true);
                out.put("</a>");
            }
            out.put("</td></tr>\n");
        }
    }
    out.put("</tbody></table></div>\n");
}

} // namespace report::pages
