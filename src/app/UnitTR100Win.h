#pragma once
// The window glue: how views, dialogs and the main window reach one another without knowing
// one another's classes. Views register themselves here behind a small interface (IView);
// everything else asks through the functions below: refresh or clear all views, go to a
// record, show, hide and leave pages, the test for unsaved input, the wait text, the shared
// lists of locking systems and buildings, combo and list filling, list export, links,
// captions and the standard messages.
//
// A view that does not exist yet is simply absent: a call that would reach it does nothing.
//
// Program-wide state of this unit lives in one object, WinGlue(); the flags of the session
// (logged-in user, right levels, the open store) are Session()'s and those of the data
// folder (data path, read-only, time travel, sandbox) MandantState()'s; the glue keeps no
// copy of either.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QPointer>

#include "basic/SLUnit.h"
#include "data/ItemList.h"
#include "data/MandantUnit.h"

class QComboBox;
class QListWidget;
class QTabWidget;
class QTableWidget;
class QWidget;
class TMiniDB;
class TWaitPanel;

// ---------------------------------------------------------------------------------------
// Pages of the main window's page control; a page's index is its tab's index.
enum TPage : int {
  pgLogin = 0,
  pgBuildings = 1,
  pgDoors = 2,
  pgCylinders = 3,
  pgGroups = 4,
  pgKeys = 5,
  pgCabinets = 6,
  pgPersons = 7,
  pgIssueReturn = 8,
  pgLimits = 9,
  pgHistory = 10,
  pgUsers = 11,
  pgHelp = 12,
};
inline constexpr int kPageCount = 13;

// The page that shows records of an item class (classes 1-8), else 0 (login).
int ItemTypeToPage(int itemClass);
// The item class a page shows, else 0.
int PageToItemType(int page);

// The message table of this unit (entry 0 its name; 5 and 15 unused).
std::string WinText(int number);
std::string WinTextFmt(int number, const std::string& argument);

// ---------------------------------------------------------------------------------------
// What the glue needs of a view. Every view of the main window implements it and registers
// itself with RegisterView; the defaults are what a view without that part answers.
class IView {
 public:
  virtual ~IView() = default;
  // Reread what the view shows from the store.
  virtual void RefreshView() {}
  // Show nothing (no record).
  virtual void ClearView() {}
  // The view holds unsaved input.
  virtual bool Editing() const { return false; }
  // Show the record; called only while the view is not editing.
  virtual void ShowItem(int32_t /*id*/) {}
  // The record shown, 0 without.
  virtual int32_t CurrentItemId() const { return 0; }
  // The locking-system choice of the record shown; null without.
  virtual QComboBox* SystemCombo() { return nullptr; }
  // The locking-system filter of the view's listing; null without.
  virtual QComboBox* SystemFilterCombo() { return nullptr; }
  // The building filter of the view's listing; null without.
  virtual QComboBox* BuildingFilterCombo() { return nullptr; }
  // Hides the view's search panel.
  virtual void HideSearchPanel() {}
  // History view: shows the history of the record.
  virtual void ShowHistoryOf(int32_t /*id*/) {}
  // Issue and return view: takes the record into the pending transfer.
  virtual void AddToTransfer(int32_t /*id*/) {}
  // Keys view: runs one of its commands for a record.
  virtual void ViewCall(int /*command*/, int32_t /*id*/) {}
  // Issue and return view: shows a document ("file:///...") in its web view.
  virtual void ShowDocument(const std::string& /*url*/) {}
  // The person or department term changed.
  virtual void TermsChanged() {}
};

// Creates a view that is made on first use (cylinders, groups, key cabinets ...) and
// registers it; set by the main window.
using TViewCreator = std::function<void(int page)>;

