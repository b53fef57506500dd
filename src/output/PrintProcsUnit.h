#pragma once
// The simple print engine: every built-in printout (record lists, the built-in receipts,
// the stock-control sheet) is drawn line by line through it. One drawing code runs in three
// modes: counting pages only (0), drawing on the preview's printer (1), printing (2).
// Modes 0 and 1 measure on the printing device itself, so the page breaks and the page
// total of a count agree with the printout.
//
// TAB print files (the lists the views hand over): text files of Windows-1252 lines ended
// by CR LF. A line starting with the byte 0x01 sets the column formats from there on (one
// code per column after that byte: "2" right-aligned, anything else left-aligned); lines
// starting with 0x02..0x08 are ignored; every other line is a table row of TAB-separated
// cells, the first one the header. Missing cells are empty, cells beyond the column count
// are ignored.
//
// One print run at a time: while a run is open (PrintBegin until PrintEnd or PrintAbort) a
// second PrintBegin is refused. After each page start the pending events are processed,
// without user input.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "output/PrintCanvasUnit.h"

class QPrinter;

inline constexpr int kPrintModeCount = 0;
inline constexpr int kPrintModePreview = 1;
inline constexpr int kPrintModePrinter = 2;

// The state of one print run.
struct TSimplePrint {
  int mode = kPrintModeCount;
  bool landscape = false;
  bool documentStarted = false;  // a document is open on a drawing canvas
  bool noHeader = false;         // no date and page number in the page header
  IPrintCanvas* canvas = nullptr;  // where the run draws and measures
  int resolutionX = 0;  // pixels per inch
  int resolutionY = 0;
  int pageWidth = 0;  // pixels
  int pageHeight = 0;
  int y = 0;  // current line position from the top
  int lineHeight = 0;
  int pageNumber = 0;  // from 1
  std::string title;            // top left of every page, up to 127 characters
  std::string dateText;         // in the page header, up to 31 characters
  std::string extraHeaderText;  // the page total when known, up to 31 characters

  // Where modes 1 and 2 draw instead of the chosen printer (tests; a preview with a canvas
  // of its own). Not owned; it is ended or aborted with the run.
  IPrintCanvas* target = nullptr;
  // Mode 1: the printer the preview's pages are laid out for (not owned). Without it and
  // without a target, mode 1 only counts, as mode 0 does.
  QPrinter* previewPrinter = nullptr;
  // Mode 1: the pictures of the pages (96 per inch) once the run ended, for the preview.
  std::vector<QImage> previewPages;

  TSimplePrint() = default;
  ~TSimplePrint();  // a run still open is aborted
  TSimplePrint(const TSimplePrint&) = delete;
  TSimplePrint& operator=(const TSimplePrint&) = delete;

  // The run's own devices.
  std::unique_ptr<IPrintCanvas> ownCanvas;
  std::unique_ptr<QPrinter> ownPrinter;
  bool holdsRun = false;
};

// Verdana (else its metric-compatible stand-in), regular, 10 points; the line height
// becomes the font's text height.
void PrintSetDefaultFont(TSimplePrint& ps);
// Opens the run: mode 2 without an installed printer becomes mode 0; the canvas of the mode
// (mode 2 starts the print job with the title); page 1 with the default font, y = 0, the
// page header. False when another run is open or the printer refused the job.
bool PrintBegin(TSimplePrint& ps, const std::string& jobTitle);
// The next page (number + 1, y = 0, page header). False when the program is ending or the
// device refused the page.
bool PrintNewPage(TSimplePrint& ps);
// Ends the run; a printer document goes to the printer. False when the device failed.
bool PrintEnd(TSimplePrint& ps);
// Ends the run and breaks a started document off.
void PrintAbort(TSimplePrint& ps);
// The text at (x, y) (not drawn in mode 0); y moves one line down. A line that would reach
// the page's bottom goes on a new page. False when that page could not be started.
bool PrintLine(TSimplePrint& ps, int x, const std::string& text);
// The text wrapped between leftX and the page width less rightMargin, "<BR>" (any case)
// breaking lines; lines break after a blank or "-", a word longer than the width stands on
// a line of its own. Returns the number of lines; with countOnly nothing is printed and y
// stays.
int PrintWrapped(TSimplePrint& ps, int leftX, int rightMargin, bool countOnly,
                 const std::string& text);
// Prints the TAB file as a table of `columns` columns from `leftMargin` pixels: the font
// shrinks from its size one point at a time (never below 6) until the table fits the page
// width; a table that fits is centred, one that does not gets averaged column widths; the
// header row is printed bold on top of every page. False when the file cannot be read,
// columns < 1, or a page could not be started.
bool PrintTabTable(TSimplePrint& ps, const std::string& fileName, int columns, int leftMargin);
// A whole run for a TAB file: the title (cut to 127 characters), the date text (now as
// "dd.mm.yyyy hh:nn" unless set), PrintBegin, the table from a margin of `leftCm`
// centimetres, PrintEnd on success, else PrintAbort. The table's result.
bool PrintTextFile(TSimplePrint& ps, const std::string& title, const std::string& fileName,
                   double leftCm, int columns);

// How the engine learns that the program is ending (PrintNewPage then fails); the program
// installs it at start. Without one the program never ends for the engine.
void SetPrintTerminationCheck(std::function<bool()> terminated);
// What that check says now (false without one).
bool PrintTerminationRequested();
// True while a print run is open.
bool PrintRunActive();
