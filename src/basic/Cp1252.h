#pragma once
// Windows-1252 is the byte encoding of every text inside the program and in its files.
// These functions are how the program knows it; nothing here depends on the process locale.
// The table to Unicode itself lives in platform/OsText.h, where the system boundary needs
// it for file names.

#include <cstddef>
#include <string>

// The Unicode code point of a 1252 byte. The five bytes 1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same number, so every
// byte survives a round trip.
char32_t Cp1252ToUnicode(unsigned char c);

// The 1252 byte of a code point, or -1 when 1252 has no such character.
int UnicodeToCp1252(char32_t u);

std::string Cp1252ToUtf8(const std::string& s);
// Characters that 1252 cannot hold become `replacement`; malformed UTF-8 bytes too.
std::string Utf8ToCp1252(const std::string& s, char replacement = '?');

std::u16string Cp1252ToUtf16(const std::string& s);
std::string Utf16ToCp1252(const std::u16string& s, char replacement = '?');

// Case mapping of single 1252 bytes: ASCII, the accented letters of 0xC0-0xFE, and
// the pairs š/Š, œ/Œ, ž/Ž, ÿ/Ÿ. ß and µ have no upper-case form in 1252 and stay.
unsigned char UpCase1252(unsigned char c);
unsigned char LowCase1252(unsigned char c);

std::string AnsiUpperCase(const std::string& s);
// The same in place, for code that builds many upper-case texts into its own buffers.
void AnsiUpperCaseInPlace(char* text, size_t length);
std::string AnsiLowerCase(const std::string& s);

// Case-insensitive comparison: bytes compared after upper-casing, shorter text first on
// a common prefix. <0, 0, >0.
int AnsiCompareText(const std::string& a, const std::string& b);
// Case-sensitive comparison by byte value. <0, 0, >0.
int AnsiCompareStr(const std::string& a, const std::string& b);
bool AnsiSameText(const std::string& a, const std::string& b);
