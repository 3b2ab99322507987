#include "report/read/runcopies.h"

#include <algorithm>
#include <cmath>

namespace report {

namespace {

// A text as editors and transports leave it alike: each line without its line end and trailing blanks.
QString plainForm(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (QStringView line : text.tokenize(u'\n')) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        qsizetype end = line.size();
        while (end > 0 && (line[end - 1] == u' ' || line[end - 1] == u'\t')) {
            --end;
        }
        if (!out.isEmpty() || text.startsWith(u'\n') || text.startsWith(u"\r\n")) {
            out += u'\n';
        }
        out += line.first(end);
    }
    return out;
}

qsizetype lostCharacters(const Record& r) {
    return r.entry.count(u'?') + r.text.count(u'?') + r.ratingText.count(u'?');
}

// Two forms of a text alike but for characters a copy saved in ASCII lost to "?".
bool alikeButLost(const QString& x, const QString& y) {
    if (x.size() != y.size()) {
        return false;
    }
    for (qsizetype i = 0; i < x.size(); ++i) {
        if (x[i] != y[i] && x[i] != u'?' && y[i] != u'?') {
            return false;
        }
    }
    return true;
}

// Two texts that read alike to a place where each has a character that is neither a blank, a line end nor "?", and
// differ there: what comes before that place is the same in every form copies are compared in, so no form makes them
// alike. Most texts that differ are told so at once, without a form of either.
bool plainlyDifferent(QStringView a, QStringView b) {
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i < n && a[i] == b[i]) {
        ++i;
    }
    const auto telling = [](QChar c) { return c != u' ' && c != u'\t' && c != u'\r' && c != u'\n' && c != u'?'; };
    return i < n && telling(a[i]) && telling(b[i]);
}

} // namespace

// Two copies of one text: alike but for line ends, trailing blanks, and characters a copy saved in ASCII lost to "?".
bool sameText(QStringView a, QStringView b) {
    return a == b || (!plainlyDifferent(a, b) && alikeButLost(plainForm(a), plainForm(b)));
}

// Two copies of the line a block was written after: alike as sameText has them, or once the blanks and line ends of
// an editor's wrapping are set aside, as the line is placed in the document.
bool sameEntry(QStringView a, QStringView b) {
    if (a == b) {
        return true;
    }
    if (plainlyDifferent(a, b)) {
        return false;
    }
    if (alikeButLost(plainForm(a), plainForm(b))) {
        return true;
    }
    const auto bare = [](QStringView text) {
        QString out;
        out.reserve(text.size());
        for (const QChar c : text) {
            if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') {
                out += c;
            }
        }
        return out;
    };
    return alikeButLost(bare(a), bare(b));
}

bool sameContent(const Record& a, const Record& b) {
    return a.kind == b.kind && a.rating == b.rating && a.entry == b.entry && a.text == b.text &&
           a.ratingText == b.ratingText;
}

// The same block as read from two copies of a file, one of them changed by an editor or a transport.
bool sameCopy(const Record& a, const Record& b) {
    return a.kind == b.kind && a.rating == b.rating && sameEntry(a.entry, b.entry) && sameText(a.text, b.text) &&
           sameText(a.ratingText, b.ratingText);
}

// A copy of a block cut short, as when the drill stopped while it wrote it, and the whole block in another file: its
// text is the start of the whole one's.
bool cutCopyOf(const Record& cut, const Record& whole) {
    return !cut.complete && whole.complete && cut.kind == whole.kind && sameEntry(cut.entry, whole.entry) &&
           matchForm(whole.text).startsWith(matchForm(cut.text)) &&
           (cut.ratingText.isEmpty() || sameText(cut.ratingText, whole.ratingText));
}

// The form by which copies of one text are found: "?" for every character beyond ASCII, as a copy saved in ASCII has.
QString matchForm(QStringView text) {
    QString form = plainForm(text);
    for (QChar& c : form) {
        if (c.unicode() >= 0x80) {
            c = u'?';
        }
    }
    return form;
}

// Of two copies of one block, the one that lost fewer characters is kept.
void keepBetter(Record& kept, Record& other) {
    if (!kept.questionNumber) {
        kept.questionNumber = other.questionNumber;
    }
    if (!kept.date.isValid()) {
        kept.date = other.date; // a copy whose header lost its day
    }
    // a whole copy before one cut short, whatever either lost to "?"
    const bool whole = !kept.complete && other.complete;
    const bool cut = kept.complete && !other.complete;
    if (!sameContent(kept, other) && !cut && (whole || lostCharacters(other) < lostCharacters(kept))) {
        std::swap(kept.entry, other.entry);
        std::swap(kept.text, other.text);
        std::swap(kept.rating, other.rating);
        std::swap(kept.ratingText, other.ratingText);
        std::swap(kept.file, other.file);
        std::swap(kept.line, other.line);
        std::swap(kept.complete, other.complete);
    }
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

bool differentCopy(const Record& a, const Record& b) {
    return a.kind == b.kind && closeInTime(a, b) && sameEntry(a.entry, b.entry) && !sameCopy(a, b);
}

void sayDiffer(const Record& a, const Record& b, ClassRecords& records) {
    const auto where = [&](const Record& x) { return QStringLiteral("%1:%2").arg(records.files[x.file]).arg(x.line); };
    const QString message = QStringLiteral("two copies of one block differ, here and at %1: both are shown");
    records.issues.push_back({records.files[b.file], b.line, message.arg(where(a)), QString()});
    records.issues.push_back({records.files[a.file], a.line, message.arg(where(b)), QString()});
}

// Puts the records of b that a does not hold into a, in their order; a record of b that a holds gives it its
// question number when a lacks one. Two blocks written at one time after one entry that differ otherwise are both
// kept, and each is a problem that names the other.
void mergeInto(std::vector<Record>& a, std::vector<Record>& b, ClassRecords& records) {
    std::size_t at = 0;
    for (Record& r : b) {
        std::size_t found = a.size();
        std::size_t differing = a.size();
        for (std::size_t j = at; j < a.size(); ++j) {
            if (!closeInTime(a[j], r)) {
                continue;
            }
            if (sameContent(a[j], r) || sameCopy(a[j], r) || cutCopyOf(a[j], r) || cutCopyOf(r, a[j])) {
                found = j;
                break;
            }
            if (differing == a.size() && a[j].kind == r.kind && sameEntry(a[j].entry, r.entry)) {
                differing = j;
            }
        }
        if (found < a.size()) {
            keepBetter(a[found], r);
            at = found + 1;
        } else {
            if (differing < a.size()) {
                sayDiffer(a[differing], r, records);
            }
            a.insert(a.begin() + static_cast<std::ptrdiff_t>(at), std::move(r));
            ++at;
        }
    }
}

void dropCopiesOfLaterRuns(Student& s, ClassRecords& records) {
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
        records.issues.push_back(
            {records.files[x.file], x.line,
             QStringLiteral("this block is also in a later run, at %1:%2: the header of that run may be missing above "
                            "it here; shown once, in that run")
                 .arg(records.files[y.file])
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

} // namespace report
