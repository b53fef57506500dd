#include "import/widgets/ImportUnit.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/GlueStateUnit.h"
#include "app/ListFillUnit.h"
#include "app/UnitTR100Win.h"
#include "app/ViewRegistryUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/FieldCatalogueUnit.h"
#include "data/StockUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "import/ExcelReadUnit.h"
#include "import/widgets/ConcatCellsForm.h"
#include "import/widgets/ImportTableModel.h"
#include "output/CsvOrExcelUnit.h"

namespace {

// The persons' default columns: name, department, number, building, remark.
constexpr const char* kPersonsDefaultFields = "166;169;170;171;172";
constexpr std::uint32_t kSelectedMarkedColor = 0xFF0000;  // blue, as a BGR value
constexpr std::uint32_t kFixedRowColor = 0xD0D0D0;        // as the button bars
constexpr int kMaxColumnWidth = 300;

// A marked cell stays visible when selected: blue instead of the selection colour. The
// fixed rows (captions, the file's own header line) look like a grid's fixed rows.
class TMarkedCellDelegate : public QStyledItemDelegate {
 public:
  TMarkedCellDelegate(const TImportTable* table, QObject* parent)
      : QStyledItemDelegate(parent), table_(table) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem o(option);
    if ((o.state & QStyle::State_Selected) &&
        index.data(TImportTableModel::MarkRole).toInt() != 0) {
      o.palette.setColor(QPalette::Highlight, ColorFromBgr(kSelectedMarkedColor));
      o.palette.setColor(QPalette::HighlightedText, Qt::white);
    }
    if (index.row() < table_->FixedRows()) {
      painter->fillRect(o.rect, ColorFromBgr(kFixedRowColor));
      if (index.row() == 0) o.font.setBold(true);
    }
    o.textElideMode = Qt::ElideRight;
    QStyledItemDelegate::paint(painter, o, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem o(option);
    if (index.row() == 0) o.font.setBold(true);
    return QStyledItemDelegate::sizeHint(o, index);
  }

 private:
  const TImportTable* table_;
};

TKeySystemChooser& Chooser() {
  static TKeySystemChooser chooser;
  return chooser;
}

// The main window owns the dialog and deletes it with itself; the pointer then clears.
QPointer<TImportForm>& FormHolder() {
  static QPointer<TImportForm> form;
  return form;
}

void AddEntry(QListWidget* list, const TImportColumn& column) {
  auto* item = new QListWidgetItem(ToQString(column.caption), list);
  item->setData(Qt::UserRole, column.object);
}

TImportColumn EntryOf(const QListWidgetItem* item) {
  return {FromQString(item->text()), item->data(Qt::UserRole).toInt()};
}

QFileDialog* MakeFileDialog(QWidget* parent, const char* name, bool save) {
  auto* dialog = new QFileDialog(parent);
  dialog->setObjectName(name);
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (!save) dialog->setFileMode(QFileDialog::ExistingFile);
  return dialog;
}

// A filter of the form "Title (.a .b)|*.a;*.b|..." as the dialog's name filters.
QStringList NameFilters(const std::string& filter) {
  QStringList out;
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string masks = parts[i + 1];
    for (char& c : masks)
      if (c == ';') c = ' ';
    std::string title = parts[i];
    const size_t paren = title.find(" (");
    if (paren != std::string::npos) title.resize(paren);
    out << ToQString(title + " (" + masks + ")");
  }
  return out;
}

std::string ChosenFile(QFileDialog& dialog) {
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
  return FromQString(dialog.selectedFiles().first());
}

std::string ExtensionUpper(const std::string& fileName) {
  const size_t dot = fileName.find_last_of('.');
  const size_t slash = fileName.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return AnsiUpperCase(fileName.substr(dot));
}

}  // namespace

