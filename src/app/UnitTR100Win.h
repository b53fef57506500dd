#pragma once
// The window glue: how views, dialogs and the main window reach one another without knowing
// one another's classes. Views register with the view registry behind one contract (IView,
// ViewRegistryUnit.h); everything else asks through the functions of the glue: refresh or
// clear all views, go to a record, show, hide and leave pages, the test for unsaved input,
// the wait text and the captions.
//
// This header is what a view includes: it passes on the focused units the glue is made
// of, so the names views call stay where they were:
//   ViewRegistryUnit.h   the view contract, the pages and the registry by page
//   GlueStateUnit.h      WinGlue(), the glue's message table, the standard messages
//   ListFillUnit.h       the shared lists, combo and list fillers, ticks, the row painter
//   GridExportUnit.h     grids as text files and printed lines (spreadsheets later)
//   DesktopLinksUnit.h   the desktop's default program, internet links, documents
//   LayoutHelpersUnit.h  captions fitted, controls centred, button bars
// and below, the search-list builder with the listing fillers built on it.
//
// A view that does not exist yet is simply absent: a call that would reach it does nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/DesktopLinksUnit.h"
#include "app/GlueStateUnit.h"
#include "app/LayoutHelpersUnit.h"
#include "app/GridExportUnit.h"
#include "app/ListFillUnit.h"
#include "app/ViewRegistryUnit.h"
#include "basic/SLUnit.h"
#include "data/ItemList.h"
#include "data/MandantUnit.h"
#include "data/SearchListUnit.h"

class QComboBox;
class QListWidget;
class QEvent;
class QWidget;
class TWaitPanel;

// ---------------------------------------------------------------------------------------
// Views and records.
void RefreshAllFrames();
void RefreshIfChanged();
void ReloadAndRefresh();
// Takes the write reservation with the views showing the data as it is now; the caller
// releases `ticket`. False (message shown) when the reservation cannot be had.
bool LockForEdit(int& ticket);
// True when no other workstation holds a record lock (message shown otherwise).
bool CheckNoOtherStationLocks();
void ClearAllFrames();
// Shows the record in the view of its class (classes 1-8); true for those classes.
bool GotoItem(int32_t id, bool activate);
// ";"-separated IDs, each shown, only the last one's page activated.
void GotoItems(const std::string& ids);
void ShowHistoryOf(int32_t id);
void AddToTransfer(int32_t id);
void KeysViewCall(int command, int32_t id);
// The issue-and-return view's StartTransfer; false while that page has no view.
bool StartTransfer(const TTransferStartRequest& request);
// The keys view's SelectHolder; 0 while that page has no view.
int SelectKeyHolder(int32_t key, int32_t holder, int mode, const std::string& receiptNo,
                    const std::string& firstDate);
// The keys view: the key or bunch it shows (0 none), its edit state (0 showing, 1 editing,
// 2 new; 0 while that page has no view), a record shown there, a new key or bunch started
// there (false while that page has no view or it refused).
int32_t CurrentKeyId();
int KeysEditState();
void ShowKey(int32_t id);
bool NewKey(int cls, const std::string& name, int32_t door, int32_t system);
// The deadlines view's holding editor; false while that page has no view.
bool EditHolding(const THolderEntry& entry);
void HideKeysSearchPanel();
void HideUsersSearchPanel();
int32_t CurrentPageItemId();

// ---------------------------------------------------------------------------------------
// Pages.
int ActivePage();
int CurrentItemType();
bool PageTabVisible(int page);
void ShowPage(int page, bool force);
void HidePage(int page, bool visible);
bool LeavePage(int pageToAvoid);
void ClosePage(int page, bool save);
// The digit of a page in "ViewTab" (set to `value` when it is 0 or 1); -1 for a page the
// string does not govern.
int PageVisibilityFlag(int page, int value = -1);
void ApplyViewTabs();
void SaveViewTabs();
// The page whose view holds unsaved input (the active page first), else -1.
int FindFrameInEdit();
// True (page shown, warning given) when a view holds unsaved input.
bool CheckPendingInput();

