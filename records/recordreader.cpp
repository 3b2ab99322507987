#include "records/recordreader.h"

#include "records/numbertext.h"
#include "records/recordblocks.h"
#include "records/recordlines.h"

#include <QDate>

// How a file is read. A block's lines are recognised by their fixed texts: the record separator followed by a time
// line opens a response or note block; a line followed by "assignment #" and the heading that number opens is a
// header. The entry runs to the record separator that stands right before the RESPONSE or NOTES label.
//
// The layout itself is ambiguous where a response or note holds a line that equals a separator or starts like a
// rating label, since the writer puts the text between fixed lines without marking it. The reading that keeps the
// most text is taken:
//  - the text runs to the first closing separator that is followed by the end of the file, by blank lines only, or by
//    the start of the next block or header; a closing separator followed by anything else is part of the text. So a
//    response that holds a line of 49 full stops, or the record separator, is read whole.
//  - a record separator followed by a time line always opens a block, even inside a response, and so does an
//    "assignment #" line followed by the heading its number opens and, within a heading's lines, a date line: a
//    student would have to type all of them exactly for this to split their text, and then the rest is still read,
//    as a block cut short.
//  - the last line before the closing separator is the rating when it starts with a rating label and at least one
//    line of text stands before it; a one-line response is always text. A response written before any question or
//    answer was shown has no rating line, and if its last line starts like a rating label that line is read as the
//    rating: it is still shown, under the rating's name.
// Trailing blanks that an editor strips from the fixed lines are not needed to recognise them.
//
// Damage is another matter: a block that lost its opening still plainly starts where the record separator and label
// that close its entry stand, or where a record separator is followed by a few lines and then those two. A response
// or note never runs on into such a place: the shape of a following block ends it, as the time line after a record
// separator does, and the rest is read as a block of its own with a problem at its line. The two rules meet there:
// a response that holds a typed separator keeps it, unless the student also typed the record separator and a label
// right after it, lines the writer puts only at an entry's end; then the text ends before them, and both problems
// name the lines. A record separator with a character or a few lost or changed still opens a block before a time
// line, and still ends an entry before a label; an entry whose separator is gone ends at its label, once the lines of
// a block's end or of the next block's start show that no document's line holds that label. Lines are counted as an
// editor counts them: every LF ends one, with or without a CR before it.

namespace recordreader {

namespace {

using namespace recordlines;

// "mm-dd-yyyy" or "hh:mm:ss" as the reader found them: digits in place, but maybe not a day or a time of day.
bool isPossibleDate(QStringView mmddyyyy) {
    return QDate(mmddyyyy.sliced(6, 4).toInt(), mmddyyyy.sliced(0, 2).toInt(), mmddyyyy.sliced(3, 2).toInt()).isValid();
}

bool isPossibleTime(QStringView hhmmss) {
    return hhmmss.sliced(0, 2).toInt() < 24 && hhmmss.sliced(3, 2).toInt() < 60 && hhmmss.sliced(6, 2).toInt() < 60;
}

class Parser {
public:
    Parser(QStringView text, Reading& out, SharedTexts* shared, QByteArrayView bytes)
        : m_text(text), m_out(out), m_shared(shared) {
        split(bytes);
    }

    void run() {
        qsizetype i = 0;
        while (i < n()) {
            if (is(i, Line::Blank)) {
                ++i;
            } else if (startsBlock(i)) {
                i = readBlock(i, Opening::Whole);
            } else if (isHeaderAt(i)) {
                i = readHeader(i, true);
            } else if (is(i, Line::Assignment) && (i + 1 >= n() || opensAssignment(m_lines[i + 1], m_lines[i]))) {
                problem(i, QStringLiteral("a header without its first line"));
                i = readHeader(i, false);
            } else if (is(i, Line::Time)) {
                problem(i, QStringLiteral("a block without its record separator"));
                i = readBlock(i, Opening::NoSeparator);
            } else if (opens(i) == withoutTime) {
                problem(i, QStringLiteral("a block without its time line"));
                i = readBlock(i, Opening::NoTime);
            } else if (opens(i) == withoutEntry) {
                problem(i, QStringLiteral("a block without its record separator, time line and entry: it starts at "
                                          "the separator before its label"));
                i = readBlock(i, Opening::NoEntry);
            } else if (damagedStart(i)) {
                problem(i, QStringLiteral("the record separator is damaged: ") + excerpt(m_lines[i]));
                i = readBlock(i, Opening::Whole);
            } else {
                i = readStray(i);
            }
        }
        if (m_unterminated && !m_lines.empty() && !is(n() - 1, Line::Blank)) {
            problem(n() - 1, QStringLiteral("the last line has no line end: the file may be cut short"));
        }
    }

private:
    qsizetype n() const { return static_cast<qsizetype>(m_lines.size()); }
    bool is(qsizetype i, Line kind) const { return m_kinds[static_cast<std::size_t>(i)] == kind; }

