#pragma once
// The special functions over the whole client's data: mass deletions, the locking-system
// and cabinet tools, and the conversions that turn free-text entries and indirect relations
// into real records and closings.
//
// Every operation but RemoveDanglingBuildingLinks runs as one bulk run (TBulkWrite): the
// lock on all records (refused, naming the station, while another one holds a record),
// the store read again, the change plan worked out from that data, the plan applied, one
// save. A run that is refused, cancelled or whose save fails changes nothing, on disk or
// in memory, and writes no history line. Questions are asked before the run, never inside.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QDialog>

#include "data/StoreWriteUnit.h"
#include "views/KsToolFormUnit.h"

class QLabel;
class QPushButton;
class QTabWidget;
class TMiniDB;
class TMLStringList;

// Removes from every valid record of the class its links to buildings (kind 2) that are no
// valid buildings any more, in one write over those records. Unless quiet, the user's right
// for buildings is asked first. The number of links removed; -1 when refused (the right,
// or a record held by another station, who is named unless quiet).
int RemoveDanglingBuildingLinks(TMiniDB& db, int cls, bool quiet);

// The results below: a count, or kRefused / kCancelled (KsToolFormUnit.h). Unless quiet,
// the user's right is asked first (persons 0, keys 1, doors 2, everything else 3) and a
// refused run tells who holds the data.

// The persons to delete: valid persons without key links (kind 4), without key bunch links
// (kind 14) and without holder lines on any key or bunch.
std::vector<int32_t> PlanPersonsWithoutKeys(const TMiniDB& db);
// The valid records of the class to delete. Persons who still hold pieces are kept (no
// return could book the pieces back); `kept` gets how many.
std::vector<int32_t> PlanDeleteAll(const TMiniDB& db, int cls, int* kept);
// Deletes the planned records (MarkDeleted: links gone on both sides), one "a=Del" history
// line each after the save.
int DeletePersonsWithoutKeys(TMiniDB& db, bool quiet, const TBulkProgress& progress = {});
int DeleteAllOfClass(TMiniDB& db, int cls, bool quiet, int* kept,
                     const TBulkProgress& progress = {});

// One door whose "cyl" text becomes a real cylinder.
struct TCylinderExtraction {
  int32_t door = 0;
  int32_t cylinder = 0;  // an existing cylinder of that name, 0: made by the run
  std::string name;
  TKeySystemCode code = ksNone;
  std::string length, position;
  bool keepLength = false, keepPosition = false;  // the existing cylinder says otherwise
  bool operator==(const TCylinderExtraction&) const = default;
};
std::vector<TCylinderExtraction> PlanCylinderExtraction(const TMiniDB& db);
// Counting only: the doors to convert. Applying: the cylinders made.
int ExtractCylindersFromDoors(TMiniDB& db, bool apply, bool quiet,
                              const TBulkProgress& progress = {});

// One door without cylinder and cylinder text that gets a cylinder of its own: named like
// the door, or like its only key ("n", and "n2" after a blank) when naming like keys. A door
// whose name a cylinder of its system carries already (or a door before it in this plan)
// is left out.
struct TDoorCylinder {
  int32_t door = 0;
  std::string name;
  TKeySystemCode code = ksNone;
  std::string length, position;
  bool operator==(const TDoorCylinder&) const = default;
};
std::vector<TDoorCylinder> PlanCylindersForDoors(const TMiniDB& db, bool likeKeys);
// Counting only or applying: the doors that get a cylinder.
int CylindersForDoors(TMiniDB& db, bool likeKeys, bool apply, bool quiet,
                      const TBulkProgress& progress = {});

// A link to add or remove, on both sides.
struct TClosingChange {
  int32_t a = 0, b = 0;
  int kindOnA = 0, kindOnB = 0;
  bool add = false;
  bool operator==(const TClosingChange&) const = default;
};
// Key-door closings that become key-cylinder closings: a key outside groups, a door with
// exactly one valid cylinder of the key's system, all of whose doors the key opens
// directly already. `keys` gets the keys that change. `visit` (when given) hears of every
// key visited, with their number; when it answers false the plan stops (and is incomplete).
std::vector<TClosingChange> PlanKeyDoorsToCylinders(
    const TMiniDB& db, std::vector<int32_t>* keys,
    const std::function<bool(size_t, size_t)>& visit = {});
