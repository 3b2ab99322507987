#include "qa/picturebox.h"
#include "support/fixtures.h"
#include "support/testrun.h"
#include "ui_Form1.h"

#include <QTest>

// The question-and-answer flow driven through the real buttons: the reader, responses and ratings, routines,
// pictures and the small commands.
class TestFlow : public QObject {
    Q_OBJECT
private slots:
    // Reader
    void reader_oddLines_pressByPress();
    void reader_endsAtFollowingHeading_writingNothing();
    void reader_endsAtEndOfTextMarker();
    void reader_lastAssignment_endsWithinStore();
    void reader_routineLines_data();
    void reader_routineLines();
    void reader_keepsStudentEditsInQuestionBox();

    // Responses and ratings
    void smallFlow_recordsMatchExpectedFiles();
    void wholeAssignment005_recordsMatchExpectedFiles();
    void assignment006_readToItsEnd_endsWithinStore();
    void firstResponse_beforeAnyBlock_hasNoRating();
    void untouchedPrompt_writesNothingThenEmptyResponseIsRecorded();
    void secondPress_recordsSameLineAgain();
    void eachFileReadsItsOwnTime();
    void failedWrite_keepsResponseAndRunGoesOn();
    void ratingBoxOpen_nothingWrittenYet();

    // Routines, pictures, small commands
    void nextPicture_data();
    void nextPicture();
    void nextPicture_nearEndOfStore_readsNoFurther();
    void pendExp_oneCircleAndOneBeepPerTick();
    void copyPicture_withoutPicture_doesNothing();
    void copyPicture_copiesThroughClipboard();
    void clearBox_andQuit();
    void errorInHandler_shownAndRunEnds();
};

namespace {
const char* const next = "cmdNextQuestion";
const char* const enter = "cmd_enter_response";

QString oddDocument() {
    return documentOf({
        "001.  Odd lines", // 1
        "",                // 2
        "`q007.  Seven{}", // 3
        "`a",              // 4 marker only
        "x",               // 5
        "*`q008.  Star",   // 6 text
        "`Q012.  Upper",   // 7
        "`routine graph1", // 8
        "after routine",   // 9
        "`routine",        // 10 marker alone
        "`q.  no number",  // 11
        "a{}b{{}}}",       // 12
        "end program",     // 13
        "",                // 14
        "002.  Next",      // 15
    });
}
} // namespace

void TestFlow::reader_oddLines_pressByPress() {
    TestRun run({"A", "", "1"}, oddDocument());
    QVERIFY(run.start());
    const QString prompt = run.form->runState().responsePrompt;
    struct Press {
        QString shown;
        QString blockKind;
        QString questionNbr;
        QString currentEntry;
        bool promptPending;
        int lineIndex;
    };
    const Press presses[] = {
        {"`q007.  Seven\r\n", "question", " 7", "`q007.  Seven{}", true, 3},
        {"x", "answer", " 7", "x", true, 5},
        {"*`q008.  Star", "answer", " 7", "*`q008.  Star", true, 6},
        {"`Q012.  Upper", "answer", " 12", "`Q012.  Upper", true, 7},
        {"after routine", "answer", " 12", "after routine", true, 9},
        {"`routine", "answer", " 12", "`routine", false, 10},
        {"`q.  no number", "question", " 0", "`q.  no number", true, 11},
        {"a\r\nb{\r\n}}", "question", " 0", "a{}b{{}}}", true, 12},
        {"end program", "question", " 0", "end program", true, 13},
    };
    QString expectedQuestion;
    bool pendingBefore = false;
    for (const Press& p : presses) {
        run.typeAnswer("typed");
        run.click(next);
        expectedQuestion += p.shown;
        const RunState& s = run.form->runState();
        QCOMPARE(run.question(), expectedQuestion);
        QCOMPARE(s.questionBoxText, expectedQuestion);
        QCOMPARE(run.answer(), pendingBefore ? prompt : QStringLiteral("typed"));
        QCOMPARE(s.blockKind, p.blockKind);
        QCOMPARE(s.questionNbr, p.questionNbr);
        QCOMPARE(s.currentEntry, p.currentEntry);
        QCOMPARE(s.promptPending, p.promptPending);
        QCOMPARE(s.lineIndex, p.lineIndex);
        QVERIFY(s.displayText.isEmpty());
        pendingBefore = p.promptPending;
    }
    QVERIFY(!run.form->runEnded());
}

