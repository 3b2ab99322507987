// Typing into a full answer box: the time from a key press to the box drawn again, for the program's window (whose
// answer box is saved to a draft a second after each change) against a bare box of the same size and font.
// Keys come ten to the second, as a quick typist's do, so that the draft saves fall among them; the times are of
// the keys only. Then the memory that five 10 MB pastes leave behind, each emptied by the program, against a bare
// box whose undo history nothing bounds. "--memory-only" skips the typing.
#include "app/form1.h"
#include "bench/benchplatform.h"
#include "ui_Form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <malloc.h>

namespace {
constexpr int keys = 300;
constexpr int keyGapMs = 100;

struct Times {
    double median, p99, max;
};

// 100 KB of answer in lines of 60 characters.
QString hundredKilobytes() {
    return (QString(58, u'y') + QStringLiteral("\r\n")).repeated(100 * 1024 / 60);
}

Times typeInto(QPlainTextEdit& box) {
    box.moveCursor(QTextCursor::End);
    box.setFocus();
    std::vector<double> ms;
    for (int i = 0; i < keys; ++i) {
        QThread::msleep(keyGapMs);
        const QChar c = QChar(u'a' + i % 26);
        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A + i % 26, Qt::NoModifier, c);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A + i % 26, Qt::NoModifier, c);
        QApplication::sendEvent(&box, &press);
        QApplication::sendEvent(&box, &release);
        // the repaint, and any timer that is due, belong to the key
        QApplication::processEvents();
        box.repaint();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back()};
}

// What the process holds, once the allocator has handed back what it could.
long residentKb() {
    ::malloc_trim(0);
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return resident * 4;
}
} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());

    BenchPlatform platform;
    Form1 form(platform);
    if (!form.load()) {
        return 1;
    }
    form.show();
    QPlainTextEdit* answer = form.controls().txt_answer;
    if (!app.arguments().contains(QStringLiteral("--memory-only"))) {
        answer->setPlainText(hundredKilobytes());
        const Times program = typeInto(*answer);

        QPlainTextEdit bare;
        bare.setFont(answer->font());
        bare.resize(answer->size());
        bare.show();
        bare.setPlainText(hundredKilobytes());
        const Times floor = typeInto(bare);

        std::printf("%d keys into 100 KB, one every %d ms   median ms   99th ms   max ms\n", keys, keyGapMs);
        std::printf("%-42s %9.2f %9.2f %8.2f\n", "answer box, drafts saved", program.median, program.p99, program.max);
        std::printf("%-42s %9.2f %9.2f %8.2f\n", "bare box", floor.median, floor.p99, floor.max);
        answer->clear();
    }

    // The same in a bare box whose emptying can be undone too, with nothing to bound its history.
    const QString paste = (QString(98, u'x') + QStringLiteral("\r\n")).repeated(100 * 1024);
    const auto growth = [&](QPlainTextEdit& box, const std::function<void()>& empty) {
        const long before = residentKb();
        for (int round = 0; round < 5; ++round) {
            box.moveCursor(QTextCursor::End);
            box.insertPlainText(paste);
            empty();
        }
        return (residentKb() - before) / 1024;
    };
    const long program = growth(*answer, [&] { form.controls().cmd_clear_answer_box->click(); });
    QPlainTextEdit unbounded;
    const long floor = growth(unbounded, [&] {
        QTextCursor cursor(unbounded.document());
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
    });
    std::printf("five 10 MB pastes (%lld MB each as text), each emptied so that undo brings it back:\n",
                static_cast<long long>(paste.size()) * 2 / (1024 * 1024));
    std::printf("  resident memory grew by %ld MB in the answer box, %ld MB in a bare box\n", program, floor);
    return 0;
}
