#include "records/recordreader.h"

#include "records/codepage.h"
#include "records/numbertext.h"
#include "records/recordblocks.h"

#include <QStringDecoder>

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
//  - a record separator followed by a time line always opens a block, even inside a response: a student would have to
//    type both lines exactly for this to split their text, and then the rest is still read, as a block cut short.
//  - the last line before the closing separator is the rating when it starts with a rating label and at least one
//    line of text stands before it; a one-line response is always text. A response written before any question or
//    answer was shown has no rating line, and if its last line starts like a rating label that line is read as the
//    rating: it is still shown, under the rating's name.
// Trailing blanks that an editor strips from the fixed lines are not needed to recognise them.

namespace recordreader {

namespace {

using recordblocks::closingSeparator;
using recordblocks::recordSeparator;

const QString responseLabelText = recordblocks::responseLabel.trimmed();
const QString notesLabelText = recordblocks::notesLabel.trimmed();
const QString confidenceLabelText = recordblocks::confidenceLabel.trimmed();
const QString selfCritiqueLabelText = recordblocks::selfCritiqueLabel.trimmed();

QStringView trimmedRight(QStringView v) {
    qsizetype end = v.size();
    while (end > 0 && (v[end - 1] == u' ' || v[end - 1] == u'\t')) {
        --end;
    }
    return v.first(end);
}

bool isBlank(QStringView v) {
    return trimmedRight(v).isEmpty();
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// "hh:mm:ss" at position at.
bool isTimeAt(QStringView v, qsizetype at) {
    if (v.size() < at + 8) {
        return false;
    }
    for (qsizetype i = 0; i < 8; ++i) {
        const QChar c = v[at + i];
        if (i == 2 || i == 5 ? c != u':' : !isDigit(c)) {
            return false;
        }
    }
    return true;
}

// "mm-dd-yyyy" at position at.
bool isDateAt(QStringView v, qsizetype at) {
    if (v.size() < at + 10) {
        return false;
    }
    for (qsizetype i = 0; i < 10; ++i) {
        const QChar c = v[at + i];
        if (i == 2 || i == 5 ? c != u'-' : !isDigit(c)) {
            return false;
        }
    }
    return true;
}

qsizetype indentOf(QStringView v) {
    qsizetype i = 0;
    while (i < v.size() && (v[i] == u' ' || v[i] == u'\t')) {
        ++i;
    }
    return i;
}

// The time indent and a time, nothing after it.
bool isTimeLine(QStringView v) {
    const QStringView t = trimmedRight(v);
    const qsizetype indent = indentOf(t);
    return indent > 0 && t.size() == indent + 8 && isTimeAt(t, indent);
}

// The time indent, a date and a time with nothing between them.
bool isDateTimeLine(QStringView v) {
    const QStringView t = trimmedRight(v);
    const qsizetype indent = indentOf(t);
    return indent > 0 && t.size() == indent + 18 && isDateAt(t, indent) && isTimeAt(t, indent + 10);
}

bool isDateLine(QStringView v) {
    const QStringView t = trimmedRight(v);
    return t.size() == 10 && isDateAt(t, 0);
}

bool isRecordSeparator(QStringView v) {
    return trimmedRight(v) == recordSeparator;
}

bool isClosingSeparator(QStringView v) {
    return trimmedRight(v) == closingSeparator;
}

bool isResponseLabel(QStringView v) {
    return trimmedRight(v) == responseLabelText;
}

bool isNotesLabel(QStringView v) {
    return v.startsWith(notesLabelText);
}

bool isQuestionNumberLine(QStringView v) {
    return v.startsWith(recordblocks::questionNumberLabel);
}

// The text after a label: after the label with its blanks, or after the label an editor stripped of them.
QStringView afterLabel(QStringView line, const QString& label, const QString& labelText) {
    if (line.startsWith(label)) {
        return line.mid(label.size());
    }
    return line.mid(labelText.size()).trimmed();
}

Rating ratingOf(QStringView v) {
    if (v.startsWith(confidenceLabelText)) {
        return Rating::Confidence;
    }
    if (v.startsWith(selfCritiqueLabelText)) {
        return Rating::SelfCritique;
    }
    return Rating::None;
}

// The number typed at start, as the assignment line holds it: one line, never long.
bool isAssignmentLine(QStringView v) {
    if (!v.startsWith(recordblocks::assignmentLabel)) {
        return false;
    }
    const QStringView nbr = trimmedRight(v.mid(recordblocks::assignmentLabel.size()));
    return !nbr.isEmpty() && nbr.size() <= 12;
}

bool opensAssignment(QStringView heading, QStringView assignmentLine) {
    const QStringView nbr = trimmedRight(assignmentLine.mid(recordblocks::assignmentLabel.size()));
    return heading.startsWith(nbr) && heading.size() > nbr.size() && heading[nbr.size()] == u'.';
}

QString excerpt(QStringView text) {
    constexpr qsizetype most = 60;
    QString line = text.left(most).toString();
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    return text.size() > most ? line + QStringLiteral("...") : line;
}

class Parser {
public:
    Parser(QStringView text, Reading& out) : m_text(text), m_out(out) { split(); }

    void run() {
        qsizetype i = 0;
        while (i < n()) {
            if (isBlank(m_lines[i])) {
                ++i;
            } else if (startsBlock(i)) {
                i = readBlock(i, true);
            } else if (isHeaderAt(i)) {
                i = readHeader(i, true);
            } else if (isAssignmentLine(m_lines[i]) && (i + 1 >= n() || opensAssignment(m_lines[i + 1], m_lines[i]))) {
                problem(i, QStringLiteral("a header without its first line"));
                i = readHeader(i, false);
            } else if (isTimeLine(m_lines[i])) {
                problem(i, QStringLiteral("a block without its record separator"));
                i = readBlock(i, false);
            } else {
                i = readStray(i);
            }
        }
        if (m_unterminated && !m_lines.empty() && !isBlank(m_lines.back())) {
            problem(n() - 1, QStringLiteral("the last line has no line end: the file may be cut short"));
        }
    }

private:
    qsizetype n() const { return static_cast<qsizetype>(m_lines.size()); }

    // Lines end in CR LF. When bare LF ends are the greater number, an editor has saved the file: it is split at
    // every LF then, and a CR before it is dropped.
    void split() {
        const char16_t* data = m_text.utf16();
        const qsizetype size = m_text.size();
        qsizetype crlf = 0;
        qsizetype lf = 0;
        for (qsizetype i = 0; i < size; ++i) {
            if (data[i] == u'\n') {
                (i > 0 && data[i - 1] == u'\r' ? crlf : lf) += 1;
            }
        }
        m_lfEnds = lf > crlf;
        m_lines.reserve(static_cast<std::size_t>(crlf + (m_lfEnds ? lf : 0) + 1));
        qsizetype start = 0;
        for (qsizetype i = 0; i < size; ++i) {
            if (data[i] != u'\n') {
                continue;
            }
            const bool cr = i > 0 && data[i - 1] == u'\r';
            if (cr) {
                m_lines.push_back(m_text.mid(start, i - 1 - start));
            } else if (m_lfEnds) {
                m_lines.push_back(m_text.mid(start, i - start));
            } else {
                continue;
            }
            start = i + 1;
        }
        if (start < size) {
            m_lines.push_back(m_text.mid(start));
            m_unterminated = true;
        }
        if (m_lfEnds) {
            problem(0, QStringLiteral("lines end in LF, not CR LF: the file was saved by another editor; read all "
                                      "the same"));
        }
    }

    void problem(qsizetype index, const QString& message, const QString& text = QString()) {
        m_out.problems.push_back({index + 1, message, text});
    }

    // Lines [from, to) as one text with CR LF between them, as the writer wrote it.
    QString join(qsizetype from, qsizetype to) const {
        if (from >= to) {
            return QString();
        }
        if (!m_lfEnds) {
            // the lines lie in the text one after another, each followed by CR LF
            const char16_t* begin = m_lines[from].utf16();
            const char16_t* end = m_lines[to - 1].utf16() + m_lines[to - 1].size();
            return QStringView(begin, end).toString();
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

    bool startsBlock(qsizetype i) const {
        return i + 1 < n() && isRecordSeparator(m_lines[i]) && isTimeLine(m_lines[i + 1]);
    }

    // A filler line, then the assignment line, then the heading that number opens (or the end of the file).
    bool isHeaderAt(qsizetype i) const {
        if (i + 1 >= n() || !isAssignmentLine(m_lines[i + 1]) || isBlank(m_lines[i])) {
            return false;
        }
        return i + 2 >= n() || opensAssignment(m_lines[i + 2], m_lines[i + 1]);
    }

    // The first line at or after i where the next block or header starts.
    qsizetype nextStart(qsizetype i) const {
        while (i < n() && !startsBlock(i) && !isHeaderAt(i)) {
            ++i;
        }
        return i;
    }

    // After a closing separator: the end of the file, or the next block or header, past any blank lines.
    bool boundaryAt(qsizetype i) const {
        while (i < n() && isBlank(m_lines[i])) {
            ++i;
        }
        return i >= n() || startsBlock(i) || isHeaderAt(i) || isTimeLine(m_lines[i]) ||
               (isAssignmentLine(m_lines[i]) && (i + 1 >= n() || opensAssignment(m_lines[i + 1], m_lines[i])));
    }

    qsizetype readStray(qsizetype i) {
        qsizetype j = i + 1;
        while (j < n() && !startsBlock(j) && !isHeaderAt(j) && !isTimeLine(m_lines[j]) &&
               !isAssignmentLine(m_lines[j])) {
            ++j;
        }
        qsizetype last = j;
        while (last > i && isBlank(m_lines[last - 1])) {
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
        b.firstLine = i + 1;
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
            if (isDateLine(m_lines[d])) {
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
        b.lastLine = std::max(end, i + 1);
        m_out.blocks.push_back(std::move(b));
        return std::max(end, i + 1);
    }

    qsizetype readBlock(qsizetype i, bool withSeparator) {
        Block b;
        b.firstLine = i + 1;
        qsizetype k = withSeparator ? i + 1 : i;
        b.time = m_lines[k].trimmed().toString();
        ++k;
        const qsizetype limit = nextStart(k);
        bool noteDate = false;
        if (k < limit && isDateTimeLine(m_lines[k])) {
            b.noteDateTime = m_lines[k].trimmed().toString();
            noteDate = true;
            ++k;
        } else if (k + 2 < limit && isBlank(m_lines[k]) && isBlank(m_lines[k + 1]) &&
                   isQuestionNumberLine(m_lines[k + 2])) {
            b.questionNumber = numbertext::readNumber(m_lines[k + 2].mid(recordblocks::questionNumberLabel.size()));
            k += 3;
        } else if (k < limit && isQuestionNumberLine(m_lines[k])) {
            b.questionNumber = numbertext::readNumber(m_lines[k].mid(recordblocks::questionNumberLabel.size()));
            ++k;
        }

        // the entry ends at the record separator right before the label
        qsizetype labelAt = -1;
        for (qsizetype e = k; e + 1 < limit; ++e) {
            if (isRecordSeparator(m_lines[e]) && (isResponseLabel(m_lines[e + 1]) || isNotesLabel(m_lines[e + 1]))) {
                labelAt = e + 1;
                b.entry = join(k, e);
                break;
            }
        }
        if (labelAt < 0) {
            for (qsizetype e = k; e < limit; ++e) {
                if (isResponseLabel(m_lines[e]) || isNotesLabel(m_lines[e])) {
                    labelAt = e;
                    b.entry = join(k, e);
                    b.complete = false;
                    problem(e, QStringLiteral("the record separator before the label is missing"));
                    break;
                }
            }
        }
        if (labelAt < 0) {
            qsizetype last = limit;
            while (last > k && isBlank(m_lines[last - 1])) {
                --last;
            }
            b.kind = noteDate ? BlockKind::Note : BlockKind::Response;
            b.entry = join(k, last);
            b.complete = false;
            b.lastLine = std::max(last, k);
            problem(i, QStringLiteral("a block cut short: it has no RESPONSE or NOTES label"), b.entry);
            m_out.blocks.push_back(std::move(b));
            return limit;
        }

        const bool note = isNotesLabel(m_lines[labelAt]);
        b.kind = note ? BlockKind::Note : BlockKind::Response;
        const qsizetype textStart = note ? labelAt : labelAt + 1;
        const qsizetype firstClosing = note ? labelAt + 1 : labelAt + 2; // a response has at least one line
        const qsizetype textLimit = nextStart(textStart);

        qsizetype closingAt = -1;
        qsizetype lastClosing = -1;
        for (qsizetype c = firstClosing; c < textLimit; ++c) {
            if (!isClosingSeparator(m_lines[c])) {
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
        if (closingAt < 0 && !note && textStart < textLimit && isClosingSeparator(m_lines[textStart])) {
            closingAt = textStart; // the response's one line is gone
        }
        qsizetype textEnd = closingAt;
        qsizetype next = closingAt + 1;
        if (closingAt < 0) {
            textEnd = textLimit;
            while (textEnd > textStart + 1 && isBlank(m_lines[textEnd - 1])) {
                --textEnd;
            }
            next = textLimit;
            b.complete = false;
            problem(i, textLimit < n()
                           ? QStringLiteral("a block without its closing separator: it runs to line %1").arg(textLimit)
                           : QStringLiteral("a block without its closing separator: the file ends in it"));
        }

        if (!note && textEnd - textStart >= 2) {
            const QStringView last = m_lines[textEnd - 1];
            b.rating = ratingOf(last);
            if (b.rating == Rating::Confidence) {
                b.ratingText = afterLabel(last, recordblocks::confidenceLabel, confidenceLabelText).toString();
            } else if (b.rating == Rating::SelfCritique) {
                b.ratingText = afterLabel(last, recordblocks::selfCritiqueLabel, selfCritiqueLabelText).toString();
            }
            if (b.rating != Rating::None) {
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
        b.lastLine = next;
        m_out.blocks.push_back(std::move(b));
        return next;
    }

    QStringView m_text;
    Reading& m_out;
    std::vector<QStringView> m_lines;
    bool m_lfEnds = false;
    bool m_unterminated = false;
};

bool hasHighBytes(const QByteArray& bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return false;
}

} // namespace

Reading read(QStringView text) {
    Reading reading;
    Parser(text, reading).run();
    return reading;
}

Reading readBytes(const QByteArray& bytes) {
    QString text;
    QString encoding;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromUtf8(bytes.mid(3));
        encoding = QStringLiteral("UTF-8");
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        auto decoder = QStringDecoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        text = decoder.decode(bytes.mid(2));
        encoding = QStringLiteral("UTF-16");
    } else if (hasHighBytes(bytes)) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString asUtf8 = utf8.decode(bytes);
        if (!utf8.hasError()) {
            text = std::move(asUtf8);
            encoding = QStringLiteral("UTF-8");
        } else {
            text = codepage::decode(bytes);
        }
    } else {
        text = codepage::decode(bytes);
    }
    Reading reading = read(text);
    if (!encoding.isEmpty()) {
        reading.problems.insert(reading.problems.begin(),
                                Problem{1,
                                        QStringLiteral("the file is in %1, not Windows-1252: another editor saved it; "
                                                       "read as %1")
                                            .arg(encoding),
                                        QString()});
    }
    return reading;
}

} // namespace recordreader
