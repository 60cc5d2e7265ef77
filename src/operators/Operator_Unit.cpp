#include "operators/Operator_Unit.h"

#include "window/InputPasswordBox_Unit.h"
#include "data/Operators.h"
#include "data/TextColumns.h"
#include "platform/Dialogs.h"
#include "platform/Guard.h"
#include "platform/LengthLimit.h"
#include "platform/Named.h"
#include "window/RecordGrid.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Line {
    kNameTakenLine = 0,
    kEmptyPasswordLine,
    kPasswordsDifferLine,
    kLastAdministratorLine,
    kPasswordSetLine,
    kBlankNameLine,
};

}  // namespace

TOperator_Form::TOperator_Form(QWidget* parent)
    : qv::EditForm(QStringLiteral("Operator_Form"), QStringLiteral("操作员权限管理"),
                   QStringLiteral("EmployeeInfo_DBGrid"), parent) {
    Table_Grid->setColumns(
        {QStringLiteral("StafferName"), QStringLiteral("Staffer"), QStringLiteral("Branch")},
        {QStringLiteral("真实姓名"), QStringLiteral("用户名"), QStringLiteral("口令")});
    Table_Grid->setMinimumWidth(330);

    StafferName_Label =
        qv::make<QLabel>(QStringLiteral("StafferName_Label"), QStringLiteral("真实姓名："), this);
    StafferName_Edit = qv::make<QLineEdit>(QStringLiteral("StafferName_Edit"), this);
    qv::limitCharacters(StafferName_Edit, qv::columns::kFullNameLength);
    StafferName_Label->setBuddy(StafferName_Edit);
    User_Label =
        qv::make<QLabel>(QStringLiteral("User_Label"), QStringLiteral("登  陆  名："), this);
    User_Edit = qv::make<QLineEdit>(QStringLiteral("User_Edit"), this);
    qv::limitCharacters(User_Edit, qv::columns::kLoginNameLength);
    User_Label->setBuddy(User_Edit);

    QuanXian_Gb = qv::make<QGroupBox>(QStringLiteral("QuanXian_Gb"), QStringLiteral("权限"), this);
    auto* rights = new QGridLayout(QuanXian_Gb);
    int i = 0;
    for (const qv::OperatorRight& r : qv::operatorRights()) {
        auto* box =
            qv::make<QCheckBox>(QLatin1String(r.box), QString::fromUtf8(r.caption), QuanXian_Gb);
        Right_CBs << box;
        rights->addWidget(box, i / 3, i % 3);
        ++i;
    }
    SelectAll_CB =
        qv::make<QCheckBox>(QStringLiteral("SelectAll_CB"), QStringLiteral("全选"), QuanXian_Gb);
    rights->addWidget(SelectAll_CB, i / 3 + 1, 0);

    Add_BT = qv::make<QPushButton>(QStringLiteral("Add_BT"), QStringLiteral("添加"), this);
    Save_Bt = qv::make<QPushButton>(QStringLiteral("Save_Bt"), QStringLiteral("保存"), this);
    Delete_Bt = qv::make<QPushButton>(QStringLiteral("Delete_Bt"), QStringLiteral("删除"), this);
    Pass_Label = qv::make<QLabel>(QStringLiteral("Pass_Label"), QStringLiteral("设置口令："), this);
    Pass1_Edit = qv::make<QLineEdit>(QStringLiteral("Pass1_Edit"), this);
    Pass1_Edit->setEchoMode(QLineEdit::Password);
    Pass_Label->setBuddy(Pass1_Edit);
    PassOk_Bt = qv::make<QPushButton>(QStringLiteral("PassOk_Bt"), QStringLiteral("确  定"), this);

    auto* names = new QGridLayout;
    names->addWidget(StafferName_Label, 0, 0, Qt::AlignRight);
    names->addWidget(StafferName_Edit, 0, 1);
    names->addWidget(User_Label, 1, 0, Qt::AlignRight);
    names->addWidget(User_Edit, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Add_BT);
    buttons->addWidget(Save_Bt);
    buttons->addWidget(Delete_Bt);
    buttons->addStretch();
    auto* password = new QHBoxLayout;
    password->addWidget(Pass_Label);
    password->addWidget(Pass1_Edit, 1);
    password->addWidget(PassOk_Bt);
    auto* right = new QVBoxLayout;
    right->addLayout(names);
    right->addWidget(QuanXian_Gb);
    right->addLayout(buttons);
    right->addLayout(password);
    right->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Table_Grid, 1);
    layout->addLayout(right);

    setTabOrder(Table_Grid, StafferName_Edit);
    setTabOrder(StafferName_Edit, User_Edit);
    setTabOrder(User_Edit, Right_CBs.first());
    for (int k = 1; k < Right_CBs.size(); ++k) {
        setTabOrder(Right_CBs[k - 1], Right_CBs[k]);
    }
    setTabOrder(Right_CBs.last(), SelectAll_CB);
    setTabOrder(SelectAll_CB, Add_BT);
    setTabOrder(Add_BT, Save_Bt);
    setTabOrder(Save_Bt, Delete_Bt);
    setTabOrder(Delete_Bt, Pass1_Edit);
    setTabOrder(Pass1_Edit, PassOk_Bt);

    // A click shows the operator, also the one already current; moving by
    // keyboard shows it too, without taking the focus out of the grid.
    connect(Table_Grid, &QAbstractItemView::clicked, this,
            qv::slot(this, &TOperator_Form::EmployeeInfo_DBGridCellClick));
    connect(Table_Grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        if (Table_Grid->hasFocus() && editing()) {
            qv::guarded([this] { showOperator(false); });
        }
    });
    connect(Add_BT, &QPushButton::clicked, this, qv::slot(this, &TOperator_Form::Add_BTClick));
    connect(Save_Bt, &QPushButton::clicked, this, qv::slot(this, &TOperator_Form::Save_BtClick));
    connect(Delete_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TOperator_Form::Delete_BtClick));
    connect(PassOk_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TOperator_Form::PassOk_BtClick));
    connect(SelectAll_CB, &QCheckBox::clicked, this,
            qv::slot(this, &TOperator_Form::SelectAll_CBClick));
    connect(User_Edit, &QLineEdit::textChanged, this,
            qv::slot(this, &TOperator_Form::User_EditChange));
    connect(StafferName_Edit, &QLineEdit::textChanged, this,
            qv::slot(this, &TOperator_Form::User_EditChange));

    StafferName_Edit->setEnabled(false);
    User_Edit->setEnabled(false);
    Save_Bt->setEnabled(false);
    Delete_Bt->setEnabled(false);
    QuanXian_Gb->setEnabled(false);
    Pass1_Edit->setEnabled(false);
    PassOk_Bt->setEnabled(false);
    FormCreate();
}

