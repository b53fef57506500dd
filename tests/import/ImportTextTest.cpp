#include "import/ImportText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "basic/ValueString.h"
#include "support/TestSupport.h"

namespace {

using Rows = std::vector<std::string>;

std::string Utf16Le(const std::u16string& text, bool mark) {
  std::string out = mark ? std::string("\xFF\xFE", 2) : std::string();
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

std::string Utf16Be(const std::u16string& text) {
  std::string out("\xFE\xFF", 2);
  for (char16_t c : text) {
    out += static_cast<char>(c >> 8);
    out += static_cast<char>(c & 0xFF);
  }
  return out;
}

}  // namespace

TEST(ImportText, DecodesByMarkElseByValidUtf8ElseAs1252) {
  struct Case {
    std::string bytes;
    std::string text;
    const char* what;
  };
  const Case cases[] = {
      {"M\xC3\xBCller \xE2\x82\xAC", "M\xFCller \x80", "UTF-8 without mark"},
      {"\xEF\xBB\xBFM\xC3\xBCller", "M\xFCller", "UTF-8 with mark"},
      {"M\xFCller \x80", "M\xFCller \x80", "1252 (not valid UTF-8)"},
      {"\xC3\xBC \xFC", "\xC3\xBC \xFC", "mixed: one invalid byte makes all of it 1252"},
      {"\xC0\xAF", "\xC0\xAF", "an overlong form is no UTF-8"},
      {"\xED\xA0\x80", "\xED\xA0\x80", "an encoded surrogate is no UTF-8"},
      {"\xE2\x82", "\xE2\x82", "a cut sequence is no UTF-8"},
      {"\xE4\xB8\xAD \xC5\xA1", "? \x9A", "characters 1252 lacks become ?"},
      {"\xEF\xBB\xBF" "a\xFF" "b", "a?b", "after a UTF-8 mark a broken byte is one ?"},
      {Utf16Le(u"M\u00fcller \u20ac \u4e2d", true), "M\xFCller \x80 ?", "UTF-16 LE"},
      {Utf16Be(u"\u00c4\u0160"), "\xC4\x8A", "UTF-16 BE"},
      {Utf16Le(u"a\xD83D\xDE00" u"b\xDC00", true), "a?b?", "surrogates"},
      {Utf16Le(u"ab", true) + "x", "ab?", "an odd last byte"},
      {"", "", "nothing"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeImportBytes(c.bytes), c.text) << c.what;
}

TEST(ImportText, EveryKindOfLineEndEndsARow) {
  struct Case {
    std::string bytes;
    Rows rows;
    const char* what;
  };
  const Case cases[] = {
      {"a;1\r\nb;2\r\nc;3\r\n", {"a;1", "b;2", "c;3"}, "CR LF"},
      {"a;1\nb;2\nc;3\n", {"a;1", "b;2", "c;3"}, "LF only"},
      {"a;1\rb;2\rc;3\r", {"a;1", "b;2", "c;3"}, "CR only"},
      {"a;1\n\rb;2\n\rc;3", {"a;1", "b;2", "c;3"}, "LF CR"},
      {"a\r\n\r\nb", {"a", "", "b"}, "an empty row stays"},
      {"a\r\rb\n\nc", {"a", "", "b", "", "c"}, "two lone breaks make an empty row"},
      {"a\r\n\nb", {"a", "", "b"}, "CR LF then LF"},
      {"a\nb", {"a", "b"}, "no end after the last row"},
      {"a;1\r\nb;2\r\n\x1A", {"a;1", "b;2"}, "a last 0x1A is dropped"},
      {"a\x1A" "b\x1A\x1A", {"a b "}, "other 0x1A are control characters"},
      {"", {}, "empty"},
      {"\r\n", {""}, "one empty row"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadImportText(c.bytes), c.rows) << c.what;
  // The same through UTF-16: the row ends are characters, not bytes.
  EXPECT_EQ(ReadImportText(Utf16Le(u"a\nb\rc\r\nd", true)), (Rows{"a", "b", "c", "d"}));
}

TEST(ImportText, ControlCharactersAndBreaksInsideQuotesBecomeTheCallersCharacter) {
  struct Case {
    std::string bytes;
    char replacement;
    Rows rows;
    const char* what;
  };
  const Case cases[] = {
      {"a\x01" "b\tc\x0B\x0C" "d", ' ', {"a b\tc  d"}, "controls; TAB stays"},
      {"\"Zeile 1\nZeile 2\";x\r\ny;z", ' ', {"\"Zeile 1 Zeile 2\";x", "y;z"}, "LF in quotes"},
      {"\"1\r\n2\"\tx\r\ny", char(11), {"\"1\x0B" "2\"\tx", "y"}, "CR LF in quotes, plan mark"},
      {"\"a\n\rb\r\rc\"", ' ', {"\"a b  c\""}, "pairs are one break, lone ones each"},
      {"x;\"p\nq\"\n", ' ', {"x;\"p q\""}, "a quoted field after the separator"},
      {"x;y \"p\nq\"", ' ', {"x;y \"p", "q\""}, "a quote inside a field opens nothing"},
      {"\"say \"\"hi\nthere\"\"\";x", ' ', {"\"say \"\"hi there\"\"\";x"}, "doubled quotes"},
      {"'a\nb';x", ' ', {"'a", "b';x"}, "single quotes never span rows"},
      {"a\t\"b;\nc\"\td", ' ', {"a\t\"b; c\"\td"}, "TAB file: ';' is no separator"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadImportText(c.bytes, c.replacement), c.rows) << c.what;
}

TEST(ImportText, AStrayQuoteDoesNotSwallowTheRowsBehindIt) {
  // A quote that opens a field and never closes properly must not join rows: an import
  // that deletes the persons it does not find would lose every person in between.
  struct Case {
    std::string bytes;
    Rows rows;
    const char* what;
  };
  const Case cases[] = {
      {"\"Hans;1\nAnna;2\nOtto;3\n", {"\"Hans;1", "Anna;2", "Otto;3"}, "never closed"},
      {"\"Hans;1\nAnna;2\nZoll 5\" Rohr;3\n", {"\"Hans;1", "Anna;2", "Zoll 5\" Rohr;3"},
       "closed by a quote that is not followed by a separator"},
      {"\"Hans;1\nAnna;2\n\"Otto\nKarl\";3\n", {"\"Hans;1", "Anna;2", "\"Otto Karl\";3"},
       "a proper field behind the stray quote still spans its rows"},
      {"\"a\"b;\"c\nd\";e", {"\"a\"b;\"c d\";e"}, "a quote closed on its row is the CSV reader's"},
      {"\"open;1", {"\"open;1"}, "unclosed on its only row"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadImportText(c.bytes), c.rows) << c.what;
}

TEST(ImportText, RowsThroughTheCsvReaderGiveBackTheCells) {
  // As a spreadsheet program writes a semicolon table with a cell of two lines and a name
  // that starts with an apostrophe.
  Rows rows = ReadImportText(
      "Name;Ort;Nr\r\n\"M\xC3\xBCller, Hans\";\"Stra\xC3\x9F" "e 1\nHinterhaus\";0815\r\n"
      "\"'s-Hertogenbosch\";'x;y';7\r\n");
  CsvLinesToTabLines(rows);
  EXPECT_EQ(rows, (Rows{"Name\tOrt\tNr", "M\xFCller, Hans\tStra\xDF" "e 1 Hinterhaus\t0815",
                        "'s-Hertogenbosch\tx;y\t7"}));
}

TEST(ImportText, Files) {
  TTempDir dir;
  Rows rows{"old"};
  EXPECT_FALSE(ReadImportTextFile(dir.File("missing.csv"), rows));
  EXPECT_TRUE(rows.empty());
  WriteAllBytes(dir.File("empty.csv"), "");
  rows = {"old"};
  EXPECT_TRUE(ReadImportTextFile(dir.File("empty.csv"), rows));
  EXPECT_TRUE(rows.empty());
  WriteAllBytes(dir.File("lf.csv"), "a;1\nb;2\n");
  EXPECT_TRUE(ReadImportTextFile(dir.File("lf.csv"), rows, char(11)));
  EXPECT_EQ(rows, (Rows{"a;1", "b;2"}));
}
