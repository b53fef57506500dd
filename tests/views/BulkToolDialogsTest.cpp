// The dialogs of the locking-system and cabinet tools, the choice of a locking system and the
// special functions, driven as the user would through the dialog runner.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "ViewsTestSupport.h"
#include "app/ListFillUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "platform/PlatformFiles.h"
#include "views/KsToolFormUnit.h"
#include "views/SpecialDeleteUnit.h"

namespace {

struct TBulkDialogsTest : TViewsTest {
  void SetUp() override {
    TViewsTest::SetUp();
    ClearDialogDrivers();
    SetKeySystemName(3, "Nord");
    SetKeySystemName(5, "S\xFC" "d");
    BuildLockingSystemList();
  }
  void TearDown() override {
    EXPECT_EQ(PendingDialogDrivers(), 0);
    ClearDialogDrivers();
    for (TKeySystemCode code : {3, 5}) SetKeySystemName(code, "");
    TViewsTest::TearDown();
  }
  static int IndexOfCode(QComboBox* combo, TKeySystemCode code) {
    for (int i = 0; i < combo->count(); ++i)
      if (ComboItemId(combo, i) == code) return i;
    return -1;
  }
  static void Choose(QComboBox* combo, int32_t code) {
    const int index = IndexOfCode(combo, code);
    ASSERT_GE(index, 0) << code;
    combo->setCurrentIndex(index);
  }
  int32_t Rec(int cls, const std::string& name, TKeySystemCode ks) {
    const int32_t id = Record(cls, name);
    db().SetField(id, fkKeySystem, std::to_string(ks));
    return id;
  }
  std::string File() const { return ReadAllBytes(dir.File("Data.ada")); }
};

// The user's answers, and a click on the wait panel's cancel button at the n-th look at the
// window while a run works.
struct TCancellingUI : TRecordingInteraction {
  QPointer<QDialog> dialog;
  int cancelAt = 0, looks = 0;
  void ProcessPendingEvents() override {
    if (++looks != cancelAt || !dialog) return;
    for (TWaitPanel* panel : dialog->findChildren<TWaitPanel*>())
      if (panel->CancelButton()) panel->CancelButton()->click();
  }
};

// The locking-system tool dialog: its combos, a move from 3 to 5, and closing with OK.
TKsToolForm& KsTool(QDialog& d) { return static_cast<TKsToolForm&>(d); }
TCabinetToolForm& CabTool(QDialog& d) { return static_cast<TCabinetToolForm&>(d); }

TEST_F(TBulkDialogsTest, ChoosingALockingSystemNeedsACode) {
  // Cancelled: 0, whatever was chosen.
  QueueDialogDriver([](QDialog& d) {
    auto& form = static_cast<TKsSelForm&>(d);
    form.KsCombo->setCurrentIndex(IndexOfCode(form.KsCombo, 3));
    form.CancelBtn->click();
  });
  EXPECT_EQ(SelectKeySystem("Anlage?"), 0);

  // OK on "-" keeps the dialog open; the caption stands in the label; then a system.
  bool stayed = false;
  std::string label;
  QueueDialogDriver([&](QDialog& d) {
    auto& form = static_cast<TKsSelForm&>(d);
    label = FromQString(form.Label1->text());
    EXPECT_EQ(form.KsCombo->currentIndex(), 0);
    EXPECT_EQ(form.Chosen(), 0);
    form.OkBtn->click();
    stayed = form.result() != QDialog::Accepted;
    form.KsCombo->setCurrentIndex(IndexOfCode(form.KsCombo, 5));
    form.OkBtn->click();
  });
  EXPECT_EQ(SelectKeySystem("Welche Anlage?"), 5);
  EXPECT_TRUE(stayed);
  EXPECT_EQ(label, "Welche Anlage?");

  // The caller's code comes chosen; OK takes it.
  QueueDialogDriver([](QDialog& d) { static_cast<TKsSelForm&>(d).OkBtn->click(); });
  EXPECT_EQ(SelectKeySystem("x", 3), 3);
}

TEST_F(TBulkDialogsTest, KeySystemToolAsksFirstAndChangesOnYes) {
  std::vector<int32_t> doors;
  for (int i = 0; i < 70; ++i) doors.push_back(Rec(icDoor, "T" + std::to_string(i), 3));
  const int32_t key = Rec(icKey, "S", 3);
  ASSERT_TRUE(db().Commit());
  const std::string file = File();
  TStation b("B");
  ASSERT_TRUE(b.Open(dir));

  // The same system twice: nothing asked, the dialog stays. "No": nothing changed.
  ui.answers = {mrCancel};
  bool open = false;
  QueueDialogDriver([&](QDialog& d) {
    EXPECT_EQ(KsTool(d).KsOldCombo->currentIndex(), 0);  // "-" first
    Choose(KsTool(d).KsOldCombo, 3);
    Choose(KsTool(d).KsNewCombo, 3);
    KsTool(d).ChangeBtn->click();
    EXPECT_TRUE(ui.questions.empty());
    Choose(KsTool(d).KsNewCombo, 5);
    KsTool(d).ChangeBtn->click();
    open = d.result() != QDialog::Accepted;
  });
  EXPECT_FALSE(ExecuteKsTool());
  EXPECT_TRUE(open);
  EXPECT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(File(), file);

  // B holds a record: refused naming B, the file as it was, the dialog still open.
  ASSERT_TRUE(b->LockItem(key, false, 0));
  ui.Clear();
  ui.answers = {mrYes};
  QueueDialogDriver([&](QDialog& d) {
    Choose(KsTool(d).KsOldCombo, 3);
    Choose(KsTool(d).KsNewCombo, 5);
    KsTool(d).ChangeBtn->click();
    open = d.result() != QDialog::Accepted;
    EXPECT_TRUE(KsTool(d).ChangeBtn->isEnabled());
  });
  EXPECT_FALSE(ExecuteKsTool());
  EXPECT_TRUE(open);
  EXPECT_NE(ui.AllText().find("B"), std::string::npos);
  EXPECT_EQ(File(), file);
  ASSERT_TRUE(b->UnlockItem(key));

  // Cancelled on the panel after the first records changed: the file byte-identical, the
  // memory as the file.
  {
    TCancellingUI cancelling;
    TUserInteractionScope scope(cancelling);
    cancelling.answers = {mrYes};
    cancelling.cancelAt = 2;
    QueueDialogDriver([&](QDialog& d) {
      cancelling.dialog = &d;
      Choose(KsTool(d).KsOldCombo, 3);
      Choose(KsTool(d).KsNewCombo, 5);
      KsTool(d).ChangeBtn->click();
      EXPECT_TRUE(d.findChildren<TWaitPanel*>().isEmpty());
    });
    EXPECT_FALSE(ExecuteKsTool());
    EXPECT_GE(cancelling.looks, 2);
    EXPECT_TRUE(cancelling.messages.empty());
  }
  EXPECT_EQ(File(), file);
  EXPECT_EQ(db().ReadLineField(doors[0], fkKeySystem), "3");

  // Yes: every record moved, the message with the count, closed with OK.
  ui.Clear();
  ui.answers = {mrYes};
  QueueDialogDriver([&](QDialog& d) {
    Choose(KsTool(d).KsOldCombo, 3);
    Choose(KsTool(d).KsNewCombo, 5);
    KsTool(d).ChangeBtn->click();
  });
  EXPECT_TRUE(ExecuteKsTool());
  EXPECT_NE(ui.AllText().find("71 "), std::string::npos);
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->ReadLineField(key, fkKeySystem), "5");
  EXPECT_EQ(reader->ReadLineField(doors.back(), fkKeySystem), "5");

