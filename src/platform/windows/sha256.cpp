#include "platform/sha256.h"

#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

namespace vek {

std::optional<Sha256Digest> Sha256(std::string_view bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
        return std::nullopt;
    }
    Sha256Digest digest{};
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool done = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    done = done &&
           BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                          static_cast<ULONG>(bytes.size()), 0) == 0 &&
           BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0) == 0;
    if (hash != nullptr) {
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return done ? std::optional(digest) : std::nullopt;
}

}  // namespace vek
