#include "data/ChangeFeed.h"

#include "data/ChangeFeedSchema.h"
#include "data/Connection.h"
#include "platform/Errors.h"

#include <libpq-fe.h>
#include <QSocketNotifier>
#include <QSqlDriver>
#include <QSqlQuery>

namespace qv {

namespace {

const QString kChannel = QStringLiteral("quorvane_changes");

// The libpq connection under the desk's server connection, or null.
PGconn* pgHandle(const Connection& conn) {
    if (!conn.isOpen()) {
        return nullptr;
    }
    const QVariant v = conn.database().driver()->handle();
    if (!v.isValid() ||
        (qstrcmp(v.typeName(), "pg_conn*") != 0 && qstrcmp(v.typeName(), "PGconn*") != 0)) {
        return nullptr;
    }
    return *static_cast<PGconn* const*>(v.constData());
}

}  // namespace

ChangeFeed::ChangeFeed(Connection& conn, QObject* parent) : QObject(parent), conn_(conn) {
    setObjectName(QStringLiteral("ChangeFeed"));
    timer_.setInterval(250);
    connect(&timer_, &QTimer::timeout, this, &ChangeFeed::check);
}

ChangeFeed::~ChangeFeed() = default;

void ChangeFeed::start() {
    if (!timer_.isActive()) {
        timer_.start();
        dataVersion_ = -1;
        session_ = 0;
        listening_ = false;
    }
    check();  // subscribes, or takes the file's version, at once
}

void ChangeFeed::stop() {
    timer_.stop();
    if (listening_ && !conn_.isLost() && conn_.sessions() == session_) {
        listenStatement(
            QStringLiteral("UNLISTEN "));  // a session that is gone listens no more either
    }
    socket_.reset();
    handle_ = nullptr;
    listening_ = false;
}

void ChangeFeed::check() {
    if (conn_.kind() == DbKind::PostgreSQL) {
        pollServer();
    } else {
        pollFile();
    }
}

void ChangeFeed::pollServer() {
    // While the link is up only local looks: what the socket brought, and
    // what libpq kept aside while the desk's own statements ran.
    if (listening_ && !conn_.isLost() && conn_.sessions() == session_) {
        if (PGconn* pg = pgHandle(conn_); pg && pg == handle_) {
            if (PQconsumeInput(pg) == 1 && PQstatus(pg) == CONNECTION_OK) {
                readNotifications();
                return;
            }
        }
    }
    listening_ = false;
    socket_.reset();
    QString why;
    if (!conn_.checkLink(&why)) {  // opens a lost link again, once per retry interval
        if (!reportedDown_) {
            reportedDown_ = true;
            emit linkLost(why);
        }
        return;
    }
    const bool firstLook = session_ == 0;
    if (!subscribe()) {
        return;  // tried again on the next tick
    }
    if (reportedDown_) {
        reportedDown_ = false;
        emit linkRestored();
    }
    if (!firstLook) {
        emit changed(kAllChanges);  // what happened while nobody listened
    }
}

bool ChangeFeed::subscribe() {
    socket_.reset();
    handle_ = nullptr;
    if (!listenStatement(QStringLiteral("LISTEN "))) {
        return false;
    }
    PGconn* pg = pgHandle(conn_);
    if (!pg || PQsocket(pg) < 0) {
        return false;
    }
    handle_ = pg;
    session_ = conn_.sessions();
    listening_ = true;
    socket_ = std::make_unique<QSocketNotifier>(PQsocket(pg), QSocketNotifier::Read);
    connect(socket_.get(), &QSocketNotifier::activated, this, [this] {
        if (listening_ && handle_ == pgHandle(conn_) && PQconsumeInput(handle_) == 1 &&
            PQstatus(handle_) == CONNECTION_OK) {
            readNotifications();
        } else if (socket_) {
            socket_->setEnabled(false);  // the next tick finds out what happened
        }
    });
    return true;
}

bool ChangeFeed::listenStatement(const QString& verb) {
    // Not prepared: the server prepares no LISTEN. Nothing of it is bound.
    QSqlQuery q(conn_.database());
    return q.exec(verb + kChannel);
}

void ChangeFeed::readNotifications() {
    Changes changes;
    while (PGnotify* n = PQnotifies(handle_)) {
        if (kChannel == QLatin1String(n->relname)) {
            const Changes c = schema::changesOfTable(QString::fromUtf8(n->extra));
            // A table the feed does not know (a newer program's) may still matter.
            changes |= c ? c : kAllChanges;
        }
        PQfreemem(n);
    }
    if (changes && timer_.isActive()) {
        emit changed(changes);
    }
}

void ChangeFeed::pollFile() {
    if (!conn_.isOpen()) {
        return;
    }
    if (conn_.sessions() != session_) {
        // Another file, or the same one opened again: its version counts anew.
        session_ = conn_.sessions();
        if (dataVersion_ >= 0) {
            emit changed(kAllChanges);
        }
        dataVersion_ = -1;
    }
    try {
        CachedQuery q = conn_.cached(QStringLiteral("PRAGMA data_version"), {});
        const qint64 v = q.next() ? q.value(0).toLongLong() : -1;
        if (dataVersion_ >= 0 && v != dataVersion_) {
            emit changed(kAllChanges);
        }
        dataVersion_ = v;
    } catch (const Error&) {
        // Asked again on the next tick.
    }
}

}  // namespace qv
