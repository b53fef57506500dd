#pragma once
// Clients ("Mandanten"): one installation keeps the data of several clients side by side,
// each with its own record store, history, time-travel log and journal, told apart by the
// client name in file and folder names. The clients are listed in a TAB-separated register
// in the base data folder.
//
// Everything the data layer keeps about the clients and the settings stores for the whole
// run (data root, data folder in use, current client, read-only and time-travel flags, the
// settings caches, which reservation and which clock to use) lives in one TMandantState.
// The program uses the one that MandantState() returns; a test installs its own with
// TMandantStateScope, and two states on one temporary folder act as two workstations.
//
// Use from one thread.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "basic/SLUnit.h"
#include "data/AccessProtection.h"

// One client. The register lists them; the first entry of a loaded register is its header
// (the "default client"): the login list takes its column captions from it and never
// offers it as a choice.
struct TMandantInfoRec {
  std::string Name;        // at most 31 characters; empty for the default client
  std::string Title;       // the client's title as shown in lists
  std::string Text2;
  std::string Text3;
  std::string DataFolder;  // empty: the data root; relative: below the data root
  std::uint8_t ListKind = 0;  // the register the record belongs to (0 = automatic)
  bool Active = false;        // marks a sandbox copy
};
using TMandantList = std::vector<TMandantInfoRec>;

constexpr int kMaxClientNameLength = 31;
// The register of list kind 0, in the data root.
inline constexpr const char* kAutomaticRegisterName = "automaticRegister.csv";

// LoadClientList results.
constexpr int lclRead = 0;
constexpr int lclMissing = 1;
constexpr int lclReadError = 2;

// A settings store as last read: its lines, the file (or registry value) they came from
// and when, on the state's monotonic clock, they were read.
struct TSettingsCache {
  TQStringList Lines;
  std::string FileName;
  bool Stamped = false;
  std::int64_t StampMs = 0;

  void Invalidate() { Stamped = false; }
};

// Milliseconds of a clock that never goes back; tests install one they advance by hand.
using TMonotonicClock = std::function<std::int64_t()>;

class TMandantState {
 public:
  // How long a settings cache is used before the store is read again.
  static constexpr std::int64_t kCacheLifetimeMs = 5000;

  std::string DataRoot;   // the base data folder, with a trailing "/"
  std::string DataPath;   // the data folder in use, with a trailing "/"
  bool HasCurrentMandant = false;
  TMandantInfoRec CurrentMandant;

  bool ReadOnlyMode = false;    // nothing of the data folder may be written in this run
  bool TimeTravelMode = false;  // the data is shown as it was on an earlier date
  double TimeTravelDate = 0;    // that date (UTC date-time) while TimeTravelMode is set
  bool SandboxMode = false;     // the open client is a sandbox copy (its record's Active)

  // The program-level settings file. Empty until first use, then fixed: the program file
  // this process acts for with the extension ".ini". A test sets it beforehand.
  std::string ProgramIniName;
  // The register of list kind 1; empty when there is none.
  std::string SecondRegisterName;

  // The reservation registry whose default instance guards the shared files (null: the
  // program's, AccessProtections()).
  TAccessProtectionRegistry* Reservations = nullptr;
  // Null: the system's steady clock.
  TMonotonicClock MonotonicMs;

  TSettingsCache Level1Cache;      // settings file of the data folder
  TSettingsCache Level0Cache;      // settings file beside the program
  TSettingsCache RegMachineCache;  // registry text "ini", machine-wide
  TSettingsCache RegUserCache;     // registry text "ini", this user's

  TAccessProtection& GlobalReservation() const;
  std::int64_t NowMs() const;
  // A cache read less than kCacheLifetimeMs ago from the same file.
  bool IsFresh(const TSettingsCache& cache, const std::string& fileName) const;
  void Stamp(TSettingsCache& cache) const;
  // Forgets what every cache holds (e.g. when another client's data is opened).
  void InvalidateCaches();
};

// The state in force (never null).
TMandantState& MandantState();

