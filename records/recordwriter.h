#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace recordwriter {

struct Append {
    QString path; // native path
    QByteArray bytes;
};

struct Failure {
    QString path;
    QString reason;
};

// How long a file that another run holds locked is waited for before the block is given up.
inline constexpr std::chrono::milliseconds defaultLockWait{10000};

// The reason given when a file stays locked by another run for the whole wait.
inline const QString lockedReason = QStringLiteral("another program is using it");

// Appends each block to its file as one write, all or none: every file is opened before any is written, and a
// write that fails takes back what this call appended to the others. The files are locked meanwhile, so two runs
// for the same student never interleave their blocks, and every byte is on disk before this returns. A lock that
// another run holds for longer than lockWait fails the whole call, with nothing written. A path that holds a NUL is
// refused before anything is opened. While it waits for a lock, pause is called between tries when given.
std::optional<Failure> appendAll(const std::vector<Append>& appends,
                                 std::chrono::milliseconds lockWait = defaultLockWait,
                                 const std::function<void()>& pause = {});

// Makes sure the file exists, leaving an existing one as it is.
std::optional<Failure> touch(const QString& path);

// The whole file, or nothing when it cannot be read.
std::optional<QByteArray> readAll(const QString& path);

// The moments at which a test may stop the program to kill it there: "written <path>" once an append's bytes are on
// disk in that file, before the next file of the block; "replacing <path>" once a new file is on disk under its
// temporary name, before it takes the place of path. Nothing happens at them unless a test set a watcher.
using Watcher = void (*)(const QString& moment);
void setWatcher(Watcher watcher);
void reached(const QString& moment);

} // namespace recordwriter
