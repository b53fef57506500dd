#include "basic/ParamsUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ProcessStart.h"
#include "support/TestSupport.h"

TEST(ParamsUnit, FindParamSwitchSyntax) {
  struct Case {
    std::vector<std::string> list;
    std::string name;
    int index;
    std::string value;
  } cases[] = {
      {{"-wait:5"}, "wait", 1, "5"},
      {{"/WAIT=5"}, "wait", 1, "5"},
      {{"\\wait:5"}, "Wait", 1, "5"},
      {{"wait=5"}, "-WAIT", 1, "5"},
      {{"-autoLogin=12;;x:y"}, "autologin", 1, "12;;x:y"},
      {{"DATAPATH:C:\\x"}, "/datapath", 1, "C:\\x"},
      {{"-x:a=b"}, "x", 1, "a=b"},
      {{"-x=a:b"}, "x", 1, "a:b"},
      {{"-Mode=AbC"}, "MODE", 1, "AbC"},
      {{"-\xE4nderung=1"}, "\xC4nderung", 1, "1"},
      {{"", "", "multistart"}, "multistart", 3, ""},
      {{"wait=1", "-wait=2"}, "wait", 1, "1"},
      {{"a=1", "wait=", "wait=2"}, "wait", 2, ""},
      {{"waiting=1", "wai=2"}, "wait", 0, ""},
      {{"--wait=5"}, "wait", 0, ""},
      {{"wait"}, "", 0, ""},
      {{"=5", ":6"}, "", 0, ""},
      {{"=5", ":6"}, "-", 0, ""},
      {{}, "wait", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.list.empty() ? std::string("(none)") : c.list[0]) + " / " + c.name);
    std::string value = "stale";
    EXPECT_EQ(FindParamIn(c.list, c.name, &value), c.index);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(FindParamIn(c.list, c.name), c.index);

    TCommandLine state;
    state.Init(c.list, "/opt/tessaro/Tessaro");
    EXPECT_EQ(state.FindParam(c.name), c.index);
    EXPECT_EQ(state.GetParam(c.name), c.value);
  }
}

TEST(ParamsUnit, DeleteParamEmptiesTheFirstMatchOnly) {
  TCommandLine state;
  state.Init({"a=1", "-wait:5", "b=2", "WAIT=6"}, "/opt/tessaro/Tessaro");
  EXPECT_TRUE(state.DeleteParam("/wait"));
  EXPECT_EQ(state.ParamList, (std::vector<std::string>{"a=1", "", "b=2", "WAIT=6"}));
  std::string value;
  EXPECT_EQ(state.FindParam("wait", &value), 4);
  EXPECT_EQ(value, "6");
  EXPECT_EQ(state.FindParam("b"), 3);
  EXPECT_TRUE(state.DeleteParam("wait"));
  EXPECT_EQ(state.FindParam("wait"), 0);
  EXPECT_FALSE(state.DeleteParam("wait"));
  EXPECT_FALSE(state.DeleteParam(""));
  EXPECT_EQ(state.ParamList.size(), 4u);
  EXPECT_EQ(state.FindParam("a"), 1);
}

TEST(ParamsUnit, ProcessWideStateCanBeReplacedAndReset) {
  TCommandLine& original = CommandLine();
  EXPECT_EQ(original.RunningExeName, RunningExecutablePath());
  {
    TCommandLine state;
    state.Init({"x=1", "datapath=/srv/data/"}, "/opt/tessaro/Tessaro");
    TCommandLineScope scope(state);
    EXPECT_EQ(&CommandLine(), &state);
    EXPECT_EQ(GetParam("DATAPATH"), "/srv/data/");
    EXPECT_EQ(FindParam("x"), 1);
    EXPECT_TRUE(DeleteParam("x"));
    EXPECT_EQ(ParamList(), (std::vector<std::string>{"", "datapath=/srv/data/"}));

    const char* argv[] = {"tessaro", "-wait:2", "two words"};
    InitCommandLine(3, argv);
    EXPECT_EQ(state.ParamList, (std::vector<std::string>{"-wait:2", "two words"}));
    EXPECT_EQ(state.RunningExeName, RunningExecutablePath());
    EXPECT_EQ(GetParam("wait"), "2");

    state.Reset();
    EXPECT_TRUE(state.ParamList.empty());
    EXPECT_EQ(state.OriginExeName, RunningExecutablePath());
  }
  EXPECT_EQ(&CommandLine(), &original);
}

TEST(ParamsUnit, OriginExeResolution) {
  TTempDir dir;
  const std::string other = dir.File("Other Tessaro");
  WriteAllBytes(other, "");
  const std::string running = "/opt/tessaro/Tessaro";
  struct Case {
    std::vector<std::string> args;
    std::string origin;
    std::string originDir;
    bool given;
    bool missing;
  } cases[] = {
      {{"wait:1"}, running, "/opt/tessaro/", false, false},
      {{"ActAsOriginExe=" + other}, other, dir.Dir(), true, false},
      {{"-actasoriginexe:" + other}, other, dir.Dir(), true, false},
      {{"ActAsOriginExe=" + dir.File("missing")}, running, "/opt/tessaro/", true, true},
      {{"ActAsOriginExe=" + dir.Dir()}, running, "/opt/tessaro/", true, true},  // a folder
      {{"ActAsOriginExe="}, running, "/opt/tessaro/", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    TCommandLine state;
    state.Init(c.args, running);
    EXPECT_EQ(state.RunningExeName, running);
    EXPECT_EQ(state.OriginExeName, c.origin);
    EXPECT_EQ(state.OriginExeDir, c.originDir);
    EXPECT_EQ(state.ActAsOriginExeGiven, c.given);
    EXPECT_EQ(state.ActAsOriginExeMissing, c.missing);
  }
}

TEST(ParamsUnit, ProgramFolderIsAbsoluteWithATrailingSlash) {
  const std::string folder = GetProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.front(), '/');
  EXPECT_EQ(folder.back(), '/');
}
