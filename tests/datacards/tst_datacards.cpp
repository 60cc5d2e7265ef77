// Data cards and door-opening records: reading a data card from the encoder
// simulator (records placed with its tool) into OpenDoorRecord, and the
// records window that lists, prints and deletes them.
#include "LockDatabase.h"
#include "SimEncoder.h"
#include "TestSupport.h"
#include "WindowFixture.h"

#include "card/CardFunctions.h"
#include "card/DataCard.h"
#include "card/Encoder.h"
#include "cards/OpenDoorRecord_Unit.h"
#include "cards/ReadDataCard_Unit.h"
#include "data/DataSet.h"
#include "data/Dialect.h"
#include "data/PagedQueryModel.h"
#include "data/dm_unit.h"
#include "platform/QtDialogs.h"
#include "printing/PrintLibrary.h"
#include "records/RoomList_Unit.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

const char* const kPgDatabase = "qvtest_datacards";
const QString kRead = QStringLiteral("操作成功！");
const QString kFailed = QStringLiteral("操作失败或无开锁记录！");

// One stored record as "Rom|OpenTime|CardType|CardTypeStr|CardHolderStr|MakeName".
QStringList storedRows(const QString& room) {
    QSqlQuery q = dm->conn.run(
        "select Rom, OpenTime, CardType, CardTypeStr, CardHolderStr, MakeName from "
        "OpenDoorRecord where RoomStr = :r order by ID",
        {{":r", room}});
    QStringList rows;
    while (q.next()) {
        rows << QStringList{q.value(0).toString(),
                            qv::DataSet::displayText(qv::Dialect::fromDb(q.value(1), true)),
                            q.value(2).toString(),
                            q.value(3).toString(),
                            q.value(4).toString(),
                            q.value(5).toString()}
                    .join('|');
    }
    return rows;
}

int allRows() {
    return dm->conn.scalar("select count(*) from OpenDoorRecord").toInt();
}

void addStored(const QString& room, const QString& rom, const QDateTime& time,
               const QString& holder = QStringLiteral("旧记录")) {
    dm->conn.execute(
        "insert into OpenDoorRecord (RoomStr, Rom, OpenTime, CardType, CardTypeStr, "
        "CardHolderStr, MakeName) values (:r, :rom, :t, 4, '宾客卡', :h, '前台二')",
        {{":r", room}, {":rom", rom}, {":t", time}, {":h", holder}});
}

void logCard(int type, const QString& rom, const QString& holder, const QString& maker) {
    dm->conn.execute(
        "insert into MakeCardRecord (CardType, Rom, Holder, MakeUser, MakeName) values (:t, "
        ":rom, :h, 'desk', :m)",
        {{":t", type}, {":rom", rom}, {":h", holder}, {":m", maker}});
}

QDateTime at(int day, int hour, int minute) {
    return QDateTime(QDate(2025, 2, day), QTime(hour, minute));
}

// The earlier records: two of 1203, one of 1101, one of a lock that matched
// no room (stored with an empty door plate).
void addEarlierRecords() {
    addStored("1203", "00000001", at(1, 8, 0));
    addStored("1203", "00000002", at(2, 9, 0));
    addStored("1101", "00000003", at(3, 10, 0));
    addStored("", "00000004", at(4, 11, 0));
}

// A pressed-and-released left button, queued for `w` as a window system would.
void postClick(QWidget* w) {
    const QPointF pos = QRectF(w->rect()).center();
    const QPointF global = w->mapToGlobal(pos);
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, pos, global,
                                                   Qt::LeftButton, Qt::LeftButton, {}));
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, pos, global,
                                                   Qt::LeftButton, Qt::NoButton, {}));
}

// Answers the modal windows that follow each other (the print window, its
// file dialog, its message box) one at a time, outside the handler that
// opened them. Each step names the window it is for (class or object name);
// a window shown in between (the print window while its file dialog closes)
// is left alone.
class ModalSequence {
public:
    struct Step {
        QString window;
        std::function<void(QWidget*)> act;
    };
    explicit ModalSequence(QList<Step> steps) : steps_(std::move(steps)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start();
    }
    int done() const { return done_; }
    QStringList seen() const { return seen_; }

private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == last_ || steps_.isEmpty() || busy_) {
            return;
        }
        const QString& window = steps_.first().window;
        if (!modal->inherits(window.toLatin1().constData()) && modal->objectName() != window) {
            return;
        }
        last_ = modal;
        seen_ << QString::fromLatin1(modal->metaObject()->className()) + ':' + modal->objectName() +
                     ':' + modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen_ << box->text();
        }
        const Step step = steps_.takeFirst();
        busy_ = true;
        QTimer::singleShot(0, modal, [this, step, modal] {
            busy_ = false;
            ++done_;
            step.act(modal);
        });
    }
    QList<Step> steps_;
    QTimer timer_;
    QPointer<QWidget> last_;
    QStringList seen_;
    bool busy_ = false;
    int done_ = 0;
};

QPushButton* buttonNamed(QWidget* w, const char* name) {
    return w->findChild<QPushButton*>(QLatin1String(name));
}

// Clicks the first button of a message box.
const ModalSequence::Step kAnswerBox{
    "QMessageBox", [](QWidget* w) { static_cast<QMessageBox*>(w)->buttons().first()->click(); }};

// The steps that save the print window's report as `path`: its button, the
// file dialog (the name typed in its name box) and the confirmation.
QList<ModalSequence::Step> saveReportAs(const char* button, const QString& path) {
    return {
        {"PrintPreview_Form", [button](QWidget* w) { buttonNamed(w, button)->click(); }},
        {"QFileDialog",
         [path](QWidget* w) {
             auto* name = w->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
             QVERIFY(name);
             name->setText(path);
             QMetaObject::invokeMethod(w, "accept");
         }},
        kAnswerBox,
    };
}

// A reader of the CSV the print library writes (UTF-8 with byte-order mark,
// no quoted line breaks in these rows).
QList<QStringList> readCsv(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    QString text = QString::fromUtf8(f.readAll());
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    QList<QStringList> rows;
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        QStringList cells;
        for (QString cell : line.split(',')) {
            if (cell.startsWith('"') && cell.endsWith('"')) {
                cell = cell.mid(1, cell.size() - 2)
                           .replace(QStringLiteral("\"\""), QStringLiteral("\""));
            }
            cells << cell;
        }
        rows << cells;
    }
    return rows;
}

// A data card's CSV lines: `count` openings of the lock `lock` ("1,2,3") by
// guest card `serial`, a minute apart from `first`.
QStringList openings(const QString& lock, int serial, const QDateTime& first, int count) {
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        lines << QStringLiteral("%1,4,%2,%3")
                     .arg(lock)
                     .arg(serial)
                     .arg(first.addSecs(60 * i).toString("yyyy-MM-dd HH:mm"));
    }
    return lines;
}

