#pragma once
// The program's vocabulary: item classes and their captions, the record fields, the core
// message table, locking-system codes and their names, key types, the action names of key
// transfers, the display texts of records and a few shared texts. Every view, print and
// import takes its words from here, so a change of language or of a configured term
// reaches the whole program. Behind the vocabulary follow the helpers that views, lists,
// prints and imports share (person placeholders, list sort keys, cabinet values, text
// normalisers, cabinet values, the pinning tree). The unit sits at the bottom of the data
// layer: it reads records through the store and knows no other unit of the layer.
//
// The state of this unit (the 40 locking-system names of the open client, the
// locking-system filter, the configured person and department terms, the holder kind
// names) is the open client's: one object, `Vocabulary()`, part of the client session
// (ClientSessionUnit.h), that a test resets with `ResetVocabulary()`.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "basic/SLUnit.h"

class TMiniDB;

// ---------------------------------------------------------------------------------------
// Item classes: the class byte "c" of every record. 10 and 11 are link kinds (mother and
// daughters of a split record), never classes; 15 (key handover) is only a content class
// of the table import and is never stored.
enum TItemClass : int {
  icNone = 0,
  icUser = 1,
  icBuilding = 2,
  icDoor = 3,
  icKey = 4,
  icPerson = 5,
  icCylinder = 6,
  icGroup = 7,
  icCabinet = 8,
  icKeySystem = 9,
  icSettings = 12,
  icTransaction = 13,
  icKeyBunch = 14,
  icKeyHandover = 15,
  icCategory = 17,
  icFloor = 18,
};

// ---------------------------------------------------------------------------------------
// Record fields (the stored form and the rotation belong to the store).
inline constexpr const char* fkName = "n";            // name
inline constexpr const char* fkSecondName = "n2";     // second name, shown in [ ]
inline constexpr const char* fkRemark = "r";          // remark, may have several lines
inline constexpr const char* fkKeySystem = "ks";      // locking-system code
inline constexpr const char* fkKeyType = "kt";        // key type (TKeyType)
inline constexpr const char* fkHolders = "own";       // holder lines of keys and bunches
inline constexpr const char* fkStock = "cnt";         // pieces in stock
inline constexpr const char* fkTotal = "total";       // pieces in total
inline constexpr const char* fkCylinderCount = "ccnt";  // cylinders: total when "total" empty
inline constexpr const char* fkMinimum = "min";       // minimum stock
inline constexpr const char* fkIssuedIdents = "embs";  // identifiers ever issued
inline constexpr const char* fkPersonNumber = "Nr";   // personnel number
inline constexpr const char* fkDepartment = "Abt";    // department
inline constexpr const char* fkLength = "len";        // cylinder length
inline constexpr const char* fkRoom = "rom";          // room number
inline constexpr const char* fkRoomName = "romn";     // room name
inline constexpr const char* fkRights = "rg";         // user rights
inline constexpr const char* fkLocksmithID = "lmi";   // ID in the locksmith store
inline constexpr const char* fkCabinetStock = "ct";   // on the key-cabinet link: in stock
inline constexpr const char* fkCabinetOwned = "tl";   // on the key-cabinet link: belonging

// What a field means, for the field catalogue and for documentation screens.
struct TFieldMeaning {
  const char* key;
  const char* classes;  // the classes that carry it
  const char* meaning;
};
const std::vector<TFieldMeaning>& FieldMeanings();

// ---------------------------------------------------------------------------------------
// Core message table. Numbers 26, 34 and 67 to 69 are not used; "#13#" in a text is a line
// break (CR). Entry 0 is the unit's name.
std::string CoreText(int number);
// CoreText with every "%1" replaced by `argument`.
std::string CoreTextFmt(int number, const std::string& argument);

// Texts this unit needs beyond the shared ones.
inline constexpr int ctKeySystemNameRefused = 138;  // "%1": the refused name

