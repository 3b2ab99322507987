#include "app/form1.h"

#include "app/platform.h"
#include "records/keptstore.h"
#include "records/recordpaths.h"
#include "records/recordwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace {
// How long the end of a run waits for a draft save that is under way.
constexpr std::chrono::milliseconds draftFinishWait{10000};

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
    static const QRegularExpression runId(QStringLiteral("^[0-9a-f-]+$"));

    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names) {
        const bool framed = name.size() > prefix.size() + recordpaths::draftSuffix.size() && name.startsWith(prefix) &&
                            name.endsWith(recordpaths::draftSuffix);
        if (!framed || !runId.match(name.mid(prefix.size()).chopped(recordpaths::draftSuffix.size())).hasMatch()) {
            continue; // another student's, or not a draft
        }
        const QString path = folder.filePath(name);
        QLockFile lock(path + QStringLiteral(".lock"));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0) && lock.error() == QLockFile::LockFailedError) {
            continue; // its run is still going
        }
        const auto bytes = recordwriter::readAll(path);
        if (!bytes) {
            continue;
        }
        const keptstore::DraftReading reading = keptstore::readDraft(*bytes);
        if (keptstore::worthKeeping(reading.draft.text, QString(), QString())) {
            const QDateTime saved = QFileInfo(path).lastModified();
            const keptstore::Draft& draft = reading.draft;
            QString reason = QStringLiteral("recovered from the draft of a run that did not end");
            if (!reading.problem.isEmpty()) {
                reason += QStringLiteral(" (") + reading.problem + u')';
                m_recoveryProblems << reading.problem;
            }
            const keptstore::Entry entry{draft.date.isEmpty() ? saved.toString(QStringLiteral("MM-dd-yyyy"))
                                                              : draft.date,
                                         draft.time.isEmpty() ? saved.toString(QStringLiteral("hh:mm:ss")) : draft.time,
                                         draft.assignmentNbr,
                                         reason,
                                         draft.typedUnder,
                                         draft.text};
            if (!appendKept(keptstore::entryBytes(entry), false)) {
                continue; // the draft stays for the next start
            }
        }
        QFile::remove(path);
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

    const QString draftPath = recordpaths::nativePath(recordpaths::draftPath(m_run.workFolder, fullName, newRunId()));
    m_draftLock = std::make_unique<QLockFile>(draftPath + QStringLiteral(".lock"));
    m_draftLock->setStaleLockTime(0);
    m_draftLock->tryLock(0); // without it a later run may take the draft over early: text twice, never none
    m_draftWriter = std::make_unique<keptstore::DraftWriter>(
        draftPath, [this](const std::optional<recordwriter::Failure>& failure) {
            if (failure) {
                QMetaObject::invokeMethod(
                    this,
                    [this, failure] {
                        // tried again a second later, for as long as it fails
                        m_draftDue = true;
                        if (!m_unsentClosed) {
                            m_draftTimer.start();
                        }
                        tellUnsentFailure(*failure);
                    },
                    Qt::QueuedConnection);
            }
        });
}

bool Form1::appendKept(const QByteArray& bytes, bool tellFailure) {
    const auto failure = recordwriter::appendAll({{m_unsentPath, bytes}}, m_lockWait);
    if (failure && tellFailure) {
        tellUnsentFailure(*failure);
    }
    return !failure;
}

bool Form1::keepAnswerText(const QString& reason, bool tellFailure) {
    const QString text = answerText();
    if (m_unsentPath.isEmpty() || !keptstore::worthKeeping(text, m_run.responsePrompt, m_recordedText)) {
        return true;
    }
    const QString date = m_platform.dateText();
    const keptstore::Entry entry{date, m_platform.timeText(), m_run.assignmentNbr, reason, m_run.currentEntry, text};
    return appendKept(keptstore::entryBytes(entry), tellFailure);
}

QByteArray Form1::draftOfAnswer(const QString& text) {
    const QString date = m_platform.dateText();
    return keptstore::draftBytes({date, m_platform.timeText(), m_run.assignmentNbr, m_run.currentEntry, text});
}

void Form1::saveDraft() {
    m_draftTimer.stop();
    if (!m_draftWriter || !m_draftDue) {
        return;
    }
    m_draftDue = false;
    const QString text = answerText();
    if (keptstore::worthKeeping(text, m_run.responsePrompt, m_recordedText)) {
        m_draftWriter->save(draftOfAnswer(text));
        m_draftHoldsText = true;
    } else if (m_draftHoldsText) {
        m_draftWriter->remove();
        m_draftHoldsText = false;
    }
}

void Form1::closeUnsentStore(const QString& reason, bool tellFailure) {
    if (m_unsentClosed || !m_draftWriter) {
        return;
    }
    m_unsentClosed = true;
    m_draftTimer.stop();
    if (keepAnswerText(reason, false)) {
        m_draftWriter->remove();
        m_draftWriter->finish(draftFinishWait);
    } else {
        // the next start under this name finds the draft and keeps it then
        m_draftWriter->finish(draftFinishWait);
        const auto failure = keptstore::replaceFile(m_draftWriter->path(), draftOfAnswer(answerText()));
        if (tellFailure) {
            m_platform.messageBox(
                failure ? QStringLiteral("What is in your answer box could not be saved, neither in\n%1\nnor in a "
                                         "draft beside it (%2).")
                              .arg(QDir::toNativeSeparators(m_unsentPath), failure->reason)
                        : QStringLiteral("What is in your answer box could not be saved in\n%1.\n\nIt is in a draft "
                                         "beside it, which the next start under your name adds to that file.")
                              .arg(QDir::toNativeSeparators(m_unsentPath)));
        }
    }
    m_draftWriter.reset();
    m_draftLock.reset();
}

void Form1::tellUnsentFailure(const recordwriter::Failure& failure) {
    if (m_unsentFailureTold || m_runEnded) {
        return;
    }
    m_unsentFailureTold = true;
    m_platform.messageBox(
        QStringLiteral("What you typed and did not enter could not be saved in\n%1\n(%2).\n\nThe drill goes on, "
                       "and your answer box keeps its text: Ctrl+Z in the box brings back what the program replaced. "
                       "This message is not shown again in this run.")
            .arg(QDir::toNativeSeparators(failure.path), failure.reason));
}

void Form1::tellKeptText() {
    if (m_unsentPath.isEmpty() || m_runEnded) {
        return;
    }
    const auto bytes = recordwriter::readAll(m_unsentPath);
    const int count = bytes ? keptstore::untoldCount(*bytes) : 0;
    if (count == 0) {
        return;
    }
    QString message = count == 1 ? QStringLiteral("1 text that you typed and did not enter was kept in\n%2")
                                 : QStringLiteral("%1 texts that you typed and did not enter were kept in\n%2");
    message = message.arg(count).arg(QDir::toNativeSeparators(m_unsentPath));
    message += QStringLiteral("\n\nOpen the file in any text editor to copy them back.");
    for (const QString& problem : std::as_const(m_recoveryProblems)) {
        message += QStringLiteral("\n\nOne draft could not be read as usual: ") + problem + u'.';
    }
    m_platform.messageBox(message);
    const QString date = m_platform.dateText();
    appendKept(keptstore::toldBytes(date, m_platform.timeText(), count), false);
}
