#pragma once

#include <QString>
#include <QStringView>

namespace numbertext {

// The number at the start of a text: blanks, tabs and line feeds are skipped, a sign, digits, one decimal point and
// an exponent are taken, and reading stops at the first character that cannot continue the number; 0 when none.
double readNumber(QStringView text);

// A number as text: a blank (or a minus sign) before its digits, in the shortest decimal form.
QString numberText(double value);

// A number as an item of a record line: numberText followed by one blank.
QString numberItem(double value);

// An assignment number as the student typed it, padded to three characters: "5" gives "005", "12" gives "012".
QString padAssignmentNbr(const QString& typed);

// The number of the assignment after the given one, padded the same way: "005" gives "006", "abc" gives "001".
QString followingAssignmentNbr(const QString& assignmentNbr);

} // namespace numbertext
