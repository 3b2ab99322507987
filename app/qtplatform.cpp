#include "app/qtplatform.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

InputBox::InputBox(const QString& prompt, QWidget* parent)
    : QDialog(parent), m_prompt(new QLabel(prompt, this)), m_edit(new QLineEdit(this)) {
    setWindowTitle(QApplication::applicationName());
    setObjectName(QStringLiteral("inputBox"));
    m_prompt->setWordWrap(true);
    m_prompt->setObjectName(QStringLiteral("prompt"));
    m_prompt->setBuddy(m_edit);
    m_edit->setObjectName(QStringLiteral("answer"));
    m_edit->setAccessibleName(prompt);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    setMinimumWidth(360);
    m_edit->setFocus();
}

QString InputBox::text() const {
    return result() == QDialog::Accepted ? m_edit->text() : QString();
}

QString QtPlatform::inputBox(const QString& prompt) {
    InputBox box(prompt, QApplication::activeWindow());
    box.exec();
    return box.text();
}

void QtPlatform::errorBox(const QString& message) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), message);
}

void QtPlatform::messageBox(const QString& message) {
    QMessageBox::warning(QApplication::activeWindow(), QApplication::applicationName(), message);
}

QDateTime QtPlatform::now() {
    return QDateTime::currentDateTime();
}

void QtPlatform::randomize(float seed) {
    m_random.seed(seed);
}

float QtPlatform::rnd() {
    return m_random.next();
}

void QtPlatform::beep() {
    QApplication::beep();
}

void QtPlatform::setClipboardImage(const QImage& image) {
    QApplication::clipboard()->setImage(image);
}

QImage QtPlatform::clipboardImage() {
    return QApplication::clipboard()->image();
}

void QtPlatform::quitApplication() {
    QCoreApplication::exit(0);
}
