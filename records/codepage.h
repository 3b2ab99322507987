#pragma once

#include <QByteArray>
#include <QString>

// Record files are bytes in the Western code page (Windows-1252), whatever the host. Every byte has a character
// here, the five the code page leaves unassigned included, so every byte round-trips.
namespace codepage {

// The character of one byte.
QChar toUnicode(unsigned char byte);
// The byte of a character, when the code page holds it.
bool fromUnicode(char32_t c, unsigned char& byte);

// Bytes read from a record file as text.
QString decode(const QByteArray& bytes);

// Text as record-file bytes. What the code page holds is written byte for byte; any other character in a readable
// ASCII form, the usual spelling for mathematical signs and Greek letters ("<=", "sqrt", "pi", "theta") and
// "[U+XXXX]" for the rest, so nothing a student types is lost as "?".
QByteArray encode(const QString& text);

// The readable form of a character the code page does not hold.
QByteArray readableForm(char32_t c);

} // namespace codepage
