#pragma once
// Which key opens which door, and the item queries around it.
//
// That a key opens a door is never stored as such: it follows from the links between keys,
// cylinders, doors, groups and key bunches, and from general master keys that open every
// door of their locking system. The queries here compute it over a record store:
//
// - A key opens the doors linked to it, the doors of the cylinders linked to it, and the
//   doors of the cylinders of its groups and of every group below them.
// - Groups form a tree with a direction: a link between two groups is stored on the parent
//   only (kind 7 on the parent). The walks visit each group once, so a cycle ends.
// - A general master key ("kt" exactly "5", "ks" at least 1) opens exactly the valid doors
//   whose own code, or whose first cylinder's code, is its code; nothing else.
// - GetKeysOfDoor with general master keys is the exact inverse of GetDoorsOfKey: a valid
//   key is in GetKeysOfDoor(door) exactly when the door is in GetDoorsOfKey(key).
//
// Results are TItemLists without repeats (the list is cleared first unless a function says
// it adds). Keys, doors, cylinders, groups, bunches and persons in results are valid
// records of their class.
//
// The queries keep caches per store (class lists, link lists, master keys by code, parent
// groups, doors by system, normalised names), filled as queries need them. A cache is
// built on one value of the store's change counter (TMiniDB::ChangeCount, bumped by every
// load and change) and of the vocabulary's names generation, and is dropped as soon as
// either differs. The caches belong to the open client's session (RelationCaches()) and
// go with it. Queries never select a record, so asking never stores or saves anything.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/UnitTR100.h"

class TMiniDB;
class TItemList;

// ---------------------------------------------------------------------------------------
// Doors and keys

// The key's locking-system code when it is a general master key, else 0.
TKeySystemCode GeneralMasterKeySystem(const TMiniDB& db, int32_t key);
// The first valid general master key of the code (lowest ID); 0 for code 0 or none.
int32_t FindGeneralMasterKey(const TMiniDB& db, TKeySystemCode code);
// Every valid general master key of the code, ascending.
void GetGeneralMasterKeys(const TMiniDB& db, TKeySystemCode code, TItemList& result);
// The valid doors whose code, or whose first cylinder's code, is `code`.
void GetDoorsOfSystem(const TMiniDB& db, TKeySystemCode code, TItemList& result);
// The doors a key opens (see above).
void GetDoorsOfKey(const TMiniDB& db, int32_t key, TItemList& result);
// The cylinders linked to the key (withCylinders) and those reached through its groups and
// the groups below them (withGroups).
void GetKeyGroupsAndCylinders(const TMiniDB& db, int32_t key, bool withCylinders, bool withGroups,
                              TItemList& result);
// Adds the cylinders of `group` and of every group below it that is not in `visited` yet;
// marks each group in `visited`.
void CollectGroupCylinders(const TMiniDB& db, int32_t group, TItemList& visited, TItemList& result);
// The doors of all keys of a key bunch.
void GetDoorsOfKeyRing(const TMiniDB& db, int32_t bunch, TItemList& result);
// GetDoorsOfKeyRing for a key bunch, else GetDoorsOfKey.
void GetDoorsOpenedBy(const TMiniDB& db, int32_t item, TItemList& result);
// The keys linked to the item.
void GetKeysOf(const TMiniDB& db, int32_t item, TItemList& result);
// The groups resp. cylinders linked to the keys of the item.
void GetGroupsOfKeysOf(const TMiniDB& db, int32_t item, TItemList& result);
void GetCylindersOfKeysOf(const TMiniDB& db, int32_t item, TItemList& result);
// The groups (other than itself) that hold a link to the group.
void GetParentGroups(const TMiniDB& db, int32_t group, TItemList& result);
// Adds every group above the group (transitively), the group itself excepted.
void CollectParentGroups(const TMiniDB& db, int32_t group, TItemList& result);
// The keys of the group and of every group above it.
void GetKeysOfGroupTree(const TMiniDB& db, int32_t group, TItemList& result);
// Adds every group linked to a member of the list, until nothing more is added.
void ExpandGroupLinks(const TMiniDB& db, TItemList& list);
// The keys linked to the item and the keys of the group tree of each group linked to it.
void GetKeysOfItem(const TMiniDB& db, int32_t item, TItemList& result);
// The keys that open the door: linked to it, through its cylinders (and their groups and
// the groups above those), with `withGeneralMaster` every general master key of its
// system; with `withBunches` also the key bunches that hold one of these keys.
void GetKeysOfDoor(const TMiniDB& db, int32_t door, bool withGeneralMaster, bool withBunches,
                   TItemList& result);
// The persons that hold a key (or a key bunch) that opens the door.
void GetHoldersOfDoorKeys(const TMiniDB& db, int32_t door, TItemList& result);
// The first key linked to the item whose "kt" is below 2 (single-lock or no type); `count`
// is raised by one for each such key, the scan stopping at the second.
int32_t FindSingleKey(const TMiniDB& db, int32_t item, int& count);
// Sorted display names of the keys (and bunches) linked to the item, each with its
// locking-system name in round brackets when asked.
std::vector<std::string> KeysOfItemList(const TMiniDB& db, int32_t item, bool withBunches,
                                        bool withSystem);
