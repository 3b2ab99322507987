#include "course/preview.h"
#include "problems/coursecheck.h"
#include "problems/linestore.h"
#include "support/testrun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// A course team's course: the check, line by line, against what the drill does with each fault; the preview against
// the drill itself, press by press; the program as a course team runs it.
class TestCourse : public QObject {
    Q_OBJECT
private slots:
    // Check
    void check_cleanCourse_findsNothing();
    void check_oneFault_data();
    void check_oneFault();
    void check_carriedCourse_onlyItsNamedDepartures();
    void check_placesLeadBackToTheFile();
    void check_storePastItsLastIndex_isAnError();
    void check_title_data();
    void check_title();

    // Preview
    void preview_matchesTheDrill_pressByPress_data();
    void preview_matchesTheDrill_pressByPress();
    void preview_pages_markEveryFindingWithALink();

    // The program
    void program_exitStatusAndCompilerStyleLines_data();
    void program_exitStatusAndCompilerStyleLines();
};

namespace {

// Two assignments that the drill reads as they are meant; the rows of the fault table each change a line or two.
const QString cleanCourse = QStringLiteral("# Course: Test course\n"
                                           "= 001.  One\n"
                                           "=\n"
                                           "= `q001.  First{}question\n"
                                           "= `aFirst answer\n"
                                           "+ on two lines\n"
                                           "=\n"
                                           "= end program\n"
                                           "=\n"
                                           "= 002.  Two\n"
                                           "=\n"
                                           "= `q001.  Second question\n"
                                           "= `aSecond answer\n"
                                           "=\n"
                                           "= end program\n");

QString withLine(int fileLine, const QString& text) {
    QStringList lines = cleanCourse.split(u'\n');
    lines[fileLine - 1] = text;
    return lines.join(u'\n');
}

QString withInserted(int beforeFileLine, const QString& text) {
    QStringList lines = cleanCourse.split(u'\n');
    lines.insert(beforeFileLine - 1, text);
    return lines.join(u'\n');
}

// "LINE:COLUMN: severity" of each finding.
QStringList places(const coursecheck::Result& result) {
    QStringList out;
    for (const coursecheck::Finding& f : result.findings) {
        out << QStringLiteral("%1:%2: %3")
                   .arg(f.line)
                   .arg(f.column)
                   .arg(f.severity == coursecheck::Severity::Error ? "error" : "warning");
    }
    return out;
}

QString sourceDir() {
    return QStringLiteral(QADRILL_SOURCE_DIR);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The courses the drill can carry: its own, and the second one in the repository when it is there.
QStringList courses() {
    QStringList list{QStringLiteral(":own")};
    for (const QFileInfo& info : QDir(sourceDir() + QStringLiteral("/courses")).entryInfoList({"*.txt"}, QDir::Files)) {
        list << info.filePath();
    }
    return list;
}

QString courseText(const QString& course) {
    return course == u":own" ? linestore::carriedDocumentText() : QString::fromUtf8(readFile(course));
}

} // namespace

void TestCourse::check_cleanCourse_findsNothing() {
    const coursecheck::Result result = coursecheck::check(cleanCourse.toUtf8());
    QCOMPARE(places(result), QStringList());
    QCOMPARE(result.assignments.size(), std::size_t(2));
    QCOMPARE(result.assignments[0].questions, 1);
    QCOMPARE(result.assignments[0].answers, 1);
    QCOMPARE(result.assignments[0].texts, 1); // "end program"
    QCOMPARE(result.assignments[0].headingStoreLine, 1);
    QCOMPARE(result.assignments[0].lastStoreLine, 7);
}

void TestCourse::check_oneFault_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("words"); // in the first finding's message

