#include "app/StartUp.h"

#include "language/Language.h"
#include "platform/ProgramText.h"

#include "app/Logon_Unit.h"
#include "card/CardRecords.h"
#include "data/OpenLockDatabase.h"
#include "data/dm_unit.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/FirstPaint.h"
#include "platform/Guard.h"
#include "records/UnconfirmedCards_Unit.h"
#include "settings/Settings.h"

#include <memory>

using namespace settings;

bool ConnectDatabase() {
    LockDatabaseChoice choice = ReadLockDatabaseChoice();
    choice.ConnType = LockSystemInfo.ConnType;
    dm->closeTables();
    try {
        qv::openLockDatabase(dm->conn, choice);
        return true;
    } catch (const qv::MissingDatabaseFile& e) {
        qv::messageBox(qv::noticeTitle(), e.text());
    } catch (const qv::Error& e) {
        qv::messageBox(qv::noticeTitle(),
                       qv::programText(QStringLiteral("无法打开数据库：%1")).arg(e.text()),
                       qv::Icon::Error);
    }
    return false;
}

bool StartUp() {
    // The program's own texts in the desk's language before its first
    // message, the one about the settings included.
    {
        TLockSystemInfo chosen;
        ReadSystemInfo(chosen);
        qv::language::loadProgramTexts(chosen.LanguageID);
    }
    if (!LoadSettings()) {
        return false;
    }
    // A language number out of range has fallen back to the workstation's.
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
