#pragma once

#include <QByteArray>
#include <QString>

#include <compare>
#include <filesystem>
#include <functional>
#include <optional>

class QDeadlineTimer;
class QFile;
class QFileDevice;

// What the operating system does differently for files that must survive other writers and power cuts: locking a
// file against another run, syncing it to disk, replacing a file whole. The rest of the program calls these and
// needs no system headers of its own.
namespace durablefile {

// Locks a whole open file against other runs, waiting until the deadline for one that holds it. False when it is
// still held then. A file system without locks is written unlocked, as it would be anywhere else. Between two tries
// pause is called, when given, in place of a short sleep: the window stays live while it waits.
bool lock(QFile& file, const QDeadlineTimer& deadline, const std::function<void()>& pause = {});

// Whether two open files are one file on disk: a link, two paths that lead to the same place, or, on Windows, two
// names that differ only in letter case. A lock is held per opening, so a second one would wait for the first.
bool sameFile(QFile& a, QFile& b);

// Everything written to the file is on disk when this returns; otherwise the reason.
std::optional<QString> sync(QFileDevice& file);

// The folder that holds path synced, so that a name made or replaced in it survives a power cut. Best effort: a
// folder that cannot be synced leaves the file as durable as the system makes it.
void syncFolder(const QString& path);

// Puts the file at `from` in the place of `to`, in one step: a reader sees the old file or the new one, never
// neither. The new name is on disk when this returns. `to` must not be open anywhere.
std::optional<QString> replace(const QString& from, const QString& to);

// Puts the file at `from` in the place of `to` as replace() does, but not synced: for files that are made again from
// others in a moment. A file that stood at `to` keeps, on Windows, its attributes and access rights (elsewhere
// keepModeAndOwner gives them to the new one before), and with a backup name it is kept under that name, on the same
// file system. Between the two steps of that there may be no file at `to`; when the second fails, the old one is put
// back.
std::optional<QString> replaceKeeping(const QString& from, const QString& to, const QString& backup = QString());

// What stands at a path, a symbolic link followed to what it names: nothing, a file, a folder, or something else (a
// device, a FIFO, a pipe such as /dev/stdout, a socket), which is written as it stands and never replaced.
enum class Kind { None, Regular, Folder, Other };
Kind kindOf(const QString& path);

// What stands at a path itself, a link not followed, in one look: whether it is a link, else its kind, and the mode and
// owner a file made to replace it keeps.
struct Standing {
    bool link = false;
    Kind kind = Kind::None; // None for a link
    unsigned mode = 0;      // as the system gives it; not on Windows
    unsigned owner = 0;
    unsigned group = 0;
};
Standing standing(const QString& path);

// Gives a file just made, still open, the mode and owner of the file it will replace, where the system lets it (only
// root may give a file to another owner). On Windows replaceKeeping keeps them instead.
void keepModeAndOwner(QFileDevice& made, const Standing& existing);

// Opens what kindOf calls Other for writing, as it stands, unbuffered.
bool openStraight(QFile& file, const QString& path);

// Opens the program's standard output for writing, unbuffered, its bytes as they are (no line ends translated).
bool openStandardOutput(QFile& file);

// A file's identity on its system, links followed: two paths to one file have the same one.
struct FileId {
    unsigned long long volume = 0;
    unsigned long long index = 0;
    auto operator<=>(const FileId&) const = default;
};
std::optional<FileId> fileId(const std::filesystem::path& path);

// A file read whole, up to a limit, with the identity of what was opened. A file the system says is larger than the
// limit is not read; one that grows past it while it is read is read no further.
struct WholeFile {
    enum class Status { Read, NotOpened, NotRead, TooLarge };
    Status status = Status::Read;
    QByteArray bytes;
    qint64 size = 0;          // the bytes read, or the size that was found too large
    std::optional<FileId> id; // also of a file that could not be opened, where the system tells it
    QString reason;           // the system's words, when it could not be opened or read
};
WholeFile readWhole(const std::filesystem::path& path, qint64 limit);

// Forgets the system's last error, so that systemError() says what went wrong after it.
void clearSystemError();

// The system's own words for the last call that failed, when it says anything.
std::optional<QString> systemError();

} // namespace durablefile
