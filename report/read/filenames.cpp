#include "report/read/classrecords.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

// What a file's name says.
namespace report {

namespace {

bool startsWithNoCase(QStringView text, QStringView prefix) {
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

} // namespace

// The student part as several files may give it: the suffixes that a download, an editor, a file manager (in its
// language), a synchronising service or a course platform add to a copy or a resubmission come off one at a time,
// however many there are: " (1)", "[1]", "-1", " - Copy", " - Kopie", " copy", "-copy", " (copy)", " copy 2", " 2",
// "_v2", ".txt" (a ".txt.txt" file), "(Ann's conflicted copy 2026-01-07)".
QStringList copySuffixForms(QString name) {
    static const QRegularExpression suffix(
        QStringLiteral("(?:[ _]*\\(\\d{1,3}\\)"                  // " (1)"
                       "|[ _]*\\[\\d{1,3}\\]"                    // " [1]"
                       "|[ _]*\\([^()]*conflicted copy[^()]*\\)" // "(Ann's conflicted copy 2026-01-07)"
                       "|[ _]*\\((?:copy|kopie|copie|copia|kopia)(?:[ _]+\\d{1,3})?\\)" // " (copy)"
                       "|[ _]+-[ _]+(?:copy|kopie|copie|copia|kopia)"                   // " - Copy", " - Kopie"
                       "|[ _-]+copy(?:[ _]+\\d{1,3})?"                                  // " copy", "-copy", " copy 2"
                       "|-\\d{1,2}"                                                     // "-1"
                       "| \\d{1,2}"     // " 2"; not "_2": "Student_2" is a name that classes numbered from 1 give
                       "|[_-]v\\d{1,2}" // "_v2"
                       "|\\.txt)$"),    // ".txt.txt"
        QRegularExpression::CaseInsensitiveOption);
    QStringList forms{name};
    for (;;) {
        const QRegularExpressionMatch m = suffix.match(name);
        if (!m.hasMatch() || m.capturedStart() == 0) {
            return forms;
        }
        name.truncate(m.capturedStart());
        while (name.endsWith(u' ') || name.endsWith(u'_')) {
            name.chop(1);
        }
        forms << name;
    }
}

namespace {

QString withoutCopySuffix(const QString& name) {
    return copySuffixForms(name).constLast();
}

// Where a record file's name starts within a longer one: at the start, or after what a course platform put before it
// ("Ann Lee_1234_assignsubmission_file_", "LATE_", "LATE"). A notes file's name, short and plain, is recognised only
// after a blank, "_" or "-". The last such place is taken; -1 when there is none.
qsizetype recordNameAt(QStringView name) {
    const auto sendOrMaster = [&](qsizetype i) {
        const QStringView rest = name.mid(i);
        return startsWithNoCase(rest, u"masterFile_") ||
               (startsWithNoCase(rest, u"send_") && rest.size() >= 9 &&
                std::all_of(rest.begin() + 5, rest.begin() + 9, [](QChar c) { return c >= u'0' && c <= u'9'; }));
    };
    const auto notes = [&](qsizetype i) { return startsWithNoCase(name.mid(i), u"notes_"); };
    if (sendOrMaster(0) || notes(0)) {
        return 0;
    }
    for (qsizetype i = name.size() - 5; i > 0; --i) {
        const QChar before = name[i - 1];
        if (sendOrMaster(i) || ((before == u'_' || before == u' ' || before == u'-') && notes(i))) {
            return i;
        }
    }
    return -1;
}

} // namespace

FileName classify(const QString& fileName) {
    FileName f;
    QStringView name(fileName);
    if (!name.endsWith(u".txt", Qt::CaseInsensitive)) {
        f.student = QFileInfo(fileName).completeBaseName();
        return f;
    }
    name.chop(4);
    const qsizetype at = name.startsWith(u'.') ? -1 : recordNameAt(name);
    if (at < 0) {
        f.given = name.toString();
        f.student = withoutCopySuffix(f.given);
        return f;
    }
    name = name.mid(at);
    if (startsWithNoCase(name, u"masterFile_")) {
        f.role = FileRole::Master;
        f.student = name.mid(11).toString();
    } else if (startsWithNoCase(name, u"notes_")) {
        f.role = FileRole::Notes;
        f.student = name.mid(6).toString();
    } else {
        f.role = FileRole::Send;
        f.month = name.mid(5, 2).toInt();
        f.day = name.mid(7, 2).toInt();
        f.student = name.mid(9).toString();
    }
    f.given = f.student;
    f.student = withoutCopySuffix(f.student);
    f.copySuffix = f.student.size() != f.given.size();
    return f;
}

} // namespace report
