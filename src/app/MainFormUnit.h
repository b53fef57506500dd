#pragma once
// What the main window decides without a window, and the registry through which the
// commands and printers of other units join it.
//
// The decisions (placement of the window, layout of the frame around the page control,
// the frame colour of the mode, help page names, the order of a command's gates, the sort
// menu) are plain functions, so they are tested without a screen.
//
// The registries of other units' work: a menu command whose work lives in another unit is
// installed by name, and so is the locker-key receipt printer. A command without its work
// stays disabled, so the window runs with whatever units the program was built with. The
// views of the pages join through the view registry (app/ViewRegistryUnit.h), which this
// header passes on.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/ViewRegistryUnit.h"

class QWidget;

// ---------------------------------------------------------------------------------------
// Screen rectangles.

struct TScreenRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
  bool operator==(const TScreenRect&) const = default;
};

// ---------------------------------------------------------------------------------------
// Window placement.

inline constexpr int kMinWindowWidth = 789;
inline constexpr int kMinWindowHeight = 533;
inline constexpr int kSmallWindowWidth = 795;
inline constexpr int kSmallWindowHeight = 583;
inline constexpr int kMaxPlacementText = 31;

struct TWindowPlacement {
  bool maximised = false;  // the text was empty or "1"
  bool centred = false;    // the text had no height: the default size, centred
  TScreenRect bounds;      // the window's frame when neither
};

// The placement of a stored "WindowState": "" or "1" maximised; otherwise
// "left;top;width;height" (each 0 when not a number). Without a height the window keeps its
// size, centred. The size is at least 789 x 533 and at most the work area; the position
// keeps the whole window inside the work area.
TWindowPlacement WindowPlacementFor(const std::string& stateText, const TScreenRect& workArea);
// "1" when maximised, else "left;top;width;height".
std::string WindowStateTextFor(bool maximised, const TScreenRect& bounds);
// The switch "window=small": 50 from the screen's left and top, the screen less 100 each way.
TScreenRect SmallWindowBounds(const TScreenRect& screen);
// "Optimale Größe": the work area's width up to 1226 and height up to 1000 (20 less in
// height when the width was cut and the height was not), centred in the work area.
TScreenRect OptimalWindowBounds(const TScreenRect& workArea);
// "Fenster verkleinern": 795 x 583 at the window's place, moved into the work area.
TScreenRect SmallerWindowBounds(const TScreenRect& current, const TScreenRect& workArea);
// Outer bounds (frame and title bar included) of at least the window's smallest outer size,
// moved into the work area and cut to it.
TScreenRect FitOuterBounds(TScreenRect wanted, const TScreenRect& workArea, int minOuterWidth,
                           int minOuterHeight);

// ---------------------------------------------------------------------------------------
// The coloured frame around the page control.

struct TFrameLayout {
  TScreenRect pages;        // the page control
  TScreenRect bottomPanel;  // the panel along the bottom
  TScreenRect leftImage;    // the frame images left and right of the page control
  TScreenRect rightImage;
};
// Page control: client width - 20 within 789..1189, client height - 30 within 533..933,
// centred (offset 0 without room). The bottom panel reaches from 30 above the page
// control's bottom to the client's bottom; the images start 48 below the page control's
// top and end at the panel; the left one as wide as the page control's left offset, the
// right one from its right edge, one wider.
TFrameLayout FrameLayoutFor(int clientWidth, int clientHeight);

inline constexpr uint32_t kBottomPanelColour = 0xD8E9EC;  // blue-green-red
// The frame colour (blue-green-red) of the mode: time travel, sandbox (red), else grey by
// the Windows version code (below 8 a neutral grey).
uint32_t FrameColourFor(bool timeTravel, bool sandbox, int windowsVersionCode);

// The "ActiveX" flags: the first three characters of the setting, padded with "1"; "111"
// when the setting is empty. 1st: the built-in web view allowed; 3rd: the logo animation.
std::string ActiveXFlagsOf(const std::string& setting);

// ---------------------------------------------------------------------------------------
// Help pages.

