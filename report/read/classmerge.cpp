// How the runs read from a class's files become its students: the copies of a run that several files hold merged into
// one, and each student's runs put in the order they were made.
#include "report/read/classrecords.h"

#include "report/read/runcopies.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace report {

namespace {

qint64 stampOf(const Record& r) {
    return (r.date.isValid() ? r.date.toJulianDay() : 0) * 86400 + std::max(r.seconds, 0);
}

// How many of a's blocks b holds too, each of them at about the same time.
std::size_t blocksIn(const Run& a, const Run& b) {
    return static_cast<std::size_t>(std::count_if(a.records.begin(), a.records.end(), [&](const Record& x) {
        return std::any_of(b.records.begin(), b.records.end(),
                           [&](const Record& y) { return closeInTime(x, y) && sameCopy(x, y); });
    }));
}

// A header that lost its filler line or its day leaves its run without those marks of the copies: the copy is
// found by its blocks instead, when most of the shorter run's blocks are in the other; so is the run that such a
// copy came first to.
bool damaged(const Run& r) {
    return r.filler.isEmpty() || !r.date.isValid();
}

// A block cut short within its last line, and the next run written on: the header's filler line holds the rest
// of that line before its own characters
bool fusedWith(const Run& a, const Run& b) {
    const QString longer = matchForm(a.filler);
    const QString own = matchForm(b.filler);
    return own.size() >= 3 && longer.size() > own.size() && longer.endsWith(own);
}

// Of the student's runs of the run's assignment and day, the one that holds most of its blocks, where a header says
// nothing (damaged or fused) or its filler differs; s.runs.size() when none does.
std::size_t copyByBlocks(const Student& s, const Run& run) {
    std::size_t same = s.runs.size();
    std::size_t most = 0;
    for (std::size_t r = 0; r < s.runs.size(); ++r) {
        const Run& other = s.runs[r];
        if (other.assignmentNbr != run.assignmentNbr ||
            (run.date.isValid() && other.date.isValid() && run.date != other.date)) {
            continue;
        }
        const bool fused = fusedWith(run, other) || fusedWith(other, run);
        if (!(damaged(run) || damaged(other) || fused) ||
            (!run.filler.isEmpty() && !other.filler.isEmpty() && !sameText(run.filler, other.filler) && !fused)) {
            continue;
        }
        const std::size_t count = blocksIn(run, other);
        if (count > most && count * 2 >= std::min(run.records.size(), other.records.size())) {
            same = r;
            most = count;
        }
    }
    return same;
}

// A student's runs in the order they were made: by the day and time each began.
void orderRuns(Student& s, const QStringList& files) {
    std::vector<QDate> known; // the days the student's runs tell
    for (const Run& run : s.runs) {
        if (!run.records.empty() && run.records.front().date.isValid()) {
            known.push_back(run.records.front().date);
        } else if (run.date.isValid()) {
            known.push_back(run.date);
        }
    }
    // a run whose header is lost: a send file's name tells its month and day, and the year is the one that sets
    // that day nearest to one of the student's known days; with neither, it stays after the runs of known days,
    // in the order it was read
    auto startOf = [&](const Run& run) {
        if (!run.records.empty() && run.records.front().date.isValid()) {
            return stampOf(run.records.front());
        }
        if (run.date.isValid()) {
            return run.date.toJulianDay() * 86400;
        }
        const FileName named = classify(QFileInfo(files[run.file]).fileName());
        const auto apart = [&](const QDate& candidate) {
            qint64 least = std::numeric_limits<qint64>::max();
            for (const QDate& day : known) {
                least = std::min(least, std::abs(candidate.daysTo(day)));
            }
            return least;
        };
        QDate nearest;
        for (const QDate& day : known) {
            for (const int year : {day.year() - 1, day.year(), day.year() + 1}) {
                // a day the month lacks in that year (02-29, 04-31) is its last
                const QDate first(year, named.month, 1);
                const QDate candidate = named.day < 1 || named.day > 31 || !first.isValid()
                                            ? QDate()
                                            : first.addDays(std::min(named.day, first.daysInMonth()) - 1);
                if (candidate.isValid() && (!nearest.isValid() || apart(candidate) < apart(nearest))) {
                    nearest = candidate;
                }
            }
        }
        if (!nearest.isValid()) {
            return std::numeric_limits<qint64>::max();
        }
        return nearest.toJulianDay() * 86400 + (run.records.empty() ? 0 : std::max(run.records.front().seconds, 0));
    };
    std::vector<std::pair<qint64, std::size_t>> order;
    for (std::size_t i = 0; i < s.runs.size(); ++i) {
        order.emplace_back(startOf(s.runs[i]), i);
    }
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    // moved, each run keeps its records where they are
    std::vector<Run> sorted;
    sorted.reserve(s.runs.size());
    for (const auto& [start, i] : order) {
        sorted.push_back(std::move(s.runs[i]));
    }
    s.runs = std::move(sorted);
}

} // namespace

