// The key cabinets view: unique names, the users on both sides in the save's write, the
// count cells, no deleting while keys are inside.
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QListWidget>
#include <QTableWidget>

#include "DoorsTestSupport.h"
#include "app/ListingFrameUnit.h"
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

}  // namespace