    // An LF or CR file is one problem for the file; a bare LF among CR LF ends is one where it ends or precedes a
    // fixed line, since there a block would otherwise have been read wrong.
    void split(QByteArrayView bytes) {
        Lines split = splitLines(m_text, bytes);
        m_lines = std::move(split.lines);
        m_editorLines = std::move(split.editorLines);
        m_unterminated = split.unterminated;
        // a text holds no CR alone, nor the ends of another system
        m_rejoin = split.ends != Ends::CrLf || !split.bareCr.empty() || !split.doubledCr.empty() || !split.lfCr.empty();
        const std::vector<qsizetype>& bareLf = split.bareLf;
        m_kinds.reserve(m_lines.size());
        std::size_t opening = 0; // lines that may open a block or a header
        for (const QStringView line : m_lines) {
            m_kinds.push_back(kindOf(line));
            opening += m_kinds.back() == Line::Time || m_kinds.back() == Line::Assignment ? 1 : 0;
        }
        m_out.blocks.reserve(opening);
        findOpenings();
        if (split.ends == Ends::Cr) {
            problem(0, QStringLiteral("lines end in CR alone, not CR LF: the file was saved for another system; read "
                                      "all the same"));
        } else if (split.ends == Ends::Lf) {
            problem(0, QStringLiteral("lines end in LF, not CR LF: the file was saved by another editor; read all "
                                      "the same"));
        }
        // told at the first such line, with how many more there are: a part of the file saved anew ends them all so
        const auto fixed = [&](qsizetype i) { return i < n() && !is(i, Line::Other) && !is(i, Line::Blank); };
        const auto tell = [&](const std::vector<qsizetype>& lines, const QString& what) {
            std::vector<qsizetype> told;
            std::copy_if(lines.begin(), lines.end(), std::back_inserter(told),
                         [&](qsizetype i) { return fixed(i) || fixed(i + 1); });
            if (!told.empty()) {
                // every such line below counts, not only those beside a fixed line
                const auto more = lines.end() - std::upper_bound(lines.begin(), lines.end(), told.front());
                problem(told.front(),
                        more == 0 ? what : what + QStringLiteral(" (and so are %1 more such lines below)").arg(more));
            }
        };
        tell(bareLf, QStringLiteral("this line ends in LF alone, not CR LF: another editor changed the file here; "
                                    "read as a line end"));
        tell(split.bareCr, QStringLiteral("this line ends in CR alone: an editor for an old system changed the file "
                                          "here; read as a line end"));
        tell(split.doubledCr,
             QStringLiteral("this line ends in CR CR LF: a program that copied the file wrote its line "
                            "ends twice over; read as one line end"));
        tell(split.lfCr, QStringLiteral("this line ends in LF CR: the file was saved for another system; read as one "
                                        "line end"));
    }

    // Where a block plainly starts although its opening is damaged: a record separator followed, within a few lines
    // and with no other fixed separator or time line between, by the record separator and label that end an entry
    // (the block lost its time line); a time line followed so (it lost its record separator, as when the block before
    // it was cut short within a line and the next one written on); or that record separator and label alone (the
    // block lost all before them).
    void findOpenings() {
        m_opens.assign(m_lines.size(), 0);
        qsizetype ahead = -1; // the record separator before a label, with nothing fixed between it and here
        for (qsizetype i = n() - 1; i >= 0; --i) {
            const Line k = m_kinds[static_cast<std::size_t>(i)];
            if (k == Line::RecordSeparator) {
                const bool beforeLabel = isLabel(i + 1);
                if (beforeLabel) {
                    m_opens[static_cast<std::size_t>(i)] = withoutEntry;
                } else if (ahead > i + 1 && ahead - i <= 64) {
                    m_opens[static_cast<std::size_t>(i)] = withoutTime;
                }
                ahead = beforeLabel ? i : -1;
            } else if (k == Line::Time && ahead > i + 1 && ahead - i <= 64) {
                // the time line is there, the record separator before it gone: a line cut short ran into it
                m_opens[static_cast<std::size_t>(i)] = withoutSeparator;
                ahead = -1;
            } else if (k == Line::ClosingSeparator || k == Line::Time || k == Line::DateTime || k == Line::Assignment) {
                ahead = -1;
            }
        }
    }

