#include "basic/TempFilesUnit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/TestSupport.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Points TMPDIR at a test folder for the lifetime of the object.
class TScopedTmpDir {
 public:
  explicit TScopedTmpDir(const std::string& dir) {
    const char* old = std::getenv("TMPDIR");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    setenv("TMPDIR", dir.c_str(), 1);
  }
  ~TScopedTmpDir() {
    if (hadOld_) {
      setenv("TMPDIR", old_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

 private:
  bool hadOld_ = false;
  std::string old_;
};

}  // namespace

TEST(TempFiles, CreateTempFileMakesUniqueEmptyFiles) {
  TTempDir dir;
  TScopedTmpDir tmp(dir.Path().string());
  std::string a = CreateTempFile();
  std::string b = CreateTempFile();
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(fs::path(a).parent_path(), dir.Path());
  EXPECT_EQ(fs::path(a).filename().string()[0], '~');
  EXPECT_EQ(fs::file_size(a), 0u);

  TScopedTmpDir broken(dir.File("missing"));
  EXPECT_EQ(CreateTempFile(), "");
}

TEST(TempFiles, ListDeletesLastFirstAndKeepsWhatCannotBeDeleted) {
  TTempDir dir;
  WriteAllBytes(dir.File("a"), "a");
  WriteAllBytes(dir.File("b"), "b");
  fs::create_directory(dir.File("folder"));  // never deletable as a file
  {
    TTempFileList list;
    list.Add(dir.File("a"));
    list.Add("");
    list.Add(dir.File("folder"));
    list.Add(dir.File("gone"));
    list.DeleteNow(dir.File("b"));
    EXPECT_FALSE(fs::exists(dir.File("b")));
    list.DeleteNow(dir.File("folder"));  // fails now: remembered a second time
    EXPECT_THAT(list.Names(), ElementsAre(dir.File("a"), dir.File("folder"), dir.File("gone"),
                                          dir.File("folder")));
    EXPECT_FALSE(list.DeleteAll());
    EXPECT_THAT(list.Names(), ElementsAre(dir.File("folder"), dir.File("folder")));
    EXPECT_FALSE(fs::exists(dir.File("a")));
    fs::remove(dir.File("folder"));
    WriteAllBytes(dir.File("folder"), "now a file");
  }  // the list's end deletes what is left
  EXPECT_FALSE(fs::exists(dir.File("folder")));
}

TEST(TempFiles, ProgramListDeletesAtTheEnd) {
  TTempDir dir;
  TScopedTmpDir tmp(dir.Path().string());
  std::string name = CreateTempFile();
  AddTempFile(name);
  AddTempFile("");
  EXPECT_TRUE(fs::exists(name));
  EXPECT_TRUE(DeleteTempFilesNow());
  EXPECT_FALSE(fs::exists(name));
  EXPECT_THAT(ProgramTempFiles().Names(), IsEmpty());
  std::string other = CreateTempFile();
  DeleteTempFile(other);
  EXPECT_FALSE(fs::exists(other));
  EXPECT_THAT(ProgramTempFiles().Names(), IsEmpty());
}
