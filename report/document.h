#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The problem document as the report sets records against it: its assignments, their questions with the given
// answers and texts, and where a line that a record file holds stands in it.
namespace report {

// A part of an assignment: a question with its given answers and the text lines after it, or what stands before the
// first question, or the closing line.
struct DocGroup {
    enum class Kind { Preamble, Question, OptionalQuestion, Closing };
    Kind kind = Kind::Preamble;
    QString number;          // a question's three digits
    QString question;        // the question line as the student saw it, marker included
    QStringList answers;     // the given answers, without their marker
    QStringList textsBefore; // text lines before the first given answer (all of them when there is none)
    QStringList textsAfter;  // text lines after it
};

struct DocAssignment {
    QString nbr;
    QString heading;
    std::vector<DocGroup> groups; // the preamble first, always there
    int questions = 0;            // not counting optional ones
    int optionalQuestions = 0;
};

struct Placement {
    int assignment = -1; // -1: the document does not hold the entry
    int group = -1;
    bool afterAnswer = false;
    bool text = false;  // a text line: no rating is asked after it, and a response to it is no self-critique
    bool alike = false; // another line of the assignment reads the same: see Document::placesAlike
};

class Document {
public:
    explicit Document(const QStringList& storeLines);
    static Document carried();
    // The course in a file, as the drill would carry it; the carried one for no name, none when it cannot be read.
    // What the drill would leave out or read otherwise than its author meant goes to errors, as FILE:LINE:COLUMN.
    static std::optional<Document> fromFile(const QString& path, QStringList* errors = nullptr);

    const std::vector<DocAssignment>& assignments() const { return m_assignments; }
    int assignmentIndex(QStringView nbr) const;
    // Where an entry stands: within the named assignment, or, with no name, in the one assignment that holds it. An
    // entry that an editor or a transport changed is found too: its line ends, its blanks (a long line wrapped over
    // several, trailing blanks added) and letters lost to "?" do not count; so is a question that the course has
    // renumbered since, or made optional or required, by its words.
    Placement place(QStringView assignmentNbr, const QString& entry) const;
    // Where a placement said alike: every place in its assignment whose line reads as the entry, in the document's
    // order (two questions may have one given answer, "Yes."). What the student did before it tells which one it is.
    std::vector<Placement> placesAlike(QStringView assignmentNbr, const QString& entry) const;

private:
    Placement placeIn(const std::vector<Placement>& found, QStringView assignmentNbr) const;
    const std::vector<Placement>* found(QStringView assignmentNbr, const QString& entry) const;

    std::vector<DocAssignment> m_assignments;
    QHash<QString, std::vector<Placement>> m_entries;   // by the entry as a record file holds it
    QHash<QString, std::vector<Placement>> m_folded;    // by its folded form, see foldedEntry
    QHash<QString, std::vector<Placement>> m_questions; // the questions, by their words without marker and number
};

// The assignment a master file's question number names ("002" for 20001.5), or empty.
QString assignmentOfNumber(double questionNumber);

// The form in which copies of one document line are alike: without any blank, tab or line end, and "?" for every
// character beyond ASCII.
QString foldedEntry(QStringView entry);
// The number a question's line gives after its marker, near its start ("006" for "*`q006.  ..."); empty for another
// line.
QStringView numberOfQuestionLine(QStringView line);

} // namespace report
