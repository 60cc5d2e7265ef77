// quorvane-encoder: drives the encoder simulator's state folder. It places
// and removes cards, shows the card on the encoder, loads door-opening
// records onto a data card and sets the encoder's parameters.
#include "SimState.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "usage: quorvane-encoder [--dir DIR] COMMAND\n"
    "\n"
    "Commands:\n"
    "  status                 the encoder's parameters and what lies on it\n"
    "  place blank            put a blank card on the encoder\n"
    "  place-datacard FILE    put a data card holding the door-opening records of FILE\n"
    "                         (CSV lines: building,floor,room number,card type,serial,\n"
    "                          yyyy-MM-dd HH:mm)\n"
    "  remove                 take the card off the encoder\n"
    "  show                   the card on the encoder, decoded\n"
    "  set kind N             lock-system kind reported to the program (3 = IC card)\n"
    "  set code XXXXXXXX      the hotel system code, 8 hex digits\n"
    "  set online 0|1         disconnect (0) or connect (1) the encoder\n"
    "  set fail-next [0|1]    make the next card write fail (default 1)\n"
    "\n"
    "Options:\n"
    "  --dir DIR              the state folder (default: $QUORVANE_ENCODER_DIR, else\n"
    "                         encoder/ in the program's folder)\n";

int usage(const std::string& problem) {
    if (!problem.empty()) {
        std::fprintf(stderr, "quorvane-encoder: %s\n\n", problem.c_str());
    }
    std::fputs(kUsage, problem.empty() ? stdout : stderr);
    return problem.empty() ? kExitOk : kExitUsage;
}

int failed(const std::string& why) {
    std::fprintf(stderr, "quorvane-encoder: %s\n", why.c_str());
    return kExitFailed;
}

const char* kindName(int kind) {
    switch (kind) {
        case QV_KIND_USB_COLLECTOR:
            return "USB data collector";
        case QV_KIND_AUTO_MAGNETIC:
            return "automatic magnetic card";
        case QV_KIND_IC:
            return "IC card";
        case QV_KIND_TM:
            return "TM";
        case QV_KIND_TEMIC:
            return "TEMIC proximity card";
        case QV_KIND_MIFARE:
            return "MIFARE proximity card";
        case QV_KIND_MANUAL_MAGNETIC:
            return "manual magnetic card";
        default:
            return "unknown";
    }
}

const char* cardTypeName(int type) {
    switch (type) {
        case CardTypes::Clear:
            return "clear card (清除卡)";
        case CardTypes::Time:
            return "time card (校时卡)";
        case CardTypes::Emergency:
            return "emergency card (应急卡)";
        case CardTypes::Guest:
            return "guest card (客人卡)";
        case CardTypes::Floor:
            return "floor card (楼层卡)";
        case CardTypes::District:
            return "district card (区域卡)";
        case CardTypes::Building:
            return "building card (楼号卡)";
        case CardTypes::Passage:
            return "passage setting card (通道设置卡)";
        case CardTypes::Master:
            return "master card (总卡)";
        case CardTypes::LostReport:
            return "lost-report card (挂失卡)";
        case CardTypes::DataStart:
            return "data-collection start card (采集启动卡)";
        default:
            return CardTypes::isValid(type) ? "card of another system" : "not a valid type";
    }
}

// The kind of card a lost-report card reports lost (word 1 of its CardType):
// the lost-card choice list's order, not the card type numbers.
const char* lostKindName(int kind) {
    static const char* const names[] = {
        "clear card (清除卡)",       "time card (校时卡)",  "lost-report card (挂失卡)",
        "emergency card (应急卡)",   "master card (总卡)",  "building card (楼号卡)",
        "floor card (楼层卡)",       "guest card (客人卡)", "district card (区域卡)",
        "passage card (通道设置卡)",
    };
    return kind >= 1 && kind <= 10 ? names[kind - 1] : "not a valid kind";
}

