#pragma once
// Locking plans as XML files from locksmiths' planning programs: cylinders with their doors
// and rooms, keys with piece counts, and which key locks which cylinder. Two dialects are
// known by the name of the document element; a check pass that changes nothing runs before
// the import pass, and each pass holds the whole store (one TBulkWrite, one save).

#include <array>
#include <cstdint>
#include <string>

#include "data/StoreWriteUnit.h"

class TMiniDB;
class TMerivanXmlNode;
class TMLStringList;

const TMLStringList* ImportXmlTexts();
std::string ImportXmlText(int number);

// Dialects: 1 unknown, 2 "dorider" (German element names), 3 "ExportByZerUdaravu".
constexpr int xdUnknown = 1;
constexpr int xdDorider = 2;
constexpr int xdZerUdaravu = 3;
int GetXmlDialect(const TMerivanXmlNode* documentElement);

// The element names of a dialect, entries 1-20 (entry 0 unused). Entry 13 is the key type
// of group keys as text, entry 20 "1" when a locking names its cylinder through a key.
struct TXmlElementNames {
  std::array<std::string, 21> e;
  int GroupKeyType() const;
  bool LockViaKey() const { return e[20] == "1"; }
};
const TXmlElementNames& XmlElementNames(int dialect);

// What a pass did.
struct TXmlImportCount {
  int cylinders = 0;  // cylinder elements taken
  int keys = 0;       // key elements taken
  int locks = 0;      // locking elements taken
  int Total() const { return cylinders + keys + locks; }
};

// One pass over the document. `check`: a TBulkWrite in check mode, and the elements create
// and change nothing. The records it creates or looks up belong to locking system `code`.
// Refusals (reservation, another station's records) are told here; false then, and false
// for a cancelled run or a failed save (told too).
// With `journalFolder` given ("" = the client's), a saved import pass writes the import
// journal of the totals it changed.
bool RunXmlImport(TMiniDB& db, const TMerivanXmlNode* documentElement, bool check,
                  int32_t code, TXmlImportCount& count, const TBulkProgress& progress = nullptr,
                  const std::string* journalFolder = nullptr);

// The whole import of a file's bytes into locking system `code`, with its messages: the
// "<?xml" rule, the dialect, the check pass, the import pass, the closing note. `setStatus`
// shows the wait text of each pass (may be null). True when the import pass ran.
bool ImportXmlBytes(TMiniDB& db, const std::string& bytes, int32_t code,
                    const std::function<void(const std::string&)>& setStatus = nullptr,
                    const TBulkProgress& progress = nullptr,
                    const std::string* journalFolder = nullptr);
