#pragma once

#include "report/classview.h"
#include "report/pages/pagetext.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>
#include <vector>

namespace report {

// Every page is self-contained and written as UTF-8: its style inline and allowed by its hash, no script, nothing
// loaded from anywhere.

// The whole report as one page: the index, every assignment and every student, linked within the page. False when the
// device fails.
bool writeHtmlReport(const ClassRecords& records, const ClassView& view, QIODevice& device);
// The same page as text.
QString htmlReport(const ClassRecords& records, const ClassView& view);

// The report as a folder of pages linked by their relative names: index.html, assignment-N.html, student-N.html and,
// when files were not read, not-read.html. Where one page would hold too much to open at once, a large class's grids
// go to grid-N.html, an assignment's questions to a page each, assignment-N-qG.html, and either into parts of the
// class, grid-N-P.html and assignment-N-qG-P.html; a student's page into parts, student-N-P.html, and the files not
// read into not-read-P.html.
struct ReportPage {
    QString name;
    std::function<bool(QIODevice&)> write; // false when the device fails
};
// The pages refer to the records and the view, which must outlive them.
std::vector<ReportPage> reportPages(const ClassRecords& records, const ClassView& view);

// Whether a file in a report's folder is a page that an earlier report wrote there: named as a page of the folder is,
// and beginning as every page does. Such a page that this report does not write again is one of another class's
// report, which would otherwise be zipped and handed on with this one.
bool isEarlierPage(const QString& name, const QByteArray& start);
// Whether a file's first bytes are those of a page a report wrote, though an editor or a browser saved it again (other
// line ends, a byte-order mark, a comment put first): the page's own policy line is among them. No name is looked at,
// and no regular expression matched: this is asked on the threads that write the pages.
bool readsAsAPage(const QByteArray& start);
// Named as a page of a report's folder is, or as the working folder or the lock a report's run keeps there.
bool isPageName(const QString& name);

} // namespace report
