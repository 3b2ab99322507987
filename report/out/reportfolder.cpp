#include "report/out/reportfolder.h"

#include "records/durablefile.h"
#include "report/out/interruption.h"
#include "report/out/reportfile.h"
#include "report/parallel.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>

namespace report {

namespace {

// A page and the path it replaces: its name in the folder, or what a link there names; and whether a file stood
// there, which a roll-back puts back, or none, in whose place a page put there is removed.
struct Placing {
    QString name;
    QString target;
    bool stood = true;
};

class WorkFolder {
public:
    explicit WorkFolder(const QDir& folder) : m_path(folder.filePath(QStringLiteral(".qadrill-report.tmp"))) {}
    QString path() const { return m_path; }
    QString made(const QString& name) const { return m_path + QStringLiteral("/new/") + name; }
    QString aside(const QString& name) const { return m_path + QStringLiteral("/old/") + name; }
    QString plan() const { return m_path + QStringLiteral("/plan"); }
    QString kept() const { return m_path + QStringLiteral("/kept"); }
    void remove() const {
        // the earlier report's pages, put aside, are the most of it: removed on every processor
        const QStringList aside = QDir(m_path + QStringLiteral("/old")).entryList(QDir::Files | QDir::Hidden);
        parallel::forEach(static_cast<std::size_t>(aside.size()), [&](std::size_t i, std::size_t) {
            QFile::remove(m_path + QStringLiteral("/old/") + aside[static_cast<qsizetype>(i)]);
        });
        QDir(m_path).removeRecursively();
    }

private:
    QString m_path;
};

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

// The plan of a swap, a line per page in the order they are put in place: its name, percent-encoded so that any name
// keeps to its line, and whether a file stood in its place. The places are found again from the names, in the folder
// the plan lies in, wherever that folder was copied or moved since.
QByteArray planText(const std::vector<Placing>& placings) {
    QByteArray text;
    for (const Placing& p : placings) {
        text += p.name.toUtf8().toPercentEncoding() + (p.stood ? "\t1\n" : "\t0\n");
    }
    return text;
}

std::vector<Placing> readPlan(const QString& path, const QDir& folder) {
    QFile file(path);
    std::vector<Placing> placings;
    if (!file.open(QIODevice::ReadOnly)) {
        return placings;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        const QString name = QString::fromUtf8(QByteArray::fromPercentEncoding(line.left(tab)));
        // only a page's own name in the folder: a plan that came from elsewhere or was damaged reaches nothing else
        if (tab > 0 && isPageName(name) && !name.contains(u'/') && !name.contains(u'\\') &&
            name != u".qadrill-report.tmp" && name != u".qadrill-report.lock") {
            // a plan of an earlier version names the place instead: it says nothing of what stood there, and the
            // roll-back goes by what it finds, as that version's did
            placings.push_back({name, outputTarget(folder.absoluteFilePath(name)), line.mid(tab + 1) == "1"});
        }
    }
    return placings;
}

// The names of the pages of the report that the folder holds now, kept while the earlier report's other pages are
// removed: a run stopped meanwhile leaves them, and the next run removes the rest first.
QByteArray namesText(const std::set<QString>& names) {
    QByteArray text;
    for (const QString& name : names) {
        text += name.toUtf8().toPercentEncoding() + '\n';
    }
    return text + ".\n"; // the end: a list cut short names too few, and would take pages away
}

// The names, or none when the list is not whole.
std::set<QString> readNames(const QString& path) {
    QFile file(path);
    std::set<QString> names;
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!text.endsWith("\n.\n") && text != ".\n") {
        return names;
    }
    for (const QByteArray& line : text.chopped(2).split('\n')) {
        if (!line.isEmpty()) {
            names.insert(QString::fromUtf8(QByteArray::fromPercentEncoding(line)));
        }
    }
    return names;
}

// Undoes a swap, the last page first: a page put aside takes its name again, a page put where none stood goes, and a
// page still among the new ones was never moved; a page put back before, by a roll-back that was stopped, stays. The
// plan goes once all are back, before anything else, so that no later run undoes the swap twice. False when something
// could not be put back.
bool rollBack(const WorkFolder& work, const std::vector<Placing>& placings) {
    bool whole = true;
    for (auto p = placings.rbegin(); p != placings.rend(); ++p) {
        if (QFileInfo::exists(work.aside(p->name))) {
            whole = !durablefile::replaceKeeping(work.aside(p->name), p->target) && whole;
        } else if (!p->stood && !QFileInfo::exists(work.made(p->name)) && QFileInfo::exists(p->target)) {
            QFile placed(p->target);
            if (placed.open(QIODevice::ReadOnly) && isEarlierPage(p->name, placed.read(512))) {
                placed.close();
                whole = placed.remove() && whole;
            }
        }
    }
    return whole && (!QFileInfo::exists(work.plan()) || QFile::remove(work.plan()));
}

// What stands at a page's name is the report's to replace: a page of an earlier report, though an editor or a browser
// saved it again (other line ends, a byte-order mark, a comment put first), or an empty file. Not a file of the user's
// own, such as the index.html of their web pages.
bool replaceable(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray start = file.read(4096);
    return start.isEmpty() || readsAsAPage(start);
}

// The pages an earlier report left that this one did not write again; never a link, nor a file of the user's. Only
// the names that this report did not write are looked at.
void removeEarlierPages(const QDir& folder, const std::set<QString>& written,
                        const std::function<void(const QString&)>& tell) {
    QStringList names = folder.entryList(QDir::Files | QDir::Hidden, QDir::Unsorted);
    std::sort(names.begin(), names.end()); // by the names' characters, which is quick, not as a person sorts them
    for (const QString& name : names) {
        if (written.count(name)) {
            continue;
        }
        const QFileInfo file(folder.filePath(name));
        QFile old(file.filePath());
        if (file.isSymLink() || !old.open(QIODevice::ReadOnly) || !isEarlierPage(name, old.read(512))) {
            continue;
        }
        old.close();
        if (!old.remove()) {
            tell(QStringLiteral("%1: a page of an earlier report, not removed: %2")
                     .arg(file.filePath(), old.errorString()));
        }
    }
}

// One report at a time in a folder: a second one would take the first's working folder for what a stopped run left,
// and put back the pages the first is replacing. It waits for the first. A holder on this machine that no longer runs
// is passed over at once; one on another machine (a shared folder), whose process cannot be asked after, once its
// lock is an hour old, when no report would still be running.
std::optional<FolderFailure> takeLock(QLockFile& lock, const QString& folder,
                                      const std::function<void(const QString&)>& tell) {
    const QString notALock = QStringLiteral(
        "it is not a lock that a report made, and is not removed; the report needs the name for its own");
    lock.setStaleLockTime(std::chrono::hours(1));
    qint64 holder = 0;
    QString host;
    QString program;
    // A lock that tells no holder is being made this moment, or was left by a run stopped while it made it: such a
    // file is taken away once it is a few seconds old. Anything else of that name is none of the report's.
    for (int look = 0; !lock.tryLock(std::chrono::milliseconds::zero()) && lock.error() == QLockFile::LockFailedError;
         ++look) {
        if (lock.getLockInfo(&holder, &host, &program)) {
            const bool here = host.isEmpty() || host == QSysInfo::machineHostName();
            tell(QStringLiteral("%1: another report is being written into it (process %2%3); this one waits for it to "
                                "end")
                     .arg(folder)
                     .arg(holder)
                     .arg(here ? QString() : QStringLiteral(" on ") + host));
            // as long as the other runs, but not past an interruption
            while (!lock.tryLock(std::chrono::milliseconds(200)) && lock.error() == QLockFile::LockFailedError) {
                if (interruption::interrupted()) {
                    return FolderFailure{lock.fileName(), QStringLiteral("stopped while it waited")};
                }
            }
            break;
        }
        const QFileInfo standing(lock.fileName());
        if (!standing.isFile() || standing.isSymLink() || look > 100) {
            return FolderFailure{lock.fileName(), notALock};
        }
        if (standing.lastModified().msecsTo(QDateTime::currentDateTime()) > 5000) {
            lock.removeStaleLockFile();
        } else {
            QThread::msleep(100);
        }
    }
    if (!lock.isLocked()) {
        const QFileInfo standing(lock.fileName());
        if (standing.isSymLink() || (standing.exists() && !standing.isFile())) {
            return FolderFailure{lock.fileName(), notALock};
        }
        if (lock.error() == QLockFile::PermissionError) {
            return FolderFailure{lock.fileName(), QStringLiteral("Permission denied")};
        }
        // the lock tells no cause (a full disk, say): a file made beside it, and gone at once, tells the system's
        QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".qadrill-report-XXXXXX")));
        const bool made = probe.open() && probe.write("lock", 4) == 4 && probe.flush();
        return FolderFailure{lock.fileName(), made ? QStringLiteral("the lock cannot be made")
                                                   : probe.errorString().remove(QRegularExpression("\\.$"))};
    }
    return std::nullopt;
}

} // namespace

