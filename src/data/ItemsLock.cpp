#include "data/ItemsLock.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "platform/StationIdentity.h"

namespace {

// The items of a comma list, trimmed, without empty ones.
std::vector<std::string> SplitItems(const std::string& value) {
  std::vector<std::string> items;
  size_t start = 0;
  for (;;) {
    const size_t comma = value.find(',', start);
    std::string item = Trim(value.substr(start, comma == std::string::npos ? std::string::npos
                                                                               : comma - start));
    if (!item.empty()) items.push_back(std::move(item));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

std::string JoinItems(const std::vector<std::string>& items) {
  std::string joined;
  for (const auto& item : items) {
    if (!joined.empty()) joined += ',';
    joined += item;
  }
  return joined;
}

bool Contains(const std::vector<std::string>& items, const std::string& item) {
  for (const auto& i : items) {
    if (AnsiSameText(i, item)) return true;
  }
  return false;
}

// A value holds records unless it is empty or only says "attend".
bool HoldsAnything(const std::vector<std::string>& items) {
  for (const auto& i : items) {
    if (!AnsiSameText(i, "attend")) return true;
  }
  return false;
}

struct TEntry {
  bool isEntry = false;  // the line has a "="
  std::string station;   // trimmed text before the first "="
  std::vector<std::string> items;
};

TEntry ParseLine(const std::string& line) {
  TEntry e;
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return e;
  e.isEntry = true;
  e.station = Trim(line.substr(0, eq));
  e.items = SplitItems(line.substr(eq + 1));
  return e;
}

bool IsOwnLine(const std::string& line, const std::string& stationKey) {
  const TEntry e = ParseLine(line);
  return e.isEntry && AnsiSameText(e.station, stationKey);
}

// This station's items as the file holds them (all its lines, should there be several).
std::vector<std::string> OwnItems(const std::vector<std::string>& lines,
                                  const std::string& stationKey) {
  std::vector<std::string> items;
  for (const auto& line : lines) {
    const TEntry e = ParseLine(line);
    if (!e.isEntry || !AnsiSameText(e.station, stationKey)) continue;
    for (const auto& item : e.items) {
      if (!Contains(items, item)) items.push_back(item);
    }
  }
  return items;
}

// The file's lines with this station's entry set to `items` (no line when empty). Other
// stations' lines stay as they are; empty lines are dropped.
std::vector<std::string> LinesWithOwnEntry(const std::vector<std::string>& lines,
                                           const std::string& stationKey,
                                           const std::vector<std::string>& items) {
  std::vector<std::string> result;
  bool written = false;
  for (const auto& line : lines) {
    if (IsOwnLine(line, stationKey)) {
      if (!written && !items.empty()) result.push_back(stationKey + "=" + JoinItems(items));
      written = true;
      continue;
    }
    if (!Trim(line).empty()) result.push_back(line);
  }
  if (!written && !items.empty()) result.push_back(stationKey + "=" + JoinItems(items));
  return result;
}

// An ID text that would break the file's lines or lists.
bool IsUnsafeId(const std::string& id) {
  for (char c : id) {
    if (c == ',' || c == '=' || c == '\r' || c == '\n' || c == '\0') return true;
  }
  return false;
}

std::string StripKeyChars(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c != '=' && c != ',' && c != '\r' && c != '\n') out += c;
  }
  return out;
}

}  // namespace

// ---- Liveness ----

std::string LivenessFileName(const std::string& lockFileName) {
  const size_t n = lockFileName.size();
  if (n >= 4 && AnsiSameText(lockFileName.substr(n - 4), ".wpi"))
    return lockFileName.substr(0, n - 4) + ".wpl";
  return lockFileName + ".wpl";
}

std::int64_t LivenessOffset(const std::string& stationKey) {
  // FNV-1a over the upper-cased key. Two keys meeting at one offset only make a dead
  // entry look alive, which is what every entry looked like before.
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : AnsiUpperCase(Trim(stationKey))) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return 1 + static_cast<std::int64_t>(hash % (std::uint64_t{1} << 30));
}

