#include "report/commandline.h"

#include "records/durablefile.h"
#include "report/out/reportfile.h"
#include "report/read/terminaltext.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace report::cli {

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

bool namedAsAPage(const QString& name) {
    return name.endsWith(u".html", Qt::CaseInsensitive) || name.endsWith(u".htm", Qt::CaseInsensitive);
}

bool sameFile(const QString& a, const QString& b) {
    // a pipe or a terminal is one file by its identity, which the standard library does not compare
    const QString first = systemName(a);
    if (QFileInfo(first).canonicalFilePath() == u"/dev/null") {
        return false; // the null device takes both at once
    }
    const auto id = durablefile::fileId(fsPath(first));
    return id && id == durablefile::fileId(fsPath(systemName(b)));
}

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

} // namespace

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

QString systemName(const QString& output) {
#ifdef Q_OS_WIN
    return output == u"-" ? QString() : output;
#else
    return output == u"-" ? QStringLiteral("/dev/stdout") : output;
#endif
}

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
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
    // by the path, by the file, or by where a link leads, though nothing stands there yet
    const auto leadsTo = [](const QString& path) {
        const QString target = outputTarget(path);
        return QDir::cleanPath(QFileInfo(target.isEmpty() ? path : target).absoluteFilePath());
    };
    if (!options.csv.isEmpty() &&
        (sameFile(options.output, options.csv) || leadsTo(options.output) == leadsTo(options.csv))) {
        return usageError(QStringLiteral("the page and the table cannot be one file"));
    }
    return std::nullopt;
}

} // namespace report::cli
