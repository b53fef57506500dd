#include "data/UnitTR100.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/MultiLingua.h"
#include "basic/SLUnit.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"
#include "data/RemarkTextUnit.h"

namespace {

// The ";"-separated entry of a text, 0-based; empty when there are fewer.
std::string SemicolonEntry(const std::string& text, int index) {
  if (index < 0) return "";
  size_t start = 0;
  for (int i = 0; i < index; ++i) {
    size_t sep = text.find(';', start);
    if (sep == std::string::npos) return "";
    start = sep + 1;
  }
  size_t end = text.find(';', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

struct TCoreEntry {
  int number;
  const char* text;
};

// The unit's German texts by number.
const TCoreEntry kCoreTexts[] = {
    {0, "UnitTR100"},
    {1, "Schlie\xDF" "anlage"},
    {2, "Name"},
    {3, "T\xFCr"},
    {4, "Formular"},
    {5, "T\xFCren"},
    {6, "Anzahl"},
    {7, "Ausdruck l\xE4uft ..."},
    {8, "Schl\xFCsseltyp"},
    {9, "Bezeichnung"},
    {10, "Bemerkung"},
    {11, "Der Import wird nicht gestartet."},
    {12, "Diese Namen existieren schon:%1Trotzdem starten? (Doppelte werden \xFC" "bersprungen)"},
    {13, "Die Angabe \"%1\" ist kein bekanntes Geb\xE4ude."},
    {14, "Die Angabe \"%1\" ist kein bekanntes Schlie\xDFsystem."},
    {15, "Import l\xE4uft - bitte warten"},
    {16, "Die Angabe \"%1\" ist keine bekannte Anlage."},
    {17, "Die Angabe \"%1\" ist kein bekannter Schl\xFCsseltyp (ES, GS, HGS, HS, GHS)."},
    {18, "Die Angabe \"%1\" ist kein g\xFCltiger Wert f\xFCr die Anzahl."},
    {19, "alle von"},
    {20, "Geb\xE4ude [Singular]"},
    {21, "Geb\xE4ude [Plural]"},
    {22, "Zylinder [Singular]"},
    {23, "Zylinder [Plural]"},
    {24, "Schl\xFCssel [Singular]"},
    {25, "Schl\xFCssel [Plural]"},
    {27, "Kein Schreibzugriff m\xF6glich."},
    {28, "Druck wegen Dateifehler abgebrochen."},
    {29, "Fehler beim Drucken"},
    {30, "bitte loggen Sie sich zun\xE4" "chst ein"},
    {31, "bitte einen Namen eingeben oder Abbrechen w\xE4hlen"},
    {32, "Bitte beenden Sie zuerst diese Eingabe#13#(z.B. durch Speichern oder Abbrechen)."},
    {33, "Programm unvollst\xE4ndig - Fehler #%1 bitte beim Softwarehersteller melden!"},
    {35, "Position"},
    {36, "Zyl.-L\xE4nge"},
    {37, "Bitte \xE4ndern Sie die Schlie\xDF" "anlage oder w\xE4hlen Sie ein Geb\xE4ude dazu."},
    {38, "Das zugeh\xF6rige Geb\xE4ude hat eine eigene Schlie\xDF" "anlage.#13#Soll die Eingabe dieser Schlie\xDF" "anlage zugeordnet werden?"},
    {39, "Es wird keine Schlie\xDF" "anlage eingestellt."},
    {40, "Es wird die Schlie\xDF" "anlage %1 vom Geb\xE4ude \xFC" "bernommen."},
    {41, "Das zugeh\xF6rige Geb\xE4ude hat keine eigene Schlie\xDF" "anlage."},
    {42, "Sie haben keine Befugnis \xC4nderungen durchzuf\xFChren."},
    {43, "Datei nicht gefunden."},
    {44, "Anleitung_TESSARO.pdf"},
    {45, "bitte warten"},
    {46, ";ES;GS;HGS;HS;GHS;OGS;GFS;I;M"},
    {47, "Bestellung;Ausgabe;R\xFC" "cknahme;Defekt;Verlust;Wiedergefunden"},
    {48, "Datum"},
    {49, "Frist"},
    {50, "verloren"},
    {51, "verloren von"},
    {52, "Sie finden die Information im PDF-Dokument auf Seite %1.#13#Die Datei wird geladen nachdem Sie Ok angeklickt haben."},
    {53, "Wir empfehlen die Installation von Adobe Reader 7 oder neuer,#13#um eine automatische Seitenansteuerung unterst\xFCtzen zu k\xF6nnen."},
    {54, "Suche l\xE4uft ..."},
    {55, "St\xFC" "ck"},
    {56, "Anlage"},
    {57, "Empf\xE4nger"},
    {58, "unbekannt"},
    {59, "Hersteller"},
    {60, "Schl\xFCsselschrank"},
    {61, "Nr."},
    {62, "Abteilung"},
    {63, "Mitarbeiter"},
    {64, "Bitte wenden Sie sich an einen der folgenden Benutzer:"},
    {65, "Sie haben keine Berechtigung f\xFCr diese \xDC" "bergabe."},
    {66, "Sie haben keine Berechtigung f\xFCr Ausdrucke oder Exporte."},
    // The info dialog's web and mail address: reserved example names, no real address.
    {67, "https://www.tessaro.example/"},
    {68, "info@tessaro.example"},
    {70, "alle anzeigen"},
    {71, "alle Geb\xE4ude"},
    {72, "ohne Geb\xE4ude-Zuordnung"},
    {73, "Schlie\xDFplan"},
    {74, "Fehler beim Export"},
    {75, "Diese Funktion ist im Sandkasten-Modus nicht verf\xFCgbar."},
    {76, "Der Datensatz kann nicht gel\xF6scht werden, solange Kopien vorhanden sind."},
    {77, "Die in dieser Datensatzkopie gespeicherte Menge konnte nicht#13#an den \xFC" "bergeordneten Datensatz zur\xFC" "cktransferiert werden."},
    {78, "Eine Kopie kann nicht unterteilt werden.#13#Bitte w\xE4hlen Sie den \xFC" "bergeordneten Datensatz."},
    {79, "Keine g\xFCltige JPG-Datei."},
    {80, "Bitte geben Sie ein vollst\xE4ndiges Datum ein."},
    {81, "Sandkasten"},
    {82, "Einzelschlie\xDFung;Gruppenschl\xFCssel;Hauptgruppenschl\xFCssel;Hauptschl\xFCssel;Generalhauptschl\xFCssel;Obergruppenschl\xFCssel;Gefahrenschl\xFCssel;Mitschlie\xDFung"},
    {83, "geliefert;ausgegeben;zur\xFC" "ckgegeben;vernichtet;verloren;wiedergefunden"},
    {84, "Bitte w\xE4hlen Sie einen abgeleiteten Eintrag (Tochter)."},
    {85, "Schl\xFCsselbund"},
    {86, "Bund"},
    {87, "Raum"},
    {88, "Stockwerk"},
    {89, "laut Tabelle"},
    {90, "bitte w\xE4hlen"},
    {91, "Die Datei konnte nicht geladen werden."},
    {92, "Schl\xFCssel\xFC" "bergabe"},
    {93, "Der Pfad konnte nicht \xFC" "bernommen werden."},
    {94, "Kennung"},
    {95, "kritik.html"},
    {96, "Grundriss"},
    {97, "von"},
    {98, "Tabelle"},
    {99, "Haken"},
    {100, "Bitte beenden Sie zuerst die Schl\xFCssel-Eingabe#13#(z.B. durch Speichern oder Abbrechen)."},
    {101, "Bestand"},
    {102, "Info: In dieser Liste werden %1 Eintr\xE4ge angezeigt"},
    {103, "Tessaro Datenbank"},
    {104, "Das Bild konnte nicht ge\xF6" "ffnet werden."},
    {105, "Die unterst\xFCtzten Dateiformate variieren je nach Windows-System.#13#Bitte versuchen Sie eine BMP-Datei oder installieren Sie Microsoft GDI+"},
    {106, "F\xFCr den gew\xE4hlten Zeitpunkt ist keine R\xFC" "cksprunginformation vorhanden."},
    {107, "Zeitreise"},
    {108, "Zeitreise zum Datenbankstand"},
    {109, "R\xFC" "ckgabefrist"},
    {110, "Tabelle \xF6" "ffnen"},
    {111, "Der neue Bestand wird negativ (kleiner Null).#13#Trotzdem fortsetzen? (nicht empfohlen!)"},
    {112, "Trotzdem fortsetzen?"},
    {113, "Der Datensatz konnte nicht dupliziert werden.#13#Eventuell sind zur Zeit verkn\xFCpfte Datens\xE4tze in Bearbeitung."},
    {114, "Anz"},
    {115, "Kenn"},
    {116, "Hauptgeb\xE4ude"},
    {117, "Hauptschrank"},
    {118, "Soll das Geb\xE4ude jetzt angelegt werden?"},
    {119, "Bitte den Namen \xE4ndern!"},
    {120, "Schlie\xDFung"},
    {121, "Raum-Nr."},
    {122, "Sie haben keinen Schrank ausgew\xE4hlt, f\xFCr den Sie eine Zugriffserlaubnis haben.#13#Deshalb d\xFCrfen Sie diesen Datensatz so nicht speichern."},
    {123, "Original-Datenbank"},
    {124, "Suchbegriff"},
    {125, "Ausdruck"},
    {126, "Alle Datens\xE4tze (%1) jetzt umbenennen?"},
    {127, "Gruppenschl\xFCssel"},
    {128, "Gruppe"},
    {129, "Gruppen"},
    {130, "Schlie\xDFgruppe"},
    {131, "Schlie\xDFgruppen"},
    {132, "Person"},
    {133, "Personen"},
    {134, "Fehler beim Speichern der Datei"},
    {135, "Datei \xF6" "ffnen"},
    {136, "Fehler beim Speichern der Unterschrift."},
    {137, "Keine Unterschrift gefunden."},
    {ctKeySystemNameRefused,
     "Der Name \"%1\" ist als Name einer Schlie\xDF" "anlage nicht zul\xE4ssig."},
};

}  // namespace

// The message table, registered with the language system on first use.
const TMLStringList* CoreTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    for (const auto& e : kCoreTexts) t->Add255Obj(e.text, e.number);
    return t;
  }();
  return table;
}

