// The PMS link without a database: the record codec (round trip, malformed
// and overlong records, a seeded stream of random and cut bytes) and the
// link's handshake, alive check, refusals and reconnection over loopback.
#include "interface/Link.h"
#include "interface/Record.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

using namespace qv::pms;

namespace {
QByteArray framed(const QByteArray& body) {
    return QByteArray(1, kStx) + body + QByteArray(1, kEtx);
}

LinkOptions fastOptions(LinkOptions::Role role) {
    LinkOptions o;
    o.role = role;
    o.aliveMs = 50;
    o.silenceMs = 400;
    o.firstRetryMs = 50;
    o.maxRetryMs = 200;
    return o;
}
}  // namespace

class LinkTest : public QObject {
    Q_OBJECT
private slots:
    void roundTrip();
    void malformedRecords_data();
    void malformedRecords();
    void overlongRecordIsDroppedWhole();
    void randomAndCutStreams();

    void handshakeBothWays();
    void keyRecordsRefusedBeforeAlive();
    void silentPeerIsDropped();
    void addressNotAllowedAndOneLinkAtATime();
    void clientReconnectsAndRedoesHandshake();
};

void LinkTest::roundTrip() {
    Record r("KR");
    r.add("KC", "1").add("RN", "1203").add("GN", QStringLiteral("张三")).add("G#", "R77");
    r.add("CT", "a|b");  // a '|' never reaches the wire inside a value
    RecordReader reader;
    const QByteArray wire = encode(r);
    // Fed byte by byte, with noise around it.
    reader.feed("noise");
    for (const char c : wire) {
        reader.feed(QByteArray(1, c));
        if (c != kEtx) {
            QVERIFY(!reader.next());
        }
    }
    const std::optional<Record> back = reader.next();
    QVERIFY(back);
    QCOMPARE(back->type, QByteArray("KR"));
    QCOMPARE(back->value("GN"), QStringLiteral("张三"));
    QCOMPARE(back->value("G#"), QString("R77"));
    QCOMPARE(back->value("CT"), QString("ab"));
    QVERIFY(!back->has("XX"));
    QCOMPARE(reader.dropped(), 0);
}

void LinkTest::malformedRecords_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("type only") << QByteArray("KR");
    QTest::newRow("lower-case type") << QByteArray("kr|RN1|");
    QTest::newRow("field without end") << QByteArray("KR|RN1203");
    QTest::newRow("one-letter field") << QByteArray("KR|R|");
    QTest::newRow("bad UTF-8") << QByteArray("KR|GN\xff\xfe|");
}

void LinkTest::malformedRecords() {
    QFETCH(QByteArray, body);
    RecordReader reader;
    reader.feed(framed(body) + framed("LA|"));
    const std::optional<Record> r = reader.next();
    QVERIFY(r);  // the good record after the bad one still comes through
    QCOMPARE(r->type, QByteArray("LA"));
    QCOMPARE(reader.dropped(), 1);
    QCOMPARE(reader.takeErrors().size(), 1);
}

void LinkTest::overlongRecordIsDroppedWhole() {
    RecordReader reader;
    reader.feed(framed("KR|GN" + QByteArray(kMaxRecordBytes, 'x') + "|") + framed("KZ|KC1|"));
    const std::optional<Record> r = reader.next();
    QVERIFY(r);
    QCOMPARE(r->type, QByteArray("KZ"));
    QVERIFY(!reader.next());
    QCOMPARE(reader.dropped(), 1);
    // A record cut off by the next STX is dropped, the next one read.
    reader.feed(QByteArray(1, kStx) + "KR|RN1" + framed("LE|"));
    QCOMPARE(reader.next()->type, QByteArray("LE"));
    QCOMPARE(reader.dropped(), 2);
}

void LinkTest::randomAndCutStreams() {
    // A fixed seed: the same streams on every run. Each round mixes good
    // records, random bytes (STX and ETX among them) and records cut short;
    // the reader must survive, stay bounded and still find the good records
    // that were sent whole after a clean boundary.
    QRandomGenerator rng(20261211);
    const QByteArray good = encode(Record("KR").add("RN", "1203").add("KC", "1"));
    for (int round = 0; round < 2000; ++round) {
        RecordReader reader;
        QByteArray stream;
        const int parts = 1 + int(rng.bounded(8));
        for (int p = 0; p < parts; ++p) {
            switch (rng.bounded(4)) {
                case 0:
                    stream += good;
                    break;
                case 1:
                    stream += good.left(int(rng.bounded(good.size())));
                    break;
                default: {
                    QByteArray noise(int(rng.bounded(600)), Qt::Uninitialized);
                    for (char& c : noise) {
                        const quint32 v = rng.bounded(16);
                        c = v == 0 ? kStx : v == 1 ? kEtx : v == 2 ? '|' : char(rng.bounded(256));
                    }
                    stream += noise;
                }
            }
        }
        stream += QByteArray(1, kEtx) + good;  // ends any open record, then one whole one
        // Fed in random slices.
        qsizetype at = 0;
        while (at < stream.size()) {
            const qsizetype n = 1 + rng.bounded(64);
            reader.feed(stream.mid(at, n));
            at += n;
        }
        std::optional<Record> last;
        int count = 0;
        while (std::optional<Record> r = reader.next()) {
            QVERIFY(r->type.size() == 2);
            last = r;
            ++count;
        }
        QVERIFY2(last && last->type == "KR" && last->value("RN") == "1203",
                 qPrintable(QString("round %1").arg(round)));
        QVERIFY(count <= stream.count(kEtx));
    }
}