std::optional<FolderFailure> writeReportFolder(const QString& folder, const std::vector<ReportPage>& pages,
                                               const std::function<void(const QString&)>& tell,
                                               const std::function<std::optional<FolderFailure>()>& alongside) {
    const QDir dir(folder);
    QLockFile lock(dir.filePath(QStringLiteral(".qadrill-report.lock")));
    if (auto failure = takeLock(lock, folder, tell)) {
        return failure;
    }
    // an interruption stops the writing of pages, which then go with the working folder; once pages are being put in
    // place, it waits for the last of them. The lock goes first, whatever ends the run.
    const interruption::Deferred deferred;
    const auto unlock = qScopeGuard([&] { lock.unlock(); });
    const WorkFolder work(dir);
    if (QFileInfo::exists(work.plan())) {
        if (!rollBack(work, readPlan(work.plan(), dir))) {
            return FolderFailure{work.path(), QStringLiteral("an earlier run stopped while it replaced the report, and "
                                                             "its pages cannot all be put back; they are kept here")};
        }
        tell(QStringLiteral("%1: an earlier run stopped while it replaced the report; the report before it is put back")
                 .arg(folder));
    } else if (const std::set<QString> kept = readNames(work.kept()); kept.count(QStringLiteral("index.html"))) {
        // the report stands whole; a run stopped while it removed the pages of the one before left some of them
        removeEarlierPages(dir, kept, tell);
    }
    work.remove(); // what a run that was stopped while it wrote left behind
    const auto fail = [&](const QString& path, const QString& reason) {
        work.remove();
        return FolderFailure{path, reason};
    };
    std::error_code error;
    std::filesystem::create_directories(fsPath(work.made(QString())), error);
    if (!error) {
        std::filesystem::create_directories(fsPath(work.aside(QString())), error);
    }
    if (error) {
        return fail(work.path(), QString::fromStdString(error.message()));
    }

    // the pages are made at once, on every processor; the first that fails stops the others. A QDir caches what it
    // learns of itself and is no thing to share between threads: the pages' paths are taken here.
    std::vector<QString> shownPaths;
    std::vector<QString> absolutePaths;
    for (const ReportPage& page : pages) {
        shownPaths.push_back(dir.filePath(page.name));
        absolutePaths.push_back(dir.absoluteFilePath(page.name));
    }
    const auto workVolume = durablefile::fileId(fsPath(work.made(QString())));
    std::vector<Placing> placings(pages.size());
    std::vector<std::optional<FolderFailure>> failures(pages.size());
    std::atomic<bool> failed{false};
    parallel::forEach(
        pages.size(),
        [&](std::size_t i, std::size_t) {
            const ReportPage& page = pages[i];
            // a page's place looked at once; a link, as rarely, followed to where it leads
            QString target = absolutePaths[i];
            durablefile::Standing standing = durablefile::standing(target);
            if (standing.link) {
                target = outputTarget(target);
                standing = target.isEmpty() ? durablefile::Standing{} : durablefile::standing(target);
            }
            std::optional<QString> failure;
            if (target.isEmpty()) {
                failure = linkBeyondUtf8;
            } else if (standing.link) {
                failure = QStringLiteral("too many levels of symbolic links");
            } else if (target != absolutePaths[i]) {
                failure = refusedTarget(target);
                // a file is put in another's place in one step only on the same file system
                const auto volume = durablefile::fileId(fsPath(QFileInfo(target).absolutePath()));
                if (!failure && (!volume || !workVolume || volume->volume != workVolume->volume)) {
                    failure = QStringLiteral("it is a link to another file system, where the page cannot be put in "
                                             "place in one step; it is not replaced");
                }
            }
            if (failure) {
                // not written
            } else if (standing.kind == durablefile::Kind::Folder) {
                failure = QStringLiteral("it is a folder");
            } else if (standing.kind == durablefile::Kind::Other) {
                failure = QStringLiteral("it is not a file; a page is never written into it");
            } else if (standing.kind == durablefile::Kind::Regular && !replaceable(target)) {
                // an instructor's own index.html, in a folder of their pages: theirs, not the report's to replace
                failure = QStringLiteral("a file stands there that is no page of an earlier report; it is not "
                                         "replaced: give another folder, or move the file");
            } else {
                failure = writeNew(work.made(page.name), standing, page.write);
            }
            if (failure) {
                failures[i] = FolderFailure{shownPaths[i], *failure};
                failed = true;
            }
            placings[i] = {page.name, target, standing.kind != durablefile::Kind::None};
        },
        &failed);
    for (const std::optional<FolderFailure>& failure : failures) {
        if (failure) {
            return fail(failure->path, failure->reason);
        }
    }
    // a page's name that is a link to another page of the report, by whatever path: one would take the other's place.
    // Where a link is among them, each place is known by its folder's own path, links in it followed.
    bool linked = false;
    for (std::size_t i = 0; i < placings.size(); ++i) {
        linked = linked || placings[i].target != absolutePaths[i];
    }
    const auto place = [&](const Placing& p) {
        const QFileInfo at(p.target);
        const QString folderPath = linked ? QFileInfo(at.absolutePath()).canonicalFilePath() : QString();
        return folderPath.isEmpty() ? QDir::cleanPath(p.target) : folderPath + u'/' + at.fileName();
    };
    std::map<QString, const Placing*> placed;
    for (const Placing& p : placings) {
        if (const auto [other, fresh] = placed.emplace(place(p), &p); !fresh) {
            return fail(dir.filePath(p.name),
                        QStringLiteral("it leads to the same file as %1, another page of the report")
                            .arg(dir.filePath(other->second->name)));
        }
    }
    // the new index last, and the earlier one aside before any page: whoever follows an index's links meets one
    // report whole, and for the moment the pages change, no index
    std::stable_partition(placings.begin(), placings.end(),
                          [](const Placing& p) { return p.name != QStringLiteral("index.html"); });
    const QString planned = work.plan() + QStringLiteral(".new");
    if (auto failure = writeNew(planned, durablefile::Standing{}, [&](QIODevice& device) {
            const QByteArray text = planText(placings);
            return device.write(text) == text.size();
        })) {
        return fail(work.path(), *failure);
    }
    if (auto failure = durablefile::replaceKeeping(planned, work.plan())) {
        return fail(work.path(), *failure);
    }
    const interruption::Critical placing; // until the new report is the folder's, or the earlier one is back
    const Placing& index = placings.back();
    if (durablefile::kindOf(index.target) != durablefile::Kind::None) {
        if (auto failure = durablefile::replaceKeeping(index.target, work.aside(index.name))) {
            return fail(dir.filePath(index.name), *failure);
        }
    }
    for (const Placing& p : placings) {
        if (auto failure = durablefile::replaceKeeping(work.made(p.name), p.target, work.aside(p.name))) {
            if (!rollBack(work, placings)) {
                return FolderFailure{dir.filePath(p.name),
                                     *failure +
                                         QStringLiteral("; the earlier report's pages that could not be put "
                                                        "back are kept in ") +
                                         work.path()};
            }
            return fail(dir.filePath(p.name), *failure);
        }
    }
    std::set<QString> written;
    for (const Placing& p : placings) {
        written.insert(p.name);
    }
    QFile kept(work.kept());
    const QByteArray names = namesText(written);
    if (!kept.open(QIODevice::WriteOnly) || kept.write(names) != names.size() || !kept.flush()) {
        kept.remove(); // the earlier pages are removed all the same; only a run stopped meanwhile leaves some
    }
    kept.close();
    // what goes with the pages (the table), while the earlier ones can still come back, and as near as can be to the
    // moment the new report becomes the folder's
    if (auto failure = alongside ? alongside() : std::nullopt) {
        if (!rollBack(work, placings)) {
            failure->reason +=
                QStringLiteral("; the earlier report's pages that could not be put back are kept in ") + work.path();
            return failure;
        }
        return fail(failure->path, failure->reason);
    }
    QFile::remove(work.plan()); // from here on the new report is the folder's
    removeEarlierPages(dir, written, tell);
    work.remove();
    return std::nullopt;
}

} // namespace report
