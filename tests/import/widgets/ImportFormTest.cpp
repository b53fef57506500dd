#include "import/widgets/ImportUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QToolButton>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "basic/MsgDlgUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/FieldCatalogueUnit.h"
#include "data/StockUnit.h"
#include "data/UserRights.h"
#include "import/widgets/ConcatCellsForm.h"
#include "import/widgets/ImportTableModel.h"
#include "support/TestSupport.h"

namespace {

class ImportFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFieldCatalogue();
    ASSERT_TRUE(
        LoadFieldCatalogue(false, std::string(TESSARO_RESOURCE_DIR) + "/System/Fields.csv"));
    SetDateFormat("dd.MM.yyyy");
    SetStrictDialogs(true);
    // A stand-in engine: takes every data cell of a mapped column and remembers the run.
    SetTableImportRunner([this](TImportTable& t, const TImportSettings& s, bool dry, bool) {
      runs.push_back({dry, s});
      for (int r = t.FixedRows(); r < t.RowCount(); ++r)
        for (int c = 0; c < t.ColCount(); ++c)
          if (t.CaptionObject(c) != 0) t.SetMark(c, r, 1);
      return engineResult;
    });
  }
  void TearDown() override {
    ClearDialogDrivers();
    SetStrictDialogs(false);
    SetTableImportRunner(nullptr);
    FreeImportForm();
    ResetFieldCatalogue();
  }
  static void ChooseFile(const std::string& file) {
    QueueDialogDriver([file](QDialog& dialog) {
      auto* files = dynamic_cast<QFileDialog*>(&dialog);
      ASSERT_NE(files, nullptr);
      files->selectFile(ToQString(file));
      dialog.accept();
    });
  }
  static void SelectRow(QListWidget* list, int row) {
    list->setCurrentRow(row);
    list->item(row)->setSelected(true);
  }
  // Chooses keys, no header lines, ISO dates and the first two fields in the dialog, loads
  // keys.csv and saves the profile keys.ipo from it; returns the dialog's settings.
  TImportSettings SaveKeysProfile() {
    TImportForm& form = ImportForm();
    EXPECT_TRUE(form.Prepare());
    TImportSettings chosen = form.Settings();
    chosen.contentClass = 4;
    chosen.headlines = false;
    chosen.dateFormat = "YYYY-MM-DD";
    chosen.columns = ImportColumnsOfFields("0;2147483647;");
    form.ShowSettings(chosen);
    EXPECT_TRUE(form.LoadTableFile(dir.File("keys.csv"), false));
    EXPECT_EQ(form.Table().FixedRows(), 1);
    EXPECT_TRUE(form.SaveImportProfile(dir.File("keys.ipo")));
    return form.Settings();
  }

  struct Run {
    bool dry;
    TImportSettings settings;
  };
  std::vector<Run> runs;
  bool engineResult = true;
  TTempDir dir;
};

