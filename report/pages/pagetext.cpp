#include "report/pages/pagetext.h"

#include "report/read/classrecords.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string_view>

namespace report {

namespace {

// The ASCII characters that stand in a page as they are: not markup, not a control character.
constexpr std::array<bool, 128> plainAscii = [] {
    std::array<bool, 128> plain{};
    for (std::size_t c = 0x20; c < 0x7F; ++c) {
        plain[c] = c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
    }
    // a page reads CR LF and a lone CR as a line break, as a student's text means them
    plain['\t'] = true;
    plain['\n'] = true;
    plain['\r'] = true;
    return plain;
}();

#if defined(__SSE2__)
// Sixteen characters narrowed to bytes, and which of them are not ASCII that a page shows as they are.
struct SixteenPlain {
    const __m128i blank = _mm_set1_epi8(0x20);
    const __m128i del = _mm_set1_epi8(0x7F);
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i quot = _mm_set1_epi8('"');
    const __m128i apos = _mm_set1_epi8('\'');

    // with saturation: a character from U+0100 on becomes 0xFF, one from U+8000 on 0, and neither is plain
    static __m128i narrow(const char16_t* p) {
        return _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)));
    }

    // One bit a character, set where it is not plain.
    unsigned notPlain(__m128i bytes) const {
        // line breaks and tabs are the control characters a text holds as a rule; they stay as they are
        const __m128i breaks = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, tab), _mm_cmpeq_epi8(bytes, lf)),
                                            _mm_cmpeq_epi8(bytes, cr));
        // compared as signed numbers: every byte from 0x80 on counts as below the blank
        const __m128i control = _mm_andnot_si128(breaks, _mm_cmplt_epi8(bytes, blank));
        const __m128i markup =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, amp), _mm_cmpeq_epi8(bytes, lt)),
                         _mm_or_si128(_mm_cmpeq_epi8(bytes, gt),
                                      _mm_or_si128(_mm_cmpeq_epi8(bytes, quot), _mm_cmpeq_epi8(bytes, apos))));
        const __m128i special = _mm_or_si128(_mm_or_si128(control, _mm_cmpeq_epi8(bytes, del)), markup);
        return static_cast<unsigned>(_mm_movemask_epi8(special));
    }
};
#endif

// The marks and overrides that change the direction of the text around them.
constexpr bool isBidiControl(char16_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

char* putUtf8(char* p, char32_t u) {
    if (u < 0x800) {
        *p++ = static_cast<char>(0xC0 | u >> 6);
    } else if (u < 0x10000) {
        *p++ = static_cast<char>(0xE0 | u >> 12);
        *p++ = static_cast<char>(0x80 | (u >> 6 & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | u >> 18);
        *p++ = static_cast<char>(0x80 | (u >> 12 & 0x3F));
        *p++ = static_cast<char>(0x80 | (u >> 6 & 0x3F));
    }
    *p++ = static_cast<char>(0x80 | (u & 0x3F));
    return p;
}

char* putText(char* p, std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
}

// One character, or a surrogate pair, from data[i] on, as the page holds it; i is moved past it.
char* putEscaped(char* p, const char16_t* data, qsizetype size, qsizetype& i) {
    const char16_t c = data[i++];
    if (c < 0x80 && plainAscii[c]) {
        *p++ = static_cast<char>(c);
        return p;
    }
    switch (c) {
    case u'&':
        return putText(p, "&amp;");
    case u'<':
        return putText(p, "&lt;");
    case u'>':
        return putText(p, "&gt;");
    case u'"':
        return putText(p, "&quot;");
    case u'\'':
        return putText(p, "&#39;");
    default:
        break;
    }
    if (c < 0x20 || c == 0x7F) {
        // NUL, escape and the like show as their pictures: the text stays as typed and the page valid
        return putUtf8(p, c == 0x7F ? char32_t(0x2421) : char32_t(0x2400 + c));
    }
    if (c <= 0x9F) {
        static constexpr char hex[] = "0123456789ABCDEF";
        p = putText(p, "[U+00");
        *p++ = hex[c >> 4];
        *p++ = hex[c & 0xF];
        return putText(p, "]");
    }
    if (isBidiControl(c)) {
        // shown, not obeyed: a text cannot turn the page's lines around
        static constexpr char hex[] = "0123456789ABCDEF";
        p = putText(p, "[U+");
        for (int shift = 12; shift >= 0; shift -= 4) {
            *p++ = hex[c >> shift & 0xF];
        }
        return putText(p, "]");
    }
    if (!QChar::isSurrogate(c)) {
        return putUtf8(p, c);
    }
    if (QChar::isHighSurrogate(c) && i < size && QChar::isLowSurrogate(data[i])) {
        return putUtf8(p, QChar::surrogateToUcs4(c, data[i++]));
    }
    return putUtf8(p, QChar::ReplacementCharacter);
}

} // namespace

void appendEscaped(std::string& out, QStringView text) {
    const char16_t* data = text.utf16();
    const qsizetype size = text.size();
    // a slice at a time into room for the longest form of each of its characters, then onto the page
    constexpr qsizetype slice = 512;
    constexpr qsizetype longest = 8; // "[U+0081]"
    char room[slice * longest];
#if defined(__SSE2__)
    const SixteenPlain sixteen;
#endif
    qsizetype i = 0;
    while (i < size) {
        const qsizetype end = std::min(size, i + slice);
        char* p = room;
        while (i < end) {
#if defined(__SSE2__)
            if (i + 16 <= end) {
                // the plain characters before the first that is not go over as bytes, all sixteen as a rule
                const __m128i bytes = SixteenPlain::narrow(data + i);
                const unsigned special = sixteen.notPlain(bytes);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p), bytes);
                const int plain = special == 0 ? 16 : std::countr_zero(special);
                p += plain;
                i += plain;
                if (plain == 16) {
                    continue;
                }
            }
#endif
            p = putEscaped(p, data, size, i);
        }
        out.append(room, p);
    }
}

QString escaped(QStringView text) {
    std::string out;
    appendEscaped(out, text);
    return QString::fromStdString(out);
}

int ratingValue(QStringView typed) {
    return ratingNumber(typed);
}

} // namespace report
