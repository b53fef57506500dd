#include "data/TransferRulesUnit.h"

#include <algorithm>
#include <utility>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "data/HolderUnit.h"
#include "data/LogFilesUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

// =======================================================================================
// Texts

const TMLStringList* FrameTransferTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FrameTransfer", 0);
    t->Add255Obj("Bitte beenden Sie zuerst den aktuellen Transfer (%1)#13#(durch Ausf\xFChren "
                 "oder Abbrechen)",
                 ftPendingTransfer);
    t->Add255Obj("Bitte w\xE4hlen Sie erst einen Schl\xFCssel.", ftChooseKey);
    t->Add255Obj("Folgende Datens\xE4tze unterschreiten ihren Mindestbestand:", ftBelowMinimum);
    t->Add255Obj("Bitte w\xE4hlen Sie auf der Schl\xFCssel-Karte#13#einen Eintrag aus der "
                 "Besitzer-Liste#13#und dann dort die Funktion \"%1\".",
                 ftStartFromKeys);
    t->Add255Obj("Bitte w\xE4hlen Sie einen neuen Besitzer.", ftChooseNewOwner);
    t->Add255Obj("Der Fristablauf liegt vor dem Ausgabedatum.#13#Trotzdem fortsetzen? (nicht "
                 "empfohlen)",
                 ftDeadlineBeforeDate);
    t->Add255Obj("Ausgabequittung", ftIssueReceipt);
    t->Add255Obj("R\xFC"
                 "cknahmequittung",
                 ftReturnReceipt);
    t->Add255Obj("M\xF6"
                 "chten Sie den Vorgang wirklich abbrechen?",
                 ftReallyCancel);
    t->Add255Obj("jetzt", ftNow);
    t->Add255Obj("Formular", ftForm);
    t->Add255Obj("Ein Schl\xFCssel mit dieser Kennung wurde bereits ausgegeben.",
                 ftIdentifierIssued);
    t->Add255Obj("Folgende Schl\xFCssel wurden gebucht:", ftBookedKeys);
    t->Add255Obj("Nicht gebucht (der Vorgang bleibt f\xFCr sie offen: Ausf\xFChren bucht sie, "
                 "Abbruch verwirft sie):",
                 ftNotBookedKeys);
    t->Add255Obj("Bestand: %1", ftStockOfKey);
    return t;
  }();
  return table;
}

std::string FrameTransferText(int number) { return GetMLText(FrameTransferTexts(), number); }

std::string FrameTransferTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(FrameTransferTexts(), number, argument);
}

std::string TransferKindCaption(TTransferKind kind) {
  static const char* const kCaptions[] = {"",
                                          "Nachlieferung",
                                          "Ausgabe",
                                          "R\374cknahme",  // octal: a hex escape would take the "c" along
                                          "Defekt",
                                          "Verlust",
                                          "Wiedergefunden"};
  if (kind < tkDelivery || kind > tkLastKind) return {};
  return MLTranslate(kCaptions[kind]);
}

// =======================================================================================
// Starting

TTransferStart PrepareTransferStart(TMiniDB& db, TTransferRecord& record,
                                    const TTransferStartInput& input, int32_t& offered) {
  if (record.Pending()) {
    UI().ShowMessage(TMsgKind::Error,
                     FrameTransferTextFmt(ftPendingTransfer, TransferKindCaption(record.Kind)));
    return TTransferStart::Pending;
  }
  // A new operation starts from an empty record: nothing of a cancelled one (its
  // signature, its stock confirmations) may ride along. The record itself changes only
  // once the operation starts.
  TTransferRecord next;
  next.HoldingDate = CopyLeft(input.holdingDate, kTransferHoldingDateLen);
  next.HoldingReceiptNo = CopyLeft(input.holdingReceiptNo, kTransferReceiptNoLen);
  next.CabinetId = input.cabinetId;
  if (!input.keys.empty()) {
    for (int32_t key : input.keys) next.Keys.Add(key);
  } else if (input.keysViewKey != 0) {
    next.Keys.Add(input.keysViewKey);
  }
  const int right = TransferRight(input.kind);
  if (right < 0) {
    UI().ShowMessage(TMsgKind::Error, CoreTextFmt(33, "3"));
    return TTransferStart::RightDenied;
  }
  if (RightDeniedForAny(right, &next.Keys)) return TTransferStart::RightDenied;
  const int32_t holder = input.holderId != 0 ? input.holderId : input.personsViewPerson;
  if (next.Keys.Count() == 0) {
    return UI().Ask(TMsgKind::Confirmation, FrameTransferText(ftChooseKey),
                    TAskButtons::YesCancel) == mrYes
               ? TTransferStart::NoKeysShowKeys
               : TTransferStart::NoKeys;
  }
  if (input.keysViewEditing) {
    UI().ShowMessage(TMsgKind::Error, CoreText(100));
    return TTransferStart::KeysEditing;
  }
  // Booking out of a holding needs a holding with pieces: a limit of 0 would offer pieces
  // nobody holds.
  const bool fromHolding = input.kind == tkReturn || input.kind == tkLoss || input.kind == tkFind;
  if (fromHolding && input.quantityLimit < 1) {
    UI().ShowMessage(TMsgKind::Error, CoreTextFmt(18, std::to_string(input.quantityLimit)));
    return TTransferStart::NoHolding;
  }
  next.Kind = input.kind;
  if (input.quantityLimit > 0) {
    next.QuantityLimit = input.quantityLimit;
    offered = input.quantityLimit;
  } else {
    next.QuantityLimit = kTransferNoLimit;
    offered = 1;
  }
  if (next.Keys.Count() > 1) offered = 1;
  SetTransferOwners(db, next, holder, input.cabinetId);
  next.TransferUserId = input.usersViewUser;
  record = std::move(next);
  return TTransferStart::Started;
}

