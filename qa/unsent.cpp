#include "app/form1.h"

#include "app/platform.h"
#include "app/sessionend.h"
#include "records/blockjournal.h"
#include "records/durablefile.h"
#include "records/keptstore.h"
#include "records/recordpaths.h"
#include "records/recordwriter.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

namespace {
// How long the end of a run, or a text that the kept-text file did not take, waits for the draft to be written.
constexpr std::chrono::milliseconds draftFinishWait{10000};
// A run's journal of the block it is writing lies beside its draft: ".unsent_", the name part, the run's id.
const QString journalSuffix = QStringLiteral(".journal");
// The kind of trouble that a draft's save had, followed by the system's reason.
const QString draftTrouble = QStringLiteral("draft: ");

// A kept text is known again by its digest: the run need not hold every text it kept.
QByteArray textDigest(const QString& text) {
    return QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char*>(text.constData()), text.size() * qsizetype(sizeof(QChar))),
        QCryptographicHash::Sha256);
}

// A run's id: its process and a random part, so that runs of one name never share a draft. The program's own
// random sequence is left alone: it makes the record files' filler lines.
QString newRunId() {
    return QStringLiteral("%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
}
} // namespace

void Form1::openUnsentStore(const QString& fullName) {
    m_unsentPath = recordpaths::nativePath(recordpaths::unsentFilePath(m_run.workFolder, fullName));
    const QDir folder = QFileInfo(m_unsentPath).absoluteDir();
    const QString prefix = recordpaths::draftPrefix(fullName);
    static const QRegularExpression runIdPattern(QStringLiteral("^[0-9a-f-]+$"));
    const auto listed = [&] { return folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name); };
    // the run whose draft or journal this is; nothing for another student's files, or files that are neither
    const auto runOf = [&](const QString& name, const QString& suffix) {
        const bool framed =
            name.size() > prefix.size() + suffix.size() && name.startsWith(prefix) && name.endsWith(suffix);
        const QString runId = name.mid(prefix.size()).chopped(std::min(name.size(), suffix.size()));
        return framed && runIdPattern.match(runId).hasMatch() ? runId : QString();
    };
    const auto draftOf = [&](const QString& runId) {
        return folder.filePath(prefix + runId + recordpaths::draftSuffix);
    };
    // a run that is still going holds its draft's lock
    const auto lockOf = [&](const QString& runId) {
        auto lock = std::make_unique<QLockFile>(draftOf(runId) + QStringLiteral(".lock"));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0) && lock->error() == QLockFile::LockFailedError) {
            lock.reset();
        }
        return lock;
    };

    // A new draft or journal that a stopped run wrote whole but did not put in place yet: a whole draft is newer
    // than the one it was to replace and takes its place; anything else goes. A journal not in place yet stands for
    // a block that no record file was given.
    for (const QString& name : listed()) {
        if (!name.endsWith(keptstore::temporarySuffix)) {
            continue;
        }
        const QString target = name.chopped(keptstore::temporarySuffix.size());
        const QString draftRun = runOf(target, recordpaths::draftSuffix);
        const QString runId = draftRun.isEmpty() ? runOf(target, journalSuffix) : draftRun;
        const auto lock = runId.isEmpty() ? nullptr : lockOf(runId);
        if (!lock) {
            continue;
        }
        const QString path = folder.filePath(name);
        const auto bytes = recordwriter::readAll(path);
        if (draftRun.isEmpty() || !bytes || !keptstore::readDraft(*bytes).problem.isEmpty() ||
            durablefile::replace(path, folder.filePath(target))) {
            QFile::remove(path);
        }
    }

    // The journals of runs that were stopped: each block goes into the record files that do not hold it yet, and
    // the text it records is not kept from that run's draft as text that was not entered.
    std::map<QString, QString> enteredIn; // by run
    QStringList completedRuns;
    for (const QString& name : listed()) {
        const QString runId = runOf(name, journalSuffix);
        const auto lock = runId.isEmpty() ? nullptr : lockOf(runId);
        if (!lock) {
            continue;
        }
        const QString path = folder.filePath(name);
        const auto journal = blockjournal::readJournal(recordwriter::readAll(path).value_or(QByteArray()));
        if (!journal) {
            QFile::remove(path); // written whole or not at all: this is no journal of this program
            continue;
        }
        enteredIn[runId] = journal->enteredText;
        const blockjournal::Completion completion = blockjournal::complete(*journal, m_lockWait);
        if (!completion.failure) {
            completedRuns << runId;
        } else if (!QFileInfo::exists(completion.failure->path)) {
            m_journalProblems << QStringLiteral("The program was stopped while it recorded a block in your record "
                                                "files. The block could not be added to\n%1\nbecause that file is "
                                                "no longer there.")
                                     .arg(QDir::toNativeSeparators(completion.failure->path));
            completedRuns << runId;
        } else {
            m_journalProblems << QStringLiteral("The program was stopped while it recorded a block in your record "
                                                "files. The block could not be added to\n%1\n(%2) yet; the next "
                                                "start under your name tries again.")
                                     .arg(QDir::toNativeSeparators(completion.failure->path),
                                          completion.failure->reason);
        }
    }

    const QStringList names = listed();
    std::optional<QByteArray> keptFile;
    for (const QString& name : names) {
        const QString runId = runOf(name, recordpaths::draftSuffix);
        const auto lock = runId.isEmpty() ? nullptr : lockOf(runId);
        if (!lock) {
            continue; // another student's, not a draft, or its run is still going
        }
        const QString path = folder.filePath(name);
        const auto bytes = recordwriter::readAll(path);
        if (!bytes) {
            continue;
        }
        if (!keptFile) {
            keptFile = recordwriter::readAll(m_unsentPath).value_or(QByteArray());
        }
        const keptstore::DraftReading reading = keptstore::readDraft(*bytes);
        const keptstore::Draft& draft = reading.draft;
        // The entries that run could not add itself, then its answer box. Each is added once: a run stopped after
        // it kept a text and before it saved its draft again, or a start stopped before it removed the draft, left
        // what the kept-text file holds already; and a text that run recorded was entered.
        QByteArray entries;
        if (!draft.keptEntries.isEmpty() && !keptFile->contains(draft.keptEntries)) {
            entries += draft.keptEntries;
        }
        const auto entered = enteredIn.find(runId);
        if (keptstore::worthKeeping(draft.text, QString(), entered == enteredIn.end() ? QString() : entered->second) &&
            !keptstore::holdsText(*keptFile, draft.typedUnder, draft.text)) {
            const QDateTime saved = QFileInfo(path).lastModified();
            QString reason = QStringLiteral("recovered from the draft of run %1, which did not end").arg(runId);
            if (!reading.problem.isEmpty()) {
                reason += QStringLiteral(" (") + reading.problem + u')';
                m_recoveryProblems << reading.problem;
            }
            entries +=
                keptstore::entryBytes({draft.date.isEmpty() ? saved.toString(QStringLiteral("MM-dd-yyyy")) : draft.date,
                                       draft.time.isEmpty() ? saved.toString(QStringLiteral("hh:mm:ss")) : draft.time,
                                       draft.assignmentNbr, reason, draft.typedUnder, draft.text});
        }
        if (!entries.isEmpty()) {
            if (const auto failure = appendKept(entries)) {
                continue; // the draft stays for the next start
            }
            keptFile->append(entries);
        }
        QFile::remove(path);
    }
    // a journal goes once its block is whole and its run's draft is gone, which might still hold the text it records
    for (const QString& runId : std::as_const(completedRuns)) {
        if (!QFileInfo::exists(draftOf(runId))) {
            QFile::remove(folder.filePath(prefix + runId + journalSuffix));
        }
    }
    // a run that ended before it saved any draft leaves its lock alone; it goes once that run is over
    for (const QString& name : names) {
        const QString draft = name.chopped(std::min<qsizetype>(name.size(), 5));
        if (name.startsWith(prefix) && name.endsWith(recordpaths::draftSuffix + QStringLiteral(".lock")) &&
            !names.contains(draft)) {
            QLockFile lock(folder.filePath(name));
            lock.setStaleLockTime(0);
            lock.tryLock(0); // taken from a run that is over, and removed with it
        }
    }

    const QString runId = newRunId();
    m_journalPath = folder.filePath(prefix + runId + journalSuffix);
    const QString draftPath = recordpaths::nativePath(recordpaths::draftPath(m_run.workFolder, fullName, runId));
    m_draftLock = std::make_unique<QLockFile>(draftPath + QStringLiteral(".lock"));
    m_draftLock->setStaleLockTime(0);
    m_draftLock->tryLock(0); // without it a later run may take the draft over early: text twice, never none
    m_draftWriter = std::make_unique<keptstore::DraftWriter>(
        draftPath, [this](const std::optional<recordwriter::Failure>& failure) {
            QMetaObject::invokeMethod(
                this, [this, failure] { draftWritten(failure); }, Qt::QueuedConnection);
        });
}

