#include "import/widgets/ImportPlanFormUnit.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

#include <memory>

#include "app/DesktopLinksUnit.h"
#include "app/GlueStateUnit.h"
#include "app/ListFillUnit.h"
#include "app/WaitPanelUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/ParamsUnit.h"
#include "basic/TempFilesUnit.h"
#include "basic/ValueString.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/IniUnit.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "import/ExcelReadUnit.h"
#include "import/ImportPlanUnit.h"
#include "import/ImportText.h"
#include "import/ImportXmlUnit.h"
#include "app/UnitTR100Win.h"
#include "import/XmlUnit.h"

const TMLStringList* ImportPlanFormTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("ImportPlanForm", 0);
    t->Add255Obj("Bitte \xF6" "ffnen Sie eine Tabellendatei, oder \xFC" "bernehmen Sie Daten aus "
                 "einem ge\xF6" "ffnetem Excel-/OpenOffice-Fenster.",
                 1);
    t->Add255Obj("Pr\xFC" "fen Sie die Datenbereiche (gr\xFCn) oder definieren Sie sie manuell "
                 "(rechte Maustaste)",
                 2);
    t->Add255Obj("W\xE4hlen Sie die Optionen und klicken Sie dann auf \"Import ausf\xFChren\", "
                 "um fortzufahren.",
                 3);
    t->Add255Obj("Tabelle \xF6" "ffnen", 4);
    t->Add255Obj("Die Datei konnte nicht geladen werden.", 5);
    t->Add255Obj("Fehler beim Speichern der Datei", 6);
    t->Add255Obj("Wollen Sie wirklich alle Bereichsdefinitionen entfernen?", 7);
    t->Add255Obj("Datei nicht gefunden.", 8);
    t->Add255Obj("= Matrix", 9);
    t->Add255Obj("laut Tabelle", 10);
    t->Add255Obj("bitte warten", 11);
    t->Add255Obj("Bereichsdefinitionen laden", 12);
    t->Add255Obj("Bereichsdefinitionen speichern", 13);
    t->Add255Obj("Abbrechen", 14);
    return t;
  }();
  return table;
}

namespace {

std::string T(int n) { return GetMLText(ImportPlanFormTexts(), n); }

constexpr uint32_t kAutoTitle = 0xAFAFFF;
constexpr uint32_t kData = 0xF0FFE8;
constexpr uint32_t kMatrix = 0xFFE0E0;
constexpr uint32_t kManualColumn = 0x00FFFF;
constexpr uint32_t kManualRow = 0x17CDFF;
constexpr uint32_t kSelected = 0xC56A31;
constexpr uint32_t kLightGreen = 0xB0D0B0;
constexpr uint32_t kNone = 0xFFFFFFFF;

std::string DefsFileOfClient() {
  TMiniDB* db = GlueDB();
  return db ? db->DataPath + kPlanDefsFileName : std::string();
}

void Paint(QWidget* w, uint32_t bgr) {
  const QColor colour = bgr == kNone ? QApplication::palette().color(QPalette::Button)
                                     : ColorFromBgr(bgr);
  w->setStyleSheet(QString("QFrame#%1 { background: %2; }").arg(w->objectName(), colour.name()));
}

QLabel* Swatch(QWidget* parent, uint32_t bgr) {
  auto* l = new QLabel(parent);
  l->setFixedSize(16, 16);
  l->setAutoFillBackground(true);
  QPalette p = l->palette();
  p.setColor(QPalette::Window, ColorFromBgr(bgr));
  l->setPalette(p);
  l->setFrameShape(QFrame::Box);
  return l;
}

}  // namespace

TIndiDefList& SharedPlanDefs() {
  static TIndiDefList defs;
  return defs;
}

TIndiDefList& PlanDefsOfClient() {
  static std::string loadedFrom;
  TIndiDefList& defs = SharedPlanDefs();
  const std::string file = DefsFileOfClient();
  if (file != loadedFrom) {
    defs = TIndiDefList{};
    LoadIndiDefs(defs, file);
    loadedFrom = file;
  }
  return defs;
}

// =======================================================================================
// Defining a cell.

