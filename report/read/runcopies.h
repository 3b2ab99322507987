#pragma once

#include "report/read/classrecords.h"

#include <QString>
#include <QStringView>

#include <vector>

// The copies of one run that several files hold: a master file and a send file, or a file saved again by another
// editor. What editors and transports change (line ends, trailing blanks, letters lost to "?" in an ASCII copy) does
// not make two blocks; anything else does, and is said.
namespace report {

// Two copies of one text: alike but for line ends, trailing blanks and letters one of them lost to "?".
bool sameText(QStringView a, QStringView b);
// Two copies of an entry line: as sameText, or once an editor's wrapping is set aside.
bool sameEntry(QStringView a, QStringView b);
// The two blocks are alike to the character.
bool sameContent(const Record& a, const Record& b);
// The two blocks are copies of one: alike but for line ends, trailing blanks and letters one of them lost to "?".
bool sameCopy(const Record& a, const Record& b);
// The writer reads the clock anew for each file, so the copies of one block may differ by a second or two.
bool closeInTime(const Record& a, const Record& b);
// The form by which copies of one text are found: lines without line ends and trailing blanks, "?" for every
// character beyond ASCII.
QString matchForm(QStringView text);
// Of two copies of one block, the one that lost fewer letters is kept; the other gives it its question number.
void keepBetter(Record& kept, Record& other);
// Two blocks written at one time after one entry that differ otherwise: copies of one block, one of them changed.
bool differentCopy(const Record& a, const Record& b);
// Each of the two is a problem that names the other's file and line.
void sayDiffer(const Record& a, const Record& b, ClassRecords& records);
// Puts the records of b that a does not hold into a, in their order. Two blocks written at one time after one entry
// that differ otherwise are both kept, and each is a problem in records that names the other.
void mergeInto(std::vector<Record>& a, std::vector<Record>& b, ClassRecords& records);
// A block that a later run of the student holds too: in one file that run's header was lost, and its blocks were read
// into the run above it there, of that run's day. The copy goes to the later run, where it is shown once, and is told
// in records.
void dropCopiesOfLaterRuns(Student& s, ClassRecords& records);

} // namespace report
