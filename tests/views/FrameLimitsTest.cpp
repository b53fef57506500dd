// The deadlines view and the holding editor: which holdings a period lists and in which
// order, the texts of the rows and of an empty list, the login's check, and the editor
// changing exactly the holding and the fields the user changed, also when another station
// booked the holding meanwhile.
#include "views/FrameLimitsUnit.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest/QTest>

#include <gmock/gmock.h>

#include "KeyStockTestSupport.h"
#include "basic/widgets/QtGlue.h"
#include "data/TransferUnit.h"
#include "output/FakePrinterServices.h"

namespace {

using ::testing::ElementsAre;

std::vector<int32_t> KeysOf(const THolderEntries& entries) {
  std::vector<int32_t> keys;
  for (const THolderEntry& e : entries) keys.push_back(e.KeyId);
  return keys;
}

struct Limits : TKeyStockTest {
  int32_t anna = 0;
  void SetUp() override {
    TKeyStockTest::SetUp();
    anna = Person("Anna", "IT", "42");
  }
  std::string Line(int32_t person, const std::string& deadline, const std::string& receipt = "",
                   const std::string& remark = "", const std::string& first = "2024-06-01") {
    return "E" + std::to_string(person) + "=1|" + first + "|" + deadline + "|" + remark + "|" +
           receipt;
  }
};

TEST_F(Limits, APeriodListsTheHoldingsDueByItsLastDaySortedByDeadline) {
  struct TCase {
    int offset;
    bool in0, in7, in30;
  };
  const TCase cases[] = {{-1, true, true, true},  {0, true, true, true},   {5, false, true, true},
                         {7, false, true, true},  {8, false, false, true}, {30, false, false, true},
                         {31, false, false, false}};
  std::vector<int32_t> keys;
  // Stored in reverse, so the list's order comes from the sort, not from the keys.
  for (int i = 6; i >= 0; --i)
    keys.insert(keys.begin(), KeyHeld("K" + std::to_string(cases[i].offset),
                                      {Line(anna, Iso(cases[i].offset))}));
  // A holding without deadline is never due.
  KeyHeld("Ohne", {Line(anna, "")});
  for (int days : {0, 7, 30}) {
    std::vector<int32_t> expected;
    for (size_t i = 0; i < 7; ++i)
      if (days == 0 ? cases[i].in0 : days == 7 ? cases[i].in7 : cases[i].in30)
        expected.push_back(keys[i]);
    EXPECT_EQ(KeysOf(CollectDueHoldings(*a.db, LimitsDateOf(days))), expected) << days;
  }
}

TEST_F(Limits, EqualDeadlinesKeepTheirOrderAndEveryHolderKindIsListed) {
  const int32_t bunch = Record(icKeyBunch, "Bund 1");
  const int32_t first = KeyHeld("Erster", {Line(anna, Iso(-2), "0002", "", "2024-05-02"),
                                           Line(anna, Iso(-2), "0001", "", "2024-05-01")});
  const int32_t second = KeyHeld(
      "Zweiter", {"H" + std::to_string(bunch) + "=2|2024-05-01|" + Iso(-2),
                  "F" + std::to_string(anna) + "=1|2024-05-03|" + Iso(-3) + "|weg"});
  const std::string annasName = a->GetDisplayName(anna);
  const THolderEntries due = CollectDueHoldings(*a.db, LimitsDateOf(0));
  ASSERT_EQ(due.size(), 4u);
  // The lost one is the oldest deadline; then the three of one day in key and date order.
  EXPECT_EQ(due[0].Kind, okLost);
  EXPECT_THAT(KeysOf(due), ElementsAre(second, first, first, second));
  EXPECT_EQ(due[1].ReceiptNo, "0001");
  EXPECT_EQ(due[2].ReceiptNo, "0002");

  const std::vector<TLimitsCells> rows = LimitsRowsOf(*a.db, due);
  EXPECT_EQ(rows[0][2], "verloren von Anna (IT/42)");
  EXPECT_EQ(rows[1][2], "Anna (IT/42)");  // a person with department and number
  EXPECT_EQ(rows[3][2], "Bund 1");
  EXPECT_EQ(rows[3][1], "2");
  EXPECT_EQ(rows[0][3], "03.05.2024");
  EXPECT_EQ(rows[0][4], Shown(Iso(-3)));
  EXPECT_EQ(rows[0][5], "weg");
  // The person's own display name stays as the store names her.
  EXPECT_EQ(a->GetDisplayName(anna), annasName);
}

TEST_F(Limits, TheViewSaysWhenNothingIsDueAndTheLoginCheckFindsWhatIsOverdue) {
  TFrameLimits view;
  view.FillLimitsGrid();
  EXPECT_EQ(view.Model->rowCount(), 0);
  EXPECT_EQ(FromQString(view.NoResultPanel->text()), "bis heute keine Frist\xFC" "berschreitung gefunden");
  EXPECT_FALSE(view.PrintBtn->isEnabled());
  view.LimitsDaysCombo->setCurrentIndex(2);
  view.FillLimitsGrid();
  EXPECT_EQ(FromQString(view.NoResultPanel->text()),
            "bis in 30 Tagen keine Frist\xFC" "berschreitung gefunden");

  const int32_t soon = KeyHeld("Bald", {Line(anna, Iso(3))});
  view.FillLimitsGrid();
  EXPECT_EQ(view.Model->rowCount(), 1);
  EXPECT_TRUE(view.NoResultPanel->isHidden());
  EXPECT_TRUE(view.PrintBtn->isEnabled());
  EXPECT_EQ(view.CurrentItemId(), soon);
  // Due in three days is not overdue: the login stays on the keys page.
  EXPECT_FALSE(LimitsCheck());
  EXPECT_TRUE(view.NoResultPanel->isHidden());

  KeyHeld("Faellig", {Line(anna, Iso(0))});
  EXPECT_TRUE(LimitsCheck());
  EXPECT_EQ(view.Model->rowCount(), 2);

  // The print: right 11 first, then the rows under their title.
  TFakePrinterScope printers;
  PrintSettings().preview = false;  // printed at once, no preview to drive
  Session().RightLevels[rtPrintLists] = rlNo;
  EXPECT_FALSE(view.Print());
  EXPECT_TRUE(printers.printers.jobs.empty());
  Session().RightLevels[rtPrintLists] = rlYes;
  EXPECT_TRUE(view.Print());
  ASSERT_EQ(printers.printers.jobs.size(), 1u);
  std::vector<std::string> drawn;
  for (const TRecordedPage& page : printers.printers.jobs[0]->pages)
    for (const TRecordedText& t : page.texts) drawn.push_back(t.text);
  EXPECT_THAT(drawn, ::testing::Contains("R\xFC" "ckgabefristen"));
  EXPECT_THAT(drawn, ::testing::Contains("Faellig"));
  EXPECT_THAT(drawn, ::testing::Contains("Anna (IT/42)"));
}

// A mouse press makes the row current before it selects it: the buttons serve the row
// clicked, the key and the holder.
TEST_F(Limits, AClickedRowOffersItsKeyAndItsHolder) {
  const int32_t bunch = Record(icKeyBunch, "Bund 1");
  const int32_t first = KeyHeld("Erster", {Line(anna, Iso(-2))});
  const int32_t second =
      KeyHeld("Zweiter", {"H" + std::to_string(bunch) + "=1|2024-05-01|" + Iso(-1)});
  const int32_t third = KeyHeld("Dritter", {Line(anna, Iso(0))});
  TFrameLimits view;
  view.resize(900, 500);
  view.show();
  view.FillLimitsGrid();
  ASSERT_EQ(view.Model->rowCount(), 3);
  auto click = [&](int row) {
    const QPoint at = view.Grid->visualRect(view.Model->index(row, 0)).center();
    QTest::mouseClick(view.Grid->viewport(), Qt::LeftButton, {}, at);
  };
  struct TCase {
    int row;
    int32_t key;
    bool holder;  // a person holds it (a bunch is no holder to go to)
  };
  for (const TCase& c : {TCase{2, third, true}, TCase{1, second, false}, TCase{0, first, true}}) {
    click(c.row);
    EXPECT_EQ(view.CurrentItemId(), c.key) << c.row;
    EXPECT_TRUE(view.GotoKeyBtn->isEnabled()) << c.row;
    EXPECT_EQ(view.GotoHolderBtn->isEnabled(), c.holder) << c.row;
  }
}

// ---------------------------------------------------------------------------------------
// The holding editor.

struct Editor : Limits {
  std::string remark100;
  int32_t key = 0;
  void SetUp() override {
    Limits::SetUp();
    for (int i = 0; remark100.size() < 100; ++i) remark100 += "Bemerkung" + std::to_string(i) + " ";
    remark100.resize(100);
    key = KeyHeld("Tor", {Line(anna, "2024-06-01", "0007", "kurz"),
                          Line(anna, "2024-06-05", "0008", remark100)});
    Set(key, fkTotal, "3");
  }
  THolderEntry Holding(const std::string& receipt) {
    for (const THolderEntry& e : LoadHolderRecs(*a.db, key))  // cut as lists hold them
      if (e.ReceiptNo == receipt) return e;
    ADD_FAILURE() << receipt;
    return {};
  }
  // Runs the editor on the holding and lets `act` fill it in.
  bool Edit(const std::string& receipt, std::function<void(TFristEdForm&)> act) {
    QueueDialogDriver([act](QDialog& dialog) { act(static_cast<TFristEdForm&>(dialog)); });
    return ExecuteFristEd(Holding(receipt));
  }
  std::vector<std::string> Lines() { return SplitHolderLines(FieldOnDisk(key, fkHolders)); }
};

TEST_F(Editor, ChangesTheRightHoldingAndKeepsTheWholeRemarkItDidNotTouch) {
  const std::vector<std::string> before = Lines();
  std::string shownRemark;
  ASSERT_TRUE(Edit("0008", [&](TFristEdForm& f) {
    shownRemark = FromQString(f.RemEd->text());
    EXPECT_EQ(FromQString(f.FristEd->text()), "05.06.2024");
    f.FristEd->setText("30.06.2024");
    f.SaveBtn->click();
  }));
  EXPECT_EQ(shownRemark, remark100);  // the whole remark, not the list's 63 characters
  const std::vector<std::string> after = Lines();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0], before[0]);  // the other holding of the same holder
  EXPECT_EQ(after[1], "E" + std::to_string(anna) + "=1|2024-06-01|2024-06-30|" + remark100 + "|0008");
}

