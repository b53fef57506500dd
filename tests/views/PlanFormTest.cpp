// The locking-plan window: what it paints against the matrix, the cross-hair and the go-to
// results, the user's stored column choice between two stations, and the exports read back.

#include "views/PlanUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QFileDialog>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <zip.h>

#include <cstdlib>
#include <filesystem>

#include "ViewsTestSupport.h"
#include "app/GlueStateUnit.h"
#include "automation/ClicksScenario.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/LockingRelations.h"
#include "import/ExcelReadUnit.h"
#include "output/CsvOrExcelUnit.h"
#include "views/FindFormUnit.h"

namespace {

// System 3 "Nord": "Tür 1" with Z1 (pos 1), "Tür 2" at building "Haus" with Z2 (pos 2,
// central "Z"), Z3 without door (pos 3, co-locking "I"); keys: master HS on Z1, group key
// GS through group G on Z2 and Z3, KI ("k605" "I") on Z3, a general master key GHS without
// links. A user whose choice is stored.
struct TPlanFormTest : TViewsTest {
  int32_t H = 0, D1 = 0, D2 = 0, Z1 = 0, Z2 = 0, Z3 = 0, G = 0, HS = 0, GS = 0, KI = 0, GHS = 0,
          U = 0;

  void SetUp() override {
    TViewsTest::SetUp();
    DropRelationCaches();
    SetKeySystemName(3, "Nord");
    H = Record(icBuilding, "Haus");
    D1 = Item(icDoor, "T\xFCr 1");
    D2 = Item(icDoor, "T\xFCr 2");
    Z1 = Item(icCylinder, "Z1");
    Z2 = Item(icCylinder, "Z2");
    Z3 = Item(icCylinder, "Z3");
    db().SetField(Z1, "pos", "1");
    db().SetField(Z2, "pos", "2");
    db().SetField(Z3, "pos", "3");
    db().SetField(Z2, "k605", "Z");
    db().SetField(Z3, "k605", "I");
    Link(D1, Z1);
    Link(D2, Z2);
    Link(D2, H);
    G = Item(icGroup, "G");
    Link(G, Z2);
    Link(G, Z3);
    HS = Key("HS", "4");
    GS = Key("GS", "2");
    KI = Key("KI", "3");
    GHS = Key("GHS", "5");
    db().SetField(KI, "k605", "I");
    db().SetField(HS, "k603", "A1");
    Link(HS, Z1);
    Link(GS, G);
    Link(KI, Z3);
    U = Record(icUser, "ADMIN");
    ASSERT_TRUE(db().Commit());
    Session().CurrentUserId = U;
  }
  void TearDown() override {
    FreePlanForm();
    FreeFindForm();
    TViewsTest::TearDown();
  }
  int32_t Item(int cls, const std::string& name) {
    const int32_t id = Record(cls, name);
    db().SetKeySystem(id, 3);
    return id;
  }
  int32_t Key(const std::string& name, const std::string& type) {
    const int32_t id = Item(icKey, name);
    db().SetField(id, "kt", type);
    return id;
  }
  void Link(int32_t a, int32_t b) { db().AddLinkBoth(a, b, db().GetClass(b), db().GetClass(a)); }

  // Opens the plan and runs `work` on the window while it is shown.
  int32_t Run(const std::function<void(TPlanForm&)>& work) {
    QueueDialogDriver([&](QDialog& dialog) {
      auto& form = static_cast<TPlanForm&>(dialog);
      form.resize(900, 600);
      QCoreApplication::processEvents();
      work(form);
    });
    const int32_t chosen = ShowLockingPlan();
    EXPECT_EQ(PendingDialogDrivers(), 0);
    return chosen;
  }
  static QPoint Centre(TPlanForm& form, int column, int row) {
    return form.Grid->CellRect(column, row).center();
  }
};

QColor PixelAt(const QImage& image, const QPoint& at) { return image.pixelColor(at); }

}  // namespace

