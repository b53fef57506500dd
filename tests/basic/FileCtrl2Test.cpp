#include "basic/FileCtrl2.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <algorithm>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/PlatformFiles.h"
#include "platform/RangeLock.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using Lines = std::vector<std::string>;

// Names in the folder that start with "~" (left-over temporary files).
Lines TildeFiles(const TTempDir& dir) {
  Lines names;
  for (const auto& e : fs::directory_iterator(dir.Path())) {
    std::string n = e.path().filename().string();
    if (!n.empty() && n[0] == '~') names.push_back(n);
  }
  return names;
}

std::string Joined(const Lines& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

}  // namespace

// ---------------------------------------------------------------- reading

TEST(LoadTextFile, LineEndings) {
  struct Case {
    const char* name;
    std::string bytes;
    Lines lines;
  };
  const std::string longLine(64511, 'x');  // its CR is the last byte of the first read block
  const Case cases[] = {
      {"CR LF", "a\r\nb\r\n", {"a", "b"}},
      {"LF", "a\nb\n", {"a", "b"}},
      {"CR", "a\rb\r", {"a", "b"}},
      {"mixed", "a\r\nb\nc\rd\r\n", {"a", "b", "c", "d"}},
      {"LF CR is two ends", "a\n\rb", {"a", "", "b"}},
      {"CR CR is two ends", "a\r\rb", {"a", "", "b"}},
      {"last line without end", "a\r\nb", {"a", "b"}},
      {"empty file", "", {}},
      {"only line ends", "\r\n\r\n", {"", ""}},
      {"0x1A inside", "a\r\n\x1A" "b\r\nc\x1A\x1A" "d\r\ne\r\n", {"a", "\x1A" "b", "c\x1A\x1A" "d", "e"}},
      {"0x1A as the last byte", "a\r\nb\r\n\x1A", {"a", "b"}},
      {"0x1A after an unended line", "a\r\nb\x1A", {"a", "b"}},
      {"high bytes", "\xE4\xF6\xFC\x80\r\n\xA0", {"\xE4\xF6\xFC\x80", "\xA0"}},
      {"CR LF across read blocks", longLine + "\r\ny\r\n", {longLine, "y"}},
      {"0x1A at a block end", std::string(64511, 'z') + "\x1A" "q\r\n",
       {std::string(64511, 'z') + "\x1A" "q"}},
  };
  TTempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteAllBytes(dir.File("t.txt"), c.bytes);
    Lines lines{"old"};
    EXPECT_EQ(LoadTextFile(dir.File("t.txt"), lines, 100), ltfRead);
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(SplitTextLines(c.bytes), c.lines);
  }
}

