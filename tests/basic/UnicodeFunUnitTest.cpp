#include "basic/UnicodeFunUnit.h"

#include <gtest/gtest.h>

namespace {

TEST(DetectTextEncoding, Marks) {
  const std::pair<std::string, std::pair<int, int>> cases[] = {
      {"", {teNone, 0}},
      {"\xFF", {teNone, 0}},
      {"ab", {teNone, 0}},
      {"\xEF\xBB\xBF" "a", {teUtf8, 3}},
      {"\xEF\xBB", {teNone, 0}},
      {"\xFF\xFE", {teUtf16LE, 2}},
      {"\xFF\xFE" "a", {teUtf16LE, 2}},
      {std::string("\xFF\xFE\0\0", 4), {teUtf32LE, 4}},
      {std::string("\xFF\xFE\0", 3), {teUtf16LE, 2}},
      {"\xFE\xFF", {teUtf16BE, 2}},
      {std::string("\0\0\xFE\xFF", 4), {teUtf32BE, 4}},
  };
  for (const auto& [bytes, want] : cases) {
    int mark = -1;
    EXPECT_EQ(DetectTextEncoding(bytes.data(), bytes.size(), mark), want.first) << bytes;
    EXPECT_EQ(mark, want.second) << bytes;
  }
}

TEST(ShortStringToWide, CodePages) {
  EXPECT_EQ(ShortStringToWide("\x80\xE4" "a"), u"\u20AC\u00E4a");
  EXPECT_EQ(ShortStringToWide("\x80", 28591), u"\u0080");
  EXPECT_EQ(ShortStringToWide("\xE2\x82\xAC\xF0\x9F\x98\x80", 65001), u"\u20AC\U0001F600");
  EXPECT_EQ(ShortStringToWide("\xC0\x80" "a\xE2", 65001), u"\uFFFD\uFFFDa\uFFFD");
}

TEST(HtmlEntities, Decoding) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"&#8364;", u"\u20AC"},
      {"a & b &#65", u"a & b &#65"},        // no closing ";": unchanged
      {"&#x41;&#X42;&#x20ac;", u"AB\u20AC"},
      {"&#65535;&#65536;&#99999999999999999999;", u"\uFFFF&#65536;&#99999999999999999999;"},
      {"&#;&#x;&;", u"&#;&#x;&;"},
      {"&&#38;#65;", u"&&#65;"},
      // Byte text is 1252, not Latin-1.
      {"\x80\x9F\xE4", u"\u20AC\u0178\u00E4"},
  };
  for (const auto& [text, want] : cases) {
    std::u16string out = u"stale";
    HtmlEntitiesToWide(text, out);
    EXPECT_EQ(out, want) << text;
  }
  std::u16string out;
  EXPECT_FALSE(HtmlEntitiesToWide("plain & simple", out));
  EXPECT_TRUE(HtmlEntitiesToWide("&#1;", out));
  EXPECT_TRUE(HtmlEntitiesToWide("\x1E" "abc", out));  // the marker counts as found
  EXPECT_EQ(out, u"abc");
  EXPECT_FALSE(HtmlEntitiesToWide("a\x1E", out));
  EXPECT_EQ(out, u"a\x1E");
}

TEST(HtmlEntities, RoundTrip) {
  const std::u16string text = u"Plan \u0141\u00F3d\u017A & Co. \u20AC\U0001F600\t~\x7F";
  std::string bytes;
  EXPECT_TRUE(WideToHtmlEntities(text, "&", bytes));
  for (unsigned char c : bytes) EXPECT_TRUE(c >= 32 && c <= 127) << bytes;
  std::u16string back;
  EXPECT_TRUE(HtmlEntitiesToWide(bytes, back));
  EXPECT_EQ(back, text);

  EXPECT_FALSE(WideToHtmlEntities(u"abc", "", bytes));
  EXPECT_EQ(bytes, "abc");
  EXPECT_TRUE(WideToHtmlEntities(u"a,b", ",", bytes));
  EXPECT_EQ(bytes, "a&#44;b");
}

TEST(BytesToWideText, MarksAndOddBytes) {
  std::u16string out;
  EXPECT_TRUE(BytesToWideText(std::string("\xFF\xFE" "a\0\xAC\x20" "b", 7), out));
  EXPECT_EQ(out, u"a\u20AC");
  EXPECT_TRUE(BytesToWideText(std::string("a\0b\0", 4), out));
  EXPECT_EQ(out, u"ab");
  EXPECT_TRUE(BytesToWideText("", out));
  EXPECT_EQ(out, u"");
  EXPECT_FALSE(BytesToWideText("\xEF\xBB\xBF" "ab", out));
  EXPECT_EQ(out, u"");
  EXPECT_FALSE(BytesToWideText(std::string("\xFE\xFF\0a", 4), out));
  EXPECT_EQ(out, u"");
}

}  // namespace

#include "support/TestSupport.h"

namespace {

TEST(ReadTextFileWide, MarksDecideTheEncoding) {
  TTempDir dir;
  const std::pair<std::string, std::pair<bool, std::u16string>> cases[] = {
      {std::string("\xFF\xFE" "a\0\xAC\x20\r\0\n\0", 10), {true, u"a\u20AC\r\n"}},
      {"\x80 \xE4\r\n", {true, u"\u20AC \u00E4\r\n"}},
      {"", {true, u""}},
      {"\xEF\xBB\xBF" "a", {false, u""}},
      {"\xFE\xFF\0a", {false, u""}},
  };
  int n = 0;
  for (const auto& [bytes, want] : cases) {
    const std::string file = dir.File("f" + std::to_string(++n));
    WriteAllBytes(file, bytes);
    std::u16string text = u"stale";
    EXPECT_EQ(ReadTextFileWide(file, text), want.first) << n;
    EXPECT_EQ(text, want.second) << n;
  }
  std::u16string text = u"stale";
  EXPECT_FALSE(ReadTextFileWide(dir.File("missing"), text));
  EXPECT_EQ(text, u"");
  EXPECT_FALSE(ReadTextFileWide(dir.Dir(), text));
}

}  // namespace