TEST_F(ImportFormTest, PersonsImportChecksThenImportsAndAChangedMappingMustBeCheckedAgain) {
  WriteAllBytes(dir.File("staff.csv"), "Name;Abt\nM\xFCller, Anna;Einkauf\nBerg, Udo;Lager\n");
  bool sawDialog = false;
  QueueDialogDriver([&](QDialog& dialog) {
    auto* form = dynamic_cast<TImportForm*>(&dialog);
    ASSERT_NE(form, nullptr);
    sawDialog = true;
    // The start state.
    EXPECT_EQ(form->DateFormatCombo->currentIndex(), 1);
    EXPECT_EQ(form->DateFormatCombo->currentText(), QStringLiteral("MM.DD.YYYY"));
    EXPECT_FALSE(form->ConcatCells1->isEnabled());
    EXPECT_TRUE(form->canCreateHouses1->isChecked());
    EXPECT_TRUE(form->canCreateDoors1->isChecked());
    EXPECT_FALSE(form->RemoveUnlistedPersons1->isChecked());
    EXPECT_FALSE(form->overwriteDoors1->isChecked());
    EXPECT_TRUE(form->HeadlinesCheck->isChecked());
    EXPECT_TRUE(form->OpenBtn->font().bold());
    EXPECT_FALSE(form->CheckBtn->isEnabled());
    EXPECT_FALSE(form->ImportBtn->isEnabled());
    // Persons come preset with their default columns.
    EXPECT_EQ(form->TableContentCombo->currentData().toInt(), 5);
    ASSERT_EQ(form->GoodBox->count(), 5);
    EXPECT_EQ(form->GoodBox->item(0)->data(Qt::UserRole).toInt(), FieldIndexById(166));
    EXPECT_EQ(form->StockBox->item(form->StockBox->count() - 1)->text(),
              QStringLiteral("(ignorieren)"));

    ChooseFile(dir.File("staff.csv"));
    form->OpenBtn->click();
    ASSERT_TRUE(form->TableLoaded());
    EXPECT_TRUE(form->ConcatCells1->isEnabled());
    EXPECT_EQ(FromQString(form->FnEd->text()), dir.File("staff.csv"));
    EXPECT_FALSE(form->OpenBtn->font().bold());
    const TImportTable& t = form->Table();
    EXPECT_EQ(t.RowCount(), 4);
    EXPECT_EQ(t.Cell(0, 2), " M\xFCller, Anna");
    EXPECT_EQ(t.Cell(1, 0), " " + FromQString(form->GoodBox->item(1)->text()));

    // Check: the marks show, the import may run.
    ASSERT_TRUE(form->CheckBtn->isEnabled());
    form->CheckBtn->click();
    EXPECT_TRUE(form->ImportBtn->isEnabled());
    auto* model = form->Model();
    EXPECT_EQ(model->data(model->index(2, 0), TImportTableModel::MarkRole).toInt(), 1);

    // Any change of the mapping asks for a new check.
    SelectRow(form->GoodBox, 4);
    form->DelBtn->click();
    EXPECT_EQ(form->GoodBox->count(), 4);
    EXPECT_FALSE(form->ImportBtn->isEnabled());
    SelectRow(form->GoodBox, 1);
    form->UpBtn->click();
    EXPECT_EQ(form->GoodBox->currentRow(), 0);
    EXPECT_EQ(form->GoodBox->item(0)->data(Qt::UserRole).toInt(), FieldIndexById(169));
    form->DownBtn->click();
    SelectRow(form->StockBox, 0);
    form->AddBtn->click();
    EXPECT_EQ(form->GoodBox->count(), 5);

    // A second file asks first; Cancel keeps the table.
    {
      TScopedRecorder ui;
      form->OpenBtn->click();
      ASSERT_EQ(ui.questions.size(), 1u);
    }
    form->CheckBtn->click();
    form->ImportBtn->click();
  });
  EXPECT_TRUE(ExecuteTableImport(5));
  EXPECT_TRUE(sawDialog);
  EXPECT_EQ(UndrivenDialogCount(), 0);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_TRUE(runs[0].dry);
  EXPECT_TRUE(runs[1].dry);
  EXPECT_FALSE(runs[2].dry);
  EXPECT_EQ(runs[2].settings.contentClass, 5);
  EXPECT_EQ(runs[2].settings.dateFormat, "MM.DD.YYYY");
  EXPECT_EQ(runs[2].settings.columns.size(), 5u);
  // Afterwards the table is gone and the buttons are off.
  EXPECT_FALSE(ImportForm().TableLoaded());
  EXPECT_FALSE(ImportForm().CheckBtn->isEnabled());
  EXPECT_FALSE(ImportForm().ConcatCells1->isEnabled());
}

