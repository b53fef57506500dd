#include "data/MiniDBUnit.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <unordered_set>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/Hex32Unit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "data/AccessProtection.h"
#include "data/ItemsLock.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

// =======================================================================================
// Message table

namespace {

// Entry 0 is the table's name; the texts are the German originals (1252 bytes).
const char* const kMultiItemsDB[kMultiItemsDBCount] = {
    "MultiItemsDB",
    "Speichern der Datenbank fehlgeschlagen.",
    "Das Speichern wurde abgewiesen.",
    "Die Bearbeitung wurde abgewiesen.",
    "Es konnte kein Schreibzugriff reserviert werden.",
    "Ein betreffender Datensatz wird gerade am Arbeitsplatz %1 ge\xE4"
    "ndert.",
    "Bitte versuchen Sie es sp\xE4"
    "ter nochmal.",
    "Datenbank-Ladefehler! Beenden Sie das Programm und reparieren Sie die Datei.",
    "Fehlerhaftes Dateiformat oder falsche Verschl\xFC"
    "sselung.",
    "Es konnte kein exklusiver Datenbankzugriff reserviert werden.#13#Warten Sie bis die "
    "Eingabe am Arbeitsplatz %1 beendet wurde.",
    "Die \xC4nderung ist gespeichert, aber das Betriebssystem konnte nicht best\xE4tigen, "
    "dass sie dauerhaft auf dem Datentr\xE4ger steht:#13#%1#13#Bei einem Stromausfall "
    "k\xF6nnte sie verloren gehen. Bitte pr\xFC"
    "fen Sie den Datenordner.",
    "Im Datenordner fehlen die Schreibrechte:#13#%1#13#Neue Datens\xE4tze k\xF6nnen nicht "
    "angelegt werden.",
};

// The errno of a write refused for want of rights (or on a read-only disk).
bool IsMissingRightsError(int error) { return error == EACCES || error == EPERM || error == EROFS; }

}  // namespace

const TMLStringList* MultiItemsDBTable() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    for (int n = 0; n < kMultiItemsDBCount; ++n) t->Add255Obj(kMultiItemsDB[n], n);
    return t;
  }();
  return table;
}

std::string MultiItemsDBText(int number) {
  if (number < 1 || number >= kMultiItemsDBCount) return {};
  return GetMLText(MultiItemsDBTable(), number);
}

std::string MultiItemsDBTextFmt(int number, const std::string& arg) {
  if (number < 1 || number >= kMultiItemsDBCount) return {};
  return GetMLTextFmt(MultiItemsDBTable(), number, arg);
}

void TellUnsyncedSaves() {
  static std::vector<std::string> told;
  std::string names;
  for (const std::string& name : TakeUnsyncedSaves()) {
    if (std::find(told.begin(), told.end(), name) != told.end()) continue;
    told.push_back(name);
    names += (names.empty() ? "" : "\r") + name;
  }
  if (!names.empty()) UI().ShowMessage(TMsgKind::Info, MultiItemsDBTextFmt(10, names));
}

// =======================================================================================
// Files

TFileStamp GetFileStamp(const std::string& fileName) {
  TFileStamp stamp;
  TPfFileStamp st;
  TPfInfo info;
  if (fileName.empty() || PfStat(fileName, info) != 0 || info.kind != TPfKind::File ||
      PfFileStamp(fileName, st) != 0 || !st.exists)
    return stamp;
  stamp.exists = true;
  stamp.mtimeNs = st.mtimeSeconds * 1000000000 + st.mtimeNanoseconds;
  stamp.size = st.size;
  stamp.inode = st.inode;
  stamp.device = st.device;
  return stamp;
}

namespace {

bool FileExists(const std::string& fileName) { return GetFileStamp(fileName).exists; }

// Local date-time as days since 1899-12-30.
double LocalNowDays() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  double ms = static_cast<double>(
      duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  double secs = static_cast<double>(t) + static_cast<double>(local.tm_gmtoff) + ms / 1000.0;
  return secs / 86400.0 + 25569.0;
}

// Field names compare without regard to ASCII case, as the record's fields are looked up.
bool SameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

// The key of a "key=value" item (all of it when there is no "=").
std::string_view KeyOf(std::string_view item) {
  size_t eq = item.find('=');
  return eq == std::string_view::npos ? item : item.substr(0, eq);
}

bool IsBadByte(unsigned char b) { return b == '\r' || b == '\n' || b == 0 || b == 0x1A; }

// A stored (possibly rotated) value made safe: a byte that would end the line or the file
// becomes what a blank at that position turns into, so the value still reads back with a
// blank there.
void SanitizeStored(std::string_view key, std::string& stored) {
  const bool plain = IsPlainField(key);
  for (size_t i = 0; i < stored.size(); ++i) {
    if (!IsBadByte(static_cast<unsigned char>(stored[i]))) continue;
    stored[i] = plain ? ' ' : static_cast<char>(32 + ((i + 1) & 7));
  }
}

std::string LinkKey(int kind) { return "l" + std::to_string(kind); }
std::string LinkValueKey(int32_t other) { return "o" + std::to_string(other); }

int BackKind(int kind, int ownClass) {
  if (kind == lkMother) return lkDaughters;
  if (kind == lkDaughters) return lkMother;
  return ownClass;
}

// Parses a decimal (or "$" hex) item of a link list; false for anything else.
bool LinkItemToInt(const std::string& item, int32_t& id) { return TryStrToInt(item, id); }

std::vector<int32_t> LinkIDs(const std::string& list) {
  std::vector<int32_t> ids;
  size_t start = 0;
  while (start <= list.size() && !list.empty()) {
    size_t semi = list.find(';', start);
    std::string item = list.substr(start, semi == std::string::npos ? std::string::npos
                                                                      : semi - start);
    int32_t id;
    if (LinkItemToInt(item, id)) ids.push_back(id);
    if (semi == std::string::npos) break;
    start = semi + 1;
  }
  return ids;
}

void AppendUnique(std::vector<int32_t>& ids, int32_t id) {
  if (id > 0 && std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
}

std::string UpperAscii(std::string s) {
  for (char& ch : s)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
  return s;
}

// Rewrites the IDs of a record line after IDs moved: its "i", its link lists and the keys of
// its link values.
std::string RemapLine(const std::string& line, const std::map<int32_t, int32_t>& moved) {
  TQStringList fields;
  fields.SetCommaText(line);
  auto map = [&](int32_t id) {
    auto it = moved.find(id);
    return it == moved.end() ? id : it->second;
  };
  for (int i = 0; i < fields.Count(); ++i) {
    const std::string item = fields.Get(i);
    std::string_view key = KeyOf(item);
    if (key.size() == item.size()) continue;
    std::string value = item.substr(key.size() + 1);
    int kind;
    int32_t id;
    if (SameKey(key, "i")) {
      if (TryStrToInt(value, id)) fields.Put(i, std::string(key) + "=" + std::to_string(map(id)));
    } else if (IsLinkField(key, kind)) {
      std::string list;
      size_t start = 0;
      while (true) {
        size_t semi = value.find(';', start);
        std::string part = value.substr(start, semi == std::string::npos ? std::string::npos
                                                                          : semi - start);
        if (TryStrToInt(part, id)) part = std::to_string(map(id));
        list += (start == 0 ? "" : ";") + part;
        if (semi == std::string::npos) break;
        start = semi + 1;
      }
      fields.Put(i, std::string(key) + "=" + list);
    } else if (key.size() > 1 && (key[0] == 'o' || key[0] == 'O') &&
               TryStrToInt(std::string(key.substr(1)), id) && moved.count(id)) {
      fields.Put(i, std::string(1, key[0]) + std::to_string(map(id)) + "=" + value);
    }
  }
  return BuildRecordLine(fields);
}

}  // namespace

// =======================================================================================
// Record lines

bool IsLinkField(std::string_view key, int& kind) {
  kind = 0;
  if (key.size() < 2 || key.size() > 4 || (key[0] != 'l' && key[0] != 'L')) return false;
  int k = 0;
  for (size_t i = 1; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return false;
    k = k * 10 + (key[i] - '0');
  }
  if (k > 255) return false;
  kind = k;
  return true;
}

bool IsPlainField(std::string_view key) {
  int kind;
  return SameKey(key, "i") || SameKey(key, "c") || SameKey(key, "v") || IsLinkField(key, kind);
}

std::string SanitizeValue(std::string value) {
  for (char& ch : value)
    if (IsBadByte(static_cast<unsigned char>(ch))) ch = ' ';
  return value;
}

std::string BuildRecordLine(const TQStringList& fields) {
  std::string line;
  line.reserve(128);
  for (int i = 0; i < fields.Count(); ++i) {
    std::string item = fields.Get(i);
    std::string_view key = KeyOf(item);
    if (key.size() < item.size()) {
      std::string stored = item.substr(key.size() + 1);
      SanitizeStored(key, stored);
      item = SanitizeValue(std::string(key)) + "=" + stored;
    } else {
      item = SanitizeValue(item);
    }
    if (i > 0) line += ',';
    AppendCommaItem(line, item);
  }
  return line;
}

namespace {

// The end of an unquoted item: the first byte at or below the blank, or a comma. Eight bytes
// at a time, since most of a line is long rotated values.
const char* EndOfPlainItem(const char* p, const char* end) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  while (end - p >= 8) {
    uint64_t x;
    std::memcpy(&x, p, 8);
    // Bytes below 0x21 (a byte of 0x80 or more has its high bit set and never counts).
    const uint64_t low = (x - kOnes * 0x21) & ~x & kHigh;
    // Bytes equal to ','.
    const uint64_t y = x ^ (kOnes * ',');
    const uint64_t comma = (y - kOnes) & ~y & kHigh;
    // The lowest marked byte is always a true hit (a borrow can only mark bytes above it).
    if (const uint64_t hit = low | comma) return p + (__builtin_ctzll(hit) >> 3);
    p += 8;
  }
  while (p < end && static_cast<unsigned char>(*p) > ' ' && *p != ',') ++p;
  return p;
}

// The first "v=" or "V=" in [p, end), or null: a line without those two bytes side by side
// holds no "v" item. Whole blocks at a time, both letters in one pass (only 'v' and 'V'
// give 'v' once the 0x20 bit is set); the last block overlaps pairs already seen.
#if defined(__SSE2__)
const char* FindVItemSse2(const char* p, const char* end) {
  if (end - p >= 17) {
    const __m128i lowerBit = _mm_set1_epi8(0x20);
    const __m128i v = _mm_set1_epi8('v');
    const __m128i equals = _mm_set1_epi8('=');
    // Pairs starting at q .. q + 15.
    auto hits = [&](const char* q) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
      const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 1));
      return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
          _mm_cmpeq_epi8(_mm_or_si128(x, lowerBit), v), _mm_cmpeq_epi8(next, equals))));
    };
    for (; end - p >= 17; p += 16)
      if (const unsigned bits = hits(p)) return p + __builtin_ctz(bits);
    if (end - p >= 2) {
      const char* last = end - 17;
      if (const unsigned bits = hits(last)) return last + __builtin_ctz(bits);
    }
    return nullptr;
  }
  for (; end - p >= 2; ++p)
    if ((p[0] == 'v' || p[0] == 'V') && p[1] == '=') return p;
  return nullptr;
}
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TESSARO_HAVE_AVX2_PATH 1
__attribute__((target("avx2"))) const char* FindVItemAvx2(const char* p, const char* end) {
  if (end - p < 33) return FindVItemSse2(p, end);
  const __m256i lowerBit = _mm256_set1_epi8(0x20);
  const __m256i v = _mm256_set1_epi8('v');
  const __m256i equals = _mm256_set1_epi8('=');
  for (;;) {
    // Pairs starting at q .. q + 31.
    const char* q = end - p >= 33 ? p : end - 33;
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + 1));
    const unsigned bits = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(
        _mm256_cmpeq_epi8(_mm256_or_si256(x, lowerBit), v), _mm256_cmpeq_epi8(next, equals))));
    if (bits != 0) return q + __builtin_ctz(bits);
    if (q != p) return nullptr;
    p += 32;
    if (end - p < 2) return nullptr;
  }
}

const bool kUseAvx2 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();
#endif

