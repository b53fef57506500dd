#include "import/ImportPlanDefUnit.h"

#include <algorithm>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MultiLingua.h"
#include "import/ImportTable.h"

const TMLStringList* ImportPlanDefTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("ImportPlanDef", 0);
    t->Add255Obj("Position", 1);
    t->Add255Obj("Schlie\xDFung", 2);
    t->Add255Obj("T\xFCr", 3);
    t->Add255Obj("Raum", 4);
    t->Add255Obj("Raum-Nr.", 5);
    t->Add255Obj("Einzelschl\xFCssel", 6);
    t->Add255Obj("Schl\xFCssel-Anzahl", 7);
    t->Add255Obj("Zylinder-Anzahl", 8);
    t->Add255Obj("Zylinder-Typ", 9);
    t->Add255Obj("Zylinder-L\xE4nge", 10);
    t->Add255Obj("Oberfl\xE4" "che", 11);
    t->Add255Obj("Stockwerk", 12);
    t->Add255Obj("Bemerkung zum Schl\xFCssel", 13);
    t->Add255Obj("Bemerkung zum Zylinder", 14);
    t->Add255Obj("Bemerkung zur T\xFCr", 15);
    t->Add255Obj("Gruppenschl\xFCssel", 16);
    t->Add255Obj("Schl\xFCssel-Typ", 17);
    t->Add255Obj("Anzahl Gruppenschl\xFCssel", 18);
    t->Add255Obj("Gruppe", 19);
    t->Add255Obj("manuelle Definition: Daten", 20);
    t->Add255Obj("manuelle Definition: \xDC" "berschrift", 21);
    t->Add255Obj("Bitte w\xE4hlen Sie f\xFCr welche Daten die Definition gilt", 22);
    t->Add255Obj("Zylinder", 23);
    t->Add255Obj("Geb\xE4ude", 24);
    return t;
  }();
  return table;
}

std::string ImportPlanDefText(int number) { return GetMLText(ImportPlanDefTexts(), number); }

std::vector<std::string> PlanColumnFieldCaptions(const std::string& cylinderCaption,
                                                 const std::string& buildingCaption) {
  auto t = ImportPlanDefText;
  const std::string cyl = cylinderCaption.empty() ? t(23) : cylinderCaption;
  const std::string bld = buildingCaption.empty() ? t(24) : buildingCaption;
  return {t(1),  t(2),  t(3),  t(4),  t(5),          t(6),          t(7),  cyl,   t(8),
          t(9),  t(10) + " A", t(10) + " B", t(11), bld, t(12), t(13), t(14), t(15)};
}

std::vector<std::string> PlanRowFieldCaptions() {
  return {ImportPlanDefText(16), ImportPlanDefText(17), ImportPlanDefText(18),
          ImportPlanDefText(19)};
}

// ---------------------------------------------------------------------------------------

IndiDef* TIndiDefList::Find(int32_t kind, int32_t index) {
  for (IndiDef& d : Items)
    if (d.kind == kind && d.index == index) return &d;
  return nullptr;
}

const IndiDef* TIndiDefList::Find(int32_t kind, int32_t index) const {
  for (const IndiDef& d : Items)
    if (d.kind == kind && d.index == index) return &d;
  return nullptr;
}

IndiDef& TIndiDefList::Obtain(int32_t kind, int32_t index) {
  if (IndiDef* d = Find(kind, index)) return *d;
  IndiDef d;
  d.kind = kind;
  d.index = index;
  Items.push_back(d);
  return Items.back();
}

// ---------------------------------------------------------------------------------------
// The file.

std::string EncodeDefTitle(const std::u16string& title) {
  std::string out;
  out.reserve(title.size());
  for (char16_t c : title) {
    const int b = (c < 32 || c == u'&') ? -1 : UnicodeToCp1252(c);
    if (b < 0)
      out += "&#" + std::to_string(static_cast<unsigned>(c)) + ";";
    else
      out += static_cast<char>(b);
  }
  return out;
}