bool validTime(const uint16_t* t) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t[1] < 1 || t[1] > 12 || t[3] > 23 || t[4] > 59 || t[2] < 1) {
        return false;
    }
    const bool leap = (t[0] % 4 == 0 && t[0] % 100 != 0) || t[0] % 400 == 0;
    return t[2] <= days[t[1] - 1] + ((t[1] == 2 && leap) ? 1 : 0);
}

std::string formatTime(const uint16_t* t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u%s", unsigned{t[0]}, unsigned{t[1]},
                  unsigned{t[2]}, unsigned{t[3]}, unsigned{t[4]},
                  validTime(t) ? "" : "  (not a valid date and time)");
    return text;
}

std::string words(const uint16_t* w, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += (i ? " " : "") + std::to_string(w[i]);
    }
    return out;
}

void row(const char* label, const std::string& value) {
    std::printf("%-14s %s\n", label, value.c_str());
}

std::string describeCard(const qvsim::Card& card) {
    switch (card.state) {
        case qvsim::Card::State::None:
            return "none";
        case qvsim::Card::State::Blank:
            return "blank card";
        case qvsim::Card::State::Written:
            break;
    }
    std::string text =
        std::string(cardTypeName(card.CardType[0])) + ", type " + std::to_string(card.CardType[0]);
    if (card.CardType[0] == qvsim::kDataCardType) {
        text += ", " + std::to_string(card.records.size()) + " door-opening record(s)";
    }
    return text;
}

int status(const qvsim::Store& store) {
    std::string error;
    qvsim::Params params;
    if (!store.loadParams(params, error)) {
        return failed("the encoder's state cannot be read: " + error);
    }
    row("State folder:", store.dir());
    row("On line:", params.online ? "yes" : "no");
    row("Lock system:", std::to_string(params.kind) + " (" + kindName(params.kind) + ")");
    row("System code:", qvsim::formatCode(params.code));
    row("Fail next:", params.failNext ? "yes" : "no");
    qvsim::Card card;
    if (!store.loadCard(card, error)) {
        row("Card:", "corrupt image (" + error + ")");
        return kExitFailed;
    }
    row("Card:", describeCard(card));
    return kExitOk;
}

int show(const qvsim::Store& store) {
    std::string error;
    qvsim::Card card;
    if (!store.loadCard(card, error)) {
        return failed("the card image is corrupt: " + error);
    }
    if (card.state == qvsim::Card::State::None) {
        std::puts("No card on the encoder.");
        return kExitOk;
    }
    if (card.state == qvsim::Card::State::Blank) {
        std::puts("Blank card.");
        return kExitOk;
    }
    const unsigned serial = unsigned{card.CardSn[0]} + unsigned{card.CardSn[1]} * 256u;
    row("Kind:", std::to_string(card.CardType[0]) + "  " + cardTypeName(card.CardType[0]));
    if (card.CardType[0] == CardTypes::LostReport) {
        row("Reports lost:",
            std::to_string(card.CardType[1]) + "  " + lostKindName(card.CardType[1]));
    }
    row("Serial:",
        std::to_string(serial) + "  (CardSn " + words(card.CardSn, QV_CARDSN_WORDS) + ")");
    row("Lock address:", "room " + std::to_string(card.RoomAddr[0]) + ", building " +
                             std::to_string(card.RoomAddr[1]) + ", floor " +
                             std::to_string(card.RoomAddr[2]) + "  (RoomAddr " +
                             words(card.RoomAddr, QV_ROOMADDR_WORDS) + ")");
    row("Building:", std::to_string(card.Building));
    row("Floor:", std::to_string(card.Floor[0]));
    row("District:", std::to_string(card.District[0]));
    row("Override:", std::to_string(card.Override) + (card.Override ? "  (loss report not applied)"
                                                                    : "  (loss report applied)"));
    row("Start:", formatTime(card.StartTime));
    row("End:", formatTime(card.EndTime));
    if (card.CardType[0] == qvsim::kDataCardType) {
        row("Records:", std::to_string(card.records.size()));
        for (std::size_t i = 0; i < card.records.size(); ++i) {
            const qvsim::Record& r = card.records[i];
            std::printf("  %3zu  building %u, floor %u, room %u, card type %u, serial %u, %s\n",
                        i + 1, unsigned{r.building}, unsigned{r.floor}, unsigned{r.room},
                        unsigned{r.cardType}, r.serial, formatTime(r.time).c_str());
        }
    }
    return kExitOk;
}

