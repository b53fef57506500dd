#pragma once
// The rules of the issue-and-return view that need no widget: whether an operation may
// start and how the transfer record is prepared for it, the quantity and date inputs, the
// checks and questions before "Ausführen" books, and the booking of an operation key by
// key. The view (views/FrameTransferUnit.h) reads its controls into these functions and
// shows what they decide; messages and questions go through UI().
//
// An operation books each key on its own (BookTransfer on a copy of the record, one write
// per key). The first booking draws the receipt number in its own save; later keys carry
// it. A key that cannot be booked ends the operation there: the keys booked stay booked,
// the record stays pending with the keys not booked and everything the user entered, and
// one message names both with the reason.

#include <cstdint>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "data/TransferUnit.h"

class TMiniDB;
class TMLStringList;

// ---------------------------------------------------------------------------------------
// Texts.

// The view's message table (group "FrameTransfer").
const TMLStringList* FrameTransferTexts();
std::string FrameTransferText(int number);
std::string FrameTransferTextFmt(int number, const std::string& argument);
inline constexpr int ftPendingTransfer = 1;  // "... aktuellen Transfer (%1) ..."
inline constexpr int ftChooseKey = 2;
inline constexpr int ftBelowMinimum = 3;
inline constexpr int ftStartFromKeys = 4;  // "... die Funktion "%1"."
inline constexpr int ftChooseNewOwner = 5;
inline constexpr int ftDeadlineBeforeDate = 7;
inline constexpr int ftIssueReceipt = 9;
inline constexpr int ftReturnReceipt = 10;
inline constexpr int ftReallyCancel = 11;
inline constexpr int ftNow = 12;   // "jetzt"
inline constexpr int ftForm = 13;  // "Formular"
inline constexpr int ftIdentifierIssued = 15;
inline constexpr int ftBookedKeys = 20;  // the partial operation's message
inline constexpr int ftNotBookedKeys = 21;
inline constexpr int ftStockOfKey = 22;  // "Bestand: %1"

// The caption of an action (the button that starts it): "Nachlieferung" .. "Wiedergefunden",
// in the current language; empty outside 1..6.
std::string TransferKindCaption(TTransferKind kind);

// ---------------------------------------------------------------------------------------
// Starting an operation.

struct TTransferStartInput {
  TTransferKind kind = tkNone;
  int32_t holderId = 0;  // 0: the person the persons view shows
  int32_t cabinetId = 0;
  std::string holdingDate;  // the holding booked out (return, loss, find)
  std::string holdingReceiptNo;
  std::string identifier;
  int32_t quantityLimit = 0;  // the holding's pieces; 0: no holding, limit 999
  std::vector<int32_t> keys;  // empty: the key the keys view shows
  // What the other views show.
  int32_t keysViewKey = 0;
  bool keysViewEditing = false;
  int32_t personsViewPerson = 0;
  int32_t usersViewUser = 0;
};

enum class TTransferStart {
  Started,         // the record is pending for the new operation
  Pending,         // another operation is pending (message 1 shown)
  RightDenied,     // the right's message shown
  NoKeys,          // message 2 answered with Cancel
  NoKeysShowKeys,  // message 2 answered with Yes: the keys page is to be shown
  KeysEditing,     // the keys view edits (core text 100 shown)
  NoHolding,       // a return, loss or find without a holding of at least 1 piece
};

// Prepares `record` for the operation: on Started it is pending with the kind, the keys,
// the holding's data, the owner pair, sign, limit and the user; `offered` is the quantity
// the view offers. On every other result `record` is as it was.
TTransferStart PrepareTransferStart(TMiniDB& db, TTransferRecord& record,
                                    const TTransferStartInput& input, int32_t& offered);

// ---------------------------------------------------------------------------------------
// Inputs.

inline constexpr int32_t kTransferNoLimit = 999;

