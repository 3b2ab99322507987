#include "report/read/classrecords.h"

#include <algorithm>

// A rating as typed into the rating box, and the number it reads as.
namespace report {

namespace {

bool isBlankChar(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\u3000' || c == u'\u00a0';
}

QStringView withoutBlanks(QStringView t) {
    while (!t.isEmpty() && isBlankChar(t.front())) {
        t = t.mid(1);
    }
    while (!t.isEmpty() && isBlankChar(t.back())) {
        t.chop(1);
    }
    return t;
}

} // namespace

bool isPlainRating(QStringView typed) {
    const QStringView t = withoutBlanks(typed);
    return t.size() == 1 && t[0] >= u'0' && t[0] <= u'3';
}

int ratingNumber(QStringView typed) {
    QStringView t = withoutBlanks(typed);
    if (t.size() == 1 && t[0] >= u'0' && t[0] <= u'3') {
        return t[0].unicode() - u'0';
    }
    // the code page holds no full-width digit: the writer spells one out as "[U+FF13]"
    QString spelled;
    if (t.contains(u"[U+FF", Qt::CaseInsensitive)) {
        spelled = t.toString();
        for (char16_t c = 0xFF01; c <= 0xFF5E; ++c) {
            spelled.replace(QStringLiteral("[U+%1]").arg(static_cast<uint>(c), 4, 16).toUpper(),
                            QString(QChar(static_cast<char16_t>(c - 0xFEE0))), Qt::CaseInsensitive);
        }
        t = spelled;
    }
    // the full-width forms of ASCII, as an East Asian input method types them, stand for the ASCII characters
    const auto ascii = [&](qsizetype i) -> char16_t {
        const char16_t c = t[i].unicode();
        return c >= 0xFF01 && c <= 0xFF5E ? static_cast<char16_t>(c - 0xFEE0) : c;
    };
    qsizetype i = 0;
    if (i < t.size() && ascii(i) == u'+') {
        ++i;
    }
    int value = 0;
    qsizetype digits = 0;
    for (; i < t.size() && ascii(i) >= u'0' && ascii(i) <= u'9'; ++i, ++digits) {
        value = std::min(value * 10 + (ascii(i) - u'0'), 10);
    }
    if (digits == 0 || value > 3) {
        return -1;
    }
    if (i < t.size() && ascii(i) == u'.') {
        for (++i; i < t.size() && ascii(i) == u'0'; ++i) {
        }
    }
    return i == t.size() ? value : -1;
}

} // namespace report
