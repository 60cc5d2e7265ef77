// Issuing cards when things go wrong, through the encoder simulator: a serial
// that went to the encoder never comes again for a new card of its room or
// kind, whatever fails after the write; a card that may exist is always in
// the issue log; no desk waits for another desk's encoder; an older lock
// database is upgraded.
#include "Desk.h"
#include "LockDatabase.h"
#include "SimEncoder.h"
#include "TestSupport.h"
#include "data/Session.h"

#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "data/SchemaInfo.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"
#include "settings/Settings.h"

#include <QSet>
#include <QSqlRecord>
#include <QtTest>
#include <memory>

using qv::Encoder;

namespace {

const char* const kPgDatabase = "qvtest_cardissue";

// The rows of a data table for each database kind, tagged "<name> on <kind>".
template <class AddRow>
void forEachKind(const QStringList& names, AddRow&& add) {
    for (const char* kind : {"sqlite", "postgres"}) {
        for (const QString& name : names) {
            add(QStringLiteral("%1 on %2").arg(name, QLatin1String(kind)),
                QString::fromLatin1(kind));
        }
    }
}

int count(const QString& sql) {
    return dm->conn.scalar(sql).toInt();
}

}  // namespace

class CardIssueTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void faultAfterTheWriteNeverRepeatsASerial_data();
    void faultAfterTheWriteNeverRepeatsASerial();
    void databaseRefusingTheReservationWritesNoCard_data() { addDatabaseKinds(); }
    void databaseRefusingTheReservationWritesNoCard();
    void stoppedDeskLeavesItsCardToCancel_data();
    void stoppedDeskLeavesItsCardToCancel();
    void otherDesksNeverWaitForAnEncoder_data();
    void otherDesksNeverWaitForAnEncoder();
    void cardIdentityAndItsSettling_data() { addDatabaseKinds(); }
    void cardIdentityAndItsSettling();
    void olderDatabaseIsUpgraded_data() { addDatabaseKinds(); }
    void olderDatabaseIsUpgraded();

private:
    // One card written through the simulator, `fault` striking after the
    // write, then the next card of the same room or kind.
    void faultAfterTheWrite(const QString& fault, bool room, bool holderFirst, int state,
                            const QString& error);
    void open();
    void reopen();
    QString databaseArgument() const;
    // A card of room 1203 ("room") or a master card (counter kind 5) for the stay below.
    static TCardData blankCard(bool room);
    static CardSerialSource sourceOf(bool room) {
        return room ? CardSerialSource::room("1203") : CardSerialSource::kind(5);
    }
    static int writeOnSim(TCardData& c) { return Encoder::instance().makeCard(c.CardType[0], c); }
    // What a check-in stores after a written card: the log row and the stay.
    static void recordStay(const TCardData& card, const QString& guestId = "110101199001011234");

    std::unique_ptr<TempAppDir> app_;
    std::unique_ptr<Tdm> dm_;
    std::unique_ptr<SimEncoder> sim_;
    PgServer pg_ = PgServer::fromEnvironment();
};

void CardIssueTest::init() {
    app_ = std::make_unique<TempAppDir>();
    dm_ = std::make_unique<Tdm>();
    dm = dm_.get();
    LockSystemInfo = TLockSystemInfo();
    qv::session().login = "desk1";
    qv::session().name = "前台一";
    sim_ = std::make_unique<SimEncoder>(*app_);
    QVERIFY(sim_->loaded());
    QVERIFY(sim_->command("place blank"));
}

void CardIssueTest::cleanup() {
    sim_.reset();
    dm_.reset();
    app_.reset();
}

void CardIssueTest::open() {
    QV_OPEN_FRESH_LOCK_DATABASE(dm->conn, *app_, kPgDatabase, true);
}

// The desk starts again on the same database.
void CardIssueTest::reopen() {
    dm->closeTables();
    dm->conn.close();
    if (onServerRow()) {
        dm->conn.openPostgreSQL({pg_.hostAndPort(), pg_.user, pg_.password, kPgDatabase});
    } else {
        dm->conn.openSQLite(app_->file("db/lock.db"));
    }
    dm->conn.checkLockDatabase();
}

QString CardIssueTest::databaseArgument() const {
    if (!onServerRow()) {
        return app_->file("db/lock.db");
    }
    return QStringList{"pg",     pg_.host,     QString::number(pg_.port),
                       pg_.user, pg_.password, kPgDatabase}
        .join(':');
}

