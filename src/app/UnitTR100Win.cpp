#include "app/UnitTR100Win.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include <QApplication>
#include <QEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QListWidget>
#include <QTabWidget>

#include "app/WaitPanelUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/SearchLikeGoogleUnit.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/HolderUnit.h"
#include "data/IniUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "data/ViewOptionsUnit.h"
#include "platform/PlatformFiles.h"

namespace {

std::string BeforeTab(const std::string& text) {
  const size_t tab = text.find('\t');
  return tab == std::string::npos ? text : text.substr(0, tab);
}

// The pages "ViewTab" governs, by position 1..6.
constexpr std::array<int, 6> kGovernedPages = {pgBuildings, pgDoors,     pgLimits,
                                               pgHistory,   pgCylinders, pgCabinets};

int GovernedPosition(int page) {
  for (size_t i = 0; i < kGovernedPages.size(); ++i)
    if (kGovernedPages[i] == page) return static_cast<int>(i) + 1;
  return 0;
}

QTabWidget* Pages() { return WinGlue().PageControl.data(); }

void ProcessEvents() { UI().ProcessPendingEvents(); }

std::vector<int32_t> IdsOf(const TItemList& list) {
  return std::vector<int32_t>(list.Items(), list.Items() + list.Count());
}

// The standard list text of the glue's store.
TListTextFormatter DefaultFormatter() {
  return [](int32_t id, uint8_t) {
    const TMiniDB* db = GlueDB();
    return db ? StandardListEntry(*db, id) : TListEntryText();
  };
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Views and records.

void RefreshAllFrames() {
  TWinGlue& g = WinGlue();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ShowWaitText(CoreText(45));
  if (TMiniDB* db = GlueDB()) g.SeenLoadCount = db->LoadCount;
  struct TStep {
    int page;
    bool processAfter;
  };
  static constexpr TStep kOrder[] = {{pgKeys, true},    {pgBuildings, false}, {pgCylinders, true},
                                     {pgGroups, true},  {pgDoors, true},      {pgCabinets, false},
                                     {pgPersons, true}, {pgUsers, false}};
  for (const TStep& step : kOrder) {
    if (IView* view = ViewOf(step.page)) view->RefreshView();
    if (step.processAfter) ProcessEvents();
  }
  BuildBuildingList();
  BuildLockingSystemList();
  HideWaitText();
  QApplication::restoreOverrideCursor();
}

void RefreshIfChanged() {
  TMiniDB* db = GlueDB();
  if (db && db->LoadCount != WinGlue().SeenLoadCount) RefreshAllFrames();
}

void ReloadAndRefresh() {
  if (TMiniDB* db = GlueDB()) db->Load();
  RefreshIfChanged();
}

bool LockForEdit(int& ticket) {
  TMiniDB* db = GlueDB();
  if (!db || !db->Reserve(ticket)) {
    ShowLockFailed();
    return false;
  }
  db->Load();
  if (db->LoadCount == WinGlue().SeenLoadCount) return true;
  // Refreshing processes events; another station may save meanwhile, so the views are
  // refreshed without the reservation, and the store is read again once it is held anew.
  db->Release(ticket);
  RefreshAllFrames();
  if (!db->Reserve(ticket)) {
    ShowLockFailed();
    return false;
  }
  db->Load();
  if (db->LoadCount != WinGlue().SeenLoadCount) RefreshAllFrames();
  return true;
}

bool CheckNoOtherStationLocks() {
  TMiniDB* db = GlueDB();
  int ticket = 0;
  if (!db || !db->Reserve(ticket)) {
    ShowLockFailed();
    return false;
  }
  std::string station;
  if (db->ItemsLock) station = db->ItemsLock->OtherStationActive();
  db->Release(ticket);
  if (station.empty()) return true;
  db->ShowExclusiveDenied(station);
  return false;
}

void ClearAllFrames() {
  static constexpr int kOrder[] = {pgKeys,  pgBuildings, pgCylinders, pgGroups,
                                   pgDoors, pgCabinets,  pgPersons,   pgUsers};
  for (int page : kOrder)
    if (IView* view = ViewOf(page)) view->ClearView();
}

bool GotoItem(int32_t id, bool activate) {
  TMiniDB* db = GlueDB();
  const int cls = db ? db->GetClass(id) : 0;
  if (cls < icUser || cls > icCabinet) return false;
  const int page = ItemTypeToPage(cls);
  // A page whose view does not exist (yet) has nothing to show: it is not switched to.
  IView* view = EnsureView(page);
  if (!view) return true;
  if (activate) ShowPage(page, true);
  if (!view->Editing()) view->ShowItem(id);
  return true;
}

void GotoItems(const std::string& ids) {
  std::vector<int32_t> list;
  size_t start = 0;
  while (start <= ids.size()) {
    size_t end = ids.find(';', start);
    if (end == std::string::npos) end = ids.size();
    const int32_t id = StrToIntZero(Trim(ids.substr(start, end - start)));
    if (id > 0) list.push_back(id);
    start = end + 1;
  }
  for (size_t i = 0; i < list.size(); ++i) GotoItem(list[i], i + 1 == list.size());
}

void ShowHistoryOf(int32_t id) {
  if (IView* view = EnsureView(pgHistory)) view->ShowHistoryOf(id);
}
void AddToTransfer(int32_t id) {
  if (IView* view = ViewOf(pgIssueReturn)) view->AddToTransfer(id);
}
void KeysViewCall(int command, int32_t id) {
  if (IView* view = ViewOf(pgKeys)) view->ViewCall(command, id);
}
bool StartTransfer(const TTransferStartRequest& request) {
  IView* view = ViewOf(pgIssueReturn);
  return view && view->StartTransfer(request);
}
int SelectKeyHolder(int32_t key, int32_t holder, int mode, const std::string& receiptNo,
                    const std::string& firstDate) {
  IView* view = ViewOf(pgKeys);
  return view ? view->SelectHolder(key, holder, mode, receiptNo, firstDate) : 0;
}
int32_t CurrentKeyId() {
  IView* view = ViewOf(pgKeys);
  return view ? view->CurrentItemId() : 0;
}
int KeysEditState() {
  IView* view = ViewOf(pgKeys);
  return view ? view->KeysEditState() : 0;
}
void ShowKey(int32_t id) {
  IView* view = ViewOf(pgKeys);
  if (view && !view->Editing()) view->ShowItem(id);
}
bool NewKey(int cls, const std::string& name, int32_t door, int32_t system) {
  IView* view = ViewOf(pgKeys);
  return view && view->NewKey(cls, name, door, system);
}
bool EditHolding(const THolderEntry& entry) {
  IView* view = ViewOf(pgLimits);
  return view && view->EditHolding(entry);
}
void HideKeysSearchPanel() {
  if (IView* view = ViewOf(pgKeys)) view->HideSearchPanel();
}
void HideUsersSearchPanel() {
  if (IView* view = ViewOf(pgUsers)) view->HideSearchPanel();
}

int32_t CurrentPageItemId() {
  IView* view = ViewOf(ActivePage());
  return view ? view->CurrentItemId() : 0;
}

// ---------------------------------------------------------------------------------------
// Pages.

int ActivePage() { return Pages() ? Pages()->currentIndex() : -1; }
int CurrentItemType() { return PageToItemType(ActivePage()); }

bool PageTabVisible(int page) {
  QTabWidget* pages = Pages();
  return pages && page >= 0 && page < pages->count() && pages->isTabVisible(page);
}

void ShowPage(int page, bool force) {
  QTabWidget* pages = Pages();
  if (!pages || page < 0 || page >= pages->count()) return;
  EnsureView(page);
  if (!pages->isTabVisible(page)) {
    if (!force) return;
    pages->setTabVisible(page, true);
  }
  const int active = pages->currentIndex();
  if (active != pgHelp && active != page) WinGlue().PreviousPage = active;
  pages->setCurrentIndex(page);
}

void HidePage(int page, bool visible) {
  QTabWidget* pages = Pages();
  if (!pages || page < 0 || page >= pages->count()) return;
  if (!visible && pages->currentIndex() == page) LeavePage(page);
  pages->setTabVisible(page, visible);
}

bool LeavePage(int pageToAvoid) {
  const int previous = WinGlue().PreviousPage;
  if (previous < 0 || previous == pageToAvoid || !PageTabVisible(previous)) return false;
  Pages()->setCurrentIndex(previous);
  return true;
}

void ClosePage(int page, bool save) {
  QTabWidget* pages = Pages();
  if (!pages || page < 0 || page >= pages->count()) return;
  if (pages->isTabVisible(page)) {
    HidePage(page, false);
  } else {
    ShowPage(page, true);
  }
  if (save) SaveViewTabs();
}

int PageVisibilityFlag(int page, int value) {
  const int pos = GovernedPosition(page);
  if (pos == 0) return -1;
  std::string& tabs = WinGlue().ViewTab;
  if (static_cast<int>(tabs.size()) < pos) tabs.resize(pos, '0');
  if (value == 0 || value == 1) tabs[pos - 1] = static_cast<char>('0' + value);
  const char c = tabs[pos - 1];
  return c >= '0' && c <= '9' ? c - '0' : 0;
}

void ApplyViewTabs() {
  QTabWidget* pages = Pages();
  if (!pages) return;
  const std::string& tabs = WinGlue().ViewTab;
  for (size_t i = 0; i < kGovernedPages.size(); ++i) {
    const int page = kGovernedPages[i];
    if (page >= pages->count()) continue;
    const bool shown = i < tabs.size() && tabs[i] >= '1' && tabs[i] <= '9';
    if (!shown && pages->currentIndex() == page) LeavePage(page);
    pages->setTabVisible(page, shown);
  }
}

void SaveViewTabs() {
  std::string tabs;
  for (int page : kGovernedPages) tabs += PageTabVisible(page) ? '1' : '0';
  WinGlue().ViewTab = tabs;
  TMiniDB* db = GlueDB();
  const int32_t user = Session().CurrentUserId;
  // A value of the user's record, where the login reads it back.
  if (!db || user == 0 || db->GetClass(user) != icUser || db->GetField(user, "ViewTab") == tabs)
    return;
  TStoreWrite write(*db, {user});
  if (!write.Ok()) return;
  db->SetField(user, "ViewTab", tabs);
  write.Commit();
}

int FindFrameInEdit() {
  static constexpr int kOrder[] = {pgBuildings, pgDoors,     pgKeys,   pgPersons,
                                   pgUsers,     pgCylinders, pgGroups, pgCabinets};
  const int active = ActivePage();
  int found = -1;
  for (int page : kOrder) {
    IView* view = ViewOf(page);
    if (!view || !view->Editing()) continue;
    if (page == active) return page;
    found = page;
  }
  return found;
}

bool CheckPendingInput() {
  const int page = FindFrameInEdit();
  if (page < 1) return false;
  ShowPage(page, true);
  ShowInfo(WinText(4));
  return true;
}

namespace {

// The window stays alive while a long list is built; a newer refresh drops this one.
TSearchCancel RefreshCancel(const int* refreshCounter) {
  if (!refreshCounter) return {};
  return [refreshCounter, start = *refreshCounter] {
    ProcessEvents();
    return *refreshCounter != start;
  };
}

}  // namespace

std::unique_ptr<TQStringList> FillSearchList(int itemClass, const TItemList& ids,
                                             const std::string& searchText,
                                             TQStringList* suggestions,
                                             const int* refreshCounter, int32_t systemFilter,
                                             uint8_t option, bool plainMatch,
                                             const TListTextFormatter& formatter) {
  TMiniDB* db = GlueDB();
  if (!db) return std::make_unique<TQStringList>();
  return FillSearchList(*db, itemClass, ids, searchText, suggestions, RefreshCancel(refreshCounter),
                        systemFilter, option, plainMatch, formatter);
}

bool FillSearchRows(TSearchListCache& cache, int itemClass, const TItemList& ids,
                    const std::string& searchText, TQStringList* suggestions,
                    const int* refreshCounter, int32_t systemFilter, uint8_t option,
                    bool plainMatch, const TListTextFormatter& formatter, TSearchListRows& rows) {
  TMiniDB* db = GlueDB();
  if (!db) {
    rows.rows.clear();
    rows.texts.reset();
    return true;
  }
  return FillSearchRows(&cache, *db, itemClass, ids, searchText, suggestions,
                        RefreshCancel(refreshCounter), systemFilter, option, plainMatch, formatter,
                        rows);
}

void ClearListObjects(TQStringList& list) {
  for (int i = list.Count() - 1; i >= 0; --i)
    if (list.GetObject(i) == 0) list.Delete(i);
}

bool FillItemListBox(QListWidget* list, int itemClass, const TItemList& ids,
                     QComboBox* searchCombo, uint8_t option, int32_t systemFilter,
                     const int* refreshCounter, bool groupGaps,
                     const TListTextFormatter& formatter) {
  if (!list) return false;
  const bool wasEnabled = list->isEnabled();
  if (wasEnabled) list->setEnabled(false);
  const QPalette ownPalette = list->palette();
  if (QWidget* parent = list->parentWidget()) {
    QPalette palette = ownPalette;
    palette.setColor(QPalette::Base, parent->palette().color(QPalette::Window));
    list->setPalette(palette);
  }
  const std::string search = searchCombo ? FromQString(searchCombo->currentText()) : "";
  const int32_t selected = SelectedListId(list);
  TQStringList suggestions;
  std::unique_ptr<TQStringList> entries =
      FillSearchList(itemClass, ids, search, searchCombo ? &suggestions : nullptr,
                     refreshCounter, systemFilter, option, false, formatter);
  list->setPalette(ownPalette);
  if (!entries) {
    list->setEnabled(wasEnabled);
    return false;
  }
  {
    const QSignalBlocker block(list);
    list->clear();
    list->setSortingEnabled(false);
    for (const TStringItem& item : entries->Items())
      AddListItem(list, item.text, static_cast<int32_t>(item.object));
    // Keys and cylinders sorted by closing stand in groups with a gap between them.
    const bool byClosing = (itemClass == icKey || itemClass == icCylinder) &&
                           ViewOptions().variant[static_cast<size_t>(itemClass)] == 2;
    if (groupGaps || byClosing) ApplyGroupGaps(list);
  }
  if (searchCombo) {
    const QSignalBlocker block(searchCombo);
    const QString text = searchCombo->currentText();
    const int index = searchCombo->currentIndex();
    searchCombo->clear();
    for (const TStringItem& item : suggestions.Items())
      AddComboItem(searchCombo, item.text, static_cast<int32_t>(item.object));
    if (index >= 0 && index < searchCombo->count()) searchCombo->setCurrentIndex(index);
    else searchCombo->setCurrentIndex(-1);
    if (searchCombo->isEditable()) searchCombo->setEditText(text);
  }
  list->setEnabled(wasEnabled);
  SelectListId(list, selected);
  return true;
}

void ApplyGroupGaps(QListWidget* list) {
  if (!list) return;
  const int normal = list->fontMetrics().height() + 2;
  const int gap = (normal / 4) * 7;
  auto groupOf = [list](int row) {
    const QString text = list->item(row)->text();
    const int tab = text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? QString() : text.mid(tab + 1);
  };
  for (int row = 0; row < list->count(); ++row) {
    const bool last = row + 1 < list->count() && groupOf(row) != groupOf(row + 1);
    // An invalid size clears the hint, so the gap row carries a width of its own.
    list->item(row)->setSizeHint(last ? QSize(std::max(1, list->viewport()->width()), gap)
                                      : QSize());
  }
}

void FillListKeepSelection(QListWidget* list, int itemClass, const TItemList& linked,
                           int32_t buildingFilter, int32_t systemFilter, int32_t ownerId,
                           uint8_t option, bool showOthers, QComboBox* searchCombo,
                           const TListTextFormatter& formatter) {
  TMiniDB* db = GlueDB();
  if (!list || !db) return;
  SelectItemFormatter(itemClass);
  const bool wasEnabled = list->isEnabled();
  list->setEnabled(false);
  const int32_t selected = SelectedListId(list);
  std::string search = searchCombo ? AnsiUpperCase(Trim(FromQString(searchCombo->currentText())))
                                   : std::string();
  if (search == ShowAllTextUpper()) search.clear();
  TSearchLikeGoogle matcher;
  if (!search.empty()) matcher.SetSearchText(search);
  const TListTextFormatter format = formatter ? formatter : DefaultFormatter();

  auto inBuilding = [&](int32_t id) {
    if (buildingFilter == 0) return true;
    const int32_t building = db->ReadFirstLink(id, icBuilding);
    return buildingFilter == ksAll ? building == 0 : building == buildingFilter;
  };
  struct TRow {
    std::string key;
    std::string text;
    int32_t id;
  };
  auto byKey = [](const TRow& a, const TRow& b) { return CompareSortKeys(a.key, b.key) < 0; };
  std::vector<TRow> ticked, others;
  TSuggestionCounter counter;
  TItemList all;
  db->ListClassValid(itemClass, all);
  for (int32_t id : IdsOf(all)) {
    const std::string display = db->GetValidDisplayName(id);
    if (linked.IndexOf(id) >= 0) {
      if (!inBuilding(id) || !matcher.Matches(BeforeTab(display))) continue;
      TListEntryText entry = format(id, option);
      ticked.push_back({entry.sortKey, entry.text, id});
      continue;
    }
    if (id == ownerId || display.empty() || !inBuilding(id)) continue;
    if (systemFilter != ksAll && db->ReadKeySystem(id) != systemFilter) continue;
    counter.Offer(display);
    if (showOthers && matcher.Matches(BeforeTab(display))) {
      TListEntryText entry = format(id, option);
      others.push_back({entry.sortKey, entry.text, id});
    }
  }
  std::stable_sort(ticked.begin(), ticked.end(), byKey);
  std::stable_sort(others.begin(), others.end(), byKey);
  {
    const QSignalBlocker block(list);
    list->clear();
    for (const auto* rows : {&ticked, &others}) {
      for (const TRow& row : *rows) {
        AddListItem(list, row.text, row.id);
        QListWidgetItem* item = list->item(list->count() - 1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(rows == &ticked ? Qt::Checked : Qt::Unchecked);
      }
    }
    SelectListId(list, selected);
  }
  if (searchCombo) {
    TQStringList suggestions;
    counter.Into(suggestions);
    bool same = searchCombo->count() == suggestions.Count();
    for (int i = 0; same && i < suggestions.Count(); ++i)
      same = FromQString(searchCombo->itemText(i)) == suggestions[i];
    if (!same) {
      const QSignalBlocker block(searchCombo);
      const QString text = searchCombo->currentText();
      searchCombo->clear();
      for (const TStringItem& item : suggestions.Items())
        AddComboItem(searchCombo, item.text, static_cast<int32_t>(item.object));
      searchCombo->setCurrentIndex(-1);
      if (searchCombo->isEditable()) searchCombo->setEditText(text);
    }
  }
  list->setEnabled(wasEnabled);
}

// ---------------------------------------------------------------------------------------
// Captions, wait text, layout.

void ShowWaitText(const std::string& text) {
  TWinGlue& g = WinGlue();
  if (QTabWidget* pages = Pages()) pages->setEnabled(false);
  delete g.WaitPanel.data();
  QWidget* parent = g.MainWindow ? g.MainWindow.data() : static_cast<QWidget*>(Pages());
  if (parent) g.WaitPanel = ShowWaitPanel(parent, text);
  ProcessEvents();
}

void ShowWaitDefault() { ShowWaitText(CoreText(7)); }

void HideWaitText() {
  TWinGlue& g = WinGlue();
  delete g.WaitPanel.data();
  g.WaitPanel = nullptr;
  if (QTabWidget* pages = Pages()) pages->setEnabled(true);
}

void MinimiseProgramWith(QWidget* window, QEvent* event) {
  if (event->type() != QEvent::WindowStateChange || !(window->windowState() & Qt::WindowMinimized))
    return;
  if (QWidget* main = WinGlue().MainWindow.data()) {
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    main->showMinimized();
  }
}

TWaitPanel* WaitTextDefault(QWidget* control) {
  return control ? ShowWaitPanel(control, CoreText(45)) : nullptr;
}

void SetPersonsTerms(const std::string& personsTerm, const std::string& departmentTerm) {
  TVocabulary& words = Vocabulary();
  if (!personsTerm.empty()) words.personTerm = MLTranslate(personsTerm);
  if (!departmentTerm.empty()) words.departmentTerm = MLTranslate(departmentTerm);
  if (!personsTerm.empty()) SetHolderKindName(okPerson, PersonTerm());
  if (QTabWidget* pages = Pages())
    if (pgPersons < pages->count()) pages->setTabText(pgPersons, ToQString(PersonTerm()));
  for (int page : {pgHistory, pgPersons})
    if (IView* view = ViewOf(page)) view->TermsChanged();
}

std::string FormatAboutLine(const std::string& suffix, bool withDateTime) {
  std::string line = WinText(8);
  std::string tail = suffix;
  const TMandantState& state = MandantState();
  if (tail.empty() && withDateTime && state.TimeTravelMode) {
    const double local = UtcToLocal(state.TimeTravelDate);
    const TDateTimeParts parts = DecodeDateTime(local);
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", parts.hour, parts.minute, parts.second);
    tail = CoreText(108) + " " + PackedDateToStr(DateTimeToPacked(local)) + " " + time;
  }
  if (!tail.empty()) line += "  -  " + tail;
  return line;
}

std::string SetAppTitle(const std::string& suffix) {
  std::string tail = suffix;
  if (tail.empty() && MandantState().TimeTravelMode) tail = CoreText(107);
  std::string title = "Tessaro";
  if (!tail.empty()) title += "  -  " + tail;
  WinGlue().AppTitle = title;
  // Not Qt's application display name: the window system would append it to every
  // window title that is already made of it.
  return title;
}

std::string ViewSortText() {
  static const char* const kHex = "0123456789ABCDEF";
  const TViewOptions& options = ViewOptions();
  std::string text;
  for (int cls = 0; cls < 256; ++cls) {
    const int natural = options.naturalNames[static_cast<size_t>(cls)] ? 1 : 0;
    const int variant = options.variant[static_cast<size_t>(cls)] % 10;
    if (natural == 0 && variant == 0) continue;
    if (cls >= 16) text += kHex[cls >> 4];
    text += kHex[cls & 15];
    text += '=';
    text += static_cast<char>('0' + natural);
    text += static_cast<char>('0' + variant);
    text += '\t';
  }
  return text;
}

bool SaveViewSort() { return WriteDataSetting(kViewSortSetting, ViewSortText()); }

// ---------------------------------------------------------------------------------------
// Users and data folders.

namespace {

// The fields a user copy takes over; links and everything else stay as they are.
constexpr const char* kCopiedUserFields[] = {"n", "nice", "pw", "rg"};

bool StoreFileExists(const std::string& folder, const std::string& title) {
  return GetFileStamp(folder + title + ".ada").exists ||
         GetFileStamp(folder + title + ".adaX").exists;
}

// Puts the user's fields into the store of another client: the user with the same GUID,
// else the valid user of the same name, else a new user record. Never another class's
// record, whatever ID it has.
bool CopyUserInto(TMiniDB& target, const std::string& guid,
                  const std::vector<std::pair<std::string, std::string>>& fields) {
  const std::string& name = fields[0].second;
  int32_t id = guid.empty() ? 0 : target.FindByGUID(guid, 0);
  if (id != 0 && target.GetClass(id) != icUser) return false;
  if (id == 0) id = target.FindByName(name, icUser, 0);
  // A new record is made only once the write holds the store, so a busy store leaves no
  // empty user behind.
  TStoreWrite write(target, id != 0 ? std::vector<int32_t>{id} : std::vector<int32_t>{});
  if (!write.Ok()) return false;
  if (id == 0) id = target.NewRecord(icUser);
  if (id == 0) return false;
  for (const auto& [key, value] : fields) target.SetField(id, key, value);
  if (!target.IsValid(id)) target.SetField(id, "v", "1");
  if (!guid.empty() && target.GetField(id, "GUID").empty()) target.SetField(id, "GUID", guid);
  return write.Commit();
}

}  // namespace

int CopyUserToAllClients(int32_t userId, const TMandantList& clients,
                         std::vector<std::string>* failed) {
  TMiniDB* db = GlueDB();
  if (!db) return 0;
  std::string guid;
  std::vector<std::pair<std::string, std::string>> fields;
  {
    TStoreWrite source(*db, {userId});
    if (!source.Ok()) {
      ShowLockFailed();
      return 0;
    }
    if (db->GetClass(userId) == icUser && !db->GetRecordText(userId).empty()) {
      for (const char* key : kCopiedUserFields) fields.emplace_back(key, db->GetField(userId, key));
      // A user without a GUID gets one now, so its copies are found again next time.
      const bool hadGuid = !db->GetField(userId, "GUID").empty();
      guid = db->GetGUID(userId);
      if (!hadGuid && !source.Commit()) guid.clear();
    }
  }
  if (fields.empty() || Trim(fields[0].second).empty()) {
    ShowError(WinText(12));
    return 0;
  }
  ShowWaitText(CoreText(45));
  const TMandantState& state = MandantState();
  int copied = 0;
  std::vector<std::string> failures;
  for (size_t i = 1; i < clients.size(); ++i) {
    const TMandantInfoRec& rec = clients[i];
    if (state.HasCurrentMandant && SameMandantKey(rec, state.CurrentMandant)) continue;
    const std::string folder = MandantDataFolder(&rec);
    const std::string title = MandantDataFolderName(rec.Name);
    if (folder == db->DataPath && AnsiSameText(title, db->FileTitle)) continue;
    bool ok = false;
    if (StoreFileExists(folder, title)) {
      TMiniDB other;
      other.StationKey = db->StationKey;
      other.Registry = db->Registry;
      other.LocalNow = db->LocalNow;
      if (other.Open(folder, title, db->AppName) && !other.NewFile && !other.LoadErrorReadOnly)
        ok = CopyUserInto(other, guid, fields);
      other.Close();
    }
    if (ok) ++copied;
    else failures.push_back(rec.Title.empty() ? rec.Name : rec.Title);
    ProcessEvents();
  }
  HideWaitText();
  std::string message = WinTextFmt(10, std::to_string(copied));
  if (!failures.empty()) {
    message += "\r\r" + WinText(11);
    for (const std::string& name : failures) message += "\r" + name;
  }
  ShowInfo(message);
  if (failed) *failed = failures;
  return copied;
}

std::string SelectDatabaseDialog(bool allowX) {
  const std::string star = allowX ? "*" : "";
  const QString filter = ToQString(CoreText(103) + " (Data" + star + ".ada Data" + star +
                                   ".adaX)");
  QFileDialog dialog(WinGlue().MainWindow.data(), ToQString(WinText(13)));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({filter});
  if (TMiniDB* db = GlueDB()) dialog.setDirectory(ToQString(db->DataPath));
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return FromQString(dialog.selectedFiles().first());
}
