#include "data/HistoryTableUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "basic/Hex32Unit.h"
#include "basic/SLUnit.h"
#include "data/HistoryUnit.h"
#include "data/UnitTR100.h"
#include "DomainFixture.h"
#include "support/TestSupport.h"

namespace {

struct THistoryTableTest : ::testing::Test {
  TTempDir dir;
  TScopedRecorder ui;
  TDomainStore store{dir};
  int32_t key = 0, person = 0, bunch = 0, user = 0;

  void SetUp() override {
    key = store.Add(icKey, "K1");
    person = store.Add(icPerson, "Meier");
    bunch = store.Add(icKeyBunch, "Bund 1");
    user = store.Add(icUser, "ADMIN");
  }
  std::string Obj(int cls, int32_t id, const std::string& name) {
    return HistoryObjectText(cls, id, name);
  }
  THistoryNameLookup Names() {
    return [this](int32_t id, int cls, std::string& name) {
      return HistoryStoreName(*store, id, cls, name);
    };
  }
  std::deque<std::string> kept;  // the lines the rows point at
  std::vector<THistoryRow> Rows(const std::vector<std::string>& lines) {
    std::vector<THistoryRow> rows;
    for (size_t i = 0; i < lines.size(); ++i) {
      THistoryRow row;
      kept.push_back(lines[i]);
      if (ParseHistoryRow(2024, static_cast<uint32_t>(i + 1), kept.back(), row)) rows.push_back(row);
    }
    PairHistoryRows(rows);
    return rows;
  }
  std::string Cell(const std::vector<THistoryRow>& rows, size_t row, int column) {
    const THistoryRow& r = rows[row];
    const THistoryRow* paired = r.pair >= 0 ? &rows[static_cast<size_t>(r.pair)] : nullptr;
    return HistoryCellText(r, paired, column, Names());
  }
};

const std::string kD = "d=2024-03-05\xA0" "14:07:09";
const std::string kStamp = "05.03.2024 14:07";

}  // namespace

