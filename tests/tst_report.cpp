#include "problems/linestore.h"
#include "records/codepage.h"
#include "records/recordblocks.h"
#include "report/classview.h"
#include "report/out/csvreport.h"
#include "report/pages/htmlreport.h"
#include "report/pages/pageframe.h"
#include "report/parallel.h"
#include "report/read/classrecords.h"
#include "report/read/issuelines.h"
#include "report/read/runcopies.h"
#include "report/read/terminaltext.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLockFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <set>
#include <span>
#include <stdexcept>
#include <thread>
#include <tuple>

#ifdef Q_OS_WIN
#include <QCoreApplication>
#include <windows.h>
#else
#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// The instructor's report: escaping, a class's files read with every record once, records placed against the
// problem document, and the program as an instructor runs it.
class TestReport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    // Escaping
    void html_showsFileTextAsTyped_data();
    void html_showsFileTextAsTyped();
    void csvField_quotesAndDefusesFormulas_data();
    void csvField_quotesAndDefusesFormulas();
    void page_hostileFile_givesNoMarkupOfItsOwn();
    void pages_gridMarksAndLinksHold_data();
    void pages_gridMarksAndLinksHold();
    void pages_cellSaysWhatWasWritten_data();
    void pages_cellSaysWhatWasWritten();
    void pages_aPartLinksFewOthers_data();
    void pages_aPartLinksFewOthers();
    void attention_plantedStudentFirst_data();
    void attention_plantedStudentFirst();
    void standardError_showsControlsAndBadBytes_data();
    void standardError_showsControlsAndBadBytes();

    // Work on every processor
    void forEach_eachIndexOnceUntilStopped_data();
    void forEach_eachIndexOnceUntilStopped();

    // Reading a class
    void copies_alikeButForWhatEditorsChange_data();
    void copies_alikeButForWhatEditorsChange();
    void classRecords_eachRecordOnce_data();
    void classRecords_eachRecordOnce();
    void placement_byEntryThenQuestionNumber_data();
    void placement_byEntryThenQuestionNumber();
    void placement_linesThatReadAlike_data();
    void placement_linesThatReadAlike();
    void ratings_readAsTheNumberTheyPlainlyAre_data();
    void ratings_readAsTheNumberTheyPlainlyAre();
    void problems_inTheOrderOfTheirLines();

    // The program
    void program_data();
    void program();
    void output_neverReplacesWhatIsNotItsOwn_data();
    void output_neverReplacesWhatIsNotItsOwn();
    void output_folderWholeOrUntouched_data();
    void output_folderWholeOrUntouched();
    void output_stoppedRemovalFinishedByTheNextRun_data();
    void output_stoppedRemovalFinishedByTheNextRun();
    void interrupted_leavesWholePagesOnly_data();
    void interrupted_leavesWholePagesOnly();

private:
    QTemporaryDir m_home;
};

namespace {

using recordblocks::closingSeparator;
using recordblocks::recordSeparator;

// One press of the drill: a response with a rating ("c2" confidence, "s3" self-critique, "" none), or a note.
struct Press {
    QString time;
    QString entry;
    QString text;
    QString rating;
    bool note = false;
    double questionNumber = 10001;
};

// The bytes of a record file holding one run; an empty filler leaves the header out.
QByteArray runFile(bool master, const QString& filler, const QString& nbr, const QList<Press>& presses,
                   const QString& date = QStringLiteral("01-07-2026")) {
    QStringList lines;
    if (!filler.isEmpty()) {
        lines << recordblocks::headerBlock(filler, nbr, nbr + QStringLiteral(".  Algebra"), "brisendal", date, 19);
    }
    for (const Press& p : presses) {
        if (p.note) {
            lines << recordblocks::noteBlock(p.time, date + p.time, p.entry, recordblocks::notesLabel + p.text, 19);
            continue;
        }
        std::optional<QString> rating;
        if (p.rating.startsWith(u'c')) {
            rating = recordblocks::confidenceLabel + p.rating.mid(1);
        } else if (p.rating.startsWith(u's')) {
            rating = recordblocks::selfCritiqueLabel + p.rating.mid(1);
        }
        lines << recordblocks::responseBlock(master, p.time, p.questionNumber, p.entry, p.text, rating, 19);
    }
    return codepage::encode(recordblocks::joinLines(lines));
}

QList<Press> shifted(QList<Press> presses, int seconds) {
    for (Press& p : presses) {
        p.time = QTime::fromString(p.time, "hh:mm:ss").addSecs(seconds).toString("hh:mm:ss");
    }
    return presses;
}

const QList<Press> runA = {
    {"09:30:05", "`q001.  What is 2 + 3?", "5", "c2", false, 10001},
    {"09:31:00", "5.", "right", "s3", false, 10001},
    {"09:32:10", "5.", "my note", "", true, 0},
    {"09:33:00", "`q002.  Double it.", "10", "c3", false, 10002},
};
const QList<Press> runB = {
    {"10:00:00", "`q002.  Double it.", "ten", "c1", false, 10002},
};

QStringList smallDocument() {
    return {
        "001.  Algebra",
        "",
        "Work each question on paper first.",
        "`q001.  What is 2 + 3?",
        "`a5.",
        "Keep this in mind.",
        "",
        "`q002.  Double it.",
        "`a10",
        "*`q003.  Optional: triple it.",
        "`a15",
        "end program",
        "",
        "002.  Functions",
        "`q001.  What is 2 + 3?",
        "`a5",
        "end program",
        "",
        "003.  Geometry",
        QStringLiteral("`q001.  A rectangle 2 \u00d7 3 cm, the side of a square of the same area: \u221a6 cm? Why is "
                       "it so, and what is the square\u2019s diagonal?"),
        QStringLiteral("`a6 cm\u00b2; the diagonal, 2\u221a3 cm"),
        "end program",
    };
}

// A run of assignment 001 on the lines of the carried document, as the program reads them.
QList<Press> carriedRun() {
    const QStringList lines = linestore::parseDocument(linestore::carriedDocumentText());
    QString question;
    QString answer;
    for (const QString& line : lines) {
        if (question.isEmpty() && line.startsWith("`q")) {
            question = line;
        } else if (!question.isEmpty() && line.startsWith("`a")) {
            answer = line.mid(2);
            break;
        }
    }
    return {
        {"09:30:05", question, "x = 8", "c2", false, 10001},
        {"09:31:00", answer, "right", "s3", false, 10001},
        {"09:32:10", answer, "my note", "", true, 0},
    };
}

QString programPath() {
#ifdef Q_OS_WIN
    // the package's program, beside this suite with the DLLs both load
    return QCoreApplication::applicationDirPath() + QStringLiteral("/qadrill-report.exe");
#else
    // or a build of it with a checker of its own, such as ThreadSanitizer's
    const QString given = qEnvironmentVariable("QADRILL_REPORT_PROGRAM");
    return given.isEmpty() ? QStringLiteral(QADRILL_REPORT) : given;
#endif
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

std::set<QString> filesBelow(const QString& folder) {
    std::set<QString> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files.insert(it.next());
    }
    return files;
}

} // namespace

void TestReport::initTestCase() {
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toLocal8Bit());
}

void TestReport::html_showsFileTextAsTyped_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("html");
    QTest::newRow("script") << "<script>alert(1)</script>"
                            << "&lt;script&gt;alert(1)&lt;/script&gt;";
    QTest::newRow("end of a table cell") << "</td></tr></table>"
                                         << "&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;";
    QTest::newRow("quotes") << "say \"hi\" it's"
                            << "say &quot;hi&quot; it&#39;s";
    QTest::newRow("ampersand and a reference") << "a & b &amp; &#60;"
                                               << "a &amp; b &amp;amp; &amp;#60;";
    QTest::newRow("line breaks and tabs kept") << "a\r\nb\rc\nd\te"
                                               << "a\r\nb\rc\nd\te";
    QTest::newRow("control characters as pictures")
        << QStringLiteral("a") + QChar(0) + QStringLiteral("\x1b\x7f\tb") << QStringLiteral("a\u2400\u241b\u2421\tb");
    QTest::newRow("the code page's unassigned bytes") << QStringLiteral("x\u0081y") << "x[U+0081]y";
    QTest::newRow("letters beyond ASCII kept")
        << QStringLiteral("\u00e9\u20ac\u03c0\U0001F600") << QStringLiteral("\u00e9\u20ac\u03c0\U0001F600");
    QTest::newRow("direction overrides shown, not obeyed")
        << QStringLiteral("txt.\u202Eexe and \u2066x\u2069\u200F\u061C")
        << "txt.[U+202E]exe and [U+2066]x[U+2069][U+200F][U+061C]";
    QTest::newRow("a right-to-left override within a run of sixteen")
        << QStringLiteral("0123456789abcd\u202Eef") << "0123456789abcd[U+202E]ef";
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QStringLiteral("\uFFFD");
    QTest::newRow("all of these within runs of sixteen")
        << QStringLiteral("sixteen plain ch<rs, then & \"more\" it's\r\n\x01\u00e9\u20ac\ud55c in a long line")
        << QStringLiteral(
               "sixteen plain ch&lt;rs, then &amp; &quot;more&quot; it&#39;s\r\n\u2401\u00e9\u20ac\ud55c in a long "
               "line");
}

void TestReport::html_showsFileTextAsTyped() {
    QFETCH(QString, text);
    QFETCH(QString, html);
    QCOMPARE(report::escaped(text), html);
}

void TestReport::csvField_quotesAndDefusesFormulas_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "Ann Lee"
                           << "Ann Lee";
    QTest::newRow("comma") << "Lee, Ann"
                           << "\"Lee, Ann\"";
    QTest::newRow("quote doubled") << "say \"3\""
                                   << "\"say \"\"3\"\"\"";
    QTest::newRow("line break") << "2\r\nmaybe"
                                << "\"2\r\nmaybe\"";
    QTest::newRow("blanks at the ends") << " 3 "
                                        << "\" 3 \"";
    QTest::newRow("formula") << "=HYPERLINK(\"x\")"
                             << "\"'=HYPERLINK(\"\"x\"\")\"";
    QTest::newRow("plus, at") << "+1+cmd"
                              << "'+1+cmd";
    QTest::newRow("at") << "@SUM(A1)"
                        << "'@SUM(A1)";
    QTest::newRow("negative number kept") << "-1"
                                          << "-1";
    QTest::newRow("signed decimal kept") << "+2.50e-1"
                                         << "+2.50e-1";
    QTest::newRow("infinity, no number to a spreadsheet") << "-inf"
                                                          << "'-inf";
    QTest::newRow("not a number") << "+nan"
                                  << "'+nan";
    QTest::newRow("a sign alone") << "-"
                                  << "'-";
    QTest::newRow("empty") << ""
                           << "";
}

void TestReport::csvField_quotesAndDefusesFormulas() {
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(report::csvField(text), field);
}

void TestReport::page_hostileFile_givesNoMarkupOfItsOwn() {
    const QString script = QStringLiteral("<script>document.title='pwned'</script>");
    QList<Press> presses = runA;
    presses[0].text = script + "</td></tr></table><h1>big";
    presses[0].rating = "c<b>3</b>";
    presses[1].entry = "<iframe src=\"http://example.org\"></iframe>";
    presses[2].text = "\"><img src=x onerror=alert(1)>";
    QByteArray file = runFile(false, "[v\xba\xba", "009", presses);
    file.replace("009.  Algebra", "009.  <style>body{display:none}</style>");
    file += "<script src=\"http://example.org/x.js\"></script>\r\n";

    report::ClassReader reader;
    QVERIFY(reader.add("/class/send_0107<img src=x onerror=alert(2)>.txt", file));
    // a name that would turn the lines after it around
    QVERIFY(reader.add(QStringLiteral("/class/send_0107Eve\u202Eevil.txt"), file));
    const report::ClassRecords records = reader.finish();
    const report::Document document(smallDocument());
    const report::ClassView view = report::buildView(records, document);
    const QString page = report::htmlReport(records, view);
    QStringList pages = {page};
    for (const report::ReportPage& p : report::reportPages(records, view)) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(p.write(buffer));
        pages << QString::fromUtf8(buffer.data());
    }
    QCOMPARE(pages.size(), 1 + 4); // the index, an assignment, two students

    // every tag in every page is one the report writes
    const std::set<QString> ours = {
        "html",       "head", "meta", "title", "style", "body",    "header", "h1",    "h2",    "h3",    "h4",
        "h5",         "p",    "nav",  "a",     "main",  "section", "div",    "table", "thead", "tbody", "tfoot",
        "tr",         "th",   "td",   "br",    "ol",    "ul",      "li",     "span",  "code",  "pre",   "figure",
        "figcaption", "svg",  "g",    "rect",  "line",  "text",    "circle", "bdi"};
    for (const QString& p : pages) {
        QRegularExpressionMatchIterator tags = QRegularExpression("<!?/?([A-Za-z][A-Za-z0-9]*)").globalMatch(p);
        int count = 0;
        while (tags.hasNext()) {
            const QString name = tags.next().captured(1).toLower();
            QVERIFY2(ours.count(name) || name == "doctype", qPrintable(name));
            ++count;
        }
        QVERIFY(count > 30);
        QCOMPARE(p.count("<style"), 1);
        QVERIFY(!p.contains(QChar(0x202E)));

        // the page forbids scripts and loads, and allows its own style by its hash
        const QRegularExpressionMatch csp =
            QRegularExpression("<meta http-equiv=\"Content-Security-Policy\" content=\"([^\"]*)\">").match(p);
        QVERIFY(csp.hasMatch());
        QVERIFY(csp.captured(1).startsWith("default-src 'none'; "));
        const qsizetype styleStart = p.indexOf("<style>") + 7;
        const QString style = p.mid(styleStart, p.indexOf("</style>") - styleStart);
        const QString hash = QCryptographicHash::hash(style.toUtf8(), QCryptographicHash::Sha256).toBase64();
        QVERIFY2(csp.captured(1).contains("style-src 'sha256-" + hash + "'"), qPrintable(csp.captured(1)));
        QVERIFY(p.indexOf("Content-Security-Policy") < p.indexOf("<title>"));
    }
    QCOMPARE(page.count("<h1>"), 1);
    QVERIFY(page.contains("&lt;script&gt;document.title=&#39;pwned&#39;&lt;/script&gt;&lt;/td&gt;"));
    QVERIFY(page.contains("confidence: <bdi>&lt;b&gt;3&lt;/b&gt;</bdi>"));
    QVERIFY(page.contains("&lt;iframe src=&quot;http://example.org&quot;&gt;"));
    QVERIFY(page.contains("send_0107&lt;img src=x onerror=alert(2)&gt;.txt"));
    QVERIFY(page.contains("&lt;style&gt;body{display:none}&lt;/style&gt;"));
    // the name is isolated from the words around it and its override shown
    QVERIFY(page.contains("<bdi>Eve[U+202E]evil</bdi>"));
    QVERIFY(page.contains("<bdi>send_0107Eve[U+202E]evil.txt</bdi>"));
    // the table shows the name as standard error does
    const QString csv = QString::fromUtf8(report::csvReport(records, view));
    QVERIFY2(csv.contains("\r\nEve<U+202E>evil,009,not placed in a question,1,<b>3</b>,2026-01-07 09:30:05,0,,,0"
                          "\r\nEve<U+202E>evil,009,not placed in a question,0,,,1,3,2026-01-07 09:31:00,0"
                          "\r\nEve<U+202E>evil,009,not placed in a question,0,,,0,,,1"
                          "\r\nEve<U+202E>evil,009,not placed in a question,1,3,2026-01-07 09:33:00,0,,,0\r\n"),
             qPrintable(csv));
    QVERIFY(!csv.contains(QChar(0x202E)));
}

