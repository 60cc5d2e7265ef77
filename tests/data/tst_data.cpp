// The lock database: schema, defaults, the data-access layer, the data
// module's operations and the SQL dialect, on SQLite and on PostgreSQL.
#include "LockDatabase.h"
#include "TestSupport.h"

#include "data/ChangeFeed.h"
#include "data/Connection.h"
#include "data/DataSet.h"
#include "data/DataSetModel.h"
#include "data/DemoHotel.h"
#include "data/Dialect.h"
#include "data/Passwords.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QtTest>
#include <ctime>
#include <memory>

namespace {
const char* const kPgDatabase = "qvtest_data";

qv::ServerParams serverParams(const PgServer& pg) {
    return {pg.hostAndPort(), pg.user, pg.password, kPgDatabase};
}

// Every byte of a file and of the files SQLite may put beside it.
QByteArray fileState(const QString& path) {
    QByteArray state;
    for (const QString& suffix :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")}) {
        QFile f(path + suffix);
        state += suffix.toUtf8() + (f.open(QIODevice::ReadOnly) ? f.readAll() : "(none)") + '\n';
    }
    return state;
}
}  // namespace

class DataTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void schemaHasEveryColumnInOrder_data() { addDatabaseKinds(); }
    void schemaHasEveryColumnInOrder();
    void defaultsAndReferenceRows_data() { addDatabaseKinds(); }
    void defaultsAndReferenceRows();
    void dataSetEditsAppendsDeletesWithBoundValues_data() { addDatabaseKinds(); }
    void dataSetEditsAppendsDeletesWithBoundValues();
    void gridEditsTheDataSetInPlace();
    void beforePostChecksRefuseAndStoreNothing_data() { addDatabaseKinds(); }
    void beforePostChecksRefuseAndStoreNothing();
    void getDataTypeItems_data() { addDatabaseKinds(); }
    void getDataTypeItems();
    void dateConditionsMeanDateDiff_data() { addDatabaseKinds(); }
    void dateConditionsMeanDateDiff();
    void transactionKeepsAllOrNothing_data() { addDatabaseKinds(); }
    void transactionKeepsAllOrNothing();
    void dateDiffUnitNames_data();
    void dateDiffUnitNames();
    void missingIndexesAreMadeWhenOpened_data() { addDatabaseKinds(); }
    void missingIndexesAreMadeWhenOpened();
    void refusesWhatIsNotALockDatabase();
    void refusesALockDatabaseThatLacksWhatItUses_data();
    void refusesALockDatabaseThatLacksWhatItUses();
    void leavesOtherFilesAsTheyWere_data();
    void leavesOtherFilesAsTheyWere();
    void newDatabaseFileIsPrivate();
    void refusesAnUnreachableOrRefusingServer();
    void serverConnectionComesBack();
    void cachedLookupsFollowTheirConnection_data() { addDatabaseKinds(); }
    void cachedLookupsFollowTheirConnection();
    void lockWaitEndsWithAMessage_data() { addDatabaseKinds(); }
    void lockWaitEndsWithAMessage();
    void serverTimesAreTheDesksTimes_data();
    void serverTimesAreTheDesksTimes();
    void storedTextIsWholeCharacters_data() { addDatabaseKinds(); }
    void storedTextIsWholeCharacters();
    void passwordsAreHashedAndPlainTextRecognised();
    void dbinitCreatesAndRefuses();

private:
    qv::Connection& open();  // a fresh lock database of the current row's kind

    std::unique_ptr<TempAppDir> app_;
    std::unique_ptr<Tdm> dm_;
};

void DataTest::init() {
    app_ = std::make_unique<TempAppDir>();
    dm_ = std::make_unique<Tdm>();
    dm = dm_.get();
}

void DataTest::cleanup() {
    dm_.reset();
    app_.reset();
    LockSystemInfo = TLockSystemInfo();
}

qv::Connection& DataTest::open() {
    QString why;
    if (!openFreshLockDatabase(dm->conn, *app_, kPgDatabase, false, &why)) {
        qFatal("%s", qPrintable(why));
    }
    dm->conn.checkLockDatabase();
    return dm->conn;
}

void DataTest::schemaHasEveryColumnInOrder() {
    qv::Connection& conn = open();
    const QList<QPair<QString, QStringList>> tables = {
        {"RoomInfo",
         {"Room", "RoomStr", "SystemRoomStr", "Buiding", "Floor", "RoomNumber", "District",
          "RoomState", "RoomType", "RoomTypeStr", "CardSn"}},
        {"GuestInRecord",
         {"ID", "Room", "RoomStr", "GuestName", "GuestID", "Rom", "GuestInTime", "GuestLeaveTime",
          "LeaveTime", "enOverride", "InputUser", "MakeName", "InputTime", "CardCounts"}},
        {"MakeCardRecord",
         {"ID", "CardType", "Rom", "RoomStr", "Room", "Buiding", "Floor", "District", "Holder",
          "Explain", "MakeUser", "MakeName", "StartTime", "EndTime", "enOverride", "InputTime",
          "CardState"}},
        {"OpenDoorRecord",
         {"ID", "RoomStr", "Rom", "OpenTime", "CardType", "CardTypeStr", "CardHolderStr",
          "MakeName", "Buiding", "Floor", "RoomNumber", "RecordKey"}},
        {"Operator", {"ID",        "Staffer",      "StafferName",  "Pass",           "Branch",
                      "GroupID",   "CheckIn",      "CheckOut",     "PassageCard",    "ClearCard",
                      "TimeCard",  "LostCard",     "EmergentCard", "MasterCard",     "BuildingCard",
                      "FloorCard", "DistrictCard", "SystemInfo",   "OperatorManage", "DataCard",
                      "RoomType",  "RoomInfo",     "DistrictInfo", "SpareRight"}},
        {"RoomType", {"ID", "Title", "Size", "Piece"}},
        {"RoomStateType", {"ID", "State_Title"}},
        {"District", {"DistrictNumber", "Notes"}},
        {"CardType", {"ID", "C_Title"}},
        {"AllCardSn", {"CardType", "CardSn"}},
        {"KeyKindTable", {"KeyID", "KeyKind"}},
        {"Groups", {"ID"}},
        {"KeyRequest",
         {"ID",          "Encoder",     "Kind",      "RoomStr",   "NewRoomStr",  "GuestName",
          "Reservation", "Workstation", "Arrival",   "Departure", "Cards",       "Operator",
          "LinkId",      "PmsKey",      "State",     "Answer",    "AnswerText",  "AnswerFields",
          "CardLogIds",  "Deadline",    "InputTime", "TakenTime", "AnsweredTime"}},
    };
    for (const auto& [table, columns] : tables) {
        qv::DataSet q(conn);
        q.setSql("select * from " + table + " where 1 = 0");
        q.open();
        QStringList got;
        for (int i = 0; i < q.fieldCount(); ++i) {
            got << q.fieldName(i);
        }
        if (table == "Groups") {
            got = got.mid(0, 1);
        }
        QCOMPARE(got, columns);
    }
}

