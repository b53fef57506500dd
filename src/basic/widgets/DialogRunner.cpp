#include "basic/widgets/DialogRunner.h"

#include <deque>

#include <QAbstractButton>
#include <QDialog>

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

}  // namespace

int ExecModal(QDialog& dialog) {
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
