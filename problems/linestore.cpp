#include "problems/linestore.h"

#include <QFile>

static void initProblemResources() {
    Q_INIT_RESOURCE(problems);
}

namespace linestore {

QStringList parseDocument(const QString& fileText, QStringList* errors) {
    QStringList lines;
    const QStringList fileLines = fileText.split(u'\n');
    for (qsizetype n = 0; n < fileLines.size(); ++n) {
        QStringView text(fileLines[n]);
        if (text.endsWith(u'\r')) {
            text.chop(1);
        }
        if (text.isEmpty() || text.startsWith(u'#')) {
            continue;
        }
        const QChar tag = text[0];
        const bool wellFormed = (tag == u'=' || tag == u'+') && (text.size() == 1 || text[1] == u' ');
        if (!wellFormed || (tag == u'+' && lines.isEmpty())) {
            if (errors) {
                errors->append(QStringLiteral("line %1: %2").arg(n + 1).arg(text.left(40)));
            }
            continue;
        }
        const QStringView content = text.mid(2);
        if (tag == u'=') {
            lines.append(content.toString());
        } else {
            lines.last() += QStringLiteral("\r\n");
            lines.last() += content;
        }
    }
    return lines;
}

QString carriedDocumentText() {
    initProblemResources();
    QFile file(QStringLiteral(":/problems/problemset.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace linestore
