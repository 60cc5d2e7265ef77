// The guest query and the card issue records windows: their searches with
// the date bounds at their edges, the filters, what a typed name or room can
// hold, the first search at opening, the room picker, printing, paging of a
// long list, the old-record deletion and the keys.
#include "LockDatabase.h"
#include "TestSupport.h"
#include "WindowFixture.h"

#include "card/CardRecords.h"
#include "data/DataSet.h"
#include "data/PagedQueryModel.h"
#include "data/dm_unit.h"
#include "language/LanguageSource.h"
#include "platform/Clock.h"
#include "platform/ProgramText.h"
#include "platform/RadioGroup.h"
#include "platform/TestDialogs.h"
#include "records/CheckGuestInRecord_Unit.h"
#include "records/MC_R_Unit.h"
#include "records/RoomList_Unit.h"
#include "records/UnconfirmedCards_Unit.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

namespace {

const char* const kPgDatabase = "qvtest_records";
// "Now" in most cases: a Saturday morning.
const QDateTime kNow(QDate(2025, 5, 10), QTime(9, 30));

QDateTime at(int month, int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(2025, month, day), QTime(hour, minute, second));
}

const QVariant kNull = QVariant(QMetaType(QMetaType::QString));

// One stay; its GuestID carries the tag by which the cases name it.
void addStay(const QString& tag, const QVariant& name, int room, const QDateTime& in,
             const QDateTime& planned, const QDateTime& left) {
    dm->conn.execute(
        "insert into GuestInRecord (Room, RoomStr, GuestName, GuestID, Rom, GuestInTime, "
        "GuestLeaveTime, LeaveTime, enOverride, InputUser) "
        "values (:room, :str, :name, :tag, '0101020300000001', :in, :planned, :left, :ended, "
        "'desk1')",
        {{":room", room},
         {":str", QString::number(room)},
         {":name", name},
         {":tag", tag},
         {":in", in},
         {":planned", planned},
         {":left", left.isValid() ? QVariant(left) : kNull},
         {":ended", left.isValid() ? 1 : 0}});
}

void addCard(int type, const QString& holder, const QDateTime& issued) {
    dm->conn.execute(
        "insert into MakeCardRecord (CardType, Rom, RoomStr, Holder, Explain, MakeUser, MakeName, "
        "StartTime, EndTime, enOverride, InputTime) "
        "values (:type, 'A1B2C3D4', '1203', :holder, 'note', 'desk1', '前台一', :issued, :until, "
        "0, :issued2)",
        {{":type", type},
         {":holder", holder},
         {":issued", issued},
         {":until", issued.addDays(30)},
         {":issued2", issued}});
}

// A card issue log row in `state`, issued at `issued`, valid until `until`.
void addCardInState(int state, const QString& holder, const QDateTime& issued,
                    const QDateTime& until = {}) {
    addCard(4, holder, issued);
    dm->conn.execute(
        "update MakeCardRecord set CardState = :s, EndTime = :e where ID = (select max(ID) "
        "from MakeCardRecord)",
        {{":s", state}, {":e", until.isValid() ? until : issued.addDays(30)}});
}

int countRows(const QString& sql) {
    return dm->conn.scalar(sql).toInt();
}

// The program's own texts in English, from the shipped source.
void useEnglishProgramTexts() {
    QHash<QString, QString> texts;
    for (const auto& r :
         qv::language::readSource(QStringLiteral(QV_SOURCE_DIR "/assets/language/1033.tsv"))) {
        if (r.form == QLatin1String(qv::language::kProgramForm)) {
            texts.insert(r.builtIn, r.text);
        }
    }
    qv::setProgramTexts(texts);
}

void addOperator(const QString& staffer, int systemInfo) {
    dm->conn.execute(
        "insert into Operator (Staffer, StafferName, GroupID, SystemInfo) "
        "values (:s, '前台一', 1, :r)",
        {{":s", staffer}, {":r", systemInfo}});
}

// Every matching row of a window's list (counted and read to its end).
QStringList listedRows(qv::PagedQueryModel* rows, const QString& field) {
    rows->countRows();
    rows->fetchUntil(rows->totalRows());
    QStringList out;
    for (int r = 0; r < rows->rowCount(); ++r) {
        out << rows->value(r, field).toString();
    }
    return out;
}

QStringList columnTitles(QTableView* grid, bool visibleOnly) {
    QStringList titles;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        if (!visibleOnly || !grid->isColumnHidden(c)) {
            titles << grid->model()->headerData(c, Qt::Horizontal).toString();
        }
    }
    return titles;
}

QString statusOf(QWidget* window) {
    auto* bar = window->findChild<QStatusBar*>(QStringLiteral("StatusBar1"));
    auto* label = bar ? bar->findChild<QLabel*>() : nullptr;
    return label ? label->text() : QString();
}

void setDates(QDateEdit* from, QDateEdit* to, const QDate& a, const QDate& b) {
    from->setDate(a);
    to->setDate(b);
}

// The Tab chain of a window from `first`: the object names of `count` focus steps.
QStringList tabChain(QWidget* window, QWidget* first, int count) {
    first->setFocus();
    QStringList names;
    for (int i = 0; i < count; ++i) {
        QWidget* w = QApplication::focusWidget();
        // A date picker's line edit and a radio group's button stand for their control.
        while (w && w->parentWidget() != window &&
               (w->objectName().isEmpty() || w->objectName().startsWith("qt_"))) {
            w = w->parentWidget();
        }
        names << (w ? w->objectName() : QStringLiteral("(none)"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return names;
}

}  // namespace

class RecordsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void guestDateBounds_data();
    void guestDateBounds();
    void guestFilters_data();
    void guestFilters();
    void guestWindowAtStart();
    void checkOutRangeOnlyWhileItsBoxIsOn();
    void roomBoxTakesDigitsAndTheRoomList();
    void guestKeys();
    void longListShowsAtOnceAndPrintsWhole();

    void cardDayBounds_data();
    void cardDayBounds();
    void cardKinds_data() { addDatabaseKinds(); }
    void cardKinds();
    void deleteOldRecords_data() { addDatabaseKinds(); }
    void deleteOldRecords();
    void deleteOldRecordsInSteps();
    void deleteButtonFollowsRight_data();
    void deleteButtonFollowsRight();
    void cardKeys();
    void purgeKeepsCardsThatMayExist_data() { addDatabaseKinds(); }
    void purgeKeepsCardsThatMayExist();
    void unconfirmedCardsSettled_data() { addDatabaseKinds(); }
    void unconfirmedCardsSettled();
    void unconfirmedCardsFollowTheRights();

private:
    WindowFixture fx;
};

void RecordsTest::init() {
    QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase);
    qv::Clock::setTestTime(kNow);
}

