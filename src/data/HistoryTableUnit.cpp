#include "data/HistoryTableUnit.h"

#include <cstdio>

#include "basic/BasicsUnit.h"
#include "basic/Hex32Unit.h"
#include "basic/MultiLingua.h"
#include "basic/SLUnit.h"
#include "data/HistoryUnit.h"
#include "data/HolderUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

const TMLStringList* FrameHistoryTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FrameHistory", 0);
    t->Add255Obj("Aktion", 1);
    t->Add255Obj("Neu", 2);
    t->Add255Obj("Umbenannt", 3);
    t->Add255Obj("L\xF6schung", 4);
    t->Add255Obj("Markierte Zeilen wirklich unwiederbringlich l\xF6schen?", 5);
    t->Add255Obj("alter Name", 6);
    t->Add255Obj("keine Eintr\xE4ge gefunden", 7);
    t->Add255Obj("Das Protokoll enth\xE4lt keine Daten zum Drucken.", 8);
    t->Add255Obj("Protokoll", 9);
    t->Add255Obj("Protokoll f\xFCr %1", 10);
    t->Add255Obj("Bitte w\xE4hlen Sie einen Typ aus.", 11);
    t->Add255Obj("Es wurde kein Eintrag unter diesem Namen gefunden.", 12);
    t->Add255Obj("Das Protokoll ist aus Sicherheitsgr\xFCnden nicht \xE4nderbar.", 13);
    t->Add255Obj("alle Eintr\xE4ge", 14);
    t->Add255Obj("nur die markierten Eintr\xE4ge", 15);
    t->Add255Obj("Eintrag l\xF6schen", 16);
    t->Add255Obj("L\xF6sch-Info", 17);
    t->Add255Obj("Bestand neu", 18);
    t->Add255Obj("Ausgabe/R\xFC" "cknahme", 19);
    t->Add255Obj("Es sind keine Zeilen markiert.", 20);
    t->Add255Obj("Wenn Sie ein berechtigtes Interesse an der L\xF6schung von Eintr\xE4gen#13#"
                 "haben, wenden Sie sich bitte an den Hersteller. "
                 "(Merivan Software, support@merivan.example)",
                 21);
    t->Add255Obj("Inventur", 22);
    t->Add255Obj("Ausg.", 23);
    t->Add255Obj("R\xFC" "ck.", 24);
    t->Add255Obj("Der Schl\xFCssel kann nicht angezeigt werden.#13#Eventuell ist gerade ein "
                 "anderer Schl\xFCssel in Bearbeitung.",
                 25);
    t->Add255Obj("Bitte w\xE4hlen Sie einen bestimmten Eintrag in der Besitzer-Liste#13#und "
                 "klicken Sie dann auf R\xFC" "cknahme.",
                 26);
    t->Add255Obj("Tipp:#13#W\xE4hlen Sie auf einer anderen Karteikarte einen Datensatz und "
                 "klicken Sie dann dort auf den \"Protokoll\"-Knopf.",
                 27);
    return t;
  }();
  return table;
}

std::string FrameHistoryText(int number) { return GetMLText(FrameHistoryTexts(), number); }

std::vector<std::string> HistoryColumnTitles() {
  return {CoreText(48),         FrameHistoryText(1),  CoreText(9),
          CoreText(115),        PersonTerm(),         FrameHistoryText(18),
          FrameHistoryText(19), UserCaption(),        CoreText(10)};
}

// ---------------------------------------------------------------------------------------
// Lines

void ReadHistoryLineValues(std::string_view line, THistoryLineValues& v) {
  static const std::string_view kKeys[] = {"a",   "d",   "o",   "src",   "dest", "u",      "u2",
                                           "emb", "utc", "cnt", "stock", "r",    "oldName"};
  std::string* out[] = {&v.a,   &v.d,   &v.o,   &v.src,   &v.dest, &v.u,      &v.u2,
                        &v.emb, &v.utc, &v.cnt, &v.stock, &v.r,    &v.oldName};
  std::string values[13];
  CommaTextValues(line, kKeys, values, 13);
  for (int i = 0; i < 13; ++i) *out[i] = std::move(values[i]);
}

