// The SX FUSE word as the "Configuration Fuses" window shows it: eight radio groups and the
// external oscillator's list.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "device/device_table.h"

namespace vek {

// Each member is the index of the chosen button or list line, in the window's order.
struct SxFuseState {
    int turbo = -1;             // "Enabled  (Osc/1)", "Disabled (Osc/4) "
    int syncInput = -1;         // Enable, Disable
    int internalRc = -1;        // Enable, Disable (an external oscillator)
    int rcDivider = -1;         // 4 MHz, 1 MHz, 128 KHz, 32 KHz
    int feedbackResistor = -1;  // Enable, Disable
    int crystalBuffer = -1;     // Enable, Disable
    int codeProtection = -1;    // Enable, Disable
    int watchdog = -1;          // Enable, Disable
    int oscillatorMode = -1;    // line 0-7 of the external oscillator list

    bool operator==(const SxFuseState&) const = default;

    bool ProtectsProgramMemory() const { return codeProtection == 0; }  // "Enable"
};

// Which controls take input; the others are greyed out.
struct SxFuseEnabling {
    bool turbo = false;
    bool crystalBuffer = false;
    bool rcDivider = false;
    // The feedback resistor buttons and the oscillator list.
    bool externalOscillator = false;

    bool operator==(const SxFuseEnabling&) const = default;
};

class SxFuseCodec {
  public:
    explicit SxFuseCodec(const DeviceInfo& target);

    const std::array<const char*, 8>& OscillatorLines() const;
    // The divider counts only with the internal RC, the feedback resistor and the list only
    // with an external oscillator; Turbo exists on the SX28 alone, Crystal Buffer on the SX48.
    SxFuseEnabling Enabling(const SxFuseState& state) const;

    // Sets every member from the word of a configuration text.
    void Refresh(std::string_view text, SxFuseState& state) const;
    // The whole word the members make, as its text.
    std::string Apply(const SxFuseState& state) const;

  private:
    bool Sx28() const { return target_.configLayout == ConfigLayout::SX28; }

    DeviceInfo target_;
};

}  // namespace vek
