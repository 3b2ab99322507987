#include "records/linecoding.h"

#include "records/codepage.h"

#include <cmath>

namespace linecoding {

QString code(const QString& aLine, float /*codeNbr*/) {
    return aLine;
}

QString remSpaces(const QString& aLine) {
    QString result;
    result.reserve(aLine.size());
    for (const QChar c : aLine) {
        if (c != u' ' && c != u'-') {
            result += c;
        }
    }
    return result;
}

namespace {
// The products are formed in single precision and rounded half to even, as the draws are singles.
QChar fillerChar(float r, float scale, float offset) {
    const float value = r * scale + offset;
    return codepage::toUnicode(static_cast<unsigned char>(std::nearbyint(value)));
}
} // namespace

QString makeCodeLine(float codeNbr, const std::function<float()>& rnd) {
    QString line;
    for (int pass = 1; static_cast<float>(pass) <= codeNbr; ++pass) {
        const float r = rnd();
        if (r < 0.1f) {
            const float s = rnd();
            line += fillerChar(s, 50.0f, 66.0f);
        }
        const float t = rnd();
        line += fillerChar(t, 137.0f, 118.0f);
    }
    return line;
}

} // namespace linecoding
