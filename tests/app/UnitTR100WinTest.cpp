#include "app/UnitTR100Win.h"
#include "app/WaitPanelUnit.h"

#include <sys/stat.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QApplication>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "basic/TempFilesUnit.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/ClientSessionUnit.h"
#include "data/HolderUnit.h"
#include "data/MandantUnit.h"
#include "data/MiniDBTestSupport.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "data/ViewOptionsUnit.h"
#include "output/CsvOrExcelUnit.h"
#include "output/SpreadsheetTestSupport.h"
#include "platform/PlatformFiles.h"
#include "support/RegistryTestRoot.h"

namespace {

// A view as the glue sees it: counts what it was asked to do.
struct TFakeView : IView {
  bool editing = false;
  int refreshes = 0;
  int clears = 0;
  std::vector<int32_t> shown;
  std::vector<int32_t> history;
  std::vector<std::string> documents;
  QComboBox systemCombo;
  QComboBox filterCombo;
  QComboBox buildingCombo;
  std::function<void()> onRefresh;

  void RefreshView() override {
    ++refreshes;
    if (onRefresh) onRefresh();
  }
  void ClearView() override { ++clears; }
  bool Editing() const override { return editing; }
  void ShowItem(int32_t id) override { shown.push_back(id); }
  int32_t CurrentItemId() const override { return shown.empty() ? 0 : shown.back(); }
  QComboBox* SystemCombo() override { return &systemCombo; }
  QComboBox* SystemFilterCombo() override { return &filterCombo; }
  QComboBox* BuildingFilterCombo() override { return &buildingCombo; }
  void ShowHistoryOf(int32_t id) override { history.push_back(id); }
  void ShowDocument(const std::string& url) override { documents.push_back(url); }
  int termChanges = 0;
  void TermsChanged() override { ++termChanges; }
};

struct TEntry {
  std::string text;
  int32_t object;
  bool operator==(const TEntry&) const = default;
};
std::ostream& operator<<(std::ostream& os, const TEntry& e) {
  return os << "{" << e.text << ", " << e.object << "}";
}

std::vector<TEntry> Entries(const TQStringList& list) {
  std::vector<TEntry> out;
  for (const TStringItem& item : list.Items())
    out.push_back({item.text, static_cast<int32_t>(item.object)});
  return out;
}
std::vector<TEntry> Entries(const QComboBox& combo) {
  std::vector<TEntry> out;
  for (int i = 0; i < combo.count(); ++i)
    out.push_back({FromQString(combo.itemText(i)), ComboItemId(&combo, i)});
  return out;
}

TItemList ListOf(std::initializer_list<int32_t> ids) {
  TItemList list;
  for (int32_t id : ids) list.Add(id);
  return list;
}

// One workstation with its store as the session's, a page control of 13 pages and a
// recorder for messages.
struct Glue : ::testing::Test {
  TTempDir dir;
  TStation a{"A"};
  QTabWidget pages;
  TScopedRecorder ui;
  std::map<int, std::unique_ptr<TFakeView>> views;

  void SetUp() override {
    ResetWinGlue();
    ResetSession();
    ResetVocabulary();
    ResetViewOptions();
    ASSERT_TRUE(a.Open(dir));
    ClientSession().LendStore(a.db.get());
    for (int i = 0; i < kPageCount; ++i) pages.addTab(new QWidget, QString::number(i));
    WinGlue().PageControl = &pages;
    SetStrictDialogs(true);
  }
  void TearDown() override {
    EXPECT_EQ(PendingDialogDrivers(), 0);
    ClearDialogDrivers();
    ResetWinGlue();
    ResetSession();
    ResetVocabulary();
  }
  TFakeView& View(int page) {
    auto& view = views[page];
    if (!view) {
      view = std::make_unique<TFakeView>();
      RegisterView(page, view.get());
    }
    return *view;
  }
  int32_t Record(int cls, const std::string& name, int32_t system = -1) {
    const int32_t id = a->NewNamedRecord(cls, name, "");
    if (system >= 0) a->SetField(id, "ks", std::to_string(system));
    return id;
  }
};

// ---------------------------------------------------------------------------------------
// Pages

TEST_F(Glue, PageMapsGoBothWaysForTheEightRecordClasses) {
  const std::pair<int, int> classToPage[] = {{icUser, pgUsers},         {icBuilding, pgBuildings},
                                             {icDoor, pgDoors},         {icKey, pgKeys},
                                             {icPerson, pgPersons},     {icCylinder, pgCylinders},
                                             {icGroup, pgGroups},       {icCabinet, pgCabinets}};
  for (auto [cls, page] : classToPage) {
    EXPECT_EQ(ItemTypeToPage(cls), page) << cls;
    EXPECT_EQ(PageToItemType(page), cls) << page;
  }
  for (int cls : {0, 9, 12, 14, 17}) EXPECT_EQ(ItemTypeToPage(cls), pgLogin);
  for (int page : {pgLogin, pgIssueReturn, pgLimits, pgHistory, pgHelp})
    EXPECT_EQ(PageToItemType(page), 0);
  pages.setCurrentIndex(pgDoors);
  EXPECT_EQ(CurrentItemType(), icDoor);
}

TEST_F(Glue, ViewTabIsPaddedWithZerosAndGovernsSixPages) {
  WinGlue().ViewTab = "11";
  EXPECT_EQ(PageVisibilityFlag(pgHistory), 0);  // position 4
  EXPECT_EQ(WinGlue().ViewTab, "1100");
  EXPECT_EQ(PageVisibilityFlag(pgCabinets, 1), 1);  // position 6
  EXPECT_EQ(WinGlue().ViewTab, "110001");
  EXPECT_EQ(PageVisibilityFlag(pgDoors, 0), 0);
  EXPECT_EQ(PageVisibilityFlag(pgDoors, 7), 0);  // only 0 and 1 are set
  EXPECT_EQ(WinGlue().ViewTab, "100001");
  for (int page : {pgLogin, pgGroups, pgKeys, pgPersons, pgIssueReturn, pgUsers, pgHelp})
    EXPECT_EQ(PageVisibilityFlag(page, 1), -1) << page;
  EXPECT_EQ(WinGlue().ViewTab, "100001");

  // A short string hides the pages it does not reach; other pages are left alone.
  WinGlue().ViewTab = "1";
  ApplyViewTabs();
  EXPECT_TRUE(pages.isTabVisible(pgBuildings));
  for (int page : {pgDoors, pgLimits, pgHistory, pgCylinders, pgCabinets})
    EXPECT_FALSE(pages.isTabVisible(page)) << page;
  for (int page : {pgKeys, pgPersons, pgGroups, pgUsers}) EXPECT_TRUE(pages.isTabVisible(page));
}

TEST_F(Glue, ShowHideLeaveAndClosePages) {
  pages.setCurrentIndex(pgKeys);
  pages.setTabVisible(pgDoors, false);
  ShowPage(pgDoors, false);  // hidden and not forced: nothing happens
  EXPECT_EQ(ActivePage(), pgKeys);
  ShowPage(pgDoors, true);
  EXPECT_EQ(ActivePage(), pgDoors);
  EXPECT_EQ(WinGlue().PreviousPage, pgKeys);

  // Closing the active page returns to the remembered one.
  ClosePage(pgDoors, false);
  EXPECT_FALSE(pages.isTabVisible(pgDoors));
  EXPECT_EQ(ActivePage(), pgKeys);
  // Closing a hidden page shows and activates it.
  ClosePage(pgDoors, false);
  EXPECT_TRUE(pages.isTabVisible(pgDoors));
  EXPECT_EQ(ActivePage(), pgDoors);

  // Help is never remembered as the page to go back to.
  ShowPage(pgHelp, true);
  ShowPage(pgPersons, true);
  EXPECT_EQ(WinGlue().PreviousPage, pgDoors);
  EXPECT_FALSE(LeavePage(pgDoors));
  EXPECT_TRUE(LeavePage(pgHelp));
  EXPECT_EQ(ActivePage(), pgDoors);
}

TEST_F(Glue, SaveViewTabsStoresTheSixDigitsWithTheUser) {
  const int32_t user = Record(icUser, "Hans");
  ASSERT_TRUE(a->Commit());
  Session().CurrentUserId = user;
  pages.setTabVisible(pgLimits, false);
  pages.setTabVisible(pgCabinets, false);
  ClosePage(pgDoors, true);
  EXPECT_EQ(WinGlue().ViewTab, "100110");
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->GetField(user, "ViewTab"), "100110");
}