TCardData CardIssueTest::blankCard(bool room) {
    TCardData c{};
    c.CardType[0] = room ? CardTypes::Guest : CardTypes::Master;
    c.Override = 1;
    if (room) {
        GetRoomAddr("1203", c.RoomAddr);
        c.Building = c.RoomAddr[1];
        c.Floor[0] = c.RoomAddr[2];
    }
    DateToCardTime(QDateTime(QDate(2026, 3, 1), QTime(15, 20)), c.StartTime);
    DateToCardTime(QDateTime(QDate(2026, 3, 2), QTime(12, 0)), c.EndTime);
    return c;
}

void CardIssueTest::recordStay(const TCardData& card, const QString& guestId) {
    MakeCardLog(card, "张三", "110101199001011234");
    if (card.CardType[0] == CardTypes::Guest) {
        dm->conn.execute(
            "insert into GuestInRecord (Room, RoomStr, GuestName, GuestID, Rom) "
            "values (1203, '1203', '张三', :id, :rom)",
            {{":id", guestId}, {":rom", CardRom(card)}});
    }
}

void CardIssueTest::faultAfterTheWriteNeverRepeatsASerial_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("holderFirst");  // the holder is given before the write
    QTest::addColumn<int>("state");         // what the log then says of the written card
    QTest::addColumn<QString>("error");     // part of the error the desk is shown
    QTest::addColumn<bool>("guestOnly");    // else a master card is tried as well
    struct Case {
        const char* fault;
        bool holderFirst;
        int state;
        const char* error;
        bool sqlite, server, guestOnly;
    };
    const Case cases[] = {
        // The records are refused (a trigger, a constraint, a full disk).
        {"records refused", false, CardLogStates::Unrecorded, "卡已写好", true, true, false},
        // The file reached its largest size between the write and the records
        // (the stay of a guest card needs new pages; the marked row does not).
        {"disk full", true, CardLogStates::Unrecorded, "full", true, false, true},
        // Nothing can be written any more: not even the mark.
        {"read-only database", true, CardLogStates::Pending, "卡已写好", true, true, false},
        // The encoder call itself ended in an error after the card was written.
        {"failure after the write", true, CardLogStates::Pending, "连接中断", true, true, false},
        // The server went away while the encoder wrote; the desk reconnects to mark it.
        {"server stopped", true, CardLogStates::Unrecorded, "卡已写好", false, true, false},
    };
    for (const Case& c : cases) {
        forEachKind({c.fault}, [&](const QString& tag, const QString& kind) {
            if ((kind == "sqlite" && c.sqlite) || (kind == "postgres" && c.server)) {
                QTest::newRow(qPrintable(tag)) << QString(c.fault) << c.holderFirst << c.state
                                               << QString::fromUtf8(c.error) << c.guestOnly;
            }
        });
    }
}

void CardIssueTest::faultAfterTheWriteNeverRepeatsASerial() {
    QFETCH(QString, fault);
    QFETCH(bool, holderFirst);
    QFETCH(int, state);
    QFETCH(QString, error);
    QFETCH(bool, guestOnly);
    open();
    for (const bool room : {true, false}) {
        if (room || !guestOnly) {
            faultAfterTheWrite(fault, room, holderFirst, state, error);
        }
        if (QTest::currentTestFailed()) {
            return;
        }
    }
}

