#include "app/form1.h"

#include "app/platform.h"
#include "problems/markup.h"
#include "records/numbertext.h"

void Form1::readNextQuestion() {
    if (m_run.promptPending) {
        keepAnswerText(QStringLiteral("replaced by the response prompt"));
        setAnswerText(m_run.responsePrompt);
    }
    m_run.promptPending = false;

    QString current;
    while (current.isEmpty()) {
        // Past the last line of the store there is nothing left to show: the assignment is over.
        if (m_run.lineIndex >= lastLineIndex) {
            Platform::endProgram();
        }
        m_run.lineIndex += 1;
        current = m_run.problemLines[m_run.lineIndex];
        if (markup::beginsWithQuestionMarker(current)) {
            m_run.blockKind = QStringLiteral("question");
        } else if (markup::beginsWithAnswerMarker(current)) {
            current.remove(0, 2);
            m_run.blockKind = QStringLiteral("answer");
        }
        if (!current.isEmpty()) {
            m_run.currentEntry = current;
            if (markup::beginsWithQuestionMarkerAnyCase(current)) {
                m_run.questionNbr = numbertext::numberText(numbertext::readNumber(QStringView(current).mid(2, 3)));
            }
        }
    }

    if (!markup::beginsWithRoutineMarker(current)) {
        m_run.promptPending = true;
    }
    m_run.displayText = current;
    if (markup::isHeadingOf(current, m_run.nextAssignmentNbr) || markup::beginsWithEndOfTextMarker(current)) {
        Platform::endProgram();
    }
}

void Form1::cmdNextQuestion_Click() {
    readNextQuestion();
    if (m_run.displayText.size() > 8 && markup::beginsWithRoutineMarker(m_run.displayText)) {
        runRoutine(markup::routineName(m_run.displayText));
        m_run.displayText.clear();
        readNextQuestion();
    }
    m_run.displayText = markup::expandLineBreaks(m_run.displayText);
    m_run.questionBoxText = questionText() + m_run.displayText;
    m_run.displayText.clear();
    setQuestionText(m_run.questionBoxText);
}