// ---------------------------------------------------------------------------------------
// Captions. German when the current language is German, else the translation of the
// English text, else the German text.
std::string LangCaption(const std::string& german, const std::string& english);
std::string BuildingCaption();
std::string BuildingsCaption();
std::string CylinderCaption();
std::string CylindersCaption();
std::string LockCylindersCaption();
std::string KeyCaption();
std::string KeysCaption();
std::string CabinetCaption();
std::string CabinetsCaption();
std::string HolderCaption();
std::string HoldersCaption();
std::string UserCaption();
std::string UsersCaption();
std::string IssuedOnCaption();
// The caption of a class, singular or plural; "Class" + number for classes without one.
std::string ClassCaption(int cls, bool plural);

// The person term (configured, else "Mitarbeiter") and the department term.
std::string PersonTerm();
std::string DepartmentTerm();
// "alle anzeigen", its upper-case form, and " von ".
std::string ShowAllText();
std::string ShowAllTextUpper();
std::string VonText();

// ---------------------------------------------------------------------------------------
// Locking-system codes, field "ks": 1..40 one of 40 named systems, 1001 + building ID the
// system of that building, 0 none; in filters ksAll means all systems.
using TKeySystemCode = int32_t;
inline constexpr TKeySystemCode ksNone = 0;
inline constexpr TKeySystemCode ksFirstNamed = 1;
inline constexpr TKeySystemCode ksLastNamed = 40;
inline constexpr TKeySystemCode ksBuildingBase = 1001;
inline constexpr TKeySystemCode ksAll = 0x7FFFFFFF;
inline constexpr int kKeySystemNameMaxLen = 15;
inline constexpr const char* kKeySystemNamesHeader = "KeysystemNames";

// The name of a numbered system as the table holds it (empty outside 1..40).
std::string KeySystemTableName(TKeySystemCode code);
// A name fit for the table: control characters become blanks, cut to 15 characters.
std::string CleanKeySystemName(const std::string& name);
// False when the name could make the "KeysystemNames" header line read as a record line
// (an item "i=..." in it, wherever the comma text puts it).
bool KeySystemNameAcceptable(const std::string& name);
// Sets the name of code 1..40 (cleaned). A name that is not acceptable is refused with a
// message (core text ctKeySystemNameRefused); false then, and for a code outside 1..40.
bool SetKeySystemName(TKeySystemCode code, const std::string& name);
// Reads "KeysystemNames" of the store into a fresh table (names of another client never
// remain) and names codes 1 to 3 that have none ("Anlage1" ...). True when the table
// changed. A missing header is not written here.
bool ReadKeySystemNames(const TMiniDB& db);
// ReadKeySystemNames, then rebuilds the store's display names (when anything they are made
// of changed) and refills the filter.
void LoadKeySystemNames(TMiniDB& db);
// The comma text that SaveKeySystemNames writes: the names in code order, trailing empty
// names dropped, "-" when there is none.
std::string KeySystemNamesText();
// Writes the names into the header. Refuses (message, false) when a name is not
// acceptable; false also when the store did not take the header.
bool SaveKeySystemNames(TMiniDB& db);
// 1..40: the table entry; above 1001: the display name of the valid building code - 1001;
// otherwise empty.
std::string KeySystemName(const TMiniDB& db, TKeySystemCode code);
// KeySystemName of the item's "ks".
std::string ItemKeySystemName(const TMiniDB& db, int32_t item);

struct TKeySystemFilterEntry {
  std::string text;
  TKeySystemCode code = 0;
};
// Refills the locking-system filter: "alle von <building>" for each building with a
// system of its own, then "alle von <system>" for each named system 1..1000 used by a
// door or a key; sorted by text (ignoring case), repeated texts left out.
void FillKeySystemFilter(const TMiniDB& db);
const std::vector<TKeySystemFilterEntry>& KeySystemFilter();

