#include "data/HistoryUnit.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/Hex32Unit.h"
#include "basic/SLUnit.h"
#include "basic/ValueString.h"
#include "data/AccessProtection.h"
#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"

namespace {

// One workstation: its reservation registry and its history on the shared data folder,
// installed as the program's history for the test.
struct THistoryStation {
  TAccessProtectionRegistry registry;
  TAccessProtection* protection = nullptr;
  THistory history{&registry};

  explicit THistoryStation(const TTempDir& dir) {
    registry.SetSleeper([](int) {});
    GetAccessProtection(dir.File("Data.wpf"), protection, registry);
    history.SetFolder(dir.Dir());
  }
  ~THistoryStation() { ReleaseAccessProtection(protection); }
};

struct THistoryTest : ::testing::Test {
  TUtcZone zone;
  TTempDir dir;
  TFixedClock clock{EncodeDateTime(2024, 6, 1, 12, 0, 0)};
  TClockScope clockScope{clock};
  TScopedRecorder ui;
  THistoryStation station{dir};
  THistoryScope scope{station.history};

  std::string File(int year) { return dir.File("Log" + std::to_string(year) + ".alg"); }
  std::vector<std::string> FileLines(int year) {
    std::vector<std::string> lines;
    LoadTextFile(File(year), lines);
    return lines;
  }
};

std::string ItemOf(const std::string& line, const std::string& key) {
  TQStringList items;
  items.SetCommaText(line);
  return items.Value(key);
}

}  // namespace

TEST_F(THistoryTest, EventLinesAndTheFirstLineOfANewYearFile) {
  HistorySetPrefix(HistoryPrefixFor(""));
  station.history.SetUserText(HistoryObjectText(1, 3, "ADMIN"));
  ASSERT_TRUE(HistoryNew(4, 17, "Key A", "5"));
  std::string bytes = ReadAllBytes(File(2024));
  ASSERT_GE(bytes.size(), 3u);
  EXPECT_EQ(bytes.substr(0, 3), "\x01\r\n");
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");

  station.history.SetUserText("");  // nobody logged in: no "u"
  HistoryDel(4, 17, "Key A");
  HistoryTotal(8, 2, "Cabinet", "-2", "3");
  HistoryInv(4, 17, "Key A", "4", "counted twice");
  HistoryRen(5, 9, "Meier, Anna", "Maier");
  HistoryLogin(0, "NoName");

  const std::string d = "d=2024-06-01\xA0" "12:00:00";
  const std::string utc = "utc=" + DoubleToHex32(clock.NowUTC());
  auto o = [](int c, int i, const std::string& n) { return "o=" + HistoryObjectText(c, i, n); };
  std::vector<std::vector<std::string>> expected = {
      {"a=New", d, o(4, 17, "Key A"), "u=" + HistoryObjectText(1, 3, "ADMIN"), "stock=5", utc},
      {"a=Del", d, o(4, 17, "Key A"), utc},
      {"a=Total", d, o(8, 2, "Cabinet"), "cnt=-2", "stock=3", utc},
      {"a=Inv", d, o(4, 17, "Key A"), "stock=4", "r=counted twice", utc},
      {"a=Ren", d, o(5, 9, "Meier, Anna"), "oldName=Maier", utc},
      {"a=Login", d, o(1, 0, "NoName"), utc},
  };
  std::vector<std::string> lines = FileLines(2024);
  ASSERT_EQ(lines.size(), expected.size() + 1);
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(lines[i + 1], BuildCommaText(expected[i])) << i;
}

TEST_F(THistoryTest, TheYearInDSelectsTheFileAndTheClientTheName) {
  HistorySetPrefix(HistoryPrefixFor("Firma A"));
  clock.Set(EncodeDateTime(2023, 2, 3, 4, 5, 6));
  HistoryNew(2, 1, "Haus", "");
  HistoryAdd("2021", "a=Trans2,d=2021-01-01");
  EXPECT_EQ(ReadAllBytes(dir.File("Log-Firma A 2023.alg")).substr(0, 3), "\x01\r\n");
  EXPECT_GT(GetFileSize64(dir.File("Log-Firma A 2021.alg")), 0);
  EXPECT_EQ(HistoryPrefixFor(std::string(40, 'N')), "Log-" + std::string(31, 'N') + " ");
}

