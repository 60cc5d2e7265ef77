#include "stays/StayService.h"

#include "card/CardFunctions.h"
#include "card/Encoder.h"
#include "data/Dialect.h"
#include "data/OperationLog.h"
#include "data/Session.h"
#include "data/dm_unit.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "settings/Settings.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace qv::stays {

namespace {

enum class Serial {
    New,   // the room's counter plus one, the counter advanced
    Copy,  // the room's counter as it is
    Zero,  // serial 0, the counter untouched
};

// What is stored after the card was written, in the card's transaction.
using Records = std::function<void(const TCardData& card, const RoomRef& room)>;

Connection& conn() {
    return dm->conn;
}

// The key of the room's open stay (the first one, should it have several), or null.
QVariant openStay(const QString& roomStr) {
    return conn().scalar(
        QStringLiteral(
            "select min(ID) from GuestInRecord where enOverride = 0 and RoomStr = :RoomStr"),
        {{QStringLiteral(":RoomStr"), roomStr}});
}

// A text column that is left empty: a typed null, so both database kinds take it.
QVariant textOrNull(const QString& text) {
    return text.trimmed().isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
}

// Writes the guest card of `in` with the serial `serial` and, only when the
// encoder wrote it, stores `records` in the card's transaction. `refuse` may
// stop the issue for the room before anything is written.
Result issue(const char* action, const GuestCard& in, Serial serial, const CardWriter& writer,
             const Records& records,
             const std::function<std::optional<Outcome>(const RoomRef&)>& refuse = {}) {
    Result r;
    if (!in.start.isValid() || !in.end.isValid() || in.start > in.end) {
        r.outcome = Outcome::InvalidRange;
        return r;
    }
    const RoomRef room = ResolveRoom(in.roomStr);
    if (!room.found) {
        r.outcome = Outcome::NoSuchRoom;
        return r;
    }
    if (refuse) {
        if (const std::optional<Outcome> refused = refuse(room)) {
            r.outcome = *refused;
            return r;
        }
    }

    TCardData& card = r.card;
    DateToCardTime(in.start, card.StartTime);
    DateToCardTime(in.end, card.EndTime);
    card.Override = in.applyLossReport ? 0 : 1;
    room.putOn(card);
    // The card layer names the card by its type (its log row, an error
    // message); the encoder takes the word as zero and its export sets the kind.
    card.CardType[0] = CardTypes::Guest;
    const CardWriter write = [&writer](TCardData& c) {
        c.CardType[0] = 0;
        const int code =
            writer ? writer(c) : int{Encoder::instance().makeCard(CardTypes::Guest, c)};
        c.CardType[0] = CardTypes::Guest;
        return code;
    };
    const CardSerialSource source =
        serial == Serial::Zero ? CardSerialSource::zero(room.roomStr)
                               : CardSerialSource::room(room.roomStr, serial == Serial::Copy);
    try {
        // The reserved log row names the guest from the start.
        CardLogText text{in.guestName, in.document, TRoomNames{room.roomStr, room.systemRoomStr}};
        text.logAction = QLatin1String(action);
        r.code = IssueCard(
            source, card, write, [&] { records(card, room); }, text);
    } catch (const CardWrittenError& e) {
        r.outcome = Outcome::DatabaseError;
        r.code = 0;
        r.error = e.text();
        r.cardWritten = true;
        return r;
    } catch (const Error& e) {
        // Nothing of it is stored; when the card was written, the text names it.
        r.outcome = Outcome::DatabaseError;
        r.code = 0;
        r.error = e.text();
        return r;
    }
    r.outcome = r.code == 1 ? Outcome::Written : Outcome::EncoderRefused;
    return r;
}

// Opens the room's stay with the guest and the card's times, or counts one
// more card on the stay already open.
void openOrCountStay(const GuestCard& in, const TCardData& card, const RoomRef& room) {
    const QVariant open = openStay(room.roomStr);
    if (!open.isNull()) {
        // The open stay keeps its guest, times and card; it counts one more card.
        conn().execute(
            QStringLiteral("update GuestInRecord set CardCounts = CardCounts + 1 where ID = :ID"),
            {{QStringLiteral(":ID"), open}});
        return;
    }
    conn().execute(
        QStringLiteral("insert into GuestInRecord (GuestName, GuestID, Room, RoomStr, Rom, "
                       "GuestInTime, GuestLeaveTime, InputUser, MakeName) values (:GuestName, "
                       ":GuestID, :Room, :RoomStr, :Rom, :GuestInTime, :GuestLeaveTime, "
                       ":InputUser, :MakeName)"),
        {{QStringLiteral(":GuestName"), textOrNull(in.guestName)},
         {QStringLiteral(":GuestID"), in.document},
         {QStringLiteral(":Room"), room.room},
         {QStringLiteral(":RoomStr"), room.roomStr},
         {QStringLiteral(":Rom"), CardRom(card)},
         {QStringLiteral(":GuestInTime"), in.start},
         {QStringLiteral(":GuestLeaveTime"), in.end},
         {QStringLiteral(":InputUser"), qv::session().login},
         {QStringLiteral(":MakeName"), qv::session().name}});
}

}  // namespace

bool roomExists(const QString& roomStr) {
    return RoomExists(roomStr);
}