const char* FindVItem(const char* p, const char* end) {
#if defined(TESSARO_HAVE_AVX2_PATH)
  if (kUseAvx2) return FindVItemAvx2(p, end);
#endif
#if defined(__SSE2__)
  return FindVItemSse2(p, end);
#else
  for (; end - p >= 2; ++p)
    if ((p[0] == 'v' || p[0] == 'V') && p[1] == '=') return p;
  return nullptr;
#endif
}

// "<key>=<1 to 9 digits>," at p: the value, and p moved past the comma; -1 when the bytes
// there have another form.
int32_t TakeDigitItem(const char*& p, const char* end, char key) {
  const char* q = p;
  if (end - q < 4 || q[0] != key || q[1] != '=') return -1;
  q += 2;
  const char* const digits = q;
  int32_t n = 0;
  while (q < end && *q >= '0' && *q <= '9' && q - digits < 9) n = n * 10 + (*q++ - '0');
  if (q == digits || q == end || *q != ',') return -1;
  p = q + 1;
  return n;
}

// The common form of a record line, as the store writes every one: "i=<digits>,c=<digits>,"
// then the name item ("n=..." or quoted), and no "v=" bytes after it. Sets all of `info`
// to what the general walk would read and returns true; false for anything else (`info`
// then holds scraps), which the general walk reads from the start.
bool ScanCommonLine(const char* p, const char* end, TLineInfo& info) {
  const int32_t id = TakeDigitItem(p, end, 'i');
  if (id < 0) return false;
  const int32_t cls = TakeDigitItem(p, end, 'c');
  if (cls < 0) return false;
  if (end - p >= 2 && p[0] == 'n' && p[1] == '=') {
    const char* value = p + 2;
    p = EndOfPlainItem(p, end);
    info.rawName.assign(value, static_cast<size_t>(p - value));
  } else if (end - p >= 3 && p[0] == '"' && p[1] == 'n' && p[2] == '=') {
    // A quoted item runs to its closing quote; a doubled quote stands for one.
    p += 3;
    info.rawName.clear();
    for (;;) {
      const char* q = static_cast<const char*>(std::memchr(p, '"', static_cast<size_t>(end - p)));
      if (q == nullptr) {
        info.rawName.append(p, end);
        p = end;
        break;
      }
      info.rawName.append(p, q);
      p = q + 1;
      if (p < end && *p == '"') {
        info.rawName += '"';
        ++p;
      } else {
        break;
      }
    }
  } else {
    return false;
  }
  if (FindVItem(p, end) != nullptr) return false;
  info.id = id;
  info.cls = cls <= 255 ? cls : 0;
  info.valid = true;
  info.hasName = true;
  return true;
}

}  // namespace

void ScanRecordLine(std::string_view line, std::vector<std::string>& items, TLineInfo& info) {
  // The index reads every line of the file, so this walks the line once, by the comma-text
  // rules of ParseCommaText, and copies only the values it needs. `items` stays unused; the
  // fuzz target holds the two readers to the same result.
  (void)items;
  if (ScanCommonLine(line.data(), line.data() + line.size(), info)) return;
  info = TLineInfo{};
  bool haveI = false, haveC = false, haveV = false;
  // "i" and "c" are short runs of digits in every line the store writes; anything else
  // takes the general number rules.
  auto number = [](std::string_view value) {
    if (!value.empty() && value.size() <= 9) {
      int32_t n = 0;
      for (char d : value) {
        if (d < '0' || d > '9') return StrToIntZero(std::string(value));
        n = n * 10 + (d - '0');
      }
      return n;
    }
    return StrToIntZero(std::string(value));
  };
  auto use = [&](char key, std::string_view value) {
    if (key >= 'a' && key <= 'z') key = static_cast<char>(key - 32);
    switch (key) {
      case 'I':
        if (!haveI) {
          haveI = true;
          info.id = number(value);
        }
        break;
      case 'C':
        if (!haveC) {
          haveC = true;
          const int32_t cls = number(value);
          info.cls = cls >= 0 && cls <= 255 ? cls : 0;
        }
        break;
      case 'V':
        if (!haveV) {
          haveV = true;
          info.valid = value != "0";
        }
        break;
      case 'N':
        if (!info.hasName) {
          info.hasName = true;
          info.rawName.assign(value);
        }
        break;
      default: break;
    }
  };
  auto wanted = [](char c) {
    return c == 'i' || c == 'I' || c == 'c' || c == 'C' || c == 'v' || c == 'V' || c == 'n' ||
           c == 'N';
  };
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' ' && c != ','; };
  const char* p = line.data();
  const char* const end = p + line.size();
  std::string quoted;
  const char* vAt = nullptr;  // the next "v=" bytes at or after p, once looked for
  while (p < end && blank(*p)) ++p;
  while (p < end) {
    if (*p == '"') {
      ++p;
      // Only "X=..." with a wanted one-letter key needs its text unquoted.
      const bool need = end - p >= 2 && wanted(p[0]) && p[1] == '=';
      quoted.clear();
      for (;;) {
        const char* q = static_cast<const char*>(std::memchr(p, '"', end - p));
        if (q == nullptr) {
          if (need) quoted.append(p, end);
          p = end;
          break;
        }
        if (need) quoted.append(p, q);
        p = q + 1;
        if (p < end && *p == '"') {
          if (need) quoted += '"';
          ++p;
        } else {
          break;
        }
      }
      if (need) use(quoted[0], std::string_view(quoted).substr(2));
    } else {
      const char* start = p;
      p = EndOfPlainItem(p, end);
      if (p - start >= 2 && start[1] == '=' && wanted(start[0]))
        use(start[0], std::string_view(start + 2, static_cast<size_t>(p - start - 2)));
    }
    while (p < end && blank(*p)) ++p;
    if (p < end && *p == ',') {
      do ++p;
      while (p < end && blank(*p));
    }
    // With "i", "c" and "n" found only a "v" item can still matter, and such an item holds
    // the bytes "v=" (or "V=") side by side: where the rest has none, it has no "v" item.
    if (haveI && haveC && info.hasName && !haveV && (vAt == nullptr || vAt < p)) {
      vAt = FindVItem(p, end);
      if (vAt == nullptr) return;
    }
  }
}

// =======================================================================================
// TMiniDB: life cycle

namespace {
std::vector<TMiniDB*>& InstanceList() {
  static std::vector<TMiniDB*> list;
  return list;
}
}  // namespace

const std::vector<TMiniDB*>& TMiniDB::Instances() { return InstanceList(); }

void TMiniDB::Touch() {
  static uint64_t changes = 0;
  changeCount_ = ++changes;
}

// =======================================================================================
// Writes in progress

void TMiniDB::EnterWrite(bool journal) {
  journals_.emplace_back();
  journalKept_.push_back(journal);
}

void TMiniDB::LeaveWrite() {
  assert(!journals_.empty());
  if (journals_.empty()) return;
  journals_.pop_back();
  journalKept_.pop_back();
}

const std::map<int32_t, TMiniDB::TJournalEntry>& TMiniDB::WriteJournal() const {
  static const std::map<int32_t, TJournalEntry> none;
  return journals_.empty() ? none : journals_.back();
}

void TMiniDB::Journal(int32_t id) {
  if (journals_.empty() || reapplying_ || id < 1) return;
  bool made = false;
  TJournalEntry entry;
  for (size_t level = 0; level < journals_.size(); ++level) {
    if (!journalKept_[level] || journals_[level].count(id)) continue;
    if (!made) {
      TQStringList fields;
      if (ReadRecord(id, fields)) entry.text = BuildRecordLine(fields);
      entry.unsaved = HasUnsavedChange(id) || (CurrentModified && CurrentID == id);
      made = true;
    }
    journals_[level].emplace(id, entry);
  }
}


struct TMiniDB::TIndexData {
  std::vector<int32_t> indexLine;
  std::vector<uint8_t> classOf;
  std::vector<uint8_t> valid;
  std::vector<std::string> names;
  int32_t lastID = 0;
  bool raised = false;
};

int TMiniDB::DiscardChangesAndReread() {
  if (!Opened) return ldNotOpen;
  pending_.clear();
  pendingHeaders_.clear();
  unlogged_.clear();
  Modified = false;
  CurrentModified = false;
  CurrentID = 0;
  Current.Clear();
  SingletonID = 0;
  if (!fileSeen_ && !GetFileStamp(FileName).exists) {
    // Nothing of this store was ever on disk: it starts empty again.
    std::vector<std::string> lines = NewStoreLines();
    TIndexData index;
    BuildIndex(lines, index);
    AdoptLines(std::move(lines), std::move(index));
    RefreshAllNames();
    NewFile = true;
    return ldNewStore;
  }
  FileTime = TFileStamp{};  // whatever the stamp says: read it
  return Load();
}

TMiniDB::TMiniDB() : LocalNow(LocalNowDays) {
  ClassCount.fill(-1);
  InstanceList().push_back(this);
}

TMiniDB::~TMiniDB() {
  Close();
  auto& list = InstanceList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TMiniDB::ClearState() {
  Lines.clear();
  headerAt_.clear();
  Lines.shrink_to_fit();
  Current.Clear();
  LastID = 0;
  CurrentID = 0;
  CurrentModified = false;
  Modified = false;
  FileTime = TFileStamp{};
  IndexLine.clear();
  ClassOf.clear();
  Valid.clear();
  Names.clear();
  Names2.clear();
  IndexLine.shrink_to_fit();
  ClassOf.shrink_to_fit();
  Valid.shrink_to_fit();
  Names.shrink_to_fit();
  Names2.shrink_to_fit();
  Opened = false;
  SingletonID = 0;
  NewFile = false;
  SavedOnce = false;
  ClassCount.fill(-1);
  pending_.clear();
  pendingHeaders_.clear();
  unlogged_.clear();
  fileSeen_ = false;
  Touch();
}

bool TMiniDB::Open(const std::string& dataPath, const std::string& fileTitle,
                   const std::string& appName) {
  Close();
  // A fresh open judges the file anew: an earlier read error of this object says nothing
  // about the file opened now.
  LoadErrorReadOnly = false;
  NoSave = false;
  OpenResult = ldNotOpen;
  LockFileError = 0;
  MovedIDs.clear();
  DataPath = dataPath;
  if (!DataPath.empty() && DataPath.back() != '/') DataPath += '/';
  FileTitle = fileTitle;
  AppName = appName;
  if (AnsiSameText(Ext, ".ada") || AnsiSameText(Ext, ".adaX")) {
    Ext = ".ada";
    if (!FileExists(DataPath + FileTitle + ".ada") && FileExists(DataPath + FileTitle + ".adaX"))
      Ext = ".adaX";
  }
  FileName = DataPath + FileTitle + Ext;
  GetAccessProtection(DataPath + FileTitle + ".wpf", AccessProtection,
                      Registry ? *Registry : AccessProtections());
  ItemsLock = std::make_unique<TItemsLock>(DataPath + FileTitle + ".wpi", AccessProtection,
                                           StationKey);
  FileTime = TFileStamp{};
  Opened = true;
  int result = Load();
  OpenResult = result;
  if (result >= ldNoAccess) {
    ClearState();
    ItemsLock.reset();
    ReleaseAccessProtection(AccessProtection);
    AccessProtection = nullptr;
    return false;
  }
  // Leftovers of saves that never finished, of any station, whatever their age: a running
  // writer holds its files, and the shared files are written under the reservation, which
  // the sweep holds meanwhile.
  if (!NoSave) {
    int ticket;
    if (Reserve(ticket)) {
      SweepStaleTempFiles(DataPath, 0, static_cast<double>(std::time(nullptr)));
      Release(ticket);
    }
  }
  if (ItemsLock->InUseAtOpen()) {
    // The lock file already lists this station key: with the plain key another running
    // copy of the program on this computer and login holds those records. Removing its
    // entry would let it save over changes made meanwhile, and whatever this copy locked
    // would land in that entry: keep the entry and never write.
    ItemsLock->KeepEntryOfOtherCopy();
    NoSave = true;
  } else {
    ItemsLock->UnlockMine();
  }
  return true;
}

bool TMiniDB::OpenFile(const std::string& fileName, const std::string& appName) {
  size_t slash = fileName.rfind('/');
  std::string folder = slash == std::string::npos ? "" : fileName.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) {
    Ext.clear();
  } else {
    Ext = name.substr(dot);
    name.resize(dot);
  }
  return Open(folder, name, appName);
}

