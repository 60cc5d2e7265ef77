#include "SimState.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <type_traits>

namespace fs = std::filesystem;

namespace qvsim {
namespace {

constexpr const char* kParamsFile = "encoder.txt";
constexpr const char* kCardFile = "card.txt";

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

// A decimal number in [lo, hi], nothing else.
bool parseNumber(const std::string& text, long long lo, long long hi, long long& value) {
    const std::string t = trim(text);
    if (t.empty()) {
        return false;
    }
    std::size_t i = (t[0] == '-') ? 1 : 0;
    if (i == t.size()) {
        return false;
    }
    for (std::size_t j = i; j < t.size(); ++j) {
        if (t[j] < '0' || t[j] > '9') {
            return false;
        }
    }
    if (t.size() - i > 12) {
        return false;
    }
    value = std::stoll(t);
    return value >= lo && value <= hi;
}

// Exactly `count` words separated by blanks; a negative word is taken as its
// 16-bit two's complement.
bool parseWords(const std::string& text, uint16_t* words, std::size_t count) {
    std::istringstream in(text);
    std::string item;
    std::size_t n = 0;
    while (in >> item) {
        long long v = 0;
        if (n == count || !parseNumber(item, -32768, 65535, v)) {
            return false;
        }
        words[n++] = static_cast<uint16_t>(v);
    }
    return n == count;
}

std::string formatWords(const uint16_t* words, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += (i ? " " : "") + std::to_string(words[i]);
    }
    return out;
}

template <class C>
auto cardFields(C& card) {
    using W = std::conditional_t<std::is_const_v<C>, const uint16_t*, uint16_t*>;
    struct F {
        const char* name;
        W words;
        std::size_t count;
    };
    return std::vector<F>{
        {"CardSn", card.CardSn, QV_CARDSN_WORDS},
        {"Reserved2", card.Reserved2, QV_RESERVED2_WORDS},
        {"Building", &card.Building, 1},
        {"Floor", card.Floor, QV_FLOOR_WORDS},
        {"District", card.District, QV_DISTRICT_WORDS},
        {"RoomAddr", card.RoomAddr, QV_ROOMADDR_WORDS},
        {"Override", &card.Override, 1},
        {"CardType", card.CardType, QV_CARDTYPE_WORDS},
        {"Reserved3", card.Reserved3, QV_RESERVED3_WORDS},
        {"StartTime", card.StartTime, QV_CARDTIME_WORDS},
        {"EndTime", card.EndTime, QV_CARDTIME_WORDS},
    };
}

// Splits "key=value"; false for a line without '='.
bool splitLine(const std::string& line, std::string& key, std::string& value) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
        return false;
    }
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return !key.empty();
}

bool skippable(const std::string& line) {
    return line.empty() || line[0] == '#';
}

std::string lineError(int number, const std::string& what) {
    return "line " + std::to_string(number) + ": " + what;
}

bool fsyncDir(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

std::string formatCode(const uint16_t (&code)[QV_SYSTEM_CODE_WORDS]) {
    std::string out;
    char part[8];
    for (const uint16_t w : code) {
        std::snprintf(part, sizeof part, "%02X", static_cast<unsigned>(w));
        out += part;
    }
    return out;
}

bool parseCode(const std::string& text, uint16_t (&code)[QV_SYSTEM_CODE_WORDS]) {
    const std::string t = trim(text);
    if (t.size() != 2 * QV_SYSTEM_CODE_WORDS) {
        return false;
    }
    uint16_t words[QV_SYSTEM_CODE_WORDS];
    for (int i = 0; i < QV_SYSTEM_CODE_WORDS; ++i) {
        unsigned v = 0;
        for (int j = 0; j < 2; ++j) {
            const char c = t[2 * i + j];
            int d = -1;
            if (c >= '0' && c <= '9') {
                d = c - '0';
            } else if (c >= 'A' && c <= 'F') {
                d = c - 'A' + 10;
            } else if (c >= 'a' && c <= 'f') {
                d = c - 'a' + 10;
            }
            if (d < 0) {
                return false;
            }
            v = v * 16 + static_cast<unsigned>(d);
        }
        words[i] = static_cast<uint16_t>(v);
    }
    std::copy(std::begin(words), std::end(words), std::begin(code));
    return true;
}

std::string formatParams(const Params& params) {
    std::string out = "# Quorvane encoder simulator: the encoder's parameters\n";
    out += "kind=" + std::to_string(params.kind) + "\n";
    out += "code=" + formatCode(params.code) + "\n";
    out += std::string("online=") + (params.online ? "1" : "0") + "\n";
    out += std::string("fail-next=") + (params.failNext ? "1" : "0") + "\n";
    return out;
}

bool parseParams(const std::string& text, Params& params, std::string& error) {
    Params p;
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        const std::string line = trim(raw);
        if (skippable(line)) {
            continue;
        }
        std::string key, value;
        long long v = 0;
        if (!splitLine(line, key, value)) {
            error = lineError(number, "not key=value");
            return false;
        }
        if (key == "kind") {
            if (!parseNumber(value, -32768, 32767, v)) {
                error = lineError(number, "kind must be a number");
                return false;
            }
            p.kind = static_cast<int>(v);
        } else if (key == "code") {
            if (!parseCode(value, p.code)) {
                error = lineError(number, "code must be 8 hex digits");
                return false;
            }
        } else if (key == "online" || key == "fail-next") {
            if (!parseNumber(value, 0, 1, v)) {
                error = lineError(number, key + " must be 0 or 1");
                return false;
            }
            (key == "online" ? p.online : p.failNext) = (v == 1);
        } else {
            error = lineError(number, "unknown key '" + key + "'");
            return false;
        }
    }
    params = p;
    return true;
}

