#include "data/Connection.h"

#include "data/SqliteCalls.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"

#include <sqlite3.h>
#include <QAtomicInt>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QTimeZone>
#include <cstdlib>

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
    dropCachedStatements();
    lost_ = false;
    lostInTransaction_ = false;
    depth_ = 0;
    failed_ = false;
    if (!QSqlDatabase::contains(name_)) {
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

void Connection::openDatabase(QSqlDatabase& db) {
    if (!db.open()) {
        const QString text = errorText(db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
        throw DbError(text);
    }
    ++sessions_;
}

QString Connection::notLockText() const {
    return qv::programText(QStringLiteral("%1 不是门锁数据库。")).arg(description());
}

QString Connection::awayText() const {
    return qv::programText(
               QStringLiteral(
                   "与数据库服务器 %1 的连接已断开，暂时无法重新连接，刚才的操作没有完成。"
                   "服务器恢复后程序会自动重新连接，请稍后再试。"))
        .arg(description());
}

QString Connection::interruptedText() const {
    return qv::programText(
               QStringLiteral(
                   "与数据库服务器 %1 的连接中断了，刚才的操作可能没有完成。请查看结果后再试。"))
        .arg(description());
}

void Connection::openSQLite(const QString& path, bool create) {
    close();
    const QFileInfo info(path);
    if (!create && !info.exists()) {
        throw DbError(qv::programText(QStringLiteral("文件不存在！")));
    }
    const bool fresh = create && (!info.exists() || (info.isFile() && info.size() == 0));
    if (create && !info.exists()) {
        // The lock database holds the operators' password hashes: only the
        // desk's user and group may read it (SQLite gives its -wal and -shm
        // files the same mode).
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                           QFileDevice::WriteGroup)) {
            throw DbError(qv::programText(QStringLiteral("不能建立数据库文件 %1：%2"))
                              .arg(path, file.errorString()));
        }
    }
    dialect_ = Dialect(DbKind::SQLite);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(path);
        db.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(lockWaitSeconds_ * 1000));
        openDatabase(db);
    }
    try {
        // Only reads until the file is known as a lock database: another
        // program's file, or an empty one, is left exactly as it was. The
        // first statement is where a file that is not a database shows.
        run(QStringLiteral("PRAGMA schema_version"));
        if (!fresh) {
            if (scalar(QStringLiteral("PRAGMA application_id")).toInt() != kApplicationId) {
                throw DbError(notLockText());
            }
            // A lock database that lacks a table or column is refused as it
            // is, before the switch to WAL writes to it. A newer one is
            // refused by checkLockDatabase().
            const int version = schemaVersion();
            if (version < 1) {
                throw DbError(notLockText());
            }
            if (version <= kSchemaVersion) {
                checkSchemaComplete(version);
            }
        }
        try {
            setPragmas();
        } catch (const DbError& e) {
            // The switch to WAL is the first write: a file this desk may
            // only read is refused here as checkWritable() refuses it.
            sqlite3* db = sqlite::handleOf(database());
            if (db && sqlite3_db_readonly(db, "main") == 1) {
                throw DbError(readOnlyText(e.text()));
            }
            throw;
        }
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
            throw DbError(
                qv::programText(QStringLiteral("服务器地址的端口无效：%1")).arg(params.host));
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
        // A server that goes away without a word (a cable pulled) is noticed
        // within seconds, not after the system's TCP timeout.
        db.setConnectOptions(QStringLiteral(
            "connect_timeout=5;keepalives=1;keepalives_idle=10;keepalives_interval=3;"
            "keepalives_count=3;tcp_user_timeout=15000"));
        openDatabase(db);
    }
    try {
        setSession();
    } catch (...) {
        close();
        throw;
    }
}

