#include "config/config_word.h"

#include "device/hex_text.h"

namespace vek {

int ConfigWordValue(std::string_view text) {
    while (!text.empty() && text.back() == 'h') {
        text.remove_suffix(1);
    }
    return HexToInt(text);
}

}  // namespace vek
