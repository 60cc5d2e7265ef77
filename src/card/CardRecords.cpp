#include "card/CardRecords.h"

#include "card/CardFunctions.h"
#include "data/Dialect.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"
#include "settings/Settings.h"

namespace {

const QString kNone = QStringLiteral("None");

qv::Connection& conn() {
    return dm->conn;
}

qv::Binds address(const TRoomAddr& roomAddr) {
    return {{QStringLiteral(":b"), roomAddr[1]},
            {QStringLiteral(":f"), roomAddr[2]},
            {QStringLiteral(":n"), roomAddr[0]}};
}

QString roomByAddr(const TRoomAddr& roomAddr, const char* column) {
    QSqlQuery q =
        conn().run(QStringLiteral("Select * From RoomInfo Where Buiding = :b And Floor = :f "
                                  "And RoomNumber = :n"),
                   address(roomAddr));
    return q.next() ? q.value(QLatin1String(column)).toString() : QString();
}

QString logColumn(int cardType, const QString& rom, const char* column) {
    QSqlQuery q = conn().run(
        QStringLiteral("Select %1 From MakeCardRecord Where CardType = :t And Rom = :r order by ID")
            .arg(QLatin1String(column)),
        {{QStringLiteral(":t"), cardType}, {QStringLiteral(":r"), rom}});
    return q.next() ? q.value(0).toString() : kNone;
}

// Holds the counter row until the transaction ends (PostgreSQL; SQLite's
// BEGIN IMMEDIATE already keeps every other writer out).
qint64 lockedCounter(const CardSerialSource& source) {
    const bool server = conn().kind() == qv::DbKind::PostgreSQL;
    const QString lock = server ? QStringLiteral(" for update") : QString();
    QVariant v;
    if (!source.roomStr.isNull()) {
        v = conn().scalar(QStringLiteral("Select CardSn From RoomInfo Where RoomStr = :r") + lock,
                          {{QStringLiteral(":r"), source.roomStr}});
    } else {
        // A missing counter row is made first, so that there is a row to lock
        // even for the first card of its kind.
        const qv::Binds k{{QStringLiteral(":k"), source.counterKind}};
        conn().execute(QStringLiteral("Insert Into AllCardSn (CardType, CardSn) Values (:k, 0) "
                                      "On Conflict (CardType) Do Nothing"),
                       k);
        v = conn().scalar(QStringLiteral("Select CardSn From AllCardSn Where CardType = :k") + lock,
                          k);
    }
    return v.toLongLong();
}

}  // namespace

QString GetCardTypeTitle(int cardType) {
    qv::DataSet& q = dm->other_adoq;
    q.clearSql();
    q.addSql(QStringLiteral("select C_Title from cardtype"));
    q.addSql(QStringLiteral("where"));
    q.addSql(QStringLiteral("id = :id"));
    q.bind(QStringLiteral(":id"), cardType);
    q.open();
    return q.isEmpty() ? QString() : q.text(QStringLiteral("C_Title"));
}

void GetCardSnByKind(int kind, TCardData& card) {
    const QVariant v =
        conn().scalar(QStringLiteral("Select CardSn From AllCardSn Where CardType = :k"),
                      {{QStringLiteral(":k"), kind}});
    SetCardSerial(card, v.toLongLong());
}

void IncCardSnByKind(int kind) {
    const qv::Binds k{{QStringLiteral(":k"), kind}};
    if (conn().execute(QStringLiteral("Update AllCardSn Set CardSn = coalesce(CardSn, 0) + 1 "
                                      "Where CardType = :k"),
                       k) == 0) {
        conn().execute(QStringLiteral("Insert Into AllCardSn (CardType, CardSn) Values (:k, 1)"),
                       k);
    }
}

void GetRoomCardSn(const QString& roomStr, TCardData& card) {
    const QVariant v =
        conn().scalar(QStringLiteral("Select CardSn From RoomInfo Where RoomStr = :r"),
                      {{QStringLiteral(":r"), roomStr}});
    SetCardSerial(card, v.toLongLong() + card.CardSn[0]);
}

