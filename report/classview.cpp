#include "report/classview.h"

#include "problems/coursecheck.h"
#include "problems/linestore.h"
#include "problems/markup.h"
#include "records/codepage.h"

#include <QFile>

#include <algorithm>
#include <cmath>

namespace report {

namespace {

// A question with a mark before its marker ("*`q006.") is shown as a text block, the document's way of making a
// question optional; the report lists it as a question all the same.
bool isOptionalQuestion(QStringView line) {
    const qsizetype at = line.indexOf(markup::questionMarker);
    return at >= 1 && at <= 3 && !line[0].isLetterOrNumber() && line.size() > at + 2 && line[at + 2].isDigit();
}

QString numberAfterMarker(QStringView line) {
    const qsizetype at = line.indexOf(markup::questionMarker);
    return at < 0 ? QString() : line.mid(at + 2, 3).toString();
}

// The entry as a record file holds it: what the code page cannot hold is in its readable form.
QString asRecorded(const QString& line) {
    return codepage::decode(codepage::encode(line));
}

QString questionOfNumber(double questionNumber) {
    const double q = questionNumber - std::floor(questionNumber / 10000.0) * 10000.0;
    if (!(q >= 1 && q <= 999) || q != std::floor(q)) {
        return QString();
    }
    return QStringLiteral("%1").arg(static_cast<int>(q), 3, 10, QLatin1Char('0'));
}

} // namespace

Document::Document(const QStringList& storeLines) {
    DocAssignment* current = nullptr;
    auto add = [&](const QString& entry, int group, bool afterAnswer, bool text = false) {
        const int a = static_cast<int>(m_assignments.size()) - 1;
        const QString recorded = asRecorded(entry);
        m_entries[recorded].push_back({a, group, afterAnswer, text});
        m_folded[foldedEntry(recorded)].push_back({a, group, afterAnswer, text});
    };
    for (const QString& line : storeLines) {
        const markup::LineKind kind = markup::kindOf(line);
        if (kind == markup::LineKind::Heading) {
            m_assignments.push_back({line.left(3), line, {DocGroup{}}, 0, 0});
            current = &m_assignments.back();
            continue;
        }
        if (!current || kind == markup::LineKind::Separator || kind == markup::LineKind::Routine) {
            continue;
        }
        const auto newGroup = [&](DocGroup::Kind k) {
            DocGroup g;
            g.kind = k;
            current->groups.push_back(g);
            return static_cast<int>(current->groups.size()) - 1;
        };
        if (kind == markup::LineKind::Question || (kind == markup::LineKind::Text && isOptionalQuestion(line))) {
            const bool optional = kind != markup::LineKind::Question;
            const int g = newGroup(optional ? DocGroup::Kind::OptionalQuestion : DocGroup::Kind::Question);
            current->groups[g].number = numberAfterMarker(line);
            current->groups[g].question = line;
            (optional ? current->optionalQuestions : current->questions) += 1;
            add(line, g, false);
        } else if (kind == markup::LineKind::Answer) {
            const QString answer = line.mid(2);
            if (answer.isEmpty()) {
                continue; // the reader passes over an answer marker with nothing after it
            }
            const int g = static_cast<int>(current->groups.size()) - 1;
            current->groups[g].answers << answer;
            add(answer, g, true);
        } else if (kind == markup::LineKind::Closing) {
            const int g = newGroup(DocGroup::Kind::Closing);
            current->groups[g].textsBefore << line;
            add(line, g, false);
        } else {
            const int g = static_cast<int>(current->groups.size()) - 1;
            const bool afterAnswer = !current->groups[g].answers.isEmpty();
            (afterAnswer ? current->groups[g].textsAfter : current->groups[g].textsBefore) << line;
            add(line, g, afterAnswer, true);
        }
    }
}

Document Document::carried() {
    return Document(linestore::parseDocument(linestore::carriedDocumentText()));
}

std::optional<Document> Document::fromFile(const QString& path, QStringList* errors) {
    if (path.isEmpty()) {
        return carried();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // read as the course team's check reads it, which is as the drill does
    const coursecheck::Result checked = coursecheck::check(file.readAll());
    for (const coursecheck::Finding& finding : checked.findings) {
        if (errors && finding.severity == coursecheck::Severity::Error) {
            errors->append(coursecheck::formatFinding(path, finding));
        }
    }
    return Document(checked.document.lines);
}

int Document::assignmentIndex(QStringView nbr) const {
    for (std::size_t i = 0; i < m_assignments.size(); ++i) {
        if (m_assignments[i].nbr == nbr) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString assignmentOfNumber(double questionNumber) {
    const double a = std::floor(questionNumber / 10000.0);
    if (!(a >= 1 && a <= 999)) {
        return QString();
    }
    return QStringLiteral("%1").arg(static_cast<int>(a), 3, 10, QLatin1Char('0'));
}

QString foldedEntry(QStringView entry) {
    QString folded(entry.size(), Qt::Uninitialized);
    QChar* out = folded.data();
    qsizetype kept = 0;
    for (const QChar c : entry) {
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
            continue;
        }
        out[kept++] = c.unicode() >= 0x80 ? QChar(u'?') : c;
    }
    folded.truncate(kept);
    return folded;
}

Placement Document::placeIn(const std::vector<Placement>& found, QStringView assignmentNbr) const {
    const int a = assignmentNbr.isEmpty() ? found.front().assignment : assignmentIndex(assignmentNbr);
    Placement first;
    int count = 0;
    for (const Placement& p : found) {
        if (p.assignment == a) {
            first = count++ == 0 ? p : first;
        } else if (assignmentNbr.isEmpty()) {
            return {}; // lines of several assignments, and no assignment to choose among them
        }
    }
    first.alike = count > 1;
    return first;
}

// The places the entry is found at: as it stands, else as an editor or a transport left it. Lines that fold alike in
// one assignment are told apart by none of it: they read alike to the student too.
const std::vector<Placement>* Document::found(QStringView assignmentNbr, const QString& entry) const {
    if (const auto it = m_entries.constFind(entry);
        it != m_entries.constEnd() && placeIn(*it, assignmentNbr).assignment >= 0) {
        return &*it;
    }
    const QString key = foldedEntry(entry);
    const auto folded = key.isEmpty() ? m_folded.constEnd() : m_folded.constFind(key);
    return folded == m_folded.constEnd() ? nullptr : &*folded;
}

Placement Document::place(QStringView assignmentNbr, const QString& entry) const {
    const std::vector<Placement>* places = found(assignmentNbr, entry);
    return places ? placeIn(*places, assignmentNbr) : Placement{};
}

std::vector<Placement> Document::placesAlike(QStringView assignmentNbr, const QString& entry) const {
    std::vector<Placement> alike;
    const Placement first = place(assignmentNbr, entry);
    if (const std::vector<Placement>* places = found(assignmentNbr, entry); places && first.assignment >= 0) {
        std::copy_if(places->begin(), places->end(), std::back_inserter(alike),
                     [&](const Placement& p) { return p.assignment == first.assignment; });
    }
    return alike;
}

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
        int group; // -1: not placed in the document
        bool critique;
        bool byNumber;
        bool toText; // a response to a text line after the given answer: neither a response nor a self-critique
    };
    std::vector<Placed> placed;
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
                // a rating says what was asked after the line, whatever the document now holds
                const bool toText = p.afterAnswer && p.text && r.rating != recordreader::Rating::SelfCritique &&
                                    r.kind == recordreader::BlockKind::Response;
                placed.push_back({s, a, &r, p.group, p.afterAnswer && !toText, byNumber, toText});
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
        const Item item{static_cast<int>(p.student), p.record, p.critique, p.byNumber};
        const bool note = p.record->kind == recordreader::BlockKind::Note;
        (note ? cell.notes : cell.responses) += 1;
        if (!cell.first) {
            cell.first = p.record;
        }
        cell.last = p.record;
        if (p.group < 0) {
            av.unplaced.push_back(item);
            ++cell.unplaced;
            cell.unplacedResponses += note || p.record->rating == recordreader::Rating::SelfCritique ? 0 : 1;
            continue;
        }
        av.groups[static_cast<std::size_t>(p.group)].push_back(item);
        QuestionSummary& q = cell.groups[static_cast<std::size_t>(p.group)];
        if (note) {
            ++q.notes;
        } else if (p.critique) {
            ++q.critiques;
        } else if (!p.toText) {
            ++q.responses;
        }
        if (!note && p.record->rating == recordreader::Rating::Confidence) {
            q.confidence = p.record;
        } else if (!note && p.record->rating == recordreader::Rating::SelfCritique) {
            q.critique = p.record;
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
