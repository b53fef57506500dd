// The buildings view on two workstations sharing one data folder.
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QLineEdit>
#include <QToolButton>

#include "DoorsTestSupport.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "output/PrintSelectUnit.h"
#include "output/PrintSettingsUnit.h"
#include "views/FrameBuildings2Unit.h"
#include "views/SpecialDeleteUnit.h"

namespace {

struct TBuildingsWorld : TDoorsWorld {
  std::unique_ptr<TFrameBuildings2> view = std::make_unique<TFrameBuildings2>(nullptr);
  ~TBuildingsWorld() { view.reset(); }
  // A new building typed and saved.
  bool Save(const std::string& name, const std::string& name2, int32_t system = 0) {
    view->NewBtnClick();
    view->BuildingNameEd->setText(ToQString(name));
    view->BuildingName2Ed->setText(ToQString(name2));
    SelectComboId(system, view->HouseKeysystemCombo);
    return view->SaveBtnClick();
  }
};

TEST(BuildingsView, ListedNamesAreUniqueIgnoringCaseAndBlanks) {
  TBuildingsWorld w;
  ASSERT_TRUE(w.Save("Haus A", ""));
  const int32_t plain = w.view->CurrentId;
  ASSERT_TRUE(w.Save("Haus A", "Nord", ksBuildingBase)) << w.ui.AllText();
  const int32_t north = w.view->CurrentId;
  w.ui.Clear();
  EXPECT_FALSE(w.Save(" haus  a ", ""));
  ASSERT_FALSE(w.ui.messages.empty());
  EXPECT_NE(w.ui.messages.back().text.find("Es gibt bereits ein Geb\xE4ude mit diesem Namen."),
            std::string::npos);
  EXPECT_TRUE(w.view->Editing) << "the input stays for another try";

  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_EQ(TDoorsWorld::All(*disk, icBuilding), (std::vector<int32_t>{plain, north}));
  EXPECT_EQ(disk->GetDisplayName(north), "Haus A [Nord]");
  EXPECT_EQ(disk->GetField(north, fkKeySystem), "1001");
  EXPECT_EQ(disk->GetField(plain, fkKeySystem), "");
  EXPECT_EQ(disk->LastID, north) << "the refused save made no record";

  // A rename is logged with the old listed name.
  w.view->ShowRecord(north);
  ASSERT_TRUE(w.view->StartEdit());
  w.view->BuildingName2Ed->setText("Süd");
  w.view->BuildingAdrEd->setText(" Weg 1 ");
  ASSERT_TRUE(w.view->SaveBtnClick());
  TDoorsWorld::TDisk after(w.dir);
  EXPECT_EQ(after->GetField(north, "Adr"), "Weg 1");
  const std::string history = w.HistoryText();
  EXPECT_NE(history.find("a=New"), std::string::npos) << history;
  EXPECT_NE(history.find("a=Ren"), std::string::npos) << history;
  EXPECT_NE(history.find("Haus A [Nord]"), std::string::npos) << history;
}

TEST(BuildingsView, ASaveRefusedByAnotherStationMakesNothing) {
  TBuildingsWorld w;
  const int32_t house = w.Record(icBuilding, "Haus 1");
  w.view->ShowRecord(house);
  w.BHolds(house);
  // A's own lock is refused too: B is named.
  EXPECT_FALSE(w.view->StartEdit());
  ASSERT_FALSE(w.ui.messages.empty());
  EXPECT_NE(w.ui.AllText().find("B"), std::string::npos);
}

TEST(BuildingsView, DeleteDecidesOnTheStoreAndKeepsTheOwnSystemsUsers) {
  TBuildingsWorld w;
  const int32_t house = w.Record(icBuilding, "Haus 1");
  const int32_t anna = w.Record(icPerson, "Anna");
  w.Link(anna, house);
  w.view->ShowRecord(house);

  // Station B puts a door into the building after A showed it.
  {
    const int32_t door = w.b->NewNamedRecord(icDoor, "Eingang", "");
    {
      TStoreWrite write(*w.b.db, {door, house});
      ASSERT_TRUE(write.Ok());
      w.b->AddLinkBoth(door, house, icBuilding, icDoor);
      ASSERT_TRUE(write.Commit());
    }
    w.ui.answers = {mrYes};
    w.view->KillBtnClick();
    ASSERT_FALSE(w.ui.messages.empty());
    EXPECT_NE(w.ui.messages.back().text.find("solange T\xFC"
                                             "ren zugeordnet"),
              std::string::npos)
        << w.ui.AllText();
    TDoorsWorld::TDisk disk(w.dir);
    EXPECT_TRUE(disk->IsValid(house));
    // B deletes the door again.
    TStoreWrite gone(*w.b.db, {door, house});
    ASSERT_TRUE(w.b->MarkDeleted(door));
    ASSERT_TRUE(gone.Commit());
  }

  // A key of the building's own system: its name would vanish.
  const int32_t key = w.Record(icKey, "K1");
  w.Set(key, fkKeySystem, std::to_string(ksBuildingBase + house));
  w.ui.Clear();
  w.ui.answers = {mrYes};
  w.view->ShowRecord(house);
  w.view->KillBtnClick();
  ASSERT_FALSE(w.ui.messages.empty());
  EXPECT_NE(w.ui.messages.back().text.find("eigene Schlie\xDF"
                                           "anlage"),
            std::string::npos)
      << w.ui.AllText();
  EXPECT_TRUE(TDoorsWorld::TDisk(w.dir)->IsValid(house));

  // With persons only: deleted, the persons lose their building, one "a=Del".
  w.Set(key, fkKeySystem, "3");
  w.ui.Clear();
  w.ui.answers = {mrYes};
  w.view->ShowRecord(house);
  w.view->KillBtnClick();
  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_FALSE(disk->IsValid(house)) << w.ui.AllText();
  EXPECT_EQ(disk->GetLinkText(anna, icBuilding), "");
  EXPECT_TRUE(disk->IsValid(anna));
  const std::string history = w.HistoryText();
  EXPECT_NE(history.find("a=Del"), std::string::npos) << history;
}

TEST(BuildingsView, FloorNamesAreUniquePerBuilding) {
  TBuildingsWorld w;
  const int32_t house1 = w.Record(icBuilding, "Haus 1");
  const int32_t house2 = w.Record(icBuilding, "Haus 2");
  std::string answer;
  w.view->AskFloorName = [&answer] { return answer; };
  const struct {
    int32_t building;
    const char* name;
    bool made;
  } steps[] = {{house1, " EG ", true},
               {house2, "EG", true},
               {house1, "eg", false},
               {house1, "  ", false},
               {house1, "1. OG", true}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    w.view->ShowRecord(step.building);
    answer = step.name;
    EXPECT_EQ(w.view->NewFloorBtnClick(), step.made);
  }
  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_EQ(TDoorsWorld::All(*disk, icFloor).size(), 3u);
  EXPECT_EQ(TDoorsWorld::Links(*disk, house1, icFloor).size(), 2u);
  EXPECT_EQ(TDoorsWorld::Links(*disk, house2, icFloor).size(), 1u);
  for (int32_t floor : TDoorsWorld::Links(*disk, house2, icFloor)) {
    EXPECT_EQ(disk->GetName(floor), "EG");
    EXPECT_EQ(TDoorsWorld::Links(*disk, floor, icBuilding), std::vector<int32_t>{house2});
  }
}

TEST(BuildingsView, DanglingBuildingLinksAreRemoved) {
  TBuildingsWorld w;
  const int32_t house = w.Record(icBuilding, "Haus 1");
  const int32_t kept = w.Record(icBuilding, "Haus 2");
  const int32_t anna = w.Record(icPerson, "Anna");
  const int32_t bert = w.Record(icPerson, "Bert");
  // Anna names a building that is gone (one-sided, as an old import left it).
  w.a->AddLink(anna, house, icBuilding);
  w.a->AddLinkBoth(bert, kept, icBuilding, icPerson);
  w.Set(house, "v", "0");
  EXPECT_EQ(RemoveDanglingBuildingLinks(*w.a.db, icPerson, true), 1);
  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_EQ(disk->GetLinkText(anna, icBuilding), "");
  EXPECT_EQ(TDoorsWorld::Links(*disk, bert, icBuilding), std::vector<int32_t>{kept});
  // B holding the record: refused, nothing changed.
  w.a->AddLink(anna, house, icBuilding);
  ASSERT_TRUE(w.a->Commit());
  w.BHolds(anna);
  EXPECT_EQ(RemoveDanglingBuildingLinks(*w.a.db, icPerson, true), -1);
}

TEST(BuildingsView, DoorsAndKeysPrintListsTheKeysThatOpenEachDoor) {
  TBuildingsWorld w;
  const int32_t house = w.Record(icBuilding, "Haus 1");
  const int32_t door = w.Record(icDoor, "Eingang");
  const int32_t other = w.Record(icDoor, "Archiv");
  const int32_t cylinder = w.Record(icCylinder, "Z1");
  const int32_t viaCylinder = w.Record(icKey, "K-Zyl");
  const int32_t direct = w.Record(icKey, "K-Direkt");
  w.Link(door, house);
  w.Link(other, house);
  w.Link(cylinder, door);
  w.Link(viaCylinder, cylinder);
  w.Link(direct, other);
  DropRelationCaches();
  w.view->ShowRecord(house);
  std::vector<std::string> printed;
  std::string title;
  w.view->PrintLines = [&](const std::string& t, const std::vector<std::string>& lines) {
    title = t;
    printed = lines;
    return true;
  };
  // Its print selection comes first, offering text 8; cancelled, nothing is printed.
  ResetPrintSettings();
  std::vector<std::string> offered;
  auto select = [&offered](bool ok) {
    QueueDialogDriver([&offered, ok](QDialog& dialog) {
      auto& form = static_cast<TPrintSelectForm&>(dialog);
      for (QRadioButton* option : form.Options) offered.push_back(FromQString(option->text()));
      QTest::mouseClick(ok ? form.OkBtn : form.EscBtn, Qt::LeftButton);
    });
  };
  select(false);
  EXPECT_FALSE(w.view->PrintDoorsAndKeys());
  EXPECT_TRUE(printed.empty());
  EXPECT_EQ(offered, std::vector<std::string>{FrameBuildingsText(8)});
  select(true);
  ASSERT_TRUE(w.view->PrintDoorsAndKeys());
  EXPECT_EQ(printed, (std::vector<std::string>{"T\xFCr\tSchl\xFCssel", "Archiv\tK-Direkt",
                                               "Eingang\tK-Zyl"}));
  EXPECT_EQ(title, "T\xFCren am Geb\xE4ude Haus 1");
  // A printer chosen in this run: the next one prints without asking.
  printed.clear();
  ASSERT_TRUE(w.view->PrintDoorsAndKeys());
  EXPECT_EQ(printed.size(), 3u);
  EXPECT_EQ(PendingDialogDrivers(), 0);
  ResetPrintSettings();
}

}  // namespace