TOperator_Form::~TOperator_Form() = default;

void TOperator_Form::FormCreate() {
    qv::EditForm::FormCreate();
    qv::guarded([this] { readOperators(); });
    created_ = true;
}

void TOperator_Form::readOperators() {
    // The passwords stay in the database: the window never needs them.
    QStringList columns{QStringLiteral("ID"), QStringLiteral("Staffer"),
                        QStringLiteral("StafferName"), QStringLiteral("Branch")};
    for (const qv::OperatorRight& r : qv::operatorRights()) {
        columns << QLatin1String(r.column);
    }
    Table->setSql(QStringLiteral("select %1 from Operator order by ID")
                      .arg(columns.join(QStringLiteral(", "))));
    Table->open();
}

QCheckBox* TOperator_Form::rightBox(const QString& column) const {
    for (int i = 0; i < qv::kOperatorRightCount; ++i) {
        if (column.compare(QLatin1String(qv::operatorRights()[i].column), Qt::CaseInsensitive) ==
            0) {
            return Right_CBs[i];
        }
    }
    return nullptr;
}

void TOperator_Form::showRecord() {
    // The window opens with no operator shown; a click or a move in the grid shows one.
    if (created_) {
        showOperator(false);
    }
}

void TOperator_Form::modeChanged() {
    // The grid stays usable while an operator is added: a click leaves the add.
    Table_Grid->setEnabled(true);
}

void TOperator_Form::EmployeeInfo_DBGridCellClick() {
    showOperator(true);
}

void TOperator_Form::showOperator(bool focusPassword) {
    leaveAdd();
    if (!Table->active() || Table->isEmpty()) {
        return;
    }
    const bool hasPassword = Table->text(QStringLiteral("Branch")) == qv::kPasswordMark;
    Pass1_Edit->setEnabled(!hasPassword);
    PassOk_Bt->setEnabled(!hasPassword);
    if (!hasPassword && focusPassword) {
        Pass1_Edit->setFocus();
    }
    for (int i = 0; i < qv::kOperatorRightCount; ++i) {
        Right_CBs[i]->setChecked(Table->asInteger(QLatin1String(qv::operatorRights()[i].column)) !=
                                 0);
    }
    SelectAll_CB->setChecked(false);
    Delete_Bt->setEnabled(true);
}

void TOperator_Form::leaveAdd() {
    QuanXian_Gb->setEnabled(false);
    Save_Bt->setEnabled(false);
    Add_BT->setEnabled(true);
    StafferName_Edit->setEnabled(false);
    User_Edit->setEnabled(false);
    User_Edit->clear();
    if (editing()) {
        setMode(Mode::Browse);
    }
}

void TOperator_Form::showStored(const QString& column, const QVariant& value) {
    Table->refresh();
    Table->locate(column, value);
    Table_Grid->selectRow(Table->recNo() - 1);
    showOperator(false);
}

void TOperator_Form::clearRights() {
    for (QCheckBox* box : Right_CBs) {
        box->setChecked(false);
    }
}

