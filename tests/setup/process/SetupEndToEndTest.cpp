// The built installer in processes of its own: the package as CMake builds it, and the
// driver build packed the same way with the real Tessaro, installed into a temporary home,
// the installed program started and ended, the driven uninstaller run.
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "basic/FileCtrl2.h"
#include "basic/widgets/InstanceChannel.h"
#include "platform/RegistryStore.h"
#include "setup/NTSecurity.h"
#include "setup/SetupFormUnit.h"
#include "setup/SetupTestSupport.h"
#include "setup/SetupUninstallUnit.h"

#if !defined(TESSARO_SETUP_PACKAGE) || !defined(TESSARO_SETUP_AUTOMATED_PACKAGE) || \
    !defined(TESSARO_SETUP_IMAGE)
#error "the packages and the image are named by the build"
#endif

namespace {

// The whole file (big programs among them) in one read.
std::string Bytes(const std::string& file) {
  std::string bytes;
  ReadFileToString(file, bytes);
  return bytes;
}

// Generous: the sanitizer build starts slowly. Nothing waits this long when all is well.
constexpr int kDeadlineMs = 90000;

const std::string kBin = std::filesystem::path(TESSARO_SETUP_IMAGE).parent_path().string() + "/";

struct TRun {
  int exitCode = -1;
  std::string out;
};

class SetupProcess : public ::testing::Test {
 protected:
  SetupProcess() : instance_("TESSARO_INSTANCE_DIR", instanceDir_.Path().c_str()) {}
  ~SetupProcess() override {
    // A program left over by a failed test must not outlive it.
    if (const pid_t pid = ListenerPid()) kill(pid, SIGTERM);
  }

  // `uid`: run as that user (and its group of the same number) when not 0; the test is root.
  TRun Run(const std::string& program, const QStringList& args,
           const std::vector<std::pair<QString, QString>>& extra = {}, uid_t uid = 0) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
      env.remove(name);
    env.insert("HOME", QString::fromStdString(home_.Path().string()));
    env.insert("TESSARO_REGISTRY_ROOT", QString::fromStdString(registry_.Path().string()));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    for (const auto& [name, value] : extra) env.insert(name, value);
    QProcess process;
    process.setProcessEnvironment(env);
    if (uid != 0)
      process.setChildProcessModifier([uid] {
        if (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0) _exit(126);
      });
    // Into a file, not a pipe: the program the installer starts inherits the output and
    // writes on after the installer has ended.
    const std::string output = output_.Dir() + "out" + std::to_string(++runs_);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(QString::fromStdString(output));
    process.start(QString::fromStdString(program), args);
    TRun run;
    if (!process.waitForStarted(kDeadlineMs)) return run;
    const bool finished = process.waitForFinished(kDeadlineMs);
    if (!finished) process.kill();
    run.out = ReadAllBytes(output);
    run.exitCode = finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
  }

  // The process listening on the program's channel (from the socket's peer); 0 when none.
  // `socketPath` empty: the channel of this process's user.
  static pid_t ListenerPid(const std::string& socketPath = "") {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(
        socketPath.empty() ? ChannelSocketPath(kInstanceChannelName) : socketPath));
    if (!socket.waitForConnected(kChannelTimeoutMs)) return 0;
    ucred credentials{};
    socklen_t size = sizeof credentials;
    const int fd = static_cast<int>(socket.socketDescriptor());
    const pid_t pid =
        getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 ? credentials.pid : 0;
    socket.abort();
    return pid;
  }

  static bool WaitUntil(const std::function<bool()>& condition) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kDeadlineMs) {
      if (condition()) return true;
      usleep(50 * 1000);
    }
    return false;
  }

  std::string Home() const { return home_.Dir(); }
  std::string Pgm() const { return Home() + ".local/opt/Tessaro/"; }
  std::string RegistryRoot() const { return registry_.Dir(); }

  // Everything below the home but caches of the toolkits.
  std::vector<std::string> HomeTree() const {
    std::vector<std::string> tree;
    for (const std::string& p : TreeOf(Home()))
      if (p.rfind(".cache/", 0) != 0) tree.push_back(p);
    return tree;
  }

  // A folder of its own for the pictures of one run, below TESSARO_AUTOMATION_SHOTS.
  static std::pair<QString, QString> Shots(const std::string& run) {
    const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS");
    if (!shots || !*shots) return {"TESSARO_AUTOMATION_SHOTS", ""};
    const std::string folder = std::string(shots) + "/" + run;
    std::filesystem::create_directories(folder);
    return {"TESSARO_AUTOMATION_SHOTS", QString::fromStdString(folder)};
  }

  TTempDir instanceDir_;
  TEnvScope instance_;
  TTempDir output_;
  int runs_ = 0;
  TTempDir home_;
  TTempDir registry_;
};

