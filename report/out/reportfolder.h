#pragma once

#include "report/pages/htmlreport.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace report {

// Where a folder of pages failed, and why.
struct FolderFailure {
    QString path;
    QString reason;
};

// Puts the pages into the folder, which stands already, as one report: the earlier report there stays as it was
// until every new page is written, and comes back whole when a page cannot be put in place. Every page is first made
// in a working folder of the report's own, .qadrill-report.tmp, on the folder's file system; then the earlier
// index.html is moved aside there, each page that stands likewise as the new one takes its name, and the new
// index.html comes last, so that no index ever links to pages of another report; only then are the pages put aside,
// and the pages of the earlier report that this one did not write again, removed. A run that was killed while it
// put pages in place left the working folder behind with its plan, and the next run puts the earlier report back
// from it before anything else. A page's name that is a symbolic link is followed: what it names is replaced.
// What is not a failure but the user should hear (an earlier page that could not be removed) goes to tell.
// alongside, when given, puts in place what goes with the pages (the table) once they all are: when it fails, the
// earlier report comes back.
std::optional<FolderFailure> writeReportFolder(const QString& folder, const std::vector<ReportPage>& pages,
                                               const std::function<void(const QString&)>& tell,
                                               const std::function<std::optional<FolderFailure>()>& alongside = {});

} // namespace report
