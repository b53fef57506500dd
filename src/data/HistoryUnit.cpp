#include "data/HistoryUnit.h"

#include <cerrno>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/Hex32Unit.h"
#include "basic/MultiLingua.h"
#include "basic/ValueString.h"
#include "data/AccessProtection.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

const TMLStringList* HistoryTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("HistoryUnit", 0);
    t->Add255Obj("Protokolldatei-Ladefehler! Beenden Sie das Programm und reparieren Sie die "
                 "Datei.",
                 1);
    return t;
  }();
  return table;
}

std::string HistoryText(int number) { return GetMLText(HistoryTexts(), number); }

std::string HistoryPrefixFor(const std::string& clientName) {
  if (clientName.empty()) return "Log";
  return CopyLeft("Log-" + clientName, 35) + " ";
}

// ---------------------------------------------------------------------------------------
// Object texts and references

std::string HistoryObjectText(int cls, std::int32_t id, const std::string& name) {
  std::string plain = name;
  for (char& ch : plain)
    if (ch == ';') ch = ',';
  return "c=" + std::to_string(cls) + ";i=" + std::to_string(id) + ";n=" + ScrambleStr(plain);
}

bool HistoryParseObjectText(const std::string& text, std::int32_t& id, int& cls,
                            std::string& name) {
  id = 0;
  cls = 0;
  name.clear();
  bool any = false;
  std::string rest = text;
  while (!rest.empty()) {
    if (rest.compare(0, 2, "n=") == 0) {
      // The name runs to the end: it never holds ";" but may hold "=".
      name = CopyLeft(UnscrambleStr(rest.substr(2)), 127);
      any = true;
      break;
    }
    std::string field = FetchSemicolonField(rest);
    if (field.compare(0, 2, "c=") == 0) {
      cls = StrToIntZero(field.substr(2));
      any = true;
    } else if (field.compare(0, 2, "i=") == 0) {
      id = StrToIntZero(field.substr(2));
      any = true;
    }
  }
  return any;
}

std::int32_t HistoryLineRef(int year, std::size_t index) {
  if (index > kHistoryMaxLineIndex || year <= 0 || year >= 4096) return 0;
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(year) << kHistoryLineBits) |
                                   static_cast<std::uint32_t>(index));
}