// Every record stored once: no identity twice, none without one.
void verifyStoredOnce(int expected) {
    QCOMPARE(allRows(), expected);
    QCOMPARE(dm->conn.scalar("select count(distinct RecordKey) from OpenDoorRecord").toInt(),
             expected);
}

}  // namespace

class DataCardsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    // Reading a data card.
    void readingStoresEachRecordOnce_data() { addDatabaseKinds(); }
    void readingStoresEachRecordOnce();
    void overlappingCardsInAnyOrder_data();
    void overlappingCardsInAnyOrder();
    void recordsStoredBeforeAreTakenOver_data() { addDatabaseKinds(); }
    void recordsStoredBeforeAreTakenOver();
    void killedReadingsStoreEachRecordOnce_data() { addDatabaseKinds(); }
    void killedReadingsStoreEachRecordOnce();
    void otherRoomsAndUnknownLocks_data() { addDatabaseKinds(); }
    void otherRoomsAndUnknownLocks();
    void firstRecordOfAnUnknownLockReplacesNothing();
    void invalidTimesAreListedOnce_data() { addDatabaseKinds(); }
    void invalidTimesAreListedOnce();
    void damagedCardsListStaysOnScreen();
    void failedReadingsChangeNothing_data();
    void failedReadingsChangeNothing();
    void cardTakenAwayMidwayStoresNothing();
    void databaseErrorKeepsTheEarlierRecords_data() { addDatabaseKinds(); }
    void databaseErrorKeepsTheEarlierRecords();
    void largeCardShowsProgressAndIgnoresPresses();
    void boxDuringReadingTakesItsAnswer();
    void dataCardWindowKeys();

    // The records window.
    void queryTakesTheRoomAsTyped_data() { addDatabaseKinds(); }
    void queryTakesTheRoomAsTyped();
    void deleteRemovesTheCurrentRecord_data() { addDatabaseKinds(); }
    void deleteRemovesTheCurrentRecord();
    void deleteDeepInALongList_data() { addDatabaseKinds(); }
    void deleteDeepInALongList();
    void roomListFillsTheRoomBox();
    void printingHandsOverTheListedRecords();
    void printingALongList_data() { addDatabaseKinds(); }
    void printingALongList();
    void recordsWindowKeys();

private:
    TReadDataCard_Form* readWith(const QStringList& csvLines);
    void placeDataCard(const QStringList& csvLines);

    WindowFixture fx;
    std::unique_ptr<SimEncoder> sim_;
    std::unique_ptr<TReadDataCard_Form> read_;
};

void DataCardsTest::init() {
    QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase);
    sim_ = std::make_unique<SimEncoder>(*fx.app);
    QVERIFY(sim_->loaded());
    // 1203's guest card 5 and 1101's guest card 5 are logged under their rooms'
    // system codes; emergency card 300 under its bare number.
    logCard(4, "01020300000005", "张三", "前台一");
    logCard(4, "01010100000005", "李四", "前台二");
    logCard(3, "0300012C", "保安部", "经理");
    logCard(10, "0A000001", QString(), "经理");
}

void DataCardsTest::cleanup() {
    read_.reset();
    sim_.reset();
    fx.tearDown();
}

void DataCardsTest::placeDataCard(const QStringList& csvLines) {
    const QString file = fx.app->file("records.csv");
    fx.app->write("records.csv",
                  ("building,floor,room,type,serial,time\n" + csvLines.join('\n')).toUtf8());
    QString err;
    QCOMPARE(sim_->tool({"place-datacard", file}, nullptr, &err), 0);
}

// Places a data card of `csvLines` and presses "读卡" in a new data card window.
TReadDataCard_Form* DataCardsTest::readWith(const QStringList& csvLines) {
    placeDataCard(csvLines);
    read_ = std::make_unique<TReadDataCard_Form>();
    QTest::mouseClick(read_->ReadDataCard_Bt, Qt::LeftButton);
    return read_.get();
}

void DataCardsTest::readingStoresEachRecordOnce() {
    addEarlierRecords();
    TReadDataCard_Form* f = readWith({
        "1,2,3,4,5,2025-03-01 08:15",    // 1203's guest card
        "1,2,3,2,7,2025-03-01 09:00",    // a time card
        "1,2,3,3,300,2025-03-01 10:30",  // the emergency card
    });
    QCOMPARE(f->Label1->text(), kRead);
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('|')));
    // The three records after 1203's earlier ones, which the card does not
    // hold and which stay, in reading order: the guest card under its bare
    // number with the holder and issuer logged under the room's system code.
    const QStringList earlier{"00000001|2025-02-01 08:00:00|4|宾客卡|旧记录|前台二",
                              "00000002|2025-02-02 09:00:00|4|宾客卡|旧记录|前台二"};
    const QStringList read{"00000005|2025-03-01 08:15:00|4|宾客卡|张三|前台一",
                           "00000000|2025-03-01 09:00:00|2|校时卡|None|None",
                           "0300012C|2025-03-01 10:30:00|3|应急卡|保安部|经理"};
    QCOMPARE(storedRows("1203"), earlier + read);
    // Other rooms and the unknown lock keep theirs.
    QCOMPARE(storedRows("1101").size(), 1);
    QCOMPARE(storedRows("").size(), 1);
    QCOMPARE(allRows(), 7);
    // Each record keeps its lock.
    QCOMPARE(dm->conn
                 .scalar("select count(*) from OpenDoorRecord where RoomStr = '1203' and "
                         "Buiding = 1 and Floor = 2 and RoomNumber = 3")
                 .toInt(),
             3);

    // Read again: nothing is stored twice.
    QTest::mouseClick(f->ReadDataCard_Bt, Qt::LeftButton);
    QCOMPARE(f->Label1->text(), kRead);
    QCOMPARE(storedRows("1203"), earlier + read);
    QCOMPARE(allRows(), 7);
    saveScreenshot(f, "ReadDataCard_Form");
}

void DataCardsTest::overlappingCardsInAnyOrder_data() {
    QTest::addColumn<QString>("order");
    QTest::newRow("A then B") << "AB";
    QTest::newRow("B then A") << "BA";
    QTest::newRow("each twice") << "ABAB";
    QTest::newRow("A then B on postgres") << "AB";
    QTest::newRow("B, A, B on postgres") << "BAB";
}

