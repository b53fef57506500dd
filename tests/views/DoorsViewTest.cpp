// The doors view on two workstations sharing one data folder: what a save leaves on disk.
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <cstdlib>

#include "DoorsTestSupport.h"
#include "ViewsTestSupport.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "app/LinkingFrameUnit.h"
#include "views/CategFormUnit.h"
#include "views/FrameDoorsUnit.h"

namespace {

struct TDoorsViewWorld : TDoorsWorld {
  int32_t house1 = 0, house2 = 0, own = 0;
  std::unique_ptr<TFrameDoors> view;
  TDoorsViewWorld() {
    SetKeySystemName(3, "Nord");
    house1 = Record(icBuilding, "Haus 1");
    house2 = Record(icBuilding, "Haus 2");
    Set(house2, fkKeySystem, "3");
    own = Record(icBuilding, "Eigenbau");
    Set(own, fkKeySystem, "1001");
    view = std::make_unique<TFrameDoors>(nullptr);
    ui.Clear();
  }
  ~TDoorsViewWorld() { view.reset(); }
  // A new door typed: name, building, system code (1001: the building's own entry).
  void Type(const std::string& name, int32_t building, int32_t system) {
    ASSERT_TRUE(view->NewDoor("", 0, 0));
    view->DoorNameEd->setText(ToQString(name));
    SelectComboObject(view->HouseCombo, building);
    if (building == 0) view->HouseCombo->setCurrentIndex(0);
    SelectComboId(system, view->KeysystemCombo);
  }
  int32_t Door(TMiniDB& db, const std::string& name) {
    for (int32_t id : All(db, icDoor))
      if (db.IsValid(id) && db.ReadName(id) == name) return id;
    return 0;
  }
};

TEST(DoorsViewSave, NamesAreUniquePerBuilding) {
  const struct {
    const char* what;
    int32_t TDoorsViewWorld::*first;
    int32_t TDoorsViewWorld::*second;
    bool saved;
  } cases[] = {
      {"other building", &TDoorsViewWorld::house1, &TDoorsViewWorld::house2, true},
      {"same building", &TDoorsViewWorld::house1, &TDoorsViewWorld::house1, false},
      {"both without building", nullptr, nullptr, false},
      {"one without building", &TDoorsViewWorld::house1, nullptr, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TDoorsViewWorld w;
    w.Type("Eingang", c.first ? w.*c.first : 0, 0);
    ASSERT_TRUE(w.view->SaveBtnClick()) << w.ui.AllText();
    w.ui.Clear();
    w.Type(" EINGANG ", c.second ? w.*c.second : 0, 0);
    EXPECT_EQ(w.view->SaveBtnClick(), c.saved) << w.ui.AllText();
    if (!c.saved) {
      EXPECT_NE(w.ui.AllText().find("Es gibt bereits eine T\xFCr mit diesem Namen."),
                std::string::npos);
    }
    TDoorsWorld::TDisk disk(w.dir);
    EXPECT_EQ(TDoorsWorld::All(*disk, icDoor).size(), c.saved ? 2u : 1u);
  }
}

TEST(DoorsViewSave, LockingSystemOfTheBuilding) {
  const struct {
    const char* what;
    int32_t TDoorsViewWorld::*building;
    int32_t system;
    int answer;
    bool saved;
    const char* message;
    std::function<std::string(TDoorsViewWorld&)> ks;
  } cases[] = {
      {"own system without building: 37", nullptr, ksBuildingBase, 0, false,
       "Bitte \xE4ndern Sie die Schlie\xDF"
       "anlage",
       nullptr},
      {"building's own system offered: 38 yes", &TDoorsViewWorld::own, 0, mrYes, true,
       "eigene Schlie\xDF"
       "anlage",
       [](TDoorsViewWorld& w) { return std::to_string(ksBuildingBase + w.own); }},
      {"38 no keeps none", &TDoorsViewWorld::own, 0, mrNo, true,
       "eigene Schlie\xDF"
       "anlage",
       [](TDoorsViewWorld&) { return std::string(); }},
      {"own entry, building with a named system: 41 + 40", &TDoorsViewWorld::house2, ksBuildingBase,
       0, true,
       "Es wird die Schlie\xDF"
       "anlage Nord vom Geb\xE4ude",
       [](TDoorsViewWorld&) { return std::string("3"); }},
      {"own entry, building without system: 41 + 39", &TDoorsViewWorld::house1, ksBuildingBase, 0,
       true,
       "Es wird keine Schlie\xDF"
       "anlage eingestellt.",
       [](TDoorsViewWorld&) { return std::string(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TDoorsViewWorld w;
    if (c.answer) w.ui.answers = {c.answer};
    w.Type("T1", c.building ? w.*c.building : 0, c.system);
    EXPECT_EQ(w.view->SaveBtnClick(), c.saved) << w.ui.AllText();
    std::string said = w.ui.AllText();
    for (const std::string& question : w.ui.questions) said += "|" + question;
    EXPECT_NE(said.find(c.message), std::string::npos) << said;
    TDoorsWorld::TDisk disk(w.dir);
    const int32_t door = w.Door(*disk, "T1");
    EXPECT_EQ(door != 0, c.saved);
    if (door) {
      EXPECT_EQ(disk->GetField(door, fkKeySystem), c.ks(w));
    }
  }
}

TEST(DoorsViewSave, Cylinders) {
  TDoorsViewWorld w;
  // A typed name of no cylinder makes one, linked both ways; the door keeps no free text.
  w.Type("T1", w.house2, 3);
  w.view->CylCombo->setEditText("Z-100");
  w.view->CylLenEd->setText("30/35");
  ASSERT_TRUE(w.view->SaveBtnClick()) << w.ui.AllText();
  int32_t door = 0, cylinder = 0;
  {
    TDoorsWorld::TDisk disk(w.dir);
    door = w.Door(*disk, "T1");
    ASSERT_NE(door, 0);
    const std::vector<int32_t> cylinders = TDoorsWorld::Links(*disk, door, icCylinder);
    ASSERT_EQ(cylinders.size(), 1u);
    cylinder = cylinders[0];
    EXPECT_EQ(disk->GetName(cylinder), "Z-100");
    EXPECT_EQ(disk->GetField(cylinder, fkKeySystem), "3");
    EXPECT_EQ(disk->GetField(cylinder, fkLength), "30/35");
    EXPECT_EQ(TDoorsWorld::Links(*disk, cylinder, icDoor), std::vector<int32_t>{door});
    for (const char* key : {"ks", "cyl", "len"}) EXPECT_EQ(disk->GetField(door, key), "") << key;
    EXPECT_EQ(TDoorsWorld::Links(*disk, door, icBuilding), std::vector<int32_t>{w.house2});
  }
  // The cylinder shown is taken by its ID: a new length changes it, no second one is made.
  w.view->ShowDoor(door);
  ASSERT_TRUE(w.view->StartEdit());
  w.view->CylLenEd->setText("30/40");
  ASSERT_TRUE(w.view->SaveBtnClick()) << w.ui.AllText();
  {
    TDoorsWorld::TDisk disk(w.dir);
    EXPECT_EQ(TDoorsWorld::All(*disk, icCylinder), std::vector<int32_t>{cylinder});
    EXPECT_EQ(disk->GetField(cylinder, fkLength), "30/40");
    EXPECT_EQ(TDoorsWorld::Links(*disk, door, icCylinder), std::vector<int32_t>{cylinder});
  }
  // No cylinder: the link goes on both sides, the free text stays on the door.
  w.view->ShowDoor(door);
  ASSERT_TRUE(w.view->StartEdit());
  w.view->CylCombo->setEditText("-");
  w.view->CylLenEd->setText("");
  ASSERT_TRUE(w.view->SaveBtnClick()) << w.ui.AllText();
  {
    TDoorsWorld::TDisk disk(w.dir);
    EXPECT_EQ(disk->GetLinkText(door, icCylinder), "");
    EXPECT_EQ(disk->GetLinkText(cylinder, icDoor), "");
  }
  // Several cylinders: the save leaves every cylinder link alone.
  const int32_t second = w.Record(icCylinder, "Z-200");
  w.Link(cylinder, door);
  w.Link(second, door);
  w.view->ShowDoor(door);
  ASSERT_TRUE(w.view->StartEdit());
  EXPECT_FALSE(w.view->MultiCylsGrid->isHidden());
  w.view->RoomEd->setText("Halle");
  ASSERT_TRUE(w.view->SaveBtnClick()) << w.ui.AllText();
  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_EQ(disk->GetField(door, "rom"), "Halle");
  EXPECT_EQ(TDoorsWorld::Links(*disk, door, icCylinder), (std::vector<int32_t>{cylinder, second}));
  EXPECT_EQ(TDoorsWorld::All(*disk, icCylinder).size(), 2u);
  EXPECT_EQ(w.HistoryText().find("a="), std::string::npos) << "door saves write no history";
}

TEST(DoorsViewSave, AnotherStationHoldingTheBuildingRefusesBeforeAnythingIsMade) {
  TDoorsViewWorld w;
  w.BHolds(w.house2);
  const int32_t last = w.a->LastID;
  w.Type("T1", w.house2, 3);
  w.view->CylCombo->setEditText("Z-9");
  EXPECT_FALSE(w.view->SaveBtnClick());
  EXPECT_NE(w.ui.AllText().find("B"), std::string::npos) << w.ui.AllText();
  EXPECT_TRUE(w.view->Editing) << "the input stays for another try";
  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_EQ(disk->LastID, last) << "no door, no cylinder";
  EXPECT_TRUE(TDoorsWorld::All(*disk, icDoor).empty());
}

TEST(DoorsViewSave, ADoorForAKeyIsLinkedToItInTheSameWrite) {
  TDoorsViewWorld w;
  const int32_t key = w.Record(icKey, "K7");
  // B holds the key: nothing is made, the key stays to be linked.
  w.BHolds(key);
  const int32_t last = w.a->LastID;
  ASSERT_TRUE(w.view->NewDoor("Tor 7", 0, key));
  EXPECT_EQ(GridRowId(w.view->KeysGrid, 1), key) << "the key shown first";
  EXPECT_FALSE(w.view->SaveBtnClick());
  EXPECT_EQ(TDoorsWorld::TDisk(w.dir)->LastID, last);
  EXPECT_EQ(w.view->KeyToLink(), key);
  ASSERT_TRUE(w.b->UnlockItem(key));
  ASSERT_TRUE(w.view->SaveBtnClick()) << w.ui.AllText();
  TDoorsWorld::TDisk disk(w.dir);
  const int32_t door = w.Door(*disk, "Tor 7");
  ASSERT_NE(door, 0);
  EXPECT_EQ(TDoorsWorld::Links(*disk, door, icKey), std::vector<int32_t>{key});
  EXPECT_EQ(TDoorsWorld::Links(*disk, key, icDoor), std::vector<int32_t>{door});
  EXPECT_EQ(w.view->KeyToLink(), 0);
}

// "als Tür anlegen" of the keys view: a new door named as the key (with its second name),
// in the key's system, the key linked to it by the door's save.
TEST(DoorsViewEdit, AnotherViewStartsADoorForAKey) {
  TDoorsViewWorld w;
  const int32_t key = w.Record(icKey, "K9");
  w.Set(key, fkSecondName, "Werkstatt");
  w.Set(key, fkKeySystem, "3");
  w.view->GlueView().ViewCall(kCmdNew, key);
  ASSERT_TRUE(w.view->Editing);
  EXPECT_EQ(FromQString(w.view->DoorNameEd->text()), "K9 Werkstatt");
  EXPECT_EQ(ComboItemId(w.view->KeysystemCombo, w.view->KeysystemCombo->currentIndex()), 3);
  EXPECT_EQ(w.view->KeyToLink(), key);
  SelectComboObject(w.view->HouseCombo, w.house2);
  ASSERT_TRUE(w.view->SaveBtnClick()) << w.ui.AllText();
  TDoorsWorld::TDisk disk(w.dir);
  const int32_t door = w.Door(*disk, "K9 Werkstatt");
  ASSERT_NE(door, 0);
  EXPECT_EQ(TDoorsWorld::Links(*disk, door, icKey), std::vector<int32_t>{key});
  // Anything but a key starts nothing.
  w.view->GlueView().ViewCall(kCmdNew, w.house1);
  EXPECT_FALSE(w.view->Editing);
}

TEST(DoorsViewEdit, ADoorWaitsForItsCylinderBeingEdited) {
  TDoorsViewWorld w;
  const int32_t door = w.Record(icDoor, "T1");
  const int32_t cylinder = w.Record(icCylinder, "Z1");
  w.Link(cylinder, door);
  TStandInView cylinders;
  cylinders.editing = true;
  cylinders.current = cylinder;
  RegisterView(pgCylinders, &cylinders);
  w.view->ShowDoor(door);
  EXPECT_FALSE(w.view->StartEdit());
  EXPECT_NE(w.ui.AllText().find("zugeh\xF6rigen Zylinder"), std::string::npos);
  cylinders.current = w.Record(icCylinder, "Z2");
  EXPECT_TRUE(w.view->StartEdit());
  UnregisterView(pgCylinders, &cylinders);
}

TEST(DoorsViewEdit, CategoriesAreLinkedOnBothSides) {
  TDoorsViewWorld w;
  const int32_t door = w.Record(icDoor, "T1");
  const int32_t fire = w.Record(icCategory, "Brandschutz");
  const int32_t exit = w.Record(icCategory, "Fluchtweg");
  w.Link(fire, door);
  w.view->ShowDoor(door);
  std::vector<int32_t> offered;
  w.view->ChooseCategories = [&](std::vector<int32_t>& ids) {
    offered = ids;
    ids = {exit};
    return true;
  };
  w.view->Categ1Click();
  EXPECT_EQ(offered, std::vector<int32_t>{fire});
  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_EQ(TDoorsWorld::Links(*disk, door, icCategory), std::vector<int32_t>{exit});
  EXPECT_EQ(TDoorsWorld::Links(*disk, exit, icDoor), std::vector<int32_t>{door});
  EXPECT_EQ(disk->GetLinkText(fire, icDoor), "");
}

// A new category typed by hand: the panel says for which records it will be offered, the
// category is made in the store and comes back selected.
TEST(DoorsViewEdit, ANewCategoryIsTypedBelowWhatItIsFor) {
  TDoorsViewWorld w;
  const int32_t fire = w.Record(icCategory, "Brandschutz");
  std::vector<int32_t> ids{fire};
  bool panelHiddenFirst = false;
  std::string availableFor;
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TCategForm&>(dialog);
    panelHiddenFirst = !form.NewPanel->isVisible();
    QTest::mouseClick(form.NewBtn, Qt::LeftButton);
    ASSERT_TRUE(form.NewPanel->isVisible());
    availableFor = FromQString(form.AvailableForLabel->text());
    QTest::keyClicks(form.NameEd, "Notausgang");
    QTest::mouseClick(form.SaveBtn, Qt::LeftButton);
    EXPECT_FALSE(form.NewPanel->isVisible());
    QTest::mouseClick(form.OkBtn, Qt::LeftButton);
  });
  ASSERT_TRUE(SelectCategory(icDoor, 0, 0, ids));
  EXPECT_TRUE(panelHiddenFirst);
  EXPECT_EQ(availableFor, ClassCaption(icDoor, true));
  TDoorsWorld::TDisk disk(w.dir);
  const int32_t made = disk->FindByName("Notausgang", icCategory, 0);
  ASSERT_GT(made, 0);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<int32_t>{fire, made}));
}

TEST(DoorsViewEdit, TheFirstBuildingFilterListsEveryDoor) {
  TDoorsViewWorld w;
  const int32_t inside = w.Record(icDoor, "Innen");
  const int32_t outside = w.Record(icDoor, "Aussen");
  w.Link(inside, w.house1);
  RegisterView(pgDoors, &w.view->GlueView());
  BuildBuildingList();
  EXPECT_EQ(w.view->ListingFrame->BuildingFilter(), 0);
  w.view->RefreshView();
  std::vector<int32_t> listed;
  for (int row = 0; row < w.view->ListingFrame->Count(); ++row)
    listed.push_back(w.view->ListingFrame->IdAt(row));
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<int32_t>{inside, outside}));
  // A choice the user made stays through the next fill.
  SelectComboById(w.view->ListingFrame->HouseCombo, ksAll);
  BuildBuildingList();
  EXPECT_EQ(w.view->ListingFrame->BuildingFilter(), ksAll);
}

