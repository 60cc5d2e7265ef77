// The special cards window through the real encoder binding and the
// simulator (state folder in the test's program folder), on SQLite and, for
// the rows tagged "postgres", on the test server.
#include "SimEncoder.h"
#include "TestSupport.h"
#include "WindowFixture.h"
#include "data/Session.h"
#include "window/CardOperation.h"

#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "card/Encoder.h"
#include "cards/MakeCard_Unit.h"
#include "data/DataSet.h"
#include "data/dm_unit.h"
#include "language/ComponentText.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/RadioGroup.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"
#include "window/TabSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTimeEdit>
#include <QtTest>
#include <memory>

namespace {

const char* const kPgDatabase = "qvtest_makecard";
// The window opens at 09:00 on 1 March; TimeTolerance is 10, LeaveTime 12:00.
const QDate kToday(2025, 3, 1);
const QDate kTomorrow(2025, 3, 2);
const QDateTime kOpened(kToday, QTime(9, 0));

const QStringList kCardRights = {"TimeCard",     "DataCard",   "MasterCard", "DistrictCard",
                                 "BuildingCard", "FloorCard",  "ClearCard",  "EmergentCard",
                                 "LostCard",     "PassageCard"};

// The operator `staffer` with every card right except `without`.
void addOperator(const QString& staffer, const QStringList& without = {}) {
    QStringList values;
    for (const QString& right : kCardRights) {
        values << (without.contains(right) ? "0" : "1");
    }
    dm->conn.execute(QStringLiteral("insert into Operator (Staffer, StafferName, %1) values "
                                    "(:s, :n, %2)")
                         .arg(kCardRights.join(", "), values.join(", ")),
                     {{":s", staffer}, {":n", "前台一"}});
}

int counter(int kind) {
    return dm->conn.scalar("select CardSn from AllCardSn where CardType = :k", {{":k", kind}})
        .toInt();
}
void setCounter(int kind, int value) {
    dm->conn.execute("update AllCardSn set CardSn = :v where CardType = :k",
                     {{":k", kind}, {":v", value}});
}
int logRows() {
    return dm->conn.scalar("select count(*) from MakeCardRecord").toInt();
}
// Every counter, kind by kind.
QMap<int, int> counters() {
    QMap<int, int> all;
    QSqlQuery q = dm->conn.run("select CardType, CardSn from AllCardSn");
    while (q.next()) {
        all.insert(q.value(0).toInt(), q.value(1).toInt());
    }
    return all;
}

// Presses Tab until the focus leaves the control that has it (a date or
// time picker steps through its fields first); the control it lands on.
QWidget* tabToNextControl() {
    QWidget* from = QApplication::focusWidget();
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() != from) {
            return QApplication::focusWidget();
        }
    }
    return nullptr;
}

void choose(QComboBox* box, const QString& text) {
    const int at = box->findText(text);
    QVERIFY2(at >= 0, qPrintable(text));
    box->setCurrentIndex(at);
}

}  // namespace

class MakeCardTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void windowAndDefaults();
    void everyPageIssuesItsCard_data();
    void everyPageIssuesItsCard();
    void rightsFollowThePage_data() { addDatabaseKinds(); }
    void rightsFollowThePage();
    void missingOperatorRowEndsTheProgram();
    void timeCardAtMostAnHourAhead_data();
    void timeCardAtMostAnHourAhead();
    void lostCardAtMostADay_data();
    void lostCardAtMostADay();
    void listsMustBeChosen_data();
    void listsMustBeChosen();
    void busyLatchIgnoresASecondPress();
    void encoderFailuresChangeNothing_data();
    void encoderFailuresChangeNothing();
    void unloggedCardKeepsNothing();
    void writtenCardWhoseRecordsFailed_data();
    void writtenCardWhoseRecordsFailed();
    void twoDesksNeverShareASerial_data() { addDatabaseKinds(); }
    void twoDesksNeverShareASerial();
    void keyboardPath();
    void pageCaptionsFromTheLanguageStore();

private:
    WindowFixture fx;
    std::unique_ptr<SimEncoder> sim_;
};

void MakeCardTest::init() {
    QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase);
    addOperator(qv::session().login);
    qv::Clock::setTestTime(kOpened);
    qv::clearTerminateRequest();
    sim_ = std::make_unique<SimEncoder>(*fx.app);
    QVERIFY(sim_->loaded());
    QVERIFY(sim_->command("place blank"));
}

