#include "data/SchemaInfo.h"

#include "data/SchemaScript.h"

#include <QHash>
#include <QRegularExpression>

namespace qv::schema {
namespace {

struct Catalogue {
    QHash<QString, QString> canonical;  // lower case -> spelling
    QHash<QString, QStringList> columns;
    QHash<QString, QStringList> keys;
    QHash<QString, bool> dateTime;  // lower-case column names
};

const Catalogue& catalogue() {
    static const Catalogue c = [] {
        Catalogue cat;
        static const QRegularExpression table(QStringLiteral(R"(^CREATE TABLE (\w+) \($)"));
        static const QRegularExpression column(QStringLiteral(R"(^\s+(\w+)\s+(\S+)(.*)$)"));
        static const QRegularExpression primary(QStringLiteral(R"(^\s+PRIMARY KEY \(([\w, ]+)\))"));
        QString current;
        for (const QString& line : QString::fromUtf8(kSchemaScript).split('\n')) {
            if (const auto m = table.match(line); m.hasMatch()) {
                current = m.captured(1);
                cat.canonical.insert(current.toLower(), current);
                continue;
            }
            if (current.isEmpty()) {
                continue;
            }
            if (line.startsWith(')')) {
                current.clear();
                continue;
            }
            if (const auto m = primary.match(line); m.hasMatch()) {
                for (const QString& k : m.captured(1).split(',')) {
                    cat.keys[current.toLower()].append(k.trimmed());
                }
                continue;
            }
            if (const auto m = column.match(line); m.hasMatch()) {
                const QString name = m.captured(1);
                const QString rest = m.captured(2) + m.captured(3);
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