void TestReport::pages_gridMarksAndLinksHold_data() {
    QTest::addColumn<int>("responses");      // to question 001 by each of two students
    QTest::addColumn<int>("length");         // of each response
    QTest::addColumn<QStringList>("names");  // pages that must be among those written
    QTest::addColumn<QStringList>("holds");  // "page: pattern" that the page matches; "page: !pattern", does not
    QTest::addColumn<QString>("confidence"); // as typed for question 001
    QTest::addColumn<int>("value");          // what it counts as; -1: not a rating
    QTest::addColumn<int>("notPlaced");      // records each student wrote after a line the document does not hold
    const QString sure = "Ann Lee</bdi></a></h5>\n<div class=\"pair\"><div>\n<ol class=\"records\">\n<li>.*try 0";
    QTest::newRow("a small class: one page per assignment")
        << 1 << 1 << QStringList{"index.html", "assignment-1.html", "student-1.html", "student-2.html"}
        << QStringList{
               // a way past the links, the grid's header row kept in view by the style alone
               "index.html: <body>\n<a class=\"skip\" href=\"#main\">Skip to the content</a>\n<header>",
               "student-2.html: <body>\n<a class=\"skip\" href=\"#main\">Skip to the content</a>\n<header>",
               "assignment-1.html: <main id=\"main\">\n<section",
               "index.html: table\\.grid thead th \\{ position: sticky; top: 0;",
               "index.html: !<script",
               // the students who need attention first, equal ones in the order of the index
               "index.html: <main id=\"main\">\n<section id=\"attention\">.*<tbody>\n"
               "<tr><th><a href=\"student-1.html\"><bdi>Ann Lee</bdi></a></th><td>1</td><td>1</td></tr>\n"
               "<tr><th><a href=\"student-2.html\"><bdi>Bo Ek</bdi></a></th><td>1</td><td>1</td></tr>\n</tbody>",
               // a student's response, the given answer and their self-critique together, one student after another
               "assignment-1.html: <h4>Given answer</h4>.*" + sure +
                   ".*wrong after all.*Bo Ek</bdi></a></h5>.*try 0.*wrong after all",
               // the files not read counted by reason on the index, listed on a page of their own
               "index.html: <tr><td><bdi>a FIFO</bdi></td><td>1</td></tr>",
               "index.html: !send_0108Cy",
               "not-read.html: <li><code><bdi>/class/send_0108Cy.txt</bdi></code>: <bdi>not read: a FIFO</bdi></li>",
           }
        << "3" << 3 << 0;
    QTest::newRow("a large question: a page per question, in parts of the class")
        << 300 << 1 << QStringList{"index.html", "assignment-1.html", "assignment-1-q1.html", "assignment-1-q1-2.html"}
        << QStringList{"assignment-1-q1.html: <h4>Given answer</h4>.*" + sure + ".*try 299.*wrong after all",
                       "assignment-1-q1.html: !Bo Ek</bdi></a></h5>",
                       "assignment-1-q1-2.html: <h4>Given answer</h4>.*Bo Ek</bdi></a></h5>.*wrong after all"}
        << "3" << 3 << 0;
    QTest::newRow("a long response: shown cut, with its length and where the whole is")
        << 1 << 25000 << QStringList{"index.html", "student-1.html"}
        << QStringList{"student-1.html: x{9994}</div><p class=\"flag\">Cut: the text is 25006 characters long; the "
                       "whole of it is in <code><bdi>/class/send_0107Ann_Lee.txt</bdi>:[0-9]+</code>.</p>",
                       "assignment-1.html: x{9994}</div><p class=\"flag\">Cut: the text is 25006",
                       "student-1.html: !x{10001}", "assignment-1.html: !x{10001}"}
        << "3" << 3 << 0;
    QTest::newRow("a student's page in parts")
        << 100 << 5000 << QStringList{"index.html", "student-1.html", "student-1-2.html", "student-2-2.html"}
        << QStringList{"student-1.html: <figure", "student-1-2.html: !<figure",
                       "student-1-2.html: Part 2 of 2 of this student's page; the others: <a "
                       "href=\"student-1.html\">part 1",
                       "student-1-2.html: Question 001</a>, continued</h4>",
                       // the self-critique is on the part after: the column says where, not "none"
                       "student-1.html: Self-critique, its rating, and notes</h5>\n<p class=\"none\">On <a "
                       "href=\"student-1-2.html\">part 2</a> of this student's page.</p>",
                       "index.html: href=\"student-1-2.html#s1-a1-q2\""}
        << "3" << 3 << 0;
    QTest::newRow("a question page in parts shows a student's latest records, and where the rest are")
        << 500 << 1 << QStringList{"index.html", "assignment-1.html", "assignment-1-q1.html", "student-1.html"}
        << QStringList{"assignment-1-q1.html: The latest 400 of this student's records here; the 101 before them are "
                       "on <a href=\"student-1.html#s1-a1-q1\">the student's page</a>",
                       "assignment-1-q1.html: try 101 x", "assignment-1-q1.html: !try 100 x",
                       "student-1.html: try 0 x.*try 499 x"}
        << "3" << 3 << 0;
    const QStringList small = {"index.html", "assignment-1.html", "student-1.html", "student-2.html"};
    QTest::newRow("a record not placed: the question without a response says so, the record where it is")
        << 1 << 1 << small
        << QStringList{"student-1.html: <p class=\"flag\">In "
                       "<code><bdi>/class/send_0107Ann_Lee.txt</bdi>:[0-9]+</code>, "
                       "after:</p><div class=\"doc\" dir=\"auto\">[^<]*Double it, as an older",
                       "assignment-1.html: <p class=\"flag\">In <code><bdi>/class/send_0107Ann_Lee.txt</bdi>:[0-9]+"}
        << "3" << 3 << 1;
    // as when a class worked through another course than the one given
    const QString unplaced = "a response after a line that assignment 001 of the problem document does not hold: not "
                             "placed";
    QTest::newRow("records not placed by the hundred: they and their problems on pages of their own")
        << 1 << 1
        << QStringList{"index.html", "problems.html", "assignment-1.html", "assignment-1-q5.html",
                       "assignment-1-q5-2.html"}
        << QStringList{"index.html: <section id=\"problems\"><h2>Problems reading the files</h2>\n<p>500 problems in "
                       "the files read; everything else in them is in the report. <a href=\"problems.html\">",
                       "index.html: <tr><td><bdi>" + unplaced + "</bdi></td><td>500</td></tr>",
                       "index.html: !Double it",
                       "problems.html: Double it",
                       "assignment-1.html: 500 records, on pages of their own: <a href=\"assignment-1-q5.html\">part "
                       "1</a> <a href=\"assignment-1-q5-2.html\">part 2</a>",
                       "assignment-1.html: !Double it",
                       "assignment-1-q5-2.html: <p>Records 401 to 500 of 500; the others: <a "
                       "href=\"assignment-1-q5.html\">part 1</a></p>.*Double it"}
        << "3" << 3 << 250;
    // the rating box takes any text
    for (const QString& typed : {QStringLiteral("3.0"), QStringLiteral("03"), QStringLiteral("+3"),
                                 QStringLiteral("\uff13"), QStringLiteral("+03.00")}) {
        QTest::newRow(qPrintable("read as 3: " + typed)) << 1 << 1 << small << QStringList() << typed << 3 << 0;
    }
    for (const QString& typed : {QStringLiteral("three"), QStringLiteral("2.5"), QStringLiteral("4"),
                                 QStringLiteral("-1"), QStringLiteral("3 or 2")}) {
        QTest::newRow(qPrintable("not a rating: " + typed)) << 1 << 1 << small << QStringList() << typed << -1 << 0;
    }
}

void TestReport::pages_gridMarksAndLinksHold() {
    QFETCH(int, responses);
    QFETCH(int, length);
    QFETCH(QStringList, names);
    QFETCH(QStringList, holds);
    QFETCH(QString, confidence);
    QFETCH(int, value);
    QFETCH(int, notPlaced);
    // sure of question 001 and then judging it poor; question 002 never answered
    QList<Press> presses;
    for (int i = 0; i < responses; ++i) {
        presses.append({"09:30:05", "`q001.  What is 2 + 3?", QStringLiteral("try %1 ").arg(i) + QString(length, 'x'),
                        "c" + confidence, false, 10001});
    }
    presses.append({"09:40:00", "5.", "wrong after all", "s0", false, 10001});
    for (int i = 0; i < notPlaced; ++i) {
        presses.append({"09:45:00", "`q002.  Double it, as an older document put it.",
                        QStringLiteral("10, try %1").arg(i), "c3", false, 10002});
    }
    report::ClassReader reader;
    const QByteArray annFile = runFile(false, "[v\xba", "001", presses);
    QVERIFY(reader.add("/class/send_0107Ann_Lee.txt", annFile));
    QVERIFY(reader.add("/class/send_0107Bo_Ek.txt", runFile(false, "[v\xbb", "001", presses)));
    report::ClassRecords records = reader.finish();
    // a file not read is listed apart from the problems
    records.issues.push_back({"/class/send_0108Cy.txt", 0, "not read: a FIFO", {}});
    records.notRead.push_back(records.issues.size() - 1);
    const report::Document document(smallDocument());
    const report::ClassView view = report::buildView(records, document);
    report::tellUnplaced(records, view, document);
    QMap<QString, QString> pages;
    for (const report::ReportPage& p : report::reportPages(records, view)) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(p.write(buffer));
        pages[p.name] = QString::fromUtf8(buffer.data());
    }
    for (const QString& name : names) {
        QVERIFY2(pages.contains(name), qPrintable(pages.keys().join(' ')));
    }
    pages["one.html"] = report::htmlReport(records, view); // the one page, linked within itself
    const QString index = pages["index.html"];
    QVERIFY(index.contains("<section id=\"not-read\">") && !index.contains("send_0108Cy.txt"));
    QCOMPARE(index.contains("id=\"problems\""), confidence != u"3" || notPlaced > 0);
    // every problem listed once: on the index, or on pages of their own
    qsizetype listed = 0;
    for (auto page = pages.cbegin(); page != pages.cend(); ++page) {
        listed += page.key() == u"index.html" || page.key().startsWith(u"problems")
                      ? page->count(QStringLiteral("<li><code><bdi>"))
                      : 0;
    }
    QCOMPARE(listed, static_cast<qsizetype>(records.issues.size() - records.notRead.size()));
    QVERIFY(index.contains("1 file not read</a>"));
    for (const QString& hold : holds) {
        const QString page = hold.section(": ", 0, 0);
        const QString pattern = hold.section(": ", 1);
        QVERIFY2(pages.contains(page), qPrintable(hold));
        const bool found = QRegularExpression(pattern.startsWith('!') ? pattern.mid(1) : pattern,
                                              QRegularExpression::DotMatchesEverythingOption)
                               .match(pages[page])
                               .hasMatch();
        QVERIFY2(found != pattern.startsWith('!'), qPrintable(hold));
    }
    // the grid: 001 marked, its ratings written; 002 marked as left without a response; 003 is optional
    const QRegularExpression row("<tr><th><a href=\"student-1.html\"><bdi>Ann Lee</bdi></a></th>(.*)</tr>");
    const QString cells = row.match(index, index.indexOf("id=\"a1-grid\"")).captured(1);
    // the code page holds no full-width digit: the writer spells it out
    confidence = codepage::decode(codepage::encode(confidence));
    const QString shown = value >= 0 ? "<span class=\"v3\">3</span>"
                                     : "<span class=\"v\"><bdi>" + confidence.left(4).toHtmlEscaped() +
                                           (confidence.size() > 4 ? "\u2026" : "") + "</bdi></span>";
    const bool marked = value >= 0; // sure, then judging it poor
    // the mark and the cell's meaning in words, for the browser's find and for a screen reader
    const QString q001 = (marked ? "<td class=\"alert\">" : "<td>") +
                         QStringLiteral("<a href=\"student-1.html#s1-a1-q1\" aria-label=\"Ann Lee, question 001: "
                                        "confidence ") +
                         (marked ? QStringLiteral("3") : "typed as " + confidence.toHtmlEscaped()) +
                         ", self-critique 0" + (marked ? ", over-confident" : "") + "\">" + shown +
                         "<span class=\"v0\">0</span>" + (marked ? "<span class=\"mark\">over-confident</span>" : "") +
                         "</a></td>";
    const QString q002 = notPlaced > 0
                             ? "<td class=\"missing\"><a href=\"student-1.html#s1-a1-q5\" aria-label=\"Ann Lee, "
                               "question 002: not placed, a record the problem document could not place may be "
                               "its response\">not placed</a></td>"
                             : "<td class=\"missing\"><a href=\"[^\"]*\" aria-label=\"Ann Lee, question 002: "
                               "none, no response\">none</a></td>";
    QVERIFY2(cells.contains(QRegularExpression("^" + QRegularExpression::escape(q001) +
                                               (notPlaced > 0 ? QRegularExpression::escape(q002) : q002))),
             qPrintable(cells));
    // a question whose response a record not placed may be is not counted as one without, as the grid says
    const int without = notPlaced > 0 ? 0 : 1;
    QCOMPARE(index.contains(QStringLiteral("<tr><th><a href=\"student-1.html\"><bdi>Ann Lee</bdi></a></th><td>%1</td>"
                                           "<td>%2</td></tr>")
                                .arg(marked ? 1 : 0)
                                .arg(without)),
             marked || without > 0);
    QVERIFY2(index.contains(QRegularExpression(
                 QStringLiteral("Question 002</a></th>[^\n]*<td>0</td><td>%1</td></tr>").arg(2 * without))),
             qPrintable(index));
    // the spread counts a rating it reads, and says how many it could not
    QVERIFY2(index.contains(value >= 0 ? "<span class=\"v2\">0</span><span class=\"v3\">2</span></td>"
                                       : "<span class=\"v3\">0</span> 2 not read</td>"),
             qPrintable(index));
    // the table keeps every row's ratings as typed, those of records not placed too
    const QString csv = QString::fromUtf8(report::csvReport(records, view));
    QVERIFY2(csv.contains("\r\nAnn Lee,001,001,") &&
                 csv.contains("," + report::csvField(confidence) + ",2026-01-07 09:30:05,1,0,"),
             qPrintable(csv));
    QCOMPARE(csv.count(QStringLiteral("\r\nAnn Lee,001,not placed in a question,1,3,2026-01-07 09:45:00,0,,,0\r\n")),
             notPlaced);
    // a rating not typed as one digit is told, with its file and the line that holds it, however it is read
    const QList<QByteArray> annLines = annFile.split('\n');
    int told = 0;
    for (const report::Issue& issue : records.issues) {
        told += issue.line > 0 && issue.line <= annLines.size() &&
                        annLines[issue.line - 1].startsWith(recordblocks::confidenceLabel.toLatin1()) &&
                        issue.message.contains("\"" + confidence + "\"") &&
                        issue.message.contains(value >= 0 ? "is read as 3" : "is not a number from 0 to 3")
                    ? 1
                    : 0;
    }
    QCOMPARE(told, confidence == u"3" ? 0 : 2);
    // every link leads to a page of the folder and to a place on it, which is there once
    for (auto page = pages.cbegin(); page != pages.cend(); ++page) {
        std::set<QString> ids;
        QRegularExpressionMatchIterator id = QRegularExpression("id=\"([^\"]*)\"").globalMatch(*page);
        while (id.hasNext()) {
            const QString name = id.next().captured(1);
            QVERIFY2(ids.insert(name).second, qPrintable(page.key() + ": " + name));
        }
        QRegularExpressionMatchIterator hrefs = QRegularExpression("href=\"([^\"#]*)#?([^\"]*)\"").globalMatch(*page);
        while (hrefs.hasNext()) {
            const QRegularExpressionMatch href = hrefs.next();
            const QString target = href.captured(1).isEmpty() ? page.key() : href.captured(1);
            QVERIFY2(pages.contains(target), qPrintable(page.key() + ": " + href.captured(0)));
            QVERIFY2(href.captured(2).isEmpty() || pages[target].contains("id=\"" + href.captured(2) + "\""),
                     qPrintable(page.key() + ": " + href.captured(0)));
        }
    }
}

void TestReport::pages_aPartLinksFewOthers_data() {
    QTest::addColumn<int>("parts");
    QTest::addColumn<int>("part"); // from 1
    QTest::addColumn<QString>("linked");
    QTest::newRow("a few parts: all of them") << 3 << 2 << "1 3";
    QTest::newRow("a dozen: all of them") << 12 << 1 << "2 3 4 5 6 7 8 9 10 11 12";
    QTest::newRow("more, from the first") << 13 << 1 << "2 3 4 5 \u2026 9 \u2026 13";
    QTest::newRow("a large class, from the middle")
        << 200 << 100
        << "1 \u2026 36 \u2026 68 \u2026 84 \u2026 92 \u2026 96 97 98 99 101 102 103 104 \u2026 108 \u2026 116 \u2026 "
           "132 \u2026 164 \u2026 200";
}

// Each part of a class's page links the others it is near, not all: its line does not grow with the class.
void TestReport::pages_aPartLinksFewOthers() {
    QFETCH(int, parts);
    QFETCH(int, part);
    QFETCH(QString, linked);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    report::pages::Out out(buffer);
    report::pages::partsLine(out, "Students", {}, static_cast<std::size_t>(parts), static_cast<std::size_t>(part - 1),
                             {0, 1}, 1, [&](std::size_t p) { out.num(static_cast<long long>(p)); });
    QVERIFY(out.finish());
    const QString line = QString::fromUtf8(buffer.data());
    QStringList shown;
    static const QRegularExpression link("part (\\d+)</a>|\u2026");
    for (auto m = link.globalMatch(line); m.hasNext();) {
        const auto match = m.next();
        shown << (match.hasCaptured(1) ? match.captured(1) : match.captured(0));
    }
    QCOMPARE(shown.join(' '), linked);
}