void MakeCardTest::cleanup() {
    sim_.reset();
    fx.tearDown();
    qv::clearTerminateRequest();
}

void MakeCardTest::windowAndDefaults() {
    TMakeCard_Form f;
    QCOMPARE(f.objectName(), QString("MakeCard_Form"));
    QCOMPARE(f.windowTitle(), QString("发行卡"));
    QCOMPARE(f.Encode_Bt->text(), QString("发卡(&W)"));
    QCOMPARE(f.BitBtn2->text(), QString("关闭(&C)"));

    const QStringList sheets = {"TabSheet2",  "TabSheet4", "TabSheet5",    "TabSheet6",
                                "TabSheet7",  "TabSheet8", "ClearCard_TS", "TabSheet10",
                                "TabSheet11", "TabSheet1"};
    const QStringList captions = {"校时卡", "采集启动卡", "总卡",   "区域卡", "楼号卡",
                                  "楼层卡", "清除卡",     "应急卡", "挂失卡", "通道设置卡"};
    QCOMPARE(f.PageControl1->count(), 10);
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(f.PageControl1->widget(i)->objectName(), sheets[i]);
        QCOMPARE(f.PageControl1->tabText(i), captions[i]);
    }

    // Hidden, unticked loss report boxes on pages 0 to 8; none on the passage page.
    const QStringList boxes = {"CB_eO_Time",     "CB_eO_Data",     "CB_eO_Chief",
                               "CB_eO_District", "CB_eO_Building", "CB_eO_Floor",
                               "CB_eO_LongOpen", "CB_eO_Emergent", "CB_eO_Lost"};
    for (int i = 0; i < boxes.size(); ++i) {
        auto* box = f.PageControl1->widget(i)->findChild<QCheckBox*>(boxes[i]);
        QVERIFY2(box, qPrintable(boxes[i]));
        QVERIFY(box->isHidden() && !box->isChecked());
        QCOMPARE(box->text(), QString("应用挂失"));
    }
    QVERIFY(f.TabSheet1->findChildren<QCheckBox*>().isEmpty());

    QCOMPARE(f.LostCardType_RG->items(),
             QStringList({"清除卡", "校时卡", "挂失卡", "应急卡", "总卡", "楼号卡", "楼层卡",
                          "客人卡", "区域卡", "通道设置卡"}));
    QCOMPARE(f.LostCardType_RG->itemIndex(), 0);
    QCOMPARE(f.LostCardType_RG->columns(), 3);
    for (QLineEdit* holder : {f.E_H_Time, f.E_H_Data, f.E_H_Chief, f.E_H_District, f.E_H_Building,
                              f.E_H_Floor, f.E_H_LongOpen, f.E_H_Emergent, f.E_H_Special}) {
        QCOMPARE(holder->maxLength(), 20);
    }
    QVERIFY(f.E_H_Lost->maxLength() > 1000);

    // Start pickers: the moment the window opened, disabled. End pickers:
    // tomorrow at the check-out time, the passage card at the current time.
    struct Pickers {
        QDateEdit* sd;
        QTimeEdit* st;
        QDateEdit* ed;
        QTimeEdit* et;
        QDate endDate;
        QTime endTime;
    };
    const Pickers pickers[] = {
        {f.SD_Data_Dtp, f.ST_Data_Dtp, f.ED_Data_Dtp, f.ET_Data_Dtp, kTomorrow, QTime(12, 0)},
        {f.SD_Chief_Dtp, f.ST_Chief_Dtp, f.ED_Chief_Dtp, f.ET_Chief_Dtp, kTomorrow, QTime(12, 0)},
        {f.SD_District_Dtp, f.ST_District_Dtp, f.ED_District_Dtp, f.ET_District_Dtp, kTomorrow,
         QTime(12, 0)},
        {f.SD_Building_Dtp, f.ST_Building_Dtp, f.ED_Building_Dtp, f.ET_Building_Dtp, kTomorrow,
         QTime(12, 0)},
        {f.SD_Floor_Dtp, f.ST_Floor_Dtp, f.ED_Floor_Dtp, f.ET_Floor_Dtp, kTomorrow, QTime(12, 0)},
        {f.SD_LongOpen_Dtp, f.ST_LongOpen_Dtp, f.ED_LongOpen_Dtp, f.ET_LongOpen_Dtp, kTomorrow,
         QTime(12, 0)},
        {f.SD_Emergent_Dtp, f.ST_Emergent_Dtp, f.ED_Emergent_Dtp, f.ET_Emergent_Dtp, kTomorrow,
         QTime(12, 0)},
        {f.SD_Lost_Dtp, f.ST_Lost_Dtp, f.ED_Lost_Dtp, f.ET_Lost_Dtp, kToday, QTime(9, 0)},
        {f.DateTimePicker1, f.DateTimePicker4, f.DateTimePicker2, f.DateTimePicker3, kTomorrow,
         QTime(9, 0)},
    };
    for (const Pickers& p : pickers) {
        QCOMPARE(p.sd->date(), kToday);
        QCOMPARE(p.st->time(), QTime(9, 0));
        QVERIFY(!p.sd->isEnabled() && !p.st->isEnabled());
        QCOMPARE(p.ed->date(), p.endDate);
        QCOMPARE(p.et->time(), p.endTime);
    }
    QCOMPARE(f.TimeCardDt_DTP->date(), kToday);
    QCOMPARE(f.TimeCardTm_DTP->time(), QTime(9, 0));
    QVERIFY(f.TimeCardDt_DTP->isEnabled() && f.TimeCardTm_DTP->isEnabled());

    // The lists: buildings and floors that have rooms, the districts; none chosen.
    auto items = [](QComboBox* box) {
        QStringList all;
        for (int i = 0; i < box->count(); ++i) {
            all << box->itemText(i);
        }
        return all;
    };
    QCOMPARE(items(f.Buiding_CB), QStringList({"1", "2"}));
    QCOMPARE(items(f.Buiding_Flc_CB), QStringList({"1", "2"}));
    QCOMPARE(items(f.Floor_CB), QStringList({"1", "2", "3"}));
    QCOMPARE(items(f.District_CB), QStringList({"1", "2"}));
    for (QComboBox* box : {f.Buiding_CB, f.Buiding_Flc_CB, f.Floor_CB, f.District_CB}) {
        QCOMPARE(box->currentIndex(), -1);
        QVERIFY(!box->isEditable());
    }
    // The first page is the time card page, usable with the right.
    QCOMPARE(f.PageControl1->currentIndex(), 0);
    QVERIFY(f.TabSheet2->isEnabled() && f.Encode_Bt->isEnabled());
    QVERIFY(f.Encode_Bt->isDefault());

    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.PageControl1->setCurrentIndex(TMakeCard_Form::FloorPage);
    saveScreenshot(&f, "MakeCard_Form_floor");
    f.PageControl1->setCurrentIndex(TMakeCard_Form::LostPage);
    saveScreenshot(&f, "MakeCard_Form_lost");
    f.PageControl1->setCurrentIndex(TMakeCard_Form::TimePage);
    saveScreenshot(&f, "MakeCard_Form_time");
}

