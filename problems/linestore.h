#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The line store: indices 0 to 5000, index 0 never filled.
inline constexpr int lastLineIndex = 5000;
using ProblemLines = std::array<QString, lastLineIndex + 1>;

namespace linestore {

// Where a piece of a store line comes from: the file's line (from 1, as an editor numbers it) and the offset in the
// store line at which the piece's text begins. The text stands in the file from its third character on.
struct Piece {
    int fileLine = 0;
    qsizetype storeOffset = 0;
};

// A line of the file that fits no tag, or a continuation before any line was started; the drill leaves it out.
struct LeftOut {
    int fileLine = 0;
    bool continuationFirst = false;
};

// A document in the data-file form as the drill reads it, with the way back from each store line to the file.
struct ReadDocument {
    QStringList lines;                       // the store lines, the first at index 1 of the store
    std::vector<std::vector<Piece>> origins; // per store line, its "=" line and its "+" lines
    QStringList fileLines;                   // the file's lines without their line ends
    std::vector<LeftOut> leftOut;
};

// The lines of a document in the data-file form: "= text" starts the next line, "+ text" continues it after a line
// break (CR LF), "#" lines are comments and empty lines are layout. Lines that fit none of these are left out.
ReadDocument readDocument(const QString& fileText);

// The same, lines only; lines left out are listed in errors, by file line number.
QStringList parseDocument(const QString& fileText, QStringList* errors = nullptr);

// The document that the program carries, as its data file holds it: a course team's course when the executable was
// built with one, else the program's own.
QString carriedDocumentText();

} // namespace linestore
