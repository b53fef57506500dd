#include <cerrno>
#include <filesystem>

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/BackupRequesterUnit.h"
#include "app/FrameLoginUnit.h"
#include "app/TessaroMain.h"
#include "app/UnitTR100Win.h"
#include "basic/widgets/DialogRunner.h"
#include "app/LoginTestSupport.h"
#include "basic/FileCtrl2.h"
#include "basic/RegistryUnit.h"
#include "basic/DateClock.h"
#include "basic/ValueString.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/QtGlue.h"
#include "data/ClientSessionUnit.h"
#include "data/ItemsLock.h"
#include "data/LockingRelations.h"
#include "data/StockUnit.h"
#include "data/TimeTravelUnit.h"

namespace {

// ---------------------------------------------------------------------------------------
// The data root.

TEST(LoginDataRoot, SwitchThenDataFileFolderThenSettingThenDemoData) {
  struct Case {
    TDataRootSources in;
    std::string root;
  };
  const std::string prog = "/opt/tessaro/";
  const Case cases[] = {
      {{"/srv/a", "/srv/b/Data.ada", "/srv/c", prog}, "/srv/a/"},
      {{"", "/srv/b/Data.ada", "/srv/c", prog}, "/srv/b/"},
      {{"", "", "  /srv/c/  ", prog}, "/srv/c/"},
      {{"", "", "Daten", prog}, "/opt/tessaro/Daten/"},
      {{"", "copy/2026-01.ada", "/srv/c", prog}, "/opt/tessaro/copy/"},
      {{"  ", "", "   ", prog}, "/opt/tessaro/DemoData/"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ResolveDataRoot(c.in), c.root) << c.in.dataPathSwitch << "|" << c.in.dataFileSwitch;
}

TEST(LoginDataRoot, ShowLoginPageTakesTheSwitchOnceAndKeepsAChosenDataPath) {
  TLoginEnv env({"datapath=/srv/shared"});
  env.state.DataRoot.clear();
  env.state.DataPath.clear();
  PrepareLoginPage();
  EXPECT_EQ(env.state.DataRoot, "/srv/shared/");
  EXPECT_EQ(env.state.DataPath, "/srv/shared/");
  env.state.DataPath = "/srv/other/";
  PrepareLoginPage();
  EXPECT_EQ(env.state.DataPath, "/srv/other/");
}

// ---------------------------------------------------------------------------------------
// The login check and the rights.

TEST(LoginCheck, NamesAndPasswordsCompareTrimmedThroughThe1252UpperCase) {
  TLoginEnv env;
  int32_t alice, baer, gone;
  {
    TStoreMaker maker(env.Data());
    alice = maker.User("Alice", "GEHEIM");
    baer = maker.User("B\xE4r", "\xC4PFEL");
    maker.User("", "LEER");  // a record without a name is nobody
    gone = maker.User("Gone", "X");
    maker.db.MarkDeleted(gone);
    maker.db.Commit();
  }
  ASSERT_TRUE(OpenDataStore());
  TMiniDB& db = *SessionDB();
  struct Case {
    const char* name;
    const char* password;
    bool success;
    int32_t id;
  };
  const Case cases[] = {
      {"alice", "geheim", true, alice},
      {"  ALICE ", " Geheim  ", true, alice},
      {"alice", "geheim2", false, 0},
      {"b\xE4r", "\xE4pfel", true, baer},  // ä -> Ä by our table, not by the locale
      {"B\xC4R", "\xC4PFEL", true, baer},
      {"", "LEER", false, 0},
      {"gone", "x", false, 0},
      {"nobody", "", false, 0},
  };
  for (const Case& c : cases) {
    const TLoginMatch m = CheckLogin(db, c.name, c.password);
    EXPECT_EQ(m.success, c.success) << c.name;
    EXPECT_EQ(m.userId, c.id) << c.name;
    EXPECT_TRUE(m.namedUsers);
  }
  EXPECT_EQ(CheckLogin(db, "ALICE", "GEHEIM").userName, "Alice");
}

TEST(LoginCheck, WithoutNamedUsersAnyoneEntersAsNoName) {
  TLoginEnv env;
  {
    TStoreMaker maker(env.Data());
    maker.User("  ", "PW");
  }
  ASSERT_TRUE(OpenDataStore());
  const TLoginMatch m = CheckLogin(*SessionDB(), "whoever", "whatever");
  EXPECT_TRUE(m.success);
  EXPECT_EQ(m.userId, 0);
  EXPECT_FALSE(m.namedUsers);
  CompleteLogin(m, "whoever");
  EXPECT_TRUE(Session().LoggedIn);
  EXPECT_EQ(Session().CurrentUserId, 0);
  env.history.Flush();
  const std::string log = ReadAllBytes(env.history.FileNameOf(env.history.CurrentYear()));
  EXPECT_NE(log.find("a=Login"), std::string::npos);
  EXPECT_NE(log.find(HistoryObjectText(icUser, 0, "NoName")), std::string::npos);
}

TEST(LoginRights, NoRightsAnywhereAllowsAllAndUnheldUserAndSettingsRightsAreGranted) {
  TLoginEnv env;
  int32_t plain, clerk, admin;
  {
    TStoreMaker maker(env.Data());
    plain = maker.User("Plain", "");
    clerk = maker.User("Clerk", "");
  }
  ASSERT_TRUE(OpenDataStore());
  TMiniDB& db = *SessionDB();
  TLoginUserList users = ListLoginUsers(db);
  EXPECT_FALSE(users.someUserHasRights);
  TRightLevels all = RightsAfterLogin(db, plain, users.someUserHasRights);
  for (uint8_t level : all) EXPECT_EQ(level, rlYes);

  // Clerk may issue only; nobody holds rights 4 and 9: the logged-in user gets them, so the
  // users and the settings can still be looked after.
  ResetLoginState();
  {
    TStoreMaker maker(env.Data());
    maker.db.SetField(clerk, fkRights, maker.Rights(clerk, "1111121111111"));
    maker.db.Commit();
  }
  ASSERT_TRUE(OpenDataStore());
  TMiniDB& db2 = *SessionDB();
  users = ListLoginUsers(db2);
  EXPECT_TRUE(users.someUserHasRights);
  TRightLevels levels = RightsAfterLogin(db2, clerk, true);
  EXPECT_EQ(levels[rtIssue], rlYes);
  EXPECT_EQ(levels[rtKeys], rlNo);
  EXPECT_EQ(levels[rtUsers], rlYes);
  EXPECT_EQ(levels[rtSettings], rlYes);
  levels = RightsAfterLogin(db2, plain, true);  // no "rg" of his own: nothing but 4 and 9
  EXPECT_EQ(levels[rtIssue], rlNone);
  EXPECT_EQ(levels[rtUsers], rlYes);

  // Once an administrator holds them, the others keep their own levels.
  ResetLoginState();
  {
    TStoreMaker maker(env.Data());
    admin = maker.User("Admin", "");
    maker.db.SetField(admin, fkRights, maker.Rights(admin, "2222222222222"));
    maker.db.Commit();
  }
  ASSERT_TRUE(OpenDataStore());
  levels = RightsAfterLogin(*SessionDB(), clerk, true);
  EXPECT_EQ(levels[rtUsers], rlNo);
  EXPECT_EQ(levels[rtSettings], rlNo);
}

// ---------------------------------------------------------------------------------------
// The client grid.

TMandantInfoRec Client(const std::string& name, const std::string& title,
                       const std::string& text2 = "", const std::string& folder = "") {
  TMandantInfoRec r;
  r.Name = name;
  r.Title = title;
  r.Text2 = text2;
  r.DataFolder = folder;
  return r;
}

TEST(LoginMandantGrid, HeaderDecidesColumnsAndLastSubscriberIsPreselected) {
  TLoginEnv env;
  // Header with a name and two text fields: three columns.
  TMandantList list = {Client("Mandant", "Titel", "Ort"), Client("Nord", "Werk Nord", "Kiel"),
                       Client("Sued", "Werk S\xFC" "d", "", "sued")};
  TMandantGridModel m = BuildMandantGrid(list, MandantKey(list[2]));
  EXPECT_EQ(m.cols, 3);
  EXPECT_EQ(m.rows, 3);
  EXPECT_EQ(m.cells[0], (std::vector<std::string>{" Mandant", " Titel", " Ort"}));
  EXPECT_EQ(m.cells[2], (std::vector<std::string>{" Sued", " Werk S\xFC" "d", " "}));
  EXPECT_EQ(m.selectedRow, 2);
  EXPECT_EQ(m.rowObject[1], 1);

  // Header without a name: its first text field takes column 0.
  list = {Client("", "Titel"), Client("Nord", "Werk Nord")};
  m = BuildMandantGrid(list, "");
  EXPECT_EQ(m.cols, 1);
  EXPECT_EQ(m.cells[1][0], " Werk Nord");
  EXPECT_EQ(m.selectedRow, -1);

  // Header without any text field: "ID" and "Title" stand in, rows filled again.
  list = {Client("", ""), Client("Nord", "Werk Nord")};
  m = BuildMandantGrid(list, "");
  EXPECT_EQ(list[0].Name, "ID");
  EXPECT_EQ(list[0].Title, "Title");
  EXPECT_EQ(m.cols, 2);
  EXPECT_EQ(m.cells[0], (std::vector<std::string>{" ID", " Title"}));
  EXPECT_EQ(m.cells[1], (std::vector<std::string>{" Nord", " Werk Nord"}));

  // Header only: the grid stays empty and its header row chooses nothing.
  list = {Client("Mandant", "Titel")};
  m = BuildMandantGrid(list, "");
  EXPECT_EQ(m.rows, 2);
  EXPECT_EQ(m.cells[1], (std::vector<std::string>{"", ""}));
  EXPECT_EQ(m.rowObject[1], -1);

  // A long name is cut to 32 characters with its leading blank.
  list = {Client("Mandant", ""), Client(std::string(31, 'x'), "")};
  m = BuildMandantGrid(list, "");
  EXPECT_EQ(m.cells[1][0].size(), 32u);
}

TEST(LoginMandantGrid, FrameChoosesOnlyARealClient) {
  TLoginEnv env;
  int chosen = 0;
  TFrameLogin frame;
  frame.OnDatabaseChosen = [&] {
    ++chosen;
    return false;
  };
  LoginState().Clients = {Client("Mandant", "Titel"), Client("Nord", "Werk Nord", "", "nord")};
  RegWriteString(false, "LastSubscriber", MandantKey(LoginState().Clients[1]));
  frame.FillMandantGrid();
  EXPECT_EQ(GridRowCount(frame.MandantGrid), 2);
  EXPECT_EQ(GridSelectedRow(frame.MandantGrid), 1);
  GridClearSelection(frame.MandantGrid);
  frame.MandantGridDblClick();
  EXPECT_EQ(chosen, 0);
  GridSelectRow(frame.MandantGrid, 1);
  frame.MandantGridDblClick();
  EXPECT_EQ(chosen, 1);
  EXPECT_EQ(env.state.CurrentMandant.Name, "Nord");
  EXPECT_EQ(env.state.DataPath, env.Data() + "nord/");
  EXPECT_EQ(RegReadString(false, "LastSubscriber"), MandantKey(LoginState().Clients[1]));
  // The opening failed: back at the client choice.
  EXPECT_TRUE(frame.ClientChoiceVisible());
}

// ---------------------------------------------------------------------------------------
// Opening failures.

TEST(LoginOpen, AFolderThatCannotBeMadeGivesText2AndReadOnlyWithoutStore) {
  TLoginEnv env;
  WriteAllBytes(env.dir.File("afile"), "x");
  env.state.DataPath = env.dir.Dir() + "afile/data/";
  EXPECT_FALSE(OpenDataStore());
  EXPECT_TRUE(env.state.ReadOnlyMode);
  EXPECT_FALSE(LoginState().StoreOpen);
  ASSERT_EQ(env.ui.messages.size(), 1u);
  EXPECT_EQ(env.ui.messages[0].kind, TMsgKind::Error);
  EXPECT_EQ(env.ui.messages[0].text, LoginTextFmt(2, env.state.DataPath));

  // A file where the data folder itself should be is named as such.
  env.ui.Clear();
  env.state.DataPath = env.dir.Dir() + "afile/";
  EXPECT_FALSE(OpenDataStore());
  ASSERT_EQ(env.ui.messages.size(), 1u);
  EXPECT_EQ(env.ui.messages[0].text, LoginTextFmt(109, env.state.DataPath));

  // The next opening judges afresh.
  env.ui.Clear();
  env.state.DataPath = env.Data();
  EXPECT_TRUE(OpenDataStore());
  EXPECT_FALSE(env.state.ReadOnlyMode);
}

TEST(LoginOpen, AFolderWithoutWriteRightsGivesText2) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into every folder";
  TLoginEnv env;
  PfMakeFolders(env.Data() + "locked/");
  chmod((env.Data() + "locked").c_str(), 0555);
  env.state.DataPath = env.Data() + "locked/";
  EXPECT_FALSE(OpenDataStore());
  chmod((env.Data() + "locked").c_str(), 0755);
  EXPECT_TRUE(env.state.ReadOnlyMode);
  ASSERT_EQ(env.ui.messages.size(), 1u);
  EXPECT_EQ(env.ui.messages[0].text, LoginTextFmt(2, env.Data() + "locked/"));
}

// The user answers a question by letting the other workstation go first.
class TReleasingInteraction : public TRecordingInteraction {
 public:
  std::function<void()> onAsk;
  int Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) override {
    TRecordingInteraction::Ask(kind, text, buttons);
    if (onAsk) onAsk();
    return mrYes;
  }
};

