#pragma once
// Shared pieces of the frame tests: one workstation whose store is the session's, a
// message recorder whose event processing can act (a user typing while a list fills), and
// a history on the data folder.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/UnitTR100Win.h"
#include "data/ClientSessionUnit.h"
#include "data/HistoryUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBTestSupport.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "support/TestSupport.h"

// A recorder whose ProcessPendingEvents runs the queued actions, one per call, as events
// that arrive while the program waits.
class TEventRecorder : public TRecordingInteraction {
 public:
  std::vector<std::function<void()>> events;
  std::function<void(const std::string&)> onAsk;

  void ProcessPendingEvents() override {
    ++pendingEventCalls;
    if (events.empty()) return;
    std::function<void()> next = std::move(events.front());
    events.erase(events.begin());
    next();
  }
  int Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) override {
    if (onAsk) onAsk(text);
    return TRecordingInteraction::Ask(kind, text, buttons);
  }
};

struct TFramesTest : ::testing::Test {
  TTempDir dir;
  TStation a{"A"};
  TEventRecorder ui;
  TUserInteractionScope uiScope{ui};
  THistory history{&a.registry};
  THistoryScope historyScope{history};

  void SetUp() override {
    ResetWinGlue();
    ResetSession();
    ResetVocabulary();
    DropRelationCaches();
    ASSERT_TRUE(a.Open(dir));
    ClientSession().LendStore(a.db.get());
    Session().LoggedIn = true;
    Session().RightLevels.fill(rlYes);
    history.SetFolder(dir.Dir());
  }
  void TearDown() override {
    ResetWinGlue();
    ResetSession();
    ResetVocabulary();
    DropRelationCaches();
  }

  int32_t Record(int cls, const std::string& name) {
    const int32_t id = a->NewNamedRecord(cls, name, "");
    EXPECT_GT(id, 0);
    return id;
  }
  void Link(int32_t x, int32_t y) {
    a->AddLinkBoth(x, y, a->GetClass(y), a->GetClass(x));
    ASSERT_TRUE(a->Commit());
  }
  std::vector<int32_t> Links(int32_t id, int kind) {
    TItemList list;
    a->GetLinks(id, kind, list);
    return std::vector<int32_t>(list.Items(), list.Items() + list.Count());
  }
  // Every history line written so far.
  std::string HistoryText() {
    std::string all;
    for (int year : history.Years()) {
      const std::string name = history.FileNameOf(year);
      if (std::filesystem::exists(name)) all += ReadAllBytes(name);
    }
    return all;
  }
};