int saveCard(const qvsim::Store& store, const qvsim::Card& card, const char* done) {
    std::string error;
    if (!store.saveCard(card, error)) {
        return failed("cannot write the card: " + error);
    }
    std::puts(done);
    return kExitOk;
}

int placeDataCard(const qvsim::Store& store, const std::string& file) {
    std::string text, error;
    if (!qvsim::readFile(file, text, error)) {
        return failed("cannot read the records: " + error);
    }
    qvsim::Card card;
    card.state = qvsim::Card::State::Written;
    card.CardType[0] = qvsim::kDataCardType;
    card.Override = 1;
    if (!qvsim::parseRecordsCsv(text, card.records, error)) {
        return failed(file + ", " + error);
    }
    std::string message = "Placed a data card with " + std::to_string(card.records.size()) +
                          " door-opening record(s).";
    return saveCard(store, card, message.c_str());
}

bool parseInt(const std::string& text, long lo, long hi, long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0' && value >= lo && value <= hi;
}

int set(const qvsim::Store& store, const std::vector<std::string>& args) {
    if (args.size() < 2) {
        return usage("set needs a setting: kind, code, online or fail-next");
    }
    std::string error;
    qvsim::Params params;
    if (!store.loadParams(params, error)) {
        return failed("the encoder's state cannot be read: " + error);
    }
    const std::string& what = args[1];
    long v = 0;
    if (what == "kind") {
        if (args.size() != 3 || !parseInt(args[2], 0, 32767, v)) {
            return usage("set kind needs a number from 0 to 32767");
        }
        params.kind = static_cast<int>(v);
    } else if (what == "code") {
        if (args.size() != 3 || !qvsim::parseCode(args[2], params.code)) {
            return usage("set code needs 8 hex digits, e.g. A1B2C3D4");
        }
    } else if (what == "online") {
        if (args.size() != 3 || !parseInt(args[2], 0, 1, v)) {
            return usage("set online needs 0 or 1");
        }
        params.online = v == 1;
    } else if (what == "fail-next") {
        v = 1;
        if (args.size() > 3 || (args.size() == 3 && !parseInt(args[2], 0, 1, v))) {
            return usage("set fail-next takes nothing, 0 or 1");
        }
        params.failNext = v == 1;
    } else {
        return usage("unknown setting '" + what + "'");
    }
    if (!store.saveParams(params, error)) {
        return failed("cannot write the encoder's state: " + error);
    }
    return kExitOk;
}

std::string programDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dir") {
            if (i + 1 >= argc) {
                return usage("--dir needs a folder");
            }
            dir = argv[++i];
        } else if (a.rfind("--dir=", 0) == 0) {
            dir = a.substr(6);
        } else if (a == "-h" || a == "--help") {
            return usage("");
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            return usage("unknown option '" + a + "'");
        } else {
            args.push_back(a);
        }
    }
    if (args.empty()) {
        return usage("no command given");
    }
    if (dir.empty()) {
        dir = qvsim::stateDir(programDir());
    }
    const qvsim::Store store(dir);
    const std::string& command = args[0];

    if (command == "status" && args.size() == 1) {
        return status(store);
    }
    if (command == "show" && args.size() == 1) {
        return show(store);
    }
    if (command == "place" && args.size() == 2 && args[1] == "blank") {
        qvsim::Card blank;
        blank.state = qvsim::Card::State::Blank;
        return saveCard(store, blank, "Placed a blank card.");
    }
    if (command == "place-datacard" && args.size() == 2) {
        return placeDataCard(store, args[1]);
    }
    if (command == "remove" && args.size() == 1) {
        return saveCard(store, qvsim::Card{}, "Removed the card.");
    }
    if (command == "set") {
        return set(store, args);
    }
    if (command == "place") {
        return usage("place takes: blank");
    }
    return usage("unknown command or wrong arguments: '" + command + "'");
}
