#include "data/StockUnit.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/Hex32Unit.h"
#include "basic/ParamsUnit.h"
#include "basic/SLUnit.h"
#include "basic/UserInteraction.h"
#include "data/HistoryUnit.h"
#include "data/HolderUnit.h"
#include "data/IniUnit.h"
#include "data/ItemsLock.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"
#include "platform/RegistryStore.h"

namespace {

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

int ClassOrOwn(const TMiniDB& db, int32_t item, int cls) { return cls != 0 ? cls : db.GetClass(item); }

// The part of "key=value" before the "=".
std::string KeyOfItem(const std::string& item) { return item.substr(0, item.find('=')); }

bool SameAsciiKey(const std::string& a, const char* b) { return AnsiSameText(a, b); }

// The settings record's field; empty when the client has none.
std::string SettingsField(TMiniDB& db, const std::string& field) {
  const int32_t settings = db.FindOrCreateSingleton(false);
  return settings ? db.GetField(settings, field) : std::string();
}

void ReportRefusedWrite(TMiniDB& db, const TStoreWrite& write) {
  // An unreadable store has said why already.
  if (!write.Blocking().empty()) db.ShowLockedMessage(write.Blocking(), false);
}

}  // namespace

// =======================================================================================
// Stock

std::string GetTotalText(const TMiniDB& db, int32_t item) {
  std::string total = db.ReadLineField(item, fkTotal);
  if (total.empty()) total = db.ReadLineField(item, fkCylinderCount);
  return total;
}

int32_t GetTotalCount(const TMiniDB& db, int32_t item) {
  const std::string total = GetTotalText(db, item);
  return total.empty() ? 1 : StrToIntZero(total);
}

int32_t GetAvailableCount(const TMiniDB& db, int32_t item, bool clamp) {
  const int64_t available = static_cast<int64_t>(GetTotalCount(db, item)) -
                            db.ReadLinkCount(item, icDoor) - BookedCount(db, item);
  return ClampToInt32(clamp ? std::max<int64_t>(available, 0) : available);
}

std::string TotalTextOf(const TMiniDB& db, int32_t item) {
  return db.GetClass(item) == icCylinder ? GetTotalText(db, item) : db.ReadLineField(item, fkTotal);
}

std::string StockTextOf(const TMiniDB& db, int32_t item, int cls) {
  if (ClassOrOwn(db, item, cls) == icCylinder)
    return std::to_string(GetAvailableCount(db, item, false));
  return db.ReadLineField(item, fkStock);
}

int32_t GetStockOf(const TMiniDB& db, int32_t item, int cls) {
  if (ClassOrOwn(db, item, cls) == icCylinder) return GetAvailableCount(db, item, false);
  return StrToIntZero(db.ReadLineField(item, fkStock));
}

void SetStockOf(TMiniDB& db, int32_t item, int32_t value, int cls) {
  if (ClassOrOwn(db, item, cls) == icCylinder) return;
  db.SetField(item, fkStock, std::to_string(value));
}

bool CheckMinStock(TMiniDB& db, int32_t item, bool plusOne) {
  int32_t minimum = 0;
  if (!TryStrToInt(db.GetField(item, fkMinimum), minimum) || minimum < 0) return false;
  return static_cast<int64_t>(minimum) + (plusOne ? 1 : 0) > GetStockOf(db, item);
}

// =======================================================================================
// Split records

