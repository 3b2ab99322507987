#pragma once

#include "problems/linestore.h"

#include <QByteArray>
#include <QString>

#include <vector>

// A course document checked as the drill reads it: everything that would make the drill show or record it otherwise
// than its author means, each at its place in the file, and what each assignment holds.
namespace coursecheck {

enum class Severity { Warning, Error };

struct Finding {
    int line = 0;   // the file's line, from 1, as an editor numbers it
    int column = 0; // the character in that line, from 1
    Severity severity = Severity::Warning;
    QString message;
    int storeLine = 0; // the store line it concerns; 0 for a line that never reaches the store
};

struct AssignmentSummary {
    QString nbr;
    QString heading;
    int headingStoreLine = 0;
    int lastStoreLine = 0;
    int questions = 0;         // question lines
    int optionalQuestions = 0; // questions with a mark before their marker, shown as text blocks
    int answers = 0;           // given answers, the lines with the answer marker and some text
    int texts = 0;             // text blocks, optional questions and "end program" included
    qsizetype characters = 0;  // in the store lines, a line break counted as its two characters
};

struct Result {
    linestore::ReadDocument document;
    std::vector<Finding> findings; // in the file's order
    std::vector<AssignmentSummary> assignments;
    QString title;
    int count(Severity severity) const;
};

// Checks a course file's bytes, which the drill reads as UTF-8.
Result check(const QByteArray& fileBytes);

// "FILE:LINE:COLUMN: error: message", as compilers write it.
QString formatFinding(const QString& fileName, const Finding& finding);

// The course's title from the comments before its first store line, a "# Course: title" line; empty when there is
// none (the packages are then named after the file).
QString courseTitle(const QStringList& fileLines);

// Where a character of a store line stands in the file.
struct Place {
    int line = 0;
    int column = 0;
};
Place placeOf(const linestore::ReadDocument& document, int storeLine, qsizetype offset);

} // namespace coursecheck
