#include "app/FrameMotherUnit.h"

#include <QLineEdit>
#include <QListView>
#include <QAction>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolButton>

#include "FramesTestSupport.h"
#include "data/StoreWriteUnit.h"
#include "basic/widgets/QtGlue.h"

namespace {

std::vector<int32_t> Sorted(std::vector<int32_t> ids) {
  std::sort(ids.begin(), ids.end());
  return ids;
}

// A view with no window: records what the flows asked of it.
struct TFakeFlowView : IRecordFlowView {
  int32_t current = 0;
  bool editing = false;
  int rightIndex = rtPersons;
  std::vector<bool> canDelete{true, true};  // first check, check after the lock
  bool canEdit = true;
  bool canDuplicate = true;
  bool editStarts = true;
  std::vector<std::string> calls;
  std::string ready = "NES";
  std::function<bool(TStoreWrite&, int32_t)> beforeDelete;

  int32_t FlowCurrentId() const override { return current; }
  void FlowSetCurrentId(int32_t id) override { current = id; }
  bool FlowEditing() const override { return editing; }
  int FlowItemType() const override { return icPerson; }
  int FlowRightIndex() const override { return rightIndex; }
  void DiscardEdit() override { calls.push_back("DiscardEdit"); }
  void ClearDisplay() override {
    calls.push_back("ClearDisplay");
    current = 0;
  }
  void ShowRecord(int32_t id) override { calls.push_back("ShowRecord " + std::to_string(id)); }
  bool CanEdit() override { return canEdit; }
  bool StartEdit() override {
    calls.push_back("StartEdit");
    return editStarts;
  }
  bool CanDelete() override {
    calls.push_back("CanDelete");
    const bool answer = canDelete.empty() ? true : canDelete.front();
    if (!canDelete.empty()) canDelete.erase(canDelete.begin());
    return answer;
  }
  bool BeforeDelete(TStoreWrite& write, int32_t id) override {
    calls.push_back("BeforeDelete");
    return beforeDelete ? beforeDelete(write, id) : true;
  }
  bool CanDuplicate() override { return canDuplicate; }
  void FocusList() override { calls.push_back("FocusList"); }
  bool ButtonReady(char letter) const override { return ready.find(letter) != std::string::npos; }
  void ClickButton(char letter) override { calls.push_back(std::string("Click ") + letter); }
};

struct RecordFlow : TFramesTest {
  TFakeFlowView view;
  TRecordFlow flow{view};
  int refreshes = 0;
  int32_t anna = 0;

