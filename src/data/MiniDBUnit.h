#pragma once
// TMiniDB: the record store. All records of one client live in one text file (".ada") that
// several workstations open at the same time from a shared folder. The store keeps every
// line of the file in memory, lets callers edit one record at a time ("the current record")
// and rewrites the whole file after each stored change.
//
// Sharing rules this class keeps, whatever the caller does:
// - Every write happens under the write reservation; right before writing, a file that
//   another station saved meanwhile is read again and this station's changed lines are put
//   on top of it, so a save never drops another station's records and a reread never drops
//   this station's unsaved changes.
// - A new ID is taken from the freshest file under the reservation and written at once
//   (unless this station holds exclusive access), so two stations never hand out one ID.
// - A store whose file could not be read, or whose file vanished after it was read, never
//   writes again and says so at every save attempt.
//
// Single-threaded. Messages go through UI(); the store never asks a question.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

#include "basic/SLUnit.h"
#include "data/AccessProtection.h"
#include "data/ItemList.h"
#include "data/ItemsLock.h"

// ---------------------------------------------------------------------------------------
// Load results of TMiniDB::Load.
constexpr int ldUnchanged = 0;   // nothing read: file unchanged (or still missing for a new store)
constexpr int ldRead = 1;        // file read
constexpr int ldNewStore = 2;    // file missing: a new store was started in memory
constexpr int ldNoAccess = 3;    // no write reservation, or the data folder could not be made
constexpr int ldReadError = 4;   // unreadable or wrong format: the store is read-only
constexpr int ldNotOpen = 5;     // store not open

// Link kinds that are no record classes: the mother of a split record, and her daughters.
constexpr int lkMother = 10;
constexpr int lkDaughters = 11;

// The class of the one settings record of a client.
constexpr int clsSettings = 12;

// The highest record ID a store accepts; anything above marks a damaged file.
constexpr int32_t kMaxRecordID = 1 << 26;
// How far an ID (or the "LastID" header) may lie beyond the file's line count before the
// file counts as damaged: IDs are handed out one by one and every record keeps its line.
constexpr int32_t kMaxIDBeyondLines = 1000000;

// ---------------------------------------------------------------------------------------
// The store's message table "MultiItemsDB" (entry 0 the table's name, 1-9 the German
// texts), registered with the language system; the one place these texts live.
constexpr int kMultiItemsDBCount = 12;
// The text with that number in the current language ("#13#" turned into CR); empty for
// unknown numbers.
std::string MultiItemsDBText(int number);
// Tells the user once per file and run about saves whose folder could not be synced
// (TakeUnsyncedSaves): the data is saved, only its survival of a power cut is uncertain.
// Called when a store lets its reservation go, so nobody waits while the user reads.
void TellUnsyncedSaves();
// The same with every "%1" replaced by `arg`.
std::string MultiItemsDBTextFmt(int number, const std::string& arg);

// ---------------------------------------------------------------------------------------
// What identifies one version of the file on disk. A save replaces the file by a rename, so
// the inode changes even when two saves fall into one tick of a coarse clock and the size
// stays the same.
struct TFileStamp {
  bool exists = false;
  int64_t mtimeNs = 0;
  int64_t size = 0;
  uint64_t inode = 0;
  uint64_t device = 0;
  bool operator==(const TFileStamp&) const = default;
};
TFileStamp GetFileStamp(const std::string& fileName);

// ---------------------------------------------------------------------------------------
// Record lines.

// True for the fields stored without rotation: "i", "c", "v" and the link lists "l" + kind.
bool IsPlainField(std::string_view key);
// True when `key` names a link list ("l" or "L", then only digits, kind below 256); the
// kind in `kind`.
bool IsLinkField(std::string_view key, int& kind);
// A value as it may be stored: CR, LF, NUL and 0x1A (which would end the line or the file)
// become blanks.
std::string SanitizeValue(std::string value);
// The comma text of a record's fields, safe to store as one line of the file.
std::string BuildRecordLine(const TQStringList& fields);

