#include "support/fixtures.h"

#include "support/testrun.h"

#include <QFile>

namespace fixtures {

QStringList smallDocumentLines() {
    return {
        QStringLiteral("001.  Algebra"),
        QString(),
        QStringLiteral("`q001.  What is 2 + 3?"),
        QStringLiteral("`a5.\r\n\r\nCOMMON ERROR: 23."),
        QString(),
        QStringLiteral("`q002.  Double it."),
        QString(),
        QStringLiteral("`a10"),
        QString(),
        QStringLiteral("end program"),
        QString(),
        QStringLiteral("002.  Functions"),
        QString(),
        QStringLiteral("`q001.  f(x) = x^2; find f(3).{}Show the work."),
        QStringLiteral("`a9"),
        QStringLiteral("end program"),
        QString(),
        QStringLiteral("003.  Limits"),
        QString(),
        QStringLiteral("`q001.  Find the limit of (x^2 - 1)/(x - 1) as x approaches 1."),
        QStringLiteral("`a2"),
        QStringLiteral("end program"),
    };
}

QString smallDocument() {
    return documentOf(smallDocumentLines());
}

std::deque<float> knownDraws() {
    std::deque<float> draws{0.05f, 0.05f, 0.5f, 0.0f};
    for (int pass = 2; pass <= 19; ++pass) {
        draws.push_back(0.5f);
        draws.push_back(0.5f);
    }
    return draws;
}

QByteArray expectedFile(const QString& name) {
    QFile f(QStringLiteral(QT_TESTCASE_SOURCEDIR "/data/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing expected file " + name.toUtf8() + ">");
}

} // namespace fixtures
