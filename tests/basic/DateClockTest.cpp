#include "basic/DateClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

// Sets (or with nullptr removes) an environment variable for a scope.
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
    tzset();
  }
  ~TScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
    tzset();
  }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

bool HaveBerlinZone() { return std::filesystem::exists("/usr/share/zoneinfo/Europe/Berlin"); }

// Restores the process-wide date format after each test.
class DateClock : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = DateFormatText(); }
  void TearDown() override { SetDateFormat(saved_); }

 private:
  std::string saved_;
};

constexpr TPackedDate D(int y, int m, int d) { return (y << 16) | (m << 8) | d; }

constexpr double kMinute = 1.0 / 1440.0;

}  // namespace

TEST_F(DateClock, StrToPackedDateUnderEachOrder) {
  TScopedEnv tz("TZ", "UTC");
  TFixedClock clock(EncodeDateTime(2031, 6, 15, 12, 0));
  TClockScope scope(clock);

  struct Case {
    const char* text;
    TPackedDate dayFirst, monthFirst, yearFirst;
  };
  const Case cases[] = {
      {"1.2.08", D(2008, 2, 1), D(2008, 1, 2), D(2008, 2, 1)},
      {"1-2-81", D(1981, 2, 1), D(1981, 1, 2), D(1981, 2, 1)},
      {"1/2/80", D(2080, 2, 1), D(2080, 1, 2), D(2080, 2, 1)},
      {"12.3.", D(2031, 3, 12), D(2031, 12, 3), D(2031, 3, 12)},
      {"1,2,", D(2031, 2, 1), D(2031, 1, 2), D(2031, 2, 1)},
      {"2008-01-05", D(2008, 1, 5), D(2008, 1, 5), D(2008, 1, 5)},
      {"2008-1-5", 0, 0, 0},
      {"31.02.2008", D(2008, 2, 31), 0, D(2008, 2, 31)},
      {"00.05.2008", D(2008, 5, 0), 0, D(2008, 5, 0)},
      {"05.00.2008", 0, D(2008, 5, 0), 0},
      {"01.01.2101", 0, 0, 0},
      {"31.12.2100", D(2100, 12, 31), 0, D(2100, 12, 31)},
      {"01.01.1000", D(1000, 1, 1), D(1000, 1, 1), D(1000, 1, 1)},
      {"31.12.0999", 0, 0, 0},
      {"#", D(2031, 6, 15), D(2031, 6, 15), D(2031, 6, 15)},
      {"01.01.2008 12:30", D(2008, 1, 1), D(2008, 1, 1), D(2008, 1, 1)},
      {"  5/6/2008x", D(2008, 6, 5), D(2008, 5, 6), D(2008, 6, 5)},
      {"", 0, 0, 0},
      {"12.3", 0, 0, 0},
      {"1.2.2008.", 0, 0, 0},
      {".1.05.2008", 0, 0, 0},  // an unreadable day is no day 0
      {"32.01.2008", 0, 0, 0},
      {"2008.13.01", 0, 0, 0},
      {"abc", 0, 0, 0},
  };
  const struct {
    const char* format;
    TPackedDate Case::*expected;
  } orders[] = {{"dd.MM.yyyy", &Case::dayFirst},
                {"M/d/yyyy", &Case::monthFirst},
                {"yyyy-MM-dd", &Case::yearFirst}};
  for (const auto& order : orders) {
    SetDateFormat(order.format);
    for (const auto& c : cases) {
      EXPECT_EQ(StrToPackedDate(c.text), c.*order.expected)
          << "text \"" << c.text << "\" under " << order.format;
    }
  }
}