  // Without right 3 no dialog at all.
  Session().RightLevels[rtBuildings] = rlNo;
  EXPECT_FALSE(ExecuteKsTool());
  EXPECT_EQ(UndrivenDialogCount(), 0);
}

TEST_F(TBulkDialogsTest, CabinetToolNeedsACabinetAndGivesItToTheKeys) {
  const int32_t k1 = Rec(icKey, "S1", 3);
  const int32_t k2 = Rec(icKey, "S2", 3);
  const int32_t other = Rec(icKey, "S3", 5);
  ASSERT_TRUE(db().Commit());
  const std::string file = File();

  // No cabinet yet: refused before the question.
  QueueDialogDriver([&](QDialog& d) {
    EXPECT_EQ(CabTool(d).CabCombo->count(), 0);
    CabTool(d).ChangeBtn->click();
  });
  EXPECT_FALSE(ExecuteCabinetTool());
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_NE(ui.AllText().find(CabinetToolText(4)), std::string::npos);
  EXPECT_EQ(File(), file);

  const int32_t gone = Record(icCabinet, "Alt");
  const int32_t cab = Record(icCabinet, "Schrank");
  ASSERT_TRUE(db().MarkDeleted(gone));
  ASSERT_TRUE(db().Commit());
  ui.Clear();
  ui.answers = {mrYes};
  QueueDialogDriver([&](QDialog& d) {
    EXPECT_EQ(CabTool(d).CabCombo->count(), 1);  // the deleted cabinet is not offered
    Choose(CabTool(d).KsCombo, 3);
    Choose(CabTool(d).CabCombo, cab);
    CabTool(d).OnlyOrphansCheck->setChecked(true);
    CabTool(d).ChangeBtn->click();
  });
  EXPECT_TRUE(ExecuteCabinetTool());
  EXPECT_EQ(ui.questions.size(), 1u);
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  for (int32_t key : {k1, k2}) EXPECT_TRUE(reader->ReadHasLink(key, icCabinet, cab));
  EXPECT_FALSE(reader->ReadHasLink(other, icCabinet, cab));
}