void TestReport::pages_cellSaysWhatWasWritten_data() {
    QTest::addColumn<QList<Press>>("presses"); // Ann Lee's, in assignment 001
    QTest::addColumn<QString>("q001");         // the grid's cells, from the cell's meaning in words on
    QTest::addColumn<QString>("q002");
    QTest::addColumn<int>("without");            // required questions counted as without a response, on the first page
    QTest::addColumn<QStringList>("rows");       // in the table
    QTest::addColumn<QList<Press>>("alongside"); // a run of the same day, in a copy of her file
    const Press response{"09:30:00", "`q001.  What is 2 + 3?", "5", "c2", false, 0};
    const Press critique{"09:31:00", "5.", "right", "s2", false, 0};
    const QString rated = "question 001: confidence 2, self-critique 2\"><span class=\"v2\">2</span><span "
                          "class=\"v2\">2</span></a>";
    const QString none = "question 002: none, no response\">none</a>";
    QTest::newRow("a self-critique with no response before it: none, and its rating")
        << QList<Press>{{"09:40:00", "5.", "wrong after all", "s3", false, 0}}
        << "question 001: none, no response, self-critique 3\">none<span class=\"v\">-</span><span "
           "class=\"v3\">3</span></a>"
        << none << 2 << QStringList{"Ann Lee,001,001,0,,,1,3,2026-01-07 09:40:00,0"} << QList<Press>{};
    QTest::newRow("a note not placed is no response: none stays")
        << QList<Press>{response, critique, {"09:35:00", "`q009.  Gone.", "my note", "", true, 0}} << rated << none << 1
        << QStringList{"Ann Lee,001,not placed in a question,0,,,0,,,1"} << QList<Press>{};
    QTest::newRow("a self-critique not placed is no response: none stays")
        << QList<Press>{response, critique, {"09:36:00", "99.", "my check", "s1", false, 0}} << rated << none << 1
        << QStringList{"Ann Lee,001,not placed in a question,0,,,1,1,2026-01-07 09:36:00,0"} << QList<Press>{};
    QTest::newRow("responses not placed: not placed, and a row each with its rating")
        << QList<Press>{response,
                        critique,
                        {"09:45:00", "`q009.  Gone.", "x", "c3", false, 0},
                        {"09:46:00", "`q009.  Gone.", "y", "c1", false, 0}}
        << rated
        << "question 002: not placed, a record the problem document could not place may be its response\">not "
           "placed</a>"
        << 0
        << QStringList{"Ann Lee,001,not placed in a question,1,3,2026-01-07 09:45:00,0,,,0",
                       "Ann Lee,001,not placed in a question,1,1,2026-01-07 09:46:00,0,,,0"}
        << QList<Press>{};
    const QString square = smallDocument().filter("rectangle").first();
    QTest::newRow("a response after another assignment's line is none of this one's: none stays")
        << QList<Press>{response, critique, {"09:45:00", square, "x", "c3", false, 0}} << rated << none << 1
        << QStringList{"Ann Lee,001,not placed in a question,1,3,2026-01-07 09:45:00,0,,,0"} << QList<Press>{};
    QTest::newRow("a confidence asked after the given answer: the question's response, on every page")
        << QList<Press>{{"09:30:00", "5.", "5", "c2", false, 0}, critique} << rated << none << 1
        << QStringList{"Ann Lee,001,001,1,2,2026-01-07 09:30:00,1,2,2026-01-07 09:31:00,0"} << QList<Press>{};
    // two runs at once, in two windows: the last rating is the one given last, in whichever file
    QTest::newRow("two runs at once: the rating given last counts")
        << QList<Press>{{"10:00:00", "`q001.  What is 2 + 3?", "five", "c1", false, 0},
                        {"10:30:00", "`q001.  What is 2 + 3?", "5", "c2", false, 0}}
        << "question 001: confidence 2, self-critique none" << none << 1
        << QStringList{"Ann Lee,001,001,3,2,2026-01-07 10:30:00,0,,,0"}
        << QList<Press>{{"10:20:00", "`q001.  What is 2 + 3?", "4?", "c3", false, 0}};
    // within one run its file's order holds, whatever the clock said: a run left open overnight
    QTest::newRow("a run left open overnight: its later rating counts")
        << QList<Press>{{"21:00:00", "`q001.  What is 2 + 3?", "evening", "c3", false, 0},
                        {"08:00:00", "`q001.  What is 2 + 3?", "next morning", "c1", false, 0}}
        << "question 001: confidence 1, self-critique none" << none << 1
        << QStringList{"Ann Lee,001,001,2,1,2026-01-07 08:00:00,0,,,0"} << QList<Press>{};
}

void TestReport::pages_cellSaysWhatWasWritten() {
    QFETCH(QList<Press>, presses);
    QFETCH(QString, q001);
    QFETCH(QString, q002);
    QFETCH(int, without);
    QFETCH(QStringList, rows);
    QFETCH(QList<Press>, alongside);
    report::ClassReader reader;
    const QByteArray annFile = runFile(false, "[v\xba", "001", presses);
    QVERIFY(reader.add("/class/send_0107Ann_Lee.txt", annFile));
    if (!alongside.isEmpty()) {
        QVERIFY(reader.add("/class/send_0107Ann_Lee (1).txt", runFile(false, "[w\xbb", "001", alongside)));
    }
    const report::ClassRecords records = reader.finish();
    const report::Document document(smallDocument());
    const report::ClassView view = report::buildView(records, document);
    QString index;
    for (const report::ReportPage& p : report::reportPages(records, view)) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(p.write(buffer));
        index = p.name == u"index.html" ? QString::fromUtf8(buffer.data()) : index;
    }
    const QString cells = QRegularExpression("<tr><th><a href=\"student-1.html\"><bdi>Ann Lee</bdi></a></th>(.*)</tr>")
                              .match(index, index.indexOf("id=\"a1-grid\""))
                              .captured(1);
    QVERIFY2(cells.contains("aria-label=\"Ann Lee, " + q001), qPrintable(cells));
    QVERIFY2(cells.contains("aria-label=\"Ann Lee, " + q002), qPrintable(cells));
    QCOMPARE(index.contains(QStringLiteral("<tr><th><a href=\"student-1.html\"><bdi>Ann Lee</bdi></a></th><td>0</td>"
                                           "<td>%1</td></tr>")
                                .arg(without)),
             without > 0);
    const QString csv = QString::fromUtf8(report::csvReport(records, view));
    for (const QString& row : rows) {
        QVERIFY2(csv.contains("\r\n" + row + "\r\n"), qPrintable(csv));
    }
    // the heading, a row per question, one per record not placed
    const auto notPlaced =
        std::count_if(rows.cbegin(), rows.cend(), [](const QString& r) { return r.contains(u"not placed"); });
    QCOMPARE(csv.count(u"\r\n"), 1 + 3 + notPlaced);
}

void TestReport::attention_plantedStudentFirst_data() {
    QTest::addColumn<int>("marks");       // the planted student's questions marked over-confident
    QTest::addColumn<int>("missing");     // and left without a response
    QTest::addColumn<int>("othersMarks"); // at most, each of the others
    QTest::addColumn<int>("othersMissing");
    // the planted student's responses after a line no document holds: each may be one of the missing responses
    QTest::addColumn<int>("strays");
    // and after a line of another assignment: none of them
    QTest::addColumn<int>("straysOfAnother");
    QTest::newRow("the most marks") << 3 << 0 << 2 << 2 << 0 << 0;
    QTest::newRow("no marks in the class: the most without a response") << 0 << 4 << 0 << 3 << 0 << 0;
    QTest::newRow("as many marks as others: the more without a response") << 2 << 3 << 2 << 2 << 0 << 0;
    QTest::newRow("nobody needs attention") << 0 << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("a response not placed may be one of those missing, no more") << 0 << 5 << 0 << 2 << 1 << 0;
    QTest::newRow("more responses not placed than missing") << 1 << 2 << 0 << 2 << 3 << 0;
    QTest::newRow("a response to another assignment's line is none of them") << 0 << 4 << 0 << 3 << 0 << 2;
}

void TestReport::attention_plantedStudentFirst() {
    QFETCH(int, marks);
    QFETCH(int, missing);
    QFETCH(int, othersMarks);
    QFETCH(int, othersMissing);
    QFETCH(int, strays);
    QFETCH(int, straysOfAnother);
    // the required questions of the carried document's assignment 001; a self-critique only where the given answer
    // is no other line of it, so that it is placed by its line alone
    struct Asked {
        QString question;
        QString answer;
    };
    QList<Asked> asked;
    QStringList lines;
    QString another; // a question line of the next assignment
    bool next = false;
    for (const QString& line : linestore::parseDocument(linestore::carriedDocumentText())) {
        const bool heading = line.size() > 4 && line[0].isDigit() && line[3] == u'.';
        next = next || (heading && !lines.isEmpty());
        if (next && line.startsWith("`q")) {
            another = line;
            break;
        }
        if (next) {
            continue;
        }
        if (heading ? line.startsWith("001") : !lines.isEmpty()) {
            lines << line;
        }
    }
    for (const QString& line : lines) {
        if (line.startsWith("`q")) {
            asked.append({line, {}});
        } else if (line.startsWith("`a") && !asked.isEmpty() && asked.back().answer.isEmpty()) {
            asked.back().answer = line.mid(2);
        }
    }
    const auto critiqued = [&](const Asked& q) { return !q.answer.isEmpty() && lines.count("`a" + q.answer) == 1; };
    const auto critiques = static_cast<std::size_t>(std::count_if(asked.begin(), asked.end(), critiqued));
    QVERIFY(critiques >= 5);
    QVERIFY(another.startsWith("`q"));

    // sixty students, the planted one among them in the order of names; each question right, over-confident or not
    // answered
    std::mt19937 random(24);
    constexpr int students = 60;
    constexpr int planted = 29;
    std::vector<std::pair<int, int>> counts; // marks, without a response, as written
    report::ClassReader reader;
    for (int s = 0; s < students; ++s) {
        const int m = s == planted ? marks : std::uniform_int_distribution<int>(0, othersMarks)(random);
        const int n = s == planted ? missing : std::uniform_int_distribution<int>(0, othersMissing)(random);
        std::vector<int> kinds(critiques, 0);
        std::fill(kinds.begin(), kinds.begin() + m, 1);
        std::fill(kinds.begin() + m, kinds.begin() + m + n, 2);
        std::shuffle(kinds.begin(), kinds.end(), random);
        QList<Press> presses;
        QTime at(9, 0);
        std::size_t k = 0;
        for (const Asked& q : asked) {
            const int kind = critiqued(q) && k < kinds.size() ? kinds[k++] : 0;
            if (kind == 2) {
                continue;
            }
            if (!critiqued(q)) {
                presses.append({at.toString("hh:mm:ss"), q.question, "x = 1", "c1", false, 0});
                at = at.addSecs(60);
                continue;
            }
            presses.append({at.toString("hh:mm:ss"), q.question, "x = 1", kind == 1 ? "c3" : "c2", false, 0});
            presses.append({at.addSecs(30).toString("hh:mm:ss"), q.answer, "ok", kind == 1 ? "s0" : "s2", false, 0});
            at = at.addSecs(60);
        }
        for (int k = 0; s == planted && k < strays + straysOfAnother; ++k) {
            presses.append({at.toString("hh:mm:ss"), k < strays ? QStringLiteral("A line no document holds.") : another,
                            "x = 1", "c2", false, 0});
            at = at.addSecs(60);
        }
        counts.emplace_back(m, s == planted ? std::max(0, n - strays) : n);
        const QString name = s == planted ? QStringLiteral("S%1_Planted").arg(s, 3, 10, QChar('0'))
                                          : QStringLiteral("S%1_Student").arg(s, 3, 10, QChar('0'));
        QVERIFY(reader.add("/class/send_0107" + name + ".txt", runFile(false, "[v\xba", "001", presses)));
    }
    const report::ClassRecords records = reader.finish();
    QCOMPARE(records.issues.size(), std::size_t(0));
    const report::Document document = report::Document::carried(); // the view points into it
    const report::ClassView view = report::buildView(records, document);
    QString index;
    QMap<QString, QString> names; // the heading of each student's page
    for (const report::ReportPage& p : report::reportPages(records, view)) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(p.write(buffer));
        const QString page = QString::fromUtf8(buffer.data());
        if (p.name == "index.html") {
            index = page;
        } else if (p.name.startsWith("student-")) {
            names[p.name] = QRegularExpression("<h2><bdi>([^<]*)</bdi></h2>").match(page).captured(1);
        }
    }

    // the table against the counts as the files were written: the most marks, then the most without a response
    std::vector<int> order(students);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
        return counts[x].first != counts[y].first ? counts[x].first > counts[y].first
                                                  : counts[x].second > counts[y].second;
    });
    order.erase(std::remove_if(order.begin(), order.end(),
                               [&](int x) { return counts[x].first == 0 && counts[x].second == 0; }),
                order.end());
    const qsizetype top = index.indexOf("<section id=\"attention\">");
    const QString table = index.mid(top, index.indexOf("</section>", top) - top);
    QVERIFY2(top > 0 && top < index.indexOf("id=\"a1-summary\""), qPrintable(index.left(3000)));
    QRegularExpressionMatchIterator rows =
        QRegularExpression("<tr><th><a href=\"(student-[0-9]+\\.html)\"><bdi>([^<]*)</bdi></a></th><td>([0-9]+)</td>"
                           "<td>([0-9]+)</td></tr>")
            .globalMatch(table);
    int row = 0;
    while (rows.hasNext()) {
        const QRegularExpressionMatch m = rows.next();
        QVERIFY(row < 10 && row < static_cast<int>(order.size()));
        const int s = order[static_cast<std::size_t>(row)];
        const QString name = QStringLiteral("S%1 ").arg(s, 3, 10, QChar('0')) + (s == planted ? "Planted" : "Student");
        QCOMPARE(m.captured(2), name);
        QCOMPARE(names.value(m.captured(1)), name); // the link leads to the student's page
        QCOMPARE(m.captured(3).toInt(), counts[static_cast<std::size_t>(s)].first);
        QCOMPARE(m.captured(4).toInt(), counts[static_cast<std::size_t>(s)].second);
        ++row;
    }
    QCOMPARE(row, std::min(10, static_cast<int>(order.size())));
    if (marks + missing > 0) {
        QCOMPARE(order.front(), planted);
    } else {
        QVERIFY(table.contains("No student has a question marked over-confident"));
    }
    if (order.size() > 10) {
        QVERIFY(table.contains(QStringLiteral("%1 more students have").arg(order.size() - 10)));
    }
}

void TestReport::standardError_showsControlsAndBadBytes_data() {
    QTest::addColumn<QByteArray>("name"); // a file's name or text as the system gives it
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain, letters beyond ASCII kept")
        << QByteArray("send_0107Jos\xc3\xa9 \xe6\x9d\x8e\\.txt") << QStringLiteral("send_0107Jos\u00e9 \u674e\\.txt");
    QTest::newRow("clear the screen, set the title") << QByteArray("a\x1b[2J\x1b]0;t\x07"
                                                                   "b")
                                                     << QStringLiteral("a\\x1b[2J\\x1b]0;t\\x07b");
    QTest::newRow("line ends, tab, DEL") << QByteArray("a\r\nb\tc\x7f") << QStringLiteral("a\\x0d\\x0ab\\x09c\\x7f");
    QTest::newRow("C1 control sequence introducer") << QByteArray("a\xc2\x9b"
                                                                  "2Jb")
                                                    << QStringLiteral("a<U+009B>2Jb");
    QTest::newRow("right-to-left override and isolates")
        << QByteArray("x\xe2\x80\xaetxt.exe\xe2\x81\xa6y\xe2\x81\xa9\xd8\x9c")
        << QStringLiteral("x<U+202E>txt.exe<U+2066>y<U+2069><U+061C>");
    QTest::newRow("line separator") << QByteArray("a\xe2\x80\xa8"
                                                  "b")
                                    << QStringLiteral("a<U+2028>b");
    QTest::newRow("a name in another code page")
        << QByteArray("send_0107Jos\xe9.txt") << QStringLiteral("send_0107Jos\\xe9.txt");
    QTest::newRow("overlong and cut-short UTF-8")
        << QByteArray("\xc0\x80|\xe2\x82") << QStringLiteral("\\xc0\\x80|\\xe2\\x82");
}

void TestReport::standardError_showsControlsAndBadBytes() {
    QFETCH(QByteArray, name);
    QFETCH(QString, shown);
    QCOMPARE(report::terminalText(report::shownFileName(name)), shown);
}

void TestReport::forEach_eachIndexOnceUntilStopped_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("failAt"); // the call that throws, or stops the rest; -1: none
    QTest::addColumn<bool>("stops"); // it sets the stop flag rather than throwing
    QTest::newRow("none") << 0 << -1 << false;
    QTest::newRow("fewer than a thread is worth") << 3 << -1 << false;
    QTest::newRow("many") << 5000 << -1 << false;
    QTest::newRow("one throws") << 5000 << 100 << false;
    QTest::newRow("one stops the rest") << 5000 << 100 << true;
}

