#include "app/LinkingFrameUnit.h"

#include <QComboBox>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>

#include <stdexcept>

#include "FramesTestSupport.h"
#include "basic/ValueString.h"
#include "data/StoreWriteUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/QtGlue.h"

namespace {

struct TRowView {
  std::string text;
  bool ticked;
  bool operator==(const TRowView&) const = default;
};
std::ostream& operator<<(std::ostream& os, const TRowView& r) {
  return os << "{" << r.text << (r.ticked ? ", x}" : ", -}");
}

std::vector<TRowView> Rows(const TItemListModel& model) {
  std::vector<TRowView> out;
  for (int i = 0; i < model.Count(); ++i) out.push_back({model.Row(i).text, model.Checked(i)});
  return out;
}

std::vector<int32_t> Sorted(std::vector<int32_t> ids) {
  std::sort(ids.begin(), ids.end());
  return ids;
}

void Tick(TLinkingFrame& frame, int32_t id, bool on) {
  const int row = frame.CheckModel->RowOfId(id);
  ASSERT_GE(row, 0) << id;
  // As the user's click does: through the model's check role.
  frame.CheckModel->setData(frame.CheckModel->index(row), on ? Qt::Checked : Qt::Unchecked,
                            Qt::CheckStateRole);
}

struct LinkingFrame : TFramesTest {
  TLinkingFrame frame{nullptr};
  int32_t b1 = 0, b2 = 0, alpha = 0, beta = 0, gamma = 0, key = 0;

