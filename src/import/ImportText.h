#pragma once
// The text every table import starts from: a file's bytes become rows of 1252 text.
//
// Files arrive in whatever the program that wrote them chose: UTF-8 or UTF-16 with a mark,
// UTF-8 without one, or the old 8-bit code page; their lines end in CR LF, LF, CR or even
// LF CR. A misread line end is not harmless: a file whose rows collapse into one row
// looks like a table with one record, and an import that deletes the persons it does not
// find would delete all the others.

#include <string>
#include <vector>

// The bytes as 1252 text. A UTF-8 mark (EF BB BF) or a UTF-16 mark (FF FE, FE FF) decides;
// without one the bytes are UTF-8 when they are valid UTF-8 throughout (overlong forms,
// surrogates and cut sequences are not), otherwise they are 1252 already. Characters that
// 1252 lacks become "?"; an unpaired surrogate, and an odd last byte of UTF-16, too.
std::string DecodeImportBytes(const std::string& bytes);

// Mends the control characters of a decoded text in place; the row ends stay. Every control
// character except TAB, CR and LF becomes `replacement`, and so does a line break inside a
// field quoted with double quotes (a cell with several lines, as spreadsheet programs write
// it; CR LF or LF CR there count as one break). Fields are those of the separator the table
// reader uses (TAB when the text holds one, else ";"); a quote opens a field only at its
// start. A quoted field that spans a line break counts only when it is closed properly (the
// quote followed by the separator, a line end or the end of the text): otherwise the quote
// was a stray character, and its line breaks end rows as usual. Callers pass a blank; the
// locking-plan import passes character 11, which later marks a break inside a cell.
void ReplaceStrayControlChars(std::string& text, char replacement);

// The rows of a text: CR LF, LF CR, a lone LF and a lone CR each end one row; text after
// the last row end is a last row (a row end at the very end adds no empty row).
std::vector<std::string> SplitImportRows(const std::string& text);

// The whole way from bytes to rows: decoded, a last character 0x1A (the old end-of-file
// mark) dropped, control characters mended with `replacement`, split into rows.
std::vector<std::string> ReadImportText(const std::string& bytes, char replacement = ' ');

// ReadImportText of a file's bytes. False when the file is missing or cannot be read; an
// empty file gives true and no rows.
bool ReadImportTextFile(const std::string& fileName, std::vector<std::string>& rows,
                        char replacement = ' ');
