// Configuration words and IDs travel between the window, the settings and the operations as
// upper-case hexadecimal text; HEX files carry their fields as hexadecimal digits.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vek {

// The record types a HEX file is read and written with; others (extended addresses) carry no
// data for these targets.
inline constexpr int HEX_DATA_RECORD = 0x00;
inline constexpr int HEX_END_RECORD = 0x01;

// Text in a fixed printf format, for the messages and listing lines that quote one.
template <typename... Values>
std::string Printf(const char* format, Values... values) {
    char text[160];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// value in upper-case hex with at least `digits` digits ("%3.3X", "%4.4X").
std::string HexDigits(unsigned value, int digits);

// One to four characters, most significant first, without validation: a character that is
// not a hex digit adds whatever its distance from '0', 'A' or 'a' gives ("---" is -3). Any
// other length gives 0.
int HexToInt(std::string_view text);

}  // namespace vek