void TestFlow::reader_endsAtFollowingHeading_writingNothing() {
    TestRun run({"A", "", "1"}, oddDocument());
    QVERIFY(run.start());
    for (int i = 0; i < 9; ++i) {
        run.click(next);
    }
    const QString question = run.question();
    const QByteArray master = run.file("masterFile_A.txt");
    run.click(next);
    QVERIFY(run.form->runEnded());
    QCOMPARE(run.platform.quits, 1);
    QCOMPARE(run.question(), question);
    QCOMPARE(run.file("masterFile_A.txt"), master);
    QCOMPARE(run.form->runState().lineIndex, 15);
    QVERIFY(run.platform.errors.isEmpty());
    // a window whose run has ended does nothing more
    run.click(enter);
    QCOMPARE(run.file("masterFile_A.txt"), master);
}

void TestFlow::reader_endsAtEndOfTextMarker() {
    TestRun run({"A", "", "1"}, documentOf({"001.  T", "", "`q001.  Q", "", "####.# the end", "`a never"}));
    QVERIFY(run.start());
    run.click(next);
    QVERIFY(!run.form->runEnded());
    run.click(next);
    QVERIFY(run.form->runEnded());
    QCOMPARE(run.question(), QStringLiteral("`q001.  Q"));
}

void TestFlow::reader_lastAssignment_endsWithinStore() {
    TestRun run({"A", "", "3"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click(next);
    run.click(next);
    run.click(next);
    QCOMPARE(run.question(),
             QStringLiteral("`q001.  Find the limit of (x^2 - 1)/(x - 1) as x approaches 1.2end program"));
    QVERIFY(!run.form->runEnded());
    run.click(next); // nothing is left up to the last index of the store
    QVERIFY(run.form->runEnded());
    QCOMPARE(run.form->runState().lineIndex, 5000);
    QVERIFY(run.platform.errors.isEmpty());
}

void TestFlow::reader_routineLines_data() {
    QTest::addColumn<QString>("routineLine");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<QString>("shown");
    QTest::newRow("graph1") << "`routine graph1" << false << "after";
    QTest::newRow("any case, any separator, blanks and hyphens") << "`ROUTINE:Gr-aph 3" << false << "after";
    QTest::newRow("exitprog") << "`routine exit-prog" << true << "";
    QTest::newRow("unknown name") << "`routine graph4" << true << "";
    QTest::newRow("nine characters: empty name") << "`routine " << true << "";
    QTest::newRow("followed by another routine line shown as text") << "`routine graph2" << false << "after";
}

void TestFlow::reader_routineLines() {
    QFETCH(QString, routineLine);
    QFETCH(bool, ends);
    QFETCH(QString, shown);
    const bool twoRoutines = QString(QTest::currentDataTag()).startsWith("followed");
    TestRun run({"A", "", "1"}, documentOf({"001.  R", "", routineLine, twoRoutines ? "`routine exitprog" : "after",
                                            "after", "end program"}));
    QVERIFY(run.start());
    run.click(next);
    QCOMPARE(run.form->runEnded(), ends);
    if (twoRoutines) {
        QCOMPARE(run.question(), QStringLiteral("`routine exitprog"));
        QCOMPARE(run.form->runState().promptPending, false);
    } else {
        QCOMPARE(run.question(), shown);
        QCOMPARE(run.form->runState().promptPending, !ends);
    }
}

void TestFlow::reader_keepsStudentEditsInQuestionBox() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click(next);
    QTest::keyClicks(run.form->controls().txt_question, " my mark");
    run.click(next);
    QCOMPARE(run.question(), QStringLiteral(" my mark`q001.  What is 2 + 3?5.\r\n\r\nCOMMON ERROR: 23."));
}

void TestFlow::smallFlow_recordsMatchExpectedFiles() {
    TestRun run({"A B", "", "1", "2", ""}, fixtures::smallDocument());
    run.platform.randoms = fixtures::knownDraws();
    QVERIFY(run.start());
    run.click(next);
    run.typeAnswer("5\r\nbecause 2 + 3 = 5\r\nchecked");
    run.click(enter);
    QCOMPARE(run.question(), QString());
    QCOMPARE(run.answer(), QString());
    run.click(next);
    QCOMPARE(run.answer(), QString()); // a response was taken: no prompt
    run.typeAnswer("ok");
    run.click(enter);
    QCOMPARE(run.form->runState().critiqueRating, QString());
    run.typeAnswer("note one\r\nnote two");
    run.click("cmd_save_as_notes");
    QCOMPARE(run.platform.prompts.mid(3 + run.addedBoxes),
             (QStringList{"Assess your level of confidence in your answer on a scale from 0 to 3, where 0 means you "
                          "have no confidence in your answer, 1 means you have some confidence, 2 means you are "
                          "pretty confident and 3 means you are certain of your answer:",
                          "Rate the quality of your self-critique on a 0-3 scale, where 0 indicates that "
                          "self-critique was necessary on this question but was not given, 1 indicates that "
                          "self-critique was necessary but the given self-critique was not adequate, 2 indicates "
                          "that self-critique was necessary and was mostly adequate, and 3 indicates that either "
                          "self-critique was not necessary or that after reading the solution everything was "
                          "completely obvious so you skipped the self-critique."}));
    QCOMPARE(run.file("masterFile_A_B.txt"), fixtures::expectedFile("small_flow_master.txt"));
    QCOMPARE(run.file("send_0107A_B.txt"), fixtures::expectedFile("small_flow_send.txt"));
    QCOMPARE(run.file("notes_A_B.txt"), fixtures::expectedFile("small_flow_notes.txt"));
}

void TestFlow::wholeAssignment005_recordsMatchExpectedFiles() {
    TestRun run({}); // the carried document
    run.platform.randoms = fixtures::knownDraws();
    run.platform.answerFor = [&](const QString& prompt) -> QString {
        if (prompt.startsWith("Your full name")) {
            return "A B";
        }
#ifdef Q_OS_WIN
        // c:\tavimora is the machine's own folder on Windows: the run types its fresh one
        if (prompt.contains("If you wish to use this folder")) {
            return "1";
        }
        if (prompt.contains("Enter the path to the folder")) {
            QDir().mkpath(run.folder());
            return TestRun::shown(run.folder());
        }
#endif
        if (prompt.startsWith("Assignment Number")) {
            return "5";
        }
        if (prompt.startsWith("Assess")) {
            return "2";
        }
        return prompt.startsWith("Rate") ? "3" : "";
    };
    QVERIFY(run.start());
    int blocks = 0;
    while (!run.form->runEnded()) {
        run.click(next);
        if (run.form->runEnded()) {
            break;
        }
        ++blocks;
        QVERIFY(run.question().endsWith(QString(run.form->runState().currentEntry).replace("{}", "\r\n")));
        run.typeAnswer(blocks == 3 ? QStringLiteral("line one\r\nline two\r\nline three")
                                   : QStringLiteral("response %1").arg(blocks));
        run.click(enter);
        if (blocks == 5) {
            run.typeAnswer("a note\r\nover two lines");
            run.click("cmd_save_as_notes");
        }
    }
    QCOMPARE(blocks, 17);
    QCOMPARE(run.form->runState().lineIndex, 187);
    QCOMPARE(run.file("masterFile_A_B.txt"), fixtures::expectedFile("a005_master.txt"));
    QCOMPARE(run.file("send_0107A_B.txt"), fixtures::expectedFile("a005_send.txt"));
    QCOMPARE(run.file("notes_A_B.txt"), fixtures::expectedFile("a005_notes.txt"));
}

void TestFlow::assignment006_readToItsEnd_endsWithinStore() {
    TestRun run({"A", "", "6"});
    QVERIFY(run.start());
    int presses = 0;
    while (!run.form->runEnded() && presses < 100) {
        run.click(next);
        ++presses;
    }
    QVERIFY(run.form->runEnded());
    QVERIFY(run.question().endsWith("end program"));
    QCOMPARE(run.form->runState().lineIndex, 5000);
    QVERIFY(run.platform.errors.isEmpty());
}

void TestFlow::firstResponse_beforeAnyBlock_hasNoRating() {
    TestRun run({"A", "", "3"}, fixtures::smallDocument());
    run.platform.randoms = fixtures::knownDraws();
    QVERIFY(run.start());
    QCOMPARE(run.answer(), QStringLiteral(" "));
    run.click(enter);
    QCOMPARE(run.platform.prompts.size(), 3 + run.addedBoxes); // no rating asked
    QCOMPARE(run.file("masterFile_A.txt"), fixtures::expectedFile("first_response_003_master.txt"));
    QCOMPARE(run.file("send_0107A.txt"), fixtures::expectedFile("first_response_003_send.txt"));
}

void TestFlow::untouchedPrompt_writesNothingThenEmptyResponseIsRecorded() {
    TestRun run({"A", "", "1", "3"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click(next);
    run.click(next); // the prompt goes into the answer box
    QCOMPARE(run.answer(), run.form->runState().responsePrompt);
    const QByteArray master = run.file("masterFile_A.txt");
    run.click(enter);
    QCOMPARE(run.file("masterFile_A.txt"), master);
    QCOMPARE(run.question(), QString());
    QCOMPARE(run.answer(), QString());
    QVERIFY(run.form->runState().promptPending);
    run.click("cmd_save_as_notes"); // the box is empty now: a bare note is recorded
    QVERIFY(run.file("notes_A.txt").contains("\r\nNOTES -------> \r\n"));
    QVERIFY(!run.form->runState().promptPending);
    run.click(enter);
    QVERIFY(run.file("masterFile_A.txt")
                .endsWith("RESPONSE -->  \r\n\r\nself critique assessment: 3\r\n" + QByteArray(49, '.') + "\r\n"));
}

void TestFlow::secondPress_recordsSameLineAgain() {
    TestRun run({"A", "", "1", "1", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click(next);
    run.typeAnswer("five");
    run.click(enter);
    run.typeAnswer("five again");
    run.click(enter);
    const QByteArray master = run.file("masterFile_A.txt");
    QCOMPARE(master.count("`questionNumber 10001 \r\n`q001.  What is 2 + 3?\r\n"), 2);
    QCOMPARE(master.count("confidence assessment:  "), 2);
    QVERIFY(master.endsWith("five again\r\nconfidence assessment:  2\r\n" + QByteArray(49, '.') + "\r\n"));
    QCOMPARE(run.file("send_0107A.txt").count("`questionNumber"), 0);
}

void TestFlow::eachFileReadsItsOwnTime() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.platform.clock = QDateTime(QDate(2026, 1, 7), QTime(23, 59, 59));
    run.platform.clockStep = 1;
    run.click(enter);
    QVERIFY(run.file("masterFile_A.txt").contains(QByteArray(36, ' ') + "23:59:59\r\n"));
    QVERIFY(run.file("send_0107A.txt").contains(QByteArray(36, ' ') + "00:00:00\r\n"));
}

void TestFlow::failedWrite_keepsResponseAndRunGoesOn() {
    TestRun run({"A", "", "1", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click(next);
    run.click(next);
    const QByteArray send = run.file("send_0107A.txt");
    // the master file turns into something that cannot be appended to
    QVERIFY(QFile::remove(run.folder() + "/masterFile_A.txt"));
    QVERIFY(QDir().mkdir(run.folder() + "/masterFile_A.txt"));
    run.typeAnswer("my critique");
    run.click(enter);
    QCOMPARE(run.platform.messages.size(), 1);
    QVERIFY(run.platform.messages.at(0).contains(TestRun::shown(run.folder() + "/masterFile_A.txt")));
    QCOMPARE(run.answer(), QStringLiteral("my critique"));
    QCOMPARE(run.file("send_0107A.txt"), send);
    QVERIFY(run.form->runState().promptPending);
    QVERIFY(!run.form->runEnded());
    QVERIFY(run.platform.errors.isEmpty());
    // once the folder is gone the same press records it
    QVERIFY(QDir().rmdir(run.folder() + "/masterFile_A.txt"));
    run.platform.answers = {"3"};
    run.click(enter);
    QVERIFY(run.file("masterFile_A.txt").contains("my critique\r\nself critique assessment: 3\r\n"));
    QCOMPARE(run.answer(), QString());
}

void TestFlow::ratingBoxOpen_nothingWrittenYet() {
    TestRun run({"A", "", "1", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click(next);
    const QByteArray master = run.file("masterFile_A.txt");
    QByteArray whileOpen;
    run.platform.onInputBox = [&](const QString&) { whileOpen = run.file("masterFile_A.txt"); };
    run.typeAnswer("five");
    run.click(enter);
    QCOMPARE(whileOpen, master);
    QVERIFY(run.file("masterFile_A.txt").size() > master.size());
}

void TestFlow::nextPicture_data() {
    QTest::addColumn<QStringList>("following"); // the lines after the current one
    QTest::addColumn<int>("advance");
    QTest::addColumn<bool>("ends");
    QTest::newRow("none") << QStringList{"a", "b", "c"} << 0 << false;
    QTest::newRow("at L+1") << QStringList{"`Routine-Graph 1", "b", "c"} << 1 << false;
    QTest::newRow("at L+2 only") << QStringList{"a", "`routine graph2", "c"} << 2 << false;
    QTest::newRow("at L+1 and L+2: L+3 looked at next")
        << QStringList{"`routine graph1", "`routine exitprog", "c"} << 1 << false;
    QTest::newRow("at L+1 and L+3") << QStringList{"`routine graph1", "b", "`routine graph3"} << 3 << false;
    QTest::newRow("exitprog ends, index kept") << QStringList{"`routine exitprog", "b", "c"} << 0 << true;
    QTest::newRow("unknown name ends") << QStringList{"a", "`routine graph4", "c"} << 0 << true;
    QTest::newRow("marker alone ends") << QStringList{"`routine", "b", "c"} << 0 << true;
    QTest::newRow("shorter than marker") << QStringList{"`routin", "b", "c"} << 0 << false;
}

void TestFlow::nextPicture() {
    QFETCH(QStringList, following);
    QFETCH(int, advance);
    QFETCH(bool, ends);
    TestRun run({"A", "", "1"},
                documentOf(QStringList{"001.  P", "`q001.  Q"} + following + QStringList{"end program"}));
    QVERIFY(run.start());
    run.click(next);
    const int before = run.form->runState().lineIndex;
    const QString question = run.question();
    run.click("cmd_next_picture");
    QCOMPARE(run.form->runEnded(), ends);
    QCOMPARE(run.form->runState().lineIndex, before + advance);
    QCOMPARE(run.question(), question);
}

void TestFlow::nextPicture_nearEndOfStore_readsNoFurther() {
    QStringList lines{"001.  Long"};
    for (int i = 2; i < 4999; ++i) {
        lines << QString();
    }
    lines << "last text"
          << "`routine graph1"; // 4999 and 5000
    TestRun run({"A", "", "1"}, documentOf(lines));
    QVERIFY(run.start());
    run.click(next);
    QCOMPARE(run.form->runState().lineIndex, 4999);
    run.click("cmd_next_picture");
    QCOMPARE(run.form->runState().lineIndex, 5000);
    run.click("cmd_next_picture");
    QCOMPARE(run.form->runState().lineIndex, 5000);
    QVERIFY(!run.form->runEnded());
    run.click(next);
    QVERIFY(run.form->runEnded());
}

void TestFlow::pendExp_oneCircleAndOneBeepPerTick() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    PictureBox* box = run.form->controls().Picture1;

    // a known draw first: r = 0.5 gives a radius of 250 units across, a quarter of the box's width
    run.platform.randoms = {0.5f};
    run.form->tmr_pend_exp_Timer();
    QCOMPARE(box->circlesDrawn(), 1);
    QCOMPARE(run.platform.beeps, 1);
    const QImage& s = box->surface();
    QCOMPARE(s.size(), box->contentsRect().size());
    const int cx = s.width() / 2;
    const int cy = s.height() / 2;
    const int r = qRound(s.width() * 0.25);
    const auto inked = [&](int x, int y) {
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                if (qAlpha(s.pixel(x + dx, y + dy)) > 0) {
                    return true;
                }
            }
        }
        return false;
    };
    QVERIFY(inked(cx + r, cy) && inked(cx - r, cy));
    QVERIFY(inked(cx, cy - r) && inked(cx, cy + r)); // round, although the box is wider than high
    QVERIFY(!inked(cx, cy) && !inked(cx, cy - qRound(s.height() * 0.25)));
    run.platform.randoms = {0.99f}; // larger than the box: clipped to it
    run.form->tmr_pend_exp_Timer();
    QCOMPARE(box->circlesDrawn(), 2);
    QVERIFY(inked(cx + r, cy)); // earlier circles stay

    // the timer ticks every 15 ms, a beep and a circle each; a second press leaves it running as it was
    run.click("cmd_pend_exp");
    const int timerId = run.form->pendExpTimer().timerId();
    run.click("cmd_pend_exp");
    QVERIFY(run.form->pendExpTimer().isActive());
    QCOMPARE(run.form->pendExpTimer().timerId(), timerId);
    QCOMPARE(run.form->pendExpTimer().interval(), 15);
    QTRY_VERIFY(box->circlesDrawn() >= 7);
    run.form->pendExpTimer().stop();
    QCOMPARE(run.platform.beeps, box->circlesDrawn());
}

void TestFlow::copyPicture_withoutPicture_doesNothing() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.platform.clipboard = QImage(4, 4, QImage::Format_RGB32);
    run.platform.clipboard.fill(Qt::red);
    run.click("cmd_copy_picture");
    QVERIFY(run.form->controls().Picture2->picture().isNull());
    QCOMPARE(run.platform.clipboard.pixelColor(0, 0), QColor(Qt::red));
    QVERIFY(!run.form->runEnded());
}

void TestFlow::copyPicture_copiesThroughClipboard() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    QImage picture(10, 10, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    run.form->controls().Picture1->setPicture(picture);
    run.click("cmd_copy_picture");
    QCOMPARE(run.platform.clipboard, picture);
    QCOMPARE(run.form->controls().Picture2->picture(), picture);
}

void TestFlow::clearBox_andQuit() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.typeAnswer("one\r\ntwo\r\nthree");
    run.click("cmd_clear_answer_box");
    QCOMPARE(run.answer(), QString());
    run.click("cmd_clear_answer_box");
    QCOMPARE(run.answer(), QString());
    const QByteArray master = run.file("masterFile_A.txt");
    run.click("cmd_quit");
    QVERIFY(run.form->runEnded());
    QCOMPARE(run.platform.quits, 1);
    QCOMPARE(run.file("masterFile_A.txt"), master);
    QVERIFY(run.platform.errors.isEmpty() && run.platform.messages.isEmpty());
}

void TestFlow::errorInHandler_shownAndRunEnds() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click(next);
    const QByteArray master = run.file("masterFile_A.txt");
    run.platform.answerFor = [](const QString&) -> QString { throw std::runtime_error("the box could not be shown"); };
    run.click(enter);
    QCOMPARE(run.platform.errors, QStringList{"the box could not be shown"});
    QVERIFY(run.form->runEnded());
    QCOMPARE(run.platform.quits, 1);
    QCOMPARE(run.file("masterFile_A.txt"), master);
}

QTEST_MAIN(TestFlow)
#include "tst_flow.moc"
