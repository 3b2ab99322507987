#include "report/classview.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace report {

namespace {

// The question a master file's question number names ("005" for 20005), or empty.
QString questionOfNumber(double questionNumber) {
    const double q = questionNumber - std::floor(questionNumber / 10000.0) * 10000.0;
    if (!(q >= 1 && q <= 999) || q != std::floor(q)) {
        return QString();
    }
    return QStringLiteral("%1").arg(static_cast<int>(q), 3, 10, QLatin1Char('0'));
}

// Whether b, of the run, was written before a: within one run, in the order of its file, which a run only appends to
// (one left open overnight may seem to go back in time); of two runs, by their days and times where both are known
// (two runs at once, in two windows, interleave), else in the order they were read.
bool writtenBefore(const Record& b, const Run& run, const Record& a) {
    const std::less<const Record*> before;
    if (!before(&a, run.records.data()) && before(&a, run.records.data() + run.records.size())) {
        return &b < &a;
    }
    if (!a.date.isValid() || !b.date.isValid() || a.seconds < 0 || b.seconds < 0) {
        return false;
    }
    return b.date != a.date ? b.date < a.date : b.seconds < a.seconds;
}

// b in place of a, the last of its kind so far, unless it was written before it
void keepLast(const Record*& a, const Record* b, const Run& run) {
    a = !a || !writtenBefore(*b, run, *a) ? b : a;
}

} // namespace

void appendTimeText(std::string& out, const Record& record) {
    char text[24];
    std::size_t n = 0;
    const auto two = [&](int v) {
        text[n++] = static_cast<char>('0' + v / 10 % 10);
        text[n++] = static_cast<char>('0' + v % 10);
    };
    int year = 0;
    int month = 0;
    int day = 0;
    record.date.getDate(&year, &month, &day);
    const bool date = record.date.isValid() && year >= 1 && year <= 9999;
    if (date) {
        two(year / 100);
        two(year % 100);
        text[n++] = '-';
        two(month);
        text[n++] = '-';
        two(day);
        if (record.seconds >= 0) {
            text[n++] = ' ';
        }
    }
    if (record.seconds >= 0) {
        two(record.seconds / 3600);
        text[n++] = ':';
        two(record.seconds / 60 % 60);
        text[n++] = ':';
        two(record.seconds % 60);
    }
    out.append(text, n);
}

QString timeText(const Record& record) {
    std::string text;
    appendTimeText(text, record);
    return QString::fromStdString(text);
}

