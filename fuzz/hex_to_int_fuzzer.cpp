// HexToInt on any text: hexadecimal digits give their value, other lengths than one to four
// characters give 0, and nothing else may happen whatever the characters.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/hex_text.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vek;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int value = HexToInt(text);
    if (size == 0 || size > 4) {
        fuzz::Require(value == 0, "other lengths give 0");
        return 0;
    }
    if (text.find_first_not_of("0123456789ABCDEFabcdef") == std::string_view::npos) {
        const long expected = std::stol(std::string(text), nullptr, 16);
        fuzz::Require(value == expected, "hexadecimal digits give their value");
    }
    return 0;
}