TEST(LoginOpen, ABusyReservationOffersARetryInsteadOfEndingTheProgram) {
  TLoginEnv env;
  { TStoreMaker maker(env.Data()); maker.User("Alice", ""); }
  TAccessProtectionRegistry other;
  TAccessProtection* otherLock = other.Acquire(env.Data() + "Data.wpf");
  int ticket = -1;
  ASSERT_TRUE(otherLock->Reserve(ticket));

  // Refused retry: the store stays closed, nothing ends.
  EXPECT_FALSE(OpenDataStore());
  ASSERT_EQ(env.ui.questions.size(), 1u);
  EXPECT_EQ(env.ui.questions[0], LoginTextFmt(102, env.Data()));
  EXPECT_FALSE(LoginState().StoreOpen);

  // Retry after the other workstation let go: the store opens.
  TReleasingInteraction retry;
  TUserInteractionScope scope(retry);
  retry.onAsk = [&] { otherLock->Release(ticket); };
  EXPECT_TRUE(OpenDataStore());
  EXPECT_EQ(retry.questions.size(), 1u);
  EXPECT_TRUE(LoginState().StoreOpen);
  EXPECT_FALSE(env.state.ReadOnlyMode);
  other.Release(otherLock);
}

// A folder where the lock file belongs: no station holds the reservation, so no retry is
// offered; the message names the file and the cause, and nothing ends.
TEST(LoginOpen, ALockFileThatCannotBeUsedIsNamedWithItsCauseNotOfferedARetry) {
  TLoginEnv env;
  {
    TStoreMaker maker(env.Data());
    maker.User("Alice", "");
  }
  std::filesystem::remove(env.Data() + "Data.wpf");
  std::filesystem::create_directory(env.Data() + "Data.wpf");
  EXPECT_FALSE(OpenDataStore());
  EXPECT_TRUE(env.ui.questions.empty());
  ASSERT_EQ(env.ui.messages.size(), 1u);
  EXPECT_EQ(env.ui.messages[0].text, LockFileFailedText(env.Data() + "Data.wpf", EISDIR));
  EXPECT_NE(env.ui.messages[0].text.find(LoginText(111)), std::string::npos);
  EXPECT_NE(env.ui.messages[0].text.find(env.Data() + "Data.wpf"), std::string::npos);
  EXPECT_FALSE(LoginState().StoreOpen);

  // The causes by their errno.
  EXPECT_NE(LockFileFailedText("f", EACCES).find(LoginText(112)), std::string::npos);
  EXPECT_NE(LockFileFailedText("f", EROFS).find(LoginText(113)), std::string::npos);
  EXPECT_NE(LockFileFailedText("f", EIO).find(LoginTextFmt(114, std::to_string(EIO))),
            std::string::npos);

  // Mended, the store opens.
  std::filesystem::remove(env.Data() + "Data.wpf");
  env.ui.Clear();
  EXPECT_TRUE(OpenDataStore());
  EXPECT_TRUE(LoginState().StoreOpen);
}

