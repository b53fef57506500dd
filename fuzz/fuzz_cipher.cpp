// Arbitrary key and buffer for the table cipher: building the tables must end for every
// key, the tables must be a Latin square, and unscrambling must restore the buffer.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "basic/CryUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // First byte pair: key length (0..1023, capped by the input); then the key, then the buffer.
  if (size < 2) return 0;
  size_t keyLength = (static_cast<size_t>(data[0]) << 8 | data[1]) & 1023;
  data += 2;
  size -= 2;
  if (keyLength > size) keyLength = size;
  const uint8_t* key = data;
  const std::vector<uint8_t> plain(data + keyLength, data + size);

  TCrypt cry;
  if (!cry.Init(false, false, static_cast<int>(keyLength), key)) std::abort();
  if (!cry.TablesAreLatinSquare()) std::abort();

  std::vector<uint8_t> buffer = plain;
  if (!cry.EncryptBuffer(buffer.data(), static_cast<std::ptrdiff_t>(buffer.size()))) std::abort();
  if (!cry.DecryptBuffer(buffer.data(), static_cast<std::ptrdiff_t>(buffer.size()))) std::abort();
  if (buffer != plain) std::abort();
  return 0;
}
