#pragma once
// The searchable record lists that every record view embeds: the listing at the left of a
// view (search box with a grey placeholder, building and locking-system filters, the
// owner-drawn list), the same head over a string grid, and the field list of an edit panel.
//
// The lists are model/view: a listing of a hundred thousand keys keeps its rows in one
// vector behind a QListView with uniform rows, so a fill is a single model reset and the
// view only ever lays out the rows on screen. Rows alternate white and $F0FFE8; the
// selected row is $C56A31 with white text; a TAB in a row's text splits it into a left
// part and a right-aligned part.
//
// Only the newest refresh fills a list: every refresh counts `RefreshCounter` up and lets
// the window process its events (typing goes on meanwhile); a refresh that finds the
// counter moved on was overtaken and drops its work. A listing keeps what it prepared for
// the search while the store is unchanged (data/SearchListUnit.h), so a keystroke only
// searches and picks rows.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractListModel>
#include <QFrame>
#include <QPointer>
#include <QStyledItemDelegate>

#include "app/UnitTR100Win.h"
#include "data/ItemList.h"

class QAction;
class QComboBox;
class QLabel;
class QListView;
class QMenu;
class QTableWidget;

// Colours of the record lists (blue-green-red values).
constexpr std::uint32_t clListRowEven = 0xFFFFFF;  // first, third ... row
constexpr std::uint32_t clListRowOdd = 0xF0FFE8;   // second, fourth ... row
constexpr std::uint32_t clListSelected = 0xC56A31;
constexpr std::uint32_t clListSelectedText = 0xFFFFFF;
constexpr std::uint32_t clPlaceholderText = 0x808080;
constexpr std::uint32_t clFrameBackground = 0xE0E0DF;
constexpr std::uint32_t clButtonBar = 0xD0D0D0;
// A search term longer than this never reaches the right-hand part of a row.
constexpr int kRightPartMaxChars = 126;

// ---------------------------------------------------------------------------------------
// One row of a record list: its text and the record it stands for (0: a line that is no
// record, such as "alle von ...").
struct TListRow {
  std::string text;
  int32_t id = 0;
};

// The rows of a record list; optionally with a tick per row (the link check lists).
class TItemListModel : public QAbstractListModel {
 public:
  explicit TItemListModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  // Replaces every row in one step; `checked` (when given) holds one tick per row.
  void SetRows(std::vector<TListRow> rows, std::vector<bool> checked = {});
  // The same with the rows of a list filler, whose texts stay where the filler keeps them;
  // no ticks. The model's previous row buffer comes back in `rows`, empty, for the next
  // fill, so that a listing refilled at every keystroke writes into memory it had before.
  void ShowRows(TSearchListRows& rows);
  void Clear();
  int Count() const { return static_cast<int>(rows_.size()); }
  // The row's text (a copy) and record.
  TListRow Row(int row) const;
  // 0 for a row outside the list.
  int32_t IdAt(int row) const;
  // The first row of the record, -1 when it is not listed.
  int RowOfId(int32_t id) const;

  // Rows carry ticks (only rows of a record, ID not 0, can be ticked).
  void SetCheckable(bool on);
  bool Checkable() const { return checkable_; }
  bool Checked(int row) const;
  void SetChecked(int row, bool on);
  void SetAllChecked(bool on);

 private:
  std::vector<TListedRow> rows_;
  std::shared_ptr<const void> texts_;  // keeps the rows' texts
  std::vector<bool> checked_;
  bool checkable_ = false;
};

// Draws the rows of record lists and grids: alternating white and $F0FFE8 (a cell whose
// model gives a background keeps it), the selected row $C56A31 with white text, a
// disabled list in its own colour; the text single-line,
// 2 pixels in, split at a TAB into a left part and a right-aligned part (at most 126
// characters) that starts 8 pixels after the left part and ends 2 pixels before the edge.
class TRecordRowDelegate : public QStyledItemDelegate {
 public:
  explicit TRecordRowDelegate(QObject* parent = nullptr, int rowHeight = 16);
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

  // The last row of each group (the text after the TAB) is followed by a gap: its height is
  // a quarter of the normal height (rounded down) times 7.
  void SetGroupGaps(bool on) { groupGaps_ = on; }
  bool GroupGaps() const { return groupGaps_; }
  // The normal height and whether the row ends its group.
  int NormalHeight(const QStyleOptionViewItem& option) const;
  static bool EndsGroup(const QModelIndex& index);

 private:
  int rowHeight_;
  bool groupGaps_ = false;
};

// ---------------------------------------------------------------------------------------
// The head shared by the listing and the grid listing: caption, search box with its grey
// placeholder, building filter, locking-system filter and the pop-up that shows or hides
// the building filter.
class TListingHead : public QFrame {
 public:
  explicit TListingHead(QWidget* parent);

  QFrame* TopPanel;
  QLabel* CaptionLabel;   // "Name"
  QLabel* InHouseLabel;   // "in"
  QLabel* InSysLabel;     // "von"
  QComboBox* SeekCombo;   // editable, no completion
  QComboBox* HouseCombo;  // building filter: 0 all, $7FFFFFFF only records without building
  QComboBox* SysCombo;    // locking-system filter, hidden by default
  QMenu* ListingPopup;
  QAction* SeekBuildings1;  // "nach Geb√§ude einschr√§nken", hidden by default

