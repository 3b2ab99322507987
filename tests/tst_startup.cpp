#include "support/fixtures.h"
#include "support/testrun.h"

#include <QDir>
#include <QTest>

#include <set>

namespace {
const QString namePrompt = QStringLiteral("Your full name:  ");
// The prompts name the default folder where the files go: Windows' own name, elsewhere the run's home folder's.
QString shownDefault(const TestRun& run) {
#ifdef Q_OS_WIN
    Q_UNUSED(run);
    return QStringLiteral("c:\\tavimora");
#else
    return run.folder();
#endif
}
QString changePrompt(const TestRun& run) {
    return QStringLiteral(
               "Enter 1 if you want to change the folder to which your files will be written.  The current default "
               "folder is ") +
           shownDefault(run) + QStringLiteral(".  If you wish to use this folder, just hit the Enter key");
}
QString folderPrompt(const TestRun& run) {
    return QStringLiteral("You have chosen to change the folder to which your files will be written on your hard "
                          "drive from the default ") +
           shownDefault(run) +
           QStringLiteral(".  Enter the path to the folder you wish to use.  You may just hit the Enter key to retain "
                          "the default path.");
}
const QString assignmentPrompt = QStringLiteral("Assignment Number:  ");
} // namespace

// The start of a run: the questions asked, the state they leave, and the opening of the assignment.
class TestStartup : public QObject {
    Q_OBJECT
private slots:
    // Start-up
    void folderAnswers_data();
    void folderAnswers();
    void names_data();
    void names();
    void assignmentPadding_data();
    void assignmentPadding();
    void responsePrompt_isExact();
    void seedAndCodeNumber_overManyClocks();
    void defaultFolder_createdAndExistingOneKept();
    void store_loadedAndLineIndexOnHeading();

    // Opening
    void opening_stopsOnHeading_data();
    void opening_stopsOnHeading();
    void firstRun_writesHeaderToBothFiles();
    void secondRunSameDay_appendsSecondHeader();
    void unknownAssignment_asksAgainAndWritesNothing();
    void unknownAssignment_emptyAnswerEndsRun();
    void missingTypedFolder_endsRunWithMessage();
    void recordPathIsFolder_endsRunWithNothingWritten();
    void typedFolder_filesGoThere();
};

void TestStartup::folderAnswers_data() {
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("workFolder");
    QTest::addColumn<int>("boxes");
    QTest::newRow("blank then 1") << QStringList{"A", " 1", "1"} << "c:\\tavimora" << 3;
    QTest::newRow("letter") << QStringList{"A", "x", "1"} << "c:\\tavimora" << 3;
    QTest::newRow("empty") << QStringList{"A", "", "1"} << "c:\\tavimora" << 3;
    QTest::newRow("1 then empty") << QStringList{"A", "1", "", "1"} << "c:\\tavimora" << 4;
    QTest::newRow("1 then a folder") << QStringList{"A", "1", "d:\\work", "1"} << "d:\\work" << 4;
    QTest::newRow("trailing backslash") << QStringList{"A", "1", "d:\\work\\", "1"} << "d:\\work\\" << 4;
    QTest::newRow("blanks kept") << QStringList{"A", "1", " d:\\w ", "1"} << " d:\\w " << 4;
}

void TestStartup::folderAnswers() {
    QFETCH(QStringList, answers);
    QFETCH(QString, workFolder);
    QFETCH(int, boxes);
#ifdef Q_OS_WIN
    if (answers[1] != u"1") {
        QSKIP("on Windows c:\\tavimora is the machine's own folder: the test types a fresh one in place of an answer "
              "that keeps it, so these answers are tried where c:\\tavimora is in the test's home folder");
    }
#endif
    TestRun run(answers, fixtures::smallDocument());
    run.start();
    const RunState& s = run.form->runState();
    QCOMPARE(s.workFolder, workFolder);
    QCOMPARE(s.masterFilePath, workFolder + "\\masterFile_A.txt");
    QCOMPARE(s.sendFilePath, workFolder + "\\send_0107A.txt");
    QCOMPARE(s.notesFilePath, workFolder + "\\notes_A.txt");
    QCOMPARE(run.platform.prompts.size(), boxes);
    QStringList expected{namePrompt, changePrompt(run)};
    if (boxes == 4) {
        expected << folderPrompt(run);
    }
    expected << assignmentPrompt;
    QCOMPARE(run.platform.prompts.mid(0, boxes), expected);
}