// The number of keys changed.
int ConvertKeyDoorsToCylinders(TMiniDB& db, bool quiet, const TBulkProgress& progress = {});

// Redundant closings: a key's direct door links to doors its cylinders or the cylinders of
// its groups reach anyway, and a group's direct cylinder links to cylinders the groups
// linked to it reach. Each removal on both sides; `doorLinks` (optional) gets how many of
// the plan are key-door links.
std::vector<TClosingChange> PlanRedundantLinks(const TMiniDB& db, int* doorLinks);
// Removes them in one run: the number of key-door links removed, `cylinderLinks` the
// number of group-cylinder links (0 when refused).
int RemoveRedundantLinks(TMiniDB& db, bool quiet, int* cylinderLinks,
                         const TBulkProgress& progress = {});

// Single-key automation: keys of "kt" below 2 without cylinder and group links get the
// cylinder of their name in their system ("kt" 1). Group-key automation: keys without type
// that have a group link or two cylinder links get "kt" 2. The number of keys changed.
int SingleKeyAutomation(TMiniDB& db, bool quiet, const TBulkProgress& progress = {});
int GroupKeyAutomation(TMiniDB& db, bool quiet, const TBulkProgress& progress = {});

// Makes the links from class A to class B single: each record of A keeps only its first
// link to a valid record of B, on both sides; every other link between the two classes
// goes. The count of records of A that had more (without keep) plus every link removed.
// Asks no right; unless quiet, a refused run tells who holds the data.
int ConvertLinks(TMiniDB& db, int classA, int classB, bool keep, bool quiet = true);

// Merging keys resp. cylinders of one locking system that have the same closing ("k603",
// not empty) and the same links; the later ones are absorbed into the first. The number of
// records absorbed.
int MergeKeys(TMiniDB& db, TKeySystemCode code, bool quiet, const TBulkProgress& progress = {});
int MergeCylinders(TMiniDB& db, TKeySystemCode code, bool quiet,
                   const TBulkProgress& progress = {});

const TMLStringList* SpecialDeleteTexts();
std::string SpecialDeleteText(int number);
std::string SpecialDeleteTextFmt(int number, const std::string& argument);

// ---------------------------------------------------------------------------------------
// The dialog.

// The special functions, each a button: the question before the run, the run with a
// progress panel and cancel, the result message, the views refreshed after a change.
class TSpecialDeleteForm : public QDialog {
 public:
  explicit TSpecialDeleteForm(QWidget* parent = nullptr);

  QLabel* WarnLabel;  // text 12
  QTabWidget* PageControl;
  QPushButton* DeletePersonsWithoutKeysBtn;
  QPushButton* DeleteAllPersonsBtn;
  QPushButton* DeleteAllKeysBtn;
  QPushButton* DeleteAllDoorsBtn;
  QPushButton* ChangeKsBtn;
  QPushButton* ChangeCabBtn;
  QPushButton* MeldKeysBtn;
  QPushButton* MeldCylsBtn;
  QPushButton* ConvertCylsBtn;
  QPushButton* ConvertKeysBtn;
  QPushButton* DoorsToCylsBtn;
  QPushButton* ESCylBtn;
  QPushButton* GSBtn;
  QPushButton* DelRedundantLinksBtn;
  QPushButton* CloseBtn;

  void DeletePersonsWithoutKeysBtnClick();
  void DeleteAllPersonsBtnClick();
  void DeleteAllKeysBtnClick();
  void DeleteAllDoorsBtnClick();
  void ChangeKsBtnClick();
  void ChangeCabBtnClick();
  void ConvertCylsBtnClick();
  void ConvertKeysBtnClick();
  void DoorsToCylsBtnClick();
  void ESCylBtnClick();
  void GSBtnClick();
  void DelRedundantLinksBtnClick();
  void MeldKeysBtnClick();
  void MeldCylsBtnClick();

  // True once a run changed the data while the dialog was open.
  bool Changed() const { return changed_; }

 private:
  void DeleteAll(int cls);
  // After a run: a change refreshes the views.
  void Done(int count);
  bool changed_ = false;
};

// Shows the dialog on the page used last (the first at first); true when something changed.
bool ShowSpecialFunctions();
