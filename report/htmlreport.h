#pragma once

#include "report/classview.h"

#include <QIODevice>
#include <QString>
#include <QStringView>

#include <string>

namespace report {

// Text from a record file as HTML text in UTF-8: the markup characters as character references, control characters
// as their visible pictures, line breaks as they are, so that whatever a student typed shows as typed and never as
// markup.
void appendEscaped(std::string& out, QStringView text);
QString escaped(QStringView text);

// The whole report, written to the device as UTF-8: one self-contained page, its style inline and allowed by its
// hash, no script, nothing loaded from anywhere. False when the device fails.
bool writeHtmlReport(const ClassRecords& records, const ClassView& view, QIODevice& device);
// The same page as text.
QString htmlReport(const ClassRecords& records, const ClassView& view);

// A rating as a number from 0 to 3, or -1 when it is not one.
int ratingValue(QStringView typed);

} // namespace report
