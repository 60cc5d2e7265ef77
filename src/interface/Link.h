#pragma once

#include "interface/Record.h"

#include <QDateTime>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QTcpServer;
class QTcpSocket;

namespace qv::pms {

// What each side says of itself when the link starts.
struct LinkDescription {
    QString version = QStringLiteral("1.0");
    QString family = QStringLiteral("DL");  // door locking
    // The record types this side sends or expects, each with its fields.
    QList<QPair<QByteArray, QByteArray>> records;
};

struct LinkOptions {
    enum class Role { Server, Client };
    Role role = Role::Server;
    QHostAddress address = QHostAddress::LocalHost;  // server: where to listen; client: the peer
    quint16 port = 0;                                // server: 0 picks a free port
    QList<QHostAddress> allowFrom{QHostAddress::LocalHost};  // server: the peers accepted
    int aliveMs = 10000;     // an LA is sent this often while the link is alive
    int silenceMs = 30000;   // a peer heard nothing from this long is dropped
    int firstRetryMs = 500;  // client: the first wait before connecting again
    int maxRetryMs = 30000;  // client: the longest wait (doubled each time up to this)
    LinkDescription description;
};

// One side of the PMS link, in either role. The handshake: each side sends
// LS when the connection opens; on LS (or on the peer's LA before its own
// description went out) a side describes itself with LD, one LR per record
// type and LA; the link is alive once it has sent its LA and heard the
// peer's. Records other than link records are refused until then. An alive
// check (LA) runs on a timer; a peer silent for silenceMs is dropped. LE ends
// the link. The server takes one link at a time and only from allowFrom;
// the client connects again with a growing wait and redoes the handshake.
class Link : public QObject {
    Q_OBJECT
public:
    enum class State { Down, Starting, Alive };

    explicit Link(const LinkOptions& options, QObject* parent = nullptr);
    ~Link() override;

    // Server: listens; false with the reason in errorString() when it cannot.
    // Client: starts connecting.
    bool open();
    // Sends LE and closes the link (the server keeps listening, the client
    // stops connecting).
    void close();

    State state() const { return state_; }
    bool isAlive() const { return state_ == State::Alive; }
    // A new identity for every link that became alive ("" while none is).
    QString linkId() const { return linkId_; }
    QDateTime since() const { return since_; }
    quint16 serverPort() const;
    QString errorString() const { return error_; }
    QString peerVersion() const { return peerVersion_; }
    QString peerFamily() const { return peerFamily_; }

    // Sends a record; false when there is no link or, for a record other
    // than a link record, while the link is not alive.
    bool send(const Record& record);
    // Cuts the connection at once, as a broken network would (tests).
    void abortConnection();

signals:
    void alive(const QString& linkId);
    // The alive link is gone (ended, dropped, broken).
    void lost(const QString& linkId);
    void received(const qv::pms::Record& record);

private:
    void attach(QTcpSocket* socket);
    void onReadyRead();
    void onDisconnected();
    void onRecord(const Record& r);
    void describe();
    void onTick();
    void scheduleReconnect();
    void connectNow();
    void dropSocket();
    void writeRaw(const Record& r);

    LinkOptions options_;
    QTcpServer* server_ = nullptr;
    QPointer<QTcpSocket> socket_;
    RecordReader reader_;
    State state_ = State::Down;
    bool described_ = false;
    bool closing_ = false;
    QString linkId_;
    QDateTime since_;
    QString error_;
    QString peerVersion_;
    QString peerFamily_;
    QTimer tick_;
    QTimer retry_;
    int retryMs_ = 0;
    qint64 lastHeardMs_ = 0;
};

}  // namespace qv::pms
