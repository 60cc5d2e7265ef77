#include "interface/Link.h"

#include "platform/Clock.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUuid>

namespace qv::pms {

namespace {
qint64 monotonicMs() {
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return t.elapsed();
}

bool sameHost(const QHostAddress& a, const QHostAddress& b) {
    // An IPv4 peer may come as an IPv4-mapped IPv6 address.
    bool okA = false;
    bool okB = false;
    const quint32 a4 = a.toIPv4Address(&okA);
    const quint32 b4 = b.toIPv4Address(&okB);
    if (okA && okB) {
        return a4 == b4;
    }
    return a.isEqual(b);
}
}  // namespace

Link::Link(const LinkOptions& options, QObject* parent) : QObject(parent), options_(options) {
    tick_.setInterval(qMax(10, qMin(options_.aliveMs, options_.silenceMs / 3)));
    connect(&tick_, &QTimer::timeout, this, &Link::onTick);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &Link::connectNow);
    retryMs_ = options_.firstRetryMs;
}

Link::~Link() {
    // Nobody is told of a link that goes away with its owner.
    blockSignals(true);
    closing_ = true;
    dropSocket();
}

bool Link::open() {
    closing_ = false;
    if (options_.role == LinkOptions::Role::Client) {
        connectNow();
        return true;
    }
    if (!server_) {
        server_ = new QTcpServer(this);
        connect(server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_->nextPendingConnection()) {
                const QHostAddress peer = s->peerAddress();
                bool allowed = false;
                for (const QHostAddress& a : options_.allowFrom) {
                    allowed = allowed || sameHost(a, peer);
                }
                if (!allowed) {
                    qWarning("PMS link: a connection from %s refused (not in AllowFrom)",
                             qUtf8Printable(peer.toString()));
                    s->abort();
                    s->deleteLater();
                } else if (socket_) {
                    qWarning("PMS link: a second connection from %s refused (one link at a time)",
                             qUtf8Printable(peer.toString()));
                    s->abort();
                    s->deleteLater();
                } else {
                    attach(s);
                }
            }
        });
    }
    if (!server_->isListening() && !server_->listen(options_.address, options_.port)) {
        error_ = server_->errorString();
        return false;
    }
    return true;
}

quint16 Link::serverPort() const {
    return server_ ? server_->serverPort() : 0;
}

void Link::close() {
    closing_ = true;
    retry_.stop();
    if (socket_) {
        writeRaw(Record("LE"));
        socket_->flush();
    }
    dropSocket();
    if (server_) {
        server_->close();
    }
}

void Link::abortConnection() {
    if (socket_) {
        socket_->abort();
    }
}

void Link::attach(QTcpSocket* socket) {
    socket_ = socket;
    socket->setParent(this);
    reader_ = RecordReader();
    state_ = State::Starting;
    described_ = false;
    lastHeardMs_ = monotonicMs();
    connect(socket, &QTcpSocket::readyRead, this, &Link::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &Link::onDisconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError) {
        if (socket == socket_ && socket->state() != QAbstractSocket::ConnectedState) {
            onDisconnected();
        }
    });
    tick_.start();
    Record ls("LS");
    const QDateTime now = Clock::now();
    ls.add("DA", now.toString(QStringLiteral("yyMMdd")))
        .add("TI", now.toString(QStringLiteral("HHmmss")));
    writeRaw(ls);
}

void Link::dropSocket() {
    tick_.stop();
    const bool wasAlive = state_ == State::Alive;
    const QString id = linkId_;
    state_ = State::Down;
    linkId_.clear();
    if (socket_) {
        QTcpSocket* s = socket_;
        socket_ = nullptr;
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
    if (wasAlive) {
        emit lost(id);
    }
}

void Link::onDisconnected() {
    if (!socket_) {
        return;
    }
    dropSocket();
    scheduleReconnect();
}

void Link::scheduleReconnect() {
    if (closing_ || options_.role != LinkOptions::Role::Client) {
        return;
    }
    retry_.start(retryMs_);
    retryMs_ = qMin(options_.maxRetryMs, retryMs_ * 2);
}

void Link::connectNow() {
    if (closing_ || socket_) {
        return;
    }
    auto* s = new QTcpSocket(this);
    connect(s, &QTcpSocket::connected, this, [this, s] {
        s->disconnect(this);
        attach(s);
    });
    connect(s, &QTcpSocket::errorOccurred, this, [this, s](QAbstractSocket::SocketError) {
        if (s != socket_) {
            s->disconnect(this);
            s->deleteLater();
            scheduleReconnect();
        }
    });
    s->connectToHost(options_.address, options_.port);
}

void Link::writeRaw(const Record& r) {
    if (socket_) {
        socket_->write(encode(r));
    }
}

bool Link::send(const Record& record) {
    if (!socket_ || (!record.isLink() && state_ != State::Alive)) {
        return false;
    }
    writeRaw(record);
    return true;
}

void Link::onReadyRead() {
    if (!socket_) {
        return;
    }
    reader_.feed(socket_->readAll());
    for (const QString& e : reader_.takeErrors()) {
        qWarning("PMS link: a record dropped: %s", qUtf8Printable(e));
    }
    while (std::optional<Record> r = reader_.next()) {
        lastHeardMs_ = monotonicMs();
        onRecord(*r);
        if (!socket_) {
            return;  // the record ended the link
        }
    }
}

void Link::describe() {
    if (described_) {
        return;
    }
    described_ = true;
    const QDateTime now = Clock::now();
    Record ld("LD");
    ld.add("DA", now.toString(QStringLiteral("yyMMdd")))
        .add("TI", now.toString(QStringLiteral("HHmmss")))
        .add("V#", options_.description.version)
        .add("IF", options_.description.family);
    writeRaw(ld);
    for (const auto& [type, fields] : options_.description.records) {
        writeRaw(Record("LR")
                     .add("RI", QString::fromLatin1(type))
                     .add("FL", QString::fromLatin1(fields)));
    }
    writeRaw(Record("LA")
                 .add("DA", now.toString(QStringLiteral("yyMMdd")))
                 .add("TI", now.toString(QStringLiteral("HHmmss"))));
}

void Link::onRecord(const Record& r) {
    if (r.type == "LS") {
        if (state_ == State::Alive) {
            // The peer starts again: so does this side.
            const QString id = linkId_;
            linkId_.clear();
            state_ = State::Starting;
            emit lost(id);
        }
        described_ = false;
        describe();
        return;
    }
    if (r.type == "LD") {
        peerVersion_ = r.value("V#");
        peerFamily_ = r.value("IF");
        return;
    }
    if (r.type == "LR") {
        return;
    }
    if (r.type == "LA") {
        if (state_ == State::Starting) {
            describe();
            state_ = State::Alive;
            linkId_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
            since_ = Clock::now();
            retryMs_ = options_.firstRetryMs;
            emit alive(linkId_);
        }
        return;
    }
    if (r.type == "LE") {
        dropSocket();
        scheduleReconnect();
        return;
    }
    if (r.isLink()) {
        return;  // a link record this side does not use
    }
    if (state_ != State::Alive) {
        qWarning("PMS link: a %s record refused before the link is alive", r.type.constData());
        return;
    }
    emit received(r);
}

void Link::onTick() {
    if (!socket_) {
        return;
    }
    if (monotonicMs() - lastHeardMs_ > options_.silenceMs) {
        qWarning("PMS link: the peer was silent for %d ms: link dropped", options_.silenceMs);
        dropSocket();
        scheduleReconnect();
        return;
    }
    if (state_ == State::Alive) {
        writeRaw(Record("LA"));
    }
}

}  // namespace qv::pms
