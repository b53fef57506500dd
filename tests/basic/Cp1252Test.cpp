#include "basic/Cp1252.h"

#include <gtest/gtest.h>

TEST(Cp1252, EveryByteSurvivesTheRoundTripThroughUtf8AndUtf16) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(all)), all);
}

TEST(Cp1252, HighBlockIsNotLatin1) {
  EXPECT_EQ(Cp1252ToUnicode(0x80), U'\u20AC');  // euro sign
  EXPECT_EQ(Cp1252ToUnicode(0x8A), U'\u0160');  // Š
  EXPECT_EQ(Cp1252ToUnicode(0xE4), U'\u00E4');  // ä
  EXPECT_EQ(UnicodeToCp1252(U'\u20AC'), 0x80);
  EXPECT_EQ(UnicodeToCp1252(U'\u03A9'), -1);  // Greek capital omega
  EXPECT_EQ(Utf8ToCp1252("\xCE\xA9x"), "?x");
  EXPECT_EQ(Utf8ToCp1252("\xE2\x82"), "??");  // truncated sequence
}

TEST(Cp1252, MalformedUtf8NeverBecomesAnotherCharacter) {
  // One replacement per byte that does not start a well-formed sequence.
  struct Case { const char* in; const char* out; };
  const Case cases[] = {
      {"\xC0\xAF", "??"},              // overlong "/"
      {"a\xE0\x80\xAF" "b", "a???b"},  // overlong "/" in three bytes
      {"\xC1\x9C", "??"},              // overlong "\\"
      {"\xED\xA0\x80", "???"},        // surrogate half
      {"\xF4\x90\x80\x80", "????"},   // beyond U+10FFFF
      {"\xF8\x88\x80\x80\x80", "?????"},
      {"\xC3", "?"},                   // cut short
      {"\xC3\xA4\xC3", "\xE4?"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1252(c.in), c.out) << c.in;
}

TEST(Cp1252, UpperAndLowerCase) {
  struct Case { const char* in; const char* up; };
  const Case cases[] = {
      {"abc xyz", "ABC XYZ"},
      {"\xE4\xF6\xFC", "\xC4\xD6\xDC"},  // äöü
      {"\x9A\x9C\x9E\xFF", "\x8A\x8C\x8E\x9F"},  // š œ ž ÿ
      {"\xDF\xB5\xF7", "\xDF\xB5\xF7"},  // ß µ ÷ stay
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AnsiUpperCase(c.in), c.up) << c.in;
  }
  EXPECT_EQ(AnsiLowerCase("\xC4\x8A\x9F" "AB"), "\xE4\x9A\xFF" "ab");
  EXPECT_EQ(AnsiLowerCase("\xD7"), "\xD7");  // multiplication sign has no case
}

TEST(Cp1252, Comparisons) {
  EXPECT_EQ(AnsiCompareText("m\xFC" "ller", "M\xDC" "LLER"), 0);
  EXPECT_LT(AnsiCompareText("abc", "ABCD"), 0);
  EXPECT_GT(AnsiCompareText("b", "A"), 0);
  EXPECT_LT(AnsiCompareStr("A", "a"), 0);
  EXPECT_GT(AnsiCompareStr("\x80", "z"), 0);  // bytes compare unsigned
  EXPECT_TRUE(AnsiSameText("Stra\xDF" "e", "STRA\xDF" "E"));
}
