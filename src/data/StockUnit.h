#pragma once
// The small services that the key transfer and the views share: stock counters of keys
// and cylinders, minimum stock, split (copy) records and the moves between a copy and its
// mother, the form sequence number of receipts, the client's settings record, the error
// and success logs, the sandbox (a trial copy of the data), the locksmith store and the
// program's registry values.
//
// Counters are decimal texts; an empty counter reads as 0 unless said otherwise.
// Keys: "cnt" pieces in stock, "total" pieces in total, "min" minimum stock. Cylinders
// keep no stock field: their stock is what is left of the total after the doors they sit
// in and the pieces held elsewhere.
//
// Every function that changes records goes through TStoreWrite: the change is on disk or
// nowhere, and two workstations never act on an older state than the file's.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TMiniDB;
class TStoreWrite;

// ---------------------------------------------------------------------------------------
// Stock.

// "total", else "ccnt" (older cylinder records keep their count there).
std::string GetTotalText(const TMiniDB& db, int32_t item);
// GetTotalText as a number; 1 when it is empty (a record without count is one piece).
int32_t GetTotalCount(const TMiniDB& db, int32_t item);
// GetTotalCount - the doors linked to the item - the pieces held (BookedCount); with
// `clamp` never below 0.
int32_t GetAvailableCount(const TMiniDB& db, int32_t item, bool clamp);
// Cylinders: GetTotalText; every other class: "total".
std::string TotalTextOf(const TMiniDB& db, int32_t item);
// Cylinders: the available count (not clamped: a negative count shows an over-assigned
// cylinder); every other class: "cnt". `cls` 0 means "the item's own class".
std::string StockTextOf(const TMiniDB& db, int32_t item, int cls = 0);
int32_t GetStockOf(const TMiniDB& db, int32_t item, int cls = 0);
// Writes "cnt" (the caller holds the write); does nothing for cylinders.
void SetStockOf(TMiniDB& db, int32_t item, int32_t value, int cls = 0);
// True when "min" is a number of 0 or more and min (+ 1 with `plusOne`) is greater than
// the stock. An empty or non-numeric "min" never warns.
bool CheckMinStock(TMiniDB& db, int32_t item, bool plusOne);

// ---------------------------------------------------------------------------------------
// Split records: a summary record (mother) and copies (daughters) that hold part of its
// pieces. The daughter links to the mother with kind 10, the mother to her daughters with
// kind 11.

// Creates a daughter of `mother` with the mother's fields and links, named `name` and
// `name2`, holding `count` pieces ("cnt" and "total"); the pieces leave the mother's
// stock, her total stays. The daughter is held by nobody: no holder lines, no marking
// "k304", no links to the mother's holders. Refused (0, nothing changed) for a negative
// count, a count above the mother's stock, and when a record is locked elsewhere (the
// blocking workstation is named).
int32_t SplitStockRecord(TMiniDB& db, int32_t mother, const std::string& name,
                         const std::string& name2, int32_t count);
// Several daughters of `mother`, made as SplitStockRecord makes one, in one write: all of
// them are saved together, or none is (their IDs are claimed on disk first, as every new
// record's is, and left deleted when the parts are not saved). The daughters in the order
// of the parts, or none; `refused` is then the index of the part that could not be made
// (its count negative or above what the earlier parts leave of the mother's stock, or its
// record not creatable), 0 when the write was refused (the blocking workstation is named)
// or not saved, and -1 when the parts were saved.
struct TSplitPart {
  std::string name, name2;
  int32_t count = 0;
};
std::vector<int32_t> SplitStockRecords(TMiniDB& db, int32_t mother,
                                       const std::vector<TSplitPart>& parts, int& refused);
// Moves `n` pieces from the mother's stock to the daughter (stock and total), or with a
// negative `n` back from the daughter's stock to the mother's. 0 is true at once. False,
// and nothing changed, when the daughter has no mother, a record is locked elsewhere (the
// blocking workstation is named), or the source holds fewer pieces than asked for.
bool MoveCountToCopy(TMiniDB& db, int32_t daughter, int32_t n);
// Moves min(n, the daughter's stock) pieces back to the mother; the daughter's "total"
// afterwards (unchanged when nothing could be moved).
int32_t ReturnCopyStock(TMiniDB& db, int32_t daughter, int32_t n);
// The same inside the caller's write (which holds the daughter): the mother is taken into
// the write and the daughter's whole stock moves back to her. True when moved or when
// there was nothing to move (no mother, no stock); false when the mother is gone or held
// by another station (write.Blocking() names it), nothing moved then.
bool ReturnCopyStockInWrite(TStoreWrite& write, TMiniDB& db, int32_t daughter);

