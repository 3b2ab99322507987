#pragma once

#include "report/classview.h"
#include "report/pages/pagetext.h"

#include <QIODevice>
#include <QString>
#include <QStringView>

#include <charconv>
#include <compare>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// What every page of the report shares: the writer that puts a page out a piece at a time, the frame of a page (its
// style and content security policy), the links between pages, and the names and records as every page shows them.
namespace report::pages {

// A number's digits, made without the heap.
class Digits {
public:
    explicit Digits(long long n) : m_end(std::to_chars(m_digits, m_digits + sizeof m_digits, n).ptr) {}
    operator std::string_view() const { return std::string_view(m_digits, static_cast<std::size_t>(m_end - m_digits)); }

private:
    char m_digits[24];
    const char* m_end;
};

// A page as it is made, written to its device a piece at a time: a class's page may be larger than is worth holding.
class Out {
public:
    explicit Out(QIODevice& device);
    bool finish(); // false when the device failed

    // The page's own markup, ASCII.
    void put(std::string_view markup) {
        m_out += markup;
        flushWhenFull();
    }
    // Text of the page's own, such as the document's headings.
    void put(QStringView text);
    // Text from a file, escaped.
    void esc(QStringView text) {
        appendEscaped(m_out, text);
        flushWhenFull();
    }
    // Text from a file standing among the page's own words: isolated, so that its writing direction stays its own.
    void isolated(QStringView text) {
        m_out += "<bdi>";
        appendEscaped(m_out, text);
        m_out += "</bdi>";
        flushWhenFull();
    }
    void num(long long n) { m_out += Digits(n); }
    // Markup with %1 to %9 filled in, as QString::arg would fill them, without a string made at each step.
    void putFilled(std::string_view markup, std::initializer_list<std::string_view> fills);
    std::string& raw() { return m_out; }

private:
    static constexpr std::size_t chunk = 1 << 18;
    void flushWhenFull() {
        if (m_out.size() > chunk) {
            flush();
        }
    }
    void flush();
    QIODevice& m_device;
    std::string m_out; // UTF-8
    bool m_ok = true;
};

// What the pages are made from, and where each of them is.
class Context {
public:
    // onePage: every part in one page, linked by fragments; else a folder of pages linked by their names.
    Context(const ClassRecords& records, const ClassView& view, bool onePage);

    const ClassRecords& records;
    const ClassView& view;
    const bool onePage;

    // So that every page opens at once, a large class's pages are split: an assignment into a page per question, a
    // question's page and a grid into parts of the class, each a range of students [first, end).
    struct Range {
        std::size_t first = 0;
        std::size_t end = 0;
    };
    bool split(std::size_t a) const { return m_split[a]; }
    bool gridsOnIndex() const { return m_gridsOnIndex; }
    std::size_t gridParts(std::size_t a) const { return m_gridParts[a].size(); }
    Range gridPart(std::size_t a, std::size_t part) const { return range(m_gridParts[a], part); }
    std::size_t groupParts(std::size_t a, std::size_t g) const { return m_groupParts[a][g].size(); }
    Range groupPart(std::size_t a, std::size_t g, std::size_t part) const { return range(m_groupParts[a][g], part); }
    // A student's records of one assignment: per group of its document, then those the document does not hold.
    const std::vector<std::vector<const Item*>>& studentItems(std::size_t s, std::size_t a) const {
        return m_byStudent[s][a].empty() ? m_noItems[a] : m_byStudent[s][a];
    }
    // Where a part of a student's page begins: the assignment, the group of studentItems(), the record in it. A part
    // begins with a question where it can, within one only where that question alone holds more than a page's worth.
    struct Position {
        std::size_t a = 0;
        std::size_t g = 0;
        std::size_t i = 0;
        auto operator<=>(const Position&) const = default;
    };
    std::size_t studentParts(std::size_t s) const { return m_studentParts[s].size(); }
    Position studentPartStart(std::size_t s, std::size_t part) const { return m_studentParts[s][part]; }
    // The first position after the part.
    Position studentPartEnd(std::size_t s, std::size_t part) const {
        return part + 1 < m_studentParts[s].size() ? m_studentParts[s][part + 1]
                                                   : Position{view.assignments.size(), 0, 0};
    }
    std::size_t studentPartOf(std::size_t s, const Position& at) const;
    // The files not read, and the problems in the files read: each a list of indexes into records.issues, shown on
    // pages of their own in parts of this many.
    enum class Issues { NotRead, Problems };
    const std::vector<std::size_t>& issues(Issues which) const {
        return which == Issues::NotRead ? records.notRead : m_problems;
    }
    static constexpr std::size_t issuesOnAPage = 2000;
    std::size_t issueParts(Issues which) const {
        return onePage ? 1 : (issues(which).size() + issuesOnAPage - 1) / issuesOnAPage;
    }
    // A small class's problems are listed on the index itself.
    static constexpr std::size_t problemsOnIndex = 100;
    bool problemsOnPages() const { return !onePage && m_problems.size() > problemsOnIndex; }
    // An assignment's records that the document does not place: more than a page's worth are on pages of their own,
    // in parts of this many; 0 parts when the assignment's page lists them.
    std::size_t unplacedParts(std::size_t a) const { return m_unplacedParts[a]; }
    static constexpr std::size_t recordsOnAPage = 400; // and of one student's of one question, the latest

