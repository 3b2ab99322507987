#include "report/pages/htmlreport.h"

#include "report/pages/pageframe.h"

#include <QBuffer>
#include <QRegularExpression>

#include <memory>

namespace report {

using namespace pages;

namespace {

void indexBody(Out& out, const Context& context) {
    indexTop(out, context);
    out.put("<main id=\"main\">\n");
    attention(out, context);
    if (context.gridsOnIndex()) {
        overview(out, context); // a row per student: for a small class only
    }
    for (std::size_t a = 0; a < context.view.assignments.size(); ++a) {
        assignmentSummary(out, context, a);
    }
    problems(out, context);
    issueSummary(out, context, Context::Issues::NotRead);
}

} // namespace

bool writeHtmlReport(const ClassRecords& records, const ClassView& view, QIODevice& device) {
    const Context context(records, view, true);
    Out out(device);
    head(out, u"Class report");
    indexBody(out, context);
    for (std::size_t a = 0; a < view.assignments.size(); ++a) {
        assignment(out, context, a);
    }
    out.put("<section id=\"students\"><h2>Students</h2>\n");
    for (std::size_t s = 0; s < records.students.size(); ++s) {
        student(out, context, s, 0);
    }
    out.put("</section>\n</main>\n");
    foot(out);
    return out.finish();
}

QString htmlReport(const ClassRecords& records, const ClassView& view) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeHtmlReport(records, view, buffer);
    return QString::fromUtf8(buffer.data());
}

std::vector<ReportPage> reportPages(const ClassRecords& records, const ClassView& view) {
    const auto context = std::make_shared<const Context>(records, view, false);
    // a page: its head, the line of links, a part, its end
    const auto page = [context](QString title, std::function<void(Out&)> part) {
        return [context, title, part](QIODevice& device) {
            Out out(device);
            head(out, title);
            out.put("<header>");
            navigation(out, *context);
            out.put("</header>\n<main id=\"main\">\n");
            part(out);
            out.put("</main>\n");
            foot(out);
            return out.finish();
        };
    };
    std::vector<ReportPage> pages;
    pages.push_back({QStringLiteral("index.html"), [context](QIODevice& device) {
                         Out out(device);
                         head(out, u"Class report");
                         indexBody(out, *context);
                         out.put("</main>\n");
                         foot(out);
                         return out.finish();
                     }});
    for (std::size_t a = 0; a < view.assignments.size(); ++a) {
        const QString name = QStringLiteral("assignment-%1").arg(a + 1);
        const QString title = context->assignmentName(a) + QStringLiteral(": class report");
        pages.push_back(
            {name + QStringLiteral(".html"), page(title, [context, a](Out& out) { assignment(out, *context, a); })});
        for (std::size_t p = 0; p < context->unplacedParts(a); ++p) {
            const std::size_t g = view.assignments[a].doc ? view.assignments[a].doc->groups.size() : 0;
            pages.push_back(
                {name + QStringLiteral("-q%1%2.html").arg(g).arg(p > 0 ? QStringLiteral("-%1").arg(p + 1) : QString()),
                 page(QStringLiteral("Records not placed, ") + title, [context, a, p](Out& out) {
                     out.put("<h2>");
                     out.isolated(context->assignmentName(a));
                     out.put("</h2>\n");
                     unplaced(out, *context, a, p);
                 })});
        }
        const DocAssignment* doc = view.assignments[a].doc;
        if (!doc) {
            continue;
        }
        for (std::size_t p = 0; !context->gridsOnIndex() && p < context->gridParts(a); ++p) {
            pages.push_back(
                {QStringLiteral("grid-%1%2.html").arg(a + 1).arg(p > 0 ? QStringLiteral("-%1").arg(p + 1) : QString()),
                 page(QStringLiteral("Grid, ") + title, [context, a, p](Out& out) {
                     out.put("<h2>");
                     out.isolated(context->assignmentName(a));
                     out.put("</h2>\n");
                     partsLine(out, "Students", " in the order of the index", context->gridParts(a), p,
                               context->gridPart(a, p), context->records.students.size(),
                               [&](std::size_t other) { context->gridHref(out, a, other); });
                     grid(out, *context, a, p);
                 })});
        }
        for (std::size_t g = 0; context->split(a) && g < doc->groups.size(); ++g) {
            if (!isQuestion(doc->groups[g]) && view.assignments[a].groups[g].empty()) {
                continue;
            }
            for (std::size_t p = 0; p < context->groupParts(a, g); ++p) {
                pages.push_back(
                    {name +
                         QStringLiteral("-q%1%2.html").arg(g).arg(p > 0 ? QStringLiteral("-%1").arg(p + 1) : QString()),
                     page(groupTitle(doc->groups[g]) + QStringLiteral(", ") + title, [context, a, g, p](Out& out) {
                         out.put("<h2>");
                         out.isolated(context->assignmentName(a));
                         out.put("</h2>\n");
                         group(out, *context, a, g, p);
                     })});
            }
        }
    }
    for (std::size_t s = 0; s < records.students.size(); ++s) {
        for (std::size_t p = 0; p < context->studentParts(s); ++p) {
            pages.push_back({QStringLiteral("student-%1%2.html")
                                 .arg(s + 1)
                                 .arg(p > 0 ? QStringLiteral("-%1").arg(p + 1) : QString()),
                             page(records.students[s].name + QStringLiteral(": class report"),
                                  [context, s, p](Out& out) { student(out, *context, s, p); })});
        }
    }
    for (std::size_t p = 0; p < context->issueParts(Context::Issues::NotRead); ++p) {
        pages.push_back({p > 0 ? QStringLiteral("not-read-%1.html").arg(p + 1) : QStringLiteral("not-read.html"),
                         page(QStringLiteral("Files not read: class report"),
                              [context, p](Out& out) { issueList(out, *context, Context::Issues::NotRead, p); })});
    }
    for (std::size_t p = 0; context->problemsOnPages() && p < context->issueParts(Context::Issues::Problems); ++p) {
        pages.push_back({p > 0 ? QStringLiteral("problems-%1.html").arg(p + 1) : QStringLiteral("problems.html"),
                         page(QStringLiteral("Problems reading the files: class report"),
                              [context, p](Out& out) { issueList(out, *context, Context::Issues::Problems, p); })});
    }
    return pages;
}

bool isPageName(const QString& name) {
    static const QRegularExpression pageName(
        QStringLiteral("^(index|(not-read|problems)(-[1-9][0-9]*)?|(assignment|grid|student)-[1-9][0-9]*(-q[0-9]+)?(-["
                       "1-9][0-9]*)?)\\.html$"));
    // the working folder, the lock and the lock's own lock
    return name.startsWith(u".qadrill-report.") || pageName.match(name).hasMatch();
}

bool readsAsAPage(const QByteArray& start) {
    // the end of the page's start, its policy line, and as much of the policy as does not change with the style
    constexpr std::string_view policyLine = "<meta http-equiv=\"Content-Security-Policy\" content=\"";
    static_assert(pageStart.ends_with(policyLine));
    return start.startsWith(QByteArrayView(pageStart.data(), static_cast<qsizetype>(pageStart.size()))) ||
           start.contains(QByteArray(policyLine.data(), static_cast<qsizetype>(policyLine.size())) +
                          "default-src 'none'; style-src 'sha256-");
}

bool isEarlierPage(const QString& name, const QByteArray& start) {
    return !name.startsWith(u".qadrill-report.") && isPageName(name) &&
           start.startsWith(QByteArrayView(pageStart.data(), static_cast<qsizetype>(pageStart.size())));
}

} // namespace report
