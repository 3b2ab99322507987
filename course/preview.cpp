#include "course/preview.h"

#include "problems/markup.h"
#include "records/numbertext.h"
#include "report/out/reportfile.h"
#include "report/pages/pageframe.h"

#include <QDir>
#include <QFileInfo>

#include <map>

namespace coursepreview {

using questionsteps::End;

ProblemLines storeOf(const QStringList& lines) {
    ProblemLines store;
    for (int i = 0; i < lines.size() && i < lastLineIndex; ++i) {
        store[i + 1] = lines[i];
    }
    return store;
}

std::optional<Walk> walk(const ProblemLines& store, const QString& assignmentNbr) {
    Walk result;
    result.nbr = numbertext::padAssignmentNbr(assignmentNbr);
    const QString next = numbertext::followingAssignmentNbr(result.nbr);
    int lineIndex = 0;
    while (lineIndex < lastLineIndex && !markup::opensAssignment(store[lineIndex], result.nbr)) {
        ++lineIndex;
    }
    if (!markup::opensAssignment(store[lineIndex], result.nbr)) {
        return std::nullopt;
    }
    result.headingStoreLine = lineIndex;
    bool promptPending = false;
    QString currentEntry;
    QString blockKind;
    QString questionNbr;
    QString displayText;
    const questionsteps::Fields fields{lineIndex, promptPending, currentEntry, blockKind, questionNbr, displayText};
    // a response after every press: no prompt is ever pending when the next one reads
    const questionsteps::PressHooks hooks{
        [] {}, [](const QString& routine) { return questionsteps::routineReturns(routine); }};
    while (result.steps.empty() || result.steps.back().end == End::None) {
        Step step;
        step.firstStoreLine = lineIndex + 1;
        const questionsteps::Press press = questionsteps::press(store, next, fields, hooks);
        promptPending = false;
        step.lastStoreLine = lineIndex;
        step.shown = press.shown;
        step.routine = press.routine;
        step.end = press.end;
        step.rating = press.end == End::None ? blockKind : QString();
        result.steps.push_back(step);
    }
    return result;
}

namespace {

using report::pages::Out;

QString pageName(const QString& nbr) {
    return QStringLiteral("assignment-%1.html").arg(nbr);
}

std::string_view endText(End end) {
    switch (end) {
    case End::NextHeading:
        return "it meets the next assignment's heading: the run ends, nothing is shown";
    case End::EndOfText:
        return "it meets a line that begins with \"####.#\": the run ends, nothing is shown";
    case End::PastStore:
        return "no line is left in the store: the run ends, nothing is shown";
    case End::Routine:
        return "its routine ends the run";
    case End::None:
        break;
    }
    return {};
}

void finding(Out& out, const QString& fileName, const coursecheck::Finding& f, int id, const QString& href) {
    out.put(f.severity == coursecheck::Severity::Error ? "<li><strong>error</strong> " : "<li>warning ");
    if (!href.isEmpty()) {
        out.put("<a href=\"");
        out.esc(href);
        out.put("\">");
    }
    out.put("<code>");
    out.esc(QStringLiteral("%1:%2:%3").arg(fileName).arg(f.line).arg(f.column));
    out.put("</code>");
    out.put(href.isEmpty() ? "" : "</a>");
    out.put(" ");
    out.esc(f.message);
    out.put(" <span class=\"meta\">#");
    out.num(id);
    out.put("</span></li>\n");
}

bool writePage(const QString& path, const std::function<void(Out&)>& write, QString* error) {
    const auto failure = report::writeReportFile(path, [&](QIODevice& device) {
        Out out(device);
        write(out);
        return out.finish();
    });
    if (failure && error) {
        *error = QStringLiteral("%1: cannot be written: %2").arg(path, *failure);
    }
    return !failure;
}

} // namespace

bool writePreview(const coursecheck::Result& result, const QString& fileName, const QString& folder, QString* error) {
    if (!QDir().mkpath(folder)) {
        if (error) {
            *error = QStringLiteral("%1: the folder cannot be made").arg(folder);
        }
        return false;
    }
    const ProblemLines store = storeOf(result.document.lines);
    std::vector<Walk> walks;
    for (const coursecheck::AssignmentSummary& a : result.assignments) {
        if (auto w = walk(store, a.nbr); w && w->headingStoreLine == a.headingStoreLine) {
            walks.push_back(*w);
        }
    }
    // Each finding at a store line stands on the assignment page, at the press that reads the line.
    std::map<std::size_t, QString> hrefs;
    std::map<int, std::vector<std::size_t>> byStoreLine;
    for (std::size_t i = 0; i < result.findings.size(); ++i) {
        const int line = result.findings[i].storeLine;
        if (line > 0) {
            byStoreLine[line].push_back(i);
        }
    }
    std::vector<std::vector<std::vector<std::size_t>>> placed(walks.size());
    for (std::size_t w = 0; w < walks.size(); ++w) {
        placed[w].resize(walks[w].steps.size() + 1);
        const auto place = [&](int from, int to, std::size_t slot, const QString& anchor) {
            for (auto it = byStoreLine.lower_bound(from); it != byStoreLine.end() && it->first <= to; ++it) {
                for (std::size_t i : it->second) {
                    if (!hrefs.count(i)) {
                        hrefs[i] = pageName(walks[w].nbr) + u'#' + anchor;
                        placed[w][slot].push_back(i);
                    }
                }
            }
        };
        place(walks[w].headingStoreLine, walks[w].headingStoreLine, 0, QStringLiteral("heading"));
        for (std::size_t s = 0; s < walks[w].steps.size(); ++s) {
            place(walks[w].steps[s].firstStoreLine, walks[w].steps[s].lastStoreLine, s + 1,
                  QStringLiteral("press-%1").arg(s + 1));
        }
    }

    const QString title = result.title.isEmpty() ? QFileInfo(fileName).fileName() : result.title;
    const auto navigation = [&](Out& out) {
        out.put("<nav><a href=\"index.html\">Course</a>");
        for (const Walk& w : walks) {
            out.put("<a href=\"");
            out.esc(pageName(w.nbr));
            out.put("\">");
            out.esc(w.nbr);
            out.put("</a>");
        }
        out.put("</nav>\n");
    };
    const auto list = [&](Out& out, const std::vector<std::size_t>& which, bool withHref) {
        if (which.empty()) {
            return;
        }
        out.put("<ul>\n");
        for (std::size_t i : which) {
            finding(out, fileName, result.findings[i], static_cast<int>(i + 1),
                    withHref && hrefs.count(i) ? hrefs[i] : QString());
        }
        out.put("</ul>\n");
    };

    const bool indexWritten = writePage(
        QDir(folder).filePath(QStringLiteral("index.html")),
        [&](Out& out) {
            report::pages::head(out, QStringLiteral("Preview: %1").arg(title));
            navigation(out);
            out.put("<h1>");
            out.esc(title);
            out.put("</h1>\n<p class=\"meta\">");
            out.esc(fileName);
            out.put("</p>\n<h2>Assignments</h2>\n<div class=\"wide\"><table><thead><tr><th>Assignment</th>"
                    "<th>Questions</th><th>Given answers</th><th>Text blocks</th><th>Characters</th>"
                    "<th>Presses</th></tr></thead>\n<tbody>\n");
            for (const coursecheck::AssignmentSummary& a : result.assignments) {
                const auto w = std::find_if(walks.begin(), walks.end(),
                                            [&](const Walk& x) { return x.headingStoreLine == a.headingStoreLine; });
                out.put("<tr><td>");
                if (w != walks.end()) {
                    out.put("<a href=\"");
                    out.esc(pageName(a.nbr));
                    out.put("\">");
                }
                out.esc(a.heading);
                out.put(w != walks.end() ? "</a>" : "");
                out.put("</td><td>");
                out.num(a.questions);
                if (a.optionalQuestions) {
                    out.put(" and ");
                    out.num(a.optionalQuestions);
                    out.put(" optional");
                }
                out.put("</td><td>");
                out.num(a.answers);
                out.put("</td><td>");
                out.num(a.texts);
                out.put("</td><td>");
                out.num(a.characters);
                out.put("</td><td>");
                if (w != walks.end()) {
                    out.num(static_cast<long long>(w->steps.size()));
                }
                out.put("</td></tr>\n");
            }
            out.put("</tbody></table></div>\n<h2 id=\"problems\">What the check found</h2>\n");
            if (result.findings.empty()) {
                out.put("<p class=\"none\">Nothing: the drill reads the course as it is written.</p>\n");
            } else {
                std::vector<std::size_t> all(result.findings.size());
                for (std::size_t i = 0; i < all.size(); ++i) {
                    all[i] = i;
                }
                list(out, all, true);
            }
            report::pages::foot(out);
        },
        error);
    if (!indexWritten) {
        return false;
    }

    for (std::size_t w = 0; w < walks.size(); ++w) {
        const Walk& walk = walks[w];
        const QString heading = result.document.lines[walk.headingStoreLine - 1];
        const bool written = writePage(
            QDir(folder).filePath(pageName(walk.nbr)),
            [&](Out& out) {
                report::pages::head(out, QStringLiteral("Preview: %1").arg(heading));
                navigation(out);
                out.put("<h1 id=\"heading\">");
                out.esc(heading);
                out.put("</h1>\n<p>Each press of <b>Next Question / Answer</b>, a response entered after each one. "
                        "The boxes hold exactly what the question box receives.</p>\n");
                std::vector<std::size_t> here;
                for (const auto& slot : placed[w]) {
                    here.insert(here.end(), slot.begin(), slot.end());
                }
                if (!here.empty()) {
                    out.put("<h2>What the check found here</h2>\n");
                    list(out, here, true);
                }
                list(out, placed[w][0], false);
                for (std::size_t s = 0; s < walk.steps.size(); ++s) {
                    const Step& step = walk.steps[s];
                    out.put("<h3 id=\"press-");
                    out.num(static_cast<long long>(s + 1));
                    out.put("\">Press ");
                    out.num(static_cast<long long>(s + 1));
                    out.put(" <span class=\"meta\">store lines ");
                    out.num(step.firstStoreLine);
                    if (step.lastStoreLine != step.firstStoreLine) {
                        out.put("&ndash;");
                        out.num(step.lastStoreLine);
                    }
                    const coursecheck::Place place = coursecheck::placeOf(
                        result.document, std::min(step.lastStoreLine, static_cast<int>(result.document.lines.size())),
                        0);
                    if (step.lastStoreLine <= result.document.lines.size()) {
                        out.put(", file line ");
                        out.num(place.line);
                    }
                    out.put("</span></h3>\n");
                    if (!step.routine.isEmpty()) {
                        out.put("<p class=\"meta\">runs the routine ");
                        out.esc(step.routine);
                        out.put("</p>\n");
                    }
                    if (step.end != End::None) {
                        out.put("<p class=\"flag\">This press ends the run: ");
                        out.put(endText(step.end));
                        out.put(".</p>\n");
                    } else {
                        out.put(step.rating == u"answer" ? "<div class=\"doc answer\" dir=\"auto\">"
                                                         : "<div class=\"doc\" dir=\"auto\">");
                        out.esc(step.shown);
                        out.put("</div>\n<p class=\"rating\">");
                        out.put(step.rating == u"question" ? "A response is followed by a confidence rating (0 to 3)."
                                : step.rating == u"answer"
                                    ? "A response is followed by a self-critique rating (0 to 3)."
                                    : "A response is recorded without a rating.");
                        out.put("</p>\n");
                    }
                    list(out, placed[w][s + 1], false);
                }
                report::pages::foot(out);
            },
            error);
        if (!written) {
            return false;
        }
    }
    return true;
}

} // namespace coursepreview
