// The signature-record reader behind the digest check: arbitrary bytes as zlib data
// (decompression with its size cap, then the block walk), and arbitrary bytes as an
// uncompressed record (compressed here, so the walk sees every layout the fuzzer invents).
// Whatever reads must survive a rebuild: building the parts again and reading that gives
// the same parts.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "data/SigDBUnit.h"

namespace {

void CheckRebuild(const std::string& text1, const std::string& text2,
                  const TSignaturePoints& points) {
  std::string record, compressed;
  if (!BuildSignatureRecord(text1, text2, points, record)) std::abort();
  if (!CompressSignatureRecord(record, compressed)) std::abort();
  std::string t1, t2;
  TSignaturePoints p;
  if (!UnpackSignatureRecord(compressed.data(), compressed.size(), t1, t2, p)) std::abort();
  if (t1 != text1 || t2 != text2 || p != points) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool asRecord = (data[0] & 1) != 0;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  const size_t length = size - 1;

  std::string text1 = "x", text2 = "x";
  TSignaturePoints points{{1, 1, 1, 1}};
  bool ok;
  if (asRecord) {
    if (length > kMaxSignatureRecordSize) return 0;
    std::string compressed;
    if (!CompressSignatureRecord(std::string(bytes, length), compressed)) std::abort();
    ok = UnpackSignatureRecord(compressed.data(), compressed.size(), text1, text2, points);
    // Compression is lossless: the walk decides alone.
    std::string p1, p2;
    TSignaturePoints pp;
    if (ok != ParseSignatureRecord(bytes, length, p1, p2, pp)) std::abort();
  } else {
    ok = UnpackSignatureRecord(bytes, length, text1, text2, points);
  }
  if (!ok) {
    if (!text1.empty() || !text2.empty() || !points.empty()) std::abort();
    return 0;
  }
  if (text1.size() + text2.size() + points.size() * kMiniFramesSize > kMaxSignatureRecordSize) {
    std::abort();
  }
  CheckRebuild(text1, text2, points);
  return 0;
}
