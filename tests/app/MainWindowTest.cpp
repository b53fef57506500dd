// The main window in one process: login into a store of the test's own, pages by rights,
// the record commands, the gates of the menu commands, F1, Escape and logout.
#include <memory>
#include <string>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QMenu>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QScreen>
#include <algorithm>

#include "LoginTestSupport.h"
#include "app/FrameLoginUnit.h"
#include "app/MainFormUnit.h"
#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "basic/widgets/QtLanguageUnit.h"
#include "data/ClientSessionUnit.h"
#include "data/HolderUnit.h"
#include "data/IniUnit.h"
#include "data/ItemsLock.h"
#include "data/StockUnit.h"
#include "data/UnitTR100.h"
#include "automation/ClicksScenario.h"
#include "output/FakePrinterServices.h"
#include "output/PrintSelectUnit.h"
#include "output/PrintSettingsUnit.h"
#include "output/AWebBrowserUnit.h"

namespace {

// A view that answers the window's questions as the test says.
class TFakeView : public IView {
 public:
  bool editing = false;
  bool handles = true;
  int32_t current = 0;
  std::string letters;
  int cancels = 0;

  bool Editing() const override { return editing; }
  int32_t CurrentItemId() const override { return current; }
  bool HandleCommand(char letter) override {
    letters += letter;
    return handles;
  }
  bool CancelEdit() override {
    ++cancels;
    editing = false;
    return true;
  }
};

// One workstation with a store of two users and its main window, not yet started.
struct TWindowEnv {
  TLoginEnv env;
  // Placement stored before the window exists (empty: none).
  static inline std::string storedPlacement;
  static inline std::vector<std::string> arguments;
  int32_t admin = 0;
  int32_t clerk = 0;
  std::unique_ptr<TTessaroForm> form;

  // `clerkRights`: the 13 level digits of the clerk; the admin holds every right.
  explicit TWindowEnv(const std::string& clerkRights = "2222222222222",
                      bool registeredClient = false)
      : env(arguments) {
    if (!storedPlacement.empty()) WriteDataSetting("WindowState", storedPlacement);
    PfMakeFolders(env.Prog() + "Help/de/");
    SaveTextFile(std::vector<std::string>{"<html><body>Index</body></html>"},
                 env.Prog() + "Help/de/index.html");
    SaveTextFile(std::vector<std::string>{"<html><body>Doors</body></html>"},
                 env.Prog() + "Help/de/door.html");
    {
      TStoreMaker maker(env.Data());
      admin = maker.User("Admin", "A");
      maker.db.SetField(admin, fkRights, maker.Rights(admin, "2222222222222"));
      clerk = maker.User("Clerk", "C");
      maker.db.SetField(clerk, fkRights, maker.Rights(clerk, clerkRights));
      maker.db.Commit();
    }
    if (registeredClient) {
      // The data root as the one registered client, so the login page offers a choice.
      TMandantInfoRec client;
      client.Title = "Hauptdatenbank";
      AddClient(client, 0);
    }
    ResetMainFormRegistries();
    form = std::make_unique<TTessaroForm>();
    form->GuiStartTimerTimer();
  }
  ~TWindowEnv() {
    form.reset();
    ResetMainFormRegistries();
    ResetWinGlue();
  }