// Every cell in sight is painted as the matrix says: a mark dark green (the letter of a
// co-locking or central mark on it), an empty cell white; the texts of each cell are the
// model's.
TEST_F(TPlanFormTest, PaintingShowsTheMarksOfTheMatrix) {
  Run([&](TPlanForm& form) {
    const TPlanGrid& plan = form.Plan();
    ASSERT_EQ(plan.rows.size(), 3u);
    ASSERT_EQ(plan.keys.size(), 4u);  // GHS, GS, HS, KI
    TPlanGridWidget& grid = *form.Grid;
    const QImage image = grid.viewport()->grab().toImage();
    EXPECT_GT(grid.PaintedCells, 0);
    int marks = 0;
    for (int r = 0; r < static_cast<int>(plan.rows.size()); ++r)
      for (int k = 0; k < static_cast<int>(plan.keys.size()); ++k) {
        const int column = grid.FixedColumnCount() + k;
        const char mark = plan.rows[static_cast<size_t>(r)].MarkAt(k);
        EXPECT_EQ(grid.CellText(column, r + 3), mark ? std::string(1, mark) : "") << r << "/" << k;
        const QRect cell = grid.CellRect(column, r + 3);
        ASSERT_TRUE(grid.viewport()->rect().contains(cell));
        const QColor painted = PixelAt(image, cell.topLeft() + QPoint(1, 1));
        EXPECT_EQ(painted, ColorFromBgr(mark ? 0x004000 : 0xFFFFFF)) << r << "/" << k;
        marks += mark ? 1 : 0;
      }
    // GHS in every row, HS on Z1, GS on Z2 ("Z") and Z3 ("X": not an "I" key), KI "I" on Z3.
    EXPECT_EQ(marks, 3 + 1 + 2 + 1);
    const int z3 = plan.RowOfCylinder(Z3);
    EXPECT_EQ(grid.CellText(grid.FixedColumnCount() + plan.KeyColumnOf(KI), z3 + 3), "I");
    EXPECT_EQ(grid.CellText(grid.FixedColumnCount() + plan.KeyColumnOf(GS), z3 + 3), "X");
    EXPECT_EQ(
        grid.CellText(grid.FixedColumnCount() + plan.KeyColumnOf(GS), plan.RowOfCylinder(Z2) + 3),
        "Z");
    // The headers: the key's closing and name, the separator's caption, the text column's.
    EXPECT_EQ(grid.CellText(grid.FixedColumnCount() + plan.KeyColumnOf(HS), 0), "A1");
    EXPECT_EQ(grid.CellText(grid.FixedColumnCount() + plan.KeyColumnOf(HS), 1), "HS");
    EXPECT_EQ(grid.CellText(grid.TextColumnCount(), 0), PlanText(2));
    EXPECT_EQ(grid.CellText(0, 2), " " + ClassCaption(icCylinder, false));
    EXPECT_EQ(grid.CellText(0, 3), "Z1");
    EXPECT_EQ(PixelAt(image, grid.CellRect(0, 2).topLeft() + QPoint(1, 1)), ColorFromBgr(0x7CDCBC));
    EXPECT_EQ(PixelAt(image, grid.CellRect(0, 0).topLeft() + QPoint(1, 1)), ColorFromBgr(0x808080));
    // The grid never holds the system's or the building's name.
    EXPECT_EQ(grid.CellText(0, 0), "");
    EXPECT_EQ(grid.CellText(0, 1), "");
    form.EscBtn->click();
  });
}

