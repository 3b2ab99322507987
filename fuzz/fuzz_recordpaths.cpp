#include "fuzzcheck.h"
#include "records/recordpaths.h"

#include <QDir>

using fuzzcheck::require;

namespace {
const QString home = QStringLiteral("/home/s");

// The file of a record path lies in the folder the student named, under a name of its own kind that a file system
// can hold, whatever the name and the folder were.
void checkRecordPath(const QString& folder, const QString& recordPath, QStringView kind) {
    const QString native = recordpaths::nativePath(recordPath, home);
    const qsizetype cut = native.lastIndexOf(u'/');
    const QString fileName = native.mid(cut + 1);
    require(QDir::cleanPath(native.left(cut + 1)) == QDir::cleanPath(recordpaths::nativePath(folder, home)),
            "the file lies in the folder named");
    require(fileName.startsWith(kind) && fileName.endsWith(QStringLiteral(".txt")), "the file name keeps its frame");
    require(fileName.toUtf8().size() <= 255, "the file name fits in 255 bytes");
    for (const QChar c : QStringView(fileName).mid(kind.size())) {
        require(c > u' ' && c != QChar(0x7F) && !QStringView(u"\\/:*?\"<>|").contains(c),
                "the name part holds no blank, control or reserved character");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // the folder up to the first line feed, the name after it
    std::size_t cut = 0;
    while (cut < size && data[cut] != '\n') {
        ++cut;
    }
    const QString folder = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(cut));
    const std::size_t rest = cut < size ? cut + 1 : size;
    for (const QString& name : fuzzcheck::texts(data + rest, size - rest)) {
        checkRecordPath(folder, recordpaths::masterFilePath(folder, name), u"masterFile_");
        checkRecordPath(folder, recordpaths::sendFilePath(folder, name, QStringLiteral("01-07-2026")), u"send_0107");
        checkRecordPath(folder, recordpaths::notesFilePath(folder, name), u"notes_");
    }
    return 0;
}
