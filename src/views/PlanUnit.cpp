#include "views/PlanUnit.h"

#include <algorithm>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/DesktopLinksUnit.h"
#include "app/GlueStateUnit.h"
#include "app/ListFillUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/TempFilesUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/CsvOrExcelUnit.h"
#include "platform/PlatformFiles.h"
#include "views/FindFormUnit.h"

const TMLStringList* PlanTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("PlanUnit", 0);
    t->Add255Obj("L\xE4nge", 1);
    t->Add255Obj("Stk", 2);
    t->Add255Obj("Pos", 3);
    t->Add255Obj("keine Zuordnungen zu dieser Schlie\xDF"
                 "anlage gefunden",
                 4);
    t->Add255Obj("Schlie\xDF"
                 "ung",
                 5);
    t->Add255Obj("ZYA", 6);
    t->Add255Obj("SLA", 7);
    t->Add255Obj("Typ", 8);
    t->Add255Obj("F\xE4rbung", 9);
    t->Add255Obj("In dieser Ansicht wurde kein Zentralzylinder gefunden.", 10);
    t->Add255Obj("Der Schl\xFCssel ist in dieser Ansicht nicht vorhanden.", 11);
    t->Add255Obj("Der Zylinder ist in dieser Ansicht nicht vorhanden.", 12);
    t->Add255Obj("In dieser Ansicht wurde keine Mitschlie\xDF"
                 "ung gefunden.",
                 13);
    return t;
  }();
  return table;
}

std::string PlanText(int number) { return GetMLText(PlanTexts(), number); }