TEST_F(Glue, FindFrameInEditPrefersTheActivePageThenTheLastInOrder) {
  EXPECT_EQ(FindFrameInEdit(), -1);
  EXPECT_FALSE(CheckPendingInput());
  View(pgKeys).editing = true;
  pages.setCurrentIndex(pgDoors);
  View(pgDoors);
  EXPECT_EQ(FindFrameInEdit(), pgKeys);

  View(pgBuildings).editing = true;
  View(pgUsers).editing = true;
  EXPECT_EQ(FindFrameInEdit(), pgUsers);  // last of the order among the editing views
  pages.setCurrentIndex(pgBuildings);
  EXPECT_EQ(FindFrameInEdit(), pgBuildings);

  pages.setCurrentIndex(pgPersons);
  EXPECT_TRUE(CheckPendingInput());
  EXPECT_EQ(ActivePage(), pgUsers);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, WinText(4));
}

// ---------------------------------------------------------------------------------------
// Records

TEST_F(Glue, GotoItemReachesTheViewOfEachRecordClass) {
  std::map<int, int32_t> ids;
  for (int cls = icUser; cls <= icCabinet; ++cls) ids[cls] = Record(cls, "R" + std::to_string(cls));
  const int32_t system = Record(icKeySystem, "S");
  for (int cls = icUser; cls <= icCabinet; ++cls) View(ItemTypeToPage(cls));
  for (int cls = icUser; cls <= icCabinet; ++cls) {
    EXPECT_TRUE(GotoItem(ids[cls], true)) << cls;
    EXPECT_EQ(ActivePage(), ItemTypeToPage(cls));
    EXPECT_EQ(View(ItemTypeToPage(cls)).shown, std::vector<int32_t>{ids[cls]});
    EXPECT_EQ(CurrentPageItemId(), ids[cls]);
  }
  EXPECT_FALSE(GotoItem(system, true));
  EXPECT_FALSE(GotoItem(0, true));
  EXPECT_FALSE(GotoItem(9999, true));
}

TEST_F(Glue, GotoItemKeepsAnEditedRecordAndCreatesLazyViews) {
  const int32_t door = Record(icDoor, "T1");
  const int32_t cylinder = Record(icCylinder, "Z1");
  View(pgDoors).editing = true;
  pages.setCurrentIndex(pgKeys);
  EXPECT_TRUE(GotoItem(door, true));
  EXPECT_EQ(ActivePage(), pgDoors);
  EXPECT_TRUE(View(pgDoors).shown.empty());

  std::vector<int> created;
  SetViewCreator([&](int page) {
    created.push_back(page);
    View(page);
  });
  EXPECT_TRUE(GotoItem(cylinder, false));
  EXPECT_EQ(created, std::vector<int>{pgCylinders});
  EXPECT_EQ(View(pgCylinders).shown, std::vector<int32_t>{cylinder});
  EXPECT_EQ(ActivePage(), pgDoors);  // not activated
}

TEST_F(Glue, CallsForViewsThatDoNotExistDoNothing) {
  const int32_t key = Record(icKey, "K1");
  pages.setCurrentIndex(pgDoors);
  EXPECT_TRUE(GotoItem(key, true));
  EXPECT_EQ(ActivePage(), pgDoors);
  GotoItems(std::to_string(key) + ";" + std::to_string(key));
  ShowHistoryOf(key);
  AddToTransfer(key);
  KeysViewCall(1, key);
  HideKeysSearchPanel();
  HideUsersSearchPanel();
  RefreshAllFrames();
  ClearAllFrames();
  EXPECT_EQ(CurrentPageItemId(), 0);
  EXPECT_EQ(FindFrameInEdit(), -1);
  EXPECT_EQ(ActivePage(), pgDoors);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(pages.isEnabled());
}

TEST_F(Glue, GotoItemsShowsEveryRecordAndActivatesOnlyTheLastPage) {
  const int32_t door = Record(icDoor, "T1");
  const int32_t person = Record(icPerson, "P1");
  const int32_t key = Record(icKey, "K1");
  View(pgDoors);
  View(pgPersons);
  View(pgKeys);
  pages.setCurrentIndex(pgUsers);
  std::vector<int> activated;
  QObject::connect(&pages, &QTabWidget::currentChanged, [&](int page) { activated.push_back(page); });
  GotoItems(std::to_string(door) + ";" + std::to_string(person) + ";" + std::to_string(key) + ";");
  EXPECT_EQ(View(pgDoors).shown, std::vector<int32_t>{door});
  EXPECT_EQ(View(pgPersons).shown, std::vector<int32_t>{person});
  EXPECT_EQ(View(pgKeys).shown, std::vector<int32_t>{key});
  EXPECT_EQ(activated, std::vector<int>{pgKeys});
}

TEST_F(Glue, RefreshAndClearReachEveryViewAndRebuildTheSharedLists) {
  for (int page : {pgKeys, pgBuildings, pgCylinders, pgDoors, pgUsers, pgHistory}) View(page);
  Record(icBuilding, "Nordbau");
  RefreshAllFrames();
  for (int page : {pgKeys, pgBuildings, pgCylinders, pgDoors, pgUsers})
    EXPECT_EQ(View(page).refreshes, 1) << page;
  EXPECT_EQ(View(pgHistory).refreshes, 0);
  EXPECT_EQ(WinGlue().SeenLoadCount, a->LoadCount);
  EXPECT_EQ(BuildingList().Count(), 3);
  EXPECT_TRUE(pages.isEnabled());
  EXPECT_TRUE(WinGlue().WaitPanel.isNull());

  RefreshIfChanged();  // nothing read since
  EXPECT_EQ(View(pgKeys).refreshes, 1);
  ClearAllFrames();
  EXPECT_EQ(View(pgDoors).clears, 1);
  EXPECT_EQ(View(pgHistory).clears, 0);
}

// Another station saves while this one refreshes its views for an edit: the store is read
// again once the reservation is held anew, so the edit starts on the newest data.
TEST_F(Glue, LockForEditRereadsAfterTakingTheReservationAgain) {
  const int32_t key = Record(icKey, "K1");
  ASSERT_TRUE(a->Commit());
  TStation b("B");
  ASSERT_TRUE(b.Open(dir));
  auto saveFromB = [&](const std::string& remark) {
    TStoreWrite write(*b.db, {key});
    ASSERT_TRUE(write.Ok());
    b->SetField(key, "r", remark);
    ASSERT_TRUE(write.Commit());
  };
  RefreshAllFrames();
  saveFromB("first");
  int refreshes = 0;
  View(pgKeys).onRefresh = [&] {
    if (++refreshes == 1) saveFromB("second");
  };
  int ticket = 0;
  ASSERT_TRUE(LockForEdit(ticket));
  EXPECT_EQ(a->GetField(key, "r"), "second");
  EXPECT_EQ(WinGlue().SeenLoadCount, a->LoadCount);
  EXPECT_EQ(refreshes, 2);
  int other = 0;
  EXPECT_FALSE(b->Reserve(other));  // the reservation is held
  a->Release(ticket);
}

TEST_F(Glue, LockForEditAndLockCheckReportABusyStore) {
  const int32_t key = Record(icKey, "K1");
  ASSERT_TRUE(a->Commit());
  TStation b("B");
  ASSERT_TRUE(b.Open(dir));
  EXPECT_TRUE(CheckNoOtherStationLocks());
  ASSERT_TRUE(b->LockItem(key, false, 0));
  EXPECT_FALSE(CheckNoOtherStationLocks());
  ASSERT_EQ(ui.messages.size(), 1u);
  ui.Clear();

  int held = 0;
  ASSERT_TRUE(b->Reserve(held));
  int ticket = 0;
  EXPECT_FALSE(LockForEdit(ticket));
  EXPECT_FALSE(CheckNoOtherStationLocks());
  EXPECT_EQ(ui.AllText(), CoreText(27) + "\n" + CoreText(27));
  b->Release(held);
}

// ---------------------------------------------------------------------------------------
// Lists and combos