    // The number an editor gives the line at index (n() for the one after the last).
    qsizetype lineNo(qsizetype index) const {
        return m_editorLines.empty() ? index + 1 : m_editorLines[static_cast<std::size_t>(index)];
    }

    void problem(qsizetype index, const QString& message, const QString& text = QString()) {
        m_out.problems.push_back({lineNo(index), message, text});
    }

    // Lines [from, to) where they lie in the text, one after another, each followed by CR LF; not for a file split at
    // bare LF.
    QStringView span(qsizetype from, qsizetype to) const {
        if (from >= to) {
            return {};
        }
        return QStringView(m_lines[from].utf16(), m_lines[to - 1].utf16() + m_lines[to - 1].size());
    }

    // Lines [from, to) as one text with CR LF between them, as the writer wrote it.
    QString join(qsizetype from, qsizetype to) const {
        if (from >= to) {
            return QString();
        }
        if (!m_rejoin) {
            return span(from, to).toString();
        }
        QString text;
        for (qsizetype i = from; i < to; ++i) {
            if (i > from) {
                text += QStringLiteral("\r\n");
            }
            text += m_lines[i];
        }
        return text;
    }

    // A text that recurs from file to file: the copy held for all of them when there is one.
    QString shared(QStringView text) const { return m_shared ? m_shared->get(text) : text.toString(); }

    // An entry, lines [from, to), taken from the shared copy without a copy of its own first.
    QString entry(qsizetype from, qsizetype to) const {
        if (!m_shared) {
            return join(from, to);
        }
        return m_rejoin ? m_shared->get(join(from, to)) : m_shared->get(span(from, to));
    }

    static constexpr unsigned char withoutTime = 1;
    static constexpr unsigned char withoutEntry = 2;
    static constexpr unsigned char withoutSeparator = 4;

    bool isLabel(qsizetype i) const { return i < n() && (is(i, Line::ResponseLabel) || is(i, Line::NotesLabel)); }
    unsigned char opens(qsizetype i) const { return i < n() ? m_opens[static_cast<std::size_t>(i)] : 0; }

    bool startsBlock(qsizetype i) const { return i + 1 < n() && is(i, Line::RecordSeparator) && is(i + 1, Line::Time); }

    // A block whose record separator was damaged, a character or a few lost or changed: the time line after it tells.
    bool damagedStart(qsizetype i) const {
        return i + 1 < n() && is(i + 1, Line::Time) && is(i, Line::Other) && isDamagedRecordSeparator(m_lines[i]);
    }

    // A filler line, then the assignment line, then the heading that number opens (or the end of the file).
    bool isHeaderAt(qsizetype i) const {
        if (i + 1 >= n() || !is(i + 1, Line::Assignment) || is(i, Line::Blank)) {
            return false;
        }
        return i + 2 >= n() || opensAssignment(m_lines[i + 2], m_lines[i + 1]);
    }

    // A header with its date line, within the lines a heading takes: what a response or note may hold typed does
    // not end it; a student would have to type a date line too.
    bool isWholeHeaderAt(qsizetype i) const {
        if (!isHeaderAt(i)) {
            return false;
        }
        for (qsizetype d = i + 3; d < std::min(n(), i + 3 + 64); ++d) {
            if (is(d, Line::Date)) {
                return true;
            }
            if (!is(d, Line::Other) && !is(d, Line::Blank)) {
                return false;
            }
        }
        return false;
    }