// =======================================================================================
// Inputs

int32_t ClampTransferQuantity(int32_t quantity, int32_t limit) {
  if (quantity > limit) quantity = limit;
  return quantity < 1 ? 1 : quantity;
}

bool TransferTouchesStock(const TTransferRecord& record) {
  return record.OldOwner.kind == okCabinet || record.NewOwner.kind == okCabinet;
}

std::string TransferNewStockText(const TTransferRecord& record, const std::string& oldText,
                                 int32_t quantity, bool& negative) {
  negative = false;
  if (!TransferTouchesStock(record)) return oldText;
  const int64_t value =
      int64_t{StrToIntZero(oldText)} + int64_t{TransferSign(record.Kind)} * quantity;
  negative = value < 0;
  return std::to_string(value);
}

namespace {

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  if (value < 10) text.insert(text.begin(), '0');
  return text;
}

bool IsNowText(const std::string& text) {
  return AnsiLowerCase(Trim(text)) == AnsiLowerCase(FrameTransferText(ftNow));
}

}  // namespace

bool ParseDateTimeText(const std::string& text, TPackedDate& date, std::string& timeText) {
  date = 0;
  timeText.clear();
  const size_t blank = text.find(' ');
  const bool split = blank != std::string::npos && blank > 0;
  const std::string datePart = split ? text.substr(0, blank) : text;
  const TPackedDate parsed = StrToPackedDate(datePart);
  if (parsed <= 0) return false;
  const std::string timePart = split ? Trim(text.substr(blank + 1)) : std::string();
  if (timePart.empty()) {
    date = parsed;
    return true;
  }
  int hours = 0, minutes = 0;
  if (!StrToHourMin(timePart, hours, minutes)) return false;
  date = parsed;
  timeText = PackedDateToIsoStr(parsed) + '\xA0' + TwoDigits(hours) + ":" + TwoDigits(minutes);
  return true;
}

bool TransferDateTextValid(const std::string& text) {
  if (text.empty() || IsNowText(text)) return true;
  TPackedDate date = 0;
  std::string timeText;
  return ParseDateTimeText(text, date, timeText);
}

bool TransferDeadlineTextValid(const std::string& text) {
  const std::string trimmed = Trim(text);
  return trimmed.empty() || StrToPackedDate(trimmed) > 0;
}

std::string StepTransferDateText(const std::string& text, bool up, bool stepFromToday) {
  const std::string trimmed = Trim(text);
  TPackedDate date = StrToPackedDate(trimmed.substr(0, trimmed.find(' ')));
  if (date <= 0) {
    date = TodayPacked();
    if (!stepFromToday) return PackedDateToStr(date);
  }
  return PackedDateToStr(up ? NextDay(date) : PrevDay(date));
}

std::string NormalizeDeadlineText(const std::string& text) {
  std::string result = NormalizeDateTimeText(text);
  if (result.size() == 16) result.resize(10);
  return result;
}

// =======================================================================================
// "Ausführen"

