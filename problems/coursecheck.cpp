#include "problems/coursecheck.h"

#include "problems/markup.h"
#include "problems/questionsteps.h"
#include "records/codepage.h"
#include "records/numbertext.h"

#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace coursecheck {

namespace {

const QString asciiAdvice =
    QStringLiteral("plain ASCII is best: write x^2, sqrt(x), pi, theta, <=, >= and +- (plus or minus)");

// The first invalid UTF-8 sequence of a line's bytes, as a byte offset; -1 when there is none.
qsizetype firstInvalidUtf8(QByteArrayView bytes) {
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        int more = 0;
        char32_t c = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            c = b & 0x07;
        } else {
            return i;
        }
        if (i + more >= bytes.size()) {
            return i;
        }
        for (int k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return i;
            }
            c = (c << 6) | (next & 0x3F);
        }
        const char32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (c < least[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return i;
        }
        i += more + 1;
    }
    return -1;
}

// The column of a position in a line: characters, not UTF-16 units, counted from 1.
int columnOf(QStringView line, qsizetype at) {
    int column = 1;
    for (qsizetype i = 0; i < at && i < line.size(); ++i) {
        if (!line[i].isLowSurrogate()) {
            ++column;
        }
    }
    return column;
}

QString codePoint(char32_t c) {
    return QStringLiteral("U+") + QStringLiteral("%1").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0')).toUpper();
}