void MakeCardTest::everyPageIssuesItsCard_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("cardType");
    QTest::addColumn<int>("counterKind");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<int>("building");
    QTest::addColumn<int>("floor");
    QTest::addColumn<int>("district");
    QTest::addColumn<int>("lostKind");

    const QDateTime from(kToday, QTime(9, 10));            // opened + tolerance
    const QDateTime untilLeave(kTomorrow, QTime(12, 10));  // tomorrow, LeaveTime + tolerance
    struct Row {
        const char* tag;
        int page, type, kind;
        QDateTime start, end;
        int building, floor, district, lost;
    };
    const Row rows[] = {
        // The time card: the moment of the press to the set time, no tolerance.
        {"time", TMakeCard_Form::TimePage, 2, 2, kOpened, QDateTime(kToday, QTime(9, 30)), 0, 0, 0,
         0},
        {"data-collection start", TMakeCard_Form::DataPage, 14, 13, from, untilLeave, 0, 0, 0, 0},
        // Opened at 09:00 with tolerance 10, ending tomorrow at 12:00: 09:10 to 12:10.
        {"master", TMakeCard_Form::ChiefPage, 10, 5, from, untilLeave, 0, 0, 0, 0},
        {"district", TMakeCard_Form::DistrictPage, 6, 9, from, untilLeave, 0, 0, 2, 0},
        {"building", TMakeCard_Form::BuildingPage, 8, 6, from, untilLeave, 2, 0, 0, 0},
        {"floor", TMakeCard_Form::FloorPage, 5, 7, from, untilLeave, 2, 3, 0, 0},
        {"clear", TMakeCard_Form::LongOpenPage, 1, 1, from, untilLeave, 0, 0, 0, 0},
        {"emergency", TMakeCard_Form::EmergentPage, 3, 4, from, untilLeave, 0, 0, 0, 0},
        // Reporting a passage setting card lost: kind 10 on the card, type 12 in the log.
        {"lost-report", TMakeCard_Form::LostPage, 12, 3, from, QDateTime(kToday, QTime(9, 10)), 0,
         0, 0, 10},
        {"passage setting", TMakeCard_Form::SpecialPage, 9, 10, from,
         QDateTime(kTomorrow, QTime(9, 10)), 0, 0, 0, 0},
    };
    for (const char* suffix : {"", " on postgres"}) {
        for (const Row& r : rows) {
            QTest::newRow(qPrintable(QString(r.tag) + suffix))
                << r.page << r.type << r.kind << r.start << r.end << r.building << r.floor
                << r.district << r.lost;
        }
    }
}

