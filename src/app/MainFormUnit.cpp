#include "app/MainFormUnit.h"

#include <algorithm>
#include <map>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "data/UnitTR100.h"
#include "data/ViewOptionsUnit.h"
#include "output/PrintSettingsUnit.h"

// ---------------------------------------------------------------------------------------
// Window placement.

namespace {

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return parts;
}

// Keeps `size` within the work area and the span [pos, pos + size) inside it.
void FitSpan(int& pos, int& size, int areaStart, int areaSize) {
  if (areaSize > 0 && size > areaSize) size = areaSize;
  if (pos < areaStart) pos = areaStart;
  if (pos + size > areaStart + areaSize) pos = std::max(areaStart, areaStart + areaSize - size);
}

}  // namespace

TWindowPlacement WindowPlacementFor(const std::string& stateText, const TScreenRect& workArea) {
  TWindowPlacement placement;
  const std::string text = stateText.substr(0, kMaxPlacementText);
  if (text.empty() || text == "1") {
    placement.maximised = true;
    return placement;
  }
  const std::vector<std::string> parts = SplitAt(text, ';');
  if (parts.size() < 4) {
    placement.centred = true;
    return placement;
  }
  TScreenRect r{StrToIntZero(parts[0]), StrToIntZero(parts[1]), StrToIntZero(parts[2]),
                StrToIntZero(parts[3])};
  r.width = std::max(r.width, kMinWindowWidth);
  r.height = std::max(r.height, kMinWindowHeight);
  // A placement stored on a larger screen (or a second monitor now gone) must not leave
  // the window reaching past the screen, where its borders cannot be grabbed.
  FitSpan(r.left, r.width, workArea.left, workArea.width);
  FitSpan(r.top, r.height, workArea.top, workArea.height);
  placement.bounds = r;
  return placement;
}

std::string WindowStateTextFor(bool maximised, const TScreenRect& b) {
  if (maximised) return "1";
  return std::to_string(b.left) + ";" + std::to_string(b.top) + ";" + std::to_string(b.width) +
         ";" + std::to_string(b.height);
}

TScreenRect SmallWindowBounds(const TScreenRect& screen) {
  return {screen.left + 50, screen.top + 50, screen.width - 100, screen.height - 100};
}

TScreenRect OptimalWindowBounds(const TScreenRect& workArea) {
  const int width = std::min(workArea.width, 1226);
  int height = std::min(workArea.height, 1000);
  if (width < 1226 && height == 1000) height -= 20;
  return {workArea.left + (workArea.width - width) / 2,
          workArea.top + (workArea.height - height) / 2, width, height};
}

TScreenRect SmallerWindowBounds(const TScreenRect& current, const TScreenRect& workArea) {
  TScreenRect r{current.left, current.top, kSmallWindowWidth, kSmallWindowHeight};
  FitSpan(r.left, r.width, workArea.left, workArea.width);
  FitSpan(r.top, r.height, workArea.top, workArea.height);
  return r;
}

TScreenRect FitOuterBounds(TScreenRect wanted, const TScreenRect& workArea, int minOuterWidth,
                           int minOuterHeight) {
  wanted.width = std::max(wanted.width, minOuterWidth);
  wanted.height = std::max(wanted.height, minOuterHeight);
  FitSpan(wanted.left, wanted.width, workArea.left, workArea.width);
  FitSpan(wanted.top, wanted.height, workArea.top, workArea.height);
  return wanted;
}

// ---------------------------------------------------------------------------------------
// Frame.

TFrameLayout FrameLayoutFor(int clientWidth, int clientHeight) {
  TFrameLayout l;
  l.pages.width = std::clamp(clientWidth - 20, 789, 1189);
  l.pages.height = std::clamp(clientHeight - 30, 533, 933);
  l.pages.left = std::max(0, (clientWidth - l.pages.width) / 2);
  l.pages.top = std::max(0, (clientHeight - l.pages.height) / 2);
  const int panelHeight = std::max(0, clientHeight - l.pages.Bottom() + 30);
  l.bottomPanel = {0, clientHeight - panelHeight, clientWidth, panelHeight};
  const int imageTop = l.pages.top + 48;
  const int imageHeight = std::max(0, l.bottomPanel.top - imageTop);
  l.leftImage = {0, imageTop, l.pages.left, imageHeight};
  l.rightImage = {l.pages.Right(), imageTop, l.pages.left + 1, imageHeight};
  return l;
}

uint32_t FrameColourFor(bool timeTravel, bool sandbox, int windowsVersionCode) {
  if (timeTravel) return 0x0012CFDE;
  if (sandbox) return 0x000000FF;
  return windowsVersionCode < 8 ? 0x00C0C0C0 : 0x00C0C0B8;
}

std::string ActiveXFlagsOf(const std::string& setting) {
  std::string flags = Trim(setting).substr(0, 3);
  while (flags.size() < 3) flags += '1';
  return flags;
}

// ---------------------------------------------------------------------------------------
// Help.

