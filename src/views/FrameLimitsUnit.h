#pragma once
// Deadlines ("Fristen"): the view on page 9 that lists every holding whose return deadline
// or reminder date has passed or falls within the next days, and the holding editor that
// changes a holding's deadline, identifier and remark in place, without a transfer.
//
// The view lists holdings, not records, so it is a plain frame implementing IView (not a
// TFrameMother). It refills when its page is shown, on "Suchen", and when asked through
// the view contract (RefreshView of page 9: the issue-and-return view after a booking, the
// keys view after the holding editor). Reads never select a record.
//
// The keys view opens the holding editor on a holding of its holders grid under its lock
// on the key (ExecuteFristEd); this view offers it too, on its rows.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QDialog>
#include <QFrame>

#include "app/ViewRegistryUnit.h"
#include "basic/DateClock.h"
#include "data/HolderUnit.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QToolButton;
class TMLStringList;
class TMiniDB;

// ---------------------------------------------------------------------------------------
// Texts.

// The view's message table (group "FrameLimits"): 1 "bis heute keine Fristüberschreitung
// gefunden", 2 "bis in %1 Tagen ...", 3 "Rückgabefristen" (print title), 4 "bis heute",
// 5 "für die nächsten %1 Tage".
const TMLStringList* FrameLimitsTexts();
std::string LimitsText(int number);
// The holding editor's message table (group "FristEdForm").
const TMLStringList* FristEdTexts();
std::string FristEdText(int number);

// ---------------------------------------------------------------------------------------
// The list without widgets.

// The days of a period choice: 0 (until today), 7, 30; index -1 (nothing chosen) is 0.
int LimitsDaysOfChoice(int index);
// The choices of the period: to today, the next 7 days, the next 30 days.
inline constexpr int kLimitsDaysChoices = 3;
// The holdings of every valid key whose deadline is a date on or before `limit`, sorted by
// deadline (equal deadlines keep the order of keys and lines). Texts cut to the widths the
// list shows.
THolderEntries CollectDueHoldings(TMiniDB& db, TPackedDate limit);
// The limit of a period: today advanced by `days` calendar days.
TPackedDate LimitsDateOf(int days);

// The grid's columns.
inline constexpr int kLimitsColumns = 6;
using TLimitsCells = std::array<std::string, kLimitsColumns>;
// The column captions: key, "Anzahl", holder, issued on, "Frist", "Bemerkung".
TLimitsCells LimitsCaptions();
// The holder as the deadlines show it: HolderRefText, but a person (also the one who lost a
// key) with department and number in brackets.
std::string LimitsHolderText(TMiniDB& db, THolderRef holder);
// One row per entry: the key's display name, the count, the holder (a person with department
// and number in brackets), first date and deadline in the user's date format, the remark.
std::vector<TLimitsCells> LimitsRowsOf(TMiniDB& db, const THolderEntries& entries);

// The rows of the deadlines grid.
class TLimitsModel : public QAbstractTableModel {
 public:
  explicit TLimitsModel(QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void SetRows(std::vector<TLimitsCells> rows);
  void SetCaptions(const TLimitsCells& captions);
  const std::vector<TLimitsCells>& Rows() const { return rows_; }

 private:
  TLimitsCells captions_;
  std::vector<TLimitsCells> rows_;
};

bool ExecuteFristEd(const THolderEntry& entry);

// ---------------------------------------------------------------------------------------
// The view.

class TFrameLimits : public QFrame, public IView {
 public:
  explicit TFrameLimits(QWidget* parent = nullptr);
  ~TFrameLimits() override;

  QFrame* TopPanel;
  QLabel* DaysLabel;             // "zeige abgelaufene Rückgabefristen "
  QComboBox* LimitsDaysCombo;    // "bis heute", "für die nächsten 7 Tage", "... 30 Tage"
  QPushButton* SeekBtn;          // "Suchen"
  QFrame* FootPanel;
  QPushButton* PrintBtn;         // "Drucken"
  QPushButton* GotoKeyBtn;       // "zum Schlüssel wechseln"
  QPushButton* GotoHolderBtn;    // "zum Besitzer wechseln"
  QTableView* Grid;
  TLimitsModel* Model;
  QLabel* NoResultPanel;         // the no-result text over the grid
  QMenu* LimitsPopup;
  QAction* LimitsGotoKey1;
  QAction* LimitsGotoMa1;
  QAction* Frist1;               // "Details bearbeiten ..."

  // The holdings the grid shows, in row order.
  const THolderEntries& Entries() const { return entries_; }
  // How many times the list was filled (tests).
  int FillCount = 0;

