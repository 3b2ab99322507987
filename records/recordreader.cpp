#include "records/recordreader.h"

#include "records/codepage.h"
#include "records/numbertext.h"
#include "records/recordblocks.h"

#include <QStringDecoder>

#include <bit>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
//    "assignment #" line followed by the heading its number opens: a student would have to type both lines exactly
//    for this to split their text, and then the rest is still read, as a block cut short.
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

// Whether the text at position at has the form of the pattern, in which each 9 stands for a digit and every other
// character for itself.
bool hasFormAt(QStringView v, qsizetype at, std::u16string_view pattern) {
    const auto length = static_cast<qsizetype>(pattern.size());
    if (v.size() < at + length) {
        return false;
    }
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = v[at + i];
        if (pattern[i] == u'9' ? !isDigit(c) : c != pattern[i]) {
            return false;
        }
    }
    return true;
}

// "hh:mm:ss" at position at.
bool isTimeAt(QStringView v, qsizetype at) {
    return hasFormAt(v, at, u"99:99:99");
}

// "mm-dd-yyyy" at position at.
bool isDateAt(QStringView v, qsizetype at) {
    return hasFormAt(v, at, u"99-99-9999");
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
    if (v.isEmpty() || (v[0] != u' ' && v[0] != u'\t')) {
        return false;
    }
    const QStringView t = trimmedRight(v);
    const qsizetype indent = indentOf(t);
    return indent > 0 && t.size() == indent + 8 && isTimeAt(t, indent);
}

// The time indent, a date and a time with nothing between them.
bool isDateTimeLine(QStringView v) {
    if (v.isEmpty() || (v[0] != u' ' && v[0] != u'\t')) {
        return false;
    }
    const QStringView t = trimmedRight(v);
    const qsizetype indent = indentOf(t);
    return indent > 0 && t.size() == indent + 18 && isDateAt(t, indent) && isTimeAt(t, indent + 10);
}

bool isDateLine(QStringView v) {
    const QStringView t = trimmedRight(v);
    return t.size() == 10 && isDateAt(t, 0);
}

bool isRecordSeparator(QStringView v) {
    return v.size() >= 49 && v[0] == u'.' && v[6] == u'!' && trimmedRight(v) == recordSeparator;
}

bool isClosingSeparator(QStringView v) {
    return v.size() >= 49 && v[0] == u'.' && v[6] == u'.' && trimmedRight(v) == closingSeparator;
}

bool isResponseLabel(QStringView v) {
    return !v.isEmpty() && v[0] == u'R' && trimmedRight(v) == responseLabelText;
}

bool isNotesLabel(QStringView v) {
    return !v.isEmpty() && v[0] == u'N' && v.startsWith(notesLabelText);
}

bool isQuestionNumberLine(QStringView v) {
    return !v.isEmpty() && v[0] == u'`' && v.startsWith(recordblocks::questionNumberLabel);
}

// The text after a label: after the label with its blanks, or after the label an editor stripped of them.
QStringView afterLabel(QStringView line, const QString& label, const QString& labelText) {
    if (line.startsWith(label)) {
        return line.mid(label.size());
    }
    return line.mid(labelText.size());
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
    if (v.isEmpty() || v[0] != u'a' || !v.startsWith(recordblocks::assignmentLabel)) {
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

// What a line is, decided once for every line of a file.
enum class Line : unsigned char {
    Other,
    Blank,
    RecordSeparator,
    ClosingSeparator,
    Time,
    DateTime,
    ResponseLabel,
    NotesLabel,
    QuestionNumber,
    Assignment,
    Date,
};

Line kindOf(QStringView v) {
    if (isBlank(v)) {
        return Line::Blank;
    }
    switch (v[0].unicode()) {
    case u'.':
        return isRecordSeparator(v)    ? Line::RecordSeparator
               : isClosingSeparator(v) ? Line::ClosingSeparator
                                       : Line::Other;
    case u' ':
    case u'\t':
        return isTimeLine(v) ? Line::Time : isDateTimeLine(v) ? Line::DateTime : Line::Other;
    case u'R':
        return isResponseLabel(v) ? Line::ResponseLabel : Line::Other;
    case u'N':
        return isNotesLabel(v) ? Line::NotesLabel : Line::Other;
    case u'`':
        return isQuestionNumberLine(v) ? Line::QuestionNumber : Line::Other;
    case u'a':
        return isAssignmentLine(v) ? Line::Assignment : Line::Other;
    default:
        return v[0].isDigit() && isDateLine(v) ? Line::Date : Line::Other;
    }
}

// The position of every LF in the text, found sixteen characters at a time where the processor can.
std::vector<qsizetype> lineFeeds(QStringView text) {
    std::vector<qsizetype> at;
    at.reserve(static_cast<std::size_t>(text.size() / 32));
    const char16_t* data = text.utf16();
    const qsizetype size = text.size();
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= size; i += 16) {
        // narrowed to bytes with saturation, which makes no other character an LF
        const __m128i sixteen = _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i)),
                                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 8)));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, lf)));
        while (bits != 0) {
            at.push_back(i + std::countr_zero(bits));
            bits &= bits - 1;
        }
    }
