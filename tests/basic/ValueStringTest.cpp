#include "basic/ValueString.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// The rotation classes: each byte must stay within its own.
int RotClass(unsigned char b) {
  if (b >= 32 && b <= 47) return 1;
  if (b >= '0' && b <= '9') return 2;
  if (b >= 'A' && b <= 'Z') return 3;
  if (b >= 'a' && b <= 'z') return 4;
  return 0;
}

}  // namespace

TEST(ValueString, RotationIsInvertibleForEveryByteAtEveryPositionPhase) {
  // 16 positions cover every shift (position and 15); every byte value at each of them.
  for (int b = 0; b < 256; ++b) {
    const std::string plain(32, static_cast<char>(b));
    const std::string rotated = ScrambleStr(plain);
    ASSERT_EQ(rotated.size(), plain.size());
    EXPECT_EQ(UnscrambleStr(rotated), plain) << b;
    for (size_t i = 0; i < plain.size(); ++i) {
      const unsigned char r = static_cast<unsigned char>(rotated[i]);
      EXPECT_EQ(RotClass(r), RotClass(static_cast<unsigned char>(b))) << b << " at " << i + 1;
      if (RotClass(static_cast<unsigned char>(b)) == 0) {
        EXPECT_EQ(r, b);
      }
      EXPECT_EQ(r == ';', b == ';');
      EXPECT_EQ(r == '=', b == '=');
    }
  }
  std::string all;
  for (int round = 0; round < 3; ++round)
    for (int b = 255; b >= 0; --b) all += static_cast<char>(b);
  EXPECT_EQ(UnscrambleStr(ScrambleStr(all)), all);
  EXPECT_EQ(ScrambleStr(UnscrambleStr(all)), all);
}

TEST(ValueString, RotationVectors) {
  EXPECT_EQ(ScrambleStr("abc"), "bdf");
  EXPECT_EQ(ScrambleStr("/"), " ");
  EXPECT_EQ(ScrambleStr(std::string(14, ';') + "Z"), std::string(14, ';') + "O");
  EXPECT_EQ(ScrambleStr("9"), "0");
  EXPECT_EQ(ScrambleStr("12345678"), "24680248");  // position 8 shifts by 0
  EXPECT_EQ(ScrambleStr(""), "");
  EXPECT_EQ(UnscrambleStr("bdf"), "abc");
}

TEST(ValueString, HexAndChecksum) {
  EXPECT_EQ(StrToHexStr(std::string("\x00\xFF" "a", 3)), "00FF61");
  EXPECT_EQ(HexStrToStr("00FF61"), std::string("\x00\xFF" "a", 3));
  EXPECT_EQ(HexStrToStr("ff6"), "\xFF");  // odd last digit dropped
  EXPECT_EQ(HexStrToStr("G141"), std::string("\0A", 2));
  EXPECT_EQ(AddChecksum(""), "4E");  // 27 xor $55
  EXPECT_EQ(AddChecksum(":"), ":00");

  std::string t = AddChecksum("payload");
  EXPECT_TRUE(CheckChecksum(t));
  EXPECT_EQ(t, "payload");
  t = "payload00";
  EXPECT_FALSE(CheckChecksum(t));
  EXPECT_EQ(t, "payload");  // removed also when wrong
  t = "A";
  EXPECT_FALSE(CheckChecksum(t));
  EXPECT_EQ(t, "A");
  // A checksum that is not hex is wrong, not "0": ":00" is right, ":0Z" must not pass.
  for (const char* bad : {":0Z", ":Z0", ":ZZ", ": 0"}) {
    t = bad;
    EXPECT_FALSE(CheckChecksum(t)) << bad;
  }
}

TEST(ValueString, NumberedStringLayout) {
  EXPECT_EQ(EncodeNumberedStr(0, "", false), "6B2D94E3BB");
  EXPECT_EQ(EncodeNumberedStr(1, "A", false), "6B2D94E24107");
  EXPECT_EQ(EncodeNumberedStr(0, "", true), ScrambleStr("6B2D94E3BB"));
}

TEST(ValueString, NumberedStringRoundTrips) {
  std::string payload;
  for (int b = 0; b < 256; ++b) payload += static_cast<char>(b);
  for (bool rotate : {false, true})
    for (int32_t number : {1, 42, -7, INT_MAX, INT_MIN})
      for (const std::string& p : {std::string(), std::string("\x01\x02\x03"), payload}) {
        std::string s = EncodeNumberedStr(number, p, rotate);
        std::string any = s;
        EXPECT_TRUE(DecodeNumberedStr(number, s, rotate));
        EXPECT_EQ(s, p);
        EXPECT_TRUE(DecodeNumberedStr(0, any, rotate));
        EXPECT_EQ(any, p);
      }
}