TEST(HistoryObjectTexts, RoundTrip) {
  struct Case {
    int cls;
    std::int32_t id;
    std::string name, back;
  } cases[] = {
      {4, 17, "Key A", "Key A"},
      {5, 123456, "M\xFC" "ller;Hans", "M\xFC" "ller,Hans"},  // ";" would end the name
      {5, 2, "a=b \"c\", d", "a=b \"c\", d"},
      {7, 1, "", ""},
      {2, 3, std::string(200, 'x'), std::string(127, 'x')},
  };
  for (const Case& c : cases) {
    std::string text = HistoryObjectText(c.cls, c.id, c.name);
    EXPECT_EQ(text.find(';', text.find("n=")), std::string::npos);
    // Through a history line as it is stored and read back.
    std::string line = BuildCommaText({"a=New", "o=" + text});
    std::int32_t id = 0;
    int cls = 0;
    std::string name;
    ASSERT_TRUE(HistoryParseObjectText(ItemOf(line, "o"), id, cls, name));
    EXPECT_EQ(cls, c.cls);
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(name, c.back);
  }
  std::int32_t id = 5;
  int cls = 5;
  std::string name = "x";
  EXPECT_FALSE(HistoryParseObjectText("junk", id, cls, name));
  EXPECT_EQ(id, 0);
  EXPECT_EQ(name, "");
  ASSERT_TRUE(HistoryParseObjectText("i=5;n=" + ScrambleStr("ADMIN"), id, cls, name));
  EXPECT_EQ(id, 5);
  EXPECT_EQ(cls, 0);
  EXPECT_EQ(name, "ADMIN");
}

TEST_F(THistoryTest, SearchMatchesWholeClassAndIdUnderAnyObjectKey) {
  auto obj = [](int c, int i) { return HistoryObjectText(c, i, "N" + std::to_string(i)); };
  const std::vector<std::string> rows = {
      BuildCommaText({"a=New", "o=" + obj(4, 1)}),                                  // 1
      BuildCommaText({"a=Trans2", "o=" + obj(14, 1), "src=" + obj(4, 11)}),         // 2
      BuildCommaText({"a=New", "o=" + obj(14, 1)}),                                 // 3
      BuildCommaText({"a=Trans3", "o=" + obj(6, 2), "dest=" + obj(4, 1)}),          // 4
      BuildCommaText({"a=Inv", "o=" + obj(5, 3), "r=see c=4;i=1; and x=c=4;i=1;"}),  // 5
      BuildCommaText({"a=New", "o=" + obj(4, 21)}),                                 // 6
  };
  for (const std::string& row : rows) HistoryAdd("2024", row);

  struct Case {
    int cls;
    std::int32_t id;
    std::vector<size_t> lines;
  } cases[] = {
      {4, 0, {1, 2, 4, 6}},
      {4, 1, {1, 4}},
      {4, 11, {2}},
      {14, 0, {2, 3}},
      {14, 1, {2, 3}},
      {1, 0, {}},
  };
  for (const Case& c : cases) {
    TQStringList found;
    HistorySearch(c.cls, c.id, found);
    ASSERT_EQ(found.Count(), static_cast<int>(c.lines.size())) << c.cls << "/" << c.id;
    for (size_t k = 0; k < c.lines.size(); ++k) {
      EXPECT_EQ(found[k], rows[c.lines[k] - 1]);
      EXPECT_EQ(found.GetObject(k), HistoryLineRef(2024, c.lines[k]));
      std::string line;
      EXPECT_TRUE(HistoryGetLine(static_cast<std::int32_t>(found.GetObject(k)), line));
      EXPECT_EQ(line, found[k]);
    }
  }
}

