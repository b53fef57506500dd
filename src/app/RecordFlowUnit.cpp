#include "app/RecordFlowUnit.h"

#include <algorithm>
#include <string_view>

#include "app/UnitTR100Win.h"
#include "basic/MsgDlgUnit.h"
#include "basic/SLUnit.h"
#include "data/HistoryUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

namespace {

constexpr size_t kDeleteNameMax = 255;

std::string NameForDeletion(TMiniDB& db, int32_t id) {
  std::string name = db.GetValidDisplayName(id);
  if (name.size() > kDeleteNameMax) name.resize(kDeleteNameMax);
  return name;
}

bool RecordGone(TMiniDB& db, int32_t id) { return !db.HasRecord(id) || !db.IsValid(id); }

void AddUnique(std::vector<int32_t>& ids, int32_t id) {
  if (id > 0 && std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
}

}  // namespace

std::vector<int32_t> RecordsTouchedByDelete(TMiniDB& db, int32_t id) {
  std::vector<int32_t> ids{id};
  if (!db.HasRecord(id)) return ids;
  TQStringList fields;
  fields.SetCommaText(db.GetRecordText(id));
  for (const TStringItem& item : fields.Items()) {
    const std::string_view field = item.text;
    const size_t equals = field.find('=');
    int kind = 0;
    if (equals == std::string_view::npos || !IsLinkField(field.substr(0, equals), kind)) continue;
    TItemList linked;
    db.GetLinks(id, kind, linked);
    for (int32_t i = 0; i < linked.Count(); ++i) AddUnique(ids, linked.Get(i));
  }
  return ids;
}

bool LockOnFreshData(TMiniDB& db, int32_t id) {
  int ticket = -1;
  if (!db.Reserve(ticket)) {
    ShowLockFailed();
    return false;
  }
  db.Load();
  if (!db.LockItem(id, true, ticket)) return false;  // blocker shown, reservation given back
  db.Release(ticket);
  return true;
}

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
  std::string question = view_.DeleteQuestion(NameForDeletion(*db, id));
  if (question.empty()) question = "\"" + NameForDeletion(*db, id) + "\" wirklich l\xF6schen?";
  if (AskYesNo(question) != mrYes) return;

  // Lock the record on the freshest data; the checks above ran on what the view showed.
  // Under the lock nobody else changes the record while the view checks again (which may
  // tell or ask the user: no write is alive yet).
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
  // The right and the view's rule again, on the data the write will see (holdings booked
  // by another station meanwhile count).
  if (RightDenied(view_.FlowRightIndex()) || !view_.CanDelete()) {
    db->UnlockItem(id);
    return;
  }

  // One write: the view's own changes, the record marked deleted, its links gone on both
  // sides; saved together or taken back together.
  const int cls = db->GetClass(id);
  const std::string name = NameForDeletion(*db, id);
  std::string blocking;
  bool deleted = false;
  {
    // The linked records as the reread store has them, under the same check.
    TStoreWrite write(*db, {id});
    if (write.Ok() && write.Include(RecordsTouchedByDelete(*db, id)) && !RecordGone(*db, id) &&
        view_.BeforeDelete(write, id) && db->MarkDeleted(id))
      deleted = write.Commit();
    // Refused by another station (before the change or inside the hook): named below, once
    // the reservation is given back.
    if (!deleted && (!write.Ok() || !write.Blocking().empty()))
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
  }
  db->UnlockItem(id);
  if (!blocking.empty()) {
    if (blocking == "*")
      ShowLockFailed();
    else
      db->ShowLockedMessage(blocking, true);
    return;
  }
  if (!deleted) {
    view_.AfterDelete(id, false);
    return;
  }
  HistoryDel(cls, id, name);
  view_.AfterDelete(id, true);
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
    ShowError(CoreText(113));
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
