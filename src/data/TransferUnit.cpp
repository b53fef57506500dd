#include "data/TransferUnit.h"

#include <limits>
#include <utility>
#include <vector>

#include "basic/BasicsUnit.h"
#include "basic/MultiLingua.h"
#include "basic/SLUnit.h"
#include "basic/UserInteraction.h"
#include "data/HistoryUnit.h"
#include "data/LogFilesUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

// =======================================================================================
// Message table

namespace {

struct TTextEntry {
  int number;
  const char* text;
};

// The German texts (1252 bytes); "#13#" is a line break.
const TTextEntry kTransferTexts[] = {
    {0, "TransferUnit"},
    {txBadQuantity, "Die Anzahl %1 ist nicht zul\xE4ssig.#13#Bitte geben Sie eine Anzahl ab 1 "
                    "ein. Die Buchung wurde nicht ausgef\xFChrt."},
    {txKeyGone, "Der Schl\xFCssel %1 ist nicht mehr vorhanden (gel\xF6scht oder kein "
                "Schl\xFCssel).#13#Die Buchung wurde nicht ausgef\xFChrt."},
    {txOwnerGone, "Der Besitzer %1 ist nicht mehr vorhanden.#13#Die Buchung wurde nicht "
                  "ausgef\xFChrt."},
    {txHoldingGone, "Dieser Besitz ist nicht mehr vorhanden: %1 wurde inzwischen an einem "
                    "anderen Arbeitsplatz gebucht (z.B. bereits zur\xFC" "ckgenommen).#13#"
                    "Die Buchung wurde nicht ausgef\xFChrt. Bitte pr\xFC" "fen Sie die "
                    "Besitzer-Liste."},
    {txHoldingTooSmall, "Dieser Besitz umfasst inzwischen nur noch %1 St\xFC" "ck.#13#Die "
                        "Buchung wurde nicht ausgef\xFChrt. Bitte pr\xFC" "fen Sie die "
                        "Besitzer-Liste."},
    {txNegativeStock, "Der neue Bestand w\xFCrde negativ (kleiner Null) und wurde nicht "
                      "best\xE4tigt.#13#Die Buchung wurde nicht ausgef\xFChrt."},
    {txStockChanged, "Der Bestand wurde inzwischen an einem anderen Arbeitsplatz ge\xE4ndert "
                     "(jetzt %1).#13#Die Buchung wurde nicht ausgef\xFChrt. Bitte best\xE4tigen "
                     "Sie den negativen Bestand erneut."},
    {txSaveFailed, "Die Buchung konnte nicht gespeichert werden und wurde nicht "
                   "ausgef\xFChrt."},
    {txNoReceiptNo, "Es konnte keine Quittungsnummer vergeben werden (Einstellungen "
                    "nicht lesbar).#13#Die Buchung wurde nicht ausgef\xFChrt."},
};

std::string TransferTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(TransferTexts(), number, argument);
}

}  // namespace

const TMLStringList* TransferTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    for (const auto& e : kTransferTexts) t->Add255Obj(e.text, e.number);
    return t;
  }();
  return table;
}

std::string TransferText(int number) { return GetMLText(TransferTexts(), number); }

// =======================================================================================
// Kinds, owners, the record

int32_t TransferSign(TTransferKind kind) {
  switch (kind) {
    case tkDelivery:
    case tkReturn:
    case tkFind:
      return 1;
    case tkIssue:
    case tkDefect:
    case tkLoss:
      return -1;
    default:
      return 0;
  }
}

int TransferRight(TTransferKind kind) {
  switch (kind) {
    case tkDelivery:
    case tkDefect:
      return rtDefectDelivery;
    case tkIssue:
      return rtIssue;
    case tkReturn:
      return rtReturn;
    case tkLoss:
    case tkFind:
      return rtLossFind;
    default:
      return -1;
  }
}

void TTransferRecord::Clear() {
  TItemList keys = std::move(Keys);
  *this = TTransferRecord();
  Keys = std::move(keys);
}

void AssignTransfer(const TTransferRecord& source, TTransferRecord& dest) {
  if (&source == &dest) return;
  dest = source;  // TItemList copies its entries: dest owns a list of its own
}

void ConfirmNegativeStock(TTransferRecord& record, int32_t keyId, int32_t stockSeen) {
  record.ConfirmedStock[keyId] = stockSeen;
}

