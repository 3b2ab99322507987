#include "report/classrecords.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cmath>

namespace report {

using recordreader::BlockKind;

namespace {

bool startsWithNoCase(QStringView text, QStringView prefix) {
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

// "mm-dd-yyyy" at the start, as the reader found it; an invalid date when it is not one.
QDate dateOf(QStringView mmddyyyy) {
    const auto number = [&](qsizetype from, qsizetype digits) {
        int n = 0;
        for (qsizetype i = from; i < from + digits; ++i) {
            if (mmddyyyy[i] < u'0' || mmddyyyy[i] > u'9') {
                return -1;
            }
            n = n * 10 + (mmddyyyy[i].unicode() - u'0');
        }
        return n;
    };
    if (mmddyyyy.size() < 10) {
        return {};
    }
    return QDate(number(6, 4), number(0, 2), number(3, 2));
}

bool sameContent(const Record& a, const Record& b) {
    return a.kind == b.kind && a.rating == b.rating && a.entry == b.entry && a.text == b.text &&
           a.ratingText == b.ratingText;
}

// The writer reads the clock anew for each file, so the copies of one block may differ by a second, across midnight
// too; a block with an unreadable time matches on its content alone.
bool closeInTime(const Record& a, const Record& b) {
    if (a.seconds < 0 || b.seconds < 0) {
        return true;
    }
    const int d = std::abs(a.seconds - b.seconds);
    return std::min(d, 86400 - d) <= 2;
}

qint64 stampOf(const Record& r) {
    return (r.date.isValid() ? r.date.toJulianDay() : 0) * 86400 + std::max(r.seconds, 0);
}

// Puts the records of b that a does not hold into a, in their order; a record of b that a holds gives it its
// question number when a lacks one.
void mergeInto(std::vector<Record>& a, std::vector<Record>& b) {
    std::size_t at = 0;
    for (Record& r : b) {
        std::size_t found = a.size();
        for (std::size_t j = at; j < a.size(); ++j) {
            if (sameContent(a[j], r) && closeInTime(a[j], r)) {
                found = j;
                break;
            }
        }
        if (found < a.size()) {
            if (!a[found].questionNumber) {
                a[found].questionNumber = r.questionNumber;
            }
            at = found + 1;
        } else {
            a.insert(a.begin() + static_cast<std::ptrdiff_t>(at), std::move(r));
            ++at;
        }
    }
}

QString shownName(const QString& key) {
    if (key.isEmpty()) {
        return QStringLiteral("(no name)");
    }
    QString name = key;
    name.replace(u'_', u' ');
    return name;
}

} // namespace

int secondsOf(QStringView time) {
    const auto digit = [&](qsizetype i) {
        return time[i] >= u'0' && time[i] <= u'9' ? time[i].unicode() - u'0' : -100;
    };
    if (time.size() != 8 || time[2] != u':' || time[5] != u':') {
        return -1;
    }
    const int h = digit(0) * 10 + digit(1);
    const int m = digit(3) * 10 + digit(4);
    const int s = digit(6) * 10 + digit(7);
    if (h < 0 || m < 0 || s < 0 || h > 23 || m > 59 || s > 59) {
        return -1;
    }
    return h * 3600 + m * 60 + s;
}

FileName classify(const QString& fileName) {
    FileName f;
    QStringView name(fileName);
    if (!name.endsWith(u".txt", Qt::CaseInsensitive)) {
        f.student = QFileInfo(fileName).completeBaseName();
        return f;
    }
    name.chop(4);
    if (startsWithNoCase(name, u"masterFile_")) {
        f.role = FileRole::Master;
        f.student = name.mid(11).toString();
    } else if (startsWithNoCase(name, u"notes_")) {
        f.role = FileRole::Notes;
        f.student = name.mid(6).toString();
    } else if (startsWithNoCase(name, u"send_") && name.size() >= 9 &&
               std::all_of(name.begin() + 5, name.begin() + 9, [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        f.role = FileRole::Send;
        f.month = name.mid(5, 2).toInt();
        f.day = name.mid(7, 2).toInt();
        f.student = name.mid(9).toString();
    } else {
        f.student = name.toString();
    }
    return f;
}

void ClassReader::addIssue(const QString& path, const QString& message) {
    m_records.issues.push_back({path, 0, message, QString()});
}

bool ClassReader::add(const QString& path, const QByteArray& bytes) {
    const int file = static_cast<int>(m_records.files.size());
    m_records.files << path;
    const FileName name = classify(QFileInfo(path).fileName());
    recordreader::Reading reading = recordreader::readBytes(bytes, &m_shared);
    if (reading.blocks.empty()) {
        addIssue(path, bytes.isEmpty() ? QStringLiteral("an empty file: nothing to read")
                                       : QStringLiteral("not a record file: it holds no header, response or note "
                                                        "block"));
        return false;
    }
    if (name.role == FileRole::Other) {
        addIssue(path, QStringLiteral("the file name is not that of a send, master or notes file; its records are "
                                      "taken as those of \"%1\"")
                           .arg(name.student));
    }
    for (recordreader::Problem& p : reading.problems) {
        m_records.issues.push_back({path, p.line, std::move(p.message), std::move(p.text)});
    }
    m_records.blocksRead += static_cast<qsizetype>(reading.blocks.size());
    ++m_records.filesWithRecords;

    PendingRun* current = nullptr;
    int lastSeconds = -1;
    QDate day;
    for (recordreader::Block& b : reading.blocks) {
        if (b.kind == BlockKind::Header) {
            PendingRun run;
            run.student = name.student;
            run.hasHeader = true;
            run.run.assignmentNbr = std::move(b.assignmentNbr);
            run.run.headingLine = std::move(b.headingLine);
            run.run.filler = std::move(b.filler);
            run.run.date = dateOf(b.date);
            run.run.file = file;
            run.run.line = b.firstLine;
            m_runs.push_back(std::move(run));
            current = &m_runs.back();
            day = current->run.date;
            lastSeconds = -1;
            continue;
        }
        if (!current) {
            PendingRun run;
            run.student = name.student;
            run.run.file = file;
            run.run.line = b.firstLine;
            m_runs.push_back(std::move(run));
            current = &m_runs.back();
            day = QDate();
            lastSeconds = -1;
        }
        Record r;
        r.kind = b.kind;
        r.entry = std::move(b.entry);
        r.text = std::move(b.text);
        r.rating = b.rating;
        r.ratingText = std::move(b.ratingText);
        r.questionNumber = b.questionNumber;
        r.seconds = secondsOf(b.time);
        r.file = file;
        r.line = b.firstLine;
        if (b.kind == BlockKind::Note && !b.noteDateTime.isEmpty()) {
            // a note carries its own day
            const QDate noteDay = dateOf(b.noteDateTime);
            if (noteDay.isValid()) {
                day = noteDay;
            }
        } else if (day.isValid() && r.seconds >= 0 && lastSeconds >= 0 && r.seconds < lastSeconds) {
            day = day.addDays(1); // a run that goes on past midnight
        }
        if (r.seconds >= 0) {
            lastSeconds = r.seconds;
        }
        r.date = day;
        current->run.records.push_back(std::move(r));
    }
    return true;
}

ClassRecords ClassReader::finish() {
    QHash<QString, std::size_t> studentAt;
    auto studentOf = [&](const QString& key) -> Student& {
        auto it = studentAt.find(key);
        if (it == studentAt.end()) {
            it = studentAt.insert(key, m_records.students.size());
            m_records.students.push_back({key, shownName(key), {}, {}});
        }
        return m_records.students[*it];
    };

    // runs with a header first: copies of one run share its filler line and assignment
    QHash<QString, std::size_t> runAt; // student, filler, assignment
    for (PendingRun& p : m_runs) {
        Student& s = studentOf(p.student);
        if (std::find(s.files.begin(), s.files.end(), p.run.file) == s.files.end()) {
            s.files.push_back(p.run.file);
        }
        if (!p.hasHeader) {
            continue;
        }
        if (p.run.filler.isEmpty()) {
            s.runs.push_back(std::move(p.run));
            continue;
        }
        const QString key = p.student + QChar(0) + p.run.filler + QChar(0) + p.run.assignmentNbr;
        const auto it = runAt.constFind(key);
        if (it == runAt.constEnd()) {
            runAt.insert(key, s.runs.size());
            s.runs.push_back(std::move(p.run));
        } else {
            Run& same = s.runs[*it];
            mergeInto(same.records, p.run.records);
            if (!same.date.isValid()) {
                same.date = p.run.date;
            }
        }
    }
    // blocks found before any header: each is kept unless a run of the student holds it already
    QHash<QString, QMultiHash<std::size_t, Record*>> held; // by student, then by content
    auto contentHash = [](const Record& r) {
        return qHashMulti(0, static_cast<int>(r.kind), r.entry, r.text, r.ratingText);
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
                if (sameContent(**it, r) && closeInTime(**it, r)) {
                    same = *it;
                    break;
                }
            }
            if (same) {
                if (!same->questionNumber) {
                    same->questionNumber = r.questionNumber;
                }
            } else {
                rest.records.push_back(std::move(r));
            }
        }
        if (!rest.records.empty()) {
            // moving the run keeps its records where they are, so the index stays good
            s.runs.push_back(std::move(rest));
            for (Record& r : s.runs.back().records) {
                index->insert(contentHash(r), &r);
            }
        }
    }
    m_runs.clear();

    for (Student& s : m_records.students) {
        std::sort(s.files.begin(), s.files.end());
        auto startOf = [](const Run& run) {
            if (!run.records.empty()) {
                return stampOf(run.records.front());
            }
            return (run.date.isValid() ? run.date.toJulianDay() : 0) * 86400;
        };
        std::stable_sort(s.runs.begin(), s.runs.end(),
                         [&](const Run& a, const Run& b) { return startOf(a) < startOf(b); });
    }
    std::sort(m_records.students.begin(), m_records.students.end(), [](const Student& a, const Student& b) {
        const int byName = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.key < b.key;
    });
    return std::move(m_records);
}

} // namespace report
