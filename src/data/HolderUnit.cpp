#include "data/HolderUnit.h"

#include <algorithm>
#include <limits>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/SLUnit.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

namespace {

constexpr char kClearMark = '\xFF';  // a remark or identifier starting with it replaces/clears
constexpr char kDateTimeGap = '\xA0';  // between date and time in a booking's time text

bool StartsWithPrefix(const std::string& line, const std::string& prefix) {
  return line.size() > prefix.size() && line.compare(0, prefix.size(), prefix) == 0 &&
         line[prefix.size()] == '=';
}

// The clock part of a time text: behind the first 0xA0 when the text carries a date.
std::string ClockPart(const std::string& timeText) {
  const size_t gap = timeText.find(kDateTimeGap);
  return gap == std::string::npos ? timeText : timeText.substr(gap + 1);
}

// The stored remark after a booking's remark: replaced when it starts with 0xFF, taken when
// nothing is stored, else appended unless it already stands between blanks in it.
std::string MergeRemark(const std::string& stored, const std::string& remark) {
  if (remark.empty()) return stored;
  if (remark[0] == kClearMark) return CleanHolderFieldText(remark.substr(1));
  const std::string add = CleanHolderFieldText(remark);
  if (stored.empty()) return add;
  if ((" " + stored + " ").find(" " + add + " ") != std::string::npos) return stored;
  return stored + " / " + add;
}

// The cabinet field without what an older program may have left behind a further "|".
std::string FirstPipeField(const std::string& text) {
  const size_t bar = text.find('|');
  return bar == std::string::npos ? text : text.substr(0, bar);
}

}  // namespace

// =======================================================================================
// Kinds and their names

int HolderClassOfKind(TOwnerKind kind) {
  if (kind == okPerson) return 5;
  if (kind == okKeyBunch) return 14;
  return 0;
}

// =======================================================================================
// The line codec

std::string HolderLinePrefix(THolderRef owner) {
  return std::string(1, static_cast<char>('A' + owner.kind)) + std::to_string(owner.id);
}

std::string CleanHolderFieldText(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == ';') c = ',';
    else if (c == '|') c = '/';
  }
  return out;
}

THolderFields ParseHolderLine(const std::string& text) {
  THolderFields fields;
  size_t start = 0;
  for (int i = 0; i < kHolderFieldCount; ++i) {
    if (start > text.size()) break;
    const size_t bar = i + 1 < kHolderFieldCount ? text.find('|', start) : std::string::npos;
    if (bar == std::string::npos) {
      fields[i] = text.substr(start);
      break;
    }
    fields[i] = text.substr(start, bar - start);
    start = bar + 1;
  }
  return fields;
}

std::string BuildHolderLine(const std::string& prefix, const THolderFields& fields) {
  std::string line = prefix + "=";
  for (int i = 0; i < kHolderFieldCount; ++i) {
    if (i) line += '|';
    line += fields[i];
  }
  while (!line.empty() && line.back() == '|') line.pop_back();
  return line;
}

std::string HolderLineBody(const std::string& line) {
  const size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

std::vector<std::string> SplitHolderLines(const std::string& own) {
  std::vector<std::string> lines;
  ValueListToStrings(own, lines);
  return lines;
}

std::string JoinHolderLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    if (!out.empty()) out += ';';
    out += line;
  }
  return out;
}

int FindHolderLine(const std::vector<std::string>& lines, const std::string& prefix,
                   const std::string& isoDate, const std::string& receiptNo) {
  int found = -1;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!StartsWithPrefix(lines[i], prefix)) continue;
    found = static_cast<int>(i);
    const THolderFields fields = ParseHolderLine(lines[i]);
    if (!receiptNo.empty()) {
      if (fields[hfReceiptNo] == receiptNo) break;
    } else if (!isoDate.empty() && fields[hfFirstDate] == isoDate) {
      break;
    }
  }
  return found;
}

bool HasHolderLine(const std::vector<std::string>& lines, const std::string& prefix) {
  return FindHolderLine(lines, prefix, "", "") >= 0;
}

// =======================================================================================
// Booking