// The help file of a page: "building.html" (1) ... "user.html" (11), "index.html" else.
std::string HelpFileOfPage(int page);
// Program folder + "Help/" + the lower-case alias + "/", else the second alias, else
// "Help/de/" when neither folder exists.
std::string HelpFolderFor(const std::string& programDir, const std::string& alias,
                          const std::string& secondAlias,
                          const std::function<bool(const std::string&)>& folderExists);
// The page's file in the help folder; "index.html" there when that file is missing.
std::string HelpFileFor(const std::string& helpFolder, const std::string& fileName,
                        const std::function<bool(const std::string&)>& fileExists);

// ---------------------------------------------------------------------------------------
// Commands.

// Duplicates exist only for doors (2), cylinders (3) and keys (5).
bool PageAllowsDuplicate(int page);

// What a menu command asks before it runs, in this order: a login (unless any time), each
// right, then no unsaved input in any view.
struct TCommandGate {
  bool anyTime = false;
  std::vector<int> rights;
  bool noPendingInput = false;
};
// The checks of a gate; each has told the user when it refuses.
struct TGateChecks {
  std::function<bool()> loggedIn;           // false: the login message was shown
  std::function<bool(int right)> denied;    // true: refused (message shown)
  std::function<bool()> pendingInput;       // true: unsaved input (page and message shown)
};
// True when the command may run. Stops at the first refusal.
bool PassCommandGate(const TCommandGate& gate, const TGateChecks& checks);

// ---------------------------------------------------------------------------------------
// Sorting, by item class (the two per-class tables of the view options: number order and
// sort mode 0 name, 1 position, 2 closing).

inline constexpr int kSortByName = 0;
inline constexpr int kSortByPosition = 1;
inline constexpr int kSortByClosing = 2;

struct TSortMenuState {
  bool numberEnabled = false;
  bool numberByValue = false;  // "nach Zahlenwert" ticked, else "nach Ziffernfolge"
  bool nameEnabled = false;
  bool nameChecked = false;
  bool closingEnabled = false;
  bool closingChecked = false;
  bool positionEnabled = false;
  bool positionChecked = false;
};
TSortMenuState SortMenuStateFor(int itemClass);

enum class TSortCommand { Name, Closing, Position, NumberByDigits, NumberByValue };
// Applies the command to the class's options; false (nothing changed) without a class or
// for a command the class does not offer. "Closing" pressed again returns to names,
// "Position" toggles.
bool ApplySortCommand(int itemClass, TSortCommand command);

// ---------------------------------------------------------------------------------------
// Commands of other units.

// The work of a menu command that lives in another unit, installed by the command's name
// (the menu item's name, e.g. "ImportKWD1"). The window runs the command's gates first.
using TMenuCommand = std::function<void()>;
void InstallMenuCommand(const std::string& name, TMenuCommand command);
const TMenuCommand& MenuCommandOf(const std::string& name);
// The names of every installed command, in name order.
std::vector<std::string> InstalledMenuCommandNames();

// Prints a locker-key receipt (kind 2 issued, 3 returned) for a person, by the user, on the
// date, with the count and the key's identifier; installed by the receipts unit.
using TLockerReceiptPrinter =
    std::function<bool(int kind, int32_t person, const std::string& userName, double date,
                       const std::string& count, const std::string& identifier)>;
void InstallLockerReceiptPrinter(TLockerReceiptPrinter printer);
const TLockerReceiptPrinter& LockerReceiptPrinter();

// The print-preview flag ("Druckvorschau"): while it is on, printing shows a preview first.
// The flag itself is the print settings' (output/PrintSettingsUnit.h, PrintSettings()).
bool PrintPreviewEnabled();
// Sets the flag; with `store` the logged-in user keeps it ("PrintPreview"). The main window
// installs how it is stored and shown (its menu tick); without it only the flag changes.
using TPrintPreviewSetter = std::function<void(bool on, bool store)>;
void InstallPrintPreviewSetter(TPrintPreviewSetter setter);
void SetPrintPreview(bool on, bool store);
// The flag alone (the main window's setter).
void SetPrintPreviewFlag(bool on);

// Forgets every installed command and printer, the view registry and the print settings
// (tests).
void ResetMainFormRegistries();
