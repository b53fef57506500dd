#include "data/MandantUnit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "basic/DateClock.h"
#include "basic/RegistryUnit.h"
#include "support/RegistryTestRoot.h"
#include "support/TestSupport.h"

namespace {

TMandantInfoRec Client(const std::string& name, const std::string& title,
                       const std::string& folder = "", bool active = false) {
  TMandantInfoRec rec;
  rec.Name = name;
  rec.Title = title;
  rec.DataFolder = folder;
  rec.Active = active;
  return rec;
}

class ClientsTest : public ::testing::Test {
 protected:
  ClientsTest() {
    state.DataRoot = dir.Dir();
    state.DataPath = dir.Dir();
    state.Reservations = &registry;
  }

  std::string Register() const { return dir.File("automaticRegister.csv"); }
  TMandantList Load(int* result = nullptr) {
    TMandantList list;
    const int r = LoadClientList(0, list);
    if (result) *result = r;
    return list;
  }

  TTempDir dir;
  TAccessProtectionRegistry registry;
  TMandantState state;
  TMandantStateScope scope{state};
};

}  // namespace

TEST(ClientNames, Validity) {
  const struct {
    std::string name;
    bool valid;
  } cases[] = {
      {"", true},
      {"M\xFC" "ller-2.Nord", true},  // umlaut, digit, "-" and "."
      {"\xC0\xFF", true},
      {std::string(31, 'a'), true},
      {std::string(32, 'a'), false},
      {"Firma A", false},
      {"a_b", false},
      {"a/b", false},
      {"a\\b", false},
      {"\xBF", false},  // below 192
      {"a\tb", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidClientName(c.name), c.valid) << c.name;
}

TEST_F(ClientsTest, DerivedNames) {
  const std::string root = dir.Dir();
  TMandantInfoRec plain = Client("", "Haupt");
  TMandantInfoRec nord = Client("Nord", "Nord", "nord");
  TMandantInfoRec away = Client("Away", "Weg", "/srv/away");

  EXPECT_EQ(MandantDataFolderName(""), "Data");
  EXPECT_EQ(MandantDataFolderName("Nord"), "Data-Nord");
  EXPECT_EQ(MandantHistoryPrefix(""), "Log");
  EXPECT_EQ(MandantHistoryPrefix("Nord"), "Log-Nord ");

  EXPECT_EQ(MandantDataFolder(nullptr), root);
  EXPECT_EQ(MandantDataFolder(&plain), root);
  EXPECT_EQ(MandantDataFolder(&nord), root + "nord/");
  EXPECT_EQ(MandantDataFolder(&away), "/srv/away/");

  const struct {
    const TMandantInfoRec* rec;
    std::string sub, expected;
  } paths[] = {
      {nullptr, "TimeTravel", root + "TimeTravel/"},
      {&plain, "/Transactions/", root + "Transactions/"},
      {&nord, "TimeTravel", root + "nord/TimeTravel-Nord/"},
      {&nord, "/ImportJournal/", root + "nord/ImportJournal-Nord/"},
      {&away, "Transactions", "/srv/away/Transactions-Away/"},
      {&nord, "", root + "nord/"},
  };
  for (const auto& p : paths) {
    std::string path;
    MandantDataPath(p.rec, p.sub, path);
    EXPECT_EQ(path, p.expected) << p.sub;
  }

  EXPECT_EQ(MandantKey(nord), "Nord\t" + root + "nord/");
  EXPECT_TRUE(SameMandantKey(nord, Client("NORD", "other title", root + "NORD")));
  EXPECT_FALSE(SameMandantKey(nord, Client("Nord", "Nord", "sued")));
}

TEST_F(ClientsTest, RegisterRoundTrip) {
  TMandantList list = {Client("", "Title"), Client("Nord", "Firma Nord", "nord", true),
                       Client("S\xFC" "d", "Firma S\xFC" "d", "/srv/sued")};
  ASSERT_TRUE(SaveClientList(list, 0));
  EXPECT_EQ(ReadAllBytes(Register()),
            "\r\n"
            "\tTitle\t\t\t\t0\r\n"
            "Nord\tFirma Nord\t\t\tnord\t1\r\n"
            "S\xFC" "d\tFirma S\xFC" "d\t\t\t/srv/sued\t0\r\n");

  int result = -1;
  TMandantList back = Load(&result);
  EXPECT_EQ(result, lclRead);
  ASSERT_EQ(back.size(), 3u);
  for (size_t i = 0; i < back.size(); ++i) {
    EXPECT_EQ(back[i].Name, list[i].Name);
    EXPECT_EQ(back[i].Title, list[i].Title);
    EXPECT_EQ(back[i].DataFolder, list[i].DataFolder);
    EXPECT_EQ(back[i].Active, list[i].Active);
    EXPECT_EQ(back[i].ListKind, 0);
  }

  // Tabs and line ends inside a text would shift the columns or split the line.
  ASSERT_TRUE(SaveClientList({Client("", "Title"), Client("X", "a\tb\r\nc")}, 0));
  back = Load();
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1].Title, "a b  c");
}