  void SetUp() override {
    TFramesTest::SetUp();
    flow.RefreshAll = [this] { ++refreshes; };
    anna = Record(icPerson, "Anna");
    view.current = anna;
  }
  bool Valid(int32_t id) {
    TStation c{"C"};
    return c.Open(dir) && c->IsValid(id);
  }
};

// ---------------------------------------------------------------------------------------
// Deleting

TEST_F(RecordFlow, DeleteCasesThatDeleteNothing) {
  const struct {
    const char* name;
    std::function<void(RecordFlow&)> arrange;
    std::vector<std::string> calls;
    int questions;
    const char* message;  // part of the last message, "" none
  } cases[] = {
      {"no record", [](RecordFlow& t) { t.view.current = 0; }, {"ClearDisplay"}, 0, ""},
      {"already deleted",
       [](RecordFlow& t) {
         t.a->SetField(t.anna, "v", "0");
         ASSERT_TRUE(t.a->Commit());
       },
       {"ClearDisplay"}, 0, "bereits gel\xF6scht"},
      {"right denied", [](RecordFlow&) { Session().RightLevels[rtPersons] = rlNo; }, {}, 0,
       ""},
      {"cannot delete", [](RecordFlow& t) { t.view.canDelete = {false}; }, {"CanDelete"}, 0, ""},
      {"answer no", [](RecordFlow& t) { t.ui.answers = {mrNo}; }, {"CanDelete"}, 1, ""},
      {"gone meanwhile",
       [](RecordFlow& t) {
         t.ui.answers = {mrYes};
         t.ui.onAsk = [&t](const std::string&) {
           TStation b{"B"};
           ASSERT_TRUE(b.Open(t.dir));
           b->SetField(t.anna, "v", "0");
           ASSERT_TRUE(b->Commit());
         };
       },
       {"CanDelete", "ClearDisplay"}, 1, "bereits gel\xF6scht"},
      {"in use meanwhile",
       [](RecordFlow& t) {
         t.ui.answers = {mrYes};
         t.view.canDelete = {true, false};
       },
       {"CanDelete", "CanDelete"}, 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    view = TFakeFlowView{};
    anna = Record(icPerson, "Anna");
    view.current = anna;
    ui.messages.clear();
    ui.questions.clear();
    ui.answers.clear();
    Session().RightLevels.fill(rlYes);
    c.arrange(*this);
    const size_t messagesBefore = ui.messages.size();
    flow.Delete();
    EXPECT_EQ(view.calls, c.calls);
    EXPECT_EQ(static_cast<int>(ui.questions.size()), c.questions);
    if (*c.message) {
      ASSERT_GT(ui.messages.size(), messagesBefore);
      EXPECT_NE(ui.messages.back().text.find(c.message), std::string::npos);
    }
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(HistoryText().find("a=Del"), std::string::npos);
    if (std::string(c.name) == "right denied") {
      EXPECT_FALSE(ui.messages.empty());
    }
    if (c.questions == 1 && std::string(c.name) != "gone meanwhile") {
      EXPECT_TRUE(Valid(anna));
    }
    // No record lock is left behind: another station can lock the record.
    TStation b{"B"};
    ASSERT_TRUE(b.Open(dir));
    int ticket = -1;
    ASSERT_TRUE(b->Reserve(ticket));
    EXPECT_TRUE(b->LockItem(anna, false, ticket));
    b->Release(ticket);
    ui.onAsk = nullptr;
  }
}

TEST_F(RecordFlow, DeleteRefusedByAnotherStationsLockNamesIt) {
  TStation b{"B"};
  ASSERT_TRUE(b.Open(dir));
  int ticket = -1;
  ASSERT_TRUE(b->Reserve(ticket));
  ASSERT_TRUE(b->LockItem(anna, false, ticket));
  b->Release(ticket);
  ui.answers = {mrYes};
  flow.Delete();
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_NE(ui.messages.back().text.find("B"), std::string::npos);
  EXPECT_TRUE(Valid(anna));
  EXPECT_EQ(refreshes, 0);
  EXPECT_EQ(view.calls, std::vector<std::string>{"CanDelete"});
}

TEST_F(RecordFlow, TheDeleteQuestionNamesAtMost255CharactersOfTheName) {
  const std::string name(300, 'N');
  view.current = Record(icPerson, name);
  ui.answers = {mrNo};
  flow.Delete();
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0], "\"" + name.substr(0, 255) + "\" wirklich l\xF6schen?");
  EXPECT_TRUE(Valid(view.current));
}

TEST_F(RecordFlow, DeleteWritesTheNameItHadAndRefreshesAllViews) {
  const int32_t door = Record(icDoor, "Tor");
  Link(anna, door);
  ui.answers = {mrYes};
  flow.Delete();
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0], "\"Anna\" wirklich l\xF6schen?");
  EXPECT_FALSE(Valid(anna));
  EXPECT_TRUE(Links(door, icPerson).empty());
  EXPECT_EQ(view.calls, (std::vector<std::string>{"CanDelete", "CanDelete", "BeforeDelete",
                                                  "ClearDisplay"}));
  EXPECT_EQ(refreshes, 1);
  const std::string lines = HistoryText();
  EXPECT_NE(lines.find("a=Del"), std::string::npos);
  EXPECT_NE(lines.find(HistoryObjectText(icPerson, anna, "Anna")), std::string::npos) << lines;
  // The record lock went with the deletion.
  TStation b{"B"};
  ASSERT_TRUE(b.Open(dir));
  int ticket = -1;
  ASSERT_TRUE(b->Reserve(ticket));
  EXPECT_TRUE(b->LockItem(anna, false, ticket));
  b->Release(ticket);
}

// Counts the saves of the store and the records each one put on disk.
struct TSaveCounter : TRecordLogHook {
  int saves = 0;
  std::vector<int32_t> saved;
  double ChangeTime() override {
    ++saves;
    return 46000.5;
  }
  std::string CopyNeeded(double) override { return ""; }
  void CopyWritten(double) override {}
  void ChangeSaved(int32_t id, const std::string&, double) override { saved.push_back(id); }
};

