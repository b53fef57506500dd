#include "output/PrintUnit.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include <QPrinter>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/MultiLingua.h"
#include "basic/ParamsUnit.h"
#include "basic/TempFilesUnit.h"
#include "basic/UserInteraction.h"
#include "data/HolderUnit.h"
#include "data/IniUnit.h"
#include "data/ItemList.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/PrintPreviewUnit.h"
#include "output/PrintProcsUnit.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrinterServicesUnit.h"
#include "platform/PlatformFiles.h"

// =======================================================================================
// Texts

const TMLStringList* PrintUnitTexts() {
  static const TMLStringList* table = [] {
    const std::string blanks(16, ' ');
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("PrintUnit", 0);
    t->Add255Obj("Tessaro Quittung", 1);
    t->Add255Obj("Quittung zur Schl\xFCsselausgabe", 2);
    t->Add255Obj("Hiermit best\xE4tige ich (der Empf\xE4nger) den Erhalt der/des folgenden "
                 "Schl\xFCssel(s):", 3);
    t->Add255Obj("weitere", 4);
    t->Add255Obj("Schl\xFCsselwart/Bediener", 5);
    t->Add255Obj("Datum" + blanks + "Unterschrift des Empf\xE4ngers", 6);
    t->Add255Obj("Bei R\xFC" "ckgabe des Schl\xFCssels:", 7);
    t->Add255Obj("Datum" + blanks + "Unterschrift des Schl\xFCsselwarts", 8);
    t->Add255Obj("R\xFC" "ckgabe-Quittung", 10);
    t->Add255Obj("Hiermit erhalten wir folgende(n) Schl\xFCssel zur\xFC" "ck:", 11);
    t->Add255Obj("\xDC" "berbringer:", 12);
    t->Add255Obj("Datum" + blanks + "Unterschrift des Schl\xFCsselwarts als Empf\xE4nger", 13);
    t->Add255Obj("Die zum Drucken angegebene Word-Datei wurde nicht gefunden.", 14);
    t->Add255Obj("Das Drucken \xFC" "ber die eingestellte Word-Datei ist fehlgeschlagen.", 15);
    t->Add255Obj("M\xF6" "chten Sie stattdessen den Standardausdruck verwenden?", 16);
    t->Add255Obj("Tessaro Bestandskontrolle", 17);
    return t;
  }();
  return table;
}

std::string PrintUnitText(int number) { return GetMLText(PrintUnitTexts(), number); }

const TMLStringList* TextSettingsTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("TextSettingsUnit", 0);
    t->Add255Obj("Bitte w\xE4hlen Sie dort \xDC" "bernehmen oder R\xFC" "ckg\xE4ngig.", 1);
    t->Add255Obj("Der Text zur Bestandskontrolle (unten) wurde ge\xE4ndert.", 2);
    t->Add255Obj("Der Text zur Bestandskontrolle (oben) wurde ge\xE4ndert.", 3);
    t->Add255Obj("Der Text zur Schl\xFCsselquittung wurde ge\xE4ndert.", 4);
    t->Add255Obj("Die gew\xE4hlte Datei kann nicht mit Word ge\xF6" "ffnet werden, oder#13#Ihre "
                 "Word-Programmversion ist nicht kompatibel zu diesem Programm.", 5);
    t->Add255Obj("Der Empf\xE4nger haftet f\xFCr verlorene Schl\xFCssel und daraus entstehende "
                 "Sch\xE4" "den.", 6);
    t->Add255Obj("Sehr geehrte/r #Person:Name#,<br>laut unseren Unterlagen befinden sich "
                 "folgende Schl\xFCssel in Ihrem Besitz:", 7);
    t->Add255Obj("Nicht aufgef\xFChrte Schl\xFCssel bitte nachtragen. Best\xE4tigen Sie den "
                 "Besitz aller genannten Schl\xFCssel durch Ihre Unterschrift.", 8);
    t->Add255Obj("Der Unterzeichner ist darauf aufmerksam gemacht worden, dass erhaltene "
                 "Schl\xFCssel nicht auf Dauer an andere Personen weitergegeben werden d\xFCrfen.",
                 9);
    t->Add255Obj("Bei Verlust eines Schl\xFCssels kann der Unterzeichner "
                 "schadenersatzpflichtig gemacht werden.", 10);
    t->Add255Obj("Die Richtigkeit der Aufstellung best\xE4tigt:<br><br><br>Datum: " +
                     std::string(14, '_') + "   Unterschrift: " + std::string(28, '_'),
                 11);
    t->Add255Obj("Tessaro Schl\xFCsselverwaltung", 12);
    t->Add255Obj("\xDC" "bergabe, Anzahl der Schl\xFCssel: #KeyCount#<br><br>Schl\xFCssel: "
                 "#Key#<br><br>Empf\xE4nger: #Person#", 13);
    t->Add255Obj("Bitte best\xE4tigen Sie den Erhalt und zugeh\xF6rige Bedingungen.", 14);
    t->Add255Obj("Ihre Unterschrift wird zusammen mit dem Vorgang verschl\xFCsselt gespeichert.",
                 15);
    t->Add255Obj("Der Text f\xFCr das Signatur-Pad wurde ge\xE4ndert.", 16);
    return t;
  }();
  return table;
}

