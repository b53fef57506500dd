#pragma once
// SHA-1 digests (FIPS 180-1). The signature records carry one to detect accidental damage
// (a truncated file, a flipped bit on the share); nothing more is asked of it here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using TSHA1Digest = std::array<std::uint8_t, 20>;

struct TSHA1Context {
  std::uint32_t state[5];
  std::uint64_t totalBytes;  // message length so far
  std::uint8_t block[64];    // bytes of the block being filled
  std::size_t blockUsed;
};

void SHA1Init(TSHA1Context& context);
void SHA1Update(TSHA1Context& context, const void* data, std::size_t length);
// Completes the digest; the context must be initialised again before further use.
void SHA1Final(TSHA1Context& context, TSHA1Digest& digest);

// The digest of a whole byte text in one call.
TSHA1Digest SHA1OfBytes(const void* data, std::size_t length);
inline TSHA1Digest SHA1OfBytes(const std::string& bytes) {
  return SHA1OfBytes(bytes.data(), bytes.size());
}

// False when either digest is missing (null).
bool SHA1Equal(const TSHA1Digest* a, const TSHA1Digest* b);
// 40 lower-case hex digits.
std::string SHA1ToHex(const TSHA1Digest& digest);
// Exactly 40 hex digits (either case); otherwise false and an all-zero digest.
bool HexToSHA1(const std::string& hex, TSHA1Digest& digest);