    // The hrefs, with the opening quote's content only.
    void indexHref(Out& out, std::string_view fragment) const;
    void assignmentHref(Out& out, std::size_t a) const;
    // The question in the part that shows the student, or in the first.
    void groupHref(Out& out, std::size_t a, std::size_t g, std::size_t student = 0) const;
    void gridHref(Out& out, std::size_t a, std::size_t part) const;
    void studentHref(Out& out, std::size_t s, std::size_t part = 0) const;
    // The student's records of an assignment, in the part of their page that holds its beginning.
    void studentAssignmentHref(Out& out, std::size_t s, std::size_t a) const;
    void issuesHref(Out& out, Issues which, std::size_t part) const;
    // The records of an assignment that the document does not place: a part of them on a page of its own, or where
    // the assignment's page lists them.
    void unplacedHref(Out& out, std::size_t a, std::size_t part) const;
    void studentQuestionHref(Out& out, std::size_t s, std::size_t a, std::size_t g) const;
    // A student's name as a link to them, made once.
    const std::string& studentLink(std::size_t s) const { return m_studentLinks[s]; }

    QString assignmentName(std::size_t a) const;
    // A text of the problem document as a page shows it, escaped; null for a text the document does not hold.
    const std::string* docHtml(QStringView text) const;

private:
    Range range(const std::vector<std::size_t>& starts, std::size_t part) const {
        return {starts[part], part + 1 < starts.size() ? starts[part + 1] : records.students.size()};
    }
    static std::size_t partOf(const std::vector<std::size_t>& starts, std::size_t student);
    std::vector<bool> m_split;
    bool m_gridsOnIndex = true;
    std::vector<std::vector<std::size_t>> m_gridParts;                           // [a]: the first student of each part
    std::vector<std::vector<std::vector<std::size_t>>> m_groupParts;             // [a][g]: the same
    std::vector<std::vector<std::vector<std::vector<const Item*>>>> m_byStudent; // [s][a][g], the last g unplaced
    std::vector<std::vector<std::vector<const Item*>>> m_noItems; // [a][g]: a student's with no records there
    std::vector<std::vector<Position>> m_studentParts;            // [s]: where each part begins
    std::vector<std::string> m_studentLinks;
    std::vector<std::size_t> m_problems;                                 // the issues that are not files not read
    std::vector<std::size_t> m_unplacedParts;                            // [a]
    std::map<std::pair<const QChar*, qsizetype>, std::string> m_docHtml; // by where the document holds the text
};

// Which of a list a part of a page shows ("Students 1 to 40 of 90 in the order of the index": what, the range, the
// whole and how it is ordered), and links to the other parts, each made by href(part); nothing when there is one. Of
// more than a dozen parts, only the first, the last, the near ones and those a power of two away are linked.
void partsLine(Out& out, std::string_view what, std::string_view order, std::size_t parts, std::size_t part,
               const Context::Range& shown, std::size_t total, const std::function<void(std::size_t)>& href);

// The ids of the parts: "a1", "a1-q2", "s3", "s3-a1", "s3-a1-q2".
void putAssignmentId(Out& out, std::size_t a);
void putGroupId(Out& out, std::size_t a, std::size_t g);
void putStudentId(Out& out, std::size_t s);
void putCellId(Out& out, std::size_t s, std::size_t a);

// Needs the instructor: the student was sure and then judged the work poor.
inline bool overConfident(int confidence, int critique) {
    return confidence >= 2 && critique >= 0 && critique <= 1 && confidence - critique >= 2;
}

// Whether a group of an assignment has a section on a student's page, with the student's records of it.
bool shownForStudent(const AssignmentView& av, std::size_t g, const std::vector<const Item*>& items);

// A response or note longer than this is shown cut, with where the whole of it is.
constexpr qsizetype longestShownText = 10000;

// How every page begins, up to its content security policy.
constexpr std::string_view pageStart = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                                       "<meta http-equiv=\"Content-Security-Policy\" content=\"";

// A page's head, its title and the top of its body; then its end.
void head(Out& out, QStringView title);
void foot(Out& out);
// The line of links at the top of every page.
void navigation(Out& out, const Context& context);

QString groupTitle(const DocGroup& g);
bool isQuestion(const DocGroup& g);
// The question without its marker and number, which the heading above it gives.
QStringView questionText(QStringView line);
// A text of the problem document, or of a line a record was written after.
void docText(Out& out, const Context& context, QStringView text, bool answer);

// A response or a note; with who, the student's name before it; with entry, the line it was written after.
void record(Out& out, const Context& context, const Item& item, bool who, bool entry);
// A self-critique or a note: what the pages show beside the responses, not among them.
bool afterwardsItem(const Item& item);
// A list of records, or the words for none.
void records(Out& out, const Context& context, const std::vector<const Item*>& list, bool who, std::string_view none);

} // namespace report::pages