// The quantity forced into 1 .. limit.
int32_t ClampTransferQuantity(int32_t quantity, int32_t limit);
// Whether the booking moves pieces in or out of stock (either owner of kind 2): only then
// the new stock differs from the old.
bool TransferTouchesStock(const TTransferRecord& record);
// The new stock the view shows: old + Sign x quantity (old empty = 0) when the booking
// touches stock, else the old text. `negative` tells whether it is below 0.
std::string TransferNewStockText(const TTransferRecord& record, const std::string& oldText,
                                 int32_t quantity, bool& negative);

// A date, optionally a blank and a time "h:mm": the date, and the time text "YYYY-MM-DD"
// 0xA0 "hh:nn" (empty without a time). False for anything else.
bool ParseDateTimeText(const std::string& text, TPackedDate& date, std::string& timeText);
// The date field: empty, "jetzt" (any case) or ParseDateTimeText.
bool TransferDateTextValid(const std::string& text);
// The deadline field: empty (trimmed) or a valid date.
bool TransferDeadlineTextValid(const std::string& text);
// One step of a date up-down on the field's text (the date before the first blank): the
// next or previous day in the user's format. Without a valid date: today, stepped from
// today only when `stepFromToday` (the deadline's up-down).
std::string StepTransferDateText(const std::string& text, bool up, bool stepFromToday);
// Leaving the deadline field: NormalizeDateTimeText, a result of 16 characters cut to
// its date.
std::string NormalizeDeadlineText(const std::string& text);

// ---------------------------------------------------------------------------------------
// "Ausführen".

// What the controls hold when "Ausführen" is pressed.
struct TTransferApplyInput {
  int32_t oldOwnerId = 0;  // the IDs the selected entries of the owner lists carry
  int32_t newOwnerId = 0;
  std::string identifier;
  std::string dateText;
  std::string deadlineText;
  std::string remark;
  std::string quantityText;
  // The live checks marked the field (light red): it blocks, whatever it reads as.
  bool dateMarked = false;
  bool deadlineMarked = false;
};

// The checks and questions before the booking, in order: a new person chosen (message 5),
// an identifier already issued (message 15, asked), a complete date (core text 80), a
// deadline before the date (message 7, asked), a stock that would fall below 0 (core text
// 111 naming each such key with its stock, asked; "Ja" records the stock shown for each).
// Fills the record from the input as it goes. False when the user is to stay in the form.
bool PrepareTransferApply(TMiniDB& db, TTransferRecord& record, const TTransferApplyInput& input);

// The keys whose stock would fall below 0 by the booking, each with its stock now.
std::vector<std::pair<int32_t, int32_t>> KeysBelowZero(const TMiniDB& db,
                                                       const TTransferRecord& record);

// What an operation booked.
struct TTransferOperation {
  TTransferRecord done;  // the operation as booked (receipt number included),
                         // its key list the keys booked
  std::vector<int32_t> booked;
  std::vector<int32_t> notBooked;  // the refused key and those after it
  std::string keyText;             // display names of the booked keys, CR-separated
  std::string systemText;          // their locking systems, ", "-separated, each once
  bool Complete() const { return notBooked.empty(); }
};

// Books the pending record key by key (a copy assigned per key, BookTransfer). The first
// booking draws the receipt number. A refusal for negative stock, or because another
// station changed the stock since the question, asks core text 111 again with the fresh
// stock; "Ja" books with it, "Nein" ends the operation. Any other refusal ends it too.
// Nothing booked: the refusal is told as it came, the record pending as it was. Some
// booked: the record stays pending with the keys not booked (no receipt number, no
// signature, no stock confirmation carried over), and one message names the booked and
// the refused keys with the reason. All booked: the record is idle.
TTransferOperation BookTransferOperation(TMiniDB& db, TTransferRecord& record);

// The keys of the list whose stock is below their minimum (CheckMinStock), as the
// information text: message 3, CR, then CR and name per key; empty when none.
std::string MinimumStockNotice(TMiniDB& db, const TItemList& keys);
