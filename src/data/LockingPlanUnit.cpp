#include "data/LockingPlanUnit.h"

#include <algorithm>
#include <cstdlib>

#include "basic/BasicsUnit.h"
#include "data/ItemList.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/StoreWriteUnit.h"

namespace {

std::string Field(const TMiniDB& db, int32_t id, std::string_view key) {
  return id > 0 ? db.ReadLineField(id, key) : std::string();
}
// The field of the first record that has it: the cylinder before the door.
std::string FirstGiven(const TMiniDB& db, int32_t first, int32_t second, std::string_view key) {
  std::string value = Field(db, first, key);
  return value.empty() ? Field(db, second, key) : value;
}
int KeyTypeOf(const TMiniDB& db, int32_t key) {
  return static_cast<int>(StrToPosInt(db.ReadLineField(key, fkKeyType)));
}
char RowMarkOf(const TMiniDB& db, int32_t cylinder) {
  const std::string letter = Trim(Field(db, cylinder, "k605"));
  if (letter.size() == 1 &&
      (letter[0] == kMarkCoLockI || letter[0] == kMarkCoLockM || letter[0] == kMarkCentral))
    return letter[0];
  return kMarkLocks;
}
// The row's sort key from natural-sort keys; \x01 keeps the parts apart.
std::string RowSortKey(const TMiniDB& db, const TPlanRow& row, bool byDoorName) {
  const std::string door = row.door ? NaturalSortKey(db.DisplayNameOf(row.door)) : "";
  const std::string cyl = row.cylinder ? NaturalSortKey(db.DisplayNameOf(row.cylinder)) : "";
  if (byDoorName) return door + '\x01' + cyl;
  return NaturalSortKey(FirstGiven(db, row.cylinder, row.door, "pos")) + '\x01' + cyl + '\x01' +
         door;
}

void FillTexts(const TMiniDB& db, TPlanRow& row) {
  auto& t = row.texts;
  t[pcPosition] = FirstGiven(db, row.cylinder, row.door, "pos");
  t[pcDoor] = row.door ? db.DisplayNameOf(row.door) : std::string();
  t[pcRoom] = Field(db, row.door, fkRoom);
  const std::string roomName = Field(db, row.door, fkRoomName);
  if (!roomName.empty()) t[pcRoom] += (t[pcRoom].empty() ? "" : " ") + roomName;
  t[pcCylinder] = row.cylinder ? db.DisplayNameOf(row.cylinder) : std::string();
  t[pcClosing] = FirstGiven(db, row.cylinder, row.door, "k603");
  t[pcCylinderCount] = Field(db, row.cylinder, fkCylinderCount);
  t[pcType] = Field(db, row.cylinder, "ctyp");
  t[pcFinish] = Field(db, row.cylinder, "ofl");
  t[pcLength] = FirstGiven(db, row.cylinder, row.door, fkLength);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The stored column choice

void NormalizePlanView(TPlanView& view) {
  if (!view.shown[pcSingleKey]) view.shown[pcKeyCount] = false;
  if (std::none_of(view.shown.begin(), view.shown.end(), [](bool b) { return b; }))
    view.shown[pcCylinder] = true;
}

std::string EncodePlanView(const TPlanView& view) {
  std::string letters;
  for (int c = 0; c < kPlanColumnCount; ++c)
    if (view.shown[c]) letters.push_back(kPlanColumnLetters[c]);
  std::sort(letters.begin(), letters.end());
  if (view.byDoorName) letters.push_back(kPlanByDoorLetter);
  return letters;
}

TPlanView DecodePlanView(const std::string& text) {
  TPlanView view;
  for (char ch : text) {
    const char up = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
    if (up == kPlanByDoorLetter) view.byDoorName = true;
    for (int c = 0; c < kPlanColumnCount; ++c)
      if (kPlanColumnLetters[c] == up) view.shown[c] = true;
  }
  NormalizePlanView(view);
  return view;
}

TPlanView ReadPlanView(const TMiniDB& db, int32_t user) {
  return DecodePlanView(user > 0 ? db.ReadLineField(user, kPlanViewField) : std::string());
}

bool SavePlanView(TMiniDB& db, int32_t user, const TPlanView& view) {
  if (user <= 0) return false;
  const std::string text = EncodePlanView(view);
  if (db.ReadLineField(user, kPlanViewField) == text) return true;
  TStoreWrite write(db, {user});
  if (!write.Ok() || !db.HasRecord(user)) return false;
  // The reread store may hold it already (the same user on another station).
  if (db.ReadLineField(user, kPlanViewField) == text) return true;
  db.SetField(user, kPlanViewField, text);
  return write.Commit();
}

// ---------------------------------------------------------------------------------------
// Texts wider than their cell

std::string FitPlanText(const std::string& text, int maxWidth, const TPlanTextWidth& width) {
  if (!width || width(text) <= maxWidth) return text;
  // The longest run of whole leading parts (up to a separator) that fits with the marker.
  // Longer heads are never narrower, so the first one too wide ends the search.
  auto wholeParts = [&](const char* separator, const char* marker) {
    const size_t step = std::char_traits<char>::length(separator);
    std::string best;
    for (size_t end = text.find(separator); end != std::string::npos;
         end = text.find(separator, end + step)) {
      const std::string head = TrimEnd(text.substr(0, end));
      if (head.empty()) continue;
      std::string candidate = head + marker;
      if (width(candidate) > maxWidth) break;
      best = std::move(candidate);
    }
    return best;
  };
  if (std::string cut = wholeParts(", ", ", ..."); !cut.empty()) return cut;
  if (std::string cut = wholeParts(" ", " ..."); !cut.empty()) return cut;
  size_t length = 0;
  while (length < text.size() && width(text.substr(0, length + 1) + " ...") <= maxWidth) ++length;
  const std::string head = TrimEnd(text.substr(0, length));
  return head.empty() ? std::string("...") : head + " ...";
}

// ---------------------------------------------------------------------------------------
// The matrix

char TPlanRow::MarkAt(int column) const {
  auto it = std::lower_bound(marks.begin(), marks.end(), std::make_pair(column, '\0'));
  return it != marks.end() && it->first == column ? it->second : '\0';
}

int TPlanGrid::KeyColumnOf(int32_t key) const {
  for (size_t i = 0; i < keys.size(); ++i)
    if (keys[i].id == key) return static_cast<int>(i);
  return -1;
}

int TPlanGrid::RowOfCylinder(int32_t cylinder) const {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].cylinder == cylinder) return static_cast<int>(i);
  return -1;
}

