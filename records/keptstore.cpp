#include "records/keptstore.h"

#include "records/codepage.h"
#include "records/durablefile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace keptstore {

namespace {

const QByteArray crlf = QByteArrayLiteral("\r\n");
const QString keptHead = QStringLiteral("==== kept ");
const QString toldHead = QStringLiteral("==== told ");
const QString enteredHead = QStringLiteral("==== entered ");
const QString draftMagic = QStringLiteral("qadrill draft ");
const QString draftVersion = QStringLiteral("1");
const QString keptEntriesField = QStringLiteral("kept-text entries bytes: ");
// The problem entry is named by its first line, cut where it would fill an editor's window several times over.
constexpr qsizetype typedUnderChars = 160;

// A text's lines: a line break is CR LF, or a CR or LF alone in a text that came from elsewhere.
QStringList linesOf(const QString& text) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return text.split(lineBreak);
}

QString firstLine(const QString& entry) {
    const QString line = linesOf(entry).first();
    return line.size() > typedUnderChars ? line.left(typedUnderChars) + QStringLiteral(" ...") : line;
}

QByteArray lineBytes(const QString& line) {
    return line.toUtf8() + crlf;
}

std::optional<QString> strictUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

// Bytes that are not UTF-8 are read as Western characters, so each byte comes through as one character.
QString anyBytes(const QByteArray& bytes, QString& problem) {
    if (auto text = strictUtf8(bytes)) {
        return *text;
    }
    problem += QString::fromLatin1(problem.isEmpty() ? "" : "; ") +
               QStringLiteral("its bytes are not all readable text, so each byte is kept as one Western character");
    return codepage::decode(bytes);
}

std::optional<recordwriter::Failure> removeFile(const QString& path) {
    QFile file(path);
    if (!file.exists() || file.remove()) {
        return std::nullopt;
    }
    return recordwriter::Failure{path, file.errorString()};
}

} // namespace

bool worthKeeping(const QString& text, const QString& responsePrompt, const QString& recorded) {
    return !text.trimmed().isEmpty() && text != responsePrompt && text != recorded;
}

QByteArray entryBytes(const Entry& entry) {
    const QStringList lines = linesOf(entry.text);
    QByteArray bytes = lineBytes(keptHead + entry.date + u' ' + entry.time + QStringLiteral(", assignment ") +
                                 entry.assignmentNbr + QStringLiteral(", ") + entry.reason +
                                 QStringLiteral(": %1 line%2").arg(lines.size()).arg(lines.size() == 1 ? "" : "s"));
    bytes +=
        lineBytes(QStringLiteral("Typed under: ") +
                  (entry.typedUnder.isEmpty() ? QStringLiteral("(nothing shown yet)") : firstLine(entry.typedUnder)));
    for (const QString& line : lines) {
        bytes += lineBytes(line);
    }
    return bytes + crlf;
}

bool holdsText(const QByteArray& keptFile, const QString& typedUnder, const QString& text) {
    QByteArray typed = QByteArrayLiteral("\r\nTyped under: ") +
                       lineBytes(typedUnder.isEmpty() ? QStringLiteral("(nothing shown yet)") : firstLine(typedUnder));
    typed += linesOf(text).join(QStringLiteral("\r\n")).toUtf8();
    return keptFile.contains(typed);
}

QByteArray toldBytes(const QString& date, const QString& time, int count) {
    return lineBytes(
               toldHead + date + u' ' + time +
               QStringLiteral(": the student was told of the %1 text%2 above").arg(count).arg(count == 1 ? "" : "s")) +
           crlf;
}

QByteArray enteredBytes(const QString& date, const QString& time, const QString& keptAt) {
    return lineBytes(enteredHead + date + u' ' + time + QStringLiteral(": the text kept at ") + keptAt +
                     QStringLiteral(" was entered after all")) +
           crlf;
}

int untoldCount(const QByteArray& keptFile) {
    static const QRegularExpression head(QStringLiteral("^==== kept .*: (\\d+) lines?$"));
    const QStringList lines = linesOf(QString::fromUtf8(keptFile));
    int count = 0;
    qsizetype i = 0;
    while (i < lines.size()) {
        const QString& line = lines[i];
        if (line.startsWith(toldHead)) {
            count = 0;
            ++i;
        } else if (line.startsWith(enteredHead)) {
            count = std::max(0, count - 1);
            ++i;
        } else if (const auto match = head.match(line); match.hasMatch()) {
            ++count;
            i += 2 + match.captured(1).toLongLong();
        } else {
            ++i;
        }
    }
    return count;
}

QByteArray draftBytes(const Draft& draft) {
    const QByteArray text = draft.text.toUtf8();
    QByteArray bytes = lineBytes(draftMagic + draftVersion) +
                       lineBytes(QStringLiteral("saved: ") + draft.date + u' ' + draft.time) +
                       lineBytes(QStringLiteral("assignment: ") + draft.assignmentNbr) +
                       lineBytes(QStringLiteral("typed under: ") + firstLine(draft.typedUnder));
    if (!draft.keptEntries.isEmpty()) {
        bytes += lineBytes(keptEntriesField + QString::number(draft.keptEntries.size()));
    }
    return bytes + lineBytes(QStringLiteral("text bytes: %1").arg(text.size())) + crlf + draft.keptEntries + text;
}

