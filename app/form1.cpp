#include "app/form1.h"

#include "app/platform.h"
#include "app/textbox.h"
#include "app/wrappingstyle.h"
#include "records/keptstore.h"
#include "records/recordwriter.h"
#include "ui_Form1.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QLockFile>
#include <QPushButton>
#include <QShortcut>

#include <utility>

namespace {
// A plain widget is announced as a pane; this one is the program's main window, with its title as its name.
QAccessibleInterface* form1Accessible(const QString& className, QObject* object) {
    if (className == QLatin1String("Form1") && object->isWidgetType()) {
        // Qt's accessibility cache takes ownership of what a factory returns.
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    }
    return nullptr;
}

// The two large boxes: bold, 9.75 points, in the desktop's plain sans-serif face.
QFont largeBoxFont() {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Segoe UI"), QStringLiteral("Arial"),
                      QStringLiteral("Sans Serif")});
    font.setPointSizeF(9.75);
    font.setWeight(QFont::Bold);
    return font;
}

// Undo in the answer box reaches back over this many typed or pasted characters at least (8 MB of text).
constexpr qsizetype answerHistoryChars = qsizetype(1) << 22;
// A change to the answer box is on disk within two seconds: a save starts at most this long after it.
constexpr int draftDelayMs = 1000;
} // namespace

Form1::Form1(Platform& platform, QWidget* parent)
    : QWidget(parent), m_platform(platform), ui(new Ui::Form1), m_lockWait(recordwriter::defaultLockWait) {
    static const bool accessibleAsWindow = (QAccessible::installFactory(form1Accessible), true);
    Q_UNUSED(accessibleAsWindow);
    ui->setupUi(this);
    // The answer box starts with one blank; the form compiler drops a text that is only white space.
    ui->txt_answer->setPlainText(QStringLiteral(" "));
    // The small controls use the desktop's own face at 8 points, and long captions wrap within their controls.
    QFont small = QApplication::font();
    small.setPointSizeF(8);
    setFont(small);
    ui->txt_question->setFont(largeBoxFont());
    ui->txt_answer->setFont(largeBoxFont());
    m_captionStyle = new WrappingStyle(QApplication::style()->name());
    m_captionStyle->setParent(this);
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setStyle(m_captionStyle);
    }
    for (QLabel* label : findChildren<QLabel*>()) {
        label->setWordWrap(label->height() >= 2 * label->fontMetrics().lineSpacing());
    }
    m_tmr_pend_exp.setInterval(15);
    m_tmr_pend_exp.setTimerType(Qt::PreciseTimer);
    m_answerHistory = new textbox::UndoableText(*ui->txt_answer, answerHistoryChars);
    m_draftTimer.setSingleShot(true);
    m_draftTimer.setInterval(draftDelayMs);
    wireButtons();
    wireKeys();
    ui->txt_question->setFocus();
}

Form1::~Form1() {
    // a run that was never ended (a test, a session that ends) still keeps what the box holds, without a message
    closeUnsentStore(QStringLiteral("in the answer box when the program ended"), false);
}

template <typename Handler> void Form1::guard(Handler handler) {
    if (m_runEnded) {
        return;
    }
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(++d) {}
        ~Depth() { --depth; }
    } depth(m_handlerDepth);
    try {
        handler();
    } catch (const EndOfRun&) {
        endRun();
    } catch (const std::exception& e) {
        m_platform.errorBox(QString::fromLocal8Bit(e.what()));
        endRun();
    }
}

void Form1::endRun() {
    if (!closeUnsentStore(QStringLiteral("in the answer box when the run ended"), true,
                          std::exchange(m_quitPressed, false))) {
        return; // what the box holds is nowhere else: the student may copy it before quitting again
    }
    m_runEnded = true;
    m_tmr_pend_exp.stop();
    close();
    m_platform.quitApplication();
}

