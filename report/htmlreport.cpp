#include "report/htmlreport.h"

#include "problems/markup.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFileInfo>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <string_view>

namespace report {

namespace {

using recordreader::BlockKind;
using recordreader::Rating;

const QString style = QStringLiteral(R"(
:root { color-scheme: light; }
body { font: 15px/1.45 sans-serif; margin: 0 auto; max-width: 62rem; padding: 0 1rem 3rem; color: #111;
       overflow-wrap: break-word; }
code { overflow-wrap: anywhere; }
h1 { font-size: 1.6rem; margin: 1.2rem 0 .3rem; }
h2 { font-size: 1.35rem; border-bottom: 2px solid #444; margin-top: 2.2rem; }
h3 { font-size: 1.15rem; margin: 1.6rem 0 .4rem; }
h4 { font-size: 1rem; margin: 1rem 0 .3rem; }
nav a, .summary { margin-right: .8rem; }
a { color: #0645ad; }
.wide { overflow-x: auto; }
table { border-collapse: collapse; margin: .4rem 0; }
th, td { border: 1px solid #999; padding: .3rem .5rem; text-align: left; vertical-align: top; }
thead th { background: #eee; }
td.absent { color: #777; }
.doc, .text, pre { white-space: pre-wrap; overflow-wrap: anywhere; }
.doc { background: #f4f4f4; border-left: 4px solid #888; padding: .4rem .6rem; margin: .3rem 0; }
.doc.answer { border-left-color: #3a7d3a; }
ol.records { list-style: none; padding: 0; margin: .3rem 0; }
ol.records li { border: 1px solid #ccc; border-radius: 4px; padding: .35rem .6rem; margin: .35rem 0;
                break-inside: avoid; }
ol.records li.note { border-style: dashed; background: #fffbe6; }
.who { font-weight: bold; margin: 0 0 .2rem; }
.meta { font-weight: normal; color: #444; margin-left: .6rem; }
.rating { font-weight: bold; margin-left: .6rem; }
.text { margin: 0; }
.none { color: #666; font-style: italic; }
.flag { color: #8a4b00; font-size: .9em; }
figure.chart { margin: .5rem 0; }
figure.chart svg { width: 15rem; max-width: 100%; height: auto; }
svg text { font: 11px sans-serif; }
pre { background: #f4f4f4; padding: .3rem; margin: .2rem 0; }
@media print {
  body { max-width: none; font-size: 11pt; }
  a { color: inherit; text-decoration: none; }
  nav { display: none; }
  section.question, section.student { break-inside: auto; }
  h2, h3, h4 { break-after: avoid; }
}
)");

QString contentSecurityPolicy() {
    const QByteArray hash = QCryptographicHash::hash(style.toUtf8(), QCryptographicHash::Sha256).toBase64();
    return QStringLiteral("default-src 'none'; style-src 'sha256-%1'; base-uri 'none'; form-action 'none'")
        .arg(QString::fromLatin1(hash));
}

std::string_view ratingName(Rating r) {
    switch (r) {
    case Rating::Confidence:
        return "confidence";
    case Rating::SelfCritique:
        return "self-critique";
    case Rating::None:
        break;
    }
    return {};
}

QString groupTitle(const DocGroup& g) {
    switch (g.kind) {
    case DocGroup::Kind::Preamble:
        return QStringLiteral("Before the first question");
    case DocGroup::Kind::Question:
        return QStringLiteral("Question ") + g.number;
    case DocGroup::Kind::OptionalQuestion:
        return QStringLiteral("Question ") + g.number + QStringLiteral(" (optional)");
    case DocGroup::Kind::Closing:
        return QStringLiteral("End of the assignment");
    }
    return QString();
}

// The question without its marker and number, which the heading above it gives.
QStringView questionText(QStringView line) {
    qsizetype at = line.indexOf(markup::questionMarker);
    if (at < 0) {
        return line;
    }
    at += 2;
    qsizetype digits = 0;
    while (at < line.size() && digits < 3 && line[at].isDigit()) {
        ++at;
        ++digits;
    }
    if (at < line.size() && line[at] == u'.') {
        ++at;
    }
    while (at < line.size() && line[at] == u' ') {
        ++at;
    }
    return line.mid(at);
}

// A number's digits, made without the heap.
class Digits {
public:
    explicit Digits(long long n) : m_end(std::to_chars(m_digits, m_digits + sizeof m_digits, n).ptr) {}
    operator std::string_view() const { return std::string_view(m_digits, static_cast<std::size_t>(m_end - m_digits)); }

private:
    char m_digits[24];
    const char* m_end;
};

class Page {
public:
    Page(const ClassRecords& records, const ClassView& view, QIODevice& device)
        : m_records(records), m_view(view), m_device(device) {
        // a student's link, made once: it stands before each of their records
        for (std::size_t s = 0; s < records.students.size(); ++s) {
            std::string link = "<a href=\"#s" + std::to_string(s + 1) + "\">";
            appendEscaped(link, records.students[s].name);
            m_studentLinks.push_back(link + "</a>");
        }
        m_out.reserve(chunk + 4096);
    }

    // The page is written as it is made, a piece at a time: a class's page may be larger than is worth holding.
    bool render() {
        head();
        overview();
        for (std::size_t a = 0; a < m_view.assignments.size(); ++a) {
            assignment(a);
        }
        put("<section id=\"students\"><h2>Students</h2>\n");
        for (std::size_t s = 0; s < m_records.students.size(); ++s) {
            student(s);
        }
        put("</section>\n");
        problems();
        put("</main>\n</body>\n</html>\n");
        flush();
        return m_ok;
    }

private:
    static constexpr qsizetype chunk = 1 << 18;

    void flush() {
        const auto size = static_cast<qint64>(m_out.size());
        m_ok = m_ok && m_device.write(m_out.data(), size) == size;
        m_out.clear(); // keeps its room for the next piece
    }
    void flushWhenFull() {
        if (m_out.size() > chunk) {
            flush();
        }
    }
    // The page's own markup, ASCII.
    void put(std::string_view markup) {
        m_out += markup;
        flushWhenFull();
    }
    // Text of the page's own, such as the document's headings.
    void put(QStringView text) {
        const QByteArray utf8 = text.toUtf8();
        put(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    }
    void esc(QStringView text) {
        appendEscaped(m_out, text);
        flushWhenFull();
    }
    void num(long long n) { m_out += Digits(n); }
    // Markup with %1 to %9 filled in, as QString::arg would fill them, without a string made at each step.
    void putFilled(std::string_view markup, std::initializer_list<std::string_view> fills) {
        for (std::size_t at = markup.find('%'); at != std::string_view::npos; at = markup.find('%')) {
            m_out += markup.substr(0, at);
            m_out += fills.begin()[markup[at + 1] - '1'];
            markup.remove_prefix(at + 2);
        }
        put(markup);
    }

    // The ids of the page's sections: "a1", "a1-q2", "s3", "s3-a1".
    void putAssignmentId(std::size_t a) {
        put("a");
        num(a + 1);
    }
    void putGroupId(std::size_t a, std::size_t g) {
        putAssignmentId(a);
        put("-q");
        num(g);
    }
    void putStudentId(std::size_t s) {
        put("s");
        num(s + 1);
    }
    void putCellId(std::size_t s, std::size_t a) {
        putStudentId(s);
        put("-a");
        num(a + 1);
    }

    QString assignmentName(std::size_t a) const {
        const AssignmentView& av = m_view.assignments[a];
        if (av.nbr.isEmpty()) {
            return QStringLiteral("Assignment not known");
        }
        return av.heading.isEmpty() ? QStringLiteral("Assignment ") + av.nbr : av.heading;
    }

    void head() {
        put("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"");
        put(contentSecurityPolicy());
        put("\">\n<meta name=\"referrer\" content=\"no-referrer\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            "<title>Class report</title>\n<style>");
        put(style);
        put("</style>\n</head>\n<body>\n<header>\n<h1>Class report</h1>\n<p>");
        num(static_cast<qsizetype>(m_records.students.size()));
        put(m_records.students.size() == 1 ? " student, " : " students, ");
        num(m_records.files.size());
        put(m_records.files.size() == 1 ? " file read" : " files read");
        if (!m_records.issues.empty()) {
            put(", <a href=\"#problems\">");
            num(static_cast<qsizetype>(m_records.issues.size()));
            put(m_records.issues.size() == 1 ? " problem</a> reading them" : " problems</a> reading them");
        }
        put(".</p>\n<nav><a href=\"#overview\">Overview</a>");
        for (std::size_t a = 0; a < m_view.assignments.size(); ++a) {
            put("<a href=\"#");
            putAssignmentId(a);
            put("\">");
            put(m_view.assignments[a].nbr.isEmpty() ? QStringLiteral("unknown") : QString());
            esc(m_view.assignments[a].nbr);
            put("</a>");
        }
        put("<a href=\"#students\">Students</a>");
        if (!m_records.issues.empty()) {
            put("<a href=\"#problems\">Problems</a>");
        }
        put("</nav>\n</header>\n<main>\n");
    }

    void overview() {
        put("<section id=\"overview\"><h2>Overview</h2>\n");
        if (m_records.students.empty()) {
            put("<p class=\"none\">No student's records could be read.</p></section>\n");
            return;
        }
        put("<div class=\"wide\"><table>\n<thead><tr><th>Student</th>");
        for (std::size_t a = 0; a < m_view.assignments.size(); ++a) {
            put("<th><a href=\"#");
            putAssignmentId(a);
            put("\">");
            esc(assignmentName(a));
            put("</a></th>");
        }
        put("</tr></thead>\n<tbody>\n");
        for (std::size_t s = 0; s < m_records.students.size(); ++s) {
            put("<tr><th><a href=\"#");
            putStudentId(s);
            put("\">");
            esc(m_records.students[s].name);
            put("</a></th>");
            for (std::size_t a = 0; a < m_view.assignments.size(); ++a) {
                overviewCell(s, a);
            }
            put("</tr>\n");
        }
        put("</tbody></table></div>\n</section>\n");
    }

    void overviewCell(std::size_t s, std::size_t a) {
        const Cell& c = m_view.cells[s][a];
        if (!c.present) {
            put("<td class=\"absent\">not run</td>");
            return;
        }
        const DocAssignment* doc = m_view.assignments[a].doc;
        put("<td><a href=\"#");
        putCellId(s, a);
        put("\">");
        if (doc) {
            num(c.answered);
            put(" of ");
            num(doc->questions);
            put(" questions");
            if (c.optionalAnswered > 0) {
                put(" (+");
                num(c.optionalAnswered);
                put(" optional)");
            }
        } else {
            put("details");
        }
        put("</a><br>");
        num(c.responses);
        put(c.responses == 1 ? " response" : " responses");
        if (c.notes > 0) {
            put(", ");
            num(c.notes);
            put(c.notes == 1 ? " note" : " notes");
        }
        if (c.first) {
            put("<br>");
            esc(timeText(*c.first));
            if (c.last != c.first) {
                put(" to<br>");
                esc(timeText(*c.last));
            }
        }
        put("</td>");
    }

    void docText(QStringView text, bool answer) {
        put(answer ? "<div class=\"doc answer\">" : "<div class=\"doc\">");
        esc(markup::expandLineBreaks(text));
        put("</div>\n");
    }

    void item(const Item& it, bool withEntry) {
        const Record& r = *it.record;
        const bool note = r.kind == BlockKind::Note;
        put(note ? "<li class=\"note\"><p class=\"who\">" : "<li><p class=\"who\">");
        put(m_studentLinks[static_cast<std::size_t>(it.student)]);
        put("<span class=\"meta\">");
        put(note ? "note, " : "");
        appendTimeText(m_out, r);
        put("</span>");
        if (r.rating != Rating::None) {
            put("<span class=\"rating\">");
            put(ratingName(r.rating));
            put(": ");
            if (r.ratingText.isEmpty()) {
                put("none given");
            } else {
                esc(r.ratingText);
            }
            put("</span>");
        }
        put("</p>");
        if (it.entryDiffers) {
            put("<p class=\"flag\">Placed by its question number; the file shows it after a line the problem "
                "document does not hold:</p>");
            docText(r.entry, false);
        } else if (withEntry) {
            put("<p class=\"flag\">After:</p>");
            docText(r.entry, false);
        }
        put("<div class=\"text\">");
        esc(r.text);
        put("</div></li>\n");
    }

    void items(const std::vector<Item>& list, bool critiques, const QString& none) {
        bool any = false;
        for (const Item& it : list) {
            if (it.critique == critiques) {
                if (!any) {
                    put("<ol class=\"records\">\n");
                    any = true;
                }
                item(it, false);
            }
        }
        if (any) {
            put("</ol>\n");
        } else {
            put("<p class=\"none\">");
            put(none);
            put("</p>\n");
        }
    }

    void assignment(std::size_t a) {
        const AssignmentView& av = m_view.assignments[a];
        put("<section class=\"assignment\" id=\"");
        putAssignmentId(a);
        put("\"><h2>");
        esc(assignmentName(a));
        put("</h2>\n");
        if (!av.doc && !av.nbr.isEmpty()) {
            put("<p class=\"flag\">The problem document has no assignment ");
            esc(av.nbr);
            put("; its records follow as they were read.</p>\n");
        }
        if (av.doc) {
            for (std::size_t g = 0; g < av.doc->groups.size(); ++g) {
                group(a, g);
            }
        }
        if (!av.unplaced.empty()) {
            put("<section class=\"question\"><h3>");
            put(av.doc ? "Entries the problem document does not hold" : "Records");
            put("</h3>\n<ol class=\"records\">\n");
            for (const Item& it : av.unplaced) {
                item(it, true);
            }
            put("</ol></section>\n");
        }
        put("</section>\n");
    }

    void group(std::size_t a, std::size_t g) {
        const AssignmentView& av = m_view.assignments[a];
        const DocGroup& dg = av.doc->groups[g];
        const std::vector<Item>& list = av.groups[g];
        const bool question = dg.kind == DocGroup::Kind::Question || dg.kind == DocGroup::Kind::OptionalQuestion;
        if (!question && list.empty()) {
            return; // text before the first question or the closing line, which nobody answered
        }
        put("<section class=\"question\" id=\"");
        putGroupId(a, g);
        put("\"><h3>");
        put(groupTitle(dg));
        put("</h3>\n");
        if (question) {
            docText(questionText(dg.question), false);
        }
        const bool hasAnswer = !dg.answers.isEmpty();
        for (const QString& t : dg.textsBefore) {
            docText(t, false);
        }
        put("<h4>Responses</h4>\n");
        items(list, false, QStringLiteral("No responses."));
        if (hasAnswer) {
            put("<h4>Given answer</h4>\n");
            for (const QString& answer : dg.answers) {
                docText(answer, true);
            }
            for (const QString& t : dg.textsAfter) {
                docText(t, false);
            }
            put("<h4>Self-critiques</h4>\n");
            items(list, true, QStringLiteral("No self-critiques."));
        } else if (std::any_of(list.begin(), list.end(), [](const Item& i) { return i.critique; })) {
            items(list, true, QString());
        }
        put("</section>\n");
    }

    // Confidence against self-critique, one point per question that has both, the count written in each point.
    void chart(std::size_t s) {
        std::array<std::array<int, 4>, 4> counts{};
        int pairs = 0;
        int agree = 0;
        int notOnScale = 0;
        for (std::size_t a = 0; a < m_view.assignments.size(); ++a) {
            for (const QuestionSummary& q : m_view.cells[s][a].groups) {
                if (!q.confidence || !q.critique) {
                    continue;
                }
                const int c = ratingValue(q.confidence->ratingText);
                const int k = ratingValue(q.critique->ratingText);
                if (c < 0 || k < 0) {
                    ++notOnScale;
                    continue;
                }
                ++counts[static_cast<std::size_t>(c)][static_cast<std::size_t>(k)];
                ++pairs;
                agree += c == k ? 1 : 0;
            }
        }
        int most = 1;
        for (const auto& row : counts) {
            for (const int n : row) {
                most = std::max(most, n);
            }
        }
        const auto x = [](int c) { return 62 + c * 44; };
        const auto y = [](int k) { return 152 - k * 40; };
        put("<figure class=\"chart\"><svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 240 210\" "
            "role=\"img\" aria-labelledby=\"");
        putStudentId(s);
        put("-chart\"><title id=\"");
        putStudentId(s);
        put("-chart\">Confidence against self-critique ratings of ");
        esc(m_records.students[s].name);
        put("</title>\n<rect x=\"40\" y=\"12\" width=\"190\" height=\"160\" fill=\"none\" stroke=\"#888\"/>\n"
            "<line x1=\"62\" y1=\"152\" x2=\"194\" y2=\"32\" stroke=\"#888\" stroke-dasharray=\"4 3\"/>\n");
        for (int v = 0; v < 4; ++v) {
            putFilled("<text x=\"%1\" y=\"188\" text-anchor=\"middle\">%2</text>"
                      "<text x=\"30\" y=\"%3\" text-anchor=\"middle\">%2</text>\n",
                      {Digits(x(v)), Digits(v), Digits(y(v) + 4)});
        }
        put("<text x=\"135\" y=\"205\" text-anchor=\"middle\">confidence</text>\n"
            "<text x=\"12\" y=\"92\" text-anchor=\"middle\" transform=\"rotate(-90 12 92)\">self-critique</text>\n");
        for (int c = 0; c < 4; ++c) {
            for (int k = 0; k < 4; ++k) {
                const int n = counts[static_cast<std::size_t>(c)][static_cast<std::size_t>(k)];
                if (n == 0) {
                    continue;
                }
                const double r = 7.0 + 11.0 * std::sqrt(static_cast<double>(n) / most);
                const std::string radius = QByteArray::number(r, 'f', 1).toStdString();
                putFilled("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"#cfd8e6\" stroke=\"#234\"/>"
                          "<text x=\"%1\" y=\"%4\" text-anchor=\"middle\">%5</text>\n",
                          {Digits(x(c)), Digits(y(k)), radius, Digits(y(k) + 4), Digits(n)});
            }
        }
        put("</svg>\n<figcaption>");
        if (pairs == 0) {
            put("No question has both a confidence and a self-critique rating on the 0 to 3 scale.");
        } else {
            num(pairs);
            put(pairs == 1 ? " question" : " questions");
            put(" with both ratings (the last of each); on ");
            num(agree);
            put(" the two agree (dashed line). Points above the line: the critique rated higher than the "
                "confidence.");
        }
        if (notOnScale > 0) {
            put(" ");
            num(notOnScale);
            put(" more with a rating not on the scale.");
        }
        put("</figcaption></figure>\n");
    }

    void student(std::size_t s) {
        const Student& st = m_records.students[s];
        put("<section class=\"student\" id=\"");
        putStudentId(s);
        put("\"><h3>");
        esc(st.name);
        put("</h3>\n<p class=\"summary\">Files: ");
        for (std::size_t f = 0; f < st.files.size(); ++f) {
            if (f > 0) {
                put(", ");
            }
            esc(QFileInfo(m_records.files[st.files[f]]).fileName());
        }
        put("</p>\n");
        chart(s);
        for (std::size_t a = 0; a < m_view.assignments.size(); ++a) {
            const Cell& c = m_view.cells[s][a];
            if (!c.present) {
                continue;
            }
            put("<section id=\"");
            putCellId(s, a);
            put("\"><h4>");
            esc(assignmentName(a));
            put("</h4>\n");
            const DocAssignment* doc = m_view.assignments[a].doc;
            if (!doc) {
                put("<p><a href=\"#");
                putAssignmentId(a);
                put("\">");
                num(c.responses);
                put(" responses, ");
                num(c.notes);
                put(" notes</a></p></section>\n");
                continue;
            }
            put("<div class=\"wide\"><table><thead><tr><th>Question</th><th>Responses</th><th>Confidence</th>"
                "<th>Self-critiques</th><th>Self-critique rating</th><th>Notes</th></tr></thead><tbody>\n");
            for (std::size_t g = 0; g < doc->groups.size(); ++g) {
                const DocGroup& dg = doc->groups[g];
                const QuestionSummary& q = c.groups[g];
                const bool question =
                    dg.kind == DocGroup::Kind::Question || dg.kind == DocGroup::Kind::OptionalQuestion;
                if (!question && q.responses + q.critiques + q.notes == 0) {
                    continue;
                }
                put("<tr><td><a href=\"#");
                putGroupId(a, g);
                put("\">");
                put(groupTitle(dg));
                put("</a></td><td>");
                num(q.responses);
                put("</td><td>");
                if (q.confidence) {
                    esc(q.confidence->ratingText);
                }
                put("</td><td>");
                num(q.critiques);
                put("</td><td>");
                if (q.critique) {
                    esc(q.critique->ratingText);
                }
                put("</td><td>");
                num(q.notes);
                put("</td></tr>\n");
            }
            if (c.unplaced > 0) {
                put("<tr><td colspan=\"6\"><a href=\"#");
                putAssignmentId(a);
                put("\">");
                num(c.unplaced);
                put(" more after lines the problem document does not hold</a></td></tr>\n");
            }
            put("</tbody></table></div></section>\n");
        }
        put("</section>\n");
    }

    void problems() {
        if (m_records.issues.empty()) {
            return;
        }
        put("<section id=\"problems\"><h2>Problems reading the files</h2>\n<p>Everything else in these files is "
            "in the report above.</p>\n<ul>\n");
        for (const Issue& issue : m_records.issues) {
            put("<li><code>");
            esc(issue.file);
            if (issue.line > 0) {
                put(":");
                num(issue.line);
            }
            put("</code>: ");
            esc(issue.message);
            if (!issue.text.isEmpty()) {
                put("<pre>");
                esc(issue.text);
                put("</pre>");
            }
            put("</li>\n");
        }
        put("</ul>\n</section>\n");
    }

    const ClassRecords& m_records;
    const ClassView& m_view;
    QIODevice& m_device;
    std::vector<std::string> m_studentLinks;
    std::string m_out; // UTF-8
    bool m_ok = true;
};

// The ASCII characters that stand in a page as they are: not markup, not a control character.
constexpr std::array<bool, 128> plainAscii = [] {
    std::array<bool, 128> plain{};
    for (std::size_t c = 0x20; c < 0x7F; ++c) {
        plain[c] = c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
    }
    // a page reads CR LF and a lone CR as a line break, as a student's text means them
    plain['\t'] = true;
    plain['\n'] = true;
    plain['\r'] = true;
    return plain;
}();

#if defined(__SSE2__)
// Sixteen characters narrowed to bytes, and which of them are not ASCII that a page shows as they are.
struct SixteenPlain {
    const __m128i blank = _mm_set1_epi8(0x20);
    const __m128i del = _mm_set1_epi8(0x7F);
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i quot = _mm_set1_epi8('"');
    const __m128i apos = _mm_set1_epi8('\'');

    // with saturation: a character from U+0100 on becomes 0xFF, one from U+8000 on 0, and neither is plain
    static __m128i narrow(const char16_t* p) {
        return _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)));
    }

    // One bit a character, set where it is not plain.
    unsigned notPlain(__m128i bytes) const {
        // line breaks and tabs are the control characters a text holds as a rule; they stay as they are
        const __m128i breaks = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, tab), _mm_cmpeq_epi8(bytes, lf)),
                                            _mm_cmpeq_epi8(bytes, cr));
        // compared as signed numbers: every byte from 0x80 on counts as below the blank
        const __m128i control = _mm_andnot_si128(breaks, _mm_cmplt_epi8(bytes, blank));
        const __m128i markup =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, amp), _mm_cmpeq_epi8(bytes, lt)),
                         _mm_or_si128(_mm_cmpeq_epi8(bytes, gt),
                                      _mm_or_si128(_mm_cmpeq_epi8(bytes, quot), _mm_cmpeq_epi8(bytes, apos))));
        const __m128i special = _mm_or_si128(_mm_or_si128(control, _mm_cmpeq_epi8(bytes, del)), markup);
        return static_cast<unsigned>(_mm_movemask_epi8(special));
    }
};
#endif

char* putUtf8(char* p, char32_t u) {
    if (u < 0x800) {
        *p++ = static_cast<char>(0xC0 | u >> 6);
    } else if (u < 0x10000) {
        *p++ = static_cast<char>(0xE0 | u >> 12);
        *p++ = static_cast<char>(0x80 | (u >> 6 & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | u >> 18);
        *p++ = static_cast<char>(0x80 | (u >> 12 & 0x3F));
        *p++ = static_cast<char>(0x80 | (u >> 6 & 0x3F));
    }
    *p++ = static_cast<char>(0x80 | (u & 0x3F));
    return p;
}

char* putText(char* p, std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
}

// One character, or a surrogate pair, from data[i] on, as the page holds it; i is moved past it.
char* putEscaped(char* p, const char16_t* data, qsizetype size, qsizetype& i) {
    const char16_t c = data[i++];
    if (c < 0x80 && plainAscii[c]) {
        *p++ = static_cast<char>(c);
        return p;
    }
    switch (c) {
    case u'&':
        return putText(p, "&amp;");
    case u'<':
        return putText(p, "&lt;");
    case u'>':
        return putText(p, "&gt;");
    case u'"':
        return putText(p, "&quot;");
    case u'\'':
        return putText(p, "&#39;");
    default:
        break;
    }
    if (c < 0x20 || c == 0x7F) {
        // NUL, escape and the like show as their pictures: the text stays as typed and the page valid
        return putUtf8(p, c == 0x7F ? char32_t(0x2421) : char32_t(0x2400 + c));
    }
    if (c <= 0x9F) {
        static constexpr char hex[] = "0123456789ABCDEF";
        p = putText(p, "[U+00");
        *p++ = hex[c >> 4];
        *p++ = hex[c & 0xF];
        return putText(p, "]");
    }
    if (!QChar::isSurrogate(c)) {
        return putUtf8(p, c);
    }
    if (QChar::isHighSurrogate(c) && i < size && QChar::isLowSurrogate(data[i])) {
        return putUtf8(p, QChar::surrogateToUcs4(c, data[i++]));
    }
    return putUtf8(p, QChar::ReplacementCharacter);
}

} // namespace

void appendEscaped(std::string& out, QStringView text) {
    const char16_t* data = text.utf16();
    const qsizetype size = text.size();
    // a slice at a time into room for the longest form of each of its characters, then onto the page
    constexpr qsizetype slice = 512;
    constexpr qsizetype longest = 8; // "[U+0081]"
    char room[slice * longest];
#if defined(__SSE2__)
    const SixteenPlain sixteen;
#endif
    qsizetype i = 0;
    while (i < size) {
        const qsizetype end = std::min(size, i + slice);
        char* p = room;
        while (i < end) {
#if defined(__SSE2__)
            if (i + 16 <= end) {
                // the plain characters before the first that is not go over as bytes, all sixteen as a rule
                const __m128i bytes = SixteenPlain::narrow(data + i);
                const unsigned special = sixteen.notPlain(bytes);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p), bytes);
                const int plain = special == 0 ? 16 : std::countr_zero(special);
                p += plain;
                i += plain;
                if (plain == 16) {
                    continue;
                }
            }
#endif
            p = putEscaped(p, data, size, i);
        }
        out.append(room, p);
    }
}

QString escaped(QStringView text) {
    std::string out;
    appendEscaped(out, text);
    return QString::fromStdString(out);
}

int ratingValue(QStringView typed) {
    const QStringView t = typed.trimmed();
    if (t.size() == 1 && t[0] >= u'0' && t[0] <= u'3') {
        return t[0].unicode() - u'0';
    }
    return -1;
}

bool writeHtmlReport(const ClassRecords& records, const ClassView& view, QIODevice& device) {
    return Page(records, view, device).render();
}

QString htmlReport(const ClassRecords& records, const ClassView& view) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeHtmlReport(records, view, buffer);
    return QString::fromUtf8(buffer.data());
}

} // namespace report
