#pragma once
// Holders and holder lines. Who holds how many pieces of a key, since when, until when,
// under which receipt, with which marking and signature, lives in text lines of the key's
// field "own" (keys and key bunches). The lines are the only record of a holding, so
// BookHolderChange is their one writer and every other function here only reads them.
//
// One line: the holder prefix (letter 'A' + kind, then the holder ID in decimal), "=", then
// nine fields joined by "|" with the trailing empty ones left off; the lines are joined
// by ";". Example: E17=2|2024-03-05 (person 17 holds 2 pieces since 2024-03-05).
// Since ";" separates lines and "|" separates fields, neither may appear inside a field:
// every text written into a line has ";" turned into "," and "|" into "/".

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "basic/SLUnit.h"
#include "data/ItemList.h"

class TMiniDB;

// ---------------------------------------------------------------------------------------
// Holder kinds: the letter of a line is 'A' + kind.
using TOwnerKind = uint8_t;
inline constexpr TOwnerKind okUnknown = 0;    // 'A' unspecified, ID -
inline constexpr TOwnerKind okSupplier = 1;   // 'B' supplier, ID 0
inline constexpr TOwnerKind okCabinet = 2;    // 'C' stock of a key cabinet (class 8) or 0
inline constexpr TOwnerKind okStock = 3;      // 'D' stock at a fixed place, ID 0
inline constexpr TOwnerKind okPerson = 4;     // 'E' person (class 5)
inline constexpr TOwnerKind okLost = 5;       // 'F' lost; the person who lost it, or 0
inline constexpr TOwnerKind okDefective = 6;  // 'G' defective, ID 0
inline constexpr TOwnerKind okKeyBunch = 7;   // 'H' key bunch (class 14)
inline constexpr int kOwnerKindCount = 8;

struct THolderRef {
  TOwnerKind kind = okUnknown;
  int32_t id = 0;
  bool operator==(const THolderRef&) const = default;
};

// The record class a holder of kinds 4 and 7 is (5 person, 14 key bunch); 0 for the kinds
// that name no linked record.
int HolderClassOfKind(TOwnerKind kind);

// ---------------------------------------------------------------------------------------
// The short names of the kinds (index = kind, up to 31 characters each). Filled on first
// use from the core texts; entry 4 is the holder caption until the configured persons
// term replaces it.
inline constexpr int kHolderKindNameMaxLen = 31;
using THolderKindNameTable = std::array<std::string, kOwnerKindCount>;
THolderKindNameTable& HolderKindNames();
// Fills the table from the core texts of the current language (start-up).
void InitHolderKindNames();
// Sets one entry (cut to 31 characters); kinds outside 0..7 are ignored.
void SetHolderKindName(TOwnerKind kind, const std::string& name);

// ---------------------------------------------------------------------------------------
// The line codec.

// The nine fields behind "=", in order.
enum THolderField : int {
  hfCount = 0,       // pieces held, decimal, never 0 in a stored line
  hfFirstDate = 1,   // "YYYY-MM-DD" of the earliest booking to this holder
  hfDeadline = 2,    // "YYYY-MM-DD" return deadline or reminder; empty = none
  hfRemark = 3,
  hfReceiptNo = 4,   // form sequence number of the issue
  hfIdentifier = 5,  // individual marking of the key ("Kennung")
  hfSignatureRef = 6,  // journal reference of the pad signature
  hfTime = 7,        // clock time of the first booking, "hh:nn:ss" or "hh:nn"
  hfCabinet = 8,     // cabinet record ID, decimal
};
inline constexpr int kHolderFieldCount = 9;
using THolderFields = std::array<std::string, kHolderFieldCount>;