bool IsPlanMasterType(int keyType) { return keyType >= ktGroup && keyType <= ktUpperGroup; }

TPlanGrid BuildPlanGrid(const TMiniDB& db, const TPlanOptions& options) {
  TPlanGrid grid;
  const TKeySystemCode code = options.system;
  if (code == ksNone) return grid;

  // Rows: the doors of the system (a door's system is its cylinder's when it has one),
  // then, without a building filter, the cylinders no door row holds.
  TItemList doors;
  db.ListClassValid(icDoor, doors);
  TItemList taken;
  for (int32_t i = 0; i < doors.Count(); ++i) {
    const int32_t door = doors.Get(i);
    int32_t cylinder = db.ReadFirstLink(door, icCylinder);
    if (cylinder > 0 && (db.GetClass(cylinder) != icCylinder || !db.IsValid(cylinder))) cylinder = 0;
    const int32_t rowCode = db.ReadKeySystem(cylinder > 0 ? cylinder : door);
    if (rowCode != code) continue;
    if (options.building > 0 && !db.ReadHasLink(door, icBuilding, options.building)) continue;
    TPlanRow row;
    row.door = door;
    row.cylinder = cylinder;
    row.fromDoor = true;
    grid.rows.push_back(std::move(row));
    if (cylinder > 0) taken.Add(cylinder);
  }
  if (options.building <= 0) {
    TItemList cylinders;
    GetItemsOfClassInSystem(db, icCylinder, code, cylinders);
    taken.Sort();
    for (int32_t i = 0; i < cylinders.Count(); ++i) {
      const int32_t cylinder = cylinders.Get(i);
      if (taken.IndexOf(cylinder) >= 0) continue;
      TPlanRow row;
      row.cylinder = cylinder;
      int32_t door = db.ReadFirstLink(cylinder, icDoor);
      row.door = door > 0 && db.GetClass(door) == icDoor && db.IsValid(door) ? door : 0;
      grid.rows.push_back(std::move(row));
    }
  }
  {
    std::vector<std::pair<std::string, size_t>> order;
    order.reserve(grid.rows.size());
    for (size_t i = 0; i < grid.rows.size(); ++i)
      order.emplace_back(RowSortKey(db, grid.rows[i], options.byDoorName), i);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TPlanRow> sorted;
    sorted.reserve(order.size());
    for (const auto& o : order) sorted.push_back(std::move(grid.rows[o.second]));
    grid.rows = std::move(sorted);
  }

  // Key columns: the master types first, then (when asked) the others, each by name.
  TItemList keys;
  GetItemsOfClassInSystem(db, icKey, code, keys);
  std::vector<std::pair<std::string, int32_t>> masters, others;
  for (int32_t i = 0; i < keys.Count(); ++i) {
    const int32_t key = keys.Get(i);
    auto entry = std::make_pair(NaturalSortKey(db.DisplayNameOf(key)), key);
    if (IsPlanMasterType(KeyTypeOf(db, key)))
      masters.push_back(std::move(entry));
    else if (options.singleKeys)
      others.push_back(std::move(entry));
  }
  std::stable_sort(masters.begin(), masters.end());
  std::stable_sort(others.begin(), others.end());
  std::vector<int32_t> generalMasters;
  std::vector<std::pair<int32_t, int>> lookup;
  for (const auto* part : {&masters, &others})
    for (const auto& [sortKey, key] : *part) {
      const int column = static_cast<int>(grid.keys.size());
      grid.keys.push_back({key, db.ReadLineField(key, "k603"), db.DisplayNameOf(key)});
      lookup.emplace_back(key, column);
      if (KeyTypeOf(db, key) == ktGeneralMaster) generalMasters.push_back(column);
    }
  std::sort(lookup.begin(), lookup.end());
  auto columnOfKey = [&](int32_t key) {
    auto it = std::lower_bound(lookup.begin(), lookup.end(), std::make_pair(key, -1));
    return it != lookup.end() && it->first == key ? it->second : -1;
  };

  // Texts and marks per row.
  TItemList rowKeys;
  for (TPlanRow& row : grid.rows) {
    FillTexts(db, row);
    row.rowMark = RowMarkOf(db, row.cylinder);
    if (row.fromDoor)
      GetKeysOfDoor(db, row.door, false, false, rowKeys);
    else
      GetKeysOfItem(db, row.cylinder, rowKeys);
    std::string singles;
    long long singleCount = 0;
    for (int32_t i = 0; i < rowKeys.Count(); ++i) {
      const int32_t key = rowKeys.Get(i);
      if (KeyTypeOf(db, key) < ktGroup) {
        singles += (singles.empty() ? "" : ", ") + db.DisplayNameOf(key);
        singleCount += StrToPosInt(db.ReadLineField(key, fkTotal));
      }
      const int column = columnOfKey(key);
      if (column < 0) continue;
      char mark = row.rowMark;
      if ((mark == kMarkCoLockM || mark == kMarkCoLockI) &&
          Trim(db.ReadLineField(key, "k605")) != std::string(1, kMarkCoLockI))
        mark = kMarkLocks;
      row.marks.emplace_back(column, mark);
    }
    row.texts[pcSingleKey] = singles;
    row.texts[pcKeyCount] = singles.empty() ? std::string() : std::to_string(singleCount);
    if (options.textWidth)
      for (int c = 0; c < kPlanColumnCount; ++c)
        if (options.fitted[static_cast<size_t>(c)])
          row.texts[static_cast<size_t>(c)] =
              FitPlanText(row.texts[static_cast<size_t>(c)], kPlanTextWidthMax, options.textWidth);
    for (int column : generalMasters) row.marks.emplace_back(column, kMarkLocks);
    std::sort(row.marks.begin(), row.marks.end());
    // A general master key linked to the row keeps its first mark only.
    row.marks.erase(std::unique(row.marks.begin(), row.marks.end(),
                                [](const auto& a, const auto& b) { return a.first == b.first; }),
                    row.marks.end());
  }
  if (!options.unusedKeys) RemoveUnusedKeyColumns(grid);
  return grid;
}

