#include "maintenance/Cd_Unit.h"

#include "data/OperationLog.h"

#include "window/TabSheet.h"

#include "data/Connection.h"
#include "data/OpenLockDatabase.h"
#include "data/dm_unit.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"
#include "settings/Settings.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int kDefaultPort = 5432;

// "host" or "host:port" as the settings file keeps it.
void splitServer(const QString& text, QString& host, int& port) {
    host = text.trimmed();
    port = kDefaultPort;
    const qsizetype colon = host.lastIndexOf(':');
    if (colon > 0 && !host.contains(']')) {
        bool ok = false;
        const int p = host.mid(colon + 1).toInt(&ok);
        if (ok) {
            port = p;
            host = host.left(colon);
        }
    }
}

}  // namespace

TCdForm::TCdForm(QWidget* parent)
    : qv::Form(QStringLiteral("CdForm"), QStringLiteral("配置数据库链接"), parent) {
    GroupBox1 =
        qv::make<QGroupBox>(QStringLiteral("GroupBox1"), QStringLiteral("数据库类型"), this);
    PageControl1 = qv::make<QTabWidget>(QStringLiteral("PageControl1"), GroupBox1);

    TabSheet1 =
        new qv::TabSheet(PageControl1, QStringLiteral("TabSheet1"), QStringLiteral("本机数据库"));
    DbPath_Label =
        qv::make<QLabel>(QStringLiteral("DbPath_Label"), QStringLiteral("数据库路径:"), TabSheet1);
    Memo_DbPath = qv::make<QPlainTextEdit>(QStringLiteral("Memo_DbPath"), TabSheet1);
    Memo_DbPath->setTabChangesFocus(true);
    Memo_DbPath->setFixedHeight(Memo_DbPath->fontMetrics().height() * 3 + 12);
    DbPath_Label->setBuddy(Memo_DbPath);
    Button1 =
        qv::make<QPushButton>(QStringLiteral("Button1"), QStringLiteral("浏览..."), TabSheet1);
    Button1->setAutoDefault(false);
    auto* embedded = new QGridLayout(TabSheet1);
    embedded->addWidget(DbPath_Label, 0, 0, 1, 2);
    embedded->addWidget(Memo_DbPath, 1, 0);
    embedded->addWidget(Button1, 1, 1, Qt::AlignTop);
    embedded->setRowStretch(2, 1);

    TabSheet2 =
        new qv::TabSheet(PageControl1, QStringLiteral("TabSheet2"), QStringLiteral("数据库服务器"));
    Server_Label =
        qv::make<QLabel>(QStringLiteral("Server_Label"), QStringLiteral("服务器："), TabSheet2);
    Server_Edit = qv::make<QLineEdit>(QStringLiteral("Server_Edit"), TabSheet2);
    Port_Label =
        qv::make<QLabel>(QStringLiteral("Port_Label"), QStringLiteral("端口："), TabSheet2);
    Port_SE = qv::make<QSpinBox>(QStringLiteral("Port_SE"), TabSheet2);
    Port_SE->setRange(1, 65535);
    Port_SE->setValue(kDefaultPort);
    User_Label =
        qv::make<QLabel>(QStringLiteral("User_Label"), QStringLiteral("登录名："), TabSheet2);
    User_Edit = qv::make<QLineEdit>(QStringLiteral("User_Edit"), TabSheet2);
    Pass_Label =
        qv::make<QLabel>(QStringLiteral("Pass_Label"), QStringLiteral("口令："), TabSheet2);
    Pass_Edit = qv::make<QLineEdit>(QStringLiteral("Pass_Edit"), TabSheet2);
    Pass_Edit->setEchoMode(QLineEdit::Password);
    auto* server = new QFormLayout(TabSheet2);
    server->addRow(Server_Label, Server_Edit);
    server->addRow(Port_Label, Port_SE);
    server->addRow(User_Label, User_Edit);
    server->addRow(Pass_Label, Pass_Edit);

    auto* group = new QVBoxLayout(GroupBox1);
    group->addWidget(PageControl1);

    But_Test = qv::make<QPushButton>(QStringLiteral("But_Test"), QStringLiteral("测试"), this);
    But_Save = qv::make<QPushButton>(QStringLiteral("But_Save"), QStringLiteral("保存"), this);
    Button4 = qv::make<QPushButton>(QStringLiteral("Button4"), QStringLiteral("关闭"), this);
    for (QPushButton* b : {But_Test, But_Save, Button4}) {
        b->setAutoDefault(false);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(But_Test);
    buttons->addWidget(But_Save);
    buttons->addWidget(Button4);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);
    resize(460, 300);

    connect(Button1, &QPushButton::clicked, this, qv::slot(this, &TCdForm::Button1Click));
    connect(But_Test, &QPushButton::clicked, this, qv::slot(this, &TCdForm::But_TestClick));
    connect(But_Save, &QPushButton::clicked, this, qv::slot(this, &TCdForm::But_SaveClick));
    connect(Button4, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

TCdForm::~TCdForm() = default;

void TCdForm::FormCreate() {
    qv::Form::FormCreate();
    FormShow();
}

void TCdForm::FormShow() {
    const LockDatabaseChoice choice = ReadLockDatabaseChoice();
    PageControl1->setCurrentIndex(LockSystemInfo.ConnType == 1 ? ServerPage : EmbeddedPage);
    Memo_DbPath->setPlainText(choice.DbPath);
    QString host;
    int port = kDefaultPort;
    splitServer(choice.ServerName, host, port);
    Server_Edit->setText(host);
    Port_SE->setValue(port);
    User_Edit->setText(choice.UserName);
    Pass_Edit->setText(choice.Pass);
}

void TCdForm::Button1Click() {
    QString path = LockDatabaseFile(Memo_DbPath->toPlainText());
    if (!qv::dialogs().openFile(message(0, QStringLiteral("选择门锁数据库")),
                                QStringLiteral("门锁数据库 (*.db);;所有文件 (*)"), path)) {
        return;
    }
    if (!QFileInfo(path).isFile()) {
        qv::messageBox(qv::noticeTitle(), message(1, QStringLiteral("文件不存在!")));
        return;
    }
    Memo_DbPath->setPlainText(QFileInfo(path).absoluteFilePath());
}

LockDatabaseChoice TCdForm::Choice() const {
    LockDatabaseChoice choice;
    choice.ConnType = PageControl1->currentIndex();
    choice.DbPath = Memo_DbPath->toPlainText();
    choice.ServerName = Server_Edit->text().trimmed() + ':' + QString::number(Port_SE->value());
    choice.UserName = User_Edit->text();
    choice.Pass = Pass_Edit->text();
    return choice;
}

bool TCdForm::Connect() {
    const LockDatabaseChoice choice = Choice();
    if (choice.ConnType != EmbeddedPage && choice.ConnType != ServerPage) {
        return false;
    }
    try {
        {
            // Tried on a connection of its own first, exactly as start-up
            // opens it: a choice that fails leaves the program where it was.
            qv::Connection candidate;
            qv::openLockDatabase(candidate, choice);
        }
        const QString before = dm->conn.isOpen() ? dm->conn.description() : QString();
        dm->closeTables();
        qv::openLockDatabase(dm->conn, choice);
        // Into the database the desk works on from now on.
        qv::oplog::appendOperation(dm->conn, {QLatin1String(qv::oplog::Actions::ConnectionChanged),
                                              dm->conn.description(), before});
    } catch (const qv::MissingDatabaseFile&) {
        qv::messageBox(qv::noticeTitle(), message(1, QStringLiteral("文件不存在!")));
        return false;
    } catch (const qv::Error& e) {
        lastError_ = e.text();
        return false;
    }
    LockSystemInfo.ConnType = static_cast<uint8_t>(choice.ConnType);
    RoomBoardChanged = true;
    return true;
}

void TCdForm::But_TestClick() {
    lastError_.clear();
    if (Connect()) {
        qv::messageBox(qv::noticeTitle(), message(2, QStringLiteral("数据库链接成功!")),
                       qv::Icon::Information);
    } else {
        qv::messageBox(qv::noticeTitle(), withReason(message(3, QStringLiteral("数据库链接失败!"))),
                       qv::Icon::Error);
    }
}

void TCdForm::But_SaveClick() {
    lastError_.clear();
    if (!Connect()) {
        qv::messageBox(qv::noticeTitle(),
                       withReason(message(4, QStringLiteral("数据库链接配置是错误的!"))),
                       qv::Icon::Error);
        return;
    }
    LockDatabaseChoice choice = Choice();
    choice.ConnType = LockSystemInfo.ConnType;
    WriteLockDatabaseChoice(choice);
    qv::messageBox(qv::noticeTitle(), message(5, QStringLiteral("保存成功")),
                   qv::Icon::Information);
}

QString TCdForm::withReason(const QString& text) const {
    return lastError_.isEmpty() ? text : text + QStringLiteral("\n") + lastError_;
}