// "E17" for {4, 17}: the letter and the ID in decimal, without the "=".
std::string HolderLinePrefix(THolderRef owner);
// A text fit for a field: ";" becomes "," and "|" becomes "/".
std::string CleanHolderFieldText(const std::string& text);
// The nine fields of a text cut at "|". The ninth takes the rest of the text, so a line
// read and written back keeps every byte even when an older program left more "|" in it.
THolderFields ParseHolderLine(const std::string& text);
// prefix + "=" + the fields joined by "|", trailing "|" removed. The fields are written as
// given: callers clean the texts they put in.
std::string BuildHolderLine(const std::string& prefix, const THolderFields& fields);
// The text behind the first "=" of a line; empty when there is none.
std::string HolderLineBody(const std::string& line);

// The "own" value split into its lines, and back (empty lines are dropped on writing).
std::vector<std::string> SplitHolderLines(const std::string& own);
std::string JoinHolderLines(const std::vector<std::string>& lines);

// The line of the holder `prefix` (e.g. "E17") that a booking refers to: the first line
// whose receipt number equals `receiptNo` when one is given, else the first whose first
// date equals `isoDate` when one is given; without a match the last line of the prefix;
// -1 when the prefix has no line.
int FindHolderLine(const std::vector<std::string>& lines, const std::string& prefix,
                   const std::string& isoDate, const std::string& receiptNo);
// True when the prefix has at least one line.
bool HasHolderLine(const std::vector<std::string>& lines, const std::string& prefix);

// ---------------------------------------------------------------------------------------
// Booking.

// One change of a holding. Empty texts and zeros mean "not given".
struct THolderBooking {
  bool find = false;       // change the holding that FindHolderLine selects; else add a line
  THolderRef owner;
  int32_t delta = 0;       // pieces added (negative: booked out)
  TPackedDate date = 0;    // booking date; 0 with no holding found = today
  TPackedDate deadline = 0;
  std::string remark;      // starting with 0xFF: replaces the stored remark
  std::string receiptNo;   // with find: selects the holding; replaces the stored one
  std::string identifier;  // the single character 0xFF clears the stored one
  std::string signatureRef;
  std::string timeText;    // "hh:nn[:ss]" or "YYYY-MM-DD" 0xA0 "hh:nn[:ss]"
  int32_t cabinetId = 0;
};

// What the links between the key and a holder of kind 4 or 7 need after a booking.
enum class THolderLinkChange { None, Ensure, Remove };

struct THolderBookingResult {
  bool ok = false;          // false: the booking was refused and the lines are unchanged
  int index = -1;           // the line written (-1 when the holding was deleted or none)
  bool deleted = false;     // the holding reached 0 and its line was removed
  THolderLinkChange link = THolderLinkChange::None;
};

// Applies a booking to the lines of one key (what BookHolderChange does to "own").
// Refused: an owner kind above 7, a negative owner ID, and a count beyond 32 bits.
// A booking out of a holding that stays (negative delta on a found line) keeps the
// holding's first date, time, receipt number, signature reference and cabinet: they
// belong to the pieces still held.
THolderBookingResult ApplyHolderBooking(std::vector<std::string>& lines,
                                        const THolderBooking& booking, TPackedDate today);

// Books the change into the key's "own" and keeps the key linked both ways with a holder
// of kind 4 or 7 for as long as it holds a line. The caller books inside a TStoreWrite
// (data/StoreWriteUnit.h) over the key and the holder and commits it. False when the key
// is no record or the booking was refused; nothing was changed then.
bool BookHolderChange(TMiniDB& db, int32_t keyId, const THolderBooking& booking);
bool BookHolderChange(TMiniDB& db, int32_t keyId, bool find, THolderRef owner, int32_t delta,
                      TPackedDate date, TPackedDate deadline, const std::string& remark,
                      const std::string& receiptNo, const std::string& identifier,
                      const std::string& signatureRef, const std::string& timeText,
                      int32_t cabinetId);

// ---------------------------------------------------------------------------------------
// Reading.

