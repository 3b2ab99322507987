#pragma once

#include "records/recordreader.h"

#include <QString>
#include <QStringView>

#include <vector>

// The lines of a record file, each told by its fixed text: what the reader recognises a block's lines by. A fixed
// line is recognised with or without the trailing blanks that an editor strips.
namespace recordlines {

enum class Line : unsigned char {
    Other,
    Blank,
    RecordSeparator,
    ClosingSeparator,
    Time,
    DateTime,
    ResponseLabel,
    NotesLabel,
    QuestionNumber,
    Assignment,
    Date,
};

// What a line is.
Line kindOf(QStringView v);

// The line without the blanks and tabs at its end.
QStringView trimmedRight(QStringView v);
// The blanks and tabs at the start of a line.
qsizetype indentOf(QStringView v);
// Whether the heading line is the one that the assignment line's number opens: the number, then a point.
bool opensAssignment(QStringView heading, QStringView assignmentLine);
// The text after a label: after the label with its blanks, or after the label an editor stripped of them.
QStringView afterLabel(QStringView line, const QString& label, const QString& labelText);
// Which rating label the line starts with.
recordreader::Rating ratingOf(QStringView v);
// The start of a text, on one line, for a problem's message.
QString excerpt(QStringView text);

extern const QString notesLabelText;
extern const QString confidenceLabelText;
extern const QString selfCritiqueLabelText;

// The position of every LF in the text.
std::vector<qsizetype> lineFeeds(QStringView text);

} // namespace recordlines
