#pragma once

// The state of the simulated card encoder, kept in a folder of plain text
// files so that the program (through libQuorvane.so) and the quorvane-encoder
// tool share it. Every write replaces a file atomically (temporary file,
// fsync, rename, fsync of the folder), so a reader never sees half a file.
//
// encoder.txt - the encoder's parameters (a missing file means the defaults):
//     kind=3              lock-system kind returned by GetParameter
//     code=A1B2C3D4       hotel system code: four words of two hex digits
//     online=1            0: every call answers -2 (no encoder)
//     fail-next=0         1: the next card write answers -15, card unchanged
//
// card.txt - the card on the encoder (a missing file means no card):
//     card=blank          a blank card; nothing else follows
//   or
//     card=written        followed by every field, as decimal words:
//     CardSn=1 1 0 0 0
//     Reserved2=0 0 0 0 0
//     Building=1
//     Floor=2 0 0 0 0 0 0 0 0
//     District=0 0 0 0 0
//     RoomAddr=3 1 2 0 0 0 0
//     Override=1
//     CardType=4 0 0 0 0 0 0 0 0
//     Reserved3=0 0 0 0 0
//     StartTime=2024 2 29 14 0 0
//     EndTime=2024 3 1 12 0 0
//     record=1,2,3,4,257,2024-03-01 08:15    door-opening records of a data
//                                            card, any number, in order
//
// Lines starting with '#' and blank lines are ignored. A record is
// building,floor,room number,card type,serial,time (yyyy-MM-dd HH:mm); the
// time is kept as the lock wrote it, so it need not be a valid date.
// Any other line, a missing or repeated field, or a word out of range makes
// the image corrupt: the encoder then answers -15.

#include "card/CardData.h"
#include "card/EncoderApi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qvsim {

struct Params {
    int kind = QV_KIND_IC;
    uint16_t code[QV_SYSTEM_CODE_WORDS] = {0xA1, 0xB2, 0xC3, 0xD4};
    bool online = true;
    bool failNext = false;
};

struct Record {
    uint16_t building = 0;
    uint16_t floor = 0;
    uint16_t room = 0;
    uint16_t cardType = 0;
    uint32_t serial = 0;    // 0 to 0xFFFFFF: CardSn words 0 and 1
    uint16_t time[5] = {};  // year, month, day, hour, minute
};

struct Card {
    enum class State { None, Blank, Written };
    State state = State::None;
    uint16_t CardSn[QV_CARDSN_WORDS] = {};
    uint16_t Reserved2[QV_RESERVED2_WORDS] = {};
    uint16_t Building = 0;
    uint16_t Floor[QV_FLOOR_WORDS] = {};
    uint16_t District[QV_DISTRICT_WORDS] = {};
    uint16_t RoomAddr[QV_ROOMADDR_WORDS] = {};
    uint16_t Override = 0;
    uint16_t CardType[QV_CARDTYPE_WORDS] = {};
    uint16_t Reserved3[QV_RESERVED3_WORDS] = {};
    uint16_t StartTime[QV_CARDTIME_WORDS] = {};
    uint16_t EndTime[QV_CARDTIME_WORDS] = {};
    std::vector<Record> records;
};

inline constexpr uint32_t kMaxSerial = 0xFFFFFF;
inline constexpr uint16_t kDataCardType = CardTypes::DataStart;

// Text forms, shared by the state files and the tool.
std::string formatParams(const Params& params);
bool parseParams(const std::string& text, Params& params, std::string& error);
std::string formatCard(const Card& card);
bool parseCard(const std::string& text, Card& card, std::string& error);
std::string formatRecord(const Record& record);
bool parseRecord(const std::string& line, Record& record, std::string& error);
// "A1B2C3D4" <-> four words of 0..255.
std::string formatCode(const uint16_t (&code)[QV_SYSTEM_CODE_WORDS]);
bool parseCode(const std::string& text, uint16_t (&code)[QV_SYSTEM_CODE_WORDS]);
// The door-opening records of a CSV file (blank lines, '#' comments and a
// header line starting with a letter are skipped).
bool parseRecordsCsv(const std::string& text, std::vector<Record>& records, std::string& error);

// The state folder. Missing files are the defaults (a fresh encoder, no
// card); a folder or file that exists but cannot be read, or a file that
// does not parse, is an error.
class Store {
public:
    explicit Store(std::string dir) : dir_(std::move(dir)) {}
    const std::string& dir() const { return dir_; }

    bool loadParams(Params& params, std::string& error) const;
    bool saveParams(const Params& params, std::string& error) const;
    bool loadCard(Card& card, std::string& error) const;
    // A card in state None removes card.txt.
    bool saveCard(const Card& card, std::string& error) const;

private:
    bool read(const char* name, std::string& text, bool& exists, std::string& error) const;
    bool write(const char* name, const std::string& text, std::string& error) const;
    std::string dir_;
};

// Reads a whole file; false with a reason when it cannot be read.
bool readFile(const std::string& path, std::string& text, std::string& error);

// The state folder: $QUORVANE_ENCODER_DIR when set, otherwise "encoder" in
// `baseDir` (the folder of the library or of the tool).
std::string stateDir(const std::string& baseDir);
// The folder of the module (shared library or program) holding `address`.
std::string moduleDir(const void* address);

}  // namespace qvsim