// The session of a server connection, set again whenever it is opened again.
void Connection::setSession() const {
    const auto must = [this](const QString& sql, const Binds& binds = {}) {
        QSqlQuery q(database());
        if (!exec(q, sql, binds)) {
            fail(q.lastError());
        }
        return q;
    };
    must(QStringLiteral("SET client_min_messages TO WARNING"));
    must(QStringLiteral("SELECT set_config('lock_timeout', :wait, false)"),
         {{QStringLiteral(":wait"), QStringLiteral("%1s").arg(lockWaitSeconds_)}});
    // The server's own times (the InputTime defaults) are the desk's local
    // times: the session takes the desk's time zone by name, or, when the
    // server does not know that name, the desk's offset from UTC now.
    const int deskOffset = QDateTime::currentDateTime().offsetFromUtc();
    const auto sessionOffset = [&must] {
        QSqlQuery q = must(QStringLiteral("SELECT EXTRACT(TIMEZONE FROM now())::integer"));
        return q.next() ? q.value(0).toInt() : 0;
    };
    const QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    if (!zone.isEmpty()) {
        QSqlQuery q(database());
        if (exec(q, QStringLiteral("SELECT set_config('TimeZone', :zone, false)"),
                 {{QStringLiteral(":zone"), zone}}) &&
            sessionOffset() == deskOffset) {
            return;
        }
    }
    // POSIX form: a name in angle brackets, then the offset west of UTC.
    const int minutes = std::abs(deskOffset) / 60;
    const QString hh = QString::number(minutes / 60).rightJustified(2, u'0');
    const QString mm = QString::number(minutes % 60).rightJustified(2, u'0');
    const QString posix = QStringLiteral("<%1%2%3>%4%2:%3")
                              .arg(QChar(deskOffset < 0 ? u'-' : u'+'))
                              .arg(hh, mm)
                              .arg(QChar(deskOffset < 0 ? u'+' : u'-'));
    must(QStringLiteral("SELECT set_config('TimeZone', :zone, false)"),
         {{QStringLiteral(":zone"), posix}});
}

bool Connection::exec(QSqlQuery& q, const QString& sql, const Binds& binds,
                      bool forwardOnly) const {
    q.setForwardOnly(forwardOnly);
    if (binds.isEmpty()) {
        // Statements without values run as they are (PostgreSQL cannot
        // prepare BEGIN, SET or CREATE).
        return q.exec(sql);
    }
    if (!q.prepare(sql)) {
        return false;
    }
    for (auto it = binds.cbegin(); it != binds.cend(); ++it) {
        const QString name = it.key().startsWith(':') ? it.key() : ':' + it.key();
        q.bindValue(name, Dialect::toDb(it.value()));
    }
    return q.exec();
}

void Connection::fail(const QSqlError& error) const {
    const QString code = error.nativeErrorCode();
    const bool lockWait = kind() == DbKind::PostgreSQL
                              ? code == QLatin1String("55P03")  // lock_not_available
                              : (code.toInt() & 0xFF) == 5;     // SQLITE_BUSY
    if (lockWait) {
        throw DbError(
            qv::programText(
                QStringLiteral("数据库中要用的记录正被另一个工作站占用，等了 %1 秒仍未释放，"
                               "刚才的操作没有完成。请稍后再试。"))
                .arg(lockWaitSeconds_));
    }
    throw DbError(errorText(error));
}

void Connection::failSQLite(sqlite3* db) const {
    fail(QSqlError(QStringLiteral("SQLite"), QString::fromUtf8(sqlite3_errmsg(db)),
                   QSqlError::StatementError, QString::number(sqlite3_extended_errcode(db))));
}

namespace {
// Errors that come from the link rather than from the statement: no answer
// from the server at all, a connection exception (08…) or the server shutting
// the session down (57P0…).
bool linkErrorCode(const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    return code.isEmpty() || code.startsWith(QLatin1String("08")) ||
           code.startsWith(QLatin1String("57P0"));
}

bool isRead(const QString& sql) {
    return sql.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive);
}
}  // namespace

bool Connection::linkBroken(const QSqlError& error) const {
    if (kind() != DbKind::PostgreSQL || !linkErrorCode(error)) {
        return false;
    }
    // The driver closes a connection it found dead; one that still answers a
    // trivial statement is not broken.
    const QSqlDatabase db = database();
    if (!db.isOpen()) {
        return true;
    }
    QSqlQuery probe(db);
    return !probe.exec(QStringLiteral("SELECT 1")) && linkErrorCode(probe.lastError());
}

