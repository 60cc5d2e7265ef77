#include "language/LanguageSource.h"

#include "language/ComponentText.h"
#include "language/Language.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <map>

namespace qv::language {
namespace {

constexpr int kFields = 6;

[[noreturn]] void malformed(const QString& file, int line, const QString& why) {
    throw qv::Error(QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(why));
}

// "Items.3" → ("Items", 3); a plain property → (name, -1).
std::pair<QString, int> splitEntry(const QString& property, bool* ok) {
    *ok = true;
    const qsizetype dot = property.indexOf(QLatin1Char('.'));
    if (dot < 0) {
        return {property, -1};
    }
    const int index = property.mid(dot + 1).toInt(ok);
    if (*ok && index < 0) {
        *ok = false;
    }
    return {property.left(dot), index};
}

bool isListName(const QString& name) {
    return name == QLatin1String("Items") || name == QLatin1String("Lines") ||
           name == QLatin1String("Columns") || name == QLatin1String(kMessagesProperty);
}

// The header line of a list in the component text, as a capture writes it.
QString listHeader(const QString& name, const QString& className) {
    if (name != QLatin1String("Columns")) {
        return name + QStringLiteral(":TStrings");
    }
    static const QStringList listViews{QStringLiteral("QTreeWidget"), QStringLiteral("QTreeView"),
                                       QStringLiteral("QTableWidget")};
    return name + (listViews.contains(className) ? QStringLiteral(":TListColumns")
                                                 : QStringLiteral(":TDBGridColumns"));
}

QString itemLine(const QString& name, int index, const QString& text) {
    const int indent = name == QLatin1String("Columns") ? 3 : 10;
    return QString(indent, QLatin1Char(' ')) + QString::number(index) + QLatin1Char(':') + text;
}

}  // namespace

std::vector<SourceRow> parseSource(const QString& text, const QString& fileName) {
    std::vector<SourceRow> rows;
    QSet<QString> keys;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        const int number = i + 1;
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() != kFields) {
            malformed(fileName, number,
                      QStringLiteral("%1 fields, expected %2 (form, component, class, property, "
                                     "built-in text, translation)")
                          .arg(f.size())
                          .arg(kFields));
        }
        SourceRow r{f[0].trimmed(),    f[1].trimmed(),    f[2].trimmed(), f[3].trimmed(),
                    decodeValue(f[4]), decodeValue(f[5]), number};
        if (r.form.isEmpty() || r.component.isEmpty() || r.property.isEmpty()) {
            malformed(fileName, number, QStringLiteral("form, component and property are needed"));
        }
        bool ok = false;
        const auto [name, index] = splitEntry(r.property, &ok);
        if (!ok || name.isEmpty() || (index >= 0 && !isListName(name))) {
            malformed(fileName, number,
                      QStringLiteral("\"%1\" is neither a property nor a list entry (Items.n, "
                                     "Lines.n, Columns.n, Variable.n)")
                          .arg(r.property));
        }
        if (index < 0 && isListName(name)) {
            malformed(fileName, number,
                      QStringLiteral("the list \"%1\" needs an entry number").arg(name));
        }
        if ((name == QLatin1String(kMessagesProperty)) !=
            (r.component == QLatin1String(kMessagesComponent))) {
            malformed(fileName, number,
                      QStringLiteral("message lines are the entries Variable.n of Language1"));
        }
        const QString key =
            r.form + QLatin1Char('\t') + r.component + QLatin1Char('\t') + r.property;
        if (keys.contains(key)) {
            malformed(fileName, number,
                      QStringLiteral("%1 %2 %3 is translated twice")
                          .arg(r.form, r.component, r.property));
        }
        keys.insert(key);
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<SourceRow> readSource(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw qv::Error(
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    return parseSource(QString::fromUtf8(file.readAll()), QDir::toNativeSeparators(path));
}

QString formatSource(const std::vector<SourceRow>& rows, const QString& header) {
    QString out = header;
    if (!out.isEmpty() && !out.endsWith(QLatin1Char('\n'))) {
        out += QLatin1Char('\n');
    }
    QString form;
    for (const SourceRow& r : rows) {
        if (r.form != form) {
            out += QLatin1Char('\n');  // one block a window
            form = r.form;
        }
        out += QStringList{r.form,
                           r.component,
                           r.className,
                           r.property,
                           encodeValue(r.builtIn),
                           encodeValue(r.text)}
                   .join(QLatin1Char('\t')) +
               QLatin1Char('\n');
    }
    return out;
}

StoreRows storeRows(const std::vector<SourceRow>& rows) {
    StoreRows out;
    // A component's text is built from its rows in source order; a list is
    // collected whole before it is written.
    struct List {
        QString name;
        std::map<int, const SourceRow*> items;
    };
    struct Part {
        QString line;  // a property line, or empty for a list
        int list = -1;
    };
    struct Building {
        QString form, name, className;
        std::vector<Part> parts;
        std::vector<List> lists;
    };
    std::vector<Building> components;
    QHash<QString, size_t> componentIndex;
    std::vector<std::pair<QString, List>> messages;
    QHash<QString, size_t> messageIndex;

    for (const SourceRow& r : rows) {
        bool ok = false;
        const auto [name, index] = splitEntry(r.property, &ok);
        if (name == QLatin1String(kMessagesProperty)) {
            auto it = messageIndex.find(r.form);
            if (it == messageIndex.end()) {
                it = messageIndex.insert(r.form, messages.size());
                messages.push_back({r.form, List{name, {}}});
            }
            messages[*it].second.items[index] = &r;
            continue;
        }
        const QString key = r.form + QLatin1Char('\t') + r.component;
        auto it = componentIndex.find(key);
        if (it == componentIndex.end()) {
            it = componentIndex.insert(key, components.size());
            components.push_back({r.form, r.component, r.className, {}, {}});
        }
        Building& b = components[*it];
        if (index < 0) {
            if (r.text.isEmpty()) {
                ++out.untranslated;
                continue;
            }
            b.parts.push_back({name + QLatin1Char(':') + encodeValue(r.text), -1});
            continue;
        }
        auto list = std::find_if(b.lists.begin(), b.lists.end(),
                                 [&](const List& l) { return l.name == name; });
        if (list == b.lists.end()) {
            b.lists.push_back({name, {}});
            b.parts.push_back({QString(), static_cast<int>(b.lists.size() - 1)});
            list = b.lists.end() - 1;
        }
        list->items[index] = &r;
    }

    auto checkWhole = [](const QString& form, const QString& component, const List& list) {
        int expected = 0;
        for (const auto& [index, row] : list.items) {
            if (index != expected++) {
                throw qv::Error(QStringLiteral("%1 %2: entry %3.%4 is missing (line %5 has %3.%6)")
                                    .arg(form, component, list.name)
                                    .arg(expected - 1)
                                    .arg(row->line)
                                    .arg(index));
            }
        }
    };

    for (const Building& b : components) {
        QStringList lines;
        for (const Part& part : b.parts) {
            if (part.list < 0) {
                lines << part.line;
                continue;
            }
            const List& list = b.lists[static_cast<size_t>(part.list)];
            // Entries are applied by position: every list is listed whole.
            checkWhole(b.form, b.name, list);
            const bool columns = list.name == QLatin1String("Columns");
            QStringList items;
            bool complete = true;
            for (const auto& [index, row] : list.items) {
                QString text = row->text;
                if (text.isEmpty()) {
                    complete = false;
                    ++out.untranslated;
                    text = row->builtIn;  // a column keeps its own title
                }
                items << itemLine(list.name, index, encodeValue(text));
            }
            // Columns are set one by one; an item list only as a whole.
            if (columns || complete) {
                lines << listHeader(list.name, b.className) << items;
            }
        }
        if (!lines.isEmpty()) {
            out.components.push_back({b.form, b.name, b.className, lines.join(QLatin1Char('\n'))});
        }
    }
    for (const auto& [form, list] : messages) {
        // Lines not listed stay empty: the window shows its own text there.
        QStringList lines;
        for (const auto& [index, row] : list.items) {
            while (lines.size() < index) {
                lines << QString();
            }
            if (row->text.isEmpty()) {
                ++out.untranslated;
            }
            // A message line is taken as it stands: one line each.
            QString text = row->text;
            text.replace(QLatin1Char('\n'), QLatin1Char(' '));
            lines << text;
        }
        out.messages.push_back({form, lines.join(QLatin1Char('\n'))});
    }
    return out;
}

void installLanguage(const QString& storePath, const QString& appName, int languageId,
                     const StoreRows& rows) {
    const QFileInfo file(storePath);
    if (!QDir().mkpath(file.absolutePath())) {
        throw qv::DbError(
            storeErrorText(storePath, QStringLiteral("cannot create the folder %1")
                                          .arg(QDir::toNativeSeparators(file.absolutePath()))));
    }
    const QString connection = QStringLiteral("qv_language_install");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(storePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        auto fail = [&](const QString& why) { throw qv::DbError(storeErrorText(storePath, why)); };
        try {
            if (!db.open()) {
                fail(db.lastError().text());
            }
            createStoreTables(db, storePath);
            auto run = [&](QSqlQuery& q) {
                if (!q.exec()) {
                    fail(q.lastError().text());
                }
            };
            if (!db.transaction()) {
                fail(db.lastError().text());
            }
            try {
                for (const char* table : {"Component_Table", "Dialog_Table"}) {
                    QSqlQuery del(db);
                    del.prepare(QStringLiteral("Delete From %1 Where AppName = :app And "
                                               "LanguageID = :lang")
                                    .arg(QLatin1String(table)));
                    del.bindValue(QStringLiteral(":app"), appName);
                    del.bindValue(QStringLiteral(":lang"), languageId);
                    run(del);
                }
                QSqlQuery c(db);
                c.prepare(QStringLiteral(
                    "Insert Into Component_Table (AppName, FormName, ComponentName, LanguageID, "
                    "ComponentClass, ComponentProperty) Values (:app, :form, :name, :lang, "
                    ":class, :text)"));
                for (const StoreRows::Component& r : rows.components) {
                    c.bindValue(QStringLiteral(":app"), appName);
                    c.bindValue(QStringLiteral(":form"), r.form);
                    c.bindValue(QStringLiteral(":name"), r.name);
                    c.bindValue(QStringLiteral(":lang"), languageId);
                    c.bindValue(QStringLiteral(":class"), r.className);
                    c.bindValue(QStringLiteral(":text"), r.text);
                    run(c);
                }
                QSqlQuery m(db);
                m.prepare(QStringLiteral(
                    "Insert Into Dialog_Table (AppName, FormName, DialogID, LanguageID, Title, "
                    "MessageStr) Values (:app, :form, 0, :lang, '', :text)"));
                for (const StoreRows::Messages& r : rows.messages) {
                    m.bindValue(QStringLiteral(":app"), appName);
                    m.bindValue(QStringLiteral(":form"), r.form);
                    m.bindValue(QStringLiteral(":lang"), languageId);
                    m.bindValue(QStringLiteral(":text"), r.text);
                    run(m);
                }
                if (!db.commit()) {
                    fail(db.lastError().text());
                }
            } catch (...) {
                db.rollback();
                throw;
            }
        } catch (...) {
            db.close();
            throw;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

int sourceLanguageId(const QString& path) {
    bool ok = false;
    const int id = QFileInfo(path).completeBaseName().toInt(&ok);
    return ok && id > 0 ? id : 0;
}

}  // namespace qv::language
