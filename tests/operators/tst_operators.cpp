// Operators and rights, and the password change: through the real windows on
// both database kinds.

#include "WindowFixture.h"

#include "window/InputPasswordBox_Unit.h"
#include "data/Operators.h"
#include "data/Passwords.h"
#include "data/Session.h"
#include "operators/ChangePassword_Unit.h"
#include "operators/Operator_Unit.h"
#include "window/RecordGrid.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const char* const kPgDatabase = "qvtest_operators";

QVariant column(const QString& staffer, const QString& col) {
    return dm->conn.scalar(QStringLiteral("select %1 from Operator where Staffer = :s").arg(col),
                           {{QStringLiteral(":s"), staffer}});
}

int operators() {
    return dm->conn.scalar(QStringLiteral("select count(*) from Operator")).toInt();
}

// An operator straight into the table: rights given by column, password hashed.
void addRow(const QString& staffer, bool superAdmin, const QString& password = QString()) {
    qv::OperatorRightValues rights{};
    rights[12] = superAdmin;  // OperatorManage
    QVERIFY(qv::addOperator(staffer, staffer + QStringLiteral("名"), rights));
    if (!password.isEmpty()) {
        QVERIFY(qv::setFirstPassword(column(staffer, QStringLiteral("ID")), password));
    }
}

void selectOperator(TOperator_Form& f, const QString& staffer) {
    QVERIFY(f.Table->locate(QStringLiteral("Staffer"), staffer));
    clickRow(f.Table_Grid, f.Table->recNo() - 1);
}

// A click of the mouse on row `row` of the operators grid.
void mouseClickRow(TOperator_Form& f, int row) {
    const QRect cell = f.Table_Grid->visualRect(f.Table_Grid->model()->index(row, 0));
    QTest::mouseClick(f.Table_Grid->viewport(), Qt::LeftButton, {}, cell.center());
}

// The grid row of an operator.
int rowOf(TOperator_Form& f, const QString& staffer) {
    const int column = f.Table->fieldIndex(QStringLiteral("Staffer"));
    for (int r = 0; r < f.Table->recordCount(); ++r) {
        if (f.Table->textAt(r, column) == staffer) {
            return r;
        }
    }
    return -1;
}

}  // namespace

class OperatorsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase); }
    void cleanup() { fx.tearDown(); }

    void addOperatorWithRights_data() { addDatabaseKinds(); }
    void addOperatorWithRights();
    void firstPassword_data();
    void firstPassword();
    void keepsLastSuperAdministrator_data() { addDatabaseKinds(); }
    void keepsLastSuperAdministrator();
    void windowFollowsTheClerk_data() { addDatabaseKinds(); }
    void windowFollowsTheClerk();
    void namesAreStoredAsSeen_data() { addDatabaseKinds(); }
    void namesAreStoredAsSeen();
    void changePassword_data();
    void changePassword();
    void changeYieldsToAnotherDesk();

private:
    WindowFixture fx;
};

