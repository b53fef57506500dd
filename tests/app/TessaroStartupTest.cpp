#include <cmath>
#include <string>
#include <vector>

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/StartupTestSupport.h"
#include "app/TessaroMain.h"
#include "app/Unit1.h"
#include "basic/Hex32Unit.h"
#include "basic/MultiLingua.h"
#include "basic/ParamsUnit.h"
#include "basic/TempFilesUnit.h"
#include "basic/widgets/InstanceChannel.h"
#include "data/MandantUnit.h"
#include "loader/LoaderUnit.h"
#include "support/TestSupport.h"

namespace {

// A command line for the scope of a test.
class TArgs {
 public:
  explicit TArgs(std::vector<std::string> args) : scope_(state_) {
    state_.Init(std::move(args), "/opt/tessaro/Tessaro");
  }

 private:
  TCommandLine state_;
  TCommandLineScope scope_;
};

// ---------------------------------------------------------------------------------------
// "wait"

TEST(WaitAtStart, StepsOf250MsUpToTenSeconds) {
  struct Case {
    std::vector<std::string> args;
    int steps;
  };
  const Case cases[] = {
      {{}, 0},          {{"wait:0"}, 0},  {{"wait=abc"}, 0}, {{"wait"}, 0},
      {{"wait:-3"}, 0}, {{"/wait:1"}, 4}, {{"wait:3"}, 12},  {{"-WAIT=25"}, 40},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args[0]);
    TArgs args(c.args);
    std::vector<int> sleeps;
    int served = 0;
    TWaitHooks hooks;
    hooks.sleep = [&](int ms) { sleeps.push_back(ms); };
    hooks.processEvents = [&] { ++served; };
    hooks.terminated = [] { return false; };
    EXPECT_EQ(WaitAtStart(hooks), c.steps);
    EXPECT_EQ(sleeps, std::vector<int>(c.steps, 250));
    EXPECT_EQ(served, c.steps) << "the events are served after every step";
  }
}

TEST(WaitAtStart, TerminationEndsTheWaitAtTheNextStep) {
  TArgs args({"wait:10"});
  int steps = 0;
  TWaitHooks hooks;
  hooks.sleep = [&](int) { ++steps; };
  hooks.processEvents = [&] {
    if (steps == 5) TerminateApplication();  // e.g. a termination signal arrived
  };
  EXPECT_EQ(WaitAtStart(hooks), 5);
  EXPECT_TRUE(ApplicationTerminated());
  ResetApplicationTerminated();
}

// ---------------------------------------------------------------------------------------
// Single instance

class TFakeChannel : public IInstanceChannel {
 public:
  bool markerExists = false;
  bool raceLost = false;  // another instance sets the marker between look-up and creation
  int windowAnswer = 0;
  int markersCreated = 0;
  int notified = 0;

  bool MarkerExists() override { return markerExists; }
  bool CreateMarker() override {
    if (raceLost || markerExists) return false;
    ++markersCreated;
    markerExists = true;
    return true;
  }
  int NotifyRunning() override {
    ++notified;
    return windowAnswer;
  }
};

