#include "program/ProgramRoot.h"

#include <QApplication>

#include "app/AppControlUnit.h"
#include "app/CommandNames.h"
#include "app/MainFormUnit.h"
#include "app/TextSettingsUnit.h"
#include "app/TessaroMain.h"
#include "app/DesktopLinksUnit.h"
#include "app/LoginUnit.h"
#include "app/GlueStateUnit.h"
#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "data/SigPadUnit.h"
#include "import/widgets/ImportUnit.h"
#include "import/widgets/BookingForm.h"
#include "import/widgets/FixedImportForm.h"
#include "import/widgets/ImportKwdForm.h"
#include "import/ImportXmlUnit.h"
#include "import/widgets/ImportPlanFormUnit.h"
#include "output/PrintPreviewUnit.h"
#include "output/PrintProcsUnit.h"
#include "output/PrintUnit.h"
#include "output/RtfEditorUnit.h"
#include "views/ChangeLogUnit.h"
#include "views/DBExportUnit.h"
#include "views/ListExportUnit.h"
#include "views/SettingsUnit.h"
#include "views/ContactUnit.h"
#include "views/DemoDataUnit.h"
#include "views/FindFormUnit.h"
#include "views/KsToolFormUnit.h"
#include "views/MemFormUnit.h"
#include "views/NaviUnit.h"
#include "views/PlanUnit.h"
#include "views/RelationsUnit.h"
#include "views/RenameUnit.h"
#include "views/SpecialDeleteUnit.h"
#include "views/TourUnit.h"
#include "views/ViewsUnit.h"

void InstallProgramUnits() {
  // Views: the record views of the pages with their dialogs (src/views).
  RegisterViews();

  // Commands: the work of menu commands and internal hooks whose unit lives outside the
  // window, one InstallMenuCommand(kMenu... / kHook..., work) per line. The window does the
  // work of its own commands; every other command is listed below as awaiting its unit.
  InstallMenuCommand(kMenuSeek1, RunSeekCommand);
  InstallMenuCommand(kMenuChangeLog1, ShowChangeLog);
  // The locking plan: afterwards the store read again and the chosen record in its view.
  InstallMenuCommand(kMenuPlan1, RunPlanCommand);
  // The mass rename of persons: the views show the new names.
  InstallMenuCommand(kMenuMassRename1, [] {
    if (ShowRenameForm()) RefreshAllFrames();
  });
  // The record generator; its window goes with the client's data (logout, another client),
  // after what the views close then.
  InstallMenuCommand(kMenuRandomData1, [] { ShowRecordGenerator(false); });
  InstallMenuCommand(kMenuRandomDataDemo1, [] { ShowRecordGenerator(true); });
  // Remembered records: the record shown is remembered (a beep when there is none).
  InstallMenuCommand(kMenuMem1, [] {
    const int32_t id = CurrentPageItemId();
    if (id == 0) QApplication::beep();
    MemorizeRecord(id);
    ShowMemForm();
  });
  InstallMenuCommand(kMenuShowMem1, ShowMemForm);
  // The relations list, from the edit and the view menu.
  InstallMenuCommand(kMenuRelations1, [] { ShowRelations(); });
  InstallMenuCommand(kMenuRelations2, [] { ShowRelations(); });
  // The navigation window: the page of the chosen class, or the locking plan.
  InstallMenuCommand(kMenuNavigation1, RunNavigation);
  // The guided tour; the main window re-places its panel when it was resized or shown.
  InstallMenuCommand(kMenuDemoTourStart1, [] { StartTour(); });
  InstallMenuCommand(kHookPlaceTourPanel, PlaceTourPanel);
  // The info dialog.
  InstallMenuCommand(kMenuKontakt1, ShowContactInfo);
  // The IDs of remembered records name other records in another client's data.
  InstallMenuCommand(kHookClientClosed, [before = MenuCommandOf(kHookClientClosed)] {
    if (before) before();
    CloseRecordGenerator();
    ForgetRememberedRecords();
    // Its steps show the pages of the data that is closing.
    if (TTour* tour = Tour()) tour->End();
  });

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

  // Settings and the small data dialogs, the list and database exports, the screenshot
  // (src/views).
  InstallMenuCommand(kMenuSettings1, ShowSettingsDialog);
  InstallMenuCommand(kMenuKeysystems1, [] { ExecuteKeySystemsDialog(); });
  InstallMenuCommand(kMenuSelDBFile1, [] { ChangeDataDirectory(); });
  InstallMenuCommand(kMenuExportDoors1, ExportDoors1Click);
  InstallMenuCommand(kMenuExportKeys1, ExportKeys1Click);
  InstallMenuCommand(kMenuExportPersons1, ExportPersons1Click);
  InstallMenuCommand(kMenuDBExport1, ShowDBExport);
  InstallMenuCommand(kMenuScreenshot1, Screenshot1Click);

  // Imports (src/import, their dialogs in src/import/widgets): the table import from the
  // menu, for persons, from a Big-Key folder, and unattended from a profile at the login.
  InstallMenuCommand(kMenuImportNew1, ImportNew1Click);
  InstallMenuCommand(kMenuImportPersons1, ImportPersons1Click);
  InstallMenuCommand(kMenuImportBigKey1, ImportBigKey1MenuClick);
  InstallAutoImport(
      [](const std::string& profile) { return RunProfileImportShown(profile, true); });
  // The Big-Key step asks for its locking system in the views' selection dialog.
  SetKeySystemChooser([](const std::string& caption) { return SelectKeySystem(caption); });
  // The key and door lists with fixed columns, KWD plans and the import journal.
  InstallMenuCommand(kMenuImportKeys1, RunKeysImportCommand);
  // Doors carry cylinder texts: real cylinders are made from them after the import.
  InstallMenuCommand(kMenuImportDoors1, [] {
    RunDoorsImportCommand([] {
      if (TMiniDB* db = GlueDB()) ExtractCylindersFromDoors(*db, true, true);
    });
  });
  InstallMenuCommand(kMenuImportKWD1, RunKwdImport);
  InstallMenuCommand(kMenuImportShowBooking1, [] { ShowImportJournal(""); });
  // Locking plans: the XML file's records go into the locking system the user chooses
  // (code 1 offered first); the spreadsheet plan's dialog chooses its own.
  InstallMenuCommand(kMenuImportXML1, [] {
    ExecuteXmlImport([] { return SelectKeySystem(ImportXmlText(8), 1); });
  });
  InstallMenuCommand(kMenuImportPlan1, [] { RunPlanImport(); });
}

const std::vector<std::string>& CommandsAwaitingTheirUnit() {
  static const std::vector<std::string> commands = {
      // Hidden entries no unit does the work of.
      kMenuDeleteDemoData1, kMenuLoadUpdate1};
  return commands;
}

int RunTessaro(int argc, char** argv) {
  InstallProgramUnits();
  return TessaroMain(argc, argv);
}
