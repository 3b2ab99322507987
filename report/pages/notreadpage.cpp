#include "report/pages/pageframe.h"

#include <QHash>

#include <algorithm>

// The files that were not read: on the index how many for each reason, the list itself on pages of its own. A folder
// a class unpacked may hold tens of thousands of other files, which would bury the index.
namespace report::pages {

namespace {

// The reasons that the index lists one by one; the rest are counted together.
constexpr std::size_t reasonsListed = 20;

QStringView reasonOf(const Issue& issue) {
    const QStringView message(issue.message);
    const QStringView prefix = u"not read: ";
    return message.startsWith(prefix) ? message.mid(prefix.size()) : message;
}

} // namespace

void notReadSummary(Out& out, const Context& context) {
    const ClassRecords& r = context.records;
    if (r.notRead.empty()) {
        return;
    }
    // by reason, in the order first met, then the most frequent first
    QHash<QStringView, std::size_t> at;
    std::vector<std::pair<QStringView, std::size_t>> reasons;
    for (const std::size_t i : r.notRead) {
        const QStringView reason = reasonOf(r.issues[i]);
        const auto found = at.constFind(reason);
        if (found == at.constEnd()) {
            at.insert(reason, reasons.size());
            reasons.emplace_back(reason, 1);
        } else {
            ++reasons[*found].second;
        }
    }
    std::stable_sort(reasons.begin(), reasons.end(), [](const auto& x, const auto& y) { return x.second > y.second; });
    out.put("<section id=\"not-read\"><h2>Files not read</h2>\n<p>");
    out.num(static_cast<long long>(r.notRead.size()));
    out.put(r.notRead.size() == 1 ? " file was not read; " : " files were not read; ");
    out.put("<a href=\"");
    context.notReadHref(out, 0);
    out.put("\">each with its reason</a>.</p>\n<div class=\"wide\"><table>\n<thead><tr><th>Reason</th><th>Files</th>"
            "</tr></thead>\n<tbody>\n");
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
        out.put("<tr><td>Other reasons</td><td>");
        out.num(static_cast<long long>(others));
        out.put("</td></tr>\n");
    }
    out.put("</tbody></table></div>\n");
    if (context.onePage) {
        notReadList(out, context, 0);
    }
    out.put("</section>\n");
}

void notReadList(Out& out, const Context& context, std::size_t part) {
    const std::vector<std::size_t>& notRead = context.records.notRead;
    const std::size_t first = context.onePage ? 0 : part * Context::notReadOnAPage;
    const std::size_t end =
        context.onePage ? notRead.size() : std::min(first + Context::notReadOnAPage, notRead.size());
    out.put(context.onePage ? "<div id=\"not-read-list\">" : "<h2>Files not read</h2>\n");
    const std::size_t parts = context.notReadParts();
    if (parts > 1) {
        out.put("<p>Files ");
        out.num(static_cast<long long>(first + 1));
        out.put(" to ");
        out.num(static_cast<long long>(end));
        out.put(" of ");
        out.num(static_cast<long long>(notRead.size()));
        out.put("; the others:");
        for (std::size_t p = 0; p < parts; ++p) {
            if (p != part) {
                out.put(" <a href=\"");
                context.notReadHref(out, p);
                out.put("\">part ");
                out.num(static_cast<long long>(p + 1));
                out.put("</a>");
            }
        }
        out.put("</p>\n");
    }
    out.put("<ul>\n");
    for (std::size_t i = first; i < end; ++i) {
        issueItem(out, context.records.issues[notRead[i]]);
    }
    out.put(context.onePage ? "</ul></div>\n" : "</ul>\n");
}

} // namespace report::pages