void DataCardsTest::overlappingCardsInAnyOrder() {
    QFETCH(QString, order);
    // Card A: 40 openings of 1203 (the last two by one card in one minute)
    // and 40 of 1101. Card B, the next card of 1203's lock: the last 20 of
    // A's records of 1203 and 20 newer ones.
    const QDateTime morning = at(1, 8, 0);
    const QStringList pair{"1,2,3,4,5,2025-02-01 09:00", "1,2,3,4,5,2025-02-01 09:00"};
    const QStringList a1203 = openings("1,2,3", 5, morning, 38) + pair;
    const QStringList a = a1203 + openings("1,1,1", 5, at(2, 8, 0), 40);
    const QStringList b = a1203.mid(20) + openings("1,2,3", 5, at(3, 8, 0), 20);
    for (const QChar card : order) {
        readWith(card == 'A' ? a : b);
        QCOMPARE(read_->Label1->text(), kRead);
    }
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('|')));
    verifyStoredOnce(100);
    QCOMPARE(storedRows("1203").size(), order.contains('A') ? 60 : 40);
    QCOMPARE(storedRows("1101").size(), 40);
    // The card that opened twice in one minute: both openings, once each.
    QCOMPARE(dm->conn
                 .scalar("select count(*) from OpenDoorRecord where RoomStr = '1203' and "
                         "OpenTime = :t",
                         {{":t", at(1, 9, 0)}})
                 .toInt(),
             2);
}

void DataCardsTest::recordsStoredBeforeAreTakenOver() {
    // A lock database from before records were identified, with the rows an
    // earlier reading stored: 1203's, one of a lock no room has, one without
    // a valid time, and one of them stored twice.
    const bool server = dm->conn.kind() == qv::DbKind::PostgreSQL;
    dm->conn.run("DROP INDEX OpenDoorRecord_RecordKey");
    for (const char* column : {"Buiding", "Floor", "RoomNumber", "RecordKey"}) {
        dm->conn.run(QString("ALTER TABLE OpenDoorRecord DROP COLUMN %1").arg(column));
    }
    dm->conn.run("UPDATE QuorvaneSchema SET Version = 2");
    if (!server) {
        dm->conn.run("PRAGMA user_version = 2");
    }
    addEarlierRecords();
    addStored("1203", "00000002", at(2, 9, 0));
    dm->conn.execute(
        "insert into OpenDoorRecord (RoomStr, Rom, CardType, CardTypeStr, CardHolderStr, "
        "MakeName) values ('1203', '00000007', 4, '宾客卡', '旧记录', '前台二')");
    dm->conn.checkLockDatabase();
    QCOMPARE(dm->conn.schemaVersion(), qv::Connection::kSchemaVersion);
    QCOMPARE(allRows(), 6);

    // The card holds 1203's two records, the unknown lock's and the one
    // without a time again, and one new record.
    const QStringList card{"1,2,3,4,1,2025-02-01 08:00", "1,2,3,4,2,2025-02-02 09:00",
                           "9,9,9,4,4,2025-02-04 11:00", "1,2,3,4,7,2025-13-01 08:00",
                           "1,2,3,4,5,2025-03-01 08:15"};
    for (int reading = 0; reading < 2; ++reading) {
        readWith(card);
        QCOMPARE(read_->Label1->text(), kRead);
        // Taken over, not stored again: only the new record is added.
        QCOMPARE(allRows(), 7);
        QCOMPARE(storedRows("1203").size(), 5);
        QCOMPARE(storedRows("").size(), 1);
    }
    // The rows taken over now carry their lock; the second copy stored by the
    // earlier reading is left as it was, and 1101's record is untouched.
    QCOMPARE(
        dm->conn.scalar("select count(*) from OpenDoorRecord where RecordKey is not null").toInt(),
        5);
    QCOMPARE(dm->conn
                 .scalar("select count(*) from OpenDoorRecord where RoomStr = '' and "
                         "Buiding = 9 and Floor = 9 and RoomNumber = 9")
                 .toInt(),
             1);
    QCOMPARE(dm->conn
                 .scalar("select count(*) from OpenDoorRecord where RecordKey is null and "
                         "RoomStr in ('1203', '1101')")
                 .toInt(),
             2);
}

void DataCardsTest::killedReadingsStoreEachRecordOnce() {
    const QString database =
        onServerRow() ? [] {
            const PgServer pg = PgServer::fromEnvironment();
            return QStringList{"pg", pg.host, QString::number(pg.port), pg.user, pg.password,
                               kPgDatabase}
                .join(':');
        }()
                      : fx.app->file("db/lock.db");
    // Runs a desk reading the card; with `kill`, it kills itself there.
    const auto desk = [&](const QString& kill) {
        QProcess p;
        QStringList args{"--sim", QV_ENCODER_LIB, database};
        if (!kill.isEmpty()) {
            args = QStringList{"--kill", kill} + args;
        }
        p.start(QV_DATACARD_WORKER, args);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return QString("hung");
        }
        if (p.exitStatus() == QProcess::CrashExit) {
            return QString("killed");
        }
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
    };
    const QStringList a =
        openings("1,2,3", 5, at(1, 8, 0), 30) + openings("1,1,1", 5, at(1, 8, 0), 30);
    placeDataCard(a);
    // Killed while the card is read, then while its records are stored
    // (first row, midway, last row): nothing of the card is stored.
    for (const char* kill : {"read:1", "read:30", "stored:1", "stored:45", "stored:60"}) {
        QCOMPARE(desk(kill), QString("killed"));
        QVERIFY2(allRows() == 0, qPrintable(kill));
    }
    // Killed once the records were stored: all of them are.
    QCOMPARE(desk("done:0"), QString("killed"));
    verifyStoredOnce(60);
    // Read again after each kill: each record once.
    QCOMPARE(desk("stored:60"), QString("killed"));
    QCOMPARE(desk(QString()), QString("read 60 stored 0"));
    verifyStoredOnce(60);

    // The lock's next card: half of it read before. Killed midway, then read.
    placeDataCard(openings("1,2,3", 5, at(1, 8, 15), 30));
    QCOMPARE(desk("stored:20"), QString("killed"));
    verifyStoredOnce(60);
    QCOMPARE(desk(QString()), QString("read 30 stored 15"));
    verifyStoredOnce(75);
    QCOMPARE(desk(QString()), QString("read 30 stored 0"));
    verifyStoredOnce(75);
}

