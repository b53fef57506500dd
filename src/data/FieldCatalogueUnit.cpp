#include "data/FieldCatalogueUnit.h"

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MultiLingua.h"
#include "basic/ParamsUnit.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"
#include "data/RemarkTextUnit.h"
#include "data/StockUnit.h"
#include "data/UnitTR100.h"

// The unit's message table; "Datei nicht gefunden." is the shared core text 43.
const TMLStringList* CatalogueTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FieldCatalogueUnit", 0);
    t->Add255Obj("Falsche Datei-Version.", 1);
    return t;
  }();
  return table;
}

namespace {

// The line's fields by the CSV rules at TAB, quotes removed, each trimmed.
std::vector<std::string> NormalizedFields(const std::string& line) {
  std::vector<std::string> fields;
  std::string rest = line;
  while (!rest.empty()) fields.push_back(Trim(FetchCsvField(rest, '\t')));
  return fields;
}

std::string JoinWithTabs(const std::vector<std::string>& fields) {
  std::string text;
  for (const std::string& f : fields) text += f + '\t';
  return text;
}

uint16_t FieldIdOf(const std::string& text) {
  int64_t value = 0;
  if (!TryStrToInt64(text, value) || value < 0 || value > 65535) return 0;
  return static_cast<uint16_t>(value);
}

TFieldEntry EntryOf(const std::vector<std::string>& fields) {
  auto at = [&fields](size_t i) { return i < fields.size() ? fields[i] : std::string(); };
  TFieldEntry e;
  e.cls = static_cast<uint8_t>(StrToByteZero(at(0)));
  e.refClass = static_cast<uint8_t>(StrToByteZero(at(2)));
  e.name = at(3);
  e.caption = e.name;
  e.dbKey = at(4);
  e.check = at(5);
  e.docVar = at(6);
  const std::string status = AnsiLowerCase(at(7));
  e.obsolete = status.find("obsolete") != std::string::npos;
  e.readonly = status.find("readonly") != std::string::npos;
  e.writeonly = status.find("writeonly") != std::string::npos;
  e.isVirtual = status.find("virtual") != std::string::npos;
  e.id = FieldIdOf(at(8));
  return e;
}

bool Fail(bool logErrors, const std::string& logText, const std::string& message,
          const std::string& fileName) {
  if (logErrors) LogError(logText, fileName);
  else UI().ShowMessage(TMsgKind::Error, message + "\r" + fileName);
  return false;
}

const TFieldEntry* ValidEntry(int index) {
  const auto& entries = FieldCatalogue();
  if (index < 1 || static_cast<size_t>(index) >= entries.size()) return nullptr;
  return &entries[static_cast<size_t>(index)];
}

// The settings record's "MandantName", found without the store's singleton search (which
// may take the reservation and reread).
std::string ClientName(TMiniDB& db) {
  TItemList settings;
  db.ListClass(clsSettings, settings);
  return settings.Count() > 0 ? db.ReadLineField(settings.Get(0), "MandantName") : std::string();
}

std::string FirstLinkedName(TMiniDB& db, int32_t id, int refClass) {
  if (refClass < 1) return {};
  std::string links = db.ReadLineField(id, "l" + std::to_string(refClass));
  while (!links.empty()) {
    const int32_t other = StrToIntZero(FetchValue(links));
    if (other > 0 && db.GetClass(other) == refClass) return db.GetDisplayName(other);
  }
  return {};
}

// A remark keeps its memo lines as one comma text; shown as one line they are joined by
// blanks, empty ones left out.
std::string RemarkAsOneLine(const std::string& remark) { return RemarkToLine(remark); }

// The pseudo-fields that stand for one stored field and show its value in words: the
// remark as one line, the locking system by name, the key type by its abbreviation. False
// for the others.
bool StoredValueText(const TMiniDB& db, const std::string& inner, const std::string& value,
                     std::string& text) {
  if (inner == "r") text = RemarkAsOneLine(value);
  else if (inner == "ks") text = KeySystemName(db, StrToPosInt(value));
  else if (inner == "kt") text = KeyTypeAbbrevOf(StrToIntZero(value));
  else return false;
  return true;
}

std::string PseudoFieldValue(TMiniDB& db, const TFieldEntry& e, const std::string& inner,
                             int32_t id) {
  if (inner == "n12") return db.GetDisplayName(id);
  // "(r)", "(ks)" and "(kt)" stand for the fields of the same keys.
  if (inner == "r" || inner == "ks" || inner == "kt") {
    std::string text;
    StoredValueText(db, inner, db.ReadLineField(id, inner), text);
    return text;
  }
  if (inner == "total") {
    std::string total = db.ReadLineField(id, fkTotal);
    if (total.empty() && db.GetClass(id) == icCylinder)
      total = db.ReadLineField(id, fkCylinderCount);
    return total;
  }
  if (inner == "DbID") return std::to_string(id);
  if (inner == "LonelyRef") return FirstLinkedName(db, id, e.refClass);
  if (inner == "Mandator") return ClientName(db);
  return {};  // "(MultiRef)", "(none)" ...: the imports' business
}

}  // namespace