void Form1::draftWritten(const std::optional<recordwriter::Failure>& failure) {
    m_draftFailure = failure;
    if (failure && !m_unsentClosed) {
        // tried again a second later, for as long as it fails
        m_draftDue = true;
        m_draftTimer.start();
        warnOnce(draftTrouble + failure->reason,
                 QStringLiteral("What you type could not be saved in a draft in\n%1\n(%2).\n\nUntil that works "
                                "again, what is in your answer box is only in this window; the program tries again "
                                "every second. This message is not shown again for the same trouble.")
                     .arg(QDir::toNativeSeparators(QFileInfo(failure->path).absolutePath()), failure->reason));
    }
}

std::optional<recordwriter::Failure> Form1::appendKept(const QByteArray& bytes,
                                                       std::optional<std::chrono::milliseconds> lockWait) {
    return recordwriter::appendAll({{m_unsentPath, bytes}}, lockWait.value_or(m_lockWait));
}

void Form1::keepAnswerText(const QString& reason) {
    const QString text = answerText();
    if (m_unsentPath.isEmpty() || !keptstore::worthKeeping(text, m_run.responsePrompt, m_recordedText)) {
        return;
    }
    const QString date = m_platform.dateText();
    const QString time = m_platform.timeText();
    const QByteArray entry = keptstore::entryBytes({date, time, m_run.assignmentNbr, reason, m_run.currentEntry, text});
    m_keptThisRun.push_back({textDigest(text), date + u' ' + time});
    // entries that could not be added before go first, so that the file keeps the order they were typed in
    const auto keptFailure = appendKept(m_unkept + entry);
    if (!keptFailure) {
        m_unkept.clear();
        return;
    }
    // the text is about to leave the box: until the kept-text file takes it, the draft holds it
    m_unkept += entry;
    const QString kept = QDir::toNativeSeparators(keptFailure->path);
    const auto draftFailure = m_draftWriter ? m_draftWriter->saveNow(draftOfAnswer(QString()), draftFinishWait)
                                            : std::optional<recordwriter::Failure>();
    if (!draftFailure) {
        warnOnce(QStringLiteral("kept: ") + keptFailure->reason,
                 QStringLiteral("What was in your answer box could not be added to\n%1\n(%2).\n\nIt is held in a "
                                "draft in the same folder and goes into that file as soon as the file takes it, at "
                                "the latest at the next start under your name. Ctrl+Z in the answer box also brings "
                                "it back.")
                     .arg(kept, keptFailure->reason));
    } else {
        warnOnce(QStringLiteral("kept and draft: ") + keptFailure->reason + draftFailure->reason,
                 QStringLiteral("What was in your answer box could not be saved on disk: not in\n%1\n(%2),\nnor in a "
                                "draft beside it (%3).\n\nIt is only in this window: Ctrl+Z in the answer box brings "
                                "it back. The program tries again every second to save it.")
                     .arg(kept, keptFailure->reason, draftFailure->reason));
    }
    m_draftTimer.start(); // the kept-text file is tried again a second later, and a draft that failed with it
}