void TestReport::forEach_eachIndexOnceUntilStopped() {
    QFETCH(int, count);
    QFETCH(int, failAt);
    QFETCH(bool, stops);
    std::vector<std::atomic<int>> calls(static_cast<std::size_t>(count));
    std::atomic<bool> stop{false};
    std::atomic<bool> badWorker{false};
    const auto work = [&](std::size_t i, std::size_t worker) {
        badWorker = badWorker || worker >= report::parallel::workers();
        ++calls[i];
        if (static_cast<int>(i) == failAt) {
            if (stops) {
                stop = true;
                return;
            }
            throw std::runtime_error("the disk is full");
        }
        // a little work, so that the others have begun theirs when one fails
        QThread::usleep(i % 50 == 0 ? 100 : 0);
    };
    bool thrown = false;
    try {
        report::parallel::forEach(static_cast<std::size_t>(count), work, &stop);
    } catch (const std::runtime_error& e) {
        thrown = QByteArray(e.what()) == "the disk is full";
    }
    QCOMPARE(thrown, failAt >= 0 && !stops);
    QVERIFY(!badWorker);
    int called = 0;
    for (const std::atomic<int>& c : calls) {
        QVERIFY(c <= 1);
        called += c;
    }
    if (failAt < 0) {
        QCOMPARE(called, count);
    } else {
        // those not begun when it failed are left
        QVERIFY(calls[static_cast<std::size_t>(failAt)] == 1);
        QVERIFY2(called < count, qPrintable(QString::number(called)));
    }
}

// Texts compared as copies of one: a difference where neither has a blank, a line end or "?" is told at once, and
// one at such a character is weighed in the forms copies are compared in.
void TestReport::copies_alikeButForWhatEditorsChange_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("sameText");
    QTest::addColumn<bool>("sameEntry");
    QTest::newRow("alike") << "x = 8\r\nso"
                           << "x = 8\r\nso" << true << true;
    QTest::newRow("another letter") << "x = 8\r\nso"
                                    << "x = 9\r\nso" << false << false;
    QTest::newRow("another first letter") << "abc"
                                          << "xbc" << false << false;
    QTest::newRow("LF for CR LF") << "x = 8\r\nso"
                                  << "x = 8\nso" << true << true;
    QTest::newRow("trailing blanks") << "x = 8 \t\r\nso"
                                     << "x = 8\r\nso  " << true << true;
    QTest::newRow("a letter lost to ?") << "caf\u00e9 au lait"
                                        << "caf? au lait" << true << true;
    QTest::newRow("? where a letter differs after") << "caf? au lait"
                                                    << "cafe au loit" << false << false;
    QTest::newRow("a longer text") << "abc"
                                   << "abcd" << false << false;
    QTest::newRow("a blank where another has a letter") << "x = 8"
                                                        << "x =8 " << false << true;
    QTest::newRow("wrapped") << "solve 3x - 1 = 7 for x"
                             << "solve 3x - 1\r\n= 7 for x" << false << true;
    QTest::newRow("wrapped, a letter other") << "solve 3x - 1 = 7 for x"
                                             << "solve 3x - 1\r\n= 7 for y" << false << false;
    QTest::newRow("a line more") << "x = 8\r\n"
                                 << "x = 8\r\n\r\n"
                                 << false << true;
}

void TestReport::copies_alikeButForWhatEditorsChange() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, sameText);
    QFETCH(bool, sameEntry);
    QCOMPARE(report::sameText(a, b), sameText);
    QCOMPARE(report::sameText(b, a), sameText);
    QCOMPARE(report::sameEntry(a, b), sameEntry);
    QCOMPARE(report::sameEntry(b, a), sameEntry);
}

void TestReport::classRecords_eachRecordOnce_data() {
    QTest::addColumn<QList<QPair<QString, QByteArray>>>("files");
    QTest::addColumn<int>("students");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("withNumber");     // records that know their question number from a master file
    QTest::addColumn<QStringList>("issues"); // file:line of each problem
    // per student, each run's records in order, by their rating ("c2", "s3", "-" for none, "n" for a note);
    // empty: not compared
    QTest::addColumn<QString>("runs");
    const QString f1 = "[v\xba\xba\xba";
    const QString f2 = "[v\xbb\xbb";
    const QByteArray masterA = runFile(true, f1, "001", runA);
    const QByteArray sendA = runFile(false, f1, "001", runA);
    using Files = QList<QPair<QString, QByteArray>>;
    QTest::newRow("master and send of one run")
        << Files{{"masterFile_Ann.txt", masterA}, {"send_0107Ann.txt", sendA}} << 1 << 4 << 3 << QStringList{} << "";
    QTest::newRow("send read before master")
        << Files{{"send_0107Ann.txt", sendA}, {"masterFile_Ann.txt", masterA}} << 1 << 4 << 3 << QStringList{} << "";
    QTest::newRow("a copy of a send file")
        << Files{{"send_0107Ann.txt", sendA}, {"copy/send_0107Ann.txt", sendA}} << 1 << 4 << 0 << QStringList{} << "";
    QTest::newRow("a question line an editor wrapped in the master file")
        << Files{{"masterFile_Ann.txt", QByteArray(masterA).replace("What is 2", "What\r\nis 2")},
                 {"send_0107Ann.txt", sendA}}
        << 1 << 4 << 3 << QStringList{} << "Ann: c2 s3 n c3";
    QTest::newRow("send file a second later than the master")
        << Files{{"masterFile_Ann.txt", masterA}, {"send_0107Ann.txt", runFile(false, f1, "001", shifted(runA, 1))}}
        << 1 << 4 << 3 << QStringList{} << "";
    QTest::newRow("send file without its header")
        << Files{{"masterFile_Ann.txt", masterA}, {"send_0107Ann.txt", runFile(false, QString(), "001", runA)}} << 1
        << 4 << 3 << QStringList{"send_0107Ann.txt:1"} << "";
    // a block an editor copied below itself: one press, shown once
    QList<Press> twice = runA;
    twice.append(runA.last());
    const QByteArray repeated = runFile(false, f1, "001", twice);
    QTest::newRow("a block twice in a row in one file")
        << Files{{"send_0107Ann.txt", repeated}} << 1 << 4 << 0
        << QStringList{QStringLiteral("send_0107Ann.txt:%1").arg(sendA.count('\n') + 1)} << "Ann: c2 s3 n c3";
    twice = runA;
    twice.append(runA.first());
    const QByteArray copiedDown = runFile(false, f1, "001", twice);
    QTest::newRow("a block again further down in one file")
        << Files{{"send_0107Ann.txt", copiedDown}} << 1 << 4 << 0
        << QStringList{QStringLiteral("send_0107Ann.txt:%1").arg(sendA.count('\n') + 1)} << "Ann: c2 s3 n c3";
    // the drill stopped within a block's last line, and the next run was written on: the rest of that line and the
    // next header's filler line are one line in the send file; the master file holds both runs whole
    const QByteArray runB8 = runFile(false, f2, "001", runB, "01-08-2026");
    const QByteArray cutA = sendA.left(sendA.lastIndexOf("\r\n10\r\n") + 3);
    QTest::newRow("a block cut within its last line, and the next run written on")
        << Files{{"masterFile_Ann.txt", masterA + runFile(true, f2, "001", runB, "01-08-2026")},
                 {"send_0107Ann.txt", cutA + runB8}}
        << 1 << 5
        << 4
        // the cut block, five lines above the line it was cut in, and the header that line ends in
        << QStringList{QStringLiteral("send_0107Ann.txt:%1").arg(cutA.count('\n') - 4),
                       QStringLiteral("send_0107Ann.txt:%1").arg(cutA.count('\n') + 1)}
        << "Ann: c2 s3 n c3 | c1";
    // a run whose header is lost takes its day from the send file's name, the year the one nearest the other runs
    const QList<Press> firstTry = {{"09:00:00", "`q001.  What is 2 + 3?", "6", "c3", false, 0},
                                   {"09:01:00", "5.", "all wrong", "s0", false, 0}};
    const QList<Press> retry = {{"08:00:00", "`q001.  What is 2 + 3?", "5", "c2", false, 0},
                                {"08:01:00", "5.", "right", "s2", false, 0}};
    // two runs of one day whose fillers held no letter of ASCII, in a copy saved in ASCII: alike, yet two runs
    QByteArray asciiCopy = runFile(false, QString::fromLatin1("\xba\xbb\xbc\xbd"), "001", firstTry) +
                           runFile(false, QString::fromLatin1("\xbe\xbf\xc0\xc1"), "001", shifted(retry, 7200));
    std::replace_if(
        asciiCopy.begin(), asciiCopy.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }, '?');
    QTest::newRow("two runs of one day, their fillers all lost to ? in an ASCII copy")
        << Files{{"send_0107Ann.txt", asciiCopy}} << 1 << 4 << 0 << QStringList{} << "Ann: c3 s0 | c2 s2";
    QTest::newRow("a send file without its header, read after a later run's: set before it by its name's day")
        << Files{{"send_0109Ann.txt", runFile(false, f2, "001", retry, "01-09-2026")},
                 {"send_0107Ann.txt", runFile(false, QString(), "001", firstTry)}}
        << 1 << 4 << 0 << QStringList{"send_0107Ann.txt:1"} << "Ann: c3 s0 | c2 s2";
    QTest::newRow("a send file without its header, of the year before a later run's")
        << Files{{"send_0102Ann.txt", runFile(false, f2, "001", retry, "01-02-2027")},
                 {"send_1230Ann.txt", runFile(false, QString(), "001", firstTry)}}
        << 1 << 4 << 0 << QStringList{"send_1230Ann.txt:1"} << "Ann: c3 s0 | c2 s2";
    QTest::newRow("a send file without its header, named for a day its month lacks that year: the month's last")
        << Files{{"send_0301Ann.txt", runFile(false, f2, "001", retry, "03-01-2026")},
                 {"send_0229Ann.txt", runFile(false, QString(), "001", firstTry)}}
        << 1 << 4 << 0 << QStringList{"send_0229Ann.txt:1"} << "Ann: c3 s0 | c2 s2";
    // a copy whose header is damaged is known by its blocks, whichever copy comes first
    const QByteArray noFiller = sendA.mid(sendA.indexOf('\n') + 1);
    QByteArray noDay = sendA;
    noDay.replace(noDay.indexOf("01-07-2026"), 10, "02-30-2026");
    for (const auto& [damage, send] :
         {std::pair{"without its filler line", noFiller}, std::pair{"with no day", noDay}}) {
        const QStringList told{QStringLiteral("send_0107Ann.txt:%1").arg(send == noFiller ? 1 : 5)};
        QTest::newRow(qPrintable(QStringLiteral("a send file's header %1, after the master").arg(damage)))
            << Files{{"masterFile_Ann.txt", masterA}, {"send_0107Ann.txt", send}} << 1 << 4 << 3 << told
            << "Ann: c2 s3 n c3";
        QTest::newRow(qPrintable(QStringLiteral("a send file's header %1, before the master").arg(damage)))
            << Files{{"send_0107Ann.txt", send}, {"masterFile_Ann.txt", masterA}} << 1 << 4 << 3 << told
            << "Ann: c2 s3 n c3";
    }
    QTest::newRow("a block only in the send file")
        << Files{{"masterFile_Ann.txt", runFile(true, f1, "001", runA.mid(0, 3))}, {"send_0107Ann.txt", sendA}} << 1
        << 4 << 2 << QStringList{} << "";
    QTest::newRow("two runs on two days, master and send files")
        << Files{{"masterFile_Ann.txt", masterA + runFile(true, f2, "001", runB, "01-08-2026")},
                 {"send_0107Ann.txt", sendA},
                 {"send_0108Ann.txt", runFile(false, f2, "001", runB, "01-08-2026")}}
        << 1 << 5 << 4 << QStringList{} << "";
    QTest::newRow("a second run of a day whose header one file lost: its blocks once, in their run")
        << Files{{"masterFile_Ann.txt", masterA + runFile(true, f2, "001", runB)},
                 {"send_0107Ann.txt", sendA + runFile(false, QString(), "001", runB)}}
        << 1 << 5 << 4 << QStringList{QStringLiteral("send_0107Ann.txt:%1").arg(sendA.count('\n') + 1)}
        << "Ann: c2 s3 n c3 | c1";
    QTest::newRow("a run of a later day whose header the master file lost: its blocks once, in their run")
        << Files{{"masterFile_Ann.txt", masterA + runFile(true, QString(), "001", runB, "01-08-2026")},
                 {"send_0107Ann.txt", sendA},
                 {"send_0108Ann.txt", runFile(false, f2, "001", runB, "01-08-2026")}}
        << 1 << 5 << 4 << QStringList{QStringLiteral("masterFile_Ann.txt:%1").arg(masterA.count('\n') + 1)}
        << "Ann: c2 s3 n c3 | c1";
    QTest::newRow("the same presses in two runs count twice")
        << Files{{"masterFile_Ann.txt", masterA + runFile(true, f2, "001", runA)}} << 1 << 8 << 6 << QStringList{}
        << "";
    QTest::newRow("the same presses on two days count twice")
        << Files{{"masterFile_Ann.txt", masterA + runFile(true, f2, "001", runA, "01-08-2026")}} << 1 << 8 << 6
        << QStringList{} << "Ann: c2 s3 n c3 | c2 s3 n c3";
    QTest::newRow("a press made alike on a later day, at the same time of day")
        << Files{{"send_0107Ann.txt", sendA},
                 {"send_0108Ann.txt", runFile(false, f2, "001", runA.mid(0, 1) + shifted(runB, 600), "01-08-2026")}}
        << 1 << 6 << 0 << QStringList{} << "Ann: c2 s3 n c3 | c2 c1";
    QTest::newRow("two students with the same run")
        << Files{{"send_0107Ann.txt", sendA}, {"send_0107Bo.txt", sendA}} << 2 << 8 << 0 << QStringList{} << "";
    QList<Press> accented = runA;
    accented[0].text = QStringLiteral("5, d\u00e9j\u00e0 vu  ");
    const QByteArray masterX = runFile(true, f1, "001", accented);
    QByteArray sendAscii = runFile(false, f1, "001", accented);
    for (char& c : sendAscii) {
        c = static_cast<unsigned char>(c) >= 0x80 ? '?' : c;
    }
    QByteArray sendStripped;
    for (const QByteArray& line : runFile(false, f1, "001", accented).split('\n')) {
        qsizetype end = line.size();
        while (end > 0 && QByteArrayView(" \t\r").contains(line[end - 1])) {
            --end;
        }
        sendStripped += line.left(end) + (line.isEmpty() ? "" : "\n");
    }
    QList<Press> changed = runA;
    changed[1].text = "wrong";
    QList<Press> accentedB = runB;
    accentedB[0].text = QStringLiteral("d\u00e9j\u00e0");
    const QByteArray sendB = runFile(false, f2, "001", accentedB, "01-08-2026");
    QTest::newRow("a copy saved in ASCII, letters lost to ?")
        << Files{{"masterFile_Ann.txt", masterX}, {"send_0107Ann.txt", sendAscii}} << 1 << 4 << 3 << QStringList{}
        << "";
    QTest::newRow("a copy without trailing blanks, with LF ends")
        << Files{{"send_0107Ann.txt", sendStripped}, {"masterFile_Ann.txt", masterX}} << 1 << 4 << 3
        << QStringList{"send_0107Ann.txt:1"} << "";
    QTest::newRow("re-saved as UTF-8, a later run appended in Windows-1252")
        << Files{{"masterFile_Ann.txt", masterX + runFile(true, f2, "001", accentedB, "01-08-2026")},
                 {"send_0107Ann.txt", codepage::decode(runFile(false, f1, "001", accented)).toUtf8() + sendB}}
        << 1 << 5 << 4
        << QStringList{"send_0107Ann.txt:11", // where the letters beyond ASCII are
                       QStringLiteral("send_0107Ann.txt:%1").arg(sendAscii.count('\n') + 11)}
        << "";
    QTest::newRow("copies that differ otherwise: both kept, both named")
        << Files{{"masterFile_Ann.txt", masterA}, {"send_0107Ann.txt", runFile(false, f1, "001", changed)}} << 1 << 5
        << 3 << QStringList{"send_0107Ann.txt:14", "masterFile_Ann.txt:17"} << "";
    QTest::newRow("copies that differ otherwise, one without its header")
        << Files{{"masterFile_Ann.txt", masterA}, {"send_0107Ann.txt", runFile(false, QString(), "001", changed)}} << 1
        << 5 << 3 << QStringList{"send_0107Ann.txt:1", "send_0107Ann.txt:9", "masterFile_Ann.txt:17"} << "";
    QTest::newRow("names in another case and with a copy suffix are one student")
        << Files{{"send_0107Ann.txt", sendA}, {"send_0107ANN (1).txt", sendA}} << 1 << 4 << 0
        << QStringList{"send_0107ANN (1).txt:0"} << "";
    QTest::newRow("a name a course platform prefixed")
        << Files{{"Ann_1234_assignsubmission_file_send_0107Ann.txt", sendA}, {"masterFile_Ann.txt", masterA}} << 1 << 4
        << 3 << QStringList{} << "";

    // one student, one run: the names a copy or a resubmission gets
    const QByteArray sendB2 = runFile(false, f2, "001", runB, "01-08-2026");
    for (const char* copy : {"-1", " - Copy", " copy", " copy 2", " 2", "_v2", ".txt", " (1) - Copy",
                             " (Ann_Lee's conflicted copy 2026-01-08)", " (copy)", "-copy", "[1]", " - Kopie"}) {
        const QString name = QStringLiteral("send_0108Ann_Lee%1.txt").arg(copy);
        QTest::newRow(qPrintable(QStringLiteral("a resubmission named \"%1\"").arg(name)))
            << Files{{"send_0107Ann_Lee.txt", sendA}, {name, sendB2}} << 1 << 5 << 0 << QStringList{name + ":0"}
            << "Ann Lee: c2 s3 n c3 | c1";
    }
    // the index's order: by the letters, accents and case aside
    QTest::newRow("students in the order of their letters")
        << Files{{QStringLiteral("send_0107Zo\u00eb.txt"), sendA},
                 {QStringLiteral("send_0108\u00c9mile.txt"), sendB2},
                 {"send_0108emma.txt", sendB2},
                 {"send_0108Eve.txt", sendB2}}
        << 4 << 7 << 0 << QStringList{} << QStringLiteral("\u00c9mile: c1; emma: c1; Eve: c1; Zo\u00eb: c2 s3 n c3");
    // a suffix that ends another student's own name is that student's: "Ann Lee 2" is Ann_Lee_2, not Ann Lee again
    for (const char* again : {"send_0108Ann Lee 2.txt", "send_0108Ann Lee 2 (1).txt"}) {
        QTest::newRow(qPrintable(QStringLiteral("\"%1\" beside Ann_Lee and Ann_Lee_2").arg(again)))
            << Files{{"send_0107Ann_Lee.txt", sendA}, {"send_0107Ann_Lee_2.txt", sendA}, {again, sendB2}} << 2 << 9 << 0
            << QStringList{QString(again) + ":0"} << "Ann Lee: c2 s3 n c3; Ann Lee 2: c2 s3 n c3 | c1";
    }
    // one name as other systems and hands write it: a blank for "_", an "_" at its end, an accent stored apart
    for (const auto& [first, again] : {
             std::pair{QStringLiteral("Ann_Lee"), QStringLiteral("Ann Lee")},
             std::pair{QStringLiteral("Ann_Lee"), QStringLiteral("Ann_Lee_")},
             std::pair{QStringLiteral("Jos\u00e9"), QStringLiteral("Jose\u0301")},
             std::pair{QStringLiteral("Ilker"), QStringLiteral("\u0130LKER")},
             std::pair{QStringLiteral("Bo_Ek"), QStringLiteral("Bo\u200b_Ek")},
             std::pair{QStringLiteral("Bo_Ek"), QStringLiteral("Bo\tEk")},
#ifndef Q_OS_WIN // a name in Windows-1252 bytes, shown as such bytes are; Windows keeps its names in UTF-16
             std::pair{QStringLiteral("Jos\u00e9"), QStringLiteral("Jos\\xe9")},
#endif
         }) {
        const QString name = QStringLiteral("send_0108%1.txt").arg(again);
        QTest::newRow(qPrintable(QStringLiteral("%1 and %2 are one student").arg(first, name)))
            << Files{{QStringLiteral("send_0107%1.txt").arg(first), sendA}, {name, sendB2}} << 1 << 5 << 0
            << QStringList{name + ":0"}
            << QStringLiteral("%1: c2 s3 n c3 | c1").arg(QString(first).replace(u'_', u' '));
    }
    for (const char* late : {"LATE_", "LATE", "late "}) {
        const QString name = QStringLiteral("%1send_0108Ann_Lee.txt").arg(late);
        QTest::newRow(qPrintable(QStringLiteral("a resubmission named \"%1\"").arg(name)))
            << Files{{"send_0107Ann_Lee.txt", sendA}, {name, sendB2}} << 1 << 5 << 0 << QStringList{}
            << "Ann Lee: c2 s3 n c3 | c1";
    }
    // a run is its day and its exact filler
    const QString g1 = QStringLiteral("[v\u00ba\u00ba\u00ba");
    const QString g2 = QStringLiteral("[v\u00bb\u00bb\u00bb");
    const QByteArray masterG = runFile(true, g1, "001", runA);
    QTest::newRow("two runs whose fillers fold alike, on two days")
        << Files{{"masterFile_Ann.txt", masterG + runFile(true, g2, "001", runB, "01-08-2026")}} << 1 << 5 << 4
        << QStringList{} << "Ann: c2 s3 n c3 | c1";
    QTest::newRow("two runs whose fillers fold alike, on one day")
        << Files{{"masterFile_Ann.txt", masterG + runFile(true, g2, "001", runB)}} << 1 << 5 << 4 << QStringList{}
        << "Ann: c2 s3 n c3 | c1";
    QTest::newRow("an ASCII copy of the second of two such runs joins the run it copies")
        << Files{{"masterFile_Ann.txt", masterG + runFile(true, g2, "001", runB)},
                 {"send_0107Ann.txt", runFile(false, "[v???", "001", runB)}}
        << 1 << 5 << 4 << QStringList{} << "Ann: c2 s3 n c3 | c1";
    // damage: each told with its file and line, every record kept
    QByteArray cut = sendA;
    cut.remove(cut.indexOf("confidence assessment:  2"), cut.indexOf("\r\n", cut.indexOf(closingSeparator.toLatin1())) +
                                                             2 - cut.indexOf("confidence assessment:  2"));
    QTest::newRow("a block cut short, the next given answer's block right after it")
        << Files{{"send_0107Ann.txt", cut}} << 1 << 4 << 0 << QStringList{"send_0107Ann.txt:6"} << "Ann: - s3 n c3";
    QByteArray cutInLine = sendA;
    cutInLine.remove(cutInLine.indexOf("\r\nconfidence assessment:  2"),
                     cutInLine.indexOf("\r\n", cutInLine.indexOf(closingSeparator.toLatin1())) + 2 -
                         cutInLine.indexOf("\r\nconfidence assessment:  2"));
    QTest::newRow("a block cut short within a line, the next block written on in that line")
        << Files{{"send_0107Ann.txt", cutInLine}} << 1 << 4 << 0
        << QStringList{"send_0107Ann.txt:6", "send_0107Ann.txt:12"} << "Ann: - s3 n c3";
    // the separators about the second block's entry: both lost at once, or both a full stop short; each block still
    // keeps its own entry and rating
    const QByteArray sepLine = recordSeparator.toLatin1() + "\r\n";
    const auto nthSeparator = [&](const QByteArray& file, int nth) {
        qsizetype at = -1;
        for (int i = 0; i <= nth; ++i) {
            at = file.indexOf(sepLine, at + 1);
        }
        return at;
    };
    QByteArray lost = sendA;
    for (int i = 0; i < 2; ++i) {
        lost.remove(nthSeparator(lost, 1), sepLine.size());
    }
    QTest::newRow("the separators before a label and at the next block's start lost")
        << Files{{"send_0107Ann.txt", lost}} << 1 << 4 << 0 << QStringList{"send_0107Ann.txt:9", "send_0107Ann.txt:13"}
        << "Ann: c2 s3 n c3";
    QByteArray shortened = sendA;
    for (const int nth : {3, 2}) {
        shortened.replace(nthSeparator(shortened, nth), sepLine.size(), sepLine.mid(1));
    }
    QTest::newRow("both record separators of a block damaged")
        << Files{{"send_0107Ann.txt", shortened}} << 1 << 4 << 0
        << QStringList{"send_0107Ann.txt:14", "send_0107Ann.txt:17"} << "Ann: c2 s3 n c3";
    const QByteArray later = runFile(true, QString(), "001", shifted(runB, -3600));
    QTest::newRow("a second header deleted: the time goes back")
        << Files{{"masterFile_Ann.txt", masterA + later}} << 1 << 5 << 4
        << QStringList{QStringLiteral("masterFile_Ann.txt:%1").arg(masterA.count('\n') + 1)} << "Ann: c2 s3 n c3 c1";
    QTest::newRow("a run past midnight is no deleted header")
        << Files{{"masterFile_Ann.txt", runFile(true, f1, "001", shifted(runA, 14 * 3600) + shifted(runB, 15 * 3600))}}
        << 1 << 5 << 4 << QStringList{} << "Ann: c2 s3 n c3 c1";
    for (const auto& [how, confidence, selfCritique] :
         {std::tuple{"in other letter case", "Confidence Assessment:  3", "SELF CRITIQUE assessment:"},
          std::tuple{"with their blanks and hyphens changed", "Confidence assessment :  3",
                     "self-critique assessment:"}}) {
        QByteArray retyped = sendA;
        retyped.replace("confidence assessment:  3", confidence);
        retyped.replace("self critique assessment: ", selfCritique);
        QTest::newRow(qPrintable(QStringLiteral("rating labels retyped %1").arg(how)))
            << Files{{"send_0107Ann.txt", retyped}} << 1 << 4 << 0
            << QStringList{"send_0107Ann.txt:20", "send_0107Ann.txt:35"} << "Ann: c2 s3 n c3";
    }
    const QList<Press> impossible = {{"24:00:00", "`q001.  What is 2 + 3?", "5", "c2", false, 10001}};
    QTest::newRow("an impossible date and time")
        << Files{{"send_0230Ann.txt", runFile(false, f1, "001", impossible, "02-30-2026")}} << 1 << 1 << 0
        << QStringList{"send_0230Ann.txt:5", "send_0230Ann.txt:7"} << "Ann: c2";
}