TImportForm::TImportForm(QWidget* parent) : QDialog(parent) {
  setObjectName("ImportForm");
  setWindowTitle(ToQString("Tabelle importieren"));
  setWindowFlag(Qt::WindowMinimizeButtonHint, true);
  resize(1000, 640);
  auto* outer = new QVBoxLayout(this);

  MainMenu = new QMenuBar(this);
  MainMenu->setObjectName("MainMenu");
  outer->setMenuBar(MainMenu);
  QMenu* file = MainMenu->addMenu(ToQString("Datei"));
  file->setObjectName("File1");
  auto action = [this](QMenu* menu, const char* name, const std::string& caption) {
    QAction* a = menu->addAction(ToQString(caption));
    a->setObjectName(name);
    return a;
  };
  OpenTable1 = action(file, "OpenTable1", "Tabelle laden ...");
  ReadExcel1 = action(file, "ReadExcel1",
                      "aus Office einlesen (ge\xF6"
                      "ffnetes Fenster) ...");
  file->addSeparator();
  LoadFields1 = action(file, "LoadFields1", "Felder-Zuordnung laden ...");
  SaveFields1 = action(file, "SaveFields1", "Felder-Zuordnung speichern unter ...");
  file->addSeparator();
  ConcatCells1 = action(file, "ConcatCells1", "Tabellenzellen verbinden ...");
  ConcatCells1->setEnabled(false);
  ImportBigKey1 = action(file, "ImportBigKey1", "Big-Key importieren ...");
  file->addSeparator();
  Close1 = action(file, "Close1",
                  "Schlie\xDF"
                  "en");
  QMenu* options = MainMenu->addMenu(ToQString("Optionen"));
  options->setObjectName("Options1");
  auto check = [&](const char* name, const std::string& caption, bool on) {
    QAction* a = action(options, name, caption);
    a->setCheckable(true);
    a->setChecked(on);
    return a;
  };
  canCreateHouses1 = check("canCreateHouses1", "Geb\xE4ude erzeugen", true);
  canCreateDoors1 = check("canCreateDoors1", "T\xFCren erzeugen", true);
  RemoveUnlistedPersons1 =
      check("RemoveUnlistedPersons1",
            "gespeicherte Personen l\xF6schen, falls nicht in Import-Liste enthalten", false);
  overwriteDoors1 = check("overwriteDoors1",
                          "vorhandene T\xFCren \xFC"
                          "berschreiben, die keinem Geb\xE4ude "
                          "zugeordnet sind",
                          false);

  // The file row.
  auto* fileRow = new QHBoxLayout;
  OpenBtn = new QPushButton(ToQString("Datei \xF6"
                                      "ffnen ..."),
                            this);
  OpenBtn->setObjectName("OpenBtn");
  FnEd = new QLineEdit(this);
  FnEd->setObjectName("FnEd");
  FnEd->setReadOnly(true);
  HeadlinesCheck = new QCheckBox(ToQString("die 1. Zeile in der Datei enth\xE4lt \xDC"
                                           "berschriften"),
                                 this);
  HeadlinesCheck->setObjectName("HeadlinesCheck");
  HeadlinesCheck->setChecked(true);
  fileRow->addWidget(OpenBtn);
  fileRow->addWidget(FnEd, 1);
  fileRow->addWidget(HeadlinesCheck);
  outer->addLayout(fileRow);

  auto* body = new QHBoxLayout;
  outer->addLayout(body, 1);

  // The grid.
  GridPanel = new QWidget(this);
  GridPanel->setObjectName("GridPanel");
  auto* gridLayout = new QVBoxLayout(GridPanel);
  gridLayout->setContentsMargins(0, 0, 0, 0);
  Grid = new QTableView(GridPanel);
  Grid->setObjectName("Grid");
  model_ = new TImportTableModel(&table_, this);
  Grid->setModel(model_);
  Grid->setItemDelegate(new TMarkedCellDelegate(&table_, Grid));
  Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Grid->horizontalHeader()->setSectionsMovable(false);
  Grid->horizontalHeader()->hide();
  Grid->verticalHeader()->hide();
  Grid->setWordWrap(false);
  gridLayout->addWidget(Grid);
  body->addWidget(GridPanel, 3);

  // The mapping.
  auto* side = new QGridLayout;
  body->addLayout(side, 2);
  int row = 0;
  auto label = [&](const char* name, const std::string& caption) {
    auto* l = new QLabel(ToQString(caption), this);
    l->setObjectName(name);
    side->addWidget(l, row, 0);
  };
  label("ContentLabel", "Inhalt der Tabelle");
  TableContentCombo = new QComboBox(this);
  TableContentCombo->setObjectName("TableContentCombo");
  side->addWidget(TableContentCombo, row++, 1, 1, 2);
  label("KeysystemLabel", "Schlie\xDF"
                          "anlage");
  KeysystemCombo = new QComboBox(this);
  KeysystemCombo->setObjectName("KeysystemCombo");
  side->addWidget(KeysystemCombo, row++, 1, 1, 2);
  label("HouseLabel", "Geb\xE4ude");
  HouseCombo = new QComboBox(this);
  HouseCombo->setObjectName("HouseCombo");
  side->addWidget(HouseCombo, row++, 1, 1, 2);
  label("DateFormatLabel", "Datumsformat");
  DateFormatCombo = new QComboBox(this);
  DateFormatCombo->setObjectName("DateFormatCombo");
  side->addWidget(DateFormatCombo, row++, 1, 1, 2);

  label("StockLabel", "verf\xFCgbare Felder");
  auto* goodLabel = new QLabel(ToQString("Spalten der Tabelle (in Reihenfolge)"), this);
  goodLabel->setObjectName("GoodLabel");
  side->addWidget(goodLabel, row++, 2);
  StockBox = new QListWidget(this);
  StockBox->setObjectName("StockBox");
  GoodBox = new QListWidget(this);
  GoodBox->setObjectName("GoodBox");
  auto* moves = new QVBoxLayout;
  AddBtn = new QPushButton(ToQString(">>"), this);
  AddBtn->setObjectName("AddBtn");
  DelBtn = new QPushButton(ToQString("<<"), this);
  DelBtn->setObjectName("DelBtn");
  UpBtn = new QToolButton(this);
  UpBtn->setObjectName("UpBtn");
  UpBtn->setArrowType(Qt::UpArrow);
  DownBtn = new QToolButton(this);
  DownBtn->setObjectName("DownBtn");
  DownBtn->setArrowType(Qt::DownArrow);
  moves->addStretch();
  moves->addWidget(AddBtn);
  moves->addWidget(DelBtn);
  moves->addWidget(UpBtn);
  moves->addWidget(DownBtn);
  moves->addStretch();
  side->addWidget(StockBox, row, 0);
  side->addLayout(moves, row, 1);
  side->addWidget(GoodBox, row++, 2);
  side->setRowStretch(row - 1, 1);

  auto* runs = new QHBoxLayout;
  CheckBtn = new QPushButton(ToQString("Pr\xFC"
                                       "fen"),
                             this);
  CheckBtn->setObjectName("CheckBtn");
  ImportBtn = new QPushButton(ToQString("Import ausf\xFChren"), this);
  ImportBtn->setObjectName("ImportBtn");
  // Bold when they are the next step: room for the bold caption.
  for (QPushButton* b : {CheckBtn, ImportBtn, OpenBtn}) {
    QFont bold = b->font();
    bold.setBold(true);
    b->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(b->text()) + 24);
  }
  runs->addStretch();
  runs->addWidget(CheckBtn);
  runs->addWidget(ImportBtn);
  side->addLayout(runs, row++, 0, 1, 3);

  connect(OpenTable1, &QAction::triggered, this, [this] { OpenBtnClick(); });
  connect(ReadExcel1, &QAction::triggered, this, [this] { ReadExcel1Click(); });
  connect(LoadFields1, &QAction::triggered, this, [this] { LoadFields1Click(); });
  connect(SaveFields1, &QAction::triggered, this, [this] { SaveFields1Click(); });
  connect(ConcatCells1, &QAction::triggered, this, [this] { ConcatCells1Click(); });
  connect(ImportBigKey1, &QAction::triggered, this, [this] { ImportBigKey1Click(); });
  connect(Close1, &QAction::triggered, this, [this] { Close1Click(); });
  connect(OpenBtn, &QPushButton::clicked, this, [this] { OpenBtnClick(); });
  connect(HeadlinesCheck, &QCheckBox::clicked, this, [this] { HeadlinesCheckClick(); });
  connect(TableContentCombo, &QComboBox::activated, this, [this] { TableContentComboChange(); });
  connect(KeysystemCombo, &QComboBox::activated, this, [this] { KeysystemComboChange(); });
  connect(StockBox, &QListWidget::itemSelectionChanged, this, [this] { StockBoxClick(); });
  connect(GoodBox, &QListWidget::itemSelectionChanged, this, [this] { GoodBoxClick(); });
  connect(StockBox, &QListWidget::itemDoubleClicked, this, [this] { AddBtnClick(); });
  connect(GoodBox, &QListWidget::itemDoubleClicked, this, [this] { DelBtnClick(); });
  connect(AddBtn, &QPushButton::clicked, this, [this] { AddBtnClick(); });
  connect(DelBtn, &QPushButton::clicked, this, [this] { DelBtnClick(); });
  connect(UpBtn, &QToolButton::clicked, this, [this] { UpDownClick(true); });
  connect(DownBtn, &QToolButton::clicked, this, [this] { UpDownClick(false); });
  connect(CheckBtn, &QPushButton::clicked, this, [this] { CheckBtnClick(); });
  connect(ImportBtn, &QPushButton::clicked, this, [this] { ImportBtnClick(); });
  CheckBtn->setEnabled(false);
  ImportBtn->setEnabled(false);
  UpdateButtons();
  TranslateForm(this);
}