namespace {

// Colours (blue-green-red).
constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kLightGreen = 0x7CDCBC;
constexpr uint32_t kYellow = 0x00FFFF;
constexpr uint32_t kDarkGreen = 0x004000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kHeader = 0xE0E0DF;
constexpr uint32_t kLines = 0xC0C0C0;

constexpr int kKeyHeaderMax = 200;

// The "Spalten" menu's captions, in grid order.
const char* const kColumnMenuCaptions[kPlanColumnCount] = {"Position",
                                                           "T\xFCr",
                                                           "Raum",
                                                           "Zylinder",
                                                           "Schlie\xDF"
                                                           "ung",
                                                           "Zylinderanzahl (ZYA)",
                                                           "Typ",
                                                           "F\xE4rbung",
                                                           "Zylinderl\xE4nge",
                                                           "Einzelschl\xFCssel",
                                                           "Schl\xFCsselanzahl (SLA)"};

// The code or record ID of the chosen entry; `none` without one.
int32_t ComboCode(const QComboBox* combo, int32_t none) {
  const QVariant data = combo->currentData();
  return data.isValid() ? data.toInt() : none;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TPlanGridWidget

TPlanGridWidget::TPlanGridWidget(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName("Grid");
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);
  horizontalScrollBar()->setSingleStep(20);
}

void TPlanGridWidget::SetPlan(const TPlanGrid* plan, const TPlanView& view,
                              const std::array<std::string, kPlanColumnCount>& captions,
                              const std::string& separatorCaption) {
  plan_ = plan;
  textColumns_.clear();
  for (int c = 0; c < kPlanColumnCount; ++c)
    if (view.shown[static_cast<size_t>(c)]) textColumns_.push_back(c);
  captions_ = captions;
  separatorCaption_ = separatorCaption;
  SelectedRow = -1;
  SelectedKey = -1;
  Remeasure();
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
}

// Each column as wide as its widest text plus 8 pixels (text columns at most 300); the key
// columns one turned line wide, their header rows as high as the longest turned text (at
// most 200) plus 8.
void TPlanGridWidget::Remeasure() {
  const QFontMetrics fm(font());
  rowHeight_ = fm.height() + 4;
  keyWidth_ = std::max(fm.height() + 6, fm.horizontalAdvance(QLatin1Char('M')) + 8);
  fixedWidths_.assign(textColumns_.size() + 1, 0);
  for (size_t i = 0; i < textColumns_.size(); ++i) {
    int widest =
        fm.horizontalAdvance(ToQString(" " + captions_[static_cast<size_t>(textColumns_[i])]));
    if (plan_)
      for (const TPlanRow& row : plan_->rows) {
        const std::string& text = row.texts[static_cast<size_t>(textColumns_[i])];
        if (!text.empty()) widest = std::max(widest, fm.horizontalAdvance(ToQString(text)));
      }
    fixedWidths_[i] = std::min(widest + 8, kPlanTextColumnMax);
  }
  fixedWidths_.back() = fm.horizontalAdvance(ToQString(separatorCaption_)) + 8;
  int ident = 0, name = 0;
  if (plan_)
    for (const TPlanKey& key : plan_->keys) {
      ident = std::max(ident, fm.horizontalAdvance(ToQString(key.ident)));
      name = std::max(name, fm.horizontalAdvance(ToQString(key.name)));
    }
  headerHeights_ = {std::max(rowHeight_, std::min(ident, kKeyHeaderMax) + 8),
                    std::max(rowHeight_, std::min(name, kKeyHeaderMax) + 8), rowHeight_};
  UpdateScrollBars();
  viewport()->update();
}

int TPlanGridWidget::ColumnCount() const {
  return FixedColumnCount() + (plan_ ? static_cast<int>(plan_->keys.size()) : 0);
}

int TPlanGridWidget::RowCount() const {
  return 3 + (plan_ ? static_cast<int>(plan_->rows.size()) : 0);
}

int TPlanGridWidget::KeyOfColumn(int column) const {
  const int key = column - FixedColumnCount();
  return plan_ && key >= 0 && key < static_cast<int>(plan_->keys.size()) ? key : -1;
}

int TPlanGridWidget::RowOfGridRow(int row) const {
  return plan_ && row >= 3 && row < RowCount() ? row - 3 : -1;
}

std::string TPlanGridWidget::CellText(int column, int row) const {
  if (!plan_ || column < 0 || column >= ColumnCount() || row < 0 || row >= RowCount()) return "";
  const int key = KeyOfColumn(column);
  const int planRow = RowOfGridRow(row);
  if (column < TextColumnCount()) {
    const size_t c = static_cast<size_t>(textColumns_[static_cast<size_t>(column)]);
    if (row == 2) return " " + captions_[c];
    return planRow >= 0 ? plan_->rows[static_cast<size_t>(planRow)].texts[c] : "";
  }
  if (key < 0) return row == 0 ? separatorCaption_ : "";
  if (row == 0) return plan_->keys[static_cast<size_t>(key)].ident;
  if (row == 1) return plan_->keys[static_cast<size_t>(key)].name;
  if (planRow < 0) return "";
  const char mark = plan_->rows[static_cast<size_t>(planRow)].MarkAt(key);
  return mark ? std::string(1, mark) : "";
}

uint32_t TPlanGridWidget::CellColor(int column, int row) const {
  const int key = KeyOfColumn(column);
  const int planRow = RowOfGridRow(row);
  if (column < TextColumnCount()) {
    if (row < 2) return kGrey;
    if (row == 2) return kLightGreen;
    return planRow == SelectedRow ? kYellow : kWhite;
  }
  if (key < 0) return row < 3 ? kLightGreen : kGrey;
  if (row < 2) return key == SelectedKey ? kYellow : kHeader;
  if (row == 2) return kGrey;
  if (plan_ && plan_->rows[static_cast<size_t>(planRow)].MarkAt(key)) return kDarkGreen;
  return planRow == SelectedRow || key == SelectedKey ? kYellow : kWhite;
}

int TPlanGridWidget::ColumnWidth(int column) const {
  if (column < 0 || column >= ColumnCount()) return 0;
  return column < FixedColumnCount() ? fixedWidths_[static_cast<size_t>(column)] : keyWidth_;
}

int TPlanGridWidget::RowHeight(int row) const {
  if (row < 0 || row >= RowCount()) return 0;
  return row < 3 ? headerHeights_[static_cast<size_t>(row)] : rowHeight_;
}

int TPlanGridWidget::FixedWidth() const {
  int width = 0;
  for (int w : fixedWidths_) width += w;
  return width;
}

int TPlanGridWidget::HeaderHeight() const {
  return headerHeights_[0] + headerHeights_[1] + headerHeights_[2];
}

int TPlanGridWidget::FirstKeyAt(int x) const { return std::max(0, x / keyWidth_); }

void TPlanGridWidget::UpdateScrollBars() {
  const int keys = plan_ ? static_cast<int>(plan_->keys.size()) : 0;
  const int rows = plan_ ? static_cast<int>(plan_->rows.size()) : 0;
  const int areaWidth = std::max(0, viewport()->width() - FixedWidth());
  const int areaHeight = std::max(0, viewport()->height() - HeaderHeight());
  horizontalScrollBar()->setRange(0, std::max(0, keys * keyWidth_ - areaWidth));
  horizontalScrollBar()->setPageStep(std::max(1, areaWidth));
  horizontalScrollBar()->setSingleStep(keyWidth_);
  verticalScrollBar()->setRange(0, std::max(0, rows * rowHeight_ - areaHeight));
  verticalScrollBar()->setPageStep(std::max(1, areaHeight));
  verticalScrollBar()->setSingleStep(rowHeight_);
}

QRect TPlanGridWidget::CellRect(int column, int row) const {
  if (column < 0 || column >= ColumnCount() || row < 0 || row >= RowCount()) return QRect();
  int x = 0;
  if (column < FixedColumnCount()) {
    for (int c = 0; c < column; ++c) x += fixedWidths_[static_cast<size_t>(c)];
  } else {
    x = FixedWidth() + KeyOfColumn(column) * keyWidth_ - horizontalScrollBar()->value();
  }
  int y = 0;
  if (row < 3) {
    for (int r = 0; r < row; ++r) y += headerHeights_[static_cast<size_t>(r)];
  } else {
    y = HeaderHeight() + (row - 3) * rowHeight_ - verticalScrollBar()->value();
  }
  return QRect(x, y, ColumnWidth(column), RowHeight(row));
}

bool TPlanGridWidget::CellAt(const QPoint& point, int& column, int& row) const {
  if (!plan_ || point.x() < 0 || point.y() < 0) return false;
  const int fixedWidth = FixedWidth();
  if (point.x() < fixedWidth) {
    int x = 0;
    column = 0;
    while (column < FixedColumnCount() &&
           x + fixedWidths_[static_cast<size_t>(column)] <= point.x())
      x += fixedWidths_[static_cast<size_t>(column++)];
  } else {
    column =
        FixedColumnCount() + (point.x() - fixedWidth + horizontalScrollBar()->value()) / keyWidth_;
  }
  const int headerHeight = HeaderHeight();
  if (point.y() < headerHeight) {
    row = point.y() < headerHeights_[0]                       ? 0
          : point.y() < headerHeights_[0] + headerHeights_[1] ? 1
                                                              : 2;
  } else {
    row = 3 + (point.y() - headerHeight + verticalScrollBar()->value()) / rowHeight_;
  }
  return column < ColumnCount() && row < RowCount();
}

void TPlanGridWidget::Select(int row, int key, bool scrollTo) {
  SelectedRow = plan_ && row >= 0 && row < static_cast<int>(plan_->rows.size()) ? row : -1;
  SelectedKey = plan_ && key >= 0 && key < static_cast<int>(plan_->keys.size()) ? key : -1;
  if (scrollTo) {
    const int areaWidth = std::max(0, viewport()->width() - FixedWidth());
    const int areaHeight = std::max(0, viewport()->height() - HeaderHeight());
    if (SelectedKey >= 0) {
      QScrollBar* bar = horizontalScrollBar();
      const int x = SelectedKey * keyWidth_;
      if (x < bar->value())
        bar->setValue(x);
      else if (x + keyWidth_ > bar->value() + areaWidth)
        bar->setValue(x + keyWidth_ - areaWidth);
    }
    if (SelectedRow >= 0) {
      QScrollBar* bar = verticalScrollBar();
      const int y = SelectedRow * rowHeight_;
      if (y < bar->value())
        bar->setValue(y);
      else if (y + rowHeight_ > bar->value() + areaHeight)
        bar->setValue(y + rowHeight_ - areaHeight);
    }
  }
  viewport()->update();
}

void TPlanGridWidget::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  PaintedCells = 0;
  const int width = viewport()->width();
  const int height = viewport()->height();
  p.fillRect(0, 0, width, height, ColorFromBgr(kHeader));
  if (!plan_) return;
  const QFontMetrics fm(font());
  const int fixedWidth = FixedWidth();
  const int headerHeight = HeaderHeight();
  const int hx = horizontalScrollBar()->value();
  const int vy = verticalScrollBar()->value();
  const int keys = static_cast<int>(plan_->keys.size());
  const int rows = static_cast<int>(plan_->rows.size());
  const int firstKey = std::min(keys, FirstKeyAt(hx));
  const int lastKey = std::min(keys, (hx + std::max(0, width - fixedWidth)) / keyWidth_ + 1);
  const int firstRow = std::min(rows, vy / rowHeight_);
  const int lastRow = std::min(rows, (vy + std::max(0, height - headerHeight)) / rowHeight_ + 1);
  const QColor lines = ColorFromBgr(kLines);
  const QColor white = ColorFromBgr(kWhite);
  const QColor yellow = ColorFromBgr(kYellow);
  const QColor dark = ColorFromBgr(kDarkGreen);
  auto keyX = [&](int key) { return fixedWidth + key * keyWidth_ - hx; };
  auto rowY = [&](int row) { return headerHeight + row * rowHeight_ - vy; };