TEST(ValueString, NumberedStringRefusalsLeaveTheTextAlone) {
  const std::string good = EncodeNumberedStr(17, "rights", true);
  std::string s = good;
  EXPECT_FALSE(DecodeNumberedStr(18, s, true));  // wrong number
  EXPECT_EQ(s, good);
  EXPECT_FALSE(DecodeNumberedStr(17, s, false));  // rotation not undone
  EXPECT_EQ(s, good);

  s = good.substr(0, 9);
  EXPECT_FALSE(DecodeNumberedStr(0, s, true));
  EXPECT_EQ(s, good.substr(0, 9));

  // Any single changed character is noticed, in the number, the payload and the checksum.
  for (bool rotate : {false, true}) {
    const std::string enc = EncodeNumberedStr(17, "rights", rotate);
    for (size_t i = 0; i < enc.size(); ++i)
      for (int b = 0; b < 256; ++b) {
        if (static_cast<char>(b) == enc[i]) continue;
        std::string changed = enc;
        changed[i] = static_cast<char>(b);
        const std::string before = changed;
        EXPECT_FALSE(DecodeNumberedStr(0, changed, rotate)) << rotate << " " << i << " " << b;
        EXPECT_EQ(changed, before);
      }
  }
}

TEST(ValueString, ValueListAdd) {
  struct Case {
    const char* list;
    const char* item;
    bool added;
    const char* after;
  };
  const Case cases[] = {
      {"1;2", "2", false, "1;2"},
      {"", "5", true, "5"},
      {"1;", "5", true, "1;5"},
      {"1;2", "3", true, "1;2;3"},
      {"12", "1", true, "12;1"},
      {"1;2", "", false, "1;2"},
      {"1;2", ";", false, "1;2"},
      {"1;2", ";;3", true, "1;2;3"},
      {"1;2", "3;4", true, "1;2;3"},
      // The item is read before the check, so these are duplicates, not new links.
      {"1;2", ";2", false, "1;2"},
      {"1;2", "2;9", false, "1;2"},
      {"1;2", ";;1;", false, "1;2"},
  };
  for (const auto& c : cases) {
    std::string list = c.list;
    EXPECT_EQ(AddToValueList(list, c.item), c.added) << c.list << " + " << c.item;
    EXPECT_EQ(list, c.after) << c.list << " + " << c.item;
  }
}

TEST(ValueString, ValueListRemove) {
  struct Case {
    const char* list;
    const char* item;
    const char* after;
  };
  const Case cases[] = {
      {"3;13;3;31", "3", "13;31"},
      {"3", "3", ""},
      {"3;3", "3", ""},
      {"1;2", "5", "1;2"},
      {"1;2", "", "1;2"},
      {"1;2", ";2;", "1"},
      // Removing all ";" would turn "1;3" into "13", a different item.
      {"13;1;3", "1;3", "13;1;3"},
      {"", "1", ""},
  };
  for (const auto& c : cases) {
    std::string list = c.list;
    RemoveFromValueList(list, c.item);
    EXPECT_EQ(list, c.after) << c.list << " - " << c.item;
  }
}

TEST(ValueString, LongItemsAreTakenAsTheirFirst255Characters) {
  const std::string longItem(300, 'x');
  const std::string prefix = longItem.substr(0, 255);
  std::string list = "1";
  EXPECT_FALSE(InValueList(longItem, list));
  EXPECT_TRUE(AddToValueList(list, longItem));
  EXPECT_EQ(list, "1;" + prefix);
  EXPECT_TRUE(InValueList(longItem, list));
  EXPECT_TRUE(InValueList(prefix, list));
  EXPECT_FALSE(AddToValueList(list, prefix + "yyy")) << "the same first 255 characters";
  RemoveFromValueList(list, prefix + "zzz");
  EXPECT_EQ(list, "1");
}

TEST(ValueString, ValueListReading) {
  EXPECT_TRUE(InValueList("2", "1;2;3"));
  EXPECT_FALSE(InValueList("2", "1;22;3"));
  EXPECT_FALSE(InValueList("", ""));
  EXPECT_FALSE(InValueList("", "1;2"));

  std::string list = "a;b";
  EXPECT_EQ(FetchValue(list), "a");
  EXPECT_EQ(list, "b");
  EXPECT_EQ(FetchValue(list), "b");
  EXPECT_EQ(list, "");
  EXPECT_EQ(FetchValue(list), "");

  std::vector<std::string> lines{"stale"};
  ValueListToStrings("1;2;3", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"1", "2", "3"}));
  ValueListToStrings("", lines);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(StringsToValueList({"1", "2", "3"}), "1;2;3");
  EXPECT_EQ(StringsToValueList({}), "");
}

