#include "records/recordwriter.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <unistd.h>
#endif

namespace recordwriter {

namespace {

struct OpenFile {
    std::unique_ptr<QFile> file;
    qint64 sizeBefore = 0;
    bool written = false;
};

void lock(QFile& file) {
#ifdef Q_OS_UNIX
    while (::flock(file.handle(), LOCK_EX) != 0 && errno == EINTR) {
    }
#else
    Q_UNUSED(file);
#endif
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

std::optional<Failure> appendAll(const std::vector<Append>& appends) {
    std::vector<OpenFile> files;
    files.reserve(appends.size());
    for (const Append& a : appends) {
        auto file = std::make_unique<QFile>(a.path);
        if (!file->open(QIODevice::Append | QIODevice::Unbuffered)) {
            return failureOf(*file);
        }
        files.push_back({std::move(file)});
    }
    for (OpenFile& f : files) {
        lock(*f.file);
        f.sizeBefore = f.file->size();
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
    QFile file(path);
    if (!file.open(QIODevice::Append)) {
        return failureOf(file);
    }
    return std::nullopt;
}

std::optional<QByteArray> readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

} // namespace recordwriter
