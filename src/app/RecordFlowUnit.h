#pragma once
// The record flows that every master-data view shares: delete, cancel, duplicate and the
// command letters N, E, D, S. They live apart from the frame so that a test can drive them
// against a plain object standing in for a view, with no window.
//
// Deleting follows the sharing rules: ask first, then lock the record, reread the store
// and check again that the record still exists and may be deleted; then one TStoreWrite
// over the record and every record linked to it: the view's before-delete hook, the
// deletion and its links' removal are saved together or not at all; the history line with
// the name the record had follows the save; the lock goes back; every view refreshes.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TMiniDB;
class TStoreWrite;

// What the flows need of a view: the record-flow part of the view contract
// (ViewRegistryUnit.h). The frame of the master-data views implements it. The first five
// members are required; the others are the flows' hooks, each with the answer of a view
// that has no such rule.
class IRecordFlowView {
 public:
  virtual ~IRecordFlowView() = default;
  virtual int32_t FlowCurrentId() const = 0;
  virtual void FlowSetCurrentId(int32_t id) = 0;
  virtual bool FlowEditing() const = 0;
  virtual int FlowItemType() const = 0;
  virtual int FlowRightIndex() const = 0;

  virtual void DiscardEdit() {}
  virtual void ClearDisplay() {}
  virtual void ShowRecord(int32_t /*id*/) {}
  virtual bool CanEdit() { return true; }
  virtual bool StartEdit() { return false; }
  // May the record be deleted? Asked before the question and again under the record's lock
  // on the fresh data; it may tell the user why not, and ask (no write is alive then).
  virtual bool CanDelete() { return true; }
  // Inside the delete's write, right before the record is marked deleted: what the view
  // changes together with the deletion (a daughter's pieces back to her mother ...). It
  // changes records through the store only, takes records beyond the deleted one and its
  // links into the write first (write.Include), and asks and shows nothing. False takes the
  // whole delete back.
  virtual bool BeforeDelete(TStoreWrite& /*write*/, int32_t /*id*/) { return true; }
  // After the delete's write ended and the reservation is given back: `deleted` says
  // whether the record is gone. Here a view tells why its BeforeDelete refused, or removes
  // what it keeps outside the store (a person's photo).
  virtual void AfterDelete(int32_t /*id*/, bool /*deleted*/) {}
  // The question before deleting; empty: the flow's own ("\"<name>\" wirklich löschen?").
  virtual std::string DeleteQuestion(const std::string& /*name*/) { return ""; }
  virtual bool CanDuplicate() { return true; }

  // The focus to the record list, when it can take it.
  virtual void FocusList() {}
  // The button of a command letter ("N" new, "E" edit, "S" save) is visible and enabled.
  virtual bool ButtonReady(char /*letter*/) const { return false; }
  // Runs the button's click as a mouse click would.
  virtual void ClickButton(char /*letter*/) {}
};

// The records whose lines deleting `id` changes: the record and every record it links to
// (their back links go with it).
std::vector<int32_t> RecordsTouchedByDelete(TMiniDB& db, int32_t id);

class TRecordFlow {
 public:
  explicit TRecordFlow(IRecordFlowView& view);

  // The store the flows work on; default: the session's.
  std::function<TMiniDB*()> Store;
  // Refreshes every view; default: RefreshAllFrames.
  std::function<void()> RefreshAll;

  // The whole delete: questions, checks, one write, history, refresh.
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

// Locks the record for this workstation on the data as it is now: the reservation, the
// store read again when it changed, the record's lock, the reservation given back. False,
// with the message shown (no reservation, or the station that holds the record), when the
// lock could not be had.
bool LockOnFreshData(TMiniDB& db, int32_t id);

// The message when a record to be deleted is gone already.
inline constexpr const char* kAlreadyDeletedText = "Dieser Datensatz war bereits gel\xF6scht.";
