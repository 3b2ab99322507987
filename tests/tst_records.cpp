#include "app/platform.h"
#include "records/codepage.h"
#include "records/durablefile.h"
#include "records/linecoding.h"
#include "records/numbertext.h"
#include "records/recordblocks.h"
#include "records/recordpaths.h"
#include "records/recordreader.h"
#include "records/recordwriter.h"
#include "support/fixtures.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <random>

// Line coding, the code page, numbers as text, record paths and the append writer: everything below the window.
class TestRecords : public QObject {
    Q_OBJECT
private slots:
    // Line coding
    void code_returnsLineUnchanged_data();
    void code_returnsLineUnchanged();
    void remSpaces_dropsBlanksAndHyphens_data();
    void remSpaces_dropsBlanksAndHyphens();
    void makeCodeLine_overManySeeds_staysInItsAlphabet();
    void makeCodeLine_drawsInOrder();

    // Numbers as text
    void readNumber_data();
    void readNumber();
    void numberText_data();
    void numberText();
    void assignmentNumbers_data();
    void assignmentNumbers();

    // Code page
    void codePage_everyByteRoundTrips();
    void codePage_readableForms_data();
    void codePage_readableForms();

    // Record paths
    void namePart_data();
    void namePart();
    void namePart_tooLong_isCutAndMarked_data();
    void namePart_tooLong_isCutAndMarked();
    void recordPaths_data();
    void recordPaths();
    void nativePath_data();
    void nativePath();

    // Blocks and the writer
    void responseBlock_sendFileLacksNumberLines();
    void appendAll_writesEveryFileOrNone();
    void appendAll_fullDisk_takesBackEarlierFiles();
    void appendAll_appendsNeverTruncates();
    void appendAll_sameFileTwice_writesBothWithoutWaiting();
    void appendAll_lockedByAnotherOpening_givesUpThenWrites();
    void replace_putsNewFileInPlaceOfOld();
    void pathWithNul_refusedWithoutOpeningAnything();

    // Reading blocks back
    void readBack_writerBlocks_sameFields_data();
    void readBack_writerBlocks_sameFields();
    void readBack_filesOfRuns_everyBlockWithoutProblems_data();
    void readBack_filesOfRuns_everyBlockWithoutProblems();
    void readBack_damagedFile_readsTheRestAndSaysWhere_data();
    void readBack_damagedFile_readsTheRestAndSaysWhere();
    void readBack_cutBeforeTheLabel_entryAsWritten_data();
    void readBack_cutBeforeTheLabel_entryAsWritten();
};

void TestRecords::code_returnsLineUnchanged_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<float>("codeNbr");
    QTest::newRow("empty") << QString() << 19.0f;
    QTest::newRow("assignment line") << QStringLiteral("assignment #005") << 23.0f;
    QTest::newRow("line breaks kept") << QStringLiteral("a\r\nb\r\n\r\nc") << 28.0f;
    QTest::newRow("high characters") << QStringLiteral("\u20ac\u00ff\u0081") << 20.0f;
}

void TestRecords::code_returnsLineUnchanged() {
    QFETCH(QString, line);
    QFETCH(float, codeNbr);
    QCOMPARE(linecoding::code(line, codeNbr), line);
}

void TestRecords::remSpaces_dropsBlanksAndHyphens_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("graph 1") << "graph 1"
                             << "graph1";
    QTest::newRow("exit-prog") << "exit-prog"
                               << "exitprog";
    QTest::newRow("blanks around") << " graph 3 "
                                   << "graph3";
    QTest::newRow("only blanks and hyphens") << "- -"
                                             << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("tabs and underscores stay") << "a\t_b"
                                               << "a\t_b";
    QTest::newRow("case kept") << "Ex It-Prog"
                               << "ExItProg";
}

void TestRecords::remSpaces_dropsBlanksAndHyphens() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(linecoding::remSpaces(text), expected);
}

void TestRecords::makeCodeLine_overManySeeds_staysInItsAlphabet() {
    for (int seed = 0; seed < 2000; ++seed) {
        RandomSequence sequence;
        sequence.seed(static_cast<float>(seed) * 0.731f);
        const float codeNbr = static_cast<float>(19 + seed % 10);
        const QString line = linecoding::makeCodeLine(codeNbr, [&] { return sequence.next(); });
        QVERIFY2(line.size() >= codeNbr && line.size() <= 2 * codeNbr, qPrintable(QString::number(seed)));
        const QByteArray bytes = codepage::encode(line);
        QCOMPARE(bytes.size(), line.size()); // every character is one code-page byte
        for (const char c : bytes) {
            const int b = static_cast<unsigned char>(c);
            QVERIFY2(b >= 66 && b != 117, qPrintable(QStringLiteral("seed %1 byte %2").arg(seed).arg(b)));
        }
    }
    QCOMPARE(linecoding::makeCodeLine(0, [] { return 0.5f; }), QString());
}

void TestRecords::makeCodeLine_drawsInOrder() {
    // pass 1: r below 0.1, so s (0.5 -> 91 "[") then t (0 -> 118 "v"); pass 2: r = 0.1 is not below, t -> 255
    std::vector<float> draws{0.05f, 0.5f, 0.0f, 0.1f, 1.0f - 1.0f / 16777216.0f};
    std::size_t next = 0;
    const QString line = linecoding::makeCodeLine(2, [&] { return draws.at(next++); });
    QCOMPARE(next, draws.size());
    QCOMPARE(codepage::encode(line), QByteArray("[v\xff"));
    // halves go to the even number: 0.01 * 50 + 66 = 66.5 -> 66; t = 0.5 -> 186.5 -> 186
    draws = {0.05f, 0.01f, 0.5f};
    next = 0;
    QCOMPARE(codepage::encode(linecoding::makeCodeLine(1, [&] { return draws.at(next++); })), QByteArray("B\xba"));
}

