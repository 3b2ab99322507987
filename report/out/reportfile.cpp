#include "report/out/reportfile.h"

#include "records/durablefile.h"
#include "report/out/interruption.h"
#include "report/read/classrecords.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <filesystem>

namespace report {

namespace {

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

// The system's words for why a file failed, without the full stop that Windows ends them with.
QString reason(const QFile& file, const QString& otherwise) {
    QString text = file.error() == QFileDevice::NoError ? otherwise : file.errorString().trimmed();
    while (text.endsWith(u'.')) {
        text.chop(1);
    }
    return text.isEmpty() ? otherwise : text;
}

// Hands what is written to the file until all of it is taken: a file system that fills up takes part of a write and
// gives its reason only at the next.
class WholeWrites : public QIODevice {
public:
    explicit WholeWrites(QFile& file) : m_file(file) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        for (qint64 done = 0; done < size;) {
            if (interruption::interrupted()) { // the writer takes back what it made, and the program ends
                return -1;
            }
            const qint64 wrote = m_file.write(data + done, size - done);
            if (wrote <= 0) {
                return -1;
            }
            done += wrote;
        }
        return size;
    }

private:
    QFile& m_file;
};

std::optional<QString> writeOpen(QFile& file, const std::function<bool(QIODevice&)>& write) {
    WholeWrites whole(file);
    if (!write(whole)) {
        return reason(file, QStringLiteral("it could not be written whole"));
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        return reason(file, QStringLiteral("it could not be closed"));
    }
    return std::nullopt;
}

// A device, a FIFO or a pipe, written as it is: it is never the report's to replace.
std::optional<QString> writeStraight(const QString& path, const std::function<bool(QIODevice&)>& write) {
    QFile file;
    durablefile::clearSystemError();
    if (!(path == u"-" ? durablefile::openStandardOutput(file) : durablefile::openStraight(file, path))) {
        return durablefile::systemError().value_or(QStringLiteral("it cannot be opened"));
    }
    return writeOpen(file, write);
}

// What a run killed while it wrote a page or table left beside it: a file named as this program names the ones it
// makes there, and not written to for a while, so not another run's that is writing its own now.
void removeLeftBeside(const QString& target) {
    const QFileInfo at(target);
    static const QRegularExpression made(QStringLiteral("^\\.\\d{6}\\.tmp$"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-600);
    const QDir folder = at.dir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted)) {
        if (!name.startsWith(at.fileName()) || !made.match(QStringView(name).sliced(at.fileName().size())).hasMatch()) {
            continue;
        }
        const QFileInfo left(folder.filePath(name));
        if (!left.isSymLink() && left.lastModified().toUTC() < before) {
            QFile::remove(left.filePath());
        }
    }
}

} // namespace

std::optional<QString> writeNew(const QString& path, const durablefile::Standing& replacing,
                                const std::function<bool(QIODevice&)>& write) {
    QFile file(path);
    // the mode the umask allows, as any new file of the user's
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        return reason(file, QStringLiteral("it cannot be made"));
    }
    durablefile::keepModeAndOwner(file, replacing);
    std::optional<QString> failure = writeOpen(file, write);
    if (failure) {
        file.remove();
    }
    return failure;
}

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
    try {
        return QString::fromStdU16String(at.u16string());
    } catch (const std::exception&) {
        return QString(); // a link to a name with a byte that is no UTF-8, which no QString holds
    }
}

std::optional<QString> refusedTarget(const QString& target) {
    if (classify(QFileInfo(target).fileName()).role == FileRole::Other) {
        return std::nullopt;
    }
    return QStringLiteral("it leads to %1, a student's record file, which the report never writes over")
        .arg(QDir::toNativeSeparators(QDir::cleanPath(target)));
}

std::optional<QString> writeReportFile(const QString& path, const std::function<bool(QIODevice&)>& write) {
    StagedFile file;
    if (auto failure = file.stage(path, write)) {
        return failure;
    }
    return file.place();
}

StagedFile::~StagedFile() {
    discard();
}

void StagedFile::discard() {
    if (!m_made.isEmpty()) {
        QFile::remove(m_made);
        m_made.clear();
    }
}

std::optional<QString> StagedFile::stage(const QString& path, const std::function<bool(QIODevice&)>& write) {
    m_deferred.emplace();
    // the program's own standard output, whatever it leads to: opened again by its name, a file given with >> would be
    // written from its start, and one given with > replaced rather than written
    if (path == u"-" || path == u"/dev/stdout" || path == u"/dev/fd/1" || path == u"/proc/self/fd/1") {
        m_straight = QStringLiteral("-");
        m_write = write;
        return std::nullopt;
    }
    // what the links lead to, asked of the system: /dev/stdout leads to a pipe by a name that is no path
    switch (durablefile::kindOf(path)) {
    case durablefile::Kind::Folder:
        return QStringLiteral("it is a folder");
    case durablefile::Kind::Other:
        m_straight = path;
        m_write = write;
        return std::nullopt;
    case durablefile::Kind::None:
    case durablefile::Kind::Regular:
        break;
    }
    const QString target = outputTarget(path);
    if (target.isEmpty()) {
        return linkBeyondUtf8;
    }
    std::error_code error;
    if (std::filesystem::is_symlink(fsPath(target), error)) {
        return QStringLiteral("too many levels of symbolic links"); // a loop: no link of it is replaced
    }
    if (auto refused = refusedTarget(target)) {
        return refused;
    }
    // made whole beside the target first, so that a reader never sees half of it and a failure leaves the old one
    removeLeftBeside(target);
    QString made;
    for (int attempt = 0; attempt < 100; ++attempt) {
        made = target +
               QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate() % 1000000, 6, 10, QLatin1Char('0'));
        if (!QFile::exists(made)) {
            break;
        }
    }
    if (const auto failure = writeNew(made, durablefile::standing(target), write)) {
        return failure;
    }
    m_made = made;
    m_target = target;
    return std::nullopt;
}

std::optional<QString> StagedFile::place() {
    if (!m_write && m_made.isEmpty()) {
        return QStringLiteral("nothing was written to put in place");
    }
    if (m_write) {
        auto failure = writeStraight(m_straight, m_write);
        m_deferred.reset();
        return failure;
    }
    if (auto failure = durablefile::replaceKeeping(m_made, m_target)) {
        return failure;
    }
    m_made.clear();
    m_deferred.reset();
    return std::nullopt;
}

} // namespace report
