#pragma once
// The common base of the master-data views (persons, buildings, groups, key cabinets,
// cylinders): a button bar, the searchable record list at the left, a scrollable edit
// panel at the right, the list pop-up; the delete, cancel and duplicate flows and the
// command letters (RecordFlowUnit.h); and the virtual operations each view overrides to
// show, edit and save its own records.
//
// While a view edits, a refresh of all views refreshes its list but leaves the record on
// screen alone, so input in progress survives another station's save.

#include <cstdint>
#include <memory>
#include <vector>

#include <QFrame>

#include "app/FrameSizingUnit.h"
#include "app/ListingFrameUnit.h"
#include "app/RecordFlowUnit.h"
#include "app/UnitTR100Win.h"

class QAction;
class QMenu;
class QScrollArea;
class QToolButton;

class TFrameMother : public QFrame, public IRecordFlowView {
 public:
  // The frame for records of `itemType`, changes guarded by right `rightIndex`. Calls
  // InitLayout last; a descendant that overrides InitLayout calls it again from its own
  // constructor once its controls exist.
  TFrameMother(QWidget* owner, uint8_t itemType, uint8_t rightIndex);
  ~TFrameMother() override;

  QMenu* ListPopup;
  QAction* Ed1;  // "Eintrag ändern"
  QFrame* BtnPanel;
  QToolButton* NewBtn;
  QToolButton* EdBtn;
  QToolButton* CancelBtn;
  QToolButton* KillBtn;
  QToolButton* SaveBtn;
  QToolButton* JournalBtn;
  QToolButton* TransferBtn;
  TListingFrame* ListingFrame;
  QScrollArea* EdPanel;
  QToolButton* PrintBtn;
  QAction* PrintList1;  // "Liste drucken"
  QMenu* FramePopup;

  int32_t CurrentId = 0;
  bool Editing = false;
  uint8_t ItemType;
  uint8_t RightIndex;
  FrameSizingRec Sizing;
  std::vector<QWidget*> ButtonLayout;  // the bar first, then its buttons
  std::unique_ptr<TFieldList> FieldList;
  TRecordFlow Flow;

  // ----- the virtual operations, in slot order -------------------------------------------
  virtual void InitLayout();
  virtual void UpdateCaptions() {}
  void DiscardEdit() override {}
  virtual void EnterEditMode() {}
  void ClearDisplay() override {}
  void ShowRecord(int32_t /*id*/) override {}
  virtual void RefreshView();
  bool CanEdit() override { return true; }
  bool StartEdit() override { return false; }
  bool CanDelete() override { return true; }
  virtual void PrintMenu() {}
  bool CanDuplicate() override { return true; }
  virtual int32_t Duplicate();
  // What the glue hands on to the view (see IView): the person or department term changed;
  // the issue-and-return view picks a party here; the page's print (false: none).
  virtual void TermsChanged() {}
  // A call of another view through the glue (a command letter and a record).
  virtual void ViewCall(int /*command*/, int32_t /*id*/) {}
  virtual void SetTransferPicking(bool /*on*/) {}
  virtual bool PrintPage() { return false; }

  // ----- handlers ------------------------------------------------------------------------
  // Makes the frame a child of the page, filling it.
  void PlaceIn(QWidget* parent);
  void FrameResize();
  void ListingFrameListBoxClick();
  void EdBtnClick() { StartEdit(); }
  void Ed1Click() { StartEdit(); }
  void PrintBtnClick() { PrintMenu(); }
  void PrintList1Click() { PrintMenu(); }
  void ListPopupPopup();
  void KillBtnClick() { Flow.Delete(); }
  void CancelBtnClick() { Flow.Cancel(); }
  // Hides the page's tab the frame sits on and stores the visible pages.
  void Hide1Click();
  // Shared key handler of the edit fields: typing into a read-only field outside edit mode
  // gives the notice that the view is not in edit mode. True when the notice was given.
  bool EdKeyPress(QWidget* sender, char key);
  bool HandleShortcut(char letter) { return Flow.HandleShortcut(letter); }

  // The refusals of a record's save that every view tells alike. `blocking`: the station
  // holding a record ("*": the store could not be reserved). `text`: the view's own text;
  // a name taken adds the shared hint and puts the focus into the name field; a record gone
  // at another station gives back its lock, clears the view and refreshes every list.
  void TellSaveBlocked(const std::string& blocking);
  void TellNameTaken(const std::string& text, QWidget* nameField);
  void TellRecordGone(int32_t id, const std::string& text, bool asError = true);
  // Locks the shown record for editing on the data as it is now, refreshing the view when
  // the store changed. False, with the message shown, when the lock could not be had or the
  // record is gone meanwhile (then `goneText`, and the view is cleared).
  bool LockCurrentForEdit(const std::string& goneText, bool goneAsError = true);

  // The frame as the view registry sees it (RegisterView(page, &GlueView())): the glue
  // part, the page commands of the record flow, and the record flow itself.
  IView& GlueView() { return glueView_; }

  // ----- IRecordFlowView -----------------------------------------------------------------
  int32_t FlowCurrentId() const override { return CurrentId; }
  void FlowSetCurrentId(int32_t id) override { CurrentId = id; }
  bool FlowEditing() const override { return Editing; }
  int FlowItemType() const override { return ItemType; }
  int FlowRightIndex() const override { return RightIndex; }
  void FocusList() override;
  bool ButtonReady(char letter) const override;
  void ClickButton(char letter) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QToolButton* ButtonOf(char letter) const;

  class TGlueView : public IView {
   public:
    explicit TGlueView(TFrameMother& frame) : frame_(frame) {}
    void RefreshView() override { frame_.RefreshView(); }
    void ClearView() override { frame_.ClearDisplay(); }
    bool Editing() const override { return frame_.Editing; }
    void ShowItem(int32_t id) override;
    int32_t CurrentItemId() const override { return frame_.CurrentId; }
    QComboBox* SystemFilterCombo() override { return frame_.ListingFrame->SysCombo; }
    QComboBox* BuildingFilterCombo() override { return frame_.ListingFrame->HouseCombo; }
    // The page commands N, E, D, S and Cancel are the record flow's.
    bool HandleCommand(char letter) override { return frame_.HandleShortcut(letter); }
    bool CancelEdit() override;
    IRecordFlowView* RecordFlow() override { return &frame_; }
    void TermsChanged() override {
      frame_.ListingFrame->TermsChanged();
      frame_.TermsChanged();
    }
    void SetTransferPicking(bool on) override { frame_.SetTransferPicking(on); }
    void ViewCall(int command, int32_t id) override { frame_.ViewCall(command, id); }
    bool Print() override { return frame_.PrintPage(); }

   private:
    TFrameMother& frame_;
  };
  TGlueView glueView_;
};