TEST_F(SetupProcess, TheBuiltSetupHoldsNoMarkerAndThePackageReadsBack) {
  const std::string image = Bytes(TESSARO_SETUP_IMAGE);
  ASSERT_FALSE(image.empty());
  for (const char* name : {kSectionBeginningMark, kSectionLanguage, kSectionCommands, kSectionFiles,
                           kSectionUninstall, kSectionCheck}) {
    size_t length = 0;
    EXPECT_EQ(FindSectionMark(name, image, length), 0u) << name;
  }
  const std::string package = Bytes(TESSARO_SETUP_PACKAGE);
  const TSectionFile file = ParseSectionFile(package);
  ASSERT_EQ(file.status, TSectionsStatus::Sound) << file.error;
  EXPECT_EQ(package.substr(0, file.imageSize), image);
  std::vector<std::string> names;
  for (const TSectionEntry& e : file.sections) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{kSectionBeginningMark, kSectionLanguage,
                                             kSectionCommands, kSectionFiles, kSectionCheck}));
  std::string compressed, commands;
  ASSERT_TRUE(SectionData(package, file, kSectionCommands, compressed));
  ASSERT_TRUE(DecompressBytes(compressed, 1 << 20, commands));
  const std::string tessaro = Bytes(kBin + "Tessaro");
  EXPECT_NE(commands.find("action=save,Filename=*PgmPath*Tessaro,Mode=755,OrigLen=" +
                          std::to_string(tessaro.size()) + "\r\n"),
            std::string::npos)
      << commands;
  EXPECT_NE(commands.find("Filename=*PgmPath*Help/de/index.html"), std::string::npos);
  EXPECT_EQ(commands.find("Source="), std::string::npos);
  EXPECT_EQ(commands.find("TessaroAutomated"), std::string::npos);
}