void RecordsTest::cleanup() {
    fx.tearDown();
}

// --- Guest query ---------------------------------------------------------

void RecordsTest::guestDateBounds_data() {
    QTest::addColumn<QString>("range");  // the range whose column holds `moment`
    QTest::addColumn<QTime>("dayTime");  // the LeaveTime setting
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<bool>("listed");
    // The ranges run from 1 May to 3 May; each date stands for LeaveTime on it.
    struct Row {
        const char* name;
        const char* range;
        QTime dayTime;
        QDateTime moment;
        bool listed;
    };
    const QTime noon(12, 0);
    const Row rows[] = {
        {"check-in 1 May 12:00", "checkIn", noon, at(5, 1, 12, 0), true},
        {"check-in 1 May 11:59", "checkIn", noon, at(5, 1, 11, 59), false},
        {"check-in 1 May 11:59:59", "checkIn", noon, at(5, 1, 11, 59, 59), false},
        {"check-in 3 May 12:00", "checkIn", noon, at(5, 3, 12, 0), true},
        {"check-in 3 May 12:00:59, same minute", "checkIn", noon, at(5, 3, 12, 0, 59), true},
        {"check-in 3 May 12:01", "checkIn", noon, at(5, 3, 12, 1), false},
        {"expected departure 1 May 11:59", "expected", noon, at(5, 1, 11, 59), false},
        {"expected departure 3 May 12:00", "expected", noon, at(5, 3, 12, 0), true},
        {"check-out 1 May 12:00", "checkOut", noon, at(5, 1, 12, 0), true},
        {"check-out 3 May 12:01", "checkOut", noon, at(5, 3, 12, 1), false},
        {"LeaveTime 14:30, check-in 1 May 14:29", "checkIn", QTime(14, 30), at(5, 1, 14, 29),
         false},
        {"LeaveTime 14:30, check-in 3 May 14:30", "checkIn", QTime(14, 30), at(5, 3, 14, 30), true},
        {"LeaveTime 14:30:40, check-in 1 May 14:30:00", "checkIn", QTime(14, 30, 40),
         at(5, 1, 14, 30), true},
    };
    for (const char* kind : {"sqlite", "postgres"}) {
        for (const Row& r : rows) {
            QTest::addRow("%s on %s", r.name, kind)
                << QString::fromLatin1(r.range) << r.dayTime << r.moment << r.listed;
        }
    }
}

void RecordsTest::guestDateBounds() {
    QFETCH(QString, range);
    QFETCH(QTime, dayTime);
    QFETCH(QDateTime, moment);
    QFETCH(bool, listed);
    LockSystemInfo.LeaveTime = dayTime;
    // The stay: the moment in the range's column, its other times far from the range.
    const QDateTime before = at(4, 20, 15, 0);
    addStay("X", "王五", 1203, range == "checkIn" ? moment : before,
            range == "expected" ? moment : before.addDays(1),
            range == "checkOut" ? moment : before.addDays(1));

    TCheckGuestInRecord_Form f;
    f.RecordFilter_RG->setItemIndex(TCheckGuestInRecord_Form::AllGuests);
    const QDate from(2025, 5, 1), to(2025, 5, 3);
    if (range == "checkIn") {
        setDates(f.Start_Date_GI, f.End_Date_GI, from, to);
    } else {
        setDates(f.Start_Date_GI, f.End_Date_GI, QDate(2025, 4, 1), QDate(2025, 5, 31));
        QCheckBox* box = range == "expected" ? f.CheckBox2 : f.CheckBox3;
        box->setChecked(true);
        if (range == "expected") {
            setDates(f.Input_Start_Date_GL, f.Input_End_Date_GL, from, to);
        } else {
            setDates(f.Start_Date_GL, f.End_Date_GL, from, to);
        }
    }
    QTest::mouseClick(f.Find_Bt, Qt::LeftButton);
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    QCOMPARE(listedRows(f.GRL_ADO, "GuestID"), listed ? QStringList{"X"} : QStringList{});
}

void RecordsTest::guestFilters_data() {
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("room");
    QTest::addColumn<QStringList>("expected");  // tags, in the order the stays began

    const QStringList left = {"B", "D", "F"};
    const QStringList everyNamed = {"A", "B", "D", "F", "G"};
    const QString twentyEmoji = QString(QStringLiteral("😀")).repeated(20);
    struct Row {
        const char* name;
        int filter;
        QString guest;
        QString room;
        QStringList expected;
    };
    const Row rows[] = {
        {"current guests", 0, "", "", {"A", "G"}},
        {"all guests", 1, "", "", everyNamed},
        {"guests who left", 2, "", "", left},
        {"part of a name", 1, "张三", "", {"A", "F"}},
        {"name with blanks around", 1, "  李四 ", "", {"B"}},
        {"letters of either case", 1, "JOHN", "", {"G"}},
        {"a percent sign is a character", 1, "%", "", {"D"}},
        {"an underscore is a character", 1, "_", "", {"D"}},
        {"a quote is a character", 1, "'", "", {"D"}},
        {"quotes and percent signs", 1, "'%'\"%", "", {}},
        {"twenty emoji", 1, twentyEmoji, "", {}},
        {"room 1203", 1, "", "1203", {"B"}},
        {"room with leading zeros", 1, "", "001203", {"B"}},
        {"room box of blanks", 1, "", "   ", everyNamed},
        {"room of ten digits", 1, "", "9999999999", {}},
        {"name and room", 1, "张三", "2105", {"F"}},
        {"current guest in an ended stay's room", 0, "", "1203", {}},
    };
    for (const char* kind : {"sqlite", "postgres"}) {
        for (const Row& r : rows) {
            QTest::addRow("%s on %s", r.name, kind) << r.filter << r.guest << r.room << r.expected;
        }
    }
}