// Joining from the menu works on the dialog's own table: every line below the captions, the
// mapping untouched, the grid shown anew, and the changed table must be checked again.
// Cancelled, nothing changes.
TEST_F(ImportFormTest, JoiningCellsNeedsATableChangesEveryRowAndAsksForANewCheck) {
  TImportForm& form = ImportForm();
  ASSERT_TRUE(form.Prepare());
  EXPECT_FALSE(form.ConcatCells1->isEnabled());
  {
    // Without a table the menu entry does nothing, even when triggered.
    form.ConcatCells1Click();
    EXPECT_EQ(PendingDialogDrivers(), 0);
    EXPECT_EQ(UndrivenDialogCount(), 0);
  }
  TImportSettings s = form.Settings();
  s.contentClass = 5;
  s.columns = ImportColumnsOfFields("166;169;");  // the third column stays unmapped
  form.ShowSettings(s);
  WriteAllBytes(dir.File("staff.csv"),
                "Name;Abteilung;Raum\r\nBerg, Udo;Lager;R 12\r\nKern, Eva;Technik;\r\n"
                "M\xFCller, Jana;Einkauf;B 3\r\n");
  ASSERT_TRUE(form.LoadTableFile(dir.File("staff.csv"), false));
  EXPECT_TRUE(form.ConcatCells1->isEnabled());
  form.CheckBtnClick();
  ASSERT_TRUE(form.ImportBtn->isEnabled());

  const TImportTable before = form.Table();
  auto cells = [](const TImportTable& t) {
    std::vector<std::string> out;
    for (int r = 0; r < t.RowCount(); ++r)
      for (int c = 0; c < t.ColCount(); ++c) out.push_back(t.Cell(c, r));
    return out;
  };
  auto join = [](int column, bool ok) {
    QueueDialogDriver([column, ok](QDialog& dialog) {
      auto* concat = dynamic_cast<TConcatCellsForm*>(&dialog);
      ASSERT_NE(concat, nullptr);
      concat->ColumnCombo->setCurrentIndex(column);
      concat->CommaStyle->setChecked(true);
      (ok ? concat->OkBtn : concat->EscBtn)->click();
    });
  };

  // Cancelled: the table, its marks and the passed check stay.
  join(1, false);
  form.ConcatCells1->trigger();
  EXPECT_EQ(PendingDialogDrivers(), 0);
  EXPECT_EQ(cells(form.Table()), cells(before));
  EXPECT_EQ(form.Table().Mark(0, 2), 1);
  EXPECT_TRUE(form.ImportBtn->isEnabled());

  // Department and room: every line whose room is filled, the file's header line too.
  const int widthBefore = form.Grid->columnWidth(1);
  join(1, true);
  form.ConcatCells1->trigger();
  EXPECT_EQ(PendingDialogDrivers(), 0);
  const TImportTable& t = form.Table();
  ASSERT_EQ(t.ColCount(), 3);
  ASSERT_EQ(t.RowCount(), 5);
  const std::vector<std::string> department = {"Abteilung, Raum", "Lager, R 12", " Technik",
                                               "Einkauf, B 3"};
  for (int r = 1; r < t.RowCount(); ++r) EXPECT_EQ(t.Cell(1, r), department[r - 1]) << r;
  EXPECT_EQ(t.Cell(2, 2), " R 12");  // the right-hand cell stays
  EXPECT_EQ(t.Cell(0, 4), before.Cell(0, 4));
  // The captions still follow the mapping, the grid shows the longer texts.
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(t.Cell(c, 0), before.Cell(c, 0)) << c;
    EXPECT_EQ(t.CaptionObject(c), before.CaptionObject(c)) << c;
  }
  EXPECT_EQ(FromQString(form.Model()->data(form.Model()->index(2, 1)).toString()), "Lager, R 12");
  EXPECT_GT(form.Grid->columnWidth(1), widthBefore);
  // The marks were about the old cells; the import waits for a new check.
  EXPECT_EQ(t.Mark(0, 2), 0);
  EXPECT_FALSE(form.ImportBtn->isEnabled());
  EXPECT_TRUE(form.CheckBtn->isEnabled());
  form.CheckBtnClick();
  EXPECT_TRUE(form.ImportBtn->isEnabled());
  ASSERT_EQ(runs.size(), 2u);

  form.FreeTable();
  EXPECT_FALSE(form.ConcatCells1->isEnabled());
  EXPECT_EQ(UndrivenDialogCount(), 0);
}

TEST_F(ImportFormTest, AFailedCheckKeepsTheImportOffAndTheContentClassRefillsTheFields) {
  TImportForm& form = ImportForm();
  ASSERT_TRUE(form.Prepare());
  form.TableContentCombo->setCurrentIndex(form.TableContentCombo->findData(15));
  form.TableContentComboChange();
  EXPECT_EQ(form.GoodBox->count(), 0);
  ASSERT_GE(form.StockBox->count(), 2);
  EXPECT_EQ(form.StockBox->item(form.StockBox->count() - 1)->data(Qt::UserRole).toInt(),
            kImportRepeatEntry);
  SelectRow(form.StockBox, 0);
  form.AddBtnClick();
  WriteAllBytes(dir.File("t.txt"), "a\tb\r\n1\t2\r\n");
  ASSERT_TRUE(form.LoadTableFile(dir.File("t.txt"), false));
  engineResult = false;
  form.CheckBtnClick();
  EXPECT_FALSE(form.ImportBtn->isEnabled());
  // The content class list: "bitte wählen" and six classes, handovers last.
  EXPECT_EQ(form.TableContentCombo->count(), 7);
  EXPECT_EQ(form.TableContentCombo->itemData(6).toInt(), 15);
}

TEST_F(ImportFormTest, AProfileSavedFromTheDialogLoadsBackWithItsTable) {
  WriteAllBytes(dir.File("keys.csv"), "Schl\xFCssel;Anzahl\r\nS1;2\r\n");
  const TImportSettings s = SaveKeysProfile();
  ASSERT_FALSE(HasFailure());
  FreeImportForm();
  TImportForm& form = ImportForm();
  ASSERT_TRUE(form.Prepare());
  TScopedRecorder ui;
  ui.answers = {mrYes};
  ASSERT_TRUE(form.LoadImportProfile(dir.File("keys.ipo"), false, false));
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0], "Daten laden?\r" + dir.File("keys.csv"));
  EXPECT_TRUE(form.TableLoaded());
  const TImportSettings back = form.Settings();
  EXPECT_EQ(back.contentClass, 4);
  EXPECT_FALSE(back.headlines);
  EXPECT_EQ(back.dateFormat, "YYYY-MM-DD");
  EXPECT_EQ(back.columns, s.columns);
  EXPECT_TRUE(form.CheckBtn->isEnabled());
  EXPECT_FALSE(form.ImportBtn->isEnabled());
}

