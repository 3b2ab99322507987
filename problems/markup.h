#pragma once

#include <QString>
#include <QStringView>

// The markup of the problem document. Only the first characters of a line decide what it is.
namespace markup {

inline constexpr QStringView questionMarker = u"`q";
inline constexpr QStringView answerMarker = u"`a";
inline constexpr QStringView routineMarker = u"`routine";
inline constexpr QStringView endOfTextMarker = u"####.#";
inline constexpr QStringView closingText = u"end program";

enum class LineKind { Heading, Separator, Question, Answer, Routine, Closing, Text };

// "`q" at the very start, case as written.
bool beginsWithQuestionMarker(QStringView line);
// "`q" at the start after lower-casing: "`Q" counts too.
bool beginsWithQuestionMarkerAnyCase(QStringView line);
// "`a" at the very start, case as written.
bool beginsWithAnswerMarker(QStringView line);
// "`routine" as the first eight characters, after lower-casing.
bool beginsWithRoutineMarker(QStringView line);
// The routine a routine line names: from its tenth character on, without blanks and hyphens, lower-cased.
QString routineName(QStringView line);
bool beginsWithEndOfTextMarker(QStringView line);
// The heading of the assignment numbered nbr: the line's first three characters are nbr.
bool isHeadingOf(QStringView line, QStringView nbr);
// The heading that the opening search stops at: the first four characters are nbr and a point.
bool opensAssignment(QStringView line, QStringView nbr);

// The text with each "{}", read from the left, turned into a line break (CR LF).
QString expandLineBreaks(QStringView text);

// The kind of a line of the document, for authors and their checks.
LineKind kindOf(QStringView line);

} // namespace markup