// ---------------------------------------------------------------------------------------
// The unit's program-wide state.
struct TWinGlue {
  QPointer<QWidget> MainWindow;
  QPointer<QTabWidget> PageControl;
  std::array<IView*, kPageCount> Views{};   // by page; null until the view exists
  TViewCreator CreateView;                  // makes a lazily created view, may be empty
  int PreviousPage = -1;                    // the page to go back to, -1 none
  int32_t SeenLoadCount = 0;                // the store's load counter the views show
  std::string ViewTab;                      // page visibility, at most 7 of "0"/"1"
  TQStringList LockingSystems;              // shared list: names with codes as objects
  bool LockingSystemsBuilt = false;
  TQStringList Buildings;                   // shared list: names with IDs as objects
  QPointer<TWaitPanel> WaitPanel;
  bool WebLinks = true;                     // setting "WebLinks": "0" switches links off
  std::string ExportFileName;               // the proposal of the export dialog
  std::string HelpFolder;                   // with a trailing "/"
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

void RegisterView(int page, IView* view);
// Forgets the view when it is the one registered for its page.
void UnregisterView(int page, IView* view);
IView* ViewOf(int page);
// The view of the page, created first when it is made on first use.
IView* EnsureView(int page);

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

// ---------------------------------------------------------------------------------------
// Views and records.
void RefreshAllFrames();
void RefreshIfChanged();
void ReloadAndRefresh();
// Takes the write reservation with the views showing the data as it is now; the caller
// releases `ticket`. False (message shown) when the reservation cannot be had.
bool LockForEdit(int& ticket);
// True when no other workstation holds a record lock (message shown otherwise).
bool CheckNoOtherStationLocks();
void ClearAllFrames();
// Shows the record in the view of its class (classes 1-8); true for those classes.
bool GotoItem(int32_t id, bool activate);
// ";"-separated IDs, each shown, only the last one's page activated.
void GotoItems(const std::string& ids);
void ShowHistoryOf(int32_t id);
void AddToTransfer(int32_t id);
void KeysViewCall(int command, int32_t id);
void HideKeysSearchPanel();
void HideUsersSearchPanel();
int32_t CurrentPageItemId();

// ---------------------------------------------------------------------------------------
// Pages.
int ActivePage();
int CurrentItemType();
bool PageTabVisible(int page);
void ShowPage(int page, bool force);
void HidePage(int page, bool visible);
bool LeavePage(int pageToAvoid);
void ClosePage(int page, bool save);
// The digit of a page in "ViewTab" (set to `value` when it is 0 or 1); -1 for a page the
// string does not govern.
int PageVisibilityFlag(int page, int value = -1);
void ApplyViewTabs();
void SaveViewTabs();
// The page whose view holds unsaved input (the active page first), else -1.
int FindFrameInEdit();
// True (page shown, warning given) when a view holds unsaved input.
bool CheckPendingInput();

// ---------------------------------------------------------------------------------------
// Lists and combos. Combo and list entries carry record IDs or codes as their objects.

void BuildLockingSystemList();
void BuildBuildingList();
// The shared lists as built last.
const TQStringList& LockingSystemList();
const TQStringList& BuildingList();

// Entries of a list or combo: text and object.
void FillListFromItemList(QComboBox* combo, const TItemList& ids, bool withDash,
                          int32_t selectId);
void FillListFromItemList(QListWidget* list, const TItemList& ids, bool withDash,
                          int32_t selectId);
void FillComboWithType(QComboBox* combo, int itemClass, int32_t selectId);
void FillComboWithBuildings(QComboBox* combo, int32_t selectId, int32_t keySystem);
void FillLockingSystemCombo(QComboBox* combo, bool withDash);
void SelectComboObject(QComboBox* combo, int32_t id);
int32_t GetComboObjectId(const QComboBox* combo, int32_t defaultId);
void RefillComboKeepId(QComboBox* combo, const TQStringList& list);
void SelectComboById(QComboBox* combo, int32_t id);
int32_t FindLockingSystemByName(const std::string& name);
void FillItemTypeCombo(QComboBox* combo);

// List rows: object of a row of a list widget (0 without).
int32_t ListItemId(const QListWidget* list, int row);
void AddListItem(QListWidget* list, const std::string& text, int32_t id);

// What the list-text formatter gives for a record: the entry text, the key the entries are
// ordered by, and the record under whose heading the entry stands (0: none).
struct TListEntryText {
  std::string text;
  std::string sortKey;
  int32_t group = 0;
};
using TListTextFormatter = std::function<TListEntryText(int32_t id, uint8_t option)>;

// The entries of a listing: records of `ids` with a display text that pass the locking
// system filter (ksAll: all) and the search. The texts of the kept records offer their
// name beginnings to `suggestions` (null: none). Returns null when the refresh counter
// changed while the list was built (a newer refresh overtook this one).
std::unique_ptr<TQStringList> FillSearchList(int itemClass, const TItemList& ids,
                                             const std::string& searchText,
                                             TQStringList* suggestions,
                                             const int* refreshCounter, int32_t systemFilter,
                                             uint8_t option, bool plainMatch,
                                             const TListTextFormatter& formatter = {});
// Removes every entry without an object.
void ClearListObjects(TQStringList& list);

// The listing filler: fills the list from FillSearchList, keeps the selected record,
// offers the suggestions in the search combo. For keys and cylinders sorted by closing
// (variant 2), or with `groupGaps`, a gap follows the last entry of each group. False when
// overtaken (the list keeps its old entries).
bool FillItemListBox(QListWidget* list, int itemClass, const TItemList& ids,
                     QComboBox* searchCombo, uint8_t option, int32_t systemFilter,
                     const int* refreshCounter, bool groupGaps = false,
                     const TListTextFormatter& formatter = {});
// Heights of the list rows: the last entry of each group (the text after its TAB) is
// followed by a gap.
void ApplyGroupGaps(QListWidget* list);

// The link-list filler: linked records ticked first, then (with `showOthers`) the others
// within the filters, unticked.
void FillListKeepSelection(QListWidget* list, int itemClass, const TItemList& linked,
                           int32_t buildingFilter, int32_t systemFilter, int32_t ownerId,
                           uint8_t option, bool showOthers, QComboBox* searchCombo,
                           const TListTextFormatter& formatter = {});
// Makes `ids` hold exactly the ticked entries' IDs (order of the others kept).
void SyncCheckedItems(const QListWidget* list, TItemList& ids);
// Alternating row colours, TAB splitting the row into a left and a right-aligned part.
void InstallListRowPainter(QListWidget* list);

// ---------------------------------------------------------------------------------------
// Export and links.

// One exported line per grid row; the flag is handed to the writer. False when a line was
// refused.
using TLineWriter = std::function<bool(const std::string& line, bool flag)>;
// A cell as one export field: TAB, CR and LF become blanks.
std::string ExportCell(const std::string& cell);
bool ExportGridLines(const QTableWidget* grid, const TLineWriter& writer, bool flag,
                     bool selectionOnly);
// The grid as a TAB text file, written beside the target and put in its place when
// complete: a failed export leaves the old file. True when written.
bool ExportListToFile(const QTableWidget* grid, const std::string& fileName,
                      bool selectionOnly);
// The export dialog; right 11 first. Offers text files (CSV) and workbooks ("Excel
// (*.xlsx)"), written without any office program. `toSpreadsheet` writes a workbook into
// the temporary folder and opens it with the desktop's program (ShellOpen) instead.
// `captionControl` (the sheet's title) is unused. True when a file was written.
bool ExportListDialog(const QTableWidget* grid, QWidget* captionControl, bool toSpreadsheet);
// Whether a table file of that name can be read: text tables and binary or XML workbooks
// (".xls", ".xlsx": the imports read them themselves) always, other spreadsheets (".ods",
// ".dbf") only through the office program (OfficeAvailable); otherwise, unless silent, the
// office message (text 6).
bool CheckOfficeAvailable(const std::string& fileName, bool silent);

bool ShellOpen(const std::string& target);
bool OpenInternetLink(const std::string& address);
bool OpenInternetLinkFrom(QWidget* control, const std::string& address);
bool ShowTransferDocument(const std::string& name);

// ---------------------------------------------------------------------------------------
// Captions, wait text, layout.
void ShowWaitText(const std::string& text);
void ShowWaitDefault();
void HideWaitText();
// A wait panel with "bitte warten" on the control; the caller deletes it.
TWaitPanel* WaitTextDefault(QWidget* control);

void SetPersonsTerms(const std::string& personsTerm, const std::string& departmentTerm);
std::string FormatAboutLine(const std::string& suffix, bool withDateTime = true);
std::string SetAppTitle(const std::string& suffix);

// Sets the text and lowers the font from 10 to at least 8 points until it fits.
void FitCaptionFont(QWidget* control, const std::string& text);
void FitCaptionFont2(QWidget* control);
void CenterTextControl(QWidget* control, const std::string& text, const QWidget* reference);
void StretchTextControl(QWidget* control, const QWidget* reference);
// The panel first, then its buttons by position.
void CollectSpeedButtons(QWidget* panel, std::vector<QWidget*>& list);
void ArrangeButtons(const std::vector<QWidget*>& list);
void CenterInForm(QWidget* control);
void ShiftControlsBelow(QWidget* parent, int top, int distance);
bool IsVerdanaInstalled();

// The list options of every class (ViewOptions) as the "ViewSort" text: for each class with
// an option, its number in hex, "=", the name-order digit and the variant digit, TAB.
std::string ViewSortText();
// Stores that text as this user's "ViewSort", where LoadUserViewSettings reads it.
bool SaveViewSort();

// Writes the lines into a temporary file and hands it to the installed text printer
// (WinGlue().TextFilePrinter, set by the print module); false while none is installed.
bool PrintTextList(const std::vector<std::string>& lines);

// ---------------------------------------------------------------------------------------
// Users and data folders.

// Copies the user into every other client's store of `clients` (entry 0, the register's
// header, and the current client skipped). Returns how many stores took it; the names of
// those that did not in `failed`.
int CopyUserToAllClients(int32_t userId, const TMandantList& clients,
                         std::vector<std::string>* failed = nullptr);
// The open dialog for a store file; empty when cancelled.
std::string SelectDatabaseDialog(bool allowX);