TEST(DoorsViewPrint, TheCylinderColumnsComeFromTheCylinderRecord) {
  TDoorsViewWorld w;
  const int32_t door = w.Record(icDoor, "T1");
  const int32_t bare = w.Record(icDoor, "T2");
  const int32_t cylinder = w.Record(icCylinder, "Z1");
  const int32_t key = w.Record(icKey, "K1");
  const int32_t anna = w.Record(icPerson, "Anna");
  w.Set(cylinder, fkLength, "30/35");
  w.Set(door, fkLength, "99");
  w.Set(bare, "cyl", "frei");
  w.Set(bare, fkLength, "40/40");
  w.Link(door, w.house1);
  w.Link(cylinder, door);
  w.Link(key, cylinder);
  w.Link(anna, key);
  DropRelationCaches();
  const std::vector<std::string> lines = TFrameDoors::DoorListLines(
      *w.a.db, {door, bare},
      {"T\xFCr", "Geb\xE4ude", "Zylinder", "Zyl.-L\xE4nge", "Schl\xFCssel", "Besitzer"});
  EXPECT_EQ(lines,
            (std::vector<std::string>{"T\xFCr\tGeb\xE4ude\tZylinder\tZyl.-L\xE4nge",
                                      "T1\tHaus 1\tZ1\t30/35", "\tK1\tAnna", "T2\t\tfrei\t40/40"}));
  EXPECT_TRUE(TFrameDoors::DoorListLines(*w.a.db, {door}, {}).empty()) << "no column: nothing";
}

