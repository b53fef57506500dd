#include "data/TimeTravelUnit.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "basic/BasicsUnit.h"
#include "basic/DateClock.h"
#include "basic/Hex32Unit.h"
#include "basic/IndirectRunUnit.h"
#include "basic/TempFilesUnit.h"
#include "basic/ValueString.h"
#include "platform/PlatformFiles.h"
#include "platform/PrivateFile.h"

namespace {

// A login record is a few hundred bytes; anything near this is no hand-over file of ours.
constexpr std::size_t kMaxHandOverSize = 1 << 20;

// FNV-1a, 64 bits: tells whether the bytes at a log's offset are those a save meant to
// append.
std::uint64_t Checksum(const std::string& bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

std::string HexOf(std::uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(v));
  return text;
}

// The lines of one save, each ended by CR LF (a line break inside would split it).
std::string EntryLines(double utc, int32_t user,
                       const std::vector<std::pair<int32_t, const std::string*>>& records) {
  std::string text;
  for (const auto& [id, line] : records) {
    std::string one = TimebackLine(utc, id, user, *line);
    for (char& ch : one)
      if (ch == '\r' || ch == '\n') ch = ' ';
    text += one;
    text += "\r\n";
  }
  return text;
}

// The header's fields, "|"-separated: period, offset, length, checksum, time, user, IDs
// (";"-separated).
struct TEntryHeader {
  std::string period;
  std::int64_t offset = -1;
  std::int64_t length = 0;
  std::string checksum;
  double utc = 0;
  int32_t user = 0;
  std::vector<int32_t> ids;
};

bool ParseEntryHeader(const std::string& text, TEntryHeader& h) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (parts.size() < 6) {
    const std::size_t bar = text.find('|', start);
    if (bar == std::string::npos) return false;
    parts.push_back(text.substr(start, bar - start));
    start = bar + 1;
  }
  const std::string idText = text.substr(start);
  h.period = parts[0];
  char* end = nullptr;
  h.offset = std::strtoll(parts[1].c_str(), &end, 10);
  if (parts[1].empty() || *end != 0 || h.offset < 0) return false;
  h.length = std::strtoll(parts[2].c_str(), &end, 10);
  if (parts[2].empty() || *end != 0 || h.length <= 0 || h.length > (1ll << 34)) return false;
  h.checksum = parts[3];
  h.utc = Hex32ToDouble(parts[4]);
  h.user = StrToIntZero(parts[5]);
  if (h.period.size() != 7 || h.utc == 0) return false;
  start = 0;
  while (start < idText.size()) {
    std::size_t semi = idText.find(';', start);
    if (semi == std::string::npos) semi = idText.size();
    const int32_t id = StrToIntZero(idText.substr(start, semi - start));
    if (id <= 0) return false;
    h.ids.push_back(id);
    start = semi + 1;
  }
  return !h.ids.empty();
}

}  // namespace

std::string TimebackPeriod(double utc) {
  TDateTimeParts parts = DecodeDateTime(utc);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d", parts.year, parts.month);
  return text;
}

std::string TimeTravelFolder(const TMandantInfoRec* rec) {
  std::string path;
  MandantDataPath(rec, "TimeTravel", path);
  return path;
}

std::string TimebackLine(double utc, int32_t id, int32_t userID, const std::string& text) {
  return DoubleToHex32(utc) + ";" + std::to_string(id) + ";" + std::to_string(userID) + "\t" +
         text;
}

TTimebackLog::TTimebackLog(TAccessProtectionRegistry* registry) : TLogFile(registry) {}

void TTimebackLog::Setup(const std::string& folder) {
  Init(folder, "", true, kTimebackExt);
  CopiedPeriod.clear();
  prepared_ = TPrepared{};
  unwritten_ = TPrepared{};
}