void RecordsTest::guestFilters() {
    QFETCH(int, filter);
    QFETCH(QString, name);
    QFETCH(QString, room);
    QFETCH(QStringList, expected);
    const QDateTime left = at(5, 4, 11, 0);
    addStay("A", "张三", 1101, at(5, 1, 13, 0), at(5, 4, 12, 0), QDateTime());
    addStay("B", "李四", 1203, at(5, 1, 14, 0), at(5, 4, 12, 0), left);
    addStay("C", kNull, 1203, at(5, 1, 15, 0), at(5, 4, 12, 0), QDateTime());  // no name
    addStay("D", "O'Brien 100%_x", 1102, at(5, 1, 16, 0), at(5, 4, 12, 0), left);
    addStay("E", "", 1104, at(5, 1, 17, 0), at(5, 4, 12, 0), left);  // an empty name
    addStay("F", "张三丰", 2105, at(5, 2, 9, 0), at(5, 4, 12, 0), left);
    addStay("G", "john smith", 1105, at(5, 2, 10, 0), at(5, 4, 12, 0), QDateTime());

    TCheckGuestInRecord_Form f;
    f.RecordFilter_RG->setItemIndex(filter);
    f.E_GuestName->setText(name);
    f.E_RoomNo->setText(room);
    // A hundred years of check-ins.
    setDates(f.Start_Date_GI, f.End_Date_GI, QDate(1950, 1, 1), QDate(2050, 12, 31));
    QTest::mouseClick(f.Find_Bt, Qt::LeftButton);
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    QCOMPARE(listedRows(f.GRL_ADO, "GuestID"), expected);
}

void RecordsTest::guestWindowAtStart() {
    // Today's stays: only the one that began in the minute of today's check-out time.
    addStay("noon", "张三", 1101, QDateTime(kNow.date(), QTime(12, 0, 30)), kNow.addDays(1),
            QDateTime());
    addStay("later", "李四", 1102, QDateTime(kNow.date(), QTime(12, 1)), kNow.addDays(1),
            QDateTime());
    addStay("morning", "王五", 1103, QDateTime(kNow.date(), QTime(8, 0)), kNow.addDays(1),
            QDateTime());

    TCheckGuestInRecord_Form f;
    QCOMPARE(f.objectName(), QStringLiteral("CheckGuestInRecord_Form"));
    QCOMPARE(f.windowTitle(), QStringLiteral("客人查询"));
    QCOMPARE(f.RecordFilter_RG->items(), (QStringList{"在住客人", "所有客人", "退房客人"}));
    QCOMPARE(f.RecordFilter_RG->itemIndex(), 0);
    QCOMPARE(f.RecordFilter_RG->columns(), 3);
    QCOMPARE(f.E_GuestName->maxLength(), 20);
    QCOMPARE(f.E_RoomNo->maxLength(), 10);
    for (QDateEdit* d : {f.Start_Date_GI, f.End_Date_GI, f.Input_Start_Date_GL, f.Input_End_Date_GL,
                         f.Start_Date_GL, f.End_Date_GL}) {
        QCOMPARE(d->date(), kNow.date());
    }
    QVERIFY(f.Start_Date_GI->isEnabled() && f.End_Date_GI->isEnabled());
    QVERIFY(!f.CheckBox2->isChecked() && f.CheckBox2->isEnabled());
    QVERIFY(!f.Input_Start_Date_GL->isEnabled() && !f.Input_End_Date_GL->isEnabled());
    QVERIFY(!f.CheckBox3->isChecked() && !f.CheckBox3->isEnabled());
    QVERIFY(!f.Start_Date_GL->isEnabled() && !f.End_Date_GL->isEnabled());
    QCOMPARE(f.Find_Bt->text(), QStringLiteral("查询(&F)"));
    QCOMPARE(f.Button1->text(), QStringLiteral("打印(&P)"));
    QCOMPARE(f.Close_Bt->text(), QStringLiteral("关闭(&X)"));
    QCOMPARE(f.GuestInRecord_DBGrid->objectName(), QStringLiteral("GuestInRecord_DBGrid"));
    QCOMPARE(columnTitles(f.GuestInRecord_DBGrid, true),
             (QStringList{"宾客姓名", "证件号码", "房号", "入住时间", "预离时间", "退房时间",
                          "操作员姓名", "登记时间"}));

    QCOMPARE(listedRows(f.GRL_ADO, "GuestID"), QStringList{"noon"});
    QCOMPARE(statusOf(&f), QStringLiteral("记录：1 / 1"));
    QCOMPARE(f.GRL_ADO->data(f.GRL_ADO->index(0, 2), Qt::DisplayRole).toString(),
             QStringLiteral("1101"));

    // The enabling rules.
    f.CheckBox2->setChecked(true);
    QVERIFY(f.Input_Start_Date_GL->isEnabled() && f.Input_End_Date_GL->isEnabled());
    f.CheckBox2->setChecked(false);
    QVERIFY(!f.Input_Start_Date_GL->isEnabled());
    for (int item : {1, 2}) {
        f.RecordFilter_RG->setItemIndex(item);
        QVERIFY(f.CheckBox3->isEnabled());
        QVERIFY(!f.Start_Date_GL->isEnabled());  // the box is not ticked
    }
    f.CheckBox3->setChecked(true);
    QVERIFY(f.Start_Date_GL->isEnabled() && f.End_Date_GL->isEnabled());

    f.RecordFilter_RG->setItemIndex(1);
    setDates(f.Start_Date_GI, f.End_Date_GI, kNow.date().addDays(-3), kNow.date());
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    saveScreenshot(&f, "CheckGuestInRecord_Form");
}