  // One cell of the fixed parts (headers and text columns): colour, then its text, key
  // names turned upright.
  auto drawCell = [&](int column, int row) {
    const QRect rect = CellRect(column, row);
    p.fillRect(rect.adjusted(0, 0, -1, -1), ColorFromBgr(CellColor(column, row)));
    ++PaintedCells;
    const std::string text = CellText(column, row);
    if (text.empty()) return;
    p.setPen(Qt::black);
    if (KeyOfColumn(column) >= 0 && row < 2) {
      p.save();
      p.setClipRect(rect.adjusted(0, 0, -1, -1), Qt::IntersectClip);
      p.translate(rect.left() + (rect.width() + fm.ascent() - fm.descent()) / 2, rect.bottom() - 4);
      p.rotate(-90);
      p.drawText(0, 0, ToQString(text));
      p.restore();
      return;
    }
    p.drawText(rect.adjusted(2, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
               ToQString(text));
  };

  // The key cells of the data rows: white, the cross-hair, the marks, then the lines.
  const QRect dataArea(fixedWidth, headerHeight, std::max(0, width - fixedWidth),
                       std::max(0, height - headerHeight));
  p.setClipRect(dataArea);
  if (firstKey < lastKey && firstRow < lastRow) {
    const int left = keyX(firstKey);
    const int right = keyX(lastKey);
    const int top = rowY(firstRow);
    const int bottom = rowY(lastRow);
    p.fillRect(QRect(left, top, right - left, bottom - top), white);
    if (SelectedRow >= firstRow && SelectedRow < lastRow)
      p.fillRect(QRect(left, rowY(SelectedRow), right - left, rowHeight_), yellow);
    if (SelectedKey >= firstKey && SelectedKey < lastKey)
      p.fillRect(QRect(keyX(SelectedKey), top, keyWidth_, bottom - top), yellow);
    p.setPen(Qt::white);
    for (int r = firstRow; r < lastRow; ++r) {
      const auto& marks = plan_->rows[static_cast<size_t>(r)].marks;
      auto it = std::lower_bound(marks.begin(), marks.end(), std::make_pair(firstKey, '\0'));
      for (; it != marks.end() && it->first < lastKey; ++it) {
        const QRect cell(keyX(it->first), rowY(r), keyWidth_, rowHeight_);
        p.fillRect(cell, dark);
        if (it->second != kMarkLocks)
          p.drawText(cell, Qt::AlignCenter, QString(QLatin1Char(it->second)));
      }
    }
    p.setPen(lines);
    for (int k = firstKey; k < lastKey; ++k)
      p.drawLine(keyX(k + 1) - 1, top, keyX(k + 1) - 1, bottom);
    for (int r = firstRow; r < lastRow; ++r)
      p.drawLine(left, rowY(r + 1) - 1, right, rowY(r + 1) - 1);
    PaintedCells += (lastKey - firstKey) * (lastRow - firstRow);
  }

  // The text columns and the separator of the data rows (they scroll only up and down).
  p.setClipRect(QRect(0, headerHeight, fixedWidth, std::max(0, height - headerHeight)));
  for (int r = firstRow; r < lastRow; ++r)
    for (int c = 0; c < FixedColumnCount(); ++c) drawCell(c, r + 3);
  // The key headers (they scroll only sideways).
  p.setClipRect(QRect(fixedWidth, 0, std::max(0, width - fixedWidth), headerHeight));
  for (int k = firstKey; k < lastKey; ++k)
    for (int r = 0; r < 3; ++r) drawCell(FixedColumnCount() + k, r);
  // The corner stays.
  p.setClipRect(QRect(0, 0, fixedWidth, headerHeight));
  for (int c = 0; c < FixedColumnCount(); ++c)
    for (int r = 0; r < 3; ++r) drawCell(c, r);
}

void TPlanGridWidget::mousePressEvent(QMouseEvent* event) {
  int column = 0, row = 0;
  if (!CellAt(event->position().toPoint(), column, row)) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  const int key = KeyOfColumn(column);
  const int planRow = RowOfGridRow(row);
  const bool right = event->button() == Qt::RightButton;
  int newKey = SelectedKey;
  int newRow = SelectedRow;
  // A header cell chooses its key, a data cell its row (and its key, as a grid's cell does);
  // the right button always chooses the key under it.
  if (key >= 0 && (row < 3 || right || planRow >= 0)) newKey = key;
  if (planRow >= 0) newRow = planRow;
  Select(newRow, newKey, false);
  if (OnClick) OnClick();
  if (right && OnContextMenu) OnContextMenu(event->globalPosition().toPoint());
}

void TPlanGridWidget::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void TPlanGridWidget::scrollContentsBy(int, int) { viewport()->update(); }

// ---------------------------------------------------------------------------------------
// TPlanForm

TPlanForm::TPlanForm(QWidget* parent) : QDialog(parent) {
  setObjectName("PlanForm");
  setWindowTitle(ToQString(" Schlie\xDF"
                           "plan"));
  setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
  resize(1000, 700);
  auto* layout = new QVBoxLayout(this);

  MainMenu = new QMenuBar(this);
  MainMenu->setObjectName("MainMenu");
  QMenu* file = MainMenu->addMenu(ToQString("Datei"));
  ExportCsvItem = file->addAction(ToQString("Exportieren als CSV ..."));
  ExportExcelItem = file->addAction(ToQString("Exportieren nach Excel ..."));
  file->addSeparator();
  CloseItem = file->addAction(ToQString("Fenster schlie\xDF"
                                        "en"));
  QMenu* columns = MainMenu->addMenu(ToQString("Spalten"));
  for (int c = 0; c < kPlanColumnCount; ++c) {
    QAction* item = columns->addAction(ToQString(kColumnMenuCaptions[c]));
    item->setCheckable(true);
    ColumnItems[static_cast<size_t>(c)] = item;
    connect(item, &QAction::triggered, this, [this, c] { ToggleColumn(c); });
  }
  ColumnItems[pcType]->setToolTip(ToQString("Zylindergruppe"));
  ColumnItems[pcFinish]->setToolTip(ToQString("Oberfl\xE4"
                                              "che"));
  columns->setToolTipsVisible(true);
  QMenu* sort = MainMenu->addMenu(ToQString("Sortierung"));
  SortPositionItem = sort->addAction(ToQString("nach Position (Zylinder, T\xFCr)"));
  SortDoorItem = sort->addAction(ToQString("T\xFCr-Bezeichnung"));
  auto* sortGroup = new QActionGroup(sort);
  for (QAction* item : {SortPositionItem, SortDoorItem}) {
    item->setCheckable(true);
    sortGroup->addAction(item);
  }
  QMenu* gotoMenu = MainMenu->addMenu(ToQString("Gehe zu"));
  GotoCoLockItem = gotoMenu->addAction(ToQString("Mitschlie\xDF"
                                                 "ung"));
  GotoCentralItem = gotoMenu->addAction(ToQString("Zentralzylinder"));
  GotoSearchItem = gotoMenu->addAction(ToQString("Suche ..."));
  layout->setMenuBar(MainMenu);

  auto* top = new QHBoxLayout();
  KeysystemCombo = new QComboBox(this);
  KeysystemCombo->setObjectName("KeysystemCombo");
  KeysystemCombo->setMinimumWidth(160);
  SetNoTranslate(KeysystemCombo);
  HouseCombo = new QComboBox(this);
  HouseCombo->setObjectName("HouseCombo");
  HouseCombo->setMinimumWidth(160);
  HouseCombo->setToolTip(ToQString("nur T\xFCren am gew\xE4hlten Geb\xE4ude zeigen"));
  SetNoTranslate(HouseCombo);
  UnusedKeysCheck = new QCheckBox(ToQString("unbenutzte Schl\xFCssel"), this);
  UnusedKeysCheck->setObjectName("UnusedKeysCheck");
  UnusedKeysCheck->setToolTip(ToQString("Schl\xFCssel ohne Schlie\xDF-Zuordnung zeigen"));
  ESKeysCheck = new QCheckBox(ToQString("Einzelschl\xFCssel"), this);
  ESKeysCheck->setObjectName("ESKeysCheck");
  ESKeysCheck->setToolTip(ToQString("Schl\xFCssel mit Einzelschlie\xDF"
                                    "ungen zeigen"));
  top->addWidget(KeysystemCombo);
  top->addWidget(HouseCombo);
  top->addWidget(UnusedKeysCheck);
  top->addWidget(ESKeysCheck);
  top->addStretch(1);
  layout->addLayout(top);

  auto* gridHost = new QWidget(this);
  gridHost->setObjectName("GridHost");
  auto* hostLayout = new QVBoxLayout(gridHost);
  hostLayout->setContentsMargins(0, 0, 0, 0);
  Grid = new TPlanGridWidget(gridHost);
  hostLayout->addWidget(Grid);
  noResultsPanel = new QLabel(ToQString(PlanText(4)), gridHost);
  noResultsPanel->setObjectName("noResultsPanel");
  noResultsPanel->setAlignment(Qt::AlignCenter);
  noResultsPanel->setAutoFillBackground(true);
  noResultsPanel->hide();
  layout->addWidget(gridHost, 1);

  auto* foot = new QHBoxLayout();
  EscBtn = new QPushButton(ToQString("Schlie\xDF"
                                     "en"),
                           this);
  EscBtn->setObjectName("EscBtn");
  ExportBtn = new QPushButton(ToQString("Exportieren"), this);
  ExportBtn->setObjectName("ExportBtn");
  ExportBtn->setToolTip(ToQString("Exportieren als CSV"));
  ExcelBtn = new QPushButton(ToQString("Excel"), this);
  ExcelBtn->setObjectName("ExcelBtn");
  ExcelBtn->setToolTip(ToQString("Exportieren nach Excel"));
  GotoDoorBtn = new QPushButton(ToQString("T\xFCr aufrufen"), this);
  GotoDoorBtn->setObjectName("GotoDoorBtn");
  GotoCylBtn = new QPushButton(ToQString("Zylinder aufrufen"), this);
  GotoCylBtn->setObjectName("GotoCylBtn");
  GotoKeyBtn = new QPushButton(ToQString("Schl\xFCssel aufrufen"), this);
  GotoKeyBtn->setObjectName("GotoKeyBtn");
  foot->addWidget(EscBtn);
  foot->addWidget(ExportBtn);
  foot->addWidget(ExcelBtn);
  foot->addStretch(1);
  foot->addWidget(GotoDoorBtn);
  foot->addWidget(GotoCylBtn);
  foot->addWidget(GotoKeyBtn);
  layout->addLayout(foot);
  for (QPushButton* b : {EscBtn, ExportBtn, ExcelBtn, GotoDoorBtn, GotoCylBtn, GotoKeyBtn})
    b->setAutoDefault(false);

  PopupMenu = new QMenu(this);
  PopupMenu->setObjectName("PopupMenu");
  RemoveLockItem = PopupMenu->addAction(ToQString("Einzelne Schlie\xDF"
                                                  "ung entfernen"));
  RemoveLockItem->setEnabled(false);
  PopupMenu->addSeparator();
  PopDoorItem = PopupMenu->addAction(ToQString("T\xFCr aufrufen"));
  PopCylItem = PopupMenu->addAction(ToQString("Zylinder aufrufen"));
  PopKeyItem = PopupMenu->addAction(ToQString("Schl\xFCssel aufrufen"));

  connect(ExportCsvItem, &QAction::triggered, this, [this] { ExportBtnClick(false); });
  connect(ExportExcelItem, &QAction::triggered, this, [this] { ExportBtnClick(true); });
  connect(CloseItem, &QAction::triggered, this, [this] { reject(); });
  connect(SortPositionItem, &QAction::triggered, this, [this] { SetSortByDoor(false); });
  connect(SortDoorItem, &QAction::triggered, this, [this] { SetSortByDoor(true); });
  connect(GotoCoLockItem, &QAction::triggered, this, [this] { GotoCoLockClick(); });
  connect(GotoCentralItem, &QAction::triggered, this, [this] { GotoCentralClick(); });
  connect(GotoSearchItem, &QAction::triggered, this, [this] { GotoSearchClick(); });
  connect(KeysystemCombo, &QComboBox::currentIndexChanged, this, [this] {
    if (filling_) return;
    FillCombos();
    BuildGrid();
  });
  connect(HouseCombo, &QComboBox::currentIndexChanged, this, [this] {
    if (!filling_) BuildGrid();
  });
  connect(ESKeysCheck, &QCheckBox::clicked, this, [this] { BuildGrid(); });
  connect(UnusedKeysCheck, &QCheckBox::clicked, this, [this] { UnusedKeysClick(); });
  connect(EscBtn, &QPushButton::clicked, this, [this] { reject(); });
  connect(ExportBtn, &QPushButton::clicked, this, [this] { ExportBtnClick(false); });
  connect(ExcelBtn, &QPushButton::clicked, this, [this] { ExportBtnClick(true); });
  connect(GotoDoorBtn, &QPushButton::clicked, this, [this] { done(kPlanGotoDoor); });
  connect(GotoCylBtn, &QPushButton::clicked, this, [this] { done(kPlanGotoCylinder); });
  connect(GotoKeyBtn, &QPushButton::clicked, this, [this] { done(kPlanGotoKey); });
  connect(PopDoorItem, &QAction::triggered, this, [this] { done(kPlanGotoDoor); });
  connect(PopCylItem, &QAction::triggered, this, [this] { done(kPlanGotoCylinder); });
  connect(PopKeyItem, &QAction::triggered, this, [this] { done(kPlanGotoKey); });
  Grid->OnClick = [this] { GridClick(); };
  Grid->OnContextMenu = [this](const QPoint& at) { PopupMenu->popup(at); };

  GridClick();
  TranslateForm(this);
}

std::array<std::string, kPlanColumnCount> TPlanForm::Captions() const {
  return {PlanText(3),  ClassCaption(icDoor, false),
          CoreText(87), ClassCaption(icCylinder, false),
          PlanText(5),  PlanText(6),
          PlanText(8),  PlanText(9),
          PlanText(1),  MLTranslate("Einzelschl\xFCssel"),
          PlanText(7)};
}

void TPlanForm::FillCombos() {
  filling_ = true;
  TMiniDB* db = GlueDB();
  const int32_t system = ComboCode(KeysystemCombo, ksNone);
  const int32_t house = ComboCode(HouseCombo, 0);
  // The locking systems in use: without the leading "-" when there are several, a single
  // "-" for none.
  if (db && !WinGlue().LockingSystemsBuilt) BuildLockingSystemList();
  TQStringList systems = LockingSystemList();
  if (systems.Count() > 1) systems.Delete(0);
  if (systems.Count() == 0) systems.AddObject("-", ksNone);
  KeysystemCombo->clear();
  for (const TStringItem& item : systems.Items())
    KeysystemCombo->addItem(ToQString(item.text), static_cast<int>(item.object));
  const int at = KeysystemCombo->findData(static_cast<int>(system));
  KeysystemCombo->setCurrentIndex(at >= 0 ? at : 0);
  // Every building, whatever its system.
  TQStringList buildings;
  if (db) {
    db->FillStringsByClass(buildings, icBuilding);
    buildings.Sort();
  }
  HouseCombo->clear();
  HouseCombo->addItem(QStringLiteral("-"), 0);
  for (const TStringItem& item : buildings.Items())
    HouseCombo->addItem(ToQString(item.text), static_cast<int>(item.object));
  const int houseAt = HouseCombo->findData(static_cast<int>(house));
  HouseCombo->setCurrentIndex(houseAt >= 0 ? houseAt : 0);
  filling_ = false;
}

void TPlanForm::BuildGrid() {
  NormalizePlanView(View);
  for (int c = 0; c < kPlanColumnCount; ++c)
    ColumnItems[static_cast<size_t>(c)]->setChecked(View.shown[static_cast<size_t>(c)]);
  (View.byDoorName ? SortDoorItem : SortPositionItem)->setChecked(true);
  // The selection follows its key and its row through the rebuild.
  const int32_t key =
      Grid->SelectedKey >= 0 ? plan_.keys[static_cast<size_t>(Grid->SelectedKey)].id : 0;
  std::pair<int32_t, int32_t> row{0, 0};
  if (Grid->SelectedRow >= 0)
    row = {plan_.rows[static_cast<size_t>(Grid->SelectedRow)].cylinder,
           plan_.rows[static_cast<size_t>(Grid->SelectedRow)].door};
  Grid->hide();
  Grid->SetPlan(nullptr, View, Captions(), PlanText(2));
  plan_ = TPlanGrid();
  TMiniDB* db = GlueDB();
  const int32_t system = ComboCode(KeysystemCombo, ksNone);
  if (db && system != ksNone) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TPlanOptions options;
    options.system = system;
    options.building = ComboCode(HouseCombo, 0);
    options.byDoorName = View.byDoorName;
    options.singleKeys = ESKeysCheck->isChecked();
    options.unusedKeys = UnusedKeysCheck->isChecked();
    // The texts as the grid draws them, so that a cut one fits its column.
    const QFontMetrics fm(Grid->font());
    // Most texts are short: one that fits even in the font's widest glyphs needs no measure.
    const int widestGlyph = std::max(1, fm.maxWidth());
    options.textWidth = [fm, widestGlyph](const std::string& text) {
      const int bound = static_cast<int>(std::min<size_t>(text.size(), 1 << 20)) * widestGlyph;
      if (bound <= kPlanTextWidthMax) return bound;
      return fm.horizontalAdvance(ToQString(text));
    };
    options.fitted = View.shown;
    plan_ = BuildPlanGrid(*db, options);
    QApplication::restoreOverrideCursor();
  }
  Grid->SetPlan(&plan_, View, Captions(), PlanText(2));
  int selectedRow = -1;
  for (size_t r = 0; r < plan_.rows.size() && (row.first || row.second); ++r)
    if (plan_.rows[r].cylinder == row.first && plan_.rows[r].door == row.second) {
      selectedRow = static_cast<int>(r);
      break;
    }
  Grid->Select(selectedRow, key ? plan_.KeyColumnOf(key) : -1, true);
  ShowGridOrPanel();
}

