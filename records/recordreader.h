#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// Reading record files back into the blocks that recordblocks lays out: header, response and note. Whatever a file
// holds, it is read to its end: what fits a block becomes one, and every departure from the layout (a lost separator,
// a block cut short, lines that belong to no block, line ends or an encoding another editor left) is a problem with
// its line number, the text it concerns kept with it.
namespace recordreader {

enum class BlockKind { Header, Response, Note };
enum class Rating { None, Confidence, SelfCritique };

struct Block {
    BlockKind kind = BlockKind::Response;
    qsizetype firstLine = 0; // physical lines in the file, counted from 1
    qsizetype lastLine = 0;

    // header
    QString filler;
    QString assignmentNbr; // as written after "assignment #"
    QString headingLine;
    QString title;
    QString date; // mm-dd-yyyy

    // response and note
    QString time;                         // hh:mm:ss
    QString noteDateTime;                 // a note's second time line: mm-dd-yyyyhh:mm:ss
    std::optional<double> questionNumber; // the master file's copy of a response carries it
    QString entry;                        // the problem line shown last; may hold CR LF
    QString text;                         // the response, or the note without its label; may hold CR LF
    Rating rating = Rating::None;
    QString ratingText;       // as typed, after its label
    qsizetype ratingLine = 0; // the rating's own line; 0 without one

    bool complete = true; // false when part of the block is missing; a problem says which part
};

struct Problem {
    qsizetype line = 0; // from 1
    QString message;
    QString text; // the lines it concerns, when they hold something a reader would miss
};

struct Reading {
    std::vector<Block> blocks;
    std::vector<Problem> problems;
};

// Texts that many files hold alike, kept once: the entries of a class's files are the document's lines, shown again
// and again, and its ratings a handful of digits. A text equal to one kept before is given as that one, sharing its
// characters.
class SharedTexts {
public:
    QString get(QStringView text);

private:
    QHash<std::size_t, std::vector<QString>> m_texts; // by their length and ends
};

// Reads decoded text. Lines end in CR LF; a file whose lines mostly end in a bare LF (saved by another editor) is
// split at LF instead, and that is a problem of its own. With shared texts given, each block's entry and rating are
// taken from them. Where the text was decoded from bytes of one character each, given as bytes, its line ends are found
// in those, which is quicker.
Reading read(QStringView text, SharedTexts* shared = nullptr, QByteArrayView bytes = {});

// Reads the bytes of a file: Windows-1252, unless the file starts with a byte-order mark or is valid UTF-8 with
// characters beyond ASCII (an editor saved it so), which is a problem too.
Reading readBytes(const QByteArray& bytes, SharedTexts* shared = nullptr);

} // namespace recordreader
