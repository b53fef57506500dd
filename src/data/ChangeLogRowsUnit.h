#pragma once
// The detailed change log ("Detailliertes Bearbeitungsprotokoll") without widgets: a month
// of stored changes rebuilt from the month's copy and change log in a store of its own,
// and the grid rows that show them field by field.
//
// The rebuild opens the month's copy in a private TMiniDB that never saves (AutoSave off,
// NoSave) and replays the month's log into it up to the month's end; the copy, the log and
// the client's store are only read. The private store is gone when the rebuild returns.
//
// Rows never show the password, the settings text or the GUID of a record ("pw", "ini",
// "GUID"), nor what they held before: the change log lists every field of every record.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/MiniDBUnit.h"

class TMLStringList;

// The viewer's message table (group "ChangeLogUnit", texts 1..13).
const TMLStringList* ChangeLogTexts();
std::string ChangeLogText(int number);

// The last moment of the month of `utc`: its last day at 23:59:59.999 (UTC).
double ChangeLogMonthEnd(double utc);
// The month `delta` months from that of `utc` (January - 1 is December of the year
// before), as its last moment.
double ChangeLogMonthStep(double utc, int delta);
// "Monat " + month + "/" + year of `utc`.
std::string ChangeLogMonthCaption(double utc);

// Rebuild results.
constexpr int clbOk = 0;
constexpr int clbNoLog = 1;     // the client has no time-back log (tbNoLog)
constexpr int clbNoCopy = 2;    // the month has no copy (tbNoCopy)
constexpr int clbNotRead = 3;   // the copy could not be opened

// The change entries of the month of `moment` (UTC) in log order; `changes` is cleared
// first. `store` is the client's store (its time-back log names the files; the private
// store shares its reservations).
int RebuildChangeLogMonth(const TMiniDB& store, double moment, TChangeList& changes);

// What the viewer keeps of the entries.
struct TChangeLogFilter {
  int cls = 0;                        // 0: every class
  int32_t keySystem = 0x7FFFFFFF;     // "alle Anlagen"; 0 "ohne Anlage"; else that code
  bool availableOnly = false;         // only records that are valid now
  std::string closing;                // only records whose "k603" holds this text
  int32_t recordId = 0;               // only this record (the history view's); 0 = all
};
bool ChangeEntryPasses(const TChangeEntry& entry, const TChangeLogFilter& filter,
                       TMiniDB& store);

// How a stored field key is shown; `hidden` for the keys never shown, `withValue` false
// for those shown without a value.
std::string ChangeFieldCaption(const std::string& key, int cls, bool& hidden, bool& withValue);

// One grid row. An entry takes one row, and a second when one of its fields has an old
// value (" bisher" under that field's caption).
struct TChangeLogRow {
  int32_t entry = -1;      // index in the change list
  bool second = false;     // the entry's row of old values
  bool shaded = false;     // entries alternate white and light green
  std::vector<std::string> cells;
};

// The rows of the entries that pass the filter. `localTime` gives column 0 of a UTC
// moment ("yyyy-mm-dd  hh:nn"; null: by the installed clock's zone). Names come from
// `store` without selecting a record. Values read as the lists show them: linked records
// by name, the locking system by name and the key type by its abbreviation (the field
// catalogue's words). `columns`: 4 + 2 x the most fields of an entry.
void BuildChangeLogRows(const TChangeList& changes, const TChangeLogFilter& filter,
                        TMiniDB& store, const std::function<std::string(double)>& localTime,
                        std::vector<TChangeLogRow>& rows, int& columns);

// The column titles for `columns` columns.
std::vector<std::string> ChangeLogColumnTitles(int columns);
