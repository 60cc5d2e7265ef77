#pragma once

#include <QFlags>
#include <QObject>
#include <QTimer>
#include <memory>

class QSocketNotifier;
struct pg_conn;

namespace qv {

class Connection;

// What changed in the lock database.
enum class Change { Rooms = 1, Stays = 2, RoomStates = 4, CardRecords = 8, KeyRequests = 16 };
Q_DECLARE_FLAGS(Changes, Change)
Q_DECLARE_OPERATORS_FOR_FLAGS(Changes)

// Everything a listener may be told.
inline constexpr Changes kAllChanges = Changes(Change::Rooms) | Change::Stays | Change::RoomStates |
                                       Change::CardRecords | Change::KeyRequests;

// Tells listeners that the lock database changed, whoever changed it: another
// desk, the key interface, quorvane-dbinit, a restore, a plain SQL client.
//
// PostgreSQL: the server's triggers notify 'quorvane_changes' with the
// changed table (ChangeFeedSchema.h) and the feed listens on the connection;
// while nothing changes it runs no statement at all. A session lost and
// opened again (by the feed or by any statement) is subscribed again, and
// then everything counts as changed, since notifications may have been
// missed meanwhile.
// SQLite: PRAGMA data_version read every 250 ms; it moves when another
// connection commits (this program's own commits do not move it: its windows
// tell the board themselves). That read is the only statement while nothing
// changes, and it cannot tell which table changed: everything counts.
class ChangeFeed : public QObject {
    Q_OBJECT
public:
    explicit ChangeFeed(Connection& conn, QObject* parent = nullptr);
    ~ChangeFeed() override;
    // Starts watching (again); a feed already watching carries on.
    void start();
    void stop();
    bool isRunning() const { return timer_.isActive(); }
    // Looks once now, as each tick does.
    void check();
    // False from linkLost() until linkRestored().
    bool linkUp() const { return !reportedDown_; }

signals:
    void changed(qv::Changes changes);
    // The server cannot be reached; `text` says so for the operator. Once per outage.
    void linkLost(const QString& text);
    // Once when the server can be used again after linkLost().
    void linkRestored();

private:
    void pollServer();
    void pollFile();
    bool subscribe();
    void readNotifications();
    bool listenStatement(const QString& verb);

    Connection& conn_;
    QTimer timer_;
    qint64 dataVersion_ = -1;
    // The session the feed listens on (the connection's count, its libpq
    // handle and socket): the feed reads the notifications itself, so that
    // none waits behind the desk's own statements.
    quint64 session_ = 0;
    pg_conn* handle_ = nullptr;
    std::unique_ptr<QSocketNotifier> socket_;
    bool listening_ = false;
    bool reportedDown_ = false;
};

}  // namespace qv
