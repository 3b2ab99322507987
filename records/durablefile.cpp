#include "records/durablefile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <fcntl.h>
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

std::optional<QString> replaceKeeping(const QString& from, const QString& to, const QString& backup) {
#ifdef Q_OS_WIN
    const std::wstring target = wide(to);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // the file that stood there lends the new one its attributes and access rights, and goes to the backup name
        if (::ReplaceFileW(target.c_str(), wide(from).c_str(), backup.isEmpty() ? nullptr : wide(backup).c_str(),
                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            // under Wine a hidden file made again came out plain: set here, they hold wherever the program runs
            const DWORD kept =
                attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
            if (kept != 0) {
                ::SetFileAttributesW(target.c_str(), ::GetFileAttributesW(target.c_str()) | kept);
            }
            return std::nullopt;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 && !backup.isEmpty()) {
            // the old file went to the backup name and the new one could not follow: the old one comes back
            ::MoveFileExW(wide(backup).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
            return windowsError(error);
        }
        if (!backup.isEmpty() && !::MoveFileExW(target.c_str(), wide(backup).c_str(), MOVEFILE_REPLACE_EXISTING)) {
            return windowsError(::GetLastError());
        }
    }
    if (!::MoveFileExW(wide(from).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = ::GetLastError();
        if (!backup.isEmpty()) {
            ::MoveFileExW(wide(backup).c_str(), target.c_str(), 0);
        }
        return windowsError(error);
    }
#else
    const QByteArray target = QFile::encodeName(to);
    const QByteArray kept = QFile::encodeName(backup);
    if (!backup.isEmpty() && ::rename(target.constData(), kept.constData()) != 0 && errno != ENOENT) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    if (::rename(QFile::encodeName(from).constData(), target.constData()) != 0) {
        const int error = errno;
        if (!backup.isEmpty()) {
            ::rename(kept.constData(), target.constData());
        }
        return QString::fromLocal8Bit(std::strerror(error));
    }
#endif
    return std::nullopt;
}

void keepModeAndOwner(QFileDevice& made, const Standing& existing) {
#ifdef Q_OS_WIN
    Q_UNUSED(made);
    Q_UNUSED(existing);
#else
    if (existing.kind == Kind::Regular) {
        (void)::fchown(made.handle(), existing.owner, existing.group);
        (void)::fchmod(made.handle(), existing.mode & 07777);
    }
#endif
}

Kind kindOf(const QString& path) {
#ifdef Q_OS_WIN
    const std::wstring name = wide(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // a device such as NUL has no attributes of a file but opens all the same
        const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return Kind::None;
        }
        const DWORD type = ::GetFileType(handle);
        ::CloseHandle(handle);
        return type == FILE_TYPE_DISK ? Kind::None : Kind::Other;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::Folder : Kind::Regular;
#else
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return Kind::None;
    }
    return S_ISREG(st.st_mode) ? Kind::Regular : S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
#endif
}

Standing standing(const QString& path) {
    Standing at;
#ifdef Q_OS_WIN
    const DWORD attributes = ::GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        at.kind = kindOf(path); // a device has no attributes of a file
    } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        at.link = true;
    } else {
        at.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::Folder : Kind::Regular;
    }
#else
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        return at;
    }
    at.link = S_ISLNK(st.st_mode);
    at.kind = at.link               ? Kind::None
              : S_ISREG(st.st_mode) ? Kind::Regular
              : S_ISDIR(st.st_mode) ? Kind::Folder
                                    : Kind::Other;
    at.mode = st.st_mode;
    at.owner = st.st_uid;
    at.group = st.st_gid;
#endif
    return at;
}

bool openStraight(QFile& file, const QString& path) {
#ifdef Q_OS_WIN
    const HANDLE handle = ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return false;
    }
#else
    // the path as given: /dev/stdout leads to a pipe that no name of its own would open
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
#endif
    return file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
}

bool openStandardOutput(QFile& file) {
#ifdef Q_OS_WIN
    // the C library's standard output translates line ends unless told not to
    const int fd = ::_fileno(stdout);
    ::_setmode(fd, _O_BINARY);
#else
    const int fd = STDOUT_FILENO;
#endif
    return file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
}

std::optional<FileId> fileId(const std::filesystem::path& path) {
#ifdef Q_OS_WIN
    // a folder opens only with backup semantics; no access is asked, so a file held open elsewhere opens too
    const HANDLE handle = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(handle, &info);
    ::CloseHandle(handle);
    if (!known) {
        return std::nullopt;
    }
    return FileId{info.dwVolumeSerialNumber,
                  (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
#else
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FileId{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
#endif
}

WholeFile readWhole(const std::filesystem::path& path, qint64 limit) {
    WholeFile file;
    qint64 expected = 0; // what the system says the file holds; 0 when it cannot tell
#ifdef Q_OS_WIN
    const HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        file.status = WholeFile::Status::NotOpened;
        file.reason = windowsError(::GetLastError());
        file.id = fileId(path);
        return file;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(handle, &info)) {
        file.id = FileId{info.dwVolumeSerialNumber,
                         (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
        if (::GetFileType(handle) == FILE_TYPE_DISK) {
            expected =
                static_cast<qint64>((static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
        }
    }
    const auto readSome = [&](char* into, qint64 room) -> qint64 {
        DWORD got = 0;
        if (!::ReadFile(handle, into, static_cast<DWORD>(std::min<qint64>(room, 1 << 30)), &got, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
                return 0;
            }
            file.reason = windowsError(error);
            return -1;
        }
        return got;
    };
    const auto close = [&] { ::CloseHandle(handle); };
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        file.status = WholeFile::Status::NotOpened;
        file.reason = QString::fromLocal8Bit(std::strerror(errno));
        file.id = fileId(path);
        return file;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        file.id = FileId{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
        expected = S_ISREG(st.st_mode) ? static_cast<qint64>(st.st_size) : 0;
    }
    const auto readSome = [&](char* into, qint64 room) -> qint64 {
        for (;;) {
            const ssize_t got = ::read(fd, into, static_cast<std::size_t>(std::min<qint64>(room, 1 << 30)));
            if (got >= 0 || errno != EINTR) {
                if (got < 0) {
                    file.reason = QString::fromLocal8Bit(std::strerror(errno));
                }
                return got;
            }
        }
    };
    const auto close = [&] { ::close(fd); };
#endif
    if (expected > limit) {
        close();
        file.status = WholeFile::Status::TooLarge;
        file.size = expected;
        return file;
    }
    // one byte more than the file should hold, to see it end; what has no size to tell is read in growing pieces
    const qint64 room = limit + 1;
    file.bytes.resize(static_cast<qsizetype>(std::min(expected + 1, room)));
    qint64 got = 0;
    while (got < room) {
        if (got == file.bytes.size()) {
            file.bytes.resize(static_cast<qsizetype>(std::min<qint64>(std::max<qint64>(got * 2, 4096), room)));
        }
        const qint64 some = readSome(file.bytes.data() + got, file.bytes.size() - got);
        if (some < 0) {
            close();
            file.status = WholeFile::Status::NotRead;
            file.bytes.clear();
            return file;
        }
        got += some;
        // the end: nothing more, or the size the system told, which a file that grows later does not change
        if (some == 0 || (expected > 0 && got == expected)) {
            break;
        }
    }
    close();
    file.size = got;
    if (got > limit) {
        file.status = WholeFile::Status::TooLarge;
        file.bytes.clear();
    } else {
        file.bytes.truncate(static_cast<qsizetype>(got));
    }
    return file;
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