  void Login(const std::string& name, const std::string& password) {
    TFrameLogin& frame = *form->FrameLogin;
    frame.LoginNameCombo->setCurrentIndex(frame.LoginNameCombo->findText(QString::fromStdString(name)));
    frame.LoginPWEd->setText(QString::fromStdString(password));
    frame.LoginOkBtnClick();
  }
  // Chooses the client whose title is given.
  void Choose(bool sandbox) {
    TFrameLogin& login = *form->FrameLogin;
    ASSERT_TRUE(login.ClientChoiceVisible());
    for (int row = 1; row < GridRowCount(login.MandantGrid); ++row)
      if (LoginState().Clients[GridRowId(login.MandantGrid, row)].Active == sandbox) {
        GridSelectRow(login.MandantGrid, row);
        login.MandantGridDblClick();
        return;
      }
    FAIL() << "no such client";
  }
  bool Visible(int page) const { return form->PageControl->isTabVisible(page); }
  int Active() const { return form->PageControl->currentIndex(); }
};

TEST(MainWindow, StartsOnTheLoginPageWithOnlyLoginAndHelp) {
  TWindowEnv w;
  EXPECT_TRUE(w.form->PageControl->isVisibleTo(w.form.get()));
  EXPECT_EQ(w.Active(), pgLogin);
  for (int page = 0; page < kPageCount; ++page)
    EXPECT_EQ(w.Visible(page), page == pgLogin || page == pgHelp) << page;
  EXPECT_EQ(w.form->FrameLogin->LoginNameCombo->count(), 2);
  EXPECT_EQ(w.form->PageControl->count(), kPageCount);
  EXPECT_EQ(w.form->Sheets[pgIssueReturn]->objectName(), "TransferSheet");
}

struct TRightsCase {
  const char* clerkRights;
  bool issuePage;
  bool usersPage;
};

TEST(MainWindow, PagesAfterLoginFollowTheRights) {
  const TRightsCase cases[] = {
      {"2222222222222", true, true},
      // Neither issue nor return: no issue-and-return page, whether the levels are 1 or 0.
      {"2222211222222", false, true},
      {"2222200222222", false, true},
      {"2222201222222", false, true},
      // One of the two is enough.
      {"2222220222222", true, true},
      {"2222202222222", true, true},
      // Users and rights denied (the admin holds the right, so it is not granted to all).
      {"2222122222222", true, false},
      {"2222022222222", true, false},
  };
  for (const TRightsCase& c : cases) {
    TWindowEnv w(c.clerkRights);
    w.Login("Clerk", "C");
    ASSERT_TRUE(Session().LoggedIn) << c.clerkRights;
    EXPECT_EQ(w.Visible(pgIssueReturn), c.issuePage) << c.clerkRights;
    EXPECT_EQ(w.Visible(pgUsers), c.usersPage) << c.clerkRights;
    EXPECT_FALSE(w.Visible(pgLogin));
    EXPECT_TRUE(w.Visible(pgKeys));
    EXPECT_TRUE(w.Visible(pgPersons));
    EXPECT_EQ(w.Active(), pgKeys);
    // "ViewTab" empty: buildings, doors, limits, history shown; cylinders, cabinets not.
    EXPECT_TRUE(w.Visible(pgBuildings) && w.Visible(pgDoors) && w.Visible(pgLimits) &&
                w.Visible(pgHistory));
    EXPECT_FALSE(w.Visible(pgCylinders) || w.Visible(pgCabinets));
  }
}

TEST(MainWindow, RecordCommandsGoToTheActivePagesViewAndBeepWhenRefused) {
  TWindowEnv w;
  TFakeView keys;
  RegisterView(pgKeys, &keys);
  RegisterPageCommands(pgKeys, &keys);

  // Before the login the letters do nothing at all.
  w.form->RunMenuCommand("New1");
  EXPECT_EQ(keys.letters, "");
  EXPECT_EQ(w.form->BeepCount(), 0);
  EXPECT_TRUE(w.env.ui.messages.empty());

  w.Login("Admin", "A");
  ASSERT_EQ(w.Active(), pgKeys);
  w.form->RunMenuCommand("New1");
  w.form->RunMenuCommand("Ed1");
  w.form->RunMenuCommand("Dup1");
  w.form->RunMenuCommand("Save1");
  EXPECT_EQ(keys.letters, "NEDS");
  EXPECT_EQ(w.form->BeepCount(), 0);

  keys.handles = false;
  w.form->DispatchCommand(kCmdEdit);
  EXPECT_EQ(w.form->BeepCount(), 1);

  // The persons page allows no duplicate: nothing at all, no beep.
  ShowPage(pgPersons, true);
  w.form->RunMenuCommand("Dup1");
  EXPECT_EQ(w.form->BeepCount(), 1);
  // A page without a view beeps.
  ShowPage(pgIssueReturn, true);
  w.form->RunMenuCommand("New1");
  EXPECT_EQ(w.form->BeepCount(), 2);
  UnregisterPageCommands(pgKeys, &keys);
  UnregisterView(pgKeys, &keys);
}

// Commands that would do nothing are not offered: the record commands of a page without
// its view, and a submenu whose entries all wait for their work.
TEST(MainWindow, RecordCommandsOfAPageWithoutViewAndEmptySubmenusAreDisabled) {
  TWindowEnv w;
  TFakeView keys;
  RegisterView(pgKeys, &keys);
  RegisterPageCommands(pgKeys, &keys);
  w.Login("Admin", "A");
  QMenu* edit = w.form->Menu("Edit1");
  QMenu* file = w.form->Menu("File1");
  ASSERT_TRUE(edit && file);
  ShowPage(pgKeys, true);
  emit edit->aboutToShow();
  for (const char* name : {"New1", "Ed1", "Save1"})
    EXPECT_TRUE(w.form->MenuItem(name)->isEnabled()) << name;
  ShowPage(pgCabinets, true);
  emit edit->aboutToShow();
  for (const char* name : {"New1", "Ed1", "Save1", "Dup1"})
    EXPECT_FALSE(w.form->MenuItem(name)->isEnabled()) << name;

  QAction* imports = w.form->Menu("Import1")->menuAction();
  emit file->aboutToShow();
  EXPECT_FALSE(imports->isEnabled());
  InstallMenuCommand("ImportKWD1", [] {});
  emit file->aboutToShow();
  EXPECT_TRUE(imports->isEnabled());
  InstallMenuCommand("ImportKWD1", {});
  UnregisterPageCommands(pgKeys, &keys);
  UnregisterView(pgKeys, &keys);
}

// The settings the program reads from the data folder and beside itself take effect, and
// a client without them shows the defaults again.
TEST(MainWindow, SettingsOfTheDataFolderAndTheProgramTakeEffect) {
  TWindowEnv w;
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "PersonsTerm", "Mieter"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "AltBlocking", "1"));
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "MultiSubscriber", "shared"));
  ASSERT_TRUE(OpenDataStore());
  EXPECT_EQ(PersonTerm(), "Mieter");
  EXPECT_EQ(FromQString(w.form->PageControl->tabText(pgPersons)), "Mieter");
  EXPECT_EQ(HolderKindNames()[okPerson], "Mieter");
  EXPECT_NE(StationName().find("@@"), std::string::npos);

  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "PersonsTerm", ""));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "AltBlocking", ""));
  ASSERT_TRUE(OpenDataStore());
  EXPECT_EQ(PersonTerm(), CoreText(63));
  EXPECT_EQ(StationName().find("@@"), std::string::npos);

  w.form->ReadProgramSettings();
  EXPECT_EQ(MandantState().SecondRegisterName, w.env.Prog() + "shared/automaticRegister.csv");
}