// ---------------------------------------------------------------------------------------
// Key types, field "kt".
enum TKeyType : int {
  ktNone = 0,
  ktSingle = 1,        // ES, single lock
  ktGroup = 2,         // GS
  ktMainGroup = 3,     // HGS
  ktMaster = 4,        // HS
  ktGeneralMaster = 5, // GHS: opens every door of its locking system
  ktUpperGroup = 6,    // OGS
  ktEmergency = 7,     // GFS
  ktCoLockI = 8,       // I
  ktCoLockM = 9,       // M
};
inline constexpr int kKeyTypeCount = 10;

// The abbreviation of a type; empty outside 1..9.
std::string KeyTypeAbbrevOf(int type);
// The abbreviation of the item's "kt"; empty when it is not a number in 1..9.
std::string KeyTypeAbbrev(const TMiniDB& db, int32_t item);
// The long name of a type (8 and 9 share one); empty outside 1..9.
std::string KeyTypeLongName(int type);
// The type a text names (abbreviation or long name, ignoring case; only the first word
// counts); 0 when none.
int ParseKeyType(const std::string& text);

// Key transfer kinds 1..6 in the past tense ("geliefert" ...); empty outside.
std::string TransferActionName(int kind);
// The action names ("Bestellung" ...); 0 is "-"; empty outside 0..6.
std::string ActionName(int kind);

// ---------------------------------------------------------------------------------------
// The open client's vocabulary (the client session's).

// A names generation (TVocabulary::namesGeneration) never handed out before.
uint64_t NewNamesGeneration();

struct TVocabulary {
  std::array<std::string, ksLastNamed + 1> keySystemNames;  // index = code, 0 unused
  std::vector<TKeySystemFilterEntry> keySystemFilter;
  std::string personTerm;      // configured term, empty = the default
  std::string departmentTerm;  // configured term, empty = the default
  // The short names of the holder kinds (HolderUnit's table; filled on first use).
  std::array<std::string, 8> holderKindNames;
  bool holderKindNamesFilled = false;
  // Changes with every change of the names above and of the name functions, so that caches
  // of display names know when to rebuild. The values come from one counter of the whole
  // process (NewNamesGeneration): a store that outlives a client session never takes the
  // next session's names for the ones it was named with.
  uint64_t namesGeneration = NewNamesGeneration();
};
TVocabulary& Vocabulary();
// Back to the start-up state (with a new names generation).
void ResetVocabulary();

// Start-up: takes the configured person and department terms (empty: the defaults) and
// names codes 1 to 3 that have no name.
void InitGlobalTexts(const std::string& personTerm = "", const std::string& departmentTerm = "");

// ---------------------------------------------------------------------------------------
// Display texts.

// Bracket characters of the names with context.
inline constexpr char kBracketNone = 0;
inline constexpr char kBracketTab = 9;
inline constexpr char kBracketRound = '(';
inline constexpr char kBracketSquare = '[';

// Installs the per-class name functions into the store and rebuilds its names. After a
// load, reading the client's locking-system names first (ReadKeySystemNames) has the names
// made once.
void InstallNameFuncs(TMiniDB& db);
// The record's name: "n", with " [" + "n2" + "]" for buildings, keys, cylinders and bunches.
std::string PlainItemName(const TMiniDB& db, int32_t id);
// The record's name with its context (building of a door, system of a key, cylinder or
// group, department and number of a person) decorated with the bracket character.
std::string NameWithContext(const TMiniDB& db, int32_t id, char bracket);

// Lines trimmed, empty ones left out, joined by blanks.
std::string JoinLines(const std::string& text);
// The item's remark as one line.
std::string ItemRemarkLine(const TMiniDB& db, int32_t item);
// A door's room number and room name joined by a blank.
std::string RoomText(const TMiniDB& db, int32_t door);
// name + " [" + second + "]" when second is set.
std::string NameWithSecondName(const std::string& name, const std::string& second);
// "(": text + " (" + suffix + ")"; "[": text + " [" + suffix + "]"; TAB: text + TAB +
// suffix; otherwise, or for an empty suffix outside the TAB mode, the text.
std::string DecorateWithBrackets(const std::string& text, const std::string& suffix,
                                 char bracket);

