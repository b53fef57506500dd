#include "setup/SetupFormUnit.h"

#include <unistd.h>

#include <cstdlib>

#include "basic/FileCtrl2.h"
#include "basic/MultiLingua.h"
#include "basic/SLUnit.h"
#include "platform/OsText.h"
#include "platform/PlatformFiles.h"
#include "setup/SetupLanguageUnit.h"
#include "setup/SetupMainUnit.h"
#include "setup/SetupUninstallUnit.h"

namespace {

std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

std::string WithoutSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ParentOf(const std::string& folder) {
  const std::string path = WithoutSlash(folder);
  const size_t slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash + 1);
}

bool PathExists(const std::string& path) {
  TPfInfo info;
  return PfLstat(path, info) == 0 && info.kind != TPfKind::Missing;
}

bool IsFolderPath(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::Folder;
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

}  // namespace

const TMLStringList* SetupFormTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("Unit1", 0);
    t->Add255Obj("Tessaro", 1);
    t->Add255Obj("Version", 2);
    t->Add255Obj("De-Installation", 3);
    t->Add255Obj("Das eingegebene Verzeichnis kann nicht benutzt werden.", 4);
    t->Add255Obj("Sie sind nicht als Administrator angemeldet.#13#Das w\xE4re f\xFCr die "
                 "Installation in einigen F\xE4llen jedoch vorteilhaft.#13##13#M\xF6" "chten Sie "
                 "trotzdem fortsetzen?", 5);
    t->Add255Obj("Das bereits installierte Programm ist entweder in Benutzung#13#oder Sie haben "
                 "nicht die ben\xF6tigen Dateirechte f\xFCr dessen Ersetzung.", 6);
    t->Add255Obj("Es ist ein Fehler aufgetreten.#13#Das Setup wird abgebrochen.", 7);
    t->Add255Obj("Die Installation wurde erfolgreich abgeschlossen.", 8);
    t->Add255Obj("Die Installation war erfolgreich.#13#Das Programm wird nun gestartet.", 9);
    t->Add255Obj("Programm wird gel\xF6scht - bitte warten ...", 11);
    t->Add255Obj("Es ist bereits eine neuere Version installiert.#13#M\xF6" "chten Sie trotzdem "
                 "dieses alte Setup verwenden?", 12);
    t->Add255Obj("In den Zielordner springen", 14);
    return t;
  }();
  return table;
}

std::string SetupFormText(int number) {
  return SetupTextTo1252(GetMLTextW(SetupFormTexts(), number));
}

const TMLStringList* MainDprTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("MainDPR", 0);
    t->Add255Obj("Doppelstart: Es wurde ein anderes laufendes Setup gefunden.", 1);
    return t;
  }();
  return table;
}

std::string MainDprText(int number) { return SetupTextTo1252(GetMLTextW(MainDprTexts(), number)); }

const std::vector<std::string>& PersonsTerms() {
  static const std::vector<std::string> terms = {"Mitarbeiter", "Mieter", "Besitzer", "Kunden",
                                                 "Personen"};
  return terms;
}

