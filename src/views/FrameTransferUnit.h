#pragma once
// Issue and return ("Übergabe"): the view on page 8 where keys change hands. It prepares
// one operation at a time (delivery, issue, return, defect, loss, find) for one or more
// keys, lets the user complete holder, date, deadline, quantity, identifier and remark,
// and on "Ausführen" books it key by key, with an optional pad signature, a receipt and a
// lending overview, then refreshes every view.
//
// The view keeps no transfer state of its own: the operation is the session's transfer
// record (TransferRec()). The rules that need no widget (starting, inputs, the questions
// before booking, the booking of an operation) are data/TransferRulesUnit.h's; this frame
// reads its controls into them and shows what they decide. It lists no records, so it is
// a plain frame implementing IView (not a TFrameMother).
//
// Other views start an operation through the glue (StartTransfer, AddToTransfer); a
// return, loss or find names the holding it books out of.

#include <cstdint>
#include <string>

#include <QComboBox>
#include <QFrame>

#include "app/ViewRegistryUnit.h"
#include "data/TransferRulesUnit.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TAWebBrowser;

// A pair of small arrow buttons beside a field.
class TUpDown : public QFrame {
 public:
  explicit TUpDown(QWidget* parent = nullptr);
  QToolButton* UpBtn;
  QToolButton* DownBtn;
};

// An owner list whose persons are listed when it opens: until then it holds the chosen
// person alone, so starting an operation and resetting the form do not fill and empty a
// list of every person each time.
class TOwnerCombo : public QComboBox {
 public:
  explicit TOwnerCombo(QWidget* parent = nullptr) : QComboBox(parent) {}
  // Lists every person once, keeping the chosen one (none stays none).
  void FillPersons();
  // Holds only `person` (0: nothing) and lists the others when it opens.
  void ShowPerson(int32_t person);
  bool PersonsPending() const { return personsPending_; }
  void ClearList();
  void showPopup() override;

 private:
  bool personsPending_ = false;
};

class TFrameTransfer : public QFrame, public IView {
 public:
  explicit TFrameTransfer(QWidget* parent = nullptr);
  ~TFrameTransfer() override;

  // The action buttons, each on its own panel.
  QFrame* IssuePanel;
  QFrame* OrderPanel;
  QFrame* FoundPanel;
  QFrame* LostPanel;
  QFrame* DamagedPanel;
  QFrame* ReturnPanel;
  QPushButton* IssueBtn;    // "Ausgabe"
  QPushButton* OrderBtn;    // "Nachlieferung"
  QPushButton* FoundBtn;    // "Wiedergefunden"
  QPushButton* LostBtn;     // "Verlust"
  QPushButton* DamagedBtn;  // "Defekt"
  QPushButton* ReturnBtn;   // "Rücknahme"

  QGroupBox* TransferGroupBox;  // " Übergabe ", the action's caption while pending
  QLineEdit* TransferKeyNameEd;
  QComboBox* TransferKeyEmbossCombo;  // "Kennung"
  TOwnerCombo* TransferOldOwnerEd;    // "bisher Besitzer"
  QToolButton* TransferGoOldOwnerBtn;
  TOwnerCombo* TransferNewOwnerEd;  // "neuer Besitzer"
  QToolButton* TransferGoNewOwnerBtn;
  QLineEdit* TransferDateEd;  // "Datum"
  TUpDown* TransferDateUpDown;
  QLineEdit* TransferLimitEd;  // "Frist"
  TUpDown* TransferLimitUpDown;
  QLineEdit* TransferUserEd;  // "Durchführung"
  QToolButton* TransferGoUserBtn;
  QLineEdit* TransferRemEd;  // "Bemerkung"
  QLineEdit* TransferAdjustQuantityEd;
  TUpDown* TransferQuantityUpDown;
  QLabel* TransferQuantitySignLabel;  // "+" / "-"
  QLineEdit* TransferOldQuantityEd;   // "alt"
  QLineEdit* TransferNewQuantityEd;   // "neu"
  QCheckBox* PrintCheck;              // "Quittung"
  QCheckBox* BestandCheck;            // "Übersicht"
  QCheckBox* getSignatureCheck;       // "Unterschriften-Pad"
  QPushButton* TransferApplyBtn;      // "Ausführen"
  QPushButton* TransferCancelBtn;     // "Abbruch"
  QFrame* HelpPanel;
  TAWebBrowser* HelpBrowser = nullptr;  // made on the first show of the page

  // Prepares an operation; false when it was refused (the user has been told why).
  bool StartTransfer(const TTransferStartRequest& request) override;
  // The buttons.
  void IssueBtnClick();
  void OrderBtnClick();
  void DamagedBtnClick();
  void ReturnBtnClick();
  void LostBtnClick();
  void FoundBtnClick();
  // Books the operation; false when nothing was booked.
  bool TransferApplyBtnClick();
  void TransferCancelBtnClick();
  void TransferGoNewOwnerBtnClick();
  void TransferGoUserBtnClick();
  void TransferNewOwnerEdSelect();
  // The up-downs.
  void DateUpDownClick(bool up);
  void LimitUpDownClick(bool up);
  void QuantityUpDownClick(bool up);
  // Leaving the date and deadline fields.
  void TransferDateEdExit();
  void TransferLimitEdExit();
  // The live checks (also run on every change of the fields).
  void CheckInputs();

  // The page's hooks: the help view made on its first show; a person or user picked in
  // the persons or users view taken over when the page is entered again.
  void TransferSheetShow();
  void TransferSheetEnter();
  // Empties, greys and disables the form; leaves the transfer record alone.
  void ResetFrame();
  // A booking is running ("Ausführen" is disabled meanwhile).
  bool Running() const { return running_; }

  // Field colours (blue-green-red), for the checks and tests.
  static std::uint32_t FieldColor(const QWidget* field);

  // The view contract.
  void RefreshView() override;
  void AddToTransfer(int32_t id) override;
  void ShowDocument(const std::string& url) override;
  void TermsChanged() override;
  bool Editing() const override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void StartFromButton(TTransferKind kind, const char* document);
  void AskStartFromKeys(TTransferKind kind, const char* document);
  void FillOwnerList(TOwnerCombo* list, THolderRef ref, int32_t singleKey);
  void ApplyPendingStates();
  void HighlightAction(TTransferKind kind);
  void ShowUser(int32_t user);
  void AfterBooking(const TTransferOperation& op);

  bool running_ = false;
  bool checking_ = false;
  bool pickingPerson_ = false;
  bool pickingUser_ = false;
  bool rememberReceipt_ = true;
  bool rememberOverview_ = false;
};

// The view, when it exists.
TFrameTransfer* FrameTransfer();
// Makes the view on its page and registers it for page 8; installs the page's hooks.
void MakeTransferView(QWidget* page);
void RegisterTransferView();