// What the index needs from one record line.
struct TLineInfo {
  int32_t id = 0;          // "i" as a number; 0 when missing or not a number
  int32_t cls = 0;         // "c" when in 0..255, else 0
  bool valid = true;       // "v" is not "0"
  bool hasName = false;
  std::string rawName;     // "n" as stored (rotated)
};
// Reads a record line's "i", "c", "v" and "n" (field names compared ignoring ASCII case,
// the first occurrence counts) by the comma-text rules, in one pass without splitting the
// line. `items` is scratch space the caller may reuse.
void ScanRecordLine(std::string_view line, std::vector<std::string>& items, TLineInfo& info);

// ---------------------------------------------------------------------------------------
// Per-class name callbacks. NameFunc computes a record's name from its fields (default: the
// unrotated "n"); NameFunc2 its display name for a style (default: the name). Both get the
// store whose record they name, for what the name needs of other records (a door's
// building, a key's locking system); they read it only through the reads without side
// effects.
class TMiniDB;
class TBulkWrite;
using TNameFunc = void (*)(const TMiniDB& db, int32_t id, const TQStringList& fields,
                           std::string& name);
using TNameFunc2 = void (*)(const TMiniDB& db, int32_t id, const TQStringList& fields,
                            uint8_t style, std::string& text);
// The state of what the name functions read besides the store (say, the client's
// locking-system names): a value that changes whenever that does.
using TNamesInputFunc = uint64_t (*)();

// What the store tells a change log (the time-back log implements it). Every call comes
// while the store holds its write reservation, so the copy, the save and the log lines of
// one station never interleave with another station's.
//
// A change reaches the log only once it is on disk: a record stored into the lines waits
// until a save of the file succeeds, and a save that fails logs nothing.
class TRecordLogHook {
 public:
  virtual ~TRecordLogHook() = default;
  // The UTC date-time under which the changes of one save (and the copy made before it)
  // are logged; asked once per save.
  virtual double ChangeTime() = 0;
  // Before a save at `utc`: the name of a copy to make of the store file as it is on disk
  // now (the state before this save's changes), or "" when none is needed.
  virtual std::string CopyNeeded(double utc) = 0;
  // The copy named by CopyNeeded(utc) has been written.
  virtual void CopyWritten(double utc) = 0;
  // After the save succeeded: one call per saved record, in the order the records were
  // stored, with the line as it is now in the file. Only for a save that PrepareSaved
  // did not take whole.
  virtual void ChangeSaved(int32_t id, const std::string& line, double utc) = 0;

  // A save's records at once, for a log that writes them in one piece and can complete
  // that piece should the program die between the save and the log's write.
  //
  // PrepareSaved, before the save at `utc`, with the records in the order they were
  // stored and the lines the save writes: the hook builds its entry and returns a text
  // that the save carries in the store header kChangeLogPendingHeader ("" = not taken:
  // the records go to ChangeSaved after the save). WritePrepared, after the save
  // succeeded, writes the entry. SettlePrepared gets such a header of an earlier save and
  // the store's lines (`lineOf`: null for a missing record): the entry is completed when
  // the file lacks it or part of it, and nothing is written when the store's lines are no
  // longer the ones that save wrote. False when something could not be written.
  virtual std::string PrepareSaved(const std::vector<std::pair<int32_t, const std::string*>>&,
                                   double /*utc*/) {
    return {};
  }
  virtual bool WritePrepared() { return true; }
  virtual bool SettlePrepared(const std::string& /*header*/,
                              const std::function<const std::string*(int32_t)>& /*lineOf*/) {
    return true;
  }
};

// The store header naming the change-log entry of the last save that had one (see
// TRecordLogHook::PrepareSaved).
inline constexpr char kChangeLogPendingHeader[] = "ChangeLogPending";

// One replayed change, for the change log viewer. `text` holds the changed fields as a
// comma text (values as stored, i.e. rotated): a removed field as "(entfernt)", the value
// a changed field had before as name + "_old"; unchanged fields are left out.
struct TChangeEntry {
  int32_t id = 0;
  int32_t keySystem = 0;  // the new text's unrotated "ks" as a number
  int32_t userID = 0;
  uint8_t cls = 0;        // the new text's "c"
  double time = 0;        // UTC date-time of the change
  std::string text;
};
using TChangeList = std::vector<TChangeEntry>;

class TMiniDB {
 public:
  TMiniDB();
  ~TMiniDB();
  TMiniDB(const TMiniDB&) = delete;
  TMiniDB& operator=(const TMiniDB&) = delete;

  // Every live store, in creation order (freed ones leave no entry).
  static const std::vector<TMiniDB*>& Instances();