TEST_F(DateClock, FormatsFollowSetDateFormatAndReadBack) {
  struct Case {
    const char* format;
    char order, separator;
    const char* shown;     // 5 January 2008
    const char* fromIso;   // IsoDateToLocalStr("2008-01-05\xA0" "12:00:00")
    const char* choice1;   // first of AddDateFormatChoices
  };
  const Case cases[] = {
      {"dd.MM.yyyy", 'D', '.', "05.01.2008", "05.01.2008", "DD.MM.YYYY"},
      {"M/d/yyyy", 'M', '/', "01/05/2008", "01/05/2008", "DD/MM/YYYY"},
      {"yyyy-MM-dd", 'Y', '-', "2008-01-05", "2008-01-05", "DD-MM-YYYY"},
      {"d-M-yyyy", 'D', '-', "05-01-2008", "05-01-2008", "DD-MM-YYYY"},
      // Year first with another separator stays year first.
      {"yyyy/MM/dd", 'Y', '/', "2008/01/05", "2008/01/05", "DD/MM/YYYY"},
      {"yyyy. MM. dd.", 'Y', '.', "2008.01.05", "2008.01.05", "DD.MM.YYYY"},
  };
  const TPackedDate samples[] = {D(2008, 1, 5),   D(2000, 2, 29),  D(1999, 12, 31),
                                 D(2100, 12, 31), D(1000, 1, 1),   D(2008, 12, 1),
                                 D(2008, 2, 31),  D(2008, 5, 0)};
  for (const auto& c : cases) {
    SetDateFormat(c.format);
    EXPECT_EQ(DateOrder(), c.order) << c.format;
    EXPECT_EQ(DateSeparator(), c.separator) << c.format;
    EXPECT_EQ(DateFormatText(), c.format);
    EXPECT_EQ(PackedDateToStr(D(2008, 1, 5)), c.shown) << c.format;
    EXPECT_EQ(IsoDateToLocalStr("2008-01-05\xA0" "12:00:00"), c.fromIso) << c.format;
    EXPECT_EQ(IsoDateToLocalStr("2008-01-0"), "") << c.format;
    EXPECT_EQ(PackedDateToStr(0), "");
    std::vector<std::string> choices{"keep"};
    AddDateFormatChoices(choices);
    const std::string sep(1, c.separator);
    EXPECT_EQ(choices, (std::vector<std::string>{"keep", c.choice1,
                                                 "MM" + sep + "DD" + sep + "YYYY",
                                                 "YYYY-MM-DD"}))
        << c.format;
    for (TPackedDate d : samples) {
      EXPECT_EQ(StrToPackedDate(PackedDateToStr(d)), d)
          << c.format << " " << PackedDateToStr(d);
      EXPECT_EQ(StrToPackedDate(PackedDateToIsoStr(d)), d) << PackedDateToIsoStr(d);
    }
  }
  // An empty format keeps the one in force.
  SetDateFormat("M/d/yyyy");
  SetDateFormat("");
  EXPECT_EQ(PackedDateToStr(D(2008, 1, 5)), "01/05/2008");
  EXPECT_EQ(PackedDateToIsoStr(D(2008, 1, 5)), "2008-01-05");
  EXPECT_EQ(PackedDateToIsoStr(0), "");
  EXPECT_EQ(PackedDateToIsoStr(-5), "");
}

