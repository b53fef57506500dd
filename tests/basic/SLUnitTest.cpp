#include "basic/SLUnit.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<std::string> Lines(const TQStringList& l) {
  std::vector<std::string> v;
  for (int i = 0; i < l.Count(); ++i) v.push_back(l[i]);
  return v;
}

using V = std::vector<std::string>;

// ---------------------------------------------------------------------------------------
// Adding the same texts in different case to every kind of list.

struct AddCase {
  bool sorted;
  TDuplicates dup;
  bool caseSensitive;
  V expected;                 // lines after adding b, A, a, B, a
  std::vector<int> indexes;   // what each Add returned
  int indexOfLowerA;          // IndexOf("a")
};

class AddTable : public ::testing::TestWithParam<AddCase> {};

TEST_P(AddTable, AddFindIndexOf) {
  const AddCase& c = GetParam();
  TQStringList l;
  l.SetCaseSensitive(c.caseSensitive);
  l.SetDuplicates(c.dup);
  l.SetSorted(c.sorted);
  std::vector<int> got;
  for (const char* s : {"b", "A", "a", "B", "a"}) got.push_back(l.Add(s));
  EXPECT_EQ(Lines(l), c.expected);
  EXPECT_EQ(got, c.indexes);
  EXPECT_EQ(l.IndexOf("a"), c.indexOfLowerA);
  EXPECT_EQ(l.IndexOf("zz"), -1);
  if (c.sorted) {
    int index = -1;
    EXPECT_FALSE(l.Find("aa", index));
    EXPECT_EQ(l[index - 1].size(), 1u);  // "aa" belongs after the last "a"-like line
    EXPECT_TRUE(l.Find("a", index));
    EXPECT_EQ(index, c.indexOfLowerA);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, AddTable,
    ::testing::Values(
        // Unsorted lists take everything in order; IndexOf follows CaseSensitive.
        AddCase{false, dupIgnore, false, {"b", "A", "a", "B", "a"}, {0, 1, 2, 3, 4}, 1},
        AddCase{false, dupAccept, false, {"b", "A", "a", "B", "a"}, {0, 1, 2, 3, 4}, 1},
        AddCase{false, dupError, false, {"b", "A", "a", "B", "a"}, {0, 1, 2, 3, 4}, 1},
        AddCase{false, dupIgnore, true, {"b", "A", "a", "B", "a"}, {0, 1, 2, 3, 4}, 2},
        AddCase{false, dupAccept, true, {"b", "A", "a", "B", "a"}, {0, 1, 2, 3, 4}, 2},
        AddCase{false, dupError, true, {"b", "A", "a", "B", "a"}, {0, 1, 2, 3, 4}, 2},
        // Sorted, ignoring case: "a" equals "A".
        AddCase{true, dupIgnore, false, {"A", "b"}, {0, 0, 0, 1, 0}, 0},
        AddCase{true, dupError, false, {"A", "b"}, {0, 0, 0, 1, 0}, 0},
        AddCase{true, dupAccept, false, {"a", "a", "A", "B", "b"}, {0, 0, 0, 2, 0}, 0},
        // Sorted by byte value: capitals first.
        AddCase{true, dupIgnore, true, {"A", "B", "a", "b"}, {0, 0, 1, 1, 2}, 2},
        AddCase{true, dupError, true, {"A", "B", "a", "b"}, {0, 0, 1, 1, 2}, 2},
        AddCase{true, dupAccept, true, {"A", "B", "a", "a", "b"}, {0, 0, 1, 1, 2}, 2}));

// A sorted list can hold equal lines whatever Duplicates says (sorted after filling, or
// made case-insensitive later); Find must still return the first of them.
TEST(TQStringList, FindReturnsFirstEqualForEveryDuplicatesSetting) {
  for (TDuplicates dup : {dupIgnore, dupAccept, dupError}) {
    TQStringList l{"x", "a", "x", "x", "X", "z", "x"};
    l.SetDuplicates(dup);
    l.SetSorted(true);
    ASSERT_EQ(Lines(l), (V{"a", "x", "x", "x", "X", "x", "z"})) << dup;
    int index = -1;
    EXPECT_TRUE(l.Find("X", index));
    EXPECT_EQ(index, 1) << "Duplicates " << dup;
    EXPECT_EQ(l.IndexOf("x"), 1) << dup;

    TQStringList cs;
    cs.SetCaseSensitive(true);
    cs.SetDuplicates(dup);
    cs.SetSorted(true);
    for (const char* s : {"m", "M", "b", "c", "d"}) cs.Add(s);
    cs.SetCaseSensitive(false);  // resorts; "m" and "M" are now equal
    EXPECT_TRUE(cs.Find("m", index));
    EXPECT_EQ(cs[index - 1], "d") << dup;
  }
}

TEST(TQStringList, SortedListKeepsItsOrder) {
  TQStringList l{"c", "a", "b"};
  l.SetSorted(true);
  ASSERT_EQ(Lines(l), (V{"a", "b", "c"}));
  l.Put(0, "z");
  l.Insert(0, "z");
  l.InsertObject(3, "z", 5);
  l.Move(0, 2);  // would otherwise lose the line
  EXPECT_EQ(Lines(l), (V{"a", "b", "c"}));
  l.SetSorted(false);
  l.Move(0, 2);
  EXPECT_EQ(Lines(l), (V{"b", "c", "a"}));
  l.Put(1, "C");
  EXPECT_EQ(Lines(l), (V{"b", "C", "a"}));  // switching sorting off keeps the order
}

TEST(TQStringList, BadIndexesNeverFail) {
  TQStringList l{"a", "b"};
  l.PutObject(1, 42);
  for (int bad : {-1, 2, 1000, -1000}) {
    EXPECT_EQ(l.Get(bad), "");
    EXPECT_EQ(l[bad], "");
    EXPECT_EQ(l.GetObject(bad), 0);
    EXPECT_EQ(l.Name(bad), "");
    EXPECT_EQ(l.ValueFromIndex(bad), "");
    l.Put(bad, "x");
    l.PutObject(bad, 7);
    l.Delete(bad);
    l.Exchange(0, bad);
    l.Exchange(bad, 1);
    l.Move(bad, 0);
    l.Move(0, bad);
  }
  l.Insert(3, "x");
  l.Insert(-1, "x");
  EXPECT_EQ(Lines(l), (V{"a", "b"}));
  EXPECT_EQ(l.GetObject(1), 42);
  l.Insert(2, "c");  // the index one past the end appends
  l.Exchange(0, 2);
  EXPECT_EQ(Lines(l), (V{"c", "b", "a"}));
  EXPECT_EQ(l.IndexOfObject(42), 1);

  TQStringList empty;
  empty.Delete(0);
  empty.Clear();
  EXPECT_EQ(empty.Get(0), "");
  EXPECT_EQ(empty.GetCommaText(), "");
}

TEST(TQStringList, NamesAndValues) {
  TQStringList l{"n=Anna", "N=second", "n", "nx=1", "Key=v=w", "=e", "\xE4=1"};
  EXPECT_EQ(l.ValueOfChar('N'), "Anna");
  EXPECT_EQ(l.ValueOfChar('n'), "Anna");
  EXPECT_EQ(l.ValueOf("KEY"), "v=w");
  EXPECT_EQ(l.ValueOf("ke"), "");
  EXPECT_EQ(l.ValueOf("\xC4"), "");  // ASCII case only
  EXPECT_EQ(l.ValueOf("\xE4"), "1");
  EXPECT_EQ(l.Value("key"), "v=w");
  EXPECT_EQ(l.Value("\xC4"), "1");  // names compare through the 1252 case table
  EXPECT_EQ(l.Value("nx"), "1");
  EXPECT_EQ(l.Value("missing"), "");
  EXPECT_EQ(l.Name(4), "Key");
  EXPECT_EQ(l.Name(2), "");
  EXPECT_EQ(l.ValueFromIndex(4), "v=w");
  EXPECT_EQ(l.IndexOfName(""), 5);

  TQStringList q{"x=1", "i=1"};
  q.PutObject(0, 9);
  EXPECT_EQ(q.ValueOfChar('n'), "");
  q.SetValue("X", "2");
  q.SetValue("new", "3");
  EXPECT_EQ(Lines(q), (V{"X=2", "i=1", "new=3"}));
  EXPECT_EQ(q.GetObject(0), 9);
  q.SetValue("i", "");
  q.SetValue("gone", "");
  EXPECT_EQ(Lines(q), (V{"X=2", "new=3"}));

  // In a sorted list a changed value is sorted back in and keeps its object.
  TQStringList s;
  s.SetSorted(true);
  s.AddObject("b=1", 11);
  s.Add("c=1");
  s.SetValue("b", "zz");
  s.SetValue("a", "0");
  EXPECT_EQ(Lines(s), (V{"a=0", "b=zz", "c=1"}));
  EXPECT_EQ(s.GetObject(1), 11);
}

TEST(TQStringList, ChangeNotification) {
  TQStringList l;
  std::string log;
  l.OnChanging = [&] { log += "<"; };
  l.OnChange = [&] { log += ">"; };
  l.Add("a");
  l.Put(0, "b");
  l.Delete(5);
  EXPECT_EQ(log, "<><>");
  log.clear();
  l.BeginUpdate();
  l.BeginUpdate();
  l.Add("c");
  l.SetCommaText("x,y");
  l.EndUpdate();
  EXPECT_EQ(log, "<");
  l.EndUpdate();
  EXPECT_EQ(log, "<>");
  l.EndUpdate();  // unbalanced: ignored
  EXPECT_EQ(log, "<>");
}

TEST(TQStringList, TextSplitsAtEveryLineEnd) {
  TQStringList l;
  l.SetText("a\r\nb\rc\nd\n\re\r\n\r\n");
  EXPECT_EQ(Lines(l), (V{"a", "b", "c", "d", "", "e", ""}));
  EXPECT_EQ(l.GetText(), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n\r\n");
  l.SetText("");
  EXPECT_EQ(l.Count(), 0);
  l.SetText("last");
  EXPECT_EQ(Lines(l), (V{"last"}));
}

// ---------------------------------------------------------------------------------------
// Comma text.

struct ReadCase {
  std::string text;
  V items;
};

TEST(CommaText, Reading) {
  const ReadCase cases[] = {
      {"", {}},
      {"   \t ", {}},
      {"a=b c", {"a=b", "c"}},
      {"a=b\tc", {"a=b", "c"}},
      {"a=b\x01" "c", {"a=b", "c"}},
      {"a,", {"a", ""}},
      {"a,,", {"a", "", ""}},
      {",a", {"", "a"}},
      {"a,,b", {"a", "", "b"}},
      {"a , , b", {"a", "", "b"}},
      {"  a  ,  b  ", {"a", "b"}},
      {"\"\"", {""}},
      {"\"a\"\"b\",c", {"a\"b", "c"}},
      {"\"x, y\"z", {"x, y", "z"}},
      {"a\"b", {"a\"b"}},
      {"\"open, to the end", {"open, to the end"}},
      {"\"ends in a quote\"\"", {"ends in a quote\""}},
      {"n=\"a b\"", {"n=\"a", "b\""}},  // only a whole item is quoted
      {"i=1,c=4,\"n=M\xFC" "ller, Hans\",d=2026-01-02\xA0" "10:11:12",
       {"i=1", "c=4", "n=M\xFC" "ller, Hans", "d=2026-01-02\xA0" "10:11:12"}},
      {std::string("a\0b,c", 5), {"a", "b", "c"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> items{"stale"};
    ParseCommaText(c.text, items);
    EXPECT_EQ(items, c.items) << c.text;
    TQStringList l{"old"};
    l.SetCommaText(c.text);
    EXPECT_EQ(Lines(l), c.items) << c.text;
  }
}

TEST(CommaText, WritingQuotesOnlyWhatNeedsIt) {
  const std::pair<V, std::string> cases[] = {
      {{}, ""},
      {{""}, "\"\""},
      {{"", ""}, ","},
      {{"a", ""}, "a,"},
      {{"i=1", "c=4"}, "i=1,c=4"},
      {{"n=a,b"}, "\"n=a,b\""},
      {{"n=a b"}, "\"n=a b\""},
      {{"n=say \"hi\""}, "\"n=say \"\"hi\"\"\""},
      {{"t=a\tb"}, "\"t=a\tb\""},
      {{"x=\x01"}, "\"x=\x01\""},
      {{"u=\xE4\x80\xA0\xFF"}, "u=\xE4\x80\xA0\xFF"},
  };
  for (const auto& [items, text] : cases) {
    EXPECT_EQ(BuildCommaText(items), text);
    TQStringList l;
    for (const auto& s : items) l.Add(s);
    EXPECT_EQ(l.GetCommaText(), text);
  }
}

// Whatever a field holds, the record line written from it reads back to the same items.
TEST(CommaText, RoundTripOfAwkwardItems) {
  const char alphabet[] = {'a', 'Z', '=', ',', '"', ' ', '\t', '\r', '\n', '\0', '\x01',
                           '\x1F', '\x7F', '\x80', '\xA0', '\xE4', '\xFF', ';'};
  std::mt19937 rng(1106);
  std::vector<std::string> back;
  for (int round = 0; round < 3000; ++round) {
    V items(rng() % 7);
    for (auto& s : items) {
      // Some items longer than the 16 bytes the scanner looks at in one step.
      size_t len = rng() % 4 == 0 ? rng() % 48 : rng() % 6;
      for (size_t k = 0; k < len; ++k) s += alphabet[rng() % sizeof alphabet];
    }
    std::string text = BuildCommaText(items);
    ParseCommaText(text, back);
    ASSERT_EQ(back, items) << "text: " << text;
  }
}

TEST(CommaText, LongUnquotedItemsEndAtTheirDelimiterOrBlank) {
  const std::string high(20, '\xE4');
  const std::string a15(15, 'a'), a16(16, 'a'), a17(17, 'a'), a31(31, 'a');
  const std::pair<std::string, V> cases[] = {
      {a15 + "," + a16 + "," + a17, {a15, a16, a17}},
      {a16 + " " + a31 + "\t" + a15, {a16, a31, a15}},
      {a31 + "\x01" + a17 + "\x7F\x80\xFF" + ",x", {a31, a17 + "\x7F\x80\xFF", "x"}},
      {"n=" + high + high + ",kt=2", {"n=" + high + high, "kt=2"}},
      {high + "\xA0" + high + " " + high, {high + "\xA0" + high, high}},
      {a17 + ",", {a17, ""}},
  };
  for (const auto& [text, items] : cases) {
    V back;
    ParseCommaText(text, back);
    EXPECT_EQ(back, items) << text;
  }
}

// Reading one value in place gives what the parsed list's ValueOf gives, for any text.
TEST(CommaText, ValueReadInPlaceAgreesWithTheParsedList) {
  const char alphabet[] = {'a', 'k', 'T', 'n', '=', '=', ',', ',', '"', ' ', '\t', '\x01',
                           '\x80', '\xE4', '\xFF'};
  const std::string_view keys[] = {"a", "KT", "n", "ak", "x"};
  std::mt19937 rng(4711);
  TQStringList parsed;
  std::string values[5];
  for (int round = 0; round < 4000; ++round) {
    std::string text;
    const size_t len = rng() % 4 == 0 ? rng() % 90 : rng() % 12;
    for (size_t k = 0; k < len; ++k) text += alphabet[rng() % sizeof alphabet];
    parsed.SetCommaText(text);
    const size_t found = CommaTextValues(text, keys, values, 5);
    size_t expected = 0;
    for (size_t i = 0; i < 5; ++i) {
      const std::string want = parsed.ValueOf(keys[i]);
      bool present = false;
      for (const TStringItem& item : parsed.Items()) {
        const std::string& t = item.text;
        present = present || (t.size() > keys[i].size() && t[keys[i].size()] == '=' &&
                              AnsiSameText(t.substr(0, keys[i].size()), std::string(keys[i])));
      }
      expected += present ? 1 : 0;
      ASSERT_EQ(values[i], want) << "text: " << text << " key: " << keys[i];
      std::string one = "stale";
      EXPECT_EQ(CommaTextValue(text, keys[i], one), present) << text;
      EXPECT_EQ(one, want) << text;
    }
    EXPECT_EQ(found, expected) << text;
  }
}

TEST(CommaText, OtherDelimiterKeepsEmptyItems) {
  TQStringList l;
  l.SetDelimitedText("a\t\tb\t", '\t', '"');
  EXPECT_EQ(Lines(l), (V{"a", "", "b", ""}));
  l.Put(2, "b c");
  EXPECT_EQ(l.GetDelimitedText(';', '\''), "a;;'b c';");
}

TEST(CommaText, SortedListSortsItemsIn) {
  TQStringList l;
  l.SetSorted(true);
  l.SetCommaText("c=1,a=2,b=3,a=2");
  EXPECT_EQ(Lines(l), (V{"a=2", "b=3", "c=1"}));
}

}  // namespace

#include "basic/FileCtrl2.h"
#include "support/TestSupport.h"

namespace {

TEST(TQStringListFile, SaveAndLoadThroughTextFiles) {
  TTempDir dir;
  const std::string file = dir.File("list.txt");
  TQStringList l{"i=1,c=4,n=\"a b\"", "", "M\xFC" "nze \x80", "last"};
  ASSERT_TRUE(l.SaveToFile(file));
  EXPECT_EQ(ReadAllBytes(file), "i=1,c=4,n=\"a b\"\r\n\r\nM\xFC" "nze \x80\r\nlast\r\n");

  TQStringList back{"stale"};
  int result = -1;
  EXPECT_TRUE(back.LoadFromFile(file, &result));
  EXPECT_EQ(result, ltfRead);
  EXPECT_TRUE(back.Equals(l));

  // A missing file leaves the list as it was.
  EXPECT_FALSE(back.LoadFromFile(dir.File("missing.txt"), &result));
  EXPECT_EQ(result, ltfMissing);
  EXPECT_TRUE(back.Equals(l));

  // The safe save keeps the previous text as ".bak".
  TQStringList next{"new"};
  ASSERT_TRUE(next.SaveToFileSafe(file, true));
  EXPECT_EQ(ReadAllBytes(file), "new\r\n");
  EXPECT_EQ(ReadAllBytes(file + ".bak"), "i=1,c=4,n=\"a b\"\r\n\r\nM\xFC" "nze \x80\r\nlast\r\n");

  // A sorted list sorts what it reads.
  TQStringList sorted;
  sorted.SetSorted(true);
  WriteAllBytes(file, "b\r\nA\r\na\r\n");
  EXPECT_TRUE(sorted.LoadFromFile(file));
  EXPECT_EQ(Lines(sorted), (V{"A", "b"}));
  EXPECT_EQ(sorted.GetLines(), (V{"A", "b"}));
}

}  // namespace
