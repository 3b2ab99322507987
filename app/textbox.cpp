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

UndoableText::UndoableText(QPlainTextEdit& box, qsizetype historyLimit)
    : QObject(&box), m_box(box), m_historyLimit(historyLimit) {
    connect(box.document(), &QTextDocument::contentsChange, this, [this](int, int, int added) { m_entered += added; });
}

void UndoableText::replace(const QString& newText) {
    QTextDocument& document = *m_box.document();
    if (m_entered > m_historyLimit) {
        // The document keeps every character that ever went into it while it can undo; starting it afresh from its
        // present text lets it drop the rest.
        const QString present = document.toRawText();
        m_box.setPlainText(present);
        m_entered = present.size();
    }
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(newText);
    cursor.endEditBlock();
    m_box.setTextCursor(cursor);
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
