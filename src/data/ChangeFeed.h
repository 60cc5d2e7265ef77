#pragma once

#include <QFlags>
#include <QObject>
#include <QTimer>

namespace qv {

class Connection;

// What changed in the lock database.
enum class Change { Rooms = 1, Stays = 2, RoomStates = 4, CardRecords = 8, KeyRequests = 16 };
Q_DECLARE_FLAGS(Changes, Change)
Q_DECLARE_OPERATORS_FOR_FLAGS(Changes)

// Tells listeners that the lock database changed, whoever changed it.
// SQLite: PRAGMA data_version on a 250 ms timer (it moves when another
// connection commits); PostgreSQL: the notifications of 'quorvane_changes'.
class ChangeFeed : public QObject {
    Q_OBJECT
public:
    ChangeFeed(Connection& conn, QObject* parent = nullptr);
    void start();
    void stop();

signals:
    void changed(qv::Changes changes);
    void linkLost();
    void linkRestored();

private:
    void poll();

    Connection& conn_;
    QTimer timer_;
    qint64 dataVersion_ = -1;
    bool subscribed_ = false;
};

}  // namespace qv
