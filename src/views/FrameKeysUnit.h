#pragma once
// The keys view: the page that lists keys and key bunches (classes 4 and 14), shows and
// edits one of them (names, locking system, key type, closing, counts, remark, cabinet
// rows, links to doors, cylinders and groups, the keys on a bunch), shows who holds how
// many pieces (the holders grid), and starts every issue, return, loss and find of a key,
// its printouts and the split tools.
//
// The counts saved here are the stock every booking checks, and bookings run while a user
// edits a key. So a save changes "total" and "cnt" by what the user changed (entered total
// minus the total shown when the edit began), inside one write on the fresh data, and a
// cabinet row's counts likewise: what another station booked meanwhile stays.
//
// Saving is one write over the key, its cabinets and every record whose links change: the
// fields, the cabinet rows and the ticks of the three link frames are saved together or
// not at all. A refused save keeps edit mode, the lock and (for a new record) the ID it
// made, so saving again never makes a second record; cancelling removes that record.

#include <cstdint>
#include <string>
#include <vector>

#include "app/FrameMotherUnit.h"
#include "app/LinkingFrameUnit.h"
#include "data/HolderUnit.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTableWidget;
class QTabWidget;
class TCabInFrame;
class TMLStringList;
class TStoreWrite;

// The message table "FrameKeys" (entry 0 the table's name).
const TMLStringList* FrameKeysTexts();
std::string FrameKeysText(int number);
std::string FrameKeysTextFmt(int number, const std::string& argument);

// Key type index of the general master key.
inline constexpr int kKeyTypeGeneralMaster = 5;

// ---------------------------------------------------------------------------------------
// Saving a key, without widgets.

// What the user entered, with the total the view showed when the edit began.
struct TKeyInput {
  int cls = 4;  // 4 key, 14 bunch
  std::string name, name2;
  int32_t system = 0;  // 0: none (stored as 1001)
  int keyType = 0;
  std::string lockNr;
  std::string total;         // trimmed entry
  std::string totalAtStart;  // the record's "total" when the edit began (empty for new)
  std::string minStock;
  std::string remark;  // comma text of the memo's lines
};

// The entered total as a whole number of at least 0; false for anything else ("x", "-2").
bool ParseKeyTotal(const std::string& text, int32_t& total);
// Whether the keys view saves with this total entry: a whole number of at least 0, or, for
// an existing key, nothing (its total is kept).
bool TotalEntryAccepted(const std::string& text, bool isNew);

// What StoreKey did, for the history lines that follow the save.
struct TStoredKey {
  bool created = false;
  std::string oldName;  // the name before (existing records)
  bool totalChanged = false;
  int32_t totalDelta = 0;
  std::string stock, total;  // as stored
};

// Writes the fields of the key `id` (which the caller has made when new) inside the
// caller's write: "n", "ks", "n2", "kt", "k603", "total", "cnt", "r", "min". A new record
// gets cnt = total = the entry; an existing one changes both by (entry - totalAtStart), on
// the data as it is now, so a booking made during the edit stays. A general master key
// loses its door links on both sides. False (nothing written) for an invalid total.
bool StoreKey(TMiniDB& db, int32_t id, bool isNew, const TKeyInput& input, TStoredKey& out);

// The full name a key is compared by: name, with " [" + name2 + "]" when set.
// Another key of the same system (keys) or another bunch (bunches) with that full name,
// the record itself skipped; 0 when none.
int32_t FindDuplicateKeyName(const TMiniDB& db, int cls, const std::string& fullName,
                             int32_t system, int32_t self);

// May the key or bunch be deleted? The error text of the first rule that refuses: copies
// (daughters) exist; a person, a loss or a bunch holds pieces of it; a bunch still holds
// keys. Empty: it may. Defective pieces do not hold a key back.
std::string KeyDeleteRefusal(const TMiniDB& db, int32_t id);

