#pragma once
// The views of the main window's pages: the one contract a view implements, and the one
// registry that knows, page by page, the factory that makes the page's view, the view once
// it exists and who answers the page's record commands.
//
// A view implements IView. Its parts:
//   - the glue part (refresh, clear, editing, show a record, its combos ...), through which
//     the window glue reaches the view without knowing its class;
//   - the page-command part (IPageCommands: the record commands N, E, D, S, Cancel on
//     Escape, the view's print), through which the main window reaches it;
//   - the record-flow part, optional: a view that shows records of its own hands out its
//     IRecordFlowView (delete, cancel, duplicate with their hooks, RecordFlowUnit.h).
// Every member has a default, so a view implements what it has and nothing else.
//
// A view's unit registers a factory for its page (RegisterViewFactory); the factory places
// the view on the page and registers it (RegisterView). The page's commands are the view's
// own unless another object is registered for them (RegisterPageCommands). A page without a
// factory stays empty; every call that would reach its view does nothing.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QWidget;
class IRecordFlowView;
struct THolderEntry;

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

// The record commands the window hands to the view of the active page.
inline constexpr char kCmdNew = 'N';
inline constexpr char kCmdEdit = 'E';
inline constexpr char kCmdDuplicate = 'D';
inline constexpr char kCmdSave = 'S';
// The keys view's call for the return of the shown key from the holder `id` (a person or a
// key bunch): its holding selected and its return started when it is the only one, else the
// holder's rows shown (the history view's "Rücknahme").
inline constexpr char kKeysCallReturn = 'R';

// ---------------------------------------------------------------------------------------
// The view contract.

// A key transfer as another view hands it to the issue-and-return view (its StartTransfer):
// a return, loss or find names the one holding it concerns.
struct TTransferStartRequest {
  int kind = 0;                 // 1 delivered .. 6 found
  int32_t holderId = 0;         // 0: the person shown in the persons view
  int32_t cabinetId = 0;        // a return's cabinet; 0 none
  std::string holdingDate;      // the holding's first date
  std::string holdingReceiptNo;
  std::string identifier;
  int32_t quantityLimit = 0;    // the pieces of the holding; 0: no holding, no limit
  std::vector<int32_t> keys;    // empty: the key shown in the keys view
};

// The page-command part: what the main window asks of the view of a page.
class IPageCommands {
 public:
  virtual ~IPageCommands() = default;
  // New, Edit, Duplicate or Save; false when the view did nothing (the window beeps).
  virtual bool HandleCommand(char /*letter*/) { return false; }
  // The view edits: its Cancel; false when it did not edit.
  virtual bool CancelEdit() { return false; }
  // The view's print (menu "Drucken ..."); false when the view has none.
  virtual bool Print() { return false; }
  // Repaints its record list (after the window was covered).
  virtual void RepaintList() {}
};

// The whole contract; the defaults are what a view without that part answers.
class IView : public IPageCommands {
 public:
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
  // Keys view: runs one of its commands for a record (kCmdNew, 'T' transfer,
  // kKeysCallReturn).
  virtual void ViewCall(int /*command*/, int32_t /*id*/) {}
  // Issue and return view: shows a document ("file:///...") in its web view.
  virtual void ShowDocument(const std::string& /*url*/) {}
  // The person or department term changed.
  virtual void TermsChanged() {}
  // Issue and return view: prepares the transfer; false when it refused.
  virtual bool StartTransfer(const TTransferStartRequest& /*request*/) { return false; }
  // Keys view: shows the key with the holder's holding selected (receipt number and first
  // date narrow it when given); mode 3 starts its return. The number of matching rows.
  virtual int SelectHolder(int32_t /*key*/, int32_t /*holder*/, int /*mode*/,
                           const std::string& /*receiptNo*/, const std::string& /*firstDate*/) {
    return 0;
  }
  // Keys view: 0 showing, 1 editing a record, 2 entering a new one.
  virtual int KeysEditState() const { return 0; }
  // Keys view: starts a new key (class 4) or key bunch (14), named, with a door ticked and
  // a locking system chosen (0: none given); false when it refused.
  virtual bool NewKey(int /*cls*/, const std::string& /*name*/, int32_t /*door*/,
                      int32_t /*system*/) {
    return false;
  }
  // Deadlines view: its holding editor for one holding; true when saved.
  virtual bool EditHolding(const THolderEntry& /*entry*/) { return false; }
  // Persons and users views: the issue-and-return view picks a party from this view while
  // `on` (its button "Übergabe" shows with a shown record).
  virtual void SetTransferPicking(bool /*on*/) {}
  // The record flows of a view that shows records of its own; null without.
  virtual IRecordFlowView* RecordFlow() { return nullptr; }
};

// ---------------------------------------------------------------------------------------
// The registry: one entry per page.

// Makes the view of a page inside `page` (the tab's widget) and registers it. Registered
// by the unit of the view, called by the main window: at its creation for pages 1, 2, 5,
// 7, 8, 9, 10, 11, on first show for 3, 4, 6.
using TViewFactory = std::function<void(QWidget* page)>;
void RegisterViewFactory(int page, TViewFactory factory);
const TViewFactory& ViewFactoryOf(int page);

void RegisterView(int page, IView* view);
// Forgets the view when it is the one registered for its page.
void UnregisterView(int page, IView* view);
IView* ViewOf(int page);
// The page the view is registered for, -1 when none.
int PageOfView(const IView* view);

// Makes a view that is made on first use (cylinders, groups, key cabinets); set by the
// main window, which knows the pages' widgets.
using TViewCreator = std::function<void(int page)>;
void SetViewCreator(TViewCreator creator);
// The view of the page, created first when it is made on first use.
IView* EnsureView(int page);

// Who answers the page's record commands instead of its view (null: the view itself).
void RegisterPageCommands(int page, IPageCommands* commands);
void UnregisterPageCommands(int page, IPageCommands* commands);
// The page's commands: those registered for it, else its view; null without either.
IPageCommands* PageCommandsOf(int page);

// Forgets the views and the creator; factories stay (a new main window makes the views again).
void ForgetViews();
// Forgets everything (tests).
void ResetViewRegistry();
