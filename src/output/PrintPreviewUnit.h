#pragma once
// The print preview (" Druckvorschau") and the list printout of the views.
//
// Every printout that shows a preview shows this one: the list printouts (PrintStringGrid)
// and the built-in receipts alike. Under its top panel (close, the preview flag, printer,
// properties, copies, print) the pages lie as pictures one below the other in a scroll box,
// centred, each shrunk to the box's width less 40 pixels (never below 600) when it is
// wider. The printout draws the pictures for the printer the preview lays them out for
// (the print engine's mode 1 with TSimplePrint::previewPrinter set): measured on that
// printer, so the pages break where they will on paper.
//
// A list printout: the view writes a TAB print file (output/PrintProcsUnit.h), and
// PrintStringGrid counts its pages (the total goes into every page header), shows the
// preview when the preview flag is on or no printer is installed, and prints. With
// print-to-file chosen in the selection dialog the table goes into a spreadsheet file
// instead, once: the choice is used up by that print.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QDialog>
#include <QImage>

#include "output/PrintSelectUnit.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QEvent;
class QScrollArea;
class QShowEvent;
class TMiniDB;

// The unit's texts: 1 "kein Drucker verfügbar", 2 "Es ist kein Drucker installiert.".
std::string PrintPreviewText(int number);

// Draws the printout's pages for the printer it is given (the preview's) and returns their
// pictures.
using TPreviewRenderer = std::function<std::vector<QImage>(QPrinter* printer)>;

// The pages the next ShowPrintPreview shows: `render` replaces what an earlier call handed
// over. `landscape`: the orientation of the pages.
void AddPreviewPages(TPreviewRenderer render, bool landscape);
// Shows the preview of the pages handed over (modal, through ExecModal); they are dropped
// afterwards. True when the user pressed print; then `previewFlag` is the preview check
// box and the chosen printer and its copies are taken into the print settings. Printing
// without an installed printer is refused with text 2 and the preview stays.
bool ShowPrintPreview(bool& previewFlag);
// The preview as every printout shows it: the pages of `render`, the print settings'
// preview flag in the check box. When the user prints with the flag changed, the flag is
// stored for the user (SetPreviewFlagStore). True when the user pressed print.
bool PreviewPrintRun(const TPreviewRenderer& render, bool landscape);

// How the preview flag is kept per user: the composition root installs the main window's
// (it stores the user's "PrintPreview"); without one only the print settings change.
void SetPreviewFlagStore(std::function<void(bool on)> store);
// How a written spreadsheet is opened with the desktop's program (the composition root
// installs the glue's ShellOpen; tests record). Without one the desktop is asked directly.
void SetPrintFileOpener(std::function<bool(const std::string& fileName)> opener);

// Prints the TAB print file as a table of `columns` columns titled `title`: into the
// spreadsheet file when print-to-file was chosen (the choice is used up), else the pages
// counted, the preview shown when wanted or when no printer is installed, and printed
// when the user prints (or without the preview). False when the table could not be read,
// printed or written; a cancelled preview is true.
bool PrintStringGrid(const std::string& title, const std::string& fileName, int columns);
// The cells of the TAB print file's header (its first row); 0 when it cannot be read.
int TabFileColumnCount(const std::string& fileName);
// The rows of a TAB print file into a native ".xls" book (`targetFile` gets ".xls"; it
// tells the name written), written beside the target and renamed over it; then opened
// with the desktop's program. Lines starting with the bytes 0x01..0x08 are skipped. A
// table beyond the format's limits is refused with a message naming them, nothing
// written. False when not written.
bool ExportTabFileToXls(const std::string& tabFile, std::string& targetFile);

// Appends one multi-line column to TAB rows: the column sits after as many cells as the
// first row has TABs; its first line goes to the first row, the next lines to the rows
// below (rows of that many TABs are added as needed). Each row gets TAB + its line; the
// rows below the last line get a TAB. An empty column is the single line "-".
void StringsToTabText(std::vector<std::string>& rows, const std::vector<std::string>& cellLines);
// The rows joined by CR LF, each without one trailing TAB.
void StringsToLines(const std::vector<std::string>& rows, std::string& text);

