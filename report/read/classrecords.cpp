#include "report/read/classrecords.h"

#include "records/codepage.h"
#include "report/read/runcopies.h"

#include <QFileInfo>
#include <QHash>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace report {

using recordreader::BlockKind;

namespace {

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

qint64 stampOf(const Record& r) {
    return (r.date.isValid() ? r.date.toJulianDay() : 0) * 86400 + std::max(r.seconds, 0);
}

QString shownName(const QString& key) {
    QString name = key.normalized(QString::NormalizationForm_C);
    name.replace(u'_', u' ');
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("(no name)") : name;
}

} // namespace

// What the forms of one student's name have alike: the letters in one case, each stored as one character where it can
// be (some systems store a letter and its accent apart), "_" taken as a blank, and blanks at the ends or in a row
// counted as none or one.
QString nameKey(const QString& name) {
    QString key = name;
    // a byte of a name that is no UTF-8, as a file name shows it (\xe9): the name as Windows-1252 spells it, as a
    // zip made on Windows hands it over
    for (qsizetype at = key.indexOf(u"\\x"); at >= 0 && at + 4 <= key.size(); at = key.indexOf(u"\\x", at + 1)) {
        bool hex = false;
        const int byte = QStringView(key).sliced(at + 2, 2).toInt(&hex, 16);
        if (hex && byte >= 0x80) {
            key.replace(at, 4, codepage::decode(QByteArray(1, static_cast<char>(byte))));
        }
    }
    key = key.normalized(QString::NormalizationForm_C);
    key.replace(u'_', u' ');
    // characters that take no room (a zero-width space, a soft hyphen, a joiner) make no other name
    key.removeIf([](QChar c) { return c.category() == QChar::Other_Format; });
    key = key.simplified().toCaseFolded();
    // the dotted capital I and the dotless small i of Turkish letters: "İLKER" is "ilker" in another case
    key.replace(QChar(0x0130), u'i');
    key.replace(QChar(0x0131), u'i');
    return key;
}

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

void ClassReader::addIssue(const QString& path, const QString& message) {
    m_records.issues.push_back({path, 0, message, QString()});
}

void ClassReader::addNotRead(const QString& path, const QString& reason) {
    m_records.notRead.push_back(m_records.issues.size());
    addIssue(path, QStringLiteral("not read: ") + reason);
}

bool ClassReader::add(const QString& path, const QByteArray& bytes) {
    return add(path, bytes.isEmpty(), recordreader::readBytes(bytes, &m_shared));
}

bool ClassReader::add(const QString& path, bool empty, recordreader::Reading reading) {
    return add(prepare(path, classify(QFileInfo(path).fileName()), empty, std::move(reading)));
}

bool ClassReader::add(FileRuns file) {
    const int index = static_cast<int>(m_records.files.size());
    m_records.files << file.path;
    std::move(file.issues.begin(), file.issues.end(), std::back_inserter(m_records.issues));
    if (!file.records) {
        return false;
    }
    // names that differ only in letter case, blanks or the way their letters are stored (or in a copy suffix, already
    // gone) are one student's
    m_names[file.key].push_back({file.name, file.path, file.copySuffix});
    m_records.blocksRead += file.blocks;
    ++m_records.filesWithRecords;
    for (PendingRun& run : file.runs) {
        run.run.file = index;
        for (Record& r : run.run.records) {
            r.file = index;
        }
        m_runs.push_back(std::move(run));
    }
    return true;
}

