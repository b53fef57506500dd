#pragma once
// Forgiving conversions and substring helpers. None of them fails: a text that is not a
// number gives the stated default, and out-of-range positions or counts give the nearest
// sensible piece. Texts are Windows-1252 byte strings; positions count from 1.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Our integer reader: optional leading blanks, an optional "+" or "-", then decimal digits
// or "$" and hex digits, nothing after them. A value outside the 32-bit range is not a
// number; a hex value may use all 32 bits ("$FFFFFFFF" is -1). Never consults the locale.
bool TryStrToInt(const std::string& text, int32_t& value);
// The same for 64 bits (hex may use all 64 bits).
bool TryStrToInt64(const std::string& text, int64_t& value);

int32_t StrToIntZero(const std::string& text);    // 0 when not a number
int32_t StrToIntMinus1(const std::string& text);  // -1 when not a number
int32_t StrToPosInt(const std::string& text);     // the value when it is at least 1, else 0
int32_t StrToByteZero(const std::string& text);   // the value when in 0..255, else 0

// Character 0 stands for "no character" outside the text.
char CharAt(const std::string& text, int pos);
char FirstChar(const std::string& text);
char LastChar(const std::string& text);

std::string CopyLeft(const std::string& text, int n);   // first n characters
std::string CopyFrom(const std::string& text, int pos); // from pos to the end
std::string CutLeft(const std::string& text, int n);    // without the first n characters
std::string DelFirstChar(const std::string& text);
std::string TrimEnd(const std::string& text);           // drops trailing codes 0..32
// The one trim of the program: leading and trailing codes 0..32 dropped (blanks, tabs, line
// ends and the other control characters; 0xA0 and everything above stays).
std::string Trim(std::string_view text);
std::string_view TrimView(std::string_view text);

// Position of `sub` in `text` at or after `start`; 0 when absent or `sub` is empty.
int PosFrom(const std::string& sub, const std::string& text, int start);
// Position of the first occurrence of `sub` that stands as a whole word: no digit, ASCII
// letter or code >= 128 directly before or after it. 0 when there is none.
int PosWord(const std::string& sub, const std::string& text);

// Pads every run of 1 to 6 digits to 7 digits with leading zeros, so that a plain byte
// comparison puts "K2" before "K10". Runs of 7 or more digits stay as they are.
std::string NaturalSortKey(const std::string& text);

// A list that owns the objects put into it: clearing or destroying the list frees each
// object exactly once. Objects of different types may share one list.
class TDestroyObjectsList {
 public:
  TDestroyObjectsList() = default;
  ~TDestroyObjectsList() { Clear(); }
  TDestroyObjectsList(const TDestroyObjectsList&) = delete;
  TDestroyObjectsList& operator=(const TDestroyObjectsList&) = delete;

  // Takes ownership of `object` (may be null); returns its index.
  template <class T>
  int Add(T* object) {
    items_.emplace_back(object, [](void* p) { delete static_cast<T*>(p); });
    return static_cast<int>(items_.size()) - 1;
  }
  template <class T>
  int Add(std::unique_ptr<T> object) {
    return Add(object.release());
  }

  int Count() const { return static_cast<int>(items_.size()); }
  // The object at `index` (null for a bad index); the caller names its type.
  template <class T>
  T* Item(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return static_cast<T*>(items_[static_cast<size_t>(index)].get());
  }
  // Frees the object at `index`; a bad index does nothing.
  void Delete(int index);
  // Frees every object, last first.
  void Clear();

 private:
  using TOwned = std::unique_ptr<void, void (*)(void*)>;
  std::vector<TOwned> items_;
};