void IncRoomCardSn(const QString& roomStr) {
    conn().execute(
        QStringLiteral("Update RoomInfo Set CardSn = coalesce(CardSn, 0) + 1 Where RoomStr = :r"),
        {{QStringLiteral(":r"), roomStr}});
}

bool RoomExists(const QString& roomStr) {
    QSqlQuery q = conn().run(
        QStringLiteral("Select Buiding, Floor, RoomNumber From RoomInfo Where RoomStr = :r"),
        {{QStringLiteral(":r"), roomStr}});
    return q.next();
}

void GetRoomAddr(const QString& roomStr, TRoomAddr& roomAddr) {
    std::fill(std::begin(roomAddr), std::end(roomAddr), uint16_t{0});
    QSqlQuery q = conn().run(
        QStringLiteral("Select Buiding, Floor, RoomNumber From RoomInfo Where RoomStr = :r"),
        {{QStringLiteral(":r"), roomStr}});
    if (q.next()) {
        roomAddr[0] = static_cast<uint16_t>(q.value(2).toUInt());
        roomAddr[1] = static_cast<uint16_t>(q.value(0).toUInt());
        roomAddr[2] = static_cast<uint16_t>(q.value(1).toUInt());
    }
}

int GetRoomId(const QString& roomStr) {
    return conn()
        .scalar(QStringLiteral("Select Room From RoomInfo Where RoomStr = :r"),
                {{QStringLiteral(":r"), roomStr}})
        .toInt();
}

QString GetRoomStrByAddr(const TRoomAddr& roomAddr) {
    return roomByAddr(roomAddr, "RoomStr");
}
QString GetSystemRoomStrByAddr(const TRoomAddr& roomAddr) {
    return roomByAddr(roomAddr, "SystemRoomStr");
}

void RoomRef::putOn(TCardData& card) const {
    std::fill(std::begin(card.RoomAddr), std::end(card.RoomAddr), uint16_t{0});
    card.RoomAddr[0] = roomNumber;
    card.RoomAddr[1] = building;
    card.RoomAddr[2] = floor;
    card.Building = building;
    card.Floor[0] = floor;
}

namespace {
const QString kRoomRefColumns = QStringLiteral(
    "Select Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber From RoomInfo ");

RoomRef roomRef(QSqlQuery& q) {
    RoomRef room;
    if (q.next()) {
        room.found = true;
        room.room = q.value(0).toInt();
        room.roomStr = q.value(1).toString();
        room.systemRoomStr = q.value(2).toString();
        room.building = static_cast<uint16_t>(q.value(3).toUInt());
        room.floor = static_cast<uint16_t>(q.value(4).toUInt());
        room.roomNumber = static_cast<uint16_t>(q.value(5).toUInt());
    }
    return room;
}
}  // namespace

RoomRef ResolveRoom(const QString& roomStr) {
    QSqlQuery q = conn().run(kRoomRefColumns + QStringLiteral("Where RoomStr = :r"),
                             {{QStringLiteral(":r"), roomStr}});
    return roomRef(q);
}

RoomRef ResolveRoom(const TRoomAddr& roomAddr) {
    QSqlQuery q = conn().run(
        kRoomRefColumns + QStringLiteral("Where Buiding = :b And Floor = :f And RoomNumber = :n"),
        address(roomAddr));
    return roomRef(q);
}

int MakeCardLog(const TCardData& card, const QString& holder, const QString& explain) {
    const RoomRef room =
        card.CardType[0] == CardTypes::Guest ? ResolveRoom(card.RoomAddr) : RoomRef{};
    return MakeCardLog(card, holder, explain, room);
}