// The term Setup wrote beside the program names the persons of a data folder without one of
// its own; a data folder with its own term keeps it.
TEST(MainWindow, ThePersonsTermChosenAtInstallationTakesEffect) {
  TWindowEnv w;
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "PersonsTerm", "Mieter"));
  ASSERT_TRUE(OpenDataStore());
  EXPECT_EQ(PersonTerm(), "Mieter");
  EXPECT_EQ(FromQString(w.form->PageControl->tabText(pgPersons)), "Mieter");
  EXPECT_EQ(HolderKindNames()[okPerson], "Mieter");

  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "PersonsTerm", "Kunden"));
  ASSERT_TRUE(OpenDataStore());
  EXPECT_EQ(PersonTerm(), "Kunden");
  EXPECT_EQ(FromQString(w.form->PageControl->tabText(pgPersons)), "Kunden");
}

TEST(MainWindow, AnUnattendedImportWithoutTheImportLeavesALogLine) {
  TWindowEnv w;
  LogFileNames().ErrorLogFile = w.env.dir.File("errors.log");
  w.form->RunAutoImport("profil.ipo");
  const std::string log = ReadAllBytes(w.env.dir.File("errors.log"));
  EXPECT_NE(log.find(kLogAutoImportUnavailable), std::string::npos);
  EXPECT_NE(log.find("profil.ipo"), std::string::npos);
  LogFileNames().ErrorLogFile.clear();
}

