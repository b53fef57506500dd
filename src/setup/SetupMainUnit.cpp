#include "setup/SetupMainUnit.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "platform/OsText.h"
#include "platform/PlatformFiles.h"
#include "platform/RegistryStore.h"
#include "setup/NTSecurity.h"
#include "setup/SelfLoadSectionsUnit.h"
#include "setup/SetupLanguageUnit.h"
#include "setup/SetupUninstallUnit.h"

namespace {

// A command list larger than this is no command list.
constexpr size_t kMaxCommandListSize = 16u << 20;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? OsToAnsi(value) : std::string();
}

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

std::string HomeFolder() {
  const std::string home = Env("HOME");
  return home.size() > 1 && home[0] == '/' ? WithSlash(home) : std::string();
}

// An XDG base folder: the variable when it holds an absolute path, else home + fallback.
std::string XdgFolder(const char* variable, const char* fallback) {
  const std::string value = Env(variable);
  if (value.size() > 1 && value[0] == '/') return WithSlash(value);
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + fallback;
}

bool PathExists(const std::string& path) {
  TPfInfo info;
  return PfLstat(path, info) == 0 && info.kind != TPfKind::Missing;
}

bool IsFolderPath(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::Folder;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

bool ReplaceFirst(std::string& text, const std::string& pattern, const std::string& with) {
  const size_t pos = text.find(pattern);
  if (pos == std::string::npos) return false;
  text.replace(pos, pattern.size(), with);
  return true;
}

// The first "*Name*" (letters only) left in a path; empty when none.
std::string RemainingPlaceholder(const std::string& path) {
  for (size_t start = path.find('*'); start != std::string::npos;
       start = path.find('*', start + 1)) {
    size_t end = start + 1;
    while (end < path.size() && std::isalpha(static_cast<unsigned char>(path[end]))) ++end;
    if (end < path.size() && path[end] == '*' && end > start + 1)
      return path.substr(start, end - start + 1);
  }
  return std::string();
}

// The value of a key in user-dirs.dirs: XDG_DESKTOP_DIR="$HOME/Desktop".
std::string UserDirsValue(const std::string& key) {
  std::vector<std::string> lines;
  const std::string config = XdgFolder("XDG_CONFIG_HOME", ".config/");
  if (config.empty() || LoadTextFile(config + "user-dirs.dirs", lines) != ltfRead) return "";
  for (const std::string& raw : lines) {
    const std::string line = Trim(raw);
    if (line.rfind(key + "=", 0) != 0) continue;
    std::string value = line.substr(key.size() + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) {
      const std::string home = HomeFolder();
      if (home.empty()) return "";
      value = home + CutLeft(value, 5);
    }
    return value.size() > 1 && value[0] == '/' ? WithSlash(value) : std::string();
  }
  return "";
}

bool IsFilePath(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::File;
}

// Below the data folder (the installed one).
bool InsideDataFolder(const std::string& path) {
  const std::string& data = SetupState().dataPath;
  return !data.empty() && path.size() > data.size() && path.compare(0, data.size(), data) == 0;
}

bool ParsePositive(const std::string& text, int64_t& value) {
  return TryStrToInt64(text, value) && value > 0;
}

// "755" -> 0755; false for anything but 1 to 4 octal digits.
bool ParseOctalMode(const std::string& text, unsigned& mode) {
  if (text.empty() || text.size() > 4) return false;
  mode = 0;
  for (char c : text) {
    if (c < '0' || c > '7') return false;
    mode = mode * 8 + static_cast<unsigned>(c - '0');
  }
  return true;
}

// Takes `count` bytes from the front of the remaining file data.
bool TakeFileData(size_t count, std::string& bytes) {
  TSetupState& s = SetupState();
  if (s.fileData.size() - s.fileDataPos < count) return false;
  bytes = s.fileData.substr(s.fileDataPos, count);
  s.fileDataPos += count;
  return true;
}

bool ExecutePath(const TQStringList& cmd) {
  TSetupState& s = SetupState();
  const std::string registry = cmd.Value("Registry");
  if (!registry.empty()) s.registryKey = "SOFTWARE\\" + registry;
  const std::string version = cmd.Value("Version");
  if (!version.empty()) s.version = version;
  if (!s.languageChosen) {
    const std::string lng = cmd.Value("Lng");
    if (!lng.empty()) s.language = lng.substr(0, 3);
  }
  if (!s.registryKey.empty()) {
    bool pgmFromRegistry = false;
    if (s.pgmPath.empty()) {
      const std::string exec = SetupRegRead("Exec");
      if (!exec.empty() && exec[0] == '/') {
        s.pgmPath = FolderOf(exec);
        pgmFromRegistry = true;
      }
    }
    if (s.dataPath.empty()) {
      const std::string data = SetupRegRead("DataPath");
      if (!data.empty() && data[0] == '/') {
        s.dataPath = WithSlash(data);
        s.dataPathFromRegistry = true;
      }
    }
    // Every start of the program registers where it runs, a developer's build folder too;
    // only a folder with our uninstaller beside the program is an installation to update.
    if (pgmFromRegistry && !PathExists(s.pgmPath + kUninstallerFileName)) {
      s.pgmPath.clear();
      if (s.dataPathFromRegistry) {
        s.dataPath.clear();
        s.dataPathFromRegistry = false;
      }
    }
  }
  struct TFolderKey {
    const char* key;
    std::string* folder;
  };
  for (const TFolderKey& f : {TFolderKey{"PgmPath", &s.pgmPath}, TFolderKey{"DataPath", &s.dataPath},
                              TFolderKey{"MyStartMenu", &s.myStartMenu}}) {
    const std::string value = cmd.Value(f.key);
    if (!f.folder->empty() || value.empty()) continue;
    std::string expanded;
    // A placeholder without a value is reported; the folder stays unset and the run goes on.
    if (!ExpandSetupPath(value, expanded)) continue;
    if (expanded.empty() || expanded[0] != '/') {
      ShowSetupError(std::string("not an absolute folder: ") + f.key + "=" + value);
      return false;
    }
    *f.folder = WithSlash(expanded);
  }
  return true;
}

bool ExecuteSave(const TQStringList& cmd, bool ifNotExists) {
  const std::string rawName = cmd.Value("Filename");
  if (rawName.empty()) {
    ShowSetupError("no file name");
    return false;
  }
  // A placeholder without a value is reported and the run goes on: the file is not written,
  // but its data is consumed all the same, so that the files after it get theirs.
  std::string name;
  const bool named = ExpandSetupPath(rawName, name);
  if (!named) name = rawName;
  int64_t origLen = 0;
  if (!ParsePositive(cmd.Value("OrigLen"), origLen)) {
    ShowSetupError("OrigLen is 0 in " + name);
    return false;
  }
  std::string bytes;
  if (cmd.IndexOfName("ComprLen") >= 0) {
    int64_t comprLen = 0;
    if (!ParsePositive(cmd.Value("ComprLen"), comprLen)) {
      ShowSetupError("ComprLen is 0 in " + name);
      return false;
    }
    std::string compressed;
    if (!TakeFileData(static_cast<size_t>(comprLen), compressed)) {
      ShowSetupError("data error in " + name);
      return false;
    }
    if (!DecompressBytes(compressed, static_cast<size_t>(origLen), bytes) ||
        bytes.size() != static_cast<size_t>(origLen)) {
      ShowSetupError("decompress error in " + name);
      return false;
    }
  } else if (!TakeFileData(static_cast<size_t>(origLen), bytes)) {
    ShowSetupError("data error in " + name);
    return false;
  }
  if (!named) return true;
  if (name.empty() || name[0] != '/' || name.back() == '/') {
    ShowSetupError("not an absolute file name: " + rawName);
    return false;
  }
  unsigned mode = 0644;
  const std::string modeText = cmd.Value("Mode");
  if (!modeText.empty() && !ParseOctalMode(modeText, mode)) {
    ShowSetupError("bad Mode in " + name);
    return false;
  }
  // Nobody but the owner may change the program the installer puts down; the data is
  // everybody's, as its folders are (GrantUsersFullAccess).
  mode &= 0755;
  if (InsideDataFolder(name)) mode |= 0666;
  if (ifNotExists && PathExists(name)) return true;
  if (!WriteSetupFile(name, bytes, mode)) {
    ShowSetupError("Write Error: " + name);
    return false;
  }
  TSetupState& s = SetupState();
  if (s.installedProgram.empty() && (mode & 0111) != 0) s.installedProgram = name;
  return true;
}

bool ExecuteIcon(const TQStringList& cmd) {
  TSetupState& s = SetupState();
  const std::string lnk = cmd.Value("lnk");
  const bool onDesktop = lnk.find("*Desktop*") != std::string::npos;
  if (!s.desktopLink && onDesktop) return true;
  std::string entry, program, icon;
  // A placeholder without a value is reported; the entry is left out and the run goes on.
  if (!ExpandSetupPath(lnk, entry) || !ExpandSetupPath(cmd.Value("file"), program)) return true;
  const std::string iconValue = cmd.Value("icon");
  if (iconValue.empty())
    icon = program;
  else if (!ExpandSetupPath(iconValue, icon))
    return true;
  if (entry.empty() || entry[0] != '/' || program.empty() || program[0] != '/') {
    ShowSetupError("not an absolute file name: " + lnk);
    return false;
  }
  std::string name = FileNameOf(entry);
  if (LowerAscii(name).size() > 4 && LowerAscii(name).substr(name.size() - 4) == ".lnk")
    name.resize(name.size() - 4);
  if (name.size() > 8 && LowerAscii(name).substr(name.size() - 8) == ".desktop")
    name.resize(name.size() - 8);
  if (name.empty()) {
    ShowSetupError("no file name: " + lnk);
    return false;
  }
  const std::string fileName = FolderOf(entry) + name + ".desktop";
  const std::string text =
      DesktopEntryText(name, program, SplitProgramParams(cmd.Value("param")), icon);
  // A launcher on the desktop is started only when it may be executed.
  if (!WriteSetupFile(fileName, text, onDesktop ? 0755 : 0644)) {
    ShowSetupError("Write Error: " + fileName);
    return false;
  }
  return true;
}

// "desktopini": the folder's own icon. The desktop entry ".directory" inside the folder is
// what the KDE file managers read; it is hidden by its name. Only when the icon exists; a
// file that cannot be written is left out silently.
bool ExecuteDesktopIni(const TQStringList& cmd) {
  std::string folder, icon;
  if (!ExpandSetupPath(cmd.Value("path"), folder) || !ExpandSetupPath(cmd.Value("icon"), icon))
    return true;
  folder = WithSlash(folder);
  if (folder.size() < 2 || folder[0] != '/' || icon.empty() || icon[0] != '/' || !IsFilePath(icon))
    return true;
  std::string text = "[Desktop Entry]\nIcon=";
  for (char c : AnsiToOs(icon)) text += (c == '\r' || c == '\n') ? ' ' : c;
  text += "\n";
  if (WriteSetupFile(folder + kFolderIconFileName, text, 0644)) return true;
  SetupState().log.push_back("not written: " + folder + kFolderIconFileName);
  return true;
}

void SaveSetupLog() {
  const std::string fileName = SetupLogFileName();
  if (fileName.empty()) return;
  // The log's folder is none of the installation's: not recorded, not removed.
  std::string folder;
  for (size_t pos = 1; pos < fileName.size(); ++pos) {
    if (fileName[pos] != '/') continue;
    folder = fileName.substr(0, pos);
    if (!IsFolderPath(folder) && PfMakeFolder(folder, 0755) != 0) return;
  }
  std::string text;
  for (const std::string& line : SetupState().log) text += line + "\r\n";
  std::string tmp;
  int fd = -1;
  if (PfCreateUnique(FolderOf(fileName), ".Setup.log.", ".tmp", tmp, fd) != 0) return;
  const bool ok = PfWriteAll(fd, text.data(), text.size()) == 0 && PfFchmod(fd, 0644) == 0 &&
                  PfFsync(fd) == 0;
  PfClose(fd);
  if (!ok || PfRename(tmp, fileName) != 0) PfUnlink(tmp);
}

}  // namespace