// ---------------------------------------------------------------------------------------
// Core message table

std::string CoreText(int number) { return GetMLText(CoreTexts(), number); }

std::string CoreTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(CoreTexts(), number, argument);
}

// ---------------------------------------------------------------------------------------
// Field meanings

const std::vector<TFieldMeaning>& FieldMeanings() {
  static const std::vector<TFieldMeaning> table = {
      {"n", "all", "name"},
      {"n2", "keys, buildings, cylinders, key bunches", "second name, shown in square brackets"},
      {"r", "all", "remark, may have several lines"},
      {"ks", "doors, keys, cylinders, groups, buildings", "locking-system code"},
      {"kt", "keys", "key type"},
      {"own", "keys, key bunches", "holder lines"},
      {"cnt", "keys", "pieces in stock"},
      {"total", "keys, cylinders", "pieces in total"},
      {"ccnt", "cylinders", "pieces in total when \"total\" is empty"},
      {"min", "keys", "minimum stock"},
      {"embs", "keys", "identifiers ever issued"},
      {"Nr", "persons", "personnel number"},
      {"Abt", "persons", "department"},
      {"len", "cylinders", "cylinder length"},
      {"rom", "doors", "room number"},
      {"romn", "doors", "room name"},
      {"rg", "users", "rights"},
      {"lmi", "items", "ID of the linked record in the locksmith store"},
      {"ct", "key to key cabinet link", "pieces of the key in stock in that cabinet"},
      {"tl", "key to key cabinet link", "pieces of the key belonging to that cabinet"},
  };
  return table;
}