std::string HelpFileOfPage(int page) {
  switch (page) {
    case 1: return "building.html";
    case 2: return "door.html";
    case 3: return "cylinder.html";
    case 4: return "group.html";
    case 5: return "key.html";
    case 6: return "cabinet.html";
    case 7: return "person.html";
    case 9: return "deadlines.html";
    case 10: return "logfile.html";
    case 11: return "user.html";
    default: return "index.html";
  }
}

std::string HelpFolderFor(const std::string& programDir, const std::string& alias,
                          const std::string& secondAlias,
                          const std::function<bool(const std::string&)>& folderExists) {
  for (const std::string* a : {&alias, &secondAlias}) {
    if (a->empty()) continue;
    const std::string folder = programDir + "Help/" + AnsiLowerCase(*a) + "/";
    if (folderExists && folderExists(folder)) return folder;
  }
  return programDir + "Help/de/";
}

std::string HelpFileFor(const std::string& helpFolder, const std::string& fileName,
                        const std::function<bool(const std::string&)>& fileExists) {
  const std::string file = helpFolder + fileName;
  if (fileExists && fileExists(file)) return file;
  return helpFolder + "index.html";
}

// ---------------------------------------------------------------------------------------
// Commands.

bool PageAllowsDuplicate(int page) { return page == 2 || page == 3 || page == 5; }

bool PassCommandGate(const TCommandGate& gate, const TGateChecks& checks) {
  if (!gate.anyTime && checks.loggedIn && !checks.loggedIn()) return false;
  for (int right : gate.rights)
    if (checks.denied && checks.denied(right)) return false;
  if (gate.noPendingInput && checks.pendingInput && checks.pendingInput()) return false;
  return true;
}

// ---------------------------------------------------------------------------------------
// Sorting.

namespace {

bool ValidSortClass(int cls) { return cls >= 1 && cls <= 255; }

}  // namespace

TSortMenuState SortMenuStateFor(int itemClass) {
  TSortMenuState s;
  if (!ValidSortClass(itemClass)) return s;
  const TViewOptions& o = ViewOptions();
  const int mode = o.variant[itemClass];
  s.numberEnabled = true;
  s.numberByValue = o.naturalNames[itemClass];
  s.nameEnabled = true;
  s.nameChecked = mode == kSortByName;
  s.closingEnabled = itemClass == icKey || itemClass == icCylinder;
  s.closingChecked = mode == kSortByClosing;
  s.positionEnabled = itemClass == icDoor || itemClass == icCylinder;
  s.positionChecked = mode == kSortByPosition;
  return s;
}

bool ApplySortCommand(int itemClass, TSortCommand command) {
  if (!ValidSortClass(itemClass)) return false;
  TViewOptions& o = ViewOptions();
  uint8_t& mode = o.variant[itemClass];
  switch (command) {
    case TSortCommand::Name:
      mode = kSortByName;
      return true;
    case TSortCommand::Closing:
      if (itemClass != icKey && itemClass != icCylinder) return false;
      mode = mode == kSortByClosing ? kSortByName : kSortByClosing;
      return true;
    case TSortCommand::Position:
      if (itemClass != icDoor && itemClass != icCylinder) return false;
      mode = mode == kSortByPosition ? kSortByName : kSortByPosition;
      return true;
    case TSortCommand::NumberByDigits:
      o.naturalNames[itemClass] = false;
      return true;
    case TSortCommand::NumberByValue:
      o.naturalNames[itemClass] = true;
      return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------
// Registries.

namespace {

struct TRegistries {
  std::map<std::string, TMenuCommand> menuCommands;
  TLockerReceiptPrinter lockerPrinter;
  TPrintPreviewSetter printPreviewSetter;
};

TRegistries& Registries() {
  static TRegistries registries;
  return registries;
}

}  // namespace

void InstallMenuCommand(const std::string& name, TMenuCommand command) {
  if (command)
    Registries().menuCommands[name] = std::move(command);
  else
    Registries().menuCommands.erase(name);
}

const TMenuCommand& MenuCommandOf(const std::string& name) {
  static const TMenuCommand none;
  const auto& map = Registries().menuCommands;
  const auto it = map.find(name);
  return it == map.end() ? none : it->second;
}

std::vector<std::string> InstalledMenuCommandNames() {
  std::vector<std::string> names;
  for (const auto& [name, command] : Registries().menuCommands) names.push_back(name);
  return names;
}

void InstallLockerReceiptPrinter(TLockerReceiptPrinter printer) {
  Registries().lockerPrinter = std::move(printer);
}

const TLockerReceiptPrinter& LockerReceiptPrinter() { return Registries().lockerPrinter; }

bool PrintPreviewEnabled() { return PrintSettings().preview; }

void InstallPrintPreviewSetter(TPrintPreviewSetter setter) {
  Registries().printPreviewSetter = std::move(setter);
}

void SetPrintPreview(bool on, bool store) {
  if (const TPrintPreviewSetter& setter = Registries().printPreviewSetter)
    setter(on, store);
  else
    SetPrintPreviewFlag(on);
}

void SetPrintPreviewFlag(bool on) { PrintSettings().preview = on; }

void ResetMainFormRegistries() {
  Registries() = TRegistries();
  ResetViewRegistry();
  ResetPrintSettings();
}
