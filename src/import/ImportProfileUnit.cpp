#include "import/ImportProfileUnit.h"

#include <algorithm>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/ValueString.h"
#include "data/FieldCatalogueUnit.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "import/ExcelReadUnit.h"
#include "import/ImportTable.h"
#include "import/ImportText.h"

const TMLStringList* ImportTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("ImportUnit", 0);
    t->Add255Obj("(ignorieren)", 1);
    t->Add255Obj("(ab hier wiederholen bis Ende)", 2);
    t->Add255Obj("(undefiniert)", 3);
    t->Add255Obj("Die Datei konnte nicht geladen werden.", 4);
    t->Add255Obj("Es wurde keine kompatible Office-Version gefunden.", 5);
    t->Add255Obj("Daten laden?", 6);
    t->Add255Obj("Es wurde bereits eine Datei geladen (siehe Tabelle).#13#M\xF6"
                 "chten Sie eine andere Datei laden?",
                 7);
    t->Add255Obj("bitte w\xE4hlen", 8);
    t->Add255Obj("Schlie\xDFgruppen", 9);
    t->Add255Obj("Schl\xFCssel\xFC"
                 "bergabe",
                 10);
    t->Add255Obj("laut Tabelle", 11);
    t->Add255Obj("Import-Konfiguration", 12);
    t->Add255Obj("Tabelle \xF6"
                 "ffnen",
                 13);
    t->Add255Obj("Tabelle", 14);
    t->Add255Obj("Bitte halten Sie nur 1 Office-Fenster ge\xF6"
                 "ffnet.",
                 15);
    t->Add255Obj("Office wird w\xE4hrend des Imports aus technischen Gr\xFCnden geschlossen.", 16);
    t->Add255Obj("Bitte speichern Sie deshalb vorher alle \xC4nderungen.", 17);
    t->Add255Obj("Fortsetzen?", 18);
    t->Add255Obj("eingelesen", 19);
    t->Add255Obj("W\xE4hlen Sie im Folgenden irgendeine DBF-DATEI IM BIG-KEY-DATENVERZEICHNIS", 20);
    t->Add255Obj("Felder-Zuordnung speichern unter", 21);
    t->Add255Obj("Felder-Zuordnung laden", 22);
    t->Add255Obj("Die Datei konnte nicht gespeichert werden.", 23);
    t->Add255Obj("Die Pr\xFC"
                 "fung ergab keine Fehler.",
                 24);
    t->Add255Obj("gepr\xFC"
                 "fte Zeilen: %1",
                 25);
    t->Add255Obj("neue Datens\xE4tze: %1", 26);
    t->Add255Obj("ge\xE4nderte Datens\xE4tze: %1", 27);
    t->Add255Obj("\xDC"
                 "bergaben: %1",
                 28);
    t->Add255Obj("gel\xF6schte Personen: %1", 29);
    return t;
  }();
  return table;
}

std::string ImportText(int number) { return GetMLText(ImportTexts(), number); }

