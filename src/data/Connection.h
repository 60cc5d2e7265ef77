#pragma once

#include "data/Dialect.h"

#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <span>
#include <unordered_map>

struct sqlite3;

namespace qv {

class CachedQuery;
class RowReader;

// Named values for a statement's ":name" parameters. Values never enter SQL text.
using Binds = QVariantMap;

struct ServerParams {
    QString host;  // "host" or "host:port"
    QString user;
    QString password;
    QString database = QStringLiteral("halvorn");
};

// The one connection to the lock database (an SQLite file or a PostgreSQL
// database). Every statement of the program runs on it. Errors are thrown as
// qv::DbError carrying the driver's text.
//
// A server connection that breaks (the server restarted, the network went
// away) is noticed by the statement that meets it: the connection is then
// lost, and the next statement outside a transaction, or checkLink(), opens
// it again with the same parameters. A read that met the break is run once
// more on the new connection; a write is not (whether the server did it is
// unknown), nor anything inside a transaction, which the server has undone.
// A wait for a row or file another desk holds lasts at most kLockWaitSeconds.
class Connection {
public:
    static constexpr int kApplicationId = 0x51564C4B;  // "QVLK"
    static constexpr int kSchemaVersion = 7;
    static constexpr int kLockWaitSeconds = 10;

    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens an existing SQLite lock database in WAL mode with synchronous=FULL
    // and a busy timeout. A file that is not a lock database is refused before
    // anything is written to it. With `create`, a missing or empty file
    // becomes a new database (only the desk's user and group may read it).
    void openSQLite(const QString& path, bool create = false);
    // Opens the server database; the session keeps the desk's time zone, so
    // that the server's own times (column defaults) are the desk's times.
    void openPostgreSQL(const ServerParams& params);
    void close();
    bool isOpen() const;
    QString description() const;  // file path or server/database, for messages

    // True while a server connection is broken and not yet opened again.
    bool isLost() const { return lost_; }
    // Counts the sessions opened on this connection: it moves on each open
    // and on each reopen after a lost link (what a session subscribed to is
    // gone with it).
    quint64 sessions() const { return sessions_; }
    // Makes sure the database can be used: a server connection is tried with
    // a trivial statement, and a lost one is opened again (at most once per
    // retry interval). Never throws; false with the reason in `why`.
    bool checkLink(QString* why = nullptr);
    void setRetryInterval(int milliseconds) { retryMs_ = milliseconds; }
    // How long a statement waits for a row or the file another desk holds
    // before it gives up with a clear message (from the next open on).
    void setLockWait(int seconds) { lockWaitSeconds_ = seconds; }
    // Called when a server connection breaks (false) and when it is back (true).
    std::function<void(bool up)> linkChanged;

    DbKind kind() const { return dialect_.kind(); }
    const Dialect& dialect() const { return dialect_; }
    QSqlDatabase database() const;

    // A prepared, executed statement; throws on failure.
    QSqlQuery run(const QString& sql, const Binds& binds = {}) const;
    // The same for a read whose rows are all fetched when it runs, so that
    // other statements may run on the connection while they are read (on the
    // server a forward-only result is fetched row by row, and a statement run
    // in between would drop the rest of it; SQLite reads either way).
    QSqlQuery runWhole(const QString& sql, const Binds& binds = {}) const;
    // Executes a statement that returns no rows; the number of rows it changed.
    int execute(const QString& sql, const Binds& binds = {}) const;
    // The first column of the first row, or a null value.
    QVariant scalar(const QString& sql, const Binds& binds = {}) const;
    // Runs a read statement that is prepared once on this connection and
    // kept for the next calls with the same text, its values bound by
    // position in the order of its parameters (each parameter named once).
    // The statement belongs to the connection it was prepared on: closing,
    // opening again or losing the connection drops it. For look-ups that run
    // often; throws like run().
    CachedQuery cached(const QString& sql, std::initializer_list<QVariant> values) const;
    // The same with values that are gathered at run time. A write may run
    // this way too (CachedQuery::rowsChanged); it is never repeated after the
    // link to the server broke.
    CachedQuery cached(const QString& sql, const QVariantList& values) const;

    // Write transactions (BEGIN IMMEDIATE on SQLite). Nested calls join the
    // outer transaction. Prefer qv::Transaction.
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return depth_ > 0; }

