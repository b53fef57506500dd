#include "app/LoginUnit.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

#include "app/AppControlUnit.h"
#include "app/BackupRequesterUnit.h"
#include "app/BackupUnit.h"
#include "app/CommandNames.h"
#include "app/MainFormUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/MultiLingua.h"
#include "basic/ParamsUnit.h"
#include "basic/RegistryUnit.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "data/ClientSessionUnit.h"
#include "data/HistoryUnit.h"
#include "data/IniUnit.h"
#include "data/MiniDBUnit.h"
#include "data/SigDBUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/TimeTravelUnit.h"
#include "data/UnitTR100.h"
#include "data/ViewOptionsUnit.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrintUnit.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

namespace {

bool IsFolder(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::Folder;
}

bool IsFile(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::File;
}

// The first character as a number 0..9; `fallback` otherwise.
int FirstDigit(const std::string& text, int fallback) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return fallback;
  return text[0] - '0';
}

class TSilentHost : public ILoginHost {};

}  // namespace

// =======================================================================================
// Texts

const TMLStringList* FrameLoginTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("TFrameLogin", 0);
    t->Add255Obj("Benutzername oder Passwort falsch", 1);
    t->Add255Obj("Solange keine Benutzer angelegt wurden, ist#13#keine Eingabe eines Namens "
                 "oder Passworts n\xF6tig.",
                 2);
    t->Add255Obj("Noch sind keine Benutzer angelegt: Klicken Sie ohne Name und Passwort auf "
                 "OK, um sich anzumelden.",
                 3);
    t->Add255Obj("Die Daten konnten nicht ge\xF6" "ffnet werden:", 4);
    return t;
  }();
  return table;
}

std::string FrameLoginText(int number) { return GetMLText(FrameLoginTexts(), number); }

const TMLStringList* LoginTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("LoginUnit", 0);
    t->Add255Obj("Warnung: Sie rufen das Programm im Netzwerk auf, obwohl#13#dort nur ein "
                 "fester lokaler Datenpfad hinterlegt wurde,#13#der wahrscheinlich f\xFCr "
                 "diesen PC nicht g\xFCltig ist.#13##13#Programm-Pfad: %1#13#Daten-Pfad:",
                 1);
    t->Add255Obj("Keine Schreib-/L\xF6sch-Zugriffsrechte im Datenordner#13#%1", 2);
    t->Add255Obj("Die Datenbank zeigt an, dass sie bereits an diesem Arbeitsplatz in "
                 "Benutzung ist.",
                 25);
    t->Add255Obj("Bitte kl\xE4ren Sie mit dem Hersteller oder Ihrem Administrator, ob eine "
                 "Konfigurations\xE4nderung n\xF6tig ist.",
                 26);
    t->Add255Obj("Ihre \xC4nderungsbefugnisse wurden vorsichtshalber vor\xFC" "bergehend "
                 "deaktiviert.",
                 27);
    t->Add255Obj("Das Programm befindet sich im Sandkasten-Modus,#13#der durch die rote "
                 "Umrahmung symbolisiert wird.",
                 28);
    t->Add255Obj("Alle Eingaben, die Sie im Sandkasten vornehmen,#13#wirken sich nicht auf "
                 "die Original-Datenbank aus.",
                 29);
    t->Add255Obj("Sie k\xF6nnen den Sandkasten \xFC" "ber die Men\xFCpunkte#13#- Datei | "
                 "Logout (F10)  oder#13#- Datei | Sandkasten  verlassen.",
                 30);
    t->Add255Obj("M\xF6" "chten Sie den Sandkasten l\xF6schen?", 44);
    t->Add255Obj("Im Datenordner#13#%1#13#fehlt die Datenbank-Datei, es liegen dort aber "
                 "andere Daten des Programms (Protokoll, Sicherungen).#13#Ist vielleicht ein "
                 "Netzlaufwerk nicht verbunden?#13##13#Soll eine neue, leere Datenbank "
                 "angelegt werden?",
                 101);
    t->Add255Obj("Die Datenbank in#13#%1#13#ist gerade von einem anderen Arbeitsplatz "
                 "reserviert.#13##13#Erneut versuchen?",
                 102);
    t->Add255Obj("Im Datenordner#13#%1#13#fehlt die Datenbank-Datei, es liegt dort aber eine "
                 "Kopie der Datenbank:",
                 103);
    t->Add255Obj("Soll die Datenbank aus dieser Kopie wiederhergestellt werden?#13#Die Kopie "
                 "selbst bleibt erhalten.",
                 104);
    t->Add255Obj("Wiederherstellen", 105);
    t->Add255Obj("Anderen Ordner w\xE4hlen", 106);
    t->Add255Obj("Leer neu anlegen", 107);
    t->Add255Obj("Die Kopie#13#%1#13#konnte nicht als Datenbank-Datei \xFC" "bernommen werden.",
                 108);
    t->Add255Obj("Der Datenordner#13#%1#13#ist eine Datei, kein Ordner.", 109);
    t->Add255Obj("Die Sperrdatei der Datenbank#13#%1#13#kann nicht ge\xF6"
                 "ffnet werden:",
                 110);
    t->Add255Obj("An ihrer Stelle liegt ein Ordner.", 111);
    t->Add255Obj("Es fehlen die Rechte, sie zu lesen und zu schreiben.", 112);
    t->Add255Obj("Der Datentr\xE4ger ist schreibgesch\xFCtzt.", 113);
    t->Add255Obj("Systemfehler %1.", 114);
    t->Add255Obj("Ein erneuter Versuch hilft nicht, solange die Ursache besteht. Bitte lassen "
                 "Sie den Datenordner von Ihrem Administrator pr\xFC"
                 "fen.",
                 115);
    return t;
  }();
  return table;
}

