#include "card/CardRecords.h"

#include "card/CardFunctions.h"
#include "card/Encoder.h"
#include "data/Dialect.h"
#include "data/OperationLog.h"
#include "data/Session.h"
#include "data/dm_unit.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"
#include "settings/Settings.h"

#include <QSet>
#include <algorithm>

namespace {

const QString kNone = QStringLiteral("None");

qv::Connection& conn() {
    return dm->conn;
}

// The look-ups below run often (a data card looks up every record's room
// and card): their statements are prepared once per connection
// (Connection::cached) and read by column number.

// Door plate and system room code of a lock address, in that order.
qv::CachedQuery namesByAddr(const TRoomAddr& roomAddr) {
    static const QString sql = QStringLiteral(
        "Select RoomStr, SystemRoomStr From RoomInfo "
        "Where Buiding = :b And Floor = :f And RoomNumber = :n");
    return conn().cached(sql, {roomAddr[1], roomAddr[2], roomAddr[0]});
}

QString roomByAddr(const TRoomAddr& roomAddr, int column) {
    qv::CachedQuery q = namesByAddr(roomAddr);
    return q.next() ? q.value(column).toString() : QString();
}

enum class LogColumn { Holder, Explain, MakeName };

QString logColumn(int cardType, const QString& rom, LogColumn column) {
    static const QString sql[] = {
        QStringLiteral(
            "Select Holder From MakeCardRecord Where CardType = :t And Rom = :r order by ID"),
        QStringLiteral(
            "Select Explain From MakeCardRecord Where CardType = :t And Rom = :r order by ID"),
        QStringLiteral(
            "Select MakeName From MakeCardRecord Where CardType = :t And Rom = :r order by ID")};
    qv::CachedQuery q = conn().cached(sql[static_cast<int>(column)], {cardType, rom});
    return q.next() ? q.value(0).toString() : kNone;
}

bool onServer() {
    return conn().kind() == qv::DbKind::PostgreSQL;
}

// The columns and values of a card's issue log row, in the same order.
struct LogRow {
    QStringList columns;
    QVariantList values;
    QString rom;

