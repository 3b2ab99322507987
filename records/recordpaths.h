#pragma once

#include <QString>

namespace recordpaths {

// The default folder as the student sees it.
inline const QString defaultFolder = QStringLiteral("c:\\tavimora");

// The file-name part of the student's name: every blank, and every character that a file name cannot hold on
// Windows or Linux (\ / : * ? " < > | and control characters), becomes "_". A name that would make a file name of
// more than 255 bytes is cut to fit and ends in "~" and eight hex digits made from the whole name.
QString namePart(const QString& fullName);

// The three record paths, in the form the student sees: folder, backslash, file name. A folder written as a native
// path (starting with / or ~, off Windows) is followed by a slash instead, so that the file lies inside it.
QString masterFilePath(const QString& workFolder, const QString& fullName);
// The send file is named after the day the run started: month and day from a date text mm-dd-yyyy.
QString sendFilePath(const QString& workFolder, const QString& fullName, const QString& dateText);
QString notesFilePath(const QString& workFolder, const QString& fullName);

// The path in the file system. On Windows a record path is used as it stands; elsewhere a leading drive letter and
// colon stands for the home folder and backslashes become slashes, and a path that starts with / or ~ is native.
QString nativePath(const QString& recordPath);
QString nativePath(const QString& recordPath, const QString& homeFolder);

} // namespace recordpaths