TImportPlanDefForm::TImportPlanDefForm(QWidget* parent) : QDialog(parent) {
  setObjectName("ImportPlanDefForm");
  setWindowTitle(ToQString("Tabellenbereich definieren"));
  auto* outer = new QVBoxLayout(this);
  auto* choice = new QHBoxLayout;
  HeadingRadio = new QRadioButton(ToQString("die \xDC" "berschrift ..."), this);
  HeadingRadio->setObjectName("HeadingRadio");
  DataRadio = new QRadioButton(ToQString("die erste Daten-Zelle ..."), this);
  DataRadio->setObjectName("DataRadio");
  NothingRadio = new QRadioButton(ToQString("nichts wichtiges"), this);
  NothingRadio->setObjectName("NothingRadio");
  HeadingRadio->setChecked(true);
  auto* label = new QLabel(ToQString("Die aktive Zelle enth\xE4lt"), this);
  outer->addWidget(label);
  choice->addWidget(HeadingRadio);
  choice->addWidget(DataRadio);
  choice->addWidget(NothingRadio);
  outer->addLayout(choice);
  auto* boxes = new QHBoxLayout;
  Box1 = new QListWidget(this);
  Box1->setObjectName("Box1");
  Box2 = new QListWidget(this);
  Box2->setObjectName("Box2");
  // The field captions are filled in the user's language.
  SetNoTranslate(Box1);
  SetNoTranslate(Box2);
  boxes->addWidget(Box1);
  boxes->addWidget(Box2);
  outer->addLayout(boxes, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OkBtn = new QPushButton(ToQString("\xDC" "bernehmen"), this);
  OkBtn->setObjectName("OkBtn");
  OkBtn->setDefault(true);
  CancelBtn = new QPushButton(ToQString("Abbrechen"), this);
  CancelBtn->setObjectName("CancelBtn");
  buttons->addWidget(OkBtn);
  buttons->addWidget(CancelBtn);
  outer->addLayout(buttons);
  connect(Box1, &QListWidget::itemSelectionChanged, this, [this] {
    if (!Box1->selectedItems().isEmpty()) Box2->clearSelection();
  });
  connect(Box2, &QListWidget::itemSelectionChanged, this, [this] {
    if (!Box2->selectedItems().isEmpty()) Box1->clearSelection();
  });
  for (QRadioButton* r : {HeadingRadio, DataRadio, NothingRadio})
    connect(r, &QRadioButton::toggled, this, [this] { ChoiceChanged(); });
  connect(OkBtn, &QPushButton::clicked, this, [this] { OkBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  resize(520, 420);
  TranslateForm(this);
}

void TImportPlanDefForm::Prepare(const TImportTable* grid, int col, int row) {
  grid_ = grid;
  col_ = col;
  row_ = row;
  Box1->clear();
  Box2->clear();
  const std::vector<std::string> cols = PlanColumnFieldCaptions();
  for (size_t i = 0; i < cols.size(); ++i) {
    auto* item = new QListWidgetItem(ToQString(cols[i]), Box1);
    item->setData(Qt::UserRole, static_cast<int>(i));
  }
  const std::vector<std::string> rows = PlanRowFieldCaptions();
  for (size_t i = 0; i < rows.size(); ++i) {
    auto* item = new QListWidgetItem(ToQString(rows[i]), Box2);
    item->setData(Qt::UserRole, static_cast<int>(i));
  }
  HeadingRadio->setChecked(true);
  ChoiceChanged();
}

void TImportPlanDefForm::ChoiceChanged() {
  const bool nothing = NothingRadio->isChecked();
  for (QListWidget* box : {Box1, Box2}) {
    QPalette p = box->palette();
    p.setColor(QPalette::Base, palette().color(nothing ? QPalette::Window : QPalette::Base));
    box->setPalette(p);
    box->setEnabled(!nothing);
    if (nothing) box->clearSelection();
  }
}

void TImportPlanDefForm::OkBtnClick() {
  TCellDefChoice choice = TCellDefChoice::Nothing;
  if (HeadingRadio->isChecked()) choice = TCellDefChoice::Heading;
  if (DataRadio->isChecked()) choice = TCellDefChoice::FirstData;
  int32_t kind = 0;
  int32_t index = 0;
  if (choice != TCellDefChoice::Nothing) {
    if (!Box1->selectedItems().isEmpty()) {
      kind = pdkColumn;
      index = Box1->selectedItems().front()->data(Qt::UserRole).toInt();
    } else if (!Box2->selectedItems().isEmpty()) {
      kind = pdkRow;
      index = Box2->selectedItems().front()->data(Qt::UserRole).toInt();
    } else {
      ShowError(ImportPlanDefText(22));
      return;
    }
  }
  if (grid_) ApplyCellDefinition(SharedPlanDefs(), *grid_, col_, row_, choice, kind, index);
  accept();
}

bool ImportPlanDefineCell(const TImportTable& grid, int col, int row) {
  static QPointer<TImportPlanDefForm> form;
  if (!form) form = new TImportPlanDefForm(QApplication::activeWindow());
  form->Prepare(&grid, col, row);
  return ExecModal(*form) == QDialog::Accepted;
}

// =======================================================================================
// The grid.

TPlanGridModel::TPlanGridModel(const TImportTable* grid, const TPlanRecognition* rec,
                               const TIndiDefList* defs, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), rec_(rec), defs_(defs) {}

int TPlanGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_->RowCount();
}

int TPlanGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_->ColCount();
}

uint32_t TPlanGridModel::CellColour(int col, int row) const {
  if (col == 0 || row == 0) return kNone;
  uint32_t colour = kNone;
  for (const IndiDef& d : rec_->autoTitles.Items)
    if (d.titleCol == col && d.titleRow == row) colour = kAutoTitle;
  bool data = false;
  if (rec_->firstDataRow >= 1 && row >= rec_->firstDataRow)
    for (int32_t c : rec_->colField) data = data || c == col;
  if (rec_->firstKeyCol >= 1 && col >= rec_->firstKeyCol)
    for (int32_t r : rec_->rowField) data = data || r == row;
  if (data) colour = kData;
  const TPlanMatrix& m = rec_->matrix;
  if (m.left > 0 && col >= m.left && col <= m.right && row >= m.top && row <= m.bottom)
    colour = kMatrix;
  switch (GetCellDefKind(*defs_, col, row)) {
    case pdkColumn: colour = kManualColumn; break;
    case pdkRow: colour = kManualRow; break;
    default: break;
  }
  return colour;
}

std::string TPlanGridModel::CellHint(int col, int row) const {
  std::string hint = GetCellDefHint(*defs_, col, row);
  if (rec_->firstDataRow >= 1 && row >= rec_->firstDataRow)
    for (int f = 0; f < kPlanColumnFieldCount; ++f)
      if (rec_->colField[f] == col && col >= 1) hint += "= " + ColumnCaptions[f] + "\n";
  if (rec_->firstKeyCol >= 1 && col >= rec_->firstKeyCol)
    for (int f = 0; f < kPlanRowFieldCount; ++f)
      if (rec_->rowField[f] == row && row >= 1) hint += "= " + RowCaptions[f] + "\n";
  const TPlanMatrix& m = rec_->matrix;
  if (m.left > 0 && col >= m.left && col <= m.right && row >= m.top && row <= m.bottom)
    hint += T(9) + "\n";
  if (!hint.empty()) hint.pop_back();
  return hint;
}

QVariant TPlanGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int col = index.column();
  const int row = index.row();
  switch (role) {
    case Qt::DisplayRole: {
      std::string text = grid_->Cell(col, row);
      for (char& c : text)
        if (c == '\x0b') c = ' ';
      return ToQString(text);
    }
    case Qt::BackgroundRole: {
      if (col == 0 || row == 0) return QApplication::palette().color(QPalette::Button);
      const uint32_t colour = CellColour(col, row);
      return colour == kNone ? QVariant() : QVariant(ColorFromBgr(colour));
    }
    case Qt::ToolTipRole: {
      const std::string hint = CellHint(col, row);
      return hint.empty() ? QVariant() : QVariant(ToQString(hint));
    }
    case Qt::TextAlignmentRole:
      return (col == 0 || row == 0) ? QVariant(Qt::AlignCenter) : QVariant();
    default:
      return {};
  }
}

