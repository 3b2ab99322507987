#pragma once

// qadrill-report's command line: what it names, and what standard error says of it.

#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <vector>

namespace report::cli {

struct Options {
    QString output = QStringLiteral("report");
    QString csv;
    QString course;
    bool recursive = false;
    QStringList paths;
    std::vector<std::filesystem::path> fsPaths; // the same, as the system gave them: a name need not be UTF-8
};

// Reads the arguments into options; returns an exit status when the run ends here (help, version, a usage error).
std::optional<int> parseArguments(const QStringList& args, char* argv[], Options& options);

// A line on standard error, its control characters shown as escapes.
void say(const QString& text);
// Says what is wrong and how the program is used; returns the status of a usage error.
int usageError(const QString& text);

std::filesystem::path fsPath(const QString& path);
// The name under which the system finds what an output names: "-" is the standard output, which another name may name
// too ("/dev/stdout"); empty on Windows, which has no such name for it.
QString systemName(const QString& output);
// One page rather than a folder of them.
bool onePage(const QString& output);
bool sameFolder(const QString& a, const QString& b);
// A file that stands at the name given for the pages and is not a page.
bool neitherPageNorFolder(const QString& output);

} // namespace report::cli