// ---------------------------------------------------------------------------------------
// The search-list builder and the listing fillers built on it.

// The search-list builder (data/SearchListUnit.h) on the glue's store: whenever the builder
// asks (every few milliseconds) the window's events are processed, and null is returned
// when the refresh counter changed meanwhile (a newer refresh overtook this one).
std::unique_ptr<TQStringList> FillSearchList(int itemClass, const TItemList& ids,
                                             const std::string& searchText,
                                             TQStringList* suggestions,
                                             const int* refreshCounter, int32_t systemFilter,
                                             uint8_t option, bool plainMatch,
                                             const TListTextFormatter& formatter = {});
// The same for a listing that keeps its cache and its row buffer: false when overtaken
// (`rows` and `suggestions` untouched).
bool FillSearchRows(TSearchListCache& cache, int itemClass, const TItemList& ids,
                    const std::string& searchText, TQStringList* suggestions,
                    const int* refreshCounter, int32_t systemFilter, uint8_t option,
                    bool plainMatch, const TListTextFormatter& formatter, TSearchListRows& rows);
// Removes every entry without an object.
void ClearListObjects(TQStringList& list);

// The listing filler: fills the list from FillSearchList, keeps the selected record,
// offers the suggestions in the search combo. For keys and cylinders sorted by closing
// (variant 2), or with `groupGaps`, a gap follows the last entry of each group. False when
// overtaken (the list keeps its old entries).
bool FillItemListBox(QListWidget* list, int itemClass, const TItemList& ids,
                     QComboBox* searchCombo, uint8_t option, int32_t systemFilter,
                     const int* refreshCounter, bool groupGaps = false,
                     const TListTextFormatter& formatter = {});
// Heights of the list rows: the last entry of each group (the text after its TAB) is
// followed by a gap.
void ApplyGroupGaps(QListWidget* list);

// The link-list filler: linked records ticked first, then (with `showOthers`) the others
// within the filters, unticked.
void FillListKeepSelection(QListWidget* list, int itemClass, const TItemList& linked,
                           int32_t buildingFilter, int32_t systemFilter, int32_t ownerId,
                           uint8_t option, bool showOthers, QComboBox* searchCombo,
                           const TListTextFormatter& formatter = {});

// ---------------------------------------------------------------------------------------
// Wait text and captions.
void ShowWaitText(const std::string& text);
void ShowWaitDefault();
void HideWaitText();
// For a window that stands for the whole program while it shows (full-screen plan windows):
// when the event minimised it, the main window is minimised in its place.
void MinimiseProgramWith(QWidget* window, QEvent* event);
// A wait panel with "bitte warten" on the control; the caller deletes it.
TWaitPanel* WaitTextDefault(QWidget* control);

void SetPersonsTerms(const std::string& personsTerm, const std::string& departmentTerm);
std::string FormatAboutLine(const std::string& suffix, bool withDateTime = true);
std::string SetAppTitle(const std::string& suffix);

// The list options of every class (ViewOptions) as the "ViewSort" text: for each class with
// an option, its number in hex, "=", the name-order digit and the variant digit, TAB.
std::string ViewSortText();
// Stores that text as this user's "ViewSort", where LoadUserViewSettings reads it.
bool SaveViewSort();

// ---------------------------------------------------------------------------------------
// Users and data folders.

// Copies the user into every other client's store of `clients` (entry 0, the register's
// header, and the current client skipped). Returns how many stores took it; the names of
// those that did not in `failed`.
int CopyUserToAllClients(int32_t userId, const TMandantList& clients,
                         std::vector<std::string>* failed = nullptr);
// The open dialog for a store file; empty when cancelled.
std::string SelectDatabaseDialog(bool allowX);