namespace {

// The link lists a daughter takes over from her mother: every kind except the split links
// themselves and the persons (the daughter's pieces are in stock: nobody holds them).
bool DaughterKeepsLinkKind(int kind) {
  return kind != lkMother && kind != lkDaughters && kind != HolderClassOfKind(okPerson);
}

std::vector<int32_t> DaughterLinkTargets(TMiniDB& db, int32_t mother) {
  std::vector<int32_t> targets;
  TQStringList fields;
  db.GetRecordLines(mother, fields);
  for (int i = 0; i < fields.Count(); ++i) {
    const std::string& item = fields.Get(i);
    int kind = 0;
    if (!IsLinkField(KeyOfItem(item), kind) || !DaughterKeepsLinkKind(kind)) continue;
    TItemList list;
    db.GetLinks(mother, kind, list);
    for (int32_t j = 0; j < list.Count(); ++j) {
      const int32_t target = list.Get(j);
      if (target > 0 && std::find(targets.begin(), targets.end(), target) == targets.end())
        targets.push_back(target);
    }
  }
  std::sort(targets.begin(), targets.end());
  return targets;
}

// The daughter's fields as stored, taken from the mother: everything but her identity,
// the split links, the holdings (own, the persons' links and their link values) and the
// marking "k304".
std::string DaughterRecordText(TMiniDB& db, int32_t mother, const std::vector<int32_t>& targets) {
  TQStringList source;
  db.GetRecordLines(mother, source);
  TQStringList copy;
  for (int i = 0; i < source.Count(); ++i) {
    const std::string& item = source.Get(i);
    const std::string key = KeyOfItem(item);
    int kind = 0;
    if (IsLinkField(key, kind)) {
      if (DaughterKeepsLinkKind(kind)) copy.Add(item);
      continue;
    }
    if (SameAsciiKey(key, "i") || SameAsciiKey(key, "GUID") || SameAsciiKey(key, "extID") ||
        SameAsciiKey(key, fkHolders) || SameAsciiKey(key, "k304"))
      continue;
    // Link values ("o" + ID) only where the daughter keeps the link.
    if (key.size() > 1 && (key[0] == 'o' || key[0] == 'O')) {
      int32_t other = 0;
      if (TryStrToInt(key.substr(1), other) &&
          std::find(targets.begin(), targets.end(), other) == targets.end())
        continue;
    }
    copy.Add(item);
  }
  return copy.GetCommaText();
}

}  // namespace

int32_t SplitStockRecord(TMiniDB& db, int32_t mother, const std::string& name,
                         const std::string& name2, int32_t count) {
  int refused = -1;
  const std::vector<int32_t> made = SplitStockRecords(db, mother, {{name, name2, count}}, refused);
  return made.empty() ? 0 : made.front();
}

std::vector<int32_t> SplitStockRecords(TMiniDB& db, int32_t mother,
                                       const std::vector<TSplitPart>& parts, int& refused) {
  refused = -1;
  if (parts.empty()) return {};
  refused = 0;
  for (size_t i = 0; i < parts.size(); ++i)
    if (parts[i].count < 0) {
      refused = static_cast<int>(i);
      return {};
    }
  if (!db.HasRecord(mother)) return {};
  // Each daughter gets back-links on every record the mother links to: the write holds
  // them all.
  std::vector<int32_t> ids = DaughterLinkTargets(db, mother);
  ids.push_back(mother);
  TStoreWrite write(db, ids);
  if (!write.Ok()) {
    ReportRefusedWrite(db, write);
    return {};
  }
  if (!db.HasRecord(mother)) return {};
  const std::vector<int32_t> targets = DaughterLinkTargets(db, mother);
  for (int32_t target : targets)
    if (std::find(ids.begin(), ids.end(), target) == ids.end()) return {};  // relinked meanwhile
  const int cls = db.GetClass(mother);
  // Judged on the fresh data, all parts before anything is made.
  int64_t left = GetStockOf(db, mother, cls);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (parts[i].count > left) {
      refused = static_cast<int>(i);
      return {};
    }
    left -= parts[i].count;
  }

  // The IDs first: making one saves the store, which holds no change of the parts yet.
  std::vector<int32_t> daughters;
  for (size_t i = 0; i < parts.size(); ++i) {
    const int32_t daughter = db.NewRecord(cls);
    if (daughter == 0 || !write.Include({daughter})) {
      // The IDs made stay used, as deleted records that never held anything.
      if (daughter != 0) daughters.push_back(daughter);
      for (int32_t made : daughters) db.PutRecordText(made, "c=" + std::to_string(cls) + ",v=0");
      write.Commit();
      refused = static_cast<int>(i);
      return {};
    }
    daughters.push_back(daughter);
  }
  const std::string text = DaughterRecordText(db, mother, targets);
  for (size_t i = 0; i < parts.size(); ++i) {
    const int32_t daughter = daughters[i];
    db.PutRecordText(daughter, text);
    db.SetField(daughter, fkName, parts[i].name);
    db.SetField(daughter, fkSecondName, parts[i].name2);
    db.SetField(daughter, fkStock, std::to_string(parts[i].count));
    db.SetField(daughter, fkTotal, std::to_string(parts[i].count));
    for (int32_t target : targets)
      if (db.HasRecord(target)) db.AddLink(target, daughter, cls);
    db.LinkClass10(daughter, mother);
  }
  SetStockOf(db, mother, static_cast<int32_t>(left), cls);
  if (!write.Commit()) {
    // The new IDs are in the file already (without fields); what is left of the daughters
    // is marked deleted, so no later save can bring back a copy without its mother.
    for (int32_t daughter : daughters)
      db.PutRecordText(daughter, "c=" + std::to_string(cls) + ",v=0");
    return {};
  }
  refused = -1;
  return daughters;
}

