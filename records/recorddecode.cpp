#include "records/recordreader.h"

#include "records/codepage.h"

#include <QStringDecoder>

#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace recordreader {

namespace {

// What a run of bytes holds: characters beyond ASCII in valid UTF-8, and bytes that UTF-8 cannot hold.
struct Utf8Scan {
    bool beyondAscii = false;
    bool invalid = false;
};

// The length of the UTF-8 sequence at p[i], or 0 when it is not one.
std::size_t utf8Length(const unsigned char* p, std::size_t i, std::size_t n) {
    const unsigned char c = p[i];
    std::size_t length = 0;
    char32_t least = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2;
        least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > n) {
        return 0;
    }
    char32_t code = c & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (p[i + k] & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

// The first byte at or after i, before to, that is not ASCII (or to): sixteen bytes at a time where the processor
// can, then eight, then one.
std::size_t skipAscii(const unsigned char* p, std::size_t i, std::size_t to) {
#if defined(__SSE2__)
    while (i + 16 <= to && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))) == 0) {
        i += 16;
    }
#endif
    for (quint64 eight = 0; i + 8 <= to; i += 8) {
        std::memcpy(&eight, p + i, 8);
        if ((eight & 0x8080808080808080ULL) != 0) {
            break;
        }
    }
    while (i < to && p[i] < 0x80) {
        ++i;
    }
    return i;
}

// Scans bytes [from, to) until a byte that UTF-8 cannot hold.
Utf8Scan scanUtf8(const unsigned char* p, std::size_t from, std::size_t to) {
    Utf8Scan scan;
    std::size_t i = from;
    while ((i = skipAscii(p, i, to)) < to) {
        const std::size_t length = utf8Length(p, i, to);
        if (length == 0) {
            scan.invalid = true;
            return scan;
        }
        scan.beyondAscii = true;
        i += length;
    }
    return scan;
}

// Which lines of a file are UTF-8 with characters beyond ASCII (beyondAscii), and which hold a byte UTF-8 cannot
// (invalid): each line is one or the other, or ASCII. A line of the code page's characters may hold a pair that
// happens to be valid UTF-8 (the filler line draws its characters at random), so a line counts whole.
Utf8Scan scanLines(const unsigned char* p, std::size_t n) {
    Utf8Scan file;
    std::size_t done = 0; // the end of the last line looked at
    std::size_t i = 0;
    while ((i = skipAscii(p, i, n)) < n && !(file.beyondAscii && file.invalid)) {
        std::size_t start = i;
        while (start > done && p[start - 1] != '\n') {
            --start;
        }
        const void* lf = std::memchr(p + i, '\n', n - i);
        const std::size_t end = lf ? static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - p) + 1 : n;
        const Utf8Scan line = scanUtf8(p, start, end);
        file.invalid = file.invalid || line.invalid;
        file.beyondAscii = file.beyondAscii || (line.beyondAscii && !line.invalid);
        done = i = end;
    }
    return file;
}

// UTF-16 without a byte-order mark: a record file is mostly ASCII, so one byte of nearly every pair is zero.
std::optional<QStringDecoder::Encoding> utf16WithoutMark(const QByteArray& bytes, qsizetype look = 4096) {
    const qsizetype n = std::min<qsizetype>(bytes.size() & ~qsizetype(1), look);
    // a file with no zero byte at its start, as every file in one byte a character, is told at once
    if (n < 8 || !std::memchr(bytes.constData(), 0, static_cast<std::size_t>(n))) {
        return std::nullopt;
    }
    qsizetype evenZeros = 0;
    qsizetype oddZeros = 0;
    for (qsizetype i = 0; i < n; i += 2) {
        evenZeros += bytes[i] == 0 ? 1 : 0;
        oddZeros += bytes[i + 1] == 0 ? 1 : 0;
    }
    const qsizetype pairs = n / 2;
    if (oddZeros * 10 >= pairs * 7 && evenZeros * 20 < pairs) {
        return QStringDecoder::Utf16LE;
    }
    if (evenZeros * 10 >= pairs * 7 && oddZeros * 20 < pairs) {
        return QStringDecoder::Utf16BE;
    }
    return std::nullopt;
}