// A click puts the cross-hair through the row and the key; the buttons follow; each go-to
// button closes with its result and the plan gives that record back; "Gehe zu" finds the
// co-locking cell, the central cylinder and a searched key.
TEST_F(TPlanFormTest, CrossHairAndGoTo) {
  struct TCase {
    const char* button;
    int32_t TPlanFormTest::*expected;
  };
  for (const TCase& c :
       {TCase{"GotoDoorBtn", &TPlanFormTest::D1}, TCase{"GotoCylBtn", &TPlanFormTest::Z1},
        TCase{"GotoKeyBtn", &TPlanFormTest::HS}}) {
    const int32_t chosen = Run([&](TPlanForm& form) {
      const TPlanGrid& plan = form.Plan();
      TPlanGridWidget& grid = *form.Grid;
      const int row = plan.RowOfCylinder(Z1);
      const int key = plan.KeyColumnOf(HS);
      QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                        Centre(form, grid.FixedColumnCount() + key, row + 3));
      EXPECT_EQ(grid.SelectedRow, row);
      EXPECT_EQ(grid.SelectedKey, key);
      EXPECT_TRUE(form.GotoKeyBtn->isEnabled());
      EXPECT_TRUE(form.GotoDoorBtn->isEnabled());
      EXPECT_TRUE(form.GotoCylBtn->isEnabled());
      EXPECT_FALSE(form.RemoveLockItem->isEnabled());
      // The cross-hair: empty cells of the row and of the key's column turn yellow.
      const QImage image = grid.viewport()->grab().toImage();
      const int other = plan.KeyColumnOf(KI);
      EXPECT_EQ(PixelAt(image, grid.CellRect(grid.FixedColumnCount() + other, row + 3).topLeft() +
                                   QPoint(1, 1)),
                ColorFromBgr(0x00FFFF));
      const int otherRow = plan.RowOfCylinder(Z3);
      EXPECT_EQ(
          PixelAt(image, grid.CellRect(grid.FixedColumnCount() + key, otherRow + 3).topLeft() +
                             QPoint(1, 1)),
          ColorFromBgr(0x00FFFF));
      EXPECT_EQ(PixelAt(image, grid.CellRect(0, row + 3).topLeft() + QPoint(1, 1)),
                ColorFromBgr(0x00FFFF));
      form.findChild<QPushButton*>(c.button)->click();
    });
    EXPECT_EQ(chosen, this->*c.expected) << c.button;
  }

  // The cylinder without door: no door to go to.
  Run([&](TPlanForm& form) {
    const int row = form.Plan().RowOfCylinder(Z3);
    QTest::mouseClick(form.Grid->viewport(), Qt::LeftButton, {}, Centre(form, 0, row + 3));
    EXPECT_FALSE(form.GotoDoorBtn->isEnabled());
    EXPECT_TRUE(form.GotoCylBtn->isEnabled());
    // "Gehe zu": the co-locking cell, then the central cylinder's row.
    form.GotoCoLockItem->trigger();
    EXPECT_EQ(form.Grid->SelectedRow, row);
    EXPECT_EQ(form.Grid->SelectedKey, form.Plan().KeyColumnOf(KI));
    form.GotoCentralItem->trigger();
    EXPECT_EQ(form.Grid->SelectedRow, form.Plan().RowOfCylinder(Z2));
    // A key searched for selects its column.
    QueueDialogDriver([&](QDialog& dialog) {
      auto& find = static_cast<TFindForm&>(dialog);
      find.SeekEd->setText(ToQString("GHS"));
      find.SeekBtn->click();
      find.GotoBtn->click();
    });
    form.GotoSearchItem->trigger();
    EXPECT_EQ(form.Grid->SelectedKey, form.Plan().KeyColumnOf(GHS));
    EXPECT_EQ(form.GotoKeyId, GHS);
    form.CloseItem->trigger();
  });
  EXPECT_EQ(ui.AllText(), "");

  // Nothing of the kind in the view: the texts say so.
  db().SetField(Z2, "k605", "");
  db().SetField(KI, "k605", "");
  db().SetField(Z3, "k605", "");
  ASSERT_TRUE(db().Commit());
  DropRelationCaches();
  Run([&](TPlanForm& form) {
    form.GotoCoLockItem->trigger();
    form.GotoCentralItem->trigger();
    form.EscBtn->click();
  });
  EXPECT_EQ(ui.AllText(), PlanText(13) + "\n" + PlanText(10));
}