TEST(MainWindow, MenuCommandsAskLoginThenRightThenUnsavedInput) {
  TWindowEnv w("2220222222222");  // the clerk may not change buildings (right 3)
  int runs = 0;
  InstallMenuCommand("ImportKWD1", [&] { ++runs; });
  InstallMenuCommand("Settings1", [&] { ++runs; });

  // Not logged in.
  EXPECT_FALSE(w.form->RunMenuCommand("ImportKWD1"));
  ASSERT_EQ(w.env.ui.messages.size(), 1u);
  EXPECT_EQ(w.env.ui.messages[0].text, CoreText(30));

  // A right refused: its message, and nothing about unsaved input.
  w.Login("Clerk", "C");
  TFakeView buildings;
  buildings.editing = true;
  RegisterView(pgBuildings, &buildings);
  w.env.ui.Clear();
  EXPECT_FALSE(w.form->RunMenuCommand("ImportKWD1"));
  ASSERT_EQ(w.env.ui.messages.size(), 1u);
  EXPECT_EQ(w.env.ui.messages[0].text, CoreText(RightDenialText(rtBuildings)));

  // Settings: the right passes, no unsaved-input gate: runs although a view edits.
  w.env.ui.Clear();
  EXPECT_TRUE(w.form->RunMenuCommand("Settings1"));
  EXPECT_EQ(runs, 1);

  // As the admin: rights pass, the unsaved input stops the import and shows its page.
  w.form->RunMenuCommand("Logout1");  // refused: the buildings view edits
  EXPECT_TRUE(Session().LoggedIn);
  buildings.editing = false;
  w.form->RunMenuCommand("Logout1");
  ASSERT_FALSE(Session().LoggedIn);
  w.Login("Admin", "A");
  buildings.editing = true;
  w.env.ui.Clear();
  EXPECT_FALSE(w.form->RunMenuCommand("ImportKWD1"));
  ASSERT_EQ(w.env.ui.messages.size(), 1u);
  EXPECT_EQ(w.env.ui.messages[0].text, WinText(4));
  EXPECT_EQ(w.Active(), pgBuildings);
  EXPECT_EQ(runs, 1);
  buildings.editing = false;
  EXPECT_TRUE(w.form->RunMenuCommand("ImportKWD1"));
  EXPECT_EQ(runs, 2);
  UnregisterView(pgBuildings, &buildings);
}

TEST(MainWindow, CommandsOfLaterUnitsStayDisabledUntilInstalled) {
  TWindowEnv w;
  w.form->UpdateMenus();
  EXPECT_FALSE(w.form->MenuItem("ImportXML1")->isEnabled());
  EXPECT_FALSE(w.form->RunMenuCommand("ImportXML1"));
  InstallMenuCommand("ImportXML1", [] {});
  w.form->UpdateMenus();
  EXPECT_TRUE(w.form->MenuItem("ImportXML1")->isEnabled());
  EXPECT_TRUE(w.form->MenuItem("BackupNow1")->isEnabled());
}

TEST(MainWindow, F1ShowsThePagesHelpOrTheIndex) {
  TWindowEnv w;
  w.Login("Admin", "A");
  ShowPage(pgDoors, true);
  EXPECT_TRUE(w.form->RunMenuCommand("HelpF1"));
  EXPECT_EQ(w.Active(), pgHelp);
  EXPECT_EQ(w.form->HelpAddress(), "file://" + w.env.Prog() + "Help/de/door.html");
  ASSERT_TRUE(w.form->HelpBrowser);
  EXPECT_TRUE(w.form->HelpBrowser->toPlainText().contains("Doors"));

  // Escape on Help goes back to the page before it.
  w.form->FormKeyPress(Qt::Key_Escape);
  EXPECT_EQ(w.Active(), pgDoors);

  // The keys page has no file of its own here: the index.
  ShowPage(pgKeys, true);
  w.form->RunMenuCommand("HelpF1");
  EXPECT_EQ(w.form->HelpAddress(), "file://" + w.env.Prog() + "Help/de/index.html");
  EXPECT_TRUE(w.form->HelpBrowser->toPlainText().contains("Index"));

  // On the issue-and-return page F1 tells where its help is.
  ShowPage(pgIssueReturn, true);
  w.env.ui.Clear();
  w.form->RunMenuCommand("HelpF1");
  EXPECT_EQ(w.Active(), pgIssueReturn);
  ASSERT_EQ(w.env.ui.messages.size(), 1u);
  EXPECT_EQ(w.env.ui.messages[0].text, MainFormText(5));
}