// One line of every kind through the columns: action texts with and without count, names
// from the store, from the line or "-", the holder side from "src" or "dest".
TEST_F(THistoryTableTest, ColumnsOfEveryKindOfLine) {
  const std::string u = "u=" + Obj(icUser, user, "old admin name");
  const std::string stueck = " " + CoreText(55) + ")";
  struct Case {
    std::vector<std::string> items;
    std::string action, name, side, stock, remark;
  } cases[] = {
      {{"a=New", kD, "o=" + Obj(icKey, key, "K1 old"), u, "stock=5"},
       FrameHistoryText(2), store->GetDisplayName(key), "", "5", ""},
      {{"a=Ren", kD, "o=" + Obj(icKey, 999, "Gone"), "oldName=Alt", u},
       FrameHistoryText(3), "Gone", "", "", FrameHistoryText(6) + ": Alt"},
      {{"a=Del", kD, "o=" + Obj(icKey, 998, ""), u}, FrameHistoryText(4), "-", "", "", ""},
      {{"a=Inv", kD, "o=" + Obj(icKey, key, "x"), "stock=4", "r=gez\xE4hlt"},
       FrameHistoryText(22), store->GetDisplayName(key), "", "4", "gez\xE4hlt"},
      {{"a=Total", kD, "o=" + Obj(icKey, key, "x"), "cnt=2", "stock=7"},
       CoreText(6) + " (+2" + stueck, store->GetDisplayName(key), "", "7", ""},
      {{"a=Total", kD, "o=" + Obj(icKey, key, "x"), "cnt=-3", "stock=4"},
       CoreText(6) + " (-3" + stueck, store->GetDisplayName(key), "", "4", ""},
      {{"a=Trans2", kD, "o=" + Obj(icKey, key, "x"), "dest=" + Obj(icPerson, person, "p"),
        "cnt=1", "stock=3 / 5"},
       TransferActionName(2), store->GetDisplayName(key), "Meier", "3 / 5", ""},
      {{"a=Trans2", kD, "o=" + Obj(icKey, key, "x"), "dest=" + Obj(icKeyBunch, bunch, "b"),
        "cnt=3"},
       TransferActionName(2) + " (3" + stueck, store->GetDisplayName(key), "Bund 1", "", ""},
      {{"a=Trans3", kD, "o=" + Obj(icKey, key, "x"), "src=" + Obj(icPerson, 777, "Schulz")},
       TransferActionName(3), store->GetDisplayName(key), "Schulz", "", ""},
      {{"a=Trans1", kD, "o=" + Obj(icKey, key, "x"), "cnt=10"},
       TransferActionName(1) + " (10" + stueck, store->GetDisplayName(key), "", "", ""},
      {{"a=Trans4", kD, "o=" + Obj(icKey, key, "x")}, TransferActionName(4),
       store->GetDisplayName(key), "", "", ""},
      {{"a=Trans5", kD, "o=" + Obj(icKey, key, "x"), "src=" + Obj(icPerson, person, "p")},
       TransferActionName(5), store->GetDisplayName(key), "Meier", "", ""},
      {{"a=Trans6", kD, "o=" + Obj(icKey, key, "x"), "src=" + Obj(icPerson, person, "p"),
        "cnt=2"},
       TransferActionName(6) + " (2" + stueck, store->GetDisplayName(key), "Meier", "", ""},
  };
  for (const Case& c : cases) {
    std::vector<THistoryRow> rows = Rows({BuildCommaText(c.items)});
    ASSERT_EQ(rows.size(), 1u) << c.items[0];
    EXPECT_EQ(Cell(rows, 0, 0), kStamp);
    EXPECT_EQ(Cell(rows, 0, 1), c.action) << c.items[0];
    EXPECT_EQ(Cell(rows, 0, 2), c.name) << c.items[0];
    EXPECT_EQ(Cell(rows, 0, 4), c.side) << c.items[0];
    EXPECT_EQ(Cell(rows, 0, 5), c.stock) << c.items[0];
    EXPECT_EQ(Cell(rows, 0, 8), c.remark) << c.items[0];
    const bool withUser = std::find(c.items.begin(), c.items.end(), u) != c.items.end();
    EXPECT_EQ(Cell(rows, 0, 7), withUser ? "ADMIN" : "") << c.items[0];
  }
  // A line without "d" is no row; a date without a time shows midnight.
  EXPECT_TRUE(Rows({BuildCommaText({"a=New", "o=" + Obj(icKey, key, "x")})}).empty());
  std::vector<THistoryRow> rows = Rows({BuildCommaText({"a=Trans2", "d=2024-03-05",
                                                        "o=" + Obj(icKey, key, "x")})});
  EXPECT_EQ(Cell(rows, 0, 0), "05.03.2024 00:00");
}

// Column 6: an issue names its return, the return its issue; two issues name the same
// return; identifiers that differ never pair.
TEST_F(THistoryTableTest, IssuesAndReturnsPair) {
  auto line = [&](int kind, const std::string& day, int32_t side, const std::string& emb) {
    std::vector<std::string> items = {"a=Trans" + std::to_string(kind),
                                      "d=2024-03-" + day + "\xA0" "10:00:00",
                                      "o=" + Obj(icKey, key, "K1")};
    items.push_back((kind == 2 ? "dest=" : "src=") + Obj(icPerson, side, "p"));
    if (!emb.empty()) items.push_back("emb=" + emb);
    return BuildCommaText(items);
  };
  const std::string back = FrameHistoryText(24) + " ", out = FrameHistoryText(23) + " ";
  struct Case {
    std::vector<std::string> lines;
    std::vector<std::string> column6;
  } cases[] = {
      {{line(2, "01", person, ""), line(3, "02", person, "")},
       {back + "02.03.2024 10:00", out + "01.03.2024 10:00"}},
      {{line(2, "01", person, ""), line(2, "03", person, ""), line(3, "04", person, "")},
       {back + "04.03.2024 10:00", back + "04.03.2024 10:00", out + "03.03.2024 10:00"}},
      {{line(2, "01", person, "A"), line(3, "02", person, "B"), line(3, "03", person, "")},
       {"", "", ""}},
      {{line(2, "01", person, "A"), line(2, "02", person, "B"), line(3, "03", person, "A")},
       {back + "03.03.2024 10:00", "", out + "01.03.2024 10:00"}},
      {{line(2, "01", person, ""), line(3, "02", 777, "")}, {"", ""}},  // another holder
      {{line(3, "01", person, ""), line(2, "02", person, "")}, {"", ""}},  // return first
  };
  for (const Case& c : cases) {
    std::vector<THistoryRow> rows = Rows(c.lines);
    ASSERT_EQ(rows.size(), c.column6.size());
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(Cell(rows, i, 6), c.column6[i]) << i;
  }
}