// Neither a row nor a key: the text instead of the grid (nothing at all without a system).
void TPlanForm::ShowGridOrPanel() {
  const bool system = ComboCode(KeysystemCombo, ksNone) != ksNone;
  const bool empty = !system || plan_.Empty();
  Grid->setVisible(!empty);
  noResultsPanel->setVisible(empty && system);
  PlaceNoResultsPanel();
  GridClick();
}

void TPlanForm::UnusedKeysClick() {
  if (UnusedKeysCheck->isChecked()) {
    BuildGrid();
    return;
  }
  const int32_t key =
      Grid->SelectedKey >= 0 ? plan_.keys[static_cast<size_t>(Grid->SelectedKey)].id : 0;
  const int row = Grid->SelectedRow;
  RemoveUnusedKeyColumns(plan_);
  Grid->Remeasure();
  Grid->Select(row, key ? plan_.KeyColumnOf(key) : -1, false);
  ShowGridOrPanel();
}

void TPlanForm::GridClick() {
  const int key = Grid->SelectedKey;
  const int row = Grid->SelectedRow;
  GotoKeyId = key >= 0 ? plan_.keys[static_cast<size_t>(key)].id : 0;
  GotoDoorId = row >= 0 ? plan_.rows[static_cast<size_t>(row)].door : 0;
  GotoCylId = row >= 0 ? plan_.rows[static_cast<size_t>(row)].cylinder : 0;
  GotoKeyBtn->setEnabled(GotoKeyId != 0);
  GotoDoorBtn->setEnabled(GotoDoorId != 0);
  GotoCylBtn->setEnabled(GotoCylId != 0);
  PopKeyItem->setEnabled(GotoKeyId != 0);
  PopDoorItem->setEnabled(GotoDoorId != 0);
  PopCylItem->setEnabled(GotoCylId != 0);
  RemoveLockItem->setEnabled(false);
  const bool cells = !plan_.Empty();
  ExportBtn->setEnabled(cells);
  ExcelBtn->setEnabled(cells);
  ExportCsvItem->setEnabled(cells);
  ExportExcelItem->setEnabled(cells);
  Grid->viewport()->update();
}