void Form1::keptTextEntered(const QString& text) {
    const QByteArray digest = textDigest(text);
    const auto kept = std::find_if(m_keptThisRun.cbegin(), m_keptThisRun.cend(),
                                   [&](const KeptText& k) { return k.digest == digest; });
    if (kept == m_keptThisRun.cend()) {
        return;
    }
    // brought back with Ctrl+Z and entered after all: the entry is marked as entered, so that the student is not
    // told of it as a text that was not entered. While entries wait for the kept-text file the mark waits behind
    // them, so that it never comes before its entry.
    const QString date = m_platform.dateText();
    const QByteArray entered = keptstore::enteredBytes(date, m_platform.timeText(), kept->keptAt);
    if (!m_unkept.isEmpty()) {
        m_unkept += entered;
        m_draftDue = true;
    } else {
        appendKept(entered, std::chrono::milliseconds(0));
    }
    m_keptThisRun.erase(kept);
}

QByteArray Form1::draftOfAnswer(const QString& text) {
    const QString date = m_platform.dateText();
    return keptstore::draftBytes(
        {date, m_platform.timeText(), m_run.assignmentNbr, m_run.currentEntry, text, m_unkept});
}

void Form1::saveDraft() {
    m_draftTimer.stop();
    if (!m_draftWriter) {
        return;
    }
    bool due = std::exchange(m_draftDue, false);
    // what the kept-text file did not take is offered to it again every second, without waiting for a lock that
    // another program holds; once it is in, the draft need not hold it any more
    if (!m_unkept.isEmpty()) {
        if (!appendKept(m_unkept, std::chrono::milliseconds(0))) {
            m_unkept.clear();
            due = true;
        } else {
            m_draftTimer.start();
        }
    }
    if (!due) {
        return;
    }
    const QString text = answerText();
    const bool worth = keptstore::worthKeeping(text, m_run.responsePrompt, m_recordedText);
    if (worth || !m_unkept.isEmpty()) {
        m_draftWriter->save(draftOfAnswer(worth ? text : QString()));
        m_draftHoldsText = true;
    } else if (m_draftHoldsText) {
        m_draftWriter->remove();
        m_draftHoldsText = false;
    }
}