void SetTransferOwners(TMiniDB& db, TTransferRecord& record, int32_t holder,
                       int32_t cabinet) {
  const THolderRef holderRef{
      db.GetClass(holder) == icKeyBunch ? okKeyBunch : okPerson, holder};
  const THolderRef stock{okCabinet, cabinet};
  record.Sign = TransferSign(record.Kind);
  switch (record.Kind) {
    case tkDelivery:
      record.OldOwner = {okSupplier, 0};
      record.NewOwner = stock;
      break;
    case tkIssue:
      record.OldOwner = stock;
      record.NewOwner = holderRef;
      break;
    case tkReturn:
      record.OldOwner = holderRef;
      record.NewOwner = stock;
      break;
    case tkDefect:
      record.OldOwner = stock;
      record.NewOwner = {okDefective, 0};
      break;
    case tkLoss:
      record.OldOwner = {okPerson, holder};
      record.NewOwner = {okLost, holder};
      break;
    case tkFind:
      record.OldOwner = {okLost, holder};
      record.NewOwner = stock;
      break;
    default:
      record.OldOwner = THolderRef();
      record.NewOwner = THolderRef();
      break;
  }
}

namespace {

bool IsStockSide(THolderRef ref) { return ref.kind == okCabinet || ref.kind == okStock; }
bool IsHolderSide(THolderRef ref) {
  return (ref.kind == okPerson || ref.kind == okKeyBunch) && ref.id > 0;
}

}  // namespace

bool TransferOwnersFit(const TTransferRecord& r) {
  switch (r.Kind) {
    case tkDelivery:
      return r.OldOwner.kind == okSupplier && IsStockSide(r.NewOwner);
    case tkIssue:
      return IsStockSide(r.OldOwner) && IsHolderSide(r.NewOwner);
    case tkReturn:
      return IsHolderSide(r.OldOwner) && IsStockSide(r.NewOwner);
    case tkDefect:
      return IsStockSide(r.OldOwner) && r.NewOwner.kind == okDefective;
    case tkLoss:
      return r.OldOwner.kind == okPerson && r.OldOwner.id > 0 && r.NewOwner.kind == okLost;
    case tkFind:
      return r.OldOwner.kind == okLost && IsStockSide(r.NewOwner);
    default:
      return false;
  }
}

// =======================================================================================
// The program's record

// TransferRec() is the client session's (ClientSessionUnit.cpp).

void ResetTransferRec() { TransferRec() = TTransferRecord(); }

// =======================================================================================
// Cabinet counters and identifiers

namespace {

void AddCabinetValue(TMiniDB& db, int32_t keyId, int32_t cabinet, int32_t delta,
                     const char* name) {
  if (delta == 0 || cabinet <= 0 || db.GetClass(cabinet) != icCabinet) return;
  int32_t value = 0;
  if (!TryStrToInt(db.GetLinkValue(keyId, cabinet, name), value)) return;
  db.SetLinkValue(keyId, cabinet, name, std::to_string(int64_t{value} + delta));
}

}  // namespace

void AddCabinetCount(TMiniDB& db, int32_t keyId, int32_t cabinet, int32_t delta) {
  AddCabinetValue(db, keyId, cabinet, delta, fkCabinetStock);
}

void AddCabinetTotal(TMiniDB& db, int32_t keyId, int32_t cabinet, int32_t delta) {
  AddCabinetValue(db, keyId, cabinet, delta, fkCabinetOwned);
}

void AddEmbossNumbers(TMiniDB& db, int32_t keyId, const std::string& identifier,
                      const std::string& extra) {
  if (keyId == 0 || identifier.empty() || !db.HasRecord(keyId)) return;
  const std::string stored = db.GetField(keyId, fkIssuedIdents);
  const std::string wanted = Trim(identifier);
  const std::string rewritten = identifier + '\x0B' + extra + '\t';
  std::string result;
  bool matched = false;
  size_t start = 0;
  while (start < stored.size()) {
    size_t tab = stored.find('\t', start);
    const size_t end = tab == std::string::npos ? stored.size() : tab;
    const std::string entry = stored.substr(start, end - start);
    const size_t vt = entry.find('\x0B');
    const bool match = Trim(entry.substr(0, vt)) == wanted;
    matched = matched || match;
    result += match && !extra.empty() ? rewritten : entry + '\t';
    start = end + 1;
  }
  if (!matched) {
    db.SetField(keyId, fkIssuedIdents, result + rewritten);
  } else if (!extra.empty()) {
    db.SetField(keyId, fkIssuedIdents, result);
  }
}

