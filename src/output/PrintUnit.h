#pragma once
// Receipts, their templates and the print texts.
//
// After a key transfer, and after a cylinder was reported defective or lost, the program
// prints a receipt: from the user's template (an RTF, text or Word document, one per event
// kind) whose placeholders ("#Key#") are filled with the transfer's data, or, for an issue
// and a return without a usable template, a built-in page drawn with the simple print
// engine. The unit also keeps the four configurable print texts (the receipt's footer, the
// two texts of the stock-control sheet, the text on the signature pad) and prints the
// stock-control sheet of a person.
//
// Template slots 1..5 ("FormTemplate" + slot in the settings files): 1 key issue, 2 key
// return, 3 key loss, 4 key defect or destruction, 5 cylinder defect or loss. They follow
// the client: every opening of a client's data starts again from the values beside the
// program, and a value of the data folder replaces a slot, so no client prints on another
// client's template.
//
// Print texts are stored with "<BR>" for a line break (any case is read) and an empty text
// as the single character 0xA0, which keeps it empty instead of falling back to the
// default. They are read again before each use, but not within 11 seconds of the last read
// (a steady clock, replaceable for tests), and at once after a client's data was opened.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "output/WordDocumentUnit.h"

class TMiniDB;
class TMLStringList;
struct TSimplePrint;

// ---------------------------------------------------------------------------------------
// Texts.

// The unit's texts 1-17: 1 the job title of both built-in receipts, 2-8 the issue receipt,
// 10-13 the return receipt, 14-16 the template failures, 17 the job title of the
// stock-control sheet.
const TMLStringList* PrintUnitTexts();
std::string PrintUnitText(int number);
// The texts of the print settings dialog: 1-5 its messages, 6-15 the parts of the default
// print texts, 16 the unsaved pad text.
const TMLStringList* TextSettingsTexts();
std::string TextSettingsText(int number);

// ---------------------------------------------------------------------------------------
// Template slots.

inline constexpr int kTemplateSlotCount = 5;
inline constexpr int kSlotIssue = 1;
inline constexpr int kSlotReturn = 2;
inline constexpr int kSlotLoss = 3;
inline constexpr int kSlotDefect = 4;
inline constexpr int kSlotCylinder = 5;

// The slots an event (a transfer kind; only its low 7 bits count) prints from: first
// choice, then fallback; 0 for none. 2 -> 1; 3 -> 2; 4 -> 4, then 3; 5 -> 3, then 4;
// 6 -> 2; everything else none.
struct TTemplateChoice {
  int first = 0;
  int fallback = 0;
  bool operator==(const TTemplateChoice&) const = default;
};
TTemplateChoice TemplatesOfEvent(int event);
// The file of a slot (1..5) as it is held now; empty outside.
std::string TemplateSlot(int slot);
// The first-choice slot's file when set and existing, else the fallback slot's file when
// set and existing, else empty.
std::string TemplateFileOfEvent(int event);
// Slot 5's file for events 4 and 5 when it exists, else empty.
std::string CylinderTemplateFile(int event);
// Level 0 (beside the program, at start): fills each empty slot from the program folder's
// settings. Level 1 (a client's data was opened): the slots start again from the program
// folder's values, and each value of the data folder replaces its slot; the print texts
// are read again at their next use. Per slot and level, "ReceiptDoc" + n with
// "ReceiptDoc" + n + "Use" = "1" is moved to "FormTemplate" + n first (older settings);
// a relative name is a name in the program folder.
void LoadTextSettings(int level);
// When the name differs from the slot's: the slot takes it and "FormTemplate" + slot is
// written into the data folder's settings (the program folder's key emptied). False for a
// slot outside 1..5 and when the settings could not be written (the slot holds the name for
// this run all the same).
bool SetTemplateFile(int slot, const std::string& fileName);

// ---------------------------------------------------------------------------------------
// Print texts.

enum class TPrintText { Receipt, LendControl1, LendControl2, Pad };
inline constexpr int kPrintTextCount = 4;

// "ReceiptText", "LendControlText1", "LendControlText2", "PadText".
const char* PrintTextKey(TPrintText text);
// The text when nothing is stored, in the current language.
std::string DefaultPrintText(TPrintText text);
// Reads the four texts again unless that was done less than 11 seconds ago: each from the
// data folder, then from beside the program, a non-empty value of the program folder
// replacing the data folder's; one that both leave empty takes its default; a stored 0xA0
// is an empty text.
void RefreshPrintTexts();
// The text after a refresh, with "<BR>" (any case) for its line breaks.
std::string PrintText(TPrintText text);
std::string ReceiptText();
std::string LendControlText1();
std::string LendControlText2();
std::string PadText();

// A memo's text as it is stored: trailing blanks and line ends dropped, each line break
// (CR, LF, CR LF or LF CR) "<BR>", an empty result the single character 0xA0.
std::string MemoToStoredText(const std::string& memo);
// A stored text for a memo: 0xA0 alone is empty, "<BR>" (any case) becomes CR LF.
std::string StoredTextToMemo(const std::string& stored);
// Stores the memo's text as the print text: written with its key into the data folder's
// settings (the program folder's key emptied) and taken for this run. False when the
// settings could not be written; the text is then not taken.
bool SavePrintText(TPrintText text, const std::string& memo);

