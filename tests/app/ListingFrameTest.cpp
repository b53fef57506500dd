#include "app/ListingFrameUnit.h"

#include <QApplication>
#include <QComboBox>
#include <QAction>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTableWidget>
#include <QtTest/QTest>

#include "FramesTestSupport.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/QtGlue.h"
#include "data/ViewOptionsUnit.h"

namespace {

std::vector<std::string> Texts(const TListingFrame& listing) {
  std::vector<std::string> out;
  for (int i = 0; i < listing.Model->Count(); ++i) out.push_back(listing.Model->Row(i).text);
  return out;
}

struct ListingFrame : TFramesTest {
  TListingFrame listing{nullptr};

  void SetUp() override {
    TFramesTest::SetUp();
    listing.resize(300, 400);
  }
};

TEST_F(ListingFrame, ThreeQuickRefreshesFillTheListOnceWithTheLastText) {
  Record(icPerson, "Meier");
  Record(icPerson, "Mayer");
  Record(icPerson, "Schmidt");
  for (int i = 0; i < 40; ++i) Record(icPerson, "Filler " + std::to_string(i));
  listing.Setup(icPerson, 0, 0, 0);
  // The user types on while each refresh lets the window process its events.
  ui.events.push_back([&] { listing.SeekCombo->setEditText("Me"); });
  ui.events.push_back([&] { listing.SeekCombo->setEditText("Mei"); });
  listing.SeekCombo->setEditText("M");

  EXPECT_EQ(listing.RefreshCounter, 3);
  EXPECT_EQ(listing.FillCount, 1);
  EXPECT_EQ(Texts(listing), std::vector<std::string>{"Meier"});
  EXPECT_EQ(FromQString(listing.SeekCombo->currentText()), "Mei");

  // Overtaken while the list filler walks the records (it looks every 16 records).
  ui.events.push_back([] {});
  ui.events.push_back([&] { listing.SeekCombo->setEditText("Sch"); });
  listing.SeekCombo->setEditText("Filler");
  EXPECT_EQ(listing.FillCount, 2);
  EXPECT_EQ(Texts(listing), std::vector<std::string>{"Schmidt"});
}

// The listing keeps what it prepared for the search between keystrokes, but never across
// a change of the store: a name changed at another station shows after the reread, also
// when the term only grew (then the listing searches within what the last one found).
TEST_F(ListingFrame, AKeptListFollowsANameChangedAtAnotherStation) {
  Record(icPerson, "Meier");
  const int32_t other = Record(icPerson, "Schmidt");
  ASSERT_TRUE(a->Commit());
  listing.Setup(icPerson, 0, 0, 0);
  listing.SeekCombo->setEditText("Me");
  EXPECT_EQ(Texts(listing), std::vector<std::string>{"Meier"});

  TStation b{"B"};
  ASSERT_TRUE(b.Open(dir));
  b->SetField(other, "n", "Meiser");
  ASSERT_TRUE(b->Commit());
  ASSERT_EQ(a->Load(), ldRead);
  listing.SeekCombo->setEditText("Mei");
  EXPECT_EQ(Texts(listing), (std::vector<std::string>{"Meier", "Meiser"}));
}

TEST_F(ListingFrame, BuildingFilterAllOneBuildingAndWithoutBuilding) {
  const int32_t b1 = Record(icBuilding, "Haus 1");
  const int32_t b2 = Record(icBuilding, "Haus 2");
  const int32_t d1 = Record(icDoor, "T1");
  const int32_t d2 = Record(icDoor, "T2");
  Record(icDoor, "T3");
  Link(d1, b1);
  Link(d2, b2);
  listing.Setup(icDoor, 0, 0, 0);
  AddComboItem(listing.HouseCombo, "alle", 0);
  AddComboItem(listing.HouseCombo, "Haus 1", b1);
  AddComboItem(listing.HouseCombo, "ohne", ksAll);

  const struct {
    int index;
    std::vector<std::string> expected;
  } cases[] = {{0, {"T1", "T2", "T3"}}, {1, {"T1"}}, {2, {"T3"}}, {0, {"T1", "T2", "T3"}}};
  for (const auto& c : cases) {
    listing.HouseCombo->setCurrentIndex(c.index);  // a change refreshes
    EXPECT_EQ(Texts(listing), c.expected) << c.index;
  }
  // A hidden building filter filters nothing.
  listing.HouseCombo->setCurrentIndex(1);
  listing.HouseCombo->hide();
  listing.Refresh();
  EXPECT_EQ(Texts(listing), (std::vector<std::string>{"T1", "T2", "T3"}));
}

TEST_F(ListingFrame, FilterCallbackSecondClassAndSystemFilter) {
  const int32_t k1 = Record(icKey, "K1");
  const int32_t k2 = Record(icKey, "K2");
  Record(icKeyBunch, "Bund A");
  a->SetField(k1, "ks", "1");
  a->SetField(k2, "ks", "2");
  ASSERT_TRUE(a->Commit());
  listing.Setup(icKey, 0, 0, 0);
  listing.Refresh();
  EXPECT_EQ(Texts(listing), (std::vector<std::string>{"K1", "K2"}));

  listing.Setup(icKey, icKeyBunch, 0, 0);
  listing.Refresh();
  EXPECT_EQ(Texts(listing), (std::vector<std::string>{"Bund A", "K1", "K2"}));

  listing.Filter = [&](int32_t id) { return id != k1; };
  listing.Refresh();
  EXPECT_EQ(Texts(listing), (std::vector<std::string>{"Bund A", "K2"}));

  listing.Filter = nullptr;
  AddComboItem(listing.SysCombo, "alle", ksAll);
  AddComboItem(listing.SysCombo, "Anlage 2", 2);
  listing.SysCombo->show();
  listing.SysCombo->setCurrentIndex(1);
  EXPECT_EQ(Texts(listing), std::vector<std::string>{"K2"});
}

TEST_F(ListingFrame, ARefreshNeverStoresOrSavesTheRecordBeingEdited) {
  const int32_t house = Record(icBuilding, "Haus 1");
  const int32_t door = Record(icDoor, "T1");
  const int32_t copy = Record(icDoor, "T1 Kopie");
  const int32_t edited = Record(icPerson, "Anna");
  Link(door, house);
  a->AddLinkBoth(copy, door, lkMother, lkDaughters);
  ASSERT_TRUE(a->Commit());
  listing.Setup(icDoor, 0, 0, 0);
  AddComboItem(listing.HouseCombo, "alle", 0);
  AddComboItem(listing.HouseCombo, "Haus 1", house);
  a->AutoSave = true;
  a->SetField(edited, "Nr", "4711");  // being edited: changed, not stored
  const std::string file = ReadAllBytes(a->FileName);

  ApplyViewSortText("3=01");  // doors by closing numbers
  listing.Refresh();
  ApplyViewSortText("");
  listing.HouseCombo->setCurrentIndex(1);
  listing.SeekCombo->setEditText("T1");
  EXPECT_EQ(Texts(listing), std::vector<std::string>{"T1"});
  EXPECT_EQ(ReadAllBytes(a->FileName), file);
  EXPECT_EQ(a->CurrentID, edited);
  EXPECT_TRUE(a->CurrentModified);
}

TEST_F(ListingFrame, SelectionSurvivesARefreshAndSelectFirstClicksOnce) {
  Record(icPerson, "Anna");
  const int32_t bert = Record(icPerson, "Bert");
  listing.Setup(icPerson, 0, 0, 0);
  int clicks = 0;
  listing.OnClick = [&] { ++clicks; };
  listing.Refresh();
  listing.SelectFirst();
  EXPECT_EQ(clicks, 1);
  listing.SelectFirst();  // something is selected already
  EXPECT_EQ(clicks, 1);
  listing.SelectId(bert);
  Record(icPerson, "Aaron");
  listing.Refresh();
  EXPECT_EQ(listing.SelectedId(), bert);
  EXPECT_EQ(listing.SelectedRow(), 2);
  EXPECT_EQ(clicks, 1);  // code selecting a row is no click
}

// The mouse makes a row current before it selects it: the click must show the row clicked,
// also when it was current already (the one row of a search), and the keyboard too.
TEST_F(ListingFrame, AMouseClickRunsTheClickOnTheRowClickedAlsoInAListOfOneRow) {
  const int32_t anna = Record(icPerson, "Anna");
  const int32_t bert = Record(icPerson, "Bert");
  const int32_t carl = Record(icPerson, "Carl");
  listing.Setup(icPerson, 0, 0, 0);
  std::vector<int32_t> shown;
  listing.OnClick = [&] { shown.push_back(listing.SelectedId()); };
  listing.show();
  listing.Refresh();
  auto click = [&](int row, bool twice = false) {
    const QPoint at = listing.ListBox->visualRect(listing.Model->index(row)).center();
    QTest::mouseClick(listing.ListBox->viewport(), Qt::LeftButton, {}, at);
    if (twice) {  // as the platform delivers it: press, release, double click, release
      QTest::mouseDClick(listing.ListBox->viewport(), Qt::LeftButton, {}, at);
      QTest::mouseRelease(listing.ListBox->viewport(), Qt::LeftButton, {}, at);
    }
  };
  listing.SelectFirst();
  click(1);
  click(2, true);
  EXPECT_EQ(shown, (std::vector<int32_t>{anna, bert, carl}));
  QTest::keyClick(listing.ListBox, Qt::Key_Up);
  EXPECT_EQ(shown.back(), bert);

  // Typed down to one row, which the list makes current but nobody selected.
  QTest::keyClicks(listing.SeekCombo->lineEdit(), "Carl");
  ASSERT_EQ(listing.Count(), 1);
  listing.ListBox->setFocus();
  listing.ListBox->selectionModel()->setCurrentIndex(listing.Model->index(0),
                                                     QItemSelectionModel::NoUpdate);
  shown.clear();
  click(0);
  EXPECT_EQ(shown, std::vector<int32_t>{carl});
  listing.hide();
}

TEST_F(ListingFrame, ARefreshWhileTheViewIsDisabledLeavesTheListUsableAfterwards) {
  // A view disables its listing while it edits; every view is refreshed meanwhile.
  Record(icPerson, "Anna");
  QWidget view;
  listing.setParent(&view);
  listing.Setup(icPerson, 0, 0, 0);
  view.setEnabled(false);
  listing.Refresh();
  view.setEnabled(true);
  EXPECT_TRUE(listing.ListBox->isEnabled());
  listing.setParent(nullptr);
}

TEST_F(ListingFrame, PlaceholderShowsOnlyOverTheEmptyVisibleSearchBox) {
  listing.Setup(icPerson, 0, 0, 0);
  EXPECT_EQ(FromQString(listing.PlaceholderPanel->text()), "<Suchbegriff>");
  EXPECT_FALSE(listing.PlaceholderPanel->isHidden());
  listing.SeekTag = 1;  // code sets the text: no refresh
  listing.SeekCombo->setEditText("x");
  EXPECT_TRUE(listing.PlaceholderPanel->isHidden());
  EXPECT_EQ(listing.RefreshCounter, 0);
  listing.SeekCombo->setEditText("");
  EXPECT_FALSE(listing.PlaceholderPanel->isHidden());
  listing.SeekCombo->hide();
  listing.ArrangePlaceholder();
  EXPECT_TRUE(listing.PlaceholderPanel->isHidden());
  // Left of the boxes: caption + 12; the placeholder 8 further, half as wide.
  const int x = listing.CaptionLabel->x() + listing.CaptionLabel->width() + 12;
  EXPECT_EQ(listing.SeekCombo->x(), x);
  EXPECT_EQ(listing.PlaceholderPanel->x(), x + 8);
  EXPECT_EQ(listing.PlaceholderPanel->width(), listing.SeekCombo->width() / 2);
}

TEST_F(ListingFrame, PopupOffersTheBuildingFilterOnlyWithThePopupFlag) {
  AddComboItem(listing.HouseCombo, "alle", 0);
  AddComboItem(listing.HouseCombo, "Haus", 5);
  listing.HouseCombo->setCurrentIndex(1);
  listing.ListingPopupPopup();
  EXPECT_FALSE(listing.SeekBuildings1->isVisible());
  listing.PopupFlag = 1;
  listing.ListingPopupPopup();
  EXPECT_TRUE(listing.SeekBuildings1->isVisible());
  EXPECT_TRUE(listing.SeekBuildings1->isChecked());
  listing.SeekBuildings1->trigger();  // unchecks: back to "all" and hidden
  EXPECT_TRUE(listing.HouseCombo->isHidden());
  EXPECT_EQ(listing.HouseCombo->currentIndex(), 0);
  listing.SeekBuildings1->trigger();
  EXPECT_FALSE(listing.HouseCombo->isHidden());
}

// The look: rows alternate white and $F0FFE8, the selected row is $C56A31 with white text.
TEST_F(ListingFrame, RowsAreDrawnInTheProgramsColours) {
  for (const char* name : {"Anna", "Bert", "Carl", "Dora"}) Record(icPerson, name);
  listing.Setup(icPerson, 0, 0, 0);
  listing.Refresh();
  listing.show();
  listing.SelectId(listing.IdAt(2));
  QApplication::processEvents();
  const QImage image = listing.ListBox->viewport()->grab().toImage();
  auto colourAt = [&](int row) {
    const QRect r = listing.ListBox->visualRect(listing.Model->index(row));
    return BgrFromColor(image.pixelColor(r.right() - 3, r.top() + 1));
  };
  EXPECT_EQ(colourAt(0), clListRowEven);
  EXPECT_EQ(colourAt(1), clListRowOdd);
  EXPECT_EQ(colourAt(2), clListSelected);
  EXPECT_EQ(colourAt(3), clListRowOdd);
}

TEST_F(ListingFrame, GroupGapsFollowTheLastRowOfEachGroup) {
  for (const char* name : {"K1", "K2", "K3"}) Record(icKey, name);
  listing.Setup(icKey, 0, 0, 0);
  listing.Formatter = [](int32_t id, uint8_t) {
    TListEntryText entry;
    entry.text = "K" + std::to_string(id) + (id < 3 ? "\tA" : "\tB");
    entry.sortKey = entry.text;
    return entry;
  };
  listing.Refresh();
  listing.SetGroupGaps(true);
  auto height = [&](int row) { return listing.ListBox->visualRect(listing.Model->index(row)).height(); };
  const int normal = height(0);
  EXPECT_EQ(height(1), normal / 4 * 7);  // last of group "A"
  EXPECT_EQ(height(2), normal);          // the last row has no gap
  listing.SetGroupGaps(false);
  EXPECT_EQ(height(1), normal);
  // Keys sorted by closing have the gaps by themselves.
  ViewOptions().variant[icKey] = 2;
  listing.Refresh();
  EXPECT_EQ(height(1), normal / 4 * 7);
  ResetViewOptions();
}

TEST_F(ListingFrame, GridFillRunsTheOwnersProcedureWithItsIdsAndSplitsCellsAtTab) {
  TListingGridFrame grid(nullptr);
  grid.resize(400, 300);
  grid.ItemType = icCabinet;
  grid.ContextId = 77;
  std::vector<int32_t> seen;
  grid.OnGetIds = [](TItemList& ids) {
    ids.Add(5);
    ids.Add(6);
  };
  grid.FillProc = [&](QTableWidget* g, int32_t context, uint8_t itemType, const int* counter,
                      int32_t system, int flag, uint8_t, QComboBox* search,
                      const TItemList& ids) {
    EXPECT_EQ(context, 77);
    EXPECT_EQ(itemType, icCabinet);
    EXPECT_EQ(*counter, grid.RefreshCounter);
    EXPECT_EQ(system, ksAll);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(search, grid.SeekCombo);
    for (int i = 0; i < ids.Count(); ++i) seen.push_back(ids.Get(i));
    SetGridRowCount(g, 2);
    SetGridCell(g, 0, 1, "Links\tRechts");
  };
  ui.events.push_back([&] { grid.Fill(); });  // a second fill overtakes the first
  grid.Fill();
  EXPECT_EQ(grid.FillCount, 1);
  EXPECT_EQ(seen, (std::vector<int32_t>{5, 6}));

  GridClearSelection(grid.Grid);
  grid.Grid->setColumnWidth(0, 300);
  grid.show();
  QApplication::processEvents();
  const QImage image = grid.Grid->viewport()->grab().toImage();
  const QRect cell = grid.Grid->visualRect(grid.Grid->model()->index(0, 0));
  auto inkIn = [&](int from, int to) {
    for (int x = from; x < to; ++x)
      for (int y = cell.top(); y <= cell.bottom(); ++y)
        if (image.pixelColor(x, y).lightness() < 100) return true;
    return false;
  };
  EXPECT_TRUE(inkIn(cell.left(), cell.left() + 60));                  // "Links" at the left
  EXPECT_FALSE(inkIn(cell.left() + 100, cell.right() - 80));          // a gap in between
  EXPECT_TRUE(inkIn(cell.right() - 60, cell.right() - 1));            // "Rechts" at the right

  grid.ClearSelection();
  EXPECT_EQ(grid.ContextId, 0);
  EXPECT_EQ(GridRowCount(grid.Grid), 2);
  EXPECT_EQ(GridCell(grid.Grid, 0, 1), "");
  EXPECT_EQ(GridSelectedRow(grid.Grid), 0) << "the empty row is no record to choose";
}

TEST(FieldList, RegistersItselfWhileItLives) {
  const size_t before = FieldLists().size();
  {
    TFieldList list(icPerson, nullptr);
    ASSERT_EQ(FieldLists().size(), before + 1);
    EXPECT_EQ(FieldLists().back(), &list);
    EXPECT_EQ(list.ItemClass, icPerson);
    EXPECT_EQ(list.Reserved1, 0);
    list.Entries.push_back(std::make_unique<TFieldListEntry>());
  }
  EXPECT_EQ(FieldLists().size(), before);
}

}  // namespace
