#pragma once
// The locking-system and cabinet bulk tools: every record of one locking system moved to
// another, and every key of a locking system given one key cabinet. Each tool first works
// out its change plan from the data under the run's guard (TBulkWrite), then applies it
// and saves once: all or nothing.

#include <cstdint>
#include <string>
#include <vector>

#include <QDialog>
#include <QPointer>

#include "app/WaitPanelUnit.h"

#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class TMiniDB;

// One planned change of a record's field: old -> new (new empty: the field goes).
struct TFieldChange {
  int32_t id = 0;
  std::string field;
  std::string from;
  std::string to;
  bool operator==(const TFieldChange&) const = default;
};

// The records of the classes building, door, key, cylinder and group whose code is `from`,
// each with its "ks" -> `to` (empty for 0). Buildings keep a building's own system and
// never get one: with either code at 1001 or above, buildings are left out.
std::vector<TFieldChange> PlanKeySystemChange(const TMiniDB& db, TKeySystemCode from,
                                              TKeySystemCode to);

// One key to give the cabinet: the cabinet links it loses, and whether it is linked anew
// (a key already in the cabinet keeps that link with its values).
struct TCabinetChange {
  int32_t key = 0;
  std::vector<int32_t> dropped;
  bool linkNew = false;
  bool operator==(const TCabinetChange&) const = default;
};
// The keys of the locking system that end with `cabinet` as their only cabinet; with
// onlyOrphans the keys that have a cabinet already are left out. Keys that have exactly
// that cabinet already change nothing and are not listed, but count in `assigned` (every
// key that has the cabinet after the run), so a second identical run reports the same.
std::vector<TCabinetChange> PlanCabinetAssignment(const TMiniDB& db, TKeySystemCode code,
                                                  int32_t cabinet, bool onlyOrphans,
                                                  int* assigned = nullptr);

// Results of the tools: the number of records changed; kRefused when the run could not
// begin (the user was told who holds the data) or its save failed, kCancelled when the
// user cancelled (nothing saved).
inline constexpr int kRefused = -1;
inline constexpr int kCancelled = -2;

// Moves every record of `from` to `to` in one bulk run. Asks nothing; 0 when nothing
// carries `from` (or the codes are equal).
int ChangeKeySystem(TMiniDB& db, TKeySystemCode from, TKeySystemCode to,
                    const TBulkProgress& progress = {});
// Gives the keys of the system the cabinet in one bulk run; kRefused without a valid
// cabinet (the keys would lose every cabinet link).
int AssignKeysToCabinet(TMiniDB& db, TKeySystemCode code, int32_t cabinet, bool onlyOrphans,
                        const TBulkProgress& progress = {});

// The dialogs' logic without the dialogs: the question (before the run), the run, the
// result message. True when something was changed. Right 3 is asked first. A cancelled run
// says nothing.
bool RunKsTool(TMiniDB& db, TKeySystemCode from, TKeySystemCode to,
               const TBulkProgress& progress = {});
bool RunCabinetTool(TMiniDB& db, TKeySystemCode code, int32_t cabinet, bool onlyOrphans,
                    const TBulkProgress& progress = {});

// The unit's texts.
class TMLStringList;
const TMLStringList* KsToolTexts();
const TMLStringList* CabinetToolTexts();
std::string KsToolText(int number);
std::string CabinetToolText(int number);

// ---------------------------------------------------------------------------------------
// Choosing a locking system for a caller (imports, special functions).

// Asks the user for a locking system: `caption` in the dialog's label, the shared list of
// locking systems in its combo ("-" first, the buildings' own systems, the named systems),
// `preselect` chosen when offered, else the first entry. OK closes only on an entry whose
// code is not 0. The chosen code; 0 when cancelled.
TKeySystemCode SelectKeySystem(const std::string& caption, TKeySystemCode preselect = ksNone);

class TKsSelForm : public QDialog {
 public:
  explicit TKsSelForm(QWidget* parent = nullptr);

  QLabel* Label1;
  QComboBox* KsCombo;  // objects: the codes
  QPushButton* OkBtn;
  QPushButton* CancelBtn;

  // Fills the combo from the shared list and chooses `preselect`.
  void FillSystems(TKeySystemCode preselect);
  // The code of the chosen entry, 0 without.
  TKeySystemCode Chosen() const;
  // Closes with OK when an entry with a code is chosen; else the dialog stays.
  void OkBtnClick();
};

// ---------------------------------------------------------------------------------------
// The dialogs of the two tools.

// A bulk run on screen: while it lives, the host's controls are disabled and a wait panel
// with a progress bar and a cancel button covers it. Progress() is the run's callback: it
// moves the bar, lets pending events through (the cancel button) and answers false once
// the user cancelled.
class TRunProgress {
 public:
  explicit TRunProgress(QWidget* host);
  ~TRunProgress();
  TRunProgress(const TRunProgress&) = delete;
  TRunProgress& operator=(const TRunProgress&) = delete;
  TBulkProgress Progress();
  TWaitPanel* Panel() const { return panel_; }

 private:
  QPointer<QWidget> host_;
  TDisabledControls disabled_;
  QPointer<TWaitPanel> panel_;
};

// The locking-system tool: every record of one system moved to another.
class TKsToolForm : public QDialog {
 public:
  explicit TKsToolForm(QWidget* parent = nullptr);

  QComboBox* KsOldCombo;  // objects: the codes
  QComboBox* KsNewCombo;
  QPushButton* ChangeBtn;
  QPushButton* CloseBtn;

  // Both combos from the shared list, the first entry chosen.
  void FillSystems();
  // Asks, runs with progress; closes with OK when records were changed.
  void ChangeBtnClick();
};

// The cabinet tool: every key of a system given one cabinet.
class TCabinetToolForm : public QDialog {
 public:
  explicit TCabinetToolForm(QWidget* parent = nullptr);

  QLabel* Label1;
  QComboBox* KsCombo;   // objects: the codes
  QComboBox* CabCombo;  // objects: the cabinets' IDs
  QCheckBox* OnlyOrphansCheck;
  QPushButton* ChangeBtn;
  QPushButton* CloseBtn;

  // The systems from the shared list, the key cabinets of the store; first entries chosen.
  void FillLists();
  void ChangeBtnClick();
};

// The two dialogs: right 3 first (refused: false); true when something was changed.
bool ExecuteKsTool();
bool ExecuteCabinetTool();
