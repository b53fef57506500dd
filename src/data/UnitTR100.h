#pragma once
// The program's vocabulary: item classes and their captions, the record fields, the core
// message table, locking-system codes and their names, key types, the action names of key
// transfers, the display texts of records and a few shared texts. Every view, print and
// import takes its words from here, so a change of language or of a configured term
// reaches the whole program. Behind the vocabulary follow the helpers that views, lists,
// prints and imports share (person placeholders, list sort keys, cabinet values, text
// normalisers, the manual, the lending overview of a person, the pinning tree).
//
// Program-wide state of this unit (the 40 locking-system names of the open client, the
// locking-system filter, the configured person and department terms, the store the
// display-name functions read) lives in one object, `Vocabulary()`, that a test resets
// with `ResetVocabulary()`; the per-user list options live in `ViewOptions()`
// (`ResetViewOptions()`).

#include <array>
#include <cstdint>
#include <functional>
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
// remain), names codes 1 to 3 that have none ("Anlage1" ...), rebuilds the store's display
// names and refills the filter. A missing header is not written here.
void LoadKeySystemNames(TMiniDB& db);
// The comma text that SaveKeySystemNames writes: the names in code order, trailing empty
// names dropped, "-" when there is none.
std::string KeySystemNamesText();
// Writes the names into the header. Refuses (message, false) when a name is not
// acceptable; false also when the store did not take the header.
bool SaveKeySystemNames(TMiniDB& db);
// 1..40: the table entry; above 1001: the display name of the valid building code - 1001;
// otherwise empty.
std::string KeySystemName(TMiniDB& db, TKeySystemCode code);
// KeySystemName of the item's "ks".
std::string ItemKeySystemName(TMiniDB& db, int32_t item);

struct TKeySystemFilterEntry {
  std::string text;
  TKeySystemCode code = 0;
};
// Refills the locking-system filter: "alle von <building>" for each building with a
// system of its own, then "alle von <system>" for each named system 1..1000 used by a
// door or a key; sorted by text (ignoring case), repeated texts left out.
void FillKeySystemFilter(TMiniDB& db);
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
std::string KeyTypeAbbrev(TMiniDB& db, int32_t item);
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
// Program-wide state of the vocabulary.
struct TVocabulary {
  std::array<std::string, ksLastNamed + 1> keySystemNames;  // index = code, 0 unused
  std::vector<TKeySystemFilterEntry> keySystemFilter;
  std::string personTerm;      // configured term, empty = the default
  std::string departmentTerm;  // configured term, empty = the default
  TMiniDB* namingStore = nullptr;  // the store the display-name functions read
  // Counts every change of the names above and of the name functions, so that caches of
  // display names know when to rebuild.
  uint64_t namesGeneration = 0;
};
TVocabulary& Vocabulary();
// Back to the start-up state (the names generation keeps counting).
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

// Installs the per-class name functions into the store, makes it the store they read and
// rebuilds its names.
void InstallNameFuncs(TMiniDB& db);
// The record's name: "n", with " [" + "n2" + "]" for buildings, keys, cylinders and bunches.
std::string PlainItemName(TMiniDB& db, int32_t id);
// The record's name with its context (building of a door, system of a key, cylinder or
// group, department and number of a person) decorated with the bracket character.
std::string NameWithContext(TMiniDB& db, int32_t id, char bracket);

// Lines trimmed, empty ones left out, joined by blanks.
std::string JoinLines(const std::string& text);
// The item's remark as one line.
std::string ItemRemarkLine(TMiniDB& db, int32_t item);
// A door's room number and room name joined by a blank.
std::string RoomText(TMiniDB& db, int32_t door);
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
void FillFieldPlaceholders(TMiniDB& db, int32_t person, std::string& text);

