#include "data/HolderUnit.h"

#include <algorithm>
#include <limits>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/ValueString.h"

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

// Field 1 to 8 as they stand; field 9 cut at the next "|", as a reader of one field sees it.
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

  if (fields[hfTime].empty() && !booking.timeText.empty())
    fields[hfTime] = CleanHolderFieldText(ClockPart(booking.timeText));

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

  TPackedDate date = booking.date;
  if (date == 0 && index < 0) date = today;
  if (date != 0) {
    const std::string iso = PackedDateToIsoStr(date);
    if (!iso.empty() && (fields[hfFirstDate].empty() || fields[hfFirstDate] > iso))
      fields[hfFirstDate] = iso;
  }
  if (booking.deadline != 0) fields[hfDeadline] = PackedDateToIsoStr(booking.deadline);
  fields[hfRemark] = MergeRemark(fields[hfRemark], booking.remark);
  if (!booking.identifier.empty()) {
    fields[hfIdentifier] = booking.identifier == std::string(1, kClearMark)
                               ? std::string()
                               : CleanHolderFieldText(booking.identifier);
  }
  // Pieces booked out of a holding that stays: what remains was issued under the
  // holding's own signature and from its own cabinet.
  // (A receipt number that selected no holding makes the last line of the holder the one
  // booked out of; it must not take over the receipt of that holding either.)
  const bool partialReturn = index >= 0 && booking.delta < 0;
  if (!partialReturn) {
    if (!receiptNo.empty()) fields[hfReceiptNo] = receiptNo;
    if (!booking.signatureRef.empty())
      fields[hfSignatureRef] = CleanHolderFieldText(booking.signatureRef);
    if (booking.cabinetId > 0) fields[hfCabinet] = std::to_string(booking.cabinetId);
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

bool ParseHolderEntry(const std::string& line, int32_t keyId, THolderEntry& entry) {
  if (line.size() < 3) return false;
  entry = THolderEntry();
  entry.KeyId = keyId;
  entry.Kind = static_cast<TOwnerKind>(static_cast<unsigned char>(line[0]) - 65);
  const size_t eq = line.find('=');
  const std::string idText = eq == std::string::npos ? line.substr(1) : line.substr(1, eq - 1);
  entry.HolderId = StrToPosInt(idText);
  if (eq == std::string::npos) return true;
  const THolderFields f = ParseHolderLine(line.substr(eq + 1));
  entry.Count = CopyLeft(f[hfCount], kEntryCountLen);
  entry.FirstDate = CopyLeft(f[hfFirstDate], kEntryDateLen);
  entry.Deadline = CopyLeft(f[hfDeadline], kEntryDateLen);
  entry.Remark = CopyLeft(f[hfRemark], kEntryRemarkLen);
  entry.ReceiptNo = CopyLeft(f[hfReceiptNo], kEntryReceiptLen);
  entry.Identifier = CopyLeft(f[hfIdentifier], kEntryIdentifierLen);
  entry.SignatureRef = CopyLeft(f[hfSignatureRef], kEntrySignatureLen);
  const size_t colon = f[hfTime].find(':');
  if (colon != std::string::npos) {
    const size_t from = colon >= 2 ? colon - 2 : 0;
    entry.Time = f[hfTime].substr(from, kEntryTimeLen);
  }
  entry.CabinetId = StrToPosInt(FirstPipeField(f[hfCabinet]));
  return true;
}

THolderEntries ParseHolderEntries(const std::string& own, int32_t keyId) {
  THolderEntries entries;
  const std::vector<std::string> lines = SplitHolderLines(own);
  entries.reserve(lines.size());
  THolderEntry entry;
  for (const std::string& line : lines)
    if (ParseHolderEntry(line, keyId, entry)) entries.push_back(entry);
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