TEST_F(THistoryTest, ReferencesOutsideTheFilesGiveAnEmptyLine) {
  HistoryAdd("2024", "a=New");
  std::string line = "stale";
  struct Case {
    std::int32_t ref;
  } cases[] = {
      {0},
      {HistoryLineRef(1899, 1)},
      {HistoryLineRef(2024, 2)},  // beyond the file
      {HistoryLineRef(2019, 1)},  // no such file
      {-1},
  };
  for (const Case& c : cases) {
    line = "stale";
    EXPECT_FALSE(HistoryGetLine(c.ref, line)) << c.ref;
    EXPECT_EQ(line, "");
  }
  EXPECT_TRUE(HistoryGetLine(HistoryLineRef(2024, 1), line));
  EXPECT_EQ(line, "a=New");
  EXPECT_EQ(HistoryLineRef(2024, 0x80000), 0);
  EXPECT_EQ(HistoryLineRef(2024, 0x7FFFF), (2024 << 19) | 0x7FFFF);
}

TEST_F(THistoryTest, AReadFailureDoesNotStopLaterAppends) {
  HistoryNew(4, 1, "A", "");
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Read ? EIO : 0; });
    TQStringList found;
    HistorySearch(4, 0, found);
    EXPECT_EQ(found.Count(), 0);
  }
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, HistoryText(1) + "\r" + File(2024));
  EXPECT_TRUE(HistoryNew(4, 2, "B", ""));
  EXPECT_TRUE(HistoryDel(4, 1, "A"));
  EXPECT_EQ(FileLines(2024).size(), 4u);
  TQStringList found;
  HistorySearch(4, 0, found);
  EXPECT_EQ(found.Count(), 3);
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(THistoryTest, AStationRunningAcrossNewYearWritesAndSearchesTheNewFile) {
  clock.Set(EncodeDateTime(2024, 12, 31, 23, 59, 59));
  HistoryNew(4, 1, "A", "");
  TQStringList found;
  HistorySearch(4, 1, found);
  EXPECT_EQ(found.Count(), 1);

  clock.Advance(2.0 / 86400);
  HistoryRen(4, 1, "B", "A");
  EXPECT_EQ(ReadAllBytes(File(2025)).substr(0, 3), "\x01\r\n");
  EXPECT_EQ(FileLines(2024).size(), 2u);
  EXPECT_EQ(FileLines(2025).size(), 2u);
  EXPECT_EQ(HistoryYears(), (std::vector<int>{2024, 2025}));
  found.Clear();
  HistorySearch(4, 1, found);
  ASSERT_EQ(found.Count(), 2);
  EXPECT_EQ(found.GetObject(1), HistoryLineRef(2025, 1));
}

TEST_F(THistoryTest, YearsListExistingFilesUpTo15Back) {
  for (int year : {2005, 2009, 2010, 2023}) WriteAllBytes(File(year), "\x01\r\n");
  WriteAllBytes(File(2030), "\x01\r\n");  // a station with a wrong clock
  EXPECT_EQ(HistoryYears(), (std::vector<int>{2009, 2010, 2023, 2024}));
}

TEST_F(THistoryTest, TimeTravelWritesNothingAndSettingUpAgainWrites) {
  HistoryEnable(false);
  EXPECT_FALSE(HistoryNew(4, 1, "A", ""));
  EXPECT_EQ(GetFileSize64(File(2024)), -1);
  HistorySetFolder(dir.Dir());
  EXPECT_TRUE(HistoryNew(4, 1, "A", ""));
  EXPECT_EQ(FileLines(2024).size(), 2u);
}

TEST_F(THistoryTest, BufferedHistoryIsSearchedWithItsPendingLines) {
  HistorySetBuffered(true);
  HistoryNew(4, 1, "A", "");
  EXPECT_EQ(GetFileSize64(File(2024)), -1);
  TQStringList found;
  HistorySearch(4, 1, found);  // loading writes the buffer first
  EXPECT_EQ(found.Count(), 1);
  EXPECT_EQ(FileLines(2024).size(), 2u);
}