std::string LoginText(int number) { return GetMLText(LoginTexts(), number); }

std::string LoginTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(LoginTexts(), number, argument);
}

// =======================================================================================
// The data root

std::string ResolveDataRoot(const TDataRootSources& sources) {
  std::string root = Trim(sources.dataPathSwitch);
  if (root.empty()) {
    std::string file = Trim(sources.dataFileSwitch);
    if (!file.empty()) {
      MakeAbsolutePath(sources.programDir, file);
      const size_t slash = file.rfind('/');
      if (slash != std::string::npos) root = file.substr(0, slash + 1);
    }
  }
  if (root.empty()) root = Trim(sources.dataPathSetting);
  if (root.empty()) return sources.programDir + "DemoData/";
  MakeAbsolutePath(sources.programDir, root);
  AddBackslash(root);
  return root;
}

TDataRootSources CurrentDataRootSources() {
  TDataRootSources s;
  s.dataPathSwitch = GetParam("datapath");
  s.dataFileSwitch = GetParam("datafile");
  s.dataPathSetting = ReadSettingStr(kSettingsProgramLevel, "DataPath");
  s.programDir = CommandLine().OriginExeDir;
  return s;
}

// =======================================================================================
// Users and the login check

TLoginUserList ListLoginUsers(TMiniDB& db) {
  TLoginUserList list;
  TItemList ids;
  db.ListClassValid(icUser, ids);
  for (int i = 0; i < ids.Count(); ++i) {
    const int32_t id = ids.Get(i);
    list.users.push_back({db.GetName(id), id});
    if (!db.GetField(id, fkRights).empty()) list.someUserHasRights = true;
  }
  std::stable_sort(list.users.begin(), list.users.end(),
                   [](const TLoginUserEntry& a, const TLoginUserEntry& b) {
                     return AnsiCompareText(a.name, b.name) < 0;
                   });
  return list;
}

std::string LoginCompareForm(const std::string& text) { return AnsiUpperCase(Trim(text)); }

TLoginMatch CheckLogin(TMiniDB& db, const std::string& typedName,
                       const std::string& typedPassword) {
  TLoginMatch match;
  const std::string name = LoginCompareForm(typedName);
  TItemList ids;
  db.ListClassValid(icUser, ids);
  int32_t found = 0;
  for (int i = 0; i < ids.Count(); ++i) {
    const std::string stored = db.GetName(ids.Get(i));
    if (Trim(stored).empty()) continue;  // a nameless record is nobody
    match.namedUsers = true;
    if (found == 0 && LoginCompareForm(stored) == name) found = ids.Get(i);
  }
  if (found != 0) {
    // The users view stores the password trimmed and upper-cased; a value written by
    // other means is compared the same way rather than locking its user out.
    if (LoginCompareForm(typedPassword) != LoginCompareForm(db.GetField(found, "pw")))
      found = 0;
  }
  if (found != 0) {
    match.success = true;
    match.userId = found;
    match.userName = db.GetName(found);
  } else {
    match.success = !match.namedUsers;
  }
  return match;
}

TRightLevels RightsAfterLogin(TMiniDB& db, int32_t userId, bool someUserHasRights) {
  TRightLevels levels;
  if (!someUserHasRights) {
    levels.fill(rlYes);
    return levels;
  }
  levels.fill(rlNone);
  if (userId > 0 && db.GetClass(userId) == icUser && db.IsValid(userId))
    levels = DecodeUserRights(db.GetField(userId, fkRights));
  TItemList ids;
  db.ListClassValid(icUser, ids);
  for (int right : {int(rtUsers), int(rtSettings)}) {
    bool held = false;
    for (int i = 0; i < ids.Count() && !held; ++i) {
      const uint8_t level = DecodeUserRights(db.GetField(ids.Get(i), fkRights))[right];
      held = level == rlYes || level == rlOwnCabinets;
    }
    if (!held) levels[right] = rlYes;
  }
  return levels;
}