TEST_F(Editor, ClearsTheDeadlineAndTheIdentifierAndReplacesTheRemark) {
  ASSERT_TRUE(Edit("0007", [](TFristEdForm& f) {
    f.EmbossEd->setText("A-17");
    f.SaveBtn->click();
  }));
  EXPECT_EQ(ParseHolderLine(HolderLineBody(Lines()[0]))[hfIdentifier], "A-17");
  ASSERT_TRUE(Edit("0007", [](TFristEdForm& f) {
    f.FristEd->clear();
    f.EmbossEd->clear();
    f.RemEd->setText("neu; mit|Strich");
    f.SaveBtn->click();
  }));
  EXPECT_EQ(Lines()[0], "E" + std::to_string(anna) + "=1|2024-06-01||neu, mit/Strich|0007");
}

TEST_F(Editor, AnInvalidDeadlineBlocksTheSaveInsteadOfClearingTheDeadline) {
  const std::vector<std::string> before = Lines();
  bool red = false;
  EXPECT_FALSE(Edit("0007", [&](TFristEdForm& f) {
    f.FristEd->setText("31.13.");
    red = f.FristEd->palette().color(QPalette::Base) == ColorFromBgr(0xA0A0FF);
    f.SaveBtn->click();
    EXPECT_TRUE(f.isVisible());  // stays open for a correction
  }));
  EXPECT_TRUE(red);
  EXPECT_NE(ui.AllText().find("vollst\xE4ndiges Datum"), std::string::npos) << ui.AllText();
  EXPECT_EQ(Lines(), before);
}

