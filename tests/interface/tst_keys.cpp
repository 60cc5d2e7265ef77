// Key requests end to end, on both database kinds: a PMS on a real loopback
// link, the interface service on a connection of its own, the station of
// encoder 1 on the data module's connection and the encoder simulator.
#include "SimEncoder.h"
#include "WindowFixture.h"

#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "data/Operators.h"
#include "interface/InterfaceService.h"
#include "interface/KeyStation.h"
#include "platform/Clock.h"

#include <QSignalSpy>
#include <QtTest>
#include <memory>

using namespace qv::pms;

namespace {

const char* const kPgDatabase = "qvtest_keys";
const QDateTime kNow(QDate(2025, 3, 1), QTime(15, 20));

QDateTime cardEnd(const TCardData& c) {
    return CardTimeToDate(c.EndTime);
}

int rows(const QString& sql) {
    return dm->conn.scalar(sql).toInt();
}

Record dated(Record r, const QDateTime& at = qv::Clock::now()) {
    r.add("DA", at.toString("yyMMdd")).add("TI", at.toString("HHmmss"));
    return r;
}

Record newKeys(const QString& room, int cards) {
    return Record("KR")
        .add("KC", "1")
        .add("KT", "N")
        .add("K#", QString::number(cards))
        .add("RN", room)
        .add("WS", "FO1")
        .add("G#", "R1001")
        .add("GN", QStringLiteral("张三"))
        .add("GA", "250301")
        .add("GD", "250303")
        .add("DT", "120000")
        .add("ID", "pmsuser");
}

}  // namespace

class KeysTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void newCopyExtendMoveReadCheckOut_data() { addDatabaseKinds(); }
    void newCopyExtendMoveReadCheckOut();
    void refusedBeforeAnyCard_data();
    void refusedBeforeAnyCard();
    void resendGetsTheFirstAnswer_data() { addDatabaseKinds(); }
    void resendGetsTheFirstAnswer();
    void linkCutMidRequestWritesNothing_data() { addDatabaseKinds(); }
    void linkCutMidRequestWritesNothing();
    void timedOutRequestIsNeverWritten_data() { addDatabaseKinds(); }
    void timedOutRequestIsNeverWritten();

private:
    // Sends `r` from the PMS and runs the station until its answer arrives.
    Record exchange(const Record& r, bool serve = true);

    WindowFixture fx;
    std::unique_ptr<SimEncoder> sim_;
    std::unique_ptr<qv::Connection> serviceConn_;
    std::unique_ptr<qv::InterfaceService> service_;
    std::unique_ptr<Link> pms_;
    std::unique_ptr<qv::KeyStation> station_;
    QList<Record> answers_;
    int placed_ = 0;
};

void KeysTest::init() {
    QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase);
    qv::Clock::setTestTime(kNow);
    qv::OperatorRightValues all{};
    all.fill(true);
    QVERIFY(qv::addOperator("pms", QStringLiteral("前台系统"), all));
    qv::OperatorRightValues readOnly{};
    QVERIFY(qv::addOperator("pmsview", "PMS view", readOnly));
    sim_ = std::make_unique<SimEncoder>(*fx.app);
    QVERIFY(sim_->loaded());

    serviceConn_ = std::make_unique<qv::Connection>();
    if (onServerRow()) {
        const PgServer pg = PgServer::fromEnvironment();
        serviceConn_->openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, kPgDatabase});
    } else {
        serviceConn_->openSQLite(fx.app->file("db/lock.db"));
    }
    LinkOptions server;
    server.aliveMs = 100;
    server.silenceMs = 2000;
    IntakeRules rules;
    rules.operatorLogin = "pms";
    rules.staleMinutes = 5;
    rules.timeoutSeconds = 60;
    service_ = std::make_unique<qv::InterfaceService>(*serviceConn_, server, rules);
    QVERIFY(service_->start());

    LinkOptions client;
    client.role = LinkOptions::Role::Client;
    client.port = service_->link().serverPort();
    client.aliveMs = 100;
    client.silenceMs = 2000;
    client.description.family = "PMS";
    pms_ = std::make_unique<Link>(client);
    connect(pms_.get(), &Link::received, this, [this](const Record& r) { answers_ << r; });
    QVERIFY(pms_->open());
    QTRY_VERIFY(pms_->isAlive() && service_->link().isAlive());

    station_ = std::make_unique<qv::KeyStation>(qv::KeyStation::Options{});
    // The clerk at the encoder: a blank card for each new key; the guest's
    // card stays where it is for a read or an extension.
    placed_ = 0;
    station_->setCardWait([this](int, qv::KeyStation::CardWanted wanted, const auto&) {
        if (wanted == qv::KeyStation::CardWanted::Blank) {
            ++placed_;
            return sim_->command("place blank");
        }
        return true;
    });
    answers_.clear();
}

void KeysTest::cleanup() {
    station_.reset();
    pms_.reset();
    service_.reset();
    serviceConn_.reset();
    sim_.reset();
    fx.tearDown();
}