void OperatorsTest::addOperatorWithRights() {
    addRow(QStringLiteral("admin"), true, QStringLiteral("pw"));
    TOperator_Form f;
    QCOMPARE(f.windowTitle(), QStringLiteral("操作员权限管理"));
    QCOMPARE(f.Right_CBs.size(), 17);
    QCOMPARE(f.Right_CBs[12]->objectName(), QStringLiteral("Operator_CB"));
    QCOMPARE(f.Right_CBs[12]->text(), QStringLiteral("操作员权限"));
    // At start nothing is shown and nothing can be edited.
    QVERIFY(!f.User_Edit->isEnabled());
    QVERIFY(!f.Pass1_Edit->isEnabled());
    QVERIFY(!f.Delete_Bt->isEnabled());

    QTest::mouseClick(f.Add_BT, Qt::LeftButton);
    QVERIFY(f.StafferName_Edit->isEnabled());
    QVERIFY(!f.QuanXian_Gb->isEnabled());
    f.StafferName_Edit->setText(QStringLiteral("张 三"));
    QVERIFY(!f.Save_Bt->isEnabled());
    // A login name with a quote and a blank is only ever a value.
    const QString login = QStringLiteral("o'brien x");
    f.User_Edit->setText(login);
    QVERIFY(f.QuanXian_Gb->isEnabled());
    QVERIFY(f.Save_Bt->isEnabled());
    f.SelectAll_CB->click();
    f.SelectAll_CB->click();  // clearing select-all keeps the ticks
    f.rightBox(QStringLiteral("MasterCard"))->setChecked(false);
    saveScreenshot(&f, QStringLiteral("operators_adding"));
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    QCOMPARE(operators(), 2);
    for (const qv::OperatorRight& r : qv::operatorRights()) {
        QCOMPARE(column(login, QLatin1String(r.column)).toInt(),
                 QLatin1String(r.column) == QLatin1String("MasterCard") ? 0 : 1);
    }
    QCOMPARE(column(login, QStringLiteral("StafferName")).toString(), QStringLiteral("张 三"));
    QVERIFY(column(login, QStringLiteral("Pass")).toString().isEmpty());
    QVERIFY(column(login, QStringLiteral("Branch")).toString().isEmpty());
    QVERIFY(!f.User_Edit->isEnabled());
    QVERIFY(f.Add_BT->isEnabled());

    // The same login name again: nothing stored, the ticked rights stay.
    QTest::mouseClick(f.Add_BT, Qt::LeftButton);
    f.StafferName_Edit->setText(QStringLiteral("李四"));
    f.User_Edit->setText(login);
    f.rightBox(QStringLiteral("CheckIn"))->setChecked(true);
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->last().text, QStringLiteral("用户名不能重复!"));
    QCOMPARE(operators(), 2);
    QVERIFY(f.rightBox(QStringLiteral("CheckIn"))->isChecked());
    QVERIFY(f.Save_Bt->isEnabled());
    // A new operator has no password and cannot log on.
    QVERIFY(!qv::verifyOperatorPassword(login, QString()));
}

void OperatorsTest::firstPassword_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("again");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << "abc"
                           << ""
                           << "密码不能为空！";
    QTest::newRow("different") << "abc"
                               << "abd"
                               << "两次密码不符！";
    QTest::newRow("set") << "s3 cret'"
                         << "s3 cret'"
                         << "";
}

void OperatorsTest::firstPassword() {
    QFETCH(QString, first);
    QFETCH(QString, again);
    QFETCH(QString, message);
    addRow(QStringLiteral("admin"), true, QStringLiteral("pw"));
    addRow(QStringLiteral("clerk"), false);
    TOperator_Form f;
    selectOperator(f, QStringLiteral("admin"));
    QVERIFY(!f.Pass1_Edit->isEnabled());  // has a password already
    selectOperator(f, QStringLiteral("clerk"));
    QVERIFY(f.Pass1_Edit->isEnabled());
    QVERIFY(f.Delete_Bt->isEnabled());
    f.Pass1_Edit->setText(first);
    whenShown<TInputPasswordBox>([again](TInputPasswordBox* box) {
        box->Input_MaskEdit->setText(again);
        QTest::mouseClick(box->Confirm_Bt, Qt::LeftButton);
    });
    QTest::mouseClick(f.PassOk_Bt, Qt::LeftButton);
    const QString stored = column(QStringLiteral("clerk"), QStringLiteral("Pass")).toString();
    if (!message.isEmpty()) {
        QCOMPARE(fx.dialogs->last().text, message);
        QVERIFY(stored.isEmpty());
        QCOMPARE(f.Pass1_Edit->text(), first);
        return;
    }
    // Stored as a hash only; the grid shows the mark; no second first password.
    QVERIFY(qv::isPasswordHash(stored));
    QVERIFY(!stored.contains(first));
    QCOMPARE(column(QStringLiteral("clerk"), QStringLiteral("Branch")).toString(),
             qv::kPasswordMark);
    QVERIFY(qv::verifyOperatorPassword(QStringLiteral("clerk"), first));
    QVERIFY(!f.Pass1_Edit->isEnabled());
    QVERIFY(!qv::setFirstPassword(column(QStringLiteral("clerk"), QStringLiteral("ID")),
                                  QStringLiteral("other")));
    QVERIFY(qv::verifyOperatorPassword(QStringLiteral("clerk"), first));
}