void TestReport::classRecords_eachRecordOnce() {
    using Files = QList<QPair<QString, QByteArray>>;
    QFETCH(Files, files);
    QFETCH(int, students);
    QFETCH(int, records);
    QFETCH(int, withNumber);
    QFETCH(QStringList, issues);
    QFETCH(QString, runs);
    report::ClassReader reader;
    for (const auto& [name, bytes] : files) {
        QVERIFY(reader.add("/class/" + name, bytes));
    }
    const report::ClassRecords read = reader.finish();
    QStringList found;
    for (const report::Issue& issue : read.issues) {
        found << QStringLiteral("%1:%2").arg(QFileInfo(issue.file).fileName()).arg(issue.line);
    }
    QCOMPARE(found.join(' '), issues.join(' '));
    QCOMPARE(static_cast<int>(read.students.size()), students);
    int total = 0;
    int numbered = 0;
    QStringList shape;
    for (const report::Student& s : read.students) {
        QStringList shapes;
        for (const report::Run& run : s.runs) {
            QStringList shown;
            for (const report::Record& r : run.records) {
                ++total;
                numbered += r.questionNumber ? 1 : 0;
                QCOMPARE(r.date.isValid(), run.date.isValid() || r.kind == recordreader::BlockKind::Note);
                QVERIFY(!r.entry.isEmpty()); // each keeps the line it was written after, so its question
                shown << (r.kind == recordreader::BlockKind::Note          ? QStringLiteral("n")
                          : r.rating == recordreader::Rating::Confidence   ? "c" + r.ratingText.trimmed()
                          : r.rating == recordreader::Rating::SelfCritique ? "s" + r.ratingText.trimmed()
                                                                           : QStringLiteral("-"));
            }
            shapes << shown.join(' ');
        }
        shape << s.name + ": " + shapes.join(" | ");
    }
    if (!runs.isEmpty()) {
        QCOMPARE(shape.join("; "), runs);
    }
    QCOMPARE(total, records);
    QCOMPARE(numbered, withNumber);
}

void TestReport::placement_byEntryThenQuestionNumber_data() {
    QTest::addColumn<QString>("assignment"); // of the run; empty: no header
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("rating");
    QTest::addColumn<double>("questionNumber"); // 0: a send file, without one
    QTest::addColumn<QString>("place");
    QTest::newRow("question") << "001"
                              << "`q001.  What is 2 + 3?"
                              << "c2" << 0.0 << "001 q001";
    QTest::newRow("given answer") << "001"
                                  << "5."
                                  << "s3" << 0.0 << "001 q001 after the answer";
    QTest::newRow("text after the given answer") << "001"
                                                 << "Keep this in mind."
                                                 << "s3" << 0.0 << "001 q001 after the answer, told at 6";
    QTest::newRow("text before the first question") << "001"
                                                    << "Work each question on paper first."
                                                    << "" << 0.0 << "001 before";
    QTest::newRow("nothing shown yet") << "001"
                                       << ""
                                       << "" << 10000.0 << "001 before";
    QTest::newRow("optional question") << "001"
                                       << "*`q003.  Optional: triple it."
                                       << "c3" << 0.0 << "001 q003";
    QTest::newRow("closing line") << "001"
                                  << "end program"
                                  << "" << 0.0 << "001 end";
    // the rating says what the drill asked after the line, where the document now gives another kind of line; told
    QTest::newRow("a confidence after the given answer: a response") << "001"
                                                                     << "5."
                                                                     << "c3" << 0.0 << "001 q001, told at 6";
    QTest::newRow("a confidence after a text line after the given answer: a response")
        << "001"
        << "Keep this in mind."
        << "c2" << 0.0 << "001 q001, told at 6";
    QTest::newRow("a self-critique after the question: a self-critique")
        << "001"
        << "`q001.  What is 2 + 3?"
        << "s0" << 0.0 << "001 q001 after the answer, told at 6";
    QTest::newRow("a self-critique after the optional question")
        << "001"
        << "*`q003.  Optional: triple it."
        << "s3" << 0.0 << "001 q003 after the answer, told at 6";
    QTest::newRow("a confidence after a text line before the first question") << "001"
                                                                              << "Work each question on paper first."
                                                                              << "c2" << 0.0 << "001 before, told at 6";
    // a question the course renumbered, or made optional, since: found by its words
    QTest::newRow("a question renumbered since") << "001"
                                                 << "`q007.  Double it."
                                                 << "c2" << 10007.0 << "001 q002, told at 6";
    QTest::newRow("a question made optional since") << "001"
                                                    << "`q003.  Optional: triple it."
                                                    << "c2" << 0.0 << "001 q003";
    QTest::newRow("a question's words in another assignment only") << "003"
                                                                   << "`q004.  Double it."
                                                                   << "c2" << 0.0 << "003 unplaced, told at 6";
    QTest::newRow("a self-critique after the closing line") << "001"
                                                            << "end program"
                                                            << "s3" << 0.0 << "001 end after the answer, told at 6";
    QTest::newRow("same line in two assignments, by the header") << "002"
                                                                 << "`q001.  What is 2 + 3?"
                                                                 << "c2" << 0.0 << "002 q001";
    QTest::newRow("no header, a line of one assignment") << ""
                                                         << "`q002.  Double it."
                                                         << "c2" << 0.0 << "001 q002";
    QTest::newRow("no header, a line of two assignments") << ""
                                                          << "`q001.  What is 2 + 3?"
                                                          << "c2" << 0.0 << "unknown unplaced, told at 1";
    QTest::newRow("no header, the master's number decides") << ""
                                                            << "`q001.  What is 2 + 3?"
                                                            << "c2" << 20001.0 << "002 q001";
    QTest::newRow("line not in the document, by number") << "001"
                                                         << "`q002.  Double it, an older wording."
                                                         << "c1" << 10002.0 << "001 q002 by number, told at 6";
    QTest::newRow("critique of a line not in the document, by number")
        << "001"
        << "Ten."
        << "s1" << 10002.0 << "001 q002 after the answer by number, told at 6";
    QTest::newRow("line not in the document, a number of another assignment: a header may be missing")
        << "001"
        << "`q002.  Double it, an older wording."
        << "c1" << 20002.0 << "001 unplaced, told at 6";
    QTest::newRow("line not in the document, no number") << "001"
                                                         << "`q009.  Gone."
                                                         << "c1" << 0.0 << "001 unplaced, told at 6";
    QTest::newRow("assignment not in the document") << "009"
                                                    << "`q001.  What is 2 + 3?"
                                                    << "c1" << 0.0 << "009 unplaced, told at 6";
    // as an editor or a transport left the line
    QTest::newRow("trailing blanks") << "001"
                                     << "`q001.  What is 2 + 3?  \t"
                                     << "c2" << 0.0 << "001 q001";
    QTest::newRow("the given answer with trailing blanks") << "001"
                                                           << "5. "
                                                           << "s2" << 0.0 << "001 q001 after the answer";
    const QString square = smallDocument().filter("rectangle").first();
    QTest::newRow("a long line wrapped by an editor")
        << "003" << QString(square).replace("square of", "square\r\nof").replace(" Why", "\r\nWhy") << "c2" << 0.0
        << "003 q001";
    QTest::newRow("wrapped with trailing blanks, LF ends")
        << "003" << QString(square).replace("square of", "square \nof ").replace(" Why", "   \n Why") << "c2" << 0.0
        << "003 q001";
    // a copy saved in ASCII: the letters of the code page lost, what it spells out kept
    QTest::newRow("letters lost to ?") << "003"
                                       << QString(square).replace(QChar(0x2019), u'?').replace(QChar(0xd7), u'?')
                                       << "c2" << 0.0 << "003 q001";
    QTest::newRow("letters lost to ? in a line no header names")
        << ""
        << codepage::decode(codepage::encode(smallDocument().filter("diagonal,").first().mid(2)))
               .replace(QChar(0xb2), u'?')
        << "s1" << 0.0 << "003 q001 after the answer";
    QTest::newRow("another line of the assignment is not taken for it") << "001"
                                                                        << "`q002.  Double it twice."
                                                                        << "c1" << 0.0 << "001 unplaced, told at 6";
    QTest::newRow("a line of another assignment: a header may be missing") << "002"
                                                                           << "`q002.  Double it."
                                                                           << "c1" << 0.0 << "002 unplaced, told at 6";
    // a response to a text line has no rating; after the given answer it is no self-critique
    QTest::newRow("a response to a text line after the given answer") << "001"
                                                                      << "Keep this in mind."
                                                                      << "" << 0.0 << "001 q001";
}

