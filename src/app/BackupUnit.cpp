#include "app/BackupUnit.h"

#include <cstdio>

#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "data/AccessProtection.h"
#include "data/HistoryUnit.h"
#include "data/IniUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "data/UnitTR100.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

// ---------------------------------------------------------------------------------------
// Message tables

const TMLStringList* BackupMainTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("BackupUnit", 0);
    t->Add255Obj("Das Backup-Verzeichnis konnte nicht erstellt werden.", 7);
    t->Add255Obj("Der Backup-Vorgang wurde unvollst\xE4" "ndig abgebrochen.", 8);
    t->Add255Obj("Die Datensicherung wurde durchgef\xFC" "hrt.#13##13#Backup-Ordner:", 9);
    return t;
  }();
  return table;
}

const TMLStringList* BackupFrameTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("TBackupFrame", 0);
    t->Add255Obj("keine Angabe", 1);
    t->Add255Obj("manuell;t\xE4glich (nach Benutzung);w\xF6" "chentlich (nach Benutzung);"
                 "monatlich (nach Benutzung)",
                 2);
    return t;
  }();
  return table;
}

const TMLStringList* BackupQuestionTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("TBackupRequesterForm", 0);
    t->Add255Obj("Einstellungen", 1);
    t->Add255Obj("Es wurde noch keine Datensicherung erstellt.", 2);
    t->Add255Obj("Die letzte Datensicherung ist vom %1.", 3);
    t->Add255Obj("Das automatische Backup wurde abgeschaltet!", 4);
    return t;
  }();
  return table;
}

std::string BackupMainText(int number) { return GetMLText(BackupMainTexts(), number); }
std::string BackupFrameText(int number) { return GetMLText(BackupFrameTexts(), number); }
std::string BackupQuestionText(int number) { return GetMLText(BackupQuestionTexts(), number); }
std::string BackupQuestionTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(BackupQuestionTexts(), number, argument);
}

// ---------------------------------------------------------------------------------------
// Settings

TBackupSettings& BackupSettings() { return ClientSession().Backup; }

int BackupIntervalFromDays(const std::string& days) {
  if (days == "0") return biManual;
  if (days == "7") return biWeekly;
  if (days == "30") return biMonthly;
  return biDaily;
}

TPackedDate BackupDateFromText(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return 0;
  int parts[3] = {0, 0, 0};
  const int starts[3] = {0, 5, 8};
  const int lengths[3] = {4, 2, 2};
  for (int p = 0; p < 3; ++p) {
    for (int i = 0; i < lengths[p]; ++i) {
      const char ch = text[starts[p] + i];
      if (ch < '0' || ch > '9') return 0;
      parts[p] = parts[p] * 10 + (ch - '0');
    }
  }
  if (parts[0] < 1 || parts[1] < 1 || parts[1] > 12 || parts[2] < 1) return 0;
  const TPackedDate date = PackDate(parts[0], parts[1], parts[2]);
  if (parts[2] > DaysInMonth(date)) return 0;
  return date;
}

bool InsideBuildFolder(const std::string& programFolder) {
  std::string folder = programFolder;
  AddBackslash(folder);
  for (int up = 0; up < 3 && folder.size() > 1; ++up) {
    TPfInfo info;
    if (PfStat(folder + "CMakeCache.txt", info) == 0 && info.kind == TPfKind::File) return true;
    folder.pop_back();
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos) break;
    folder.resize(slash + 1);
  }
  return false;
}

void ReadBackupSettings(TBackupSettings& settings, const std::string& programFolder) {
  // A client opened after another must not inherit the other's folder, interval or date.
  settings = TBackupSettings{};
  std::string value;
  if (ReadSetting(kSettingsDataLevel, "BackupPath", value)) settings.Path = value;
  if (settings.Path.empty()) {
    settings.Path = programFolder;
    AddBackslash(settings.Path);
    // A build folder is deleted by a clean build, and the backups with it.
    if (InsideBuildFolder(settings.Path) && !MandantState().DataPath.empty())
      settings.Path = MandantState().DataPath;
    AddBackslash(settings.Path);
    settings.Path += "Backup/";
  }
  AddBackslash(settings.Path);
  if (ReadSetting(kSettingsDataLevel, "BackupInterval", value))
    settings.Interval = BackupIntervalFromDays(value);
  if (ReadSetting(kSettingsDataLevel, "BackupRequester", value))
    settings.Requester = value != "0";
  if (ReadSetting(kSettingsDataLevel, "BackupLastDate", value))
    settings.LastDate = BackupDateFromText(value);
}

