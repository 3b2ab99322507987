#include "app/textbox.h"
#include "records/codepage.h"
#include "records/keptstore.h"
#include "support/fixtures.h"
#include "support/testrun.h"
#include "ui_Form1.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QPlainTextEdit>
#include <QTest>

// What the student typed and did not enter: undo in the answer box, the kept-text file, the drafts and their
// recovery, and the keys of the two main buttons.
class TestUnsent : public QObject {
    Q_OBJECT
private slots:
    // The kept-text file and the drafts, without a window
    void entry_layout();
    void untoldCount_data();
    void untoldCount();
    void readDraft_data();
    void readDraft();

    // The answer box
    void programChange_undoneAndRedone_data();
    void programChange_undoneAndRedone();
    void undoHistory_largePastesKeptOnce();
    void leavingTheBox_data();
    void leavingTheBox();
    void draft_followsTheBox_goneOnceRecorded();
    void start_recoversDraftsOfEndedRuns_tellsOnce();
    void keys_fromTheAnswerBox();
};

namespace {
const QString prompt = QStringLiteral("Enter, as appropriate, an answer to the question");

keptstore::Entry entry(const QString& text) {
    return {QStringLiteral("01-07-2026"),
            QStringLiteral("09:30:05"),
            QStringLiteral("001"),
            QStringLiteral("replaced by the response prompt"),
            QStringLiteral("`q001.  What is 2 + 3?"),
            text};
}

keptstore::Draft draft(const QString& text) {
    return {QStringLiteral("01-06-2026"), QStringLiteral("22:10:00"), QStringLiteral("001"),
            QStringLiteral("`q002.  Double it."), text};
}

QStringList draftsIn(const QString& folder, const QString& name = QStringLiteral("A")) {
    return QDir(folder).entryList({QStringLiteral(".unsent_%1.*.draft").arg(name)}, QDir::Files | QDir::Hidden);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Presses, as a student makes them: a button's name, "type:<text>" typed key by key into the answer box, "undo",
// "close" for the window's close button.
void press(TestRun& run, const QStringList& presses) {
    QPlainTextEdit* box = run.form->controls().txt_answer;
    for (const QString& p : presses) {
        if (p.startsWith(u"type:")) {
            box->moveCursor(QTextCursor::End);
            QTest::keyClicks(box, p.mid(5));
        } else if (p == u"undo") {
            QTest::keySequence(box, QKeySequence::Undo);
        } else if (p == u"close") {
            run.form->close();
        } else {
            run.click(p.toLatin1().constData());
        }
    }
}
} // namespace

// The kept-text file and the drafts

void TestUnsent::entry_layout() {
    QCOMPARE(keptstore::entryBytes(entry(QStringLiteral("x = 5\r\n\u2264 7"))),
             QByteArray("==== kept 01-07-2026 09:30:05, assignment 001, replaced by the response prompt: 2 lines\r\n"
                        "Typed under: `q001.  What is 2 + 3?\r\n"
                        "x = 5\r\n"
                        "\xe2\x89\xa4 7\r\n"
                        "\r\n"));
}

void TestUnsent::untoldCount_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("count");
    const QByteArray one = keptstore::entryBytes(entry(QStringLiteral("one")));
    const QByteArray told = keptstore::toldBytes(QStringLiteral("01-08-2026"), QStringLiteral("10:00:00"), 1);
    // a text whose lines look like the file's own head lines
    const QByteArray forged = keptstore::entryBytes(
        entry(QString::fromUtf8(told) + QStringLiteral("==== kept 01-07-2026 09:30:05, x: 1 line\r\nmore")));
    QTest::newRow("nothing kept") << QByteArray() << 0;
    QTest::newRow("two texts") << one + one << 2;
    QTest::newRow("told, then one more") << one + told + one << 1;
    QTest::newRow("all told") << one + one + told << 0;
    QTest::newRow("texts holding head and told lines") << one + forged + one << 3;
    QTest::newRow("cut short in a text") << one + forged.left(forged.size() / 2) << 2;
    QTest::newRow("edited: text lines added") << one + "a line typed in the editor\r\n" + one << 2;
}