bool TStationLiveness::Hold(const std::string& lockFileName, const std::string& stationKey) {
  return file_.Open(LivenessFileName(lockFileName)) &&
         file_.TryHold(LivenessOffset(stationKey), 1, false);
}

// ---- TItemsLock ----

TItemsLock::TItemsLock(const std::string& lockFileName, TAccessProtection* accessProtection,
                       const std::string& stationKey)
    : stationKey_(StripKeyChars(Trim(stationKey.empty() ? StationName() : stationKey))),
      fileName_(lockFileName),
      accessProtection_(accessProtection) {
  if (accessProtection_) accessProtection_->AddRef();
  // Whether another copy runs under this key is asked before this one marks itself.
  bool otherCopyRuns = true;
  if (live_.Open(LivenessFileName(fileName_))) {
    const std::int64_t offset = LivenessOffset(stationKey_);
    otherCopyRuns = live_.HeldByOther(offset, 1, true);
    if (!live_.TryHold(offset, 1, false)) live_.Close();
  }
  std::vector<std::string> lines;
  if (ReadLines(lines) == TReadResult::Ok) ownEntry_ = JoinItems(OwnItems(lines, stationKey_));
  // An entry of our key that no running copy holds was left by a run that ended without
  // clearing it: it is ours to remove (the store does so at its open).
  inUseAtOpen_ = !ownEntry_.empty() && otherCopyRuns;
}

bool TItemsLock::StationAlive(const std::string& stationKey) const {
  if (!live_.IsOpen()) return true;
  return live_.HeldByOther(LivenessOffset(stationKey), 1, true);
}

bool TItemsLock::DropDeadEntries(std::vector<std::string>& lines) const {
  if (!live_.IsOpen()) return false;
  bool dropped = false;
  std::vector<std::string> kept;
  kept.reserve(lines.size());
  for (auto& line : lines) {
    const TEntry e = ParseLine(line);
    if (e.isEntry && !e.station.empty() && !AnsiSameText(e.station, stationKey_) &&
        !StationAlive(e.station)) {
      dropped = true;
      continue;
    }
    kept.push_back(std::move(line));
  }
  lines = std::move(kept);
  return dropped;
}

TItemsLock::~TItemsLock() {
  if (!keepEntry_) UnlockMine();
  ReleaseAccessProtection(accessProtection_);
}

void TItemsLock::Wait(int milliseconds) {
  if (accessProtection_) accessProtection_->Registry().Wait(milliseconds);
  else AccessProtections().Wait(milliseconds);
}

TItemsLock::TReadResult TItemsLock::ReadLines(std::vector<std::string>& lines) {
  lines.clear();
  // Another machine's replacement can make an open copy stale on a network share; a
  // fresh read a moment later sees the new file.
  for (int attempt = 1; attempt <= kReadAttempts; ++attempt) {
    if (attempt > 1) Wait(kWaitMs);
    switch (LoadTextFile(fileName_, lines)) {
      case ltfRead:
        return TReadResult::Ok;
      case ltfMissing:
        lines.clear();
        return TReadResult::Ok;
      default:
        lines.clear();
        break;
    }
  }
  return TReadResult::Error;
}

