#include "setup/SetupFormUnit.h"

#include <gtest/gtest.h>

#include "setup/SetupTestSupport.h"

namespace {

TEST(SetupFormLogic, TheTargetFolderCheck) {
  struct TCase {
    const char* text;
    const char* folder;  // nullptr: refused
  };
  const TCase cases[] = {
      {"/", nullptr},           {"/opt", nullptr},          {"/opt/", nullptr},
      {"", nullptr},            {"   ", nullptr},           {"opt/Tessaro", nullptr},
      {"~/Tessaro", nullptr},   {"/opt/../Tessaro", nullptr}, {"/opt/./Tessaro", nullptr},
      {"/opt//Tessaro", nullptr},
      {"/opt/Tessaro", "/opt/Tessaro/"}, {"  /home/anna/Tessaro/  ", "/home/anna/Tessaro/"},
      {"/home/anna", "/home/anna/"},
  };
  for (const TCase& c : cases) {
    std::string folder = "unchanged";
    EXPECT_EQ(CheckSetupFolder(c.text, folder), c.folder != nullptr) << c.text;
    EXPECT_EQ(folder, c.folder ? c.folder : "") << c.text;
  }
}

TEST(SetupFormLogic, TheAdministratorQuestionIsForTargetsOutsideTheHome) {
  TSetupHome home;
  EXPECT_FALSE(NeedsAdminQuestion(home.Pgm()));
  EXPECT_TRUE(NeedsAdminQuestion("/opt/Tessaro/"));
  EXPECT_TRUE(NeedsAdminQuestion(home.Home().substr(0, home.Home().size() - 1) + "x/Tessaro/"))
      << "a sibling of the home is outside it";
  SetupState().isAdmin = true;
  EXPECT_FALSE(NeedsAdminQuestion("/opt/Tessaro/"));
}

TEST(SetupFormLogic, TheFolderChooser) {
  TSetupHome home;
  std::filesystem::create_directories(home.Home() + "Apps");
  EXPECT_EQ(ChosenTargetFolder("/srv/Apps"), "/srv/Apps/Tessaro/");
  EXPECT_EQ(ChosenTargetFolder("/srv/Apps/"), "/srv/Apps/Tessaro/");
  EXPECT_EQ(ChosenTargetFolder("/srv/MyTESSARO"), "/srv/MyTESSARO/");
  EXPECT_EQ(ChosenTargetFolder("/home/tessaro/Apps"), "/home/tessaro/Apps/Tessaro/");
  EXPECT_EQ(ChooserStartFolder(home.Home() + "Apps/"), home.Home() + "Apps");
  EXPECT_EQ(ChooserStartFolder(home.Home() + "Apps/Tessaro/"), home.Home() + "Apps")
      << "a folder not made yet gives way to its parent";
  std::filesystem::create_directories(home.Home() + ".local/opt");
  EXPECT_EQ(ChooserStartFolder(home.Home() + "x/y/z"), home.Home() + ".local/opt");
  EXPECT_EQ(ChooserStartFolder(""), home.Home() + ".local/opt");
  std::filesystem::remove(home.Home() + ".local/opt");
  EXPECT_EQ(ChooserStartFolder(""), home.Home() + ".local");
  std::filesystem::remove(home.Home() + ".local");
  EXPECT_EQ(ChooserStartFolder(""), home.Home().substr(0, home.Home().size() - 1));
}

TEST(SetupFormLogic, ObsoleteFilesGoWhenTheirNewPlaceHoldsThem) {
  TSetupHome home;
  const std::string pgm = home.Home();
  std::filesystem::create_directories(pgm + "System");
  for (const char* f : {"IconData.ico", "TraderLogo.bmp", "Tessaro.lng", "Anleitung.pdf",
                        "Anleitung TESSARO.pdf", "System/IconData.ico", "System/Tessaro.lng"})
    WriteAllBytes(pgm + f, "x");
  RemoveObsoleteFiles(pgm);
  EXPECT_EQ(TreeOf(pgm), (std::vector<std::string>{"Anleitung TESSARO.pdf", "Anleitung.pdf", "System/",
                                                   "System/IconData.ico", "System/Tessaro.lng",
                                                   "TraderLogo.bmp"}));
  WriteAllBytes(pgm + "Anleitung_TESSARO.pdf", "x");
  RemoveObsoleteFiles(pgm);
  EXPECT_FALSE(Exists(pgm + "Anleitung.pdf"));
  EXPECT_FALSE(Exists(pgm + "Anleitung TESSARO.pdf"));
}

// What earlier versions named "Merivan Tessaro" in the menu and on the desktop takes
// today's names before the commands renew it; nothing is moved over what exists.
TEST(SetupFormLogic, OlderMenuAndDesktopEntriesTakeTodaysNames) {
  TSetupHome home;
  const std::string menu = home.Home() + ".local/share/applications/";
  const std::string desktop = home.Home() + "Desktop/";
  std::filesystem::create_directories(menu + "Merivan Tessaro");
  std::filesystem::create_directories(desktop);
  WriteAllBytes(menu + "Merivan Tessaro.desktop", "old menu entry");
  WriteAllBytes(menu + "Merivan Tessaro/Tessaro.desktop", "old entry in its folder");
  WriteAllBytes(desktop + "Merivan Tessaro.desktop", "old desktop entry");

  // The own menu folder is the menu itself: its entry moves, the folder above is no menu.
  SetupState().myStartMenu = menu;
  MoveOlderMenuAndDesktopEntries();
  EXPECT_EQ(ReadAllBytes(menu + "Tessaro.desktop"), "old menu entry");
  EXPECT_EQ(ReadAllBytes(desktop + "Tessaro.desktop"), "old desktop entry");
  EXPECT_FALSE(Exists(menu + "Merivan Tessaro.desktop"));
  EXPECT_FALSE(Exists(desktop + "Merivan Tessaro.desktop"));
  EXPECT_TRUE(Exists(menu + "Merivan Tessaro/"));

  // An own menu folder inside the menu takes the older folder with what it holds.
  SetupState().myStartMenu = menu + "Tessaro/";
  MoveOlderMenuAndDesktopEntries();
  EXPECT_EQ(ReadAllBytes(menu + "Tessaro/Tessaro.desktop"), "old entry in its folder");
  EXPECT_FALSE(Exists(menu + "Merivan Tessaro"));

  // Today's names are never replaced.
  WriteAllBytes(desktop + "Merivan Tessaro.desktop", "older still");
  MoveOlderMenuAndDesktopEntries();
  EXPECT_EQ(ReadAllBytes(desktop + "Tessaro.desktop"), "old desktop entry");
  EXPECT_EQ(ReadAllBytes(desktop + "Merivan Tessaro.desktop"), "older still");
}

TEST(SetupFormLogic, OneInstallerAtATime) {
  TTempDir dir;
  TEnvScope instance("TESSARO_INSTANCE_DIR", dir.Path().c_str());
  EXPECT_EQ(SetupLockFileName(), dir.Dir() + "TessaroSetup-" + std::to_string(getuid()) + ".lock");
  auto first = std::make_unique<TSetupInstanceLock>();
  ASSERT_TRUE(first->Acquire());
  TSetupInstanceLock second;
  EXPECT_FALSE(second.Acquire());
  first.reset();
  EXPECT_TRUE(second.Acquire());
}

}  // namespace
