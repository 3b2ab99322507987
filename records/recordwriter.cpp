#include "records/recordwriter.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace recordwriter {

namespace {

struct OpenFile {
    std::unique_ptr<QFile> file;
    qint64 sizeBefore = 0;
    bool written = false;
};

// Another run holds the lock only while it writes one block; a lock held for the whole wait belongs to something
// that has stopped, and the student must not be kept waiting on it.
bool lock(QFile& file, const QDeadlineTimer& deadline) {
#ifdef Q_OS_UNIX
    while (::flock(file.handle(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR && errno != EWOULDBLOCK) {
            return true; // a file system without locks: the write goes ahead unlocked, as it would anywhere else
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(10);
    }
    return true;
#else
    Q_UNUSED(file);
    Q_UNUSED(deadline);
    return true;
#endif
}

// Whether two open files are one file on disk (a link, or two paths that lead to the same place). A lock is held
// per opening, so a second lock on the same file would wait for the first for ever.
bool sameFile(QFile& a, QFile& b) {
#ifdef Q_OS_UNIX
    struct stat sa {};
    struct stat sb {};
    return ::fstat(a.handle(), &sa) == 0 && ::fstat(b.handle(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
#else
    Q_UNUSED(a);
    Q_UNUSED(b);
    return false;
#endif
}

// The system sees a path only up to a NUL: the rest would be cut off and some other file opened.
std::optional<Failure> unusablePath(const QString& path) {
    if (path.contains(QChar(0))) {
        return Failure{path, QStringLiteral("a file or folder name cannot hold a NUL character")};
    }
    return std::nullopt;
}

bool syncToDisk(QFile& file) {
    if (!file.flush()) {
        return false;
    }
#ifdef Q_OS_UNIX
    return ::fsync(file.handle()) == 0;
#else
    return true;
#endif
}

Failure failureOf(const QFile& file) {
    return {file.fileName(), file.errorString()};
}

Failure writeFailure(const QFile& file) {
#ifdef Q_OS_UNIX
    // flush and fsync leave errno behind, QFile does not always name it
    if (file.error() == QFileDevice::NoError && errno != 0) {
        return {file.fileName(), QString::fromLocal8Bit(std::strerror(errno))};
    }
#endif
    return failureOf(file);
}

} // namespace

std::optional<Failure> appendAll(const std::vector<Append>& appends, std::chrono::milliseconds lockWait) {
    std::vector<OpenFile> files;
    files.reserve(appends.size());
    for (const Append& a : appends) {
        if (auto failure = unusablePath(a.path)) {
            return failure;
        }
    }
    for (const Append& a : appends) {
        auto file = std::make_unique<QFile>(a.path);
        if (!file->open(QIODevice::Append | QIODevice::Unbuffered)) {
            return failureOf(*file);
        }
        files.push_back({std::move(file)});
    }
    // one wait for the whole block, however many of its files are locked
    const QDeadlineTimer deadline(lockWait);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const bool lockedAlready = std::any_of(files.begin(), files.begin() + i,
                                               [&](OpenFile& f) { return sameFile(*f.file, *files[i].file); });
        if (!lockedAlready && !lock(*files[i].file, deadline)) {
            return Failure{files[i].file->fileName(), lockedReason};
        }
        files[i].sizeBefore = files[i].file->size();
    }
    std::optional<Failure> failure;
    for (std::size_t i = 0; i < appends.size() && !failure; ++i) {
        QFile& file = *files[i].file;
        files[i].written = true;
        errno = 0;
        if (file.write(appends[i].bytes) != appends[i].bytes.size() || !syncToDisk(file)) {
            failure = writeFailure(file);
        }
    }
    if (failure) {
        for (OpenFile& f : files) {
            if (f.written) {
                f.file->resize(f.sizeBefore);
            }
        }
    }
    return failure;
}

std::optional<Failure> touch(const QString& path) {
    if (auto failure = unusablePath(path)) {
        return failure;
    }
    QFile file(path);
    if (!file.open(QIODevice::Append)) {
        return failureOf(file);
    }
    return std::nullopt;
}

std::optional<QByteArray> readAll(const QString& path) {
    QFile file(path);
    if (unusablePath(path) || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

} // namespace recordwriter