// A list of single keys wider than its column is cut after its last whole name that fits
// with ", ..." and is drawn inside its cell; a short list stays whole.
TEST_F(TPlanFormTest, ALongListOfKeysIsCutToItsCell) {
  const int32_t d3 = Item(icDoor, "T\xFCr 3");
  std::vector<std::string> names;
  for (int n = 1; n <= 12; ++n) {
    names.push_back("Einzelschl\xFCssel " + std::string(n < 10 ? "0" : "") + std::to_string(n));
    Link(Key(names.back(), "1"), d3);
  }
  Link(Key("E-kurz", "1"), D1);
  ASSERT_TRUE(db().Commit());
  DropRelationCaches();
  Run([&](TPlanForm& form) {
    QAction* singles = form.ColumnItems[pcSingleKey];
    ASSERT_TRUE(hand::ChooseMenuEntry(form.MainMenu, qobject_cast<QMenu*>(singles->parent()), singles));
    ASSERT_TRUE(form.View.shown[pcSingleKey]);
    TPlanGridWidget& grid = *form.Grid;
    const TPlanGrid& plan = form.Plan();
    int column = 0;  // the shown text columns before the single keys'
    for (int c = 0; c < pcSingleKey; ++c) column += form.View.shown[static_cast<size_t>(c)] ? 1 : 0;
    int longRow = -1, shortRow = -1;
    for (size_t r = 0; r < plan.rows.size(); ++r) {
      if (plan.rows[r].door == d3) longRow = static_cast<int>(r) + 3;
      if (plan.rows[r].door == D1) shortRow = static_cast<int>(r) + 3;
    }
    ASSERT_GE(longRow, 3);
    ASSERT_GE(shortRow, 3);
    EXPECT_EQ(grid.CellText(column, shortRow), "E-kurz");

    const std::string cut = grid.CellText(column, longRow);
    ASSERT_TRUE(cut.ends_with(", ...")) << cut;
    // Whole names from the first on, as many as fit.
    std::string head = cut.substr(0, cut.size() - 5);
    size_t kept = 0;
    for (std::string rest = head; !rest.empty(); ++kept) {
      const size_t comma = rest.find(", ");
      ASSERT_LT(kept, names.size());
      EXPECT_EQ(rest.substr(0, comma), names[kept]);
      rest = comma == std::string::npos ? "" : rest.substr(comma + 2);
    }
    EXPECT_GT(kept, 0u);
    EXPECT_LT(kept, names.size());
    const QFontMetrics fm(grid.font());
    const int textWidth = fm.horizontalAdvance(ToQString(cut));
    EXPECT_LE(textWidth, kPlanTextWidthMax);
    EXPECT_GT(fm.horizontalAdvance(ToQString(head + ", " + names[kept] + ", ...")), kPlanTextWidthMax);
    EXPECT_LE(grid.ColumnWidth(column), kPlanTextColumnMax);
    EXPECT_GE(grid.ColumnWidth(column), textWidth + 8);

    // Drawn: the ink of the text ends inside the cell, clear of its right edge.
    const QImage image = grid.viewport()->grab().toImage();
    const QRect cell = grid.CellRect(column, longRow);
    ASSERT_TRUE(grid.viewport()->rect().contains(cell));
    int inkRight = -1;
    for (int x = cell.left(); x < cell.right(); ++x)
      for (int y = cell.top(); y < cell.bottom(); ++y)
        if (image.pixelColor(x, y).lightness() < 128) inkRight = std::max(inkRight, x);
    EXPECT_GT(inkRight, cell.left() + textWidth / 2);
    EXPECT_LE(inkRight, cell.left() + 2 + textWidth);
    EXPECT_LT(inkRight, cell.right() - 4);
    if (const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS"); shots && *shots)
      image.save(QString::fromLocal8Bit(shots) + "/plan_cut_list.png");
    QTest::mouseClick(form.EscBtn, Qt::LeftButton);
  });
}

// The menu command shows the chosen record in its view.
TEST_F(TPlanFormTest, TheChosenKeyOpensInItsView) {
  TStandInView keys;
  RegisterView(pgKeys, &keys);
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TPlanForm&>(dialog);
    form.Grid->Select(-1, form.Plan().KeyColumnOf(GS), true);
    form.GridClick();
    form.GotoKeyBtn->click();
  });
  RunPlanCommand();
  EXPECT_EQ(keys.shown, std::vector<int32_t>{GS});
  UnregisterView(pgKeys, &keys);
}