TEST_F(SetupProcess, InstallStartAndUninstall) {
  const TRun install = Run(TESSARO_SETUP_AUTOMATED_PACKAGE, {},
                           {{"TESSARO_SETUP_LANGUAGE", "EN"}, {"TESSARO_SETUP_PERSONS", "2"}, Shots("install")});
  ASSERT_EQ(install.exitCode, 0) << install.out;
  for (const char* line : {"panel LngPanel\n", "language EN\n", "panel AskPanel\n",
                           "proposed ", "panel ProgressPanel\n", "dialog persons: Besitzer\n",
                           "The installation was successful.|The program is started now.\n",
                           "undriven dialogs 0\n"})
    EXPECT_NE(install.out.find(line), std::string::npos) << line << "\n" << install.out;
  EXPECT_NE(install.out.find("proposed " + Pgm() + "\n"), std::string::npos) << install.out;

  // The files, byte for byte, and their modes.
  EXPECT_EQ(Bytes(Pgm() + "Tessaro"), Bytes(kBin + "Tessaro"));
  EXPECT_EQ(Bytes(Pgm() + "Start"), Bytes(kBin + "Start"));
  EXPECT_EQ(Bytes(Pgm() + "Help/de/index.html"), Bytes(kBin + "Help/de/index.html"));
  EXPECT_EQ(ModeOf(Pgm() + "Tessaro"), 0755u);
  EXPECT_EQ(ModeOf(Pgm() + "uninstall"), 0755u);
  EXPECT_EQ(ModeOf(Pgm() + "Help/de/index.html"), 0644u);
  EXPECT_EQ(ModeOf(Pgm() + "Help/de"), 0777u) << "every user of the machine may work there";
  EXPECT_EQ(Bytes(Pgm() + ".directory"), "[Desktop Entry]\nIcon=" + Pgm() + "Icons/Tessaro.png\n");
  // The receipt templates it installed are named relative to the program folder.
  EXPECT_EQ(Bytes(Pgm() + "Formulare/Formular3 Verlust, Vernichtung.rtf"),
            Bytes(kBin + "Formulare/Formular3 Verlust, Vernichtung.rtf"));
  EXPECT_EQ(Bytes(Pgm() + "Tessaro.ini"),
            "Lng=EN\r\nFormTemplate1=Formulare/Formular1 Ausgabe.rtf\r\n"
            "FormTemplate2=Formulare/Formular2 Rueckgabe.rtf\r\n"
            "FormTemplate3=Formulare/Formular3 Verlust, Vernichtung.rtf\r\n"
            "FormTemplate5=Formulare/Formular5 Zylinder Verlust, Vernichtung.rtf\r\n"
            "PersonsTerm=Besitzer\r\n");
  const std::string menu = Home() + ".local/share/applications/";
  EXPECT_NE(Bytes(menu + "Tessaro.desktop").find("\nExec=\"" + Pgm() + "Start\"\n"),
            std::string::npos);
  EXPECT_NE(Bytes(menu + "Tessaro.desktop").find("\nIcon=" + Pgm() + "Icons/Tessaro.png\n"),
            std::string::npos);
  EXPECT_EQ(ModeOf(Home() + "Desktop/Tessaro.desktop"), 0755u);
  const std::string uninstallEntry = Bytes(menu + "Tessaro-uninstall.desktop");
  EXPECT_NE(uninstallEntry.find("\nName=Remove Tessaro\n"), std::string::npos) << uninstallEntry;

  // The registry: the program's key and the uninstall entry.
  TEnvScope root("TESSARO_REGISTRY_ROOT", RegistryRoot().c_str());
  TRegistryStore store;
  TRegValue value;
  ASSERT_TRUE(store.ReadValue(TRegScope::User, "\\Software\\Merivan\\Tessaro", "DataPath", value));
  EXPECT_EQ(value.data, Pgm() + "DemoData/");
  const std::vector<std::string> entries = store.ListSubkeys(TRegScope::User, kUninstallRegistryKey);
  ASSERT_EQ(entries.size(), 1u);
  ASSERT_TRUE(store.ReadValue(TRegScope::User, std::string(kUninstallRegistryKey) + "\\" + entries[0],
                              "UninstallString", value));
  EXPECT_EQ(value.data, Pgm() + "uninstall /uninst \"UninstallKey=" + entries[0] + "\"");

  // The installed program runs to its login and answers on its channel.
  ASSERT_TRUE(WaitUntil([] { return SendChannelCode(kInstanceChannelName, 0, 1000) == 1; }));
  const pid_t program = ListenerPid();
  ASSERT_GT(program, 0);
  {
    std::ifstream in("/proc/" + std::to_string(program) + "/cmdline", std::ios::binary);
    std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(cmdline, Pgm() + "Tessaro" + std::string(1, '\0') + "aftersetup" + std::string(1, '\0'));
  }
  ASSERT_TRUE(store.ReadValue(TRegScope::User, "\\Software\\Merivan\\Tessaro", "Exec", value));
  EXPECT_EQ(value.data, Pgm() + "Tessaro");
  ASSERT_EQ(kill(program, SIGTERM), 0);
  ASSERT_TRUE(WaitUntil([] { return !Exists(ChannelSocketPath(kInstanceChannelName)); }))
      << "ends in order on a termination signal";
  ASSERT_TRUE(WaitUntil([program] {
    std::ifstream stat("/proc/" + std::to_string(program) + "/stat");
    std::string line;
    return !std::getline(stat, line) || line.find(") Z ") != std::string::npos;
  }));
  const std::vector<std::string> data = TreeOf(Pgm() + "DemoData");
  EXPECT_NE(std::find_if(data.begin(), data.end(),
                         [](const std::string& p) { return p.size() > 4 && p.substr(p.size() - 4) == ".ada"; }),
            data.end())
      << "the program keeps its records in the data folder";

  // The uninstaller, started as its menu entry starts it.
  const TRun uninstall = Run(Pgm() + "uninstall", {"/uninst", QString::fromStdString("UninstallKey=" + entries[0])},
                             {Shots("uninstall")});
  ASSERT_EQ(uninstall.exitCode, 0) << uninstall.out;
  EXPECT_NE(uninstall.out.find("panel UninstAskPanel\n"), std::string::npos) << uninstall.out;
  EXPECT_NE(uninstall.out.find("undriven dialogs 0\n"), std::string::npos) << uninstall.out;
  std::vector<std::string> left = {".local/", ".local/opt/", ".local/opt/Tessaro/",
                                   ".local/opt/Tessaro/DemoData/"};
  for (const std::string& p : data) left.push_back(".local/opt/Tessaro/DemoData/" + p);
  EXPECT_EQ(HomeTree(), left);
  EXPECT_EQ(TreeOf(RegistryRoot()),
            (std::vector<std::string>{"user/", "user/Software/", "user/Software/Merivan/",
                                      "user/Software/Merivan/Tessaro/",
                                      "user/Software/Merivan/Tessaro/values.reg"}));
}