void DataTest::defaultsAndReferenceRows() {
    qv::Connection& conn = open();
    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    conn.execute("insert into GuestInRecord (Room, RoomStr, GuestInTime) values (1203, '1203', :t)",
                 {{":t", QDateTime(QDate(2026, 3, 1), QTime(15, 20))}});
    qv::DataSet stay(conn);
    stay.setTableName("GuestInRecord");
    stay.open();
    QCOMPARE(stay.asInteger("enOverride"), 0);
    QCOMPARE(stay.asInteger("CardCounts"), 1);
    QVERIFY(stay.isNull("LeaveTime"));
    QCOMPARE(stay.value("GuestInTime").toDateTime(), QDateTime(QDate(2026, 3, 1), QTime(15, 20)));
    const QDateTime input = stay.value("InputTime").toDateTime();
    QVERIFY2(input >= before && input <= QDateTime::currentDateTime().addSecs(2),
             qPrintable("InputTime is not the local insertion time: " + stay.text("InputTime")));

    conn.execute("insert into RoomInfo (Room, RoomStr) values (101, '101')");
    QCOMPARE(
        conn.scalar("select count(*) from RoomInfo I, RoomStateType S where I.RoomState = S.ID")
            .toInt(),
        1);
    QCOMPARE(conn.scalar("select CardSn from RoomInfo").toInt(), 0);

    QCOMPARE(conn.scalar("select count(*) from RoomStateType where ID in (0, 1)").toInt(), 2);
    QCOMPARE(
        conn.scalar("select count(*) from CardType where ID between 1 and 15 and C_Title <> ''")
            .toInt(),
        15);
    QCOMPARE(conn.scalar("select C_Title from CardType where ID = 9").toString(),
             QString("通道设置卡"));
    qv::DataSet counters(conn);
    counters.setSql("select CardType, CardSn from AllCardSn order by CardType");
    counters.open();
    QStringList kinds;
    for (counters.first(); !counters.eof(); counters.next()) {
        kinds << counters.text("CardType") + "=" + counters.text("CardSn");
    }
    QCOMPARE(kinds.join(','), QString("1=0,2=0,3=0,4=0,5=0,6=0,7=0,8=0,9=0,10=0,13=0"));
    QVERIFY(conn.scalar("select count(*) from KeyKindTable").toInt() >= 15);
    QVERIFY(conn.scalar("select count(*) from Groups").toInt() >= 1);
}

void DataTest::dataSetEditsAppendsDeletesWithBoundValues() {
    qv::Connection& conn = open();
    qv::createDemoHotel(conn);
    const QString quoted = "O'Brien'; drop table Operator; --";

    qv::DataSet op(conn);
    op.setTableName("Operator");
    op.open();
    QVERIFY(op.isEmpty());
    op.append();
    op.setValue("Staffer", quoted);
    op.setValue("StafferName", "前台 一号");
    op.post();
    QCOMPARE(op.recordCount(), 1);
    QVERIFY(op.asInteger("ID") > 0);       // the key the database gave
    QCOMPARE(op.asInteger("GroupID"), 0);  // and its default

    qv::DataSet found(conn);
    found.setTableName("Operator");
    found.setFilter({{"Staffer", quoted}});
    found.open();
    QCOMPARE(found.recordCount(), 1);
    found.edit();
    found.setValue("StafferName", "改名");
    found.post();
    QCOMPARE(conn.scalar("select StafferName from Operator where Staffer = :s", {{":s", quoted}})
                 .toString(),
             QString("改名"));

    // A query's row posts back to the table named for it, by its key.
    qv::DataSet room(conn);
    room.setSql("select * from RoomInfo where RoomStr = :r");
    room.bind(":r", "1203");
    room.setUpdateTable("RoomInfo");
    room.open();
    QCOMPARE(room.recordCount(), 1);
    QCOMPARE(room.text("SystemRoomStr"), QString("010203"));
    room.setValue("CardSn", room.asInteger("CardSn") + 1);
    room.post();
    QCOMPARE(conn.scalar("select CardSn from RoomInfo where RoomStr = '1203'").toInt(), 1);
    QCOMPARE(conn.scalar("select sum(CardSn) from RoomInfo").toInt(), 1);

    // Walking rows, locating, deleting the current row.
    qv::DataSet rooms(conn);
    rooms.setTableName("RoomInfo");
    rooms.setFilter({{"Buiding", 2}, {"Floor", 1}});
    rooms.setOrderBy("Room");
    rooms.open();
    QStringList plates;
    for (rooms.first(); !rooms.eof(); rooms.next()) {
        plates << rooms.text("RoomStr");
    }
    QCOMPARE(plates.join(' '), QString("2101 2102 2103 2104 2105 2106"));
    QVERIFY(rooms.locate("RoomStr", "2104"));
    QCOMPARE(rooms.recNo(), 4);
    rooms.deleteRecord();
    QCOMPARE(rooms.text("RoomStr"), QString("2105"));
    QCOMPARE(conn.scalar("select count(*) from RoomInfo where RoomStr = '2104'").toInt(), 0);

    // Dates go in and come back as the same local moment.
    const QDateTime start(QDate(2024, 2, 29), QTime(23, 59, 58));
    qv::DataSet log(conn);
    log.setTableName("MakeCardRecord");
    log.open();
    log.append();
    log.setValue("CardType", 4);
    log.setValue("Rom", "01020300000005");
    log.setValue("StartTime", start);
    log.post();
    QCOMPARE(log.value("StartTime").toDateTime(), start);
    QCOMPARE(log.text("StartTime"), QString("2024-02-29 23:59:58"));
    QVERIFY(!log.isNull("InputTime"));

    QVERIFY_THROWS_EXCEPTION(qv::DbError, conn.run("select * from NoSuchTable"));
    QVERIFY_THROWS_EXCEPTION(qv::Error, rooms.setFilter({{"RoomStr = '' or 1", 1}}));
}