std::string TTimebackLog::MonthFile(double utc) const {
  std::string name = GetFileName(TimebackPeriod(utc));
  if (name.empty()) return name;
  name.resize(name.size() - Ext().size());
  return name + ".ada";
}

bool TTimebackLog::LogChange(int32_t id, const std::string& text, double utc) {
  const int32_t user = CurrentUserID ? CurrentUserID() : 0;
  return Add(TimebackPeriod(utc), TimebackLine(utc, id, user, text));
}

double TTimebackLog::ChangeTime() { return NowUTC(); }

std::string TTimebackLog::CopyNeeded(double utc) {
  if (Folder().empty() || Disabled()) return {};
  std::string period = TimebackPeriod(utc);
  if (period == CopiedPeriod) return {};
  std::string name = MonthFile(utc);
  if (GetFileStamp(name).exists) {
    CopiedPeriod = period;
    return {};
  }
  return name;
}

void TTimebackLog::CopyWritten(double utc) { CopiedPeriod = TimebackPeriod(utc); }

void TTimebackLog::ChangeSaved(int32_t id, const std::string& line, double utc) {
  LogChange(id, line, utc);
}

std::string TTimebackLog::PrepareSaved(
    const std::vector<std::pair<int32_t, const std::string*>>& records, double utc) {
  prepared_ = TPrepared{};
  if (records.empty() || Folder().empty() || Disabled() || LoadFailed()) return {};
  // Lines of an earlier failed write go first; while they cannot, record by record behind
  // them.
  if (HasPending() && !Flush(false)) return {};
  const std::string period = TimebackPeriod(utc);
  const std::string fileName = GetFileName(period);
  std::int64_t offset = 0;
  std::string lead;
  if (fileName.empty() || !LogFileEnd(fileName, offset, lead)) return {};
  const int32_t user = CurrentUserID ? CurrentUserID() : 0;
  prepared_.fileName = fileName;
  prepared_.offset = offset;
  prepared_.bytes = lead + EntryLines(utc, user, records);
  std::string header = period + "|" + std::to_string(offset) + "|" +
                       std::to_string(prepared_.bytes.size()) + "|" +
                       HexOf(Checksum(prepared_.bytes)) + "|" + DoubleToHex32(utc) + "|" +
                       std::to_string(user) + "|";
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (i > 0) header += ';';
    header += std::to_string(records[i].first);
  }
  prepared_.header = header;
  return header;
}

bool TTimebackLog::WritePrepared() {
  if (prepared_.fileName.empty()) return true;
  TPrepared entry = std::move(prepared_);
  prepared_ = TPrepared{};
  if (CompleteLogFileAt(entry.fileName, entry.offset, entry.bytes, Reservation())) return true;
  // The store names the entry: the next save of any station, or the next open, writes it.
  ReportWriteFailure(entry.fileName, false);
  unwritten_ = std::move(entry);
  return false;
}

bool TTimebackLog::SettlePrepared(const std::string& header,
                                  const std::function<const std::string*(int32_t)>& lineOf) {
  if (!unwritten_.header.empty() && unwritten_.header == header) {
    if (!CompleteLogFileAt(unwritten_.fileName, unwritten_.offset, unwritten_.bytes, Reservation()))
      return false;
    unwritten_ = TPrepared{};
    return true;
  }
  TEntryHeader h;
  if (Folder().empty() || !ParseEntryHeader(header, h)) return true;
  const std::string fileName = GetFileName(h.period);
  std::string there;
  if (!ReadLogFileAt(fileName, h.offset, static_cast<std::size_t>(h.length), there)) return false;
  // The usual case: the entry is complete.
  if (static_cast<std::int64_t>(there.size()) == h.length && HexOf(Checksum(there)) == h.checksum)
    return true;
  // Rebuilt from the store's lines, which the killed save wrote: only when they still are
  // what it wrote (same checksum) may the entry be completed.
  std::vector<std::pair<int32_t, const std::string*>> records;
  for (int32_t id : h.ids) {
    const std::string* line = lineOf(id);
    if (!line) return true;
    records.emplace_back(id, line);
  }
  std::string lead = kLogFileStart;
  if (h.offset > 0) {
    std::string last;
    if (!ReadLogFileAt(fileName, h.offset - 1, 1, last)) return false;
    if (last.size() != 1) return true;  // the file ends before the entry's place
    lead = last[0] == '\n' ? "" : last[0] == '\r' ? "\n" : "\r\n";
  }
  const std::string bytes = lead + EntryLines(h.utc, h.user, records);
  if (static_cast<std::int64_t>(bytes.size()) != h.length || HexOf(Checksum(bytes)) != h.checksum)
    return true;
  // Other bytes at the entry's place are not this entry's to mend.
  if (!there.empty() && bytes.compare(0, there.size(), there) != 0) return true;
  return CompleteLogFileAt(fileName, h.offset, bytes, Reservation());
}

