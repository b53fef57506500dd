#pragma once
// The cylinders view: the page that lists and edits lock cylinders (records of class 6):
// names, locking system, position, length, type, finish, lock number and kind, the stock,
// the pinning, and the doors, locking groups and keys linked to a cylinder; where retired
// or lost cylinders went, and the retiring itself.
//
// Saving is one write over the cylinder and every record whose links change: the listed
// name is checked against the cylinders of the system on the fresh data before a record is
// created, and the fields and the ticks of the three link frames are saved together or
// not at all. The pinning lives in the locksmith store and is written after that save.
//
// A retirement (defective or lost) is one write over the cylinder and the client's
// settings record: its receipt number is counted up in that same write, so a refused
// retirement books nothing and draws no number. Undoing one removes exactly the chosen
// holding (its receipt number and first date), never another line of the same holder.
// Neither saving nor retiring writes a history line.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QDialog>

#include "app/FrameMotherUnit.h"
#include "basic/DateClock.h"
#include "data/HolderUnit.h"
#include "output/PrintSelectUnit.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;
class TLinkingFrame;
class TMLStringList;
class TPinningFrame;

// The message tables "FrameCyls" and "DefectCylUnit" (entry 0 the table's name).
const TMLStringList* FrameCylsTexts();
std::string FrameCylsText(int number);
const TMLStringList* DefectCylTexts();
std::string DefectCylText(int number);

// The listed name of a cylinder: the name, with " [" + additional name + "]" when given.
std::string CylinderListedName(const std::string& name, const std::string& name2);

// The lines of the cylinder list printout, all columns: display name (a daughter of a split
// record with " » " before it), system, lock number, position, length, stock as
// "available von total" (empty without a total), remark line.
std::vector<std::string> CylinderListLines(const TMiniDB& db, const std::vector<int32_t>& ids);

// What the cylinders view writes for one cylinder.
struct TCylInputs {
  std::string name, name2, position, length, type, finish, lockNumber;
  std::string lockKind;  // as typed, untrimmed
  std::string total;
  std::string remark;
  int32_t system = 0;
};

// ----- retiring -----------------------------------------------------------------------------

enum class TRetireResult { Booked, Blocked, NoReceiptNo, Gone, HoldingGone, NotSaved };
struct TRetireOutcome {
  TRetireResult result = TRetireResult::NotSaved;
  std::string blocking;   // the station holding a record ("*": no reservation)
  std::string receiptNo;  // the number drawn (Booked)
};
// Books `count` cylinders as defective (holder kind 6) or lost (5) on the date, with the
// remark and a receipt number counted up in the same write.
TRetireOutcome BookCylinderRetirement(TMiniDB& db, int32_t cylinder, TOwnerKind kind, int32_t count,
                                      TPackedDate date, const std::string& remark);
// Takes back exactly the holding `entry` (read without cutting): the line of its holder
// with its receipt number and first date. HoldingGone when that line is no longer there.
TRetireOutcome UndoCylinderRetirement(TMiniDB& db, int32_t cylinder, const THolderEntry& entry);

// The form's input, checked: 0 when fine, else the message to show (filled) and which.
struct TDefectInput {
  int action = -1;  // 0 defective, 1 lost, -1 none chosen
  std::string count, date, remark;
};
struct TDefectChecked {
  TOwnerKind kind = okUnknown;
  int32_t count = 0;
  TPackedDate date = 0;
  std::string remark;
};
// 1: no action (info), 2: count below 1 (error), 80: bad date (core text, error); 0 fine.
int CheckDefectInput(const TDefectInput& input, TDefectChecked& checked);

// "Zylinder ausmustern".
class TDefectCylForm : public QDialog {
 public:
  explicit TDefectCylForm(QWidget* parent);
  QLabel* CylNameLabel;
  QComboBox* ActionCombo;
  QLineEdit* DateEd;
  QToolButton* DateUp;
  QToolButton* DateDown;
  QLineEdit* CntEd;
  QLineEdit* RemEd;
  QCheckBox* PrintCheck;
  QPushButton* SaveBtn;
  QPushButton* CancelBtn;
  int32_t CylinderId = 0;
  // Moves the date one day (trimmed, cut at the first blank; unreadable: today).
  void DateUpDownClick(bool up);
  // Checks, books and prints; closes with OK once booked.
  void SaveBtnClick();
};
// Shows the form for the cylinder; true when a retirement was booked.
bool ExecuteDefectCyl(int32_t cylinder);