// A grid model with editable fields: a stored row starts editing only when a
// value changes, a row being appended is shown as the last row, the other
// rows wait, and posting or cancelling gives the grid its rows back.
void DataTest::gridEditsTheDataSetInPlace() {
    qv::Connection& conn = open();
    qv::createDemoHotel(conn);
    qv::DataSet types(conn);
    types.setTableName("RoomType");
    types.setOrderBy("ID");
    types.open();
    qv::DataSetModel model(&types);
    model.setColumns({"Title", "Piece"});
    QSignalSpy states(&types, &qv::DataSet::stateChanged);

    // Read-only until fields are named.
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(!model.setData(model.index(0, 0), "x"));
    model.setEditableFields({"Title"});
    QCOMPARE(model.pendingRow(), -1);
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));

    // The same value: nothing starts.
    QVERIFY(!model.setData(model.index(1, 0), "大床房"));
    QCOMPARE(types.state(), qv::DataSet::State::Browse);
    QCOMPARE(states.count(), 0);

    // A new value edits that row; the others are disabled until it is posted.
    QVERIFY(model.setData(model.index(1, 0), "大床间"));
    QCOMPARE(types.state(), qv::DataSet::State::Edit);
    QCOMPARE(types.recNo(), 2);
    QCOMPARE(model.pendingRow(), 1);
    QCOMPARE(model.index(1, 0).data().toString(), QString("大床间"));
    QCOMPARE(model.flags(model.index(0, 0)), Qt::NoItemFlags);
    QVERIFY(!model.setData(model.index(0, 0), "y"));
    QCOMPARE(conn.scalar("select Title from RoomType where ID = 2").toString(), QString("大床房"));
    types.post();
    QCOMPARE(conn.scalar("select Title from RoomType where ID = 2").toString(), QString("大床间"));
    QCOMPARE(model.pendingRow(), -1);
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEnabled);

    // An appended row is the last row of the grid until it is stored or dropped.
    types.append();
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.pendingRow(), 3);
    QVERIFY(model.setData(model.index(3, 0), "家庭房"));
    QCOMPARE(model.index(3, 0).data().toString(), QString("家庭房"));
    types.cancel();
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.pendingRow(), -1);
    types.append();
    QVERIFY(model.setData(model.index(3, 0), "家庭房"));
    types.post();
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.index(3, 0).data().toString(), QString("家庭房"));
    QCOMPARE(conn.scalar("select count(*) from RoomType").toInt(), 4);
    // Opened again: the rows as they are stored.
    types.open();
    QCOMPARE(model.rowCount(), 4);
    QVERIFY(states.count() >= 6);
}

void DataTest::beforePostChecksRefuseAndStoreNothing() {
    qv::Connection& conn = open();
    qv::TestDialogs boxes;

    dm->RoomType_ado.open();
    dm->RoomType_ado.append();
    dm->RoomType_ado.setValue("Size", 2);
    QVERIFY_THROWS_EXCEPTION(qv::Abort, dm->RoomType_ado.post());
    QCOMPARE(dm->RoomType_ado.state(), qv::DataSet::State::Insert);
    QCOMPARE(boxes.last().text, QString("请输入房号！"));
    QCOMPARE(boxes.last().icon, qv::Icon::Error);
    QCOMPARE(boxes.last().title, QString());
    dm->RoomType_ado.setValue("Title", "");
    QVERIFY_THROWS_EXCEPTION(qv::Abort, dm->RoomType_ado.post());
    QCOMPARE(conn.scalar("select count(*) from RoomType").toInt(), 0);
    dm->RoomType_ado.setValue("Title", "标准间");
    dm->RoomType_ado.post();
    QCOMPARE(conn.scalar("select count(*) from RoomType").toInt(), 1);

    dm->RoomInfo_ado.open();
    for (const QVariant& room : {QVariant(), QVariant(0)}) {
        boxes.clear();
        dm->RoomInfo_ado.append();
        dm->RoomInfo_ado.setValue("Room", room);
        dm->RoomInfo_ado.setValue("RoomStr", "x");
        QVERIFY_THROWS_EXCEPTION(qv::Abort, dm->RoomInfo_ado.post());
        QCOMPARE(boxes.last().text, QString("请注意输入房号！"));
        dm->RoomInfo_ado.cancel();
    }
    QCOMPARE(conn.scalar("select count(*) from RoomInfo").toInt(), 0);
}

