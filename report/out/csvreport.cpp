#include "report/out/csvreport.h"

#include "report/read/terminaltext.h"

#include <charconv>
#include <string>

namespace report {

namespace {

// A number as a spreadsheet reads one, "-1", "+2.5", "1e3": a sign, digits with a point among them, an exponent.
// "-inf" or "-nan" is no number there, and would be read as a formula.
bool isPlainNumber(QStringView text) {
    qsizetype i = !text.isEmpty() && (text[0] == u'-' || text[0] == u'+') ? 1 : 0;
    const auto digits = [&] {
        const qsizetype from = i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
            ++i;
        }
        return i - from;
    };
    qsizetype mantissa = digits();
    if (i < text.size() && text[i] == u'.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        i += i < text.size() && (text[i] == u'-' || text[i] == u'+') ? 1 : 0;
        if (digits() == 0) {
            return false;
        }
    }
    return i == text.size();
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

// Text as UTF-8; a table's text is ASCII as a rule, and that goes over byte for byte.
void appendUtf8(std::string& out, QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            out += text.toUtf8().toStdString();
            return;
        }
    }
    for (const QChar c : text) {
        out += static_cast<char>(c.unicode());
    }
}

void appendCsvField(std::string& out, QStringView text) {
    const bool formula = !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text[0]) && !isPlainNumber(text);
    bool quote = text.startsWith(u' ') || text.endsWith(u' ');
    for (const QChar c : text) {
        quote = quote || c == u',' || c == u'"' || c == u'\n' || c == u'\r';
    }
    if (quote) {
        out += '"';
    }
    if (formula) {
        out += '\'';
    }
    if (quote) {
        appendUtf8(out, text.toString().replace(u'"', QStringLiteral("\"\"")));
        out += '"';
    } else {
        appendUtf8(out, text);
    }
}

// The table's bytes, made a field at a time.
class Table {
public:
    void text(QStringView field) {
        next();
        appendCsvField(m_out, field);
    }
    void count(int n) {
        next();
        char digits[16];
        m_out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
    }
    // a time holds digits, '-', ':' and a blank between the date and the time: a field as it stands
    void time(const Record* r) {
        next();
        if (r) {
            appendTimeText(m_out, *r);
        }
    }
    void endRow() {
        m_out += "\r\n";
        m_first = true;
    }
    QByteArray bytes() const { return QByteArray::fromStdString(m_out); }

private:
    void next() {
        if (!m_first) {
            m_out += ',';
        }
        m_first = false;
    }

    std::string m_out = "\xEF\xBB\xBF"; // the byte-order mark: spreadsheets read the file as UTF-8 then
    bool m_first = true;
};

} // namespace

QString csvField(QStringView text) {
    std::string field;
    appendCsvField(field, text);
    return QString::fromStdString(field);
}

QByteArray csvReport(const ClassRecords& records, const ClassView& view) {
    Table table;
    for (const char16_t* name :
         {u"student", u"assignment", u"question", u"responses", u"confidence", u"confidence_time", u"self_critiques",
          u"self_critique", u"self_critique_time", u"notes"}) {
        table.text(name);
    }
    table.endRow();
    // each student's records not placed, per assignment: the class's are looked through once
    std::vector<std::vector<std::vector<const Item*>>> unplacedOf(view.assignments.size());
    for (std::size_t a = 0; a < view.assignments.size(); ++a) {
        for (const Item& it : view.assignments[a].unplaced) {
            if (unplacedOf[a].empty()) {
                unplacedOf[a].resize(records.students.size());
            }
            unplacedOf[a][static_cast<std::size_t>(it.student)].push_back(&it);
        }
    }
    for (std::size_t s = 0; s < records.students.size(); ++s) {
        // a name holds what its file name held: control characters as standard error shows them
        const QString name = terminalText(records.students[s].name);
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
                table.text(name);
                table.text(av.nbr);
                table.text(groupLabel(dg));
                table.count(q.responses);
                table.text(q.confidence ? QStringView(q.confidence->ratingText) : QStringView());
                table.time(q.confidence);
                table.count(q.critiques);
                table.text(q.critique ? QStringView(q.critique->ratingText) : QStringView());
                table.time(q.critique);
                table.count(q.notes);
                table.endRow();
            }
            // the records not placed in a question, a row each, so that every rating stands in a row of its own
            static const std::vector<const Item*> none;
            for (const Item* it : unplacedOf[a].empty() ? none : unplacedOf[a][s]) {
                const Record& r = *it->record;
                const bool note = r.kind == recordreader::BlockKind::Note;
                const bool critique = !note && r.rating == recordreader::Rating::SelfCritique;
                const bool confidence = !note && r.rating == recordreader::Rating::Confidence;
                table.text(name);
                table.text(av.nbr);
                table.text(u"not placed in a question");
                table.count(!note && !critique ? 1 : 0);
                table.text(confidence ? QStringView(r.ratingText) : QStringView());
                table.time(confidence ? &r : nullptr);
                table.count(critique ? 1 : 0);
                table.text(critique ? QStringView(r.ratingText) : QStringView());
                table.time(critique ? &r : nullptr);
                table.count(note ? 1 : 0);
                table.endRow();
            }
        }
    }
    return table.bytes();
}

} // namespace report
