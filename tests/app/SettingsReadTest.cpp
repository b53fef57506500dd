// The settings read when the main window is made and when a client's data is opened reach
// their owners: flags of the window, log files, backup choice, web links per opening, and
// the registry's program values.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/BackupUnit.h"
#include "app/MainFormUnit.h"
#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "basic/FileCtrl2.h"
#include "data/StockUnit.h"
#include "platform/RegistryStore.h"
#include "LoginTestSupport.h"

TEST(SettingsRead, EveryKeyReachesItsOwner) {
  TLoginEnv env;
  SaveTextFile(std::vector<std::string>{"ActiveX= 0", "ErrorLogFile=logs/error.log",
                                        "SuccessLogFile=", "SigPad=0", "DC= x1 ",
                                        "ImportPath= /srv/import/ "},
               env.Prog() + "Tessaro.ini");
  SaveTextFile(std::vector<std::string>{"BackupInterval=7", "WebLinks=0"},
               env.Data() + "Tessaro.ini");
  {
    TStoreMaker maker(env.Data());
    maker.User("Admin", "A");
    maker.db.Commit();
  }
  ResetMainFormRegistries();
  auto form = std::make_unique<TTessaroForm>();
  form->GuiStartTimerTimer();
  EXPECT_EQ(form->ActiveXFlags(), "011");
  EXPECT_EQ(LogFileNames().ErrorLogFile, env.Prog() + "logs/error.log");
  EXPECT_EQ(LogFileNames().SuccessLogFile, "");
  EXPECT_FALSE(ProgramValues().SigPadWanted);
  EXPECT_EQ(ProgramValues().DC, " x1 ");  // kept as written
  EXPECT_EQ(ProgramValues().ImportPath, "/srv/import/");
  EXPECT_EQ(BackupSettings().Interval, biWeekly);
  EXPECT_FALSE(WinGlue().WebLinks);

  // The next opening reads the folder afresh: "14" days is daily, the links are on again.
  SaveTextFile(std::vector<std::string>{"BackupInterval=14"}, env.Data() + "Tessaro.ini");
  MandantState().InvalidateCaches();
  form->ReadDataSettings();
  EXPECT_EQ(BackupSettings().Interval, biDaily);
  EXPECT_TRUE(WinGlue().WebLinks);

  TRegValue version;
  ASSERT_TRUE(TRegistryStore().ReadValue(TRegScope::User, kProgramRegistryKey, "Ver", version));
  EXPECT_EQ(version.data, kRegistryVersion);

  // A refused login lands in the error log named by the settings.
  LogError("Anmeldung abgelehnt", "Admin");
  EXPECT_NE(ReadAllBytes(env.Prog() + "logs/error.log").find("Anmeldung abgelehnt"),
            std::string::npos);
  form.reset();
  LogFileNames() = {};
  ProgramValues() = {};
  ResetMainFormRegistries();
  ResetWinGlue();
}