std::string HistoryUserTextFor(int32_t userId, const std::string& typedName) {
  const std::string text = HistoryObjectText(icUser, userId, Trim(typedName));
  return text.size() > 4 ? text.substr(4) : std::string();
}

// =======================================================================================
// "autoLogin"

bool AutoLoginValueNow(std::string& value) {
  value.clear();
  if (FindParam("autoLogin", &value) > 0 && !value.empty()) return true;
  std::string file;
  // The hand-over file is how a time-travel start passes the login; nothing else uses it.
  if (FindParam(kLoginHandOverSwitch, &file) > 0 && !file.empty() &&
      FindParam("timetravel") > 0) {
    if (TakeLoginHandOver(file, value) && !value.empty()) return true;
  }
  value.clear();
  return false;
}

TAutoLogin ParseAutoLogin(TMiniDB& db, const std::string& value, bool timeTravel) {
  TAutoLogin a;
  if (value.empty()) return a;
  a.given = true;
  std::vector<std::string> parts;
  size_t start = 0;
  for (int i = 0; i < 2; ++i) {
    const size_t semi = value.find(';', start);
    if (semi == std::string::npos) break;
    parts.push_back(value.substr(start, semi - start));
    start = semi + 1;
  }
  parts.push_back(value.substr(start));
  while (parts.size() < 3) parts.emplace_back();
  const int32_t id = StrToIntMinus1(Trim(parts[0]));
  if (id < 0 || (db.HasRecord(id) && db.GetClass(id) != icUser)) return a;
  std::string password = parts[1];
  if (!password.empty() && !DecodeNumberedStr(id, password, false)) password.clear();
  std::string record = parts[2];
  if (!record.empty()) {
    if (!DecodeNumberedStr(id, record, false)) {
      a.badRecordText = true;
      return a;
    }
    if (!timeTravel) {
      // A user record passed in from outside replaces the stored one in memory; only a
      // time-travel instance, which never saves, may be started that way.
      a.refused = true;
      return a;
    }
    a.hasRecordText = true;
    a.recordText = record;
  }
  a.taken = true;
  a.userId = id;
  a.password = password;
  return a;
}

bool ApplyAutoLogin(TMiniDB& db, TAutoLogin& a) {
  if (!a.taken || !a.hasRecordText) return true;
  db.NoSave = true;
  if (!db.HasRecord(a.userId) || a.userId == 0) {
    const int32_t id = db.NewNamedRecord(icUser, "unknown", "");
    if (id == 0) return false;
    a.userId = id;
  }
  std::string text = a.recordText;
  // The record keeps its class: a text of another class would turn it into no user.
  db.PutRecordText(a.userId, text);
  if (db.GetClass(a.userId) != icUser) db.SetField(a.userId, "c", std::to_string(icUser));
  db.StoreCurrent();  // into the lines only: the store never saves
  if (a.password.empty()) a.password = db.GetField(a.userId, "pw");
  return true;
}

// =======================================================================================
// The client grid

TMandantGridModel BuildMandantGrid(TMandantList& list, const std::string& lastSubscriber) {
  TMandantGridModel m;
  m.cols = 5;
  if (list.empty()) return m;
  const int n = static_cast<int>(list.size());
  m.rows = n > 2 ? n : 2;
  auto fieldsOf = [](TMandantInfoRec& r) {
    return std::array<std::string*, 4>{&r.Title, &r.Text2, &r.Text3, &r.DataFolder};
  };
  int highest = 0;
  auto fill = [&] {
    m.cells.assign(m.rows, std::vector<std::string>(5));
    m.rowObject.assign(m.rows, -1);
    m.selectedRow = -1;
    highest = 0;
    TMandantInfoRec& header = list[0];
    auto headerFields = fieldsOf(header);
    for (int i = 0; i < n; ++i) {
      TMandantInfoRec& entry = list[i];
      auto fields = fieldsOf(entry);
      int col = 0;
      if (!header.Name.empty()) {
        m.cells[i][0] = " " + entry.Name.substr(0, 31);
        col = 1;
      }
      for (int f = 0; f < 4; ++f) {
        if (headerFields[f]->empty()) continue;
        if (col < 5) m.cells[i][col] = " " + *fields[f];
        highest = std::max(highest, col);
        ++col;
      }
      m.rowObject[i] = i;
      if (i > 0 && AnsiSameText(MandantKey(entry), lastSubscriber)) m.selectedRow = i;
    }
  };
  fill();
  const TMandantInfoRec& header = list[0];
  const bool noTextField = header.Title.empty() && header.Text2.empty() &&
                           header.Text3.empty() && header.DataFolder.empty();
  if (noTextField) {
    list[0].Name = "ID";
    list[0].Title = "Title";
    fill();
  }
  m.cols = std::min(highest + 1, 5);
  for (auto& row : m.cells) row.resize(m.cols);
  return m;
}