// ---------------------------------------------------------------------------------------
// Program-wide state

uint64_t NewNamesGeneration() {
  static uint64_t generations = 0;
  return ++generations;
}

void ResetVocabulary() { Vocabulary() = TVocabulary{}; }

// ---------------------------------------------------------------------------------------
// Captions

std::string LangCaption(const std::string& german, const std::string& english) {
  const tMLSystem* system = MLSystemOrNull();
  if (!system) return german;
  const std::string& current = system->CurrentLanguage();
  if (current == "DE") return german;
  int grade = mlgNone;
  std::string translated = system->TranslateText(english, "EN", current, grade);
  if (grade != mlgNone && !translated.empty()) return translated;
  if (tMLSystem::AliasOf(current) == "EN") return english;
  return german;
}

std::string BuildingCaption() { return LangCaption("Geb\xE4ude", "Building"); }
std::string BuildingsCaption() { return LangCaption("Geb\xE4ude", "Buildings"); }
std::string CylinderCaption() { return LangCaption("Zylinder", "Cylinder"); }
std::string CylindersCaption() { return LangCaption("Zylinder", "Cylinders"); }
std::string LockCylindersCaption() {
  return LangCaption("Schlie\xDFzylinder", "Lock Cylinders");
}
std::string KeyCaption() { return LangCaption("Schl\xFCssel", "Key"); }
std::string KeysCaption() { return LangCaption("Schl\xFCssel", "Keys"); }
std::string CabinetCaption() { return LangCaption("Schrank", "Cabinet"); }
std::string CabinetsCaption() { return LangCaption("Schr\xE4nke", "Cabinets"); }
std::string HolderCaption() { return LangCaption("Besitzer", "Holder"); }
std::string HoldersCaption() { return LangCaption("Besitzer", "Holders"); }
std::string UserCaption() { return LangCaption("Benutzer", "User"); }
std::string UsersCaption() { return LangCaption("Benutzer", "Users"); }
std::string IssuedOnCaption() { return LangCaption("Ausgabe", "Issued on"); }

std::string PersonTerm() {
  const std::string& configured = Vocabulary().personTerm;
  return configured.empty() ? CoreText(63) : configured;
}

std::string DepartmentTerm() {
  const std::string& configured = Vocabulary().departmentTerm;
  return configured.empty() ? CoreText(62) : configured;
}

std::string ShowAllText() { return CoreText(70); }
std::string ShowAllTextUpper() { return AnsiUpperCase(CoreText(70)); }
std::string VonText() { return " " + CoreText(97) + " "; }

std::string ClassCaption(int cls, bool plural) {
  switch (cls) {
    case icUser: return plural ? UsersCaption() : UserCaption();
    case icBuilding: return plural ? BuildingsCaption() : BuildingCaption();
    case icDoor: return CoreText(plural ? 5 : 3);
    case icKey: return plural ? KeysCaption() : KeyCaption();
    case icPerson: return PersonTerm();
    case icCylinder: return plural ? CylindersCaption() : CylinderCaption();
    case icGroup: return CoreText(plural ? 129 : 128);
    case icCabinet: return plural ? CabinetsCaption() : CabinetCaption();
    case icKeySystem: return CoreText(1);
    case icSettings: return MLTranslate("Einstellungen");
    default: return "Class" + std::to_string(cls);
  }
}

// ---------------------------------------------------------------------------------------
// Key types and action names

std::string KeyTypeAbbrevOf(int type) {
  if (type < 1 || type >= kKeyTypeCount) return "";
  return SemicolonEntry(CoreText(46), type);
}

std::string KeyTypeLongName(int type) {
  if (type < 1 || type >= kKeyTypeCount) return "";
  // The two co-locking types share the last long name.
  return SemicolonEntry(CoreText(82), std::min(type, 8) - 1);
}

int ParseKeyType(const std::string& text) {
  std::string word = Trim(text);
  size_t blank = word.find(' ');
  if (blank != std::string::npos) word = Trim(word.substr(0, blank));
  word = AnsiUpperCase(word);
  if (word.empty()) return ktNone;
  if (word.size() >= 2 && word.size() <= 5) {
    for (int type = 1; type < kKeyTypeCount; ++type) {
      if (word == AnsiUpperCase(KeyTypeAbbrevOf(type))) return type;
    }
  }
  static const struct {
    const char* name;
    int type;
  } kLongNames[] = {
      {"EINZELSCHL\xDCSSEL", ktSingle},
      {"GRUPPENSCHL\xDCSSEL", ktGroup},
      {"GF-GRUPPENSCHL\xDCSSEL", ktEmergency},
      {"HAUPTSCHL\xDCSSEL", ktMaster},
      {"GENERALHAUPTSCHL\xDCSSEL", ktGeneralMaster},
  };
  for (const auto& entry : kLongNames) {
    if (word == entry.name) return entry.type;
  }
  return ktNone;
}

