#pragma once

#include "records/durablefile.h"
#include "report/out/interruption.h"

#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>

namespace report {

// Writes a page or a table where the user named it, never replacing what is not the report's:
// - "-" and /dev/stdout are standard output, and a device, a FIFO or a pipe is written straight through;
// - a symbolic link is followed, and what it names is written as below, unless refusedTarget refuses it;
// - a regular file, or a new one, is written whole into a file beside it first and then renamed over it, so that a
//   reader never sees half of it and a failure leaves the old one. A new file gets the mode the umask allows, a file
//   made again keeps its own mode and owner. Not synced to disk: it is made again from the record files in a moment.
// The reason when it fails, as the system gives it ("No space left on device").
std::optional<QString> writeReportFile(const QString& path, const std::function<bool(QIODevice&)>& write);

// writeReportFile in two steps, so that a table stands written before a folder of pages is replaced and takes its
// place only once the folder did: stage() writes the file beside its target, place() puts it there. Where it is
// written straight through, place() writes it. One never placed is removed; an interruption waits for that.
class StagedFile {
public:
    StagedFile() = default;
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    std::optional<QString> stage(const QString& path, const std::function<bool(QIODevice&)>& write);
    std::optional<QString> place();
    // Written straight through by place(), where nothing could be made beside it (a pipe, a device).
    bool straight() const { return static_cast<bool>(m_write); }
    // Removes what stage() made, as the destructor would.
    void discard();

private:
    std::optional<interruption::Deferred> m_deferred; // from the staging on
    QString m_straight;                               // the path written by place(), where nothing is made beside it
    std::function<bool(QIODevice&)> m_write;
    QString m_made;
    QString m_target;
};

// Writes a new file at path, which must not stand yet, with the mode the umask allows or, where it will replace a file,
// that file's mode and owner. A file that fails is removed again.
std::optional<QString> writeNew(const QString& path, const durablefile::Standing& replacing,
                                const std::function<bool(QIODevice&)>& write);

// The path that writing would replace: the last target of a chain of symbolic links, or the path itself; empty where
// a link leads to a name with a byte that is no UTF-8, which the report refuses (linkBeyondUtf8 says why).
QString outputTarget(const QString& path);
inline const QString linkBeyondUtf8 =
    QStringLiteral("it is a link to a name with a byte that is no UTF-8, which the report cannot write under");

// Why the report never writes at a target (as outputTarget gives it), or none: it is named as a student's record or
// notes file, so that no link, however it was made, turns the report's output into the loss of a student's work.
std::optional<QString> refusedTarget(const QString& target);

} // namespace report