void CardIssueTest::faultAfterTheWrite(const QString& fault, bool room, bool holderFirst, int state,
                                       const QString& error) {
    const QString what = room ? "guest card" : "master card";
    dm->conn.execute("delete from MakeCardRecord");
    dm->conn.execute("delete from GuestInRecord");
    dm->conn.execute("update RoomInfo set CardSn = 7 where RoomStr = '1203'");
    const bool server = dm->conn.kind() == qv::DbKind::PostgreSQL;
    const qint64 backend = server ? dm->conn.scalar("select pg_backend_pid()").toLongLong() : 0;
    const qint64 before =
        room ? 8 : dm->conn.scalar("select CardSn from AllCardSn where CardType = 5").toLongLong();

    auto inject = [&] {
        if (fault == "disk full") {
            dm->conn.run(QStringLiteral("PRAGMA max_page_count = %1")
                             .arg(dm->conn.scalar("PRAGMA page_count").toLongLong()));
        } else if (fault == "read-only database") {
            dm->conn.run(server ? "SET default_transaction_read_only = on"
                                : "PRAGMA query_only = 1");
        } else if (fault == "failure after the write") {
            throw qv::Error("写卡后与发卡机的连接中断");
        } else if (fault == "server stopped") {
            qv::Connection admin;
            admin.openPostgreSQL({pg_.hostAndPort(), pg_.user, pg_.password, kPgDatabase});
            admin.run("select pg_terminate_backend(:pid)", {{":pid", backend}});
        }
    };
    TCardData card = blankCard(room);
    QString shown;
    try {
        IssueCard(
            sourceOf(room), card,
            [&](TCardData& c) {
                const int code = writeOnSim(c);
                inject();
                return code;
            },
            [&] {
                if (fault == "disk full") {
                    recordStay(card, QString(64 * 1024, 'x'));  // needs pages the file cannot have
                } else {
                    recordStay(card);
                }
                if (fault == "records refused") {
                    throw qv::DbError("no stays may be stored");
                }
            },
            holderFirst ? CardLogText{"张三", "110101199001011234"} : CardLogText{});
        QFAIL(qPrintable(what + ": the failure was not reported"));
    } catch (const qv::Error& e) {
        shown = e.text();
    }
    QVERIFY2(shown.contains(error), qPrintable(what + ": " + shown));
    const TCardData onCard = sim_->card();
    const qint64 written = CardSerial(onCard);
    QCOMPARE(written, before);
    QCOMPARE(onCard.CardType[0], card.CardType[0]);
    QString rom = CardRom(onCard);
    if (room) {
        QVERIFY2(shown.contains("1203 " + rom), qPrintable(shown));
        rom = "010203" + rom;
    }

    // The database is back (space freed, writable again, the desk restarted).
    if (fault == "disk full") {
        dm->conn.run("PRAGMA max_page_count = 1073741823");
    } else if (fault == "read-only database") {
        dm->conn.run(server ? "SET default_transaction_read_only = off" : "PRAGMA query_only = 0");
    } else if (fault == "server stopped") {
        reopen();
    }
    QVERIFY(!dm->conn.inTransaction());
    // The card that may exist is in the log, marked, and names its holder;
    // no stay was stored for it.
    const QList<UnconfirmedCard> open = UnconfirmedCards();
    QCOMPARE(open.size(), 1);
    auto summary = [&](const QString& rom, int state, const QString& holder) {
        return QStringLiteral("%1: card %2, state %3, holder %4")
            .arg(what, rom)
            .arg(state)
            .arg(holder);
    };
    QCOMPARE(summary(open[0].rom, open[0].state, GetCardHolder(card.CardType[0], rom)),
             summary(rom, state, "张三"));
    QCOMPARE(GetCardState(card.CardType[0], rom), state);
    QCOMPARE(count("select count(*) from GuestInRecord"), 0);

    // The next card of that room or kind carries a new serial.
    TCardData next = blankCard(room);
    QCOMPARE(IssueCard(sourceOf(room), next, writeOnSim, [&] { recordStay(next); }), 1);
    QCOMPARE(CardSerial(sim_->card()), written + 1);
    QCOMPARE(UnconfirmedCards().size(), 1);
    QCOMPARE(count("select count(*) from MakeCardRecord where CardState = 0"), 1);
}

void CardIssueTest::databaseRefusingTheReservationWritesNoCard() {
    open();
    const bool server = dm->conn.kind() == qv::DbKind::PostgreSQL;
    dm->conn.run(server ? "SET default_transaction_read_only = on" : "PRAGMA query_only = 1");
    for (const bool room : {true, false}) {
        TCardData card = blankCard(room);
        bool written = false;
        try {
            IssueCard(sourceOf(room), card,
                      [&](TCardData&) {
                          written = true;
                          return 1;
                      },
                      {});
            QFAIL("a card was issued on a read-only database");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.text().startsWith("没有写卡"), qPrintable(e.text()));
        }
        QVERIFY(!written);
        QVERIFY(!dm->conn.inTransaction());
    }
    QCOMPARE(sim_->card().CardType[0], uint16_t(0));  // still blank
    dm->conn.run(server ? "SET default_transaction_read_only = off" : "PRAGMA query_only = 0");
    QCOMPARE(count("select CardSn from RoomInfo where RoomStr = '1203'"), 0);
    QCOMPARE(count("select CardSn from AllCardSn where CardType = 5"), 0);
    QCOMPARE(count("select count(*) from MakeCardRecord"), 0);
}

