// What the three configuration editors share about their words' text.
#pragma once

#include <string_view>

namespace vek {

// Digits of a word's upper-case hex text: the SX FUSE and FUSEX words ("%3.3X") and the
// PIC16 configuration word ("%4.4X").
inline constexpr int SX_WORD_DIGITS = 3;
inline constexpr int PIC_WORD_DIGITS = 4;

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

// The SX editors know two layouts; any target that is not an SX28 gets the SX48 one.
inline bool IsSx28(std::string_view deviceName) {
    return deviceName == "SX28";
}

}  // namespace vek
