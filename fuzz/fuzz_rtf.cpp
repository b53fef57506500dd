// Arbitrary bytes through the RTF reader: receipt templates come from users' word
// processors and from anywhere else. The reader may neither crash nor loop, no picture may
// hold more bytes than the input, and the text it reports is well-formed UTF-16 without
// control characters other than the tab.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "basic/RtfParser.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

class TCheckingSink : public IRtfSink {
 public:
  explicit TCheckingSink(std::size_t inputSize) : size_(inputSize) {}

  void Text(std::u16string_view text, const TRtfCharFormat& chars,
            const TRtfParaFormat&) override {
    Check(!text.empty());
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char16_t u = text[i];
      Check(u >= 0x20 || u == u'\t');
      if (u >= 0xD800 && u <= 0xDBFF) {
        Check(i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF);
        ++i;
      } else {
        Check(u < 0xDC00 || u > 0xDFFF);
      }
    }
    total_ += text.size();
    Check(total_ <= size_);
    Check(chars.halfPoints >= 1 && chars.halfPoints <= 3276);
  }
  void ParagraphEnd(const TRtfParaFormat& para, const TRtfCharFormat&) override {
    Check(++events_ <= size_);
    Check(para.tabStops.size() <= 256);
  }
  void Picture(const TRtfPicture& p, const TRtfCharFormat&, const TRtfParaFormat&) override {
    Check(!p.data.empty() && p.data.size() <= size_);
  }
  void RowEnd(const TRtfRowDef& row) override {
    Check(++events_ <= size_);
    Check(row.cellRightTwips.size() <= 64);
  }
  void DocumentEnd(const TRtfParaFormat&, const TRtfCharFormat&) override { ++ends_; }

  int ends_ = 0;

 private:
  std::size_t size_;
  std::size_t total_ = 0;
  std::size_t events_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  TCheckingSink sink(size);
  Check(ParseRtf(input, sink));
  Check(sink.ends_ == 1);
  return 0;
}