THolderBookingResult ApplyHolderBooking(std::vector<std::string>& lines,
                                        const THolderBooking& booking, TPackedDate today) {
  THolderBookingResult result;
  const THolderRef owner = booking.owner;
  if (owner.kind >= kOwnerKindCount || owner.id < 0) return result;
  const std::string prefix = HolderLinePrefix(owner);

  // A receipt number is stored cleaned, so it is looked up cleaned.
  const std::string receiptNo = CleanHolderFieldText(booking.receiptNo);
  const int index = booking.find
                        ? FindHolderLine(lines, prefix, PackedDateToIsoStr(booking.date), receiptNo)
                        : -1;
  THolderFields fields;
  if (index >= 0) fields = ParseHolderLine(HolderLineBody(lines[index]));

  const int64_t count = int64_t{StrToIntZero(fields[hfCount])} + booking.delta;
  if (count > std::numeric_limits<int32_t>::max() || count < std::numeric_limits<int32_t>::min())
    return result;

  if (count == 0) {
    if (index >= 0) {
      lines.erase(lines.begin() + index);
      result.deleted = true;
    }
    if (HolderClassOfKind(owner.kind) != 0 && !HasHolderLine(lines, prefix))
      result.link = THolderLinkChange::Remove;
    result.ok = true;
    return result;
  }

  if (HolderClassOfKind(owner.kind) != 0) result.link = THolderLinkChange::Ensure;
  fields[hfCount] = std::to_string(count);

  // Pieces booked out of a holding that stays: the pieces still held were issued on the
  // holding's date and time, under its receipt and signature, from its cabinet. The date
  // and receipt of such a booking only select the holding, and when they select none the
  // last line of the holder is booked out of, which must not take over their values.
  const bool partialReturn = index >= 0 && booking.delta < 0;
  if (!partialReturn) {
    if (fields[hfTime].empty() && !booking.timeText.empty())
      fields[hfTime] = CleanHolderFieldText(ClockPart(booking.timeText));
    TPackedDate date = booking.date;
    if (date == 0 && index < 0) date = today;
    const std::string iso = PackedDateToIsoStr(date);
    if (!iso.empty() && (fields[hfFirstDate].empty() || fields[hfFirstDate] > iso))
      fields[hfFirstDate] = iso;
    if (!receiptNo.empty()) fields[hfReceiptNo] = receiptNo;
    if (!booking.signatureRef.empty())
      fields[hfSignatureRef] = CleanHolderFieldText(booking.signatureRef);
    if (booking.cabinetId > 0) fields[hfCabinet] = std::to_string(booking.cabinetId);
  }
  if (booking.deadline != 0) fields[hfDeadline] = PackedDateToIsoStr(booking.deadline);
  fields[hfRemark] = MergeRemark(fields[hfRemark], booking.remark);
  if (!booking.identifier.empty()) {
    fields[hfIdentifier] = booking.identifier == std::string(1, kClearMark)
                               ? std::string()
                               : CleanHolderFieldText(booking.identifier);
  }

  const std::string line = BuildHolderLine(prefix, fields);
  if (index >= 0) {
    lines[index] = line;
    result.index = index;
  } else {
    lines.push_back(line);
    result.index = static_cast<int>(lines.size()) - 1;
  }
  result.ok = true;
  return result;
}

// =======================================================================================
// Reading

bool ParseHolderEntry(const std::string& line, int32_t keyId, THolderEntry& entry, bool cut) {
  if (line.size() < 3) return false;
  entry = THolderEntry();
  entry.KeyId = keyId;
  entry.Kind = static_cast<TOwnerKind>(static_cast<unsigned char>(line[0]) - 65);
  const size_t eq = line.find('=');
  const std::string idText = eq == std::string::npos ? line.substr(1) : line.substr(1, eq - 1);
  entry.HolderId = StrToPosInt(idText);
  if (eq == std::string::npos) return true;
  const THolderFields f = ParseHolderLine(line.substr(eq + 1));
  auto take = [cut](const std::string& text, int width) {
    return cut ? CopyLeft(text, width) : text;
  };
  entry.Count = take(f[hfCount], kEntryCountLen);
  entry.FirstDate = take(f[hfFirstDate], kEntryDateLen);
  entry.Deadline = take(f[hfDeadline], kEntryDateLen);
  entry.Remark = take(f[hfRemark], kEntryRemarkLen);
  entry.ReceiptNo = take(f[hfReceiptNo], kEntryReceiptLen);
  entry.Identifier = take(f[hfIdentifier], kEntryIdentifierLen);
  entry.SignatureRef = take(f[hfSignatureRef], kEntrySignatureLen);
  const size_t colon = f[hfTime].find(':');
  if (colon != std::string::npos) {
    const size_t from = colon >= 2 ? colon - 2 : 0;
    entry.Time = f[hfTime].substr(from, kEntryTimeLen);
  }
  entry.CabinetId = StrToPosInt(FirstPipeField(f[hfCabinet]));
  return true;
}