namespace {

std::string HexUpper(std::int32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::uint32_t v = static_cast<std::uint32_t>(value);
  std::string text;
  do {
    text.insert(text.begin(), kDigits[v & 15]);
    v >>= 4;
  } while (v != 0);
  return text;
}

// The value of the first item named `key` in parsed comma-text items; empty when none.
std::string ItemValue(const std::vector<std::string>& items, const std::string& key) {
  for (const std::string& item : items)
    if (item.size() > key.size() && item[key.size()] == '=' && item.compare(0, key.size(), key) == 0)
      return item.substr(key.size() + 1);
  return std::string();
}

// Whether some item's value is an object text that starts with `head` ("c=4;" or
// "c=4;i=17;"). The plain substring test comes first because most lines fail it; the item
// test keeps a remark that merely contains such text from counting.
bool LineNamesObject(const std::string& line, const std::string& needle,
                     const std::string& head, std::vector<std::string>& items) {
  if (line.find(needle) == std::string::npos) return false;
  ParseCommaText(line, items);
  for (const std::string& item : items) {
    std::string::size_type eq = item.find('=');
    if (eq != std::string::npos && item.compare(eq + 1, head.size(), head) == 0) return true;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// THistory

THistory::THistory(TAccessProtectionRegistry* registry) : log_(registry) { ResetLog(); }

void THistory::ResetLog() { log_.Init(folder_, prefix_, false, kHistoryExt); }

void THistory::SetFolder(const std::string& folder) {
  folder_ = folder;
  AddBackslash(folder_);
  ResetLog();
}

void THistory::SetPrefix(const std::string& prefix) {
  prefix_ = prefix;
  ResetLog();
}

std::string THistory::ObjectTextOf(std::int32_t id) const {
  int cls = 0;
  std::string name;
  if (id == 0 || !lookup_ || !lookup_(id, cls, name)) return std::string();
  return HistoryObjectText(cls, id, name);
}

int THistory::CurrentYear() const { return DecodeDateTime(NowLocal()).year; }

bool THistory::AddEvent(std::vector<std::string> items, double utc) {
  std::string d = LogTimeStampOf(UtcToLocal(utc));
  // "d" and "u" have fixed places: after the kind, and after "o" (or "oldName").
  items.insert(items.begin() + 1, "d=" + d);
  std::vector<std::string> line;
  for (std::string& item : items) {
    std::string::size_type eq = item.find('=');
    if (eq == std::string::npos || eq + 1 == item.size()) continue;  // empty values go
    line.push_back(std::move(item));
  }
  line.push_back("utc=" + DoubleToHex32(utc));
  return log_.Add(d.substr(0, 4), BuildCommaText(line));
}

bool THistory::New(int cls, std::int32_t id, const std::string& name,
                   const std::string& stock) {
  return AddEvent({"a=New", "o=" + HistoryObjectText(cls, id, name), "u=" + userText_,
                   "stock=" + stock},
                  NowUTC());
}

bool THistory::Del(int cls, std::int32_t id, const std::string& name) {
  return AddEvent({"a=Del", "o=" + HistoryObjectText(cls, id, name), "u=" + userText_},
                  NowUTC());
}

bool THistory::Total(int cls, std::int32_t id, const std::string& name,
                     const std::string& count, const std::string& stock) {
  return AddEvent({"a=Total", "o=" + HistoryObjectText(cls, id, name), "u=" + userText_,
                   "cnt=" + count, "stock=" + stock},
                  NowUTC());
}

bool THistory::Inv(int cls, std::int32_t id, const std::string& name,
                   const std::string& stock, const std::string& remark) {
  return AddEvent({"a=Inv", "o=" + HistoryObjectText(cls, id, name), "u=" + userText_,
                   "stock=" + stock, "r=" + remark},
                  NowUTC());
}

bool THistory::Ren(int cls, std::int32_t id, const std::string& newName,
                   const std::string& oldName) {
  return AddEvent({"a=Ren", "o=" + HistoryObjectText(cls, id, newName), "oldName=" + oldName,
                   "u=" + userText_},
                  NowUTC());
}

bool THistory::Login(std::int32_t userId, const std::string& userName) {
  return AddEvent({"a=Login", "o=" + HistoryObjectText(1, userId, userName), "u=" + userText_},
                  NowUTC());
}

std::vector<int> THistory::Years() const {
  int current = CurrentYear();
  std::vector<int> years;
  for (int year = current - kHistoryYearsBack; year < current; ++year)
    if (GetFileSize64(FileNameOf(year)) >= 0) years.push_back(year);
  years.push_back(current);
  return years;
}

void THistory::Search(int cls, std::int32_t id, TQStringList& list) {
  std::string head = "c=" + std::to_string(cls) + ";";
  if (id != 0) head += "i=" + std::to_string(id) + ";";
  const std::string needle = "=" + head;
  std::vector<std::string> items;
  for (int year : Years()) {
    if (!log_.LoadPeriod(std::to_string(year))) continue;
    const std::vector<std::string>& lines = log_.Lines();
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (LineNamesObject(lines[i], needle, head, items))
        list.AddObject(lines[i], HistoryLineRef(year, i));
  }
}

bool THistory::GetLine(std::int32_t ref, std::string& line) {
  line.clear();
  std::uint32_t value = static_cast<std::uint32_t>(ref);
  std::uint32_t year = value >> kHistoryLineBits;
  std::size_t index = value & kHistoryMaxLineIndex;
  if (ref == 0 || year < 1900) return false;
  if (!log_.LoadPeriod(std::to_string(year))) return false;
  if (index >= log_.Lines().size()) return false;
  line = log_.Lines()[index];
  return true;
}

void THistory::CollectNames(int cls, const std::string& filter, TQStringList& list) {
  static const char* const kKeys[] = {"o", "src", "dest", "u", "u2"};
  const std::string wanted = AnsiUpperCase(filter);
  TQStringList found;
  found.SetSorted(true);
  found.SetDuplicates(dupIgnore);
  std::vector<std::string> items;
  for (int year : Years()) {
    if (!log_.LoadPeriod(std::to_string(year))) continue;
    for (const std::string& line : log_.Lines()) {
      ParseCommaText(line, items);
      for (const char* key : kKeys) {
        std::string text = ItemValue(items, key);
        if (text.empty()) continue;
        std::int32_t oid = 0;
        int ocls = 0;
        std::string name;
        if (!HistoryParseObjectText(text, oid, ocls, name) || ocls != cls) continue;
        if (!wanted.empty() && AnsiUpperCase(name).find(wanted) == std::string::npos)
          continue;
        found.Add(name + '\x01' + HexUpper(oid));
        break;
      }
    }
  }
  // The entries become name + ID; the order stays that of the combined texts.
  bool sorted = list.Sorted();
  list.SetSorted(false);
  list.Clear();
  for (int i = 0; i < found.Count(); ++i) {
    const std::string& entry = found[i];
    std::string::size_type sep = entry.rfind('\x01');
    std::int32_t oid = StrToIntZero("$" + entry.substr(sep + 1));
    if (oid == 0) list.Add(entry);  // no record behind it ("NoName"): kept as it stands
    else list.AddObject(entry.substr(0, sep), oid);
  }
  list.SetSorted(sorted);
}

bool THistory::CopyTo(const std::string& folder) {
  std::string target = folder;
  AddBackslash(target);
  if (target.empty()) return false;
  PfMakeFolders(target);
  TReservation held(log_.Reservation());
  if (!held.Held()) return false;
  log_.Flush(false);
  bool ok = true;
  for (int year : Years()) {
    std::string source = FileNameOf(year);
    std::int64_t size = GetFileSize64(source);
    if (size < 0) continue;
    std::string dest = target + source.substr(source.rfind('/') + 1);
    if (GetFileSize64(dest) == size) continue;
    if (!CopyFileReplacing(source, dest)) ok = false;
  }
  return ok;
}

// ---------------------------------------------------------------------------------------
// The program's history

namespace {

THistory* gInstalled = nullptr;


}  // namespace

THistory* InstalledHistory() { return gInstalled; }
void SetHistory(THistory* history) { gInstalled = history; }

THistoryScope::THistoryScope(THistory& history) : previous_(gInstalled) {
  gInstalled = &history;
}
THistoryScope::~THistoryScope() { gInstalled = previous_; }

void HistorySetFolder(const std::string& folder) { History().SetFolder(folder); }
void HistorySetPrefix(const std::string& prefix) { History().SetPrefix(prefix); }
void HistoryEnable(bool on) { History().Enable(on); }
void HistorySetBuffered(bool on) { History().SetBuffered(on); }
bool HistoryAdd(const std::string& year, const std::string& line) {
  return History().Add(year, line);
}
bool HistoryFlush() { return History().Flush(); }
bool HistoryNew(int cls, std::int32_t id, const std::string& name, const std::string& stock) {
  return History().New(cls, id, name, stock);
}
bool HistoryDel(int cls, std::int32_t id, const std::string& name) {
  return History().Del(cls, id, name);
}
bool HistoryTotal(int cls, std::int32_t id, const std::string& name, const std::string& count,
                  const std::string& stock) {
  return History().Total(cls, id, name, count, stock);
}
bool HistoryInv(int cls, std::int32_t id, const std::string& name, const std::string& stock,
                const std::string& remark) {
  return History().Inv(cls, id, name, stock, remark);
}
bool HistoryRen(int cls, std::int32_t id, const std::string& newName,
                const std::string& oldName) {
  return History().Ren(cls, id, newName, oldName);
}
bool HistoryLogin(std::int32_t userId, const std::string& userName) {
  return History().Login(userId, userName);
}
std::string HistoryObjectTextOf(std::int32_t id) { return History().ObjectTextOf(id); }
std::vector<int> HistoryYears() { return History().Years(); }
void HistorySearch(int cls, std::int32_t id, TQStringList& list) {
  History().Search(cls, id, list);
}
bool HistoryGetLine(std::int32_t ref, std::string& line) { return History().GetLine(ref, line); }
void HistoryCollectNames(int cls, const std::string& filter, TQStringList& list) {
  History().CollectNames(cls, filter, list);
}
bool HistoryCopyTo(const std::string& folder) { return History().CopyTo(folder); }