void TestStartup::names_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("part");
    QTest::newRow("two words") << "A B"
                               << "A_B";
    QTest::newRow("two blanks") << "Ann  Lee"
                                << "Ann__Lee";
    QTest::newRow("leading and trailing blanks") << " Ann "
                                                 << "_Ann_";
    QTest::newRow("slash stays in the folder") << "../x/y"
                                               << ".._x_y";
    QTest::newRow("cancelled") << ""
                               << "";
}

void TestStartup::names() {
    QFETCH(QString, name);
    QFETCH(QString, part);
    TestRun run({name, "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
#ifdef Q_OS_WIN
    const QString folder = QDir::toNativeSeparators(run.folder()); // the one typed in place of c:\tavimora
#else
    const QString folder = QStringLiteral("c:\\tavimora");
#endif
    QCOMPARE(run.form->runState().masterFilePath, folder + "\\masterFile_" + part + ".txt");
    QCOMPARE(run.form->runState().sendFilePath, folder + "\\send_0107" + part + ".txt");
    QVERIFY(run.exists("masterFile_" + part + ".txt"));
    QVERIFY(run.exists("send_0107" + part + ".txt"));
    QCOMPARE(QDir(run.folder()).entryList(QDir::Files).size(), 2);
}

void TestStartup::assignmentPadding_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("assignmentNbr");
    QTest::addColumn<QString>("nextAssignmentNbr");
    QTest::addColumn<int>("lineIndex");
    QTest::newRow("2") << "2"
                       << "002"
                       << "003" << 12;
    QTest::newRow("02") << "02"
                        << "002"
                        << "003" << 12;
    QTest::newRow("001") << "001"
                         << "001"
                         << "002" << 1;
    QTest::newRow("1") << "1"
                       << "001"
                       << "002" << 1;
}

void TestStartup::assignmentPadding() {
    QFETCH(QString, typed);
    QFETCH(QString, assignmentNbr);
    QFETCH(QString, nextAssignmentNbr);
    QFETCH(int, lineIndex);
    TestRun run({"A", "", typed}, fixtures::smallDocument());
    QVERIFY(run.start());
    QCOMPARE(run.form->runState().assignmentNbr, assignmentNbr);
    QCOMPARE(run.form->runState().nextAssignmentNbr, nextAssignmentNbr);
    QCOMPARE(run.form->runState().lineIndex, lineIndex);
}

void TestStartup::responsePrompt_isExact() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    QCOMPARE(run.form->runState().responsePrompt,
             QStringLiteral("Enter, as appropriate, an answer to the question, a critique of your answer in response "
                            "to a given answer, your insights regarding the situation at this point, notes to "
                            "yourself, or just an OK.\r\n\r\nAlways critique your solutions by describing any "
                            "insights you had or errors you makde, and by explaining how you can make use of the "
                            "insight or how you now know how to avoid certain errors.  Also pose for the instructor "
                            "any question or questions that you have related to the problem or series of "
                            "problems."));
    QCOMPARE(run.form->runState().problemSetTitle, QStringLiteral("brisendal"));
}

void TestStartup::seedAndCodeNumber_overManyClocks() {
    std::set<float> seen;
#ifdef Q_OS_WIN
    const int step = 97 * 9; // a run starts far slower under Wine: a ninth of the clocks keeps within the time limit
#else
    const int step = 97;
#endif
    for (int second = 0; second < 86400; second += step) {
        TestRun run({"A", "", "1"}, fixtures::smallDocument());
        run.platform.clock = QDateTime(QDate(2026, 3, 1), QTime(0, 0).addSecs(second));
        QVERIFY(run.start());
        QCOMPARE(run.platform.seed, static_cast<float>(second));
        const float codeNbr = run.form->runState().codeNbr;
        QVERIFY2(codeNbr >= 19 && codeNbr <= 28 && codeNbr == static_cast<int>(codeNbr),
                 qPrintable(QString::number(codeNbr)));
        seen.insert(codeNbr);
    }
    QCOMPARE(seen.size(), std::size_t(10));

    // the code number is the first draw of the run: 10 r + 19, whole part
    for (const auto& [r, codeNbr] : {std::pair{0.0f, 19.0f}, {0.0999f, 19.0f}, {0.1f, 20.0f}, {0.99999994f, 28.0f}}) {
        TestRun run({"A", "", "1"}, fixtures::smallDocument());
        run.platform.randoms = {r};
        QVERIFY(run.start());
        QCOMPARE(run.form->runState().codeNbr, codeNbr);
    }
}

