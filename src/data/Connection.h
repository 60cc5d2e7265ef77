#pragma once

#include "data/Dialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantMap>

namespace qv {

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
class Connection {
public:
    static constexpr int kApplicationId = 0x51564C4B;  // "QVLK"
    static constexpr int kSchemaVersion = 1;

    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens an existing SQLite file (or creates it when `create` is set) in
    // WAL mode with synchronous=FULL and a busy timeout.
    void openSQLite(const QString& path, bool create = false);
    void openPostgreSQL(const ServerParams& params);
    void close();
    bool isOpen() const;
    QString description() const;  // file path or server/database, for messages

    DbKind kind() const { return dialect_.kind(); }
    const Dialect& dialect() const { return dialect_; }
    QSqlDatabase database() const;

    // A prepared, executed statement; throws on failure.
    QSqlQuery run(const QString& sql, const Binds& binds = {}) const;
    // Executes a statement that returns no rows; the number of rows it changed.
    int execute(const QString& sql, const Binds& binds = {}) const;
    // The first column of the first row, or a null value.
    QVariant scalar(const QString& sql, const Binds& binds = {}) const;

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
    // comes from a newer program; upgrades an older schema.
    void checkLockDatabase();
    int schemaVersion() const;

private:
    void openDatabase(QSqlDatabase& db);
    void setPragmas();

    QString name_;
    Dialect dialect_{DbKind::SQLite};
    int depth_ = 0;
    bool failed_ = false;  // an inner part of the transaction failed
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