void LinkTest::handshakeBothWays() {
    Link server(fastOptions(LinkOptions::Role::Server));
    QVERIFY(server.open());
    LinkOptions co = fastOptions(LinkOptions::Role::Client);
    co.port = server.serverPort();
    co.description.family = QStringLiteral("PMS");
    co.description.version = QStringLiteral("2.1");
    Link client(co);
    QSignalSpy serverAlive(&server, &Link::alive);
    QSignalSpy clientAlive(&client, &Link::alive);
    QSignalSpy serverGot(&server, &Link::received);
    QVERIFY(client.open());
    QTRY_VERIFY(server.isAlive() && client.isAlive());
    QCOMPARE(serverAlive.size(), 1);
    QCOMPARE(clientAlive.size(), 1);
    QCOMPARE(server.peerFamily(), QString("PMS"));
    QCOMPARE(server.peerVersion(), QString("2.1"));
    QCOMPARE(client.peerFamily(), QString("DL"));
    QVERIFY(!server.linkId().isEmpty());

    QVERIFY(client.send(Record("KZ").add("KC", "2")));
    QTRY_COMPARE(serverGot.size(), 1);
    QCOMPARE(serverGot.at(0).at(0).value<Record>().value("KC"), QString("2"));

    // The alive checks keep it up for longer than the silence limit.
    QTest::qWait(700);
    QVERIFY(server.isAlive() && client.isAlive());
    QCOMPARE(serverAlive.size(), 1);

    // LE ends it on both sides.
    QSignalSpy serverLost(&server, &Link::lost);
    client.close();
    QTRY_COMPARE(serverLost.size(), 1);
    QVERIFY(!server.isAlive());
}

void LinkTest::keyRecordsRefusedBeforeAlive() {
    Link server(fastOptions(LinkOptions::Role::Server));
    QVERIFY(server.open());
    QSignalSpy got(&server, &Link::received);
    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QVERIFY(raw.waitForConnected(5000));
    // Garbage and a key record before any handshake: neither reaches the service.
    raw.write("\x01\x02\xff\x03" + encode(Record("KR").add("RN", "1203")));
    QTest::qWait(150);
    QCOMPARE(got.size(), 0);
    QVERIFY(!server.isAlive());
    // After LS ... LA it is alive and the same record comes through.
    raw.write(encode(Record("LS")) + encode(Record("LA")));
    QTRY_VERIFY(server.isAlive());
    raw.write(encode(Record("KR").add("RN", "1203")));
    QTRY_COMPARE(got.size(), 1);
}

void LinkTest::silentPeerIsDropped() {
    Link server(fastOptions(LinkOptions::Role::Server));
    QVERIFY(server.open());
    QSignalSpy lost(&server, &Link::lost);
    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QVERIFY(raw.waitForConnected(5000));
    raw.write(encode(Record("LS")) + encode(Record("LA")));
    QTRY_VERIFY(server.isAlive());
    // Nothing more from the peer: dropped after the silence limit.
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 3000);
    QVERIFY(!server.isAlive());
    QTRY_VERIFY(raw.state() != QAbstractSocket::ConnectedState);
}

void LinkTest::addressNotAllowedAndOneLinkAtATime() {
    LinkOptions so = fastOptions(LinkOptions::Role::Server);
    so.allowFrom = {QHostAddress(QStringLiteral("192.0.2.7"))};
    {
        Link server(so);
        QVERIFY(server.open());
        QTcpSocket raw;
        raw.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(raw.waitForConnected(5000));
        raw.write(encode(Record("LS")) + encode(Record("LA")));
        QTRY_VERIFY(raw.state() == QAbstractSocket::UnconnectedState);
        QVERIFY(!server.isAlive());
    }
    Link server(fastOptions(LinkOptions::Role::Server));
    QVERIFY(server.open());
    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QVERIFY(first.waitForConnected(5000));
    first.write(encode(Record("LS")) + encode(Record("LA")));
    QTRY_VERIFY(server.isAlive());
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QTRY_VERIFY(second.state() == QAbstractSocket::UnconnectedState);
    QVERIFY(server.isAlive());
}

void LinkTest::clientReconnectsAndRedoesHandshake() {
    Link server(fastOptions(LinkOptions::Role::Server));
    QVERIFY(server.open());
    LinkOptions co = fastOptions(LinkOptions::Role::Client);
    co.port = server.serverPort();
    Link client(co);
    QSignalSpy clientAlive(&client, &Link::alive);
    QVERIFY(client.open());
    QTRY_COMPARE(clientAlive.size(), 1);
    const QString firstId = client.linkId();
    server.abortConnection();  // the network breaks
    QTRY_COMPARE_WITH_TIMEOUT(clientAlive.size(), 2, 5000);
    QTRY_VERIFY(server.isAlive());
    QVERIFY(client.linkId() != firstId);
}

QTEST_GUILESS_MAIN(LinkTest)
#include "tst_link.moc"