void TMiniDB::Close() {
  if (Opened) {
    AutoSave = true;
    Commit();
  }
  TimebackLog = nullptr;
  ItemsLock.reset();
  if (AccessProtection) {
    ReleaseAccessProtection(AccessProtection);
    AccessProtection = nullptr;
  }
  ClearState();
}

// =======================================================================================
// Messages

void TMiniDB::ShowError(int number, bool withFileName) {
  std::string text = MultiItemsDBText(number);
  if (withFileName && !FileName.empty()) text += "\r" + FileName;
  UI().ShowMessage(TMsgKind::Error, text);
}

void TMiniDB::MarkReadOnly(int messageNumber) {
  LoadErrorReadOnly = true;
  NoSave = true;
  ShowError(messageNumber, true);
}

void TMiniDB::ShowLockedMessage(const std::string& station, bool saving) {
  std::string text = MultiItemsDBText(saving ? 2 : 3) + "\r";
  if (station.empty() || station == "*") {
    text += MultiItemsDBText(4);
  } else {
    size_t at = station.find("@@");
    text += MultiItemsDBTextFmt(5, at == std::string::npos ? station : station.substr(0, at));
  }
  text += "\r\r" + MultiItemsDBText(6);
  UI().ShowMessage(TMsgKind::Error, text);
}

void TMiniDB::ShowExclusiveDenied(const std::string& station) {
  size_t at = station.find("@@");
  UI().ShowMessage(TMsgKind::Error,
                   MultiItemsDBTextFmt(9, at == std::string::npos ? station
                                                                  : station.substr(0, at)));
}

// =======================================================================================
// Reservation and record locks

bool TMiniDB::Reserve(int& ticket) {
  ticket = -1;
  if (!AccessProtection) return false;
  return AccessProtection->Reserve(ticket);
}

void TMiniDB::Release(int ticket) {
  if (AccessProtection && ticket >= 0) AccessProtection->Release(ticket);
  if (!AccessProtection || !AccessProtection->Locked()) TellUnsyncedSaves();
}

bool TMiniDB::HoldsExclusiveAccess() const { return ItemsLock && ItemsLock->AllLevel() > 0; }

bool TMiniDB::TakeLocks(const std::vector<int32_t>& ids, std::string& blocking,
                        TLockScope& scope, bool tryAll) {
  scope = TLockScope{};
  blocking.clear();
  if (!ItemsLock) {
    blocking = kLockFileUnusable;
    return false;
  }
  if (WriteActive()) {
    // The write holds the reservation until it saves: nobody can lock or change these
    // records meanwhile, so checking that no other station holds them is enough.
    scope.inWrite = true;
    if (HoldsExclusiveAccess()) return true;
    std::vector<std::string> texts;
    for (int32_t id : ids)
      if (id > 0) texts.push_back(std::to_string(id));
    if (texts.empty() || ItemsLock->CheckFree(texts, blocking)) return true;
    if (blocking.empty()) blocking = kLockFileUnusable;
    return false;
  }
  if (tryAll && ItemsLock->LockAll(blocking)) {
    scope.all = true;
    return true;
  }
  blocking.clear();
  std::vector<std::string> texts;
  for (int32_t id : ids) {
    std::string text = std::to_string(id);
    if (id > 0 && std::find(texts.begin(), texts.end(), text) == texts.end())
      texts.push_back(std::move(text));
  }
  if (texts.empty()) return true;
  // What stays in `texts` is what this call added: only that is given back later, so a
  // lock the caller already held survives the operation.
  if (!ItemsLock->SetDBAccess(dbaLock, texts, blocking)) {
    if (blocking.empty()) blocking = kLockFileUnusable;
    return false;
  }
  scope.taken = std::move(texts);
  return true;
}

void TMiniDB::DropLocks(TLockScope& scope) {
  if (!ItemsLock) return;
  assert(!(scope.inWrite && (scope.all || !scope.taken.empty())));
  if (scope.inWrite) {
    // The write saves at its Commit.
    StoreCurrent();
    scope = TLockScope{};
    return;
  }
  // A change must be on disk before its records are free for other stations again;
  // inside an outer exclusive access the outer owner saves.
  const bool outerExclusive = scope.all ? ItemsLock->AllLevel() > 1 : HoldsExclusiveAccess();
  bool saved = true;
  if (outerExclusive && !AutoSave) StoreCurrent();
  else saved = Commit();
  if (scope.all) {
    ItemsLock->UnlockAll();  // nesting must balance, saved or not
  } else if (saved && !scope.taken.empty()) {
    // Unsaved changes keep their records locked, so no other station edits them before
    // the next save puts them on disk.
    std::string blocking;
    ItemsLock->SetDBAccess(dbaUnlock, scope.taken, blocking);
  }
  scope = TLockScope{};
}

bool TMiniDB::LockItem(int32_t id, bool showMessage, int ticket) {
  AutoSave = true;
  std::string blocking;
  TLockScope scope;
  if (TakeLocks({id}, blocking, scope, false)) return true;
  Release(ticket);
  if (showMessage) ShowLockedMessage(blocking, false);
  return false;
}

bool TMiniDB::UnlockItem(int32_t id) {
  AutoSave = true;
  int ticket;
  if (!Reserve(ticket)) {
    ShowError(1, true);
    return false;
  }
  bool saved = Commit();
  if (saved && ItemsLock) {
    std::string blocking;
    std::vector<std::string> texts{std::to_string(id)};
    ItemsLock->SetDBAccess(dbaUnlock, texts, blocking);
  }
  Release(ticket);
  return saved;
}

// =======================================================================================
// Reading and indexing

namespace {

// Only the plain form is ours: 0x01 CR LF. Everything else (an empty file, LF line ends,
// the enciphered header) is refused untouched.
bool IsStoreHead(std::string_view head) {
  return head.size() >= 3 && head[0] == '\x01' && head[1] == '\r' && head[2] == '\n';
}

}  // namespace

int TMiniDB::ReadFileLines(std::vector<std::string>& fresh) {
  int fd = -1;
  if (int e = PfOpenRead(FileName, fd); e != 0) return e == ENOENT ? 1 : 2;
  char head[3];
  size_t got = 0;
  while (got < sizeof head) {
    size_t n = 0;
    if (PfRead(fd, head + got, sizeof head - got, n) != 0) {
      PfClose(fd);
      return 2;
    }
    if (n == 0) break;
    got += n;
  }
  PfClose(fd);
  if (!IsStoreHead(std::string_view(head, got))) return 3;
  switch (LoadTextFile(FileName, fresh, Lines.size())) {
    case ltfRead: return 0;
    case ltfMissing: return 1;
    default: return 2;
  }
}

int TMiniDB::FindHeaderLine(const std::string& name) const {
  auto holds = [&name](const std::string& line) {
    return line.size() > name.size() && line[name.size()] == '=' &&
           AnsiSameText(line.substr(0, name.size()), name);
  };
  const std::string key = AnsiUpperCase(name);
  // Lines are replaced whole only by a load, which forgets these places; a line removed
  // since moves the others, which the check below notices.
  if (const auto it = headerAt_.find(key); it != headerAt_.end()) {
    const int at = it->second;
    if (at >= 0 && static_cast<size_t>(at) < Lines.size() && holds(Lines[at])) return at;
    headerAt_.erase(it);
  }
  for (size_t i = 0; i < Lines.size(); ++i) {
    if (!holds(Lines[i])) continue;
    headerAt_[key] = static_cast<int>(i);
    return static_cast<int>(i);
  }
  return -1;
}

void TMiniDB::PutHeaderLine(const std::string& name, const std::string& value) {
  std::string line = SanitizeValue(name + "=" + value);
  int index = FindHeaderLine(name);
  if (index >= 0) Lines[index] = std::move(line);
  else Lines.push_back(std::move(line));
  Touch();
}

std::vector<std::string> TMiniDB::NewStoreLines() const {
  return {"\x01", "LastID=0", "FileTitle=", "AppName=" + AppName, "AppOptions="};
}

bool TMiniDB::BuildIndex(const std::vector<std::string>& lines, TIndexData& index) {
  const int64_t lineLimit = static_cast<int64_t>(lines.size()) + kMaxIDBeyondLines;
  const int32_t limit = static_cast<int32_t>(std::min<int64_t>(kMaxRecordID, lineLimit));
  int32_t headerLast = 0;
  for (const std::string& line : lines) {
    if (line.size() >= 7 && line[6] == '=' && AnsiSameText(line.substr(0, 6), "LastID")) {
      headerLast = std::max(0, StrToIntZero(line.substr(7)));
      break;
    }
  }
  if (headerLast > limit) return false;
  index.lastID = headerLast;
  size_t slots = static_cast<size_t>(headerLast) + 1;
  index.indexLine.assign(slots, -1);
  index.classOf.assign(slots, 0);
  index.valid.assign(slots, 0);
  index.names.assign(slots, std::string());
  TLineInfo info;
  TQStringList fields;
  for (size_t n = 2; n < lines.size(); ++n) {
    ScanRecordLine(lines[n], scratch_, info);
    if (info.id < 1) continue;
    if (info.id > limit) return false;
    if (static_cast<size_t>(info.id) >= index.indexLine.size()) {
      size_t grown = std::max<size_t>(static_cast<size_t>(info.id) + 1,
                                      index.indexLine.size() + index.indexLine.size() / 2);
      grown = std::min<size_t>(grown, static_cast<size_t>(limit) + 1);
      index.indexLine.resize(grown, -1);
      index.classOf.resize(grown, 0);
      index.valid.resize(grown, 0);
      index.names.resize(grown);
    }
    if (info.id > index.lastID) index.lastID = info.id;
    index.indexLine[info.id] = static_cast<int32_t>(n);
    index.classOf[info.id] = static_cast<uint8_t>(info.cls);
    index.valid[info.id] = info.valid ? 1 : 0;
    if (TNameFunc f = NameFunc[info.cls]) {
      fields.SetCommaText(lines[n]);
      std::string name;
      f(*this, info.id, fields, name);
      index.names[info.id] = std::move(name);
    } else {
      index.names[info.id] = info.hasName ? UnscrambleStr(info.rawName) : std::string();
    }
  }
  index.raised = index.lastID > headerLast;
  size_t size = static_cast<size_t>(index.lastID) + 1;
  index.indexLine.resize(size, -1);
  index.classOf.resize(size, 0);
  index.valid.resize(size, 0);
  index.names.resize(size);
  return true;
}

void TMiniDB::AdoptLines(std::vector<std::string>&& lines, TIndexData&& index) {
  Lines = std::move(lines);
  headerAt_.clear();
  IndexLine = std::move(index.indexLine);
  ClassOf = std::move(index.classOf);
  Valid = std::move(index.valid);
  Names = std::move(index.names);
  Names2.assign(Names.size(), std::string());
  LastID = index.lastID;
  assert(IndexLine.size() == ClassOf.size() && ClassOf.size() == Valid.size() &&
         Valid.size() == Names.size() && IndexLine.size() == static_cast<size_t>(LastID) + 1);
  Touch();
  // A record line beyond "LastID" repairs the header in memory; it is written with the
  // next save.
  if (index.raised) PutHeaderLine("LastID", std::to_string(LastID));
}

void TMiniDB::EnsureIDSlots(int32_t id) {
  if (id < 0) return;
  size_t need = static_cast<size_t>(id) + 1;
  if (need <= IndexLine.size()) return;
  IndexLine.resize(need, -1);
  ClassOf.resize(need, 0);
  Valid.resize(need, 0);
  Names.resize(need);
  Names2.resize(need);
  assert(ClassOf.size() == need && Valid.size() == need && Names.size() == need);
}

void TMiniDB::ComputeName(int32_t id, const std::string& line, const TLineInfo& info) {
  Touch();
  if (TNameFunc f = NameFunc[info.cls]) {
    TQStringList fields;
    fields.SetCommaText(line);
    std::string name;
    f(*this, id, fields, name);
    Names[id] = std::move(name);
  } else {
    Names[id] = info.hasName ? UnscrambleStr(info.rawName) : std::string();
  }
}

