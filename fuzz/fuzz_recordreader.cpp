#include "fuzzcheck.h"
#include "records/codepage.h"
#include "records/recordblocks.h"
#include "records/recordlines.h"
#include "records/recordreader.h"
#include "report/classview.h"
#include "report/out/csvreport.h"
#include "report/pages/htmlreport.h"
#include "report/read/classrecords.h"

#include <QStringList>

#include <set>

// The record reader and the report on it. The first byte chooses how the rest is taken:
//
//   even   the bytes of a record file. Every block and problem lies within the file, the blocks follow each other,
//          and the report made of the file holds no tag but its own.
//   odd    entry, response and rating, separated by byte 1, written by the writer's blocks into a master and a send
//          file and read back: every field comes back as written. Texts that hold a line starting with a blank and a
//          digit (a time line), an assignment line or a label of the block's own layout (a rating's in any letter
//          case) are left out: those are the readings the layout leaves open, and the reader's comment says how it
//          takes them.

using fuzzcheck::require;

namespace {

// The most lines an editor could show: every LF ends one, and so does a CR alone in a file split at CR.
qsizetype lineCount(const QByteArray& bytes) {
    qsizetype lines = 1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        lines += bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) ? 1 : 0;
    }
    return lines;
}

void checkFile(const QByteArray& bytes) {
    const recordreader::Reading reading = recordreader::readBytes(bytes);
    const qsizetype lines = lineCount(bytes);
    qsizetype after = 0;
    for (const recordreader::Block& b : reading.blocks) {
        require(b.firstLine > after && b.firstLine <= b.lastLine && b.lastLine <= lines,
                "blocks lie within the file, one after another");
        after = b.lastLine;
    }
    for (const recordreader::Problem& p : reading.problems) {
        require(p.line >= 1 && p.line <= lines, "a problem names a line of the file");
    }

    static const report::Document document = report::Document::carried();
    report::ClassReader reader;
    reader.add(QStringLiteral("/class/send_0107Fuzz.txt"), bytes);
    const report::ClassRecords records = reader.finish();
    const report::ClassView view = report::buildView(records, document);
    const QString page = report::htmlReport(records, view);
    static const std::set<QString> ours = {"html", "head",  "meta",  "title", "style",  "body", "header", "h1",
                                           "h2",   "h3",    "h4",    "p",     "nav",    "a",    "main",   "section",
                                           "div",  "table", "thead", "tbody", "tr",     "th",   "td",     "br",
                                           "ol",   "ul",    "li",    "span",  "code",   "pre",  "figure", "figcaption",
                                           "svg",  "rect",  "line",  "text",  "circle", "g",    "bdi",    "h5"};
    for (qsizetype i = page.indexOf(u'<'); i >= 0; i = page.indexOf(u'<', i + 1)) {
        qsizetype j = i + 1;
        if (j < page.size() && (page[j] == u'/' || page[j] == u'!')) {
            ++j;
        }
        qsizetype end = j;
        while (end < page.size() && page[end].isLetterOrNumber() && page[end].unicode() < 128) {
            ++end;
        }
        const QString name = page.mid(j, end - j).toLower();
        require(ours.count(name) || name == u"doctype", "every tag in the page is the report's own");
    }
    static_cast<void>(report::csvReport(records, view));
}

QString crlf(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

bool leftOut(const QString& text) {
    // a rating label typed in other letter case, or with its blanks and hyphens changed, is read as the label, and
    // told as retyped
    const auto retyped = [](const QString& line) {
        const recordreader::Rating rating = recordlines::ratingOf(line);
        const QString& label = rating == recordreader::Rating::Confidence ? recordblocks::confidenceLabel
                                                                          : recordblocks::selfCritiqueLabel;
        return rating != recordreader::Rating::None && !line.startsWith(label.trimmed());
    };
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        const QString t = line.trimmed();
        const bool indentedDigit = !line.isEmpty() && line[0].isSpace() && !t.isEmpty() && t[0].isDigit();
        if (indentedDigit || line.startsWith(recordblocks::assignmentLabel) ||
            line.startsWith(recordblocks::questionNumberLabel) || t == recordblocks::responseLabel.trimmed() ||
            line.startsWith(recordblocks::notesLabel.trimmed()) || retyped(line)) {
            return true;
        }
    }
    return false;
}

void checkRoundTrip(const QByteArray& bytes) {
    const QStringList parts = QString::fromUtf8(bytes).split(QChar(1));
    const auto recorded = [](const QString& t) { return codepage::decode(codepage::encode(t)); };
    const QString entry = recorded(crlf(parts.value(0)));
    const QString text = recorded(crlf(parts.value(1)));
    QString rating = recorded(parts.value(2));
    rating.remove(u'\r').remove(u'\n');
    if (leftOut(entry) || leftOut(text)) {
        return;
    }
    for (const bool master : {true, false}) {
        QStringList lines =
            recordblocks::headerBlock("[v\u00ba", "005", "005.  Calculus", "brisendal", "01-07-2026", 19);
        lines << recordblocks::responseBlock(master, "09:30:05", 50003, entry, text,
                                             recordblocks::confidenceLabel + rating, 19);
        lines << recordblocks::responseBlock(master, "09:31:00", 50003, entry, text, std::nullopt, 19);
        lines << recordblocks::noteBlock("09:32:00", "01-07-202609:32:00", entry, recordblocks::notesLabel + text, 19);
        const recordreader::Reading reading = recordreader::readBytes(codepage::encode(recordblocks::joinLines(lines)));
        require(reading.problems.empty(), "the writer's blocks read back without a problem");
        require(reading.blocks.size() == 4, "the writer's blocks read back one for one");
        const recordreader::Block& confident = reading.blocks[1];
        require(confident.entry == entry && confident.text == text, "a response reads back as written");
        require(confident.rating == recordreader::Rating::Confidence && confident.ratingText == rating,
                "a rating reads back as typed");
        require(confident.questionNumber.has_value() == master, "the question number only in the master file");
        const recordreader::Block& plain = reading.blocks[2];
        // its last line may stand as the rating: then the text is the rest and that line, and nothing is lost
        const auto lastLineIsRating = [&] {
            const QString last = text.mid(plain.text.size() + 2);
            return text.startsWith(plain.text + QStringLiteral("\r\n")) && !last.contains(u'\n') &&
                   last.endsWith(plain.ratingText) &&
                   (last.startsWith(recordblocks::confidenceLabel.trimmed()) ||
                    last.startsWith(recordblocks::selfCritiqueLabel.trimmed()));
        };
        require(plain.rating == recordreader::Rating::None ? plain.text == text : lastLineIsRating(),
                "a response without a rating reads back whole");
        const recordreader::Block& note = reading.blocks[3];
        require(note.kind == recordreader::BlockKind::Note && note.entry == entry && note.text == text,
                "a note reads back as written");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    if (data[0] % 2 == 0) {
        checkFile(rest);
    } else {
        checkRoundTrip(rest);
    }
    return 0;
}
