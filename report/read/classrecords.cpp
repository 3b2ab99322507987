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
    m_names[file.key].push_back({file.name, file.given, file.path, index, file.copySuffix});
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
    out.given = name.given;
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
    // room for a run's records at once, as many as its blocks: they are most of what the program holds
    const auto reserveRecords = [&](std::size_t from) {
        std::size_t blocks = 0;
        while (from + blocks < reading.blocks.size() && reading.blocks[from + blocks].kind != BlockKind::Header) {
            ++blocks;
        }
        current->run.records.reserve(blocks);
    };
    for (std::size_t k = 0; k < reading.blocks.size(); ++k) {
        recordreader::Block& b = reading.blocks[k];
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
            reserveRecords(k + 1);
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
            reserveRecords(k);
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
        r.ratingLine = b.ratingLine;
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

} // namespace report