ClassReader::FileRuns ClassReader::prepare(const QString& path, FileName name, bool empty,
                                           recordreader::Reading reading) {
    FileRuns out;
    out.path = path;
    const int file = 0;
    std::vector<Issue>& issues = out.issues;
    std::vector<PendingRun>& runs = out.runs;
    if (reading.blocks.empty()) {
        issues.push_back({path, 0,
                          empty ? QStringLiteral("an empty file: nothing to read")
                                : QStringLiteral("not a record file: it holds no header, response or note block"),
                          QString()});
        return out;
    }
    if (name.role == FileRole::Other) {
        issues.push_back({path, 0,
                          QStringLiteral("the file name is not that of a send, master or notes file; its records are "
                                         "taken as those of \"%1\"")
                              .arg(name.student),
                          QString()});
    }
    for (recordreader::Problem& p : reading.problems) {
        issues.push_back({path, p.line, std::move(p.message), std::move(p.text)});
    }
    out.records = true;
    out.name = name.student;
    out.copySuffix = name.role != FileRole::Other && name.copySuffix;
    out.key = nameKey(name.student);
    name.student = out.key;
    out.blocks = static_cast<qsizetype>(reading.blocks.size());

    PendingRun* current = nullptr;
    int lastSeconds = -1;
    QDate day;
    // the run's blocks so far, by what they hold: the same block again, time and all, is one press that an editor
    // copied, shown once
    QMultiHash<std::size_t, std::size_t> seen;
    const auto sameBlock = [](const Record& a, const Record& b) {
        return a.kind == b.kind && a.seconds == b.seconds && a.date == b.date && a.rating == b.rating &&
               a.entry == b.entry && a.text == b.text && a.ratingText == b.ratingText;
    };
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
            runs.push_back(std::move(run));
            current = &runs.back();
            day = current->run.date;
            lastSeconds = -1;
            seen.clear();
            continue;
        }
        if (!current) {
            // the file's top was lost or edited away: what the header told of the run is not known
            issues.push_back(
                {path, b.firstLine,
                 name.role == FileRole::Send && name.month >= 1 && name.month <= 12 && name.day >= 1 && name.day <= 31
                     ? QStringLiteral("blocks before any header: the run's header is missing; its day is taken from "
                                      "the file's name, %1-%2, to set it among the student's runs")
                           .arg(name.month, 2, 10, QLatin1Char('0'))
                           .arg(name.day, 2, 10, QLatin1Char('0'))
                     : QStringLiteral("blocks before any header: the run's header is missing, and its day is not "
                                      "known; the run is shown after those of known days"),
                 QString()});
            PendingRun run;
            run.student = name.student;
            run.run.file = file;
            run.run.line = b.firstLine;
            runs.push_back(std::move(run));
            current = &runs.back();
            day = QDate();
            lastSeconds = -1;
            seen.clear();
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
        r.complete = b.complete;
        // a note carries its own day
        const QDate noteDay = b.kind == BlockKind::Note && !b.noteDateTime.isEmpty() ? dateOf(b.noteDateTime) : QDate();
        r.date = noteDay.isValid() ? noteDay : day;
        // by the lengths, not the texts: a class's texts are not all read once more for a rare copy
        const std::size_t contentHash =
            qHashMulti(0, static_cast<int>(r.kind), r.seconds, r.entry.size(), r.text.size(), r.ratingText.size());
        const Record* again = nullptr;
        for (auto it = seen.constFind(contentHash); it != seen.constEnd() && it.key() == contentHash && !again; ++it) {
            again = sameBlock(current->run.records[*it], r) ? &current->run.records[*it] : nullptr;
        }
        if (again) {
            issues.push_back({path, r.line,
                              QStringLiteral("this block repeats the one at line %1 exactly, its time too: shown once")
                                  .arg(again->line),
                              QString()});
            continue;
        }
        seen.insert(contentHash, current->run.records.size());
        if (b.kind == BlockKind::Note && !b.noteDateTime.isEmpty()) {
            day = noteDay.isValid() ? noteDay : day;
        } else if (r.seconds >= 0 && lastSeconds >= 0 && r.seconds < lastSeconds) {
            if (lastSeconds >= 18 * 3600 && r.seconds + 86400 - lastSeconds <= 6 * 3600) {
                day = day.isValid() ? day.addDays(1) : day; // a run that goes on past midnight
            } else {
                // a run does not go back in time: the header of the next run is likely gone
                issues.push_back(
                    {path, b.firstLine,
                     QStringLiteral("the time goes back from %1 to %2 within one run: the header of a later run may "
                                    "be missing before this block; the blocks from here on are kept in the run above")
                         .arg(QTime(0, 0).addSecs(lastSeconds).toString(u"hh:mm:ss"), b.time),
                     QString()});
            }
        }
        if (r.seconds >= 0) {
            lastSeconds = r.seconds;
        }
        r.date = day;
        current->run.records.push_back(std::move(r));
    }
    return out;
}

