#include "device/hex_text.h"

#include <cstdio>

namespace vek {

std::string HexDigits(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%.*X", digits, value);
    return text;
}

int HexToInt(std::string_view text) {
    if (text.empty() || text.size() > 4) {
        return 0;
    }
    unsigned value = 0;
    for (const char c : text) {
        const int character = static_cast<signed char>(c);
        int digit = 0;
        if (character <= '9') {
            digit = character - '0';
        } else if (character <= 'F') {
            digit = character - 'A' + 10;
        } else {
            digit = character - 'a' + 10;
        }
        // Unsigned, so that a character below '0' spreads its sign bits as plain bits.
        value = (value << 4) | static_cast<unsigned>(digit);
    }
    return static_cast<int>(value);
}

}  // namespace vek
