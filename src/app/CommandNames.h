#pragma once
// The names of the main window's commands, shared by the menu table (Unit1.cpp) and every
// unit that installs a command's work (InstallMenuCommand, called from the composition
// root). A menu item carries its command's name as its object name, so tests and the
// automation run a command by name as a click would. Spell a command only through these
// constants: a misspelt name would leave a command silently without its work.
//
// The internal hooks are commands without a menu item: the window runs them at a moment of
// its own (a page shown, the views refreshed after the login, the layout changed) when a
// unit installed them.

// "Datei"
inline constexpr const char* kMenuSelDBFile1 = "SelDBFile1";
inline constexpr const char* kMenuBackupNow1 = "BackupNow1";
inline constexpr const char* kMenuSandbox1 = "Sandbox1";

// "Datei" / "Importieren ..."
inline constexpr const char* kMenuImportKWD1 = "ImportKWD1";
inline constexpr const char* kMenuImportXML1 = "ImportXML1";
inline constexpr const char* kMenuImportPlan1 = "ImportPlan1";
inline constexpr const char* kMenuImportBigKey1 = "ImportBigKey1";
inline constexpr const char* kMenuImportKeys1 = "ImportKeys1";
inline constexpr const char* kMenuImportPersons1 = "ImportPersons1";
inline constexpr const char* kMenuImportDoors1 = "ImportDoors1";
inline constexpr const char* kMenuImportNew1 = "ImportNew1";
inline constexpr const char* kMenuImportShowBooking1 = "ImportShowBooking1";

// "Datei"
inline constexpr const char* kMenuRandomData1 = "RandomData1";
inline constexpr const char* kMenuDBExport1 = "DBExport1";

// "Datei" / "Exportieren"
inline constexpr const char* kMenuExportDoors1 = "ExportDoors1";
inline constexpr const char* kMenuExportKeys1 = "ExportKeys1";
inline constexpr const char* kMenuExportPersons1 = "ExportPersons1";

// "Datei"
inline constexpr const char* kMenuPrint1 = "Print1";
inline constexpr const char* kMenuLogout1 = "Logout1";
inline constexpr const char* kMenuFileClosePgm = "FileClosePgm";

// "Bearbeiten"
inline constexpr const char* kMenuNew1 = "New1";
inline constexpr const char* kMenuEd1 = "Ed1";
inline constexpr const char* kMenuDup1 = "Dup1";
inline constexpr const char* kMenuSave1 = "Save1";
inline constexpr const char* kMenuNewBunch1 = "NewBunch1";
inline constexpr const char* kMenuDefectCyl1 = "defectCyl1";
inline constexpr const char* kMenuSeek1 = "Seek1";
inline constexpr const char* kMenuMem1 = "Mem1";
inline constexpr const char* kMenuRelations1 = "Relations1";
inline constexpr const char* kMenuMassRename1 = "MassRename1";
inline constexpr const char* kMenuKeysystems1 = "Keysystems1";
inline constexpr const char* kMenuUsers1 = "Users1";
inline constexpr const char* kMenuSettingsText1 = "SettingsText1";
inline constexpr const char* kMenuSettings1 = "Settings1";

// "Übergabe"
inline constexpr const char* kMenuIssue1 = "Issue1";
inline constexpr const char* kMenuSpindIssue1 = "SpindIssue1";
inline constexpr const char* kMenuSpindReturn1 = "SpindReturn1";
inline constexpr const char* kMenuKeyBox1 = "KeyBox1";
inline constexpr const char* kMenuPlan1 = "Plan1";
inline constexpr const char* kMenuNavigation1 = "Navigation1";
inline constexpr const char* kMenuChangeLog1 = "ChangeLog1";