void DataTest::getDataTypeItems() {
    qv::Connection& conn = open();
    QStringList items{"keep"};
    QCOMPARE(dm->GetDataTypeItems(7, items, "x"), -1);
    QCOMPARE(items, QStringList{"keep"});
    QCOMPARE(dm->GetDataTypeItems(4, items, "1"), -1);
    QVERIFY(items.isEmpty());

    qv::createDemoHotel(conn);
    QCOMPARE(dm->GetDataTypeItems(4, items, "2"), 2);
    QCOMPARE(items, (QStringList{"1", "2"}));
    QCOMPARE(dm->GetDataTypeItems(5, items, "3"), 3);
    QCOMPARE(items, (QStringList{"1", "2", "3"}));
    QCOMPARE(dm->GetDataTypeItems(6, items, "9"), -1);
    QCOMPARE(items.size(), 2);

    conn.execute("insert into RoomType (Title) values ('标准间')");  // the demo has one already
    QCOMPARE(dm->GetDataTypeItems(1, items, "标准间"), 4);
    QCOMPARE(items.count("标准间"), 2);
    QCOMPARE(dm->GetDataTypeItems(2, items, "总卡"), 10);
}

void DataTest::dateConditionsMeanDateDiff() {
    qv::Connection& conn = open();
    const QDateTime ref(QDate(2026, 3, 1), QTime(15, 20, 30));
    const QList<QDateTime> values = {
        QDateTime(QDate(2026, 2, 28), QTime(23, 59, 59)),
        QDateTime(QDate(2026, 3, 1), QTime(0, 0)),
        QDateTime(QDate(2026, 3, 1), QTime(15, 19, 59)),
        QDateTime(QDate(2026, 3, 1), QTime(15, 20)),
        QDateTime(QDate(2026, 3, 1), QTime(15, 20, 59)),
        QDateTime(QDate(2026, 3, 1), QTime(15, 21)),
        QDateTime(QDate(2026, 3, 1), QTime(16, 0)),
        QDateTime(QDate(2026, 3, 1), QTime(23, 59, 59)),
        QDateTime(QDate(2026, 3, 2), QTime(0, 0)),
    };
    for (int i = 0; i < values.size(); ++i) {
        conn.execute("insert into OpenDoorRecord (RoomStr, OpenTime) values (:r, :t)",
                     {{":r", QString::number(i)}, {":t", values[i]}});
    }
    // DateDiff as Access counts it: unit boundaries crossed from ref to the value.
    auto dateDiff = [&](qv::DateUnit unit, const QDateTime& v) -> qint64 {
        const QDateTime a = qv::truncateTo(ref, unit);
        const QDateTime b = qv::truncateTo(v, unit);
        switch (unit) {
            case qv::DateUnit::Day:
                return a.date().daysTo(b.date());
            case qv::DateUnit::Hour:
                return a.secsTo(b) / 3600;
            case qv::DateUnit::Minute:
                break;
        }
        return a.secsTo(b) / 60;
    };
    const QList<QPair<qv::DiffCompare, std::function<bool(qint64)>>> compares = {
        {qv::DiffCompare::GreaterOrEqual, [](qint64 d) { return d >= 0; }},
        {qv::DiffCompare::Greater, [](qint64 d) { return d > 0; }},
        {qv::DiffCompare::LessOrEqual, [](qint64 d) { return d <= 0; }},
        {qv::DiffCompare::Less, [](qint64 d) { return d < 0; }},
        {qv::DiffCompare::Equal, [](qint64 d) { return d == 0; }},
    };
    for (qv::DateUnit unit : {qv::DateUnit::Day, qv::DateUnit::Minute, qv::DateUnit::Hour}) {
        for (const auto& [compare, holds] : compares) {
            const qv::DateCondition c = qv::dateDiffCondition("OpenTime", unit, ref, compare, "t");
            qv::Binds binds{{c.firstName, c.first}};
            if (!c.secondName.isEmpty()) {
                binds.insert(c.secondName, c.second);
            }
            qv::DataSet q(conn);
            q.setSql("select RoomStr from OpenDoorRecord where " + c.sql + " order by ID");
            for (auto it = binds.cbegin(); it != binds.cend(); ++it) {
                q.bind(it.key(), it.value());
            }
            q.open();
            QStringList got;
            for (q.first(); !q.eof(); q.next()) {
                got << q.text("RoomStr");
            }
            QStringList expected;
            for (int i = 0; i < values.size(); ++i) {
                if (holds(dateDiff(unit, values[i]))) {
                    expected << QString::number(i);
                }
            }
            QVERIFY2(got == expected,
                     qPrintable(c.sql + ": " + got.join(',') + " != " + expected.join(',')));
        }
    }
}

void DataTest::transactionKeepsAllOrNothing() {
    qv::Connection& conn = open();
    try {
        qv::inTransaction(conn, [&] {
            conn.execute("insert into District (DistrictNumber) values (7)");
            conn.execute("insert into District (DistrictNumber) values (7)");  // duplicate key
        });
        QFAIL("a duplicate key was stored");
    } catch (const qv::DbError&) {
    }
    QCOMPARE(conn.scalar("select count(*) from District").toInt(), 0);
    QVERIFY(!conn.inTransaction());

    qv::inTransaction(conn, [&] {
        conn.execute("insert into District (DistrictNumber) values (7)");
        qv::inTransaction(
            conn, [&] { conn.execute("insert into District (DistrictNumber) values (8)"); });
    });
    QCOMPARE(conn.scalar("select count(*) from District").toInt(), 2);
}

void DataTest::dateDiffUnitNames_data() {
    QTest::addColumn<int>("connType");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("embedded") << 0 << QStringList{"'d'", "'n'", "'h'"};
    QTest::newRow("server") << 1 << QStringList{"d", "n", "hh"};
    QTest::newRow("none") << 2 << QStringList{"", "", ""};
}

void DataTest::dateDiffUnitNames() {
    QFETCH(int, connType);
    QFETCH(QStringList, names);
    LockSystemInfo.ConnType = static_cast<uint8_t>(connType);
    QCOMPARE((QStringList{qv::DateDiffUnit(0), qv::DateDiffUnit(1), qv::DateDiffUnit(2)}), names);
    QCOMPARE(qv::DateDiffUnit(3), QString());
}