void TMiniDB::IndexOneLine(int32_t lineNo) {
  if (lineNo < 2 || static_cast<size_t>(lineNo) >= Lines.size()) return;
  TLineInfo info;
  ScanRecordLine(Lines[lineNo], scratch_, info);
  if (info.id < 1) return;
  EnsureIDSlots(info.id);
  if (info.id > LastID) LastID = info.id;
  IndexLine[info.id] = lineNo;
  ClassOf[info.id] = static_cast<uint8_t>(info.cls);
  Valid[info.id] = info.valid ? 1 : 0;
  ComputeName(info.id, Lines[lineNo], info);
  RefreshName(info.id);
}

int TMiniDB::Load() {
  if (!Opened) return ldNotOpen;
  TFileStamp now = GetFileStamp(FileName);
  // Unchanged since the last look (a file that failed to read is not read again, nor
  // reported again, until it changes).
  if (now == FileTime && (now.exists || fileSeen_)) return ldUnchanged;
  if (!now.exists) {
    // A folder (or anything else) under the store's name is no missing store: a new one
    // could never be saved there, and the user would type into nothing.
    TPfInfo info;
    if (PfStat(FileName, info) == 0 && info.kind != TPfKind::Missing && !LoadErrorReadOnly) {
      MarkReadOnly(7);
      return ldReadError;
    }
  }
  if (!now.exists && !fileSeen_) {
    if (NewFile) return ldUnchanged;
    if (!DataPath.empty()) PfMakeFolders(DataPath);
    TPfInfo folder;
    if (!DataPath.empty() && (PfStat(DataPath, folder) != 0 || folder.kind != TPfKind::Folder))
      return ldNoAccess;
  }

  int ticket;
  LockFileError = 0;
  if (!Reserve(ticket)) {
    if (AccessProtection && !AccessProtection->LastFailureBusy())
      LockFileError = AccessProtection->LastError() ? AccessProtection->LastError() : EIO;
    return ldNoAccess;
  }
  // Judge the file again under the reservation: what we saw before may have been another
  // station in the middle of its save.
  now = GetFileStamp(FileName);
  std::vector<std::string> fresh;
  int read = now.exists ? (now == FileTime ? -1 : ReadFileLines(fresh)) : 1;
  if (read == -1) {
    Release(ticket);
    return ldUnchanged;
  }
  if (read == 1) {
    if (fileSeen_) {
      // The file we read is gone. Starting a new empty store here would let the next save
      // replace every station's records by nothing: keep what we have and stop writing.
      FileTime = now;
      Release(ticket);
      MarkReadOnly(7);
      return ldReadError;
    }
    if (NewFile) {
      Release(ticket);
      return ldUnchanged;
    }
    SingletonID = 0;
    std::vector<std::string> lines = NewStoreLines();
    TIndexData index;
    BuildIndex(lines, index);
    AdoptLines(std::move(lines), std::move(index));
    RefreshAllNames();
    NewFile = true;
    FileTime = now;
    ++LoadCount;
    Release(ticket);
    return ldNewStore;
  }
  if (read == 2 || read == 3) {
    FileTime = now;
    Release(ticket);
    MarkReadOnly(read == 2 ? 7 : 8);
    return ldReadError;
  }
  FileTime = now;
  if (!TakeFileLines(std::move(fresh))) {
    Release(ticket);
    MarkReadOnly(8);
    return ldReadError;
  }
  Release(ticket);
  return ldRead;
}

bool TMiniDB::TakeFileLines(std::vector<std::string>&& fresh) {
  TIndexData index;
  if (!BuildIndex(fresh, index)) return false;
  // This station's unsaved lines go on top of the fresh file.
  std::map<int32_t, std::string> texts;
  for (const auto& [id, isNew] : pending_)
    if (HasRecord(id)) texts[id] = Lines[IndexLine[id]];
  auto headers = pendingHeaders_;
  if (!CurrentModified) {
    CurrentID = 0;
    Current.Clear();
  }
  AdoptLines(std::move(fresh), std::move(index));
  SingletonID = 0;
  fileSeen_ = true;
  NewFile = false;
  ++LoadCount;
  Modified = false;
  ReapplyPending(texts, headers);
  RefreshAllNames();
  return true;
}

int TMiniDB::LoadFromBytes(const std::string& bytes) {
  Close();
  LoadErrorReadOnly = false;
  OpenResult = ldNotOpen;
  MovedIDs.clear();
  NoSave = true;
  DataPath.clear();
  FileTitle.clear();
  FileName.clear();
  if (!IsStoreHead(bytes) || !TakeFileLines(SplitTextLines(bytes))) {
    ClearState();
    MarkReadOnly(8);
    return ldReadError;
  }
  return ldRead;
}

void TMiniDB::ReapplyPending(
    std::map<int32_t, std::string>& texts,
    std::map<std::string, std::pair<std::string, std::string>>& headers) {
  // Putting this station's own lines back is no change of a write.
  reapplying_ = true;
  std::map<int32_t, bool> pending;
  pending.swap(pending_);
  // A record created here and not yet saved whose ID another station has used for its own
  // record meanwhile moves to a free ID; the other station's record stays as it is.
  std::map<int32_t, int32_t> moved;
  int32_t top = LastID;
  for (const auto& [id, isNew] : pending) top = std::max(top, id);
  for (const auto& [id, isNew] : pending)
    if (isNew && HasRecord(id) && texts.count(id)) moved[id] = ++top;
  for (auto& [id, text] : texts) {
    const bool isNew = pending[id];
    if (!moved.empty()) text = RemapLine(text, moved);
    auto m = moved.find(id);
    int32_t target = m == moved.end() ? id : m->second;
    SetLineOfID(target, text, isNew);
  }
  if (!moved.empty()) {
    for (const auto& [from, to] : moved) MovedIDs[from] = to;
    for (int32_t& id : unlogged_) {
      auto m = moved.find(id);
      if (m != moved.end()) id = m->second;
    }
    if (CurrentModified && CurrentID > 0) {
      std::string line = RemapLine(BuildRecordLine(Current), moved);
      Current.SetCommaText(line);
      auto m = moved.find(CurrentID);
      if (m != moved.end()) CurrentID = m->second;
    }
  }
  for (const auto& [upper, nv] : headers) {
    PutHeaderLine(nv.first, nv.second);
    pendingHeaders_[upper] = nv;
  }
  Modified = !pending_.empty() || !pendingHeaders_.empty();
  reapplying_ = false;
}

void TMiniDB::SetLineOfID(int32_t id, std::string line, bool isNew) {
  // A record made inside a write is in its journal as made (NewRecord has put exactly
  // that line on disk): taking the write back leaves it so.
  if (!HasRecord(id) && !reapplying_) {
    for (size_t level = 0; level < journals_.size(); ++level)
      if (journalKept_[level]) journals_[level].emplace(id, TJournalEntry{line, false});
  } else {
    Journal(id);
  }
  int32_t lineNo;
  if (HasRecord(id)) {
    lineNo = IndexLine[id];
    Lines[lineNo] = std::move(line);
  } else {
    // Record lines start at the third line; a file cut short gets its "LastID" line first.
    if (Lines.size() < 2) PutHeaderLine("LastID", std::to_string(LastID));
    if (Lines.size() < 2) Lines.resize(2);
    lineNo = static_cast<int32_t>(Lines.size());
    Lines.push_back(std::move(line));
  }
  bool& flag = pending_[id];
  flag = flag || isNew;
  Modified = true;
  Touch();
  IndexOneLine(lineNo);
}

// =======================================================================================
// Saving

bool TMiniDB::SaveIfModified() {
  if (!Modified) return true;
  if (LoadErrorReadOnly) {
    // Never silent: the user must learn that this change is not in the file.
    ShowError(7, true);
    return false;
  }
  if (NoSave) return false;
  if (!Opened || Lines.empty() || FileName.empty()) {
    Modified = false;
    pending_.clear();
    pendingHeaders_.clear();
    unlogged_.clear();
    return true;
  }
  SavedOnce = true;
  int ticket;
  if (!Reserve(ticket)) {
    ShowError(1, true);
    return false;
  }
  // Another station may have saved since we read: its records go in first, ours on top.
  TFileStamp now = GetFileStamp(FileName);
  if (!(now == FileTime) && (now.exists || fileSeen_)) {
    Load();
    if (LoadErrorReadOnly) {
      Release(ticket);
      return false;  // Load has said why
    }
    if (!Modified) {
      unlogged_.clear();  // nothing of ours is left to save, so nothing to log
      Release(ticket);
      return true;
    }
  }
  // The month's copy shows the store as it was before the month's first change: it is
  // taken from the file as it is now, before this save replaces it.
  double logTime = 0;
  std::string logHeader, previousLogHeader;
  if (TimebackLog) {
    logTime = TimebackLog->ChangeTime();
    std::string copy = TimebackLog->CopyNeeded(logTime);
    if (!copy.empty() && WriteMonthCopy(copy)) TimebackLog->CopyWritten(logTime);
    // An entry that a killed station left unwritten goes first, from the lines its save
    // wrote, before this save changes them.
    SettleChangeLog();
    // The save carries what its change-log entry will be, so that the entry can be
    // completed should this station die between the save and the entry's write: a kill
    // neither loses a saved change from the log nor leaves one there that is not saved.
    if (!unlogged_.empty()) {
      std::vector<std::pair<int32_t, const std::string*>> records;
      for (int32_t id : UnloggedInOrder())
        if (HasRecord(id)) records.emplace_back(id, &Lines[IndexLine[id]]);
      logHeader = TimebackLog->PrepareSaved(records, logTime);
      if (!logHeader.empty()) {
        previousLogHeader = GetHeaderValue(kChangeLogPendingHeader);
        PutHeaderLine(kChangeLogPendingHeader, logHeader);
      }
    }
  }
  PutHeaderLine("LastID", std::to_string(LastID));
  bool ok = SaveTextFileSafe(Lines, FileName, true);
  LastSaveError = ok ? 0 : LastSafeSaveError();
  if (ok) {
    Modified = false;
    pending_.clear();
    pendingHeaders_.clear();
    FileTime = GetFileStamp(FileName);
    fileSeen_ = true;
    NewFile = false;
    if (logHeader.empty()) {
      LogSavedChanges(logTime);
    } else {
      unlogged_.clear();
      // Not written now: the header stays unsettled, and the next save (of any station)
      // or the next open writes the entry.
      if (TimebackLog->WritePrepared()) SettledChangeLogHeader = logHeader;
    }
  } else if (!logHeader.empty()) {
    // Not on disk: the header names no entry of this station, and the next save builds
    // its own from the records still waiting.
    PutHeaderLine(kChangeLogPendingHeader, previousLogHeader);
  }
  Release(ticket);
  if (!ok) {
    // A new record that cannot be written for want of rights in the folder is told so:
    // "save failed" would send the user looking for a damaged file.
    if (savingNewRecord_ && IsMissingRightsError(LastSaveError))
      UI().ShowMessage(TMsgKind::Error, MultiItemsDBTextFmt(11, DataPath));
    else
      ShowError(1, true);
  }
  return ok;
}

bool TMiniDB::Commit() {
  if (CurrentModified) {
    bool ok = StoreCurrent();
    if (AutoSave) return ok;  // StoreCurrent has tried the save (and said why it failed)
  }
  return SaveIfModified();
}

bool TMiniDB::StoreCurrent() {
  if (!CurrentModified) return true;
  if (!Opened || CurrentID == 0 || Lines.empty()) {
    CurrentModified = false;
    return true;
  }
  // Reread with the current record still marked, so that the reread keeps it.
  Load();
  CurrentModified = false;
  const int32_t id = CurrentID;
  std::string line = BuildRecordLine(Current);
  SetLineOfID(id, line, false);
  // Logged once the save has put it on disk (SaveIfModified).
  if (TimebackLog) unlogged_.push_back(id);
  Modified = true;
  if (AutoSave) return SaveIfModified();
  return true;
}

bool TMiniDB::SaveTo(const std::string& fileName) {
  if (!Opened) return false;
  bool ok = Commit();
  if (fileName.empty() || fileName == FileName) {
    if (LoadErrorReadOnly || NoSave) return false;
    Modified = true;
    return SaveIfModified();
  }
  (void)ok;
  std::vector<std::string> copy = Lines;
  int index = -1;
  for (size_t i = 0; i < copy.size(); ++i) {
    if (copy[i].size() > 6 && copy[i][6] == '=' && AnsiSameText(copy[i].substr(0, 6), "LastID")) {
      index = static_cast<int>(i);
      break;
    }
  }
  std::string last = "LastID=" + std::to_string(LastID);
  if (index >= 0) copy[index] = last;
  else copy.push_back(last);
  return SaveTextFileSafe(copy, fileName, false);
}

