#pragma once
// The pinning of a cylinder on screen: TPinningFrame paints a stored pinning text read-only
// (in the cylinders view), TPinningForm edits it as 7 chambers by 9 rows of one-character
// cells and shows the key cuts the pins give. The text itself is data/PinningUnit.h's.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QDialog>
#include <QFrame>

#include "data/PinningUnit.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The font of pin values: "Courier New" when installed, else DejaVu Sans Mono.
QFont PinningFont();

class TPinningFrame : public QFrame {
 public:
  explicit TPinningFrame(QWidget* parent);
  std::vector<QLabel*> Captions;
  std::vector<QLabel*> Values;
  std::string Lead;  // the leading field of the shown text
  // Called after the height changed.
  std::function<void()> OnHeightChanged;
  void ShowPinning(int32_t cylinder, const std::string& text);
};

class TPinningForm : public QDialog {
 public:
  explicit TPinningForm(QWidget* parent);
  std::array<QLabel*, kPinChambers> SumLabels{};
  std::array<std::array<QLineEdit*, kPinChambers>, kPinRows> Cells{};
  QPlainTextEdit* CutsMemo;
  QPushButton* RefreshBtn;
  QPushButton* SaveBtn;
  QPushButton* EscBtn;
  int32_t CylinderId = 0;
  bool InputActive = false;

  void Load(int32_t cylinder, const std::string& text);
  TPinningGrid Grid() const;
  // The text the dialog gives back: leading field, sums, rows.
  std::string Result() const;
  void CellChanged(int row, int chamber);
  // The key cuts of the pins into CutsMemo; past the tree's cap a message instead.
  void RefreshBtnClick();

 private:
  void UpdateLook();
  std::string lead_;
};

// Edits the pinning; true with the new text in `result` when closed with OK.
bool ExecutePinning(int32_t cylinder, const std::string& text, std::string& result);