TSetupState& SetupState() {
  static TSetupState state = [] {
    TSetupState s;
    s.isAdmin = IsAdmin();
    return s;
  }();
  return state;
}

void ResetSetupState() {
  TSetupState fresh;
  fresh.isAdmin = IsAdmin();
  SetupState() = std::move(fresh);
}

const TMLStringList* SetupMainTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("SetupMainUnit", 0);
    t->Add255Obj("%1 entfernen", 1);
    t->Add255Obj("%1 l\xE4uft noch.#13#Bitte beenden Sie das Programm und starten Sie die "
                 "Deinstallation danach erneut.", 2);
    t->Add255Obj("Folgende Dateien oder Ordner konnten nicht gel\xF6scht werden:", 3);
    t->Add255Obj("Der Datenordner bleibt erhalten:", 4);
    return t;
  }();
  return table;
}

std::string SetupMainText(int number) {
  return SetupTextTo1252(GetMLTextW(SetupMainTexts(), number));
}
std::string SetupMainTextFmt(int number, const std::string& argument) {
  return SetupTextTo1252(GetMLTextFmtW(SetupMainTexts(), number, Cp1252ToUtf16(argument)));
}

bool IsAdmin() { return geteuid() == 0; }

void ShowSetupError(const std::string& message) {
  TSetupState& s = SetupState();
  s.errorText += message + "; ";
  if (!s.mainWindowExists) UI().ShowCaptionedMessage(TMsgKind::Error, "Setup", message);
}