// "Besitzer" names every holder of a key, each up to 40 characters, the first beside the
// key and the others on lines of their own below it; a long list lets the window's events
// through every 32 doors.
TEST(DoorsViewPrint, EveryHolderOnALineOfItsOwnAndEventsEvery32Doors) {
  TDoorsViewWorld w;
  const int32_t door = w.Record(icDoor, "T1");
  const int32_t key = w.Record(icKey, "K1");
  const int32_t free = w.Record(icKey, "K2");
  const std::string longName(50, 'L');
  const int32_t anna = w.Record(icPerson, "Anna");
  const int32_t bert = w.Record(icPerson, "Bert");
  const int32_t lang = w.Record(icPerson, longName);
  w.Link(key, door);
  w.Link(free, door);
  for (int32_t person : {anna, bert, lang}) w.Link(person, key);
  DropRelationCaches();
  std::vector<std::string> lines =
      TFrameDoors::DoorListLines(*w.a.db, {door}, {"T\xFCr", "Schl\xFCssel", "Besitzer"});
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "T\xFCr");
  EXPECT_EQ(lines[1], "T1");
  EXPECT_EQ(lines[2].substr(0, 4), "\tK1\t");
  std::vector<std::string> holders{lines[2].substr(4), lines[3].substr(2), lines[4].substr(2)};
  std::sort(holders.begin(), holders.end());
  EXPECT_EQ(holders, (std::vector<std::string>{"Anna", "Bert", longName.substr(0, 40)}));
  EXPECT_EQ(lines[3].substr(0, 2), "\t\t");
  EXPECT_EQ(lines[4].substr(0, 2), "\t\t");
  EXPECT_EQ(lines[5], "\tK2\t");

  std::vector<int32_t> doors;
  for (int i = 0; i < 70; ++i) doors.push_back(w.Record(icDoor, "D" + std::to_string(i)));
  const int before = w.ui.pendingEventCalls;
  lines = TFrameDoors::DoorListLines(*w.a.db, doors, {"T\xFCr"});
  EXPECT_EQ(lines.size(), 71u);
  EXPECT_EQ(w.ui.pendingEventCalls - before, 2);
}

