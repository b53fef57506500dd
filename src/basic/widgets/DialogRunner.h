#pragma once
// Every modal dialog of the program runs through ExecModal. Tests queue a driver per
// expected dialog: the dialog is then shown without a modal loop, the driver acts on it
// (types, clicks a button), and a dialog the driver left open is closed as by Escape. In
// strict mode (the widget tests switch it on) a dialog without a driver is closed at once
// and counted, so a forgotten driver fails a test instead of hanging it.

#include <functional>

#include <QString>

class QAbstractFileIconProvider;
class QDialog;
class QAbstractButton;

using TDialogDriver = std::function<void(QDialog&)>;

// Runs the dialog (modally, or through the next queued driver); returns QDialog::result().
// The dialog's file lists (a file dialog's, a path field's completer) get
// PlainFileIconProvider first.
int ExecModal(QDialog& dialog);

// The icons and type names of the file dialogs: by a file's kind and name only, never by
// its contents, so that listing a folder never opens its files.
QAbstractFileIconProvider* PlainFileIconProvider();

void QueueDialogDriver(TDialogDriver driver);
int PendingDialogDrivers();
void ClearDialogDrivers();
void SetStrictDialogs(bool strict);
// Dialogs closed because no driver was queued in strict mode.
int UndrivenDialogCount();

// The dialog's button whose text equals `caption` ignoring "&" accelerators; nullptr if none.
QAbstractButton* FindDialogButton(QDialog& dialog, const QString& caption);
// A driver that clicks that button (and fails nothing when it is missing: the dialog is then
// closed as by Escape).
TDialogDriver ClickButtonDriver(const QString& caption);