class TFrameCyls : public TFrameMother {
 public:
  explicit TFrameCyls(QWidget* owner);
  ~TFrameCyls() override;

  int EditState = 0;  // 0 view, 1 editing, 2 new

  QLineEdit* NameEd;
  QLineEdit* Name2Ed;
  QComboBox* KeysystemCombo;
  QLineEdit* PosEd;
  QLineEdit* CylLenEd;
  QLineEdit* CylTypeEd;
  QLineEdit* OFlEd;
  QLineEdit* LockNrEd;
  QComboBox* LockTypCombo;
  QLineEdit* CountEd;
  QLineEdit* TotalEd;
  QPlainTextEdit* RemMemo;
  QLabel* LockLabel;
  QLabel* LenLabel;
  QLabel* PinsLabel;
  TPinningFrame* PinsFrame;
  QTabWidget* LinkPageControl;
  TLinkingFrame* LinkDoorsFrame;
  TLinkingFrame* LinkGroupsFrame;
  TLinkingFrame* LinkKeysFrame;
  QTableWidget* OwnersGrid;
  QMenu* OwnersPopup;
  QAction* defectCyls1;
  QAction* PrintReceipt1;
  QAction* NotDamaged1;
  QAction* ViewCylKS1;
  QAction* ViewCylLock1;
  QAction* Count1;  // "Zählung"

  // The pinning text being edited (stored by Save only).
  std::string PinningText;
  // The holdings of the shown cylinder, read without cutting.
  THolderEntries Holdings;
  // Where the printouts go (title, TAB lines); default: the list printout.
  std::function<bool(const std::string&, const std::vector<std::string>&)> PrintLines;
  // The pinning dialog; default ExecutePinning. False: cancelled.
  std::function<bool(int32_t, const std::string&, std::string&)> EditPinning;
  // The stock list of cylinders for a locking system (0x7FFFFFFF all) and search text; the
  // chosen record or 0. Default: the stock list dialog, which goes to the chosen record.
  std::function<int32_t(int32_t, const std::string&)> OpenStockList;
  // Whether the locksmith functions are on; default: the settings.
  std::function<bool()> LocksmithOn;

  // ----- the virtual operations ----------------------------------------------------------
  void InitLayout() override;
  void UpdateCaptions() override;
  // The holdings grid's titles in the language now in force.
  void TermsChanged() override;
  void DiscardEdit() override;
  void EnterEditMode() override;
  void ClearDisplay() override;
  void ShowRecord(int32_t id) override;
  void RefreshView() override;
  bool CanEdit() override;
  bool StartEdit() override;
  void PrintMenu() override;
  bool PrintPage() override;

  // 0 name with system, 1 name with lock number.
  void ShowCylName(int mode, bool store, bool refresh);
  void NewBtnClick();
  bool SaveBtnClick();
  void LinkFrameEdBtnClick(TLinkingFrame* frame);
  bool PinsLabelClick();
  // The lock number's label (and with `withLength` the length's): the stock list of the
  // cylinders of that lock number (and length). The chosen cylinder or 0.
  int32_t LockLabelClick(bool withLength);
  void Count1Click();
  // Retires the shown cylinder; true when booked.
  bool defectCyls1Click();
  // Takes back the selected holding; true when it was removed.
  bool NotDamaged1Click();
  bool PrintReceipt1Click();
  // The selected holding's index in Holdings, -1 none.
  int SelectedHolding() const;
  bool PrintCylinders(bool onlyShown);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowViewMode();
  void SetFieldsEditable(bool editable);
  void FillOwnersGrid();
  void FillLockTypCombo(const std::string& stored);
  TCylInputs ReadInputs() const;
  int32_t lastSystem_ = 0;
  TPrintFields printFields_;
};

// Registers the view's factory for the cylinders page and its menu command.
void RegisterCylindersView();