TEST_F(Glue, LockingSystemListsComeInTheirOrder) {
  Vocabulary().keySystemNames[1] = "Anlage1";
  Vocabulary().keySystemNames[3] = "Zentral";
  const int32_t north = Record(icBuilding, "Nordbau", 1001);
  const int32_t old = Record(icBuilding, "altbau", 1001);
  Record(icBuilding, "Mitte", 0);
  for (int page : {pgBuildings, pgDoors, pgKeys, pgCabinets}) View(page);
  BuildLockingSystemList();

  const std::string own = "eigene Anlage", atBuilding = "am Geb\xE4" "ude";
  EXPECT_EQ(Entries(View(pgBuildings).systemCombo),
            (std::vector<TEntry>{{"-", 0}, {own, 1001}, {"Anlage1", 1}, {"Zentral", 3}}));
  EXPECT_EQ(Entries(View(pgDoors).systemCombo),
            (std::vector<TEntry>{{"-", 0}, {atBuilding, 1001}, {"Anlage1", 1}, {"Zentral", 3}}));
  const std::vector<TEntry> shared = {{"-", 0},
                                      {"altbau", 1001 + old},
                                      {"Nordbau", 1001 + north},
                                      {"Anlage1", 1},
                                      {"Zentral", 3}};
  EXPECT_EQ(Entries(View(pgKeys).systemCombo), shared);
  EXPECT_EQ(Entries(LockingSystemList()), shared);
  std::vector<TEntry> filter = shared;
  filter[0].text = "ohne Schlie\xDF" "anlage";
  filter.insert(filter.begin(), TEntry{"alle Schlie\xDF" "anlagen", ksAll});
  EXPECT_EQ(Entries(View(pgKeys).filterCombo), filter);
  EXPECT_EQ(Entries(View(pgCabinets).filterCombo), filter);
  EXPECT_EQ(View(pgKeys).filterCombo.currentIndex(), 0);  // nothing chosen: "alle"

  // A refill keeps what was chosen.
  SelectComboById(&View(pgKeys).systemCombo, 3);
  SelectComboById(&View(pgKeys).filterCombo, 1001 + north);
  Vocabulary().keySystemNames[2] = "Beta";
  BuildLockingSystemList();
  EXPECT_EQ(GetComboId(&View(pgKeys).systemCombo, -1), 3);
  EXPECT_EQ(GetComboId(&View(pgKeys).filterCombo, -1), 1001 + north);

  EXPECT_EQ(FindLockingSystemByName("  zentral "), 3);
  EXPECT_EQ(FindLockingSystemByName("NORDBAU"), 1001 + north);
  EXPECT_EQ(FindLockingSystemByName("Gamma"), 0);

  QComboBox combo;
  FillLockingSystemCombo(&combo, false);
  EXPECT_EQ(Entries(combo).front(), (TEntry{"altbau", 1001 + old}));
  FillLockingSystemCombo(&combo, true);
  EXPECT_EQ(Entries(combo).front(), (TEntry{"-", 0}));
}

TEST_F(Glue, ComboObjectRules) {
  QComboBox combo;
  AddComboItem(&combo, "-", 0);
  AddComboItem(&combo, "am Geb\xE4" "ude", 1001);
  AddComboItem(&combo, "Anlage1", 1);
  SelectComboObject(&combo, 1);
  EXPECT_EQ(combo.currentIndex(), 2);
  SelectComboObject(&combo, 1005);  // a building's own system that is not listed
  EXPECT_EQ(combo.currentIndex(), 1);
  EXPECT_EQ(GetComboObjectId(&combo, 1017), 1017);  // 1001 stands for the default
  SelectComboObject(&combo, 7);
  EXPECT_EQ(combo.currentIndex(), -1);
  EXPECT_EQ(GetComboObjectId(&combo, 5), 0);
  QComboBox filter;
  AddComboItem(&filter, "alle", ksAll);
  AddComboItem(&filter, "Anlage1", 1);
  filter.setCurrentIndex(-1);
  EXPECT_EQ(GetComboObjectId(&filter, 5), ksAll);

  TQStringList list;
  list.AddObject("x", 4);
  list.AddObject("y", 1);
  RefillComboKeepId(&combo, list);  // "Anlage1" was not selected: the first entry
  EXPECT_EQ(combo.currentIndex(), 0);
  combo.setCurrentIndex(1);
  list.InsertObject(0, "w", 9);
  RefillComboKeepId(&combo, list);
  EXPECT_EQ(GetComboId(&combo, -1), 1);
  RefillComboKeepId(&combo, TQStringList());  // an empty list changes nothing
  EXPECT_EQ(combo.count(), 3);
}

TEST_F(Glue, BuildingListAndItemListFillers) {
  const int32_t b2 = Record(icBuilding, "Zeughaus");
  const int32_t b1 = Record(icBuilding, "Altbau");
  const int32_t gone = Record(icBuilding, "Abriss");
  a->MarkDeleted(gone);
  View(pgDoors);
  BuildBuildingList();
  EXPECT_EQ(Entries(View(pgDoors).buildingCombo),
            (std::vector<TEntry>{{"alle Geb\xE4" "ude", 0},
                                 {"ohne Geb\xE4" "ude-Zuordnung", ksAll},
                                 {"Altbau", b1},
                                 {"Zeughaus", b2}}));

  QComboBox combo;
  FillListFromItemList(&combo, ListOf({b2, b1, gone}), true, b1);
  EXPECT_EQ(Entries(combo), (std::vector<TEntry>{{"-", 0}, {"Altbau", b1}, {"Zeughaus", b2}}));
  EXPECT_EQ(combo.currentIndex(), 1);
  // The record to select is listed even when deleted.
  FillListFromItemList(&combo, ListOf({b2, b1, gone}), false, gone);
  EXPECT_EQ(GetComboId(&combo, -1), gone);
  combo.setCurrentIndex(2);
  FillListFromItemList(&combo, ListOf({b2, b1}), false, ksAll);  // keeps the selection
  EXPECT_EQ(GetComboId(&combo, -1), b2);

  a->SetField(b2, "ks", "1001");
  FillComboWithBuildings(&combo, 0, 1001 + b2);
  EXPECT_EQ(Entries(combo), (std::vector<TEntry>{{"Zeughaus", b2}}));
}

TEST_F(Glue, ClearListObjectsDropsEveryEntryWithoutObject) {
  TQStringList list;
  list.AddObject("a", 0);
  list.AddObject("b", 2);
  list.AddObject("c", 0);
  list.AddObject("d", 1);
  list.AddObject("e", 0);
  ClearListObjects(list);
  EXPECT_EQ(Entries(list), (std::vector<TEntry>{{"b", 2}, {"d", 1}}));
}

struct SearchList : Glue {
  std::unique_ptr<TQStringList> Fill(const TItemList& ids, const std::string& search,
                                     int32_t system = ksAll, bool plain = false,
                                     TQStringList* suggestions = nullptr,
                                     const TListTextFormatter& formatter = {}) {
    return FillSearchList(icKey, ids, search, suggestions, nullptr, system, 0, plain, formatter);
  }
  static std::vector<std::string> Texts(const TQStringList& list) {
    std::vector<std::string> out;
    for (const TStringItem& item : list.Items()) out.push_back(item.text);
    return out;
  }
};

TEST_F(SearchList, SearchTermsFiltersAndEmptyTexts) {
  const int32_t t1 = Record(icKey, "T\xFCr 2", 1);
  const int32_t t2 = Record(icKey, "T\xFCr 1", 2);
  const int32_t office = Record(icKey, "B\xFCro Nord", 1);
  const int32_t unnamed = Record(icKey, "", 1);
  const int32_t gone = Record(icKey, "T\xFCr 3", 1);
  a->MarkDeleted(gone);
  const TItemList ids = ListOf({t1, t2, office, unnamed, gone});

  EXPECT_EQ(Texts(*Fill(ids, "")),
            (std::vector<std::string>{"B\xFCro Nord", "T\xFCr 1", "T\xFCr 2"}));
  EXPECT_EQ(Texts(*Fill(ids, "  " + ShowAllText() + " ")), Texts(*Fill(ids, "")));
  EXPECT_EQ(Texts(*Fill(ids, "t\xFCr")), (std::vector<std::string>{"T\xFCr 1", "T\xFCr 2"}));
  EXPECT_EQ(Texts(*Fill(ids, "nord b\xDCro")), (std::vector<std::string>{"B\xFCro Nord"}));
  EXPECT_EQ(Texts(*Fill(ids, "", 1)), (std::vector<std::string>{"B\xFCro Nord", "T\xFCr 2"}));
  EXPECT_EQ(Texts(*Fill(ids, "", 2)), (std::vector<std::string>{"T\xFCr 1"}));
  EXPECT_EQ(Fill(ids, "", 3)->Count(), 0);
  auto list = Fill(ids, "t\xFCr 1");
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ(list->GetObject(0), t2);
}

