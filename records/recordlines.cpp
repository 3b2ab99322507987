#include "records/recordlines.h"

#include "records/recordblocks.h"

#include <bit>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace recordlines {

using recordreader::Rating;

using recordblocks::closingSeparator;
using recordblocks::recordSeparator;

namespace {
const QString responseLabelText = recordblocks::responseLabel.trimmed();
} // namespace
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

bool isDamagedRecordSeparator(QStringView v) {
    const QStringView t = trimmedRight(v);
    if (t.size() < recordSeparator.size() - 8 || t.size() > recordSeparator.size() + 8 || t == recordSeparator) {
        return false;
    }
    qsizetype marks = 0;
    for (const QChar c : t) {
        if (c != u'.' && c != u'!') {
            return false;
        }
        marks += c == u'!' ? 1 : 0;
    }
    return marks >= 4;
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

namespace {

// The words of a label before its colon, in small letters and without the blanks, hyphens and underscores between
// them: what someone who retypes a label changes. Empty for a line without a colon where a label's would stand.
QString labelWords(QStringView line) {
    const qsizetype colon = line.left(40).indexOf(u':');
    QString words;
    for (const QChar c : line.first(std::max<qsizetype>(colon, 0))) {
        if (c != u' ' && c != u'\t' && c != u'-' && c != u'_') {
            words += c.toLower();
        }
    }
    return words;
}

const QString confidenceWords = labelWords(confidenceLabelText);
const QString selfCritiqueWords = labelWords(selfCritiqueLabelText);

} // namespace

QStringView retypedLabel(QStringView line) {
    return line.first(line.indexOf(u':') + 1);
}

// The text after a label: after the label with its blanks, or after the label an editor stripped of them, or after
// the colon of a label retyped otherwise.
QStringView afterLabel(QStringView line, const QString& label, const QString& labelText) {
    if (line.startsWith(label, Qt::CaseInsensitive)) {
        return line.mid(label.size());
    }
    if (line.startsWith(labelText, Qt::CaseInsensitive)) {
        return line.mid(labelText.size());
    }
    QStringView after = line.mid(retypedLabel(line).size());
    while (!after.isEmpty() && (after.front() == u' ' || after.front() == u'\t')) {
        after = after.mid(1);
    }
    return after;
}

// A rating label retyped in other letter case, or with its blanks and hyphens changed, is still the label; the
// reader says so.
Rating ratingOf(QStringView v) {
    if (v.startsWith(confidenceLabelText, Qt::CaseInsensitive)) {
        return Rating::Confidence;
    }
    if (v.startsWith(selfCritiqueLabelText, Qt::CaseInsensitive)) {
        return Rating::SelfCritique;
    }
    const QString words = labelWords(v);
    if (words == confidenceWords) {
        return Rating::Confidence;
    }
    if (words == selfCritiqueWords) {
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

namespace {

// The LFs of a text, and whether a CR stands anywhere without an LF after it.
struct LineFeeds {
    std::vector<qsizetype> at;
    bool loneCr = false;
};

// Finds the LFs of sixteen characters at a time, narrowed to bytes, where the processor can: load(i) gives the
// characters from i as bytes in which no other character is an LF or a CR. The last characters go one by one.
template <typename Char, typename Load> LineFeeds findLineFeeds(const Char* data, qsizetype size, Load load) {
    LineFeeds feeds;
    feeds.at.reserve(static_cast<std::size_t>(size / 32));
    const auto lone = [&](qsizetype k) { return data[k] == '\r' && (k + 1 == size || data[k + 1] != '\n'); };
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 16 <= size; i += 16) {
        const __m128i sixteen = load(i);
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, lf)));
        // a CR whose next character here is no LF: the last of the sixteen is looked at one by one
        unsigned crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, cr))) & ~(bits >> 1);
        while (crs != 0 && !feeds.loneCr) {
            feeds.loneCr = lone(i + std::countr_zero(crs));
            crs &= crs - 1;
        }
        while (bits != 0) {
            feeds.at.push_back(i + std::countr_zero(bits));
            bits &= bits - 1;
        }
    }
#else
    (void)load;
#endif
    for (; i < size; ++i) {
        if (data[i] == '\n') {
            feeds.at.push_back(i);
        }
        feeds.loneCr = feeds.loneCr || lone(i);
    }
    return feeds;
}

LineFeeds lineFeeds(QStringView text) {
    const char16_t* data = text.utf16();
    return findLineFeeds(data, text.size(), [data](qsizetype i) {
#if defined(__SSE2__)
        // narrowed with saturation, which makes no other character an LF or a CR
        return _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i)),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 8)));
#else
        return i;
#endif
    });
}

// In bytes of one character each, half the memory to look through; the code page has no other LF or CR.
LineFeeds lineFeeds(QByteArrayView bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    return findLineFeeds(data, bytes.size(), [data](qsizetype i) {
#if defined(__SSE2__)
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
#else
        return i;
#endif
    });
}

