// The program Tessaro with a driver for the end-to-end test: built only with the tests,
// never installed. The driver acts as a user would (chooses the client, logs in, visits
// the pages, opens the form editor and the print settings, logs out, closes the window) on the real widgets, one step whenever the
// window is ready for it, and reports each step on standard output. Every dialog runs in
// strict mode: one that comes up unexpectedly is closed at once and counted, so the run
// never waits for a hand that is not there.
//
// Environment: TESSARO_AUTOMATION_CLIENT (the client's title), TESSARO_AUTOMATION_USER and
// TESSARO_AUTOMATION_PASSWORD; TESSARO_AUTOMATION_SHOTS (optional): a folder for a picture of
// each page, of the form editor and of each page of the print settings.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QComboBox>
#include <QDialog>
#include <QCoreApplication>
#include <QGroupBox>
#include <QPixmap>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include "app/FrameLoginUnit.h"
#include "app/TextSettingsUnit.h"
#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "data/UserRights.h"
#include "program/ProgramRoot.h"

namespace {

enum class TStep { ChooseClient, LogIn, VisitPages, Editor, PrintSettings, LogOut, Close, Done };

struct TDriver {
  TStep step = TStep::ChooseClient;
  int ticks = 0;
  int page = 0;
  std::string client, user, password;

  // A picture of the window for a look by eye (TESSARO_AUTOMATION_SHOTS: a folder).
  static void Shot(QWidget& window, const std::string& name) {
    if (const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS"))
      window.grab().save(QString::fromLocal8Bit(shots) + "/" + QString::fromStdString(name) + ".png");
  }

  static void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }

  void Tick() {
    if (++ticks > 600) {  // 30 s of 50 ms ticks: something is stuck
      Say("timeout in step " + std::to_string(static_cast<int>(step)));
      std::fflush(stdout);
      std::_Exit(3);
    }
    TTessaroForm* form = TessaroForm();
    if (!form || !form->FrameLogin) return;
    TFrameLogin& login = *form->FrameLogin;
    switch (step) {
      case TStep::ChooseClient: {
        if (!login.ClientChoiceVisible()) return;
        Shot(*form, "clients");
        QTableWidget* grid = login.MandantGrid;
        std::string seen;
        for (int row = 1; row < GridRowCount(grid); ++row)
          for (int col = 0; col < grid->columnCount(); ++col) {
            const std::string cell = GridCell(grid, col, row);
            seen += "[" + cell + "]";
            if (cell == " " + client) {
              GridSelectRow(grid, row);
              Say("client " + client);
              login.MandantGridDblClick();
              step = TStep::LogIn;
              return;
            }
          }
        Say("client not listed: " + seen);
        std::_Exit(4);
      }
      case TStep::LogIn: {
        if (!login.LoginGroupBox->isVisible() || !login.LoginOkBtn->isEnabled()) return;
        Shot(*form, "login");
        login.LoginNameCombo->setCurrentIndex(
            login.LoginNameCombo->findText(QString::fromStdString(user)));
        login.LoginPWEd->setText(QString::fromStdString(password));
        login.LoginOkBtn->click();
        if (!Session().LoggedIn) {
          Say("login refused");
          std::_Exit(5);
        }
        Say("logged in as " + Session().CurrentUserName);
        step = TStep::VisitPages;
        return;
      }
      case TStep::VisitPages: {
        QTabWidget* pages = form->PageControl;
        while (page < pages->count() && !pages->isTabVisible(page)) ++page;
        if (page >= pages->count()) {
          step = TStep::Editor;
          return;
        }
        pages->setCurrentIndex(page);
        Shot(*form, "page" + std::to_string(page));
        Say("page " + std::to_string(page) + " " +
            std::string(pages->currentIndex() == page ? "shown" : "refused"));
        ++page;
        return;
      }
      case TStep::Editor: {
        // The form editor (a modal window): shown, pictured, closed unchanged.
        bool shown = false;
        QueueDialogDriver([&shown](QDialog& editor) {
          shown = editor.isVisible();
          Shot(editor, "rtfeditor");
        });
        const bool ran = form->RunMenuCommand("RTFEditor1");
        Say(ran && shown ? "editor shown" : "editor refused");
        step = TStep::PrintSettings;
        return;
      }
      case TStep::PrintSettings: {
        // The print settings: each page pictured, the receipt's text changed and saved, a
        // template typed for the return, closed.
        bool shown = false;
        QueueDialogDriver([&shown](QDialog& dialog) {
          auto* settings = qobject_cast<TTextSettingsForm*>(&dialog);
          if (!settings) return;
          shown = dialog.isVisible();
          QTabWidget* pages = settings->MainPageControl;
          for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            Shot(dialog, "settingstext" + std::to_string(i));
          }
          pages->setCurrentWidget(settings->OldTabSheet);
          settings->OldPageControl->setCurrentWidget(settings->ReceiptSheet);
          settings->ReceiptMemo->setPlainText(QStringLiteral("Automatisch\ngetestet"));
          settings->ReceiptSaveBtn->click();
          Shot(dialog, "settingstext-receipt");
          settings->Ed[1]->setText(QStringLiteral("Formulare/Formular2 Rueckgabe.rtf"));
          settings->CloseBtn->click();
          if (dialog.isVisible()) shown = false;
        });
        const bool ran = form->RunMenuCommand("SettingsText1");
        Say(ran && shown ? "print settings shown" : "print settings refused");
        step = TStep::LogOut;
        return;
      }
      case TStep::LogOut:
        form->RunMenuCommand("Logout1");
        Say(Session().LoggedIn ? "logout refused" : "logged out");
        step = TStep::Close;
        return;
      case TStep::Close:
        if (!login.ClientChoiceVisible()) return;
        Say("closing");
        step = TStep::Done;
        form->close();
        return;
      case TStep::Done:
        return;
    }
  }
};

TDriver gDriver;

void StartDriver() {
  SetStrictDialogs(true);
  auto env = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  };
  gDriver.client = env("TESSARO_AUTOMATION_CLIENT");
  gDriver.user = env("TESSARO_AUTOMATION_USER");
  gDriver.password = env("TESSARO_AUTOMATION_PASSWORD");
  auto* timer = new QTimer(QCoreApplication::instance());
  timer->setInterval(50);
  QObject::connect(timer, &QTimer::timeout, [] { gDriver.Tick(); });
  timer->start();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartDriver)

int main(int argc, char** argv) {
  const int code = RunTessaro(argc, argv);
  std::printf("undriven dialogs %d\n", UndrivenDialogCount());
  std::printf("exit %d\n", code);
  return code;
}