TEST_F(THistoryTableTest, Filters) {
  std::vector<THistoryRow> rows = Rows({
      BuildCommaText({"a=New", kD, "o=" + Obj(icKey, key, "K1")}),
      BuildCommaText({"a=Trans1", kD, "o=" + Obj(icKey, key, "K1")}),
      BuildCommaText({"a=Trans2", kD, "o=" + Obj(icKey, key, "K1"), "emb=7"}),
      BuildCommaText({"a=Trans3", kD, "o=" + Obj(icKey, key, "K1"), "emb=8"}),
      BuildCommaText({"a=Trans4", kD, "o=" + Obj(icKey, key, "K1")}),
      BuildCommaText({"a=Trans5", kD, "o=" + Obj(icKey, key, "K1"), "emb=7"}),
      BuildCommaText({"a=Trans6", kD, "o=" + Obj(icKey, key, "K1")}),
  });
  struct Case {
    THistoryFilter filter;
    std::string kept;  // one character per row
  } cases[] = {
      {{false, ""}, "1111111"},
      {{true, ""}, "0011011"},
      {{false, "7"}, "0010010"},
      {{true, "8"}, "0001000"},
  };
  for (const Case& c : cases) {
    std::string kept;
    for (const THistoryRow& row : rows) kept += HistoryRowPasses(row, c.filter) ? '1' : '0';
    EXPECT_EQ(kept, c.kept);
  }
}

// The buttons a row allows; the return only while the holder still holds the key.
TEST_F(THistoryTableTest, ButtonsOfARow) {
  const std::string utc = "utc=" + DoubleToHex32(45000.25);
  std::vector<THistoryRow> rows = Rows({
      BuildCommaText({"a=Trans2", kD, "o=" + Obj(icKey, key, "K1"),
                      "dest=" + Obj(icPerson, person, "p"), utc}),
      BuildCommaText({"a=Trans2", kD, "o=" + Obj(icKey, key, "K1"),
                      "dest=" + Obj(icKeyBunch, bunch, "b")}),
      BuildCommaText({"a=Ren", kD, "o=" + Obj(icPerson, person, "p"), utc}),
      BuildCommaText({"a=Login", kD, "o=" + Obj(icUser, user, "u")}),
  });
  store->SetField(key, "own", "E" + std::to_string(person) + "=1|2024-03-05");
  store->Commit();
  struct Case {
    size_t row;
    bool timeTravelMode;
    THistoryButtons b;
  } cases[] = {
      {0, false, {true, true, true, true}},
      {0, true, {true, true, true, false}},
      {1, false, {true, false, false, false}},  // the bunch holds nothing now
      {2, false, {false, false, true, true}},
      {3, false, {false, false, false, false}},
  };
  for (const Case& c : cases) {
    THistoryButtons b = HistoryRowButtons(rows[c.row], *store, c.timeTravelMode);
    EXPECT_EQ(b.gotoKey, c.b.gotoKey) << c.row;
    EXPECT_EQ(b.giveBack, c.b.giveBack) << c.row;
    EXPECT_EQ(b.gotoPerson, c.b.gotoPerson) << c.row;
    EXPECT_EQ(b.timeTravel, c.b.timeTravel) << c.row;
  }
  store->SetField(key, "own", "");
  store->Commit();
  EXPECT_FALSE(HistoryRowButtons(rows[0], *store, false).giveBack);
  // Time travel takes the moment and the objects of the row itself.
  EXPECT_DOUBLE_EQ(HistoryRowUtc(rows[0]), 45000.25);
  EXPECT_EQ(HistoryRowItems(rows[0]), std::to_string(key) + ";" + std::to_string(person) + ";");
  EXPECT_EQ(HistoryRowUtc(rows[1]), 0);
}