std::string formatRecord(const Record& r) {
    char time[48];
    std::snprintf(time, sizeof time, "%04u-%02u-%02u %02u:%02u", unsigned{r.time[0]},
                  unsigned{r.time[1]}, unsigned{r.time[2]}, unsigned{r.time[3]},
                  unsigned{r.time[4]});
    return std::to_string(r.building) + "," + std::to_string(r.floor) + "," +
           std::to_string(r.room) + "," + std::to_string(r.cardType) + "," +
           std::to_string(r.serial) + "," + time;
}

bool parseRecord(const std::string& line, Record& record, std::string& error) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(line);
    while (std::getline(in, part, ',')) {
        parts.push_back(trim(part));
    }
    if (parts.size() != 6) {
        error = "expected building,floor,room number,card type,serial,yyyy-MM-dd HH:mm";
        return false;
    }
    Record r;
    long long v = 0;
    const char* names[] = {"building", "floor", "room number", "card type"};
    uint16_t* targets[] = {&r.building, &r.floor, &r.room, &r.cardType};
    for (int i = 0; i < 4; ++i) {
        if (!parseNumber(parts[i], 0, 65535, v)) {
            error = std::string(names[i]) + " must be a number from 0 to 65535";
            return false;
        }
        *targets[i] = static_cast<uint16_t>(v);
    }
    if (!parseNumber(parts[4], 0, kMaxSerial, v)) {
        error = "serial must be a number from 0 to " + std::to_string(kMaxSerial);
        return false;
    }
    r.serial = static_cast<uint32_t>(v);
    // yyyy-MM-dd HH:mm, digits only; the numbers are kept as written.
    const std::string& t = parts[5];
    const char* pattern = "dddd-dd-dd dd:dd";
    bool shaped = t.size() == std::strlen(pattern);
    for (std::size_t i = 0; shaped && i < t.size(); ++i) {
        shaped = pattern[i] == 'd' ? (t[i] >= '0' && t[i] <= '9') : t[i] == pattern[i];
    }
    if (!shaped) {
        error = "time must be yyyy-MM-dd HH:mm";
        return false;
    }
    r.time[0] = static_cast<uint16_t>(std::stoi(t.substr(0, 4)));
    r.time[1] = static_cast<uint16_t>(std::stoi(t.substr(5, 2)));
    r.time[2] = static_cast<uint16_t>(std::stoi(t.substr(8, 2)));
    r.time[3] = static_cast<uint16_t>(std::stoi(t.substr(11, 2)));
    r.time[4] = static_cast<uint16_t>(std::stoi(t.substr(14, 2)));
    record = r;
    return true;
}

bool parseRecordsCsv(const std::string& text, std::vector<Record>& records, std::string& error) {
    std::vector<Record> out;
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    bool first = true;
    while (std::getline(in, raw)) {
        ++number;
        const std::string line = trim(raw);
        if (skippable(line)) {
            continue;
        }
        const bool header = first && std::isalpha(static_cast<unsigned char>(line[0]));
        first = false;
        if (header) {
            continue;
        }
        Record r;
        std::string why;
        if (!parseRecord(line, r, why)) {
            error = lineError(number, why);
            return false;
        }
        out.push_back(r);
    }
    records = std::move(out);
    return true;
}

std::string formatCard(const Card& card) {
    std::string out = "# Quorvane encoder simulator: the card on the encoder\n";
    if (card.state == Card::State::Blank) {
        return out + "card=blank\n";
    }
    out += "card=written\n";
    for (const auto& f : cardFields(card)) {
        out += std::string(f.name) + "=" + formatWords(f.words, f.count) + "\n";
    }
    for (const Record& r : card.records) {
        out += "record=" + formatRecord(r) + "\n";
    }
    return out;
}