TImportForm::~TImportForm() = default;

QFileDialog& TImportForm::TableOpenDialog() {
  if (!tableDialog_) {
    tableDialog_.reset(MakeFileDialog(this, "OpenDialog", false));
    tableDialog_->setWindowTitle(ToQString(ImportText(13)));
    tableDialog_->setNameFilters(
        NameFilters(SpreadsheetOpenFilter(ImportText(14), ImportText(12), "*.ipo")));
  }
  return *tableDialog_;
}

QFileDialog& TImportForm::FieldsOpenDialog() {
  if (!fieldsOpenDialog_) {
    fieldsOpenDialog_.reset(MakeFileDialog(this, "FieldsOpenDialog", false));
    fieldsOpenDialog_->setWindowTitle(ToQString(ImportText(22)));
    fieldsOpenDialog_->setNameFilter(ToQString(ImportText(12) + " (*.ipo)"));
    fieldsOpenDialog_->setDefaultSuffix(QStringLiteral("ipo"));
  }
  return *fieldsOpenDialog_;
}

QFileDialog& TImportForm::FieldsSaveDialog() {
  if (!fieldsSaveDialog_) {
    fieldsSaveDialog_.reset(MakeFileDialog(this, "FieldsSaveDialog", true));
    fieldsSaveDialog_->setWindowTitle(ToQString(ImportText(21)));
    fieldsSaveDialog_->setNameFilter(ToQString(ImportText(12) + " (*.ipo)"));
    fieldsSaveDialog_->setDefaultSuffix(QStringLiteral("ipo"));
  }
  return *fieldsSaveDialog_;
}