std::vector<std::pair<int32_t, int32_t>> KeysBelowZero(const TMiniDB& db,
                                                       const TTransferRecord& record) {
  std::vector<std::pair<int32_t, int32_t>> below;
  const int64_t delta = int64_t{TransferSign(record.Kind)} * record.Quantity;
  if (!TransferTouchesStock(record) || delta >= 0) return below;
  for (int32_t i = 0; i < record.Keys.Count(); ++i) {
    const int32_t key = record.Keys.Get(i);
    const int32_t stock = GetStockOf(db, key, icKey);
    if (stock + delta < 0) below.emplace_back(key, stock);
  }
  return below;
}

namespace {

// Core text 111 with each key and its stock; "Ja" records the stock shown for each.
bool AskNegativeStock(const TMiniDB& db, TTransferRecord& record,
                      const std::vector<std::pair<int32_t, int32_t>>& keys) {
  std::string text = CoreText(111) + "\r";
  for (const auto& [key, stock] : keys) {
    text += '\r';
    text += db.GetDisplayName(key);
    text += " (";
    text += FrameTransferTextFmt(ftStockOfKey, std::to_string(stock));
    text += ')';
  }
  if (UI().Ask(TMsgKind::ErrorConfirmation, text, TAskButtons::YesCancel) != mrYes) return false;
  for (const auto& [key, stock] : keys) ConfirmNegativeStock(record, key, stock);
  return true;
}

bool IsCabinet(const TMiniDB& db, THolderRef ref) {
  return (ref.kind == okCabinet || ref.kind == okStock) && ref.id > 0 &&
         db.GetClass(ref.id) == icCabinet;
}

}  // namespace

bool PrepareTransferApply(TMiniDB& db, TTransferRecord& record, const TTransferApplyInput& input) {
  record.OldOwner.id = input.oldOwnerId;
  record.NewOwner.id = input.newOwnerId;
  if (IsCabinet(db, record.OldOwner)) record.CabinetId = record.OldOwner.id;
  if (IsCabinet(db, record.NewOwner)) record.CabinetId = record.NewOwner.id;
  if (record.NewOwner.kind == okPerson && record.NewOwner.id == 0) {
    UI().ShowMessage(TMsgKind::Error, FrameTransferText(ftChooseNewOwner));
    return false;
  }
  const std::string identifier = Trim(input.identifier);
  if (record.Kind == tkIssue && record.Keys.Count() > 0 &&
      IdentifierAlreadyIssued(db, record.Keys.Get(0), identifier) &&
      UI().Ask(TMsgKind::Confirmation, FrameTransferText(ftIdentifierIssued) + "\r" + CoreText(112),
               TAskButtons::YesCancel) != mrYes)
    return false;

  const std::string dateText = Trim(input.dateText);
  bool dateValid = true;
  if (IsNowText(dateText)) {
    record.Date = TodayPacked();
    record.TimeText = LogTimeStamp();
  } else {
    dateValid = ParseDateTimeText(dateText, record.Date, record.TimeText);
  }
  const std::string deadline = Trim(input.deadlineText);
  record.Deadline = deadline.empty() ? 0 : StrToPackedDate(deadline);
  record.Quantity =
      ClampTransferQuantity(StrToIntZero(Trim(input.quantityText)),
                            record.QuantityLimit > 0 ? record.QuantityLimit : kTransferNoLimit);
  record.Remark = CopyLeft(Trim(input.remark), kTransferRemarkLen);
  record.Identifier = CopyLeft(identifier, kTransferIdentifierLen);
  // Drawn anew for every attempt: the signature below, the number in the first booking.
  record.SignatureRef.clear();
  record.ReceiptNo.clear();
  record.ConfirmedStock.clear();

  if (record.Date <= 0 || !dateValid || input.dateMarked || input.deadlineMarked ||
      !TransferDeadlineTextValid(deadline)) {
    UI().ShowMessage(TMsgKind::Error, CoreText(80));
    return false;
  }
  if (record.Deadline > 0 && record.Deadline < record.Date &&
      UI().Ask(TMsgKind::ErrorConfirmation, FrameTransferText(ftDeadlineBeforeDate),
               TAskButtons::YesCancel) != mrYes)
    return false;
  const auto below = KeysBelowZero(db, record);
  if (!below.empty() && !AskNegativeStock(db, record, below)) return false;
  return true;
}

namespace {

// Keeps the messages of a booking for the one message of the operation; questions go on
// to the user.
class TMessageCollector : public IUserInteraction {
 public:
  explicit TMessageCollector(IUserInteraction& next) : next_(next) {}
  std::vector<std::pair<TMsgKind, std::string>> messages;

