// The stock list: rows, colours and sums over a small store of keys and cylinders, every
// filter, the presets, the choice handed back, the right to print and export, the reload
// at most every ten seconds and a refill that a newer one overtakes.
#include "views/KeyBoxUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

#include <gmock/gmock.h>

#include "KeyStockTestSupport.h"
#include "app/GridExportUnit.h"
#include "basic/widgets/QtGlue.h"
#include "output/FakePrinterServices.h"

namespace {

using ::testing::ElementsAre;

struct StockList : TKeyStockTest {
  int32_t alpha = 0, beta = 0, gamma = 0, delta = 0, epsilon = 0, zeta = 0;
  int32_t cyl1 = 0, cyl2 = 0, cyl3 = 0;
  int32_t cabinet = 0, group = 0, person = 0;

  void SetUp() override {
    TKeyStockTest::SetUp();
    cabinet = Record(icCabinet, "Schrank A");
    group = Record(icGroup, "Gruppe 1");
    person = Person("Paul");
    alpha = Key("Alpha", "3", "5", "1", "12-34", "2");
    beta = Key("Beta", "0", "3", "1", "56", "");
    gamma = Key("Gamma", "2", "2", "1", "78", "2");
    delta = Key("Delta", "-1", "2", "1", "", "");
    epsilon = Key("Epsilon", "", "", "2", "", "");
    zeta = Key("Zeta", "9", "9", "1", "", "");
    Set(alpha, fkKeyType, "1");
    Set(alpha, fkRemark, "Haken 3");
    SetKeySystemName(1, "Anlage A");
    Link(alpha, cabinet);
    Link(epsilon, group);
    ASSERT_TRUE(a->MarkDeleted(zeta));
    cyl1 = Record(icCylinder, "Zyl 1");  // no total: one piece
    cyl2 = Record(icCylinder, "Zyl 2");
    Set(cyl2, fkTotal, "2");
    for (int i = 0; i < 3; ++i) Link(cyl2, Record(icDoor, "Tuer " + std::to_string(i)));
    cyl3 = Record(icCylinder, "Zyl 3");
    Set(cyl3, fkTotal, "5");
    Set(cyl3, fkLength, "30/35");
    Link(cyl3, Record(icDoor, "Tuer 9"));
    Set(cyl3, fkHolders, "E" + std::to_string(person) + "=1|2024-06-01");
  }
  void TearDown() override {
    FreeKeyBoxForm();
    TKeyStockTest::TearDown();
  }
  int32_t Key(const std::string& name, const std::string& cnt, const std::string& total,
              const std::string& system, const std::string& closing, const std::string& min) {
    const int32_t id = Record(icKey, name);
    if (!cnt.empty()) a->SetField(id, fkStock, cnt);
    if (!total.empty()) a->SetField(id, fkTotal, total);
    a->SetField(id, fkKeySystem, system);
    if (!closing.empty()) a->SetField(id, "k603", closing);
    if (!min.empty()) a->SetField(id, fkMinimum, min);
    EXPECT_TRUE(a->Commit());
    return id;
  }
  std::vector<int32_t> Ids(const TStockFilter& filter) {
    TStockList list;
    EXPECT_TRUE(BuildStockList(*a.db, filter, list));
    std::vector<int32_t> ids;
    for (const TStockRow& row : list.rows) ids.push_back(row.id);
    return ids;
  }
  void UseMinimumStock() {
    const int32_t settings = a->FindOrCreateSingleton(true);
    Set(settings, "MinStkKeys", "1");
  }
};

TEST_F(StockList, RowsColoursAndSumsOfKeysAndCylinders) {
  TStockFilter keys;
  TStockList list;
  ASSERT_TRUE(BuildStockList(*a.db, keys, list));
  std::vector<std::string> texts;
  for (const TStockRow& row : list.rows) texts.push_back(AvailabilityText(row));
  // Sorted by name; the deleted key is left out.
  EXPECT_THAT(texts, ElementsAre("3 von 5", "0 von 3", "-1 von 2", "0 von 0", "2 von 2"));
  EXPECT_EQ(list.rows[0].id, alpha);
  EXPECT_EQ(AvailabilityColor(list.rows[0].stock), clStockPositive);
  EXPECT_EQ(AvailabilityColor(list.rows[1].stock), 0u);
  EXPECT_EQ(AvailabilityColor(list.rows[2].stock), clStockNegative);
  EXPECT_EQ(StockFootText(list), "5 Eintr\xE4ge gefunden. Summe aller Exemplare: 12, "
                                 "Summe verf\xFC" "gbarer Exemplare: 5");
  EXPECT_THAT(StockCells(*a.db, list.rows[0], icKey, false),
              ElementsAre("Alpha", "12-34", "ES", KeySystemName(*a.db, 1), "3 von 5",
                          "Schrank A", "Haken 3"));

  TStockFilter cylinders;
  cylinders.itemClass = icCylinder;
  ASSERT_TRUE(BuildStockList(*a.db, cylinders, list));
  texts.clear();
  for (const TStockRow& row : list.rows) texts.push_back(AvailabilityText(row));
  // No total is one piece ("1 von 1", never "1 von 0"); three doors for two pieces: -1.
  EXPECT_THAT(texts, ElementsAre("1 von 1", "-1 von 2", "3 von 5"));
  EXPECT_EQ(AvailabilityColor(list.rows[1].stock), clStockNegative);
  EXPECT_EQ(StockFootText(list), "3 Eintr\xE4ge gefunden. Summe aller Exemplare: 8, "
                                 "Summe verf\xFC" "gbarer Exemplare: 4");
  EXPECT_EQ(StockCells(*a.db, list.rows[2], icCylinder, false)[2], "30/35");
  EXPECT_EQ(StockListCaptions(icCylinder, true)[2], "L\xE4nge");
}

TEST_F(StockList, EveryFilterNarrowsTheList) {
  struct TCase {
    const char* what;
    TStockFilter filter;
    std::vector<int32_t> ids;
  };
  auto f = [](auto change) {
    TStockFilter filter;
    change(filter);
    return filter;
  };
  const std::vector<TCase> cases = {
      {"name", f([](TStockFilter& x) { x.search = "ta"; }), {beta, delta}},
      {"closing", f([](TStockFilter& x) { x.closing = "12.34"; }), {alpha}},
      {"quoted closing", f([](TStockFilter& x) { x.closing = "\"56\""; }), {beta}},
      {"system", f([](TStockFilter& x) { x.system = 2; }), {epsilon}},
      {"group", f([this](TStockFilter& x) { x.group = group; }), {epsilon}},
      {"available", f([](TStockFilter& x) { x.onlyAvailable = true; }), {alpha, gamma}},
      // Plus one: min 2 at stock 2 is listed, min 2 at stock 3 is not.
      {"below minimum", f([](TStockFilter& x) { x.onlySubMin = true; }), {gamma}},
      {"length", f([](TStockFilter& x) {
         x.itemClass = icCylinder;
         x.length = "35";
       }),
       {cyl3}},
      {"available cylinders", f([](TStockFilter& x) {
         x.itemClass = icCylinder;
         x.onlyAvailable = true;
       }),
       {cyl1, cyl3}},
  };
  for (const TCase& c : cases) EXPECT_EQ(Ids(c.filter), c.ids) << c.what;
}

TEST_F(StockList, TheDialogShowsPresetsMarksAndHandsTheChoiceBack) {
  UseMinimumStock();
  TKeyBoxForm& form = KeyBoxForm();
  form.RefreshCombos();
  form.FillGrid();
  EXPECT_EQ(form.Model->rowCount(), 5);
  EXPECT_EQ(FromQString(form.Model->headerData(5, Qt::Horizontal, Qt::DisplayRole).toString()),
            "min. ");
  EXPECT_EQ(FromQString(form.FootLabel->text()),
            "5 Eintr\xE4ge gefunden. Summe aller Exemplare: 12, Summe verf\xFC" "gbarer "
            "Exemplare: 5");
  const QModelIndex deltaStock = form.Model->index(form.Model->RowOfId(delta), 4);
  EXPECT_EQ(deltaStock.data(Qt::BackgroundRole).value<QBrush>().color(),
            ColorFromBgr(clStockNegative));
  EXPECT_EQ(form.SelectedId(), alpha);  // the first row

  ShowStockList(icKey, ksAll, 0, "\"12-34\"", "");
  form.FillGrid();
  EXPECT_EQ(form.Model->rowCount(), 1);
  EXPECT_NE(form.SeekLockEd->palette().color(QPalette::Base),
            form.SeekEd->palette().color(QPalette::Base));  // a filter in use is marked
  ShowStockList(icKey, 2, 0, "", "");  // an empty text leaves the field as it is
  EXPECT_EQ(FromQString(form.SeekLockEd->text()), "\"12-34\"");
  ShowStockList(icKey, ksAll, 0, "\"\"", "");  // two double quotes clear it
  EXPECT_EQ(FromQString(form.SeekLockEd->text()), "");

  form.FillGrid();
  form.SelectId(gamma);
  QueueDialogDriver([this](QDialog& dialog) {
    auto& f = static_cast<TKeyBoxForm&>(dialog);
    // The fill of the show keeps the record chosen before.
    EXPECT_EQ(f.SelectedId(), gamma);
    EXPECT_EQ(f.Model->rowCount(), 5);
    EXPECT_TRUE(f.GotoBtn->isEnabled());
    f.GotoBtn->click();
  });
  EXPECT_EQ(SelectFromStockList(), gamma);

  form.CylsRadio->setChecked(true);
  EXPECT_EQ(FromQString(form.GotoBtn->text()), "Zylinder aufrufen");
  EXPECT_EQ(form.Model->rowCount(), 3);
  form.SeekEd->setText("nichts dergleichen");
  EXPECT_EQ(form.Model->rowCount(), 0);
  EXPECT_FALSE(form.NoResultPanel->isHidden());
  EXPECT_EQ(FromQString(form.NoResultPanel->text()), "keine entsprechenden Zylinder gefunden");
  QueueDialogDriver([](QDialog& dialog) { static_cast<TKeyBoxForm&>(dialog).CloseBtn->click(); });
  EXPECT_EQ(SelectFromStockList(), 0);
}

// The dialog is kept with its ticks: the fill before it shows already narrows by them.
TEST_F(StockList, ATickedMinimumFilterHoldsForTheFillBeforeTheDialogShows) {
  UseMinimumStock();
  TKeyBoxForm& form = KeyBoxForm();
  form.RefreshCombos();
  ASSERT_TRUE(form.isHidden());
  form.onlySubMinCheck->setChecked(true);
  form.FillGrid();
  ASSERT_EQ(form.Model->rowCount(), 1);
  EXPECT_EQ(form.Model->IdAt(0), gamma);
}

// Everything a recorded print job drew, one text per entry.
std::vector<std::string> Drawn(const TRecordedJob& job) {
  std::vector<std::string> texts;
  for (const TRecordedPage& page : job.pages)
    for (const TRecordedText& t : page.texts) texts.push_back(t.text);
  return texts;
}

TEST_F(StockList, PrintAndBothExportsNeedTheRightToPrintLists) {
  TFakePrinterScope printers;
  PrintSettings().preview = false;  // printed at once, no preview to drive
  TKeyBoxForm& form = KeyBoxForm();
  form.FillGrid();
  Session().RightLevels[rtPrintLists] = rlNo;
  EXPECT_FALSE(form.PrintBtnClick());
  EXPECT_FALSE(form.ExportBtnClick());
  EXPECT_FALSE(form.ExcelBtnClick());
  EXPECT_EQ(ui.messages.size(), 3u) << ui.AllText();
  Session().RightLevels[rtPrintLists] = rlYes;
  EXPECT_TRUE(form.PrintBtnClick());
  ASSERT_EQ(printers.printers.jobs.size(), 1u);
  const std::vector<std::string> drawn = Drawn(*printers.printers.jobs[0]);
  EXPECT_THAT(drawn, ::testing::Contains("Schl\xFCssel- und Zylinderbest\xE4nde"));
  EXPECT_THAT(drawn, ::testing::Contains("-1 von 2"));
  std::vector<std::string> lines;
  ASSERT_TRUE(ExportModelLines(form.Model, [&](const std::string& line, bool) {
    lines.push_back(line);
    return true;
  }));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], KeyCaption() + "\tSchlie\xDFung\tTyp\tSchlie\xDF" "anlage\tverf\xFC" "gbar\t" +
                          CabinetCaption() + "\tBemerkung");
  EXPECT_EQ(lines[1], "Alpha\t12-34\tES\t" + KeySystemName(*a.db, 1) + "\t3 von 5\tSchrank A\t"
                      "Haken 3");
}

