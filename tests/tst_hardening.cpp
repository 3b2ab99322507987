#include "app/textbox.h"
#include "hardening_blocks.h"
#include "records/keptstore.h"
#include "records/recordblocks.h"
#include "support/fixtures.h"
#include "support/testrun.h"
#include "ui_Form1.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#ifdef Q_OS_WIN
#include "records/durablefile.h"
#include <QCoreApplication>
#else
#include <dirent.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

// Bad input and faults: what a student may type or paste, folders and files that are not what they should be, a
// disk that fills up, two runs at once and a run that is killed. For each: what the student sees, and that the files
// hold whole blocks only, with nothing typed lost and nothing written outside the folder named.
class TestHardening : public QObject {
    Q_OBJECT
private slots:
    // Typed text
    void response_recordedWhole_data();
    void response_recordedWhole();
    void lineBreakTypedWithShift_recordedAsLineBreak();

    // Names and folders
    void names_data();
    void names();
    void typedFolder_data();
    void typedFolder();
    void notesFileIsFolder_noteKeptAndRunGoesOn();

    // Faults
    void diskFills_nothingHalfWritten_data();
    void diskFills_nothingHalfWritten();
    void diskFillsWhileTyping_savedTextNeverLost_data();
    void diskFillsWhileTyping_savedTextNeverLost();
    void twoWriters_blocksNeverInterleave();
    void killedWhileRatingBoxOpen_filesHoldWholeBlocks();
    void recordFileLocked_givenUpAfterTheWait();
    void recordFileLocked_keysReachTheBox_data();
    void recordFileLocked_keysReachTheBox();

    // Unsent text
    void tenMegabytesAtQuit_keptWhole();
    void keptFileIsFolder_toldOnce_drillGoesOn();
    void workFolderTurnsReadOnly_toldOnce_nothingLost();
    void twoRunsOfOneName_eachKeepsItsOwn();
    void killedWhileSavingDraft_previousDraftWhole();
    void folderDeleted_quitNamesNoDraftGoneWithIt();
    void killedAtAMoment_eachTextOnce_data();
    void killedAtAMoment_eachTextOnce();
};

namespace {
const char* const next = "cmdNextQuestion";
const char* const enter = "cmd_enter_response";
const char* const saveNotes = "cmd_save_as_notes";
const QByteArray closing = QByteArray(49, '.') + "\r\n";

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The names in a folder as the file system holds them, bytes and all.
QList<QByteArray> rawNames(const QString& folder) {
    QList<QByteArray> names;
#ifdef Q_OS_WIN
    // Windows' names are UTF-16: as UTF-8, the bytes a POSIX system would hold
    for (const QString& name :
         QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        names << name.toUtf8();
    }
#else
    if (DIR* dir = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..") {
                names << name;
            }
        }
        ::closedir(dir);
    }
#endif
    std::sort(names.begin(), names.end());
    return names;
}

QString fromRawName(const QByteArray& name) {
#ifdef Q_OS_WIN
    return QString::fromUtf8(name);
#else
    return QFile::decodeName(name);
#endif
}

// The same without the hidden draft files of the runs that use the folder.
QList<QByteArray> recordNames(const QString& folder) {
    QList<QByteArray> names = rawNames(folder);
    names.removeIf([](const QByteArray& name) { return name.startsWith(".unsent_"); });
    return names;
}

// What a response adds to the master file after the question "`q001.  What is 2 + 3?" of the small document.
QByteArray responseTail(const QByteArray& recorded, const QByteArray& rating) {
    return "RESPONSE -->  \r\n" + recorded + "\r\nconfidence assessment:  " + rating + "\r\n" + closing;
}

// A small file system of its own at path, taken away when the test ends; nothing when none can be mounted here.
struct SmallDisk {
    QByteArray path;
    bool mounted = false;
#ifdef Q_OS_WIN
    // a program mounts no file system on Windows
    explicit SmallDisk(const QString& folder) : path(QFile::encodeName(folder)) {}
#else
    explicit SmallDisk(const QString& folder) : path(QFile::encodeName(folder)) {
        mounted = QDir().mkpath(folder) && ::mount("tmpfs", path.constData(), "tmpfs", 0, "size=256k") == 0;
    }
    ~SmallDisk() {
        if (mounted) {
            ::umount2(path.constData(), MNT_DETACH);
        }
    }
#endif
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
};

// Takes every page left on the disk of folder but one, so that a write of more than a page fails half-way; true
// when that is so.
bool fillDisk(const QString& folder) {
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        return false;
    }
    const QByteArray page(4096, 'f');
    while (filler.write(page) == page.size()) {
    }
    return filler.error() != QFileDevice::NoError &&
           filler.resize(filler.size() / page.size() * page.size() - page.size());
}

// The second process, built beside this one; on Windows it is copied beside it with the DLLs both load.
QString childPath() {
#ifdef Q_OS_WIN
    return QCoreApplication::applicationDirPath() + QStringLiteral("/hardening_child.exe");
#else
    return QStringLiteral(HARDENING_CHILD);
#endif
}

QString tenMegabytes() {
    QString text;
    text.reserve(10 * 1024 * 1024 + 128);
    for (int line = 0; text.size() < 10 * 1024 * 1024; ++line) {
        text += QStringLiteral("%1 ").arg(line, 7, 10, QLatin1Char('0')) + QString(90, QChar(u'a' + line % 26)) +
                QStringLiteral("\r\n");
    }
    text += QStringLiteral("the end");
    return text;
}
} // namespace

// Typed text

void TestHardening::response_recordedWhole_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("recorded");
    const QString big = tenMegabytes();
    QTest::newRow("10 MB pasted") << big << big.toLatin1();
    QTest::newRow("NUL, tab and other control characters")
        << QStringLiteral("a") + QChar(0) + QStringLiteral("b\tc\x01\x1b[31m\x7f\x0b\x0c") + QChar(0x81) + u'z'
        << QByteArray("a\0b\tc\x01\x1b[31m\x7f\x0b\x0c\x81z", 16);
    QTest::newRow("lone carriage return and line feed become line breaks")
        << QStringLiteral("a\rb\nc") << QByteArray("a\r\nb\r\nc");
    QTest::newRow("characters outside the code page")
        << QStringLiteral("x \u2264 2 \u00b7 \u674e \U0001F600 \u00e9 \u20ac \u0085")
        << QByteArray("x <= 2 \xb7 [U+674E] [U+1F600] \xe9 \x80 [U+0085]");
}

