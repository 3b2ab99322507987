#include "records/codepage.h"
#include "support/fixtures.h"
#include "support/testrun.h"
#include "ui_Form1.h"

#include <QDir>
#include <QFile>
#include <QTest>

// "Save as Notes" and the two review commands.
class TestNotes : public QObject {
    Q_OBJECT
private slots:
    void saveNote_layouts_data();
    void saveNote_layouts();
    void saveNote_untouchedPrompt_writesNothing();
    void saveNote_readsClockForEachFile();
    void saveNote_failure_keepsNoteAndWritesNoFile();
    void displaySendFile_afterStartUp_appendsHeaderLines();
    void displayNotes_eachLineOnItsOwnOncePerPress();
    void display_missingFile_showsNothingMore_data();
    void display_missingFile_showsNothingMore();
    void display_equalsLineByLineText_data();
    void display_equalsLineByLineText();
};

namespace {
QByteArray noteBlock(const QByteArray& entry, const QByteArray& note) {
    const QByteArray sep = "......!!!!!!!!...................................\r\n";
    const QByteArray indent(36, ' ');
    return sep + indent + "09:30:05\r\n" + indent + "01-07-202609:30:05\r\n" + entry + "\r\n" + sep +
           "NOTES -------> " + note + "\r\n" + QByteArray(49, '.') + "\r\n";
}
} // namespace

void TestNotes::saveNote_layouts_data() {
    QTest::addColumn<int>("presses");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QByteArray>("block");
    QTest::newRow("empty box: the bare label") << 0 << "" << noteBlock("", "");
    QTest::newRow("two lines: label before the first")
        << 1 << "first\r\nsecond" << noteBlock("`q001.  What is 2 + 3?", "first\r\nsecond");
    QTest::newRow("outside the code page, readable")
        << 1 << QStringLiteral("x \u2264 \u03c0") << noteBlock("`q001.  What is 2 + 3?", "x <= pi");
}

void TestNotes::saveNote_layouts() {
    QFETCH(int, presses);
    QFETCH(QString, note);
    QFETCH(QByteArray, block);
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    for (int i = 0; i < presses; ++i) {
        run.click("cmdNextQuestion");
    }
    const QByteArray master = run.file("masterFile_A.txt");
    const QByteArray send = run.file("send_0107A.txt");
    const int lineIndex = run.form->runState().lineIndex;
    run.typeAnswer(note);
    run.click("cmd_save_as_notes");
    QCOMPARE(run.file("masterFile_A.txt"), master + block);
    QCOMPARE(run.file("send_0107A.txt"), send + block);
    QCOMPARE(run.file("notes_A.txt"), block);
    QCOMPARE(run.form->runState().questionBoxText, "NOTES -------> " + note);
    QCOMPARE(run.question(), QString());
    QCOMPARE(run.answer(), QString());
    QCOMPARE(run.form->runState().lineIndex, lineIndex);
    QVERIFY(!run.form->runState().promptPending);
}

void TestNotes::saveNote_untouchedPrompt_writesNothing() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click("cmdNextQuestion");
    run.click("cmdNextQuestion");
    const QByteArray master = run.file("masterFile_A.txt");
    run.click("cmd_save_as_notes");
    QCOMPARE(run.file("masterFile_A.txt"), master);
    QVERIFY(!run.exists("notes_A.txt"));
    QCOMPARE(run.question(), QString());
    QCOMPARE(run.answer(), QString());
    QVERIFY(run.form->runState().promptPending);
}

void TestNotes::saveNote_readsClockForEachFile() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.platform.clock = QDateTime(QDate(2026, 1, 7), QTime(10, 0, 0));
    run.platform.clockStep = 1;
    run.click("cmd_save_as_notes");
    const QByteArray indent(36, ' ');
    QVERIFY(run.file("masterFile_A.txt").contains(indent + "10:00:00\r\n" + indent + "01-07-202610:00:04\r\n"));
    QVERIFY(run.file("send_0107A.txt").contains(indent + "10:00:01\r\n" + indent + "01-07-202610:00:06\r\n"));
    QVERIFY(run.file("notes_A.txt").contains(indent + "10:00:02\r\n" + indent + "01-07-202610:00:08\r\n"));
}

