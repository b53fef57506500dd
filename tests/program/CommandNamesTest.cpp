// The composition root against the main window's menu: every command the program installs
// is a menu entry or a named internal hook, and every menu entry has its work (the window's
// own or an installed one) or awaits its unit on purpose. A misspelt name would otherwise
// leave a command silently dead.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <gtest/gtest.h>

#include "app/CommandNames.h"
#include "app/LoginTestSupport.h"
#include "app/MainFormUnit.h"
#include "app/Unit1.h"
#include "data/IniUnit.h"
#include "data/SigPadUnit.h"
#include "output/PrintUnit.h"
#include "program/ProgramRoot.h"

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

bool IsHook(const std::string& name) {
  return std::any_of(std::begin(kInternalHooks), std::end(kInternalHooks),
                     [&](const char* hook) { return name == hook; });
}

// What is wrong with the commands of the window and the installed ones; empty when nothing.
std::vector<std::string> CommandNameProblems(const TTessaroForm& form,
                                             const std::vector<std::string>& awaiting) {
  std::vector<std::string> problems;
  const std::vector<std::string> menu = form.CommandNames();
  const std::vector<std::string> installed = InstalledMenuCommandNames();
  for (const std::string& name : installed)
    if (!Contains(menu, name) && !IsHook(name))
      problems.push_back("installed, but neither a menu entry nor a hook: " + name);
  for (const std::string& name : menu) {
    const bool own = form.CommandHasOwnWork(name);
    const bool isInstalled = Contains(installed, name);
    const bool waits = Contains(awaiting, name);
    if (!own && !isInstalled && !waits) problems.push_back("without work: " + name);
    if (waits && (own || isInstalled)) problems.push_back("awaits its unit, but has work: " + name);
    // The window runs its own handler: work installed over it would never run.
    if (own && isInstalled) problems.push_back("installed over the window's own work: " + name);
  }
  for (const std::string& name : awaiting)
    if (!Contains(menu, name)) problems.push_back("awaits its unit, but is no menu entry: " + name);
  return problems;
}

struct TProgramWindow {
  TLoginEnv env;
  std::unique_ptr<TTessaroForm> form;
  TProgramWindow() {
    ResetMainFormRegistries();
    InstallProgramUnits();
    form = std::make_unique<TTessaroForm>();
  }
  ~TProgramWindow() {
    form.reset();
    ResetMainFormRegistries();
  }
};

}  // namespace

TEST(CommandNames, TheProgramInstallsExactlyWhatTheMenuOffers) {
  TProgramWindow w;
  EXPECT_EQ(CommandNameProblems(*w.form, CommandsAwaitingTheirUnit()), std::vector<std::string>{});
  // Those awaiting their unit are greyed, whatever the login.
  w.form->UpdateMenus();
  for (const std::string& name : CommandsAwaitingTheirUnit()) {
    QAction* action = w.form->MenuItem(name);
    ASSERT_NE(action, nullptr) << name;
    EXPECT_FALSE(action->isEnabled()) << name;
  }
}

TEST(CommandNames, TheCheckFindsEveryKindOfMistake) {
  struct TCase {
    const char* install;  // installed on top of the program's own installs
    const char* problem;  // the problem expected first, empty for none
  };
  const TCase cases[] = {
      {kHookAutoImport, ""},
      {kMenuLoadUpdate1, "awaits its unit, but has work: LoadUpdate1"},
      {"Seek", "installed, but neither a menu entry nor a hook: Seek"},
      {kMenuLogout1, "installed over the window's own work: Logout1"},
  };
  for (const TCase& c : cases) {
    TProgramWindow w;
    InstallMenuCommand(c.install, [] {});
    const std::vector<std::string> problems =
        CommandNameProblems(*w.form, CommandsAwaitingTheirUnit());
    if (*c.problem == 0) {
      EXPECT_TRUE(problems.empty()) << c.install;
    } else {
      ASSERT_EQ(problems.size(), 1u) << c.install;
      EXPECT_EQ(problems[0], c.problem);
    }
  }
  // An entry that neither has work nor awaits it is a dead command.
  TProgramWindow w;
  std::vector<std::string> awaiting = CommandsAwaitingTheirUnit();
  awaiting.erase(std::find(awaiting.begin(), awaiting.end(), kMenuLoadUpdate1));
  EXPECT_EQ(CommandNameProblems(*w.form, awaiting),
            std::vector<std::string>{"without work: LoadUpdate1"});
}

namespace {

// The signature pad shows the receipts' "PadText", as the print settings saved it.
TEST(ProgramRoot, PadTextComesFromThePrintTexts) {
  TProgramWindow w;
  ResetReceiptSettings();
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "PadText", "Quittung<BR>#Signature#"));
  EXPECT_EQ(ConfiguredPadText(), "Quittung<BR>#Signature#");
  EXPECT_EQ(ConfiguredPadText(), PadText());
  SetPadTextSource(nullptr);
  ResetReceiptSettings();
}

}  // namespace