void MakeCardTest::everyPageIssuesItsCard() {
    QFETCH(int, page);
    QFETCH(int, cardType);
    QFETCH(int, counterKind);
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(int, building);
    QFETCH(int, floor);
    QFETCH(int, district);
    QFETCH(int, lostKind);

    setCounter(counterKind, 41);
    QMap<int, int> expectedCounters = counters();
    expectedCounters[counterKind] = 42;

    TMakeCard_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.PageControl1->setCurrentIndex(page);
    QVERIFY(f.Encode_Bt->isEnabled());
    auto* holder = f.PageControl1->widget(page)->findChild<QLineEdit*>();
    QVERIFY(holder && holder->objectName().startsWith("E_H_"));
    holder->setText("持卡人甲");
    switch (page) {
        case TMakeCard_Form::TimePage:
            f.TimeCardTm_DTP->setTime(QTime(9, 30));
            break;
        case TMakeCard_Form::DistrictPage:
            choose(f.District_CB, QString::number(district));
            break;
        case TMakeCard_Form::BuildingPage:
            choose(f.Buiding_CB, QString::number(building));
            break;
        case TMakeCard_Form::FloorPage:
            choose(f.Buiding_Flc_CB, QString::number(building));
            choose(f.Floor_CB, QString::number(floor));
            break;
        case TMakeCard_Form::LostPage:
            // On its circle: the rest of the button's width is no target.
            QTest::mouseClick(f.LostCardType_RG->button(lostKind - 1), Qt::LeftButton, {},
                              QPoint(8, f.LostCardType_RG->button(lostKind - 1)->height() / 2));
            break;
        default:
            break;
    }
    // The time card takes the moment of the press; the window opened earlier.
    qv::Clock::setTestTime(page == TMakeCard_Form::TimePage ? kOpened : kOpened.addSecs(300));
    QTest::mouseClick(f.Encode_Bt, Qt::LeftButton);

    QVERIFY2(fx.dialogs->boxes().isEmpty(), qPrintable(fx.dialogs->texts().join('\n')));
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));

    // The card on the encoder, field by field.
    int16_t code = 0;
    const TCardData card = sim_->card(&code);
    QCOMPARE(code, int16_t(1));
    QCOMPARE(int(card.CardType[0]), cardType);
    QCOMPARE(int(card.CardType[1]), lostKind);
    QCOMPARE(CardSerial(card), 41);
    QCOMPARE(int(card.CardSn[2]) + card.CardSn[3] + card.CardSn[4], 0);
    QCOMPARE(int(card.Building), building);
    QCOMPARE(int(card.Floor[0]), floor);
    QCOMPARE(int(card.District[0]), district);
    QCOMPARE(int(card.Override), 1);
    for (uint16_t w : card.RoomAddr) {
        QCOMPARE(int(w), 0);
    }
    QCOMPARE(CardTimeToDate(card.StartTime), start);
    QCOMPARE(CardTimeToDate(card.EndTime), end);

    // Its log row and its counter; no other counter moved.
    qv::DataSet log(dm->conn);
    log.setSql("select * from MakeCardRecord order by ID");
    log.open();
    QCOMPARE(log.recordCount(), 1);
    QCOMPARE(log.asInteger("CardType"), cardType);
    QCOMPARE(log.text("Rom"), CardRom(card));
    QCOMPARE(log.text("Rom"), QString("%1").arg(cardType, 2, 16, QChar('0')).toUpper() + "000029");
    QCOMPARE(log.text("Holder"), QString("持卡人甲"));
    QCOMPARE(log.text("Explain"), QString());
    QCOMPARE(log.text("MakeUser"), QString("desk1"));
    QCOMPARE(log.text("MakeName"), QString("前台一"));
    QCOMPARE(log.asInteger("enOverride"), 1);
    QCOMPARE(log.value("StartTime").toDateTime(), start);
    QCOMPARE(log.value("EndTime").toDateTime(), end);
    QCOMPARE(log.value("Buiding").toInt(), cardType == 8 ? building : 0);
    QCOMPARE(log.value("Floor").toInt(), floor);
    QCOMPARE(log.value("District").toInt(), district);
    QCOMPARE(counters(), expectedCounters);
}

