// The lock database's structure on a connection: creating it, checking that
// a database is a lock database the program can use, and bringing an older
// one up to this version, one step at a time (upgradeStep: every step of
// every version is listed there, in order).
#include "data/Connection.h"

#include "data/ChangeFeedSchema.h"
#include "data/KeyRequestSchema.h"
#include "data/OperationLogSchema.h"
#include "data/SchemaInfo.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>

namespace qv {

bool Connection::isEmpty() const {
    const QString sql =
        kind() == DbKind::SQLite
            ? QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table'")
            : QStringLiteral(
                  "SELECT count(*) FROM information_schema.tables "
                  "WHERE table_schema = current_schema()");
    return scalar(sql).toInt() == 0;
}

void Connection::createSchema() {
    if (!isEmpty()) {
        throw DbError(
            qv::programText(QStringLiteral("数据库 %1 中已经有表，不能再建立门锁数据库结构。"))
                .arg(description()));
    }
    Transaction t(*this);
    for (const QString& statement : schema::statements(dialect_.schemaScript())) {
        run(statement);
    }
    if (kind() == DbKind::PostgreSQL) {
        for (const QString& statement : schema::changeFeedServerStatements()) {
            run(statement);
        }
    }
    run(QStringLiteral(
        "CREATE TABLE QuorvaneSchema (ApplicationId INTEGER NOT NULL, Version INTEGER NOT NULL)"));
    run(QStringLiteral("INSERT INTO QuorvaneSchema (ApplicationId, Version) VALUES (:a, :v)"),
        {{":a", kApplicationId}, {":v", kSchemaVersion}});
    if (kind() == DbKind::SQLite) {
        run(QStringLiteral("PRAGMA application_id=%1").arg(kApplicationId));
        run(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion));
    }
    t.commit();
}

int Connection::schemaVersion() const {
    if (kind() == DbKind::SQLite) {
        return scalar(QStringLiteral("PRAGMA user_version")).toInt();
    }
    return scalar(QStringLiteral("SELECT Version FROM QuorvaneSchema")).toInt();
}

void Connection::checkLockDatabase() {
    const QString notLock = notLockText();
    int version = 0;
    if (kind() == DbKind::SQLite) {
        if (scalar(QStringLiteral("PRAGMA application_id")).toInt() != kApplicationId) {
            throw DbError(notLock);
        }
        version = schemaVersion();
    } else {
        const QVariant has = scalar(QStringLiteral(
            "SELECT count(*) FROM information_schema.tables "
            "WHERE table_schema = current_schema() AND table_name = 'quorvaneschema'"));
        if (has.toInt() == 0) {
            throw DbError(notLock);
        }
        QSqlQuery q = run(QStringLiteral("SELECT ApplicationId, Version FROM QuorvaneSchema"));
        if (!q.next() || q.value(0).toInt() != kApplicationId) {
            throw DbError(notLock);
        }
        version = q.value(1).toInt();
    }
    if (version > kSchemaVersion) {
        throw DbError(
            qv::programText(
                QStringLiteral(
                    "数据库 %1 由较新版本的程序建立（结构版本 %2），本程序只能使用到版本 %3。"))
                .arg(description())
                .arg(version)
                .arg(kSchemaVersion));
    }
    if (version < 1) {
        throw DbError(notLock);
    }
    checkSchemaComplete(version);
    upgradeSchema(version);

    // Indexes only make queries fast: one that cannot be made now (a
    // read-only file) does not keep the desk from working.
    try {
        createMissingIndexes();
    } catch (const DbError& e) {
        qWarning("lock database: an index could not be created: %s", qUtf8Printable(e.text()));
    }
}