TSpecialDeleteForm& Special(QDialog& d) { return static_cast<TSpecialDeleteForm&>(d); }

TEST_F(TBulkDialogsTest, SpecialFunctionsDeleteOnlyOnYesAndNameTheBlockingStation) {
  std::vector<int32_t> persons;
  for (int i = 0; i < 3; ++i) persons.push_back(Record(icPerson, "P" + std::to_string(i)));
  ASSERT_TRUE(db().Commit());
  const std::string file = File();
  const std::string history = HistoryBytes();
  TStation b("B");
  ASSERT_TRUE(b.Open(dir));

  std::string warning;
  QueueDialogDriver([&](QDialog& d) {
    warning = FromQString(Special(d).WarnLabel->text());
    // "No": nothing.
    ui.answers = {mrNo};
    Special(d).DeleteAllPersonsBtn->click();
    EXPECT_EQ(File(), file);
    // B holds a record: refused naming B, nothing on disk.
    ASSERT_TRUE(b->LockItem(persons[0], false, 0));
    ui.answers = {mrYes};
    Special(d).DeleteAllPersonsBtn->click();
    EXPECT_NE(ui.AllText().find("B"), std::string::npos);
    EXPECT_EQ(File(), file);
    EXPECT_TRUE(db().IsValid(persons[0]));
    ASSERT_TRUE(b->UnlockItem(persons[0]));
    // Yes: all three gone, one message with the count.
    ui.Clear();
    ui.answers = {mrYes};
    Special(d).PageControl->setCurrentIndex(2);
    Special(d).DeleteAllPersonsBtn->click();
  });
  EXPECT_TRUE(ShowSpecialFunctions());
  EXPECT_EQ(warning, SpecialDeleteText(12));
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_NE(ui.questions[0].find(ClassCaption(icPerson, true)), std::string::npos);
  EXPECT_NE(ui.AllText().find("3 " + ClassCaption(icPerson, true)), std::string::npos);
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  for (int32_t p : persons) EXPECT_FALSE(reader->IsValid(p));
  EXPECT_NE(HistoryBytes(), history);

  // The page used last comes back; closing without a run changes nothing.
  int page = -1;
  QueueDialogDriver([&](QDialog& d) { page = Special(d).PageControl->currentIndex(); });
  EXPECT_FALSE(ShowSpecialFunctions());
  EXPECT_EQ(page, 2);
}

TEST_F(TBulkDialogsTest, ASpecialFunctionCancelledOnItsPanelLeavesTheFileAsItWas) {
  std::vector<int32_t> persons;
  for (int i = 0; i < 9; ++i) persons.push_back(Record(icPerson, "P" + std::to_string(i)));
  ASSERT_TRUE(db().Commit());
  const std::string file = File();
  const std::string history = HistoryBytes();
  TCancellingUI cancelling;
  TUserInteractionScope scope(cancelling);
  cancelling.answers = {mrYes};
  cancelling.cancelAt = 2;  // after the first persons were deleted in memory
  QueueDialogDriver([&](QDialog& d) {
    cancelling.dialog = &d;
    Special(d).DeleteAllPersonsBtn->click();
    EXPECT_TRUE(Special(d).DeleteAllPersonsBtn->isEnabled());
  });
  EXPECT_FALSE(ShowSpecialFunctions());
  EXPECT_GE(cancelling.looks, 2);
  EXPECT_TRUE(cancelling.messages.empty());
  EXPECT_EQ(File(), file);
  EXPECT_EQ(HistoryBytes(), history);
  for (int32_t p : persons) EXPECT_TRUE(db().IsValid(p));
}

