#pragma once
// The key import with its fixed column layout, and what it shares with the door import:
// reading a CSV or TXT file into rows of cells, finding locking systems by their names,
// and the validation messages.
//
// A file is read once into rows; the check asks its question before the run takes the
// store, and the run judges existing keys by the same comparison (normalised name and
// locking system), so the names the question lists are exactly the keys it skips.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"

class TMiniDB;
class TMLStringList;

const TMLStringList* ImportKeysTexts();
std::string ImportKeysText(int number);
std::string ImportKeysTextFmt(int number, const std::string& argument);

inline constexpr int kKeysImportColumns = 6;
inline constexpr int kDoorsImportColumns = 9;

// One data row of a fixed-column file: its cells (trimmed, as many as the layout has) and
// the line of the file it came from (1-based).
struct TFixedImportRow {
  int line = 0;
  std::vector<std::string> cells;
  const std::string& Cell(int col) const;
  bool operator==(const TFixedImportRow&) const = default;
};

// The rows of a file's lines. The separator is ';' until a line holds a TAB, TAB from that
// line on; fields are read with CSV quoting and trimmed; a line whose first field is empty
// is skipped. With `skipHeader` the first line is not data. With `stripSystemSuffix` (the
// key layout) a name ending in " (" + the row's locking system + ")", compared in upper
// case, loses that ending.
std::vector<TFixedImportRow> ParseFixedColumnLines(const std::vector<std::string>& lines,
                                                   int columns, bool skipHeader,
                                                   bool stripSystemSuffix);

// The locking system a cell names: the 40 named systems and the buildings' own systems,
// compared trimmed and in upper case. Empty and "-" name none (known, code 0); `known`
// is false for a name that is no locking system.
TKeySystemCode ImportSystemCode(const TMiniDB& db, const std::string& text, bool& known);
// The count of a cell: true and the value for a whole number of digits only; an empty
// cell is 0.
bool ParseImportCount(const std::string& cell, int32_t& count);

// What a check found: the first error (empty when none) and the names that exist already
// (at most four, then "...").
struct TFixedImportCheck {
  std::string error;
  std::vector<std::string> existing;
};
// The comparison key of a key or door name.
std::string ImportNameKey(const std::string& name);

// Records by a scope (a key's locking system, a door's building) and their comparison key;
// the first record of a name in a scope is kept.
class TScopedNameIndex {
 public:
  int32_t Find(int64_t scope, const std::string& name) const {
    auto it = ids_.find(Key(scope, name));
    return it == ids_.end() ? 0 : it->second;
  }
  void Add(int64_t scope, const std::string& name, int32_t id) {
    ids_.emplace(Key(scope, name), id);
  }

 private:
  static std::string Key(int64_t scope, const std::string& name) {
    return std::to_string(scope) + '\t' + ImportNameKey(name);
  }
  std::unordered_map<std::string, int32_t> ids_;
};

TFixedImportCheck PlanKeysCheck(const TMiniDB& db, const std::vector<TFixedImportRow>& rows);
// Shows the error, or asks whether to go on despite existing names. True: import.
bool AskFixedImportCheck(const TFixedImportCheck& check);
bool CheckKeysImport(const TMiniDB& db, const std::vector<TFixedImportRow>& rows);

enum class TFixedImportResult {
  Done,       // imported and saved
  Stopped,    // the check stopped it or the user said no: nothing changed
  Refused,    // the store could not be had (told): nothing changed
  Failed,     // a record could not be made or the save failed (told): nothing saved
  Cancelled,  // cancelled on the wait panel: nothing saved
};
struct TFixedImportOutcome {
  TFixedImportResult result = TFixedImportResult::Stopped;
  int created = 0;
  int skipped = 0;
};

// Checks, asks, then one bulk run over all records: a key is made for every row whose
// name does not exist with its locking system yet; existing keys stay untouched. The
// progress is reported every 8 rows and may cancel.
TFixedImportOutcome ImportKeysTable(TMiniDB& db, const std::vector<TFixedImportRow>& rows,
                                    const TBulkProgress& progress = {});

// The message that the store could not be had for a bulk run (who holds it).
void TellImportRefused(TMiniDB& db, const std::string& blocking);