bool TItemsLock::SetDBAccess(int action, std::vector<std::string>& ids,
                             std::string& blockingStation) {
  blockingStation.clear();
  auto refuse = [&](const char* station) {
    if (action == dbaLock) ids.clear();
    blockingStation = station;
    return false;
  };
  if (action != dbaLock && action != dbaUnlock) {
    ids.clear();
    blockingStation = kInvalidLockAction;
    return false;
  }
  if (keepEntry_) {
    // Every ID of this entry is the other copy's: locking would mix ours into it,
    // unlocking would take its locks away.
    ids.clear();
    blockingStation = stationKey_;
    return false;
  }
  for (const auto& id : ids) {
    if (IsUnsafeId(id)) return refuse(kInvalidLockId);
  }

  // Decide from what this station already holds whether the file must be touched at all.
  const std::vector<std::string> own = SplitItems(ownEntry_);
  if (action == dbaLock) {
    if (allLevel_ > 0) return true;
    std::vector<std::string> wanted;
    for (const auto& id : ids) {
      if (!Trim(id).empty() && !Contains(own, Trim(id))) wanted.push_back(id);
    }
    ids = std::move(wanted);
    if (ids.empty()) return true;
  } else {
    bool anyHeld = false;
    for (const auto& id : ids) anyHeld = anyHeld || Contains(own, Trim(id));
    if (!anyHeld) {
      ids.clear();
      return true;
    }
  }

  if (!accessProtection_) return refuse(kLockFileUnusable);
  TReservation reservation(*accessProtection_);
  if (!reservation.Held()) return refuse(kLockFileUnusable);

  std::vector<std::string> lines;
  if (ReadLines(lines) != TReadResult::Ok) return refuse(kLockFileUnusable);
  const bool droppedDead = DropDeadEntries(lines);

  std::vector<std::string> requested;
  for (const auto& id : ids) requested.push_back(Trim(id));
  const std::vector<std::string> before = OwnItems(lines, stationKey_);
  std::vector<std::string> after = before;

  if (action == dbaLock) {
    const bool wantsAll = Contains(requested, "all");
    for (const auto& line : lines) {
      const TEntry e = ParseLine(line);
      if (!e.isEntry || AnsiSameText(e.station, stationKey_)) continue;
      bool blocks = wantsAll && HoldsAnything(e.items);
      for (const auto& item : e.items) {
        if (blocks) break;
        blocks = AnsiSameText(item, "all") || Contains(requested, item);
      }
      if (blocks) return refuse(e.station.empty() ? kLockFileUnusable : e.station.c_str());
    }
    for (const auto& id : requested) {
      if (!Contains(after, id)) after.push_back(id);
    }
  } else {
    std::vector<std::string> kept;
    for (const auto& item : after) {
      if (!Contains(requested, item)) kept.push_back(item);
    }
    after = std::move(kept);
  }

  if ((after != before || droppedDead) &&
      !SaveTextFileSafe(LinesWithOwnEntry(lines, stationKey_, after), fileName_, false)) {
    return refuse(kLockFileUnusable);
  }
  ownEntry_ = JoinItems(after);
  return true;
}

bool TItemsLock::CheckFree(const std::vector<std::string>& ids, std::string& blockingStation) {
  blockingStation.clear();
  if (allLevel_ > 0 || ids.empty()) return true;
  std::vector<std::string> requested;
  for (const auto& id : ids) {
    if (IsUnsafeId(id)) {
      blockingStation = kInvalidLockId;
      return false;
    }
    if (!Trim(id).empty()) requested.push_back(Trim(id));
  }
  if (!accessProtection_) {
    blockingStation = kLockFileUnusable;
    return false;
  }
  TReservation reservation(*accessProtection_);
  std::vector<std::string> lines;
  if (!reservation.Held() || ReadLines(lines) != TReadResult::Ok) {
    blockingStation = kLockFileUnusable;
    return false;
  }
  // Entries of stations that are gone are cleared on the way: they would refuse this
  // check, and every later one, for records nobody edits.
  if (DropDeadEntries(lines)) SaveTextFileSafe(lines, fileName_, false);
  for (const auto& line : lines) {
    const TEntry e = ParseLine(line);
    if (!e.isEntry || AnsiSameText(e.station, stationKey_)) continue;
    for (const auto& item : e.items) {
      if (AnsiSameText(item, "all") || Contains(requested, item)) {
        blockingStation = e.station.empty() ? kLockFileUnusable : e.station;
        return false;
      }
    }
  }
  return true;
}

bool TItemsLock::SetDBAccess(int action, TQStringList& ids, std::string& blockingStation) {
  std::vector<std::string> list;
  for (int i = 0; i < ids.Count(); ++i) list.push_back(ids.Get(i));
  const bool ok = SetDBAccess(action, list, blockingStation);
  if (static_cast<int>(list.size()) != ids.Count()) {
    ids.Clear();
    for (const auto& id : list) ids.Add(id);
  }
  return ok;
}