void TPlanForm::ToggleColumn(int column) {
  if (column < 0 || column >= kPlanColumnCount) return;
  View.shown[static_cast<size_t>(column)] = !View.shown[static_cast<size_t>(column)];
  BuildGrid();
}

void TPlanForm::SetSortByDoor(bool byDoor) {
  View.byDoorName = byDoor;
  if (byDoor) View.shown[pcDoor] = true;
  BuildGrid();
}

void TPlanForm::GotoCoLockClick() {
  for (size_t r = 0; r < plan_.rows.size(); ++r)
    for (const auto& [column, mark] : plan_.rows[r].marks)
      if (mark == kMarkCoLockI) {
        Grid->Select(static_cast<int>(r), column, true);
        GridClick();
        return;
      }
  ShowInfo(PlanText(13));
}

void TPlanForm::GotoCentralClick() {
  for (size_t r = 0; r < plan_.rows.size(); ++r)
    if (plan_.rows[r].cylinder != 0 && plan_.rows[r].rowMark == kMarkCentral) {
      Grid->Select(static_cast<int>(r), Grid->SelectedKey, true);
      GridClick();
      return;
    }
  ShowInfo(PlanText(10));
}

void TPlanForm::GotoSearchClick() {
  const int32_t id = ShowFindForm();
  TMiniDB* db = GlueDB();
  if (id <= 0 || !db) return;
  const int cls = db->GetClass(id);
  if (cls == icKey) {
    const int column = plan_.KeyColumnOf(id);
    if (column < 0) {
      ShowInfo(PlanText(11));
      return;
    }
    Grid->Select(Grid->SelectedRow, column, true);
  } else if (cls == icCylinder) {
    const int row = plan_.RowOfCylinder(id);
    if (row < 0) {
      ShowInfo(PlanText(12));
      return;
    }
    Grid->Select(row, Grid->SelectedKey, true);
  } else {
    return;
  }
  GridClick();
}