// The reader looks for line ends a block of bytes at a time; on long and mixed texts it
// must split exactly as the byte-by-byte rule does, in one piece, in pieces and from a file.
TEST(LoadTextFile, BlockwiseSearchSplitsLikeTheByteRule) {
  auto byteRule = [](const std::string& bytes) {
    Lines lines;
    std::string current;
    bool afterCr = false, pendingEof = false;
    for (char c : bytes) {
      if (pendingEof) current += '\x1A', pendingEof = false;
      if (c == '\n' && afterCr) {
        afterCr = false;
      } else if (c == '\n' || c == '\r') {
        lines.push_back(current);
        current.clear();
        afterCr = c == '\r';
      } else if (c == '\x1A') {
        afterCr = false;
        pendingEof = true;
      } else {
        current += c;
        afterCr = false;
      }
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
  };
  std::mt19937 rng(1);
  // Rare special bytes among ordinary ones, also the other bytes at or below 0x1A.
  const char specials[] = {'\r', '\n', '\x1A', '\t', '\x01', '\x19', '\x1B', '\0', '\xFF'};
  std::string all;
  TTempDir dir;
  for (int text = 0; text < 300; ++text) {
    std::string bytes;
    const int size = static_cast<int>(rng() % 400);
    for (int i = 0; i < size; ++i)
      bytes += rng() % 24 == 0 ? specials[rng() % sizeof specials] : static_cast<char>('a' + rng() % 26);
    const Lines want = byteRule(bytes);
    ASSERT_EQ(SplitTextLines(bytes), want) << text;
    Lines pieces;
    TTextLineSplitter splitter(pieces);
    for (size_t at = 0; at < bytes.size();) {
      const size_t n = std::min<size_t>(1 + rng() % 70, bytes.size() - at);
      splitter.Feed(bytes.data() + at, n);
      at += n;
    }
    splitter.Finish();
    ASSERT_EQ(pieces, want) << text;
    all += bytes;
  }
  // Many read blocks, and a first block unlike the rest (the list's room is only a guess).
  all = std::string(70000, 'x') + "\r\n" + all;
  WriteAllBytes(dir.File("t.txt"), all);
  Lines lines;
  EXPECT_EQ(LoadTextFile(dir.File("t.txt"), lines), ltfRead);
  EXPECT_EQ(lines, byteRule(all));
}

TEST(LoadTextFile, MissingOrUnreadableFileKeepsTheList) {
  TTempDir dir;
  Lines lines{"keep"};
  EXPECT_EQ(LoadTextFile(dir.File("missing.txt"), lines), ltfMissing);
  EXPECT_THAT(lines, ElementsAre("keep"));
  EXPECT_EQ(LoadTextFile(dir.Dir(), lines), ltfReadError);  // a folder
  EXPECT_THAT(lines, ElementsAre("keep"));
  WriteAllBytes(dir.File("t.txt"), "a\r\n");
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Open ? EACCES : 0; });
    EXPECT_EQ(LoadTextFile(dir.File("t.txt"), lines), ltfReadError);
  }
  EXPECT_THAT(lines, ElementsAre("keep"));
}

TEST(LoadTextFile, ReadErrorKeepsTheCompleteLinesReadSoFar) {
  TTempDir dir;
  const std::string first(64512 - 4, 'a');
  WriteAllBytes(dir.File("t.txt"), first + "\r\nbcdefg\r\nh\r\n");  // block 1 ends in "bc"
  int reads = 0;
  TPfFaultScope fault([&](TPfOp op, const std::string&) {
    return op == TPfOp::Read && ++reads == 2 ? EIO : 0;
  });
  Lines lines{"old"};
  EXPECT_EQ(LoadTextFile(dir.File("t.txt"), lines), ltfReadError);
  EXPECT_THAT(lines, ElementsAre(first));
}

// ---------------------------------------------------------------- writing

TEST(SaveTextFile, RoundTripsEveryByteAndLargeTexts) {
  TTempDir dir;
  Lines lines;
  std::string all;
  for (int i = 0; i < 256; ++i) {
    if (i != '\r' && i != '\n') all += static_cast<char>(i);
  }
  all.pop_back();  // ends in 0xFE, not in a lone 0x1A
  lines.push_back(all);
  lines.push_back("");
  for (int i = 0; i < 3000; ++i) lines.push_back("line " + std::to_string(i) + std::string(60, 'x'));
  ASSERT_GT(Joined(lines).size(), 131072u);  // several write blocks

  ASSERT_TRUE(SaveTextFile(lines, dir.File("t.txt")));
  EXPECT_EQ(ReadAllBytes(dir.File("t.txt")), Joined(lines));
  Lines back;
  EXPECT_EQ(LoadTextFile(dir.File("t.txt"), back), ltfRead);
  EXPECT_EQ(back, lines);

  ASSERT_TRUE(SaveTextFile({}, dir.File("t.txt")));
  EXPECT_EQ(GetFileSize64(dir.File("t.txt")), 0);
  EXPECT_THAT(TildeFiles(dir), IsEmpty());
}

TEST(SaveTextFile, FailedWriteKeepsTheOldFileAndSaysSo) {
  const TPfOp failing[] = {TPfOp::Open, TPfOp::Write, TPfOp::Fsync, TPfOp::Rename};
  for (TPfOp op : failing) {
    SCOPED_TRACE(static_cast<int>(op));
    TTempDir dir;
    WriteAllBytes(dir.File("t.txt"), "old\r\n");
    {
      TPfFaultScope fault([op](TPfOp o, const std::string&) { return o == op ? ENOSPC : 0; });
      EXPECT_FALSE(SaveTextFile({"new"}, dir.File("t.txt")));
    }
    EXPECT_EQ(ReadAllBytes(dir.File("t.txt")), "old\r\n");
    EXPECT_THAT(TildeFiles(dir), IsEmpty());
  }
}