  // ----- state (read freely; change only the flags marked "caller") ---------------------
  std::vector<std::string> Lines;   // every line of the file, the 0x01 line first
  TQStringList Current;             // fields of the current record, one "key=value" each
  int32_t LastID = 0;               // highest ID handed out
  int32_t CurrentID = 0;            // ID in Current, 0 = none
  bool CurrentModified = false;
  bool LoadErrorReadOnly = false;   // the file could not be read: never written
  bool Modified = false;            // lines changed that are not yet saved
  TFileStamp FileTime;              // the file as last read or written by this store
  std::string AppName;
  std::vector<int32_t> IndexLine;   // line number by ID, -1 = none; size LastID + 1
  std::vector<uint8_t> ClassOf;     // class by ID, 0 = none
  bool Opened = false;
  bool NoSave = false;              // caller: a store that must never write (read-only use)
  std::string DataPath;             // with a trailing "/"
  std::string FileTitle;
  std::string Ext = ".ada";
  std::string FileName;
  TRecordLogHook* TimebackLog = nullptr;  // caller: the time-back log (not owned), or null
  int32_t SingletonID = 0;          // cached ID of the class-12 record
  TAccessProtection* AccessProtection = nullptr;
  std::unique_ptr<TItemsLock> ItemsLock;
  std::array<TNameFunc, 256> NameFunc{};   // caller
  std::array<TNameFunc2, 256> NameFunc2{};
  TNamesInputFunc NamesInput = nullptr;  // caller; null: the names read only the store
  // Records per class found by the last listing, -1: a hint for the size of the next.
  mutable std::array<int32_t, 256> ClassCount;
  std::vector<std::string> Names;   // name by ID
  std::vector<std::string> Names2;  // display name by ID
  std::vector<uint8_t> Valid;       // 1 = valid, by ID
  bool NewFile = false;             // the file did not exist when the store was opened
  int OpenResult = ldNotOpen;       // the load result of the last Open (ldRead .. ldNotOpen)
  // When the last load found no reservation (ldNoAccess) because the lock file (".wpf")
  // itself could not be used, its errno (EISDIR: a folder in its place; EACCES: no rights);
  // 0 when another station held it, or when there was no such failure. Waiting helps only
  // in the first case.
  int LockFileError = 0;
  // The errno of the last save that failed (0 after a save that worked).
  int LastSaveError = 0;
  bool SavedOnce = false;
  int32_t LoadCount = 0;            // completed reads
  // Changes with every load and every change of a line, a field of the record being
  // edited, a class, a validity or a name. The values come from one counter of the whole
  // process, so no two states of any two stores share one: a cache that keeps the value
  // it was built on is stale exactly when the value differs.
  uint64_t ChangeCount() const { return changeCount_; }
  bool AutoSave = true;             // caller: store changes are saved at once
  // The station key used for record locks; empty = the program's one. Set before Open.
  std::string StationKey;
  // The reservations this store takes part in; null = the program's. Set before Open
  // (a test gives each simulated workstation its own).
  TAccessProtectionRegistry* Registry = nullptr;
  // The local date-time (days since 1899-12-30) for new GUIDs; replaceable in tests.
  std::function<double()> LocalNow;

