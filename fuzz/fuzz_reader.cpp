#include "app/form1.h"
#include "app/textbox.h"
#include "fuzzcheck.h"
#include "support/scriptedplatform.h"
#include "ui_Form1.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>

// The reader, "next picture" and the commands around them, on an arbitrary line store. The input is one line of
// settings, then the document:
//
//   H 4990 nnpnrn        H: the store starts with the heading "001.", which the run asks for ("-": it does not)
//                        4990: that many empty store lines come next, so that the document's lines can lie at the
//                              very end of the store
//                        nnpnrn: presses, in order: n next question, p next picture, r enter a response,
//                              s save as notes, d display the send file, c clear the question box
//   the document         each line is a store line; a line that starts with = + or # is a line of the data-file
//                        form as it stands
//
// After the presses the reader is pressed on until the run ends, which it must do within one press per line of the
// store. The line number never leaves 0 to 5000, and no error reaches the handler guard.

using fuzzcheck::require;

namespace {

struct Input {
    bool heading = false;
    int emptyLines = 0;
    QString presses;
    QString document;
};

Input parse(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype end = text.indexOf(u'\n');
    const QStringList settings = text.left(end < 0 ? text.size() : end).split(u' ');
    Input input;
    input.heading = settings.value(0) == u"H";
    input.emptyLines = std::clamp(settings.value(1).toInt(), 0, lastLineIndex);
    input.presses = settings.value(2);
    if (input.heading) {
        input.document += QStringLiteral("= 001.  Fuzzed\n");
    }
    input.document += QStringLiteral("=\n").repeated(input.emptyLines);
    const QStringList lines = end < 0 ? QStringList() : text.mid(end + 1).split(u'\n');
    for (const QString& line : lines) {
        const bool dataFileForm = line.startsWith(u'=') || line.startsWith(u'+') || line.startsWith(u'#');
        input.document += (dataFileForm ? line : QStringLiteral("= ") + line) + u'\n';
    }
    return input;
}

void requireWithinStore(const Form1& form) {
    const int n = form.runState().lineIndex;
    require(n >= 0 && n <= lastLineIndex, "the line number stays within 0 to 5000");
}

QString workFolder() {
    return QDir::homePath() + QStringLiteral("/tavimora");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Every block is synced to disk; in memory, where the system has it, that costs next to nothing.
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static QTemporaryDir home(base + QStringLiteral("/qadrill-fuzz-XXXXXX"));
    qputenv("HOME", home.path().toLocal8Bit());
    static int argc = 1;
    static char name[] = "fuzz_reader";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    // the application goes before the leak check at exit, as it would at the end of main
    std::atexit([] { delete app; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Input input = parse(data, size);
    ScriptedPlatform platform;
    platform.answers = {QStringLiteral("Fuzz"), QString(), QStringLiteral("1")};
    {
        Form1 form(platform);
        form.setDocumentText(input.document);
        Ui::Form1& ui = form.controls();
        form.load();
        requireWithinStore(form);
        for (const QChar press : input.presses) {
            if (form.runEnded()) {
                break;
            }
            switch (press.unicode()) {
            case u'n':
                ui.cmdNextQuestion->click();
                break;
            case u'p':
                ui.cmd_next_picture->click();
                break;
            case u'r':
                textbox::setText(*ui.txt_answer, QStringLiteral("response"));
                ui.cmd_enter_response->click();
                break;
            case u's':
                textbox::setText(*ui.txt_answer, QStringLiteral("note"));
                ui.cmd_save_as_notes->click();
                break;
            case u'd':
                ui.cmd_displayCumulativeText->click();
                break;
            case u'c':
                ui.txt_question->clear();
                break;
            default:
                break;
            }
            requireWithinStore(form);
        }
        for (int press = 0; press <= lastLineIndex && !form.runEnded(); ++press) {
            ui.txt_question->clear();
            ui.cmdNextQuestion->click();
            requireWithinStore(form);
        }
        require(form.runEnded(), "the reader ends the run before it runs out of store");
    }
    require(platform.errors.isEmpty(), "no error reaches the handler guard");
    QDir(workFolder()).removeRecursively();
    return 0;
}