void TOperator_Form::Add_BTClick() {
    setMode(Mode::Add);
    StafferName_Edit->setEnabled(true);
    User_Edit->setEnabled(true);
    Add_BT->setEnabled(false);
    StafferName_Edit->setFocus();
    QuanXian_Gb->setEnabled(false);
    clearRights();
    User_Edit->clear();
}

void TOperator_Form::User_EditChange() {
    // Once both names are there, the rights and Save stay available until Save
    // or a click. Blanks alone are no name.
    if (mode() == Mode::Add && !User_Edit->text().trimmed().isEmpty() &&
        !StafferName_Edit->text().trimmed().isEmpty()) {
        QuanXian_Gb->setEnabled(true);
        Save_Bt->setEnabled(true);
    }
}

void TOperator_Form::SelectAll_CBClick() {
    if (SelectAll_CB->isChecked()) {
        for (QCheckBox* box : Right_CBs) {
            box->setChecked(true);
        }
    }
}

void TOperator_Form::Save_BtClick() {
    if (mode() != Mode::Add) {
        return;
    }
    const QString staffer =
        qv::columns::storedText(User_Edit->text(), qv::columns::kLoginNameLength);
    if (staffer.isEmpty() ||
        qv::columns::storedText(StafferName_Edit->text(), qv::columns::kFullNameLength).isEmpty()) {
        qv::showMessage(message(kBlankNameLine, QStringLiteral("真实姓名和登陆名不能为空！")));
        (staffer.isEmpty() ? User_Edit : StafferName_Edit)->setFocus();
        return;
    }
    qv::OperatorRightValues rights{};
    for (int i = 0; i < qv::kOperatorRightCount; ++i) {
        rights[i] = Right_CBs[i]->isChecked();
    }
    if (!qv::addOperator(User_Edit->text(), StafferName_Edit->text(), rights)) {
        qv::showMessage(message(kNameTakenLine, QStringLiteral("用户名不能重复!")));
        User_Edit->setFocus();
        return;  // the ticked rights stay for the next try
    }
    clearRights();
    StafferName_Edit->clear();
    leaveAdd();
    showStored(QStringLiteral("Staffer"), staffer);  // the new operator stays current
    Add_BT->setFocus();
}

void TOperator_Form::PassOk_BtClick() {
    if (!Table->active() || Table->isEmpty()) {
        return;
    }
    TInputPasswordBox box(this);
    if (box.exec() != QDialog::Accepted) {
        return;
    }
    const QString again = box.Input_MaskEdit->text();
    if (again.isEmpty()) {
        qv::showMessage(message(kEmptyPasswordLine, QStringLiteral("密码不能为空！")));
        return;
    }
    if (again != Pass1_Edit->text()) {
        qv::showMessage(message(kPasswordsDifferLine, QStringLiteral("两次密码不符！")));
        return;
    }
    const QVariant id = Table->value(QStringLiteral("ID"));
    const bool set = qv::setFirstPassword(id, again);
    Pass1_Edit->clear();
    Pass1_Edit->setEnabled(false);
    PassOk_Bt->setEnabled(false);
    showStored(QStringLiteral("ID"), id);  // the operator whose password was set stays current
    if (!set) {
        // Set meanwhile at another desk: that password stays.
        qv::showMessage(message(kPasswordSetLine, QStringLiteral("该操作员已设置口令。")));
    }
}

void TOperator_Form::Delete_BtClick() {
    if (mode() == Mode::Add) {
        // Leaves the add; the operator highlighted in the grid is not deleted.
        showOperator(false);
        return;
    }
    if (!Table->active() || Table->isEmpty()) {
        return;
    }
    const int row = Table->recNo() - 1;
    switch (qv::deleteOperator(Table->value(QStringLiteral("ID")))) {
        case qv::DeleteOperatorResult::LastSuperAdministrator:
            qv::showMessage(
                message(kLastAdministratorLine, QStringLiteral("系统最少保留最后一个超级管理员!")));
            return;
        case qv::DeleteOperatorResult::Deleted:
        case qv::DeleteOperatorResult::Missing:
            break;
    }
    Table->refresh();
    Table_Grid->selectRow(row);  // the operator after the deleted one
    showOperator(false);
}

bool TOperator_Form::FormKeyDown(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        return false;
    }
    // Enter presses the focused button; in a box it presses the box's button.
    QWidget* focus = focusWidget();
    if (auto* button = qobject_cast<QPushButton*>(focus)) {
        if (button->isEnabled()) {
            button->click();
        }
        return true;
    }
    if (focus == Pass1_Edit) {
        if (PassOk_Bt->isEnabled()) {
            PassOk_Bt->click();
        }
        return true;
    }
    if (focus == StafferName_Edit) {
        User_Edit->setFocus();
        return true;
    }
    if (focus == User_Edit) {
        if (Save_Bt->isEnabled()) {
            Save_Bt->click();
        }
        return true;
    }
    return false;
}
