#pragma once

#include "report/read/classrecords.h"

#include <QStringList>

namespace report {

// What standard error says of the reading, a line each, not yet made safe for a terminal: every problem as
// "file:line: what", and the files not read by their reason, a line per reason with how many and the first few of
// them (a class folder may hold thousands of other files; the index lists every one).
QStringList issueLines(const ClassRecords& records);

// Puts the problems in the order a reader follows them: each file's in the order of its lines (what concerns the file
// as a whole first), the files in the order they were read; then the files and folders not read, as they were met.
void orderIssues(ClassRecords& records);

} // namespace report
