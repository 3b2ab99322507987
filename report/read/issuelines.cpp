#include "report/read/issuelines.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <vector>

namespace report {

namespace {

constexpr qsizetype examplesShown = 3;

QString issueLine(const Issue& issue) {
    return issue.line > 0 ? QStringLiteral("%1:%2: %3").arg(issue.file).arg(issue.line).arg(issue.message)
                          : QStringLiteral("%1: %2").arg(issue.file, issue.message);
}

} // namespace

QStringList issueLines(const ClassRecords& records) {
    std::vector<bool> notRead(records.issues.size());
    QHash<QString, std::vector<std::size_t>> byReason; // the message, "not read: " and its reason
    for (const std::size_t i : records.notRead) {
        notRead[i] = true;
        byReason[records.issues[i].message].push_back(i);
    }
    QStringList lines;
    for (std::size_t i = 0; i < records.issues.size(); ++i) {
        const Issue& issue = records.issues[i];
        if (!notRead[i]) {
            lines << issueLine(issue);
            continue;
        }
        const auto same = byReason.constFind(issue.message);
        if (same == byReason.constEnd() || same->front() != i) {
            continue; // told with the first file of its reason
        }
        if (same->size() == 1) {
            lines << issueLine(issue);
            continue;
        }
        QStringList examples;
        for (std::size_t k = 0; k < same->size() && examples.size() < examplesShown; ++k) {
            examples << records.issues[(*same)[k]].file;
        }
        const auto more = static_cast<qsizetype>(same->size()) - examples.size();
        lines << QStringLiteral("qadrill-report: %1 files %2: %3%4")
                     .arg(same->size())
                     .arg(issue.message, examples.join(QStringLiteral(", ")),
                          more > 0 ? QStringLiteral(" and %1 more, each listed in the report").arg(more) : QString());
    }
    return lines;
}

void orderIssues(ClassRecords& records) {
    QHash<QString, qsizetype> fileAt;
    for (qsizetype i = records.files.size() - 1; i >= 0; --i) {
        fileAt.insert(records.files[i], i); // the first of a file given twice
    }
    // each problem's place looked up once: a class read against another course has one for every record
    const qsizetype notRead = records.files.size();
    std::vector<std::pair<qsizetype, qsizetype>> place; // the file's place, and the line where the file was read
    place.reserve(records.issues.size());
    for (const Issue& issue : records.issues) {
        const qsizetype file = fileAt.value(issue.file, notRead);
        place.emplace_back(file, file < notRead ? issue.line : 0);
    }
    std::vector<std::size_t> order(records.issues.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return place[a] < place[b]; });
    std::vector<Issue> ordered;
    ordered.reserve(order.size());
    std::vector<std::size_t> at(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        at[order[i]] = i;
        ordered.push_back(std::move(records.issues[order[i]]));
    }
    records.issues = std::move(ordered);
    for (std::size_t& i : records.notRead) {
        i = at[i];
    }
    std::sort(records.notRead.begin(), records.notRead.end());
}

} // namespace report
