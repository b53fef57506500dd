#include "data/IniUnit.h"

#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/IndirectRunUnit.h"
#include "basic/ParamsUnit.h"
#include "basic/RegistryUnit.h"

namespace {

bool IsDataPathKey(const std::string& name) { return AnsiSameText(name, "DATAPATH"); }

int EffectiveLevel(int level, const std::string& name) {
  return IsDataPathKey(name) ? kSettingsProgramLevel : level;
}

// The file name with its extension (if any) exchanged for ".ini".
std::string IniNameOf(const std::string& programFile) {
  if (programFile.empty()) return std::string();
  const std::size_t slash = programFile.find_last_of('/');
  const std::size_t dot = programFile.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExt ? programFile.substr(0, dot) : programFile) + ".ini";
}

std::string FileNamePart(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

TSettingsCache* CacheOf(TMandantState& state, int level) {
  if (level == kSettingsProgramLevel) return &state.Level0Cache;
  if (level == kSettingsDataLevel) return &state.Level1Cache;
  return nullptr;
}

// Reads the settings file into its cache under the reservation the caller holds. A file
// that does not exist yet reads as empty. False, with an emptied and unstamped cache, when
// the file exists but cannot be read: nothing may be written on the strength of it.
bool ReloadCache(TMandantState& state, TSettingsCache& cache, const std::string& fileName) {
  std::vector<std::string> lines;
  const int loaded = LoadTextFile(fileName, lines);
  cache.FileName = fileName;
  if (loaded == ltfReadError) {
    cache.Lines.Clear();
    cache.Invalidate();
    return false;
  }
  cache.Lines.SetLines(std::move(lines));
  state.Stamp(cache);
  return true;
}

// The cache of a level, read again unless it is fresh. Without the reservation the old
// content stays (unstamped, so the next access tries again).
TSettingsCache* RefreshSettings(int level) {
  TMandantState& state = MandantState();
  TSettingsCache* cache = CacheOf(state, level);
  if (!cache) return nullptr;
  const std::string fileName = SettingsFileName(level);
  if (fileName.empty()) {
    cache->Lines.Clear();
    cache->FileName.clear();
    cache->Invalidate();
    return cache;
  }
  if (state.IsFresh(*cache, fileName)) return cache;
  TReservation reservation(state.GlobalReservation());
  if (!reservation.Held()) {
    // Another file's lines must not stand in for this one's.
    if (cache->FileName != fileName) cache->Lines.Clear();
    cache->FileName = fileName;
    cache->Invalidate();
    return cache;
  }
  ReloadCache(state, *cache, fileName);
  return cache;
}

bool HasControlChar(const std::string& text, bool allowTab) {
  for (unsigned char c : text)
    if (c < ' ' && !(allowTab && c == '\t')) return true;
  return false;
}

// The registry value that holds the per-user (or machine-wide) settings text.
constexpr const char* kRegistryIniValue = "ini";

std::string ReadRegistryIniText(bool machineWide) {
  return RegReadString(machineWide, kRegistryIniValue);
}

bool WriteRegistryIniText(bool machineWide, const std::string& text) {
  return RegWriteString(machineWide, kRegistryIniValue, text);
}

TSettingsCache& RefreshRegistry(bool machineWide, bool force) {
  TMandantState& state = MandantState();
  TSettingsCache& cache = machineWide ? state.RegMachineCache : state.RegUserCache;
  if (!force && state.IsFresh(cache, kRegistryIniValue)) return cache;
  cache.Lines.SetText(ReadRegistryIniText(machineWide));
  cache.FileName = kRegistryIniValue;
  state.Stamp(cache);
  return cache;
}

}  // namespace

std::string SettingsFileName(int level) {
  TMandantState& state = MandantState();
  if (state.ProgramIniName.empty()) state.ProgramIniName = IniNameOf(OriginExeName());
  if (level == kSettingsProgramLevel) return state.ProgramIniName;
  if (level == kSettingsDataLevel) {
    if (state.DataPath.empty() || state.ProgramIniName.empty()) return std::string();
    std::string folder = state.DataPath;
    AddBackslash(folder);
    return folder + FileNamePart(state.ProgramIniName);
  }
  return std::string();
}

bool ReadSetting(int level, const std::string& name, std::string& value) {
  value.clear();
  if (name.empty()) return false;
  if (FindParam(name, &value) > 0) return true;
  TSettingsCache* cache = RefreshSettings(EffectiveLevel(level, name));
  if (!cache) return false;
  const int index = cache->Lines.IndexOfName(name);
  if (index < 0) return false;
  value = cache->Lines.ValueFromIndex(index);
  return true;
}

std::string ReadSettingStr(int level, const std::string& name) {
  std::string value;
  ReadSetting(level, name, value);
  return value;
}

bool WriteSetting(int level, const std::string& name, const std::string& value) {
  TMandantState& state = MandantState();
  if (state.ReadOnlyMode || state.TimeTravelMode || name.empty()) return true;
  if (name.find('=') != std::string::npos || HasControlChar(name, false) ||
      HasControlChar(value, true))
    return false;
  level = EffectiveLevel(level, name);
  TSettingsCache* cache = CacheOf(state, level);
  const std::string fileName = SettingsFileName(level);
  if (!cache || fileName.empty()) return false;

  TReservation reservation(state.GlobalReservation());
  if (!reservation.Held()) return false;
  // Read again inside the reservation even when the cache is fresh: another station may
  // have changed the file within the cache's lifetime, and its change must survive ours.
  if (!ReloadCache(state, *cache, fileName)) return false;
  if (cache->Lines.Value(name) == value) return true;

  TQStringList lines = cache->Lines;
  lines.SetValue(name, value);
  if (!lines.SaveToFileSafe(fileName, false)) {
    cache->Invalidate();
    return false;
  }
  cache->Lines = lines;
  state.Stamp(*cache);
  return true;
}

bool WriteUserSetting(const std::string& name, const std::string& value) {
  if (IsDataPathKey(name)) return WriteSetting(kSettingsProgramLevel, name, value);
  if (!WriteSetting(kSettingsDataLevel, name, value)) return false;
  WriteSetting(kSettingsProgramLevel, name, "");
  return true;
}

const TQStringList& RegistryIniLines(bool machineWide) {
  return RefreshRegistry(machineWide, false).Lines;
}

bool ReadDataSetting(const std::string& name, std::string& value) {
  value.clear();
  if (name.empty()) return false;
  const TQStringList& lines = RegistryIniLines(false);
  const int index = lines.IndexOfName(name);
  if (index < 0) return false;
  value = lines.ValueFromIndex(index);
  return true;
}

std::string ReadDataSettingStr(const std::string& name) {
  std::string value;
  ReadDataSetting(name, value);
  return value;
}

bool WriteDataSetting(const std::string& name, const std::string& value) {
  TMandantState& state = MandantState();
  if (state.ReadOnlyMode || name.empty()) return true;
  if (name.find('=') != std::string::npos || HasControlChar(name, false) ||
      HasControlChar(value, true))
    return false;
  // Another program of this user may have changed the text since we read it.
  TSettingsCache& cache = RefreshRegistry(false, true);
  if (cache.Lines.Value(name) == value) return true;
  TQStringList lines = cache.Lines;
  lines.SetValue(name, value);
  if (!WriteRegistryIniText(false, lines.GetText())) {
    cache.Invalidate();
    return false;
  }
  cache.Lines = lines;
  state.Stamp(cache);
  return true;
}
