// The search and the change log as the program installs them: the change log lists every
// field of every record, so it needs a login like the search.
#include <memory>

#include <QAction>
#include <gtest/gtest.h>

#include "app/CommandNames.h"
#include "app/LoginTestSupport.h"
#include "app/MainFormUnit.h"
#include "app/Unit1.h"
#include "basic/widgets/DialogRunner.h"
#include "data/UnitTR100.h"
#include "program/ProgramRoot.h"

TEST(HistoryCommands, SearchAndChangeLogNeedALogin) {
  TLoginEnv env;
  ResetMainFormRegistries();
  InstallProgramUnits();
  auto form = std::make_unique<TTessaroForm>();
  const int undriven = UndrivenDialogCount();
  for (const char* name : {kMenuChangeLog1, kMenuSeek1}) {
    env.ui.Clear();
    EXPECT_FALSE(form->RunMenuCommand(name)) << name;
    ASSERT_EQ(env.ui.messages.size(), 1u) << name;
    EXPECT_EQ(env.ui.messages[0].text, CoreText(30)) << name;
  }
  EXPECT_EQ(UndrivenDialogCount(), undriven);  // no dialog opened
  form.reset();
  ResetMainFormRegistries();
}