    const auto row = [](const char* name, const QByteArray& text, const QStringList& expected, const char* words) {
        QTest::newRow(name) << text << expected << QString::fromUtf8(words);
    };
    const auto bytes = [](const QString& text) { return text.toUtf8(); };
    // the file's own lines
    row("line with no tag", bytes(withInserted(3, "text")), {"3:1: error"}, "not a comment");
    row("tag with no blank", bytes(withLine(4, "=`q001.  First{}question")), {"4:2: error", "5:3: error"},
        "no blank after");
    row("continuation first", bytes("+ before\n" + cleanCourse), {"1:1: error"}, "before any store line");
    row("trailing blanks", bytes(withLine(5, "= `aFirst answer  ")), {"5:17: warning"}, "trailing blanks");
    row("store line of blanks", bytes(withLine(3, "=   ")), {"3:2: error", "3:3: warning", "4:3: warning"},
        "only blanks");
    row("outside Windows-1252", bytes(withLine(5, "= `aFirst \u2192 answer")), {"5:11: error"}, "outside Windows-1252");
    row("outside ASCII", bytes(withLine(5, "= `aFirst \u00e9 answer")), {"5:11: warning"}, "plain ASCII");
    row("not UTF-8", bytes(withLine(5, "= `aFirst @ answer")).replace('@', '\xff'), {"5:11: error"}, "not UTF-8");
    // headings
    row("heading with one blank", bytes(withLine(2, "= 001. One")), {"2:7: warning"}, "two blanks and a title");
    row("heading gap", bytes(withLine(10, "= 003.  Three")), {"10:3: error"}, "003 where 002 is due");
    row("heading repeat", bytes(withLine(10, "= 001.  Again")), {"10:3: error"}, "heading 001 after 001");
    row("heading first not 001", bytes(withLine(2, "= 002.  One")), {"2:3: error", "10:3: error"},
        "002 where 001 is due");
    // lines that end the run early
    row("next assignment's number", bytes(withInserted(7, "= 002 apples")), {"7:3: error", "7:3: warning"},
        "next assignment's number");
    row("end-of-text marker", bytes(withInserted(7, "= ####.# stop")), {"7:3: error", "7:3: warning"}, "####.#");
    // questions and answers
    row("question number of one digit", bytes(withLine(4, "= `q1.  First")), {"4:5: error"}, "not three digits");
    row("question number out of order", bytes(withLine(12, "= `q002.  Second question")), {"12:5: error"},
        "002 where 001 is due");
    row("question with one blank", bytes(withLine(4, "= `q001. First")), {"4:9: warning"}, "one blank");
    row("question with no point", bytes(withLine(4, "= `q001  First")), {"4:8: warning"}, "no point");
    row("capital Q", bytes(withLine(4, "= `Q001.  First")), {"4:3: error", "5:3: warning", "5:3: error"},
        "only `q marks a question");
    row("question with no answer", bytes(withLine(5, "= Commentary")), {"4:3: error", "5:3: warning"},
        "no given answer");
    row("answer with no question", bytes(withLine(4, "= `aEarly answer")), {"4:3: error", "5:3: warning"},
        "no question before it");
    row("answer over two lines", bytes(withInserted(7, "= `aMore answer")), {"7:3: warning"}, "second answer line");
    row("blocks with no separator", bytes(withInserted(7, "= A remark")), {"7:3: warning"}, "no empty line");
    row("marker after a line break", bytes(withLine(4, "= `q001.  First{}`aanswer")), {"4:18: warning"},
        "after a line break");
    row("marker on a continuation", bytes(withLine(6, "+ `aon two lines")), {"6:3: warning"}, "begins like a line");
    // the end of an assignment
    row("no end program", bytes(withLine(8, "= the end")), {"2:3: error"}, "no \"end program\"");
    row("end program not last", bytes(withInserted(9, "= afterwards")), {"9:3: warning", "9:3: error"}, "");
    row("End Program", bytes(withLine(8, "= End program")), {"2:3: error", "8:3: error"}, "");
    // routines
    row("unknown routine", bytes(withInserted(4, "= `routine graph9")), {"4:12: error", "5:3: warning"},
        "not one the program has");
    row("routine with no name", bytes(withInserted(4, "= `routine")), {"4:3: warning", "5:3: warning"}, "no routine");
    // braces
    row("braces of a formula", bytes(withLine(5, "= `aThe set x^{} is empty")), {"5:15: warning"},
        "braces of a formula");
}

void TestCourse::check_oneFault() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, expected);
    QFETCH(QString, words);
    const coursecheck::Result result = coursecheck::check(text);
    QCOMPARE(places(result), expected);
    if (!words.isEmpty()) {
        QVERIFY2(result.findings.front().message.contains(words), qPrintable(result.findings.front().message));
    }
}

