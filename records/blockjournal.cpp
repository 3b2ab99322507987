#include "records/blockjournal.h"

#include <QFileInfo>
#include <QUrl>

namespace blockjournal {

namespace {
const QByteArray magic = QByteArrayLiteral("qadrill journal 1");
const QByteArray textField = QByteArrayLiteral("entered text bytes: ");
const QByteArray fileField = QByteArrayLiteral("file: ");
const QByteArray crlf = QByteArrayLiteral("\r\n");
} // namespace

Journal journalFor(const std::vector<recordwriter::Append>& appends, const QString& enteredText) {
    Journal journal{enteredText, {}};
    for (const recordwriter::Append& a : appends) {
        const QFileInfo info(a.path);
        journal.targets.push_back({a.path, info.exists() ? info.size() : 0, a.bytes});
    }
    return journal;
}

QByteArray journalBytes(const Journal& journal) {
    const QByteArray text = journal.enteredText.toUtf8();
    QByteArray bytes = magic + crlf + textField + QByteArray::number(text.size()) + crlf;
    // the path last and encoded, so that no character of it can end the line early
    for (const Target& t : journal.targets) {
        bytes += fileField + QByteArray::number(t.sizeBefore) + ' ' + QByteArray::number(t.bytes.size()) + ' ' +
                 QUrl::toPercentEncoding(t.path) + crlf;
    }
    bytes += crlf + text;
    for (const Target& t : journal.targets) {
        bytes += t.bytes;
    }
    return bytes;
}

std::optional<Journal> readJournal(const QByteArray& bytes) {
    const qsizetype headEnd = bytes.indexOf(crlf + crlf);
    if (headEnd < 0) {
        return std::nullopt;
    }
    const QList<QByteArray> head = bytes.left(headEnd).split('\n');
    if (head.size() < 2 || head[0] != magic + '\r' || !head[1].startsWith(textField)) {
        return std::nullopt;
    }
    bool read = false;
    qsizetype at = headEnd + 4;
    const qsizetype textBytes = head[1].mid(textField.size()).trimmed().toLongLong(&read);
    if (!read || textBytes < 0 || textBytes > bytes.size() - at) {
        return std::nullopt;
    }
    Journal journal;
    journal.enteredText = QString::fromUtf8(bytes.mid(at, textBytes));
    at += textBytes;
    for (qsizetype i = 2; i < head.size(); ++i) {
        const QList<QByteArray> fields = head[i].trimmed().split(' ');
        bool sizeRead = false;
        bool lengthRead = false;
        const qint64 sizeBefore = fields.value(1).toLongLong(&sizeRead);
        const qsizetype length = fields.value(2).toLongLong(&lengthRead);
        if (!head[i].startsWith(fileField) || fields.size() != 4 || !sizeRead || !lengthRead || length < 0 ||
            length > bytes.size() - at) {
            return std::nullopt;
        }
        journal.targets.push_back(
            {QString::fromUtf8(QByteArray::fromPercentEncoding(fields[3])), sizeBefore, bytes.mid(at, length)});
        at += length;
    }
    if (at != bytes.size() || journal.targets.empty()) {
        return std::nullopt;
    }
    return journal;
}

Completion complete(const Journal& journal, std::chrono::milliseconds lockWait) {
    Completion completion;
    std::vector<recordwriter::Append> missing;
    for (const Target& t : journal.targets) {
        if (!QFileInfo::exists(t.path)) {
            completion.failure = recordwriter::Failure{t.path, QStringLiteral("the file is no longer there")};
            return completion;
        }
        const auto file = recordwriter::readAll(t.path);
        if (!file) {
            completion.failure = recordwriter::Failure{t.path, QStringLiteral("the file cannot be read")};
            return completion;
        }
        if (file->indexOf(t.bytes, std::min<qint64>(t.sizeBefore, file->size())) < 0) {
            missing.push_back({t.path, t.bytes});
        }
    }
    if (missing.empty()) {
        return completion;
    }
    completion.failure = recordwriter::appendAll(missing, lockWait);
    if (!completion.failure) {
        for (const recordwriter::Append& a : missing) {
            completion.completed << a.path;
        }
    }
    return completion;
}

} // namespace blockjournal
