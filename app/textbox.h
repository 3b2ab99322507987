#pragma once

#include <QObject>
#include <QString>

class QPlainTextEdit;

// The whole text of a multi-line box as one string with CR LF between lines.
namespace textbox {

QString text(const QPlainTextEdit& box);
// Replaces the text; a text that extends the present one is appended at the end instead, so that showing a long
// file line by line stays linear.
void setText(QPlainTextEdit& box, const QString& text);
void append(QPlainTextEdit& box, const QString& tail);

// Replaces a box's whole text as one step of the box's own undo history, so that Undo brings back what was there.
// The history is bounded: once more than historyLimit characters have gone into the box since it began, it is
// started afresh before the next replacement, which stays undoable. A long run of large pastes thus never keeps
// many copies of them.
class UndoableText : public QObject {
    Q_OBJECT
public:
    UndoableText(QPlainTextEdit& box, qsizetype historyLimit);
    void replace(const QString& text);

private:
    QPlainTextEdit& m_box;
    qsizetype m_historyLimit;
    qsizetype m_entered = 0;
};

} // namespace textbox
