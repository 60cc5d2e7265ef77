#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace lockmsg {

// Writes `text` as a short string: a length byte and at most `max` bytes of
// UTF-8. A longer text is cut before the first character that does not fit
// whole, so the buffer never holds half a character and nothing is written
// past buffer[max].
inline void writeShortString(unsigned char* buffer, std::string_view text, std::size_t max = 255) {
    std::size_t length = text.size() < max ? text.size() : max;
    if (length < text.size()) {
        // Back up over continuation bytes (10xxxxxx) to a character start.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            --length;
        }
    }
    buffer[0] = static_cast<unsigned char>(length);
    std::memcpy(buffer + 1, text.data(), length);
}

}  // namespace lockmsg
