// The program spells paths in 1252; on disk they are UTF-8. These tests go through the
// file units and check the disk with the raw system calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "basic/FileCtrl2.h"
#include "basic/ParamsUnit.h"
#include "platform/FileLock.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

// Names in a folder as the system has them (raw bytes).
std::vector<std::string> RawNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(SystemPaths, FilesInAFolderWithAnUmlautLandUnderTheUtf8Name) {
  TTempDir dir;
  // The data folder exists on disk, as every other program on the machine names it.
  fs::create_directory(dir.Path() / fs::u8path(u8"Schl\u00FCssel"));
  const std::string folder = dir.Dir() + "Schl\xFC" "ssel/";  // the program's spelling
  const std::string file = folder + "B\xE4r.txt";

  ASSERT_TRUE(SaveTextFileSafe({"eins"}, file, true));
  ASSERT_TRUE(SaveTextFileSafe({"zwei", "M\xFC" "ller"}, file, true));  // with ".bak" by link
  // No second folder beside the real one; the file, its backup and nothing else inside.
  EXPECT_EQ(RawNames(dir.Dir()), std::vector<std::string>{"Schl\xC3\xBC" "ssel"});
  const std::string utf8Folder = dir.Dir() + "Schl\xC3\xBC" "ssel/";
  EXPECT_EQ(RawNames(utf8Folder),
            (std::vector<std::string>{"B\xC3\xA4r.txt", "B\xC3\xA4r.txt.bak"}));
  EXPECT_EQ(ReadAllBytes(utf8Folder + "B\xC3\xA4r.txt"), "zwei\r\nM\xFC" "ller\r\n");  // content stays 1252

  Lines lines;
  EXPECT_EQ(LoadTextFile(file, lines), ltfRead);
  EXPECT_EQ(lines, (Lines{"zwei", "M\xFC" "ller"}));
  EXPECT_EQ(GetFileSize64(file), 14);

  std::vector<TListedFile> files;
  ListFiles(folder, "b\xC4*.txt", files);  // the mask matches the 1252 name, case-insensitively
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, file);
  std::vector<std::string> subfolders;
  ListSubfolders(dir.Dir(), subfolders);
  EXPECT_EQ(subfolders, std::vector<std::string>{"Schl\xFC" "ssel"});

  // A new folder below is created under its UTF-8 name as well.
  ASSERT_EQ(PfMakeFolders(folder + "\xC4nderungen/2026"), 0);
  EXPECT_TRUE(fs::is_directory(utf8Folder + "\xC3\x84nderungen/2026"));

  std::string resolved;
  ASSERT_EQ(PfRealPath(file, resolved), 0);
  EXPECT_TRUE(resolved.ends_with("/Schl\xFC" "ssel/B\xE4r.txt")) << resolved;

  EXPECT_TRUE(DeleteFileForce(file));
  EXPECT_FALSE(fs::exists(utf8Folder + "B\xC3\xA4r.txt"));
  EXPECT_TRUE(DeleteFolderTree(folder));
  EXPECT_TRUE(RawNames(dir.Dir()).empty());
}

TEST(SystemPaths, TheFaultHookSeesTheProgramsSpelling) {
  TTempDir dir;
  const std::string folder = dir.Dir() + "\x80-Ordner/";
  ASSERT_EQ(PfMakeFolders(folder), 0);
  std::vector<std::string> seen;
  TPfFaultScope hook([&](TPfOp op, const std::string& path) {
    if (op == TPfOp::Rename || op == TPfOp::FsyncFolder) seen.push_back(path);
    return 0;
  });
  ASSERT_TRUE(SaveTextFile({"x"}, folder + "Liste.txt"));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen[0].starts_with(folder + "~")) << seen[0];  // the temporary file
  EXPECT_EQ(seen[1], folder);
  EXPECT_TRUE(fs::exists(dir.Dir() + "\xE2\x82\xAC-Ordner/Liste.txt"));
}

TEST(SystemPaths, TheFileLockHoldsTheUtf8File) {
  TTempDir dir;
  fs::create_directory(dir.Path() / fs::u8path(u8"Schl\u00FCssel"));
  const std::string name = dir.Dir() + "Schl\xFC" "ssel/Schl\xFC" "ssel.wpf";
  TFileLock first, second;
  ASSERT_EQ(first.TryLock(name), TFileLockResult::Locked) << first.LastError();
  EXPECT_EQ(second.TryLock(name), TFileLockResult::Busy);
  EXPECT_EQ(RawNames(dir.Dir() + "Schl\xC3\xBC" "ssel"),
            std::vector<std::string>{"Schl\xC3\xBC" "ssel.wpf"});
  first.Unlock();
  EXPECT_EQ(second.TryLock(name), TFileLockResult::Locked);
}

TEST(SystemPaths, NamesALegacyProgramWroteIn1252AreListedOpenedAndReplacedInPlace) {
  TTempDir dir;
  // Raw 1252 bytes on disk: no valid UTF-8, so they come back as they are.
  fs::create_directory(dir.Dir() + "Alt\xE4");
  WriteAllBytes(dir.Dir() + "Alt\xE4/Liste\xFC.txt", "alt\r\n");
  const std::string folder = dir.Dir() + "Alt\xE4/";
  std::vector<TListedFile> files;
  ListFiles(folder, "*.txt", files);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, folder + "Liste\xFC.txt");

  Lines lines;
  EXPECT_EQ(LoadTextFile(files[0].name, lines), ltfRead);
  EXPECT_EQ(lines, Lines{"alt"});
  ASSERT_TRUE(SaveTextFileSafe({"neu"}, files[0].name, false));
  ASSERT_TRUE(SaveTextFileSafe({"neu2"}, folder + "Neu\xFC.txt", false));
  // The old file took the new text under its own name; a new name in the old folder is UTF-8.
  EXPECT_EQ(RawNames(dir.Dir() + "Alt\xE4"),
            (std::vector<std::string>{"Liste\xFC.txt", "Neu\xC3\xBC.txt"}));
  EXPECT_EQ(ReadAllBytes(dir.Dir() + "Alt\xE4/Liste\xFC.txt"), "neu\r\n");
  EXPECT_TRUE(DeleteFolderTree(folder));
  EXPECT_TRUE(RawNames(dir.Dir()).empty());
}

TEST(SystemPaths, CommandLineArgumentsArrive1252) {
  TTempDir dir;
  fs::create_directory(dir.Path() / fs::u8path(u8"Schl\u00FCssel"));
  const std::string acting = dir.Dir() + "Schl\xC3\xBC" "ssel/Tessaro";
  WriteAllBytes(acting, "");
  const std::string actingArg = "ActAsOriginExe=" + acting;
  const char* argv[] = {"tessaro", "datapath=/srv/Schl\xC3\xBC" "ssel/", "\xCE\xA9",
                        actingArg.c_str()};
  TCommandLine state;
  TCommandLineScope scope(state);
  InitCommandLine(4, argv);
  EXPECT_EQ(GetParam("datapath"), "/srv/Schl\xFC" "ssel/");
  EXPECT_EQ(state.ParamList[1], "?");
  EXPECT_FALSE(state.ActAsOriginExeMissing);
  EXPECT_EQ(state.OriginExeName, dir.Dir() + "Schl\xFC" "ssel/Tessaro");
  EXPECT_EQ(state.OriginExeDir, dir.Dir() + "Schl\xFC" "ssel/");
}
