#include "problems/linestore.h"

#include <QFile>

static void initProblemResources() {
    Q_INIT_RESOURCE(problems);
}

namespace linestore {

ReadDocument readDocument(const QString& fileText) {
    ReadDocument doc;
    doc.fileLines = fileText.split(u'\n');
    for (QString& line : doc.fileLines) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
    }
    // a file that ends with its line end has no line after it
    if (doc.fileLines.size() > 1 && doc.fileLines.last().isEmpty()) {
        doc.fileLines.removeLast();
    }
    for (qsizetype n = 0; n < doc.fileLines.size(); ++n) {
        const QStringView text(doc.fileLines[n]);
        const int fileLine = static_cast<int>(n + 1);
        if (text.isEmpty() || text.startsWith(u'#')) {
            continue;
        }
        const QChar tag = text[0];
        const bool wellFormed = (tag == u'=' || tag == u'+') && (text.size() == 1 || text[1] == u' ');
        if (!wellFormed || (tag == u'+' && doc.lines.isEmpty())) {
            doc.leftOut.push_back({fileLine, wellFormed});
            continue;
        }
        const QStringView content = text.mid(2);
        if (tag == u'=') {
            doc.lines.append(content.toString());
            doc.origins.push_back({{fileLine, 0}});
        } else {
            doc.lines.last() += QStringLiteral("\r\n");
            doc.origins.back().push_back({fileLine, doc.lines.last().size()});
            doc.lines.last() += content;
        }
    }
    return doc;
}

QStringList parseDocument(const QString& fileText, QStringList* errors) {
    ReadDocument doc = readDocument(fileText);
    if (errors) {
        for (const LeftOut& bad : doc.leftOut) {
            errors->append(
                QStringLiteral("line %1: %2").arg(bad.fileLine).arg(doc.fileLines[bad.fileLine - 1].left(40)));
        }
    }
    return std::move(doc.lines);
}

QString carriedDocumentText() {
    initProblemResources();
    // A drill built for a course team's course carries it in its executable, beside the program's own.
    QFile file(QFile::exists(QStringLiteral(":/course/course.txt")) ? QStringLiteral(":/course/course.txt")
                                                                    : QStringLiteral(":/problems/problemset.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace linestore