TEST(HistoryTexts, PrintTitleAndDeleteInfo) {
  const std::string key = ClassCaption(icKey, false), cyl = ClassCaption(icCylinder, false);
  const std::string closing = ", " + CoreText(120) + " ";
  struct Case {
    int cls;
    int32_t id;
    std::string name, k603, title;
  } cases[] = {
      {icKey, 4, "K1", "123", "Protokoll f\xFCr " + key + " K1" + closing + "123"},
      {icKey, 4, "K1 (123)", "123", "Protokoll f\xFCr " + key + " K1 (123)"},
      {icCylinder, 6, "Z1", "9", "Protokoll f\xFCr " + cyl + " Z1" + closing + "9"},
      {icPerson, 5, "Meier", "9", "Protokoll f\xFCr " + ClassCaption(icPerson, false) + " Meier"},
      {icKey, 0, "", "", "Protokoll"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HistoryPrintTitle(c.cls, c.id, c.name, c.k603), c.title) << c.name;
  const std::string info = HistoryDeleteInfo();
  EXPECT_EQ(info.find(FrameHistoryText(13) + "\r\r"), 0u);
  EXPECT_NE(info.find("Hersteller. ("), std::string::npos);
  EXPECT_EQ(info.back(), ')');
}

// The worker's rows and pairs, handed over in many batches, are the rows of the whole
// history paired in one go; the filter applies before the pairing.
TEST_F(THistoryTableTest, LoaderHandsOverRowsAndPairsInBatches) {
  std::vector<std::string> lines;
  std::string bytes = "\x01\r\n";
  for (int i = 0; i < 300; ++i) {
    const int kind = i % 3 == 2 ? 3 : 2;
    std::vector<std::string> items = {"a=Trans" + std::to_string(kind),
                                      "d=2024-03-05\xA0" "10:" + std::to_string(10 + i % 50),
                                      "o=" + Obj(icKey, key, "K1")};
    items.push_back((kind == 2 ? "dest=" : "src=") + Obj(icPerson, person + i % 4, "p"));
    if (i % 5 == 0) items.push_back("emb=E" + std::to_string(i % 2));
    if (i % 7 == 0) items[0] = "a=New";
    lines.push_back(BuildCommaText(items));
    bytes += lines.back() + "\r\n";
  }
  WriteAllBytes(dir.File("Log2024.alg"), bytes);
  for (const THistoryFilter& filter : {THistoryFilter{}, THistoryFilter{true, ""}}) {
    THistoryRowLoader loader({{2024, dir.File("Log2024.alg")}}, icKey, key, filter);
    loader.SetBlockSize(4096);
    std::atomic<bool> cancel{false};
    std::vector<THistoryRow> got;
    std::vector<std::shared_ptr<THistoryLineStore>> stores;
    int batches = 0;
    bool last = false;
    loader.Run(cancel, [&](THistoryRowBatch&& batch) {
      ++batches;
      EXPECT_FALSE(last);
      last = batch.last;
      if (batch.store) stores.push_back(batch.store);
      for (THistoryRow& row : batch.rows) got.push_back(std::move(row));
      for (auto [row, other] : batch.pairs) {
        ASSERT_LT(row, static_cast<int32_t>(got.size()));
        got[row].pair = other;
      }
    });
    EXPECT_TRUE(last);
    EXPECT_GT(batches, 3);
    std::vector<THistoryRow> expected;
    for (size_t i = 0; i < lines.size(); ++i) {
      THistoryRow row;
      if (ParseHistoryRow(2024, static_cast<uint32_t>(i + 1), lines[i], row) &&
          HistoryRowPasses(row, filter))
        expected.push_back(row);
    }
    PairHistoryRows(expected);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].line, expected[i].line);
      EXPECT_EQ(got[i].index, expected[i].index);
      EXPECT_EQ(got[i].pair, expected[i].pair) << i;
    }
  }
}
