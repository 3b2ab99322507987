#include "problems/markup.h"

#include "records/linecoding.h"

namespace markup {

bool beginsWithQuestionMarker(QStringView line) {
    return line.startsWith(questionMarker);
}

bool beginsWithQuestionMarkerAnyCase(QStringView line) {
    return line.left(2).toString().toLower() == questionMarker;
}

bool beginsWithAnswerMarker(QStringView line) {
    return line.startsWith(answerMarker);
}

bool beginsWithRoutineMarker(QStringView line) {
    return line.left(8).toString().toLower() == routineMarker;
}

QString routineName(QStringView line) {
    return linecoding::remSpaces(line.mid(9).toString()).toLower();
}

bool beginsWithEndOfTextMarker(QStringView line) {
    return line.startsWith(endOfTextMarker);
}

bool isHeadingOf(QStringView line, QStringView nbr) {
    return line.left(3) == nbr;
}

bool opensAssignment(QStringView line, QStringView nbr) {
    const QString key = nbr.toString() + u'.';
    return line.left(4) == key;
}

QString expandLineBreaks(QStringView text) {
    QString result;
    result.reserve(text.size());
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(u"{}"); at >= 0; at = text.indexOf(u"{}", from)) {
        result += text.sliced(from, at - from);
        result += QStringLiteral("\r\n");
        from = at + 2;
    }
    result += text.sliced(from);
    return result;
}

LineKind kindOf(QStringView line) {
    if (line.isEmpty()) {
        return LineKind::Separator;
    }
    if (line.size() >= 4 && line[0].isDigit() && line[1].isDigit() && line[2].isDigit() && line[3] == u'.') {
        return LineKind::Heading;
    }
    if (beginsWithQuestionMarker(line)) {
        return LineKind::Question;
    }
    if (beginsWithAnswerMarker(line)) {
        return LineKind::Answer;
    }
    if (beginsWithRoutineMarker(line)) {
        return LineKind::Routine;
    }
    if (line == closingText) {
        return LineKind::Closing;
    }
    return LineKind::Text;
}

} // namespace markup