void TestUnsent::untoldCount() {
    QFETCH(QByteArray, file);
    QFETCH(int, count);
    QCOMPARE(keptstore::untoldCount(file), count);
}

void TestUnsent::readDraft_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("problem"); // a part of what is said, or nothing when the draft was whole
    const QString typed = QStringLiteral("first line\r\nsecond line \u03c0");
    const QByteArray whole = keptstore::draftBytes(draft(typed));
    const QByteArray head = whole.left(whole.indexOf("\r\n\r\n") + 4);
    QTest::newRow("whole") << whole << typed << "";
    QTest::newRow("cut short while saving")
        << whole.chopped(6) << QStringLiteral("first line\r\nsecond l") << "cut short";
    QTest::newRow("longer than it says") << whole + "!" << typed + u'!' << "more than it says";
    const QByteArray newer = "qadrill draft 2\r\nsome field: 3\r\n\r\nnew layout";
    QTest::newRow("written by a newer version") << newer << QString::fromUtf8(newer) << "another version";
    QTest::newRow("not a draft") << QByteArray("just some text") << QStringLiteral("just some text") << "not a draft";
    const QByteArray damaged = QByteArray(head).replace("text bytes: 38", "text bytes: 4") + "\xff\xfeok";
    QTest::newRow("bytes that are not UTF-8")
        << damaged << codepage::decode("\xff\xfeok") << "each byte is kept as one Western character";
    QTest::newRow("empty file") << QByteArray() << QString() << "not a draft";
}

void TestUnsent::readDraft() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QString, problem);
    const keptstore::DraftReading reading = keptstore::readDraft(bytes);
    QCOMPARE(reading.draft.text, text);
    if (problem.isEmpty()) {
        QCOMPARE(reading.problem, QString());
        QCOMPARE(reading.draft.date, QStringLiteral("01-06-2026"));
        QCOMPARE(reading.draft.time, QStringLiteral("22:10:00"));
        QCOMPARE(reading.draft.assignmentNbr, QStringLiteral("001"));
        QCOMPARE(reading.draft.typedUnder, QStringLiteral("`q002.  Double it."));
    } else {
        QVERIFY2(reading.problem.contains(problem), qPrintable(reading.problem));
    }
}

// The answer box

void TestUnsent::programChange_undoneAndRedone_data() {
    QTest::addColumn<QStringList>("presses");
    QTest::addColumn<QString>("before"); // what the program replaced
    QTest::addColumn<QString>("after");  // what it put in its place
    QTest::newRow("prompt in place of typed text")
        << QStringList{"cmdNextQuestion", "type:mine", "cmdNextQuestion"} << " mine" << prompt;
    QTest::newRow("clear box") << QStringList{"type:mine", "cmd_clear_answer_box"} << " mine"
                               << "";
    QTest::newRow("recorded response") << QStringList{"cmdNextQuestion", "type:mine", "cmd_enter_response"} << " mine"
                                       << "";
    QTest::newRow("saved note") << QStringList{"type:mine", "cmd_save_as_notes"} << " mine"
                                << "";
    QTest::newRow("untouched prompt emptied")
        << QStringList{"cmdNextQuestion", "cmdNextQuestion", "cmd_enter_response"} << prompt << "";
}

