#pragma once
// The buildings view: the page that lists and edits buildings or parts of buildings
// (records of class 2): name, additional name, address, locking system and remark, with the
// doors and the persons assigned to the building in two link frames that only list (the
// links are made from the door and the person).
//
// Saving is one write: the listed name ("name [additional name]") is checked for another
// building on the fresh data before a record is created, and the fields are saved together
// or not at all. Deleting goes through the record flow: refused while doors name the
// building (as the store has them, not as the list showed them) or while records carry the
// building's own locking system, whose name would vanish with it.

#include <cstdint>
#include <string>
#include <vector>

#include "app/FrameMotherUnit.h"
#include "output/PrintSelectUnit.h"

class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class TLinkingFrame;
class TMLStringList;

// The message table "FrameBuildings" (entry 0 the table's name).
std::string FrameBuildingsText(int number);
std::string FrameBuildingsTextFmt(int number, const std::string& argument);
const TMLStringList* FrameBuildingsTexts();

// The listed name of a building: the name, with " [" + additional name + "]" when given.
std::string BuildingListedName(const std::string& name, const std::string& name2);

// The valid doors of the building as the store has them: those in its door links and those
// whose building link names it.
std::vector<int32_t> DoorsOfBuilding(const TMiniDB& db, int32_t building);

// The lines of "Türen und Schlüssel zum Gebäude": a header (door caption TAB key caption),
// then per door its display name TAB the keys that open it (through a cylinder, a group or
// a general master key too), joined by ", ".
std::vector<std::string> DoorsAndKeysLines(const TMiniDB& db, int32_t building);

// The lines of the building list (choices "nur das angezeigte Gebäude" and "die in der
// Liste angezeigten Gebäude"): display name, address, system column, remark line.
std::vector<std::string> BuildingListLines(const TMiniDB& db, const std::vector<int32_t>& ids);

class TFrameBuildings2 : public TFrameMother {
 public:
  explicit TFrameBuildings2(QWidget* owner);
  ~TFrameBuildings2() override;

  // 0 view, 1 editing, 2 new.
  int EditState = 0;

  QLineEdit* BuildingNameEd;
  QLineEdit* BuildingName2Ed;
  QLineEdit* BuildingAdrEd;
  QComboBox* HouseKeysystemCombo;
  QPlainTextEdit* BuildingRemMemo;
  QTabWidget* DoorsPageControl;
  QWidget* FloorsTab;
  TLinkingFrame* DoorsLinkingFrame;
  TLinkingFrame* PersLinkingFrame;
  QToolButton* NewFloorBtn;

  // The name a new floor gets; default: the input dialog. Empty: nothing.
  std::function<std::string()> AskFloorName;
  // Where the printouts go (title, TAB lines); default: the list printout.
  std::function<bool(const std::string&, const std::vector<std::string>&)> PrintLines;

  // ----- the virtual operations ----------------------------------------------------------
  void InitLayout() override;
  void DiscardEdit() override;
  void EnterEditMode() override;
  void ClearDisplay() override;
  void ShowRecord(int32_t id) override;
  void RefreshView() override;
  // The system choice's own-system entry in the language now in force.
  void TermsChanged() override;
  bool StartEdit() override;
  bool CanDelete() override;
  bool BeforeDelete(TStoreWrite& write, int32_t id) override;
  void AfterDelete(int32_t id, bool deleted) override;
  std::string DeleteQuestion(const std::string& name) override;
  void PrintMenu() override;
  bool PrintPage() override;

  // ----- handlers ------------------------------------------------------------------------
  void NewBtnClick();
  // The save; true when the building was saved.
  bool SaveBtnClick();
  // A floor of the shown building; true when one was made.
  bool NewFloorBtnClick();
  // Choice 2 of the print menu; false when nothing was printed.
  bool PrintDoorsAndKeys();
  // Choices 0 and 1.
  bool PrintBuildings(bool onlyShown);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowViewMode();
  void SetFieldsEditable(bool editable);
  TPrintFields printFields_;
};

// Registers the view's factory for the buildings page.
void RegisterBuildingsView();