TEST(SaveTextFile, RefusesAFolderAndFollowsALink) {
  TTempDir dir;
  fs::create_directory(dir.File("sub"));
  EXPECT_FALSE(SaveTextFile({"x"}, dir.File("sub")));
  EXPECT_TRUE(fs::is_directory(dir.File("sub")));

  WriteAllBytes(dir.File("real.txt"), "old\r\n");
  fs::create_symlink(dir.File("real.txt"), dir.File("link.txt"));
  ASSERT_TRUE(SaveTextFile({"new"}, dir.File("link.txt")));
  EXPECT_TRUE(fs::is_symlink(dir.File("link.txt")));
  EXPECT_EQ(ReadAllBytes(dir.File("real.txt")), "new\r\n");
}

// Whatever fails, the target holds the old or the new text at every moment, the result is
// true only with the new text in place, and no "~" file stays behind.
TEST(SaveTextFileSafe, TargetSurvivesEveryFailure) {
  enum Bak { None, Stale, OldText };
  struct Case {
    const char* name;
    bool keepBackup;
    bool staleBak;  // an older ".bak" exists
    bool readOnly;  // the target is write-protected
    std::function<int(TPfOp, const std::string&)> fault;
    bool ok;
    bool newText;  // target holds the new text afterwards
    Bak bak;
  };
  auto failOn = [](TPfOp op) {
    return [op](TPfOp o, const std::string&) { return o == op ? EIO : 0; };
  };
  auto none = [](TPfOp, const std::string&) { return 0; };
  const Case cases[] = {
      {"plain save with backup", true, false, false, none, true, true, OldText},
      {"older .bak is replaced", true, true, false, none, true, true, OldText},
      {"read-only target", true, true, true, none, true, true, OldText},
      {"without backup", false, true, false, none, true, true, Stale},
      {"temporary file not created", true, true, false, failOn(TPfOp::Open), false, false, Stale},
      {"write fails", true, true, false, failOn(TPfOp::Write), false, false, Stale},
      {"fsync fails", true, false, false, failOn(TPfOp::Fsync), false, false, None},
      {"no hard links: copied", true, true, false, failOn(TPfOp::Link), true, true, OldText},
      // Neither a link nor a copy of the old text can be made: the older backup stays.
      {"no backup possible", true, true, false,
       [](TPfOp o, const std::string& p) {
         return o == TPfOp::Link || (o == TPfOp::Open && p.ends_with(".ada")) ? EIO : 0;
       },
       false, false, Stale},
      {"rename fails", true, true, false, failOn(TPfOp::Rename), false, false, Stale},
      {"rename fails, no backup", false, false, true, failOn(TPfOp::Rename), false, false, None},
      // The new file is in place: saved, with the folder named as not synced.
      {"folder sync fails", true, false, false, failOn(TPfOp::FsyncFolder), true, true, OldText},
  };
  const std::string oldText = "old 1\r\nold 2\r\n";
  const std::string newText = "new 1\r\nnew 2\r\nnew 3\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTempDir dir;
    const std::string target = dir.File("store.ada");
    WriteAllBytes(target, oldText);
    if (c.staleBak) WriteAllBytes(target + ".bak", "stale\r\n");
    if (c.readOnly) chmod(target.c_str(), 0444);

    int checks = 0;
    bool ok;
    {
      TPfFaultScope fault([&](TPfOp op, const std::string& path) {
        std::string now = ReadAllBytes(target);
        EXPECT_TRUE(now == oldText || now == newText) << "during op " << static_cast<int>(op);
        ++checks;
        return c.fault(op, path);
      });
      ok = SaveTextFileSafe({"new 1", "new 2", "new 3"}, target, c.keepBackup);
    }
    EXPECT_GT(checks, 0);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(ReadAllBytes(target), c.newText ? newText : oldText);
    EXPECT_THAT(TildeFiles(dir), IsEmpty());
    const std::vector<std::string> unsynced = TakeUnsyncedSaves();
    if (std::string(c.name) == "folder sync fails") EXPECT_THAT(unsynced, ElementsAre(target));
    else EXPECT_THAT(unsynced, IsEmpty());
    switch (c.bak) {
      case None: EXPECT_FALSE(fs::exists(target + ".bak")); break;
      case Stale: EXPECT_EQ(ReadAllBytes(target + ".bak"), "stale\r\n"); break;
      case OldText: EXPECT_EQ(ReadAllBytes(target + ".bak"), oldText); break;
    }
    if (c.newText) {
      struct stat st;
      ASSERT_EQ(stat(target.c_str(), &st), 0);
      EXPECT_TRUE(st.st_mode & S_IWUSR);
    }
  }
}