void TestRecords::readNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("three digits") << "005" << 5.0;
    QTest::newRow("blank and seven") << " 7." << 7.0;
    QTest::newRow("blank and twelve") << " 12" << 12.0;
    QTest::newRow("no digits") << "  ." << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("stops at letter") << "12ab" << 12.0;
    QTest::newRow("blanks inside skipped") << " 1 2" << 12.0;
    QTest::newRow("tabs and line feeds") << "\t\n3" << 3.0;
    QTest::newRow("sign") << "-4x" << -4.0;
    QTest::newRow("decimal point") << "2.5.1" << 2.5;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("exponent without digits") << "12e" << 12.0;
    QTest::newRow("carriage return stops") << "1\r2" << 1.0;
}

void TestRecords::readNumber() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(numbertext::readNumber(text), value);
}

void TestRecords::numberText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("item");
    QTest::newRow("seven") << 7.0 << " 7"
                           << " 7 ";
    QTest::newRow("zero") << 0.0 << " 0"
                          << " 0 ";
    QTest::newRow("question number") << 50012.0 << " 50012"
                                     << " 50012 ";
    QTest::newRow("negative") << -3.0 << "-3"
                              << "-3 ";
    QTest::newRow("fraction") << 2.5 << " 2.5"
                              << " 2.5 ";
    QTest::newRow("large") << 12340000.0 << " 12340000"
                           << " 12340000 ";
}

void TestRecords::numberText() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(QString, item);
    QCOMPARE(numbertext::numberText(value), text);
    QCOMPARE(numbertext::numberItem(value), item);
}

void TestRecords::assignmentNumbers_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("padded");
    QTest::addColumn<QString>("following");
    QTest::newRow("5") << "5"
                       << "005"
                       << "006";
    QTest::newRow("02") << "02"
                        << "002"
                        << "003";
    QTest::newRow("005") << "005"
                         << "005"
                         << "006";
    QTest::newRow("12") << "12"
                        << "012"
                        << "013";
    QTest::newRow("099") << "099"
                         << "099"
                         << "100";
    QTest::newRow("999") << "999"
                         << "999"
                         << "1000";
    QTest::newRow("1234") << "1234"
                          << "1234"
                          << "1235";
    QTest::newRow("abc") << "abc"
                         << "abc"
                         << "001";
    QTest::newRow("empty") << ""
                           << ""
                           << "001";
    QTest::newRow("blank") << " "
                           << "00 "
                           << "001";
}

void TestRecords::assignmentNumbers() {
    QFETCH(QString, typed);
    QFETCH(QString, padded);
    QFETCH(QString, following);
    QCOMPARE(numbertext::padAssignmentNbr(typed), padded);
    QCOMPARE(numbertext::followingAssignmentNbr(padded), following);
}

void TestRecords::codePage_everyByteRoundTrips() {
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    const QString text = codepage::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(codepage::encode(text), all);
    QCOMPARE(text.at(0x80), QChar(0x20AC));
    QCOMPARE(text.at(0x81), QChar(0x0081));
    QCOMPARE(text.at(0x9F), QChar(0x0178));
    QCOMPARE(text.at(0xE9), QChar(0x00E9));
}

void TestRecords::codePage_readableForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("code page text unchanged")
        << QStringLiteral("x\u00b2 \u00d7 3\u00b0 \u20ac") << QByteArray("x\xb2 \xd7 3\xb0 \x80");
    QTest::newRow("less or equal") << QStringLiteral("x \u2264 2") << QByteArray("x <= 2");
    QTest::newRow("greater or equal, not equal") << QStringLiteral("\u2265\u2260") << QByteArray(">=!=");
    QTest::newRow("square root") << QStringLiteral("\u221a(x)") << QByteArray("sqrt(x)");
    QTest::newRow("pi and infinity") << QStringLiteral("2\u03c0 \u221e") << QByteArray("2pi infinity");
    QTest::newRow("greek small and capital")
        << QStringLiteral("\u03b8\u0394\u03a9\u03c9") << QByteArray("thetaDeltaOmegaomega");
    QTest::newRow("minus sign") << QStringLiteral("\u2212 1") << QByteArray("- 1");
    QTest::newRow("other sign named") << QStringLiteral("\u2200x") << QByteArray("for all x");
    QTest::newRow("unknown escaped") << QStringLiteral("\u4e2d") << QByteArray("[U+4E2D]");
    QTest::newRow("emoji escaped") << QStringLiteral("a\U0001F600b") << QByteArray("a[U+1F600]b");
    QTest::newRow("lone surrogate escaped") << QString(QChar(0xD800)) << QByteArray("[U+D800]");
}

void TestRecords::codePage_readableForms() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(codepage::encode(text), bytes);
}

void TestRecords::namePart_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("part");
    QTest::newRow("two words") << "A B"
                               << "A_B";
    QTest::newRow("two blanks") << "Ann  Lee"
                                << "Ann__Lee";
    QTest::newRow("leading and trailing") << " Ann "
                                          << "_Ann_";
    QTest::newRow("slash") << "a/b"
                           << "a_b";
    QTest::newRow("backslash and dots") << "..\\..\\x"
                                        << ".._.._x";
    QTest::newRow("reserved characters") << "a:b*c?d\"e<f>g|h"
                                         << "a_b_c_d_e_f_g_h";
    QTest::newRow("control characters") << QStringLiteral("a\tb\nc") << "a_b_c";
    QTest::newRow("letters of other scripts kept")
        << QStringLiteral("\u0391\u03bd\u03bd\u03b1 \u674e") << QStringLiteral("\u0391\u03bd\u03bd\u03b1_\u674e");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("240 bytes, the longest kept whole") << QString(240, u'n') << QString(240, u'n');
    QTest::newRow("120 Greek letters, 240 bytes kept whole")
        << QString(120, QChar(0x03b1)) << QString(120, QChar(0x03b1));
}

void TestRecords::namePart() {
    QFETCH(QString, name);
    QFETCH(QString, part);
    QCOMPARE(recordpaths::namePart(name), part);
}

