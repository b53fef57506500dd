#pragma once
// The spreadsheet locking-plan import without widgets: from a recognised plan grid
// (ImportPlanRecogUnit) to doors, cylinders, single keys, group keys and groups with their
// links. The whole run is one TBulkWrite: it arrives whole or not at all. Questions (an
// unknown building) are asked before the store is held; notes of new records come as one
// list after the run.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "data/StoreWriteUnit.h"

class TImportImportantList;
class TImportTable;
class TMiniDB;
class TMLStringList;
struct TPlanRecognition;

const TMLStringList* ImportPlanTexts();
std::string ImportPlanText(int number);

// Cylinder naming modes.
constexpr int pnmSchliessungLength = 0;  // Schließung + two blanks + length text
constexpr int pnmDoor = 1;               // the door's name
constexpr int pnmSchliessungDoor = 2;    // Schließung + two blanks + door's name
constexpr int pnmCylinderColumn = 3;     // the "Zylinder" column

struct TPlanImportOptions {
  int namingMode = pnmSchliessungLength;
  bool addCounts = true;       // counts of the same key over all rows are added
  bool ignoreZero = false;     // keys and cylinders with count 0 are not created
  bool seekByPosition = false; // doors and cylinders are found by their position
  bool reportNew = false;      // new doors and cylinders are listed after the run
  int32_t keySystem = 1;       // the chosen locking system (1 when none)
  int32_t building = 0;        // the chosen building (0 = none)
  bool writeJournal = true;    // a saved run writes the import journal
  std::string journalFolder;   // with a trailing "/"; empty: the client's
};

// Before the imported totals are applied: one journal entry per key and cylinder whose
// "imptotal" is new (created by the run, in `created`) or differs from its total.
void JournalImportedTotals(TMiniDB& db, const std::set<int32_t>& created,
                           TImportImportantList& list);

// "E"/"ES" 1, "GS" 2, "GHS" 5, "I" 8, "M" 9 (the text up to its first blank, exact); else 0.
int KeyTypeFromPlanText(const std::string& text);

// The length text of the A and B cells; `hasA`/`hasB`: the columns exist.
std::string PlanLengthText(bool hasA, const std::string& a, bool hasB, const std::string& b);

// The plan's cylinder name by the naming mode; empty when there is none.
std::string PlanCylinderName(int mode, const std::string& schliessung, const std::string& length,
                             const std::string& door, const std::string& cylinderCell);

enum class TPlanSheetResult {
  Done,           // saved
  MissingColumn,  // the naming mode's column is missing (told)
  Refused,        // a building refused before the run, or the store could not be held (told)
  Failed,         // an error in the run (told): nothing saved
  Cancelled,      // cancelled: nothing saved
};

struct TPlanImportReport {
  TPlanSheetResult result = TPlanSheetResult::Failed;
  std::string error;             // the error that stopped the run
  std::vector<std::string> news; // "Neue Tür angelegt: ..." notes, when asked for
  int doors = 0;
  int cylinders = 0;
  int keys = 0;
  std::string journalFile;       // the written import journal, empty when none
};

// The import of a recognised grid with its messages (the question on unknown buildings,
// refusals, the error of a failed run, the list of new records, the done note).
TPlanImportReport RunPlanImportRows(TMiniDB& db, const TImportTable& grid,
                                    const TPlanRecognition& rec, const TPlanImportOptions& options,
                                    const TBulkProgress& progress = nullptr);

// Lookups of the run, over the store as it is (without the run's indexes); for the
// dialog's own use and for tests. `error` receives the duplicate message.
int32_t FindPlanDoor(TMiniDB& db, const std::string& nameOrPosition, bool byPosition,
                     int32_t building, std::string& error);
int32_t FindPlanKeyByName(const TMiniDB& db, int32_t keySystem, const std::string& name);
int32_t FindOrCreatePlanGroup(TMiniDB& db, int32_t keySystem, const std::string& name);