// "Ansicht": one entry per page that can be hidden
inline constexpr const char* kMenuViewBuildings1 = "ViewBuildings1";
inline constexpr const char* kMenuViewDoors1 = "ViewDoors1";
inline constexpr const char* kMenuViewCylinders1 = "ViewCylinders1";
inline constexpr const char* kMenuViewGroups1 = "ViewGroups1";
inline constexpr const char* kMenuViewCabinets1 = "ViewCabinets1";
inline constexpr const char* kMenuViewTransfer1 = "ViewTransfer1";
inline constexpr const char* kMenuViewLimits1 = "ViewLimits1";
inline constexpr const char* kMenuViewHistory1 = "ViewHistory1";
inline constexpr const char* kMenuViewUsers1 = "ViewUsers1";

// "Ansicht" / "Sortierung"
inline constexpr const char* kMenuSortName1 = "SortName1";
inline constexpr const char* kMenuSortLock1 = "SortLock1";
inline constexpr const char* kMenuSortPos1 = "SortPos1";
inline constexpr const char* kMenuSortNotAdjust1 = "SortNotAdjust1";
inline constexpr const char* kMenuSortAdjust1 = "SortAdjust1";

// "Ansicht"
inline constexpr const char* kMenuPrintPreview1 = "PrintPreview1";
inline constexpr const char* kMenuRefresh1 = "Refresh1";
inline constexpr const char* kMenuShowMem1 = "ShowMem1";
inline constexpr const char* kMenuRelations2 = "Relations2";
inline constexpr const char* kMenuSmallWinSize1 = "SmallWinSize1";
inline constexpr const char* kMenuOptWinSize1 = "OptWinSize1";
inline constexpr const char* kMenuWinForeground1 = "WinForeground1";
inline constexpr const char* kMenuScreenshot1 = "Screenshot1";
inline constexpr const char* kMenuRTFEditor1 = "RTFEditor1";

// "Demo"
inline constexpr const char* kMenuUseDemoData1 = "useDemoData1";
inline constexpr const char* kMenuUseOwnData1 = "useOwnData1";
inline constexpr const char* kMenuRandomDataDemo1 = "RandomDataDemo1";
inline constexpr const char* kMenuDeleteDemoData1 = "DeleteDemoData1";
inline constexpr const char* kMenuLoadUpdate1 = "LoadUpdate1";

// "Hilfe"
inline constexpr const char* kMenuHelpF1 = "HelpF1";
inline constexpr const char* kMenuTransferHelp1 = "TransferHelp1";
inline constexpr const char* kMenuHelpPDF1 = "HelpPDF1";
inline constexpr const char* kMenuDemoTourStart1 = "DemoTourStart1";
inline constexpr const char* kMenuKontakt1 = "Kontakt1";

// ---------------------------------------------------------------------------------------
// Internal hooks.

// The automatic import of the login's "autoImport" profile.
inline constexpr const char* kHookAutoImport = "AutoImport";
// After the views were refreshed at the login: the limits view looks for overdue keys.
inline constexpr const char* kHookLimitsCheck = "LimitsCheck";
// The issue-and-return page is shown: its view makes its help web view.
inline constexpr const char* kHookTransferSheetShow = "TransferSheetShow";
// The issue-and-return page is entered: the party chosen elsewhere is handed over.
inline constexpr const char* kHookTransferSheetEnter = "TransferSheetEnter";
// The window's layout changed: the guided tour places its panel.
inline constexpr const char* kHookPlaceTourPanel = "PlaceTourPanel";
// The client's data is closed (logout, end of the program): units close the files they
// opened for that client (the photos of the persons view).
inline constexpr const char* kHookClientClosed = "ClientClosed";
// The logged-in user's per-user values were read: views take theirs (the persons view its
// name order).
inline constexpr const char* kHookUserValues = "UserValues";

// Every internal hook; a command installed under another name must be a menu item.
inline constexpr const char* kInternalHooks[] = {kHookAutoImport,         kHookLimitsCheck,
                                                 kHookTransferSheetShow,  kHookTransferSheetEnter,
                                                 kHookPlaceTourPanel,     kHookClientClosed,
                                                 kHookUserValues};
