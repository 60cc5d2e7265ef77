// libQuorvane.so: the card encoder simulator. Every export works on the state
// folder (see SimState.h) as a real encoder works on the card lying on it.
#include "SimState.h"
#include "card/CardData.h"
#include "card/EncoderApi.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::mutex g_mutex;

// The records of the data card read last, walked by ReadOneOpenDoorRecord.
std::vector<qvsim::Record> g_records;
uint16_t g_generation = 0;

constexpr uint16_t kBufferMagic = 0x4451;  // "QD"
enum { kSnWords = 4, kMagic = 4, kGeneration = 5, kNext = 6, kCount = 7 };

qvsim::Store store() {
    static const int anchor = 0;
    return qvsim::Store(qvsim::stateDir(qvsim::moduleDir(&anchor)));
}

// The encoder's parameters, or the code every call answers when there is no
// usable encoder.
bool encoder(qvsim::Params& params, int16_t& result) {
    std::string error;
    if (!store().loadParams(params, error)) {
        result = QV_ENC_FAILED;
        return false;
    }
    if (!params.online) {
        result = QV_ENC_NO_ENCODER;
        return false;
    }
    return true;
}

// The card lying on the encoder, or the code to answer.
bool placedCard(qvsim::Card& card, int16_t& result) {
    std::string error;
    if (!store().loadCard(card, error)) {
        result = QV_ENC_FAILED;
        return false;
    }
    if (card.state == qvsim::Card::State::None) {
        result = QV_ENC_NO_CARD;
        return false;
    }
    return true;
}

// A write is about to happen: a pending "fail next" is used up instead.
bool writeFailsNow(qvsim::Params& params) {
    if (!params.failNext) {
        return false;
    }
    params.failNext = false;
    std::string error;
    store().saveParams(params, error);
    return true;
}

// Whether the card on the encoder may be written (the caller holds the lock):
// the encoder is on line, a card is placed, and no failure is pending (a
// pending one is used up). QV_ENC_OK, or what the call answers instead.
int16_t mayWrite() {
    int16_t result = QV_ENC_OK;
    qvsim::Params params;
    qvsim::Card card;
    if (!encoder(params, result) || !placedCard(card, result)) {
        return result;
    }
    return writeFailsNow(params) ? QV_ENC_FAILED : QV_ENC_OK;
}

template <std::size_t N>
void copyIn(uint16_t (&to)[N], const uint16_t* from) {
    std::copy(from, from + N, to);
}

template <std::size_t N>
void copyOut(uint16_t* to, const uint16_t (&from)[N]) {
    std::copy(from, from + N, to);
}

int16_t makeCard(uint16_t kind, QV_MAKE_CARD_ARGS) {
    if (!CardSn || !Reserved2 || !Floor || !District || !RoomAddr || !CardType || !Reserved3 ||
        !StartTime || !EndTime) {
        return QV_ENC_FAILED;
    }
    const std::lock_guard lock(g_mutex);
    if (const int16_t refused = mayWrite(); refused != QV_ENC_OK) {
        return refused;
    }
    qvsim::Card written;
    written.state = qvsim::Card::State::Written;
    copyIn(written.CardSn, CardSn);
    copyIn(written.Reserved2, Reserved2);
    written.Building = Building;
    copyIn(written.Floor, Floor);
    copyIn(written.District, District);
    copyIn(written.RoomAddr, RoomAddr);
    written.Override = Override;
    copyIn(written.CardType, CardType);
    written.CardType[0] = kind;  // the function called sets the card's kind
    copyIn(written.Reserved3, Reserved3);
    copyIn(written.StartTime, StartTime);
    copyIn(written.EndTime, EndTime);
    std::string error;
    return store().saveCard(written, error) ? QV_ENC_OK : QV_ENC_FAILED;
}

}  // namespace

