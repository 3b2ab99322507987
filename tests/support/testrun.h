#pragma once

#include "app/form1.h"
#include "support/scriptedplatform.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <memory>

// One run of the window in a fresh home folder, driven through its real buttons.
class TestRun {
public:
    // answers: name, folder change, [folder,] assignment number, then the ratings.
    explicit TestRun(const QStringList& answers, const QString& document = QString());
    ~TestRun();

    bool start();
    void click(const char* buttonName);
    void typeAnswer(const QString& text);
    QString question() const;
    QString answer() const;

    QString home() const { return m_home.path(); }
    QString folder() const { return m_home.path() + QStringLiteral("/tavimora"); }
    // A record file in the default folder; empty when it does not exist.
    QByteArray file(const QString& name) const;
    bool exists(const QString& name) const;

    // The start-up boxes that the test adds: on Windows the folder box, where a fresh folder is typed in place of
    // the machine's own c:\tavimora.
    int addedBoxes = 0;
    // A path as the program shows it to the student: with the system's separators.
    static QString shown(const QString& path);
    // The answers for another run of the window in this run's folder, given as this run's are.
    QStringList inThisFolder(QStringList answers) const;

    ScriptedPlatform platform;
    std::unique_ptr<Form1> form;

private:
    QTemporaryDir m_home;
    QByteArray m_oldHome;
};

// A small document in the data-file form, from its store lines (each may hold CR LF).
QString documentOf(const QStringList& storeLines);