std::string TextSettingsText(int number) { return GetMLText(TextSettingsTexts(), number); }

// =======================================================================================
// State

namespace {

struct TReceiptState {
  std::array<std::string, kTemplateSlotCount + 1> templateSlots;  // index = slot, 0 unused
  std::array<std::string, kPrintTextCount> texts;
  bool textsRead = false;
  std::int64_t lastRead = 0;
  TPrintTextSources sources;
};

TReceiptState& State() {
  static TReceiptState state;
  return state;
}

std::string TrimText(const std::string& text) {
  std::size_t a = 0, b = text.size();
  while (a < b && static_cast<unsigned char>(text[a]) <= ' ') ++a;
  while (b > a && static_cast<unsigned char>(text[b - 1]) <= ' ') --b;
  return text.substr(a, b - a);
}

bool FileThere(const std::string& name) {
  TPfInfo info;
  return !name.empty() && PfStat(name, info) == 0 && info.kind == TPfKind::File;
}

std::string ProgramFolder() {
  std::string folder = CommandLine().OriginExeDir;
  if (folder.empty()) folder = GetProgramFolder();
  AddBackslash(folder);
  return folder;
}

std::string ReadStored(int level, const std::string& key) {
  const TPrintTextSources& s = State().sources;
  return s.read ? s.read(level, key) : ReadSettingStr(level, key);
}

std::int64_t SteadyMs() {
  const TPrintTextSources& s = State().sources;
  if (s.steadyMs) return s.steadyMs();
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A slot's value at one level: the older "ReceiptDoc" keys moved to "FormTemplate" first,
// a relative name made one in the program folder.
std::string SlotOfLevel(int level, int n) {
  const std::string number = std::to_string(n);
  std::string name;
  if (TrimText(ReadSettingStr(level, "ReceiptDoc" + number + "Use")) == "1") {
    name = TrimText(ReadSettingStr(level, "ReceiptDoc" + number));
    if (!name.empty()) {
      WriteSetting(level, "ReceiptDoc" + number + "Use", "");
      WriteSetting(level, "ReceiptDoc" + number, "");
      WriteSetting(level, "FormTemplate" + number, name);
    }
  }
  if (name.empty()) name = TrimText(ReadSettingStr(level, "FormTemplate" + number));
  if (!name.empty() && name[0] != '/') {
    // Settings written on Windows separate folders by "\".
    std::replace(name.begin(), name.end(), '\\', '/');
    MakeAbsolutePath(ProgramFolder(), name);
  }
  return name;
}

std::string ExistingSlotFile(int slot) {
  const std::string file = TemplateSlot(slot);
  return FileThere(file) ? file : std::string();
}

}  // namespace

// =======================================================================================
// Template slots

TTemplateChoice TemplatesOfEvent(int event) {
  switch (event & 0x7F) {
    case 2: return {kSlotIssue, 0};
    case 3: return {kSlotReturn, 0};
    case 4: return {kSlotDefect, kSlotLoss};
    case 5: return {kSlotLoss, kSlotDefect};
    case 6: return {kSlotReturn, 0};
    default: return {};
  }
}

std::string TemplateSlot(int slot) {
  if (slot < 1 || slot > kTemplateSlotCount) return {};
  return State().templateSlots[static_cast<std::size_t>(slot)];
}

std::string TemplateFileOfEvent(int event) {
  const TTemplateChoice choice = TemplatesOfEvent(event);
  std::string file = ExistingSlotFile(choice.first);
  if (file.empty()) file = ExistingSlotFile(choice.fallback);
  return file;
}

std::string CylinderTemplateFile(int event) {
  const int kind = event & 0x7F;
  if (kind != 4 && kind != 5) return {};
  return ExistingSlotFile(kSlotCylinder);
}

void LoadTextSettings(int level) {
  TReceiptState& s = State();
  if (level == kSettingsDataLevel) {
    // Another client's data: nothing of the previous client's templateSlots and texts may remain.
    for (int n = 1; n <= kTemplateSlotCount; ++n)
      s.templateSlots[static_cast<std::size_t>(n)] = SlotOfLevel(kSettingsProgramLevel, n);
    for (int n = 1; n <= kTemplateSlotCount; ++n) {
      const std::string name = SlotOfLevel(kSettingsDataLevel, n);
      if (!name.empty()) s.templateSlots[static_cast<std::size_t>(n)] = name;
    }
    s.textsRead = false;
    return;
  }
  for (int n = 1; n <= kTemplateSlotCount; ++n) {
    std::string& slot = s.templateSlots[static_cast<std::size_t>(n)];
    if (slot.empty()) slot = SlotOfLevel(level, n);
  }
}

bool SetTemplateFile(int slot, const std::string& fileName) {
  if (slot < 1 || slot > kTemplateSlotCount) return false;
  std::string& current = State().templateSlots[static_cast<std::size_t>(slot)];
  if (current == fileName) return true;
  current = fileName;
  return WriteUserSetting("FormTemplate" + std::to_string(slot), fileName);
}

// =======================================================================================
// Print texts

namespace {

constexpr std::int64_t kTextRefreshMs = 11 * 1000;

std::size_t IndexOf(TPrintText text) { return static_cast<std::size_t>(text); }

// The stored form read back: 0xA0 alone stands for an empty text.
std::string FromStored(const std::string& value) { return value == "\xA0" ? std::string() : value; }

}  // namespace

const char* PrintTextKey(TPrintText text) {
  switch (text) {
    case TPrintText::Receipt: return "ReceiptText";
    case TPrintText::LendControl1: return "LendControlText1";
    case TPrintText::LendControl2: return "LendControlText2";
    case TPrintText::Pad: return "PadText";
  }
  return "";
}

std::string DefaultPrintText(TPrintText text) {
  auto t = [](int n) { return TextSettingsText(n); };
  switch (text) {
    case TPrintText::Receipt:
      return t(6);
    case TPrintText::LendControl1:
      return "#Person:Name#<br>#Person:Dept#<br><br>" + t(7);
    case TPrintText::LendControl2:
      return t(8) + "<br><br>" + t(9) + " " + t(10) + "<br><br>" + t(11);
    case TPrintText::Pad:
      return t(12) + "<br><br>" + t(13) + "<br><br>" + t(14) + "<br>#Signature#<br>" + t(15);
  }
  return {};
}

void RefreshPrintTexts() {
  TReceiptState& s = State();
  const std::int64_t now = SteadyMs();
  if (s.textsRead && now - s.lastRead < kTextRefreshMs && now >= s.lastRead) return;
  for (int i = 0; i < kPrintTextCount; ++i) {
    const auto text = static_cast<TPrintText>(i);
    std::string value = ReadStored(kSettingsDataLevel, PrintTextKey(text));
    const std::string program = ReadStored(kSettingsProgramLevel, PrintTextKey(text));
    if (!program.empty()) value = program;
    s.texts[static_cast<std::size_t>(i)] = value.empty() ? DefaultPrintText(text) : FromStored(value);
  }
  s.textsRead = true;
  s.lastRead = now;
}

std::string PrintText(TPrintText text) {
  RefreshPrintTexts();
  return State().texts[IndexOf(text)];
}

std::string ReceiptText() { return PrintText(TPrintText::Receipt); }
std::string LendControlText1() { return PrintText(TPrintText::LendControl1); }
std::string LendControlText2() { return PrintText(TPrintText::LendControl2); }
std::string PadText() { return PrintText(TPrintText::Pad); }

std::string MemoToStoredText(const std::string& memo) {
  std::size_t end = memo.size();
  while (end > 0 && (memo[end - 1] == ' ' || memo[end - 1] == '\r' || memo[end - 1] == '\n'))
    --end;
  std::string out;
  out.reserve(end + 16);
  for (std::size_t i = 0; i < end; ++i) {
    const char c = memo[i];
    if (c != '\r' && c != '\n') {
      out += c;
      continue;
    }
    // CR LF and LF CR are one break each.
    const char other = c == '\r' ? '\n' : '\r';
    if (i + 1 < end && memo[i + 1] == other) ++i;
    out += "<BR>";
  }
  return out.empty() ? std::string("\xA0") : out;
}

std::string StoredTextToMemo(const std::string& stored) {
  const std::string text = FromStored(stored);
  const std::string upper = AnsiUpperCase(text);
  std::string out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t br = upper.find("<BR>", start);
    out.append(text, start, br == std::string::npos ? std::string::npos : br - start);
    if (br == std::string::npos) break;
    out += "\r\n";
    start = br + 4;
  }
  return out;
}