    void add(const QString& column, const QVariant& value) {
        columns << column;
        values << value;
    }
};

// `names` are those of the card's room when they are known already (a guest
// card); otherwise they are looked up by its lock address, once.
LogRow logRow(const TCardData& card, const QString& holder, const QString& explain,
              const TRoomNames* names = nullptr) {
    const int type = card.CardType[0];
    LogRow row;
    row.rom = CardRom(card);
    if (type == CardTypes::Guest) {
        const TRoomNames found = names ? *names : GetRoomNamesByAddr(card.RoomAddr);
        row.rom = found.SystemRoomStr + row.rom;
        row.add(QStringLiteral("RoomStr"), found.RoomStr);
    }
    row.add(QStringLiteral("Rom"), row.rom);
    row.add(QStringLiteral("enOverride"), card.Override);
    if (!holder.trimmed().isEmpty()) {
        row.add(QStringLiteral("Holder"), holder);
    }
    row.add(QStringLiteral("Explain"), explain);
    row.add(QStringLiteral("CardType"), type);
    row.add(QStringLiteral("MakeUser"), qv::session().login);
    row.add(QStringLiteral("MakeName"), qv::session().name);
    if (type == CardTypes::Floor) {
        row.add(QStringLiteral("Floor"), card.Floor[0]);
    } else if (type == CardTypes::District) {
        row.add(QStringLiteral("District"), card.District[0]);
    } else if (type == CardTypes::Building) {
        row.add(QStringLiteral("Buiding"), card.Building);
    }
    row.add(QStringLiteral("StartTime"), CardTimeToDate(card.StartTime));
    row.add(QStringLiteral("EndTime"), CardTimeToDate(card.EndTime));
    return row;
}

// Stores `row` with `state`: over the row `id` when there is one (0 or a row
// that is gone: a new row). The row's key. Every card stores its row twice
// (reserved, then confirmed), so both statements are kept prepared on the
// connection: their text depends only on which columns the card has.
qint64 storeLogRow(LogRow row, int state, qint64 id = 0) {
    row.add(QStringLiteral("CardState"), state);
    if (id > 0) {
        QString sets;
        for (const QString& c : row.columns) {
            if (!sets.isEmpty()) {
                sets += QStringLiteral(", ");
            }
            sets += c + QStringLiteral(" = :") + c;
        }
        QVariantList values = row.values;
        values << id;
        if (conn()
                .cached(QStringLiteral("Update MakeCardRecord Set %1 Where ID = :ID").arg(sets),
                        values)
                .rowsChanged() > 0) {
            return id;
        }
    }
    QString params;
    for (const QString& c : row.columns) {
        if (!params.isEmpty()) {
            params += QStringLiteral(", ");
        }
        params += ':' + c;
    }
    qv::CachedQuery q =
        conn().cached(QStringLiteral("Insert Into MakeCardRecord (%1) Values (%2) Returning ID")
                          .arg(row.columns.join(QStringLiteral(", ")), params),
                      row.values);
    return q.next() ? q.value(0).toLongLong() : 0;
}

bool newCard(const CardSerialSource& source) {
    return !source.copy && !source.serialZero;
}

// Locks the room's counter row until the transaction ends (PostgreSQL; on
// SQLite BEGIN IMMEDIATE already keeps every other writer out) and reads it.
qint64 lockedRoomCounter(const QString& roomStr) {
    static const QString read = QStringLiteral("Select CardSn From RoomInfo Where RoomStr = :r");
    static const QString locked = read + QStringLiteral(" For Update");
    qv::CachedQuery q = conn().cached(onServer() ? locked : read, {roomStr});
    return q.next() ? q.value(0).toLongLong() : 0;
}

// A serial handed to the encoder: its log row and what the counter was set to.
struct Reservation {
    qint64 logId = 0;
    qint64 serial = 0;
    int cardType = 0;
    QString rom;
    // A guest card: its room's names, looked up once for all of its log rows.
    TRoomNames names;
    TRoomAddr roomAddr{};
};

// Step 1: advances the counter (a new card), or reads it under lock (a copy),
// sets the card's serial and enters the Pending log row, all committed before
// the encoder is called.
Reservation reserve(const CardSerialSource& source, TCardData& card, const CardLogText& text) {
    qv::Transaction t(conn());
    qint64 serial = 0;
    if (source.serialZero) {
        serial = 0;
    } else if (!source.roomStr.isNull()) {
        if (source.copy) {
            serial = lockedRoomCounter(source.roomStr);
        } else {
            static const QString advance = QStringLiteral(
                "Update RoomInfo Set CardSn = coalesce(CardSn, 0) + 1 Where RoomStr = :r "
                "Returning CardSn");
            qv::CachedQuery q = conn().cached(advance, {source.roomStr});
            // No such room: counted from 0, nothing to advance.
            serial = q.next() ? q.value(0).toLongLong() : 1;
        }
    } else {
        // The counter holds the next serial. A missing row is made by the first card.
        static const QString advance = QStringLiteral(
            "Update AllCardSn Set CardSn = coalesce(CardSn, 0) + 1 Where CardType = :k "
            "Returning CardSn");
        static const QString make = QStringLiteral(
            "Insert Into AllCardSn (CardType, CardSn) Values (:k, 1) "
            "On Conflict (CardType) Do Update Set CardSn = coalesce(AllCardSn.CardSn, 0) + 1 "
            "Returning CardSn");
        std::optional<qint64> next;
        {
            qv::CachedQuery q = conn().cached(advance, {source.counterKind});
            if (q.next()) {
                next = q.value(0).toLongLong();
            }
        }
        if (!next) {
            qv::CachedQuery q = conn().cached(make, {source.counterKind});
            next = q.next() ? q.value(0).toLongLong() : 1;
        }
        serial = *next - 1;
    }
    SetCardSerial(card, serial);
    Reservation r;
    if (card.CardType[0] == CardTypes::Guest) {
        r.names = text.room ? *text.room : GetRoomNamesByAddr(card.RoomAddr);
        std::copy(std::begin(card.RoomAddr), std::end(card.RoomAddr), std::begin(r.roomAddr));
    }
    const LogRow row = logRow(card, text.holder, text.explain, &r.names);
    r.serial = serial;
    r.cardType = card.CardType[0];
    r.rom = row.rom;
    r.logId = storeLogRow(row, CardLogStates::Pending);
    t.commit();
    return r;
}

// The encoder wrote nothing: the log row goes, and the counter goes back
// where that cannot make a serial that may be on a card come again: no other
// desk has advanced it since, and no other row (a copy) carries the serial.
void giveBack(const CardSerialSource& source, const Reservation& r) {
    qv::Transaction t(conn());
    if (newCard(source) && !source.roomStr.isNull()) {
        lockedRoomCounter(source.roomStr);  // a copy being reserved waits, or is seen below
    }
    conn().execute(QStringLiteral("Delete From MakeCardRecord Where ID = :id"),
                   {{QStringLiteral(":id"), r.logId}});
    if (newCard(source)) {
        const QString noOther = QStringLiteral(
            " And Not Exists (Select 1 From MakeCardRecord Where CardType = :t And Rom = :rom)");
        qv::Binds b{{QStringLiteral(":t"), r.cardType}, {QStringLiteral(":rom"), r.rom}};
        if (!source.roomStr.isNull()) {
            b.insert(QStringLiteral(":r"), source.roomStr);
            b.insert(QStringLiteral(":s"), r.serial);
            conn().execute(QStringLiteral("Update RoomInfo Set CardSn = CardSn - 1 "
                                          "Where RoomStr = :r And CardSn = :s") +
                               noOther,
                           b);
        } else {
            b.insert(QStringLiteral(":k"), source.counterKind);
            b.insert(QStringLiteral(":s"), r.serial + 1);
            conn().execute(QStringLiteral("Update AllCardSn Set CardSn = CardSn - 1 "
                                          "Where CardType = :k And CardSn = :s") +
                               noOther,
                           b);
        }
    }
    t.commit();
}

// The issue whose records are being stored: MakeCardLog stores its row over
// the reserved one and keeps the holder it was given, should the records fail.
struct RecordingIssue {
    const Reservation* reserved = nullptr;
    qint64 logId = 0;
    bool logged = false;
    bool gotText = false;
    QString holder;
    QString explain;
};
thread_local RecordingIssue* g_recording = nullptr;

// The names of the reserved card's room when `card` still carries its lock
// address, so that its rows do not look them up again.
const TRoomNames* reservedNames(const Reservation* reserved, const TCardData& card) {
    return reserved && card.CardType[0] == CardTypes::Guest &&
                   std::equal(std::begin(card.RoomAddr), std::end(card.RoomAddr),
                              std::begin(reserved->roomAddr))
               ? &reserved->names
               : nullptr;
}

}  // namespace

