#pragma once
// The list options of the logged-in user, by record class, and the sort keys of list
// entries built from them. The options come from the user's "ViewSort" setting and belong
// to the open client's session (ViewOptions() forwards to it), so nothing of one user or
// client remains for the next.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class TMiniDB;

// Per-user view options, by class: whether names are compared by their natural sort key,
// and a display variant 0..9 (variant 1 lists doors and cylinders by closing numbers,
// variant 2 puts "k603" before the names).
struct TViewOptions {
  std::array<bool, 256> naturalNames{};
  std::array<uint8_t, 256> variant{};
  bool closingFormatter = false;  // the formatter SelectItemFormatter installed last
};
// The logged-in user's (the client session's).
TViewOptions& ViewOptions();
void ResetViewOptions();

// Clears both tables and takes the entries of a "ViewSort" text: TAB-separated
// class=flags, the class in hex (1..FF, others ignored); flag 1 "1" = natural names,
// flag 2 a digit above "0" = the variant.
void ApplyViewSortText(const std::string& viewSort);
// Clears both tables and reads "ViewSort" of the logged-in user.
void LoadUserViewSettings();
inline constexpr const char* kViewSortSetting = "ViewSort";

// The natural sort key of the name when the class compares names so, else the name.
void ApplyNameCase(int cls, std::string& name);
std::string NameCaseOf(int cls, const std::string& name);

enum class TItemFormatter { Standard, Closing };
// Installs the formatter for a list of the class: by closing numbers for doors and
// cylinders with variant 1, else the standard one.
TItemFormatter SelectItemFormatter(int cls);

// Sort keys of list entries, compared byte by byte (CompareSortKeys). Standard: with
// variant 2 the record's "k603" first; keys of type 0, 1, 8 or 9 after the others; a copy
// right after its mother; then the name (by the name option) and the ID. By closing
// numbers: the cylinder's "k603" (a door's first cylinder) and the door's, then the names;
// records without any closing number after those with one, by name.
std::string StandardSortKey(const TMiniDB& db, int32_t id);
std::string ClosingSortKey(const TMiniDB& db, int32_t id);
// The key of the formatter SelectItemFormatter installed last.
std::string ItemSortKey(const TMiniDB& db, int32_t id);
// The same appended to `key`, with the record's mother (its first link of kind lkMother,
// 0 without), which the key is built from: a list filler makes one key per listed record.
void AppendItemSortKey(const TMiniDB& db, int32_t id, std::string& key, int32_t& mother);
int CompareSortKeys(std::string_view a, std::string_view b);

