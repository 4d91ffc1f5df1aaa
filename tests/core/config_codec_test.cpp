// The three configuration words: what a window shows for a text, which word its controls
// make, and that every word the controls can make reads back to itself.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "config/pic_config.h"
#include "config/sx_fuse.h"
#include "config/sx_fusex.h"

namespace vek::test {
namespace {

// A window opens on a text, shows `shown`, and a click that changes nothing writes `written`.
template <typename State>
struct Opening {
    std::string device;
    std::string text;
    State shown;
    std::string written;
};

// Controls set by hand, and the word they make.
template <typename State>
struct Choice {
    std::string device;
    State state;
    std::string word;
};

template <typename Codec, typename State>
void ExpectOpenings(const std::vector<Opening<State>>& cases) {
    for (const auto& [device, text, shown, written] : cases) {
        const Codec codec(device);
        State state;
        codec.Refresh(text, state);
        EXPECT_EQ(state, shown) << device << " " << text;
        EXPECT_EQ(codec.Apply(state), written) << device << " " << text;
    }
}

template <typename Codec, typename State>
void ExpectChoices(const std::vector<Choice<State>>& cases) {
    for (const auto& [device, state, word] : cases) {
        EXPECT_EQ(Codec(device).Apply(state), word) << device << " " << word;
    }
}

// Calls visit with every combination of the given members' values, each from 0 to its count
// less one.
template <typename State, typename Visit>
void ForEveryState(const std::vector<std::pair<int State::*, int>>& members, Visit visit,
                   State state = {}, std::size_t next = 0) {
    if (next == members.size()) {
        visit(state);
        return;
    }
    const auto [member, count] = members[next];
    for (int value = 0; value < count; ++value) {
        state.*member = value;
        ForEveryState(members, visit, state, next + 1);
    }
}

// turbo, syncInput, internalRc, rcDivider, feedbackResistor, crystalBuffer, codeProtection,
// watchdog, oscillatorMode
using Fuse = SxFuseState;

TEST(SxFuseCodec, OpeningShowsTheWordAndAClickWritesItForTheChip) {
    const Fuse fromDefault{0, 1, 1, 3, 0, 1, 1, 1, 5};
    ExpectOpenings<SxFuseCodec, Fuse>({
        // Bits 9, 8 and 4 are always set on the SX28, bit 11 never on the SX48.
        {"SX28", "4E9", fromDefault, "7F9"},
        {"SX48", "4E9", fromDefault, "7E9"},
        {"SX28", "4e9hh", fromDefault, "7F9"},
        // Any other name gets the SX48 rules.
        {"SX52", "4E9", fromDefault, "7E9"},
        {"SX28", "---", {1, 1, 1, 3, 0, 0, 1, 0, 5}, "FFD"},
        {"SX48", "---", {1, 1, 1, 3, 0, 0, 1, 0, 5}, "7FD"},
        // With the internal RC the list shows the line whose low bits are 11.
        {"SX28", "334", {0, 0, 0, 1, 1, 0, 0, 0, 7}, "337"},
        {"SX28", "7F3", {0, 1, 1, 3, 0, 0, 0, 1, 7}, "7F3"},
    });
}

TEST(SxFuseCodec, TheControlsMakeTheWord) {
    const Fuse internalRc4MHz{0, 0, 0, 0, 0, 0, 0, 0, 0};
    const Fuse rcNetwork{0, 0, 1, 0, 0, 0, 0, 0, 7};
    const Fuse allSecond{1, 1, 0, 2, 1, 1, 1, 1, 0};
    ExpectChoices<SxFuseCodec, Fuse>({
        {"SX28", internalRc4MHz, "317"},
        {"SX48", internalRc4MHz, "317"},
        {"SX28", rcNetwork, "3F7"},
        {"SX48", rcNetwork, "3F7"},
        {"SX28", allSecond, "F5B"},
        {"SX48", allSecond, "74B"},
    });
}

// pins, sleepClock, optionX, carryFlag, brownOutLevel, delayResetTimer, brownOutTrim,
// pagesBanks
using FuseX = SxFuseXState;

TEST(SxFuseXCodec, OpeningShowsTheWordAndAClickWritesItForTheChip) {
    const FuseX fromDefault{1, 1, 0, 1, 0, 2, 0, 0};
    const FuseX placeholder{1, 1, 1, 1, 3, 3, 3, 1};
    const FuseX zero{0, 0, 0, 0, 0, 2, 0, 0};
    ExpectOpenings<SxFuseXCodec, FuseX>({
        {"SX28", "440", fromDefault, "F40"},
        {"SX48", "440", fromDefault, "F40"},
        {"SX48", "440h", fromDefault, "F40"},
        {"SX28", "---", placeholder, "FFD"},
        {"SX48", "---", placeholder, "F7D"},
        // Bits 11, 9 and 8 are set whatever the word was.
        {"SX28", "0", zero, "B00"},
        {"SX48", "0", zero, "B00"},
    });
}

TEST(SxFuseXCodec, TheControlsMakeTheWord) {
    ExpectChoices<SxFuseXCodec, FuseX>({
        {"SX28", {0, 0, 1, 0, 3, 0, 3, 3}, "BBF"},
        {"SX48", {0, 0, 0, 0, 0, 0, 0, 0}, "B02"},
        {"SX48", {0, 0, 0, 0, 0, 3, 0, 0}, "B01"},
        {"SX28", {0, 0, 0, 0, 0, 3, 0, 0}, "B00"},
        {"SX48", {0, 1, 1, 1, 3, 1, 3, 3}, "F7F"},
    });
}

// watchdog, powerUpTimer, brownOutReset, programMemWrite, inCircuitDebugger, eepromProtect,
// codeProtection, oscillatorMode
using Pic = PicConfigState;

TEST(PicConfigCodec, OpeningShowsTheWordAndAClickWritesItForTheChip) {
    const Pic onlyHs{0, 0, 0, 0, 0, 0, 0, 1};
    ExpectOpenings<PicConfigCodec, Pic>({
        {"16F877", "3d3a", onlyHs, "3D3A"},
        {"16F870", "3d3ah", onlyHs, "3D3A"},
        {"16F84A", "3FFA", onlyHs, "3FFA"},
        // Bits 13-4 are not all set.
        {"16F84A", "3d3a", {0, 0, 0, 0, 0, 0, 1, 1}, "000A"},
        {"16F84A", "---", {1, 0, 0, 0, 0, 0, 0, 2}, "3FFD"},
        {"16F877", "---", {1, 0, 1, 1, 0, 0, 0, 2}, "3F7D"},
        // Bit 12 alone protects a 16F870 or 16F871 entirely.
        {"16F870", "2FFF", {1, 0, 1, 1, 0, 0, 1, 0}, "0F4F"},
        {"16F871", "2FFF", {1, 0, 1, 1, 0, 0, 1, 0}, "0F4F"},
        {"16F877", "2FFF", {1, 0, 1, 1, 0, 0, 0, 0}, "3F7F"},
        {"16F873", "3FDF", {1, 0, 1, 1, 0, 0, 2, 0}, "1F5F"},
        {"16F876", "3FEF", {1, 0, 1, 1, 0, 0, 3, 0}, "2F6F"},
        {"16F874", "0644", {1, 1, 1, 1, 1, 1, 1, 3}, "0644"},
    });
}

TEST(PicConfigCodec, The16F84AKeepsTheOptionsItLacks) {
    Pic state{1, 0, 1, 0, 1, 0, 0, -1};
    PicConfigCodec("16F84A").Refresh("0000", state);
    EXPECT_EQ(state, (Pic{0, 1, 1, 0, 1, 0, 1, 3}));
}

TEST(PicConfigCodec, TheControlsMakeTheWord) {
    const Pic everythingXt{1, 1, 1, 1, 1, 1, 1, 2};
    ExpectChoices<PicConfigCodec, Pic>({
        {"16F877", everythingXt, "0645"},
        {"16F84A", everythingXt, "0005"},
        // RC without any box, with each protection.
        {"16F877", {0, 0, 0, 0, 0, 0, 0, 0}, "3D3B"},
        {"16F877", {0, 0, 0, 0, 0, 0, 1, 0}, "0D0B"},
        {"16F877", {0, 0, 0, 0, 0, 0, 2, 0}, "1D1B"},
        {"16F877", {0, 0, 0, 0, 0, 0, 3, 0}, "2D2B"},
        {"16F871", {0, 0, 0, 0, 0, 0, 1, 0}, "0D0B"},
        {"16F84A", {0, 0, 0, 0, 0, 0, 0, 0}, "3FFB"},
    });
}

// Whatever the controls can make reads back as itself, so opening a window on a word it
// wrote and clicking changes nothing.
TEST(ConfigCodecs, EveryWordTheControlsMakeReadsBackToItself) {
    for (const std::string device : {"SX28", "SX48"}) {
        const SxFuseCodec fuse(device);
        ForEveryState<Fuse>({{&Fuse::turbo, 2},
                             {&Fuse::syncInput, 2},
                             {&Fuse::internalRc, 2},
                             {&Fuse::rcDivider, 4},
                             {&Fuse::feedbackResistor, 2},
                             {&Fuse::crystalBuffer, 2},
                             {&Fuse::codeProtection, 2},
                             {&Fuse::watchdog, 2},
                             {&Fuse::oscillatorMode, 8}},
                            [&](Fuse state) {
                                const std::string word = fuse.Apply(state);
                                fuse.Refresh(word, state);
                                ASSERT_EQ(fuse.Apply(state), word) << device << " FUSE";
                            });
        const SxFuseXCodec fuseX(device);
        ForEveryState<FuseX>({{&FuseX::pins, 2},
                              {&FuseX::sleepClock, 2},
                              {&FuseX::optionX, 2},
                              {&FuseX::carryFlag, 2},
                              {&FuseX::brownOutLevel, 4},
                              {&FuseX::delayResetTimer, 4},
                              {&FuseX::brownOutTrim, 4},
                              {&FuseX::pagesBanks, 4}},
                             [&](FuseX state) {
                                 const std::string word = fuseX.Apply(state);
                                 fuseX.Refresh(word, state);
                                 ASSERT_EQ(fuseX.Apply(state), word) << device << " FUSEX";
                             });
    }
    for (const std::string device : {"16F84A", "16F870", "16F871", "16F872", "16F877"}) {
        const PicConfigCodec codec(device);
        // Disabled protection buttons cannot be chosen.
        const int protections = codec.Enabling().partialProtection ? 4 : 2;
        ForEveryState<Pic>({{&Pic::watchdog, 2},
                            {&Pic::powerUpTimer, 2},
                            {&Pic::brownOutReset, 2},
                            {&Pic::programMemWrite, 2},
                            {&Pic::inCircuitDebugger, 2},
                            {&Pic::eepromProtect, 2},
                            {&Pic::codeProtection, protections},
                            {&Pic::oscillatorMode, 4}},
                           [&](Pic state) {
                               const std::string word = codec.Apply(state);
                               codec.Refresh(word, state);
                               ASSERT_EQ(codec.Apply(state), word) << device;
                           });
    }
}

}  // namespace
}  // namespace vek::test