void DataCardsTest::otherRoomsAndUnknownLocks() {
    addEarlierRecords();
    readWith({
        "1,2,3,4,5,2025-03-01 08:15",   // 1203: beside its earlier records
        "1,1,1,4,5,2025-03-01 08:20",   // 1101's guest card 5, on the same card
        "9,9,9,7,12,2025-03-01 08:25",  // a lock no room has
        "1,2,3,16,1,2025-03-01 08:30",  // a type no kind names
        "1,2,3,10,1,2025-03-01 08:35",  // a master card logged without a holder
    });
    QCOMPARE(read_->Label1->text(), kRead);
    // The window names the lock that matched no room.
    QCOMPARE(fx.dialogs->texts(),
             QStringList{
                 "有 1 条开锁记录的门锁不是本酒店任何房间的门锁，已按门锁地址保存（房间号为空）：\n"
                 "9楼9层09号门锁：1 条"});
    QCOMPARE(fx.dialogs->last().icon, qv::Icon::Warning);
    QCOMPARE(storedRows("1203").mid(2),
             (QStringList{"00000005|2025-03-01 08:15:00|4|宾客卡|张三|前台一",
                          "10000001|2025-03-01 08:30:00|16|None|None|None",
                          "0A000001|2025-03-01 08:35:00|10|总卡||经理"}));
    // 1101 keeps its earlier record and gets the new one, with its own holder.
    QCOMPARE(storedRows("1101"),
             (QStringList{"00000003|2025-02-03 10:00:00|4|宾客卡|旧记录|前台二",
                          "00000005|2025-03-01 08:20:00|4|宾客卡|李四|前台二"}));
    // The unknown lock's record is stored with an empty door plate, beside the earlier one.
    QCOMPARE(storedRows(""), (QStringList{"00000004|2025-02-04 11:00:00|4|宾客卡|旧记录|前台二",
                                          "0700000C|2025-03-01 08:25:00|7|组卡|None|None"}));
    QCOMPARE(dm->conn.scalar("select count(*) from OpenDoorRecord where RoomStr is null").toInt(),
             0);
    // It is kept with its lock address, to be traced.
    QCOMPARE(dm->conn
                 .scalar("select count(*) from OpenDoorRecord where RoomStr = '' and "
                         "Buiding = 9 and Floor = 9 and RoomNumber = 9")
                 .toInt(),
             1);
}

void DataCardsTest::firstRecordOfAnUnknownLockReplacesNothing() {
    addEarlierRecords();
    readWith({"9,9,9,4,5,2025-03-01 08:15", "1,2,3,4,5,2025-03-01 08:20",
              "9,9,9,4,6,2025-03-01 08:25", "8,1,1,4,6,2025-03-01 08:30"});
    QCOMPARE(read_->Label1->text(), kRead);
    QCOMPARE(fx.dialogs->texts(),
             QStringList{
                 "有 3 条开锁记录的门锁不是本酒店任何房间的门锁，已按门锁地址保存（房间号为空）：\n"
                 "9楼9层09号门锁：2 条\n8楼1层01号门锁：1 条"});
    // Nothing stored before is deleted: the earlier record of an empty door
    // plate stays beside the three new ones.
    QCOMPARE(storedRows("").size(), 4);
    QCOMPARE(storedRows("1203").size(), 3);
    QCOMPARE(allRows(), 8);
}

void DataCardsTest::invalidTimesAreListedOnce() {
    readWith({
        "1,2,3,4,5,2025-13-01 08:15",  // month 13
        "1,2,3,4,5,2025-03-01 08:16",
        "1,2,3,3,300,2025-02-30 24:61",
        "1,2,3,3,300,0000-00-00 00:00",
    });
    QCOMPARE(read_->Label1->text(), kRead);
    // One message for all of them: counter and the five raw values each.
    QCOMPARE(fx.dialogs->boxes().size(), 1);
    const qv::Box box = fx.dialogs->last();
    QCOMPARE(box.icon, qv::Icon::Warning);
    const QStringList lines = box.text.split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines[0].contains("3 条"), qPrintable(lines[0]));
    QCOMPARE(lines.mid(1), (QStringList{"第 1 条：2025  13  1  8  15",
                                        "第 3 条：2025  2  30  24  61", "第 4 条：0  0  0  0  0"}));
    // The rows are stored, without an opening time.
    QCOMPARE(storedRows("1203"),
             (QStringList{"00000005||4|宾客卡|张三|前台一",
                          "00000005|2025-03-01 08:16:00|4|宾客卡|张三|前台一",
                          "0300012C||3|应急卡|保安部|经理", "0300012C||3|应急卡|保安部|经理"}));
    QCOMPARE(dm->conn.scalar("select count(*) from OpenDoorRecord where OpenTime is null").toInt(),
             3);
}

void DataCardsTest::damagedCardsListStaysOnScreen() {
    // Three hundred records with month 13, shown by the real message box.
    QStringList lines;
    for (int i = 0; i < 300; ++i) {
        lines << QStringLiteral("1,2,3,4,5,2025-13-01 08:%1").arg(i % 60, 2, 10, QChar('0'));
    }
    qv::QtDialogs boxes;
    qv::Dialogs* test = qv::setDialogs(&boxes);
    const auto restore = qScopeGuard([test] { qv::setDialogs(test); });
    QString text;
    QString details;
    bool missed = false;
    whenShown<QMessageBox>(
        [&](QMessageBox* box) {
            text = box->text();
            details = box->detailedText();
            box->buttons().first()->click();
        },
        20000, &missed);
    readWith(lines);
    QVERIFY(!missed);
    QCOMPARE(read_->Label1->text(), kRead);
    // The box shows the first lines; its details hold every record.
    QCOMPARE(text.split('\n').size(), qv::QtDialogs::kMaxMessageLines + 1);
    QVERIFY(text.endsWith("……"));
    const QStringList all = details.split('\n');
    QCOMPARE(all.size(), 301);
    QCOMPARE(all.last(), QString("第 300 条：2025  13  1  8  59"));
    QCOMPARE(storedRows("1203").size(), 300);
}

void DataCardsTest::failedReadingsChangeNothing_data() {
    QTest::addColumn<QString>("setUp");  // what the encoder holds
    QTest::newRow("no card") << "remove";
    QTest::newRow("no encoder") << "offline";
    QTest::newRow("blank card") << "place blank";
    QTest::newRow("guest card") << "guest card";
    QTest::newRow("data card without records") << "empty data card";
    QTest::newRow("no encoder library") << "no library";
}

void DataCardsTest::failedReadingsChangeNothing() {
    QFETCH(QString, setUp);
    addEarlierRecords();
    if (setUp == "offline") {
        QVERIFY(sim_->command("place blank"));
        QVERIFY(sim_->command("set online 0"));
    } else if (setUp == "guest card") {
        QVERIFY(sim_->command("place blank"));
        TCardData card{};
        card.RoomAddr[0] = 3;
        card.RoomAddr[1] = 1;
        card.RoomAddr[2] = 2;
        SetCardSerial(card, 5);
        QCOMPARE(qv::Encoder::instance().makeCard(CardTypes::Guest, card), int16_t(1));
    } else if (setUp == "empty data card") {
        placeDataCard({});
    } else if (setUp == "no library") {
        qv::Encoder::instance().load(fx.app->file("missing/libQuorvane.so"));
        fx.dialogs->clear();  // the binding's own report
    } else {
        QVERIFY(sim_->command(setUp));
    }
    TReadDataCard_Form f;
    QTest::mouseClick(f.ReadDataCard_Bt, Qt::LeftButton);
    QCOMPARE(f.Label1->text(), kFailed);
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('|')));
    QCOMPARE(storedRows("1203").size(), 2);
    QCOMPARE(allRows(), 4);
    QVERIFY(f.ReadDataCard_Bt->isEnabled());
}

