#include "platform/RegistryStore.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "support/RegistryTestRoot.h"
#include "support/TestSupport.h"

namespace {

const std::string kKey = "\\Software\\Merivan\\Tessaro";

std::string Read(const TRegistryStore& store, TRegScope scope, const std::string& key,
                 const std::string& name) {
  TRegValue v;
  return store.ReadValue(scope, key, name, v) ? v.data : "<missing>";
}

TEST(RegistryStore, RootsComeFromTheEnvironment) {
  TTempDir config;
  const char* oldRoot = std::getenv("TESSARO_REGISTRY_ROOT");
  const std::string savedRoot = oldRoot ? oldRoot : "";
  unsetenv("TESSARO_REGISTRY_ROOT");
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);

  TRegistryStore store;
  EXPECT_EQ(store.Root(TRegScope::User), config.Dir());
  EXPECT_EQ(store.Root(TRegScope::Machine), "/etc/xdg/");

  if (oldXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
  if (oldRoot) setenv("TESSARO_REGISTRY_ROOT", savedRoot.c_str(), 1);

  TRegistryTestRoot root;
  TRegistryStore redirected;
  EXPECT_EQ(redirected.Root(TRegScope::User), root.UserRoot());
  EXPECT_EQ(redirected.Root(TRegScope::Machine), root.MachineRoot());
}

TEST(RegistryStore, ScopesAreSeparateAndValuesSurviveANewStore) {
  TRegistryTestRoot root;
  {
    TRegistryStore store;
    ASSERT_TRUE(store.WriteString(TRegScope::User, kKey, "ini", "a=1\r\nb=M\xFC" "ller\\x\t"));
    ASSERT_TRUE(store.WriteString(TRegScope::Machine, kKey, "ini", "machine"));
    ASSERT_TRUE(store.WriteString(TRegScope::User, kKey, "Exec", "/opt/tessaro/Tessaro"));
    ASSERT_TRUE(store.WriteString(TRegScope::User, kKey, "EXEC", "/opt/new/Tessaro"));
  }
  // A fresh store, as a new process would have, finds what was written; names and key
  // paths ignore case.
  TRegistryStore fresh;
  EXPECT_EQ(Read(fresh, TRegScope::User, kKey, "INI"), "a=1\r\nb=M\xFC" "ller\\x\t");
  EXPECT_EQ(Read(fresh, TRegScope::Machine, "/SOFTWARE/merivan/TESSARO/", "ini"), "machine");
  EXPECT_EQ(Read(fresh, TRegScope::User, kKey, "exec"), "/opt/new/Tessaro");
  EXPECT_EQ(fresh.ReadKey(TRegScope::User, kKey).size(), 2u);
  EXPECT_EQ(Read(fresh, TRegScope::User, kKey, "Ver"), "<missing>");
  EXPECT_EQ(Read(fresh, TRegScope::User, "\\Software\\Other", "ini"), "<missing>");
  EXPECT_TRUE(std::filesystem::is_regular_file(root.UserRoot() + "Software/Merivan/Tessaro/values.reg"));
  EXPECT_TRUE(std::filesystem::is_regular_file(root.MachineRoot() + "Software/Merivan/Tessaro/values.reg"));
  // No temporary file is left behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(root.UserRoot() + "Software/Merivan/Tessaro")) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(RegistryStore, UnwritableScopeFailsAndSaysSo) {
  TTempDir dir;
  WriteAllBytes(dir.File("plainfile"), "x");
  // The machine root lies below a plain file: no rights can make it writable.
  TRegistryStore store(dir.Dir() + "user", dir.Dir() + "plainfile/machine");
  EXPECT_FALSE(store.WriteString(TRegScope::Machine, kKey, "ini", "x"));
  EXPECT_NE(store.LastError().find("machine-wide"), std::string::npos) << store.LastError();
  EXPECT_TRUE(store.WriteString(TRegScope::User, kKey, "ini", "x"));
}

TEST(RegistryStore, InvalidKeyPathsAreRefused) {
  TTempDir dir;
  TRegistryStore store(dir.Dir() + "user", dir.Dir() + "machine");
  for (const std::string key : {"", "\\", "\\Software\\..\\..\\etc", "Software/./x"}) {
    EXPECT_FALSE(store.WriteString(TRegScope::User, key, "n", "v")) << key;
    EXPECT_TRUE(store.ReadKey(TRegScope::User, key).empty()) << key;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Dir() + "etc"));
}

