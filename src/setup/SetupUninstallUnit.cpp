#include "setup/SetupUninstallUnit.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "platform/PlatformFiles.h"
#include "platform/RegistryStore.h"
#include "setup/SelfLoadSectionsUnit.h"
#include "setup/SetupLanguageUnit.h"
#include "setup/SetupMainUnit.h"

namespace {

constexpr size_t kMaxUninstallListSize = 64u << 20;

bool PathExists(const std::string& path) {
  TPfInfo info;
  return PfLstat(path, info) == 0 && info.kind != TPfKind::Missing;
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

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

std::string TwoDigits(int n) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", n);
  return buffer;
}

TRegScope InstallScope() { return SetupState().isAdmin ? TRegScope::Machine : TRegScope::User; }

std::string UninstallKeyPath(const std::string& keyName) {
  return std::string(kUninstallRegistryKey) + "\\" + keyName;
}

void DeleteUninstallKey(const std::string& keyName) {
  if (!ValidUninstallKeyName(keyName)) return;
  TRegistryStore store;
  for (TRegScope scope : {TRegScope::User, TRegScope::Machine}) {
    store.DeleteKey(scope, UninstallKeyPath(keyName));
    // The list of installations goes with its last entry.
    if (store.ListSubkeys(scope, kUninstallRegistryKey).empty() &&
        store.ReadKey(scope, kUninstallRegistryKey).empty())
      store.DeleteKey(scope, kUninstallRegistryKey);
  }
}

// The list lines split into values, files and folders.
void SplitList(const std::vector<std::string>& list, std::vector<std::string>* files,
               std::vector<std::string>* folders) {
  for (const std::string& line : list) {
    if (files && line.rfind("file=", 0) == 0) files->push_back(line.substr(5));
    if (folders && line.rfind("dir=", 0) == 0) folders->push_back(line.substr(4));
  }
}

// The earlier installation's list, when an uninstaller of ours is already in place.
void TakeEarlierList(const std::string& uninstaller) {
  TSetupState& s = SetupState();
  std::string bytes;
  std::vector<std::string> list;
  if (!ReadFileToString(uninstaller, bytes) || !ReadUninstallListFrom(bytes, list)) return;
  s.earlierFiles.clear();
  s.earlierFolders.clear();
  SplitList(list, &s.earlierFiles, &s.earlierFolders);
}

bool InsideFolder(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0;
}

}  // namespace

bool KeptOnUninstall(const std::string& fileName) {
  const std::string name = LowerAscii(FileNameOf(fileName));
  for (const char* ext : {".ada", ".alg", ".bdb"})
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ext) == 0) return true;
  return false;
}

bool ValidUninstallKeyName(const std::string& name) {
  if (name.size() <= 2 || name == "." || name.find("..") != std::string::npos) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
  });
}

bool IsUninstallMode(const std::string& ownFile, const std::vector<std::string>& args) {
  if (LowerAscii(FileNameOf(ownFile)) == kUninstallerFileName) return true;
  return std::any_of(args.begin(), args.end(),
                     [](const std::string& a) { return LowerAscii(a) == "/uninst"; });
}

std::string UninstallKeyArgument(const std::vector<std::string>& args) {
  TQStringList list;
  for (const std::string& a : args) list.Add(a);
  return list.Value("UninstallKey");
}

