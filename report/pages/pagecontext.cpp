#include "report/pages/pageframe.h"

#include "problems/markup.h"

#include <algorithm>
#include <cstdint>

// Where each part of the report stands: which students a split page shows, and the links between the pages.
namespace report::pages {

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

// A later part of a page is named as the first with "-2", "-3" and so on.
void putPart(Out& out, std::size_t part) {
    if (part > 0) {
        out.put("-");
        out.num(static_cast<long long>(part + 1));
    }
}

void page(Out& out, std::string_view kind, std::size_t n) {
    out.put(kind);
    out.num(static_cast<long long>(n + 1));
    out.put(".html");
}

// What a student's page holds, weighed in characters: each section's and record's markup and the text it shows.
constexpr std::size_t charactersOnAPage = 300000;
constexpr std::size_t markupWeight = 300;

std::size_t shownLength(const QString& text) {
    return static_cast<std::size_t>(std::min(text.size(), longestShownText));
}

std::size_t recordWeight(const Item& item) {
    const Record& r = *item.record;
    return markupWeight + shownLength(r.text) + (item.entryDiffers || item.askedOtherwise ? shownLength(r.entry) : 0);
}

} // namespace

Context::Context(const ClassRecords& records_, const ClassView& view_, bool onePage_)
    : records(records_), view(view_), onePage(onePage_) {
    // a page of more records or grid cells than these takes Chromium about a second to open
    constexpr std::size_t cellsOnAPage = 2500;
    const std::size_t assignments = view.assignments.size();
    const std::size_t students = records.students.size();
    m_byStudent.assign(students, std::vector<std::vector<std::vector<const Item*>>>(assignments));
    std::size_t cells = 0;
    for (std::size_t a = 0; a < assignments; ++a) {
        const AssignmentView& av = view.assignments[a];
        // a student's groups of an assignment are made with their first record: most did only some assignments
        m_noItems.emplace_back(av.groups.size() + 1);
        const auto groupsOf = [&](const Item& it) -> std::vector<std::vector<const Item*>>& {
            std::vector<std::vector<const Item*>>& groups = m_byStudent[static_cast<std::size_t>(it.student)][a];
            if (groups.empty()) {
                groups.resize(av.groups.size() + 1);
            }
            return groups;
        };
        std::size_t count = av.unplaced.size();
        for (std::size_t g = 0; g < av.groups.size(); ++g) {
            count += av.groups[g].size();
            for (const Item& it : av.groups[g]) {
                groupsOf(it)[g].push_back(&it);
            }
        }
        for (const Item& it : av.unplaced) {
            groupsOf(it).back().push_back(&it);
        }
        m_split.push_back(!onePage && av.doc && count > recordsOnAPage);
        m_unplacedParts.push_back(onePage || av.unplaced.size() <= recordsOnAPage
                                      ? 0
                                      : (av.unplaced.size() + recordsOnAPage - 1) / recordsOnAPage);
        const std::size_t width = av.doc ? av.doc->groups.size() : 0;
        m_gridParts.push_back(partStarts(students, onePage ? SIZE_MAX : cellsOnAPage,
                                         [&](std::size_t s) { return view.cells[s][a].present ? width : 0; }));
        for (std::size_t s = 0; s < students; ++s) {
            cells += view.cells[s][a].present ? width : 0;
        }
        m_groupParts.emplace_back();
        for (std::size_t g = 0; g < av.groups.size(); ++g) {
            m_groupParts.back().push_back(
                partStarts(students, m_split.back() ? recordsOnAPage : SIZE_MAX,
                           [&](std::size_t s) { return std::min(studentItems(s, a)[g].size(), recordsOnAPage); }));
        }
    }
    m_gridsOnIndex = onePage || cells <= cellsOnAPage;
    m_studentParts.resize(students);
    for (std::size_t s = 0; s < students; ++s) {
        std::vector<Position>& starts = m_studentParts[s];
        starts.push_back({});
        std::size_t held = 0;
        for (std::size_t a = 0; a < assignments && !onePage; ++a) {
            if (!view.cells[s][a].present) {
                continue;
            }
            bool first = true; // the assignment's first section: a part that begins there begins with its heading
            const std::vector<std::vector<const Item*>>& groups = studentItems(s, a);
            for (std::size_t g = 0; g < groups.size(); ++g) {
                if (!shownForStudent(view.assignments[a], g, groups[g])) {
                    continue;
                }
                const DocAssignment* doc = view.assignments[a].doc;
                const std::size_t heading =
                    markupWeight + (doc && g < doc->groups.size() ? shownLength(doc->groups[g].question) : 0);
                std::size_t whole = heading;
                for (const Item* it : groups[g]) {
                    whole += recordWeight(*it);
                }
                if (held > 0 && held + whole > charactersOnAPage) {
                    starts.push_back(first ? Position{a, 0, 0} : Position{a, g, 0});
                    held = 0;
                }
                first = false;
                if (whole <= charactersOnAPage) {
                    held += whole;
                    continue;
                }
                held += heading;
                for (std::size_t i = 0; i < groups[g].size(); ++i) {
                    const std::size_t w = recordWeight(*groups[g][i]);
                    if (held > 0 && held + w > charactersOnAPage) {
                        starts.push_back({a, g, i});
                        held = 0;
                    }
                    held += w;
                }
            }
        }
    }
    for (std::size_t s = 0; s < students; ++s) {
        const std::string n = std::to_string(s + 1);
        std::string link = onePage ? "<a href=\"#s" + n + "\"><bdi>" : "<a href=\"student-" + n + ".html\"><bdi>";
        appendEscaped(link, records.students[s].name);
        m_studentLinks.push_back(link + "</bdi></a>");
    }
    for (std::size_t i = 0, n = 0; i < records.issues.size(); ++i) {
        if (n < records.notRead.size() && records.notRead[n] == i) {
            ++n; // the files not read are listed apart
        } else {
            m_problems.push_back(i);
        }
    }
    // the document's texts stand on every question's page and on every student's: escaped once
    const auto keep = [this](QStringView text) {
        std::string html;
        appendEscaped(html, markup::expandLineBreaks(text));
        m_docHtml.emplace(std::pair(text.data(), text.size()), std::move(html));
    };
    for (const AssignmentView& av : view.assignments) {
        for (std::size_t g = 0; av.doc && g < av.doc->groups.size(); ++g) {
            const DocGroup& dg = av.doc->groups[g];
            keep(questionText(dg.question));
            for (const QStringList* texts : {&dg.textsBefore, &dg.answers, &dg.textsAfter}) {
                for (const QString& text : *texts) {
                    keep(text);
                }
            }
        }
    }
}

