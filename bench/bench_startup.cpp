// Start-up: from process start to the window first painted, the program's window against a bare Qt window of the
// same size, and the peak resident memory of each. Every run is a fresh child process, so the times include loading
// the libraries, as a student waits for them.
//
// A bare window draws no text, so it never starts the font system; the same window with one caption does, and is
// measured alongside to tell what any window with text pays from what the program's own start-up costs.
//
//   bench_startup [rounds]           runs the three kinds in turn (default 20 rounds after 3 warm-up rounds) and
//                                    prints medians and the ratios
//   bench_startup --child form       one start of the program's window, the input boxes answered by a script
//   bench_startup --child bare       one start of a bare QWidget of 725 x 566
//   bench_startup --child captioned  the same with one label
//
// A child prints "shown <peak resident kB>" once its window has painted, then ends.

#include "app/form1.h"
#include "app/platform.h"
#include "bench/benchplatform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Reports once the window's first paint is done: the paint of the window and all its controls runs in one go, so
// a zero timer set from the window's first paint event fires after the last control has painted.
class FirstPaint : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, this, [] {
                rusage usage{};
                getrusage(RUSAGE_SELF, &usage);
                std::printf("shown %ld\n", usage.ru_maxrss);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

int runChild(int argc, char* argv[], const QByteArray& kind) {
    QApplication app(argc, argv);
    BenchPlatform platform;
    std::unique_ptr<QWidget> window;
    if (kind == "form") {
        auto form1 = std::make_unique<Form1>(platform);
        QApplication::setQuitOnLastWindowClosed(false);
        if (!form1->load()) {
            return 1;
        }
        window = std::move(form1);
    } else {
        window = std::make_unique<QWidget>();
        window->resize(725, 566);
        window->setWindowTitle(QStringLiteral("Form1"));
        if (kind == "captioned") {
            auto* caption = new QLabel(QStringLiteral("Parameter 1"), window.get());
            caption->move(376, 512);
        }
    }
    FirstPaint probe;
    window->installEventFilter(&probe);
    window->show();
    return QApplication::exec();
}

struct Sample {
    double ms = 0;
    long kb = 0;
};

bool runOnce(const QString& kind, const QProcessEnvironment& env, Sample& sample) {
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), kind});
    QByteArray out;
    while (!out.contains('\n') && child.waitForReadyRead(30000)) {
        out += child.readAllStandardOutput();
    }
    sample.ms = double(clock.nsecsElapsed()) / 1e6;
    child.waitForFinished(30000);
    if (!out.startsWith("shown ")) {
        std::fprintf(stderr, "%s: the child did not report its window shown\n", qPrintable(kind));
        return false;
    }
    sample.kb = out.mid(6).trimmed().toLong();
    return true;
}

template <typename T> T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Figures {
    double ms;
    long kb;
};

int runRounds(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 20;
    const int warmUp = 3;
    const QStringList kinds{QStringLiteral("form"), QStringLiteral("bare"), QStringLiteral("captioned")};

    QTemporaryDir home; // the program writes its record files under the home folder
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    if (!env.contains(QStringLiteral("XDG_RUNTIME_DIR"))) {
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path()); // else every child warns that it is unset
    }
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    QHash<QString, std::vector<double>> ms;
    QHash<QString, std::vector<long>> kb;
    for (int round = 0; round < warmUp + rounds; ++round) {
        // each round starts with another kind, so none always finds the caches warmed by the others
        for (int k = 0; k < kinds.size(); ++k) {
            const QString& kind = kinds[(round + k) % kinds.size()];
            Sample sample;
            if (!runOnce(kind, env, sample)) {
                return 1;
            }
            if (round >= warmUp) {
                ms[kind].push_back(sample.ms);
                kb[kind].push_back(sample.kb);
            }
        }
    }

    QHash<QString, Figures> f;
    for (const QString& kind : kinds) {
        f[kind] = {median(ms[kind]), median(kb[kind])};
    }
    const auto ratios = [&](const char* title, const Figures& of, const Figures& to, bool goal) {
        const double time = of.ms / to.ms;
        const double memory = double(of.kb) / double(to.kb);
        std::printf("  %-26s time %.2f", title, time);
        if (goal) {
            std::printf(" (goal at most 1.20: %s)", time <= 1.2 ? "met" : "not met");
        }
        std::printf(", memory %.2f", memory);
        if (goal) {
            std::printf(" (goal at most 1.30: %s)", memory <= 1.3 ? "met" : "not met");
        }
        std::printf("\n");
    };
    std::printf("start-up to first paint, offscreen: medians of %d rounds after %d warm-up rounds\n", rounds, warmUp);
    std::printf("  %-18s %8.1f ms %8ld kB peak resident\n", "Form1", f["form"].ms, f["form"].kb);
    std::printf("  %-18s %8.1f ms %8ld kB peak resident\n", "bare window", f["bare"].ms, f["bare"].kb);
    std::printf("  %-18s %8.1f ms %8ld kB peak resident\n", "captioned window", f["captioned"].ms, f["captioned"].kb);
    ratios("Form1 / bare window", f["form"], f["bare"], true);
    ratios("Form1 / captioned window", f["form"], f["captioned"], false);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0) {
        return runChild(argc, argv, QByteArray(argv[2]));
    }
    return runRounds(argc, argv);
}
