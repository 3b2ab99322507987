#pragma once

#include "records/recordwriter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <vector>

// A block written down, with the files it goes to, before it is appended to them: a run stopped between two of the
// files leaves the journal, and the next start adds the block to the files that do not hold it yet, so that a block
// is in all its files or in none. The journal is not a record file and nothing of it reaches one.
namespace blockjournal {

struct Target {
    QString path;          // native path
    qint64 sizeBefore = 0; // the file's size when the journal was written; the block lies after it
    QByteArray bytes;
};

struct Journal {
    QString enteredText; // what the student entered, which is not kept as text that was not entered
    std::vector<Target> targets;
};

// A journal for the blocks, with each file's size as it is now.
Journal journalFor(const std::vector<recordwriter::Append>& appends, const QString& enteredText);

QByteArray journalBytes(const Journal& journal);
// Nothing when the bytes are not a whole journal as this program writes one.
std::optional<Journal> readJournal(const QByteArray& bytes);

struct Completion {
    QStringList completed;                        // the files the block was added to now
    std::optional<recordwriter::Failure> failure; // what kept it from the others
};
// Adds the block to each of its files that does not hold it after the size it had; all or none. A file that is no
// longer there is not made anew: the block could not be told apart from a whole file, and it is reported instead.
Completion complete(const Journal& journal, std::chrono::milliseconds lockWait);

} // namespace blockjournal
