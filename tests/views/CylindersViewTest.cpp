// The cylinders view on two workstations sharing one data folder: what a save, a retirement
// and its undo leave on disk.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include "DoorsTestSupport.h"
#include "ViewsTestSupport.h"
#include "app/LinkingFrameUnit.h"
#include "app/ListFillUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "data/HolderUnit.h"
#include "data/StockUnit.h"
#include "views/FrameCylsUnit.h"

namespace {

struct TCylsWorld : TDoorsWorld {
  std::unique_ptr<TFrameCyls> view;
  TCylsWorld() {
    SetKeySystemName(3, "Nord");
    SetKeySystemName(4, "Sued");
    view = std::make_unique<TFrameCyls>(nullptr);
    ui.Clear();
  }
  ~TCylsWorld() { view.reset(); }
  void TypeNew(const std::string& name, const std::string& name2, int32_t system) {
    view->NewBtnClick();
    view->NameEd->setText(ToQString(name));
    view->Name2Ed->setText(ToQString(name2));
    SelectComboObject(view->KeysystemCombo, system);
  }
  static void Tick(TLinkingFrame* frame, int32_t id) {
    const int row = frame->CheckModel->RowOfId(id);
    ASSERT_GE(row, 0);
    frame->CheckModel->SetChecked(row, true);
  }
  std::vector<std::string> Own(int32_t id) {
    return SplitHolderLines(TDisk(dir)->GetField(id, fkHolders));
  }
};

// The list is titled as a list of cylinders.
TEST(CylindersViewEdit, TheListIsTitledAsTheCylinders) {
  TCylsWorld w;
  EXPECT_EQ(FromQString(w.view->ListingFrame->CaptionLabel->text()), "Zylinder-Liste");
}

TEST(CylindersViewSave, ListedNamesAreUniquePerSystem) {
  TCylsWorld w;
  struct TCase {
    const char* name;
    const char* name2;
    int32_t system;
    bool saved;
  } cases[] = {
      {"Z1", "", 3, true},     {"Z1", "", 4, true},  // the same name in another system
      {"Z1", "a", 3, true},                          // "Z1 [a]" beside "Z1"
      {" z1 ", "", 3, false},                        // the same listed name in one system
      {"Z1", " a ", 3, false},
  };
  for (const TCase& c : cases) {
    w.TypeNew(c.name, c.name2, c.system);
    const int32_t last = w.a->LastID;
    EXPECT_EQ(w.view->SaveBtnClick(), c.saved) << c.name << "|" << c.name2 << w.ui.AllText();
    if (!c.saved) {
      EXPECT_NE(w.ui.AllText().find("Es gibt bereits einen Zylinder mit diesem Namen."),
                std::string::npos);
      EXPECT_TRUE(w.view->Editing);
      EXPECT_EQ(TDoorsWorld::TDisk(w.dir)->LastID, last) << "no record made";
      w.view->CancelBtnClick();
    }
    w.ui.Clear();
  }
  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_EQ(TDoorsWorld::All(*disk, icCylinder).size(), 3u);

  // An old "total" goes, the count is "ccnt", the lock kind is stored as typed.
  const int32_t cyl = TDoorsWorld::All(*disk, icCylinder).front();
  w.Set(cyl, fkTotal, "7");
  w.view->ShowRecord(cyl);
  EXPECT_EQ(FromQString(w.view->TotalEd->text()), "7");
  ASSERT_TRUE(w.view->StartEdit());
  w.view->TotalEd->setText(" 5 ");
  w.view->LockTypCombo->setEditable(true);
  w.view->LockTypCombo->setEditText(" Q ");
  w.view->LockNrEd->setText(" 12 ");
  ASSERT_TRUE(w.view->SaveBtnClick()) << w.ui.AllText();
  TDoorsWorld::TDisk after(w.dir);
  EXPECT_EQ(after->GetField(cyl, fkTotal), "");
  EXPECT_EQ(after->GetField(cyl, fkCylinderCount), "5");
  EXPECT_EQ(after->GetField(cyl, "k605"), " Q ");
  EXPECT_EQ(after->GetField(cyl, "k603"), "12");
  EXPECT_EQ(w.HistoryText(), "") << "saving a cylinder writes no history";
}

TEST(CylindersViewSave, FieldsAndLinksAreOneWrite) {
  TCylsWorld w;
  const int32_t door = w.Record(icDoor, "T1");
  const int32_t group = w.Record(icGroup, "G1");
  const int32_t key = w.Record(icKey, "K1");
  w.TypeNew("Z9", "", 0);
  for (auto [frame, id] :
       {std::pair{w.view->LinkDoorsFrame, door}, std::pair{w.view->LinkGroupsFrame, group},
        std::pair{w.view->LinkKeysFrame, key}}) {
    w.view->LinkFrameEdBtnClick(frame);
    TCylsWorld::Tick(frame, id);
  }
  // B holds the door: refused, B named, nothing made, still editing.
  w.BHolds(door);
  const int32_t last = w.a->LastID;
  EXPECT_FALSE(w.view->SaveBtnClick());
  EXPECT_NE(w.ui.AllText().find("B"), std::string::npos) << w.ui.AllText();
  EXPECT_TRUE(w.view->Editing);
  {
    TDoorsWorld::TDisk disk(w.dir);
    EXPECT_EQ(disk->LastID, last);
    EXPECT_TRUE(TDoorsWorld::Links(*disk, door, icCylinder).empty());
    EXPECT_TRUE(TDoorsWorld::Links(*disk, group, icCylinder).empty());
  }
  ASSERT_TRUE(w.b->UnlockItem(door));
  ASSERT_TRUE(w.view->SaveBtnClick()) << w.ui.AllText();
  TDoorsWorld::TDisk disk(w.dir);
  const int32_t cyl = w.view->CurrentId;
  EXPECT_EQ(disk->ReadName(cyl), "Z9");
  EXPECT_EQ(TDoorsWorld::Links(*disk, cyl, icDoor), std::vector<int32_t>{door});
  EXPECT_EQ(TDoorsWorld::Links(*disk, door, icCylinder), std::vector<int32_t>{cyl});
  EXPECT_EQ(TDoorsWorld::Links(*disk, group, icCylinder), std::vector<int32_t>{cyl});
  EXPECT_EQ(TDoorsWorld::Links(*disk, key, icCylinder), std::vector<int32_t>{cyl});
}

TEST(CylindersViewEdit, ACylinderWaitsForItsDoorBeingEdited) {
  TCylsWorld w;
  const int32_t door = w.Record(icDoor, "T1");
  const int32_t cyl = w.Record(icCylinder, "Z1");
  w.Link(cyl, door);
  TStandInView doors;
  doors.editing = true;
  doors.current = door;
  RegisterView(pgDoors, &doors);
  w.view->ShowRecord(cyl);
  EXPECT_FALSE(w.view->StartEdit());
  EXPECT_NE(w.ui.AllText().find("zugeh\xF6rigen T\xFCr ab"), std::string::npos);
  doors.current = w.Record(icDoor, "T2");
  EXPECT_TRUE(w.view->StartEdit());
  UnregisterView(pgDoors, &doors);
}

TEST(CylindersViewStock, TheLabelsOpenTheStockListOfTheLockNumberAndLength) {
  TCylsWorld w;
  const int32_t cyl = w.Record(icCylinder, "Z1");
  w.Set(cyl, fkKeySystem, "3");
  w.Set(cyl, "k603", "S 12");
  w.Set(cyl, fkLength, "30/35");
  int32_t system = -1;
  std::string search;
  w.view->OpenStockList = [&](int32_t s, const std::string& text) {
    system = s;
    search = text;
    return cyl;
  };
  const struct {
    bool shown, withLength;
    int32_t system;
    const char* search;
  } cases[] = {
      {true, false, 3, "\"S 12\""},
      {true, true, 3, "\"S 12\" \"30/35\""},
      {false, false, ksAll, "\"\""},  // nothing shown, no system: every system, no number
  };
  for (const auto& c : cases) {
    if (c.shown)
      w.view->ShowRecord(cyl);
    else
      w.view->ClearDisplay();
    EXPECT_EQ(w.view->LockLabelClick(c.withLength), cyl);
    EXPECT_EQ(system, c.system) << c.search;
    EXPECT_EQ(search, c.search);
  }
  // The count of the listed cylinders.
  w.view->ListingFrame->Refresh();
  w.view->Count1Click();
  EXPECT_NE(w.ui.AllText().find("werden 1 Eintr\xE4ge angezeigt"), std::string::npos)
      << w.ui.AllText();
}

TEST(CylindersViewPrint, ADaughterPrintsBehindAnArrow) {
  TCylsWorld w;
  const int32_t mother = w.Record(icCylinder, "Z1");
  w.Set(mother, fkCylinderCount, "4");
  const int32_t daughter = w.Record(icCylinder, "Z1a");
  w.a->AddLink(daughter, mother, 10);
  w.a->AddLink(mother, daughter, 11);
  ASSERT_TRUE(w.a->Commit());
  const std::vector<std::string> lines = CylinderListLines(*w.a.db, {mother, daughter});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, lines[0].find('\t')), w.a->GetDisplayName(mother));
  EXPECT_EQ(lines[1].substr(0, lines[1].find('\t')), " \xBB " + w.a->GetDisplayName(daughter));
  EXPECT_NE(lines[0].find("\t4 von 4\t"), std::string::npos) << lines[0];
}