#endif
    for (; i < size; ++i) {
        if (data[i] == u'\n') {
            at.push_back(i);
        }
    }
    return at;
}

class Parser {
public:
    Parser(QStringView text, Reading& out, SharedTexts* shared) : m_text(text), m_out(out), m_shared(shared) {
        split();
    }

    void run() {
        qsizetype i = 0;
        while (i < n()) {
            if (is(i, Line::Blank)) {
                ++i;
            } else if (startsBlock(i)) {
                i = readBlock(i, true);
            } else if (isHeaderAt(i)) {
                i = readHeader(i, true);
            } else if (is(i, Line::Assignment) && (i + 1 >= n() || opensAssignment(m_lines[i + 1], m_lines[i]))) {
                problem(i, QStringLiteral("a header without its first line"));
                i = readHeader(i, false);
            } else if (is(i, Line::Time)) {
                problem(i, QStringLiteral("a block without its record separator"));
                i = readBlock(i, false);
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

    // Lines end in CR LF. When bare LF ends are the greater number, an editor has saved the file: it is split at
    // every LF then, and a CR before it is dropped.
    void split() {
        const std::vector<qsizetype> ends = lineFeeds(m_text); // the position of every LF
        qsizetype crlf = 0;
        for (const qsizetype i : ends) {
            crlf += i > 0 && m_text[i - 1] == u'\r' ? 1 : 0;
        }
        const qsizetype lf = static_cast<qsizetype>(ends.size()) - crlf;
        m_lfEnds = lf > crlf;
        m_lines.reserve(ends.size() + 1);
        qsizetype start = 0;
        for (const qsizetype end : ends) {
            const bool cr = end > 0 && m_text[end - 1] == u'\r';
            if (!cr && !m_lfEnds) {
                continue; // a bare LF inside a line of a CR LF file
            }
            m_lines.push_back(m_text.mid(start, end - (cr ? 1 : 0) - start));
            start = end + 1;
        }
        if (start < m_text.size()) {
            m_lines.push_back(m_text.mid(start));
            m_unterminated = true;
        }
        m_kinds.reserve(m_lines.size());
        std::size_t opening = 0; // lines that may open a block or a header
        for (const QStringView line : m_lines) {
            m_kinds.push_back(kindOf(line));
            opening += m_kinds.back() == Line::Time || m_kinds.back() == Line::Assignment ? 1 : 0;
        }
        m_out.blocks.reserve(opening);
        if (m_lfEnds) {
            problem(0, QStringLiteral("lines end in LF, not CR LF: the file was saved by another editor; read all "
                                      "the same"));
        }
    }

    void problem(qsizetype index, const QString& message, const QString& text = QString()) {
        m_out.problems.push_back({index + 1, message, text});
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
        if (!m_lfEnds) {
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
        return m_lfEnds ? m_shared->get(join(from, to)) : m_shared->get(span(from, to));
    }

    bool startsBlock(qsizetype i) const { return i + 1 < n() && is(i, Line::RecordSeparator) && is(i + 1, Line::Time); }

    // A filler line, then the assignment line, then the heading that number opens (or the end of the file).
    bool isHeaderAt(qsizetype i) const {
        if (i + 1 >= n() || !is(i + 1, Line::Assignment) || is(i, Line::Blank)) {
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
        while (i < n() && is(i, Line::Blank)) {
            ++i;
        }
        return i >= n() || startsBlock(i) || isHeaderAt(i) || is(i, Line::Time) ||
               (is(i, Line::Assignment) && (i + 1 >= n() || opensAssignment(m_lines[i + 1], m_lines[i])));
    }

    qsizetype readStray(qsizetype i) {
        qsizetype j = i + 1;
        while (j < n() && !startsBlock(j) && !isHeaderAt(j) && !is(j, Line::Time) && !is(j, Line::Assignment)) {
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
        b.time = m_lines[k].sliced(indentOf(m_lines[k]), 8).toString();
        ++k;
        const qsizetype limit = nextStart(k);
        bool noteDate = false;
        if (k < limit && is(k, Line::DateTime)) {
            b.noteDateTime = m_lines[k].sliced(indentOf(m_lines[k]), 18).toString();
            noteDate = true;
            ++k;
        } else if (k + 2 < limit && is(k, Line::Blank) && is(k + 1, Line::Blank) && is(k + 2, Line::QuestionNumber)) {
            b.questionNumber = numbertext::readNumber(m_lines[k + 2].mid(recordblocks::questionNumberLabel.size()));
            k += 3;
        } else if (k < limit && is(k, Line::QuestionNumber)) {
            b.questionNumber = numbertext::readNumber(m_lines[k].mid(recordblocks::questionNumberLabel.size()));
            ++k;
        }

        // the entry ends at the record separator right before the label
        qsizetype labelAt = -1;
        for (qsizetype e = k; e + 1 < limit; ++e) {
            if (is(e, Line::RecordSeparator) && (is(e + 1, Line::ResponseLabel) || is(e + 1, Line::NotesLabel))) {
                labelAt = e + 1;
                b.entry = entry(k, e);
                break;
            }
        }
        if (labelAt < 0) {
            for (qsizetype e = k; e < limit; ++e) {
                if (is(e, Line::ResponseLabel) || is(e, Line::NotesLabel)) {
                    labelAt = e;
                    b.entry = entry(k, e);
                    b.complete = false;
                    problem(e, QStringLiteral("the record separator before the label is missing"));
                    break;
                }
            }
        }
        if (labelAt < 0) {
            qsizetype last = limit;
            while (last > k && is(last - 1, Line::Blank)) {
                --last;
            }
            b.kind = noteDate ? BlockKind::Note : BlockKind::Response;
            b.entry = entry(k, last);
            b.complete = false;
            b.lastLine = std::max(last, k);
            problem(i, QStringLiteral("a block cut short: it has no RESPONSE or NOTES label"), b.entry);
            m_out.blocks.push_back(std::move(b));
            return limit;
        }

        const bool note = is(labelAt, Line::NotesLabel);
        b.kind = note ? BlockKind::Note : BlockKind::Response;
        const qsizetype textStart = note ? labelAt : labelAt + 1;
        const qsizetype firstClosing = note ? labelAt + 1 : labelAt + 2; // a response has at least one line
        const qsizetype textLimit = nextStart(textStart);

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
            problem(i, textLimit < n()
                           ? QStringLiteral("a block without its closing separator: it runs to line %1").arg(textLimit)
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
    SharedTexts* m_shared;
    std::vector<QStringView> m_lines;
    std::vector<Line> m_kinds;
    bool m_lfEnds = false;
    bool m_unterminated = false;
};

// Whether the bytes are UTF-8 holding characters beyond ASCII; stops at the first byte that UTF-8 cannot hold,
// which in a record file is as a rule on its first line, the filler.
bool isUtf8BeyondAscii(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const std::size_t n = static_cast<std::size_t>(bytes.size());
    bool beyond = false;
    std::size_t i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            quint64 eight = 0;
            std::memcpy(&eight, p + i, 8);
            if ((eight & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t least = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2;
            least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            least = 0x10000;
        } else {
            return false;
        }
        if (i + length > n) {
            return false;
        }
        char32_t code = c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        beyond = true;
        i += length;
    }
    return beyond;
}

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

Reading read(QStringView text, SharedTexts* shared) {
    Reading reading;
    Parser(text, reading, shared).run();
    return reading;
}

Reading readBytes(const QByteArray& bytes, SharedTexts* shared) {
    QString text;
    QString encoding;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromUtf8(bytes.mid(3));
        encoding = QStringLiteral("UTF-8");
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        auto decoder = QStringDecoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        text = decoder.decode(bytes.mid(2));
        encoding = QStringLiteral("UTF-16");
    } else if (isUtf8BeyondAscii(bytes)) {
        text = QString::fromUtf8(bytes);
        encoding = QStringLiteral("UTF-8");
    } else {
        text = codepage::decode(bytes);
    }
    Reading reading = read(text, shared);
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
