// The programs themselves, as separate processes on the offscreen platform: start-up to the
// event loop, a second start, the orderly end on a termination signal, and the loader.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "app/LoginTestSupport.h"
#include "app/StartupTestSupport.h"
#include "app/Unit1.h"
#include "basic/ValueString.h"
#include "basic/widgets/InstanceChannel.h"
#include "data/ItemList.h"
#include "support/RegistryTestRoot.h"

namespace {

// Generous: the sanitizer build starts slowly. Nothing waits this long when all is well.
constexpr int kDeadlineMs = 60000;

QString ProgramFile(const char* name) { return QString(TESSARO_PROGRAM_DIR "/") + name; }

// The environment of this test (its instance folder and registry root) for the programs.
QProcessEnvironment ProgramEnvironment() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  return env;
}

void Start(QProcess& process, const char* program, const QStringList& args) {
  process.setProcessEnvironment(ProgramEnvironment());
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(ProgramFile(program), args);
  ASSERT_TRUE(process.waitForStarted(kDeadlineMs)) << program;
}

// Waits until a window answers on the program's channel (code 0: answered, nothing done).
// False when the process ended before, or the deadline passed.
bool WaitUntilAnswering(QProcess* process) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < kDeadlineMs) {
    if (SendChannelCode(kInstanceChannelName, 0, 1000) == 1) return true;
    if (process && process->state() == QProcess::NotRunning) return false;
    if (process)
      process->waitForFinished(50);
    else
      usleep(50 * 1000);
  }
  return false;
}

// The process that listens on the channel (from the socket's peer credentials); 0 when none.
pid_t ListenerPid(const std::string& channel) {
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(ChannelSocketPath(channel)));
  if (!socket.waitForConnected(kChannelTimeoutMs)) return 0;
  ucred credentials{};
  socklen_t size = sizeof credentials;
  const int fd = static_cast<int>(socket.socketDescriptor());
  const pid_t pid =
      getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 ? credentials.pid : 0;
  socket.abort();
  return pid;
}

// Waits until the process handles SIGTERM itself (from then on the signal ends it in order).
bool WaitUntilCatchingSigterm(QProcess& process) {
  const std::string status = "/proc/" + std::to_string(process.processId()) + "/status";
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < kDeadlineMs && process.state() == QProcess::Running) {
    std::ifstream in(status);
    std::string line;
    while (std::getline(in, line))
      if (line.rfind("SigCgt:", 0) == 0 &&
          (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGTERM - 1))) != 0)
        return true;
    process.waitForFinished(20);
  }
  return false;
}

bool SocketExists(const std::string& channel) {
  return access(ChannelSocketPath(channel).c_str(), F_OK) == 0;
}

std::vector<std::string> CommandLineOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::vector<std::string> args;
  std::string arg;
  while (std::getline(in, arg, '\0')) args.push_back(arg);
  return args;
}

// The programs of this test still running: Tessaro processes whose instance folder is this
// test's (the loader's program is no child of ours).
std::vector<pid_t> OwnPrograms() {
  const std::string program = ProgramFile("Tessaro").toStdString();
  const std::string marker = std::string("TESSARO_INSTANCE_DIR=") + std::getenv("TESSARO_INSTANCE_DIR");
  std::vector<pid_t> pids;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = std::stoi(name);
    const std::vector<std::string> args = CommandLineOf(pid);
    if (args.empty() || args[0] != program) continue;
    std::ifstream in(entry.path() / "environ", std::ios::binary);
    std::string variable;
    while (std::getline(in, variable, '\0'))
      if (variable == marker) pids.push_back(pid);
  }
  return pids;
}

// Waits until exactly these programs of the test run.
bool WaitForOwnPrograms(const std::vector<pid_t>& expected) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < kDeadlineMs) {
    if (OwnPrograms() == expected) return true;
    usleep(20 * 1000);
  }
  return false;
}