std::string TransferActionName(int kind) {
  if (kind < 1 || kind > 6) return "";
  return SemicolonEntry(CoreText(83), kind - 1);
}

std::string ActionName(int kind) {
  if (kind == 0) return "-";
  if (kind < 1 || kind > 6) return "";
  return SemicolonEntry(CoreText(47), kind - 1);
}

// ---------------------------------------------------------------------------------------
// Small text helpers

std::string JoinLines(const std::string& text) {
  std::string out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(start, end - start));
    if (!line.empty()) {
      if (!out.empty()) out += ' ';
      out += line;
    }
    start = end + 1;
  }
  return out;
}

std::string NameWithSecondName(const std::string& name, const std::string& second) {
  if (second.empty()) return name;
  return name + " [" + second + "]";
}

std::string DecorateWithBrackets(const std::string& text, const std::string& suffix,
                                 char bracket) {
  if (bracket == kBracketTab) return text + '\t' + suffix;
  if (suffix.empty()) return text;
  if (bracket == kBracketRound) return text + " (" + suffix + ")";
  if (bracket == kBracketSquare) return text + " [" + suffix + "]";
  return text;
}

// ---------------------------------------------------------------------------------------
// Locking-system names

std::string KeySystemTableName(TKeySystemCode code) {
  if (code < ksFirstNamed || code > ksLastNamed) return "";
  return Vocabulary().keySystemNames[static_cast<size_t>(code)];
}

std::string CleanKeySystemName(const std::string& name) {
  std::string clean = name;
  for (char& c : clean) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return CopyLeft(clean, kKeySystemNameMaxLen);
}

bool KeySystemNameAcceptable(const std::string& name) {
  // The names are stored as comma text behind "KeysystemNames=" in a line of the record
  // store, which every reader also scans as a possible record line: an item "i=<number>"
  // would make it one. Where the comma text puts a name's parts depends on quoting and
  // on its position, so every piece that could start an item is checked.
  size_t i = 0;
  while (i < name.size()) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c <= 0x20 || c == ',' || c == '"') {
      ++i;
      continue;
    }
    if ((c == 'i' || c == 'I') && i + 1 < name.size() && name[i + 1] == '=') return false;
    while (i < name.size()) {
      unsigned char d = static_cast<unsigned char>(name[i]);
      if (d <= 0x20 || d == ',' || d == '"') break;
      ++i;
    }
  }
  return true;
}

namespace {

bool RefuseUnacceptableName(const std::string& name) {
  if (KeySystemNameAcceptable(name)) return false;
  UI().ShowMessage(TMsgKind::Error, CoreTextFmt(ctKeySystemNameRefused, name));
  return true;
}

// Codes 1 to 3 without a name get "Anlage1" to "Anlage3".
void NameDefaultSystems(std::array<std::string, ksLastNamed + 1>& names) {
  for (int code = 1; code <= 3; ++code) {
    if (names[static_cast<size_t>(code)].empty()) {
      names[static_cast<size_t>(code)] = CoreText(56) + std::to_string(code);
    }
  }
}

}  // namespace

bool SetKeySystemName(TKeySystemCode code, const std::string& name) {
  if (code < ksFirstNamed || code > ksLastNamed) return false;
  std::string clean = CleanKeySystemName(name);
  if (RefuseUnacceptableName(clean)) return false;
  Vocabulary().keySystemNames[static_cast<size_t>(code)] = clean;
  Vocabulary().namesGeneration = NewNamesGeneration();
  return true;
}

void InitGlobalTexts(const std::string& personTerm, const std::string& departmentTerm) {
  Vocabulary().personTerm = Trim(personTerm);
  Vocabulary().departmentTerm = Trim(departmentTerm);
  NameDefaultSystems(Vocabulary().keySystemNames);
  // The holder kind names are filled again from the core texts at their next use.
  Vocabulary().holderKindNamesFilled = false;
  Vocabulary().namesGeneration = NewNamesGeneration();
}

std::string KeySystemNamesText() {
  const auto& names = Vocabulary().keySystemNames;
  int last = 0;
  for (int code = ksFirstNamed; code <= ksLastNamed; ++code)
    if (!names[static_cast<size_t>(code)].empty()) last = code;
  if (last == 0) return "-";
  std::vector<std::string> items(names.begin() + 1, names.begin() + 1 + last);
  std::string text = BuildCommaText(items);
  // A single name "-" must not read back as "no names".
  if (text == "-") text = "\"-\"";
  return text;
}

bool ReadKeySystemNames(const TMiniDB& db) {
  // Every load starts afresh: names of a client opened before must not stay behind.
  std::array<std::string, ksLastNamed + 1> names;
  std::string value = db.GetHeaderValue(kKeySystemNamesHeader);
  if (value != "-") {
    std::vector<std::string> items;
    ParseCommaText(value, items);
    for (size_t i = 0; i < items.size() && i < static_cast<size_t>(ksLastNamed); ++i)
      names[i + 1] = CleanKeySystemName(items[i]);
  }
  NameDefaultSystems(names);
  // The same names again leave the display names made with them valid.
  if (names == Vocabulary().keySystemNames) return false;
  Vocabulary().keySystemNames = std::move(names);
  Vocabulary().namesGeneration = NewNamesGeneration();
  return true;
}