    // The first line at or after i where the next block or header starts. A response or note also ends where a
    // block with a damaged opening plainly starts, and at a header only with its date line. An entry does not: it is
    // the document's line, which may hold a separator line, and it ends at the first record separator before a label
    // all the same.
    qsizetype nextStart(qsizetype i, bool damagedToo = false) const {
        const auto startsAt = [&](qsizetype j) {
            return startsBlock(j) ||
                   (damagedToo ? opens(j) != 0 || damagedStart(j) || isWholeHeaderAt(j) : isHeaderAt(j));
        };
        const qsizetype near = std::min(n(), i + 256);
        for (; i < near; ++i) {
            if (startsAt(i)) {
                return i;
            }
        }
        if (i >= n()) {
            return i;
        }
        // far apart, as when an editor took the indent from every time line: found once for every line, so that a
        // file of such blocks takes no time that grows with the square of its length
        std::vector<qsizetype>& next = damagedToo ? m_nextOpening : m_nextStart;
        if (next.empty()) {
            next.assign(m_lines.size() + 1, n());
            for (qsizetype j = n() - 1; j >= 0; --j) {
                next[static_cast<std::size_t>(j)] = startsAt(j) ? j : next[static_cast<std::size_t>(j) + 1];
            }
        }
        return next[static_cast<std::size_t>(i)];
    }

    // After a closing separator: the end of the file, or the next block or header, past any blank lines.
    bool boundaryAt(qsizetype i) const {
        while (i < n() && is(i, Line::Blank)) {
            ++i;
        }
        return i >= n() || startsBlock(i) || damagedStart(i) || isHeaderAt(i) || is(i, Line::Time) || opens(i) != 0 ||
               (is(i, Line::Assignment) && (i + 1 >= n() || opensAssignment(m_lines[i + 1], m_lines[i])));
    }

    qsizetype readStray(qsizetype i) {
        qsizetype j = i + 1;
        while (j < n() && !startsBlock(j) && !damagedStart(j) && !isHeaderAt(j) && !is(j, Line::Time) &&
               !is(j, Line::Assignment) && opens(j) == 0) {
            ++j;
        }
        qsizetype last = j;
        while (last > i && is(last - 1, Line::Blank)) {
            --last;
        }
        const QString text = join(i, last);
        const QString where = last - i == 1 ? QStringLiteral("a line that belongs to no block")
                                            : QStringLiteral("%1 lines that belong to no block").arg(last - i);
        problem(i, where + QStringLiteral(": ") + excerpt(text), text);
        return j;
    }

    qsizetype readHeader(qsizetype i, bool withFiller) {
        Block b;
        b.kind = BlockKind::Header;
        b.firstLine = lineNo(i);
        qsizetype k = i;
        if (withFiller) {
            b.filler = m_lines[k++].toString();
        } else {
            b.complete = false;
        }
        b.assignmentNbr = trimmedRight(m_lines[k++].mid(recordblocks::assignmentLabel.size())).toString();
        const qsizetype limit = std::min(nextStart(k), k + 64);
        // the heading is one line in the carried document, but a document line may hold line breaks
        qsizetype dateAt = -1;
        for (qsizetype d = k + 1; d < limit; ++d) {
            if (is(d, Line::Date)) {
                dateAt = d;
                break;
            }
        }
        qsizetype end = 0;
        if (dateAt >= 0) {
            const qsizetype titleAt = dateAt - 1 > k ? dateAt - 1 : dateAt;
            b.headingLine = join(k, titleAt);
            b.title = titleAt < dateAt ? m_lines[titleAt].toString() : QString();
            b.date = trimmedRight(m_lines[dateAt]).toString();
            if (!isPossibleDate(b.date)) {
                problem(dateAt, QStringLiteral("an impossible date \"%1\": the run's day is not known").arg(b.date));
            }
            end = dateAt + 1;
        } else {
            // cut short: the heading and the title as far as they go
            const qsizetype stop = std::min(limit, k + 2);
            b.headingLine = k < stop ? m_lines[k].toString() : QString();
            b.title = k + 1 < stop ? m_lines[k + 1].toString() : QString();
            end = stop;
            b.complete = false;
            problem(i, QStringLiteral("a header cut short: it has no date line"));
        }
        b.lastLine = lineNo(std::max(end, i + 1)) - 1;
        m_out.blocks.push_back(std::move(b));
        return std::max(end, i + 1);
    }

    // How much of a block's opening, the record separator and the time line, is there.
    enum class Opening { Whole, NoSeparator, NoTime, NoEntry };