bool ExecuteUninstCommand(const TQStringList& cmd) {
  TSetupState& s = SetupState();
  if (!SelfSectionsPresent()) return true;
  std::string pgm = cmd.Value("pgm");
  if (pgm.empty()) pgm = std::string("*PgmPath*") + kUninstallerFileName;
  std::string param = cmd.Value("param");
  if (param.empty()) param = "/uninst";
  std::string uninstaller;
  // A placeholder without a value is reported; nothing is registered and the run goes on.
  if (!ExpandSetupPath(pgm, uninstaller)) return true;
  if (uninstaller.empty() || uninstaller[0] != '/') {
    ShowSetupError("not an absolute file name: " + pgm);
    return false;
  }
  s.uninstallerName = uninstaller;
  if (PathExists(uninstaller)) {
    TakeEarlierList(uninstaller);
    RecordWrittenFile(uninstaller);
  } else if (!WriteSetupFile(uninstaller, SelfImage(), 0755)) {
    ShowSetupError("Write Error: " + uninstaller);
    return false;
  }

  std::string name = cmd.Value("name");
  if (name.empty()) name = FileNameOf(s.installedProgram);
  if (name.empty()) return true;
  const TDateTimeParts now = DecodeDateTime(NowLocal());
  const std::string date = std::to_string(now.year) + "-" + TwoDigits(now.month) + "-" +
                           TwoDigits(now.day);
  std::string keyName = name + " " + date + " " + TwoDigits(now.hour) + "." +
                        TwoDigits(now.minute) + "." + TwoDigits(now.second);
  const std::string quoted =
      uninstaller.find(' ') != std::string::npos ? "\"" + uninstaller + "\"" : uninstaller;

  // An earlier installation into the same place keeps its entry (the first one found);
  // further ones of that place are stale.
  TRegistryStore store;
  const TRegScope scope = InstallScope();
  bool reused = false;
  for (const std::string& sub : store.ListSubkeys(scope, kUninstallRegistryKey)) {
    if (sub.rfind(name + " ", 0) != 0 || !ValidUninstallKeyName(sub)) continue;
    TRegValue value;
    if (!store.ReadValue(scope, UninstallKeyPath(sub), "UninstallString", value) ||
        value.data.rfind(quoted + " ", 0) != 0)
      continue;
    if (!reused) {
      keyName = sub;
      reused = true;
    } else {
      store.DeleteKey(scope, UninstallKeyPath(sub));
    }
  }
  const std::string key = UninstallKeyPath(keyName);
  const std::string display = name + " (Installation " + TwoDigits(now.day) + "." +
                              TwoDigits(now.month) + "." + std::to_string(now.year) + ")";
  bool registered =
      store.WriteString(scope, key, "DisplayName", display) &&
      store.WriteString(scope, key, "UninstallString",
                        quoted + " " + param + " \"UninstallKey=" + keyName + "\"");
  for (const char* valueName : {"Publisher", "URLInfoAbout", "HelpLink", "URLUpdateInfo", "RegOwner"}) {
    const std::string v = cmd.Value(valueName);
    if (!v.empty()) registered = store.WriteString(scope, key, valueName, v) && registered;
  }
  std::string readme;
  if (!cmd.Value("Readme").empty() && ExpandSetupPath(cmd.Value("Readme"), readme) &&
      PathExists(readme))
    registered = store.WriteString(scope, key, "Readme", readme) && registered;
  registered = store.WriteInteger(scope, key, "NoModify", 1) && registered;
  registered = store.WriteInteger(scope, key, "NoRepair", 1) && registered;
  if (!registered) s.log.push_back("uninstall entry not registered: " + store.LastError());
  s.uninstallValues.SetValue("UninstallKey", keyName);

  // The menu entry that starts the uninstaller.
  const std::string menu = s.myStartMenu.empty() ? StartMenuFolder() : s.myStartMenu;
  if (menu.empty()) return true;
  std::string icon = uninstaller;
  if (!cmd.Value("icon").empty() && !ExpandSetupPath(cmd.Value("icon"), icon)) icon = uninstaller;
  const std::string entry = menu + name + "-uninstall.desktop";
  const std::string text = DesktopEntryText(SetupMainTextFmt(1, name), uninstaller,
                                            {param, "UninstallKey=" + keyName}, icon);
  if (!WriteSetupFile(entry, text, 0644)) {
    ShowSetupError("Write Error: " + entry);
    return false;
  }
  return true;
}

std::vector<std::string> BuildUninstallList() {
  const TSetupState& s = SetupState();
  std::vector<std::string> list;
  for (int i = 0; i < s.uninstallValues.Count(); ++i) list.push_back(s.uninstallValues[i]);
  list.push_back("Lng=" + s.language);
  if (!s.dataPath.empty()) list.push_back("DataPath=" + s.dataPath);
  if (!s.installedProgram.empty()) list.push_back("Exec=" + s.installedProgram);
  for (const std::string& f : s.earlierFiles)
    if (std::find(s.writtenFiles.begin(), s.writtenFiles.end(), f) == s.writtenFiles.end())
      list.push_back("file=" + f);
  for (const std::string& f : s.writtenFiles) list.push_back("file=" + f);
  std::vector<std::string> folders = s.createdFolders;
  folders.insert(folders.end(), s.earlierFolders.begin(), s.earlierFolders.end());
  std::sort(folders.begin(), folders.end());
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) list.push_back("dir=" + *it);
  return list;
}

