#include "data/ViewOptionsUnit.h"

#include <charconv>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/ValueString.h"
#include "data/IniUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

namespace {

// "Name" blank 0x01 and the ID, padded so that a longer ID never sorts between a record
// and the copies behind it. Appended to `key`: one sort key is built per listed record.
void AppendNamePart(const TMiniDB& db, int cls, int32_t id, std::string& key) {
  const size_t start = key.size();
  if (cls >= 0 && cls < 256 && ViewOptions().naturalNames[cls])
    key += NaturalSortKey(db.GetDisplayName(id));
  else
    key += db.DisplayNameOf(id);
  AnsiUpperCaseInPlace(key.data() + start, key.size() - start);
  key += " \x01";
  char digits[16];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, id);
  const size_t length = ec == std::errc() ? static_cast<size_t>(end - digits) : 0;
  if (length < 10) key.append(10 - length, '0');
  key.append(digits, length);
}

// The names of a record for its sort key: a copy's mother first, so the copy follows her.
void AppendNamesPart(const TMiniDB& db, int cls, int32_t id, int32_t mother, std::string& key) {
  if (mother > 0 && mother != id) {
    AppendNamePart(db, cls, mother, key);
    key += '\x01';
  }
  AppendNamePart(db, cls, id, key);
}

}  // namespace


void ResetViewOptions() { ViewOptions() = TViewOptions(); }

void ApplyViewSortText(const std::string& viewSort) {
  TViewOptions& options = ViewOptions();
  options.naturalNames.fill(false);
  options.variant.fill(0);
  std::string rest = viewSort;
  while (!rest.empty()) {
    std::string entry = FetchTabField(rest);
    const size_t eq = entry.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    int32_t cls = 0;
    if (!TryStrToInt("$" + entry.substr(0, eq), cls) || cls < 1 || cls > 255) continue;
    const std::string flags = entry.substr(eq + 1);
    options.naturalNames[cls] = CharAt(flags, 1) == '1';
    const char digit = CharAt(flags, 2);
    options.variant[cls] = digit > '0' && digit <= '9' ? static_cast<uint8_t>(digit - '0') : 0;
  }
}

void LoadUserViewSettings() { ApplyViewSortText(ReadDataSettingStr(kViewSortSetting)); }

void ApplyNameCase(int cls, std::string& name) {
  if (cls >= 0 && cls < 256 && ViewOptions().naturalNames[cls]) name = NaturalSortKey(name);
}

std::string NameCaseOf(int cls, const std::string& name) {
  std::string result = name;
  ApplyNameCase(cls, result);
  return result;
}

TItemFormatter SelectItemFormatter(int cls) {
  const bool closing =
      (cls == icDoor || cls == icCylinder) && ViewOptions().variant[cls] == 1;
  ViewOptions().closingFormatter = closing;
  return closing ? TItemFormatter::Closing : TItemFormatter::Standard;
}

namespace {

void AppendStandardSortKey(const TMiniDB& db, int32_t id, std::string& key, int32_t& mother) {
  const int cls = db.GetClass(id);
  const bool withNumber = cls > 0 && ViewOptions().variant[cls] == 2;
  // One reading of the record line for the fields the key needs.
  static const std::string motherKey = "l" + std::to_string(lkMother);
  const std::string_view keys[] = {motherKey, fkKeyType, "k603"};
  std::string values[3];
  db.ReadLineFields(id, keys, values, withNumber ? 3 : 2);
  mother = StrToIntZero(FetchValue(values[0]));
  if (withNumber) {
    key += values[2];
    key += ' ';
  }
  if (cls == icKey) {
    int32_t type = 0;
    if (!TryStrToInt(values[1], type)) type = 0;
    if (type < ktGroup || type == ktCoLockI || type == ktCoLockM) key += '\xFF';
  }
  AppendNamesPart(db, cls, id, mother, key);
}

void AppendClosingSortKey(const TMiniDB& db, int32_t id, std::string& key, int32_t& mother) {
  const int cls = db.GetClass(id);
  const int32_t cylinder = cls == icDoor ? db.ReadFirstLink(id, icCylinder) : id;
  const int32_t door = cls == icDoor ? id : db.ReadFirstLink(id, icDoor);
  const std::string cylinderNo = cylinder > 0 ? db.ReadLineField(cylinder, "k603") : "";
  const std::string doorNo = door > 0 ? db.ReadLineField(door, "k603") : "";
  if (cylinderNo.empty() && doorNo.empty()) {
    key += '\x03';
  } else {
    key += '\x02';
    key += NaturalSortKey(cylinderNo);
    key += '\x01';
    key += NaturalSortKey(doorNo);
    key += '\x01';
  }
  mother = db.ReadFirstLink(id, lkMother);
  AppendNamesPart(db, cls, id, mother, key);
}

}  // namespace

std::string StandardSortKey(const TMiniDB& db, int32_t id) {
  std::string key;
  int32_t mother = 0;
  AppendStandardSortKey(db, id, key, mother);
  return key;
}

std::string ClosingSortKey(const TMiniDB& db, int32_t id) {
  std::string key;
  int32_t mother = 0;
  AppendClosingSortKey(db, id, key, mother);
  return key;
}

std::string ItemSortKey(const TMiniDB& db, int32_t id) {
  std::string key;
  int32_t mother = 0;
  AppendItemSortKey(db, id, key, mother);
  return key;
}

void AppendItemSortKey(const TMiniDB& db, int32_t id, std::string& key, int32_t& mother) {
  if (ViewOptions().closingFormatter) AppendClosingSortKey(db, id, key, mother);
  else AppendStandardSortKey(db, id, key, mother);
}

int CompareSortKeys(std::string_view a, std::string_view b) {
  const int r = a.compare(b);  // unsigned bytes, as AnsiCompareStr
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

