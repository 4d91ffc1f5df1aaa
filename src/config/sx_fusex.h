// The SX FUSEX word as the "FuseX" window shows it: six radio groups and two lists, some of
// them for one of the two chips only.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "device/device_table.h"

namespace vek {

// Each member is the index of the chosen button or list line, in the window's order.
struct SxFuseXState {
    int pins = -1;             // "18/20 Pins", "28 Pins" (SX28)
    int sleepClock = -1;       // Enable, Disable (SX48)
    int optionX = -1;          // "Clear", "Set " (SX28)
    int carryFlag = -1;        // Enable, Disable
    int brownOutLevel = -1;    // the three levels, then "BOR Disabled"
    int delayResetTimer = -1;  // .25 msec, 18 msec, 60 msec, 1 sec (SX48)
    int brownOutTrim = -1;     // list line 0-3
    int pagesBanks = -1;       // list line 0-3 (SX28)

    bool operator==(const SxFuseXState&) const = default;
};

// Which controls take input; the others are greyed out.
struct SxFuseXEnabling {
    bool pins = false;
    bool sleepClock = false;
    bool optionX = false;
    bool delayResetTimer = false;
    bool pagesBanks = false;

    bool operator==(const SxFuseXEnabling&) const = default;
};

class SxFuseXCodec {
  public:
    explicit SxFuseXCodec(const DeviceInfo& target);

    // Captions of the four brown-out buttons; the chips have different levels.
    const std::array<const char*, 4>& BrownOutCaptions() const;
    // The Pages / Banks list's lines; empty on the SX48, which has no such choice.
    std::span<const char* const> PagesBanksLines() const;
    SxFuseXEnabling Enabling() const;

    // Sets every member from the word of a configuration text.
    void Refresh(std::string_view text, SxFuseXState& state) const;
    // The whole word the members make, as its text.
    std::string Apply(const SxFuseXState& state) const;

  private:
    bool Sx28() const { return target_.configLayout == ConfigLayout::SX28; }

    DeviceInfo target_;
};

}  // namespace vek
