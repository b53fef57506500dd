#include "data/RecordSearchUnit.h"

#include <string_view>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

namespace {

std::string TrimmedText(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

std::string KeyTypeText(const std::string& kt) {
  const int type = StrToIntZero(kt);
  return type >= 1 && type <= 9 ? KeyTypeAbbrevOf(type) : std::string();
}

void AppendValue(std::string& text, const std::string& value) {
  if (value.empty()) return;
  text += value;
  text += "  ";
}

}  // namespace

std::string FindTermOf(const std::string& typed) { return AnsiLowerCase(TrimmedText(typed)); }

bool FindSearchText(TMiniDB& db, int32_t id, int cls, std::string& text, std::string& name) {
  text.clear();
  name.clear();
  switch (cls) {
    case icBuilding: {
      static const std::string_view keys[] = {"Adr", "kt", "r"};
      std::string v[3];
      db.ReadLineFields(id, keys, v, 3);
      name = db.DisplayNameOf(id);
      if (name.empty()) return false;
      text = name + "  ";
      AppendValue(text, v[0]);
      AppendValue(text, KeyTypeText(v[1]));
      AppendValue(text, JoinLines(v[2]));
      return true;
    }
    case icCylinder: {
      static const std::string_view keys[] = {"n", "n2", "pos", "len", "k603", "r"};
      std::string v[6];
      db.ReadLineFields(id, keys, v, 6);
      name = v[0];
      if (!v[1].empty()) name += " " + v[1];
      text = name + "  ";
      for (int i = 2; i < 5; ++i) AppendValue(text, v[i]);
      AppendValue(text, JoinLines(v[5]));
      return true;
    }
    case icDoor: {
      static const std::string_view keys[] = {"n", "flr", "romn", "rom", "cyl", "len", "pos", "r"};
      std::string v[8];
      db.ReadLineFields(id, keys, v, 8);
      name = v[0];
      text = name + "  ";
      for (int i = 1; i < 7; ++i) AppendValue(text, v[i]);
      AppendValue(text, JoinLines(v[7]));
      return true;
    }
    case icKey: {
      static const std::string_view keys[] = {"kt", "r"};
      std::string v[2];
      db.ReadLineFields(id, keys, v, 2);
      name = db.DisplayNameOf(id);
      text = name + "  ";
      AppendValue(text, KeyTypeText(v[0]));
      AppendValue(text, JoinLines(v[1]));
      return true;
    }
    case icPerson: {
      static const std::string_view keys[] = {"n", "Abt", "Nr", "r"};
      std::string v[4];
      db.ReadLineFields(id, keys, v, 4);
      name = v[0];
      if (name.empty()) return false;
      text = name + "  ";
      AppendValue(text, v[1]);
      AppendValue(text, v[2]);
      AppendValue(text, JoinLines(v[3]));
      return true;
    }
    default:
      return false;
  }
}

std::string FindExcerpt(const std::string& text, size_t pos, size_t termLength) {
  const size_t start = pos > 15 ? pos - 15 : 1;
  if (start > text.size()) return std::string();
  return text.substr(start - 1, termLength + 30);
}

std::string FindClassWord(int cls) {
  switch (cls) {
    case icBuilding: return BuildingCaption();
    case icCylinder: return CylinderCaption();
    case icDoor: return CoreText(3);
    case icKey: return KeyCaption();
    case icPerson: return PersonTerm();
    default: return ClassCaption(cls, false);
  }
}

std::vector<TFindHit> FindRecords(TMiniDB& db, const std::string& term) {
  std::vector<TFindHit> hits;
  if (term.empty()) return hits;
  TItemList ids;
  std::string text, name, lower;
  for (int cls : kFindClasses) {
    const std::string word = FindClassWord(cls);
    db.ListClassValid(cls, ids);
    for (int i = 0; i < ids.Count(); ++i) {
      const int32_t id = ids.Items()[i];
      if (i + 4 < ids.Count()) db.PrefetchRecord(ids.Items()[i + 4]);
      if (!FindSearchText(db, id, cls, text, name)) continue;
      lower.resize(text.size());
      for (size_t k = 0; k < text.size(); ++k)
        lower[k] = static_cast<char>(LowCase1252(static_cast<unsigned char>(text[k])));
      const size_t at = lower.find(term);
      if (at == std::string::npos) continue;
      hits.push_back({id, word, name, FindExcerpt(text, at + 1, term.size())});
    }
  }
  return hits;
}

std::string PickerIdText(int32_t id) {
  const std::string digits = std::to_string(id);
  const size_t shortBy = digits.size() < 3 ? 3 - digits.size() : 0;
  return std::string(2 * shortBy, ' ') + digits;
}