void TestRecords::namePart_tooLong_isCutAndMarked_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("keptStart");
    const QString latin = QString(150, u'a') + u' ' + QString(149, u'b'); // 300 characters
    QTest::newRow("300 Latin letters") << latin << recordpaths::namePart(latin.left(231));
    QTest::newRow("241 bytes") << QString(241, u'x') << QString(231, u'x');
    QTest::newRow("Greek, two bytes each") << QString(200, QChar(0x03c9)) << QString(115, QChar(0x03c9));
    QTest::newRow("Chinese, three bytes each") << QString(100, QChar(0x674e)) << QString(77, QChar(0x674e));
    // a pair of surrogates (four bytes) is never split: 57 pairs are 228 bytes, a 58th would not fit in 231
    QTest::newRow("emoji pairs") << QString(QStringLiteral("\U0001F600")).repeated(70)
                                 << QString(QStringLiteral("\U0001F600")).repeated(57);
}

void TestRecords::namePart_tooLong_isCutAndMarked() {
    QFETCH(QString, name);
    QFETCH(QString, keptStart);
    const QString part = recordpaths::namePart(name);
    QCOMPARE(part.left(part.size() - 9), keptStart);
    QVERIFY2(QRegularExpression(QStringLiteral("~[0-9a-f]{8}$")).match(part).hasMatch(), qPrintable(part.right(9)));
    QVERIFY(part.toUtf8().size() <= 240);
    const QString master = recordpaths::masterFilePath(QStringLiteral("c:\\tavimora"), name);
    QVERIFY(master.mid(master.lastIndexOf(u'\\') + 1).toUtf8().size() <= 255);
    // the same name always gives the same part; a name that differs only at its end gives another
    QCOMPARE(recordpaths::namePart(name), part);
    QString other = name;
    other[other.size() - 1] = u'z';
    QCOMPARE_NE(recordpaths::namePart(other), part);
}

void TestRecords::recordPaths_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("master");
    QTest::addColumn<QString>("send");
    QTest::addColumn<QString>("notes");
    QTest::newRow("default") << "c:\\tavimora"
                             << "A B"
                             << "c:\\tavimora\\masterFile_A_B.txt"
                             << "c:\\tavimora\\send_0107A_B.txt"
                             << "c:\\tavimora\\notes_A_B.txt";
    QTest::newRow("empty name") << "c:\\tavimora"
                                << ""
                                << "c:\\tavimora\\masterFile_.txt"
                                << "c:\\tavimora\\send_0107.txt"
                                << "c:\\tavimora\\notes_.txt";
    QTest::newRow("trailing backslash") << "d:\\work\\"
                                        << "x"
                                        << "d:\\work\\\\masterFile_x.txt"
                                        << "d:\\work\\\\send_0107x.txt"
                                        << "d:\\work\\\\notes_x.txt";
#ifndef Q_OS_WIN
    // a path that starts with "/" or "~" is native off Windows only; on Windows every path is
    QTest::newRow("native folder") << "/srv/work"
                                   << "x"
                                   << "/srv/work/masterFile_x.txt"
                                   << "/srv/work/send_0107x.txt"
                                   << "/srv/work/notes_x.txt";
    QTest::newRow("home folder") << "~"
                                 << "x"
                                 << "~/masterFile_x.txt"
                                 << "~/send_0107x.txt"
                                 << "~/notes_x.txt";
#endif
}

void TestRecords::recordPaths() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, master);
    QFETCH(QString, send);
    QFETCH(QString, notes);
    QCOMPARE(recordpaths::masterFilePath(folder, name), master);
    QCOMPARE(recordpaths::sendFilePath(folder, name, QStringLiteral("01-07-2026")), send);
    QCOMPARE(recordpaths::notesFilePath(folder, name), notes);
}

void TestRecords::nativePath_data() {
    QTest::addColumn<QString>("recordPath");
    QTest::addColumn<QString>("native");
    QTest::newRow("default folder") << "c:\\tavimora\\masterFile_A.txt"
                                    << "/home/s/tavimora/masterFile_A.txt";
    QTest::newRow("other drive") << "D:\\work\\x.txt"
                                 << "/home/s/work/x.txt";
    QTest::newRow("drive without backslash") << "d:work\\x.txt"
                                             << "/home/s/work/x.txt";
    QTest::newRow("doubled backslash") << "d:\\work\\\\x.txt"
                                       << "/home/s/work//x.txt";
    QTest::newRow("absolute") << "/tmp/w\\x.txt"
                              << "/tmp/w\\x.txt";
    QTest::newRow("home") << "~/w\\x.txt"
                          << "/home/s/w\\x.txt";
    QTest::newRow("relative") << "w\\x.txt"
                              << "w/x.txt";
}

void TestRecords::nativePath() {
    QFETCH(QString, recordPath);
    QFETCH(QString, native);
#ifdef Q_OS_WIN
    native = recordPath; // the system reads a record path as it stands
#endif
    QCOMPARE(recordpaths::nativePath(recordPath, QStringLiteral("/home/s")), native);
}

void TestRecords::responseBlock_sendFileLacksNumberLines() {
    const QStringList master = recordblocks::responseBlock(true, "09:30:05", 50003, "`q003.  Q", "R", std::nullopt, 19);
    const QStringList send = recordblocks::responseBlock(false, "09:30:05", 50003, "`q003.  Q", "R", std::nullopt, 19);
    QCOMPARE(master.size(), send.size() + 1);
    QCOMPARE(master.at(2), QStringLiteral("\r\n\r\n`questionNumber 50003 "));
    QStringList withoutNumber = master;
    withoutNumber.removeAt(2);
    QCOMPARE(withoutNumber, send);
}