Record KeysTest::exchange(const Record& r, bool serve) {
    const int before = int(answers_.size());
    pms_->send(r);
    QTest::qWait(0);
    QDeadlineTimer until(10000);
    while (answers_.size() == before && !until.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (serve && station_->serveNext()) {
            service_->checkRequests();
        }
    }
    return answers_.size() > before ? answers_.last() : Record();
}

void KeysTest::newCopyExtendMoveReadCheckOut() {
    // Two new keys: the first opens the stay, the second is its copy.
    Record a = exchange(dated(newKeys("1203", 2)));
    QCOMPARE(a.type, QByteArray("KA"));
    QCOMPARE(a.value("AS"), QString("OK"));
    QCOMPARE(a.value("KC"), QString("1"));
    QCOMPARE(a.value("WS"), QString("FO1"));
    QCOMPARE(a.value("G#"), QString("R1001"));
    QCOMPARE(a.value("RN"), QString("1203"));
    QCOMPARE(placed_, 2);
    TCardData card = sim_->card();
    QCOMPARE(CardSerial(card), 1);
    QCOMPARE(cardEnd(card), QDateTime(QDate(2025, 3, 3), QTime(12, 10)));  // the desk's tolerance
    QCOMPARE(rows("select count(*) from MakeCardRecord where RoomStr = '1203' and CardType = 4 "
                  "and MakeUser = 'pms' and Holder = '张三'"),
             2);
    QCOMPARE(rows("select count(*) from GuestInRecord where enOverride = 0 and RoomStr = '1203' "
                  "and InputUser = 'pms'"),
             1);
    QCOMPARE(dm->conn.scalar("select State from KeyRequest").toString(), QString("answered"));
    const QStringList logIds =
        dm->conn.scalar("select CardLogIds from KeyRequest").toString().split(',');
    QCOMPARE(logIds.size(), 2);
    QCOMPARE(
        rows(QString("select count(*) from MakeCardRecord where ID in (%1)").arg(logIds.join(','))),
        2);

    // A duplicate: a copy for the open stay, same serial.
    a = exchange(dated(Record("KR").add("KC", "1").add("KT", "D").add("RN", "1203")));
    QCOMPARE(a.value("AS"), QString("OK"));
    QCOMPARE(CardSerial(sim_->card()), 1);
    QCOMPARE(rows("select count(*) from MakeCardRecord where RoomStr = '1203'"), 3);

    // The guest's card on the encoder is extended.
    a = exchange(dated(Record("KM").add("KC", "1").add("RN", "1203").add("GD", "250305")));
    QCOMPARE(a.value("AS"), QString("OK"));
    QCOMPARE(cardEnd(sim_->card()), QDateTime(QDate(2025, 3, 5), QTime(12, 10)));
    QCOMPARE(dm->conn.scalar("select GuestLeaveTime from GuestInRecord where enOverride = 0")
                 .toDateTime(),
             QDateTime(QDate(2025, 3, 5), QTime(12, 10)));

    // A read answers the room, the dates and the holder.
    a = exchange(dated(Record("KZ").add("KC", "1").add("WS", "FO1")));
    QCOMPARE(a.value("AS"), QString("OK"));
    QCOMPARE(a.value("RN"), QString("1203"));
    QCOMPARE(a.value("GD"), QString("250305"));
    QCOMPARE(a.value("DT"), QString("121000"));
    QCOMPARE(a.value("GN"), QStringLiteral("张三"));

    // A room move: the guest's card now opens 1204, whose stay is open, 1203's closed.
    a = exchange(dated(Record("KM").add("KC", "1").add("RN", "1203").add("RO", "1204")));
    QCOMPARE(a.value("AS"), QString("OK"));
    QCOMPARE(ResolveRoom(sim_->card().RoomAddr).roomStr, QString("1204"));
    QCOMPARE(rows("select count(*) from GuestInRecord where enOverride = 0 and RoomStr = '1204' "
                  "and GuestName = '张三'"),
             1);
    QCOMPARE(rows("select count(*) from GuestInRecord where enOverride = 0 and RoomStr = '1203'"),
             0);

    // Check-out without a card; a second one finds no stay.
    a = exchange(dated(Record("KD").add("KC", "1").add("RN", "1204")));
    QCOMPARE(a.value("AS"), QString("OK"));
    QCOMPARE(rows("select count(*) from GuestInRecord where enOverride = 0"), 0);
    a = exchange(dated(Record("KD").add("KC", "1").add("RN", "1204").add("WS", "2")));
    QCOMPARE(a.value("AS"), QString("NG"));
    QCOMPARE(rows("select count(*) from KeyRequest where State = 'answered'"), 7);
}