TEST(LoginOpen, ADamagedFileShowsTheStoreMessageAndGoesBackToTheClientChoice) {
  TLoginEnv env;
  WriteAllBytes(env.Data() + "Data.ada", std::string("no store at all\r\n\x01\x02", 19));
  TFrameLogin frame;
  frame.OnDatabaseChosen = [] { return OpenDataStore(); };
  LoginState().Clients = {Client("Mandant", "Titel"), Client("", "Haupt")};
  frame.FillMandantGrid();
  GridSelectRow(frame.MandantGrid, 1);
  frame.MandantGridDblClick();
  EXPECT_FALSE(LoginState().StoreOpen);
  EXPECT_TRUE(frame.ClientChoiceVisible());
  EXPECT_TRUE(env.ui.questions.empty());
  ASSERT_FALSE(env.ui.messages.empty());
  const std::string said = env.ui.AllText();
  EXPECT_TRUE(said.find(MultiItemsDBText(8)) != std::string::npos ||
              said.find(MultiItemsDBText(7)) != std::string::npos)
      << said;
  // The file is untouched.
  EXPECT_EQ(ReadAllBytes(env.Data() + "Data.ada"), std::string("no store at all\r\n\x01\x02", 19));
}

TEST(LoginOpen, AStationAlreadyListedOpensReadOnlyAndKeepsTheOtherCopysLocks) {
  TLoginEnv env;
  { TStoreMaker maker(env.Data()); maker.User("Alice", ""); }
  WriteAllBytes(env.Data() + "Data.wpi", "alice@pc1=1\r\n");
  TStationLiveness otherCopy(env.Data() + "Data.wpi", "alice@pc1");
  EXPECT_TRUE(OpenDataStore());
  EXPECT_TRUE(env.state.ReadOnlyMode);
  ASSERT_EQ(env.ui.messages.size(), 1u);
  EXPECT_EQ(env.ui.messages[0].text,
            LoginText(25) + "\r" + LoginText(26) + "\r" + LoginText(27));
  EXPECT_TRUE(SessionDB()->NoSave);
  EXPECT_EQ(ClientSession().ChangeLog, nullptr);  // no change log for a read-only run
  CompleteLogin(CheckLogin(*SessionDB(), "alice", ""), "alice");
  AfterLogin();
  EXPECT_TRUE(RightDenied(rtPersons));
  ResetLoginState();
  EXPECT_EQ(ReadAllBytes(env.Data() + "Data.wpi"), "alice@pc1=1\r\n");

  // Once the other copy is gone the next opening may write again.
  otherCopy.Drop();
  env.ui.Clear();
  EXPECT_TRUE(OpenDataStore());
  EXPECT_FALSE(env.state.ReadOnlyMode);
  EXPECT_TRUE(env.ui.messages.empty());
}

