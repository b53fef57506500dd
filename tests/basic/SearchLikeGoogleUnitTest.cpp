#include "basic/SearchLikeGoogleUnit.h"

#include <gtest/gtest.h>

TEST(SearchLikeGoogle, SplitsIntoAtMostFourUpperCasedTerms) {
  TSearchLikeGoogle s;
  s.SetSearchText("  one two  \"three four\" five six ");
  EXPECT_EQ(s.Count, 4);
  EXPECT_EQ(s.Terms[0], "ONE");
  EXPECT_EQ(s.Terms[1], "TWO");
  EXPECT_EQ(s.Terms[2], "THREE FOUR");
  EXPECT_TRUE(s.Quoted[2]);
  EXPECT_EQ(s.Terms[3], "FIVE");
  EXPECT_FALSE(s.Quoted[3]);
  EXPECT_TRUE(s.Matches("one two three four five"));
  EXPECT_TRUE(s.Matches("Five, one, two, three four"));
  EXPECT_FALSE(s.Matches("one two three four"));  // "six" is not a term, "five" is
  EXPECT_TRUE(s.Matches("one two three four five SIX-less"));

  s.SetSearchText("m\xFC" "ller \"open");  // umlauts through the 1252 table; unclosed quote
  EXPECT_EQ(s.Count, 2);
  EXPECT_EQ(s.Terms[0], "M\xDC" "LLER");
  EXPECT_EQ(s.Terms[1], "OPEN");
  EXPECT_TRUE(s.Quoted[1]);
  EXPECT_TRUE(s.Matches("Herr M\xDC" "LLER, open"));
}

TEST(SearchLikeGoogle, QuotedTermsStandAtWordBoundaries) {
  TSearchLikeGoogle s;
  s.SetSearchText("\"ab\"");
  struct Case {
    const char* text;
    bool match;
  };
  const Case cases[] = {
      {"x ab.", true}, {"xab", false},    {"ab", true},   {"AB", true},  {"ab1", false},
      {"ab-c", true},  {"xab ab", true},  // a later occurrence counts
      {"abab", false}, {"(ab)", true},    {"ab:", false},  // ":" lies above "0"
  };
  for (const auto& c : cases) EXPECT_EQ(s.Matches(c.text), c.match) << c.text;
}

TEST(SearchLikeGoogle, NothingCarriesOverFromAnEarlierSearch) {
  TSearchLikeGoogle s;
  s.SetSearchText("\"ab\" \"cd\" \"ef\" \"gh\"");
  EXPECT_EQ(s.Count, 4);
  EXPECT_FALSE(s.Matches("xab"));

  s.SetSearchText("ab cd");
  EXPECT_EQ(s.Count, 2);
  EXPECT_FALSE(s.Quoted[0]);
  EXPECT_FALSE(s.Quoted[1]);
  EXPECT_EQ(s.Terms[2], "");
  EXPECT_EQ(s.Terms[3], "");
  EXPECT_TRUE(s.Matches("xab xcd"));

  s.SetSearchText("   ");
  EXPECT_EQ(s.Count, 0);
  EXPECT_EQ(s.Terms[0], "");
  EXPECT_TRUE(s.Matches("anything"));
  EXPECT_TRUE(s.Matches(""));

  s.SetSearchText("a \"\" b");  // an empty term ends the split
  EXPECT_EQ(s.Count, 1);
  EXPECT_FALSE(s.Quoted[1]);
}

// A search narrows another when whatever it finds the other finds too; a listing then
// looks for it only among the other's matches, so a wrong yes drops records from the list.
TEST(SearchLikeGoogle, NarrowsOnlyWhenEveryMatchIsAMatchOfTheWiderSearch) {
  const struct {
    const char* wider;
    const char* now;
    bool narrows;
  } cases[] = {
      {"", "tor", true},           // nothing searched: everything was found
      {"to", "tor", true},         // the term grew
      {"tor 1", "tor 12", true},   // the last term grew
      {"tor", "tor 12", true},     // a term added
      {"tor 12", "12 tor", true},  // the same terms in another order
      {"or", "\"tor\"", true},     // a whole word holds its parts
      {"\"tor\"", "\"tor\" 1", true},
      {"a b c d", "a b c d e", true},  // a fifth term is no term
      {"tor", "to", false},            // the term shrank
      {"tor 12", "tor", false},        // a term dropped
      {"tor", "", false},
      {"\"tor\"", "\"tore\"", false},  // a whole word that grew is another word
      {"\"tor\"", "tor", false},       // and without the quotes it is none
  };
  for (const auto& c : cases) {
    TSearchLikeGoogle wider, now;
    wider.SetSearchText(c.wider);
    now.SetSearchText(c.now);
    EXPECT_EQ(now.Narrows(wider), c.narrows) << c.wider << " -> " << c.now;
  }
}

TEST(SearchLikeGoogle, TransformAppliesToTermsAndTexts) {
  TSearchLikeGoogle s;
  s.Transform = [](const std::string& in) {
    std::string out;
    for (char c : in) {
      if (c == '\xC4' || c == '\xE4') out += (c == '\xC4' ? "AE" : "ae");
      else out += c;
    }
    return out;
  };
  s.SetSearchText("m\xE4rz");
  EXPECT_EQ(s.Terms[0], "MAERZ");
  EXPECT_TRUE(s.Matches("M\xC4RZ 2024"));
  EXPECT_TRUE(s.Matches("maerz"));
  EXPECT_FALSE(s.Matches("marz"));
}