// ---------------------------------------------------------------------------------------
// The key list printout (keys with their holders and doors).

// The column list of the key list, made once per run, its marks kept for the run:
// "Bezeichnung", "Schließung", "Schließanlage", "Bestand", the holder caption marked,
// "Schlüsseltyp", "Bemerkung", "Türen" not.
TPrintFields& PrintKeyList();
// The columns of the key list.
enum TKeyListColumn : int {
  klName = 0,
  klLockNumber,
  klSystem,
  klKeyType,
  klStock,
  klRemark,
  klHolders,
  klDoors,
  klColumnCount
};
// The TAB print file's rows of the keys in the marked columns (the holders and doors as
// cells continuing on the rows below their key's row). With a key bunch `bunch` the stock
// and the holders are left out and each key's name carries its identifier on that bunch.
std::vector<std::string> KeyListRows(TMiniDB& db, const std::vector<int32_t>& keys,
                                     int32_t bunch, const TPrintFields& fields);
// Prints the keys (of the open client's store) as KeyListRows through a temporary TAB
// file and PrintStringGrid, titled with the plural key caption, or text 5 of the selection
// dialog and the bunch's name. A failed print says "Fehler beim Drucken" unless the
// program is ending. True when printed (or shown).
bool PrintRecordsToFile(const std::vector<int32_t>& keys, int32_t bunch);

// ---------------------------------------------------------------------------------------
// Page pictures (24-bit colour) made smaller for the preview.

// Each 2 x 2 block of pixels becomes one, each colour channel averaged.
QImage HalvePagePicture(const QImage& picture);
// Reduced to width x height (never enlarged): per row the source position advances by
// source length / target length per pixel; a pixel is copied from the rounded position when
// that is at most one past the previous one, else averaged with its left neighbour; rows are
// reduced the same way, averaging two source rows.
QImage ResamplePagePicture(const QImage& picture, int width, int height);
// Fitted into width x height (unchanged when it fits): halved while the scale that fits it
// is at most a quarter or exactly a half; then a scale below a half resamples to twice the
// target size and halves once more, one above a half resamples to the target size.
QImage ShrinkPagePicture(const QImage& picture, int width, int height);

class TPrintPreviewForm : public QDialog {
 public:
  TPrintPreviewForm(QPrinter* printer, TPreviewRenderer render, QWidget* parent = nullptr);

  QFrame* TopPanel;
  QPushButton* CloseBtn;
  QCheckBox* PreviewCheckBox;
  QFrame* PrintPanel;
  QComboBox* PrintersCombo;
  QPushButton* PrinterSettingsBtn;
  QLabel* Label1;
  QLineEdit* CopiesEd;
  QPushButton* PrintBtn;
  QScrollArea* ScrollBox;
  std::vector<QLabel*> PageImages;  // one per page, in the scroll box
  QWidget* FootDistanceImage;       // the room below the last page

  // The pages the preview holds.
  int PageCount() const;
  // Places the pages for the scroll box's width (on show and on resize): from 10 pixels
  // down, each centred (left 0 when wider than the box), 20 pixels apart, the spacer below.
  void LayoutPages();

  static constexpr int kPageGap = 20;
  static constexpr int kMinPageWidth = 600;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PrintBtnClick();
  // Draws the pages for the printer and shows them.
  void SetPages(QPrinter* printer);
  // Gives the pages in view (and next to it) their pictures, takes them from the others.
  void ShowVisiblePages();
  TPreviewRenderer render_;
  std::vector<QImage> pages_;  // as drawn, at 96 pixels per inch
  int shownWidth_ = -1;        // the width the shown pictures were made for
  bool layingOut_ = false;
};

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* PrintPreviewTexts();
