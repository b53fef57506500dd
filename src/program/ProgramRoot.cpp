#include "program/ProgramRoot.h"

#include "app/AppControlUnit.h"
#include "app/CommandNames.h"
#include "app/MainFormUnit.h"
#include "app/TextSettingsUnit.h"
#include "app/TessaroMain.h"
#include "app/Unit1.h"
#include "data/SigPadUnit.h"
#include "output/PrintProcsUnit.h"
#include "output/PrintUnit.h"
#include "output/RtfEditorUnit.h"
#include "views/ViewsUnit.h"

void InstallProgramUnits() {
  // Views: the record views of the pages with their dialogs (src/views).
  RegisterViews();

  // Commands: the work of menu commands and internal hooks whose unit lives outside the
  // window, one InstallMenuCommand(kMenu... / kHook..., work) per line. The window does the
  // work of its own commands; every other command is listed below as awaiting its unit.

  // The form editor (src/output).
  InstallMenuCommand(kMenuRTFEditor1, [] { EditRtfText(MainFormText(31), "", false); });

  // Printing: a print run breaks off when the program is told to end.
  SetPrintTerminationCheck([] { return ApplicationTerminated(); });
  // The print settings dialog (src/app, the receipts of src/output).
  InstallMenuCommand(kMenuSettingsText1, [] { ShowTextSettings(0); });
  // Receipts: the locker-key receipt of the main window, the text on the signature pad
  // (src/output).
  InstallLockerReceiptPrinter(PrintLockerReceipt);
  SetPadTextSource(PadText);
  // Printers: the printer of text lists (WinGlue().TextFilePrinter) comes with the list
  // printing (src/output); until then printing a list does nothing.

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
      // The views' tools: retiring a cylinder, the stock list, search and change log, the
      // locking plan.
      kMenuDefectCyl1, kMenuKeyBox1, kMenuSeek1, kMenuChangeLog1, kMenuPlan1,
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
