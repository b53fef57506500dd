#include "data/ChangeLogRowsUnit.h"

#include <cstdio>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/MultiLingua.h"
#include "basic/SLUnit.h"
#include "basic/ValueString.h"
#include "data/FieldCatalogueUnit.h"
#include "data/TimeTravelUnit.h"
#include "data/UnitTR100.h"

const TMLStringList* ChangeLogTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("ChangeLogUnit", 0);
    t->Add255Obj("Typ", 1);
    t->Add255Obj("verf\xFC" "gbar", 2);
    t->Add255Obj("keine entsprechenden Informationen gefunden", 3);
    t->Add255Obj("ohne Anlage", 4);
    t->Add255Obj("alle Anlagen", 5);
    t->Add255Obj("", 6);
    t->Add255Obj("", 7);
    t->Add255Obj("", 8);
    t->Add255Obj("Schlie\xDF" "ung", 9);
    t->Add255Obj("nur verf\xFC" "gbare Schl\xFC" "ssel anzeigen", 10);
    t->Add255Obj("nur verf\xFC" "gbare Zylinder anzeigen", 11);
    t->Add255Obj("Schl\xFC" "ssel aufrufen", 12);
    t->Add255Obj("Zylinder aufrufen", 13);
    t->Add255Obj("Dieser Datensatz ist nicht mehr vorhanden und kann nicht aufgerufen werden.", 14);
    return t;
  }();
  return table;
}

std::string ChangeLogText(int number) { return GetMLText(ChangeLogTexts(), number); }

// ---------------------------------------------------------------------------------------
// Months

double ChangeLogMonthEnd(double utc) {
  const TDateTimeParts p = DecodeDateTime(utc);
  const int days = DaysInMonth(PackDate(p.year, p.month, 1));
  return EncodeDateTime(p.year, p.month, days, 23, 59, 59, 999);
}

double ChangeLogMonthStep(double utc, int delta) {
  const TDateTimeParts p = DecodeDateTime(utc);
  int months = p.year * 12 + (p.month - 1) + delta;
  const int year = months / 12, month = months % 12 + 1;
  return ChangeLogMonthEnd(EncodeDateTime(year, month, 1));
}

std::string ChangeLogMonthCaption(double utc) {
  const TDateTimeParts p = DecodeDateTime(utc);
  return MLTranslate("Monat ") + std::to_string(p.month) + "/" + std::to_string(p.year);
}

// ---------------------------------------------------------------------------------------
// Rebuild

int RebuildChangeLogMonth(const TMiniDB& store, double moment, TChangeList& changes) {
  changes.clear();
  std::string copy;
  const int found = GetTimebackFile(store, copy, moment);
  if (found == tbNoLog) return clbNoLog;
  if (found != tbOk) return clbNoCopy;
  TMiniDB past;
  past.Registry = store.Registry;
  past.StationKey = store.StationKey;
  // A past state: never written, whatever happens to it.
  if (!past.OpenFile(copy, store.AppName)) return clbNotRead;
  past.AutoSave = false;
  past.NoSave = true;
  past.ReplayChanges(true, nullptr, &changes, ChangeLogMonthEnd(moment));
  past.NoSave = true;
  past.Close();
  return clbOk;
}

// ---------------------------------------------------------------------------------------
// Filter

