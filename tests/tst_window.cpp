#include "app/qtplatform.h"
#include "qa/picturebox.h"
#include "support/fixtures.h"
#include "support/testrun.h"
#include "ui_Form1.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <iostream>

// The window against its table: names, kinds, captions, places, tab order, fonts, and what reacts. The suite also
// runs at a scale factor of 1.5 and 2 (QT_SCALE_FACTOR), where every place and size must read as at 1.
class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void controls_data();
    void controls();
    void window_titleSizeAndCount();
    void tabOrder_followsTableSkippingLabels();
    void largeBoxes_boldMultiLineScrolling();
    void timerAndPictures_asAtStart();
    void inertControls_changeNothing();
    void resizing_movesNoControl();

    // Accessibility
    void accessibleTree_data();
    void accessibleTree();
    void inputBox_namesItsPrompt_data();
    void inputBox_namesItsPrompt();

    // Scaling
    void scaling_keepsLogicalSizeAtDevicePixelRatio();
    void scaling_cutsNoCaptionThatFitsAtOne_data();
    void scaling_cutsNoCaptionThatFitsAtOne();

private:
    QTemporaryDir m_home;
    // How each caption sits in its control at a scale factor of 1, measured by a child process of this suite.
    QHash<QString, QList<double>> m_roomAtOne;
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

// Every accessible interface under the window's, by object name, found by walking children as a screen reader does.
QHash<QString, QAccessibleInterface*> accessibleNodes(QWidget* window) {
    QHash<QString, QAccessibleInterface*> found;
    const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        if (node->object() && !node->object()->objectName().isEmpty()) {
            found.insert(node->object()->objectName(), node);
        }
        for (int i = 0; i < node->childCount(); ++i) {
            if (QAccessibleInterface* child = node->child(i)) {
                walk(child);
            }
        }
    };
    walk(QAccessible::queryAccessibleInterface(window));
    return found;
}

bool labelledBy(QAccessibleInterface* node, const QString& labelName) {
    const auto labels = node->relations(QAccessible::Label);
    return std::any_of(labels.begin(), labels.end(),
                       [&](const auto& relation) { return relation.first->object()->objectName() == labelName; });
}

double scaleFactor() {
    const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble();
    return factor > 0 ? factor : 1.0;
}

bool hasCaption(const Row& r) {
    return r.kind == QLatin1String("QPushButton") || r.kind == QLatin1String("QLabel");
}

// A control's width and height, then the width and height its caption takes, in logical pixels. Buttons wrap their
// captions at word boundaries and centre them; labels wrap when they have room for two lines. A caption fits when
// it takes no more room than its control has.
QList<double> captionRoom(QWidget* w) {
    w->ensurePolished();
    const auto* label = qobject_cast<QLabel*>(w);
    const int flags = label && !label->wordWrap() ? Qt::AlignLeft | Qt::AlignTop : Qt::AlignCenter | Qt::TextWordWrap;
    const QRectF taken = QFontMetricsF(w->font(), w).boundingRect(QRectF(w->rect()), flags, textOf(w));
    return {double(w->width()), double(w->height()), taken.width(), taken.height()};
}

bool fits(const QList<double>& room) {
    return room[2] <= room[0] && room[3] <= room[1];
}

// The child process's side of the scaling tests: one line per caption, name and room.
int printCaptionRoom() {
    ScriptedPlatform platform;
    Form1 form(platform);
    for (const Row& r : table) {
        if (hasCaption(r)) {
            std::cout << r.name;
            for (double v : captionRoom(form.findChild<QWidget*>(QString::fromLatin1(r.name)))) {
                std::cout << ' ' << v;
            }
            std::cout << '\n';
        }
    }
    return 0;
}
} // namespace

