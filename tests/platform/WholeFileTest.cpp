#include "platform/WholeFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TestSupport.h"

namespace {

int FilesIn(const std::filesystem::path& dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

}  // namespace

TEST(WholeFile, ReadTellsMissingFromUnreadable) {
  TTempDir dir;
  std::string bytes = "stale";
  EXPECT_EQ(ReadWholeFile(dir.File("none"), bytes), TReadFileResult::Missing);
  EXPECT_EQ(bytes, "");

  WriteAllBytes(dir.File("a"), std::string("x\0y\r\n", 5));
  EXPECT_EQ(ReadWholeFile(dir.File("a"), bytes), TReadFileResult::Ok);
  EXPECT_EQ(bytes, std::string("x\0y\r\n", 5));

  std::filesystem::create_directory(dir.Path() / "folder");
  EXPECT_EQ(ReadWholeFile(dir.File("folder"), bytes), TReadFileResult::Error);
  EXPECT_EQ(bytes, "");
}

TEST(WholeFile, ReplacementIsANewFileSoAnOpenReaderKeepsTheCompleteOldText) {
  TTempDir dir;
  const std::string name = dir.File("Store.wpi");
  WriteAllBytes(name, "a=1\r\nb=2\r\n");
  ASSERT_EQ(chmod(name.c_str(), 0640), 0);
  int reader = open(name.c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);
  struct stat before {};
  ASSERT_EQ(stat(name.c_str(), &before), 0);

  ASSERT_TRUE(ReplaceWholeFile(name, "a=1\r\n"));

  char buffer[64] = {};
  ssize_t n = read(reader, buffer, sizeof buffer);
  close(reader);
  EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), "a=1\r\nb=2\r\n");
  EXPECT_EQ(ReadAllBytes(name), "a=1\r\n");
  struct stat after {};
  ASSERT_EQ(stat(name.c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);  // the permissions stay
  EXPECT_EQ(FilesIn(dir.Path()), 1);        // no temporary file left

  ASSERT_TRUE(ReplaceWholeFile(dir.File("new.wpi"), ""));
  EXPECT_EQ(ReadAllBytes(dir.File("new.wpi")), "");
}

TEST(WholeFile, AFailedReplacementLeavesNothingBehind) {
  TTempDir dir;
  std::filesystem::create_directory(dir.Path() / "Store.wpi");
  EXPECT_FALSE(ReplaceWholeFile(dir.File("Store.wpi"), "x"));
  EXPECT_FALSE(ReplaceWholeFile(dir.File("missing/Store.wpi"), "x"));
  EXPECT_FALSE(ReplaceWholeFile("", "x"));
  EXPECT_EQ(FilesIn(dir.Path()), 1);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "Store.wpi"));
}
