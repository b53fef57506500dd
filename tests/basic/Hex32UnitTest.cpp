#include "basic/Hex32Unit.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <limits>

TEST(Hex32Unit, Writes32BitValues) {
  struct Case {
    int32_t value;
    bool signedValue;
    const char* text;
  };
  const Case cases[] = {
      {0, true, "0"},          {31, true, "V"},          {32, true, "10"},
      {-1, true, "-1"},        {-1, false, "3VVVVVV"},   {-32, true, "-10"},
      {INT_MAX, true, "1VVVVVV"}, {INT_MIN, true, "2000000"}, {INT_MIN, false, "2000000"},
  };
  for (const auto& c : cases) EXPECT_EQ(IntToHex32(c.value, c.signedValue), c.text) << c.value;
}

TEST(Hex32Unit, Reads32BitValues) {
  struct Case {
    const char* text;
    int32_t value;
  };
  const Case cases[] = {
      {"0", 0},         {"V", 31},           {"-1", -1},      {"3VVVVVV", -1},
      {"v", 0},         // lower case is not a digit
      {"W", 0},         {"", 0},             {"-", 0},        {"--1", 0},
      {"+1", 0},        {" 1", 0},           {"00000001", 0},  // 8 digits
      {"0000001", 1},   {"VVVVVVV", -1},     // wraps to 32 bits
      {"2000000", INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(Hex32ToInt(c.text), c.value) << c.text;
}

TEST(Hex32Unit, RoundTrips) {
  const int32_t values[] = {0, 1, -1, 31, 32, -32, 1000000, -1000000, INT_MAX, INT_MIN, INT_MIN + 1};
  for (int32_t v : values) {
    EXPECT_EQ(Hex32ToInt(IntToHex32(v, true)), v) << v;
    EXPECT_EQ(Hex32ToInt(IntToHex32(v, false)), v) << v;
    EXPECT_LE(IntToHex32(v, false).size(), 7u);
  }
  const int64_t values64[] = {0, 1, -1, LLONG_MAX, LLONG_MIN, LLONG_MIN + 1, 1LL << 40, -(1LL << 40)};
  for (int64_t v : values64) {
    EXPECT_EQ(Hex32ToInt64(Int64ToHex32(v, true)), v) << v;
    EXPECT_EQ(Hex32ToInt64(Int64ToHex32(v, false)), v) << v;
    EXPECT_LE(Int64ToHex32(v, false).size(), 13u);
  }
  EXPECT_EQ(Int64ToHex32(-1, false), "FVVVVVVVVVVVV");
  EXPECT_EQ(Int64ToHex32(-1, true), "-1");
  EXPECT_EQ(Hex32ToInt64("00000000000001"), 0);  // 14 digits
}

TEST(Hex32Unit, DoublesComeBackBitForBit) {
  const double values[] = {0.0,
                           -0.0,
                           1.0,
                           46000.5,  // a date-time
                           46000.123456789,
                           -1e300,
                           std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()};
  for (double d : values) {
    const std::string text = DoubleToHex32(d);
    EXPECT_EQ(std::bit_cast<uint64_t>(Hex32ToDouble(text)), std::bit_cast<uint64_t>(d)) << text;
    EXPECT_EQ(text.find('-'), std::string::npos);
  }
  EXPECT_EQ(Hex32ToDouble("not a number"), 0.0);
}