// ---------------------------------------------------------------------------------------
// The client's settings record (class 12).

// The next form sequence number: "FormSeqNo" + 1, at least 4 digits with leading zeros
// ("0001", "0042", "12345"; a stored text that is no number counts as 0). Without
// `commit` it is only read (empty when the client has no settings record yet). With
// `commit` the number is drawn: the settings record (created when missing) is reread,
// counted up and saved in one write, so two workstations never draw the same number.
// Empty when the reservation or the record's lock cannot be had or the save fails:
// nothing is stored then, and the caller must not print a number.
std::string NextFormSeqNo(TMiniDB& db, bool commit);
// The counting step of NextFormSeqNo for a caller whose write already holds the settings
// record `settings` (a booking that draws its receipt number in its own save): "FormSeqNo"
// counted up in memory, the new number returned; empty (nothing changed) when `settings`
// is no settings record or the number cannot grow.
std::string CountUpFormSeqNo(TMiniDB& db, int32_t settings);
// "MandantName" of the settings record.
std::string GetMandantName(TMiniDB& db);
// For a store whose file did not exist when it was opened (call right after opening):
// a building named core text 116 when there is none, a key cabinet named core text 117
// when there is none, saved at once. True when nothing was missing or both were made.
bool EnsureMainBuilding(TMiniDB& db);
// "PrtFieldsLendCtrl", else the default list of the field codes 1 to 6.
std::string GetLendCtrlPrintFields(TMiniDB& db);

// Print-field lists: codes as ";"-joined base-32 numbers, each with bit 30 set as a
// marker. Entries without the marker are skipped.
constexpr int32_t kPrintFieldMarker = 1 << 30;
std::vector<int32_t> ParsePrintFieldList(const std::string& text);
std::string BuildPrintFieldList(const std::vector<int32_t>& codes);

// The logged-in user's output name ("nice"), else the login name (Session()).
std::string CurrentUserDisplayName();

// ---------------------------------------------------------------------------------------
// Error and success logs: one line per event, "yyyy-mm-dd hh:nn:ss" (local time), TAB,
// kind, TAB, text, TAB, detail, CR LF.

// The log files in force (program settings "ErrorLogFile" and "SuccessLogFile", made
// absolute by whoever reads the settings). Empty: nothing is logged.
struct TLogFileNames {
  std::string ErrorLogFile;
  std::string SuccessLogFile;
};
// Program-wide: program-level settings, read once when the main window is made, so a
// client change keeps them.
TLogFileNames& LogFileNames();

// Program-level settings kept for the units that use them, read with the log file names.
struct TProgramValues {
  bool SigPadWanted = true;  // "SigPad": the signature pad is used unless the value is "0"
  std::string DC;            // "DC": kept as text
  std::string ImportPath;    // "ImportPath": the start folder of imports; empty: their own
};
TProgramValues& ProgramValues();

// The line AppendLogLine writes for that moment (local date-time), CR LF included. TAB,
// CR and LF inside kind, text and detail become blanks, so one event stays one line.
std::string FormatLogLine(double localTime, const std::string& kind, const std::string& text,
                          const std::string& detail);
// Appends the line for now to `fileName`, creating its folder and the file when missing.
// Nothing (false) when the file name, the kind or the text is empty; false when the line
// could not be written.
bool AppendLogLine(const std::string& fileName, const std::string& kind,
                   const std::string& text, const std::string& detail);
bool LogError(const std::string& text, const std::string& detail);
bool LogFileLoadError(const std::string& fileName);
bool LogOk(const std::string& text, const std::string& detail);

// ---------------------------------------------------------------------------------------
// Sandbox: a trial copy of the client's data in a folder of its own below the data root,
// registered as a client marked active (MandantUnit), which the user then opens.