// The column choice is stored on the user only when it changed: a plan closed unchanged
// writes nothing (another station's change stays), a toggled column is stored, the other
// station reads it and the window shows it again.
TEST_F(TPlanFormTest, ThePlanViewIsStoredOnlyWhenChanged) {
  TStation b{"B"};
  ASSERT_TRUE(b.Open(dir));
  // First run: the stored text becomes the normal form of the empty choice.
  Run([&](TPlanForm& form) { form.EscBtn->click(); });
  const std::string first = db().ReadLineField(U, kPlanViewField);
  // B changes a record meanwhile; an unchanged plan writes nothing over it.
  b->Load();
  b->SetField(HS, "r", "von B");
  ASSERT_TRUE(b->Commit());
  const std::string before = ReadAllBytes(dir.File("Data.ada"));
  Run([&](TPlanForm& form) { form.EscBtn->click(); });
  EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), before);
  // A column toggled and the sort by door name: stored, and B reads it.
  Run([&](TPlanForm& form) {
    EXPECT_FALSE(form.ColumnItems[pcPosition]->isChecked());
    form.ColumnItems[pcPosition]->trigger();
    form.SortDoorItem->trigger();
    EXPECT_TRUE(form.ColumnItems[pcDoor]->isChecked());
    EXPECT_EQ(form.Grid->TextColumnCount(), 3);  // position, door, cylinder
    form.EscBtn->click();
  });
  b->Load();
  EXPECT_EQ(b->ReadLineField(U, kPlanViewField), "ABCK");
  EXPECT_EQ(b->ReadLineField(HS, "r"), "von B");
  EXPECT_NE(first, "ABCK");
  Run([&](TPlanForm& form) {
    EXPECT_TRUE(form.ColumnItems[pcPosition]->isChecked());
    EXPECT_TRUE(form.SortDoorItem->isChecked());
    EXPECT_EQ(form.Grid->CellText(1, 2), " " + ClassCaption(icDoor, false));
    form.EscBtn->click();
  });
}

// The export writes exactly the grid's cells, with the system's and the building's names in
// the first cells of the header rows; CSV and workbook read back alike.
TEST_F(TPlanFormTest, ExportWritesTheGrid) {
  Run([&](TPlanForm& form) {
    form.HouseCombo->setCurrentIndex(form.HouseCombo->findData(static_cast<int>(H)));
    ASSERT_EQ(form.Plan().rows.size(), 1u);  // only "Tür 2"
    form.ESKeysCheck->click();
    form.UnusedKeysCheck->click();
    const TPlanGridWidget& grid = *form.Grid;
    const std::vector<std::vector<std::string>> cells = form.ExportCells();
    ASSERT_EQ(static_cast<int>(cells.size()), grid.RowCount());
    for (int r = 0; r < grid.RowCount(); ++r) {
      ASSERT_EQ(static_cast<int>(cells[static_cast<size_t>(r)].size()), grid.ColumnCount());
      for (int c = 0; c < grid.ColumnCount(); ++c) {
        const std::string expected = r == 0 && c == 0   ? "Nord"
                                     : r == 1 && c == 0 ? "Haus"
                                                        : grid.CellText(c, r);
        EXPECT_EQ(cells[static_cast<size_t>(r)][static_cast<size_t>(c)], expected) << r << "/" << c;
      }
    }
    EXPECT_EQ(grid.CellText(0, 0), "");  // the names went into the file only

    // CSV through the save dialog, proposed by the plan's caption and the building.
    QueueDialogDriver([&](QDialog& dialog) {
      auto& chooser = static_cast<QFileDialog&>(dialog);
      EXPECT_TRUE(chooser.selectedFiles().first().contains(ToQString(CoreText(73) + " Haus")))
          << FromQString(chooser.selectedFiles().first());
      chooser.selectFile(ToQString(dir.File("plan.csv")));
      dialog.accept();
    });
    EXPECT_TRUE(form.ExportBtnClick(false));
    const std::vector<std::string> lines = FileLines(dir.File("plan.csv"));
    ASSERT_EQ(lines.size(), cells.size());
    for (size_t r = 0; r < lines.size(); ++r) {
      std::string joined;
      for (size_t c = 0; c < cells[r].size(); ++c) joined += (c ? "\t" : "") + cells[r][c];
      EXPECT_EQ(lines[r], joined);
    }

    // The workbook.
    ASSERT_TRUE(form.ExportTo(dir.File("plan.xlsx"), true));
    std::unique_ptr<TReadTable> reader = CreateFileReader(dir.File("plan.xlsx"));
    ASSERT_TRUE(reader);
    for (size_t r = 0; r < cells.size(); ++r)
      for (size_t c = 0; c < cells[r].size(); ++c)
        EXPECT_EQ(reader->GetCell(static_cast<int>(c) + 1, static_cast<int>(r) + 1), cells[r][c])
            << r << "/" << c;

    // The key headers are turned upright in the workbook.
    {
      int error = 0;
      zip_t* archive = zip_open(dir.File("plan.xlsx").c_str(), ZIP_RDONLY, &error);
      ASSERT_NE(archive, nullptr);
      zip_stat_t stat;
      ASSERT_EQ(zip_stat(archive, "xl/styles.xml", 0, &stat), 0);
      std::string styles(static_cast<size_t>(stat.size), '\0');
      zip_file_t* member = zip_fopen(archive, "xl/styles.xml", 0);
      ASSERT_NE(member, nullptr);
      EXPECT_EQ(zip_fread(member, styles.data(), stat.size), static_cast<zip_int64_t>(stat.size));
      zip_fclose(member);
      zip_close(archive);
      EXPECT_NE(styles.find("textRotation=\"90\""), std::string::npos) << styles;
    }

    // "Excel": the same workbook in the temporary folder, opened by the desktop.
    std::string opened;
    WinGlue().ShellOpener = [&opened](const std::string& target) {
      opened = target;
      return true;
    };
    form.ExcelBtn->click();
    reader = CreateFileReader(opened);
    ASSERT_TRUE(reader) << opened;
    EXPECT_EQ(reader->GetCell(1, 1), "Nord");
    EXPECT_EQ(reader->GetCell(1, static_cast<int>(cells.size())), cells.back()[0]);
    reader.reset();

    // Without the right to export: nothing written.
    Session().RightLevels[rtPrintLists] = rlNo;
    EXPECT_FALSE(form.ExportBtnClick(false));
    form.EscBtn->click();
  });
}