TEST(LoginOpen, AMissingStoreBesideOurOtherDataIsAskedForFirst) {
  TLoginEnv env;
  WriteAllBytes(env.Data() + "Log2025.alg", "\x01\r\n");
  EXPECT_FALSE(OpenDataStore());  // the recorder cancels: nothing is made
  ASSERT_EQ(env.ui.questions.size(), 1u);
  EXPECT_EQ(env.ui.questions[0], LoginTextFmt(101, env.Data()));
  EXPECT_FALSE(LoginState().StoreOpen);
  EXPECT_EQ(LoginState().LastOpenOutcome, TOpenOutcome::Declined);
  EXPECT_NE(access((env.Data() + "Data.ada").c_str(), F_OK), 0);

  // The first button is another folder, never the empty store.
  env.ui.Clear();
  env.ui.answers = {1};
  EXPECT_FALSE(OpenDataStore());
  EXPECT_EQ(LoginState().LastOpenOutcome, TOpenOutcome::ChooseFolder);

  env.ui.Clear();
  env.ui.answers = {2};
  EXPECT_TRUE(OpenDataStore());
  EXPECT_TRUE(LoginState().NewStore);

  // An empty folder (a first start) opens without a question.
  ResetLoginState();
  env.ui.Clear();
  env.state.DataPath = env.dir.Dir() + "fresh/";
  EXPECT_TRUE(OpenDataStore());
  EXPECT_TRUE(env.ui.questions.empty());
  EXPECT_TRUE(LoginState().NewStore);
}

// The store's ".bak" may be the only copy of the data left: the question offers to restore
// the newest copy first, and an empty store made instead never replaces that copy.
TEST(LoginOpen, AMissingStoreWithACopyIsRestoredOrKeptAside) {
  TLoginEnv env;
  const std::string d = env.Data();
  int32_t alice;
  {
    TStoreMaker maker(d);
    alice = maker.User("Alice", "");
  }
  ASSERT_EQ(PfRename(d + "Data.ada", d + "Data.ada.bak"), 0);
  const std::string copy = ReadAllBytes(d + "Data.ada.bak");

  // Restore: the store comes back from the copy, the copy stays.
  env.ui.answers = {1};
  ASSERT_TRUE(OpenDataStore());
  ASSERT_EQ(env.ui.questions.size(), 1u);
  EXPECT_NE(env.ui.questions[0].find(d + "Data.ada.bak"), std::string::npos);
  EXPECT_FALSE(LoginState().NewStore);
  EXPECT_TRUE(SessionDB()->HasRecord(alice));
  EXPECT_EQ(ReadAllBytes(d + "Data.ada.bak"), copy);
  ResetLoginState();

  // An empty store instead: the old copy is renamed aside first and survives its saves.
  ASSERT_EQ(PfRename(d + "Data.ada", d + "Data.ada.bak"), 0);
  env.ui.Clear();
  env.ui.answers = {3};
  ASSERT_TRUE(OpenDataStore());
  EXPECT_TRUE(LoginState().NewStore);
  SessionDB()->NewNamedRecord(icUser, "Bob", "");
  ASSERT_TRUE(SessionDB()->Commit());
  SessionDB()->NewNamedRecord(icUser, "Carl", "");
  ASSERT_TRUE(SessionDB()->Commit());
  ResetLoginState();
  std::vector<TListedFile> kept;
  ListFiles(d, "Data.ada *.bak", kept);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(ReadAllBytes(kept[0].name), copy);
}

TEST(LoginOpen, TheNewestCopyOfAMissingStoreIsOffered) {
  TLoginEnv env;
  const std::string d = env.Data();
  const std::string backups = env.dir.Dir() + "backups/";
  PfMakeFolders(backups);
  EXPECT_EQ(NewestStoreCopy(d + "Data.ada", {d + "Backup/", backups}), "");
  WriteAllBytes(d + "Data.ada.bak", "old");
  WriteAllBytes(backups + "Data 2026-12-01.ada", "newer");
  WriteAllBytes(backups + "Data-Nord 2026-12-02.ada", "another client's");
  WriteAllBytes(backups + "Data 2026-12-03.ada", "");  // an empty file is no copy
  const auto age = [](const std::string& f, int64_t seconds) {
    struct timespec t[2] = {{seconds, 0}, {seconds, 0}};
    utimensat(AT_FDCWD, f.c_str(), t, 0);
  };
  age(d + "Data.ada.bak", 1000);
  age(backups + "Data 2026-12-01.ada", 2000);
  age(backups + "Data-Nord 2026-12-02.ada", 3000);
  EXPECT_EQ(NewestStoreCopy(d + "Data.ada", {d + "Backup/", backups}), backups + "Data 2026-12-01.ada");
  age(d + "Data.ada.bak", 4000);
  EXPECT_EQ(NewestStoreCopy(d + "Data.ada", {d + "Backup/", backups}), d + "Data.ada.bak");
}