void ClassReader::mergeRuns(const StudentOf& studentOf) {
    // runs with a header first: copies of one run share its filler line, assignment and date; two runs whose fillers
    // differ only where a copy saved in ASCII has "?" are one run only when one of them has the "?"
    QHash<QString, std::vector<std::size_t>> runAt; // student, filler in its matching form, assignment, date
    for (PendingRun& p : m_runs) {
        Student& s = studentOf(p.student);
        if (std::find(s.files.begin(), s.files.end(), p.run.file) == s.files.end()) {
            s.files.push_back(p.run.file);
        }
        if (!p.hasHeader) {
            continue;
        }
        QString key;
        std::size_t same = s.runs.size();
        if (!p.run.filler.isEmpty()) {
            key = p.student + QChar(0) + matchForm(p.run.filler) + QChar(0) + p.run.assignmentNbr + QChar(0) +
                  QString::number(p.run.date.isValid() ? p.run.date.toJulianDay() : 0);
            // of the runs this one may be a copy of, the one that holds most of its blocks
            const std::vector<std::size_t>& alike = runAt[key];
            std::size_t most = 0;
            const auto fillers = std::count_if(alike.begin(), alike.end(),
                                               [&](std::size_t r) { return sameText(s.runs[r].filler, p.run.filler); });
            for (const std::size_t r : alike) {
                if (!sameText(s.runs[r].filler, p.run.filler)) {
                    continue;
                }
                // fillers alike only where a copy saved in ASCII has "?" may be two runs of one day whose fillers
                // held no letter of ASCII: their blocks must say they are one
                const bool exact = QStringView(s.runs[r].filler).trimmed() == QStringView(p.run.filler).trimmed() &&
                                   !p.run.filler.contains(u'?');
                if (fillers == 1 && exact) {
                    same = r;
                    break;
                }
                const std::size_t count = blocksIn(p.run, s.runs[r]);
                if (!exact && count * 2 < std::min(p.run.records.size(), s.runs[r].records.size())) {
                    continue;
                }
                if (same == s.runs.size() || count > most) {
                    same = r;
                    most = count;
                }
            }
        }
        if (same == s.runs.size()) {
            same = copyByBlocks(s, p.run);
        }
        if (same == s.runs.size()) {
            if (!key.isEmpty()) {
                runAt[key].push_back(s.runs.size());
            }
            s.runs.push_back(std::move(p.run));
            continue;
        }
        Run& kept = s.runs[same];
        if (fusedWith(kept, p.run) || fusedWith(p.run, kept)) {
            const Run& fused = fusedWith(kept, p.run) ? kept : p.run;
            m_records.issues.push_back(
                {m_records.files[fused.file], fused.line,
                 QStringLiteral("the header's filler line holds more than its own characters: the block before it was "
                                "cut short within its last line, and this run written on; the run is known by its "
                                "blocks"),
                 QString()});
        }
        if ((damaged(kept) && !damaged(p.run)) || fusedWith(kept, p.run)) {
            // the whole header stands for the run, and later copies find it by it
            kept.filler = p.run.filler;
            kept.date = p.run.date;
            kept.headingLine = p.run.headingLine;
            kept.file = p.run.file;
            kept.line = p.run.line;
            runAt[key].push_back(same);
        }
        mergeInto(kept.records, p.run.records, m_records);
    }
}