TEST_F(SearchList, TheTextAfterATabIsSearchedOnlyWithPlainMatching) {
  const int32_t p = Record(icKey, "Meier\tVerwaltung");
  EXPECT_EQ(Fill(ListOf({p}), "verw")->Count(), 0);
  EXPECT_EQ(Fill(ListOf({p}), "verw", ksAll, true)->Count(), 1);
}

TEST_F(SearchList, SuggestionsKeepNameBeginningsSharedByTwoRecords) {
  const TItemList ids = ListOf({Record(icKey, "T\xFCr 1"), Record(icKey, "t\xFCr 2"),
                                Record(icKey, "Lager West 1"), Record(icKey, "Lager West 2"),
                                Record(icKey, "Lager West 3"), Record(icKey, "B\xFCro A"),
                                Record(icKey, "Haupteingang"), Record(icKey, "Keller 1\tIT"),
                                Record(icKey, "Keller 2\tIT")});
  TQStringList suggestions;
  suggestions.AddObject("stale", 5);
  Fill(ids, "", ksAll, false, &suggestions);
  EXPECT_EQ(Entries(suggestions), (std::vector<TEntry>{{ShowAllText(), 0},
                                                       {"T\xFCr", 1},
                                                       {"Lager West", 2},
                                                       {"Keller", 1}}));
  // Only the records kept by the search offer their names.
  Fill(ids, "lager", ksAll, false, &suggestions);
  EXPECT_EQ(Entries(suggestions), (std::vector<TEntry>{{ShowAllText(), 0}, {"Lager West", 2}}));
}

TEST_F(SearchList, AnOvertakenRefreshReturnsNoList) {
  struct TBumping : TRecordingInteraction {
    int* counter = nullptr;
    void ProcessPendingEvents() override { ++*counter; }
  } bumping;
  int counter = 7;
  bumping.counter = &counter;
  TUserInteractionScope scope(bumping);
  TItemList many;
  for (int i = 0; i < 40; ++i) many.Add(Record(icKey, "K" + std::to_string(i)));
  TQStringList suggestions;
  suggestions.AddObject("kept", 3);
  EXPECT_EQ(FillSearchList(icKey, many, "", &suggestions, &counter, ksAll, 0, false, {}), nullptr);
  EXPECT_EQ(Entries(suggestions), (std::vector<TEntry>{{"kept", 3}}));

  // Fewer than 16 records are never interrupted; without a counter nothing is asked.
  TItemList few;
  for (int i = 0; i < 16; ++i) few.Add(many.Get(i));
  EXPECT_NE(FillSearchList(icKey, few, "", nullptr, &counter, ksAll, 0, false, {}), nullptr);
  EXPECT_NE(FillSearchList(icKey, many, "", nullptr, nullptr, ksAll, 0, false, {}), nullptr);

  // The list box keeps its old entries when overtaken.
  QListWidget list;
  AddListItem(&list, "old", 1);
  EXPECT_FALSE(FillItemListBox(&list, icKey, many, nullptr, 0, ksAll, &counter));
  ASSERT_EQ(list.count(), 1);
  EXPECT_EQ(list.item(0)->text(), "old");
  EXPECT_TRUE(list.isEnabled());
}

TEST_F(SearchList, GroupHeadingsAreInsertedOnceWithTheirEntriesBelow) {
  const int32_t mother = Record(icKey, "Generalschl\xFC" "ssel");
  const int32_t d1 = Record(icKey, "Kopie 2");
  const int32_t d2 = Record(icKey, "Kopie 1");
  const int32_t other = Record(icKey, "Anbau");
  const int32_t last = Record(icKey, "Zaun");
  const int32_t mother2 = Record(icKey, "Hof");
  const int32_t d3 = Record(icKey, "Kopie 3");
  std::map<int32_t, int32_t> groupOf = {{d1, mother}, {d2, mother}, {d3, mother2}};
  TListTextFormatter formatter = [&](int32_t id, uint8_t) {
    TListEntryText entry;
    entry.text = a->GetName(id);
    entry.sortKey = entry.text;
    auto it = groupOf.find(id);
    if (it != groupOf.end()) entry.group = it->second;
    return entry;
  };
  // The first mother is not among the IDs, the second one is: each heads once.
  auto list = Fill(ListOf({d1, last, d2, other, mother2, d3}), "", ksAll, false, nullptr,
                   formatter);
  EXPECT_EQ(Entries(*list), (std::vector<TEntry>{{"Anbau", other},
                                                 {"Generalschl\xFC" "ssel", mother},
                                                 {" \xBB Kopie 1", d2},
                                                 {" \xBB Kopie 2", d1},
                                                 {"Hof", mother2},
                                                 {" \xBB Kopie 3", d3},
                                                 {"Zaun", last}}));

  // Many headings: each still once, right above its entry.
  TItemList children;
  for (int i = 0; i < 40; ++i) {
    const int32_t head = Record(icKey, "M" + std::to_string(100 + i));
    const int32_t copy = Record(icKey, "C" + std::to_string(100 + i));
    groupOf[copy] = head;
    children.Add(copy);
  }
  list = Fill(children, "", ksAll, false, nullptr, formatter);
  ASSERT_EQ(list->Count(), 80);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(list->Get(2 * i), "M" + std::to_string(100 + i));
    EXPECT_EQ(list->Get(2 * i + 1), " \xBB C" + std::to_string(100 + i));
  }
}

// The order compares whole keys byte by byte, however long their common beginning, and
// keeps records with equal keys in the order of the IDs.
TEST_F(SearchList, EntriesFollowTheirWholeSortKeys) {
  const std::string a16(16, 'A');
  const std::vector<std::string> keys = {
      a16 + "B",  a16,         "\xFF",  a16 + "\x01", "", a16 + "A" + std::string(30, 'z'),
      a16 + "A",  "\x80" "abc", "A",     a16 + "\xFF", a16 + "A" + std::string(30, 'y'), a16 + "B"};
  std::map<int32_t, std::string> keyOf;
  TItemList ids;
  for (size_t i = 0; i < keys.size(); ++i) {
    const int32_t id = Record(icKey, "K" + std::to_string(i));
    keyOf[id] = keys[i];
    ids.Add(id);
  }
  TListTextFormatter formatter = [&](int32_t id, uint8_t) {
    TListEntryText entry;
    entry.text = a->GetName(id);
    entry.sortKey = keyOf[id];
    return entry;
  };
  auto list = Fill(ids, "", ksAll, false, nullptr, formatter);
  EXPECT_EQ(Texts(*list), (std::vector<std::string>{"K4", "K8", "K1", "K3", "K6", "K10", "K5",
                                                    "K0", "K11", "K9", "K7", "K2"}));
}

// Name beginnings of many records: each counted however often and in whatever case it
// comes, listed in the order first seen with its first spelling.
TEST_F(SearchList, SuggestionsOfManyRecords) {
  TItemList ids;
  for (int round = 0; round < 3; ++round)
    for (int i = 0; i < 200; ++i)
      if (round < 2 || i % 2 == 0)
        ids.Add(Record(icKey, (round == 1 ? "SCHRANK " : "Schrank ") + std::to_string(i) + " " +
                                  std::to_string(round)));
  ids.Add(Record(icKey, "Einzeln 1"));
  TQStringList suggestions;
  Fill(ids, "", ksAll, false, &suggestions);
  ASSERT_EQ(suggestions.Count(), 201);
  EXPECT_EQ(suggestions.Get(0), ShowAllText());
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(suggestions.Get(i + 1), "Schrank " + std::to_string(i));
    EXPECT_EQ(suggestions.GetObject(i + 1), i % 2 == 0 ? 2 : 1);
  }
}

TEST_F(SearchList, ItemListBoxKeepsTheSelectionAndOffersSuggestions) {
  const int32_t k1 = Record(icKey, "Tor 1");
  const int32_t k2 = Record(icKey, "Tor 2");
  const int32_t k3 = Record(icKey, "Garage");
  QWidget parent;
  auto* list = new QListWidget(&parent);
  QComboBox search;
  search.setEditable(true);
  search.setEditText("tor");
  FillItemListBox(list, icKey, ListOf({k1, k2, k3}), &search, 0, ksAll, nullptr);
  ASSERT_EQ(list->count(), 2);
  list->setCurrentRow(1);
  EXPECT_EQ(ListItemId(list, 1), k2);
  EXPECT_EQ(Entries(search), (std::vector<TEntry>{{ShowAllText(), 0}, {"Tor", 1}}));
  EXPECT_EQ(search.currentText(), "tor");
  search.setEditText("");
  ASSERT_TRUE(FillItemListBox(list, icKey, ListOf({k1, k2, k3}), &search, 0, ksAll, nullptr));
  EXPECT_EQ(list->count(), 3);
  EXPECT_EQ(ListItemId(list, list->currentRow()), k2);
  EXPECT_TRUE(list->isEnabled());
}