TEST(CylindersRetire, InputIsCheckedBeforeAnything) {
  struct TCase {
    int action;
    const char* count;
    const char* date;
    int result;
  } cases[] = {
      {-1, "1", "01.06.2024", 1}, {0, "0", "01.06.2024", 2},   {1, "x", "01.06.2024", 2},
      {0, "1", "31.13.2024", 80}, {0, " 2 ", "01.06.2024", 0}, {1, "3", "2024-06-02", 0},
  };
  SetDateFormat("dd.MM.yyyy");
  for (const TCase& c : cases) {
    TDefectChecked checked;
    EXPECT_EQ(CheckDefectInput({c.action, c.count, c.date, " r "}, checked), c.result)
        << c.count << " " << c.date;
    if (c.result == 0) {
      EXPECT_EQ(checked.kind, c.action == 0 ? okDefective : okLost);
      EXPECT_EQ(checked.remark, "r");
    }
  }
}

TEST(CylindersRetire, BookedOnceWithItsNumberAndUndoneExactly) {
  TCylsWorld w;
  const int32_t cyl = w.Record(icCylinder, "Z1");
  w.Set(cyl, fkCylinderCount, "5");
  const TPackedDate date = PackDate(2024, 6, 1);

  // B holds the settings record: nothing booked, no number drawn.
  const int32_t settings = w.a->FindOrCreateSingleton(true);
  ASSERT_GT(settings, 0);
  w.BHolds(settings);
  TRetireOutcome refused = BookCylinderRetirement(*w.a.db, cyl, okDefective, 1, date, "");
  EXPECT_EQ(refused.result, TRetireResult::Blocked);
  EXPECT_EQ(refused.blocking.find("B"), 0u) << refused.blocking;
  EXPECT_TRUE(w.Own(cyl).empty());
  ASSERT_TRUE(w.b->UnlockItem(settings));

  const TRetireOutcome first = BookCylinderRetirement(*w.a.db, cyl, okDefective, 2, date, "alt");
  const TRetireOutcome second = BookCylinderRetirement(*w.a.db, cyl, okDefective, 2, date, "alt");
  const TRetireOutcome lost = BookCylinderRetirement(*w.a.db, cyl, okLost, 1, date, "");
  ASSERT_EQ(first.result, TRetireResult::Booked);
  ASSERT_EQ(second.result, TRetireResult::Booked);
  ASSERT_EQ(lost.result, TRetireResult::Booked);
  EXPECT_EQ(first.receiptNo, "0001");
  EXPECT_EQ(second.receiptNo, "0002");
  EXPECT_EQ(w.Own(cyl),
            (std::vector<std::string>{"G0=2|2024-06-01||alt|0001", "G0=2|2024-06-01||alt|0002",
                                      "F0=1|2024-06-01|||0003"}));
  EXPECT_EQ(TDoorsWorld::TDisk(w.dir)->GetField(settings, "FormSeqNo"), "3");
  EXPECT_EQ(GetAvailableCount(*TDoorsWorld::TDisk(w.dir), cyl, false), 0);

  // Undo the second of two equal retirements: exactly that line goes.
  THolderEntries entries = LoadHolderRecs(*w.a.db, cyl, false);
  auto entryOf = [&](const std::string& number) {
    for (const THolderEntry& e : entries)
      if (e.ReceiptNo == number) return e;
    return THolderEntry{};
  };
  const THolderEntry chosen = entryOf("0002");
  ASSERT_EQ(UndoCylinderRetirement(*w.a.db, cyl, chosen).result, TRetireResult::Booked);
  EXPECT_EQ(w.Own(cyl),
            (std::vector<std::string>{"G0=2|2024-06-01||alt|0001", "F0=1|2024-06-01|||0003"}));
  // That holding is gone now: a second undo refuses and touches no other line.
  EXPECT_EQ(UndoCylinderRetirement(*w.a.db, cyl, chosen).result, TRetireResult::HoldingGone);
  EXPECT_EQ(w.Own(cyl).size(), 2u);
  EXPECT_EQ(w.HistoryText(), "") << "retiring writes no history";
}