void DataTest::missingIndexesAreMadeWhenOpened() {
    qv::Connection& conn = open();
    // A fresh database has every index of the schema.
    QCOMPARE(conn.createMissingIndexes(), QStringList());
    // One made before an index was added gets it when it is opened, and keeps its rows.
    conn.execute("insert into GuestInRecord (Room, GuestName) values (1203, '张三')");
    conn.execute("drop index GuestInRecord_RoomGuestInTime");
    conn.execute("drop index MakeCardRecord_InputTime");
    conn.checkLockDatabase();
    QCOMPARE(conn.createMissingIndexes(), QStringList());
    conn.execute("drop index GuestInRecord_RoomGuestInTime");
    QCOMPARE(conn.createMissingIndexes(), QStringList{"GuestInRecord_RoomGuestInTime"});
    QCOMPARE(conn.scalar("select count(*) from GuestInRecord where Room = 1203").toInt(), 1);
}

void DataTest::refusesWhatIsNotALockDatabase() {
    qv::Connection conn;
    app_->write("text.db", "this is not a database at all, just some text in a file\n");
    try {
        conn.openSQLite(app_->file("text.db"));
        QFAIL("a text file opened as a database");
    } catch (const qv::DbError& e) {
        QVERIFY2(e.text().contains("not a database"), qPrintable(e.text()));
    }
    QVERIFY(!conn.isOpen());
    QCOMPARE(app_->read("text.db"),
             QByteArray("this is not a database at all, just some text in a file\n"));

    QVERIFY_THROWS_EXCEPTION(qv::DbError, conn.openSQLite(app_->file("missing.db")));
    QVERIFY(!QFile::exists(app_->file("missing.db")));

    conn.openSQLite(app_->file("foreign.db"), true);
    conn.execute("create table Guests (Name text)");
    try {
        conn.checkLockDatabase();
        QFAIL("a foreign database was accepted");
    } catch (const qv::DbError& e) {
        QVERIFY2(e.text().contains("不是门锁数据库"), qPrintable(e.text()));
    }

    conn.openSQLite(app_->file("newer.db"), true);
    conn.createSchema();
    conn.run(QString("PRAGMA user_version=%1").arg(qv::Connection::kSchemaVersion + 1));
    conn.close();
    conn.openSQLite(app_->file("newer.db"));
    try {
        conn.checkLockDatabase();
        QFAIL("a newer schema was accepted");
    } catch (const qv::DbError& e) {
        QVERIFY2(e.text().contains("较新版本"), qPrintable(e.text()));
    }
}

void DataTest::refusesALockDatabaseThatLacksWhatItUses_data() {
    QTest::addColumn<QStringList>("change");
    QTest::addColumn<QString>("missing");  // empty: it opens (and is brought up to date)
    for (const char* kind : {"", " on postgres"}) {
        QTest::newRow(qPrintable(QString("no RoomInfo table%1").arg(kind)))
            << QStringList{"drop table RoomInfo"} << "RoomInfo";
        QTest::newRow(qPrintable(QString("no Operator.CheckIn%1").arg(kind)))
            << QStringList{"alter table Operator drop column CheckIn"} << "Operator.CheckIn";
        QTest::newRow(qPrintable(QString("no lock tables at all%1").arg(kind)))
            << QStringList{"drop table RoomInfo", "drop table GuestInRecord",
                           "drop table MakeCardRecord", "drop table Operator"}
            << "RoomInfo, GuestInRecord, MakeCardRecord";
        QTest::newRow(qPrintable(QString("version 1 without the card state%1").arg(kind)))
            << QStringList{"drop index MakeCardRecord_Unconfirmed",
                           "alter table MakeCardRecord drop column CardState",
                           "drop index OpenDoorRecord_RecordKey",
                           "alter table OpenDoorRecord drop column Buiding",
                           "alter table OpenDoorRecord drop column Floor",
                           "alter table OpenDoorRecord drop column RoomNumber",
                           "alter table OpenDoorRecord drop column RecordKey",
                           "drop table KeyRequest",
                           "update QuorvaneSchema set Version = 1"}
            << QString();
    }
}

void DataTest::refusesALockDatabaseThatLacksWhatItUses() {
    QFETCH(QStringList, change);
    QFETCH(QString, missing);
    qv::Connection& conn = open();
    const bool server = conn.kind() == qv::DbKind::PostgreSQL;
    for (const QString& sql : change) {
        conn.execute(sql);
    }
    const QString path = app_->file("db/lock.db");
    QByteArray before;
    if (!server) {
        if (change.last().contains("Version = 1")) {
            conn.run("PRAGMA user_version=1");
        }
        // A file without a WAL, as another program may have left it.
        conn.run("PRAGMA journal_mode=DELETE");
        conn.close();
        before = fileState(path);
    }
    const auto reopen = [&] {
        if (server) {
            conn.close();
            conn.openPostgreSQL(serverParams(PgServer::fromEnvironment()));
        } else {
            conn.openSQLite(path);
        }
        conn.checkLockDatabase();
    };
    if (missing.isEmpty()) {
        reopen();
        QCOMPARE(conn.schemaVersion(), qv::Connection::kSchemaVersion);
        QCOMPARE(conn.scalar("select count(*) from MakeCardRecord where CardState = 0").toInt(), 0);
        // The key request queue came with the upgrade, and on the server its
        // change trigger with it.
        conn.execute("insert into KeyRequest (Encoder, Kind, RoomStr) values (1, 'New', '1203')");
        QCOMPARE(conn.scalar("select State from KeyRequest").toString(), QString("queued"));
        if (server) {
            QCOMPARE(conn.scalar("select count(*) from pg_trigger where tgname = "
                                 "'keyrequest_changes'")
                         .toInt(),
                     1);
        }
        return;
    }
    try {
        reopen();
        QFAIL("a lock database that lacks what the program uses was opened");
    } catch (const qv::DbError& e) {
        QVERIFY2(e.text().contains(missing), qPrintable(e.text()));
        QVERIFY2(e.text().contains("缺少"), qPrintable(e.text()));
    }
    if (!server) {
        QVERIFY(!conn.isOpen());
        // Refused before anything was written: no switch to WAL.
        QCOMPARE(fileState(path), before);
    }
}

