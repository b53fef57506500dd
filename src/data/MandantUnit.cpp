#include "data/MandantUnit.h"

#include <chrono>
#include <cstdio>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/RegistryUnit.h"
#include "basic/ValueString.h"
#include "data/UnitTR100.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

// ---------------------------------------------------------------------------------------
// State

TAccessProtection& TMandantState::GlobalReservation() const {
  return (Reservations ? *Reservations : AccessProtections()).Default();
}

std::int64_t TMandantState::NowMs() const {
  if (MonotonicMs) return MonotonicMs();
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool TMandantState::IsFresh(const TSettingsCache& cache, const std::string& fileName) const {
  if (!cache.Stamped || cache.FileName != fileName) return false;
  const std::int64_t age = NowMs() - cache.StampMs;
  return age >= 0 && age < kCacheLifetimeMs;
}

void TMandantState::Stamp(TSettingsCache& cache) const {
  cache.Stamped = true;
  cache.StampMs = NowMs();
}

void TMandantState::InvalidateCaches() {
  Level1Cache.Invalidate();
  Level0Cache.Invalidate();
  RegMachineCache.Invalidate();
  RegUserCache.Invalidate();
}

namespace {
TMandantState& ProgramState() {
  static TMandantState state;
  return state;
}
TMandantState* installedState = nullptr;
}  // namespace

TMandantState& MandantState() { return installedState ? *installedState : ProgramState(); }

TMandantStateScope::TMandantStateScope(TMandantState& state) : previous_(installedState) {
  installedState = &state;
}

TMandantStateScope::~TMandantStateScope() { installedState = previous_; }

// ---------------------------------------------------------------------------------------
// Names

namespace {

// One leading and one trailing "/" (or "\") dropped.
std::string StripOneSlash(const std::string& text) {
  std::string s = text;
  if (!s.empty() && (s.front() == '/' || s.front() == '\\')) s.erase(0, 1);
  if (!s.empty() && (s.back() == '/' || s.back() == '\\')) s.pop_back();
  return s;
}

}  // namespace

bool IsValidClientName(const std::string& name) {
  if (name.size() > static_cast<std::size_t>(kMaxClientNameLength)) return false;
  for (unsigned char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '.' || c >= 192;
    if (!ok) return false;
  }
  return true;
}

std::string MandantDataFolderName(const std::string& name) {
  return name.empty() ? std::string("Data") : "Data-" + name;
}

std::string MandantDataFolder(const TMandantInfoRec* rec) {
  std::string root = MandantState().DataRoot;
  AddBackslash(root);
  if (!rec || rec->DataFolder.empty()) return root;
  std::string folder = rec->DataFolder;
  MakeAbsolutePath(root, folder);
  AddBackslash(folder);
  return folder;
}

void MandantDataPath(const TMandantInfoRec* rec, const std::string& subfolder,
                     std::string& path) {
  path = MandantDataFolder(rec);
  const std::string sub = StripOneSlash(subfolder);
  if (sub.empty()) return;
  path += sub;
  if (rec && !rec->Name.empty()) path += "-" + rec->Name;
  path += '/';
}

std::string MandantHistoryPrefix(const std::string& name) {
  return name.empty() ? std::string("Log") : "Log-" + name + " ";
}

std::string MandantKey(const TMandantInfoRec& rec) {
  return rec.Name + '\t' + MandantDataFolder(&rec);
}

bool SameMandantKey(const TMandantInfoRec& a, const TMandantInfoRec& b) {
  return AnsiSameText(MandantKey(a), MandantKey(b));
}

bool IsPlainDefaultClient(const TMandantInfoRec& rec) {
  return rec.Name.empty() && rec.DataFolder.empty();
}

// ---------------------------------------------------------------------------------------
// Registers

std::string ClientRegisterFileName(int listKind) {
  const TMandantState& state = MandantState();
  if (listKind == 0) {
    if (state.DataRoot.empty()) return std::string();
    std::string root = state.DataRoot;
    AddBackslash(root);
    return root + kAutomaticRegisterName;
  }
  if (listKind == 1) return state.SecondRegisterName;
  return std::string();
}

namespace {

// The register's entries as they stand in the file, header first; nothing else applied.
int ReadRegister(int listKind, TMandantList& list, bool skipHeader) {
  const std::string fileName = ClientRegisterFileName(listKind);
  if (fileName.empty()) return lclMissing;
  std::vector<std::string> lines;
  const int loaded = LoadTextFile(fileName, lines);
  if (loaded == ltfMissing) return lclMissing;
  if (loaded != ltfRead) return lclReadError;

  TMandantList read;
  bool first = true;
  // Line 1 is left empty by the writer and never read.
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string line = TrimEnd(lines[i]);
    if (line.empty()) continue;
    TMandantInfoRec rec;
    rec.Name = Trim(FetchTabField(line));
    rec.Title = Trim(FetchTabField(line));
    rec.Text2 = Trim(FetchTabField(line));
    rec.Text3 = Trim(FetchTabField(line));
    rec.DataFolder = Trim(FetchTabField(line));
    rec.Active = Trim(FetchTabField(line)) == "1";
    rec.ListKind = static_cast<std::uint8_t>(listKind);
    if (first) {
      // The header may carry any name: it is a caption, not a client.
      first = false;
      if (rec.Name.size() > static_cast<std::size_t>(kMaxClientNameLength))
        rec.Name.resize(static_cast<std::size_t>(kMaxClientNameLength));
      if (!skipHeader) read.push_back(std::move(rec));
      continue;
    }
    if (!IsValidClientName(rec.Name)) continue;
    read.push_back(std::move(rec));
  }
  list.insert(list.end(), read.begin(), read.end());
  return lclRead;
}

// Tabs and line ends inside a field would shift or split the register's columns.
std::string RegisterField(const std::string& text) {
  std::string s = text;
  for (char& c : s)
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  return s;
}

// The index of the client (never the header) with the record's key; -1 when none.
int FindClient(const TMandantList& list, const TMandantInfoRec& rec) {
  const std::string key = MandantKey(rec);
  for (std::size_t i = 1; i < list.size(); ++i)
    if (AnsiSameText(MandantKey(list[i]), key)) return static_cast<int>(i);
  return -1;
}

bool OnlyPlainDefault(const TMandantList& list) {
  return list.empty() || (list.size() == 1 && IsPlainDefaultClient(list.front()));
}

// The login list preselects the client last chosen or created by this user.
bool WriteLastSubscriber(const std::string& key) {
  return RegWriteString(false, "LastSubscriber", key);
}

}  // namespace

