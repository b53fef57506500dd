#pragma once
// Conversions between code-page text (Windows-1252), UTF-16 and numeric character
// references ("&#8364;"), and recognition of a text file's byte-order mark.

#include <cstddef>
#include <string>
#include <string_view>

// Byte-order marks recognised by DetectTextEncoding.
enum TTextEncoding : int {
  teNone = 0,     // no mark
  teUtf8 = 1,     // EF BB BF
  teUtf16LE = 2,  // FF FE
  teUtf16BE = 3,  // FE FF
  teUtf32LE = 4,  // FF FE 00 00
  teUtf32BE = 5,  // 00 00 FE FF
};

// The mark at the start of `buffer` (a TTextEncoding value) and its length in bytes
// (0 for none). The 4-byte marks are tested first; buffers shorter than 2 bytes have none.
int DetectTextEncoding(const char* buffer, std::size_t length, int& markLength);

// UTF-16 text of `text` read in `codePage`: 1252 (also 0, the program's code page),
// 28591 (Latin-1) or 65001 (UTF-8). Any other code page is read as 1252.
std::u16string ShortStringToWide(std::string_view text, int codePage = 1252);

// The whole file as UTF-16: after an FF FE mark the UTF-16 LE text, without a mark the
// bytes read as 1252. False and an empty text for any other mark or an unreadable or
// missing file; an empty file gives true and an empty text.
bool ReadTextFileWide(const std::string& fileName, std::u16string& text);

// Code-page text that carries UTF-16 through files: each UTF-16 unit 32..127 that is not
// in `escape` is copied, every other unit becomes "&#" + decimal code + ";". True when at
// least one unit was escaped. (The ampersand belongs in `escape` when the text must come
// back unchanged through HtmlEntitiesToWide.)
bool WideToHtmlEntities(std::u16string_view text, std::string_view escape, std::string& out);

// The reverse: each byte becomes its 1252 character; "&#" + decimal digits + ";" and
// "&#x" + hex digits + ";" become the UTF-16 unit of that number when it lies in
// 0..65535 (else the characters stay). A leading byte 30 (record separator) is dropped
// and counts as a found reference. True when a reference was found.
bool HtmlEntitiesToWide(std::string_view text, std::u16string& out);

// Installer: UTF-16 LE after an FF FE mark or, without a mark, the bytes taken as UTF-16
// LE; an odd last byte is dropped. Other marks give an empty text and false.
bool BytesToWideText(std::string_view bytes, std::u16string& out);