  // Rebuilds the list for the chosen period (index 0 when none is chosen).
  void FillLimitsGrid();
  // True when a listed holding's deadline is today or earlier.
  bool HasOverdue() const;
  // Right 11; the grid printed with the title message 3. False when nothing was printed.
  bool PrintLimits();
  void SeekBtnClick() { FillLimitsGrid(); }
  // The selected row's key in the keys view; its holder (a person) in the persons view.
  void LimitsGotoKey1Click();
  void LimitsGotoMa1Click();
  // The holding editor on the selected row (right 5, under the key's lock), then refilled.
  void Frist1Click();
  // The selected row, -1 without.
  int SelectedRow() const;
  void SelectRow(int row);

  // The view contract.
  void RefreshView() override { FillLimitsGrid(); }
  bool Print() override { return PrintLimits(); }
  int32_t CurrentItemId() const override;
  void TermsChanged() override;
  // The holding editor for the other views (the persons view's holdings): the caller holds
  // the key's lock and has reloaded the store.
  bool EditHolding(const THolderEntry& entry) override { return ExecuteFristEd(entry); }

  // After the login's check: the no-result text is not shown until the next fill.
  void HideNoResultPanel();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The texts of the period choices in the current language.
  void SetLimitsDaysTexts();
  void UpdateButtons();
  void PlaceNoResultPanel();
  const THolderEntry* SelectedEntry() const;

  THolderEntries entries_;
  bool filling_ = false;
  bool skipShowFill_ = false;
  friend bool LimitsCheck();
};

// The deadlines view, when it exists.
TFrameLimits* FrameLimits();
// Makes the view on its page and registers it for page 9.
void MakeLimitsView(QWidget* page);
// The login's check ("LimitsCheck"): fills the list; with a holding overdue (deadline today
// or earlier) the deadlines page is shown, else the view's no-result panel is hidden. True
// when something is overdue.
bool LimitsCheck();

// ---------------------------------------------------------------------------------------
// The holding editor ("Eigenschaften Schlüsselbesitz").

class TFristEdForm : public QDialog {
 public:
  explicit TFristEdForm(QWidget* parent = nullptr);

  QLabel* KeyLabel;      // the key's display name
  QLabel* HolderLabel;   // the holder
  QLineEdit* FristEd;    // the deadline
  QToolButton* FristUpBtn;
  QToolButton* FristDownBtn;
  QLineEdit* RemEd;      // the remark
  QLineEdit* EmbossEd;   // the identifier ("Kennung:")
  QPushButton* SaveBtn;  // "Übernehmen"
  QPushButton* CancelBtn;

  // Shows the holding (its full remark).
  void Load(TMiniDB& db, const THolderEntry& entry);
  // The deadline field is light red: not empty and no valid date.
  bool DeadlineInvalid() const;
  void FristEdChange();
  void FristEdExit();
  void FristUpDownClick(bool up);
  // Saves what the user changed and closes with OK; stays open when the deadline is
  // invalid or the write was refused; closes as cancelled when the holding is gone.
  void SaveBtnClick();

  // What the last save did.
  enum class TOutcome { None, Saved, Unchanged, Gone, Refused };
  TOutcome Outcome = TOutcome::None;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TMiniDB* db_ = nullptr;
  THolderEntry entry_;
};

// What the holding editor books for the fields as the user left them: only what changed.
// An empty deadline gives -1 (clears the stored one); an invalid one cannot be booked.
struct THoldingEdit {
  bool deadlineChanged = false;
  TPackedDate deadline = 0;  // -1: clear
  bool remarkChanged = false;
  std::string remark;
  bool identifierChanged = false;
  std::string identifier;
  bool Any() const { return deadlineChanged || remarkChanged || identifierChanged; }
};
THoldingEdit HoldingEditOf(const THolderEntry& entry, const std::string& deadlineText,
                           const std::string& remark, const std::string& identifier);

// Books the edit into the holding in one write on the key: nothing is written unless the
// holding is still the line of its receipt number (or, without one, of its first date).
enum class THoldingSave { Saved, Gone, Refused };
THoldingSave SaveHoldingEdit(TMiniDB& db, const THolderEntry& entry, const THoldingEdit& edit,
                             std::string& blocking);

// Finds the holding in the key's lines as stored now (texts uncut); false when it is gone.
bool FindHolding(TMiniDB& db, const THolderEntry& entry, THolderEntry& found);

// Shows the editor for one holding; true when saved. The caller holds the key's lock and
// has reloaded the store (the keys view; the deadlines view does it itself).
bool ExecuteFristEd(const THolderEntry& entry);