class ProgramProcess : public ::testing::Test {
 protected:
  // A program left over by a failed test must not outlive it.
  ~ProgramProcess() override {
    for (pid_t pid : OwnPrograms()) kill(pid, SIGTERM);
  }

  TInstanceDirScope instanceDir_;
  TRegistryTestRoot registry_;
  TTempDir data_;
};

TEST_F(ProgramProcess, StartsAnswersASecondStartAndEndsCleanly) {
  const QString dataArg = QString::fromStdString("datapath=" + data_.Dir());
  QProcess first;
  Start(first, "Tessaro", {dataArg});
  ASSERT_TRUE(WaitUntilAnswering(&first)) << "the first instance reaches its event loop";
  EXPECT_EQ(ListenerPid(kInstanceChannelName), first.processId());

  // A second start brings the first window to the front and ends at once, without a marker.
  QProcess second;
  Start(second, "Tessaro", {dataArg});
  ASSERT_TRUE(second.waitForFinished(kDeadlineMs));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);
  EXPECT_EQ(ListenerPid(kInstanceChannelName), first.processId());

  // A multistart instance runs beside it and, at its end, leaves the first one's marker.
  QProcess beside;
  Start(beside, "Tessaro", {dataArg, "multistart"});
  ASSERT_TRUE(WaitUntilCatchingSigterm(beside)) << "it runs";
  EXPECT_EQ(ListenerPid(kInstanceChannelName), first.processId());
  beside.terminate();
  ASSERT_TRUE(beside.waitForFinished(kDeadlineMs));
  EXPECT_EQ(beside.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(beside.exitCode(), 0);
  EXPECT_EQ(ListenerPid(kInstanceChannelName), first.processId());
  EXPECT_EQ(SendChannelCode(kInstanceChannelName, kCopyDataActivate), 1);

  // A termination signal ends the first one through its orderly shutdown.
  first.terminate();
  ASSERT_TRUE(first.waitForFinished(kDeadlineMs));
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0) << "a sanitizer report would change the exit code";
  EXPECT_FALSE(SocketExists(kInstanceChannelName)) << "the marker goes with its instance";
}

// Sets the display of this test process (the one the channel's name carries) for one scope.
class TDisplayScope {
 public:
  explicit TDisplayScope(const char* display) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
      if (const char* old = std::getenv(name)) old_.emplace_back(name, old);
    unsetenv("WAYLAND_DISPLAY");
    setenv("DISPLAY", display, 1);
  }
  ~TDisplayScope() {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    for (const auto& [name, value] : old_) setenv(name.c_str(), value.c_str(), 1);
  }
  TDisplayScope(const TDisplayScope&) = delete;
  TDisplayScope& operator=(const TDisplayScope&) = delete;

 private:
  std::vector<std::pair<std::string, std::string>> old_;
};

// Starts the program as on the desktop of `display` (the platform stays offscreen).
void StartOnDisplay(QProcess& process, const char* display, const QStringList& args) {
  QProcessEnvironment env = ProgramEnvironment();
  env.remove("WAYLAND_DISPLAY");
  env.insert("DISPLAY", display);
  process.setProcessEnvironment(env);
  process.start(ProgramFile("Tessaro"), args);
  ASSERT_TRUE(process.waitForStarted(kDeadlineMs));
}

