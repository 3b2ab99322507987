#include "qa/picturebox.h"
#include "support/fixtures.h"
#include "support/testrun.h"
#include "ui_Form1.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

// The window against its table: names, kinds, captions, places, tab order, fonts, and what reacts.
class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void controls_data();
    void controls();
    void window_titleSizeAndCount();
    void tabOrder_followsTableSkippingLabels();
    void largeBoxes_boldMultiLineScrolling();
    void timerAndPictures_asAtStart();
    void inertControls_changeNothing();
    void resizing_movesNoControl();
};

namespace {
struct Row {
    const char* name;
    const char* kind;
    const char* text;
    int left, top, width, height; // twips
};

// The window's table, in the order the controls are created.
const Row table[] = {
    {"cmd_clear_answer_box", "QPushButton", "clear box", 8280, 240, 855, 495},
    {"cmd_copy_picture", "QPushButton", "copy picture", 1200, 8160, 855, 495},
    {"cmd_next_picture", "QPushButton", "next picture", 1200, 7560, 855, 495},
    {"cmd_pend_exp", "QPushButton", "pend exp", 8640, 7560, 495, 375},
    {"cmd_quit", "QPushButton", "quit program", 10200, 0, 735, 495},
    {"cmd_display_note_file", "QPushButton", "display notes", 3240, 240, 135, 495},
    {"cmd_displayCumulativeText", "QPushButton", "display SEND file", 4320, 240, 855, 495},
    {"txt_parameter_3", "QLineEdit", "1", 8205, 8160, 300, 285},
    {"txt_parameter_2", "QLineEdit", "1", 8205, 7680, 300, 285},
    {"txt_parameter_1", "QLineEdit", "1", 6720, 8160, 300, 285},
    {"txt_parameter_0", "QLineEdit", "1", 6720, 7680, 300, 285},
    {"List1", "QListWidget", "", 3120, 7680, 1695, 840},
    {"cmd_timerTrigger", "QPushButton", "Trigger Timer", 2400, 7560, 735, 495},
    {"txt_paragraph_goback", "QLineEdit", "1", 3120, 240, 150, 495},
    {"cmd_Make_Paragraph_question", "QPushButton", "Make Paragraph", 1200, 240, 855, 495},
    {"cmd_Make_paragraph", "QPushButton", "Make Paragraph", 7320, 240, 975, 495},
    {"cmd_save_as_notes", "QPushButton", "Save as Notes", 6480, 240, 855, 495},
    {"Picture2", "PictureBox", "", 5640, 4080, 5055, 3375},
    {"Picture1", "PictureBox", "", 240, 4080, 5175, 3375},
    {"cmd_enter_response", "QPushButton", "Enter Response", 5640, 240, 855, 495},
    {"cmdNextQuestion", "QPushButton", "Next Question / Answer", 240, 0, 975, 735},
    {"txt_answer", "QPlainTextEdit", " ", 5640, 720, 5055, 3255},
    {"txt_question", "QPlainTextEdit", "", 240, 720, 5175, 3255},
    {"lbl_only_if_prompted", "QLabel", "click only if prompted", 240, 7560, 855, 495},
    {"lbl_parameter_3", "QLabel", "Parameter 4", 7200, 8160, 900, 195},
    {"lbl_parameter_2", "QLabel", "Parameter 3", 7200, 7680, 1005, 195},
    {"lbl_parameter_1", "QLabel", "Parameter 2", 5640, 8160, 855, 195},
    {"lbl_parameter_0", "QLabel", "Parameter 1", 5640, 7680, 900, 195},
    {"lbl_paragraph_goback", "QLabel", "# sentences previous", 3000, 240, 135, 495},
};

QString textOf(QWidget* w) {
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        return b->text();
    }
    if (auto* l = qobject_cast<QLabel*>(w)) {
        return l->text();
    }
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        return e->text();
    }
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
        return p->toPlainText();
    }
    return QString();
}
} // namespace

void TestWindow::controls_data() {
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(table)); ++i) {
        QTest::newRow(table[i].name) << i;
    }
}

void TestWindow::controls() {
    QFETCH(int, row);
    const Row& r = table[row];
    ScriptedPlatform platform;
    Form1 form(platform);
    auto* w = form.findChild<QWidget*>(QString::fromLatin1(r.name));
    QVERIFY2(w, r.name);
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), QString::fromLatin1(r.kind));
    QCOMPARE(textOf(w), QString::fromLatin1(r.text));
    QCOMPARE(w->geometry(), QRect(r.left / 15, r.top / 15, r.width / 15, r.height / 15));
    QCOMPARE(w->parentWidget(), &form);
    QVERIFY(w->isEnabled());
    QVERIFY(!w->isHidden());
    // creation order is stacking order: each control is above the ones made before it
    QCOMPARE(form.children().indexOf(w) > form.children().indexOf(form.findChild<QWidget*>(table[0].name)), row > 0);
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        QVERIFY(!b->isDefault() && !b->autoDefault());
    }
    if (auto* l = qobject_cast<QLabel*>(w)) {
        QCOMPARE(l->focusPolicy(), Qt::NoFocus);
        QVERIFY(l->alignment() & Qt::AlignLeft);
    }
}