// A copy of the key as a new record inside the caller's write: fields and links to doors,
// cylinders, groups and cabinets, named with " *Kopie*"; no holdings (no "own", no person
// or bunch links, no "embs", no cabinet counts), not linked as a split copy, its "cnt" its
// "total". The new ID, 0 when it could not be made.
int32_t DuplicateKeyRecord(TStoreWrite& write, TMiniDB& db, int32_t source);

class TFrameKeys : public TFrameMother {
 public:
  explicit TFrameKeys(QWidget* owner);
  ~TFrameKeys() override;

  // 0 showing, 1 editing, 2 new (the glue's KeysEditState).
  int KeysEditState = 0;
  uint8_t NewClass = 4;
  int HoverRow = -1;
  int32_t LastSystem = 0;
  int32_t LastCabinet = 0;

  // ----- controls (the bar's buttons are the base's) -----------------------------------
  QToolButton*& KeyNewBtn = NewBtn;
  QToolButton*& KeyEdBtn = EdBtn;
  QToolButton*& KeyCancelBtn = CancelBtn;
  QToolButton*& KeyKillBtn = KillBtn;
  QToolButton*& KeyPrintBtn = PrintBtn;
  QToolButton*& KeySaveBtn = SaveBtn;
  QToolButton*& KeyHistoryBtn = JournalBtn;
  QToolButton*& KeyTransferBtn = TransferBtn;

  QLabel* KeyNameLabel;
  QLineEdit* KeyNameEd;
  QLineEdit* KeyName2Ed;
  QComboBox* KeyKeysystemCombo;
  QComboBox* KeyTypeCombo;
  QLabel* LockLabel;
  QLineEdit* LockNrEd;
  QLineEdit* KeyCutEd;
  QLineEdit* KeyInventoryEd;
  QLabel* OfTotalLabel;
  QLineEdit* KeyTotalEd;
  QLabel* PcsLabel;
  QLabel* MinStockLabel;
  QLineEdit* MinStockEd;
  QPlainTextEdit* KeyRemMemo;
  QLabel* CabLabel;
  TCabInFrame* CabInFrame;
  QMenu* InventurPopupMenu;
  QAction* Inventur1;

  QSplitter* Splitter;
  QTabWidget* LinkPageControl;
  QWidget* LinkDoorsSheet;
  QWidget* LinkGroupsSheet;
  QWidget* LinkCylsSheet;
  QWidget* LinkKeysSheet;
  TLinkingFrame* LinkDoorsFrame;
  TLinkingFrame* LinkGroupsFrame;
  TLinkingFrame* LinkCylsFrame;
  QCheckBox* GhsDoorsDetailedCheck;
  QListWidget* LinkKeysListBox;
  QMenu* LinkKeysPopup;
  QAction* ShowLinkedKey1;
  QAction* RemoveKeyFromBunch1;

  QFrame* RightPanel;
  QLineEdit* OwnerSeekEd;
  QTableWidget* OwnersGrid;
  QFrame* FootPanel;
  QToolButton* KeyGotoMaBtn;
  QToolButton* KeyRetractionBtn;
  QToolButton* KeyLostBtn;
  QToolButton* KeyFoundBtn;
  QMenu* KeyOwnersPopup;
  QAction* KeyGotoMa1;
  QAction* KeyRetraction1;
  QAction* KeyLost1;
  QAction* KeyFound1;
  QAction* KeyPrintReceipt1;
  QAction* PrintLendControl1;
  QAction* ShowSig1;
  QAction* KeyPrintOwners1;
  QAction* Frist1;
  QAction* ShowAllOwners1 = nullptr;
  QAction* ShowClock1;

  // The list pop-up (the base's ListPopup): KeyEd1 is the base's Ed1, KeysPrint1 its
  // PrintList1.
  QAction* createAsDoor1;
  QAction* Split1;
  QAction* SplitRebook1;
  QAction* ShowOnlyBunches1;
  QAction* ViewKeyKS1;
  QAction* ViewKeyLock1;
  QAction* Count1;

