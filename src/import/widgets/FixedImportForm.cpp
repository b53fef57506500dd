#include "import/widgets/FixedImportForm.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/GlueStateUnit.h"
#include "app/ListFillUnit.h"
#include "app/UnitTR100Win.h"
#include "app/ViewRegistryUnit.h"
#include "app/WaitPanelUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/UnitTR100.h"
#include "import/ImportDoorsUnit.h"
#include "import/ImportText.h"
#include "output/AWebBrowserUnit.h"

namespace {

QPointer<TImportKeysForm> gKeysForm;
QPointer<TImportDoorsForm> gDoorsForm;

std::vector<std::string> Captions(bool doors) {
  if (!doors)
    return {ImportKeysText(7), ImportKeysText(7) + "2", ImportKeysText(8), ImportKeysText(9),
            ImportKeysText(10), ImportKeysText(11)};
  return {ImportDoorsText(4), BuildingCaption(),  ImportKeysText(8),
          ImportDoorsText(5), CylinderCaption(),  ImportDoorsText(6),
          ImportKeysText(11), ImportDoorsText(7), ImportDoorsText(8)};
}

}  // namespace

TFixedImportForm::TFixedImportForm(bool doors, QWidget* parent) : QDialog(parent), doors_(doors) {
  setObjectName(doors ? "ImportDoorsForm" : "ImportKeysForm");
  setWindowTitle(ToQString(doors ? ImportDoorsText(1) : ImportKeysText(1)));
  auto* outer = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  OpenBtn = new QPushButton(ToQString(ImportKeysText(12)), this);
  OpenBtn->setObjectName("OpenBtn");
  top->addWidget(OpenBtn);
  FileLabel = new QLabel(this);
  FileLabel->setObjectName("FileLabel");
  top->addWidget(FileLabel, 1);
  outer->addLayout(top);
  HeaderBox = new QCheckBox(ToQString(ImportKeysText(13)), this);
  HeaderBox->setObjectName("HeaderBox");
  outer->addWidget(HeaderBox);
  Grid = new QTableWidget(this);
  Grid->setObjectName("Grid");
  Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Grid->setMinimumSize(681, 220);
  outer->addWidget(Grid, 1);
  HelpView = new TAWebBrowser(this);
  HelpView->setObjectName("HelpView");
  HelpView->setFixedSize(681, 205);
  outer->addWidget(HelpView);
  auto* foot = new QHBoxLayout;
  foot->addStretch();
  ImportBtn = new QPushButton(ToQString(ImportKeysText(14)), this);
  ImportBtn->setObjectName("ImportBtn");
  ImportBtn->setEnabled(false);
  foot->addWidget(ImportBtn);
  EscBtn = new QPushButton(ToQString("Abbrechen"), this);
  EscBtn->setObjectName("EscBtn");
  foot->addWidget(EscBtn);
  outer->addLayout(foot);
  connect(OpenBtn, &QPushButton::clicked, this, [this] { OpenBtnClick(); });
  connect(ImportBtn, &QPushButton::clicked, this, [this] { ImportBtnClick(); });
  connect(EscBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(HeaderBox, &QCheckBox::toggled, this, [this] { FillGrid(); });
  TranslateForm(this);
  SetCaptions();
  const std::string help = WinGlue().HelpFolder + (doors ? "import-doors.html" : "import-keys.html");
  HelpView->Navigiere("file://" + help);
}

void TFixedImportForm::SetCaptions() {
  const std::vector<std::string> captions = Captions(doors_);
  Grid->setColumnCount(static_cast<int>(captions.size()));
  QStringList labels;
  for (const std::string& c : captions) labels << ToQString(" " + c);
  Grid->setHorizontalHeaderLabels(labels);
}

bool TFixedImportForm::LoadFile(const std::string& fileName) {
  std::vector<std::string> lines;
  if (!ReadImportTextFile(fileName, lines)) {
    ShowError(ImportKeysText(15) + "\r" + fileName);
    return false;
  }
  fileName_ = fileName;
  lines_ = std::move(lines);
  FileLabel->setText(ToQString(fileName));
  FillGrid();
  return true;
}

void TFixedImportForm::FillGrid() {
  rows_ = ParseFixedColumnLines(lines_, doors_ ? kDoorsImportColumns : kKeysImportColumns,
                                HeaderBox->isChecked(), !doors_);
  SetCaptions();
  Grid->clearContents();
  Grid->setRowCount(std::max<int>(1, static_cast<int>(rows_.size())));
  for (int r = 0; r < static_cast<int>(rows_.size()); ++r)
    for (int c = 0; c < Grid->columnCount(); ++c)
      Grid->setItem(r, c, new QTableWidgetItem(ToQString(" " + rows_[static_cast<size_t>(r)].Cell(c))));
  Grid->resizeColumnsToContents();
  ImportBtn->setEnabled(!lines_.empty());
}

void TFixedImportForm::OpenBtnClick() {
  QFileDialog dialog(this, ToQString(ImportKeysText(12)));
  dialog.setObjectName("ImportOpenDialog");
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QStringLiteral("Text / CSV (*.csv *.txt)"), QStringLiteral("all files (*)")});
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  LoadFile(FromQString(dialog.selectedFiles().first()));
}

