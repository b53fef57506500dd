#pragma once
// Time travel. Every saved record change is also appended to a change log per month, and
// before the month's first change a copy of the whole store is kept beside it. From a
// month's copy plus its log the data as of any moment of that month can be rebuilt: a
// second, read-only instance of the program shows it (StartTimeTravel), and the change
// log viewer lists the changes field by field (TMiniDB::ReplayChanges with a change list).
//
// Files, in the client's time-travel folder ("TimeTravel/" or "TimeTravel-<client>/"):
//   <yyyy>/<yyyy-mm>.tbl  the month's change log: the 0x01 start line, then per change
//                         DoubleToHex32(UTC date-time) ";" record ID ";" user ID (0 = none)
//                         TAB the record's whole comma text as stored (values rotated)
//   <yyyy>/<yyyy-mm>.ada  the store as it was before the month's first change
// A change is logged only once its save succeeded, under the same reservation as the save.
//
// The login of a time-travel instance never travels on its command line (every local user
// can read command lines): it goes through a hand-over file that only this user can read
// and that the new instance removes once read (WriteLoginHandOver / TakeLoginHandOver).
//
// Single-threaded.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/LogFilesUnit.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"

// The extension of the change logs; the month copies have the store's ".ada".
inline constexpr char kTimebackExt[] = ".tbl";

// "yyyy-mm" of a UTC date-time: the period of the change log and the copy.
std::string TimebackPeriod(double utc);
// The client's time-travel folder: "TimeTravel/" in its data folder, "TimeTravel-<name>/"
// for a named client; null = the default client.
std::string TimeTravelFolder(const TMandantInfoRec* rec);
// One line of the change log.
std::string TimebackLine(double utc, int32_t id, int32_t userID, const std::string& text);

// The change log of one client's store. Hook it into the store (TMiniDB::TimebackLog) and
// call TMiniDB::MonthlyCopy once right after, in normal operation only (not read-only,
// sandbox or time-travel).
class TTimebackLog : public TLogFile, public TRecordLogHook {
 public:
  // `registry`: whose global reservation guards the files (not owned); null = the
  // program's. The store it is hooked into must use the same one.
  explicit TTimebackLog(TAccessProtectionRegistry* registry = nullptr);

  // `folder`: the client's time-travel folder, with a trailing "/" (empty = off).
  void Setup(const std::string& folder);
  // The same with the folder of that client (TimeTravelFolder).
  void SetupFor(const TMandantInfoRec* rec) { Setup(TimeTravelFolder(rec)); }

  // The month whose copy is known to exist.
  std::string CopiedPeriod;
  // The logged-in user's ID for the log lines; empty or 0 = nobody logged in.
  std::function<int32_t()> CurrentUserID;

  // The name of the copy of the month of `utc`; empty when off.
  std::string MonthFile(double utc) const;
  // Appends the line of a saved change (written at once, under the reservation).
  bool LogChange(int32_t id, const std::string& text, double utc);

  // TRecordLogHook
  double ChangeTime() override;  // the installed clock's UTC time
  std::string CopyNeeded(double utc) override;
  void CopyWritten(double utc) override;
  void ChangeSaved(int32_t id, const std::string& line, double utc) override;
  // A save's lines go in one synced append; the store's header names it by period,
  // offset, length and checksum of its bytes, time, user and the records' IDs.
  std::string PrepareSaved(const std::vector<std::pair<int32_t, const std::string*>>& records,
                           double utc) override;
  bool WritePrepared() override;
  bool SettlePrepared(const std::string& header,
                      const std::function<const std::string*(int32_t)>& lineOf) override;

 private:
  struct TPrepared {
    std::string fileName;
    std::int64_t offset = 0;
    std::string bytes;
    std::string header;
  };
  TPrepared prepared_;
  // The entry of this station's last save when its write failed: written from here by the
  // next settle (the store's lines may carry newer changes by then).
  TPrepared unwritten_;
};

// GetTimebackFile / StartTimeTravel results.
constexpr int tbOk = 0;          // the copy exists (and the instance was started)
constexpr int tbNoLog = 1;       // the store has no time-back log
constexpr int tbNoCopy = 2;      // the month of the date has no copy
constexpr int tbNotStarted = 3;  // the second instance (or its login hand-over) failed

// tbOk and the name of the copy of the month of `date` (UTC); tbNoLog or tbNoCopy and an
// empty name.
int GetTimebackFile(const TMiniDB& db, std::string& name, double date);

// The switch that names the login hand-over file of a time-travel instance. The start-up
// of that instance takes the file (TakeLoginHandOver) and uses its content as the value of
// the switch "autoLogin".
inline constexpr char kLoginHandOverSwitch[] = "autoLoginFile";

// The "autoLogin" value of a user: ID + ";;" + the user's record text as a numbered
// string with the ID (not rotated).
std::string AutoLoginValue(int32_t userID, const std::string& recordText);

// The arguments of a time-travel instance, in this order: "window=small",
// "timetravel=" + DoubleToHex32(date), "datafile=" + copy, "datapath=" + data folder,
// "currentItems=" + items (when given), kLoginHandOverSwitch + "=" + file (when given).
// Nothing of the user's record is among them.
std::vector<std::string> TimeTravelArgs(double date, const std::string& copyName,
                                        const std::string& dataPath,
                                        const std::string& itemsText,
                                        const std::string& loginFile);

// Writes `value` into a new file in `folder` (empty = the system's temporary folder) that
// only this user can read (mode 0600); true and its name.
bool WriteLoginHandOver(const std::string& folder, const std::string& value,
                        std::string& fileName);
// Start-up of a time-travel instance: reads the hand-over file and removes it. False (and
// the file left alone) when it is not a private file of this user; false when it cannot
// be read.
bool TakeLoginHandOver(const std::string& fileName, std::string& value);

// How StartTimeTravel starts the instance; the defaults are the program's.
struct TTimeTravelStart {
  std::string dataPath;         // the data folder; empty = MandantState().DataPath, or
                                // the store's folder when that is empty too
  int32_t userID = 0;           // the logged-in user; 0 = nobody (no login handed over)
  std::string handOverFolder;   // empty = the system's temporary folder
  std::function<bool(const std::vector<std::string>&)> start;  // empty = StartSecondInstance
};

// Starts a second, read-only instance on the copy of the month of `date` (UTC), which
// replays the month up to `date` and logs the user in. `itemsText`: record IDs, each
// followed by ";", to show (may be empty). tbOk when started; tbNoLog / tbNoCopy when
// there is nothing to show (nothing started); tbNotStarted when starting failed (no
// hand-over file is left behind).
int StartTimeTravel(TMiniDB& db, const std::string& itemsText, double date,
                    const TTimeTravelStart& how = {});