bool SavePrintText(TPrintText text, const std::string& memo) {
  const std::string stored = MemoToStoredText(memo);
  if (!WriteUserSetting(PrintTextKey(text), stored)) return false;
  TReceiptState& s = State();
  // The other texts stay as they were read; this one is what the user just saved.
  RefreshPrintTexts();
  s.texts[IndexOf(text)] = FromStored(stored);
  return true;
}

void SetPrintTextSources(TPrintTextSources sources) {
  State().sources = std::move(sources);
  State().textsRead = false;
}

void ResetReceiptSettings() { State() = TReceiptState(); }

// =======================================================================================
// Template fills

namespace {

// Values of the placeholders the receipts share.
std::string BranchText(TMiniDB& db) {
  const int32_t settings = db.FindOrCreateSingleton(false);
  const std::string branch = settings ? db.GetField(settings, "MandantBranch") : std::string();
  return branch.empty() ? std::string(8, '_') : branch;
}

std::string SeqNumberText(const std::string& seq) { return seq.empty() ? std::string(6, '_') : seq; }

// The record's display name without the context a list shows after a TAB.
std::string NameOf(TMiniDB& db, int32_t id) {
  if (id <= 0 || !db.HasRecord(id)) return {};
  const std::string name = db.GetDisplayName(id);
  return name.substr(0, name.find('\t'));
}

std::string FieldOf(TMiniDB& db, int32_t id, const char* field) {
  return id > 0 && db.HasRecord(id) ? db.GetField(id, field) : std::string();
}

std::string JoinDoorLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  return text;
}

}  // namespace