// =======================================================================================
// Per-user values

void ReadUserValues(TMiniDB& db, int32_t userId, TUserValues& v) {
  if (userId <= 0 || !db.HasRecord(userId)) return;
  const std::string viewTab = db.GetField(userId, "ViewTab");
  if (viewTab.size() >= 4) v.viewTab = viewTab.substr(0, 7);
  v.keyNameMode = FirstDigit(db.GetField(userId, "KeyName"), 0);
  const std::string personName = db.GetField(userId, "PersonName");
  v.personNameMode = personName.empty() ? 1 : FirstDigit(personName, 0);
  const std::string planView = db.GetField(userId, "PlanView");
  if (!planView.empty()) v.planView = planView;
  const std::string preview = Trim(db.GetField(userId, "PrintPreview"));
  v.printPreview = preview.empty() || StrToIntZero(preview) >= 1;
  const std::string dialog = Trim(db.GetField(userId, "PrinterDialog"));
  v.printerDialog = dialog == "0" ? 0 : dialog == "2" ? 2 : 1;
}

std::string PaddedViewTab(const std::string& viewTab) {
  std::string tab = viewTab;
  while (tab.size() < 4) tab += '1';
  while (tab.size() < 6) tab += '0';
  return tab;
}

// =======================================================================================
// Opening the data of a client

bool FolderHoldsOurData(const std::string& folder, const std::string& storeFile,
                        const std::string& historyPrefix) {
  std::string base = storeFile;
  const size_t dot = base.rfind('.');
  const size_t slash = base.rfind('/');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    base.resize(dot);
  for (const char* ext : {".ada.bak", ".adaX.bak", ".wpi", ".ada~"})
    if (IsFile(base + ext)) return true;
  if (IsFile(storeFile + ".bak")) return true;
  std::vector<TListedFile> files;
  ListFiles(folder, historyPrefix + "*" + kHistoryExt, files);
  if (!files.empty()) return true;
  std::vector<std::string> subfolders;
  ListSubfolders(folder, subfolders);
  for (const auto& name : subfolders) {
    const std::string upper = AnsiUpperCase(name);
    if (upper.rfind("TIMETRAVEL", 0) == 0 || upper.rfind("TRANSACTIONS", 0) == 0 ||
        upper.rfind("BACKUP", 0) == 0)
      return true;
  }
  return false;
}

std::string NewestStoreCopy(const std::string& storeFile,
                            const std::vector<std::string>& backupFolders) {
  std::string best;
  int64_t bestTime = 0;
  auto consider = [&](const std::string& name) {
    TPfInfo info;
    if (PfStat(name, info) != 0 || info.kind != TPfKind::File || info.size == 0) return;
    if (best.empty() || info.mtimeNs > bestTime) {
      best = name;
      bestTime = info.mtimeNs;
    }
  };
  consider(storeFile + ".bak");
  std::string title = storeFile.substr(storeFile.rfind('/') + 1);
  const size_t dot = title.rfind('.');
  if (dot != std::string::npos) title.resize(dot);
  for (std::string folder : backupFolders) {
    if (folder.empty()) continue;
    AddBackslash(folder);
    std::vector<TListedFile> files;
    ListFiles(folder, title + " \?\?\?\?-\?\?-\?\?*.ada", files);
    for (const TListedFile& f : files) consider(f.name);
  }
  return best;
}

bool KeepOldStoreBackup(const std::string& storeFile, double localNow) {
  const std::string bak = storeFile + ".bak";
  if (!IsFile(bak)) return true;
  const TDateTimeParts t = DecodeDateTime(localNow);
  auto two = [](int v) { return std::string(v < 10 ? "0" : "") + std::to_string(v); };
  const std::string stamp = PackedDateToIsoStr(PackDate(t.year, t.month, t.day)) + " " +
                            two(t.hour) + "." + two(t.minute) + "." + two(t.second);
  std::string target = storeFile + " " + stamp + ".bak";
  auto taken = [](const std::string& path) {
    TPfInfo info;
    return PfLstat(path, info) == 0 && info.kind != TPfKind::Missing;
  };
  for (int n = 2; taken(target); ++n)
    target = storeFile + " " + stamp + " (" + std::to_string(n) + ").bak";
  return PfRename(bak, target) == 0;
}

