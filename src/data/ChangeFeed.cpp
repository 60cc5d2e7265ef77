#include "data/ChangeFeed.h"

#include "data/Connection.h"
#include "platform/Errors.h"

#include <QSqlDriver>

namespace qv {

namespace {
const QString kChannel = QStringLiteral("quorvane_changes");
const Changes kAll = Changes(Change::Rooms) | Change::Stays | Change::RoomStates |
                     Change::CardRecords | Change::KeyRequests;
}  // namespace

ChangeFeed::ChangeFeed(Connection& conn, QObject* parent) : QObject(parent), conn_(conn) {
    timer_.setInterval(250);
    connect(&timer_, &QTimer::timeout, this, &ChangeFeed::poll);
}

void ChangeFeed::start() {
    if (conn_.kind() == DbKind::PostgreSQL) {
        QSqlDriver* driver = conn_.database().driver();
        subscribed_ = driver && driver->subscribeToNotification(kChannel);
        if (driver) {
            connect(
                driver, &QSqlDriver::notification, this,
                [this](const QString& name, QSqlDriver::NotificationSource, const QVariant&) {
                    if (name == kChannel) {
                        emit changed(kAll);
                    }
                },
                Qt::UniqueConnection);
        }
    }
    timer_.start();
}

void ChangeFeed::stop() {
    timer_.stop();
}

void ChangeFeed::poll() {
    if (conn_.kind() == DbKind::PostgreSQL) {
        // The server tells by notification; the timer only notices a lost
        // link and subscribes again once it is back (then everything may
        // have changed).
        const bool up = conn_.checkLink();
        if (!up && subscribed_) {
            subscribed_ = false;
            emit linkLost();
        } else if (up && !subscribed_) {
            start();
            if (subscribed_) {
                emit linkRestored();
                emit changed(kAll);
            }
        }
        return;
    }
    try {
        const qint64 v = conn_.scalar(QStringLiteral("PRAGMA data_version")).toLongLong();
        if (dataVersion_ >= 0 && v != dataVersion_) {
            emit changed(kAll);
        }
        dataVersion_ = v;
    } catch (const Error&) {
        // Asked again on the next tick.
    }
}

}  // namespace qv