namespace {
QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

void TestRecords::appendAll_writesEveryFileOrNone() {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.txt");
    const QString b = dir.filePath("b.txt");
    QVERIFY(!recordwriter::appendAll({{a, "one\r\n"}, {b, "two\r\n"}}));
    QCOMPARE(contents(a), QByteArray("one\r\n"));
    QCOMPARE(contents(b), QByteArray("two\r\n"));

    // the second file lies in a folder that does not exist: the first is not written either
    const auto failure = recordwriter::appendAll({{a, "three\r\n"}, {dir.filePath("no/such/c.txt"), "x"}});
    QVERIFY(failure);
    QCOMPARE(failure->path, dir.filePath("no/such/c.txt"));
    QVERIFY2(!failure->reason.isEmpty(), "the system's reason is named");
    QCOMPARE(contents(a), QByteArray("one\r\n"));

    // a path that is a folder
    QVERIFY(recordwriter::appendAll({{a, "four\r\n"}, {dir.path(), "x"}}));
    QCOMPARE(contents(a), QByteArray("one\r\n"));
}

void TestRecords::appendAll_fullDisk_takesBackEarlierFiles() {
    if (!QFile::exists("/dev/full")) {
        QSKIP("no /dev/full on this system");
    }
    QTemporaryDir dir;
    const QString a = dir.filePath("a.txt");
    QVERIFY(!recordwriter::appendAll({{a, "kept\r\n"}}));
    const auto failure = recordwriter::appendAll({{a, "block\r\n"}, {"/dev/full", "block\r\n"}});
    QVERIFY(failure);
    QCOMPARE(failure->path, QStringLiteral("/dev/full"));
    QCOMPARE(contents(a), QByteArray("kept\r\n"));
}

void TestRecords::appendAll_appendsNeverTruncates() {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.txt");
    QByteArray expected;
    for (int i = 0; i < 50; ++i) {
        const QByteArray block = QByteArray::number(i) + "\r\n";
        QVERIFY(!recordwriter::appendAll({{a, block}}));
        expected += block;
    }
    QVERIFY(!recordwriter::touch(a));
    QCOMPARE(contents(a), expected);
    QCOMPARE(recordwriter::readAll(a).value_or("<none>"), expected);
    QVERIFY(!recordwriter::readAll(dir.filePath("missing.txt")));
}

void TestRecords::appendAll_sameFileTwice_writesBothWithoutWaiting() {
    // two of the paths lead to one file (here through a link): its lock is taken once, not waited for by itself
    QTemporaryDir dir;
    const QString a = dir.filePath("a.txt");
    QVERIFY(!recordwriter::appendAll({{a, "one\r\n"}}));
#ifdef Q_OS_WIN
    // Windows names differ in letter case only: the same file
    const QString link = dir.filePath("A.TXT");
#else
    const QString link = dir.filePath("link.txt");
    QVERIFY(QFile::link(a, link));
#endif
    QVERIFY(!recordwriter::appendAll({{a, "two\r\n"}, {link, "three\r\n"}}));
    QCOMPARE(contents(a), QByteArray("one\r\ntwo\r\nthree\r\n"));
    // and a failure takes both back
    QVERIFY(recordwriter::appendAll({{a, "four\r\n"}, {link, "five\r\n"}, {dir.filePath("no/c.txt"), "x"}}));
    QCOMPARE(contents(a), QByteArray("one\r\ntwo\r\nthree\r\n"));
}

void TestRecords::appendAll_lockedByAnotherOpening_givesUpThenWrites() {
    // another run's lock is this process's own second opening: flock and LockFileEx both hold per opening
    QTemporaryDir dir;
    const QString a = dir.filePath("a.txt");
    QVERIFY(!recordwriter::appendAll({{a, "one\r\n"}}));
    QFile other(a);
    QVERIFY(other.open(QIODevice::ReadWrite));
    QVERIFY(durablefile::lock(other, QDeadlineTimer(0)));
    const auto failure =
        recordwriter::appendAll({{dir.filePath("b.txt"), "x"}, {a, "two\r\n"}}, std::chrono::milliseconds(50));
    QVERIFY(failure);
    QCOMPARE(failure->reason, recordwriter::lockedReason);
    QCOMPARE(contents(dir.filePath("b.txt")), QByteArray()); // opened before the wait, never written
    // the lock does not keep anyone from reading the file
    QCOMPARE(recordwriter::readAll(a).value_or("<none>"), QByteArray("one\r\n"));
    other.close();
    QVERIFY(!recordwriter::appendAll({{a, "two\r\n"}}, std::chrono::milliseconds(50)));
    QCOMPARE(contents(a), QByteArray("one\r\ntwo\r\n"));
}

void TestRecords::replace_putsNewFileInPlaceOfOld() {
    QTemporaryDir dir;
    const QString from = dir.filePath("new.tmp");
    const QString to = dir.filePath("page.html");
    for (const QByteArray& bytes : {QByteArray("first"), QByteArray("second")}) {
        QFile f(from);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        QVERIFY(!durablefile::sync(f));
        f.close();
        QVERIFY(!durablefile::replace(from, to));
        QCOMPARE(contents(to), bytes);
        QVERIFY(!QFile::exists(from));
    }
    const auto failure = durablefile::replace(dir.filePath("missing.tmp"), to);
    QVERIFY(failure);
    QVERIFY(!failure->isEmpty());
    QCOMPARE(contents(to), QByteArray("second"));
}

void TestRecords::pathWithNul_refusedWithoutOpeningAnything() {
    // the system would see the path only up to the NUL, which here names another file
    QTemporaryDir dir;
    const QString other = dir.filePath("other");
    QFile f(other);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("kept");
    f.close();
    const QString path = other + QChar(0) + QStringLiteral("/a.txt");
    const auto failure = recordwriter::appendAll({{dir.filePath("b.txt"), "x"}, {path, "x"}});
    QVERIFY(failure);
    QCOMPARE(failure->path, path);
    QVERIFY(failure->reason.contains("NUL"));
    QVERIFY(recordwriter::touch(path));
    QVERIFY(!recordwriter::readAll(path));
    QCOMPARE(contents(other), QByteArray("kept"));
    QVERIFY(!QFile::exists(dir.filePath("b.txt")));
}

namespace {
const QString sep = recordblocks::recordSeparator;
const QString closing = recordblocks::closingSeparator;
const QString filler = QStringLiteral("[v\u00ba\u00ba\u00ba\u00ba\u00ba\u00ba\u00ba\u00ba\u00ba\u00ba\u00ba\u00ba");

// The kinds of a reading's blocks, "H R N", with "!" after one that is not complete.
QString kinds(const recordreader::Reading& reading) {
    QStringList k;
    for (const recordreader::Block& b : reading.blocks) {
        const QString kind = b.kind == recordreader::BlockKind::Header     ? QStringLiteral("H")
                             : b.kind == recordreader::BlockKind::Response ? QStringLiteral("R")
                                                                           : QStringLiteral("N");
        k << kind + (b.complete ? QString() : QStringLiteral("!"));
    }
    return k.join(u' ');
}

QList<int> problemLines(const recordreader::Reading& reading) {
    QList<int> lines;
    for (const recordreader::Problem& p : reading.problems) {
        lines << static_cast<int>(p.line);
    }
    return lines;
}

QString problemsText(const recordreader::Reading& reading) {
    QStringList all;
    for (const recordreader::Problem& p : reading.problems) {
        all << QStringLiteral("%1: %2").arg(p.line).arg(p.message);
    }
    return all.join(u'\n');
}
} // namespace

void TestRecords::readBack_writerBlocks_sameFields_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("rating");
    const QString question = QStringLiteral("`q003.  Find x.{}Show the work.");
    QTest::newRow("empty response, empty rating") << question << QString() << QString();
    QTest::newRow("one blank") << question << QStringLiteral(" ") << QStringLiteral("2");
    QTest::newRow("several lines, an empty one among them")
        << question << QStringLiteral("x = 8\r\n\r\nchecked:\r\n 3*8 = 24") << QStringLiteral("3");
    QTest::newRow("a line that is the record separator") << question << "a\r\n" + sep + "\r\nb"
                                                         << "1";
    QTest::newRow("a line that is the closing separator") << question << "a\r\n" + closing + "\r\nb"
                                                          << "1";
    QTest::newRow("ends in the closing separator") << question << "a\r\n" + closing << "0";
    QTest::newRow("only the closing separator") << question << closing << "0";
    QTest::newRow("both separators, closing last") << question << sep + "\r\n" + closing << "2";
    QTest::newRow("last line starts like a rating label")
        << question << QStringLiteral("I would say\r\nconfidence assessment:  3") << QStringLiteral("2");
    QTest::newRow("one line that starts like a rating label")
        << question << QStringLiteral("self critique assessment: 0") << QStringLiteral("1");
    QTest::newRow("the labels as lines") << question << QStringLiteral("RESPONSE -->  \r\nNOTES -------> x")
                                         << QStringLiteral("3");
    QTest::newRow("an indented time, not after a separator")
        << question << QStringLiteral("at\r\n                                    12:00:00") << QStringLiteral("2");
    QTest::newRow("written in readable form")
        << question << QStringLiteral("x \u2264 2, \u221a(x) = \u03c0, \u674e \U0001F600") << QStringLiteral("2");
    QTest::newRow("code page characters and control characters")
        << question << QStringLiteral("\u00e9\u20ac\u00ff\u0081 tab\there NUL") + QChar(0) + QStringLiteral("\x1b end")
        << QStringLiteral("2");
    QTest::newRow("trailing blanks") << question << QStringLiteral("x = 8   ") << QStringLiteral(" 3 ");
    QTest::newRow("rating typed as words") << question << QStringLiteral("ok") << QStringLiteral("pretty sure");
    QTest::newRow("empty entry, before any question") << QString() << QStringLiteral(" ") << QString();
    QTest::newRow("entry of paragraphs") << QStringLiteral("5.\r\n\r\nCOMMON ERROR: 23.") << QStringLiteral("ok")
                                         << QStringLiteral("3");
    QTest::newRow("entry that is a separator line") << sep << QStringLiteral("x") << QStringLiteral("3");
    QTest::newRow("entry holding a separator line among others") << "a\r\n" + sep + "\r\nb"
                                                                 << "x\r\n" + sep + "\r\ny" << QStringLiteral("3");
}

