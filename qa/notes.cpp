#include "app/form1.h"

#include "app/platform.h"
#include "app/textbox.h"
#include "records/blockjournal.h"
#include "records/codepage.h"
#include "records/keptstore.h"
#include "records/recordblocks.h"
#include "records/recordpaths.h"
#include "records/recordwriter.h"
#include "ui_Form1.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QScopeGuard>
#include <QTimer>

#include <functional>

namespace {
// How often a record file that another program holds is tried again while the window stays live.
constexpr int lockTryMs = 10;
} // namespace

bool Form1::appendBlocks(const std::vector<recordwriter::Append>& appends, bool duringRun, const QString& enteredText) {
    // Written down first, so that a run stopped between two of the files is completed at the next start. It stays
    // until the next block or the end of the run: until then the draft may still hold the text it records. Without
    // a journal (a folder that takes no new file) the block is written as ever.
    const bool journaled =
        appends.size() > 1 && !m_journalPath.isEmpty() &&
        !keptstore::replaceFile(m_journalPath,
                                blockjournal::journalBytes(blockjournal::journalFor(appends, enteredText)));
    // During the run the window stays live while a locked file is waited for, so that every key typed meanwhile
    // reaches the answer box; the window's commands wait until the press is over.
    std::function<void()> pause;
    if (duringRun) {
        pause = [] {
            QEventLoop loop;
            QTimer::singleShot(lockTryMs, &loop, &QEventLoop::quit);
            loop.exec();
        };
    }
    m_waitingForFile = duringRun;
    const auto waited = qScopeGuard([this] { m_waitingForFile = false; });
    const auto failure = recordwriter::appendAll(appends, m_lockWait, pause);
    if (failure) {
        if (journaled) {
            QFile::remove(m_journalPath); // nothing of the block is in any file
        }
        showWriteFailure(*failure, duringRun);
    }
    return !failure;
}

void Form1::emptyRecordedAnswer(const QString& recorded) {
    // what was typed after the recorded text while a locked file was waited for stays in the box
    const QString now = answerText();
    if (now == recorded) {
        setAnswerText(QString());
    } else if (now.startsWith(recorded)) {
        setAnswerText(now.mid(recorded.size()));
    }
}

void Form1::showWriteFailure(const recordwriter::Failure& failure, bool duringRun) {
    // Windows' own error texts end in a full stop already
    const QString reason = failure.reason.endsWith(u'.') ? failure.reason.chopped(1) : failure.reason;
    const QString what = QStringLiteral("The record file\n%1\ncould not be written: %2.")
                             .arg(QDir::toNativeSeparators(failure.path), reason);
    const QString next = duringRun ? QStringLiteral("Nothing was recorded; your text is still in the answer box.")
                                   : QStringLiteral("Nothing was written, and the program will end.");
    m_platform.messageBox(what + QStringLiteral("\n\n") + next);
}

void Form1::cmd_save_as_notes_Click() {
    if (promptUntouched()) {
        return;
    }
    const bool promptWasPending = m_run.promptPending;
    m_run.promptPending = false;
    const QString note = answerText();
    m_run.questionBoxText = recordblocks::notesLabel + note;

    // The clock is read for each file anew, in the order the lines would be written.
    QStringList times;
    for (int file = 0; file < 3; ++file) {
        times << m_platform.timeText();
    }
    QStringList dateTimes;
    for (int file = 0; file < 3; ++file) {
        const QString date = m_platform.dateText();
        dateTimes << date + m_platform.timeText();
    }
    const QString paths[] = {m_run.masterFilePath, m_run.sendFilePath, m_run.notesFilePath};
    std::vector<recordwriter::Append> appends;
    for (int file = 0; file < 3; ++file) {
        appends.push_back(
            {recordpaths::nativePath(paths[file]),
             codepage::encode(recordblocks::joinLines(recordblocks::noteBlock(
                 times[file], dateTimes[file], m_run.currentEntry, m_run.questionBoxText, m_run.codeNbr)))});
    }
    if (!appendBlocks(appends, true, note)) {
        m_run.promptPending = promptWasPending;
        return;
    }
    m_recordedText = note;
    keptTextEntered(note);
    setQuestionText(QString());
    emptyRecordedAnswer(note);
}

void Form1::showFileInQuestionBox(const QString& recordPath) {
    // A file that is not there (no note saved yet, a send file removed meanwhile) shows nothing more.
    const auto bytes = recordwriter::readAll(recordpaths::nativePath(recordPath));
    if (!bytes) {
        return;
    }
    // Each line of the file goes on a line of its own after the box's text; the box is extended once, at its end.
    const QString text = codepage::decode(*bytes);
    QString tail;
    tail.reserve(text.size() + text.size() / 16);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\r') {
            ++end;
        }
        tail += QStringLiteral("\r\n");
        tail += QStringView(text).mid(start, end - start);
        start = end + 1;
        if (start < text.size() && text[start] == u'\n') {
            ++start;
        }
    }
    textbox::append(*ui->txt_question, tail);
}

void Form1::cmd_display_note_file_Click() {
    showFileInQuestionBox(m_run.notesFilePath);
}

void Form1::cmd_displayCumulativeText_Click() {
    showFileInQuestionBox(m_run.sendFilePath);
}