void LoadKeySystemNames(TMiniDB& db) {
  ReadKeySystemNames(db);
  db.RefreshAllNames();
  FillKeySystemFilter(db);
}

bool SaveKeySystemNames(TMiniDB& db) {
  for (int code = ksFirstNamed; code <= ksLastNamed; ++code)
    if (RefuseUnacceptableName(Vocabulary().keySystemNames[static_cast<size_t>(code)]))
      return false;
  std::string text = KeySystemNamesText();
  // The store's own reading of the line is the last word on whether it would be a record.
  std::vector<std::string> scratch;
  TLineInfo info;
  ScanRecordLine(std::string(kKeySystemNamesHeader) + "=" + text, scratch, info);
  if (info.id >= 1) {
    UI().ShowMessage(TMsgKind::Error, CoreTextFmt(ctKeySystemNameRefused, text));
    return false;
  }
  return db.SetHeaderValue(kKeySystemNamesHeader, text);
}

std::string KeySystemName(const TMiniDB& db, TKeySystemCode code) {
  if (code >= ksFirstNamed && code <= ksLastNamed) return KeySystemTableName(code);
  if (code > ksBuildingBase && code != ksAll) {
    int32_t building = code - ksBuildingBase;
    if (db.GetClass(building) == icBuilding && db.IsValid(building))
      return db.GetValidDisplayName(building);
  }
  return "";
}

std::string ItemKeySystemName(const TMiniDB& db, int32_t item) {
  return KeySystemName(db, db.ReadKeySystem(item));
}

namespace {

// False when the record (one that exists) certainly holds no item of the two-letter key:
// the key's bytes (in any case) followed by "=" are nowhere in its line. Block-wise, for the
// walks over thousands of lines that look for a field most of them lack.
bool MayHoldField(const TMiniDB& db, int32_t id, const char* key) {
  if (id == db.CurrentID) return true;  // its unsaved fields are not in the line
  const std::string& line = db.Lines[static_cast<size_t>(db.IndexLine[id])];
  const char first = static_cast<char>(key[0] | 0x20), second = static_cast<char>(key[1] | 0x20);
  const char* p = line.data();
  const char* const end = p + line.size();
#if defined(__SSE2__)
  const __m128i lowerBit = _mm_set1_epi8(0x20);
  const __m128i a = _mm_set1_epi8(first);
  const __m128i b = _mm_set1_epi8(second);
  const __m128i equals = _mm_set1_epi8('=');
  for (; end - p >= 18; p += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
    const __m128i hit = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(x, lowerBit), a),
                                                    _mm_cmpeq_epi8(_mm_or_si128(y, lowerBit), b)),
                                      _mm_cmpeq_epi8(z, equals));
    if (_mm_movemask_epi8(hit) != 0) return true;
  }
#endif
  for (; end - p >= 3; ++p)
    if ((p[0] | 0x20) == first && (p[1] | 0x20) == second && p[2] == '=') return true;
  return false;
}

}  // namespace

void FillKeySystemFilter(const TMiniDB& db) {
  std::vector<TKeySystemFilterEntry> entries;
  const std::string allOf = CoreText(19) + " ";
  TItemList list;
  db.ListClassValid(icBuilding, list);
  for (int32_t i = 0; i < list.Count(); ++i) {
    int32_t building = list.Get(i);
    if (!MayHoldField(db, building, fkKeySystem)) continue;  // no system of its own
    if (StrToIntZero(db.ReadLineField(building, fkKeySystem)) == ksBuildingBase)
      entries.push_back({allOf + db.GetValidDisplayName(building), building + ksBuildingBase});
  }
  // Of the tens of thousands of doors and keys only the named systems they use matter
  // (KeySystemName names nothing else from 1 to 1000), each once, in the order of first use:
  // of two systems with equal names the one used first stays. Once every named system is
  // seen, the rest cannot add any.
  std::array<bool, ksLastNamed + 1> seen{};
  int unseen = 0;
  for (TKeySystemCode code = ksFirstNamed; code <= ksLastNamed; ++code) {
    if (KeySystemTableName(code).empty()) seen[static_cast<size_t>(code)] = true;
    else ++unseen;
  }
  std::vector<TKeySystemCode> used;
  for (int cls : {icDoor, icKey}) {
    for (int32_t id = 1; id <= db.LastID && unseen > 0; ++id) {
      if (db.GetClass(id) != cls || !db.IsValid(id)) continue;
      const TKeySystemCode code = db.ReadKeySystem(id);
      if (code < ksFirstNamed || code > ksLastNamed || seen[static_cast<size_t>(code)]) continue;
      seen[static_cast<size_t>(code)] = true;
      --unseen;
      used.push_back(code);
    }
  }
  for (TKeySystemCode code : used) entries.push_back({allOf + KeySystemTableName(code), code});
  // Sorted by text; of equal texts the first one stays.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const TKeySystemFilterEntry& a, const TKeySystemFilterEntry& b) {
                     return AnsiCompareText(a.text, b.text) < 0;
                   });
  entries.erase(std::unique(entries.begin(), entries.end(),
                            [](const TKeySystemFilterEntry& a, const TKeySystemFilterEntry& b) {
                              return AnsiCompareText(a.text, b.text) == 0;
                            }),
                entries.end());
  Vocabulary().keySystemFilter = std::move(entries);
}

