#pragma once
// The window glue's program-wide state: one object, WinGlue(), with the main window and its
// page control, the remembered page, the page visibility ("ViewTab"), the shared lists of
// locking systems and buildings, the wait panel and the replaceable desktop services; the
// glue's message table ("UnitTR100Win") and the standard messages.
//
// The flags of the session (logged-in user, right levels, the open store) are Session()'s
// and those of the data folder (data path, read-only, time travel, sandbox) MandantState()'s;
// the glue keeps no copy of either. The views are the view registry's (ViewRegistryUnit.h).

#include <cstdint>
#include <functional>
#include <string>

#include <QPointer>

#include "basic/SLUnit.h"

class QTabWidget;
class QWidget;
class TMiniDB;
class TWaitPanel;

// The message table of the glue (entry 0 its name; 5 and 15 unused).
std::string WinText(int number);
std::string WinTextFmt(int number, const std::string& argument);

// ---------------------------------------------------------------------------------------
// The state.

struct TWinGlue {
  QPointer<QWidget> MainWindow;
  QPointer<QTabWidget> PageControl;
  int PreviousPage = -1;        // the page to go back to, -1 none
  int32_t SeenLoadCount = 0;    // the store's load counter the views show
  std::string ViewTab;          // page visibility, at most 7 of "0"/"1"
  TQStringList LockingSystems;  // shared list: names with codes as objects
  bool LockingSystemsBuilt = false;
  TQStringList Buildings;  // shared list: names with IDs as objects
  QPointer<TWaitPanel> WaitPanel;
  bool WebLinks = true;        // setting "WebLinks": "0" switches links off
  std::string ExportFileName;  // the proposal of the export dialog
  std::string HelpFolder;      // with a trailing "/"
  std::string AppTitle = "Tessaro";
  // Opens a file or an address with the desktop's default program; true when started.
  std::function<bool(const std::string& target)> ShellOpener;
  // Waits that many milliseconds (between the steps of OpenInternetLinkFrom).
  std::function<void(int ms)> Sleeper;
  // Prints a text file of lines (the print module installs it); false when not printed.
  std::function<bool(const std::string& fileName)> TextFilePrinter;
};
TWinGlue& WinGlue();
// Back to the start-up state (every view forgotten, the shared lists emptied).
void ResetWinGlue();
// What changes when another client's data is opened: remembered page, seen load counter,
// shared lists, and the session's login; the views stay registered.
void ResetForClientData();

// The store the glue works on: the session's; null when no client's data is open.
TMiniDB* GlueDB();

// ---------------------------------------------------------------------------------------
// Standard messages.

void ShowLockFailed();
void ShowMsgText28(const std::string& name);
void ShowMsgText29();
void ShowMsgText30();
void ShowMsgText31();
void ShowMsgText32();
void ShowMsgNumber(int number);
void ShowRestartFailed();
void ShowNotInEditMode();

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* WinTexts();