TEST_F(DateClock, ShortDateFormatComesFromTheLocale) {
  struct Case {
    const char* locale;
    const char* format;
  };
  const Case cases[] = {
      {"de_DE.UTF-8", "dd.MM.yyyy"}, {"de_CH.UTF-8@euro", "dd.MM.yyyy"},
      {"en_US.UTF-8", "M/d/yyyy"},   {"en_GB.ISO-8859-1", "dd/MM/yyyy"},
      {"nl_NL", "d-M-yyyy"},         {"sv_SE.UTF-8", "yyyy-MM-dd"},
      {"fr", "dd/MM/yyyy"},          {"C", "dd.MM.yyyy"},
      {"POSIX", "dd.MM.yyyy"},       {"", "dd.MM.yyyy"},
      {"xx_YY.UTF-8", "dd.MM.yyyy"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShortDateFormatForLocale(c.locale), c.format) << c.locale;
  }

  {
    TScopedEnv all("LC_ALL", nullptr);
    TScopedEnv time("LC_TIME", "en_US.UTF-8");
    TScopedEnv lang("LANG", "de_DE.UTF-8");
    EXPECT_EQ(SystemShortDateFormat(), "M/d/yyyy");
    SetDateFormat(SystemShortDateFormat());
    EXPECT_EQ(DateOrder(), 'M');
    {
      TScopedEnv all2("LC_ALL", "sv_SE.UTF-8");
      EXPECT_EQ(SystemShortDateFormat(), "yyyy-MM-dd");
    }
    TScopedEnv time2("LC_TIME", nullptr);
    EXPECT_EQ(SystemShortDateFormat(), "dd.MM.yyyy");
    TScopedEnv lang2("LANG", nullptr);
    EXPECT_EQ(SystemShortDateFormat(), "dd.MM.yyyy");
  }
}

TEST(DateCalendar, NextAndPrevDayAcrossBoundaries) {
  struct Case {
    TPackedDate day, next;
  };
  const Case cases[] = {
      {D(2008, 1, 31), D(2008, 2, 1)},   {D(2008, 2, 28), D(2008, 2, 29)},
      {D(2008, 2, 29), D(2008, 3, 1)},   {D(2007, 2, 28), D(2007, 3, 1)},
      {D(2000, 2, 28), D(2000, 2, 29)},  // divisible by 400: leap
      {D(2100, 2, 28), D(2100, 3, 1)},   // divisible by 100 only: no 29 February
      {D(2008, 4, 30), D(2008, 5, 1)},   {D(2008, 6, 29), D(2008, 6, 30)},
      {D(2007, 12, 31), D(2008, 1, 1)},  {D(1999, 12, 31), D(2000, 1, 1)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NextDay(c.day), c.next) << PackedDateToIsoStr(c.day);
    EXPECT_EQ(PrevDay(c.next), c.day) << PackedDateToIsoStr(c.next);
  }
  // Stored values without day or month stay as they are.
  for (TPackedDate d : {D(2008, 5, 0), D(2008, 0, 5), D(2008, 0, 0)}) {
    EXPECT_EQ(NextDay(d), d);
    EXPECT_EQ(PrevDay(d), d);
  }
  // A tolerated 31 February moves on to 1 March.
  EXPECT_EQ(NextDay(D(2008, 2, 31)), D(2008, 3, 1));

  EXPECT_EQ(DaysInMonth(D(2008, 2, 1)), 29);
  EXPECT_EQ(DaysInMonth(D(2100, 2, 1)), 28);
  EXPECT_EQ(DaysInMonth(D(2000, 2, 1)), 29);
  EXPECT_EQ(DaysInMonth(D(2007, 2, 1)), 28);
  EXPECT_EQ(DaysInMonth(D(2008, 11, 1)), 30);
  EXPECT_EQ(DaysInMonth(D(2008, 0, 1)), 31);
  EXPECT_EQ(DaysInMonth(D(2008, 13, 1)), 31);

  for (auto [in, out] : {std::pair{D(1905, 3, 4), D(2005, 3, 4)},
                         std::pair{D(1900, 1, 1), D(2000, 1, 1)},
                         std::pair{D(1910, 12, 31), D(2010, 12, 31)},
                         std::pair{D(1911, 1, 1), D(1911, 1, 1)},
                         std::pair{D(1899, 12, 31), D(1899, 12, 31)}}) {
    TPackedDate d = in;
    FixCentury(d);
    EXPECT_EQ(d, out) << PackedDateToIsoStr(in);
  }
}

