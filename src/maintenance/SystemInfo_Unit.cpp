#include "maintenance/SystemInfo_Unit.h"

#include "data/OperationLog.h"
#include "data/dm_unit.h"

#include "platform/AppPaths.h"
#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/Guard.h"
#include "platform/IniFile.h"
#include "platform/LengthLimit.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"
#include "platform/RadioGroup.h"
#include "window/NumberBox.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const QString kTimeFormat = QStringLiteral("HH:mm:ss");
}

TSystemInfo_Form::TSystemInfo_Form(QWidget* parent)
    : qv::Form(QStringLiteral("SystemInfo_Form"), QStringLiteral("基本参数设置"), parent,
               Options{true, true, CaptureTexts::Fixed}) {
    LockType =
        qv::make<qv::RadioGroup>(QStringLiteral("LockType"), QStringLiteral("门锁类型"), this);
    LockType->setItems({QStringLiteral("TM卡门锁"), QStringLiteral("IC卡门锁"),
                        QStringLiteral("AT感应卡"), QStringLiteral("TI感应卡"),
                        QStringLiteral("Mifare卡")});
    LockType->hide();
    CommPort_RG = qv::make<qv::RadioGroup>(QStringLiteral("CommPort_RG"),
                                           QStringLiteral("磁卡锁串口设置"), this);
    CommPort_RG->setItems({QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                           QStringLiteral("COM4")});
    CommPort_RG->setColumns(4);

    HotelName_Label =
        qv::make<QLabel>(QStringLiteral("HotelName_Label"), QStringLiteral("酒店名称"), this);
    HotelName_Edit = qv::make<QLineEdit>(QStringLiteral("HotelName_Edit"), this);
    HotelName_Edit->setMinimumWidth(260);
    HotelName_Label->setBuddy(HotelName_Edit);
    DayCount_Label =
        qv::make<QLabel>(QStringLiteral("DayCount_Label"), QStringLiteral("默认入住天数："), this);
    DayCount_SE = qv::named(new qv::NumberBox(kMinDayCount, kMaxDayCount, this),
                            QStringLiteral("DayCount_SE"));
    DayCount_Label->setBuddy(DayCount_SE);
    LeaveTime_Label =
        qv::make<QLabel>(QStringLiteral("LeaveTime_Label"), QStringLiteral("默认退房时间："), this);
    LeaveTime_Edit = qv::make<QLineEdit>(QStringLiteral("LeaveTime_Edit"), this);
    qv::limitCharacters(LeaveTime_Edit, 8);
    LeaveTime_Edit->setPlaceholderText(QStringLiteral("12:00:00"));
    LeaveTime_Label->setBuddy(LeaveTime_Edit);
    UseRoomID_CB =
        qv::make<QCheckBox>(QStringLiteral("UseRoomID_CB"), QStringLiteral("启用客房代码"), this);
    UseRoomID_CB->hide();

    Button1 = qv::make<QPushButton>(QStringLiteral("Button1"), QStringLiteral("保存(&S)"), this);
    Button1->setDefault(true);
    Button3 = qv::make<QPushButton>(QStringLiteral("Button3"), QStringLiteral("关闭(&C)"), this);
    Button3->setAutoDefault(false);
    Button2 = qv::make<QPushButton>(QStringLiteral("Button2"), QStringLiteral("取消(&C)"), this);
    Button2->hide();  // outside the visible area, as it always was

    auto* fields = new QGridLayout;
    fields->addWidget(HotelName_Label, 0, 0, Qt::AlignRight);
    fields->addWidget(HotelName_Edit, 0, 1);
    fields->addWidget(DayCount_Label, 1, 0, Qt::AlignRight);
    fields->addWidget(DayCount_SE, 1, 1, Qt::AlignLeft);
    fields->addWidget(LeaveTime_Label, 2, 0, Qt::AlignRight);
    fields->addWidget(LeaveTime_Edit, 2, 1, Qt::AlignLeft);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button3);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(CommPort_RG);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(CommPort_RG, HotelName_Edit);
    setTabOrder(HotelName_Edit, DayCount_SE);
    setTabOrder(DayCount_SE, LeaveTime_Edit);
    setTabOrder(LeaveTime_Edit, Button1);
    setTabOrder(Button1, Button3);

    connect(Button1, &QPushButton::clicked, this, qv::slot(this, &TSystemInfo_Form::Button1Click));
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button2, &QPushButton::clicked, this, qv::slot(this, &TSystemInfo_Form::Button2Click));
    FormCreate();
}

