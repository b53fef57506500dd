#include "data/SHA1Unit.h"

#include <algorithm>
#include <cstring>

namespace {

std::uint32_t Rotl(std::uint32_t x, unsigned r) { return (x << r) | (x >> (32u - r)); }

void ProcessBlock(std::uint32_t state[5], const std::uint8_t block[64]) {
  std::uint32_t w[80];
  for (int i = 0; i < 16; ++i)
    w[i] = (std::uint32_t{block[4 * i]} << 24) | (std::uint32_t{block[4 * i + 1]} << 16) |
           (std::uint32_t{block[4 * i + 2]} << 8) | std::uint32_t{block[4 * i + 3]};
  for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int i = 0; i < 80; ++i) {
    std::uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999u;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1u;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDCu;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6u;
    }
    const std::uint32_t t = Rotl(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = t;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void SHA1Init(TSHA1Context& context) {
  context.state[0] = 0x67452301u;
  context.state[1] = 0xEFCDAB89u;
  context.state[2] = 0x98BADCFEu;
  context.state[3] = 0x10325476u;
  context.state[4] = 0xC3D2E1F0u;
  context.totalBytes = 0;
  context.blockUsed = 0;
  std::memset(context.block, 0, sizeof context.block);
}

void SHA1Update(TSHA1Context& context, const void* data, std::size_t length) {
  if (data == nullptr || length == 0) return;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  context.totalBytes += length;
  while (length > 0) {
    if (context.blockUsed == 0 && length >= 64) {
      ProcessBlock(context.state, bytes);
      bytes += 64;
      length -= 64;
      continue;
    }
    const std::size_t take = std::min<std::size_t>(64 - context.blockUsed, length);
    std::memcpy(context.block + context.blockUsed, bytes, take);
    context.blockUsed += take;
    bytes += take;
    length -= take;
    if (context.blockUsed == 64) {
      ProcessBlock(context.state, context.block);
      context.blockUsed = 0;
    }
  }
}

void SHA1Final(TSHA1Context& context, TSHA1Digest& digest) {
  const std::uint64_t bitLength = context.totalBytes * 8;
  context.block[context.blockUsed++] = 0x80;
  if (context.blockUsed > 56) {
    std::memset(context.block + context.blockUsed, 0, 64 - context.blockUsed);
    ProcessBlock(context.state, context.block);
    context.blockUsed = 0;
  }
  std::memset(context.block + context.blockUsed, 0, 56 - context.blockUsed);
  for (int i = 0; i < 8; ++i)
    context.block[56 + i] = static_cast<std::uint8_t>(bitLength >> (56 - 8 * i));
  ProcessBlock(context.state, context.block);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j)
      digest[4 * i + j] = static_cast<std::uint8_t>(context.state[i] >> (24 - 8 * j));
  context.blockUsed = 0;
}

TSHA1Digest SHA1OfBytes(const void* data, std::size_t length) {
  TSHA1Context context;
  SHA1Init(context);
  SHA1Update(context, data, length);
  TSHA1Digest digest;
  SHA1Final(context, digest);
  return digest;
}

bool SHA1Equal(const TSHA1Digest* a, const TSHA1Digest* b) {
  return a != nullptr && b != nullptr && *a == *b;
}

std::string SHA1ToHex(const TSHA1Digest& digest) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(40);
  for (std::uint8_t b : digest) {
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  return hex;
}

bool HexToSHA1(const std::string& hex, TSHA1Digest& digest) {
  digest.fill(0);
  if (hex.size() != 40) return false;
  TSHA1Digest parsed;
  for (std::size_t i = 0; i < 20; ++i) {
    const int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    parsed[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  digest = parsed;
  return true;
}
