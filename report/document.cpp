#include "report/document.h"

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

// A question line's words, folded as foldedEntry folds them, without its marker and number: one question whatever its
// number, required or optional ("*`q006."). Empty for any other line.
QString questionWords(QStringView line) {
    const qsizetype at = line.indexOf(markup::questionMarker);
    if (at < 0 || at > 3 || (at > 0 && line[0].isLetterOrNumber())) {
        return QString();
    }
    qsizetype end = at + markup::questionMarker.size();
    while (end < line.size() && line[end].isDigit()) {
        ++end;
    }
    if (end == at + markup::questionMarker.size() || end >= line.size() || line[end] != u'.') {
        return QString();
    }
    return foldedEntry(line.mid(end + 1));
}

// The entry as a record file holds it: what the code page cannot hold is in its readable form.
QString asRecorded(const QString& line) {
    return codepage::decode(codepage::encode(line));
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
            current->groups[g].number = numberOfQuestionLine(line).toString();
            current->groups[g].question = line;
            (optional ? current->optionalQuestions : current->questions) += 1;
            add(line, g, false);
            if (const QString words = questionWords(asRecorded(line)); !words.isEmpty()) {
                m_questions[words].push_back({static_cast<int>(m_assignments.size()) - 1, g, false, false});
            }
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

QStringView numberOfQuestionLine(QStringView line) {
    const qsizetype at = line.left(4).indexOf(markup::questionMarker);
    return at < 0 ? QStringView() : line.mid(at + markup::questionMarker.size(), 3);
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

// The places the entry is found at: as it stands, else as an editor or a transport left it, else, for a question, by
// its words under another number (the course renumbered it since). Lines that fold alike in one assignment are told
// apart by none of it: they read alike to the student too.
const std::vector<Placement>* Document::found(QStringView assignmentNbr, const QString& entry) const {
    if (const auto it = m_entries.constFind(entry);
        it != m_entries.constEnd() && placeIn(*it, assignmentNbr).assignment >= 0) {
        return &*it;
    }
    const QString key = foldedEntry(entry);
    const auto folded = key.isEmpty() ? m_folded.constEnd() : m_folded.constFind(key);
    if (folded != m_folded.constEnd() && placeIn(*folded, assignmentNbr).assignment >= 0) {
        return &*folded;
    }
    if (const QString words = questionWords(entry); !words.isEmpty()) {
        if (const auto question = m_questions.constFind(words);
            question != m_questions.constEnd() && placeIn(*question, assignmentNbr).assignment >= 0) {
            return &*question;
        }
    }
    return folded == m_folded.constEnd() ? nullptr : &*folded; // a line of another assignment
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

} // namespace report
