// The main window's decisions that need no window: placement, frame layout, help pages,
// the order of a command's gates, sorting.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/MainFormUnit.h"
#include "data/UnitTR100.h"
#include "data/ViewOptionsUnit.h"

namespace {

const TScreenRect kScreen{0, 0, 1280, 1024};

struct TPlacementCase {
  const char* text;
  TScreenRect area;
  bool maximised;
  bool centred;
  TScreenRect bounds;
};

TEST(MainFormUnitTest, WindowPlacementTable) {
  const TPlacementCase cases[] = {
      {"", kScreen, true, false, {}},
      {"1", kScreen, true, false, {}},
      {"10;10;100;100", kScreen, false, false, {10, 10, 789, 533}},
      {"100;50;1000;700", kScreen, false, false, {100, 50, 1000, 700}},
      {"-20;-5;900;600", kScreen, false, false, {0, 0, 900, 600}},
      {"x;y;z;w", kScreen, false, false, {0, 0, 789, 533}},
      // Past the right and bottom edges: moved back onto the screen.
      {"1000;900;900;600", kScreen, false, false, {380, 424, 900, 600}},
      // Larger than the screen: at its left edge and no larger than it (width and height).
      {"300;200;2000;1500", kScreen, false, false, {0, 0, 1280, 1024}},
      // A work area that does not start at 0 (a panel on the left and at the top).
      {"0;0;800;600", {64, 32, 1216, 992}, false, false, {64, 32, 800, 600}},
      {"10;20;3000;3000", {64, 32, 1216, 992}, false, false, {64, 32, 1216, 992}},
      // No height: the size as it is, centred.
      {"10;10;800", kScreen, false, true, {}},
      {"garbage", kScreen, false, true, {}},
  };
  for (const TPlacementCase& c : cases) {
    const TWindowPlacement p = WindowPlacementFor(c.text, c.area);
    EXPECT_EQ(p.maximised, c.maximised) << c.text;
    EXPECT_EQ(p.centred, c.centred) << c.text;
    if (!c.maximised && !c.centred) {
      EXPECT_EQ(p.bounds, c.bounds) << c.text;
    }
  }
  // Only the first 31 characters of the stored text count: the height loses its last digit.
  const std::string longText = std::string(21, '0') + "1;1;800;600";
  ASSERT_EQ(longText.size(), 32u);
  EXPECT_EQ(WindowPlacementFor(longText, kScreen).bounds, (TScreenRect{1, 1, 800, 533}));
}

TEST(MainFormUnitTest, PlacementTextRoundTrip) {
  EXPECT_EQ(WindowStateTextFor(true, {1, 2, 3, 4}), "1");
  const std::string text = WindowStateTextFor(false, {12, 34, 900, 700});
  EXPECT_EQ(text, "12;34;900;700");
  EXPECT_EQ(WindowPlacementFor(text, kScreen).bounds, (TScreenRect{12, 34, 900, 700}));
  EXPECT_EQ(SmallWindowBounds(kScreen), (TScreenRect{50, 50, 1180, 924}));
}

TEST(MainFormUnitTest, OptimalAndSmallerSizes) {
  EXPECT_EQ(OptimalWindowBounds({0, 0, 1920, 1080}), (TScreenRect{347, 40, 1226, 1000}));
  // Width cut, height not: 20 less in height.
  EXPECT_EQ(OptimalWindowBounds({0, 0, 1024, 1050}), (TScreenRect{0, 35, 1024, 980}));
  EXPECT_EQ(OptimalWindowBounds({0, 0, 1024, 768}), (TScreenRect{0, 0, 1024, 768}));
  EXPECT_EQ(SmallerWindowBounds({1000, 900, 1200, 900}, kScreen),
            (TScreenRect{485, 441, 795, 583}));
}

// The window after login is at least 607 inside plus its title bar: the smaller size must
// not push it below the work area.
TEST(MainFormUnitTest, OuterBoundsKeepTheSmallestSizeInsideTheWorkArea) {
  const TScreenRect area{0, 0, 1280, 1024};
  const TScreenRect small = SmallerWindowBounds({600, 500, 1200, 900}, area);
  const TScreenRect r = FitOuterBounds(small, area, 795 + 8, 607 + 31);
  EXPECT_EQ(r.height, 638);
  EXPECT_LE(r.top + r.height, area.height);
  EXPECT_LE(r.left + r.width, area.width);
  // An area smaller than the window: the window is cut to it, never placed beyond it.
  EXPECT_EQ(FitOuterBounds(OptimalWindowBounds({0, 0, 1024, 600}), {0, 0, 1024, 600}, 803, 638),
            (TScreenRect{0, 0, 1024, 600}));
}

TEST(MainFormUnitTest, FrameLayout) {
  const TFrameLayout l = FrameLayoutFor(1000, 700);
  EXPECT_EQ(l.pages, (TScreenRect{10, 15, 980, 670}));
  EXPECT_EQ(l.bottomPanel, (TScreenRect{0, 655, 1000, 45}));
  EXPECT_EQ(l.leftImage, (TScreenRect{0, 63, 10, 592}));
  EXPECT_EQ(l.rightImage, (TScreenRect{990, 63, 11, 592}));
  // Too small a client: the page control keeps its least size at offset 0.
  const TFrameLayout small = FrameLayoutFor(500, 400);
  EXPECT_EQ(small.pages, (TScreenRect{0, 0, 789, 533}));
  // Very large: at most 1189 x 933, centred.
  EXPECT_EQ(FrameLayoutFor(2000, 1200).pages, (TScreenRect{405, 133, 1189, 933}));
}

TEST(MainFormUnitTest, FrameColourAndActiveX) {
  EXPECT_EQ(FrameColourFor(true, true, 10), 0x0012CFDEu);
  EXPECT_EQ(FrameColourFor(false, true, 10), 0x000000FFu);
  EXPECT_EQ(FrameColourFor(false, false, 7), 0x00C0C0C0u);
  EXPECT_EQ(FrameColourFor(false, false, 10), 0x00C0C0B8u);
  EXPECT_EQ(ActiveXFlagsOf(""), "111");
  EXPECT_EQ(ActiveXFlagsOf("0"), "011");
  EXPECT_EQ(ActiveXFlagsOf(" 0 "), "011");
  EXPECT_EQ(ActiveXFlagsOf("1010"), "101");
}

TEST(MainFormUnitTest, HelpFilesPerPageWithIndexFallback) {
  const std::vector<std::string> names = {"index.html",  "building.html", "door.html",
                                          "cylinder.html", "group.html",  "key.html",
                                          "cabinet.html", "person.html",  "index.html",
                                          "deadlines.html", "logfile.html", "user.html",
                                          "index.html"};
  for (int page = 0; page < kPageCount; ++page)
    EXPECT_EQ(HelpFileOfPage(page), names[page]) << page;
  const std::set<std::string> present = {"/p/Help/de/index.html", "/p/Help/de/door.html"};
  auto exists = [&](const std::string& f) { return present.count(f) > 0; };
  EXPECT_EQ(HelpFileFor("/p/Help/de/", "door.html", exists), "/p/Help/de/door.html");
  EXPECT_EQ(HelpFileFor("/p/Help/de/", "key.html", exists), "/p/Help/de/index.html");

  const std::set<std::string> folders = {"/p/Help/en/"};
  auto folder = [&](const std::string& f) { return folders.count(f) > 0; };
  EXPECT_EQ(HelpFolderFor("/p/", "EN", "DE", folder), "/p/Help/en/");
  EXPECT_EQ(HelpFolderFor("/p/", "HU", "EN", folder), "/p/Help/en/");
  EXPECT_EQ(HelpFolderFor("/p/", "HU", "FR", folder), "/p/Help/de/");
}

TEST(MainFormUnitTest, GatesRunInOrderAndStopAtTheFirstRefusal) {
  std::vector<std::string> asked;
  bool loggedIn = true;
  std::set<int> deniedRights;
  bool pending = false;
  TGateChecks checks;
  checks.loggedIn = [&] {
    asked.push_back("login");
    return loggedIn;
  };
  checks.denied = [&](int right) {
    asked.push_back("right" + std::to_string(right));
    return deniedRights.count(right) > 0;
  };
  checks.pendingInput = [&] {
    asked.push_back("pending");
    return pending;
  };
  struct TCase {
    TCommandGate gate;
    bool loggedIn;
    std::set<int> denied;
    bool pending;
    bool passes;
    std::vector<std::string> asked;
  };
  const TCommandGate importGate{false, {3, 1}, true};
  const TCase cases[] = {
      {importGate, false, {3}, true, false, {"login"}},
      {importGate, true, {3}, true, false, {"login", "right3"}},
      {importGate, true, {1}, true, false, {"login", "right3", "right1"}},
      {importGate, true, {}, true, false, {"login", "right3", "right1", "pending"}},
      {importGate, true, {}, false, true, {"login", "right3", "right1", "pending"}},
      // Any time: no login asked.
      {{true, {}, false}, false, {}, true, true, {}},
      // Login only.
      {{false, {}, false}, true, {}, true, true, {"login"}},
  };
  for (const TCase& c : cases) {
    asked.clear();
    loggedIn = c.loggedIn;
    deniedRights = c.denied;
    pending = c.pending;
    EXPECT_EQ(PassCommandGate(c.gate, checks), c.passes);
    EXPECT_EQ(asked, c.asked);
  }
}

TEST(MainFormUnitTest, DuplicatesOnlyForDoorsCylindersKeys) {
  for (int page = 0; page < kPageCount; ++page)
    EXPECT_EQ(PageAllowsDuplicate(page), page == 2 || page == 3 || page == 5) << page;
}

TEST(MainFormUnitTest, SortCommands) {
  ResetViewOptions();
  // Closing twice on keys returns to names.
  EXPECT_TRUE(ApplySortCommand(icKey, TSortCommand::Closing));
  EXPECT_TRUE(SortMenuStateFor(icKey).closingChecked);
  EXPECT_TRUE(ApplySortCommand(icKey, TSortCommand::Closing));
  EXPECT_TRUE(SortMenuStateFor(icKey).nameChecked);
  // Position toggles for doors, is not offered for keys.
  EXPECT_TRUE(ApplySortCommand(icDoor, TSortCommand::Position));
  EXPECT_TRUE(SortMenuStateFor(icDoor).positionChecked);
  EXPECT_TRUE(ApplySortCommand(icDoor, TSortCommand::Position));
  EXPECT_TRUE(SortMenuStateFor(icDoor).nameChecked);
  EXPECT_FALSE(ApplySortCommand(icKey, TSortCommand::Position));
  EXPECT_FALSE(ApplySortCommand(icPerson, TSortCommand::Closing));
  // Number order.
  EXPECT_TRUE(ApplySortCommand(icPerson, TSortCommand::NumberByValue));
  EXPECT_TRUE(SortMenuStateFor(icPerson).numberByValue);
  // Without a class nothing is offered or changed.
  EXPECT_FALSE(ApplySortCommand(0, TSortCommand::Name));
  const TSortMenuState none = SortMenuStateFor(0);
  EXPECT_FALSE(none.nameEnabled || none.numberEnabled || none.closingEnabled ||
               none.positionEnabled);
  const TSortMenuState cyl = SortMenuStateFor(icCylinder);
  EXPECT_TRUE(cyl.closingEnabled && cyl.positionEnabled);
  ResetViewOptions();
}

}  // namespace
