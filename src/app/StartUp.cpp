#include "app/StartUp.h"

#include "language/Language.h"
#include "platform/ProgramText.h"

#include "app/Logon_Unit.h"
#include "card/CardRecords.h"
#include "data/dm_unit.h"
#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/FirstPaint.h"
#include "platform/Guard.h"
#include "platform/IniFile.h"
#include "records/UnconfirmedCards_Unit.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <memory>

using namespace settings;

bool ConnectDatabase() {
    const qv::IniFile ini(qv::AppPaths::iniFile());
    try {
        switch (LockSystemInfo.ConnType) {
            case 0: {
                QString path =
                    ini.readString(ClientConfig, QStringLiteral("DbPath"), DefaultDbPath());
                path.replace('\\', '/');
                if (QFileInfo(path).isRelative()) {
                    path = qv::AppPaths::file(path);
                }
                if (!QFileInfo(path).isFile()) {
                    qv::messageBox(qv::noticeTitle(),
                                   qv::programText(QStringLiteral("文件不存在！")));
                    return false;
                }
                dm->closeTables();
                dm->conn.openSQLite(path);
                break;
            }
            case 1: {
                qv::ServerParams server;
                server.host = ini.readString(ClientConfig, QStringLiteral("ServerName"), QString());
                server.user = ini.readString(ClientConfig, QStringLiteral("UserName"), QString());
                server.password = ini.readString(ClientConfig, QStringLiteral("Pass"), QString());
                dm->closeTables();
                dm->conn.openPostgreSQL(server);
                break;
            }
            default:
                qv::messageBox(qv::noticeTitle(),
                               qv::programText(
                                   QStringLiteral("Mirefold.ini 中的数据库类型 ConnType=%1 无效（0 "
                                                  "为本机数据库文件，1 为数据库服务器）。"))
                                   .arg(LockSystemInfo.ConnType),
                               qv::Icon::Error);
                return false;
        }
        dm->conn.checkLockDatabase();
        // A desk that could only read would write cards it cannot record.
        dm->conn.checkWritable();
        return true;
    } catch (const qv::Error& e) {
        dm->conn.close();
        qv::messageBox(qv::noticeTitle(),
                       qv::programText(QStringLiteral("无法打开数据库：%1")).arg(e.text()),
                       qv::Icon::Error);
        return false;
    }
}

bool StartUp() {
    if (!LoadSettings()) {
        return false;
    }
    // The program's own texts in the desk's language, before its first message.
    qv::language::loadProgramTexts(LockSystemInfo.LanguageID);
    // Without a lock database nobody can log on: the one message above is the
    // whole story, and the program ends.
    if (!ConnectDatabase()) {
        return false;
    }
    bool loggedOn = false;
    qv::guarded([&] {
        std::unique_ptr<TLogonForm> logon(new TLogonForm());
        qv::exitAfterFirstPaint(logon.get());  // start-up measurements only
        loggedOn = logon->exec() == QDialog::Accepted;
    });
    if (loggedOn) {
        // Cards handed to an encoder whose issue never completed: the clerk
        // is told which ones they are and may settle them at once.
        qv::guarded([] {
            if (const QString notice = UnconfirmedCardsNotice(); !notice.isEmpty()) {
                const QString ask = qv::programText(
                    QStringLiteral("现在逐张处理这些卡吗？（也可以稍后在“查询发卡记录”中处理）"));
                if (qv::messageBox(qv::noticeTitle(), notice + QStringLiteral("\n\n") + ask,
                                   qv::Icon::Warning, qv::Buttons::OkCancel) == qv::Answer::Ok) {
                    TUnconfirmedCards_Form cards;
                    cards.exec();
                }
            }
        });
    }
    return loggedOn;
}