std::vector<std::string> KeyDoorList(TMiniDB& db, int32_t key) {
  std::vector<std::string> list;
  if (key <= 0 || !db.HasRecord(key)) return list;
  if (const TKeySystemCode code = GeneralMasterKeySystem(db, key); code != 0) {
    list.push_back(CoreText(19) + " " + KeySystemName(db, code));
    return list;
  }
  TItemList doors;
  GetDoorsOfKey(db, key, doors);
  for (int32_t i = 0; i < doors.Count(); ++i)
    list.push_back(NameWithContext(db, doors.Get(i), kBracketRound).substr(0, 40));
  std::stable_sort(list.begin(), list.end(), [](const std::string& a, const std::string& b) {
    return AnsiCompareText(a, b) < 0;
  });
  return list;
}

std::vector<TTextReplacement> KeyTemplateValues(TMiniDB& db, const TKeyReceipt& r, TTextDoc& doc) {
  const int32_t key = r.key > 0 && db.HasRecord(r.key) ? r.key : 0;
  const std::vector<std::string> doors = KeyDoorList(db, key);
  const std::string keyType = KeyTypeLongName(StrToIntZero(FieldOf(db, key, fkKeyType)));
  const int32_t cabinet = r.cabinet > 0 && db.HasRecord(r.cabinet) ? r.cabinet : 0;
  std::vector<TTextReplacement> v{
      {"#Key#", r.keyText, true},
      {"#Schluessel#", r.keyText, true},
      {"#System#", r.system},
      {"#Anlage#", r.system},
      {"#Date#", r.date},
      {"#Datum#", r.date},
      {"#User#", r.user},
      {"#Notes1#", r.notes1},
      {"#Bemerkung1#", r.notes1},
      {"#Notes2#", r.notes2},
      {"#Bemerkung2#", r.notes2},
      {"#Person#", NameOf(db, r.person)},
      {"#PersonDept#", FieldOf(db, r.person, fkDepartment)},
      {"#PersonNumber#", FieldOf(db, r.person, fkPersonNumber)},
      {"#PersonNotes#", r.person > 0 && db.HasRecord(r.person) ? ItemRemarkLine(db, r.person) : ""},
      {"#KeyCount#", r.keyCount},
      {"#KeyType#", keyType},
      {"#LockNumber#", FieldOf(db, key, "k603")},
      {"#Cabinet#", NameOf(db, cabinet)},
      {"#Hook#", key && cabinet ? GetHookText(db, key, cabinet) : std::string()},
      {"#Subscriber#", GetMandantName(db)},
      {"#ActionVerb#", TransferActionName(r.event & 0x7F)},
      {"#SeqNumber#", SeqNumberText(r.seqNumber)},
      {"#Label#", r.label},
      {"#Deadline#", r.deadline},
      {"#Door#", doors.empty() ? std::string() : doors.front()},
      {"#Building#", key ? BuildingNameOfKey(db, key) : std::string("-")},
      {"#Branch#", BranchText(db)},
  };
  // The door list belongs to one key; with several it would name only the first one's.
  if (r.keyText.find('\r') == std::string::npos && doc.FindText("#Doors#"))
    v.push_back({"#Doors#", JoinDoorLines(doors), true});
  return v;
}