THolderEntries ParseHolderEntries(const std::string& own, int32_t keyId, bool cut) {
  THolderEntries entries;
  const std::vector<std::string> lines = SplitHolderLines(own);
  entries.reserve(lines.size());
  THolderEntry entry;
  for (const std::string& line : lines)
    if (ParseHolderEntry(line, keyId, entry, cut)) entries.push_back(entry);
  SortHolderEntriesByDate(entries);
  return entries;
}

void SortHolderEntriesByDate(THolderEntries& entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const THolderEntry& a, const THolderEntry& b) {
                     return a.FirstDate < b.FirstDate;
                   });
}

void SortHolderEntriesByDeadline(THolderEntries& entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const THolderEntry& a, const THolderEntry& b) {
                     return a.Deadline < b.Deadline;
                   });
}

// =======================================================================================
// Everything below reads or writes the store.

namespace {

// The key's holder lines as stored.
std::vector<std::string> ReadHolderLines(const TMiniDB& db, int32_t keyId) {
  return SplitHolderLines(db.ReadLineField(keyId, fkHolders));
}

static_assert(std::tuple_size_v<THolderKindNameTable> ==
              std::tuple_size_v<decltype(TVocabulary::holderKindNames)>);

THolderKindNameTable& KindNameStorage() { return Vocabulary().holderKindNames; }

}  // namespace

THolderKindNameTable& HolderKindNames() {
  if (!Vocabulary().holderKindNamesFilled) InitHolderKindNames();
  return KindNameStorage();
}

void InitHolderKindNames() {
  Vocabulary().holderKindNamesFilled = true;
  const std::string actions = CoreText(47);
  SetHolderKindName(okUnknown, CoreText(58));
  SetHolderKindName(okSupplier, CoreText(59));
  SetHolderKindName(okCabinet, CoreText(60));
  SetHolderKindName(okStock, CoreText(60));
  SetHolderKindName(okPerson, HolderCaption());
  SetHolderKindName(okLost, GetNthField(4, ';', actions));
  SetHolderKindName(okDefective, GetNthField(3, ';', actions));
  SetHolderKindName(okKeyBunch, CoreText(85));
}

void SetHolderKindName(TOwnerKind kind, const std::string& name) {
  if (kind >= kOwnerKindCount) return;
  if (!Vocabulary().holderKindNamesFilled) InitHolderKindNames();
  KindNameStorage()[kind] = CopyLeft(name, kHolderKindNameMaxLen);
}

bool BookHolderChange(TMiniDB& db, int32_t keyId, const THolderBooking& booking) {
  if (!db.HasRecord(keyId)) return false;
  const int keyClass = db.GetClass(keyId);
  std::vector<std::string> lines = ReadHolderLines(db, keyId);
  const THolderBookingResult result = ApplyHolderBooking(lines, booking, TodayPacked());
  if (!result.ok) return false;
  const int holderClass = HolderClassOfKind(booking.owner.kind);
  // A holder whose record is gone keeps its line but gets no link that points nowhere.
  if (booking.owner.id > 0 && holderClass != 0) {
    if (result.link == THolderLinkChange::Ensure && db.HasRecord(booking.owner.id))
      db.AddLinkBoth(keyId, booking.owner.id, holderClass, keyClass);
    else if (result.link == THolderLinkChange::Remove)
      db.RemoveLinkBoth(keyId, booking.owner.id, holderClass, keyClass);
  }
  db.SetField(keyId, fkHolders, JoinHolderLines(lines));
  return true;
}