void TestWindow::initTestCase() {
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toLocal8Bit());

    QProcess atOne;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    atOne.setProcessEnvironment(env);
    atOne.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--caption-room")});
    QVERIFY(atOne.waitForFinished(60000));
    QCOMPARE(atOne.exitCode(), 0);
    int fitting = 0;
    for (const QByteArray& line : atOne.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> items = line.split(' ');
        if (items.size() == 5) {
            QList<double> room;
            for (int i = 1; i < 5; ++i) {
                room << items[i].toDouble();
            }
            fitting += fits(room);
            m_roomAtOne.insert(QString::fromLatin1(items[0]), room);
        }
    }
    // the comparison at a higher factor means something only if some captions fit at 1
    QVERIFY2(fitting > 0, "no caption fits its control at a scale factor of 1");
}

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
    QVERIFY(run.platform.prompts.size() == 3 + run.addedBoxes && run.platform.messages.isEmpty());
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

// Accessibility

void TestWindow::accessibleTree_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("accessibleName");
    QTest::addColumn<QString>("labelledBy");
    QTest::addColumn<QString>("description");
    const auto row = [](const char* name, QAccessible::Role role, const char* accessibleName, const char* label = "",
                        const char* description = "") {
        QTest::newRow(name) << QString::fromLatin1(name) << int(role) << QString::fromLatin1(accessibleName)
                            << QString::fromLatin1(label) << QString::fromLatin1(description);
    };
    row("Form1", QAccessible::Window, "Form1");
    // buttons and labels are named by their captions; the hint beside "next picture" is read with it
    for (const Row& r : table) {
        if (r.name == QLatin1String("cmd_next_picture")) {
            row(r.name, QAccessible::Button, r.text, "lbl_only_if_prompted", "click only if prompted");
        } else if (r.name == QLatin1String("cmd_enter_response")) {
            row(r.name, QAccessible::Button, r.text, "",
                "Records the answer box as your response (Ctrl+Return in the answer box)");
        } else if (r.name == QLatin1String("cmdNextQuestion")) {
            row(r.name, QAccessible::Button, r.text, "",
                "Shows the next question or given answer (Alt+N in the answer box)");
        } else if (QLatin1String(r.name).startsWith(QLatin1String("cmd_Make_Paragraph"), Qt::CaseInsensitive)) {
            // one caption for two buttons; a screen reader tells them apart by the box each stands over
            row(r.name, QAccessible::Button,
                r.name == QLatin1String("cmd_Make_paragraph") ? "Make Paragraph, answer box"
                                                              : "Make Paragraph, question box");
        } else if (r.kind == QLatin1String("QPushButton")) {
            row(r.name, QAccessible::Button, r.text);
        } else if (r.kind == QLatin1String("QLabel")) {
            row(r.name, QAccessible::StaticText, r.text);
        }
    }
    row("txt_question", QAccessible::EditableText, "Question");
    row("txt_answer", QAccessible::EditableText, "Answer");
    row("Picture1", QAccessible::Graphic, "Picture 1");
    row("Picture2", QAccessible::Graphic, "Picture 2");
    row("txt_parameter_0", QAccessible::EditableText, "Parameter 1", "lbl_parameter_0");
    row("txt_parameter_1", QAccessible::EditableText, "Parameter 2", "lbl_parameter_1");
    row("txt_parameter_2", QAccessible::EditableText, "Parameter 3", "lbl_parameter_2");
    row("txt_parameter_3", QAccessible::EditableText, "Parameter 4", "lbl_parameter_3");
    row("txt_paragraph_goback", QAccessible::EditableText, "Sentences previous", "lbl_paragraph_goback");
    row("List1", QAccessible::List, "List");
}

void TestWindow::accessibleTree() {
    QFETCH(QString, name);
    QFETCH(int, role);
    QFETCH(QString, accessibleName);
    QFETCH(QString, labelledBy);
    QFETCH(QString, description);
    ScriptedPlatform platform;
    Form1 form(platform);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const auto tree = accessibleNodes(&form);
    QAccessibleInterface* node = tree.value(name);
    QVERIFY2(node, "not reachable from the window");
    QCOMPARE(int(node->role()), role);
    QCOMPARE(node->text(QAccessible::Name), accessibleName);
    QCOMPARE(node->text(QAccessible::Description), description);
    if (!labelledBy.isEmpty()) {
        QVERIFY(::labelledBy(node, labelledBy));
    }
}

