#pragma once
// The rows of the history view ("Protokoll"), without widgets: one row per history line
// of the shown record, its nine columns, the pairing of issues and returns (column 6),
// the filters, which buttons a row allows, and the texts of the view's table
// "FrameHistory".
//
// A row keeps its year, its line index and its line itself: going to a key, a return or
// time travel work from the row, whatever line of whatever year it is (the packed line
// references of the history end at line 524,287 of a year).
//
// Rows are built on the scan's worker thread (ParseHistoryRow, THistoryPairer touch no
// program-wide state); names of records come from the store on the view's thread, for the
// rows shown, through a THistoryNameLookup.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "data/HistoryScanUnit.h"

class TMiniDB;
class TMLStringList;

// The view's message table (group "FrameHistory", texts 1..27).
const TMLStringList* FrameHistoryTexts();
std::string FrameHistoryText(int number);

inline constexpr int kHistoryColumnCount = 9;
// The column titles: "Datum", "Aktion", "Bezeichnung", "Kenn", the persons term, "Bestand
// neu", "Ausgabe/Rücknahme", the user caption, "Bemerkung".
std::vector<std::string> HistoryColumnTitles();

// What a line records (its "a").
enum class THistoryAction : uint8_t { Other, New, Ren, Del, Inv, Total, Login, Trans };

struct THistoryRow {
  std::string_view line;    // the line as in the file, without CR LF (in its batch's store)
  std::string emb;          // "emb" (identifiers are short)
  int64_t stamp = 0;        // "d" as yyyymmddhhnnss; 0 when it cannot be read
  uint32_t index = 0;       // the line's index in its year file
  int32_t objId = 0;        // "o"
  int32_t sideId = 0;       // the transfer's holder side (below)
  int32_t userId = 0;       // "u"
  int32_t pair = -1;        // the row column 6 names (its return or issue), -1 none
  int16_t year = 0;
  THistoryAction action = THistoryAction::Other;
  uint8_t kind = 0;         // transfer kind 1..6, 0 for other lines
  uint8_t objCls = 0, sideCls = 0, userCls = 0;
  bool sideIsSource = false;  // the holder side is "src" (else "dest")
  bool hasUtc = false;
};

// The values of a line the columns show, read in one pass.
struct THistoryLineValues {
  std::string a, d, o, src, dest, u, u2, emb, utc, cnt, stock, r, oldName;
};
void ReadHistoryLineValues(std::string_view line, THistoryLineValues& values);

// "yyyy-mm-dd" [0xA0 or blank "hh:nn" [":ss"]] as yyyymmddhhnnss; 0 when it is no date.
int64_t HistoryStampOf(const std::string& d);
// "dd.mm.yyyy hh:nn"; empty for 0.
std::string HistoryStampText(int64_t stamp);

// A row of a line; false for a line without "d" (not shown). The row points at the line,
// which must live as long as the row. The holder side of a transfer is its source when
// that is a person or a key bunch, else its target: a return from a key bunch names the
// bunch like the issue to it, so the two pair.
bool ParseHistoryRow(int year, uint32_t index, std::string_view line, THistoryRow& row);

struct THistoryFilter {
  bool transfersOnly = false;  // only issues, returns, losses and finds (kinds 2, 3, 5, 6)
  std::string identifier;      // keys: only lines of this "emb"; empty = all
};
bool HistoryRowPasses(const THistoryRow& row, const THistoryFilter& filter);

// Column 6 in one linear pass over the rows in file order. An issue names the first later
// return of the same key and holder side; a return names the nearest earlier issue of
// both; only when their identifiers agree (both empty or equal). Two issues may name the
// same return.
class THistoryPairer {
 public:
  // The row of table index `rowIndex`, in order.
  void Add(int32_t rowIndex, const THistoryRow& row);
  // (row, row it names) for every paired row since the last call.
  std::vector<std::pair<int32_t, int32_t>> Take();

