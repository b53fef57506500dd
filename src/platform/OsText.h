#pragma once
// The bridge between the program's text and the system's. Inside the program every text,
// file and folder names included, is Windows-1252 bytes; Linux hands over and expects
// UTF-8 bytes in file names, the environment, command-line arguments and user or host
// names. Everything in src/platform converts at the call into the system, so code above
// never sees the system's bytes.
//
// This unit also holds the one table of 1252 to Unicode; basic/Cp1252.h builds on it.

#include <cstddef>
#include <string>
#include <string_view>

// The Unicode code point of a 1252 byte. The five bytes 1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same number, so every
// byte survives a round trip.
char32_t CodePointOf1252(unsigned char c);
// The 1252 byte of a code point, or -1 when 1252 has no such character.
int Cp1252ByteOf(char32_t u);

// Appends the UTF-8 form of a code point (below 0x110000).
void AppendUtf8CodePoint(std::string& out, char32_t u);
// The program's one UTF-8 decoder. The well-formed UTF-8 sequence starting at s[pos]: its
// length, with its code point in `u`; 0 when the bytes there are none (a stray or
// cut-short byte, an overlong form such as C0 AF for "/", a surrogate, a value beyond
// U+10FFFF). Every reader of UTF-8 goes through it, so no malformed sequence turns into a
// character that was not there.
std::size_t DecodeUtf8At(std::string_view s, std::size_t pos, char32_t& u);

// A program text (1252) as the system wants it (UTF-8).
std::string AnsiToOs(const std::string& text1252);
// The system's bytes as a program text: UTF-8 characters become their 1252 byte, or '?'
// when 1252 cannot hold them. Bytes that are no valid UTF-8 are taken as 1252 bytes as they
// are: names written by programs that still write 1252 stay readable, and no malformed
// sequence can turn into a "/" or any other character that was not there.
std::string OsToAnsi(const std::string& osBytes);