void MakeCardTest::rightsFollowThePage() {
    // A login name with a quote is a value like any other.
    qv::session().login = "o'brien";
    addOperator("o'brien", {"FloorCard"});

    // As the main window opens it: the floor page made active after creation.
    TMakeCard_Form f;
    f.PageControl1->setCurrentIndex(TMakeCard_Form::FloorPage);
    QVERIFY(!f.TabSheet8->isEnabled());
    QVERIFY(!f.Encode_Bt->isEnabled());
    // The tab can still be chosen and left.
    f.PageControl1->setCurrentIndex(TMakeCard_Form::ChiefPage);
    QVERIFY(f.TabSheet5->isEnabled());
    QVERIFY(f.Encode_Bt->isEnabled());
    f.PageControl1->setCurrentIndex(TMakeCard_Form::FloorPage);
    QVERIFY(!f.Encode_Bt->isEnabled());

    // A right taken away while the window is open counts at the next page change.
    dm->conn.execute("update Operator set MasterCard = 0 where Staffer = :s", {{":s", "o'brien"}});
    f.PageControl1->setCurrentIndex(TMakeCard_Form::ChiefPage);
    QVERIFY(!f.TabSheet5->isEnabled());
    QVERIFY(!f.Encode_Bt->isEnabled());
    QVERIFY(!qv::terminateRequested());
    QVERIFY(fx.dialogs->boxes().isEmpty());
}

void MakeCardTest::missingOperatorRowEndsTheProgram() {
    qv::session().login = "nobody' or '1'='1";
    TMakeCard_Form f;
    QVERIFY(qv::terminateRequested());
    QVERIFY(!f.Encode_Bt->isEnabled());
    QVERIFY(!f.TabSheet2->isEnabled());
}

void MakeCardTest::timeCardAtMostAnHourAhead_data() {
    QTest::addColumn<int>("minutesAhead");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("59 minutes ahead") << 59 << true;
    QTest::newRow("exactly an hour") << 60 << true;
    QTest::newRow("61 minutes ahead") << 61 << false;
    QTest::newRow("two hours ago") << -120 << true;
    QTest::newRow("yesterday") << -24 * 60 << true;
}

void MakeCardTest::timeCardAtMostAnHourAhead() {
    QFETCH(int, minutesAhead);
    QFETCH(bool, accepted);
    TMakeCard_Form f;
    // The window has been open a while: the limit counts from the press.
    qv::Clock::setTestTime(kOpened.addSecs(20 * 60));
    const QDateTime set = qv::Clock::now().addSecs(minutesAhead * 60);
    f.TimeCardDt_DTP->setDate(set.date());
    f.TimeCardTm_DTP->setTime(set.time());
    QTest::mouseClick(f.Encode_Bt, Qt::LeftButton);

    if (accepted) {
        QVERIFY(fx.dialogs->boxes().isEmpty());
        QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
        const TCardData card = sim_->card();
        QCOMPARE(CardTimeToDate(card.StartTime), qv::Clock::now());
        QCOMPARE(CardTimeToDate(card.EndTime), set);
        QCOMPARE(counter(2), 1);
        QCOMPARE(logRows(), 1);
    } else {
        QCOMPARE(fx.dialogs->texts(), QStringList({"设定时间不能超过一小时！"}));
        QCOMPARE(f.Prompt_Label->text(), QString());
        QCOMPARE(int(sim_->card().CardType[0]), 0);  // still blank
        QCOMPARE(counter(2), 0);
        QCOMPARE(logRows(), 0);
    }
}

void MakeCardTest::lostCardAtMostADay_data() {
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<QTime>("endTime");
    QTest::addColumn<bool>("accepted");
    // The card's end (the pickers plus the tolerance) at most a day after the press at 09:00.
    QTest::newRow("exactly a day") << 0 << QTime(9, 0) << true;
    QTest::newRow("a day and a minute") << 0 << QTime(9, 1) << false;
    QTest::newRow("a day with the tolerance") << 10 << QTime(8, 50) << true;
    QTest::newRow("a minute more with the tolerance") << 10 << QTime(8, 51) << false;
}