void TestWindow::inputBox_namesItsPrompt_data() {
    QTest::addColumn<QString>("prompt");
    QTest::newRow("short") << QStringLiteral("Your full name:  ");
    QTest::newRow("long, wrapped") << QStringLiteral(
        "You have chosen to change the folder to which your files will be written on your hard drive from the "
        "default c:\\tavimora.  Enter the path to the folder you wish to use.");
}

void TestWindow::inputBox_namesItsPrompt() {
    QFETCH(QString, prompt);
    struct Seen {
        int role;
        QString name;
        bool labelled;
    };
    QHash<QString, Seen> seen;
    // The box is modal: look at it from inside its own event loop, once it is up, then answer it.
    QTimer probe;
    probe.setInterval(10);
    connect(&probe, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<InputBox*>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        probe.stop();
        const auto tree = accessibleNodes(box);
        for (auto it = tree.begin(); it != tree.end(); ++it) {
            seen.insert(it.key(), {int(it.value()->role()), it.value()->text(QAccessible::Name),
                                   labelledBy(it.value(), QStringLiteral("prompt"))});
        }
        QTest::keyClicks(box->lineEdit(), QStringLiteral("Ada"));
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    });
    probe.start();
    QtPlatform platform;
    QCOMPARE(platform.inputBox(prompt), QStringLiteral("Ada"));

    // the line to type in is named by the prompt and labelled by it
    QCOMPARE(seen.value(QStringLiteral("answer")).role, int(QAccessible::EditableText));
    QCOMPARE(seen.value(QStringLiteral("answer")).name, prompt);
    QVERIFY(seen.value(QStringLiteral("answer")).labelled);
}

// Scaling

void TestWindow::scaling_keepsLogicalSizeAtDevicePixelRatio() {
    ScriptedPlatform platform;
    Form1 form(platform);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.devicePixelRatioF(), scaleFactor());
    QCOMPARE(form.size(), QSize(725, 566));
    const QPixmap shot = form.grab();
    QCOMPARE(shot.devicePixelRatio(), scaleFactor());
    QCOMPARE(shot.size(), (QSizeF(725, 566) * scaleFactor()).toSize());
}

void TestWindow::scaling_cutsNoCaptionThatFitsAtOne_data() {
    QTest::addColumn<QString>("name");
    for (const Row& r : table) {
        if (hasCaption(r)) {
            QTest::newRow(r.name) << QString::fromLatin1(r.name);
        }
    }
}

void TestWindow::scaling_cutsNoCaptionThatFitsAtOne() {
    QFETCH(QString, name);
    QVERIFY(m_roomAtOne.contains(name));
    const QList<double> atOne = m_roomAtOne.value(name);
    ScriptedPlatform platform;
    Form1 form(platform);
    const QList<double> now = captionRoom(form.findChild<QWidget*>(name));
    // The same room, and a font that grew with the factor: the same size in logical pixels, so no caption is cut
    // by more than at 1 (half a logical pixel is rounding).
    QCOMPARE(now[0], atOne[0]);
    QCOMPARE(now[1], atOne[1]);
    QVERIFY2(now[2] <= atOne[2] + 0.5, qPrintable(QStringLiteral("%1 wide, %2 at 1").arg(now[2]).arg(atOne[2])));
    QVERIFY2(qAbs(now[3] - atOne[3]) <= 0.5, qPrintable(QStringLiteral("%1 high, %2 at 1").arg(now[3]).arg(atOne[3])));
    if (fits(atOne)) {
        QVERIFY(fits(now));
    }
}

// QTEST_MAIN's set-up, and a child mode that measures the captions at another scale factor.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    if (argc == 2 && qstrcmp(argv[1], "--caption-room") == 0) {
        return printCaptionRoom();
    }
    TestWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_window.moc"