const std::vector<TKeySystemFilterEntry>& KeySystemFilter() {
  return Vocabulary().keySystemFilter;
}

std::string KeyTypeAbbrev(const TMiniDB& db, int32_t item) {
  return KeyTypeAbbrevOf(StrToIntZero(db.ReadLineField(item, fkKeyType)));
}

std::string ItemRemarkLine(const TMiniDB& db, int32_t item) {
  return RemarkToLine(db.ReadLineField(item, fkRemark));
}

std::string RoomText(const TMiniDB& db, int32_t door) {
  std::string room = Trim(db.ReadLineField(door, fkRoom));
  std::string roomName = Trim(db.ReadLineField(door, fkRoomName));
  if (room.empty()) return roomName;
  if (roomName.empty()) return room;
  return room + " " + roomName;
}

// ---------------------------------------------------------------------------------------
// Display names

namespace {

bool HasSecondName(int cls) {
  return cls == icBuilding || cls == icKey || cls == icCylinder || cls == icKeyBunch;
}

std::string FieldOf(const TQStringList& fields, const char* key) {
  return UnscrambleStr(fields.ValueOf(key));
}

std::string PlainNameOf(int cls, const TQStringList& fields) {
  std::string name = FieldOf(fields, fkName);
  if (HasSecondName(cls)) name = NameWithSecondName(name, FieldOf(fields, fkSecondName));
  return name;
}

// The context of a record for the names with context; empty when its class has none.
std::string ContextOf(const TMiniDB& db, int cls, const TQStringList& fields) {
  switch (cls) {
    case icDoor: {
      std::string links = fields.ValueOf("l2");
      int32_t building = StrToIntZero(FetchValue(links));
      if (db.GetClass(building) != icBuilding) return "";
      return db.GetValidDisplayName(building);
    }
    case icKey:
    case icCylinder:
    case icGroup: {
      TKeySystemCode code = StrToPosInt(FieldOf(fields, fkKeySystem));
      if (code >= ksFirstNamed && code <= ksLastNamed) return KeySystemTableName(code);
      return KeySystemName(db, code);
    }
    case icPerson: {
      std::string department = FieldOf(fields, fkDepartment);
      std::string number = FieldOf(fields, fkPersonNumber);
      if (department.empty()) return number;
      if (number.empty()) return department;
      return department + "/" + number;
    }
    default:
      return "";
  }
}

std::string ContextName(const TMiniDB& db, const TQStringList& fields, uint8_t style) {
  int cls = StrToByteZero(fields.ValueOf("c"));
  std::string name = PlainNameOf(cls, fields);
  char bracket = static_cast<char>(style);
  if (bracket == kBracketTab) {
    // Only persons have a TAB form (name and context in two columns).
    if (cls != icPerson) return name;
    return DecorateWithBrackets(name, ContextOf(db, cls, fields), kBracketTab);
  }
  if (bracket != kBracketRound && bracket != kBracketSquare) return name;
  return DecorateWithBrackets(name, ContextOf(db, cls, fields), bracket);
}

void PlainNameFunc(const TMiniDB& /*db*/, int32_t /*id*/, const TQStringList& fields,
                   std::string& name) {
  name = PlainNameOf(StrToByteZero(fields.ValueOf("c")), fields);
}

void ContextNameFunc(const TMiniDB& db, int32_t /*id*/, const TQStringList& fields,
                     uint8_t style, std::string& text) {
  text = ContextName(db, fields, style);
}

}  // namespace

void InstallNameFuncs(TMiniDB& db) {
  Vocabulary().namesGeneration = NewNamesGeneration();
  // What the store holds as the names before: its own reading of "n" (no function), or
  // this plain name already.
  const std::array<TNameFunc, 256> before = db.NameFunc;
  for (int cls : {icBuilding, icKey, icCylinder, icKeyBunch}) db.NameFunc[cls] = PlainNameFunc;
  // The display name (the TAB form) has a context for persons only; for the others it is
  // their plain name, which the store holds already, so the pass over the display names
  // reads the lines of the persons alone. NameWithContext gives the other forms either way.
  for (int cls : {icDoor, icKey, icCylinder, icGroup}) db.NameFunc2[cls] = nullptr;
  db.NameFunc2[icPerson] = ContextNameFunc;
  db.NamesInput = [] { return Vocabulary().namesGeneration; };
  // The plain names are computed while the store indexes its lines; a store that is open
  // already gets them now. Most records have no second name: their plain name is the "n"
  // the store holds, and their line is only looked through.
  static constexpr std::string_view keys[] = {fkName, fkSecondName};
  std::string values[2];
  const int32_t last = std::min<int32_t>(db.LastID, static_cast<int32_t>(db.Names.size()) - 1);
  for (int32_t id = 1; id <= last; ++id) {
    const int cls = db.GetClass(id);
    if (db.NameFunc[cls] != PlainNameFunc || !db.HasRecord(id)) continue;
    if (id != db.CurrentID && (before[cls] == nullptr || before[cls] == PlainNameFunc) &&
        !MayHoldField(db, id, fkSecondName))
      continue;
    db.ReadLineFields(id, keys, values, 2);
    db.Names[static_cast<size_t>(id)] = NameWithSecondName(values[0], values[1]);
  }
  db.RefreshAllNames();
}

std::string PlainItemName(const TMiniDB& db, int32_t id) {
  int cls = db.GetClass(id);
  std::string name = db.ReadName(id);
  if (HasSecondName(cls)) name = NameWithSecondName(name, db.ReadLineField(id, fkSecondName));
  return name;
}

