#include "platform/ProcessStart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

// True when this process has no child left, neither running nor a zombie.
bool NoChildLeft() {
  errno = 0;
  return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

// A script that writes its working folder and then each argument on a line of "out.txt"
// in that folder, and ends with exit code 3.
std::string WriteEchoScript(const TTempDir& dir) {
  std::string script = dir.File("echo args");
  WriteAllBytes(script,
                "#!/bin/sh\n"
                "pwd > out.txt\n"
                "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> out.txt\n"
                "exit 3\n");
  chmod(script.c_str(), 0755);
  return script;
}

std::string Canonical(const std::string& path) {
  return std::filesystem::canonical(path).string();
}

}  // namespace

TEST(ProcessStart, WaitGivesTheExitCode) {
  TProcessStartOptions wait;
  wait.wait = true;
  TProcessStartResult ok = StartProcess("/bin/true", {}, wait);
  EXPECT_TRUE(ok.started);
  EXPECT_EQ(ok.exitCode, 0);
  EXPECT_EQ(ok.pid, 0);
  TProcessStartResult failing = StartProcess("/bin/sh", {"-c", "exit 7"}, wait);
  EXPECT_TRUE(failing.started);
  EXPECT_EQ(failing.exitCode, 7);
  TProcessStartResult killed = StartProcess("/bin/sh", {"-c", "kill -9 $$"}, wait);
  EXPECT_TRUE(killed.started);
  EXPECT_EQ(killed.exitCode, 128 + 9);
  EXPECT_TRUE(NoChildLeft());
}

TEST(ProcessStart, ArgumentsArriveUninterpretedInTheWorkingFolder) {
  TTempDir dir;
  std::string script = WriteEchoScript(dir);
  const std::vector<std::string> args = {"two words", "\"quoted\"", "$HOME;echo x", "", "*", "a\\b"};
  TProcessStartOptions options;
  options.workDir = dir.Dir();
  options.wait = true;
  TProcessStartResult r = StartProcess(script, args, options);
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 3);
  std::string expected = Canonical(dir.Dir()) + "\n";
  for (const std::string& a : args) expected += a + "\n";
  EXPECT_EQ(ReadAllBytes(dir.File("out.txt")), expected);
}

TEST(ProcessStart, FailedStartsReportTheErrorAndLeaveNoChild) {
  TTempDir dir;
  std::string plainFile = dir.File("not executable");
  WriteAllBytes(plainFile, "#!/bin/sh\n");
  struct Case {
    std::string program;
    std::string workDir;
    int error;
  } cases[] = {
      {"/nonexistent/program", "", ENOENT},
      {dir.File("missing"), dir.Dir(), ENOENT},
      {plainFile, "", EACCES},
      {"/bin/true", dir.File("no such folder") + "/", ENOENT},
      {"", "", ENOENT},
  };
  for (const Case& c : cases) {
    for (int mode = 0; mode < 3; ++mode) {
      SCOPED_TRACE(c.program + " mode " + std::to_string(mode));
      TProcessStartOptions options;
      options.workDir = c.workDir;
      options.wait = mode == 0;
      options.detach = mode == 1;
      TProcessStartResult r = StartProcess(c.program, {}, options);
      EXPECT_FALSE(r.started);
      EXPECT_EQ(r.error, c.error);
      EXPECT_EQ(r.pid, 0);
      EXPECT_TRUE(NoChildLeft());
    }
  }
}

TEST(ProcessStart, DetachedProgramIsNoChildOfOurs) {
  TProcessStartOptions detach;
  detach.detach = true;
  TProcessStartResult r = StartProcess("/bin/true", {}, detach);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.pid, 0);
  EXPECT_TRUE(NoChildLeft());
}

TEST(ProcessStart, UnwaitedChildIsCollectedByTheCaller) {
  TProcessStartResult r = StartProcess("/bin/sh", {"-c", "exit 5"});
  ASSERT_TRUE(r.started);
  ASSERT_GT(r.pid, 0);
  EXPECT_EQ(WaitForProcess(r.pid), 5);
  EXPECT_TRUE(NoChildLeft());
  EXPECT_EQ(WaitForProcess(r.pid), -1);
}

TEST(ProcessStart, OurDescriptorsAreNotPassedOn) {
  TTempDir dir;
  int fd = open(dir.File("held").c_str(), O_CREAT | O_WRONLY, 0644);  // no close-on-exec
  ASSERT_GE(fd, 3);
  TProcessStartOptions wait;
  wait.wait = true;
  std::string test = "test -e /proc/$$/fd/" + std::to_string(fd);
  TProcessStartResult r = StartProcess("/bin/sh", {"-c", test}, wait);
  close(fd);
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 1);  // the descriptor does not exist in the child
}

TEST(ProcessStart, RunningExecutablePathIsThisTestProgram) {
  std::string path = RunningExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path[0], '/');
  EXPECT_EQ(path, Canonical("/proc/self/exe"));
}

