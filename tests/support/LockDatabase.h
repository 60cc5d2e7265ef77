#pragma once

// A fresh lock database for a test, on either kind: suites whose cases run on
// SQLite and on the PostgreSQL server add the two data rows with
// addDatabaseKinds() and open the database with openFreshLockDatabase().

#include "TestSupport.h"
#include "data/Connection.h"
#include "data/DemoHotel.h"
#include "settings/Settings.h"

#include <QtTest>

// Data rows "sqlite" and "postgres" (column "kind").
inline void addDatabaseKinds() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgres") << QStringLiteral("postgres");
}

// True when the running case is a "postgres" row (also "... on postgres").
inline bool onServerRow() {
    const char* tag = QTest::currentDataTag();
    return tag && QByteArray(tag).endsWith("postgres");
}

// Opens `conn` on a fresh lock database with the schema (and the demo hotel
// when `demo` is set): the server database `pgDatabase`, recreated, for a
// "postgres" row; else the SQLite file db/lock.db of `app`. LockSystemInfo's
// ConnType follows. False, with the reason in `why`, when the test server is
// missing.
inline bool openFreshLockDatabase(qv::Connection& conn, const TempAppDir& app,
                                  const QString& pgDatabase, bool demo = true,
                                  QString* why = nullptr) {
    if (onServerRow()) {
        const PgServer pg = PgServer::fromEnvironment();
        if (!pg.available()) {
            if (why) {
                *why = QStringLiteral(
                    "no PostgreSQL server: set QV_PG_HOST (scripts/test starts one on loopback)");
            }
            return false;
        }
        pg.recreateDatabase(pgDatabase);
        conn.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, pgDatabase});
        LockSystemInfo.ConnType = 1;
    } else {
        conn.openSQLite(app.file(QStringLiteral("db/lock.db")), true);
        LockSystemInfo.ConnType = 0;
    }
    conn.createSchema();
    if (demo) {
        qv::createDemoHotel(conn);
    }
    return true;
}

// For use inside a test function: fails the case when the server is missing.
#define QV_OPEN_FRESH_LOCK_DATABASE(conn, app, pgDatabase, demo)                    \
    do {                                                                            \
        QString why_;                                                               \
        QVERIFY2(openFreshLockDatabase((conn), (app), (pgDatabase), (demo), &why_), \
                 qPrintable(why_));                                                 \
    } while (0)
