#include "import/widgets/BookingForm.h"

#include <algorithm>

#include <QFileDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/GlueStateUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/ValueString.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "import/ImportJournalUnit.h"
#include "platform/PlatformFiles.h"

const TMLStringList* BookingTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("Booking", 0);
    t->Add255Obj("Buchungen", 1);
    t->Add255Obj("Keine Dateien gefunden.", 2);
    t->Add255Obj("Die Datei konnte nicht geladen werden.", 3);
    t->Add255Obj("Schlie\xDF" "en", 4);
    return t;
  }();
  return table;
}
std::string BookingText(int number) { return GetMLText(BookingTexts(), number); }

TBookingForm::TBookingForm(QWidget* parent) : QDialog(parent) {
  setObjectName("BookingForm");
  setWindowTitle(ToQString(BookingText(1)));
  auto* outer = new QVBoxLayout(this);
  Grid = new QTableWidget(this);
  Grid->setObjectName("Grid");
  Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  Grid->horizontalHeader()->hide();
  Grid->verticalHeader()->hide();
  outer->addWidget(Grid, 1);
  auto* close = new QPushButton(ToQString(BookingText(4)), this);
  close->setObjectName("CloseBtn");
  outer->addWidget(close, 0, Qt::AlignRight);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  TranslateForm(this);
}

void TBookingForm::ShowLines(const std::vector<std::string>& lines) {
  std::vector<std::vector<std::string>> cells;
  int columns = 1;
  for (const std::string& line : lines) {
    std::vector<std::string> fields;
    std::string rest = line;
    while (!rest.empty()) fields.push_back(FetchTabField(rest));
    if (!line.empty() && line.back() == '\t') fields.push_back("");
    columns = std::max(columns, static_cast<int>(fields.size()) + 1);
    cells.push_back(std::move(fields));
  }
  Grid->clear();
  Grid->setColumnCount(columns);
  Grid->setRowCount(std::max<int>(2, static_cast<int>(lines.size())));
  for (int r = 0; r < static_cast<int>(cells.size()); ++r) {
    if (r > 0) Grid->setItem(r, 0, new QTableWidgetItem(QString::number(r)));
    const auto& fields = cells[static_cast<size_t>(r)];
    for (int c = 0; c < static_cast<int>(fields.size()); ++c)
      Grid->setItem(r, c + 1, new QTableWidgetItem(ToQString(fields[static_cast<size_t>(c)])));
  }
  Grid->resizeColumnsToContents();
  for (int c = 0; c < columns; ++c)
    if (Grid->columnWidth(c) > 300) Grid->setColumnWidth(c, 300);
}

void ShowBookingList(const std::vector<std::string>& lines) {
  TBookingForm form(WinGlue().MainWindow.data());
  form.ShowLines(lines);
  form.setWindowState(form.windowState() | Qt::WindowMaximized);
  ExecModal(form);
}

void ShowImportJournal(const std::string& fileName) {
  std::string file = fileName;
  if (file.empty()) {
    const std::string folder = ImportJournalFolder();
    TPfInfo info;
    if (PfStat(folder, info) != 0 || info.kind != TPfKind::Folder) {
      ShowInfo(BookingText(2));
      return;
    }
    QFileDialog dialog(WinGlue().MainWindow.data(), ToQString(BookingText(1)), ToQString(folder));
    dialog.setObjectName("JournalOpenDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("ChangeLog (*.csv)"));
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    file = FromQString(dialog.selectedFiles().first());
  }
  std::vector<std::string> lines;
  if (!ReadImportJournal(file, lines)) {
    ShowError(BookingText(3) + "\r" + file);
    return;
  }
  if (!lines.empty()) ShowBookingList(lines);
}