void RemoveUnusedKeyColumns(TPlanGrid& grid) {
  std::vector<char> used(grid.keys.size(), 0);
  for (const TPlanRow& row : grid.rows)
    for (const auto& mark : row.marks) used[mark.first] = 1;
  std::vector<int> moved(grid.keys.size(), -1);
  std::vector<TPlanKey> kept;
  for (size_t c = 0; c < grid.keys.size(); ++c)
    if (used[c]) {
      moved[c] = static_cast<int>(kept.size());
      kept.push_back(std::move(grid.keys[c]));
    }
  grid.keys = std::move(kept);
  for (TPlanRow& row : grid.rows)
    for (auto& mark : row.marks) mark.first = moved[mark.first];
}

TPlanCellRows::TPlanCellRows(const TPlanGrid& grid, const TPlanView& view,
                             const std::array<std::string, kPlanColumnCount>& captions,
                             const std::string& separatorCaption, const std::string& systemName,
                             const std::string& buildingName)
    : grid_(grid),
      captions_(captions),
      separatorCaption_(separatorCaption),
      systemName_(systemName),
      buildingName_(buildingName) {
  for (int c = 0; c < kPlanColumnCount; ++c)
    if (view.shown[c]) textColumns_.push_back(c);
  first_ = textColumns_.size() + 1;
}

