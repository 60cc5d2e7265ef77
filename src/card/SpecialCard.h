#pragma once

#include "card/CardData.h"

#include <QDateTime>
#include <QString>
#include <cstdint>

// The hotel's own cards, every kind but the guest card: clear, time,
// emergency, floor, district, building, passage setting, master, lost-report
// and data-collection start cards.

// What the front desk orders: the card's type, when it opens and stops
// opening, and the fields of its kind.
struct SpecialCardOrder {
    uint16_t cardType = 0;
    QDateTime start;
    QDateTime end;
    bool lossApplied = false;  // the card's Override is 0 instead of 1
    uint16_t building = 0;     // building and floor cards
    uint16_t floor = 0;        // floor cards
    uint16_t district = 0;     // district cards
    uint16_t lostKind = 0;     // lost-report cards: the kind of card reported lost (1 to 10)
    QString holder;
};

// Writes the ordered card with the encoder export of its type, its serial
// taken from the AllCardSn counter of its kind through IssueCard: only when
// the encoder answers 1 are the counter advanced and the card logged
// (MakeCardLog with the holder and no note), in one transaction. The log
// keeps the ordered times, except for a time card, whose times are logged
// as the encoder left them. Returns the encoder's answer; `card` holds the
// record as it was written. Throws qv::Error for a guest card or a type that
// is not issued, and when the card was written but could not be logged.
int IssueSpecialCard(const SpecialCardOrder& order, TCardData& card);
