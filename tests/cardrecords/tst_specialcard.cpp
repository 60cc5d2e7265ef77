// The hotel's own cards issued through the card layer: the encoder export
// and counter of each kind, the record written and logged, and nothing kept
// when the encoder writes nothing.
#include "LockDatabase.h"
#include "SimEncoder.h"
#include "TestSupport.h"
#include "data/Session.h"

#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "card/SpecialCard.h"
#include "data/DataSet.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"

#include <QtTest>
#include <memory>

namespace {

const char* const kPgDatabase = "qvtest_specialcard";
const QDateTime kStart(QDate(2025, 3, 1), QTime(9, 10));
const QDateTime kEnd(QDate(2025, 3, 2), QTime(12, 10));

QMap<int, int> counters() {
    QMap<int, int> all;
    QSqlQuery q = dm->conn.run("select CardType, CardSn from AllCardSn");
    while (q.next()) {
        all.insert(q.value(0).toInt(), q.value(1).toInt());
    }
    return all;
}
int logRows() {
    return dm->conn.scalar("select count(*) from MakeCardRecord").toInt();
}

SpecialCardOrder order(int type) {
    SpecialCardOrder o;
    o.cardType = static_cast<uint16_t>(type);
    o.start = kStart;
    o.end = kEnd;
    o.holder = QStringLiteral("保安部");
    return o;
}

}  // namespace

class SpecialCardTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void eachKindItsExportAndCounter_data();
    void eachKindItsExportAndCounter();
    void fieldsOfTheKindAndTheLossReport();
    void encoderToolNamesTheKinds_data();
    void encoderToolNamesTheKinds();
    void guestAndUnknownTypesAreRefused_data();
    void guestAndUnknownTypesAreRefused();
    void nothingWrittenKeepsNothing_data();
    void nothingWrittenKeepsNothing();

private:
    std::unique_ptr<TempAppDir> app_;
    std::unique_ptr<Tdm> dm_;
    std::unique_ptr<qv::TestDialogs> dialogs_;
    std::unique_ptr<SimEncoder> sim_;
};

void SpecialCardTest::init() {
    app_ = std::make_unique<TempAppDir>();
    dm_ = std::make_unique<Tdm>();
    dm = dm_.get();
    dialogs_ = std::make_unique<qv::TestDialogs>();
    LockSystemInfo = TLockSystemInfo();
    qv::session().login = "desk1";
    qv::session().name = "前台一";
    QV_OPEN_FRESH_LOCK_DATABASE(dm->conn, *app_, kPgDatabase, true);
    sim_ = std::make_unique<SimEncoder>(*app_);
    QVERIFY(sim_->loaded());
    QVERIFY(sim_->command("place blank"));
}

void SpecialCardTest::cleanup() {
    sim_.reset();
    dialogs_.reset();
    dm_.reset();
    dm = nullptr;
    app_.reset();
}

void SpecialCardTest::eachKindItsExportAndCounter_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("kind");
    const struct {
        const char* tag;
        int type;
        int kind;
    } rows[] = {{"clear", 1, 1},        {"time", 2, 2},
                {"emergency", 3, 4},    {"floor", 5, 7},
                {"district", 6, 9},     {"building", 8, 6},
                {"passage", 9, 10},     {"master", 10, 5},
                {"lost-report", 12, 3}, {"data-collection start", 14, 13}};
    for (const char* suffix : {"", " on postgres"}) {
        for (const auto& r : rows) {
            QTest::newRow(qPrintable(QString(r.tag) + suffix)) << r.type << r.kind;
        }
    }
}

void SpecialCardTest::eachKindItsExportAndCounter() {
    QFETCH(int, type);
    QFETCH(int, kind);
    dm->conn.execute("update AllCardSn set CardSn = 300 where CardType = :k", {{":k", kind}});
    QMap<int, int> expected = counters();
    expected[kind] = 301;

    TCardData card{};
    QCOMPARE(IssueSpecialCard(order(type), card), 1);

    const TCardData written = sim_->card();
    QCOMPARE(int(written.CardType[0]), type);  // the export of the kind wrote it
    QCOMPARE(CardSerial(written), 300);
    QCOMPARE(CardTimeToDate(written.StartTime), kStart);
    QCOMPARE(CardTimeToDate(written.EndTime), kEnd);
    QCOMPARE(int(card.CardType[0]), type);
    QCOMPARE(counters(), expected);

    qv::DataSet log(dm->conn);
    log.setSql("select * from MakeCardRecord");
    log.open();
    QCOMPARE(log.recordCount(), 1);
    QCOMPARE(log.asInteger("CardType"), type);
    QCOMPARE(log.text("Rom"), QString("%1").arg(type, 2, 16, QChar('0')).toUpper() + "00012C");
    QCOMPARE(log.text("Holder"), QString("保安部"));
    QCOMPARE(log.text("Explain"), QString());
    QCOMPARE(log.value("StartTime").toDateTime(), kStart);
    QCOMPARE(log.value("EndTime").toDateTime(), kEnd);
}

