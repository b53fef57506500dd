#pragma once
// Key transfer: every movement of keys between holders (delivery into stock, issue to a
// person or key bunch, return, defect, loss, find) is one booking of a TTransferRecord
// against one key record. The issue and return view fills the program's one record
// (TransferRec()) and books it once per key of the operation; the table import and the
// sample data do the same.
//
// A booking is all or nothing. It reserves the store, rereads it when another station
// saved, locks the key and the holders involved, checks again on the fresh data what the
// view checked on older data (the key is still a key, the holders still exist, a holding
// being booked out still holds the pieces, a negative stock was agreed to for this
// stock), changes the key's counters, its holder lines and the cabinet counters, saves
// once, and only then writes the history line. A booking reported as done is on disk and
// in the history; a refused or failed one is in neither, and the user has been told why.
//
// While this workstation holds the whole store (bulk runs), a booking neither rereads nor
// saves: the bulk run saves once at its end.
//
// Messages go through UI() and are shown after the reservation is given back, so no
// other workstation waits for the user to read them.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "data/HolderUnit.h"
#include "data/ItemList.h"

class TMiniDB;
class THistory;
class TMLStringList;

// ---------------------------------------------------------------------------------------
// Kinds of booking.
using TTransferKind = uint8_t;
inline constexpr TTransferKind tkNone = 0;      // no transfer pending
inline constexpr TTransferKind tkDelivery = 1;  // supplier -> stock
inline constexpr TTransferKind tkIssue = 2;     // stock -> person or key bunch
inline constexpr TTransferKind tkReturn = 3;    // person or key bunch -> stock
inline constexpr TTransferKind tkDefect = 4;    // stock -> defective
inline constexpr TTransferKind tkLoss = 5;      // person -> lost by that person
inline constexpr TTransferKind tkFind = 6;      // lost -> stock
inline constexpr TTransferKind tkLastKind = 6;

// +1 for the kinds that bring pieces into stock or the books (1, 3, 6), -1 for the others
// (2, 4, 5); 0 for kinds outside 1..6.
int32_t TransferSign(TTransferKind kind);
// The right a booking of the kind needs (TRight of UserRights.h); -1 outside 1..6.
int TransferRight(TTransferKind kind);

// Widths of the record's texts; longer texts are cut when the booking is made.
inline constexpr int kTransferHoldingDateLen = 11;
inline constexpr int kTransferReceiptNoLen = 15;
inline constexpr int kTransferTimeTextLen = 19;
inline constexpr int kTransferRemarkLen = 127;
inline constexpr int kTransferIdentifierLen = 15;
inline constexpr int kTransferSignatureRefLen = 39;

// ---------------------------------------------------------------------------------------
// One booking. A copy is a full copy: it owns its own key list.
struct TTransferRecord {
  TTransferKind Kind = tkNone;   // 0 = no transfer pending
  int32_t KeyId = 0;             // the key booked by the current ExecuteTransfer
  TItemList Keys;                // all keys of the operation; survives Clear
  std::string HoldingDate;       // first date "YYYY-MM-DD" of the holding booked out
                                 // (return, loss, find); empty otherwise
  std::string HoldingReceiptNo;  // receipt number of that holding; selects its line
  int32_t TransferUserId = 0;    // user record who carries out the handover; 0 = none
  THolderRef OldOwner;           // where the pieces come from
  THolderRef NewOwner;           // where the pieces go
  TPackedDate Date = 0;          // booking date; 0 with an empty TimeText = today
  std::string TimeText;          // "YYYY-MM-DD" 0xA0 "hh:nn[:ss]"; empty when only a date
  TPackedDate Deadline = 0;      // return deadline or reminder; 0 = none
  int32_t Quantity = 0;          // pieces, as entered (at least 1)
  int32_t QuantityLimit = 0;     // upper bound the view offers: 999 or the holding's count
  int32_t Sign = 0;              // +1 / -1 by kind; the booking takes it from the kind
  std::string Remark;
  std::string ReceiptNo;         // form sequence number of the operation
  std::string Identifier;        // individual key marking ("Kennung")
  std::string SignatureRef;      // journal reference of the pad signature; empty = none
  int32_t CabinetId = 0;         // key cabinet of the stock side; 0 = none

  // Negative stock the user agreed to: key ID -> the key's stock ("cnt") the user saw
  // when asked. A booking that would leave a key's stock below 0 goes ahead only when its
  // key is listed here with exactly the stock it has now; when another workstation
  // changed the stock since the question, the booking is refused so the view can ask
  // again.
  std::map<int32_t, int32_t> ConfirmedStock;
  // For unattended runs that settled the question for all their bookings (the table
  // import books recorded handovers as they happened): negative stock without asking.
  bool NegativeStockAllowed = false;
  // Request for the first booking of an operation: draw the operation's receipt number
  // inside this booking. The client's settings record is checked and locked with the key,
  // its "FormSeqNo" counted up in the same save, and the number becomes this booking's
  // ReceiptNo; it is drawn only when the booking is saved (BookTransfer hands it back).
  // Later keys of the operation carry the number in ReceiptNo.
  bool DrawReceiptNo = false;

  bool Pending() const { return Kind != tkNone; }
  // Everything back to zeros and empty texts, except Keys.
  void Clear();
};

// Copies every field of `source` into `dest`; `dest` gets a key list of its own with all
// IDs of the source's list. (Value semantics: the two records never share a list.)
void AssignTransfer(const TTransferRecord& source, TTransferRecord& dest);

