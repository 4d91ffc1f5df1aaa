// The three configuration words: what a window shows for a text, which word its controls
// make, and that every word the controls can make reads back to itself.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "config/pic_config.h"
#include "config/sx_fuse.h"
#include "config/sx_fusex.h"

namespace vek::test {
namespace {

constexpr const char* BY_HAND = nullptr;

// A window opened on `text` shows `state`, and a click that changes nothing writes `word`;
// controls set BY_HAND to `state` make `word`.
template <typename State>
struct Row {
    const char* device;
    const char* text;
    State state;
    const char* word;
};

template <typename Codec, typename State>
void ExpectRows(const std::vector<Row<State>>& rows) {
    for (const auto& [device, text, state, word] : rows) {
        const Codec codec(*DeviceNamed(device));
        if (text != BY_HAND) {
            State shown;
            codec.Refresh(text, shown);
            EXPECT_EQ(shown, state) << device << " " << text;
        }
        EXPECT_EQ(codec.Apply(state), word) << device << " " << (text ? text : word);
    }
}

// Every state whose members, in their order, each take every value below their count: the
// word it makes reads back to itself, so opening a window on a word it wrote and clicking
// changes nothing.
template <typename Codec, typename State, std::size_t N>
void ExpectEveryStateReadsBack(const std::string& device, const std::array<int, N>& counts) {
    const Codec codec(*DeviceNamed(device));
    for (std::array<int, N> values{};;) {
        State state = std::apply([](auto... value) { return State{value...}; }, values);
        const std::string word = codec.Apply(state);
        codec.Refresh(word, state);
        ASSERT_EQ(codec.Apply(state), word) << device;
        std::size_t next = 0;
        while (next < N && ++values[next] == counts[next]) {
            values[next++] = 0;
        }
        if (next == N) {
            return;
        }
    }
}

// turbo, syncInput, internalRc, rcDivider, feedbackResistor, crystalBuffer, codeProtection,
// watchdog, oscillatorMode
using Fuse = SxFuseState;
// pins, sleepClock, optionX, carryFlag, brownOutLevel, delayResetTimer, brownOutTrim,
// pagesBanks
using FuseX = SxFuseXState;
// watchdog, powerUpTimer, brownOutReset, programMemWrite, inCircuitDebugger, eepromProtect,
// codeProtection, oscillatorMode
using Pic = PicConfigState;

TEST(SxFuseCodec, ShowsTheWordAndMakesItForTheChip) {
    const Fuse fromDefault{0, 1, 1, 3, 0, 1, 1, 1, 5};
    const Fuse internalRc4MHz{0, 0, 0, 0, 0, 0, 0, 0, 0};
    const Fuse rcNetwork{0, 0, 1, 0, 0, 0, 0, 0, 7};
    const Fuse allSecond{1, 1, 0, 2, 1, 1, 1, 1, 0};
    ExpectRows<SxFuseCodec, Fuse>({
        // Bits 9, 8 and 4 are always set on the SX28, bit 11 never on the SX48.
        {"SX28", "4E9", fromDefault, "7F9"},
        {"SX48", "4E9", fromDefault, "7E9"},
        {"SX28", "4e9hh", fromDefault, "7F9"},
        {"SX28", "---", {1, 1, 1, 3, 0, 0, 1, 0, 5}, "FFD"},
        {"SX48", "---", {1, 1, 1, 3, 0, 0, 1, 0, 5}, "7FD"},
        // With the internal RC the list shows the line whose low bits are 11.
        {"SX28", "334", {0, 0, 0, 1, 1, 0, 0, 0, 7}, "337"},
        {"SX28", "7F3", {0, 1, 1, 3, 0, 0, 0, 1, 7}, "7F3"},
        {"SX28", BY_HAND, internalRc4MHz, "317"},
        {"SX48", BY_HAND, internalRc4MHz, "317"},
        {"SX28", BY_HAND, rcNetwork, "3F7"},
        {"SX48", BY_HAND, rcNetwork, "3F7"},
        {"SX28", BY_HAND, allSecond, "F5B"},
        {"SX48", BY_HAND, allSecond, "74B"},
    });
}

TEST(SxFuseXCodec, ShowsTheWordAndMakesItForTheChip) {
    const FuseX fromDefault{1, 1, 0, 1, 0, 2, 0, 0};
    const FuseX placeholder{1, 1, 1, 1, 3, 3, 3, 1};
    const FuseX zero{0, 0, 0, 0, 0, 2, 0, 0};
    ExpectRows<SxFuseXCodec, FuseX>({
        {"SX28", "440", fromDefault, "F40"},
        {"SX48", "440", fromDefault, "F40"},
        {"SX48", "440h", fromDefault, "F40"},
        {"SX28", "---", placeholder, "FFD"},
        {"SX48", "---", placeholder, "F7D"},
        // Bits 11, 9 and 8 are set whatever the word was.
        {"SX28", "0", zero, "B00"},
        {"SX48", "0", zero, "B00"},
        {"SX28", BY_HAND, {0, 0, 1, 0, 3, 0, 3, 3}, "BBF"},
        {"SX48", BY_HAND, {0, 0, 0, 0, 0, 0, 0, 0}, "B02"},
        {"SX48", BY_HAND, {0, 0, 0, 0, 0, 3, 0, 0}, "B01"},
        {"SX28", BY_HAND, {0, 0, 0, 0, 0, 3, 0, 0}, "B00"},
        {"SX48", BY_HAND, {0, 1, 1, 1, 3, 1, 3, 3}, "F7F"},
    });
}

TEST(PicConfigCodec, ShowsTheWordAndMakesItForTheChip) {
    const Pic onlyHs{0, 0, 0, 0, 0, 0, 0, 1};
    const Pic everythingXt{1, 1, 1, 1, 1, 1, 1, 2};
    ExpectRows<PicConfigCodec, Pic>({
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
        {"16F877", BY_HAND, everythingXt, "0645"},
        {"16F84A", BY_HAND, everythingXt, "0005"},
        // RC without any box, with each protection.
        {"16F877", BY_HAND, {0, 0, 0, 0, 0, 0, 0, 0}, "3D3B"},
        {"16F877", BY_HAND, {0, 0, 0, 0, 0, 0, 1, 0}, "0D0B"},
        {"16F877", BY_HAND, {0, 0, 0, 0, 0, 0, 2, 0}, "1D1B"},
        {"16F877", BY_HAND, {0, 0, 0, 0, 0, 0, 3, 0}, "2D2B"},
        {"16F871", BY_HAND, {0, 0, 0, 0, 0, 0, 1, 0}, "0D0B"},
        {"16F84A", BY_HAND, {0, 0, 0, 0, 0, 0, 0, 0}, "3FFB"},
    });
}

TEST(PicConfigCodec, The16F84AKeepsTheOptionsItLacks) {
    Pic state{1, 0, 1, 0, 1, 0, 0, -1};
    PicConfigCodec(*DeviceNamed("16F84A")).Refresh("0000", state);
    EXPECT_EQ(state, (Pic{0, 1, 1, 0, 1, 0, 1, 3}));
}

TEST(ConfigCodecs, EveryWordTheControlsMakeReadsBackToItself) {
    for (const char* device : {"SX28", "SX48"}) {
        ExpectEveryStateReadsBack<SxFuseCodec, Fuse, 9>(device, {2, 2, 2, 4, 2, 2, 2, 2, 8});
        ExpectEveryStateReadsBack<SxFuseXCodec, FuseX, 8>(device, {2, 2, 2, 2, 4, 4, 4, 4});
    }
    for (const char* device : {"16F84A", "16F870", "16F871", "16F872", "16F877"}) {
        // Disabled protection buttons cannot be chosen.
        const int protections =
            PicConfigCodec(*DeviceNamed(device)).Enabling().partialProtection ? 4 : 2;
        ExpectEveryStateReadsBack<PicConfigCodec, Pic, 8>(device,
                                                          {2, 2, 2, 2, 2, 2, protections, 4});
    }
}

}  // namespace
}  // namespace vek::test
