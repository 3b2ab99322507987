#include "report/htmlreport.h"

#include "problems/markup.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QStringEncoder>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

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

QString ratingName(Rating r) {
    switch (r) {
    case Rating::Confidence:
        return QStringLiteral("confidence");
    case Rating::SelfCritique:
        return QStringLiteral("self-critique");
    case Rating::None:
        break;
    }
    return QString();
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

class Page {
public:
    Page(const ClassRecords& records, const ClassView& view, QIODevice& device)
        : m_records(records), m_view(view), m_device(device) {
        // a student's link, made once: it stands before each of their records
        for (std::size_t s = 0; s < records.students.size(); ++s) {
            QString link = QStringLiteral("<a href=\"#") + studentId(s) + QStringLiteral("\">");
            appendEscaped(link, records.students[s].name);
            m_studentLinks.push_back(link + QStringLiteral("</a>"));
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
        m_out += QStringLiteral("<section id=\"students\"><h2>Students</h2>\n");
        for (std::size_t s = 0; s < m_records.students.size(); ++s) {
            student(s);
        }
        m_out += QStringLiteral("</section>\n");
        problems();
        m_out += QStringLiteral("</main>\n</body>\n</html>\n");
        flush();
        return m_ok;
    }

private:
    static constexpr qsizetype chunk = 1 << 18;

    void flush() {
        m_bytes.resize(m_encoder.requiredSpace(m_out.size()));
        char* end = m_encoder.appendToBuffer(m_bytes.data(), m_out);
        const qint64 size = end - m_bytes.data();
        m_ok = m_ok && m_device.write(m_bytes.constData(), size) == size;
        m_out.resize(0);
    }
    void put(QStringView text) {
        m_out += text;
        if (m_out.size() > chunk) {
            flush();
        }
    }
    void esc(QStringView text) {
        appendEscaped(m_out, text);
        if (m_out.size() > chunk) {
            flush();
        }
    }
    void num(qsizetype n) { m_out += QString::number(n); }

    QString assignmentId(std::size_t a) const { return QStringLiteral("a%1").arg(a + 1); }
    QString groupId(std::size_t a, std::size_t g) const { return QStringLiteral("a%1-q%2").arg(a + 1).arg(g); }
    QString studentId(std::size_t s) const { return QStringLiteral("s%1").arg(s + 1); }
    QString cellId(std::size_t s, std::size_t a) const { return QStringLiteral("s%1-a%2").arg(s + 1).arg(a + 1); }

    QString assignmentName(std::size_t a) const {
        const AssignmentView& av = m_view.assignments[a];
        if (av.nbr.isEmpty()) {
            return QStringLiteral("Assignment not known");
        }
        return av.heading.isEmpty() ? QStringLiteral("Assignment ") + av.nbr : av.heading;
    }

    void head() {
        put(u"<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            u"<meta http-equiv=\"Content-Security-Policy\" content=\"");
        put(contentSecurityPolicy());
        put(u"\">\n<meta name=\"referrer\" content=\"no-referrer\">\n"
            u"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            u"<title>Class report</title>\n<style>");
        put(style);
        put(u"</style>\n</head>\n<body>\n<header>\n<h1>Class report</h1>\n<p>");
        num(static_cast<qsizetype>(m_records.students.size()));
        put(m_records.students.size() == 1 ? u" student, " : u" students, ");
        num(m_records.files.size());
        put(m_records.files.size() == 1 ? u" file read" : u" files read");
        if (!m_records.issues.empty()) {
            put(u", <a href=\"#problems\">");
            num(static_cast<qsizetype>(m_records.issues.size()));
            put(m_records.issues.size() == 1 ? u" problem</a> reading them" : u" problems</a> reading them");
        }
        put(u".</p>\n<nav><a href=\"#overview\">Overview</a>");
        for (std::size_t a = 0; a < m_view.assignments.size(); ++a) {
            put(u"<a href=\"#");
            put(assignmentId(a));
            put(u"\">");
            put(m_view.assignments[a].nbr.isEmpty() ? QStringLiteral("unknown") : QString());
            esc(m_view.assignments[a].nbr);
            put(u"</a>");
        }
        put(u"<a href=\"#students\">Students</a>");
        if (!m_records.issues.empty()) {
            put(u"<a href=\"#problems\">Problems</a>");
        }
        put(u"</nav>\n</header>\n<main>\n");
    }

    void overview() {
        put(u"<section id=\"overview\"><h2>Overview</h2>\n");
        if (m_records.students.empty()) {
            put(u"<p class=\"none\">No student's records could be read.</p></section>\n");
            return;
        }
        put(u"<div class=\"wide\"><table>\n<thead><tr><th>Student</th>");
        for (std::size_t a = 0; a < m_view.assignments.size(); ++a) {
            put(u"<th><a href=\"#");
            put(assignmentId(a));
            put(u"\">");
            esc(assignmentName(a));
            put(u"</a></th>");
        }
        put(u"</tr></thead>\n<tbody>\n");
        for (std::size_t s = 0; s < m_records.students.size(); ++s) {
            put(u"<tr><th><a href=\"#");
            put(studentId(s));
            put(u"\">");
            esc(m_records.students[s].name);
            put(u"</a></th>");
            for (std::size_t a = 0; a < m_view.assignments.size(); ++a) {
                overviewCell(s, a);
            }
            put(u"</tr>\n");
        }
        put(u"</tbody></table></div>\n</section>\n");
    }

    void overviewCell(std::size_t s, std::size_t a) {
        const Cell& c = m_view.cells[s][a];
        if (!c.present) {
            put(u"<td class=\"absent\">not run</td>");
            return;
        }
        const DocAssignment* doc = m_view.assignments[a].doc;
        put(u"<td><a href=\"#");
        put(cellId(s, a));
        put(u"\">");
        if (doc) {
            num(c.answered);
            put(u" of ");
            num(doc->questions);
            put(u" questions");
            if (c.optionalAnswered > 0) {
                put(u" (+");
                num(c.optionalAnswered);
                put(u" optional)");
            }
        } else {
            put(u"details");
        }
        put(u"</a><br>");
        num(c.responses);
        put(c.responses == 1 ? u" response" : u" responses");
        if (c.notes > 0) {
            put(u", ");
            num(c.notes);
            put(c.notes == 1 ? u" note" : u" notes");
        }
        if (c.first) {
            put(u"<br>");
            esc(timeText(*c.first));
            if (c.last != c.first) {
                put(u" to<br>");
                esc(timeText(*c.last));
            }
        }
        put(u"</td>");
    }

    void docText(QStringView text, bool answer) {
        put(answer ? u"<div class=\"doc answer\">" : u"<div class=\"doc\">");
        esc(markup::expandLineBreaks(text));
        put(u"</div>\n");
    }

    void item(const Item& it, bool withEntry) {
        const Record& r = *it.record;
        const bool note = r.kind == BlockKind::Note;
        put(note ? u"<li class=\"note\"><p class=\"who\">" : u"<li><p class=\"who\">");
        put(m_studentLinks[static_cast<std::size_t>(it.student)]);
        put(u"<span class=\"meta\">");
        put(note ? u"note, " : u"");
        appendTimeText(m_out, r);
        put(u"</span>");
        if (r.rating != Rating::None) {
            put(u"<span class=\"rating\">");
            put(ratingName(r.rating));
            put(u": ");
            if (r.ratingText.isEmpty()) {
                put(u"none given");
            } else {
                esc(r.ratingText);
            }
            put(u"</span>");
        }
        put(u"</p>");
        if (it.entryDiffers) {
            put(u"<p class=\"flag\">Placed by its question number; the file shows it after a line the problem "
                u"document does not hold:</p>");
            docText(r.entry, false);
        } else if (withEntry) {
            put(u"<p class=\"flag\">After:</p>");
            docText(r.entry, false);
        }
        put(u"<div class=\"text\">");
        esc(r.text);
        put(u"</div></li>\n");
    }

    void items(const std::vector<Item>& list, bool critiques, const QString& none) {
        bool any = false;
        for (const Item& it : list) {
            if (it.critique == critiques) {
                if (!any) {
                    put(u"<ol class=\"records\">\n");
                    any = true;
                }
                item(it, false);
            }
        }
        if (any) {
            put(u"</ol>\n");
        } else {
            put(u"<p class=\"none\">");
            put(none);
            put(u"</p>\n");
        }
    }

    void assignment(std::size_t a) {
        const AssignmentView& av = m_view.assignments[a];
        put(u"<section class=\"assignment\" id=\"");
        put(assignmentId(a));
        put(u"\"><h2>");
        esc(assignmentName(a));
        put(u"</h2>\n");
        if (!av.doc && !av.nbr.isEmpty()) {
            put(u"<p class=\"flag\">The problem document has no assignment ");
            esc(av.nbr);
            put(u"; its records follow as they were read.</p>\n");
        }
        if (av.doc) {
            for (std::size_t g = 0; g < av.doc->groups.size(); ++g) {
                group(a, g);
            }
        }
        if (!av.unplaced.empty()) {
            put(u"<section class=\"question\"><h3>");
            put(av.doc ? u"Entries the problem document does not hold" : u"Records");
            put(u"</h3>\n<ol class=\"records\">\n");
            for (const Item& it : av.unplaced) {
                item(it, true);
            }
            put(u"</ol></section>\n");
        }
        put(u"</section>\n");
    }

    void group(std::size_t a, std::size_t g) {
        const AssignmentView& av = m_view.assignments[a];
        const DocGroup& dg = av.doc->groups[g];
        const std::vector<Item>& list = av.groups[g];
        const bool question = dg.kind == DocGroup::Kind::Question || dg.kind == DocGroup::Kind::OptionalQuestion;
        if (!question && list.empty()) {
            return; // text before the first question or the closing line, which nobody answered
        }
        put(u"<section class=\"question\" id=\"");
        put(groupId(a, g));
        put(u"\"><h3>");
        put(groupTitle(dg));
        put(u"</h3>\n");
        if (question) {
            docText(questionText(dg.question), false);
        }
        const bool hasAnswer = !dg.answers.isEmpty();
        for (const QString& t : dg.textsBefore) {
            docText(t, false);
        }
        put(u"<h4>Responses</h4>\n");
        items(list, false, QStringLiteral("No responses."));
        if (hasAnswer) {
            put(u"<h4>Given answer</h4>\n");
            for (const QString& answer : dg.answers) {
                docText(answer, true);
            }
            for (const QString& t : dg.textsAfter) {
                docText(t, false);
            }
            put(u"<h4>Self-critiques</h4>\n");
            items(list, true, QStringLiteral("No self-critiques."));
        } else if (std::any_of(list.begin(), list.end(), [](const Item& i) { return i.critique; })) {
            items(list, true, QString());
        }
        put(u"</section>\n");
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
        put(u"<figure class=\"chart\"><svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 240 210\" "
            u"role=\"img\" aria-labelledby=\"");
        put(studentId(s));
        put(u"-chart\"><title id=\"");
        put(studentId(s));
        put(u"-chart\">Confidence against self-critique ratings of ");
        esc(m_records.students[s].name);
        put(u"</title>\n<rect x=\"40\" y=\"12\" width=\"190\" height=\"160\" fill=\"none\" stroke=\"#888\"/>\n"
            u"<line x1=\"62\" y1=\"152\" x2=\"194\" y2=\"32\" stroke=\"#888\" stroke-dasharray=\"4 3\"/>\n");
        for (int v = 0; v < 4; ++v) {
            m_out += QStringLiteral("<text x=\"%1\" y=\"188\" text-anchor=\"middle\">%2</text>"
                                    "<text x=\"30\" y=\"%3\" text-anchor=\"middle\">%2</text>\n")
                         .arg(x(v))
                         .arg(v)
                         .arg(y(v) + 4);
        }
        put(u"<text x=\"135\" y=\"205\" text-anchor=\"middle\">confidence</text>\n"
            u"<text x=\"12\" y=\"92\" text-anchor=\"middle\" transform=\"rotate(-90 12 92)\">self-critique</text>\n");
        for (int c = 0; c < 4; ++c) {
            for (int k = 0; k < 4; ++k) {
                const int n = counts[static_cast<std::size_t>(c)][static_cast<std::size_t>(k)];
                if (n == 0) {
                    continue;
                }
                const double r = 7.0 + 11.0 * std::sqrt(static_cast<double>(n) / most);
                m_out += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"#cfd8e6\" stroke=\"#234\"/>"
                                        "<text x=\"%1\" y=\"%4\" text-anchor=\"middle\">%5</text>\n")
                             .arg(x(c))
                             .arg(y(k))
                             .arg(r, 0, 'f', 1)
                             .arg(y(k) + 4)
                             .arg(n);
            }
        }
        put(u"</svg>\n<figcaption>");
        if (pairs == 0) {
            put(u"No question has both a confidence and a self-critique rating on the 0 to 3 scale.");
        } else {
            num(pairs);
            put(pairs == 1 ? u" question" : u" questions");
            put(u" with both ratings (the last of each); on ");
            num(agree);
            put(u" the two agree (dashed line). Points above the line: the critique rated higher than the "
                u"confidence.");
        }
        if (notOnScale > 0) {
            put(u" ");
            num(notOnScale);
            put(u" more with a rating not on the scale.");
        }
        put(u"</figcaption></figure>\n");
    }

    void student(std::size_t s) {
        const Student& st = m_records.students[s];
        put(u"<section class=\"student\" id=\"");
        put(studentId(s));
        put(u"\"><h3>");
        esc(st.name);
        put(u"</h3>\n<p class=\"summary\">Files: ");
        for (std::size_t f = 0; f < st.files.size(); ++f) {
            if (f > 0) {
                put(u", ");
            }
            esc(QFileInfo(m_records.files[st.files[f]]).fileName());
        }
        put(u"</p>\n");
        chart(s);
        for (std::size_t a = 0; a < m_view.assignments.size(); ++a) {
            const Cell& c = m_view.cells[s][a];
            if (!c.present) {
                continue;
            }
            put(u"<section id=\"");
            put(cellId(s, a));
            put(u"\"><h4>");
            esc(assignmentName(a));
            put(u"</h4>\n");
            const DocAssignment* doc = m_view.assignments[a].doc;
            if (!doc) {
                put(u"<p><a href=\"#");
                put(assignmentId(a));
                put(u"\">");
                num(c.responses);
                put(u" responses, ");
                num(c.notes);
                put(u" notes</a></p></section>\n");
                continue;
            }
            put(u"<div class=\"wide\"><table><thead><tr><th>Question</th><th>Responses</th><th>Confidence</th>"
                u"<th>Self-critiques</th><th>Self-critique rating</th><th>Notes</th></tr></thead><tbody>\n");
            for (std::size_t g = 0; g < doc->groups.size(); ++g) {
                const DocGroup& dg = doc->groups[g];
                const QuestionSummary& q = c.groups[g];
                const bool question =
                    dg.kind == DocGroup::Kind::Question || dg.kind == DocGroup::Kind::OptionalQuestion;
                if (!question && q.responses + q.critiques + q.notes == 0) {
                    continue;
                }
                put(u"<tr><td><a href=\"#");
                put(groupId(a, g));
                put(u"\">");
                put(groupTitle(dg));
                put(u"</a></td><td>");
                num(q.responses);
                put(u"</td><td>");
                if (q.confidence) {
                    esc(q.confidence->ratingText);
                }
                put(u"</td><td>");
                num(q.critiques);
                put(u"</td><td>");
                if (q.critique) {
                    esc(q.critique->ratingText);
                }
                put(u"</td><td>");
                num(q.notes);
                put(u"</td></tr>\n");
            }
            if (c.unplaced > 0) {
                put(u"<tr><td colspan=\"6\"><a href=\"#");
                put(assignmentId(a));
                put(u"\">");
                num(c.unplaced);
                put(u" more after lines the problem document does not hold</a></td></tr>\n");
            }
            put(u"</tbody></table></div></section>\n");
        }
        put(u"</section>\n");
    }

    void problems() {
        if (m_records.issues.empty()) {
            return;
        }
        put(u"<section id=\"problems\"><h2>Problems reading the files</h2>\n<p>Everything else in these files is "
            u"in the report above.</p>\n<ul>\n");
        for (const Issue& issue : m_records.issues) {
            put(u"<li><code>");
            esc(issue.file);
            if (issue.line > 0) {
                put(u":");
                num(issue.line);
            }
            put(u"</code>: ");
            esc(issue.message);
            if (!issue.text.isEmpty()) {
                put(u"<pre>");
                esc(issue.text);
                put(u"</pre>");
            }
            put(u"</li>\n");
        }
        put(u"</ul>\n</section>\n");
    }

    const ClassRecords& m_records;
    const ClassView& m_view;
    QIODevice& m_device;
    std::vector<QString> m_studentLinks;
    QString m_out;
    QByteArray m_bytes;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
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
// Whether eight characters at a time are all printable ASCII that a page shows as they are.
struct EightPlain {
    // compared as signed numbers: everything from U+8000 on counts as below the blank, and so as not plain
    const __m128i blank = _mm_set1_epi16(0x20);
    const __m128i tilde = _mm_set1_epi16(0x7E);
    const __m128i amp = _mm_set1_epi16('&');
    const __m128i lt = _mm_set1_epi16('<');
    const __m128i gt = _mm_set1_epi16('>');
    const __m128i quot = _mm_set1_epi16('"');
    const __m128i apos = _mm_set1_epi16('\'');

    bool operator()(const char16_t* p) const {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i outside = _mm_or_si128(_mm_cmplt_epi16(v, blank), _mm_cmpgt_epi16(v, tilde));
        const __m128i markup = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, amp), _mm_cmpeq_epi16(v, lt)),
                                            _mm_or_si128(_mm_cmpeq_epi16(v, gt), _mm_cmpeq_epi16(v, quot)));
        return _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(outside, markup), _mm_cmpeq_epi16(v, apos))) == 0;
    }
};
#endif

} // namespace