void Connection::markLost() const {
    dropCachedStatements();  // prepared on the session that is gone
    const bool wasUp = !lost_;
    lost_ = true;
    if (depth_ > 0) {
        lostInTransaction_ = true;  // the server has undone the transaction
    }
    // The same connection is opened again later, with the same parameters.
    database().close();
    if (wasUp && linkChanged) {
        linkChanged(false);
    }
}

bool Connection::reopen() const {
    nextTry_ = QDeadlineTimer(retryMs_);
    QSqlDatabase db = database();
    if (!db.open()) {
        db.close();
        return false;
    }
    try {
        setSession();
    } catch (const Error&) {
        db.close();
        return false;
    }
    lost_ = false;
    ++sessions_;
    if (linkChanged) {
        linkChanged(true);
    }
    return true;
}

void Connection::requireOpen() const {
    if (!lost_ && kind() == DbKind::PostgreSQL && QSqlDatabase::contains(name_) &&
        !database().isOpen()) {
        // The driver closes a session whose socket it found dead while it
        // waited for notifications: the link is lost, not closed on purpose.
        markLost();
    }
    if (lost_) {
        if (lostInTransaction_) {
            throw DbError(interruptedText());
        }
        if (!reopen()) {
            throw DbError(awayText());
        }
        return;
    }
    if (!isOpen()) {
        throw DbError(qv::programText(QStringLiteral("数据库连接未打开。")));
    }
}

bool Connection::checkLink(QString* why) {
    const auto down = [why](const QString& text) {
        if (why) {
            *why = text;
        }
        return false;
    };
    const auto waiting = [this] {
        return qv::programText(QStringLiteral("与数据库服务器 %1 的连接已断开。程序会自动重新连接，"
                                              "服务器恢复之前不能办理业务。"))
            .arg(description());
    };
    if (!QSqlDatabase::contains(name_) || (kind() == DbKind::SQLite && !isOpen())) {
        return down(qv::programText(QStringLiteral("数据库连接未打开。")));
    }
    if (kind() == DbKind::SQLite) {
        return true;
    }
    if (!lost_) {
        QSqlQuery probe(database());
        if (isOpen() &&
            (probe.exec(QStringLiteral("SELECT 1")) || !linkBroken(probe.lastError()))) {
            return true;  // the server answers
        }
        markLost();
        nextTry_ = QDeadlineTimer(0);  // it may have restarted between two looks
    }
    if (depth_ == 0 && nextTry_.hasExpired() && reopen()) {
        return true;
    }
    return down(waiting());
}

QSqlQuery Connection::run(const QString& sql, const Binds& binds) const {
    requireOpen();
    QSqlQuery q(database());
    if (exec(q, sql, binds)) {
        return q;
    }
    const QSqlError error = q.lastError();
    if (!linkBroken(error)) {
        fail(error);
    }
    markLost();
    if (depth_ > 0 || !isRead(sql)) {
        // Whether the server did a write before the link broke is unknown,
        // and a transaction is gone with its connection: nothing is repeated.
        throw DbError(interruptedText());
    }
    if (!reopen()) {
        throw DbError(awayText());
    }
    QSqlQuery again(database());
    if (!exec(again, sql, binds)) {
        fail(again.lastError());
    }
    return again;
}

