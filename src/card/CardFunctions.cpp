#include "card/CardFunctions.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"

#include <algorithm>
#include <iterator>

void DateToCardTime(const QDateTime& value, TCardTime& time) {
    std::fill(std::begin(time), std::end(time), uint16_t{0});
    if (!value.isValid()) {
        return;
    }
    const QDate d = value.date();
    const QTime t = value.time();
    if (d.year() < 0 || d.year() > 0xFFFF) {
        return;
    }
    time[0] = static_cast<uint16_t>(d.year());
    time[1] = static_cast<uint16_t>(d.month());
    time[2] = static_cast<uint16_t>(d.day());
    time[3] = static_cast<uint16_t>(t.hour());
    time[4] = static_cast<uint16_t>(t.minute());
}

QDateTime CardTimeToDate(const TCardTime& time) {
    const QDate d(time[0], time[1], time[2]);
    const QTime t(time[3], time[4], 0);
    if (!d.isValid() || !t.isValid()) {
        return {};
    }
    return QDateTime(d, t);
}

void SetCardSerial(TCardData& card, int64_t serial) {
    if (serial < 0 || serial > MaxCardSerial) {
        throw qv::Error(qv::programText(QStringLiteral("卡号 %1 超出范围（0 至 %2）！"))
                            .arg(serial)
                            .arg(MaxCardSerial));
    }
    card.CardSn[0] = static_cast<uint16_t>(serial % 256);
    card.CardSn[1] = static_cast<uint16_t>(serial / 256);
    card.CardSn[2] = card.CardSn[3] = card.CardSn[4] = 0;
}

int64_t CardSerial(const TCardData& card) {
    return int64_t{card.CardSn[0]} + int64_t{card.CardSn[1]} * 256;
}

QString CardRom(const uint16_t (&cardSn)[4], int cardType) {
    const uint16_t first =
        cardType == CardTypes::Guest ? cardSn[3] : static_cast<uint16_t>(cardType);
    const uint16_t words[4] = {first, cardSn[2], cardSn[1], cardSn[0]};
    QString rom;
    for (const uint16_t w : words) {
        rom += QStringLiteral("%1").arg(w, 2, 16, QLatin1Char('0')).toUpper();
    }
    return rom;
}

QString CardRom(const TCardData& card) {
    const uint16_t sn[4] = {card.CardSn[0], card.CardSn[1], card.CardSn[2], card.CardSn[3]};
    return CardRom(sn, card.CardType[0]);
}

QString ResultText(int code) {
    switch (code) {
        case QV_ENC_OK:
            return qv::programText(QStringLiteral("操作成功！"));
        case QV_ENC_NO_CARD:
            return qv::programText(QStringLiteral("无卡！"));
        case QV_ENC_NO_ENCODER:
            return qv::programText(QStringLiteral("无发卡机！"));
        default:
            return qv::programText(QStringLiteral("操作失败！"));
    }
}

QString CheckDateRange(const QDateTime& start, const QDateTime& end) {
    if (start.isValid() && end.isValid() && start <= end) {
        return {};
    }
    return qv::programText(QStringLiteral("日期范围无效！"));
}