void appendEscaped(QString& out, QStringView text) {
    const char16_t* data = text.utf16();
    const qsizetype size = text.size();
    qsizetype safeFrom = 0;
#if defined(__SSE2__)
    const EightPlain eightPlain;
#endif
    const auto flush = [&](qsizetype i) {
        if (i > safeFrom) {
            out += QStringView(data + safeFrom, i - safeFrom);
        }
        safeFrom = i + 1;
    };
    for (qsizetype i = 0; i < size; ++i) {
#if defined(__SSE2__)
        while (i + 8 <= size && eightPlain(data + i)) {
            i += 8;
        }
        if (i >= size) {
            break;
        }
#endif
        const char16_t c = data[i];
        if (c < 0x80 ? plainAscii[c] : c > 0x9F && !QChar::isSurrogate(c)) {
            continue;
        }
        switch (c) {
        case u'&':
            flush(i);
            out += QLatin1String("&amp;");
            continue;
        case u'<':
            flush(i);
            out += QLatin1String("&lt;");
            continue;
        case u'>':
            flush(i);
            out += QLatin1String("&gt;");
            continue;
        case u'"':
            flush(i);
            out += QLatin1String("&quot;");
            continue;
        case u'\'':
            flush(i);
            out += QLatin1String("&#39;");
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7F) {
            // NUL, escape and the like show as their pictures: the text stays as typed and the page valid
            flush(i);
            out += QChar(c == 0x7F ? char16_t(0x2421) : char16_t(0x2400 + c));
        } else if (c >= 0x80 && c <= 0x9F) {
            flush(i);
            out += QStringLiteral("[U+%1]").arg(static_cast<int>(c), 4, 16, QLatin1Char('0')).toUpper();
        } else if (QChar::isSurrogate(c)) {
            const bool pair = QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(data[i + 1]);
            if (pair) {
                ++i;
            } else {
                flush(i);
                out += QChar(QChar::ReplacementCharacter);
            }
        }
    }
    if (size > safeFrom) {
        out += QStringView(data + safeFrom, size - safeFrom);
    }
}

QString escaped(QStringView text) {
    QString out;
    appendEscaped(out, text);
    return out;
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
