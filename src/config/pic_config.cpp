#include "config/pic_config.h"

#include <array>

#include "config/config_word.h"
#include "device/hex_text.h"

namespace vek {

namespace {

constexpr int PROTECTION_OFF = 0;
constexpr int PROTECTION_ALL = 1;
constexpr int PROTECTION_UPPER_QUARTER = 2;  // "3/4 (10)"
constexpr int PROTECTION_UPPER_HALF = 3;     // "1/2 (01)"

// CP1:CP0, 00 to 11, name the choice.
constexpr std::array<int, 4> PROTECTION_OF_BITS = {PROTECTION_ALL, PROTECTION_UPPER_QUARTER,
                                                   PROTECTION_UPPER_HALF, PROTECTION_OFF};

// Bits 1-0 for RC, HS, XT and LP: 11, 10, 01, 00.
int OscillatorBits(int mode) {
    return mode >= 0 && mode <= 3 ? 3 - mode : 0;
}

}  // namespace

PicConfigCodec::PicConfigCodec(const DeviceInfo& target) : target_(target) {}

PicConfigEnabling PicConfigCodec::Enabling() const {
    return {.extendedOptions = target_.configLayout != ConfigLayout::PIC16F84A,
            .partialProtection = target_.configLayout == ConfigLayout::PIC16F872};
}

int PicConfigCodec::CodeProtectionOf(int word) const {
    return PROTECTION_OF_BITS[target_.ProtectionBits(word)];
}

void PicConfigCodec::Refresh(std::string_view text, PicConfigState& state) const {
    const int word = ConfigWordValue(text);
    state.watchdog = BitOf(word, 2);
    state.powerUpTimer = 1 - BitOf(word, 3);
    state.oscillatorMode = 3 - (word & 3);
    state.codeProtection = CodeProtectionOf(word);
    if (target_.configLayout == ConfigLayout::PIC16F84A) {
        return;
    }
    state.eepromProtect = 1 - BitOf(word, 8);
    state.brownOutReset = BitOf(word, 6);
    state.programMemWrite = BitOf(word, 9);
    state.inCircuitDebugger = 1 - BitOf(word, 11);
}

std::string PicConfigCodec::Apply(const PicConfigState& state) const {
    int word = 0;
    if (target_.configLayout == ConfigLayout::PIC16F84A) {
        word = state.codeProtection == PROTECTION_OFF ? 0x3FF0 : 0;
        if (state.powerUpTimer == 0) {
            word |= 0x0008;
        }
        if (state.watchdog == 1) {
            word |= 0x0004;
        }
    } else {
        word = state.codeProtection == PROTECTION_ALL ? 0x0FCF : 0x3FFF;
        if (state.codeProtection == PROTECTION_UPPER_QUARTER) {
            word &= ~0x2020;
        } else if (state.codeProtection == PROTECTION_UPPER_HALF) {
            word &= ~0x1010;
        }
        // Bit 10 stays set and bit 7 is always clear.
        word &= ~0x0080;
        if (state.programMemWrite == 0) {
            word &= ~0x0200;
        }
        if (state.eepromProtect == 1) {
            word &= ~0x0100;
        }
        if (state.brownOutReset == 0) {
            word &= ~0x0040;
        }
        if (state.powerUpTimer == 1) {
            word &= ~0x0008;
        }
        if (state.watchdog == 0) {
            word &= ~0x0004;
        }
        if (state.inCircuitDebugger == 1) {
            word &= ~0x0800;
        }
        word &= ~0x0003;
    }
    word |= OscillatorBits(state.oscillatorMode);
    return HexDigits(static_cast<unsigned>(word), target_.WordDigits());
}

}  // namespace vek