ClassView buildView(const ClassRecords& records, const Document& document) {
    ClassView view;
    QHash<QString, std::size_t> assignmentAt;
    auto assignmentView = [&](const QString& nbr, const QString& heading) -> std::size_t {
        auto it = assignmentAt.constFind(nbr);
        if (it != assignmentAt.constEnd()) {
            if (view.assignments[*it].heading.isEmpty()) {
                view.assignments[*it].heading = heading;
            }
            return *it;
        }
        AssignmentView a;
        a.nbr = nbr;
        const int d = nbr.isEmpty() ? -1 : document.assignmentIndex(nbr);
        if (d >= 0) {
            a.doc = &document.assignments()[static_cast<std::size_t>(d)];
            a.heading = a.doc->heading;
            a.groups.resize(a.doc->groups.size());
        } else {
            a.heading = heading;
        }
        view.assignments.push_back(std::move(a));
        return assignmentAt.insert(nbr, view.assignments.size() - 1).value();
    };

    // first the assignments the runs name, so that every run has its column even without a record
    for (std::size_t s = 0; s < records.students.size(); ++s) {
        for (const Run& run : records.students[s].runs) {
            if (!run.assignmentNbr.isEmpty()) {
                assignmentView(run.assignmentNbr, run.headingLine);
            }
        }
    }

    // then every record to its place
    struct Placed {
        std::size_t student;
        std::size_t assignment;
        const Record* record;
        const Run* run;
        int group; // -1: not placed in the document
        bool critique;
        bool byNumber;
        bool toText; // a response to a text line after the given answer: neither a response nor a self-critique
        bool askedOtherwise;
        bool afterText;
        bool elsewhere; // not placed, its line one of another assignment
    };
    std::vector<Placed> placed; // one for every record of the class, room made for all at once
    std::size_t recordCount = 0;
    for (const Student& student : records.students) {
        for (const Run& run : student.runs) {
            recordCount += run.records.size();
        }
    }
    placed.reserve(recordCount);
    // the class's entries are held once (see ClassReader), so an entry already placed is known by where it lies
    QHash<const QChar*, std::vector<std::pair<QString, Placement>>> placedEntries;
    const auto placeOnce = [&](const QString& nbr, const QString& entry) {
        std::vector<std::pair<QString, Placement>>& known = placedEntries[entry.constData()];
        for (const auto& [assignment, placement] : known) {
            if (assignment == nbr) {
                return placement;
            }
        }
        known.emplace_back(nbr, document.place(nbr, entry));
        return known.back().second;
    };
    // Of lines that read alike, the one of the record's question number, else the first from the place of the record
    // before it: the student went through the document in its order.
    const auto placeAlike = [&](const QString& nbr, const Record& r, int before) {
        const std::vector<Placement> alike = document.placesAlike(nbr, r.entry);
        const DocAssignment& doc = document.assignments()[static_cast<std::size_t>(alike.front().assignment)];
        const QString q = r.questionNumber ? questionOfNumber(*r.questionNumber) : QString();
        for (const Placement& p : alike) {
            if (!q.isEmpty() && doc.groups[static_cast<std::size_t>(p.group)].number == q) {
                return p;
            }
        }
        for (const Placement& p : alike) {
            if (p.group >= before) {
                return p;
            }
        }
        return alike.front();
    };
    for (std::size_t s = 0; s < records.students.size(); ++s) {
        for (const Run& run : records.students[s].runs) {
            int before = -1; // the group of the run's record before, in its assignment
            QString beforeNbr;
            for (const Record& r : run.records) {
                QString nbr = run.assignmentNbr;
                if (nbr.isEmpty() && r.questionNumber) {
                    nbr = assignmentOfNumber(*r.questionNumber);
                }
                Placement p = placeOnce(nbr, r.entry);
                if (p.alike) {
                    p = placeAlike(nbr, r, nbr == beforeNbr ? before : -1);
                }
                if (p.group >= 0) {
                    before = p.group;
                    beforeNbr = nbr;
                }
                if (nbr.isEmpty() && p.assignment >= 0) {
                    nbr = document.assignments()[static_cast<std::size_t>(p.assignment)].nbr;
                }
                const std::size_t a = assignmentView(nbr, run.headingLine);
                const DocAssignment* doc = view.assignments[a].doc;
                bool byNumber = false;
                if (p.assignment < 0 && doc) {
                    if (r.entry.isEmpty()) {
                        p.group = 0; // written before anything of the assignment was shown
                    } else if (r.questionNumber && assignmentOfNumber(*r.questionNumber) == nbr) {
                        // a number of another assignment is no place in this one: a header may be missing
                        const QString q = questionOfNumber(*r.questionNumber);
                        for (std::size_t g = 0; g < doc->groups.size() && !q.isEmpty(); ++g) {
                            if (doc->groups[g].number == q && doc->groups[g].kind == DocGroup::Kind::Question) {
                                p.group = static_cast<int>(g);
                                p.afterAnswer = r.rating == recordreader::Rating::SelfCritique;
                                byNumber = true;
                                break;
                            }
                        }
                    }
                }
                // a rating says what the drill asked after the line, whatever the document now holds: a confidence
                // after a question, a self-critique after a given answer, none after a text line
                const bool response = r.kind == recordreader::BlockKind::Response;
                const bool rated = response && r.rating != recordreader::Rating::None;
                const bool toText = response && !rated && p.afterAnswer && p.text;
                bool critique = p.afterAnswer && !toText;
                bool askedOtherwise = false;
                if (rated && p.group >= 0 && (p.text || critique != (r.rating == recordreader::Rating::SelfCritique))) {
                    critique = r.rating == recordreader::Rating::SelfCritique;
                    askedOtherwise = true;
                }
                // a record the document could not place may be a response to one of the assignment's questions,
                // unless its line is one of another assignment
                bool elsewhere = false;
                if (p.group < 0 && !r.entry.isEmpty()) {
                    const Placement any = placeOnce(QString(), r.entry);
                    elsewhere = any.assignment >= 0 &&
                                document.assignments()[static_cast<std::size_t>(any.assignment)].nbr != nbr;
                }
                placed.push_back({s, a, &r, &run, p.group, critique, byNumber, toText, askedOtherwise,
                                  p.text && askedOtherwise, elsewhere});
            }
        }
    }

    // the assignments in the order of their numbers, records of no known assignment last
    std::vector<std::size_t> order(view.assignments.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        const QString& a = view.assignments[x].nbr;
        const QString& b = view.assignments[y].nbr;
        if (a.isEmpty() != b.isEmpty()) {
            return b.isEmpty();
        }
        return a < b;
    });
    std::vector<std::size_t> newIndex(order.size());
    std::vector<AssignmentView> sorted;
    sorted.reserve(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        newIndex[order[i]] = i;
        sorted.push_back(std::move(view.assignments[order[i]]));
    }
    view.assignments = std::move(sorted);

    view.cells.assign(records.students.size(), std::vector<Cell>(view.assignments.size()));
    for (std::size_t s = 0; s < records.students.size(); ++s) {
        for (const Run& run : records.students[s].runs) {
            if (!run.assignmentNbr.isEmpty()) {
                view.cells[s][newIndex[assignmentAt.value(run.assignmentNbr)]].present = true;
            }
        }
        for (std::size_t a = 0; a < view.assignments.size(); ++a) {
            if (view.assignments[a].doc) {
                view.cells[s][a].groups.resize(view.assignments[a].doc->groups.size());
            }
        }
    }
    for (const Placed& p : placed) {
        const std::size_t a = newIndex[p.assignment];
        AssignmentView& av = view.assignments[a];
        Cell& cell = view.cells[p.student][a];
        cell.present = true;
        const Item item{static_cast<int>(p.student), p.record, p.critique, p.byNumber, p.askedOtherwise, p.afterText};
        const bool note = p.record->kind == recordreader::BlockKind::Note;
        (note ? cell.notes : cell.responses) += 1;
        if (!cell.first || writtenBefore(*p.record, *p.run, *cell.first)) {
            cell.first = p.record;
        }
        keepLast(cell.last, p.record, *p.run);
        if (p.group < 0) {
            av.unplaced.push_back(item);
            ++cell.unplaced;
            cell.unplacedResponses +=
                note || p.elsewhere || p.record->rating == recordreader::Rating::SelfCritique ? 0 : 1;
            continue;
        }
        av.groups[static_cast<std::size_t>(p.group)].push_back(item);
        QuestionSummary& q = cell.groups[static_cast<std::size_t>(p.group)];
        // the question's ratings are those of the records it counts: a confidence only with a response
        const recordreader::Rating rating = p.record->rating;
        if (note) {
            ++q.notes;
        } else if (p.critique) {
            ++q.critiques;
            if (rating == recordreader::Rating::SelfCritique) {
                keepLast(q.critique, p.record, *p.run);
            }
        } else if (!p.toText) {
            ++q.responses;
            if (rating == recordreader::Rating::Confidence) {
                keepLast(q.confidence, p.record, *p.run);
            }
        }
    }
    for (std::size_t s = 0; s < view.cells.size(); ++s) {
        for (std::size_t a = 0; a < view.assignments.size(); ++a) {
            Cell& cell = view.cells[s][a];
            const DocAssignment* doc = view.assignments[a].doc;
            for (std::size_t g = 0; doc && g < cell.groups.size(); ++g) {
                if (cell.groups[g].responses == 0) {
                    continue;
                }
                if (doc->groups[g].kind == DocGroup::Kind::Question) {
                    ++cell.answered;
                } else if (doc->groups[g].kind == DocGroup::Kind::OptionalQuestion) {
                    ++cell.optionalAnswered;
                }
            }
        }
    }
    return view;
}

} // namespace report