// The view's own change, the deletion and the links' removal are one save; the history
// line follows it.
TEST_F(RecordFlow, DeleteIsOneWriteWithTheViewsHook) {
  const int32_t door = Record(icDoor, "Tor");
  const int32_t key = Record(icKey, "K1");
  Link(anna, door);
  view.beforeDelete = [&](TStoreWrite& write, int32_t id) {
    EXPECT_EQ(id, anna);
    EXPECT_EQ(HistoryText().find("a=Del"), std::string::npos);
    if (!write.Include({key})) return false;
    a->SetField(key, "r", "back from Anna");
    return true;
  };
  TSaveCounter counter;
  a->TimebackLog = &counter;
  ui.answers = {mrYes};
  flow.Delete();
  a->TimebackLog = nullptr;
  EXPECT_EQ(view.calls,
            (std::vector<std::string>{"CanDelete", "CanDelete", "BeforeDelete", "ClearDisplay"}));
  // Every change of the delete reached the disk in one save.
  EXPECT_EQ(counter.saves, 1);
  std::vector<int32_t> saved = Sorted(counter.saved);
  saved.erase(std::unique(saved.begin(), saved.end()), saved.end());
  EXPECT_EQ(saved, Sorted({anna, door, key}));
  EXPECT_EQ(counter.saved.back(), anna);
  TStation c{"C"};
  ASSERT_TRUE(c.Open(dir));
  EXPECT_FALSE(c->IsValid(anna));
  EXPECT_EQ(c->GetField(key, "r"), "back from Anna");
  TItemList links;
  c->GetLinks(door, icPerson, links);
  EXPECT_EQ(links.Count(), 0);
  EXPECT_NE(HistoryText().find("a=Del"), std::string::npos);
  EXPECT_EQ(refreshes, 1);
}

// Any part refused: nothing is deleted, nothing of the hook stays, no history line, the
// record's lock goes back, a blocking station is named.
TEST_F(RecordFlow, DeleteIsAllOrNothing) {
  const int32_t door = Record(icDoor, "Tor");
  const int32_t key = Record(icKey, "K1");
  Link(anna, door);
  const struct {
    const char* name;
    int32_t lockedByB;       // 0: none
    bool hookIncludesKey;
    bool hookAnswer;
    std::vector<std::string> calls;
  } cases[] = {
      {"linked record held by B", door, false, true, {"CanDelete", "CanDelete"}},
      {"record of the hook held by B", key, true, true,
       {"CanDelete", "CanDelete", "BeforeDelete"}},
      {"the hook refuses", 0, false, false, {"CanDelete", "CanDelete", "BeforeDelete"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    view.calls.clear();
    view.current = anna;
    ui.messages.clear();
    TStation b{"B"};
    ASSERT_TRUE(b.Open(dir));
    if (c.lockedByB) {
      int ticket = -1;
      ASSERT_TRUE(b->Reserve(ticket));
      ASSERT_TRUE(b->LockItem(c.lockedByB, false, ticket));
      b->Release(ticket);
    }
    view.beforeDelete = [&](TStoreWrite& write, int32_t) {
      if (c.hookIncludesKey && !write.Include({key})) return false;
      a->SetField(door, "r", "hook");
      return c.hookAnswer;
    };
    ui.answers = {mrYes};
    flow.Delete();
    EXPECT_EQ(view.calls, c.calls);
    if (c.lockedByB) {
      ASSERT_FALSE(ui.messages.empty());
      EXPECT_NE(ui.messages.back().text.find("B"), std::string::npos) << ui.messages.back().text;
      EXPECT_TRUE(b->UnlockItem(c.lockedByB));
    }
    EXPECT_TRUE(a->IsValid(anna));
    EXPECT_EQ(a->GetField(door, "r"), "");
    EXPECT_EQ(Links(door, icPerson), std::vector<int32_t>{anna});
    TStation d{"D"};
    ASSERT_TRUE(d.Open(dir));
    EXPECT_TRUE(d->IsValid(anna));
    EXPECT_EQ(d->GetField(door, "r"), "");
    EXPECT_EQ(HistoryText().find("a=Del"), std::string::npos);
    EXPECT_EQ(refreshes, 0);
    // The record's lock went back.
    int ticket = -1;
    ASSERT_TRUE(d->Reserve(ticket));
    EXPECT_TRUE(d->LockItem(anna, false, ticket));
    ASSERT_TRUE(d->UnlockItem(anna));
    d->Release(ticket);
  }
}

// ---------------------------------------------------------------------------------------
// Cancelling, duplicating, command letters

TEST_F(RecordFlow, CancelOfAStoredRecordShowsItAgainAndFreesItsLock) {
  int ticket = -1;
  ASSERT_TRUE(a->Reserve(ticket));
  ASSERT_TRUE(a->LockItem(anna, false, ticket));
  a->Release(ticket);
  flow.Cancel();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"DiscardEdit", "ShowRecord " +
                                                                     std::to_string(anna),
                                                  "FocusList"}));
  TStation b{"B"};
  ASSERT_TRUE(b.Open(dir));
  ASSERT_TRUE(b->Reserve(ticket));
  EXPECT_TRUE(b->LockItem(anna, false, ticket));
  b->Release(ticket);
}

