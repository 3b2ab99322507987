#pragma once

#include <QString>

#include <functional>

namespace linecoding {

// Content lines pass through here on their way to a record file; the line comes back as it is.
QString code(const QString& aLine, float codeNbr);

// The text without its blanks and hyphens: "exit-prog" and "graph 1" become "exitprog" and "graph1".
QString remSpaces(const QString& aLine);

// A filler line of codeNbr passes drawn from the run's random sequence: each pass adds, one time in ten, a
// character from 66 to 116, and always one from 118 to 255. So the line holds no blank, digit or small u.
QString makeCodeLine(float codeNbr, const std::function<float()>& rnd);

} // namespace linecoding