void TestNotes::saveNote_failure_keepsNoteAndWritesNoFile() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    QVERIFY(QDir().mkdir(run.folder() + "/notes_A.txt"));
    const QByteArray master = run.file("masterFile_A.txt");
    const QByteArray send = run.file("send_0107A.txt");
    run.typeAnswer("keep me");
    run.click("cmd_save_as_notes");
    QCOMPARE(run.platform.messages.size(), 1);
    QVERIFY(run.platform.messages.at(0).contains("notes_A.txt"));
    QCOMPARE(run.answer(), QStringLiteral("keep me"));
    QCOMPARE(run.file("masterFile_A.txt"), master);
    QCOMPARE(run.file("send_0107A.txt"), send);
    QVERIFY(!run.form->runEnded());
}

void TestNotes::displaySendFile_afterStartUp_appendsHeaderLines() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    run.platform.randoms = fixtures::knownDraws();
    QVERIFY(run.start());
    QTest::keyClicks(run.form->controls().txt_question, "before");
    const QString header = QStringLiteral("\r\n[v") + QString(18, QChar(0xBA)) +
                           "\r\nassignment #001\r\n001.  Algebra\r\nbrisendal\r\n01-07-2026";
    run.click("cmd_displayCumulativeText");
    QCOMPARE(run.question(), "before" + header);
    run.click("cmd_displayCumulativeText");
    QCOMPARE(run.question(), "before" + header + header);
    QVERIFY(run.platform.messages.isEmpty() && run.platform.errors.isEmpty());
}

void TestNotes::displayNotes_eachLineOnItsOwnOncePerPress() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    QFile notes(run.folder() + "/notes_A.txt");
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("A\r\nB\r\n");
    notes.close();
    run.click("cmdNextQuestion");
    const QString shown = run.question();
    run.click("cmd_display_note_file");
    run.click("cmd_display_note_file");
    QCOMPARE(run.question(), shown + "\r\nA\r\nB\r\nA\r\nB");
    QCOMPARE(run.form->runState().questionBoxText, shown);
}

void TestNotes::display_missingFile_showsNothingMore_data() {
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("removed");
    QTest::newRow("no notes yet") << QByteArray("cmd_display_note_file") << QString();
    QTest::newRow("send file removed") << QByteArray("cmd_displayCumulativeText") << "send_0107A.txt";
}

void TestNotes::display_missingFile_showsNothingMore() {
    QFETCH(QByteArray, button);
    QFETCH(QString, removed);
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    if (!removed.isEmpty()) {
        QVERIFY(QFile::remove(run.folder() + u'/' + removed));
    }
    run.click("cmdNextQuestion");
    const QString shown = run.question();
    run.click(button.constData());
    QCOMPARE(run.question(), shown);
    QVERIFY(!run.form->runEnded());
    QVERIFY(run.platform.messages.isEmpty() && run.platform.errors.isEmpty());
}

void TestNotes::display_equalsLineByLineText_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no line end at the end") << QByteArray("one\r\ntwo");
    QTest::newRow("empty lines") << QByteArray("\r\n\r\nx\r\n\r\n");
    QTest::newRow("high bytes") << QByteArray("\x80\xff\x81\r\n");
    QByteArray many;
    for (int i = 0; i < 3000; ++i) {
        many += QByteArray::number(i) + QByteArray(57, 'x') + "\r\n";
    }
    QTest::newRow("3000 lines") << many;
}

void TestNotes::display_equalsLineByLineText() {
    QFETCH(QByteArray, contents);
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    QFile send(run.folder() + "/send_0107A.txt");
    QVERIFY(send.open(QIODevice::WriteOnly | QIODevice::Truncate));
    send.write(contents);
    send.close();
    run.click("cmdNextQuestion");
    // what showing the file one line at a time gives
    QString expected = run.question();
    QList<QByteArray> lines = contents.isEmpty() ? QList<QByteArray>() : contents.split('\n');
    if (contents.endsWith('\n')) {
        lines.removeLast();
    }
    for (QByteArray line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        expected += "\r\n" + codepage::decode(line);
    }
    run.click("cmd_displayCumulativeText");
    QCOMPARE(run.question(), expected);
}

QTEST_MAIN(TestNotes)
#include "tst_notes.moc"
