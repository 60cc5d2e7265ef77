#include "stays/GuestLeave_Unit.h"

#include "data/DataSet.h"
#include "data/DataSetModel.h"
#include "data/dm_unit.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "settings/Settings.h"
#include "window/RecordGrid.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TGuestLeave_Form::TGuestLeave_Form(QWidget* parent)
    : Form(QStringLiteral("GuestLeave_Form"), QStringLiteral("退房"), parent) {
    GL_ADO = new qv::DataSet(dm->conn, this);
    GL_ADO->setObjectName(QStringLiteral("GL_ADO"));
    GuestInRecord_DBGrid = new qv::RecordGrid(QStringLiteral("GuestInRecord_DBGrid"), GL_ADO, this);
    GuestInRecord_DBGrid->setColumns({QStringLiteral("RoomStr")}, {QStringLiteral("门牌号码")});
    GuestInRecord_DBGrid->setMinimumSize(200, 260);
    GL_DS = GuestInRecord_DBGrid->records();
    GL_DS->setObjectName(QStringLiteral("GL_DS"));

    // Neither button is the default: a stay ends only by a deliberate press.
    NoCardConfirm_Bt = qv::make<QPushButton>(QStringLiteral("NoCardConfirm_Bt"),
                                             QStringLiteral("退  房(&U)"), this);
    NoCardConfirm_Bt->setAutoDefault(false);
    Close_Bt = qv::make<QPushButton>(QStringLiteral("Close_Bt"), QStringLiteral("关闭(&C)"), this);
    Close_Bt->setAutoDefault(false);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(NoCardConfirm_Bt);
    buttons->addWidget(Close_Bt);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(GuestInRecord_DBGrid, 1);
    layout->addLayout(buttons);
    setTabOrder(GuestInRecord_DBGrid, NoCardConfirm_Bt);
    setTabOrder(NoCardConfirm_Bt, Close_Bt);

    connect(NoCardConfirm_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TGuestLeave_Form::NoCardConfirm_BtClick));
    connect(Close_Bt, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
    GuestInRecord_DBGrid->setFocus();
}

TGuestLeave_Form::~TGuestLeave_Form() = default;

void TGuestLeave_Form::FormCreate() {
    Form::FormCreate();
    qv::guarded([this] { FindGuestInData(); });
}

void TGuestLeave_Form::FindGuestInData() {
    qv::DataSet& q = *GL_ADO;
    q.clearSql();
    q.addSql(QStringLiteral("select * from GuestInRecord"));
    q.addSql(QStringLiteral("where"));
    q.addSql(QStringLiteral("enOverride=0"));
    q.addSql(QStringLiteral("order by ID"));
    q.open();
    GuestInRecord_DBGrid->selectRow(0);
}

void TGuestLeave_Form::NoCardConfirm_BtClick() {
    if (!GL_ADO->active() || GL_ADO->isEmpty()) {
        return;
    }
    const int row = GL_ADO->recNo() - 1;
    qv::stays::checkOutStay(GL_ADO->value(QStringLiteral("ID")));
    RoomBoardChanged = true;
    FindGuestInData();
    // The stay that followed the closed one takes its place.
    GuestInRecord_DBGrid->selectRow(row);
}