void DataTest::leavesOtherFilesAsTheyWere_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("empty file") << "empty";
    QTest::newRow("another program's database") << "foreign";
}

void DataTest::leavesOtherFilesAsTheyWere() {
    QFETCH(QString, kind);
    const QString path = app_->file("other.db");
    if (kind == "empty") {
        app_->write("other.db", QByteArray());
    } else {
        const QString name = "other-program";
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("create table Invoices (No integer, Total real)"));
            QVERIFY(q.exec("insert into Invoices values (1, 9.5)"));
        }
        QSqlDatabase::removeDatabase(name);
    }
    const QByteArray before = fileState(path);
    qv::Connection conn;
    try {
        conn.openSQLite(path);
        QFAIL("a file that is not a lock database was opened");
    } catch (const qv::DbError& e) {
        QVERIFY2(e.text().contains("不是门锁数据库"), qPrintable(e.text()));
    }
    QVERIFY(!conn.isOpen());
    // Not a byte written: no switch to WAL, no header for the empty file.
    QCOMPARE(fileState(path), before);
}

void DataTest::newDatabaseFileIsPrivate() {
    // The lock database holds the operators' password hashes.
    const QString path = app_->file("db/private.db");
    dm->CreateMDB(path);
    qv::Connection conn;
    conn.openSQLite(path);
    conn.execute("insert into District (DistrictNumber) values (1)");
    for (const QString& file : {path, path + "-wal", path + "-shm"}) {
        const QFileInfo info(file);
        QVERIFY2(info.exists(), qPrintable(file));
        const QFileDevice::Permissions p = info.permissions();
        QVERIFY2((p & (QFileDevice::ReadOther | QFileDevice::WriteOther)) == 0, qPrintable(file));
        QVERIFY2(p & QFileDevice::ReadOwner && p & QFileDevice::WriteOwner, qPrintable(file));
    }
}

void DataTest::refusesAnUnreachableOrRefusingServer() {
    const PgServer pg = PgServer::fromEnvironment();
    QV_REQUIRE_PG(pg);
    qv::Connection conn;
    QVERIFY_THROWS_EXCEPTION(qv::DbError,
                             conn.openPostgreSQL({"127.0.0.1:1", "x", "y", "halvorn"}));
    QVERIFY_THROWS_EXCEPTION(qv::DbError,
                             conn.openPostgreSQL({"127.0.0.1:99999", "x", "y", "halvorn"}));
    try {
        conn.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password + "wrong", "postgres"});
        QFAIL("a wrong password was accepted");
    } catch (const qv::DbError& e) {
        QVERIFY2(e.text().contains("password", Qt::CaseInsensitive), qPrintable(e.text()));
    }
    QVERIFY(!conn.isOpen());
    pg.recreateDatabase(kPgDatabase);
    conn.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, kPgDatabase});
    QVERIFY_THROWS_EXCEPTION(qv::DbError, conn.checkLockDatabase());
}

void DataTest::serverConnectionComesBack() {
    const PgServer pg = PgServer::fromEnvironment();
    QV_REQUIRE_PG(pg);
    pg.recreateDatabase(kPgDatabase);
    qv::Connection& conn = dm->conn;
    conn.openPostgreSQL(serverParams(pg));
    conn.createSchema();
    qv::createDemoHotel(conn);
    conn.setRetryInterval(0);
    // The desk's feed watches the link as the board's ticks do.
    qv::ChangeFeed feed(conn);
    feed.start();
    QSignalSpy lost(&feed, &qv::ChangeFeed::linkLost);
    QSignalSpy back(&feed, &qv::ChangeFeed::linkRestored);
    QSignalSpy changed(&feed, &qv::ChangeFeed::changed);
    // What a restart of the server does to the desk's session.
    const auto endSession = [&] {
        pg.admin(QString("select pg_terminate_backend(pid, 5000) from pg_stat_activity "
                         "where datname = '%1'")
                     .arg(kPgDatabase));
    };
    const auto districts = [&] {
        return conn.scalar("select count(*) from District where DistrictNumber > 50").toInt();
    };

    // A look-up kept prepared on the ended session is prepared again on the new one.
    const auto roomCount = [&] {
        qv::CachedQuery q =
            conn.cached("select count(*) from RoomInfo where RoomStr <> :r", {QString("none")});
        return q.next() ? q.value(0).toInt() : -1;
    };
    QCOMPARE(roomCount(), 36);
    endSession();
    QCOMPARE(roomCount(), 36);
    QCOMPARE(lost.count(), 0);
    feed.check();
    QVERIFY(feed.linkUp());
    changed.clear();

    // A read goes on, on a new session; the feed listens on the new session
    // and tells that anything may have changed meanwhile.
    endSession();
    qv::DataSet rooms(conn);
    rooms.setTableName("RoomInfo");
    rooms.open();
    QCOMPARE(rooms.recordCount(), 36);
    feed.check();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].value<qv::Changes>(), qv::kAllChanges);
    QCOMPARE(lost.count(), 0);

    // A write that meets the broken session is not repeated, and says so.
    endSession();
    try {
        conn.execute("insert into District (DistrictNumber) values (51)");
        QFAIL("a write on a broken session reported success");
    } catch (const qv::DbError& e) {
        QVERIFY2(e.text().contains("可能没有完成"), qPrintable(e.text()));
    }
    conn.execute("insert into District (DistrictNumber) values (52)");
    QCOMPARE(districts(), 1);

    // A transaction whose session ended is gone as a whole, commit included.
    try {
        qv::inTransaction(conn, [&] {
            conn.execute("insert into District (DistrictNumber) values (53)");
            endSession();
            conn.execute("insert into District (DistrictNumber) values (54)");
        });
        QFAIL("a transaction without its session committed");
    } catch (const qv::DbError& e) {
        QVERIFY2(e.text().contains("可能没有完成"), qPrintable(e.text()));
    }
    QVERIFY(!conn.inTransaction());
    QCOMPARE(districts(), 1);

    // The server away for a while: one message, however many ticks; each
    // operation says why it cannot run; the board is rebuilt once it is back.
    pg.admin(QString("alter database %1 allow_connections false").arg(kPgDatabase));
    endSession();
    lost.clear();
    back.clear();
    for (int tick = 0; tick < 3; ++tick) {
        feed.check();
        QVERIFY(!feed.linkUp());
    }
    QCOMPARE(lost.count(), 1);
    QVERIFY2(lost[0][0].toString().contains("自动重新连接"), qPrintable(lost[0][0].toString()));
    try {
        rooms.open();
        QFAIL("a read ran without a server");
    } catch (const qv::DbError& e) {
        QVERIFY2(e.text().contains("暂时无法重新连接"), qPrintable(e.text()));
    }
    pg.admin(QString("alter database %1 allow_connections true").arg(kPgDatabase));
    changed.clear();
    feed.check();
    feed.check();
    QVERIFY(feed.linkUp());
    QCOMPARE(back.count(), 1);
    QCOMPARE(lost.count(), 1);
    QCOMPARE(changed.count(), 1);
    rooms.open();
    QCOMPARE(rooms.recordCount(), 36);
}