DraftReading readDraft(const QByteArray& bytes) {
    DraftReading reading;
    QString& problem = reading.problem;
    const qsizetype headEnd = bytes.indexOf(QByteArrayLiteral("\r\n\r\n"));
    const QStringList head =
        QString::fromUtf8(bytes.left(std::max<qsizetype>(headEnd, 0))).split(QStringLiteral("\r\n"));
    const auto field = [&](const QString& name) {
        for (const QString& line : head) {
            if (line.startsWith(name)) {
                return line.mid(name.size());
            }
        }
        return QString();
    };
    const QString magic = head.first();
    bool lengthRead = false;
    const qsizetype length = field(QStringLiteral("text bytes: ")).toLongLong(&lengthRead);
    if (magic.startsWith(draftMagic) && magic != draftMagic + draftVersion) {
        problem = QStringLiteral("it was written by another version of the program, so the whole file is kept");
        reading.draft.text = anyBytes(bytes, problem);
        return reading;
    }
    if (headEnd < 0 || !magic.startsWith(draftMagic) || !lengthRead) {
        problem = QStringLiteral("it is not a draft as this program writes one, so the whole file is kept");
        reading.draft.text = anyBytes(bytes, problem);
        return reading;
    }
    const QStringList saved = field(QStringLiteral("saved: ")).split(u' ');
    reading.draft.date = saved.value(0);
    reading.draft.time = saved.value(1);
    reading.draft.assignmentNbr = field(QStringLiteral("assignment: "));
    reading.draft.typedUnder = field(QStringLiteral("typed under: "));
    QByteArray body = bytes.mid(headEnd + 4);
    bool entriesRead = false;
    const qsizetype entries = field(keptEntriesField).toLongLong(&entriesRead);
    if (entriesRead && entries > 0) {
        // entries this program wrote, as the kept-text file holds them; a draft cut short within them keeps them as
        // text
        if (body.size() >= entries) {
            reading.draft.keptEntries = body.left(entries);
            body.remove(0, entries);
        } else {
            problem = QStringLiteral("it was cut short; what it holds is kept");
            reading.draft.text = anyBytes(body, problem);
            return reading;
        }
    }
    if (body.size() < length) {
        problem = QStringLiteral("it was cut short; what it holds is kept");
    } else if (body.size() > length) {
        problem = QStringLiteral("it holds more than it says; all of it is kept");
    }
    reading.draft.text = anyBytes(body, problem);
    return reading;
}

QString temporaryPath(const QString& path) {
    return path + temporarySuffix;
}

std::optional<recordwriter::Failure> replaceFile(const QString& path, const QByteArray& bytes) {
    // The new file has a name of its own, made from the old one's, so that a start after a crash finds it: taken in
    // place of the old one when it is whole, removed when it is not.
    const QString temporary = temporaryPath(path);
    QFile file(temporary);
    const auto failed = [&](const QString& reason) {
        file.close();
        QFile::remove(temporary);
        return recordwriter::Failure{path, reason};
    };
    // Unbuffered, so that a write the disk refuses fails here and is not lost in a flush that nobody checks
    durablefile::clearSystemError();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) ||
        file.write(bytes) != bytes.size()) {
        // a refused write leaves its reason with the system only
        return failed(durablefile::systemError().value_or(file.errorString()));
    }
    if (const auto reason = durablefile::sync(file)) {
        return failed(*reason);
    }
    file.close();
    recordwriter::reached(QStringLiteral("replacing ") + path);
    // the new name is on disk, folder and all, once this returns
    if (const auto reason = durablefile::replace(temporary, path)) {
        return failed(*reason);
    }
    return std::nullopt;
}

DraftWriter::DraftWriter(QString path, Report report)
    : m_path(std::move(path)), m_report(std::move(report)), m_thread([this] { run(); }) {}

DraftWriter::~DraftWriter() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void DraftWriter::save(QByteArray bytes) {
    {
        const std::lock_guard lock(m_mutex);
        m_pending.emplace(std::move(bytes));
        ++m_asked;
    }
    m_changed.notify_all();
}

std::optional<recordwriter::Failure> DraftWriter::saveNow(QByteArray bytes, std::chrono::milliseconds wait) {
    save(std::move(bytes));
    std::unique_lock lock(m_mutex);
    const std::uint64_t asked = m_asked;
    if (!m_changed.wait_for(lock, wait, [&] { return m_done >= asked; })) {
        return recordwriter::Failure{m_path, QStringLiteral("the disk did not finish writing it in time")};
    }
    return m_lastFailure;
}

void DraftWriter::remove() {
    {
        const std::lock_guard lock(m_mutex);
        m_pending.emplace(std::nullopt);
        ++m_asked;
    }
    m_changed.notify_all();
}

bool DraftWriter::finish(std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, wait, [this] { return !m_pending && !m_busy; });
}

bool DraftWriter::holdsSave() {
    const std::lock_guard lock(m_mutex);
    return m_holdsSave;
}

void DraftWriter::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_pending || m_stopping; });
        if (!m_pending) {
            return;
        }
        const std::optional<QByteArray> job = std::move(*m_pending);
        const std::uint64_t asked = m_asked;
        m_pending.reset();
        m_busy = true;
        lock.unlock();
        const auto failure = job ? replaceFile(m_path, *job) : removeFile(m_path);
        m_report(failure);
        lock.lock();
        if (!failure) {
            m_holdsSave = job.has_value();
        }
        m_done = asked;
        m_lastFailure = failure;
        m_busy = false;
        m_changed.notify_all();
    }
}

} // namespace keptstore