TEST_F(SearchList, SplitRecordsStandBelowTheirMother) {
  const int32_t mother = Record(icKey, "Haupt");
  const int32_t before = Record(icKey, "Anbau");
  const int32_t after = Record(icKey, "Zaun");
  const int32_t daughter = a->DuplicateLinked(mother);
  ASSERT_NE(daughter, 0);
  EXPECT_EQ(Entries(*Fill(ListOf({after, daughter, mother, before}), "")),
            (std::vector<TEntry>{{"Anbau", before},
                                 {"Haupt", mother},
                                 {" \xBB Haupt", daughter},
                                 {"Zaun", after}}));
  // Without the mother among the IDs she still heads her daughter.
  EXPECT_EQ(Entries(*Fill(ListOf({daughter, after}), "")),
            (std::vector<TEntry>{{"Haupt", mother}, {" \xBB Haupt", daughter}, {"Zaun", after}}));
}

TEST_F(Glue, KeysSortedByClosingGetGapsBetweenGroups) {
  ViewOptions().variant[icKey] = 2;
  QListWidget list;
  const TItemList ids = ListOf({Record(icKey, "K1\t100"), Record(icKey, "K2\t200")});
  ASSERT_TRUE(FillItemListBox(&list, icKey, ids, nullptr, 0, ksAll, nullptr));
  ASSERT_EQ(list.count(), 2);
  EXPECT_GT(list.item(0)->sizeHint().height(), 0);
  ResetViewOptions();
  ASSERT_TRUE(FillItemListBox(&list, icKey, ids, nullptr, 0, ksAll, nullptr));
  EXPECT_EQ(list.item(0)->sizeHint().height(), -1);
}

TEST_F(Glue, ViewSortTextListsTheClassesWithOptions) {
  ResetViewOptions();
  ViewOptions().naturalNames[3] = true;
  ViewOptions().variant[12] = 1;
  ViewOptions().naturalNames[0x1F] = true;
  ViewOptions().variant[0x1F] = 2;
  const std::string text = ViewSortText();
  EXPECT_EQ(text, "3=10\tC=01\t1F=12\t");
  ResetViewOptions();
  ApplyViewSortText(text);  // what the login reads back
  EXPECT_TRUE(ViewOptions().naturalNames[3]);
  EXPECT_EQ(ViewOptions().variant[12], 1);
  EXPECT_EQ(ViewOptions().variant[0x1F], 2);
  ResetViewOptions();
}

TEST_F(Glue, PersonsTermReachesTabHoldersAndViews) {
  View(pgPersons);
  View(pgHistory);
  SetPersonsTerms("Kollege", "");
  EXPECT_EQ(PersonTerm(), "Kollege");
  EXPECT_EQ(HolderKindNames()[okPerson], "Kollege");
  EXPECT_EQ(FromQString(pages.tabText(pgPersons)), "Kollege");
  EXPECT_EQ(View(pgPersons).termChanges, 1);
  EXPECT_EQ(View(pgHistory).termChanges, 1);
  SetPersonsTerms("", "Bereich");
  EXPECT_EQ(PersonTerm(), "Kollege");
  EXPECT_EQ(DepartmentTerm(), "Bereich");
  InitHolderKindNames();
}

TEST_F(Glue, GroupGapsFollowTheLastEntryOfEachGroup) {
  QListWidget list;
  for (const char* text : {"K1\t100", "K2\t100", "K3\t200", "K4\t300", "K5\t300"})
    list.addItem(text);
  ApplyGroupGaps(&list);
  const int normal = list.fontMetrics().height() + 2;
  std::vector<int> heights;
  for (int i = 0; i < list.count(); ++i) heights.push_back(list.item(i)->sizeHint().height());
  const int gap = normal / 4 * 7;
  EXPECT_EQ(heights, (std::vector<int>{-1, gap, gap, -1, -1}));
}

TEST_F(Glue, LinkListTicksTheLinkedRecordsFirst) {
  const int32_t owner = Record(icKey, "Owner 1");
  const int32_t d1 = Record(icDoor, "Raum 2");
  const int32_t d2 = Record(icDoor, "Raum 1");
  const int32_t d3 = Record(icDoor, "Flur 1");
  const int32_t d4 = Record(icDoor, "Flur 2", 2);
  QListWidget list;
  QComboBox search;
  search.setEditable(true);
  TItemList linked = ListOf({d1});
  FillListKeepSelection(&list, icDoor, linked, 0, ksAll, owner, 0, true, &search);
  ASSERT_EQ(list.count(), 4);
  EXPECT_EQ(ListItemId(&list, 0), d1);
  EXPECT_EQ(list.item(0)->checkState(), Qt::Checked);
  EXPECT_EQ(ListItemId(&list, 1), d3);
  EXPECT_EQ(list.item(1)->checkState(), Qt::Unchecked);
  EXPECT_EQ(Entries(search), (std::vector<TEntry>{{ShowAllText(), 0}, {"Flur", 1}}));

  FillListKeepSelection(&list, icDoor, linked, 0, 2, owner, 0, true, &search);
  EXPECT_EQ(list.count(), 2);  // d1 linked, d4 in system 2
  FillListKeepSelection(&list, icDoor, linked, 0, ksAll, owner, 0, false, &search);
  EXPECT_EQ(list.count(), 1);

  FillListKeepSelection(&list, icDoor, linked, 0, ksAll, owner, 0, true, nullptr);
  list.item(0)->setCheckState(Qt::Unchecked);
  list.item(3)->setCheckState(Qt::Checked);
  SyncCheckedItems(&list, linked);
  ASSERT_EQ(linked.Count(), 1);
  EXPECT_EQ(linked.Get(0), ListItemId(&list, 3));
  (void)d2;
  (void)d4;
}

// ---------------------------------------------------------------------------------------
// Export and links

QTableWidget* MakeGrid(QWidget* parent) {
  auto* grid = new QTableWidget(parent);
  SetGridColCount(grid, 3);
  SetGridRowCount(grid, 4);
  const char* cells[4][3] = {{"Name", "Bemerkung", "Nr"},
                             {"T\xFCr 1", "zwei\r\nZeilen", "1"},
                             {"Tor", "mit\tTab", "2"},
                             {"Hof", "", "3"}};
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 3; ++col) SetGridCell(grid, col, row, cells[row][col]);
  return grid;
}

TEST_F(Glue, ExportedCellsNeverShiftTheColumns) {
  QWidget parent;
  QTableWidget* grid = MakeGrid(&parent);
  std::vector<std::string> lines;
  auto writer = [&lines](const std::string& line, bool flag) {
    EXPECT_TRUE(flag);
    lines.push_back(line);
    return true;
  };
  ASSERT_TRUE(ExportGridLines(grid, writer, true, false));
  EXPECT_EQ(lines, (std::vector<std::string>{"Name\tBemerkung\tNr", "T\xFCr 1\tzwei  Zeilen\t1",
                                             "Tor\tmit Tab\t2", "Hof\t\t3"}));
  lines.clear();
  // Table rows 1 and 2 are grid rows 2 and 3 (the header is grid row 0).
  for (int row : {2, 1})
    grid->selectionModel()->select(grid->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
  ASSERT_TRUE(ExportGridLines(grid, writer, true, true));
  EXPECT_EQ(lines, (std::vector<std::string>{"Tor\tmit Tab\t2", "Hof\t\t3"}));
  EXPECT_FALSE(ExportGridLines(grid, [](const std::string&, bool) { return false; }, true, false));

  const std::string file = dir.File("liste.csv");
  ASSERT_TRUE(ExportListToFile(grid, file, false));
  EXPECT_EQ(ReadAllBytes(file),
            "Name\tBemerkung\tNr\r\nT\xFCr 1\tzwei  Zeilen\t1\r\nTor\tmit Tab\t2\r\nHof\t\t3\r\n");
  WriteAllBytes(dir.File("datei"), "x");
  EXPECT_FALSE(ExportListToFile(grid, dir.File("datei/liste.csv"), false));
}

TEST_F(Glue, AFailedExportKeepsTheOldFileAndCellsReadBack) {
  QWidget parent;
  QTableWidget* grid = MakeGrid(&parent);
  SetGridCell(grid, 2, 3, "");            // a row ending in an empty cell keeps its columns
  SetGridCell(grid, 1, 2, "\"Zitat\" vorn");  // would be read as a quoted field
  const std::string file = dir.File("liste.csv");
  WriteAllBytes(file, "alt");
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Write ? ENOSPC : 0; });
    EXPECT_FALSE(ExportListToFile(grid, file, false));
  }
  EXPECT_EQ(ReadAllBytes(file), "alt");
  ASSERT_TRUE(ExportListToFile(grid, file, false));
  EXPECT_EQ(ReadAllBytes(file), "Name\tBemerkung\tNr\r\nT\xFCr 1\tzwei  Zeilen\t1\r\n"
                                "Tor\t\"\"\"Zitat\"\" vorn\"\t2\r\nHof\t\t\r\n");
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_NE(entry.path().filename().string()[0], '~');
}

