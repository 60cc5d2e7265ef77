#pragma once

#include <QString>
#include <QStringList>
#include <QTime>
#include <cstdint>

// The default number of nights of a stay: the range of the settings window,
// which start-up holds every value of the file to.
inline constexpr int32_t kMinDayCount = 0;
inline constexpr int32_t kMaxDayCount = 100;

// The workstation's settings, read once at start-up from Mirefold.ini in the
// program's folder. The logged-on operator is qv::session() (data/Session.h).
struct TLockSystemInfo {
    QString HotelName;
    int32_t DayCount = 1;
    QTime LeaveTime{12, 0, 0};
    int32_t TimeTolerance = 0;  // minutes added to the start and end of every card
    QString Pass;               // the hotel's encoder system code, 8 hex digits
    int32_t LanguageID = 0;
    bool Loaded = false;
    bool UseRoomID = false;  // never read from the file
    uint8_t ConnType = 0;    // 0 embedded SQLite file, 1 PostgreSQL server
    uint8_t Recycle = 24;    // hours; held modulo 256, used by no operation
};

// The [Config] encoder settings, read by the settings window.
struct TLock_Info {
    uint8_t LockType = 0;
    uint8_t CommProt = 0;
    uint8_t Sector = 8;
    uint8_t Block = 0;
    uint8_t KeyType = 0;
    QString KeyStr = QStringLiteral("A0B1C2D3E4F5");
};

extern TLockSystemInfo LockSystemInfo;

// Process-wide flags and values shared by the windows.
extern bool RoomBoardChanged;  // rooms or stays changed: the board rebuilds on its next tick
extern int EncoderType;        // first word of the encoder's parameter block
extern bool CheckInRight;      // the operator's check-in right, for the board's pop-up menu

namespace settings {
// Section and key names of Mirefold.ini.
inline const QString SystemInfo = QStringLiteral("SystemInfo");
inline const QString Config = QStringLiteral("Config");
inline const QString ClientConfig = QStringLiteral("Client Config");
inline const QString Interface = QStringLiteral("Interface");
}  // namespace settings

// Fills `info` from [SystemInfo] and [Client Config]; `Loaded` is left as it is.
void ReadSystemInfo(TLockSystemInfo& info);
void ReadLockInfo(TLock_Info& info);
// Reads the settings into LockSystemInfo and marks them loaded. Values out of
// their range are shown in one message: false when one of them stops the start.
bool LoadSettings();
// The settings file's values out of range, one line each for the message;
// `refused` when one of them stops the start. A value that only falls back to
// its default is replaced in `info`.
QStringList CheckSettings(TLockSystemInfo& info, bool& refused);
// [Client Config] DbPath's default: db/lock.db in the program's folder.
QString DefaultDbPath();

// The lock database that [Client Config] names: ConnType 0 the file DbPath,
// ConnType 1 the server ServerName ("host" or "host:port") with UserName
// and Pass.
struct LockDatabaseChoice {
    int ConnType = 0;
    QString DbPath;  // as it is written in the file
    QString ServerName;
    QString UserName;
    QString Pass;
};
LockDatabaseChoice ReadLockDatabaseChoice();
// Writes ConnType and the keys of that kind, in this order.
void WriteLockDatabaseChoice(const LockDatabaseChoice& choice);
// The file a DbPath names on this machine: '\' read as '/', a relative
// path below the program's folder.
QString LockDatabaseFile(const QString& dbPath);

// [Interface]: the PMS key interface service and the encoder stations.
struct InterfaceSettings {
    QString Role = QStringLiteral("server");  // "server" listens for the PMS, "client" connects
    QString Address = QStringLiteral("127.0.0.1");
    int Port = 5010;
    QStringList AllowFrom{QStringLiteral("127.0.0.1")};  // server: the PMS addresses accepted
    QString Operator;            // the operator login whose rights the PMS has
    int RequestTimeout = 120;    // seconds a request may wait for its encoder
    int CardWait = 30;           // seconds a station waits for a card to be placed
    int StaleMinutes = 10;       // a record dated further from now is refused
    int Encoder = 0;             // a station's encoder number (0: no station)
};
InterfaceSettings ReadInterfaceSettings();
