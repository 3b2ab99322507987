#pragma once

#include "problems/linestore.h"
#include "records/recordwriter.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class Platform;
class QLockFile;
class QPlainTextEdit;
class QStyle;
namespace Ui {
class Form1;
}
namespace questionsteps {
struct Fields;
} // namespace questionsteps
namespace keptstore {
class DraftWriter;
} // namespace keptstore
namespace textbox {
class UndoableText;
} // namespace textbox

// The state of one run, shared by every procedure of the window; nothing of it is saved.
struct RunState {
    QString displayText;
    bool promptPending = false;
    QString currentEntry;
    QString masterFilePath;
    QString sendFilePath;
    QString notesFilePath;
    QString assignmentNbr;
    QString nextAssignmentNbr;
    QString responsePrompt;
    QString questionNbr;
    QString questionBoxText;
    float codeNbr = 0;
    QString workFolder;
    int lineIndex = 0;
    ProblemLines problemLines;
    QString blockKind;
    QString critiqueRating;
    QString problemSetTitle;
};

// The one window of the program. Each group of procedures below is defined in its subsystem's folder.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(Platform& platform, QWidget* parent = nullptr);
    ~Form1() override;

    // Runs the load of the window under the handler guard; false when the run ended during it.
    bool load();
    bool runEnded() const { return m_runEnded; }
    const RunState& runState() const { return m_run; }
    Ui::Form1& controls() { return *ui; }
    QTimer& pendExpTimer() { return m_tmr_pend_exp; }
    // A document to carry instead of the program's own (tests use small ones).
    void setDocumentText(const QString& text) { m_documentText = text; }
    // How long a record file that another run holds is waited for (tests wait less).
    void setLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }
    // Ends the run as "quit program" does, for a session that ends: what the answer box holds is kept first.
    void endOnSessionEnd();
    // Warnings about the draft or the kept-text file waiting for the next press of Enter Response or Next.
    QStringList pendingWarnings() const;

    // Start-up and assignment opening (app/startup.cpp)
    void Form_Load();

    // Question reader (qa/questionreader.cpp)
    void readNextQuestion();
    void cmdNextQuestion_Click();

    // Response entry and ratings (qa/response.cpp)
    void cmd_enter_response_Click();

    // Routines, pictures and small commands (qa/routines.cpp)
    void runRoutine(const QString& routine);
    void cmd_next_picture_Click();
    void cmd_copy_picture_Click();
    void cmd_pend_exp_Click();
    void tmr_pend_exp_Timer();
    void cmd_clear_answer_box_Click();
    void cmd_quit_Click();

    // Notes and review commands (qa/notes.cpp)
    void cmd_save_as_notes_Click();
    void cmd_display_note_file_Click();
    void cmd_displayCumulativeText_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Start-up and assignment opening (app/startup.cpp)
    void startUp();
    void openAssignment();
    bool findAssignment(QString& headingLine);

    // Problem text, loaded into the line store (app/startup.cpp)
    void loadProblemText();

    // Question reader (qa/questionreader.cpp): the run's reader fields, and the prompt a pending read puts in place.
    questionsteps::Fields readerFields();
    void promptBeforeRead();

    // Response entry and ratings (qa/response.cpp)
    QString askSelfCritique();
    // An answer box that still holds the response prompt holds no response: both boxes are emptied, and true.
    bool promptUntouched();

    // Record files (qa/notes.cpp): appends blocks all or none; on failure tells the student and says false.
    // A block for more than one file is written down in the run's journal first, with the text it records.
    bool appendBlocks(const std::vector<recordwriter::Append>& appends, bool duringRun = true,
                      const QString& enteredText = QString());
    void showWriteFailure(const recordwriter::Failure& failure, bool duringRun);
    // Empties the answer box of the text just recorded, leaving what was typed while the files were waited for.
    void emptyRecordedAnswer(const QString& recorded);
    void showFileInQuestionBox(const QString& recordPath);

    // Kept unsent text (qa/unsent.cpp)
    // Moves the drafts of this name's earlier runs that did not end into the kept-text file; opens this run's draft.
    void openUnsentStore(const QString& fullName);
    // Appends the answer box to the kept-text file when it holds typed text that was not recorded. What the file does
    // not take is held in the draft until it does, and the student is told where it is.
    void keepAnswerText(const QString& reason);
    // A text kept in this run and then entered after all (brought back with Ctrl+Z) is marked as entered.
    void keptTextEntered(const QString& text);
    std::optional<recordwriter::Failure> appendKept(const QByteArray& bytes,
                                                    std::optional<std::chrono::milliseconds> lockWait = {});
    QByteArray draftOfAnswer(const QString& text);
    // Saves the answer box to the run's draft now, off the typing path.
    void saveDraft();
    void draftWritten(const std::optional<recordwriter::Failure>& failure);
    // At the end of the run: keeps what the box holds and removes the draft, or leaves the draft for the next start.
    // When neither could be written and the student may stay, the run goes on instead, and false.
    bool closeUnsentStore(const QString& reason, bool tellFailure = true, bool mayStayOpen = false);
    // Trouble with the draft or the kept-text file is told once for each kind of it, after the next press of Enter
    // Response or Next, never while the student types.
    void warnOnce(const QString& trouble, const QString& message);
    void showWarnings();
    // Tells the student, once the window shows, of texts kept since they were last told.
    void tellKeptText();

    // The two large boxes, read and replaced whole with CR LF between lines. Every change the program makes to the
    // answer box can be undone in the box.
    QString questionText() const;
    QString answerText() const;
    void setQuestionText(const QString& text);
    void setAnswerText(const QString& text);
    void wireKeys();

    // Every event handler runs inside this: the end of the run ends quietly, any other error is shown and ends it.
    template <typename Handler> void guard(Handler handler);
    void wireButtons();
    void endRun();
    float rnd();

    Platform& m_platform;
    std::unique_ptr<Ui::Form1> ui;
    QTimer m_tmr_pend_exp;
    QStyle* m_captionStyle = nullptr;
    RunState m_run;
    QString m_documentText;
    bool m_runEnded = false;
    std::chrono::milliseconds m_lockWait;

    textbox::UndoableText* m_answerHistory = nullptr;
    // What the student typed and did not enter: the kept-text file, and this run's draft of the answer box.
    QString m_unsentPath;
    QString m_recordedText; // the last response or note recorded, which is not kept again
    QStringList m_recoveryProblems;
    QString m_journalPath;         // the block being written, until the next block or the end of the run
    QStringList m_journalProblems; // blocks of stopped runs that could not be completed at this start
    std::unique_ptr<QLockFile> m_draftLock;
    std::unique_ptr<keptstore::DraftWriter> m_draftWriter;
    QTimer m_draftTimer;
    bool m_draftDue = false; // the box changed since the draft was last saved
    bool m_draftHoldsText = false;
    std::optional<recordwriter::Failure> m_draftFailure; // the last save's, while saves fail
    QByteArray m_unkept; // entries the kept-text file did not take yet; the draft holds them meanwhile
    struct KeptText {
        QByteArray digest; // of the text
        QString keptAt;    // date and time in its entry's head line
    };
    std::vector<KeptText> m_keptThisRun;
    struct Warning {
        QString trouble; // its kind: what failed, and the system's reason
        QString message;
    };
    std::vector<Warning> m_warnings;
    QSet<QString> m_troublesTold;
    bool m_quitPressed = false;
    bool m_stayedOpen = false; // the run went on once because what the box held could not be saved
    bool m_unsentClosed = false;
    bool m_toldAtStart = false;
    int m_handlerDepth = 0;
    bool m_waitingForFile = false; // a press waits for a record file that another program holds
};