RoomOccupancy roomOccupancy(const QString& roomStr) {
    RoomOccupancy out;
    if (roomStr.isEmpty()) {
        return out;
    }
    CachedQuery q = conn().cached(
        QStringLiteral("select r.Room, s.ID, s.GuestName, s.GuestLeaveTime from RoomInfo r "
                       "left join GuestInRecord s on s.ID = (select min(g.ID) from GuestInRecord "
                       "g where g.enOverride = 0 and g.RoomStr = r.RoomStr) "
                       "where r.RoomStr = :RoomStr"),
        {roomStr});
    if (!q.next()) {
        return out;
    }
    out.exists = true;
    out.occupied = !q.value(1).isNull();
    out.guest = q.value(2).toString();
    out.end = Dialect::fromDb(q.value(3), true).toDateTime();
    return out;
}

Result checkIn(const GuestCard& in, const CardWriter& writer) {
    return issue(oplog::Actions::CheckIn, in, Serial::New, writer,
                 [&in](const TCardData& card, const RoomRef& room) {
                     MakeCardLog(card, in.guestName, in.document, room);
                     openOrCountStay(in, card, room);
                 });
}

Result copyCard(const GuestCard& in, const CardWriter& writer) {
    return issue(oplog::Actions::CopyCard, in, Serial::Copy, writer,
                 [&in](const TCardData& card, const RoomRef& room) {
                     MakeCardLog(card, in.guestName, in.document, room);
                 });
}

Result continueStay(const GuestCard& in, const CardWriter& writer) {
    return issue(
        oplog::Actions::ContinueStay, in, Serial::Zero, writer,
        [&in](const TCardData& card, const RoomRef& room) {
            MakeCardLog(card, in.guestName, in.document, room);
            // The stay open now (another desk may have changed it since the
            // check) ends at the new card's end.
            conn().execute(QStringLiteral("update GuestInRecord set GuestLeaveTime = :end, "
                                          "InputUser = :user where ID = :ID and enOverride = 0"),
                           {{QStringLiteral(":end"), in.end},
                            {QStringLiteral(":user"), qv::session().login},
                            {QStringLiteral(":ID"), openStay(room.roomStr)}});
        },
        [&in](const RoomRef& room) -> std::optional<Outcome> {
            if (openStay(room.roomStr).isNull()) {
                return Outcome::NoOpenStay;
            }
            if (in.replaces && !cardOfOpenStay(room.roomStr, *in.replaces)) {
                return Outcome::NotOfOpenStay;
            }
            return std::nullopt;
        });
}

bool cardOfOpenStay(const QString& roomStr, const ReadCardOrigin& origin) {
    QSqlQuery stay = conn().run(
        QStringLiteral("select Rom, GuestInTime from GuestInRecord where enOverride = 0 and "
                       "RoomStr = :RoomStr order by ID"),
        {{QStringLiteral(":RoomStr"), roomStr}});
    if (!stay.next()) {
        return false;
    }
    const QString stayRom = stay.value(0).toString();
    const QDateTime began = Dialect::fromDb(stay.value(1), true).toDateTime();
    if (origin.logId > 0 && !stayRom.isEmpty()) {
        // The stay's first card: the oldest log row of its number (its copies
        // come later; a new serial is never given twice).
        const RoomRef room = ResolveRoom(roomStr);
        const QVariant first = conn().scalar(
            QStringLiteral("select min(ID) from MakeCardRecord where CardType = :t and Rom = :r"),
            {{QStringLiteral(":t"), int{CardTypes::Guest}},
             {QStringLiteral(":r"), room.systemRoomStr + stayRom}});
        if (!first.isNull()) {
            return origin.logId >= first.toLongLong();
        }
    }
    // Nothing in the log to go by: the card's own start, to the minute.
    if (!began.isValid() || !origin.start.isValid()) {
        return false;
    }
    const QDateTime beganMinute(began.date(), QTime(began.time().hour(), began.time().minute()));
    return origin.start >= beganMinute;
}

ReadCardOrigin ReadGuestCard::origin() const {
    return {issued.row() ? issued.row()->id : 0, start};
}

ReadGuestCard readGuestCard() {
    ReadGuestCard r;
    r.issued = ReadIssuedCard();
    r.code = r.issued.code;
    r.card = r.issued.card;
    if (r.code != 1) {
        return r;
    }
    r.guestCard = r.issued.guest();
    if (!r.guestCard) {
        return r;
    }
    r.start = r.issued.start;
    r.end = r.issued.end;
    r.room = r.issued.room;
    if (!r.room.found) {
        return r;
    }
    r.holder = r.issued.holder();
    r.explain = r.issued.explain();
    r.openStay = !openStay(r.room.roomStr).isNull();
    r.ofOpenStay = r.openStay && cardOfOpenStay(r.room.roomStr, r.origin());
    return r;
}

bool checkOutStay(const QVariant& stayId) {
    Transaction t(conn());
    if (conn().execute(QStringLiteral("update GuestInRecord set enOverride = 1, LeaveTime = :now "
                                      "where ID = :ID and enOverride = 0"),
                       {{QStringLiteral(":now"), Clock::now()}, {QStringLiteral(":ID"), stayId}}) ==
        0) {
        return false;
    }
    QSqlQuery q =
        conn().run(QStringLiteral("select RoomStr, GuestName from GuestInRecord where ID = :ID"),
                   {{QStringLiteral(":ID"), stayId}});
    oplog::Entry e;
    e.action = QLatin1String(oplog::Actions::CheckOut);
    if (q.next()) {
        e.object = q.value(0).toString();
        e.detail = q.value(1).toString();
    }
    oplog::appendOperation(conn(), e);
    t.commit();
    return true;
}

bool checkOutRoom(const QString& roomStr) {
    const QVariant id = openStay(roomStr);
    return !id.isNull() && checkOutStay(id);
}

}  // namespace qv::stays