TEST(LoginOpen, FolderHoldsOurDataKnowsTheTracesOfAStore) {
  TLoginEnv env;
  const std::string d = env.Data();
  EXPECT_FALSE(FolderHoldsOurData(d, d + "Data.ada", "Log"));
  WriteAllBytes(d + "Data-Nord.ada.bak", "x");
  EXPECT_FALSE(FolderHoldsOurData(d, d + "Data.ada", "Log"));
  EXPECT_TRUE(FolderHoldsOurData(d, d + "Data-Nord.ada", "Log-Nord "));
  PfMakeFolders(d + "TimeTravel/");
  EXPECT_TRUE(FolderHoldsOurData(d, d + "Data.ada", "Log"));
}

// ---------------------------------------------------------------------------------------
// "autoLogin".

TEST(LoginAutoLogin, ARecordTextIsAcceptedOnlyInTimeTravelAndMakesTheRunReadOnly) {
  TLoginEnv env;
  int32_t alice;
  std::string text;
  {
    TStoreMaker maker(env.Data());
    alice = maker.User("Alice", "GEHEIM");
    text = maker.db.GetRecordText(alice);
  }
  ASSERT_TRUE(OpenDataStore());
  TMiniDB& db = *SessionDB();
  const std::string value = std::to_string(alice) + ";;" + EncodeNumberedStr(alice, text, false);
  TAutoLogin a = ParseAutoLogin(db, value, false);
  EXPECT_FALSE(a.taken);
  EXPECT_TRUE(a.refused);

  a = ParseAutoLogin(db, value, true);
  ASSERT_TRUE(a.taken);
  EXPECT_TRUE(a.hasRecordText);
  ASSERT_TRUE(ApplyAutoLogin(db, a));
  EXPECT_TRUE(db.NoSave);
  EXPECT_EQ(a.password, "GEHEIM");

  // Only a password: a plain automatic login, the store stays writable.
  a = ParseAutoLogin(db, std::to_string(alice) + ";" + EncodeNumberedStr(alice, "GEHEIM", false),
                     false);
  EXPECT_TRUE(a.taken);
  EXPECT_FALSE(a.hasRecordText);
  EXPECT_EQ(a.password, "GEHEIM");
  // A password for another ID does not decode and is dropped; a foreign record text ends.
  a = ParseAutoLogin(db, std::to_string(alice) + ";" + EncodeNumberedStr(alice + 1, "X", false),
                     false);
  EXPECT_TRUE(a.password.empty());
  a = ParseAutoLogin(db, std::to_string(alice) + ";;garbage", true);
  EXPECT_TRUE(a.badRecordText);
  EXPECT_FALSE(a.taken);
}

TEST(LoginAutoLogin, TheFrameLogsInAndEveryEditIsRefusedWhenTheStoreNeverSaves) {
  int32_t alice;
  std::string text;
  TTempDir other;
  {
    TStoreMaker maker(other.Dir());
    alice = maker.User("Alice", "GEHEIM");
    text = maker.db.GetRecordText(alice);
  }
  std::string handOver;
  ASSERT_TRUE(WriteLoginHandOver(other.Dir(), AutoLoginValue(alice, text), handOver));
  TLoginEnv env({"timetravel=x", std::string(kLoginHandOverSwitch) + "=" + handOver});
  { TStoreMaker maker(env.Data()); maker.User("Alice", "GEHEIM"); }
  env.state.TimeTravelMode = true;
  env.state.ReadOnlyMode = true;
  bool loggedIn = false;
  TFrameLogin frame;
  frame.OnDatabaseChosen = [] { return OpenDataStore(); };
  frame.OnLoginSucceeded = [&] {
    loggedIn = true;
    AfterLogin();
  };
  frame.StartLogin();
  EXPECT_TRUE(frame.AutoClickPosted());
  EXPECT_FALSE((GetFileSize64(handOver) >= 0));  // read and removed
  QCoreApplication::processEvents();
  EXPECT_TRUE(loggedIn);
  EXPECT_TRUE(Session().LoggedIn);
  EXPECT_TRUE(env.state.ReadOnlyMode);
  EXPECT_EQ(Session().RightLevels[rtKeys], rlYes);  // nobody has "rg" ...
  EXPECT_TRUE(RightDenied(rtKeys));                  // ... but nothing may be changed
}

TEST(LoginAutoLogin, TheHandOverFileCountsOnlyForATimeTravelStart) {
  TTempDir other;
  std::string handOver;
  ASSERT_TRUE(WriteLoginHandOver(other.Dir(), "1;;", handOver));
  TLoginEnv env({std::string(kLoginHandOverSwitch) + "=" + handOver});
  std::string value;
  EXPECT_FALSE(AutoLoginValueNow(value));
  EXPECT_TRUE((GetFileSize64(handOver) >= 0));
}

// ---------------------------------------------------------------------------------------
// The login page, login and logout.

TEST(LoginFrame, WithoutUsersTheHintStandsAndAnyNameEnters) {
  TLoginEnv env;
  int succeeded = 0;
  TFrameLogin frame;
  frame.OnDatabaseChosen = [] { return OpenDataStore(); };
  frame.OnLoginSucceeded = [&] { ++succeeded; };
  frame.StartLogin();
  EXPECT_FALSE(frame.ClientChoiceVisible());
  EXPECT_EQ(frame.LoginNameCombo->count(), 0);
  EXPECT_EQ(FromQString(frame.LoginPWEd->toolTip()), FrameLoginText(2));
  EXPECT_FALSE(frame.FirstLoginLabel->isHidden());  // said on the page, not only in a tooltip
  EXPECT_FALSE(frame.OpenFailedVisible());
  EXPECT_TRUE(frame.LoginOkBtn->isEnabled());
  EXPECT_EQ(frame.LoginPWEd->maxLength(), 63);
  frame.LoginPWEd->setText("irgendwas");
  frame.LoginOkBtn->click();
  EXPECT_EQ(succeeded, 1);
  EXPECT_TRUE(Session().LoggedIn);
  EXPECT_TRUE(frame.LoginPWEd->text().isEmpty());
  EXPECT_FALSE(frame.LoginPWEd->isEnabled());
  EXPECT_TRUE(frame.LoginPWEd->toolTip().isEmpty());
}