namespace {

// Moves pieces between a daughter and her mother inside one write. n > 0: mother to
// daughter; n < 0: back. With `clampBack` a return moves at most the daughter's stock.
// The move itself, inside a write that holds both records.
bool MovePiecesInWrite(TMiniDB& db, int32_t daughter, int32_t mother, int64_t n, bool clampBack) {
  // Judge on the file as it is now: another station may have moved pieces meanwhile.
  if (db.GetClass10Link(daughter) != mother || !db.HasRecord(mother)) return false;
  const int motherClass = db.GetClass(mother);
  const int daughterClass = db.GetClass(daughter);
  const int64_t motherStock = GetStockOf(db, mother, motherClass);
  const int64_t daughterStock = GetStockOf(db, daughter, daughterClass);
  const int64_t daughterTotal = StrToIntZero(db.GetField(daughter, fkTotal));
  if (clampBack && n < 0) n = -std::min<int64_t>(-n, std::max<int64_t>(daughterStock, 0));
  if (n == 0) return true;
  if (n > 0 && n > motherStock) return false;
  if (n < 0 && (-n > daughterStock || -n > daughterTotal)) return false;
  const int64_t newDaughterStock = daughterStock + n;
  const int64_t newDaughterTotal = daughterTotal + n;
  const int64_t newMotherStock = motherStock - n;
  if (newDaughterStock > std::numeric_limits<int32_t>::max() ||
      newDaughterTotal > std::numeric_limits<int32_t>::max())
    return false;
  SetStockOf(db, daughter, static_cast<int32_t>(newDaughterStock), daughterClass);
  db.SetField(daughter, fkTotal, std::to_string(newDaughterTotal));
  SetStockOf(db, mother, static_cast<int32_t>(newMotherStock), motherClass);
  return true;
}

bool MovePieces(TMiniDB& db, int32_t daughter, int64_t n, bool clampBack) {
  const int32_t mother = db.GetClass10Link(daughter);
  if (!db.HasRecord(daughter) || !db.HasRecord(mother) || mother == daughter) return false;
  TStoreWrite write(db, {mother, daughter});
  if (!write.Ok()) {
    ReportRefusedWrite(db, write);
    return false;
  }
  return MovePiecesInWrite(db, daughter, mother, n, clampBack) && write.Commit();
}

}  // namespace

bool MoveCountToCopy(TMiniDB& db, int32_t daughter, int32_t n) {
  if (n == 0) return true;
  return MovePieces(db, daughter, n, false);
}

int32_t ReturnCopyStock(TMiniDB& db, int32_t daughter, int32_t n) {
  if (n > 0) MovePieces(db, daughter, -static_cast<int64_t>(n), true);
  return StrToIntZero(db.GetField(daughter, fkTotal));
}

bool ReturnCopyStockInWrite(TStoreWrite& write, TMiniDB& db, int32_t daughter) {
  const int32_t mother = db.GetClass10Link(daughter);
  if (mother == 0 || mother == daughter) return true;  // no split copy: nothing to move
  if (!db.HasRecord(mother) || !db.HasRecord(daughter) || !write.Include({mother})) return false;
  const int64_t stock = GetStockOf(db, daughter, db.GetClass(daughter));
  if (stock <= 0) return true;
  return MovePiecesInWrite(db, daughter, mother, -stock, true);
}

// =======================================================================================
// Settings record