std::string TMiniDB::GetHeaderValue(const std::string& name) const {
  int index = FindHeaderLine(name);
  if (index < 0) return {};
  return Lines[index].substr(name.size() + 1);
}

bool TMiniDB::HeaderValueRefused(const std::string& name, const std::string& value) {
  if (name.empty() || name.find('=') != std::string::npos) return true;
  // Every line of the file is scanned as a possible record line when it is read: a header
  // line with an item "i=<number>" would become a record (and raise "LastID").
  std::vector<std::string> items;
  TLineInfo info;
  ScanRecordLine(SanitizeValue(name + "=" + value), items, info);
  return info.id >= 1;
}

bool TMiniDB::SetHeaderValue(const std::string& name, const std::string& value) {
  if (!SetHeaderValueUnsaved(name, value)) return false;
  StoreCurrent();
  return SaveIfModified();
}

bool TMiniDB::SetHeaderValueUnsaved(const std::string& name, const std::string& value) {
  if (!Opened || HeaderValueRefused(name, value)) return false;
  std::string clean = SanitizeValue(value);
  PutHeaderLine(name, clean);
  pendingHeaders_[UpperAscii(name)] = {name, clean};
  Modified = true;
  return true;
}

void TMiniDB::ForgetHeaderChange(const std::string& name) {
  if (pendingHeaders_.erase(UpperAscii(name)) == 0) return;
  // Read the file again even when it did not change: its line replaces ours.
  FileTime = TFileStamp{};
  Load();
}

void TMiniDB::PrepareNew(int32_t count) {
  if (count <= 4) return;
  size_t more = static_cast<size_t>(count);
  Lines.reserve(Lines.size() + more);
  size_t ids = IndexLine.size() + more;
  IndexLine.reserve(ids);
  ClassOf.reserve(ids);
  Valid.reserve(ids);
  Names.reserve(ids);
  Names2.reserve(ids);
}

// =======================================================================================
// Records and fields

bool TMiniDB::HasUnsavedChange(int32_t id) const { return pending_.count(id) != 0; }

void TMiniDB::ForgetUnsavedChange(int32_t id) {
  if (pending_.erase(id) == 0) return;
  unlogged_.erase(std::remove(unlogged_.begin(), unlogged_.end(), id), unlogged_.end());
  Modified = !pending_.empty() || !pendingHeaders_.empty();
}

bool TMiniDB::HasRecord(int32_t id) const {
  return id > 0 && static_cast<size_t>(id) < IndexLine.size() && IndexLine[id] >= 0;
}

bool TMiniDB::SelectRecord(int32_t id) {
  if (!HasRecord(id)) return false;
  if (id == CurrentID) return true;
  if (CurrentModified) StoreCurrent();
  if (!HasRecord(id)) return false;
  Current.SetCommaText(Lines[IndexLine[id]]);
  CurrentID = id;
  return true;
}

std::string TMiniDB::GetField(int32_t id, const std::string& key) {
  if (!SelectRecord(id)) return {};
  std::string stored = Current.ValueOf(key);
  return IsPlainField(key) ? stored : UnscrambleStr(stored);
}

std::string TMiniDB::GetFieldChar(int32_t id, char key) {
  if (!SelectRecord(id)) return {};
  std::string stored = Current.ValueOfChar(key);
  return IsPlainField(std::string(1, key)) ? stored : UnscrambleStr(stored);
}

void TMiniDB::SetValueOfCurrent(const std::string& key, const std::string& stored) {
  int index = -1;
  for (int i = 0; i < Current.Count(); ++i) {
    const std::string& item = Current.Get(i);
    if (item.size() > key.size() && item[key.size()] == '=' &&
        SameKey(std::string_view(item).substr(0, key.size()), key)) {
      index = i;
      break;
    }
  }
  if (index >= 0) {
    const std::string& item = Current.Get(index);
    if (item.compare(key.size() + 1, std::string::npos, stored) == 0) return;
    Journal(CurrentID);
    if (stored.empty()) Current.Delete(index);
    else Current.Put(index, item.substr(0, key.size()) + "=" + stored);
  } else {
    if (stored.empty()) return;
    Journal(CurrentID);
    Current.Add(key + "=" + stored);
  }
  CurrentModified = true;
  Touch();
}

void TMiniDB::SetField(int32_t id, const std::string& key, const std::string& value) {
  if (key.empty() || key.find('=') != std::string::npos || SameKey(key, "i")) return;
  if (!SelectRecord(id)) return;
  std::string clean = SanitizeValue(value);
  const bool plain = IsPlainField(key);
  SetValueOfCurrent(key, plain ? clean : ScrambleStr(clean));
  Touch();
  if (SameKey(key, "v")) {
    Valid[id] = clean != "0";
    RefreshName(id);
  } else if (SameKey(key, "c") || SameKey(key, "n") || SameKey(key, "n2")) {
    // A new class may name the record differently (a second name, or a context).
    if (SameKey(key, "c")) ClassOf[id] = static_cast<uint8_t>(StrToByteZero(clean));
    TLineInfo info;
    info.cls = ClassOf[id];
    std::string raw = Current.ValueOfChar('n');
    info.hasName = true;
    info.rawName = raw;
    if (NameFunc[info.cls]) {
      std::string name;
      NameFunc[info.cls](*this, id, Current, name);
      Names[id] = std::move(name);
    } else {
      Names[id] = UnscrambleStr(raw);
    }
    RefreshName(id);
  }
}

void TMiniDB::SetFieldIfEmpty(int32_t id, const std::string& key, const std::string& value) {
  if (key.empty() || value.empty()) return;
  if (GetField(id, key).empty()) SetField(id, key, value);
}

void TMiniDB::SetFieldIfGiven(int32_t id, const std::string& key, const std::string& value) {
  if (!value.empty()) SetField(id, key, value);
}

void TMiniDB::DeleteField(int32_t id, const std::string& key) {
  if (key.empty() || SameKey(key, "i")) return;
  if (!SelectRecord(id)) return;
  SetValueOfCurrent(key, "");
  Touch();
  if (SameKey(key, "v")) {
    Valid[id] = 1;
    RefreshName(id);
  } else if (SameKey(key, "n") || SameKey(key, "n2")) {
    SetField(id, key, "");
  } else if (SameKey(key, "c")) {
    ClassOf[id] = 0;
  }
}

std::string TMiniDB::GetRecordText(int32_t id) {
  if (!SelectRecord(id)) return {};
  return BuildRecordLine(Current);
}

bool TMiniDB::PutRecordText(int32_t id, const std::string& text) {
  if (id < 1) return false;
  TQStringList fields;
  fields.SetCommaText(text);
  int32_t cls = StrToIntZero(fields.ValueOfChar('c'));
  if (cls < 1 || cls > 255) return false;
  if (!HasRecord(id) && !CreateWithID(id, cls)) return false;
  if (!SelectRecord(id)) return false;
  TQStringList next;
  next.Add("i=" + std::to_string(id));
  for (int i = 0; i < fields.Count(); ++i) {
    const std::string& item = fields.Get(i);
    if (SameKey(KeyOf(item), "i")) continue;
    next.Add(item);
  }
  if (BuildRecordLine(next) != BuildRecordLine(Current)) {
    Journal(id);
    Current.Assign(next);
    CurrentModified = true;
  }
  ClassOf[id] = static_cast<uint8_t>(cls);
  Valid[id] = Current.ValueOfChar('v') != "0";
  Touch();
  TLineInfo info;
  info.cls = cls;
  info.rawName = Current.ValueOfChar('n');
  info.hasName = true;
  ComputeName(id, BuildRecordLine(Current), info);
  RefreshName(id);
  return true;
}

void TMiniDB::GetRecordLines(int32_t id, TQStringList& fields) {
  fields.Clear();
  if (SelectRecord(id)) fields.AddStrings(Current);
}

int TMiniDB::GetClass(int32_t id) const {
  if (!HasRecord(id)) return 0;
  return ClassOf[id];
}

bool TMiniDB::IsValid(int32_t id) const {
  return id > 0 && id <= LastID && static_cast<size_t>(id) < Valid.size() && Valid[id] != 0;
}

std::string TMiniDB::GetName(int32_t id) { return GetFieldChar(id, 'n'); }

std::string TMiniDB::GetValidName(int32_t id) {
  if (!IsValid(id)) return {};
  return GetFieldChar(id, 'n');
}

std::string TMiniDB::GetRemark(int32_t id) { return GetFieldChar(id, 'r'); }

int32_t TMiniDB::GetKeySystem(int32_t id) { return StrToPosInt(GetField(id, "ks")); }

int32_t TMiniDB::GetKeySystemRaw(int32_t id) {
  int32_t v = StrToIntZero(GetField(id, "ks"));
  return v < 0 ? 0 : v;
}

void TMiniDB::SetKeySystem(int32_t id, int32_t code) {
  SetField(id, "ks", code == 0 ? std::string() : std::to_string(code));
}

std::string TMiniDB::GetIniText(int32_t id, const std::string& name) {
  if (id == 0) id = FindOrCreateSingleton(false);
  if (!HasRecord(id)) return {};
  TQStringList ini;
  ini.SetCommaText(GetField(id, "ini"));
  return ini.ValueOf(name);
}

void TMiniDB::SetIniValue(int32_t id, const std::string& name, const std::string& value) {
  if (id == 0) id = FindOrCreateSingleton(true);
  if (!HasRecord(id) || name.empty()) return;
  TQStringList ini;
  ini.SetCommaText(GetField(id, "ini"));
  std::string clean = SanitizeValue(value);
  if (ini.ValueOf(name) == clean) return;
  int index = -1;
  for (int i = 0; i < ini.Count(); ++i)
    if (SameKey(KeyOf(ini.Get(i)), name)) {
      index = i;
      break;
    }
  if (index >= 0) {
    if (clean.empty()) ini.Delete(index);
    else ini.Put(index, name + "=" + clean);
  } else if (!clean.empty()) {
    ini.Add(name + "=" + clean);
  }
  SetField(id, "ini", ini.GetCommaText());
}

std::string TMiniDB::ReadLineField(int32_t id, std::string_view key) const {
  if (!HasRecord(id)) return {};
  assert(static_cast<size_t>(IndexLine[id]) < Lines.size());
  std::string stored;
  if (id == CurrentID) stored = Current.ValueOf(key);
  else CommaTextValue(Lines[IndexLine[id]], key, stored);
  return IsPlainField(key) ? stored : UnscrambleStr(stored);
}

void TMiniDB::ReadLineFields(int32_t id, const std::string_view* keys, std::string* values,
                             size_t count) const {
  if (!HasRecord(id)) {
    for (size_t i = 0; i < count; ++i) values[i].clear();
    return;
  }
  if (id == CurrentID) {
    for (size_t i = 0; i < count; ++i) values[i] = Current.ValueOf(keys[i]);
  } else {
    CommaTextValues(Lines[IndexLine[id]], keys, values, count);
  }
  for (size_t i = 0; i < count; ++i)
    if (!IsPlainField(keys[i])) values[i] = UnscrambleStr(values[i]);
}

void TMiniDB::PrefetchRecord(int32_t id) const {
  if (!HasRecord(id)) return;
  const std::string& line = Lines[static_cast<size_t>(IndexLine[id])];
  __builtin_prefetch(line.data());
  __builtin_prefetch(line.data() + 64);
  if (static_cast<size_t>(id) < Names2.size()) __builtin_prefetch(Names2[id].data());
}

int32_t TMiniDB::ReadFirstLink(int32_t id, int kind) const {
  std::string list = ReadLinkText(id, kind);
  return StrToIntZero(FetchValue(list));
}

std::string TMiniDB::ReadLinkText(int32_t id, int kind) const {
  if (kind < 0 || kind > 255) return {};
  return ReadLineField(id, LinkKey(kind));
}

void TMiniDB::ReadLinks(int32_t id, int kind, TItemList& list) const {
  list.Clear();
  for (int32_t target : LinkIDs(ReadLinkText(id, kind))) list.Add(target);
}

int32_t TMiniDB::ReadOnlyLink(int32_t id, int kind) const {
  std::string list = ReadLinkText(id, kind);
  if (list.empty() || list.find(';') != std::string::npos) return 0;
  return StrToIntZero(list);
}