void TPlanCellRows::Row(size_t r, std::vector<std::string>& cells) const {
  const size_t width = Width();
  cells.resize(width);
  for (std::string& cell : cells) cell.clear();
  const size_t texts = textColumns_.size();
  if (r < 3) {
    if (r == 2)
      for (size_t i = 0; i < texts; ++i) cells[i] = " " + captions_[textColumns_[i]];
    if (r == 0) cells[texts] = separatorCaption_;
    if (r < 2)
      for (size_t k = 0; k < grid_.keys.size(); ++k)
        cells[first_ + k] = r == 0 ? grid_.keys[k].ident : grid_.keys[k].name;
    if (r == 0) cells[0] = systemName_;
    if (r == 1) cells[0] = buildingName_;
    return;
  }
  const TPlanRow& row = grid_.rows[r - 3];
  for (size_t i = 0; i < texts; ++i) cells[i] = row.texts[textColumns_[i]];
  for (const auto& [column, mark] : row.marks) cells[first_ + column].assign(1, mark);
}

std::vector<std::vector<std::string>> PlanCells(
    const TPlanGrid& grid, const TPlanView& view,
    const std::array<std::string, kPlanColumnCount>& captions, const std::string& separatorCaption,
    const std::string& systemName, const std::string& buildingName) {
  const TPlanCellRows rows(grid, view, captions, separatorCaption, systemName, buildingName);
  std::vector<std::vector<std::string>> cells(rows.Count());
  for (size_t r = 0; r < rows.Count(); ++r) rows.Row(r, cells[r]);
  return cells;
}