QSqlQuery Connection::runWhole(const QString& sql, const Binds& binds) const {
    if (kind() == DbKind::SQLite) {
        return run(sql, binds);
    }
    requireOpen();
    QSqlQuery q(database());
    if (!exec(q, sql, binds, false)) {
        const QSqlError error = q.lastError();
        if (linkBroken(error)) {
            markLost();
            throw DbError(interruptedText());
        }
        fail(error);
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

// On SQLite the statement is the library's own, prepared under the
// connection's handle and read cell by cell; on a server a QSqlQuery.
struct Connection::CachedStatement {
    explicit CachedStatement(const QSqlDatabase& db) : query(db) {}
    ~CachedStatement() { finalize(); }
    CachedStatement(const CachedStatement&) = delete;
    CachedStatement& operator=(const CachedStatement&) = delete;
    void finalize() {
        sqlite3_finalize(stmt);
        stmt = nullptr;
    }

    QSqlQuery query;
    sqlite3_stmt* stmt = nullptr;
    bool onSQLite = false;
    bool firstRow = false;  // SQLite: the row the run stepped to is not read yet
    bool done = false;      // SQLite: no more rows
    QStringList names;      // server: of its parameters, in their order
    bool busy = false;      // a CachedQuery is reading its rows
    int changes = 0;        // SQLite: rows the last run changed (a write without rows)
};

void Connection::dropCachedStatements() const {
    // A statement still being read lives on with its handle, outside the
    // cache, and reads no more rows: the library's statements go before the
    // connection that holds them.
    for (const auto& [sql, statement] : statements_) {
        statement->finalize();
    }
    statements_.clear();
}

bool Connection::execCached(CachedStatement& statement, std::span<const QVariant> values) const {
    if (statement.onSQLite) {
        sqlite3_stmt* st = statement.stmt;
        sqlite3_reset(st);
        int index = 1;
        for (const QVariant& v : values) {
            if (sqlite::bind(st, index++, Dialect::toDb(v)) != SQLITE_OK) {
                return false;
            }
        }
        const int rc = sqlite3_step(st);
        statement.firstRow = rc == SQLITE_ROW;
        statement.done = rc == SQLITE_DONE;
        statement.changes = rc == SQLITE_DONE ? sqlite3_changes(sqlite3_db_handle(st)) : 0;
        return rc == SQLITE_ROW || rc == SQLITE_DONE;
    }
    // By name: binding by position makes Qt build each position's name anew.
    qsizetype i = 0;
    for (const QVariant& v : values) {
        statement.query.bindValue(statement.names.value(i++), Dialect::toDb(v));
    }
    return statement.query.exec();
}

CachedQuery Connection::cached(const QString& sql, std::initializer_list<QVariant> values) const {
    return cachedRun(sql, std::span<const QVariant>(values.begin(), values.size()));
}

CachedQuery Connection::cached(const QString& sql, const QVariantList& values) const {
    return cachedRun(sql, std::span<const QVariant>(values.constData(), values.size()));
}

CachedQuery Connection::cachedRun(const QString& sql, std::span<const QVariant> values) const {
    for (int attempt = 0;; ++attempt) {
        std::shared_ptr<CachedStatement> statement;
        bool reused = false;
        if (const auto it = statements_.find(sql); it != statements_.end() && !it->second->busy) {
            // Kept statements exist only while the connection is open and up.
            statement = it->second;
            reused = true;
        } else {
            requireOpen();
            statement = std::make_shared<CachedStatement>(database());
            statement->query.setForwardOnly(true);
            // The same look-up while its rows are still being read gets a
            // statement of its own, not kept.
            if (it == statements_.end()) {
                statements_.emplace(sql, statement);
            }
        }
        bool prepared = reused;
        if (!prepared) {
            if (sqlite3* db = sqlite::handleOf(database())) {
                statement->onSQLite = true;
                const QByteArray text = sql.toUtf8();
                prepared = sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()),
                                              &statement->stmt, nullptr) == SQLITE_OK;
            } else {
                static const QRegularExpression parameter(QStringLiteral(":\\w+"));
                for (const QRegularExpressionMatch& m : parameter.globalMatch(sql)) {
                    statement->names << m.captured();
                }
                prepared = statement->query.prepare(sql);
            }
        }
        if (prepared && execCached(*statement, values)) {
            return CachedQuery(std::move(statement));
        }
        if (const auto it = statements_.find(sql);
            it != statements_.end() && it->second == statement) {
            statements_.erase(it);  // prepared afresh next time
        }
        if (statement->onSQLite) {
            sqlite3* db = sqlite::handleOf(database());
            const QSqlError error(
                QStringLiteral("SQLite"), QString::fromUtf8(db ? sqlite3_errmsg(db) : "closed"),
                QSqlError::StatementError, QString::number(db ? sqlite3_extended_errcode(db) : 0));
            statement->finalize();
            fail(error);
        }
        const QSqlError error = statement->query.lastError();
        statement.reset();
        if (linkBroken(error)) {
            markLost();
            if (depth_ > 0 || !isRead(sql)) {
                // Whether the server did the write is unknown: not repeated.
                throw DbError(interruptedText());
            }
            if (!reopen()) {
                throw DbError(awayText());
            }
            if (attempt == 0) {
                continue;  // a read: once more on the new connection
            }
        } else if (reused && attempt == 0 && depth_ == 0) {
            // A statement prepared before the table changed may refuse to
            // run; prepared afresh, it runs, or fails with its own error.
            continue;
        }
        fail(error);
    }
}