int MakeCardLog(const TCardData& card, const QString& holder, const QString& explain,
                const RoomRef& room) {
    // One bound insert: the log grows to millions of rows and is never read
    // whole to add one.
    const int type = card.CardType[0];
    QStringList columns{QStringLiteral("Rom")};
    qv::Binds values;
    QString rom = CardRom(card);
    if (type == CardTypes::Guest) {
        rom = room.systemRoomStr + rom;
        columns << QStringLiteral("RoomStr");
        values.insert(QStringLiteral(":RoomStr"), room.roomStr);
    }
    values.insert(QStringLiteral(":Rom"), rom);
    columns << QStringLiteral("enOverride");
    values.insert(QStringLiteral(":enOverride"), card.Override);
    if (!holder.trimmed().isEmpty()) {
        columns << QStringLiteral("Holder");
        values.insert(QStringLiteral(":Holder"), holder);
    }
    columns << QStringLiteral("Explain") << QStringLiteral("CardType") << QStringLiteral("MakeUser")
            << QStringLiteral("MakeName");
    values.insert(QStringLiteral(":Explain"), explain);
    values.insert(QStringLiteral(":CardType"), type);
    values.insert(QStringLiteral(":MakeUser"), LockSystemInfo.Staffer);
    values.insert(QStringLiteral(":MakeName"), LockSystemInfo.StafferName);
    if (type == CardTypes::Floor) {
        columns << QStringLiteral("Floor");
        values.insert(QStringLiteral(":Floor"), card.Floor[0]);
    } else if (type == CardTypes::District) {
        columns << QStringLiteral("District");
        values.insert(QStringLiteral(":District"), card.District[0]);
    } else if (type == CardTypes::Building) {
        columns << QStringLiteral("Buiding");
        values.insert(QStringLiteral(":Buiding"), card.Building);
    }
    columns << QStringLiteral("StartTime") << QStringLiteral("EndTime");
    values.insert(QStringLiteral(":StartTime"), CardTimeToDate(card.StartTime));
    values.insert(QStringLiteral(":EndTime"), CardTimeToDate(card.EndTime));
    QStringList params;
    for (const QString& c : columns) {
        params << ':' + c;
    }
    try {
        conn().execute(
            QStringLiteral("Insert Into MakeCardRecord (%1) Values (%2)")
                .arg(columns.join(QStringLiteral(", ")), params.join(QStringLiteral(", "))),
            values);
    } catch (const qv::DbError& e) {
        throw qv::Error(e.text());
    }
    return 1;
}

QString GetCardHolder(int cardType, const QString& rom) {
    return logColumn(cardType, rom, "Holder");
}
QString GetCardExplain(int cardType, const QString& rom) {
    return logColumn(cardType, rom, "Explain");
}
QString GetCardMaker(int cardType, const QString& rom) {
    return logColumn(cardType, rom, "MakeName");
}

QString GetKeyKind(int keyId) {
    QSqlQuery q = conn().run(QStringLiteral("Select KeyKind From KeyKindTable Where KeyID = :k"),
                             {{QStringLiteral(":k"), keyId}});
    return q.next() ? q.value(0).toString() : kNone;
}

int IssueCard(const CardSerialSource& source, TCardData& card,
              const std::function<int(TCardData&)>& write, const std::function<void()>& record) {
    qv::Transaction t(conn());
    if (source.serialZero) {
        SetCardSerial(card, 0);
    } else {
        const qint64 counter = lockedCounter(source);
        const bool newGuestCard = !source.roomStr.isNull() && !source.copy;
        SetCardSerial(card, counter + (newGuestCard ? 1 : 0));
    }
    const int code = write(card);
    if (code != 1) {
        return code;  // nothing written: the transaction is rolled back
    }
    try {
        if (!source.copy && !source.serialZero) {
            if (!source.roomStr.isNull()) {
                IncRoomCardSn(source.roomStr);
            } else {
                IncCardSnByKind(source.counterKind);
            }
        }
        if (record) {
            record();
        }
        t.commit();
    } catch (const qv::Error& e) {
        QString rom = CardRom(card);
        if (card.CardType[0] == CardTypes::Guest) {
            rom = source.roomStr + QStringLiteral(" ") + rom;
        }
        throw qv::DbError(QStringLiteral("卡已写好，但发卡记录没有保存，所有记录都已撤销：%1\n"
                                         "请注销这张卡（%2）后重新发卡。")
                              .arg(e.text(), rom));
    }
    return code;
}
