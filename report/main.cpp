#include "records/durablefile.h"
#include "report/classview.h"
#include "report/commandline.h"
#include "report/out/csvreport.h"
#include "report/out/interruption.h"
#include "report/out/reportfile.h"
#include "report/out/reportfolder.h"
#include "report/pages/htmlreport.h"
#include "report/read/classfiles.h"
#include "report/read/classrecords.h"
#include "report/read/issuelines.h"
#include "report/read/terminaltext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <optional>
#include <set>

#ifdef QADRILL_JEMALLOC
// The allocator's settings, read as it starts: memory in huge pages where the system gives them, for the class's
// records, which fill some hundreds of MB at once and are never given back before the program ends.
extern "C" {
const char* malloc_conf = "thp:always,metadata_thp:auto";
}
#endif

namespace {

using namespace report::cli;

bool cannotBeWritten(const QString& path, const std::optional<QString>& failure) {
    if (failure && !report::interruption::interrupted()) { // an interruption is no failure to tell
        say(QStringLiteral("qadrill-report: %1: cannot be written: %2").arg(path, *failure));
    }
    return failure.has_value();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    report::interruption::install();
    Options options;
    if (const auto status = parseArguments(QCoreApplication::arguments(), argv, options)) {
        return *status;
    }

    report::ClassReader reader;
    std::vector<std::filesystem::path> own;
    for (const QString& output : {options.output, options.csv}) {
        if (!output.isEmpty() && output != u"-") {
            own.push_back(fsPath(output));
        }
    }
    std::vector<report::InputFile> inputs = report::findInputs(options.fsPaths, options.recursive, reader, own);
    const qsizetype filesRead = report::readInputs(inputs, reader);
    // each input's identity known from its reading: every page's name is then checked against all of them at once
    std::set<durablefile::FileId> inputIds;
    for (const report::InputFile& input : inputs) {
        if (input.id) {
            inputIds.insert(*input.id);
        }
    }
    const auto isInput = [&](const QString& path) {
        // the standard output too, sent by the shell into one of them ("-o - >> send_0107Ann.txt")
        const auto id = durablefile::fileId(fsPath(systemName(path)));
        return id && inputIds.count(*id) > 0;
    };
    for (const QString& output : {options.output, options.csv}) {
        if (!output.isEmpty() && isInput(output)) {
            return usageError(QStringLiteral("%1 is one of the files to read; the report is not written over it")
                                  .arg(output == u"-" ? QStringLiteral("the standard output") : output));
        }
    }
    // a student's record or notes file is never the table, even where it is not among the files read, nor the page or
    // the table through a link
    if (!options.csv.isEmpty() && QFileInfo(options.csv).isFile() && report::refusedTarget(options.csv)) {
        return usageError(
            QStringLiteral("%1 is a student's record file; the table is not written over it").arg(options.csv));
    }
    for (const QString& output : {options.output, options.csv}) {
        if (!QFileInfo(output).isSymLink()) {
            continue;
        }
        const QString target = report::outputTarget(output);
        const auto refused = target.isEmpty() ? report::linkBeyondUtf8 : report::refusedTarget(target);
        if (refused) {
            return usageError(QStringLiteral("%1: %2").arg(output, *refused));
        }
    }
    // nor one of the folder's pages, which would replace it, or it them; by its name or by where its link leads
    const auto aPage = [&](const QString& table) {
        return report::isPageName(QFileInfo(table).fileName()) &&
               sameFolder(QFileInfo(table).absolutePath(), options.output);
    };
    if (!options.csv.isEmpty() && !onePage(options.output) &&
        (aPage(options.csv) || (QFileInfo(options.csv).isSymLink() && aPage(report::outputTarget(options.csv))))) {
        return usageError(QStringLiteral("%1 is a page of the folder %2; the table is not written over it")
                              .arg(options.csv, options.output));
    }
    if (neitherPageNorFolder(options.output)) {
        return usageError(QStringLiteral("%1 is a file, and neither a page (a name that ends in .html or .htm) nor a "
                                         "folder of pages; it is not written over")
                              .arg(options.output));
    }
    report::ClassRecords records = reader.finish();
    QStringList courseErrors;
    const std::optional<report::Document> document = report::Document::fromFile(options.course, &courseErrors);
    if (!document) {
        say(QStringLiteral("qadrill-report: %1: the course cannot be read").arg(options.course));
        return 1;
    }
    for (const QString& error : std::as_const(courseErrors)) {
        say(QStringLiteral("qadrill-report: ") + error);
    }
    if (document->assignments().empty()) {
        say(QStringLiteral("qadrill-report: %1: holds no assignment, and is no course; nothing is written")
                .arg(options.course));
        return 1;
    }
    if (!courseErrors.isEmpty()) {
        say(QStringLiteral(
                "qadrill-report: %1: %2 errors in the course; the records are placed against it as the drill "
                "reads it (qadrill-course check FILE says more)")
                .arg(options.course)
                .arg(courseErrors.size()));
    }
    const report::ClassView view = report::buildView(records, *document);
    report::tellUnplaced(records, view, *document);
    report::orderIssues(records);
    // written at once: a class whose course changed may have a problem for every record
    QByteArray problems;
    for (const QString& line : report::issueLines(records)) {
        problems += report::terminalText(line).toLocal8Bit() + '\n';
    }
    std::fwrite(problems.constData(), 1, static_cast<std::size_t>(problems.size()), stderr);
    if (filesRead > 100 || !records.notRead.empty()) {
        const auto counted = [](qsizetype n, const char* one, const char* many) {
            return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
        };
        say(QStringLiteral("qadrill-report: read %1, %2 of them with records, of %3; %4 not read")
                .arg(counted(filesRead, "file", "files"))
                .arg(records.filesWithRecords)
                .arg(counted(static_cast<qsizetype>(records.students.size()), "student", "students"))
                .arg(records.notRead.size()));
    }
    if (records.students.empty()) {
        say(QStringLiteral("qadrill-report: no record could be read; no report written"));
        return 1;
    }
    // the table is made while the pages are laid out, and written after them
    std::future<QByteArray> csv;
    if (!options.csv.isEmpty()) {
        // on a thread of its own, or made when it is asked for where the system has no thread to spare
        csv = std::async(std::launch::async | std::launch::deferred, [&] { return report::csvReport(records, view); });
    }

    // from here on an interruption waits until the outputs are whole or gone, and the folder of a first report too
    std::optional<report::interruption::Deferred> writing(std::in_place);
    // the table made whole beside its place before the pages, and put there once they are: a failure of either leaves
    // the earlier report and table as they were
    report::StagedFile table;
    const auto stageTable = [&] {
        return options.csv.isEmpty() || !cannotBeWritten(options.csv, table.stage(options.csv, [&](QIODevice& device) {
                   const QByteArray bytes = csv.get();
                   return device.write(bytes) == bytes.size();
               }));
    };

    if (onePage(options.output)) {
        const auto page = [&](QIODevice& device) { return report::writeHtmlReport(records, view, device); };
        if (!stageTable() || cannotBeWritten(options.output, report::writeReportFile(options.output, page)) ||
            (!options.csv.isEmpty() && cannotBeWritten(options.csv, table.place()))) {
            return 1;
        }
        // a browser takes long to open such a page, if it opens it at all; the folder's pages each open at once
        constexpr qint64 largePage = 16 << 20;
        const qint64 written = options.output == u"-" ? 0 : QFileInfo(options.output).size();
        if (written > largePage) {
            say(QStringLiteral("qadrill-report: %1: the page is %2 MB, more than a browser opens at once; a folder "
                               "(-o with a name that does not end in .html) splits the report into pages that do")
                    .arg(options.output)
                    .arg(written >> 20));
        }
    } else {
        const std::vector<report::ReportPage> pages = report::reportPages(records, view);
        const QDir folder(options.output);
        // a page's name in the folder may be a link to a file that is read
        for (const report::ReportPage& page : pages) {
            if (isInput(folder.filePath(page.name))) {
                return usageError(QStringLiteral("%1 is one of the files to read; the report is not written over it")
                                      .arg(folder.filePath(page.name)));
            }
        }
        // the folders this run makes, the innermost first: a first report that fails leaves none of them
        QStringList made;
        for (QFileInfo at(options.output); !at.exists() && !at.isSymLink() && !at.isRoot();
             at = QFileInfo(at.absolutePath())) {
            made << at.absoluteFilePath();
        }
        const auto removeMade = [&] {
            table.discard(); // which may lie in one of them
            for (const QString& path : std::as_const(made)) {
                QDir().rmdir(path); // only when nothing else was put in it
            }
        };
        std::error_code error;
        std::filesystem::create_directories(fsPath(options.output), error);
        if (error || !QFileInfo(options.output).isDir()) {
            say(QStringLiteral("qadrill-report: %1: the folder cannot be made: %2")
                    .arg(options.output,
                         error ? QString::fromStdString(error.message()) : QStringLiteral("not a folder")));
            removeMade();
            return 1;
        }
        // the table may go into the folder just made
        if (!stageTable()) {
            removeMade();
            return 1;
        }
        // the table put in place with the pages, while the earlier report can still come back
        const auto failure = report::writeReportFolder(
            options.output, pages, [](const QString& text) { say(QStringLiteral("qadrill-report: ") + text); },
            [&]() -> std::optional<report::FolderFailure> {
                if (options.csv.isEmpty() || table.straight()) {
                    return std::nullopt; // a pipe or a device has nothing to put back: written after the folder
                }
                if (auto failure = table.place()) {
                    return report::FolderFailure{options.csv, *failure};
                }
                return std::nullopt;
            });
        if (failure) {
            if (!report::interruption::interrupted()) {
                say(QStringLiteral("qadrill-report: %1: cannot be written: %2").arg(failure->path, failure->reason));
            }
            removeMade();
            return 1;
        }
        if (table.straight() && cannotBeWritten(options.csv, table.place())) {
            return 1;
        }
    }
    writing.reset(); // an interruption that waited for the outputs ends the program here
    // the system takes back the class's records at once; freed one by one, they take a tenth of a second
    std::fflush(nullptr);
    std::_Exit(0);
}