void CardIssueTest::stoppedDeskLeavesItsCardToCancel_data() {
    QTest::addColumn<bool>("afterTheWrite");  // else killed while its encoder writes
    forEachKind({"killed after the write", "killed during the write"},
                [](const QString& tag, const QString&) {
                    QTest::newRow(qPrintable(tag)) << tag.startsWith("killed after");
                });
}

void CardIssueTest::stoppedDeskLeavesItsCardToCancel() {
    QFETCH(bool, afterTheWrite);
    open();
    QVERIFY(UnconfirmedCardsNotice().isEmpty());
    const QString hold = app_->file("release");
    {
        Desk desk(databaseArgument(), {"room:1203:1"},
                  afterTheWrite ? QStringList{"--sim", QV_ENCODER_LIB, "--die-after-write"}
                                : QStringList{"--hold", hold});
        QCOMPARE(desk.waitFor("writing room:1203"), QString("1"));
        if (!afterTheWrite) {
            desk.process().kill();
        }
        QVERIFY(!desk.finish());
    }
    QCOMPARE(CardSerial(sim_->card()), afterTheWrite ? 1 : 0);
    const QString rom = "01020300000001";
    QCOMPARE(GetCardState(CardTypes::Guest, rom), CardLogStates::Pending);
    QCOMPARE(GetCardHolder(CardTypes::Guest, rom), QString("客人"));
    // The next start tells the clerk which card to cancel: by its room,
    // kind, holder and issue time, not by the number its room's cards share.
    const QString notice = UnconfirmedCardsNotice();
    const QString issued = UnconfirmedCards().first().inputTime.toString("yyyy-MM-dd HH:mm");
    for (const QString& part :
         {QString("1203"), QString("宾客卡"), QString("客人"), issued, QString("写卡结果不明")}) {
        QVERIFY2(notice.contains(part), qPrintable(notice));
    }
    QVERIFY2(!notice.contains(rom), qPrintable(notice));

    TCardData next = blankCard(true);
    QCOMPARE(IssueCard(sourceOf(true), next, writeOnSim, [&] { recordStay(next); }), 1);
    QCOMPARE(CardSerial(sim_->card()), 2);

    QCOMPARE(CancelUnconfirmedCard(CardTypes::Guest, rom), 1);
    QVERIFY(UnconfirmedCards().isEmpty());
    QVERIFY(UnconfirmedCardsNotice().isEmpty());
    QCOMPARE(GetCardState(CardTypes::Guest, rom), CardLogStates::Cancelled);
    QCOMPARE(CardStateText(CardLogStates::Cancelled), QString("已注销"));
}