void TestRecords::readBack_writerBlocks_sameFields() {
    QFETCH(QString, entry);
    QFETCH(QString, text);
    QFETCH(QString, rating);
    // what the file holds of a text: characters outside the code page in their readable form
    const auto recorded = [](const QString& t) { return codepage::decode(codepage::encode(t)); };
    for (const bool master : {true, false}) {
        QStringList lines = recordblocks::headerBlock(filler, "005", "005.  Calculus", "brisendal", "01-07-2026", 19);
        lines << recordblocks::responseBlock(master, "09:30:05", 50003, entry, text,
                                             recordblocks::confidenceLabel + rating, 19);
        lines << recordblocks::responseBlock(master, "09:31:00", 50003, entry, text,
                                             recordblocks::selfCritiqueLabel + rating, 19);
        lines << recordblocks::responseBlock(master, "09:32:00", 50003, entry, text, std::nullopt, 19);
        lines << recordblocks::noteBlock("23:59:59", "01-07-202623:59:59", entry, recordblocks::notesLabel + text, 19);
        const QByteArray file = codepage::encode(recordblocks::joinLines(lines));
        const recordreader::Reading reading = recordreader::readBytes(file);
        QVERIFY2(reading.problems.empty(), qPrintable(problemsText(reading)));
        QCOMPARE(kinds(reading), QStringLiteral("H R R R N"));

        const recordreader::Block& h = reading.blocks[0];
        QCOMPARE(h.filler, filler);
        QCOMPARE(h.assignmentNbr, QStringLiteral("005"));
        QCOMPARE(h.headingLine, QStringLiteral("005.  Calculus"));
        QCOMPARE(h.title, QStringLiteral("brisendal"));
        QCOMPARE(h.date, QStringLiteral("01-07-2026"));
        const recordreader::Rating ratings[] = {recordreader::Rating::Confidence, recordreader::Rating::SelfCritique,
                                                recordreader::Rating::None};
        for (int i = 0; i < 3; ++i) {
            const recordreader::Block& r = reading.blocks[static_cast<std::size_t>(i + 1)];
            QCOMPARE(r.entry, recorded(entry));
            const bool lastLineTakenForRating = ratings[i] == recordreader::Rating::None && text.contains(u'\n') &&
                                                (text.section(u'\n', -1).startsWith("confidence assessment:") ||
                                                 text.section(u'\n', -1).startsWith("self critique assessment:"));
            if (!lastLineTakenForRating) {
                QCOMPARE(r.text, recorded(text));
                QCOMPARE(r.rating, ratings[i]);
                QCOMPARE(r.ratingText, ratings[i] == recordreader::Rating::None ? QString() : rating);
            } else {
                // the one reading the layout leaves open: nothing is lost, the last line stands as the rating
                QCOMPARE(r.text + "\r\n" + recordblocks::confidenceLabel + r.ratingText, recorded(text));
            }
            QCOMPARE(r.questionNumber.has_value(), master);
            QCOMPARE(r.questionNumber.value_or(50003), 50003.0);
            QCOMPARE(r.time, i == 0   ? QStringLiteral("09:30:05")
                             : i == 1 ? QStringLiteral("09:31:00")
                                      : QStringLiteral("09:32:00"));
        }
        const recordreader::Block& n = reading.blocks[4];
        QCOMPARE(n.time, QStringLiteral("23:59:59"));
        QCOMPARE(n.noteDateTime, QStringLiteral("01-07-202623:59:59"));
        QCOMPARE(n.entry, recorded(entry));
        QCOMPARE(n.text, recorded(text));
        QCOMPARE(n.lastLine, static_cast<qsizetype>(file.count("\r\n")));
    }
}

