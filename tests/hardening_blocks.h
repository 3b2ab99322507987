#pragma once

#include "records/codepage.h"
#include "records/recordblocks.h"

#include <QByteArray>
#include <QString>

// The blocks that the concurrent writers of tst_hardening append: real response blocks, each large enough to take
// many pages and to outgrow a pipe, and each telling its writer and number in its text.
namespace hardening {

inline QByteArray writerBlock(const QString& writer, int number) {
    const QString tag = QStringLiteral("writer %1 block %2 ").arg(writer).arg(number, 3, 10, QLatin1Char('0'));
    return codepage::encode(recordblocks::joinLines(recordblocks::responseBlock(
        true, QStringLiteral("09:30:05"), 10000.0 + number, QStringLiteral("`q001.  ") + tag, tag.repeated(3000),
        recordblocks::confidenceLabel + QStringLiteral("2"), 19)));
}

// The writer's blocks that go to /dev/full in place of the send file, fail, and are taken back.
inline bool failsOnPurpose(int number, int failEvery) {
    return failEvery > 0 && number % failEvery == failEvery - 1;
}

} // namespace hardening