// A shared installation: one user installs (in Hungarian) into a folder outside his home,
// another works with the data the first one's program made; an older setup then asks
// whether to replace the newer program.
TEST_F(SetupProcess, InstalledByOneUserTheDataServesAnother) {
  if (geteuid() != 0)
    GTEST_SKIP() << "not root: installing as one user and working as another needs root";
  constexpr uid_t kInstaller = 47101, kOther = 47102;
  TTempDir shared;
  ASSERT_EQ(chmod(shared.Dir().c_str(), 0777), 0);
  ASSERT_EQ(chmod(instanceDir_.Dir().c_str(), 0777), 0);
  auto homeOf = [&shared](uid_t uid) {
    const std::string home = shared.Dir() + "home" + std::to_string(uid) + "/";
    std::filesystem::create_directories(home);
    EXPECT_EQ(chown(home.c_str(), uid, uid), 0);
    EXPECT_EQ(chmod(home.c_str(), 0700), 0);
    return home;
  };
  const std::string installerHome = homeOf(kInstaller), otherHome = homeOf(kOther);
  auto as = [](const std::string& home) {
    return std::vector<std::pair<QString, QString>>{
        {"HOME", QString::fromStdString(home)},
        {"TESSARO_REGISTRY_ROOT", QString::fromStdString(home + "registry")},
        {"XDG_RUNTIME_DIR", ""}};
  };
  const std::string pgm = shared.Dir() + "opt/Tessaro/";
  std::vector<std::pair<QString, QString>> env = as(installerHome);
  env.insert(env.end(), {{"TESSARO_SETUP_LANGUAGE", "HU"},
                         {"TESSARO_SETUP_PERSONS", "1"},
                         {"TESSARO_SETUP_TARGET", QString::fromStdString(pgm)},
                         Shots("shared")});
  // Started from a folder every user can reach, as a downloaded setup would be.
  const std::string package = Bytes(TESSARO_SETUP_AUTOMATED_PACKAGE);
  WriteAllBytes(shared.Dir() + "Setup", package);
  ASSERT_EQ(chmod((shared.Dir() + "Setup").c_str(), 0755), 0);
  const TRun install = Run(shared.Dir() + "Setup", {}, env, kInstaller);
  ASSERT_EQ(install.exitCode, 0) << install.out;
  for (const char* line : {"language HU\n", "Nem rendszergazdak\xC3\xA9nt jelentkezett be.",
                           "dialog persons: Mieter\n",
                           "A telep\xC3\xADt\xC3\xA9s sikeres volt.|A program most elindul.\n",
                           "undriven dialogs 0\n"})
    EXPECT_NE(install.out.find(line), std::string::npos) << line << "\n" << install.out;
  EXPECT_EQ(Bytes(pgm + "Tessaro.ini").find("Lng=HU\r\n"), 0u);

  // The installed program runs for the installing user and makes its data. Its channel is
  // that user's: the socket's name carries his number.
  const std::string channel = ChannelSocketPath(kInstanceChannelName);
  const std::string socket =
      channel.substr(0, channel.rfind('-') + 1) + std::to_string(kInstaller);
  struct TEndsWithTheTest {
    std::string socket;
    ~TEndsWithTheTest() {
      if (const pid_t pid = ListenerPid(socket)) kill(pid, SIGTERM);
    }
  } endsWithTheTest{socket};
  ASSERT_TRUE(WaitUntil([&socket] { return ListenerPid(socket) > 0; })) << install.out;
  const pid_t program = ListenerPid(socket);
  ASSERT_GT(program, 0);
  const std::string data = pgm + "DemoData/";
  ASSERT_TRUE(WaitUntil([&data] {
    for (const std::string& p : TreeOf(data))
      if (p.size() > 4 && p.substr(p.size() - 4) == ".ada") return true;
    return false;
  }));
  ASSERT_EQ(kill(program, SIGTERM), 0);
  ASSERT_TRUE(WaitUntil([&socket] { return ListenerPid(socket) == 0; }));

  // Every folder the installer created, and those the program made inside later, serve all.
  for (const std::string& folder : {shared.Dir() + "opt/", pgm, pgm + "Help/de/", data}) {
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0) << folder;
    EXPECT_EQ(st.st_mode & 07777, 0777u) << folder;
    EXPECT_EQ(st.st_uid, kInstaller) << folder;
    EXPECT_EQ(DefaultAccessListText(folder), "u::rwx,g::rwx,o::rwx") << folder;
  }
  std::vector<std::string> made;
  for (const std::string& p : TreeOf(data)) {
    struct stat st {};
    if (p.back() != '/' && stat((data + p).c_str(), &st) == 0 && st.st_uid == kInstaller)
      made.push_back(p);
  }
  ASSERT_GE(made.size(), 2u) << "the program made its files as the installing user";

  // The other user changes, creates and deletes there, in what the first one made too.
  const std::string changed = data + made[0], deleted = data + made[1];
  const std::string before = Bytes(changed);
  const std::string script = "set -e; cd '" + data + "'; printf 'more' >> '" + changed + "'; rm '" +
                             deleted + "'; printf 'new' > by-other.txt; mkdir by-other; " +
                             "printf 'x' > by-other/file; rm by-other/file; rmdir by-other";
  const TRun other = Run("/bin/sh", {"-c", QString::fromStdString(script)}, as(otherHome), kOther);
  EXPECT_EQ(other.exitCode, 0) << other.out;
  EXPECT_EQ(Bytes(changed), before + "more");
  EXPECT_FALSE(Exists(deleted));
  EXPECT_EQ(Bytes(data + "by-other.txt"), "new");

  // An older setup, run by the installing user once more, asks before it replaces the newer
  // program that registered itself; "No" leaves everything as it is.
  const TSectionFile file = ParseSectionFile(package);
  ASSERT_EQ(file.status, TSectionsStatus::Sound) << file.error;
  std::string language, compressed, commands, files;
  ASSERT_TRUE(SectionData(package, file, kSectionLanguage, language));
  ASSERT_TRUE(SectionData(package, file, kSectionCommands, compressed));
  ASSERT_TRUE(SectionData(package, file, kSectionFiles, files));
  ASSERT_TRUE(DecompressBytes(compressed, 1 << 20, commands));
  const size_t version = commands.find("Version=2008-04,");
  ASSERT_NE(version, std::string::npos) << "the program's scheme: " << commands.substr(0, 200);
  commands.replace(version, 15, "Version=2007-11");
  const std::string older = shared.Dir() + "older-setup";
  WriteAllBytes(older, package.substr(0, file.imageSize) +
                           BuildSectionArea({{kSectionLanguage, language},
                                             {kSectionCommands, CompressBytes(commands)},
                                             {kSectionFiles, files}}));
  ASSERT_EQ(chmod(older.c_str(), 0755), 0);
  const std::vector<std::string> tree = TreeOf(pgm);
  env = as(installerHome);
  env.insert(env.end(), {{"TESSARO_SETUP_LANGUAGE", "HU"}, {"TESSARO_SETUP_ANSWER", "Nem"}});
  const TRun asked = Run(older, {}, env, kInstaller);
  EXPECT_EQ(asked.exitCode, 0) << asked.out;
  EXPECT_NE(asked.out.find("M\xC3\xA1r egy \xC3\xBAjabb verzi\xC3\xB3 van telep\xC3\xADtve.|"),
            std::string::npos)
      << asked.out;
  EXPECT_NE(asked.out.find("answer Nem\n"), std::string::npos) << asked.out;
  EXPECT_EQ(asked.out.find("panel ProgressPanel"), std::string::npos) << asked.out;
  EXPECT_EQ(TreeOf(pgm), tree);
}