// "Sandbox yyyy-mm-dd hh.nn.ss", exactly as SandboxFolderName spells the folders.
bool IsSandboxFolderName(const std::string& name);
// Saves the open store into `folder` under its own file name and copies the history year
// files there, all under the store's reservation. False when the store is not open, the
// folder is the store's own, or a step fails.
bool CreateSandboxCopy(TMiniDB& db, const std::string& folder);
// A new sandbox folder with the copy, registered as a client; true when both succeeded.
// A folder whose copy or registration failed is removed again.
bool EnterSandbox(TMiniDB& db);
// When the current client is a sandbox copy: deletes its folder and removes the client
// from its register. Only a folder directly below the data root whose name is a sandbox
// folder name (IsSandboxFolderName) is ever deleted: a register entry that points
// anywhere else (a production folder, the data root, a path with "..") deletes nothing,
// and a symbolic link is never followed. True when the folder is gone and the client
// removed.
bool CleanupSandbox();

// ---------------------------------------------------------------------------------------
// Locksmith store: a second record store beside the client's (AppName "TessaroLocksmith",
// file "LmDbFn" of the settings record, default "Locksmith.ada") for key cuts and pinning.
// Its records (class 16) mirror items of the main store: the locksmith record's "id1" is
// the item's ID, the item's "lmi" the locksmith record's ID. A locksmith record belongs to
// an item only while both point at each other, so a copied item (which inherits "lmi")
// never reads or writes the original's data.

inline constexpr const char* kLocksmithAppName = "TessaroLocksmith";
inline constexpr const char* kLocksmithDefaultFile = "Locksmith.ada";
inline constexpr int kLocksmithClass = 16;

// "LmDbFn" is a plain file name in the data folder: no folder part, no "." or "..".
bool IsPlainDataFileName(const std::string& name);

class TLocksmithStore {
 public:
  TLocksmithStore();
  ~TLocksmithStore();
  TLocksmithStore(const TLocksmithStore&) = delete;
  TLocksmithStore& operator=(const TLocksmithStore&) = delete;

  // Opens the locksmith store of `db`'s client. Without `create`: only when the settings
  // record says it is in use and the file exists. With `create`: marks it in use (default
  // file name when none) and creates the file when missing. A stored file name that is
  // not a plain file name is refused with a message. True when open (already or now).
  bool Open(TMiniDB& db, bool create);
  void Close();
  bool IsOpen() const;
  // The open store, or null.
  TMiniDB* Store() const { return store_.get(); }

  // The field of the item's locksmith record; empty when the store is not open or the
  // item has no locksmith record of its own.
  std::string Field(TMiniDB& db, int32_t item, const std::string& field);
  // Writes the field of the item's locksmith record, creating the record (named like the
  // item, linked both ways) when the item has none and the value is not empty. False when
  // the store is not open or a write failed.
  bool SetField(TMiniDB& db, int32_t item, const std::string& field, const std::string& value);
  // The item's own locksmith record, or 0.
  int32_t RecordOf(TMiniDB& db, int32_t item);

 private:
  std::unique_ptr<TMiniDB> store_;
};

// The open client's locksmith store (the client session's; closed with it).
TLocksmithStore& LocksmithStore();
bool OpenLocksmithDatabase(TMiniDB& db, bool create);
std::string LocksmithField(TMiniDB& db, int32_t item, const std::string& field);
bool SetLocksmithField(TMiniDB& db, int32_t item, const std::string& field,
                       const std::string& value);

// ---------------------------------------------------------------------------------------
// Program values.

inline constexpr const char* kProgramRegistryKey = "\\Software\\Merivan\\Tessaro";
inline constexpr const char* kRegistryVersion = "2008-04";
// Writes "Exec" (the running program file) and "Ver" under the program key of the
// current user; "Exec" is left alone when this instance was started by another one
// ("ActAsOriginExe"). False when a value could not be written.
bool WriteRegistryExecInfo();

// The backup interval choice as days: 0 none, 1 daily, 2 weekly (7), 3 monthly (30); any
// other choice 1.
int BackupIntervalDays(int choice);

// View flags: up to 7 letters in the data folder's setting "SomeViews". `mode` below 0
// only asks, 0 clears the letter, 1 or more sets it; a change is written at once. The
// result is whether the letter is set afterwards (a change that could not be written, or
// an eighth letter, leaves it as it was).
inline constexpr int kMaxViewFlags = 7;
bool SetViewFlag(char letter, int mode);
bool ToggleViewFlag(char letter);