void TestReport::placement_byEntryThenQuestionNumber() {
    QFETCH(QString, assignment);
    QFETCH(QString, entry);
    QFETCH(QString, rating);
    QFETCH(double, questionNumber);
    QFETCH(QString, place);
    const bool master = questionNumber != 0;
    const Press press{"09:30:05", entry, "x", rating, false, questionNumber};
    report::ClassReader reader;
    QVERIFY(reader.add(master ? "/c/masterFile_Ann.txt" : "/c/send_0107Ann.txt",
                       runFile(master, assignment.isEmpty() ? QString() : "[v", assignment, {press})));
    const report::ClassRecords records = reader.finish();
    report::ClassRecords told = records;
    const report::Document document(smallDocument());
    const report::ClassView view = report::buildView(records, document);
    report::tellUnplaced(told, view, document);
    // with its file and line, where it is told as it is set against the document
    const auto toldAt = [&](const report::Item& it) {
        QString where;
        for (const report::Issue& issue : std::span(told.issues).subspan(records.issues.size())) {
            if (issue.file == told.files[it.record->file] && issue.line == it.record->line) {
                where = QStringLiteral(", told at %1").arg(issue.line);
            }
        }
        return where;
    };

    QStringList found;
    for (const report::AssignmentView& a : view.assignments) {
        const QString nbr = a.nbr.isEmpty() ? QStringLiteral("unknown") : a.nbr;
        for (std::size_t g = 0; g < a.groups.size(); ++g) {
            const report::DocGroup& dg = a.doc->groups[g];
            const QString where = dg.kind == report::DocGroup::Kind::Preamble  ? QStringLiteral("before")
                                  : dg.kind == report::DocGroup::Kind::Closing ? QStringLiteral("end")
                                                                               : "q" + dg.number;
            for (const report::Item& it : a.groups[g]) {
                found << nbr + " " + where + (it.critique ? " after the answer" : "") +
                             (it.entryDiffers ? " by number" : "") + toldAt(it);
            }
        }
        for (const report::Item& it : a.unplaced) {
            found << nbr + " unplaced" + toldAt(it);
        }
    }
    QCOMPARE(found, QStringList{place});
}

// Two questions of one assignment with one given answer: a self-critique of either is written after the same line.
void TestReport::placement_linesThatReadAlike_data() {
    QTest::addColumn<bool>("master");
    QTest::addColumn<QStringList>("entries"); // the line each press of the run was written after, in order
    QTest::addColumn<QStringList>("places");  // where the records are shown, in the document's order
    const QString second = "`q002.  Double it.";
    const QString third = "*`q003.  Optional: triple it.";
    QTest::newRow("each critique to the question answered before it")
        << false << QStringList{second, "10", third, "10"}
        << QStringList{"q002", "q002 after the answer", "q003", "q003 after the answer"};
    QTest::newRow("the second question's critique alone, from the master file: its number decides")
        << true << QStringList{"10"} << QStringList{"q003 after the answer"};
    QTest::newRow("a critique with nothing before it: the first such line")
        << false << QStringList{"10"} << QStringList{"q002 after the answer"};
    QTest::newRow("the first question skipped")
        << false << QStringList{third, "10"} << QStringList{"q003", "q003 after the answer"};
}

void TestReport::placement_linesThatReadAlike() {
    QFETCH(bool, master);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, places);
    QStringList lines = smallDocument();
    lines.replace(lines.indexOf("`a15"), "`a10");
    const report::Document document(lines);
    QList<Press> presses;
    for (const QString& entry : entries) {
        const bool critique = !entry.startsWith(u'`') && !entry.startsWith(u'*');
        presses.append({QTime(9, 30).addSecs(60 * static_cast<int>(presses.size())).toString("hh:mm:ss"), entry, "x",
                        critique ? "s1" : "c2", false, master ? 10003.0 : 0.0});
    }
    report::ClassReader reader;
    QVERIFY(
        reader.add(master ? "/c/masterFile_Ann.txt" : "/c/send_0107Ann.txt", runFile(master, "[v", "001", presses)));
    const report::ClassRecords records = reader.finish();
    const report::ClassView view = report::buildView(records, document);
    QStringList found;
    const report::AssignmentView& a = view.assignments.front();
    for (std::size_t g = 0; g < a.groups.size(); ++g) {
        for (const report::Item& it : a.groups[g]) {
            found << "q" + a.doc->groups[g].number + (it.critique ? " after the answer" : "");
        }
    }
    QVERIFY(a.unplaced.empty());
    QCOMPARE(found, places);
}

// The rating box takes any text: the forms of a number from 0 to 3 count as it, every other text as none.
void TestReport::ratings_readAsTheNumberTheyPlainlyAre_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value"); // -1: not a rating
    QTest::addColumn<bool>("plain");
    const QList<std::tuple<QString, int, bool>> rows = {{" 2 ", 2, true},       {"0", 0, true},
                                                        {"3.0", 3, false},      {"03", 3, false},
                                                        {"+3", 3, false},       {"3.", 3, false},
                                                        {"\uff13", 3, false},   {" \uff10\u3000", 0, false},
                                                        {"+\uff13", 3, false},  {"\uff13\uff0e\uff10", 3, false},
                                                        {"[U+FF13]", 3, false}, {"4", -1, false},
                                                        {"\uff14", -1, false},  {"three", -1, false},
                                                        {"2.5", -1, false},     {"-1", -1, false},
                                                        {"", -1, false}};
    for (const auto& [typed, value, plain] : rows) {
        QTest::newRow(qPrintable("\"" + typed + "\"")) << typed << value << plain;
    }
}

void TestReport::ratings_readAsTheNumberTheyPlainlyAre() {
    QFETCH(QString, typed);
    QFETCH(int, value);
    QFETCH(bool, plain);
    QCOMPARE(report::ratingNumber(typed), value);
    QCOMPARE(report::isPlainRating(typed), plain);
}

// A file's problems are told in the order of its lines, whether they were found as it was read (a block repeated) or
// once the class was (a rating that is no number); the files not read come last, and are still known as such.
void TestReport::problems_inTheOrderOfTheirLines() {
    QList<Press> presses = runA;
    presses[0].rating = QStringLiteral("cthree");
    presses.append(runA.last());
    report::ClassReader reader;
    reader.addNotRead(QStringLiteral("/class/photo.jpg"), QStringLiteral("not a record file's name"));
    QVERIFY(reader.add(QStringLiteral("/class/send_0107Ann.txt"), runFile(false, "[v\xba", "001", presses)));
    QVERIFY(reader.add(QStringLiteral("/class/send_0108Bo.txt"), runFile(false, "[v\xbb", "001", presses)));
    report::ClassRecords records = reader.finish();
    report::orderIssues(records);
    QStringList found;
    for (const report::Issue& issue : records.issues) {
        found << QStringLiteral("%1:%2").arg(QFileInfo(issue.file).fileName()).arg(issue.line);
    }
    // the rating's own line in the first block; the repeated block after the run's four
    const QByteArray file = runFile(false, "[v\xba", "001", presses);
    const qsizetype rating = file.left(file.indexOf("confidence assessment:  three")).count('\n') + 1;
    const qsizetype again = runFile(false, "[v\xba", "001", presses.mid(0, 4)).count('\n') + 1;
    QCOMPARE(found.join(' '), QStringLiteral("send_0107Ann.txt:%1 send_0107Ann.txt:%2 send_0108Bo.txt:%1 "
                                             "send_0108Bo.txt:%2 photo.jpg:0")
                                  .arg(rating)
                                  .arg(again));
    QCOMPARE(records.notRead, std::vector<std::size_t>{4});
}

void TestReport::program_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");    // in what the program prints
    QTest::addColumn<QString>("written"); // a text the page holds; empty: no page is written
    const QString out = "{dir}/out/report.html";
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: qadrill-report"
                          << "";
    QTest::newRow("no path") << QStringList{} << 2 << "no PATH given"
                             << "";
    QTest::newRow("unknown option") << QStringList{"--frobnicate", "{dir}/class"} << 2 << "unknown option --frobnicate"
                                    << "";
    QTest::newRow("-o without a file") << QStringList{"{dir}/class", "-o"} << 2 << "-o needs a file name"
                                       << "";
    QTest::newRow("--csv with an empty name")
        << QStringList{"--csv", "", "{dir}/class"} << 2 << "--csv needs a file name"
        << "";
    QTest::newRow("page and table one file")
        << QStringList{"-o", out, "--csv", out, "{dir}/class"} << 2 << "cannot be one file"
        << "";
    QTest::newRow("a folder") << QStringList{"-o", out, "--csv", "{dir}/out/r.csv", "{dir}/class"} << 0 << ""
                              << "Ann Lee";
    QTest::newRow("one file") << QStringList{"-o", out, "{dir}/class/send_0107Ann_Lee.txt"} << 0 << ""
                              << "Ann Lee";
    QTest::newRow("a file named again, by another path, read once")
        << QStringList{"-o", out, "{dir}/class", "{dir}/class/send_0107Ann_Lee.txt",
                       "{dir}/class/./send_0107Ann_Lee.txt"}
        << 0 << ""
        << "1 student, 2 files read";
    QTest::newRow("subfolders with -r") << QStringList{"-r", "-o", out, "{dir}/class"} << 0 << ""
                                        << "Bo Ek";
    QTest::newRow("subfolders need -r") << QStringList{"-o", out, "{dir}/term"} << 1 << "(-r reads its subfolders too)"
                                        << "";
    QTest::newRow("no such path") << QStringList{"-o", out, "{dir}/nothing"} << 1
                                  << "{dir}/nothing: no such file or folder"
                                  << "";
    QTest::newRow("no such path beside a good one")
        << QStringList{"-o", out, "{dir}/nothing", "{dir}/class"} << 0 << "{dir}/nothing: no such file or folder"
        << "Ann Lee";
    QTest::newRow("a device, which could be read for ever")
        << QStringList{"-o", out, "/dev/zero"} << 1 << "/dev/zero: not read: a device"
        << "";
    QTest::newRow("a file too large for a record file")
        << QStringList{"-o", out, "{dir}/large/send_0107Big.txt"} << 1
        << "send_0107Big.txt: not read: 1100 MB, more than any record file"
        << "";
    QTest::newRow("empty folder") << QStringList{"-o", out, "{dir}/empty"} << 1
                                  << "no send_*.txt or masterFile_*.txt file in this folder"
                                  << "";
    QTest::newRow("not a record file") << QStringList{"-o", out, "{dir}/bad"} << 1
                                       << "send_0107Eve.txt: not a record file"
                                       << "";
    QTest::newRow("a damaged file is read and reported")
        << QStringList{"-o", out, "{dir}/damaged"} << 0 << "send_0109Cy.txt:6: a block without its closing separator"
        << "Problems reading the files";
    QTest::newRow("page over an input") << QStringList{"-o", "{dir}/class/send_0107Ann_Lee.txt", "{dir}/class"} << 2
                                        << "is one of the files to read"
                                        << "";
    QTest::newRow("table over an input") << QStringList{"-o", out, "--csv", "{dir}/class/masterFile_Ann_Lee.txt",
                                                        "{dir}/class"}
                                         << 2 << "is one of the files to read"
                                         << "";
    QTest::newRow("table over a record file not read")
        << QStringList{"-o", out, "--csv", "{dir}/bad/send_0107Eve.txt", "{dir}/class"} << 2
        << "is a student's record file"
        << "";
    QTest::newRow("a course with an error: told at its line, and the report written")
        << QStringList{"-o", out, "--course", "{dir}/course/broken.txt", "{dir}/class"} << 0
        << "{dir}/course/broken.txt:71:2: error: no blank after \"=\": the drill leaves the line out"
        << "Ann Lee";
    QTest::newRow("a course with no assignment: nothing written")
        << QStringList{"-o", out, "--course", "{dir}/course/empty.txt", "{dir}/class"} << 1
        << "{dir}/course/empty.txt: holds no assignment, and is no course; nothing is written"
        << "";
    QTest::newRow("a folder given, and the folder above it: read, and not listed as a folder not read")
        << QStringList{"-o", out, "{dir}/term", "{dir}/term/week1"} << 0 << "!week1: not read"
        << "Bo Ek";
    QTest::newRow("table over a page of the folder")
        << QStringList{"-o", "{dir}/out/pages", "--csv", "{dir}/out/pages/./index.html", "{dir}/class"} << 2
        << "is a page of the folder"
        << "";
    QTest::newRow("a file that is no page is not written over")
        << QStringList{"-o", "{dir}/bad/send_0107Eve.txt", "{dir}/class"} << 2
        << "send_0107Eve.txt is a file, and neither a page"
        << "";
    QTest::newRow("page in a folder that does not exist")
        << QStringList{"-o", "{dir}/no/such/report.html", "{dir}/class"} << 1
        << "{dir}/no/such/report.html: cannot be written"
        << "";
    QTest::newRow("a folder of pages") << QStringList{"-o", "{dir}/out/pages", "{dir}/class"} << 0 << ""
                                       << "Ann Lee";
    QTest::newRow("a folder of pages, made by the run, with the table in it")
        << QStringList{"-o", "{dir}/out/pages", "--csv", "{dir}/out/pages/r.csv", "{dir}/class"} << 0 << ""
        << "Ann Lee";
    // the table is written before the pages, and put in place with them
    QTest::newRow("a table that cannot be written: no page written either")
        << QStringList{"-o", out, "--csv", "{dir}/no/such/r.csv", "{dir}/class"} << 1
        << "{dir}/no/such/r.csv: cannot be written"
        << "";
    QTest::newRow("a table that cannot be written: no folder of pages made")
        << QStringList{"-o", "{dir}/out/pages", "--csv", "{dir}/no/such/r.csv", "{dir}/class"} << 1
        << "{dir}/no/such/r.csv: cannot be written"
        << "";
#ifndef Q_OS_WIN
    QTest::newRow("page and table one file, by a link to where the page will be")
        << QStringList{"-o", out, "--csv", "{dir}/link-to-page.html", "{dir}/class"} << 2 << "cannot be one file"
        << "";
    QTest::newRow("page and table both the standard output, by two names")
        << QStringList{"-o", "-", "--csv", "/dev/stdout", "{dir}/class"} << 2 << "cannot be one file"
        << "";
    QTest::newRow("a link under another student's name: told, and read once")
        << QStringList{"-o", out, "{dir}/linked"} << 0
        << "send_0107Zoe.txt: not read: the same file as {dir}/linked/send_0107Zed.txt"
        << "Zed";
    QTest::newRow("every file in a folder read or listed, with -r")
        << QStringList{"-r", "-o", out, "{dir}/mixed"} << 0
        << "mixed/send_0109Ann_Lee.txt: not read: a FIFO|send_0110Ann_Lee.txt: not read: a link to nothing|"
           "notes_Ann_Lee.txt: not read: a notes file|2 files not read: the name is not a record file's: |"
           "mixed/essay.pdf|mixed/\\x1b]0;owned\\x07<U+202E>.txt, |.Trash-1000: not read: a trash folder|"
           ".hidden: not read: a hidden folder|is taken as \"Ann_Lee\"|4 students; 7 not read"
        << "Cy Platform|Jos\\xe9|not read: a FIFO";
    QTest::newRow("a table named by a link that leads to a page of the folder: refused")
        << QStringList{"-o", "{dir}/out/pages", "--csv", "{dir}/out/table.csv", "{dir}/class"} << 2
        << "table.csv is a page of the folder"
        << "";
    QTest::newRow("a folder given twice, and a folder below it with -r: each read once")
        << QStringList{"-r", "-o", out, "{dir}/mixed", "{dir}/mixed", "{dir}/mixed/sub"} << 0
        << "4 students; 7 not read|!no send_*.txt"
        << "Cy Platform";
    QTest::newRow("a folder without -r lists its subfolders")
        << QStringList{"-o", out, "{dir}/mixed"} << 0 << "mixed/sub: not read: a folder; -r reads the folders below too"
        << "Cy Platform";
    // {e9}: the byte 0xe9, as Windows-1252 spells an accented letter
    QTest::newRow("a name that is not UTF-8, named")
        << QStringList{"-o", out, "{dir}/mixed/send_0107Jos{e9}.txt"} << 0 << ""
        << "Jos\\xe9";
    QTest::newRow("a page named with a byte that is no UTF-8: refused, not written under another name")
        << QStringList{"-o", "{dir}/out/caf{e9}", "{dir}/class"} << 2 << "holds a byte that is no UTF-8"
        << "";