TEST(MainWindow, EscapeCancelsAnEditElseReturnsButNeverToHelp) {
  TWindowEnv w;
  w.Login("Admin", "A");
  TFakeView doors;
  RegisterView(pgDoors, &doors);
  RegisterPageCommands(pgDoors, &doors);
  ShowPage(pgDoors, true);
  doors.editing = true;
  w.form->FormKeyPress(Qt::Key_Escape);
  EXPECT_EQ(doors.cancels, 1);
  EXPECT_EQ(w.Active(), pgDoors);
  // Not editing: back to the page before (keys).
  w.form->FormKeyPress(Qt::Key_Escape);
  EXPECT_EQ(w.Active(), pgKeys);
  // Help is never the page to go back to.
  ShowPage(pgHelp, true);
  ShowPage(pgDoors, true);
  w.form->FormKeyPress(Qt::Key_Escape);
  EXPECT_EQ(w.Active(), pgKeys);
  UnregisterPageCommands(pgDoors, &doors);
  UnregisterView(pgDoors, &doors);
}

TEST(MainWindow, ViewMenuHidesAPageAndTheUserKeepsIt) {
  TWindowEnv w;
  w.Login("Admin", "A");
  ASSERT_TRUE(w.Visible(pgHistory));
  EXPECT_TRUE(w.form->RunMenuCommand("ViewHistory1"));
  EXPECT_FALSE(w.Visible(pgHistory));
  EXPECT_EQ(SessionDB()->GetField(w.admin, "ViewTab"), "111000");
  // Print preview: on after a login without a stored value; the menu turns it off and the
  // user keeps it.
  EXPECT_TRUE(PrintPreviewEnabled());
  EXPECT_TRUE(w.form->RunMenuCommand("PrintPreview1"));
  EXPECT_FALSE(PrintPreviewEnabled());
  EXPECT_EQ(SessionDB()->GetField(w.admin, "PrintPreview"), "0");
  // The store was changed in this run: the logout asks before the automatic backup.
  QueueDialogDriver(ClickButtonDriver(ToQString(MsgDlgSourceText(mdtNo))));
  w.form->RunMenuCommand("Logout1");
  w.Login("Admin", "A");
  EXPECT_FALSE(w.Visible(pgHistory));
  EXPECT_TRUE(w.Visible(pgBuildings));
  EXPECT_FALSE(PrintPreviewEnabled());
}

TEST(MainWindow, LogoutReturnsToTheLoginPage) {
  TWindowEnv w;
  w.Login("Admin", "A");
  ASSERT_TRUE(Session().LoggedIn);
  w.form->RunMenuCommand("Logout1");
  EXPECT_FALSE(Session().LoggedIn);
  EXPECT_EQ(w.Active(), pgLogin);
  for (int page = 0; page < kPageCount; ++page)
    EXPECT_EQ(w.Visible(page), page == pgLogin || page == pgHelp) << page;
  EXPECT_TRUE(w.form->FrameLogin->LoginOkBtn->isEnabled());
}