  // ----- opening and saving -------------------------------------------------------------
  // Closes first, then opens folder + title + extension (".adaX" when only that exists).
  // True when the load result is below 3. When the record-lock file already lists this
  // station key (InUseAtOpen: another running copy under the same key), that entry is
  // kept as it is and the store opens never to save (NoSave).
  bool Open(const std::string& dataPath, const std::string& fileTitle,
            const std::string& appName);
  bool OpenFile(const std::string& fileName, const std::string& appName);
  // Reads the bytes of a store file as Open reads the file, with no file behind the store:
  // it holds the records as an opened store would, but stays closed and never saves (the
  // operations that need the file, as NewRecord, do nothing). For checking the reader on
  // arbitrary files without a disk. ldRead, or ldReadError (the store empty and
  // LoadErrorReadOnly set, with the message Load gives) for bytes that Open refuses as
  // damaged or of another format.
  int LoadFromBytes(const std::string& bytes);
  // The record-lock file listed this station key already when the store was opened.
  bool InUseAtOpen() const { return ItemsLock && ItemsLock->InUseAtOpen(); }
  // Saves pending changes, drops this station's record locks, clears everything.
  void Close();
  // Reads the file again when it changed; ldUnchanged .. ldNotOpen.
  int Load();
  // Writes the file when lines changed. True when nothing is left unsaved.
  bool SaveIfModified();
  // Stores the current record when changed, then saves when modified.
  bool Commit();
  // Stores and saves, then writes the lines to `fileName` (own file when empty).
  bool SaveTo(const std::string& fileName);
  std::string GetHeaderValue(const std::string& name) const;
  // The header's pending history lines (TStoreWrite) that this station knows are in the
  // history file: a later write need not look for them.
  std::string SettledHistoryHeader;
  // The change-log header (kChangeLogPendingHeader) this station knows to be settled.
  std::string SettledChangeLogHeader;
  // Stores the current record, sets the header line (appended when missing) and saves.
  // A line that the store's own line reader would take for a record ("Foo" = "a,i=7"
  // reads back as record 7) is refused before anything happens: false, nothing stored,
  // nothing written, and HeaderValueRefused tells the refusal from a failed save.
  bool SetHeaderValue(const std::string& name, const std::string& value);
  // The same without the save: the header line goes with the store's next save. False
  // (nothing changed) when SetHeaderValue would refuse it.
  bool SetHeaderValueUnsaved(const std::string& name, const std::string& value);
  // Takes back a header line set here and not saved yet: the file's line counts again.
  void ForgetHeaderChange(const std::string& name);
  // True when SetHeaderValue refuses this name and value: an empty name or one with "=",
  // or a header line that reads as a record line.
  static bool HeaderValueRefused(const std::string& name, const std::string& value);
  // Room for `count` more records (only used above 4).
  void PrepareNew(int32_t count);
  // Writes Current back into its line (after rereading) and saves when AutoSave is on.
  bool StoreCurrent();
  // True while the record carries a change of this station that no save has put on disk.
  bool HasUnsavedChange(int32_t id) const;
  // Forgets that the record was changed here, so that the next reread takes the file's
  // line. Only for a record whose line was put back to what the file holds (a write taken
  // back): kept, the old line would go on top of another station's later change.
  void ForgetUnsavedChange(int32_t id);

  // ----- reads without side effects ---------------------------------------------------
  // None of these selects a record, stores, rereads or saves anything, so a list, a
  // relation query, a search or a printout never writes: they read through these. The
  // record being edited is read with its unsaved fields. An ID without a line gives empty,
  // 0 or false. (GetClass, IsValid and the display names below are of this kind too.)
  //
  // A field as GetField gives it (unrotated unless the field is stored plain).
  std::string ReadLineField(int32_t id, std::string_view key) const;
  // Several fields in one reading of the line: values[i] for keys[i].
  void ReadLineFields(int32_t id, const std::string_view* keys, std::string* values,
                      size_t count) const;
  // The record's fields, one "key=value" each, values as stored; false without a line.
  bool ReadRecord(int32_t id, TQStringList& fields) const;
  // The name "n", unrotated.
  std::string ReadName(int32_t id) const;
  // "ks" as a number when it is at least 1, else 0.
  int32_t ReadKeySystem(int32_t id) const;
  // The link list of a kind as stored, its IDs, its first ID, its only ID (0 when it has
  // none or several), whether it holds `target`.
  std::string ReadLinkText(int32_t id, int kind) const;
  void ReadLinks(int32_t id, int kind, TItemList& list) const;
  int32_t ReadFirstLink(int32_t id, int kind) const;
  int32_t ReadOnlyLink(int32_t id, int kind) const;
  bool ReadHasLink(int32_t id, int kind, int32_t target) const;
  // How many IDs above 0 the list holds (as CountValidLinks).
  int32_t ReadLinkCount(int32_t id, int kind) const;
  // A value stored on the link to `other` (as GetLinkValue).
  std::string ReadLinkValue(int32_t id, int32_t other, const std::string& name) const;
  // Asks the processor to fetch the record's line and display name: a walk over thousands
  // of records calls it a few records ahead of the one it reads.
  void PrefetchRecord(int32_t id) const;