std::string ProgramsFolder() {
  if (SetupState().isAdmin) return "/opt/";
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + ".local/opt/";
}

std::string DesktopFolder() {
  const std::string fromUserDirs = UserDirsValue("XDG_DESKTOP_DIR");
  if (!fromUserDirs.empty()) return fromUserDirs;
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "Desktop/";
}

std::string StartMenuFolder() {
  if (SetupState().isAdmin) return "/usr/local/share/applications/";
  const std::string data = XdgFolder("XDG_DATA_HOME", ".local/share/");
  return data.empty() ? std::string() : data + "applications/";
}

std::string SetupLogFileName() {
  const std::string state = XdgFolder("XDG_STATE_HOME", ".local/state/");
  return state.empty() ? std::string() : state + "Tessaro/Setup.log";
}

bool ExpandSetupPath(const std::string& path, std::string& expanded) {
  TSetupState& s = SetupState();
  expanded = path;
  struct TPlaceholder {
    const char* name;
    std::string value;
  };
  const TPlaceholder placeholders[] = {
      {"*Programs*", path.find("*Programs*") != std::string::npos ? ProgramsFolder() : ""},
      {"*Desktop*", path.find("*Desktop*") != std::string::npos ? DesktopFolder() : ""},
      {"*StartMenu*", path.find("*StartMenu*") != std::string::npos ? StartMenuFolder() : ""},
      {"*PgmPath*", s.pgmPath},
      {"*DataPath*", s.dataPath},
      {"*MyStartMenu*", s.myStartMenu},
  };
  for (const TPlaceholder& p : placeholders) {
    if (expanded.find(p.name) == std::string::npos) continue;
    if (p.value.empty()) {
      ShowSetupError(std::string("no def for ") + p.name);
      expanded.clear();
      return false;
    }
    ReplaceFirst(expanded, p.name, p.value);
  }
  std::replace(expanded.begin(), expanded.end(), '\\', '/');
  std::string reduced;
  reduced.reserve(expanded.size());
  for (char c : expanded)
    if (!(c == '/' && !reduced.empty() && reduced.back() == '/')) reduced += c;
  expanded = reduced;
  const std::string unknown = RemainingPlaceholder(expanded);
  if (!unknown.empty()) {
    ShowSetupError("no def for " + unknown);
    expanded.clear();
    return false;
  }
  return true;
}