// =======================================================================================
// Helpers that views, lists, prints and imports share.

// ---------------------------------------------------------------------------------------
// Person fields of receipt templates: every "#PERSON:" ... "#" field (found without regard
// to case) becomes its inner text with the words NAME, DEPT and NUMBER (any case) replaced
// by the person's display name, department and personnel number. One pass over the
// template: what a value brings in is never replaced again, and a field without its
// closing "#" ends the replacing (the rest stays as it is).
void FillFieldPlaceholders(const TMiniDB& db, int32_t person, std::string& text);

// ---------------------------------------------------------------------------------------
// Cabinets.

// The hook of the item in the cabinet: the link's "po"; when that is empty, the item's own
// "cabpos" if the item hangs in exactly that one cabinet.
std::string GetHookText(const TMiniDB& db, int32_t item, int32_t cabinet);

inline constexpr int kCabinetTotalsDiffer = 1;  // every link has "tl", the sum is not the total
inline constexpr int kCabinetStockDiffers = 2;  // every link has "ct", the sum is not the stock
// Sums "tl" and "ct" over the item's cabinet links; the flags above (none without links).
int SumCabinetTotals(const TMiniDB& db, int32_t item, const std::string& totalText,
                     const std::string& stockText, int32_t& sumTotal, int32_t& sumStock);

// The identifiers of the item's "embs" list, one per line (the list is cleared first).
void EmbossNumbersOf(const TMiniDB& db, int32_t item, TQStringList& strings);

// ---------------------------------------------------------------------------------------
// Texts.

// Characters below 33 dropped; letters, digits and characters from 128 up kept; any other
// character becomes ".". ("12-34 mm" -> "12.34mm")
std::string NormalizeSearchText(const std::string& text);
// Replaces every occurrence of `oldText`; nothing happens when `oldText` is empty or
// `newText` contains it.
void ReplaceAllText(std::string& text, const std::string& oldText, const std::string& newText);
// A valid date, optionally followed by a blank and a valid time ("h:mm" or "h:mm:ss"),
// becomes the date in the user's format, " " and "hh:nn"; anything else is returned as it is.
std::string NormalizeDateTimeText(const std::string& text);
// Adds the line to the item's remark "r" unless the remark has a line equal to it.
void AddRemarkLines(TMiniDB& db, int32_t item, const std::string& line);
// The same on a remark text (its lines as one comma text); false when nothing was added.
bool AddRemarkLineTo(std::string& remark, const std::string& line);

// ---------------------------------------------------------------------------------------
// Small codes.

// The holder-list action of the keys and cylinders views: 4 -> 2, 5 -> 5, 6 -> 4, 7 -> 2,
// anything else 0.
int ActionStateCode(int code);
// The version code of the Windows line (1..10) from its platform (0 Win32s, 1 9x, 2 NT)
// and version; this system reports the code of the latest line.
int WindowsVersionCodeOf(int platform, int major, int minor);
int GetWindowsVersionCode();

// ---------------------------------------------------------------------------------------
// Pinning combinations: the ";"-separated rows of pin digits (with `skipHeader` the text's
// first two TAB fields are skipped first) as the tree of running sums per chamber. False,
// and nothing added, when it would give more than kPinningTreeMaxLines lines.
inline constexpr int64_t kPinningTreeMaxLines = 100000;
bool PinningTree(const std::string& text, bool skipHeader, TQStringList& out);
// How many lines PinningTree gives for the text.
int64_t PinningTreeCount(const std::string& text, bool skipHeader);

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* CoreTexts();
