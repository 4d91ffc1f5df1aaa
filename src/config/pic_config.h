// The PIC16 configuration word as the "Configuration Window" shows it: six check boxes and
// two radio groups. The 16F84A has fewer options than the 16F87x chips, and the 16F870 and
// 16F871 protect their program memory only as a whole.
#pragma once

#include <string>
#include <string_view>

#include "device/device_table.h"

namespace vek {

// Check boxes are 0 or 1, radio groups the index of the chosen button in the window's order.
struct PicConfigState {
    int watchdog = 1;
    int powerUpTimer = 0;
    int brownOutReset = 0;
    int programMemWrite = 0;
    int inCircuitDebugger = 0;
    int eepromProtect = 0;
    int codeProtection = 0;   // "Off (11)", "ALL (00)", "3/4 (10)", "1/2 (01)"
    int oscillatorMode = -1;  // RC, HS, XT, LP

    bool operator==(const PicConfigState&) const = default;

    // Any choice but "Off (11)" keeps program memory, or part of it, from being read.
    bool ProtectsProgramMemory() const { return codeProtection != 0; }
};

// Which controls take input; the others are greyed out.
struct PicConfigEnabling {
    // Brown-out Reset, Program Mem Write, In-Circuit Debugger and EEPROM.
    bool extendedOptions = false;
    // "3/4 (10)" and "1/2 (01)".
    bool partialProtection = false;

    bool operator==(const PicConfigEnabling&) const = default;
};

class PicConfigCodec {
  public:
    // The rules of the target's configuration layout.
    explicit PicConfigCodec(const DeviceInfo& target);

    PicConfigEnabling Enabling() const;

    // Sets the members from the word of a configuration text; on the 16F84A the extended
    // options keep their values.
    void Refresh(std::string_view text, PicConfigState& state) const;
    // The whole word the members make, as its text.
    std::string Apply(const PicConfigState& state) const;

  private:
    int CodeProtectionOf(int word) const;

    DeviceInfo target_;
};

}  // namespace vek