bool WriteUninstaller() {
  const TSetupState& s = SetupState();
  if (s.uninstallerName.empty()) return false;
  const std::string image = SelfImage();
  if (image.empty()) return false;
  std::string text;
  for (const std::string& line : BuildUninstallList()) text += line + "\r\n";
  std::vector<TSectionSpec> sections;
  if (!KeptLanguageText().empty()) sections.push_back({kSectionLanguage, KeptLanguageText()});
  sections.push_back({kSectionUninstall, CompressBytes(text)});
  return WriteSetupFile(s.uninstallerName, image + BuildSectionArea(sections), 0755);
}

bool ReadUninstallListFrom(const std::string& fileBytes, std::vector<std::string>& list) {
  list.clear();
  const TSectionFile file = ParseSectionFile(fileBytes);
  std::string compressed, text;
  if (!SectionData(fileBytes, file, kSectionUninstall, compressed) || compressed.empty() ||
      !DecompressBytes(compressed, kMaxUninstallListSize, text))
    return false;
  TQStringList lines;
  lines.SetText(text);
  list = lines.GetLines();
  return true;
}

std::vector<std::string> ReadUninstallList() {
  LoadSelfSections();
  std::string compressed, text;
  std::vector<std::string> list;
  if (ReadSection(kSectionUninstall, compressed) && !compressed.empty() &&
      DecompressBytes(compressed, kMaxUninstallListSize, text)) {
    TQStringList lines;
    lines.SetText(text);
    list = lines.GetLines();
  }
  if (list.empty()) ShowSetupError("uninstall information not found");
  return list;
}

std::vector<std::string> ProtectedDataFolders(const TQStringList& values) {
  std::vector<std::string> folders;
  auto add = [&folders](std::string folder) {
    folder = WithSlash(folder);
    if (folder.size() > 1 && folder[0] == '/' &&
        std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(folder);
  };
  add(values.Value("DataPath"));
  // The program may have been pointed at another data folder since: its settings file
  // (beside it, named like it with ".ini") says where, relative to the program folder when
  // inside it; without a setting the program uses "DemoData/" beside itself.
  const std::string exec = values.Value("Exec");
  if (!exec.empty() && exec[0] == '/') {
    const std::string programDir = FolderOf(exec);
    TQStringList settings;
    settings.LoadFromFile(ChangeFileExtension(exec, ".ini"));
    std::string dataPath = settings.Value("DataPath");
    for (char& c : dataPath)
      if (c == '\\') c = '/';
    if (dataPath.empty()) dataPath = "DemoData/";
    add(dataPath[0] == '/' ? dataPath : programDir + dataPath);
  }
  return folders;
}

TUninstallResult RunUninstall(const std::vector<std::string>& args) {
  TUninstallResult result;
  TSetupState& s = SetupState();
  s.errorText.clear();
  if (s.programRunning && s.programRunning()) {
    result.refused = true;
    return result;
  }
  DeleteUninstallKey(UninstallKeyArgument(args));
  const std::vector<std::string> list = ReadUninstallList();
  if (list.empty()) return result;
  result.listFound = true;
  TQStringList values;
  for (const std::string& line : list)
    if (line.rfind("file=", 0) != 0 && line.rfind("dir=", 0) != 0) values.Add(line);
  DeleteUninstallKey(values.Value("UninstallKey"));
  result.dataFolders = ProtectedDataFolders(values);

  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    if (it->rfind("file=", 0) != 0) continue;
    const std::string file = it->substr(5);
    if (file.empty() || file[0] != '/' || KeptOnUninstall(file)) continue;
    if (std::any_of(result.dataFolders.begin(), result.dataFolders.end(),
                    [&file](const std::string& folder) { return InsideFolder(file, folder); })) {
      if (PathExists(file)) result.keptData.push_back(file);
      continue;
    }
    if (!PathExists(file)) continue;
    if (PfUnlink(file) != 0) result.failed.push_back(file);
  }
  std::vector<std::string> folders;
  SplitList(list, nullptr, &folders);
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) PfRemoveFolder(*it);
  // Once more in list order (deepest first), now that subfolders are gone. A folder that
  // still holds something (data, a file of the user's) stays, as it should.
  for (const std::string& folder : folders) {
    if (folder.empty() || folder[0] != '/') continue;
    const int e = PfRemoveFolder(folder);
    if (e != 0 && e != ENOENT && e != ENOTEMPTY && e != EEXIST) result.failed.push_back(folder);
  }
  return result;
}
