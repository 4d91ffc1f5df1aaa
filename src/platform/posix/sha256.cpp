#include "platform/sha256.h"

#include <openssl/evp.h>

namespace vek {

std::optional<Sha256Digest> Sha256(std::string_view bytes) {
    Sha256Digest digest{};
    unsigned int length = 0;
    const int done =
        EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr);
    return done == 1 && length == digest.size() ? std::optional(digest) : std::nullopt;
}

}  // namespace vek