extern "C" {

QV_ENCODER_EXPORT int16_t MakeCardOpenPort(int32_t port) {
    const std::lock_guard lock(g_mutex);
    int16_t result = QV_ENC_OK;
    qvsim::Params params;
    if (!encoder(params, result)) {
        return result;
    }
    return port > 0 ? QV_ENC_OK : QV_ENC_NO_ENCODER;
}

QV_ENCODER_EXPORT int16_t GetParameter(uint16_t* buffer) {
    if (!buffer) {
        return QV_ENC_FAILED;
    }
    const std::lock_guard lock(g_mutex);
    std::fill(buffer, buffer + QV_PARAMETER_WORDS, uint16_t{0});
    int16_t result = QV_ENC_OK;
    qvsim::Params params;
    if (!encoder(params, result)) {
        buffer[0] = static_cast<uint16_t>(-1);  // off line
        return result;
    }
    buffer[0] = static_cast<uint16_t>(params.kind);
    return QV_ENC_OK;
}

QV_ENCODER_EXPORT int16_t ReadSystemPas(uint16_t* code) {
    if (!code) {
        return QV_ENC_FAILED;
    }
    const std::lock_guard lock(g_mutex);
    int16_t result = QV_ENC_OK;
    qvsim::Params params;
    if (!encoder(params, result)) {
        return result;
    }
    copyOut(code, params.code);
    return QV_ENC_OK;
}

QV_ENCODER_EXPORT int16_t SystemInitialization(uint16_t* code) {
    if (!code) {
        return QV_ENC_FAILED;
    }
    const std::lock_guard lock(g_mutex);
    int16_t result = QV_ENC_OK;
    qvsim::Params params;
    if (!encoder(params, result)) {
        return result;
    }
    return std::equal(params.code, params.code + QV_SYSTEM_CODE_WORDS, code)
               ? QV_ENC_OK
               : QV_ENC_FOREIGN_SYSTEM;
}

#define QV_SIM_MAKE(name, kind)                                                                 \
    QV_ENCODER_EXPORT int16_t name(QV_MAKE_CARD_ARGS) {                                         \
        return makeCard(kind, CardSn, Reserved2, Building, Floor, District, RoomAddr, Override, \
                        CardType, Reserved3, StartTime, EndTime);                               \
    }

QV_SIM_MAKE(MakeClientCard, CardTypes::Clear)
QV_SIM_MAKE(MakeTimeCard, CardTypes::Time)
QV_SIM_MAKE(MakeEmergentCard, CardTypes::Emergency)
QV_SIM_MAKE(MakeGuestCard, CardTypes::Guest)
QV_SIM_MAKE(MakeFloorCard, CardTypes::Floor)
QV_SIM_MAKE(MakeCleanDistrictCard, CardTypes::District)
QV_SIM_MAKE(MakeBuildingCard, CardTypes::Building)
QV_SIM_MAKE(MakeSpecialCard, CardTypes::Passage)
QV_SIM_MAKE(MakeChiefCard, CardTypes::Master)
QV_SIM_MAKE(MakeLostCard, CardTypes::LostReport)
QV_SIM_MAKE(MakeDataCard, CardTypes::DataStart)
#undef QV_SIM_MAKE

QV_ENCODER_EXPORT int16_t ReadCard(uint16_t* CardSn, uint16_t* Reserved2, uint16_t* Building,
                                   uint16_t* Floor, uint16_t* District, uint16_t* RoomAddr,
                                   uint16_t* Override, uint16_t* CardType, uint16_t* Reserved3,
                                   uint16_t* StartTime, uint16_t* EndTime) {
    if (!CardSn || !Reserved2 || !Building || !Floor || !District || !RoomAddr || !Override ||
        !CardType || !Reserved3 || !StartTime || !EndTime) {
        return QV_ENC_FAILED;
    }
    const std::lock_guard lock(g_mutex);
    int16_t result = QV_ENC_OK;
    qvsim::Params params;
    qvsim::Card card;  // a blank card reads as all zero
    if (!encoder(params, result) || !placedCard(card, result)) {
        return result;
    }
    copyOut(CardSn, card.CardSn);
    copyOut(Reserved2, card.Reserved2);
    *Building = card.Building;
    copyOut(Floor, card.Floor);
    copyOut(District, card.District);
    copyOut(RoomAddr, card.RoomAddr);
    *Override = card.Override;
    copyOut(CardType, card.CardType);
    copyOut(Reserved3, card.Reserved3);
    copyOut(StartTime, card.StartTime);
    copyOut(EndTime, card.EndTime);
    return QV_ENC_OK;
}

QV_ENCODER_EXPORT int16_t ClearCardData(uint16_t* work) {
    if (!work) {
        return QV_ENC_FAILED;
    }
    const std::lock_guard lock(g_mutex);
    if (const int16_t refused = mayWrite(); refused != QV_ENC_OK) {
        return refused;
    }
    qvsim::Card blank;
    blank.state = qvsim::Card::State::Blank;
    std::string error;
    return store().saveCard(blank, error) ? QV_ENC_OK : QV_ENC_FAILED;
}

QV_ENCODER_EXPORT int16_t ReadDataCard(uint16_t* buffer) {
    if (!buffer) {
        return QV_ENC_FAILED;
    }
    const std::lock_guard lock(g_mutex);
    std::fill(buffer, buffer + QV_DATACARD_WORDS, uint16_t{0});
    int16_t result = QV_ENC_OK;
    qvsim::Params params;
    qvsim::Card card;
    if (!encoder(params, result) || !placedCard(card, result)) {
        return result;
    }
    if (card.state != qvsim::Card::State::Written || card.CardType[0] != qvsim::kDataCardType) {
        return QV_ENC_FAILED;  // not a data card
    }
    g_records = card.records;
    ++g_generation;
    buffer[kMagic] = kBufferMagic;
    buffer[kGeneration] = g_generation;
    buffer[kNext] = 0;
    buffer[kCount] = static_cast<uint16_t>(std::min<std::size_t>(g_records.size(), 0xFFFF));
    return QV_ENC_OK;
}

QV_ENCODER_EXPORT int16_t ReadOneOpenDoorRecord(uint16_t* Building, uint16_t* Floor,
                                                uint16_t* Word1, uint16_t* Word2,
                                                uint16_t* RoomAddr, uint16_t* CardType,
                                                uint16_t* Time, uint16_t* buffer) {
    if (!Building || !Floor || !Word1 || !Word2 || !RoomAddr || !CardType || !Time || !buffer) {
        return QV_ENC_FAILED;
    }
    const std::lock_guard lock(g_mutex);
    int16_t result = QV_ENC_OK;
    qvsim::Params params;
    if (!encoder(params, result)) {
        return result;
    }
    if (buffer[kMagic] != kBufferMagic || buffer[kGeneration] != g_generation) {
        return QV_ENC_FAILED;  // not the buffer of the last ReadDataCard
    }
    const std::size_t next = buffer[kNext];
    if (next >= buffer[kCount] || next >= g_records.size()) {
        return QV_ENC_NO_MORE_RECORDS;
    }
    const qvsim::Record& r = g_records[next];
    *Building = r.building;
    *Floor = r.floor;
    *Word1 = 0;
    *Word2 = 0;
    std::fill(RoomAddr, RoomAddr + QV_ROOMADDR_WORDS, uint16_t{0});
    RoomAddr[0] = r.room;
    *CardType = r.cardType;
    std::copy(r.time, r.time + 5, Time);
    Time[5] = 0;
    buffer[0] = static_cast<uint16_t>(r.serial % 256);
    buffer[1] = static_cast<uint16_t>(r.serial / 256);
    buffer[2] = 0;
    buffer[3] = 0;
    buffer[kNext] = static_cast<uint16_t>(next + 1);
    return QV_ENC_OK;
}

}  // extern "C"
