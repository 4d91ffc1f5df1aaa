#include "session/window_state.h"

#include <algorithm>
#include <cctype>

#include "device/hex_text.h"

namespace vek {

namespace {

std::optional<int> WordInField(const std::string& text) {
    const bool isWord =
        !text.empty() && text.size() <= 4 && std::all_of(text.begin(), text.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) != 0;
        });
    return isWord ? std::optional<int>(HexToInt(text)) : std::nullopt;
}

}  // namespace

GivenWords WordsInFields(const FieldTexts& fields) {
    return {WordInField(fields.FuseText), WordInField(fields.FuseXText)};
}

void ShowFileWords(WindowState& state, FieldTexts& fields, const DeviceInfo& target,
                   const GivenWords& words) {
    if (words.fuse) {
        fields.FuseText = state.CurrentFuseText = WordText(target, *words.fuse);
    }
    if (words.fuseX) {
        fields.FuseXText = state.CurrentFuseXText = WordText(target, *words.fuseX);
    }
}

void ShowReadWords(WindowState& state, FieldTexts& fields, const ReadContents& read) {
    fields.FuseText = state.CurrentFuseText = WordText(read.target, read.words.fuse);
    if (read.target.family == TargetFamily::PIC16) {
        fields.FuseXText = "---";
        return;
    }
    fields.FuseXText = state.CurrentFuseXText = WordText(read.target, read.words.fuseX);
}

}  // namespace vek