TEST_F(ClientsTest, RegisterReading) {
  WriteAllBytes(Register(),
                "ignored\tline\r\n"
                "Kopf\tBezeichnung\tOrt\r\n"
                "\r\n"
                "  Nord \t Firma Nord \t\t\t nord \t1   \r\n"
                "Firma A\tungueltiger Name\r\n"
                "\t\r\n"
                "Sued\n");
  TMandantList list = {Client("keep", "already there")};
  EXPECT_EQ(LoadClientList(0, list), lclRead);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].Name, "keep");
  EXPECT_EQ(list[1].Name, "Kopf");
  EXPECT_EQ(list[1].Text2, "Ort");
  EXPECT_EQ(list[2].Name, "Nord");
  EXPECT_EQ(list[2].Title, "Firma Nord");
  EXPECT_EQ(list[2].DataFolder, "nord");
  EXPECT_TRUE(list[2].Active);
  EXPECT_EQ(list[3].Name, "Sued");

  TMandantList without;
  EXPECT_EQ(LoadClientList(0, without, true), lclRead);
  ASSERT_EQ(without.size(), 2u) << "header skipped";
  EXPECT_EQ(without[0].Name, "Nord");
}

TEST_F(ClientsTest, MissingOrUnreadableRegisterLeavesTheListAlone) {
  TMandantList list = {Client("", "Title")};
  EXPECT_EQ(LoadClientList(0, list), lclMissing);
  EXPECT_EQ(list.size(), 1u);

  std::filesystem::create_directory(Register());  // opens, but cannot be read
  EXPECT_EQ(LoadClientList(0, list), lclReadError);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_FALSE(AddClient(Client("Nord", "Nord", "nord"), 0));
  EXPECT_FALSE(RemoveClient(Client("Nord", "Nord", "nord"), 0));
  EXPECT_TRUE(std::filesystem::is_directory(Register()));
}

TEST_F(ClientsTest, OneRecordRule) {
  // Only the plain default client: no client to choose, and saving deletes the register.
  WriteAllBytes(Register(), "\r\n\tTitle\r\n");
  int result = -1;
  EXPECT_TRUE(Load(&result).empty());
  EXPECT_EQ(result, lclRead);
  ASSERT_TRUE(SaveClientList({Client("", "Title")}, 0));
  EXPECT_FALSE(std::filesystem::exists(Register()));
  ASSERT_TRUE(SaveClientList({}, 0));

  // A single entry that names a client or a folder is neither dropped nor deleted.
  for (const TMandantInfoRec& single : {Client("Nord", "Nord"), Client("", "Weg", "/srv/x")}) {
    ASSERT_TRUE(SaveClientList({single}, 0));
    ASSERT_TRUE(std::filesystem::exists(Register()));
    TMandantList list = Load();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].DataFolder, single.DataFolder);
    EXPECT_EQ(list[0].Name, single.Name);
  }
}