#endif
    QTest::newRow("one page too large to open at once: told, and written")
        << QStringList{"-o", out, "{dir}/large-page"} << 0 << "MB, more than a browser opens at once"
        << "Ann Lee";
    QTest::newRow("more than a hundred files") << QStringList{"-o", out, "{dir}/many"} << 0 << "read 101 files"
                                               << "Student 100";
    // read and written on every processor at once
    QTest::newRow("more than a hundred files, a folder of pages")
        << QStringList{"-o", "{dir}/out/pages", "{dir}/many"} << 0 << "read 101 files"
        << "Student 100";
}

void TestReport::program() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, says);
    QFETCH(QString, written);
#ifdef Q_OS_WIN
    if (args.contains("/dev/zero")) {
        QSKIP("Windows has no device that a folder holds and that reads for ever");
    }
#endif
    QTemporaryDir dir;
    const QString d = dir.path();
    const QByteArray master = runFile(true, "[v\xba", "001", carriedRun());
    writeBytes(d + "/class/masterFile_Ann_Lee.txt", master);
    writeBytes(d + "/class/send_0107Ann_Lee.txt", runFile(false, "[v\xba", "001", carriedRun()));
    writeBytes(d + "/class/later/send_0108Bo_Ek.txt", runFile(false, "[v\xbb", "001", runB));
    writeBytes(d + "/term/week1/send_0108Bo_Ek.txt", runFile(false, "[v\xbb", "001", runB));
    QVERIFY(QDir().mkpath(d + "/empty"));
    QVERIFY(QDir().mkpath(d + "/out"));
#ifndef Q_OS_WIN
    if (args.contains("{dir}/link-to-page.html")) {
        QVERIFY(QFile::link(d + "/out/report.html", d + "/link-to-page.html")); // to a page not written yet
    }
#endif
    writeBytes(d + "/bad/send_0107Eve.txt", "Dear teacher,\r\nhere is my work.\r\n");
    QByteArray damaged = runFile(false, "[v\xbc", "001", runA);
    damaged.remove(damaged.indexOf(closingSeparator.toLatin1()), closingSeparator.size() + 2);
    writeBytes(d + "/damaged/send_0109Cy.txt", damaged);
    for (int i = 0; i < 101; ++i) {
        writeBytes(d + QStringLiteral("/many/send_0107Student_%1.txt").arg(i), runFile(false, "[v", "001", runB));
    }
    // the carried course with its first assignment's question 002 mistyped, and a course that is none
    QString course = linestore::carriedDocumentText();
    course.replace(course.indexOf("\n= `q002."), 4, "\n=`");
    writeBytes(d + "/course/broken.txt", course.toUtf8());
    writeBytes(d + "/course/empty.txt", "");
    QVERIFY(QDir().mkpath(d + "/large"));
    QFile large(d + "/large/send_0107Big.txt"); // sparse: it takes no room on the disk
    QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(qint64(1100) * 1024 * 1024));
    large.close();
    if (args.contains("{dir}/large-page")) {
        QList<Press> long_;
        const Press first = carriedRun().front();
        for (int i = 0; i < 900; ++i) {
            long_.append({first.time, first.entry, QString::number(i) + QString(10000, 'x'), "c3", false, 10001});
        }
        writeBytes(d + "/large-page/send_0107Ann_Lee.txt", runFile(false, "[v\xba", "001", long_));
    }
#ifndef Q_OS_WIN
    const QString m = d + "/mixed/";
    writeBytes(m + "send_0107Ann_Lee.txt", runFile(false, "[v\xba", "001", carriedRun()));
    writeBytes(m + "send_0107ann_lee (1).txt", runFile(false, "[v\xba", "001", carriedRun()));
    writeBytes(m + "Cy Platform_1234_assignsubmission_file_send_0108Cy_Platform.txt",
               runFile(false, "[v", "001", runB));
    writeBytes(m + "notes_Ann_Lee.txt", "x");
    if (args.contains("{dir}/out/table.csv")) {
        QVERIFY(QFile::link(d + "/out/pages/index.html", d + "/out/table.csv"));
    }
    writeBytes(d + "/linked/send_0107Zed.txt", runFile(false, "[v", "001", runB));
    QVERIFY(QFile::link(d + "/linked/send_0107Zed.txt", d + "/linked/send_0107Zoe.txt"));
    writeBytes(m + "essay.pdf", "x");
    writeBytes(m + QStringLiteral("\x1b]0;owned\x07\u202e.txt"), "x");
    writeBytes(m + ".Trash-1000/send_0107Del.txt", runFile(false, "[v", "001", runB));
    writeBytes(m + ".hidden/send_0107Hid.txt", runFile(false, "[v", "001", runB));
    writeBytes(m + "sub/send_0107Sub.txt", runFile(false, "[v", "001", runB));
    QVERIFY(::mkfifo(QFile::encodeName(m + "send_0109Ann_Lee.txt").constData(), 0600) == 0);
    QVERIFY(QFile::link(d + "/nowhere", m + "send_0110Ann_Lee.txt"));
    const std::string jose = QFile::encodeName(m).toStdString() + "send_0107Jos\xe9.txt";
    std::ofstream(jose, std::ios::binary) << runFile(false, "[v", "001", runB).toStdString();
    const auto removeJose = qScopeGuard([&] { std::filesystem::remove(jose); }); // beyond what the folder can remove
#endif
    const std::set<QString> before = filesBelow(d);

    for (QString& a : args) {
        a.replace("{dir}", d);
    }
    QProcess program;
    program.setProcessChannelMode(QProcess::MergedChannels);
    if (args.join(' ').contains("{e9}")) {
        // a byte that is no UTF-8 cannot be passed as text: the shell makes it
        for (QString& a : args) {
            a.replace("{e9}", "\\351");
        }
        program.start("/bin/sh", QStringList{"-c",
                                             "p=$0; n=$#; for a; do set -- \"$@\" \"$(printf -- \"$a\")\"; done; "
                                             "shift $n; exec \"$p\" \"$@\"",
                                             programPath()} +
                                     args);
    } else {
        program.start(programPath(), args);
    }
    QVERIFY(program.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(program.readAll());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == status, qPrintable(output));
    for (const QString& part : says.replace("{dir}", d).split(u'|')) {
        // "!" before a part: the output does not hold it
        QVERIFY2(output.contains(QStringView(part).sliced(part.startsWith(u'!') ? 1 : 0)) != part.startsWith(u'!'),
                 qPrintable(part + "\n" + output));
    }
    QVERIFY2(!output.contains(QChar(0x1b)) && !output.contains(QChar(0x202e)), qPrintable(output));

    // nothing but the page and the table is written, and no input is changed
    std::set<QString> after = filesBelow(d);
    after.erase(d + "/out/report.html");
    after.erase(d + "/out/r.csv");
    std::erase_if(after, [&](const QString& f) { return f.startsWith(d + "/out/pages/"); });
    QVERIFY(after == before);
    QCOMPARE(fileBytes(d + "/class/masterFile_Ann_Lee.txt"), master);
    const QString page = QString::fromUtf8(fileBytes(d + "/out/report.html") + fileBytes(d + "/out/pages/index.html"));
    if (written.isEmpty()) {
        QVERIFY(page.isEmpty());
        QVERIFY(!QFileInfo::exists(d + "/out/pages")); // a first report that fails makes no folder
    } else {
        for (const QString& part : written.split(u'|')) {
            QVERIFY2(page.contains(part), qPrintable(part));
        }
    }
    if (args.contains("--csv") && status == 0) {
        const QByteArray csv = fileBytes(args[args.indexOf("--csv") + 1]);
        QVERIFY(csv.startsWith("\xEF\xBB\xBFstudent,assignment,question,responses,confidence,confidence_time,"));
        QVERIFY(csv.contains("\r\nAnn Lee,001,001,1,2,2026-01-07 09:30:05,1,3,2026-01-07 09:31:00,1\r\n"));
    }
}

void TestReport::output_neverReplacesWhatIsNotItsOwn_data() {
    QTest::addColumn<QString>("target"); // what stands at {out} before the run
    QTest::addColumn<int>("umask");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::addColumn<int>("mode"); // of the page written; 0: not a regular file's
    QTest::newRow("a new file") << "nothing" << 022 << 0 << "" << 0644;
    QTest::newRow("a new file under umask 077") << "nothing" << 077 << 0 << "" << 0600;
    QTest::newRow("a file made again keeps its mode") << "file 0640" << 022 << 0 << "" << 0640;
    QTest::newRow("what a killed run left beside the page goes, another run's new one stays")
        << "left beside" << 022 << 0 << "" << 0644;
    QTest::newRow("a link: its target replaced") << "link" << 022 << 0 << "" << 0600;
    QTest::newRow("a FIFO written straight through") << "fifo" << 022 << 0 << "" << 0;
    QTest::newRow("standard output") << "-" << 022 << 0 << "" << 0;
    QTest::newRow("standard output sent by the shell into a file to read")
        << "standard output into an input" << 022 << 2 << "the standard output is one of the files to read" << 0;
    QTest::newRow("/dev/stdout into a pipe") << "/dev/stdout" << 022 << 0 << "" << 0;
    QTest::newRow("a full disk") << "full" << 022 << 1 << "No space left on device" << 0;
    QTest::newRow("a folder: an earlier report's pages go, the user's files stay")
        << "folder with an earlier report" << 022 << 0 << "" << 0;
    QTest::newRow("a folder of pages in the class's folder, read with -r: its pages passed over, its other files not")
        << "folder with an earlier report, in the class" << 022 << 0 << "notes.html: not read" << 0;
    QTest::newRow("a folder of pages in the class's folder, read without -r: not listed as a folder not read")
        << "folder with an earlier report, in the class, without -r" << 022 << 0 << "" << 0;
    QTest::newRow("an earlier report's pages saved again by an editor, or emptied: replaced")
        << "earlier report saved again" << 022 << 0 << "" << 0;
    QTest::newRow("a folder whose index.html is the user's own: not replaced, nothing written")
        << "folder with the user's index" << 022 << 1 << "no page of an earlier report" << 0;
    QTest::newRow("a page of the folder linked to an input")
        << "folder, index.html linked to input" << 022 << 2 << "is one of the files to read" << 0;
    QTest::newRow("an input named through a link") << "link to input" << 022 << 2 << "is one of the files to read" << 0;
    QTest::newRow("a link to a record file not read")
        << "link to a record file" << 022 << 2 << "a student's record file, which the report never writes over" << 0;
    QTest::newRow("a page of the folder linked to a record file not read")
        << "folder, index.html linked to a record file" << 022 << 1
        << "a student's record file, which the report never writes over" << 0;
}

void TestReport::output_neverReplacesWhatIsNotItsOwn() {
    QFETCH(QString, target);
    QFETCH(int, umask);
    QFETCH(int, status);
    QFETCH(QString, says);
    QFETCH(int, mode);
    QTemporaryDir dir;
    const QString d = dir.path();
    const QByteArray input = runFile(false, "[v\xba", "001", carriedRun());
    writeBytes(d + "/class/send_0107Ann_Lee.txt", input);
#ifdef Q_OS_WIN
    Q_UNUSED(mode); // Windows' files have no mode
    if (target.contains("link")) {
        QSKIP("QFile::link makes a shortcut file on Windows, not a symbolic link that the system follows");
    } else if (target == "fifo") {
        QSKIP("Windows' file system holds no FIFO");
    } else if (target == "/dev/stdout") {
        QSKIP("Windows has no /dev/stdout: standard output is named \"-\" there, which the row before tries");
    } else if (target == "standard output into an input") {
        QSKIP("the standard output's file is looked up through /dev/stdout, which Windows has not");
    } else if (umask != 022) {
        QSKIP("Windows has no umask: a new file takes the access list of its folder");
    } else if (target == "full") {
        QSKIP("a program mounts no small disk on Windows");
    }
#endif
    QString out = d + "/out.html";
    const QString stored = d + "/stored.html";             // where a link points
    const QString other = d + "/other/send_0108Bo_Ek.txt"; // a student's record file that is not read
    writeBytes(other, "Bo's");
    QByteArray fromFifo;
    std::thread reader;
    if (target == "left beside") {
        writeBytes(out + ".123456.tmp", "half a page");
        QFile left(out + ".123456.tmp");
        QVERIFY(left.open(QIODevice::ReadWrite) &&
                left.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        writeBytes(out + ".654321.tmp", "being written");
    }
    if (target == "file 0640") {
        writeBytes(out, "old");
#ifdef Q_OS_WIN
        // Windows' counterpart of a mode: the attributes, which a page made again keeps
        QVERIFY(SetFileAttributesW(reinterpret_cast<const wchar_t*>(out.utf16()), FILE_ATTRIBUTE_HIDDEN));
#else
        QVERIFY(::chmod(qPrintable(out), 0640) == 0);
#endif
    } else if (target == "link") {
        writeBytes(stored, "old");
        QVERIFY(QFile::setPermissions(stored, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(QFile::link(stored, out));
    } else if (target == "link to input") {
        QVERIFY(QFile::link(d + "/class/send_0107Ann_Lee.txt", out));
    } else if (target == "link to a record file") {
        QVERIFY(QFile::link(other, out));
    } else if (target.startsWith("folder with an earlier report")) {
        out = target.contains("in the class") ? d + "/class/pages" : d + "/pages";
        const QByteArray start = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                                 "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'\">";
        writeBytes(out + "/student-9.html", start + "another class's student");
        writeBytes(out + "/student-8.html", "a page of the user's own");
        writeBytes(out + "/notes.html", start);
#ifndef Q_OS_WIN // QFile::link makes a shortcut file on Windows, not a symbolic link
        QVERIFY(QFile::link(out + "/notes.html", out + "/student-7.html"));
#endif
    } else if (target == "earlier report saved again") {
        out = d + "/pages";
        QVERIFY(QProcess::execute(programPath(), {"-o", out, d + "/class"}) == 0);
        writeBytes(out + "/index.html", "\xEF\xBB\xBF" + fileBytes(out + "/index.html").replace("\n", "\r\n"));
        writeBytes(out + "/student-1.html", "");
    } else if (target == "folder with the user's index") {
        out = d + "/pages";
        writeBytes(out + "/index.html", "<p>my own index</p>");
    } else if (target.startsWith("folder")) {
        out = d + "/pages";
        QVERIFY(QDir().mkpath(out));
        QVERIFY(QFile::link(target.endsWith("a record file") ? other : d + "/class/send_0107Ann_Lee.txt",
                            out + "/index.html"));
    } else if (target == "-" || target == "/dev/stdout") {
        out = target;
    } else if (target == "standard output into an input") {
        out = "-";
    }
#ifndef Q_OS_WIN
    else if (target == "fifo") {
        QVERIFY(::mkfifo(qPrintable(out), 0600) == 0);
        reader = std::thread([&] { fromFifo = fileBytes(out); });
    } else if (target == "full") {
        QVERIFY(QDir().mkpath(d + "/full"));
        if (::mount("tmpfs", qPrintable(d + "/full"), "tmpfs", 0, "size=4k") != 0) {
            QSKIP("a small tmpfs cannot be mounted here (it needs root): the full disk is not tried");
        }
        out = d + "/full/out.html";
    }
#endif
#ifndef Q_OS_WIN
    const mode_t before = ::umask(static_cast<mode_t>(umask));
#endif
    QProcess program;
    if (target == "standard output into an input") {
        program.setStandardOutputFile(d + "/class/send_0107Ann_Lee.txt", QIODevice::Append);
    }
    program.start(programPath(), QStringList{"-o", out, d + "/class"} +
                                     (target.endsWith("in the class") ? QStringList{"-r"} : QStringList{}));
    const bool finished = program.waitForFinished(60000);
#ifndef Q_OS_WIN
    ::umask(before);
#endif
    if (reader.joinable()) {
        reader.join();
    }
    const QByteArray page = out == "-" || out == "/dev/stdout" ? program.readAllStandardOutput()
                            : target == "fifo"                 ? fromFifo
                            : target.startsWith("folder") || target.startsWith("earlier")
                                ? fileBytes(out + "/index.html")
                                : fileBytes(out);
    const QString error = QString::fromLocal8Bit(program.readAllStandardError());
    const QStringList left = QDir(d + "/full").entryList(QDir::Files | QDir::Hidden);
#ifndef Q_OS_WIN
    if (target == "full") {
        ::umount(qPrintable(d + "/full"));
    }
#endif
    QVERIFY(finished);
    QVERIFY2(program.exitCode() == status, qPrintable(error));
    QVERIFY2(error.contains(says), qPrintable(error));
    QVERIFY2(!error.contains("student-"), qPrintable(error));        // a report's pages are not records not read
    QVERIFY2(!error.contains("pages: not read"), qPrintable(error)); // nor is the folder of them
    QCOMPARE(fileBytes(d + "/class/send_0107Ann_Lee.txt"), input);
    QCOMPARE(fileBytes(other), QByteArray("Bo's"));
    QVERIFY(left.isEmpty()); // no file of its own left behind on a failure
    if (target == "folder with the user's index") {
        QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"index.html"});
        QCOMPARE(fileBytes(out + "/index.html"), QByteArray("<p>my own index</p>"));
    }
    if (status != 0) {
        return;
    }
    QVERIFY(page.contains("Ann Lee"));
    if (target.startsWith("earlier")) {
        QVERIFY(!page.startsWith("\xEF\xBB\xBF") && fileBytes(out + "/student-1.html").contains("Ann Lee"));
    }
    if (target == "left beside") {
        QVERIFY(!QFileInfo::exists(out + ".123456.tmp") && QFile::remove(out + ".654321.tmp"));
    }
    if (target.startsWith("folder")) {
        QVERIFY(!QFileInfo::exists(out + "/student-9.html"));
        QCOMPARE(fileBytes(out + "/student-8.html"), QByteArray("a page of the user's own"));
#ifndef Q_OS_WIN
        QVERIFY(QFileInfo(out + "/student-7.html").isSymLink() && QFileInfo::exists(out + "/notes.html"));
#endif
    }
    const QFileInfo written(target == "link" ? stored : out);
    if (target == "link") {
        QVERIFY(QFileInfo(out).isSymLink());
    }
#ifdef Q_OS_WIN
    if (target == "file 0640") {
        const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(out.utf16()));
        QVERIFY(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN));
    }