TEST(DateCalendar, PackedDaysBetween) {
  EXPECT_EQ(PackedDaysBetween(D(2007, 12, 31), D(2008, 3, 1)), 61);
  EXPECT_EQ(PackedDaysBetween(D(2008, 3, 1), D(2007, 12, 31)), 61);
  EXPECT_EQ(PackedDaysBetween(D(2008, 3, 1), D(2008, 3, 1)), 0);
  EXPECT_EQ(PackedDaysBetween(0, D(2008, 3, 1)), 0);
  EXPECT_EQ(PackedDaysBetween(D(2008, 3, 1), 0), 0);
  EXPECT_EQ(PackedDaysBetween(D(2100, 2, 28), D(2100, 3, 1)), 1);
  EXPECT_EQ(PackedDaysBetween(D(1000, 1, 1), D(2100, 12, 31)), 402131);
  // Day 0 and month 0 count as 1.
  EXPECT_EQ(PackedDaysBetween(D(2008, 5, 0), D(2008, 5, 1)), 0);
  EXPECT_EQ(PackedDaysBetween(D(2008, 0, 0), D(2008, 1, 10)), 9);

  // Tolerated dates past the month's end: stepping day by day never reached them.
  EXPECT_EQ(PackedDaysBetween(D(2008, 2, 28), D(2008, 2, 31)), 1);
  EXPECT_EQ(PackedDaysBetween(D(2008, 2, 31), D(2008, 2, 28)), 1);
  EXPECT_EQ(PackedDaysBetween(D(2008, 2, 31), D(2008, 3, 1)), 1);
  EXPECT_EQ(PackedDaysBetween(D(2008, 1, 1), D(2008, 4, 31)), 120);
  // Garbage from a damaged file still gives an answer.
  EXPECT_GE(PackedDaysBetween(0x7FFFFFFF, 1), 0);
  EXPECT_GE(PackedDaysBetween(D(2008, 200, 250), D(-5, 1, 1)), 0);

  // Agrees with counting calendar days over leap years and century ends.
  TPackedDate d = D(1999, 1, 1);
  for (int i = 0; i <= 800; ++i) {
    ASSERT_EQ(PackedDaysBetween(D(1999, 1, 1), d), i) << PackedDateToIsoStr(d);
    d = NextDay(d);
  }
}

TEST(DateCalendar, StrToHourMin) {
  struct Case {
    const char* text;
    bool ok;
    int hours, minutes;
  };
  const Case cases[] = {
      {"7:05", true, 7, 5},    {"07:05", true, 7, 5},   {"23.59", true, 23, 59},
      {"0,00", true, 0, 0},    {" 7 : 05 ", true, 7, 5}, {"7:5", false, 0, 0},
      {"24:00", false, 0, 0},  {"7:60", false, 0, 0},   {"123:00", false, 0, 0},
      {":05", false, 0, 0},    {"7", false, 0, 0},      {"", false, 0, 0},
      {"ab:cd", false, 0, 0},  {"7:05:30", false, 0, 0}, {"-1:00", false, 0, 0},
      {"7:-5", false, 0, 0},
  };
  for (const auto& c : cases) {
    int h = 99, m = 99;
    EXPECT_EQ(StrToHourMin(c.text, h, m), c.ok) << c.text;
    EXPECT_EQ(h, c.hours) << c.text;
    EXPECT_EQ(m, c.minutes) << c.text;
  }
}