// A folder that cannot be opened leaves a way on: another folder, or a retry.
TEST(LoginFrame, AFailedOpeningOffersAnotherFolderAndARetry) {
  TLoginEnv env;
  const std::string other = env.dir.Dir() + "other/";
  {
    TStoreMaker maker(other);
    maker.User("Alice", "");
  }
  WriteAllBytes(env.Data() + "Log2025.alg", "\x01\r\n");  // the store is missing here
  TFrameLogin frame;
  int asked = 0;
  frame.OnDatabaseChosen = [] { return OpenDataStore(); };
  frame.OnChooseDataFolder = [&] {
    ++asked;
    MandantState().DataRoot = MandantState().DataPath = other;
    return true;
  };
  frame.StartLogin();  // the question is cancelled
  EXPECT_TRUE(frame.OpenFailedVisible());
  EXPECT_FALSE(frame.LoginOkBtn->isEnabled());
  EXPECT_NE(FromQString(frame.OpenFailedLabel->text()).find(env.Data()), std::string::npos);

  frame.RetryOpenBtn->click();  // asked again, cancelled again
  EXPECT_EQ(env.ui.questions.size(), 2u);
  EXPECT_TRUE(frame.OpenFailedVisible());

  frame.OtherFolderBtn->click();
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(frame.OpenFailedVisible());
  EXPECT_TRUE(frame.LoginOkBtn->isEnabled());
  EXPECT_EQ(FromQString(frame.LoginNameCombo->currentText()), "Alice");

  // Answering the question with "another folder" asks for it at once.
  ResetLoginState();
  MandantState().DataRoot = MandantState().DataPath = env.Data();
  env.ui.Clear();
  env.ui.answers = {1};
  frame.StartLogin();
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(FromQString(frame.LoginNameCombo->currentText()), "Alice");
}

TEST(LoginFrame, AWrongPasswordSaysSoAndAfterLoginGivesTheRights) {
  TLoginEnv env;
  int32_t bob;
  {
    TStoreMaker maker(env.Data());
    maker.User("Alice", "A");
    bob = maker.User("Bob", "B");
    maker.db.SetField(bob, "LastItems", "5;");
    maker.db.Commit();
  }
  RegWriteString(false, "LastUser", "Bob");
  TFrameLogin frame;
  int succeeded = 0;
  frame.OnDatabaseChosen = [] { return OpenDataStore(); };
  frame.OnLoginSucceeded = [&] {
    ++succeeded;
    AfterLogin();
  };
  frame.StartLogin();
  ASSERT_EQ(frame.LoginNameCombo->count(), 2);
  EXPECT_EQ(frame.LoginNameCombo->currentText(), "Bob");
  frame.LoginPWEd->setText("a");
  frame.LoginOkBtn->click();
  EXPECT_EQ(succeeded, 0);
  ASSERT_EQ(env.ui.messages.size(), 1u);
  EXPECT_EQ(env.ui.messages[0].text, FrameLoginText(1));
  frame.LoginPWEd->setText(" b ");
  frame.LoginOkBtn->click();
  EXPECT_EQ(succeeded, 1);
  EXPECT_EQ(Session().CurrentUserId, bob);
  EXPECT_EQ(RegReadString(false, "LastUser"), "Bob");
  EXPECT_FALSE(RightDenied(rtKeys));  // nobody has "rg": everything allowed

  // Logout empties "LastItems", offers the due backup (declined here), closes the store
  // and goes back to the login page.
  int asked = 0;
  QueueDialogDriver([&](QDialog& dialog) {
    ++asked;
    static_cast<TBackupRequesterForm&>(dialog).NoBtn->click();
  });
  int shown = 0;
  EXPECT_TRUE(DoLogout([&] { ++shown; }));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(shown, 1);
  EXPECT_FALSE(Session().LoggedIn);
  EXPECT_FALSE(LoginState().StoreOpen);
  EXPECT_EQ(env.state.DataPath, env.state.DataRoot);
  TStoreMaker check(env.Data());
  EXPECT_EQ(check.db.GetField(bob, "LastItems"), "");
}

TEST(LoginFrame, TheLogoIsThePictureWhenThereIsOneElseThePanel) {
  TLoginEnv env;
  TFrameLogin frame;
  frame.OnDatabaseChosen = [] { return false; };
  frame.StartLogin();
  EXPECT_FALSE(frame.LogoPanel->isHidden());
  EXPECT_TRUE(frame.LogoPicture->isHidden());

  PfMakeFolders(env.Prog() + "System/");
  QImage image(40, 20, QImage::Format_RGB32);
  image.fill(Qt::blue);
  ASSERT_TRUE(image.save(ToQString(env.Prog() + "System/TraderLogo.bmp"), "BMP"));
  frame.StartLogin();
  EXPECT_TRUE(frame.LogoPanel->isHidden());
  EXPECT_FALSE(frame.LogoPicture->isHidden());
  EXPECT_EQ(frame.LogoPicture->size(), QSize(40, 20));
  // No store: the login stays disabled.
  EXPECT_FALSE(frame.LoginOkBtn->isEnabled());
}

TEST(LoginFrame, TheHomepageLabelOpensAndCopiesItsAddress) {
  TLoginEnv env;
  TFrameLogin frame;
  std::string opened;
  WinGlue().ShellOpener = [&](const std::string& target) {
    opened = target;
    return true;
  };
  WinGlue().Sleeper = [](int) {};
  frame.TraderHomepageLabelClick();
  EXPECT_EQ(opened, TFrameLogin::kHomepage);
  frame.URLkopieren1Click();
  EXPECT_EQ(QApplication::clipboard()->text(), QString(TFrameLogin::kHomepage));
}

// A view with unsaved input, as the glue sees it.
class TEditingView : public IView {
 public:
  bool editing = true;
  bool Editing() const override { return editing; }
};

TEST(LoginLogout, UnsavedInputRefusesAndATimeTravelRunEndsInsteadOfReturning) {
  TLoginEnv env;
  ASSERT_TRUE(OpenDataStore());
  TEditingView view;
  RegisterView(pgPersons, &view);
  EXPECT_FALSE(DoLogout([] {}));
  EXPECT_FALSE(FormCloseQuery());
  EXPECT_TRUE(LoginState().StoreOpen);
  EXPECT_EQ(env.ui.messages.size(), 2u);  // the glue's warning, each time
  view.editing = false;
  EXPECT_TRUE(FormCloseQuery());
  UnregisterView(pgPersons, &view);

  env.state.TimeTravelMode = true;
  int shown = 0;
  EXPECT_TRUE(DoLogout([&] { ++shown; }));
  EXPECT_EQ(shown, 0);
  EXPECT_TRUE(ApplicationTerminated());
  ResetApplicationTerminated();
}

