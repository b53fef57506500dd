// The change log viewer as a dialog: a month rebuilt from its files, month steps, filters,
// the export without secrets, and the record chosen in it shown in its view (never one
// deleted since).
#include "views/ChangeLogUnit.h"

#include <cstdlib>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QFileDialog>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "ViewsTestSupport.h"
#include "basic/ValueString.h"
#include "basic/FileCtrl2.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/FieldCatalogueUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/TimeTravelUnit.h"

namespace {

struct TChangeLogFormTest : TViewsTest {
  TTimebackLog log{&a.registry};
  void SetUp() override {
    TViewsTest::SetUp();
    ResetFieldCatalogue();
    LoadFieldCatalogue(false, std::string(TESSARO_RESOURCE_DIR) + "/System/Fields.csv");
    log.Setup(dir.Dir() + "TimeTravel/");
    log.CurrentUserID = [] { return 0; };
    db().TimebackLog = &log;
    db().MonthlyCopy();
  }
  void TearDown() override {
    db().TimebackLog = nullptr;
    ResetFieldCatalogue();
    TViewsTest::TearDown();
  }
};

std::string Cell(const TChangeLogModel* model, int row, int col) {
  return FromQString(model->data(model->index(row, col), Qt::DisplayRole).toString());
}

}  // namespace

TEST_F(TChangeLogFormTest, MonthsFiltersExportAndTheChosenRecord) {
  const int32_t key = Record(icKey, "K1");
  ASSERT_TRUE(db().Commit());
  clock.Advance(1.0 / 1440);
  const int32_t user = Record(icUser, "ADMIN");
  db().SetField(user, "pw", "GeheimesWort");
  ASSERT_TRUE(db().Commit());
  TStandInView keys;
  RegisterView(pgKeys, &keys);

  std::string exported;
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TChangeLogForm&>(dialog);
    EXPECT_EQ(FromQString(form.MonthLabel->text()), "Monat 6/2024");
    ASSERT_EQ(form.Model->rowCount(), 2);
    EXPECT_EQ(Cell(form.Model, 0, 3), " K1");
    EXPECT_EQ(TChangeLogModel::CellColor(false, 0), 0xEFFFFFu);
    EXPECT_NE(form.Model->Rows()[0].shaded, form.Model->Rows()[1].shaded);
    // Keys only.
    form.TypeCombo->setCurrentIndex(form.TypeCombo->findData(static_cast<int>(icKey)));
    EXPECT_EQ(FromQString(form.AvailableCheck->text()), ChangeLogText(10));
    form.SeekBtn->click();
    EXPECT_EQ(form.Model->rowCount(), 1);
    // A month back (May): nothing; forward again.
    form.MonthDownBtn->click();
    EXPECT_EQ(FromQString(form.MonthLabel->text()), "Monat 5/2024");
    EXPECT_EQ(form.Model->rowCount(), 0);
    EXPECT_FALSE(form.EmptyLabel->isHidden());
    form.MonthUpBtn->click();
    form.TypeCombo->setCurrentIndex(0);
    form.SeekBtn->click();
    ASSERT_EQ(form.Model->rowCount(), 2);
    // The export holds no password.
    QueueDialogDriver([&](QDialog& chooser) {
      static_cast<QFileDialog&>(chooser).selectFile(ToQString(dir.File("Aenderungen.csv")));
      chooser.accept();
    });
    form.ExportBtn->click();
    exported = ReadAllBytes(dir.File("Aenderungen.csv"));
    form.Grid->selectRow(0);
    EXPECT_TRUE(form.GotoBtn->isEnabled());
    form.GridDblClick();
  });
  ShowChangeLog();
  EXPECT_NE(exported.find("K1"), std::string::npos);
  EXPECT_NE(exported.find("ADMIN"), std::string::npos);
  EXPECT_EQ(exported.find("GeheimesWort"), std::string::npos);
  EXPECT_EQ(exported.find(ScrambleStr("GeheimesWort")), std::string::npos);
  EXPECT_EQ(keys.shown, std::vector<int32_t>{key});
  UnregisterView(pgKeys, &keys);
}

TEST_F(TChangeLogFormTest, ARecordDeletedSinceCannotBeCalledUpAndTheUserIsToldWhy) {
  const int32_t kept = Record(icKey, "K1");
  const int32_t gone = Record(icKey, "K2");
  ASSERT_TRUE(db().Commit());
  clock.Advance(1.0 / 1440);
  {
    TStoreWrite write(db(), {gone});
    ASSERT_TRUE(write.Ok());
    ASSERT_TRUE(db().MarkDeleted(gone));
    ASSERT_TRUE(write.Commit());
  }
  TStandInView keys;
  RegisterView(pgKeys, &keys);
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TChangeLogForm&>(dialog);
    QTableView* grid = form.Grid;
    // The rows of each record, as the grid shows them.
    auto rowOf = [&](const std::string& name) {
      for (int r = 0; r < form.Model->rowCount(); ++r)
        if (Cell(form.Model, r, 3) == " " + name) return r;
      return -1;
    };
    auto at = [&](int row) { return grid->visualRect(form.Model->index(row, 3)).center(); };
    const int goneRow = rowOf("K2");
    const int keptRow = rowOf("K1");
    ASSERT_GE(goneRow, 0);
    ASSERT_GE(keptRow, 0);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at(goneRow));
    EXPECT_FALSE(form.GotoBtn->isEnabled());
    EXPECT_EQ(FromQString(form.GotoBtn->toolTip()), ChangeLogText(14));
    if (const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS"); shots && *shots)
      form.grab().save(QString::fromLocal8Bit(shots) + "/changelog_gone.png");
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at(goneRow));
    EXPECT_TRUE(form.isVisible());  // nothing called up
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, ChangeLogText(14));
    // A record that exists is called up as before.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at(keptRow));
    EXPECT_TRUE(form.GotoBtn->isEnabled());
    QTest::mouseClick(form.GotoBtn, Qt::LeftButton);
  });
  ShowChangeLog();
  EXPECT_EQ(PendingDialogDrivers(), 0);
  EXPECT_EQ(keys.shown, std::vector<int32_t>{kept});
  UnregisterView(pgKeys, &keys);
}

