#include "report/read/issuelines.h"

#include <QHash>

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

} // namespace report
