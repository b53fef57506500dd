#include "app/Unit1.h"

#include <QApplication>
#include <QTimer>

#include "app/TessaroMain.h"
#include "app/UnitTR100Win.h"

namespace {

TTessaroForm* gTessaroForm = nullptr;

}  // namespace

TTessaroForm* TessaroForm() { return gTessaroForm; }

TTessaroForm::TTessaroForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName("TessaroForm");
  setWindowTitle(QApplication::applicationDisplayName());
  resize(1000, 700);

  LoaderEndTimer = new QTimer(this);
  LoaderEndTimer->setObjectName("LoaderEndTimer");
  LoaderEndTimer->setInterval(100);
  LoaderEndTimer->setSingleShot(true);
  connect(LoaderEndTimer, &QTimer::timeout, this, &TTessaroForm::LoaderEndTimerTimer);

  GuiStartTimer = new QTimer(this);
  GuiStartTimer->setObjectName("GuiStartTimer");
  GuiStartTimer->setInterval(50);
  GuiStartTimer->setSingleShot(true);
  connect(GuiStartTimer, &QTimer::timeout, this, &TTessaroForm::GuiStartTimerTimer);

  gTessaroForm = this;
  WinGlue().MainWindow = this;
  GuiStartTimer->start();
}

TTessaroForm::~TTessaroForm() {
  if (gTessaroForm == this) gTessaroForm = nullptr;
}

int TTessaroForm::WMCopyData(int code) {
  if (code == kCopyDataActivate) {
    ++activations_;
    // Back from the minimised state into the state before it (maximised stays maximised).
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
  }
  return 1;
}

void TTessaroForm::LoaderEndTimerTimer() {
  LoaderEndTimer->stop();
  NotifyLoader();
}

void TTessaroForm::GuiStartTimerTimer() {
  GuiStartTimer->stop();
}