  // ----- records and fields (an ID without a line is ignored: empty, 0 or false) -------
  // The selecting API, for editing: reading a field selects its record as the current
  // one, which first stores the record edited before (and saves it when AutoSave is on).
  bool SelectRecord(int32_t id);
  bool HasRecord(int32_t id) const;
  std::string GetField(int32_t id, const std::string& key);
  std::string GetFieldChar(int32_t id, char key);
  void SetField(int32_t id, const std::string& key, const std::string& value);
  void SetFieldIfEmpty(int32_t id, const std::string& key, const std::string& value);
  void SetFieldIfGiven(int32_t id, const std::string& key, const std::string& value);
  void DeleteField(int32_t id, const std::string& key);
  // The record's comma text as stored.
  std::string GetRecordText(int32_t id);
  // Replaces all fields by those of `text` (its "c" must be 1..255; a missing record is
  // created with that class). False when nothing was changed.
  bool PutRecordText(int32_t id, const std::string& text);
  void GetRecordLines(int32_t id, TQStringList& fields);
  int GetClass(int32_t id) const;
  bool IsValid(int32_t id) const;
  std::string GetName(int32_t id);
  std::string GetValidName(int32_t id);
  std::string GetRemark(int32_t id);
  int32_t GetKeySystem(int32_t id);
  int32_t GetKeySystemRaw(int32_t id);
  void SetKeySystem(int32_t id, int32_t code);
  // A value inside the record's "ini" comma text; ID 0 = the settings record.
  std::string GetIniText(int32_t id, const std::string& name);
  void SetIniValue(int32_t id, const std::string& name, const std::string& value);

  // ----- names ----------------------------------------------------------------------------
  std::string GetDisplayName(int32_t id) const;
  // The same without a copy; valid until the names change (empty for an unknown ID).
  const std::string& DisplayNameOf(int32_t id) const;
  std::string GetValidDisplayName(int32_t id) const;
  // The display name of a style through the class's NameFunc2; false without a line (or,
  // with validOnly, for a deleted record). Reads without side effects.
  bool BuildDisplayName(int32_t id, bool validOnly, std::string& text, uint8_t style) const;
  void RefreshName(int32_t id);
  // Computes every display name, unless nothing they are made of changed since it last did:
  // not the store (ChangeCount), nor the name functions, nor what NamesInput tells.
  void RefreshAllNames();
  void SetNameFunc(int cls, TNameFunc2 func);
  void SetNameFuncQuiet(int cls, TNameFunc2 func);
  // Display names of the valid records of the class with their IDs as objects, ID order.
  void FillStringsByClass(TQStringList& list, int cls) const;

  // ----- creating, listing, finding ---------------------------------------------------------
  int32_t NewRecord(int cls);
  int32_t NewNamedRecord(int cls, const std::string& name, const std::string& name2);
  bool CreateWithID(int32_t id, int cls);
  void ListClass(int cls, TItemList& list) const;
  void ListClassValid(int cls, TItemList& list) const;
  void ListAll(TItemList& list, bool validOnly) const;
  int32_t CountClass(int cls) const;
  int32_t FindByName(const std::string& name, int cls, int32_t exceptID) const;
  std::string GetGUID(int32_t id, const std::string& given = "");
  int32_t FindByGUID(const std::string& guid, int cls);
  int32_t FindOrCreateSingleton(bool create);
  int32_t ImportRecord(int cls, const std::string& guid, const std::string& text);
  void CopyRecordFrom(const std::string& text, int32_t id);
  int32_t DuplicateRecord(int32_t id, bool markName, bool withDoors, bool withPersons);
  // A split record: a copy of the mother with her links, linked as her daughter.
  int32_t DuplicateLinked(int32_t motherID);
  int32_t GetClass10Link(int32_t id);
  void LinkClass10(int32_t daughterID, int32_t motherID);
  // The mother (or the record itself) followed by all her daughters.
  void GetGroupOf(int32_t id, TItemList& list);

