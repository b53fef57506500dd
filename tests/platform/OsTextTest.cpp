#include "platform/OsText.h"

#include <gtest/gtest.h>

TEST(OsText, ConvertsBetweenProgramTextAndSystemBytes) {
  struct Case {
    const char* ansi;
    const char* os;
  };
  const Case both[] = {
      {"", ""},
      {"/srv/data/Fields.csv", "/srv/data/Fields.csv"},
      {"/srv/Schl\xFC" "ssel/", "/srv/Schl\xC3\xBC" "ssel/"},  // ü
      {"\x80 5", "\xE2\x82\xAC 5"},                            // euro sign, not U+0080
      {"\x8A\x9F", "\xC5\xA0\xC5\xB8"},                        // Š Ÿ
      {"\x81\x9D", "\xC2\x81\xC2\x9D"},  // undefined in 1252: the C1 control of that number
  };
  for (const Case& c : both) {
    EXPECT_EQ(AnsiToOs(c.ansi), c.os) << c.os;
    EXPECT_EQ(OsToAnsi(c.os), c.ansi) << c.os;
  }

  const Case fromOs[] = {
      {"?.txt", "\xCE\xA9.txt"},             // Greek omega: 1252 has none
      {"key ?", "key \xF0\x9F\x94\x91"},     // four-byte character
      {"Schl\xFC" "ssel", "Schl\xFC" "ssel"},  // a legacy 1252 name stays as it is
      {"a\xE2\x82", "a\xE2\x82"},              // cut-short sequence
      {"\xC0\xAF" "x", "\xC0\xAF" "x"},        // overlong "/" never becomes a separator
      {"\xED\xA0\x80", "\xED\xA0\x80"},        // surrogate
      {"\xF4\x90\x80\x80", "\xF4\x90\x80\x80"},  // beyond U+10FFFF
      {"\xC3\xFC\xFC", "\xC3\xC3\xBC\xFC"},    // stray lead byte, then ü, then a 1252 byte
  };
  for (const Case& c : fromOs) EXPECT_EQ(OsToAnsi(c.os), c.ansi) << c.os;

  std::string all;
  for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(OsToAnsi(AnsiToOs(all)), all);
}