// The card on the encoder names its own log row: by type, Rom and times.
// Cancelling wipes it and marks that row; an unconfirmed card is settled
// without the card in hand; no state is spelt as a number in a query.
void CardIssueTest::cardIdentityAndItsSettling() {
    open();
    QCOMPARE(UnconfirmedCondition(), QString("CardState In (1, 2)"));
    QCOMPARE(CardStateCondition({CardLogStates::Cancelled}, "M.CardState"),
             QString("M.CardState In (3)"));
    auto issue = [](TCardData& c, const CardSerialSource& source, const QString& holder) {
        return IssueCard(source, c, writeOnSim,
                         [&c, holder] { MakeCardLog(c, holder, holder + "的证件"); });
    };
    // A card and its copy written in the same minute, then a serial-0 card
    // of the room with other times and another holder.
    TCardData first = blankCard(true);
    QCOMPARE(issue(first, sourceOf(true), "张三"), 1);
    TCardData copy = blankCard(true);
    QCOMPARE(issue(copy, CardSerialSource::room("1203", true), "张三"), 1);
    TCardData zero = blankCard(true);
    DateToCardTime(QDateTime(QDate(2026, 3, 5), QTime(14, 0)), zero.StartTime);
    QCOMPARE(issue(zero, CardSerialSource::zero("1203"), "李四"), 1);

    const IssuedCard z = ReadIssuedCard();
    QCOMPARE(z.code, 1);
    QVERIFY(z.guest() && z.logged() && !z.ambiguous());
    QCOMPARE(z.room.roomStr, QString("1203"));
    QCOMPARE(z.rom, QString("01020300000000"));
    QCOMPARE(z.holder(), QString("李四"));
    QCOMPARE(z.explain(), QString("李四的证件"));
    const IssuedCard twins = IdentifyCard(first);
    QVERIFY(twins.ambiguous());
    QCOMPARE(twins.rows.size(), 2);
    QVERIFY(twins.rows[0].id > twins.rows[1].id);  // newest first
    QCOMPARE(twins.holder(), QString("张三"));
    // A card whose times no row holds is not logged, whatever its Rom.
    TCardData other = first;
    DateToCardTime(QDateTime(QDate(2026, 3, 1), QTime(15, 21)), other.StartTime);
    QVERIFY(!IdentifyCard(other).logged());
    QCOMPARE(IdentifyCard(other).holder(), QString("None"));

    // Of two rows the log cannot tell apart, the unconfirmed one is cancelled.
    dm->conn.execute("update MakeCardRecord set CardState = :s where ID = :id",
                     {{":s", CardLogStates::Pending}, {":id", twins.rows[1].id}});
    QVERIFY(sim_->command("place blank"));
    TCardData onEncoder = first;
    QCOMPARE(writeOnSim(onEncoder), 1);
    const CardCancel c = cancelCard();
    QCOMPARE(c.code, 1);
    QCOMPARE(c.marked, twins.rows[1].id);
    QCOMPARE(int(sim_->card().CardType[0]), 0);
    QVERIFY(UnconfirmedCards().isEmpty());
    QCOMPARE(count("select count(*) from MakeCardRecord where CardState = 3"), 1);
    QCOMPARE(count("select count(*) from MakeCardRecord"), 3);  // kept

    // Settled without the card: written and handed over, or lost.
    dm->conn.execute("update MakeCardRecord set CardState = :s where ID = :id",
                     {{":s", CardLogStates::Unrecorded}, {":id", twins.rows[0].id}});
    QVERIFY(MarkCardWritten(twins.rows[0].id));
    QVERIFY(!MarkCardWritten(twins.rows[0].id));  // no longer unconfirmed
    QVERIFY(!MarkCardCancelled(twins.rows[0].id));
    QCOMPARE(GetCardState(CardTypes::Guest, twins.rows[0].rom), CardLogStates::Written);
    QCOMPARE(CardIssueRight(CardTypes::Guest), QString("CheckIn"));
    QCOMPARE(CardIssueRight(CardTypes::Master), QString("MasterCard"));
    QCOMPARE(CardIssueRight(7), QString());
}

void CardIssueTest::otherDesksNeverWaitForAnEncoder_data() {
    QTest::addColumn<QString>("slowJob");   // the card whose encoder takes its time
    QTest::addColumn<int>("slowAnswer");    // what that encoder finally answers
    QTest::addColumn<QStringList>("jobs");  // the other desk's cards meanwhile
    const struct {
        const char* name;
        const char* slow;
        int answer;
        QStringList jobs;
    } cases[] = {
        {"slow master card", "kind:5", 1, {"kind:5:3", "room:1203:2", "kind:4:2"}},
        {"slow guest card", "room:1203", 1, {"room:1203:3", "copy:1203:1", "kind:5:2"}},
        // A copy taken while the new card is written carries its serial; the
        // refused card then cannot give that serial back.
        {"slow guest card refused after a copy",
         "room:1203",
         -15,
         {"copy:1203:1", "room:1204:2", "kind:5:2"}},
    };
    for (const auto& c : cases) {
        forEachKind({c.name}, [&](const QString& tag, const QString&) {
            QTest::newRow(qPrintable(tag)) << QString(c.slow) << c.answer << c.jobs;
        });
    }
}