namespace {

// What each schema version adds to the one before it; step N brings version
// N - 1 to N. A new database gets all of it from the schema script.
const QStringList& upgradeStep(int toVersion) {
    static const QList<QStringList> steps{
        {},  // version 0: none
        {},  // version 1: the first schema
        {
            // Version 2: the state of each card issue log row, so that a card
            // handed to the encoder is in the log before it is written.
            QStringLiteral("ALTER TABLE MakeCardRecord ADD COLUMN CardState INTEGER NOT NULL "
                           "DEFAULT 0"),
            QStringLiteral("CREATE INDEX MakeCardRecord_Unconfirmed ON MakeCardRecord (ID) "
                           "WHERE CardState IN (1, 2)"),
        },
        {
            // Version 3: each door-opening record keeps its lock and its
            // identity, so that reading a data card again stores nothing twice.
            QStringLiteral("ALTER TABLE OpenDoorRecord ADD COLUMN Buiding INTEGER"),
            QStringLiteral("ALTER TABLE OpenDoorRecord ADD COLUMN Floor INTEGER"),
            QStringLiteral("ALTER TABLE OpenDoorRecord ADD COLUMN RoomNumber INTEGER"),
            QStringLiteral("ALTER TABLE OpenDoorRecord ADD COLUMN RecordKey TEXT"),
            QStringLiteral("CREATE UNIQUE INDEX OpenDoorRecord_RecordKey ON OpenDoorRecord "
                           "(RecordKey)"),
        },
        {},                          // version 4: no change of its own
        schema::keyRequestStep(),    // version 5: the PMS link's key requests
        {},                          // version 6: the change feed's server triggers
        schema::operationLogStep(),  // version 7: the operations log and the failed logons
    };
    return steps.at(toVersion);
}

// What step N adds on a server database only, after upgradeStep(N).
const QStringList& serverStep(int toVersion) {
    static const QStringList none;
    switch (toVersion) {
        case 5:
            return schema::keyRequestServerStatements();
        case 6:
            return schema::changeFeedServerStatements();
        default:
            return none;
    }
}

// The tables and columns that the upgrade steps after `version` add, as
// "table" and "table.column" in lower case: a database of that version
// does not have them yet.
QSet<QString> addedAfter(int version) {
    static const QRegularExpression addColumn(
        QStringLiteral("^\\s*ALTER\\s+TABLE\\s+(\\w+)\\s+ADD\\s+(?:COLUMN\\s+)?(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression createTable(
        QStringLiteral("^\\s*CREATE\\s+TABLE\\s+(?:IF\\s+NOT\\s+EXISTS\\s+)?(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    QSet<QString> out;
    for (int next = version + 1; next <= Connection::kSchemaVersion; ++next) {
        for (const QString& statement : upgradeStep(next)) {
            if (const auto m = addColumn.match(statement); m.hasMatch()) {
                out.insert(m.captured(1).toLower() + '.' + m.captured(2).toLower());
            } else if (const auto t = createTable.match(statement); t.hasMatch()) {
                out.insert(t.captured(1).toLower());
            }
        }
    }
    return out;
}

}  // namespace

void Connection::checkSchemaComplete(int version) const {
    // What the database has, in lower case: "table" and "table.column".
    QSet<QString> has;
    if (kind() == DbKind::SQLite) {
        QStringList tables;
        QSqlQuery q = run(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
        while (q.next()) {
            tables << q.value(0).toString();
        }
        for (const QString& table : tables) {
            has.insert(table.toLower());
            QSqlQuery c = run(QStringLiteral("SELECT name FROM pragma_table_info(:t)"),
                              {{QStringLiteral(":t"), table}});
            while (c.next()) {
                has.insert(table.toLower() + '.' + c.value(0).toString().toLower());
            }
        }
    } else {
        QSqlQuery q =
            run(QStringLiteral("SELECT table_name, column_name FROM information_schema.columns "
                               "WHERE table_schema = current_schema()"));
        while (q.next()) {
            const QString table = q.value(0).toString().toLower();
            has.insert(table);
            has.insert(table + '.' + q.value(1).toString().toLower());
        }
    }
    const QSet<QString> later = addedAfter(version);
    QStringList missing;
    const auto need = [&](const QString& table, const QStringList& columns) {
        const QString t = table.toLower();
        if (later.contains(t)) {
            return;
        }
        if (!has.contains(t)) {
            missing << table;
            return;
        }
        for (const QString& column : columns) {
            const QString key = t + '.' + column.toLower();
            if (!has.contains(key) && !later.contains(key)) {
                missing << table + '.' + column;
            }
        }
    };
    static const QRegularExpression create(QStringLiteral("^\\s*CREATE\\s+TABLE\\s+(\\w+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    for (const QString& statement : schema::statements(dialect_.schemaScript())) {
        if (const auto m = create.match(statement); m.hasMatch()) {
            need(schema::canonicalName(m.captured(1)), schema::columns(m.captured(1)));
        }
    }
    need(QStringLiteral("QuorvaneSchema"),
         {QStringLiteral("ApplicationId"), QStringLiteral("Version")});
    if (!missing.isEmpty()) {
        throw DbError(qv::programText(QStringLiteral("数据库 %1 缺少本程序使用的表或列：%2。"
                                                     "请用本程序建立的门锁数据库或它的备份。"))
                          .arg(description(), missing.join(QStringLiteral(", "))));
    }
}

void Connection::upgradeSchema(int version) {
    for (int next = version + 1; next <= kSchemaVersion; ++next) {
        Transaction t(*this);
        // Another program may have upgraded it meanwhile: read the version
        // again under the write lock (BEGIN IMMEDIATE; on the server the
        // version row).
        const int now =
            kind() == DbKind::SQLite
                ? schemaVersion()
                : scalar(QStringLiteral("SELECT Version FROM QuorvaneSchema FOR UPDATE")).toInt();
        if (now >= next) {
            t.commit();
            continue;
        }
        for (const QString& statement : upgradeStep(next)) {
            run(dialect_.fill(statement));
        }
        if (kind() == DbKind::PostgreSQL) {
            for (const QString& statement : serverStep(next)) {
                run(statement);
            }
        }
        run(QStringLiteral("UPDATE QuorvaneSchema SET Version = :v"), {{":v", next}});
        if (kind() == DbKind::SQLite) {
            run(QStringLiteral("PRAGMA user_version=%1").arg(next));
        }
        t.commit();
    }
}

void Connection::checkWritable() {
    try {
        Transaction t(*this);
        run(QStringLiteral("UPDATE QuorvaneSchema SET Version = Version"));
        // Taken back by the transaction's end: nothing is changed.
    } catch (const Error& e) {
        throw DbError(readOnlyText(e.text()));
    }
}

QString Connection::readOnlyText(const QString& why) const {
    return qv::programText(QStringLiteral("本工作站的用户只能读取数据库 %1，不能写入（%2）。"
                                          "请让管理员给予写入权限后再启动程序。"))
        .arg(description(), why);
}

QStringList Connection::createMissingIndexes() {
    QSet<QString> existing;
    QSqlQuery q = run(kind() == DbKind::SQLite
                          ? QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'")
                          : QStringLiteral("SELECT indexname FROM pg_indexes "
                                           "WHERE schemaname = current_schema()"));
    while (q.next()) {
        existing.insert(q.value(0).toString().toLower());
    }
    static const QRegularExpression index(
        QStringLiteral("^\\s*CREATE\\s+(?:UNIQUE\\s+)?INDEX\\s+(\\w+)\\s+ON\\b"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList created;
    for (const QString& statement : schema::statements(dialect_.schemaScript())) {
        if (!statement.startsWith(QLatin1String("CREATE INDEX"), Qt::CaseInsensitive) &&
            !statement.startsWith(QLatin1String("CREATE UNIQUE INDEX"), Qt::CaseInsensitive)) {
            continue;  // a table (statements come trimmed)
        }
        const QRegularExpressionMatch m = index.match(statement);
        if (m.hasMatch() && !existing.contains(m.captured(1).toLower())) {
            run(statement);
            created << m.captured(1);
        }
    }
    return created;
}

}  // namespace qv