bool TMiniDB::ReadHasLink(int32_t id, int kind, int32_t target) const {
  return InValueList(std::to_string(target), ReadLinkText(id, kind));
}

int32_t TMiniDB::ReadLinkCount(int32_t id, int kind) const {
  int32_t count = 0;
  for (int32_t target : LinkIDs(ReadLinkText(id, kind)))
    if (target > 0) ++count;
  return count;
}

std::string TMiniDB::ReadLinkValue(int32_t id, int32_t other, const std::string& name) const {
  TQStringList values;
  values.SetCommaText(ReadLineField(id, LinkValueKey(other)));
  return values.ValueOf(name);
}

std::string TMiniDB::ReadName(int32_t id) const { return ReadLineField(id, "n"); }

int32_t TMiniDB::ReadKeySystem(int32_t id) const {
  return StrToPosInt(ReadLineField(id, "ks"));
}

bool TMiniDB::ReadRecord(int32_t id, TQStringList& fields) const {
  fields.Clear();
  if (!HasRecord(id)) return false;
  if (id == CurrentID) fields.AddStrings(Current);
  else fields.SetCommaText(Lines[IndexLine[id]]);
  return true;
}

// =======================================================================================
// Names

std::string TMiniDB::GetDisplayName(int32_t id) const { return DisplayNameOf(id); }

const std::string& TMiniDB::DisplayNameOf(int32_t id) const {
  static const std::string none;
  if (id < 1 || static_cast<size_t>(id) >= Names2.size()) return none;
  return Names2[id];
}

std::string TMiniDB::GetValidDisplayName(int32_t id) const {
  if (!IsValid(id)) return {};
  return GetDisplayName(id);
}

bool TMiniDB::BuildDisplayName(int32_t id, bool validOnly, std::string& text,
                               uint8_t style) const {
  text.clear();
  if (!HasRecord(id)) return false;
  if (validOnly && !IsValid(id)) return false;
  if (TNameFunc2 f = NameFunc2[ClassOf[id]]) {
    TQStringList fields;
    ReadRecord(id, fields);
    f(*this, id, fields, style, text);
  } else {
    text = Names[id];
  }
  return true;
}

void TMiniDB::RefreshName(int32_t id) {
  if (id < 1) return;
  EnsureIDSlots(id);
  std::string text;
  BuildDisplayName(id, false, text, 9);
  Names2[id] = std::move(text);
  Touch();
}

void TMiniDB::RefreshAllNames() {
  // Opening a client asks for the names several times over (the load, the name functions,
  // the locking-system names); at 100,000 records each pass costs tens of milliseconds.
  const uint64_t input = NamesInput ? NamesInput() : 0;
  if (namesBasis_.made && namesBasis_.changeCount == changeCount_ && namesBasis_.input == input &&
      namesBasis_.nameFunc == NameFunc && namesBasis_.nameFunc2 == NameFunc2)
    return;
  if (Names2.size() < Names.size()) Names2.resize(Names.size());
  const int32_t last = std::min<int32_t>(LastID, static_cast<int32_t>(IndexLine.size()) - 1);
  TQStringList fields;  // one list for all: its room is kept from record to record
  std::string text;
  for (int32_t id = 1; id <= last; ++id) {
    if (IndexLine[id] < 0) {
      Names2[id].clear();
    } else if (TNameFunc2 f = NameFunc2[ClassOf[id]]) {
      if (id == CurrentID) fields.Assign(Current);
      else fields.SetCommaText(Lines[IndexLine[id]]);
      text.clear();
      f(*this, id, fields, 9, text);
      Names2[id] = text;
    } else {
      Names2[id] = Names[id];
    }
  }
  Touch();
  namesBasis_.made = true;
  namesBasis_.changeCount = changeCount_;
  namesBasis_.input = input;
  namesBasis_.nameFunc = NameFunc;
  namesBasis_.nameFunc2 = NameFunc2;
}

void TMiniDB::SetNameFunc(int cls, TNameFunc2 func) {
  if (cls < 0 || cls > 255 || NameFunc2[cls] == func) return;
  NameFunc2[cls] = func;
  Touch();
  for (int32_t id = 1; static_cast<size_t>(id) < ClassOf.size(); ++id)
    if (ClassOf[id] == cls && IndexLine[id] >= 0) RefreshName(id);
}

void TMiniDB::SetNameFuncQuiet(int cls, TNameFunc2 func) { SetNameFunc(cls, func); }

void TMiniDB::FillStringsByClass(TQStringList& list, int cls) const {
  list.Clear();
  for (int32_t id = 1; static_cast<size_t>(id) < ClassOf.size(); ++id)
    if (ClassOf[id] == cls && Valid[id] && IndexLine[id] >= 0)
      list.AddObject(Names2[id], id);
}

// =======================================================================================
// Creating

int32_t TMiniDB::AppendRecord(int32_t id, int cls) {
  assert(id > 0 && cls >= 0 && cls <= 255 && !HasRecord(id));
  SetLineOfID(id, "i=" + std::to_string(id) + ",c=" + std::to_string(cls), true);
  assert(HasRecord(id));
  if (id > LastID) LastID = id;
  if (ClassCount[cls] >= 0) ++ClassCount[cls];
  return id;
}

bool TMiniDB::PersistNewID(int32_t id) {
  // Only a file that holds the new line keeps other stations from handing out its ID.
  // Inside exclusive access no other station may create records, and a store that never
  // writes has nobody to share IDs with.
  if (NoSave && !LoadErrorReadOnly) return true;
  if (HoldsExclusiveAccess()) return true;
  savingNewRecord_ = true;
  const bool saved = SaveIfModified();
  savingNewRecord_ = false;
  if (saved) return true;
  // Not written: take the record back rather than hand out an ID that may be taken twice.
  if (HasRecord(id)) {
    int32_t lineNo = IndexLine[id];
    Lines.erase(Lines.begin() + lineNo);
    Touch();
    pending_.erase(id);
    IndexLine[id] = -1;
    ClassOf[id] = 0;
    Valid[id] = 0;
    Names[id].clear();
    Names2[id].clear();
    for (auto& line : IndexLine)
      if (line > lineNo) --line;
    if (id == LastID) --LastID;
    if (CurrentID == id) {
      CurrentID = 0;
      Current.Clear();
      CurrentModified = false;
    }
    Modified = !pending_.empty() || !pendingHeaders_.empty();
  }
  return false;
}

bool TMiniDB::ClaimNewID(int32_t id, std::vector<std::string>& claim) {
  // Under the reservation no other station creates a record, so the new ID needs no entry
  // in the lock file (such an entry outlived a crash between claim and save and refused
  // every other station's new records). Only a station holding the whole store refuses.
  claim.clear();
  std::string blocking;
  if (ItemsLock && ItemsLock->CheckFree({std::to_string(id)}, blocking)) return true;
  ShowLockedMessage(blocking.empty() ? std::string(kLockFileUnusable) : blocking, true);
  return false;
}

void TMiniDB::EndClaim(std::vector<std::string>& claim) {
  if (claim.empty() || !ItemsLock) return;
  std::string blocking;
  ItemsLock->SetDBAccess(dbaUnlock, claim, blocking);
  claim.clear();
}

void TMiniDB::ShowReserveFailed() {
  const int error = AccessProtection ? AccessProtection->LastError() : 0;
  if (AccessProtection && !AccessProtection->LastFailureBusy() && IsMissingRightsError(error)) {
    UI().ShowMessage(TMsgKind::Error, MultiItemsDBTextFmt(11, DataPath));
    return;
  }
  ShowError(1, true);
}

int32_t TMiniDB::NewRecord(int cls) {
  if (!Opened || Lines.empty() || cls < 1 || cls > 255) return 0;
  int ticket = -1;
  std::vector<std::string> claim;
  const bool share = !NoSave && !HoldsExclusiveAccess();
  if (share) {
    if (!Reserve(ticket)) {
      ShowReserveFailed();
      return 0;
    }
    Load();  // the freshest "LastID" of all stations
  }
  if (LastID >= kMaxRecordID || (share && !ClaimNewID(LastID + 1, claim))) {
    Release(ticket);
    return 0;
  }
  int32_t id = AppendRecord(LastID + 1, cls);
  bool ok = PersistNewID(id);
  EndClaim(claim);
  Release(ticket);
  return ok ? id : 0;
}

int32_t TMiniDB::NewNamedRecord(int cls, const std::string& name, const std::string& name2) {
  int32_t id = NewRecord(cls);
  if (id == 0) return 0;
  SetField(id, "n", name);
  if (!name2.empty()) SetField(id, "n2", name2);
  return id;
}

bool TMiniDB::CreateWithID(int32_t id, int cls) {
  if (!Opened || Lines.empty() || id < 1 || id > kMaxRecordID || cls < 0 || cls > 255)
    return false;
  if (HasRecord(id)) {
    if (ClassOf[id] != cls) SetField(id, "c", std::to_string(cls));
    return true;
  }
  int ticket = -1;
  const bool share = !NoSave && !HoldsExclusiveAccess();
  if (share) {
    if (!Reserve(ticket)) {
      ShowReserveFailed();
      return false;
    }
    Load();
    if (HasRecord(id)) {  // another station made it meanwhile
      Release(ticket);
      if (ClassOf[id] != cls) SetField(id, "c", std::to_string(cls));
      return true;
    }
  }
  std::vector<std::string> claim;
  if (share && !ClaimNewID(id, claim)) {
    Release(ticket);
    return false;
  }
  AppendRecord(id, cls);
  bool ok = PersistNewID(id);
  EndClaim(claim);
  Release(ticket);
  return ok;
}

// =======================================================================================
// Listing and finding

void TMiniDB::ListClass(int cls, TItemList& list) const {
  list.Clear();
  if (cls < 0 || cls > 255) return;
  int32_t expected = ClassCount[cls] >= 0 ? ClassCount[cls] + 10 : LastID + 2;
  list.EnsureCapacity(expected);
  int32_t count = 0;
  const size_t n = std::min(ClassOf.size(), static_cast<size_t>(LastID) + 1);
  for (size_t id = 1; id < n; ++id) {
    if (ClassOf[id] != cls || IndexLine[id] < 0) continue;
    list.Add(static_cast<int32_t>(id));
    ++count;
  }
  ClassCount[cls] = count;
}

void TMiniDB::ListClassValid(int cls, TItemList& list) const {
  // The list keeps its room, and gets room for all at once: grown entry by entry, a list
  // of 100,000 keys was copied a hundred times into fresh memory at every keystroke of a
  // listing.
  list.RemoveAll();
  if (cls < 0 || cls > 255) return;
  list.EnsureCapacity((ClassCount[cls] >= 0 ? ClassCount[cls] : LastID) + 10);
  int32_t count = 0;
  const size_t n = std::min(ClassOf.size(), static_cast<size_t>(LastID) + 1);
  for (size_t id = 1; id < n; ++id) {
    if (ClassOf[id] != cls || IndexLine[id] < 0) continue;
    ++count;
    if (Valid[id]) list.Add(static_cast<int32_t>(id));
  }
  ClassCount[cls] = count;
}

void TMiniDB::ListAll(TItemList& list, bool validOnly) const {
  list.Clear();
  const size_t n = std::min(IndexLine.size(), static_cast<size_t>(LastID) + 1);
  for (size_t id = 1; id < n; ++id)
    if (IndexLine[id] >= 0 && (!validOnly || Valid[id])) list.Add(static_cast<int32_t>(id));
}

int32_t TMiniDB::CountClass(int cls) const {
  if (cls < 0 || cls > 255) return 0;
  int32_t count = 0;
  for (size_t id = 1; id < ClassOf.size(); ++id)
    if (ClassOf[id] == cls && Valid[id] && IndexLine[id] >= 0) ++count;
  return count;
}

int32_t TMiniDB::FindByName(const std::string& name, int cls, int32_t exceptID) const {
  const std::string wanted = Trim(name);
  if (cls < 0 || cls > 255) return 0;
  // The walk reads the index arrays through plain pointers: the comparison's calls cannot
  // make the compiler load the arrays' starts again for every record.
  const uint8_t* classes = ClassOf.data();
  const uint8_t* valid = Valid.data();
  const int32_t* lines = IndexLine.data();
  const std::string* names = Names.data();
  const size_t n = ClassOf.size();
  const uint8_t wantedClass = static_cast<uint8_t>(cls);
  for (size_t id = 1; id < n; ++id) {
    if (classes[id] != wantedClass || !valid[id] || lines[id] < 0) continue;
    if (static_cast<int32_t>(id) == exceptID) continue;
    if (names[id].size() == wanted.size() && AnsiSameText(names[id], wanted))
      return static_cast<int32_t>(id);
  }
  return 0;
}