    // Creates every table, index and reference row on an empty database and
    // stamps it as a lock database of the current schema version.
    void createSchema();
    // True when the database holds no tables at all.
    bool isEmpty() const;
    // Throws a clear error when the open database is not a lock database or
    // comes from a newer program; upgrades an older schema and creates the
    // indexes of the schema that the database lacks.
    void checkLockDatabase();
    // Throws a clear error when the program may read the database but not
    // write it (a read-only file or folder, a login without write rights).
    // The test write changes nothing and is taken back.
    void checkWritable();
    // Creates every index of the schema script that the database does not
    // have (a database made before the index was added); the names of those
    // created. Throws qv::DbError when one cannot be made.
    QStringList createMissingIndexes();
    int schemaVersion() const;

private:
    // Brings a lock database of an older schema `version` up to this one,
    // one version per transaction.
    void upgradeSchema(int version);
    // Throws a clear error naming what is missing when the database lacks a
    // table or column that the program uses and that a lock database of
    // `version` has (what later versions add is brought by the upgrade).
    // Only reads.
    void checkSchemaComplete(int version) const;
    void openDatabase(QSqlDatabase& db);
    void setSession() const;
    void setPragmas();
    QString notLockText() const;
    QString readOnlyText(const QString& why) const;
    QString awayText() const;
    QString interruptedText() const;
    bool exec(QSqlQuery& q, const QString& sql, const Binds& binds, bool forwardOnly = true) const;
    [[noreturn]] void fail(const QSqlError& error) const;
    bool linkBroken(const QSqlError& error) const;
    void markLost() const;
    bool reopen() const;
    void requireOpen() const;
    void dropCachedStatements() const;
    struct CachedStatement;
    bool execCached(CachedStatement& statement, std::span<const QVariant> values) const;
    CachedQuery cachedRun(const QString& sql, std::span<const QVariant> values) const;

    friend class CachedQuery;
    friend class RowReader;
    // Throws the last error of the SQLite handle under this connection as fail() does.
    [[noreturn]] void failSQLite(sqlite3* db) const;
    // The statements of cached(), by their text; only for the connection as
    // it is open now.
    mutable std::unordered_map<QString, std::shared_ptr<CachedStatement>> statements_;

    QString name_;
    Dialect dialect_{DbKind::SQLite};
    int depth_ = 0;
    bool failed_ = false;  // an inner part of the transaction failed
    // The server link, kept up by statements that may run on a const connection.
    mutable bool lost_ = false;
    mutable bool lostInTransaction_ = false;
    mutable QDeadlineTimer nextTry_{0};
    mutable quint64 sessions_ = 0;
    int retryMs_ = 5000;
    int lockWaitSeconds_ = kLockWaitSeconds;
};

// A statement prepared once and run for many rows (rows stored in bulk), its
// values bound by position in the order of its parameters. Errors are thrown
// as qv::DbError like Connection::run.
//
//   PreparedStatement insert(conn, "insert into T (A, B) values (:a, :b)");
//   for (const Row& r : rows) insert.execute({r.a, r.b});
class PreparedStatement {
public:
    PreparedStatement(const Connection& conn, const QString& sql);
    // Runs the statement with `values`; the number of rows it changed.
    int execute(const QVariantList& values);

private:
    QSqlQuery query_;
};

// The rows of Connection::cached(), read like a forward-only QSqlQuery. The
// statement is reset (its rows let go) when the handle goes away, and is then
// ready for the next call. Keep it no longer than the look-up.
class CachedQuery {
public:
    CachedQuery(CachedQuery&& other) noexcept;
    CachedQuery(const CachedQuery&) = delete;
    CachedQuery& operator=(const CachedQuery&) = delete;
    CachedQuery& operator=(CachedQuery&&) = delete;
    ~CachedQuery();

    bool next();
    QVariant value(int column) const;
    // The rows a write changed.
    int rowsChanged() const;

private:
    friend class Connection;
    explicit CachedQuery(std::shared_ptr<Connection::CachedStatement> statement);

    std::shared_ptr<Connection::CachedStatement> statement_;
    QSqlQuery* query_ = nullptr;
};

// A write transaction that rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Connection& conn) : conn_(conn) { conn_.begin(); }
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Connection& conn_;
    bool done_ = false;
};

// Runs `work` in one transaction: all of it is stored, or none of it.
template <class Work>
void inTransaction(Connection& conn, Work&& work) {
    Transaction t(conn);
    work();
    t.commit();
}

}  // namespace qv