std::vector<std::vector<std::string>> TPlanForm::ExportCells() const {
  return PlanCells(plan_, View, Captions(), PlanText(2), FromQString(KeysystemCombo->currentText()),
                   FromQString(HouseCombo->currentText()));
}

bool WritePlanRows(const TPlanCellRows& rows, TCsvOrExcel& out) {
  std::vector<std::string> cells;
  for (size_t r = 0; r < rows.Count(); ++r) {
    rows.Row(r, cells);
    // The key headers stand upright over their narrow columns.
    const bool written =
        r < 2 ? out.WriteCellsTurned(cells, rows.FirstKeyColumn()) : out.WriteCells(cells);
    if (!written) return false;
  }
  return true;
}

bool TPlanForm::ExportTo(const std::string& fileName, bool workbook, std::string* refusal) const {
  // Row by row: the file holds the plan, memory one row of it.
  const std::array<std::string, kPlanColumnCount> captions = Captions();
  const std::string separator = PlanText(2);
  const std::string system = FromQString(KeysystemCombo->currentText());
  const std::string building = FromQString(HouseCombo->currentText());
  const TPlanCellRows rows(plan_, View, captions, separator, system, building);
  TCsvOrExcel out;
  auto failed = [&] {
    if (refusal) *refusal = out.Refusal();
    out.Discard();
    return false;
  };
  if (!(workbook ? out.OpenExcel(fileName) : out.OpenCsv(fileName))) return failed();
  if (!WritePlanRows(rows, out)) return failed();
  if (out.Close()) return true;
  if (refusal) *refusal = out.Refusal();
  return false;
}