// Where a UTF-16 file's text ends when the drill appended to it afterwards, in its own single bytes: after its last
// line end (CR LF, LF or CR), bytes among which there is no zero. The file's size when nothing was appended.
qsizetype utf16End(const QByteArray& bytes, qsizetype from, QStringDecoder::Encoding encoding) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    qsizetype lastZero = bytes.size() - 1;
    while (lastZero >= from && p[lastZero] != 0) {
        --lastZero;
    }
    if (lastZero < from) {
        return bytes.size();
    }
    const bool little = encoding == QStringDecoder::Utf16LE;
    for (qsizetype i = lastZero - ((lastZero - from) % 2); i >= from; i -= 2) {
        const unsigned unit = little ? p[i] | (p[i + 1] << 8) : (p[i] << 8) | p[i + 1];
        if (unit == u'\n' || unit == u'\r') {
            const qsizetype end = i + 2;
            return end > lastZero && end < bytes.size() ? end : bytes.size();
        }
    }
    return bytes.size();
}

// A UTF-16 part that another program appended to a file in single bytes: it begins at a line's start, with or without
// its byte-order mark, before the file's first zero byte, and holds a zero in nearly every pair from there.
struct Utf16Part {
    qsizetype start = 0; // of the part, its mark included
    qsizetype mark = 0;  // the mark's length, 0 or 2
    QStringDecoder::Encoding kind = QStringDecoder::Utf16LE;
};

std::optional<Utf16Part> utf16PartAfter(const QByteArray& bytes, qsizetype from) {
    const char* data = bytes.constData();
    const void* zero = std::memchr(data + from, 0, static_cast<std::size_t>(bytes.size() - from));
    if (!zero) {
        return std::nullopt;
    }
    qsizetype start = static_cast<const char*>(zero) - data;
    while (start > from && data[start - 1] != '\n' && data[start - 1] != '\r') {
        --start;
    }
    if (start == from) {
        return std::nullopt; // the file's first line: a UTF-16 file is told from its start
    }
    const QByteArray part = QByteArray::fromRawData(data + start, bytes.size() - start);
    if (part.startsWith("\xFF\xFE") || part.startsWith("\xFE\xFF")) {
        return Utf16Part{start, 2, part.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE};
    }
    std::optional<QStringDecoder::Encoding> kind = utf16WithoutMark(part);
    kind = kind ? kind : utf16WithoutMark(part, 256);
    return kind ? std::optional<Utf16Part>(Utf16Part{start, 0, *kind}) : std::nullopt;
}

// A file that is UTF-8 in some lines and Windows-1252 in others, as when an editor saved it in UTF-8 and another file
// was appended: each line is read as what it is, and where the parts begin is told.
QString decodeMixed(const QByteArray& bytes, std::vector<Problem>& problems) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const std::size_t n = static_cast<std::size_t>(bytes.size());
    QString text;
    text.reserve(bytes.size());
    std::size_t start = 0;
    qsizetype line = 1;
    int part = 0; // 1 UTF-8, 2 code page
    while (start < n) {
        const void* lf = std::memchr(p + start, '\n', n - start);
        const std::size_t end = lf ? static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - p) + 1 : n;
        const Utf8Scan scan = scanUtf8(p, start, end);
        const QByteArray bytesOfLine = QByteArray::fromRawData(bytes.constData() + start, qsizetype(end - start));
        if (scan.invalid) {
            text += codepage::decode(bytesOfLine);
        } else {
            text += QString::fromUtf8(bytesOfLine);
        }
        const int kind = scan.invalid ? 2 : scan.beyondAscii ? 1 : part;
        if (kind != part && kind != 0) {
            problems.push_back({line,
                                kind == 1 ? QStringLiteral("the file mixes encodings: from this line it is in UTF-8; "
                                                           "read as UTF-8")
                                          : QStringLiteral("the file mixes encodings: from this line it is in "
                                                           "Windows-1252; read as Windows-1252"),
                                QString()});
            part = kind;
        }
        start = end;
        ++line;
    }
    return text;
}
} // namespace

