#pragma once

#include "report/classview.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace report {

// One field of a CSV line: quoted when it holds a comma, a quote, a line break or blanks at its ends, quotes
// doubled. A field that a spreadsheet would take for a formula (=, +, -, @ first, and not a plain number) gets an
// apostrophe in front, so that a file's text is shown and never run.
QString csvField(QStringView text);

// One row per student and question of every assignment the student ran: both ratings, the last of each, with their
// times and counts. UTF-8 with a byte-order mark, for spreadsheets; CR LF line ends.
QByteArray csvReport(const ClassRecords& records, const ClassView& view);

} // namespace report
