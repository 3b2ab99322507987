#include "report/read/terminaltext.h"

#include <algorithm>

namespace report {

namespace {

// The controls that change the direction of what follows them, and the separators that break a line without a line
// end of their own.
bool isFormatControl(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
           c == 0x2028 || c == 0x2029;
}

} // namespace

QString terminalText(const QString& text) {
    const auto shownAsIs = [](char16_t c) {
        return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0) && !isFormatControl(c);
    };
    qsizetype i = 0;
    while (i < text.size() && shownAsIs(text[i].unicode())) {
        ++i;
    }
    if (i == text.size()) {
        return text; // as nearly every text is
    }
    QString out = text.first(i);
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 || c == 0x7F) {
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QChar(u'0'));
        } else if (!shownAsIs(c)) {
            out += QStringLiteral("<U+%1>").arg(QString::number(c, 16).toUpper().rightJustified(4, u'0'));
        } else {
            out += QChar(c);
        }
    }
    return out;
}

QString shownFileName(const QByteArray& name) {
    const auto* p = reinterpret_cast<const unsigned char*>(name.constData());
    const qsizetype n = name.size();
    if (std::all_of(p, p + n, [](unsigned char c) { return c < 0x80; })) {
        return QString::fromLatin1(name); // as nearly every name is
    }
    QString out;
    qsizetype run = 0; // where the UTF-8 not yet taken over begins
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        qsizetype length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        bool valid = length > 0 && i + length <= n;
        for (qsizetype k = 1; valid && k < length; ++k) {
            valid = (p[i + k] & 0xC0) == 0x80;
        }
        if (valid && length > 1) {
            // overlong forms, surrogates and code points past U+10FFFF are no UTF-8 either
            const QString decoded = QString::fromUtf8(name.constData() + i, length);
            valid = !decoded.contains(QChar(0xFFFD)) || name.mid(i, length) == "\xEF\xBF\xBD";
        }
        if (!valid) {
            out += QString::fromUtf8(name.constData() + run, i - run);
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QChar(u'0'));
            run = ++i;
            continue;
        }
        i += length;
    }
    out += QString::fromUtf8(name.constData() + run, n - run);
    return out;
}

} // namespace report