  // ----- links ------------------------------------------------------------------------------
  void AddLink(int32_t from, int32_t to, int kind);
  void AddLinkBoth(int32_t a, int32_t b, int kindOnA, int kindOnB);
  // Links `from` to records made in the running write, which no list can hold yet: all
  // appended in one field write, without the search for each that AddLink makes (a bulk
  // run adding thousands of doors to one building would otherwise take quadratic time).
  void AddNewLinks(int32_t from, const std::vector<int32_t>& newIds, int kind);
  void RemoveLink(int32_t from, int32_t to, int kind);
  void RemoveLinkBoth(int32_t a, int32_t b, int kindOnA, int kindOnB);
  void GetLinks(int32_t id, int kind, TItemList& list);
  std::string GetLinkText(int32_t id, int kind);
  bool HasLinks(int32_t id, int kind);
  int32_t CountValidLinks(int32_t id, int kind);
  bool HasLink(int32_t id, int kind, int32_t target);
  int32_t GetFirstLink(int32_t id, int kind);
  int32_t GetOnlyLink(int32_t id, int kind);
  bool SameLinks(int32_t a, int32_t b, int kind);
  std::string GetLinkValue(int32_t id, int32_t other, const std::string& name);
  void SetLinkValue(int32_t id, int32_t other, const std::string& name,
                    const std::string& value);
  void DeleteLinkValue(int32_t id, int32_t other, const std::string& name, bool bothSides);
  // Makes the list of `kind` equal `wanted`; false and the blocking station on refusal.
  bool SetLinks(int32_t id, int kindBack, std::string& blocking, bool oneSided,
                const TItemList& wanted, int kind);
  bool ReplaceLink(int32_t id, int32_t newTarget, int ticket, int kind, int kindBack);
  bool UnlinkAll(int32_t id);
  bool MarkDeleted(int32_t id);

  // ----- edit locks -------------------------------------------------------------------------
  bool LockItem(int32_t id, bool showMessage, int ticket);
  bool UnlockItem(int32_t id);
  void ShowLockedMessage(const std::string& station, bool saving);
  void ShowExclusiveDenied(const std::string& station);

  // ----- write reservation (re-entrant) -----------------------------------------------------
  bool Reserve(int& ticket);
  void Release(int ticket);
  // True while this station holds exclusive access to the whole store.
  bool HoldsExclusiveAccess() const;

  // ----- writes in progress (TStoreWrite, TBulkWrite) ---------------------------------------
  // A write tells the store that it is alive. Meanwhile the multi-record operations
  // (SetLinks, ReplaceLink, UnlinkAll, MarkDeleted) neither take record locks of their own
  // (the write holds the reservation and has checked the records) nor save: the write
  // saves once, at its Commit. Writes nest; with `journal` the store keeps, for the
  // write, each record's text before the write first changed it, so that the write can
  // take back every record it changed, also those it did not name.
  struct TJournalEntry {
    std::string text;      // the record before the write changed it
    bool unsaved = false;  // it held a change of this station that was not on disk
  };
  void EnterWrite(bool journal);
  void LeaveWrite();
  bool WriteActive() const { return !journals_.empty(); }
  // The innermost write's journal (empty for a write without one).
  const std::map<int32_t, TJournalEntry>& WriteJournal() const;
  // The bulk run in progress on this store (set by TBulkWrite), else null.
  TBulkWrite* ActiveBulk = nullptr;

  // Forgets every change of this station that is not on disk (records, header lines, the
  // record being edited) and reads the file again; a store whose file does not exist yet
  // starts empty again. The load result.
  int DiscardChangesAndReread();

  // ----- time travel ------------------------------------------------------------------------
  // Start-up of a station that logs changes: makes this month's copy of the store when the
  // log has none yet, from the file as it is (the state before the month's first change),
  // and completes the change-log entry of a save that a killed station could not write.
  // True when the copy exists afterwards.
  bool MonthlyCopy();
  // Replays the change log beside the store file (its name with the extension ".tbl") into
  // this store, a month's copy: every line up to `timeLimit` (UTC) is added to `changes`
  // (when given) and, with `apply`, put into the store, which from then on never saves
  // (its lines are a past state, not the file's). `userID` (when given) receives the user
  // of the last line taken. The replay ends 100 timed lines after the first line later than
  // the limit. False when the log cannot be opened.
  bool ReplayChanges(bool apply, int32_t* userID, TChangeList* changes, double timeLimit);
  // Adds the entry of a change of record `id` to the text `text` against the record as
  // this store holds it now.
  void AddChangeEntry(TChangeList& changes, int32_t id, int32_t userID,
                      const std::string& text, double time);

  // IDs that a reread had to move because another station had saved a record under the
  // same new ID meanwhile (old ID -> new ID); the caller may read and clear it.
  std::map<int32_t, int32_t> MovedIDs;

 private:
  struct TIndexData;

