// What the three configuration editors share about their words' text.
#pragma once

#include <string_view>

namespace vek {

// The word a configuration text stands for: trailing lower-case 'h's (a hex suffix) are
// dropped and the rest goes through HexToInt unchecked, so the placeholder "---" gives -3,
// every bit set but bit 1.
int ConfigWordValue(std::string_view text);

// A two-bit choice (index 0-3) at its place in a word; no choice adds nothing.
inline int TwoBitField(int index, int shift) {
    return index >= 0 && index <= 3 ? index << shift : 0;
}

// Bit `bit` of a word as 0 or 1; the placeholder's negative words read as all ones above.
inline int BitOf(int word, int bit) {
    return (word >> bit) & 1;
}

}  // namespace vek
