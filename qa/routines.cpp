#include "app/form1.h"

#include "app/platform.h"
#include "problems/markup.h"
#include "problems/questionsteps.h"
#include "ui_Form1.h"

void Form1::runRoutine(const QString& routine) {
    if (questionsteps::routineReturns(routine)) {
        return;
    }
    // "exitprog", and every name the program does not know, ends the run.
    Platform::endProgram();
}

void Form1::cmd_next_picture_Click() {
    for (int i = 1; i <= 2; ++i) {
        const int n = m_run.lineIndex + i;
        if (n > lastLineIndex) {
            return;
        }
        const QString& line = m_run.problemLines[n];
        if (markup::beginsWithRoutineMarker(line)) {
            runRoutine(markup::routineName(line));
            m_run.lineIndex += i;
        }
    }
}

void Form1::cmd_copy_picture_Click() {
    // Nothing assigns a picture to Picture1 in an ordinary run; then there is nothing to copy.
    if (ui->Picture1->picture().isNull()) {
        return;
    }
    m_platform.setClipboardImage(ui->Picture1->picture());
    ui->Picture2->setPicture(m_platform.clipboardImage());
}

void Form1::cmd_pend_exp_Click() {
    if (!m_tmr_pend_exp.isActive()) {
        m_tmr_pend_exp.start();
    }
}

void Form1::tmr_pend_exp_Timer() {
    m_platform.beep();
    const float radius = rnd() * 500.0f;
    ui->Picture1->drawCircle(500, 500, radius);
}

void Form1::cmd_clear_answer_box_Click() {
    keepAnswerText(QStringLiteral("emptied by clear box"));
    setAnswerText(QString());
}

void Form1::cmd_quit_Click() {
    m_quitPressed = true;
    Platform::endProgram();
}
