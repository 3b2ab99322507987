#include "report/pageframe.h"

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
.meta { font-weight: normal; color: #444; margin-left: .6rem; }
.rating { font-weight: bold; margin-left: .6rem; }
.text { margin: 0; }
.none { color: #555; font-style: italic; }
.flag { color: #8a4b00; font-size: .9em; }
.pair { display: grid; grid-template-columns: 1fr 1fr; gap: .8rem; }
.pair > div > h4 { margin-top: .2rem; }
table.grid th:first-child { position: sticky; left: 0; background: #fff; z-index: 1; }
table.grid thead th:first-child { background: #eee; }
table.grid td { padding: 0; text-align: center; min-width: 2.2rem; }
table.grid td a { display: block; color: inherit; text-decoration: none; padding: .15rem .25rem .15rem .7rem; }
table.grid td span, .spread span { display: block; font-variant-numeric: tabular-nums; }
.spread span { display: inline-block; min-width: 1.4em; text-align: center; }
.v0 { background: #f2f0f7; } .v1 { background: #cbc9e2; } .v2 { background: #9e9ac8; }
.v3 { background: #54278f; color: #fff; } .v { color: #555; }
td.alert { outline: 3px solid #000; outline-offset: -3px; }
table.grid td a { position: relative; }
td.alert a::before, td.missing a::before { content: "!"; font-weight: bold; position: absolute; left: .15rem; }
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
  .wide { overflow: visible; }
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

void page(Out& out, std::string_view kind, std::size_t n) {
    out.put(kind);
    out.num(static_cast<long long>(n + 1));
    out.put(".html");
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

namespace {

// The first student of each part, so that no part holds more than a page's worth, unless one student does alone.
template <typename Weight> std::vector<std::size_t> partStarts(std::size_t students, std::size_t most, Weight weight) {
    std::vector<std::size_t> starts = {0};
    std::size_t held = 0;
    for (std::size_t s = 0; s < students; ++s) {
        const std::size_t w = weight(s);
        if (held > 0 && held + w > most) {
            starts.push_back(s);
            held = 0;
        }
        held += w;
    }
    return starts;
}

} // namespace

Context::Context(const ClassRecords& records_, const ClassView& view_, bool onePage_)
    : records(records_), view(view_), onePage(onePage_) {
    // a page of more records or grid cells than these takes Chromium about a second to open
    constexpr std::size_t recordsOnAPage = 400;
    constexpr std::size_t cellsOnAPage = 2500;
    const std::size_t assignments = view.assignments.size();
    const std::size_t students = records.students.size();
    m_byStudent.assign(students, std::vector<std::vector<std::vector<const Item*>>>(assignments));
    std::size_t cells = 0;
    for (std::size_t a = 0; a < assignments; ++a) {
        const AssignmentView& av = view.assignments[a];
        for (auto& perStudent : m_byStudent) {
            perStudent[a].resize(av.groups.size() + 1);
        }
        std::size_t count = av.unplaced.size();
        for (std::size_t g = 0; g < av.groups.size(); ++g) {
            count += av.groups[g].size();
            for (const Item& it : av.groups[g]) {
                m_byStudent[static_cast<std::size_t>(it.student)][a][g].push_back(&it);
            }
        }
        for (const Item& it : av.unplaced) {
            m_byStudent[static_cast<std::size_t>(it.student)][a].back().push_back(&it);
        }
        m_split.push_back(!onePage && av.doc && count > recordsOnAPage);
        const std::size_t width = av.doc ? av.doc->groups.size() : 0;
        m_gridParts.push_back(partStarts(students, onePage ? SIZE_MAX : cellsOnAPage,
                                         [&](std::size_t s) { return view.cells[s][a].present ? width : 0; }));
        for (std::size_t s = 0; s < students; ++s) {
            cells += view.cells[s][a].present ? width : 0;
        }
        m_groupParts.emplace_back();
        for (std::size_t g = 0; g < av.groups.size(); ++g) {
            m_groupParts.back().push_back(partStarts(students, m_split.back() ? recordsOnAPage : SIZE_MAX,
                                                     [&](std::size_t s) { return m_byStudent[s][a][g].size(); }));
        }
    }
    m_gridsOnIndex = onePage || cells <= cellsOnAPage;
    for (std::size_t s = 0; s < students; ++s) {
        const std::string n = std::to_string(s + 1);
        std::string link = onePage ? "<a href=\"#s" + n + "\"><bdi>" : "<a href=\"student-" + n + ".html\"><bdi>";
        appendEscaped(link, records.students[s].name);
        m_studentLinks.push_back(link + "</bdi></a>");
    }
}

std::size_t Context::partOf(const std::vector<std::size_t>& starts, std::size_t student) {
    return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), student) - starts.begin()) - 1;
}

void Context::indexHref(Out& out, std::string_view fragment) const {
    if (!onePage) {
        out.put("index.html");
    }
    if (!fragment.empty() || onePage) {
        out.put("#");
        out.put(fragment.empty() ? std::string_view("overview") : fragment);
    }
}

void Context::assignmentHref(Out& out, std::size_t a) const {
    if (onePage) {
        out.put("#");
        putAssignmentId(out, a);
    } else {
        page(out, "assignment-", a);
    }
}

void Context::groupHref(Out& out, std::size_t a, std::size_t g, std::size_t student) const {
    if (!onePage) {
        out.put("assignment-");
        out.num(static_cast<long long>(a + 1));
        if (m_split[a]) {
            out.put("-q");
            out.num(static_cast<long long>(g));
            if (const std::size_t part = partOf(m_groupParts[a][g], student); part > 0) {
                out.put("-");
                out.num(static_cast<long long>(part + 1));
            }
        }
        out.put(".html");
    }
    out.put("#");
    putGroupId(out, a, g);
}

void Context::gridHref(Out& out, std::size_t a, std::size_t part) const {
    if (m_gridsOnIndex) {
        out.put(onePage ? "#" : "index.html#");
    } else {
        out.put("grid-");
        out.num(static_cast<long long>(a + 1));
        if (part > 0) {
            out.put("-");
            out.num(static_cast<long long>(part + 1));
        }
        out.put(".html#");
    }
    putAssignmentId(out, a);
    out.put("-grid");
}

void Context::studentHref(Out& out, std::size_t s) const {
    if (onePage) {
        out.put("#");
        putStudentId(out, s);
    } else {
        page(out, "student-", s);
    }
}

void Context::studentQuestionHref(Out& out, std::size_t s, std::size_t a, std::size_t g) const {
    if (!onePage) {
        page(out, "student-", s);
    }
    out.put("#");
    putCellId(out, s, a);
    out.put("-q");
    out.num(static_cast<long long>(g));
}

QString Context::assignmentName(std::size_t a) const {
    const AssignmentView& av = view.assignments[a];
    if (av.nbr.isEmpty()) {
        return QStringLiteral("Assignment not known");
    }
    return av.heading.isEmpty() ? QStringLiteral("Assignment ") + av.nbr : av.heading;
}

void partsLine(Out& out, std::size_t parts, std::size_t part, const Context::Range& shown, std::size_t students,
               const std::function<void(std::size_t)>& href) {
    if (parts < 2) {
        return;
    }
    out.put("<p>Students ");
    out.num(static_cast<long long>(shown.first + 1));
    out.put(" to ");
    out.num(static_cast<long long>(shown.end));
    out.put(" of ");
    out.num(static_cast<long long>(students));
    out.put(" in the order of the index; the others:");
    for (std::size_t p = 0; p < parts; ++p) {
        if (p != part) {
            out.put(" <a href=\"");
            href(p);
            out.put("\">part ");
            out.num(static_cast<long long>(p + 1));
            out.put("</a>");
        }
    }
    out.put("</p>\n");
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
    out.put("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"");
    out.put(contentSecurityPolicy());
    out.put("\">\n<meta name=\"referrer\" content=\"no-referrer\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
    out.esc(title);
    out.put("</title>\n<style>");
    out.put(style);
    out.put("</style>\n</head>\n<body>\n");
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
    if (!context.records.issues.empty() || !context.records.notRead.empty()) {
        out.put("<a href=\"");
        context.indexHref(out, "problems");
        out.put("\">Problems</a>");
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

void docText(Out& out, QStringView text, bool answer) {
    out.put(answer ? "<div class=\"doc answer\" dir=\"auto\">" : "<div class=\"doc\" dir=\"auto\">");
    out.esc(markup::expandLineBreaks(text.toString()));
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
        docText(out, r.entry, false);
    } else if (entry) {
        out.put("<p class=\"flag\">After:</p>");
        docText(out, r.entry, false);
    }
    out.put("<div class=\"text\" dir=\"auto\">");
    out.esc(r.text);
    out.put("</div></li>\n");
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