#else
    if (target == "fifo") {
        struct stat st {};
        QVERIFY(::stat(qPrintable(out), &st) == 0 && S_ISFIFO(st.st_mode));
    }
    if (mode != 0) {
        struct stat st {};
        QVERIFY(::stat(qPrintable(written.filePath()), &st) == 0 && S_ISREG(st.st_mode));
        QCOMPARE(static_cast<int>(st.st_mode & 0777), mode);
    }
#endif
    QCOMPARE(QDir(d).entryList(QDir::Files | QDir::Hidden | QDir::System).filter(".tmp"), QStringList());
}

namespace {

// The files of a report folder, not below it, by name.
QMap<QString, QByteArray> folderFiles(const QString& folder) {
    QMap<QString, QByteArray> files;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        files.insert(f.fileName(), fileBytes(f.filePath()));
    }
    return files;
}

// The links of every page that lead to no page of the folder.
QStringList brokenLinks(const QString& folder) {
    static const QRegularExpression link(QStringLiteral("href=\"([^\"#]+)"));
    QStringList broken;
    for (const QString& page : QDir(folder).entryList({"*.html"}, QDir::Files)) {
        for (const auto& m : link.globalMatch(QString::fromUtf8(fileBytes(folder + "/" + page)))) {
            if (!QFileInfo::exists(folder + "/" + m.captured(1))) {
                broken << page + " -> " + m.captured(1);
            }
        }
    }
    return broken;
}

// A class of the given students, each with a run of assignment 001 whose responses are `size` characters long.
void writeClass(const QString& folder, int students, int size) {
    QList<Press> presses = carriedRun();
    presses[0].text = QString(size, u'x');
    for (int s = 0; s < students; ++s) {
        writeBytes(folder + QStringLiteral("/send_0107Student_%1.txt").arg(s + 1),
                   runFile(false, "[v\xba", "001", presses));
    }
}

} // namespace

void TestReport::output_folderWholeOrUntouched_data() {
    QTest::addColumn<QString>("earlier"); // the class of the report that stands: "" none, else "students:size"
    QTest::addColumn<QString>("later");   // the class of the report that replaces it
    // pages a killed run put in place before the later one (100 more: the folder was moved since; 200 more: a run put
    // them back and was killed before its plan went; 300 more: the plan names a file outside); -1: none killed; -2:
    // another report, still running, writes into the folder; -3: a run stopped while it made its lock left it empty;
    // -4: a folder has the lock's name
    QTest::addColumn<int>("killedAfter");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    // The disk holds 256 KB: a class of 40 responses of 6,000 characters does not fit, twice over on the pages.
    QTest::newRow("a later report replaces the earlier whole") << "3:100"
                                                               << "2:100" << -1 << 0 << "";
    QTest::newRow("the disk fills while an earlier report is replaced")
        << "3:100"
        << "40:6000" << -1 << 1 << "No space left on device";
    QTest::newRow("a first report on a disk that fills") << ""
                                                         << "40:6000" << -1 << 1 << "No space left on device";
    QTest::newRow("another report writes into the folder: the later one waits for it, then replaces the report")
        << "3:100"
        << "2:100" << -2 << 0 << "another report is being written into it";
    QTest::newRow("an empty lock that a stopped run left is taken away") << "3:100"
                                                                         << "2:100" << -3 << 0 << "";
    QTest::newRow("a folder in the lock's place: the report fails, the folder untouched")
        << "3:100"
        << "2:100" << -4 << 1 << "it is not a lock that a report made";
    // A run killed while it put pages in place, the earlier index aside first and the new one last, left the earlier
    // report's pages aside with the plan; the next run puts them back before it writes, and here fails at once: a page
    // it would write is a folder.
    for (const int placed : {0, 1, 3, 4, 5}) {
        QTest::addRow("killed after %d pages placed: the earlier report put back", placed)
            << "2:100"
            << "3:100" << placed << 1 << "is a folder";
    }
    QTest::newRow("killed while placing, the folder moved since: put back where it is now")
        << "2:100"
        << "3:100" << 104 << 1 << "is a folder";
    QTest::newRow("killed while placing, put back by a run killed in turn: nothing taken away twice")
        << "2:100"
        << "3:100" << 204 << 1 << "is a folder";
    QTest::newRow("a plan that names a file beyond the folder's pages: that file is left alone")
        << "2:100"
        << "3:100" << 304 << 1 << "is a folder";
}

void TestReport::output_folderWholeOrUntouched() {
    QFETCH(QString, earlier);
    QFETCH(QString, later);
    QFETCH(int, killedAfter);
    QFETCH(int, status);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString d = dir.path();
    QVERIFY(QDir().mkpath(d + "/disk"));
    const bool full = status == 1 && killedAfter == -1;
#ifdef Q_OS_WIN
    if (full) {
        QSKIP("a program mounts no small disk on Windows");
    }
#else
    if (full && ::mount("tmpfs", qPrintable(d + "/disk"), "tmpfs", 0, "size=256k") != 0) {
        QSKIP("a small tmpfs cannot be mounted here (it needs root): the full disk is not tried");
    }
    const auto unmount = qScopeGuard([&] {
        if (full) {
            ::umount2(qPrintable(d + "/disk"), MNT_DETACH);
        }
    });
#endif
    QString out = d + "/disk/pages";
    const int then = killedAfter / 100; // what happened after the killed run
    killedAfter = killedAfter >= 0 ? killedAfter % 100 : killedAfter;
    QMap<QString, QByteArray> before; // the folder before the later report
    const auto report = [&](const QString& class_, const QString& folder, QLockFile* held = nullptr) {
        const QStringList sizes = class_.split(u':');
        const QString from = d + "/" + QString(class_).replace(u':', u'-');
        writeClass(from, sizes[0].toInt(), sizes[1].toInt());
        QProcess program;
        program.start(programPath(), {"-o", folder, from});
        QString error;
        if (held) {
            // the other report, as this process stands for it, lets go once the later one waits, the folder untouched
            const QDeadlineTimer deadline(60000);
            while (!error.contains("waits for it to end") && program.state() != QProcess::NotRunning &&
                   !deadline.hasExpired()) {
                program.waitForReadyRead(100);
                error += QString::fromLocal8Bit(program.readAllStandardError());
            }
            [&] {
                QMap<QString, QByteArray> files = folderFiles(folder);
                files.remove(".qadrill-report.lock"); // the other report's
                QCOMPARE(files, before);
                QVERIFY(!QFileInfo::exists(folder + "/.qadrill-report.tmp"));
            }();
            held->unlock();
        }
        program.waitForFinished(60000);
        return std::make_pair(program.exitCode(), error + QString::fromLocal8Bit(program.readAllStandardError()));
    };
    if (!earlier.isEmpty()) {
        QCOMPARE(report(earlier, out).first, 0);
    }
    before = folderFiles(out);
    QCOMPARE(brokenLinks(out), QStringList());
    if (killedAfter >= 0) {
        // the folder as a run of the later report leaves it when killed after placing killedAfter of its pages
        QCOMPARE(report(later, d + "/made").first, 0);
        QStringList names = QDir(d + "/made").entryList({"*.html"}, QDir::Files);
        names.removeAll("index.html");
        names << "index.html";
        QVERIFY(killedAfter <= names.size());
        const QString work = out + "/.qadrill-report.tmp";
        QVERIFY(QDir().mkpath(work + "/new") && QDir().mkpath(work + "/old"));
        QVERIFY(QFile::rename(out + "/index.html", work + "/old/index.html")); // the earlier index aside first
        QByteArray plan;
        for (int i = 0; i < names.size(); ++i) {
            const QString& name = names[i];
            const bool stood = name == "index.html" || QFileInfo::exists(out + "/" + name); // the index is aside
            plan += name.toUtf8().toPercentEncoding() + (stood ? "\t1\n" : "\t0\n");
            if (i < killedAfter && stood && name != "index.html") {
                QVERIFY(QFile::rename(out + "/" + name, work + "/old/" + name));
            }
            QVERIFY(QFile::copy(d + "/made/" + name, (i < killedAfter ? out : work + "/new") + "/" + name));
        }
        if (then == 3) {
            writeBytes(d + "/disk/keep.txt", "the user's");
            plan += "..%2Fkeep.txt\t0\n";
        }
        writeBytes(work + "/plan", plan);
        QVERIFY(QDir().mkpath(out + "/student-4.html"));
        later = "4:100";
        if (then == 1) {
            QVERIFY(QDir().rename(out, d + "/disk/moved"));
            out = d + "/disk/moved";
        } else if (then == 2) {
            // the run that put the earlier pages back, and its work folder as it was when the run was killed
            QCOMPARE(report(later, out).first, 1);
            QCOMPARE(folderFiles(out), before);
            QVERIFY(QDir().mkpath(work + "/new") && QDir().mkpath(work + "/old"));
            writeBytes(work + "/plan", plan);
        }
    }
    const QString lockName = out + "/.qadrill-report.lock";
    if (killedAfter == -3) {
        writeBytes(lockName, "");
        QFile left(lockName);
        QVERIFY(left.open(QIODevice::ReadWrite) &&
                left.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    } else if (killedAfter == -4) {
        QVERIFY(QDir().mkpath(lockName));
    }
    QLockFile other(lockName);
    QVERIFY(killedAfter != -2 || other.tryLock(0));
    const auto [code, error] = report(later, out, killedAfter == -2 ? &other : nullptr);
    QVERIFY2(code == status, qPrintable(error));
    QCOMPARE(QFileInfo::exists(lockName), killedAfter == -4);
    QVERIFY2(error.contains(says), qPrintable(error));
    QVERIFY(!QFileInfo::exists(out + "/.qadrill-report.tmp"));
    QCOMPARE(brokenLinks(out), QStringList());
    QVERIFY(then != 3 || QFileInfo::exists(d + "/disk/keep.txt"));
    if (status == 0) {
        const QMap<QString, QByteArray> after = folderFiles(out);
        QVERIFY(after.contains("index.html") && !after.contains("student-3.html"));
        QVERIFY(after != before);
    } else {
        QCOMPARE(folderFiles(out), before); // every page as it was, under its own name
    }
}

void TestReport::output_stoppedRemovalFinishedByTheNextRun_data() {
    QTest::addColumn<bool>("whole"); // the list of the pages to keep, as the stopped run left it
    QTest::newRow("the rest removed first") << true;
    QTest::newRow("a list cut short takes nothing away") << false;
}

// A run stopped after its report stood whole, while it removed the earlier report's pages that it did not write again,
// left some of them: the next run removes them first, even one that then fails.
void TestReport::output_stoppedRemovalFinishedByTheNextRun() {
    QFETCH(bool, whole);
    QTemporaryDir dir;
    const QString d = dir.path();
    const QString out = d + "/pages";
    const auto report = [&](int students, const QString& folder) {
        const QString class_ = d + QStringLiteral("/class-%1").arg(students);
        writeClass(class_, students, 100);
        QProcess program;
        program.start(programPath(), {"-o", folder, class_});
        program.waitForFinished(60000);
        return std::make_pair(program.exitCode(), QString::fromLocal8Bit(program.readAllStandardError()));
    };
    QCOMPARE(report(3, out).first, 0);
    QCOMPARE(report(2, d + "/made").first, 0);
    const QMap<QString, QByteArray> made = folderFiles(d + "/made");
    QByteArray kept;
    for (auto page = made.begin(); page != made.end(); ++page) {
        QVERIFY(!QFileInfo::exists(out + "/" + page.key()) || QFile::remove(out + "/" + page.key()));
        writeBytes(out + "/" + page.key(), page.value());
        kept += page.key().toUtf8().toPercentEncoding() + '\n';
    }
    writeBytes(out + "/.qadrill-report.tmp/kept", whole ? kept + ".\n" : kept.left(kept.indexOf('\n') + 1));
    const QByteArray left = fileBytes(out + "/student-3.html"); // the earlier report's, not yet removed
    QVERIFY(!left.isEmpty());
    QVERIFY(QDir().mkpath(out + "/student-4.html"));
    const auto [code, error] = report(4, out);
    QVERIFY2(code == 1 && error.contains("is a folder"), qPrintable(error));
    QMap<QString, QByteArray> expected = made;
    if (!whole) {
        expected.insert("student-3.html", left);
    }
    QCOMPARE(folderFiles(out), expected);
    QCOMPARE(brokenLinks(out), QStringList());
}

void TestReport::interrupted_leavesWholePagesOnly_data() {
    QTest::addColumn<int>("signal");
#ifndef Q_OS_WIN
    QTest::newRow("Ctrl+C") << int(SIGINT);
    QTest::newRow("the terminal closed") << int(SIGHUP);
    QTest::newRow("the session ends") << int(SIGTERM);
#endif
}

// Interrupted while it writes a class's pages, the program leaves each page whole or not there, and no file of its
// own beside them.
void TestReport::interrupted_leavesWholePagesOnly() {
#ifdef Q_OS_WIN
    QSKIP("a Windows console's Ctrl+C comes from outside the program: scripts/windows/wine-test sends it to "
          "qadrill-report.exe under Wine");
#else
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString d = dir.path();
    for (int i = 0; i < 300; ++i) {
        writeBytes(d + QStringLiteral("/class/send_0107Student_%1.txt").arg(i), runFile(false, "[v", "001", runB));
    }
    QProcess whole;
    whole.start(programPath(), {"-o", d + "/whole", d + "/class"});
    QVERIFY(whole.waitForFinished(120000) && whole.exitCode() == 0);
    const QStringList pages = QDir(d + "/whole").entryList(QDir::Files);
    QVERIFY(pages.size() > 300);

    int cutShort = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString out = d + QStringLiteral("/cut%1").arg(attempt);
        QProcess program;
        program.start(programPath(), {"-o", out, d + "/class"});
        QVERIFY(program.waitForStarted());
        // the signal comes once a few pages are made: while the others are being written
        const QDeadlineTimer deadline(120000);
        while (QDir(out + "/.qadrill-report.tmp/new").entryList(QDir::Files).size() < 5 * (attempt + 1) &&
               program.state() == QProcess::Running && !deadline.hasExpired()) {
            QThread::usleep(200);
        }
        QVERIFY(program.state() == QProcess::Running);
        QVERIFY(::kill(static_cast<pid_t>(program.processId()), signal) == 0);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::CrashExit);
        QVERIFY(!QFileInfo::exists(out + "/.qadrill-report.tmp"));
        const QStringList left = QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System);
        QVERIFY(QFileInfo::exists(out) == !left.isEmpty()); // a first report stopped leaves no folder
        cutShort += left.size() < pages.size();
        for (const QString& name : left) {
            QVERIFY2(pages.contains(name), qPrintable(name));
            QVERIFY2(fileBytes(out + u'/' + name) == fileBytes(d + "/whole/" + name), qPrintable(name));
        }
    }
    QVERIFY(cutShort > 0);
#endif
}

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
