#pragma once
// The navigation window ("Navigation [F9]"): one button per item class that goes to its
// page, the locking plan, the locking-system names, the manual, and check boxes that show
// or hide the pages a user may hide. The pages shown are stored for the user ("ViewTab")
// only when they changed.

#include <cstdint>
#include <vector>

#include <QDialog>

class QCheckBox;
class QPushButton;

// The result that asks for the locking plan.
inline constexpr int kNaviPlanResult = 65543;

class TNaviForm : public QDialog {
 public:
  explicit TNaviForm(QWidget* parent = nullptr);

  QPushButton* BtnKeys;
  QPushButton* BtnCyls;
  QPushButton* BtnDoors;
  QPushButton* BtnHouses;
  QPushButton* BtnGroups;
  QPushButton* BtnPersons;
  QPushButton* BtnCabs;
  QPushButton* BtnUsers;
  QPushButton* BtnSystems;
  QCheckBox* CheckCyls;
  QCheckBox* CheckDoors;
  QCheckBox* CheckHouses;
  QCheckBox* CheckGroups;
  QCheckBox* CheckCabs;
  QCheckBox* CheckUsers;
  QPushButton* PlanBtn;
  QPushButton* HelpBtn;
  QPushButton* EscBtn;

  // The chosen class, kNaviPlanResult, or 0.
  int Result = 0;

  // Each check box shows whether its page is visible; one whose right the user lacks can
  // only hide its page.
  void ReadPages();
  // Shows and hides the pages as ticked; stores the set when it changed. True then.
  bool ApplyPages();
  void BtnClick(int cls);
  void PlanBtnClick();
  void BtnSystemsClick();
  void HelpBtnClick();

  struct TPageCheck {
    QCheckBox* check;
    int page;
    int right;  // -1: none
  };
  const std::vector<TPageCheck>& PageChecks() const { return checks_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::vector<TPageCheck> checks_;
};

// Shows the window modally; on OK applies the check boxes. The chosen class, the plan's
// kNaviPlanResult, or 0.
int ShowNaviForm();
// The menu command: the page of the chosen class, or the locking plan.
void RunNavigation();