std::string TPlanForm::ExportProposal() const {
  std::string place = FromQString(HouseCombo->currentText());
  if (place == "-") place = FromQString(KeysystemCombo->currentText());
  return CleanFileName(CoreText(73) + " " + place);
}

bool TPlanForm::ExportBtnClick(bool toSpreadsheet) {
  if (RightDenied(rtPrintLists)) return false;
  if (toSpreadsheet) {
    std::string file;
    int fd = -1;
    if (PfCreateUnique(PfTempFolder() + "/", "~Plan", ".xlsx", file, fd) != 0) {
      ShowError(CoreText(74));
      return false;
    }
    PfClose(fd);
    AddTempFile(file);  // the spreadsheet program may keep it open until we end
    if (!ExportTo(file, true)) {
      ShowError(CoreText(74));
      return false;
    }
    if (!ShellOpen(file)) ShowError(WinText(6));
    return true;
  }
  QFileDialog dialog(this, ToQString(MLTranslate("Export")));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  const QString textFilter = QStringLiteral("Text / CSV (*.csv)");
  const QString excelFilter = QStringLiteral("Excel (*.xls *.xlsx)");
  dialog.setNameFilters({textFilter, excelFilter});
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  dialog.selectFile(ToQString(ExportProposal()));
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  std::string file = FromQString(dialog.selectedFiles().first());
  const size_t slash = file.find_last_of('/');
  if (file.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos)
    file += dialog.selectedNameFilter() == excelFilter ? ".xlsx" : ".csv";
  std::string refusal;
  if (!ExportTo(file, SpreadsheetFileKind(file) == sfkSpreadsheet, &refusal)) {
    // A plan too wide for an ".xls", or a kind the program cannot write, is said as such.
    ShowError(refusal.empty() ? CoreText(74) : refusal);
    return false;
  }
  return true;
}

