#include "course/preview.h"
#include "problems/coursecheck.h"
#include "report/read/terminaltext.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cstdio>

namespace {

const char* const usage = "Usage: qadrill-course check FILE\n"
                          "       qadrill-course preview FILE -o FOLDER\n";

const char* const help =
    "\n"
    "Checks a course document, written in the form of the drill's own problem document, for everything that would\n"
    "make the drill show or record it otherwise than its author means, and previews it as a student steps through\n"
    "it.\n"
    "\n"
    "Commands:\n"
    "  check FILE         reports each problem as FILE:LINE:COLUMN: error: ... or warning: ... on standard error,\n"
    "                     lines numbered as an editor numbers them, and what each assignment holds on standard\n"
    "                     output\n"
    "  preview FILE       writes index.html and a page per assignment: each press of Next Question / Answer with\n"
    "                     exactly the text the question box receives and the rating a response asks for, and each\n"
    "                     problem that check finds at the press that reads its line\n"
    "\n"
    "Options:\n"
    "  -o, --output FOLDER\n"
    "                     the folder of the preview's pages, made if it is not there\n"
    "  -q, --quiet        check: no summary of the assignments\n"
    "      --title        check: print the course's title only: a \"# Course: title\" comment before the first\n"
    "                     store line, else the file's name without its extension\n"
    "  -h, --help         show this help\n"
    "      --version      show the version\n"
    "\n"
    "Exit status: 0 when the course is clean; 1 when there are warnings only; 2 when there are errors, which the\n"
    "build of a drill that carries the course stops at; 3 for a usage error or a file that cannot be read or\n"
    "written.\n";

void say(const QString& text) {
    std::fputs(report::terminalText(text).toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

int usageError(const QString& text) {
    say(QStringLiteral("qadrill-course: ") + text);
    std::fputs(usage, stderr);
    std::fputs("Try 'qadrill-course --help' for more.\n", stderr);
    return 3;
}

void printSummary(const coursecheck::Result& result) {
    const QLocale locale(QLocale::English);
    std::printf("%s\n", report::terminalText(QStringLiteral("Course: ") + result.title).toLocal8Bit().constData());
    for (const coursecheck::AssignmentSummary& a : result.assignments) {
        const QString optional =
            a.optionalQuestions ? QStringLiteral(" (and %1 optional)").arg(a.optionalQuestions) : QString();
        const QString line = QStringLiteral("%1: %2 questions%3, %4 given answers, %5 text blocks, %6 characters; "
                                            "store lines %7 to %8")
                                 .arg(a.heading)
                                 .arg(a.questions)
                                 .arg(optional)
                                 .arg(a.answers)
                                 .arg(a.texts)
                                 .arg(locale.toString(a.characters))
                                 .arg(a.headingStoreLine)
                                 .arg(a.lastStoreLine);
        std::printf("%s\n", report::terminalText(line).toLocal8Bit().constData());
    }
    std::printf("%d store lines of %d\n", static_cast<int>(result.document.lines.size()), lastLineIndex);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QString command;
    QString file;
    QString output;
    bool quiet = false;
    bool titleOnly = false;
    bool onlyFiles = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (onlyFiles || !arg.startsWith(u'-') || arg == u"-") {
            if (command.isEmpty()) {
                command = arg;
            } else if (file.isEmpty()) {
                file = arg;
            } else {
                return usageError(QStringLiteral("one course file only"));
            }
        } else if (arg == u"--") {
            onlyFiles = true;
        } else if (arg == u"-h" || arg == u"--help") {
            std::fputs(usage, stdout);
            std::fputs(help, stdout);
            return 0;
        } else if (arg == u"--version") {
            std::printf("qadrill-course %s\n", QADRILL_VERSION);
            return 0;
        } else if (arg == u"-q" || arg == u"--quiet") {
            quiet = true;
        } else if (arg == u"--title") {
            titleOnly = true;
        } else if (arg == u"-o" || arg == u"--output") {
            if (i + 1 >= args.size()) {
                return usageError(QStringLiteral("%1 needs a folder").arg(arg));
            }
            output = args[++i];
        } else if (arg.startsWith(u"--output=")) {
            output = arg.mid(9);
        } else if (arg.startsWith(u"-o") && arg.size() > 2) {
            output = arg.mid(2);
        } else {
            return usageError(QStringLiteral("unknown option %1").arg(arg));
        }
    }
    if (command != u"check" && command != u"preview") {
        return usageError(command.isEmpty() ? QStringLiteral("no command given")
                                            : QStringLiteral("unknown command %1").arg(command));
    }
    if (file.isEmpty()) {
        return usageError(QStringLiteral("no course file given"));
    }
    if (command == u"preview" && output.isEmpty()) {
        return usageError(QStringLiteral("preview needs -o FOLDER"));
    }

    QFile in(file);
    if (file == u"-" ? !in.open(stdin, QIODevice::ReadOnly) : !in.open(QIODevice::ReadOnly)) {
        say(QStringLiteral("qadrill-course: %1: cannot be read: %2").arg(file, in.errorString()));
        return 3;
    }
    coursecheck::Result result = coursecheck::check(in.readAll());
    if (result.title.isEmpty()) {
        result.title = QFileInfo(file).completeBaseName();
    }
    if (titleOnly) {
        std::printf("%s\n", result.title.toUtf8().constData());
        return 0;
    }
    for (const coursecheck::Finding& finding : result.findings) {
        say(coursecheck::formatFinding(file, finding));
    }
    const int errors = result.count(coursecheck::Severity::Error);
    const int warnings = result.count(coursecheck::Severity::Warning);
    if (errors + warnings > 0) {
        say(QStringLiteral("%1: %2 errors, %3 warnings").arg(file).arg(errors).arg(warnings));
    }
    if (command == u"check" && !quiet) {
        printSummary(result);
    }
    if (command == u"preview") {
        QString error;
        if (!coursepreview::writePreview(result, file, output, &error)) {
            say(QStringLiteral("qadrill-course: ") + error);
            return 3;
        }
    }
    return errors ? 2 : warnings ? 1 : 0;
}
