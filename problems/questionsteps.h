#pragma once

#include "problems/linestore.h"

#include <QString>
#include <QStringView>

#include <functional>

// The question reader's steps, free of any window: what a press of "Next Question / Answer" reads from the store,
// what it shows and what it remembers. The drill and the course preview both step through a course with these.
namespace questionsteps {

// The reader's fields of the run's state, by reference: the window's own, or a preview's.
struct Fields {
    int& lineIndex;
    bool& promptPending;
    QString& currentEntry;
    QString& blockKind;
    QString& questionNbr;
    QString& displayText;
};

// Why a read or a press ends the run.
enum class End { None, NextHeading, EndOfText, PastStore, Routine };

// Reads the next non-empty line after lineIndex into displayText; the answer box's prompt is the caller's. A read
// that meets the following assignment's heading or the end-of-text marker ends the run with the line read; one that
// finds no line left in the store ends it before taking a line past the last index.
End readNext(const ProblemLines& lines, QStringView nextAssignmentNbr, const Fields& f);

// The routines the program has: these return, every other name ends the run.
bool routineReturns(const QString& routine);

// What a press does around the reads: before each read, what the window does with a pending prompt; a routine line
// read is run by runRoutine, which says whether the run goes on.
struct PressHooks {
    std::function<void()> beforeRead;
    std::function<bool(const QString& routine)> runRoutine;
};

struct Press {
    End end = End::None;
    QString shown;   // what the question box receives, its line breaks expanded
    QString routine; // the routine that the press ran, if any
};

// One press of "Next Question / Answer": a read; a routine line runs its routine and the line after it is read and
// shown whatever it is; then "{}" becomes a line break. displayText is empty again afterwards.
Press press(const ProblemLines& lines, QStringView nextAssignmentNbr, const Fields& f, const PressHooks& hooks);

} // namespace questionsteps