namespace {

std::string FormSeqText(int64_t number) {
  std::string text = std::to_string(number);
  if (text.size() < 4) text.insert(0, 4 - text.size(), '0');
  return text;
}

int64_t StoredFormSeqNo(TMiniDB& db, int32_t settings) {
  int64_t value = 0;
  if (!TryStrToInt64(db.GetField(settings, "FormSeqNo"), value) || value < 0) return 0;
  return value;
}

}  // namespace

std::string NextFormSeqNo(TMiniDB& db, bool commit) {
  const int32_t settings = db.FindOrCreateSingleton(commit);
  if (settings == 0) return {};
  if (!commit) {
    const int64_t last = StoredFormSeqNo(db, settings);
    return last == std::numeric_limits<int64_t>::max() ? std::string() : FormSeqText(last + 1);
  }
  // Reread, count up and save while holding the reservation and the record's lock: a
  // number read before the reservation could have been drawn by another station.
  TStoreWrite write(db, {settings});
  if (!write.Ok()) return {};
  const std::string number = CountUpFormSeqNo(db, settings);
  if (number.empty() || !write.Commit()) return {};
  return number;
}

std::string CountUpFormSeqNo(TMiniDB& db, int32_t settings) {
  if (settings <= 0 || !db.HasRecord(settings) || db.GetClass(settings) != clsSettings)
    return {};
  const int64_t last = StoredFormSeqNo(db, settings);
  if (last == std::numeric_limits<int64_t>::max()) return {};
  db.SetField(settings, "FormSeqNo", std::to_string(last + 1));
  return FormSeqText(last + 1);
}

std::string GetMandantName(TMiniDB& db) { return SettingsField(db, "MandantName"); }

bool EnsureMainBuilding(TMiniDB& db) {
  if (!db.Opened || !db.NewFile) return true;
  TStoreWrite write(db, {});
  if (!write.Ok()) return false;
  // Another station may have created the file meanwhile: its records count.
  if (!db.NewFile) return true;
  const bool needBuilding = db.CountClass(icBuilding) == 0;
  const bool needCabinet = db.CountClass(icCabinet) == 0;
  if (!needBuilding && !needCabinet) return true;
  if (needBuilding && db.NewNamedRecord(icBuilding, CoreText(116), "") == 0) return false;
  if (needCabinet && db.NewNamedRecord(icCabinet, CoreText(117), "") == 0) return false;
  return write.Commit();
}

std::vector<int32_t> ParsePrintFieldList(const std::string& text) {
  std::vector<int32_t> codes;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string entry = text.substr(start, end - start);
    const size_t first = entry.find_first_not_of(' ');
    entry = first == std::string::npos ? std::string() : TrimEnd(entry.substr(first));
    if (!entry.empty()) {
      const int32_t value = Hex32ToInt(entry);
      if (value & kPrintFieldMarker) codes.push_back(value & ~kPrintFieldMarker);
    }
    start = end + 1;
  }
  return codes;
}

std::string BuildPrintFieldList(const std::vector<int32_t>& codes) {
  std::string text;
  for (int32_t code : codes) {
    if (!text.empty()) text += ';';
    text += IntToHex32(code | kPrintFieldMarker, false);
  }
  return text;
}

std::string GetLendCtrlPrintFields(TMiniDB& db) {
  std::string fields = SettingsField(db, "PrtFieldsLendCtrl");
  if (fields.empty()) fields = BuildPrintFieldList({1, 2, 3, 4, 5, 6});
  return fields;
}

std::string CurrentUserDisplayName() {
  const TSession& session = Session();
  const TMiniDB* db = SessionDB();
  if (session.LoggedIn && db && session.CurrentUserId > 0) {
    std::string nice = db->ReadLineField(session.CurrentUserId, "nice");
    if (!nice.empty()) return nice;
  }
  return session.CurrentUserName;
}

// =======================================================================================
// Error and success logs

TLogFileNames& LogFileNames() {
  static TLogFileNames names;
  return names;
}

TProgramValues& ProgramValues() {
  static TProgramValues values;
  return values;
}


namespace {

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

}  // namespace

std::string FormatLogLine(double localTime, const std::string& kind, const std::string& text,
                          const std::string& detail) {
  const TDateTimeParts t = DecodeDateTime(localTime);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return std::string(stamp) + '\t' + OneLine(kind) + '\t' + OneLine(text) + '\t' +
         OneLine(detail) + "\r\n";
}