// A block that a later run of the student holds too: in one file that run's header was lost, and its blocks were read
// into the run above it there, of that run's day. The copy goes to the later run, where it is shown once, and is told.
void ClassReader::dropCopiesOfLaterRuns(Student& s) {
    if (s.runs.size() < 2) {
        return;
    }
    struct At {
        int seconds;
        std::size_t run;
        std::size_t index;
    };
    std::vector<At> timed;
    for (std::size_t r = 0; r < s.runs.size(); ++r) {
        for (std::size_t i = 0; i < s.runs[r].records.size(); ++i) {
            if (s.runs[r].records[i].seconds >= 0) {
                timed.push_back({s.runs[r].records[i].seconds, r, i});
            }
        }
    }
    std::sort(timed.begin(), timed.end(), [](const At& a, const At& b) { return a.seconds < b.seconds; });
    std::vector<std::vector<bool>> dropped(s.runs.size());
    for (std::size_t r = 0; r < s.runs.size(); ++r) {
        dropped[r].assign(s.runs[r].records.size(), false);
    }
    struct Copy {
        At stray;
        At own; // the later run's
        bool otherDay;
    };
    std::vector<Copy> copies;
    std::vector<std::size_t> strays(s.runs.size(), 0);
    for (std::size_t k = 0; k < timed.size(); ++k) {
        for (std::size_t m = k + 1; m < timed.size() && timed[m].seconds - timed[k].seconds <= 2; ++m) {
            if (timed[k].run == timed[m].run) {
                continue;
            }
            // runs are in the order of their times: the earlier run's copy is the stray
            const At& stray = timed[k].run < timed[m].run ? timed[k] : timed[m];
            const At& own = timed[k].run < timed[m].run ? timed[m] : timed[k];
            const Record& x = s.runs[stray.run].records[stray.index];
            const Record& y = s.runs[own.run].records[own.index];
            // A response has the day of the run it was read into, which is the earlier run's where the later run's
            // header is lost; a note carries its own. A file that holds the later run with its header lost none.
            const bool sameDay = !x.date.isValid() || !y.date.isValid() || x.date == y.date;
            const bool laterDay =
                !sameDay && x.date < y.date && x.kind != recordreader::BlockKind::Note && x.file != y.file;
            if (dropped[stray.run][stray.index] || !(sameDay || laterDay) || !(sameContent(x, y) || sameCopy(x, y))) {
                continue;
            }
            dropped[stray.run][stray.index] = true;
            copies.push_back({stray, own, !sameDay});
            ++strays[stray.run];
        }
    }
    // A run read into the one above it follows that run's own blocks. Of another day, a copy is one only there: a
    // block that one of its run's own follows is a press of that day, made alike on the later day by chance.
    for (std::size_t r = 0; r < s.runs.size(); ++r) {
        std::size_t tail = s.runs[r].records.size();
        while (tail > 0 && dropped[r][tail - 1]) {
            --tail;
        }
        for (const Copy& c : copies) {
            if (c.stray.run == r && c.otherDay && c.stray.index < tail) {
                dropped[r][c.stray.index] = false;
                --strays[r];
            }
        }
    }
    // a run that would keep none is two runs whose presses came alike, and stays as it is
    bool any = false;
    for (const Copy& c : copies) {
        const At& stray = c.stray;
        const At& own = c.own;
        if (!dropped[stray.run][stray.index]) {
            continue;
        }
        if (strays[stray.run] == s.runs[stray.run].records.size()) {
            dropped[stray.run][stray.index] = false;
            continue;
        }
        Record& x = s.runs[stray.run].records[stray.index];
        Record& y = s.runs[own.run].records[own.index];
        m_records.issues.push_back(
            {m_records.files[x.file], x.line,
             QStringLiteral("this block is also in a later run, at %1:%2: the header of that run may be missing above "
                            "it here; shown once, in that run")
                 .arg(m_records.files[y.file])
                 .arg(y.line),
             QString()});
        keepBetter(y, x);
        any = true;
    }
    for (std::size_t r = 0; any && r < s.runs.size(); ++r) {
        std::vector<Record>& records = s.runs[r].records;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (!dropped[r][i]) {
                records[kept++] = std::move(records[i]);
            }
        }
        records.resize(kept);
    }
}