std::vector<TTextReplacement> CylinderTemplateValues(TMiniDB& db, const TCylinderReceipt& r) {
  const int32_t cyl = r.cylinder > 0 && db.HasRecord(r.cylinder) ? r.cylinder : 0;
  return {
      {"#Cylinder#", NameOf(db, cyl), true},
      {"#LockNumber#", FieldOf(db, cyl, "k603")},
      {"#System#", cyl ? ItemKeySystemName(db, cyl) : std::string()},
      {"#Date#", r.date},
      {"#User#", r.user},
      {"#Notes#", r.notes},
      {"#CylCount#", r.cylinderCount},
      {"#Subscriber#", GetMandantName(db)},
      {"#ActionVerb#", TransferActionName(r.event & 0x7F)},
      {"#SeqNumber#", SeqNumberText(r.seqNumber)},
      {"#Branch#", BranchText(db)},
  };
}

// =======================================================================================
// Built-in pages

namespace {

std::string NowDateText() {
  const TDateTimeParts t = DecodeDateTime(NowLocal());
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d", t.day, t.month, t.year, t.hour,
                t.minute);
  return text;
}

// The text at x on the current line, which stays current; a line that would reach the
// page's bottom goes to a new page first.
bool PrintAt(TSimplePrint& ps, int x, const std::string& text) {
  if (!ps.canvas) return false;
  if (ps.y + ps.lineHeight >= ps.pageHeight && !PrintNewPage(ps)) return false;
  if (ps.mode != kPrintModeCount) ps.canvas->DrawText(x, ps.y, text);
  return true;
}

void EmptyLine(TSimplePrint& ps, int count = 1) { ps.y += count * ps.lineHeight; }

std::vector<std::string> SplitAtCR(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t cr = text.find('\r', start);
    std::string line = text.substr(start, cr == std::string::npos ? std::string::npos : cr - start);
    // A CR LF pair is one break.
    if (!line.empty() && line[0] == '\n') line.erase(0, 1);
    lines.push_back(std::move(line));
    if (cr == std::string::npos) break;
    start = cr + 1;
  }
  return lines;
}

// " (n Stück)" when the count is set and not "1", "    Anlage: <system>" when it is set.
std::string KeySuffixes(const TKeyReceipt& r) {
  std::string s;
  if (!r.keyCount.empty() && r.keyCount != "1") s += " (" + r.keyCount + " " + CoreText(55) + ")";
  if (!r.system.empty()) s += "    " + CoreText(56) + ": " + r.system;
  return s;
}

