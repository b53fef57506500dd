#include "basic/widgets/FolderBrowseUnit.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"

namespace {

bool HoldsRequiredFile(const QString& folder, const std::vector<QString>& files) {
  if (files.empty()) return true;
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
  for (const QString& name : files) {
    if (QFileInfo(folder + QLatin1Char('/') + name).isFile()) return true;
  }
  return false;
}

// The file dialog refuses OK on a folder without one of the required files. The button is
// disabled as the selection moves, and accept() checks again, since the dialog re-enables
// its button on its own.
class TFolderDialog : public QFileDialog {
 public:
  TFolderDialog(QWidget* parent, const QString& caption, std::vector<QString> required)
      : QFileDialog(parent, caption), required_(std::move(required)) {}

  // The folder OK would choose: the highlighted one, else the one shown.
  QString Candidate() const {
    const QStringList selected = selectedFiles();
    if (!selected.isEmpty() && QFileInfo(selected.first()).isDir()) return selected.first();
    return directory().absolutePath();
  }

  void UpdateOkButton() {
    if (required_.empty()) return;
    if (auto* box = findChild<QDialogButtonBox*>()) {
      for (QAbstractButton* b : box->buttons()) {
        if (box->buttonRole(b) == QDialogButtonBox::AcceptRole)
          b->setEnabled(HoldsRequiredFile(Candidate(), required_));
      }
    }
  }

  void accept() override {
    if (!HoldsRequiredFile(Candidate(), required_)) return;
    QFileDialog::accept();
  }

 private:
  std::vector<QString> required_;
};

QString WithoutTrailingSlash(QString path) {
  while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
  return path;
}

}  // namespace

bool FolderHoldsRequiredFile(const std::string& folder, const std::vector<std::string>& files) {
  std::vector<QString> names;
  for (const std::string& f : files) names.push_back(ToQString(f));
  return HoldsRequiredFile(WithoutTrailingSlash(ToQString(folder)), names);
}

bool TFolderBrowser::Execute() {
  std::vector<QString> required;
  for (const std::string& f : requiredFiles) required.push_back(ToQString(f));
  TFolderDialog dialog(owner, ToQString(caption), required);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, !includeFiles);
  dialog.setOption(QFileDialog::ReadOnly, !newDialogStyle);
  if (!startFolder.empty()) dialog.setDirectory(WithoutTrailingSlash(ToQString(startFolder)));
  if (positionSet) dialog.move(left, top);

  if (!required.empty()) {
    // After the dialog's own update of its button, which runs on the same signals.
    auto update = [&dialog] { QTimer::singleShot(0, &dialog, [&dialog] { dialog.UpdateOkButton(); }); };
    QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, update);
    QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, update);
    dialog.UpdateOkButton();
  }

  if (ExecModal(dialog) != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  const QString path = WithoutTrailingSlash(chosen.isEmpty() ? dialog.Candidate() : chosen.first());
  if (path.isEmpty()) return false;
  folder = FromQString(path);
  return true;
}

bool BrowseForFolder(QWidget* owner, const std::string& caption, const std::string& startFolder,
                     bool includeFiles, bool newDialogStyle, std::string& folder) {
  TFolderBrowser browser;
  browser.owner = owner;
  browser.caption = caption;
  browser.startFolder = startFolder;
  browser.includeFiles = includeFiles;
  browser.newDialogStyle = newDialogStyle;
  if (!browser.Execute()) return false;
  folder = browser.folder;
  if (folder.empty() || folder.back() != '/') folder += '/';
  return true;
}