void RecordsTest::checkOutRangeOnlyWhileItsBoxIsOn() {
    addStay("current", "张三", 1101, at(5, 1, 13, 0), at(5, 4, 12, 0), QDateTime());
    addStay("left", "李四", 1102, at(5, 1, 14, 0), at(5, 4, 12, 0), at(5, 4, 11, 0));
    TCheckGuestInRecord_Form f;
    setDates(f.Start_Date_GI, f.End_Date_GI, QDate(2025, 5, 1), QDate(2025, 5, 2));
    f.RecordFilter_RG->setItemIndex(TCheckGuestInRecord_Form::AllGuests);
    f.CheckBox3->setChecked(true);
    setDates(f.Start_Date_GL, f.End_Date_GL, QDate(2025, 6, 1), QDate(2025, 6, 2));
    QTest::mouseClick(f.Find_Bt, Qt::LeftButton);
    QCOMPARE(listedRows(f.GRL_ADO, "GuestID"), QStringList{});
    // 4 May 11:00 lies after 3 May 12:00 and before 4 May 12:01.
    setDates(f.Start_Date_GL, f.End_Date_GL, QDate(2025, 5, 3), QDate(2025, 5, 4));
    QTest::mouseClick(f.Find_Bt, Qt::LeftButton);
    QCOMPARE(listedRows(f.GRL_ADO, "GuestID"), QStringList{"left"});

    // Current guests: the box is off, and so is its range, though still ticked.
    f.RecordFilter_RG->setItemIndex(TCheckGuestInRecord_Form::CurrentGuests);
    QVERIFY(f.CheckBox3->isChecked() && !f.CheckBox3->isEnabled());
    QVERIFY(!f.Start_Date_GL->isEnabled() && !f.End_Date_GL->isEnabled());
    QTest::mouseClick(f.Find_Bt, Qt::LeftButton);
    QCOMPARE(listedRows(f.GRL_ADO, "GuestID"), QStringList{"current"});
    // Back to all guests: the ticked range applies again.
    f.RecordFilter_RG->setItemIndex(TCheckGuestInRecord_Form::AllGuests);
    QVERIFY(f.Start_Date_GL->isEnabled());
    QTest::mouseClick(f.Find_Bt, Qt::LeftButton);
    QCOMPARE(listedRows(f.GRL_ADO, "GuestID"), QStringList{"left"});
}

void RecordsTest::roomBoxTakesDigitsAndTheRoomList() {
    TCheckGuestInRecord_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    f.E_RoomNo->setFocus();
    QTest::keyClicks(f.E_RoomNo, "12a0 b3-");
    QCOMPARE(f.E_RoomNo->text(), QStringLiteral("1203"));
    QTest::keyClick(f.E_RoomNo, Qt::Key_Backspace);
    QCOMPARE(f.E_RoomNo->text(), QStringLiteral("120"));
    QTest::keyClicks(f.E_RoomNo, "456789012345");
    QCOMPARE(f.E_RoomNo->text().size(), 10);

    // "...": the room list's current room, as its number.
    bool missed = false;
    whenShown<TRoomList_Form>(
        [](TRoomList_Form* list) {
            QVERIFY(list->RoomList_Ado->locate("RoomStr", "2105"));
            list->Confirm_Bt->click();
        },
        5000, &missed);
    QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
    QVERIFY(!missed);
    QCOMPARE(f.E_RoomNo->text(), QStringLiteral("2105"));

    // Cancel leaves the box as it was.
    whenShown<TRoomList_Form>([](TRoomList_Form* list) { list->Close_Bt->click(); }, 5000, &missed);
    QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
    QVERIFY(!missed);
    QCOMPARE(f.E_RoomNo->text(), QStringLiteral("2105"));
}

void RecordsTest::guestKeys() {
    addStay("A", "张三", 1101, at(5, 9, 13, 0), at(5, 11, 12, 0), QDateTime());
    addStay("B", "Lisa", 1102, at(5, 9, 14, 0), at(5, 11, 12, 0), QDateTime());
    TCheckGuestInRecord_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QCOMPARE(QApplication::focusWidget(), f.E_GuestName);
    QCOMPARE(tabChain(&f, f.RecordFilter_RG->button(0), 16),
             (QStringList{"RecordFilter_RG", "E_GuestName", "E_RoomNo", "SpeedButton1",
                          "Start_Date_GI", "End_Date_GI", "CheckBox2", "GuestInRecord_DBGrid",
                          "Find_Bt", "Button1", "Close_Bt", "RecordFilter_RG", "E_GuestName",
                          "E_RoomNo", "SpeedButton1", "Start_Date_GI"}));
    // With its range on, the pickers and the check-out box join the chain.
    f.CheckBox2->setChecked(true);
    f.RecordFilter_RG->setItemIndex(TCheckGuestInRecord_Form::AllGuests);
    f.CheckBox3->setChecked(true);
    QCOMPARE(tabChain(&f, f.CheckBox2, 8),
             (QStringList{"CheckBox2", "Input_Start_Date_GL", "Input_End_Date_GL", "CheckBox3",
                          "Start_Date_GL", "End_Date_GL", "GuestInRecord_DBGrid", "Find_Bt"}));
    f.CheckBox2->setChecked(false);
    f.CheckBox3->setChecked(false);
    f.RecordFilter_RG->setItemIndex(TCheckGuestInRecord_Form::CurrentGuests);

    // Enter in a box runs the search.
    f.Start_Date_GI->setDate(QDate(2025, 5, 9));
    f.E_GuestName->setFocus();
    QTest::keyClicks(f.E_GuestName, "lis");
    QTest::keyClick(f.E_GuestName, Qt::Key_Return);
    QCOMPARE(listedRows(f.GRL_ADO, "GuestID"), QStringList{"B"});
    f.E_GuestName->clear();
    // A button's accelerator clicks it (after its short press animation).
    QTest::keyClick(f.E_GuestName, Qt::Key_F, Qt::AltModifier);
    QTRY_COMPARE(listedRows(f.GRL_ADO, "GuestID"), (QStringList{"A", "B"}));
    // Alt+X closes, as Esc does.
    QTest::keyClick(&f, Qt::Key_X, Qt::AltModifier);
    QTRY_VERIFY(!f.isVisible());
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!f.isVisible());
    QCOMPARE(f.result(), int(QDialog::Rejected));
}