bool parseCard(const std::string& text, Card& card, std::string& error) {
    Card c;
    auto fields = cardFields(c);
    std::vector<bool> seen(fields.size(), false);
    bool stateSeen = false;
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        const std::string line = trim(raw);
        if (skippable(line)) {
            continue;
        }
        std::string key, value;
        if (!splitLine(line, key, value)) {
            error = lineError(number, "not key=value");
            return false;
        }
        if (key == "card") {
            if (stateSeen || (value != "blank" && value != "written")) {
                error = lineError(number, "card must be given once, as blank or written");
                return false;
            }
            stateSeen = true;
            c.state = value == "blank" ? Card::State::Blank : Card::State::Written;
            continue;
        }
        if (!stateSeen) {
            error = lineError(number, "the image must start with card=blank or card=written");
            return false;
        }
        if (c.state == Card::State::Blank) {
            error = lineError(number, "a blank card holds no fields");
            return false;
        }
        if (key == "record") {
            Record r;
            std::string why;
            if (!parseRecord(value, r, why)) {
                error = lineError(number, why);
                return false;
            }
            c.records.push_back(r);
            continue;
        }
        std::size_t i = 0;
        while (i < fields.size() && key != fields[i].name) {
            ++i;
        }
        if (i == fields.size()) {
            error = lineError(number, "unknown field '" + key + "'");
            return false;
        }
        if (seen[i]) {
            error = lineError(number, "field " + key + " given twice");
            return false;
        }
        if (!parseWords(value, fields[i].words, fields[i].count)) {
            error = lineError(number, "field " + key + " needs " + std::to_string(fields[i].count) +
                                          " words from 0 to 65535");
            return false;
        }
        seen[i] = true;
    }
    if (!stateSeen) {
        error = "the image holds no card= line";
        return false;
    }
    if (c.state == Card::State::Written) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (!seen[i]) {
                error = std::string("field ") + fields[i].name + " is missing";
                return false;
            }
        }
    }
    card = std::move(c);
    return true;
}

bool readFile(const std::string& path, std::string& text, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::string out;
    char chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        out.append(chunk, n);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        error = path + ": read error";
        return false;
    }
    text = std::move(out);
    return true;
}

bool Store::read(const char* name, std::string& text, bool& exists, std::string& error) const {
    std::error_code ec;
    const fs::path dir(dir_);
    const fs::file_status ds = fs::status(dir, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        error = dir_ + ": " + ec.message();
        return false;
    }
    exists = false;
    if (!fs::exists(ds)) {
        return true;  // a fresh encoder
    }
    if (!fs::is_directory(ds)) {
        error = dir_ + ": not a folder";
        return false;
    }
    const fs::path file = dir / name;
    const fs::file_status fst = fs::status(file, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        error = file.string() + ": " + ec.message();
        return false;
    }
    if (!fs::exists(fst)) {
        return true;
    }
    if (!fs::is_regular_file(fst)) {
        error = file.string() + ": not a file";
        return false;
    }
    exists = true;
    return readFile(file.string(), text, error);
}

bool Store::write(const char* name, const std::string& text, std::string& error) const {
    std::error_code ec;
    fs::create_directories(dir_, ec);
    if (ec || !fs::is_directory(dir_, ec)) {
        error = dir_ + ": cannot create the folder";
        return false;
    }
    const std::string target = (fs::path(dir_) / name).string();
    std::string temp = (fs::path(dir_) / (std::string(".") + name + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = dir_ + ": " + std::strerror(errno);
        return false;
    }
    ::fchmod(fd, 0644);
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        if (ok) {
            done += static_cast<std::size_t>(n);
        }
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        error = target + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    fsyncDir(dir_);
    return true;
}

bool Store::loadParams(Params& params, std::string& error) const {
    std::string text;
    bool exists = false;
    if (!read(kParamsFile, text, exists, error)) {
        return false;
    }
    if (!exists) {
        params = Params{};
        return true;
    }
    if (!parseParams(text, params, error)) {
        error = std::string(kParamsFile) + ", " + error;
        return false;
    }
    return true;
}

bool Store::saveParams(const Params& params, std::string& error) const {
    return write(kParamsFile, formatParams(params), error);
}

bool Store::loadCard(Card& card, std::string& error) const {
    std::string text;
    bool exists = false;
    if (!read(kCardFile, text, exists, error)) {
        return false;
    }
    if (!exists) {
        card = Card{};
        return true;
    }
    if (!parseCard(text, card, error)) {
        error = std::string(kCardFile) + ", " + error;
        return false;
    }
    return true;
}

bool Store::saveCard(const Card& card, std::string& error) const {
    if (card.state != Card::State::None) {
        return write(kCardFile, formatCard(card), error);
    }
    const std::string target = (fs::path(dir_) / kCardFile).string();
    if (::unlink(target.c_str()) != 0 && errno != ENOENT) {
        error = target + ": " + std::strerror(errno);
        return false;
    }
    fsyncDir(dir_);
    return true;
}

std::string stateDir(const std::string& baseDir) {
    const char* env = std::getenv("QUORVANE_ENCODER_DIR");
    if (env && *env) {
        return env;
    }
    return (fs::path(baseDir) / "encoder").string();
}

std::string moduleDir(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) && info.dli_fname && *info.dli_fname) {
        std::error_code ec;
        const fs::path file = fs::weakly_canonical(fs::path(info.dli_fname), ec);
        return (ec ? fs::path(info.dli_fname) : file).parent_path().string();
    }
    return ".";
}

}  // namespace qvsim