// The parts of the pages, each in a file of its own.
namespace report::pages {

// indexpage.cpp: the class at a glance.
void indexTop(Out& out, const Context& context);
void overview(Out& out, const Context& context);
void grid(Out& out, const Context& context, std::size_t a, std::size_t part);
void assignmentSummary(Out& out, const Context& context, std::size_t a);
void problems(Out& out, const Context& context);
// A problem or a file not read, with its file and line.
void issueItem(Out& out, const Issue& issue);

// attention.cpp: the students who most need the instructor, first on the index.
void attention(Out& out, const Context& context);

// issuepages.cpp: the files not read and the problems in the files read, counted by reason on the index and listed
// on pages of their own.
void issueSummary(Out& out, const Context& context, Context::Issues which);
void issueList(Out& out, const Context& context, Context::Issues which, std::size_t part);

// assignmentpage.cpp: every student's records question by question.
void assignment(Out& out, const Context& context, std::size_t a);
// A part of an assignment's records that the document does not place.
void unplaced(Out& out, const Context& context, std::size_t a, std::size_t part);
void group(Out& out, const Context& context, std::size_t a, std::size_t g, std::size_t part);

// studentpage.cpp and chart.cpp: one student's records beside each other, and their ratings against each other.
void student(Out& out, const Context& context, std::size_t s, std::size_t part);
void chart(Out& out, const Context& context, std::size_t s);

} // namespace report::pages