void OperatorsTest::keepsLastSuperAdministrator() {
    addRow(QStringLiteral("boss1"), true, QStringLiteral("pw"));
    addRow(QStringLiteral("boss2"), true, QStringLiteral("pw"));
    addRow(QStringLiteral("clerk"), false);
    qv::session().login = QStringLiteral("clerk");  // the operator logged on may go too
    TOperator_Form f;
    selectOperator(f, QStringLiteral("clerk"));
    QTest::mouseClick(f.Delete_Bt, Qt::LeftButton);
    QCOMPARE(operators(), 2);
    selectOperator(f, QStringLiteral("boss1"));
    QTest::mouseClick(f.Delete_Bt, Qt::LeftButton);
    QCOMPARE(operators(), 1);
    QVERIFY(fx.dialogs->boxes().isEmpty());
    selectOperator(f, QStringLiteral("boss2"));
    QTest::mouseClick(f.Delete_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->last().text, QStringLiteral("系统最少保留最后一个超级管理员!"));
    QCOMPARE(operators(), 1);
    QCOMPARE(f.Table->recordCount(), 1);
}

void OperatorsTest::windowFollowsTheClerk() {
    addRow(QStringLiteral("admin"), true, QStringLiteral("pw"));
    addRow(QStringLiteral("boss2"), true, QStringLiteral("pw"));
    addRow(QStringLiteral("clerk"), false);
    TOperator_Form f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    const auto current = [&f] { return f.Table->text(QStringLiteral("Staffer")); };

    // A click on the row that is already current shows it.
    QCOMPARE(current(), QStringLiteral("admin"));
    mouseClickRow(f, 0);
    QVERIFY(f.rightBox(QStringLiteral("OperatorManage"))->isChecked());
    QVERIFY(f.Delete_Bt->isEnabled());

    // During an add, a click in the grid leaves the add and shows the row.
    QTest::mouseClick(f.Add_BT, Qt::LeftButton);
    f.StafferName_Edit->setText(QStringLiteral("新人"));
    f.User_Edit->setText(QStringLiteral("newbie"));
    QVERIFY(f.Table_Grid->isEnabled());
    mouseClickRow(f, rowOf(f, QStringLiteral("clerk")));
    QVERIFY(!f.User_Edit->isEnabled());
    QVERIFY(!f.Save_Bt->isEnabled());
    QVERIFY(f.Add_BT->isEnabled());
    QVERIFY(!f.rightBox(QStringLiteral("OperatorManage"))->isChecked());
    QVERIFY(f.Pass1_Edit->isEnabled());  // clerk has no password yet

    // During an add, 删除 leaves the add and deletes nothing.
    mouseClickRow(f, rowOf(f, QStringLiteral("boss2")));
    QTest::mouseClick(f.Add_BT, Qt::LeftButton);
    QTest::mouseClick(f.Delete_Bt, Qt::LeftButton);
    QCOMPARE(operators(), 3);
    QVERIFY(!f.User_Edit->isEnabled());
    QVERIFY(f.Add_BT->isEnabled());
    QCOMPARE(current(), QStringLiteral("boss2"));

    // Enter presses the focused button: Add, then Save from the login box.
    f.Add_BT->setFocus();
    QTest::keyClick(f.Add_BT, Qt::Key_Return);
    QVERIFY(f.StafferName_Edit->isEnabled());
    QTest::keyClicks(f.StafferName_Edit, QStringLiteral("newbie"));
    QTest::keyClick(f.StafferName_Edit, Qt::Key_Return);
    QCOMPARE(f.focusWidget(), f.User_Edit);
    QTest::keyClicks(f.User_Edit, QStringLiteral("newbie"));
    QTest::keyClick(f.User_Edit, Qt::Key_Return);
    QCOMPARE(operators(), 4);
    // The operator just stored is current: 删除 removes it and no other.
    QCOMPARE(current(), QStringLiteral("newbie"));
    f.Delete_Bt->setFocus();
    QTest::keyClick(f.Delete_Bt, Qt::Key_Enter);
    QCOMPARE(operators(), 3);
    QVERIFY(!column(QStringLiteral("newbie"), QStringLiteral("ID")).isValid());

    // A first password keeps its operator current, and Enter in the box sets it.
    mouseClickRow(f, rowOf(f, QStringLiteral("clerk")));
    QCOMPARE(f.focusWidget(), f.Pass1_Edit);
    QTest::keyClicks(f.Pass1_Edit, QStringLiteral("abc"));
    whenShown<TInputPasswordBox>([](TInputPasswordBox* box) {
        box->Input_MaskEdit->setText(QStringLiteral("abc"));
        QTest::mouseClick(box->Confirm_Bt, Qt::LeftButton);
    });
    QTest::keyClick(f.Pass1_Edit, Qt::Key_Return);
    QVERIFY(qv::verifyOperatorPassword(QStringLiteral("clerk"), QStringLiteral("abc")));
    QCOMPARE(current(), QStringLiteral("clerk"));
    QCOMPARE(f.Table_Grid->currentRow(), f.Table->recNo() - 1);
    saveScreenshot(&f, QStringLiteral("operators_after_password"));
    QTest::mouseClick(f.Delete_Bt, Qt::LeftButton);
    QVERIFY(!column(QStringLiteral("clerk"), QStringLiteral("ID")).isValid());
    QVERIFY(column(QStringLiteral("admin"), QStringLiteral("ID")).isValid());
    QCOMPARE(operators(), 2);
}