bool BookHolderChange(TMiniDB& db, int32_t keyId, bool find, THolderRef owner, int32_t delta,
                      TPackedDate date, TPackedDate deadline, const std::string& remark,
                      const std::string& receiptNo, const std::string& identifier,
                      const std::string& signatureRef, const std::string& timeText,
                      int32_t cabinetId) {
  THolderBooking booking;
  booking.find = find;
  booking.owner = owner;
  booking.delta = delta;
  booking.date = date;
  booking.deadline = deadline;
  booking.remark = remark;
  booking.receiptNo = receiptNo;
  booking.identifier = identifier;
  booking.signatureRef = signatureRef;
  booking.timeText = timeText;
  booking.cabinetId = cabinetId;
  return BookHolderChange(db, keyId, booking);
}

THolderEntries LoadHolderRecs(const TMiniDB& db, int32_t keyId, bool cut) {
  if (!db.HasRecord(keyId)) return {};
  return ParseHolderEntries(db.ReadLineField(keyId, fkHolders), keyId, cut);
}

std::string HolderRefText(const TMiniDB& db, THolderRef ref) {
  switch (ref.kind) {
    case okPerson:
    case okKeyBunch:
      return db.GetDisplayName(ref.id);
    case okLost:
      if (db.HasRecord(ref.id)) return CoreText(51) + " " + db.GetDisplayName(ref.id);
      return CoreText(50);
    case okUnknown:
    case okSupplier:
    case okCabinet:
    case okStock:
    case okDefective:
      return HolderKindNames()[ref.kind];
    default:
      return "Type Error";
  }
}

TItemList GetHoldingPersons(const TMiniDB& db, int32_t keyId) {
  TItemList persons;
  for (const THolderEntry& e : LoadHolderRecs(db, keyId))
    if (e.Kind == okPerson) persons.Add(e.HolderId);
  return persons;
}

bool IdentifierAlreadyIssued(const TMiniDB& db, int32_t keyId, const std::string& identifier) {
  if (keyId == 0 || identifier.empty()) return false;
  // Stored identifiers are cleaned of separators and read uncut here: a long marking that
  // agrees only in what a list shows is another marking.
  const std::string wanted = AnsiUpperCase(CleanHolderFieldText(identifier));
  for (const std::string& line : ReadHolderLines(db, keyId)) {
    if (line.size() < 3) continue;
    const std::string stored = ParseHolderLine(HolderLineBody(line))[hfIdentifier];
    if (!stored.empty() && AnsiUpperCase(stored) == wanted) return true;
  }
  return false;
}

