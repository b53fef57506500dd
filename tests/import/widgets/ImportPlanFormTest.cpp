// The locking-plan dialogs' pieces: the grid's colours and hints, and the XML import from
// its open dialog into the locking system the user chose.
#include "import/widgets/ImportPlanFormUnit.h"

#include <QFileDialog>
#include <filesystem>
#include <gtest/gtest.h>

#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/ClientSessionUnit.h"
#include "data/HistoryUnit.h"
#include "data/MandantUnit.h"
#include "data/MiniDBTestSupport.h"
#include "data/UnitTR100.h"

TEST(ImportPlanForm, GridColoursAndHints) {
  TImportTable grid;
  FillPlanGrid(grid, {"\t\t\tGruppenschl\xFCssel\tGS1\tGS2", "Pos\tT\xFCr\tq", "1\tA\tq\t\tx\tx",
                      "2\tB\tq\t\tx\tx"});
  TPlanWords words;
  ASSERT_TRUE(words.LoadFile(std::string(TESSARO_RESOURCE_DIR) + "/System/LockingPlan.lng", "DE"));
  TIndiDefList defs;
  defs.Obtain(pdkColumn, pcfRoom).dataCol = 3;
  defs.Obtain(pdkColumn, pcfRoom).dataRow = 3;
  TPlanRecognition rec;
  ASSERT_TRUE(RecognisePlanTable(grid, defs, words, rec));
  TPlanGridModel model(&grid, &rec, &defs);
  const std::vector<std::string> captions = PlanColumnFieldCaptions();
  for (int f = 0; f < kPlanColumnFieldCount; ++f) model.ColumnCaptions[f] = captions[f];
  model.RowCaptions[prfGroupKey] = "Gruppenschl\xFCssel";
  EXPECT_EQ(model.CellColour(2, 2), 0xAFAFFFu);  // recognised heading
  EXPECT_EQ(model.CellColour(2, 3), 0xF0FFE8u);  // data of the door column
  EXPECT_EQ(model.CellColour(5, 3), 0xFFE0E0u);  // matrix
  EXPECT_EQ(model.CellColour(3, 3), 0x00FFFFu);  // manual definition
  EXPECT_EQ(model.CellColour(0, 3), 0xFFFFFFFFu);
  EXPECT_EQ(model.CellHint(2, 3), "= T\xFCr");
  EXPECT_EQ(model.CellHint(5, 1), "= Gruppenschl\xFCssel");
  EXPECT_EQ(model.CellHint(5, 3), "= Matrix");
  EXPECT_EQ(model.CellHint(3, 3), "manuelle Definition: Daten\n= Raum");
  EXPECT_EQ(model.data(model.index(3, 5), Qt::BackgroundRole).value<QColor>(),
            ColorFromBgr(0xFFE0E0));
}

TEST(ImportPlanForm, XmlFileIntoTheChosenSystem) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  THistory history{&a.registry};
  THistoryScope historyScope{history};
  history.SetFolder(dir.Dir());
  TScopedRecorder ui;
  ClientSession().LendStore(a.db.get());
  const std::string root = MandantState().DataRoot;
  MandantState().DataRoot = dir.Dir();  // the client's folder holds the import journal
  const std::string file = dir.File("plan.xml");
  WriteAllBytes(file,
                "<?xml version=\"1.0\"?><ExportByZerUdaravu><Cylinders><Cylinder>"
                "<ShortDescription>C-1</ShortDescription><Pieces>2</Pieces></Cylinder>"
                "</Cylinders></ExportByZerUdaravu>");
  EXPECT_NE(TImportXmlForm().windowTitle().indexOf("XML"), -1);
  auto choose = [&](QDialog& d) {
    auto* files = dynamic_cast<QFileDialog*>(&d);
    ASSERT_NE(files, nullptr);
    files->selectFile(QString::fromStdString(file));
    static_cast<QDialog*>(files)->accept();
  };
  // No locking system chosen: nothing happens.
  QueueDialogDriver(choose);
  EXPECT_FALSE(ExecuteXmlImport([] { return 0; }));
  EXPECT_EQ(a->FindByName("C-1", icCylinder, 0), 0);
  QueueDialogDriver(choose);
  EXPECT_TRUE(ExecuteXmlImport([] { return 4; }));
  const int32_t cyl = a->FindByName("C-1", icCylinder, 0);
  ASSERT_NE(cyl, 0);
  EXPECT_EQ(a->ReadLineField(cyl, fkKeySystem), "4");
  EXPECT_EQ(a->ReadLineField(cyl, fkCylinderCount), "2");
  EXPECT_TRUE(std::filesystem::is_directory(dir.Dir() + "ImportJournal"));
  MandantState().DataRoot = root;
  ClientSession().LendStore(nullptr);
}

TEST(ImportPlanForm, TheDefinitionsFollowTheOpenClient) {
  TTempDir dirA, dirB;
  TStation a("A"), b("B");
  ASSERT_TRUE(a.Open(dirA));
  ASSERT_TRUE(b.Open(dirB));
  ClientSession().LendStore(a.db.get());
  TIndiDefList& defsA = PlanDefsOfClient();
  defsA.Obtain(1, 0).dataCol = 3;
  defsA.Table = dirA.File("plan.xlsx");
  ASSERT_TRUE(SaveIndiDefs(defsA, a->DataPath + kPlanDefsFileName));

  // Another client: none of the first one's definitions, nor its table.
  ClientSession().LendStore(b.db.get());
  EXPECT_EQ(PlanDefsOfClient().Count(), 0);
  EXPECT_EQ(PlanDefsOfClient().Table, "");
  // Back again: its own, read from its folder.
  ClientSession().LendStore(a.db.get());
  ASSERT_NE(PlanDefsOfClient().Find(1, 0), nullptr);
  EXPECT_EQ(PlanDefsOfClient().Find(1, 0)->dataCol, 3);
  ClientSession().LendStore(nullptr);
}