void OperatorsTest::namesAreStoredAsSeen() {
    addRow(QStringLiteral("admin"), true, QStringLiteral("pw"));
    // A name kept from before blanks were removed.
    dm->conn.execute(QStringLiteral("insert into Operator (Staffer, StafferName) values "
                                    "('desk2 ', '二号')"));
    TOperator_Form f;
    const auto add = [&f](const QString& name, const QString& login) {
        QTest::mouseClick(f.Add_BT, Qt::LeftButton);
        f.StafferName_Edit->setText(name);
        f.User_Edit->setText(login);
        QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    };
    add(QStringLiteral(" 一号 "), QChar(0x3000) + QStringLiteral("desk1 "));
    QCOMPARE(column(QStringLiteral("desk1"), QStringLiteral("StafferName")).toString(),
             QStringLiteral("一号"));
    QCOMPARE(operators(), 3);
    for (const QString& again : {QStringLiteral("desk1 "), QStringLiteral("desk2")}) {
        fx.dialogs->clear();
        add(QStringLiteral("某人"), again);
        QCOMPARE(fx.dialogs->last().text, QStringLiteral("用户名不能重复!"));
        QCOMPARE(operators(), 3);
        f.EmployeeInfo_DBGridCellClick();
    }
    // Blanks are no name: Save stays off, and a name emptied afterwards is refused.
    QTest::mouseClick(f.Add_BT, Qt::LeftButton);
    f.StafferName_Edit->setText(QStringLiteral("某人"));
    f.User_Edit->setText(QStringLiteral("   "));
    QVERIFY(!f.Save_Bt->isEnabled());
    f.User_Edit->setText(QStringLiteral("x"));
    QVERIFY(f.Save_Bt->isEnabled());
    f.User_Edit->setText(QStringLiteral(" "));
    QTest::mouseClick(f.Save_Bt, Qt::LeftButton);
    QCOMPARE(fx.dialogs->last().text, QStringLiteral("真实姓名和登陆名不能为空！"));
    QCOMPARE(operators(), 3);
    // The boxes hold no more than the column: 20 characters.
    f.User_Edit->setText(QString(30, QLatin1Char('a')));
    QCOMPARE(f.User_Edit->text().size(), 20);
}

