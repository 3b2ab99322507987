#include "problems/linestore.h"
#include "problems/markup.h"
#include "records/codepage.h"
#include "support/testrun.h"

#include <QTest>

#include <map>

// The document the program carries, as the line store holds it after start-up.
class TestDocument : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void dataFile_parsesCleanly();
    void assignments_atTheirIndices_data();
    void assignments_atTheirIndices();
    void kinds_counted();
    void layout_ofEveryAssignment();
    void questionNumbers_riseFromOne();
    void departures_eachPresent();
    void size_likeTheCourse();
    void everyCharacter_inTheCodePage();

    // The format of the data file
    void parse_data();
    void parse();

private:
    std::unique_ptr<TestRun> m_run;
    const ProblemLines* m_lines = nullptr;
};

namespace {
constexpr int headings[] = {1, 26, 64, 106, 148, 187};
constexpr int closings[] = {24, 62, 104, 146, 185, 239};
} // namespace

void TestDocument::initTestCase() {
    m_run = std::make_unique<TestRun>(QStringList{"A", "", "1"});
    QVERIFY(m_run->start());
    m_lines = &m_run->form->runState().problemLines;
}

void TestDocument::dataFile_parsesCleanly() {
    QStringList errors;
    const QStringList lines = linestore::parseDocument(linestore::carriedDocumentText(), &errors);
    QCOMPARE(errors, QStringList());
    QCOMPARE(lines.size(), 239);
    for (int i = 0; i < lines.size(); ++i) {
        QCOMPARE((*m_lines)[i + 1], lines[i]);
    }
    QVERIFY((*m_lines)[0].isEmpty());
    for (int i = 240; i <= 5000; ++i) {
        QVERIFY2((*m_lines)[i].isEmpty(), qPrintable(QString::number(i)));
    }
}