bool isDigits(QStringView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QString threeDigits(int n) {
    return QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
}

// A question made optional by a mark before its marker ("*`q006."): the reader shows it as a text block.
bool isOptionalQuestion(QStringView line) {
    const qsizetype at = line.indexOf(markup::questionMarker);
    return at >= 1 && at <= 3 && !line[0].isLetterOrNumber() && !line[0].isSpace() && line.size() > at + 2 &&
           line[at + 2].isDigit();
}

class Checker {
public:
    explicit Checker(Result& result) : m_result(result), m_doc(result.document) {}

    void fileLines(const QByteArray& bytes);
    void storeLines();

private:
    void add(Severity severity, int line, int column, const QString& message, int storeLine = 0) {
        m_result.findings.push_back({line, column, severity, message, storeLine});
    }
    // A finding at a character of a store line (numbered from 1).
    void at(Severity severity, int storeLine, qsizetype offset, const QString& message) {
        const Place place = placeOf(m_doc, storeLine, offset);
        add(severity, place.line, place.column, message, storeLine);
    }

    void heading(int n, const QString& line);
    void endAssignment(int nextStoreLine);
    void question(int n, const QString& line, bool optional);
    void answer(int n, const QString& line);
    void inside(int n, const QString& line);
    void braces(int n, const QString& line);
    void pieces(int n);

    Result& m_result;
    const linestore::ReadDocument& m_doc;

    AssignmentSummary* m_current = nullptr;
    int m_lastNbr = 0;
    int m_lastQuestion = 0;
    int m_unanswered = 0;    // the store line of a question that has no given answer yet
    bool m_answered = false; // a given answer followed the last question
    bool m_lastWasAnswer = false;
    int m_closing = 0;      // the store line of "end program"
    int m_afterClosing = 0; // the first non-empty line after it
    int m_previousKindLine = 0;
    markup::LineKind m_previousKind = markup::LineKind::Separator;
};

void Checker::fileLines(const QByteArray& bytes) {
    const QList<QByteArray> raw = bytes.split('\n');
    for (qsizetype n = 0; n < m_doc.fileLines.size(); ++n) {
        const int line = static_cast<int>(n + 1);
        const QString& text = m_doc.fileLines[n];
        if (n == 0 && text.startsWith(QChar(0xFEFF))) {
            add(Severity::Error, 1, 1,
                QStringLiteral("the file begins with a byte order mark: the drill reads it as a character, and the "
                               "line is left out; save the file as UTF-8 without one"));
        }
        const qsizetype invalid = n < raw.size() ? firstInvalidUtf8(raw[n]) : -1;
        if (invalid >= 0) {
            const int column = columnOf(QString::fromUtf8(raw[n].left(invalid)), invalid + 1);
            add(Severity::Error, line, column,
                QStringLiteral("bytes that are not UTF-8: the drill reads the file as UTF-8 and shows a replacement "
                               "character here; save the file as UTF-8"));
        }
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == u' ') {
            --end;
        }
        if (end < text.size() && !text.startsWith(QChar(0xFEFF))) {
            const bool blanksOnly = end <= 2 && text.startsWith(u"= ") && text.size() > 2;
            add(blanksOnly ? Severity::Error : Severity::Warning, line, columnOf(text, end),
                blanksOnly ? QStringLiteral("the line holds only blanks: the reader shows them as a block of their "
                                            "own, not as an empty line")
                           : QStringLiteral("trailing blanks: no line may end in a blank"));
        }
        if (!(text.startsWith(u'=') || text.startsWith(u'+')) || (text.size() > 1 && text[1] != u' ')) {
            continue;
        }
        // the characters that reach the store: the first of each kind on the line
        bool outside = false;
        bool nonAscii = false;
        bool control = false;
        for (qsizetype i = 2; i < text.size(); ++i) {
            char32_t c = text[i].unicode();
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            }
            unsigned char byte = 0;
            if (c == 0xFFFD && invalid >= 0) {
                continue;
            }
            if (c < 0x20 && c != u'\t' && !control) {
                control = true;
                add(Severity::Error, line, columnOf(text, i),
                    QStringLiteral("control character %1: the student sees no character here").arg(codePoint(c)));
            } else if (c >= 0x80 && !codepage::fromUnicode(c, byte) && !outside) {
                outside = true;
                add(Severity::Error, line, columnOf(text, i),
                    QStringLiteral("character %1 is outside Windows-1252: the student sees it, the record files "
                                   "hold \"%2\" instead; %3")
                        .arg(codePoint(c), QString::fromLatin1(codepage::readableForm(c)), asciiAdvice));
            } else if (c >= 0x80 && codepage::fromUnicode(c, byte) && !nonAscii) {
                nonAscii = true;
                add(Severity::Warning, line, columnOf(text, i),
                    QStringLiteral("character %1 is not plain ASCII; %2").arg(codePoint(c), asciiAdvice));
            }
        }
    }
    for (const linestore::LeftOut& bad : m_doc.leftOut) {
        const QString& text = m_doc.fileLines[bad.fileLine - 1];
        if (bad.fileLine == 1 && text.startsWith(QChar(0xFEFF))) {
            continue;
        }
        if (bad.continuationFirst) {
            add(Severity::Error, bad.fileLine, 1,
                QStringLiteral("a continuation (+) before any store line was started (=): the drill leaves it out"));
        } else if ((text.startsWith(u'=') || text.startsWith(u'+')) && text.size() > 1) {
            add(Severity::Error, bad.fileLine, 2,
                QStringLiteral("no blank after \"%1\": the drill leaves the line out").arg(text[0]));
        } else {
            add(Severity::Error, bad.fileLine, 1,
                QStringLiteral("the line is not a comment (#), a store line (= text), a continuation (+ text) or "
                               "empty: the drill leaves it out"));
        }
    }
}

void Checker::storeLines() {
    const QStringList& lines = m_doc.lines;
    if (lines.size() > lastLineIndex) {
        at(Severity::Error, lastLineIndex + 1, 0,
           QStringLiteral("store line %1: the drill holds %2 store lines; this one and the %3 after it are left out")
               .arg(lastLineIndex + 1)
               .arg(lastLineIndex)
               .arg(lines.size() - lastLineIndex - 1));
    }
    const int count = static_cast<int>(std::min<qsizetype>(lines.size(), lastLineIndex));
    for (int n = 1; n <= count; ++n) {
        const QString& line = lines[n - 1];
        const markup::LineKind kind = markup::kindOf(line);
        pieces(n);
        if (kind == markup::LineKind::Heading) {
            heading(n, line);
        } else if (!m_current) {
            if (!line.isEmpty()) {
                at(Severity::Warning, n, 0, QStringLiteral("before the first heading: no assignment shows this line"));
            }
            continue;
        } else {
            inside(n, line);
        }
        if (m_current) {
            m_current->lastStoreLine = n;
            m_current->characters += line.size();
        }
        if (!line.isEmpty()) {
            m_previousKind = kind;
            m_previousKindLine = n;
        } else {
            m_previousKind = markup::LineKind::Separator;
        }
    }
    if (m_current) {
        endAssignment(0);
    } else {
        add(Severity::Error, 1, 1, QStringLiteral("the course has no assignment heading (001.  Title)"));
    }
}

