#include "records/recordpaths.h"

#include <QDir>

namespace recordpaths {

namespace {
bool isUnsafe(QChar c) {
    return c == u' ' || c < u' ' || c == QChar(0x7F) || QStringView(u"\\/:*?\"<>|").contains(c);
}
} // namespace

QString namePart(const QString& fullName) {
    QString part = fullName;
    for (QChar& c : part) {
        if (isUnsafe(c)) {
            c = u'_';
        }
    }
    return part;
}

QString masterFilePath(const QString& workFolder, const QString& fullName) {
    return workFolder + QStringLiteral("\\masterFile_") + namePart(fullName) + QStringLiteral(".txt");
}

QString sendFilePath(const QString& workFolder, const QString& fullName, const QString& dateText) {
    return workFolder + QStringLiteral("\\send_") + dateText.left(2) + dateText.mid(3, 2) + namePart(fullName) +
           QStringLiteral(".txt");
}

QString notesFilePath(const QString& workFolder, const QString& fullName) {
    return workFolder + QStringLiteral("\\notes_") + namePart(fullName) + QStringLiteral(".txt");
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