// Where the print texts come from (tests replace them): `read` gives the stored value of a
// key at a level, `steadyMs` the milliseconds of a steady clock. Empty members: the
// settings files and the system's steady clock.
struct TPrintTextSources {
  std::function<std::string(int level, const std::string& key)> read;
  std::function<std::int64_t()> steadyMs;
};
void SetPrintTextSources(TPrintTextSources sources);
// Forgets slots, texts and the last read (tests); the sources go back to the defaults.
void ResetReceiptSettings();

// ---------------------------------------------------------------------------------------
// Printing.

// Whether the printer choice is offered before a receipt: "PrinterDialog" is 2, or it is
// 1 and no printer was chosen in this run.
bool AskPrintForm();

// A key receipt's data, by role.
struct TKeyReceipt {
  int event = 0;          // the transfer kind (low 7 bits)
  int32_t key = 0;        // the (first) key, 0 for none
  int32_t person = 0;     // the recipient or bringer
  int32_t cabinet = 0;
  std::string deadline;
  std::string label;      // the key's identifier
  std::string seqNumber;  // the receipt number
  std::string notes2;
  std::string notes1;
  std::string user;
  std::string date;
  std::string keyCount;
  std::string system;
  std::string keyText;    // one key per line, lines separated by CR
};

struct TCylinderReceipt {
  int event = 0;
  int32_t cylinder = 0;
  std::string seqNumber;
  std::string notes;
  std::string user;
  std::string date;
  std::string cylinderCount;
};

// The doors of a key as the receipts and the key list print them: for a general master
// key the single line "alle von <system>"; otherwise the display names (at most 40
// characters each) of the doors it opens, sorted.
std::vector<std::string> KeyDoorList(TMiniDB& db, int32_t key);

// What a key template's placeholders become, in their order of replacement. "#Doors#" is
// among them only when the key text names one key and the document holds "#Doors#".
std::vector<TTextReplacement> KeyTemplateValues(TMiniDB& db, const TKeyReceipt& receipt,
                                                TTextDoc& doc);
std::vector<TTextReplacement> CylinderTemplateValues(TMiniDB& db,
                                                     const TCylinderReceipt& receipt);

// The key receipt of the event: from its template (printed with the preview flag on the
// chosen printer while it is installed, else the default one), or, when none is set or
// the template cannot be opened and the user agrees, the built-in issue or return page.
// `db` null: the open client's store. True when something was printed or shown.
bool PrintKeyReceipt(const TKeyReceipt& receipt, TMiniDB* db = nullptr);
// The cylinder receipt from slot 5; an error message when there is none or it cannot be
// opened (there is no built-in cylinder page).
bool PrintCylinderReceipt(const TCylinderReceipt& receipt, TMiniDB* db = nullptr);
// The locker-key receipt of the main window: kind 2 or 3 for a person, the identifier as
// key text and label, by the user on the date (in the user's date format).
bool PrintLockerReceipt(int kind, int32_t person, const std::string& userName, double date,
                        const std::string& count, const std::string& identifier);

// The built-in pages, drawn into an open print run's state from PrintBegin to PrintEnd.
// False when the run could not be started or a page not begun.
bool DrawIssueReceipt(TSimplePrint& ps, TMiniDB& db, const TKeyReceipt& receipt);
bool DrawReturnReceipt(TSimplePrint& ps, TMiniDB& db, const TKeyReceipt& receipt);
// The stock-control sheet: LendControlText1 for the person, the table of the TAB file
// with as many columns as its header has, LendControlText2 (on a new page when it does not
// fit). False, with the run aborted, when the table could not be printed.
bool DrawPersonSheet(TSimplePrint& ps, TMiniDB& db, int32_t person, const std::string& tabFile);

// Draws a page content into a print run (PrintBegin to PrintEnd or PrintAbort).
using TPageDrawer = std::function<bool(TSimplePrint& ps)>;
// One print run as every built-in printout runs: the pages counted (the total goes into
// each page header), the program's preview (PreviewPrintRun) shown when the preview is on
// and allowed or no printer is installed (printing stops when the user does not print from
// it; a preview flag changed there is stored for the user), then the printer, counted again
// when another printer was chosen in the preview. False when the pages could not be drawn
// or printed.
bool RunSimplePrint(bool previewAllowed, const TPageDrawer& draw);

// The stock-control sheet of a person from the TAB file of their keys; false when the
// table could not be printed.
bool PrintPersonSheet(int32_t person, const std::string& tabFile, bool previewAllowed,
                      TMiniDB* db = nullptr);
// The sheet with the person's keys as the client's "PrtFieldsLendCtrl" lists their
// columns (with three rows to fill in by hand).
bool PrintLendControlSheet(int32_t person, bool previewAllowed, TMiniDB* db = nullptr);
