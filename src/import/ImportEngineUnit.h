#pragma once
// The table import's row engine, without widgets: the rows of a loaded table become records
// of the store. Per row it collects, per item class, what the row says about one record of
// that class (name, second name, record ID, external ID, locking system, building), finds
// the existing record or creates it, writes the remaining cells as fields or links, books
// key handovers, and after the last row may delete the persons the list no longer holds.
//
// A run is all or nothing: it runs inside one TBulkWrite, so a failed row, a refused lock,
// a cancel or a check pass ("Prüfen") leaves the store file byte for byte as it was, and a
// run that went through saves once. The check pass does everything in memory (so it finds
// what the import would find) and reports what would change.
//
// Also here: the procedures every import shares (imported totals, the change summary of
// the import journal, the closing note).
//
//   TTableImportJob job;
//   job.table = &table;                      // captions' objects: catalogue indexes
//   job.entries = {idxName, idxBuilding, 0};  // the column list (0 = "(ignorieren)")
//   job.contentClass = icDoor;
//   TTableImportResult r = RunTableImport(db, job);
//   if (!r.ok) ... r.errorRow, r.error (already shown unless batch) ...

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "basic/SLUnit.h"
#include "import/ImportTable.h"

class TMiniDB;
struct TFieldEntry;

// The object of the column entry "(ab hier wiederholen bis Ende)".
inline constexpr int32_t kImportRepeatEntry = 0x7FFFFFFF;
// The content class of key handovers (never stored as a record class).
inline constexpr int kImportHandoverClass = 15;
// Longest texts a slot keeps.
inline constexpr int kImportNameMaxLen = 127;
inline constexpr int kImportExtIdMaxLen = 63;

// ---------------------------------------------------------------------------------------
// What the dialog (or the unattended run) hands to the engine.

struct TTableImportJob {
  // The loaded table. Data rows start at table->FixedRows(); marks are set on the cells the
  // run took. Without a table, `rows` holds the data rows (cells by column) and `columns`
  // gives per column the catalogue index (0 = none).
  TImportTable* table = nullptr;
  std::vector<std::vector<std::string>> rows;
  std::vector<int32_t> columns;

  // The column list in order: a catalogue index, 0 for "(ignorieren)", kImportRepeatEntry
  // for "(ab hier wiederholen bis Ende)". With a table it also gives the captions' objects
  // (ImportColumnObjects); empty: the table's caption objects are taken as they are.
  std::vector<int32_t> entries;

  int contentClass = 0;    // 3 doors, 4 keys, 5 persons, 6 cylinders, 7 groups, 15 handovers
  int32_t keySystem = 0;   // locking-system code of the run (0 = none)
  int32_t building = 0;    // building ID of the run (0 = "laut Tabelle")
  std::string dateFormat;  // parsing format of the run ("DD.MM.YYYY" ...); empty: as is

  bool dryRun = false;                 // "Prüfen": nothing saved, changes reported
  bool batch = false;                  // unattended: nothing shown, errors to the error log
  bool removeUnlistedPersons = false;  // persons (class 5) not in the list are deleted
  bool createBuildings = true;         // "Gebäude erzeugen"
  bool createDoors = true;             // "Türen erzeugen"
  bool reuseDoors = false;  // "vorhandene Türen überschreiben, die keinem Gebäude ..."

  // Progress over the data rows; false cancels the run (nothing is saved).
  std::function<bool(int64_t done, int64_t total)> progress;
  // The import journal's folder (with a trailing "/"); empty: the client's.
  std::string journalFolder;
  bool writeJournal = true;  // a run that changed something writes the journal
};

// One thing a run changed (or, in a check pass, would change).
enum class TImportChangeKind { Create, Update, Handover, HandoverSkipped, Delete };
struct TImportChange {
  TImportChangeKind kind = TImportChangeKind::Update;
  int row = 0;         // grid row (0 for the removal of unlisted persons)
  int cls = 0;         // item class
  int32_t id = 0;      // record (0 for a record a check pass would create)
  std::string name;    // its name as the row gives it
  std::string detail;  // handovers: kind and count ("Ausgabe 2", "Rücknahme 1")
};