int LoadClientList(int listKind, TMandantList& list, bool skipHeader) {
  const int result = ReadRegister(listKind, list, skipHeader);
  if (result != lclRead) return result;
  // A register holding nothing but the default client lists no client to choose. A single
  // entry that names a client or a folder is kept, so that its folder is never silently
  // exchanged for the data root.
  if (list.size() == 1 && IsPlainDefaultClient(list.front())) list.clear();
  return result;
}

bool SaveClientList(const TMandantList& list, int listKind) {
  const std::string fileName = ClientRegisterFileName(listKind);
  if (fileName.empty()) return false;
  TReservation reservation(MandantState().GlobalReservation());
  if (!reservation.Held()) return false;
  if (listKind == 0 && OnlyPlainDefault(list)) return DeleteFileForce(fileName);

  std::vector<std::string> lines;
  lines.reserve(list.size() + 1);
  lines.emplace_back();
  for (const TMandantInfoRec& rec : list) {
    lines.push_back(RegisterField(rec.Name) + '\t' + RegisterField(rec.Title) + '\t' +
                    RegisterField(rec.Text2) + '\t' + RegisterField(rec.Text3) + '\t' +
                    RegisterField(rec.DataFolder) + '\t' + (rec.Active ? "1" : "0"));
  }
  return SaveTextFileSafe(lines, fileName, true);
}

bool AddClient(const TMandantInfoRec& rec, int listKind) {
  TReservation reservation(MandantState().GlobalReservation());
  if (!reservation.Held()) return false;
  TMandantList list;
  if (ReadRegister(listKind, list, false) == lclReadError) return false;
  if (list.empty()) {
    TMandantInfoRec header;
    header.Title = "Title";
    header.ListKind = static_cast<std::uint8_t>(listKind);
    list.push_back(header);
  }
  if (FindClient(list, rec) >= 0) return true;
  list.push_back(rec);
  list.back().ListKind = static_cast<std::uint8_t>(listKind);
  return SaveClientList(list, listKind);
}

bool RemoveClient(const TMandantInfoRec& rec, int listKind) {
  TReservation reservation(MandantState().GlobalReservation());
  if (!reservation.Held()) return false;
  TMandantList list;
  if (ReadRegister(listKind, list, false) != lclRead) return false;
  const int index = FindClient(list, rec);
  if (index < 1) return false;
  list.erase(list.begin() + index);
  return SaveClientList(list, listKind);
}

void LoadClientRegisters(TMandantList& list, const std::string& rootTitle) {
  list.clear();
  LoadClientList(1, list);
  const bool firstGaveClients = !list.empty();
  LoadClientList(0, list, firstGaveClients);
  if (firstGaveClients || list.empty()) return;
  TMandantInfoRec root;
  root.Title = rootTitle;
  if (FindClient(list, root) < 0) list.push_back(root);
}

bool CreateMandant(const std::string& dataFolder, const std::string& sandboxWord) {
  const TMandantState& state = MandantState();
  TMandantInfoRec rec = state.HasCurrentMandant ? state.CurrentMandant : TMandantInfoRec();
  rec.ListKind = 0;
  rec.Title = Trim(rec.Title + " " + AnsiUpperCase(sandboxWord));
  rec.DataFolder = dataFolder;
  rec.Active = true;
  if (!AddClient(rec, 0)) return false;
  WriteLastSubscriber(MandantKey(rec));
  return true;
}

bool SandboxFolderName(std::string& folder) {
  folder.clear();
  std::string root = MandantState().DataRoot;
  if (root.empty()) return false;
  AddBackslash(root);
  const TDateTimeParts t = DecodeDateTime(NowLocal());
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d.%02d.%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  const std::string candidate = root + "Sandbox " + stamp;
  // A folder of that name belongs to an earlier copy: never write into it.
  TPfInfo info;
  if (PfLstat(candidate, info) != 0 || info.kind != TPfKind::Missing) return false;
  if (PfMakeFolders(candidate) != 0) return false;
  folder = candidate + "/";
  return true;
}

void LoadClientRegisters(TMandantList& list) { LoadClientRegisters(list, CoreText(123)); }

bool CreateMandant(const std::string& dataFolder) { return CreateMandant(dataFolder, CoreText(81)); }
