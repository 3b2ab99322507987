// "display SEND file" on large send files, against the floor of setting the same final text into the box once.
#include "app/form1.h"
#include "app/platform.h"
#include "app/textbox.h"
#include "bench/benchplatform.h"
#include "ui_Form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    std::printf("%-10s %12s %12s %8s\n", "lines", "display ms", "floor ms", "ratio");
    for (const int lines : {1000, 10000, 100000}) {
        std::vector<double> display;
        std::vector<double> floor;
        for (int round = 0; round < 5; ++round) {
            BenchPlatform platform(QDateTime(QDate(2026, 1, 7), QTime(9, 0)));
            Form1 form(platform);
            if (!form.load()) {
                return 1;
            }
            const QString sendPath = home.path() + QStringLiteral("/tavimora/send_0107Bench_Student.txt");
            QFile send(sendPath);
            if (!send.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                return 1;
            }
            const QByteArray line = QByteArray(60, 'x') + "\r\n";
            for (int i = 0; i < lines; ++i) {
                send.write(line);
            }
            send.close();

            QElapsedTimer timer;
            timer.start();
            form.cmd_displayCumulativeText_Click();
            display.push_back(timer.nsecsElapsed() / 1e6);
            const QString finalText = textbox::text(*form.controls().txt_question);

            QPlainTextEdit box;
            box.setFont(form.controls().txt_question->font());
            box.resize(form.controls().txt_question->size());
            timer.restart();
            box.setPlainText(finalText);
            floor.push_back(timer.nsecsElapsed() / 1e6);
        }
        const double d = median(display);
        const double f = median(floor);
        std::printf("%-10d %12.2f %12.2f %8.2f\n", lines, d, f, d / f);
    }
    return 0;
}