void Checker::heading(int n, const QString& line) {
    if (m_current) {
        endAssignment(n);
    }
    const int nbr = line.left(3).toInt();
    const int due = m_lastNbr + 1;
    if (nbr != due) {
        at(Severity::Error, n, 0,
           nbr < due ? QStringLiteral("heading %1 after %2: assignment numbers rise from 001 without repeats; the "
                                      "drill opens only the first %1, and the run of %2 does not end here")
                           .arg(line.left(3), threeDigits(m_lastNbr))
                     : QStringLiteral("heading %1 where %2 is due: assignment numbers rise from 001 without gaps; "
                                      "the run of the assignment before goes on through this one")
                           .arg(line.left(3), threeDigits(due)));
    }
    m_lastNbr = std::max(m_lastNbr, nbr);
    const QStringView rest = QStringView(line).mid(4);
    if (!rest.startsWith(u"  ") || rest.size() < 3 || rest[2].isSpace()) {
        at(Severity::Warning, n, 4,
           QStringLiteral("heading: three digits, a point, two blanks and a title (\"%1.  Title\")").arg(line.left(3)));
    }
    m_result.assignments.push_back({line.left(3), line, n, n});
    m_current = &m_result.assignments.back();
    m_lastQuestion = 0;
    m_unanswered = 0;
    m_answered = false;
    m_lastWasAnswer = false;
    m_closing = 0;
    m_afterClosing = 0;
}

void Checker::endAssignment(int nextStoreLine) {
    if (m_unanswered) {
        at(Severity::Error, m_unanswered, 0,
           QStringLiteral("this question has no given answer before the end of its assignment"));
    }
    if (!m_closing) {
        at(Severity::Error, m_current->headingStoreLine, 0,
           QStringLiteral("assignment %1 has no \"end program\" line").arg(m_current->nbr));
    } else if (m_afterClosing) {
        at(Severity::Error, m_afterClosing, 0,
           QStringLiteral("after \"end program\": it must be the last line of its assignment before %1")
               .arg(nextStoreLine ? QStringLiteral("the next heading") : QStringLiteral("the end of the file")));
    }
    m_current = nullptr;
}