bool ChangeEntryPasses(const TChangeEntry& entry, const TChangeLogFilter& filter,
                       TMiniDB& store) {
  if (filter.recordId != 0 && entry.id != filter.recordId) return false;
  if (filter.cls != 0 && entry.cls != filter.cls) return false;
  if (filter.keySystem != ksAll && entry.keySystem != filter.keySystem) return false;
  if (filter.availableOnly && !store.IsValid(entry.id)) return false;
  if (!filter.closing.empty()) {
    const std::string closing = AnsiUpperCase(store.ReadLineField(entry.id, "k603"));
    if (closing.find(AnsiUpperCase(filter.closing)) == std::string::npos) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Rows

namespace {

bool SameKeyText(const std::string& a, const char* b) { return AnsiSameText(a, b); }

constexpr char kRemoved[] = "(entfernt)";

// A link list's IDs as the names of the records, in the list's order; an ID the store does
// not know (any more) stays a number.
std::string LinkedNames(const TMiniDB& store, std::string links) {
  std::string names;
  while (!links.empty()) {
    const std::string item = Trim(FetchValue(links));
    if (item.empty()) continue;
    const int32_t id = StrToIntZero(item);
    const std::string& name = id > 0 ? store.DisplayNameOf(id) : std::string();
    names += (names.empty() ? "" : ", ") + (name.empty() ? item : name);
  }
  return names;
}

// A value as one line of a cell, in the words the lists use: linked records by name, the
// fields the field catalogue puts in words (locking system, key type) that way; the remark
// as written. Control characters (the TAB and 0x0B of identifier lists) become blanks.
std::string ShownValue(const TMiniDB& store, int cls, const std::string& key,
                       const std::string& stored) {
  if (stored == kRemoved) return MLTranslate(kRemoved);
  std::string value = IsPlainField(key) ? stored : UnscrambleStr(stored);
  int kind = 0;
  if (SameKeyText(key, "r")) {
    if (value.empty()) return MLTranslate("(leer)");
  } else if (IsLinkField(key, kind)) {
    value = LinkedNames(store, value);
  } else if (const int index = FieldIndexByKey(cls, key); index > 0) {
    // A code without a name (a locking system never named) keeps its number: a change
    // must not read as nothing.
    std::string words = FieldValueOfStored(store, index, value);
    if (!words.empty()) value = std::move(words);
  }
  for (char& c : value)
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  return value;
}

std::string DefaultLocalTime(double utc) {
  const TDateTimeParts p = DecodeDateTime(UtcToLocal(utc));
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d  %02d:%02d", p.year, p.month, p.day, p.hour,
                p.minute);
  return text;
}

}  // namespace

std::string ChangeFieldCaption(const std::string& key, int cls, bool& hidden, bool& withValue) {
  hidden = false;
  withValue = true;
  if (SameKeyText(key, "ini") || SameKeyText(key, "pw") || SameKeyText(key, "GUID")) {
    hidden = true;
    return std::string();
  }
  if (SameKeyText(key, "v")) {
    withValue = false;
    return MLTranslate("Datensatz gel\xF6scht");
  }
  if (SameKeyText(key, "own")) {
    withValue = false;
    return MLTranslate("Ausgabe/R\xFC" "cknahme");
  }
  int kind = 0;
  if (IsLinkField(key, kind)) return MLTranslate("Verkn\xFCpf. ") + ClassCaption(kind, false);
  std::string caption;
  if (FindFieldByName(cls, key, caption)) return caption;
  return key;
}

void BuildChangeLogRows(const TChangeList& changes, const TChangeLogFilter& filter,
                        TMiniDB& store, const std::function<std::string(double)>& localTime,
                        std::vector<TChangeLogRow>& rows, int& columns) {
  rows.clear();
  columns = 4;
  // The captions of the fields; without the catalogue the keys stand in (and the error
  // log says why).
  LoadFieldCatalogue(true);
  bool shaded = true;
  std::vector<std::string> items;
  for (size_t e = 0; e < changes.size(); ++e) {
    const TChangeEntry& entry = changes[e];
    if (!ChangeEntryPasses(entry, filter, store)) continue;
    shaded = !shaded;
    TChangeLogRow row;
    row.entry = static_cast<int32_t>(e);
    row.shaded = shaded;
    row.cells.push_back(localTime ? localTime(entry.time) : DefaultLocalTime(entry.time));
    row.cells.push_back(" " + (entry.userID > 0 ? store.ReadLineField(entry.userID, "n")
                                                : std::string()));
    row.cells.push_back(" " + ClassCaption(entry.cls, false));
    std::string name = store.DisplayNameOf(entry.id);
    ParseCommaText(entry.text, items);
    // The fields and their old values as key -> value, in the entry's order.
    std::vector<std::pair<std::string, std::string>> fields;
    for (const std::string& item : items) {
      const size_t eq = item.find('=');
      fields.emplace_back(item.substr(0, eq),
                          eq == std::string::npos ? std::string() : item.substr(eq + 1));
    }
    auto oldValueOf = [&](const std::string& key, std::string& value) {
      for (const auto& [k, v] : fields)
        if (k.size() == key.size() + 4 && AnsiSameText(k, key + "_old")) {
          value = v;
          return true;
        }
      return false;
    };
    if (name.empty())
      for (const auto& [k, v] : fields)
        if (SameKeyText(k, "n") && v != kRemoved) name = UnscrambleStr(v);
    row.cells.push_back(" " + name);

    TChangeLogRow old;
    old.entry = row.entry;
    old.second = true;
    old.shaded = shaded;
    bool anyOld = false;
    for (const auto& [key, value] : fields) {
      if (key.size() > 4 && AnsiSameText(key.substr(key.size() - 4), "_old")) continue;
      bool hidden = false, withValue = true;
      const std::string caption = ChangeFieldCaption(key, entry.cls, hidden, withValue);
      if (hidden) continue;
      row.cells.push_back(caption);
      row.cells.push_back(withValue ? " " + ShownValue(store, entry.cls, key, value)
                                     : std::string());
      std::string before;
      old.cells.resize(row.cells.size() - 2);
      if (withValue && oldValueOf(key, before)) {
        old.cells.push_back(MLTranslate(" bisher"));
        old.cells.push_back(" " + ShownValue(store, entry.cls, key, before));
        anyOld = true;
      } else {
        old.cells.push_back(std::string());
        old.cells.push_back(std::string());
      }
    }
    columns = std::max(columns, static_cast<int>(row.cells.size()));
    rows.push_back(std::move(row));
    if (anyOld) {
      while (!old.cells.empty() && old.cells.back().empty()) old.cells.pop_back();
      rows.push_back(std::move(old));
    }
  }
}

std::vector<std::string> ChangeLogColumnTitles(int columns) {
  std::vector<std::string> titles = {MLTranslate("Datum und Zeit"), " " + UserCaption(),
                                     " " + ChangeLogText(1), MLTranslate(" Bezeichnung")};
  while (static_cast<int>(titles.size()) < columns) {
    titles.push_back(MLTranslate(" Feld oder Aktion"));
    titles.push_back(MLTranslate(" Inhalt"));
  }
  titles.resize(std::max(columns, 0));
  return titles;
}
