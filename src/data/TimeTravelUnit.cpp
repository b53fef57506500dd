#include "data/TimeTravelUnit.h"

#include <cstdio>

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