TSystemInfo_Form::~TSystemInfo_Form() = default;

void TSystemInfo_Form::FormCreate() {
    qv::Form::FormCreate();
    ReadLockInfo(LockInfo);
    GetLockSoftInfo();
    HotelName_Edit->setFocus();
}

void TSystemInfo_Form::GetLockSoftInfo() {
    LockType->setItemIndex(LockInfo.LockType);
    CommPort_RG->setItemIndex(LockInfo.CommProt);
    HotelName_Edit->setText(LockSystemInfo.HotelName);
    DayCount_SE->setValue(LockSystemInfo.DayCount);
    LeaveTime_Edit->setText(LockSystemInfo.LeaveTime.toString(kTimeFormat));
    UseRoomID_CB->setChecked(LockSystemInfo.UseRoomID);
}

bool TSystemInfo_Form::SaveLockSoftInfo() {
    // Every value is checked before the first key is written.
    const QTime leave = qv::IniFile::parseTime(LeaveTime_Edit->text().trimmed());
    if (!leave.isValid()) {
        qv::messageBox(qv::noticeTitle(),
                       message(2, QStringLiteral("默认退房时间无效，请按“时:分:秒”输入。")),
                       qv::Icon::Error);
        LeaveTime_Edit->setFocus();
        LeaveTime_Edit->selectAll();
        return false;
    }
    // A number typed and saved with the button's key is brought into range too.
    DayCount_SE->interpretText();
    const int port = CommPort_RG->itemIndex() < 0 ? 0 : CommPort_RG->itemIndex();
    const int lockType = LockType->itemIndex() < 0 ? 0 : LockType->itemIndex();
    // The row first: settings saved are never missing from the log.
    qv::oplog::appendOperation(
        dm->conn, {QLatin1String(qv::oplog::Actions::SettingsSaved), HotelName_Edit->text(),
                   QStringLiteral("LockType=%1 CommProt=%2 DayCount=%3 LeaveTime=%4 UseRoomID=%5")
                       .arg(lockType)
                       .arg(port)
                       .arg(DayCount_SE->value())
                       .arg(leave.toString(QStringLiteral("HH:mm:ss")))
                       .arg(UseRoomID_CB->isChecked() ? 1 : 0)});
    qv::IniFile ini(qv::AppPaths::iniFile());
    ini.writeInteger(settings::Config, QStringLiteral("LockType"), lockType);
    ini.writeInteger(settings::Config, QStringLiteral("CommProt"), port);
    ini.writeString(settings::SystemInfo, QStringLiteral("HotelName"), HotelName_Edit->text());
    ini.writeInteger(settings::SystemInfo, QStringLiteral("DayCount"), DayCount_SE->value());
    ini.writeTime(settings::SystemInfo, QStringLiteral("LeaveTime"), leave);
    ini.writeBool(settings::SystemInfo, QStringLiteral("UseRoomID"), UseRoomID_CB->isChecked());
    qv::messageBox(qv::noticeTitle(), message(0, QStringLiteral("保存成功")),
                   qv::Icon::Information);
    return true;
}

void TSystemInfo_Form::Button1Click() {
    if (!SaveLockSoftInfo()) {
        return;
    }
    TLockSystemInfo fresh;
    ReadSystemInfo(fresh);
    fresh.Loaded = LockSystemInfo.Loaded;
    LockSystemInfo = fresh;
    qv::showMessage(message(1, QStringLiteral("系统参数已更改，请退出系统重新运行！")));
    accept();
    qv::requestTerminate();
}

void TSystemInfo_Form::Button2Click() {
    GetLockSoftInfo();
}
