#include "report/read/classfiles.h"

#include "report/read/terminaltext.h"

#include "records/durablefile.h"
#include "report/pages/htmlreport.h"
#include "report/parallel.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <variant>

namespace fs = std::filesystem;

namespace report {

namespace {

QString nameOf(const fs::path& path) {
    return shownPath(path.filename());
}

// Folders that hold what a user deleted: the desktop's trash, and Windows' recycle bin on a shared disk.
bool isTrash(const QString& name) {
    return name == u".Trash" || name.startsWith(u".Trash-") || name == u"Trash" ||
           name.compare(u"$RECYCLE.BIN", Qt::CaseInsensitive) == 0 ||
           name.compare(u"RECYCLER", Qt::CaseInsensitive) == 0;
}

// Why a file or folder that is not a regular file is not read; empty when it is a regular file.
QString notARegularFile(const fs::path& path, std::error_code& error) {
    const fs::file_status link = fs::symlink_status(path, error);
    if (error) {
        return QStringLiteral("cannot be looked at: %1").arg(QString::fromStdString(error.message()));
    }
    const fs::file_status target = fs::is_symlink(link) ? fs::status(path, error) : link;
    if (fs::is_symlink(link) && (error || !fs::exists(target))) {
        error.clear();
        return QStringLiteral("a link to nothing");
    }
    switch (target.type()) {
    case fs::file_type::regular:
        return QString();
    case fs::file_type::fifo:
        return QStringLiteral("a FIFO");
    case fs::file_type::socket:
        return QStringLiteral("a socket");
    case fs::file_type::block:
    case fs::file_type::character:
        return QStringLiteral("a device");
    default:
        return QStringLiteral("not a file");
    }
}

// What an entry of a folder is, not following a link: as the folder's listing told it, where it told a file or a
// folder, else asked of the system.
fs::file_status listedStatus(const fs::directory_entry& entry, std::error_code& error) {
    if (!entry.is_symlink(error) && !error) {
        if (entry.is_regular_file(error)) {
            return fs::file_status(fs::file_type::regular);
        }
        if (!error && entry.is_directory(error)) {
            return fs::file_status(fs::file_type::directory);
        }
    }
    return fs::symlink_status(entry.path(), error);
}

class Walk {
public:
    Walk(bool recursive, ClassReader& reader, const std::vector<fs::path>& own, const std::vector<fs::path>& given)
        : m_recursive(recursive), m_reader(reader) {
        identify(own, m_own);
        // the folders given, which are read however a folder given above them is
        std::error_code error;
        std::vector<fs::path> folders;
        std::copy_if(given.begin(), given.end(), std::back_inserter(folders),
                     [&](const fs::path& path) { return fs::is_directory(path, error); });
        identify(folders, m_given);
    }

    void path(const fs::path& path) {
        std::error_code error;
        const fs::file_status link = fs::symlink_status(path, error);
        if (error || !fs::exists(link)) {
            m_reader.addIssue(shownPath(path), QStringLiteral("no such file or folder"));
        } else if (fs::is_directory(fs::status(path, error))) {
            const std::size_t before = m_files.size();
            if (folder(path, isOwn(path, false)) && m_files.size() == before) {
                m_reader.addIssue(
                    shownPath(path),
                    m_recursive
                        ? QStringLiteral("no send_*.txt or masterFile_*.txt file in this folder "
                                         "or below it")
                        : QStringLiteral("no send_*.txt or masterFile_*.txt file in this folder%1")
                              .arg(m_subfolders ? QStringLiteral(" (-r reads its subfolders too)") : QString()));
            }
        } else if (const QString reason = notARegularFile(path, error); !reason.isEmpty()) {
            m_reader.addNotRead(shownPath(path), reason);
        } else {
            add(path);
        }
    }