void TFixedImportForm::Reset() {
  lines_.clear();
  rows_.clear();
  fileName_.clear();
  FileLabel->clear();
  Grid->clearContents();
  Grid->setRowCount(1);
  ImportBtn->setEnabled(false);
}

void TFixedImportForm::ImportBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db || rows_.empty()) return;
  ImportBtn->setEnabled(false);
  if (!WinGlue().LockingSystemsBuilt) BuildLockingSystemList();
  TWaitPanel* panel = nullptr;
  auto progress = [&](int64_t done, int64_t total) {
    if (!panel) panel = ShowWaitPanel(this, ImportKeysText(6));
    panel->SetMax(static_cast<int>(total));
    panel->SetPosition(static_cast<int>(done));
    UI().ProcessPendingEvents();
    return true;
  };
  std::function<void()> after;
  if (doors_ && AfterDoorsImport)
    after = [&] {
      if (!panel) panel = ShowWaitPanel(this, ImportKeysText(6));
      UI().ProcessPendingEvents();
      AfterDoorsImport();
    };
  const TFixedImportOutcome out = doors_ ? ImportDoorsTable(*db, rows_, progress, after)
                                         : ImportKeysTable(*db, rows_, progress);
  delete panel;
  if (out.result == TFixedImportResult::Done) {
    accept();
    return;
  }
  // Nothing was saved: the dialog stays with its file.
  ImportBtn->setEnabled(true);
}

TImportKeysForm* ImportKeysForm() { return gKeysForm.data(); }
TImportDoorsForm* ImportDoorsForm() { return gDoorsForm.data(); }

namespace {

bool ExecuteFixed(TFixedImportForm& form) {
  form.SetCaptions();
  form.OpenBtn->setFocus();
  const bool ok = ExecModal(form) == QDialog::Accepted;
  form.Reset();
  return ok;
}

// Page shown, refused while that page's view edits, page control hidden meanwhile.
template <class Run>
void RunImportCommand(int page, Run run) {
  ShowPage(page, true);
  if (FindFrameInEdit() == page) {
    ShowError(CoreText(32));
    return;
  }
  QTabWidget* pages = WinGlue().PageControl.data();
  if (pages) pages->setVisible(false);
  const bool ran = run();
  if (pages) pages->setVisible(true);
  if (ran) RefreshAllFrames();
}

}  // namespace

bool ExecuteKeysImport() {
  if (!gKeysForm) gKeysForm = new TImportKeysForm(WinGlue().MainWindow.data());
  return ExecuteFixed(*gKeysForm);
}

bool ExecuteDoorsImport(const std::function<void()>& afterImport) {
  if (!gDoorsForm) gDoorsForm = new TImportDoorsForm(WinGlue().MainWindow.data());
  gDoorsForm->AfterDoorsImport = afterImport;
  return ExecuteFixed(*gDoorsForm);
}

void RunKeysImportCommand() {
  RunImportCommand(pgKeys, [] { return ExecuteKeysImport(); });
}

void RunDoorsImportCommand(const std::function<void()>& afterImport) {
  RunImportCommand(pgDoors, [&] { return ExecuteDoorsImport(afterImport); });
}
