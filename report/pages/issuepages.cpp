#include "report/pages/pageframe.h"

#include <QHash>

#include <algorithm>

// The files that were not read, and the problems in the files that were: on the index how many for each reason, the
// lists themselves on pages of their own. A folder a class unpacked may hold tens of thousands of other files, and a
// class that worked through another course than the one given has a problem for every record; either would bury the
// index.
namespace report::pages {

namespace {

using Issues = Context::Issues;

// The reasons that the index lists one by one; the rest are counted together.
constexpr std::size_t reasonsListed = 20;

QStringView reasonOf(const Issue& issue) {
    const QStringView message(issue.message);
    const QStringView prefix = u"not read: ";
    return message.startsWith(prefix) ? message.mid(prefix.size()) : message;
}

std::string_view heading(Issues which) {
    return which == Issues::NotRead ? "Files not read" : "Problems reading the files";
}

} // namespace

void issueSummary(Out& out, const Context& context, Issues which) {
    const std::vector<std::size_t>& list = context.issues(which);
    if (list.empty()) {
        return;
    }
    // by reason, in the order first met, then the most frequent first
    QHash<QStringView, std::size_t> at;
    std::vector<std::pair<QStringView, std::size_t>> reasons;
    for (const std::size_t i : list) {
        const QStringView reason = reasonOf(context.records.issues[i]);
        const auto found = at.constFind(reason);
        if (found == at.constEnd()) {
            at.insert(reason, reasons.size());
            reasons.emplace_back(reason, 1);
        } else {
            ++reasons[*found].second;
        }
    }
    std::stable_sort(reasons.begin(), reasons.end(), [](const auto& x, const auto& y) { return x.second > y.second; });
    const bool notRead = which == Issues::NotRead;
    out.put(notRead ? "<section id=\"not-read\"><h2>" : "<section id=\"problems\"><h2>");
    out.put(heading(which));
    out.put("</h2>\n<p>");
    out.num(static_cast<long long>(list.size()));
    if (notRead) {
        out.put(list.size() == 1 ? " file was not read; " : " files were not read; ");
    } else {
        out.put(" problems in the files read; everything else in them is in the report. ");
    }
    out.put("<a href=\"");
    context.issuesHref(out, which, 0);
    out.put(notRead ? "\">each with its reason</a>.</p>\n" : "\">Each with its file and line</a>.</p>\n");
    out.put(notRead ? "<div class=\"wide\"><table>\n<thead><tr><th>Reason</th><th>Files</th>"
                    : "<div class=\"wide\"><table>\n<thead><tr><th>Problem</th><th>Times</th>");
    out.put("</tr></thead>\n<tbody>\n");
    std::size_t others = 0;
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        if (i >= reasonsListed) {
            others += reasons[i].second;
            continue;
        }
        out.put("<tr><td>");
        out.isolated(reasons[i].first);
        out.put("</td><td>");
        out.num(static_cast<long long>(reasons[i].second));
        out.put("</td></tr>\n");
    }
    if (others > 0) {
        out.put(notRead ? "<tr><td>Other reasons</td><td>" : "<tr><td>Other problems</td><td>");
        out.num(static_cast<long long>(others));
        out.put("</td></tr>\n");
    }
    out.put("</tbody></table></div>\n");
    if (context.onePage) {
        issueList(out, context, which, 0);
    }
    out.put("</section>\n");
}

void issueList(Out& out, const Context& context, Issues which, std::size_t part) {
    const std::vector<std::size_t>& list = context.issues(which);
    const std::size_t first = context.onePage ? 0 : part * Context::issuesOnAPage;
    const std::size_t end = context.onePage ? list.size() : std::min(first + Context::issuesOnAPage, list.size());
    if (context.onePage) {
        out.put(which == Issues::NotRead ? "<div id=\"not-read-list\">" : "<div id=\"problem-list\">");
    } else {
        out.put("<h2>");
        out.put(heading(which));
        out.put("</h2>\n");
    }
    partsLine(out, which == Issues::NotRead ? "Files" : "Problems", {}, context.issueParts(which), part, {first, end},
              list.size(), [&](std::size_t p) { context.issuesHref(out, which, p); });
    out.put("<ul>\n");
    for (std::size_t i = first; i < end; ++i) {
        issueItem(out, context.records.issues[list[i]]);
    }
    out.put(context.onePage ? "</ul></div>\n" : "</ul>\n");
}

} // namespace report::pages