QString GetCardTypeTitle(int cardType) {
    QSqlQuery q = conn().run(QStringLiteral("select C_Title from cardtype where id = :id"),
                             {{QStringLiteral(":id"), cardType}});
    return q.next() ? q.value(0).toString() : QString();
}

QString CardTypeText(const QString& title) {
    // The titles of the lock database's CardType rows as it is created.
    static const QSet<QString> created = {
        qv::programTextKey(QStringLiteral("清除卡")),
        qv::programTextKey(QStringLiteral("校时卡")),
        qv::programTextKey(QStringLiteral("应急卡")),
        qv::programTextKey(QStringLiteral("宾客卡")),
        qv::programTextKey(QStringLiteral("楼层卡")),
        qv::programTextKey(QStringLiteral("区域卡")),
        qv::programTextKey(QStringLiteral("组卡")),
        qv::programTextKey(QStringLiteral("楼号卡")),
        qv::programTextKey(QStringLiteral("通道设置卡")),
        qv::programTextKey(QStringLiteral("总卡")),
        qv::programTextKey(QStringLiteral("备用卡")),
        qv::programTextKey(QStringLiteral("挂失卡")),
        qv::programTextKey(QStringLiteral("设置卡")),
        qv::programTextKey(QStringLiteral("采集启动卡")),
        qv::programTextKey(QStringLiteral("数据卡")),
    };
    return created.contains(title) ? qv::programText(title) : title;
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
    static const QString sql = QStringLiteral("Select CardSn From RoomInfo Where RoomStr = :r");
    qv::CachedQuery q = conn().cached(sql, {roomStr});
    SetCardSerial(card, (q.next() ? q.value(0).toLongLong() : 0) + card.CardSn[0]);
}

void IncRoomCardSn(const QString& roomStr) {
    conn().execute(
        QStringLiteral("Update RoomInfo Set CardSn = coalesce(CardSn, 0) + 1 Where RoomStr = :r"),
        {{QStringLiteral(":r"), roomStr}});
}

