#include "records/recordblocks.h"

#include "records/linecoding.h"
#include "records/numbertext.h"

namespace recordblocks {

using linecoding::code;

QStringList headerBlock(const QString& filler, const QString& assignmentNbr, const QString& headingLine,
                        const QString& problemSetTitle, const QString& date, float codeNbr) {
    return {filler, code(assignmentLabel + assignmentNbr, codeNbr), code(headingLine, codeNbr), problemSetTitle, date};
}

QStringList responseBlock(bool forMasterFile, const QString& time, double questionNumber, const QString& entry,
                          const QString& response, const std::optional<QString>& ratingLine, float codeNbr) {
    QStringList lines{recordSeparator, timeIndent + time};
    if (forMasterFile) {
        lines << QStringLiteral("\r\n\r\n") + questionNumberLabel + numbertext::numberItem(questionNumber);
    }
    lines << code(entry, codeNbr) << recordSeparator << responseLabel << code(response, codeNbr);
    if (ratingLine) {
        lines << *ratingLine;
    }
    lines << closingSeparator;
    return lines;
}

QStringList noteBlock(const QString& time, const QString& dateTime, const QString& entry, const QString& labelledNote,
                      float codeNbr) {
    return {recordSeparator, timeIndent + time,           timeIndent + dateTime, code(entry, codeNbr),
            recordSeparator, code(labelledNote, codeNbr), closingSeparator};
}

QString joinLines(const QStringList& lines) {
    QString text;
    for (const QString& line : lines) {
        text += line;
        text += QStringLiteral("\r\n");
    }
    return text;
}

} // namespace recordblocks