void MakeCardTest::lostCardAtMostADay() {
    QFETCH(int, tolerance);
    QFETCH(QTime, endTime);
    QFETCH(bool, accepted);
    LockSystemInfo.TimeTolerance = tolerance;
    TMakeCard_Form f;
    f.PageControl1->setCurrentIndex(TMakeCard_Form::LostPage);
    f.ED_Lost_Dtp->setDate(kTomorrow);
    f.ET_Lost_Dtp->setTime(endTime);
    QTest::mouseClick(f.Encode_Bt, Qt::LeftButton);
    if (accepted) {
        QVERIFY(fx.dialogs->boxes().isEmpty());
        QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
        QCOMPARE(CardTimeToDate(sim_->card().EndTime), QDateTime(kTomorrow, QTime(9, 0)));
        QCOMPARE(counter(3), 1);
    } else {
        QCOMPARE(fx.dialogs->texts(), QStringList({"设定时间不能超过一天！"}));
        QCOMPARE(int(sim_->card().CardType[0]), 0);
        QCOMPARE(counter(3), 0);
        QCOMPARE(logRows(), 0);
    }
}

void MakeCardTest::listsMustBeChosen_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("building");
    QTest::addColumn<QString>("floor");
    QTest::addColumn<QString>("message");
    QTest::newRow("building card without building") << int(TMakeCard_Form::BuildingPage) << ""
                                                    << ""
                                                    << "请选择楼号!";
    QTest::newRow("floor card with a floor but no building") << int(TMakeCard_Form::FloorPage) << ""
                                                             << "2"
                                                             << "请选择楼号!";
    QTest::newRow("floor card without floor") << int(TMakeCard_Form::FloorPage) << "1"
                                              << ""
                                              << "请选择楼层!";
    QTest::newRow("district card without district") << int(TMakeCard_Form::DistrictPage) << ""
                                                    << ""
                                                    << "请选择区域!";
}

void MakeCardTest::listsMustBeChosen() {
    QFETCH(int, page);
    QFETCH(QString, building);
    QFETCH(QString, floor);
    QFETCH(QString, message);
    const QMap<int, int> before = counters();
    TMakeCard_Form f;
    f.PageControl1->setCurrentIndex(page);
    if (!floor.isEmpty()) {
        choose(f.Floor_CB, floor);
    }
    if (!building.isEmpty()) {
        choose(f.Buiding_Flc_CB, building);
    }
    QTest::mouseClick(f.Encode_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->texts(), QStringList({message}));
    QCOMPARE(f.Prompt_Label->text(), QString());
    QCOMPARE(int(sim_->card().CardType[0]), 0);
    QCOMPARE(counters(), before);
    QCOMPARE(logRows(), 0);
    // The window is as it was: the button comes back after the pause.
    QTRY_VERIFY(f.Encode_Bt->isEnabled());
}

void MakeCardTest::busyLatchIgnoresASecondPress() {
    TMakeCard_Form f;
    f.PageControl1->setCurrentIndex(TMakeCard_Form::ChiefPage);
    QTest::mouseClick(f.Encode_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    // The button is off for a pause that does not freeze the window.
    QVERIFY(!f.Encode_Bt->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(f.Encode_Bt->isEnabled(), 1000);
    QVERIFY(qv::CardOperation::busy());

    // A second press before the main window's timer clears the latch does nothing.
    QVERIFY(sim_->command("place blank"));
    QTest::mouseClick(f.Encode_Bt, Qt::LeftButton);
    QCOMPARE(int(sim_->card().CardType[0]), 0);
    QCOMPARE(counter(5), 1);
    QCOMPARE(logRows(), 1);

    qv::CardOperation::releaseLatch();  // the timer's tick
    QTest::mouseClick(f.Encode_Bt, Qt::LeftButton);
    QCOMPARE(CardSerial(sim_->card()), 1);
    QCOMPARE(counter(5), 2);
    QCOMPARE(logRows(), 2);
}

void MakeCardTest::encoderFailuresChangeNothing_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("no card") << "remove"
                             << "无卡！";
    QTest::newRow("no encoder") << "set online 0"
                                << "无发卡机！";
    QTest::newRow("write failure") << "set fail-next"
                                   << "操作失败！";
    QTest::newRow("no encoder on postgres") << "set online 0"
                                            << "无发卡机！";
}

void MakeCardTest::encoderFailuresChangeNothing() {
    QFETCH(QString, command);
    QFETCH(QString, prompt);
    setCounter(5, 7);
    const QMap<int, int> before = counters();
    TMakeCard_Form f;
    f.PageControl1->setCurrentIndex(TMakeCard_Form::ChiefPage);
    QVERIFY(sim_->command(command));
    QTest::mouseClick(f.Encode_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), prompt);
    QVERIFY(fx.dialogs->boxes().isEmpty());
    QCOMPARE(counters(), before);
    QCOMPARE(logRows(), 0);

    // Back on line with a card: the same serial is written.
    QVERIFY(sim_->command("set online 1"));
    QVERIFY(sim_->command("place blank"));
    qv::CardOperation::releaseLatch();
    QTRY_VERIFY(f.Encode_Bt->isEnabled());
    QTest::mouseClick(f.Encode_Bt, Qt::LeftButton);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    QCOMPARE(CardSerial(sim_->card()), 7);
    QCOMPARE(counter(5), 8);
}