void TestCourse::check_carriedCourse_onlyItsNamedDepartures() {
    const coursecheck::Result result = coursecheck::check(linestore::carriedDocumentText().toUtf8());
    QStringList errors;
    QSet<QString> kinds;
    for (const coursecheck::Finding& f : result.findings) {
        const QString where = coursecheck::formatFinding(QStringLiteral("problemset.txt"), f);
        if (f.severity == coursecheck::Severity::Error) {
            errors << where;
        } else if (f.message.startsWith(u"one blank after the question number's point")) {
            kinds << QStringLiteral("one blank");
        } else if (f.message.startsWith(u"no point after the question number")) {
            kinds << QStringLiteral("no point");
        } else if (f.message.startsWith(u"the given answer goes on over a second answer line")) {
            kinds << QStringLiteral("answer over two lines");
        } else if (f.message.startsWith(u"a block right after the block before it")) {
            kinds << QStringLiteral("no separator");
        } else {
            errors << where;
        }
    }
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    QCOMPARE(kinds, (QSet<QString>{"one blank", "no point", "answer over two lines", "no separator"}));
    QCOMPARE(result.assignments.size(), std::size_t(6));
}

void TestCourse::check_placesLeadBackToTheFile() {
    // Every store line is made again from the file at the places its pieces come from.
    const linestore::ReadDocument doc = linestore::readDocument(linestore::carriedDocumentText());
    QCOMPARE(doc.lines, linestore::parseDocument(linestore::carriedDocumentText()));
    for (int n = 1; n <= doc.lines.size(); ++n) {
        QString made;
        for (std::size_t p = 0; p < doc.origins[n - 1].size(); ++p) {
            const coursecheck::Place place = coursecheck::placeOf(doc, n, doc.origins[n - 1][p].storeOffset);
            made += (p ? QStringLiteral("\r\n") : QString()) + doc.fileLines[place.line - 1].mid(place.column - 1);
        }
        QCOMPARE(made, doc.lines[n - 1]);
    }
}

void TestCourse::check_storePastItsLastIndex_isAnError() {
    QString text = QStringLiteral("= 001.  Long\n");
    for (int i = 2; i < lastLineIndex; ++i) {
        text += QStringLiteral("=\n");
    }
    text += QStringLiteral("= end program\n= beyond\n= beyond\n");
    const coursecheck::Result result = coursecheck::check(text.toUtf8());
    QCOMPARE(places(result), QStringList{"5001:3: error"});
    QVERIFY(result.findings.front().message.contains(u"the 1 after it"));
}

void TestCourse::check_title_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::newRow("named") << "# A comment\n#\n# Course:  Physics I  \n= 001.  One\n"
                           << "Physics I";
    QTest::newRow("no title line") << "#\n# Physics I, first term\n= 001.  One\n"
                                   << "";
    QTest::newRow("named after the first line is not") << "= 001.  One\n# Course: late\n"
                                                       << "";
}

void TestCourse::check_title() {
    QFETCH(QString, text);
    QFETCH(QString, title);
    QCOMPARE(coursecheck::check(text.toUtf8()).title, title);
}

void TestCourse::preview_matchesTheDrill_pressByPress_data() {
    QTest::addColumn<QString>("course");
    QTest::addColumn<QString>("nbr");
    for (const QString& course : courses()) {
        const coursecheck::Result result = coursecheck::check(courseText(course).toUtf8());
        for (const coursecheck::AssignmentSummary& a : result.assignments) {
            QTest::addRow("%s %s", qPrintable(QFileInfo(course).fileName()), qPrintable(a.nbr)) << course << a.nbr;
        }
    }
}