TEST(ProcessStart, ProgramFolderAndArgumentsGoToTheSystemAsUtf8) {
  TTempDir dir;
  // The folder exists on disk under its UTF-8 name; the program spells it in 1252.
  std::filesystem::create_directory(dir.Path() / std::filesystem::u8path(u8"Schl\u00FCssel"));
  const std::string folder1252 = dir.Dir() + "Schl\xFC" "ssel/";
  std::string script = WriteEchoScript(dir);
  std::filesystem::rename(script, dir.Path() / std::filesystem::u8path(u8"Schl\u00FCssel/echo"));
  TProcessStartOptions options;
  options.workDir = folder1252;
  options.wait = true;
  TProcessStartResult r = StartProcess(folder1252 + "echo", {"M\xFC" "ller", "\x80"}, options);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exitCode, 3);
  const std::string utf8Folder = Canonical(dir.Dir()) + "/Schl\xC3\xBC" "ssel";
  EXPECT_EQ(ReadAllBytes(utf8Folder + "/out.txt"),
            utf8Folder + "\nM\xC3\xBC" "ller\n\xE2\x82\xAC\n");
}

TEST(ProcessStart, AGroupOfItsOwnIsWaitedForWithALimitAndEndedAsAWhole) {
  TTempDir dir;
  TProcessStartOptions group;
  group.newProcessGroup = true;
  group.quiet = true;
  group.workDir = dir.Dir();
  // Ends by itself: the exit code arrives; nothing it wrote reaches our output.
  TProcessStartResult quick = StartProcess("/bin/sh", {"-c", "echo noise; echo more >&2; exit 4"}, group);
  ASSERT_TRUE(quick.started);
  int exitCode = 0;
  EXPECT_TRUE(WaitForProcessFor(quick.pid, 60000, exitCode));
  EXPECT_EQ(exitCode, 4);

  // Runs on with a child of its own: not done within the limit, then ended with the child.
  TProcessStartResult hanging =
      StartProcess("/bin/sh", {"-c", "sleep 300 & echo $! > child; wait"}, group);
  ASSERT_TRUE(hanging.started);
  EXPECT_EQ(getpgid(hanging.pid), hanging.pid);
  EXPECT_FALSE(WaitForProcessFor(hanging.pid, 0, exitCode));
  EXPECT_EQ(exitCode, -1);
  while (!std::filesystem::exists(dir.File("child")) ||
         std::filesystem::file_size(dir.File("child")) == 0)
    usleep(1000);
  const pid_t child = std::stoi(ReadAllBytes(dir.File("child")));
  KillProcessGroup(hanging.pid);
  EXPECT_TRUE(NoChildLeft());
  // The grandchild belonged to the group: SIGKILL reached it (it may linger as a zombie
  // until its new parent collects it).
  for (int i = 0; i < 1000 && kill(child, 0) == 0; ++i) {
    std::string stat = ReadAllBytes("/proc/" + std::to_string(child) + "/stat");
    if (stat.empty() || stat.substr(stat.rfind(')') + 2, 1) == "Z") break;
    usleep(1000);
  }
  const std::string stat = ReadAllBytes("/proc/" + std::to_string(child) + "/stat");
  EXPECT_TRUE(stat.empty() || stat.substr(stat.rfind(')') + 2, 1) == "Z") << stat;
  EXPECT_FALSE(WaitForProcessFor(12345678, 0, exitCode));
}

namespace {

// PATH for the lifetime of the object.
class TPathScope {
 public:
  explicit TPathScope(const std::string& value) {
    if (const char* old = std::getenv("PATH")) old_ = old;
    setenv("PATH", value.c_str(), 1);
  }
  ~TPathScope() { setenv("PATH", old_.c_str(), 1); }

 private:
  std::string old_;
};

TEST(FindProgramOnPath, TakesTheFirstExecutableFileOfThePathFolders) {
  TTempDir dir;
  std::filesystem::create_directories(dir.Path() / "a");
  std::filesystem::create_directories(dir.Path() / "b");
  std::filesystem::create_directories(dir.Path() / "c/tool");  // a folder is no program
  WriteAllBytes(dir.File("a/tool"), "not executable");
  WriteAllBytes(dir.File("b/tool"), "#!/bin/sh\n");
  chmod(dir.File("b/tool").c_str(), 0755);
  TPathScope path(dir.File("c") + ":" + dir.File("a") + "::" + dir.File("b"));
  EXPECT_EQ(FindProgramOnPath("tool"), dir.File("b") + "/tool");
  EXPECT_EQ(FindProgramOnPath("missing"), "");
  EXPECT_EQ(FindProgramOnPath("b/tool"), "");
  EXPECT_EQ(FindProgramOnPath(""), "");
}

}  // namespace