void ClassReader::keepBlocksBeforeHeaders(const StudentOf& studentOf) {
    // blocks found before any header: each is kept unless a run of the student holds it already
    QHash<QString, QMultiHash<std::size_t, Record*>> held; // by student, then by content
    auto contentHash = [](const Record& r) {
        return qHashMulti(0, static_cast<int>(r.kind), matchForm(r.entry), matchForm(r.text), matchForm(r.ratingText));
    };
    for (PendingRun& p : m_runs) {
        if (p.hasHeader) {
            continue;
        }
        Student& s = studentOf(p.student);
        auto index = held.find(p.student);
        if (index == held.end()) {
            index = held.insert(p.student, {});
            for (Run& run : s.runs) {
                for (Record& r : run.records) {
                    index->insert(contentHash(r), &r);
                }
            }
        }
        Run rest;
        rest.file = p.run.file;
        rest.line = p.run.line;
        for (Record& r : p.run.records) {
            const std::size_t h = contentHash(r);
            Record* same = nullptr;
            for (auto it = index->constFind(h); it != index->constEnd() && it.key() == h; ++it) {
                if (closeInTime(**it, r) && (sameContent(**it, r) || sameCopy(**it, r))) {
                    same = *it;
                    break;
                }
            }
            if (same) {
                keepBetter(*same, r);
                continue;
            }
            for (const Run& run : s.runs) {
                const auto other = std::find_if(run.records.begin(), run.records.end(),
                                                [&](const Record& x) { return differentCopy(x, r); });
                if (other != run.records.end()) {
                    sayDiffer(*other, r, m_records);
                    break;
                }
            }
            rest.records.push_back(std::move(r));
        }
        if (!rest.records.empty()) {
            // moving the run keeps its records where they are, so the index stays good
            s.runs.push_back(std::move(rest));
            for (Record& r : s.runs.back().records) {
                index->insert(contentHash(r), &r);
            }
        }
    }
}

void ClassReader::tellRatings() {
    // ratings that are not one digit from 0 to 3: what is read of each is said, once for all copies of its block
    for (const Student& s : m_records.students) {
        for (const Run& run : s.runs) {
            for (const Record& r : run.records) {
                if (r.rating == recordreader::Rating::None || r.ratingText.trimmed().isEmpty() ||
                    isPlainRating(r.ratingText)) {
                    continue;
                }
                const QString which = r.rating == recordreader::Rating::Confidence
                                          ? QStringLiteral("the confidence rating")
                                          : QStringLiteral("the self-critique rating");
                const int value = ratingNumber(r.ratingText);
                addIssue(m_records.files[r.file],
                         value >= 0 ? QStringLiteral("%1 \"%2\" is read as %3").arg(which, r.ratingText).arg(value)
                                    : QStringLiteral("%1 \"%2\" is not a number from 0 to 3: shown as typed, not "
                                                     "counted")
                                          .arg(which, r.ratingText));
                m_records.issues.back().line = r.ratingLine > 0 ? r.ratingLine : r.line;
            }
        }
    }
}

ClassRecords ClassReader::finish() {
    keepNamesOfTheirOwn();
    const QHash<QString, QString> nameOf = chooseNames();
    QHash<QString, std::size_t> studentAt;
    const StudentOf studentOf = [&](const QString& key) -> Student& {
        auto it = studentAt.find(key);
        if (it == studentAt.end()) {
            it = studentAt.insert(key, m_records.students.size());
            const QString name = nameOf.value(key, key);
            m_records.students.push_back({name, shownName(name), {}, {}});
        }
        return m_records.students[*it];
    };
    mergeRuns(studentOf);
    keepBlocksBeforeHeaders(studentOf);
    m_runs.clear();
    for (Student& s : m_records.students) {
        std::sort(s.files.begin(), s.files.end());
        orderRuns(s, m_records.files);
        dropCopiesOfLaterRuns(s, m_records);
    }
    tellRatings();
    // in the order of their names' letters, accents and case aside: "Émile" among the E's, not after "Zoë"
    std::vector<std::pair<QString, Student>> ordered;
    ordered.reserve(m_records.students.size());
    for (Student& s : m_records.students) {
        QString letters;
        for (const QChar c : s.name.normalized(QString::NormalizationForm_KD)) {
            letters += c.category() == QChar::Mark_NonSpacing ? QString() : QString(c);
        }
        ordered.emplace_back(letters.toCaseFolded(), std::move(s));
    }
    std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        const int byLetters = QString::compare(a.first, b.first);
        const int byName =
            byLetters != 0 ? byLetters : QString::compare(a.second.name, b.second.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.second.key < b.second.key;
    });
    m_records.students.clear();
    for (auto& [letters, s] : ordered) {
        m_records.students.push_back(std::move(s));
    }
    return std::move(m_records);
}

} // namespace report
