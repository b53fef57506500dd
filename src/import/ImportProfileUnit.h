#pragma once
// The table import without widgets: what the user chose (content class, locking system,
// building, date format, options, the column mapping), the import profile file (".ipo")
// that keeps those choices, loading a table file into the import table, the column
// captions, and the unattended run of a profile. The dialog (import/widgets/ImportUnit.h)
// shows and edits these choices; the row engine works from them.
//
// A profile run is unattended: nobody reads a message, so a run that did not import must
// never be logged as a success.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "import/ImportEngineUnit.h"

class TImportTable;
class TMLStringList;

// One entry of the column mapping: its caption and its object, an index into the field
// catalogue, 0 for "(ignorieren)" or kImportRepeatEntry.
struct TImportColumn {
  std::string caption;
  std::int32_t object = 0;
  bool operator==(const TImportColumn&) const = default;
};

// Everything the dialog's controls hold for a run or a profile.
struct TImportSettings {
  std::string dataFileName;  // the loaded table as shown (full path)
  bool headlines = true;     // the file's first line holds captions
  std::string dateFormat;    // one of ImportDateFormats()
  int contentClass = 0;      // 0 = none chosen; else one of ImportContentClasses()
  std::int32_t keySystemId = 0;
  std::int32_t buildingId = 0;  // 0 = "laut Tabelle"
  bool createBuildings = true;
  bool createDoors = true;
  bool removeUnlistedPersons = false;
  bool overwriteDoors = false;
  std::vector<TImportColumn> columns;
};

// The content classes in the order the dialog offers them (after "bitte wählen"): keys,
// persons, doors, cylinders, groups, handovers.
const std::vector<int>& ImportContentClasses();
// The caption of a content class in the dialog's list: the class's plural, the persons
// term for persons, "Schließgruppen" and "Schlüsselübergabe".
std::string ImportContentCaption(int cls);

// The three date formats ("DD" sep "MM" sep "YYYY", "MM" sep "DD" sep "YYYY",
// "YYYY-MM-DD") with the current date separator. The second is the one preselected.
std::vector<std::string> ImportDateFormats();
inline constexpr int kImportDefaultDateFormat = 1;

// The mapping entries of the catalogue for a class: its fields (not obsolete, not
// writeonly, virtual ones too), then "(ignorieren)", and for handovers the repetition entry.
std::vector<TImportColumn> ImportStockColumns(int cls);
// The entry a field ID of a profile stands for: the repetition entry for 2147483647, the
// catalogue field of that ID, else "(ignorieren)". The catalogue must be loaded.
TImportColumn ImportColumnOfFieldId(std::int64_t fieldId);
// The "Fields=" value: each entry's field ID (0 for "(ignorieren)", 2147483647 for the
// repetition), each followed by ";".
std::string ImportFieldsValue(const std::vector<TImportColumn>& columns);
// The entries of a "Fields=" value; empty items are skipped, a text that is no number
// counts as an unknown ID.
std::vector<TImportColumn> ImportColumnsOfFields(const std::string& fields);

// Row 0 of the table from the mapping: column c takes the entries in order, the repetition
// entry skipped; once they are used up, the entries behind a repetition entry repeat for
// all further columns; without one, surplus columns are " (undefiniert)" with object 0.
// Each caption is a blank plus the entry's caption; the caption objects are the entries'.
void LayoutImportCaptions(TImportTable& table, const std::vector<TImportColumn>& columns);

// ---------------------------------------------------------------------------------------
// Profiles.

// The lines of a profile in their fixed order: DataFileName, ContainsColumnHeader,
// DateFormat, PrimaryContentClass, RemoveUnlistedPersons=1 (persons with the option only),
// KeySystemID, BuildingID, Fields.
std::vector<std::string> ImportProfileLines(const TImportSettings& settings);
// Writes them through the safe save (the old file stays as ".bak"). False when not written.
bool SaveImportProfile(const std::string& fileName, const TImportSettings& settings);

// A profile as read: its Name=Value lines, looked up by name (ignoring case).
class TImportProfileValues {
 public:
  bool Has(const std::string& name) const;
  std::string Get(const std::string& name) const;
  void Add(std::string name, std::string value);
  bool Empty() const { return values_.empty(); }

 private:
  std::vector<std::pair<std::string, std::string>> values_;
};
// Reads a profile: only a file whose extension is ".ipo" (any case) and that holds at
// least one Name=Value line. False otherwise.
bool ReadImportProfile(const std::string& fileName, TImportProfileValues& values);