std::string NameWithContext(const TMiniDB& db, int32_t id, char bracket) {
  if (!db.HasRecord(id)) return "";
  std::string text;
  if (db.NameFunc2[db.GetClass(id)] == ContextNameFunc) {
    db.BuildDisplayName(id, false, text, static_cast<uint8_t>(bracket));
  } else {
    TQStringList fields;
    db.ReadRecord(id, fields);
    text = ContextName(db, fields, static_cast<uint8_t>(bracket));
  }
  return text;
}

// =======================================================================================
// Helpers that views, lists, prints and imports share.

namespace {

bool StartsWithUpper(const std::string& text, size_t pos, const std::string& upperWord) {
  if (pos + upperWord.size() > text.size()) return false;
  for (size_t i = 0; i < upperWord.size(); ++i)
    if (UpCase1252(static_cast<unsigned char>(text[pos + i])) !=
        static_cast<unsigned char>(upperWord[i]))
      return false;
  return true;
}

// The inner text of a person field with its words replaced, in one pass.
std::string PersonFieldText(const std::string& inner, const std::string& name,
                            const std::string& dept, const std::string& number) {
  struct TWord {
    const char* word;
    const std::string* value;
  } const words[] = {{"NAME", &name}, {"DEPT", &dept}, {"NUMBER", &number}};
  std::string out;
  size_t i = 0;
  while (i < inner.size()) {
    bool hit = false;
    for (const TWord& w : words) {
      if (StartsWithUpper(inner, i, w.word)) {
        out += *w.value;
        i += std::char_traits<char>::length(w.word);
        hit = true;
        break;
      }
    }
    if (!hit) out += inner[i++];
  }
  return out;
}

// The rows of a pinning text and the length of the longest.
std::vector<std::string> PinningRows(const std::string& text, bool skipHeader, size_t& longest) {
  std::string rest = text;
  if (skipHeader) {
    FetchTabField(rest);
    FetchTabField(rest);
  }
  std::vector<std::string> rows;
  while (!rest.empty()) rows.push_back(FetchSemicolonField(rest));
  longest = 0;
  for (const std::string& row : rows) longest = std::max(longest, row.size());
  return rows;
}

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

// The rows that take part at a position: those before the first without a digit there.
size_t RowsAtPosition(const std::vector<std::string>& rows, size_t pos) {
  size_t n = 0;
  while (n < rows.size() && pos < rows[n].size() && IsDigitChar(rows[n][pos])) ++n;
  return n;
}

void PinningLevel(const std::vector<std::string>& rows, size_t longest, size_t pos,
                  std::string& prefix, TQStringList& out) {
  if (pos >= longest) {
    out.Add(prefix);
    return;
  }
  int sum = 0;
  for (size_t r = 0; r < rows.size(); ++r) {
    if (pos >= rows[r].size() || !IsDigitChar(rows[r][pos])) break;
    sum += rows[r][pos] - '0';
    prefix.push_back(static_cast<char>('0' + sum % 10));
    PinningLevel(rows, longest, pos + 1, prefix, out);
    prefix.pop_back();
  }
}

}  // namespace

void FillFieldPlaceholders(const TMiniDB& db, int32_t person, std::string& text) {
  static const std::string kField = "#PERSON:";
  if (text.empty()) return;
  std::string name, dept, number;
  bool loaded = false;
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = pos;
    while (start < text.size() && !StartsWithUpper(text, start, kField)) ++start;
    out.append(text, pos, start - pos);
    if (start >= text.size()) {
      pos = start;
      break;
    }
    const size_t innerStart = start + kField.size();
    const size_t close = text.find('#', innerStart);
    if (close == std::string::npos) {
      pos = start;  // an unterminated field stays as it is
      break;
    }
    if (!loaded) {
      // The list form of a display name carries its context after a TAB.
      name = db.GetDisplayName(person);
      name = name.substr(0, name.find('\t'));
      dept = db.ReadLineField(person, fkDepartment);
      number = db.ReadLineField(person, fkPersonNumber);
      loaded = true;
    }
    out += PersonFieldText(text.substr(innerStart, close - innerStart), name, dept, number);
    pos = close + 1;
  }
  out.append(text, pos, std::string::npos);
  text = std::move(out);
}

// ---------------------------------------------------------------------------------------

std::string GetHookText(const TMiniDB& db, int32_t item, int32_t cabinet) {
  std::string hook = db.ReadLinkValue(item, cabinet, "po");
  if (hook.empty() && cabinet > 0 && db.ReadOnlyLink(item, icCabinet) == cabinet)
    hook = db.ReadLineField(item, "cabpos");
  return hook;
}

int SumCabinetTotals(const TMiniDB& db, int32_t item, const std::string& totalText,
                     const std::string& stockText, int32_t& sumTotal, int32_t& sumStock) {
  TItemList cabinets;
  db.ReadLinks(item, icCabinet, cabinets);
  int64_t total = 0, stock = 0;
  bool allTotals = cabinets.Count() > 0, allStocks = cabinets.Count() > 0;
  for (int32_t i = 0; i < cabinets.Count(); ++i) {
    const std::string tl = db.ReadLinkValue(item, cabinets.Get(i), fkCabinetOwned);
    const std::string ct = db.ReadLinkValue(item, cabinets.Get(i), fkCabinetStock);
    allTotals = allTotals && !tl.empty();
    allStocks = allStocks && !ct.empty();
    total += StrToIntZero(tl);
    stock += StrToIntZero(ct);
  }
  auto clamp32 = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  sumTotal = clamp32(total);
  sumStock = clamp32(stock);
  int flags = 0;
  if (allTotals && total != StrToIntZero(totalText)) flags |= kCabinetTotalsDiffer;
  if (allStocks && stock != StrToIntZero(stockText)) flags |= kCabinetStockDiffers;
  return flags;
}