void DataCardsTest::cardTakenAwayMidwayStoresNothing() {
    placeDataCard({"1,2,3,4,5,2025-03-01 08:15", "1,2,3,4,5,2025-03-01 08:16",
                   "1,2,3,4,5,2025-03-01 08:17", "1,2,3,4,5,2025-03-01 08:18"});
    QList<qv::OpenDoorRecord> records;
    // The encoder goes away after the second record: a part is not the card's records.
    const int16_t code = qv::ReadDataCardRecords(records, [this](int read) {
        if (read == 2) {
            QVERIFY(sim_->command("set online 0"));
        }
    });
    QCOMPARE(code, int16_t(QV_ENC_NO_ENCODER));
    QVERIFY(records.isEmpty());

    QVERIFY(sim_->command("set online 1"));
    QList<int> seen;
    QCOMPARE(qv::ReadDataCardRecords(records, [&](int read) { seen << read; }), int16_t(1));
    QCOMPARE(seen, (QList<int>{1, 2, 3, 4}));
    QCOMPARE(records.size(), 4);
    QCOMPARE(records[3].Time[4], uint16_t(18));
    QCOMPARE(qv::DoorOpeningRom(records[0]), QString("00000005"));
}

void DataCardsTest::databaseErrorKeepsTheEarlierRecords() {
    addEarlierRecords();
    // The second record's row cannot be stored.
    if (dm->conn.kind() == qv::DbKind::SQLite) {
        dm->conn.execute(
            "create trigger qv_fail before insert on OpenDoorRecord when NEW.Rom = '0300012C' "
            "begin select raise(abort, 'disk is full'); end");
    } else {
        dm->conn.execute(
            "create function qv_fail() returns trigger language plpgsql as $$ begin "
            "if NEW.rom = '0300012C' then raise exception 'disk is full'; end if; "
            "return NEW; end $$");
        dm->conn.execute(
            "create trigger qv_fail before insert on OpenDoorRecord for each row execute "
            "function qv_fail()");
    }
    readWith({"1,2,3,4,5,2025-03-01 08:15", "1,2,3,3,300,2025-03-01 10:30",
              "1,2,3,4,5,2025-03-01 11:00"});
    QCOMPARE(read_->Label1->text(), kFailed);
    QCOMPARE(fx.dialogs->boxes().size(), 1);
    QCOMPARE(fx.dialogs->last().icon, qv::Icon::Error);
    QVERIFY2(fx.dialogs->last().text.contains("disk is full"), qPrintable(fx.dialogs->last().text));
    // Nothing of the card is stored; 1203's earlier records are intact.
    QCOMPARE(storedRows("1203"),
             (QStringList{"00000001|2025-02-01 08:00:00|4|宾客卡|旧记录|前台二",
                          "00000002|2025-02-02 09:00:00|4|宾客卡|旧记录|前台二"}));
    QCOMPARE(allRows(), 4);
    QVERIFY(!dm->conn.inTransaction());
    // The connection is usable afterwards.
    dm->conn.execute("drop trigger qv_fail" +
                     QString(dm->conn.kind() == qv::DbKind::SQLite ? "" : " on OpenDoorRecord"));
    QTest::mouseClick(read_->ReadDataCard_Bt, Qt::LeftButton);
    QCOMPARE(read_->Label1->text(), kRead);
    QCOMPARE(storedRows("1203").size(), 5);
}

void DataCardsTest::largeCardShowsProgressAndIgnoresPresses() {
    // 999 records of 1203 from twenty cards, then one of 1101.
    QStringList lines;
    for (int i = 0; i < 999; ++i) {
        const int serial = i % 20;
        lines << QStringLiteral("1,2,3,%1,%2,2025-03-%3 %4:%5")
                     .arg(serial == 5 ? 4 : 3)
                     .arg(serial == 5 ? 5 : 300 + serial)
                     .arg(1 + i / 60 % 28, 2, 10, QChar('0'))
                     .arg(i / 60 % 24, 2, 10, QChar('0'))
                     .arg(i % 60, 2, 10, QChar('0'));
    }
    lines << "1,1,1,4,5,2025-03-29 08:00";
    placeDataCard(lines);
    TReadDataCard_Form f;
    f.setModal(true);  // as the main window shows it
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));

    // What the window shows while it reads, and a second press made meanwhile.
    QStringList shown;
    bool pressed = false;
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        shown << f.Label1->text();
        if (!pressed) {
            pressed = true;
            postClick(f.ReadDataCard_Bt);
            QCoreApplication::postEvent(&f, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
        }
    });
    watch.start();
    QTest::mouseClick(f.ReadDataCard_Bt, Qt::LeftButton);
    watch.stop();
    QCoreApplication::processEvents();
    QCOMPARE(f.Label1->text(), kRead);
    QVERIFY2(shown.contains(QStringLiteral("正在读卡：已读 500 条开锁记录")),
             qPrintable(shown.join('|')));
    QVERIFY(pressed);
    // Read once: 1101 got its one record, not two; the window is still open.
    QCOMPARE(storedRows("1203").size(), 999);
    QCOMPARE(storedRows("1101").size(), 1);
    QVERIFY(f.isVisible());
    // Records of one card share its look-ups.
    const QStringList rows = storedRows("1203");
    QCOMPARE(rows[5], QString("00000005|2025-03-01 00:05:00|4|宾客卡|张三|前台一"));
    QCOMPARE(rows[25], QString("00000005|2025-03-01 00:25:00|4|宾客卡|张三|前台一"));
    QCOMPARE(rows[0], QString("0300012C|2025-03-01 00:00:00|3|应急卡|保安部|经理"));
    QCOMPARE(rows[1], QString("0300012D|2025-03-01 00:01:00|3|应急卡|None|None"));
}

void DataCardsTest::boxDuringReadingTakesItsAnswer() {
    // The encoder library is bound again on the press and is missing: its
    // report comes up while the card is read, and the keyboard answers it.
    placeDataCard({"1,2,3,4,5,2025-03-01 08:15"});
    qv::Encoder::instance().reset();
    qv::QtDialogs boxes;
    qv::Dialogs* test = qv::setDialogs(&boxes);
    const auto restore = qScopeGuard([test] { qv::setDialogs(test); });
    TReadDataCard_Form f;
    f.setModal(true);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QString report;
    bool missed = false;
    whenShown<QMessageBox>(
        [&](QMessageBox* box) {
            report = box->text();
            QTest::keyClick(box, Qt::Key_Return);
        },
        5000, &missed);
    // Should the box not take the key, it is closed here so that the case ends.
    bool forced = false;
    QTimer::singleShot(8000, &f, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            forced = true;
            box->done(0);
        }
    });
    QTest::mouseClick(f.ReadDataCard_Bt, Qt::LeftButton);
    QVERIFY(!missed);
    QVERIFY(!forced);
    QVERIFY2(report.contains("libQuorvane.so"), qPrintable(report));
    QCOMPARE(f.Label1->text(), kFailed);
    QCOMPARE(allRows(), 0);
}

