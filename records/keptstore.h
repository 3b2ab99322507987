#pragma once

#include "records/recordwriter.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// What the student typed and did not enter: the kept-text file and the drafts. Neither is a record file: both are
// UTF-8 with CR LF line ends, so that any editor shows every character as it was typed.
namespace keptstore {

// One text that left the answer box without being recorded.
struct Entry {
    QString date; // mm-dd-yyyy
    QString time; // hh:mm:ss
    QString assignmentNbr;
    QString reason;     // how it left the box, "replaced by the response prompt"
    QString typedUnder; // the problem entry shown when it was typed
    QString text;
};

// Whether a text in the answer box is worth keeping: not blank, not the untouched prompt, not what was recorded.
bool worthKeeping(const QString& text, const QString& responsePrompt, const QString& recorded);

// An entry as the kept-text file holds it: a head line with the date, time, assignment, reason and the count of the
// text's lines, a line naming the problem entry, the text, and an empty line:
//   ==== kept 01-07-2026 09:30:05, assignment 005, replaced by the response prompt: 2 lines
//   Typed under: `q003.  Solve ...
//   first line of the text
//   second line of the text
QByteArray entryBytes(const Entry& entry);

// The line added once the student has been told of the entries above it.
QByteArray toldBytes(const QString& date, const QString& time, int count);

// The line added below an entry whose text was entered after all (brought back with Ctrl+Z): keptAt is the date
// and time in that entry's head line. It is not counted as a text that was not entered.
QByteArray enteredBytes(const QString& date, const QString& time, const QString& keptAt);

// How many entries stand after the last told line, less those marked as entered since. The line counts of the head
// lines are followed, so a text line that looks like a head line is never counted; a file edited by hand is counted as
// far as it can be read.
int untoldCount(const QByteArray& keptFile);

// A draft: the answer box as it was at its last save, with what it was typed under, and the entries that could not
// yet be added to the kept-text file, as that file would hold them.
struct Draft {
    QString date;
    QString time;
    QString assignmentNbr;
    QString typedUnder;
    QString text;
    QByteArray keptEntries = {};
};

// The entries come before the text and are named in the head only when there are any, so that a draft without them
// is what every version of the program writes.
QByteArray draftBytes(const Draft& draft);

// A draft read back. A draft that this program did not write whole (cut short, written by a newer version, bytes
// that are not UTF-8) gives all that it holds as its text, and says what was wrong in problem.
struct DraftReading {
    Draft draft;
    QString problem;
};
DraftReading readDraft(const QByteArray& bytes);

// Replaces a draft whole on a thread of its own, so that typing never waits on the disk: a new file is written and
// synced, then renamed over the old one, so a crash in the middle, or a save that fails, leaves the previous draft
// whole. A save that is still waiting when the next one comes is dropped for it.
class DraftWriter {
public:
    // Told, on the writer's thread, how each save or removal went: nothing, or what failed.
    using Report = std::function<void(const std::optional<recordwriter::Failure>&)>;

    DraftWriter(QString path, Report report);
    ~DraftWriter();
    DraftWriter(const DraftWriter&) = delete;
    DraftWriter& operator=(const DraftWriter&) = delete;

    const QString& path() const { return m_path; }
    void save(QByteArray bytes);
    // Saves and waits for that save: nothing, or what failed (also when the wait ran out first).
    std::optional<recordwriter::Failure> saveNow(QByteArray bytes, std::chrono::milliseconds wait);
    // Removes the draft; a missing one is fine.
    void remove();
    // Waits until everything asked is done, or the wait is over; true when it is done.
    bool finish(std::chrono::milliseconds wait);
    // Whether the file holds a draft that this writer saved whole and has not removed since.
    bool holdsSave();

private:
    void run();

    QString m_path;
    Report m_report;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<std::optional<QByteArray>> m_pending; // a save, or nullopt inside for a removal
    std::uint64_t m_asked = 0;                          // jobs asked for, counted
    std::uint64_t m_done = 0;                           // the count of the last job asked that is done
    std::optional<recordwriter::Failure> m_lastFailure; // how that job went
    bool m_holdsSave = false;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};

// Writes a file whole and syncs it and its folder. The file is replaced only once every byte is written and on
// disk; anything that fails leaves the old file as it was and no temporary file behind. Meanwhile the new file is
// at temporaryPath(path); a crash may leave it there.
std::optional<recordwriter::Failure> replaceFile(const QString& path, const QByteArray& bytes);
inline const QString temporarySuffix = QStringLiteral(".new");
QString temporaryPath(const QString& path);

// Whether the kept-text file holds the text already: an entry typed under the same problem entry whose text is this
// text or begins with it. A run stopped between keeping a text and saving its draft again leaves both.
bool holdsText(const QByteArray& keptFile, const QString& typedUnder, const QString& text);

} // namespace keptstore
