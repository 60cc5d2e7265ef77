#include "data/Connection.h"

#include "data/SchemaInfo.h"
#include "platform/Errors.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

namespace qv {

namespace {
QAtomicInt g_connections;

QString errorText(const QSqlError& e) {
    QString text = e.databaseText().trimmed();
    if (text.isEmpty()) {
        text = e.text().trimmed();
    }
    if (!e.driverText().isEmpty() && !text.contains(e.driverText())) {
        text = e.driverText().trimmed() + QStringLiteral(": ") + text;
    }
    return text;
}
}  // namespace

Connection::Connection()
    : name_(QStringLiteral("lock-db-%1").arg(g_connections.fetchAndAddRelaxed(1))) {}

Connection::~Connection() {
    close();
}

QSqlDatabase Connection::database() const {
    return QSqlDatabase::database(name_, false);
}

bool Connection::isOpen() const {
    return QSqlDatabase::contains(name_) && database().isOpen();
}

QString Connection::description() const {
    const QSqlDatabase db = database();
    if (kind() == DbKind::SQLite) {
        return db.databaseName();
    }
    return QStringLiteral("%1@%2").arg(db.databaseName(), db.hostName());
}

void Connection::close() {
    if (!QSqlDatabase::contains(name_)) {
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
    depth_ = 0;
    failed_ = false;
}

void Connection::openDatabase(QSqlDatabase& db) {
    if (!db.open()) {
        const QString text = errorText(db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
        throw DbError(text);
    }
}

void Connection::openSQLite(const QString& path, bool create) {
    close();
    if (!create && !QFileInfo::exists(path)) {
        throw DbError(QStringLiteral("文件不存在！"));
    }
    dialect_ = Dialect(DbKind::SQLite);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        openDatabase(db);
    }
    try {
        // The first statement is where a file that is not a database shows.
        run(QStringLiteral("PRAGMA schema_version"));
        setPragmas();
    } catch (...) {
        close();
        throw;
    }
}

void Connection::setPragmas() {
    run(QStringLiteral("PRAGMA journal_mode=WAL"));
    run(QStringLiteral("PRAGMA synchronous=FULL"));
}

void Connection::openPostgreSQL(const ServerParams& params) {
    close();
    dialect_ = Dialect(DbKind::PostgreSQL);
    QString host = params.host.trimmed();
    int port = 5432;
    const qsizetype colon = host.lastIndexOf(':');
    if (colon > 0 && !host.contains(']')) {
        bool ok = false;
        const int p = host.mid(colon + 1).toInt(&ok);
        if (!ok || p <= 0 || p > 65535) {
            throw DbError(QStringLiteral("服务器地址的端口无效：%1").arg(params.host));
        }
        port = p;
        host = host.left(colon);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
        db.setHostName(host.isEmpty() ? QStringLiteral("localhost") : host);
        db.setPort(port);
        db.setUserName(params.user);
        db.setPassword(params.password);
        db.setDatabaseName(params.database);
        db.setConnectOptions(QStringLiteral("connect_timeout=5"));
        openDatabase(db);
    }
    try {
        run(QStringLiteral("SET client_min_messages TO WARNING"));
    } catch (...) {
        close();
        throw;
    }
}

QSqlQuery Connection::run(const QString& sql, const Binds& binds) const {
    if (!isOpen()) {
        throw DbError(QStringLiteral("数据库连接未打开。"));
    }
    QSqlQuery q(database());
    q.setForwardOnly(true);
    if (binds.isEmpty()) {
        // Statements without values run as they are (PostgreSQL cannot
        // prepare BEGIN, SET or CREATE).
        if (!q.exec(sql)) {
            throw DbError(errorText(q.lastError()));
        }
        return q;
    }
    if (!q.prepare(sql)) {
        throw DbError(errorText(q.lastError()));
    }
    for (auto it = binds.cbegin(); it != binds.cend(); ++it) {
        const QString name = it.key().startsWith(':') ? it.key() : ':' + it.key();
        q.bindValue(name, Dialect::toDb(it.value()));
    }
    if (!q.exec()) {
        throw DbError(errorText(q.lastError()));
    }
    return q;
}

int Connection::execute(const QString& sql, const Binds& binds) const {
    QSqlQuery q = run(sql, binds);
    return q.numRowsAffected();
}

QVariant Connection::scalar(const QString& sql, const Binds& binds) const {
    QSqlQuery q = run(sql, binds);
    return q.next() ? q.value(0) : QVariant();
}

void Connection::begin() {
    if (depth_++ > 0) {
        return;
    }
    failed_ = false;
    try {
        run(kind() == DbKind::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
    } catch (...) {
        depth_ = 0;
        throw;
    }
}

void Connection::commit() {
    if (depth_ <= 0) {
        throw DbError(QStringLiteral("没有进行中的事务。"));
    }
    if (--depth_ > 0) {
        return;
    }
    if (failed_) {
        failed_ = false;
        run(QStringLiteral("ROLLBACK"));
        throw DbError(QStringLiteral("事务的一部分失败，全部写入已撤销。"));
    }
    try {
        run(QStringLiteral("COMMIT"));
    } catch (...) {
        try {
            run(QStringLiteral("ROLLBACK"));
        } catch (...) {
        }
        throw;
    }
}

void Connection::rollback() {
    if (depth_ <= 0) {
        return;
    }
    if (--depth_ > 0) {
        failed_ = true;  // the outer transaction cannot commit any more
        return;
    }
    failed_ = false;
    if (isOpen()) {
        run(QStringLiteral("ROLLBACK"));
    }
}

PreparedStatement::PreparedStatement(const Connection& conn, const QString& sql)
    : query_(conn.database()) {
    if (!conn.isOpen()) {
        throw DbError(QStringLiteral("数据库连接未打开。"));
    }
    query_.setForwardOnly(true);
    if (!query_.prepare(sql)) {
        throw DbError(errorText(query_.lastError()));
    }
}

int PreparedStatement::execute(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) {
        query_.bindValue(i, Dialect::toDb(values[i]));
    }
    if (!query_.exec()) {
        throw DbError(errorText(query_.lastError()));
    }
    return query_.numRowsAffected();
}

Transaction::~Transaction() {
    if (!done_) {
        try {
            conn_.rollback();
        } catch (...) {
            // A failed rollback leaves nothing stored either.
        }
    }
}

void Transaction::commit() {
    done_ = true;
    conn_.commit();
}

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
            QStringLiteral("数据库 %1 中已经有表，不能再建立门锁数据库结构。").arg(description()));
    }
    Transaction t(*this);
    for (const QString& statement : schema::statements(dialect_.schemaScript())) {
        run(statement);
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
    const QString notLock = QStringLiteral("%1 不是门锁数据库。").arg(description());
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
            QStringLiteral(
                "数据库 %1 由较新版本的程序建立（结构版本 %2），本程序只能使用到版本 %3。")
                .arg(description())
                .arg(version)
                .arg(kSchemaVersion));
    }
    if (version < 1) {
        throw DbError(notLock);
    }
    // Version 1 is the first schema; later versions add their upgrade steps here,
    // each in its own transaction, so an older database is brought up step by step.
}

}  // namespace qv
