#pragma once
// Small text codecs under the record store, the history, the user records and the importers:
// ValueLists (items joined by ";"), field cutting, CSV fields, the position-dependent
// rotation every stored field value passes, hex and checksum helpers, and numbered strings.
// All functions are stateless and work on Windows-1252 byte strings.

#include <cstdint>
#include <string>
#include <vector>

// Rotation. Same length as the input; every byte class maps onto itself, so ";" and "="
// are never produced or changed and a rotated value can still be cut at them.
std::string ScrambleStr(const std::string& text);
std::string UnscrambleStr(const std::string& text);  // exact inverse of ScrambleStr

// Each byte as two upper-case hex digits.
std::string StrToHexStr(const std::string& text);
// Two digits per byte while two remain (an odd last digit is dropped); a pair that is not
// hex gives byte 0.
std::string HexStrToStr(const std::string& hex);

// Appends two hex digits of checksum.
std::string AddChecksum(const std::string& text);
// True when the last two characters are the right checksum. They are removed whenever the
// text has at least two characters, also when the check fails.
bool CheckChecksum(std::string& text);

// A payload protected by a number and a checksum: 8 hex digits of the masked number, the
// payload in hex, two checksum digits; with `rotate` the whole thing rotated.
std::string EncodeNumberedStr(int32_t number, const std::string& payload, bool rotate);
// True and the payload in `text`; `expected` 0 accepts any number. On failure `text` is
// left as it was.
bool DecodeNumberedStr(int32_t expected, std::string& text, bool rotate);

// ValueLists: items joined by ";" with no leading or trailing ";"; "" is the empty list.
bool InValueList(const std::string& item, const std::string& list);
// Leading ";" are stripped from the item and it is cut before its next ";". False, and the
// list unchanged, when nothing is left or the item is already present.
bool AddToValueList(std::string& list, const std::string& item);
// Removes every occurrence of the item (leading and trailing ";" ignored). An item with a
// ";" inside removes nothing.
void RemoveFromValueList(std::string& list, const std::string& item);
// The first item, removed from the list together with its ";".
std::string FetchValue(std::string& list);
void ValueListToStrings(const std::string& list, std::vector<std::string>& lines);
std::string StringsToValueList(const std::vector<std::string>& lines);

// Text before the first separator, removed with it; without a separator the whole text,
// which becomes empty.
std::string FetchField(std::string& text, char separator);
std::string FetchSemicolonField(std::string& text);
std::string FetchTabField(std::string& text);
// The 0-based n-th field; empty when there are fewer fields.
std::string GetNthField(int n, char separator, const std::string& text);

// The next CSV field of `line`, unquoted, removed from the line with its separator. A field
// that starts with a double or a single quote runs to the closing quote of that kind (a
// doubled quote inside stands for one, separators inside are text); text between the
// closing quote and the separator is kept; an unclosed quote takes the rest of the line.
std::string FetchCsvField(std::string& line, char separator);
// The same field read at `pos` of a line left as it is; `pos` moves behind its separator (to
// the line's end after the last field). Reading a whole line this way takes time in
// proportion to its length, however many fields it holds.
std::string FetchCsvFieldAt(const std::string& line, std::size_t& pos, char separator);
// Rewrites every line as TAB-separated unquoted fields. The separator is TAB when any line
// holds a TAB, else ";". A TAB inside a quoted field becomes a blank so columns stay put.
void CsvLinesToTabLines(std::vector<std::string>& lines);

// Cuts a head of at most `maxLen` characters off `text` (a maxLen below 1 counts as 1):
// the text up to the last character of `firstBreaks` within reach, else the last of
// `secondBreaks`, else exactly maxLen characters.
std::string SplitAtBreakChars(std::string& text, int maxLen, const std::string& firstBreaks,
                              const std::string& secondBreaks);
