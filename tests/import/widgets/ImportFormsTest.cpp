// The import dialogs on their own: a key file shown in the grid with the layout's captions,
// the door layout's captions, the journal viewer's rows, the joining dialog's choices.

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <gtest/gtest.h>

#include "basic/widgets/QtGlue.h"
#include "import/ImportTable.h"
#include "import/widgets/BookingForm.h"
#include "import/widgets/ConcatCellsForm.h"
#include "import/widgets/FixedImportForm.h"
#include "support/TestSupport.h"

namespace {

std::string Cell(QTableWidget* grid, int row, int col) {
  QTableWidgetItem* item = grid->item(row, col);
  return item ? FromQString(item->text()) : std::string();
}

TEST(ImportForms, AKeyFileFillsTheGridAndTheHeaderBoxRefillsIt) {
  TTempDir dir;
  WriteAllBytes(dir.File("keys.csv"), "Name;Zweit\r\nK1 (Anlage1);;Anlage1\r\n;leer\r\nK2\tx\r\n");
  TImportKeysForm form;
  EXPECT_FALSE(form.ImportBtn->isEnabled());
  ASSERT_TRUE(form.LoadFile(dir.File("keys.csv")));
  EXPECT_EQ(FromQString(form.Grid->horizontalHeaderItem(0)->text()), " Bezeichnung");
  EXPECT_EQ(FromQString(form.Grid->horizontalHeaderItem(1)->text()), " Bezeichnung2");
  EXPECT_EQ(form.Grid->rowCount(), 3);
  EXPECT_EQ(Cell(form.Grid, 1, 0), " K1");
  EXPECT_TRUE(form.ImportBtn->isEnabled());
  form.HeaderBox->setChecked(true);
  EXPECT_EQ(form.Grid->rowCount(), 2);
  EXPECT_EQ(Cell(form.Grid, 1, 1), " x");
  form.Reset();
  EXPECT_FALSE(form.ImportBtn->isEnabled());
  EXPECT_TRUE(form.Rows().empty());

  TImportDoorsForm doors;
  EXPECT_EQ(doors.Grid->columnCount(), 9);
  EXPECT_EQ(FromQString(doors.Grid->horizontalHeaderItem(1)->text()), " Geb\xE4ude");
}

TEST(ImportForms, TheJournalViewerNumbersTheLinesBelowTheHeader) {
  TBookingForm form;
  form.ShowLines({"Typ\tPosition\tBezeichnung", "Key\tZ1\tS1", "Cyl\t001\tT\t"});
  EXPECT_EQ(form.Grid->rowCount(), 3);
  EXPECT_EQ(form.Grid->columnCount(), 5);
  EXPECT_EQ(Cell(form.Grid, 0, 0), "");
  EXPECT_EQ(Cell(form.Grid, 0, 1), "Typ");
  EXPECT_EQ(Cell(form.Grid, 2, 0), "2");
  EXPECT_EQ(Cell(form.Grid, 2, 3), "T");
  form.ShowLines({"Typ"});
  EXPECT_EQ(form.Grid->rowCount(), 2);  // at least two rows
}

TEST(ImportForms, JoiningOffersAToYWithBracketsFirstAndNeedsATable) {
  TConcatCellsForm form;
  EXPECT_EQ(form.ColumnCombo->count(), 25);
  EXPECT_EQ(FromQString(form.ColumnCombo->itemText(24)), "Y");
  EXPECT_EQ(form.Style(), TConcatStyle::Brackets);
  form.CommaStyle->setChecked(true);
  EXPECT_EQ(form.Style(), TConcatStyle::Comma);
  EXPECT_FALSE(ShowConcatCells(nullptr));
}

}  // namespace
