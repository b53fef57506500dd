#pragma once
// The groups view: the page that lists and edits locking groups (records of class 7) with
// their locking system, the groups directly below them (stored on the parent only), the
// cylinders directly in them and the group keys.
//
// Saving is one write over the group and every record whose links change: the name is
// checked against the groups of the system, and a subgroup that is the group itself or
// one above it is refused, both on the fresh data before a record is created. Stored
// cycles (older data) still read. Saving writes no history line.

#include <cstdint>
#include <string>
#include <vector>

#include "app/FrameMotherUnit.h"

class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class TLinkingFrame;
class TMLStringList;

const TMLStringList* FrameGroupsTexts();
std::string FrameGroupsText(int number);

// The subgroups of `wanted` that would close a cycle under `group`: the group itself and
// every group above it.
std::vector<int32_t> CyclingSubgroups(const TMiniDB& db, int32_t group,
                                      const std::vector<int32_t>& wanted);

class TFrameGroups : public TFrameMother {
 public:
  explicit TFrameGroups(QWidget* owner);
  ~TFrameGroups() override;

  int EditState = 0;  // 0 view, 1 editing, 2 new
  QLineEdit* NameEd;
  QComboBox* KeysystemCombo;
  QPlainTextEdit* RemMemo;
  QTabWidget* LinkPageControl;  // subgroups and cylinders, right of the list
  QTabWidget* KeyPageControl;   // the group keys, below the list
  TLinkingFrame* LinkSubgroupsFrame;
  TLinkingFrame* LinkCylsFrame;
  TLinkingFrame* LinkKeysFrame;

  void InitLayout() override;
  void DiscardEdit() override;
  void EnterEditMode() override;
  void ClearDisplay() override;
  void ShowRecord(int32_t id) override;
  void RefreshView() override;
  bool StartEdit() override;
  bool CanDelete() override { return true; }

  void NewBtnClick();
  bool SaveBtnClick();
  void LinkFrameEdBtnClick(TLinkingFrame* frame);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowViewMode();
  void SetFieldsEditable(bool editable);
  int32_t lastSystem_ = 0;
};

void RegisterGroupsView();
