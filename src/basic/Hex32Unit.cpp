#include "basic/Hex32Unit.h"

#include <bit>
#include <limits>

namespace {

constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";

std::string UnsignedToHex32(uint64_t v) {
  char buf[16];
  int i = 16;
  do {
    buf[--i] = kDigits[v & 31];
    v >>= 5;
  } while (v != 0);
  return std::string(buf + i, buf + 16);
}

int Digit32(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'V') return c - 'A' + 10;
  return -1;
}

// Reads "-"? and 1..maxDigits digits into a wrapping unsigned 64-bit value.
bool ReadHex32(const std::string& text, size_t maxDigits, uint64_t& value) {
  size_t i = 0;
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    i = 1;
  }
  const size_t digits = text.size() - i;
  if (digits < 1 || digits > maxDigits) return false;
  uint64_t v = 0;
  for (; i < text.size(); ++i) {
    int d = Digit32(text[i]);
    if (d < 0) return false;
    v = (v << 5) | static_cast<uint64_t>(d);
  }
  value = negative ? 0u - v : v;
  return true;
}

}  // namespace

std::string IntToHex32(int32_t value, bool signedValue) {
  if (signedValue && value < 0 && value != std::numeric_limits<int32_t>::min())
    return "-" + UnsignedToHex32(static_cast<uint64_t>(-static_cast<int64_t>(value)));
  return UnsignedToHex32(static_cast<uint32_t>(value));
}

int32_t Hex32ToInt(const std::string& text) {
  uint64_t v;
  if (!ReadHex32(text, 7, v)) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(v));
}

std::string Int64ToHex32(int64_t value, bool signedValue) {
  if (signedValue && value < 0 && value != std::numeric_limits<int64_t>::min())
    return "-" + UnsignedToHex32(0u - static_cast<uint64_t>(value));
  return UnsignedToHex32(static_cast<uint64_t>(value));
}

int64_t Hex32ToInt64(const std::string& text) {
  uint64_t v;
  if (!ReadHex32(text, 13, v)) return 0;
  return static_cast<int64_t>(v);
}

std::string DoubleToHex32(double value) {
  return UnsignedToHex32(std::bit_cast<uint64_t>(value));
}

double Hex32ToDouble(const std::string& text) {
  uint64_t v;
  if (!ReadHex32(text, 13, v)) return 0.0;
  return std::bit_cast<double>(v);
}
