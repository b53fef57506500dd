#pragma once
// The doors view: the page that lists and edits doors (records of class 3): where a door is
// (building, floor, room), which locking system and which cylinder it has, which keys open
// it and who holds them, its categories and the floor plan of its floor.
//
// Saving is one write over every record whose lines change: the door, its old and new
// building, its old cylinders, the chosen or new cylinder and, for a door made from the
// keys view, the key. The questions and notices about the locking system come before it;
// the checks that can refuse (the name taken in the building, the door deleted meanwhile,
// a record held by another station) run inside it on the fresh data before a record is
// created. So a saved door has one building and exactly the chosen cylinder, and a refused
// save leaves no half a door and no stray cylinder. A cylinder chosen in the list is taken
// by its ID; only typed text is looked up by name, system and length.
//
// Saving a door writes no history line (a deletion's line is the record flow's).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/FrameMotherUnit.h"
#include "data/MiniDBUnit.h"
#include "output/PrintSelectUnit.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class TMLStringList;
class TFloorPlanFrame;

// The message table "FrameDoors" (entry 0 the table's name).
const TMLStringList* FrameDoorsTexts();
std::string FrameDoorsText(int number);
std::string FrameDoorsTextFmt(int number, const std::string& argument);

// The door list's name functions: the name with its building in brackets, and the name
// with its cylinder and locking system.
void DoorNameWithBuilding(const TMiniDB& db, int32_t id, const TQStringList& fields, uint8_t style,
                          std::string& text);
void DoorNameWithCylinder(const TMiniDB& db, int32_t id, const TQStringList& fields, uint8_t style,
                          std::string& text);

// The door has at least two valid cylinder links.
bool DoorHasSeveralCylinders(const TMiniDB& db, int32_t door);
// The valid cylinders linked to the door.
std::vector<int32_t> CylindersOfDoor(const TMiniDB& db, int32_t door);

// Another valid door of that name (normalised) in the building, `skip` excepted; among the
// doors without a building when `building` is 0.
int32_t FindOtherDoorInBuilding(const TMiniDB& db, const std::string& name, int32_t building,
                                int32_t skip);

// One row of the keys grid: a key that opens the door.
struct TDoorKeyRow {
  int32_t key = 0;
  std::string name;     // display name
  std::string count;    // available / total
  std::string persons;  // names of the persons linked to the key, "; "-joined, cut
};
// The keys of the door (directly, through its cylinders and groups, the general master
// keys of its system, key bunches), sorted by name.
std::vector<TDoorKeyRow> DoorKeyRows(const TMiniDB& db, int32_t door);

// What the edit panel says, read once per save.
struct TDoorInputs {
  std::string name, floor, roomNumber, room, position, remark;
  int32_t building = 0;
  int32_t system = 0;        // 1001 + building for the building's own system
  std::string cylinderName;  // "" for none ("-")
  std::string cylinderLength, cylinderPosition, lockNumber;
  int32_t cylinderId = 0;       // the chosen or found cylinder, 0 none
  bool cylinderChosen = false;  // taken from the list by its ID
};

class TFrameDoors : public TFrameMother {
 public:
  explicit TFrameDoors(QWidget* owner);
  ~TFrameDoors() override;

  // 0 view, 1 editing, 2 new.
  int EditState = 0;

  QLineEdit* DoorNameEd;
  QComboBox* HouseCombo;
  QLineEdit* FloorEd;
  QLineEdit* DoorPosEd;
  QLineEdit* RoomNrEd;
  QLineEdit* RoomEd;
  QPlainTextEdit* DoorRemMemo;
  QComboBox* KeysystemCombo;
  QLabel* CylLabel;
  QComboBox* CylCombo;
  QLabel* LockLabel;
  QLineEdit* CylLockEd;
  QLineEdit* CylPosEd;
  QLineEdit* CylLenEd;
  QPushButton* FloorPlanBtn;
  QLabel* CategoriesLabel;
  QTableWidget* KeysGrid;
  QTableWidget* MultiCylsGrid;
  TFloorPlanFrame* FloorPlanFrame;
  QAction* createAsKey1;
  QAction* OnlyDoorsWithMultiCyls1;
  QAction* ListnamePure1;
  QAction* ListnameWithBuilding1;
  QAction* ListnameWithKS1;
  QAction* Categ1;
  QAction* Count1;
  QMenu* DoorMatchingKeysPopup;
  QAction* DoorGotoKey1;

  // The categories chosen for the door; default: the category dialog (SelectCategory).
  std::function<bool(std::vector<int32_t>& ids)> ChooseCategories;

  // ----- the virtual operations ----------------------------------------------------------
  void InitLayout() override;
  void DiscardEdit() override;
  void EnterEditMode() override;
  void ClearDisplay() override;
  void ShowRecord(int32_t id) override { ShowDoor(id); }
  void RefreshView() override;
  // The system choice's own-system entry in the language now in force.
  void TermsChanged() override;
  bool CanEdit() override;
  bool StartEdit() override;
  std::string DeleteQuestion(const std::string& name) override;
  void PrintMenu() override;
  bool PrintPage() override;

  // ----- called from outside ---------------------------------------------------------------
  void ShowDoor(int32_t id);
  // A new door (from the keys view): refused while editing or without right 2.
  bool NewDoor(const std::string& name, int32_t system, int32_t key);
  // Another view's call: kCmdNew with a key starts a new door for that key.
  void ViewCall(int command, int32_t id) override;
  void ShowViewMode();

  // ----- handlers ------------------------------------------------------------------------
  void NewBtnClick();
  // The save; true when the door was saved.
  bool SaveBtnClick();
  TDoorInputs ReadInputs();
  // Fills the cylinder list for the chosen system, keeping the typed text.
  void FillCylCombo();
  void CylComboChange();
  // Goes to the cylinder entered (the cylinders page without a name).
  void CylLabelClick();
  // The stock list of cylinders searching the lock number; goes to the chosen one.
  void LockLabelClick();
  void Categ1Click();
  void FloorPlanBtnClick();
  void SetListName(int variant);
  void SetOnlyMultiCyls(bool on);
  void Count1Click();
  void ShowKeys();
  // The keys grid's columns: the name and count as wide as their widest text and an "X",
  // the persons the rest of the grid but 26 pixels.
  void FitKeysColumns();
  // The persons column alone, after the grid's width changed.
  void StretchKeysPersonsColumn();
  int32_t KeyToLink() const { return keyToLink_; }
  // Lines of the door list printout: the ticked columns (by their captions) of the doors.
  static std::vector<std::string> DoorListLines(const TMiniDB& db, const std::vector<int32_t>& ids,
                                                const std::vector<std::string>& columns);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetFieldsEditable(bool editable);
  void FillHouseCombo(int32_t selectId);
  void ShowCylinderFields(int32_t cylinder);
  void UpdateFloorPlanCaption();
  void PlaceFloorPlan();

  int32_t keyToLink_ = 0;
  int32_t lastBuilding_ = 0;
  int32_t lastSystem_ = 0;
  int listVariant_ = 0;
  TPrintFields printFields_;
};

// Registers the view's factory for the doors page.
void RegisterDoorsView();