// A system without anything shows the text instead of the grid.
TEST_F(TPlanFormTest, AnEmptySystemShowsTheText) {
  SetKeySystemName(4, "Leer");
  const int32_t lone = Record(icDoor, "Fremd");
  db().SetKeySystem(lone, 5);
  ASSERT_TRUE(db().Commit());
  Run([&](TPlanForm& form) {
    form.KeysystemCombo->setCurrentIndex(form.KeysystemCombo->findData(4));
    EXPECT_TRUE(form.Plan().Empty());
    EXPECT_TRUE(form.Grid->isHidden());
    EXPECT_FALSE(form.noResultsPanel->isHidden());
    EXPECT_EQ(FromQString(form.noResultsPanel->text()), PlanText(4));
    EXPECT_FALSE(form.ExportBtn->isEnabled());
    form.EscBtn->click();
  });
}

// Minimising the plan minimises the program's window instead.
TEST_F(TPlanFormTest, MinimisingMinimisesTheProgram) {
  QWidget main;
  main.show();
  WinGlue().MainWindow = &main;
  Run([&](TPlanForm& form) {
    form.setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    EXPECT_TRUE(main.isMinimized());
    EXPECT_FALSE(form.isMinimized());
    form.EscBtn->click();
  });
  FreePlanForm();  // made without the window as its parent: gone before the window is
  WinGlue().MainWindow = nullptr;
}

namespace {

std::string ZipMember(const std::string& file, const char* member) {
  int error = 0;
  zip_t* archive = zip_open(file.c_str(), ZIP_RDONLY, &error);
  if (!archive) return "(no archive)";
  zip_stat_t stat;
  std::string bytes = "(no member)";
  if (zip_stat(archive, member, 0, &stat) == 0) {
    bytes.assign(static_cast<size_t>(stat.size), '\0');
    if (zip_file_t* entry = zip_fopen(archive, member, 0)) {
      zip_fread(entry, bytes.data(), stat.size);
      zip_fclose(entry);
    }
  }
  zip_close(archive);
  return bytes;
}

// The export as it was written before it went row by row: every cell of the plan at once.
void WriteWholeMatrix(const std::vector<std::vector<std::string>>& cells, size_t firstKey,
                      const std::string& file, bool workbook) {
  TCsvOrExcel out;
  ASSERT_TRUE(workbook ? out.OpenExcel(file) : out.OpenCsv(file));
  for (size_t r = 0; r < cells.size(); ++r)
    ASSERT_TRUE(r < 2 ? out.WriteCellsTurned(cells[r], firstKey) : out.WriteCells(cells[r]));
  ASSERT_TRUE(out.Close());
}

}  // namespace