// A station killed at any step of a save leaves the target whole, a backup beside it, and
// at most a temporary file that the next open sweeps away once it is old.
TEST(SaveTextFileSafe, AKillAtAnyStepLeavesTargetAndBackup) {
  const std::string oldText = "old\r\n";
  const std::string newText = "new\r\n";
  for (int step = 1;; ++step) {
    SCOPED_TRACE(step);
    TTempDir dir;
    const std::string target = dir.File("Data.ada");
    WriteAllBytes(target, oldText);
    WriteAllBytes(target + ".bak", "older\r\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int ops = 0;
      TPfFaultScope kill([&](TPfOp, const std::string&) {
        if (++ops == step) _exit(9);
        return 0;
      });
      SaveTextFileSafe({"new"}, target, true);
      _exit(0);  // every step passed: this round saw the whole save
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const std::string now = ReadAllBytes(target);
    EXPECT_TRUE(now == oldText || now == newText);
    const std::string bak = ReadAllBytes(target + ".bak");
    EXPECT_TRUE(bak == "older\r\n" || bak == oldText) << bak;
    // Nobody holds what the killed save left: swept once it is old enough, not before.
    const double now_s = static_cast<double>(time(nullptr));
    EXPECT_EQ(SweepStaleTempFiles(dir.Dir(), 600, now_s), 0);
    SweepStaleTempFiles(dir.Dir(), 600, now_s + 3600);
    EXPECT_THAT(TildeFiles(dir), IsEmpty());
    if (WEXITSTATUS(status) == 0) {
      EXPECT_EQ(now, newText);
      break;
    }
  }
}

TEST(SweepStaleTempFiles, KeepsWhatARunningWriterHoldsAndWhatIsNotOurs) {
  TTempDir dir;
  for (const char* name : {"~stale001.tmp", "~held0001.tmp", "~other.txt", "plain.tmp"})
    WriteAllBytes(dir.File(name), "x");
  const int held = open(dir.File("~held0001.tmp").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_TRUE(HoldWholeFile(held));
  EXPECT_EQ(SweepStaleTempFiles(dir.Dir(), 600, static_cast<double>(time(nullptr)) + 3600), 1);
  EXPECT_THAT(TildeFiles(dir), ::testing::UnorderedElementsAre("~held0001.tmp", "~other.txt"));
  EXPECT_TRUE(fs::exists(dir.File("plain.tmp")));
  close(held);
}

TEST(SaveTextFileSafe, CreatesAMissingTargetWithoutBackup) {
  TTempDir dir;
  ASSERT_TRUE(SaveTextFileSafe({"a"}, dir.File("new.txt"), true));
  EXPECT_EQ(ReadAllBytes(dir.File("new.txt")), "a\r\n");
  EXPECT_FALSE(fs::exists(dir.File("new.txt.bak")));
}

// ---------------------------------------------------------------- files and folders

TEST(FileCtrl2, ReadFileToStringAndFileSize) {
  TTempDir dir;
  std::string text = "x";
  EXPECT_FALSE(ReadFileToString(dir.File("missing"), text));
  EXPECT_EQ(text, "");
  WriteAllBytes(dir.File("empty"), "");
  EXPECT_FALSE(ReadFileToString(dir.File("empty"), text));
  WriteAllBytes(dir.File("data"), std::string("a\0\x1A" "b\r\n", 6));
  EXPECT_TRUE(ReadFileToString(dir.File("data"), text));
  EXPECT_EQ(text, std::string("a\0\x1A" "b\r\n", 6));
  EXPECT_FALSE(ReadFileToString(dir.Dir(), text));

  EXPECT_EQ(GetFileSize64(dir.File("data")), 6);
  EXPECT_EQ(GetFileSize64(dir.File("empty")), 0);
  EXPECT_EQ(GetFileSize64(dir.File("missing")), -1);
  EXPECT_EQ(GetFileSize64(dir.Dir()), -1);
}

TEST(FileCtrl2, IsFolderWritableLeavesNothingBehind) {
  TTempDir dir;
  EXPECT_TRUE(IsFolderWritable(dir.Dir()));
  EXPECT_TRUE(IsFolderWritable(dir.Path().string()));
  EXPECT_TRUE(fs::is_empty(dir.Path()));
  EXPECT_FALSE(IsFolderWritable(dir.File("missing/")));
}

TEST(FileCtrl2, DeleteFileForce) {
  TTempDir dir;
  WriteAllBytes(dir.File("ro"), "x");
  chmod(dir.File("ro").c_str(), 0444);
  EXPECT_TRUE(DeleteFileForce(dir.File("ro")));
  EXPECT_FALSE(fs::exists(dir.File("ro")));
  EXPECT_TRUE(DeleteFileForce(dir.File("never")));
  fs::create_directory(dir.File("sub"));
  EXPECT_FALSE(DeleteFileForce(dir.File("sub")));
  EXPECT_TRUE(fs::exists(dir.File("sub")));
  WriteAllBytes(dir.File("target"), "x");
  fs::create_symlink(dir.File("target"), dir.File("link"));
  EXPECT_TRUE(DeleteFileForce(dir.File("link")));
  EXPECT_EQ(ReadAllBytes(dir.File("target")), "x");
}

TEST(FileCtrl2, Listings) {
  TTempDir dir;
  WriteAllBytes(dir.File("b.ADA"), "12");
  WriteAllBytes(dir.File("a.ada"), "1");
  WriteAllBytes(dir.File("c.txt"), "");
  fs::create_directory(dir.File("z.ada"));  // a folder is never listed as a file
  fs::create_directories(dir.File("sub2/deep"));
  fs::create_directory(dir.File("Sub1"));
  WriteAllBytes(dir.File("sub2/x.ada"), "123");
  WriteAllBytes(dir.File("sub2/deep/y.ada"), "");
  WriteAllBytes(dir.File("Sub1/w.ada"), "");
  fs::create_directory_symlink(dir.File("sub2"), dir.File("loop"));  // not a subfolder

  std::vector<TListedFile> files;
  ListFiles(dir.Path().string(), "*.ada", files);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].name, dir.Dir() + "a.ada");
  EXPECT_EQ(files[0].size, 1);
  EXPECT_EQ(files[1].name, dir.Dir() + "b.ADA");
  EXPECT_EQ(files[1].size, 2);

  Lines subs;
  ListSubfolders(dir.Dir(), subs);
  EXPECT_THAT(subs, ElementsAre("Sub1", "sub2", "z.ada"));

  files.clear();
  ListFilesRecursive(dir.Dir(), "*.ADA", files);
  Lines names;
  for (const auto& f : files) names.push_back(f.name.substr(dir.Dir().size()));
  EXPECT_THAT(names, ElementsAre("a.ada", "b.ADA", "Sub1/w.ada", "sub2/x.ada", "sub2/deep/y.ada"));

  files.clear();
  ListFiles(dir.Dir(), "*.*", files);
  EXPECT_EQ(files.size(), 3u);
  files.clear();
  ListFiles(dir.Dir(), "?.t*", files);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, dir.Dir() + "c.txt");
}

