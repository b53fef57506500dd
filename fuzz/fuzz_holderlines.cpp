// Arbitrary bytes as the holder lines of a key and a booking against them: the booking must
// not crash, must leave every other line byte for byte as it was, and the line it writes
// must read back as one holding of its holder with the new count.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/HolderUnit.h"

namespace {

// The input cut at NUL bytes: "own", then the booking's texts.
std::vector<std::string> Pieces(const std::string& text) {
  std::vector<std::string> pieces(1);
  for (char c : text) {
    if (c == '\0' && pieces.size() < 8) pieces.emplace_back();
    else pieces.back() += c;
  }
  pieces.resize(8);
  return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  THolderBooking b;
  b.find = data[0] & 1;
  b.owner.kind = static_cast<TOwnerKind>(data[1] % 10);
  b.owner.id = static_cast<int8_t>(data[2]);
  b.delta = static_cast<int8_t>(data[3]);
  b.date = data[4] & 1 ? PackDate(2000 + data[4] / 4, 1 + data[5] % 12, 1 + data[5] / 12 % 28) : 0;
  b.deadline = data[6] & 1 ? PackDate(2030, 1, 1) : 0;
  b.cabinetId = static_cast<int8_t>(data[7]);
  const std::vector<std::string> p =
      Pieces(std::string(reinterpret_cast<const char*>(data) + 8, size - 8));
  b.remark = p[1];
  b.receiptNo = p[2];
  b.identifier = p[3];
  b.signatureRef = p[4];
  b.timeText = p[5];

  std::vector<std::string> lines = SplitHolderLines(p[0]);
  std::vector<std::string> before;
  for (const std::string& line : lines)
    if (!line.empty()) before.push_back(line);
  lines = before;
  const std::string own = JoinHolderLines(lines);

  const THolderBookingResult r = ApplyHolderBooking(lines, b, PackDate(2024, 6, 10));
  if (!r.ok) {
    if (JoinHolderLines(lines) != own) std::abort();
    return 0;
  }
  // Every line but the one booked is unchanged, in its place.
  std::vector<std::string> others = lines, othersBefore = before;
  if (r.index >= 0) others.erase(others.begin() + r.index);
  if (r.deleted || (r.index >= 0 && r.index < static_cast<int>(before.size()))) {
    const int touched = FindHolderLine(before, HolderLinePrefix(b.owner),
                                       PackedDateToIsoStr(b.date),
                                       CleanHolderFieldText(b.receiptNo));
    if (touched < 0 || !b.find) std::abort();
    othersBefore.erase(othersBefore.begin() + touched);
  }
  if (others != othersBefore) std::abort();

  // The stored text splits into exactly these lines again: no text cut a holding in two.
  if (SplitHolderLines(JoinHolderLines(lines)) != lines) std::abort();
  if (r.index >= 0) {
    const std::string& line = lines[r.index];
    const std::string prefix = HolderLinePrefix(b.owner) + "=";
    if (line.compare(0, prefix.size(), prefix) != 0) std::abort();
    THolderEntry e;
    if (!ParseHolderEntry(line, 1, e, false) || e.Kind != b.owner.kind || e.HolderId != b.owner.id)
      std::abort();
    if (e.Count.empty() || e.Count == "0") std::abort();
  }
  return 0;
}
