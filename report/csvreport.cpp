#include "report/csvreport.h"

namespace report {

namespace {

bool isPlainNumber(QStringView text) {
    bool ok = false;
    static_cast<void>(text.toDouble(&ok));
    return ok;
}

QString groupLabel(const DocGroup& g) {
    switch (g.kind) {
    case DocGroup::Kind::Preamble:
        return QStringLiteral("before the first question");
    case DocGroup::Kind::Question:
        return g.number;
    case DocGroup::Kind::OptionalQuestion:
        return g.number + QStringLiteral(" (optional)");
    case DocGroup::Kind::Closing:
        return QStringLiteral("end of the assignment");
    }
    return QString();
}

} // namespace

QString csvField(QStringView text) {
    QString field = text.toString();
    if (!field.isEmpty() && QStringView(u"=+-@\t\r").contains(field[0]) && !isPlainNumber(field)) {
        field.prepend(u'\'');
    }
    const bool quote = field.contains(u',') || field.contains(u'"') || field.contains(u'\n') || field.contains(u'\r') ||
                       field.startsWith(u' ') || field.endsWith(u' ');
    if (!quote) {
        return field;
    }
    field.replace(u'"', QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

QByteArray csvReport(const ClassRecords& records, const ClassView& view) {
    QString out;
    const auto row = [&out](std::initializer_list<QString> fields) {
        bool first = true;
        for (const QString& f : fields) {
            if (!first) {
                out += u',';
            }
            first = false;
            out += csvField(f);
        }
        out += QStringLiteral("\r\n");
    };
    row({QStringLiteral("student"), QStringLiteral("assignment"), QStringLiteral("question"),
         QStringLiteral("responses"), QStringLiteral("confidence"), QStringLiteral("confidence_time"),
         QStringLiteral("self_critiques"), QStringLiteral("self_critique"), QStringLiteral("self_critique_time"),
         QStringLiteral("notes")});
    for (std::size_t s = 0; s < records.students.size(); ++s) {
        const QString& name = records.students[s].name;
        for (std::size_t a = 0; a < view.assignments.size(); ++a) {
            const Cell& c = view.cells[s][a];
            const AssignmentView& av = view.assignments[a];
            if (!c.present) {
                continue;
            }
            for (std::size_t g = 0; av.doc && g < av.doc->groups.size(); ++g) {
                const DocGroup& dg = av.doc->groups[g];
                const QuestionSummary& q = c.groups[g];
                const bool question =
                    dg.kind == DocGroup::Kind::Question || dg.kind == DocGroup::Kind::OptionalQuestion;
                if (!question && q.responses + q.critiques + q.notes == 0) {
                    continue;
                }
                row({name, av.nbr, groupLabel(dg), QString::number(q.responses),
                     q.confidence ? q.confidence->ratingText : QString(),
                     q.confidence ? timeText(*q.confidence) : QString(), QString::number(q.critiques),
                     q.critique ? q.critique->ratingText : QString(), q.critique ? timeText(*q.critique) : QString(),
                     QString::number(q.notes)});
            }
            if (c.unplaced > 0) {
                int responses = 0;
                int notes = 0;
                for (const Item& it : av.unplaced) {
                    if (it.student == static_cast<int>(s)) {
                        (it.record->kind == recordreader::BlockKind::Note ? notes : responses) += 1;
                    }
                }
                row({name, av.nbr, QStringLiteral("not in the problem document"), QString::number(responses), QString(),
                     QString(), QString(), QString(), QString(), QString::number(notes)});
            }
        }
    }
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

} // namespace report
