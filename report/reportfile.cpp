#include "report/reportfile.h"

#include "report/interruption.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace report {

namespace {

#if defined(Q_OS_WIN)
using Handle = HANDLE;
const Handle noHandle = INVALID_HANDLE_VALUE;
int lastError() {
    return static_cast<int>(GetLastError());
}
#else
using Handle = int;
constexpr Handle noHandle = -1;
int lastError() {
    return errno;
}
#endif

// The system's words for an error, without the full stop that Windows ends them with.
QString errorText(int code) {
    QString text = qt_error_string(code).trimmed();
    while (text.endsWith(u'.')) {
        text.chop(1);
    }
    return text.isEmpty() ? QStringLiteral("error %1").arg(code) : text;
}

// Writes to an open handle as it is given, unbuffered, and keeps the system's reason when a write fails.
class HandleDevice : public QIODevice {
public:
    explicit HandleDevice(Handle handle) : m_handle(handle) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }
    int failure() const { return m_failure; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        qint64 done = 0;
        while (done < size) {
#if defined(Q_OS_WIN)
            if (interruption::interrupted()) { // the file goes, and the program ends
                return fail(ERROR_OPERATION_ABORTED);
            }
            DWORD wrote = 0;
            const DWORD part = static_cast<DWORD>(std::min<qint64>(size - done, 1 << 30));
            if (!WriteFile(m_handle, data + done, part, &wrote, nullptr)) {
                return fail(lastError());
            }
            done += wrote;
#else
            const ssize_t wrote = ::write(m_handle, data + done, static_cast<size_t>(size - done));
            if (wrote < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return fail(errno);
            }
            done += wrote;
#endif
        }
        return done;
    }

private:
    qint64 fail(int code) {
        m_failure = code;
        setErrorString(errorText(code));
        return -1;
    }
    Handle m_handle;
    int m_failure = 0;
};

std::optional<QString> writeTo(Handle handle, const std::function<bool(QIODevice&)>& write) {
    HandleDevice device(handle);
    if (write(device)) {
        return std::nullopt;
    }
    return device.failure() != 0 ? device.errorString() : QStringLiteral("it could not be written whole");
}

bool closeHandle(Handle handle) {
#if defined(Q_OS_WIN)
    return CloseHandle(handle) != 0;
#else
    return ::close(handle) == 0;
#endif
}

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

QString fromFsPath(const std::filesystem::path& path) {
    return QString::fromStdU16String(path.u16string());
}

// Standard output, as it was given to the program.
std::optional<QString> writeStandardOutput(const std::function<bool(QIODevice&)>& write) {
#if defined(Q_OS_WIN)
    return writeTo(GetStdHandle(STD_OUTPUT_HANDLE), write);
#else
    return writeTo(STDOUT_FILENO, write);
#endif
}

enum class Kind { None, Regular, Folder, Other };

// What stands at a path, links not followed any more (the path is a link's last target).
Kind kindOf(const QString& path, int& mode, unsigned& owner, unsigned& group) {
#if defined(Q_OS_WIN)
    owner = group = 0;
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.utf16()));
    mode = static_cast<int>(attributes); // the attributes a page made again keeps
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // a device name such as NUL has no attributes of a file but opens all the same
        const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            return Kind::None;
        }
        const DWORD type = GetFileType(h);
        CloseHandle(h);
        return type == FILE_TYPE_DISK ? Kind::None : Kind::Other;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::Folder : Kind::Regular;
#else
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return Kind::None;
    }
    mode = static_cast<int>(st.st_mode & 07777);
    owner = st.st_uid;
    group = st.st_gid;
    if (S_ISREG(st.st_mode)) {
        return Kind::Regular;
    }
    return S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
#endif
}

// A device or a FIFO, written as it is: it is never the report's to replace.
std::optional<QString> writeStraight(const QString& path, const std::function<bool(QIODevice&)>& write) {
#if defined(Q_OS_WIN)
    const Handle handle = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
#else
    const Handle handle = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
#endif
    if (handle == noHandle) {
        return errorText(lastError());
    }
    std::optional<QString> failure = writeTo(handle, write);
    if (!closeHandle(handle) && !failure) {
        failure = errorText(lastError());
    }
    return failure;
}

