#pragma once

#include "problems/linestore.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class Platform;
class QPlainTextEdit;
class QStyle;
namespace Ui {
class Form1;
}
namespace recordwriter {
struct Append;
struct Failure;
} // namespace recordwriter

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

private:
    // Start-up and assignment opening (app/startup.cpp)
    void startUp();
    void openAssignment();
    bool findAssignment(QString& headingLine);

    // Problem text, loaded into the line store (app/startup.cpp)
    void loadProblemText();

    // Response entry and ratings (qa/response.cpp)
    QString askSelfCritique();
    // An answer box that still holds the response prompt holds no response: both boxes are emptied, and true.
    bool promptUntouched();

    // Record files (qa/notes.cpp): appends blocks all or none; on failure tells the student and says false.
    bool appendBlocks(const std::vector<recordwriter::Append>& appends, bool duringRun = true);
    void showWriteFailure(const recordwriter::Failure& failure, bool duringRun);
    void showFileInQuestionBox(const QString& recordPath);

    // The two large boxes, read and replaced whole with CR LF between lines.
    QString questionText() const;
    QString answerText() const;
    void setQuestionText(const QString& text);
    void setAnswerText(const QString& text);

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
};
