#include "records/codepage.h"

#include <array>

namespace codepage {

namespace {

constexpr std::array<char16_t, 32> high = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Every byte's character at once, for reading whole files.
constexpr std::array<char16_t, 256> byteChars = [] {
    std::array<char16_t, 256> chars{};
    for (std::size_t b = 0; b < chars.size(); ++b) {
        chars[b] = b >= 0x80 && b <= 0x9F ? high[b - 0x80] : static_cast<char16_t>(b);
    }
    return chars;
}();

struct Spelling {
    char32_t c;
    const char* text;
};

constexpr Spelling spellings[] = {
    {0x2264, "<="},       {0x2265, ">="},       {0x2260, "!="},        {0x2248, "~="},      {0x2261, "=="},
    {0x221A, "sqrt"},     {0x221B, "cbrt"},     {0x221E, "infinity"},  {0x2212, "-"},       {0x2213, "-+"},
    {0x22C5, "*"},        {0x2219, "*"},        {0x2215, "/"},         {0x2192, "->"},      {0x2190, "<-"},
    {0x2194, "<->"},      {0x21D2, "=>"},       {0x21D0, "<="},        {0x21D4, "<=>"},     {0x222B, "integral"},
    {0x2211, "sum"},      {0x220F, "product"},  {0x2202, "d"},         {0x2206, "Delta"},   {0x2207, "nabla"},
    {0x2208, " in "},     {0x2209, " not in "}, {0x2282, " subset "},  {0x222A, " union "}, {0x2229, " intersect "},
    {0x2200, "for all "}, {0x2203, "exists "},  {0x2205, "empty set"}, {0x2220, "angle "},  {0x22A5, " perp "},
    {0x2225, " || "},     {0x2032, "'"},        {0x2033, "''"},        {0x2070, "^0"},      {0x2074, "^4"},
    {0x2075, "^5"},       {0x2076, "^6"},       {0x2077, "^7"},        {0x2078, "^8"},      {0x2079, "^9"},
    {0x207F, "^n"},       {0x2080, "_0"},       {0x2081, "_1"},        {0x2082, "_2"},      {0x2083, "_3"},
    {0x2153, "1/3"},      {0x2154, "2/3"},      {0x215B, "1/8"},       {0x2044, "/"},       {0x2010, "-"},
    {0x2011, "-"},        {0x2012, "-"},        {0x2015, "-"},         {0x2009, " "},       {0x200A, " "},
    {0x2002, " "},        {0x2003, " "},        {0x202F, " "},         {0x200B, ""},        {0xFEFF, ""},
};

// Greek letters by their names; capitals take a capital first letter.
constexpr const char* greek[] = {
    "alpha", "beta",   "gamma",   "delta", "epsilon", "zeta",    "eta",   "theta", "iota",
    "kappa", "lambda", "mu",      "nu",    "xi",      "omicron", "pi",    "rho",   "sigma",
    "sigma", "tau",    "upsilon", "phi",   "chi",     "psi",     "omega",
};

} // namespace

QChar toUnicode(unsigned char byte) {
    return QChar(byteChars[byte]);
}

bool fromUnicode(char32_t c, unsigned char& byte) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        byte = static_cast<unsigned char>(c);
        return true;
    }
    for (std::size_t i = 0; i < high.size(); ++i) {
        if (high[i] == c) {
            byte = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    }
    return false;
}

QString decode(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out[i] = byteChars[in[i]];
    }
    return text;
}

QByteArray readableForm(char32_t c) {
    for (const Spelling& s : spellings) {
        if (s.c == c) {
            return QByteArray(s.text);
        }
    }
    // U+0391 to U+03A9 capitals, U+03B1 to U+03C9 small letters; U+03A2 is unassigned.
    if ((c >= 0x03B1 && c <= 0x03C9) || (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2)) {
        const bool capital = c <= 0x03A9;
        QByteArray name(greek[c - (capital ? 0x0391 : 0x03B1)]);
        if (capital) {
            name[0] = static_cast<char>(name[0] - 'a' + 'A');
        }
        return name;
    }
    if (c == 0x03D5) {
        return "phi";
    }
    return QStringLiteral("[U+%1]").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0')).toUpper().toLatin1();
}

QByteArray encode(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        // a lone surrogate is named by its own code unit below
        unsigned char byte = 0;
        if (fromUnicode(c, byte)) {
            bytes += static_cast<char>(byte);
        } else {
            bytes += readableForm(c);
        }
    }
    return bytes;
}

} // namespace codepage
