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

} // namespace report
