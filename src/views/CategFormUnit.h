#pragma once
// Categories: classification records (class 17, a name "n") that doors carry in their link
// list of kind 17. The dialog lists every category, preselects those given, makes new ones
// and hands the selection back; the caller stores it.

#include <cstdint>
#include <string>
#include <vector>

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

class TCategForm : public QDialog {
 public:
  explicit TCategForm(QWidget* parent = nullptr);

  QLabel* ShowForLabel;
  QListWidget* Box;
  QMenu* BoxPopup;
  QAction* SelNone1;
  QPushButton* OkBtn;
  QPushButton* EdBtn;
  QPushButton* NewBtn;
  QWidget* NewPanel;  // "Verfügbar für" and the name of a new category
  QLabel* AvailableForLabel;
  QLineEdit* NameEd;
  QPushButton* SaveBtn;
  QPushButton* EscBtn;
  QPushButton* Esc2Btn;

  // Lists every category by display name and selects those in `ids`.
  void Open(const std::vector<int32_t>& ids);
  // The selected categories.
  std::vector<int32_t> Selected() const;
  void NewBtnClick();
  // Makes a category of the typed name (one write) and selects it; its ID, 0 when none.
  int32_t SaveBtnClick();
  void Esc2BtnClick();
};

// Shows the dialog with `ids` preselected; true when confirmed, `ids` then holding the
// selection.
bool SelectCategory(int itemType, int flag, int32_t owner, std::vector<int32_t>& ids);
