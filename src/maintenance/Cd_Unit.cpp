#include "maintenance/Cd_Unit.h"

#include "window/TabSheet.h"

#include "data/Connection.h"
#include "data/dm_unit.h"
#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "platform/IniFile.h"
#include "platform/Named.h"
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
    const qv::IniFile ini(qv::AppPaths::iniFile());
    PageControl1->setCurrentIndex(LockSystemInfo.ConnType == 1 ? ServerPage : EmbeddedPage);
    QString path =
        ini.readString(settings::ClientConfig, QStringLiteral("DbPath"), DefaultDbPath());
    Memo_DbPath->setPlainText(path);
    QString host;
    int port = kDefaultPort;
    splitServer(ini.readString(settings::ClientConfig, QStringLiteral("ServerName"), QString()),
                host, port);
    Server_Edit->setText(host);
    Port_SE->setValue(port);
    User_Edit->setText(
        ini.readString(settings::ClientConfig, QStringLiteral("UserName"), QString()));
    Pass_Edit->setText(ini.readString(settings::ClientConfig, QStringLiteral("Pass"), QString()));
}

void TCdForm::Button1Click() {
    QString path = Memo_DbPath->toPlainText();
    if (!qv::dialogs().openFile(message(0, QStringLiteral("选择门锁数据库")),
                                QStringLiteral("门锁数据库 (*.db);;所有文件 (*)"), path)) {
        return;
    }
    if (!QFileInfo(path).isFile()) {
        qv::messageBox(QStringLiteral("提示"), message(1, QStringLiteral("文件不存在!")));
        return;
    }
    Memo_DbPath->setPlainText(QFileInfo(path).absoluteFilePath());
}

bool TCdForm::Connect() {
    const int page = PageControl1->currentIndex();
    qv::Connection candidate;
    try {
        if (page == EmbeddedPage) {
            QString path = Memo_DbPath->toPlainText();
            if (QFileInfo(path).isRelative()) {
                path = qv::AppPaths::file(path);
            }
            if (!QFileInfo(path).isFile()) {
                qv::messageBox(QStringLiteral("提示"), message(1, QStringLiteral("文件不存在!")));
                return false;
            }
            candidate.openSQLite(path);
            candidate.checkLockDatabase();
            candidate.close();
            // The same file on the program's connection.
            dm->closeTables();
            dm->conn.openSQLite(path);
        } else if (page == ServerPage) {
            const qv::ServerParams server{
                Server_Edit->text().trimmed() + ':' + QString::number(Port_SE->value()),
                User_Edit->text(), Pass_Edit->text()};
            candidate.openPostgreSQL(server);
            candidate.checkLockDatabase();
            candidate.close();
            dm->closeTables();
            dm->conn.openPostgreSQL(server);
        } else {
            return false;
        }
        dm->conn.checkLockDatabase();
    } catch (const qv::Error& e) {
        lastError_ = e.text();
        return false;
    }
    LockSystemInfo.ConnType = static_cast<uint8_t>(page);
    RoomBoardChanged = true;
    return true;
}

void TCdForm::But_TestClick() {
    lastError_.clear();
    if (Connect()) {
        qv::messageBox(QStringLiteral("提示"), message(2, QStringLiteral("数据库链接成功!")),
                       qv::Icon::Information);
    } else {
        qv::messageBox(QStringLiteral("提示"),
                       withReason(message(3, QStringLiteral("数据库链接失败!"))), qv::Icon::Error);
    }
}

void TCdForm::But_SaveClick() {
    lastError_.clear();
    if (!Connect()) {
        qv::messageBox(QStringLiteral("提示"),
                       withReason(message(4, QStringLiteral("数据库链接配置是错误的!"))),
                       qv::Icon::Error);
        return;
    }
    qv::IniFile ini(qv::AppPaths::iniFile());
    ini.writeInteger(settings::ClientConfig, QStringLiteral("ConnType"), LockSystemInfo.ConnType);
    if (LockSystemInfo.ConnType == EmbeddedPage) {
        ini.writeString(settings::ClientConfig, QStringLiteral("DbPath"),
                        Memo_DbPath->toPlainText());
    } else {
        ini.writeString(settings::ClientConfig, QStringLiteral("ServerName"),
                        Server_Edit->text().trimmed() + ':' + QString::number(Port_SE->value()));
        ini.writeString(settings::ClientConfig, QStringLiteral("UserName"), User_Edit->text());
        ini.writeString(settings::ClientConfig, QStringLiteral("Pass"), Pass_Edit->text());
    }
    qv::messageBox(QStringLiteral("提示"), message(5, QStringLiteral("保存成功")),
                   qv::Icon::Information);
}

QString TCdForm::withReason(const QString& text) const {
    return lastError_.isEmpty() ? text : text + QStringLiteral("\n") + lastError_;
}