namespace {

// A store file is missing in a folder that holds other data of ours. Restoring the newest
// copy comes first; making an empty store is never the default, and it never replaces the
// old store's ".bak". Returns the outcome to end the opening with, or Opened to go on.
TOpenOutcome AskAboutMissingStore(const std::string& file, const std::string& folder,
                                  const std::vector<std::string>& backupFolders) {
  const std::string copy = NewestStoreCopy(file, backupFolders);
  int choice;
  if (!copy.empty()) {
    choice = UI().AskButtons(LoginTextFmt(103, folder) + "\r" + copy + "\r\r" + LoginText(104),
                             LoginText(105), LoginText(106), true, LoginText(107));
    if (choice == 1) {
      if (CopyFileReplacing(copy, file)) return TOpenOutcome::Opened;
      UI().ShowMessage(TMsgKind::Error, LoginTextFmt(108, copy));
      return TOpenOutcome::NotOpened;
    }
    choice = choice == 2 ? 1 : choice == 3 ? 2 : 0;
  } else {
    choice = UI().AskButtons(LoginTextFmt(101, folder), LoginText(106), LoginText(107), true, "");
  }
  if (choice == 1) return TOpenOutcome::ChooseFolder;
  if (choice != 2) return TOpenOutcome::Declined;
  if (!KeepOldStoreBackup(file, NowLocal())) {
    UI().ShowMessage(TMsgKind::Error, LoginTextFmt(108, file + ".bak"));
    return TOpenOutcome::NotOpened;
  }
  return TOpenOutcome::Opened;
}

}  // namespace

std::string LockFileFailedText(const std::string& lockFile, int error) {
  std::string cause;
  switch (error) {
    case EISDIR: cause = LoginText(111); break;
    case EACCES:
    case EPERM: cause = LoginText(112); break;
    case EROFS: cause = LoginText(113); break;
    default: cause = LoginTextFmt(114, std::to_string(error)); break;
  }
  return LoginTextFmt(110, lockFile) + "\r" + cause + "\r\r" + LoginText(115);
}

