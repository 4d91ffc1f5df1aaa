// SHA-256 through the system's cryptography: OpenSSL, on Windows its own.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vek {

inline constexpr std::size_t SHA256_BYTES = 32;
using Sha256Digest = std::array<unsigned char, SHA256_BYTES>;

// Nothing when the cryptography fails.
std::optional<Sha256Digest> Sha256(std::string_view bytes);

// The digest as 64 lower-case hexadecimal digits, the form a file is pinned by.
inline std::string Sha256Text(const Sha256Digest& digest) {
    constexpr char DIGITS[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : digest) {
        text += DIGITS[byte >> 4];
        text += DIGITS[byte & 0xF];
    }
    return text;
}

}  // namespace vek