struct TTableImportResult {
  bool ok = false;       // every row went through (and, unless a check pass, was saved)
  int rowsDone = 0;      // data rows worked
  int errorRow = 0;      // grid row of the failure (plain rows: 1 = the first); 0 = none
  std::string error;     // why (without "Fehler in Zeile")
  std::string blocking;  // the station that held records ("*": reservation not had)
  bool cancelled = false;
  bool saved = false;  // the run's changes are on disk
  std::vector<TImportChange> changes;
  std::vector<std::string> journal;  // summary lines (ImportSummaryTable's form)
  std::string journalFile;           // written journal file; empty when none
};

// The captions' objects per grid column from the column list: the entries in order, the
// repetition entry skipped; when they are used up and a repetition entry exists, the
// entries behind it repeat; surplus columns get 0.
std::vector<int32_t> ImportColumnObjects(const std::vector<int32_t>& entries, int colCount);

// Runs the import (see the top of this file). Errors are shown unless batch.
TTableImportResult RunTableImport(TMiniDB& db, TTableImportJob& job);

// ---------------------------------------------------------------------------------------
// The row engine's pieces.

// What a row says about one record of a class.
struct TImportSlot {
  uint8_t cls = 0;
  int32_t keySystem = 0;
  int32_t building = 0;
  std::string name;     // at most kImportNameMaxLen
  std::string name2;    // at most kImportNameMaxLen
  int32_t givenId = 0;  // "(DbID)"; 0 = none
  std::string extId;    // at most kImportExtIdMaxLen
  int32_t id = 0;       // found or created; 0 = not yet known
};
using TImportSlots = std::array<TImportSlot, 256>;
bool ImportRowHasData(const TImportSlot& slot);

// Per class the values of "virtual" catalogue fields, name=value.
using TImportValues = std::array<TQStringList, 256>;

// Per-run lookups, kept up to date as records are created: names and external IDs by class
// (and locking system), buildings by name, doors per building.
class TImportIndexes;

// State of one run that the row functions share.
struct TImportRun {
  TMiniDB& db;
  const TTableImportJob& job;
  TImportIndexes* indexes = nullptr;  // null: the store is searched
  std::array<uint8_t, 256> mayCreate{};
  std::vector<TImportChange>* changes = nullptr;
  std::vector<std::string>* journal = nullptr;
  int row = 0;
  int32_t lastIdBefore = 0;  // records up to this ID were stored before the run
};

// The record of a slot: the one it has, the given ID of its class, the external ID, else
// the valid record of that name and second name among the candidates (doors of the slot's
// building, keys/cylinders/groups of its locking system, all of other classes). 0 when none.
// With door reuse a door found among the doors without building gets the slot's building
// (a check pass does so in memory only: the run is taken back).
int32_t ImportMatchRecord(TImportRun& run, TImportSlot& slot);
// Creates the slot's record (class, name, no record yet): name and second name, locking
// system (keys, cylinders, groups), building link (doors, persons), "extID". Its ID.
int32_t ImportStoreRecord(TImportRun& run, TImportSlot& slot);
// Writes one cell into the record by the entry's database key; true when taken.
bool ApplyImportField(TImportRun& run, int32_t id, const TFieldEntry& entry,
                      const std::string& cell, TImportSlots& slots);
// Checks and books the handovers of one row (class 15 values). False with `error`.
bool ImportHandoverRow(TImportRun& run, const TQStringList& values, TImportSlots& slots,
                       std::string& error);

// The person's name from first name and surname: "Surname, First", the surname alone, or
// the first name alone.
std::string ImportPersonName(const std::string& firstName, const std::string& surname);
// The remark of a cell: split at "<BR>" (any case), trailing empty lines dropped, as comma
// text.
std::string ImportRemarkText(const std::string& cell);
// "Name [Second]" split into name and second name.
void SplitImportName12(const std::string& cell, std::string& name, std::string& name2);