// =======================================================================================
// History line

namespace {

// "YYYY-MM-DD" at the start of a text.
bool StartsWithIsoDate(const std::string& text) {
  if (text.size() < 10) return false;
  for (int i = 0; i < 10; ++i) {
    const char c = text[i];
    if (i == 4 || i == 7) {
      if (c != '-') return false;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

// The "d" of the line: the booking's date and time, else its date.
std::string BookingDateText(const TTransferRecord& r) {
  if (r.TimeText.empty()) return PackedDateToIsoStr(r.Date);
  if (StartsWithIsoDate(r.TimeText)) return r.TimeText;
  // A time without its date: put the date in front, so the line names its year.
  return PackedDateToIsoStr(r.Date) + '\xA0' + r.TimeText;
}

std::string ObjectTextFromStore(TMiniDB& db, int32_t id) {
  if (id <= 0 || !db.HasRecord(id)) return std::string();
  return HistoryObjectText(db.GetClass(id), id, db.GetDisplayName(id));
}

}  // namespace

std::vector<std::string> TransferLogItems(TMiniDB& db, const TTransferRecord& r) {
  std::vector<std::string> items;
  auto add = [&items](const std::string& name, const std::string& value) {
    if (!value.empty()) items.push_back(name + "=" + value);
  };
  items.push_back("a=Trans" + std::to_string(static_cast<int>(r.Kind)));
  add("d", BookingDateText(r));
  add("d2", LogTimeStamp());
  add("o", HistoryObjectText(icKey, r.KeyId, db.GetName(r.KeyId)));
  if (r.OldOwner.kind == okPerson || r.OldOwner.kind == okKeyBunch)
    add("src", ObjectTextFromStore(db, r.OldOwner.id));
  if (r.NewOwner.kind == okPerson || r.NewOwner.kind == okKeyBunch)
    add("dest", ObjectTextFromStore(db, r.NewOwner.id));
  if (r.TransferUserId != 0)
    add("u2", HistoryObjectText(icUser, r.TransferUserId, db.GetName(r.TransferUserId)));
  add("u", History().UserText());
  if (r.Quantity != 0) items.push_back("cnt=" + std::to_string(r.Quantity));
  add("stock", db.GetField(r.KeyId, fkStock) + " / " + db.GetField(r.KeyId, fkTotal));
  add("emb", r.Identifier);
  add("r", r.Remark);
  add("utc", UtcTimeStamp());
  return items;
}

bool WriteTransferLog(TMiniDB& db, const TTransferRecord& record) {
  const std::string d = BookingDateText(record);
  return History().Add(d.substr(0, 4), BuildCommaText(TransferLogItems(db, record)));
}

// =======================================================================================
// Booking

namespace {

// What the user is told after the reservation is given back.
struct TOutcome {
  TTransferResult result = TTransferResult::Booked;
  std::string message;        // an error message, or empty
  bool lockedMessage = false; // the store's locked-record message for `blocking`
  std::string blocking;
};

TOutcome Refuse(TTransferResult result, std::string message) {
  TOutcome outcome;
  outcome.result = result;
  outcome.message = std::move(message);
  return outcome;
}

std::string InternalError(int number) { return CoreTextFmt(33, std::to_string(number)); }

// The record cut to its widths, with the sign from its kind and a date for "today".
TTransferRecord Normalized(const TTransferRecord& source) {
  TTransferRecord r;
  AssignTransfer(source, r);
  r.HoldingDate = CopyLeft(r.HoldingDate, kTransferHoldingDateLen);
  r.HoldingReceiptNo = CopyLeft(r.HoldingReceiptNo, kTransferReceiptNoLen);
  r.TimeText = CopyLeft(r.TimeText, kTransferTimeTextLen);
  r.Remark = CopyLeft(r.Remark, kTransferRemarkLen);
  r.ReceiptNo = CopyLeft(r.ReceiptNo, kTransferReceiptNoLen);
  r.Identifier = CopyLeft(r.Identifier, kTransferIdentifierLen);
  r.SignatureRef = CopyLeft(r.SignatureRef, kTransferSignatureRefLen);
  r.Sign = TransferSign(r.Kind);
  if (r.Date == 0) {
    if (StartsWithIsoDate(r.TimeText)) r.Date = StrToPackedDate(r.TimeText.substr(0, 10));
    if (r.Date == 0) r.Date = TodayPacked();
  }
  return r;
}

// The records a booking changes besides the key: holders of kinds 2, 3, 4 and 7.
void AddLockId(std::vector<int32_t>& ids, THolderRef ref) {
  if (ref.id <= 0) return;
  if (ref.kind != okCabinet && ref.kind != okStock && ref.kind != okPerson &&
      ref.kind != okKeyBunch)
    return;
  for (int32_t id : ids)
    if (id == ref.id) return;
  ids.push_back(ref.id);
}

std::string NameOf(TMiniDB& db, int32_t id) {
  std::string name = db.HasRecord(id) ? db.GetDisplayName(id) : std::string();
  return name.empty() ? "(" + std::to_string(id) + ")" : "\"" + name + "\"";
}

// A holder the booking names still exists: persons, key bunches and cabinets as valid
// records of their class. The lost pile keeps the ID of a person who may since be gone.
bool OwnerExists(TMiniDB& db, THolderRef ref) {
  int cls = 0;
  switch (ref.kind) {
    case okPerson: cls = icPerson; break;
    case okKeyBunch: cls = icKeyBunch; break;
    case okCabinet:
      if (ref.id == 0) return true;
      cls = icCabinet;
      break;
    default:
      return true;
  }
  return db.HasRecord(ref.id) && db.GetClass(ref.id) == cls && db.IsValid(ref.id);
}

// The holding a return, loss or find books out of must still be there with enough pieces.
// The line is the one BookHolderChange will take; it must carry the holding's receipt
// number (or, without one, its first date), because the fallback to another line of the
// same holder would book out pieces that were never part of this holding.
TOutcome CheckHolding(TMiniDB& db, const TTransferRecord& r) {
  const THolderRef owner = r.OldOwner;
  const std::string prefix = HolderLinePrefix(owner);
  const std::vector<std::string> lines = SplitHolderLines(db.GetField(r.KeyId, fkHolders));
  const std::string receiptNo = CleanHolderFieldText(r.HoldingReceiptNo);
  const std::string isoDate = PackedDateToIsoStr(StrToPackedDate(r.HoldingDate));
  const int index = FindHolderLine(lines, prefix, isoDate, receiptNo);
  const std::string what = NameOf(db, r.KeyId);
  if (index < 0) return Refuse(TTransferResult::HoldingGone,
                               TransferTextFmt(txHoldingGone, what));
  const THolderFields fields = ParseHolderLine(HolderLineBody(lines[index]));
  if ((!receiptNo.empty() && fields[hfReceiptNo] != receiptNo) ||
      (receiptNo.empty() && !isoDate.empty() && fields[hfFirstDate] != isoDate))
    return Refuse(TTransferResult::HoldingGone, TransferTextFmt(txHoldingGone, what));
  const int32_t held = StrToIntZero(fields[hfCount]);
  if (held < r.Quantity)
    return Refuse(TTransferResult::HoldingTooSmall,
                  TransferTextFmt(txHoldingTooSmall, std::to_string(held)));
  return TOutcome();
}

bool Fits32(int64_t value) {
  return value >= std::numeric_limits<int32_t>::min() &&
         value <= std::numeric_limits<int32_t>::max();
}

// Inside the write: checks on the fresh data, then the changes. Nothing is changed
// unless every check passed.
TOutcome CheckAndApply(TMiniDB& db, const TTransferRecord& r) {
  const int32_t key = r.KeyId;
  if (!db.HasRecord(key) || db.GetClass(key) != icKey || !db.IsValid(key))
    return Refuse(TTransferResult::KeyGone, TransferTextFmt(txKeyGone, NameOf(db, key)));
  for (const THolderRef& owner : {r.OldOwner, r.NewOwner})
    if (!OwnerExists(db, owner))
      return Refuse(TTransferResult::OwnerGone,
                    TransferTextFmt(txOwnerGone, NameOf(db, owner.id)));
  if (r.Kind == tkReturn || r.Kind == tkLoss || r.Kind == tkFind) {
    TOutcome holding = CheckHolding(db, r);
    if (holding.result != TTransferResult::Booked) return holding;
  }

  const int64_t cnt = GetStockOf(db, key, icKey);
  const int64_t total = StrToIntZero(db.GetField(key, fkTotal));
  const int64_t d = int64_t{r.Quantity} * r.Sign;
  int64_t newCnt = cnt;
  int64_t newTotal = total;
  int64_t oldCabinetCount = 0, oldCabinetTotal = 0, newCabinetCount = 0, newCabinetTotal = 0;
  switch (r.Kind) {
    case tkDelivery:
      newCnt += d;
      newTotal += d;
      newCabinetCount = d;
      newCabinetTotal = d;
      break;
    case tkIssue:
      newCnt += d;
      oldCabinetCount = d;
      break;
    case tkReturn:
    case tkFind:
      newCnt += d;
      newCabinetCount = d;
      break;
    case tkDefect:
      newCnt += d;
      oldCabinetCount = d;
      oldCabinetTotal = d;
      break;
    default:  // loss: the pieces only change holders
      break;
  }
  if (!Fits32(newCnt) || !Fits32(newTotal))
    return Refuse(TTransferResult::BadQuantity,
                  TransferTextFmt(txBadQuantity, std::to_string(r.Quantity)));
  if (newCnt < 0 && newCnt < cnt && !r.NegativeStockAllowed) {
    auto confirmed = r.ConfirmedStock.find(key);
    if (confirmed == r.ConfirmedStock.end())
      return Refuse(TTransferResult::NegativeStock, TransferText(txNegativeStock));
    if (confirmed->second != cnt)
      return Refuse(TTransferResult::StockChanged,
                    TransferTextFmt(txStockChanged, std::to_string(cnt)));
  }

  // The changes. A refusal of the holder lines from here on is taken back by the write.
  const int32_t out = static_cast<int32_t>(-d);
  const TPackedDate holdingDate = StrToPackedDate(r.HoldingDate);
  bool booked = true;
  switch (r.Kind) {
    case tkIssue:
    case tkDefect:
      booked = BookHolderChange(db, key, false, r.NewOwner, out, r.Date, r.Deadline, r.Remark,
                                r.ReceiptNo, r.Identifier, r.SignatureRef, r.TimeText,
                                r.CabinetId);
      break;
    case tkReturn:
      booked = BookHolderChange(db, key, true, r.OldOwner, out, holdingDate, 0, "",
                                r.HoldingReceiptNo, "", r.SignatureRef, r.TimeText, 0);
      break;
    case tkLoss:
      booked = BookHolderChange(db, key, true, r.OldOwner, static_cast<int32_t>(d),
                                holdingDate, 0, "", r.HoldingReceiptNo, "", "", "", 0) &&
               BookHolderChange(db, key, false, r.NewOwner, out, r.Date, r.Deadline,
                                r.Remark, r.ReceiptNo, r.Identifier, r.SignatureRef,
                                r.TimeText, 0);
      break;
    case tkFind:
      booked = BookHolderChange(db, key, true, r.OldOwner, out, holdingDate, 0, "",
                                r.HoldingReceiptNo, "", r.SignatureRef, r.TimeText,
                                r.CabinetId);
      break;
    default:
      break;
  }
  if (!booked) return Refuse(TTransferResult::HolderRefused, InternalError(5));

  SetStockOf(db, key, static_cast<int32_t>(newCnt), icKey);
  db.SetField(key, fkTotal, std::to_string(newTotal));
  if (r.Kind == tkIssue) AddEmbossNumbers(db, key, r.Identifier, "");
  AddCabinetCount(db, key, r.OldOwner.id, static_cast<int32_t>(oldCabinetCount));
  AddCabinetTotal(db, key, r.OldOwner.id, static_cast<int32_t>(oldCabinetTotal));
  AddCabinetCount(db, key, r.NewOwner.id, static_cast<int32_t>(newCabinetCount));
  AddCabinetTotal(db, key, r.NewOwner.id, static_cast<int32_t>(newCabinetTotal));
  return TOutcome();
}

TOutcome Book(TMiniDB& db, TTransferRecord r, std::string& drawn) {
  if (r.Kind == tkNone) return Refuse(TTransferResult::BadKind, InternalError(2));
  if (r.Kind > tkLastKind) return Refuse(TTransferResult::BadKind, InternalError(3));
  if (!TransferOwnersFit(r)) return Refuse(TTransferResult::BadOwners, InternalError(4));
  if (r.Quantity < 1)
    return Refuse(TTransferResult::BadQuantity,
                  TransferTextFmt(txBadQuantity, std::to_string(r.Quantity)));
  if (r.KeyId <= 0)
    return Refuse(TTransferResult::KeyGone, TransferTextFmt(txKeyGone, NameOf(db, r.KeyId)));
  if (!db.Opened) return Refuse(TTransferResult::NoStore, CoreText(27));

  std::vector<int32_t> ids{r.KeyId};
  AddLockId(ids, r.NewOwner);
  AddLockId(ids, r.OldOwner);
  // The receipt number is drawn in this booking's own save: the settings record is one of
  // the records of the write, so a station holding it refuses the booking (and names
  // itself) rather than letting a booking through without its number. Made once, before
  // the write, for a client that has none yet.
  int32_t settings = 0;
  if (r.DrawReceiptNo) {
    settings = db.FindOrCreateSingleton(false);
    if (settings == 0) settings = db.FindOrCreateSingleton(true);
    if (settings == 0) return Refuse(TTransferResult::NoReceiptNo, TransferText(txNoReceiptNo));
    ids.push_back(settings);
  }

  TStoreWrite write(db, ids);
  if (!write.Ok()) {
    if (!write.Reserved()) return Refuse(TTransferResult::NoReservation, CoreText(27));
    if (write.Blocking().empty()) {
      // A file that could not be read has made the store read-only and said so.
      return Refuse(TTransferResult::NotReadable, db.LoadErrorReadOnly ? "" : CoreText(27));
    }
    TOutcome outcome = Refuse(TTransferResult::Locked, "");
    outcome.lockedMessage = true;
    outcome.blocking = write.Blocking();
    return outcome;
  }
  if (r.DrawReceiptNo) {
    // Counted up in memory; taken back with everything else unless the booking is saved.
    r.ReceiptNo = CountUpFormSeqNo(db, settings);
    if (r.ReceiptNo.empty())
      return Refuse(TTransferResult::NoReceiptNo, TransferText(txNoReceiptNo));
  }
  TOutcome outcome = CheckAndApply(db, r);
  if (outcome.result != TTransferResult::Booked) return outcome;  // the write takes it back
  // The history line is saved with the booking and appended right after the save; in a
  // bulk run after the run's one save (and dropped with the run's changes if it saves
  // nothing).
  write.AddHistoryLine(BookingDateText(r).substr(0, 4), BuildCommaText(TransferLogItems(db, r)));
  if (!write.Commit()) {
    // Taken back in memory by the write; read what the file holds now.
    if (!write.Bulk()) db.Load();
    return Refuse(TTransferResult::SaveFailed, TransferText(txSaveFailed));
  }
  if (r.DrawReceiptNo) drawn = r.ReceiptNo;
  return outcome;
}

}  // namespace

TTransferResult BookTransfer(TMiniDB& db, TTransferRecord& record,
                             std::string* drawnReceiptNo) {
  std::string drawn;
  const TOutcome outcome = Book(db, Normalized(record), drawn);
  if (drawnReceiptNo) *drawnReceiptNo = drawn;
  // The reservation is free again: no other workstation waits while the user reads.
  if (outcome.lockedMessage) db.ShowLockedMessage(outcome.blocking, false);
  if (!outcome.message.empty()) UI().ShowMessage(TMsgKind::Error, outcome.message);
  if (outcome.result == TTransferResult::Booked) record.Clear();
  return outcome.result;
}

int32_t TransferReceiptHolder(const TTransferRecord& record) {
  return record.Kind == tkIssue ? record.NewOwner.id : record.OldOwner.id;
}

int32_t TransferReceiptPerson(const TTransferRecord& record) {
  const THolderRef holder = record.Kind == tkIssue ? record.NewOwner : record.OldOwner;
  return holder.kind == okPerson || holder.kind == okLost ? holder.id : 0;
}

bool ExecuteTransfer(TMiniDB& db, TTransferRecord& record) {
  return BookTransfer(db, record) == TTransferResult::Booked;
}

bool ExecuteTransfer() {
  TMiniDB* db = SessionDB();
  if (!db) {
    UI().ShowMessage(TMsgKind::Error, CoreText(27));
    return false;
  }
  return ExecuteTransfer(*db, TransferRec());
}