  int RefreshCounter = 0;
  QLabel* PlaceholderPanel;  // "<Suchbegriff>" over the empty search box
  uint8_t ItemType = 0;
  uint8_t PopupFlag = 0;
  uint8_t ListOption = 0;
  // While not 0, a change of the search text does not refresh (code sets the text).
  int SeekTag = 0;

  virtual void Refresh() = 0;
  void UpdatePlaceholder();
  // The language changed: the texts the head made from the message tables, again.
  void TermsChanged();
  void ArrangePlaceholder();
  virtual void FrameResize();
  void SeekComboChange();
  void HouseComboChange();
  void SysComboChange();
  void SeekBuildings1Click();
  void ListingPopupPopup();

  // The search box when it is shown, else null.
  QComboBox* SearchBox() const;
  // The building filter's object when it is shown and has a selection, else 0.
  int32_t BuildingFilter() const;
  // The locking-system filter: all systems unless the filter is shown.
  int32_t SystemFilter() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The list or grid below the head.
  virtual QWidget* Body() const = 0;
};

// Drops from `ids` every record outside the building filter (0: all buildings; $7FFFFFFF:
// only records without a building; else only records whose first building is that one)
// and every record the filter refuses; the order of the others stays.
void ApplyListingFilters(TMiniDB& db, TItemList& ids, int32_t buildingFilter,
                         const std::function<bool(int32_t)>& filter);

// The searchable, filtered record list at the left of a view.
class TListingFrame : public TListingHead {
 public:
  explicit TListingFrame(QWidget* parent);

  QListView* ListBox;
  TItemListModel* Model;
  // A second class listed in the same list (the keys view lists keys and key bunches).
  uint8_t ItemType2 = 0;
  // Records for which it returns false are not listed; may be empty.
  std::function<bool(int32_t id)> Filter;
  // The list text of a record; empty: the record's display name.
  TListTextFormatter Formatter;
  // The list's click: runs when the user (or SelectFirst, or a right click) selects a row.
  std::function<void()> OnClick;
  // The list's pop-up menu; null: ListingPopup.
  QMenu* ListMenu = nullptr;
  // A gap after the last row of each group; keys and cylinders sorted by closing (view
  // variant 2) always have it.
  void SetGroupGaps(bool on);
  // How many times a refresh filled the list (overtaken refreshes do not).
  int FillCount = 0;

  // Stores the two classes; the size only when above 0.
  void Setup(uint8_t itemType, uint8_t itemType2, int width, int height);
  void Refresh() override;
  void FrameResize() override;
  // Selects the first row and runs the click when nothing is selected.
  void SelectFirst();

  int Count() const;
  int32_t IdAt(int row) const;
  int SelectedRow() const;
  int32_t SelectedId() const;
  // Selects the record's row (none when it is not listed); no click.
  void SelectId(int32_t id);
  void ClearSelection();

 protected:
  QWidget* Body() const override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SelectRow(int row, bool click);
  void ApplyGroupGaps();
  bool selecting_ = false;
  bool groupGaps_ = false;
  // Kept between refreshes, so that a keystroke works in memory it had before: the IDs
  // listed, the records prepared for the search while the store is unchanged, and the row
  // buffer the model handed back.
  TItemList ids_, secondIds_;
  TSearchListCache listCache_;
  TSearchListRows spareRows_;
};

// ---------------------------------------------------------------------------------------
// The listing head over a string grid (the key-cabinet view): the owner supplies the
// candidate IDs and fills the grid.
using TGridFillProc = std::function<void(QTableWidget* grid, int32_t contextId,
                                         uint8_t itemType, const int* refreshCounter,
                                         int32_t systemFilter, int flag, uint8_t listOption,
                                         QComboBox* searchBox, const TItemList& ids)>;

class TListingGridFrame : public TListingHead {
 public:
  explicit TListingGridFrame(QWidget* parent);

  QTableWidget* Grid;
  int32_t ContextId = 0;  // the record whose contents the grid shows
  std::function<void(TItemList& ids)> OnGetIds;
  TGridFillProc FillProc;
  int FillCount = 0;

  void SetPlaceholder() { UpdatePlaceholder(); }
  void Fill();
  void Refresh() override { Fill(); }
  // ContextId 0 and one empty row, not selected.
  void ClearSelection();
  // Refills the building filter from the store ("alle Geb‰ude", "ohne Geb‰ude-Zuordnung",
  // the buildings by name), keeping the building chosen; no fill. True when the filter
  // changed (the chosen building is gone: back to all buildings), so the grid wants a fill.
  bool FillHouseCombo();

 protected:
  QWidget* Body() const override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void EmptyGrid();
};

// ---------------------------------------------------------------------------------------
// A list of fields for a view's edit panel. Every instance is registered in one program-
// wide list while it lives.
struct TFieldListEntry {
  int32_t fieldId = 0;
  std::string caption;
  QPointer<QWidget> control;
};

class TFieldList {
 public:
  TFieldList(uint8_t itemClass, QWidget* owner);
  ~TFieldList();
  TFieldList(const TFieldList&) = delete;
  TFieldList& operator=(const TFieldList&) = delete;

  uint8_t ItemClass;
  QPointer<QWidget> Owner;
  int32_t Reserved1 = 0;
  int32_t Reserved2 = 0;
  std::vector<std::unique_ptr<TFieldListEntry>> Entries;
};
// Every live field list, in creation order.
const std::vector<TFieldList*>& FieldLists();