TEST(LoginLogout, ASandboxClientIsAnnouncedAndItsFolderDeletedOnlyWhenTheUserSaysYes) {
  TLoginEnv env;
  TMandantInfoRec sandbox = Client("", "Haupt SANDKASTEN", "", "Sandbox 2026-12-10 10.00.00");
  sandbox.Active = true;
  ASSERT_TRUE(AddClient(Client("", "Title"), 0));
  ASSERT_TRUE(AddClient(sandbox, 0));
  env.state.CurrentMandant = sandbox;
  env.state.HasCurrentMandant = true;
  env.state.DataPath = MandantDataFolder(&sandbox);
  ASSERT_TRUE(OpenDataStore());
  EXPECT_TRUE(env.state.SandboxMode);
  EXPECT_EQ(ClientSession().ChangeLog, nullptr);  // a trial copy keeps no change log
  CompleteLogin(CheckLogin(*SessionDB(), "", ""), "");
  AfterLogin();
  EXPECT_NE(env.ui.AllText().find(LoginText(28) + "\r\r" + LoginText(29) + "\r\r" + LoginText(30)),
            std::string::npos);
  const std::string folder = env.state.DataPath;

  env.ui.answers = {mrNo};
  EXPECT_TRUE(DoLogout([] {}));
  EXPECT_EQ(env.ui.questions.back(), LoginText(44));
  EXPECT_GE(GetFileSize64(folder + "Data.ada"), 0);
  EXPECT_FALSE(env.state.SandboxMode);  // the next data is chosen anew
  EXPECT_FALSE(env.state.HasCurrentMandant);

  // Chosen again, as the client choice does it.
  env.state.CurrentMandant = sandbox;
  env.state.HasCurrentMandant = true;
  env.state.DataPath = folder;
  ASSERT_TRUE(OpenDataStore());
  EXPECT_TRUE(env.state.SandboxMode);
  env.ui.answers = {mrYes};
  EXPECT_TRUE(DoLogout([] {}));
  TPfInfo info;
  PfStat(folder, info);
  EXPECT_EQ(info.kind, TPfKind::Missing);
}

// Changing the client leaves nothing of the previous one: client A is opened, used and left,
// then client B is opened.
TEST(LoginLogout, NothingOfTheClientLeftIsVisibleInTheNextOne) {
  TLoginEnv env;
  SetHistory(nullptr);  // the session's own history, as in the program
  const TMandantInfoRec nord = Client("Nord", "Nord", "", "nord");
  const TMandantInfoRec sued = Client("Sued", "S\xFC" "d", "", "sued");
  int32_t alice = 0, key = 0;
  {
    TStoreMaker a(MandantDataFolder(&nord), MandantDataFolderName("Nord"));
    alice = a.User("Alice", "pw");
    a.db.SetField(alice, fkRights, a.Rights(alice, "2222222222222"));
    a.db.SetField(alice, "ViewTab", "1010101");
    key = a.db.NewNamedRecord(icKey, "Haupt", "");
    const int32_t door = a.db.NewNamedRecord(icDoor, "Tor", "");
    a.db.AddLinkBoth(key, door, icDoor, icKey);
    ASSERT_TRUE(a.db.Commit());
    ASSERT_TRUE(a.db.SetHeaderValue(kKeySystemNamesHeader, "NordAnlage"));
  }
  {
    TStoreMaker b(MandantDataFolder(&sued), MandantDataFolderName("Sued"));
    ASSERT_TRUE(b.db.Commit());
  }
  auto open = [&](const TMandantInfoRec& client) {
    env.state.CurrentMandant = client;
    env.state.HasCurrentMandant = true;
    env.state.DataPath = MandantDataFolder(&client);
    return OpenDataStore();
  };

  // Client A: logged in, its names loaded, a relation asked, a journal year open, view
  // options and terms of its own, a transfer pending.
  ASSERT_TRUE(open(nord));
  CompleteLogin(CheckLogin(*SessionDB(), "Alice", "pw"), "Alice");
  AfterLogin();
  TMiniDB* storeOfA = SessionDB();
  EXPECT_EQ(Session().CurrentUserName, "Alice");
  EXPECT_EQ(KeySystemTableName(1), "NordAnlage");
  EXPECT_EQ(WinGlue().ViewTab, "1010101");
  TItemList doors;
  GetDoorsOfKey(*storeOfA, key, doors);
  EXPECT_EQ(RelationCaches().Count(), 1u);
  EXPECT_EQ(History().Prefix(), HistoryPrefixFor("Nord"));
  EXPECT_NE(SignatureDB().Folder().find("Nord"), std::string::npos);
  ASSERT_TRUE(OpenJournalYear("2024"));
  ViewOptions().naturalNames[icKey] = true;
  SetPersonsTerms("Kollege", "Bereich");
  TransferRec().Kind = tkIssue;
  TransferRec().KeyId = key;
  ASSERT_TRUE(DoLogout([] {}));

  // Client B: none of it.
  ASSERT_TRUE(open(sued));
  EXPECT_NE(SessionDB(), nullptr);
  EXPECT_EQ(SessionDB()->FileName, MandantDataFolder(&sued) + "Data-Sued.ada");
  EXPECT_FALSE(Session().LoggedIn);
  EXPECT_EQ(Session().CurrentUserName, "");
  for (uint8_t level : Session().RightLevels) EXPECT_EQ(level, rlNo);
  EXPECT_EQ(KeySystemTableName(1), "Anlage1");
  EXPECT_EQ(RelationCaches().Count(), 0u);
  EXPECT_EQ(History().Prefix(), HistoryPrefixFor("Sued"));
  EXPECT_EQ(History().Folder(), MandantDataFolder(&sued));
  EXPECT_EQ(SignatureDB().JournalYear(), "");
  EXPECT_EQ(SignatureDB().Folder().find("Nord"), std::string::npos);
  EXPECT_FALSE(ViewOptions().naturalNames[icKey]);
  EXPECT_NE(PersonTerm(), "Kollege");
  EXPECT_NE(DepartmentTerm(), "Bereich");
  EXPECT_EQ(TransferRec().Kind, 0);
  EXPECT_EQ(TransferRec().KeyId, 0);
  CompleteLogin(CheckLogin(*SessionDB(), "", ""), "");
  AfterLogin();
  EXPECT_EQ(WinGlue().ViewTab, PaddedViewTab(""));  // not Alice's pages
  EXPECT_EQ(History().UserText(), "");
}