    std::vector<InputFile> files() { return std::move(m_files); }

private:
    // A folder of the report's own pages is read as any other, but for the pages and the report's working folder. A
    // folder met again, given twice or given below one read with -r, is read once: false then.
    bool folder(const fs::path& dir, bool ofPages = false) {
        if (const std::optional<durablefile::FileId> id = durablefile::fileId(dir);
            id && !m_walked.insert(*id).second) {
            return false;
        }
        std::error_code error;
        std::vector<fs::directory_entry> entries;
        for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
            entries.push_back(*it);
        }
        if (error) {
            m_reader.addNotRead(shownPath(dir), QString::fromStdString(error.message()));
        }
        // by name: the entries of one folder differ in their last part only
        std::sort(entries.begin(), entries.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
            return a.path().native() < b.path().native();
        });
        for (const fs::directory_entry& dirEntry : entries) {
            const fs::path& entry = dirEntry.path();
            const QString name = nameOf(entry);
            if (ofPages && isPageName(name)) {
                continue;
            }
            // the kind the folder's listing told, where it told one: a file, as a rule, is looked at once, when read
            const fs::file_status link = listedStatus(dirEntry, error);
            if (!error && fs::is_directory(link)) {
                m_subfolders = true;
                if (isTrash(name)) {
                    m_reader.addNotRead(shownPath(entry), QStringLiteral("a trash folder, not entered"));
                } else if (name.startsWith(u'.')) {
                    m_reader.addNotRead(shownPath(entry), QStringLiteral("a hidden folder, not entered"));
                } else if (!m_recursive) {
                    // the report's own folder of pages is passed over, as it is under -r, and a folder given too
                    if (!isOwn(entry) && !among(m_given, entry)) {
                        m_reader.addNotRead(shownPath(entry),
                                            QStringLiteral("a folder; -r reads the folders below too"));
                    }
                } else {
                    folder(entry, isOwn(entry));
                }
                continue;
            }
            if (const QString reason = fs::is_regular_file(link) ? QString() : notARegularFile(entry, error);
                !reason.isEmpty()) {
                if (!fs::is_symlink(link) || !fs::is_directory(fs::status(entry, error))) {
                    m_reader.addNotRead(shownPath(entry), reason);
                } else {
                    m_reader.addNotRead(shownPath(entry), QStringLiteral("a link to a folder, not entered"));
                }
                continue;
            }
            const FileName file = classify(name);
            // the report's own table or page, where its name is no record file's: one that is would be refused
            if ((name.startsWith(u'.') || file.role == FileRole::Other) && isOwn(entry)) {
                continue;
            }
            if (name.startsWith(u'.')) {
                m_reader.addNotRead(shownPath(entry), QStringLiteral("a hidden file"));
            } else if (file.role == FileRole::Notes) {
                m_reader.addNotRead(shownPath(entry),
                                    QStringLiteral("a notes file; its notes are in the send and master files"));
            } else if (file.role == FileRole::Other) {
                m_reader.addNotRead(shownPath(entry), QStringLiteral("the name is not a record file's"));
            } else {
                add(entry);
            }
        }
        return true;
    }

    // A file met again, by another name or through a link, is read once: told apart as it is read.
    void add(const fs::path& path) { m_files.push_back({path, shownPath(path), std::nullopt}); }

    // The report's own output. In a folder it is looked up only where a name is the same, so that a folder is not
    // looked at entry by entry; a path given may name it by any name.
    bool isOwn(const fs::path& entry, bool sameName = true) const { return among(m_own, entry, sameName); }

    using Named = std::vector<std::pair<fs::path::string_type, durablefile::FileId>>;
    // The paths that stand, by their last name and their identity.
    static void identify(const std::vector<fs::path>& paths, Named& named) {
        for (const fs::path& path : paths) {
            if (const std::optional<durablefile::FileId> id = durablefile::fileId(path)) {
                named.push_back({path.filename().native(), *id});
            }
        }
    }
    static bool among(const Named& list, const fs::path& entry, bool sameName = true) {
        std::optional<durablefile::FileId> id;
        for (const auto& [name, listed] : list) {
            if (sameName && name != entry.filename().native()) {
                continue;
            }
            id = id ? id : durablefile::fileId(entry);
            if (id == listed) {
                return true;
            }
        }
        return false;
    }

    bool m_recursive;
    ClassReader& m_reader;
    Named m_own;
    Named m_given;
    std::vector<InputFile> m_files;
    std::set<durablefile::FileId> m_walked; // the folders read
    bool m_subfolders = false;
};

} // namespace

QString shownPath(const fs::path& path) {
#ifdef Q_OS_WIN
    return QString::fromStdU16String(path.u16string());
#else
    return shownFileName(QByteArray::fromStdString(path.native()));
#endif
}

std::vector<InputFile> findInputs(const std::vector<fs::path>& paths, bool recursive, ClassReader& reader,
                                  const std::vector<fs::path>& own) {
    Walk walk(recursive, reader, own, paths);
    for (const fs::path& path : paths) {
        walk.path(path);
    }
    return walk.files();
}