TEST_F(ClientsTest, AddAndRemoveClients) {
  const TMandantInfoRec nord = Client("Nord", "Firma Nord", "nord");
  ASSERT_TRUE(AddClient(nord, 0));
  TMandantList list = Load();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_TRUE(IsPlainDefaultClient(list[0]));
  EXPECT_EQ(list[0].Title, "Title");
  EXPECT_EQ(list[1].Title, "Firma Nord");

  // The key ignores case and the way the folder is written.
  const std::string before = ReadAllBytes(Register());
  EXPECT_TRUE(AddClient(Client("NORD", "other", dir.Dir() + "NORD/"), 0));
  EXPECT_EQ(ReadAllBytes(Register()), before);

  ASSERT_TRUE(AddClient(Client("Sued", "Firma Sued", "sued"), 0));
  EXPECT_EQ(Load().size(), 3u);
  EXPECT_FALSE(RemoveClient(Client("", "header"), 0)) << "the header is never removed";
  EXPECT_FALSE(RemoveClient(Client("West", "none"), 0));
  EXPECT_TRUE(RemoveClient(Client("sued", "x", "SUED"), 0));
  EXPECT_EQ(Load().size(), 2u);
  // Removing the last but one client deletes the register.
  EXPECT_TRUE(RemoveClient(nord, 0));
  EXPECT_FALSE(std::filesystem::exists(Register()));
}

TEST_F(ClientsTest, StartUpMergeOfBothRegisters) {
  state.SecondRegisterName = dir.File("second.csv");
  const std::string sandbox = dir.Dir() + "Sandbox 2026-01-02 03.04.05/";

  // Only the automatic register, listing a sandbox: the data root is offered beside it.
  ASSERT_TRUE(AddClient(Client("", "Haupt SANDKASTEN", sandbox, true), 0));
  TMandantList list;
  LoadClientRegisters(list, "Original-Datenbank");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[1].DataFolder, sandbox);
  EXPECT_EQ(list[2].Title, "Original-Datenbank");
  EXPECT_EQ(MandantDataFolder(&list[2]), dir.Dir());

  // ... unless a client already stands for the data root.
  ASSERT_TRUE(AddClient(Client("", "Zentrale", dir.Dir()), 0));
  LoadClientRegisters(list, "Original-Datenbank");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[2].Title, "Zentrale");

  // The second register comes first; the automatic register's header is then skipped.
  WriteAllBytes(state.SecondRegisterName, "\r\nKopf\tTitel\r\nWest\tFirma West\twest\r\n");
  LoadClientRegisters(list, "Original-Datenbank");
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].Name, "Kopf");
  EXPECT_EQ(list[0].ListKind, 1);
  EXPECT_EQ(list[1].Name, "West");
  EXPECT_EQ(list[2].DataFolder, sandbox);
  EXPECT_EQ(list[2].ListKind, 0);
  EXPECT_EQ(list[3].Title, "Zentrale");

  // Nothing registered: nothing offered.
  std::filesystem::remove(Register());
  std::filesystem::remove(state.SecondRegisterName);
  LoadClientRegisters(list, "Original-Datenbank");
  EXPECT_TRUE(list.empty());
}

TEST_F(ClientsTest, CreateMandantAndSandboxFolder) {
  const char* oldTz = std::getenv("TZ");
  const std::string savedTz = oldTz ? oldTz : "";
  setenv("TZ", "UTC0", 1);
  tzset();
  TFixedClock clock(EncodeDateTime(2026, 3, 4, 5, 6, 7));
  TClockScope clockScope(clock);

  TRegistryTestRoot registryRoot;
  SetRegistryProgramKey("\\Software\\Merivan\\Tessaro");

  std::string folder;
  ASSERT_TRUE(SandboxFolderName(folder));
  EXPECT_EQ(folder, dir.Dir() + "Sandbox 2026-03-04 05.06.07/");
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  std::string again = "x";
  EXPECT_FALSE(SandboxFolderName(again)) << "the same second: the folder exists already";
  EXPECT_EQ(again, "");

  state.HasCurrentMandant = true;
  state.CurrentMandant = Client("Nord", "Firma Nord", "nord");
  state.CurrentMandant.Text2 = "Hamburg";
  ASSERT_TRUE(CreateMandant(folder, "Sandkasten"));
  TMandantList list;
  LoadClientList(0, list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].Name, "Nord");
  EXPECT_EQ(list[1].Title, "Firma Nord SANDKASTEN");
  EXPECT_EQ(list[1].Text2, "Hamburg");
  EXPECT_EQ(list[1].DataFolder, folder);
  EXPECT_TRUE(list[1].Active);
  EXPECT_EQ(RegReadString(false, "LastSubscriber"), "Nord\t" + folder);

  SetRegistryProgramKey("");
  if (oldTz) setenv("TZ", savedTz.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}