TEST(DeleteFolderTree, RemovesEverythingBottomUpAndNeverLeavesTheTree) {
  TTempDir dir;
  const std::string outside = dir.File("outside");
  fs::create_directories(outside + "/keep");
  WriteAllBytes(outside + "/precious.txt", "p");
  WriteAllBytes(outside + "/keep/also.txt", "a");

  const std::string root = dir.File("tree");
  fs::create_directories(root + "/a/b/empty");
  fs::create_directories(root + "/emptytop");
  WriteAllBytes(root + "/top.txt", "t");
  WriteAllBytes(root + "/a/b/deep.txt", "d");
  chmod((root + "/a/b/deep.txt").c_str(), 0444);
  fs::create_directory_symlink(outside, root + "/a/outlink");
  fs::create_symlink(outside + "/precious.txt", root + "/filelink");
  fs::create_symlink(dir.File("nowhere"), root + "/dangling");

  EXPECT_TRUE(DeleteFolderTree(root + "/"));
  EXPECT_FALSE(fs::exists(root));
  EXPECT_EQ(ReadAllBytes(outside + "/precious.txt"), "p");
  EXPECT_EQ(ReadAllBytes(outside + "/keep/also.txt"), "a");

  EXPECT_TRUE(DeleteFolderTree(root));  // already gone
  // A root that is itself a link is not walked.
  fs::create_directory_symlink(outside, dir.File("rootlink"));
  EXPECT_FALSE(DeleteFolderTree(dir.File("rootlink") + "/"));
  EXPECT_EQ(ReadAllBytes(outside + "/precious.txt"), "p");
  EXPECT_TRUE(fs::is_symlink(dir.File("rootlink")));
}