// A file of its own beside the target: created new, never one that stands there already.
Handle createBeside(const QString& target, QString& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target +
               QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate() % 1000000, 6, 10, QLatin1Char('0'));
#if defined(Q_OS_WIN)
        const Handle handle = CreateFileW(reinterpret_cast<const wchar_t*>(name.utf16()), GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != noHandle || GetLastError() != ERROR_FILE_EXISTS) {
            return handle;
        }
#else
        // the mode the umask allows, as any new file of the user's
        const Handle handle =
            ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (handle != noHandle || errno != EEXIST) {
            return handle;
        }
#endif
    }
    return noHandle;
}

bool removeFile(const QString& name) {
#if defined(Q_OS_WIN)
    return DeleteFileW(reinterpret_cast<const wchar_t*>(name.utf16())) != 0;
#else
    return ::unlink(QFile::encodeName(name).constData()) == 0;
#endif
}

// The file made beside the target takes its place; on Windows a file that stood there keeps its attributes and
// its access rights.
bool putInPlace(const QString& made, const QString& target, bool replacing) {
#if defined(Q_OS_WIN)
    const auto* from = reinterpret_cast<const wchar_t*>(made.utf16());
    const auto* to = reinterpret_cast<const wchar_t*>(target.utf16());
    if (replacing && ReplaceFileW(to, from, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return true;
    }
    return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
#else
    Q_UNUSED(replacing);
    return ::rename(QFile::encodeName(made).constData(), QFile::encodeName(target).constData()) == 0;
#endif
}

std::optional<QString> writeReplacing(const QString& target, Kind kind, int mode, unsigned owner, unsigned group,
                                      const std::function<bool(QIODevice&)>& write) {
    QString made;
    interruption::Making making;
    const Handle handle = createBeside(target, made);
    making.made(handle != noHandle ? made : QString());
    if (handle == noHandle) {
        return errorText(lastError());
    }
#if !defined(Q_OS_WIN)
    if (kind == Kind::Regular) {
        // a page made again keeps what its owner gave it; only root may give it back to its owner
        (void)::fchown(handle, owner, group);
        (void)::fchmod(handle, static_cast<mode_t>(mode));
    }
#else
    Q_UNUSED(mode);
    Q_UNUSED(owner);
    Q_UNUSED(group);
#endif
    std::optional<QString> failure = writeTo(handle, write);
    // closed before the rename: Windows renames no file that is open
    if (!closeHandle(handle) && !failure) {
        failure = errorText(lastError());
    }
    if (!failure && !putInPlace(made, target, kind == Kind::Regular)) {
        failure = errorText(lastError());
    }
#if defined(Q_OS_WIN)
    // ReplaceFileW is to keep them, but under Wine a hidden page made again came out plain: set here, they hold
    // wherever the program runs
    const DWORD kept =
        static_cast<DWORD>(mode) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (!failure && kind == Kind::Regular && kept != 0) {
        const auto* path = reinterpret_cast<const wchar_t*>(target.utf16());
        SetFileAttributesW(path, GetFileAttributesW(path) | kept);
    }
#endif
    if (failure) {
        removeFile(made);
    }
    return failure;
}

} // namespace

QString outputTarget(const QString& path) {
    std::filesystem::path at = fsPath(path);
    std::error_code error;
    // as the system follows them; a loop ends with the path where it stopped, which then cannot be opened
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(at, error); ++hops) {
        const std::filesystem::path next = std::filesystem::read_symlink(at, error);
        if (error) {
            break;
        }
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return fromFsPath(at);
}

std::optional<QString> writeReportFile(const QString& path, const std::function<bool(QIODevice&)>& write) {
    if (path == u"-") {
        return writeStandardOutput(write);
    }
    const QString target = outputTarget(path);
    std::error_code error;
    if (std::filesystem::is_symlink(fsPath(target), error)) {
        return QStringLiteral("too many levels of symbolic links"); // a loop: no link of it is replaced
    }
    int mode = 0;
    unsigned owner = 0;
    unsigned group = 0;
    switch (const Kind kind = kindOf(target, mode, owner, group)) {
    case Kind::Folder:
        return QStringLiteral("it is a folder");
    case Kind::Other:
        return writeStraight(target, write);
    case Kind::None:
    case Kind::Regular:
        return writeReplacing(target, kind, mode, owner, group, write);
    }
    return std::nullopt;
}

} // namespace report
