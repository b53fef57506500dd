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
#include "basic/widgets/DialogRunner.h"
#include "data/MandantUnit.h"
#include "platform/PlatformFileAccess.h"
#include "support/TestSupport.h"

#include <QFileDialog>

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

TEST(ImportForms, TheJournalIsPickedInTheClientsFolderAndShownOrItsTroubleTold) {
  TTempDir dir;
  TScopedRecorder ui;
  TMandantState state;
  state.DataRoot = dir.Dir();
  state.DataPath = dir.Dir();
  TMandantStateScope scope(state);
  ShowImportJournal("");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Keine Dateien gefunden.");

  ASSERT_EQ(PfMakeFolders(dir.Dir() + "ImportJournal/"), 0);
  const std::string file = dir.Dir() + "ImportJournal/2024-03-05 10.30.00.csv";
  WriteAllBytes(file, "Typ\tPosition\tBezeichnung\tNeu\tBuchung\tGesamt\r\nKey\tZ1\tS1\t3\t+3\t3\r\n");
  std::string filter;
  QueueDialogDriver([&](QDialog& dialog) {
    auto* chooser = qobject_cast<QFileDialog*>(&dialog);
    ASSERT_NE(chooser, nullptr);
    filter = FromQString(chooser->nameFilters().join(";;"));
    chooser->selectFile(QString::fromStdString(file));
    dialog.accept();
  });
  int rows = 0;
  QueueDialogDriver([&](QDialog& dialog) {
    if (auto* booking = dynamic_cast<TBookingForm*>(&dialog)) rows = booking->Grid->rowCount();
    dialog.accept();
  });
  ShowImportJournal("");
  EXPECT_EQ(filter, "ChangeLog (*.csv)");
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(PendingDialogDrivers(), 0);

  ShowImportJournal(dir.Dir() + "missing.csv");
  EXPECT_EQ(ui.messages.back().text,
            "Die Datei konnte nicht geladen werden.\r" + dir.Dir() + "missing.csv");
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