void TPlanGridModel::Refresh() {
  beginResetModel();
  endResetModel();
}

// =======================================================================================
// The dialog.

TImportPlanForm::TImportPlanForm(QWidget* parent) : QDialog(parent) {
  setObjectName("ImportPlanForm");
  setWindowTitle(ToQString("Schlie\xDFplan importieren"));
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  auto* menuBar = new QMenuBar(this);
  QMenu* fileMenu = menuBar->addMenu(ToQString("Datei"));
  fileMenu->addAction(ToQString("Tabelle laden ..."), this, [this] {
    const std::string file = ChooseFile(false, T(4), "", TableFileName);
    if (!file.empty()) LoadPlanTable(file);
  });
  fileMenu->addAction(ToQString("aus Office einlesen (ge\xF6" "ffnetes Fenster) ..."), this,
                      [this] { ReadOpenOfficeSheet(); });
  fileMenu->addSeparator();
  fileMenu->addAction(ToQString("Bereichsdefinitionen laden ..."), this,
                      [this] { LoadDefinitions(); });
  fileMenu->addAction(ToQString("Bereichsdefinitionen speichern unter ..."), this,
                      [this] { SaveDefinitions(); });
  fileMenu->addAction(ToQString("Alle Bereichsdefinitionen entfernen"), this,
                      [this] { ClearDefinitions(); });
  fileMenu->addSeparator();
  fileMenu->addAction(ToQString("Fenster schlie\xDF" "en"), this, &QDialog::reject);
  QMenu* helpMenu = menuBar->addMenu(ToQString("Hilfe"));
  HelpAction = helpMenu->addAction(ToQString("Hilfe-Seite (Homepage)"), this, [this] {
    const std::string address = ReadSettingStr(0, "HelpAddress");
    if (!address.empty()) OpenInternetLinkFrom(this, address + "schliessplan-erfassen.html");
  });
  HelpAction->setShortcut(QKeySequence(Qt::Key_F1));
  outer->setMenuBar(menuBar);

  FilePanel = new QFrame(this);
  FilePanel->setObjectName("FilePanel");
  auto* fileRow = new QHBoxLayout(FilePanel);
  OpenFileBtn = new QPushButton(ToQString("Datei \xF6" "ffnen"), FilePanel);
  OpenFileBtn->setObjectName("OpenFileBtn");
  OfficeBtn = new QPushButton(
      ToQString(" Daten aus ge\xF6" "ffneter Excel-/OpenOffice-Tabelle \xFC" "bernehmen"),
      FilePanel);
  OfficeBtn->setObjectName("OfficeBtn");
  fileRow->addWidget(OpenFileBtn);
  fileRow->addWidget(OfficeBtn);
  fileRow->addStretch(1);
  outer->addWidget(FilePanel);

  InfoPanel = new QFrame(this);
  InfoPanel->setObjectName("InfoPanel");
  auto* infoRow = new QHBoxLayout(InfoPanel);
  InfoLabel = new QLabel(InfoPanel);
  InfoLabel->setObjectName("InfoLabel");
  SetNoTranslate(InfoLabel);  // set by the step, already translated
  ContinueBtn = new QPushButton(ToQString("Fortsetzen"), InfoPanel);
  ContinueBtn->setObjectName("ContinueBtn");
  infoRow->addWidget(InfoLabel, 1);
  infoRow->addWidget(ContinueBtn);
  outer->addWidget(InfoPanel);

  // The legend in rows of three: in one row it was wider than a small screen.
  auto* legend = new QGridLayout;
  legend->setContentsMargins(8, 4, 8, 4);
  legend->setHorizontalSpacing(12);
  const std::pair<uint32_t, const char*> legendItems[] = {
      {kManualColumn, "= manuelle Definition T\xFCren/Zyl./ES"},
      {kManualRow, "= manuelle Definition GS"},
      {kAutoTitle, "= automatisch erkannter Titel"},
      {kMatrix, "= Schlie\xDFmatrix (GS-Kreuztabelle)"},
      {kData, "= Daten"}};
  int item = 0;
  for (const auto& [colour, text] : legendItems) {
    auto* entry = new QHBoxLayout;
    entry->setSpacing(2);
    entry->addWidget(Swatch(this, colour));
    entry->addWidget(new QLabel(ToQString(text), this));
    entry->addStretch(1);
    legend->addLayout(entry, item / 3, item % 3);
    ++item;
  }
  legend->setColumnStretch(3, 1);
  outer->addLayout(legend);

  OptionsPanel = new QFrame(this);
  OptionsPanel->setObjectName("OptionsPanel");
  auto* options = new QVBoxLayout(OptionsPanel);
  auto* namingRow = new QHBoxLayout;
  namingRow->addWidget(new QLabel(ToQString("Zylinder-Benennung"), OptionsPanel));
  NamingCombo = new QComboBox(OptionsPanel);
  NamingCombo->setObjectName("NamingCombo");
  NamingCombo->addItem(ToQString("Schlie\xDFnummer + L\xE4nge"));
  NamingCombo->addItem(ToQString("wie die T\xFCrbezeichnung"));
  NamingCombo->addItem(ToQString("Schlie\xDFnummer + T\xFCrbezeichnung"));
  NamingCombo->addItem(ToQString("wie Spalte \"Zylinder\""));
  NamingCombo->setCurrentIndex(0);
  namingRow->addWidget(NamingCombo);
  namingRow->addSpacing(20);
  namingRow->addWidget(new QLabel(ToQString("Schlie\xDF" "anlage"), OptionsPanel));
  SystemCombo = new QComboBox(OptionsPanel);
  SystemCombo->setObjectName("SystemCombo");
  SetNoTranslate(SystemCombo);
  namingRow->addWidget(SystemCombo);
  namingRow->addWidget(new QLabel(ToQString("Geb\xE4ude"), OptionsPanel));
  BuildingCombo = new QComboBox(OptionsPanel);
  BuildingCombo->setObjectName("BuildingCombo");
  BuildingCombo->setToolTip(ToQString("nur T\xFCren am gew\xE4hlten Geb\xE4ude zeigen"));
  SetNoTranslate(BuildingCombo);
  namingRow->addWidget(BuildingCombo);
  namingRow->addStretch(1);
  options->addLayout(namingRow);
  AddCountsCheck = new QCheckBox(
      ToQString("Schl\xFCsselanzahl gleicher Schl\xFCssel aus allen Zeilen addieren"), OptionsPanel);
  AddCountsCheck->setObjectName("AddCountsCheck");
  AddCountsCheck->setChecked(true);
  IgnoreZeroCheck =
      new QCheckBox(ToQString("Schl\xFCssel und Zylinder mit Menge 0 ignorieren"), OptionsPanel);
  IgnoreZeroCheck->setObjectName("IgnoreZeroCheck");
  SeekByPositionCheck = new QCheckBox(
      ToQString("vorhandene Zylinder und T\xFCren nicht anhand ihrer Namen, sondern anhand der "
                "Positionen suchen"),
      OptionsPanel);
  SeekByPositionCheck->setObjectName("SeekByPositionCheck");
  ReportNewCheck = new QCheckBox(ToQString("neue Zylinder und T\xFCren melden"), OptionsPanel);
  ReportNewCheck->setObjectName("ReportNewCheck");
  for (QCheckBox* c : {AddCountsCheck, IgnoreZeroCheck, SeekByPositionCheck, ReportNewCheck})
    options->addWidget(c);
  auto* importRow = new QHBoxLayout;
  importRow->addStretch(1);
  ImportBtn = new QPushButton(ToQString("Import ausf\xFChren"), OptionsPanel);
  ImportBtn->setObjectName("ImportBtn");
  importRow->addWidget(ImportBtn);
  options->addLayout(importRow);
  optionsHeight_ = OptionsPanel->sizeHint().height();
  outer->addWidget(OptionsPanel);

  PlanGrid = new QTableView(this);
  PlanGrid->setObjectName("PlanGrid");
  model_ = new TPlanGridModel(&grid_, &rec_, &SharedPlanDefs(), this);
  PlanGrid->setModel(model_);
  PlanGrid->horizontalHeader()->hide();
  PlanGrid->verticalHeader()->hide();
  PlanGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  PlanGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  PlanGrid->setWordWrap(false);
  PlanGrid->setMouseTracking(true);
  PlanGrid->verticalHeader()->setDefaultSectionSize(20);
  PlanGrid->setStyleSheet(QString("QTableView::item:selected { background: %1; color: white; }")
                              .arg(ColorFromBgr(kSelected).name()));
  PlanGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  PlanGrid->viewport()->installEventFilter(this);
  outer->addWidget(PlanGrid, 1);

  GridMenu = new QMenu(this);
  GridMenu->addAction(ToQString("aktive Zelle enth\xE4lt ... (Bereichsdefinition)"), this,
                      [this] { DefineCurrentCell(); });
  GridMenu->addAction(ToQString("Alle Bereichsdefinitionen entfernen"), this,
                      [this] { ClearDefinitions(); });
  GridMenu->addAction(ToQString("Zelle kopieren"), this, [this] { CopyCurrentCell(); });
  connect(PlanGrid, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { GridMenu->popup(PlanGrid->viewport()->mapToGlobal(at)); });

  connect(OpenFileBtn, &QPushButton::clicked, this, [this] {
    const std::string file = ChooseFile(false, T(4), "", TableFileName);
    if (!file.empty()) LoadPlanTable(file);
  });
  connect(OfficeBtn, &QPushButton::clicked, this, [this] { ReadOpenOfficeSheet(); });
  connect(ContinueBtn, &QPushButton::clicked, this, [this] { ShowPlanStep(2); });
  connect(ImportBtn, &QPushButton::clicked, this, [this] { ExecutePlanImport(); });
  connect(SystemCombo, &QComboBox::currentIndexChanged, this,
          [this] { RefreshPlanBuildingCombo(); });
  TranslateForm(this);
}