TEST(DeleteFolderTree, GoesOnPastAFailureAndReportsIt) {
  TTempDir dir;
  const std::string root = dir.File("tree");
  fs::create_directories(root + "/a");
  WriteAllBytes(root + "/a/stuck.txt", "s");
  WriteAllBytes(root + "/b.txt", "b");
  WriteAllBytes(root + "/c.txt", "c");
  TPfFaultScope fault([](TPfOp op, const std::string& path) {
    return op == TPfOp::RemoveTree && path.ends_with("stuck.txt") ? EBUSY : 0;
  });
  EXPECT_FALSE(DeleteFolderTree(root));
  EXPECT_TRUE(fs::exists(root + "/a/stuck.txt"));
  EXPECT_FALSE(fs::exists(root + "/b.txt"));
  EXPECT_FALSE(fs::exists(root + "/c.txt"));
}

// ---------------------------------------------------------------- names and paths

TEST(FileCtrl2, CleanFileName) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {" Schl\xFC" "ssel: Haus/1 ", "Schl\xFC" "ssel Haus1"},
      {"a\\b:c/d\"e<f>g[h]i|j*k?l", "abcdefghijkl"},
      {std::string("x\x01\ty\0z", 6), "xyz"},
      {".", ""},
      {"..", ""},
      {" .. ", ""},
      {"./..", "..."},
      {"*.*", ""},
      {"..x", "..x"},
      {"   ", ""},
  };
  for (const Case& c : cases) {
    std::string got = CleanFileName(c.in);
    EXPECT_EQ(got, c.out) << c.in;
  }
}

TEST(FileCtrl2, PathHelpers) {
  struct Case {
    std::string base, path, expected;
  };
  const Case cases[] = {
      {"/data", "System/Fields.csv", "/data/System/Fields.csv"},
      {"/data/", "Demo/", "/data/Demo/"},
      {"/data/", "/abs/x", "/abs/x"},
      {"", "rel", "rel"},
      {"/data/", "", ""},
  };
  for (const Case& c : cases) {
    std::string p = c.path;
    MakeAbsolutePath(c.base, p);
    EXPECT_EQ(p, c.expected);
  }
  std::string p = "/a";
  AddBackslash(p);
  EXPECT_EQ(p, "/a/");
  AddBackslash(p);
  EXPECT_EQ(p, "/a/");
  p.clear();
  AddBackslash(p);
  EXPECT_EQ(p, "");
  EXPECT_EQ(DelTrailingSlash("/a/"), "/a");
  EXPECT_EQ(DelTrailingSlash("C:\\x\\"), "C:\\x");
  EXPECT_EQ(DelTrailingSlash("/a//"), "/a/");
  EXPECT_EQ(DelTrailingSlash(""), "");
}