std::u16string DecodeDefTitle(const std::string& text) {
  std::u16string out;
  size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 2, "&#") == 0) {
      size_t j = i + 2;
      uint32_t code = 0;
      while (j < text.size() && j - i - 2 < 6 && text[j] >= '0' && text[j] <= '9')
        code = code * 10 + static_cast<uint32_t>(text[j++] - '0');
      // A code the wide text cannot hold in one unit, or none at all, is no character.
      if (j > i + 2 && j < text.size() && text[j] == ';' && code >= 1 && code <= 65535) {
        out += static_cast<char16_t>(code);
        i = j + 1;
        continue;
      }
    }
    out += static_cast<char16_t>(Cp1252ToUnicode(static_cast<unsigned char>(text[i])));
    ++i;
  }
  return out;
}

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

// A number of a definition line within [low, high]; an empty field is 0 (and must fit too).
bool DefNumber(const std::string& text, int32_t low, int32_t high, int32_t& value) {
  value = 0;
  if (!Trim(text).empty() && !TryStrToInt(text, value)) return false;
  return value >= low && value <= high;
}

int32_t PlanFieldCount(int32_t kind) {
  return kind == pdkColumn ? kPlanColumnFieldCount : kind == pdkRow ? kPlanRowFieldCount : 0;
}

}  // namespace

bool LoadIndiDefs(TIndiDefList& list, const std::string& fileName) {
  std::vector<std::string> lines;
  list.Clear();
  if (LoadTextFile(fileName, lines) != ltfRead) return false;
  std::string format;
  for (const std::string& line : lines) {
    const std::vector<std::string> f = SplitTabs(line);
    if (f[0].size() != 1) continue;
    auto field = [&](size_t n) { return n < f.size() ? f[n] : std::string(); };
    switch (f[0][0]) {
      case 'A':
        format = field(1);
        break;
      case 'C': {
        IndiDef d;
        d.title = DecodeDefTitle(field(3));
        // The file may have been edited by hand or damaged: a definition whose numbers are
        // not numbers or name no field or cell would mislead the recognition (a heading in
        // column 2147483647 runs past every table), so it is dropped, and with it from the
        // next save. A missing number counts as 0.
        if (!DefNumber(field(1), pdkColumn, pdkRow, d.kind) ||
            !DefNumber(field(2), 0, PlanFieldCount(d.kind) - 1, d.index) ||
            !DefNumber(field(4), -1, kPlanDefMaxCell, d.dataCol) ||
            !DefNumber(field(5), -1, kPlanDefMaxCell, d.dataRow) ||
            !DefNumber(field(6), -1, kPlanDefMaxCell, d.titleCol) ||
            !DefNumber(field(7), -1, kPlanDefMaxCell, d.titleRow))
          break;
        // At most one definition per field: a repeated one replaces the earlier.
        if (IndiDef* old = list.Find(d.kind, d.index))
          *old = d;
        else
          list.Items.push_back(d);
        break;
      }
      case 'E':
        list.Table = field(1);
        break;
      case 'P':
        list.Path = field(1);
        break;
      default:
        break;
    }
  }
  if (format != "LPIS") {
    list.Clear();
    return false;
  }
  return true;
}

bool SaveIndiDefs(const TIndiDefList& list, const std::string& fileName) {
  std::vector<std::string> lines;
  lines.push_back(std::string(1, '\x01'));
  lines.push_back("A\tLPIS");
  if (!list.Path.empty()) lines.push_back("P\t" + list.Path);
  if (!list.Table.empty()) lines.push_back("E\t" + list.Table);
  for (const IndiDef& d : list.Items) {
    lines.push_back("C\t" + std::to_string(d.kind) + "\t" + std::to_string(d.index) + "\t" +
                    EncodeDefTitle(d.title) + "\t" + std::to_string(d.dataCol) + "\t" +
                    std::to_string(d.dataRow) + "\t" + std::to_string(d.titleCol) + "\t" +
                    std::to_string(d.titleRow));
  }
  return SaveTextFileSafe(lines, fileName, false);
}

bool SaveIndiDefsWhenModified(TIndiDefList& list, const std::string& fileName, bool readOnly) {
  if (readOnly || !list.Modified) return !list.Modified;
  if (!SaveIndiDefs(list, fileName)) return false;
  list.Modified = false;
  return true;
}

