#pragma once

#include <QString>

class QPlainTextEdit;

// The whole text of a multi-line box as one string with CR LF between lines.
namespace textbox {

QString text(const QPlainTextEdit& box);
// Replaces the text; a text that extends the present one is appended at the end instead, so that showing a long
// file line by line stays linear.
void setText(QPlainTextEdit& box, const QString& text);
void append(QPlainTextEdit& box, const QString& tail);

} // namespace textbox