// ---------------------------------------------------------------------------------------
// Shared by the imports (table, XML plan, KWD).

// The entries marked important during one run, as comma texts (owned by the caller).
class TImportImportantList {
 public:
  void Add(const std::string& commaText) { lines_.push_back(commaText); }
  const std::vector<std::string>& Lines() const { return lines_; }
  void Clear() { lines_.clear(); }
  bool Empty() const { return lines_.empty(); }

 private:
  std::vector<std::string> lines_;
};

// Every key with "imptotal": the field goes; when it differs from "total", "total" takes it
// and "cnt" (when set) changes by the same difference. Then every key without "cnt" gets
// "cnt" = "total".
void ApplyImportedKeyTotals(TMiniDB& db);
// Every cylinder with "imptotal": "imptotal" and "total" go, "ccnt" = the imported value.
void ApplyImportedCylinderTotals(TMiniDB& db);
// Empties `entry` and adds "Class=Key" (4) or "Class=Cyl" (6), "k205=" + position and
// "Name=" + name when given.
void ImportRowQuery(TQStringList& entry, int cls, const std::string& name,
                    const std::string& position);
// "New" = count (or "Neu" when empty), "AbsCnt" = count, "Important" = "1".
void SetAbsCount(TQStringList& entry, const std::string& count);
// Replaces the record's field by `value`; a difference (as integers) changes `secondField`
// (when named) by the same; the entry gets "AbsCnt", and "CntDiff" + "Important" when the
// difference is not 0. False (and "Internal Error: ChangeCount()" shown) without record,
// field or value.
bool ApplyCountChange(TMiniDB& db, int32_t id, const std::string& value, const std::string& field,
                      TQStringList& entry, const std::string& secondField);
// An entry with "Important" loses it and goes into `list` as comma text; true when added.
bool MarkImportant(TQStringList& entry, TImportImportantList& list);
// The header "Typ\tPosition\tBezeichnung\tNeu\tBuchung\tGesamt" and one sorted line per
// entry: Class, k205, Name, New, CntDiff ("+" added unless it begins with "-"), AbsCnt.
std::vector<std::string> ImportSummaryTable(const TImportImportantList& list);
inline constexpr const char* kImportSummaryHeader =
    "Typ\tPosition\tBezeichnung\tNeu\tBuchung\tGesamt";

// The closing note of an import, through the user interaction in force.
void ShowImportDoneNote();

// ---------------------------------------------------------------------------------------
class TMLStringList;
// The engine's message table.
const TMLStringList* ImportEngineTexts();
std::string ImportEngineText(int number);
inline constexpr int ieErrorInRow = 1;        // "Fehler in Zeile %1"
inline constexpr int ieKeySystemUnknown = 2;  // Schließanlage "%1" unbekannt
inline constexpr int ieBuildingUnknown = 3;   // Gebäude "%1" unbekannt
inline constexpr int ieCannotCreate = 4;      // "%1 kann nicht angelegt werden."
inline constexpr int ieKeyNotFound = 5;
inline constexpr int iePersonNotFound = 6;
inline constexpr int ieBadDate = 7;
inline constexpr int ieReturnBeforeIssue = 8;
inline constexpr int ieDoneNote = 9;
inline constexpr int ieLockedBy = 10;  // records held by station %1
inline constexpr int ieNoReservation = 11;
inline constexpr int ieBookingRefused = 12;  // handover refused: %1
inline constexpr int ieSaveFailed = 13;
inline constexpr int ieCancelled = 14;
inline constexpr int ieIssue = 15;   // "Ausgabe"
inline constexpr int ieReturn = 16;  // "Rücknahme"
inline constexpr int ieLoss = 17;    // "Verlust"
inline constexpr int ieDefect = 18;  // "Defekt"
inline constexpr int ieNoStoredPersonListed = 19;
