#pragma once

#include "card/EncoderApi.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

// The fixed card record that every card call of the encoder library takes or
// fills: 126 bytes of little-endian 16-bit words, no padding. A value-
// initialised record (`TCardData card{};`) is all zero, which is what every
// field the caller does not set must be.
struct TCardData {
    uint16_t CardSn[QV_CARDSN_WORDS];        // word 0 = serial mod 256, word 1 = serial div 256
    uint16_t Reserved1[QV_RESERVED1_WORDS];  // zero
    uint16_t Reserved2[QV_RESERVED2_WORDS];  // zero
    uint16_t Building;                       // building number
    uint16_t RoomAddr[QV_ROOMADDR_WORDS];    // room number, building, floor, then zero
    uint16_t Floor[QV_FLOOR_WORDS];          // word 0 = floor number
    uint16_t District[QV_DISTRICT_WORDS];    // word 0 = district number
    uint16_t CardType[QV_CARDTYPE_WORDS];    // word 0 = card type; word 1 = kind reported lost
    uint16_t Override;                       // 1 = loss report not applied, 0 = applied
    uint16_t Reserved3[QV_RESERVED3_WORDS];  // zero
    uint16_t StartTime[QV_CARDTIME_WORDS];   // card time: first moment the card opens
    uint16_t EndTime[QV_CARDTIME_WORDS];     // card time: moment the card stops opening
};

static_assert(std::endian::native == std::endian::little,
              "the card record is little-endian words; a big-endian host needs byte swapping");
static_assert(std::is_standard_layout_v<TCardData> && std::is_trivially_copyable_v<TCardData>);
static_assert(sizeof(TCardData) == 126);
static_assert(offsetof(TCardData, CardSn) == 0);
static_assert(offsetof(TCardData, Reserved1) == 10);
static_assert(offsetof(TCardData, Reserved2) == 18);
static_assert(offsetof(TCardData, Building) == 28);
static_assert(offsetof(TCardData, RoomAddr) == 30);
static_assert(offsetof(TCardData, Floor) == 44);
static_assert(offsetof(TCardData, District) == 62);
static_assert(offsetof(TCardData, CardType) == 72);
static_assert(offsetof(TCardData, Override) == 90);
static_assert(offsetof(TCardData, Reserved3) == 92);
static_assert(offsetof(TCardData, StartTime) == 102);
static_assert(offsetof(TCardData, EndTime) == 114);

// A card time: year, month, day, hour, minute and a sixth word that is 0.
using TCardTime = uint16_t[QV_CARDTIME_WORDS];

// Card type numbers (word 0 of CardType). Types 7, 11, 13 and 15 are valid on
// a card read back but not issued by this system.
namespace CardTypes {
inline constexpr uint16_t Clear = 1;        // 清除卡
inline constexpr uint16_t Time = 2;         // 校时卡
inline constexpr uint16_t Emergency = 3;    // 应急卡
inline constexpr uint16_t Guest = 4;        // guest card
inline constexpr uint16_t Floor = 5;        // 楼层卡
inline constexpr uint16_t District = 6;     // 区域卡
inline constexpr uint16_t Building = 8;     // 楼号卡
inline constexpr uint16_t Passage = 9;      // 通道设置卡
inline constexpr uint16_t Master = 10;      // 总卡
inline constexpr uint16_t LostReport = 12;  // 挂失卡
inline constexpr uint16_t DataStart = 14;   // 采集启动卡

inline constexpr int FirstValid = 1;
inline constexpr int LastValid = 15;
constexpr bool isValid(int type) {
    return type >= FirstValid && type <= LastValid;
}
}  // namespace CardTypes

// Everything the program knows about one issued card type: the encoder export
// that writes it and the AllCardSn counter kind its serial comes from (0 for
// guest cards, which use the room's own counter).
struct TCardTypeInfo {
    uint16_t type;
    const char* makeFunction;
    int counterKind;
};

inline constexpr TCardTypeInfo IssuedCardTypes[] = {
    {CardTypes::Clear, "MakeClientCard", 1},
    {CardTypes::Time, "MakeTimeCard", 2},
    {CardTypes::Emergency, "MakeEmergentCard", 4},
    {CardTypes::Guest, "MakeGuestCard", 0},
    {CardTypes::Floor, "MakeFloorCard", 7},
    {CardTypes::District, "MakeCleanDistrictCard", 9},
    {CardTypes::Building, "MakeBuildingCard", 6},
    {CardTypes::Passage, "MakeSpecialCard", 10},
    {CardTypes::Master, "MakeChiefCard", 5},
    {CardTypes::LostReport, "MakeLostCard", 3},
    {CardTypes::DataStart, "MakeDataCard", 13},
};

// The entry for an issued type, or nullptr for a type this system does not issue.
constexpr const TCardTypeInfo* FindIssuedCardType(int type) {
    for (const TCardTypeInfo& info : IssuedCardTypes) {
        if (info.type == type) {
            return &info;
        }
    }
    return nullptr;
}