bool MakeSetupDir(const std::string& path) {
  TSetupState& s = SetupState();
  const std::string folder = FolderOf(path);
  if (folder.size() < 3) return true;
  auto known = [&s](const std::string& f) {
    return std::binary_search(s.createdFolders.begin(), s.createdFolders.end(), f) ||
           std::find(s.knownFolders.begin(), s.knownFolders.end(), f) != s.knownFolders.end();
  };
  if (known(folder)) return true;
  for (size_t pos = folder.find('/', 1); pos != std::string::npos; pos = folder.find('/', pos + 1)) {
    const std::string part = folder.substr(0, pos + 1);
    if (known(part)) continue;
    if (IsFolderPath(part)) {
      s.knownFolders.push_back(part);
      continue;
    }
    if (PfMakeFolder(part, 0755) != 0) return false;
    // As the folder stays when this fails (a file system without access lists), the run
    // goes on; the log says so.
    if (!GrantUsersFullAccess(part)) s.log.push_back("no access list for all users: " + part);
    s.createdFolders.insert(
        std::lower_bound(s.createdFolders.begin(), s.createdFolders.end(), part), part);
  }
  return true;
}

void RecordWrittenFile(const std::string& fileName) {
  std::vector<std::string>& files = SetupState().writtenFiles;
  if (std::find(files.begin(), files.end(), fileName) == files.end()) files.push_back(fileName);
}

