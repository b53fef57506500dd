#include "basic/BasicsUnit.h"

#include <gtest/gtest.h>

#include <climits>

TEST(BasicsUnit, IntegerConversionsAtTheirLimits) {
  struct Case {
    const char* text;
    int32_t zero, minus1, pos, byte;
  };
  const Case cases[] = {
      {"12", 12, 12, 12, 12},
      {"  -7", -7, -7, 0, 0},
      {"+5", 5, 5, 5, 5},
      {"12x", 0, -1, 0, 0},
      {"12 ", 0, -1, 0, 0},  // nothing may follow the digits
      {"", 0, -1, 0, 0},
      {" ", 0, -1, 0, 0},
      {"-", 0, -1, 0, 0},
      {"$", 0, -1, 0, 0},
      {"$1F", 31, 31, 31, 31},
      {"$ff", 255, 255, 255, 255},
      {"-$10", -16, -16, 0, 0},
      {"$7FFFFFFF", INT_MAX, INT_MAX, INT_MAX, 0},
      {"$FFFFFFFF", -1, -1, 0, 0},
      {"$100000000", 0, -1, 0, 0},  // beyond 32 bits
      {"2147483647", INT_MAX, INT_MAX, INT_MAX, 0},
      {"2147483648", 0, -1, 0, 0},  // overflow is not a number
      {"-2147483648", INT_MIN, INT_MIN, 0, 0},
      {"-2147483649", 0, -1, 0, 0},
      {"99999999999999999999", 0, -1, 0, 0},
      {"0", 0, 0, 0, 0},
      {"255", 255, 255, 255, 255},
      {"256", 256, 256, 256, 0},
      {"\t1", 0, -1, 0, 0},
      {"1.5", 0, -1, 0, 0},
      {"\xB9", 0, -1, 0, 0},  // superscript one is not a digit
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrToIntZero(c.text), c.zero) << c.text;
    EXPECT_EQ(StrToIntMinus1(c.text), c.minus1) << c.text;
    EXPECT_EQ(StrToPosInt(c.text), c.pos) << c.text;
    EXPECT_EQ(StrToByteZero(c.text), c.byte) << c.text;
  }
}

TEST(BasicsUnit, Int64ParsingAtTheLimits) {
  int64_t v = 0;
  EXPECT_TRUE(TryStrToInt64("-9223372036854775808", v));
  EXPECT_EQ(v, LLONG_MIN);
  EXPECT_TRUE(TryStrToInt64("9223372036854775807", v));
  EXPECT_EQ(v, LLONG_MAX);
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", v));
  EXPECT_TRUE(TryStrToInt64("$FFFFFFFFFFFFFFFF", v));
  EXPECT_EQ(v, -1);
  EXPECT_FALSE(TryStrToInt64("$10000000000000000", v));
}

TEST(BasicsUnit, CharactersOutsideTheTextAreZero) {
  EXPECT_EQ(CharAt("abc", 1), 'a');
  EXPECT_EQ(CharAt("abc", 3), 'c');
  EXPECT_EQ(CharAt("abc", 0), '\0');
  EXPECT_EQ(CharAt("abc", 4), '\0');
  EXPECT_EQ(CharAt("abc", INT_MIN), '\0');
  EXPECT_EQ(FirstChar(""), '\0');
  EXPECT_EQ(LastChar(""), '\0');
  EXPECT_EQ(FirstChar("xy"), 'x');
  EXPECT_EQ(LastChar("xy"), 'y');
}

TEST(BasicsUnit, PiecesAtTheirLimits) {
  struct Case {
    int n;
    const char* left;
    const char* from;
    const char* cut;
  };
  // text "abc": CopyLeft(n), CopyFrom(n), CutLeft(n)
  const Case cases[] = {
      {INT_MIN, "", "abc", "abc"}, {-1, "", "abc", "abc"}, {0, "", "abc", "abc"},
      {1, "a", "abc", "bc"},      {2, "ab", "bc", "c"},    {3, "abc", "c", ""},
      {4, "abc", "", ""},         {INT_MAX, "abc", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CopyLeft("abc", c.n), c.left) << c.n;
    EXPECT_EQ(CopyFrom("abc", c.n), c.from) << c.n;
    EXPECT_EQ(CutLeft("abc", c.n), c.cut) << c.n;
  }
  EXPECT_EQ(DelFirstChar(""), "");
  EXPECT_EQ(DelFirstChar("a"), "");
  EXPECT_EQ(DelFirstChar("ab"), "b");
  EXPECT_EQ(TrimEnd(std::string("ab \t\r\n\0", 7)), "ab");
  EXPECT_EQ(TrimEnd("ab\xA0"), "ab\xA0");  // the no-break space is text
  EXPECT_EQ(TrimEnd(" \x01"), "");
}

TEST(BasicsUnit, PosFromAndPosWord) {
  EXPECT_EQ(PosFrom("b", "abab", -5), 2);
  EXPECT_EQ(PosFrom("b", "abab", 1), 2);
  EXPECT_EQ(PosFrom("b", "abab", 3), 4);
  EXPECT_EQ(PosFrom("b", "abab", 4), 4);
  EXPECT_EQ(PosFrom("b", "abab", 5), 0);
  EXPECT_EQ(PosFrom("", "abab", 1), 0);
  EXPECT_EQ(PosFrom("x", "abab", 1), 0);

  EXPECT_EQ(PosWord("AB", "XAB AB"), 5);
  EXPECT_EQ(PosWord("AB", "AB"), 1);
  EXPECT_EQ(PosWord("AB", "AB1 AB_"), 5);  // "_" is no word character
  EXPECT_EQ(PosWord("AB", "\xE4" "AB AB\xFC"), 0);  // codes >= 128 are word characters
  EXPECT_EQ(PosWord("", "AB"), 0);
}

TEST(BasicsUnit, NaturalSortKey) {
  EXPECT_EQ(NaturalSortKey("K12-3"), "K0000012-0000003");
  EXPECT_EQ(NaturalSortKey("12345678"), "12345678");
  EXPECT_EQ(NaturalSortKey("1234567"), "1234567");
  EXPECT_EQ(NaturalSortKey("x123456"), "x0123456");
  EXPECT_EQ(NaturalSortKey(""), "");
  EXPECT_LT(NaturalSortKey("Door 2"), NaturalSortKey("Door 10"));
}

namespace {

struct TCounted {
  static int alive;
  static int destroyed;
  TCounted() { ++alive; }
  ~TCounted() {
    --alive;
    ++destroyed;
  }
};
int TCounted::alive = 0;
int TCounted::destroyed = 0;

}  // namespace

TEST(BasicsUnit, DestroyObjectsListFreesEachObjectOnce) {
  TCounted::alive = TCounted::destroyed = 0;
  {
    TDestroyObjectsList list;
    for (int i = 0; i < 3; ++i) list.Add(new TCounted);
    list.Add(std::make_unique<std::string>("other type"));
    list.Add(static_cast<TCounted*>(nullptr));
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(*list.Item<std::string>(3), "other type");
    EXPECT_EQ(list.Item<TCounted>(9), nullptr);
    list.Delete(0);
    EXPECT_EQ(TCounted::destroyed, 1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(TCounted::destroyed, 3);
    list.Add(new TCounted);
  }
  EXPECT_EQ(TCounted::alive, 0);
  EXPECT_EQ(TCounted::destroyed, 4);
}
