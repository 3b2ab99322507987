// The second process of the hardening tests.
//
//   hardening_child append <master> <send> <writer> <blocks> <failEvery>
//       Says "ready", waits for a line on its input, then appends its blocks to both files through the record
//       writer. Every failEvery-th block goes to /dev/full in place of the send file, so that it fails and is taken
//       back from the master file while the other writer is busy with the same files.
//
//   hardening_child rating
//       A run of the window in $HOME on the small document: the first response is rated and recorded; the second
//       press of "Enter Response" opens the self-critique box, which never closes. Says "rating box open" then.
//   hardening_child draft <path>
//       Replaces the draft at path over and over, with 20 MB of "a" and 20 MB of "b" in turn, until killed. Says
//       "saved" once the first is on disk.
//   hardening_child stop <moment> <press>...
//       A run of the window in $HOME on the small document, driven by the presses: a button's name, "type:<text>"
//       put in the answer box, "draft:<text>" to wait until the run's draft ends with the text, "watch" from which on
//       the run stops itself (SIGSTOP, every thread) at the first moment of the files that contains <moment>,
//       saying "stopped <moment>" first. The parent kills it then.
//   hardening_child lock <path>
//       Locks the file as a record writer does, says "locked", and lets go once a line comes on its input.

#include "app/form1.h"
#include "app/textbox.h"
#include "hardening_blocks.h"
#include "records/durablefile.h"
#include "records/keptstore.h"
#include "records/recordwriter.h"
#include "support/fixtures.h"
#include "support/scriptedplatform.h"
#include "ui_Form1.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#ifdef Q_OS_WIN
#include <QDir>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

int append(const QStringList& args) {
    if (args.size() != 5) {
        return 64;
    }
    const QString master = args[0];
    const QString send = args[1];
    const QString writer = args[2];
    const int blocks = args[3].toInt();
    const int failEvery = args[4].toInt();
    std::puts("ready");
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);
    for (int i = 0; i < blocks; ++i) {
        const QByteArray block = hardening::writerBlock(writer, i);
        const bool fails = hardening::failsOnPurpose(i, failEvery);
        const auto failure =
            recordwriter::appendAll({{master, block}, {fails ? QStringLiteral("/dev/full") : send, block}});
        if (failure.has_value() != fails) {
            std::fprintf(stderr, "writer %s block %d: %s\n", qPrintable(writer), i,
                         failure ? qPrintable(failure->reason) : "written, but should have failed");
            return 1;
        }
    }
    return 0;
}

int rating(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ScriptedPlatform platform;
    platform.answers = {QStringLiteral("A"), QString(), QStringLiteral("1"), QStringLiteral("2")};
#ifdef Q_OS_WIN
    // the default folder is c:\tavimora whatever the home folder: the run types the one in $HOME instead
    const QString folder = QString::fromLocal8Bit(qgetenv("HOME")) + QStringLiteral("/tavimora");
    QDir().mkpath(folder);
    platform.answers = {QStringLiteral("A"), QStringLiteral("1"), QDir::toNativeSeparators(folder), QStringLiteral("1"),
                        QStringLiteral("2")};
#endif
    platform.onInputBox = [](const QString& prompt) {
        if (prompt.startsWith(QStringLiteral("Rate the quality of your self-critique"))) {
            std::puts("rating box open");
            std::fflush(stdout);
            for (;;) {
#ifdef Q_OS_WIN
                ::Sleep(INFINITE);
#else
                ::pause();
#endif
            }
        }
    };
    Form1 form(platform);
    form.setDocumentText(fixtures::smallDocument());
    if (!form.load()) {
        return 2;
    }
    Ui::Form1& ui = form.controls();
    ui.cmdNextQuestion->click();
    textbox::setText(*ui.txt_answer, QStringLiteral("first answer"));
    ui.cmd_enter_response->click();
    ui.cmdNextQuestion->click();
    textbox::setText(*ui.txt_answer, QStringLiteral("second answer"));
    ui.cmd_enter_response->click();
    return 3; // the rating box never closes
}

