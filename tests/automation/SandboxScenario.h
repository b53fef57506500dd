#pragma once
// The end-to-end driver's first run (TessaroAutomated.cpp, TESSARO_AUTOMATION_SCENARIO=
// "sandbox"): a new user on an empty data folder logs in as the login page says, enters the
// sandbox from the file menu, is led through the client choice into it, makes a person
// there, leaves the sandbox and lets it be deleted, logs into the original data again (the
// person must not be there), switches the language to English and back, logs out (declining
// the backup that is due) and closes the window. Each step says what it saw and takes a
// picture.

#include <functional>
#include <string>

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include "app/FrameLoginUnit.h"
#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "views/FramePersons2Unit.h"

struct TSandboxDriver {
  enum class TStep {
    FirstLogin,
    EnterSandbox,
    ChooseSandbox,
    SandboxLogin,
    MakePerson,
    LeaveSandbox,
    ChooseOriginal,
    OriginalLogin,
    Language,
    LogOut,
    Close,
    Done
  };
  TStep step = TStep::FirstLogin;
  std::function<void(QWidget&, const std::string&)> shot;
  std::function<void(const std::string&)> say;

  static constexpr const char* kPersonName = "Probe im Sandkasten";

  // Answers what comes up: the backup question with "Nein", any other with "Ja" or "OK".
  static void Answer(QDialog& dialog) {
    const bool backup = dialog.windowTitle().startsWith(QStringLiteral("Sicherungskopie"));
    const QStringList captions = backup ? QStringList{QStringLiteral("Nein")}
                                        : QStringList{QStringLiteral("Ja"), QStringLiteral("OK")};
    for (const QString& caption : captions)
      if (FindDialogButton(dialog, caption)) {
        ClickButtonDriver(caption)(dialog);
        return;
      }
    ClickButtonDriver(QStringLiteral("OK"))(dialog);
  }
  static void AnswerUpTo(int count) {
    for (int i = 0; i < count; ++i) QueueDialogDriver(Answer);
  }

  static bool LoginReady(TFrameLogin& login) {
    return !login.ClientChoiceVisible() && !login.LoginGroupBox->isHidden() &&
           login.LoginOkBtn->isEnabled();
  }

  // Chooses the client whose title does (or does not) hold the sandbox word.
  bool ChooseClient(TFrameLogin& login, bool sandbox) {
    const std::string word = " " + AnsiUpperCase(CoreText(81));
    QTableWidget* grid = login.MandantGrid;
    for (int row = 1; row < GridRowCount(grid); ++row) {
      std::string cells;
      for (int col = 0; col < grid->columnCount(); ++col) cells += GridCell(grid, col, row) + " ";
      if ((cells.find(word) != std::string::npos) != sandbox) continue;
      GridSelectRow(grid, row);
      say("client" + cells);
      login.MandantGridDblClick();
      return true;
    }
    return false;
  }