    qsizetype readBlock(qsizetype i, Opening opening) {
        Block b;
        b.firstLine = lineNo(i);
        qsizetype k = opening == Opening::Whole || opening == Opening::NoTime ? i + 1 : i;
        if (opening == Opening::Whole || opening == Opening::NoSeparator) {
            b.time = m_lines[k].sliced(indentOf(m_lines[k]), 8).toString();
            if (!isPossibleTime(b.time)) {
                problem(k, QStringLiteral("an impossible time \"%1\": the block's time is not known").arg(b.time));
            }
            ++k;
        } else {
            b.complete = false;
        }
        const qsizetype limit = nextStart(k); // an entry may hold a separator line: the most text is kept
        bool noteDate = false;
        if (k < limit && is(k, Line::DateTime)) {
            b.noteDateTime = m_lines[k].sliced(indentOf(m_lines[k]), 18).toString();
            if (!isPossibleDate(QStringView(b.noteDateTime).first(10)) ||
                !isPossibleTime(QStringView(b.noteDateTime).sliced(10))) {
                problem(k, QStringLiteral("an impossible date or time \"%1\": the note's day is not known")
                               .arg(b.noteDateTime));
            }
            noteDate = true;
            ++k;
        } else if (k + 2 < limit && is(k, Line::Blank) && is(k + 1, Line::Blank) && is(k + 2, Line::QuestionNumber)) {
            b.questionNumber = numbertext::readNumber(m_lines[k + 2].mid(recordblocks::questionNumberLabel.size()));
            k += 3;
        } else if (k < limit && is(k, Line::QuestionNumber)) {
            b.questionNumber = numbertext::readNumber(m_lines[k].mid(recordblocks::questionNumberLabel.size()));
            ++k;
        }

        // The entry ends at the record separator right before the label. Where that separator is gone or damaged,
        // it ends at the label all the same: when no such separator comes, or when a closing separator or a time line
        // comes first, lines of this block's end and of the next one, which no document's line holds.
        qsizetype labelAt = -1;
        qsizetype bare = -1; // the first label without its record separator
        for (qsizetype e = k; e < limit; ++e) {
            if (e + 1 < limit && is(e, Line::RecordSeparator) && isLabel(e + 1)) {
                labelAt = e + 1;
                b.entry = entry(k, e);
                break;
            }
            if (bare < 0 && isLabel(e)) {
                bare = e;
            } else if (bare >= 0 && (is(e, Line::ClosingSeparator) || is(e, Line::Time))) {
                break;
            }
        }
        if (labelAt < 0 && bare >= 0) {
            labelAt = bare;
            const bool damaged = bare > k && isDamagedRecordSeparator(m_lines[bare - 1]);
            b.entry = entry(k, damaged ? bare - 1 : bare);
            b.complete = false;
            problem(damaged ? bare - 1 : bare, damaged ? QStringLiteral("the record separator before the label is "
                                                                        "damaged: ") +
                                                             excerpt(m_lines[bare - 1])
                                                       : QStringLiteral("the record separator before the label is "
                                                                        "missing"));
        }
        if (labelAt < 0) {
            qsizetype last = limit;
            while (last > k && is(last - 1, Line::Blank)) {
                --last;
            }
            // the record separator that ends an entry, the label after it not written
            const qsizetype entryEnd = last > k && is(last - 1, Line::RecordSeparator) ? last - 1 : last;
            b.kind = noteDate ? BlockKind::Note : BlockKind::Response;
            b.entry = entry(k, entryEnd);
            b.complete = false;
            b.lastLine = lineNo(std::max(last, k)) - 1;
            problem(i, QStringLiteral("a block cut short: it has no RESPONSE or NOTES label"), b.entry);
            m_out.blocks.push_back(std::move(b));
            return limit;
        }

        const bool note = is(labelAt, Line::NotesLabel);
        b.kind = note ? BlockKind::Note : BlockKind::Response;
        const qsizetype textStart = note ? labelAt : labelAt + 1;
        const qsizetype firstClosing = note ? labelAt + 1 : labelAt + 2; // a response has at least one line
        const qsizetype textLimit = nextStart(textStart, true);

        qsizetype closingAt = -1;
        qsizetype lastClosing = -1;
        for (qsizetype c = firstClosing; c < textLimit; ++c) {
            if (!is(c, Line::ClosingSeparator)) {
                continue;
            }
            lastClosing = c;
            if (boundaryAt(c + 1)) {
                closingAt = c;
                break;
            }
        }
        if (closingAt < 0 && lastClosing >= 0) {
            // what follows the last closing separator belongs to no block; it is read as such
            closingAt = lastClosing;
        }
        if (closingAt < 0 && !note && textStart < textLimit && is(textStart, Line::ClosingSeparator)) {
            closingAt = textStart; // the response's one line is gone
        }
        qsizetype textEnd = closingAt;
        qsizetype next = closingAt + 1;
        if (closingAt < 0) {
            textEnd = textLimit;
            while (textEnd > textStart + 1 && is(textEnd - 1, Line::Blank)) {
                --textEnd;
            }
            next = textLimit;
            b.complete = false;
            problem(i, textLimit < n() ? QStringLiteral("a block without its closing separator: it runs to line %1")
                                             .arg(lineNo(textLimit - 1))
                                       : QStringLiteral("a block without its closing separator: the file ends in it"));
        }

        if (!note && textEnd - textStart >= 2) {
            const QStringView last = m_lines[textEnd - 1];
            b.rating = ratingOf(last);
            if (b.rating == Rating::Confidence) {
                b.ratingText = shared(afterLabel(last, recordblocks::confidenceLabel, confidenceLabelText));
            } else if (b.rating == Rating::SelfCritique) {
                b.ratingText = shared(afterLabel(last, recordblocks::selfCritiqueLabel, selfCritiqueLabelText));
            }
            if (b.rating != Rating::None) {
                b.ratingLine = lineNo(textEnd - 1);
                const QString& label = b.rating == Rating::Confidence ? confidenceLabelText : selfCritiqueLabelText;
                if (!last.startsWith(label)) {
                    const bool caseOnly = last.startsWith(label, Qt::CaseInsensitive);
                    problem(textEnd - 1, QStringLiteral("the rating label is typed \"%1\", %2: read as the %3 rating")
                                             .arg(caseOnly ? last.first(label.size()) : retypedLabel(last),
                                                  caseOnly ? QStringLiteral("in other letter case")
                                                           : QStringLiteral("not as the drill writes it"),
                                                  b.rating == Rating::Confidence ? QStringLiteral("confidence")
                                                                                 : QStringLiteral("self-critique")));
                }
                --textEnd;
            }
        }
        if (note) {
            const QStringView first = afterLabel(m_lines[labelAt], recordblocks::notesLabel, notesLabelText);
            b.text = textEnd > labelAt + 1 ? first.toString() + QStringLiteral("\r\n") + join(labelAt + 1, textEnd)
                                           : first.toString();
        } else {
            b.text = join(textStart, textEnd);
        }
        b.lastLine = lineNo(next) - 1;
        m_out.blocks.push_back(std::move(b));
        return next;
    }