void TestRecords::readBack_filesOfRuns_everyBlockWithoutProblems_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("master");
    const QString data = QStringLiteral(QT_TESTCASE_SOURCEDIR "/data/");
    const QString e2e = QStringLiteral(QT_TESTCASE_SOURCEDIR "/e2e/expected/");
    for (const QString& name : QDir(data).entryList({"*.txt"}) + QDir(e2e).entryList({"*.txt"})) {
        QFile f(QFile::exists(data + name) ? data + name : e2e + name);
        QVERIFY(f.open(QIODevice::ReadOnly));
        // the end-to-end files stand for a run's filler, times and date by placeholders
        QByteArray file = f.readAll();
        file.replace("<filler>", "[v\xba\xba").replace("hh:mm:ss", "09:30:05").replace("MM-DD-YYYY", "01-07-2026");
        QTest::newRow(qPrintable(name)) << file << name.contains("master");
    }
}

void TestRecords::readBack_filesOfRuns_everyBlockWithoutProblems() {
    QFETCH(QByteArray, file);
    QFETCH(bool, master);
    const recordreader::Reading reading = recordreader::readBytes(file);
    QVERIFY2(reading.problems.empty(), qPrintable(problemsText(reading)));
    // every header has its assignment line, every other block its closing separator, and nothing else is left
    const QList<QByteArray> lines = file.split('\n');
    const auto count = [&](const QByteArray& line) { return static_cast<std::size_t>(lines.count(line + '\r')); };
    const std::size_t headers = static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [](const QByteArray& l) { return l.startsWith("assignment #"); }));
    QCOMPARE(reading.blocks.size(), headers + count(closing.toLatin1()));
    qsizetype next = 1;
    for (const recordreader::Block& b : reading.blocks) {
        QCOMPARE(b.firstLine, next);
        QVERIFY(b.complete);
        QCOMPARE(b.questionNumber.has_value(), master && b.kind == recordreader::BlockKind::Response);
        next = b.lastLine + 1;
    }
    QCOMPARE(next, static_cast<qsizetype>(lines.size()));
}