// One holding as the views see it. The texts are cut to the widths the lists show.
struct THolderEntry {
  int32_t KeyId = 0;
  TOwnerKind Kind = okUnknown;
  int32_t HolderId = 0;
  int32_t CabinetId = 0;
  std::string Count;         // 15
  std::string FirstDate;     // 11
  std::string Time;          // 5, "hh:nn"
  std::string Deadline;      // 11
  std::string Remark;        // 63
  std::string ReceiptNo;     // 15
  std::string Identifier;    // 15
  std::string SignatureRef;  // 39
};
using THolderEntries = std::vector<THolderEntry>;

inline constexpr int kEntryCountLen = 15;
inline constexpr int kEntryDateLen = 11;
inline constexpr int kEntryTimeLen = 5;
inline constexpr int kEntryRemarkLen = 63;
inline constexpr int kEntryReceiptLen = 15;
inline constexpr int kEntryIdentifierLen = 15;
inline constexpr int kEntrySignatureLen = 39;

// The entry of one line; false for lines shorter than 3 characters. Without `cut` the
// texts keep their full length (for prints and comparisons).
bool ParseHolderEntry(const std::string& line, int32_t keyId, THolderEntry& entry,
                      bool cut = true);
// The entries of an "own" value in line order (short lines skipped), then sorted by date.
THolderEntries ParseHolderEntries(const std::string& own, int32_t keyId, bool cut = true);

// Ascending by the text of FirstDate resp. Deadline (an empty deadline first); equal keys
// keep their order.
void SortHolderEntriesByDate(THolderEntries& entries);
void SortHolderEntriesByDeadline(THolderEntries& entries);

// The key's holdings, sorted by first date (texts cut to their widths unless `cut` is off).
THolderEntries LoadHolderRecs(const TMiniDB& db, int32_t keyId, bool cut = true);

// The holder as a list shows it: persons and key bunches by their display name, a loss as
// "verloren von" + the person (or "verloren"), the other kinds by their kind name,
// "Type Error" above kind 7.
std::string HolderRefText(const TMiniDB& db, THolderRef ref);

// The holder IDs of the key's person holdings, in entry order, repeats kept.
TItemList GetHoldingPersons(const TMiniDB& db, int32_t keyId);
// True when a holding of the key carries the identifier (compared in upper case); false
// for key 0 and an empty identifier.
bool IdentifierAlreadyIssued(const TMiniDB& db, int32_t keyId, const std::string& identifier);
// Pieces outside stock: the counts of the holdings of kinds 4 to 7.
int32_t BookedCount(const TMiniDB& db, int32_t keyId);
// Appends each non-empty identifier of the key's holdings that the list does not hold yet.
void AddIdentifiersOfKey(const TMiniDB& db, int32_t keyId, TQStringList& list);
// The identifier of the first holding (by date) of the holder ID; empty when none.
std::string IdentifierOfHolder(const TMiniDB& db, int32_t keyId, int32_t holderId);

// ---------------------------------------------------------------------------------------
// Repair of the links between keys and their holders (the caller holds the reservation and
// the lock on all records). Each returns the number of changes.

// Links the item both ways with every holder of kinds 4 and 7 of its lines, and unlinks
// the persons it is linked with that hold none of its pieces.
int SyncHolderLinks(TMiniDB& db, int32_t item);
// The sum over the valid records of the class; lets the user interface breathe before
// every eighth record.
int SyncHolderLinksOfClass(TMiniDB& db, int cls);
// Keys and key bunches.
int SyncAllHolderLinks(TMiniDB& db);

// ---------------------------------------------------------------------------------------
// The lending overview of a person: TAB-separated rows, the captions first, then one row
// per holding of the person (kind 4) of every key and key bunch linked to them; codes
// 1 key, 2 identifier, 3 locking system, 4 count, 5 issued on, 6 deadline, 7 cabinet,
// 8 hook, 9 closing; others give no column, an empty list means 1 to 6. With blank rows,
// three pairs of an empty row and a row of lines to fill in by hand follow.
TQStringList BuildPersonKeyList(const TMiniDB& db, int32_t person, const std::vector<int>& codes,
                                bool withBlankRows);
// The column caption of a code of the lending overview (1..9; others: the closing's).
std::string PersonKeyListCaption(int code);
