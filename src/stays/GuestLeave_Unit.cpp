#include "stays/GuestLeave_Unit.h"

#include "settings/Settings.h"
#include "data/DataSet.h"
#include "data/DataSetModel.h"
#include "data/dm_unit.h"
#include "language/FormKeys.h"
#include "language/Language.h"
#include "platform/Clock.h"
#include "platform/Guard.h"
#include "platform/KeyPreview.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

bool CheckOutStay(const QVariant& stayId) {
    return dm->conn.execute(
               QStringLiteral("update GuestInRecord set enOverride = 1, LeaveTime = :now "
                              "where ID = :ID and enOverride = 0"),
               {{QStringLiteral(":now"), qv::Clock::now()}, {QStringLiteral(":ID"), stayId}}) > 0;
}

bool CheckOutRoom(const QString& roomStr) {
    const QVariant id = dm->conn.scalar(
        QStringLiteral(
            "select min(ID) from GuestInRecord where enOverride = 0 and RoomStr = :RoomStr"),
        {{QStringLiteral(":RoomStr"), roomStr}});
    return !id.isNull() && CheckOutStay(id);
}

TGuestLeave_Form::TGuestLeave_Form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("GuestLeave_Form"));
    setWindowTitle(QStringLiteral("退房"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    GL_ADO = new qv::DataSet(dm->conn, this);
    GL_ADO->setObjectName(QStringLiteral("GL_ADO"));
    GL_DS = new qv::DataSetModel(GL_ADO, this);
    GL_DS->setObjectName(QStringLiteral("GL_DS"));
    GL_DS->setColumns({QStringLiteral("RoomStr")}, {QStringLiteral("门牌号码")});

    GuestInRecord_DBGrid = new QTableView(this);
    GuestInRecord_DBGrid->setObjectName(QStringLiteral("GuestInRecord_DBGrid"));
    GuestInRecord_DBGrid->setModel(GL_DS);
    GuestInRecord_DBGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GuestInRecord_DBGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    GuestInRecord_DBGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    GuestInRecord_DBGrid->setTabKeyNavigation(false);
    GuestInRecord_DBGrid->verticalHeader()->hide();
    GuestInRecord_DBGrid->verticalHeader()->setDefaultSectionSize(
        GuestInRecord_DBGrid->fontMetrics().height() + 6);
    GuestInRecord_DBGrid->horizontalHeader()->setStretchLastSection(true);
    GuestInRecord_DBGrid->setMinimumSize(200, 260);

    NoCardConfirm_Bt = new QPushButton(QStringLiteral("退  房(&U)"), this);
    NoCardConfirm_Bt->setObjectName(QStringLiteral("NoCardConfirm_Bt"));
    NoCardConfirm_Bt->setDefault(true);
    Close_Bt = new QPushButton(QStringLiteral("关    闭(&C)"), this);
    Close_Bt->setObjectName(QStringLiteral("Close_Bt"));
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
    connect(GuestInRecord_DBGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() + 1 != GL_ADO->recNo()) {
                    GL_ADO->moveTo(current.row() + 1);
                }
            });

    Language1 = new TLanguage(this);
    qv::KeyPreview::install(this, [this](QKeyEvent* e) { return FormKeyDown(e); });
    FormCreate();
    GuestInRecord_DBGrid->setFocus();
}

TGuestLeave_Form::~TGuestLeave_Form() = default;

void TGuestLeave_Form::FormCreate() {
    Language1->SetLanguageID(LockSystemInfo.LanguageID);
    if (LockSystemInfo.Loaded) {
        Language1->Translate();
    }
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
    selectRow(0);
}

void TGuestLeave_Form::selectRow(int row) {
    if (GL_ADO->isEmpty()) {
        return;
    }
    row = std::clamp(row, 0, GL_ADO->recordCount() - 1);
    GuestInRecord_DBGrid->selectionModel()->setCurrentIndex(
        GL_DS->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    GL_ADO->moveTo(row + 1);
}

void TGuestLeave_Form::NoCardConfirm_BtClick() {
    if (!GL_ADO->active() || GL_ADO->isEmpty()) {
        return;
    }
    const int row = GL_ADO->recNo() - 1;
    CheckOutStay(GL_ADO->value(QStringLiteral("ID")));
    RoomBoardChanged = true;
    FindGuestInData();
    // The stay that followed the closed one takes its place.
    selectRow(row);
}

bool TGuestLeave_Form::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        reject();
        return true;
    }
    return CaptureModeKeyDown(this, Language1, event);
}