TEST_F(StockList, TheStoreIsReadAgainAtMostEveryTenSeconds) {
  TKeyBoxForm& form = KeyBoxForm();
  form.FillGrid();
  EXPECT_EQ(form.Model->rowCount(), 5);
  // Station B adds a key.
  ASSERT_GT(b->NewNamedRecord(icKey, "Omega", ""), 0);
  ASSERT_TRUE(b->Commit());
  clock.Advance(9.0 / 86400);
  form.SeekEd->setText("e");  // a keystroke within ten seconds: no reread
  EXPECT_EQ(form.Model->rowCount(), 3);
  clock.Advance(2.0 / 86400);
  form.SeekEd->setText("");
  EXPECT_EQ(form.Model->rowCount(), 6);
}

TEST_F(StockList, ANewerFillOvertakesAnOlderOne) {
  TKeyBoxForm& form = KeyBoxForm();
  const int fills = form.FillCount;
  // While the first fill lets the window breathe, the user types a search.
  ui.events.push_back([&form] { form.SeekEd->setText("Gamma"); });
  form.FillGrid();
  EXPECT_EQ(form.FillCount, fills + 1);  // only the newer fill showed
  EXPECT_THAT(std::vector<int32_t>{form.Model->IdAt(0)}, ElementsAre(gamma));
  EXPECT_EQ(form.Model->rowCount(), 1);
}

}  // namespace