namespace {

// Digits at text[pos, pos + n) as a number; -1 when one is no digit.
int Digits(const std::string& text, size_t pos, size_t n) {
  if (pos + n > text.size()) return -1;
  int value = 0;
  for (size_t i = pos; i < pos + n; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// Leading digits of text[pos..] as a number; `pos` moves behind them. False without one
// or beyond 31 bits.
bool DigitsAt(const std::string& text, size_t& pos, int64_t& value) {
  const size_t start = pos;
  value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 10)
    value = value * 10 + (text[pos++] - '0');
  return pos > start && value <= 0x7FFFFFFF;
}

bool ObjectOf(const std::string& text, int32_t& id, uint8_t& cls) {
  id = 0;
  cls = 0;
  if (text.empty()) return false;
  // The form the history writes, "c=<class>;i=<ID>;n=...", without reading the name.
  if (text.compare(0, 2, "c=") == 0) {
    size_t pos = 2;
    int64_t c = 0, i = 0;
    if (DigitsAt(text, pos, c) && text.compare(pos, 3, ";i=") == 0 && c <= 255) {
      pos += 3;
      if (DigitsAt(text, pos, i) && pos < text.size() && text[pos] == ';') {
        cls = static_cast<uint8_t>(c);
        id = static_cast<int32_t>(i);
        return true;
      }
    }
  }
  int c = 0;
  std::string name;
  if (!HistoryParseObjectText(text, id, c, name)) return false;
  cls = static_cast<uint8_t>(c >= 0 && c <= 255 ? c : 0);
  return true;
}

std::string NameInText(const std::string& text) {
  int32_t id = 0;
  int cls = 0;
  std::string name;
  HistoryParseObjectText(text, id, cls, name);
  return name;
}

THistoryAction ActionOf(const std::string& a, uint8_t& kind) {
  kind = 0;
  if (a == "New") return THistoryAction::New;
  if (a == "Ren") return THistoryAction::Ren;
  if (a == "Del") return THistoryAction::Del;
  if (a == "Inv") return THistoryAction::Inv;
  if (a == "Total") return THistoryAction::Total;
  if (a == "Login") return THistoryAction::Login;
  if (a.size() == 6 && a.compare(0, 5, "Trans") == 0 && a[5] >= '1' && a[5] <= '6') {
    kind = static_cast<uint8_t>(a[5] - '0');
    return THistoryAction::Trans;
  }
  return THistoryAction::Other;
}

}  // namespace

int64_t HistoryStampOf(const std::string& d) {
  const int year = Digits(d, 0, 4), month = Digits(d, 5, 2), day = Digits(d, 8, 2);
  if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || d[4] != '-' || d[7] != '-')
    return 0;
  int hour = 0, minute = 0, second = 0;
  if (d.size() > 10) {
    // The separator is 0xA0 as the history writes it; a blank from other writers too.
    const int h = Digits(d, 11, 2), n = Digits(d, 14, 2);
    if ((d[10] == '\xA0' || d[10] == ' ') && h >= 0 && h < 24 && n >= 0 && n < 60 &&
        d[13] == ':') {
      hour = h;
      minute = n;
      const int s = Digits(d, 17, 2);
      if (d.size() > 16 && d[16] == ':' && s >= 0 && s < 60) second = s;
    }
  }
  return ((((static_cast<int64_t>(year) * 100 + month) * 100 + day) * 100 + hour) * 100 +
          minute) * 100 + second;
}

std::string HistoryStampText(int64_t stamp) {
  if (stamp <= 0) return std::string();
  const int minute = static_cast<int>(stamp / 100 % 100), hour = static_cast<int>(stamp / 10000 % 100);
  const int day = static_cast<int>(stamp / 1000000 % 100), month = static_cast<int>(stamp / 100000000 % 100);
  const int year = static_cast<int>(stamp / 10000000000LL);
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d", day, month, year, hour, minute);
  return text;
}

