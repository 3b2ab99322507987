#pragma once

#include <QString>

namespace recordpaths {

// The default folder as the student sees it.
inline const QString defaultFolder = QStringLiteral("c:\\tavimora");

// The file-name part of the student's name: every blank, and every character that a file name cannot hold on
// Windows or Linux (\ / : * ? " < > | and control characters), becomes "_". A name that would make a file name of
// more than 255 bytes is cut to fit and ends in "~" and eight hex digits made from the whole name.
QString namePart(const QString& fullName);
// The same within a file name whose other characters take frameBytes; the same as above for any ordinary name.
QString namePart(const QString& fullName, qsizetype frameBytes);

// The three record paths, in the form the student sees: folder, backslash, file name. A folder written as a native
// path (starting with / or ~, off Windows) is followed by a slash instead, so that the file lies inside it.
QString masterFilePath(const QString& workFolder, const QString& fullName);
// The send file is named after the day the run started: month and day from a date text mm-dd-yyyy.
QString sendFilePath(const QString& workFolder, const QString& fullName, const QString& dateText);
QString notesFilePath(const QString& workFolder, const QString& fullName);

// The file that keeps what the student typed and did not enter, beside the record files.
QString unsentFilePath(const QString& workFolder, const QString& fullName);

// Each run saves the answer box to a draft of its own, hidden beside the record files: ".unsent_", the name part, a
// point, the run's id, ".draft". The draft's lock file adds ".lock". Room is left for a run id of 32 characters.
inline const QString draftSuffix = QStringLiteral(".draft");
inline constexpr qsizetype draftFrameBytes = 8 + 1 + 32 + 6 + 5;
// The start of every draft's file name for this name.
QString draftPrefix(const QString& fullName);
QString draftPath(const QString& workFolder, const QString& fullName, const QString& runId);

// The path in the file system. On Windows a record path is used as it stands; elsewhere a leading drive letter and
// colon stands for the home folder and backslashes become slashes, and a path that starts with / or ~ is native.
QString nativePath(const QString& recordPath);
QString nativePath(const QString& recordPath, const QString& homeFolder);

} // namespace recordpaths
