#include "report/classrecords.h"

#include <QFileInfo>

#include <algorithm>

// What a file's name says.
namespace report {

namespace {

bool startsWithNoCase(QStringView text, QStringView prefix) {
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

// The student part as several files may give it: without a copy suffix (" (1)") that a download added.
QString withoutCopySuffix(QString name) {
    if (name.endsWith(u')')) {
        const qsizetype open = name.lastIndexOf(u'(');
        bool digits = open > 0 && open + 2 < name.size();
        for (qsizetype i = open + 1; digits && i + 1 < name.size(); ++i) {
            digits = name[i].isDigit();
        }
        if (digits) {
            name.truncate(open);
            while (name.endsWith(u' ') || name.endsWith(u'_')) {
                name.chop(1);
            }
        }
    }
    return name;
}

// Where a record file's name starts within a longer one: at the start, or after a blank, "_" or "-" that a course
// platform put before it. The last such place is taken; -1 when there is none.
qsizetype recordNameAt(QStringView name) {
    const auto at = [&](qsizetype i) {
        const QStringView rest = name.mid(i);
        return startsWithNoCase(rest, u"masterFile_") || startsWithNoCase(rest, u"notes_") ||
               (startsWithNoCase(rest, u"send_") && rest.size() >= 9 &&
                std::all_of(rest.begin() + 5, rest.begin() + 9, [](QChar c) { return c >= u'0' && c <= u'9'; }));
    };
    if (at(0)) {
        return 0;
    }
    for (qsizetype i = name.size() - 5; i > 0; --i) {
        const QChar before = name[i - 1];
        if ((before == u'_' || before == u' ' || before == u'-') && at(i)) {
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
        f.student = withoutCopySuffix(name.toString());
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
    f.student = withoutCopySuffix(f.student);
    return f;
}

} // namespace report