  void ShowMessage(TMsgKind kind, const std::string& text) override {
    messages.emplace_back(kind, text);
  }
  int Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) override {
    return next_.Ask(kind, text, buttons);
  }
  int AskButtons(const std::string& text, const std::string& caption1, const std::string& caption2,
                 bool withCancel, const std::string& caption3) override {
    return next_.AskButtons(text, caption1, caption2, withCancel, caption3);
  }
  bool InputText(const std::string& prompt, std::string& value, bool editable) override {
    return next_.InputText(prompt, value, editable);
  }
  void ProcessPendingEvents() override { next_.ProcessPendingEvents(); }

 private:
  IUserInteraction& next_;
};

std::string NamesOf(const TMiniDB& db, const std::vector<int32_t>& keys) {
  std::string text;
  for (int32_t key : keys) {
    text += '\r';
    text += db.GetDisplayName(key);
  }
  return text;
}

}  // namespace

TTransferOperation BookTransferOperation(TMiniDB& db, TTransferRecord& record) {
  TTransferOperation op;
  TTransferRecord copy;
  AssignTransfer(record, copy);
  copy.KeyId = 0;
  copy.DrawReceiptNo = false;
  copy.ReceiptNo.clear();
  std::vector<std::pair<TMsgKind, std::string>> refusal;
  const int32_t count = copy.Keys.Count();
  int32_t failedAt = count;
  for (int32_t i = 0; i < count && failedAt == count; ++i) {
    const int32_t key = copy.Keys.Get(i);
    for (;;) {
      copy.KeyId = key;
      copy.DrawReceiptNo = copy.ReceiptNo.empty();
      AssignTransfer(copy, record);
      std::string drawn;
      TMessageCollector collector(UI());
      TTransferResult result;
      {
        TUserInteractionScope scope(collector);
        result = BookTransfer(db, record, &drawn);
      }
      if (result == TTransferResult::Booked) {
        if (copy.DrawReceiptNo) copy.ReceiptNo = drawn;
        op.booked.push_back(key);
        break;
      }
      if (result == TTransferResult::NegativeStock || result == TTransferResult::StockChanged) {
        // Asked again with the stock as it is now; nothing has to be typed again.
        const int32_t stock = GetStockOf(db, key, icKey);
        if (AskNegativeStock(db, copy, {{key, stock}})) continue;
        collector.messages.clear();
      }
      refusal = std::move(collector.messages);
      failedAt = i;
      break;
    }
  }
  copy.DrawReceiptNo = false;
  copy.KeyId = 0;

  for (int32_t i = failedAt; i < count; ++i) op.notBooked.push_back(copy.Keys.Get(i));
  AssignTransfer(copy, op.done);
  op.done.Keys.Clear();
  for (int32_t key : op.booked) {
    op.done.Keys.Add(key);
    op.keyText += db.GetDisplayName(key) + "\r";
    const std::string system = ItemKeySystemName(db, key);
    if (!system.empty() && op.systemText.find(system) == std::string::npos)
      op.systemText += system + ", ";
  }
  if (!op.keyText.empty()) op.keyText.pop_back();
  if (op.systemText.size() >= 2) op.systemText.resize(op.systemText.size() - 2);

  if (op.Complete()) return op;  // the last booking left the record idle
  // The keys not booked stay pending as an operation of their own, with every entry the
  // user made; number, signature and stock confirmations are drawn or asked anew.
  AssignTransfer(copy, record);
  record.Keys.Clear();
  for (int32_t key : op.notBooked) record.Keys.Add(key);
  record.ReceiptNo.clear();
  record.SignatureRef.clear();
  record.ConfirmedStock.clear();
  if (op.booked.empty()) {
    for (const auto& [kind, text] : refusal) UI().ShowMessage(kind, text);
    return op;
  }
  std::string text = FrameTransferText(ftBookedKeys) + NamesOf(db, op.booked) + "\r\r" +
                     FrameTransferText(ftNotBookedKeys) + NamesOf(db, op.notBooked);
  for (const auto& [kind, message] : refusal) text += "\r\r" + message;
  UI().ShowMessage(TMsgKind::Error, text);
  return op;
}

std::string MinimumStockNotice(TMiniDB& db, const TItemList& keys) {
  std::string names;
  for (int32_t i = 0; i < keys.Count(); ++i)
    if (CheckMinStock(db, keys.Get(i), false)) {
      names += '\r';
      names += db.GetDisplayName(keys.Get(i));
    }
  return names.empty() ? std::string() : FrameTransferText(ftBelowMinimum) + "\r" + names;
}