  void SetUp() override {
    TFramesTest::SetUp();
    frame.resize(300, 400);
    b1 = Record(icBuilding, "Haus 1");
    b2 = Record(icBuilding, "Haus 2");
    alpha = Record(icDoor, "Alpha");
    beta = Record(icDoor, "Beta");
    gamma = Record(icDoor, "Gamma");
    key = Record(icKey, "Schluessel");
    Link(alpha, b1);
    Link(beta, b1);
    Link(gamma, b2);
    Link(key, alpha);
    frame.LinkedType = icDoor;
    frame.SetOwner(key, 0);
  }
  void Edit() {
    frame.ShowHouseFilter = true;
    frame.FillHouseCombo();
    frame.ShowCheckList();
    frame.StartEdit(0);
  }
  void ChooseBuilding(int32_t building) {
    frame.HouseCombo->setCurrentIndex(frame.HouseCombo->findData(QVariant(building)));
    frame.HouseComboSelect();
  }
};

TEST_F(LinkingFrame, ViewModeListsTheLinksAndMarksTheTab) {
  QTabWidget tabs;
  auto* page = new QWidget;
  tabs.addTab(page, ToQString("T\xFCren"));
  frame.setParent(page);
  frame.LoadLinks();
  EXPECT_EQ(Rows(*frame.ListModel), (std::vector<TRowView>{{"Alpha", false}}));
  EXPECT_EQ(FromQString(tabs.tabText(0)), "T\xFCren \x95");
  frame.LoadLinks();  // never marked twice
  EXPECT_EQ(FromQString(tabs.tabText(0)), "T\xFCren \x95");
  frame.SetOwner(Record(icKey, "Leer"), 0);
  frame.LoadLinks();
  EXPECT_EQ(FromQString(tabs.tabText(0)), "T\xFCren");
  frame.setParent(nullptr);
}

TEST_F(LinkingFrame, AFrameThatIsTheTabItselfMarksIt) {
  QTabWidget tabs;
  tabs.addTab(new QWidget, ToQString("Untergruppen"));
  tabs.addTab(&frame, ToQString("T\xFCren"));
  frame.LoadLinks();
  EXPECT_EQ(FromQString(tabs.tabText(1)), "T\xFCren \x95");
  EXPECT_EQ(FromQString(tabs.tabText(0)), "Untergruppen");
  tabs.removeTab(1);
  frame.setParent(nullptr);
}

TEST(MarkedCaption, SetsAndRemovesTheBulletOnce) {
  const struct {
    const char* caption;
    bool on;
    const char* expected;
  } cases[] = {{"Keys", true, "Keys \x95"},   {"Keys \x95", true, "Keys \x95"},
               {"Keys \x95", false, "Keys"},  {"Keys", false, "Keys"},
               {"Keys\x95", true, "Keys \x95"}, {"", true, " \x95"}};
  for (const auto& c : cases) EXPECT_EQ(MarkedCaption(c.caption, c.on), c.expected) << c.caption;
}

TEST_F(LinkingFrame, TicksSurviveSearchAndBuildingChangesIncludingHiddenOnes) {
  Edit();
  EXPECT_TRUE(frame.CheckListShown());
  EXPECT_TRUE(frame.SelectAllBtn->isEnabled());
  EXPECT_EQ(Rows(*frame.CheckModel),
            (std::vector<TRowView>{{"Alpha", true}, {"Beta", false}, {"Gamma", false}}));
  Tick(frame, gamma, true);

  frame.SeekCombo->setEditText("Beta");  // Alpha and Gamma are hidden now, still ticked
  EXPECT_EQ(Rows(*frame.CheckModel), (std::vector<TRowView>{{"Beta", false}}));
  Tick(frame, beta, true);
  ChooseBuilding(b2);
  EXPECT_TRUE(Rows(*frame.CheckModel).empty());
  frame.SeekCombo->setEditText("");
  EXPECT_EQ(Rows(*frame.CheckModel), (std::vector<TRowView>{{"Gamma", true}}));
  Tick(frame, gamma, false);
  ChooseBuilding(0);
  EXPECT_EQ(Rows(*frame.CheckModel),
            (std::vector<TRowView>{{"Alpha", true}, {"Beta", true}, {"Gamma", false}}));

  frame.SelectNoneBtnClick();
  frame.SyncTicks();
  EXPECT_EQ(frame.LinkedIds.Count(), 0);
  frame.SelectAllBtnClick();
  frame.SyncTicks();
  EXPECT_EQ(Sorted({frame.LinkedIds.Items(), frame.LinkedIds.Items() + frame.LinkedIds.Count()}),
            (std::vector<int32_t>{alpha, beta, gamma}));

  ASSERT_TRUE(frame.SaveLinks(key, icKey));
  EXPECT_EQ(Sorted(Links(key, icDoor)), (std::vector<int32_t>{alpha, beta, gamma}));
  EXPECT_EQ(Links(gamma, icKey), std::vector<int32_t>{key});
  EXPECT_TRUE(ui.questions.empty());
}

TEST_F(LinkingFrame, UnticksRemoveBothDirectionsAndThePresetIsTicked) {
  Edit();
  frame.StartEdit(beta);
  EXPECT_EQ(Rows(*frame.CheckModel),
            (std::vector<TRowView>{{"Alpha", true}, {"Beta", true}, {"Gamma", false}}));
  Tick(frame, alpha, false);
  ASSERT_TRUE(frame.SaveLinks(key, icKey));
  EXPECT_EQ(Links(key, icDoor), std::vector<int32_t>{beta});
  EXPECT_TRUE(Links(alpha, icKey).empty());
  EXPECT_EQ(Links(beta, icKey), std::vector<int32_t>{key});
  // In view mode there is nothing to store.
  frame.ShowList(false);
  EXPECT_TRUE(frame.SaveLinks(key, icKey));
  EXPECT_FALSE(frame.SaveLinks(0, icKey));
}

TEST_F(LinkingFrame, SavingKeepsTheEditLockAndLinksNoRecordDeletedMeanwhile) {
  int ticket = -1;
  ASSERT_TRUE(a->Reserve(ticket));
  ASSERT_TRUE(a->LockItem(key, false, ticket));  // the keys view edits the key
  a->Release(ticket);
  Edit();
  Tick(frame, beta, true);
  {
    TStation b{"B"};
    ASSERT_TRUE(b.Open(dir));
    b->SetField(beta, "v", "0");
    ASSERT_TRUE(b->Commit());
  }
  ASSERT_TRUE(frame.SaveLinks(key, icKey));
  EXPECT_EQ(Links(key, icDoor), std::vector<int32_t>{alpha});
  EXPECT_TRUE(Links(beta, icKey).empty());
  // The key is still this station's: the write gave back only the locks it took.
  TStation b{"B"};
  ASSERT_TRUE(b.Open(dir));
  ASSERT_TRUE(b->Reserve(ticket));
  EXPECT_FALSE(b->LockItem(key, false, ticket));  // refused: gives the reservation back
  ASSERT_TRUE(b->Reserve(ticket));
  EXPECT_TRUE(b->LockItem(gamma, false, ticket));
  b->Release(ticket);
}

// Counts the saves of the store.
struct TSaveCounter : TRecordLogHook {
  int saves = 0;
  double ChangeTime() override {
    ++saves;
    return 46000.5;
  }
  std::string CopyNeeded(double) override { return ""; }
  void CopyWritten(double) override {}
  void ChangeSaved(int32_t, const std::string&, double) override {}
};

// A view that saves its fields and its link ticks together: the ticks go into the view's
// own write, one save for all.
TEST_F(LinkingFrame, TicksAppliedInTheCallersWriteAreSavedWithItsChange) {
  Edit();
  Tick(frame, alpha, false);
  Tick(frame, beta, true);
  const TLinkChange change = frame.PrepareLinks(key, icKey);
  TSaveCounter counter;
  a->TimebackLog = &counter;
  {
    std::vector<int32_t> records = LinkChangeRecords(*a.db, change);
    EXPECT_EQ(Sorted(records), Sorted({key, alpha, beta}));
    TStoreWrite write(*a.db, records);
    ASSERT_TRUE(write.Ok());
    a->SetField(key, "r", "renamed");
    ASSERT_TRUE(ApplyLinkChange(write, *a.db, change));
    ASSERT_TRUE(write.Commit());
  }
  a->TimebackLog = nullptr;
  EXPECT_EQ(counter.saves, 1);
  TStation c{"C"};
  ASSERT_TRUE(c.Open(dir));
  EXPECT_EQ(c->GetField(key, "r"), "renamed");
  TItemList doors, keysOfAlpha;
  c->GetLinks(key, icDoor, doors);
  ASSERT_EQ(doors.Count(), 1);
  EXPECT_EQ(doors.Get(0), beta);
  c->GetLinks(alpha, icKey, keysOfAlpha);
  EXPECT_EQ(keysOfAlpha.Count(), 0);
}

// A second station holding a record of the change refuses the caller's whole write: one it
// holds from the start, and one it linked to the key after the change was prepared.
TEST_F(LinkingFrame, TicksAppliedInTheCallersWriteAreRefusedWithItsChange) {
  const struct {
    const char* name;
    bool linkGammaFirst;  // B links the key with gamma after the change was prepared
    int32_t held;         // the record B holds
    bool writeOk;         // refused by the write itself, else by ApplyLinkChange
  } cases[] = {{"a wanted record", false, beta, false},
               {"a record linked meanwhile", true, gamma, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Edit();
    Tick(frame, beta, true);
    const TLinkChange change = frame.PrepareLinks(key, icKey);
    const std::vector<int32_t> records = LinkChangeRecords(*a.db, change);
    TStation b{"B"};
    ASSERT_TRUE(b.Open(dir));
    if (c.linkGammaFirst) {
      b->AddLinkBoth(key, gamma, icDoor, icKey);
      ASSERT_TRUE(b->Commit());
    }
    int ticket = -1;
    ASSERT_TRUE(b->Reserve(ticket));
    ASSERT_TRUE(b->LockItem(c.held, false, ticket));
    b->Release(ticket);
    {
      TStoreWrite write(*a.db, records);
      EXPECT_EQ(write.Ok(), c.writeOk);
      if (write.Ok()) {
        a->SetField(key, "r", "renamed");
        EXPECT_FALSE(ApplyLinkChange(write, *a.db, change));
        EXPECT_EQ(write.Blocking(), "B");
      } else {
        EXPECT_EQ(write.Blocking(), "B");
      }
    }
    TStation d{"D"};
    ASSERT_TRUE(d.Open(dir));
    EXPECT_EQ(d->GetField(key, "r"), "");
    EXPECT_EQ(a->GetField(key, "r"), "");
    TItemList betaKeys;
    d->GetLinks(beta, icKey, betaKeys);
    EXPECT_EQ(betaKeys.Count(), 0);
    EXPECT_FALSE(a->HasLink(key, icDoor, beta));
    ASSERT_TRUE(b->UnlockItem(c.held));
  }
}

TEST_F(LinkingFrame, GroupLinksAreStoredOnTheParentOnly) {
  const int32_t parent = Record(icGroup, "Obergruppe");
  const int32_t child = Record(icGroup, "Untergruppe");
  frame.LinkedType = icGroup;
  frame.SetOwner(parent, 0);
  frame.ShowCheckList();
  frame.StartEdit(child);
  EXPECT_EQ(Rows(*frame.CheckModel), (std::vector<TRowView>{{"Untergruppe", true}}));  // not itself
  ASSERT_TRUE(frame.SaveLinks(parent, icGroup));
  EXPECT_EQ(Links(parent, icGroup), std::vector<int32_t>{child});
  EXPECT_TRUE(Links(child, icGroup).empty());
}

TEST_F(LinkingFrame, GeneralMasterKeyShowsOneLineThatCannotBeTickedAndStoresNothing) {
  ASSERT_TRUE(SetKeySystemName(1, "Haupt"));
  a->SetField(key, "kt", "5");
  a->SetField(key, "ks", "1");
  ASSERT_TRUE(a->Commit());
  frame.LoadLinks();
  EXPECT_TRUE(frame.GeneralMaster());
  EXPECT_EQ(Rows(*frame.ListModel), (std::vector<TRowView>{{"alle von Haupt", false}}));
  EXPECT_EQ(frame.ListModel->IdAt(0), 0);
  EXPECT_FALSE(frame.ListModel->flags(frame.ListModel->index(0)) & Qt::ItemIsUserCheckable);
  EXPECT_EQ(frame.LinkedIds.Count(), 0);

  frame.ShowCheckList();
  frame.StartEdit(beta);
  EXPECT_FALSE(frame.CheckListShown());
  EXPECT_EQ(Rows(*frame.ListModel), (std::vector<TRowView>{{"alle von Haupt", false}}));
  EXPECT_TRUE(frame.SaveLinks(key, icKey));
  EXPECT_EQ(Links(key, icDoor), std::vector<int32_t>{alpha});  // untouched
}

TEST_F(LinkingFrame, NamingFunctionIsSwitchedOffWithinABuildingAndComesBack) {
  static constexpr TNameFunc2 decorated = [](const TMiniDB&, int32_t, const TQStringList& fields,
                                             uint8_t, std::string& text) {
    text = "Tuer " + UnscrambleStr(fields.Value("n"));
  };
  a->SetNameFunc(icDoor, decorated);
  Edit();
  EXPECT_EQ(frame.CheckModel->Row(0).text, "Tuer Alpha");
  ChooseBuilding(b1);
  EXPECT_EQ(Rows(*frame.CheckModel), (std::vector<TRowView>{{"Alpha", true}, {"Beta", false}}));
  EXPECT_EQ(a->NameFunc2[icDoor], decorated);
  EXPECT_EQ(a->GetDisplayName(alpha), "Tuer Alpha");

  // The guard puts the function back however its scope ends.
  try {
    TNameFuncSwitch plain(*a.db, icDoor, nullptr);
    EXPECT_EQ(a->NameFunc2[icDoor], nullptr);
    throw std::runtime_error("leave");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(a->NameFunc2[icDoor], decorated);
}

// A split cylinder: the mother and two daughters.
struct LinkingSplit : LinkingFrame {
  int32_t mother = 0, d1 = 0, d2 = 0;
  void SetUp() override {
    LinkingFrame::SetUp();
    mother = Record(icCylinder, "Zyl");
    d1 = Record(icCylinder, "Zyl");
    d2 = Record(icCylinder, "Zyl");
    a->LinkClass10(d1, mother);
    a->LinkClass10(d2, mother);
    ASSERT_TRUE(a->Commit());
    Link(mother, alpha);
    Link(d1, alpha);
    Link(d2, alpha);
    frame.SetOwner(d1, 0);
    frame.ShowCheckList();
    frame.StartEdit(0);
    Tick(frame, beta, true);
  }
};

TEST_F(LinkingSplit, YesStoresOnMotherAndAllDaughters) {
  ui.answers = {mrYes};
  ASSERT_TRUE(frame.SaveLinks(d1, icCylinder));
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0], "Sollen die Verkn\xFCpfungen zu: " + ClassCaption(icDoor, true) +
                                 "\rauf alle Mutter-/Tochter-Datens\xE4tze \xFC" "bertragen werden?");
  for (int32_t id : {mother, d1, d2})
    EXPECT_EQ(Sorted(Links(id, icDoor)), Sorted({alpha, beta})) << id;
  EXPECT_EQ(Sorted(Links(beta, icCylinder)), Sorted({mother, d1, d2}));
}

TEST_F(LinkingSplit, NoStoresOnTheShownRecordOnly) {
  ui.answers = {mrNo};
  ASSERT_TRUE(frame.SaveLinks(d1, icCylinder));
  EXPECT_EQ(Sorted(Links(d1, icDoor)), Sorted({alpha, beta}));
  EXPECT_EQ(Links(mother, icDoor), std::vector<int32_t>{alpha});
  EXPECT_EQ(Links(d2, icDoor), std::vector<int32_t>{alpha});
}

TEST_F(LinkingSplit, ABlockedDaughterChangesNothingAndNamesTheStation) {
  TStation b{"B"};
  ASSERT_TRUE(b.Open(dir));
  int ticket = -1;
  ASSERT_TRUE(b->Reserve(ticket));
  ASSERT_TRUE(b->LockItem(d2, false, ticket));
  b->Release(ticket);

  ui.answers = {mrYes};
  EXPECT_FALSE(frame.SaveLinks(d1, icCylinder));
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_NE(ui.messages.back().text.find("B"), std::string::npos) << ui.messages.back().text;
  for (int32_t id : {mother, d1, d2}) EXPECT_EQ(Links(id, icDoor), std::vector<int32_t>{alpha});
  EXPECT_TRUE(Links(beta, icCylinder).empty());
  // On disk too.
  TStation c{"C"};
  ASSERT_TRUE(c.Open(dir));
  for (int32_t id : {mother, d1, d2}) {
    TItemList onDisk;
    c->GetLinks(id, icDoor, onDisk);
    EXPECT_EQ(onDisk.Count(), 1);
    EXPECT_EQ(onDisk.Get(0), alpha);
  }
}

}  // namespace