CachedQuery::CachedQuery(std::shared_ptr<Connection::CachedStatement> statement)
    : statement_(std::move(statement)), query_(&statement_->query) {
    statement_->busy = true;
}

bool CachedQuery::next() {
    Connection::CachedStatement& s = *statement_;
    if (!s.onSQLite) {
        return query_->next();
    }
    if (s.firstRow) {
        s.firstRow = false;
        return true;
    }
    if (s.done || !s.stmt) {
        return false;
    }
    const int rc = sqlite3_step(s.stmt);
    if (rc == SQLITE_ROW) {
        return true;
    }
    s.done = true;
    if (rc != SQLITE_DONE) {
        throw DbError(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(s.stmt))));
    }
    return false;
}

int CachedQuery::rowsChanged() const {
    const Connection::CachedStatement& s = *statement_;
    return s.onSQLite ? s.changes : query_->numRowsAffected();
}

QVariant CachedQuery::value(int column) const {
    const Connection::CachedStatement& s = *statement_;
    if (!s.onSQLite) {
        return query_->value(column);
    }
    return s.stmt ? sqlite::value(s.stmt, column) : QVariant();
}

CachedQuery::CachedQuery(CachedQuery&& other) noexcept
    : statement_(std::move(other.statement_)), query_(other.query_) {
    other.query_ = nullptr;
}

CachedQuery::~CachedQuery() {
    if (statement_) {
        // Lets go of the rows (on SQLite the read snapshot too); the
        // statement stays prepared.
        if (statement_->onSQLite) {
            if (statement_->stmt) {
                sqlite3_reset(statement_->stmt);
            }
        } else {
            // The rest of the result read off the link: a result left
            // unread keeps libpq from taking the server's notifications
            // (the change feed) until the next statement.
            while (statement_->query.isActive() && statement_->query.isSelect() &&
                   statement_->query.next()) {
            }
            statement_->query.finish();
        }
        statement_->busy = false;
    }
}

void Connection::begin() {
    if (depth_ > 0) {
        ++depth_;
        return;
    }
    requireOpen();  // a lost server connection is opened again before, never within
    depth_ = 1;
    failed_ = false;
    lostInTransaction_ = false;
    try {
        run(kind() == DbKind::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
    } catch (...) {
        depth_ = 0;
        lostInTransaction_ = false;
        throw;
    }
}

void Connection::commit() {
    if (depth_ <= 0) {
        throw DbError(qv::programText(QStringLiteral("没有进行中的事务。")));
    }
    if (--depth_ > 0) {
        return;
    }
    if (lostInTransaction_) {
        lostInTransaction_ = false;
        failed_ = false;
        throw DbError(interruptedText());
    }
    if (failed_) {
        failed_ = false;
        run(QStringLiteral("ROLLBACK"));
        throw DbError(qv::programText(QStringLiteral("事务的一部分失败，全部写入已撤销。")));
    }
    try {
        run(QStringLiteral("COMMIT"));
    } catch (...) {
        if (!lost_) {
            try {
                run(QStringLiteral("ROLLBACK"));
            } catch (...) {
            }
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
    if (lostInTransaction_ || lost_) {
        lostInTransaction_ = false;  // the server undid it when the link broke
        return;
    }
    if (isOpen()) {
        run(QStringLiteral("ROLLBACK"));
    }
}

PreparedStatement::PreparedStatement(const Connection& conn, const QString& sql)
    : query_(conn.database()) {
    if (!conn.isOpen()) {
        throw DbError(qv::programText(QStringLiteral("数据库连接未打开。")));
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

}  // namespace qv
