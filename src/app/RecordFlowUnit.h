#pragma once
// The record flows that every master-data view shares: delete, cancel, duplicate and the
// command letters N, E, D, S. They live apart from the frame so that a test can drive them
// against a plain object standing in for a view, with no window.
//
// Deleting follows the sharing rules: ask first, then lock the record, reread the store
// and check again that the record still exists and may be deleted; delete and write the
// history line with the name the record had; give the lock back; refresh every view.

#include <cstdint>
#include <functional>

class TMiniDB;

// What the flows need of a view. The frame of the master-data views implements it; its
// virtual operations are these.
class IRecordFlowView {
 public:
  virtual ~IRecordFlowView() = default;
  virtual int32_t FlowCurrentId() const = 0;
  virtual void FlowSetCurrentId(int32_t id) = 0;
  virtual bool FlowEditing() const = 0;
  virtual int FlowItemType() const = 0;
  virtual int FlowRightIndex() const = 0;

  virtual void DiscardEdit() = 0;
  virtual void ClearDisplay() = 0;
  virtual void ShowRecord(int32_t id) = 0;
  virtual bool CanEdit() = 0;
  virtual bool StartEdit() = 0;
  virtual bool CanDelete() = 0;
  virtual bool CanDuplicate() = 0;

  // The focus to the record list, when it can take it.
  virtual void FocusList() = 0;
  // The button of a command letter ("N" new, "E" edit, "S" save) is visible and enabled.
  virtual bool ButtonReady(char letter) const = 0;
  // Runs the button's click as a mouse click would.
  virtual void ClickButton(char letter) = 0;
};

class TRecordFlow {
 public:
  explicit TRecordFlow(IRecordFlowView& view);

  // The store the flows work on; default: the session's.
  std::function<TMiniDB*()> Store;
  // Refreshes every view; default: RefreshAllFrames.
  std::function<void()> RefreshAll;

  void Delete();
  void Cancel();
  // The new record's ID, 0 when nothing was duplicated.
  int32_t Duplicate();
  // "D" always true; "N", "E", "S" true when their button was ready and clicked.
  bool HandleShortcut(char letter);

 private:
  TMiniDB* Db() const;
  IRecordFlowView& view_;
};

// The message when a record to be deleted is gone already.
inline constexpr const char* kAlreadyDeletedText = "Dieser Datensatz war bereits gel\xF6scht.";
