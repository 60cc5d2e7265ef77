#include "layout/DistrictSetting_Unit.h"

#include "data/OperationLog.h"

#include "data/DataSet.h"
#include "data/dm_unit.h"
#include "layout/Numbers.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "window/RecordGrid.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Line {
    kRepeatedLine = 0,
    kNotNumberLine,
};

}  // namespace

TDistrictSetting_Form::TDistrictSetting_Form(QWidget* parent)
    : qv::EditForm(QStringLiteral("DistrictSetting_Form"), QStringLiteral("区域设置"),
                   QStringLiteral("DBGrid1"), parent) {
    using qv::make;
    DBGrid1 = Table_Grid;
    District_ado = Table;
    District_ado->setObjectName(QStringLiteral("District_ado"));
    District_ado->setSql(
        QStringLiteral("Select DistrictNumber,Notes From District order by DistrictNumber"));
    District_ado->setUpdateTable(QStringLiteral("District"));
    District_ado->beforePost = [this](qv::DataSet& d) { District_adoBeforePost(d); };
    logWrites(qv::oplog::Actions::DistrictAdded, qv::oplog::Actions::DistrictChanged,
              qv::oplog::Actions::DistrictDeleted, QStringLiteral("DistrictNumber"));
    DBGrid1->setColumns({QStringLiteral("DistrictNumber"), QStringLiteral("Notes")},
                        {QStringLiteral("区域号"), QStringLiteral("描述")});
    DBGrid1->horizontalHeader()->resizeSection(0, 80);
    DBGrid1->setMinimumSize(340, 200);

    Label1 = make<QLabel>(QStringLiteral("Label1"), QStringLiteral("区域号："), this);
    Dn_Edit = make<QLineEdit>(QStringLiteral("Dn_Edit"), this);
    Label2 = make<QLabel>(QStringLiteral("Label2"), QStringLiteral("描   述："), this);
    Notes_Edit = make<QLineEdit>(QStringLiteral("Notes_Edit"), this);
    Notes_Edit->setMinimumHeight(Notes_Edit->sizeHint().height() * 2);
    Label1->setBuddy(Dn_Edit);
    Label2->setBuddy(Notes_Edit);

    Add_Bt = make<QPushButton>(QStringLiteral("Add_Bt"), QStringLiteral("添  加"), this);
    Save_Bt = make<QPushButton>(QStringLiteral("Save_Bt"), QStringLiteral(" 保  存"), this);
    Delete_Bt = make<QPushButton>(QStringLiteral("Delete_Bt"), QStringLiteral("删  除"), this);

    auto* boxes = new QGridLayout;
    boxes->addWidget(Label1, 0, 0);
    boxes->addWidget(Dn_Edit, 0, 1);
    boxes->addWidget(Label2, 1, 0);
    boxes->addWidget(Notes_Edit, 1, 1);
    boxes->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {Add_Bt, Save_Bt, Delete_Bt}) {
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(boxes);
    layout->addLayout(buttons);
    resize(400, 380);

    setTabOrder(DBGrid1, Dn_Edit);
    setTabOrder(Dn_Edit, Notes_Edit);
    setTabOrder(Notes_Edit, Add_Bt);
    setTabOrder(Add_Bt, Save_Bt);
    setTabOrder(Save_Bt, Delete_Bt);

    connect(DBGrid1, &QAbstractItemView::clicked, this,
            qv::slot(this, &TDistrictSetting_Form::DBGrid1CellClick));
    // Moving to another row by keyboard is the same as a click on it.
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        if (DBGrid1->hasFocus()) {
            qv::guarded([this] { DBGrid1CellClick(); });
        }
    });
    connect(Add_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TDistrictSetting_Form::Add_BtClick));
    connect(Save_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TDistrictSetting_Form::Save_BtClick));
    connect(Delete_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TDistrictSetting_Form::Delete_BtClick));
    connect(Dn_Edit, &QLineEdit::textChanged, this,
            qv::slot(this, &TDistrictSetting_Form::Dn_EditChange));

    District_ado->open();
    setBoxesEnabled(false);
    Save_Bt->setEnabled(false);
    FormCreate();
}

TDistrictSetting_Form::~TDistrictSetting_Form() = default;

void TDistrictSetting_Form::setBoxesEnabled(bool enabled) {
    Dn_Edit->setEnabled(enabled);
    Notes_Edit->setEnabled(enabled);
}

void TDistrictSetting_Form::DBGrid1CellClick() {
    Add_Bt->setEnabled(true);
    Delete_Bt->setEnabled(true);
    Save_Bt->setEnabled(false);
}

void TDistrictSetting_Form::Add_BtClick() {
    setBoxesEnabled(true);
    Save_Bt->setEnabled(false);
    Dn_Edit->setFocus();
    Add_Bt->setEnabled(false);
    Delete_Bt->setEnabled(false);
    Dn_EditChange();
}

void TDistrictSetting_Form::Dn_EditChange() {
    Save_Bt->setEnabled(Dn_Edit->isEnabled() && !Dn_Edit->text().isEmpty());
}

void TDistrictSetting_Form::fillRecord() {
    const std::optional<int> number = qv::districtNumberFromText(Dn_Edit->text());
    if (!number) {
        qv::showMessage(
            message(kNotNumberLine, QStringLiteral("区域号请输入1到65535之间的数字！")));
        Dn_Edit->setFocus();
        qv::abortSilently();
    }
    District_ado->setValue(QStringLiteral("DistrictNumber"), *number);
    District_ado->setValue(QStringLiteral("Notes"), Notes_Edit->text());
}

void TDistrictSetting_Form::District_adoBeforePost(qv::DataSet& d) {
    const int number = d.asInteger(QStringLiteral("DistrictNumber"));
    if (dm->conn
            .scalar(QStringLiteral("select count(*) from District where DistrictNumber = :n"),
                    {{QStringLiteral(":n"), number}})
            .toInt() > 0) {
        qv::showMessage(message(kRepeatedLine, QStringLiteral("区域号不能重复!")));
        Dn_Edit->setFocus();
        qv::abortSilently();
    }
}

void TDistrictSetting_Form::Save_BtClick() {
    if (!Dn_Edit->isEnabled()) {
        return;
    }
    addRecord();
    if (!saveRecord()) {
        cancelRecord();  // nothing stored; the boxes keep their texts
        return;
    }
    Dn_Edit->clear();
    Notes_Edit->clear();
    Add_Bt->setEnabled(true);
    Delete_Bt->setEnabled(false);
    Save_Bt->setEnabled(false);
    setBoxesEnabled(false);
    Add_Bt->setFocus();
}

void TDistrictSetting_Form::Delete_BtClick() {
    if (District_ado->active() && !District_ado->isEmpty()) {
        deleteRecord();
    }
    Save_Bt->setEnabled(false);
}

bool TDistrictSetting_Form::FormKeyDown(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        return false;
    }
    QWidget* focus = QApplication::focusWidget();
    if (focus == Dn_Edit) {
        Notes_Edit->setFocus();
        return true;
    }
    if (focus == Notes_Edit) {
        if (Save_Bt->isEnabled()) {
            Save_BtClick();
        }
        return true;
    }
    return false;
}