void RecordsTest::longListShowsAtOnceAndPrintsWhole() {
    // Many pages of stays.
    const int stays = 8 * qv::PagedQueryModel::kPageRows + 100;
    qv::inTransaction(dm->conn, [&] {
        for (int i = 0; i < stays; ++i) {
            addStay(QString::number(i), QStringLiteral("客人%1").arg(i), 1101 + i % 8,
                    at(5, 1, 13, 0).addSecs(60 * i), at(5, 4, 12, 0), at(5, 4, 11, 0));
        }
    });
    TCheckGuestInRecord_Form f;
    f.RecordFilter_RG->setItemIndex(TCheckGuestInRecord_Form::LeftGuests);
    setDates(f.Start_Date_GI, f.End_Date_GI, QDate(2025, 5, 1), QDate(2025, 5, 3));
    QTest::mouseClick(f.Find_Bt, Qt::LeftButton);
    // The first page shows at once; the rows are counted when the event loop turns.
    QCOMPARE(f.GRL_ADO->rowCount(), qv::PagedQueryModel::kPageRows);
    QVERIFY(!f.GRL_ADO->totalKnown());
    QCOMPARE(statusOf(&f), QStringLiteral("记录：1 / 256+"));
    QTRY_VERIFY(f.GRL_ADO->totalKnown());
    QCOMPARE(f.GRL_ADO->totalRows(), stays);
    QCOMPARE(statusOf(&f), QStringLiteral("记录：1 / %1").arg(stays));
    // Scrolling to the end reads the next rows.
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.GuestInRecord_DBGrid->scrollToBottom();
    QTRY_VERIFY(f.GRL_ADO->rowCount() > qv::PagedQueryModel::kPageRows);
    QCOMPARE(f.GRL_ADO->value(0, "GuestID").toString(), QStringLiteral("0"));
    QCOMPARE(f.GRL_ADO->value(300, "GuestID").toString(), QStringLiteral("300"));

    // A search of fewer rows than a page is counted at once; one of more is
    // counted after its first page shows: 1 May 13:00 to 2 May 12:00.
    setDates(f.Start_Date_GI, f.End_Date_GI, QDate(2025, 5, 1), QDate(2025, 5, 2));
    QTest::mouseClick(f.Find_Bt, Qt::LeftButton);
    QCOMPARE(f.GRL_ADO->rowCount(), qv::PagedQueryModel::kPageRows);
    QTRY_VERIFY(f.GRL_ADO->totalKnown());
    QCOMPARE(statusOf(&f), QStringLiteral("记录：1 / 1381"));
    setDates(f.Start_Date_GI, f.End_Date_GI, QDate(2025, 5, 1), QDate(2025, 5, 3));
    QTest::mouseClick(f.Find_Bt, Qt::LeftButton);

    // Printing hands every matching row to the print library as the guest report.
    QDir().mkpath(fx.app->file("Dll"));
    QVERIFY(QFile::copy(QStringLiteral(QV_PRINT_LIBRARY), fx.app->file("Dll/libPrint.so")));
    QString title, pages;
    bool missed = false;
    whenShown<QDialog>(
        [&](QDialog* preview) {
            title = preview->windowTitle();
            auto* label = preview->findChild<QLabel*>(QStringLiteral("Pages_Label"));
            QTRY_VERIFY(label && !label->text().isEmpty());
            pages = label->text();
            preview->reject();
        },
        10000, &missed);
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    QVERIFY(!missed);
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    QCOMPARE(title, QStringLiteral("打印预览 - 宾客入住记录"));
    QVERIFY2(pages.endsWith(QStringLiteral("，%1 条记录").arg(stays)), qPrintable(pages));
}

// --- Card issue records --------------------------------------------------

void RecordsTest::cardDayBounds_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QDateTime>("issued");
    QTest::addColumn<bool>("listed");
    const QDate day(2025, 5, 1);
    struct Row {
        const char* name;
        QDate from;
        QDate to;
        QDateTime issued;
        bool listed;
    };
    const Row rows[] = {
        {"one day, at midnight", day, day, at(5, 1, 0, 0), true},
        {"one day, at its last second", day, day, at(5, 1, 23, 59, 59), true},
        {"one day, the evening before", day, day, at(4, 30, 23, 59, 59), false},
        {"one day, the next midnight", day, day, at(5, 2, 0, 0), false},
        {"two days, the end day's evening", day, day.addDays(1), at(5, 2, 22, 0), true},
        {"start after end, on the start day", day.addDays(1), day, at(5, 2, 12, 0), false},
        {"start after end, on the end day", day.addDays(1), day, at(5, 1, 12, 0), false},
    };
    for (const char* kind : {"sqlite", "postgres"}) {
        for (const Row& r : rows) {
            QTest::addRow("%s on %s", r.name, kind) << r.from << r.to << r.issued << r.listed;
        }
    }
}

void RecordsTest::cardDayBounds() {
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QDateTime, issued);
    QFETCH(bool, listed);
    addCard(10, "经理", issued);
    TMC_R_From f;
    setDates(f.DateStart_Dtp, f.DateEnd_Dtp, from, to);
    QTest::mouseClick(f.Check_Bt, Qt::LeftButton);
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    QCOMPARE(listedRows(f.MC_S_ADO, "Holder"), listed ? QStringList{"经理"} : QStringList{});
}

