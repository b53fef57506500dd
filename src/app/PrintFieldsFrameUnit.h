#pragma once
// A check list of printable fields in print order. Each entry carries a field ID; the
// selection is stored as text: every entry's value (field ID, plus bit 30 when ticked) in
// base 32, joined by ";", in list order.

#include <cstdint>
#include <string>
#include <vector>

#include <QFrame>

#include "basic/SLUnit.h"

class QGroupBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QToolButton;

// Bit 30 of a field value: ticked (in a saved selection) / ticked by default (in a field list).
constexpr std::int32_t kPrintFieldTicked = 0x40000000;

class TPrintFieldsFrame : public QFrame {
  Q_OBJECT
 public:
  explicit TPrintFieldsFrame(QWidget* parent = nullptr);

  // Fills the list from `fields` (text, field ID as object; bit 30 of the object ticks the
  // entry when there is no saved selection), then applies `saved`: each non-zero number in
  // order brings its field (when present) to the next position, ticked or not by bit 30.
  // Unknown IDs are skipped. SaveBtn is disabled afterwards.
  void Setup(const TQStringList& fields, const std::string& saved, bool showSaveButton);
  // The selection text of every entry; `result` (when given) receives the values of the
  // ticked entries, or of all with `includeUnticked`.
  std::string GetSelection(std::vector<std::int32_t>* result, bool includeUnticked) const;

  int Count() const;
  std::int32_t FieldId(int index) const;
  bool Ticked(int index) const;
  void SetTicked(int index, bool ticked);

  // Moves the selected entry one up (or down) when it stays inside the list; it stays
  // selected and SaveBtn is enabled.
  void UpDownClick(bool up);
  // Toggles the selected entry's tick.
  void BoxDblClick();

  QGroupBox* GroupBox = nullptr;
  QListWidget* Box = nullptr;
  QToolButton* UpBtn = nullptr;
  QToolButton* DownBtn = nullptr;
  QWidget* SavePanel = nullptr;
  QPushButton* SaveBtn = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FrameResize();
  void Exchange(int a, int b);
};