bool ParseHistoryRow(int year, uint32_t index, std::string_view line, THistoryRow& row) {
  static const std::string_view kKeys[] = {"a", "d", "o", "src", "dest", "u", "emb", "utc"};
  struct {
    std::string a, d, o, src, dest, u, emb, utc;
  } v;
  {
    std::string values[8];
    CommaTextValues(line, kKeys, values, 8);
    if (values[1].empty()) return false;
    v = {std::move(values[0]), std::move(values[1]), std::move(values[2]), std::move(values[3]),
         std::move(values[4]), std::move(values[5]), std::move(values[6]), std::move(values[7])};
  }
  row = THistoryRow{};
  row.year = static_cast<int16_t>(year);
  row.index = index;
  row.stamp = HistoryStampOf(v.d);
  row.action = ActionOf(v.a, row.kind);
  ObjectOf(v.o, row.objId, row.objCls);
  int32_t srcId = 0, destId = 0;
  uint8_t srcCls = 0, destCls = 0;
  ObjectOf(v.src, srcId, srcCls);
  ObjectOf(v.dest, destId, destCls);
  if (srcCls == icPerson || srcCls == icKeyBunch) {
    row.sideId = srcId;
    row.sideCls = srcCls;
    row.sideIsSource = true;
  } else {
    row.sideId = destId;
    row.sideCls = destCls;
  }
  ObjectOf(v.u, row.userId, row.userCls);
  row.emb = std::move(v.emb);
  row.hasUtc = !v.utc.empty();
  row.line = line;
  return true;
}

bool HistoryRowPasses(const THistoryRow& row, const THistoryFilter& filter) {
  if (filter.transfersOnly) {
    if (row.action != THistoryAction::Trans) return false;
    if (row.kind != 2 && row.kind != 3 && row.kind != 5 && row.kind != 6) return false;
  }
  if (!filter.identifier.empty() && row.emb != filter.identifier) return false;
  return true;
}

// ---------------------------------------------------------------------------------------
// Pairing

namespace {

size_t SlotHash(int32_t obj, int32_t side, int32_t emb) {
  uint64_t h = static_cast<uint32_t>(obj) * 0x9E3779B97F4A7C15ull;
  h ^= (static_cast<uint64_t>(static_cast<uint32_t>(side)) + 0x632BE59BD9B4E019ull) *
       0xBF58476D1CE4E5B9ull;
  h ^= static_cast<uint64_t>(static_cast<uint32_t>(emb)) * 0x94D049BB133111EBull;
  return static_cast<size_t>(h ^ (h >> 29));
}

}  // namespace

