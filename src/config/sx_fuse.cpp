#include "config/sx_fuse.h"

#include "config/config_word.h"
#include "device/hex_text.h"

namespace vek {

namespace {

constexpr std::array<const char*, 8> SX28_OSCILLATOR_LINES = {
    "LP1 Crystal (32KHz)",
    "LP2 Crys/Res (32KHz - 1MHz)",
    "XT1 Crys/Res (32KHz - 10MHz)",
    "XT2 Crys/Res (1MHz) - 24MHz",
    "HS1 Crys/Res/Ext (1MHz - 50MHz)",
    "HS2 Crys/Res/Ext (1MHz - 50MHz)",
    "HS3 Crys/Res/Ext (1MHz - 75MHz)",
    "RC Network (OSC2 pulled high)",
};
constexpr std::array<const char*, 8> SX48_OSCILLATOR_LINES = {
    "LP1 Crystal (32KHz)",         "LP2 Crys/Res (32KHz - 1MHz)",   "XT1 Crys/Res (32KHz - 1MHz)",
    "XT2 Crys/Res (1MHz) - 8MHz",  "HS1 Crys/Res (1MHz - 20MHz)",   "HS2 Crys/Res (1MHz - 50MHz)",
    "HS3 Crys/Res (1MHz - 75MHz)", "RC Network (OSC2 pulled high)",
};

// An oscillator line's three bits are spread over the word: the high one in bit 5, the low
// two in bits 1-0.
int OscillatorBits(int line) {
    if (line < 1 || line > 7) {
        return 0;
    }
    return ((line & 4) << 3) | (line & 3);
}

}  // namespace

SxFuseCodec::SxFuseCodec(const DeviceInfo& target) : target_(target) {}

const std::array<const char*, 8>& SxFuseCodec::OscillatorLines() const {
    return Sx28() ? SX28_OSCILLATOR_LINES : SX48_OSCILLATOR_LINES;
}

SxFuseEnabling SxFuseCodec::Enabling(const SxFuseState& state) const {
    const bool external = state.internalRc == 1;
    return {.turbo = Sx28(),
            .crystalBuffer = !Sx28(),
            .rcDivider = !external,
            .externalOscillator = external};
}

void SxFuseCodec::Refresh(std::string_view text, SxFuseState& state) const {
    const int word = ConfigWordValue(text);
    state.turbo = BitOf(word, 11);
    state.syncInput = BitOf(word, 10);
    state.rcDivider = (word >> 5) & 3;
    state.internalRc = BitOf(word, 7);
    state.feedbackResistor = 1 - BitOf(word, 6);
    state.crystalBuffer = 1 - BitOf(word, 4);
    state.codeProtection = BitOf(word, 3);
    state.watchdog = 1 - BitOf(word, 2);
    // With the internal RC, bits 1-0 are always 11 and bit 5 belongs to the divider.
    const int lowBits = state.internalRc == 1 ? (word & 3) : 3;
    state.oscillatorMode = (BitOf(word, 5) << 2) | lowBits;
}

std::string SxFuseCodec::Apply(const SxFuseState& state) const {
    int word = Sx28() ? 0x310 : 0x300;
    if (state.syncInput == 1) {
        word |= 0x400;
    }
    if (state.internalRc == 1) {
        word |= 0x080 | OscillatorBits(state.oscillatorMode);
        if (state.feedbackResistor == 0) {
            word |= 0x040;
        }
    } else {
        word |= 0x003 | TwoBitField(state.rcDivider, 5);
    }
    if (state.codeProtection == 1) {
        word |= 0x008;
    }
    if (state.watchdog == 0) {
        word |= 0x004;
    }
    if (Sx28()) {
        if (state.turbo == 1) {
            word |= 0x800;
        }
    } else if (state.crystalBuffer == 0) {
        word |= 0x010;
    }
    return HexDigits(static_cast<unsigned>(word), target_.WordDigits());
}

}  // namespace vek