bool AppendLogLine(const std::string& fileName, const std::string& kind,
                   const std::string& text, const std::string& detail) {
  if (fileName.empty() || kind.empty() || text.empty()) return false;
  const std::string line = FormatLogLine(NowLocal(), kind, text, detail);
  int fd = -1;
  int error = PfOpenAppend(fileName, fd);
  if (error == ENOENT) {
    const size_t slash = fileName.rfind('/');
    if (slash != std::string::npos && slash > 0) PfMakeFolders(fileName.substr(0, slash + 1));
    int created = -1;
    error = PfCreateNew(fileName, 0666, created);
    if (error == 0) PfClose(created);
    // Another station may have created it first: append either way, so that neither
    // line overwrites the other.
    if (error == 0 || error == EEXIST) error = PfOpenAppend(fileName, fd);
  }
  if (error != 0) return false;
  // One write per line: lines of several stations do not interleave.
  error = PfWriteAll(fd, line.data(), line.size());
  if (PfClose(fd) != 0 && error == 0) error = EIO;
  return error == 0;
}

bool LogError(const std::string& text, const std::string& detail) {
  return AppendLogLine(LogFileNames().ErrorLogFile, "Error", text, detail);
}

bool LogFileLoadError(const std::string& fileName) {
  return LogError("File could not be loaded:", fileName);
}

bool LogOk(const std::string& text, const std::string& detail) {
  return AppendLogLine(LogFileNames().SuccessLogFile, "OK", text, detail);
}

// =======================================================================================
// Sandbox

bool IsSandboxFolderName(const std::string& name) {
  // "Sandbox " + "yyyy-mm-dd hh.nn.ss"
  static const std::string prefix = "Sandbox ";
  static const std::string pattern = "dddd-dd-dd dd.dd.dd";
  if (name.size() != prefix.size() + pattern.size()) return false;
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = name[prefix.size() + i];
    if (pattern[i] == 'd' ? (c < '0' || c > '9') : c != pattern[i]) return false;
  }
  return true;
}

bool CreateSandboxCopy(TMiniDB& db, const std::string& folder) {
  if (!db.Opened || folder.empty() || db.FileName.empty()) return false;
  std::string target = folder;
  AddBackslash(target);
  std::string own = db.DataPath;
  AddBackslash(own);
  if (target == own) return false;  // the copy must never replace the store itself
  if (PfMakeFolders(target) != 0) return false;
  int ticket = -1;
  if (!db.Reserve(ticket)) return false;
  const std::string title = db.FileName.substr(db.FileName.rfind('/') + 1);
  bool ok = db.SaveTo(target + title);
  if (ok) ok = HistoryCopyTo(target);
  db.Release(ticket);
  return ok;
}

bool EnterSandbox(TMiniDB& db) {
  std::string folder;
  if (!SandboxFolderName(folder)) return false;
  // The folder is new and ours: take it away again when it is not registered.
  if (!CreateSandboxCopy(db, folder) || !CreateMandant(folder, CoreText(81))) {
    DeleteFolderTree(folder);
    return false;
  }
  return true;
}

bool CleanupSandbox() {
  const TMandantState& state = MandantState();
  if (!state.HasCurrentMandant || !state.CurrentMandant.Active) return false;
  const TMandantInfoRec client = state.CurrentMandant;
  std::string root = state.DataRoot;
  if (root.empty()) return false;
  AddBackslash(root);
  const std::string folder = DelTrailingSlash(MandantDataFolder(&client));
  const size_t slash = folder.rfind('/');
  const std::string parent = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
  // Only a sandbox folder as this program makes them, directly below the data root: a
  // register edited by hand must never lead here to a production folder.
  TPfInfo info;
  const bool looksRight = parent == root && IsSandboxFolderName(name) &&
                          PfLstat(folder, info) == 0 &&
                          (info.kind == TPfKind::Folder || info.kind == TPfKind::Missing);
  if (!looksRight) {
    LogError("Sandbox folder not deleted:", folder);
    return false;
  }
  const bool deleted = info.kind == TPfKind::Missing || DeleteFolderTree(folder);
  if (!deleted) LogError("Sandbox folder could not be deleted:", folder);
  const bool removed = RemoveClient(client, client.ListKind);
  return deleted && removed;
}

