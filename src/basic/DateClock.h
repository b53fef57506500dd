#pragma once
// The program's one date type and everything that turns dates into text and back, plus
// the clock. Users type dates in their own order and separator; files hold "YYYY-MM-DD".
// Linux has no process-wide "date separator" setting, so every date the program shows
// goes through PackedDateToStr and friends, which follow SetDateFormat.
//
// Date-times are doubles: days since 1899-12-30, the time of day as the fraction.

#include <cstdint>
#include <string>
#include <vector>

// year shl 16 or month shl 8 or day; 0 means "no date". Day 0 and month 0 occur in
// stored values and are tolerated by the arithmetic. Values compare in calendar order.
using TPackedDate = std::int32_t;

// ---------------------------------------------------------------------------------------
// Clock. Everything that asks for "now" goes through the installed clock, so tests can
// pin the time; the local time follows the TZ environment variable like the C library.

class IClock {
 public:
  virtual ~IClock() = default;
  // The current UTC instant as a date-time.
  virtual double NowUTC() const = 0;
};

// Reads the system's real-time clock, with milliseconds.
class TSystemClock : public IClock {
 public:
  double NowUTC() const override;
};

// A clock that stands still until it is set or advanced; for tests and replays.
class TFixedClock : public IClock {
 public:
  explicit TFixedClock(double utc = 0) : now_(utc) {}
  double NowUTC() const override { return now_; }
  void Set(double utc) { now_ = utc; }
  void Advance(double days) { now_ += days; }

 private:
  double now_;
};

// The clock in force; never null (the system clock unless another is installed).
IClock& Clock();
// Installs `clock` (not owned); nullptr restores the system clock.
void SetClock(IClock* clock);

// Installs a clock for the lifetime of a scope and restores the previous one.
class TClockScope {
 public:
  explicit TClockScope(IClock& clock);
  ~TClockScope();
  TClockScope(const TClockScope&) = delete;
  TClockScope& operator=(const TClockScope&) = delete;

 private:
  IClock* previous_;
};

// Current UTC date and time.
double NowUTC();
// The local date-time of a UTC instant, by the time-zone rules that held at that instant
// (a summer instant gets the summer offset even when converted in winter). An instant the
// C library cannot convert is returned unchanged.
double UtcToLocal(double utc);
// Current local date-time.
double NowLocal();
// Today's local date.
TPackedDate TodayPacked();
// Seconds since local midnight (0..86399).
int SecondsOfDay();

// ---------------------------------------------------------------------------------------
// Date-time values <-> calendar fields. Proleptic Gregorian calendar; day 0 is 1899-12-30,
// days before it are plain negative numbers. Rounded to the millisecond on decoding.

struct TDateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

double EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0,
                      int second = 0, int millisecond = 0);
TDateTimeParts DecodeDateTime(double dateTime);

// The local date of a date-time value.
TPackedDate DateTimeToPacked(double dateTime);
// Midnight of the packed date; day 0 / month 0 count as 1, a day past the month's end
// as its last day. 0 for the value 0.
double PackedToDateTime(TPackedDate date);

// ---------------------------------------------------------------------------------------
// Packing and calendar arithmetic.

TPackedDate PackDate(int year, int month, int day);
int PackedYear(TPackedDate date);
int PackedMonth(TPackedDate date);
int PackedDay(TPackedDate date);

bool IsLeapYear(int year);
// Days of the date's month; month 0 and months above 12 count 31.
int DaysInMonth(TPackedDate date);
// Years 1900 to 1910 become 2000 to 2010 (two-digit years read the old way).
void FixCentury(TPackedDate& date);
// The following / preceding calendar day; values with day 0 or month 0 stay unchanged.
TPackedDate NextDay(TPackedDate date);
TPackedDate PrevDay(TPackedDate date);
// Days between two dates, never negative; 0 when either is 0. Day 0 and month 0 count
// as 1, a day past the month's end (a tolerated "31.02.") as the month's last day.
int PackedDaysBetween(TPackedDate a, TPackedDate b);

// ---------------------------------------------------------------------------------------
// The user's date format: order ('D' day first, 'M' month first, 'Y' year first) and
// separator ('.', '-' or '/'), process-wide. Set it from the main thread.

// Sets order, separator and formatter from a short date format such as "dd.MM.yyyy".
// An empty format changes nothing once a format has been chosen, else it means
// "dd/mm/yyyy". Before the first call the system's short date format is in force.
void SetDateFormat(const std::string& format);
// The format text last set (so a caller can set another for a while and restore it).
std::string DateFormatText();
char DateOrder();
char DateSeparator();

// The short date format of the user's locale: LC_ALL, LC_TIME or LANG (the first one set)
// mapped by its territory; "dd.MM.yyyy" for unknown or unset locales.
std::string SystemShortDateFormat();
// The short date format for a locale name such as "en_US.UTF-8" or "de_CH@euro".
std::string ShortDateFormatForLocale(const std::string& localeName);

// Reads a date as users type it: "1.2.08", "12.3." (this year), "2008-01-05", "#" (today)...
// Day and month follow the date order; trailing text that starts with anything but a
// digit or separator (a time, say) is ignored. 0 when the text is no valid date.
TPackedDate StrToPackedDate(const std::string& text);
// The date in the user's order and separator; empty for values of 0 or below.
std::string PackedDateToStr(TPackedDate date);
// "YYYY-MM-DD"; empty for values of 0 or below.
std::string PackedDateToIsoStr(TPackedDate date);
// Rearranges a text that starts "YYYY?MM?DD" into the user's order and separator;
// empty for texts shorter than 10 characters.
std::string IsoDateToLocalStr(const std::string& text);
// Adds the three format names that import dialogs offer, in their order.
void AddDateFormatChoices(std::vector<std::string>& choices);

// Reads a time of day "h:mm" / "hh:mm" (also with "." or "," between). False, with both
// results 0, unless the hour is 0..23 and the minutes two digits 00..59.
bool StrToHourMin(const std::string& text, int& hours, int& minutes);