 private:
  // One key, object and holder side and identifier, in an open-addressing table: a year of
  // issues makes hundreds of thousands of them, and a node per key would cost more than
  // everything else the worker does.
  struct TSlot {
    int32_t obj = 0, side = 0, emb = -1;  // emb: index in embs_; -1 = free slot
    int32_t lastIssue = -1;
    int32_t waiting = -1;  // the newest issue without a return yet (a list through waits_)
  };
  TSlot& SlotOf(int32_t obj, int32_t side, int32_t emb);
  void Grow();

  std::vector<TSlot> slots_;
  size_t used_ = 0;
  std::unordered_map<std::string, int32_t> embs_;
  std::vector<std::pair<int32_t, int32_t>> waits_;  // (issue row, next) of the lists
  std::vector<std::pair<int32_t, int32_t>> pairs_;
};
// Pairs a whole table.
void PairHistoryRows(std::vector<THistoryRow>& rows);

// What the worker of the view hands over: rows (whose table indexes follow those handed
// over before), the column-6 pairs found so far (table indexes), the progress; the last
// batch carries the scan's result.
struct THistoryRowBatch {
  std::shared_ptr<THistoryLineStore> store;  // the text of the rows' lines
  std::vector<THistoryRow> rows;
  std::vector<std::pair<int32_t, int32_t>> pairs;
  THistoryScanProgress progress;
  bool last = false;
  THistoryScanResult result;
};

// The scan of one record's (or a class's) history turned into rows on the worker: lines
// read, parsed, filtered and paired there, so the view's thread only appends what it gets.
class THistoryRowLoader {
 public:
  THistoryRowLoader(std::vector<THistoryYearFile> files, int cls, int32_t id,
                    THistoryFilter filter);
  void SetBlockSize(size_t bytes) { scan_.SetBlockSize(bytes); }
  void Run(const std::atomic<bool>& cancel,
           const std::function<void(THistoryRowBatch&& batch)>& deliver);

 private:
  THistoryScan scan_;
  THistoryFilter filter_;
};

// The current name of a record of a class in the store; false when the store has none.
using THistoryNameLookup = std::function<bool(int32_t id, int cls, std::string& name)>;
// The store's name: the display name for keys, else the name; false for an ID without a
// record of that class.
bool HistoryStoreName(TMiniDB& db, int32_t id, int cls, std::string& name);

// The text of a cell; `paired` is the row column 6 names (row.pair), null without.
std::string HistoryCellText(const THistoryRow& row, const THistoryRow* paired, int column,
                            const THistoryNameLookup& names);
// All cells of a row, its line read once.
std::vector<std::string> HistoryRowTexts(const THistoryRow& row, const THistoryRow* paired,
                                         const THistoryNameLookup& names);

// What the buttons of the view may do with a row.
struct THistoryButtons {
  bool gotoKey = false;
  bool giveBack = false;    // the return: an issue of a key its holder still holds
  bool gotoPerson = false;
  bool timeTravel = false;
};
THistoryButtons HistoryRowButtons(const THistoryRow& row, TMiniDB& db, bool timeTravelMode);
// The person of a row: the object, else the target or source that is a person; 0.
int32_t HistoryRowPerson(const THistoryRow& row);
// The time-travel moment (UTC) of a row, 0 without "utc"; the items text of its "o",
// "src" and "dest" objects ("id;" each).
double HistoryRowUtc(const THistoryRow& row);
std::string HistoryRowItems(const THistoryRow& row);

// The title of the printout: text 10 with the class caption, " ", the name and, for keys
// and cylinders whose "k603" is not already part of the name, ", Schließung " + it; text 9
// without a record.
std::string HistoryPrintTitle(int cls, int32_t id, const std::string& name,
                              const std::string& closing);
// What the delete command says: text 13, two line breaks, text 21.
std::string HistoryDeleteInfo();