void TImportForm::SetBold(QPushButton* button, bool bold) {
  QFont font = button->font();
  font.setBold(bold);
  button->setFont(font);
}

void TImportForm::FillContentCombo() {
  const int previous =
      TableContentCombo->currentIndex() > 0 ? TableContentCombo->currentData().toInt() : -1;
  TableContentCombo->clear();
  TableContentCombo->addItem(ToQString(ImportText(8)));
  for (int cls : ImportContentClasses())
    TableContentCombo->addItem(ToQString(ImportContentCaption(cls)), cls);
  const int at = previous > 0 ? TableContentCombo->findData(previous) : -1;
  TableContentCombo->setCurrentIndex(at > 0 ? at : 0);
}

void TImportForm::FillHouseCombo() {
  const int32_t selected = HouseCombo->currentIndex() >= 0 ? HouseCombo->currentData().toInt() : 0;
  const int32_t system =
      KeysystemCombo->currentIndex() >= 0 ? KeysystemCombo->currentData().toInt() : 0;
  FillComboWithBuildings(HouseCombo, selected, system > 0 && system != ksAll ? system : 0);
  HouseCombo->insertItem(0, ToQString(ImportText(11)), 0);
  const int at = selected != 0 ? HouseCombo->findData(selected) : -1;
  HouseCombo->setCurrentIndex(at > 0 ? at : 0);
}

