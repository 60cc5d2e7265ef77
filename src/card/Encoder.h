#pragma once

#include "card/CardData.h"
#include "platform/SharedLibrary.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <iterator>

namespace qv {

// The ReadDataCard buffer: ReadOneOpenDoorRecord reads its position from it
// and returns each record's serial words in words 0 to 3.
struct DataCardBuffer {
    uint16_t Words[QV_DATACARD_WORDS] = {};
};
static_assert(sizeof(DataCardBuffer) == 24);

// One door-opening record of a data card.
struct OpenDoorRecord {
    uint16_t Building = 0;
    uint16_t Floor = 0;
    uint16_t Word1 = 0;                         // not used by the program
    uint16_t Word2 = 0;                         // not used by the program
    uint16_t RoomAddr[QV_ROOMADDR_WORDS] = {};  // word 0 = room number
    uint16_t CardType = 0;
    TCardTime Time = {};
    uint16_t CardSn[4] = {};  // the opening card's serial words, from the buffer
};

using SystemCode = uint16_t[QV_SYSTEM_CODE_WORDS];
using ParameterBlock = uint16_t[QV_PARAMETER_WORDS];

// The binding of the card-encoder library libQuorvane.so in the program's
// folder. The library is bound on the first call. When it or one of its
// exports is missing, one message box says so and from then on every call
// answers -2 (no encoder): the program runs as a demonstration.
class Encoder {
public:
    static Encoder& instance();

    // The library the program binds: libQuorvane.so in the program's folder.
    static QString defaultPath();

    // Binds the library at `path` in place of any earlier binding. A failure
    // is reported (unless one was reported already) and leaves demo mode.
    bool load(const QString& path);
    // Binds defaultPath() unless a binding was attempted already.
    bool ensureLoaded();
    bool isLoaded() const { return loaded_; }
    // Why the last binding failed (empty when it did not).
    QString errorString() const { return error_; }
    bool failureReported() const { return reported_; }
    // Drops the binding and forgets the report; the next call binds again.
    void reset();

    int16_t openPort(int32_t port);
    // Word 0 of `buffer` is the lock-system kind; negative when the encoder is
    // off line (also in demo mode).
    int16_t getParameter(ParameterBlock& buffer);
    int16_t readSystemPas(SystemCode& code);
    int16_t systemInitialization(const SystemCode& code);

    // Writes `card` with the export of its type (MakeGuestCard for type 4,
    // ...). CardType need not be filled; a type this system does not issue
    // answers -15 without calling the library.
    int16_t makeCard(int cardType, TCardData& card);
    // Fills every field of `card` from the card on the encoder.
    int16_t readCard(TCardData& card);
    int16_t clearCard();
    int16_t readDataCard(DataCardBuffer& buffer);
    // 1 and the next record; another code when no record is left.
    int16_t readOneOpenDoorRecord(OpenDoorRecord& record, DataCardBuffer& buffer);

private:
    Encoder() = default;
    void fail(const QString& why);
    bool ready();

    struct Api {
        QvOpenPortFn MakeCardOpenPort = nullptr;
        QvWordsFn GetParameter = nullptr;
        QvWordsFn ReadSystemPas = nullptr;
        QvWordsFn SystemInitialization = nullptr;
        QvMakeCardFn make[std::size(IssuedCardTypes)] = {};
        QvReadCardFn ReadCard = nullptr;
        QvWordsFn ClearCardData = nullptr;
        QvWordsFn ReadDataCard = nullptr;
        QvReadOneOpenDoorRecordFn ReadOneOpenDoorRecord = nullptr;
    };

    SharedLibrary library_;
    Api api_;
    bool attempted_ = false;
    bool loaded_ = false;
    bool reported_ = false;
    QString error_;
};

}  // namespace qv
