#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The fixed texts and the line layouts of the blocks that the record files receive. A block is a list of lines; each
// line is written with CR LF after it, and a line that holds CR LF of its own spans several physical lines.
namespace recordblocks {

inline const QString recordSeparator = QStringLiteral("......!!!!!!!!...................................");
inline const QString closingSeparator = QString(49, u'.');
inline const QString timeIndent = QString(36, u' ');
inline const QString assignmentLabel = QStringLiteral("assignment #");
inline const QString questionNumberLabel = QStringLiteral("`questionNumber");
inline const QString responseLabel = QStringLiteral("RESPONSE -->  ");
inline const QString notesLabel = QStringLiteral("NOTES -------> ");
inline const QString confidenceLabel = QStringLiteral("confidence assessment:  ");
inline const QString selfCritiqueLabel = QStringLiteral("self critique assessment: ");

// The header block of a run: filler, assignment, heading, title, date.
QStringList headerBlock(const QString& filler, const QString& assignmentNbr, const QString& headingLine,
                        const QString& problemSetTitle, const QString& date, float codeNbr);

// The response block. The master file's copy carries two empty lines and the question-number line after the time;
// the send file's does not. The rating line stands only when a rating was asked.
QStringList responseBlock(bool forMasterFile, const QString& time, double questionNumber, const QString& entry,
                          const QString& response, const std::optional<QString>& ratingLine, float codeNbr);

// The note block; the note text already carries its label.
QStringList noteBlock(const QString& time, const QString& dateTime, const QString& entry, const QString& labelledNote,
                      float codeNbr);

// The lines of a block joined, each followed by CR LF.
QString joinLines(const QStringList& lines);

} // namespace recordblocks