TOpenResult OpenClientData(TMiniDB& db, std::unique_ptr<TTimebackLog>& timebackLog,
                           const TOpenRequest& request, const TOpenHooks& hooks) {
  TOpenResult result;
  TMandantState& state = MandantState();
  // Read-only is judged afresh for every opening; only time travel holds for the run.
  result.readOnly = request.timeTravel;
  auto notifyLoader = [&] {
    if (hooks.notifyLoader) hooks.notifyLoader();
  };

  db.TimebackLog = nullptr;
  db.Close();
  timebackLog.reset();
  if (request.registry) db.Registry = request.registry;
  if (!request.stationKey.empty()) db.StationKey = request.stationKey;

  // A program started from a network share with a data folder on a drive letter of its
  // own machine most likely reads another computer's data.
  const std::string& dp = state.DataPath;
  if (!dp.empty() && request.programDir.rfind("//", 0) == 0 && dp.size() >= 3 &&
      dp[1] == ':' && (dp[2] == '\\' || dp[2] == '/')) {
    UI().ShowMessage(TMsgKind::Info, LoginTextFmt(1, request.programDir) + " " + dp);
  }
  if (state.DataPath.empty()) state.DataPath = request.programDir + "DemoData/";
  AddBackslash(state.DataPath);
  const std::string dataPath = state.DataPath;

  PfMakeFolders(dataPath);
  if (!IsFolder(dataPath) || !IsFolderWritable(dataPath)) {
    notifyLoader();
    // A file in the folder's place is no question of rights.
    TPfInfo info;
    const bool isFile = PfStat(DelTrailingSlash(dataPath), info) == 0 && info.kind == TPfKind::File;
    UI().ShowMessage(TMsgKind::Error, LoginTextFmt(isFile ? 109 : 2, dataPath));
    result.readOnly = true;
    result.outcome = TOpenOutcome::FolderFailed;
    return result;
  }

  const std::string clientName = request.client ? request.client->Name : std::string();
  const std::string historyPrefix = HistoryPrefixFor(clientName);
  History().SetFolder(dataPath);
  History().SetPrefix(historyPrefix);
  History().Enable(!request.timeTravel);

  state.InvalidateCaches();
  if (hooks.readDataSettings) hooks.readDataSettings();

  const std::string title = MandantDataFolderName(clientName);
  std::string storeFile = request.dataFile;
  if (!storeFile.empty()) MakeAbsolutePath(request.programDir, storeFile);
  const bool missing =
      storeFile.empty()
          ? !IsFile(dataPath + title + ".ada") && !IsFile(dataPath + title + ".adaX")
          : !IsFile(storeFile);
  if (missing) {
    const std::string file = storeFile.empty() ? dataPath + title + ".ada" : storeFile;
    const std::string folder = file.substr(0, file.rfind('/') + 1);
    if (FolderHoldsOurData(folder, file, historyPrefix)) {
      notifyLoader();
      const TOpenOutcome outcome =
          AskAboutMissingStore(file, folder, {folder + "Backup/", hooks.backupFolder
                                                                         ? hooks.backupFolder()
                                                                         : std::string()});
      if (outcome != TOpenOutcome::Opened) {
        result.outcome = outcome;
        return result;
      }
    }
  }

  for (;;) {
    const bool ok = storeFile.empty() ? db.Open(dataPath, title, kStoreAppName)
                                      : db.OpenFile(storeFile, kStoreAppName);
    if (ok) break;
    notifyLoader();
    if (db.OpenResult == ldNoAccess && db.LockFileError != 0) {
      // Nobody holds the reservation: its file cannot be used at all, and asking to retry
      // as if another station held it would only repeat the failure.
      UI().ShowMessage(TMsgKind::Error,
                       LockFileFailedText(db.DataPath + db.FileTitle + ".wpf", db.LockFileError));
      result.outcome = TOpenOutcome::NotOpened;
      return result;
    }
    if (db.OpenResult == ldNoAccess &&
        UI().Ask(TMsgKind::ErrorConfirmation, LoginTextFmt(102, dataPath),
                 TAskButtons::YesNo) == mrYes)
      continue;
    // A damaged file has said why (store messages 7 and 8); the user goes back to the
    // choice of the client instead of the program ending.
    result.outcome = TOpenOutcome::NotOpened;
    return result;
  }
  result.outcome = TOpenOutcome::Opened;
  result.newFile = db.NewFile;

  if (db.InUseAtOpen()) {
    result.inUse = true;
    UI().ShowMessage(TMsgKind::Error, LoginText(25) + "\r" + LoginText(26) + "\r" + LoginText(27));
    result.readOnly = true;
  }
  if (db.NoSave || db.LoadErrorReadOnly) result.readOnly = true;
  if (!result.readOnly && !request.timeTravel) {
    // A station killed between a save and its history lines left them in the store.
    TStoreWrite write(db, {});
    if (write.Ok()) SettlePendingHistory(db);
  }

  if (!result.readOnly && !request.sandbox && !request.timeTravel) {
    timebackLog = std::make_unique<TTimebackLog>(request.registry);
    timebackLog->SetupFor(request.client);
    timebackLog->CurrentUserID = [] { return Session().CurrentUserId; };
    db.TimebackLog = timebackLog.get();
    db.MonthlyCopy();
  }
  if (request.timeTravel) {
    History().Enable(false);
    db.NoSave = true;
    db.ReplayChanges(true, nullptr, nullptr, request.timeTravelDate);
    result.readOnly = true;
  }
  return result;
}

// =======================================================================================
// Program-wide state

TLoginState& LoginState() {
  static TLoginState state;
  return state;
}

namespace {

// What units opened for the client's data goes with it.
void RunClientClosedHook() {
  if (const TMenuCommand& closed = MenuCommandOf(kHookClientClosed)) closed();
}

}  // namespace

void ResetLoginState() {
  TLoginState& s = LoginState();
  RunClientClosedHook();
  ResetClientSession();
  ILoginHost* host = s.Host;
  s = TLoginState();
  s.Host = host;
}

ILoginHost& LoginHost() {
  static TSilentHost silent;
  return LoginState().Host ? *LoginState().Host : silent;
}

void PrepareLoginPage() {
  ILoginHost& host = LoginHost();
  MandantState().SandboxMode = false;
  host.UpdateFrameColours();
  host.ResetWindowToLogin();
  ClearAllFrames();
  host.SelectLanguage(Trim(ReadSettingStr(kSettingsProgramLevel, "Lng")));
  TMandantState& state = MandantState();
  if (state.DataRoot.empty()) state.DataRoot = ResolveDataRoot(CurrentDataRootSources());
  if (state.DataPath.empty()) state.DataPath = state.DataRoot;
  host.AttachMenuAndEnablePages();
}

