#pragma once

#include "report/document.h"
#include "report/read/classrecords.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

// The class's records set against the problem document: per assignment, per question in the document's order, what
// every student wrote; per student and assignment, the counts and ratings of the overview.
namespace report {

// A record in its place.
struct Item {
    int student = 0;
    const Record* record = nullptr;
    bool critique = false;     // written after the given answer was shown
    bool entryDiffers = false; // placed by the master file's question number; the document holds no such line
    // its rating was asked where the document now gives another kind of line (a confidence after a given answer, a
    // self-critique before one, either after a text line, after which the drill asks none): counted as what its rating
    // says it was
    bool askedOtherwise = false;
    bool afterText = false; // that line a text line
};

struct QuestionSummary {
    int responses = 0; // before the given answer
    int critiques = 0; // after it
    int notes = 0;
    const Record* confidence = nullptr; // the last confidence rating given
    const Record* critique = nullptr;   // the last self-critique rating given
};

struct Cell {
    bool present = false; // the student ran the assignment
    int answered = 0;
    int optionalAnswered = 0;
    int responses = 0;
    int notes = 0;
    const Record* first = nullptr;
    const Record* last = nullptr;
    std::vector<QuestionSummary> groups; // parallel to the assignment's groups
    int unplaced = 0;                    // records the document could not place
    int unplacedResponses = 0;           // those of them that may be a question's response: no note, no self-critique
};

struct AssignmentView {
    QString nbr;                           // empty: records whose assignment is not known
    QString heading;                       // from the document, else from a header
    const DocAssignment* doc = nullptr;    // null when the document lacks the assignment
    std::vector<std::vector<Item>> groups; // parallel to doc->groups
    std::vector<Item> unplaced;            // entries the document does not hold
};

struct ClassView {
    std::vector<AssignmentView> assignments; // those that any student ran, in order of their numbers
    std::vector<std::vector<Cell>> cells;    // [student][assignment]
};

ClassView buildView(const ClassRecords& records, const Document& document);

// Every record that could not be placed in the document is a problem, with its file and line; a record of an
// assignment the document does not hold is told once per student and assignment. So is every record whose rating was
// asked where the document now gives another kind of line.
void tellUnplaced(ClassRecords& records, const ClassView& view, const Document& document);

// The time of a record as the report shows it: "2026-01-07 09:30:05", or what is known of it; ASCII only.
QString timeText(const Record& record);
void appendTimeText(std::string& out, const Record& record);

} // namespace report