bool TItemsLock::LockAll(std::string& blockingStation) {
  blockingStation.clear();
  if (allLevel_ > 0) {
    ++allLevel_;
    return true;
  }
  std::vector<std::string> all{"all"};
  if (!SetDBAccess(dbaLock, all, blockingStation)) return false;
  allLevel_ = 1;
  return true;
}

bool TItemsLock::UnlockAll() {
  if (allLevel_ > 1) {
    --allLevel_;
    return true;
  }
  allLevel_ = 0;
  std::vector<std::string> all{"all"};
  std::string blocking;
  if (!SetDBAccess(dbaUnlock, all, blocking)) {
    allLevel_ = 1;  // "all" is still written for this station
    return false;
  }
  return true;
}

std::string TItemsLock::OtherStationActive() {
  std::vector<std::string> lines;
  if (ReadLines(lines) != TReadResult::Ok) return kLockFileUnusable;
  for (const auto& line : lines) {
    const TEntry e = ParseLine(line);
    if (!e.isEntry || AnsiSameText(e.station, stationKey_)) continue;
    if (HoldsAnything(e.items) && (e.station.empty() || StationAlive(e.station)))
      return e.station.empty() ? kLockFileUnusable : e.station;
  }
  return std::string();
}

bool TItemsLock::OtherStationActive(std::string& station) {
  station = OtherStationActive();
  return !station.empty();
}

bool TItemsLock::UnlockMine() {
  if (keepEntry_) return false;
  std::vector<std::string> lines;
  auto hasOwnLine = [&] {
    for (const auto& line : lines) {
      if (IsOwnLine(line, stationKey_)) return true;
    }
    return false;
  };
  // Only this station writes its own line, so a look without the reservation tells
  // whether there is anything to remove.
  if (ReadLines(lines) == TReadResult::Ok && !hasOwnLine()) {
    ownEntry_.clear();
    allLevel_ = 0;
    return true;
  }
  if (!accessProtection_) return false;
  TReservation reservation(*accessProtection_);
  if (!reservation.Held()) return false;
  if (ReadLines(lines) != TReadResult::Ok) return false;
  if (hasOwnLine() && !SaveTextFileSafe(LinesWithOwnEntry(lines, stationKey_, {}), fileName_, false)) {
    return false;
  }
  ownEntry_.clear();
  allLevel_ = 0;
  return true;
}

// ---- The station key ----

namespace {

struct TStartTime {
  int day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

TStartTime CaptureLocalTime() {
  TStartTime t;
  struct timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm local {};
  time_t seconds = ts.tv_sec;
  if (localtime_r(&seconds, &local)) {
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  }
  return t;
}

const TStartTime& ProgramStart() {
  static const TStartTime start = CaptureLocalTime();
  return start;
}

// Taken when the program is loaded, not when the setting is first read.
[[maybe_unused]] const TStartTime& gCaptureAtLoad = ProgramStart();

std::string& StationNameStore() {
  static std::string name;
  return name;
}

}  // namespace

std::string MakeStationKey(const std::string& userName, const std::string& hostName) {
  const std::string user = StripKeyChars(userName);
  const std::string host = StripKeyChars(hostName);
  if (host.empty() || AnsiSameText(user, host)) return user;
  if (user.empty()) return host;
  return user + "@" + host;
}

std::string MakeRunNumber(int dayOfMonth, int hour, int minute, int second, int millisecond) {
  const long long steps =
      (static_cast<long long>(dayOfMonth) * 86400 + hour * 3600LL + minute * 60LL + second) *
          500 +
      millisecond / 2;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(steps));
  return buffer;
}

void InitStationName(bool withRunNumber) {
  std::string key = MakeStationKey(CurrentLoginName(), CurrentHostName());
  if (withRunNumber) {
    const TStartTime& t = ProgramStart();
    key += "@@" + MakeRunNumber(t.day, t.hour, t.minute, t.second, t.millisecond);
  }
  StationNameStore() = key;
}

const std::string& StationName() {
  if (StationNameStore().empty()) InitStationName(false);
  return StationNameStore();
}
