// Configuration words and IDs travel between the window, the settings and the operations as
// upper-case hexadecimal text.
#pragma once

#include <string>

namespace vek {

// value in upper-case hex with at least `digits` digits ("%3.3X", "%4.4X").
std::string HexDigits(unsigned value, int digits);

}  // namespace vek
