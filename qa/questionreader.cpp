#include "app/form1.h"

#include "app/platform.h"
#include "problems/questionsteps.h"

questionsteps::Fields Form1::readerFields() {
    return {m_run.lineIndex, m_run.promptPending, m_run.currentEntry,
            m_run.blockKind, m_run.questionNbr,   m_run.displayText};
}

void Form1::promptBeforeRead() {
    if (m_run.promptPending) {
        keepAnswerText(QStringLiteral("replaced by the response prompt"));
        setAnswerText(m_run.responsePrompt);
    }
}

void Form1::readNextQuestion() {
    promptBeforeRead();
    if (questionsteps::readNext(m_run.problemLines, m_run.nextAssignmentNbr, readerFields()) !=
        questionsteps::End::None) {
        Platform::endProgram();
    }
}

void Form1::cmdNextQuestion_Click() {
    const questionsteps::Press press = questionsteps::press(m_run.problemLines, m_run.nextAssignmentNbr, readerFields(),
                                                            {[this] { promptBeforeRead(); },
                                                             [this](const QString& routine) {
                                                                 runRoutine(routine);
                                                                 return true;
                                                             }});
    if (press.end != questionsteps::End::None) {
        Platform::endProgram();
    }
    m_run.questionBoxText = questionText() + press.shown;
    setQuestionText(m_run.questionBoxText);
}
