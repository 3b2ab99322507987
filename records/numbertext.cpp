#include "records/numbertext.h"

#include <cmath>
#include <string>

namespace numbertext {

namespace {
bool isSkipped(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
} // namespace

double readNumber(QStringView text) {
    std::string number;
    bool digitsSeen = false;
    bool pointSeen = false;
    bool exponentSeen = false;
    bool exponentDigits = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isSkipped(c)) {
            continue;
        }
        if ((c == u'+' || c == u'-') &&
            (number.empty() || (exponentSeen && !exponentDigits && (number.back() == 'e')))) {
            number += static_cast<char>(c.unicode());
        } else if (isDigit(c)) {
            number += static_cast<char>(c.unicode());
            (exponentSeen ? exponentDigits : digitsSeen) = true;
        } else if (c == u'.' && !pointSeen && !exponentSeen) {
            number += '.';
            pointSeen = true;
        } else if ((c == u'e' || c == u'E' || c == u'd' || c == u'D') && digitsSeen && !exponentSeen) {
            number += 'e';
            exponentSeen = true;
        } else {
            break;
        }
    }
    if (!digitsSeen) {
        return 0.0;
    }
    if (exponentSeen && !exponentDigits) {
        // "12e" or "12e-": the exponent never started
        number.erase(number.find('e'));
    }
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
}

QString numberText(double value) {
    QString digits;
    const double magnitude = std::fabs(value);
    if (magnitude == std::floor(magnitude) && magnitude < 1e15) {
        digits = QString::number(magnitude, 'f', 0);
    } else {
        digits = QString::number(magnitude, 'g', 15).toUpper();
    }
    return (value < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + digits;
}

QString numberItem(double value) {
    return numberText(value) + u' ';
}

QString padAssignmentNbr(const QString& typed) {
    switch (typed.size()) {
    case 1:
        return QStringLiteral("00") + typed;
    case 2:
        return QStringLiteral("0") + typed;
    default:
        return typed;
    }
}

QString followingAssignmentNbr(const QString& assignmentNbr) {
    return padAssignmentNbr(numberText(readNumber(assignmentNbr) + 1).trimmed());
}

} // namespace numbertext