// ---------------------------------------------------------------------------------------
// Per-user view options, by class: whether names are compared by their natural sort key,
// and a display variant 0..9 (variant 1 lists doors and cylinders by closing numbers,
// variant 2 puts "k603" before the names).
struct TViewOptions {
  std::array<bool, 256> naturalNames{};
  std::array<uint8_t, 256> variant{};
  bool closingFormatter = false;  // the formatter SelectItemFormatter installed last
};
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
std::string StandardSortKey(TMiniDB& db, int32_t id);
std::string ClosingSortKey(TMiniDB& db, int32_t id);
// The key of the formatter SelectItemFormatter installed last.
std::string ItemSortKey(TMiniDB& db, int32_t id);
// The same appended to `key`, with the record's mother (its first link of kind lkMother,
// 0 without), which the key is built from: a list filler makes one key per listed record.
void AppendItemSortKey(TMiniDB& db, int32_t id, std::string& key, int32_t& mother);
int CompareSortKeys(std::string_view a, std::string_view b);

// ---------------------------------------------------------------------------------------
// Cabinets.

// The hook of the item in the cabinet: the link's "po"; when that is empty, the item's own
// "cabpos" if the item hangs in exactly that one cabinet.
std::string GetHookText(TMiniDB& db, int32_t item, int32_t cabinet);

inline constexpr int kCabinetTotalsDiffer = 1;  // every link has "tl", the sum is not the total
inline constexpr int kCabinetStockDiffers = 2;  // every link has "ct", the sum is not the stock
// Sums "tl" and "ct" over the item's cabinet links; the flags above (none without links).
int SumCabinetTotals(TMiniDB& db, int32_t item, const std::string& totalText,
                     const std::string& stockText, int32_t& sumTotal, int32_t& sumStock);

// The identifiers of the item's "embs" list, one per line (the list is cleared first).
void EmbossNumbersOf(TMiniDB& db, int32_t item, TQStringList& strings);

// ---------------------------------------------------------------------------------------
// Redundant links.

// Removes the key's direct door links (both directions) for doors that its cylinders or
// the cylinders of its groups reach anyway; how many.
int RemoveRedundantDoorLinks(TMiniDB& db, int32_t key);
// Removes the item's direct cylinder links (both directions) for cylinders that its
// groups reach; how many.
int RemoveRedundantCylinderLinks(TMiniDB& db, int32_t item);

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
// Program folder and manual.

// The folder of the running program, absolute, with a trailing "/".
std::string GetProgramFolder();
// The PDF manual in the folder (the program's when empty): "Anleitung_TESSARO.pdf",
// "Anleitung TESSARO.pdf" or "Anleitung.pdf", the first that exists; empty when none.
std::string ManualFileName(const std::string& folder = "");
// Opens a document with the desktop's default application; replaceable for tests.
using TDocumentOpener = std::function<bool(const std::string& file)>;
void SetDocumentOpener(TDocumentOpener opener);
// Opens the manual; "Datei nicht gefunden." when there is none. True when it was opened.
bool OpenManual(const std::string& folder = "");

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
// The lending overview of a person: TAB-separated rows, the captions first, then one row
// per holding of the person (kind 4) of every key and key bunch linked to them; codes
// 1 key, 2 identifier, 3 locking system, 4 count, 5 issued on, 6 deadline, 7 cabinet,
// 8 hook, 9 closing; others give no column, an empty list means 1 to 6. With blank rows,
// three pairs of an empty row and a row of lines to fill in by hand follow.
TQStringList BuildPersonKeyList(TMiniDB& db, int32_t person, const std::vector<int>& codes,
                                bool withBlankRows);
// The column caption of a code of the lending overview (1..9; others: the closing's).
std::string PersonKeyListCaption(int code);

// ---------------------------------------------------------------------------------------
// Pinning combinations: the ";"-separated rows of pin digits (with `skipHeader` the text's
// first two TAB fields are skipped first) as the tree of running sums per chamber. False,
// and nothing added, when it would give more than kPinningTreeMaxLines lines.
inline constexpr int64_t kPinningTreeMaxLines = 100000;
bool PinningTree(const std::string& text, bool skipHeader, TQStringList& out);
// How many lines PinningTree gives for the text.
int64_t PinningTreeCount(const std::string& text, bool skipHeader);
