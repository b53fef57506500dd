#include "program/ProgramRoot.h"

#include "app/AppControlUnit.h"
#include "app/CommandNames.h"
#include "app/MainFormUnit.h"
#include "app/TextSettingsUnit.h"
#include "app/TessaroMain.h"
#include "app/DesktopLinksUnit.h"
#include "app/GlueStateUnit.h"
#include "app/Unit1.h"
#include "data/SigPadUnit.h"
#include "output/PrintPreviewUnit.h"
#include "output/PrintProcsUnit.h"
#include "output/PrintUnit.h"
#include "output/RtfEditorUnit.h"
#include "views/ChangeLogUnit.h"
#include "views/FindFormUnit.h"
#include "views/ViewsUnit.h"

void InstallProgramUnits() {
  // Views: the record views of the pages with their dialogs (src/views).
  RegisterViews();

  // Commands: the work of menu commands and internal hooks whose unit lives outside the
  // window, one InstallMenuCommand(kMenu... / kHook..., work) per line. The window does the
  // work of its own commands; every other command is listed below as awaiting its unit.
  InstallMenuCommand(kMenuSeek1, RunSeekCommand);
  InstallMenuCommand(kMenuChangeLog1, ShowChangeLog);

  // The form editor (src/output).
  InstallMenuCommand(kMenuRTFEditor1, [] { EditRtfText(MainFormText(31), "", false); });

  // Printing: a print run breaks off when the program is told to end.
  SetPrintTerminationCheck([] { return ApplicationTerminated(); });
  // Lists of lines print as a table titled with the program's title, as many columns as
  // their first line has cells; the preview stores its flag for the user, and a list
  // written into a spreadsheet file opens through the glue's shell opener.
  WinGlue().TextFilePrinter = [](const std::string& file) {
    return PrintStringGrid(WinGlue().AppTitle, file, TabFileColumnCount(file));
  };
  SetPreviewFlagStore([](bool on) { SetPrintPreview(on, true); });
  SetPrintFileOpener([](const std::string& file) { return ShellOpen(file); });
  // The print settings dialog (src/app, the receipts of src/output).
  InstallMenuCommand(kMenuSettingsText1, [] { ShowTextSettings(0); });
  // Receipts: the locker-key receipt of the main window, the text on the signature pad
  // (src/output).
  InstallLockerReceiptPrinter(PrintLockerReceipt);
  SetPadTextSource(PadText);

  // Imports: each import installs its menu command above (src/import, its dialogs in
  // src/import/widgets).
}

const std::vector<std::string>& CommandsAwaitingTheirUnit() {
  static const std::vector<std::string> commands = {
      // Imports (src/import).
      kMenuImportKWD1, kMenuImportXML1, kMenuImportPlan1, kMenuImportBigKey1, kMenuImportKeys1,
      kMenuImportPersons1, kMenuImportDoors1, kMenuImportNew1, kMenuImportShowBooking1,
      // Settings, locking systems, data folder, list and database exports, screenshot.
      kMenuSettings1, kMenuKeysystems1, kMenuSelDBFile1, kMenuExportDoors1, kMenuExportKeys1,
      kMenuExportPersons1, kMenuDBExport1, kMenuScreenshot1,
      // The views' tools: the locking plan.
      kMenuPlan1,
      // Remembered records, relations, navigation, mass rename, sample data, guided tour,
      // info.
      kMenuMem1, kMenuShowMem1, kMenuRelations1, kMenuRelations2, kMenuNavigation1,
      kMenuMassRename1, kMenuRandomData1, kMenuRandomDataDemo1, kMenuDemoTourStart1, kMenuKontakt1,
      // Hidden entries no unit does the work of.
      kMenuDeleteDemoData1, kMenuLoadUpdate1};
  return commands;
}

int RunTessaro(int argc, char** argv) {
  InstallProgramUnits();
  return TessaroMain(argc, argv);
}