namespace {

// Lines of the error and success logs.
constexpr const char* kLogLoginMissing = "Login missing";
constexpr const char* kLogImportFailed = "Import failed";
constexpr const char* kLogImportSuccessful = "Import successful";

std::string FolderOf(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string UpperExtension(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return AnsiUpperCase(fileName.substr(dot));
}

bool IsContentClass(int cls) {
  const auto& classes = ImportContentClasses();
  return std::find(classes.begin(), classes.end(), cls) != classes.end();
}

// A profile's whole number; false for anything else.
bool ProfileNumber(const std::string& text, std::int64_t& value) {
  return TryStrToInt64(Trim(text), value);
}

}  // namespace

const std::vector<int>& ImportContentClasses() {
  static const std::vector<int> classes = {icKey,      icPerson, icDoor,
                                           icCylinder, icGroup,  kImportHandoverClass};
  return classes;
}

std::string ImportContentCaption(int cls) {
  switch (cls) {
    case icPerson: return PersonTerm();
    case icGroup: return ImportText(9);
    case kImportHandoverClass: return ImportText(10);
    default: return ClassCaption(cls, true);
  }
}

std::vector<std::string> ImportDateFormats() {
  const std::string sep(1, DateSeparator());
  return {"DD" + sep + "MM" + sep + "YYYY", "MM" + sep + "DD" + sep + "YYYY", "YYYY-MM-DD"};
}

std::vector<TImportColumn> ImportStockColumns(int cls) {
  std::vector<TImportColumn> out;
  if (cls > 0) {
    TQStringList fields;
    ListFieldsOfClass(cls, false, false, fields, true);
    for (int i = 0; i < fields.Count(); ++i)
      out.push_back({fields.Get(i), static_cast<std::int32_t>(fields.GetObject(i))});
  }
  out.push_back({ImportText(1), 0});
  if (cls == kImportHandoverClass) out.push_back({ImportText(2), kImportRepeatEntry});
  return out;
}

TImportColumn ImportColumnOfFieldId(std::int64_t fieldId) {
  if (fieldId == kImportRepeatEntry) return {ImportText(2), kImportRepeatEntry};
  if (fieldId > 0 && fieldId <= 65535) {
    const int index = FieldIndexById(static_cast<int>(fieldId));
    if (index > 0) return {FieldCatalogue()[static_cast<size_t>(index)].caption, index};
  }
  return {ImportText(1), 0};
}

std::string ImportFieldsValue(const std::vector<TImportColumn>& columns) {
  std::string out;
  const auto& catalogue = FieldCatalogue();
  for (const TImportColumn& c : columns) {
    std::int64_t id = 0;
    if (c.object == kImportRepeatEntry)
      id = kImportRepeatEntry;
    else if (c.object > 0 && static_cast<size_t>(c.object) < catalogue.size())
      id = catalogue[static_cast<size_t>(c.object)].id;
    out += std::to_string(id) + ";";
  }
  return out;
}

std::vector<TImportColumn> ImportColumnsOfFields(const std::string& fields) {
  std::vector<TImportColumn> out;
  size_t start = 0;
  while (start <= fields.size()) {
    size_t end = fields.find(';', start);
    if (end == std::string::npos) end = fields.size();
    const std::string item = Trim(fields.substr(start, end - start));
    if (!item.empty()) {
      std::int64_t id = 0;
      if (!ProfileNumber(item, id)) id = 0;
      out.push_back(ImportColumnOfFieldId(id));
    }
    start = end + 1;
  }
  return out;
}

void LayoutImportCaptions(TImportTable& table, const std::vector<TImportColumn>& columns) {
  if (table.RowCount() < 1) table.SetRowCount(1);
  size_t repeat = columns.size();
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i].object == kImportRepeatEntry) {
      repeat = i;
      break;
    }
  size_t next = 0;
  for (int c = 0; c < table.ColCount(); ++c) {
    if (next == repeat) ++next;
    if (next >= columns.size() && repeat + 1 < columns.size()) next = repeat + 1;
    if (next < columns.size()) {
      table.SetCell(c, 0, " " + columns[next].caption);
      table.SetCaptionObject(c, columns[next].object);
      ++next;
    } else {
      table.SetCell(c, 0, " " + ImportText(3));
      table.SetCaptionObject(c, 0);
    }
  }
}

// ---------------------------------------------------------------------------------------

std::vector<std::string> ImportProfileLines(const TImportSettings& s) {
  std::vector<std::string> lines;
  lines.push_back("DataFileName=" + s.dataFileName);
  lines.push_back(std::string("ContainsColumnHeader=") + (s.headlines ? "1" : "0"));
  lines.push_back("DateFormat=" + s.dateFormat);
  lines.push_back("PrimaryContentClass=" + std::to_string(s.contentClass));
  if (s.contentClass == icPerson && s.removeUnlistedPersons)
    lines.push_back("RemoveUnlistedPersons=1");
  lines.push_back("KeySystemID=" + std::to_string(s.keySystemId));
  lines.push_back("BuildingID=" + std::to_string(s.buildingId));
  lines.push_back("Fields=" + ImportFieldsValue(s.columns));
  return lines;
}

bool SaveImportProfile(const std::string& fileName, const TImportSettings& settings) {
  return SaveTextFileSafe(ImportProfileLines(settings), fileName, true);
}

bool TImportProfileValues::Has(const std::string& name) const {
  for (const auto& [n, v] : values_)
    if (AnsiSameText(n, name)) return true;
  return false;
}

std::string TImportProfileValues::Get(const std::string& name) const {
  for (const auto& [n, v] : values_)
    if (AnsiSameText(n, name)) return v;
  return "";
}

void TImportProfileValues::Add(std::string name, std::string value) {
  values_.emplace_back(std::move(name), std::move(value));
}