// Records, for a booking about to be made, that the user agreed to a negative stock of
// the key while it showed `stockSeen`.
void ConfirmNegativeStock(TTransferRecord& record, int32_t keyId, int32_t stockSeen);

// Sets OldOwner, NewOwner and Sign for the record's Kind from the chosen holder H and the
// chosen cabinet C:
//   1 {1,0} -> {2,C}      2 {2,C} -> {7,H} or {4,H}   3 {7,H} or {4,H} -> {2,C}
//   4 {2,C} -> {6,0}      5 {4,H} -> {5,H}             6 {5,H} -> {2,C}
// (7 = H is a key bunch, class 14). Kind 0 or above 6 leaves both owners empty.
void SetTransferOwners(TMiniDB& db, TTransferRecord& record, int32_t holder, int32_t cabinet);
// True when the owner kinds are a pair the kind books between (the table above, with a
// stock side of kind 2 or 3).
bool TransferOwnersFit(const TTransferRecord& record);

// ---------------------------------------------------------------------------------------
// The open client's one transfer record (the client session's): idle (Kind 0) or pending
// (Kind 1..6).
TTransferRecord& TransferRec();
// Back to idle with an empty key list (tests; logout).
void ResetTransferRec();

// ---------------------------------------------------------------------------------------
// Booking.

enum class TTransferResult {
  Booked,          // on disk (or in the bulk run's store) and in the history
  BadKind,         // Kind 0 or above 6 (internal error #2 / #3)
  BadOwners,       // owners that do not fit the kind (internal error #4)
  BadQuantity,     // quantity below 1, or counts that would leave 32 bits
  NoStore,         // no store open
  NoReservation,   // the write reservation could not be had
  Locked,          // a record is locked by another workstation, or the lock file is unusable
  NotReadable,     // the store could not be read
  KeyGone,         // the key is no (valid) key record any more
  OwnerGone,       // a person, key bunch or cabinet of the booking no longer exists
  HoldingGone,     // the holding booked out is no longer held (e.g. returned elsewhere)
  HoldingTooSmall, // the holding holds fewer pieces than booked out
  NegativeStock,   // the stock would fall below 0 and nobody agreed
  StockChanged,    // the stock changed since the user agreed to a negative stock
  HolderRefused,   // the holder lines refused the booking
  SaveFailed,      // the save failed; nothing was booked
  NoReceiptNo,     // a receipt number was requested and none could be drawn
};

// Books `record` for its KeyId on `db`, writing the history line into History(). On
// Booked the record is cleared except its key list; on every other result the record is
// left as it was (pending) and the user has been told why. With DrawReceiptNo the number
// drawn is put into `drawnReceiptNo` (when given) once the booking is saved.
TTransferResult BookTransfer(TMiniDB& db, TTransferRecord& record,
                             std::string* drawnReceiptNo = nullptr);
// True when booked.
bool ExecuteTransfer(TMiniDB& db, TTransferRecord& record);
// Books TransferRec() on the session's store (SessionDB()).
bool ExecuteTransfer();

// Writes the history line of the booking just applied to the key (called by the booking
// after the save): a=Trans<kind>, d, d2, o, src, dest, u2, u, cnt, stock, emb, r, utc.
// The line goes into the year file named by the first four characters of "d".
bool WriteTransferLog(TMiniDB& db, const TTransferRecord& record);
// The items of that line, in order (entries with empty values left out).
std::vector<std::string> TransferLogItems(TMiniDB& db, const TTransferRecord& record);

// ---------------------------------------------------------------------------------------
// Cabinet counters on the key's link to a key cabinet: "ct" pieces of the key in stock
// there, "tl" pieces belonging there. Changed only where a number is already stored and
// `cabinet` is a key cabinet (class 8); an empty or non-numeric value is left alone.
void AddCabinetCount(TMiniDB& db, int32_t keyId, int32_t cabinet, int32_t delta);
void AddCabinetTotal(TMiniDB& db, int32_t keyId, int32_t cabinet, int32_t delta);

// The identifiers ever issued of a key, field "embs": entries each ended by TAB, an entry
// being identifier, 0x0B, extra text (without 0x0B all identifier). An identifier not yet
// listed (trimmed, case-sensitive) is appended with the extra text; with an extra text,
// every listed entry of the identifier gets it. Key 0 or an empty identifier: nothing.
void AddEmbossNumbers(TMiniDB& db, int32_t keyId, const std::string& identifier,
                      const std::string& extra);

// ---------------------------------------------------------------------------------------
// The unit's message table (group "TransferUnit"; entry 0 the group name).
const TMLStringList* TransferTexts();
std::string TransferText(int number);
inline constexpr int txBadQuantity = 1;
inline constexpr int txKeyGone = 2;
inline constexpr int txOwnerGone = 3;
inline constexpr int txHoldingGone = 4;
inline constexpr int txHoldingTooSmall = 5;
inline constexpr int txNegativeStock = 6;
inline constexpr int txStockChanged = 7;
inline constexpr int txSaveFailed = 8;
inline constexpr int txNoReceiptNo = 9;

// ---------------------------------------------------------------------------------------
// The holder a receipt of the booking is made out to: the new holder of an issue, the
// holder the pieces come from otherwise (on a return the person handing back, never the
// cabinet). 0 without one.
int32_t TransferReceiptHolder(const TTransferRecord& record);
// That holder when it is a person (holder kinds 4 and 5), else 0: a cabinet, a key bunch
// or a supplier is nobody who signs.
int32_t TransferReceiptPerson(const TTransferRecord& record);