// Steps 1 to 7 of both receipts; `labelWidth` is the text whose width (after the left
// margin) places the value column. Returns the left margin and the value column.
bool ReceiptTop(TSimplePrint& ps, TMiniDB& /*db*/, const TKeyReceipt& r, int heading,
                int intro, const std::string& labelWidth, bool issue, int& m, int& t) {
  if (ps.dateText.empty()) ps.dateText = NowDateText();
  if (!PrintBegin(ps, PrintUnitText(1))) return false;
  PrintSetDefaultFont(ps);
  IPrintCanvas& canvas = *ps.canvas;
  m = canvas.TextWidth("XXXXXXXX");
  t = m + canvas.TextWidth(labelWidth);
  ps.y = 4 * ps.lineHeight;

  TPrintFont headingFont;
  headingFont.name = "Arial";
  headingFont.size = 16;
  headingFont.bold = true;
  canvas.SetFont(headingFont);
  ps.lineHeight = canvas.TextHeight();
  if (!PrintLine(ps, m, PrintUnitText(heading))) return false;
  EmptyLine(ps);
  PrintSetDefaultFont(ps);

  if (!PrintLine(ps, m, PrintUnitText(intro))) return false;
  EmptyLine(ps);

  // The keys: one per line. The count and the system belong to a single key on the issue
  // receipt; on the return receipt they follow the last key.
  if (!PrintAt(ps, m, KeyCaption() + ":")) return false;
  std::vector<std::string> keys = SplitAtCR(r.keyText);
  const bool single = keys.size() == 1;
  if (!issue || single) keys.back() += KeySuffixes(r);
  for (const std::string& line : keys)
    if (!PrintLine(ps, t, line)) return false;

  if (!PrintAt(ps, m, PrintUnitText(4) + ":")) return false;
  if (!PrintLine(ps, t, std::string(50, '_'))) return false;
  EmptyLine(ps);

  if (!PrintAt(ps, m, CoreText(48) + ":")) return false;
  const std::string date =
      r.user.empty() ? r.date : r.date + "      " + PrintUnitText(5) + ": " + r.user;
  if (!PrintLine(ps, t, date)) return false;
  EmptyLine(ps);
  return true;
}

}  // namespace

bool DrawIssueReceipt(TSimplePrint& ps, TMiniDB& db, const TKeyReceipt& r) {
  int m = 0, t = 0;
  if (!ReceiptTop(ps, db, r, 2, 3, "XXXXXXXXX:  ", true, m, t)) {
    PrintAbort(ps);
    return false;
  }
  bool ok = PrintAt(ps, m, CoreText(57) + ":") && PrintLine(ps, t, NameOf(db, r.person));
  if (ok) {
    EmptyLine(ps);
    PrintWrapped(ps, m, m / 2, false, ReceiptText());
    EmptyLine(ps);
    const std::string line(61, '_');
    ok = PrintLine(ps, m, r.date) && PrintLine(ps, m, line) && PrintLine(ps, m, PrintUnitText(6));
    if (ok) {
      EmptyLine(ps, 3);
      ok = PrintLine(ps, m, PrintUnitText(7));
    }
    if (ok) {
      EmptyLine(ps);
      ok = PrintLine(ps, m, line) && PrintLine(ps, m, PrintUnitText(8));
    }
  }
  if (!ok) {
    PrintAbort(ps);
    return false;
  }
  return PrintEnd(ps);
}

bool DrawReturnReceipt(TSimplePrint& ps, TMiniDB& db, const TKeyReceipt& r) {
  int m = 0, t = 0;
  if (!ReceiptTop(ps, db, r, 10, 11, "XXXXXXXXXXX:  ", false, m, t)) {
    PrintAbort(ps);
    return false;
  }
  bool ok = PrintAt(ps, m, PrintUnitText(12)) && PrintLine(ps, t, NameOf(db, r.person));
  if (ok) {
    EmptyLine(ps, 2);
    ok = PrintLine(ps, m, r.date) && PrintLine(ps, m, std::string(61, '_')) &&
         PrintLine(ps, m, PrintUnitText(13));
    EmptyLine(ps, 3);
  }
  if (!ok) {
    PrintAbort(ps);
    return false;
  }
  return PrintEnd(ps);
}