int draft(const QString& path) {
    const QByteArray texts[] = {QByteArray(20 << 20, 'a'), QByteArray(20 << 20, 'b')};
    for (long i = 0;; ++i) {
        if (const auto failure = keptstore::replaceFile(path, texts[i % 2])) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(failure->path), qPrintable(failure->reason));
            return 1;
        }
        if (i == 0) {
            std::puts("saved");
            std::fflush(stdout);
        }
    }
}

QString watchedMoment;
std::atomic<bool> watching{false};

void stopAt(const QString& moment) {
    if (watching && moment.contains(watchedMoment)) {
        std::printf("stopped %s\n", qPrintable(moment));
        std::fflush(stdout);
#ifdef Q_OS_WIN
        ::Sleep(INFINITE); // Windows stops no whole process by signal: this thread waits here for the kill
#else
        ::raise(SIGSTOP);
#endif
    }
}

int stop(int argc, char* argv[]) {
    QApplication app(argc, argv);
    watchedMoment = QString::fromLocal8Bit(argv[2]);
    recordwriter::setWatcher(stopAt);
    ScriptedPlatform platform;
    platform.answers = {QStringLiteral("A"), QString(), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("2")};
    Form1 form(platform);
    form.setDocumentText(fixtures::smallDocument());
    if (!form.load()) {
        return 2;
    }
    const QString folder = QDir::homePath() + QStringLiteral("/tavimora");
    const auto draftHolds = [&](const QByteArray& text) {
        const QStringList drafts =
            QDir(folder).entryList({QStringLiteral(".unsent_A.*.draft")}, QDir::Files | QDir::Hidden);
        const auto bytes = drafts.size() == 1 ? recordwriter::readAll(folder + u'/' + drafts.first()) : std::nullopt;
        return bytes && bytes->endsWith(text);
    };
    for (int i = 3; i < argc; ++i) {
        const QString press = QString::fromLocal8Bit(argv[i]);
        if (press.startsWith(u"type:")) {
            textbox::setText(*form.controls().txt_answer, press.mid(5));
        } else if (press.startsWith(u"draft:")) {
            while (!draftHolds(press.mid(6).toUtf8())) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            }
        } else if (press == u"watch") {
            watching = true;
        } else if (auto* button = form.findChild<QPushButton*>(press)) {
            button->click();
        } else {
            return 64;
        }
    }
    // the draft is saved a second after the box changed: the moment may still come
    QEventLoop wait;
    QTimer::singleShot(30000, &wait, &QEventLoop::quit);
    wait.exec();
    return 3;
}

int lock(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::Append) || !durablefile::lock(file, QDeadlineTimer(10000))) {
        std::fprintf(stderr, "%s: not locked\n", qPrintable(path));
        return 1;
    }
    std::puts("locked");
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
#ifdef Q_OS_WIN
    _setmode(_fileno(stdout), _O_BINARY); // the lines it says end as the test reads them, without a CR
#endif
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == u"append") {
        QStringList args;
        for (int i = 2; i < argc; ++i) {
            args << QString::fromLocal8Bit(argv[i]);
        }
        return append(args);
    }
    if (mode == u"rating") {
        return rating(argc, argv);
    }
    if (mode == u"draft" && argc == 3) {
        return draft(QString::fromLocal8Bit(argv[2]));
    }
    if (mode == u"stop" && argc >= 3) {
        return stop(argc, argv);
    }
    if (mode == u"lock" && argc == 3) {
        return lock(QString::fromLocal8Bit(argv[2]));
    }
    std::fputs("usage: hardening_child append <master> <send> <writer> <blocks> <failEvery> | rating | draft <path> | "
               "stop <moment> <press>... | lock <path>\n",
               stderr);
    return 64;
}
