// The report on a large class, against the floor of reading and decoding the same files: 250, 500 and 1,000 send
// files of 60 blocks each (three runs of a header and 19 responses and notes), on the lines of the carried document,
// five days' files per student. The report is the program's whole work: reading, merging, placing, the folder of pages
// and the table, all written to disk. The goal is at most twice the floor, and a time per file that does not grow.
// With a folder after the number of files, the class and its pages are left there, for bench/open_pages.sh.
//
// Then the program itself, qadrill-report, on classes of 1,000 and 4,000 students (1 to 4 send files each, 2.5 on
// average, of one run of 20 blocks: 220 MB at 4,000), against the floor of reading and decoding the same files in
// this process. The program's own time counts everything: looking at the folder, reading, the pages put in place
// over the earlier report's, the table. The goal is at most three times the floor, and 4,000 students in at most
// 4.5 times the time of 1,000. Beside it, what writing the pages' bytes alone costs (the same bytes into as many new
// files on the same file system), and the report's time against that and the floor together. The program works on
// every processor: its wall-clock time is what an instructor waits, its processor time what it costs. "bench_report
// students 4000" runs that one class once, for a profiler; a folder after it keeps the class and its pages there.
#include "problems/linestore.h"
#include "records/codepage.h"
#include "records/recordblocks.h"
#include "report/classview.h"
#include "report/out/csvreport.h"
#include "report/out/reportfile.h"
#include "report/pages/htmlreport.h"
#include "report/read/classrecords.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <random>

#include <sys/resource.h>
#include <time.h>

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Shown {
    QString entry;
    enum class Kind { Question, Answer, Text } kind;
};

// The lines a student is shown in each assignment, as the record files hold them.
std::vector<std::vector<Shown>> shownLines() {
    std::vector<std::vector<Shown>> assignments;
    for (const QString& line : linestore::parseDocument(linestore::carriedDocumentText())) {
        if (line.size() >= 4 && line[0].isDigit() && line[3] == u'.') {
            assignments.emplace_back();
        } else if (!assignments.empty() && !line.isEmpty()) {
            // a question, required or optional ("*`q006."), a given answer, or a line of text
            const bool answer = line.startsWith(QStringLiteral("`a"));
            const bool question = line.left(4).contains(QStringLiteral("`q"));
            assignments.back().push_back({answer ? line.mid(2) : line, question ? Shown::Kind::Question
                                                                       : answer ? Shown::Kind::Answer
                                                                                : Shown::Kind::Text});
        }
    }
    return assignments;
}

QByteArray sendFile(std::mt19937& random, const std::vector<std::vector<Shown>>& document, int day, int runs = 3) {
    static const QStringList words = {"the",    "slope", "is",     "x",     "=",       "8",          "so",    "we",
                                      "factor", "check", "both",   "sides", "limit",   "derivative", "I",     "forgot",
                                      "sign",   "error", "square", "root",  "(x - 2)", "because",    "agree", "ok"};
    const auto text = [&](int least, int most) {
        const int length = std::uniform_int_distribution<int>(least, most)(random);
        QString t;
        while (t.size() < length) {
            t += words[static_cast<qsizetype>(random() % static_cast<unsigned>(words.size()))];
            t += random() % 9 == 0 ? QStringLiteral("\r\n") : QStringLiteral(" ");
        }
        return t;
    };
    QString file;
    const int assignment = day % static_cast<int>(document.size());
    const std::vector<Shown>& lines = document[static_cast<std::size_t>(assignment)];
    const QString nbr = QStringLiteral("%1").arg(assignment + 1, 3, 10, QLatin1Char('0'));
    for (int run = 0; run < runs; ++run) {
        QString filler;
        for (int i = 0, n = 19 + static_cast<int>(random() % 38); i < n; ++i) {
            filler += codepage::toUnicode(static_cast<unsigned char>(118 + random() % 138));
        }
        file += recordblocks::joinLines(
            recordblocks::headerBlock(filler, nbr, nbr + QStringLiteral(".  Title"), "brisendal", "01-07-2026", 19));
        int seconds = 9 * 3600 + run * 3600;
        for (int block = 0; block < 19; ++block) {
            const Shown& shown = lines[static_cast<std::size_t>((run * 7 + block) % static_cast<int>(lines.size()))];
            seconds += 20 + static_cast<int>(random() % 200);
            const QString time = QStringLiteral("%1:%2:%3")
                                     .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                                     .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                     .arg(seconds % 60, 2, 10, QLatin1Char('0'));
            if (block % 6 == 5) {
                file += recordblocks::joinLines(recordblocks::noteBlock(time, "01-07-2026" + time, shown.entry,
                                                                        recordblocks::notesLabel + text(20, 200), 19));
                continue;
            }
            // as the drill asks: a confidence after a question, a self-critique after a given answer, no rating
            // after a line of text
            const QString rating = QString::number(random() % 4);
            std::optional<QString> ratingLine;
            if (shown.kind != Shown::Kind::Text) {
                ratingLine = (shown.kind == Shown::Kind::Question ? recordblocks::confidenceLabel
                                                                  : recordblocks::selfCritiqueLabel) +
                             rating;
            }
            file += recordblocks::joinLines(
                recordblocks::responseBlock(false, time, 0, shown.entry, text(40, 500), ratingLine, 19));
        }
    }
    return codepage::encode(file);
}

