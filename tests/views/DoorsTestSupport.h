#pragma once
// One data folder with station A working in the buildings or doors view and station B
// beside it; what counts is what a third station reads from disk afterwards.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/FramesTestSupport.h"
#include "basic/widgets/QtGlue.h"
#include "data/ClientSessionUnit.h"
#include "data/LockingRelations.h"
#include "data/MandantUnit.h"
#include "data/StoreWriteUnit.h"

struct TDoorsWorld {
  TTempDir dir;
  TStation a{"A"};
  TStation b{"B"};
  TEventRecorder ui;
  TUserInteractionScope uiScope{ui};
  THistory history{&a.registry};
  THistoryScope historyScope{history};
  TMandantState state;
  TMandantStateScope stateScope{state};

  TDoorsWorld() {
    ResetWinGlue();
    ResetSession();
    ResetVocabulary();
    DropRelationCaches();
    EXPECT_TRUE(a.Open(dir));
    EXPECT_TRUE(b.Open(dir));
    InstallNameFuncs(*a.db);
    InstallNameFuncs(*b.db);
    ClientSession().LendStore(a.db.get());
    Session().LoggedIn = true;
    Session().RightLevels.fill(rlYes);
    history.SetFolder(dir.Dir());
    MandantState().DataPath = dir.Dir();
  }
  ~TDoorsWorld() {
    ResetWinGlue();
    ResetSession();
    ResetVocabulary();
    DropRelationCaches();
  }
  int32_t Record(int cls, const std::string& name) {
    const int32_t id = a->NewNamedRecord(cls, name, "");
    EXPECT_GT(id, 0);
    EXPECT_TRUE(a->Commit());
    return id;
  }
  void Set(int32_t id, const std::string& key, const std::string& value) {
    a->SetField(id, key, value);
    EXPECT_TRUE(a->Commit());
  }
  void Link(int32_t x, int32_t y) {
    a->AddLinkBoth(x, y, a->GetClass(y), a->GetClass(x));
    EXPECT_TRUE(a->Commit());
  }
  // Station B holds a record lock on the record.
  void BHolds(int32_t id) {
    int ticket = -1;
    ASSERT_TRUE(b->Reserve(ticket));
    ASSERT_TRUE(b->LockItem(id, false, ticket));
    b->Release(ticket);
  }
  std::string HistoryText() {
    HistoryFlush();
    std::string all;
    for (int year : history.Years()) {
      const std::string name = history.FileNameOf(year);
      if (std::filesystem::exists(name)) all += ReadAllBytes(name);
    }
    return all;
  }
  // A third station's view of the data folder.
  struct TDisk {
    TStation c{"C"};
    explicit TDisk(const TTempDir& dir) {
      EXPECT_TRUE(c.Open(dir));
      InstallNameFuncs(*c.db);
    }
    TMiniDB& operator*() { return *c.db; }
    TMiniDB* operator->() { return c.db.get(); }
  };
  static std::vector<int32_t> All(TMiniDB& db, int cls) {
    TItemList ids;
    db.ListClass(cls, ids);
    return std::vector<int32_t>(ids.Items(), ids.Items() + ids.Count());
  }
  static std::vector<int32_t> Links(TMiniDB& db, int32_t id, int kind) {
    TItemList ids;
    db.ReadLinks(id, kind, ids);
    return std::vector<int32_t>(ids.Items(), ids.Items() + ids.Count());
  }
};