void DataCardsTest::dataCardWindowKeys() {
    placeDataCard({"1,2,3,4,5,2025-03-01 08:15"});
    TReadDataCard_Form f;
    QCOMPARE(f.objectName(), QString("ReadDataCard_Form"));
    QCOMPARE(f.windowTitle(), QString("读采集卡"));
    QCOMPARE(f.ReadDataCard_Bt->text(), QString("读卡"));
    QVERIFY(f.Label1->text().isEmpty());
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QCOMPARE(QApplication::focusWidget(), f.ReadDataCard_Bt);
    // Enter reads the card; Esc closes the window.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(f.Label1->text(), kRead);
    QCOMPARE(storedRows("1203").size(), 1);
    QCOMPARE(QApplication::focusWidget(), f.ReadDataCard_Bt);
    QTest::keyClick(&f, Qt::Key_Escape);
    QVERIFY(!f.isVisible());
    QCOMPARE(f.result(), int(QDialog::Rejected));
}

void DataCardsTest::queryTakesTheRoomAsTyped() {
    addEarlierRecords();
    addStored("1203", "0300012C", at(5, 12, 0), "第三条");
    addStored("12'03 ", "00000009", at(6, 13, 0), "引号");
    TOpenDoorRecord_Form f;
    QCOMPARE(f.objectName(), QString("OpenDoorRecord_Form"));
    QCOMPARE(f.windowTitle(), QString("查询开门记录"));
    QCOMPARE(f.OpenDoorRecord_DBGrid->objectName(), QString("OpenDoorRecord_DBGrid"));
    // Nothing is listed before the first query.
    QVERIFY(!f.QueryOpen());
    QCOMPARE(f.OpenDoorRecord_DBGrid->model()->rowCount(), 0);
    QCOMPARE(f.StatusText(), QString());
    QStringList titles;
    for (int c = 0; c < f.OpenDoorRecord_DBGrid->model()->columnCount(); ++c) {
        if (!f.OpenDoorRecord_DBGrid->isColumnHidden(c)) {
            titles << f.OpenDoorRecord_DBGrid->model()->headerData(c, Qt::Horizontal).toString();
        }
    }
    QCOMPARE(titles, (QStringList{"卡类型", "卡号", "持卡人", "开门时间", "发卡人"}));

    struct Case {
        QString room;
        QStringList holders;
    };
    const QList<Case> cases{
        {"1203", {"旧记录", "旧记录", "第三条"}},
        {"12'03 ", {"引号"}},
        {"", {"旧记录"}},
        {"1203 ", {}},
        {"1203' or '1'='1", {}},
    };
    for (const Case& c : cases) {
        f.Room_Edit->setText(c.room);
        QTest::mouseClick(f.Query_Bt, Qt::LeftButton);
        QAbstractItemModel* m = f.OpenDoorRecord_DBGrid->model();
        QStringList holders;
        for (int r = 0; r < m->rowCount(); ++r) {
            holders << m->index(r, 3).data().toString();
        }
        QCOMPARE(holders, c.holders);
        QCOMPARE(
            f.StatusText(),
            QStringLiteral("   %1 / %2").arg(c.holders.isEmpty() ? 0 : 1).arg(c.holders.size()));
    }
    f.Room_Edit->setText("1203");
    QTest::mouseClick(f.Query_Bt, Qt::LeftButton);
    QVERIFY(f.OpenDoorRecord_DBGrid->isColumnHidden(0));  // the room: printed, not shown
    QAbstractItemModel* m = f.OpenDoorRecord_DBGrid->model();
    QCOMPARE(m->index(2, 1).data().toString(), QString("宾客卡"));
    QCOMPARE(m->index(2, 2).data().toString(), QString("0300012C"));
    QCOMPARE(m->index(2, 4).data().toString(), QString("2025-02-05 12:00:00"));
    QCOMPARE(m->index(2, 5).data().toString(), QString("前台二"));
    clickRow(f.OpenDoorRecord_DBGrid, 2);
    QCOMPARE(f.StatusText(), QString("   3 / 3"));
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    saveScreenshot(&f, "OpenDoorRecord_Form");

    // From the keyboard: a new query's first row is current in a column that
    // shows, and the arrow keys move through the rows once Tab reaches the grid.
    QTest::mouseClick(f.Query_Bt, Qt::LeftButton);
    QCOMPARE(f.OpenDoorRecord_DBGrid->currentIndex().row(), 0);
    QVERIFY(
        !f.OpenDoorRecord_DBGrid->isColumnHidden(f.OpenDoorRecord_DBGrid->currentIndex().column()));
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    f.Room_Edit->setFocus();
    for (int i = 0; i < 10 && QApplication::focusWidget() != f.OpenDoorRecord_DBGrid; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), f.OpenDoorRecord_DBGrid);
    QTest::keyClick(f.OpenDoorRecord_DBGrid, Qt::Key_Down);
    QTest::keyClick(f.OpenDoorRecord_DBGrid, Qt::Key_Down);
    QCOMPARE(f.OpenDoorRecord_DBGrid->currentIndex().row(), 2);
    QCOMPARE(f.StatusText(), QString("   3 / 3"));
    QTest::keyClick(f.OpenDoorRecord_DBGrid, Qt::Key_Up);
    QCOMPARE(f.StatusText(), QString("   2 / 3"));
}

void DataCardsTest::deleteRemovesTheCurrentRecord() {
    addStored("1203", "00000001", at(1, 8, 0), "一");
    addStored("1203", "00000002", at(2, 8, 0), "二");
    addStored("1203", "00000003", at(3, 8, 0), "三");
    addStored("1101", "00000004", at(4, 8, 0), "四");
    TOpenDoorRecord_Form f;
    // Before a query there is nothing to delete.
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    QCOMPARE(allRows(), 4);

    f.Room_Edit->setText("1203");
    QTest::mouseClick(f.Query_Bt, Qt::LeftButton);
    clickRow(f.OpenDoorRecord_DBGrid, 1);
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);  // at once, without asking
    QVERIFY(fx.dialogs->boxes().isEmpty());
    auto holders = [] {
        QStringList h;
        for (const QString& row : storedRows("1203")) {
            h << row.section('|', 4, 4);
        }
        return h;
    };
    QCOMPARE(holders(), (QStringList{"一", "三"}));
    // The record that followed is current.
    QCOMPARE(f.OpenDoorRecord_DBGrid->currentIndex().row(), 1);
    QCOMPARE(f.StatusText(), QString("   2 / 2"));
    QCOMPARE(f.OpenDoorRecord_DBGrid->model()->index(1, 3).data().toString(), QString("三"));
    // Deleting the last record makes the one before current.
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    QCOMPARE(holders(), QStringList{"一"});
    QCOMPARE(f.StatusText(), QString("   1 / 1"));
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    QCOMPARE(holders(), QStringList{});
    QCOMPARE(f.StatusText(), QString("   0 / 0"));
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);  // nothing left: nothing happens
    QCOMPARE(storedRows("1101").size(), 1);
    QVERIFY(fx.dialogs->boxes().isEmpty());
}