TEST(MainWindow, SandboxIsEnteredThroughTheLoginPageAndLeftWithDeletion) {
  TWindowEnv w("2222222222222", true);
  w.Choose(false);
  w.Login("Admin", "A");
  ASSERT_TRUE(Session().LoggedIn);
  const uint32_t normal = w.form->FrameColour();
  // Asked first; No changes nothing.
  w.env.ui.answers = {mrNo};
  EXPECT_TRUE(w.form->RunMenuCommand("Sandbox1"));
  EXPECT_TRUE(Session().LoggedIn);
  // Yes: the copy is made and the logout leads to the client choice with the sandbox.
  w.env.ui.answers = {mrYes};
  EXPECT_TRUE(w.form->RunMenuCommand("Sandbox1"));
  EXPECT_FALSE(Session().LoggedIn);
  w.Choose(true);
  EXPECT_TRUE(MandantState().SandboxMode);
  EXPECT_EQ(w.form->FrameColour(), 0x000000FFu);
  w.env.ui.Clear();
  w.Login("Admin", "A");
  ASSERT_TRUE(Session().LoggedIn);
  const std::string sandboxFolder = MandantState().DataPath;
  EXPECT_NE(sandboxFolder, w.env.Data());

  // The data-folder switch is not for the sandbox, nor is the choice of another store.
  w.env.ui.Clear();
  EXPECT_TRUE(w.form->RunMenuCommand("useDemoData1"));
  ASSERT_EQ(w.env.ui.messages.size(), 1u);
  EXPECT_EQ(w.env.ui.messages[0].text, CoreText(75));
  InstallMenuCommand("SelDBFile1", [] {});
  w.form->UpdateMenus();
  EXPECT_FALSE(w.form->MenuItem("SelDBFile1")->isEnabled());

  // Leaving: "end the sandbox?" Yes, then "delete it?" Yes; back at the client choice.
  w.env.ui.answers = {mrYes, mrYes};
  EXPECT_TRUE(w.form->RunMenuCommand("Sandbox1"));
  EXPECT_FALSE(Session().LoggedIn);
  // The copy is deleted and the sandbox is no longer offered.
  std::vector<TPfFolderEntry> left;
  PfListFolder(sandboxFolder, left);
  EXPECT_TRUE(left.empty());
  ASSERT_TRUE(w.form->FrameLogin->ClientChoiceVisible());
  for (const TMandantInfoRec& client : LoginState().Clients) EXPECT_FALSE(client.Active);
  w.Choose(false);
  EXPECT_FALSE(MandantState().SandboxMode);
  EXPECT_EQ(w.form->FrameColour(), normal);
}

// Without clients of its own the data root has no register: once the sandbox is deleted
// the login page opens the original data directly, and it must not be the sandbox again.
TEST(MainWindow, LeavingTheOnlySandboxOpensTheOriginalDataOutsideTheSandbox) {
  TWindowEnv w;
  w.Login("Admin", "A");
  ASSERT_TRUE(Session().LoggedIn);
  const uint32_t normal = w.form->FrameColour();
  w.env.ui.answers = {mrYes};
  EXPECT_TRUE(w.form->RunMenuCommand("Sandbox1"));
  w.Choose(true);
  w.Login("Admin", "A");
  ASSERT_TRUE(MandantState().SandboxMode);
  w.env.ui.answers = {mrYes, mrYes};
  EXPECT_TRUE(w.form->RunMenuCommand("Sandbox1"));
  EXPECT_FALSE(w.form->FrameLogin->ClientChoiceVisible());
  EXPECT_FALSE(MandantState().SandboxMode);
  EXPECT_FALSE(MandantState().HasCurrentMandant);
  EXPECT_EQ(MandantState().DataPath, w.env.Data());
  EXPECT_EQ(w.form->FrameColour(), normal);
}

TEST(MainWindow, PlacementIsReadAndKeptUnlessTheWindowSwitchIsGiven) {
  struct TCase {
    std::vector<std::string> args;
    bool placed;  // the stored placement was applied
    bool kept;    // the placement at closing was written back
  };
  const TCase cases[] = {
      {{}, true, true},
      {{"window=small"}, false, false},
      {{"window=Small"}, true, false},  // not the small placement, but still not written
  };
  for (const TCase& c : cases) {
    TWindowEnv::storedPlacement = "10;10;790;540";
    TWindowEnv::arguments = c.args;
    TWindowEnv w;
    TWindowEnv::storedPlacement.clear();
    TWindowEnv::arguments.clear();
    EXPECT_EQ(w.form->StartWindowState(), "10;10;790;540");
    EXPECT_EQ(w.form->width() == 790 && w.form->height() == 540, c.placed) << w.form->width();
    w.form->ApplyWindowState("5;5;795;560");
    EXPECT_TRUE(w.form->FormClose());
    EXPECT_EQ(ReadDataSettingStr("WindowState"), c.kept ? "5;5;795;560" : "10;10;790;540");
  }
}

