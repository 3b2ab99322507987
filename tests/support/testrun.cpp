#include "support/testrun.h"

#include "app/textbox.h"
#include "ui_Form1.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>

TestRun::TestRun(const QStringList& answers, const QString& document) : m_oldHome(qgetenv("HOME")) {
    qputenv("HOME", m_home.path().toLocal8Bit());
    platform.answers = answers;
#ifdef Q_OS_WIN
    // the default folder is c:\tavimora whatever the home folder: a run that keeps it types its fresh one instead
    if (answers.size() >= 2 && answers[1] != u"1") {
        QDir().mkpath(folder());
        platform.answers[1] = QStringLiteral("1");
        platform.answers.insert(2, QDir::toNativeSeparators(folder()));
        addedBoxes = 1;
    }
#endif
    form = std::make_unique<Form1>(platform);
    if (!document.isEmpty()) {
        form->setDocumentText(document);
    }
}

TestRun::~TestRun() {
    form.reset();
    qputenv("HOME", m_oldHome);
}

QStringList TestRun::inThisFolder(QStringList answers) const {
#ifdef Q_OS_WIN
    if (answers.size() >= 2 && answers[1] != u"1") {
        answers[1] = QStringLiteral("1");
        answers.insert(2, QDir::toNativeSeparators(folder()));
    }
#endif
    return answers;
}

QString TestRun::shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

bool TestRun::start() {
    return form->load();
}

void TestRun::click(const char* buttonName) {
    auto* button = form->findChild<QPushButton*>(QString::fromLatin1(buttonName));
    QVERIFY2(button, buttonName);
    QTest::mouseClick(button, Qt::LeftButton);
}

void TestRun::typeAnswer(const QString& text) {
    textbox::setText(*form->controls().txt_answer, text);
}

QString TestRun::question() const {
    return textbox::text(*form->controls().txt_question);
}

QString TestRun::answer() const {
    return textbox::text(*form->controls().txt_answer);
}

QByteArray TestRun::file(const QString& name) const {
    QFile f(folder() + u'/' + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool TestRun::exists(const QString& name) const {
    return QFile::exists(folder() + u'/' + name);
}

QString documentOf(const QStringList& storeLines) {
    QString text;
    for (const QString& line : storeLines) {
        const QStringList parts = line.split(QStringLiteral("\r\n"));
        text += parts.first().isEmpty() ? QStringLiteral("=\n") : QStringLiteral("= ") + parts.first() + u'\n';
        for (qsizetype i = 1; i < parts.size(); ++i) {
            text += parts[i].isEmpty() ? QStringLiteral("+\n") : QStringLiteral("+ ") + parts[i] + u'\n';
        }
    }
    return text;
}