std::vector<TFieldEntry>& FieldCatalogue() {
  static std::vector<TFieldEntry> entries;
  return entries;
}

void ResetFieldCatalogue() { FieldCatalogue().clear(); }

std::string FieldCatalogueFileName() { return GetProgramFolder() + "System/Fields.csv"; }

bool LoadFieldCatalogue(bool logErrors, const std::string& fileName) {
  auto& entries = FieldCatalogue();
  if (!entries.empty()) return true;
  const std::string file = fileName.empty() ? FieldCatalogueFileName() : fileName;
  std::vector<std::string> lines;
  if (LoadTextFile(file, lines, 128) != ltfRead)
    return Fail(logErrors, "File not found:", CoreText(43), file);
  // A file of a header alone is as unusable as one of another version, and saying nothing
  // would leave every list of fields empty without a word.
  if (lines.size() < 2 || !JoinWithTabs(NormalizedFields(lines[0])).starts_with(kFieldCatalogueHeader))
    return Fail(logErrors, "Invalid file format:", GetMLText(CatalogueTexts(), 1), file);
  std::vector<TFieldEntry> read;
  read.reserve(lines.size());
  TFieldEntry placeholder;
  placeholder.obsolete = placeholder.readonly = placeholder.isVirtual = true;
  read.push_back(placeholder);
  for (size_t i = 1; i < lines.size(); ++i) read.push_back(EntryOf(NormalizedFields(lines[i])));
  entries = std::move(read);
  return true;
}

int ListFieldsOfClass(int cls, bool includeObsolete, bool includeWriteonly, TQStringList& list,
                      bool includeVirtual) {
  const auto& entries = FieldCatalogue();
  int added = 0;
  for (size_t i = 1; i < entries.size(); ++i) {
    const TFieldEntry& e = entries[i];
    if (cls != 0 && e.cls != cls) continue;
    if ((e.obsolete && !includeObsolete) || (e.writeonly && !includeWriteonly) ||
        (e.isVirtual && !includeVirtual))
      continue;
    list.AddObject(e.caption, static_cast<TListObject>(i));
    ++added;
  }
  return added;
}

void FieldCaption(int index, bool plural, std::string& text) {
  const TFieldEntry* e = ValidEntry(index);
  if (!e) return;
  if (!e->obsolete && (e->dbKey == "n" || e->dbKey == "(n12)"))
    text = ClassCaption(e->cls, plural);
  else
    text = e->caption;
}

int FieldIndexById(int fieldId) {
  const auto& entries = FieldCatalogue();
  for (size_t i = 1; i < entries.size(); ++i)
    if (entries[i].id == fieldId) return static_cast<int>(i);
  return 0;
}

int FieldIndexByKey(int cls, const std::string& key) {
  const std::string plain = AnsiLowerCase(key);
  const std::string bracketed = "(" + plain + ")";
  const auto& entries = FieldCatalogue();
  for (size_t i = 1; i < entries.size(); ++i) {
    const TFieldEntry& e = entries[i];
    if (e.cls != cls) continue;
    const std::string entryKey = AnsiLowerCase(e.dbKey);
    if (entryKey == plain || entryKey == bracketed) return static_cast<int>(i);
  }
  return 0;
}

bool FindFieldByName(int cls, const std::string& key, std::string& caption) {
  const int index = FieldIndexByKey(cls, key);
  if (index == 0) return false;
  caption = FieldCatalogue()[static_cast<size_t>(index)].caption;
  return true;
}

std::string FieldValueOfStored(const TMiniDB& db, int index, const std::string& value) {
  const TFieldEntry* e = ValidEntry(index);
  if (!e) return value;
  const std::string& key = e->dbKey;
  std::string text;
  if (key.size() >= 2 && key.front() == '(' && key.back() == ')' &&
      StoredValueText(db, key.substr(1, key.size() - 2), value, text))
    return text;
  return value;
}

std::string FieldValueOfRecord(TMiniDB& db, int index, int32_t id) {
  const TFieldEntry* e = ValidEntry(index);
  if (!e || id == 0 || e->dbKey.empty()) return {};
  const std::string& key = e->dbKey;
  if (key.size() >= 2 && key.front() == '(' && key.back() == ')')
    return PseudoFieldValue(db, *e, key.substr(1, key.size() - 2), id);
  return db.ReadLineField(id, key);
}

std::string FieldValueText(TMiniDB& db, int index, const std::array<int32_t, 256>& idsByClass) {
  const TFieldEntry* e = ValidEntry(index);
  if (!e) return {};
  // A field of a linked record (the person of a handover ...) reads that record.
  const int slot = e->refClass != 0 ? e->refClass : e->cls;
  return FieldValueOfRecord(db, index, idsByClass[static_cast<size_t>(slot)]);
}