// =======================================================================================
// Locksmith store

bool IsPlainDataFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name)
    if (c < ' ' || c == '/' || c == '\\' || c == ':') return false;
  return true;
}

namespace {

void RefuseLocksmithFileName(const std::string& fileName) {
  UI().ShowMessage(TMsgKind::Error,
                   "Der Dateiname der Schl\xFC" "sseldienst-Datenbank (LmDbFn) ist nicht "
                   "zul\xE4" "ssig, er muss eine Datei im Datenverzeichnis benennen:\r" +
                       fileName);
}

}  // namespace

TLocksmithStore::TLocksmithStore() = default;
TLocksmithStore::~TLocksmithStore() { Close(); }

bool TLocksmithStore::IsOpen() const { return store_ && store_->Opened; }

void TLocksmithStore::Close() {
  if (store_) store_->Close();
  store_.reset();
}

bool TLocksmithStore::Open(TMiniDB& db, bool create) {
  if (IsOpen()) return true;
  if (!db.Opened) return false;
  const int32_t settings = db.FindOrCreateSingleton(create);
  if (settings == 0) return false;
  std::string fileName = db.GetField(settings, "LmDbFn");
  const bool inUse = db.GetField(settings, "LmDbUse") == "1" && !fileName.empty();
  if (!inUse) {
    if (!create) return false;
    if (!fileName.empty() && !IsPlainDataFileName(fileName)) {
      RefuseLocksmithFileName(fileName);
      return false;
    }
    TStoreWrite write(db, {settings});
    if (!write.Ok()) {
      ReportRefusedWrite(db, write);
      return false;
    }
    fileName = db.GetField(settings, "LmDbFn");
    if (fileName.empty()) fileName = kLocksmithDefaultFile;
    db.SetField(settings, "LmDbUse", "1");
    db.SetField(settings, "LmDbFn", fileName);
    if (!write.Commit()) return false;
  }
  // The name comes from a record every station can edit: it may only name a file of the
  // data folder itself.
  if (!IsPlainDataFileName(fileName)) {
    RefuseLocksmithFileName(fileName);
    return false;
  }
  std::string folder = db.DataPath;
  AddBackslash(folder);
  const std::string file = folder + fileName;
  if (!create) {
    TPfInfo info;
    if (PfStat(file, info) != 0 || info.kind != TPfKind::File) return false;
  }
  auto store = std::make_unique<TMiniDB>();
  store->StationKey = db.StationKey;
  store->Registry = db.Registry;
  store->LocalNow = db.LocalNow;
  if (!store->OpenFile(file, kLocksmithAppName)) {
    store->Close();
    return false;
  }
  // A store started in memory has no file yet, and the next opening without create would
  // find none: switched on means the file is there.
  if (store->NewFile && !store->SaveTo("")) {
    store->Close();
    return false;
  }
  store_ = std::move(store);
  return true;
}

int32_t TLocksmithStore::RecordOf(TMiniDB& db, int32_t item) {
  if (!IsOpen() || !db.HasRecord(item)) return 0;
  TMiniDB& ls = *store_;
  ls.Load();
  const int32_t record = StrToIntZero(db.GetField(item, fkLocksmithID));
  if (record <= 0 || !ls.HasRecord(record) || ls.GetClass(record) != kLocksmithClass) return 0;
  // A copied item inherits "lmi": the record is the item's only when it points back.
  if (StrToIntZero(ls.GetField(record, "id1")) != item) return 0;
  return record;
}

std::string TLocksmithStore::Field(TMiniDB& db, int32_t item, const std::string& field) {
  const int32_t record = RecordOf(db, item);
  return record ? store_->GetField(record, field) : std::string();
}

