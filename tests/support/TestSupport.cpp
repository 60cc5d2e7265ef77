#include "TestSupport.h"

#include "platform/AppPaths.h"
#include "platform/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QWidget>
#include <QtTest>

TempAppDir::TempAppDir() {
    QVERIFY2(dir_.isValid(), "cannot create a temporary program folder");
    QDir(dir_.path()).mkpath(QStringLiteral("db"));
    qv::AppPaths::setDir(dir_.path());
}

TempAppDir::~TempAppDir() {
    qv::AppPaths::reset();
    qv::Clock::useSystemTime();
}

QString TempAppDir::file(const QString& relative) const {
    return QDir(path()).filePath(relative);
}

void TempAppDir::write(const QString& relative, const QByteArray& text) const {
    const QString p = file(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qFatal("cannot write %s", qPrintable(p));
    }
    f.write(text);
}

QByteArray TempAppDir::read(const QString& relative) const {
    QFile f(file(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

PgServer PgServer::fromEnvironment() {
    PgServer s;
    s.host = qEnvironmentVariable("QV_PG_HOST");
    s.port = qEnvironmentVariableIntValue("QV_PG_PORT");
    if (s.port == 0) {
        s.port = 5432;
    }
    s.user = qEnvironmentVariable("QV_PG_USER", QStringLiteral("quorvane"));
    s.password = qEnvironmentVariable("QV_PG_PASSWORD");
    return s;
}

void PgServer::recreateDatabase(const QString& database) const {
    const QString name = QStringLiteral("pg-admin");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(host);
        db.setPort(port);
        db.setUserName(user);
        db.setPassword(password);
        db.setDatabaseName(QStringLiteral("postgres"));
        if (!db.open()) {
            qFatal("cannot reach the PostgreSQL server: %s", qPrintable(db.lastError().text()));
        }
        QSqlQuery q(db);
        // The name is the test's own constant, never outside input.
        if (!q.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database)) ||
            !q.exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'")
                        .arg(database))) {
            qFatal("cannot recreate database %s: %s", qPrintable(database),
                   qPrintable(q.lastError().text()));
        }
    }
    QSqlDatabase::removeDatabase(name);
}

void PgServer::admin(const QString& sql) const {
    const QString name = QStringLiteral("pg-admin");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(host);
        db.setPort(port);
        db.setUserName(user);
        db.setPassword(password);
        db.setDatabaseName(QStringLiteral("postgres"));
        if (!db.open()) {
            qFatal("cannot reach the PostgreSQL server: %s", qPrintable(db.lastError().text()));
        }
        QSqlQuery q(db);
        if (!q.exec(sql)) {
            qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        }
    }
    QSqlDatabase::removeDatabase(name);
}

void saveScreenshot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (dir.isEmpty() || !widget) {
        return;
    }
    QDir().mkpath(dir);
    widget->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}