// Installs `state` (not owned) as the state in force for the lifetime of the scope.
class TMandantStateScope {
 public:
  explicit TMandantStateScope(TMandantState& state);
  ~TMandantStateScope();
  TMandantStateScope(const TMandantStateScope&) = delete;
  TMandantStateScope& operator=(const TMandantStateScope&) = delete;

 private:
  TMandantState* previous_;
};

// ---------------------------------------------------------------------------------------
// Names and derived names.

// At most 31 characters, each a letter A-Z or a-z, a digit, "-", "." or a character of
// code 192..255. The empty name (default client) is valid.
bool IsValidClientName(const std::string& name);

// Title of the client's record store: "Data", or "Data-" + name.
std::string MandantDataFolderName(const std::string& name);

// The client's data folder: its DataFolder made absolute against the data root, with a
// trailing "/"; the data root when DataFolder is empty or there is no record.
std::string MandantDataFolder(const TMandantInfoRec* rec);

// The client's own subfolder S ("TimeTravel", "Transactions", "ImportJournal"): client
// data folder + S (one leading and one trailing "/" dropped) + "-" + name when the client
// has a name, + "/". Without a subfolder: the client data folder.
void MandantDataPath(const TMandantInfoRec* rec, const std::string& subfolder,
                     std::string& path);

// File-name prefix of the client's history: "Log", or "Log-" + name + " ".
std::string MandantHistoryPrefix(const std::string& name);

// The client's key: name + TAB + client data folder. Two records stand for the same client
// when their keys are equal ignoring case.
std::string MandantKey(const TMandantInfoRec& rec);
bool SameMandantKey(const TMandantInfoRec& a, const TMandantInfoRec& b);

// True for the default client as the program makes it: no name and no data folder.
bool IsPlainDefaultClient(const TMandantInfoRec& rec);

// ---------------------------------------------------------------------------------------
// Registers.

// The register file of a list kind: the data root + "automaticRegister.csv" for kind 0,
// the state's second register name for kind 1; empty for any other kind.
std::string ClientRegisterFileName(int listKind);

// Reads the register and appends its clients (lclRead, lclMissing, lclReadError). A
// register that cannot be read leaves the list as it was. When the list then holds only
// the plain default client, it is emptied: a register without clients offers no choice.
// With skipHeader the register's first entry (its header) is not appended.
int LoadClientList(int listKind, TMandantList& list, bool skipHeader = false);

// Writes the register of that kind (safe save, under the global reservation). For kind 0
// a list that is empty or holds only the plain default client deletes the register file
// instead. False when the reservation, the write or the deletion failed.
bool SaveClientList(const TMandantList& list, int listKind);

// Under the global reservation: reads the register, adds the record unless a client with
// its key is listed (a default client titled "Title" goes first into an empty register)
// and saves. True when the client is listed afterwards. A register that cannot be read is
// not rewritten (false).
bool AddClient(const TMandantInfoRec& rec, int listKind);

// Under the global reservation: reads the register, removes the client with the record's
// key (never the header) and saves. True when it was removed.
bool RemoveClient(const TMandantInfoRec& rec, int listKind);

// The clients of both registers at start-up: list kind 1, then kind 0 (its header skipped
// when kind 1 gave clients). When only kind 0 gave clients, the data root itself is offered
// as a default client titled `rootTitle` unless a client already stands for it.
void LoadClientRegisters(TMandantList& list, const std::string& rootTitle);
// The same with the core text "Original-Datenbank" as the root title.
void LoadClientRegisters(TMandantList& list);

// A new client for a sandbox copy in `dataFolder`: the current client (or the default
// client) with list kind 0, `Title` = current title + " " + `sandboxWord` in upper case,
// trimmed, and marked active; added with AddClient. On success its key becomes the
// per-user registry value "LastSubscriber".
bool CreateMandant(const std::string& dataFolder, const std::string& sandboxWord);
// The same with the core text "Sandkasten" as the sandbox word.
bool CreateMandant(const std::string& dataFolder);

// Creates the folder for a sandbox copy: data root + "Sandbox " + local time
// "yyyy-mm-dd hh.nn.ss" + "/". False and an empty name when that folder already exists or
// cannot be created.
bool SandboxFolderName(std::string& folder);
