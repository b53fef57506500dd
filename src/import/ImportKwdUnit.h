#pragma once
// The KWD import: locking-plan exports with one record per line. An "O" line names the
// separator, an "L" record the plan, "D" records describe cylinders, "K" records keys and
// "A", "F", "C" records groups and locking positions. Every imported value is kept in the
// records as "k" + its field number.
//
// A run reads the file once, makes a check pass (everything in memory, nothing saved),
// shows what it found and asks, then makes the import pass: one bulk run over all records
// that saves once at its end, or nothing when a handler fails or the user cancels. The
// plan's locking system is made inside the run. Messages about records the passes skip
// are collected and shown once the store is free again.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "import/ImportEngineUnit.h"

class TMiniDB;
class TMLStringList;

const TMLStringList* ImportKwdTexts();
std::string ImportKwdText(int number);
std::string ImportKwdTextFmt(int number, const std::string& argument);

inline constexpr int kKwdFieldCount = 60;

// One line of the file.
struct KwdRecord {
  char letter = 0;        // the line's first character
  int32_t line = 0;       // index of the line in the file (0-based)
  int32_t base = 0;       // field number of position 0
  std::array<std::string, kKwdFieldCount> fields;  // 0: the letter as text
};

// The field base of a record letter: "L" 100, "D" 200, "K" 300, "C" 600, "A" 700,
// "F" 1200, any other 0.
int32_t KwdFieldBase(char letter);
// The separator the first line beginning with "O" and holding "KWD" at its characters 3-5
// names (its character 2); 0 when the file has no such line.
char KwdSeparator(const std::vector<std::string>& lines);
// One record of a line: fields 1-59 are the line from its second character on, split at
// the separator with CSV quoting; further fields are dropped. Empty lines give no record.
KwdRecord ParseKwdLine(const std::string& line, int32_t index, char separator);
std::vector<KwdRecord> ParseKwdRecords(const std::vector<std::string>& lines, char separator);
// A field by its number (base + position). A number outside the record's fields shows
// "internal Error in GetKwdField-Method" and gives an empty text.
std::string KwdField(const KwdRecord& record, int32_t number);
// Quiet form for the hot paths: empty outside.
const std::string& KwdFieldRef(const KwdRecord& record, int32_t number);

// A locking position: known, its value and its kind ("E", "GS", "GHS", "I", "M").
struct KwdPosition {
  bool known = false;
  std::string value;
  std::string kind;
  bool operator==(const KwdPosition&) const = default;
};

// The records of one file with the indexes the passes look things up by.
class TKwdPlan {
 public:
  TKwdPlan() = default;
  explicit TKwdPlan(std::vector<KwdRecord> records);

  const std::vector<KwdRecord>& Records() const { return records_; }
  bool HasA() const { return hasA_; }
  // The position a text names; an unknown text (not empty) is noted in `unknown` once.
  KwdPosition Position(const std::string& text) const;
  // For a position of kind "I": the "M" position its first fitting "F" record leads to,
  // empty when there is none.
  std::string MPositionOf(const std::string& text) const;
  // The items of a group's "k701" value: the field 1202 of each "F" record whose field
  // 1201 equals it, or for a record pointing to itself, the field 1201 of each "F"
  // record whose field 1202 equals it. In order, each once.
  std::vector<std::string> KwdItemsOf(const std::string& value) const;
  std::vector<std::string> KwdParentsOf(const std::string& value) const;
  // "D" positions (field 205) that occur more than once, in file order.
  std::vector<std::string> AmbiguousPositions() const;
  // Texts looked up as positions and found nowhere, in the order met.
  const std::vector<std::string>& UnknownPositions() const { return unknownOrder_; }

 private:
  std::vector<KwdRecord> records_;
  bool hasA_ = false;
  std::unordered_map<std::string, size_t> byField1_;     // first "A"/"C" by field 1
  std::unordered_map<std::string, size_t> cBy603_;       // first fitting "C" by 603
  std::unordered_map<std::string, std::vector<size_t>> fBy1201_;
  std::unordered_map<std::string, std::vector<size_t>> fBy1202_;
  mutable std::unordered_map<std::string, KwdPosition> cache_;
  mutable std::vector<std::string> unknownOrder_;
};

// How a run ended.
enum class TKwdResult {
  Imported,     // saved
  NotStarted,   // the file could not be read or has no "O"/"KWD" line (told)
  CheckFailed,  // the check pass failed (told): nothing changed
  Declined,     // the user did not want the import after the check: nothing changed
  Refused,      // the store could not be had (told): nothing changed
  Failed,       // the import pass failed or its save failed (told): nothing saved
  Cancelled,    // cancelled on the wait panel: nothing saved
};

// What a pass counted and collected.
struct TKwdPassReport {
  int newCylinders = 0, oldCylinders = 0, newKeys = 0, oldKeys = 0, groups = 0;
  TKeySystemCode system = ksNone;
  std::string systemName;  // the plan's ID, the name of its locking system
  bool systemMade = false;
  std::vector<std::string> ambiguous;
  std::vector<std::string> messages;  // skipped records, unknown letters, in order
  std::string error;                  // why the pass failed
  TImportImportantList important;     // the changed items for the summary
};

// What the caller shows around a run (the form's wait panel and lists).
struct TKwdHooks {
  // The wait panel's text ("Die KWD-Datei wird geprüft." / "... importiert.").
  std::function<void(const std::string&)> status;
  // Progress of a pass; false cancels.
  TBulkProgress progress;
  // The change summary of an import (header first), shown after it was written.
  std::function<void(const std::vector<std::string>&)> showSummary;
};

// One pass over the plan inside a bulk run already begun (check or write).
bool RunKwdPass(TMiniDB& db, TBulkWrite& run, const TKwdPlan& plan, TKwdPassReport& report);

// The check pass's summary shown before the question.
std::string KwdCheckSummary(const TKwdPassReport& report);

// The whole run on a file: check pass, question, import pass, summary. `journalFolder`
// receives the change summary as a new journal file (empty: none written).
TKwdResult ImportKwdFile(TMiniDB& db, const std::string& fileName, const TKwdHooks& hooks,
                         const std::string& journalFolder);

// The summary lines of the last import pass (header first, the rest sorted).
const std::vector<std::string>& LastKwdSummary();

// The 40 locking-system names: the code whose system record carries "k103" = the plan ID,
// else the first code without a name (0 when all 40 are used).
TKeySystemCode FindKwdSystem(const TMiniDB& db, const std::string& planId, bool& exists);
