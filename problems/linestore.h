#pragma once

#include <QString>
#include <QStringList>

#include <array>

// The line store: indices 0 to 5000, index 0 never filled.
inline constexpr int lastLineIndex = 5000;
using ProblemLines = std::array<QString, lastLineIndex + 1>;

namespace linestore {

// The lines of a document in the data-file form: "= text" starts the next line, "+ text" continues it after a line
// break (CR LF), "#" lines are comments and empty lines are layout. Lines that fit none of these are listed in
// errors, by file line number, and left out.
QStringList parseDocument(const QString& fileText, QStringList* errors = nullptr);

// The document that the program carries, as its data file holds it.
QString carriedDocumentText();

} // namespace linestore