bool TImportForm::Prepare(bool batch) {
  // Unattended, a missing catalogue goes to the error log instead of a message box.
  if (!LoadFieldCatalogue(batch)) return false;
  FillLockingSystemCombo(KeysystemCombo, true);
  FillHouseCombo();
  FillContentCombo();
  if (DateFormatCombo->count() == 0) {
    for (const std::string& f : ImportDateFormats()) DateFormatCombo->addItem(ToQString(f));
    // The second format is the one preselected.
    DateFormatCombo->setCurrentIndex(kImportDefaultDateFormat);
  }
  HeadlinesCheckClick();
  CheckBtn->setEnabled(false);
  ImportBtn->setEnabled(false);
  SetBold(OpenBtn, true);
  OpenBtn->setFocus();
  return true;
}

void TImportForm::FreeTable() {
  table_.Clear();
  model_->Refresh();
  loaded_ = false;
  ConcatCells1->setEnabled(false);
  FnEd->clear();
  CheckBtn->setEnabled(false);
  ImportBtn->setEnabled(false);
}

TImportSettings TImportForm::Settings() const {
  TImportSettings s;
  s.dataFileName = FromQString(FnEd->text());
  s.headlines = HeadlinesCheck->isChecked();
  s.dateFormat = FromQString(DateFormatCombo->currentText());
  s.contentClass =
      TableContentCombo->currentIndex() > 0 ? TableContentCombo->currentData().toInt() : 0;
  s.keySystemId = KeysystemCombo->currentIndex() >= 0 ? KeysystemCombo->currentData().toInt() : 0;
  if (s.keySystemId == ksAll) s.keySystemId = 0;
  s.buildingId = HouseCombo->currentIndex() >= 0 ? HouseCombo->currentData().toInt() : 0;
  s.createBuildings = canCreateHouses1->isChecked();
  s.createDoors = canCreateDoors1->isChecked();
  s.removeUnlistedPersons = RemoveUnlistedPersons1->isChecked();
  s.overwriteDoors = overwriteDoors1->isChecked();
  for (int i = 0; i < GoodBox->count(); ++i) s.columns.push_back(EntryOf(GoodBox->item(i)));
  return s;
}

void TImportForm::ShowSettings(const TImportSettings& s) {
  const int cls = TableContentCombo->findData(s.contentClass);
  TableContentCombo->setCurrentIndex(s.contentClass > 0 && cls > 0 ? cls : 0);
  StockBox->clear();
  for (const TImportColumn& c : ImportStockColumns(s.contentClass)) AddEntry(StockBox, c);
  SelectComboObject(KeysystemCombo, s.keySystemId);
  FillHouseCombo();
  const int house = HouseCombo->findData(s.buildingId);
  HouseCombo->setCurrentIndex(house > 0 ? house : 0);
  const int date = DateFormatCombo->findText(ToQString(s.dateFormat));
  if (date >= 0) DateFormatCombo->setCurrentIndex(date);
  HeadlinesCheck->setChecked(s.headlines);
  canCreateHouses1->setChecked(s.createBuildings);
  canCreateDoors1->setChecked(s.createDoors);
  RemoveUnlistedPersons1->setChecked(s.removeUnlistedPersons);
  overwriteDoors1->setChecked(s.overwriteDoors);
  GoodBox->clear();
  for (const TImportColumn& c : s.columns) AddEntry(GoodBox, c);
  RefreshCaptions();
  UpdateButtons();
}

