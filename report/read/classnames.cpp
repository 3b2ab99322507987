// The forms of one student's name that a class's files give, joined: the form shown, and each other form told.
#include "report/read/classrecords.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace report {

QString shownName(const QString& form) {
    QString name = form.normalized(QString::NormalizationForm_C);
    name.replace(u'_', u' ');
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("(no name)") : name;
}

// A copy suffix that ends a student's own name is no copy suffix: beside send_0107Ann_Lee_2.txt, "send_0108Ann Lee
// 2.txt" is Ann Lee 2's, not a copy of Ann Lee's. Of the forms a name takes as its suffixes come off, the first that a
// file without a suffix gives is the student's.
void ClassReader::keepNamesOfTheirOwn() {
    std::set<QString> plain; // the names of files without a copy suffix, by their letters in one case
    for (const auto& [key, forms] : m_names) {
        if (std::any_of(forms.begin(), forms.end(), [](const NameForm& f) { return !f.copySuffix; })) {
            plain.insert(key);
        }
    }
    std::map<int, QString> keyOf; // the files whose student changes
    std::vector<std::pair<QString, NameForm>> moved;
    for (auto& [name, forms] : m_names) {
        const QString& key = name; // a lambda takes no structured binding in every compiler
        const auto own = [&](const NameForm& f) {
            if (!f.copySuffix) {
                return false;
            }
            const QStringList stages = copySuffixForms(f.given);
            for (qsizetype i = 0; i + 1 < stages.size(); ++i) {
                if (const QString k = nameKey(stages[i]); k != key && plain.count(k) > 0) {
                    NameForm form = f;
                    form.form = stages[i];
                    form.copySuffix = i > 0;
                    moved.emplace_back(k, form);
                    keyOf[f.file] = k;
                    return true;
                }
            }
            return false;
        };
        forms.erase(std::remove_if(forms.begin(), forms.end(), own), forms.end());
    }
    if (moved.empty()) {
        return;
    }
    for (auto& [key, form] : moved) {
        m_names[key].push_back(std::move(form));
    }
    std::erase_if(m_names, [](const auto& name) { return name.second.empty(); });
    for (PendingRun& p : m_runs) {
        if (const auto k = keyOf.find(p.run.file); k != keyOf.end()) {
            p.student = k->second;
        }
    }
}

// Of the forms of each name met, the one shown; each other form is told where it was met.
QHash<QString, QString> ClassReader::chooseNames() {
    // of the forms of one name, the one in mixed case, stored plainly, from a file without a copy suffix, the first
    // such
    QHash<QString, QString> nameOf;
    for (const auto& [key, forms] : m_names) {
        const auto score = [](const NameForm& f) {
            const bool mixed = f.form.toLower() != f.form && f.form.toUpper() != f.form;
            const bool plain = f.form == f.form.normalized(QString::NormalizationForm_C) &&
                               shownName(f.form).size() == f.form.size() &&
                               std::none_of(f.form.begin(), f.form.end(), [](QChar c) {
                                   return c.category() == QChar::Other_Format || c.category() == QChar::Other_Control;
                               });
            return (mixed ? 4 : 0) + (plain ? 2 : 0) + (f.copySuffix ? 0 : 1);
        };
        const NameForm* best = &forms.front();
        std::optional<int> bestScore; // weighed once another form is met: most names come in one
        for (std::size_t i = 1; i < forms.size(); ++i) {
            const NameForm& f = forms[i];
            if (f.form == best->form && f.copySuffix == best->copySuffix) {
                continue;
            }
            bestScore = bestScore ? bestScore : score(*best);
            if (const int other = score(f); other > *bestScore) {
                best = &f;
                bestScore = other;
            }
        }
        nameOf.insert(key, best->form);
        for (const NameForm& f : forms) {
            if (f.form != best->form) {
                addIssue(f.path, QStringLiteral("the name \"%1\" is taken as \"%2\": names that differ only in letter "
                                                "case, blanks, the way their letters are stored or a copy suffix are "
                                                "one student")
                                     .arg(f.copySuffix ? f.given : f.form, best->form));
            } else if (f.copySuffix) {
                addIssue(f.path, QStringLiteral("the name \"%1\" is taken as \"%2\", without its copy suffix")
                                     .arg(QFileInfo(f.path).completeBaseName(), f.form));
            }
        }
    }
    return nameOf;
}

} // namespace report
