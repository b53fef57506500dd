#include "basic/RegistryUnit.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/RegistryStore.h"
#include "support/RegistryTestRoot.h"

namespace {

class RegistryUnitTest : public ::testing::Test {
 protected:
  void TearDown() override { SetRegistryProgramKey(""); }
  TRegistryTestRoot root;
};

TEST_F(RegistryUnitTest, WithoutProgramKeyNothingIsReadOrWritten) {
  SetRegistryProgramKey("");
  EXPECT_FALSE(RegWriteString(false, "LastUser", "ADMIN"));
  EXPECT_FALSE(RegWriteString(true, "LastUser", "ADMIN"));
  EXPECT_FALSE(RegistryLastError().empty());
  EXPECT_EQ(RegReadString(false, "LastUser"), "");
  EXPECT_FALSE(std::filesystem::exists(root.UserRoot()));
  EXPECT_FALSE(std::filesystem::exists(root.MachineRoot()));
}

TEST_F(RegistryUnitTest, ValuesUnderTheProgramKeyByScope) {
  SetRegistryProgramKey("\\Software\\Merivan\\Tessaro");
  ASSERT_TRUE(RegWriteString(false, "LastUser", "ADMIN"));
  ASSERT_TRUE(RegWriteString(true, "LastUser", "MACHINE"));
  EXPECT_EQ(RegReadString(false, "lastuser"), "ADMIN");
  EXPECT_EQ(RegReadString(true, "LastUser"), "MACHINE");
  EXPECT_EQ(RegReadString(false, "Missing"), "");
  EXPECT_EQ(RegReadKeyString(TRegRoot::CurrentUser, "\\Software\\Merivan\\Tessaro", "LastUser"), "ADMIN");
  EXPECT_EQ(RegReadKeyString(TRegRoot::LocalMachine, "\\Software\\Merivan\\Tessaro", "LastUser"), "MACHINE");
}

TEST_F(RegistryUnitTest, OnlyStringTypesAreRead) {
  SetRegistryProgramKey("\\Software\\Merivan\\Tessaro");
  std::filesystem::create_directories(root.UserRoot() + "Software/Merivan/Tessaro");
  WriteAllBytes(root.UserRoot() + "Software/Merivan/Tessaro/values.reg",
                "B\tcount\t5\r\nE\tpath\t%HOME%/x\r\n");
  EXPECT_EQ(RegReadString(false, "count"), "");
  EXPECT_EQ(RegReadString(false, "path"), "%HOME%/x");
}

TEST_F(RegistryUnitTest, ClassesRootLooksAtTheUserThenTheMachine) {
  const std::string key = "\\Interface\\{D27CDB6C-AE6D-11CF-96B8-444553540000}";
  EXPECT_EQ(RegReadClassesRoot(key), "");
  TRegistryStore store;
  ASSERT_TRUE(store.WriteString(TRegScope::Machine, "Software\\Classes" + key, "", "machine"));
  EXPECT_EQ(RegReadClassesRoot(key), "machine");
  ASSERT_TRUE(store.WriteString(TRegScope::User, "Software\\Classes" + key, "", "user"));
  EXPECT_EQ(RegReadClassesRoot(key), "user");
}

}  // namespace
