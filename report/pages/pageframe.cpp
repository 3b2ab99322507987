#include "report/pages/pageframe.h"

#include "problems/markup.h"

#include <QCryptographicHash>

#include <algorithm>

namespace report::pages {

namespace {

using recordreader::BlockKind;
using recordreader::Rating;

// The ratings' scale, 0 light to 3 dark: one hue whose lightness alone tells the steps apart, in grey print and to
// readers who do not tell red from green; the number is written in every cell as well.
const QString style = QStringLiteral(R"(
:root { color-scheme: light; }
* { print-color-adjust: exact; -webkit-print-color-adjust: exact; }
body { font: 15px/1.45 sans-serif; margin: 0 auto; max-width: 62rem; padding: 0 1rem 3rem; color: #111;
       overflow-wrap: break-word; }
code, .who, th bdi { overflow-wrap: anywhere; }
h1 { font-size: 1.6rem; margin: 1.2rem 0 .3rem; }
h2 { font-size: 1.35rem; border-bottom: 2px solid #444; margin-top: 2.2rem; }
h3 { font-size: 1.15rem; margin: 1.6rem 0 .4rem; }
h4 { font-size: 1rem; margin: 1rem 0 .3rem; }
nav a { display: inline-block; margin-right: .8rem; }
a { color: #0645ad; }
.wide { overflow-x: auto; }
.skip { position: absolute; left: -100rem; }
.skip:focus { left: .5rem; top: .5rem; background: #fff; padding: .3rem .6rem; border: 2px solid #0645ad; z-index: 5; }
table { border-collapse: collapse; margin: .4rem 0; }
th, td { border: 1px solid #999; padding: .3rem .5rem; text-align: left; vertical-align: top; }
thead th { background: #eee; }
tr, li, figure, .pair, .doc { break-inside: avoid; }
td.absent { color: #555; }
.doc, .text, pre { white-space: pre-wrap; overflow-wrap: anywhere; }
.doc { background: #f4f4f4; border-left: 4px solid #888; padding: .4rem .6rem; margin: .3rem 0; }
.doc.answer { border-left-color: #3a7d3a; }
ol.records { list-style: none; padding: 0; margin: .3rem 0; }
ol.records li { border: 1px solid #ccc; border-radius: 4px; padding: .35rem .6rem; margin: .35rem 0; }
ol.records li.note { border-style: dashed; background: #fffbe6; }
.who { font-weight: bold; margin: 0 0 .2rem; }
ol.students { list-style: none; padding: 0; margin: .3rem 0; }
ol.students > li { border-top: 1px solid #bbb; padding: .2rem 0 .4rem; }
ol.students h5 { font-size: 1rem; margin: .3rem 0 .1rem; }
.meta { font-weight: normal; color: #444; margin-left: .6rem; }
.rating { font-weight: bold; margin-left: .6rem; }
.text { margin: 0; }
.none { color: #555; font-style: italic; }
.flag { color: #8a4b00; font-size: .9em; }
.pair { display: grid; grid-template-columns: 1fr 1fr; gap: .8rem; }
.pair > div > h4 { margin-top: .2rem; }
.wide.scroll { max-height: 85vh; overflow: auto; }
table.grid th:first-child { position: sticky; left: 0; background: #fff; z-index: 1; }
table.grid thead th { position: sticky; top: 0; background: #eee; z-index: 2; box-shadow: 0 1px 0 #999; }
table.grid thead th:first-child { z-index: 3; }
table.grid td { padding: 0; text-align: center; min-width: 2.2rem; }
table.grid td a { display: block; color: inherit; text-decoration: none; padding: .15rem .25rem; }
table.grid td span, .spread span { display: block; font-variant-numeric: tabular-nums; }
.spread span { display: inline-block; min-width: 1.4em; text-align: center; }
td.spread { white-space: nowrap; }
.v0 { background: #f2f0f7; } .v1 { background: #cbc9e2; } .v2 { background: #9e9ac8; }
.v3 { background: #54278f; color: #fff; } .v { color: #555; }
td.alert { outline: 3px solid #000; outline-offset: -3px; }
table.grid td .mark { font-size: .65em; line-height: 1.2; font-weight: bold; white-space: nowrap; }
td.missing { border: 2px dashed #000; font-style: italic; }
.key span { padding: 0 .3rem; }
figure.chart { margin: .5rem 0; }
figure.chart svg { width: 15rem; max-width: 100%; height: auto; }
svg text { font: 11px sans-serif; }
pre { background: #f4f4f4; padding: .3rem; margin: .2rem 0; }
@media (max-width: 40rem) {
  body { padding: 0 .5rem 2rem; }
  .pair { grid-template-columns: 1fr; }
  .meta, .rating { display: inline-block; margin-left: 0; margin-right: .6rem; }
}
@media print {
  body { max-width: none; font-size: 11pt; }
  a { color: inherit; text-decoration: none; }
  nav { display: none; }
  .wide, .wide.scroll { overflow: visible; max-height: none; }
  .skip { display: none; }
  table.grid thead th { position: static; }
  h2, h3, h4 { break-after: avoid; }
}
)");

// The style and the policy that lets it alone apply, made once for every page.
const std::string& styleText() {
    static const std::string text = style.toStdString();
    return text;
}

const std::string& contentSecurityPolicy() {
    static const std::string policy =
        "default-src 'none'; style-src 'sha256-" +
        QCryptographicHash::hash(style.toUtf8(), QCryptographicHash::Sha256).toBase64().toStdString() +
        "'; base-uri 'none'; form-action 'none'";
    return policy;
}

// As much of a text as a page shows, not ending within a pair of surrogates.
QStringView shownPart(QStringView text) {
    if (text.size() <= longestShownText) {
        return text;
    }
    const qsizetype end = text[longestShownText - 1].isHighSurrogate() ? longestShownText - 1 : longestShownText;
    return text.left(end);
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

} // namespace

Out::Out(QIODevice& device) : m_device(device) {
    m_out.reserve(chunk + 4096);
}

bool Out::finish() {
    flush();
    return m_ok;
}

void Out::put(QStringView text) {
    const QByteArray utf8 = text.toUtf8();
    put(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

void Out::putFilled(std::string_view markup, std::initializer_list<std::string_view> fills) {
    for (std::size_t at = markup.find('%'); at != std::string_view::npos; at = markup.find('%')) {
        m_out += markup.substr(0, at);
        m_out += fills.begin()[markup[at + 1] - '1'];
        markup.remove_prefix(at + 2);
    }
    put(markup);
}

void Out::flush() {
    const auto size = static_cast<qint64>(m_out.size());
    m_ok = m_ok && m_device.write(m_out.data(), size) == size;
    m_out.clear(); // keeps its room for the next piece
}

void putAssignmentId(Out& out, std::size_t a) {
    out.put("a");
    out.num(static_cast<long long>(a + 1));
}

void putGroupId(Out& out, std::size_t a, std::size_t g) {
    putAssignmentId(out, a);
    out.put("-q");
    out.num(static_cast<long long>(g));
}

void putStudentId(Out& out, std::size_t s) {
    out.put("s");
    out.num(static_cast<long long>(s + 1));
}

void putCellId(Out& out, std::size_t s, std::size_t a) {
    putStudentId(out, s);
    out.put("-a");
    out.num(static_cast<long long>(a + 1));
}

void head(Out& out, QStringView title) {
    out.put(pageStart);
    out.put(contentSecurityPolicy());
    out.put("\">\n<meta name=\"referrer\" content=\"no-referrer\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
    out.esc(title);
    out.put("</title>\n<style>");
    out.put(styleText());
    out.put("</style>\n</head>\n<body>\n<a class=\"skip\" href=\"#main\">Skip to the content</a>\n");
}

void foot(Out& out) {
    out.put("</body>\n</html>\n");
}

void navigation(Out& out, const Context& context) {
    out.put("<nav><a href=\"");
    context.indexHref(out, {});
    out.put(context.onePage ? "\">Overview</a>" : "\">Index</a>");
    for (std::size_t a = 0; a < context.view.assignments.size(); ++a) {
        out.put("<a href=\"");
        context.assignmentHref(out, a);
        out.put("\">");
        const QString& nbr = context.view.assignments[a].nbr;
        if (nbr.isEmpty()) {
            out.put("unknown");
        }
        out.isolated(nbr);
        out.put("</a>");
    }
    if (context.onePage) {
        out.put("<a href=\"#students\">Students</a>");
    }
    if (!context.issues(Context::Issues::Problems).empty()) {
        out.put("<a href=\"");
        context.issuesHref(out, Context::Issues::Problems, 0);
        out.put("\">Problems</a>");
    }
    if (!context.records.notRead.empty()) {
        out.put("<a href=\"");
        context.issuesHref(out, Context::Issues::NotRead, 0);
        out.put("\">Not read</a>");
    }
    out.put("</nav>\n");
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

bool afterwardsItem(const Item& item) {
    return item.critique || item.record->kind == recordreader::BlockKind::Note;
}

bool isQuestion(const DocGroup& g) {
    return g.kind == DocGroup::Kind::Question || g.kind == DocGroup::Kind::OptionalQuestion;
}

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

void docText(Out& out, const Context& context, QStringView text, bool answer) {
    out.put(answer ? "<div class=\"doc answer\" dir=\"auto\">" : "<div class=\"doc\" dir=\"auto\">");
    if (const std::string* html = context.docHtml(text)) {
        out.put(*html);
    } else {
        out.esc(markup::expandLineBreaks(text));
    }
    out.put("</div>\n");
}

void record(Out& out, const Context& context, const Item& item, bool who, bool entry) {
    const Record& r = *item.record;
    const bool note = r.kind == BlockKind::Note;
    out.put(note ? "<li class=\"note\"><p class=\"who\">" : "<li><p class=\"who\">");
    if (who) {
        out.put(context.studentLink(static_cast<std::size_t>(item.student)));
    }
    out.put("<span class=\"meta\">");
    out.put(note ? "note, " : "");
    appendTimeText(out.raw(), r);
    out.put("</span>");
    if (r.rating != Rating::None) {
        out.put("<span class=\"rating\">");
        out.put(ratingName(r.rating));
        out.put(": ");
        if (r.ratingText.isEmpty()) {
            out.put("none given");
        } else {
            out.isolated(r.ratingText);
        }
        out.put("</span>");
    }
    out.put("</p>");
    if (item.entryDiffers) {
        out.put("<p class=\"flag\">Placed by its question number; the file shows it after a line the problem "
                "document does not hold:</p>");
        docText(out, context, shownPart(r.entry), false);
    } else if (item.askedOtherwise) {
        out.put("<p class=\"flag\">Counted as its rating says; the problem document now gives the line it was written "
                "after as another kind of line:</p>");
        docText(out, context, shownPart(r.entry), false);
    } else if (entry) {
        // a record not placed: where it is, to be looked at in its file
        out.put("<p class=\"flag\">In <code><bdi>");
        out.esc(context.records.files[r.file]);
        out.put("</bdi>:");
        out.num(r.line);
        out.put("</code>, after:</p>");
        docText(out, context, shownPart(r.entry), false);
    }
    out.put("<div class=\"text\" dir=\"auto\">");
    out.esc(shownPart(r.text));
    out.put("</div>");
    if (r.text.size() > longestShownText ||
        (r.entry.size() > longestShownText && (entry || item.entryDiffers || item.askedOtherwise))) {
        // a page holds what a reader takes in; the rest is where it was read
        out.put("<p class=\"flag\">Cut: the text is ");
        out.num(std::max(r.text.size(), r.entry.size()));
        out.put(" characters long; the whole of it is in <code><bdi>");
        out.esc(context.records.files[r.file]);
        out.put("</bdi>:");
        out.num(r.line);
        out.put("</code>.</p>");
    }
    out.put("</li>\n");
}

void records(Out& out, const Context& context, const std::vector<const Item*>& list, bool who, std::string_view none) {
    if (list.empty()) {
        if (!none.empty()) {
            out.put("<p class=\"none\">");
            out.put(none);
            out.put("</p>\n");
        }
        return;
    }
    out.put("<ol class=\"records\">\n");
    for (const Item* it : list) {
        record(out, context, *it, who, false);
    }
    out.put("</ol>\n");
}

} // namespace report::pages
