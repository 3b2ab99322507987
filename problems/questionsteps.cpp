#include "problems/questionsteps.h"

#include "problems/markup.h"
#include "records/numbertext.h"

namespace questionsteps {

End readNext(const ProblemLines& lines, QStringView nextAssignmentNbr, const Fields& f) {
    f.promptPending = false;
    QString current;
    while (current.isEmpty()) {
        // Past the last line of the store there is nothing left to show: the assignment is over.
        if (f.lineIndex >= lastLineIndex) {
            return End::PastStore;
        }
        f.lineIndex += 1;
        current = lines[f.lineIndex];
        if (markup::beginsWithQuestionMarker(current)) {
            f.blockKind = QStringLiteral("question");
        } else if (markup::beginsWithAnswerMarker(current)) {
            current.remove(0, 2);
            f.blockKind = QStringLiteral("answer");
        }
        if (!current.isEmpty()) {
            f.currentEntry = current;
            if (markup::beginsWithQuestionMarkerAnyCase(current)) {
                f.questionNbr = numbertext::numberText(numbertext::readNumber(QStringView(current).mid(2, 3)));
            }
        }
    }

    if (!markup::beginsWithRoutineMarker(current)) {
        f.promptPending = true;
    }
    f.displayText = current;
    if (markup::isHeadingOf(current, nextAssignmentNbr)) {
        return End::NextHeading;
    }
    if (markup::beginsWithEndOfTextMarker(current)) {
        return End::EndOfText;
    }
    return End::None;
}

bool routineReturns(const QString& routine) {
    const QString name = routine.toLower();
    return name == u"graph1" || name == u"graph2" || name == u"graph3";
}

Press press(const ProblemLines& lines, QStringView nextAssignmentNbr, const Fields& f, const PressHooks& hooks) {
    Press result;
    hooks.beforeRead();
    result.end = readNext(lines, nextAssignmentNbr, f);
    if (result.end != End::None) {
        return result;
    }
    if (f.displayText.size() > 8 && markup::beginsWithRoutineMarker(f.displayText)) {
        result.routine = markup::routineName(f.displayText);
        if (!hooks.runRoutine(result.routine)) {
            result.end = End::Routine;
            return result;
        }
        f.displayText.clear();
        hooks.beforeRead();
        result.end = readNext(lines, nextAssignmentNbr, f);
        if (result.end != End::None) {
            return result;
        }
    }
    result.shown = markup::expandLineBreaks(f.displayText);
    f.displayText.clear();
    return result;
}

} // namespace questionsteps