TEST_F(THistoryTest, CollectNames) {
  auto obj = [](int c, int i, const std::string& n) { return HistoryObjectText(c, i, n); };
  HistoryAdd("2024", BuildCommaText({"a=New", "o=" + obj(5, 10, "Meier")}));
  HistoryAdd("2024", BuildCommaText({"a=Trans2", "o=" + obj(4, 1, "K1"), "dest=" + obj(5, 11, "Adam")}));
  HistoryAdd("2024", BuildCommaText({"a=Ren", "o=" + obj(5, 10, "Meyer")}));
  HistoryAdd("2024", BuildCommaText({"a=New", "o=" + obj(5, 12, "Meier")}));
  HistoryAdd("2024", BuildCommaText({"a=Login", "o=" + obj(1, 0, "NoName")}));
  HistoryAdd("2023", BuildCommaText({"a=New", "o=" + obj(5, 10, "Meier")}));

  TQStringList names;
  names.SetSorted(true);
  HistoryCollectNames(5, "", names);
  ASSERT_EQ(names.Count(), 4);
  EXPECT_EQ(names[0], "Adam");
  EXPECT_EQ(names.GetObject(0), 11);
  EXPECT_EQ(names[1], "Meier");
  EXPECT_EQ(names.GetObject(1), 10);  // same name: ordered by the hex ID, "A" before "C"
  EXPECT_EQ(names[2], "Meier");
  EXPECT_EQ(names.GetObject(2), 12);
  EXPECT_EQ(names[3], "Meyer");

  HistoryCollectNames(5, "mei", names);
  EXPECT_EQ(names.Count(), 2);
  HistoryCollectNames(1, "", names);
  ASSERT_EQ(names.Count(), 1);
  EXPECT_EQ(names[0], std::string("NoName\x01") + "0");
}

TEST_F(THistoryTest, CopyToNeverDamagesAGoodCopy) {
  HistoryAdd("2023", "a=New,d=2023");
  HistoryNew(4, 1, "A", "");
  HistoryNew(4, 2, "B", "");
  TTempDir backup;
  std::string b2023 = backup.File("Log2023.alg"), b2024 = backup.File("Log2024.alg");
  WriteAllBytes(b2024, ReadAllBytes(File(2024)) + "longer than the source");
  ASSERT_TRUE(HistoryCopyTo(backup.Dir()));
  EXPECT_EQ(ReadAllBytes(b2023), ReadAllBytes(File(2023)));
  EXPECT_EQ(ReadAllBytes(b2024), ReadAllBytes(File(2024)));  // replaced, not patched

  // A later copy that fails leaves the earlier copy as it was and no temporary file.
  std::string good = ReadAllBytes(b2024);
  HistoryDel(4, 2, "B");
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Write ? ENOSPC : 0; });
    EXPECT_FALSE(HistoryCopyTo(backup.Dir()));
  }
  EXPECT_EQ(ReadAllBytes(b2024), good);
  std::vector<TListedFile> files;
  ListFiles(backup.Dir(), "*.*", files);
  EXPECT_EQ(files.size(), 2u);

  EXPECT_TRUE(HistoryCopyTo(backup.Dir() + "new/sub"));
  EXPECT_EQ(ReadAllBytes(backup.File("new/sub/Log2024.alg")), ReadAllBytes(File(2024)));
}

TEST_F(THistoryTest, ObjectTextOfTakesClassAndNameFromTheLookup) {
  EXPECT_EQ(HistoryObjectTextOf(7), "");  // nothing installed
  station.history.SetObjectLookup([](std::int32_t id, int& cls, std::string& name) {
    if (id != 7) return false;
    cls = 14;
    name = "Bund 7";
    return true;
  });
  EXPECT_EQ(HistoryObjectTextOf(7), HistoryObjectText(14, 7, "Bund 7"));
  EXPECT_EQ(HistoryObjectTextOf(8), "");
}

TEST(HistoryInstance, TwoStationsAppendToOneFile) {
  TUtcZone zone;
  TTempDir dir;
  TFixedClock clock(EncodeDateTime(2024, 1, 2));
  TClockScope clockScope(clock);
  THistoryStation a(dir), b(dir);
  a.history.New(4, 1, "A", "");
  b.history.New(4, 2, "B", "");
  a.history.Del(4, 1, "A");
  TQStringList found;
  b.history.Search(4, 0, found);
  EXPECT_EQ(found.Count(), 3);
  // The program's own history is untouched by the stations.
  EXPECT_NE(&History(), &a.history);
}
