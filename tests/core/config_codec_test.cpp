// The three configuration words: what a window shows for a text, which word its controls
// make, and that every word the controls can make reads back to itself.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "config/pic_config.h"
#include "config/sx_fuse.h"
#include "config/sx_fusex.h"

namespace vek::test {
namespace {

// Calls visit with every combination of the given members' values, each from 0 to its count
// less one; the other members keep their values in `state`.
template <typename State, typename Visit>
void ForEveryState(State state, const std::vector<std::pair<int State::*, int>>& members,
                   Visit visit, std::size_t next = 0) {
    if (next == members.size()) {
        visit(state);
        return;
    }
    const auto [member, count] = members[next];
    for (int value = 0; value < count; ++value) {
        state.*member = value;
        ForEveryState(state, members, visit, next + 1);
    }
}

// A window opens on a text and the person clicks without changing anything.
struct Opening {
    std::string device;
    std::string text;
    std::string written;
};

// The controls set by hand, and the word they make.
template <typename State>
struct Choice {
    std::string device;
    State state;
    std::string word;
};

TEST(SxFuseCodec, OpeningShowsTheWordsBits) {
    const SxFuseCodec codec("SX28");
    const SxFuseState fromDefault{.turbo = 0,
                                  .syncInput = 1,
                                  .internalRc = 1,
                                  .rcDivider = 3,
                                  .feedbackResistor = 0,
                                  .crystalBuffer = 1,
                                  .codeProtection = 1,
                                  .watchdog = 1,
                                  .oscillatorMode = 5};
    const SxFuseState fromPlaceholder{.turbo = 1,
                                      .syncInput = 1,
                                      .internalRc = 1,
                                      .rcDivider = 3,
                                      .feedbackResistor = 0,
                                      .crystalBuffer = 0,
                                      .codeProtection = 1,
                                      .watchdog = 0,
                                      .oscillatorMode = 5};
    // With the internal RC the list shows the line whose low bits are 11.
    const SxFuseState internalRc{.turbo = 0,
                                 .syncInput = 0,
                                 .internalRc = 0,
                                 .rcDivider = 1,
                                 .feedbackResistor = 1,
                                 .crystalBuffer = 0,
                                 .codeProtection = 0,
                                 .watchdog = 0,
                                 .oscillatorMode = 7};
    const std::vector<std::pair<std::string, SxFuseState>> cases = {
        {"4E9", fromDefault},     {"4E9h", fromDefault}, {"4e9hh", fromDefault},
        {"---", fromPlaceholder}, {"334", internalRc},
    };
    for (const auto& [text, expected] : cases) {
        SxFuseState state;
        codec.Refresh(text, state);
        EXPECT_EQ(state, expected) << text;
    }
}

TEST(SxFuseCodec, AClickWritesTheWholeWordOfTheChip) {
    const std::vector<Opening> cases = {
        // Bits 9, 8 and 4 are always set on the SX28, bit 11 never on the SX48.
        {"SX28", "4E9", "7F9"},
        {"SX48", "4E9", "7E9"},
        {"SX28", "4E9h", "7F9"},
        {"SX28", "---", "FFD"},
        {"SX48", "---", "7FD"},
        {"SX28", "7F3", "7F3"},
        // Any other name gets the SX48 layout.
        {"SX52", "4E9", "7E9"},
    };
    for (const auto& [device, text, written] : cases) {
        const SxFuseCodec codec(device);
        SxFuseState state;
        codec.Refresh(text, state);
        EXPECT_EQ(codec.Apply(state), written) << device << " " << text;
    }
}

TEST(SxFuseCodec, TheControlsMakeTheWord) {
    const SxFuseState internalRc4MHz{.turbo = 0,
                                     .syncInput = 0,
                                     .internalRc = 0,
                                     .rcDivider = 0,
                                     .feedbackResistor = 0,
                                     .crystalBuffer = 0,
                                     .codeProtection = 0,
                                     .watchdog = 0,
                                     .oscillatorMode = 0};
    SxFuseState rcNetwork = internalRc4MHz;
    rcNetwork.internalRc = 1;
    rcNetwork.oscillatorMode = 7;
    SxFuseState allDisabled{.turbo = 1,
                            .syncInput = 1,
                            .internalRc = 0,
                            .rcDivider = 2,
                            .feedbackResistor = 1,
                            .crystalBuffer = 1,
                            .codeProtection = 1,
                            .watchdog = 1,
                            .oscillatorMode = 0};
    const std::vector<Choice<SxFuseState>> cases = {
        {"SX28", internalRc4MHz, "317"}, {"SX48", internalRc4MHz, "317"},
        {"SX28", rcNetwork, "3F7"},      {"SX48", rcNetwork, "3F7"},
        {"SX28", allDisabled, "F5B"},    {"SX48", allDisabled, "74B"},
    };
    for (const auto& [device, state, word] : cases) {
        EXPECT_EQ(SxFuseCodec(device).Apply(state), word) << device << " " << word;
    }
}

TEST(SxFuseCodec, EnablingFollowsTheChipAndTheOscillator) {
    SxFuseState internal;
    internal.internalRc = 0;
    SxFuseState external;
    external.internalRc = 1;
    const std::vector<std::tuple<std::string, SxFuseState, SxFuseEnabling>> cases = {
        {"SX28", internal, {.turbo = true, .rcDivider = true}},
        {"SX28", external, {.turbo = true, .externalOscillator = true}},
        {"SX48", internal, {.crystalBuffer = true, .rcDivider = true}},
        {"SX48", external, {.crystalBuffer = true, .externalOscillator = true}},
    };
    for (const auto& [device, state, enabling] : cases) {
        EXPECT_EQ(SxFuseCodec(device).Enabling(state), enabling) << device;
    }
}

TEST(SxFuseXCodec, OpeningOnTheDefaultShowsItsBits) {
    SxFuseXState state;
    SxFuseXCodec("SX28").Refresh("440", state);
    EXPECT_EQ(state, (SxFuseXState{.pins = 1,
                                   .sleepClock = 1,
                                   .optionX = 0,
                                   .carryFlag = 1,
                                   .brownOutLevel = 0,
                                   .delayResetTimer = 2,
                                   .brownOutTrim = 0,
                                   .pagesBanks = 0}));
}

TEST(SxFuseXCodec, AClickWritesTheWholeWordOfTheChip) {
    const std::vector<Opening> cases = {
        {"SX28", "440", "F40"},
        {"SX48", "440", "F40"},
        {"SX28", "---", "FFD"},
        {"SX48", "---", "F7D"},
        {"SX28", "440h", "F40"},
        // Bits 11, 9 and 8 are set whatever the word was.
        {"SX28", "0", "B00"},
        {"SX48", "0", "B00"},
    };
    for (const auto& [device, text, written] : cases) {
        const SxFuseXCodec codec(device);
        SxFuseXState state;
        codec.Refresh(text, state);
        EXPECT_EQ(codec.Apply(state), written) << device << " " << text;
    }
}

TEST(SxFuseXCodec, TheControlsMakeTheWord) {
    const SxFuseXState first{.pins = 0,
                             .sleepClock = 0,
                             .optionX = 0,
                             .carryFlag = 0,
                             .brownOutLevel = 0,
                             .delayResetTimer = 0,
                             .brownOutTrim = 0,
                             .pagesBanks = 0};
    SxFuseXState largest = first;
    largest.pagesBanks = 3;
    largest.optionX = 1;
    largest.brownOutTrim = 3;
    largest.brownOutLevel = 3;
    SxFuseXState oneSecond = first;
    oneSecond.delayResetTimer = 3;
    SxFuseXState sx48Disabled = largest;
    sx48Disabled.sleepClock = 1;
    sx48Disabled.carryFlag = 1;
    sx48Disabled.delayResetTimer = 1;
    const std::vector<Choice<SxFuseXState>> cases = {
        {"SX28", largest, "BBF"},   {"SX48", first, "B02"},        {"SX48", oneSecond, "B01"},
        {"SX28", oneSecond, "B00"}, {"SX48", sx48Disabled, "F7F"},
    };
    for (const auto& [device, state, word] : cases) {
        EXPECT_EQ(SxFuseXCodec(device).Apply(state), word) << device << " " << word;
    }
}

TEST(SxFuseXCodec, EachChipHasItsOwnControls) {
    const SxFuseXCodec sx28("SX28");
    const SxFuseXCodec sx48("SX48");
    EXPECT_EQ(sx28.Enabling(),
              (SxFuseXEnabling{.pins = true, .optionX = true, .pagesBanks = true}));
    EXPECT_EQ(sx48.Enabling(), (SxFuseXEnabling{.sleepClock = true, .delayResetTimer = true}));
    EXPECT_EQ(
        std::vector<std::string>(sx28.BrownOutCaptions().begin(), sx28.BrownOutCaptions().end()),
        (std::vector<std::string>{"4.2V (00)", "2.2V (10)", "2.6V (01)", "BOR Disabled"}));
    EXPECT_EQ(
        std::vector<std::string>(sx48.BrownOutCaptions().begin(), sx48.BrownOutCaptions().end()),
        (std::vector<std::string>{"4.1V (00)", "2.2V (10)", "2.4V (01)", "BOR Disabled"}));
    EXPECT_EQ(sx28.PagesBanksLines().size(), 4u);
    EXPECT_TRUE(sx48.PagesBanksLines().empty());
}

TEST(PicConfigCodec, OpeningShowsTheWordsBitsForTheChip) {
    PicConfigState onlyHs;
    onlyHs.watchdog = 0;
    onlyHs.oscillatorMode = 1;
    PicConfigState allProtected = onlyHs;
    allProtected.codeProtection = 1;
    PicConfigState placeholder{.watchdog = 1,
                               .brownOutReset = 1,
                               .programMemWrite = 1,
                               .codeProtection = 0,
                               .oscillatorMode = 2};
    PicConfigState everything{.watchdog = 1,
                              .powerUpTimer = 1,
                              .brownOutReset = 1,
                              .programMemWrite = 1,
                              .inCircuitDebugger = 1,
                              .eepromProtect = 1,
                              .codeProtection = 1,
                              .oscillatorMode = 3};
    // RC, watchdog, brown-out reset and program memory writes, with one protection.
    const auto rcProtected = [](int protection) {
        return PicConfigState{.watchdog = 1,
                              .brownOutReset = 1,
                              .programMemWrite = 1,
                              .codeProtection = protection,
                              .oscillatorMode = 0};
    };
    const std::vector<std::tuple<std::string, std::string, PicConfigState>> cases = {
        {"16F877", "3d3a", onlyHs},
        {"16F84A", "3d3a", allProtected},  // bits 13-4 are not all set
        {"16F84A", "3FFA", onlyHs},
        {"16F877", "---", placeholder},
        // Bit 12 alone protects a 16F870 or 16F871 entirely.
        {"16F870", "2FFF", rcProtected(1)},
        {"16F871", "2FFF", rcProtected(1)},
        {"16F877", "2FFF", rcProtected(0)},
        {"16F873", "3FDF", rcProtected(2)},
        {"16F876", "3FEF", rcProtected(3)},
        {"16F874", "0644", everything},
    };
    for (const auto& [device, text, expected] : cases) {
        PicConfigState state;
        PicConfigCodec(device).Refresh(text, state);
        EXPECT_EQ(state, expected) << device << " " << text;
    }
}

TEST(PicConfigCodec, The16F84AKeepsTheOptionsItLacks) {
    PicConfigState state{.brownOutReset = 1, .inCircuitDebugger = 1};
    PicConfigCodec("16F84A").Refresh("0000", state);
    EXPECT_EQ(state, (PicConfigState{.watchdog = 0,
                                     .powerUpTimer = 1,
                                     .brownOutReset = 1,
                                     .inCircuitDebugger = 1,
                                     .codeProtection = 1,
                                     .oscillatorMode = 3}));
}

TEST(PicConfigCodec, AClickWritesTheWholeWordOfTheChip) {
    const std::vector<Opening> cases = {
        {"16F877", "3d3a", "3D3A"}, {"16F84A", "3d3a", "000A"}, {"16F870", "3d3ah", "3D3A"},
        {"16F84A", "---", "3FFD"},  {"16F877", "---", "3F7D"},  {"16F870", "2FFF", "0F4F"},
    };
    for (const auto& [device, text, written] : cases) {
        const PicConfigCodec codec(device);
        PicConfigState state;
        codec.Refresh(text, state);
        EXPECT_EQ(codec.Apply(state), written) << device << " " << text;
    }
}

TEST(PicConfigCodec, TheControlsMakeTheWord) {
    const PicConfigState everything{.watchdog = 1,
                                    .powerUpTimer = 1,
                                    .brownOutReset = 1,
                                    .programMemWrite = 1,
                                    .inCircuitDebugger = 1,
                                    .eepromProtect = 1,
                                    .codeProtection = 1,
                                    .oscillatorMode = 2};
    const auto rcWithoutBoxes = [](int protection) {
        return PicConfigState{.watchdog = 0, .codeProtection = protection, .oscillatorMode = 0};
    };
    const std::vector<Choice<PicConfigState>> cases = {
        {"16F877", everything, "0645"},        {"16F84A", everything, "0005"},
        {"16F877", rcWithoutBoxes(0), "3D3B"}, {"16F877", rcWithoutBoxes(1), "0D0B"},
        {"16F877", rcWithoutBoxes(2), "1D1B"}, {"16F877", rcWithoutBoxes(3), "2D2B"},
        {"16F84A", rcWithoutBoxes(0), "3FFB"}, {"16F871", rcWithoutBoxes(1), "0D0B"},
    };
    for (const auto& [device, state, word] : cases) {
        EXPECT_EQ(PicConfigCodec(device).Apply(state), word) << device << " " << word;
    }
}

TEST(PicConfigCodec, TheSmallerChipsLackSomeControls) {
    const std::vector<std::pair<std::string, PicConfigEnabling>> cases = {
        {"16F84A", {.extendedOptions = false, .partialProtection = false}},
        {"16F870", {.extendedOptions = true, .partialProtection = false}},
        {"16F871", {.extendedOptions = true, .partialProtection = false}},
        {"16F872", {.extendedOptions = true, .partialProtection = true}},
        {"16F877", {.extendedOptions = true, .partialProtection = true}},
    };
    for (const auto& [device, enabling] : cases) {
        EXPECT_EQ(PicConfigCodec(device).Enabling(), enabling) << device;
    }
}

// Whatever the controls can make reads back as itself, so opening a window on a word it
// wrote and clicking changes nothing.
TEST(ConfigCodecs, EveryWordTheControlsMakeReadsBackToItself) {
    for (const std::string device : {"SX28", "SX48"}) {
        const SxFuseCodec fuse(device);
        ForEveryState<SxFuseState>({},
                                   {{&SxFuseState::turbo, 2},
                                    {&SxFuseState::syncInput, 2},
                                    {&SxFuseState::internalRc, 2},
                                    {&SxFuseState::rcDivider, 4},
                                    {&SxFuseState::feedbackResistor, 2},
                                    {&SxFuseState::crystalBuffer, 2},
                                    {&SxFuseState::codeProtection, 2},
                                    {&SxFuseState::watchdog, 2},
                                    {&SxFuseState::oscillatorMode, 8}},
                                   [&](SxFuseState state) {
                                       const std::string word = fuse.Apply(state);
                                       fuse.Refresh(word, state);
                                       ASSERT_EQ(fuse.Apply(state), word) << device << " FUSE";
                                   });

        const SxFuseXCodec fuseX(device);
        ForEveryState<SxFuseXState>({},
                                    {{&SxFuseXState::pins, 2},
                                     {&SxFuseXState::sleepClock, 2},
                                     {&SxFuseXState::optionX, 2},
                                     {&SxFuseXState::carryFlag, 2},
                                     {&SxFuseXState::brownOutLevel, 4},
                                     {&SxFuseXState::delayResetTimer, 4},
                                     {&SxFuseXState::brownOutTrim, 4},
                                     {&SxFuseXState::pagesBanks, 4}},
                                    [&](SxFuseXState state) {
                                        const std::string word = fuseX.Apply(state);
                                        fuseX.Refresh(word, state);
                                        ASSERT_EQ(fuseX.Apply(state), word) << device << " FUSEX";
                                    });
    }
    // The disabled protection buttons cannot be chosen, so they are left out.
    for (const std::string device : {"16F84A", "16F870", "16F871", "16F872", "16F877"}) {
        const PicConfigCodec codec(device);
        const int protections = codec.Enabling().partialProtection ? 4 : 2;
        ForEveryState<PicConfigState>({},
                                      {{&PicConfigState::watchdog, 2},
                                       {&PicConfigState::powerUpTimer, 2},
                                       {&PicConfigState::brownOutReset, 2},
                                       {&PicConfigState::programMemWrite, 2},
                                       {&PicConfigState::inCircuitDebugger, 2},
                                       {&PicConfigState::eepromProtect, 2},
                                       {&PicConfigState::codeProtection, protections},
                                       {&PicConfigState::oscillatorMode, 4}},
                                      [&](PicConfigState state) {
                                          const std::string word = codec.Apply(state);
                                          codec.Refresh(word, state);
                                          ASSERT_EQ(codec.Apply(state), word) << device;
                                      });
    }
}

}  // namespace
}  // namespace vek::test