void EmbossNumbersOf(const TMiniDB& db, int32_t item, TQStringList& strings) {
  strings.Clear();
  std::string rest = db.ReadLineField(item, fkIssuedIdents);
  while (!rest.empty()) {
    std::string entry = FetchTabField(rest);
    const size_t mark = entry.find('\x0B');
    if (mark != std::string::npos) entry.resize(mark);
    if (!entry.empty()) strings.Add(entry);
  }
}

// ---------------------------------------------------------------------------------------

std::string NormalizeSearchText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 33) continue;
    const bool keep = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                      (c >= 'a' && c <= 'z') || c >= 128;
    out += keep ? ch : '.';
  }
  return out;
}

void ReplaceAllText(std::string& text, const std::string& oldText, const std::string& newText) {
  if (oldText.empty() || newText.find(oldText) != std::string::npos) return;
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t hit = text.find(oldText, pos);
    if (hit == std::string::npos) break;
    out.append(text, pos, hit - pos);
    out += newText;
    pos = hit + oldText.size();
  }
  if (pos == 0) return;
  out.append(text, pos, std::string::npos);
  text = std::move(out);
}

std::string NormalizeDateTimeText(const std::string& text) {
  const size_t blank = text.find(' ');
  const std::string datePart = text.substr(0, blank);
  if (datePart.empty()) return text;
  for (char c : datePart)
    if (!IsDigitChar(c) && c != '.' && c != '-' && c != '/') return text;
  const TPackedDate date = StrToPackedDate(datePart);
  if (date <= 0 || PackedMonth(date) < 1 || PackedMonth(date) > 12 || PackedDay(date) < 1 ||
      PackedDay(date) > DaysInMonth(date))
    return text;
  int hours = 0, minutes = 0;
  if (blank != std::string::npos) {
    std::string timePart = text.substr(blank + 1);
    // "hh:nn:ss": the seconds must be valid too, then they are dropped.
    const size_t first = timePart.find(':');
    const size_t second = first == std::string::npos ? first : timePart.find(':', first + 1);
    if (second != std::string::npos) {
      const std::string seconds = timePart.substr(second + 1);
      if (seconds.size() != 2 || !IsDigitChar(seconds[0]) || !IsDigitChar(seconds[1]) ||
          seconds[0] > '5')
        return text;
      timePart.resize(second);
    }
    if (!StrToHourMin(timePart, hours, minutes)) return text;
  }
  char clock[8];
  std::snprintf(clock, sizeof clock, "%02d:%02d", hours, minutes);
  return PackedDateToStr(date) + " " + clock;
}

bool AddRemarkLineTo(std::string& remark, const std::string& line) {
  if (line.empty()) return false;
  // A remark holds its lines as one comma text (a stored value never holds a line break).
  std::vector<std::string> lines = RemarkLines(remark);
  for (const std::string& existing : lines)
    if (existing == line) return false;
  lines.push_back(line);
  remark = RemarkLinesToStored(lines);
  return true;
}

void AddRemarkLines(TMiniDB& db, int32_t item, const std::string& line) {
  if (!db.HasRecord(item)) return;
  std::string remark = db.GetField(item, fkRemark);
  if (AddRemarkLineTo(remark, line)) db.SetField(item, fkRemark, remark);
}

// ---------------------------------------------------------------------------------------

int ActionStateCode(int code) {
  switch (code) {
    case 4: return 2;
    case 5: return 5;
    case 6: return 4;
    case 7: return 2;
    default: return 0;
  }
}

int WindowsVersionCodeOf(int platform, int major, int minor) {
  if (platform == 0) return 1;
  if (platform == 1) {
    if (major < 4 || (major == 4 && minor < 10)) return 2;
    if (major == 4 && minor < 90) return 3;
    return 4;
  }
  if (major < 4) return 5;
  if (major == 4) return 6;
  if (major == 5) return minor == 0 ? 7 : minor == 1 ? 8 : 9;
  return 10;
}

int GetWindowsVersionCode() { return WindowsVersionCodeOf(2, 10, 0); }

// ---------------------------------------------------------------------------------------

int64_t PinningTreeCount(const std::string& text, bool skipHeader) {
  size_t longest = 0;
  const std::vector<std::string> rows = PinningRows(text, skipHeader, longest);
  // Saturates far above the limit, so that long rows cannot overflow the product.
  constexpr int64_t kSaturation = int64_t{1} << 40;
  int64_t count = 1;
  for (size_t pos = 0; pos < longest && count > 0 && count < kSaturation; ++pos)
    count *= static_cast<int64_t>(std::min<size_t>(RowsAtPosition(rows, pos), 1u << 20));
  return std::min(count, kSaturation);
}

bool PinningTree(const std::string& text, bool skipHeader, TQStringList& out) {
  if (PinningTreeCount(text, skipHeader) > kPinningTreeMaxLines) return false;
  size_t longest = 0;
  const std::vector<std::string> rows = PinningRows(text, skipHeader, longest);
  std::string prefix;
  PinningLevel(rows, longest, 0, prefix, out);
  return true;
}
