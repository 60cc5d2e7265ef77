#include "card/SpecialCard.h"

#include "card/CardFunctions.h"
#include "card/CardRecords.h"
#include "card/Encoder.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"

int IssueSpecialCard(const SpecialCardOrder& order, TCardData& card) {
    const TCardTypeInfo* info = FindIssuedCardType(order.cardType);
    if (!info || info->counterKind == 0) {
        throw qv::Error(
            qv::programText(QStringLiteral("卡类型 %1 不是特殊卡。")).arg(order.cardType));
    }
    const uint16_t type = info->type;
    card = TCardData{};
    DateToCardTime(order.start, card.StartTime);
    DateToCardTime(order.end, card.EndTime);
    card.Override = order.lossApplied ? 0 : 1;
    switch (type) {
        case CardTypes::Building:
            card.Building = order.building;
            break;
        case CardTypes::Floor:
            card.Building = order.building;
            card.Floor[0] = order.floor;
            break;
        case CardTypes::District:
            card.District[0] = order.district;
            break;
        case CardTypes::LostReport:
            card.CardType[1] = order.lostKind;
            break;
        default:
            break;
    }
    // The type names the card in the issue log from the start; the encoder
    // gets word 0 empty, its export sets the kind.
    card.CardType[0] = type;
    return IssueCard(
        CardSerialSource::kind(info->counterKind), card,
        [type](TCardData& c) {
            c.CardType[0] = 0;
            const int code = qv::Encoder::instance().makeCard(type, c);
            c.CardType[0] = type;
            return code;
        },
        [&] {
            if (type != CardTypes::Time) {
                DateToCardTime(order.start, card.StartTime);
                DateToCardTime(order.end, card.EndTime);
            }
            MakeCardLog(card, order.holder, QString());
        },
        // The reserved row names its holder from the start.
        CardLogText{order.holder, QString()});
}