// ---------------------------------------------------------------------------------------
// Lookups.

void AddTitleDef(TIndiDefList& list, int32_t kind, int32_t col, int32_t row) {
  IndiDef d;
  d.kind = kind;
  d.titleCol = col;
  d.titleRow = row;
  list.Items.push_back(d);
}

int32_t GetDefDataCol(const TIndiDefList& list, int32_t kind, int32_t index) {
  const IndiDef* d = list.Find(kind, index);
  return d && d->dataCol > 0 ? d->dataCol : -1;
}

int32_t GetDefDataRow(const TIndiDefList& list, int32_t kind, int32_t index) {
  const IndiDef* d = list.Find(kind, index);
  return d && d->dataRow > 0 ? d->dataRow : -1;
}

std::u16string GetDefTitle(const TIndiDefList& list, int32_t kind, int32_t index) {
  const IndiDef* d = list.Find(kind, index);
  return d ? d->title : std::u16string();
}

int32_t GetFirstCylDataRow(const TIndiDefList& list) {
  int32_t best = -1;
  for (const IndiDef& d : list.Items)
    if (d.kind == pdkColumn && d.dataRow > 0 && (best < 0 || d.dataRow < best)) best = d.dataRow;
  return best;
}

int32_t GetFirstKeyDataCol(const TIndiDefList& list) {
  // A definition with only a heading has no data column (-1): it must not hide real ones.
  int32_t best = -1;
  for (const IndiDef& d : list.Items)
    if (d.kind == pdkRow && d.dataCol > 0 && (best < 0 || d.dataCol < best)) best = d.dataCol;
  return best;
}

int32_t GetLastCylTitleRow(const TIndiDefList& list) {
  int32_t best = -1;
  for (const IndiDef& d : list.Items)
    if (d.kind == pdkColumn && d.titleRow > best) best = d.titleRow;
  return best;
}

int32_t GetLastKeyTitleCol(const TIndiDefList& list) {
  int32_t best = -1;
  for (const IndiDef& d : list.Items)
    if (d.kind == pdkRow && d.titleCol > best) best = d.titleCol;
  return best;
}

int32_t GetCellDefKind(const TIndiDefList& list, int32_t col, int32_t row) {
  for (const IndiDef& d : list.Items)
    if ((d.dataCol == col && d.dataRow == row) || (d.titleCol == col && d.titleRow == row))
      return d.kind;
  return 0;
}

std::string GetCellDefHint(const TIndiDefList& list, int32_t col, int32_t row) {
  std::string hint;
  for (const IndiDef& d : list.Items) {
    if (d.dataCol == col && d.dataRow == row) hint += ImportPlanDefText(20) + "\n";
    if (d.titleCol == col && d.titleRow == row) hint += ImportPlanDefText(21) + "\n";
  }
  return hint;
}

void ApplyCellDefinition(TIndiDefList& list, const TImportTable& grid, int32_t col, int32_t row,
                         TCellDefChoice choice, int32_t kind, int32_t index) {
  for (IndiDef& d : list.Items) {
    if (d.dataCol == col && d.dataRow == row) {
      d.dataCol = d.dataRow = -1;
      list.Modified = true;
    }
    if (d.titleCol == col && d.titleRow == row) {
      d.titleCol = d.titleRow = -1;
      list.Modified = true;
    }
  }
  const size_t before = list.Items.size();
  std::erase_if(list.Items, [](const IndiDef& d) { return d.title.empty() && d.dataCol < 0; });
  if (list.Items.size() != before) list.Modified = true;

  if (choice == TCellDefChoice::Heading) {
    const std::string text = Trim(grid.Cell(col, row));
    if (text.empty()) return;
    IndiDef& d = list.Obtain(kind, index);
    d.title = Cp1252ToUtf16(text);
    d.titleCol = col;
    d.titleRow = row;
    list.Modified = true;
  } else if (choice == TCellDefChoice::FirstData) {
    IndiDef& d = list.Obtain(kind, index);
    d.dataCol = col;
    d.dataRow = row;
    list.Modified = true;
  }
}