  void Tick(TTessaroForm& form) {
    TFrameLogin& login = *form.FrameLogin;
    switch (step) {
      case TStep::FirstLogin: {
        if (!LoginReady(login)) return;
        // A first run shows its help page in front; the login page is one tab away.
        shot(form, "first-run-page");
        form.PageControl->setCurrentIndex(pgLogin);
        shot(form, "first-login");
        say(login.FirstLoginLabel->isHidden()
                ? "first login hint missing (" + std::to_string(login.LoginNameCombo->count()) +
                      " users: " + FromQString(login.LoginNameCombo->currentText()) + ")"
                : "first login hint shown");
        login.LoginOkBtn->click();
        say(Session().LoggedIn ? "logged in" : "login refused");
        shot(form, "first-page" + std::to_string(form.PageControl->currentIndex()));
        step = TStep::EnterSandbox;
        return;
      }
      case TStep::EnterSandbox:
        // Enter the sandbox? Yes; a backup before the logout? No.
        AnswerUpTo(2);
        form.RunMenuCommand("Sandbox1");
        ClearDialogDrivers();
        say(Session().LoggedIn ? "sandbox refused" : "sandbox made");
        step = TStep::ChooseSandbox;
        return;
      case TStep::ChooseSandbox:
        if (!login.ClientChoiceVisible()) return;
        shot(form, "sandbox-clients");
        if (!ChooseClient(login, true)) {
          say("sandbox client not listed refused");
          step = TStep::Close;
          return;
        }
        step = TStep::SandboxLogin;
        return;
      case TStep::SandboxLogin:
        if (!LoginReady(login)) return;
        // The sandbox says where the user is.
        AnswerUpTo(1);
        login.LoginOkBtn->click();
        ClearDialogDrivers();
        say(Session().LoggedIn && MandantState().SandboxMode ? "in the sandbox"
                                                              : "sandbox login refused");
        shot(form, "sandbox");
        step = TStep::MakePerson;
        return;
      case TStep::MakePerson: {
        IView* glue = ViewOf(pgPersons);
        auto* view = glue ? dynamic_cast<TFramePersons2*>(glue->RecordFlow()) : nullptr;
        if (!view) {
          say("no persons view refused");
          step = TStep::LeaveSandbox;
          return;
        }
        form.PageControl->setCurrentIndex(pgPersons);
        view->NewBtn->click();
        view->MaNameEd->setText(QString::fromLatin1(kPersonName));
        view->SaveBtn->click();
        say(view->CurrentId && !view->Editing ? "sandbox person saved" : "sandbox person refused");
        shot(form, "sandbox-person");
        step = TStep::LeaveSandbox;
        return;
      }
      case TStep::LeaveSandbox:
        // Leave the sandbox? Yes. Delete it? Yes.
        AnswerUpTo(3);
        form.RunMenuCommand("Sandbox1");
        say(!Session().LoggedIn && !MandantState().SandboxMode
                ? "sandbox left"
                : "sandbox leave refused (logged in " + std::to_string(Session().LoggedIn) +
                      ", sandbox " + std::to_string(MandantState().SandboxMode) + ", drivers left " +
                      std::to_string(PendingDialogDrivers()) + ")");
        ClearDialogDrivers();
        step = TStep::ChooseOriginal;
        return;
      case TStep::ChooseOriginal:
        if (login.ClientChoiceVisible()) {
          shot(form, "clients-after-sandbox");
          if (!ChooseClient(login, false)) say("original client not listed refused");
        }
        step = TStep::OriginalLogin;
        return;
      case TStep::OriginalLogin: {
        if (!LoginReady(login)) return;
        login.LoginOkBtn->click();
        TMiniDB* db = SessionDB();
        const bool found = db && db->FindByName(kPersonName, icPerson, 0) != 0;
        say(Session().LoggedIn && !MandantState().SandboxMode && !found
                ? "original data untouched"
                : "original data changed refused (logged in " + std::to_string(Session().LoggedIn) +
                      ", sandbox " + std::to_string(MandantState().SandboxMode) + ", found " +
                      std::to_string(found) + ", " + MandantState().DataPath + ")");
        step = TStep::Language;
        return;
      }
      case TStep::Language: {
        // English from the language menu, as the user picks it, then German again.
        QAction* english = nullptr;
        QAction* german = nullptr;
        for (QAction* a : form.Language1->actions()) {
          if (a->text().contains(QStringLiteral("English"))) english = a;
          if (a->text().contains(QStringLiteral("Deutsch"))) german = a;
        }
        if (!english || !german) {
          say("language menu without English refused");
          step = TStep::LogOut;
          return;
        }
        form.PageControl->setCurrentIndex(pgKeys);
        QueueDialogDriver(ClickButtonDriver(QStringLiteral("OK")));
        english->trigger();
        shot(form, "english");
        say("language English: " + FromQString(form.PageControl->tabText(pgKeys)));
        QueueDialogDriver(ClickButtonDriver(QStringLiteral("OK")));
        german->trigger();
        ClearDialogDrivers();
        say("language German: " + FromQString(form.PageControl->tabText(pgKeys)));
        step = TStep::LogOut;
        return;
      }
      case TStep::LogOut:
        // The backup that is due: asked, and declined.
        AnswerUpTo(2);
        form.RunMenuCommand("Logout1");
        ClearDialogDrivers();
        say(Session().LoggedIn ? "logout refused" : "logged out");
        step = TStep::Close;
        return;
      case TStep::Close:
        say("closing");
        step = TStep::Done;
        form.close();
        return;
      case TStep::Done:
        return;
    }
  }
};
