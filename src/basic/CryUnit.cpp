#include "basic/CryUnit.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <random>

#include "basic/ValueString.h"
#include "platform/PlatformFiles.h"

namespace {

// Each search of the table building is bounded. Searched without a bound, the running
// value and the column formula are periodic, and for some keys their period misses every
// free value or column: keys whose length shares the factor 17 with 255 (17, 34, 51, ...)
// often, keys of one repeated byte, and about one key in 170 of arbitrary bytes would
// search for ever. When the search reaches a free cell at all it does so within a few
// hundred tries (the longest seen over thousands of random keys: about 2,000), so past the
// bound the next free value or column is taken; every key then gives a table, and keys
// whose searches end give exactly the tables of the unbounded search.
constexpr int kMaxTries = 16384;

constexpr std::uint8_t kFree = 0;  // marker in the "used" arrays below
constexpr std::uint8_t kUsed = 1;

std::uint32_t Rotl(std::uint32_t x, unsigned r) {
  r &= 31u;
  return r == 0 ? x : (x << r) | (x >> (32u - r));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads until `size` bytes are in or the file ends. 0 or an errno.
int ReadFully(int fd, char* buffer, std::size_t size, std::size_t& got) {
  got = 0;
  while (got < size) {
    std::size_t n = 0;
    const int err = PfRead(fd, buffer + got, size - got, n);
    if (err != 0) return err;
    if (n == 0) break;
    got += n;
  }
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TCrypt

bool TCrypt::Init(bool random, bool verify, int keyLength, const void* key) {
  ready_ = false;
  fallbacks_ = 0;
  enc_.clear();
  dec_.clear();
  if (keyLength < 0 || (keyLength > 0 && key == nullptr)) {
    key_.clear();
    keySum_ = 0;
    return false;
  }

  const auto* bytes = static_cast<const std::uint8_t*>(key);
  key_.assign(bytes, bytes + keyLength);
  if (key_.empty()) key_.assign(MinKeyLength, 0);
  for (std::size_t i = key_.size(); i < static_cast<std::size_t>(MinKeyLength); ++i) {
    const std::uint8_t repeated = key_[i % static_cast<std::size_t>(keyLength)];
    key_.push_back(repeated);
  }

  unsigned sum = 0;
  for (std::uint8_t b : key_) sum += b;
  keySum_ = static_cast<std::uint8_t>(sum);

  // Column k of the square is column 0 moved up by shiftOfColumn[k] rows, so the whole
  // square is column 0 plus one shift per column.
  std::uint8_t col0[256];
  std::uint8_t shiftOfColumn[256];
  if (random) BuildAtRandom(col0, shiftOfColumn);
  else BuildFromKey(col0, shiftOfColumn);

  ++builds_;
  enc_.assign(256 * 256, 0);
  dec_.assign(256 * 256, 0);
  std::uint8_t* enc = enc_.data();
  std::uint8_t* dec = dec_.data();
  for (int r = 0; r < 256; ++r) {
    for (int k = 0; k < 256; ++k) {
      const std::uint8_t e = col0[(r + shiftOfColumn[k]) & 255];
      enc[r * 256 + k] = e;
      dec[e * 256 + k] = static_cast<std::uint8_t>(r);
    }
  }
  ready_ = true;
  if (verify && !TablesAreLatinSquare()) {
    ready_ = false;
    enc_.clear();
    dec_.clear();
  }
  return ready_;
}

void TCrypt::BuildFromKey(std::uint8_t col0[256], std::uint8_t shiftOfColumn[256]) {
  const std::size_t len = key_.size();

  // Column 0. Each try adds key[j] + s for j from the last index down to p; the key bytes
  // of that run are a suffix sum, so a try costs one addition whatever the key length.
  std::vector<std::uint8_t> suffix(len + 1, 0);
  for (std::size_t j = len; j-- > 0;)
    suffix[j] = static_cast<std::uint8_t>(suffix[j + 1] + key_[j]);

  std::uint8_t used[256];
  std::memset(used, kFree, sizeof used);
  unsigned v = 0, s = 11;
  std::size_t p = 0;
  for (int row = 0; row < 256; ++row) {
    bool placed = false;
    for (int tries = 0; tries < kMaxTries; ++tries) {
      v = (v + suffix[p] + static_cast<unsigned>((len - p) & 255) * s) & 255;
      p = (p + 1) % len;
      if (used[v] == kFree) {
        placed = true;
        break;
      }
      s = (s + 1) & 255;
    }
    if (!placed) {
      ++fallbacks_;
      while (used[v] != kFree) v = (v + 1) & 255;
    }
    used[v] = kUsed;
    col0[row] = static_cast<std::uint8_t>(v);
  }

  // Columns 1..255 receive the shifts 1..255, each column chosen by the key.
  std::uint8_t taken[256];
  std::memset(taken, kFree, sizeof taken);
  taken[0] = kUsed;
  shiftOfColumn[0] = 0;
  std::size_t n = 0;
  for (int c = 1; c < 256; ++c) {
    unsigned k = 0;
    bool found = false;
    for (int tries = 0; tries < kMaxTries; ++tries) {
      ++n;
      k = static_cast<unsigned>((key_[(static_cast<std::size_t>(c) + 37 + n) % len] + n + keySum_) %
                                255) + 1;
      if (taken[k] == kFree) {
        found = true;
        break;
      }
    }
    if (!found) {
      ++fallbacks_;
      while (taken[k] != kFree) k = k % 255 + 1;  // 1..255, wrapping
    }
    taken[k] = kUsed;
    shiftOfColumn[k] = static_cast<std::uint8_t>(c);
  }
}

void TCrypt::BuildAtRandom(std::uint8_t col0[256], std::uint8_t shiftOfColumn[256]) {
  // Drawing until every value (and column) is placed is the same as a random permutation.
  std::random_device device;
  std::mt19937 gen(device());
  std::array<std::uint8_t, 256> values;
  std::iota(values.begin(), values.end(), 0);
  std::shuffle(values.begin(), values.end(), gen);
  std::copy(values.begin(), values.end(), col0);

  std::array<std::uint8_t, 255> columns;
  std::iota(columns.begin(), columns.end(), 1);
  std::shuffle(columns.begin(), columns.end(), gen);
  shiftOfColumn[0] = 0;
  for (int c = 1; c < 256; ++c) shiftOfColumn[columns[c - 1]] = static_cast<std::uint8_t>(c);
}

bool TCrypt::TablesAreLatinSquare() const {
  if (enc_.size() != 256 * 256 || dec_.size() != 256 * 256) return false;
  const std::uint8_t* enc = enc_.data();
  const std::uint8_t* dec = dec_.data();
  for (int i = 0; i < 256; ++i) {
    std::uint8_t inRow[256], inColumn[256];
    std::memset(inRow, 0, sizeof inRow);
    std::memset(inColumn, 0, sizeof inColumn);
    for (int j = 0; j < 256; ++j) {
      const std::uint8_t r = enc[i * 256 + j], c = enc[j * 256 + i];
      if (inRow[r]++ != 0 || inColumn[c]++ != 0) return false;
      if (dec[c * 256 + i] != j) return false;
    }
  }
  return true;
}

std::uint8_t TCrypt::EncTable(int row, int column) const {
  if (!ready_ || row < 0 || row > 255 || column < 0 || column > 255) return 0;
  return enc_[row * 256 + column];
}

std::uint8_t TCrypt::DecTable(int value, int column) const {
  if (!ready_ || value < 0 || value > 255 || column < 0 || column > 255) return 0;
  return dec_[value * 256 + column];
}

bool TCrypt::EncryptBuffer(void* buffer, std::ptrdiff_t length) const {
  if (!ready_) return false;
  if (length < 1 || buffer == nullptr) return true;
  auto* b = static_cast<std::uint8_t*>(buffer);
  const std::uint8_t* e = enc_.data();
  const std::ptrdiff_t last = length - 1;
  b[0] = e[b[0] * 256 + keySum_];
  if (length > 1) {
    for (std::ptrdiff_t i = 1; i <= last; ++i) b[i] = e[b[i] * 256 + b[i - 1]];
    b[last] = e[b[last] * 256 + (keySum_ ^ 0x55)];
    for (std::ptrdiff_t i = last - 1; i >= 0; --i) b[i] = e[b[i] * 256 + b[i + 1]];
  }
  return true;
}

bool TCrypt::DecryptBuffer(void* buffer, std::ptrdiff_t length) const {
  if (!ready_) return false;
  if (length < 1 || buffer == nullptr) return true;
  auto* b = static_cast<std::uint8_t*>(buffer);
  const std::uint8_t* d = dec_.data();
  const std::ptrdiff_t last = length - 1;
  if (length > 1) {
    for (std::ptrdiff_t i = 0; i < last; ++i) b[i] = d[b[i] * 256 + b[i + 1]];
    b[last] = d[b[last] * 256 + (keySum_ ^ 0x55)];
    for (std::ptrdiff_t i = last; i >= 1; --i) b[i] = d[b[i] * 256 + b[i - 1]];
  }
  b[0] = d[b[0] * 256 + keySum_];
  return true;
}

// ---------------------------------------------------------------------------------------
// TCustomerCry

std::vector<std::uint8_t> TCustomerCry::DeriveKey(std::uint32_t number1, std::uint32_t number2) {
  const std::uint32_t a = number1 != 0 ? number1 : DefaultNumber;
  const std::uint32_t b = (number2 == 0 || number2 == a) ? (a >> 3) : number2;
  const std::size_t length = 89 + (a & 0xFFu) + ((b >> 16) & 0xFFu);

  std::vector<std::uint8_t> key(length);
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint32_t pos = static_cast<std::uint32_t>(i);
    std::uint32_t x = a + 0x9E3779B9u * (pos + 1);
    x ^= Rotl(b, pos);
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    key[i] = static_cast<std::uint8_t>(x >> 24);
  }
  return key;
}

bool TCustomerCry::SetKey(std::uint32_t number1, std::uint32_t number2) {
  if (keyed_ && number1 == number1_ && number2 == number2_) return true;
  number1_ = number1;
  number2_ = number2;
  std::vector<std::uint8_t> key = DeriveKey(number1, number2);
  keyed_ = Init(false, false, static_cast<int>(key.size()), key.data());
  std::fill(key.begin(), key.end(), 0);
  return keyed_;
}

std::string TCustomerCry::MakeHeader(std::uint32_t number) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (int shift = 28; shift >= 0; shift -= 4) hex += kHex[(number >> shift) & 15];
  return AddChecksum(std::string("\x02\x00", 2) + ScrambleStr(hex));
}

int TCustomerCry::ReadHeader(int fd, std::int64_t& fileSize, std::uint8_t& firstByte,
                             std::uint32_t& number, int& headerLength) {
  fileSize = 0;
  firstByte = 0;
  number = 0;
  headerLength = -1;
  if (PfFstatSize(fd, fileSize) != 0) return crhReadError;

  char buf[14];
  std::size_t got = 0;
  if (ReadFully(fd, buf, sizeof buf, got) != 0) return crhReadError;
  if (got > 0) firstByte = static_cast<std::uint8_t>(buf[0]);
  for (std::size_t i = 0; i + 1 < got; ++i) {
    if (buf[i] == '\r' && buf[i + 1] == '\n') {
      headerLength = static_cast<int>(i);
      break;
    }
  }
  if (got < 3 || headerLength != 12 || buf[0] != '\x02' || buf[1] != '\x00')
    return crhNotThisFormat;

  std::string line(buf, 12);
  if (!CheckChecksum(line)) return crhNotThisFormat;
  const std::string hex = UnscrambleStr(line.substr(2, 8));
  std::uint32_t value = 0;
  for (char c : hex) {
    const int d = HexDigit(c);
    if (d < 0) return crhNotThisFormat;
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  number = value;
  return crhValid;
}

bool TCustomerCry::LoadStrings(int fd, std::int64_t byteCount, std::size_t capacityHint,
                               TQStringList& lines) const {
  if (!keyed_ || !Ready() || byteCount < 0) return false;

  std::vector<std::string> result;
  if (capacityHint > 20) {
    // Every line but the last takes at least its CR LF, which bounds a wild hint.
    const std::uint64_t most = static_cast<std::uint64_t>(byteCount) / 2 + 1;
    result.reserve(static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(capacityHint) + 20, most)));
  }

  std::vector<char> block(static_cast<std::size_t>(
      std::min<std::int64_t>(byteCount, static_cast<std::int64_t>(BlockSize))));
  std::string current;
  bool pendingCr = false;
  std::int64_t remaining = byteCount;
  while (remaining > 0) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::int64_t>(remaining, static_cast<std::int64_t>(BlockSize)));
    std::size_t got = 0;
    if (ReadFully(fd, block.data(), want, got) != 0 || got != want) return false;
    DecryptBuffer(block.data(), static_cast<std::ptrdiff_t>(want));
    for (std::size_t i = 0; i < want; ++i) {
      const char ch = block[i];
      if (pendingCr) {
        pendingCr = false;
        if (ch == '\n') {
          result.push_back(std::move(current));
          current.clear();
          continue;
        }
        current += '\r';
      }
      if (ch == '\r') pendingCr = true;
      else current += ch;
    }
    remaining -= static_cast<std::int64_t>(want);
  }
  if (pendingCr) current += '\r';
  if (!current.empty()) result.push_back(std::move(current));

  lines.SetLines(std::move(result));
  return true;
}