void Form1::wireButtons() {
    const auto wire = [this](QAbstractButton* button, void (Form1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] {
            if (!m_waitingForFile) {
                guard([this, handler] { (this->*handler)(); });
            }
        });
    };
    // trouble with the draft or the kept-text file is told once one of the two main buttons has done its work
    const auto wireMain = [this](QAbstractButton* button, void (Form1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] {
            if (m_waitingForFile) {
                return; // a press that waits for a record file is not over yet
            }
            guard([this, handler] {
                (this->*handler)();
                showWarnings();
            });
        });
    };
    wireMain(ui->cmdNextQuestion, &Form1::cmdNextQuestion_Click);
    wireMain(ui->cmd_enter_response, &Form1::cmd_enter_response_Click);
    wire(ui->cmd_save_as_notes, &Form1::cmd_save_as_notes_Click);
    wire(ui->cmd_display_note_file, &Form1::cmd_display_note_file_Click);
    wire(ui->cmd_displayCumulativeText, &Form1::cmd_displayCumulativeText_Click);
    wire(ui->cmd_next_picture, &Form1::cmd_next_picture_Click);
    wire(ui->cmd_copy_picture, &Form1::cmd_copy_picture_Click);
    wire(ui->cmd_pend_exp, &Form1::cmd_pend_exp_Click);
    wire(ui->cmd_clear_answer_box, &Form1::cmd_clear_answer_box_Click);
    wire(ui->cmd_quit, &Form1::cmd_quit_Click);
    connect(&m_tmr_pend_exp, &QTimer::timeout, this, [this] { guard([this] { tmr_pend_exp_Timer(); }); });
    connect(&m_draftTimer, &QTimer::timeout, this, [this] { guard([this] { saveDraft(); }); });
    connect(ui->txt_answer->document(), &QTextDocument::contentsChanged, this, [this] {
        m_draftDue = true;
        if (!m_draftTimer.isActive()) {
            m_draftTimer.start();
        }
    });
}

// From the answer box, the two main buttons have keys of their own. The keys press the buttons, so they do exactly
// what a click does; Return alone still breaks a line in the box.
void Form1::wireKeys() {
    const auto key = [this](QPushButton* button, const QList<QKeySequence>& keys, const QString& what) {
        for (const QKeySequence& keySequence : keys) {
            auto* shortcut = new QShortcut(keySequence, ui->txt_answer);
            shortcut->setContext(Qt::WidgetShortcut);
            connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
        }
        const QString description =
            what + QStringLiteral(" (%1 in the answer box)").arg(keys.first().toString(QKeySequence::NativeText));
        button->setToolTip(description);
        button->setAccessibleDescription(description);
    };
    key(ui->cmd_enter_response, {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
        QStringLiteral("Records the answer box as your response"));
    key(ui->cmdNextQuestion, {QKeySequence(Qt::ALT | Qt::Key_N)},
        QStringLiteral("Shows the next question or given answer"));
}

bool Form1::load() {
    guard([this] { Form_Load(); });
    return !m_runEnded;
}

float Form1::rnd() {
    return m_platform.rnd();
}

QString Form1::questionText() const {
    return textbox::text(*ui->txt_question);
}
QString Form1::answerText() const {
    return textbox::text(*ui->txt_answer);
}
void Form1::setQuestionText(const QString& text) {
    textbox::setText(*ui->txt_question, text);
}
void Form1::setAnswerText(const QString& text) {
    m_answerHistory->replace(text);
    // what the program put in the box is on disk at once, not a second later
    saveDraft();
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_toldAtStart) {
        m_toldAtStart = true;
        // once the window is on the screen, not in front of it
        QMetaObject::invokeMethod(
            this, [this] { guard([this] { tellKeptText(); }); }, Qt::QueuedConnection);
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    if (m_waitingForFile) {
        event->ignore(); // the press that waits for a record file ends first
        return;
    }
    if (!m_runEnded && !closeUnsentStore(QStringLiteral("in the answer box when the window was closed"), true, true)) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
