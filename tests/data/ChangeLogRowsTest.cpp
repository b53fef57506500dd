#include "data/ChangeLogRowsUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MiniDBTestSupport.h"
#include "basic/DateClock.h"
#include "basic/ValueString.h"
#include "data/FieldCatalogueUnit.h"
#include "data/TimeTravelUnit.h"
#include "data/UnitTR100.h"

namespace {

const double kMarch10 = EncodeDateTime(2026, 3, 10, 12, 0, 0);

// A workstation whose store logs its changes into the month's files.
struct TChangeLogTest : ::testing::Test {
  TUtcZone zone;
  TTempDir dir;
  TScopedRecorder ui;
  TFixedClock clock{kMarch10};
  TClockScope clockScope{clock};
  TStation station{"A"};
  TTimebackLog log{&station.registry};

  void SetUp() override {
    ResetFieldCatalogue();
    ASSERT_TRUE(LoadFieldCatalogue(false, std::string(TESSARO_RESOURCE_DIR) + "/System/Fields.csv"));
    log.Setup(dir.Dir() + "TimeTravel/");
    log.CurrentUserID = [] { return 0; };
    ASSERT_TRUE(station.Open(dir));
    station->TimebackLog = &log;
    station->MonthlyCopy();
  }
  void TearDown() override {
    station->Close();
    ResetFieldCatalogue();
  }
  TMiniDB& db() { return *station.db; }
  void Step() { clock.Advance(1.0 / 1440); }

  std::vector<TChangeLogRow> Rows(const TChangeLogFilter& filter = {}) {
    TChangeList changes;
    EXPECT_EQ(RebuildChangeLogMonth(db(), NowUTC(), changes), clbOk);
    std::vector<TChangeLogRow> rows;
    int columns = 0;
    BuildChangeLogRows(changes, filter, db(), nullptr, rows, columns);
    for (const TChangeLogRow& row : rows) EXPECT_LE(static_cast<int>(row.cells.size()), columns);
    return rows;
  }
  static std::string Joined(const TChangeLogRow& row) {
    std::string text;
    for (const std::string& cell : row.cells) text += cell + "|";
    return text;
  }
};

}  // namespace

TEST_F(TChangeLogTest, FieldCaptions) {
  struct Case {
    std::string key;
    int cls;
    std::string caption;
    bool hidden, withValue;
  } cases[] = {
      {"v", 4, "Datensatz gel\xF6scht", false, false},
      {"own", 4, "Ausgabe/R\xFC" "cknahme", false, false},
      {"l6", 4, "Verkn\xFCpf. " + ClassCaption(6, false), false, true},
      {"k603", 4, "Schlie\xDFungs-Nr.", false, true},
      {"r", 3, "Bemerkung", false, true},
      // The name field by the catalogue's entry of its key: a key's "n" is the entry
      // "Name1" ("Name (Schl\xFCssel)" is the composed display name "(n12)").
      {"n", 4, "Name1", false, true},
      {"n", 3, "Name (T\xFCr)", false, true},
      {"ks", 4, "Schlie\xDF" "anlage", false, true},
      {"kt", 4, "Typ", false, true},
      {"total", 4, "Gesamtanzahl", false, true},
      {"zz9", 4, "zz9", false, true},
      {"pw", 1, "", true, true},
      {"ini", 12, "", true, true},
      {"GUID", 5, "", true, true},
  };
  for (const Case& c : cases) {
    bool hidden = false, withValue = false;
    EXPECT_EQ(ChangeFieldCaption(c.key, c.cls, hidden, withValue), c.caption) << c.key;
    EXPECT_EQ(hidden, c.hidden) << c.key;
    EXPECT_EQ(withValue, c.withValue) << c.key;
  }
}

