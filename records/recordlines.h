#pragma once

#include "records/recordreader.h"

#include <QByteArrayView>
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

// A line that is the record separator with a character or a few lost, doubled or changed: the separator's full stops
// and exclamation marks alone, and nearly its length. No text typed by a student or held by the document is such a
// line.
bool isDamagedRecordSeparator(QStringView v);

// The line without the blanks and tabs at its end.
QStringView trimmedRight(QStringView v);
// The blanks and tabs at the start of a line.
qsizetype indentOf(QStringView v);
// Whether the heading line is the one that the assignment line's number opens: the number, then a point.
bool opensAssignment(QStringView heading, QStringView assignmentLine);
// The text after a label: after the label with its blanks, or after the label an editor stripped of them.
QStringView afterLabel(QStringView line, const QString& label, const QString& labelText);
// Which rating label the line starts with, in any letter case, and with blanks, hyphens or underscores changed.
recordreader::Rating ratingOf(QStringView v);
// A rating label as it was retyped, to its colon.
QStringView retypedLabel(QStringView line);
// The start of a text, on one line, for a problem's message.
QString excerpt(QStringView text);

extern const QString notesLabelText;
extern const QString confidenceLabelText;
extern const QString selfCritiqueLabelText;

// How a file's lines end: as the writer ends them, in LF as most editors off Windows do, or in CR alone.
enum class Ends { CrLf, Lf, Cr };

struct Lines {
    std::vector<QStringView> lines; // without their line ends
    Ends ends = Ends::CrLf;
    std::vector<qsizetype> bareLf;    // in a CR LF file, the lines that end in LF alone
    std::vector<qsizetype> bareCr;    // in a CR LF or LF file, the lines that end in CR alone
    std::vector<qsizetype> doubledCr; // the lines that end in CR CR LF
    std::vector<qsizetype> lfCr;      // the lines that end in LF CR
    // where a line's end is more than one to an editor (CR CR LF, LF CR): the number an editor gives each line, and
    // the number after the last; empty when every line is one to an editor too
    std::vector<qsizetype> editorLines;
    bool unterminated = false; // the last line has no line end
};

// The text split into lines as an editor counts them: every LF ends one, with or without a CR before it. When bare
// LF ends are the greater number, the file is an LF file. A file with lines that end in CR alone was saved for an old
// system, whole or in part: every CR ends a line there too; where such lines are the most, it is a CR file.
Lines splitLines(QStringView text);

// The same, for a text decoded from bytes of one character each (the code page): its line ends are found in the
// bytes, which hold them where the text does. Bytes of another length, or none, are not looked at.
Lines splitLines(QStringView text, QByteArrayView bytes);

} // namespace recordlines