// What a profile's values do to the choices: content class (the mapping emptied), locking
// system and building by ID, "BuildingName" by the caption of a valid building (none: "laut
// Tabelle"), the mapping from "Fields", the date format when it is one of the list, the
// persons option exactly when "1", the headline flag when above 0. The data file name is
// not taken (the caller loads it). The catalogue must be loaded.
void ApplyImportProfile(const TImportProfileValues& values, TImportSettings& settings);
// Why a profile cannot run unattended: "" when it can; otherwise an English reason for the
// error log (no data file, a content class the import does not know).
std::string ImportProfileFault(const TImportProfileValues& values);

// ---------------------------------------------------------------------------------------
// Loading a table.

// Reads a table file into rows of TAB fields: text files (".csv", ".txt" and unknown
// kinds) as they are, spreadsheets (".xls", ".xlsx", ".dbf", ".ods") converted into a
// temporary TAB text first (deleted afterwards). Every row end (CR LF, LF CR, LF, CR)
// ends a row; stray control characters become blanks; the rows are then rewritten from
// CSV into TAB fields (TAB when a row holds one, else ";"). Results: 0 read, 1 the file's
// kind cannot be read here (no office program), 2 the file could not be read (or its grid,
// rows times the widest row's fields, would hold more than kImportTableMaxCells cells).
inline constexpr std::int64_t kImportTableMaxCells = 10'000'000;
int ReadImportTableFile(const std::string& fileName, std::vector<std::string>& rows);
// Puts the rows below the caption row of the table (each value with a blank in front),
// marks cleared; two fixed rows with headlines, else one; the captions laid out.
void PutImportTable(TImportTable& table, const std::vector<std::string>& rows, bool headlines,
                    const std::vector<TImportColumn>& columns);
// ReadImportTableFile, then PutImportTable. On failure the table stays as it was:
// interactive, "Es wurde keine kompatible Office-Version gefunden." or "Die Datei konnte
// nicht geladen werden." with the file name; batch, an error-log line ("File could not be
// loaded:" with the name). True when loaded.
bool LoadTableFile(TImportTable& table, const std::string& fileName, bool batch, bool headlines,
                   const std::vector<TImportColumn>& columns);

// ---------------------------------------------------------------------------------------
// Running.

// The row engine's run over a loaded table (RunTableImport on the open client's store):
// true when every row went through. A dry run (the check) changes nothing. Batch runs
// show nothing. `progress` gets the rows done and their total; false cancels the run
// (nothing is saved).
bool RunImportEngine(TImportTable& table, const TImportSettings& settings, bool dryRun, bool batch,
                     std::function<bool(int64_t, int64_t)> progress = nullptr);
// What the last run reported (changes, the failing row).
const TTableImportResult& LastImportResult();
// The job RunImportEngine hands to the engine.
TTableImportJob ImportJobOf(TImportTable& table, const TImportSettings& settings, bool dryRun,
                            bool batch);
// Tests put a stand-in in the engine's place; nullptr gives the engine back.
using TTableImportRunner = std::function<bool(TImportTable& table, const TImportSettings& settings,
                                              bool dryRun, bool batch)>;
void SetTableImportRunner(TTableImportRunner runner);
// The check's summary of what the import would change ("" for a failed run).
std::string ImportCheckSummary(const TTableImportResult& result);

// The unattended run of a profile: the field catalogue loaded (nothing more when it cannot
// be), "Login missing" without a logged-in user, then the profile read (a relative path
// under the Big-Key folder when one was chosen), its table loaded and imported. The success
// log gets "Import successful", the error log "Import failed" (with the reason). True when
// imported.
// With a view, the table is loaded into the view's own table and the view is shown the
// profile's choices and that table before the import runs, so whoever watches the screen
// sees what is being imported.
struct TProfileRunView {
  TImportTable* table = nullptr;
  std::function<void(const TImportSettings&)> show;
};
bool RunProfileImport(const std::string& profileFile, bool batch, const TProfileRunView& view = {});

// The folder of Big-Key data the user pointed at in this program run ("" until then).
std::string& BigKeyFolder();

// The unit's messages (see ImportProfileUnit.cpp for the numbers).
std::string ImportText(int number);
const TMLStringList* ImportTexts();