// The month rebuilt from its copy and log: captions, " bisher" rows with old values,
// "(entfernt)", no old-value row for a record created with its name, and nothing of
// passwords, settings texts or GUIDs. The copy and the store stay as they were.
TEST_F(TChangeLogTest, RowsOfAMonth) {
  const int32_t key = db().NewNamedRecord(icKey, "K1", "");
  ASSERT_TRUE(db().Commit());
  Step();
  db().SetField(key, "r", "erste");
  db().SetField(key, "k603", "4711");
  ASSERT_TRUE(db().Commit());
  Step();
  db().SetField(key, "r", "");
  ASSERT_TRUE(db().Commit());
  Step();
  const int32_t user = db().NewNamedRecord(icUser, "ADMIN", "");
  db().SetField(user, "pw", "GeheimesWort");
  db().SetField(user, "ini", "Lang=EN");
  db().GetGUID(user, "{GUID-1234}");
  ASSERT_TRUE(db().Commit());
  Step();
  db().SetField(user, "pw", "NochGeheimer");
  ASSERT_TRUE(db().Commit());

  const std::string copyName = dir.Dir() + "TimeTravel/2026/2026-03.ada";
  const std::string copyBefore = ReadAllBytes(copyName);
  const std::string storeBefore = ReadAllBytes(dir.File("Data.ada"));

  std::vector<TChangeLogRow> rows = Rows();
  ASSERT_GE(rows.size(), 5u);
  // Created and named at once: the name under its field, no row of old values.
  EXPECT_EQ(rows[0].cells[2], " " + ClassCaption(icKey, false));
  EXPECT_EQ(rows[0].cells[3], " K1");
  EXPECT_NE(Joined(rows[0]).find("| K1|"), std::string::npos);
  EXPECT_FALSE(rows[1].second);
  EXPECT_NE(rows[0].shaded, rows[1].shaded);
  // The remark emptied: "(entfernt)" and, below, " bisher" with the old text.
  size_t removed = 0;
  for (; removed < rows.size(); ++removed)
    if (Joined(rows[removed]).find("(entfernt)") != std::string::npos) break;
  ASSERT_LT(removed + 1, rows.size());
  const TChangeLogRow& old = rows[removed + 1];
  EXPECT_TRUE(old.second);
  EXPECT_EQ(old.shaded, rows[removed].shaded);
  EXPECT_NE(Joined(old).find("| bisher| erste|"), std::string::npos);
  EXPECT_NE(Joined(rows[1]).find("Schlie\xDFungs-Nr.| 4711|"), std::string::npos);
  // Nothing of the secrets, their old values or their captions.
  for (const TChangeLogRow& row : rows) {
    const std::string text = Joined(row);
    for (const std::string secret : {"GeheimesWort", "NochGeheimer", "Lang=EN", "GUID-1234",
                                     "|pw|", "|ini|", "|GUID|"}) {
      EXPECT_EQ(text.find(secret), std::string::npos) << secret;
      EXPECT_EQ(text.find(ScrambleStr(secret)), std::string::npos) << secret;
    }
  }
  EXPECT_EQ(ReadAllBytes(copyName), copyBefore);
  EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), storeBefore);
}

TEST_F(TChangeLogTest, FiltersNarrowTheEntries) {
  const int32_t key = db().NewNamedRecord(icKey, "K1", "");
  db().SetKeySystem(key, 2);
  db().SetField(key, "k603", "A-17");
  const int32_t key2 = db().NewNamedRecord(icKey, "K2", "");
  const int32_t door = db().NewNamedRecord(icDoor, "T1", "");
  ASSERT_TRUE(db().Commit());
  db().MarkDeleted(key2);
  ASSERT_TRUE(db().Commit());
  auto ids = [&](const TChangeLogFilter& filter) {
    TChangeList changes;
    RebuildChangeLogMonth(db(), NowUTC(), changes);
    std::vector<int32_t> out;
    for (const TChangeEntry& e : changes)
      if (ChangeEntryPasses(e, filter, db())) out.push_back(e.id);
    return out;
  };
  using V = std::vector<int32_t>;
  TChangeLogFilter f;
  EXPECT_EQ(ids(f), (V{key, key2, door, key2}));
  f.cls = icKey;
  EXPECT_EQ(ids(f), (V{key, key2, key2}));
  f.availableOnly = true;
  EXPECT_EQ(ids(f), (V{key}));
  f = {};
  f.keySystem = 2;
  EXPECT_EQ(ids(f), (V{key}));
  f.keySystem = 0;
  EXPECT_EQ(ids(f), (V{key2, door, key2}));
  f = {};
  f.closing = "a-1";
  EXPECT_EQ(ids(f), (V{key}));
  f = {};
  f.recordId = door;
  EXPECT_EQ(ids(f), (V{door}));
}

TEST_F(TChangeLogTest, MonthsWithoutFiles) {
  TChangeList changes;
  EXPECT_EQ(RebuildChangeLogMonth(db(), ChangeLogMonthStep(NowUTC(), -1), changes), clbNoCopy);
  db().TimebackLog = nullptr;
  EXPECT_EQ(RebuildChangeLogMonth(db(), NowUTC(), changes), clbNoLog);
  EXPECT_TRUE(changes.empty());
}

TEST(ChangeLogMonths, StepsAcrossTheYear) {
  struct Case {
    double from;
    int delta;
    double to;
  } cases[] = {
      {EncodeDateTime(2026, 1, 15, 9), -1, EncodeDateTime(2025, 12, 31, 23, 59, 59, 999)},
      {EncodeDateTime(2025, 12, 31, 23, 59, 59, 999), 1, EncodeDateTime(2026, 1, 31, 23, 59, 59, 999)},
      {EncodeDateTime(2024, 3, 1), -1, EncodeDateTime(2024, 2, 29, 23, 59, 59, 999)},
      {EncodeDateTime(2024, 3, 31), 0, EncodeDateTime(2024, 3, 31, 23, 59, 59, 999)},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(ChangeLogMonthStep(c.from, c.delta), c.to);
  EXPECT_EQ(ChangeLogMonthCaption(EncodeDateTime(2025, 12, 31)), "Monat 12/2025");
}
