#pragma once
// Shared pieces of the view tests: one workstation whose store is the session's, logged in
// with every right, its history on the data folder, on a pinned clock; stand-ins for the
// views of other pages that record what reaches them through the glue.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QWidget>

#include "data/ClientSessionUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/DateClock.h"
#include "data/HistoryUnit.h"
#include "data/MandantUnit.h"
#include "data/MiniDBTestSupport.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "support/TestSupport.h"

// A view of another page: what the glue hands it.
struct TStandInView : IView {
  std::vector<int32_t> shown;
  std::vector<std::pair<int, int32_t>> calls;
  bool editing = false;
  int32_t current = 0;
  void ShowItem(int32_t id) override {
    shown.push_back(id);
    current = id;
  }
  void ViewCall(int command, int32_t id) override { calls.emplace_back(command, id); }
  bool Editing() const override { return editing; }
  int32_t CurrentItemId() const override { return current; }
};

struct TViewsTest : ::testing::Test {
  TUtcZone zone;
  TTempDir dir;
  TFixedClock clock{EncodeDateTime(2024, 6, 1, 12, 0, 0)};
  TClockScope clockScope{clock};
  TScopedRecorder ui;
  TStation a{"A"};
  THistory history{&a.registry};
  THistoryScope historyScope{history};
  TMandantState state;
  TMandantStateScope stateScope{state};

  void SetUp() override {
    ResetViewRegistry();
    ResetWinGlue();
    ResetSession();
    ResetVocabulary();
    ASSERT_TRUE(a.Open(dir));
    ClientSession().LendStore(a.db.get());
    Session().LoggedIn = true;
    Session().RightLevels.fill(rlYes);
    history.SetFolder(dir.Dir());
  }
  void TearDown() override {
    ResetViewRegistry();
    ResetWinGlue();
    ResetSession();
    ResetVocabulary();
  }
  TMiniDB& db() { return *a.db; }
  int32_t Record(int cls, const std::string& name) {
    const int32_t id = db().NewNamedRecord(cls, name, "");
    EXPECT_GT(id, 0);
    return id;
  }
  std::string Obj(int32_t id) {
    return HistoryObjectText(db().GetClass(id), id, db().GetDisplayName(id));
  }
  // Every year file's bytes, to see that viewing leaves them alone.
  std::string HistoryBytes() {
    std::string all;
    for (int year : history.Years()) all += ReadAllBytes(history.FileNameOf(year)) + "|";
    return all;
  }
};
