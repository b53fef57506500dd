#include "basic/WideSLUnit.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

using W = std::vector<std::u16string>;

W Lines(const TWStringList& l) {
  W v;
  for (int i = 0; i < l.Count(); ++i) v.push_back(l.GetWide(i));
  return v;
}

TEST(SplitWideLines, LineEnds) {
  const std::pair<std::u16string, W> cases[] = {
      {u"", {}},
      {u"a", {u"a"}},
      {u"a\r\n", {u"a"}},
      {u"a\r\n\r\nb\r\n", {u"a", u"", u"b"}},
      {u"a\n\rb", {u"a", u"b"}},  // LF CR is one end too
      {u"a\r\rb", {u"a", u"", u"b"}},
      {u"a\n\nb\n", {u"a", u"", u"b"}},
      {u"\r\n", {u""}},
      {u"a\r\n\n\r\r", {u"a", u"", u""}},
      {u"\u20AC\u2028x\x85y", {u"\u20AC\u2028x\x85y"}},  // only CR and LF end lines
  };
  W lines{u"stale"};
  for (const auto& [text, want] : cases) {
    SplitWideLines(text, lines);
    EXPECT_EQ(lines, want);
  }
}

TEST(TWStringList, WideTextRoundTrip) {
  TWStringList l;
  EXPECT_EQ(l.GetWideText(true), u"");
  l.SetWideText(u"\uFEFFeins\r\n\r\n\u0414\u0432\u0430\r\n");
  EXPECT_EQ(Lines(l), (W{u"eins", u"", u"\u0414\u0432\u0430"}));
  EXPECT_EQ(l.GetWideText(false), u"eins\r\n\r\n\u0414\u0432\u0430\r\n");
  const std::u16string marked = l.GetWideText(true);
  EXPECT_EQ(marked, u"\uFEFFeins\r\n\r\n\u0414\u0432\u0430\r\n");
  TWStringList back;
  back.SetWideText(marked);
  EXPECT_EQ(Lines(back), Lines(l));
}

TEST(TWStringList, ByteStringAccess) {
  TWStringList l;
  l.Add(std::string("\x80 \xE4"));
  l.Add(u"\u0141\u00F6");
  l.Insert(0, std::string("first"));
  EXPECT_EQ(l.GetWide(1), u"\u20AC \u00E4");
  EXPECT_EQ(l.Get(1), "\x80 \xE4");
  EXPECT_EQ(l.Get(2), "?\xF6");  // 1252 has no L with stroke
  EXPECT_EQ(l.Get(3), "");
  EXPECT_EQ(l.GetWide(-1), u"");
  EXPECT_EQ(l.GetText(), "first\r\n\x80 \xE4\r\n?\xF6\r\n");
  l.SetText("a\r\n\x80\nb");
  EXPECT_EQ(Lines(l), (W{u"a", u"\u20AC", u"b"}));
  l.Put(5, u"x");
  l.Delete(-1);
  l.Move(0, 9);
  l.Move(0, 2);
  EXPECT_EQ(Lines(l), (W{u"\u20AC", u"b", u"a"}));
}

TEST(TWStringList, SortedCaseInsensitiveBeyond1252) {
  TWStringList l;
  l.SetSorted(true);
  for (const char16_t* s : {u"\u0431", u"\u0410", u"\u0411", u"\u0430", u"\u00FF", u"\u0178",
                            u"\u0142", u"\u0141"})
    l.Add(std::u16string(s));
  // Ÿ/ÿ, Ł/ł and the Cyrillic А/а, Б/б each count as one text.
  EXPECT_EQ(Lines(l), (W{u"\u0142", u"\u00FF", u"\u0410", u"\u0431"}));
  int index = -1;
  EXPECT_TRUE(l.Find(u"\u0411", index));
  EXPECT_EQ(index, 3);
  EXPECT_EQ(l.IndexOf(u"\u0141"), 0);

  TWStringList cs;
  cs.SetCaseSensitive(true);
  cs.SetDuplicates(dupAccept);
  cs.SetSorted(true);
  for (const char16_t* s : {u"b", u"a", u"B", u"a"}) cs.Add(std::u16string(s));
  EXPECT_EQ(Lines(cs), (W{u"B", u"a", u"a", u"b"}));
}

}  // namespace

namespace {

// Language files as other programs write them: the fixture bytes are made here.
std::string Utf16LE(const std::u16string& text, bool mark) {
  std::string bytes = mark ? std::string("\xFF\xFE") : std::string();
  for (char16_t w : text) {
    bytes += static_cast<char>(w & 0xFF);
    bytes += static_cast<char>(w >> 8);
  }
  return bytes;
}

std::string Utf16BE(const std::u16string& text) {
  std::string bytes("\xFE\xFF");
  for (char16_t w : text) {
    bytes += static_cast<char>(w >> 8);
    bytes += static_cast<char>(w & 0xFF);
  }
  return bytes;
}

TEST(TWStringListFile, LoadFromFileAcceptsUtf16LEAnd1252Only) {
  TTempDir dir;
  const std::u16string text = u"[1]\r\nDeutsch=Schl\u00FCssel\r\n\r\nPolski=Klucz \u0141\u00F3d\u017A\r\n";
  const W wantUtf16 = {u"[1]", u"Deutsch=Schl\u00FCssel", u"", u"Polski=Klucz \u0141\u00F3d\u017A"};

  struct Case {
    const char* name;
    std::string bytes;
    bool ok;
    W lines;
  };
  const Case cases[] = {
      {"utf16le.lng", Utf16LE(text, true), true, wantUtf16},
      {"odd.lng", Utf16LE(u"a\r\nb", true) + "c", true, {u"a", u"b"}},
      {"ansi.lng", "\x80uro\r\nM\xFC" "nze\n\r\nend", true, {u"\u20ACuro", u"M\u00FCnze", u"", u"end"}},
      {"utf8.lng", "\xEF\xBB\xBF" "Schl\xC3\xBC" "ssel\r\n", false, {}},
      {"utf16be.lng", Utf16BE(u"ab\r\n"), false, {}},
      {"utf32le.lng", std::string("\xFF\xFE\0\0a\0\0\0", 8), false, {}},
      {"empty.lng", "", false, {}},
  };
  for (const auto& c : cases) {
    WriteAllBytes(dir.File(c.name), c.bytes);
    TWStringList l;
    l.Add(u"old line");
    EXPECT_EQ(l.LoadFromFile(dir.File(c.name)), c.ok) << c.name;
    EXPECT_EQ(Lines(l), c.lines) << c.name;
  }
  TWStringList l;
  l.Add(u"old line");
  EXPECT_FALSE(l.LoadFromFile(dir.File("missing.lng")));
  EXPECT_EQ(l.Count(), 0);
}

}  // namespace