TEST(SingleInstance, DecisionTable) {
  struct Case {
    const char* name;
    bool markerExists;
    bool raceLost;
    int windowAnswer;
    bool multistart;
    bool exitNow;
    int markersCreated;
    int notified;
  };
  const Case cases[] = {
      {"first start", false, false, 0, false, false, 1, 0},
      {"first start with multistart", false, false, 0, true, false, 1, 0},
      {"running window answers", true, false, 1, false, true, 0, 1},
      {"running, no window yet", true, false, 0, false, false, 0, 1},
      {"multistart beside a running one", true, false, 1, true, false, 0, 0},
      {"marker set a moment ago by another", false, true, 1, false, true, 0, 1},
      {"race lost, other has no window yet", false, true, 0, false, false, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFakeChannel channel;
    channel.markerExists = c.markerExists;
    channel.raceLost = c.raceLost;
    channel.windowAnswer = c.windowAnswer;
    const TInstanceCheck check = CheckSingleInstance(channel, c.multistart);
    EXPECT_EQ(check.exitNow, c.exitNow);
    EXPECT_EQ(check.markerCreated, c.markersCreated == 1);
    EXPECT_EQ(channel.markersCreated, c.markersCreated);
    EXPECT_EQ(channel.notified, c.notified);
  }
}

// The real channel: a first instance, then a second start and a multistart start in this
// process (the "running" window is served by this thread's event loop while the check runs
// on another thread, as it would in another process).
TEST(SingleInstance, SecondStartActivatesTheRunningWindowAndSetsNoMarker) {
  TInstanceDirScope dir;
  TLocalInstanceChannel first(kInstanceChannelName);
  ASSERT_TRUE(CheckSingleInstance(first, false).markerCreated);
  std::unique_ptr<TChannelListener> marker = first.TakeMarker();
  ASSERT_TRUE(marker);
  TTessaroForm window;
  marker->SetReceiver([&](int code) { return window.WMCopyData(code); });

  const TInstanceCheck second = RunBesideEventLoop<TInstanceCheck>([] {
    TLocalInstanceChannel channel(kInstanceChannelName);
    TInstanceCheck check = CheckSingleInstance(channel, false);
    EXPECT_FALSE(channel.TakeMarker());
    return check;
  });
  EXPECT_TRUE(second.exitNow);
  EXPECT_EQ(second.answer, 1);
  EXPECT_EQ(window.ActivationCount(), 1);

  // A multistart instance runs beside it and, when it ends, leaves the marker alone.
  RunBesideEventLoop<bool>([] {
    TLocalInstanceChannel channel(kInstanceChannelName);
    const TInstanceCheck check = CheckSingleInstance(channel, true);
    EXPECT_FALSE(check.exitNow);
    EXPECT_FALSE(check.markerCreated);
    return true;
  });
  EXPECT_EQ(window.ActivationCount(), 1);
  EXPECT_EQ(SendBesideEventLoop(kInstanceChannelName, kCopyDataActivate), 1);
  EXPECT_EQ(window.ActivationCount(), 2);
}

TEST(SingleInstance, ShutdownRemovesOnlyTheOwnMarkerAndDeferredTempFilesOnce) {
  TInstanceDirScope dir;
  TTempDir files;
  const std::string socketFile = ChannelSocketPath(kInstanceChannelName);
  const std::string deferred = files.File("~export.csv");
  WriteAllBytes(deferred, "x");
  AddTempFile(deferred);

  // An instance without a marker of its own (multistart) leaves the running one's alone.
  TChannelListener running(kInstanceChannelName);
  ASSERT_TRUE(running.Listen());
  SetInstanceMarker(nullptr);
  ShutdownProgram();
  EXPECT_TRUE(std::filesystem::exists(socketFile));
  EXPECT_FALSE(std::filesystem::exists(deferred));
  running.Remove();

  // The instance that set the marker removes it, once.
  auto own = std::make_unique<TChannelListener>(kInstanceChannelName);
  ASSERT_TRUE(own->Listen());
  SetInstanceMarker(std::move(own));
  ShutdownProgram();
  EXPECT_EQ(InstanceMarker(), nullptr);
  EXPECT_FALSE(std::filesystem::exists(socketFile));
  ShutdownProgram();
}

// ---------------------------------------------------------------------------------------
// Main window

TEST(TessaroForm, CopyDataAlwaysAnswersOneAndCodeTwoRestoresTheWindow) {
  TTessaroForm window;
  window.show();
  window.showMinimized();
  EXPECT_EQ(window.WMCopyData(1), 1);
  EXPECT_EQ(window.WMCopyData(0), 1);
  EXPECT_TRUE(window.windowState() & Qt::WindowMinimized) << "other codes change nothing";
  EXPECT_EQ(window.ActivationCount(), 0);
  EXPECT_EQ(window.WMCopyData(kCopyDataActivate), 1);
  EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.ActivationCount(), 1);
}

