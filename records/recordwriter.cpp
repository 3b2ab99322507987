#include "records/recordwriter.h"

#include "records/durablefile.h"

#include <QDeadlineTimer>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <memory>

namespace recordwriter {

namespace {

struct OpenFile {
    std::unique_ptr<QFile> file;
    qint64 sizeBefore = 0;
    bool written = false;
};

// The system sees a path only up to a NUL: the rest would be cut off and some other file opened.
std::optional<Failure> unusablePath(const QString& path) {
    if (path.contains(QChar(0))) {
        return Failure{path, QStringLiteral("a file or folder name cannot hold a NUL character")};
    }
    return std::nullopt;
}

Failure failureOf(const QFile& file) {
    return {file.fileName(), file.errorString()};
}

Failure writeFailure(const QFile& file) {
    // a failed write leaves the system's error behind, QFile does not always name it
    if (file.error() == QFileDevice::NoError) {
        if (auto reason = durablefile::systemError()) {
            return {file.fileName(), *reason};
        }
    }
    return failureOf(file);
}

std::atomic<Watcher> watcher{nullptr};

} // namespace

void setWatcher(Watcher w) {
    watcher = w;
}

void reached(const QString& moment) {
    if (const Watcher w = watcher) {
        w(moment);
    }
}

std::optional<Failure> appendAll(const std::vector<Append>& appends, std::chrono::milliseconds lockWait,
                                 const std::function<void()>& pause) {
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
        const bool lockedAlready = std::any_of(files.begin(), files.begin() + i, [&](OpenFile& f) {
            return durablefile::sameFile(*f.file, *files[i].file);
        });
        // another run holds the lock only while it writes one block; one held for the whole wait belongs to
        // something that has stopped, and the student must not be kept waiting on it
        if (!lockedAlready && !durablefile::lock(*files[i].file, deadline, pause)) {
            return Failure{files[i].file->fileName(), lockedReason};
        }
        files[i].sizeBefore = files[i].file->size();
    }
    std::optional<Failure> failure;
    for (std::size_t i = 0; i < appends.size() && !failure; ++i) {
        QFile& file = *files[i].file;
        files[i].written = true;
        durablefile::clearSystemError();
        // Windows appends at the end the file had when it was opened: another opening may have written since
        file.seek(file.size());
        if (file.write(appends[i].bytes) != appends[i].bytes.size()) {
            failure = writeFailure(file);
        } else if (auto reason = durablefile::sync(file)) {
            failure = Failure{file.fileName(), *reason};
        } else {
            reached(QStringLiteral("written ") + file.fileName());
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