void OperatorsTest::changePassword_data() {
    QTest::addColumn<QString>("old");
    QTest::addColumn<QString>("fresh");
    QTest::addColumn<QString>("repeat");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored");  // the password afterwards
    QTest::newRow("wrong old") << "nope"
                               << ""
                               << ""
                               << "旧密码不符！"
                               << "old pass";
    QTest::newRow("different") << " old pass "
                               << "new1"
                               << "new2"
                               << "两次新密码不符！"
                               << "old pass";
    QTest::newRow("empty") << "old pass"
                           << "  "
                           << ""
                           << "密码不能为空！"
                           << "old pass";
    QTest::newRow("longer than 8, trailing blank") << "old pass"
                                                   << "a much longer one "
                                                   << "a much longer one"
                                                   << "密码修改成功!"
                                                   << "a much longer one";
}

void OperatorsTest::changePassword() {
    QFETCH(QString, old);
    QFETCH(QString, fresh);
    QFETCH(QString, repeat);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    addRow(QStringLiteral("desk1"), true, QStringLiteral("old pass"));
    addRow(QStringLiteral("desk2"), false, QStringLiteral("old pass"));
    const QString otherBefore = column(QStringLiteral("desk2"), QStringLiteral("Pass")).toString();
    TChangePassword_Form f;
    QCOMPARE(f.windowTitle(), QStringLiteral("修改口令"));
    QVERIFY(f.NewPassword_Edit->isHidden());
    QTest::keyClicks(f.OldPassword_Edit, old);
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);
    if (message == QStringLiteral("旧密码不符！")) {
        QCOMPARE(fx.dialogs->last().text, message);
        QCOMPARE(fx.dialogs->last().icon, qv::Icon::Error);
        QVERIFY(!f.Label1->isHidden());
    } else {
        QVERIFY(f.Label1->isHidden());
        QVERIFY(!f.RepeatNewPassword_Edit->isHidden());
        saveScreenshot(&f, QStringLiteral("changepassword_stage2"));
        f.NewPassword_Edit->setText(fresh);
        f.RepeatNewPassword_Edit->setText(repeat);
        QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);
        QCOMPARE(fx.dialogs->last().text, message);
    }
    QVERIFY(qv::verifyOperatorPassword(QStringLiteral("desk1"), stored));
    // Another operator with the same password is never touched.
    QCOMPARE(column(QStringLiteral("desk2"), QStringLiteral("Pass")).toString(), otherBefore);
}

void OperatorsTest::changeYieldsToAnotherDesk() {
    addRow(QStringLiteral("desk1"), true, QStringLiteral("old"));
    TChangePassword_Form f;
    f.OldPassword_Edit->setText(QStringLiteral("old"));
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);
    QVERIFY(f.Label1->isHidden());
    // Another desk changes the password between the two stages.
    QString verified;
    QVERIFY(qv::verifyOperatorPassword(QStringLiteral("desk1"), QStringLiteral("old"), &verified));
    QVERIFY(
        qv::changeOperatorPassword(QStringLiteral("desk1"), verified, QStringLiteral("theirs")));
    f.NewPassword_Edit->setText(QStringLiteral("mine"));
    f.RepeatNewPassword_Edit->setText(QStringLiteral("mine"));
    QTest::mouseClick(f.Ok_Bt, Qt::LeftButton);
    QVERIFY(fx.dialogs->last().text != QStringLiteral("密码修改成功!"));
    QVERIFY(qv::verifyOperatorPassword(QStringLiteral("desk1"), QStringLiteral("theirs")));
}

QTEST_MAIN(OperatorsTest)
#include "tst_operators.moc"