bool WriteBackupInterval(const TBackupSettings& settings) {
  return WriteUserSetting("BackupInterval", std::to_string(BackupIntervalDays(settings.Interval)));
}

bool WriteBackupRequester(const TBackupSettings& settings) {
  return WriteUserSetting("BackupRequester", settings.Requester ? "1" : "0");
}

bool WriteBackupLastDate(const TBackupSettings& settings) {
  return WriteUserSetting("BackupLastDate", PackedDateToIsoStr(settings.LastDate));
}

void ApplyBackupQuestionAnswer(TBackupSettings& settings, int answer, bool notAgain) {
  if (answer != mrYes && answer != mrNo) return;
  if (!settings.Requester || !notAgain) return;
  settings.Requester = false;
  WriteBackupRequester(settings);
  if (answer == mrNo) {
    settings.Interval = biManual;
    WriteBackupInterval(settings);
    ShowInfo(BackupQuestionText(4));
  }
}

// ---------------------------------------------------------------------------------------
// When an automatic backup is due

bool IsBackupDue(int intervalDays, TPackedDate lastDate, TPackedDate today) {
  if (intervalDays <= 0) return false;
  if (lastDate <= 0) return true;
  if (intervalDays < 30) {
    TPackedDate next = lastDate;
    for (int i = 0; i < intervalDays; ++i) next = NextDay(next);
    return next <= today;
  }
  return PackedYear(today) != PackedYear(lastDate) || PackedMonth(today) != PackedMonth(lastDate);
}

// ---------------------------------------------------------------------------------------
// Making backups