TEST_F(Editor, AHoldingReturnedAtAnotherStationMeanwhileIsNotWritten) {
  TFrameLimits view;
  view.LimitsDaysCombo->setCurrentIndex(2);
  view.FillLimitsGrid();
  ASSERT_EQ(view.Model->rowCount(), 2);
  const THolderEntry shown = Holding("0008");
  // Station B takes the holding of receipt 0008 back before A saves.
  {
    TStoreWrite write(*b.db, {key});
    ASSERT_TRUE(write.Ok());
    std::vector<std::string> lines = SplitHolderLines(b->ReadLineField(key, fkHolders));
    lines.erase(lines.begin() + 1);
    b->SetField(key, fkHolders, JoinHolderLines(lines));
    ASSERT_TRUE(write.Commit());
  }
  const std::vector<std::string> atB = Lines();
  QueueDialogDriver([](QDialog& dialog) {
    auto& f = static_cast<TFristEdForm&>(dialog);
    f.FristEd->setText("30.06.2024");
    f.SaveBtn->click();
  });
  // The editor opened on the holding as A still saw it.
  TFristEdForm form;
  form.Load(*a.db, shown);
  ExecModal(form);
  EXPECT_EQ(form.Outcome, TFristEdForm::TOutcome::Gone);
  // Nothing written: not even into the holder's other line.
  EXPECT_EQ(Lines(), atB);
  EXPECT_NE(ui.AllText().find("nicht mehr vorhanden"), std::string::npos) << ui.AllText();
  // Opened on a holding that is gone, the editor says so and the list is refilled.
  const int fills = view.FillCount;
  EXPECT_FALSE(ExecuteFristEd(shown));
  EXPECT_EQ(view.FillCount, fills + 1);
  EXPECT_EQ(view.Model->rowCount(), 1);
}

