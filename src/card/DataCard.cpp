#include "card/DataCard.h"
#include "data/OperationLog.h"
#include "platform/ProgramText.h"

#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "data/dm_unit.h"

#include <QHash>
#include <QSqlQuery>
#include <QTimeZone>
#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

namespace qv {
namespace {

const QString kTimeCardRom = QStringLiteral("00000000");

// A date and time the database can keep: a valid calendar date of a four-digit
// year, and hours and minutes of a day. The time is the lock's wall-clock time
// in the system's time zone, reckoned by Qt's own zone data: a card of
// thousands of records would otherwise ask the C library for the zone once
// per record.
QDateTime openTimeOf(const TCardTime& time) {
    if (time[0] < 1 || time[0] > 9999) {
        return {};
    }
    const QDate date(time[0], time[1], time[2]);
    const QTime clock(time[3], time[4], 0);
    if (!date.isValid() || !clock.isValid()) {
        return {};
    }
    static const QTimeZone zone = QTimeZone::systemTimeZone();
    return QDateTime(date, clock, zone);
}

// The lock address of a record: room number, building, floor.
quint64 addressKey(const OpenDoorRecord& r) {
    return (quint64{r.RoomAddr[0]} << 32) | (quint64{r.Building} << 16) | r.Floor;
}

// Empty rather than null, so that the rows of unknown locks are stored as
// empty text like the door plate the operator leaves empty.
QString notNull(const QString& text) {
    return text.isNull() ? QString(QLatin1String("")) : text;
}

struct Room {
    QString roomStr;
    QString systemRoomStr;
};

struct LogEntry {
    QString holder;
    QString maker;
};

// The identity of a record without its place among equal ones: lock, raw
// time words, card type, serial words.
QString identityOf(const OpenDoorRecord& r) {
    return QStringLiteral("%1.%2.%3|%4.%5.%6.%7.%8|%9|%10.%11.%12.%13")
        .arg(r.Building)
        .arg(r.Floor)
        .arg(r.RoomAddr[0])
        .arg(r.Time[0])
        .arg(r.Time[1])
        .arg(r.Time[2])
        .arg(r.Time[3])
        .arg(r.Time[4])
        .arg(r.CardType)
        .arg(r.CardSn[0], 4, 16, QLatin1Char('0'))
        .arg(r.CardSn[1], 4, 16, QLatin1Char('0'))
        .arg(r.CardSn[2], 4, 16, QLatin1Char('0'))
        .arg(r.CardSn[3], 4, 16, QLatin1Char('0'));
}

}  // namespace

int16_t ReadDataCardRecords(QList<OpenDoorRecord>& records, const DataCardProgress& progress) {
    records.clear();
    Encoder& encoder = Encoder::instance();
    DataCardBuffer buffer;
    const int16_t opened = encoder.readDataCard(buffer);
    if (opened != QV_ENC_OK) {
        return opened;
    }
    QList<OpenDoorRecord> read;
    OpenDoorRecord record;
    int16_t code = encoder.readOneOpenDoorRecord(record, buffer);
    if (code != QV_ENC_OK) {
        return code;  // no record at all
    }
    while (code == QV_ENC_OK) {
        read.append(record);
        if (progress) {
            progress(static_cast<int>(read.size()));
        }
        code = encoder.readOneOpenDoorRecord(record, buffer);
    }
    // The end of the records is any other answer, except that the card or the
    // encoder went away: the records read so far are then only a part.
    if (code == QV_ENC_NO_CARD || code == QV_ENC_NO_ENCODER) {
        return code;
    }
    records = std::move(read);
    return QV_ENC_OK;
}

QString DoorOpeningRom(const OpenDoorRecord& record) {
    if (record.CardType == CardTypes::Time) {
        return kTimeCardRom;
    }
    return CardRom(record.CardSn, record.CardType);
}

QList<DoorOpening> DecodeOpenDoorRecords(const QList<OpenDoorRecord>& records) {
    QHash<quint64, Room> rooms;
    QHash<int, QString> kinds;
    QHash<std::pair<int, QString>, LogEntry> log;
    QHash<QString, int> seen;  // identity -> records of it so far
    QList<DoorOpening> rows;
    rows.reserve(records.size());
    for (const OpenDoorRecord& r : records) {
        DoorOpening row;
        row.Counter = static_cast<int>(rows.size()) + 1;
        const quint64 key = addressKey(r);
        auto room = rooms.constFind(key);
        if (room == rooms.cend()) {
            TRoomAddr addr = {};
            addr[0] = r.RoomAddr[0];
            addr[1] = r.Building;
            addr[2] = r.Floor;
            const TRoomNames names = GetRoomNamesByAddr(addr);
            room = rooms.insert(key, {notNull(names.RoomStr), notNull(names.SystemRoomStr)});
        }
        row.RoomStr = room->roomStr;
        row.Buiding = r.Building;
        row.Floor = r.Floor;
        row.RoomNumber = r.RoomAddr[0];
        const QString identity = identityOf(r);
        row.RecordKey = identity + QLatin1Char('|') + QString::number(++seen[identity]);
        row.Rom = DoorOpeningRom(r);
        std::copy(std::begin(r.Time), std::begin(r.Time) + 5, std::begin(row.RawTime));
        row.OpenTime = openTimeOf(r.Time);
        row.CardType = r.CardType;
        auto kind = kinds.constFind(row.CardType);
        if (kind == kinds.cend()) {
            kind = kinds.insert(row.CardType, GetKeyKind(row.CardType));
        }
        row.CardTypeStr = *kind;
        // A guest card is logged under its room's system code and number.
        const QString logRom =
            row.CardType == CardTypes::Guest ? room->systemRoomStr + row.Rom : row.Rom;
        const std::pair<int, QString> card{row.CardType, logRom};
        auto entry = log.constFind(card);
        if (entry == log.cend()) {
            const TCardLogNames names = GetCardLogNames(row.CardType, logRom);
            entry = log.insert(card, {names.Holder, names.MakeName});
        }
        row.CardHolderStr = entry->holder;
        row.MakeName = entry->maker;
        rows.append(std::move(row));
    }
    return rows;
}

int StoreDoorOpenings(QList<DoorOpening>& rows, const DoorOpeningProgress& progress) {
    if (rows.isEmpty()) {
        return 0;
    }
    Connection& conn = dm->conn;
    Transaction t(conn);
    // Rows stored before records were identified carry no key (the index
    // finds them without reading the table).
    const bool unkeyed =
        conn.scalar(QStringLiteral("Select count(*) From (Select 1 From OpenDoorRecord Where "
                                   "RecordKey Is Null Limit 1) a"))
            .toInt() > 0;
    int added = 0;
    {
        // An unkeyed row of the same record is claimed, unless the record is
        // stored under its key already.
        const QString claim = QStringLiteral(
            "Update OpenDoorRecord Set RecordKey = :k, Buiding = :b, Floor = :f, RoomNumber = :n "
            "Where ID = (Select min(ID) From OpenDoorRecord Where RecordKey Is Null And RoomStr = "
            ":r And Rom = :rom And CardType = :ct And %1) And Not Exists (Select 1 From "
            "OpenDoorRecord Where RecordKey = :k2)");
        std::optional<PreparedStatement> claimAt, claimUntimed;
        if (unkeyed) {
            claimAt.emplace(conn, claim.arg(QStringLiteral("OpenTime = :t")));
            claimUntimed.emplace(conn, claim.arg(QStringLiteral("OpenTime Is Null")));
        }
        PreparedStatement insert(
            conn,
            QStringLiteral("Insert Into OpenDoorRecord (RoomStr, Rom, OpenTime, CardType, "
                           "CardTypeStr, CardHolderStr, MakeName, Buiding, Floor, RoomNumber, "
                           "RecordKey) Values (:RoomStr, :Rom, :OpenTime, :CardType, "
                           ":CardTypeStr, :CardHolderStr, :MakeName, :Buiding, :Floor, "
                           ":RoomNumber, :RecordKey) On Conflict (RecordKey) Do Nothing"));
        int done = 0;
        for (DoorOpening& row : rows) {
            row.Stored = false;
            bool claimed = false;
            if (unkeyed) {
                QVariantList values{row.RecordKey, row.Buiding, row.Floor,   row.RoomNumber,
                                    row.RoomStr,   row.Rom,     row.CardType};
                if (row.OpenTime.isValid()) {
                    values << row.OpenTime << row.RecordKey;
                    claimed = claimAt->execute(values) > 0;
                } else {
                    values << row.RecordKey;
                    claimed = claimUntimed->execute(values) > 0;
                }
            }
            if (!claimed) {
                row.Stored =
                    insert.execute({row.RoomStr, row.Rom, row.OpenTime, row.CardType,
                                    row.CardTypeStr, row.CardHolderStr, row.MakeName, row.Buiding,
                                    row.Floor, row.RoomNumber, row.RecordKey}) > 0;
                added += row.Stored ? 1 : 0;
            }
            if (progress) {
                progress(++done);
            }
        }
    }
    oplog::appendOperation(
        conn, {QLatin1String(oplog::Actions::DataCardRead), QString(),
               programText(QStringLiteral("读出 %1 条，新存 %2 条")).arg(rows.size()).arg(added)});
    t.commit();
    return added;
}

int16_t ReadAndStoreDataCard(QList<DoorOpening>& stored, const DataCardProgress& progress,
                             const DoorOpeningProgress& storing) {
    stored.clear();
    QList<OpenDoorRecord> records;
    const int16_t code = ReadDataCardRecords(records, progress);
    if (code != QV_ENC_OK) {
        return code;
    }
    QList<DoorOpening> rows = DecodeOpenDoorRecords(records);
    StoreDoorOpenings(rows, storing);
    stored = std::move(rows);
    return code;
}

QList<UnknownLock> UnknownLocks(const QList<DoorOpening>& rows) {
    QList<UnknownLock> locks;
    QHash<quint64, qsizetype> at;
    for (const DoorOpening& row : rows) {
        if (!row.RoomStr.isEmpty()) {
            continue;
        }
        const quint64 key = (quint64(quint16(row.Buiding)) << 32) |
                            (quint64(quint16(row.Floor)) << 16) | quint16(row.RoomNumber);
        auto it = at.constFind(key);
        if (it == at.cend()) {
            it = at.insert(key, locks.size());
            locks.append({row.Buiding, row.Floor, row.RoomNumber, 0});
        }
        ++locks[*it].records;
    }
    return locks;
}

}  // namespace qv
