#include "data/UserRights.h"

#include <gtest/gtest.h>

#include "basic/ValueString.h"

namespace {

TRightLevels Levels(std::initializer_list<int> values) {
  TRightLevels levels{};
  size_t i = 0;
  for (int v : values) levels[i++] = static_cast<uint8_t>(v);
  return levels;
}

TEST(DecodeUserRights, Cases) {
  const std::string all13("\x02\x03\x01\x00\x02\x02\x03\x01\x00\x02\x02\x01\x03", 13);
  struct {
    const char* what;
    std::string text;
    TRightLevels expected;
  } cases[] = {
      {"valid", EncodeNumberedStr(17, all13, false),
       Levels({2, 3, 1, 0, 2, 2, 3, 1, 0, 2, 2, 1, 3})},
      {"code 7 at position 3", EncodeNumberedStr(5, std::string("\x02\x02\x07\x02", 4), false),
       Levels({2, 2, 0, 2})},
      {"codes above 3 and printable digits",
       EncodeNumberedStr(5, std::string("\x04\xFF" "2\x03", 4), false), Levels({0, 0, 0, 3})},
      {"short payload", EncodeNumberedStr(9, std::string("\x02\x02", 2), false),
       Levels({2, 2})},
      {"long payload", EncodeNumberedStr(9, all13 + std::string(20, '\x02'), false),
       Levels({2, 3, 1, 0, 2, 2, 3, 1, 0, 2, 2, 1, 3})},
      {"empty", "", Levels({})},
      {"short text", "0123456", Levels({})},
      {"rotated form is not read", EncodeNumberedStr(17, all13, true), Levels({})},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeUserRights(c.text), c.expected) << c.what;

  std::string bad = EncodeNumberedStr(17, all13, false);
  bad.back() = bad.back() == '0' ? '1' : '0';
  EXPECT_EQ(DecodeUserRights(bad), Levels({})) << "bad checksum";
}

TEST(DecodeUserRights, EncodeRoundTrip) {
  TRightLevels levels = Levels({3, 2, 1, 0, 3, 2, 1, 0, 3, 2, 1, 0, 2});
  EXPECT_EQ(DecodeUserRights(EncodeUserRights(44, levels)), levels);
}

TEST(RightTables, LabelsAndMessages) {
  EXPECT_EQ(RightLabel(0), "Personen");
  EXPECT_EQ(RightLabel(3), "Geb\xE4ude / Schlie\xDF" "anlagen");
  EXPECT_EQ(RightLabel(11), "Listen drucken/exportieren");
  EXPECT_EQ(RightLabel(12), "");
  EXPECT_EQ(RightLabel(13), "");
  EXPECT_EQ(RightLabel(-1), "");
  const int texts[kRightCount] = {42, 42, 42, 42, 42, 65, 65, 65, 65, 42, 42, 66, 0};
  for (int r = 0; r < kRightCount; ++r) EXPECT_EQ(RightDenialText(r), texts[r]) << r;
}

TEST(Session, StartsWithEveryLevelOne) {
  Session().RightLevels[3] = 2;
  Session().LoggedIn = true;
  ResetSession();
  for (uint8_t level : Session().RightLevels) EXPECT_EQ(level, rlNo);
  EXPECT_FALSE(Session().LoggedIn);
  EXPECT_FALSE(Session().ReadOnlyMode);
}

}  // namespace