TEST_F(ImportFormTest, TheBigKeyStepKeepsTheFolderOfTheChosenFileForTheProfileRun) {
  TImportForm& form = ImportForm();
  ASSERT_TRUE(form.Prepare());
  WriteAllBytes(dir.File("KEYS.DBF"), "");
  BigKeyFolder().clear();
  SetKeySystemChooser([](const std::string&) { return 0; });
  form.ImportBigKey1Click();  // no locking system: nothing asked further
  EXPECT_EQ(BigKeyFolder(), "");
  SetKeySystemChooser([](const std::string&) { return 2; });
  TScopedRecorder ui;
  ChooseFile(dir.File("KEYS.DBF"));
  form.ImportBigKey1Click();
  EXPECT_EQ(ui.AllText(),
            "W\xE4hlen Sie im Folgenden irgendeine DBF-DATEI IM BIG-KEY-DATENVERZEICHNIS");
  EXPECT_EQ(BigKeyFolder(), dir.Dir());
  EXPECT_EQ(PendingDialogDrivers(), 0);
  BigKeyFolder().clear();
  SetKeySystemChooser(nullptr);
}

// Unattended, nobody reads a message box: a field catalogue that cannot be read is logged.
TEST_F(ImportFormTest, AnUnattendedRunWithoutTheFieldCatalogueShowsNothingAndLogsWhy) {
  ResetFieldCatalogue();  // the test program's folder holds no catalogue
  LogFileNames().ErrorLogFile = dir.File("errors.log");
  LogFileNames().SuccessLogFile = dir.File("ok.log");
  WriteAllBytes(dir.File("p.ipo"), "DataFileName=x.csv\r\nPrimaryContentClass=5\r\n");
  TScopedRecorder ui;
  EXPECT_FALSE(RunProfileImportShown(dir.File("p.ipo"), true));
  EXPECT_TRUE(ui.messages.empty()) << ui.AllText();
  EXPECT_NE(ReadAllBytes(dir.File("errors.log")).find("File not found:"), std::string::npos);
  EXPECT_EQ(ReadAllBytes(dir.File("ok.log")), "");
  LogFileNames().ErrorLogFile.clear();
  LogFileNames().SuccessLogFile.clear();
}

// Unattended, the dialog stands on the screen while the import works, showing the
// profile's choices and its table, and is taken away afterwards.
TEST_F(ImportFormTest, AnUnattendedRunShowsTheDialogFilledFromTheProfileWhileItWorks) {
  WriteAllBytes(dir.File("keys.csv"), "Schl\xFCssel;Anzahl\r\nS1;2\r\nS2;5\r\n");
  SaveKeysProfile();
  ASSERT_FALSE(HasFailure());
  FreeImportForm();
  LogFileNames().ErrorLogFile = dir.File("errors.log");
  LogFileNames().SuccessLogFile = dir.File("ok.log");
  Session().LoggedIn = true;
  struct TSeen {
    bool visible = false;
    int contentClass = 0;
    std::string fileName, dateFormat;
    int goodFields = 0, rows = 0;
  } seen;
  SetTableImportRunner([&](TImportTable& t, const TImportSettings&, bool, bool) {
    TImportForm& form = ImportForm();
    seen.visible = form.isVisible();
    seen.contentClass = form.Settings().contentClass;
    seen.fileName = FromQString(form.FnEd->text());
    seen.dateFormat = form.Settings().dateFormat;
    seen.goodFields = form.GoodBox->count();
    seen.rows = form.Model()->rowCount();
    return &t == &form.Table();
  });
  TScopedRecorder ui;
  EXPECT_TRUE(RunProfileImportShown(dir.File("keys.ipo"), true));
  EXPECT_TRUE(ui.messages.empty()) << ui.AllText();
  EXPECT_TRUE(seen.visible);
  EXPECT_EQ(seen.contentClass, 4);
  EXPECT_EQ(seen.fileName, dir.File("keys.csv"));
  EXPECT_EQ(seen.dateFormat, "YYYY-MM-DD");
  EXPECT_EQ(seen.goodFields, 2);
  EXPECT_GE(seen.rows, 3);
  EXPECT_FALSE(ImportForm().isVisible());
  EXPECT_NE(ReadAllBytes(dir.File("ok.log")).find("Import successful"), std::string::npos);
  Session().LoggedIn = false;
  LogFileNames().ErrorLogFile.clear();
  LogFileNames().SuccessLogFile.clear();
}

}  // namespace