ClassRecords ClassReader::finish() {
    QHash<QString, std::size_t> studentAt;
    // of the forms of one name, the one in mixed case, stored plainly, from a file without a copy suffix, the first
    // such
    QHash<QString, QString> nameOf;
    for (const auto& [key, forms] : m_names) {
        const auto score = [](const NameForm& f) {
            const bool mixed = f.form.toLower() != f.form && f.form.toUpper() != f.form;
            const bool plain = f.form == f.form.normalized(QString::NormalizationForm_C) &&
                               shownName(f.form).size() == f.form.size() &&
                               std::none_of(f.form.begin(), f.form.end(), [](QChar c) {
                                   return c.category() == QChar::Other_Format || c.category() == QChar::Other_Control;
                               });
            return (mixed ? 4 : 0) + (plain ? 2 : 0) + (f.copySuffix ? 0 : 1);
        };
        const NameForm* best = &forms.front();
        std::optional<int> bestScore; // weighed once another form is met: most names come in one
        for (std::size_t i = 1; i < forms.size(); ++i) {
            const NameForm& f = forms[i];
            if (f.form == best->form && f.copySuffix == best->copySuffix) {
                continue;
            }
            bestScore = bestScore ? bestScore : score(*best);
            if (const int other = score(f); other > *bestScore) {
                best = &f;
                bestScore = other;
            }
        }
        nameOf.insert(key, best->form);
        for (const NameForm& f : forms) {
            if (f.form != best->form) {
                addIssue(f.path, QStringLiteral("the name \"%1\" is taken as \"%2\": names that differ only in letter "
                                                "case, blanks, the way their letters are stored or a copy suffix are "
                                                "one student")
                                     .arg(f.form, best->form));
            } else if (f.copySuffix) {
                addIssue(f.path, QStringLiteral("the name \"%1\" is taken as \"%2\", without its copy suffix")
                                     .arg(QFileInfo(f.path).completeBaseName(), f.form));
            }
        }
    }
    auto studentOf = [&](const QString& key) -> Student& {
        auto it = studentAt.find(key);
        if (it == studentAt.end()) {
            it = studentAt.insert(key, m_records.students.size());
            const QString name = nameOf.value(key, key);
            m_records.students.push_back({name, shownName(name), {}, {}});
        }
        return m_records.students[*it];
    };

    // runs with a header first: copies of one run share its filler line, assignment and date; two runs whose fillers
    // differ only where a copy saved in ASCII has "?" are one run only when one of them has the "?"
    QHash<QString, std::vector<std::size_t>> runAt; // student, filler in its matching form, assignment, date
    const auto blocksIn = [](const Run& a, const Run& b) {
        return static_cast<std::size_t>(std::count_if(a.records.begin(), a.records.end(), [&](const Record& x) {
            return std::any_of(b.records.begin(), b.records.end(),
                               [&](const Record& y) { return closeInTime(x, y) && sameCopy(x, y); });
        }));
    };
    // A header that lost its filler line or its day leaves its run without those marks of the copies: the copy is
    // found by its blocks instead, when most of the shorter run's blocks are in the other; so is the run that such a
    // copy came first to.
    const auto damaged = [](const Run& r) { return r.filler.isEmpty() || !r.date.isValid(); };
    // A block cut short within its last line, and the next run written on: the header's filler line holds the rest
    // of that line before its own characters
    const auto fusedWith = [](const Run& a, const Run& b) {
        const QString longer = matchForm(a.filler);
        const QString own = matchForm(b.filler);
        return own.size() >= 3 && longer.size() > own.size() && longer.endsWith(own);
    };
    const auto copyByBlocks = [&](const Student& s, const Run& run) {
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
    };
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
    m_runs.clear();

    for (Student& s : m_records.students) {
        std::sort(s.files.begin(), s.files.end());
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
            const FileName named = classify(QFileInfo(m_records.files[run.file]).fileName());
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
        dropCopiesOfLaterRuns(s);
    }
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
                m_records.issues.back().line = r.line;
            }
        }
    }
    std::sort(m_records.students.begin(), m_records.students.end(), [](const Student& a, const Student& b) {
        const int byName = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.key < b.key;
    });
    return std::move(m_records);
}

} // namespace report
