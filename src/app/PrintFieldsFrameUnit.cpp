#include "app/PrintFieldsFrameUnit.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>

#include "basic/Hex32Unit.h"
#include "basic/widgets/QtGlue.h"

namespace {

constexpr int kSavePanelHeight = 33;
constexpr int kArrowSize = 18;

}  // namespace

TPrintFieldsFrame::TPrintFieldsFrame(QWidget* parent) : QFrame(parent) {
  GroupBox = new QGroupBox(ToQString(" Zu druckende Felder "), this);
  Box = new QListWidget(GroupBox);
  Box->setSelectionMode(QAbstractItemView::SingleSelection);
  UpBtn = new QToolButton(GroupBox);
  UpBtn->setArrowType(Qt::UpArrow);
  DownBtn = new QToolButton(GroupBox);
  DownBtn->setArrowType(Qt::DownArrow);
  SavePanel = new QWidget(GroupBox);
  SaveBtn = new QPushButton(ToQString("Speichern"), SavePanel);
  SaveBtn->setEnabled(false);

  connect(UpBtn, &QToolButton::clicked, this, [this] { UpDownClick(true); });
  connect(DownBtn, &QToolButton::clicked, this, [this] { UpDownClick(false); });
  connect(Box, &QListWidget::itemDoubleClicked, this, [this] { BoxDblClick(); });
  connect(Box, &QListWidget::itemChanged, this, [this] { SaveBtn->setEnabled(true); });
  resize(250, 200);
  FrameResize();
}

void TPrintFieldsFrame::Setup(const TQStringList& fields, const std::string& saved, bool showSaveButton) {
  SavePanel->setVisible(showSaveButton);
  {
    const QSignalBlocker blocker(Box);
    Box->clear();
    for (int i = 0; i < fields.Count(); ++i) {
      auto value = static_cast<std::int32_t>(fields.GetObject(i));
      const bool preset = (value & kPrintFieldTicked) != 0;
      value &= ~kPrintFieldTicked;
      auto* item = new QListWidgetItem(ToQString(fields[i]), Box);
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setData(Qt::UserRole, value);
      item->setCheckState(preset && saved.empty() ? Qt::Checked : Qt::Unchecked);
    }
    int next = 0;
    std::size_t start = 0;
    while (start <= saved.size()) {
      std::size_t end = saved.find(';', start);
      if (end == std::string::npos) end = saved.size();
      const std::int32_t value = Hex32ToInt(saved.substr(start, end - start));
      start = end + 1;
      if (value == 0) continue;
      const std::int32_t id = value & ~kPrintFieldTicked;
      // Only the entries not yet placed: a field named twice keeps its first place.
      int found = -1;
      for (int i = next; i < Count() && found < 0; ++i)
        if (FieldId(i) == id) found = i;
      if (found < 0) continue;
      Exchange(found, next);
      SetTicked(next, (value & kPrintFieldTicked) != 0);
      ++next;
    }
  }
  SaveBtn->setEnabled(false);
  FrameResize();
}

std::string TPrintFieldsFrame::GetSelection(std::vector<std::int32_t>* result, bool includeUnticked) const {
  std::string text;
  for (int i = 0; i < Count(); ++i) {
    const bool ticked = Ticked(i);
    const std::int32_t value = FieldId(i) | (ticked ? kPrintFieldTicked : 0);
    if (result && (ticked || includeUnticked)) result->push_back(value);
    if (i > 0) text += ';';
    text += IntToHex32(value, false);
  }
  return text;
}

int TPrintFieldsFrame::Count() const { return Box->count(); }

std::int32_t TPrintFieldsFrame::FieldId(int index) const {
  const QListWidgetItem* item = Box->item(index);
  return item ? item->data(Qt::UserRole).toInt() : 0;
}

bool TPrintFieldsFrame::Ticked(int index) const {
  const QListWidgetItem* item = Box->item(index);
  return item && item->checkState() == Qt::Checked;
}

void TPrintFieldsFrame::SetTicked(int index, bool ticked) {
  if (QListWidgetItem* item = Box->item(index)) item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

void TPrintFieldsFrame::Exchange(int a, int b) {
  if (a == b) return;
  QListWidgetItem* x = Box->item(a);
  QListWidgetItem* y = Box->item(b);
  if (!x || !y) return;
  const QSignalBlocker blocker(Box);
  const QString text = x->text();
  const QVariant id = x->data(Qt::UserRole);
  const Qt::CheckState state = x->checkState();
  x->setText(y->text());
  x->setData(Qt::UserRole, y->data(Qt::UserRole));
  x->setCheckState(y->checkState());
  y->setText(text);
  y->setData(Qt::UserRole, id);
  y->setCheckState(state);
}

void TPrintFieldsFrame::UpDownClick(bool up) {
  const int row = Box->currentRow();
  if (row < 0 || !Box->currentItem()->isSelected()) return;
  const int target = up ? row - 1 : row + 1;
  if (target < 0 || target >= Count()) return;
  Exchange(row, target);
  Box->setCurrentRow(target);
  SaveBtn->setEnabled(true);
}

void TPrintFieldsFrame::BoxDblClick() {
  const int row = Box->currentRow();
  if (row < 0) return;
  SetTicked(row, !Ticked(row));  // itemChanged enables SaveBtn
  SaveBtn->setEnabled(true);
}

void TPrintFieldsFrame::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  FrameResize();
}

void TPrintFieldsFrame::FrameResize() {
  GroupBox->setGeometry(rect());
  const QRect client = GroupBox->contentsRect();
  int boxHeight = client.height() - 20;
  if (SavePanel->isVisibleTo(GroupBox)) {
    boxHeight -= kSavePanelHeight;
    SavePanel->setGeometry(client.left(), client.bottom() + 1 - kSavePanelHeight, client.width(),
                           kSavePanelHeight);
    SaveBtn->setGeometry(4, 4, SaveBtn->sizeHint().width(), kSavePanelHeight - 8);
  }
  boxHeight = std::max(boxHeight, 0);
  const int boxBottom = SavePanel->isVisibleTo(GroupBox) ? SavePanel->y() : client.bottom() + 1;
  Box->setGeometry(client.left(), boxBottom - boxHeight, client.width(), boxHeight);
  const int arrowsLeft = client.right() + 1 - 2 - 2 * kArrowSize;
  const int arrowsTop = std::max(client.top(), Box->y() - kArrowSize - 1);
  UpBtn->setGeometry(arrowsLeft, arrowsTop, kArrowSize, kArrowSize);
  DownBtn->setGeometry(arrowsLeft + kArrowSize, arrowsTop, kArrowSize, kArrowSize);
}