void CardIssueTest::otherDesksNeverWaitForAnEncoder() {
    QFETCH(QString, slowJob);
    QFETCH(int, slowAnswer);
    QFETCH(QStringList, jobs);
    open();
    const QString hold = app_->file("release");
    Desk slow(databaseArgument(), {slowJob + ":1"},
              {"--hold", hold, "--answer", QString::number(slowAnswer)});
    const QString slowSerial = slow.waitFor("writing " + slowJob);
    QVERIFY2(!slowSerial.isNull(), qPrintable(slow.errors()));

    // The other desk issues all its cards while the slow encoder still writes.
    Desk other(databaseArgument(), jobs);
    QVERIFY2(other.finish(20000), qPrintable(other.errors()));
    QVERIFY(slow.running());
    QVERIFY(slow.serials("issued", slowJob).isEmpty());
    QFile release(hold);
    QVERIFY(release.open(QIODevice::WriteOnly));
    QVERIFY2(slow.finish(), qPrintable(slow.errors()));

    // New cards: never one serial twice per room or kind, and the next card
    // of each is newer than every card that may exist (copies included).
    QMap<QString, QList<qint64>> issued;
    QMap<QString, qint64> newest;
    QStringList names{slowJob};
    for (const QString& job : jobs) {
        names << job.section(':', 0, 1);
    }
    names.removeDuplicates();
    for (Desk* desk : {&slow, &other}) {
        for (const QString& name : names) {
            const QString counter = name.startsWith("copy") ? "room:" + name.section(':', 1) : name;
            for (const qint64 s : desk->serials("issued", name)) {
                if (!name.startsWith("copy")) {
                    issued[counter] << s;
                }
                newest[counter] = std::max(newest.value(counter, -1), s);
            }
        }
    }
    for (auto it = issued.cbegin(); it != issued.cend(); ++it) {
        QCOMPARE(QSet<qint64>(it.value().begin(), it.value().end()).size(), it.value().size());
    }
    if (slowAnswer != 1) {
        // The copy carries the refused card's serial: it is not given back.
        QCOMPARE(other.serials("issued", "copy:1203"), QList<qint64>{slowSerial.toLongLong()});
        newest["room:1203"] = std::max(newest.value("room:1203", -1), slowSerial.toLongLong());
    }
    for (auto it = newest.cbegin(); it != newest.cend(); ++it) {
        const bool room = it.key().startsWith("room");
        TCardData next{};
        next.CardType[0] = room ? CardTypes::Guest : CardTypes::Master;
        const CardSerialSource from =
            room ? CardSerialSource::room(it.key().section(':', 1))
                 : CardSerialSource::kind(it.key().section(':', 1).toInt());
        QCOMPARE(IssueCard(from, next, [](TCardData&) { return 1; }, {}), 1);
        QVERIFY2(CardSerial(next) > it.value(), qPrintable(it.key()));
    }
    QVERIFY(UnconfirmedCards().isEmpty());
}

void CardIssueTest::olderDatabaseIsUpgraded() {
    open();
    // The lock database as the first schema made it, with a card in its log.
    TCardData old = blankCard(true);
    SetCardSerial(old, 3);
    MakeCardLog(old, "李四", "");
    dm->conn.run("DROP INDEX MakeCardRecord_Unconfirmed");
    dm->conn.run("ALTER TABLE MakeCardRecord DROP COLUMN CardState");
    dm->conn.run("DROP INDEX OpenDoorRecord_RecordKey");
    for (const char* column : {"Buiding", "Floor", "RoomNumber", "RecordKey"}) {
        dm->conn.run(QString("ALTER TABLE OpenDoorRecord DROP COLUMN %1").arg(column));
    }
    dm->conn.run("UPDATE QuorvaneSchema SET Version = 1");
    if (!onServerRow()) {
        dm->conn.run("PRAGMA user_version = 1");
    }
    reopen();
    QCOMPARE(dm->conn.schemaVersion(), qv::Connection::kSchemaVersion);
    QCOMPARE(count("select Version from QuorvaneSchema"), qv::Connection::kSchemaVersion);
    QSqlQuery q = dm->conn.run("select * from MakeCardRecord where 1 = 0");
    QStringList columns;
    for (int i = 0; i < q.record().count(); ++i) {
        columns << qv::schema::canonicalName(q.record().fieldName(i));
    }
    QCOMPARE(columns, qv::schema::columns("MakeCardRecord"));
    QCOMPARE(GetCardState(CardTypes::Guest, "01020300000003"), CardLogStates::Written);
    const QString index = onServerRow() ? "select count(*) from pg_indexes where indexname = "
                                          "'makecardrecord_unconfirmed'"
                                        : "select count(*) from sqlite_master where name = "
                                          "'MakeCardRecord_Unconfirmed'";
    QCOMPARE(count(index), 1);
    reopen();  // an upgraded database is left as it is
    QCOMPARE(dm->conn.schemaVersion(), qv::Connection::kSchemaVersion);

    TCardData card = blankCard(true);
    QCOMPARE(IssueCard(sourceOf(true), card, writeOnSim, [&] { recordStay(card); }), 1);
    QCOMPARE(CardSerial(card), 1);
    QVERIFY(UnconfirmedCards().isEmpty());
}

QTEST_GUILESS_MAIN(CardIssueTest)
#include "tst_cardissue.moc"