// The persons view edits a holding through the deadlines view (the glue's EditHolding).
TEST_F(Editor, AnotherViewOpensTheEditorThroughTheDeadlinesView) {
  TFrameLimits view;
  RegisterView(pgLimits, &view);
  QueueDialogDriver([](QDialog& dialog) {
    auto& f = static_cast<TFristEdForm&>(dialog);
    f.EmbossEd->setText("B-2");
    f.SaveBtn->click();
  });
  EXPECT_TRUE(EditHolding(Holding("0007")));
  EXPECT_EQ(ParseHolderLine(HolderLineBody(Lines()[0]))[hfIdentifier], "B-2");
  UnregisterView(pgLimits, &view);
}

TEST(HoldingEdit, OnlyWhatTheUserChangedIsBooked) {
  THolderEntry e;
  e.Deadline = "2024-06-05";
  e.Remark = "alt";
  e.Identifier = "X1";
  TUtcZone utc;
  const std::string format = DateFormatText();
  SetDateFormat("dd.MM.yyyy");
  THoldingEdit none = HoldingEditOf(e, "05.06.2024 08:00", "alt", " X1 ");
  EXPECT_FALSE(none.Any());
  THoldingEdit cleared = HoldingEditOf(e, "", "", "");
  EXPECT_TRUE(cleared.deadlineChanged && cleared.remarkChanged && cleared.identifierChanged);
  EXPECT_EQ(cleared.deadline, -1);
  e.Deadline.clear();
  EXPECT_FALSE(HoldingEditOf(e, "  ", "alt", "X1").deadlineChanged);  // none stays none
  SetDateFormat(format);
}

}  // namespace