bool ReadImportProfile(const std::string& fileName, TImportProfileValues& values) {
  values = TImportProfileValues();
  if (UpperExtension(fileName) != ".IPO") return false;
  std::vector<std::string> lines;
  if (!ReadImportTextFile(fileName, lines)) return false;
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    values.Add(Trim(line.substr(0, eq)), line.substr(eq + 1));
  }
  return !values.Empty();
}

void ApplyImportProfile(const TImportProfileValues& values, TImportSettings& settings) {
  settings.columns.clear();
  std::int64_t n = 0;
  if (values.Has("PrimaryContentClass")) {
    settings.contentClass =
        ProfileNumber(values.Get("PrimaryContentClass"), n) && IsContentClass(static_cast<int>(n))
            ? static_cast<int>(n)
            : 0;
  }
  if (values.Has("KeySystemID") && ProfileNumber(values.Get("KeySystemID"), n))
    settings.keySystemId = static_cast<std::int32_t>(n);
  if (values.Has("BuildingID") && ProfileNumber(values.Get("BuildingID"), n))
    settings.buildingId = static_cast<std::int32_t>(n);
  if (values.Has("BuildingName")) {
    settings.buildingId = 0;
    const std::string name = values.Get("BuildingName");
    if (TMiniDB* db = SessionDB()) {
      TItemList buildings;
      db->ListClassValid(icBuilding, buildings);
      for (int32_t i = 0; i < buildings.Count(); ++i)
        if (db->ReadLineField(buildings.Get(i), fkName) == name) {
          settings.buildingId = buildings.Get(i);
          break;
        }
    }
  }
  settings.columns = ImportColumnsOfFields(values.Get("Fields"));
  if (values.Has("DateFormat")) {
    const std::string format = values.Get("DateFormat");
    for (const std::string& f : ImportDateFormats())
      if (f == format) settings.dateFormat = f;
  }
  settings.removeUnlistedPersons = values.Get("RemoveUnlistedPersons") == "1";
  if (values.Has("ContainsColumnHeader"))
    settings.headlines = ProfileNumber(values.Get("ContainsColumnHeader"), n) && n > 0;
}

std::string ImportProfileFault(const TImportProfileValues& values) {
  if (Trim(values.Get("DataFileName")).empty()) return "no DataFileName";
  std::int64_t cls = 0;
  if (!ProfileNumber(values.Get("PrimaryContentClass"), cls) ||
      !IsContentClass(static_cast<int>(cls)))
    return "unknown PrimaryContentClass " + values.Get("PrimaryContentClass");
  return "";
}

// ---------------------------------------------------------------------------------------

int ReadImportTableFile(const std::string& fileName, std::vector<std::string>& rows) {
  const std::string ext = UpperExtension(fileName);
  const std::string kind = ext.size() > 1 ? ext.substr(1, 3) : std::string();
  const bool sheet = kind == "XLS" || kind == "DBF" || kind == "ODS";
  std::string textFile = fileName;
  if (sheet) {
    if (!SpreadsheetReadable(fileName)) return 1;
    if (!ReadSpreadsheetFile(fileName, textFile)) return 2;
  }
  std::vector<std::string> read;
  const bool ok = ReadImportTextFile(textFile, read);
  if (sheet) DeleteFileForce(textFile);
  if (!ok) return 2;
  CsvLinesToTabLines(read);
  // The grid holds every row as wide as the widest: one line of countless separators
  // must not ask for more memory than the workstation has.
  std::int64_t fields = 0;
  for (const std::string& line : read)
    fields = std::max<std::int64_t>(fields, std::count(line.begin(), line.end(), '\t') + 1);
  if (fields * static_cast<std::int64_t>(read.size() + 1) > kImportTableMaxCells) return 2;
  rows = std::move(read);
  return 0;
}

void PutImportTable(TImportTable& table, const std::vector<std::string>& rows, bool headlines,
                    const std::vector<TImportColumn>& columns) {
  table.Clear();
  table.SetRowCount(1);
  SpreadsheetToGrid(rows, table, 0, true, 1);
  table.ClearMarks();
  table.SetFixedRows(headlines ? 2 : 1);
  LayoutImportCaptions(table, columns);
}

bool LoadTableFile(TImportTable& table, const std::string& fileName, bool batch, bool headlines,
                   const std::vector<TImportColumn>& columns) {
  std::vector<std::string> rows;
  const int result = ReadImportTableFile(fileName, rows);
  if (result != 0) {
    if (batch)
      LogFileLoadError(fileName);
    else
      ShowError(result == 1 ? ImportText(5) : ImportText(4) + "\r" + fileName);
    return false;
  }
  PutImportTable(table, rows, headlines, columns);
  return true;
}

