#pragma once
// Filling the combos and lists of the views: the shared lists of locking systems and
// buildings (built once per refresh, handed to the views' combos), combos and lists of
// records by name, the selection by record ID, the link check lists' ticks and the row
// painter of every record list. Combo and list entries carry record IDs or codes as their
// objects.
//
// The listing fillers that search and order thousands of records (FillSearchList,
// FillItemListBox, FillListKeepSelection) are the search-list builder's (UnitTR100Win.h).

#include <cstdint>
#include <string>

#include "basic/SLUnit.h"
#include "data/ItemList.h"

class QComboBox;
class QListWidget;

// ---------------------------------------------------------------------------------------
// The shared lists.

// Builds the locking systems ("-", own system or at the building, the named systems, the
// buildings with a system of their own) and hands them to the views' system combos and
// system filters.
void BuildLockingSystemList();
// Builds the buildings (sorted names, "none" and "all" in front) and hands them to the
// views' building filters.
void BuildBuildingList();
// The choices of a building filter: "alle Gebäude" (0), "ohne Gebäude-Zuordnung"
// ($7FFFFFFF), then the buildings by name, as the store holds them now.
TQStringList BuildingFilterChoices();
// Refills a building filter with the choices, keeping the building chosen; a filter that
// had no choice yet (or whose building is gone) shows all buildings.
void RefillBuildingFilter(QComboBox* combo, const TQStringList& choices);
// The shared lists as built last.
const TQStringList& LockingSystemList();
const TQStringList& BuildingList();

// ---------------------------------------------------------------------------------------
// Combos and lists.

// Entries of a list or combo: text and object.
void FillListFromItemList(QComboBox* combo, const TItemList& ids, bool withDash, int32_t selectId);
void FillListFromItemList(QListWidget* list, const TItemList& ids, bool withDash, int32_t selectId);
void FillComboWithType(QComboBox* combo, int itemClass, int32_t selectId);
void FillComboWithBuildings(QComboBox* combo, int32_t selectId, int32_t keySystem);
void FillLockingSystemCombo(QComboBox* combo, bool withDash);
void SelectComboObject(QComboBox* combo, int32_t id);
int32_t GetComboObjectId(const QComboBox* combo, int32_t defaultId);
void RefillComboKeepId(QComboBox* combo, const TQStringList& list);
void SelectComboById(QComboBox* combo, int32_t id);
int32_t FindLockingSystemByName(const std::string& name);
void FillItemTypeCombo(QComboBox* combo);

// List rows: object of a row of a list widget (0 without).
int32_t ListItemId(const QListWidget* list, int row);
void AddListItem(QListWidget* list, const std::string& text, int32_t id);
// The ID of the selected row, 0 without.
int32_t SelectedListId(const QListWidget* list);
// Selects the first row with that ID; the selection stays when there is none.
void SelectListId(QListWidget* list, int32_t id);

// Makes `ids` hold exactly the ticked entries' IDs (order of the others kept).
void SyncCheckedItems(const QListWidget* list, TItemList& ids);
// Alternating row colours, TAB splitting the row into a left and a right-aligned part.
void InstallListRowPainter(QListWidget* list);
