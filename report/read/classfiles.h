#pragma once

#include "records/durablefile.h"
#include "report/read/classrecords.h"

#include <QByteArray>
#include <QString>

#include <filesystem>
#include <optional>
#include <vector>

// The files a class's PATHs name: which are read, and for every other file or folder met there the reason it is not.
namespace report {

// The largest record file read. A master file holding a whole course, its 6 assignments each run 20 times over with a
// 10,000-character response to each of the document's 100 questions and given answers, is about 22 MB; a file larger
// than three times that was not written by the drill program, and reading it whole would take five times its size in
// memory. Its size is told instead; one that has no size to tell is read no further than the limit.
inline constexpr qint64 largestRecordFile = qint64(64) * 1024 * 1024;

struct InputFile {
    std::filesystem::path path;
    QString shown; // the path as standard error and the page show it, a byte that is not UTF-8 as \xNN
    std::optional<durablefile::FileId> id; // what the system knows the file by, where it tells; found as it is read
};

// The path as shown: UTF-8, with every other byte as \xNN.
QString shownPath(const std::filesystem::path& path);

// The files to read under the PATHs, in the order given (a folder's in the order of their names). A file
// named as a PATH is read whatever its name; in a folder, the send and master files are, also under a name a course
// platform prefixed. With recursive, the folders below are read too, but for hidden and trash folders. Everything
// else met is told to the reader as not read, with the reason.
// What the report writes is passed over in silence where a folder holds it: its folder of pages or its table.
std::vector<InputFile> findInputs(const std::vector<std::filesystem::path>& paths, bool recursive, ClassReader& reader,
                                  const std::vector<std::filesystem::path>& own = {});

// Reads the files and gives each to the reader, in their order, each once: a file met again by another name or through
// a link is left out. A file that cannot be read, or is too large for a record file, is told to it as not read, with
// the reason. Each input's identity is known after. Returns the number of files read.
qsizetype readInputs(std::vector<InputFile>& inputs, ClassReader& reader);

} // namespace report
