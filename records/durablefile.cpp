#include "records/durablefile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace durablefile {

namespace {

// Another run holds the lock only while it writes one block; polling keeps the wait bounded on every system.
constexpr unsigned long lockPollMs = 10;

#ifdef Q_OS_WIN
HANDLE handleOf(QFileDevice& file) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
}

std::wstring wide(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

QString windowsError(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD size =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message =
        size ? QString::fromWCharArray(text, size).trimmed() : QStringLiteral("system error %1").arg(code);
    ::LocalFree(text);
    return message;
}
#endif

} // namespace

bool lock(QFile& file, const QDeadlineTimer& deadline, const std::function<void()>& pause) {
    const auto wait = [&] {
        if (pause) {
            pause();
        } else {
            QThread::msleep(lockPollMs);
        }
    };
#ifdef Q_OS_WIN
    const HANDLE handle = handleOf(file);
    for (;;) {
        // One byte far past any end a record file reaches, like flock: a lock on the bytes themselves would also
        // refuse the writes of this run's second opening of the same file and every reader's.
        OVERLAPPED lockByte{};
        lockByte.OffsetHigh = 0x7FFFFFFF;
        if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &lockByte)) {
            return true;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
            return true;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        wait();
    }
#else
    while (::flock(file.handle(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR && errno != EWOULDBLOCK) {
            return true;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        wait();
    }
    return true;
#endif
}

bool sameFile(QFile& a, QFile& b) {
#ifdef Q_OS_WIN
    // the file's identity, not its name: Windows finds "A.TXT" and "a.txt" to be one file
    BY_HANDLE_FILE_INFORMATION ia{};
    BY_HANDLE_FILE_INFORMATION ib{};
    return ::GetFileInformationByHandle(handleOf(a), &ia) && ::GetFileInformationByHandle(handleOf(b), &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
#else
    struct stat sa {};
    struct stat sb {};
    return ::fstat(a.handle(), &sa) == 0 && ::fstat(b.handle(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
#endif
}

std::optional<QString> sync(QFileDevice& file) {
    clearSystemError();
    if (!file.flush()) {
        return file.error() == QFileDevice::NoError ? systemError().value_or(file.errorString()) : file.errorString();
    }
#ifdef Q_OS_WIN
    if (!::FlushFileBuffers(handleOf(file))) {
        return windowsError(::GetLastError());
    }
#else
    if (::fsync(file.handle()) != 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
#endif
    return std::nullopt;
}

void syncFolder(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
#ifdef Q_OS_WIN
    // a folder opens only with backup semantics; flushing it writes its entries, the new name among them
    const HANDLE handle = ::CreateFileW(wide(folder).c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::FlushFileBuffers(handle);
        ::CloseHandle(handle);
    }
#else
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

std::optional<QString> replace(const QString& from, const QString& to) {
#ifdef Q_OS_WIN
    // write-through: the move is on disk before the call returns, as the POSIX branch's synced folder is
    if (!::MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return windowsError(::GetLastError());
    }
#else
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    syncFolder(to);
#endif
    return std::nullopt;
}

void clearSystemError() {
    errno = 0;
#ifdef Q_OS_WIN
    ::SetLastError(0);
#endif
}

std::optional<QString> systemError() {
#ifdef Q_OS_WIN
    if (const DWORD code = ::GetLastError()) {
        return windowsError(code);
    }
#endif
    if (errno != 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    return std::nullopt;
}

} // namespace durablefile
