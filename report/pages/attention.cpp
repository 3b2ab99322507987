#include "report/pages/pageframe.h"

#include <algorithm>

// The students who most need the instructor, at the top of the index whatever the class's size: a class of a thousand
// spreads its marks over many grid pages sorted by name.
namespace report::pages {

namespace {

// Short enough to take in at a glance, long enough for a week's office hours.
constexpr std::size_t listed = 10;

struct Need {
    std::size_t student = 0;
    int overConfident = 0;
    // questions that are not optional, in the assignments the student ran, without a response: at least so many, where
    // records the document could not place may be the responses of some
    int withoutResponse = 0;
};

} // namespace

void attention(Out& out, const Context& context) {
    std::vector<Need> needs;
    for (std::size_t s = 0; s < context.records.students.size(); ++s) {
        Need need{s, 0, 0};
        for (std::size_t a = 0; a < context.view.assignments.size(); ++a) {
            const Cell& cell = context.view.cells[s][a];
            const DocAssignment* doc = context.view.assignments[a].doc;
            if (!cell.present || !doc) {
                continue;
            }
            int none = 0;
            for (std::size_t g = 0; g < doc->groups.size(); ++g) {
                const QuestionSummary& q = cell.groups[g];
                if (doc->groups[g].kind == DocGroup::Kind::Question && q.responses == 0) {
                    ++none;
                } else if (isQuestion(doc->groups[g]) && q.confidence && q.critique &&
                           overConfident(ratingValue(q.confidence->ratingText), ratingValue(q.critique->ratingText))) {
                    ++need.overConfident;
                }
            }
            // each record the document could not place may be the response of one of them, and of one only
            need.withoutResponse += std::max(0, none - cell.unplacedResponses);
        }
        if (need.overConfident > 0 || need.withoutResponse > 0) {
            needs.push_back(need);
        }
    }
    // the most over-confident first, then the most left without a response, then in the order of the index
    const auto first = [](const Need& x, const Need& y) {
        if (x.overConfident != y.overConfident) {
            return x.overConfident > y.overConfident;
        }
        if (x.withoutResponse != y.withoutResponse) {
            return x.withoutResponse > y.withoutResponse;
        }
        return x.student < y.student;
    };
    const std::size_t shown = std::min(needs.size(), listed);
    std::partial_sort(needs.begin(), needs.begin() + static_cast<std::ptrdiff_t>(shown), needs.end(), first);

    out.put("<section id=\"attention\"><h2>Who needs attention first</h2>\n");
    if (needs.empty()) {
        out.put("<p class=\"none\">No student has a question marked over-confident or a question that is not "
                "optional left without a response.</p>\n</section>\n");
        return;
    }
    out.put("<p>The students with the most questions marked over-confident (a confidence of 2 or 3 with a "
            "self-critique 2 or more lower), then the most questions that are not optional left without a response "
            "in the assignments they ran; at most ");
    out.num(static_cast<long long>(listed));
    out.put(".</p>\n<div class=\"wide\"><table class=\"attention\">\n<thead><tr><th>Student</th>"
            "<th>Marked over-confident</th><th>Without a response</th></tr></thead>\n<tbody>\n");
    for (std::size_t i = 0; i < shown; ++i) {
        out.put("<tr><th>");
        out.put(context.studentLink(needs[i].student));
        out.put("</th><td>");
        out.num(needs[i].overConfident);
        out.put("</td><td>");
        out.num(needs[i].withoutResponse);
        out.put("</td></tr>\n");
    }
    out.put("</tbody></table></div>\n");
    if (needs.size() > shown) {
        out.put("<p>");
        out.num(static_cast<long long>(needs.size() - shown));
        out.put(needs.size() - shown == 1 ? " more student has" : " more students have");
        out.put(" a question marked or left without a response; the grids show every one.</p>\n");
    }
    out.put("</section>\n");
}

} // namespace report::pages