namespace {

// The bytes of a file, or why they cannot be read: it cannot be, or it is too large for a record file. A file
// whose size is past the limit is refused on its size, unread; one that grows while it is read (or has no size to tell)
// is read up to the limit, never further.
std::variant<QByteArray, QString> readFile(InputFile& file) {
    durablefile::WholeFile whole = durablefile::readWhole(file.path, largestRecordFile);
    file.id = whole.id;
    switch (whole.status) {
    case durablefile::WholeFile::Status::Read:
        return std::move(whole.bytes);
    case durablefile::WholeFile::Status::NotOpened:
        return QStringLiteral("cannot be opened: %1").arg(whole.reason);
    case durablefile::WholeFile::Status::NotRead:
        return QStringLiteral("cannot be read: %1").arg(whole.reason);
    case durablefile::WholeFile::Status::TooLarge:
        break;
    }
    return QStringLiteral("%1 MB, more than any record file holds (at most %2 MB)")
        .arg(whole.size / (1024 * 1024))
        .arg(largestRecordFile / (1024 * 1024));
}

} // namespace

qsizetype readInputs(std::vector<InputFile>& inputs, ClassReader& reader) {
    struct FileRead {
        QString notRead; // why the file was not read; empty when it was
        ClassReader::FileRuns runs;
        std::exception_ptr failure; // what stopped the reading, to be thrown where the reader takes it
        bool done = false;
    };
    // a file read is told under a lock: the waits of std::atomic lose a wake-up in some standard libraries
    // (MinGW's of GCC 12), and the reader would wait for ever
    std::mutex readyLock;
    std::condition_variable ready;
    std::size_t awaited = 0; // the file this thread waits for, under the lock: only its reader wakes it
    std::vector<FileRead> read(inputs.size());
    std::vector<FileName> names; // on this thread: see ClassReader::prepare
    names.reserve(inputs.size());
    for (const InputFile& input : inputs) {
        names.push_back(classify(QFileInfo(input.shown).fileName())); // as the reader names the file
    }
    // Each file is read on its own, at once with others, the texts that recur kept once by each worker; meanwhile
    // this thread gives the reader each file that is read, in the order they were found.
    std::vector<recordreader::SharedTexts> shared(parallel::workers());
    const auto readAll = [&] {
        parallel::forEach(inputs.size(), [&](std::size_t i, std::size_t worker) {
            FileRead& file = read[i];
            try {
                std::variant<QByteArray, QString> bytes = readFile(inputs[i]);
                if (const QString* reason = std::get_if<QString>(&bytes)) {
                    file.notRead = *reason;
                } else {
                    const QByteArray& content = std::get<QByteArray>(bytes);
                    file.runs = ClassReader::prepare(inputs[i].shown, names[i], content.isEmpty(),
                                                     recordreader::readBytes(content, &shared[worker]));
                }
            } catch (...) {
                file.failure = std::current_exception();
            }
            bool wake = false;
            {
                const std::lock_guard lock(readyLock);
                file.done = true;
                wake = i == awaited;
            }
            if (wake) {
                ready.notify_one();
            }
        });
    };
    std::thread reading;
    try {
        reading = std::thread(readAll);
    } catch (const std::system_error&) {
        readAll(); // the system has no thread to spare: every file is read first, then given
    }
    qsizetype filesRead = 0;
    std::exception_ptr failure;
    std::map<durablefile::FileId, std::size_t> seen; // the first input of each file
    std::set<fs::path::string_type> unknown;         // files the system could not tell the identity of
    const auto waitFor = [&](std::size_t k) {
        std::unique_lock lock(readyLock);
        awaited = k;
        ready.wait(lock, [&] { return read[k].done; });
    };
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        FileRead& file = read[i];
        // files come a batch at a time: woken for each, this thread would take a processor from the readers as often
        if (i % 32 == 0) {
            waitFor(std::min(i + 32, inputs.size()) - 1);
        }
        waitFor(i);
        const std::optional<durablefile::FileId>& id = inputs[i].id;
        const auto first = id ? seen.try_emplace(*id, i) : std::pair{seen.end(), true};
        if (!(id ? first.second : unknown.insert(inputs[i].path.native()).second)) {
            // met before, through a link or given twice; under another student's name it is told, lest that student
            // seem to have handed in nothing
            const auto student = [&](std::size_t k) { return nameKey(names[k].student); };
            if (id && student(first.first->second) != student(i)) {
                reader.addNotRead(inputs[i].shown, QStringLiteral("the same file as %1 (a link, or another name for "
                                                                  "it): read once, as that one")
                                                       .arg(inputs[first.first->second].shown));
            }
            continue;
        }
        if (file.failure || failure) {
            failure = failure ? failure : file.failure;
        } else if (!file.notRead.isEmpty()) {
            reader.addNotRead(inputs[i].shown, file.notRead);
        } else {
            reader.add(std::move(file.runs));
            ++filesRead;
        }
    }
    if (reading.joinable()) {
        reading.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    return filesRead;
}

} // namespace report