TEST_F(SetupProcess, ADamagedSetupWritesNothing) {
  std::string bytes = Bytes(TESSARO_SETUP_AUTOMATED_PACKAGE);
  ASSERT_FALSE(bytes.empty());
  bytes[bytes.size() - 1000] ^= 0x20;  // inside the files' data
  TTempDir tools;
  const std::string damaged = tools.Dir() + "Setup";
  WriteAllBytes(damaged, bytes);
  ASSERT_EQ(chmod(damaged.c_str(), 0755), 0);
  const TRun run = Run(damaged, {}, {Shots("damaged")});
  EXPECT_EQ(run.exitCode, 1) << run.out;
  EXPECT_NE(run.out.find("setup information damaged"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("panel "), std::string::npos) << run.out;
  EXPECT_EQ(HomeTree(), std::vector<std::string>{});
  EXPECT_EQ(TreeOf(RegistryRoot()), std::vector<std::string>{});
}

TEST_F(SetupProcess, ASecondSetupEndsAtOnce) {
  TSetupInstanceLock running;
  ASSERT_TRUE(running.Acquire());
  const TRun run = Run(TESSARO_SETUP_AUTOMATED_PACKAGE, {}, {Shots("second")});
  EXPECT_EQ(run.exitCode, 1) << run.out;
  EXPECT_NE(run.out.find("Doppelstart: Es wurde ein anderes laufendes Setup gefunden."),
            std::string::npos)
      << run.out;
  EXPECT_EQ(HomeTree(), std::vector<std::string>{});
}

}  // namespace
