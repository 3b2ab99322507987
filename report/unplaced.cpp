#include "report/classview.h"

#include <QHash>

#include <algorithm>

// The records the document could not place, and those whose rating says the document placed them otherwise, told.
namespace report {

void tellUnplaced(ClassRecords& records, const ClassView& view, const Document& document) {
    // a master file's question numbers that name another assignment than the run's header: told once a run, where
    // they begin
    for (const Student& s : records.students) {
        for (const Run& run : s.runs) {
            const auto other = std::find_if(run.records.begin(), run.records.end(), [&](const Record& r) {
                return r.questionNumber && !run.assignmentNbr.isEmpty() &&
                       assignmentOfNumber(*r.questionNumber) != run.assignmentNbr;
            });
            if (other != run.records.end()) {
                records.issues.push_back(
                    {records.files[other->file], other->line,
                     QStringLiteral("the master file's question numbers from here on name assignment %1, the run's "
                                    "header %2: the header of a later run may be missing before this block")
                         .arg(assignmentOfNumber(*other->questionNumber), run.assignmentNbr),
                     QString()});
            }
        }
    }
    // a record placed otherwise than by its line as it stands, and a rating asked where the document now gives another
    // kind of line: the course may have changed since the run
    for (const AssignmentView& av : view.assignments) {
        for (std::size_t g = 0; g < av.groups.size(); ++g) {
            const DocGroup& dg = av.doc->groups[g];
            const QString where = dg.kind == DocGroup::Kind::Preamble  ? QStringLiteral("before the first question")
                                  : dg.kind == DocGroup::Kind::Closing ? QStringLiteral("at the end of the assignment")
                                                                       : QStringLiteral("at question ") + dg.number;
            for (const Item& it : av.groups[g]) {
                const Record& r = *it.record;
                const auto tell = [&](const QString& message) {
                    records.issues.push_back({records.files[r.file], r.line, message, r.entry});
                };
                // placed otherwise than by its line as it stands
                const QStringView number = numberOfQuestionLine(r.entry);
                if (it.entryDiffers) {
                    tell(QStringLiteral(
                             "the problem document no longer holds the line this was written after: placed %1 "
                             "by the master file's question number")
                             .arg(where));
                } else if (!number.isEmpty() && number != dg.number && !dg.number.isEmpty()) {
                    tell(QStringLiteral("written after question %1, which the problem document now numbers %2: placed "
                                        "there by its words")
                             .arg(number.toString(), dg.number));
                }
                if (!it.askedOtherwise) {
                    continue;
                }
                const bool confidence = r.rating == recordreader::Rating::Confidence;
                const QString line = it.afterText ? QStringLiteral("a text line, after which it asks none")
                                     : confidence ? QStringLiteral("a given answer")
                                                  : QStringLiteral("a line that is no given answer");
                tell(confidence
                         ? QStringLiteral("a confidence rating, which the drill asks after a question, on a "
                                          "response written after %1 (%2): counted as a response")
                               .arg(line, where)
                         : QStringLiteral("a self-critique rating, which the drill asks after a given answer, on "
                                          "a response written after %1 (%2): counted as a self-critique")
                               .arg(line, where));
            }
        }
    }
    QHash<const QChar*, Placement> elsewhereOf; // where in the document an entry stands, whatever the assignment
    for (const AssignmentView& av : view.assignments) {
        if (!av.doc && !av.nbr.isEmpty()) {
            // the document lacks the whole assignment: said once per student, at the first of their records
            QHash<int, int> count;
            for (const Item& it : av.unplaced) {
                ++count[it.student];
            }
            for (const Item& it : av.unplaced) {
                const auto n = count.find(it.student);
                if (n == count.end()) {
                    continue;
                }
                records.issues.push_back({records.files[it.record->file], it.record->line,
                                          QStringLiteral("assignment %1 is not in the problem document: %2 records of "
                                                         "it from here on are not placed in a question")
                                              .arg(av.nbr)
                                              .arg(*n),
                                          QString()});
                count.erase(n);
            }
            continue;
        }
        for (const Item& it : av.unplaced) {
            const Record& r = *it.record;
            const QString what =
                r.kind == recordreader::BlockKind::Note ? QStringLiteral("a note") : QStringLiteral("a response");
            QString message;
            // the class's entries are held once: an entry met again is known by where it lies
            auto known = elsewhereOf.constFind(r.entry.constData());
            if (known == elsewhereOf.constEnd()) {
                known = elsewhereOf.insert(r.entry.constData(), document.place(QStringView(), r.entry));
            }
            const Placement elsewhere = *known;
            if (av.nbr.isEmpty()) {
                message = QStringLiteral("%1 before any header, after a line that no one assignment of the problem "
                                         "document holds: not placed")
                              .arg(what);
            } else if (elsewhere.assignment >= 0 &&
                       document.assignments()[static_cast<std::size_t>(elsewhere.assignment)].nbr != av.nbr) {
                message =
                    QStringLiteral("%1 after a line of assignment %2 in a run of assignment %3: a header may be "
                                   "missing before it, or the course moved the line since; not placed")
                        .arg(what, document.assignments()[static_cast<std::size_t>(elsewhere.assignment)].nbr, av.nbr);
            } else {
                message = QStringLiteral("%1 after a line that assignment %2 of the problem document does not hold: "
                                         "not placed")
                              .arg(what, av.nbr);
            }
            records.issues.push_back({records.files[r.file], r.line, message, r.entry});
        }
    }
}

} // namespace report