TEST(TessaroForm, StartTimersAreOneShot) {
  TTessaroForm window;
  EXPECT_EQ(TessaroForm(), &window);
  EXPECT_EQ(window.LoaderEndTimer->interval(), 100);
  EXPECT_TRUE(window.LoaderEndTimer->isSingleShot());
  EXPECT_FALSE(window.LoaderEndTimer->isActive()) << "the main block enables it";
  EXPECT_EQ(window.GuiStartTimer->interval(), 50);
  EXPECT_TRUE(window.GuiStartTimer->isSingleShot());
  EXPECT_TRUE(window.GuiStartTimer->isActive());
  window.GuiStartTimerTimer();
  EXPECT_FALSE(window.GuiStartTimer->isActive());
}

// The program's own timer reaching a real loader: ProgramProcess.LoaderStarts...
TEST(Loader, SplashClosesOnTheReadyCodeAndStopsListening) {
  TInstanceDirScope dir;
  EXPECT_EQ(NotifyLoader(), 0) << "no loader: nothing happens";

  TTessaroLoaderForm loader(60000);
  ASSERT_TRUE(loader.Listen());
  loader.Start();
  // The program sends synchronously; the loader answers from its own process, here from
  // this thread's event loop while the send runs beside it.
  EXPECT_EQ(SendBesideEventLoop(kLoaderChannelName, kCopyDataLoaderReady), 1);
  for (int i = 0; i < 100 && !loader.Finished(); ++i)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_TRUE(loader.Finished());
  EXPECT_FALSE(loader.isVisible());
  EXPECT_FALSE(ExistsBesideEventLoop(kLoaderChannelName)) << "a closed splash no longer listens";
  EXPECT_EQ(NotifyLoader(), 0) << "sending again is harmless";
}

TEST(Loader, TimeOutClosesTheSplashAndTheTargetIsBesideTheLoader) {
  TInstanceDirScope dir;
  TTessaroLoaderForm loader(60000);
  loader.Start();
  EXPECT_TRUE(loader.TimeoutTimer().isActive());
  EXPECT_EQ(loader.TimeoutTimer().interval(), 60000);
  EXPECT_FALSE(loader.Finished());
  loader.TimeoutTimer().setInterval(0);
  loader.TimeoutTimer().start();
  for (int i = 0; i < 100 && !loader.Finished(); ++i)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_TRUE(loader.Finished());
  EXPECT_EQ(LoaderTargetProgram("/opt/tessaro/Start"), "/opt/tessaro/Tessaro");
  EXPECT_EQ(LoaderTargetProgram("/opt/my tessaro/Start"), "/opt/my tessaro/Tessaro");
}

// ---------------------------------------------------------------------------------------
// Language

TEST(ProgramLanguage, SystemFileFirstThenTheProgramsOwnName) {
  TTempDir dir;
  const std::string programDir = dir.Dir();
  const std::string programFile = programDir + "Tessaro";
  const std::string block = "// ID=1;\r\nDE=Schl\xFC" "ssel\r\nEN=Key\r\n";
  {
    TScopedMLSystem ml;
    EXPECT_EQ(LoadProgramLanguage(programDir, programFile), "") << "German stays";
    EXPECT_TRUE(ml.System().Entries().empty());
  }
  WriteAllBytes(dir.File("Tessaro.lng"), block);
  {
    TScopedMLSystem ml;
    EXPECT_EQ(LoadProgramLanguage(programDir, programFile), programDir + "Tessaro.lng");
    EXPECT_EQ(ml.System().Entries().size(), 1u);
  }
  std::filesystem::create_directory(dir.Path() / "System");
  WriteAllBytes(dir.File("System/Tessaro.lng"), block + "\r\n// ID=2;\r\nDE=T\xFCr\r\nEN=Door\r\n");
  {
    TScopedMLSystem ml;
    EXPECT_EQ(LoadProgramLanguage(programDir, programFile), programDir + "System/Tessaro.lng");
    EXPECT_EQ(ml.System().Entries().size(), 2u);
  }
  // A program file with an extension: the extension is replaced.
  std::filesystem::remove(dir.Path() / "System" / "Tessaro.lng");
  WriteAllBytes(dir.File("Other.lng"), block);
  {
    TScopedMLSystem ml;
    EXPECT_EQ(LoadProgramLanguage(programDir, programDir + "Other.bin"), programDir + "Other.lng");
  }
}