void MakeCardTest::unloggedCardKeepsNothing() {
    // The issue log cannot take the row: nothing of the card is kept, and
    // the operator is told.
    dm->conn.execute("drop table MakeCardRecord");
    setCounter(5, 3);
    TMakeCard_Form f;
    f.PageControl1->setCurrentIndex(TMakeCard_Form::ChiefPage);
    QTest::mouseClick(f.Encode_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->boxes().size(), 1);
    QCOMPARE(fx.dialogs->boxes().first().icon, qv::Icon::Error);
    QCOMPARE(f.Prompt_Label->text(), QString("操作失败！"));
    QCOMPARE(counter(5), 3);
    QTRY_VERIFY(f.Encode_Bt->isEnabled());
}

void MakeCardTest::writtenCardWhoseRecordsFailed_data() {
    QTest::addColumn<QString>("refused");  // the log row updates the database refuses
    QTest::addColumn<int>("state");        // what the card's row says afterwards
    QTest::newRow("its records") << "new.CardState = 0" << CardLogStates::Unrecorded;
    QTest::newRow("its records and the mark") << "new.CardState <> 1" << CardLogStates::Pending;
}

// The encoder wrote the master card and the log could not take its records:
// the prompt says the card exists, and the row names its holder either way.
void MakeCardTest::writtenCardWhoseRecordsFailed() {
    QFETCH(QString, refused);
    QFETCH(int, state);
    dm->conn.run(QStringLiteral("create trigger no_records before update on MakeCardRecord "
                                "when %1 begin select raise(abort, 'disk full'); end")
                     .arg(refused));
    TMakeCard_Form f;
    f.PageControl1->setCurrentIndex(TMakeCard_Form::ChiefPage);
    f.E_H_Chief->setText("经理");
    QTest::mouseClick(f.Encode_Bt, Qt::LeftButton);
    QCOMPARE(int(sim_->card().CardType[0]), int(CardTypes::Master));  // written
    QCOMPARE(f.Prompt_Label->text(), QString("卡已写好，但记录未保存：请注销此卡！"));
    QCOMPARE(fx.dialogs->boxes().size(), 1);
    QVERIFY2(fx.dialogs->last().text.contains("disk full"), qPrintable(fx.dialogs->last().text));
    const QList<UnconfirmedCard> open = UnconfirmedCards();
    QCOMPARE(open.size(), 1);
    QCOMPARE(open.first().state, state);
    QCOMPARE(open.first().holder, QString("经理"));
}