int32_t TPlanForm::ResultId(int result) const {
  switch (result) {
    case kPlanGotoDoor: return GotoDoorId;
    case kPlanGotoCylinder: return GotoCylId;
    case kPlanGotoKey: return GotoKeyId;
    default: return 0;
  }
}

// Minimising the plan minimises the whole program.
void TPlanForm::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  MinimiseProgramWith(this, event);
}

void TPlanForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  PlaceNoResultsPanel();
}

// Centred over the grid, 2 pixels inside its left and right edges.
void TPlanForm::PlaceNoResultsPanel() {
  QWidget* host = noResultsPanel->parentWidget();
  const int height = noResultsPanel->sizeHint().height() + 16;
  noResultsPanel->setGeometry(2, std::max(0, (host->height() - height) / 2),
                              std::max(0, host->width() - 4), height);
}

// ---------------------------------------------------------------------------------------

namespace {
QPointer<TPlanForm> gPlanForm;

TPlanForm& PlanForm() {
  if (!gPlanForm) {
    gPlanForm = new TPlanForm(WinGlue().MainWindow.data());
    // A form without the main window as its parent goes before the application does.
    if (!WinGlue().MainWindow) qAddPostRoutine(FreePlanForm);
  }
  return *gPlanForm;
}
}  // namespace

TPlanForm* PlanFormInstance() { return gPlanForm.data(); }
void FreePlanForm() { delete gPlanForm.data(); }

int32_t ShowLockingPlan() {
  TMiniDB* db = GlueDB();
  if (!db) return 0;
  db->Load();  // changes of other stations show
  TPlanForm& form = PlanForm();
  const int32_t user = Session().CurrentUserId;
  form.View = ReadPlanView(*db, user);
  form.FillCombos();
  form.BuildGrid();
  const int result = ExecModal(form);
  const int32_t chosen = form.ResultId(result);
  if (user > 0) SavePlanView(*db, user, form.View);
  return chosen;
}

void RunPlanCommand() {
  const int32_t chosen = ShowLockingPlan();
  ReloadAndRefresh();
  if (chosen > 0) GotoItem(chosen, true);
}
