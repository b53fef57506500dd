#include "import/widgets/ImportKwdForm.h"

#include <QLabel>
#include <QTabWidget>

#include "app/GlueStateUnit.h"
#include "app/UnitTR100Win.h"
#include "app/WaitPanelUnit.h"
#include "basic/UserInteraction.h"
#include "data/UnitTR100.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "import/ImportJournalUnit.h"
#include "import/ImportKwdUnit.h"
#include "import/widgets/BookingForm.h"

TImportKwdForm::TImportKwdForm(QWidget* parent) : QFileDialog(parent) {
  setObjectName("ImportKwdForm");
  setWindowTitle(ToQString(ImportKwdText(15)));
  setOption(QFileDialog::DontUseNativeDialog, true);
  setFileMode(QFileDialog::ExistingFile);
  setNameFilters({QStringLiteral("KWD (*.kwd *.txt)"), QStringLiteral("all files (*)")});
}

void ImportKwdFileWithPanel(const std::string& fileName) {
  TMiniDB* db = GlueDB();
  if (!db) return;
  QWidget* window = WinGlue().MainWindow.data();
  TWaitPanel* panel = ShowWaitPanel(window, ImportKwdText(1), ImportKwdText(14));
  TKwdHooks hooks;
  hooks.status = [&](const std::string& text) {
    if (panel) panel->TextLabel()->setText(ToQString(text));
    UI().ProcessPendingEvents();
  };
  hooks.progress = [&](int64_t done, int64_t total) {
    panel->SetMax(static_cast<int>(total));
    panel->SetPosition(static_cast<int>(done));
    UI().ProcessPendingEvents();
    return !panel->Cancelled();
  };
  std::vector<std::string> summary;
  hooks.showSummary = [&](const std::vector<std::string>& lines) { summary = lines; };
  const TKwdResult result = ImportKwdFile(*db, fileName, hooks, ImportJournalFolder());
  delete panel;
  if (result == TKwdResult::Imported) {
    // The plan may have brought a locking system of its own: lists and names follow it.
    LoadKeySystemNames(*db);
    WinGlue().LockingSystemsBuilt = false;
  }
  if (!summary.empty()) ShowBookingList(summary);
}

void RunKwdImport() {
  TImportKwdForm form(WinGlue().MainWindow.data());
  if (ExecModal(form) != QDialog::Accepted || form.selectedFiles().isEmpty()) return;
  const std::string file = FromQString(form.selectedFiles().first());
  QTabWidget* pages = WinGlue().PageControl.data();
  if (pages) pages->setVisible(false);
  ImportKwdFileWithPanel(file);
  if (pages) pages->setVisible(true);
  RefreshAllFrames();
}
