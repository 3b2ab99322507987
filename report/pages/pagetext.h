#pragma once

#include <QString>
#include <QStringView>

#include <string>

namespace report {

// Text from a record file as HTML text in UTF-8: the markup characters as character references, control characters
// as their visible pictures, the marks and overrides of writing direction as their code ("[U+202E]"), line breaks as
// they are, so that whatever a student typed shows as typed and never as markup or as a turn of the page's lines.
void appendEscaped(std::string& out, QStringView text);
QString escaped(QStringView text);

// A rating as a number from 0 to 3, or -1 when it is not one.
int ratingValue(QStringView typed);

} // namespace report
