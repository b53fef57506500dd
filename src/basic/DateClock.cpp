#include "basic/DateClock.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"

namespace {

// Date-time of 1970-01-01, the C library's epoch.
constexpr double kUnixEpochDays = 25569.0;
constexpr std::int64_t kMsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date; months and days outside their
// ranges carry over. (H. Hinnant's days_from_civil.)
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

int DaysInYearMonth(int year, int month) {
  switch (month) {
    case 2: return IsLeapYear(year) ? 29 : 28;
    case 4: case 6: case 9: case 11: return 30;
    default: return 31;
  }
}

// Day number of a stored value for distances: day 0 / month 0 count as 1, a month above
// 12 as December and a day past the month's end as its last day. Monotone in the packed
// value, so distances agree with the calendar order of the values.
std::int64_t DayNumber(TPackedDate date) {
  const int y = PackedYear(date);
  const int m = std::clamp(PackedMonth(date), 1, 12);
  const int d = std::clamp(PackedDay(date), 1, DaysInYearMonth(y, m));
  return DaysFromCivil(y, m, d);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of a text of decimal digits only (at most 9), else `fallback`.
int DigitsValue(const std::string& s, int fallback) {
  if (s.empty() || s.size() > 9) return fallback;
  int v = 0;
  for (char c : s) {
    if (!IsDigit(c)) return fallback;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

std::string FourDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d", v);
  return buf;
}

// --- clock ---------------------------------------------------------------------------

TSystemClock& SystemClock() {
  static TSystemClock clock;
  return clock;
}

std::atomic<IClock*> g_clock{nullptr};

// --- date format ---------------------------------------------------------------------

enum class TFormatter { DayMonthYear, MonthDayYear, YearMonthDay, Iso };

struct TDateFormatState {
  bool chosen = false;
  std::string text;
  char order = 'D';
  char separator = '.';
  TFormatter formatter = TFormatter::DayMonthYear;
};

TDateFormatState g_format;

void ApplyDateFormat(const std::string& format) {
  TDateFormatState s;
  s.chosen = true;
  s.text = format;
  if (format.find('-') != std::string::npos) s.separator = '-';
  if (format.find('/') != std::string::npos) s.separator = '/';
  s.order = static_cast<char>(UpCase1252(static_cast<unsigned char>(format[0])));
  if (s.order == 'M') {
    s.formatter = TFormatter::MonthDayYear;
  } else if (s.order == 'Y') {
    // Year first with "-" is exactly ISO; with another separator the fields keep the
    // year-first order the user chose.
    s.formatter = s.separator == '-' ? TFormatter::Iso : TFormatter::YearMonthDay;
  }
  g_format = s;
}

const TDateFormatState& Format() {
  if (!g_format.chosen) ApplyDateFormat(SystemShortDateFormat());
  return g_format;
}

struct TLocaleFormat {
  const char* key;  // territory (upper case) or language (lower case)
  const char* format;
};

// Short date formats of the territories our users work in; languages stand for their
// main territory when a locale names no territory.
constexpr TLocaleFormat kTerritoryFormats[] = {
    {"DE", "dd.MM.yyyy"}, {"AT", "dd.MM.yyyy"}, {"CH", "dd.MM.yyyy"},
    {"LI", "dd.MM.yyyy"}, {"LU", "dd.MM.yyyy"}, {"PL", "dd.MM.yyyy"},
    {"CZ", "dd.MM.yyyy"}, {"SK", "dd.MM.yyyy"}, {"NO", "dd.MM.yyyy"},
    {"RU", "dd.MM.yyyy"}, {"TR", "dd.MM.yyyy"}, {"FI", "d.M.yyyy"},
    {"US", "M/d/yyyy"},   {"GB", "dd/MM/yyyy"}, {"IE", "dd/MM/yyyy"},
    {"FR", "dd/MM/yyyy"}, {"BE", "dd/MM/yyyy"}, {"IT", "dd/MM/yyyy"},
    {"ES", "dd/MM/yyyy"}, {"PT", "dd/MM/yyyy"}, {"BR", "dd/MM/yyyy"},
    {"GR", "dd/MM/yyyy"}, {"AU", "dd/MM/yyyy"}, {"NZ", "dd/MM/yyyy"},
    {"NL", "d-M-yyyy"},   {"DK", "dd-MM-yyyy"}, {"SE", "yyyy-MM-dd"},
    {"LT", "yyyy-MM-dd"}, {"CA", "yyyy-MM-dd"}, {"KR", "yyyy-MM-dd"},
    {"HU", "yyyy. MM. dd."}, {"JP", "yyyy/MM/dd"}, {"CN", "yyyy/M/d"},
};

constexpr TLocaleFormat kLanguageTerritories[] = {
    {"de", "DE"}, {"en", "US"}, {"fr", "FR"}, {"it", "IT"}, {"es", "ES"}, {"pt", "PT"},
    {"nl", "NL"}, {"da", "DK"}, {"sv", "SE"}, {"nb", "NO"}, {"nn", "NO"}, {"no", "NO"},
    {"fi", "FI"}, {"pl", "PL"}, {"cs", "CZ"}, {"sk", "SK"}, {"hu", "HU"}, {"ru", "RU"},
    {"tr", "TR"}, {"el", "GR"}, {"lt", "LT"}, {"ja", "JP"}, {"zh", "CN"}, {"ko", "KR"},
};

constexpr const char* kDefaultShortDateFormat = "dd.MM.yyyy";

}  // namespace

// --- clock ---------------------------------------------------------------------------

double TSystemClock::NowUTC() const {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  const long ms = ts.tv_nsec / 1000000;
  return kUnixEpochDays + static_cast<double>(ts.tv_sec) / 86400.0 +
         static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}

IClock& Clock() {
  IClock* c = g_clock.load();
  return c ? *c : SystemClock();
}

void SetClock(IClock* clock) { g_clock.store(clock); }

TClockScope::TClockScope(IClock& clock) : previous_(g_clock.load()) { SetClock(&clock); }
TClockScope::~TClockScope() { SetClock(previous_); }

double NowUTC() { return Clock().NowUTC(); }

double UtcToLocal(double utc) {
  // Beyond a few hundred thousand years the C library has nothing sensible to say.
  if (!std::isfinite(utc) || std::fabs(utc) > 1e8) return utc;
  // Whole milliseconds first: 01:00:00 must not become 00:59:59.999 and miss the change.
  const std::int64_t ms =
      std::llround((utc - kUnixEpochDays) * static_cast<double>(kMsPerDay));
  std::int64_t seconds = ms / 1000;
  if (ms % 1000 < 0) --seconds;
  const time_t t = static_cast<time_t>(seconds);
  // localtime_r need not notice a changed TZ by itself.
  tzset();
  tm local{};
  if (!localtime_r(&t, &local)) return utc;
  return utc + static_cast<double>(local.tm_gmtoff) / 86400.0;
}

double NowLocal() { return UtcToLocal(NowUTC()); }

TPackedDate TodayPacked() { return DateTimeToPacked(NowLocal()); }

int SecondsOfDay() {
  const TDateTimeParts p = DecodeDateTime(NowLocal());
  return p.hour * 3600 + p.minute * 60 + p.second;
}

// --- date-time values ----------------------------------------------------------------

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int millisecond) {
  const double days = static_cast<double>(DaysFromCivil(year, month, day)) + kUnixEpochDays;
  const double ms = ((static_cast<double>(hour) * 60 + minute) * 60 + second) * 1000 +
                    millisecond;
  return days + ms / static_cast<double>(kMsPerDay);
}

TDateTimeParts DecodeDateTime(double dateTime) {
  TDateTimeParts p;
  if (!std::isfinite(dateTime) || std::fabs(dateTime) > 1e8) return p;
  const std::int64_t total = std::llround(dateTime * static_cast<double>(kMsPerDay));
  std::int64_t days = total / kMsPerDay;
  std::int64_t ms = total % kMsPerDay;
  if (ms < 0) {
    ms += kMsPerDay;
    --days;
  }
  CivilFromDays(days - static_cast<std::int64_t>(kUnixEpochDays), p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

TPackedDate DateTimeToPacked(double dateTime) {
  const TDateTimeParts p = DecodeDateTime(dateTime);
  return PackDate(p.year, p.month, p.day);
}

double PackedToDateTime(TPackedDate date) {
  if (date == 0) return 0;
  return static_cast<double>(DayNumber(date)) + kUnixEpochDays;
}

// --- packing and calendar ------------------------------------------------------------

TPackedDate PackDate(int year, int month, int day) {
  const std::uint32_t v = (static_cast<std::uint32_t>(year) << 16) |
                          ((static_cast<std::uint32_t>(month) & 0xFF) << 8) |
                          (static_cast<std::uint32_t>(day) & 0xFF);
  return static_cast<TPackedDate>(v);
}

int PackedYear(TPackedDate date) { return date >> 16; }
int PackedMonth(TPackedDate date) { return (date >> 8) & 0xFF; }
int PackedDay(TPackedDate date) { return date & 0xFF; }

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(TPackedDate date) {
  return DaysInYearMonth(PackedYear(date), PackedMonth(date));
}

void FixCentury(TPackedDate& date) {
  const int y = PackedYear(date);
  if (y >= 1900 && y <= 1910) date = PackDate(y + 100, PackedMonth(date), PackedDay(date));
}

TPackedDate NextDay(TPackedDate date) {
  const int y = PackedYear(date), m = PackedMonth(date), d = PackedDay(date);
  if (d == 0 || m == 0) return date;
  if (d + 1 <= DaysInMonth(date)) return PackDate(y, m, d + 1);
  if (m >= 12) return PackDate(y + 1, 1, 1);
  return PackDate(y, m + 1, 1);
}

TPackedDate PrevDay(TPackedDate date) {
  const int y = PackedYear(date), m = PackedMonth(date), d = PackedDay(date);
  if (d == 0 || m == 0) return date;
  if (d > 1) return PackDate(y, m, d - 1);
  if (m == 1) return PackDate(y - 1, 12, 31);
  return PackDate(y, m - 1, DaysInYearMonth(y, m - 1));
}

int PackedDaysBetween(TPackedDate a, TPackedDate b) {
  if (a == 0 || b == 0) return 0;
  const std::int64_t diff = DayNumber(a) - DayNumber(b);
  return static_cast<int>(diff < 0 ? -diff : diff);
}

// --- date format ---------------------------------------------------------------------

void SetDateFormat(const std::string& format) {
  if (format.empty()) {
    if (g_format.chosen) return;
    ApplyDateFormat("dd/mm/yyyy");
    return;
  }
  ApplyDateFormat(format);
}

std::string DateFormatText() { return Format().text; }
char DateOrder() { return Format().order; }
char DateSeparator() { return Format().separator; }

std::string ShortDateFormatForLocale(const std::string& localeName) {
  // language[_territory][.codeset][@modifier]
  std::string name = localeName.substr(0, localeName.find_first_of(".@"));
  const std::size_t us = name.find('_');
  std::string language = AnsiLowerCase(name.substr(0, us));
  std::string territory = us == std::string::npos ? "" : AnsiUpperCase(name.substr(us + 1));
  if (territory.empty()) {
    for (const auto& lt : kLanguageTerritories) {
      if (language == lt.key) territory = lt.format;
    }
  }
  for (const auto& tf : kTerritoryFormats) {
    if (territory == tf.key) return tf.format;
  }
  return kDefaultShortDateFormat;
}

std::string SystemShortDateFormat() {
  // The C library's order of precedence for the time category.
  for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return ShortDateFormatForLocale(v);
  }
  return kDefaultShortDateFormat;
}

TPackedDate StrToPackedDate(const std::string& text) {
  std::string s = Trim(text);
  if (s == "#") return TodayPacked();
  if (s.size() > 15) s.resize(15);
  std::size_t n = 0;
  for (; n < s.size(); ++n) {
    const char c = s[n];
    if (c == ',' || c == '-' || c == '/') {
      s[n] = '.';
    } else if (c != '.' && !IsDigit(c)) {
      break;
    }
  }
  s.resize(n);
  // 1-based character, '\0' outside the text.
  auto at = [&s](std::size_t pos) { return pos >= 1 && pos <= s.size() ? s[pos - 1] : '\0'; };

  if (at(2) == '.') s.insert(0, "0");
  if (at(3) == '.') {
    if (at(5) == '.') s.insert(3, "0");
    if (at(6) == '.') {
      if (s.size() == 6) {
        s += FourDigits(PackedYear(TodayPacked()));
      } else if (s.size() == 8) {
        const int yy = DigitsValue(s.substr(6, 2), -1);
        s.insert(6, yy >= 0 && yy < 81 ? "20" : "19");
      }
    }
  }
  if (s.size() != 10) return 0;

  int day, month, year;
  if (at(3) == '.') {
    if (at(6) != '.') return 0;
    // An unreadable day must not pass as day 0, hence the different fallbacks.
    const bool monthFirst = Format().order == 'M';
    day = DigitsValue(s.substr(monthFirst ? 3 : 0, 2), -1);
    month = DigitsValue(s.substr(monthFirst ? 0 : 3, 2), 0);
    year = DigitsValue(s.substr(6, 4), 0);
  } else {
    if (s.find('.') != 4 || at(8) != '.') return 0;
    year = DigitsValue(s.substr(0, 4), 0);
    month = DigitsValue(s.substr(5, 2), 0);
    day = DigitsValue(s.substr(8, 2), -1);
  }
  if (day < 0 || day > 31 || month < 1 || month > 12 || year < 1000 || year > 2100) return 0;
  return PackDate(year, month, day);
}

std::string PackedDateToIsoStr(TPackedDate date) {
  if (date <= 0) return "";
  return FourDigits(PackedYear(date)) + "-" + TwoDigits((date >> 8) & 0x0F) + "-" +
         TwoDigits(date & 0x1F);
}

std::string PackedDateToStr(TPackedDate date) {
  if (date <= 0) return "";
  const TDateFormatState& f = Format();
  const std::string sep(1, f.separator);
  const std::string y = FourDigits(PackedYear(date));
  const std::string m = TwoDigits((date >> 8) & 0x0F);
  const std::string d = TwoDigits(date & 0x1F);
  switch (f.formatter) {
    case TFormatter::MonthDayYear: return m + sep + d + sep + y;
    case TFormatter::YearMonthDay: return y + sep + m + sep + d;
    case TFormatter::Iso: return PackedDateToIsoStr(date);
    case TFormatter::DayMonthYear: break;
  }
  return d + sep + m + sep + y;
}

std::string IsoDateToLocalStr(const std::string& text) {
  if (text.size() < 10) return "";
  const TDateFormatState& f = Format();
  const std::string sep(1, f.separator);
  const std::string y = text.substr(0, 4), m = text.substr(5, 2), d = text.substr(8, 2);
  if (f.order == 'M') return m + sep + d + sep + y;
  if (f.order == 'Y') return y + sep + m + sep + d;
  return d + sep + m + sep + y;
}

void AddDateFormatChoices(std::vector<std::string>& choices) {
  const std::string sep(1, Format().separator);
  choices.push_back("DD" + sep + "MM" + sep + "YYYY");
  choices.push_back("MM" + sep + "DD" + sep + "YYYY");
  choices.push_back("YYYY-MM-DD");
}

bool StrToHourMin(const std::string& text, int& hours, int& minutes) {
  hours = 0;
  minutes = 0;
  const std::size_t cut = text.find_first_of(",.:");
  if (cut == std::string::npos) return false;
  const std::string h = Trim(text.substr(0, cut));
  const std::string m = Trim(text.substr(cut + 1));
  if (h.empty() || h.size() > 2 || m.size() != 2) return false;
  // Digits only: a text such as "ab:cd" is no time of day, not midnight.
  const int hv = DigitsValue(h, -1), mv = DigitsValue(m, -1);
  if (hv < 0 || hv > 23 || mv < 0 || mv > 59) return false;
  hours = hv;
  minutes = mv;
  return true;
}
