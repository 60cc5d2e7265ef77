#include "settings/Settings.h"

#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/LanguageIds.h"
#include "platform/ProgramText.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <functional>
#include <limits>
#include <optional>

TLockSystemInfo LockSystemInfo;
bool RoomBoardChanged = false;
int EncoderType = 0;
bool CheckInRight = false;

using namespace settings;

QString DefaultDbPath() {
    return qv::AppPaths::lockDatabase();
}

LockDatabaseChoice ReadLockDatabaseChoice() {
    const qv::IniFile ini(qv::AppPaths::iniFile());
    LockDatabaseChoice c;
    c.ConnType = ini.readInteger(ClientConfig, QStringLiteral("ConnType"), 0);
    c.DbPath = ini.readString(ClientConfig, QStringLiteral("DbPath"), DefaultDbPath());
    c.ServerName = ini.readString(ClientConfig, QStringLiteral("ServerName"), QString());
    c.UserName = ini.readString(ClientConfig, QStringLiteral("UserName"), QString());
    c.Pass = ini.readString(ClientConfig, QStringLiteral("Pass"), QString());
    return c;
}

InterfaceSettings ReadInterfaceSettings() {
    const qv::IniFile ini(qv::AppPaths::iniFile());
    InterfaceSettings s;
    const QString& sec = settings::Interface;
    s.Role = ini.readString(sec, QStringLiteral("Role"), s.Role).trimmed().toLower();
    s.Address = ini.readString(sec, QStringLiteral("Address"), s.Address).trimmed();
    s.Port = ini.readInteger(sec, QStringLiteral("Port"), s.Port);
    const QString allow = ini.readString(sec, QStringLiteral("AllowFrom"), s.AllowFrom.join(','));
    s.AllowFrom.clear();
    for (const QString& a : allow.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        s.AllowFrom << a.trimmed();
    }
    s.Operator = ini.readString(sec, QStringLiteral("Operator"), s.Operator).trimmed();
    s.RequestTimeout = ini.readInteger(sec, QStringLiteral("RequestTimeout"), s.RequestTimeout);
    s.CardWait = ini.readInteger(sec, QStringLiteral("CardWait"), s.CardWait);
    s.StaleMinutes = ini.readInteger(sec, QStringLiteral("StaleMinutes"), s.StaleMinutes);
    s.Encoder = ini.readInteger(sec, QStringLiteral("Encoder"), s.Encoder);
    return s;
}

void WriteLockDatabaseChoice(const LockDatabaseChoice& choice) {
    qv::IniFile ini(qv::AppPaths::iniFile());
    ini.writeInteger(ClientConfig, QStringLiteral("ConnType"), choice.ConnType);
    if (choice.ConnType == 0) {
        ini.writeString(ClientConfig, QStringLiteral("DbPath"), choice.DbPath);
    } else {
        ini.writeString(ClientConfig, QStringLiteral("ServerName"), choice.ServerName);
        ini.writeString(ClientConfig, QStringLiteral("UserName"), choice.UserName);
        ini.writeString(ClientConfig, QStringLiteral("Pass"), choice.Pass);
    }
}

QString LockDatabaseFile(const QString& dbPath) {
    QString path = dbPath;
    path.replace('\\', '/');
    if (QFileInfo(path).isRelative()) {
        path = qv::AppPaths::file(path);
    }
    return path;
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

namespace {

// A key's value when it is written as a number, without the 32-bit limit of
// the ordinary reading (a number too large for it counts as out of every
// range); nothing when the key is missing or its text is not a number.
std::optional<qint64> numberIn(const qv::IniFile& ini, const QString& section, const QString& key) {
    if (!ini.hasKey(section, key)) {
        return std::nullopt;
    }
    const QString text = ini.readString(section, key, QString()).trimmed();
    int value = 0;
    if (qv::IniFile::parseInteger(text, value)) {
        return value;
    }
    static const QRegularExpression number(QStringLiteral("^([+-]?[0-9]+|0[xX][0-9A-Fa-f]+)$"));
    if (!number.match(text).hasMatch()) {
        return std::nullopt;
    }
    return text.startsWith('-') ? std::numeric_limits<qint64>::min()
                                : std::numeric_limits<qint64>::max();
}

struct Limit {
    const QString& section;
    const char* key;
    qint64 min;
    qint64 max;
    QString meaning;  // what the allowed values are, for the message
    // Puts the value used instead of `value` in place for this run and gives
    // it; none: the start stops.
    std::function<int(TLockSystemInfo&, qint64 value)> fallBack;
};

}  // namespace

QStringList CheckSettings(TLockSystemInfo& info, bool& refused) {
    // Values the program would misuse: a tolerance that overflows the card
    // times, a database kind or port that an 8-bit field would turn into
    // another one. Such a value stops the start; a language number out of
    // range falls back to the workstation's language, a number of nights to
    // the nearest one the settings window offers.
    const Limit limits[] = {
        {SystemInfo, "DayCount", kMinDayCount, kMaxDayCount,
         qv::programText(QStringLiteral("天数，应在 0 到 100 之间")),
         [](TLockSystemInfo& i, qint64 value) {
             return i.DayCount =
                        static_cast<int32_t>(std::clamp<qint64>(value, kMinDayCount, kMaxDayCount));
         }},
        {SystemInfo,
         "TimeTolerance",
         -1440,
         1440,
         qv::programText(QStringLiteral("分钟数，应在 -1440 到 1440 之间")),
         {}},
        {SystemInfo, "LanguageID", 1, 0xFFFF,
         qv::programText(QStringLiteral("语言编号，应在 1 到 65535 之间")),
         [](TLockSystemInfo& i, qint64) { return i.LanguageID = qv::defaultLanguageId(); }},
        {Config,
         "CommProt",
         0,
         255,
         qv::programText(QStringLiteral("发卡机端口，应在 0 到 255 之间")),
         {}},
        {ClientConfig,
         "ConnType",
         0,
         1,
         qv::programText(
             QStringLiteral("数据库类型，应为 0（本机数据库文件）或 1（数据库服务器）")),
         {}},
    };
    refused = false;
    QStringList problems;
    const qv::IniFile ini(qv::AppPaths::iniFile());
    for (const Limit& limit : limits) {
        const QString key = QLatin1String(limit.key);
        const std::optional<qint64> value = numberIn(ini, limit.section, key);
        if (!value || (*value >= limit.min && *value <= limit.max)) {
            continue;
        }
        QString line = qv::programText(QStringLiteral("[%1] %2=%3：%4"))
                           .arg(limit.section, key, ini.readString(limit.section, key, QString()),
                                limit.meaning);
        if (limit.fallBack) {
            line += qv::programText(QStringLiteral("，本次使用 %1。"))
                        .arg(limit.fallBack(info, *value));
        } else {
            refused = true;
            line += qv::programText(QStringLiteral("。"));
        }
        problems << line;
    }
    return problems;
}

bool LoadSettings() {
    TLockSystemInfo fresh;
    ReadSystemInfo(fresh);
    bool refused = false;
    const QStringList problems = CheckSettings(fresh, refused);
    LockSystemInfo = fresh;
    LockSystemInfo.Loaded = true;
    if (problems.isEmpty()) {
        return true;
    }
    QString text = qv::programText(QStringLiteral("配置文件 %1 中有超出范围的设置：\n"))
                       .arg(qv::AppPaths::iniFile()) +
                   problems.join('\n');
    text += refused ? qv::programText(QStringLiteral("\n请改正后重新启动程序。")) : QString();
    qv::messageBox(qv::noticeTitle(), text, refused ? qv::Icon::Error : qv::Icon::Warning);
    return !refused;
}
