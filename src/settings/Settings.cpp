#include "settings/Settings.h"

#include "platform/AppPaths.h"
#include "platform/IniFile.h"
#include "platform/LanguageIds.h"

TLockSystemInfo LockSystemInfo;
bool RoomBoardChanged = false;
bool CardBusy = false;
int EncoderType = 0;
bool CheckInRight = false;

using namespace settings;

QString DefaultDbPath() {
    return qv::AppPaths::lockDatabase();
}

void ReadSystemInfo(TLockSystemInfo& info) {
    const qv::IniFile ini(qv::AppPaths::iniFile());
    info.HotelName = ini.readString(SystemInfo, QStringLiteral("HotelName"), QString());
    info.DayCount = ini.readInteger(SystemInfo, QStringLiteral("DayCount"), 1);
    info.LeaveTime = ini.readTime(SystemInfo, QStringLiteral("LeaveTime"), QTime(12, 0, 0));
    info.TimeTolerance = ini.readInteger(SystemInfo, QStringLiteral("TimeTolerance"), 0);
    info.Pass = ini.readString(SystemInfo, QStringLiteral("Pass"), QString());
    info.LanguageID =
        ini.readInteger(SystemInfo, QStringLiteral("LanguageID"), qv::defaultLanguageId());
    info.ConnType =
        static_cast<uint8_t>(ini.readInteger(ClientConfig, QStringLiteral("ConnType"), 0));
    info.Recycle =
        static_cast<uint8_t>(ini.readInteger(ClientConfig, QStringLiteral("Recycle"), 24));
}

void ReadLockInfo(TLock_Info& info) {
    const qv::IniFile ini(qv::AppPaths::iniFile());
    info.LockType = static_cast<uint8_t>(ini.readInteger(Config, QStringLiteral("LockType"), 0));
    info.CommProt = static_cast<uint8_t>(ini.readInteger(Config, QStringLiteral("CommProt"), 0));
    info.Sector = static_cast<uint8_t>(ini.readInteger(Config, QStringLiteral("Sector"), 8));
    info.Block = static_cast<uint8_t>(ini.readInteger(Config, QStringLiteral("Block"), 0));
    info.KeyType = static_cast<uint8_t>(ini.readInteger(Config, QStringLiteral("KeyType"), 0));
    info.KeyStr = ini.readString(Config, QStringLiteral("KeyStr"), QStringLiteral("A0B1C2D3E4F5"));
}

bool LoadSettings() {
    TLockSystemInfo fresh;
    ReadSystemInfo(fresh);
    LockSystemInfo = fresh;
    LockSystemInfo.Loaded = true;
    return true;
}
