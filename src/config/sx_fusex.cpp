#include "config/sx_fusex.h"

#include "config/config_word.h"
#include "device/hex_text.h"

namespace vek {

namespace {

constexpr std::array<const char*, 4> SX28_BROWN_OUT_CAPTIONS = {"4.2V (00)", "2.2V (10)",
                                                                "2.6V (01)", "BOR Disabled"};
constexpr std::array<const char*, 4> SX48_BROWN_OUT_CAPTIONS = {"4.1V (00)", "2.2V (10)",
                                                                "2.4V (01)", "BOR Disabled"};
constexpr std::array<const char*, 4> SX28_PAGES_BANKS_LINES = {
    "00    1 Page, 1 Bank", "01    2 Pages, 1 Bank", "10    4 Pages, 4 Banks",
    "11    4 Pages, 8 Banks"};

// The delay reset timer's bits 1-0 do not follow its buttons' order.
constexpr std::array<int, 4> DELAY_BITS_OF_INDEX = {0b10, 0b11, 0b00, 0b01};
constexpr std::array<int, 4> DELAY_INDEX_OF_BITS = {2, 3, 0, 1};

int DelayBits(int index) {
    return index >= 0 && index <= 3 ? DELAY_BITS_OF_INDEX[index] : 0;
}

}  // namespace

SxFuseXCodec::SxFuseXCodec(const DeviceInfo& target) : target_(target) {}

const std::array<const char*, 4>& SxFuseXCodec::BrownOutCaptions() const {
    return Sx28() ? SX28_BROWN_OUT_CAPTIONS : SX48_BROWN_OUT_CAPTIONS;
}

std::span<const char* const> SxFuseXCodec::PagesBanksLines() const {
    if (Sx28()) {
        return SX28_PAGES_BANKS_LINES;
    }
    return {};
}

SxFuseXEnabling SxFuseXCodec::Enabling() const {
    return {.pins = Sx28(),
            .sleepClock = !Sx28(),
            .optionX = Sx28(),
            .delayResetTimer = !Sx28(),
            .pagesBanks = Sx28()};
}

void SxFuseXCodec::Refresh(std::string_view text, SxFuseXState& state) const {
    const int word = ConfigWordValue(text);
    state.pins = BitOf(word, 10);
    state.sleepClock = BitOf(word, 10);
    state.brownOutLevel = (word >> 4) & 3;
    state.carryFlag = BitOf(word, 6);
    state.optionX = BitOf(word, 7);
    state.delayResetTimer = DELAY_INDEX_OF_BITS[word & 3];
    state.pagesBanks = word & 3;
    state.brownOutTrim = (word >> 2) & 3;
}

std::string SxFuseXCodec::Apply(const SxFuseXState& state) const {
    // Bits 11, 9 and 8 are always set.
    int word = 0xB00;
    if (Sx28()) {
        if (state.pins == 1) {
            word |= 0x400;
        }
        if (state.optionX == 1) {
            word |= 0x080;
        }
        word |= TwoBitField(state.pagesBanks, 0);
    } else {
        if (state.sleepClock == 1) {
            word |= 0x400;
        }
        word |= DelayBits(state.delayResetTimer);
    }
    if (state.carryFlag == 1) {
        word |= 0x040;
    }
    word |= TwoBitField(state.brownOutLevel, 4) | TwoBitField(state.brownOutTrim, 2);
    return HexDigits(static_cast<unsigned>(word), target_.WordDigits());
}

}  // namespace vek
