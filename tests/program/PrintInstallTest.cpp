// What the composition root connects for printing: lists of lines print as the list
// printout, the preview's flag goes to the main window's setter (stored for the user), and
// a list written into a spreadsheet file opens through the glue's shell opener.
#include <string>
#include <vector>

#include <QCheckBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include "app/GlueStateUnit.h"
#include "app/GridExportUnit.h"
#include "app/MainFormUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "output/FakePrinterServices.h"
#include "output/PrintPreviewUnit.h"
#include "program/ProgramRoot.h"

TEST(ProgramPrinting, ListsPreviewAndFilesGoThroughTheProgramsServices) {
  ResetMainFormRegistries();
  InstallProgramUnits();
  TFakePrinterScope scope;
  TTempDir tmp;
  WinGlue().AppTitle = "Tessaro - Test";
  std::vector<std::pair<bool, bool>> set;  // on, store
  InstallPrintPreviewSetter([&](bool on, bool store) {
    set.push_back({on, store});
    SetPrintPreviewFlag(on);
  });

  // The preview, unticked, then print: printed with the program's title and as many
  // columns as the first line has cells; the flag stored for the user.
  QueueDialogDriver([](QDialog& dialog) {
    auto& form = dynamic_cast<TPrintPreviewForm&>(dialog);
    form.PreviewCheckBox->setChecked(false);
    form.PrintBtn->click();
  });
  EXPECT_TRUE(PrintTextList({"Name\tOrt\tNr", "Tor\tHalle\t7"}));
  ASSERT_EQ(scope.printers.jobs.size(), 1u);
  EXPECT_EQ(scope.printers.jobs[0]->title, "Tessaro - Test");
  std::vector<std::string> cells;
  for (const TRecordedText& t : scope.printers.jobs[0]->pages[0].texts)
    if (t.y > 0) cells.push_back(t.text);
  EXPECT_EQ(cells, (std::vector<std::string>{"Name", "Ort", "Nr", "Tor", "Halle", "7"}));
  EXPECT_EQ(set, (std::vector<std::pair<bool, bool>>{{false, true}}));
  EXPECT_FALSE(PrintPreviewEnabled());

  // Into a spreadsheet file: opened through the glue's shell opener.
  std::vector<std::string> opened;
  WinGlue().ShellOpener = [&](const std::string& target) {
    opened.push_back(target);
    return true;
  };
  PrintSettings().printToFile = true;
  PrintSettings().targetFile = tmp.File("Liste");
  EXPECT_TRUE(PrintTextList({"Name\tOrt", "Tor\tHalle"}));
  EXPECT_EQ(opened, std::vector<std::string>{tmp.File("Liste.xls")});
  EXPECT_EQ(scope.printers.jobs.size(), 1u);

  ResetWinGlue();
  ResetMainFormRegistries();
  SetPreviewFlagStore(nullptr);
  SetPrintFileOpener(nullptr);
}