bool OpenDataStore() {
  TLoginState& ls = LoginState();
  TMandantState& state = MandantState();
  ILoginHost& host = LoginHost();
  const TMandantInfoRec* client = state.HasCurrentMandant ? &state.CurrentMandant : nullptr;

  host.ShowClientTitle(client ? client->Title : std::string());
  // Nothing of the client opened before remains: its store is saved and closed, its
  // rights, history, journal, names, caches and options go with its session.
  ResetClientSession(ls.Registry);
  ResetForClientData();  // also SandboxMode from the client's record
  host.UpdateFrameColours();

  TClientSession& session = ClientSession();
  TMiniDB& db = session.MakeStore();
  ls.StoreOpen = false;
  ls.NewStore = false;
  ls.AutoLogin = TAutoLogin();
  ls.UserValues = TUserValues();
  ls.HistoryUserText.clear();

  TOpenRequest request;
  request.programDir = CommandLine().OriginExeDir;
  request.dataFile = GetParam("datafile");
  request.timeTravel = state.TimeTravelMode;
  request.timeTravelDate = state.TimeTravelDate;
  request.sandbox = state.SandboxMode;
  request.client = client;
  request.registry = ls.Registry;
  request.stationKey = ls.StationKey;
  TOpenHooks hooks;
  hooks.notifyLoader = [] { NotifyLoader(); };
  hooks.readDataSettings = [&host] { host.ReadDataSettings(); };
  hooks.backupFolder = [&request] {
    TBackupSettings backups;
    ReadBackupSettings(backups, request.programDir);
    return backups.Path;
  };

  // Looked up at each use: the store object may be gone when the history is asked.
  History().SetObjectLookup([](int32_t id, int& cls, std::string& name) {
    TMiniDB* store = SessionDB();
    if (!store || !store->HasRecord(id)) return false;
    cls = store->GetClass(id);
    name = store->GetDisplayName(id);
    return true;
  });
  const TOpenResult result = OpenClientData(db, session.ChangeLog, request, hooks);
  ls.LastOpenOutcome = result.outcome;
  state.ReadOnlyMode = result.readOnly;
  // The receipts print on this client's templates and texts, none of the previous one's.
  LoadTextSettings(kSettingsDataLevel);
  SignatureDB().SetFolder(SignatureFolder(client));
  if (result.outcome != TOpenOutcome::Opened) return false;

  ls.StoreOpen = true;
  ls.NewStore = result.newFile;
  // The display names are made once, as the name functions come in, with the client's
  // locking-system names already in place.
  ReadKeySystemNames(db);
  InstallNameFuncs(db);
  OpenLocksmithDatabase(db, false);
  FillKeySystemFilter(db);
  BuildLockingSystemList();
  BuildBuildingList();
  const int32_t settings = db.FindOrCreateSingleton(false);
  const bool minStock = settings != 0 && !db.GetField(settings, "MinStkKeys").empty();
  host.StoreOpened(result.newFile || FindParam("aftersetup") > 0, minStock);
  return true;
}

void CompleteLogin(const TLoginMatch& match, const std::string& typedName) {
  TLoginState& ls = LoginState();
  TSession& session = Session();
  TMiniDB* db = SessionDB();
  if (match.userId > 0 && db) {
    LoginUser(*db, match.userId);
    ls.HistoryUserText = HistoryUserTextFor(match.userId, typedName);
    History().SetUserText(ls.HistoryUserText);
    HistoryLogin(match.userId, session.CurrentUserName);
  } else {
    LogoutUser();
    session.LoggedIn = true;
    session.CurrentUserId = 0;
    session.CurrentUserName.clear();
    ls.HistoryUserText.clear();
    History().SetUserText("");
    HistoryLogin(0, "NoName");
  }
  RegWriteString(false, "LastUser", session.CurrentUserName);
}

void LoadUserValues() {
  TLoginState& ls = LoginState();
  if (TMiniDB* db = SessionDB()) ReadUserValues(*db, Session().CurrentUserId, ls.UserValues);
  PrintSettings().printerDialog = ls.UserValues.printerDialog;
  WinGlue().ViewTab = PaddedViewTab(ls.UserValues.viewTab);
  LoadUserViewSettings();
  LoginHost().ApplyUserValues(ls.UserValues);
  if (const TMenuCommand& values = MenuCommandOf(kHookUserValues)) values();
}

