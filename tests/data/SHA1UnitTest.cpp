#include "data/SHA1Unit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

TEST(SHA1Unit, KnownDigests) {
  struct TCase {
    std::string message;
    const char* digest;
  } cases[] = {
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      // 56 bytes: the length no longer fits the first block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message.size());
    EXPECT_EQ(SHA1ToHex(SHA1OfBytes(c.message)), c.digest);

    // Fed in uneven pieces, across block boundaries.
    TSHA1Context context;
    SHA1Init(context);
    std::size_t at = 0, piece = 1;
    while (at < c.message.size()) {
      const std::size_t n = std::min(piece, c.message.size() - at);
      SHA1Update(context, c.message.data() + at, n);
      at += n;
      piece = piece * 3 % 1000 + 1;
    }
    SHA1Update(context, nullptr, 0);
    TSHA1Digest digest;
    SHA1Final(context, digest);
    EXPECT_EQ(SHA1ToHex(digest), c.digest);
  }
}

TEST(SHA1Unit, PaddingBoundariesAgreeWithPieceByPieceFeeding) {
  // Lengths around the 55/56/64-byte edges of the last block, whole versus byte by byte.
  for (std::size_t len : {54u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u}) {
    const std::string message(len, static_cast<char>(0xA5));
    TSHA1Context context;
    SHA1Init(context);
    for (char ch : message) SHA1Update(context, &ch, 1);
    TSHA1Digest digest;
    SHA1Final(context, digest);
    EXPECT_EQ(digest, SHA1OfBytes(message)) << len;
  }
  EXPECT_NE(SHA1OfBytes(std::string(55, 'x')), SHA1OfBytes(std::string(56, 'x')));
}

TEST(SHA1Unit, HexRoundTripAndLengthRule) {
  const TSHA1Digest digest = SHA1OfBytes(std::string("abc"));
  const std::string hex = SHA1ToHex(digest);
  ASSERT_EQ(hex.size(), 40u);
  TSHA1Digest back;
  ASSERT_TRUE(HexToSHA1(hex, back));
  EXPECT_EQ(back, digest);

  std::string upper = hex;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  ASSERT_TRUE(HexToSHA1(upper, back));
  EXPECT_EQ(back, digest);

  const TSHA1Digest zero{};
  for (const std::string& bad : {hex.substr(0, 39), hex + "0", std::string(),
                                 hex.substr(0, 39) + "g", " " + hex.substr(1),
                                 hex.substr(0, 20) + std::string(1, '\0') + hex.substr(21)}) {
    back = digest;
    EXPECT_FALSE(HexToSHA1(bad, back)) << bad;
    EXPECT_EQ(back, zero);
  }
}

TEST(SHA1Unit, EqualNeedsTwoDigests) {
  const TSHA1Digest a = SHA1OfBytes(std::string("a"));
  const TSHA1Digest a2 = SHA1OfBytes(std::string("a"));
  const TSHA1Digest b = SHA1OfBytes(std::string("b"));
  EXPECT_TRUE(SHA1Equal(&a, &a2));
  EXPECT_FALSE(SHA1Equal(&a, &b));
  EXPECT_FALSE(SHA1Equal(&a, nullptr));
  EXPECT_FALSE(SHA1Equal(nullptr, &a));
  EXPECT_FALSE(SHA1Equal(nullptr, nullptr));
}