TEST(LoginAutoLogin, AFailedAutomaticLoginIsLoggedAndEndsAnUnattendedImport) {
  TLoginEnv env({"autoLogin=1;x", "autoImport=profil.ipo"});
  LogFileNames().ErrorLogFile = env.dir.File("errors.log");
  { TStoreMaker maker(env.Data()); maker.User("Alice", "GEHEIM"); }
  int succeeded = 0;
  TFrameLogin frame;
  frame.OnDatabaseChosen = [] { return OpenDataStore(); };
  frame.OnLoginSucceeded = [&] { ++succeeded; };
  frame.StartLogin();
  QCoreApplication::processEvents();
  EXPECT_EQ(succeeded, 0);
  EXPECT_TRUE(ApplicationTerminated());
  ResetApplicationTerminated();
  EXPECT_TRUE(env.ui.messages.empty());  // unattended: no message box
  EXPECT_NE(ReadAllBytes(env.dir.File("errors.log")).find(kLogLoginFailed), std::string::npos);
  LogFileNames().ErrorLogFile.clear();
}

TEST(LoginOpen, TimeTravelKeepsTheRunReadOnlyAcrossOpenings) {
  TLoginEnv env;
  env.state.TimeTravelMode = true;
  ASSERT_TRUE(OpenDataStore());
  EXPECT_TRUE(env.state.ReadOnlyMode);
  EXPECT_TRUE(SessionDB()->NoSave);
  EXPECT_FALSE(env.history.Enabled());
  ASSERT_TRUE(OpenDataStore());
  EXPECT_TRUE(env.state.ReadOnlyMode);
}

TEST(LoginOpen, ATimeTravelStartReplaysTheMonthCopyUpToItsDateAndNeverWritesIt) {
  const double march10 = 46091.5, minute = 1.0 / 1440;
  TFixedClock clock(march10);
  TClockScope clockScope(clock);
  TLoginEnv env;
  ASSERT_TRUE(OpenDataStore());
  ASSERT_NE(ClientSession().ChangeLog, nullptr);
  TMiniDB& db = *SessionDB();
  clock.Advance(minute);
  const int32_t id = db.NewNamedRecord(icUser, "Alice", "");
  ASSERT_TRUE(db.Commit());
  clock.Advance(minute);
  db.SetField(id, "n", "Alicia");
  ASSERT_TRUE(db.Commit());
  std::string copy;
  ASSERT_EQ(GetTimebackFile(db, copy, march10 + minute), tbOk);
  ResetLoginState();
  const std::string copyBytes = ReadAllBytes(copy);

  env.commandLine.Init({"timetravel=x", "datafile=" + copy}, env.Prog() + "Tessaro");
  env.state.TimeTravelMode = true;
  env.state.TimeTravelDate = march10 + 1.5 * minute;
  ASSERT_TRUE(OpenDataStore());
  EXPECT_TRUE(env.state.ReadOnlyMode);
  TMiniDB& past = *SessionDB();
  EXPECT_TRUE(past.NoSave);
  EXPECT_EQ(past.GetName(id), "Alice");
  ResetLoginState();
  EXPECT_EQ(ReadAllBytes(copy), copyBytes);
}

TEST(LoginLogout, LogoutMenuGoesBackToTheClientChoiceThenClosesTheWindow) {
  TLoginEnv env;
  ASSERT_TRUE(AddClient(Client("", "Title"), 0));
  ASSERT_TRUE(AddClient(Client("Nord", "Werk Nord", "", "nord"), 0));
  TFrameLogin frame;
  frame.OnDatabaseChosen = [] { return OpenDataStore(); };
  ShowLoginPage(frame);
  ASSERT_TRUE(frame.ClientChoiceVisible());
  ASSERT_GE(GridRowCount(frame.MandantGrid), 2);
  GridSelectRow(frame.MandantGrid, GridRowCount(frame.MandantGrid) - 1);
  frame.MandantGridDblClick();
  ASSERT_FALSE(frame.ClientChoiceVisible());
  EXPECT_TRUE(LoginState().StoreOpen);

  int closed = 0;
  Logout1Click(frame, [&] { ++closed; });  // a client was chosen: back to the choice
  EXPECT_EQ(closed, 0);
  EXPECT_TRUE(frame.ClientChoiceVisible());
  EXPECT_FALSE(LoginState().StoreOpen);
  Logout1Click(frame, [&] { ++closed; });  // at the choice: the window closes
  EXPECT_EQ(closed, 1);
}

TEST(LoginUserValues, ValuesOfTheUserRecord) {
  TLoginEnv env;
  int32_t u;
  {
    TStoreMaker maker(env.Data());
    u = maker.User("U", "");
    maker.db.SetField(u, "ViewTab", "110101011");
    maker.db.SetField(u, "KeyName", "2x");
    maker.db.SetField(u, "PrintPreview", "0");
    maker.db.SetField(u, "PrinterDialog", "7");
    maker.db.Commit();
  }
  ASSERT_TRUE(OpenDataStore());
  TUserValues v;
  ReadUserValues(*SessionDB(), u, v);
  EXPECT_EQ(v.viewTab, "1101010");
  EXPECT_EQ(v.keyNameMode, 2);
  EXPECT_EQ(v.personNameMode, 1);
  EXPECT_FALSE(v.printPreview);
  EXPECT_EQ(v.printerDialog, 1);
  EXPECT_EQ(PaddedViewTab(""), "111100");
  EXPECT_EQ(PaddedViewTab("10"), "101100");
  EXPECT_EQ(PaddedViewTab("1010101"), "1010101");
}

}  // namespace