bool TLocksmithStore::SetField(TMiniDB& db, int32_t item, const std::string& field,
                               const std::string& value) {
  if (!IsOpen() || !db.HasRecord(item) || field.empty()) return false;
  // The fields that tie the two records together are not for callers.
  if (AnsiSameText(field, "i") || AnsiSameText(field, "c") || AnsiSameText(field, "id1"))
    return false;
  TMiniDB& ls = *store_;
  int32_t record = RecordOf(db, item);
  if (record == 0) {
    if (value.empty()) return true;
    // An earlier attempt may have left the item's record without the item pointing at it.
    TItemList mirrors;
    ls.ListClass(kLocksmithClass, mirrors);
    for (int32_t i = 0; i < mirrors.Count() && record == 0; ++i)
      if (ls.IsValid(mirrors.Get(i)) && StrToIntZero(ls.GetField(mirrors.Get(i), "id1")) == item)
        record = mirrors.Get(i);
    if (record == 0) {
      TStoreWrite create(ls, {});
      if (!create.Ok()) {
        ReportRefusedWrite(ls, create);
        return false;
      }
      record = ls.NewNamedRecord(kLocksmithClass, db.GetField(item, fkName), "");
      if (record == 0) return false;
      ls.SetField(record, "id1", std::to_string(item));
      if (!create.Commit()) return false;
    }
    TStoreWrite link(db, {item});
    if (!link.Ok()) {
      ReportRefusedWrite(db, link);
      return false;
    }
    // Another station may have given the item its record meanwhile: use that one.
    const int32_t existing = RecordOf(db, item);
    if (existing != 0) {
      record = existing;
    } else {
      db.SetField(item, fkLocksmithID, std::to_string(record));
      if (!link.Commit()) return false;
    }
  }
  TStoreWrite write(ls, {record});
  if (!write.Ok()) {
    ReportRefusedWrite(ls, write);
    return false;
  }
  if (!ls.HasRecord(record)) return false;
  if (ls.GetField(record, field) == value) return true;
  ls.SetField(record, field, value);
  return write.Commit();
}


bool OpenLocksmithDatabase(TMiniDB& db, bool create) { return LocksmithStore().Open(db, create); }

std::string LocksmithField(TMiniDB& db, int32_t item, const std::string& field) {
  return LocksmithStore().Field(db, item, field);
}

bool SetLocksmithField(TMiniDB& db, int32_t item, const std::string& field,
                       const std::string& value) {
  return LocksmithStore().SetField(db, item, field, value);
}

// =======================================================================================
// Program values

bool WriteRegistryExecInfo() {
  TRegistryStore registry;
  bool ok = true;
  // A second instance (time travel) runs from elsewhere: the program's path stays the
  // one of the instance the user started.
  if (!CommandLine().ActAsOriginExeGiven)
    ok = registry.WriteString(TRegScope::User, kProgramRegistryKey, "Exec",
                              CommandLine().RunningExeName);
  return registry.WriteString(TRegScope::User, kProgramRegistryKey, "Ver", kRegistryVersion) &&
         ok;
}

int BackupIntervalDays(int choice) {
  switch (choice) {
    case 0: return 0;
    case 1: return 1;
    case 2: return 7;
    case 3: return 30;
    default: return 1;
  }
}

bool SetViewFlag(char letter, int mode) {
  const unsigned char code = static_cast<unsigned char>(letter);
  if (code <= ' ' || letter == '=') return false;
  if (mode < 0)
    return ReadSettingStr(kSettingsDataLevel, "SomeViews").find(letter) != std::string::npos;
  // Read and write under one reservation, the file read afresh: a flag another station
  // changed within the last seconds must not be written back away.
  TReservation reservation(MandantState().GlobalReservation());
  if (reservation.Held()) MandantState().Level1Cache.Invalidate();
  std::string flags = ReadSettingStr(kSettingsDataLevel, "SomeViews");
  const bool set = flags.find(letter) != std::string::npos;
  if ((mode > 0) == set || !reservation.Held()) return set;
  if (mode > 0) {
    if (flags.size() >= static_cast<size_t>(kMaxViewFlags)) return false;
    flags += letter;
  } else {
    flags.erase(std::remove(flags.begin(), flags.end(), letter), flags.end());
  }
  if (!WriteSetting(kSettingsDataLevel, "SomeViews", flags)) return set;
  return mode > 0;
}

bool ToggleViewFlag(char letter) {
  return SetViewFlag(letter, SetViewFlag(letter, -1) ? 0 : 1);
}