TEST(RegistryStore, DamagedFileIsReadAsFarAsItIsSoundAndKeptOnRewrite) {
  TTempDir dir;
  TRegistryStore store(dir.Dir() + "user", dir.Dir() + "machine");
  const std::string folder = dir.Dir() + "user/Software/Merivan/Tessaro/";
  std::filesystem::create_directories(folder);
  const std::string garbage[] = {
      "S\tbroken\\q\tvalue",          // unknown escape
      "S\tno value tab",              // missing field
      "Z\tname\tvalue",               // unknown type
      "S\ttrailing\t\\x4",            // cut escape
      std::string("\x00\xFF\x01\t\t", 5),  // binary
  };
  std::string text = "TessaroRegistry 1\r\nS\tLastUser\tADMIN\r\n";
  for (const std::string& g : garbage) text += g + "\r\n";
  text += "B\tcount\t5\r\nE\tDataPath\t/srv/data\nS\tcut\tlast line without end";
  WriteAllBytes(folder + "values.reg", text);

  EXPECT_EQ(Read(store, TRegScope::User, kKey, "LastUser"), "ADMIN");
  EXPECT_EQ(Read(store, TRegScope::User, kKey, "DataPath"), "/srv/data");
  EXPECT_EQ(Read(store, TRegScope::User, kKey, "cut"), "last line without end");
  TRegValue other;
  ASSERT_TRUE(store.ReadValue(TRegScope::User, kKey, "count", other));
  EXPECT_EQ(other.type, TRegType::Other);
  EXPECT_EQ(store.ReadKey(TRegScope::User, kKey).size(), 4u);

  // Writing another value keeps the sound values and the damaged lines as they were.
  ASSERT_TRUE(store.WriteString(TRegScope::User, kKey, "Ver", "2008-04"));
  EXPECT_EQ(Read(store, TRegScope::User, kKey, "LastUser"), "ADMIN");
  EXPECT_EQ(Read(store, TRegScope::User, kKey, "Ver"), "2008-04");
  const std::string after = ReadAllBytes(folder + "values.reg");
  for (const std::string& g : garbage) EXPECT_NE(after.find(g + "\r\n"), std::string::npos);
}

// An integer value is kept as its own type, and a value written as a string before becomes
// an integer when written as one.
TEST(RegistryStore, IntegersAreTheirOwnType) {
  TRegistryTestRoot root;
  TRegistryStore store;
  ASSERT_TRUE(store.WriteString(TRegScope::User, kKey, "NoModify", "1"));
  ASSERT_TRUE(store.WriteInteger(TRegScope::User, kKey, "NoModify", 1));
  ASSERT_TRUE(store.WriteInteger(TRegScope::User, kKey, "Size", 4294967295u));
  const std::vector<TRegValue> values = TRegistryStore().ReadKey(TRegScope::User, kKey);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].type, TRegType::Integer);
  EXPECT_EQ(values[0].data, "1");
  EXPECT_EQ(values[1].type, TRegType::Integer);
  EXPECT_EQ(values[1].data, "4294967295");
  EXPECT_EQ(TRegistryStore::FormatLine(values[0]), "D\tNoModify\t1");
}