void TImportForm::RefreshCaptions() {
  std::vector<TImportColumn> columns;
  for (int i = 0; i < GoodBox->count(); ++i) columns.push_back(EntryOf(GoodBox->item(i)));
  LayoutImportCaptions(table_, columns);
  model_->Refresh();
  Grid->resizeColumnsToContents();
  for (int c = 0; c < table_.ColCount(); ++c)
    if (Grid->columnWidth(c) > kMaxColumnWidth) Grid->setColumnWidth(c, kMaxColumnWidth);
}

void TImportForm::UpdateButtons() {
  AddBtn->setEnabled(StockBox->currentItem() != nullptr && StockBox->currentItem()->isSelected());
  const bool good = GoodBox->currentItem() != nullptr && GoodBox->currentItem()->isSelected();
  DelBtn->setEnabled(good);
  UpBtn->setEnabled(good);
  DownBtn->setEnabled(good);
}

void TImportForm::MappingChanged() {
  RefreshCaptions();
  CheckBtn->setEnabled(loaded_ && GoodBox->count() > 0);
  ImportBtn->setEnabled(false);
  UpdateButtons();
}

bool TImportForm::LoadTableFile(const std::string& fileName, bool batch) {
  ShowWaitDefault();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::vector<TImportColumn> columns;
  for (int i = 0; i < GoodBox->count(); ++i) columns.push_back(EntryOf(GoodBox->item(i)));
  const bool ok = ::LoadTableFile(table_, fileName, batch, HeadlinesCheck->isChecked(), columns);
  QApplication::restoreOverrideCursor();
  HideWaitText();
  if (!ok) return false;
  loaded_ = true;
  ConcatCells1->setEnabled(true);
  FnEd->setText(ToQString(fileName));
  RefreshCaptions();
  CheckBtn->setEnabled(GoodBox->count() > 0);
  SetBold(CheckBtn, GoodBox->count() > 0);
  ImportBtn->setEnabled(false);
  SetBold(OpenBtn, false);
  return true;
}

bool TImportForm::LoadImportProfile(const std::string& fileName, bool withoutAsking, bool batch) {
  TImportProfileValues values;
  if (!ReadImportProfile(fileName, values)) {
    if (batch)
      LogFileLoadError(fileName);
    else
      ShowError(ImportText(4) + "\r" + fileName);
    return false;
  }
  TImportSettings s = Settings();
  ApplyImportProfile(values, s);
  ShowSettings(s);
  bool result = true;
  std::string data = Trim(values.Get("DataFileName"));
  if (!data.empty()) {
    if (withoutAsking || batch || AskYesNo(ImportText(6) + "\r" + data) == mrYes) {
      const size_t slash = fileName.find_last_of('/');
      if (slash != std::string::npos) MakeAbsolutePath(fileName.substr(0, slash + 1), data);
      result = LoadTableFile(data, batch);
    }
  }
  HeadlinesCheckClick();
  CheckBtn->setEnabled(GoodBox->count() > 0 && loaded_);
  ImportBtn->setEnabled(false);
  profileName_ = fileName;
  FieldsSaveDialog().selectFile(ToQString(fileName));
  return result;
}

