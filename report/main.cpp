#include "records/durablefile.h"
#include "report/classview.h"
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
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <optional>
#include <set>

namespace {

const char* const usage =
    "Usage: qadrill-report [-o FOLDER | -o PAGE.html] [--csv RATINGS.csv] [--course FILE] [-r] PATH...\n";

const char* const help =
    "\n"
    "Reads the record files of a class, as the drill program writes them, and writes a folder of pages that show\n"
    "what every student did on every question: index.html, per assignment the class's spread of both ratings on\n"
    "each question and a grid of students by questions with both ratings and the cells that need you marked; a page\n"
    "per assignment with each student's responses, ratings, self-critiques and notes question by question; and a\n"
    "page per student, each response beside its self-critique, with a chart of their confidence ratings against\n"
    "their self-critique ratings. The folder can be zipped and opened anywhere.\n"
    "\n"
    "A PATH is a send file (send_MMDD<name>.txt), a master file (masterFile_<name>.txt), or a folder, in which\n"
    "those files are read, also under a name that a course platform put something before. Every other file met\n"
    "is listed as not read, with the reason; under -r, hidden and trash folders are not entered. A student's master\n"
    "file and send files hold the same runs: each response and note is shown once. The student is known by the\n"
    "name in the file name; names that differ only in letter case, \"_\" for a blank, or a copy or resubmission\n"
    "suffix such as \" (1)\", \"-1\" or \" - Copy\" are one. Ratings that read as a number from 0 to 3 (\"3.0\",\n"
    "\"+3\") count.\n"
    "A file larger than 64 MB is not read: a master file holding a whole course is about 22 MB.\n"
    "\n"
    "Options:\n"
    "  -o, --output FOLDER\n"
    "                     the folder of pages to write (default: report), made if it is not there; the pages\n"
    "                     need no network and run no script. Pages an earlier report left there are removed;\n"
    "                     nothing else in the folder is touched\n"
    "  -o, --output PAGE.html\n"
    "                     instead everything in one page, as for a small class: a name ending in .html or .htm\n"
    "                     that is not a folder, - for standard output, or a device or a FIFO\n"
    "      --csv FILE     also write a table for a spreadsheet: one row per student and question, with both\n"
    "                     ratings and their times\n"
    "      --course FILE  the course document the students worked through, for its question texts (default: the\n"
    "                     course the drill carries)\n"
    "  -r, --recursive    read the record files in the subfolders of a folder too\n"
    "  -h, --help         show this help\n"
    "      --version      show the version\n"
    "\n"
    "Problems in the files are reported on standard error as FILE:LINE: message, control characters shown as\n"
    "\\xNN or <U+XXXX>, and listed at the end of the index; everything else in the files is still read. The\n"
    "program writes nothing but the pages and the table, and never over one of its input files. A page or table\n"
    "that stands already is replaced whole and keeps its mode; a symbolic link is followed; a device, a FIFO, a\n"
    "pipe or - is written straight through. A folder's pages are all written before any is put in place: a\n"
    "failure leaves the earlier report there as it was.\n"
    "\n"
    "Exit status: 0 when the report was written; 1 when no record could be read, or the report could not be\n"
    "written; 2 for a usage error.\n";

// Standard error shows what files hold and what their names are: never a control character as it stands.
void say(const QString& text) {
    std::fputs(report::terminalText(text).toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

int usageError(const QString& text) {
    say(QStringLiteral("qadrill-report: ") + text);
    std::fputs(usage, stderr);
    std::fputs("Try 'qadrill-report --help' for more.\n", stderr);
    return 2;
}

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

bool sameFile(const QString& a, const QString& b) {
    std::error_code error;
    return std::filesystem::equivalent(fsPath(a), fsPath(b), error) && !error;
}

bool cannotBeWritten(const QString& path, const std::optional<QString>& failure) {
    if (failure && !report::interruption::interrupted()) { // an interruption is no failure to tell
        say(QStringLiteral("qadrill-report: %1: cannot be written: %2").arg(path, *failure));
    }
    return failure.has_value();
}

bool namedAsAPage(const QString& name) {
    return name.endsWith(u".html", Qt::CaseInsensitive) || name.endsWith(u".htm", Qt::CaseInsensitive);
}

// One page rather than a folder of them: standard output, a name that ends as a page's does (or a link to one), or a
// device or a FIFO that stands there. Any other file is neither, and is not written over: it may be a table or a
// student's record file given by mistake.
bool onePage(const QString& output) {
    const QFileInfo info(output);
    if (output == u"-" || durablefile::kindOf(output) == durablefile::Kind::Other) {
        return true;
    }
    return !info.isDir() && (namedAsAPage(output) || (info.isSymLink() && namedAsAPage(info.symLinkTarget())));
}

// The same folder, by its path or, where both stand, as the system finds it.
bool sameFolder(const QString& a, const QString& b) {
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (QDir::cleanPath(first.absoluteFilePath()) == QDir::cleanPath(second.absoluteFilePath())) {
        return true;
    }
    const QString canonical = first.canonicalFilePath();
    return !canonical.isEmpty() && canonical == second.canonicalFilePath();
}

// A file that stands at the name given for the pages and is not a page: the report would replace it with a folder.
bool neitherPageNorFolder(const QString& output) {
    const QFileInfo info(output);
    return info.isFile() && !onePage(output);
}

struct Options {
    QString output = QStringLiteral("report");
    QString csv;
    QString course;
    bool recursive = false;
    QStringList paths;
    std::vector<std::filesystem::path> fsPaths; // the same, as the system gave them: a name need not be UTF-8
};

// A name given with a byte that is no UTF-8 is read with U+FFFD in its place: written under that name, the report
// would go to another file than the one named, and be told as written.
bool lostAByte(const QString& name, qsizetype argc, char* argv[]) {
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    Q_UNUSED(name);
    return false;
#else
    if (!name.contains(QChar(QChar::ReplacementCharacter))) {
        return false;
    }
    for (qsizetype i = 1; i < argc; ++i) {
        if (std::strstr(argv[i], "\xEF\xBF\xBD")) { // the character itself, as given
            return false;
        }
    }
    return true;
#endif
}

// Parses the arguments; returns an exit status when the run ends here.
std::optional<int> parseArguments(const QStringList& args, char* argv[], Options& options) {
    bool onlyPaths = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (onlyPaths || arg == u"-" || !arg.startsWith(u'-')) {
            options.paths << arg;
#ifdef Q_OS_WIN
            Q_UNUSED(argv);
            options.fsPaths.push_back(fsPath(arg));
#else
            options.fsPaths.emplace_back(argv[i]);
#endif
            continue;
        }
        const auto value = [&](const QString& option) -> std::optional<QString> {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                usageError(QStringLiteral("%1 needs a file name").arg(option));
                return std::nullopt;
            }
            return args[++i];
        };
        if (arg == u"--") {
            onlyPaths = true;
        } else if (arg == u"-h" || arg == u"--help") {
            std::fputs(usage, stdout);
            std::fputs(help, stdout);
            return 0;
        } else if (arg == u"--version") {
            std::printf("qadrill-report %s\n", QADRILL_VERSION);
            return 0;
        } else if (arg == u"-r" || arg == u"--recursive") {
            options.recursive = true;
        } else if (arg == u"-o" || arg == u"--output" || arg == u"--csv" || arg == u"--course") {
            const auto file = value(arg);
            if (!file) {
                return 2;
            }
            (arg == u"--csv" ? options.csv : arg == u"--course" ? options.course : options.output) = *file;
        } else if (arg.startsWith(u"--output=") || arg.startsWith(u"--csv=") || arg.startsWith(u"--course=")) {
            const QString file = arg.mid(arg.indexOf(u'=') + 1);
            if (file.isEmpty()) {
                return usageError(QStringLiteral("%1 needs a file name").arg(arg.chopped(1)));
            }
            (arg.startsWith(u"--csv")      ? options.csv
             : arg.startsWith(u"--course") ? options.course
                                           : options.output) = file;
        } else if (arg.startsWith(u"-o") && arg.size() > 2) {
            options.output = arg.mid(2);
        } else {
            return usageError(QStringLiteral("unknown option %1").arg(arg));
        }
    }
    if (options.output.isEmpty()) {
        return usageError(QStringLiteral("the page needs a file name"));
    }
    // a folder of pages is written by full paths, which such a working folder's name cannot be part of
    if (QDir::isRelativePath(options.output) && !onePage(options.output) &&
        QDir::currentPath().contains(QChar(QChar::ReplacementCharacter))) {
        return usageError(QStringLiteral("%1: the working folder's name holds a byte that is no UTF-8, and a folder "
                                         "of pages cannot be written below it; give a full path elsewhere")
                              .arg(options.output));
    }
    for (const QString& output : {options.output, options.csv}) {
        if (lostAByte(output, args.size(), argv)) {
            return usageError(QStringLiteral("%1: the name holds a byte that is no UTF-8, and the report cannot be "
                                             "written under it; give it another name")
                                  .arg(output));
        }
    }
    if (options.paths.isEmpty()) {
        return usageError(QStringLiteral("no PATH given: name record files or folders that hold them"));
    }
    if (!options.csv.isEmpty() &&
        (sameFile(options.output, options.csv) ||
         QFileInfo(options.output).absoluteFilePath() == QFileInfo(options.csv).absoluteFilePath())) {
        return usageError(QStringLiteral("the page and the table cannot be one file"));
    }
    return std::nullopt;
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
        const auto id = durablefile::fileId(fsPath(path));
        return id && inputIds.count(*id) > 0;
    };
    for (const QString& output : {options.output, options.csv}) {
        if (!output.isEmpty() && output != u"-" && isInput(output)) {
            return usageError(
                QStringLiteral("%1 is one of the files to read; the report is not written over it").arg(output));
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