Lines splitAt(QStringView text, LineFeeds feeds) {
    Lines out;
    std::vector<qsizetype> ends = std::move(feeds.at); // the position of every LF
    const char16_t* data = text.utf16();
    const qsizetype size = text.size();
    qsizetype crlf = 0;
    for (const qsizetype i : ends) {
        crlf += i > 0 && data[i - 1] == u'\r' ? 1 : 0;
    }
    const qsizetype lf = static_cast<qsizetype>(ends.size()) - crlf;
    out.ends = lf > crlf ? Ends::Lf : Ends::CrLf;
    if (feeds.loneCr) {
        // CRs alone: a file saved for an old system, or a part of one that the drill then appended to. Every CR, LF
        // and CR LF ends a line; where CR alone is not the most, the lines that end in it are told. CR CR LF and LF
        // CR end one line each: a program that wrote CR LF through a stream that turns each LF into CR LF doubles the
        // CR, and a few old systems end lines in LF CR; read as two ends, every line would be followed by an empty one
        // LF CR where those pairs outnumber CR LF: then "\n\r\n\r" is two such ends, not LF, CR LF and CR
        qsizetype lfCrPairs = 0;
        for (qsizetype i = 0; i + 1 < size; ++i) {
            lfCrPairs += data[i] == u'\n' && data[i + 1] == u'\r' ? 1 : 0;
        }
        const bool lfCrFile = lfCrPairs > crlf;
        std::vector<qsizetype> all;
        qsizetype lone = 0;
        qsizetype lfCrs = 0;
        qsizetype lastEnd = -1;
        for (qsizetype i = 0; i < size; ++i) {
            if (data[i] == u'\n') {
                // a CR before it that no end took: CR LF, or CR CR LF
                const bool crBefore = i > 0 && data[i - 1] == u'\r' && i - 1 > lastEnd;
                const bool lfCr = !crBefore && i + 1 < size && data[i + 1] == u'\r' &&
                                  (lfCrFile || i + 2 == size || data[i + 2] != u'\n');
                all.push_back(lfCr ? ++i : i);
                lfCrs += lfCr ? 1 : 0;
                lastEnd = i;
            } else if (data[i] == u'\r' && (i + 1 == size || data[i + 1] != u'\n') &&
                       (i + 2 >= size || data[i + 1] != u'\r' || data[i + 2] != u'\n')) {
                all.push_back(i);
                ++lone;
                lastEnd = i;
            }
        }
        if (lone > static_cast<qsizetype>(ends.size())) {
            out.ends = Ends::Cr;
        } else if (lf - lfCrs <= crlf) {
            out.ends = Ends::CrLf; // the LF CR lines are told on their own
        }
        ends = std::move(all);
    }
    out.lines.reserve(ends.size() + 1);
    qsizetype start = 0;
    if (out.ends == Ends::CrLf && !feeds.loneCr && crlf == static_cast<qsizetype>(ends.size())) {
        // every line ends in CR LF, as the writer ends them: the common case, taken without asking each line
        for (const qsizetype end : ends) {
            out.lines.emplace_back(data + start, end - 1 - start);
            start = end + 1;
        }
    } else {
        for (const qsizetype end : ends) {
            const auto line = static_cast<qsizetype>(out.lines.size());
            // where the line's end starts: at its LF, at the one or two CRs before it, or at the LF before a CR
            qsizetype from = end;
            if (data[end] == u'\n') {
                while (from > start && end - from < 2 && data[from - 1] == u'\r') {
                    --from;
                }
            } else if (end > start && data[end - 1] == u'\n') {
                from = end - 1;
                out.lfCr.push_back(line);
            }
            const bool cr = data[end] == u'\n' && from < end;
            if (end - from == 2 && data[end] == u'\n') {
                out.doubledCr.push_back(line);
            } else if (!cr && data[end] == u'\r' && from == end && out.ends != Ends::Cr) {
                out.bareCr.push_back(line);
            } else if (!cr && data[end] == u'\n' && out.ends == Ends::CrLf) {
                out.bareLf.push_back(line);
            }
            out.lines.emplace_back(data + start, from - start);
            start = end + 1;
        }
    }
    if (start < size) {
        out.lines.push_back(text.mid(start));
        out.unterminated = true;
    }
    if (!out.doubledCr.empty() || !out.lfCr.empty()) {
        // an editor ends a line at every LF, CR LF and CR alone: the number of such ends before a line's start
        qsizetype number = 1;
        qsizetype at = 0;
        const auto upTo = [&](qsizetype to) {
            for (; at < to; ++at) {
                number += data[at] == u'\n' || (data[at] == u'\r' && (at + 1 == size || data[at + 1] != u'\n')) ? 1 : 0;
            }
            return number;
        };
        for (const QStringView line : out.lines) {
            out.editorLines.push_back(upTo(line.utf16() - data));
        }
        out.editorLines.push_back(upTo(size));
    }
    return out;
}

} // namespace

Lines splitLines(QStringView text) {
    return splitAt(text, lineFeeds(text));
}

Lines splitLines(QStringView text, QByteArrayView bytes) {
    return bytes.size() == text.size() ? splitAt(text, lineFeeds(bytes)) : splitLines(text);
}

} // namespace recordlines