void TestUnsent::programChange_undoneAndRedone() {
    QFETCH(QStringList, presses);
    QFETCH(QString, before);
    QFETCH(QString, after);
    TestRun run({"A", "", "1", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    press(run, presses);
    QVERIFY(run.answer().startsWith(after));
    QPlainTextEdit* box = run.form->controls().txt_answer;
    QTest::keySequence(box, QKeySequence::Undo);
    QVERIFY2(run.answer().startsWith(before), qPrintable(run.answer().left(40)));
    QCOMPARE(run.answer().size(), before == prompt ? run.form->runState().responsePrompt.size() : before.size());
    QTest::keySequence(box, QKeySequence::Redo);
    QVERIFY(run.answer().startsWith(after));
    // and what came before it, step by step, back to the blank the box starts with
    QTest::keySequence(box, QKeySequence::Undo);
    QTest::keySequence(box, QKeySequence::Undo);
    QCOMPARE(run.answer(), QStringLiteral(" "));
}

void TestUnsent::undoHistory_largePastesKeptOnce() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    QPlainTextEdit* box = run.form->controls().txt_answer;
    // ten megabytes in lines of a hundred characters, as a pasted document would be
    const QString paste = (QString(98, u'x') + QStringLiteral("\r\n")).repeated(100 * 1024);
    run.click("cmd_clear_answer_box");
    for (int round = 0; round < 5; ++round) {
        box->moveCursor(QTextCursor::End);
        box->insertPlainText(paste);
        QCOMPARE(run.answer().size(), paste.size());
        run.click("cmd_clear_answer_box");
    }
    // the last clearing undoes, and the history holds nothing of the earlier pastes
    QTest::keySequence(box, QKeySequence::Undo);
    QCOMPARE(run.answer().size(), paste.size());
    QVERIFY(!box->document()->isUndoAvailable());
}

void TestUnsent::leavingTheBox_data() {
    QTest::addColumn<QStringList>("presses");
    QTest::addColumn<QString>("reason"); // empty: nothing is kept
    const QStringList typed{"cmdNextQuestion", "type:x = 5"};
    QTest::newRow("prompt put in its place")
        << typed + QStringList{"cmdNextQuestion"} << "replaced by the response prompt";
    QTest::newRow("clear box") << typed + QStringList{"cmd_clear_answer_box"} << "emptied by clear box";
    QTest::newRow("quit program") << typed + QStringList{"cmd_quit"} << "in the answer box when the run ended";
    QTest::newRow("window closed") << typed + QStringList{"close"} << "in the answer box when the window was closed";
    QTest::newRow("the next assignment reached")
        << QStringList{"cmdNextQuestion", "cmdNextQuestion",      "cmdNextQuestion", "cmdNextQuestion",
                       "cmdNextQuestion", "cmd_clear_answer_box", "type: x = 5",     "cmdNextQuestion"}
        << "replaced by the response prompt";
    QTest::newRow("blank text") << QStringList{"cmd_clear_answer_box", "type:  ", "cmd_clear_answer_box", "cmd_quit"}
                                << "";
    QTest::newRow("untouched prompt") << QStringList{"cmdNextQuestion", "cmdNextQuestion", "cmdNextQuestion",
                                                     "cmd_quit"}
                                      << "";
    QTest::newRow("recorded text brought back by undo")
        << QStringList{"cmdNextQuestion", "type:x = 5", "cmd_enter_response", "undo", "cmd_quit"} << "";
    // kept, then brought back with Ctrl+Z and entered: it stays in the file, marked, and is not told of
    QTest::newRow("kept text brought back by undo and entered")
        << typed + QStringList{"cmd_clear_answer_box", "undo", "cmd_enter_response"} << "emptied by clear box";
    QTest::newRow("kept text brought back by undo and saved as a note")
        << typed + QStringList{"cmdNextQuestion", "undo", "cmd_save_as_notes"} << "replaced by the response prompt";
}

void TestUnsent::leavingTheBox() {
    QFETCH(QStringList, presses);
    QFETCH(QString, reason);
    TestRun run({"A", "", "1", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    press(run, presses);
    const QByteArray kept = run.file("unsent_A.txt");
    if (reason.isEmpty()) {
        QVERIFY2(!run.exists("unsent_A.txt"), kept.constData());
    } else if (presses.last() != u"cmd_enter_response" && presses.last() != u"cmd_save_as_notes") {
        QCOMPARE(keptstore::untoldCount(kept), 1);
        QVERIFY2(kept.contains(", " + reason.toUtf8() + ": 1 line\r\nTyped under: "), kept.constData());
        QVERIFY(kept.endsWith("\r\n x = 5\r\n\r\n"));
        QVERIFY(!run.file("masterFile_A.txt").contains("x = 5"));
    } else {
        QCOMPARE(keptstore::untoldCount(kept), 0);
        QVERIFY2(kept.contains(", " + reason.toUtf8() + ": 1 line\r\nTyped under: "), kept.constData());
        QVERIFY2(kept.endsWith("\r\n x = 5\r\n\r\n==== entered 01-07-2026 09:30:05: the text kept at 01-07-2026 "
                               "09:30:05 was entered after all\r\n\r\n"),
                 kept.constData());
        QVERIFY(run.file("masterFile_A.txt").contains("x = 5"));
    }
    QVERIFY(run.platform.messages.isEmpty());
    if (run.form->runEnded() || presses.contains("close")) {
        QVERIFY(draftsIn(run.folder()).isEmpty());
    }
}

void TestUnsent::draft_followsTheBox_goneOnceRecorded() {
    TestRun run({"A", "", "1", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    press(run, {"cmdNextQuestion", "type:my answer"});
    const auto draftHolds = [&](const QByteArray& text) {
        const QStringList drafts = draftsIn(run.folder());
        return drafts.size() == 1 && readFile(run.folder() + u'/' + drafts.first()).endsWith(text);
    };
    // the save starts a second after the change; the rest of the wait is for a machine under load
    QTRY_VERIFY_WITH_TIMEOUT(draftHolds(" my answer"), 4000);
    const keptstore::DraftReading reading =
        keptstore::readDraft(readFile(run.folder() + u'/' + draftsIn(run.folder()).first()));
    QCOMPARE(reading.problem, QString());
    QCOMPARE(reading.draft.typedUnder, QStringLiteral("`q001.  What is 2 + 3?"));
    // once recorded, the draft holds nothing to recover
    run.click("cmd_enter_response");
    QTRY_VERIFY_WITH_TIMEOUT(draftsIn(run.folder()).isEmpty(), 4000);
}

void TestUnsent::start_recoversDraftsOfEndedRuns_tellsOnce() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    const QString folder = run.folder();
    QVERIFY(QDir().mkpath(folder));
    writeFile(folder + QStringLiteral("/.unsent_A.111-aa.draft"), keptstore::draftBytes(draft("lost work")));
    writeFile(folder + QStringLiteral("/.unsent_A.222-bb.draft"),
              keptstore::draftBytes(draft("half of it")).chopped(3));
    writeFile(folder + QStringLiteral("/.unsent_A.333-cc.draft"), keptstore::draftBytes(draft("   ")));
    // a run that is still going, and another student whose name starts alike
    writeFile(folder + QStringLiteral("/.unsent_A.444-dd.draft"), keptstore::draftBytes(draft("still typing")));
    QLockFile liveRun(folder + QStringLiteral("/.unsent_A.444-dd.draft.lock"));
    QVERIFY(liveRun.tryLock(0));
    writeFile(folder + QStringLiteral("/.unsent_A.B.555-ee.draft"), keptstore::draftBytes(draft("not A's")));
    // the lock of a run that ended before it saved a draft
    writeFile(folder + QStringLiteral("/.unsent_A.666-ff.draft.lock"), "999999999\nqadrill\n\n");

    QVERIFY(run.start());
    QVERIFY(run.platform.messages.isEmpty()); // told once the window shows, not before
    run.form->show();
    QTRY_COMPARE(run.platform.messages.size(), 1);
    const QString message = run.platform.messages.first();
    QVERIFY2(message.contains(QStringLiteral("2 texts")) && message.contains(QStringLiteral("unsent_A.txt")) &&
                 message.contains(QStringLiteral("cut short")),
             qPrintable(message));
    const QByteArray kept = run.file("unsent_A.txt");
    QVERIFY(kept.contains("01-06-2026 22:10:00, assignment 001, recovered from the draft of run 111-aa, which did not "
                          "end: 1 line\r\nTyped under: `q002.  Double it.\r\nlost work\r\n"));
    QVERIFY(kept.contains("(it was cut short; what it holds is kept): 1 line\r\nTyped under: `q002.  Double it.\r\n"
                          "half of\r\n"));
    QVERIFY(!kept.contains("still typing") && !kept.contains("not A's"));
    QCOMPARE(keptstore::untoldCount(kept), 0);
    // what was kept, or held nothing, is gone with its lock; the live run's and the other student's stay
    for (const char* gone : {"111-aa.draft", "222-bb.draft", "333-cc.draft", "666-ff.draft.lock"}) {
        QVERIFY2(!QFile::exists(folder + "/.unsent_A." + gone), gone);
    }
    for (const char* kept : {"A.444-dd.draft", "A.444-dd.draft.lock", "A.B.555-ee.draft"}) {
        QVERIFY2(QFile::exists(folder + "/.unsent_" + kept), kept);
    }

    // A start ended after it kept a draft and before it removed it finds the draft again, twice over: it is not
    // kept again, and nothing new is told. One new draft is told as one text, with the file named.
    for (const QByteArray& newDraft : {QByteArray(), QByteArray("lost later")}) {
        writeFile(folder + QStringLiteral("/.unsent_A.111-aa.draft"), keptstore::draftBytes(draft("lost work")));
        if (!newDraft.isEmpty()) {
            writeFile(folder + QStringLiteral("/.unsent_A.777-ab.draft"), keptstore::draftBytes(draft(newDraft)));
        }
        ScriptedPlatform again;
        again.answers = run.inThisFolder({"A", "", "1"});
        Form1 againForm(again);
        againForm.setDocumentText(fixtures::smallDocument());
        QVERIFY(againForm.load());
        againForm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&againForm));
        QCoreApplication::processEvents();
        const QByteArray keptAgain = run.file("unsent_A.txt");
        QCOMPARE(keptAgain.count("\r\nlost work\r\n"), 1);
        QVERIFY(!QFile::exists(folder + QStringLiteral("/.unsent_A.111-aa.draft")));
        if (newDraft.isEmpty()) {
            QCOMPARE(again.messages, QStringList());
        } else {
            QCOMPARE(again.messages.size(), 1);
            QVERIFY2(again.messages.first().startsWith(QStringLiteral("1 text that you typed and did not enter was "
                                                                      "kept in\n") +
                                                       TestRun::shown(run.folder() + QStringLiteral("/unsent_A.txt"))),
                     qPrintable(again.messages.first()));
        }
    }
}

void TestUnsent::keys_fromTheAnswerBox() {
    TestRun run({"A", "", "1", "2"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.form->show();
    QVERIFY(QTest::qWaitForWindowActive(run.form.get()));
    QPlainTextEdit* box = run.form->controls().txt_answer;
    box->setFocus();
    QTest::keyClick(box, Qt::Key_N, Qt::AltModifier);
    QCOMPARE(run.question(), QStringLiteral("`q001.  What is 2 + 3?"));
    box->clear();
    QTest::keyClicks(box, "five");
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, "5");
    QCOMPARE(run.answer(), QStringLiteral("five\r\n5"));
    QTest::keyClick(box, Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(
        run.file("masterFile_A.txt")
            .endsWith("RESPONSE -->  \r\nfive\r\n5\r\nconfidence assessment:  2\r\n" + QByteArray(49, '.') + "\r\n"));
    QCOMPARE(run.answer(), QString());
}

QTEST_MAIN(TestUnsent)
#include "tst_unsent.moc"