void RecordsTest::cardKinds() {
    const QDate today = kNow.date();
    addCard(4, "张三", QDateTime(today, QTime(8, 0)));
    addCard(10, "经理", QDateTime(today, QTime(9, 0)));
    addCard(99, "无类型", QDateTime(today, QTime(7, 0)));  // no CardType row
    addCard(10, "昨天", QDateTime(today.addDays(-1), QTime(9, 0)));
    addCard(5, "楼层", QDateTime(today, QTime(9, 10)));

    TMC_R_From f;
    QCOMPARE(f.objectName(), QStringLiteral("MC_R_From"));
    QCOMPARE(f.windowTitle(), QStringLiteral("查询发卡记录"));
    QCOMPARE(f.DateStart_Dtp->date(), today);
    QCOMPARE(f.DateEnd_Dtp->date(), today);
    QCOMPARE(f.CardType_CB->count(), 16);
    QCOMPARE(f.CardType_CB->itemText(0), QStringLiteral("清除卡"));
    QCOMPARE(f.CardType_CB->itemText(9), QStringLiteral("总卡"));
    QCOMPARE(f.CardType_CB->currentIndex(), 15);
    QCOMPARE(f.CardType_CB->maxVisibleItems(), 15);
    QVERIFY(f.Check_Bt->isDefault());
    QVERIFY(f.Button1->isHidden());
    for (QWidget* w :
         std::initializer_list<QWidget*>{f.CheckBox1, f.CheckBox2, f.ComboBox1, f.CheckBox3}) {
        QVERIFY(w->isHidden());
    }
    QCOMPARE(columnTitles(f.DBGrid1, true),
             (QStringList{"卡种类", "持卡人", "发卡人", "房间", "发卡时间", "结束时间"}));
    QCOMPARE(columnTitles(f.DBGrid1, false).size(), 9);

    // Opening lists today's cards of every kind that has a CardType row.
    QCOMPARE(listedRows(f.MC_S_ADO, "Holder"), (QStringList{"张三", "经理", "楼层"}));
    QCOMPARE(listedRows(f.MC_S_ADO, "C_Title"), (QStringList{"宾客卡", "总卡", "楼层卡"}));
    QCOMPARE(statusOf(&f), QStringLiteral("记录：1/3"));
    clickRow(f.DBGrid1, 2);
    QCOMPARE(statusOf(&f), QStringLiteral("记录：3/3"));

    // One kind by its title; a change of the list runs the search.
    f.CardType_CB->setCurrentIndex(f.CardType_CB->findText(QStringLiteral("总卡")));
    QCOMPARE(listedRows(f.MC_S_ADO, "Holder"), QStringList{"经理"});
    f.DateStart_Dtp->setDate(today.addDays(-1));
    QTest::mouseClick(f.Check_Bt, Qt::LeftButton);
    QCOMPARE(listedRows(f.MC_S_ADO, "Holder"), (QStringList{"昨天", "经理"}));
    f.CardType_CB->setCurrentIndex(f.CardType_CB->count() - 1);
    QCOMPARE(listedRows(f.MC_S_ADO, "Holder"), (QStringList{"昨天", "张三", "经理", "楼层"}));
    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));

    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    saveScreenshot(&f, "MC_R_From");
}

void RecordsTest::deleteOldRecords() {
    // 1 March 2004 (a leap year): sixty days back is 1 January.
    qv::Clock::setTestTime(QDateTime(QDate(2004, 3, 1), QTime(10, 0)));
    addOperator("desk1", 1);
    addCard(4, "去年", QDateTime(QDate(2003, 12, 31), QTime(8, 0)));
    addCard(4, "元旦末", QDateTime(QDate(2004, 1, 1), QTime(23, 59, 59)));
    addCard(4, "一月二日", QDateTime(QDate(2004, 1, 2), QTime(0, 0)));
    addCard(4, "今天", QDateTime(QDate(2004, 3, 1), QTime(9, 0)));
    auto holders = [] {
        QStringList out;
        QSqlQuery q = dm->conn.run("select Holder from MakeCardRecord order by InputTime");
        while (q.next()) {
            out << q.value(0).toString();
        }
        return out;
    };

    TMC_R_From f;
    QVERIFY(f.DeleteOldData_Bt->isEnabled());
    QCOMPARE(f.DeleteOldData_Bt->text(), QStringLiteral("删除两个月以上制卡记录"));
    fx.dialogs->answer(qv::Answer::Cancel);
    QTest::mouseClick(f.DeleteOldData_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->boxes().size(), 1);
    const qv::Box question = fx.dialogs->last();
    QCOMPARE(question.title, QStringLiteral("信息提示"));
    QCOMPARE(question.text, QStringLiteral("是否要删除2004-01-01以前的制卡记录?"));
    QCOMPARE(question.icon, qv::Icon::Question);
    QCOMPARE(question.buttons, qv::Buttons::OkCancel);
    QCOMPARE(holders().size(), 4);

    fx.dialogs->clear();
    fx.dialogs->answer(qv::Answer::Ok);
    QTest::mouseClick(f.DeleteOldData_Bt, Qt::LeftButton);
    QCOMPARE(holders(), (QStringList{"一月二日", "今天"}));
    QCOMPARE(fx.dialogs->boxes().size(), 2);
    QCOMPARE(fx.dialogs->last().text, QStringLiteral("已删除 2 条制卡记录。"));
    QCOMPARE(fx.dialogs->last().icon, qv::Icon::Information);
    QCOMPARE(listedRows(f.MC_S_ADO, "Holder"), QStringList{"今天"});
}

void RecordsTest::deleteButtonFollowsRight_data() {
    QTest::addColumn<int>("right");  // -1: the operator has no row
    QTest::addColumn<bool>("enabled");
    QTest::newRow("SystemInfo right") << 1 << true;
    QTest::newRow("without it") << 0 << false;
    QTest::newRow("no operator row") << -1 << false;
    QTest::newRow("SystemInfo right on postgres") << 1 << true;
}

void RecordsTest::deleteButtonFollowsRight() {
    QFETCH(int, right);
    QFETCH(bool, enabled);
    addOperator("other", 1);
    if (right >= 0) {
        addOperator("desk1", right);
    }
    TMC_R_From f;
    QCOMPARE(f.DeleteOldData_Bt->isEnabled(), enabled);
    // The right's look-up leaves the operators as they were.
    QCOMPARE(dm->conn.scalar("select count(*) from Operator").toInt(), right >= 0 ? 2 : 1);
}