bool WriteSetupFile(const std::string& fileName, const std::string& bytes, unsigned mode) {
  if (!MakeSetupDir(fileName)) return false;
  const std::string folder = FolderOf(fileName);
  std::string tmp;
  int fd = -1;
  if (PfCreateUnique(folder, "." + FileNameOf(fileName) + ".", ".setup", tmp, fd) != 0)
    return false;
  bool ok = PfWriteAll(fd, bytes.data(), bytes.size()) == 0 && PfFchmod(fd, mode) == 0 &&
            PfFsync(fd) == 0;
  if (PfClose(fd) != 0) ok = false;
  if (!ok || PfRename(tmp, fileName) != 0) {
    PfUnlink(tmp);
    return false;
  }
  PfFsyncFolder(folder);
  RecordWrittenFile(fileName);
  return true;
}

std::string ChangeFileExtension(const std::string& file, const std::string& extension) {
  const size_t slash = file.rfind('/');
  const size_t dot = file.rfind('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExt ? file.substr(0, dot) : file) + extension;
}

std::string SetupRegRead(const std::string& name) {
  const TSetupState& s = SetupState();
  if (s.registryKey.empty()) return "";
  TRegistryStore store;
  TRegValue value;
  for (TRegScope scope : {TRegScope::User, TRegScope::Machine})
    if (store.ReadValue(scope, s.registryKey, name, value) && value.type != TRegType::Other)
      return value.data;
  return "";
}

bool SetupRegWrite(const std::string& name, const std::string& value) {
  const TSetupState& s = SetupState();
  if (s.registryKey.empty()) return false;
  TRegistryStore store;
  bool ok = store.WriteString(TRegScope::User, s.registryKey, name, value);
  if (s.isAdmin) ok = store.WriteString(TRegScope::Machine, s.registryKey, name, value) && ok;
  return ok;
}

std::string NormalizeSetupVersion(const std::string& version) {
  std::string v = Trim(version);
  if (v.find('.') == std::string::npos) return v;
  while (v.find('.') < 2) v.insert(0, "0");
  while (v.size() < 5) v += '0';
  return v;
}

int CompareSetupVersions(const std::string& a, const std::string& b) {
  const int c = NormalizeSetupVersion(a).compare(NormalizeSetupVersion(b));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// False when this setup has no version, no installation is registered ("Ver" and "Exec",
// whose file exists), or the two versions are written in different schemes (this one with
// "." and the installed one without, likewise "-"); otherwise true when the installed
// version compares greater (CompareSetupVersions). The program registers a dated "Ver"
// ("2008-04"), and the command list gives this setup's version in the same scheme.
bool NewerVersionInstalled() {
  const TSetupState& s = SetupState();
  const std::string mine = Trim(s.version);
  if (mine.empty()) return false;
  const std::string installed = Trim(SetupRegRead("Ver"));
  const std::string exec = SetupRegRead("Exec");
  if (installed.empty() || exec.empty() || !PathExists(exec)) return false;
  if (mine.find('.') != std::string::npos && installed.find('.') == std::string::npos) return false;
  if (mine.find('-') != std::string::npos && installed.find('-') == std::string::npos) return false;
  return CompareSetupVersions(installed, mine) > 0;
}

std::vector<std::string> SplitProgramParams(const std::string& params) {
  std::vector<std::string> args;
  std::string current;
  bool inArg = false, quoted = false;
  for (size_t i = 0; i < params.size(); ++i) {
    const char c = params[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < params.size() && params[i + 1] == '"') {
          current += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        current += c;
      }
    } else if (c == '"') {
      quoted = inArg = true;
    } else if (static_cast<unsigned char>(c) <= ' ') {
      if (inArg) args.push_back(current);
      current.clear();
      inArg = false;
    } else {
      current += c;
      inArg = true;
    }
  }
  if (inArg) args.push_back(current);
  return args;
}

bool StartInstalledProgram() {
  const TSetupState& s = SetupState();
  if (s.installedProgram.empty()) return false;
  TProcessStartOptions options;
  options.workDir = FolderOf(s.installedProgram);
  options.detach = true;
  const std::vector<std::string> args = SplitProgramParams(s.programParams);
  const TProcessStartResult result =
      s.startProcess ? s.startProcess(s.installedProgram, args, options)
                     : StartProcess(s.installedProgram, args, options);
  return result.started;
}

std::string DesktopExecArgument(const std::string& arg) {
  // Quoted as the desktop entry format wants it: inside double quotes, `"`, "`", "$" and
  // "\" get a backslash; then the whole value is escaped as a string ("\" doubled again),
  // and "%" (field codes) is doubled.
  std::string quoted = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  std::string escaped;
  for (char c : quoted) {
    if (c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string DesktopEntryText(const std::string& name, const std::string& program,
                             const std::vector<std::string>& args, const std::string& icon) {
  // Line breaks in a value would start a new key.
  auto value = [](const std::string& text) {
    std::string v;
    for (char c : AnsiToOs(text)) v += (c == '\r' || c == '\n') ? ' ' : c;
    return v;
  };
  std::string exec = DesktopExecArgument(program);
  for (const std::string& arg : args) exec += " " + DesktopExecArgument(arg);
  std::string text = "[Desktop Entry]\n";
  text += "Type=Application\n";
  text += "Version=1.0\n";
  text += "Name=" + value(name) + "\n";
  text += "Exec=" + value(exec) + "\n";
  text += "Path=" + value(FolderOf(program)) + "\n";
  text += "Icon=" + value(icon) + "\n";
  text += "Terminal=false\n";
  return text;
}

bool ExecuteSetupCommand(const std::string& line) {
  TQStringList cmd;
  cmd.SetCommaText(line);
  const std::string action = cmd.Value("action").substr(0, 31);
  if (action == "path") return ExecutePath(cmd);
  if (action == "save") return ExecuteSave(cmd, false);
  if (action == "saveifnotexists") return ExecuteSave(cmd, true);
  if (action == "icon") return ExecuteIcon(cmd);
  if (action == "desktopini") return ExecuteDesktopIni(cmd);
  if (action == "exec") {
    SetupState().programParams = cmd.Value("params");
    return true;
  }
  if (action == "uninst") return ExecuteUninstCommand(cmd);
  return false;
}

bool RunSetupCommands(bool pathOnly) {
  TSetupState& s = SetupState();
  s.errorText.clear();
  s.log.clear();
  LoadSelfSections();
  if (SelfSectionsDamaged()) {
    ShowSetupError("setup information damaged: " + SelfSectionsError());
    return false;
  }
  if (!SelfSectionsPresent()) {
    ShowSetupError("setup information not found");
    return false;
  }
  std::string compressed, commands;
  if (!ReadSection(kSectionCommands, compressed) || compressed.empty() ||
      !DecompressBytes(compressed, kMaxCommandListSize, commands) || commands.empty()) {
    ShowSetupError("setup commands not found");
    return false;
  }
  TQStringList lines;
  lines.SetText(commands);

  if (!pathOnly) {
    // The files' data is unpacked whole before the first command: a damaged stream refuses
    // the run before anything is written. Its size is known from the save commands.
    size_t expected = 0;
    for (int i = 0; i < lines.Count(); ++i) {
      TQStringList cmd;
      cmd.SetCommaText(lines[i]);
      const std::string action = cmd.Value("action");
      if (action != "save" && action != "saveifnotexists") continue;
      int64_t n = 0;
      const bool compressedFile = cmd.IndexOfName("ComprLen") >= 0;
      if (TryStrToInt64(cmd.Value(compressedFile ? "ComprLen" : "OrigLen"), n) && n > 0)
        expected += static_cast<size_t>(n);
    }
    s.fileData.clear();
    s.fileDataPos = 0;
    std::string packed;
    if (ReadSection(kSectionFiles, packed) && !packed.empty() &&
        !DecompressBytes(packed, expected, s.fileData)) {
      ShowSetupError("setup files damaged");
      return false;
    }
  }

  for (int i = 0; i < lines.Count(); ++i) {
    const std::string& line = lines[i];
    if (pathOnly) {
      TQStringList cmd;
      cmd.SetCommaText(line);
      if (cmd.Value("action").substr(0, 31) != "path") continue;
    }
    s.log.push_back(line);
    if (!ExecuteSetupCommand(line)) {
      ShowSetupError("Command failed: " + line);
      break;
    }
  }
  if (!s.errorText.empty()) {
    s.log.push_back("Errors: " + s.errorText);
    SaveSetupLog();
  }
  const bool ok = s.errorText.empty();
  if (pathOnly) return ok;

  WriteUninstaller();
  if (!s.installedProgram.empty()) SetupRegWrite("Exec", s.installedProgram);
  if (!s.dataPath.empty()) SetupRegWrite("DataPath", s.dataPath);
  return ok;
}