void SpecialCardTest::encoderToolNamesTheKinds_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("lostKind");
    QTest::addColumn<QString>("line");  // of `quorvane-encoder show`
    // A lost-report card names the kind reported lost by the lost-card
    // list's order, not by the card type numbers.
    QTest::newRow("lost master card") << 12 << 5 << "Reports lost: 5 master card (总卡)";
    QTest::newRow("lost guest card") << 12 << 8 << "Reports lost: 8 guest card (客人卡)";
    QTest::newRow("lost passage card") << 12 << 10 << "Reports lost: 10 passage card (通道设置卡)";
    QTest::newRow("lost clear card") << 12 << 1 << "Reports lost: 1 clear card (清除卡)";
    QTest::newRow("data-collection start card")
        << 14 << 0 << "Kind: 14 data-collection start card (采集启动卡)";
}

void SpecialCardTest::encoderToolNamesTheKinds() {
    QFETCH(int, type);
    QFETCH(int, lostKind);
    QFETCH(QString, line);
    SpecialCardOrder o = order(static_cast<uint16_t>(type));
    o.lostKind = static_cast<uint16_t>(lostKind);
    TCardData card{};
    QCOMPARE(IssueSpecialCard(o, card), 1);
    QString shown;
    QCOMPARE(sim_->tool({"show"}, &shown), 0);
    QVERIFY2(shown.simplified().contains(line), qPrintable(shown));
}

void SpecialCardTest::fieldsOfTheKindAndTheLossReport() {
    struct Case {
        SpecialCardOrder order;
        uint16_t building, floor, district, lostKind;
    };
    SpecialCardOrder floorCard = order(5);
    floorCard.building = 3;
    floorCard.floor = 12;
    floorCard.district = 4;  // not a field of a floor card
    SpecialCardOrder lost = order(12);
    lost.lostKind = 10;
    lost.lossApplied = true;
    lost.holder = QStringLiteral("   ");
    const Case cases[] = {{floorCard, 3, 12, 0, 0}, {lost, 0, 0, 0, 10}};
    for (const Case& c : cases) {
        QVERIFY(sim_->command("place blank"));
        TCardData card{};
        QCOMPARE(IssueSpecialCard(c.order, card), 1);
        const TCardData written = sim_->card();
        QCOMPARE(written.Building, c.building);
        QCOMPARE(written.Floor[0], c.floor);
        QCOMPARE(written.District[0], c.district);
        QCOMPARE(written.CardType[1], c.lostKind);
        QCOMPARE(int(written.Override), c.order.lossApplied ? 0 : 1);
    }
    qv::DataSet log(dm->conn);
    log.setSql("select * from MakeCardRecord order by ID");
    log.open();
    QCOMPARE(log.recordCount(), 2);
    QCOMPARE(log.asInteger("Floor"), 12);
    QCOMPARE(log.asInteger("enOverride"), 1);
    log.next();
    QCOMPARE(log.asInteger("CardType"), 12);
    QCOMPARE(log.asInteger("enOverride"), 0);
    QVERIFY(log.isNull("Holder"));  // a blank holder is not logged
}

void SpecialCardTest::guestAndUnknownTypesAreRefused_data() {
    QTest::addColumn<int>("type");
    QTest::newRow("guest card") << 4;
    QTest::newRow("type 7") << 7;
    QTest::newRow("type 0") << 0;
}

void SpecialCardTest::guestAndUnknownTypesAreRefused() {
    QFETCH(int, type);
    const QMap<int, int> before = counters();
    TCardData card{};
    QVERIFY_THROWS_EXCEPTION(qv::Error, IssueSpecialCard(order(type), card));
    QCOMPARE(int(sim_->card().CardType[0]), 0);
    QCOMPARE(counters(), before);
    QCOMPARE(logRows(), 0);
}

void SpecialCardTest::nothingWrittenKeepsNothing_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("code");
    QTest::newRow("no card") << "remove" << -1;
    QTest::newRow("no encoder") << "set online 0" << -2;
    QTest::newRow("write failure") << "set fail-next" << -15;
    QTest::newRow("write failure on postgres") << "set fail-next" << -15;
}

void SpecialCardTest::nothingWrittenKeepsNothing() {
    QFETCH(QString, command);
    QFETCH(int, code);
    const QMap<int, int> before = counters();
    QVERIFY(sim_->command(command));
    TCardData card{};
    QCOMPARE(IssueSpecialCard(order(10), card), code);
    QCOMPARE(counters(), before);
    QCOMPARE(logRows(), 0);
    QVERIFY(dialogs_->boxes().isEmpty());
}

QTEST_MAIN(SpecialCardTest)
#include "tst_specialcard.moc"