void RecordsTest::cardKeys() {
    addOperator("desk1", 1);
    addCard(10, "经理", QDateTime(kNow.date(), QTime(9, 0)));
    addCard(4, "张三", QDateTime(kNow.date().addDays(-2), QTime(9, 0)));
    TMC_R_From f;
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    // The status bar's three panels: the position, then two empty ones.
    QCOMPARE(f.StatusBar1->findChildren<QLabel*>().size(), 3);
    QVERIFY(f.StatusBar1->findChild<QLabel*>("StatusBar1_Panel2"));
    QCOMPARE(QApplication::focusWidget(), f.DateStart_Dtp);
    QCOMPARE(tabChain(&f, f.DateStart_Dtp, 8),
             (QStringList{"DateStart_Dtp", "DateEnd_Dtp", "CardType_CB", "Check_Bt", "DBGrid1",
                          "DeleteOldData_Bt", "Unconfirmed_Bt", "BitBtn2"}));
    // Enter in a picker runs the search (the default button).
    f.DateStart_Dtp->setDate(kNow.date().addDays(-7));
    f.DateStart_Dtp->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(listedRows(f.MC_S_ADO, "Holder"), (QStringList{"张三", "经理"}));
    f.DateStart_Dtp->setDate(kNow.date());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(listedRows(f.MC_S_ADO, "Holder"), QStringList{"经理"});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(!f.isVisible());
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!f.isVisible());
}

void RecordsTest::purgeKeepsCardsThatMayExist() {
    // Old rows of every state: only the written ones go, whatever their age.
    qv::Clock::setTestTime(QDateTime(QDate(2004, 3, 1), QTime(10, 0)));
    addOperator("desk1", 1);
    const QDateTime old(QDate(2003, 12, 1), QTime(8, 0));
    addCardInState(CardLogStates::Written, "写好", old);
    addCardInState(CardLogStates::Pending, "不明", old);
    addCardInState(CardLogStates::Unrecorded, "未保存", old);
    addCardInState(CardLogStates::Cancelled, "已注销", old);
    addCardInState(CardLogStates::Pending, "今天不明", QDateTime(QDate(2004, 3, 1), QTime(9, 0)));
    auto holders = [] {
        QStringList out;
        QSqlQuery q = dm->conn.run("select Holder from MakeCardRecord order by ID");
        while (q.next()) {
            out << q.value(0).toString();
        }
        return out;
    };

    TMC_R_From f;
    f.DateStart_Dtp->setDate(old.date());
    QTest::mouseClick(f.Check_Bt, Qt::LeftButton);
    // The list marks the rows the deletion keeps, with a hint.
    QCOMPARE(listedRows(f.MC_S_ADO, "Holder"),
             (QStringList{"写好", "不明", "未保存", "已注销", "今天不明"}));
    const QList<bool> unknown{false, true, true, false, true};
    const QList<int> states{0, 1, 2, 3, 1};
    for (int row = 0; row < 5; ++row) {
        QCOMPARE(f.IsOutcomeUnknownRow(row), unknown[row]);
        QCOMPARE(f.RowState(row), states[row]);
        QCOMPARE(f.RowHint(row).isEmpty(), row == 0);
    }
    QVERIFY2(f.RowHint(1).startsWith("写卡结果不明"), qPrintable(f.RowHint(1)));
    QVERIFY2(f.RowHint(2).startsWith("卡已写好，记录未保存"), qPrintable(f.RowHint(2)));
    QVERIFY2(f.RowHint(3).contains("已注销"), qPrintable(f.RowHint(3)));
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    saveScreenshot(&f, "MC_R_From_marked");
    // ... in English too.
    useEnglishProgramTexts();
    QVERIFY2(f.RowHint(1).startsWith("Outcome unknown\nCard issue not confirmed"),
             qPrintable(f.RowHint(1)));
    QVERIFY2(f.RowHint(2).startsWith("Card written, record not saved"), qPrintable(f.RowHint(2)));
    QVERIFY2(f.RowHint(3).startsWith("This card has been cancelled"), qPrintable(f.RowHint(3)));
    qv::setProgramTexts({});

    fx.dialogs->answer(qv::Answer::Ok);
    QTest::mouseClick(f.DeleteOldData_Bt, Qt::LeftButton);
    QCOMPARE(holders(), (QStringList{"不明", "未保存", "已注销", "今天不明"}));
    // The clerk is told how many were kept, and why.
    const QString said = fx.dialogs->last().text;
    QVERIFY2(said.startsWith("已删除 1 条制卡记录。"), qPrintable(said));
    QVERIFY2(said.contains("保留了 2 条写卡结果不明或记录未保存的制卡记录"), qPrintable(said));
    QVERIFY2(said.contains("保留了 1 条已注销的制卡记录"), qPrintable(said));

    // Nothing left to delete; the kept rows stay kept.
    const qv::CardRecordPurge again =
        qv::deleteCardRecordsUpTo(dm->conn, qv::cardRecordCutOff(qv::Clock::now().date()));
    QCOMPARE(again.removed, 0);
    QCOMPARE(again.keptUnconfirmed, 2);
    QCOMPARE(again.keptCancelled, 1);
}

void RecordsTest::deleteOldRecordsInSteps() {
    // Seven old written rows among kept ones, two rows a step.
    qv::Clock::setTestTime(QDateTime(QDate(2004, 3, 1), QTime(10, 0)));
    const QDateTime old(QDate(2003, 12, 1), QTime(8, 0));
    for (int i = 0; i < 7; ++i) {
        addCardInState(CardLogStates::Written, QStringLiteral("写好%1").arg(i), old.addSecs(i));
        if (i % 3 == 0) {
            addCardInState(CardLogStates::Pending, QStringLiteral("不明%1").arg(i), old);
        }
    }
    addCardInState(CardLogStates::Cancelled, "已注销", old);
    addCardInState(CardLogStates::Written, "今天", QDateTime(QDate(2004, 3, 1), QTime(9, 0)));
    const QDate cutOff = qv::cardRecordCutOff(qv::Clock::now().date());
    auto written = [] {
        return dm->conn.scalar("select count(*) from MakeCardRecord where CardState = 0").toInt();
    };

    // Stopped after the first step: what went stays gone, the rest stays.
    QList<int> told;
    qv::CardRecordPurge purge = qv::deleteCardRecordsUpTo(
        dm->conn, cutOff,
        [&](int removed) {
            told << removed;
            return false;
        },
        2);
    QCOMPARE(purge.removed, 2);
    QCOMPARE(told, QList<int>{2});
    QCOMPARE(written(), 6);
    // Then to the end: each step is told, the kept rows are kept and counted.
    told.clear();
    purge = qv::deleteCardRecordsUpTo(
        dm->conn, cutOff,
        [&](int removed) {
            told << removed;
            return true;
        },
        2);
    QCOMPARE(purge.removed, 5);
    QCOMPARE(told, (QList<int>{2, 4}));
    QCOMPARE(purge.keptUnconfirmed, 3);
    QCOMPARE(purge.keptCancelled, 1);
    QCOMPARE(written(), 1);  // today's
    QCOMPARE(dm->conn.scalar("select count(*) from MakeCardRecord").toInt(), 5);
}