bool TImportForm::RunProfileShown(const std::string& profileFile, bool batch) {
  TProfileRunView view;
  view.table = &table_;
  view.show = [this](const TImportSettings& settings) {
    ShowSettings(settings);
    loaded_ = true;
    ConcatCells1->setEnabled(true);
    FnEd->setText(ToQString(settings.dataFileName));
    HeadlinesCheckClick();
    RefreshCaptions();
    CheckBtn->setEnabled(GoodBox->count() > 0);
    ImportBtn->setEnabled(false);
    UI().ProcessPendingEvents();
  };
  return RunProfileImport(profileFile, batch, view);
}

bool TImportForm::SaveImportProfile(const std::string& fileName) {
  return ::SaveImportProfile(fileName, Settings());
}

void TImportForm::OpenBtnClick() {
  if (loaded_ && AskYesCancel(ImportText(7)) != mrYes) return;
  const std::string file = ChosenFile(TableOpenDialog());
  if (file.empty()) return;
  if (ExtensionUpper(file) == ".IPO")
    LoadImportProfile(file, false, false);
  else
    LoadTableFile(file, false);
}

void TImportForm::ReadExcel1Click() {
  const std::string question =
      ImportText(15) + "\r" + ImportText(16) + "\r" + ImportText(17) + "\r" + ImportText(18);
  if (AskYesCancel(question) != mrYes) return;
  // This program never reaches into an office program the user has open.
  if (!CreateTableReader()) ShowError(ExcelReadText(1));
}

void TImportForm::LoadFields1Click() {
  const std::string file = ChosenFile(FieldsOpenDialog());
  if (!file.empty()) LoadImportProfile(file, false, false);
}

void TImportForm::SaveFields1Click() {
  const std::string file = ChosenFile(FieldsSaveDialog());
  if (file.empty()) return;
  if (!SaveImportProfile(file)) ShowError(ImportText(23) + "\r" + file);
}

bool TImportForm::RunEngine(bool dryRun, bool batch) {
  setEnabled(false);
  // Long runs show how far they are and may be cancelled (nothing is saved then); the
  // window answers meanwhile, a few times a second.
  QProgressDialog progress(ToQString(CoreText(7)), ToQString(MLTranslate("Abbrechen")), 0, 100,
                           this);
  progress.setObjectName("ImportProgress");
  progress.setWindowTitle(windowTitle());
  progress.setWindowModality(Qt::NonModal);
  progress.setMinimumDuration(500);
  progress.setAutoReset(false);
  progress.setValue(0);
  QElapsedTimer clock;
  clock.start();
  const bool ok =
      RunImportEngine(table_, Settings(), dryRun, batch, [&](int64_t done, int64_t total) {
        if (clock.elapsed() < 200) return !progress.wasCanceled();
        clock.restart();
        progress.setValue(total > 0 ? static_cast<int>(done * 100 / total) : 0);
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
      });
  progress.hide();
  setEnabled(true);
  model_->Refresh();
  return ok;
}

void TImportForm::CheckBtnClick() {
  if (!loaded_ || GoodBox->count() == 0) return;
  ImportBtn->setEnabled(RunEngine(true, false));
  SetBold(ImportBtn, ImportBtn->isEnabled());
  // The check shows what the import would change.
  if (const std::string summary = ImportCheckSummary(LastImportResult()); !summary.empty())
    ShowInfo(summary);
}

void TImportForm::ImportBtnClick() {
  if (!ImportBtn->isEnabled()) return;
  if (RunEngine(false, false)) accept();
}

void TImportForm::AddBtnClick() {
  QListWidgetItem* item = StockBox->currentItem();
  if (!item || !item->isSelected()) return;
  AddEntry(GoodBox, EntryOf(item));
  MappingChanged();
}

void TImportForm::DelBtnClick() {
  QListWidgetItem* item = GoodBox->currentItem();
  if (!item || !item->isSelected()) return;
  delete GoodBox->takeItem(GoodBox->row(item));
  GoodBox->clearSelection();
  MappingChanged();
}