// The changed fields in the words of the lists: captions from the field catalogue (a
// door's and a key's name field by their entries), the locking system by name, the key
// type by its abbreviation, linked records by name; the old value beside " bisher" in the
// same words. A locking system without a name keeps its number.
TEST_F(TChangeLogFormTest, FieldsAndValuesInTheCataloguesWords) {
  SetKeySystemName(3, "Nord");
  SetKeySystemName(4, "S\xFC" "d");
  const int32_t key = Record(icKey, "K1");
  const int32_t z1 = Record(icCylinder, "Z1");
  const int32_t z2 = Record(icCylinder, "Z2");
  const int32_t door = Record(icDoor, "T1");
  db().SetKeySystem(key, 3);
  db().SetField(key, "kt", "2");
  db().AddLinkBoth(key, z1, icCylinder, icKey);
  ASSERT_TRUE(db().Commit());
  clock.Advance(1.0 / 1440);
  db().SetField(key, "n", "K1 neu");
  db().SetKeySystem(key, 4);
  db().SetField(key, "kt", "4");
  db().AddLinkBoth(key, z2, icCylinder, icKey);
  db().SetField(door, "n", "T1 neu");
  db().SetKeySystem(z1, 7);
  ASSERT_TRUE(db().Commit());

  const std::string linkedCylinders = "Verkn\xFCpf. " + ClassCaption(icCylinder, false);
  const std::string linkedKeys = "Verkn\xFCpf. " + ClassCaption(icKey, false);
  const std::string system = "Schlie\xDF" "anlage";
  struct Case {
    std::string record;  // the name column
    int entry;           // the record's change: 0 its creation, then in order
    std::string caption, value, old;
  } cases[] = {
      {"K1 neu", 0, "Name1", "K1", ""},  // created with its name
      {"K1 neu", 1, system, "Nord", ""},
      {"K1 neu", 1, "Typ", "GS", ""},
      {"K1 neu", 1, linkedCylinders, "Z1", ""},
      {"K1 neu", 2, "Name1", "K1 neu", "K1"},
      {"K1 neu", 2, system, "S\xFC" "d", "Nord"},
      {"K1 neu", 2, "Typ", "HS", "GS"},
      {"K1 neu", 2, linkedCylinders, "Z1, Z2", "Z1"},
      {"Z2", 1, linkedKeys, "K1 neu", ""},
      {"T1 neu", 1, "Name (T\xFCr)", "T1 neu", "T1"},
      {"Z1", 2, system, "7", ""},
  };
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TChangeLogForm&>(dialog);
    const TChangeLogModel* model = form.Model;
    if (const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS"); shots && *shots)
      form.grab().save(QString::fromLocal8Bit(shots) + "/changelog_words.png");
    for (const Case& c : cases) {
      SCOPED_TRACE(c.record + " / " + c.caption);
      // The entry's first row and, below it, its row of old values.
      int row = -1;
      for (int r = 0, seen = 0; r < model->rowCount() && row < 0; ++r)
        if (!model->Rows()[static_cast<size_t>(r)].second && Cell(model, r, 3) == " " + c.record &&
            seen++ == c.entry)
          row = r;
      ASSERT_GE(row, 0);
      int column = -1;
      for (int col = 4; col < model->columnCount() && column < 0; col += 2)
        if (Cell(model, row, col) == c.caption) column = col;
      ASSERT_GE(column, 0);
      EXPECT_EQ(Cell(model, row, column + 1), " " + c.value);
      const bool second =
          row + 1 < model->rowCount() && model->Rows()[static_cast<size_t>(row + 1)].second;
      if (c.old.empty()) {
        if (second) {
          EXPECT_EQ(Cell(model, row + 1, column), "");
        }
      } else {
        ASSERT_TRUE(second);
        EXPECT_EQ(Cell(model, row + 1, column), " bisher");
        EXPECT_EQ(Cell(model, row + 1, column + 1), " " + c.old);
      }
    }
    QTest::mouseClick(form.CloseBtn, Qt::LeftButton);
  });
  ShowChangeLog();
  EXPECT_EQ(PendingDialogDrivers(), 0);
}