// The build copies the shipped language file beside the program, where the program looks
// first; the language menu then offers German and English.
TEST(ProgramLanguage, TheBuiltProgramFindsTheShippedFile) {
  const std::string programDir = std::string(TESSARO_PROGRAM_DIR) + "/";
  const std::string shipped = std::string(TESSARO_RESOURCE_DIR) + "/System/Tessaro.lng";
  TScopedMLSystem ml;
  ASSERT_EQ(LoadProgramLanguage(programDir, programDir + "Tessaro"),
            programDir + "System/Tessaro.lng");
  EXPECT_EQ(ReadAllBytes(programDir + "System/Tessaro.lng"), ReadAllBytes(shipped))
      << "the copy beside the program is out of date";
  std::vector<std::string> captions;
  for (const auto& entry : ml.System().LanguageMenuEntries(true)) captions.push_back(entry.caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"Deutsch (German)", "English"}));
}

// ---------------------------------------------------------------------------------------
// "timetravel"

class TimeTravelSwitch : public ::testing::Test {
 protected:
  TMandantState state_;
  TMandantStateScope scope_{state_};
  TScopedRecorder ui_;
};

TEST_F(TimeTravelSwitch, EmptyOrAbsentValueIsNormalMode) {
  for (const char* arg : {"", "timetravel", "timetravel="}) {
    SCOPED_TRACE(arg);
    TArgs args({arg});
    EXPECT_TRUE(ApplyTimeTravelSwitch());
    EXPECT_FALSE(state_.TimeTravelMode);
    EXPECT_FALSE(state_.ReadOnlyMode);
  }
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(TimeTravelSwitch, ValidValueRoundTrips) {
  const double moment = 45123.5678901234;  // 2023-07-15 13:37, UTC
  TArgs args({"window=small", "timetravel=" + DoubleToHex32(moment), "multistart"});
  ASSERT_TRUE(ApplyTimeTravelSwitch());
  EXPECT_TRUE(state_.TimeTravelMode);
  EXPECT_TRUE(state_.ReadOnlyMode);
  EXPECT_EQ(state_.TimeTravelDate, moment) << "bit for bit";
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(TimeTravelSwitch, InvalidValueIsRefusedWithAMessage) {
  const std::string cases[] = {
      "abc",                        // lower case is no base-32 digit here
      "ZZZZ",                       // no digit at all
      "1",                          // a tiny pattern: the data of 1899
      DoubleToHex32(0.0),           // 1899-12-30
      DoubleToHex32(1.5),           // 1899-12-31
      DoubleToHex32(-400.0),        // before 1899
      DoubleToHex32(3.0e6),         // after 9999
      DoubleToHex32(std::nan("")),  //
      DoubleToHex32(INFINITY),      //
      "-" + DoubleToHex32(45000.0),
  };
  for (const auto& value : cases) {
    SCOPED_TRACE(value);
    TArgs args({"timetravel=" + value});
    ui_.Clear();
    EXPECT_FALSE(ApplyTimeTravelSwitch());
    EXPECT_FALSE(state_.TimeTravelMode);
    EXPECT_FALSE(state_.ReadOnlyMode);
    EXPECT_EQ(state_.TimeTravelDate, 0.0);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].kind, TMsgKind::Error);
    EXPECT_NE(ui_.messages[0].text.find("Zeitreise"), std::string::npos);
    EXPECT_NE(ui_.messages[0].text.find(value), std::string::npos);
  }
}

}  // namespace