  // ----- the virtual operations ----------------------------------------------------------
  void ClearDisplay() override;
  void ShowRecord(int32_t id) override { ShowKey(id); }
  void RefreshView() override;
  bool StartEdit() override { return StartEditKey(false); }
  bool CanDelete() override;
  bool BeforeDelete(TStoreWrite& write, int32_t id) override;
  void AfterDelete(int32_t id, bool deleted) override;
  std::string DeleteQuestion(const std::string& name) override;
  void DiscardEdit() override;
  void PrintMenu() override;
  bool PrintPage() override {
    PrintMenu();
    return true;
  }

  // ----- called from outside ---------------------------------------------------------------
  void ShowKey(int32_t id);
  bool NewKey(int cls, const std::string& name, int32_t door, int32_t system);
  bool StartEditKey(bool drop);
  // The key duplicated ("D"); the copy's ID (editing it), 0 when none was made.
  int32_t DuplicateKey();
  void ShowViewMode(int cls);
  void ShowEditMode(int cls, int state);
  // 0 key and locking system, 1 key and closing; `store` keeps it for the user
  // ("KeyName"), `refreshAll` refreshes every view.
  void SetListNameMode(int mode, bool store, bool refreshAll);
  int ListNameMode() const { return nameMode_; }
  void ApplySettings();
  // Holders grid: the number of matching rows (see the glue's SelectKeyHolder).
  int SelectHolder(int32_t key, int32_t holder, int mode, const std::string& receiptNo,
                   const std::string& firstDate);
  void ViewCall(int command, int32_t id) override;
  bool HandleCommand(char letter);

  // ----- handlers ------------------------------------------------------------------------
  // The save; true when saved.
  bool KeySaveBtnClick();
  void KeyCancelBtnClick();
  void KeyTransferBtnClick();
  void KeyNameEdExit();
  void LockLabelClick();
  void CabLabelClick();
  void createAsDoor1Click();
  void Split1Click(bool rebook);
  void ShowOnlyBunches1Click();
  void Inventur1Click();
  void LinkFrameEdBtnClick(TLinkingFrame* frame);
  void ShowDoorLinks();
  void LinkKeysListBoxDblClick();
  void RemoveKeyFromBunch1Click();
  void KeysPopupPopup();

  // Holders grid and its actions.
  void FillOwnersGrid();
  const THolderEntry* SelectedHolding() const;
  void UpdateHolderActions();
  void OwnersGridClick() { UpdateHolderActions(); }
  void KeyGotoMaBtnClick();
  void KeyRetractionBtnClick() { StartHolderTransfer(3); }
  void KeyLostBtnClick() { StartHolderTransfer(5); }
  void KeyFoundBtnClick() { StartHolderTransfer(6); }
  void KeyPrintReceipt1Click();
  void PrintLendControl1Click();
  void ShowSig1Click();
  void KeyPrintOwners1Click();
  void Frist1Click();
  void ShowClock1Click();
  void OwnerSeekEdChange();
  const THolderEntries& Holdings() const { return holdings_; }
  // The ID a refused save of a new record made, kept for the next try (0 none).
  int32_t PendingNewId() const { return pendingNewId_; }

  IView& KeysGlue();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetFieldsEditable(bool editable, int cls, bool daughter);
  void StartHolderTransfer(int kind);
  bool PrintHolderList();
  bool PrintSelectedReceipt();
  void FillKeyTypeCombo();
  void ShowBunchKeys();
  void MarkTotalInvalid(bool invalid);
  void SetKeyNameLabel(int cls);
  void DropPendingNew();
  std::vector<int32_t> ListedKeys() const;

  THolderEntries holdings_;
  int nameMode_ = 0;
  int nameLabelClass_ = 0;  // the class the name's label names (a key until one is shown)
  std::string totalAtStart_;
  int32_t pendingNewId_ = 0;
  bool returnRefused_ = false;
  class TGlue;
  std::unique_ptr<TGlue> glue_;
};

// Registers the view's factory for the keys page and its page commands.
void RegisterKeysView();
// Adds the keys view's list naming to the hook that applies a user's values at login.
void AddKeysUserValuesHook();
