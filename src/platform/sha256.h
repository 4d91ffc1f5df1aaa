// SHA-256 through the system's cryptography: OpenSSL, on Windows its own.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace vek {

inline constexpr std::size_t SHA256_BYTES = 32;
using Sha256Digest = std::array<unsigned char, SHA256_BYTES>;

// Nothing when the cryptography fails.
std::optional<Sha256Digest> Sha256(std::string_view bytes);

}  // namespace vek
