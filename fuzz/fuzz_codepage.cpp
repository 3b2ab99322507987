#include "fuzzcheck.h"
#include "records/codepage.h"

#include <QByteArray>

using fuzzcheck::require;

namespace {
bool isReadable(const QByteArray& form) {
    for (const char b : form) {
        if (b < 0x20 || b > 0x7E) {
            return false;
        }
    }
    return true;
}

// Text as a student could type it: what the code page holds goes in byte for byte and comes back; every other
// character becomes its readable form, printable ASCII only, and an escaped one names its own code point.
void checkTyped(const QString& text) {
    const QByteArray bytes = codepage::encode(text);
    QString held;
    qsizetype at = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        qsizetype units = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            units = 2;
        }
        unsigned char byte = 0;
        if (codepage::fromUnicode(c, byte)) {
            require(at < bytes.size() && static_cast<unsigned char>(bytes[at]) == byte, "a held character is its byte");
            require(codepage::toUnicode(byte) == text[i], "the byte reads back as the character");
            held += text[i];
            ++at;
        } else {
            const QByteArray form = codepage::readableForm(c);
            require(isReadable(form), "a readable form is printable ASCII: no control character, no line break");
            require(bytes.mid(at, form.size()) == form, "the readable form stands where the character stood");
            if (form.startsWith("[U+")) {
                bool ok = false;
                require(form.endsWith(']') && form.mid(3, form.size() - 4).toUInt(&ok, 16) == c && ok,
                        "an escaped character names its own code point");
            }
            at += form.size();
        }
        i += units - 1;
    }
    require(at == bytes.size(), "nothing is written that the text did not hold");
    require(codepage::decode(codepage::encode(held)) == held, "text the code page holds comes back as it was");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString read = codepage::decode(bytes);
    require(read.size() == bytes.size(), "one character for each byte of a record file");
    require(codepage::encode(read) == bytes, "every byte of a record file is written back as it was read");
    for (const QString& text : fuzzcheck::texts(data, size)) {
        checkTyped(text);
    }
    return 0;
}
