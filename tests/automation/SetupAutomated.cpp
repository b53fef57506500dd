// The installer Setup with a driver for the end-to-end test: built only with the tests and
// packed like the real one (dist-test/Setup), so the uninstaller it writes is driven too.
// The driver acts on the real window as a user would: chooses the language, confirms the
// target folder, starts the installation, answers every dialog with its default button (the
// persons question with the row asked for), or confirms the uninstall. It reports each
// panel, dialog and the exit code on standard output.
//
// It runs as an ordinary user would, also when the test runs as root: the user's folders
// and registry scope, never /opt/.
//
// Environment: TESSARO_SETUP_LANGUAGE ("DE", "EN"; default: as it comes),
// TESSARO_SETUP_TARGET (a folder typed into the field; default: as proposed),
// TESSARO_SETUP_DESKTOP ("0": no desktop entry), TESSARO_SETUP_PERSONS (the row to choose),
// TESSARO_SETUP_ANSWER (a button caption pressed instead of the default where a box has it),
// TESSARO_AUTOMATION_SHOTS (optional): a folder for a picture of each panel and dialog.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "basic/widgets/DialogRunner.h"
#include "setup/SetupMainUnit.h"
#include "setup/widgets/MvSetupForm1Unit.h"
#include "setup/widgets/PersonsUnit.h"

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void Shot(QWidget& widget, const std::string& name) {
  const std::string shots = Env("TESSARO_AUTOMATION_SHOTS");
  if (shots.empty()) return;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  widget.grab().save(QString::fromStdString(shots + "/" + name + ".png"));
}

int gDialogs = 0;

// Every dialog: reported, pictured, answered.
void DriveDialog(QDialog& dialog) {
  QCoreApplication::processEvents();
  const std::string shot = "dialog" + std::to_string(++gDialogs);
  if (auto* persons = qobject_cast<TPersonsForm*>(&dialog)) {
    const std::string row = Env("TESSARO_SETUP_PERSONS");
    if (!row.empty()) persons->TermList->setCurrentRow(std::atoi(row.c_str()));
    Shot(dialog, shot);
    Say("dialog persons: " + persons->SelectedTerm());
    persons->OkBtn->click();
    return;
  }
  std::string text;
  for (QLabel* label : dialog.findChildren<QLabel*>())
    if (label->text().size() > static_cast<int>(text.size())) text = label->text().toStdString();
  for (char& c : text)
    if (c == '\n') c = '|';
  Shot(dialog, shot);
  Say("dialog " + dialog.windowTitle().toStdString() + ": " + text);
  const std::string answer = Env("TESSARO_SETUP_ANSWER");
  for (QPushButton* button : dialog.findChildren<QPushButton*>())
    if (!answer.empty() && button->text().toStdString() == answer) {
      Say("answer " + answer);
      button->click();
      return;
    }
  for (QPushButton* button : dialog.findChildren<QPushButton*>())
    if (button->isDefault()) {
      button->click();
      return;
    }
  dialog.accept();
}

void QueueDialogs() {
  while (PendingDialogDrivers() < 4) QueueDialogDriver([](QDialog& d) {
      DriveDialog(d);
      QueueDialogs();
    });
}

struct TDriver {
  int ticks = 0;
  std::string lastPanel;
  bool languageChosen = false;

  void Tick() {
    if (++ticks > 1200) {  // 60 s of 50 ms ticks: something is stuck
      Say("timeout in panel " + lastPanel);
      std::_Exit(3);
    }
    TMvSetupForm1* form = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = qobject_cast<TMvSetupForm1*>(w)) form = f;
    if (!form || !form->isVisible()) return;
    // A box is open (the window's timers run on inside it): its driver answers it first.
    if (QApplication::activeModalWidget()) return;
    const std::string panel = form->CurrentPanel();
    if (panel == "LngPanel") {
      if (lastPanel != panel) Shot(*form, "LngPanel");
      lastPanel = panel;
      const std::string language = Env("TESSARO_SETUP_LANGUAGE");
      if (!languageChosen && !language.empty()) {
        languageChosen = true;
        QRadioButton* radio = language == "EN" ? form->LngEnglishRadio
                              : language == "HU" ? form->LngHURadio
                                                 : form->LngGermanRadio;
        radio->click();
        Say("language " + language);
        Shot(*form, "LngPanel-" + language);
        return;
      }
      form->LngOkBtn->click();
    } else if (panel == "AskPanel") {
      // After the one-shot check of an installed newer version.
      if (lastPanel != panel) {
        lastPanel = panel;
        return;
      }
      if (form->FirstCheckTimer->isActive()) return;
      Say("proposed " + form->PgmPathEd->text().toStdString());
      const std::string target = Env("TESSARO_SETUP_TARGET");
      if (!target.empty()) form->PgmPathEd->setText(QString::fromStdString(target));
      if (Env("TESSARO_SETUP_DESKTOP") == "0") form->CreateDesktopLinkCheck->setChecked(false);
      Shot(*form, "AskPanel");
      form->StartBtn->click();
    } else if (panel == "UninstAskPanel") {
      lastPanel = panel;
      Shot(*form, "UninstAskPanel");
      form->UninstStartBtn->click();
    }
  }
};

TDriver gDriver;

void StartDriver() {
  SetStrictDialogs(true);
  SetupState().isAdmin = false;
  QueueDialogs();
  TMvSetupForm1::PanelShown() = [](TMvSetupForm1& form, const std::string& panel) {
    Say("panel " + panel);
    if (panel == "ProgressPanel") Shot(form, form.UninstallMode() ? "ProgressPanel-uninstall" : "ProgressPanel");
  };
  auto* timer = new QTimer(QCoreApplication::instance());
  timer->setInterval(50);
  QObject::connect(timer, &QTimer::timeout, [] { gDriver.Tick(); });
  timer->start();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartDriver)

int main(int argc, char** argv) {
  const int code = SetupMain(argc, argv);
  std::printf("undriven dialogs %d\n", UndrivenDialogCount());
  std::printf("exit %d\n", code);
  return code;
}
