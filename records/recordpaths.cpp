#include "records/recordpaths.h"

#include <QCryptographicHash>
#include <QDir>

#include <algorithm>

namespace recordpaths {

namespace {
bool isUnsafe(QChar c) {
    return c == u' ' || c < u' ' || c == QChar(0x7F) || QStringView(u"\\/:*?\"<>|").contains(c);
}

// File systems hold at most 255 bytes in a file name; "masterFile_" and ".txt", the longest frame of the three,
// leave this much for the name.
constexpr qsizetype maxFileNameBytes = 255;
constexpr qsizetype namePartBytes = maxFileNameBytes - 11 - 4;

// A name too long for its room keeps as much of its start as fits, then "~" and a code made from the whole name, so
// that the same name always finds the same files and two long names that start alike do not share them.
QString shortened(const QString& part, qsizetype partBytes) {
    const QByteArray hash = QCryptographicHash::hash(part.toUtf8(), QCryptographicHash::Sha256).left(4).toHex();
    const qsizetype room = partBytes - 1 - hash.size();
    qsizetype kept = 0;
    qsizetype bytes = 0;
    while (kept < part.size()) {
        const bool pair = part[kept].isHighSurrogate() && kept + 1 < part.size() && part[kept + 1].isLowSurrogate();
        const qsizetype units = pair ? 2 : 1;
        const qsizetype size = QStringView(part).mid(kept, units).toUtf8().size();
        if (bytes + size > room) {
            break;
        }
        bytes += size;
        kept += units;
    }
    return part.left(kept) + u'~' + QString::fromLatin1(hash);
}

bool isNative(const QString& path) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    return path.startsWith(u'/') || path.startsWith(u'~');
#endif
}

// Folder and file name are joined the way the folder was written: a folder typed as a native path takes a slash,
// since nativePath leaves such a path as it stands.
QString inFolder(const QString& workFolder, const QString& fileName) {
    if (workFolder.isEmpty()) {
        return fileName;
    }
    return workFolder + (isNative(workFolder) ? u'/' : u'\\') + fileName;
}
} // namespace

QString namePart(const QString& fullName, qsizetype frameBytes) {
    QString part = fullName;
    for (QChar& c : part) {
        if (isUnsafe(c)) {
            c = u'_';
        }
    }
    const qsizetype room = std::min(namePartBytes, maxFileNameBytes - frameBytes);
    return part.toUtf8().size() > room ? shortened(part, room) : part;
}

QString namePart(const QString& fullName) {
    return namePart(fullName, 0);
}

QString masterFilePath(const QString& workFolder, const QString& fullName) {
    return inFolder(workFolder, QStringLiteral("masterFile_") + namePart(fullName) + QStringLiteral(".txt"));
}

QString sendFilePath(const QString& workFolder, const QString& fullName, const QString& dateText) {
    return inFolder(workFolder, QStringLiteral("send_") + dateText.left(2) + dateText.mid(3, 2) + namePart(fullName) +
                                    QStringLiteral(".txt"));
}

QString notesFilePath(const QString& workFolder, const QString& fullName) {
    return inFolder(workFolder, QStringLiteral("notes_") + namePart(fullName) + QStringLiteral(".txt"));
}

QString unsentFilePath(const QString& workFolder, const QString& fullName) {
    return inFolder(workFolder, QStringLiteral("unsent_") + namePart(fullName) + QStringLiteral(".txt"));
}

QString draftPrefix(const QString& fullName) {
    return QStringLiteral(".unsent_") + namePart(fullName, draftFrameBytes) + u'.';
}

QString draftPath(const QString& workFolder, const QString& fullName, const QString& runId) {
    return inFolder(workFolder, draftPrefix(fullName) + runId + draftSuffix);
}

QString nativePath(const QString& recordPath, const QString& homeFolder) {
#ifdef Q_OS_WIN
    Q_UNUSED(homeFolder);
    return recordPath;
#else
    if (recordPath.startsWith(u'/')) {
        return recordPath;
    }
    if (recordPath == u"~" || recordPath.startsWith(u"~/")) {
        return homeFolder + recordPath.mid(1);
    }
    if (recordPath.startsWith(u'~')) {
        return recordPath;
    }
    QString path = recordPath;
    if (path.size() >= 2 && path[1] == u':' && path[0].isLetter() && path[0].unicode() < 128) {
        QString rest = path.mid(2);
        if (!rest.startsWith(u'\\') && !rest.startsWith(u'/')) {
            rest.prepend(u'/');
        }
        path = homeFolder + rest;
    }
    path.replace(u'\\', u'/');
    return path;
#endif
}

QString nativePath(const QString& recordPath) {
    return nativePath(recordPath, QDir::homePath());
}

} // namespace recordpaths