// The same user on two desktops: each display has its program, and a start on a display
// whose program runs hands over to that one and says so.
TEST_F(ProgramProcess, OneProgramPerDisplayAndAHandOverSaysSo) {
  const QString dataArg = QString::fromStdString("datapath=" + data_.Dir());
  QProcess first, other, again;
  {
    TDisplayScope display(":71");
    StartOnDisplay(first, ":71", {dataArg});
    ASSERT_TRUE(WaitUntilAnswering(&first));
    EXPECT_EQ(ListenerPid(kInstanceChannelName), first.processId());
  }
  {
    TDisplayScope display(":72");
    StartOnDisplay(other, ":72", {dataArg});
    ASSERT_TRUE(WaitUntilAnswering(&other)) << "a program of its own on the second desktop";
    EXPECT_EQ(ListenerPid(kInstanceChannelName), other.processId());
  }
  {
    TDisplayScope display(":71");
    StartOnDisplay(again, ":71", {dataArg});
    ASSERT_TRUE(again.waitForFinished(kDeadlineMs));
    EXPECT_EQ(again.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(again.exitCode(), 0);
    const QString said = QString::fromUtf8(again.readAllStandardError());
    EXPECT_TRUE(said.contains(QString::fromUtf8("Tessaro läuft bereits auf dieser Anzeige (:71)")))
        << said.toStdString();
    EXPECT_EQ(ListenerPid(kInstanceChannelName), first.processId());
  }
  EXPECT_EQ(other.state(), QProcess::Running);
  for (QProcess* p : {&first, &other}) {
    p->terminate();
    ASSERT_TRUE(p->waitForFinished(kDeadlineMs));
    EXPECT_EQ(p->exitCode(), 0);
  }
}

// The first termination signal asks for the orderly end; a second one, before the program
// got round to it (it may hang), ends it at once.
TEST_F(ProgramProcess, ASecondTerminationSignalEndsTheProgramAtOnce) {
  QProcess program;
  Start(program, "Tessaro", {QString::fromStdString("datapath=" + data_.Dir())});
  ASSERT_TRUE(WaitUntilAnswering(&program));
  ASSERT_TRUE(WaitUntilCatchingSigterm(program));
  const pid_t pid = static_cast<pid_t>(program.processId());
  // Stopped, the program cannot serve its first signal before the second arrives: both are
  // delivered on the way back from the stop, as to a program that hangs.
  ASSERT_EQ(kill(pid, SIGSTOP), 0);
  ASSERT_EQ(kill(pid, SIGINT), 0);
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  ASSERT_EQ(kill(pid, SIGCONT), 0);
  ASSERT_TRUE(program.waitForFinished(kDeadlineMs));
  EXPECT_EQ(program.exitStatus(), QProcess::CrashExit) << "ended by the signal itself";
}

TEST_F(ProgramProcess, LoaderStartsTheProgramWithItsArgumentsAndClosesOnItsSignal) {
  const std::string dataArg = "datapath=" + data_.Dir() + "my data/";
  QProcess loader;
  Start(loader, "Start", {"multistart", QString::fromStdString(dataArg)});
  ASSERT_TRUE(loader.waitForFinished(kDeadlineMs));
  EXPECT_EQ(loader.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(loader.exitCode(), 0) << "closed by the program's signal, not by its time-out";

  ASSERT_TRUE(WaitUntilAnswering(nullptr));
  const pid_t program = ListenerPid(kInstanceChannelName);
  ASSERT_GT(program, 0);
  EXPECT_EQ(OwnPrograms(), std::vector<pid_t>{program});
  const std::vector<std::string> args = CommandLineOf(program);
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[0], ProgramFile("Tessaro").toStdString());
  EXPECT_EQ(args[1], "multistart");
  EXPECT_EQ(args[2], dataArg) << "one argument, blank and all";

  ASSERT_EQ(kill(program, SIGTERM), 0);
  QElapsedTimer clock;
  clock.start();
  while (SocketExists(kInstanceChannelName) && clock.elapsed() < kDeadlineMs) usleep(20 * 1000);
  EXPECT_FALSE(SocketExists(kInstanceChannelName));
}

TEST_F(ProgramProcess, LoaderOfASecondStartClosesToo) {
  QProcess first;
  Start(first, "Tessaro", {});
  ASSERT_TRUE(WaitUntilAnswering(&first));

  QProcess loader;
  Start(loader, "Start", {});
  ASSERT_TRUE(loader.waitForFinished(kDeadlineMs));
  EXPECT_EQ(loader.exitCode(), 0) << "the second start signalled before it ended";
  EXPECT_EQ(ListenerPid(kInstanceChannelName), first.processId());
  EXPECT_TRUE(WaitForOwnPrograms({static_cast<pid_t>(first.processId())}))
      << "the second start ended";

  first.terminate();
  ASSERT_TRUE(first.waitForFinished(kDeadlineMs));
  EXPECT_EQ(first.exitCode(), 0);
}

}  // namespace