void KeysTest::refusedBeforeAnyCard_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("operatorLogin");
    QTest::addColumn<Record>("record");
    QTest::addColumn<QString>("status");
    for (const QString kind : {"sqlite", "postgres"}) {
        const auto row = [&](const char* name) {
            return &QTest::newRow(qPrintable(QString("%1 on %2").arg(name, kind)));
        };
        *row("unknown room") << kind << "pms" << dated(newKeys("9999", 1), kNow) << "NG";
        *row("stale record") << kind << "pms" << dated(newKeys("1203", 1), kNow.addSecs(-600))
                             << "UR";
        *row("record from the future")
            << kind << "pms" << dated(newKeys("1203", 1), kNow.addSecs(600)) << "UR";
        *row("undated record") << kind << "pms" << newKeys("1203", 1) << "UR";
        *row("no encoder") << kind << "pms"
                           << dated(Record("KR").add("RN", "1203").add("GD", "250303"), kNow)
                           << "UR";
        *row("operator without the right")
            << kind << "pmsview" << dated(newKeys("1203", 1), kNow) << "DN";
        *row("unknown operator") << kind << "nobody" << dated(newKeys("1203", 1), kNow) << "DN";
        *row("departure passed")
            << kind << "pms"
            << dated(Record("KR").add("KC", "1").add("RN", "1203").add("GD", "250228"), kNow)
            << "UR";
    }
}

void KeysTest::refusedBeforeAnyCard() {
    QFETCH(QString, operatorLogin);
    QFETCH(Record, record);
    QFETCH(QString, status);
    if (operatorLogin != "pms") {
        IntakeRules rules;
        rules.operatorLogin = operatorLogin;
        service_ = std::make_unique<qv::InterfaceService>(*serviceConn_, LinkOptions{}, rules);
        QVERIFY(service_->start());
        pms_.reset();
        LinkOptions client;
        client.role = LinkOptions::Role::Client;
        client.port = service_->link().serverPort();
        pms_ = std::make_unique<Link>(client);
        connect(pms_.get(), &Link::received, this, [this](const Record& r) { answers_ << r; });
        QVERIFY(pms_->open());
        QTRY_VERIFY(pms_->isAlive() && service_->link().isAlive());
    }
    const Record a = exchange(record);
    QCOMPARE(a.value("AS"), status);
    QVERIFY(!a.value("CT").isEmpty());
    QCOMPARE(placed_, 0);
    QCOMPARE(rows("select count(*) from KeyRequest"), 0);
    QCOMPARE(rows("select count(*) from MakeCardRecord"), 0);
}

void KeysTest::resendGetsTheFirstAnswer() {
    const Record request = dated(newKeys("1203", 1));
    const Record first = exchange(request);
    QCOMPARE(first.value("AS"), QString("OK"));
    // The PMS did not hear it (a timeout on its side) and sends it again,
    // even over a new link.
    pms_->abortConnection();
    QTRY_VERIFY(pms_->isAlive() && service_->link().isAlive());
    const Record again = exchange(request);
    QCOMPARE(again.value("AS"), QString("OK"));
    QCOMPARE(again.value("CT"), first.value("CT"));
    QCOMPARE(placed_, 1);
    QCOMPARE(rows("select count(*) from MakeCardRecord"), 1);
    QCOMPARE(rows("select count(*) from KeyRequest"), 1);
}

void KeysTest::linkCutMidRequestWritesNothing() {
    // The link breaks while the station waits for the card: once the card
    // is placed nothing is written.
    station_->setCardWait([this](int, qv::KeyStation::CardWanted, const auto& stillWanted) {
        pms_->close();
        QDeadlineTimer until(5000);
        while (stillWanted() && !until.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return sim_->command("place blank");
    });
    pms_->send(dated(newKeys("1203", 1)));
    QTRY_COMPARE(service_->pending(), 1);
    QVERIFY(station_->serveNext());
    QCOMPARE(rows("select count(*) from MakeCardRecord"), 0);
    QCOMPARE(rows("select count(*) from GuestInRecord"), 0);
    QCOMPARE(dm->conn.scalar("select State from KeyRequest").toString(), QString("expired"));
    QVERIFY(answers_.isEmpty());
    QVERIFY(IdentifyCard(sim_->card()).blank());

    // A request queued when the link dies is never taken.
    QVERIFY(pms_->open());
    QTRY_VERIFY(pms_->isAlive() && service_->link().isAlive());
    pms_->send(dated(newKeys("1204", 1)));
    QTRY_COMPARE(service_->pending(), 1);
    service_->link().abortConnection();
    QTRY_COMPARE(service_->pending(), 0);
    QVERIFY(!station_->serveNext());
    QCOMPARE(rows("select count(*) from KeyRequest where State = 'expired'"), 2);
    QCOMPARE(rows("select count(*) from MakeCardRecord"), 0);
}

void KeysTest::timedOutRequestIsNeverWritten() {
    pms_->send(dated(newKeys("1203", 1)));
    QTRY_COMPARE(service_->pending(), 1);
    qv::Clock::setTestTime(kNow.addSecs(61));
    service_->checkRequests();
    QTRY_COMPARE(answers_.size(), 1);
    QCOMPARE(answers_.last().value("AS"), QString("UR"));
    QCOMPARE(answers_.last().value("RN"), QString("1203"));
    QVERIFY(!station_->serveNext());
    QCOMPARE(placed_, 0);
    QCOMPARE(rows("select count(*) from MakeCardRecord"), 0);
}

QTEST_MAIN(KeysTest)
#include "tst_keys.moc"