void THistoryPairer::Grow() {
  std::vector<TSlot> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, TSlot{});
  const size_t mask = slots_.size() - 1;
  for (const TSlot& slot : old) {
    if (slot.emb < 0) continue;
    size_t i = SlotHash(slot.obj, slot.side, slot.emb) & mask;
    while (slots_[i].emb >= 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

THistoryPairer::TSlot& THistoryPairer::SlotOf(int32_t obj, int32_t side, int32_t emb) {
  if ((used_ + 1) * 2 > slots_.size()) Grow();
  const size_t mask = slots_.size() - 1;
  size_t i = SlotHash(obj, side, emb) & mask;
  for (;; i = (i + 1) & mask) {
    TSlot& slot = slots_[i];
    if (slot.emb < 0) {
      ++used_;
      slot.obj = obj;
      slot.side = side;
      slot.emb = emb;
      return slot;
    }
    if (slot.obj == obj && slot.side == side && slot.emb == emb) return slot;
  }
}

void THistoryPairer::Add(int32_t rowIndex, const THistoryRow& row) {
  if (row.action != THistoryAction::Trans || (row.kind != 2 && row.kind != 3)) return;
  const int32_t emb =
      embs_.emplace(row.emb, static_cast<int32_t>(embs_.size())).first->second;
  TSlot& slot = SlotOf(row.objId, row.sideId, emb);
  if (row.kind == 2) {
    slot.lastIssue = rowIndex;
    waits_.emplace_back(rowIndex, slot.waiting);
    slot.waiting = static_cast<int32_t>(waits_.size()) - 1;
    return;
  }
  if (slot.lastIssue >= 0) pairs_.emplace_back(rowIndex, slot.lastIssue);
  for (int32_t w = slot.waiting; w >= 0; w = waits_[w].second)
    pairs_.emplace_back(waits_[w].first, rowIndex);
  slot.waiting = -1;
}

std::vector<std::pair<int32_t, int32_t>> THistoryPairer::Take() {
  std::vector<std::pair<int32_t, int32_t>> out;
  out.swap(pairs_);
  return out;
}

void PairHistoryRows(std::vector<THistoryRow>& rows) {
  THistoryPairer pairer;
  for (size_t i = 0; i < rows.size(); ++i) {
    rows[i].pair = -1;
    pairer.Add(static_cast<int32_t>(i), rows[i]);
  }
  for (const auto& [row, other] : pairer.Take()) rows[row].pair = other;
}

// ---------------------------------------------------------------------------------------
// Loading

THistoryRowLoader::THistoryRowLoader(std::vector<THistoryYearFile> files, int cls, int32_t id,
                                     THistoryFilter filter)
    : scan_(std::move(files), cls, id), filter_(std::move(filter)) {}

void THistoryRowLoader::Run(const std::atomic<bool>& cancel,
                            const std::function<void(THistoryRowBatch&&)>& deliver) {
  THistoryPairer pairer;
  int32_t count = 0;
  THistoryScanResult result =
      scan_.Run(cancel, [&](THistoryHitBatch& hits, const THistoryScanProgress& p) {
        THistoryRowBatch batch;
        batch.store = std::move(hits.store);
        batch.rows.reserve(hits.hits.size());
        for (const THistoryHit& hit : hits.hits) {
          THistoryRow row;
          if (!ParseHistoryRow(hit.year, hit.index, hit.line, row)) continue;
          if (!HistoryRowPasses(row, filter_)) continue;
          pairer.Add(count++, row);
          batch.rows.push_back(std::move(row));
        }
        batch.pairs = pairer.Take();
        batch.progress = p;
        if (!batch.rows.empty() || !batch.pairs.empty()) deliver(std::move(batch));
      });
  THistoryRowBatch last;
  last.last = true;
  last.result = std::move(result);
  last.pairs = pairer.Take();
  deliver(std::move(last));
}

// ---------------------------------------------------------------------------------------
// Cells

bool HistoryStoreName(TMiniDB& db, int32_t id, int cls, std::string& name) {
  if (id <= 0 || !db.HasRecord(id) || db.GetClass(id) != cls) return false;
  // The name as the line recorded it ("n"); keys by their display name.
  name = cls == icKey ? db.GetDisplayName(id) : db.ReadLineField(id, fkName);
  return true;
}

namespace {

std::string NameOf(int32_t id, int cls, const std::string& text,
                   const THistoryNameLookup& names) {
  std::string name;
  if (id > 0 && names && names(id, cls, name) && !name.empty()) return name;
  name = NameInText(text);
  return name.empty() ? std::string("-") : name;
}

std::string ActionText(const THistoryRow& row, const THistoryLineValues& v) {
  std::string text;
  switch (row.action) {
    case THistoryAction::New: text = FrameHistoryText(2); break;
    case THistoryAction::Ren: text = FrameHistoryText(3); break;
    case THistoryAction::Del: text = FrameHistoryText(4); break;
    case THistoryAction::Inv: text = FrameHistoryText(22); break;
    case THistoryAction::Total: text = CoreText(6); break;
    case THistoryAction::Trans: text = TransferActionName(row.kind); break;
    default: text = v.a; break;
  }
  if (!v.cnt.empty()) {
    if (row.action == THistoryAction::Total) {
      text += " (" + std::string(v.cnt[0] == '-' ? "" : "+") + v.cnt + " " + CoreText(55) + ")";
    } else if (v.cnt != "1") {
      text += " (" + v.cnt + " " + CoreText(55) + ")";
    }
  }
  return text;
}

}  // namespace

namespace {

std::string CellOf(const THistoryRow& row, const THistoryRow* paired, int column,
                   const THistoryLineValues& v, const THistoryNameLookup& names) {
  if (column == 3) return row.emb;
  if (column == 6) {
    if (paired == nullptr) return std::string();
    const std::string date = HistoryStampText(paired->stamp);
    if (row.kind == 2) return FrameHistoryText(24) + " " + date;
    if (row.kind == 3) return FrameHistoryText(23) + " " + date;
    return std::string();
  }
  switch (column) {
    case 0:
      return row.stamp != 0 ? HistoryStampText(row.stamp) : v.d;
    case 1:
      return ActionText(row, v);
    case 2:
      return NameOf(row.objId, row.objCls, v.o, names);
    case 4: {
      const std::string& text = row.sideIsSource ? v.src : v.dest;
      if (text.empty()) return std::string();
      return NameOf(row.sideId, row.sideCls, text, names);
    }
    case 5:
      return v.stock;
    case 7:
      if (v.u.empty()) return std::string();
      return NameOf(row.userId, row.userCls, v.u, names);
    case 8:
      if (row.action == THistoryAction::Ren) return FrameHistoryText(6) + ": " + v.oldName;
      return v.r;
    default:
      return std::string();
  }
}

}  // namespace

std::string HistoryCellText(const THistoryRow& row, const THistoryRow* paired, int column,
                            const THistoryNameLookup& names) {
  THistoryLineValues v;
  if (column != 3 && column != 6) ReadHistoryLineValues(row.line, v);
  return CellOf(row, paired, column, v, names);
}

std::vector<std::string> HistoryRowTexts(const THistoryRow& row, const THistoryRow* paired,
                                         const THistoryNameLookup& names) {
  THistoryLineValues v;
  ReadHistoryLineValues(row.line, v);
  std::vector<std::string> cells(kHistoryColumnCount);
  for (int c = 0; c < kHistoryColumnCount; ++c) cells[c] = CellOf(row, paired, c, v, names);
  return cells;
}

// ---------------------------------------------------------------------------------------
// Buttons, time travel, print

int32_t HistoryRowPerson(const THistoryRow& row) {
  if (row.objCls == icPerson) return row.objId;
  if (row.sideCls == icPerson) return row.sideId;
  return 0;
}

THistoryButtons HistoryRowButtons(const THistoryRow& row, TMiniDB& db, bool timeTravelMode) {
  THistoryButtons b;
  b.gotoKey = row.objCls == icKey && row.objId > 0;
  if (b.gotoKey && row.action == THistoryAction::Trans && row.kind == 2 && row.sideId > 0 &&
      (row.sideCls == icPerson || row.sideCls == icKeyBunch) && db.HasRecord(row.objId)) {
    const TOwnerKind kind = row.sideCls == icPerson ? okPerson : okKeyBunch;
    const std::vector<std::string> lines = SplitHolderLines(db.ReadLineField(row.objId, fkHolders));
    b.giveBack = HasHolderLine(lines, HolderLinePrefix({kind, row.sideId}));
  }
  b.gotoPerson = HistoryRowPerson(row) > 0;
  b.timeTravel = row.hasUtc && !timeTravelMode;
  return b;
}

double HistoryRowUtc(const THistoryRow& row) {
  THistoryLineValues v;
  ReadHistoryLineValues(row.line, v);
  if (v.utc.empty()) return 0;
  return Hex32ToDouble(v.utc);
}

std::string HistoryRowItems(const THistoryRow& row) {
  THistoryLineValues v;
  ReadHistoryLineValues(row.line, v);
  std::string items;
  for (const std::string* text : {&v.o, &v.src, &v.dest}) {
    int32_t id = 0;
    uint8_t cls = 0;
    if (ObjectOf(*text, id, cls) && id > 0) items += std::to_string(id) + ";";
  }
  return items;
}

std::string HistoryPrintTitle(int cls, int32_t id, const std::string& name,
                              const std::string& closing) {
  if (id == 0) return FrameHistoryText(9);
  std::string text = ClassCaption(cls, false) + " " + name;
  if ((cls == icKey || cls == icCylinder) && !closing.empty() &&
      name.find(closing) == std::string::npos)
    text += ", " + CoreText(120) + " " + closing;
  return GetMLTextFmt(FrameHistoryTexts(), 10, text);
}

std::string HistoryDeleteInfo() { return FrameHistoryText(13) + "\r\r" + FrameHistoryText(21); }
