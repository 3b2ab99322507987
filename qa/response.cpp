#include "app/form1.h"

#include "app/platform.h"
#include "records/codepage.h"
#include "records/numbertext.h"
#include "records/recordblocks.h"
#include "records/recordpaths.h"
#include "records/recordwriter.h"

namespace {
const QString confidencePrompt = QStringLiteral(
    "Assess your level of confidence in your answer on a scale from 0 to 3, where 0 means you have no confidence in "
    "your answer, 1 means you have some confidence, 2 means you are pretty confident and 3 means you are certain of "
    "your answer:");
const QString selfCritiquePrompt = QStringLiteral(
    "Rate the quality of your self-critique on a 0-3 scale, where 0 indicates that self-critique was necessary on "
    "this question but was not given, 1 indicates that self-critique was necessary but the given self-critique was "
    "not adequate, 2 indicates that self-critique was necessary and was mostly adequate, and 3 indicates that either "
    "self-critique was not necessary or that after reading the solution everything was completely obvious so you "
    "skipped the self-critique.");
} // namespace

bool Form1::promptUntouched() {
    if (answerText() != m_run.responsePrompt) {
        return false;
    }
    setQuestionText(QString());
    setAnswerText(QString());
    return true;
}

void Form1::cmd_enter_response_Click() {
    if (promptUntouched()) {
        return;
    }
    const bool promptWasPending = m_run.promptPending;
    m_run.promptPending = false;

    // Each file gets its own reading of the clock, taken when the press begins. The block is written whole after
    // the rating, so a run closed or killed while the rating box is open leaves no half block behind.
    const QString masterTime = m_platform.timeText();
    const QString sendTime = m_platform.timeText();
    m_run.questionBoxText = answerText();
    const double questionNumber =
        numbertext::readNumber(m_run.assignmentNbr) * 10000.0 + numbertext::readNumber(m_run.questionNbr);

    // the response is not recorded until the rating is given: the draft holds it meanwhile
    saveDraft();
    std::optional<QString> ratingLine;
    if (m_run.blockKind == u"question") {
        ratingLine = recordblocks::confidenceLabel + m_platform.inputBox(confidencePrompt);
    } else if (m_run.blockKind == u"answer") {
        ratingLine = recordblocks::selfCritiqueLabel + askSelfCritique();
    }

    const auto block = [&](bool master, const QString& time) {
        return codepage::encode(recordblocks::joinLines(recordblocks::responseBlock(
            master, time, questionNumber, m_run.currentEntry, m_run.questionBoxText, ratingLine, m_run.codeNbr)));
    };
    if (!appendBlocks({{recordpaths::nativePath(m_run.masterFilePath), block(true, masterTime)},
                       {recordpaths::nativePath(m_run.sendFilePath), block(false, sendTime)}},
                      true, m_run.questionBoxText)) {
        m_run.promptPending = promptWasPending;
        return;
    }
    m_recordedText = m_run.questionBoxText;
    keptTextEntered(m_run.questionBoxText);
    setQuestionText(QString());
    emptyRecordedAnswer(m_run.questionBoxText);
}

QString Form1::askSelfCritique() {
    m_run.critiqueRating = m_platform.inputBox(selfCritiquePrompt);
    return m_run.critiqueRating;
}