  void ClearState();
  void ShowError(int number, bool withFileName);
  void MarkReadOnly(int messageNumber);
  // Reads the file into `fresh`; 0 read, 1 missing, 2 unreadable, 3 wrong format.
  int ReadFileLines(std::vector<std::string>& fresh);
  // Puts freshly read file lines in place of the store's, this station's unsaved changes on
  // top. False (nothing changed) when they do not index: the file is damaged.
  bool TakeFileLines(std::vector<std::string>&& fresh);
  bool BuildIndex(const std::vector<std::string>& lines, TIndexData& index);
  void AdoptLines(std::vector<std::string>&& lines, TIndexData&& index);
  void IndexOneLine(int32_t lineNo);
  void EnsureIDSlots(int32_t id);
  void ComputeName(int32_t id, const std::string& line, const TLineInfo& info);
  std::vector<std::string> NewStoreLines() const;
  int FindHeaderLine(const std::string& name) const;
  // Where a header line was last found (upper-case name to line), checked at every use:
  // a booking asks for its header line several times, and a scan passes every record.
  mutable std::unordered_map<std::string, int> headerAt_;
  void PutHeaderLine(const std::string& name, const std::string& value);
  void ReapplyPending(std::map<int32_t, std::string>& texts,
                      std::map<std::string, std::pair<std::string, std::string>>& headers);
  void SetLineOfID(int32_t id, std::string line, bool isNew);
  int32_t AppendRecord(int32_t id, int cls);
  bool PersistNewID(int32_t id);
  bool ClaimNewID(int32_t id, std::vector<std::string>& claim);
  // Tells why the reservation could not be had: missing write rights in the data folder,
  // or the store's general save failure.
  void ShowReserveFailed();
  bool savingNewRecord_ = false;  // PersistNewID's save: a failure for want of rights says so
  void EndClaim(std::vector<std::string>& claim);
  void SetValueOfCurrent(const std::string& key, const std::string& stored);
  // Record locks taken by one operation: exclusive access, or the IDs locked here.
  struct TLockScope {
    bool all = false;
    bool inWrite = false;  // inside a write: only checked, nothing taken
    std::vector<std::string> taken;
  };
  bool TakeLocks(const std::vector<int32_t>& ids, std::string& blocking, TLockScope& scope,
                 bool tryAll);
  // Commits (a change is saved before its records are free again), then gives back what
  // the scope took.
  void DropLocks(TLockScope& scope);
  void RemoveAllLinksTo(int32_t holder, int32_t target);

  // A new ChangeCount.
  void Touch();
  // Notes the record's text in the journal of every alive write that has none for it yet.
  void Journal(int32_t id);
  std::vector<std::map<int32_t, TJournalEntry>> journals_;
  std::vector<bool> journalKept_;  // per write: whether it keeps a journal
  bool reapplying_ = false;        // a reread puts this station's lines back
  uint64_t changeCount_ = 0;
  // What the display names were last computed from by RefreshAllNames.
  struct TNamesBasis {
    bool made = false;
    uint64_t changeCount = 0;
    uint64_t input = 0;
    std::array<TNameFunc, 256> nameFunc{};
    std::array<TNameFunc2, 256> nameFunc2{};
  };
  TNamesBasis namesBasis_;
  // This station's changes that are in Lines but not yet in the file: ID -> created here.
  std::map<int32_t, bool> pending_;
  // Header lines set here and not yet saved: upper-cased name -> (name, value).
  std::map<std::string, std::pair<std::string, std::string>> pendingHeaders_;
  // The lines came from an existing file (or were written to one).
  bool fileSeen_ = false;
  // Scratch for line scanning.
  std::vector<std::string> scratch_;
  // Records stored since the last successful save that the change log has not seen yet,
  // in the order they were stored.
  std::vector<int32_t> unlogged_;
  // Writes the month's copy `name` from the file as it is on disk (an empty store when
  // there is no file yet). Under the reservation.
  bool WriteMonthCopy(const std::string& name);
  // Hands the records of a successful save to the change log.
  void LogSavedChanges(double utc);
  // The records of unlogged_ once each, at their last place.
  std::vector<int32_t> UnloggedInOrder() const;
  // Under the reservation: completes the entry named by the change-log header when it is
  // not this station's settled one.
  void SettleChangeLog();
};

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* MultiItemsDBTable();