void AfterLogin() {
  TLoginState& ls = LoginState();
  ILoginHost& host = LoginHost();
  TSession& session = Session();
  if (!SessionDB()) return;
  TMiniDB& db = *SessionDB();
  LoadUserValues();
  session.RightLevels = RightsAfterLogin(db, session.CurrentUserId, ls.SomeUserHasRights);

  host.SetWaitCursor(true);
  UI().ProcessPendingEvents();
  if (ls.NewStore && !MandantState().ReadOnlyMode) EnsureMainBuilding(db);
  const bool issueTab = !MandantState().ReadOnlyMode &&
                        !(session.RightLevels[rtIssue] < rlYes &&
                          session.RightLevels[rtReturn] < rlYes);
  host.ShowPagesAfterLogin(issueTab);
  RefreshAllFrames();
  host.AfterViewsRefreshed();
  host.SetWaitCursor(false);
  UI().ProcessPendingEvents();

  std::string items = GetParam("currentItems");
  if (items.empty() && session.CurrentUserId > 0)
    items = db.GetField(session.CurrentUserId, "LastItems");
  if (!items.empty()) {
    // The remembered records are shown again, but the deadlines page that overdue keys
    // brought up stays in front: a due return must not hide behind the last record.
    const bool overdueShown = ActivePage() == pgLimits;
    GotoItems(items);
    if (overdueShown) ShowPage(pgLimits, true);
  }

  if (MandantState().SandboxMode)
    UI().ShowMessage(TMsgKind::Info,
                     LoginText(28) + "\r\r" + LoginText(29) + "\r\r" + LoginText(30));

  std::string profile;
  if (FindParam("autoImport", &profile) > 0) {
    DeleteParam("autoImport");
    host.RunAutoImport(profile);
    TerminateApplication();
    return;
  }
  if (FindParam("aftersetup") > 0 &&
      !AnsiSameText(MLSystem().CurrentLanguage(), "HU"))
    host.StartGuidedTour();
}

namespace {
TAutoImport& AutoImportSlot() {
  static TAutoImport run;
  return run;
}
}  // namespace

void InstallAutoImport(TAutoImport run) { AutoImportSlot() = std::move(run); }
const TAutoImport& InstalledAutoImport() { return AutoImportSlot(); }

bool DoLogout(const std::function<void()>& showLoginPage) {
  TLoginState& ls = LoginState();
  ILoginHost& host = LoginHost();
  TSession& session = Session();
  TMandantState& state = MandantState();
  if (CheckPendingInput()) return false;

  // A store that never saves came from a time-travel start (or its login hand-over):
  // there is no login page to go back to.
  const bool endProgram =
      state.TimeTravelMode || (ls.AutoLogin.taken && ls.AutoLogin.hasRecordText);
  TMiniDB* db = SessionDB();
  if (db && ls.StoreOpen && session.CurrentUserId > 0 && !state.ReadOnlyMode && !db->NoSave &&
      !db->GetField(session.CurrentUserId, "LastItems").empty()) {
    TStoreWrite write(*db, {session.CurrentUserId});
    if (write.Ok()) {
      db->SetField(session.CurrentUserId, "LastItems", "");
      write.Commit();
    }
  }
  SignatureDB().CloseJournal();
  host.EnablePageControl(false);

  AutoBackupCheck(LoginBackupEnvironment());
  RunClientClosedHook();
  LocksmithStore().Close();
  if (db) {
    // History lines the history file would not take are kept by the store, not lost.
    if (!state.ReadOnlyMode && !state.TimeTravelMode) KeepWaitingHistory(*db);
    db->TimebackLog = nullptr;
    db->Close();
  }
  ClientSession().ChangeLog.reset();
  ls.StoreOpen = false;
  HistoryFlush();

  if (state.SandboxMode) {
    if (UI().Ask(TMsgKind::Confirmation, LoginText(44), TAskButtons::YesNo) == mrYes) {
      UI().ProcessPendingEvents();
      CleanupSandbox();
    }
    // The data opened next is chosen anew: a login page without a client choice would
    // otherwise open the data root as the sandbox client, red frame and all.
    state.HasCurrentMandant = false;
    state.CurrentMandant = TMandantInfoRec();
    state.SandboxMode = false;
  }

  // Nothing of this client remains: its session goes whole (rights, history, journal,
  // names, caches, options, the closed store).
  History().SetUserText("");
  ResetClientSession(ls.Registry);
  ls.HistoryUserText.clear();
  state.DataPath = state.DataRoot;

  if (endProgram) {
    TerminateApplication();
  } else if (showLoginPage) {
    showLoginPage();
  }
  return true;
}

TBackupEnvironment LoginBackupEnvironment() {
  TLoginState& ls = LoginState();
  const TMandantState& state = MandantState();
  TBackupEnvironment env;
  env.DB = ls.StoreOpen ? SessionDB() : nullptr;
  env.DataPath = state.DataPath;
  env.SandboxMode = state.SandboxMode;
  env.TimeTravelMode = state.TimeTravelMode;
  env.ReadOnlyMode = state.ReadOnlyMode;
  env.Busy = BackupHourglass;
  env.Ask = AskBeforeBackup;
  return env;
}

bool FormCloseQuery() {
  ILoginHost& host = LoginHost();
  if (CheckPendingInput()) return false;
  AutoBackupCheck(LoginBackupEnvironment());
  host.StoreWindowSettings();
  return true;
}