TEST(DoorsViewList, NamesAndTheFilterOfDoorsWithSeveralCylinders) {
  TDoorsViewWorld w;
  const int32_t one = w.Record(icDoor, "T1");
  const int32_t two = w.Record(icDoor, "T2");
  const int32_t z1 = w.Record(icCylinder, "Z1");
  const int32_t z2 = w.Record(icCylinder, "Z2");
  w.Set(z1, fkKeySystem, "3");
  w.Link(one, w.house1);
  w.Link(z1, one);
  w.Link(z1, two);
  w.Link(z2, two);
  w.view->SetListName(1);
  EXPECT_EQ(w.a->GetDisplayName(one), "T1 (Haus 1)");
  EXPECT_EQ(w.a->GetDisplayName(two), "T2");
  w.view->SetListName(2);
  EXPECT_EQ(w.a->GetDisplayName(one), "T1 (Z1, Nord)");
  w.view->SetListName(0);
  EXPECT_EQ(w.a->GetDisplayName(one), "T1");
  w.view->SetOnlyMultiCyls(true);
  ASSERT_EQ(w.view->ListingFrame->Count(), 1);
  EXPECT_EQ(w.view->ListingFrame->IdAt(0), two);
  w.view->SetOnlyMultiCyls(false);
  EXPECT_EQ(w.view->ListingFrame->Count(), 2);
}