void Checker::inside(int n, const QString& line) {
    if (line.isEmpty()) {
        return;
    }
    if (m_closing && !m_afterClosing) {
        m_afterClosing = n;
    }
    const QString next = numbertext::followingAssignmentNbr(m_current->nbr);
    if (markup::isHeadingOf(line, next)) {
        at(Severity::Error, n, 0,
           QStringLiteral("begins with %1, the next assignment's number: the run of %2 ends here")
               .arg(next, m_current->nbr));
    }
    if (markup::beginsWithEndOfTextMarker(line)) {
        at(Severity::Error, n, 0, QStringLiteral("begins with \"####.#\": the run ends here"));
    }
    braces(n, line);

    const bool continues = m_previousKind != markup::LineKind::Separator && m_previousKindLine == n - 1;
    const markup::LineKind kind = markup::kindOf(line);
    const bool optional = kind == markup::LineKind::Text && isOptionalQuestion(line);
    if (continues && !(m_previousKind == markup::LineKind::Question && kind == markup::LineKind::Answer) &&
        !(m_previousKind == markup::LineKind::Answer && kind == markup::LineKind::Answer) &&
        kind != markup::LineKind::Closing &&
        !(isOptionalQuestion(m_doc.lines[n - 2]) && kind == markup::LineKind::Answer)) {
        at(Severity::Warning, n, 0,
           QStringLiteral("a block right after the block before it, with no empty line (=) between"));
    }

    switch (kind) {
    case markup::LineKind::Question:
        question(n, line, false);
        break;
    case markup::LineKind::Answer:
        answer(n, line);
        break;
    case markup::LineKind::Routine:
        if (line.size() <= 8) {
            at(Severity::Warning, n, 0, QStringLiteral("a routine marker with no routine: shown as text"));
        } else if (m_previousKind == markup::LineKind::Routine && continues) {
            at(Severity::Warning, n, 0,
               QStringLiteral("a routine line right after a routine line is shown as text, its routine not run"));
        } else if (const QString name = markup::routineName(line); name == u"exitprog") {
            at(Severity::Warning, n, 9, QStringLiteral("routine exitprog ends the run here"));
        } else if (!questionsteps::routineReturns(name)) {
            at(Severity::Error, n, 9,
               QStringLiteral("routine \"%1\" is not one the program has (graph1, graph2, graph3, exitprog): the run "
                              "ends here")
                   .arg(name));
        }
        m_lastWasAnswer = false;
        break;
    case markup::LineKind::Closing:
        m_closing = n;
        m_current->texts += 1;
        break;
    default:
        if (optional) {
            question(n, line, true);
            break;
        }
        if (line.trimmed().toLower() == markup::closingText) {
            at(Severity::Error, n, 0, QStringLiteral("write \"end program\" exactly, in small letters, alone"));
        } else if (line.startsWith(u"`Q")) {
            at(Severity::Error, n, 0,
               QStringLiteral("\"`Q\": only `q marks a question; the reader shows this line as text but records "
                              "its number"));
        } else if (line.startsWith(u"`A")) {
            at(Severity::Warning, n, 0, QStringLiteral("\"`A\": only `a marks a given answer; shown as text"));
        } else if (const qsizetype at0 = line.indexOf(u'`');
                   at0 > 0 && line.left(at0).trimmed().isEmpty() &&
                   (line.mid(at0, 2) == markup::questionMarker || line.mid(at0, 2) == markup::answerMarker)) {
            at(Severity::Warning, n, at0,
               QStringLiteral("a marker after blanks: only the first characters of a line count; shown as text"));
        }
        m_current->texts += 1;
        m_lastWasAnswer = false;
        break;
    }
}

void Checker::question(int n, const QString& line, bool optional) {
    if (m_unanswered) {
        at(Severity::Error, m_unanswered, 0,
           QStringLiteral("this question has no given answer before the next question"));
    }
    m_unanswered = n;
    m_answered = false;
    m_lastWasAnswer = false;
    const qsizetype marker = line.indexOf(markup::questionMarker);
    if (optional) {
        m_current->optionalQuestions += 1;
        m_current->texts += 1;
    } else {
        m_current->questions += 1;
    }
    const QStringView number = QStringView(line).mid(marker + 2, 3);
    if (!isDigits(number) || number.size() < 3) {
        at(Severity::Error, n, marker + 2,
           QStringLiteral("the question number is not three digits (`q001.): the records number the question by "
                          "the three characters after the marker, \"%1\"")
               .arg(number));
        return;
    }
    const int nbr = number.toInt();
    if (nbr != m_lastQuestion + 1) {
        at(Severity::Error, n, marker + 2,
           QStringLiteral("question %1 where %2 is due: question numbers rise from 001 in each assignment")
               .arg(number.toString(), threeDigits(m_lastQuestion + 1)));
    }
    m_lastQuestion = std::max(m_lastQuestion, nbr);
    const QStringView rest = QStringView(line).mid(marker + 5);
    if (!rest.startsWith(u'.')) {
        at(Severity::Warning, n, marker + 5,
           QStringLiteral("no point after the question number (`q%1.  ): read all the same").arg(number));
    } else if (!rest.startsWith(u".  ")) {
        at(Severity::Warning, n, marker + 6,
           rest.startsWith(u". ") ? QStringLiteral("one blank after the question number's point, not two: read all "
                                                   "the same")
                                  : QStringLiteral("two blanks after the question number's point: read all the same"));
    }
}