TEST(DateTimeValues, EncodeAndDecode) {
  EXPECT_EQ(EncodeDateTime(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDateTime(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDateTime(1970, 1, 1), 25569.0);
  EXPECT_EQ(EncodeDateTime(2000, 1, 1), 36526.0);
  EXPECT_EQ(EncodeDateTime(2000, 1, 1, 18), 36526.75);

  const TDateTimeParts p = DecodeDateTime(EncodeDateTime(2026, 7, 15, 13, 45, 30, 250));
  EXPECT_EQ(p.year, 2026);
  EXPECT_EQ(p.month, 7);
  EXPECT_EQ(p.day, 15);
  EXPECT_EQ(p.hour, 13);
  EXPECT_EQ(p.minute, 45);
  EXPECT_EQ(p.second, 30);
  EXPECT_EQ(p.millisecond, 250);
  // A hair before midnight rounds to the next day, not to 24:00.
  const TDateTimeParts q = DecodeDateTime(36526.0 - 1e-10);
  EXPECT_EQ(q.day, 1);
  EXPECT_EQ(q.hour, 0);

  EXPECT_EQ(DateTimeToPacked(EncodeDateTime(2008, 2, 29, 23, 59)), D(2008, 2, 29));
  EXPECT_EQ(PackedToDateTime(D(2008, 2, 29)), EncodeDateTime(2008, 2, 29));
  EXPECT_EQ(PackedToDateTime(0), 0.0);
  EXPECT_EQ(DateTimeToPacked(NAN), D(1899, 12, 30));
}

TEST(Clock, UtcToLocalUsesTheRulesOfEachInstant) {
  if (!HaveBerlinZone()) GTEST_SKIP() << "time-zone data missing";
  TScopedEnv tz("TZ", "Europe/Berlin");
  const double january = EncodeDateTime(2026, 1, 15, 12, 0, 0, 500);
  const double july = EncodeDateTime(2026, 7, 15, 12, 0);
  // The same answers whether the program runs in winter or in summer.
  for (double today : {EncodeDateTime(2026, 1, 20, 9), EncodeDateTime(2026, 7, 20, 9)}) {
    TFixedClock clock(today);
    TClockScope scope(clock);
    EXPECT_NEAR(UtcToLocal(january), EncodeDateTime(2026, 1, 15, 13, 0, 0, 500), 1e-9);
    EXPECT_NEAR(UtcToLocal(july), EncodeDateTime(2026, 7, 15, 14, 0), 1e-9);
  }
  // The spring change: 01:00 UTC is 03:00 summer time.
  EXPECT_NEAR(UtcToLocal(EncodeDateTime(2026, 3, 29, 0, 59)),
              EncodeDateTime(2026, 3, 29, 1, 59), 1e-9);
  EXPECT_NEAR(UtcToLocal(EncodeDateTime(2026, 3, 29, 1, 0)),
              EncodeDateTime(2026, 3, 29, 3, 0), 1e-9);
  EXPECT_TRUE(std::isnan(UtcToLocal(NAN)));  // passed through unchanged
  {
    TScopedEnv utc("TZ", "UTC");
    EXPECT_EQ(UtcToLocal(july), july);
  }
  // The zone set afterwards is honoured at once.
  EXPECT_NEAR(UtcToLocal(july), july + 120 * kMinute, 1e-9);
}

TEST(Clock, TodayAndSecondsOfDayAreLocal) {
  if (!HaveBerlinZone()) GTEST_SKIP() << "time-zone data missing";
  TScopedEnv tz("TZ", "Europe/Berlin");
  TFixedClock clock(EncodeDateTime(2031, 6, 15, 23, 30, 15));
  {
    TClockScope scope(clock);
    EXPECT_EQ(NowUTC(), clock.NowUTC());
    EXPECT_EQ(TodayPacked(), D(2031, 6, 16));
    EXPECT_EQ(SecondsOfDay(), 1 * 3600 + 30 * 60 + 15);
    EXPECT_EQ(StrToPackedDate("#"), D(2031, 6, 16));
    clock.Advance(1.0 / 24);
    EXPECT_EQ(SecondsOfDay(), 2 * 3600 + 30 * 60 + 15);
  }
  // Back on the system clock.
  EXPECT_NE(&Clock(), static_cast<IClock*>(&clock));
  const double now = NowUTC();
  EXPECT_NEAR(now, 25569.0 + static_cast<double>(std::time(nullptr)) / 86400.0, 1.0 / 24);
  EXPECT_GE(SecondsOfDay(), 0);
  EXPECT_LT(SecondsOfDay(), 86400);
}
