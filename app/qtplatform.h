#pragma once

#include "app/platform.h"

#include <QDialog>

class QLabel;
class QLineEdit;

// The input box: a wrapped prompt, one line to type in, OK and Cancel. Return is OK; Escape and Cancel give "".
class InputBox : public QDialog {
    Q_OBJECT
public:
    explicit InputBox(const QString& prompt, QWidget* parent = nullptr);
    QString text() const;
    QLineEdit* lineEdit() const { return m_edit; }

private:
    QLabel* m_prompt;
    QLineEdit* m_edit;
};

class QtPlatform : public Platform {
public:
    QString inputBox(const QString& prompt) override;
    void errorBox(const QString& message) override;
    void messageBox(const QString& message) override;
    QDateTime now() override;
    void randomize(float seed) override;
    float rnd() override;
    void beep() override;
    void setClipboardImage(const QImage& image) override;
    QImage clipboardImage() override;
    void quitApplication() override;

private:
    RandomSequence m_random;
};
