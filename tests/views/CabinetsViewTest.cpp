// The key cabinets view: unique names, the users on both sides in the save's write, the
// count cells, no deleting while keys are inside, the keys grid's building filter and how
// the grid looks.
#include <algorithm>
#include <cstdlib>

#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest/QTest>

#include "DoorsTestSupport.h"
#include "app/ListingFrameUnit.h"
#include "automation/ClicksScenario.h"
#include "basic/widgets/DialogRunner.h"
#include "output/PrintSelectUnit.h"
#include "views/FrameCabinetUnit.h"

namespace {

TEST(CabinetsView, CountCells) {
  const struct {
    const char *current, *maximum, *cell;
  } cases[] = {
      {"3", "5", "\t3 /   5 "}, {"12", "10", "\t12 / 10 "}, {"3", "", "\t3 /   ? "}, {"", "", ""}};
  for (const auto& c : cases) EXPECT_EQ(CabinetCountCell(c.current, c.maximum), c.cell);
}

TEST(CabinetsView, UsersAreReplacedOnBothSidesAndKeysKeepTheCabinet) {
  TDoorsWorld w;
  const int32_t anna = w.Record(icUser, "Anna");
  const int32_t bert = w.Record(icUser, "Bert");
  TFrameCabinet view(nullptr);
  view.NewBtnClick();
  view.NameEd->setText("Schrank 1");
  ASSERT_EQ(view.UsersBox->count(), 2);
  view.UsersBox->item(0)->setCheckState(Qt::Checked);
  ASSERT_TRUE(view.SaveBtnClick()) << w.ui.AllText();
  const int32_t cabinet = view.CurrentId;
  EXPECT_EQ(TDoorsWorld::Links(*TDoorsWorld::TDisk(w.dir), anna, icCabinet),
            std::vector<int32_t>{cabinet});

  // A second user joins a cabinet that has one; the first leaves.
  ASSERT_TRUE(view.StartEdit());
  ASSERT_EQ(view.UsersBox->count(), 2);
  view.UsersBox->item(0)->setCheckState(Qt::Unchecked);
  view.UsersBox->item(1)->setCheckState(Qt::Checked);
  ASSERT_TRUE(view.SaveBtnClick()) << w.ui.AllText();
  {
    TDoorsWorld::TDisk disk(w.dir);
    EXPECT_EQ(TDoorsWorld::Links(*disk, cabinet, icUser), std::vector<int32_t>{bert});
    EXPECT_TRUE(TDoorsWorld::Links(*disk, anna, icCabinet).empty());
  }
  // Without the full users right the box cannot be changed.
  Session().RightLevels[rtUsers] = 1;
  ASSERT_TRUE(view.StartEdit());
  EXPECT_FALSE(view.UsersBox->isEnabled());
  EXPECT_EQ(view.UsersBox->count(), 2) << "still listed";
  view.CancelBtnClick();
  Session().RightLevels[rtUsers] = rlYes;

  // A name taken, in any case.
  view.NewBtnClick();
  view.NameEd->setText(" schrank 1 ");
  EXPECT_FALSE(view.SaveBtnClick());
  EXPECT_NE(w.ui.AllText().find("Es gibt bereits einen Schl\xFCsselschrank"), std::string::npos);
  view.CancelBtnClick();

  // A cabinet with a key is not deleted.
  const int32_t key = w.Record(icKey, "K1");
  w.Link(key, cabinet);
  view.ShowRecord(cabinet);
  w.ui.Clear();
  w.ui.answers = {mrYes};
  view.KillBtnClick();
  EXPECT_NE(w.ui.AllText().find("noch mit Schl\xFCsseln verkn\xFCpft"), std::string::npos)
      << w.ui.AllText();
  EXPECT_TRUE(TDoorsWorld::TDisk(w.dir)->IsValid(cabinet));
}

TEST(CabinetsView, TheKeysGridSearchesAndPrintsWhatItShows) {
  TDoorsWorld w;
  SetKeySystemName(3, "Nord");
  const int32_t cabinet = w.Record(icCabinet, "Schrank A");
  const int32_t k1 = w.Record(icKey, "Haupt");
  const int32_t k2 = w.Record(icKey, "Keller");
  w.Set(k1, fkKeySystem, "3");
  for (int32_t key : {k1, k2}) w.Link(key, cabinet);
  w.a->SetLinkValue(k1, cabinet, fkCabinetStock, "3");
  w.a->SetLinkValue(k1, cabinet, fkCabinetOwned, "5");
  ASSERT_TRUE(w.a->Commit());
  TFrameCabinet view(nullptr);
  std::string title;
  std::vector<std::string> printed;
  view.PrintLines = [&](const std::string& t, const std::vector<std::string>& lines) {
    title = t;
    printed = lines;
    return true;
  };
  // Without a cabinet shown the printout asks for one.
  view.PrintMenu();
  EXPECT_NE(w.ui.AllText().find("Bitte w\xE4hlen Sie einen Schl\xFCsselschrank"),
            std::string::npos);
  EXPECT_TRUE(printed.empty());

  view.ShowRecord(cabinet);
  QTableWidget* grid = view.KeysListingGridFrame->Grid;
  EXPECT_EQ(grid->rowCount(), 2);
  view.KeysListingGridFrame->SeekCombo->setEditText("kell");
  view.KeysListingGridFrame->Fill();
  ASSERT_EQ(grid->rowCount(), 1);
  EXPECT_EQ(grid->item(0, 0)->data(Qt::UserRole).toInt(), k2);
  view.KeysListingGridFrame->SeekCombo->setEditText("");
  view.KeysListingGridFrame->Fill();
  ASSERT_EQ(grid->rowCount(), 2);

  // The printout: the rows shown, the count in its own column (the grid's TAB that aligns it
  // right on screen does not split the line), only the ticked columns.
  QueueDialogDriver([](QDialog& dialog) {
    if (auto* select = dynamic_cast<TPrintSelectForm*>(&dialog)) select->OkBtn->click();
  });
  view.PrintMenu();
  EXPECT_EQ(title, "Schl\xFCsselschrank Schrank A");
  TPrintFields fields{{"Haken", true}, {"Key", true}, {"Anlage", true}, {"Anzahl", true}};
  const std::vector<std::string> lines = CabinetPrintLines(*w.a.db, grid, fields);
  ASSERT_EQ(lines.size(), 3u);
  const std::string haupt = lines[1].find("Haupt") != std::string::npos ? lines[1] : lines[2];
  EXPECT_EQ(haupt, grid->item(lines[1] == haupt ? 0 : 1, 0)->text().toStdString() + "\t" +
                       w.a->GetDisplayName(k1) + "\tNord\t3 /   5 ");
  fields[0].checked = fields[2].checked = false;
  EXPECT_EQ(CabinetPrintLines(*w.a.db, grid, fields)[0], "Key\tAnzahl");
}

// The keys shown in the grid, by ID.
std::vector<int32_t> ShownKeys(const QTableWidget* grid) {
  std::vector<int32_t> keys;
  for (int r = 0; r < grid->rowCount(); ++r)
    if (const QTableWidgetItem* item = grid->item(r, 0))
      keys.push_back(item->data(Qt::UserRole).toInt());
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::vector<std::string> ComboTexts(const QComboBox* combo) {
  std::vector<std::string> texts;
  for (int i = 0; i < combo->count(); ++i) texts.push_back(FromQString(combo->itemText(i)));
  return texts;
}

// Three keys in a cabinet: one at the building "Ost", one at "West", one at no building.
struct TCabinetWithKeys {
  TDoorsWorld w;
  int32_t west = w.Record(icBuilding, "West");
  int32_t ost = w.Record(icBuilding, "Ost");
  int32_t cabinet = w.Record(icCabinet, "Schrank A");
  int32_t haupt = w.Record(icKey, "Haupt");
  int32_t keller = w.Record(icKey, "Keller");
  int32_t tor = w.Record(icKey, "Tor");
  TCabinetWithKeys() {
    w.Link(haupt, ost);
    w.Link(keller, west);
    for (int32_t key : {haupt, keller, tor}) w.Link(key, cabinet);
  }
};

TEST(CabinetsView, TheKeysGridsBuildingFilterIsFilledAndPickedByHand) {
  TCabinetWithKeys c;
  TFrameCabinet view(nullptr);
  view.resize(1000, 640);
  view.show();
  view.ShowRecord(c.cabinet);
  TListingGridFrame* frame = view.KeysListingGridFrame;
  QComboBox* house = frame->HouseCombo;
  QTableWidget* grid = frame->Grid;
  ASSERT_TRUE(house->isVisible());
  EXPECT_TRUE(frame->InHouseLabel->isVisible());
  EXPECT_EQ(ComboTexts(house), (std::vector<std::string>{
                                   "alle Geb\xE4ude", "ohne Geb\xE4ude-Zuordnung", "Ost", "West"}));
  EXPECT_EQ(house->currentIndex(), 0);
  EXPECT_EQ(ShownKeys(grid), (std::vector<int32_t>{c.haupt, c.keller, c.tor}));
  // The filter lies below the search box, the grid below both.
  EXPECT_GE(house->mapTo(frame, QPoint(0, 0)).y(),
            frame->SeekCombo->mapTo(frame, QPoint(0, frame->SeekCombo->height())).y());
  EXPECT_GE(grid->y(), house->mapTo(frame, QPoint(0, house->height())).y());

  // Picked from the opened list with the mouse.
  const struct {
    const char* pick;
    std::vector<int32_t> keys;
  } picks[] = {{"Ost", {c.haupt}},
               {"West", {c.keller}},
               {"ohne Geb", {c.tor}},
               {"alle Geb", {c.haupt, c.keller, c.tor}}};
  for (const auto& p : picks) {
    ASSERT_TRUE(hand::PickFromCombo(house, p.pick)) << p.pick;
    EXPECT_EQ(ShownKeys(grid), p.keys) << p.pick;
  }

  // With the keyboard on the combo.
  const struct {
    Qt::Key key;
    std::vector<int32_t> keys;
  } keys[] = {{Qt::Key_Down, {c.tor}},     // "ohne Gebäude-Zuordnung"
              {Qt::Key_Down, {c.haupt}},   // "Ost"
              {Qt::Key_Down, {c.keller}},  // "West"
              {Qt::Key_Home, {c.haupt, c.keller, c.tor}}};
  house->setFocus();
  for (const auto& k : keys) {
    QTest::keyClick(house, k.key);
    hand::Settle();
    EXPECT_EQ(ShownKeys(grid), k.keys) << FromQString(house->currentText());
  }

  // A building made elsewhere joins the filter with the next refresh, the one chosen stays;
  // once the chosen building is gone the grid shows every key again.
  ASSERT_TRUE(hand::PickFromCombo(house, "Ost"));
  c.w.Record(icBuilding, "Nord");
  view.RefreshView();
  EXPECT_EQ(ComboTexts(house),
            (std::vector<std::string>{"alle Geb\xE4ude", "ohne Geb\xE4ude-Zuordnung", "Nord", "Ost",
                                      "West"}));
  EXPECT_EQ(FromQString(house->currentText()), "Ost");
  EXPECT_EQ(ShownKeys(grid), std::vector<int32_t>{c.haupt});
  ASSERT_TRUE(c.w.a->MarkDeleted(c.ost));
  ASSERT_TRUE(c.w.a->Commit());
  view.RefreshView();
  EXPECT_EQ(house->currentIndex(), 0);
  EXPECT_EQ(ShownKeys(grid), (std::vector<int32_t>{c.haupt, c.keller, c.tor}));
}

// A picture of the grid: the rows in their stripes end with the count column, nothing of the
// empty fourth column shows, and the one empty row of an empty grid does not look chosen.
TEST(CabinetsView, TheKeysGridShowsThreeColumnsAndNoChosenEmptyRow) {
  TCabinetWithKeys c;
  c.w.a->SetLinkValue(c.haupt, c.cabinet, "po", "A1");
  c.w.a->SetLinkValue(c.haupt, c.cabinet, fkCabinetStock, "3");
  c.w.a->SetLinkValue(c.haupt, c.cabinet, fkCabinetOwned, "5");
  c.w.a->SetLinkValue(c.keller, c.cabinet, "po", "B2");
  ASSERT_TRUE(c.w.a->Commit());
  TFrameCabinet view(nullptr);
  view.resize(1000, 640);
  view.show();
  view.ShowRecord(c.cabinet);
  QTableWidget* grid = view.KeysListingGridFrame->Grid;
  hand::Settle();

  // Columns 0-2: hook, name, count; sorted by hook (an empty hook first).
  ASSERT_EQ(grid->rowCount(), 3);
  ASSERT_EQ(grid->columnCount(), 4);
  const std::vector<std::vector<std::string>> cells = {
      {"", " " + c.w.a->GetDisplayName(c.tor), ""},
      {" A1", " " + c.w.a->GetDisplayName(c.haupt), "\t3 /   5 "},
      {" B2", " " + c.w.a->GetDisplayName(c.keller), ""}};
  for (int r = 0; r < 3; ++r)
    for (int col = 0; col < 3; ++col)
      EXPECT_EQ(FromQString(grid->item(r, col)->text()), cells[r][col]) << r << "," << col;
  for (int col = 0; col < 3; ++col) {
    EXPECT_LE(grid->columnWidth(col), 300);
    EXPECT_GT(grid->columnWidth(col), 20) << "the title shows";
  }

  const QColor stripe = ColorFromBgr(clListRowOdd);
  const QColor chosen = ColorFromBgr(clListSelected);
  auto shot = [&](const char* name) {
    const QImage image = grid->grab().toImage();
    image.save(QString("/tmp/cabinet_grid_%1.png").arg(name));
    return image;
  };
  view.KeysListingGridFrame->grab().save("/tmp/cabinet_keys_frame.png");
  // The second row is striped up to the count column's right edge and no further.
  {
    const QImage image = shot("keys");
    const QPoint origin = grid->viewport()->mapTo(grid, QPoint(0, 0));
    const int countEnd = grid->columnViewportPosition(2) + grid->columnWidth(2) + origin.x();
    const int y = grid->rowViewportPosition(1) + grid->rowHeight(1) / 2 + origin.y();
    EXPECT_EQ(image.pixelColor(countEnd - 3, y), stripe);
    for (int x = countEnd + 2; x < countEnd + 60 && x < image.width() - 4; ++x)
      ASSERT_NE(image.pixelColor(x, y), stripe) << "a strip right of the count at x " << x;
    // The header has no section beyond the count's.
    EXPECT_EQ(grid->horizontalHeader()->logicalIndexAt(countEnd - origin.x() + 10), -1);
  }

  // "Neu" empties the grid to one row, which is not painted as chosen.
  ASSERT_TRUE(hand::Click(view.NewBtn));
  ASSERT_EQ(grid->rowCount(), 1);
  {
    const QImage image = shot("empty");
    const QPoint origin = grid->viewport()->mapTo(grid, QPoint(0, 0));
    const QRect row(origin.x(), origin.y() + grid->rowViewportPosition(0),
                    grid->columnViewportPosition(2) + grid->columnWidth(2), grid->rowHeight(0));
    int chosenPixels = 0;
    for (int x = row.left() + 2; x < row.right() - 2; ++x)
      for (int y = row.top() + 2; y < row.bottom() - 2; ++y)
        if (image.pixelColor(x, y) == chosen) ++chosenPixels;
    EXPECT_EQ(chosenPixels, 0);
    EXPECT_EQ(image.pixelColor(row.left() + 5, row.center().y()), ColorFromBgr(clListRowEven));
  }
  view.CancelBtnClick();
}

}  // namespace