// The office program as this machine has it is not what the tests ask about: no registry
// entry and an empty PATH, or a stand-in suite on PATH.
struct TOfficeScope {
  TRegistryTestRoot registry;
  TTempDir bin;
  std::string oldPath;
  explicit TOfficeScope(bool withSpreadsheetPart) {
    if (const char* p = std::getenv("PATH")) oldPath = p;
    WriteAllBytes(bin.File("soffice"), "#!/bin/sh\n");
    chmod(bin.File("soffice").c_str(), 0755);
    if (withSpreadsheetPart) WriteAllBytes(bin.File("libsclo.so"), "");
    setenv("PATH", bin.Path().c_str(), 1);
    ResetOfficeLookup();
  }
  ~TOfficeScope() {
    setenv("PATH", oldPath.c_str(), 1);
    ResetOfficeLookup();
  }
};

TEST_F(Glue, OfficeCheckIsAboutReadingSpreadsheets) {
  {
    // Workbooks the imports read themselves; other spreadsheets need the office program.
    TOfficeScope office(false);
    for (const char* name : {"a.CSV", "a.txt", "a.xls", "b.XLSX", "dir.x/a.xlsm"})
      EXPECT_TRUE(CheckOfficeAvailable(name, false)) << name;
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(CheckOfficeAvailable("a.dbf", true));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(CheckOfficeAvailable("a.ods", false));
    EXPECT_EQ(ui.AllText(), WinText(6));
  }
  ui.Clear();
  TOfficeScope office(true);
  EXPECT_TRUE(CheckOfficeAvailable("a.xlsx", false));
  EXPECT_TRUE(CheckOfficeAvailable("a.ods", false));
  EXPECT_TRUE(CheckOfficeAvailable("a.DBF", false));
  EXPECT_FALSE(CheckOfficeAvailable("a.doc", false));
  EXPECT_EQ(ui.AllText(), WinText(6));
}

TEST_F(Glue, ExportDialogNeedsRightElevenAndWritesTextOrWorkbooks) {
  TOfficeScope office(false);  // writing needs no office program
  QWidget parent;
  QTableWidget* grid = MakeGrid(&parent);
  EXPECT_FALSE(ExportListDialog(grid, nullptr, false));  // before login every right is denied
  EXPECT_FALSE(ExportListDialog(grid, nullptr, true));
  EXPECT_EQ(UndrivenDialogCount(), 0);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, CoreText(66));
  ui.Clear();

  Session().LoggedIn = true;
  Session().RightLevels[rtPrintLists] = rlYes;
  auto choose = [](const std::string& file, const char* filter) {
    QueueDialogDriver([file, filter](QDialog& dialog) {
      auto& chooser = static_cast<QFileDialog&>(dialog);
      EXPECT_EQ(FromQString(chooser.windowTitle()), "Export");
      EXPECT_EQ(chooser.nameFilters(),
                (QStringList{QStringLiteral("Text / CSV (*.csv)"), QStringLiteral("Excel (*.xlsx)")}));
      if (filter) chooser.selectNameFilter(QString::fromLatin1(filter));
      chooser.selectFile(ToQString(file));
      dialog.accept();  // QFileDialog's own accept: takes the typed name
    });
  };
  choose(dir.File("Liste"), nullptr);
  EXPECT_TRUE(ExportListDialog(grid, nullptr, false));
  EXPECT_EQ(WinGlue().ExportFileName, "Liste");
  EXPECT_EQ(ReadAllBytes(dir.File("Liste.csv")).substr(0, 18), "Name\tBemerkung\tNr\r");

  // The Excel choice: a workbook; an old ".xls" name gets the old format under that name.
  choose(dir.File("Tabelle"), "Excel (*.xlsx)");
  EXPECT_TRUE(ExportListDialog(grid, nullptr, false));
  EXPECT_EQ(WinGlue().ExportFileName, "Tabelle");
  choose(dir.File("Alt.xls"), "Excel (*.xlsx)");
  EXPECT_TRUE(ExportListDialog(grid, nullptr, false));
  EXPECT_EQ(WinGlue().ExportFileName, "Alt");
  {
    const auto entries = ZipEntries(ReadAllBytes(dir.File("Tabelle.xlsx")));
    ASSERT_TRUE(entries.count("xl/worksheets/sheet1.xml"));
    const std::string& sheet = entries.at("xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<t>T\xC3\xBCr 1</t>"), std::string::npos);
    EXPECT_NE(sheet.find("<t>zwei  Zeilen</t>"), std::string::npos);
  }
  const std::string old = ReadAllBytes(dir.File("Alt.xls"));
  EXPECT_EQ(old.substr(0, 2), std::string("\x09\x08", 2));  // BOF of the old format
  EXPECT_NE(old.find("T\xFCr 1"), std::string::npos);
  EXPECT_NE(old.find("zwei  Zeilen"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Alt.xlsx")));
  EXPECT_TRUE(ui.messages.empty());

  // A file that cannot be written: the error of the export, nothing left behind.
  WriteAllBytes(dir.File("kein Ordner"), "x");
  choose(dir.File("kein Ordner/Liste.csv"), nullptr);
  EXPECT_FALSE(ExportListDialog(grid, nullptr, false));
  EXPECT_EQ(ui.AllText(), CoreText(74));
  ui.Clear();

  // Straight into the spreadsheet program: a workbook in the temporary folder, opened.
  std::vector<std::string> opened;
  WinGlue().ShellOpener = [&](const std::string& target) {
    opened.push_back(target);
    return true;
  };
  EXPECT_TRUE(ExportListDialog(grid, nullptr, true));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].substr(0, PfTempFolder().size() + 8), PfTempFolder() + "/~Export");
  EXPECT_EQ(opened[0].substr(opened[0].size() - 5), ".xlsx");
  EXPECT_TRUE(ZipEntries(ReadAllBytes(opened[0])).count("xl/worksheets/sheet1.xml"));
  EXPECT_TRUE(ui.messages.empty());
  DeleteTempFile(opened[0]);
  // No program to show it: said so; the workbook is there all the same.
  WinGlue().ShellOpener = [&](const std::string& target) {
    opened.push_back(target);
    return false;
  };
  EXPECT_TRUE(ExportListDialog(grid, nullptr, true));
  EXPECT_EQ(ui.AllText(), WinText(6));
  DeleteTempFile(opened.back());
}

TEST_F(Glue, LinksOpenOnlyWhenAllowed) {
  std::vector<std::string> opened;
  std::vector<int> waits;
  WinGlue().ShellOpener = [&](const std::string& target) {
    opened.push_back(target);
    return true;
  };
  WinGlue().Sleeper = [&](int ms) { waits.push_back(ms); };
  QWidget button;
  EXPECT_TRUE(OpenInternetLinkFrom(&button, "https://example.org"));
  EXPECT_EQ(opened, std::vector<std::string>{"https://example.org"});
  EXPECT_EQ(waits, (std::vector<int>{200, 200}));
  EXPECT_TRUE(button.isEnabled());

  WinGlue().WebLinks = false;
  EXPECT_FALSE(OpenInternetLink("https://example.org/b"));
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_EQ(ui.AllText(), WinText(7) + "\r\rhttps://example.org/b");

  // A transfer document is shown by the issue and return view when it exists.
  WinGlue().HelpFolder = dir.Dir();
  EXPECT_FALSE(ShowTransferDocument("a.html"));
  std::filesystem::create_directories(dir.Path() / "transfer");
  WriteAllBytes(dir.File("transfer/a.html"), "<p/>");
  EXPECT_FALSE(ShowTransferDocument("a.html"));  // no view yet
  View(pgIssueReturn);
  EXPECT_TRUE(ShowTransferDocument("a.html"));
  ASSERT_EQ(View(pgIssueReturn).documents.size(), 1u);
  EXPECT_EQ(View(pgIssueReturn).documents[0], "file://" + dir.Dir() + "transfer/a.html");
}