void TestStartup::defaultFolder_createdAndExistingOneKept() {
#ifdef Q_OS_WIN
    QSKIP("on Windows the default folder made is the machine's own c:\\tavimora and d: the machine's drive; the test "
          "tries them where both are in the test's home folder");
#endif
    TestRun run({"A", "1", "d:\\elsewhere"}, fixtures::smallDocument());
    QVERIFY(QDir().mkpath(run.folder()));
    QFile keep(run.folder() + "/keep.txt");
    QVERIFY(keep.open(QIODevice::WriteOnly));
    keep.write("x");
    keep.close();
    run.start();
    QVERIFY(QFile::exists(run.folder() + "/keep.txt"));

    TestRun fresh({"A", "1", "d:\\elsewhere"}, fixtures::smallDocument());
    fresh.start();
    QVERIFY(QFileInfo(fresh.folder()).isDir()); // made even though another folder was chosen
}

void TestStartup::store_loadedAndLineIndexOnHeading() {
    TestRun run({"A", "", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    const RunState& s = run.form->runState();
    const QStringList lines = fixtures::smallDocumentLines();
    QVERIFY(s.problemLines[0].isEmpty());
    for (int i = 0; i < lines.size(); ++i) {
        QCOMPARE(s.problemLines[i + 1], lines[i]);
    }
    for (int i = lines.size() + 1; i <= 5000; ++i) {
        QVERIFY(s.problemLines[i].isEmpty());
    }
    QCOMPARE(s.lineIndex, 12);
}

void TestStartup::opening_stopsOnHeading_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("lineIndex");
    QTest::addColumn<QString>("heading");
    QTest::newRow("001") << "001" << 1 << "001.  ";
    QTest::newRow("2") << "2" << 26 << "002.  ";
    QTest::newRow("02") << "02" << 26 << "002.  ";
    QTest::newRow("005") << "005" << 148 << "005.  Calculus";
    QTest::newRow("6") << "6" << 187 << "006.  ";
}

void TestStartup::opening_stopsOnHeading() {
    QFETCH(QString, typed);
    QFETCH(int, lineIndex);
    QFETCH(QString, heading);
    TestRun run({"A", "", typed}); // the carried document
    QVERIFY(run.start());
    QCOMPARE(run.form->runState().lineIndex, lineIndex);
    QVERIFY(run.form->runState().problemLines[lineIndex].startsWith(heading));
    const QByteArray header = run.file("masterFile_A.txt");
    QVERIFY(header.contains("\r\n" + run.form->runState().problemLines[lineIndex].toLatin1() + "\r\nbrisendal\r\n"));
}

void TestStartup::firstRun_writesHeaderToBothFiles() {
    TestRun run({"A B", "", "1"}, fixtures::smallDocument());
    run.platform.randoms = fixtures::knownDraws();
    QVERIFY(run.start());
    QCOMPARE(run.platform.randoms.size(), std::size_t(0));
    QCOMPARE(run.file("masterFile_A_B.txt"), fixtures::expectedFile("header_001.txt"));
    QCOMPARE(run.file("send_0107A_B.txt"), fixtures::expectedFile("header_001.txt"));
    QVERIFY(!run.exists("notes_A_B.txt"));
    QVERIFY(run.platform.messages.isEmpty());
}

void TestStartup::secondRunSameDay_appendsSecondHeader() {
    TestRun first({"A B", "", "1"}, fixtures::smallDocument());
    first.platform.randoms = fixtures::knownDraws();
    QVERIFY(first.start());
    // further runs of the same student in the same home folder, at another time
    const auto runAt = [&first](const QDateTime& clock) {
        ScriptedPlatform platform;
        platform.answers = first.inThisFolder({"A B", "", "1"});
        platform.randoms = fixtures::knownDraws();
        platform.clock = clock;
        Form1 form(platform);
        form.setDocumentText(fixtures::smallDocument());
        return form.load();
    };
    QVERIFY(runAt(QDateTime(QDate(2026, 1, 7), QTime(23, 59, 59)))); // later that day
    const QByteArray header = fixtures::expectedFile("header_001.txt");
    QCOMPARE(first.file("masterFile_A_B.txt"), header + header);
    QCOMPARE(first.file("send_0107A_B.txt"), header + header);

    // the next day starts a new send file; the master file goes on
    QVERIFY(runAt(QDateTime(QDate(2026, 1, 8), QTime(0, 0, 1))));
    QByteArray nextHeader = header;
    nextHeader.replace("01-07-2026", "01-08-2026");
    QCOMPARE(first.file("masterFile_A_B.txt"), header + header + nextHeader);
    QCOMPARE(first.file("send_0108A_B.txt"), nextHeader);
}

void TestStartup::unknownAssignment_asksAgainAndWritesNothing() {
    TestRun run({"A", "", "7", "09", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    QStringList prompts{namePrompt, changePrompt(run), assignmentPrompt, assignmentPrompt, assignmentPrompt};
    if (run.addedBoxes) {
        prompts.insert(2, folderPrompt(run));
    }
    QCOMPARE(run.platform.prompts, prompts);
    QCOMPARE(run.platform.messages.size(), 2);
    QVERIFY(run.platform.messages.at(0).contains("007"));
    QVERIFY(run.platform.messages.at(1).contains("009"));
    QCOMPARE(run.form->runState().assignmentNbr, QStringLiteral("002"));
    QCOMPARE(run.form->runState().nextAssignmentNbr, QStringLiteral("003"));
    QCOMPARE(run.form->runState().lineIndex, 12);
    QVERIFY(run.file("masterFile_A.txt").contains("assignment #002\r\n002.  Functions\r\n"));
    QVERIFY(!run.file("masterFile_A.txt").contains("007"));
}

void TestStartup::unknownAssignment_emptyAnswerEndsRun() {
    for (const QStringList& answers :
         {QStringList{"A", "", ""}, QStringList{"A", "", "abc", ""}, QStringList{"A", "", "1234", ""}}) {
        TestRun run(answers, fixtures::smallDocument());
        QVERIFY(!run.start());
        QVERIFY(run.form->runEnded());
        QCOMPARE(run.platform.messages.size(), 1);
        QVERIFY(run.platform.errors.isEmpty());
        QVERIFY(QDir(run.folder()).entryList(QDir::Files).isEmpty());
        QVERIFY(run.form->runState().lineIndex <= 5000);
    }
}

void TestStartup::missingTypedFolder_endsRunWithMessage() {
#ifdef Q_OS_WIN
    QSKIP("on Windows d: is the machine's drive; the test tries how the Linux program maps a drive letter into the "
          "home folder");
#endif
    TestRun run({"A", "1", "d:\\no\\such", "1"}, fixtures::smallDocument());
    QVERIFY(!run.start());
    QCOMPARE(run.platform.messages.size(), 1);
    QVERIFY(run.platform.messages.at(0).contains(run.home() + "/no/such/masterFile_A.txt"));
    QVERIFY(run.platform.messages.at(0).contains("No such file or directory"));
    QVERIFY(!QFileInfo::exists(run.home() + "/no"));
    QVERIFY(run.platform.errors.isEmpty());
}

void TestStartup::recordPathIsFolder_endsRunWithNothingWritten() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(QDir().mkpath(run.folder() + "/send_0107A.txt"));
    QVERIFY(!run.start());
    QCOMPARE(run.platform.messages.size(), 1);
    QVERIFY(run.platform.messages.at(0).contains("send_0107A.txt"));
    QCOMPARE(run.file("masterFile_A.txt"), QByteArray()); // made to exist, but nothing written
}

void TestStartup::typedFolder_filesGoThere() {
#ifdef Q_OS_WIN
    QSKIP("on Windows d: is the machine's drive; the test tries how the Linux program maps a drive letter into the "
          "home folder");
#endif
    TestRun run({"A", "1", "d:\\work\\", "1"}, fixtures::smallDocument());
    QVERIFY(QDir().mkpath(run.home() + "/work"));
    QVERIFY(run.start());
    QFile master(run.home() + "/work/masterFile_A.txt");
    QVERIFY(master.open(QIODevice::ReadOnly));
    QVERIFY(master.readAll().endsWith("brisendal\r\n01-07-2026\r\n"));
    QVERIFY(QFile::exists(run.home() + "/work/send_0107A.txt"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
