#include "device/hex_text.h"

#include <cstdio>

namespace vek {

std::string HexDigits(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%.*X", digits, value);
    return text;
}

}  // namespace vek
