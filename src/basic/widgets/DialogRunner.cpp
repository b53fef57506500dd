#include "basic/widgets/DialogRunner.h"

#include <deque>

#include <QAbstractButton>
#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QFileSystemModel>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStyle>

namespace {

std::deque<TDialogDriver> gDrivers;
bool gStrict = false;
int gUndriven = 0;

QString WithoutAccelerators(QString text) {
  // "&&" is a literal ampersand; a single "&" marks the accelerator.
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(QLatin1Char('&'));
  text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
  return text;
}

// Icons and types by a file's kind and name only. Qt's own provider asks the MIME database
// about every listed file, which reads the file's first bytes: a file dialog showing a
// folder like /proc then waits for ever on a file that never answers (/proc/kmsg), and the
// whole program with it.
class TPlainFileIconProvider : public QAbstractFileIconProvider {
 public:
  QIcon icon(IconType type) const override {
    QStyle* style = QApplication::style();
    if (!style) return QIcon();
    switch (type) {
      case Computer: return style->standardIcon(QStyle::SP_ComputerIcon);
      case Desktop: return style->standardIcon(QStyle::SP_DesktopIcon);
      case Trashcan: return style->standardIcon(QStyle::SP_TrashIcon);
      case Network: return style->standardIcon(QStyle::SP_DriveNetIcon);
      case Drive: return style->standardIcon(QStyle::SP_DriveHDIcon);
      case Folder: return style->standardIcon(QStyle::SP_DirIcon);
      case File: return style->standardIcon(QStyle::SP_FileIcon);
    }
    return QIcon();
  }
  QIcon icon(const QFileInfo& info) const override {
    if (info.isRoot()) return icon(Drive);
    return icon(info.isDir() ? Folder : File);
  }
  QString type(const QFileInfo& info) const override {
    if (info.isRoot()) return QCoreApplication::translate("QAbstractFileIconProvider", "Drive");
    if (info.isDir()) return QCoreApplication::translate("QAbstractFileIconProvider", "Folder");
    const QList<QMimeType> byName = mimeTypes_.mimeTypesForFileName(info.fileName());
    if (!byName.isEmpty())
      return byName.first().comment().isEmpty() ? byName.first().name() : byName.first().comment();
    if (!info.suffix().isEmpty())
      return QCoreApplication::translate("QAbstractFileIconProvider", "%1 File").arg(info.suffix());
    return QCoreApplication::translate("QAbstractFileIconProvider", "File");
  }

 private:
  QMimeDatabase mimeTypes_;
};

}  // namespace

QAbstractFileIconProvider* PlainFileIconProvider() {
  static TPlainFileIconProvider provider;
  return &provider;
}

int ExecModal(QDialog& dialog) {
  // The file dialogs' lists, and the completers of path fields such as the print dialog's
  // output file.
  for (QFileSystemModel* files : dialog.findChildren<QFileSystemModel*>())
    if (files->iconProvider() != PlainFileIconProvider())
      files->setIconProvider(PlainFileIconProvider());
  if (gDrivers.empty()) {
    if (!gStrict) return dialog.exec();
    ++gUndriven;
    dialog.reject();
    return dialog.result();
  }
  TDialogDriver driver = std::move(gDrivers.front());
  gDrivers.pop_front();
  dialog.setResult(QDialog::Rejected);
  dialog.show();
  if (driver) driver(dialog);
  if (dialog.isVisible()) dialog.reject();
  return dialog.result();
}

void QueueDialogDriver(TDialogDriver driver) { gDrivers.push_back(std::move(driver)); }

int PendingDialogDrivers() { return static_cast<int>(gDrivers.size()); }

void ClearDialogDrivers() { gDrivers.clear(); }

void SetStrictDialogs(bool strict) { gStrict = strict; }

int UndrivenDialogCount() { return gUndriven; }

QAbstractButton* FindDialogButton(QDialog& dialog, const QString& caption) {
  const QString wanted = WithoutAccelerators(caption);
  for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) {
    if (b->isVisible() && WithoutAccelerators(b->text()) == wanted) return b;
  }
  return nullptr;
}

TDialogDriver ClickButtonDriver(const QString& caption) {
  return [caption](QDialog& dialog) {
    if (QAbstractButton* b = FindDialogButton(dialog, caption)) b->click();
  };
}