bool write(const QString& path, const std::function<bool(QIODevice&)>& write) {
    return !report::writeReportFile(path, write);
}

// The process's processor time, the system's share included: other work on the machine does not count in it.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Times {
    std::vector<double> cpu;
    std::vector<double> wall;
};

// Runs the work and keeps its processor and wall-clock times.
template <typename Work> bool measure(Times& times, Work work) {
    QElapsedTimer timer;
    timer.start();
    const double start = cpuMs();
    const bool ok = work();
    times.cpu.push_back(cpuMs() - start);
    times.wall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    return ok;
}

// The processor time of the children that ended, and the largest peak memory of any of them, in KB.
void childUsage(double& cpu, long& peakKb) {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    peakKb = usage.ru_maxrss;
}

// The class cases: the program on the whole class, as an instructor runs it.
int classes(const std::vector<int>& sizes, int rounds, const QString& keep) {
    // in memory where the system has room for it, so that the disk of a shared machine does not decide
    QTemporaryDir temporary(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/bench_report-XXXXXX")
                                                      : QDir::tempPath() + QStringLiteral("/bench_report-XXXXXX"));
    const QDir dir(keep.isEmpty() ? temporary.path() : keep);
    const auto document = shownLines();
    std::printf("\nqadrill-report on a class, against reading and decoding its files; processor time (wall-clock "
                "in brackets), the median of %d rounds\n",
                rounds);
    std::printf("%-9s %6s %7s %18s %18s %14s %9s %18s %14s\n", "students", "files", "MB", "floor ms", "report ms",
                "ratio", "peak MB", "pages' write ms", "ratio to both");
    std::vector<double> reportTimes;
    for (const int students : sizes) {
        std::mt19937 random(11);
        const QString class_ = dir.filePath(QStringLiteral("class-%1").arg(students));
        QDir().mkpath(class_);
        QStringList files;
        qint64 bytes = 0;
        for (int s = 0; s < students; ++s) {
            for (int f = 0, n = 1 + (s * 7) % 4; f < n; ++f) {
                const QString path = QStringLiteral("%1/send_01%2Student_%3.txt")
                                         .arg(class_)
                                         .arg(10 + f)
                                         .arg(s, 4, 10, QLatin1Char('0'));
                const QByteArray content = sendFile(random, document, f + s, 1);
                QFile file(path);
                if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
                    return 1;
                }
                files << path;
                bytes += content.size();
            }
        }
        Times floor;
        Times whole;
        Times pagesWrite;
        long peakKb = 0;
        for (int round = 0; round < rounds; ++round) {
            const bool read = measure(floor, [&] {
                qsizetype characters = 0;
                for (const QString& path : files) {
                    QFile f(path);
                    if (!f.open(QIODevice::ReadOnly)) {
                        return false;
                    }
                    characters += codepage::decode(f.readAll()).size();
                }
                return characters > 0;
            });
            double before = 0;
            childUsage(before, peakKb);
            QElapsedTimer timer;
            timer.start();
            QProcess program;
            program.setProcessChannelMode(QProcess::ForwardedOutputChannel);
            program.setStandardErrorFile(QProcess::nullDevice());
            program.start(QStringLiteral(QADRILL_REPORT), {"-o", dir.filePath(QStringLiteral("pages-%1").arg(students)),
                                                           "--csv", dir.filePath("ratings.csv"), class_});
            const bool made =
                program.waitForFinished(-1) && program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
            whole.wall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            double after = 0;
            childUsage(after, peakKb);
            whole.cpu.push_back(after - before);
            if (!read || !made) {
                std::fprintf(stderr, "the report on %d students failed\n", students);
                return 1;
            }
        }
        // what writing the pages' bytes alone costs: the same bytes into as many new files, beside them; after the
        // program's rounds, whose peak memory would otherwise count the pages held here
        std::vector<std::pair<QString, QByteArray>> pages;
        const QDir report(dir.filePath(QStringLiteral("pages-%1").arg(students)));
        for (const QFileInfo& page : report.entryInfoList(QDir::Files)) {
            QFile f(page.filePath());
            pages.emplace_back(page.fileName(), f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
        }
        for (int round = 0; round < rounds; ++round) {
            const QDir copies(dir.filePath(QStringLiteral("copies-%1").arg(students)));
            QDir().mkpath(copies.path());
            const bool copied = measure(pagesWrite, [&] {
                for (const auto& [name, bytes] : pages) {
                    QFile f(copies.filePath(name));
                    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
                        return false;
                    }
                }
                return true;
            });
            QDir(copies).removeRecursively();
            if (!copied) {
                return 1;
            }
        }
        const double f = median(floor.cpu);
        const double r = median(whole.cpu);
        reportTimes.push_back(r);
        const double w = median(pagesWrite.cpu);
        std::printf("%-9d %6lld %7.1f %8.1f (%7.1f) %8.1f (%7.1f) %5.2f (%5.2f) %9.1f %8.1f (%7.1f) %5.2f (%5.2f)\n",
                    students, static_cast<long long>(files.size()), static_cast<double>(bytes) / 1e6, f,
                    median(floor.wall), r, median(whole.wall), r / f, median(whole.wall) / median(floor.wall),
                    static_cast<double>(peakKb) / 1024.0, w, median(pagesWrite.wall), r / (f + w),
                    median(whole.wall) / (median(floor.wall) + median(pagesWrite.wall)));
        if (keep.isEmpty()) {
            QDir(class_).removeRecursively();
            QDir(dir.filePath(QStringLiteral("pages-%1").arg(students))).removeRecursively();
        }
    }
    if (reportTimes.size() == 2) {
        std::printf("%d students take %.2f times the time of %d (processor time)\n", sizes[1],
                    reportTimes[1] / reportTimes[0], sizes[0]);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "students") {
        return classes({argc > 2 ? QByteArray(argv[2]).toInt() : 4000}, 1,
                       argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString());
    }
    QTemporaryDir temporary;
    const bool keep = argc > 2;
    const QDir dir(keep ? QString::fromLocal8Bit(argv[2]) : temporary.path());
    if (keep && !QDir().mkpath(dir.path())) {
        return 1;
    }
    const auto document = shownLines();
    std::mt19937 random(7);
    QStringList files;
    qint64 bytes = 0;
    // one size and one round when a number of files is given, for a profiler
    const qsizetype only = argc > 1 ? QByteArray(argv[1]).toLongLong() : 0;
    const std::vector<qsizetype> sizes =
        only > 0 ? std::vector<qsizetype>{only} : std::vector<qsizetype>{250, 500, 1000};
    const int rounds = only > 0 ? 1 : 5;
    for (qsizetype i = 0; i < sizes.back(); ++i) {
        const QString path = dir.filePath(
            QStringLiteral("class/send_01%1Student_%2.txt").arg(10 + i % 5).arg(i / 5, 3, 10, QLatin1Char('0')));
        QDir().mkpath(QFileInfo(path).path());
        const QByteArray content = sendFile(random, document, i % 5);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size()) {
            return 1;
        }
        files << path;
        bytes += content.size();
    }
    std::printf("%lld send files of 60 blocks, %.1f MB in all\n", static_cast<long long>(sizes.back()),
                static_cast<double>(bytes) / 1e6);
    std::printf("processor time (wall-clock time in brackets), the median of %d rounds\n", rounds);
    std::printf("%-6s %18s %18s %14s %16s %8s %6s\n", "files", "floor ms", "report ms", "ratio", "report ms/file",
                "page MB", "pages");
    const report::Document carried = report::Document::carried();
    for (const qsizetype n : sizes) {
        Times floor;
        Times full;
        std::array<std::vector<double>, 5> phases;
        qsizetype pageSize = 0; // the largest page
        int pages = 0;
        for (int round = 0; round < rounds; ++round) {
            const bool read = measure(floor, [&] {
                qsizetype characters = 0;
                for (qsizetype i = 0; i < n; ++i) {
                    QFile f(files[i]);
                    if (!f.open(QIODevice::ReadOnly)) {
                        return false;
                    }
                    characters += codepage::decode(f.readAll()).size();
                }
                return characters > 0;
            });
            const bool made = measure(full, [&] {
                std::array<double, 6> at{cpuMs()};
                report::ClassReader reader;
                for (qsizetype i = 0; i < n; ++i) {
                    QFile f(files[i]);
                    if (!f.open(QIODevice::ReadOnly)) {
                        return false;
                    }
                    reader.add(files[i], f.readAll());
                }
                at[1] = cpuMs();
                const report::ClassRecords records = reader.finish();
                at[2] = cpuMs();
                const report::ClassView view = report::buildView(records, carried);
                at[3] = cpuMs();
                bool page = QDir().mkpath(dir.filePath("pages"));
                for (const report::ReportPage& p : report::reportPages(records, view)) {
                    page = page && write(dir.filePath("pages/" + p.name), p.write);
                }
                at[4] = cpuMs();
                const bool table = write(dir.filePath("ratings.csv"), [&](QIODevice& device) {
                    const QByteArray csv = report::csvReport(records, view);
                    return device.write(csv) == csv.size();
                });
                at[5] = cpuMs();
                for (std::size_t p = 0; p < phases.size(); ++p) {
                    phases[p].push_back(at[p + 1] - at[p]);
                }
                return page && table;
            });
            if (!read || !made) {
                return 1;
            }
            pageSize = 0;
            pages = 0;
            for (const QFileInfo& p : QDir(dir.filePath("pages")).entryInfoList(QDir::Files)) {
                pageSize = std::max(pageSize, p.size());
                ++pages;
            }
        }
        const double f = median(floor.cpu);
        const double r = median(full.cpu);
        const double fw = median(floor.wall);
        const double rw = median(full.wall);
        std::printf("%-6lld %8.1f (%7.1f) %8.1f (%7.1f) %5.2f (%5.2f) %16.3f %8.2f %6d\n", static_cast<long long>(n), f,
                    fw, r, rw, r / f, rw / fw, r / static_cast<double>(n), static_cast<double>(pageSize) / 1e6, pages);
        std::printf("       read and parse %.1f, merge %.1f, place %.1f, pages %.1f, table %.1f (processor ms)\n",
                    median(phases[0]), median(phases[1]), median(phases[2]), median(phases[3]), median(phases[4]));
    }
    return only > 0 ? 0 : classes({1000, 4000}, 3, QString());
}
