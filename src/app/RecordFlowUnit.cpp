#include "app/RecordFlowUnit.h"

#include "app/UnitTR100Win.h"
#include "basic/MsgDlgUnit.h"
#include "data/HistoryUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UserRights.h"

namespace {

constexpr size_t kDeleteNameMax = 255;

std::string NameForDeletion(TMiniDB& db, int32_t id) {
  std::string name = db.GetValidDisplayName(id);
  if (name.size() > kDeleteNameMax) name.resize(kDeleteNameMax);
  return name;
}

bool RecordGone(TMiniDB& db, int32_t id) { return !db.HasRecord(id) || !db.IsValid(id); }

}  // namespace

TRecordFlow::TRecordFlow(IRecordFlowView& view) : view_(view) {}

TMiniDB* TRecordFlow::Db() const { return Store ? Store() : GlueDB(); }

void TRecordFlow::Delete() {
  const int32_t id = view_.FlowCurrentId();
  TMiniDB* db = Db();
  if (id == 0 || !db) {
    view_.ClearDisplay();
    return;
  }
  if (RecordGone(*db, id)) {
    ShowInfo(kAlreadyDeletedText);
    view_.ClearDisplay();
    return;
  }
  if (RightDenied(view_.FlowRightIndex()) || !view_.CanDelete()) return;
  if (AskYesNo("\"" + NameForDeletion(*db, id) + "\" wirklich l\xF6schen?") != mrYes) return;

  // Lock the record on the freshest data; the checks above ran on what the view showed.
  int ticket = -1;
  if (!db->Reserve(ticket)) {
    ShowLockFailed();
    return;
  }
  db->Load();
  if (!db->LockItem(id, true, ticket)) return;  // blocker shown, reservation given back
  db->Release(ticket);
  if (RecordGone(*db, id)) {
    db->UnlockItem(id);
    ShowInfo(kAlreadyDeletedText);
    view_.ClearDisplay();
    return;
  }
  if (!view_.CanDelete()) {
    db->UnlockItem(id);
    return;
  }
  const int cls = db->GetClass(id);
  const std::string name = NameForDeletion(*db, id);
  const bool deleted = db->MarkDeleted(id);
  if (deleted) HistoryDel(cls, id, name);
  db->UnlockItem(id);
  if (!deleted) return;
  view_.ClearDisplay();
  if (RefreshAll) RefreshAll();
  else RefreshAllFrames();
}

void TRecordFlow::Cancel() {
  const int32_t id = view_.FlowCurrentId();
  if (id != 0) {
    view_.DiscardEdit();
    if (TMiniDB* db = Db()) db->UnlockItem(id);
    view_.ShowRecord(id);
  } else {
    view_.ClearDisplay();
  }
  view_.FocusList();
}

int32_t TRecordFlow::Duplicate() {
  if (view_.FlowEditing()) return 0;
  if (!view_.CanEdit() || !view_.CanDuplicate()) return 0;
  const int32_t source = view_.FlowCurrentId();
  TMiniDB* db = Db();
  if (source == 0 || !db) return 0;
  // The copy is a new record: whoever may not change this view's records may not make one.
  if (RightDenied(view_.FlowRightIndex())) return 0;
  const int32_t copy = db->DuplicateRecord(source, true, true, true);
  if (copy == 0) {
    ShowError(std::string("Der Datensatz konnte nicht dupliziert werden.") + "\r" +
              "Eventuell sind zur Zeit verkn\xFCpfte Datens\xE4tze in Bearbeitung.");
    return 0;
  }
  HistoryNew(db->GetClass(copy), copy, db->GetValidDisplayName(copy), "");
  view_.FlowSetCurrentId(copy);
  if (RefreshAll) RefreshAll();
  else RefreshAllFrames();
  view_.StartEdit();
  return copy;
}

bool TRecordFlow::HandleShortcut(char letter) {
  switch (letter) {
    case 'D':
      Duplicate();
      return true;
    case 'E':
    case 'N':
    case 'S':
      if (!view_.ButtonReady(letter)) return false;
      view_.ClickButton(letter);
      return true;
    default:
      return false;
  }
}