TImportPlanForm::~TImportPlanForm() = default;

bool TImportPlanForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == PlanGrid->viewport()) {
    if (event->type() == QEvent::MouseButtonPress) {
      auto* me = static_cast<QMouseEvent*>(event);
      if (me->button() == Qt::RightButton) {
        const QModelIndex at = PlanGrid->indexAt(me->position().toPoint());
        if (at.isValid()) PlanGrid->setCurrentIndex(at);
      }
    } else if (event->type() == QEvent::Wheel) {
      if (PlanGrid->currentIndex().isValid() && PlanGrid->currentIndex().row() == 0) return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

std::string TImportPlanForm::ChooseFile(bool save, const std::string& title,
                                        const std::string& filter, const std::string& current) {
  QFileDialog dialog(this, ToQString(title));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!filter.empty()) {
    dialog.setNameFilters({ToQString(filter), QStringLiteral("all files (*)")});
    dialog.setDefaultSuffix("pis");
  } else {
    dialog.setNameFilters({ToQString(T(4)) + " (*.xls *.xlsx *.ods *.dbf *.csv *.txt)",
                           QStringLiteral("all files (*)")});
  }
  if (!current.empty()) dialog.selectFile(ToQString(current));
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
  return FromQString(dialog.selectedFiles().front());
}

void TImportPlanForm::ResetPlanFields() {
  rec_.Reset();
  OptionsPanel->setMaximumHeight(1);
}

void TImportPlanForm::PreparePlanDialog() {
  grid_.Clear();
  grid_.SetColCount(6);
  grid_.SetRowCount(40);
  rec_ = TPlanRecognition();
  rec_.matrix = TPlanMatrix();
  model_->Refresh();
  ShowPlanStep(0);
  FillPlanSystemCombo();
  RefreshPlanBuildingCombo();
  ImportBtn->setEnabled(false);
  OfficeBtn->setFocus();
}

void TImportPlanForm::ShowPlanStep(int step) {
  step_ = step;
  InfoLabel->setText(ToQString(T(step == 0 ? 1 : step == 1 ? 2 : 3)));
  ContinueBtn->setVisible(step == 1);
  Paint(InfoPanel, step == 2 ? kNone : kLightGreen);
  Paint(FilePanel, kNone);
  Paint(OptionsPanel, step == 2 ? kLightGreen : kNone);
  OptionsPanel->setMaximumHeight(step == 2 ? QWIDGETSIZE_MAX : 1);
  OptionsPanel->setMinimumHeight(step == 2 ? optionsHeight_ : 0);
  if (layout()) layout()->activate();
}

void TImportPlanForm::SetFieldCaptions() {
  const std::vector<std::string> cols = PlanColumnFieldCaptions();
  const std::vector<std::string> rows = PlanRowFieldCaptions();
  for (int i = 0; i < kPlanColumnFieldCount; ++i) model_->ColumnCaptions[i] = cols[i];
  for (int i = 0; i < kPlanRowFieldCount; ++i) model_->RowCaptions[i] = rows[i];
}

void TImportPlanForm::FillPlanSystemCombo() {
  if (!WinGlue().LockingSystemsBuilt) BuildLockingSystemList();
  TQStringList list = LockingSystemList();
  if (list.Count() > 1) list.Delete(0);
  if (list.Count() == 0) list.AddObject("-", 0);
  RefillComboKeepId(SystemCombo, list);
  if (SystemCombo->currentIndex() < 0 && SystemCombo->count() > 0) SystemCombo->setCurrentIndex(0);
}

void TImportPlanForm::RefreshPlanBuildingCombo() {
  const int32_t system = GetComboObjectId(SystemCombo, 0);
  if (system == 0) {
    BuildingCombo->clear();
    return;
  }
  const int32_t keep = GetComboObjectId(BuildingCombo, 0);
  TItemList ids;
  if (TMiniDB* db = GlueDB()) db->ListClassValid(icBuilding, ids);
  FillListFromItemList(BuildingCombo, ids, true, keep);
  if (rec_.Col(pcfBuilding) < 1) {
    if (GetComboObjectId(BuildingCombo, 0) == 0 && BuildingCombo->count() > 1)
      BuildingCombo->setCurrentIndex(1);
  } else if (BuildingCombo->count() > 0) {
    BuildingCombo->setItemText(0, ToQString(T(10)));
    if (BuildingCombo->currentIndex() < 0) BuildingCombo->setCurrentIndex(0);
  }
}

void TImportPlanForm::SetWords(const TPlanWords& words) { words_ = words; }

bool TImportPlanForm::LoadPlanTable(const std::string& fileName) {
  std::unique_ptr<TWaitPanel> wait(ShowWaitPanel(this, T(11)));
  QApplication::processEvents();
  std::string textFile = fileName;
  bool temporary = false;
  if (TableReaderKindOf(fileName) != TTableReaderKind::None) {
    if (!SpreadsheetReadable(fileName)) {
      ShowError(T(5) + "\r" + fileName);
      return false;
    }
    if (!ReadSpreadsheetFile(fileName, textFile)) textFile.clear();
    temporary = true;
  }
  if (textFile.empty()) {
    ShowError(T(5) + "\r" + fileName);
    return false;
  }
  std::vector<std::string> lines;
  const bool read = ReadImportTextFile(textFile, lines, '\x0b');
  if (temporary) DeleteTempFile(textFile);
  if (!read) {
    ShowError(T(5) + "\r" + textFile);
    return false;
  }
  SharedPlanDefs().Table = fileName;
  TableFileName = fileName;
  CsvLinesToTabLines(lines);
  FillPlanGrid(grid_, lines);
  wait.reset();
  RecognisePlan();
  return true;
}

void TImportPlanForm::ReadOpenOfficeSheet() {
  OfficeBtn->setEnabled(false);
  // This program does not reach into a running office program: there is never a sheet.
  std::unique_ptr<TReadTable> reader = CreateTableReader();
  bool loaded = false;
  if (reader) {
    const std::string temp = CreateTempFile();
    const std::string previous = SharedPlanDefs().Table;
    if (reader->SaveAsText(temp)) {
      loaded = LoadPlanTable(temp);
      SharedPlanDefs().Table = previous;
    }
    reader->CloseFile(false);
    DeleteTempFile(temp);
  }
  if (!loaded) ShowError(ExcelReadText(1));
  OfficeBtn->setEnabled(true);
}

void TImportPlanForm::RecognisePlan() {
  const bool recognised = RecognisePlanTable(grid_, SharedPlanDefs(), words_, rec_);
  ImportBtn->setEnabled(recognised);
  if (recognised) RefreshPlanBuildingCombo();
  model_->Refresh();
  PlanGrid->resizeColumnsToContents();
  for (int c = 0; c < grid_.ColCount(); ++c)
    if (PlanGrid->columnWidth(c) > 200) PlanGrid->setColumnWidth(c, 200);
  ShowPlanStep(1);
}

void TImportPlanForm::LoadDefinitions() {
  const std::string file =
      ChooseFile(false, T(12), "PIS (*.pis)", DefsOpenFileName.empty() ? SharedPlanDefs().Path
                                                                      : DefsOpenFileName);
  if (file.empty()) return;
  TIndiDefList loaded;
  if (!LoadIndiDefs(loaded, file)) {
    ShowError(T(5));
    return;
  }
  loaded.Path = file;
  loaded.Table = SharedPlanDefs().Table;
  loaded.Modified = true;
  SharedPlanDefs() = loaded;
  DefsSaveFileName = file;
  RecognisePlan();
}

void TImportPlanForm::SaveDefinitions() {
  const std::string file = ChooseFile(true, T(13), "PIS (*.pis)", DefsSaveFileName);
  if (file.empty()) return;
  TIndiDefList& defs = SharedPlanDefs();
  defs.Path.clear();
  if (!SaveIndiDefs(defs, file)) {
    ShowError(T(6));
    return;
  }
  defs.Path = file;
  defs.Modified = true;  // the data folder's copy learns the new path
  DefsOpenFileName = file;
}

void TImportPlanForm::ClearDefinitions() {
  if (AskYesCancel(T(7)) != mrYes) return;
  SharedPlanDefs().Clear();
  SharedPlanDefs().Modified = true;
  RecognisePlan();
}

void TImportPlanForm::DefineCurrentCell() {
  const QModelIndex at = PlanGrid->currentIndex();
  if (!at.isValid()) return;
  if (ImportPlanDefineCell(grid_, at.column(), at.row())) RecognisePlan();
}

void TImportPlanForm::CopyCurrentCell() {
  const QModelIndex at = PlanGrid->currentIndex();
  if (!at.isValid()) return;
  const std::string text = grid_.Cell(at.column(), at.row());
  if (!text.empty()) QApplication::clipboard()->setText(ToQString(text));
}

void TImportPlanForm::ExecutePlanImport() {
  TMiniDB* db = GlueDB();
  if (!db) return;
  TPlanImportOptions o;
  o.namingMode = std::max(0, NamingCombo->currentIndex());
  o.addCounts = AddCountsCheck->isChecked();
  o.ignoreZero = IgnoreZeroCheck->isChecked();
  o.seekByPosition = SeekByPositionCheck->isChecked();
  o.reportNew = ReportNewCheck->isChecked();
  o.keySystem = GetComboObjectId(SystemCombo, 0);
  if (o.keySystem == 0) o.keySystem = 1;
  o.building = GetComboObjectId(BuildingCombo, 0);
  setEnabled(false);
  std::unique_ptr<TWaitPanel> wait(ShowWaitPanel(PlanGrid, T(11), T(14)));
  TWaitPanel* panel = wait.get();
  if (WinGlue().PageControl) WinGlue().PageControl->setVisible(false);
  const TPlanImportReport report =
      RunPlanImportRows(*db, grid_, rec_, o, [panel](int64_t done, int64_t total) {
        panel->SetMax(static_cast<int>(total));
        panel->SetPosition(static_cast<int>(done));
        QApplication::processEvents();
        return !panel->Cancelled();
      });
  wait.reset();
  if (WinGlue().PageControl) WinGlue().PageControl->setVisible(true);
  setEnabled(true);
  if (report.result == TPlanSheetResult::Done) {
    RefreshAllFrames();
    accept();
  }
}

// =======================================================================================
// Entry points.

bool LoadPlanWords(TPlanWords& words) {
  static bool loaded = false;
  static TPlanWords shared;
  if (!loaded) {
    const std::string file = GetProgramFolder() + "System/LockingPlan.lng";
    if (!shared.LoadFile(file, MLSystem().CurrentLanguage())) {
      ShowError(T(8) + "\r" + file);
      return false;
    }
    loaded = true;
  }
  words = shared;
  return true;
}

bool RunPlanImport() {
  TPlanWords words;
  if (!LoadPlanWords(words)) return false;
  TIndiDefList& defs = PlanDefsOfClient();
  static QPointer<TImportPlanForm> form;
  if (!form) form = new TImportPlanForm(QApplication::activeWindow());
  form->SetWords(words);
  // The help page lives below the maker's address, a program setting; without it, no help.
  form->HelpAction->setEnabled(!ReadSettingStr(0, "HelpAddress").empty());
  form->DefsOpenFileName = defs.Path;
  form->TableFileName = defs.Table;
  form->PreparePlanDialog();
  form->SetFieldCaptions();
  form->setWindowState(form->windowState() | Qt::WindowMaximized);
  const bool ran = ExecModal(*form) == QDialog::Accepted;
  SaveIndiDefsWhenModified(defs, DefsFileOfClient(), MandantState().ReadOnlyMode);
  form->PreparePlanDialog();
  form->ResetPlanFields();
  return ran;
}

TImportXmlForm::TImportXmlForm(QWidget* parent)
    : QFileDialog(parent, ToQString(ImportXmlText(8))) {
  setObjectName("ImportXmlForm");
  setOption(QFileDialog::DontUseNativeDialog, true);
  setFileMode(QFileDialog::ExistingFile);
  setNameFilters({QStringLiteral("XML  (*.xml)"), QStringLiteral("all files (*)")});
}

bool ExecuteXmlImport(const std::function<int32_t()>& chooseSystem) {
  TMiniDB* db = GlueDB();
  if (!db) return false;
  TImportXmlForm dialog(QApplication::activeWindow());
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  const std::string file = FromQString(dialog.selectedFiles().front());
  const int32_t code = chooseSystem ? chooseSystem() : 1;
  if (code == 0) return false;
  const std::string bytes = ReadFirstBytes(file, TMerivanXmlFile::kMaxTextBytes + 1);
  if (bytes.empty()) {
    ShowError(ImportXmlText(2));
    return false;
  }
  QWidget* host = WinGlue().MainWindow ? WinGlue().MainWindow.data() : QApplication::activeWindow();
  std::unique_ptr<TWaitPanel> wait(host ? ShowWaitPanel(host, ImportXmlText(1), T(14)) : nullptr);
  TWaitPanel* panel = wait.get();
  if (WinGlue().PageControl) WinGlue().PageControl->setVisible(false);
  const std::string journalFolder;
  const bool ran = ImportXmlBytes(
      *db, bytes, code,
      [panel](const std::string& text) {
        if (panel) panel->TextLabel()->setText(ToQString(text));
        QApplication::processEvents();
      },
      [panel](int64_t done, int64_t total) {
        if (panel) {
          panel->SetMax(static_cast<int>(total));
          panel->SetPosition(static_cast<int>(done));
        }
        QApplication::processEvents();
        return !panel || !panel->Cancelled();
      },
      &journalFolder);
  wait.reset();
  if (WinGlue().PageControl) WinGlue().PageControl->setVisible(true);
  RefreshAllFrames();
  return ran;
}
