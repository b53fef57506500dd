#pragma once
// TWStringList: the same list as TQStringList, holding UTF-16 lines. It reads the language
// files, which are UTF-16 LE with a byte-order mark or plain 1252 text.

#include <string>
#include <string_view>
#include <vector>

#include "basic/SLUnit.h"

using TWidestringItem = TListItem<std::u16string>;

// Splits UTF-16 text into lines: only CR and LF end a line; a CR LF or LF CR pair is one
// end, any other end closes a line of its own (an empty line is an empty item). Text after
// the last end is a last line when it is not empty. `lines` is cleared first.
void SplitWideLines(std::u16string_view text, std::vector<std::u16string>& lines);

class TWStringList : public TStringListBase<std::u16string> {
 public:
  TWStringList() = default;

  // The line as 1252 text ("?" for characters 1252 lacks); empty for a bad index.
  std::string Get(int index) const;
  // The line itself; empty for a bad index.
  const std::u16string& GetWide(int index) const { return At(index); }
  // Does nothing in a sorted list or for a bad index.
  void Put(int index, const std::u16string& s) { PutText(index, s); }

  int Add(const std::u16string& s) { return AddObject(s, 0); }
  int Add(const std::string& s);  // 1252 text
  void Insert(int index, const std::u16string& s) { InsertObject(index, s, 0); }
  void Insert(int index, const std::string& s);  // 1252 text
  void AddStrings(const TWStringList& other);

  // Every line as 1252 text followed by CR LF.
  std::string GetText() const;
  // 1252 text split at CR, LF or CR LF (text after the last end becomes a last line).
  void SetText(std::string_view text);

  // Clears the list, then reads the file: UTF-16 LE after an FF FE mark, or 1252 text
  // without a mark. False (list empty) for a missing or empty file and for any other mark
  // (UTF-8, UTF-16 BE, UTF-32).
  bool LoadFromFile(const std::string& fileName);

  // Installer: replaces the lines by those of UTF-16 text (SplitWideLines; a leading
  // byte-order mark U+FEFF is dropped).
  void SetWideText(std::u16string_view text);
  // Installer: empty for an empty list; else U+FEFF first when `withMark`, then every
  // line followed by CR LF.
  std::u16string GetWideText(bool withMark) const;
};
