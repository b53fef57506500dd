// The buildings view on two workstations sharing one data folder.
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QListView>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QLineEdit>
#include <QToolButton>

#include <cstdlib>

#include "DoorsTestSupport.h"
#include "app/LinkingFrameUnit.h"
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

// The page as a hand finds it on a small and a large screen: the list at the top left, the
// building's doors below it, the fields at its right with the persons below them down to
// the bottom; the two link lists reach the bottom of their frames (no bar is left where
// their hidden select buttons would be).
TEST(BuildingsView, DoorsBelowTheListPersonsAtItsRightDownToTheBottom) {
  const struct {
    int width, height;
  } sizes[] = {{800, 600}, {1280, 1024}};
  for (const auto& size : sizes) {
    const std::string name = std::to_string(size.width) + "x" + std::to_string(size.height);
    SCOPED_TRACE(name);
    TBuildingsWorld w;
    const int32_t house = w.Record(icBuilding, "Haus 1");
    const int32_t door = w.Record(icDoor, "Eingang");
    const int32_t anna = w.Record(icPerson, "Anna");
    w.Link(door, house);
    w.Link(anna, house);
    TFrameBuildings2& view = *w.view;
    view.resize(size.width, size.height);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.ListingFrame->Refresh();
    QCoreApplication::processEvents();
    QListView* list = view.ListingFrame->ListBox;
    ASSERT_EQ(view.ListingFrame->Count(), 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());
    ASSERT_EQ(view.CurrentId, house);
    QCoreApplication::processEvents();

    auto inView = [&view](QWidget* widget) {
      return QRect(widget->mapTo(&view, QPoint(0, 0)), widget->size());
    };
    const QRect listRect = inView(view.ListingFrame);
    const QRect doors = inView(view.DoorsPageControl);
    const QRect persons = inView(view.PersLinkingFrame);
    const QRect fields = inView(view.BuildingRemMemo);
    const int top = view.BtnPanel->geometry().bottom() + 1;
    const int usable = size.height - top;
    // The list: 309 pixels wide on the smallest page (789) and half of what the page grows
    // beyond; half of the height below the buttons.
    EXPECT_EQ(listRect.topLeft(), QPoint(0, top));
    EXPECT_EQ(listRect.width(), 309 + (size.width - 789) / 2);
    EXPECT_NEAR(listRect.height(), usable / 2, 1);
    // The doors below it, as wide, down to the bottom.
    EXPECT_GE(doors.top(), listRect.bottom());
    EXPECT_EQ(doors.left(), 0);
    EXPECT_EQ(doors.width(), listRect.width());
    EXPECT_GE(doors.bottom(), size.height - 2);
    // The fields and the persons at its right; the persons take all below the fields.
    EXPECT_GE(fields.left(), listRect.right());
    EXPECT_GE(persons.left(), listRect.right());
    EXPECT_GT(persons.top(), fields.bottom());
    EXPECT_LE(persons.top(), fields.bottom() + 12);
    EXPECT_GE(persons.bottom(), size.height - 12);
    EXPECT_GE(persons.width(), size.width - listRect.width() - 30);
    EXPECT_FALSE(view.EdPanel->verticalScrollBar()->isVisible()) << "the fields fit";
    // Both link lists fill their frames to the bottom: white there, not a grey bar.
    const QImage picture = view.grab().toImage();
    if (const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS"); shots && *shots)
      picture.save(QString::fromLocal8Bit(shots) + "/buildings_" + QString::fromStdString(name) +
                   ".png");
    for (TLinkingFrame* frame : {view.DoorsLinkingFrame, view.PersLinkingFrame}) {
      SCOPED_TRACE(frame->objectName().toStdString());
      EXPECT_GE(frame->Listbox->geometry().bottom(), frame->height() - 2);
      const QRect shown = inView(frame->Listbox->viewport());
      const QPoint low(shown.center().x(), shown.bottom() - 1);
      EXPECT_EQ(picture.pixelColor(low * picture.devicePixelRatio()), QColor(Qt::white));
      EXPECT_GE(shown.bottom(), inView(frame).bottom() - 4);
    }
    // The door and the person are listed.
    EXPECT_EQ(view.DoorsLinkingFrame->ListModel->rowCount(), 1);
    EXPECT_EQ(view.PersLinkingFrame->ListModel->rowCount(), 1);
  }
}

}  // namespace