void DataTest::cachedLookupsFollowTheirConnection() {
    qv::Connection& conn = open();
    qv::Connection other;  // a second desk
    if (onServerRow()) {
        other.openPostgreSQL(serverParams(PgServer::fromEnvironment()));
    } else {
        other.openSQLite(app_->file("db/lock.db"));
    }
    const QString counter = "select CardSn from AllCardSn where CardType = :k";
    const auto lookUp = [&](int kind) {
        qv::CachedQuery q = conn.cached(counter, {kind});
        return q.next() ? q.value(0).toInt() : -1;
    };
    QCOMPARE(lookUp(1), 0);
    QCOMPARE(lookUp(99), -1);

    // Another desk's write is seen by the next look-up and by every other
    // statement of this desk, which can then write on top of it.
    other.execute("update AllCardSn set CardSn = 5 where CardType = 1");
    QCOMPARE(lookUp(1), 5);
    QCOMPARE(conn.scalar("select CardSn from AllCardSn where CardType = 1").toInt(), 5);
    other.execute("update AllCardSn set CardSn = 6 where CardType = 1");
    qv::inTransaction(conn, [&] {
        QCOMPARE(lookUp(1), 6);
        conn.execute("update AllCardSn set CardSn = CardSn + 1 where CardType = 1");
        QCOMPARE(lookUp(1), 7);
    });
    QCOMPARE(other.scalar("select CardSn from AllCardSn where CardType = 1").toInt(), 7);

    // The same look-up while the rows of the first are still being read.
    {
        qv::CachedQuery outer = conn.cached(counter, {1});
        QCOMPARE(lookUp(2), 0);
        QVERIFY(outer.next());
        QCOMPARE(outer.value(0).toInt(), 7);
        QVERIFY(!outer.next());
    }

    // A statement prepared on a connection never runs on the next one: on
    // SQLite another file, on the server a new session.
    if (onServerRow()) {
        conn.close();
        conn.openPostgreSQL(serverParams(PgServer::fromEnvironment()));
        QCOMPARE(lookUp(1), 7);
    } else {
        qv::Connection fresh;
        fresh.openSQLite(app_->file("db/other.db"), true);
        fresh.createSchema();
        fresh.execute("update AllCardSn set CardSn = 40 where CardType = 1");
        fresh.close();
        conn.openSQLite(app_->file("db/other.db"));
        QCOMPARE(lookUp(1), 40);
    }
    // A bad statement is refused as any other, and not kept.
    QVERIFY_THROWS_EXCEPTION(qv::DbError, conn.cached("select Nothing from AllCardSn", {}));
    QVERIFY_THROWS_EXCEPTION(qv::DbError, conn.cached("select Nothing from AllCardSn", {}));
}

void DataTest::lockWaitEndsWithAMessage() {
    qv::Connection& conn = open();
    qv::Connection other;  // a second desk
    other.setLockWait(1);
    if (onServerRow()) {
        other.openPostgreSQL(serverParams(PgServer::fromEnvironment()));
    } else {
        other.openSQLite(app_->file("db/lock.db"));
    }
    const QString advance = "update AllCardSn set CardSn = CardSn + 1 where CardType = 1";
    {
        qv::Transaction holder(conn);
        conn.execute(advance);
        QElapsedTimer waited;
        waited.start();
        try {
            qv::inTransaction(other, [&] { other.execute(advance); });
            QFAIL("the second desk wrote a row the first one holds");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.text().contains("正被另一个工作站占用") && e.text().contains("1 秒"),
                     qPrintable(e.text()));
        }
        QVERIFY2(waited.elapsed() < 8000, "the wait had no limit");
        QVERIFY(!other.inTransaction());
        holder.commit();
    }
    qv::inTransaction(other, [&] { other.execute(advance); });  // free again
    QCOMPARE(conn.scalar("select CardSn from AllCardSn where CardType = 1").toInt(), 2);
}

void DataTest::serverTimesAreTheDesksTimes_data() {
    QTest::addColumn<QByteArray>("zone");
    // Kathmandu is 5:45 east of UTC: no server of the test runs there.
    QTest::newRow("zone the server knows") << QByteArray("Asia/Kathmandu");
    QTest::newRow("zone by file") << QByteArray(":/usr/share/zoneinfo/Asia/Kathmandu");
}

