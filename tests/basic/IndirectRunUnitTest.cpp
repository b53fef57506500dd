#include "basic/IndirectRunUnit.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "basic/ParamsUnit.h"
#include "support/TestSupport.h"

namespace {

bool NoChildLeft() {
  errno = 0;
  return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

using TArgs = std::vector<std::string>;

}  // namespace

TEST(IndirectRunUnit, AppendCmdParamQuotesArgumentsWithBlanks) {
  std::string line = "window=small timetravel=0123";
  AppendCmdParam(line, "datafile=/srv/key data/2026-03.ada");
  AppendCmdParam(line, "datapath=/srv/keys/");
  EXPECT_EQ(line,
            "window=small timetravel=0123 \"datafile=/srv/key data/2026-03.ada\" "
            "datapath=/srv/keys/");
  EXPECT_EQ(SplitCmdParams(line), (TArgs{"window=small", "timetravel=0123",
                                         "datafile=/srv/key data/2026-03.ada",
                                         "datapath=/srv/keys/"}));
  std::string empty;
  AppendCmdParam(empty, "");
  EXPECT_EQ(empty, " ");

  EXPECT_EQ(SplitCmdParams("  a  \"\" b\"c d\"e\t f "), (TArgs{"a", "", "bc de", "f"}));
  EXPECT_EQ(SplitCmdParams(""), TArgs{});
  EXPECT_EQ(SplitCmdParams("\"open ended"), TArgs{"open ended"});
}

TEST(IndirectRunUnit, SecondInstanceArgs) {
  const std::string running = "/opt/tessaro/Tessaro";
  const std::string origin = "/opt/key manager/Tessaro";
  struct Case {
    TArgs params;
    std::string originExe;
    TArgs expected;
  } cases[] = {
      {{"window=small"}, running, {"window=small", "multistart"}},
      {{}, origin, {"ActAsOriginExe=" + origin, "multistart"}},
      {{"-MultiStart:Archiv"}, running, {"-MultiStart:Archiv"}},
      {{"MULTISTART"}, origin, {"MULTISTART", "ActAsOriginExe=" + origin}},
      // Only a switch counts, not a text that happens to hold the word.
      {{"datapath=/srv/multistart/"}, running, {"datapath=/srv/multistart/", "multistart"}},
      {{"multistarter"}, running, {"multistarter", "multistart"}},
      // The paths differ only in letter case: still another program file.
      {{}, "/opt/tessaro/tessaro", {"ActAsOriginExe=/opt/tessaro/tessaro", "multistart"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.originExe);
    EXPECT_EQ(SecondInstanceArgs(c.params, running, c.originExe), c.expected);
  }
}

TEST(IndirectRunUnit, RunProgramWaitsAndFailsQuietly) {
  TScopedRecorder ui;
  int exitCode = 99;
  EXPECT_TRUE(RunProgram("/bin/true", {}, true, &exitCode));
  EXPECT_EQ(exitCode, 0);
  EXPECT_TRUE(NoChildLeft());

  EXPECT_FALSE(RunProgram("/nonexistent/Tessaro", {"multistart"}, true, &exitCode));
  EXPECT_EQ(exitCode, -1);
  EXPECT_FALSE(RunProgram("/nonexistent/Tessaro", {}, false));
  EXPECT_FALSE(RunProgram("", {}, true));
  EXPECT_TRUE(NoChildLeft());

  EXPECT_TRUE(RunProgram("/bin/true", {}, false));  // runs on by itself
  EXPECT_TRUE(NoChildLeft());
  EXPECT_TRUE(ui.messages.empty());
}

TEST(IndirectRunUnit, RunProgramWorksInTheProgramFolder) {
  TTempDir dir;
  const std::string folder = dir.Dir() + "key tools/";
  std::filesystem::create_directory(folder);
  const std::string script = folder + "report";
  WriteAllBytes(script,
                "#!/bin/sh\n"
                "pwd > out.txt\n"
                "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> out.txt\n");
  chmod(script.c_str(), 0755);
  EXPECT_TRUE(RunProgram(script, {"datapath=/srv/a b/", "x;y"}, true));
  EXPECT_EQ(ReadAllBytes(folder + "out.txt"),
            std::filesystem::canonical(folder).string() + "\ndatapath=/srv/a b/\nx;y\n");
}

TEST(IndirectRunUnit, StartSecondInstanceUsesTheRunningProgram) {
  TCommandLine state;
  TCommandLineScope scope(state);
  state.Init({}, "/nonexistent/Tessaro");
  EXPECT_EQ(RunningExeName(), "/nonexistent/Tessaro");
  EXPECT_EQ(OriginExeDir(), "/nonexistent/");
  EXPECT_FALSE(StartSecondInstance(TArgs{"window=small"}));
  EXPECT_FALSE(StartSecondInstance(std::string("window=small")));

  state.Init({}, "/bin/true");
  EXPECT_TRUE(StartSecondInstance(TArgs{"window=small"}));
  EXPECT_TRUE(StartSecondInstance(std::string("window=small \"datapath=/a b/\"")));
  EXPECT_TRUE(NoChildLeft());
}