std::string TMiniDB::GetGUID(int32_t id, const std::string& given) {
  if (!HasRecord(id)) return {};
  if (!given.empty()) {
    SetField(id, "GUID", given);
    return given;
  }
  std::string guid = GetField(id, "GUID");
  if (!guid.empty()) return guid;
  double now = LocalNow ? LocalNow() : LocalNowDays();
  uint64_t bits;
  std::memcpy(&bits, &now, sizeof bits);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04X.%016llX", static_cast<unsigned>(id),
                static_cast<unsigned long long>(bits));
  guid = buf;
  SetField(id, "GUID", guid);
  return guid;
}

int32_t TMiniDB::FindByGUID(const std::string& guid, int cls) {
  if (guid.empty()) return 0;
  size_t dot = guid.find('.');
  if (dot != std::string::npos && dot > 0 && dot <= 8) {
    int32_t id = 0;
    if (TryStrToInt("$" + guid.substr(0, dot), id) && HasRecord(id) &&
        ReadLineField(id, "GUID") == guid)
      return id;
  }
  const size_t n = std::min(IndexLine.size(), static_cast<size_t>(LastID) + 1);
  for (size_t id = 1; id < n; ++id) {
    if (IndexLine[id] < 0 || (cls != 0 && ClassOf[id] != cls)) continue;
    if (ReadLineField(static_cast<int32_t>(id), "GUID") == guid) return static_cast<int32_t>(id);
  }
  return 0;
}

int32_t TMiniDB::FindOrCreateSingleton(bool create) {
  if (!Opened) return 0;
  if (SingletonID > 0 && GetClass(SingletonID) == clsSettings) return SingletonID;
  int ticket;
  if (!Reserve(ticket)) return 0;
  Load();
  int32_t found = 0;
  for (size_t id = 1; id < ClassOf.size(); ++id)
    if (ClassOf[id] == clsSettings && IndexLine[id] >= 0) {
      found = static_cast<int32_t>(id);
      break;
    }
  if (found == 0 && create) {
    found = NewRecord(clsSettings);
    if (found) {
      GetGUID(found);
      Commit();
    }
  }
  SingletonID = found;
  Release(ticket);
  return found;
}

int32_t TMiniDB::ImportRecord(int cls, const std::string& guid, const std::string& text) {
  if (!Opened) return 0;
  int ticket;
  if (!Reserve(ticket)) return 0;
  Load();
  int32_t id = guid.empty() ? 0 : FindByGUID(guid, cls);
  if (id == 0) {
    id = NewRecord(cls);
    if (id && !guid.empty()) GetGUID(id, guid);
  }
  if (id) {
    CopyRecordFrom(text, id);
    Commit();
  }
  Release(ticket);
  return id;
}

void TMiniDB::CopyRecordFrom(const std::string& text, int32_t id) {
  if (!SelectRecord(id)) return;
  TQStringList source;
  source.SetCommaText(text);
  auto kept = [](std::string_view key) {
    int kind;
    return SameKey(key, "i") || SameKey(key, "c") || SameKey(key, "GUID") ||
           IsLinkField(key, kind);
  };
  TQStringList next;
  for (int i = 0; i < Current.Count(); ++i)
    if (kept(KeyOf(Current.Get(i)))) next.Add(Current.Get(i));
  for (int i = 0; i < source.Count(); ++i)
    if (!kept(KeyOf(source.Get(i)))) next.Add(source.Get(i));
  if (BuildRecordLine(next) == BuildRecordLine(Current)) return;
  Journal(id);
  Current.Assign(next);
  CurrentModified = true;
  Touch();
  Valid[id] = Current.ValueOfChar('v') != "0";
  TLineInfo info;
  info.cls = ClassOf[id];
  info.rawName = Current.ValueOfChar('n');
  info.hasName = true;
  ComputeName(id, BuildRecordLine(Current), info);
  RefreshName(id);
}

// =======================================================================================
// Links

void TMiniDB::AddLink(int32_t from, int32_t to, int kind) {
  if (from == to || from <= 0 || to <= 0 || kind < 0 || kind > 255) return;
  if (!HasRecord(from)) return;
  std::string key = LinkKey(kind);
  std::string list = GetField(from, key);
  if (InValueList(std::to_string(to), list)) return;
  AddToValueList(list, std::to_string(to));
  SetField(from, key, list);
}

void TMiniDB::AddNewLinks(int32_t from, const std::vector<int32_t>& newIds, int kind) {
  if (newIds.empty() || from <= 0 || kind < 0 || kind > 255 || !HasRecord(from)) return;
  const std::string key = LinkKey(kind);
  std::string list = GetField(from, key);
  for (int32_t id : newIds) {
    if (!list.empty() && list.back() != ';') list += ';';
    list += std::to_string(id);
  }
  SetField(from, key, list);
}

void TMiniDB::AddLinkBoth(int32_t a, int32_t b, int kindOnA, int kindOnB) {
  AddLink(a, b, kindOnA);
  AddLink(b, a, kindOnB);
}

void TMiniDB::RemoveLink(int32_t from, int32_t to, int kind) {
  if (kind < 0 || kind > 255 || !HasRecord(from)) return;
  std::string key = LinkKey(kind);
  std::string list = GetField(from, key);
  if (list.empty()) return;
  std::string before = list;
  RemoveFromValueList(list, std::to_string(to));
  if (list != before) SetField(from, key, list);
}

void TMiniDB::RemoveLinkBoth(int32_t a, int32_t b, int kindOnA, int kindOnB) {
  RemoveLink(a, b, kindOnA);
  RemoveLink(b, a, kindOnB);
  if (HasRecord(a) && !GetField(a, LinkValueKey(b)).empty()) DeleteField(a, LinkValueKey(b));
  if (HasRecord(b) && !GetField(b, LinkValueKey(a)).empty()) DeleteField(b, LinkValueKey(a));
}

void TMiniDB::GetLinks(int32_t id, int kind, TItemList& list) {
  list.Clear();
  for (int32_t target : LinkIDs(GetLinkText(id, kind))) list.Add(target);
}

std::string TMiniDB::GetLinkText(int32_t id, int kind) {
  if (kind < 0 || kind > 255) return {};
  return GetField(id, LinkKey(kind));
}

bool TMiniDB::HasLinks(int32_t id, int kind) { return !GetLinkText(id, kind).empty(); }

int32_t TMiniDB::CountValidLinks(int32_t id, int kind) {
  int32_t count = 0;
  for (int32_t target : LinkIDs(GetLinkText(id, kind)))
    if (target > 0) ++count;
  return count;
}

bool TMiniDB::HasLink(int32_t id, int kind, int32_t target) {
  return InValueList(std::to_string(target), GetLinkText(id, kind));
}

int32_t TMiniDB::GetFirstLink(int32_t id, int kind) {
  std::string list = GetLinkText(id, kind);
  return StrToIntZero(FetchValue(list));
}

int32_t TMiniDB::GetOnlyLink(int32_t id, int kind) {
  std::string list = GetLinkText(id, kind);
  if (list.empty() || list.find(';') != std::string::npos) return 0;
  return StrToIntZero(list);
}

bool TMiniDB::SameLinks(int32_t a, int32_t b, int kind) {
  std::vector<int32_t> x = LinkIDs(GetLinkText(a, kind));
  std::vector<int32_t> y = LinkIDs(GetLinkText(b, kind));
  if (x.size() != y.size()) return false;
  std::sort(x.begin(), x.end(), std::greater<>());
  std::sort(y.begin(), y.end(), std::greater<>());
  return x == y;
}

std::string TMiniDB::GetLinkValue(int32_t id, int32_t other, const std::string& name) {
  TQStringList values;
  values.SetCommaText(GetField(id, LinkValueKey(other)));
  return values.ValueOf(name);
}

void TMiniDB::SetLinkValue(int32_t id, int32_t other, const std::string& name,
                           const std::string& value) {
  if (!HasRecord(id) || name.empty()) return;
  TQStringList values;
  values.SetCommaText(GetField(id, LinkValueKey(other)));
  std::string clean = SanitizeValue(value);
  if (values.ValueOf(name) == clean) return;
  int index = -1;
  for (int i = 0; i < values.Count(); ++i)
    if (SameKey(KeyOf(values.Get(i)), name)) {
      index = i;
      break;
    }
  if (index >= 0) {
    if (clean.empty()) values.Delete(index);
    else values.Put(index, name + "=" + clean);
  } else if (!clean.empty()) {
    values.Add(name + "=" + clean);
  }
  SetField(id, LinkValueKey(other), values.Count() ? values.GetCommaText() : std::string());
}

void TMiniDB::DeleteLinkValue(int32_t id, int32_t other, const std::string& name,
                              bool bothSides) {
  SetLinkValue(id, other, name, "");
  if (bothSides) SetLinkValue(other, id, name, "");
}

bool TMiniDB::SetLinks(int32_t id, int kindBack, std::string& blocking, bool oneSided,
                       const TItemList& wanted, int kind) {
  blocking.clear();
  if (!SelectRecord(id)) {
    blocking = "[No Dataset]";
    return false;
  }
  std::vector<int32_t> want;
  for (int32_t i = 0; i < wanted.Count(); ++i) want.push_back(wanted.Get(i));
  std::vector<int32_t> present = LinkIDs(GetLinkText(id, kind));
  std::vector<int32_t> removals;
  for (int32_t p : present)
    if (std::find(want.begin(), want.end(), p) == want.end()) AppendUnique(removals, p);
  std::vector<int32_t> ids{id};
  for (int32_t w : want) AppendUnique(ids, w);
  for (int32_t r : removals) AppendUnique(ids, r);
  TLockScope scope;
  if (!TakeLocks(ids, blocking, scope, true)) return false;
  for (int32_t r : removals) RemoveLinkBoth(id, r, kind, kindBack);
  for (int32_t w : want) {
    AddLink(id, w, kind);
    if (!oneSided) AddLink(w, id, kindBack);
  }
  DropLocks(scope);
  return true;
}

bool TMiniDB::ReplaceLink(int32_t id, int32_t newTarget, int ticket, int kind, int kindBack) {
  int32_t old = GetFirstLink(id, kind);
  if (old == newTarget && GetOnlyLink(id, kind) == newTarget) return true;
  std::vector<int32_t> ids{id};
  AppendUnique(ids, old);
  AppendUnique(ids, newTarget);
  std::string blocking;
  TLockScope scope;
  if (!TakeLocks(ids, blocking, scope, false)) {
    Release(ticket);
    ShowLockedMessage(blocking, true);
    return false;
  }
  if (old > 0) RemoveLinkBoth(id, old, kind, kindBack);
  AddLinkBoth(id, newTarget, kind, kindBack);
  DropLocks(scope);
  return true;
}

void TMiniDB::RemoveAllLinksTo(int32_t holder, int32_t target) {
  if (!HasRecord(holder)) return;
  TQStringList fields;
  ReadRecord(holder, fields);
  std::vector<int> kinds;
  for (int i = 0; i < fields.Count(); ++i) {
    int kind;
    if (IsLinkField(KeyOf(fields.Get(i)), kind)) kinds.push_back(kind);
  }
  for (int kind : kinds) RemoveLink(holder, target, kind);
  if (!GetField(holder, LinkValueKey(target)).empty()) DeleteField(holder, LinkValueKey(target));
}