// The printer a hand chooses in a print selection is the next run's first choice: closing
// the window keeps it; a run without a choice leaves the stored one.
TEST(MainWindow, ClosingKeepsThePrinterChosen) {
  for (const bool choose : {false, true}) {
    SCOPED_TRACE(choose);
    TFakePrinterScope printers;
    printers.printers.names = {"Empfang", "Etage 2 Laser"};
    TWindowEnv w;
    w.form->show();
    WriteDataSetting("Printer", "Empfang");
    if (choose) {
      QueueDialogDriver([](QDialog& dialog) {
        auto& form = static_cast<TPrintSelectForm&>(dialog);
        EXPECT_TRUE(hand::PickFromCombo(form.PrintersCombo, "Etage 2 Laser"));
        QTest::mouseClick(form.OkBtn, Qt::LeftButton);
      });
      EXPECT_TRUE(PrintSelectSimple("Formular"));
      EXPECT_EQ(PendingDialogDrivers(), 0);
    }
    EXPECT_TRUE(w.form->close());
    EXPECT_EQ(ReadDataSettingStr("Printer"), choose ? "Etage 2 Laser" : "Empfang");
  }
}

TEST(MainWindow, WindowStateMaximisesOrPlaces) {
  TWindowEnv w;
  w.form->ApplyWindowState("1");
  EXPECT_TRUE(w.form->windowState() & Qt::WindowMaximized);
  EXPECT_EQ(w.form->WindowStateText(), "1");
  w.form->ApplyWindowState("10;10;100;100");
  EXPECT_FALSE(w.form->windowState() & Qt::WindowMaximized);
  EXPECT_EQ(w.form->width(), kMinWindowWidth);
  EXPECT_EQ(w.form->height(), kMinWindowHeight);
}

}  // namespace

// Maximising is the window manager's; without one the window stays as it is made. So a
// "WindowState" of "" or "1" gives the window the work area itself, and stored bounds are
// at least the smallest size and lie on the screen.
namespace {

TEST(MainWindow, WithoutAWindowManagerTheWindowStillFitsTheScreen) {
  struct TCase {
    std::string stored;
    bool maximised;
  };
  const TCase cases[] = {{"", true}, {"1", true}, {"-300;5000;100;100", false}, {"40;30", false}};
  for (const TCase& c : cases) {
    TWindowEnv::storedPlacement = c.stored;
    TWindowEnv w;
    TWindowEnv::storedPlacement.clear();
    QScreen* screen = w.form->screen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    EXPECT_EQ(bool(w.form->windowState() & Qt::WindowMaximized), c.maximised) << c.stored;
    if (c.maximised) {
      EXPECT_EQ(w.form->geometry(), area) << c.stored;
    } else {
      EXPECT_TRUE(area.contains(w.form->frameGeometry())) << c.stored;
    }
    EXPECT_GE(w.form->width(), std::min(kMinWindowWidth, area.width())) << c.stored;
    EXPECT_GE(w.form->height(), std::min(kMinWindowHeight, area.height())) << c.stored;
  }
}

}  // namespace

namespace {

// Qt's own dialogs follow the language menu: German with the program in German, Qt's
// English once the program speaks English, and back.
TEST(MainWindow, TheLanguageMenuSwitchesQtsOwnTexts) {
  TScopedMLSystem ml;
  ASSERT_TRUE(ml.System().LoadLanguageFile(
      std::string(TESSARO_RESOURCE_DIR) + "/System/Tessaro.lng", false));
  TWindowEnv w;
  const auto lookIn = [] { return QCoreApplication::translate("QFileDialog", "Look in:"); };
  EXPECT_EQ(QtTranslationsLanguage(), "de") << "the program starts in German";
  EXPECT_EQ(lookIn(), QStringLiteral("Suchen in:"));
  QAction* english = nullptr;
  QAction* german = nullptr;
  for (QAction* a : w.form->Language1->actions()) {
    if (a->text() == "English") english = a;
    if (a->text().startsWith("Deutsch")) german = a;
  }
  ASSERT_NE(english, nullptr);
  ASSERT_NE(german, nullptr);
  QueueDialogDriver(ClickButtonDriver("OK"));  // a note may follow a second switch
  english->trigger();
  EXPECT_EQ(QtTranslationsLanguage(), "");
  EXPECT_EQ(lookIn(), QStringLiteral("Look in:"));
  german->trigger();
  EXPECT_EQ(QtTranslationsLanguage(), "de");
  EXPECT_EQ(lookIn(), QStringLiteral("Suchen in:"));
  ClearDialogDrivers();
  LoadQtTranslations("", "EN");
}

}  // namespace