void TestCourse::preview_matchesTheDrill_pressByPress() {
    QFETCH(QString, course);
    QFETCH(QString, nbr);
    const QString text = courseText(course);
    const auto walk = coursepreview::walk(coursepreview::storeOf(linestore::parseDocument(text)), nbr);
    QVERIFY(walk);

    TestRun run({"Pat", "", nbr}, text);
    run.platform.answerFor = [&](const QString& prompt) {
        return prompt.startsWith(u"Your full name") ? QStringLiteral("Pat")
               : prompt.startsWith(u"Enter 1")      ? QString()
               : prompt.startsWith(u"Assignment")   ? nbr
                                                    : QStringLiteral("2");
    };
    QVERIFY(run.start());
    for (std::size_t s = 0; s < walk->steps.size(); ++s) {
        const coursepreview::Step& step = walk->steps[s];
        const QByteArray where = QStringLiteral("press %1").arg(s + 1).toUtf8();
        run.click("cmdNextQuestion");
        QVERIFY2(run.form->runEnded() == (step.end != questionsteps::End::None), where);
        if (run.form->runEnded()) {
            QCOMPARE(s + 1, walk->steps.size());
            break;
        }
        QCOMPARE(run.question(), step.shown);
        QCOMPARE(run.form->runState().lineIndex, step.lastStoreLine);
        const qsizetype asked = run.platform.prompts.size();
        run.typeAnswer(QStringLiteral("ok"));
        run.click("cmd_enter_response");
        const QString prompt = run.platform.prompts.size() > asked ? run.platform.prompts.last() : QString();
        const QString rating = prompt.startsWith(u"Assess your level of confidence") ? QStringLiteral("question")
                               : prompt.startsWith(u"Rate the quality of your self") ? QStringLiteral("answer")
                                                                                     : QString();
        QVERIFY2(rating == step.rating, where);
    }
    QVERIFY(run.form->runEnded());
}

void TestCourse::preview_pages_markEveryFindingWithALink() {
    const QString text = withInserted(7, "= `aMore answer") + QStringLiteral("\nnot a line\n");
    const coursecheck::Result result = coursecheck::check(text.toUtf8());
    QCOMPARE(places(result), (QStringList{"7:3: warning", "18:1: error"}));
    QTemporaryDir dir;
    QString error;
    QVERIFY2(coursepreview::writePreview(result, QStringLiteral("c.txt"), dir.path(), &error), qPrintable(error));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
             (QStringList{"assignment-001.html", "assignment-002.html", "index.html"}));
    const QString index = QString::fromUtf8(readFile(dir.filePath("index.html")));
    const QString first = QString::fromUtf8(readFile(dir.filePath("assignment-001.html")));
    // the warning at the third press (store line 6, the second answer) links to it; the left-out line is listed without
    // a place
    QVERIFY(index.contains(u"<a href=\"assignment-001.html#press-3\"><code>c.txt:7:3</code></a>"));
    QVERIFY(index.contains(u"<code>c.txt:18:1</code> the line is not"));
    QVERIFY(first.contains(u"<h3 id=\"press-5\">"));
    QVERIFY(first.contains(u"More answer"));
    QVERIFY(first.contains(u"First\r\nquestion")); // the line break the question box receives
    QVERIFY(first.contains(u"This press ends the run"));
    QVERIFY(!first.contains(u"<script"));
    QVERIFY(first.contains(u"Content-Security-Policy\" content=\"default-src 'none'"));
}

void TestCourse::program_exitStatusAndCompilerStyleLines_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("clean") << cleanCourse << 0 << QString();
    QTest::newRow("warnings") << withLine(4, "= `q001. First") << 1 << "course.txt:4:9: warning: one blank";
    QTest::newRow("errors") << withLine(8, "= the end") << 2 << "course.txt:2:3: error: assignment 001 has no";
}

void TestCourse::program_exitStatusAndCompilerStyleLines() {
    QFETCH(QString, text);
    QFETCH(int, status);
    QFETCH(QString, firstLine);
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    QFile file(QStringLiteral("course.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
    file.close();
    QProcess check;
    check.start(QStringLiteral(QADRILL_COURSE_PROGRAM), {"check", "course.txt"});
    QVERIFY(check.waitForFinished(30000));
    QCOMPARE(check.exitCode(), status);
    const QString err = QString::fromUtf8(check.readAllStandardError());
    QVERIFY2(err.startsWith(firstLine), qPrintable(err));
    QVERIFY(QString::fromUtf8(check.readAllStandardOutput()).contains(u"001.  One: 1 questions, 1 given answers"));
    QProcess preview;
    preview.start(QStringLiteral(QADRILL_COURSE_PROGRAM), {"preview", "course.txt", "-o", "pages"});
    QVERIFY(preview.waitForFinished(30000));
    QCOMPARE(preview.exitCode(), status);
    QVERIFY(QFile::exists(QStringLiteral("pages/assignment-002.html")));
}

QTEST_MAIN(TestCourse)
#include "tst_course.moc"