bool CheckSetupFolder(const std::string& text, std::string& folder) {
  folder.clear();
  std::string path = Trim(text);
  if (path.empty() || path[0] != '/') return false;
  path = WithSlash(path);
  // Every component is a real name: "." and ".." would put the program somewhere else than
  // the folder shown, and an empty one is a typing error.
  size_t start = 1;
  while (start < path.size()) {
    const size_t slash = path.find('/', start);
    const std::string part = path.substr(start, slash - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = slash + 1;
  }
  // Neither the root nor a folder directly below it ("/opt/", "/home/").
  if (ParentOf(path) == "/") return false;
  folder = path;
  return true;
}

bool FolderInsideHome(const std::string& folder) {
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') return false;
  const std::string h = WithSlash(WithoutSlash(OsToAnsi(home)));
  return h.size() > 1 && WithSlash(folder).rfind(h, 0) == 0;
}

bool NeedsAdminQuestion(const std::string& folder) {
  return !SetupState().isAdmin && !FolderInsideHome(folder);
}

std::string ChooserStartFolder(const std::string& fieldText) {
  std::string start = WithoutSlash(Trim(fieldText));
  if (start.empty() || start[0] != '/') start = WithoutSlash(ProgramsFolder());
  if (!start.empty() && !IsFolderPath(start)) {
    start = WithoutSlash(ParentOf(start));
    if (!IsFolderPath(start)) start = WithoutSlash(ProgramsFolder());
  }
  if (start.empty() || !IsFolderPath(start)) {
    const char* home = std::getenv("HOME");
    start = home ? WithoutSlash(OsToAnsi(home)) : std::string("/");
  }
  return start;
}

std::string ChosenTargetFolder(const std::string& chosen) {
  std::string folder = WithSlash(chosen);
  // Only the chosen folder's own name counts: a home folder of a user "tessaro" is no
  // program folder.
  const std::string path = WithoutSlash(folder);
  const std::string name = path.substr(path.rfind('/') + 1);
  if (LowerAscii(name).find("tessaro") == std::string::npos)
    folder += std::string(kInstalledProgramName) + "/";
  return folder;
}

bool WriteProgramSettings(const std::string& program, const std::string& language,
                          const std::function<std::string()>& askPersonsTerm) {
  const std::string fileName = ChangeFileExtension(program, ".ini");
  TQStringList settings;
  int loaded = ltfMissing;
  settings.LoadFromFile(fileName, &loaded);
  if (loaded == ltfReadError) return false;
  const bool isNew = loaded == ltfMissing;
  settings.SetValue("Lng", language);
  if (isNew) {
    const std::string folder = program.substr(0, program.rfind('/') + 1);
    struct TTemplate {
      int number;
      const char* file;
    };
    const TTemplate templates[] = {
        {1, "Formulare/Formular1 Ausgabe.rtf"},
        {2, "Formulare/Formular2 Rueckgabe.rtf"},
        {3, "Formulare/Formular3 Verlust, Vernichtung.rtf"},
        {5, "Formulare/Formular5 Zylinder Verlust, Vernichtung.rtf"},
        {1, "Templates/Form1 Issuance.rtf"},
        {2, "Templates/Form2 Return.rtf"},
        {3, "Templates/Form3 Lost, Destruction.rtf"},
    };
    for (const TTemplate& t : templates)
      if (PathExists(folder + t.file))
        settings.SetValue("FormTemplate" + std::to_string(t.number), t.file);
    const std::string term = askPersonsTerm ? askPersonsTerm() : std::string();
    if (!term.empty()) settings.SetValue("PersonsTerm", term);
  }
  return WriteSetupFile(fileName, settings.GetText(), 0644);
}

void RemoveObsoleteFiles(const std::string& pgmPath) {
  for (const char* name : {"IconData.ico", "IconImport.ico", "TraderLogo.bmp", "TraderLogo.swf",
                           "Tessaro.lng"})
    if (PathExists(pgmPath + "System/" + name) && PathExists(pgmPath + name))
      PfUnlink(pgmPath + name);
  if (PathExists(pgmPath + "Anleitung_TESSARO.pdf"))
    for (const char* name : {"Anleitung TESSARO.pdf", "Anleitung.pdf"})
      if (PathExists(pgmPath + name)) PfUnlink(pgmPath + name);
}

void MoveOlderMenuAndDesktopEntries() {
  const TSetupState& s = SetupState();
  auto move = [](const std::string& from, const std::string& to) {
    if (PathExists(from) && !PathExists(to)) PfRename(from, to);
  };
  const std::string older = kOlderProductName;
  const std::string entry = std::string(kInstalledProgramName) + ".desktop";
  if (!s.myStartMenu.empty()) {
    const std::string own = WithSlash(s.myStartMenu);
    // A folder of its own only inside the menu: the folder above the menu itself holds
    // other programs' things.
    const std::string menu = StartMenuFolder();
    if (!menu.empty() && own.size() > menu.size() && own.compare(0, menu.size(), menu) == 0)
      move(ParentOf(own) + older, WithoutSlash(own));
    move(own + older + ".desktop", own + entry);
  }
  const std::string desktop = DesktopFolder();
  if (!desktop.empty()) move(desktop + older + ".desktop", desktop + entry);
}

bool FinishInstallation(const std::function<std::string()>& askPersonsTerm) {
  TSetupState& s = SetupState();
  if (s.installedProgram.empty()) return true;
  bool ok = WriteProgramSettings(s.installedProgram, s.language, askPersonsTerm);
  if (!ok) s.log.push_back("Write Error: " + ChangeFileExtension(s.installedProgram, ".ini"));
  RemoveObsoleteFiles(s.pgmPath);
  // The settings file joins the list the uninstaller carries.
  return WriteUninstaller() && ok;
}

TSetupInstanceLock::TSetupInstanceLock(std::string fileName)
    : fileName_(fileName.empty() ? SetupLockFileName() : std::move(fileName)) {}

bool TSetupInstanceLock::Acquire() {
  return lock_.TryLock(fileName_) != TFileLockResult::Busy;
}

std::string SetupLockFileName() {
  std::string folder;
  for (const char* variable : {"TESSARO_INSTANCE_DIR", "XDG_RUNTIME_DIR"}) {
    const char* value = std::getenv(variable);
    if (value && *value && IsFolderPath(OsToAnsi(value))) {
      folder = OsToAnsi(value);
      break;
    }
  }
  if (folder.empty()) folder = PfTempFolder();
  return WithSlash(folder) + "TessaroSetup-" + std::to_string(getuid()) + ".lock";
}