void TestRecords::readBack_damagedFile_readsTheRestAndSaysWhere_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("kinds");
    QTest::addColumn<QList<int>>("problemLines");
    QTest::addColumn<QString>("kept"); // text that a block or a problem (its text or its message) must still hold
    // a send file: header (lines 1-5), two responses (6-15, 16-23), a note (24-32)
    const QByteArray send = fixtures::expectedFile("small_flow_send.txt");
    const QByteArray closingLine = closing.toLatin1() + "\r\n";
    const QByteArray sepLine = sep.toLatin1() + "\r\n";
    const auto nthAt = [](const QByteArray& text, const QByteArray& line, int nth) {
        qsizetype at = -1;
        for (int i = 0; i <= nth; ++i) {
            at = text.indexOf(line, at + 1);
        }
        return at;
    };
    const auto without = [&](QByteArray text, const QByteArray& line, int nth) {
        return text.remove(nthAt(text, line, nth), line.size());
    };

    QTest::newRow("lines end in LF") << QByteArray(send).replace("\r\n", "\n") << "H R R N" << QList<int>{1}
                                     << "because 2 + 3 = 5\r\nchecked";
    // saved for an old system, then a run appended by the drill
    const qsizetype noteAt = send.indexOf(sepLine, send.indexOf("checked"));
    QTest::newRow("the first blocks' lines end in CR, the others' in CR LF")
        << QByteArray(send.left(noteAt)).replace("\r\n", "\r") + send.mid(noteAt) << "H R R N" << QList<int>{1}
        << "because 2 + 3 = 5\r\nchecked";
    // a stream that turns each LF into CR LF, fed CR LF; and the ends of a few old systems
    QTest::newRow("lines end in CR CR LF")
        << QByteArray(send).replace("\r\n", "\r\r\n") << "H R R N" << QList<int>{1} << "because 2 + 3 = 5\r\nchecked";
    QTest::newRow("the last blocks' lines end in CR CR LF")
        << send.left(noteAt) + QByteArray(send.mid(noteAt)).replace("\r\n", "\r\r\n") << "H R R N" << QList<int>{16}
        << "because 2 + 3 = 5\r\nchecked";
    QTest::newRow("lines end in LF CR") << QByteArray(send).replace("\r\n", "\n\r") << "H R R N" << QList<int>{1}
                                        << "because 2 + 3 = 5\r\nchecked";
    QTest::newRow("lines end in LF CR, an empty line in a response")
        << QByteArray(send).replace("5\r\nchecked", "5\r\n\r\nchecked").replace("\r\n", "\n\r") << "H R R N"
        << QList<int>{1} << "because 2 + 3 = 5\r\n\r\nchecked";
    QTest::newRow("lines end in CR CR LF, every one of them counted")
        << QByteArray(send).replace("\r\n", "\r\r\n") << "H R R N" << QList<int>{1}
        << QStringLiteral("(and so are %1 more such lines below)").arg(send.count("\r\n") - 1);
    QTest::newRow("a closing separator lost")
        << without(send, closingLine, 0) << "H R! R N" << QList<int>{6} << "because 2 + 3 = 5\r\nchecked";
    // an editor shows each such end as two lines, and numbers them so
    QTest::newRow("a closing separator lost, lines in CR CR LF numbered as an editor does")
        << without(send, closingLine, 0).replace("\r\n", "\r\r\n") << "H R! R N" << QList<int>{1, 11}
        << "because 2 + 3 = 5\r\nchecked";
    QTest::newRow("a record separator lost at a block's start")
        << without(send, sepLine, 2) << "H R R N" << QList<int>{16} << "ok";
    QTest::newRow("the separator before the label lost")
        << without(send, sepLine, 1) << "H R! R N" << QList<int>{9} << "because 2 + 3 = 5";
    QTest::newRow("the separators before a label and at the next block's start lost")
        << without(without(send, sepLine, 1), sepLine, 1) << "H R! R N" << QList<int>{9, 15} << "because 2 + 3 = 5";
    {
        // each a full stop short: the block they open is still told from the block before it
        QByteArray damaged = send;
        for (const int nth : {3, 2}) {
            damaged.replace(nthAt(damaged, sepLine, nth), sepLine.size(), sepLine.mid(1));
        }
        QTest::newRow("both record separators of a block damaged")
            << damaged << "H R R! N" << QList<int>{16, 21} << "ok";
    }
    QTest::newRow("cut short inside a response")
        << send.left(send.indexOf("checked")) << "H R!" << QList<int>{6} << "because 2 + 3 = 5";
    QTest::newRow("cut short inside a line")
        << send.left(send.indexOf("checked") + 4) << "H R!" << QList<int>{6, 13} << "chec";
    QTest::newRow("cut short after the label")
        << send.left(send.indexOf("RESPONSE")) << "H R!" << QList<int>{6} << "`q001.  What is 2 + 3?";
    QTest::newRow("lines typed between blocks")
        << QByteArray(send).insert(send.indexOf(closingLine) + closingLine.size(), "my own remark\r\nsecond line\r\n")
        << "H R R N" << QList<int>{16} << "my own remark\r\nsecond line";
    // an editor ends a line at LF, CR LF and CR: an empty line among LF CR ends is LF, CR LF, CR, three lines
    QTest::newRow("lines typed between blocks, lines in LF CR and an empty one in a response")
        << QByteArray(send)
               .insert(send.indexOf(closingLine) + closingLine.size(), "my own remark\r\nsecond line\r\n")
               .replace("5\r\nchecked", "5\r\n\r\nchecked")
               .replace("\r\n", "\n\r")
        << "H R R N" << QList<int>{1, 32} << "my own remark\r\nsecond line";
    QTest::newRow("a response holding a separator and a time line")
        << QByteArray(send).replace("because", sepLine + "                                    10:00:00\r\nbecause")
        << "H R! R! R N" << QList<int>{6, 12} << "because 2 + 3 = 5\r\nchecked";
    QTest::newRow("a response holding the lines of a header but its date")
        << QByteArray(send).replace("because", "as in\r\nassignment #001\r\n001.  we add\r\nbecause") << "H R R N"
        << QList<int>{} << "as in\r\nassignment #001\r\n001.  we add\r\nbecause 2 + 3 = 5";
    QTest::newRow("a header cut short") << send.left(send.indexOf("brisendal")) << "H!" << QList<int>{1}
                                        << "001.  Algebra";
    QTest::newRow("saved again as UTF-8")
        << codepage::decode(send).replace("checked", QStringLiteral("v\u00e9rifi\u00e9")).toUtf8() << "H R R N"
        << QList<int>{1} << QStringLiteral("v\u00e9rifi\u00e9");
    QTest::newRow("saved as UTF-8 with LF ends, letters whose low byte is that of LF")
        << codepage::decode(send)
               .replace("checked", QStringLiteral("che\u010acked\u0a0a"))
               .replace("\r\n", "\n")
               .toUtf8()
        << "H R R N" << QList<int>{1, 1} << QStringLiteral("5\r\nche\u010acked\u0a0a");
    QTest::newRow("a closing separator ending in a bare LF")
        << QByteArray(send).replace(send.indexOf(closingLine) + closing.size(), 2, "\n") << "H R R N" << QList<int>{15}
        << "ok";
    QTest::newRow("a block without its time line")
        << without(send, "                                    09:30:05\r\n", 1) << "H R R! N" << QList<int>{16} << "ok";
    QTest::newRow("a block whose middle was deleted")
        << QByteArray(send).remove(send.indexOf("checked"), send.indexOf("COMMON") + 19 - send.indexOf("checked"))
        << "H R! R! N" << QList<int>{6, 13} << "ok";
    QTest::newRow("lines end in CR alone")
        << QByteArray(send).replace("\r\n", "\r") << "H R R N" << QList<int>{1} << "because 2 + 3 = 5\r\nchecked";
    QTest::newRow("UTF-16 without a byte-order mark")
        << QByteArray(reinterpret_cast<const char*>(codepage::decode(send).utf16()), send.size() * 2) << "H R R N"
        << QList<int>{1} << "because 2 + 3 = 5\r\nchecked";
    QTest::newRow("UTF-16 with its byte-order mark")
        << QByteArray("\xff\xfe") +
               QByteArray(reinterpret_cast<const char*>(codepage::decode(send).utf16()), send.size() * 2)
        << "H R R N" << QList<int>{1} << "because 2 + 3 = 5\r\nchecked";
    // the filler line takes any byte from 66 on
    for (const char* mark : {"\xfe\xff", "\xff\xfe"}) {
        QTest::newRow(qPrintable(QStringLiteral("Windows-1252 whose filler begins as a UTF-16 mark, %1")
                                     .arg(QString::fromLatin1(QByteArray(mark).toHex()))))
            << QByteArray(send).replace(0, 2, mark) << "H R R N" << QList<int>{} << "because 2 + 3 = 5\r\nchecked";
    }
    QTest::newRow("UTF-8 with a Windows-1252 file appended")
        << codepage::decode(send).toUtf8() + send.mid(send.indexOf(sepLine)).replace("ok", "v\xe9rifi\xe9")
        << "H R R N R R N" << QList<int>{1, 53} << QStringLiteral("v\u00e9rifi\u00e9");
    {
        // saved as UTF-16 by another editor, then appended to by the drill
        const QString saved = codepage::decode(send);
        QByteArray utf16("\xFF\xFE");
        utf16.append(reinterpret_cast<const char*>(saved.utf16()), saved.size() * 2);
        QTest::newRow("UTF-16 with a Windows-1252 run appended")
            << utf16 + send.mid(send.indexOf(sepLine)).replace("ok", "v\xe9rifi\xe9") << "H R R N R R N"
            << QList<int>{1, 36} << QStringLiteral("v\u00e9rifi\u00e9");
        const QString lf = QString(saved).replace("\r\n", "\n");
        QTest::newRow("UTF-16 without a mark, its lines ending in LF, with a Windows-1252 run appended")
            << QByteArray(reinterpret_cast<const char*>(lf.utf16()), lf.size() * 2) +
                   send.mid(send.indexOf(sepLine)).replace("ok", "v\xe9rifi\xe9")
            << "H R R N R R N" << QList<int>{1, 36, 1} << QStringLiteral("v\u00e9rifi\u00e9");
    }
    {
        // a run appended in UTF-16 by a shell that writes it so, after the drill's own or an editor's UTF-8
        const QString run = codepage::decode(send.mid(send.indexOf(sepLine))).replace("ok", "v\u00e9rifi\u00e9");
        const QByteArray little(reinterpret_cast<const char*>(run.utf16()), run.size() * 2);
        QByteArray big = little;
        for (qsizetype i = 0; i + 1 < big.size(); i += 2) {
            std::swap(big[i], big[i + 1]);
        }
        const int next = static_cast<int>(send.count("\r\n")) + 1;
        QTest::newRow("Windows-1252 with a UTF-16 run appended, its mark first")
            << send + "\xff\xfe" + little << "H R R N R R N" << QList<int>{next} << QStringLiteral("v\u00e9rifi\u00e9");
        QTest::newRow("UTF-8 with a UTF-16 run appended, big-endian without a mark")
            << codepage::decode(send).replace("checked", QStringLiteral("ch\u00e9cked")).toUtf8() + big
            << "H R R N R R N" << QList<int>{1, next} << QStringLiteral("v\u00e9rifi\u00e9");
    }
    QTest::newRow("Windows-1252 whose filler begins with the bytes of a UTF-8 mark")
        << QByteArray(send).replace("[v\xba\xba", "\xef\xbb\xbf\xba\xba") << "H R R N" << QList<int>{}
        << "because 2 + 3 = 5\r\nchecked";
    QTest::newRow("Windows-1252 whose filler holds a pair that is valid UTF-8")
        << QByteArray(send).replace("[v\xba\xba", "[v\xc3\xa9").replace("checked", "v\xe9rifi\xe9") << "H R R N"
        << QList<int>{} << "because 2 + 3 = 5\r\nv\u00e9rifi\u00e9";
    QTest::newRow("not a record file") << QByteArray("Dear teacher,\r\nhere is my work.\r\n") << "" << QList<int>{1}
                                       << "here is my work.";
}