TEST_F(RecordFlow, CancelOfANewRecordClearsTheDisplay) {
  view.current = 0;
  flow.Cancel();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"ClearDisplay", "FocusList"}));
}

TEST_F(RecordFlow, DuplicateChecksTheRightFirstAndLogsTheCopy) {
  const int32_t before = a->CountClass(icPerson);
  view.editing = true;
  EXPECT_EQ(flow.Duplicate(), 0);
  view.editing = false;
  view.canDuplicate = false;
  EXPECT_EQ(flow.Duplicate(), 0);
  view.canDuplicate = true;
  Session().RightLevels[rtPersons] = rlNo;
  EXPECT_EQ(flow.Duplicate(), 0);
  EXPECT_FALSE(ui.messages.empty());  // the refusal
  EXPECT_EQ(a->CountClass(icPerson), before);
  EXPECT_TRUE(view.calls.empty());

  Session().RightLevels[rtPersons] = rlYes;
  const int32_t copy = flow.Duplicate();
  ASSERT_GT(copy, 0);
  EXPECT_EQ(view.current, copy);
  EXPECT_EQ(a->GetValidDisplayName(copy), "Anna *Kopie*");
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(view.calls, std::vector<std::string>{"StartEdit"});
  const std::string lines = HistoryText();
  EXPECT_NE(lines.find("a=New"), std::string::npos);
  EXPECT_NE(lines.find(HistoryObjectText(icPerson, copy, "Anna *Kopie*")), std::string::npos);
}

TEST_F(RecordFlow, DuplicateFailureIsReported) {
  view.current = anna + 1000;  // no such record
  EXPECT_EQ(flow.Duplicate(), 0);
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_EQ(ui.messages.back().text, "Der Datensatz konnte nicht dupliziert werden.\r"
                                     "Eventuell sind zur Zeit verkn\xFCpfte Datens\xE4tze in "
                                     "Bearbeitung.");
  EXPECT_EQ(view.current, anna + 1000);
}

TEST_F(RecordFlow, ShortcutsFollowTheButtons) {
  view.ready = "N";
  EXPECT_TRUE(flow.HandleShortcut('N'));
  EXPECT_FALSE(flow.HandleShortcut('E'));
  EXPECT_FALSE(flow.HandleShortcut('S'));
  EXPECT_FALSE(flow.HandleShortcut('X'));
  view.editing = true;  // nothing is duplicated, yet D answers true
  EXPECT_TRUE(flow.HandleShortcut('D'));
  EXPECT_EQ(view.calls, std::vector<std::string>{"Click N"});
}

// ---------------------------------------------------------------------------------------
// The frame

// A view with one name field, as the record views build them.
class TPersonFrame : public TFrameMother {
 public:
  QLineEdit* NameEdit;
  int newClicks = 0;

  explicit TPersonFrame(QWidget* owner) : TFrameMother(owner, icPerson, rtPersons) {
    NameEdit = new QLineEdit(EdPanel->widget());
    NameEdit->setReadOnly(true);
    NameEdit->installEventFilter(this);
    ListingFrame->Setup(icPerson, 0, 0, 0);
    connect(NewBtn, &QToolButton::clicked, this, [this] { ++newClicks; });
    SaveBtn->hide();
    CancelBtn->hide();
  }
  void ShowRecord(int32_t id) override {
    CurrentId = id;
    NameEdit->setText(ToQString(id ? GlueDB()->GetValidDisplayName(id) : ""));
  }
  void ClearDisplay() override {
    CurrentId = 0;
    NameEdit->clear();
    DiscardEdit();
  }
  bool StartEdit() override {
    if (CurrentId == 0) return false;
    EnterEditMode();
    return true;
  }
  void EnterEditMode() override {
    NewBtn->hide();
    EdBtn->hide();
    KillBtn->hide();
    SaveBtn->show();
    CancelBtn->show();
    NameEdit->setReadOnly(false);
    Editing = true;
  }
  void DiscardEdit() override {
    NewBtn->show();
    EdBtn->setVisible(CurrentId != 0);
    KillBtn->setVisible(CurrentId != 0);
    SaveBtn->hide();
    CancelBtn->hide();
    NameEdit->setReadOnly(true);
    Editing = false;
  }
};