// The program is never built without what it shows beside it: a start from the build
// folder has its help pages, window icons and glyphs, language file, Qt's German texts and
// receipt templates.
TEST(ProgramFolder, HoldsWhatTheProgramShows) {
  for (const char* file : {"Help/de/index.html", "Help/de/firstrun/index.html", "Icons/Tessaro.png",
                           "Icons/MainImages.png", "System/Tessaro.lng", "System/qtbase_de.qm",
                           "System/Fields.csv", "Formulare/Formular1 Ausgabe.rtf"})
    EXPECT_TRUE(std::filesystem::is_regular_file(ProgramFile(file).toStdString())) << file;
}

// The unattended start: logged in by "autoLogin", the profile of "autoImport" imported, the
// outcome in the success or error log, and the program ends by itself.
class UnattendedImport : public ProgramProcess {
 protected:
  // Runs the program to its end; false when it did not end by itself.
  bool RunToEnd(const std::string& autoLogin) {
    {
      std::ofstream(data_.File("staff.csv"), std::ios::binary)
          << "Name;Abt\nMuster, Anna;Einkauf\nBerg, Udo;Lager\n";
      std::ofstream(data_.File("staff.ipo"), std::ios::binary)
          << "DataFileName=staff.csv\r\nContainsColumnHeader=1\r\nDateFormat=DD.MM.YYYY\r\n"
             "PrimaryContentClass=5\r\nKeySystemID=0\r\nBuildingID=0\r\nFields=166;169;\r\n";
    }
    QProcess program;
    Start(program, "Tessaro",
          {QString::fromStdString("datapath=" + data_.Dir()), "multistart",
           QString::fromStdString("autoLogin=" + autoLogin),
           QString::fromStdString("autoImport=" + data_.File("staff.ipo")),
           QString::fromStdString("ErrorLogFile=" + data_.File("errors.log")),
           QString::fromStdString("SuccessLogFile=" + data_.File("ok.log"))});
    if (!program.waitForFinished(kDeadlineMs)) return false;
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    return true;
  }
  std::string Log(const char* name) {
    std::ifstream in(data_.File(name), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string Persons() {
    TStoreMaker store(data_.Dir());
    TItemList ids;
    store.db.ListClassValid(icPerson, ids);
    std::string names;
    for (int32_t i = 0; i < ids.Count(); ++i)
      names += store.db.ReadLineField(ids.Get(i), fkName) + "|";
    return names;
  }
  int32_t user_ = 0;
  void SetUp() override {
    TStoreMaker maker(data_.Dir());
    user_ = maker.User("Alice", "GEHEIM");
  }
};

TEST_F(UnattendedImport, ImportsTheProfileLogsSuccessAndEnds) {
  ASSERT_TRUE(RunToEnd(std::to_string(user_) + ";" + EncodeNumberedStr(user_, "GEHEIM", false)))
      << "the program ends by itself";
  EXPECT_NE(Log("ok.log").find("Import successful"), std::string::npos) << Log("errors.log");
  EXPECT_EQ(Log("errors.log").find("Import failed"), std::string::npos) << Log("errors.log");
  EXPECT_EQ(Persons(), "Muster, Anna|Berg, Udo|");
}

TEST_F(UnattendedImport, AFailedLoginImportsNothingAndEnds) {
  ASSERT_TRUE(RunToEnd(std::to_string(user_) + ";" + EncodeNumberedStr(user_, "FALSCH", false)))
      << "the program ends by itself";
  EXPECT_NE(Log("errors.log").find("Login failed"), std::string::npos);
  EXPECT_EQ(Log("ok.log").find("Import successful"), std::string::npos);
  EXPECT_EQ(Persons(), "");
}