namespace {

// The number of cells of the table's header row (its first row that is no format or
// ignored line); 0 when the file cannot be read or has no row.
int HeaderColumns(const std::string& tabFile) {
  TPfInfo info;
  if (PfStat(tabFile, info) != 0 || info.kind != TPfKind::File) return 0;
  int fd = -1;
  if (PfOpenRead(tabFile, fd) != 0) return 0;
  std::vector<std::string> lines;
  TTextLineSplitter splitter(lines);
  std::vector<char> buffer(16 * 1024);
  std::int64_t offset = 0;
  int columns = 0;
  std::size_t next = 0;
  for (bool end = false; columns == 0 && !end;) {
    std::size_t got = 0;
    if (PfReadAt(fd, buffer.data(), buffer.size(), offset, got) != 0) break;
    offset += static_cast<std::int64_t>(got);
    if (got == 0) {
      splitter.Finish();
      end = true;
    } else {
      splitter.Feed(buffer.data(), got);
    }
    for (; next < lines.size() && columns == 0; ++next) {
      const std::string& l = lines[next];
      if (!l.empty() && l[0] >= '\x01' && l[0] <= '\x08') continue;
      columns = 1 + static_cast<int>(std::count(l.begin(), l.end(), '\t'));
    }
  }
  PfClose(fd);
  return columns;
}

}  // namespace

bool DrawPersonSheet(TSimplePrint& ps, TMiniDB& db, int32_t person, const std::string& tabFile) {
  const int columns = HeaderColumns(tabFile);
  if (columns < 1) return false;
  RefreshPrintTexts();
  ps.title.clear();
  if (ps.dateText.empty()) ps.dateText = NowDateText();
  if (!PrintBegin(ps, PrintUnitText(17))) return false;
  const int m = ps.canvas->TextWidth("XXXXXXXX");
  std::string top = LendControlText1();
  std::string bottom = LendControlText2();
  if (person > 0) {
    FillFieldPlaceholders(db, person, top);
    FillFieldPlaceholders(db, person, bottom);
  }
  PrintWrapped(ps, m, m / 2, false, top);
  EmptyLine(ps);
  const int margin = static_cast<int>(1.5 / 2.54 * ps.resolutionX);
  if (!PrintTabTable(ps, tabFile, columns, margin)) {
    PrintAbort(ps);
    return false;
  }
  PrintSetDefaultFont(ps);
  EmptyLine(ps);
  const int lines = PrintWrapped(ps, m, m / 2, true, bottom);
  if (ps.y + lines * ps.lineHeight > ps.pageHeight && !PrintNewPage(ps)) {
    PrintAbort(ps);
    return false;
  }
  PrintWrapped(ps, m, m / 2, false, bottom);
  return PrintEnd(ps);
}

// =======================================================================================
// Print runs

bool RunSimplePrint(bool previewAllowed, const TPageDrawer& draw) {
  std::string dateText, total;
  auto pass = [&](int mode, QPrinter* previewPrinter, int* pages,
                  std::vector<QImage>* pictures = nullptr) {
    TSimplePrint ps;
    ps.mode = mode;
    ps.previewPrinter = previewPrinter;
    ps.dateText = dateText;
    ps.extraHeaderText = total;
    const bool ok = draw(ps);
    if (dateText.empty()) dateText = ps.dateText;
    if (pages) *pages = ps.pageNumber;
    if (pictures) *pictures = std::move(ps.previewPages);
    return ok;
  };
  // The count: every page header shows the page total of the printer counted on.
  auto count = [&] {
    int pages = 0;
    total.clear();
    if (!pass(kPrintModeCount, nullptr, &pages)) return false;
    total = std::to_string(pages);
    return true;
  };
  if (!count()) return false;
  const std::string countedOn = ChosenPrinter();

  const bool printer = PrinterInstalled() || !JobFile().empty();
  if ((PrintSettings().preview && previewAllowed) || !printer) {
    // The program's preview, as for every printout: a changed preview flag is stored for
    // the user when they print from it.
    const bool print = PreviewPrintRun(
        [&](QPrinter* device) {
          std::vector<QImage> pictures;
          pass(kPrintModePreview, device, nullptr, &pictures);
          return pictures;
        },
        false);
    UI().ProcessPendingEvents();
    if (!print || !printer) return true;
    // Another printer chosen in the preview lays the pages out anew.
    if (ChosenPrinter() != countedOn && !count()) return false;
  }
  return pass(kPrintModePrinter, nullptr, nullptr);
}

