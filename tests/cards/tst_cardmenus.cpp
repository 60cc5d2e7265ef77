// The main window's entries of the special cards and card reading windows:
// the menu entries, their function keys and tool buttons.
#include "SimEncoder.h"
#include "TestSupport.h"
#include "WindowFixture.h"
#include "data/Session.h"

#include "cards/CheckCard_Unit.h"
#include "cards/MakeCard_Unit.h"
#include "data/dm_unit.h"
#include "main/Main.h"
#include "platform/Application.h"
#include "settings/Settings.h"
#include "window/TabSheet.h"

#include <QAction>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>
#include <memory>

class CardMenusTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void issueCardsOpensTheFloorPage_data();
    void issueCardsOpensTheFloorPage();
    void readAndCancelEntries_data();
    void readAndCancelEntries();

private:
    std::unique_ptr<TMainForm> makeMainForm();
    WindowFixture fx;
    std::unique_ptr<SimEncoder> sim_;
};

void CardMenusTest::init() {
    QV_SET_UP_WINDOW_FIXTURE(fx, "qvtest_cardmenus");
    qv::clearTerminateRequest();
    sim_ = std::make_unique<SimEncoder>(*fx.app);
    QVERIFY(sim_->loaded());
    LockSystemInfo.Pass = "A1B2C3D4";  // paired already
}

void CardMenusTest::cleanup() {
    sim_.reset();
    fx.tearDown();
    qv::clearTerminateRequest();
}

std::unique_ptr<TMainForm> CardMenusTest::makeMainForm() {
    auto form = std::make_unique<TMainForm>();
    form->resize(1024, 700);
    form->show();
    QApplication::setActiveWindow(form.get());
    if (!QTest::qWaitForWindowActive(form.get())) {
        return nullptr;
    }
    return form;
}

void CardMenusTest::issueCardsOpensTheFloorPage_data() {
    QTest::addColumn<bool>("floorRight");
    QTest::newRow("with the floor card right") << true;
    QTest::newRow("without it") << false;
}

void CardMenusTest::issueCardsOpensTheFloorPage() {
    QFETCH(bool, floorRight);
    dm->conn.execute(
        "insert into Operator (Staffer, StafferName, CheckIn, MasterCard, FloorCard) "
        "values (:s, '前台一', 1, 1, :f)",
        {{":s", qv::session().login}, {":f", floorRight ? 1 : 0}});
    auto main = makeMainForm();
    QVERIFY(main);
    QCOMPARE(main->EncodeCard_Menu->text(), QString("发行卡"));
    QVERIFY(main->EncodeCard_Menu->isEnabled());  // the window checks the rights itself

    bool missed = false;
    int page = -1;
    bool sheetEnabled = false;
    bool encodeEnabled = false;
    whenShown<TMakeCard_Form>(
        [&](TMakeCard_Form* f) {
            page = f->PageControl1->currentIndex();
            sheetEnabled = f->TabSheet8->isEnabled();
            encodeEnabled = f->Encode_Bt->isEnabled();
            saveScreenshot(f, "MakeCard_Form_from_menu");
            f->reject();
        },
        5000, &missed);
    main->EncodeCard_Menu->trigger();
    QVERIFY(!missed);
    QCOMPARE(page, int(TMakeCard_Form::FloorPage));
    QCOMPARE(sheetEnabled, floorRight);
    QCOMPARE(encodeEnabled, floorRight);
    // Freed when it closed.
    QVERIFY(main->findChildren<TMakeCard_Form*>().isEmpty());
}

void CardMenusTest::readAndCancelEntries_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("cancelShown");
    QTest::newRow("F4") << "F4" << false;
    QTest::newRow("读卡[F4]") << "ReadCard2_SpeedButton" << false;
    QTest::newRow("F5") << "F5" << true;
    QTest::newRow("注销卡[F5]") << "ClearCard2_SpeedButton" << true;
}

void CardMenusTest::readAndCancelEntries() {
    QFETCH(QString, how);
    QFETCH(bool, cancelShown);
    dm->conn.execute("insert into Operator (Staffer, StafferName) values (:s, '前台一')",
                     {{":s", qv::session().login}});
    auto main = makeMainForm();
    QVERIFY(main);
    QCOMPARE(main->ReadCard_Menu->text(), QString("读卡"));
    QCOMPARE(main->ClearCard_Menu->text(), QString("注销卡"));

    bool missed = false;
    bool shown = !cancelShown;
    whenShown<TCheckCardForm>(
        [&](TCheckCardForm* f) {
            shown = !f->Register_Bt->isHidden();
            f->reject();
        },
        5000, &missed);
    if (how.startsWith('F')) {
        QTest::keyClick(main->Room_ListView, how == "F4" ? Qt::Key_F4 : Qt::Key_F5);
    } else {
        auto* button = main->findChild<QToolButton*>(how);
        QVERIFY(button);
        QCOMPARE(button->text(), cancelShown ? QString("注销卡[F5]") : QString("读卡[F4]"));
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QVERIFY(!missed);
    QCOMPARE(shown, cancelShown);
}

QTEST_MAIN(CardMenusTest)
#include "tst_cardmenus.moc"