bool Form1::closeUnsentStore(const QString& reason, bool tellFailure, bool mayStayOpen) {
    if (m_unsentClosed || !m_draftWriter) {
        return true;
    }
    m_draftTimer.stop();
    const QString text = answerText();
    QByteArray entries = m_unkept;
    if (keptstore::worthKeeping(text, m_run.responsePrompt, m_recordedText)) {
        const QString date = m_platform.dateText();
        entries +=
            keptstore::entryBytes({date, m_platform.timeText(), m_run.assignmentNbr, reason, m_run.currentEntry, text});
    }
    const auto keptFailure = entries.isEmpty() ? std::nullopt : appendKept(entries);
    if (!keptFailure) {
        m_unkept.clear();
        m_draftWriter->remove();
        // the journal goes after the draft, which might still hold the text of the last block
        if (m_draftWriter->finish(draftFinishWait) && !QFileInfo::exists(m_draftWriter->path())) {
            QFile::remove(m_journalPath);
        }
    } else {
        // the next start under this name finds the draft and adds it to the kept-text file then
        // a folder deleted meanwhile took the earlier draft with it
        const bool olderDraft = m_draftWriter->holdsSave() && QFileInfo::exists(m_draftWriter->path());
        const auto draftFailure = m_draftWriter->saveNow(draftOfAnswer(text), draftFinishWait);
        const QString kept = QDir::toNativeSeparators(m_unsentPath);
        if (draftFailure && mayStayOpen && !m_stayedOpen) {
            m_stayedOpen = true;
            m_draftDue = true;
            m_draftTimer.start();
            m_platform.messageBox(
                QStringLiteral("What is in your answer box could not be saved on disk: not in\n%1\n(%2),\nnor in a "
                               "draft beside it (%3).\n\nThe program stays open, so that you can copy your text to a "
                               "safe place: select it in the answer box and press Ctrl+C. Press \"quit program\" "
                               "again to end without saving it.")
                    .arg(kept, keptFailure->reason, draftFailure->reason));
            return false;
        }
        if (tellFailure) {
            QString message;
            if (!draftFailure) {
                message = QStringLiteral("What is in your answer box could not be saved in\n%1\n(%2).\n\nIt is in a "
                                         "draft beside it, which the next start under your name adds to that file.")
                              .arg(kept, keptFailure->reason);
            } else {
                message = QStringLiteral("What is in your answer box could not be saved on disk: not in\n%1\n(%2),\n"
                                         "nor in a draft beside it (%3), so it is lost.")
                              .arg(kept, keptFailure->reason, draftFailure->reason);
                if (olderDraft) {
                    message += QStringLiteral("\n\nAn earlier draft beside that file holds what the box held at its "
                                              "last save; the next start under your name adds it to that file.");
                }
            }
            m_platform.messageBox(message);
        }
    }
    m_unsentClosed = true;
    m_draftWriter.reset();
    m_draftLock.reset();
    return true;
}