void DataTest::serverTimesAreTheDesksTimes() {
    QFETCH(QByteArray, zone);
    const PgServer pg = PgServer::fromEnvironment();
    QV_REQUIRE_PG(pg);
    pg.recreateDatabase(kPgDatabase);
    // The server's sessions start in a zone far from the desk's.
    pg.admin(QString("alter database %1 set timezone to 'America/Los_Angeles'").arg(kPgDatabase));
    const QByteArray before = qgetenv("TZ");
    struct RestoreZone {
        QByteArray zone;
        ~RestoreZone() {
            if (zone.isNull()) {
                qunsetenv("TZ");
            } else {
                qputenv("TZ", zone);
            }
            tzset();
        }
    } restore{before};
    qputenv("TZ", zone);
    tzset();
    QCOMPARE(QDateTime::currentDateTime().offsetFromUtc(), 5 * 3600 + 45 * 60);

    qv::Connection& conn = dm->conn;
    conn.openPostgreSQL(serverParams(pg));
    conn.createSchema();
    conn.execute("insert into GuestInRecord (Room, RoomStr) values (1101, '1101')");
    qv::DataSet stay(conn);
    stay.setTableName("GuestInRecord");
    stay.open();
    const QDateTime input = stay.value("InputTime").toDateTime();
    QVERIFY2(qAbs(input.secsTo(QDateTime::currentDateTime())) < 120,
             qPrintable("InputTime " + stay.text("InputTime") + " is not the desk's time " +
                        QDateTime::currentDateTime().toString(Qt::ISODate)));
}

void DataTest::storedTextIsWholeCharacters() {
    qv::Connection& conn = open();
    // A name cut after the first half of an emoji, and one with the whole emoji.
    const QString name(19, u'名');
    const QString cut = name + QChar(0xD83D);
    const QString whole = name + QString::fromUtf8("\xF0\x9F\x98\x80");
    qv::DataSet stay(conn);
    stay.setTableName("GuestInRecord");
    stay.open();
    for (const QString& guest : {cut, whole}) {
        stay.append();
        stay.setValue("Room", 1101);
        stay.setValue("RoomStr", "1101");
        stay.setValue("GuestName", guest);
        stay.post();
    }
    const QString bytes =
        onServerRow() ? "upper(encode(convert_to(GuestName, 'UTF8'), 'hex'))" : "hex(GuestName)";
    QSqlQuery q = conn.run("select " + bytes + ", GuestName from GuestInRecord order by ID");
    QStringList stored;
    QStringList names;
    while (q.next()) {
        stored << q.value(0).toString();
        names << q.value(1).toString();
    }
    const QString nameHex = QString::fromLatin1(name.toUtf8().toHex().toUpper());
    QCOMPARE(stored, (QStringList{nameHex + "EFBFBD", nameHex + "F09F9880"}));
    QCOMPARE(names, (QStringList{name + QChar(QChar::ReplacementCharacter), whole}));
}

void DataTest::passwordsAreHashedAndPlainTextRecognised() {
    const QString hash = qv::hashPassword("秘密 pass");
    QVERIFY(qv::isPasswordHash(hash));
    QVERIFY(qv::verifyPassword("秘密 pass", hash));
    QVERIFY(!qv::verifyPassword("秘密 pas", hash));
    QVERIFY(hash != qv::hashPassword("秘密 pass"));  // salted
    QVERIFY(!qv::isPasswordHash("plain"));
    QVERIFY(qv::verifyPassword("plain", "plain"));
    QVERIFY(!qv::verifyPassword("Plain", "plain"));
    QVERIFY(qv::verifyPassword("", ""));
}

void DataTest::dbinitCreatesAndRefuses() {
    auto run = [](const QStringList& args, QString* out = nullptr) {
        QProcess p;
        p.start(QV_DBINIT, args);
        p.waitForFinished(60000);
        if (out) {
            *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        }
        return p.exitCode();
    };
    const QString file = app_->file("db/new.db");
    QCOMPARE(run({"--demo", file}), 0);
    {
        qv::Connection conn;
        conn.openSQLite(file);
        conn.checkLockDatabase();
        QCOMPARE(conn.scalar("select count(*) from RoomInfo").toInt(), 3 * 8 + 2 * 6);
        QCOMPARE(conn.scalar("select count(*) from Operator").toInt(), 0);
        QCOMPARE(
            conn.scalar("select RoomStr from RoomInfo where SystemRoomStr = '010203'").toString(),
            QString("1203"));
        QCOMPARE(conn.scalar("PRAGMA journal_mode").toString(), QString("wal"));
        QCOMPARE(conn.scalar("PRAGMA synchronous").toInt(), 2);  // FULL
        conn.execute("insert into Operator (Staffer) values ('keep')");
    }
    QString out;
    QVERIFY(run({file}, &out) != 0);
    QVERIFY2(out.contains("not empty"), qPrintable(out));
    {
        qv::Connection conn;
        conn.openSQLite(file);
        QCOMPARE(conn.scalar("select count(*) from Operator").toInt(), 1);
    }
    QCOMPARE(run({"--force", file}), 0);
    {
        qv::Connection conn;
        conn.openSQLite(file);
        QCOMPARE(conn.scalar("select count(*) from RoomInfo").toInt(), 0);
    }
    QVERIFY(run({}) != 0);

    const PgServer pg = PgServer::fromEnvironment();
    QV_REQUIRE_PG(pg);
    pg.recreateDatabase(kPgDatabase);
    const QStringList server{"--server",   pg.hostAndPort(), "--user",     pg.user,
                             "--password", pg.password,      "--database", kPgDatabase};
    QCOMPARE(run(QStringList{"--demo"} + server, &out), 0);
    QVERIFY(run(server, &out) != 0);
    QCOMPARE(run(QStringList{"--force"} + server, &out), 0);
    // A database that also holds tables of another program is left whole.
    {
        qv::Connection conn;
        conn.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, kPgDatabase});
        conn.execute("create table Invoices (No integer)");
        conn.execute("insert into Operator (Staffer) values ('keep')");
    }
    QVERIFY(run(QStringList{"--force"} + server, &out) != 0);
    QVERIFY2(out.contains("invoices"), qPrintable(out));
    qv::Connection conn;
    conn.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, kPgDatabase});
    QCOMPARE(conn.scalar("select count(*) from Operator").toInt(), 1);
}

QTEST_GUILESS_MAIN(DataTest)
#include "tst_data.moc"