// A web or mail link for which no program is found says so instead of doing nothing:
// where the opener fails at once, and where the desktop's opener ends with an error.
TEST_F(Glue, ALinkWithoutAProgramToOpenItSaysSo) {
  const std::string noBrowser = "Es wurde kein Browser gefunden, der diese Adresse \xF6"
                                "ffnen kann.";
  const std::string noMail = "Es wurde kein E-Mail-Programm gefunden, das diese Adresse \xF6"
                             "ffnen kann.";
  WinGlue().Sleeper = [](int) {};
  WinGlue().ShellOpener = [](const std::string&) { return false; };
  EXPECT_FALSE(OpenInternetLink("https://example.org"));
  EXPECT_EQ(ui.AllText(), noBrowser + "\r\rhttps://example.org");
  ui.messages.clear();
  QWidget label;
  EXPECT_FALSE(OpenInternetLinkFrom(&label, "mailto:info@example.org"));
  EXPECT_EQ(ui.AllText(), noMail + "\r\rmailto:info@example.org");
  EXPECT_TRUE(label.isEnabled());
  ui.messages.clear();

  // The desktop's opener (xdg-open) answers later, by its exit code: 3 when it knows no
  // program, 0 when one took the address.
  WinGlue().ShellOpener = nullptr;
  const std::string bin = dir.Dir() + "bin/";
  std::filesystem::create_directories(bin);
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  setenv("PATH", bin.c_str(), 1);
  // Until the message came, or a while for the opener that ends well.
  auto waitForAnswer = [this](bool message) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < (message ? 20000 : 1500) && !(message && !ui.messages.empty()))
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  };
  for (const auto& [exitCode, said] : std::vector<std::pair<int, bool>>{{3, true}, {0, false}}) {
    const std::string opener = bin + "xdg-open";
    WriteAllBytes(opener, "#!/bin/sh\nexit " + std::to_string(exitCode) + "\n");
    chmod(opener.c_str(), 0755);
    EXPECT_TRUE(OpenInternetLink("https://example.org/" + std::to_string(exitCode)));
    waitForAnswer(said);
    EXPECT_EQ(ui.AllText(), said ? noBrowser + "\r\rhttps://example.org/3" : std::string())
        << exitCode;
    ui.messages.clear();
  }
  setenv("PATH", savedPath.c_str(), 1);
}

// ---------------------------------------------------------------------------------------
// Captions, wait text, layout

TEST_F(Glue, WaitTextDisablesThePages) {
  QWidget window;
  window.resize(600, 400);
  WinGlue().MainWindow = &window;
  ShowWaitText("eins");
  ShowWaitText("zwei");
  EXPECT_FALSE(pages.isEnabled());
  ASSERT_FALSE(WinGlue().WaitPanel.isNull());
  EXPECT_EQ(window.findChildren<TWaitPanel*>().size(), 1);
  HideWaitText();
  EXPECT_TRUE(pages.isEnabled());
  EXPECT_TRUE(window.findChildren<TWaitPanel*>().isEmpty());
}

TEST_F(Glue, AboutLineAndTitleShowTimeTravel) {
  EXPECT_EQ(FormatAboutLine(""), "Tessaro  -  Schl\xFC" "sselverwaltung");
  EXPECT_EQ(FormatAboutLine("x"), "Tessaro  -  Schl\xFC" "sselverwaltung  -  x");
  EXPECT_EQ(SetAppTitle(""), "Tessaro");
  EXPECT_EQ(SetAppTitle("Firma"), "Tessaro  -  Firma");
  // The window system appends a set display name to every window title once more.
  EXPECT_EQ(QApplication::applicationDisplayName(), QApplication::applicationName());
  TMandantState state;
  TMandantStateScope scope(state);
  state.TimeTravelMode = true;
  EXPECT_EQ(SetAppTitle(""), "Tessaro  -  Zeitreise");
  EXPECT_EQ(FormatAboutLine("", false), "Tessaro  -  Schl\xFC" "sselverwaltung");
  EXPECT_EQ(FormatAboutLine("").rfind("Tessaro  -  Schl\xFC" "sselverwaltung  -  Zeitreise zum "
                                      "Datenbankstand ", 0),
            0u);
}

TEST_F(Glue, ButtonsAreLaidOutWithoutGaps) {
  QWidget panel;
  panel.resize(300, 30);
  std::vector<QPushButton*> buttons;
  for (const char* caption : {"Neu", "\xC4ndern", "L\xF6schen"}) {
    auto* button = new QPushButton(QString::fromLatin1(caption), &panel);
    button->move(300 - 50 * static_cast<int>(buttons.size()), 0);
    buttons.push_back(button);
  }
  std::vector<QWidget*> list;
  CollectSpeedButtons(&panel, list);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0], &panel);
  EXPECT_EQ(list[1], buttons[2]);  // sorted by position
  ArrangeButtons(list);
  EXPECT_EQ(buttons[2]->geometry(), QRect(0, 0, 80, buttons[2]->height()));
  EXPECT_EQ(buttons[0]->x(), 160);
  buttons[1]->hide();
  panel.resize(100, 30);
  ArrangeButtons(list);
  EXPECT_EQ(buttons[2]->x(), 0);
  EXPECT_GE(buttons[2]->width(), 60);
  EXPECT_EQ(buttons[0]->x(), buttons[2]->width());
}

TEST_F(Glue, CaptionFontShrinksToEightPointsAtMost) {
  QLabel label;
  label.resize(40, 20);
  FitCaptionFont(&label, "Ein sehr langer Titel, der nicht passt");
  EXPECT_EQ(label.font().pointSize(), 8);
  label.resize(2000, 20);
  FitCaptionFont2(&label);
  EXPECT_EQ(label.font().pointSize(), 10);
}

TEST_F(Glue, TextListsGoToTheInstalledPrinter) {
  EXPECT_FALSE(PrintTextList({"a"}));  // nothing to print with yet
  std::string printedText;
  std::string printedFile;
  WinGlue().TextFilePrinter = [&](const std::string& file) {
    printedFile = file;
    printedText = ReadAllBytes(file);
    return true;
  };
  EXPECT_TRUE(PrintTextList({"eins", "zwei"}));
  EXPECT_EQ(printedText, "eins\r\nzwei\r\n");
  EXPECT_FALSE(std::filesystem::exists(printedFile));
}

TEST_F(Glue, StandardMessagesUseTheCoreTexts) {
  ShowLockFailed();
  ShowMsgText28("datei.txt");
  ShowMsgNumber(300);
  ShowNotInEditMode();
  ASSERT_EQ(ui.messages.size(), 4u);
  EXPECT_EQ(ui.messages[0].text, "Kein Schreibzugriff m\xF6glich.");
  EXPECT_EQ(ui.messages[1].text, CoreText(28) + "\rdatei.txt");
  EXPECT_EQ(ui.messages[2].text, CoreTextFmt(33, "44"));
  EXPECT_EQ(ui.messages[3].kind, TMsgKind::Info);
  EXPECT_EQ(ui.messages[3].text, WinText(1));
}

TEST_F(Glue, OpeningAnotherClientsDataForgetsWhatBelongedToTheOldOne) {
  View(pgKeys);
  WinGlue().PreviousPage = pgDoors;
  WinGlue().SeenLoadCount = 9;
  BuildLockingSystemList();
  Session().LoggedIn = true;
  Session().CurrentUserId = 4;
  TMandantState state;
  TMandantStateScope scope(state);
  state.HasCurrentMandant = true;
  state.CurrentMandant.Active = true;  // a sandbox copy
  ResetForClientData();
  EXPECT_EQ(WinGlue().PreviousPage, -1);
  EXPECT_EQ(WinGlue().SeenLoadCount, 0);
  EXPECT_FALSE(WinGlue().LockingSystemsBuilt);
  EXPECT_FALSE(Session().LoggedIn);
  EXPECT_EQ(Session().CurrentUserId, 0);
  EXPECT_TRUE(state.SandboxMode);
  EXPECT_EQ(ViewOf(pgKeys), &View(pgKeys));
}