    QStringView m_text;
    Reading& m_out;
    SharedTexts* m_shared;
    std::vector<QStringView> m_lines;
    std::vector<Line> m_kinds;
    std::vector<unsigned char> m_opens;           // withoutTime, withoutEntry or 0, for every line
    mutable std::vector<qsizetype> m_nextStart;   // nextStart for every line, once it was far
    mutable std::vector<qsizetype> m_nextOpening; // the same, damaged openings counted
    std::vector<qsizetype> m_editorLines;         // Lines::editorLines
    bool m_rejoin = false;                        // lines are joined with CR LF, not taken as the text holds them
    bool m_unterminated = false;
};
} // namespace

QString SharedTexts::get(QStringView text) {
    if (text.isEmpty()) {
        return QString();
    }
    // found by their length and ends, which tell the document's lines apart without reading them whole
    const std::size_t key = qHashMulti(0, text.size(), text.left(24), text.right(24));
    std::vector<QString>& alike = m_texts[key];
    for (const QString& t : alike) {
        if (t == text) {
            return t;
        }
    }
    alike.push_back(text.toString());
    return alike.back();
}

Reading read(QStringView text, SharedTexts* shared, QByteArrayView bytes) {
    Reading reading;
    Parser(text, reading, shared, bytes).run();
    return reading;
}

} // namespace recordreader