void TestDocument::assignments_atTheirIndices_data() {
    QTest::addColumn<int>("number");
    for (int n = 1; n <= 6; ++n) {
        QTest::newRow(qPrintable(QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')))) << n;
    }
}

void TestDocument::assignments_atTheirIndices() {
    QFETCH(int, number);
    const QString nbr = QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0'));
    const int heading = headings[number - 1];
    const int closing = closings[number - 1];
    QVERIFY2((*m_lines)[heading].startsWith(nbr + ".  "), qPrintable((*m_lines)[heading]));
    QVERIFY((*m_lines)[heading].size() > 6);
    QCOMPARE((*m_lines)[closing], QStringLiteral("end program"));
    // the first line that opens this assignment is its heading, and no line inside it starts with the next number
    for (int i = 1; i < heading; ++i) {
        QVERIFY(!markup::opensAssignment((*m_lines)[i], nbr));
    }
    const QString following = QStringLiteral("%1").arg(number + 1, 3, 10, QLatin1Char('0'));
    for (int i = heading + 1; i <= closing; ++i) {
        QVERIFY2(!markup::isHeadingOf((*m_lines)[i], following), qPrintable(QString::number(i)));
        QVERIFY(!markup::beginsWithEndOfTextMarker((*m_lines)[i]));
    }
    if (number == 5) {
        QCOMPARE((*m_lines)[heading], QStringLiteral("005.  Calculus"));
    }
}

void TestDocument::kinds_counted() {
    std::map<markup::LineKind, int> counts;
    for (int i = 1; i <= 239; ++i) {
        ++counts[markup::kindOf((*m_lines)[i])];
    }
    using K = markup::LineKind;
    QCOMPARE(counts[K::Heading], 6);
    QCOMPARE(counts[K::Question], 45);
    QCOMPARE(counts[K::Answer], 52);
    QCOMPARE(counts[K::Closing], 6);
    QCOMPARE(counts[K::Text], 9);
    QCOMPARE(counts[K::Separator], 121);
    QCOMPARE(counts[K::Routine], 0);
}

void TestDocument::layout_ofEveryAssignment() {
    using K = markup::LineKind;
    for (int a = 0; a < 6; ++a) {
        const int h = headings[a];
        const int c = closings[a];
        QCOMPARE(markup::kindOf((*m_lines)[h]), K::Heading);
        QVERIFY((*m_lines)[h + 1].isEmpty());
        QVERIFY(!(*m_lines)[h + 3].isEmpty() || !(*m_lines)[h + 2].isEmpty()); // one or two separators
        int emptyRun = 0;
        for (int i = h + 1; i < c; ++i) {
            const K kind = markup::kindOf((*m_lines)[i]);
            QVERIFY2(kind != K::Heading && kind != K::Closing, qPrintable(QString::number(i)));
            emptyRun = kind == K::Separator ? emptyRun + 1 : 0;
            QVERIFY2(emptyRun <= 2, qPrintable(QString::number(i)));
        }
        if (a < 5) {
            QVERIFY((*m_lines)[c + 1].isEmpty());
            QCOMPARE(c + 2, headings[a + 1]);
        }
    }
}

void TestDocument::questionNumbers_riseFromOne() {
    for (int a = 0; a < 6; ++a) {
        int expected = 1;
        for (int i = headings[a] + 1; i < closings[a]; ++i) {
            const QString& line = (*m_lines)[i];
            if (markup::beginsWithQuestionMarker(line)) {
                QCOMPARE(line.mid(2, 3), QStringLiteral("%1").arg(expected, 3, 10, QLatin1Char('0')));
                ++expected;
            } else if (line.size() > 3 && line.mid(1, 2) == u"`q") {
                // a starred question holds its own place in the numbering
                QCOMPARE(line.mid(3, 3), QStringLiteral("%1").arg(expected, 3, 10, QLatin1Char('0')));
                ++expected;
            }
        }
        QVERIFY(expected > 1);
    }
}

void TestDocument::departures_eachPresent() {
    int oneBlank = 0, noPoint = 0, starred = 0, splitAnswers = 0, inlineBackquotes = 0, braces = 0;
    for (int i = 1; i <= 239; ++i) {
        const QString& line = (*m_lines)[i];
        if (markup::beginsWithQuestionMarker(line)) {
            oneBlank += line.size() > 7 && line.at(5) == u'.' && line.at(6) == u' ' && line.at(7) != u' ';
            noPoint += line.at(5) != u'.';
        }
        starred += markup::kindOf(line) == markup::LineKind::Text && line.mid(1, 2) == u"`q";
        splitAnswers += markup::beginsWithAnswerMarker(line) && markup::beginsWithAnswerMarker((*m_lines)[i - 1]);
        const bool isMarked = line.startsWith(u'`') || line.mid(1, 2) == u"`q";
        inlineBackquotes += line.count(u'`') - (isMarked ? 1 : 0);
        braces += line.count(QStringLiteral("{}"));
    }
    QVERIFY(oneBlank >= 1);
    QVERIFY(noPoint >= 1);
    QVERIFY(starred >= 1);
    QVERIFY(splitAnswers >= 1);
    QCOMPARE(inlineBackquotes, 1);
    QVERIFY(braces >= 2);
}

void TestDocument::size_likeTheCourse() {
    qsizetype total = 0, longest = 0;
    int withBreaks = 0;
    for (int i = 1; i <= 239; ++i) {
        const QString& line = (*m_lines)[i];
        total += line.size();
        longest = std::max(longest, line.size());
        withBreaks += line.contains(QStringLiteral("\r\n"));
    }
    QVERIFY2(total >= 50000 && total <= 70000, qPrintable(QString::number(total)));
    QVERIFY2(longest > 1500, qPrintable(QString::number(longest)));
    QVERIFY2(withBreaks >= 60 && withBreaks <= 90, qPrintable(QString::number(withBreaks)));
}

void TestDocument::everyCharacter_inTheCodePage() {
    for (int i = 1; i <= 239; ++i) {
        for (const QChar c : (*m_lines)[i]) {
            unsigned char byte = 0;
            QVERIFY2(codepage::fromUnicode(c.unicode(), byte), qPrintable(QStringLiteral("line %1").arg(i)));
            QVERIFY2(c >= u' ' || c == u'\r' || c == u'\n', qPrintable(QStringLiteral("line %1").arg(i)));
        }
        QVERIFY2(!(*m_lines)[i].contains(u'\n') ||
                     (*m_lines)[i].count(u'\n') == (*m_lines)[i].count(QStringLiteral("\r\n")),
                 "line breaks inside a line are CR LF");
    }
}

void TestDocument::parse_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("errors");
    QTest::newRow("lines and separators") << "= a\n=\n= b\n" << QStringList{"a", "", "b"} << 0;
    QTest::newRow("continuations and paragraphs") << "= a\n+ b\n+\n+ c\n" << QStringList{"a\r\nb\r\n\r\nc"} << 0;
    QTest::newRow("comments and layout lines") << "# note\n\n= a\n\n# more\n= b" << QStringList{"a", "b"} << 0;
    QTest::newRow("CR LF file") << "= a\r\n+ b\r\n" << QStringList{"a\r\nb"} << 0;
    QTest::newRow("text kept exactly") << "= `q001.  x  {}\n" << QStringList{"`q001.  x  {}"} << 0;
    QTest::newRow("untagged line") << "= a\nplain\n" << QStringList{"a"} << 1;
    QTest::newRow("tag without blank") << "=a\n" << QStringList{} << 1;
    QTest::newRow("continuation first") << "+ a\n= b\n" << QStringList{"b"} << 1;
}

void TestDocument::parse() {
    QFETCH(QString, file);
    QFETCH(QStringList, lines);
    QFETCH(int, errors);
    QStringList found;
    QCOMPARE(linestore::parseDocument(file, &found), lines);
    QCOMPARE(found.size(), errors);
}

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