void DataCardsTest::deleteDeepInALongList() {
    // 10,000 records of one room: more than are counted at once, so the list
    // is read page by page and counted later.
    {
        qv::Transaction t(dm->conn);
        qv::PreparedStatement insert(
            dm->conn,
            "insert into OpenDoorRecord (RoomStr, Rom, OpenTime, CardType, CardTypeStr, "
            "CardHolderStr, MakeName) values ('1203', :rom, :t, 4, '宾客卡', :h, '前台')");
        for (int i = 0; i < 10000; ++i) {
            insert.execute({QStringLiteral("%1").arg(i, 8, 16, QLatin1Char('0')),
                            at(1, 0, 0).addSecs(60 * i), QString::number(i)});
        }
        t.commit();
    }
    TOpenDoorRecord_Form f;
    f.Room_Edit->setText("1203");
    QTest::mouseClick(f.Query_Bt, Qt::LeftButton);
    auto* model = qobject_cast<qv::PagedQueryModel*>(f.OpenDoorRecord_DBGrid->model());
    QVERIFY(model);
    const auto holder = [&f] {
        return f.OpenDoorRecord_DBGrid->currentIndex().siblingAtColumn(3).data().toString();
    };
    // Past the first page, past the rows counted at once, and the last row.
    for (const int row : {300, 5000, 9000}) {
        model->fetchUntil(row);
        clickRow(f.OpenDoorRecord_DBGrid, row);
        const QString chosen = holder();
        QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
        QCOMPARE(dm->conn
                     .scalar("select count(*) from OpenDoorRecord where CardHolderStr = :h",
                             {{":h", chosen}})
                     .toInt(),
                 0);
        // The record after it is current: a second delete removes that one.
        QCOMPARE(f.OpenDoorRecord_DBGrid->currentIndex().row(), row);
        QCOMPARE(holder(), QString::number(chosen.toInt() + 1));
    }
    QCOMPARE(allRows(), 9997);
    // Deleting the last record makes the one before current.
    model->countRows();
    const int last = model->totalRows() - 1;
    model->fetchUntil(last);
    clickRow(f.OpenDoorRecord_DBGrid, last);
    QCOMPARE(holder(), QString("9999"));
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    QCOMPARE(f.OpenDoorRecord_DBGrid->currentIndex().row(), last - 1);
    QCOMPARE(holder(), QString("9998"));
    QCOMPARE(allRows(), 9996);
}

void DataCardsTest::roomListFillsTheRoomBox() {
    TOpenDoorRecord_Form f;
    f.Room_Edit->setText("2101");
    // Cancel leaves the box as it was.
    whenShown<TRoomList_Form>([](TRoomList_Form* list) { list->Close_Bt->click(); });
    QTest::mouseClick(f.RoomList_Bt, Qt::LeftButton);
    QCOMPARE(f.Room_Edit->text(), QString("2101"));

    // Two rooms chosen: the later in the list wins; the query is not run.
    bool missed = false;
    whenShown<TRoomList_Form>(
        [](TRoomList_Form* list) {
            QTableView* grid = list->RoomInfo_DBGrid;
            QAbstractItemModel* m = grid->model();
            int row1101 = -1;
            int row1203 = -1;
            for (int r = 0; r < m->rowCount(); ++r) {
                const QString room = m->index(r, 0).data().toString();
                row1101 = room == "1101" ? r : row1101;
                row1203 = room == "1203" ? r : row1203;
            }
            QVERIFY(row1101 >= 0 && row1203 > row1101);
            // Chosen in reverse order: the list order decides.
            grid->selectionModel()->select(m->index(row1203, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
            grid->selectionModel()->select(m->index(row1101, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
            list->Confirm_Bt->click();
        },
        5000, &missed);
    QTest::mouseClick(f.RoomList_Bt, Qt::LeftButton);
    QVERIFY(!missed);
    QCOMPARE(f.Room_Edit->text(), QString("1203"));
    QVERIFY(!f.QueryOpen());
    QCOMPARE(f.StatusText(), QString());
}

void DataCardsTest::printingHandsOverTheListedRecords() {
    // The program's print library in the program folder's Dll/.
    QDir().mkpath(fx.app->file("Dll"));
    QVERIFY(QFile::copy(QV_PRINT_LIBRARY, fx.app->file("Dll/libPrint.so")));
    addEarlierRecords();
    addStored("1203", "0300012C", at(5, 12, 0), "第三条");
    TOpenDoorRecord_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));

    // Before any query the print library gets no result set and says so.
    {
        ModalSequence answer({kAnswerBox});
        QTest::mouseClick(f.Print_Bt, Qt::LeftButton);
        QCOMPARE(answer.done(), 1);
        QVERIFY2(answer.seen().join('|').contains("没有可打印的记录"),
                 qPrintable(answer.seen().join('|')));
    }

    // The listed records, saved from the print window as CSV and as PDF.
    f.Room_Edit->setText("1203");
    QTest::mouseClick(f.Query_Bt, Qt::LeftButton);
    const QString csv = fx.app->file("records.csv");
    const QString pdf = fx.app->file("records.pdf");
    QList<ModalSequence::Step> steps = saveReportAs("SaveCsv_Bt", csv);
    steps += saveReportAs("SavePdf_Bt", pdf);
    steps += {"PrintPreview_Form", [](QWidget* w) { buttonNamed(w, "Close_Bt")->click(); }};
    ModalSequence sequence(steps);
    QTest::mouseClick(f.Print_Bt, Qt::LeftButton);
    QVERIFY2(sequence.done() == 7, qPrintable(sequence.seen().join('|')));
    QVERIFY2(sequence.seen().first().endsWith("PrintPreview_Form:打印预览 - 开门记录"),
             qPrintable(sequence.seen().join('|')));
    QVERIFY2(sequence.seen().join('|').count("报表已保存为") == 2,
             qPrintable(sequence.seen().join('|')));
    QCOMPARE(readCsv(csv),
             (QList<QStringList>{
                 {"房间号", "卡类型", "卡号", "持卡人", "开门时间", "发卡人"},
                 {"1203", "宾客卡", "00000001", "旧记录", "2025-02-01 08:00:00", "前台二"},
                 {"1203", "宾客卡", "00000002", "旧记录", "2025-02-02 09:00:00", "前台二"},
                 {"1203", "宾客卡", "0300012C", "第三条", "2025-02-05 12:00:00", "前台二"},
             }));
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    QVERIFY2(!pdftotext.isEmpty(), "pdftotext (poppler-utils) is needed to read the PDF back");
    QProcess p;
    p.start(pdftotext, {"-enc", "UTF-8", pdf, "-"});
    QVERIFY(p.waitForFinished(60000));
    QString text = QString::fromUtf8(p.readAllStandardOutput());
    text.remove(QRegularExpression("\\s"));
    QVERIFY2(text.contains("开门记录") && text.contains("00000002") && text.contains("第三条"),
             qPrintable(text));
    QVERIFY(fx.dialogs->boxes().isEmpty());
}

void DataCardsTest::printingALongList() {
    QDir().mkpath(fx.app->file("Dll"));
    QVERIFY(QFile::copy(QV_PRINT_LIBRARY, fx.app->file("Dll/libPrint.so")));
    {
        qv::Transaction t(dm->conn);
        qv::PreparedStatement insert(
            dm->conn, "insert into OpenDoorRecord (RoomStr, Rom, OpenTime, CardType, CardTypeStr, "
                      "CardHolderStr, MakeName) values ('1203', '00000005', :t, 4, '宾客卡', :h, "
                      "'前台')");
        for (int i = 0; i < 6000; ++i) {
            insert.execute({at(1, 0, 0).addSecs(60 * i), QString::number(i)});
        }
        t.commit();
    }
    TOpenDoorRecord_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.Room_Edit->setText("1203");
    QTest::mouseClick(f.Query_Bt, Qt::LeftButton);
    const QString question = "要打印的记录共有 6000 条，读取和排版需要一些时间。确定要打印吗？";
    // Prints; whether the print window was shown (it is closed at once).
    const auto previewShown = [&f] {
        bool shown = false;
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&shown] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal->objectName() == "PrintPreview_Form") {
                shown = true;
                static_cast<QDialog*>(modal)->reject();
            }
        });
        watch.start();
        QTest::mouseClick(f.Print_Bt, Qt::LeftButton);
        return shown;
    };

    // The question names the count; Cancel prints nothing.
    fx.dialogs->answer(qv::Answer::Cancel);
    QVERIFY(!previewShown());
    QCOMPARE(fx.dialogs->texts(), QStringList{question});
    QCOMPARE(fx.dialogs->last().icon, qv::Icon::Question);
    QCOMPARE(qv::TableRecordset::liveCount(), 0);

    // Cancel in the progress window while the rows are read: nothing printed.
    fx.dialogs->clear();
    QTimer::singleShot(0, &f, [&f] {
        auto* progress = f.findChild<QProgressDialog*>("PrintProgress");
        QVERIFY(progress);
        progress->cancel();
    });
    QVERIFY(!previewShown());
    QCOMPARE(fx.dialogs->texts(), QStringList{question});
    QCOMPARE(qv::TableRecordset::liveCount(), 0);

    // Answered OK: every record in the print window, a page at a time, also
    // when the desk's connection is used while the rows are read (a timer of
    // another window).
    fx.dialogs->clear();
    int usedMeanwhile = 0;
    QTimer::singleShot(0, &f, [&usedMeanwhile] {
        usedMeanwhile = dm->conn.scalar("select count(*) from OpenDoorRecord").toInt();
    });
    QString pages;
    int shownPage = -1;
    bool missed = false;
    whenShown<QDialog>(
        [&](QDialog* preview) {
            auto* label = preview->findChild<QLabel*>("Pages_Label");
            QTRY_VERIFY(label && !label->text().isEmpty());
            pages = label->text();
            buttonNamed(preview, "NextPage_Bt")->click();
            auto* view = preview->findChild<QWidget*>("Preview");
            QTest::keyClick(view, Qt::Key_PageDown);
            shownPage = view->property("pageIndex").toInt();
            saveScreenshot(preview, "PrintPreview_Form_long");
            buttonNamed(preview, "Close_Bt")->click();
        },
        20000, &missed);
    QTest::mouseClick(f.Print_Bt, Qt::LeftButton);
    QVERIFY(!missed);
    QVERIFY2(pages.endsWith("页，6000 条记录"), qPrintable(pages));
    QVERIFY2(pages.section(' ', 1, 1).toInt() > 100, qPrintable(pages));
    QCOMPARE(shownPage, 2);
    QCOMPARE(usedMeanwhile, 6000);
    QCOMPARE(qv::TableRecordset::liveCount(), 0);
}

