#pragma once
// The print settings dialog ("Ausdrucke konfigurieren"): the receipt template of each
// event, the four print texts (the receipt's footer, the two texts of the stock-control
// sheet, the signature pad's text) and the columns of the stock-control sheet. Made for each
// opening, shown modally through ExecModal and destroyed.
//
// Each memo is saved on its own ("übernehmen") into the data folder's settings; a memo with
// an unsaved change keeps the dialog open on its page when it is closed. The template
// names of the edits are stored on closing, typed names unchecked; a file chosen with
// "durchsuchen" is checked first and stored at once.

#include <array>
#include <string>

#include <QDialog>

#include "output/PrintUnit.h"

class QGroupBox;
class QLineEdit;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TPrintFieldsFrame;

class TTextSettingsForm : public QDialog {
  Q_OBJECT
 public:
  explicit TTextSettingsForm(QWidget* parent = nullptr);

  // Opening: the texts read again, the memos filled (their buttons disabled), the fields
  // frame filled from the client's choice, the edits showing the template slots.
  void FormShow();
  // Page 4 shows "Tabellen-Spalten", any other the templates.
  void ShowPage(int page);

  // A memo's save and undo (the text's memo, its two buttons).
  void SaveText(TPrintText text);
  void UndoText(TPrintText text);
  // "durchsuchen" of slot 1..5.
  void ChooseTemplate(int slot);
  // The file's check before it becomes a template: ".rtf" and ".txt" must exist, ".doc" and
  // ".dot" must open in the word processor; anything else is refused with text 5. True when
  // taken (into the edit and the slot).
  bool TakeTemplate(int slot, const std::string& fileName);
  // Saves the columns of the stock-control sheet into the client's settings record.
  bool SaveLendControlFields();
  // The check before the dialog closes: false (message shown, the memo's page shown) while
  // a memo holds an unsaved change; otherwise the edits are stored as the template slots.
  bool CloseQuery();

  QMenuBar* MainMenu = nullptr;
  QTabWidget* MainPageControl = nullptr;
  QWidget* FilesTabSheet = nullptr;
  QWidget* OldTabSheet = nullptr;
  QWidget* PadTabSheet = nullptr;
  QWidget* TablesSheet = nullptr;
  QTabWidget* OldPageControl = nullptr;  // the stock-control texts and the receipt's text
  QWidget* LendControlSheet = nullptr;
  QWidget* ReceiptSheet = nullptr;
  std::array<QLineEdit*, kTemplateSlotCount> Ed{};              // Ed1..Ed5
  std::array<QPushButton*, kTemplateSlotCount> ChooseBtn{};     // ChooseBtn1..5
  QPlainTextEdit* LendControl1Memo = nullptr;
  QPushButton* LendControl1SaveBtn = nullptr;
  QPushButton* LendControl1UndoBtn = nullptr;
  QPlainTextEdit* LendControl2Memo = nullptr;
  QPushButton* LendControl2SaveBtn = nullptr;
  QPushButton* LendControl2UndoBtn = nullptr;
  QPlainTextEdit* ReceiptMemo = nullptr;
  QPushButton* ReceiptSaveBtn = nullptr;
  QPushButton* ReceiptUndoBtn = nullptr;
  QPlainTextEdit* PadMemo = nullptr;
  QPushButton* PadSaveBtn = nullptr;
  QPushButton* PadUndoBtn = nullptr;
  QGroupBox* LegendBox = nullptr;
  QPlainTextEdit* LegendMemo = nullptr;
  TPrintFieldsFrame* LendControlFieldsFrame = nullptr;
  QPushButton* CloseBtn = nullptr;

  QPlainTextEdit* MemoOf(TPrintText text) const;
  QPushButton* SaveBtnOf(TPrintText text) const;
  QPushButton* UndoBtnOf(TPrintText text) const;

 public slots:
  void reject() override;

 private:
  void CreateControls();
  QWidget* MemoGroup(const std::string& caption, TPrintText text, QWidget* parent);
  void ShowStoredText(TPrintText text);

  bool loading_ = false;
  std::string startFolder_;  // where "durchsuchen" opens after the first choice
};

// The dialog on `page` (4: "Tabellen-Spalten"); returns after it was closed and destroyed.
void ShowTextSettings(int page);
