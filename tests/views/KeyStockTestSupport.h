#pragma once
// Shared pieces of the deadline, split and stock-list tests: workstation A is the program's
// (its store is the session's), workstation B a second one on the same data folder; the
// clock stands on 2024-06-15 noon (UTC), dates are shown as dd.MM.yyyy.

#include <string>
#include <vector>

#include "app/FramesTestSupport.h"
#include "basic/DateClock.h"
#include "basic/widgets/DialogRunner.h"
#include "data/HolderUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"

struct TKeyStockTest : TFramesTest {
  TUtcZone utc;
  TFixedClock clock{EncodeDateTime(2024, 6, 15, 12)};
  TClockScope clockScope{clock};
  TStation b{"B"};
  std::string dateFormat = DateFormatText();

  void SetUp() override {
    TFramesTest::SetUp();
    SetDateFormat("dd.MM.yyyy");
    InstallNameFuncs(*a.db);
    ASSERT_TRUE(b.Open(dir));
  }
  void TearDown() override {
    SetDateFormat(dateFormat);
    TFramesTest::TearDown();
  }

  // The date `days` from today, as stored ("YYYY-MM-DD").
  static std::string Iso(int days) {
    TPackedDate date = TodayPacked();
    for (int i = 0; i < days; ++i) date = NextDay(date);
    for (int i = 0; i > days; --i) date = PrevDay(date);
    return PackedDateToIsoStr(date);
  }
  static std::string Shown(const std::string& iso) { return IsoDateToLocalStr(iso); }

  void Set(int32_t id, const std::string& field, const std::string& value) {
    a->SetField(id, field, value);
    ASSERT_TRUE(a->Commit());
  }
  int32_t Person(const std::string& name, const std::string& dept = "",
                 const std::string& number = "") {
    const int32_t id = Record(icPerson, name);
    if (!dept.empty()) a->SetField(id, fkDepartment, dept);
    if (!number.empty()) a->SetField(id, fkPersonNumber, number);
    EXPECT_TRUE(a->Commit());
    return id;
  }
  // A key with its holder lines, linked with its person and bunch holders.
  int32_t KeyHeld(const std::string& name, const std::vector<std::string>& lines) {
    const int32_t key = Record(icKey, name);
    std::string own;
    for (const std::string& line : lines) own += (own.empty() ? "" : ";") + line;
    a->SetField(key, fkHolders, own);
    EXPECT_TRUE(a->Commit());
    for (const THolderEntry& e : ParseHolderEntries(own, key, false))
      if (const int cls = HolderClassOfKind(e.Kind); cls != 0 && a->HasRecord(e.HolderId))
        Link(key, e.HolderId);
    return key;
  }
  // What station B reads now.
  std::string FieldAtB(int32_t id, const std::string& field) {
    b->Load();
    return b->ReadLineField(id, field);
  }
  std::string FieldOnDisk(int32_t id, const std::string& field) {
    TStation c{"C"};
    EXPECT_TRUE(c.Open(dir));
    return c->ReadLineField(id, field);
  }
};