struct FrameMother : TFramesTest {
  std::unique_ptr<TPersonFrame> frame;
  int32_t anna = 0;
  void SetUp() override {
    TFramesTest::SetUp();
    anna = Record(icPerson, "Anna");
    Record(icPerson, "Bert");
    frame = std::make_unique<TPersonFrame>(nullptr);
    frame->RefreshView();
  }
  void TearDown() override {
    frame.reset();
    TFramesTest::TearDown();
  }
};

TEST_F(FrameMother, ListClickShowsTheRecordAndTheLetterEFollowsTheEditButton) {
  ASSERT_EQ(frame->ListingFrame->Count(), 2);
  frame->ListingFrame->SelectFirst();
  EXPECT_EQ(frame->CurrentId, anna);
  EXPECT_EQ(FromQString(frame->NameEdit->text()), "Anna");
  frame->PrintList1->setVisible(true);  // views that print show it
  frame->ListPopupPopup();
  EXPECT_TRUE(frame->Ed1->isEnabled());
  EXPECT_TRUE(frame->PrintList1->isEnabled());

  EXPECT_TRUE(frame->HandleShortcut('E'));
  EXPECT_TRUE(frame->Editing);
  EXPECT_FALSE(frame->HandleShortcut('E'));  // the edit button is hidden while editing
  EXPECT_FALSE(frame->HandleShortcut('N'));
  EXPECT_TRUE(frame->HandleShortcut('D'));
  EXPECT_EQ(a->CountClass(icPerson), 2);  // nothing duplicated while editing
  frame->CancelBtnClick();
  EXPECT_FALSE(frame->Editing);
  EXPECT_TRUE(frame->HandleShortcut('N'));
  EXPECT_EQ(frame->newClicks, 1);
  frame->NewBtn->setEnabled(false);
  EXPECT_FALSE(frame->HandleShortcut('N'));
  EXPECT_FALSE(frame->HandleShortcut('S'));
}

TEST_F(FrameMother, ARefreshDuringAnEditKeepsTheEditedValues) {
  frame->ListingFrame->SelectFirst();
  ASSERT_TRUE(frame->StartEdit());
  frame->NameEdit->setText("Anna-Lena");
  Record(icPerson, "Carla");  // another change arrives
  frame->RefreshView();
  EXPECT_EQ(frame->ListingFrame->Count(), 3);
  EXPECT_EQ(FromQString(frame->NameEdit->text()), "Anna-Lena");
  frame->CancelBtnClick();
  EXPECT_EQ(FromQString(frame->NameEdit->text()), "Anna");
  frame->NameEdit->setText("x");
  frame->RefreshView();  // outside edit mode the record is shown afresh
  EXPECT_EQ(FromQString(frame->NameEdit->text()), "Anna");
}

TEST_F(FrameMother, TypingIntoAReadOnlyFieldGivesTheNotice) {
  EXPECT_FALSE(frame->EdKeyPress(frame->NameEdit, '#'));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(frame->EdKeyPress(frame->NameEdit, 'a'));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, WinText(1));
  frame->NameEdit->setReadOnly(false);
  EXPECT_FALSE(frame->EdKeyPress(frame->NameEdit, 'a'));
}

TEST_F(FrameMother, DeleteRefreshesEveryRegisteredView) {
  struct TCountingView : IView {
    int refreshes = 0;
    void RefreshView() override { ++refreshes; }
  } doors;
  RegisterView(pgDoors, &doors);
  RegisterView(pgPersons, &frame->GlueView());
  frame->ListingFrame->SelectFirst();
  ui.answers = {mrYes};
  frame->KillBtnClick();
  EXPECT_EQ(frame->CurrentId, 0);
  EXPECT_FALSE(a->IsValid(anna));
  EXPECT_EQ(doors.refreshes, 1);
  EXPECT_EQ(frame->ListingFrame->Count(), 1);
  UnregisterView(pgDoors, &doors);
}

TEST_F(FrameMother, HideHidesThePageTabAndStoresTheVisiblePages) {
  QTabWidget pages;
  for (int i = 0; i < kPageCount; ++i) pages.addTab(new QWidget, QString::number(i));
  WinGlue().PageControl = &pages;
  pages.setCurrentIndex(pgKeys);
  frame->PlaceIn(pages.widget(pgBuildings));
  frame->Hide1Click();
  EXPECT_FALSE(pages.isTabVisible(pgBuildings));
  EXPECT_EQ(WinGlue().ViewTab.substr(0, 1), "0");
  frame->setParent(nullptr);
  WinGlue().PageControl = nullptr;
}

}  // namespace