void TestWindow::window_titleSizeAndCount() {
    ScriptedPlatform platform;
    Form1 form(platform);
    QCOMPARE(form.windowTitle(), QStringLiteral("Form1"));
    QCOMPARE(form.size(), QSize(725, 566));
    QCOMPARE(form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(), int(std::size(table)));
    // cmd_quit reaches 4 pixels past the right edge
    QCOMPARE(form.controls().cmd_quit->geometry().right() + 1 - form.width(), 4);
}

void TestWindow::tabOrder_followsTableSkippingLabels() {
    ScriptedPlatform platform;
    Form1 form(platform);
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget(), form.controls().txt_question);
    const QStringList expected{"txt_question",
                               "txt_answer",
                               "cmdNextQuestion",
                               "cmd_enter_response",
                               "Picture1",
                               "Picture2",
                               "cmd_save_as_notes",
                               "cmd_Make_paragraph",
                               "cmd_Make_Paragraph_question",
                               "txt_paragraph_goback",
                               "cmd_timerTrigger",
                               "List1",
                               "txt_parameter_0",
                               "txt_parameter_1",
                               "txt_parameter_2",
                               "txt_parameter_3",
                               "cmd_displayCumulativeText",
                               "cmd_display_note_file",
                               "cmd_quit",
                               "cmd_pend_exp",
                               "cmd_next_picture",
                               "cmd_copy_picture",
                               "cmd_clear_answer_box",
                               "txt_question"};
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
    QCOMPARE(form.controls().txt_question->toPlainText(), QString()); // Tab typed no character
}

void TestWindow::largeBoxes_boldMultiLineScrolling() {
    ScriptedPlatform platform;
    Form1 form(platform);
    for (QPlainTextEdit* box : {form.controls().txt_question, form.controls().txt_answer}) {
        QCOMPARE(box->font().pointSizeF(), 9.75);
        QCOMPARE(box->font().weight(), QFont::Bold);
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QVERIFY(!box->isReadOnly());
    }
    // the other controls keep the window's font
    QCOMPARE(form.controls().cmd_quit->font(), form.font());
    // long text scrolls and wraps
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClicks(form.controls().txt_answer, QString(400, u'x'));
    for (int i = 0; i < 30; ++i) {
        QTest::keyClick(form.controls().txt_answer, Qt::Key_Return);
    }
    QVERIFY(form.controls().txt_answer->verticalScrollBar()->maximum() > 0);
    QVERIFY(form.controls().txt_answer->toPlainText().startsWith(QString(400, u'x') + "\n"));
}

void TestWindow::timerAndPictures_asAtStart() {
    ScriptedPlatform platform;
    Form1 form(platform);
    QCOMPARE(form.pendExpTimer().interval(), 15);
    QVERIFY(!form.pendExpTimer().isActive());
    for (PictureBox* box : {form.controls().Picture1, form.controls().Picture2}) {
        QCOMPARE(box->palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY(box->picture().isNull());
        QVERIFY(box->autoFillBackground());
        QCOMPARE(box->focusPolicy(), Qt::StrongFocus);
    }
}

void TestWindow::inertControls_changeNothing() {
    TestRun run({"A", "", "1"}, fixtures::smallDocument());
    QVERIFY(run.start());
    run.click("cmdNextQuestion");
    const QByteArray master = run.file("masterFile_A.txt");
    const QString question = run.question();
    const QString answer = run.answer();
    const int lineIndex = run.form->runState().lineIndex;
    run.click("cmd_timerTrigger");
    run.click("cmd_Make_paragraph");
    run.click("cmd_Make_Paragraph_question");
    for (const char* name :
         {"txt_parameter_0", "txt_parameter_1", "txt_parameter_2", "txt_parameter_3", "txt_paragraph_goback"}) {
        QTest::keyClicks(run.form->findChild<QLineEdit*>(name), "42");
        QCOMPARE(run.form->findChild<QLineEdit*>(name)->text(), QStringLiteral("142"));
    }
    QTest::mouseClick(run.form->controls().List1->viewport(), Qt::LeftButton);
    QCOMPARE(run.form->controls().List1->count(), 0);
    QCOMPARE(run.file("masterFile_A.txt"), master);
    QCOMPARE(run.question(), question);
    QCOMPARE(run.answer(), answer);
    QCOMPARE(run.form->runState().lineIndex, lineIndex);
    QVERIFY(!run.form->runEnded());
    QVERIFY(run.platform.prompts.size() == 3 && run.platform.messages.isEmpty());
}

void TestWindow::resizing_movesNoControl() {
    ScriptedPlatform platform;
    Form1 form(platform);
    form.show();
    const QRect before = form.controls().cmd_pend_exp->geometry();
    form.resize(1200, 900);
    QCOMPARE(form.controls().cmd_pend_exp->geometry(), before);
    form.resize(300, 200);
    QCOMPARE(form.controls().cmd_pend_exp->geometry(), before);
    QCOMPARE(form.controls().txt_answer->geometry(), QRect(376, 48, 337, 217));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