void Form1::warnOnce(const QString& trouble, const QString& message) {
    const bool waiting = std::any_of(m_warnings.cbegin(), m_warnings.cend(),
                                     [&](const Warning& warning) { return warning.trouble == trouble; });
    if (!waiting && !m_troublesTold.contains(trouble)) {
        m_warnings.push_back({trouble, message});
    }
}

void Form1::showWarnings() {
    // shown once the press is done, never while the student types: a box that came up then would take the keys
    for (const Warning& warning : std::exchange(m_warnings, {})) {
        // a draft that has been saved since holds the box again, and there is nothing to tell
        const bool over = warning.trouble.startsWith(draftTrouble) &&
                          (!m_draftFailure || draftTrouble + m_draftFailure->reason != warning.trouble);
        if (m_runEnded || over) {
            continue;
        }
        m_troublesTold.insert(warning.trouble);
        m_platform.messageBox(warning.message);
    }
}

void Form1::endOnSessionEnd() {
    if (m_runEnded) {
        return;
    }
    closeUnsentStore(QStringLiteral("in the answer box when the session ended"), false, false);
    const bool insideHandler = m_handlerDepth > 0;
    m_runEnded = true;
    m_tmr_pend_exp.stop();
    if (insideHandler) {
        // a press is waiting in one of its boxes; let it go on and it would record what the student never gave
        SessionEnd::endProcessNow();
    }
    close();
    m_platform.quitApplication();
}

QStringList Form1::pendingWarnings() const {
    QStringList messages;
    for (const Warning& warning : m_warnings) {
        messages << warning.message;
    }
    return messages;
}

void Form1::tellKeptText() {
    if (m_unsentPath.isEmpty() || m_runEnded) {
        return;
    }
    const auto bytes = recordwriter::readAll(m_unsentPath);
    const int count = bytes ? keptstore::untoldCount(*bytes) : 0;
    if (!m_journalProblems.isEmpty()) {
        m_platform.messageBox(m_journalProblems.join(QStringLiteral("\n\n")));
    }
    if (count == 0) {
        return;
    }
    QString message = count == 1
                          ? QStringLiteral("1 text that you typed and did not enter was kept in\n%1")
                          : QStringLiteral("%1 texts that you typed and did not enter were kept in\n%2").arg(count);
    message = message.arg(QDir::toNativeSeparators(m_unsentPath));
    message += count == 1 ? QStringLiteral("\n\nOpen the file in any text editor to copy it back.")
                          : QStringLiteral("\n\nOpen the file in any text editor to copy them back.");
    for (const QString& problem : std::as_const(m_recoveryProblems)) {
        message += QStringLiteral("\n\nOne draft could not be read as usual: ") + problem + u'.';
    }
    m_platform.messageBox(message);
    const QString date = m_platform.dateText();
    appendKept(keptstore::toldBytes(date, m_platform.timeText(), count));
}