void TestHardening::response_recordedWhole() {
    QFETCH(QString, typed);
    QFETCH(QByteArray, recorded);
    TestRun run({"A", "", "1", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click(next);
    const QByteArray master = run.file("masterFile_A.txt");
    const QByteArray send = run.file("send_0107A.txt");
    run.typeAnswer(typed);
    run.click(enter);

    // the student sees both boxes emptied and no message
    QVERIFY(run.platform.messages.isEmpty());
    QVERIFY(run.platform.errors.isEmpty());
    QCOMPARE(run.answer(), QString());
    QVERIFY(!run.form->runEnded());
    // each file holds what it held and one whole block with the response byte for byte
    for (const auto& [name, before] : {std::pair{"masterFile_A.txt", master}, std::pair{"send_0107A.txt", send}}) {
        const QByteArray after = run.file(name);
        QVERIFY2(after.startsWith(before), name);
        QVERIFY2(after.endsWith("\r\n`q001.  What is 2 + 3?\r\n" + recordblocks::recordSeparator.toLatin1() + "\r\n" +
                                responseTail(recorded, "2")),
                 name);
        QCOMPARE(after.count("RESPONSE -->  "), 1);
    }
}

void TestHardening::lineBreakTypedWithShift_recordedAsLineBreak() {
    // Shift+Return breaks the line inside a paragraph; the student sees a new line and the file must hold one too.
    TestRun run({"A", "", "1", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click(next);
    QPlainTextEdit* box = run.form->controls().txt_answer;
    run.typeAnswer(QString());
    box->setFocus();
    QTest::keyClicks(box, "first");
    QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(box, "second");
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, "third");
    QCOMPARE(run.answer(), QStringLiteral("first\r\nsecond\r\nthird"));
    run.click(enter);
    QVERIFY(run.file("masterFile_A.txt").endsWith(responseTail("first\r\nsecond\r\nthird", "2")));
}

// Names and folders

void TestHardening::names_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("master"); // the file names on disk, bytes as the file system holds them
    QTest::addColumn<QByteArray>("send");
    QTest::newRow("Greek letters") << QStringLiteral("\u0386\u03bd\u03bd\u03b1 \u03a0\u03b1\u03c0\u03ac")
                                   << QByteArray("masterFile_\xce\x86\xce\xbd\xce\xbd\xce\xb1_\xce\xa0\xce\xb1\xcf\x80"
                                                 "\xce\xac.txt")
                                   << QByteArray("send_0107\xce\x86\xce\xbd\xce\xbd\xce\xb1_\xce\xa0\xce\xb1\xcf\x80"
                                                 "\xce\xac.txt");
    QTest::newRow("Chinese letters") << QStringLiteral("\u674e\u5c0f\u9f8d")
                                     << QByteArray("masterFile_\xe6\x9d\x8e\xe5\xb0\x8f\xe9\xbe\x8d.txt")
                                     << QByteArray("send_0107\xe6\x9d\x8e\xe5\xb0\x8f\xe9\xbe\x8d.txt");
    QTest::newRow("path characters stay in the folder")
        << QStringLiteral("../../etc/passwd") << QByteArray("masterFile_.._.._etc_passwd.txt")
        << QByteArray("send_0107.._.._etc_passwd.txt");
    // Too long for a file name: the start that fits, "~" and a code made from the whole name. The code is fixed
    // here so that a student's files keep their names from one version of the program to the next.
    const QString latin = QString(150, u'a') + u' ' + QString(149, u'b');
    QTest::newRow("300 characters") << latin
                                    << "masterFile_" + QByteArray(150, 'a') + '_' + QByteArray(80, 'b') +
                                           "~f692ce14.txt"
                                    << "send_0107" + QByteArray(150, 'a') + '_' + QByteArray(80, 'b') + "~f692ce14.txt";
    QTest::newRow("100 Chinese letters, 300 bytes")
        << QString(100, QChar(0x674e)) << "masterFile_" + QByteArray("\xe6\x9d\x8e").repeated(77) + "~6ad5c938.txt"
        << "send_0107" + QByteArray("\xe6\x9d\x8e").repeated(77) + "~6ad5c938.txt";
}

void TestHardening::names() {
    QFETCH(QString, name);
    QFETCH(QByteArray, master);
    QFETCH(QByteArray, send);
    QByteArray firstRun;
    for (int runNumber = 1; runNumber <= 2; ++runNumber) {
        TestRun run({name, "", "1", "2"}, fixtures::smallDocument());
        // the second run finds the files of the first
        if (runNumber == 2) {
            QVERIFY(QDir().mkpath(run.folder()));
            QFile f(run.folder() + u'/' + fromRawName(master));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(firstRun);
        }
        QVERIFY(run.start());
        QVERIFY(run.platform.messages.isEmpty());
        run.click(next);
        run.typeAnswer("five");
        run.click(enter);
        QCOMPARE(recordNames(run.folder()), (QList<QByteArray>{master, send}));
        // the run's hidden draft files fit too
        const QList<QByteArray> all = rawNames(run.folder());
        QVERIFY(std::all_of(all.begin(), all.end(), [](const QByteArray& n) { return n.size() <= 255; }));
        const QByteArray written = contents(run.folder() + u'/' + fromRawName(master));
        QVERIFY(written.endsWith(responseTail("five", "2")));
        QCOMPARE(written.count("assignment #001"), runNumber);
        firstRun = written;
    }
}

void TestHardening::typedFolder_data() {
    QTest::addColumn<QString>("typed");   // "<home>" stands for the fresh home folder of the run
    QTest::addColumn<QString>("made");    // what the test puts in the home folder first: "dir:work" or "file:work"
    QTest::addColumn<QString>("filesIn"); // where the files must go, under the home folder; empty: nowhere
    QTest::addColumn<QString>("reason");  // the reason the message gives when they cannot
    QTest::newRow("drive form, trailing backslash") << "d:\\work\\"
                                                    << "dir:work"
                                                    << "work"
                                                    << "";
    QTest::newRow("drive form, slashes") << "d:/work/"
                                         << "dir:work"
                                         << "work"
                                         << "";
    QTest::newRow("native path") << "<home>/work"
                                 << "dir:work"
                                 << "work"
                                 << "";
    QTest::newRow("native path, trailing slash") << "<home>/work/"
                                                 << "dir:work"
                                                 << "work"
                                                 << "";
    QTest::newRow("home folder alone") << "~"
                                       << ""
                                       << "."
                                       << "";
    QTest::newRow("native path, trailing backslash: a folder of that name") << "<home>/work\\"
                                                                            << "dir:work"
                                                                            << ""
                                                                            << "No such file or directory";
    // the file system would see the path only up to the NUL, and there lies a file that is no record file
    QTest::newRow("a folder holding NUL") << QStringLiteral("d:\\work") + QChar(0) + QStringLiteral("x") << "file:work"
                                          << ""
                                          << "NUL";
    QTest::newRow("a folder that is a file") << "d:\\work"
                                             << "file:work"
                                             << ""
                                             << "Not a directory";
}

void TestHardening::typedFolder() {
    QFETCH(QString, typed);
    QFETCH(QString, made);
    QFETCH(QString, filesIn);
    QFETCH(QString, reason);
#ifdef Q_OS_WIN
    if (typed.startsWith(u"d:") || typed.startsWith(u'~') || typed.endsWith(u'\\')) {
        QSKIP("on Windows a drive letter, ~ and a backslash are what the system makes of them; this row tries how the "
              "Linux program maps them into the home folder");
    }
#endif
    TestRun run({"A", "1", "", "1"}, fixtures::smallDocument());
    run.platform.answers[2] = QString(typed).replace(QStringLiteral("<home>"), run.home());
    const QString work = run.home() + QStringLiteral("/work");
    if (made == u"dir:work") {
        QVERIFY(QDir().mkpath(work));
    } else if (made == u"file:work") {
        QFile f(work);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("kept");
    }
    QVERIFY(QDir().mkpath(run.folder())); // the default folder is made at every start
    const QList<QByteArray> homeBefore = rawNames(run.home());

    const bool started = run.start();
    if (filesIn.isEmpty()) {
        // the student is told which file could not be written and why; the run ends with nothing written
        QVERIFY(!started);
        QCOMPARE(run.platform.messages.size(), 1);
        QVERIFY2(run.platform.messages.at(0).contains(QStringLiteral("masterFile_A.txt")),
                 qPrintable(run.platform.messages.at(0)));
        QVERIFY2(run.platform.messages.at(0).contains(reason), qPrintable(run.platform.messages.at(0)));
        QCOMPARE(rawNames(run.home()), homeBefore);
        QVERIFY(rawNames(run.folder()).isEmpty());
        if (made == u"file:work") {
            QCOMPARE(contents(work), QByteArray("kept"));
        } else {
            QVERIFY(rawNames(work).isEmpty());
        }
        return;
    }
    QVERIFY(started);
    QVERIFY(run.platform.messages.isEmpty());
    const QString folder = QDir::cleanPath(run.home() + u'/' + filesIn);
    QVERIFY(rawNames(folder).contains("masterFile_A.txt"));
    QVERIFY(rawNames(folder).contains("send_0107A.txt"));
    QVERIFY(contents(folder + QStringLiteral("/masterFile_A.txt")).endsWith("brisendal\r\n01-07-2026\r\n"));
    // nothing else was made anywhere in the home folder
    QList<QByteArray> homeAfter = homeBefore;
    if (filesIn == u".") {
        homeAfter << "masterFile_A.txt"
                  << "send_0107A.txt";
        std::sort(homeAfter.begin(), homeAfter.end());
    }
    QCOMPARE(recordNames(run.home()), homeAfter);
}

void TestHardening::notesFileIsFolder_noteKeptAndRunGoesOn() {
    TestRun run({"A", "", "1", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click(next);
    QVERIFY(QDir().mkpath(run.folder() + QStringLiteral("/notes_A.txt")));
    const QByteArray master = run.file("masterFile_A.txt");
    const QByteArray send = run.file("send_0107A.txt");
    run.typeAnswer("my note");
    run.click(saveNotes);

    // the student is told, and the note stays in the box; no file has any of it
    QCOMPARE(run.platform.messages.size(), 1);
    QVERIFY(run.platform.messages.at(0).contains(TestRun::shown(run.folder() + QStringLiteral("/notes_A.txt"))));
#ifdef Q_OS_WIN
    const QString reason = QStringLiteral("denied"); // Windows opens no folder as a file: "Access is denied."
#else
    const QString reason = QStringLiteral("Is a directory");
#endif
    QVERIFY2(run.platform.messages.at(0).contains(reason), qPrintable(run.platform.messages.at(0)));
    QCOMPARE(run.answer(), QStringLiteral("my note"));
    QCOMPARE(run.file("masterFile_A.txt"), master);
    QCOMPARE(run.file("send_0107A.txt"), send);
    // the run goes on: a response is recorded as ever
    QVERIFY(!run.form->runEnded());
    run.typeAnswer("five");
    run.click(enter);
    QVERIFY(run.file("masterFile_A.txt").endsWith(responseTail("five", "2")));
}

// Faults

void TestHardening::diskFills_nothingHalfWritten_data() {
    QTest::addColumn<bool>("smallDisk");
    // A small file system of its own, filled so that the master file's block still fits and the send file's does
    // not; where the system allows no mount, the other row fails the send file on /dev/full all the same.
    QTest::newRow("tmpfs filled to the last page") << true;
    QTest::newRow("send file on /dev/full") << false;
}

void TestHardening::diskFills_nothingHalfWritten() {
    QFETCH(bool, smallDisk);
    TestRun run({"A", "1", "", "1", "2", "3"}, fixtures::smallDocument());
    const QString disk = run.home() + QStringLiteral("/disk");
    QVERIFY(QDir().mkpath(disk));
    std::optional<SmallDisk> mounted;
    if (smallDisk) {
        if (!mounted.emplace(disk).mounted) {
#ifdef Q_OS_WIN
            QSKIP("a program mounts no small disk on Windows");
#endif
            QSKIP(qPrintable(QStringLiteral("no tmpfs can be mounted here (%1); the /dev/full row tests the rollback")
                                 .arg(QString::fromLocal8Bit(std::strerror(errno)))));
        }
    } else {
#ifdef Q_OS_WIN
        QSKIP("Windows has no device that is always full");
#endif
        QVERIFY2(QFile::exists(QStringLiteral("/dev/full")), "the fault needs /dev/full");
    }
    run.platform.answers[2] = disk;
    QVERIFY(run.start());
    run.click(next);
    const QString masterPath = disk + QStringLiteral("/masterFile_A.txt");
    const QString sendPath = disk + QStringLiteral("/send_0107A.txt");
    const QByteArray master = contents(masterPath);
    const QByteArray send = contents(sendPath);

    // the draft of what is typed is saved before the disk fills, and the press does not save it again
    const QString typed = QStringLiteral("a response longer than one page ").repeated(160);
    run.typeAnswer(typed);
    QTRY_COMPARE(QDir(disk).entryList({QStringLiteral("*.draft")}, QDir::Files | QDir::Hidden).size(), 1);
    QFile filler(disk + QStringLiteral("/filler"));
    if (smallDisk) {
        // fill every page, then give one back: the master file's block takes it, the send file's finds none
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray page(4096, 'f');
        while (filler.write(page) == page.size()) {
        }
        QVERIFY(filler.resize(filler.size() - page.size()));
        filler.close();
    } else {
        QVERIFY(QFile::remove(sendPath));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), sendPath));
    }
    run.click(enter);

    // the student is told that the send file could not be written, and the response is still in the box
    QCOMPARE(run.platform.messages.size(), 1);
    QVERIFY2(run.platform.messages.at(0).contains(sendPath), qPrintable(run.platform.messages.at(0)));
    QVERIFY2(run.platform.messages.at(0).contains(QStringLiteral("No space left on device")),
             qPrintable(run.platform.messages.at(0)));
    QCOMPARE(run.answer(), typed);
    QVERIFY(!run.form->runEnded());
    // the master file's block, written before the send file failed, has been taken back
    QCOMPARE(contents(masterPath), master);

    // once there is room again, the same press records the response whole in both files
    if (smallDisk) {
        QVERIFY(filler.remove());
        QCOMPARE(contents(sendPath), send);
    } else {
        QVERIFY(QFile::remove(sendPath));
        QFile restored(sendPath);
        QVERIFY(restored.open(QIODevice::WriteOnly));
        restored.write(send);
    }
    run.click(enter);
    QCOMPARE(run.platform.messages.size(), 1);
    QCOMPARE(run.answer(), QString());
    const QByteArray tail = responseTail(typed.toLatin1(), "3");
    QVERIFY(contents(masterPath).startsWith(master));
    QVERIFY(contents(masterPath).endsWith(tail));
    QVERIFY(contents(sendPath).startsWith(send));
    QVERIFY(contents(sendPath).endsWith(tail));
    QCOMPARE(contents(masterPath).count("RESPONSE -->  "), 1);
}

void TestHardening::diskFillsWhileTyping_savedTextNeverLost_data() {
    QTest::addColumn<QString>("press"); // what the student does once the disk is full
    QTest::newRow("typing on, then killed") << QString();
    QTest::newRow("next question") << QString::fromLatin1(next);
    QTest::newRow("quit program") << QStringLiteral("cmd_quit");
}

// A draft is saved; the disk fills (another program takes the space); more is typed and a save fails for want of
// room. The saved draft stays whole, the student is told where the text is, and once there is room it is kept.
void TestHardening::diskFillsWhileTyping_savedTextNeverLost() {
    QFETCH(QString, press);
    TestRun run({"A", "1", "", "1", "2"}, fixtures::smallDocument());
    const QString disk = run.home() + QStringLiteral("/disk");
    const SmallDisk small(disk);
    if (!small.mounted) {
#ifdef Q_OS_WIN
        QSKIP("a program mounts no small disk on Windows");
#endif
        QSKIP("no tmpfs can be mounted here");
    }
    const auto endRunFirst = qScopeGuard([&] { run.form.reset(); }); // its draft's lock goes before the disk
    run.platform.answers[2] = disk;
    // a text kept in an earlier run, which a failed append must leave as it is
    const QString keptPath = disk + QStringLiteral("/unsent_A.txt");
    const QByteArray keptBefore =
        keptstore::entryBytes({"01-06-2026", "10:00:00", "001", "emptied by clear box", "", "x"});
    QFile keptFile(keptPath);
    QVERIFY(keptFile.open(QIODevice::WriteOnly) && keptFile.write(keptBefore) == keptBefore.size());
    keptFile.close();
    QVERIFY(run.start());
    run.click(next);
    const auto drafts = [&] {
        return QDir(disk).entryList({QStringLiteral(".unsent_A.*.draft")}, QDir::Files | QDir::Hidden);
    };
    run.typeAnswer(QStringLiteral("saved before the disk filled"));
    QTRY_VERIFY_WITH_TIMEOUT(drafts().size() == 1 && contents(disk + u'/' + drafts().first()).endsWith("filled"), 5000);
    const QString draftPath = disk + u'/' + drafts().first();
    const QByteArray good = contents(draftPath);
    QVERIFY(fillDisk(disk));
    const QList<QByteArray> files = rawNames(disk);

    const QString typed = QStringLiteral("saved before the disk filled, and typed after it ").repeated(300);
    run.typeAnswer(typed);
    QTRY_VERIFY_WITH_TIMEOUT(!run.form->pendingWarnings().isEmpty(), 5000);
    QVERIFY2(run.form->pendingWarnings().first().contains(QStringLiteral("No space left on device")),
             qPrintable(run.form->pendingWarnings().first()));
    // the failed save left the good draft as it was, and no file of its own
    QCOMPARE(contents(draftPath), good);
    QCOMPARE(rawNames(disk), files);
    if (press.isEmpty()) {
        return; // a kill now leaves the good draft for the next start
    }

    run.click(press.toLatin1().constData());
    QCOMPARE(contents(draftPath), good);
    QCOMPARE(contents(keptPath), keptBefore); // the half that fitted was taken back
    const QString message = run.platform.messages.value(run.platform.messages.size() - 1);
    QVERIFY2(message.contains(QStringLiteral("could not be saved on disk")) &&
                 message.contains(QStringLiteral("No space left on device")),
             qPrintable(message));
    QVERIFY(!run.form->runEnded());
    if (press == u"cmd_quit") {
        QVERIFY2(message.contains(QStringLiteral("stays open")), qPrintable(message));
        QCOMPARE(run.answer(), typed);
    }

    // room again: the text goes into the kept-text file, and the draft goes once it holds nothing more
    QVERIFY(QFile::remove(disk + QStringLiteral("/filler")));
    if (press == u"cmd_quit") {
        run.click("cmd_quit");
        QVERIFY(run.form->runEnded());
    }
    QTRY_VERIFY_WITH_TIMEOUT(contents(keptPath).contains(typed.toUtf8()), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(drafts().isEmpty(), 5000);
    QVERIFY(contents(keptPath).startsWith(keptBefore));
    QCOMPARE(keptstore::untoldCount(contents(keptPath)), 2);
}

void TestHardening::twoWriters_blocksNeverInterleave() {
    // Two runs for the same student append to the same two files at once. Both also fail some blocks on purpose (A
    // every second, B every third) and take them back; the other's blocks, written meanwhile, must survive that.
    QTemporaryDir dir;
    const QString master = dir.filePath(QStringLiteral("masterFile_A.txt"));
    const QString send = dir.filePath(QStringLiteral("send_0107A.txt"));
    const int blocks = 100;
    const QString names[2] = {QStringLiteral("A"), QStringLiteral("B")};
    const int failEvery[2] = {2, 3};
    QProcess writers[2];
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.path());
    for (int w = 0; w < 2; ++w) {
        writers[w].setProcessEnvironment(env);
        writers[w].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writers[w].start(childPath(), {QStringLiteral("append"), master, send, names[w], QString::number(blocks),
                                       QString::number(failEvery[w])});
        QVERIFY(writers[w].waitForStarted());
    }
    for (QProcess& writer : writers) {
        QVERIFY(writer.waitForReadyRead(60000));
        QCOMPARE(writer.readLine(), QByteArray("ready\n"));
    }
    // both start at once: each "go" is on its way before either writer is waited for
    for (QProcess& writer : writers) {
        writer.write("go\n");
        QVERIFY(writer.waitForBytesWritten(60000));
    }
    for (QProcess& writer : writers) {
        QVERIFY(writer.waitForFinished(240000));
        QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(writer.exitCode(), 0);
    }

    // Each file, read from the start, is a sequence of whole blocks: each writer's in the order written, A's failed
    // ones nowhere.
    for (const QString& path : {master, send}) {
        const QByteArray file = contents(path);
        int nextOf[2] = {0, 0};
        int switches = 0;
        int last = -1;
        qsizetype at = 0;
        const auto skipFailed = [&](int w) {
            while (nextOf[w] < blocks && hardening::failsOnPurpose(nextOf[w], failEvery[w])) {
                ++nextOf[w];
            }
        };
        skipFailed(0);
        skipFailed(1);
        while (at < file.size()) {
            int found = -1;
            for (int w = 0; w < 2 && found < 0; ++w) {
                if (nextOf[w] < blocks) {
                    const QByteArray block = hardening::writerBlock(names[w], nextOf[w]);
                    if (QByteArrayView(file).sliced(at, std::min(block.size(), file.size() - at)) == block) {
                        found = w;
                        at += block.size();
                        ++nextOf[w];
                        skipFailed(w);
                    }
                }
            }
            QVERIFY2(found >= 0, qPrintable(QStringLiteral("%1: no whole block at byte %2").arg(path).arg(at)));
            switches += last >= 0 && found != last;
            last = found;
        }
        QCOMPARE(nextOf[0], blocks);
        QCOMPARE(nextOf[1], blocks);
        QVERIFY2(switches > 0, "the two writers did run at the same time");
    }
}

void TestHardening::killedWhileRatingBoxOpen_filesHoldWholeBlocks() {
    QTemporaryDir home;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(childPath(), {QStringLiteral("rating")});
    QVERIFY(child.waitForStarted());
    const QDeadlineTimer deadline(120000);
    while (!child.canReadLine() && child.state() == QProcess::Running && !deadline.hasExpired()) {
        child.waitForReadyRead(200);
    }
    QCOMPARE(child.readLine(), QByteArray("rating box open\n"));

    // The same run in this process, up to the same moment: the files must hold exactly this.
    TestRun reference({"A", "", "1", "2"}, fixtures::smallDocument());
    QVERIFY(reference.start());
    reference.click(next);
    reference.typeAnswer("first answer");
    reference.click(enter);
    reference.click(next);

    // the press saved the answer to the run's draft before it asked for the rating; the kill comes once it is there
    const QString folder = home.path() + QStringLiteral("/tavimora");
    const auto draftHolds = [&](const QByteArray& text) {
        const QStringList drafts =
            QDir(folder).entryList({QStringLiteral(".unsent_A.*.draft")}, QDir::Files | QDir::Hidden);
        return drafts.size() == 1 && contents(folder + u'/' + drafts.first()).endsWith(text);
    };
    QTRY_VERIFY_WITH_TIMEOUT(draftHolds("second answer"), 10000);
    child.kill();
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(recordNames(folder), (QList<QByteArray>{"masterFile_A.txt", "send_0107A.txt"}));
    for (const char* name : {"masterFile_A.txt", "send_0107A.txt"}) {
        const QByteArray file = contents(folder + u'/' + QLatin1String(name));
        QCOMPARE(file, reference.file(QLatin1String(name)));
        QVERIFY(file.endsWith(responseTail("first answer", "2")));
        QVERIFY(!file.contains("second answer"));
    }

    // The answer that was never recorded is in the killed run's draft, and the next start keeps it and tells.
    TestRun next({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(QDir().mkpath(next.folder()));
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden); it.hasNext();) {
        it.next();
        QVERIFY(QFile::copy(it.filePath(), next.folder() + u'/' + it.fileName()));
    }
    QVERIFY(next.start());
    next.form->show();
    QTRY_COMPARE(next.platform.messages.size(), 1);
    QVERIFY2(
        next.platform.messages.first().startsWith(QStringLiteral("1 text that you typed and did not enter")) &&
            next.platform.messages.first().contains(TestRun::shown(next.folder() + QStringLiteral("/unsent_A.txt"))),
        qPrintable(next.platform.messages.first()));
    QVERIFY(next.file("unsent_A.txt").contains(", which did not end: 1 line\r\nTyped under: 5.\r\nsecond answer\r\n"));
}

void TestHardening::recordFileLocked_givenUpAfterTheWait() {
    TestRun run({"A", "", "1", "2", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.form->setLockWait(std::chrono::milliseconds(300));
    const QString master = run.folder() + QStringLiteral("/masterFile_A.txt");
    const QByteArray masterBefore = run.file("masterFile_A.txt");
    const QByteArray sendBefore = run.file("send_0107A.txt");
    // another program holds the master file locked for longer than the wait
#ifdef Q_OS_WIN
    // Windows locks per opening: a second one, made here, is to the run what another program's is
    QFile holder(master);
    QVERIFY(holder.open(QIODevice::ReadWrite) && durablefile::lock(holder, QDeadlineTimer(0)));
#else
    QProcess holder;
    // with -o only flock itself holds the lock, so killing it lets go
    holder.start(QStringLiteral("flock"),
                 {QStringLiteral("-o"), master, QStringLiteral("sleep"), QStringLiteral("60")});
    QVERIFY(holder.waitForStarted());
    const auto lockedElsewhere = [&] {
        QFile f(master);
        if (!f.open(QIODevice::ReadOnly) || ::flock(f.handle(), LOCK_EX | LOCK_NB) == 0) {
            return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(lockedElsewhere(), 10000);
#endif
    run.click(next);
    run.typeAnswer("my answer");
    QElapsedTimer waited;
    waited.start();
    run.click(enter);
    QVERIFY(waited.elapsed() >= 300);
#ifdef Q_OS_WIN
    holder.close();
#else
    holder.kill();
    holder.waitForFinished();
#endif
    QCOMPARE(run.platform.messages.size(), 1);
    QVERIFY2(run.platform.messages.first().contains(QStringLiteral("masterFile_A.txt")) &&
                 run.platform.messages.first().contains(QStringLiteral("another program is using it")),
             qPrintable(run.platform.messages.first()));
    QCOMPARE(run.answer(), QStringLiteral("my answer"));
    QCOMPARE(run.file("masterFile_A.txt"), masterBefore);
    QCOMPARE(run.file("send_0107A.txt"), sendBefore);
    // once the other program lets go, the same press records it
    run.click(enter);
    QVERIFY(run.file("masterFile_A.txt").endsWith(responseTail("my answer", "2")));
}

void TestHardening::recordFileLocked_keysReachTheBox_data() {
    QTest::addColumn<QString>("locked");   // the record file that the other process holds
    QTest::addColumn<bool>("letGo");       // it lets go during the wait, once the keys are typed
    QTest::addColumn<QString>("boxAfter"); // what the answer box holds once the press is over
    QTest::newRow("master file, given up") << "masterFile_A.txt" << false << "my answer, typed while waiting";
    QTest::newRow("send file, given up") << "send_0107A.txt" << false << "my answer, typed while waiting";
    QTest::newRow("master file, let go during the wait") << "masterFile_A.txt" << true << ", typed while waiting";
}

// While a press waits for a record file that another process holds, the window stays live: every key typed
// reaches the answer box, and the window's other commands wait until the press is over.
void TestHardening::recordFileLocked_keysReachTheBox() {
    QFETCH(QString, locked);
    QFETCH(bool, letGo);
    QFETCH(QString, boxAfter);
    TestRun run({"A", "", "1", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.form->setLockWait(std::chrono::milliseconds(letGo ? 20000 : 500));
    const QByteArray masterBefore = run.file("masterFile_A.txt");
    const QByteArray sendBefore = run.file("send_0107A.txt");
    QProcess holder;
    holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    holder.start(QStringLiteral(HARDENING_CHILD), {QStringLiteral("lock"), run.folder() + u'/' + locked});
    QVERIFY(holder.waitForReadyRead(60000));
    QCOMPARE(holder.readLine(), QByteArray("locked\n"));
    run.click(next);
    run.typeAnswer("my answer");

    // the first moment the press waits, keys are typed and clear box is pressed; the other process may let go then
    QPlainTextEdit* box = run.form->controls().txt_answer;
    qsizetype messagesWhenTyped = -1;
    QTimer::singleShot(0, run.form.get(), [&] {
        messagesWhenTyped = run.platform.messages.size();
        box->moveCursor(QTextCursor::End);
        QTest::keyClicks(box, ", typed while waiting");
        run.click("cmd_clear_answer_box");
        if (letGo) {
            holder.write("go\n");
            holder.waitForBytesWritten(10000);
        }
    });
    run.click(enter);
    QCOMPARE(messagesWhenTyped, 0);
    QCOMPARE(run.answer(), boxAfter);
    const QByteArray recorded = responseTail("my answer", "2");
    if (letGo) {
        QVERIFY(run.platform.messages.isEmpty());
        QVERIFY(run.file("masterFile_A.txt").endsWith(recorded));
        QVERIFY(run.file("send_0107A.txt").endsWith(recorded));
    } else {
        QCOMPARE(run.platform.messages.size(), 1);
        QVERIFY2(run.platform.messages.first().contains(locked) &&
                     run.platform.messages.first().contains(QStringLiteral("your text is still in the answer box")),
                 qPrintable(run.platform.messages.first()));
        QCOMPARE(run.file("masterFile_A.txt"), masterBefore);
        QCOMPARE(run.file("send_0107A.txt"), sendBefore);
        holder.write("go\n");
    }
    // it may have ended while the press waited
    QVERIFY(holder.state() == QProcess::NotRunning || holder.waitForFinished(30000));
    QCOMPARE(holder.exitCode(), 0);
    QVERIFY(!run.file("unsent_A.txt").contains("my answer")); // clear box waited with the rest of the window
}

// Unsent text

void TestHardening::tenMegabytesAtQuit_keptWhole() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click(next);
    run.form->controls().txt_answer->clear();
    run.form->controls().txt_answer->insertPlainText(tenMegabytes());
    run.click("cmd_quit");
    const QByteArray kept = run.file("unsent_A.txt");
    QVERIFY(kept.startsWith("==== kept 01-07-2026 09:30:05, assignment 001, in the answer box when the run ended: "));
    QVERIFY(kept.endsWith("\r\n" + tenMegabytes().toUtf8() + "\r\n\r\n"));
    QCOMPARE(rawNames(run.folder()), (QList<QByteArray>{"masterFile_A.txt", "send_0107A.txt", "unsent_A.txt"}));
}

void TestHardening::keptFileIsFolder_toldOnce_drillGoesOn() {
    TestRun run({"A", "", "1", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    QVERIFY(QDir().mkpath(run.folder() + QStringLiteral("/unsent_A.txt")));
    run.click(next);
    run.typeAnswer("first");
    run.click(next);
    run.click("cmd_clear_answer_box");
    run.typeAnswer("second");
    run.click("cmd_clear_answer_box");
    QCOMPARE(run.platform.messages.size(), 1);
    QVERIFY2(run.platform.messages.first().contains(QStringLiteral("unsent_A.txt")),
             qPrintable(run.platform.messages.first()));
    // the text is within reach, and the drill goes on
    run.form->controls().txt_answer->undo();
    QCOMPARE(run.answer(), QStringLiteral("second"));
    run.click(enter);
    QVERIFY(
        run.file("masterFile_A.txt").endsWith("RESPONSE -->  \r\nsecond\r\nself critique assessment: 2\r\n" + closing));
    QCOMPARE(run.platform.messages.size(), 1);
    // what is in the box at quit stays in the draft, for the next start, and the student is told where
    run.typeAnswer("third");
    run.click("cmd_quit");
    QCOMPARE(run.platform.messages.size(), 2);
    QVERIFY2(run.platform.messages.last().contains(QStringLiteral("It is in a draft")),
             qPrintable(run.platform.messages.last()));
    const QStringList drafts =
        QDir(run.folder()).entryList({QStringLiteral(".unsent_A.*.draft")}, QDir::Files | QDir::Hidden);
    QCOMPARE(drafts.size(), 1);
    QVERIFY(contents(run.folder() + u'/' + drafts.first()).endsWith("\r\n\r\nthird"));
}

void TestHardening::workFolderTurnsReadOnly_toldOnce_nothingLost() {
#ifdef Q_OS_WIN
    QSKIP("a folder's read-only attribute does not stop Windows making files in it; the test drops root's rights, "
          "which a Windows program has no counterpart of, and an access list that denies writing is not tried");
#else
    TestRun run({"A", "", "1", "2"}, fixtures::smallDocument());
    // Root passes every permission check; without these two capabilities it meets the folder's mode like anyone.
    // Threads take the capabilities of the thread that starts them, so they are dropped before the run starts.
    struct Capabilities {
        bool dropped = false;
        static bool dacOverride(bool on) {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct data[2]{};
            if (::syscall(SYS_capget, &header, data) != 0) {
                return false;
            }
            for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
                const unsigned bit = 1u << (cap % 32);
                data[cap / 32].effective = on ? data[cap / 32].effective | bit : data[cap / 32].effective & ~bit;
            }
            return ::syscall(SYS_capset, &header, data) == 0;
        }
        ~Capabilities() {
            if (dropped) {
                dacOverride(true);
            }
        }
    } capabilities;
    QVERIFY(capabilities.dropped = Capabilities::dacOverride(false));
    QVERIFY(run.start());
    const QByteArray folder = QFile::encodeName(run.folder());
    QVERIFY2(::chmod(folder.constData(), 0555) == 0, std::strerror(errno));
    struct Restore {
        QByteArray path;
        ~Restore() { ::chmod(path.constData(), 0755); }
    } restore{folder};

    // No new file can be made in the folder: the record files, which exist, still take blocks; the draft and the
    // kept-text file cannot be made. The student is told at the next press of a main button, not while typing, so
    // every key typed meanwhile reaches the answer box.
    run.click(next);
    run.typeAnswer("my answer");
    QTRY_VERIFY(!run.form->pendingWarnings().isEmpty());
    QPlainTextEdit* box = run.form->controls().txt_answer;
    box->moveCursor(QTextCursor::End);
    QTest::keyClicks(box, " and more");
    QCOMPARE(run.answer(), QStringLiteral("my answer and more"));
    QVERIFY(run.platform.messages.isEmpty());
    run.click(next); // the prompt takes the answer's place; it cannot be kept on disk, and undo still has it
    QCOMPARE(run.platform.messages.size(), 2);
    QVERIFY2(run.platform.messages.at(0).contains(QStringLiteral("could not be saved in a draft in\n") + run.folder()),
             qPrintable(run.platform.messages.at(0)));
    QVERIFY2(run.platform.messages.at(1).contains(QStringLiteral("could not be saved on disk")) &&
                 run.platform.messages.at(1).contains(QStringLiteral("only in this window")),
             qPrintable(run.platform.messages.at(1)));
    run.click("cmd_clear_answer_box");
    box->undo();
    box->undo();
    QCOMPARE(run.answer(), QStringLiteral("my answer and more"));
    // the same trouble again is not told again
    run.click(enter);
    QCOMPARE(run.platform.messages.size(), 2);
    QVERIFY(run.file("masterFile_A.txt")
                .endsWith("RESPONSE -->  \r\nmy answer and more\r\nself critique assessment: 2\r\n" + closing));

    // writable again: what is typed is kept, and the end of the run leaves no draft behind
    QVERIFY(::chmod(folder.constData(), 0755) == 0);
    run.typeAnswer("typed later");
    run.click("cmd_quit");
    // the text the prompt replaced, held for the kept-text file meanwhile, goes in before the later one, marked as
    // entered after all
    const QByteArray kept = run.file("unsent_A.txt");
    QVERIFY(kept.contains(", replaced by the response prompt: 1 line\r\nTyped under: `q001.  What is 2 + 3?\r\n"
                          "my answer and more\r\n\r\n==== entered "));
    QCOMPARE(keptstore::untoldCount(kept), 1);
    QVERIFY(kept.endsWith("\r\ntyped later\r\n\r\n"));
    QCOMPARE(rawNames(run.folder()), (QList<QByteArray>{"masterFile_A.txt", "send_0107A.txt", "unsent_A.txt"}));
    QCOMPARE(run.platform.messages.size(), 2);
#endif
}

void TestHardening::twoRunsOfOneName_eachKeepsItsOwn() {
    TestRun first({"A", "", "1"}, fixtures::smallDocument());
    ScriptedPlatform platform;
    platform.answers = first.inThisFolder({"A", "", "1"});
    auto second = std::make_unique<Form1>(platform);
    second->setDocumentText(fixtures::smallDocument());
    QVERIFY(first.start());
    QVERIFY(second->load());
    first.click(next);
    first.typeAnswer("typed in the first run");
    second->controls().cmdNextQuestion->click();
    textbox::setText(*second->controls().txt_answer, QStringLiteral("typed in the second run"));
    const auto drafts = [&] {
        return QDir(first.folder()).entryList({QStringLiteral(".unsent_A.*.draft")}, QDir::Files | QDir::Hidden);
    };
    QTRY_COMPARE_WITH_TIMEOUT(drafts().size(), 2, 5000);
    first.click("cmd_quit");
    QCOMPARE(drafts().size(), 1); // the second run's draft is its own
    second->controls().cmd_quit->click();
    QVERIFY(drafts().isEmpty());
    const QByteArray kept = first.file("unsent_A.txt");
    QVERIFY(kept.contains("\r\ntyped in the first run\r\n"));
    QVERIFY(kept.contains("\r\ntyped in the second run\r\n"));
    QCOMPARE(keptstore::untoldCount(kept), 2);
}

void TestHardening::killedWhileSavingDraft_previousDraftWhole() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral(".unsent_A.1-a.draft"));
    const QByteArray a(20 << 20, 'a');
    const QByteArray b(20 << 20, 'b');
    // killed at different moments of its saves; each time the draft is one of them, whole
    for (int delayMs : {0, 7, 23, 61}) {
        QProcess child;
        child.start(childPath(), {QStringLiteral("draft"), path});
        QVERIFY(child.waitForReadyRead(60000));
        QCOMPARE(child.readLine(), QByteArray("saved\n"));
        QThread::msleep(delayMs);
        child.kill();
        QVERIFY(child.waitForFinished(30000));
        const QByteArray draft = contents(path);
        QVERIFY2(draft == a || draft == b, qPrintable(QStringLiteral("%1 bytes").arg(draft.size())));
    }
}

void TestHardening::folderDeleted_quitNamesNoDraftGoneWithIt() {
#ifdef Q_OS_WIN
    QSKIP("Windows deletes no folder while a program holds a file in it open, as the run holds its draft's folder: "
          "the folder cannot be taken from under the run there");
#endif
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click(next);
    run.typeAnswer("saved in a draft");
    const auto drafts = [&] {
        return QDir(run.folder()).entryList({QStringLiteral(".unsent_A.*.draft")}, QDir::Files | QDir::Hidden);
    };
    QTRY_COMPARE_WITH_TIMEOUT(drafts().size(), 1, 5000);
    QVERIFY(QDir(run.folder()).removeRecursively());
    run.typeAnswer("typed after the folder went");
    run.click("cmd_quit");
    QVERIFY2(run.platform.messages.last().contains(QStringLiteral("stays open")),
             qPrintable(run.platform.messages.last()));
    run.click("cmd_quit");
    QVERIFY(run.form->runEnded());
    // the earlier draft went with the folder: the last message says the text is lost, and names no draft
    const QString message = run.platform.messages.last();
    QVERIFY2(message.contains(QStringLiteral("so it is lost")) &&
                 !message.contains(QStringLiteral("draft beside that")),
             qPrintable(message));
}

void TestHardening::killedAtAMoment_eachTextOnce_data() {
    QTest::addColumn<QStringList>("presses"); // as the child takes them; "watch" arms the moment
    QTest::addColumn<QString>("moment");      // the first moment after "watch" that holds this, where it is killed
    QTest::addColumn<QString>("removed");     // a record file removed before the next start
    QTest::addColumn<int>("inMaster");        // how often "my text" is in each file after the next start
    QTest::addColumn<int>("inSend");
    QTest::addColumn<int>("kept");
    QTest::addColumn<QString>("told"); // a part of the one message at the next start; empty: none
    const QStringList typed{next, "type:my text", "draft:my text", "watch"};
    const QString oneKept = QStringLiteral("1 text that you typed and did not enter");
    QTest::newRow("journal written, not yet in place") << typed + QStringList{enter} << ".journal"
                                                       << "" << 0 << 0 << 1 << oneKept;
    QTest::newRow("the master file took the response, the send file not yet")
        << typed + QStringList{enter} << "masterFile_A.txt"
        << "" << 1 << 1 << 0 << "";
    QTest::newRow("both files took the response, the draft still holds it")
        << typed + QStringList{enter} << "send_0107A.txt"
        << "" << 1 << 1 << 0 << "";
    QTest::newRow("a note in the master file alone") << typed + QStringList{saveNotes} << "masterFile_A.txt"
                                                     << "" << 1 << 1 << 0 << "";
    QTest::newRow("the master file took the response, the send file removed before the next start")
        << typed + QStringList{enter} << "masterFile_A.txt"
        << "send_0107A.txt" << 1 << 0 << 0 << "because that file is no longer there";
    QTest::newRow("Alt+N kept the text, the draft still holds it") << typed + QStringList{next} << "unsent_A.txt"
                                                                   << "" << 0 << 0 << 1 << oneKept;
    QTest::newRow("clear box kept the text, the draft still holds it")
        << typed + QStringList{"cmd_clear_answer_box"} << "unsent_A.txt"
        << "" << 0 << 0 << 1 << oneKept;
    QTest::newRow("quit kept the text, the draft still holds it") << typed + QStringList{"cmd_quit"} << "unsent_A.txt"
                                                                  << "" << 0 << 0 << 1 << oneKept;
    QTest::newRow("a newer draft written, not yet in place")
        << QStringList{next, "type:older text", "draft:older text", "watch", "type:my text"} << ".draft"
        << "" << 0 << 0 << 1 << oneKept;
}

// A run killed at a set moment after one of its files is written: the next start leaves every block in all its
// record files or in none, and every text kept once, the newest the run had on disk.
void TestHardening::killedAtAMoment_eachTextOnce() {
#ifdef Q_OS_WIN
    QSKIP("the child stops itself whole at the named moment for the parent to kill it, with a signal that Windows has "
          "no counterpart of: a Windows process cannot stop all its threads from inside at a set point");
#endif
    QFETCH(QStringList, presses);
    QFETCH(QString, moment);
    QFETCH(QString, removed);
    QFETCH(int, inMaster);
    QFETCH(int, inSend);
    QFETCH(int, kept);
    QFETCH(QString, told);
    TestRun next({"A", "", "1"}, fixtures::smallDocument());
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), next.home());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(HARDENING_CHILD), QStringList{QStringLiteral("stop"), moment} + presses);
    QVERIFY(child.waitForStarted());
    const QDeadlineTimer deadline(120000);
    while (!child.canReadLine() && child.state() == QProcess::Running && !deadline.hasExpired()) {
        child.waitForReadyRead(200);
    }
    const QByteArray stopped = child.readLine();
    QVERIFY2(stopped.startsWith("stopped ") && stopped.contains(moment.toUtf8()), stopped.constData());
    child.kill();
    QVERIFY(child.waitForFinished(30000));
    if (!removed.isEmpty()) {
        QVERIFY(QFile::remove(next.folder() + u'/' + removed));
    }

    // the next start completes or takes back what the killed run left, and tells of a text kept or of a block it
    // could not complete
    QVERIFY(next.start());
    next.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(next.form.get()));
    QCoreApplication::processEvents();
    QTRY_COMPARE(next.platform.messages.size(), told.isEmpty() ? 0 : 1);
    if (!told.isEmpty()) {
        QVERIFY2(next.platform.messages.first().contains(told), qPrintable(next.platform.messages.first()));
    }
    QCOMPARE(next.file("masterFile_A.txt").count("my text"), inMaster);
    QCOMPARE(next.file("send_0107A.txt").count("my text"), inSend);
    QCOMPARE(next.file("unsent_A.txt").count("my text"), kept);
    QVERIFY(!next.file("unsent_A.txt").contains("older text"));
    // nothing of the killed run is left once this one ends
    next.form.reset();
    const QList<QByteArray> left = rawNames(next.folder());
    QVERIFY2(std::none_of(left.begin(), left.end(), [](const QByteArray& n) { return n.startsWith(".unsent_"); }),
             left.join(' ').constData());
}

QTEST_MAIN(TestHardening)
#include "tst_hardening.moc"