// ---------------------------------------------------------------------------------------

namespace {
TTableImportRunner& Runner() {
  static TTableImportRunner runner;
  return runner;
}
TTableImportResult& LastResult() {
  static TTableImportResult result;
  return result;
}
}  // namespace

void SetTableImportRunner(TTableImportRunner runner) { Runner() = std::move(runner); }
const TTableImportResult& LastImportResult() { return LastResult(); }

TTableImportJob ImportJobOf(TImportTable& table, const TImportSettings& s, bool dryRun,
                            bool batch) {
  TTableImportJob job;
  job.table = &table;
  for (const TImportColumn& c : s.columns) job.entries.push_back(c.object);
  job.contentClass = s.contentClass;
  job.keySystem = s.keySystemId;
  job.building = s.buildingId;
  job.dateFormat = s.dateFormat;
  job.dryRun = dryRun;
  job.batch = batch;
  job.removeUnlistedPersons = s.contentClass == icPerson && s.removeUnlistedPersons;
  job.createBuildings = s.createBuildings;
  job.createDoors = s.createDoors;
  job.reuseDoors = s.overwriteDoors;
  return job;
}

bool RunImportEngine(TImportTable& table, const TImportSettings& settings, bool dryRun, bool batch,
                     std::function<bool(int64_t, int64_t)> progress) {
  LastResult() = TTableImportResult();
  if (const TTableImportRunner& run = Runner()) return run(table, settings, dryRun, batch);
  TMiniDB* db = SessionDB();
  if (!db || settings.contentClass == 0) return false;
  TTableImportJob job = ImportJobOf(table, settings, dryRun, batch);
  job.progress = std::move(progress);
  LastResult() = RunTableImport(*db, job);
  return LastResult().ok;
}

std::string ImportCheckSummary(const TTableImportResult& result) {
  if (!result.ok) return "";
  int created = 0, updated = 0, handovers = 0, deleted = 0;
  for (const TImportChange& c : result.changes) switch (c.kind) {
      case TImportChangeKind::Create: ++created; break;
      case TImportChangeKind::Update: ++updated; break;
      case TImportChangeKind::Handover: ++handovers; break;
      case TImportChangeKind::Delete: ++deleted; break;
      case TImportChangeKind::HandoverSkipped: break;
    }
  auto line = [](int number, int count) {
    return "\r" + GetMLTextFmt(ImportTexts(), number, std::to_string(count));
  };
  return ImportText(24) + line(25, result.rowsDone) + line(26, created) + line(27, updated) +
         line(28, handovers) + line(29, deleted);
}

std::string& BigKeyFolder() {
  static std::string folder;
  return folder;
}

bool RunProfileImport(const std::string& profileFile, bool batch, const TProfileRunView& view) {
  if (!LoadFieldCatalogue(batch)) return false;
  if (!Session().LoggedIn) {
    LogError(kLogLoginMissing, profileFile);
    return false;
  }
  std::string profile = profileFile;
  MakeAbsolutePath(BigKeyFolder(), profile);
  auto fail = [&](const std::string& why) {
    LogError(kLogImportFailed, why.empty() ? profile : profile + ": " + why);
    return false;
  };
  TImportProfileValues values;
  if (!ReadImportProfile(profile, values)) {
    if (batch)
      LogFileLoadError(profile);
    else
      ShowError(ImportText(4) + "\r" + profile);
    return fail("");
  }
  if (const std::string fault = ImportProfileFault(values); !fault.empty()) return fail(fault);
  TImportSettings settings;
  settings.dateFormat = ImportDateFormats()[kImportDefaultDateFormat];
  ApplyImportProfile(values, settings);
  std::string data = Trim(values.Get("DataFileName"));
  MakeAbsolutePath(FolderOf(profile), data);
  settings.dataFileName = data;
  TImportTable ownTable;
  TImportTable& table = view.table ? *view.table : ownTable;
  if (!LoadTableFile(table, data, batch, settings.headlines, settings.columns))
    return fail("table not loaded");
  if (view.show) view.show(settings);
  if (!RunImportEngine(table, settings, false, batch)) return fail("");
  LogOk(kLogImportSuccessful, profile);
  return true;
}