void RecordsTest::unconfirmedCardsSettled() {
    addOperator("desk1", 1);
    dm->conn.execute("update Operator set CheckIn = 1, MasterCard = 1");
    const QDateTime issued(kNow.date(), QTime(8, 0));
    addCardInState(CardLogStates::Pending, "张三", issued, kNow.addSecs(-60));
    addCard(10, "经理", issued);
    dm->conn.execute(
        "update MakeCardRecord set CardState = :s, RoomStr = null where Holder = '经理'",
        {{":s", CardLogStates::Unrecorded}});
    addCardInState(CardLogStates::Written, "李四", issued);

    TMC_R_From records;
    fx.dialogs->clear();
    whenShown<TUnconfirmedCards_Form>([this](TUnconfirmedCards_Form* f) {
        // Each card by its room, kind, holder and issue time.
        QCOMPARE(f->Cards_Grid->rowCount(), 2);
        QCOMPARE(f->Cards_Grid->item(0, 0)->text(), QString("1203"));
        QCOMPARE(f->Cards_Grid->item(0, 1)->text(), QString("宾客卡"));
        QCOMPARE(f->Cards_Grid->item(0, 2)->text(), QString("张三"));
        QCOMPARE(f->Cards_Grid->item(0, 3)->text(), QString("2025-05-10 08:00"));
        QCOMPARE(f->Cards_Grid->item(0, 4)->text(), QString("写卡结果不明"));
        QCOMPARE(f->Cards_Grid->item(1, 1)->text(), QString("总卡"));
        QCOMPARE(f->Cards_Grid->item(1, 4)->text(), QString("卡已写好，记录未保存"));
        saveScreenshot(f, "UnconfirmedCards_Form");
        // The master card was handed over.
        f->Cards_Grid->setCurrentCell(1, 0);
        QVERIFY(f->Written_Bt->isEnabled());
        QTest::mouseClick(f->Written_Bt, Qt::LeftButton);
        QCOMPARE(f->Cards_Grid->rowCount(), 1);
        // The guest card is lost; its time is over, so no new card is offered.
        fx.dialogs->answer(qv::Answer::Ok);
        QTest::mouseClick(f->Lost_Bt, Qt::LeftButton);
        QCOMPARE(fx.dialogs->boxes().size(), 1);
        QCOMPARE(fx.dialogs->last().buttons, qv::Buttons::OkCancel);
        QVERIFY2(
            fx.dialogs->last().text.contains("1203") && fx.dialogs->last().text.contains("张三"),
            qPrintable(fx.dialogs->last().text));
        QCOMPARE(f->Cards_Grid->rowCount(), 0);
        QCOMPARE(f->Prompt_Label->text(), QString("没有发卡结果不明的卡。"));
        QVERIFY(!f->Written_Bt->isEnabled() && !f->Lost_Bt->isEnabled());
        QTest::keyClick(f, Qt::Key_Escape);
    });
    QTest::mouseClick(records.Unconfirmed_Bt, Qt::LeftButton);
    QCOMPARE(countRows("select count(*) from MakeCardRecord where CardState = 3"), 1);
    QCOMPARE(countRows("select count(*) from MakeCardRecord where CardState = 0"), 2);
    QVERIFY(UnconfirmedCards().isEmpty());
    QVERIFY(UnconfirmedCardsNotice().isEmpty());
    // A row settled at another desk meanwhile is not settled twice.
    QVERIFY(!MarkCardWritten(1));
    QVERIFY(!MarkCardCancelled(1));
}

void RecordsTest::unconfirmedCardsFollowTheRights() {
    // A clerk who may issue guest cards but not master cards.
    addOperator("desk1", 0);
    dm->conn.execute("update Operator set CheckIn = 1, MasterCard = 0");
    addCardInState(CardLogStates::Pending, "张三", QDateTime(kNow.date(), QTime(8, 0)));
    addCard(10, "经理", QDateTime(kNow.date(), QTime(8, 1)));
    dm->conn.execute("update MakeCardRecord set CardState = 1 where Holder = '经理'");
    TUnconfirmedCards_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QCOMPARE(f.Cards_Grid->currentRow(), 0);
    QVERIFY(f.Written_Bt->isEnabled() && f.Lost_Bt->isEnabled());
    f.Cards_Grid->setCurrentCell(1, 0);
    QVERIFY(!f.Written_Bt->isEnabled() && !f.Lost_Bt->isEnabled());
    f.Written_BtClick();  // a press that comes through all the same
    QCOMPARE(UnconfirmedCards().size(), 2);
    // The keyboard: the list, then the buttons.
    f.Cards_Grid->setCurrentCell(0, 0);
    f.Cards_Grid->setFocus();
    QTest::keyClick(f.Cards_Grid, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.Written_Bt);
    QTest::keyClick(f.Written_Bt, Qt::Key_Space);
    QCOMPARE(UnconfirmedCards().size(), 1);
    QTest::keyClick(&f, Qt::Key_Escape);
    QVERIFY(!f.isVisible());
}

QTEST_MAIN(RecordsTest)
#include "tst_records.moc"
