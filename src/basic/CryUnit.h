#pragma once
// The program's own table cipher. It keeps signature records out of casual view (a hex
// viewer shows noise, not the pad texts); it is a scrambling, not a protection: whoever
// holds the program can unscramble. Damage is detected by the digest stored beside each
// record, not here.
//
// A 256 x 256 substitution table whose every row and column is a permutation of 0..255
// (a Latin square) is built from a key. A buffer is scrambled in place by chaining each byte
// with its neighbours in both directions. Stored signature records depend on the exact
// tables: building them from a key must never change between versions.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "basic/SLUnit.h"

class TCrypt {
 public:
  // Shortest key the tables are built from; shorter keys are repeated up to this length
  // (an empty key counts as 16 zero bytes).
  static constexpr int MinKeyLength = 16;

  TCrypt() = default;
  virtual ~TCrypt() = default;

  // Takes the key and builds the tables, from the key or (random) from fresh random bytes.
  // The same key always gives the same tables. With verify the tables are checked to be a
  // Latin square before they are accepted. False for a negative length or a missing key
  // with a positive length (the object is then not ready).
  bool Init(bool random, bool verify, int keyLength, const void* key);
  bool Init(bool random, bool verify, const std::string& key) {
    return Init(random, verify, static_cast<int>(key.size()), key.data());
  }

  // In place; lengths below 1 do nothing. False (buffer untouched) when not ready.
  bool EncryptBuffer(void* buffer, std::ptrdiff_t length) const;
  // Exact inverse of EncryptBuffer with the same tables.
  bool DecryptBuffer(void* buffer, std::ptrdiff_t length) const;

  bool Ready() const { return ready_; }
  // The key in use (after stretching) and the sum of its bytes modulo 256.
  const std::vector<std::uint8_t>& Key() const { return key_; }
  std::uint8_t KeySum() const { return keySum_; }
  // E[row][column] and D[value][column] (D[E[r][c]][c] = r); 0 when not ready.
  std::uint8_t EncTable(int row, int column) const;
  std::uint8_t DecTable(int value, int column) const;
  // True when every row and every column of E is a permutation of 0..255 and D inverts E
  // column by column.
  bool TablesAreLatinSquare() const;
  // How often the last keyed build had to leave the key's own search and take the next
  // free value or column instead (only keys of degenerate shape ever get there).
  int FallbackCount() const { return fallbacks_; }
  // How many times tables were built by this object.
  int TableBuilds() const { return builds_; }

 private:
  void BuildFromKey(std::uint8_t col0[256], std::uint8_t shiftOfColumn[256]);
  void BuildAtRandom(std::uint8_t col0[256], std::uint8_t shiftOfColumn[256]);

  std::vector<std::uint8_t> key_;
  std::uint8_t keySum_ = 0;
  std::vector<std::uint8_t> enc_;  // 256 * 256, index row * 256 + column
  std::vector<std::uint8_t> dec_;  // 256 * 256, index value * 256 + column
  bool ready_ = false;
  int fallbacks_ = 0;
  int builds_ = 0;
};

// ReadHeader results.
constexpr int crhValid = 0;
constexpr int crhReadError = 2;
constexpr int crhNotThisFormat = 3;

// A TCrypt whose key is derived at run time from two 32-bit numbers; the key itself is
// never stored anywhere. Signature records use the numbers 0 and 0 (the built-in default).
class TCustomerCry : public TCrypt {
 public:
  // Size of the blocks a scrambled text file body is made of (the last one shorter).
  static constexpr std::size_t BlockSize = 131072;
  // Stands in for a first number of 0.
  static constexpr std::uint32_t DefaultNumber = 0x6B3D91A7u;

  TCustomerCry() = default;

  // Derives the key and builds the tables; does nothing when already keyed with the same
  // two numbers. Returns Keyed().
  bool SetKey(std::uint32_t number1, std::uint32_t number2);
  bool SetKeyNumbers(std::uint32_t number1, std::uint32_t number2) {
    return SetKey(number1, number2);
  }
  bool Keyed() const { return keyed_; }
  std::uint32_t Number1() const { return number1_; }
  std::uint32_t Number2() const { return number2_; }

  // The key that SetKey builds from the two numbers: 89 + (lowest byte of number 1) +
  // (third byte of number 2) bytes, after the substitutions for 0 numbers.
  static std::vector<std::uint8_t> DeriveKey(std::uint32_t number1, std::uint32_t number2);

  // Reads the first line of a freshly opened file (descriptor at the file's start): at most
  // 14 bytes are read. Always fills fileSize, firstByte (0 for an empty file) and
  // headerLength (bytes before the first CR LF among those read, -1 when there is none).
  // crhValid when the line is the 12-character header: the bytes 02 00, 8 rotated hex
  // digits of `number`, 2 checksum digits over the first 10; the file position is then the
  // start of the body. crhReadError when reading fails, crhNotThisFormat otherwise (also
  // for files of fewer than 3 bytes).
  static int ReadHeader(int fd, std::int64_t& fileSize, std::uint8_t& firstByte,
                        std::uint32_t& number, int& headerLength);
  // The header line (without CR LF) that ReadHeader accepts for `number`.
  static std::string MakeHeader(std::uint32_t number);

  // Reads the next byteCount bytes (the body after the header), unscrambles them in blocks
  // of BlockSize and splits the text at CR LF into `lines`; a last piece without CR LF is
  // a last line. capacityHint: expected line count, as for LoadTextFile. False, with
  // `lines` unchanged, when not keyed, for a negative count, or when the bytes cannot all
  // be read.
  bool LoadStrings(int fd, std::int64_t byteCount, std::size_t capacityHint,
                   TQStringList& lines) const;

 private:
  bool keyed_ = false;
  std::uint32_t number1_ = 0;
  std::uint32_t number2_ = 0;
};
