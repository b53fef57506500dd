#pragma once
// The persons view: the page that lists and edits the persons who hold keys (records of
// class 5). Beside the fields it shows the person's photo, the keys the person holds with
// the data of each holding, the doors and rooms those keys open, and it starts the return
// and the loss of a held key in the issue-and-return view.
//
// Saving is one write: the checks that can refuse (the name taken, the person deleted
// meanwhile, a record held by another station) run on the fresh data before a record is
// created, and the fields and the building link are saved together or not at all, so a
// refused save leaves neither a half-saved person nor a nameless new record.
//
// What later views do (return and loss in the issue-and-return view, the holding editor of
// the deadlines view, the keys view's holdings, the history) is reached through the glue;
// the buttons stay disabled while their view does not exist.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QPixmap>

#include "app/FrameMotherUnit.h"
#include "output/PrintSelectUnit.h"
#include "data/HolderUnit.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QTableWidget;
class QTabWidget;

// The message table "FramePersons" (entry 0 the table's name).
std::string FramePersonsText(int number);
std::string FramePersonsTextFmt(int number, const std::string& argument);

// How the persons are named in lists (the per-user value "PersonName"): 1 department:
// name (number), 2 number: name (department), 3 name (department/number).
inline constexpr int kPersonNameDeptFirst = 1;
inline constexpr int kPersonNameNumberFirst = 2;
inline constexpr int kPersonNameWithContext = 3;
// Installs the display-name function of the mode for persons into the store; false for
// another mode.
bool InstallPersonNameMode(TMiniDB& db, int mode);

// The holdings of the person (kind 4) in the order of the lending overview's rows: the
// holdings of every key (l4), then of every key bunch (l14), each key's by first date.
THolderEntries PersonHoldings(TMiniDB& db, int32_t person);
// True when the store shows the person holding a piece: a kind-4 line of a key or key
// bunch linked to the person. Lost pieces do not count.
bool PersonHoldsKeys(TMiniDB& db, int32_t person);

// The doors and rooms the person's keys and bunches open. With `detailed` off, the doors of
// general master keys are summed up as one "alle von <system>" line per system (object 0),
// and every item of such a system adds no doors of its own.
struct TPersonAccess {
  std::vector<std::pair<std::string, int32_t>> doors;  // text, door ID (0: a summary line)
  std::vector<std::string> rooms;
  bool hasGeneralMaster = false;
};
TPersonAccess BuildPersonAccess(TMiniDB& db, int32_t person, bool detailed);

class TFramePersons2 : public TFrameMother {
 public:
  explicit TFramePersons2(QWidget* owner);
  ~TFramePersons2() override;

  // 0 view, 1 editing, 2 new.
  int EditState = 0;

  // ----- controls ------------------------------------------------------------------------
  QLineEdit* MaNameEd;
  QLabel* DeptStaticText;
  QLineEdit* MaAbtEd;
  QLineEdit* MaNrEd;
  QComboBox* HouseCombo;
  QPlainTextEdit* MaRemMemo;
  QLabel* PhotoThumb;
  // The thumbnail's picture while the person has no photo.
  QPixmap PhotoThumbNoImg;
  QFrame* PhotoPanel;
  QLabel* Photo;
  QMenu* PhotoPopup;
  QAction* AddPhoto1;
  QAction* DelPhoto1;
  QTableWidget* KeyGrid;
  QFrame* KeysFootPanel;
  QToolButton* GotoKeyBtn;
  QToolButton* ReturnBtn;
  QToolButton* LostBtn;
  QToolButton* IssueBtn;
  QMenu* IssuePopup;
  QAction* IssueKey1;
  QAction* SelectOtherKey1;
  QMenu* MaMatchingKeysPopup;
  QAction* MaGotoKey1;
  QAction* EdKeyDetails1;
  QAction* LendControl1;
  QAction* KeysView1;
  QAction* ShowSig1;
  QAction* SignForAll1;
  QTabWidget* ZugangPageControl;
  QCheckBox* GhsDoorsDetailedCheck;
  QListWidget* MaMatchingDoorsListBox;
  QMenu* DoorsPopup;
  QAction* MaGotoDoor1;
  QListWidget* RoomsListBox;
  QAction* MaView_AbtNameNr;
  QAction* MaView_NrNameAbt;
  QAction* MaView_NameAbtNr;
  QAction* Count1;

  // The file a photo is added from; default: the open dialog (through ExecModal). Empty:
  // cancelled.
  std::function<std::string()> ChoosePhotoFile;

  // ----- the virtual operations ----------------------------------------------------------
  void InitLayout() override;
  void UpdateCaptions() override;
  void DiscardEdit() override;
  void EnterEditMode() override;
  void ClearDisplay() override;
  void ShowRecord(int32_t id) override;
  void RefreshView() override;
  bool StartEdit() override;
  bool CanDelete() override;
  void AfterDelete(int32_t id, bool deleted) override;
  void PrintMenu() override;
  bool PrintPage() override;
  void TermsChanged() override { ApplySettings(); }
  void SetTransferPicking(bool on) override;

  // ----- called from outside ---------------------------------------------------------------
  // Mode 1..3 (above): ticks its menu item and installs its name function. With `store` the
  // logged-in user keeps it ("PersonName") and every view is refreshed.
  void SetListNameMode(int mode, bool store);
  int ListNameMode() const { return nameMode_; }
  // The person and department terms.
  void ApplySettings();

  // ----- handlers ------------------------------------------------------------------------
  void NewBtnClick();
  // The save; true when the person was saved.
  bool SaveBtnClick();
  void ShowKeys();
  void ShowAccess();
  void ShowPhoto(bool large);
  void HidePhoto();
  void PhotoThumbClick();
  void AddPhoto1Click();
  void DelPhoto1Click();
  // The holding of the selected grid row; null without.
  const THolderEntry* SelectedHolding() const;
  void KeyGridClick();
  void GotoKeyBtnClick();
  void ReturnBtnClick() { StartHoldingTransfer(3); }
  void LostBtnClick() { StartHoldingTransfer(5); }
  void EdKeyDetails1Click();
  void ShowSig1Click();
  void IssueKey1Click();
  void MaGotoDoor1Click();
  void Count1Click();
  void ListDoubleClick();
  const THolderEntries& Holdings() const { return holdings_; }
  // The printouts: the person list of `persons` with the columns ticked in the print
  // selection, the lending-control sheet of the shown person (offered as a print form
  // first when the user wants one), and one sheet per listed person. True when printed.
  bool PrintPersonList(const std::vector<int32_t>& persons);
  void LendControl1Click();
  bool PrintLendControlAll();
  std::vector<int32_t> ListedPersons() const;
  // The column list of the person list (built once, its ticks kept between printouts).
  TPrintFields& PrintColumns();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowViewMode();
  void SetFieldsEditable(bool editable);
  void FillHouseCombo(int32_t selectId);
  void EnableHoldingActions();
  void StartHoldingTransfer(int kind);
  void PlacePhotoPanel();
  void UpdatePopups();

  THolderEntries holdings_;
  TPrintFields printColumns_;
  int nameMode_ = kPersonNameDeptFirst;
  bool picking_ = false;
  std::string oldNumber_;
};

// Registers the view's factory for the persons page and the hooks it answers (the photo
// store closed with the client's data, the name order of the logged-in user).
void RegisterPersonsView();

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* FramePersonsTexts();
