#include "app/textbox.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace textbox {

QString text(const QPlainTextEdit& box) {
    // The raw text keeps non-breaking spaces; only the paragraph separators become CR LF, and so do the line
    // separators that Shift+Return types, which the student sees as line breaks too.
    QString raw = box.document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    raw.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return raw;
}

void setText(QPlainTextEdit& box, const QString& newText) {
    const QString present = text(box);
    if (!present.isEmpty() && newText.size() >= present.size() && newText.startsWith(present)) {
        append(box, newText.mid(present.size()));
        return;
    }
    box.setPlainText(newText);
}

void append(QPlainTextEdit& box, const QString& tail) {
    if (tail.isEmpty()) {
        return;
    }
    QTextCursor cursor(box.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(tail);
}

} // namespace textbox
