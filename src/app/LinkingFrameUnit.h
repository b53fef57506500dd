#pragma once
// The links of the current record to records of one other class (the doors a key fits, the
// keys of a group ...): a plain list in view mode; in edit mode a check list with search,
// building filter and select all/none, whose ticks are stored back as links.
//
// Ticks are kept in `LinkedIds`, not in the list: before the search text or the building
// changes, the ticks of the shown rows are taken into `LinkedIds`, so a tick survives a
// search that hides its row.
//
// Storing the ticks changes the shown record, or a split record's mother and all her
// daughters, in one write: every record involved is locked first, and either every record
// gets the new links or none does. A view that saves its fields and the ticks of its link
// frames together applies the ticks inside its own write:
//
//   TLinkChange doors = DoorLinks->PrepareLinks(key, icKey);   // its question comes first
//   TStoreWrite write(db, {key, ... LinkChangeRecords(db, doors) ...});
//   ... the fields ...
//   if (!ApplyLinkChange(write, db, doors)) return refused(write.Blocking());
//   write.Commit();

#include <cstdint>
#include <string>
#include <vector>

#include <QFrame>

#include "app/ListingFrameUnit.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"

class QAction;
class QComboBox;
class QLabel;
class QListView;
class QMenu;
class QPushButton;

// Switches a class's naming function for a scope and puts the previous one back on every
// way out.
class TNameFuncSwitch {
 public:
  TNameFuncSwitch(TMiniDB& db, int cls, TNameFunc2 func);
  ~TNameFuncSwitch();
  TNameFuncSwitch(const TNameFuncSwitch&) = delete;
  TNameFuncSwitch& operator=(const TNameFuncSwitch&) = delete;

 private:
  TMiniDB& db_;
  int cls_;
  TNameFunc2 saved_;
};

class TStoreWrite;

// The ticks to be stored, decided before any write: the records that get them (the shown
// record, or with the user's yes a split record's mother and all her daughters) and the
// records they are to be linked with. No owners: nothing to store.
struct TLinkChange {
  std::vector<int32_t> owners;
  std::vector<int32_t> wanted;
  int kind = 0;        // the link list of the owners (the linked records' class)
  int ownerClass = 0;  // the back links' kind
  bool oneSided = false;
};

// Every record whose lines the change touches, on the store as it is now: the owners, the
// records they are linked with now, the wanted ones.
std::vector<int32_t> LinkChangeRecords(TMiniDB& db, const TLinkChange& change);
// Inside the caller's write, which holds LinkChangeRecords: takes in what the fresh data adds
// (a link another station made meanwhile, under the same check), then makes each owner's
// links equal the wanted ones, on both sides unless one-sided; records deleted meanwhile are
// not linked. False, with nothing applied, when a record is held by another station
// (write.Blocking() names it): the caller does not commit, so none of its changes stay.
bool ApplyLinkChange(TStoreWrite& write, TMiniDB& db, const TLinkChange& change);
// ApplyLinkChange for each change in turn, stopping at the first refusal (false). With
// `newOwner` (a record made in this write) every change is made for it.
bool ApplyAllLinkChanges(TStoreWrite& write, TMiniDB& db, std::vector<TLinkChange>& changes,
                         int32_t newOwner = 0);

class TLinkingFrame : public QFrame {
 public:
  explicit TLinkingFrame(QWidget* parent);

  QFrame* TopPanel;
  QLabel* TitleLabel;     // set by the embedding view ("passt zu Türen ...")
  QLabel* TitleLabel2;    // "in"
  QComboBox* HouseCombo;  // building filter of the check list, hidden
  QComboBox* SeekCombo;   // search of the check list, hidden
  QListView* CheckListBox;
  TItemListModel* CheckModel;
  QPushButton* SelectAllBtn;   // "alle auswählen"
  QPushButton* SelectNoneBtn;  // "keinen auswählen"
  QListView* Listbox;
  TItemListModel* ListModel;
  QFrame* EdPanel;
  QPushButton* EdBtn;  // "bearbeiten"; its click is wired by the embedding view
  QMenu* Popup;
  QAction* Goto1;  // "zur Tür wechseln"

  int32_t OwnerId = 0;
  int32_t ContextId = 0;   // locking-system code limiting buildings and candidates (0: none)
  uint8_t LinkedType = 0;
  TItemList LinkedIds;
  bool LinkFlag = false;   // links are one-sided: no back link is added or removed
  bool ShowHouseFilter = false;
  bool TabMarking = true;
  // The list text of a record; empty: the record's display name.
  TListTextFormatter Formatter;
  // How many times the check list was filled.
  int CheckFillCount = 0;

  void SetOwner(int32_t ownerId, int32_t contextId);
  void LoadLinks();
  void ShowList(bool editable);
  void ShowCheckList();
  // The check list shown for editing the owner's links: its own links ticked, or, for a
  // record not saved yet, the candidates only.
  void OpenCheckList();
  void StartEdit(int32_t presetId);
  void FillCheckList();
  void SeekComboChange();
  void HouseComboSelect();
  void SelectAllBtnClick();
  void SelectNoneBtnClick();
  void ListboxDblClick();
  void Goto1Click();
  void CheckListBoxDblClick();
  void PopupPopup();
  void MarkTab(bool on);
  // The change the ticks make to `id` (and, when the user agrees, to its mother and
  // daughters: asked here, before any write); no owners in view mode and for a general
  // master key.
  TLinkChange PrepareLinks(int32_t id, int ownerClass);
  // Stores the ticks in a write of their own: PrepareLinks, then ApplyLinkChange. True when
  // stored, or when there was nothing to store (view mode, a general master key); false
  // when a record was blocked (its station named, once the write is over) or not saved.
  bool SaveLinks(int32_t id, int ownerClass);
  void Clear();
  void FillHouseCombo();
  void FrameResize();

  // The check list is shown (edit mode).
  bool CheckListShown() const;
  // Takes the ticks of the shown rows into LinkedIds.
  void SyncTicks();
  // The owner is a general master key: one line "alle von <system>", nothing to tick.
  bool GeneralMaster() const { return generalMaster_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;

 public:
  // Room for both select buttons' captions side by side.
  QSize minimumSizeHint() const override;

 private:
  // The general master key line; true when the owner is one.
  bool ShowGeneralMaster();
  void GotoSelected(QListView* list);
  bool generalMaster_ = false;
};

// A frame of links to records of `linkedType`, titled, named for the automation.
TLinkingFrame* NewLinkingFrame(QWidget* parent, uint8_t linkedType, const std::string& title,
                               const char* objectName = nullptr);

// The caption of a tab page with the link mark " •" set or removed; never marked twice.
std::string MarkedCaption(const std::string& caption, bool on);