void TImportForm::UpDownClick(bool up) {
  QListWidgetItem* item = GoodBox->currentItem();
  if (!item || !item->isSelected()) return;
  const int row = GoodBox->row(item);
  const int to = up ? row - 1 : row + 1;
  if (to < 0 || to >= GoodBox->count()) return;
  GoodBox->insertItem(to, GoodBox->takeItem(row));
  GoodBox->setCurrentRow(to);
  MappingChanged();
}

void TImportForm::StockBoxClick() { UpdateButtons(); }
void TImportForm::GoodBoxClick() { UpdateButtons(); }

void TImportForm::TableContentComboChange() {
  TImportSettings s = Settings();
  s.columns.clear();
  ShowSettings(s);
  MappingChanged();
}

void TImportForm::KeysystemComboChange() { FillHouseCombo(); }

void TImportForm::HeadlinesCheckClick() {
  table_.SetFixedRows(HeadlinesCheck->isChecked() ? 2 : 1);
  model_->Refresh();
}

void TImportForm::Close1Click() { reject(); }

void TImportForm::ConcatCells1Click() {
  if (!loaded_ || !ShowConcatCells(&table_, this)) return;
  // The columns stay as they were (the right-hand cell is kept), so the mapping still fits;
  // but the marks and a passed check were about the cells before the join.
  table_.ClearMarks();
  MappingChanged();
  SetBold(CheckBtn, CheckBtn->isEnabled());
  SetBold(ImportBtn, false);
}

void TImportForm::ImportBigKey1Click() {
  const TKeySystemChooser& choose = Chooser();
  const int32_t system = choose ? choose(CoreText(1)) : 0;
  if (system == 0) return;
  SelectComboObject(KeysystemCombo, system);
  FillHouseCombo();
  ShowInfo(ImportText(20));
  const std::string file = ChosenFile(TableOpenDialog());
  if (file.empty()) return;
  BigKeyFolder() = file.substr(0, file.find_last_of('/') + 1);
}

// ---------------------------------------------------------------------------------------

TImportForm& ImportForm() {
  auto& form = FormHolder();
  if (!form) form = new TImportForm(WinGlue().MainWindow.data());
  return *form;
}

void FreeImportForm() {
  delete FormHolder().data();
  FormHolder() = nullptr;
}

void SetKeySystemChooser(TKeySystemChooser chooser) { Chooser() = std::move(chooser); }

bool ExecuteTableImport(int contentClass, bool bigKey) {
  TImportForm& form = ImportForm();
  if (!form.Prepare()) return false;
  if (contentClass == icPerson) {
    TImportSettings s = form.Settings();
    s.contentClass = icPerson;
    s.columns = ImportColumnsOfFields(kPersonsDefaultFields);
    form.ShowSettings(s);
  }
  if (bigKey) form.ImportBigKey1Click();
  const bool ok = ExecModal(form) == QDialog::Accepted;
  form.FreeTable();
  return ok;
}

bool RunProfileImportShown(const std::string& profileFile, bool batch) {
  TImportForm& form = ImportForm();
  if (!form.Prepare(batch)) return false;
  const bool shown = !form.isVisible();
  if (shown) form.show();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool ok = form.RunProfileShown(profileFile, batch);
  QApplication::restoreOverrideCursor();
  if (shown) form.hide();
  form.FreeTable();
  return ok;
}

void ImportNew1Click() {
  if (RightDenied(rtBuildings) || CheckPendingInput()) return;
  if (ExecuteTableImport(0)) RefreshAllFrames();
}

void ImportPersons1Click() {
  if (RightDenied(rtPersons)) return;
  ShowPage(pgPersons, true);
  if (IView* persons = ViewOf(pgPersons); persons && persons->Editing()) {
    ShowError(CoreText(32));
    return;
  }
  if (ExecuteTableImport(icPerson)) RefreshAllFrames();
}

void ImportBigKey1MenuClick() {
  if (ExecuteTableImport(0, true)) RefreshAllFrames();
}