bool TMiniDB::UnlinkAll(int32_t id) {
  if (!HasRecord(id)) return false;
  TQStringList fields;
  ReadRecord(id, fields);
  std::vector<std::pair<int, int32_t>> links;
  std::vector<int32_t> ids{id};
  for (int i = 0; i < fields.Count(); ++i) {
    const std::string& item = fields.Get(i);
    std::string_view key = KeyOf(item);
    int kind;
    if (key.size() == item.size() || !IsLinkField(key, kind)) continue;
    for (int32_t other : LinkIDs(item.substr(key.size() + 1))) {
      links.emplace_back(kind, other);
      AppendUnique(ids, other);
    }
  }
  if (links.empty()) return true;
  int ticket;
  if (!Reserve(ticket)) {
    ShowLockedMessage("*", false);
    return false;
  }
  std::string blocking;
  TLockScope scope;
  if (!TakeLocks(ids, blocking, scope, true)) {
    Release(ticket);
    ShowLockedMessage(blocking, false);
    return false;
  }
  const int cls = GetClass(id);
  for (const auto& [kind, other] : links) {
    if (other <= 0) continue;
    RemoveLinkBoth(id, other, kind, BackKind(kind, cls));
    // Whatever list of the other record still names this one (a kind that does not
    // follow the class rule) would dangle once this record is gone.
    RemoveAllLinksTo(other, id);
  }
  DropLocks(scope);
  Release(ticket);
  return true;
}

bool TMiniDB::MarkDeleted(int32_t id) {
  if (!HasRecord(id)) return false;
  if (!UnlinkAll(id)) return false;
  DeleteField(id, "r");
  SetField(id, "v", "0");
  // Inside a write the write saves, together with the rest of its change.
  return WriteActive() ? StoreCurrent() : Commit();
}

// =======================================================================================
// Copies and split records

int32_t TMiniDB::DuplicateRecord(int32_t id, bool markName, bool withDoors, bool withPersons) {
  if (!Opened || !HasRecord(id)) return 0;
  int ticket;
  if (!Reserve(ticket)) {
    ShowLockedMessage("*", false);
    return 0;
  }
  Load();
  if (!HasRecord(id)) {
    Release(ticket);
    return 0;
  }
  const int cls = GetClass(id);
  TQStringList source;
  ReadRecord(id, source);
  std::vector<std::pair<int, std::vector<int32_t>>> linkLists;
  std::vector<int32_t> lockIDs;
  TQStringList copy;
  for (int i = 0; i < source.Count(); ++i) {
    const std::string& item = source.Get(i);
    std::string_view key = KeyOf(item);
    int kind;
    if (IsLinkField(key, kind)) {
      if (kind == lkMother || kind == lkDaughters) continue;
      if (kind == 5 && !withPersons) continue;
      if (cls == 6 && kind == 3 && !withDoors) continue;
      std::vector<int32_t> targets;
      for (int32_t t : LinkIDs(key.size() < item.size() ? item.substr(key.size() + 1) : ""))
        if (t > 0) {
          targets.push_back(t);
          AppendUnique(lockIDs, t);
        }
      linkLists.emplace_back(kind, std::move(targets));
      continue;
    }
    if (SameKey(key, "i") || SameKey(key, "c") || SameKey(key, "GUID") ||
        SameKey(key, "extID") || (!withPersons && SameKey(key, "own")))
      continue;
    copy.Add(item);
  }
  std::string blocking;
  TLockScope scope;
  if (!TakeLocks(lockIDs, blocking, scope, false)) {
    Release(ticket);
    ShowLockedMessage(blocking, false);
    return 0;
  }
  int32_t newID = NewRecord(cls);
  if (newID) {
    SelectRecord(newID);
    for (int i = 0; i < copy.Count(); ++i) {
      const std::string& item = copy.Get(i);
      std::string_view key = KeyOf(item);
      if (key.size() < item.size())
        SetValueOfCurrent(std::string(key), item.substr(key.size() + 1));
    }
    Valid[newID] = Current.ValueOfChar('v') != "0";
    std::string name = GetFieldChar(newID, 'n');
    if (markName) name += " *Kopie*";
    SetField(newID, "n", name);
    for (const auto& [kind, targets] : linkLists) {
      TItemList wanted;
      for (int32_t t : targets) wanted.Add(t);
      std::string b;
      SetLinks(newID, cls, b, false, wanted, kind);
    }
  }
  DropLocks(scope);
  Release(ticket);
  return newID;
}

int32_t TMiniDB::DuplicateLinked(int32_t motherID) {
  int32_t daughter = DuplicateRecord(motherID, false, true, true);
  if (daughter) {
    LinkClass10(daughter, motherID);
    Commit();
  }
  return daughter;
}

int32_t TMiniDB::GetClass10Link(int32_t id) { return GetFirstLink(id, lkMother); }

void TMiniDB::LinkClass10(int32_t daughterID, int32_t motherID) {
  AddLinkBoth(daughterID, motherID, lkMother, lkDaughters);
}

void TMiniDB::GetGroupOf(int32_t id, TItemList& list) {
  list.Clear();
  if (!HasRecord(id)) return;
  int32_t mother = GetClass10Link(id);
  if (!HasRecord(mother)) mother = id;
  list.Add(mother);
  for (int32_t d : LinkIDs(GetLinkText(mother, lkDaughters)))
    if (d > 0 && d != mother) list.Add(d);
}

// =======================================================================================
// Time travel: the month copy, logging saved changes, replaying a month's change log

bool TMiniDB::WriteMonthCopy(const std::string& name) {
  size_t slash = name.rfind('/');
  if (slash != std::string::npos && slash > 0) PfMakeFolders(name.substr(0, slash + 1));
  if (GetFileStamp(FileName).exists) return CopyFileReplacing(FileName, name);
  // No file yet: before this save the store was empty.
  return SaveTextFileSafe(NewStoreLines(), name, false);
}

std::vector<int32_t> TMiniDB::UnloggedInOrder() const {
  // A record stored several times before one save is logged once, at its last place,
  // with the line that is now in the file.
  std::vector<int32_t> order;
  std::unordered_set<int32_t> seen;
  for (auto it = unlogged_.rbegin(); it != unlogged_.rend(); ++it)
    if (seen.insert(*it).second) order.push_back(*it);
  std::reverse(order.begin(), order.end());
  return order;
}

void TMiniDB::LogSavedChanges(double utc) {
  if (unlogged_.empty()) return;
  const std::vector<int32_t> order = UnloggedInOrder();
  unlogged_.clear();
  if (!TimebackLog) return;
  for (int32_t id : order)
    if (HasRecord(id)) TimebackLog->ChangeSaved(id, Lines[IndexLine[id]], utc);
}

void TMiniDB::SettleChangeLog() {
  if (!TimebackLog) return;
  const std::string header = GetHeaderValue(kChangeLogPendingHeader);
  if (header.empty() || header == SettledChangeLogHeader) return;
  // The lines as the file holds them: this station's own unsaved changes on top would
  // not be what that save wrote (the hook then writes nothing).
  const auto lineOf = [this](int32_t id) -> const std::string* {
    return HasRecord(id) ? &Lines[IndexLine[id]] : nullptr;
  };
  if (TimebackLog->SettlePrepared(header, lineOf)) SettledChangeLogHeader = header;
}

bool TMiniDB::MonthlyCopy() {
  if (!TimebackLog || !Opened || LoadErrorReadOnly) return false;
  int ticket;
  if (!Reserve(ticket)) return false;
  Load();
  const double utc = TimebackLog->ChangeTime();
  std::string copy = TimebackLog->CopyNeeded(utc);
  bool ok = true;
  if (!copy.empty()) {
    ok = WriteMonthCopy(copy);
    if (ok) TimebackLog->CopyWritten(utc);
  }
  SettleChangeLog();
  Release(ticket);
  return ok;
}

void TMiniDB::AddChangeEntry(TChangeList& changes, int32_t id, int32_t userID,
                             const std::string& text, double time) {
  TQStringList before;
  if (HasRecord(id)) GetRecordLines(id, before);
  TQStringList after;
  after.SetCommaText(text);

  TChangeEntry entry;
  entry.id = id;
  entry.userID = userID;
  entry.time = time;
  entry.cls = static_cast<uint8_t>(StrToByteZero(after.ValueOfChar('c')));
  // "ks" is stored rotated like every field but the plain ones.
  entry.keySystem = StrToIntZero(UnscrambleStr(after.ValueOf("ks")));

  auto skipped = [](std::string_view key) { return SameKey(key, "i") || SameKey(key, "c"); };
  auto find = [](const std::vector<std::pair<std::string, std::string>>& items,
                 std::string_view key) -> int {
    for (size_t i = 0; i < items.size(); ++i)
      if (SameKey(items[i].first, key)) return static_cast<int>(i);
    return -1;
  };
  auto split = [](const std::string& item) {
    std::string_view key = KeyOf(item);
    std::string value = key.size() < item.size() ? item.substr(key.size() + 1) : std::string();
    return std::make_pair(std::string(key), value);
  };

  std::vector<std::pair<std::string, std::string>> newItems, oldItems, out;
  for (int i = 0; i < after.Count(); ++i) {
    auto kv = split(after.Get(i));
    if (!skipped(kv.first) && find(newItems, kv.first) < 0) newItems.push_back(kv);
  }
  for (int i = 0; i < before.Count(); ++i) {
    auto kv = split(before.Get(i));
    if (!skipped(kv.first) && find(oldItems, kv.first) < 0) oldItems.push_back(kv);
  }
  out = newItems;
  for (const auto& [key, oldValue] : oldItems) {
    int n = find(newItems, key);
    const std::string newValue = n >= 0 ? newItems[n].second : std::string();
    int at = find(out, key);
    if (newValue == oldValue) {
      if (at >= 0) out.erase(out.begin() + at);
      continue;
    }
    if (newValue.empty()) {
      if (at >= 0) {
        out[at].second = "(entfernt)";
      } else {
        out.emplace_back(key, "(entfernt)");
        at = static_cast<int>(out.size()) - 1;
      }
    }
    if (!oldValue.empty()) out.insert(out.begin() + at + 1, {key + "_old", oldValue});
  }
  std::vector<std::string> items;
  items.reserve(out.size());
  for (const auto& [key, value] : out) items.push_back(key + "=" + value);
  entry.text = BuildCommaText(items);
  changes.push_back(std::move(entry));
}

bool TMiniDB::ReplayChanges(bool apply, int32_t* userID, TChangeList* changes,
                            double timeLimit) {
  if (FileName.empty()) return false;
  std::string logName = FileName;
  size_t slash = logName.rfind('/');
  size_t dot = logName.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    logName.resize(dot);
  logName += ".tbl";

  int fd = -1;
  if (PfOpenRead(logName, fd) != 0) return false;
  // The lines replayed are a past state: writing them would put it over the month's copy.
  if (apply) NoSave = true;

  int32_t remaining = std::numeric_limits<int32_t>::max();
  bool firstLine = true;
  bool stop = false;
  auto replayLine = [&](const std::string& line) {
    if (firstLine) {  // the log's 0x01 start line
      firstLine = false;
      return;
    }
    size_t tab = line.find('\t');
    std::string head = line.substr(0, tab);
    std::string text = tab == std::string::npos ? std::string() : line.substr(tab + 1);
    std::string timeText = FetchSemicolonField(head);
    const double time = Hex32ToDouble(timeText);
    if (time == 0 || !std::isfinite(time)) return;  // unreadable: not counted
    const int32_t id = StrToIntZero(FetchSemicolonField(head));
    const int32_t user = StrToIntZero(FetchSemicolonField(head));
    if (time <= timeLimit) {
      // The same bounds as for the IDs of a store file: a damaged line must not make the
      // store allocate slots for an absurd ID.
      const int64_t lineLimit = static_cast<int64_t>(Lines.size()) + kMaxIDBeyondLines;
      if (id >= 1 && id <= kMaxRecordID && id <= lineLimit) {
        if (changes) AddChangeEntry(*changes, id, user, text, time);
        if (apply) PutRecordText(id, text);
        if (userID) *userID = user;
      }
    } else if (remaining > 100) {
      remaining = 100;
    }
    if (--remaining <= 0) stop = true;
  };

  std::vector<std::string> batch;
  TTextLineSplitter splitter(batch);
  std::vector<char> buffer(64512);
  bool ok = true;
  while (!stop) {
    size_t got = 0;
    if (PfRead(fd, buffer.data(), buffer.size(), got) != 0) {
      ok = false;
      break;
    }
    if (got == 0) break;
    splitter.Feed(buffer.data(), got);
    for (const std::string& line : batch) {
      replayLine(line);
      if (stop) break;
    }
    batch.clear();
  }
  // A last line without its line end is a write that did not complete: not replayed.
  PfClose(fd);
  if (apply && CurrentModified) StoreCurrent();
  return ok;
}