const std::string* Context::docHtml(QStringView text) const {
    const auto it = m_docHtml.find(std::pair(text.data(), text.size()));
    return it == m_docHtml.end() ? nullptr : &it->second;
}

std::size_t Context::studentPartOf(std::size_t s, const Position& at) const {
    const std::vector<Position>& starts = m_studentParts[s];
    return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
}

bool shownForStudent(const AssignmentView& av, std::size_t g, const std::vector<const Item*>& items) {
    // a question always, with the words for no response; text before or after the questions where it has records
    return !items.empty() || (av.doc && g < av.doc->groups.size() && isQuestion(av.doc->groups[g]));
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
            putPart(out, partOf(m_groupParts[a][g], student));
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
        putPart(out, part);
        out.put(".html#");
    }
    putAssignmentId(out, a);
    out.put("-grid");
}

void Context::studentHref(Out& out, std::size_t s, std::size_t part) const {
    if (onePage) {
        out.put("#");
        putStudentId(out, s);
    } else {
        out.put("student-");
        out.num(static_cast<long long>(s + 1));
        putPart(out, part);
        out.put(".html");
    }
}

void Context::studentAssignmentHref(Out& out, std::size_t s, std::size_t a) const {
    if (!onePage) {
        studentHref(out, s, studentPartOf(s, {a, 0, 0}));
    }
    out.put("#");
    putCellId(out, s, a);
}

void Context::issuesHref(Out& out, Issues which, std::size_t part) const {
    const bool notRead = which == Issues::NotRead;
    if (!notRead && !problemsOnPages()) {
        indexHref(out, "problems"); // listed there
        return;
    }
    if (onePage) {
        out.put("#not-read-list");
        return;
    }
    out.put(notRead ? "not-read" : "problems");
    putPart(out, part);
    out.put(".html");
}

void Context::unplacedHref(Out& out, std::size_t a, std::size_t part) const {
    const std::size_t g = view.assignments[a].doc ? view.assignments[a].doc->groups.size() : 0;
    if (unplacedParts(a) == 0) {
        if (!onePage) {
            assignmentHref(out, a);
        }
        out.put("#");
        putGroupId(out, a, g);
        return;
    }
    out.put("assignment-");
    out.num(static_cast<long long>(a + 1));
    out.put("-q");
    out.num(static_cast<long long>(g));
    putPart(out, part);
    out.put(".html");
}

void Context::studentQuestionHref(Out& out, std::size_t s, std::size_t a, std::size_t g) const {
    if (!onePage) {
        studentHref(out, s, studentPartOf(s, {a, g, 0}));
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

void partsLine(Out& out, std::string_view what, std::string_view order, std::size_t parts, std::size_t part,
               const Context::Range& shown, std::size_t total, const std::function<void(std::size_t)>& href) {
    if (parts < 2) {
        return;
    }
    out.put("<p>");
    out.put(what);
    out.put(" ");
    out.num(static_cast<long long>(shown.first + 1));
    out.put(" to ");
    out.num(static_cast<long long>(shown.end));
    out.put(" of ");
    out.num(static_cast<long long>(total));
    out.put(order);
    out.put("; the others:");
    // A dozen parts are all linked. Beyond that each part links the first and the last, its near neighbours and those
    // a power of two away, so that any part is a few steps from any other and no page grows with the class.
    const auto linked = [&](std::size_t p) {
        const std::size_t away = p > part ? p - part : part - p;
        return parts <= 12 || p == 0 || p + 1 == parts || away <= 4 || (away & (away - 1)) == 0;
    };
    bool gap = false;
    for (std::size_t p = 0; p < parts; ++p) {
        if (p == part) {
            continue;
        }
        if (!linked(p)) {
            gap = true;
            continue;
        }
        if (gap) {
            out.put(" \u2026");
            gap = false;
        }
        out.put(" <a href=\"");
        href(p);
        out.put("\">part ");
        out.num(static_cast<long long>(p + 1));
        out.put("</a>");
    }
    out.put("</p>\n");
}

} // namespace report::pages