void Checker::answer(int n, const QString& line) {
    if (line.size() == 2) {
        at(Severity::Warning, n, 0,
           QStringLiteral("a given answer with no text: the reader passes over it, but asks a self-critique after "
                          "the next line"));
        return;
    }
    m_current->answers += 1;
    if (m_lastQuestion == 0 && !m_unanswered && !m_answered) {
        at(Severity::Error, n, 0, QStringLiteral("a given answer with no question before it in its assignment"));
    } else if (m_lastWasAnswer) {
        at(Severity::Warning, n, 0,
           QStringLiteral("the given answer goes on over a second answer line: each is shown as a block of its own "
                          "and takes a self-critique of its own"));
    }
    m_unanswered = 0;
    m_answered = true;
    m_lastWasAnswer = true;
}

void Checker::braces(int n, const QString& line) {
    for (qsizetype i = line.indexOf(u"{}"); i >= 0; i = line.indexOf(u"{}", i + 2)) {
        const bool formula =
            (i > 0 && QStringView(u"^_\\{").contains(line[i - 1])) || (i + 2 < line.size() && line[i + 2] == u'}');
        if (formula) {
            at(Severity::Warning, n, i,
               QStringLiteral("\"{}\" looks like the braces of a formula here, but the reader shows a line break"));
        }
        for (const QStringView marker : {markup::questionMarker, markup::answerMarker}) {
            if (QStringView(line).mid(i + 2).startsWith(marker)) {
                at(Severity::Warning, n, i + 2,
                   QStringLiteral("\"%1\" after a line break means nothing to the reader: start a new store line "
                                  "(= %1...) for a block of its own")
                       .arg(marker));
            }
        }
    }
}

// A continuation line that begins as a store line of its own would: its author likely meant "=", not "+".
void Checker::pieces(int n) {
    const std::vector<linestore::Piece>& origin = m_doc.origins[n - 1];
    const QString& line = m_doc.lines[n - 1];
    for (std::size_t p = 1; p < origin.size(); ++p) {
        const QStringView piece = QStringView(line).mid(origin[p].storeOffset);
        if (piece.startsWith(markup::questionMarker) || piece.startsWith(markup::answerMarker) ||
            markup::beginsWithRoutineMarker(piece) || piece == markup::closingText) {
            at(Severity::Warning, n, origin[p].storeOffset,
               QStringLiteral("a continuation (+) that begins like a line of its own: only the first characters of "
                              "a store line count; start it with \"=\" if it is a block of its own"));
        }
    }
}

} // namespace

int Result::count(Severity severity) const {
    return static_cast<int>(
        std::count_if(findings.begin(), findings.end(), [&](const Finding& f) { return f.severity == severity; }));
}

Place placeOf(const linestore::ReadDocument& document, int storeLine, qsizetype offset) {
    const std::vector<linestore::Piece>& origin = document.origins[storeLine - 1];
    std::size_t p = 0;
    while (p + 1 < origin.size() && origin[p + 1].storeOffset <= offset) {
        ++p;
    }
    const QString& fileLine = document.fileLines[origin[p].fileLine - 1];
    return {origin[p].fileLine, columnOf(fileLine, offset - origin[p].storeOffset + 2)};
}

Result check(const QByteArray& fileBytes) {
    Result result;
    result.document = linestore::readDocument(QString::fromUtf8(fileBytes));
    result.title = courseTitle(result.document.fileLines);
    Checker checker(result);
    checker.fileLines(fileBytes);
    checker.storeLines();
    std::stable_sort(result.findings.begin(), result.findings.end(), [](const Finding& a, const Finding& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    return result;
}

QString formatFinding(const QString& fileName, const Finding& finding) {
    return QStringLiteral("%1:%2:%3: %4: %5")
        .arg(fileName)
        .arg(finding.line)
        .arg(finding.column)
        .arg(finding.severity == Severity::Error ? QStringLiteral("error") : QStringLiteral("warning"),
             finding.message);
}

QString courseTitle(const QStringList& fileLines) {
    static const QRegularExpression named(QStringLiteral("^#\\s*Course:\\s*(.*\\S)\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption);
    for (const QString& line : fileLines) {
        if (line.startsWith(u'=') || line.startsWith(u'+')) {
            break;
        }
        if (const QRegularExpressionMatch match = named.match(line); match.hasMatch()) {
            return match.captured(1);
        }
    }
    return {};
}

} // namespace coursecheck