// =======================================================================================
// Receipts

namespace {

TMiniDB* StoreOr(TMiniDB* db) { return db ? db : SessionDB(); }

}  // namespace

bool AskPrintForm() {
  const TPrintSettings& s = PrintSettings();
  return s.printerDialog == 2 || (s.printerDialog == 1 && !s.printerChosenInRun);
}

bool PrintKeyReceipt(const TKeyReceipt& receipt, TMiniDB* store) {
  TMiniDB* db = StoreOr(store);
  if (!db) return false;
  // "in Datei" chosen for this form: it goes into that PDF file.
  const TJobFileScope toFile(TakeFormTargetFile());
  const std::string file = TemplateFileOfEvent(receipt.event);
  if (!file.empty()) {
    if (std::unique_ptr<TTextDoc> doc = OpenTextDoc(file)) {
      doc->ReplaceAll(KeyTemplateValues(*db, receipt, *doc));
      const bool printed = doc->Print(PrintSettings().preview, ChosenPrinter());
      doc->Close(false);
      return printed;
    }
    const std::string question =
        PrintUnitText(15) + "\r" + file + "\r\r" + PrintUnitText(16);
    if (UI().Ask(TMsgKind::Confirmation, question, TAskButtons::YesCancel) != mrYes) return false;
  }
  switch (receipt.event & 0x7F) {
    case 2:
      return RunSimplePrint(true, [&](TSimplePrint& ps) { return DrawIssueReceipt(ps, *db, receipt); });
    case 3:
      return RunSimplePrint(true, [&](TSimplePrint& ps) { return DrawReturnReceipt(ps, *db, receipt); });
    default:
      return false;
  }
}

bool PrintCylinderReceipt(const TCylinderReceipt& receipt, TMiniDB* store) {
  TMiniDB* db = StoreOr(store);
  if (!db) return false;
  // "in Datei" chosen for this form: it goes into that PDF file.
  const TJobFileScope toFile(TakeFormTargetFile());
  const std::string file = CylinderTemplateFile(receipt.event);
  if (file.empty()) {
    UI().ShowMessage(TMsgKind::Error, PrintUnitText(14) + "\r");
    return false;
  }
  std::unique_ptr<TTextDoc> doc = OpenTextDoc(file);
  if (!doc) {
    UI().ShowMessage(TMsgKind::Error, PrintUnitText(15) + "\r" + file);
    return false;
  }
  doc->ReplaceAll(CylinderTemplateValues(*db, receipt));
  const bool printed = doc->Print(PrintSettings().preview, ChosenPrinter());
  doc->Close(false);
  return printed;
}

bool PrintLockerReceipt(int kind, int32_t person, const std::string& userName, double date,
                        const std::string& count, const std::string& identifier) {
  TKeyReceipt r;
  r.event = kind;
  r.person = person;
  r.keyText = identifier;
  r.label = identifier;
  r.keyCount = count;
  r.user = userName;
  r.date = PackedDateToStr(DateTimeToPacked(date));
  return PrintKeyReceipt(r);
}

bool PrintPersonSheet(int32_t person, const std::string& tabFile, bool previewAllowed,
                      TMiniDB* store) {
  TMiniDB* db = StoreOr(store);
  if (!db) return false;
  // "in Datei" chosen for this form: it goes into that PDF file.
  const TJobFileScope toFile(TakeFormTargetFile());
  return RunSimplePrint(previewAllowed, [&](TSimplePrint& ps) {
    return DrawPersonSheet(ps, *db, person, tabFile);
  });
}

bool PrintLendControlSheet(int32_t person, bool previewAllowed, TMiniDB* store) {
  TMiniDB* db = StoreOr(store);
  if (!db) return false;
  std::vector<int> codes;
  for (int32_t code : ParsePrintFieldList(GetLendCtrlPrintFields(*db))) codes.push_back(code);
  const TQStringList rows = BuildPersonKeyList(*db, person, codes, true);
  const std::string file = CreateTempFile();
  if (file.empty()) return false;
  const bool printed = rows.SaveToFile(file) && PrintPersonSheet(person, file, previewAllowed, db);
  DeleteTempFile(file);
  return printed;
}