void TestRecords::readBack_damagedFile_readsTheRestAndSaysWhere() {
    QFETCH(QByteArray, file);
    QFETCH(QString, kinds);
    QFETCH(QList<int>, problemLines);
    QFETCH(QString, kept);
    const recordreader::Reading reading = recordreader::readBytes(file);
    QCOMPARE(::kinds(reading), kinds);
    QCOMPARE(::problemLines(reading), problemLines);
    bool found = false;
    for (const recordreader::Block& b : reading.blocks) {
        found = found || b.text.contains(kept) || b.entry.contains(kept) || b.headingLine.contains(kept);
    }
    for (const recordreader::Problem& p : reading.problems) {
        found = found || p.text.contains(kept) || p.message.contains(kept);
    }
    QVERIFY2(found, qPrintable(kept));
}

void TestRecords::readBack_cutBeforeTheLabel_entryAsWritten_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("entry");
    const QByteArray send = fixtures::expectedFile("small_flow_send.txt");
    const QByteArray sepLine = sep.toLatin1() + "\r\n";
    const qsizetype beforeLabel = send.indexOf(sepLine, send.indexOf(sepLine) + 1);
    QTest::newRow("after the separator before the label")
        << send.left(beforeLabel + sepLine.size()) << QStringLiteral("`q001.  What is 2 + 3?");
    QTest::newRow("before that separator") << send.left(beforeLabel) << QStringLiteral("`q001.  What is 2 + 3?");
    QStringList lines = recordblocks::headerBlock(filler, "005", "005.  Calculus", "brisendal", "01-07-2026", 19);
    lines << recordblocks::responseBlock(false, "09:30:05", 0, sep, "x", recordblocks::confidenceLabel + "2", 19);
    const QByteArray separatorEntry = codepage::encode(recordblocks::joinLines(lines));
    QTest::newRow("an entry that is the separator, after the separator before the label")
        << separatorEntry.left(separatorEntry.indexOf("RESPONSE")) << sep;
}

void TestRecords::readBack_cutBeforeTheLabel_entryAsWritten() {
    QFETCH(QByteArray, file);
    QFETCH(QString, entry);
    const recordreader::Reading reading = recordreader::readBytes(file);
    QCOMPARE(::kinds(reading), QStringLiteral("H R!"));
    QCOMPARE(reading.blocks.back().entry, entry);
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