Reading readBytes(const QByteArray& bytes, SharedTexts* shared) {
    QString text;
    bool codePage = false; // text holds a character for each byte
    QString encoding;
    std::vector<Problem> mixed;
    std::optional<Problem> appended; // to a UTF-16 file
    // the three bytes of a UTF-8 mark, unless the line they begin is no UTF-8: then they are the first three letters
    // of a Windows-1252 filler line, which the drill draws from those bytes too
    const auto firstLineEnd = [&] {
        const void* lf = std::memchr(bytes.constData(), '\n', static_cast<std::size_t>(bytes.size()));
        return lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - bytes.constData())
                  : static_cast<std::size_t>(bytes.size());
    };
    const bool utf8Mark =
        bytes.startsWith("\xEF\xBB\xBF") &&
        !scanUtf8(reinterpret_cast<const unsigned char*>(bytes.constData()), 3, firstLineEnd()).invalid;
    const QByteArray body = utf8Mark ? QByteArray::fromRawData(bytes.constData() + 3, bytes.size() - 3) : bytes;
    std::optional<QStringDecoder::Encoding> utf16;
    if (!utf8Mark) {
        // a short UTF-16 part that the drill appended to is told by its start
        utf16 = utf16WithoutMark(bytes);
        utf16 = utf16 ? utf16 : utf16WithoutMark(bytes, 256);
    }
    // the lines of the text so far: where a part that follows begins
    const auto nextLine = [&] { return text.count(u'\n') + text.count(u'\r') - text.count(u"\r\n") + 1; };
    // a UTF-16 part from byte from to the end, and what the drill appended to it afterwards in its own single bytes
    const auto decodeUtf16 = [&](qsizetype from, QStringDecoder::Encoding kind) {
        const qsizetype end = utf16End(bytes, from, kind);
        text += QStringDecoder(kind).decode(QByteArrayView(bytes).sliced(from, end - from));
        if (end < bytes.size()) {
            const QByteArray tail = QByteArray::fromRawData(bytes.constData() + end, bytes.size() - end);
            const auto* t = reinterpret_cast<const unsigned char*>(tail.constData());
            const Utf8Scan scan = scanLines(t, static_cast<std::size_t>(tail.size()));
            const bool utf8 = scan.beyondAscii && !scan.invalid;
            appended = Problem{nextLine(),
                               utf8 ? QStringLiteral("the file mixes encodings: from this line it is in UTF-8; read as "
                                                     "UTF-8")
                                    : QStringLiteral("the file mixes encodings: from this line it is in Windows-1252; "
                                                     "read as Windows-1252"),
                               QString()};
            text += utf8 ? QString::fromUtf8(tail) : codepage::decode(tail);
        }
    };
    const bool utf16Mark = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    const std::optional<Utf16Part> utf16Part =
        utf16Mark || utf16 ? std::nullopt : utf16PartAfter(bytes, utf8Mark ? 3 : 0);
    if (utf16Mark || utf16) {
        const QStringDecoder::Encoding kind = !utf16Mark                     ? *utf16
                                              : bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                                             : QStringDecoder::Utf16BE;
        decodeUtf16(utf16Mark ? 2 : 0, kind);
        encoding = utf16Mark ? QStringLiteral("UTF-16") : QStringLiteral("UTF-16 without a byte-order mark");
    } else {
        // the file, or the part of it before a UTF-16 part that another program appended
        const QByteArray head =
            utf16Part ? QByteArray::fromRawData(body.constData(), utf16Part->start - (utf8Mark ? 3 : 0)) : body;
        const auto* p = reinterpret_cast<const unsigned char*>(head.constData());
        if (const Utf8Scan scan = scanLines(p, std::size_t(head.size()));
            scan.invalid && (scan.beyondAscii || utf8Mark)) {
            text = decodeMixed(head, mixed);
        } else if (scan.beyondAscii || utf8Mark) {
            text = QString::fromUtf8(head);
            encoding = QStringLiteral("UTF-8");
        } else {
            text = codepage::decode(head);
            codePage = !utf16Part;
        }
        if (utf16Part) {
            mixed.push_back({nextLine(),
                             QStringLiteral("the file mixes encodings: from this line it is in UTF-16; read as UTF-16"),
                             QString()});
            decodeUtf16(utf16Part->start + utf16Part->mark, utf16Part->kind);
        }
    }
    Reading reading = read(text, shared, codePage ? QByteArrayView(bytes) : QByteArrayView());
    if (reading.blocks.empty() && encoding == u"UTF-16") {
        // the drill's filler line may begin with the two bytes of a UTF-16 mark: read as the drill wrote it
        Reading plain = read(codepage::decode(bytes), shared);
        if (!plain.blocks.empty()) {
            return plain;
        }
    }
    if (!encoding.isEmpty()) {
        mixed.insert(mixed.begin(),
                     Problem{1,
                             QStringLiteral("the file is in %1, not Windows-1252: another editor saved it; read as %2")
                                 .arg(encoding, encoding.section(u' ', 0, 0)),
                             QString()});
    }
    if (appended) {
        mixed.push_back(*appended);
    }
    reading.problems.insert(reading.problems.begin(), mixed.begin(), mixed.end());
    return reading;
}

} // namespace recordreader
