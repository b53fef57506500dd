// Typed and imported date and time texts: never crash, and whatever is accepted is a
// date the rest of the program can show and read back.
// fuzz-seconds: 10
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "basic/DateClock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TFixedClock clock(EncodeDateTime(2031, 6, 15, 12));
  static TClockScope scope(clock);
  if (size == 0) return 0;
  static const char* const formats[] = {"dd.MM.yyyy", "M/d/yyyy", "yyyy-MM-dd", "yyyy/MM/dd"};
  SetDateFormat(formats[data[0] % 4]);
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  const TPackedDate d = StrToPackedDate(text);
  if (d != 0) {
    const int y = PackedYear(d), m = PackedMonth(d), day = PackedDay(d);
    if (y < 1000 || y > 2100 || m < 1 || m > 12 || day < 0 || day > 31) std::abort();
    if (StrToPackedDate(PackedDateToStr(d)) != d) std::abort();
    if (StrToPackedDate(PackedDateToIsoStr(d)) != d) std::abort();
    if (PackedDaysBetween(d, NextDay(d)) > 1) std::abort();
  }
  int h = 0, mi = 0;
  if (StrToHourMin(text, h, mi) && (h < 0 || h > 23 || mi < 0 || mi > 59)) std::abort();
  IsoDateToLocalStr(text);
  if (size >= 9) {
    TPackedDate a, b;
    __builtin_memcpy(&a, data + 1, 4);
    __builtin_memcpy(&b, data + 5, 4);
    if (PackedDaysBetween(a, b) < 0) std::abort();
    NextDay(a);
    PrevDay(b);
  }
  return 0;
}