TEST_F(TBulkDialogsTest, CylindersForDoorsAndRedundantClosingsAsPlanned) {
  const int32_t byKey = Rec(icDoor, "T1", 3);
  const int32_t key = Rec(icKey, "S1", 3);
  db().SetField(key, fkSecondName, "a");
  db().AddLinkBoth(byKey, key, icKey, icDoor);
  const int32_t plain = Rec(icDoor, "T2", 3);
  db().SetField(plain, fkLength, "30/30");
  const int32_t noSystem = Record(icDoor, "T3");
  const int32_t withText = Rec(icDoor, "T4", 3);
  db().SetField(withText, "cyl", "Z9");
  const int32_t taken = Rec(icDoor, "T5", 3);
  const int32_t existing = Rec(icCylinder, "T5", 3);
  ASSERT_TRUE(db().Commit());

  // Named like keys: the door with one key takes the key's names; a name a cylinder has
  // already, no system, or a cylinder text: left alone.
  const std::vector<TDoorCylinder> plan = PlanCylindersForDoors(db(), true);
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(plan[0].name, "S1 a");
  EXPECT_EQ(plan[1].name, "T2");
  EXPECT_EQ(CylindersForDoors(db(), true, false, true), 2);  // counting changes nothing
  ui.answers = {2};
  QueueDialogDriver([&](QDialog& d) { Special(d).DoorsToCylsBtn->click(); });
  EXPECT_TRUE(ShowSpecialFunctions());
  EXPECT_NE(ui.AllText().find(SpecialDeleteTextFmt(6, "2")), std::string::npos);
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  const int32_t cylByKey = reader->ReadOnlyLink(byKey, icCylinder);
  const int32_t cylPlain = reader->ReadOnlyLink(plain, icCylinder);
  ASSERT_GT(cylByKey, 0);
  ASSERT_GT(cylPlain, 0);
  EXPECT_EQ(reader->ReadLineField(cylByKey, fkName), "S1 a");
  EXPECT_EQ(reader->ReadLineField(cylPlain, fkLength), "30/30");
  EXPECT_EQ(reader->ReadLineField(plain, fkLength), "");
  for (int32_t door : {noSystem, withText, taken})
    EXPECT_EQ(reader->ReadLinkCount(door, icCylinder), 0);
  EXPECT_EQ(reader->ReadLinkCount(existing, icDoor), 0);
  EXPECT_EQ(CylindersForDoors(db(), true, false, true), 0);

  // Redundant closings: the key opens T1 through the new cylinder too; the master group's
  // cylinder is reached through its subgroup. The subgroup keeps its own.
  db().AddLinkBoth(key, cylByKey, icCylinder, icKey);
  const int32_t master = Rec(icGroup, "G", 3);
  const int32_t sub = Rec(icGroup, "H", 3);
  db().AddLink(master, sub, icGroup);
  db().AddLinkBoth(master, cylPlain, icCylinder, icGroup);
  db().AddLinkBoth(sub, cylPlain, icCylinder, icGroup);
  ASSERT_TRUE(db().Commit());
  int doorLinks = 0;
  const std::vector<TClosingChange> redundant = PlanRedundantLinks(db(), &doorLinks);
  EXPECT_EQ(doorLinks, 1);
  EXPECT_EQ(redundant, (std::vector<TClosingChange>{{key, byKey, icDoor, icKey, false},
                                                    {master, cylPlain, icCylinder, icGroup, false}}));
  ui.Clear();
  QueueDialogDriver([&](QDialog& d) { Special(d).DelRedundantLinksBtn->click(); });
  EXPECT_TRUE(ShowSpecialFunctions());
  EXPECT_EQ(ui.AllText(), SpecialDeleteTextFmt(13, "1") + "\r" + SpecialDeleteTextFmt(14, "1"));
  TStation after("R2");
  ASSERT_TRUE(after.Open(dir));
  EXPECT_FALSE(after->ReadHasLink(key, icDoor, byKey));
  EXPECT_FALSE(after->ReadHasLink(byKey, icKey, key));
  EXPECT_FALSE(after->ReadHasLink(master, icCylinder, cylPlain));
  EXPECT_TRUE(after->ReadHasLink(sub, icCylinder, cylPlain));
  EXPECT_TRUE(PlanRedundantLinks(db(), nullptr).empty());
}

}  // namespace