int GetTimebackFile(const TMiniDB& db, std::string& name, double date) {
  name.clear();
  const auto* log = dynamic_cast<const TTimebackLog*>(db.TimebackLog);
  if (!log || log->Folder().empty()) return tbNoLog;
  std::string copy = log->MonthFile(date);
  if (!GetFileStamp(copy).exists) return tbNoCopy;
  name = std::move(copy);
  return tbOk;
}

std::string AutoLoginValue(int32_t userID, const std::string& recordText) {
  return std::to_string(userID) + ";;" + EncodeNumberedStr(userID, recordText, false);
}

std::vector<std::string> TimeTravelArgs(double date, const std::string& copyName,
                                        const std::string& dataPath,
                                        const std::string& itemsText,
                                        const std::string& loginFile) {
  std::vector<std::string> args{"window=small", "timetravel=" + DoubleToHex32(date),
                                "datafile=" + copyName, "datapath=" + dataPath};
  if (!itemsText.empty()) args.push_back("currentItems=" + itemsText);
  if (!loginFile.empty()) args.push_back(std::string(kLoginHandOverSwitch) + "=" + loginFile);
  return args;
}

bool WriteLoginHandOver(const std::string& folder, const std::string& value,
                        std::string& fileName) {
  return PfWritePrivateFile(folder.empty() ? PfTempFolder() : folder, "~login-", ".tmp", value,
                            fileName) == 0;
}

bool TakeLoginHandOver(const std::string& fileName, std::string& value) {
  value.clear();
  if (fileName.empty()) return false;
  std::string data;
  int e = PfTakePrivateFile(fileName, kMaxHandOverSize, data);
  // Read but not removed: the login is still good; the file stays private.
  if (e != 0 && data.empty()) return false;
  value = std::move(data);
  return true;
}

int StartTimeTravel(TMiniDB& db, const std::string& itemsText, double date,
                    const TTimeTravelStart& how) {
  std::string copy;
  int result = GetTimebackFile(db, copy, date);
  if (result != tbOk) return result;

  std::string loginFile;
  if (how.userID > 0 && db.HasRecord(how.userID)) {
    std::string value = AutoLoginValue(how.userID, db.GetRecordText(how.userID));
    if (!WriteLoginHandOver(how.handOverFolder, value, loginFile)) return tbNotStarted;
  }
  std::string dataPath = how.dataPath;
  if (dataPath.empty()) dataPath = MandantState().DataPath;
  if (dataPath.empty()) dataPath = db.DataPath;
  std::vector<std::string> args = TimeTravelArgs(date, copy, dataPath, itemsText, loginFile);
  bool started = how.start ? how.start(args) : StartSecondInstance(args);
  if (!started) {
    if (!loginFile.empty()) PfUnlink(loginFile);
    return tbNotStarted;
  }
  // The new instance removes it once read; should it never get that far, the file goes
  // when this program ends.
  if (!loginFile.empty()) AddTempFile(loginFile);
  return tbOk;
}