int32_t BookedCount(const TMiniDB& db, int32_t keyId) {
  int64_t sum = 0;
  for (const THolderEntry& e : LoadHolderRecs(db, keyId))
    if (e.Kind >= okPerson && e.Kind <= okKeyBunch) sum += StrToIntZero(e.Count);
  return static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

void AddIdentifiersOfKey(const TMiniDB& db, int32_t keyId, TQStringList& list) {
  for (const std::string& line : ReadHolderLines(db, keyId)) {
    if (line.size() < 3) continue;
    const std::string identifier = ParseHolderLine(HolderLineBody(line))[hfIdentifier];
    if (!identifier.empty() && list.IndexOf(identifier) < 0) list.Add(identifier);
  }
}

std::string IdentifierOfHolder(const TMiniDB& db, int32_t keyId, int32_t holderId) {
  for (const THolderEntry& e : LoadHolderRecs(db, keyId, false))
    if (e.HolderId == holderId) return e.Identifier;
  return {};
}

int SyncHolderLinks(TMiniDB& db, int32_t item) {
  if (!db.HasRecord(item)) return 0;
  const int itemClass = db.GetClass(item);
  std::vector<int32_t> holders;
  int changes = 0;
  for (const THolderEntry& e : LoadHolderRecs(db, item)) {
    const int holderClass = HolderClassOfKind(e.Kind);
    if (holderClass == 0 || e.HolderId <= 0) continue;
    if (std::find(holders.begin(), holders.end(), e.HolderId) != holders.end()) continue;
    holders.push_back(e.HolderId);
    // A holder whose record is gone gets no link: it would point nowhere.
    if (!db.HasRecord(e.HolderId)) continue;
    if (db.HasLink(item, holderClass, e.HolderId) && db.HasLink(e.HolderId, itemClass, item))
      continue;
    db.AddLinkBoth(item, e.HolderId, holderClass, itemClass);
    ++changes;
  }
  TItemList persons;
  db.GetLinks(item, HolderClassOfKind(okPerson), persons);
  for (int32_t i = 0; i < persons.Count(); ++i) {
    const int32_t person = persons.Get(i);
    if (std::find(holders.begin(), holders.end(), person) != holders.end()) continue;
    db.RemoveLinkBoth(item, person, HolderClassOfKind(okPerson), itemClass);
    ++changes;
  }
  return changes;
}

int SyncHolderLinksOfClass(TMiniDB& db, int cls) {
  TItemList items;
  db.ListClassValid(cls, items);
  int changes = 0;
  for (int32_t i = 0; i < items.Count(); ++i) {
    if (i % 8 == 0) UI().ProcessPendingEvents();
    changes += SyncHolderLinks(db, items.Get(i));
  }
  return changes;
}

int SyncAllHolderLinks(TMiniDB& db) {
  return SyncHolderLinksOfClass(db, 4) + SyncHolderLinksOfClass(db, 14);
}

// ---------------------------------------------------------------------------------------
// The lending overview of a person

namespace {

std::string CellText(std::string text) {
  for (char& c : text)
    if (c == '\t') c = ' ';
  return text;
}


}  // namespace

std::string PersonKeyListCaption(int code) {
  switch (code) {
    case 1: return KeyCaption();
    case 2: return CoreText(94);
    case 3: return CoreText(1);
    case 4: return CoreText(6);
    case 5: return IssuedOnCaption();
    case 6: return CoreText(109);
    case 7: return CabinetCaption();
    case 8: return CoreText(99);
    default: return CoreText(120);
  }
}

TQStringList BuildPersonKeyList(const TMiniDB& db, int32_t person, const std::vector<int>& codes,
                                bool withBlankRows) {
  std::vector<int> columns;
  for (int code : codes)
    if (code >= 1 && code <= 9) columns.push_back(code);
  if (codes.empty()) columns = {1, 2, 3, 4, 5, 6};

  auto caption = [](int code) { return PersonKeyListCaption(code); };

  auto joinRow = [&columns](auto cell) {
    std::string row;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i) row += '\t';
      row += cell(columns[i]);
    }
    return row;
  };

  TQStringList rows;
  rows.Add(joinRow(caption));
  TItemList items, bunches;
  db.ReadLinks(person, icKey, items);
  db.ReadLinks(person, icKeyBunch, bunches);
  items.AddList(bunches);
  for (int32_t i = 0; person > 0 && i < items.Count(); ++i) {
    const int32_t key = items.Get(i);
    for (const THolderEntry& e : LoadHolderRecs(db, key, false)) {
      // Only what the person holds: a key they lost is no longer theirs to sign for.
      if (e.Kind != okPerson || e.HolderId != person) continue;
      const int32_t cabinet = e.CabinetId > 0 ? e.CabinetId : db.ReadOnlyLink(key, icCabinet);
      rows.Add(joinRow([&](int code) -> std::string {
        switch (code) {
          case 1: return CellText(db.GetDisplayName(key));
          case 2: return CellText(e.Identifier);
          case 3: return CellText(ItemKeySystemName(db, key));
          case 4: return CellText(e.Count);
          case 5: return IsoDateToLocalStr(e.FirstDate);
          case 6: return IsoDateToLocalStr(e.Deadline);
          case 7: return cabinet > 0 ? CellText(db.GetDisplayName(cabinet)) : std::string();
          case 8: return cabinet > 0 ? CellText(GetHookText(db, key, cabinet)) : std::string();
          default: return CellText(db.ReadLineField(key, "k603"));
        }
      }));
    }
  }
  if (withBlankRows) {
    const std::string blanks = joinRow([](int code) -> std::string {
      return code == 1 || code == 3 || code == 5 || code == 6 ? "____________" : "_______";
    });
    for (int i = 0; i < 3; ++i) {
      rows.Add("");
      rows.Add(blanks);
    }
  }
  return rows;
}