namespace {
qv::CachedQuery addressByPlate(const QString& roomStr) {
    static const QString sql =
        QStringLiteral("Select Buiding, Floor, RoomNumber From RoomInfo Where RoomStr = :r");
    return conn().cached(sql, {roomStr});
}
}  // namespace

bool RoomExists(const QString& roomStr) {
    return addressByPlate(roomStr).next();
}

void GetRoomAddr(const QString& roomStr, TRoomAddr& roomAddr) {
    std::fill(std::begin(roomAddr), std::end(roomAddr), uint16_t{0});
    qv::CachedQuery q = addressByPlate(roomStr);
    if (q.next()) {
        roomAddr[0] = static_cast<uint16_t>(q.value(2).toUInt());
        roomAddr[1] = static_cast<uint16_t>(q.value(0).toUInt());
        roomAddr[2] = static_cast<uint16_t>(q.value(1).toUInt());
    }
}

int GetRoomId(const QString& roomStr) {
    static const QString sql = QStringLiteral("Select Room From RoomInfo Where RoomStr = :r");
    qv::CachedQuery q = conn().cached(sql, {roomStr});
    return q.next() ? q.value(0).toInt() : 0;
}

QString GetRoomStrByAddr(const TRoomAddr& roomAddr) {
    return roomByAddr(roomAddr, 0);
}
QString GetSystemRoomStrByAddr(const TRoomAddr& roomAddr) {
    return roomByAddr(roomAddr, 1);
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
RoomRef roomRef(qv::CachedQuery q) {
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
    static const QString sql = QStringLiteral(
        "Select Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber From RoomInfo "
        "Where RoomStr = :r");
    return roomRef(conn().cached(sql, {roomStr}));
}

RoomRef ResolveRoom(const TRoomAddr& roomAddr) {
    static const QString sql = QStringLiteral(
        "Select Room, RoomStr, SystemRoomStr, Buiding, Floor, RoomNumber From RoomInfo "
        "Where Buiding = :b And Floor = :f And RoomNumber = :n");
    return roomRef(conn().cached(sql, {roomAddr[1], roomAddr[2], roomAddr[0]}));
}

namespace {
int makeCardLog(const TCardData& card, const QString& holder, const QString& explain,
                const TRoomNames* names) {
    // One bound statement: the log grows to millions of rows and is never
    // read whole to add one.
    try {
        RecordingIssue* issue = g_recording;
        const bool own = issue && !issue->logged;
        if (!names && own) {
            names = reservedNames(issue->reserved, card);
        }
        const LogRow row = logRow(card, holder, explain, names);
        if (own) {
            issue->gotText = true;
            issue->holder = holder;
            issue->explain = explain;
            storeLogRow(row, CardLogStates::Written, issue->logId);
            issue->logged = true;
        } else {
            storeLogRow(row, CardLogStates::Written);
        }
    } catch (const qv::DbError& e) {
        throw qv::Error(e.text());
    }
    return 1;
}
}  // namespace

int MakeCardLog(const TCardData& card, const QString& holder, const QString& explain,
                const RoomRef& room) {
    if (card.CardType[0] != CardTypes::Guest || !room.found) {
        return makeCardLog(card, holder, explain, nullptr);
    }
    const TRoomNames names{room.roomStr, room.systemRoomStr};
    return makeCardLog(card, holder, explain, &names);
}

TRoomNames GetRoomNamesByAddr(const TRoomAddr& roomAddr) {
    qv::CachedQuery q = namesByAddr(roomAddr);
    if (!q.next()) {
        return {};
    }
    return {q.value(0).toString(), q.value(1).toString()};
}

int MakeCardLog(const TCardData& card, const QString& holder, const QString& explain) {
    return makeCardLog(card, holder, explain, nullptr);
}

QString GetCardHolder(int cardType, const QString& rom) {
    return logColumn(cardType, rom, LogColumn::Holder);
}
QString GetCardExplain(int cardType, const QString& rom) {
    return logColumn(cardType, rom, LogColumn::Explain);
}
QString GetCardMaker(int cardType, const QString& rom) {
    return logColumn(cardType, rom, LogColumn::MakeName);
}

TCardLogNames GetCardLogNames(int cardType, const QString& rom) {
    static const QString sql = QStringLiteral(
        "Select Holder, MakeName From MakeCardRecord Where CardType = :t And Rom = :r "
        "order by ID");
    qv::CachedQuery q = conn().cached(sql, {cardType, rom});
    if (!q.next()) {
        return {kNone, kNone};
    }
    return {q.value(0).toString(), q.value(1).toString()};
}

QString GetKeyKind(int keyId) {
    static const QString sql = QStringLiteral("Select KeyKind From KeyKindTable Where KeyID = :k");
    qv::CachedQuery q = conn().cached(sql, {keyId});
    return q.next() ? q.value(0).toString() : kNone;
}

QString CardStateText(int state) {
    switch (state) {
        case CardLogStates::Pending:
            return qv::programText(QStringLiteral("写卡结果不明"));
        case CardLogStates::Unrecorded:
            return qv::programText(QStringLiteral("卡已写好，记录未保存"));
        case CardLogStates::Cancelled:
            return qv::programText(QStringLiteral("已注销"));
        default:
            return QString();
    }
}

int GetCardState(int cardType, const QString& rom) {
    // Pending and Unrecorded first: they are what a clerk must know of.
    static const QString sql =
        QStringLiteral("Select CardState From MakeCardRecord Where CardType = :t And Rom = :r");
    qv::CachedQuery q = conn().cached(sql, {cardType, rom});
    int state = -1;
    auto rank = [](int s) {
        return s == CardLogStates::Pending || s == CardLogStates::Unrecorded ? 3
               : s == CardLogStates::Written                                 ? 2
               : s >= 0                                                      ? 1
                                                                             : 0;
    };
    while (q.next()) {
        const int s = q.value(0).toInt();
        if (rank(s) > rank(state)) {
            state = s;
        }
    }
    return state;
}

namespace {

// The columns readLogRow reads, in its order.
const QString kLogRowColumns = QStringLiteral(
    "ID, CardType, Rom, RoomStr, Holder, Explain, MakeName, StartTime, EndTime, InputTime, "
    "CardState");

CardLogRow readLogRow(const QSqlQuery& q) {
    CardLogRow c;
    c.id = q.value(0).toLongLong();
    c.cardType = q.value(1).toInt();
    c.rom = q.value(2).toString();
    c.roomStr = q.value(3).toString();
    c.holder = q.value(4).toString();
    c.explain = q.value(5).toString();
    c.makeName = q.value(6).toString();
    c.startTime = qv::Dialect::fromDb(q.value(7), true).toDateTime();
    c.endTime = qv::Dialect::fromDb(q.value(8), true).toDateTime();
    c.inputTime = qv::Dialect::fromDb(q.value(9), true).toDateTime();
    c.state = q.value(10).toInt();
    return c;
}

bool isUnconfirmed(int state) {
    return state == CardLogStates::Pending || state == CardLogStates::Unrecorded;
}

// Sets the row `id` to `state` when it is in one of `from`; whether it was.
bool markRow(qint64 id, int state, std::initializer_list<int> from) {
    return conn().execute(QStringLiteral("Update MakeCardRecord Set CardState = :c "
                                         "Where ID = :id And ") +
                              CardStateCondition(from),
                          {{QStringLiteral(":c"), state}, {QStringLiteral(":id"), id}}) > 0;
}

QString distinctJoined(const QList<CardLogRow>& rows, QString CardLogRow::*field) {
    if (rows.isEmpty()) {
        return kNone;
    }
    QStringList seen;
    for (const CardLogRow& r : rows) {
        if (!seen.contains(r.*field)) {
            seen << r.*field;
        }
    }
    return seen.join(QStringLiteral(" / "));
}

}  // namespace

QString CardStateCondition(std::initializer_list<int> states, const QString& column) {
    QStringList numbers;
    for (int s : states) {
        numbers << QString::number(s);
    }
    return column + QStringLiteral(" In (") + numbers.join(QStringLiteral(", ")) + ')';
}

QString UnconfirmedCondition(const QString& column) {
    return CardStateCondition({CardLogStates::Pending, CardLogStates::Unrecorded}, column);
}

QList<UnconfirmedCard> UnconfirmedCards() {
    // The condition is the partial index's own, so the look-up costs the
    // unconfirmed rows and not the whole log.
    QSqlQuery q = conn().run(QStringLiteral("Select %1 From MakeCardRecord Where %2 Order By ID")
                                 .arg(kLogRowColumns, UnconfirmedCondition()));
    QList<UnconfirmedCard> cards;
    while (q.next()) {
        cards << readLogRow(q);
    }
    return cards;
}

QString UnconfirmedCardsNotice() {
    const QList<UnconfirmedCard> cards = UnconfirmedCards();
    if (cards.isEmpty()) {
        return QString();
    }
    constexpr int kShown = 20;
    QStringList lines;
    lines << qv::programText(
                 QStringLiteral("以下 %1 张卡已交给发卡机，但发卡没有完成确认（程序中断、数据库出错"
                                "或写卡时断开）。这些卡可能已经写好并能开门，请找到并注销它们："))
                 .arg(cards.size());
    for (const UnconfirmedCard& c : cards.mid(0, kShown)) {
        QString title = CardTypeText(GetCardTypeTitle(c.cardType));
        if (title.isEmpty()) {
            title = QString::number(c.cardType);
        }
        // The room, kind, holder and moment name the card: its number is
        // shared by the copies and by every continue-stay card of a room.
        QStringList parts{c.roomStr.isEmpty()
                              ? title
                              : qv::programText(QStringLiteral("%1 房 %2")).arg(c.roomStr, title)};
        parts << qv::programText(QStringLiteral("持卡人 %1"))
                     .arg(c.holder.isEmpty() ? qv::programText(QStringLiteral("（未登记）"))
                                             : c.holder);
        parts
            << c.inputTime.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
            << qv::programText(QStringLiteral("%1（%2）")).arg(CardStateText(c.state), c.makeName);
        lines << QStringLiteral("  ") + parts.join(qv::programText(QStringLiteral("，")));
    }
    if (cards.size() > kShown) {
        lines << qv::programText(QStringLiteral("  ……另有 %1 张，见发卡记录。"))
                     .arg(cards.size() - kShown);
    }
    return lines.join('\n');
}

int CancelUnconfirmedCard(int cardType, const QString& rom) {
    return conn().execute(QStringLiteral("Update MakeCardRecord Set CardState = :c "
                                         "Where CardType = :t And Rom = :r And ") +
                              UnconfirmedCondition(),
                          {{QStringLiteral(":c"), CardLogStates::Cancelled},
                           {QStringLiteral(":t"), cardType},
                           {QStringLiteral(":r"), rom}});
}

namespace {
// Marks the row and logs it as `action`, in one transaction.
bool markLogged(qint64 logId, int state, std::initializer_list<int> from, const char* action) {
    qv::Transaction t(conn());
    if (!markRow(logId, state, from)) {
        return false;
    }
    QSqlQuery q = conn().run(
        QStringLiteral("Select M.RoomStr, C.C_Title, M.Rom From MakeCardRecord M Left Join "
                       "CardType C On C.ID = M.CardType Where M.ID = :id"),
        {{QStringLiteral(":id"), logId}});
    qv::oplog::Entry e;
    e.action = QLatin1String(action);
    if (q.next()) {
        e.object = q.value(0).toString().isEmpty() ? q.value(1).toString() : q.value(0).toString();
        e.detail = QStringLiteral("%1 %2").arg(q.value(1).toString(), q.value(2).toString());
    }
    e.cardLogId = logId;
    qv::oplog::appendOperation(conn(), e);
    t.commit();
    return true;
}
}  // namespace

bool MarkCardWritten(qint64 logId) {
    return markLogged(logId, CardLogStates::Written,
                      {CardLogStates::Pending, CardLogStates::Unrecorded},
                      qv::oplog::Actions::CardMarkedWritten);
}

bool MarkCardCancelled(qint64 logId) {
    return markLogged(logId, CardLogStates::Cancelled,
                      {CardLogStates::Pending, CardLogStates::Unrecorded},
                      qv::oplog::Actions::CardMarkedLost);
}

QString CardIssueRight(int cardType) {
    switch (cardType) {
        case CardTypes::Guest:
            return QStringLiteral("CheckIn");
        case CardTypes::Time:
            return QStringLiteral("TimeCard");
        case CardTypes::DataStart:
            return QStringLiteral("DataCard");
        case CardTypes::Master:
            return QStringLiteral("MasterCard");
        case CardTypes::District:
            return QStringLiteral("DistrictCard");
        case CardTypes::Building:
            return QStringLiteral("BuildingCard");
        case CardTypes::Floor:
            return QStringLiteral("FloorCard");
        case CardTypes::Clear:
            return QStringLiteral("ClearCard");
        case CardTypes::Emergency:
            return QStringLiteral("EmergentCard");
        case CardTypes::LostReport:
            return QStringLiteral("LostCard");
        case CardTypes::Passage:
            return QStringLiteral("PassageCard");
        default:
            return QString();
    }
}

bool IssuedCard::blank() const {
    return read() && !CardTypes::isValid(cardType);
}

bool IssuedCard::guest() const {
    return read() && cardType == CardTypes::Guest;
}

QString IssuedCard::holder() const {
    return distinctJoined(rows, &CardLogRow::holder);
}

QString IssuedCard::explain() const {
    return distinctJoined(rows, &CardLogRow::explain);
}

IssuedCard IdentifyCard(const TCardData& card) {
    IssuedCard r;
    r.code = 1;
    r.card = card;
    r.cardType = static_cast<int16_t>(card.CardType[0]);
    if (!CardTypes::isValid(r.cardType)) {
        return r;
    }
    r.start = CardTimeToDate(card.StartTime);
    r.end = CardTimeToDate(card.EndTime);
    r.rom = CardRom(card);
    if (r.cardType == CardTypes::Guest) {
        // A guest card carries its building and floor also in fields of their own.
        TRoomAddr address{};
        std::copy(std::begin(card.RoomAddr), std::end(card.RoomAddr), std::begin(address));
        address[1] = card.Building;
        address[2] = card.Floor[0];
        r.card.RoomAddr[1] = card.Building;
        r.card.RoomAddr[2] = card.Floor[0];
        r.room = ResolveRoom(address);
        r.rom = r.room.systemRoomStr + r.rom;
    }
    if (!r.start.isValid() || !r.end.isValid()) {
        return r;  // no log row holds times that are no date
    }
    QSqlQuery q = conn().run(QStringLiteral("Select %1 From MakeCardRecord Where CardType = :t "
                                            "And Rom = :r And StartTime = :s And EndTime = :e "
                                            "Order By ID Desc")
                                 .arg(kLogRowColumns),
                             {{QStringLiteral(":t"), r.cardType},
                              {QStringLiteral(":r"), r.rom},
                              {QStringLiteral(":s"), r.start},
                              {QStringLiteral(":e"), r.end}});
    while (q.next()) {
        r.rows << readLogRow(q);
    }
    return r;
}

IssuedCard ReadIssuedCard() {
    TCardData card{};
    const int code = qv::Encoder::instance().readCard(card);
    if (code != 1) {
        IssuedCard r;
        r.code = code;
        r.card = card;
        return r;
    }
    return IdentifyCard(card);
}

CardCancel cancelCard() {
    CardCancel r;
    r.card = ReadIssuedCard();
    // A card that cannot be read may still be wiped; with no card or no
    // encoder there is nothing to wipe.
    if (!r.card.read() && (r.card.code == QV_ENC_NO_CARD || r.card.code == QV_ENC_NO_ENCODER)) {
        r.code = r.card.code;
        return r;
    }
    r.code = qv::Encoder::instance().clearCard();
    if (r.code != 1 || r.card.rows.isEmpty()) {
        return r;
    }
    // The rows cannot tell which of them the wiped card was: the one of them
    // still to be settled goes first, then the newest not cancelled yet.
    const CardLogRow* target = nullptr;
    for (const CardLogRow& row : r.card.rows) {
        if (isUnconfirmed(row.state)) {
            target = &row;
            break;
        }
    }
    if (!target) {
        for (const CardLogRow& row : r.card.rows) {
            if (row.state != CardLogStates::Cancelled) {
                target = &row;
                break;
            }
        }
    }
    if (!target) {
        return r;
    }
    try {
        if (markLogged(target->id, CardLogStates::Cancelled,
                       {CardLogStates::Written, CardLogStates::Pending, CardLogStates::Unrecorded},
                       qv::oplog::Actions::CardCancelled)) {
            r.marked = target->id;
        }
    } catch (const qv::DbError& e) {
        throw qv::DbError(qv::programText(QStringLiteral("卡已注销，但发卡记录没有标为已注销：%1"))
                              .arg(e.text()));
    }
    return r;
}

QString WrittenUnrecordedPrompt() {
    return qv::programText(QStringLiteral("卡已写好，但记录未保存：请注销此卡！"));
}

int IssueCard(const CardSerialSource& source, TCardData& card,
              const std::function<int(TCardData&)>& write, const std::function<void()>& record,
              const CardLogText& log) {
    if (conn().inTransaction()) {
        // The reservation must be committed before the encoder writes.
        throw qv::Error(qv::programText(QStringLiteral("发卡不能在未完成的数据库事务中进行。")));
    }
    Reservation reserved;
    try {
        reserved = reserve(source, card, log);
    } catch (const qv::DbError& e) {
        throw qv::DbError(qv::programText(QStringLiteral("没有写卡：卡号无法在数据库中登记。\n%1"))
                              .arg(e.text()));
    }

    // The card's name in messages: with its door plate for a guest card.
    auto named = [&] {
        const QString rom = CardRom(card);
        return card.CardType[0] == CardTypes::Guest ? source.roomStr + QStringLiteral(" ") + rom
                                                    : rom;
    };

    // No transaction is open while the encoder writes. Should `write` throw,
    // the outcome is unknown and the row stays Pending.
    int code = 0;
    try {
        code = write(card);
    } catch (const qv::Error& e) {
        throw qv::Error(
            qv::programText(QStringLiteral("写卡结果不明：%1\n这张卡（%2）可能已经写好，"
                                           "请注销它后重新发卡。"))
                .arg(e.text(), named()));
    }
    // The card's row of the operations log.
    const auto logEntry = [&](const char* result) {
        QString title;
        {
            qv::CachedQuery q = conn().cached(
                QStringLiteral("Select C_Title From CardType Where ID = :id"), {card.CardType[0]});
            title = q.next() ? q.value(0).toString() : QString();
        }
        qv::oplog::Entry e;
        e.action =
            log.logAction.isEmpty() ? QLatin1String(qv::oplog::Actions::CardIssued) : log.logAction;
        e.object = card.CardType[0] == CardTypes::Guest ? source.roomStr : title;
        e.detail = QStringLiteral("%1 %2").arg(title, CardRom(card));
        if (!log.holder.isEmpty()) {
            e.detail += QStringLiteral(" (%1)").arg(log.holder);
        }
        e.result = QLatin1String(result);
        e.cardLogId = reserved.logId;
        return e;
    };
    if (code != 1) {
        try {
            giveBack(source, reserved);
        } catch (const qv::Error&) {
            // The row stays Pending and the serial unused: a gap, never a repeat.
        }
        try {
            qv::oplog::Entry e = logEntry(qv::oplog::Results::Failed);
            e.detail += QStringLiteral(" #%1").arg(code);
            e.cardLogId = 0;  // given back
            qv::oplog::appendOperation(conn(), e);
        } catch (const qv::Error&) {
            // Nothing was written: the refusal is the encoder's answer.
        }
        return code;
    }

    RecordingIssue issue;
    issue.reserved = &reserved;
    issue.logId = reserved.logId;
    g_recording = &issue;
    try {
        qv::Transaction t(conn());
        if (record) {
            record();
        }
        g_recording = nullptr;
        if (!issue.logged) {
            storeLogRow(logRow(card, log.holder, log.explain, reservedNames(&reserved, card)),
                        CardLogStates::Written, reserved.logId);
        }
        qv::oplog::appendOperation(conn(), logEntry(qv::oplog::Results::Done));
        t.commit();
    } catch (...) {
        g_recording = nullptr;
        // The card exists and its records do not: its row says so, with the
        // holder the records were given, so that the card can be found and
        // cancelled. Should even that fail, the row stays Pending.
        try {
            qv::Transaction t(conn());
            storeLogRow(logRow(card, issue.gotText ? issue.holder : log.holder,
                               issue.gotText ? issue.explain : log.explain,
                               reservedNames(&reserved, card)),
                        CardLogStates::Unrecorded, reserved.logId);
            qv::oplog::Entry e = logEntry(qv::oplog::Results::Failed);
            e.action = QLatin1String(qv::oplog::Actions::CardFailed);
            qv::oplog::appendOperation(conn(), e);
            t.commit();
        } catch (...) {
        }
        QString why;
        try {
            throw;
        } catch (const qv::Error& e) {
            why = e.text();
        } catch (const std::exception& e) {
            why = QString::fromLocal8Bit(e.what());
        }
        throw CardWrittenError(qv::programText(QStringLiteral("卡已写好，但它的记录没有保存：%1\n"
                                                              "请注销这张卡（%2）后重新发卡。"))
                                   .arg(why, named()));
    }
    return code;
}