TEST(RegistryStore, EveryByteSurvivesTheLineFormat) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  TRegValue in{TRegType::String, all, all}, out;
  const std::string line = TRegistryStore::FormatLine(in);
  EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
  ASSERT_TRUE(TRegistryStore::ParseLine(line, out));
  EXPECT_EQ(out.name, all);
  EXPECT_EQ(out.data, all);
}

}  // namespace

TEST(RegistryStore, RootsAndKeysAreProgramTextsStoredUnderUtf8Names) {
  TTempDir dir;
  const std::string utf8Root = dir.Dir() + "J\xC3\xBCrgen/";  // as the environment holds it
  const char* oldRoot = std::getenv("TESSARO_REGISTRY_ROOT");
  const std::string savedRoot = oldRoot ? oldRoot : "";
  setenv("TESSARO_REGISTRY_ROOT", utf8Root.c_str(), 1);
  TRegistryStore store;
  if (oldRoot) setenv("TESSARO_REGISTRY_ROOT", savedRoot.c_str(), 1);
  else unsetenv("TESSARO_REGISTRY_ROOT");

  EXPECT_EQ(store.Root(TRegScope::User), dir.Dir() + "J\xFCrgen/user/");
  ASSERT_TRUE(store.WriteString(TRegScope::User, "\\Software\\Schl\xFC" "ssel", "Pfad", "x"))
      << store.LastError();
  EXPECT_TRUE(std::filesystem::exists(utf8Root + "user/Software/Schl\xC3\xBC" "ssel/values.reg"));
  EXPECT_FALSE(std::filesystem::exists(dir.Dir() + "J\xFCrgen"));
  EXPECT_EQ(Read(store, TRegScope::User, "\\software\\Schl\xFC" "ssel", "PFAD"), "x");
}

namespace {

TEST(RegistryStore, ListsAndDeletesSubkeys) {
  TRegistryTestRoot root;
  TRegistryStore store;
  const std::string uninstall = "\\Software\\Uninstall";
  ASSERT_TRUE(store.WriteString(TRegScope::User, uninstall + "\\Tessaro 2024-01-02 03.04.05",
                                "DisplayName", "Tessaro"));
  ASSERT_TRUE(store.WriteString(TRegScope::User, uninstall + "\\Other\\Deeper", "x", "1"));
  ASSERT_TRUE(store.WriteString(TRegScope::User, uninstall, "own", "value"));
  // A link inside the key is nobody's subkey and survives the deletion of its parent.
  TTempDir outside;
  WriteAllBytes(outside.File("keep"), "x");
  std::filesystem::create_directory_symlink(outside.Path(),
                                            root.UserRoot() + "Software/Uninstall/Link");

  EXPECT_EQ(store.ListSubkeys(TRegScope::User, uninstall),
            (std::vector<std::string>{"Other", "Tessaro 2024-01-02 03.04.05"}));
  EXPECT_TRUE(store.ListSubkeys(TRegScope::User, "\\Software\\Missing").empty());
  EXPECT_TRUE(store.ListSubkeys(TRegScope::Machine, uninstall).empty());

  EXPECT_TRUE(store.DeleteKey(TRegScope::User, uninstall + "\\OTHER"));
  EXPECT_EQ(store.ListSubkeys(TRegScope::User, uninstall),
            (std::vector<std::string>{"Tessaro 2024-01-02 03.04.05"}));
  EXPECT_TRUE(store.DeleteKey(TRegScope::User, uninstall + "\\Other")) << "already gone";
  EXPECT_FALSE(store.DeleteKey(TRegScope::User, "\\Software")) << "a root key stays";
  EXPECT_FALSE(store.DeleteKey(TRegScope::User, uninstall + "\\..")) << store.LastError();

  ASSERT_TRUE(store.DeleteKey(TRegScope::User, uninstall));
  EXPECT_TRUE(store.ReadKey(TRegScope::User, uninstall).empty());
  EXPECT_TRUE(std::filesystem::exists(outside.File("keep")));
}

}  // namespace