namespace {

bool PathTaken(const std::string& path) {
  TPfInfo info;
  return PfLstat(path, info) == 0 && info.kind != TPfKind::Missing;
}

std::string TwoDigits(int value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

TBackupSettings& SettingsOf(const TBackupEnvironment& env) {
  return env.Settings != nullptr ? *env.Settings : BackupSettings();
}

const IClock& ClockOf(const TBackupEnvironment& env) {
  return env.ClockSource != nullptr ? *env.ClockSource : Clock();
}

// Turns the hourglass off however the backup ends.
class TBusyScope {
 public:
  explicit TBusyScope(const std::function<void(bool)>& busy) : busy_(busy) {
    if (busy_) busy_(true);
  }
  ~TBusyScope() { End(); }
  void End() {
    if (busy_ && on_) busy_(false);
    on_ = false;
  }

 private:
  const std::function<void(bool)>& busy_;
  bool on_ = true;
};

}  // namespace

std::string BackupFileName(const std::string& folder, const std::string& title, double localNow) {
  const TDateTimeParts t = DecodeDateTime(localNow);
  const std::string base =
      folder + title + " " + PackedDateToIsoStr(PackDate(t.year, t.month, t.day));
  std::string name = base + ".ada";
  if (!PathTaken(name)) return name;
  const std::string withMinute = base + " " + TwoDigits(t.hour) + "." + TwoDigits(t.minute);
  name = withMinute + ".ada";
  if (!PathTaken(name)) return name;
  // Two backups within one minute: neither may replace the other.
  const std::string withSecond = withMinute + "." + TwoDigits(t.second);
  name = withSecond + ".ada";
  for (int n = 2; PathTaken(name); ++n) name = withSecond + " (" + std::to_string(n) + ").ada";
  return name;
}

std::string EffectiveBackupFolder(const std::string& folder, const std::string& dataPath) {
  std::string result = folder;
  AddBackslash(result);
  std::string data = dataPath;
  AddBackslash(data);
  if (result.empty() || (!data.empty() && AnsiSameText(result, data))) result = data + "Backup/";
  return result;
}

bool BackupDatabase(const TBackupEnvironment& env, const std::string& folder, bool recordDate,
                    std::string* fileName) {
  if (fileName) fileName->clear();
  TMiniDB* db = env.DB;
  if (env.SandboxMode || env.TimeTravelMode || db == nullptr || !db->Opened || db->NoSave)
    return false;
  TBackupSettings& settings = SettingsOf(env);
  const std::string target = EffectiveBackupFolder(folder, env.DataPath);

  TBusyScope busy(env.Busy);
  UI().ProcessPendingEvents();
  // The store saves its pending changes first, under its own short reservation, so that
  // any message of that save is shown while no other station is kept waiting.
  if (!db->Commit()) {
    busy.End();
    ShowError(BackupMainText(8));
    return false;
  }

  enum { kOk, kNoFolder, kCopyFailed } outcome = kOk;
  std::string made;
  TPackedDate today = 0;
  {
    if (db->AccessProtection == nullptr) {
      busy.End();
      env.LockFailed ? env.LockFailed() : ShowError(CoreText(27));
      return false;
    }
    TReservation reservation(*db->AccessProtection);
    if (!reservation.Held()) {
      busy.End();
      env.LockFailed ? env.LockFailed() : ShowError(CoreText(27));
      return false;
    }
    db->Load();
    const double localNow = UtcToLocal(ClockOf(env).NowUTC());
    today = DateTimeToPacked(localNow);
    if (PfMakeFolders(target) != 0) {
      outcome = kNoFolder;
    } else {
      made = BackupFileName(target, db->FileTitle, localNow);
      TPfInfo source;
      const bool onDisk = PfStat(db->FileName, source) == 0 && source.kind == TPfKind::File;
      // The copy is of the file as every station sees it now; a store that was never
      // written yet has only its lines in memory.
      bool ok = onDisk ? CopyFileReplacing(db->FileName, made) : db->SaveTo(made);
      if (!ok) made.clear();
      ok = HistoryCopyTo(target) && ok;
      if (!ok) outcome = kCopyFailed;
    }
  }
  busy.End();

  if (outcome == kNoFolder) {
    ShowError(BackupMainText(7) + "\r" + target);
    return false;
  }
  if (outcome == kCopyFailed) {
    ShowError(BackupMainText(8));
    return false;
  }
  if (recordDate && today != settings.LastDate) {
    settings.LastDate = today;
    WriteBackupLastDate(settings);
  }
  if (fileName) *fileName = made;
  return true;
}

bool BackupNow1Click(const TBackupEnvironment& env) {
  if (env.SandboxMode) {
    ShowInfo(CoreText(75));
    return false;
  }
  const TBackupSettings& settings = SettingsOf(env);
  std::string made;
  if (!BackupDatabase(env, settings.Path, true, &made)) return false;
  ShowInfo(BackupMainText(9) + "\r" + made.substr(0, made.rfind('/') + 1));
  return true;
}

bool AutoBackupCheck(const TBackupEnvironment& env) {
  TMiniDB* db = env.DB;
  if (env.SandboxMode || env.TimeTravelMode || env.ReadOnlyMode || db == nullptr ||
      !db->Opened || db->NoSave)
    return false;
  TBackupSettings& settings = SettingsOf(env);
  const int days = BackupIntervalDays(settings.Interval);
  if (days == 0) return false;
  // A save that fails has told the user why; a backup now would only repeat it.
  if (!db->Commit() || !db->SavedOnce) return false;
  const TPackedDate today = DateTimeToPacked(UtcToLocal(ClockOf(env).NowUTC()));
  if (!IsBackupDue(days, settings.LastDate, today)) return false;
  // Asked before the backup takes the reservation: no station waits on this answer.
  if (settings.Requester && (!env.Ask || env.Ask() != mrYes)) return false;
  return BackupDatabase(env, settings.Path, true);
}
