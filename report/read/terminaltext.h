#pragma once

#include <QByteArray>
#include <QString>

// Text bound for a terminal. What a student's file holds, and what its name holds, is echoed on standard error; a
// control character there could clear the screen, set the window's title or hide what follows, and a bidirectional
// control could reverse the rest of the line. Both are shown as what they are instead.
namespace report {

// The text with every control character written as \xNN (C0 and DEL) or <U+XXXX> (C1, bidirectional controls, line
// and paragraph separators), everything else as it stands.
QString terminalText(const QString& text);

// A file name or path as the system holds it, decoded as UTF-8; a byte that is not part of UTF-8 is shown as \xNN, so
// that a name an unzipped archive left in another code page is still told apart from every other.
QString shownFileName(const QByteArray& name);

} // namespace report