// The same joined by ", ".
std::string KeysOfItemText(const TMiniDB& db, int32_t item, bool withBunches, bool withSystem);

// ---------------------------------------------------------------------------------------
// Filters and lookups

// All records (deleted ones too) resp. the valid records of the class with that code.
void GetAllItemsOfClassInSystem(const TMiniDB& db, int cls, TKeySystemCode code, TItemList& result);
void GetItemsOfClassInSystem(const TMiniDB& db, int cls, TKeySystemCode code, TItemList& result);
// All resp. the valid records of the class linked to the building.
void GetAllItemsOfClassInBuilding(const TMiniDB& db, int cls, int32_t building, TItemList& result);
void GetItemsOfClassInBuilding(const TMiniDB& db, int cls, int32_t building, TItemList& result);
// The item's first linked building; 0 if none.
int32_t GetBuildingOf(const TMiniDB& db, int32_t item);
// The valid locking-system record (class 9) of a code; 0 if none.
int32_t GetSystemItem(const TMiniDB& db, TKeySystemCode code);
// GetSystemItem, else a new class-9 record with the name (else KeySystemName of the code)
// and the code, made under the write reservation after a reread. 0 for code 0, ksAll, or
// when the reservation was refused (message shown).
int32_t EnsureSystemItem(TMiniDB& db, TKeySystemCode code, const std::string& name);
// True when a record other than a locking-system record (or, with a list, a listed
// record) carries the code.
bool IsKeySystemUsed(const TMiniDB& db, TKeySystemCode code, const TItemList* list = nullptr);
// For a general master key "alle von <system>"; otherwise the sorted names with context of
// the doors the key opens; "-" when there is none.
std::vector<std::string> FillKeySystemsOfKey(const TMiniDB& db, int32_t key);
std::string FirstKeySystemOfKey(const TMiniDB& db, int32_t key);
// The name of the first building among the doors the key opens; "-" if none.
std::string BuildingNameOfKey(const TMiniDB& db, int32_t key);
// The first listed record whose field equals the value; 0 if none.
int32_t FindItemInListByField(const TMiniDB& db, const TItemList& list, const std::string& field,
                              const std::string& value);

// ---------------------------------------------------------------------------------------
// Redundant links.

// Removes the key's direct door links (both directions) for doors that its cylinders or
// the cylinders of its groups reach anyway; how many.
int RemoveRedundantDoorLinks(TMiniDB& db, int32_t key);
// Removes the item's direct cylinder links (both directions) for cylinders that its
// groups reach; how many.
int RemoveRedundantCylinderLinks(TMiniDB& db, int32_t item);

// ---------------------------------------------------------------------------------------
// Name finders. All return 0 for an empty name.

// Trimmed, upper case, runs of blanks made single.
std::string NormalizeName(const std::string& text);
// The first valid record of the class other than `skip` whose display name (the part before
// a TAB) equals the name, both normalised.
int32_t FindItemByName(const TMiniDB& db, int cls, const std::string& name, int32_t skip);
// The same with the normalised "n" and the same locking-system code.
int32_t FindItemByNameInSystem(const TMiniDB& db, int cls, const std::string& name,
                               TKeySystemCode code, int32_t skip);
// The same comparing the names of the store's name list.
int32_t FindListedItemByNameInSystem(const TMiniDB& db, int cls, const std::string& name,
                                     TKeySystemCode code, int32_t skip);
// A valid door linked to the building with the same normalised name.
int32_t FindDoorByNameInBuilding(const TMiniDB& db, const std::string& name, int32_t building,
                                 int32_t skip);
// A valid cylinder with that code, normalised name and "len".
int32_t FindCylinderByNameAndLength(const TMiniDB& db, TKeySystemCode code, const std::string& name,
                                    const std::string& length);
// A valid person whose "Nr" equals the number, ignoring case and outer blanks.
int32_t FindPersonByNumber(const TMiniDB& db, const std::string& number, int32_t skip);
// A valid building whose trimmed upper-case name equals the trimmed upper-case name.
int32_t FindBuildingByName(const TMiniDB& db, const std::string& name);

// The caches of the relation queries, one per store asked about.
class TRelationCaches {
 public:
  TRelationCaches();
  ~TRelationCaches();
  TRelationCaches(const TRelationCaches&) = delete;
  TRelationCaches& operator=(const TRelationCaches&) = delete;
  void Clear();
  // How many stores have a cache.
  size_t Count() const;
  class TImpl;
  TImpl& Impl() { return *impl_; }

 private:
  std::unique_ptr<TImpl> impl_;
};
// The caches in force: the open client's session's.
TRelationCaches& RelationCaches();

// Drops every cache of the relation queries (the caches drop themselves when a store
// changes; this is for tests and for freeing memory).
void DropRelationCaches();