void DataCardsTest::recordsWindowKeys() {
    addEarlierRecords();
    TOpenDoorRecord_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QCOMPARE(QApplication::focusWidget(), f.Room_Edit);
    // Tab walks the room box, "确定", the grid and the buttons; never "选房".
    QList<QWidget*> order;
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget();
    }
    QCOMPARE(order, (QList<QWidget*>{f.Query_Bt, f.OpenDoorRecord_DBGrid, f.Print_Bt, f.BitBtn1,
                                     f.BitBtn3, f.Room_Edit}));
    // Enter in the room box runs the query.
    QTest::keyClicks(f.Room_Edit, "1203");
    QTest::keyClick(f.Room_Edit, Qt::Key_Return);
    QVERIFY(f.QueryOpen());
    QCOMPARE(f.StatusText(), QString("   1 / 2"));
    // Alt+D deletes the current record (an accelerator clicks a moment later).
    QTest::keyClick(&f, Qt::Key_D, Qt::AltModifier);
    QTRY_COMPARE(storedRows("1203").size(), 1);
    // The capture mode asks with the window's message lines 13 and 14.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "store");
        db.setDatabaseName(fx.app->file("db/Language.db"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QStringList lines;
        for (int i = 0; i < 15; ++i) {
            lines << QStringLiteral("line %1").arg(i);
        }
        lines[13] = "Capture this window?";
        lines[14] = "Access code:";
        QVERIFY(
            q.prepare("insert into Dialog_Table (AppName, FormName, DialogID, LanguageID, "
                      "Title, MessageStr) values ('Quorvane', 'OpenDoorRecord_Form', 1, 1033, "
                      "'Messages', ?)"));
        q.addBindValue(lines.join("\r\n"));
        QVERIFY(q.exec());
    }
    QSqlDatabase::removeDatabase("store");
    LockSystemInfo.LanguageID = 1033;
    TOpenDoorRecord_Form english;
    fx.dialogs->answer(qv::Answer::Cancel);
    QTest::keyClick(&english, Qt::Key_F12, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(fx.dialogs->boxes().size(), 1);
    QCOMPARE(fx.dialogs->last().title, QString("Capture this window?"));
    QCOMPARE(fx.dialogs->last().text, QString("Capture this window?"));
    // Esc and Alt+C close the windows.
    QTest::keyClick(&f, Qt::Key_Escape);
    QVERIFY(!f.isVisible());
    QCOMPARE(f.result(), int(QDialog::Rejected));
    english.show();
    QVERIFY(QTest::qWaitForWindowActive(&english));
    QTest::keyClick(&english, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(!english.isVisible());
}

QTEST_MAIN(DataCardsTest)
#include "tst_datacards.moc"
