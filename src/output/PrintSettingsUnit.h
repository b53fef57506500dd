#pragma once
// The print settings every printout shares, for the run. The preview flag is also a
// per-user setting: the login sets it from the user's record and the main window stores it
// when the user changes it; this object is its one place in memory.

#include <string>

struct TPrintSettings {
  bool preview = true;             // show the preview before printing
  bool landscape = false;
  std::string printerName;         // empty: the default printer
  bool printerChosenInRun = false;  // the user confirmed the print selection in this run
  // The per-user "PrinterDialog" (the login sets it): 0 never offer the print selection
  // before a receipt, 1 until a printer was chosen in this run, 2 always.
  int printerDialog = 1;
  bool printToFile = false;        // the next list print goes into a spreadsheet file
  std::string targetFile;
  // "in Datei" chosen for a form (a receipt, the stock-control sheet): the next form
  // printout goes into this PDF file instead of the printer. Never a list's target.
  std::string formTargetFile;
};

TPrintSettings& PrintSettings();
// Back to the start of a run (tests).
void ResetPrintSettings();
