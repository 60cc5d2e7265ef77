#include "data/SchemaInfo.h"

#include "data/SchemaScript.h"

#include <QHash>
#include <algorithm>

namespace qv::schema {
namespace {

struct Catalogue {
    QHash<QString, QString> canonical;  // lower case -> spelling
    QHash<QString, QStringList> columns;
    QHash<QString, QStringList> keys;
    QHash<QString, bool> dateTime;  // lower-case column names
};

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// The leading run of word characters of `text` from `from`.
qsizetype wordEnd(QStringView text, qsizetype from) {
    while (from < text.size() && isWordChar(text[from])) {
        ++from;
    }
    return from;
}

qsizetype spaceEnd(QStringView text, qsizetype from) {
    while (from < text.size() && text[from].isSpace()) {
        ++from;
    }
    return from;
}

// Read once from the schema script, line by line: "CREATE TABLE Name (",
// then indented "Column TYPE ..." lines and "PRIMARY KEY (A, B)", then ")".
const Catalogue& catalogue() {
    static const Catalogue c = [] {
        Catalogue cat;
        const QString script = QString::fromUtf8(kSchemaScript);
        QString current;
        for (const QStringView line : QStringView(script).split(u'\n')) {
            const QLatin1String createTable("CREATE TABLE ");
            if (line.startsWith(createTable) && line.endsWith(QLatin1String(" ("))) {
                const QStringView name = line.mid(createTable.size()).chopped(2);
                if (!name.isEmpty() && wordEnd(name, 0) == name.size()) {
                    current = name.toString();
                    cat.canonical.insert(current.toLower(), current);
                    continue;
                }
            }
            if (current.isEmpty()) {
                continue;
            }
            if (line.startsWith(u')')) {
                current.clear();
                continue;
            }
            const qsizetype start = spaceEnd(line, 0);
            if (start == 0) {
                continue;  // not indented: no column
            }
            const QStringView body = line.mid(start);
            const QLatin1String primaryKey("PRIMARY KEY (");
            if (body.startsWith(primaryKey)) {
                const qsizetype close = body.indexOf(u')');
                const QStringView keys =
                    close > 0 ? body.mid(primaryKey.size(), close - primaryKey.size())
                              : QStringView();
                const bool listed =
                    !keys.isEmpty() && std::all_of(keys.begin(), keys.end(), [](QChar ch) {
                        return isWordChar(ch) || ch == u',' || ch == u' ';
                    });
                if (listed) {
                    for (const QStringView k : keys.split(u',')) {
                        cat.keys[current.toLower()].append(k.trimmed().toString());
                    }
                    continue;
                }
            }
            const qsizetype nameEnd = wordEnd(body, 0);
            const qsizetype typeStart = spaceEnd(body, nameEnd);
            if (nameEnd == 0 || typeStart == nameEnd || typeStart >= body.size()) {
                continue;  // a column is a name, blanks and a type
            }
            const QString name = body.left(nameEnd).toString();
            const QStringView rest = body.mid(typeStart);
            cat.canonical.insert(name.toLower(), name);
            cat.columns[current.toLower()].append(name);
            if (rest.contains(QLatin1String("{DATETIME}"))) {
                cat.dateTime.insert(name.toLower(), true);
            }
            if (rest.contains(QLatin1String("{KEY}")) ||
                rest.contains(QLatin1String("PRIMARY KEY"))) {
                cat.keys[current.toLower()].append(name);
            }
        }
        return cat;
    }();
    return c;
}

}  // namespace

QStringList statements(const QString& script) {
    QStringList out;
    QString current;
    for (const QString& raw : script.split('\n')) {
        const QString line = raw.trimmed().startsWith(QLatin1String("--")) ? QString() : raw;
        if (line.trimmed().isEmpty()) {
            continue;
        }
        current += line + '\n';
        if (line.trimmed().endsWith(';')) {
            current = current.trimmed();
            current.chop(1);
            out.append(current);
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty()) {
        out.append(current.trimmed());
    }
    return out;
}

QString canonicalName(const QString& name) {
    return catalogue().canonical.value(name.toLower(), name);
}

bool isDateTimeColumn(const QString& column) {
    return catalogue().dateTime.contains(column.toLower());
}

QStringList keyColumns(const QString& table) {
    return catalogue().keys.value(table.toLower());
}

QStringList columns(const QString& table) {
    return catalogue().columns.value(table.toLower());
}

}  // namespace qv::schema