void MakeCardTest::twoDesksNeverShareASerial() {
#ifndef QV_WORKER
    QSKIP("the card issue worker is built with the card issue log suite");
#else
    // Another front desk issues master cards as fast as it can while this
    // window issues its own.
    QString database;
    if (onServerRow()) {
        const PgServer pg = PgServer::fromEnvironment();
        database = QStringLiteral("pg:%1:%2:%3:%4:%5")
                       .arg(pg.host)
                       .arg(pg.port)
                       .arg(pg.user, pg.password, kPgDatabase);
    } else {
        database = fx.app->file("db/lock.db");
    }
    constexpr int kWorkerCards = 200;
    constexpr int kWindowCards = 10;
    QProcess worker;
    worker.start(QStringLiteral(QV_WORKER),
                 {database, QStringLiteral("kind:5:%1").arg(kWorkerCards)});
    QVERIFY(worker.waitForStarted());

    TMakeCard_Form f;
    f.PageControl1->setCurrentIndex(TMakeCard_Form::ChiefPage);
    QSet<qint64> mine;
    for (int i = 0; i < kWindowCards; ++i) {
        qv::CardOperation::releaseLatch();
        QTRY_VERIFY(f.Encode_Bt->isEnabled());
        QVERIFY(sim_->command("place blank"));
        QTest::mouseClick(f.Encode_Bt, Qt::LeftButton);
        QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
        mine.insert(CardSerial(sim_->card()));
    }
    QVERIFY(worker.state() == QProcess::NotRunning || worker.waitForFinished(60000));
    QCOMPARE(worker.exitCode(), 0);
    QSet<qint64> theirs;
    for (const QByteArray& line : worker.readAllStandardOutput().split('\n')) {
        // "issued kind:5 SERIAL" for every card the other desk wrote.
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.size() == 3 && words[0] == "issued") {
            theirs.insert(words[2].toLongLong());
        }
    }
    QCOMPARE(mine.size(), kWindowCards);
    QCOMPARE(theirs.size(), kWorkerCards);
    QVERIFY(!mine.intersects(theirs));
    QCOMPARE(counter(5), kWorkerCards + kWindowCards);
    QCOMPARE(dm->conn.scalar("select count(distinct Rom) from MakeCardRecord where CardType = 10")
                 .toInt(),
             kWorkerCards + kWindowCards);
#endif
}

void MakeCardTest::keyboardPath() {
    TMakeCard_Form f;
    f.show();
    QApplication::setActiveWindow(&f);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    f.PageControl1->setCurrentIndex(TMakeCard_Form::FloorPage);

    // Tab runs through the page's boxes (the start pickers are fixed), then the buttons.
    f.E_H_Floor->setFocus();
    const QList<QWidget*> order = {f.ED_Floor_Dtp, f.ET_Floor_Dtp, f.Buiding_Flc_CB,
                                   f.Floor_CB,     f.Encode_Bt,    f.BitBtn2};
    for (QWidget* next : order) {
        QCOMPARE(tabToNextControl(), next);
    }

    // Choosing from the lists with the keyboard and Enter issues the card.
    f.Buiding_Flc_CB->setFocus();
    QTest::keyClick(f.Buiding_Flc_CB, Qt::Key_Down);
    f.Floor_CB->setFocus();
    QTest::keyClick(f.Floor_CB, Qt::Key_Down);
    QTest::keyClick(f.Floor_CB, Qt::Key_Down);
    f.E_H_Floor->setFocus();
    QTest::keyClicks(f.E_H_Floor, "Floor staff");
    QTest::keyClick(f.E_H_Floor, Qt::Key_Return);
    QCOMPARE(f.Prompt_Label->text(), QString("操作成功！"));
    const TCardData card = sim_->card();
    QCOMPARE(int(card.CardType[0]), 5);
    QCOMPARE(int(card.Building), 1);
    QCOMPARE(int(card.Floor[0]), 2);

    // Alt+W is the button's accelerator (the offscreen platform does not
    // deliver mnemonics); Space presses the button that has the focus.
    QCOMPARE(QKeySequence::mnemonic(f.Encode_Bt->text()), QKeySequence("Alt+W"));
    QCOMPARE(QKeySequence::mnemonic(f.BitBtn2->text()), QKeySequence("Alt+C"));
    qv::CardOperation::releaseLatch();
    QTRY_VERIFY(f.Encode_Bt->isEnabled());
    f.Encode_Bt->setFocus();
    QTest::keyClick(f.Encode_Bt, Qt::Key_Space);
    QCOMPARE(counter(7), 2);

    // Esc closes the window.
    QTest::keyClick(f.E_H_Floor, Qt::Key_Escape);
    QVERIFY(!f.isVisible());
    QCOMPARE(f.result(), int(QDialog::Rejected));
}

void MakeCardTest::pageCaptionsFromTheLanguageStore() {
    // Page captions are component texts like any other.
    TMakeCard_Form f;
    QVERIFY(qv::language::captureText(f.TabSheet8).contains("caption:楼层卡"));
    qv::language::applyText(f.TabSheet8, "caption:Floor cards");
    QCOMPARE(f.PageControl1->tabText(TMakeCard_Form::FloorPage), QString("Floor cards"));
    QCOMPARE(f.TabSheet8->caption(), QString("Floor cards"));
}

QTEST_MAIN(MakeCardTest)
#include "tst_makecard.moc"