TEST_F(Glue, DatabaseDialogOffersTheStoreFiles) {
  Record(icKey, "K1");
  ASSERT_TRUE(a->Commit());  // the file exists: the chooser takes only existing files
  QueueDialogDriver([](QDialog& dialog) {
    auto& chooser = static_cast<QFileDialog&>(dialog);
    EXPECT_EQ(FromQString(chooser.windowTitle()), "Datenbank \xF6" "ffnen");
    EXPECT_EQ(FromQString(chooser.nameFilters().value(0)), "Tessaro Datenbank (Data*.ada Data*.adaX)");
    chooser.selectFile(QStringLiteral("Data.ada"));
    dialog.accept();
  });
  EXPECT_EQ(SelectDatabaseDialog(true), dir.Dir() + "Data.ada");
  QueueDialogDriver([](QDialog& dialog) { dialog.reject(); });
  EXPECT_EQ(SelectDatabaseDialog(false), "");
}

// ---------------------------------------------------------------------------------------
// Copying a user into the other clients' stores

struct CopyUser : ::testing::Test {
  TTempDir root;
  TMandantState state;
  std::unique_ptr<TMandantStateScope> scope;
  TScopedRecorder ui;
  TMandantList clients;
  std::unique_ptr<TStation> a;
  int32_t user = 0;

  static std::string Folder(const TTempDir& root, const std::string& name) {
    std::filesystem::create_directories(root.Path() / name);
    return root.Dir() + name + "/";
  }
  TMandantInfoRec Client(const std::string& name, const std::string& title) {
    TMandantInfoRec rec;
    rec.Name = name;
    rec.Title = title;
    rec.DataFolder = Folder(root, name);
    return rec;
  }
  // A store of client `name` with the given records, saved.
  void MakeStore(const std::string& name, const std::vector<std::pair<int, std::string>>& records,
                 const std::function<void(TMiniDB&)>& more = {}) {
    TStation s("S");
    ASSERT_TRUE(s->Open(Folder(root, name), MandantDataFolderName(name), "Tessaro"));
    for (auto& [cls, n] : records) s->NewNamedRecord(cls, n, "");
    if (more) more(*s.db);
    ASSERT_TRUE(s->Commit());
  }
  std::unique_ptr<TStation> OpenStore(const std::string& name) {
    auto s = std::make_unique<TStation>("R");
    EXPECT_TRUE((*s)->Open(root.Dir() + name + "/", MandantDataFolderName(name), "Tessaro"));
    return s;
  }

  void SetUp() override {
    ResetSession();
    scope = std::make_unique<TMandantStateScope>(state);
    state.DataRoot = root.Dir();
    clients.push_back(TMandantInfoRec());  // the register's header
    clients.push_back(Client("A", "Firma A"));
    clients.push_back(Client("B", "Firma B"));
    state.HasCurrentMandant = true;
    state.CurrentMandant = clients[1];
    // Client A: a door, then the user (ID 2) with a cabinet link and a remark.
    a = std::make_unique<TStation>("A");
    ASSERT_TRUE((*a)->Open(clients[1].DataFolder, "Data-A", "Tessaro"));
    (*a)->NewNamedRecord(icDoor, "Tor", "");
    user = (*a)->NewNamedRecord(icUser, "Hans", "");
    const int32_t cabinet = (*a)->NewNamedRecord(icCabinet, "Schrank", "");
    (*a)->SetField(user, "nice", "Hans Meier");
    (*a)->SetField(user, "pw", "GEHEIM");
    (*a)->SetField(user, "rg", "2222");
    (*a)->SetField(user, "r", "nur hier");
    (*a)->AddLinkBoth(user, cabinet, icCabinet, icUser);
    ASSERT_TRUE((*a)->Commit());
    ASSERT_EQ(user, 2);
    ClientSession().LendStore(a->db.get());
  }
  void TearDown() override {
    ResetSession();
    a.reset();
  }
};

TEST_F(CopyUser, AnIdHeldByAKeyIsNeverOverwritten) {
  // Client B: two keys, the second one under the user's ID.
  MakeStore("B", {{icKey, "K1"}, {icKey, "K2"}});
  std::vector<std::string> failed;
  EXPECT_EQ(CopyUserToAllClients(user, clients, &failed), 1);
  EXPECT_TRUE(failed.empty());
  EXPECT_EQ(ui.AllText(), WinTextFmt(10, "1"));

  auto b = OpenStore("B");
  EXPECT_EQ((*b)->GetClass(2), icKey);
  EXPECT_EQ((*b)->GetName(2), "K2");
  const int32_t copy = (*b)->FindByName("Hans", icUser, 0);
  ASSERT_NE(copy, 0);
  EXPECT_NE(copy, 2);
  EXPECT_EQ((*b)->GetField(copy, "nice"), "Hans Meier");
  EXPECT_EQ((*b)->GetField(copy, "pw"), "GEHEIM");
  EXPECT_EQ((*b)->GetField(copy, "rg"), "2222");
  EXPECT_EQ((*b)->GetField(copy, "r"), "");
  EXPECT_FALSE((*b)->HasLinks(copy, icCabinet));
  EXPECT_EQ((*b)->GetField(copy, "GUID"), (*a)->GetField(user, "GUID"));
  EXPECT_FALSE((*a)->GetField(user, "GUID").empty());

  // A second copy finds the user by its GUID, even renamed, and adds no record.
  b.reset();
  (*a)->SetField(user, "n", "Hans M");
  (*a)->SetField(user, "pw", "NEU");
  ASSERT_TRUE((*a)->Commit());
  EXPECT_EQ(CopyUserToAllClients(user, clients), 1);
  b = OpenStore("B");
  EXPECT_EQ((*b)->GetField(copy, "pw"), "NEU");
  EXPECT_EQ((*b)->GetName(copy), "Hans M");
  EXPECT_EQ((*b)->CountClass(icUser), 1);
}

TEST_F(CopyUser, AUserOfTheSameNameIsUpdatedAndBrokenClientsAreListed) {
  MakeStore("B", {{icKey, "K1"}, {icUser, "HANS"}}, [](TMiniDB& db) {
    db.SetField(2, "pw", "ALT");
    db.SetField(2, "nice", "Alt");
  });
  // Client C holds a key that carries the user's GUID: it is refused, not overwritten.
  {
    TStoreWrite write(*a->db, {user});
    ASSERT_TRUE(write.Ok());
    (*a)->GetGUID(user);
    ASSERT_TRUE(write.Commit());
  }
  const std::string guid = (*a)->GetField(user, "GUID");
  MakeStore("C", {{icKey, "K1"}}, [&](TMiniDB& db) { db.SetField(1, "GUID", guid); });
  clients.push_back(Client("C", "Firma C"));
  clients.push_back(Client("D", "Firma D"));  // no store at all
  std::vector<std::string> failed;
  EXPECT_EQ(CopyUserToAllClients(user, clients, &failed), 1);
  EXPECT_EQ(failed, (std::vector<std::string>{"Firma C", "Firma D"}));
  EXPECT_EQ(ui.AllText(), WinTextFmt(10, "1") + "\r\r" + WinText(11) + "\rFirma C\rFirma D");

  auto b = OpenStore("B");
  EXPECT_EQ((*b)->CountClass(icUser), 1);
  EXPECT_EQ((*b)->GetField(2, "pw"), "GEHEIM");
  EXPECT_EQ((*b)->GetField(2, "nice"), "Hans Meier");
  auto c = OpenStore("C");
  EXPECT_EQ((*c)->GetClass(1), icKey);
  EXPECT_EQ((*c)->GetName(1), "K1");
  EXPECT_EQ((*c)->CountClass(icUser), 0);
  EXPECT_FALSE(std::filesystem::exists(root.Path() / "D" / "Data-D.ada"));
}

TEST_F(CopyUser, ABusyStoreOrAMissingUserCopiesNothing) {
  MakeStore("B", {{icKey, "K1"}});
  TStation other("X");
  ASSERT_TRUE(other->Open(clients[1].DataFolder, "Data-A", "Tessaro"));
  int held = 0;
  ASSERT_TRUE(other->Reserve(held));
  EXPECT_EQ(CopyUserToAllClients(user, clients), 0);
  EXPECT_EQ(ui.AllText(), CoreText(27));
  other->Release(held);
  ui.Clear();
  EXPECT_EQ(CopyUserToAllClients(1, clients), 0);  // the door is no user
  EXPECT_EQ(ui.AllText(), WinText(12));
  EXPECT_EQ(OpenStore("B")->db->CountClass(icUser), 0);
}

}  // namespace