TEST(CylindersRetire, TheViewRetiresThroughTheFormAndUndoesTheSelectedRow) {
  TCylsWorld w;
  SetDateFormat("dd.MM.yyyy");
  const int32_t cyl = w.Record(icCylinder, "Z1");
  w.view->ShowRecord(cyl);
  QueueDialogDriver([](QDialog& d) {
    auto& form = static_cast<TDefectCylForm&>(d);
    form.SaveBtnClick();  // no action chosen: told, stays open
    form.ActionCombo->setCurrentIndex(1);
    form.CntEd->setText("1");
    form.DateEd->setText("01.06.2024");
    form.RemEd->setText("verlegt");
    form.SaveBtnClick();
  });
  EXPECT_TRUE(w.view->defectCyls1Click());
  EXPECT_NE(w.ui.AllText().find("Bitte w\xE4hlen Sie eine Aktion."), std::string::npos);
  EXPECT_EQ(w.Own(cyl), std::vector<std::string>{"F0=1|2024-06-01||verlegt|0001"});
  ASSERT_EQ(w.view->OwnersGrid->rowCount(), 1);
  EXPECT_EQ(FromQString(w.view->OwnersGrid->item(0, 0)->text()), "verloren");

  w.view->OwnersGrid->selectRow(0);
  w.ui.answers = {mrYes};
  EXPECT_TRUE(w.view->NotDamaged1Click()) << w.ui.AllText();
  EXPECT_TRUE(w.Own(cyl).empty());
  EXPECT_EQ(w.view->OwnersGrid->rowCount(), 0);
}

TEST(CylindersViewPinning, NewClearsThePinningAndSaveStoresItAfterTheCylinder) {
  TCylsWorld w;
  ASSERT_TRUE(LocksmithStore().Open(*w.a.db, true));
  w.view->LocksmithOn = [] { return true; };
  w.view->EditPinning = [](int32_t, const std::string& text, std::string& result) {
    EXPECT_EQ(text, "") << "a new cylinder starts without pinning";
    result = "L\t42\t12;3;";
    return true;
  };
  w.TypeNew("Z1", "", 0);
  ASSERT_TRUE(w.view->PinsLabelClick());
  ASSERT_TRUE(w.view->SaveBtnClick()) << w.ui.AllText();
  const int32_t first = w.view->CurrentId;
  EXPECT_EQ(LocksmithField(*w.a.db, first, "cp"), "L\t42\t12;3;");
  w.view->ShowRecord(first);
  w.TypeNew("Z2", "", 0);
  ASSERT_TRUE(w.view->PinsLabelClick());
  w.view->CancelBtnClick();
  EXPECT_EQ(LocksmithField(*w.a.db, first, "cp"), "L\t42\t12;3;");
  LocksmithStore().Close();
}

}  // namespace
