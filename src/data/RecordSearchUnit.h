#pragma once
// The search of the extended search dialog ("erweiterte Suche", Ctrl+F) and the ID texts
// of the object picker, without widgets.
//
// A term is searched in one text per record: its name and then the values of its class
// (buildings, cylinders, doors, keys, persons, in this order, each over its valid records
// in store order), compared in lower case by the program's 1252 table. A record is found
// at most once. The store is only read (no record is selected), so searching while a view
// edits a record neither stores nor switches it.

#include <cstdint>
#include <string>
#include <vector>

class TMiniDB;

// One hit: the record, the class word, the name and the text around the hit.
struct TFindHit {
  int32_t id = 0;
  std::string classWord;
  std::string name;
  std::string excerpt;
};

// The classes searched, in order.
inline constexpr int kFindClasses[] = {2, 6, 3, 4, 5};

// The typed text as it is searched: trimmed, in lower case.
std::string FindTermOf(const std::string& typed);

// The text a record of class `cls` is searched in (name, two blanks, then every value that
// is not empty followed by two blanks) and the name the hit shows. False for a record
// that is not searched (a building or person without a name, a class not searched).
bool FindSearchText(TMiniDB& db, int32_t id, int cls, std::string& text, std::string& name);

// The excerpt of a hit at the 1-based position `pos` of `text`: from position
// max(pos - 15, 1), the term's length + 30 characters.
std::string FindExcerpt(const std::string& text, size_t pos, size_t termLength);

// The word column 0 shows for a class.
std::string FindClassWord(int cls);

// Every record holding `term` (as FindTermOf gives it); nothing for an empty term.
std::vector<TFindHit> FindRecords(TMiniDB& db, const std::string& term);

// The picker's ID column: the decimal ID after two blanks for each digit short of 3.
std::string PickerIdText(int32_t id);