TEST(ValueString, FieldCutting) {
  std::string t = "a;b\tc";
  EXPECT_EQ(FetchSemicolonField(t), "a");
  EXPECT_EQ(t, "b\tc");
  EXPECT_EQ(FetchTabField(t), "b");
  EXPECT_EQ(FetchTabField(t), "c");
  EXPECT_EQ(t, "");
  t = "x,y";
  EXPECT_EQ(FetchField(t, ','), "x");

  EXPECT_EQ(GetNthField(0, ';', "a;b;c"), "a");
  EXPECT_EQ(GetNthField(2, ';', "a;b;c"), "c");
  EXPECT_EQ(GetNthField(3, ';', "a;b;c"), "");
  EXPECT_EQ(GetNthField(1, ';', "a;;c"), "");
  EXPECT_EQ(GetNthField(-1, ';', "a;b"), "");
  EXPECT_EQ(GetNthField(0, ';', ""), "");
}

namespace {

std::vector<std::string> AllCsvFields(std::string line, char sep) {
  std::vector<std::string> fields;
  while (!line.empty()) fields.push_back(FetchCsvField(line, sep));
  return fields;
}

}  // namespace

TEST(ValueString, CsvFieldsPerSeparator) {
  struct Case {
    const char* line;  // "|" stands for the separator
    std::vector<std::string> fields;
  };
  const Case cases[] = {
      {"a|b|c", {"a", "b", "c"}},
      {"\"a|b\"|c", {"a|b", "c"}},
      {"\"a|b\"", {"a|b"}},
      {"\"say \"\"hi\"\"\"|x", {"say \"hi\"", "x"}},
      {"\"a\"\"|b\"|c", {"a\"|b", "c"}},  // a doubled quote before the separator stays text
      {"\"\"|x", {"", "x"}},
      {"\"\"\"\"|x", {"\"", "x"}},
      {"\"open|rest", {"open|rest"}},  // unclosed: the rest of the line
      {"\"ab\"cd|e", {"abcd", "e"}},
      // A single quote opens quoting like a double quote.
      {"'s-Hertogenbosch|x|y'", {"s-Hertogenbosch|x|y"}},
      {"'a'|b", {"a", "b"}},
      {"'it''s'|x", {"it's", "x"}},
      {"'say \"hi\"'|x", {"say \"hi\"", "x"}},
      {"\"it's\"|x", {"it's", "x"}},
      {"'open|rest", {"open|rest"}},
      {"a'b|'c'", {"a'b", "c"}},
      {"|a", {"", "a"}},
      {"a|", {"a"}},
      {"a||b", {"a", "", "b"}},
      {" \"a|b\"", {" \"a", "b\""}},  // only a quote in the first place opens quoting
      {"\xE4|\"\xFC\"", {"\xE4", "\xFC"}},
  };
  for (char sep : {';', ',', '\t'}) {
    for (const auto& c : cases) {
      std::string line = c.line;
      for (char& ch : line)
        if (ch == '|') ch = sep;
      std::vector<std::string> expected = c.fields;
      for (auto& f : expected)
        for (char& ch : f)
          if (ch == '|') ch = sep;
      EXPECT_EQ(AllCsvFields(line, sep), expected) << c.line << " sep " << int(sep);
    }
  }
  std::string empty;
  EXPECT_EQ(FetchCsvField(empty, ';'), "");
  std::string rest = "\"a;b\";c;d";
  EXPECT_EQ(FetchCsvField(rest, ';'), "a;b");
  EXPECT_EQ(rest, "c;d");
}

TEST(ValueString, CsvLinesToTabLines) {
  std::vector<std::string> semicolon{"a;\"b;c\";d", "", "x;\"say \"\"hi\"\"\""};
  CsvLinesToTabLines(semicolon);
  EXPECT_EQ(semicolon, (std::vector<std::string>{"a\tb;c\td", "", "x\tsay \"hi\""}));

  // One TAB anywhere makes TAB the separator for every line.
  std::vector<std::string> tab{"a;b", "\"p\tq\"\tr", "1\t2"};
  CsvLinesToTabLines(tab);
  EXPECT_EQ(tab, (std::vector<std::string>{"a;b", "p q\tr", "1\t2"}));
}

TEST(ValueString, SplitAtBreakChars) {
  struct Case {
    const char* text;
    int n;
    const char* head;
    const char* rest;
  };
  const Case cases[] = {
      {"hello world foo", 8, "hello ", "world foo"},
      {"hello world foo", 15, "hello world foo", ""},
      {"hello-world foo", 10, "hello-", "world foo"},  // second set when the first has none
      {"helloworld", 4, "hell", "oworld"},
      {"ab cd", 3, "ab ", "cd"},
      {"ab", 0, "a", "b"},  // below 1 counts as 1
      {"ab", -5, "a", "b"},
      {"", 0, "", ""},
      {"a b-c", 4, "a ", "b-c"},  // the first set wins although "-" is further on
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(SplitAtBreakChars(text, c.n, " ", "-"), c.head) << c.text << " " << c.n;
    EXPECT_EQ(text, c.rest) << c.text << " " << c.n;
  }
}
