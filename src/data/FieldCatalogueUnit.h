#pragma once
// The field catalogue: for each item class the fields that lists, the relations table, the
// imports, change-log captions and document placeholders refer to. Read once from
// "System/Fields.csv" below the program folder (the file ships with the program) into one
// program-wide array; an entry is referred to by its index in that array, which lists hand
// around as the entry's object. Index 0 is a placeholder and never a found entry.
//
// Reading values never selects a record of the store: the catalogue is asked while a view
// edits a record, and selecting would store that record.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "basic/SLUnit.h"

class TMiniDB;

struct TFieldEntry {
  uint16_t id = 0;       // field ID; a file value outside 0..65535 or no number gives 0
  uint8_t cls = 0;       // item class (15: a key handover of the imports)
  uint8_t refClass = 0;  // class of the linked record the field belongs to; 0 = own class
  bool obsolete = false;
  bool readonly = false;
  bool writeonly = false;
  bool isVirtual = false;
  std::string name;      // caption as read
  std::string caption;   // second caption slot, equal to `name` after loading
  std::string dbKey;     // store key, or a pseudo-field in parentheses, "(n12)" ...
  std::string check;     // value rule of the imports ("int", "date", "name:(n12)" ...)
  std::string docVar;    // document variable ("#Key#" ...)
};

// The one catalogue of the program (empty until loaded).
std::vector<TFieldEntry>& FieldCatalogue();
// Empties it (tests; the next LoadFieldCatalogue reads again).
void ResetFieldCatalogue();
// Program folder + "System/Fields.csv".
std::string FieldCatalogueFileName();

// The header a catalogue file begins with, once every field is trimmed and followed by TAB.
inline constexpr const char* kFieldCatalogueHeader =
    "Class\tClassName\tRefClass\tField\tDB Field\tCheck\tDocVar\tStatus\tID\t";

// True at once when the catalogue has entries. Otherwise reads `fileName` (empty: the
// program's own file). A missing or unreadable file: "Datei nicht gefunden." + CR + name
// (with `logErrors` a line "File not found:" in the error log instead); a file of fewer than
// two lines or with another header: "Falsche Datei-Version." + CR + name (logged as
// "Invalid file format:"). On failure the catalogue stays empty and the next call reads
// again.
bool LoadFieldCatalogue(bool logErrors, const std::string& fileName = "");

// Adds the caption of every entry from index 1 on with its index as object; entries of
// other classes are skipped unless `cls` is 0, obsolete, writeonly and virtual entries
// unless included. The number added.
int ListFieldsOfClass(int cls, bool includeObsolete, bool includeWriteonly, TQStringList& list,
                      bool includeVirtual);
// A valid index (1 .. count - 1): the caption of the item class (singular or plural) for a
// name entry (not obsolete, key "n" or "(n12)"), else the entry's caption. An invalid index
// leaves `text` as it is.
void FieldCaption(int index, bool plural, std::string& text);
// Index of the first entry with that ID; 0 when none.
int FieldIndexById(int fieldId);
// The index of the first entry of the class whose key is `key` or "(" + key + ")"
// (ignoring case); 0 when there is none.
int FieldIndexByKey(int cls, const std::string& key);
// The caption of that entry; false and `caption` unchanged when there is none.
bool FindFieldByName(int cls, const std::string& key, std::string& caption);

// The value text of the entry for a record: the pseudo-fields "(n12)" display name, "(r)"
// remark as one line, "(ks)" locking-system name, "(kt)" key-type abbreviation, "(total)"
// total count, "(DbID)" the ID, "(LonelyRef)" the display name of the first linked record
// of the referenced class, "(Mandator)" the client's name; any other key in parentheses
// gives no text; a plain key is the record's field. Empty for an invalid index, record 0
// or an empty key.
std::string FieldValueOfRecord(TMiniDB& db, int index, int32_t id);
// A value as stored under the entry's field (unrotated), in the words the entry shows it
// in: "(ks)" the code's locking-system name, "(kt)" the type's abbreviation, "(r)" the
// remark as one line. Any other entry, and an invalid index, give the value itself.
std::string FieldValueOfStored(const TMiniDB& db, int index, const std::string& value);
// The same with the record taken from the row's records by class: the slot of the
// referenced class when the entry has one, else of its own class.
std::string FieldValueText(TMiniDB& db, int index, const std::array<int32_t, 256>& idsByClass);

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* CatalogueTexts();