// Written row by row, a small plan's files are the files of the whole matrix byte for byte
// (the workbook's sheet and formats; its document properties carry the time). A name
// ".xls" gets the old format under that very name.
TEST_F(TPlanFormTest, ExportsRowByRowGiveTheSameFilesAndXlsNamesTheOldFormat) {
  db().SetField(Z1, "pos", "1 \"a\";b");  // a cell CSV must quote
  ASSERT_TRUE(db().Commit());
  Run([&](TPlanForm& form) {
    form.ESKeysCheck->click();
    form.UnusedKeysCheck->click();
    form.ColumnItems[pcPosition]->trigger();
    form.ColumnItems[pcDoor]->trigger();
    const std::vector<std::vector<std::string>> cells = form.ExportCells();
    ASSERT_GE(cells.size(), 6u);
    size_t firstKey = 1;
    for (bool shown : form.View.shown) firstKey += shown ? 1 : 0;
    for (bool workbook : {false, true}) {
      const std::string ext = workbook ? ".xlsx" : ".csv";
      WriteWholeMatrix(cells, firstKey, dir.File("ganz" + ext), workbook);
      ASSERT_TRUE(form.ExportTo(dir.File("zeilen" + ext), workbook));
    }
    EXPECT_EQ(ReadAllBytes(dir.File("zeilen.csv")), ReadAllBytes(dir.File("ganz.csv")));
    for (const char* member :
         {"xl/worksheets/sheet1.xml", "xl/styles.xml", "xl/workbook.xml", "[Content_Types].xml"})
      EXPECT_EQ(ZipMember(dir.File("zeilen.xlsx"), member),
                ZipMember(dir.File("ganz.xlsx"), member))
          << member;
    EXPECT_NE(ZipMember(dir.File("zeilen.xlsx"), "xl/styles.xml").find("textRotation=\"90\""),
              std::string::npos);

    // ".xls" through the save dialog: the old format, exactly that name, every cell back.
    WriteAllBytes(dir.File("plan.xlsx"), "nebenan");
    QueueDialogDriver([&](QDialog& dialog) {
      static_cast<QFileDialog&>(dialog).selectFile(ToQString(dir.File("plan.xls")));
      dialog.accept();
    });
    EXPECT_TRUE(form.ExportBtnClick(false));
    EXPECT_EQ(ReadAllBytes(dir.File("plan.xlsx")), "nebenan");
    EXPECT_EQ(TableReaderKindOf(dir.File("plan.xls")), TTableReaderKind::Xls);
    std::unique_ptr<TReadTable> reader = CreateFileReader(dir.File("plan.xls"));
    ASSERT_TRUE(reader);
    for (size_t r = 0; r < cells.size(); ++r)
      for (size_t c = 0; c < cells[r].size(); ++c) {
        std::string expected = cells[r][c];
        for (char& ch : expected)
          if (static_cast<unsigned char>(ch) < 0x20) ch = ' ';
        EXPECT_EQ(reader->GetCell(static_cast<int>(c) + 1, static_cast<int>(r) + 1), expected)
            << r << "/" << c;
      }
    EXPECT_TRUE(ui.messages.empty());
    form.EscBtn->click();
  });
}

// A plan of more keys than an ".xls" has columns is refused for that name with the text
// that proposes ".xlsx"; nothing is written under that name. As
// ".xlsx" the same plan is written whole.
TEST_F(TPlanFormTest, APlanWiderThanAnXlsIsRefusedNeverCut) {
  for (int k = 0; k < 300; ++k) {
    const int32_t key = Key("S" + std::to_string(1000 + k), "2");
    Link(key, Z1);
  }
  ASSERT_TRUE(db().Commit());
  Run([&](TPlanForm& form) {
    ASSERT_GT(form.Plan().keys.size(), 256u);
    for (const char* name : {"breit.xls", "breit.xlsx"}) {
      QueueDialogDriver([&](QDialog& dialog) {
        static_cast<QFileDialog&>(dialog).selectFile(ToQString(dir.File(name)));
        dialog.accept();
      });
      form.ExportBtnClick(false);
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, NativeXlsLimitText());
    EXPECT_FALSE(std::filesystem::exists(dir.File("breit.xls")));
    std::unique_ptr<TReadTable> reader = CreateFileReader(dir.File("breit.xlsx"));
    ASSERT_TRUE(reader);
    int rows = 0, columns = 0;
    reader->GetSize(rows, columns);
    EXPECT_EQ(columns, static_cast<int>(form.ExportCells().front().size()));
    form.EscBtn->click();
  });
}