TEST(DoorsViewEdit, KeysGridListsTheKeysThatOpenTheDoor) {
  TDoorsViewWorld w;
  const int32_t door = w.Record(icDoor, "T1");
  const int32_t cylinder = w.Record(icCylinder, "Z1");
  const int32_t key = w.Record(icKey, "K1");
  const int32_t anna = w.Record(icPerson, "Anna");
  w.Set(key, fkStock, "1");
  w.Set(key, fkTotal, "2");
  w.Link(cylinder, door);
  w.Link(key, cylinder);
  w.Link(anna, key);
  DropRelationCaches();
  w.view->ShowDoor(door);
  ASSERT_EQ(GridRowCount(w.view->KeysGrid), 2);
  EXPECT_EQ(GridCell(w.view->KeysGrid, 0, 1), " K1");
  EXPECT_EQ(GridCell(w.view->KeysGrid, 1, 1), " 1 /  2");
  EXPECT_EQ(GridCell(w.view->KeysGrid, 2, 1), " Anna");
  EXPECT_EQ(GridRowId(w.view->KeysGrid, 1), key);
}

// The keys grid as a hand sees it: the first two columns as wide as their widest text and
// an "X", the third the rest of the grid less 26 pixels, still after the view grows; a
// clicked row dark blue with white text, the other rows and the room beside the last column
// white; the count right-aligned 8 pixels in, the rest 2 pixels in, a context after a TAB
// at the right of the name.
TEST(DoorsViewKeysGrid, ColumnsFillTheGridAndTheClickedRowIsDarkBlue) {
  TDoorsViewWorld w;
  const int32_t door = w.Record(icDoor, "T1");
  const int32_t anna = w.Record(icPerson, "Anna");
  const int32_t bert = w.Record(icPerson, "Bert Langenscheidt");
  const int32_t k1 = w.Record(icKey, "K1");
  const int32_t k2 = w.Record(icKey, "Hauptschl\xFCssel Nord");
  const int32_t k3 = w.Record(icKey, "K3");
  for (int32_t key : {k1, k2, k3}) {
    w.Set(key, fkStock, "1");
    w.Set(key, fkTotal, "12");
    w.Link(key, door);
  }
  w.Link(anna, k1);
  w.Link(bert, k2);
  DropRelationCaches();
  // K3's list name carries a context after a TAB.
  TNameFuncSwitch tabbed(*w.a.db, icKey,
                         [](const TMiniDB& db, int32_t id, const TQStringList&, uint8_t,
                            std::string& text) {
                           text = db.ReadName(id);
                           if (text == "K3") text += "\tNord";
                         });
  w.view->resize(900, 600);
  w.view->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.view.get()));
  w.view->ShowDoor(door);
  QCoreApplication::processEvents();
  QTableWidget* grid = w.view->KeysGrid;
  ASSERT_EQ(GridRowCount(grid), 4);
  ASSERT_EQ(GridCell(grid, 0, 3), " K3\tNord");

  const QFontMetrics fm(grid->font());
  auto drawnWidth = [&](const QString& text) {
    const int tab = text.indexOf(QLatin1Char('\t'));
    if (tab < 0) return fm.horizontalAdvance(text);
    return fm.horizontalAdvance(text.left(tab)) + 8 + fm.horizontalAdvance(text.mid(tab + 1));
  };
  auto widest = [&](int col) {
    int most = 0;
    for (int row = 0; row < GridRowCount(grid); ++row)
      most = std::max(most, drawnWidth(ToQString(GridCell(grid, col, row))));
    return most;
  };
  const int x = fm.horizontalAdvance(QLatin1Char('X'));
  auto expectWidths = [&](const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(grid->columnWidth(0), widest(0) + x);
    EXPECT_EQ(grid->columnWidth(1), widest(1) + x);
    EXPECT_EQ(grid->columnWidth(2),
              grid->viewport()->width() - 26 - grid->columnWidth(0) - grid->columnWidth(1));
  };
  expectWidths("shown");
  const int narrow = grid->columnWidth(2);
  w.view->resize(1200, 700);
  QCoreApplication::processEvents();
  expectWidths("grown");
  EXPECT_GT(grid->columnWidth(2), narrow + 100);

  // A click on the second key's row.
  const int clicked = 2;
  const QRect rowRect = grid->visualRect(grid->model()->index(clicked - 1, 2));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowRect.center());
  ASSERT_EQ(GridSelectedId(grid), GridRowId(grid, clicked));
  const QImage picture = grid->viewport()->grab().toImage();
  if (const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS"); shots && *shots)
  {
    picture.save(QString::fromLocal8Bit(shots) + "/doors_keys_grid.png");
    w.view->grab().save(QString::fromLocal8Bit(shots) + "/doors_view.png");
  }
  const qreal scale = picture.devicePixelRatio();
  auto at = [&](int px, int py) {
    return picture.pixelColor(static_cast<int>(px * scale), static_cast<int>(py * scale));
  };
  auto cellOf = [&](int col, int row) {
    return grid->visualRect(grid->model()->index(row - 1, col)).adjusted(0, 0, -2, -2);
  };
  // Ink: the text's dark (or, in the clicked row, white) pixels, away from the grid lines.
  auto inkColumns = [&](const QRect& cell, bool onDark) {
    std::vector<int> xs;
    for (int px = cell.left(); px <= cell.right(); ++px)
      for (int py = cell.top() + 1; py < cell.bottom(); ++py) {
        const QColor c = at(px, py);
        if (onDark ? c.lightness() > 200 : c.lightness() < 110) {
          xs.push_back(px);
          break;
        }
      }
    return xs;
  };
  const QColor selected(0x08, 0x24, 0x6B);
  const QColor white(Qt::white);
  for (int row = 1; row < GridRowCount(grid); ++row) {
    SCOPED_TRACE(row);
    const QRect last = cellOf(2, row);
    // The end of the persons column holds no text: the row's own colour.
    EXPECT_EQ(at(last.right() - 2, last.center().y()), row == clicked ? selected : white);
    // Beside the last column the grid is white, not grey.
    for (int px = last.right() + 4; px < grid->viewport()->width() - 1; px += 4)
      EXPECT_EQ(at(px, last.center().y()), white) << px;
  }
  EXPECT_EQ(at(grid->viewport()->width() - 3, cellOf(2, 3).bottom() + 20), white);
  // The titles too: no empty grey title beside the last one.
  QHeaderView* titles = grid->horizontalHeader();
  const QImage head = titles->viewport()->grab().toImage();
  for (int px = titles->length() + 2; px < titles->viewport()->width() - 1; px += 4)
    EXPECT_EQ(head.pixelColor(QPoint(px, titles->height() / 2) * head.devicePixelRatio()), white)
        << px;
  // The clicked row's text is white on the dark blue.
  EXPECT_FALSE(inkColumns(cellOf(0, clicked), true).empty());
  EXPECT_FALSE(inkColumns(cellOf(2, clicked), true).empty());

  // Placement in an unclicked row: the name 2 pixels in (after its leading blank), the count
  // ending 8 pixels before the cell's right edge.
  const QRect name = cellOf(0, 1);
  const std::vector<int> nameInk = inkColumns(name, false);
  ASSERT_FALSE(nameInk.empty());
  EXPECT_GE(nameInk.front(), name.left() + 2 + fm.horizontalAdvance(QLatin1Char(' ')) - 1);
  EXPECT_LE(nameInk.front(), name.left() + 2 + fm.horizontalAdvance(QLatin1Char(' ')) + 3);
  const QRect count = grid->visualRect(grid->model()->index(0, 1));
  const std::vector<int> countInk = inkColumns(count.adjusted(0, 0, -2, -2), false);
  ASSERT_FALSE(countInk.empty());
  EXPECT_LE(countInk.back(), count.right() - 8);
  EXPECT_GE(countInk.back(), count.right() - 12);
  // "Nord" after K3's TAB sits at the right of the name column, apart from "K3".
  const QRect tabbedCell = grid->visualRect(grid->model()->index(2, 0));
  const std::vector<int> tabbedInk = inkColumns(tabbedCell.adjusted(0, 0, -2, -2), false);
  ASSERT_FALSE(tabbedInk.empty());
  EXPECT_GE(tabbedInk.back(), tabbedCell.right() - 8);
}

}  // namespace
