#pragma once
// Backups: dated copies of the record store file, together with the history's year files,
// in a backup folder. Made on request from the menu, or automatically at logout and at
// closing when the chosen interval has passed and the data was saved during this run.
//
// This unit holds no window: the settings, the decision whether an automatic backup is
// due and the backup itself are plain functions over explicit state (the settings object,
// the store, the folder, the clock), so they run in tests as they run in the program. The
// question before an automatic backup and the settings frame live in BackupRequesterUnit
// and BackupFrameUnit; the main window calls BackupNow1Click and AutoBackupCheck.
//
// A backup never replaces an existing file: a second backup on the same day gets the time
// in its name, a third within the same minute the seconds as well, and so on. Each copy is
// written under a temporary name in the backup folder and takes its name only when it is
// complete, so a failed copy leaves no partial backup behind.

#include <functional>
#include <string>

#include "basic/DateClock.h"
#include "data/ClientSessionUnit.h"

class IClock;
class TMiniDB;

// ---------------------------------------------------------------------------------------
// Message tables (entry 0 each table's name).

// Texts of the main window about backups: 7 folder not made, 8 backup incomplete,
// 9 backup made.
std::string BackupMainText(int number);
// The settings frame: 1 "keine Angabe", 2 the four interval choices joined by ";".
std::string BackupFrameText(int number);
// The question before an automatic backup: 1 "Einstellungen", 2 no backup yet,
// 3 last backup of %1, 4 automatic backup switched off.
std::string BackupQuestionText(int number);
std::string BackupQuestionTextFmt(int number, const std::string& argument);

// ---------------------------------------------------------------------------------------
// Settings (data-folder settings file).

// The interval choices (biManual .. biMonthly, in the order the settings frame lists them)
// and the settings themselves (TBackupSettings) are the client session's
// (data/ClientSessionUnit.h).

// The open client's settings (the client session's), read when its data is opened.
TBackupSettings& BackupSettings();

// The interval choice of a stored "BackupInterval" (days): "0" manual, "7" weekly,
// "30" monthly, anything else daily.
int BackupIntervalFromDays(const std::string& days);

// A stored "yyyy-mm-dd" as a packed date; 0 for anything else.
TPackedDate BackupDateFromText(const std::string& text);

// Reads "BackupPath", "BackupInterval", "BackupRequester" and "BackupLastDate" from the
// data-folder settings (a command-line switch wins, as for every setting). Every value
// starts from its default first, so nothing of the client opened before remains: without
// a "BackupPath" the folder is `programFolder` + "Backup/" (the data folder's "Backup/" when
// the program runs from a build folder).
void ReadBackupSettings(TBackupSettings& settings, const std::string& programFolder);
// True when the program runs from a CMake build folder (its folder or one of the two
// above holds "CMakeCache.txt"); the default backup folder then lies beside the data.
bool InsideBuildFolder(const std::string& programFolder);

// Each of these writes one value to the data-folder settings (the program-level key of that
// name is removed, so the data folder's value is in force). True when written.
bool WriteBackupInterval(const TBackupSettings& settings);   // as days: "0", "1", "7", "30"
bool WriteBackupRequester(const TBackupSettings& settings);  // "1" or "0"
bool WriteBackupLastDate(const TBackupSettings& settings);   // "yyyy-mm-dd"

// What the question before an automatic backup does with the answer (mrYes, mrNo or
// anything else for a dialog closed otherwise) and the tick of "do not ask again": with
// Yes or No, asking on and the tick set, asking is switched off and written; with No the
// automatic backup is switched off as well, written, and the user told so.
void ApplyBackupQuestionAnswer(TBackupSettings& settings, int answer, bool notAgain);

// ---------------------------------------------------------------------------------------
// When an automatic backup is due.

// `intervalDays` 0: never. A backup without a recorded date is due. Below 30 days the last
// date is advanced day by day by the interval and the backup is due unless that lies after
// today (daily: from the next calendar day on; weekly: 7 days after the last); from 30 days
// on it is due once today's year and month differ from those of the last date.
bool IsBackupDue(int intervalDays, TPackedDate lastDate, TPackedDate today);

// ---------------------------------------------------------------------------------------
// Making backups.

// What a backup needs from the running program. The main window fills it from its state
// (the open store, MandantState(), the backup settings) and its helpers.
struct TBackupEnvironment {
  TMiniDB* DB = nullptr;                  // the open client's store
  TBackupSettings* Settings = nullptr;    // null: BackupSettings()
  std::string DataPath;                   // the data folder in use, with a trailing "/"
  bool SandboxMode = false;
  bool TimeTravelMode = false;
  bool ReadOnlyMode = false;
  const IClock* ClockSource = nullptr;    // null: the installed clock, Clock()
  // Shown when the write reservation cannot be had; null: the core text 27 as an error.
  std::function<void()> LockFailed;
  // The hourglass on (true) and off (false) while a backup runs; null: none.
  std::function<void(bool)> Busy;
  // The question before an automatic backup (AskBeforeBackup): mrYes to go on. Null: the
  // user cannot be asked, so no backup is made while "BackupRequester" is on.
  std::function<int()> Ask;
};

// The name of the backup of the store titled `title` in `folder` (with a trailing "/") at
// the local date-time `localNow`: title + " yyyy-mm-dd.ada", or, when that file exists,
// with " hh.nn", then " hh.nn.ss", then " hh.nn.ss (2)", " (3)" ... after the date: the
// first name no file has.
std::string BackupFileName(const std::string& folder, const std::string& title, double localNow);

// The folder a backup goes to: `folder` with a trailing "/"; the data folder's "Backup/"
// when `folder` is empty or names the data folder itself (compared ignoring case).
std::string EffectiveBackupFolder(const std::string& folder, const std::string& dataPath);

// Makes one backup into `folder`: under the write reservation, after the store's unsaved
// changes were saved and another station's save was read, the store file is copied to its
// dated name and every history year file into the folder. With `recordDate`, a success on a
// new day sets and writes "BackupLastDate". Each failure is told once (after the
// reservation is released) and leaves "BackupLastDate" as it was. Nothing in sandbox or
// time-travel mode or for a store that never saves. True when the store and the history
// were copied; `fileName` (when given) receives the store copy's name.
bool BackupDatabase(const TBackupEnvironment& env, const std::string& folder, bool recordDate,
                    std::string* fileName = nullptr);

// The menu command "Datensicherung durchführen": a backup into "BackupPath" with date
// recording; the folder is named on success. Not available in sandbox mode.
bool BackupNow1Click(const TBackupEnvironment& env);

// At logout and at closing: the store is saved when modified; then, when it was saved at
// least once since the data was opened and the interval says a backup is due, the user is
// asked (when "BackupRequester" is on) and the backup made. Nothing in sandbox,
// time-travel or read-only mode, for a store that never saves, or with the manual
// interval. True when a backup was made.
bool AutoBackupCheck(const TBackupEnvironment& env);

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* BackupMainTexts();

// The unit's message table (its German texts by number), made on first use.
const TMLStringList* BackupFrameTexts();

// The unit's message table (its German texts by number), made on first use.
const TMLStringList* BackupQuestionTexts();
