// Split records, rebook and inventory: the split's checks, daughters that are complete or
// absent and made in one save, a refused row that saves none, pieces moved in both
// directions with the refusals said, and an inventory that writes what was counted against
// the stock it showed, logged only after its save.
#include "views/SplitUnit.h"

#include <algorithm>
#include <cstdlib>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include "KeyStockTestSupport.h"
#include "basic/widgets/QtGlue.h"
#include "platform/PlatformFiles.h"

namespace {

// A picture of the dialog as the driver left it, when the run collects them.
void Shot(QWidget& dialog, const char* name) {
  if (const char* dir = std::getenv("TESSARO_AUTOMATION_SHOTS"); dir && *dir)
    dialog.grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}

TEST(SplitCheck, QuantitiesTheSumAndTheNamesARowTakesOver) {
  struct TCase {
    std::vector<std::string> quantities;
    int32_t stock;
    bool valid;
    int64_t newStock;
  };
  const TCase cases[] = {
      {{"3", "2"}, 4, false, -1},  {{"3", "1"}, 4, true, 0},   {{"", "0"}, 4, true, 4},
      {{"abc"}, 4, false, 4},      {{"-1"}, 4, false, 4},      {{"1.5"}, 4, false, 4},
      {{" 2 ", "0"}, 4, true, 2},  {{"99999999999"}, 4, false, 4},
  };
  for (const TCase& c : cases) {
    std::vector<TSplitRow> rows;
    for (const std::string& q : c.quantities) rows.push_back({"Teil", "", q});
    const TSplitCheck check = CheckSplitRows(rows, "Mutter", "M2", c.stock);
    EXPECT_EQ(check.valid, c.valid) << c.quantities[0];
    EXPECT_EQ(check.newStock, c.newStock) << c.quantities[0];
  }
  std::vector<TSplitRow> rows = {{"", "", "2"}, {"", "eigen", "1"}, {"", "", "0"}, {"", "", ""}};
  CheckSplitRows(rows, "Mutter", "M2", 10);
  EXPECT_EQ(rows[0].name, "Mutter");
  EXPECT_EQ(rows[0].name2, "M2");
  EXPECT_EQ(rows[1].name, "Mutter");
  EXPECT_EQ(rows[1].name2, "eigen");
  EXPECT_EQ(rows[2].name, "");  // a row of 0 pieces makes no copy without a name
  EXPECT_EQ(rows[3].name, "");
}

struct Split : TKeyStockTest {
  int32_t mother = 0;
  int32_t door = 0;
  void SetUp() override {
    TKeyStockTest::SetUp();
    mother = Record(icKey, "Generalschluessel");
    door = Record(icDoor, "Tor");
    Link(mother, door);
    Set(mother, fkStock, "10");
    Set(mother, fkTotal, "10");
  }
  void Type(TSplitForm& f, int row, const std::string& name, const std::string& quantity) {
    f.Grid->item(row, 1)->setText(ToQString(name));
    f.Grid->item(row, 3)->setText(ToQString(quantity));
  }
  std::vector<int32_t> Daughters() {
    TItemList list;
    a->GetLinks(mother, lkDaughters, list);
    return std::vector<int32_t>(list.Items(), list.Items() + list.Count());
  }
  std::string Counts(int32_t id) {
    return FieldOnDisk(id, fkStock) + " / " + FieldOnDisk(id, fkTotal);
  }
};

TEST_F(Split, TenSplitIntoFourAndZeroMakesTwoCompleteDaughters) {
  QueueDialogDriver([this](QDialog& dialog) {
    auto& f = static_cast<TSplitForm&>(dialog);
    EXPECT_EQ(FromQString(f.MotherStockLabel->text()), "10");
    Type(f, 0, "Teil A", "4");
    Type(f, 1, "Teil B", "0");
    EXPECT_EQ(FromQString(f.NewStockLabel->text()), "6");
    Shot(f, "split");
    f.SaveBtn->click();
  });
  ASSERT_TRUE(ExecuteSplit(mother));
  EXPECT_EQ(Counts(mother), "6 / 10");
  const std::vector<int32_t> daughters = Daughters();
  ASSERT_EQ(daughters.size(), 2u);
  EXPECT_EQ(Counts(daughters[0]), "4 / 4");
  EXPECT_EQ(Counts(daughters[1]), "0 / 0");
  for (int32_t d : daughters) {
    EXPECT_EQ(FieldOnDisk(d, "l10"), std::to_string(mother));
    EXPECT_EQ(a->GetClass(d), icKey);
  }
  EXPECT_EQ(FieldOnDisk(daughters[0], fkName), "Teil A");
  // The key's lock is given back; a split writes no history line.
  EXPECT_EQ(HistoryText().find("Generalschluessel"), std::string::npos);
  TStoreWrite atB(*b.db, {mother});
  EXPECT_TRUE(atB.Ok());
}

TEST_F(Split, InvalidInputIsRefusedAndANamelessRowTakesTheMothersName) {
  QueueDialogDriver([this](QDialog& dialog) {
    auto& f = static_cast<TSplitForm&>(dialog);
    Type(f, 0, "", "7");
    Type(f, 1, "", "5");
    f.SaveBtn->click();  // 12 of 10: refused
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(FromQString(f.NewStockLabel->text()), "-2");
    Type(f, 1, "", "x");
    f.SaveBtn->click();
    Type(f, 1, "", "");
    EXPECT_EQ(FromQString(f.Grid->item(0, 1)->text()), "Generalschluessel");
    f.SaveBtn->click();
  });
  ASSERT_TRUE(ExecuteSplit(mother));
  EXPECT_EQ(ui.messages.size(), 2u);
  EXPECT_NE(ui.AllText().find("Bitte pr\xFC" "fen Sie Ihre Eingaben."), std::string::npos);
  const std::vector<int32_t> daughters = Daughters();
  ASSERT_EQ(daughters.size(), 1u);
  EXPECT_EQ(FieldOnDisk(daughters[0], fkName), "Generalschluessel");
  EXPECT_EQ(Counts(mother), "3 / 10");
}

TEST_F(Split, ThreeRowsInOneSave) {
  // Every state of the file a save puts down, by the rows' names it holds.
  std::vector<int> namesPerSave;
  TPfFaultScope watch([&](TPfOp op, const std::string& path) {
    if (op != TPfOp::Rename) return 0;
    TMiniDB saved;
    if (saved.LoadFromBytes(ReadAllBytes(path)) != ldRead || !saved.IsValid(mother)) return 0;
    int names = 0;
    for (const char* name : {"Teil A", "Teil B", "Teil C"})
      names += saved.FindByName(name, icKey, 0) != 0;
    namesPerSave.push_back(names);
    return 0;
  });
  QueueDialogDriver([this](QDialog& dialog) {
    auto& f = static_cast<TSplitForm&>(dialog);
    Type(f, 0, "Teil A", "2");
    Type(f, 1, "Teil B", "3");
    Type(f, 2, "Teil C", "1");
    QTest::mouseClick(f.SaveBtn, Qt::LeftButton);
  });
  ASSERT_TRUE(ExecuteSplit(mother));
  // The rows reach the file together: no save holds some of them.
  ASSERT_FALSE(namesPerSave.empty());
  EXPECT_EQ(std::count(namesPerSave.begin(), namesPerSave.end(), 3), 1);
  for (int names : namesPerSave) EXPECT_TRUE(names == 0 || names == 3) << names;
  EXPECT_EQ(Counts(mother), "4 / 10");
  const std::vector<int32_t> daughters = Daughters();
  ASSERT_EQ(daughters.size(), 3u);
  EXPECT_EQ(Counts(daughters[1]), "3 / 3");
  EXPECT_EQ(HistoryText().find("Generalschluessel"), std::string::npos);
}

TEST_F(Split, ARefusedRowSavesNoRowAndIsNamed) {
  const std::string before = ReadAllBytes(a->FileName);
  std::vector<TSplitRow> rows = {{"A", "", "4"}, {"B", "", "20"}, {"C", "", "1"}};
  const TSplitRun run = RunSplit(*a.db, mother, rows);
  EXPECT_TRUE(run.madeRows.empty());
  EXPECT_TRUE(run.daughters.empty());
  EXPECT_EQ(run.refusedRow, 1);
  EXPECT_EQ(Counts(mother), "10 / 10");
  EXPECT_EQ(Daughters().size(), 0u);
  EXPECT_EQ(ReadAllBytes(a->FileName), before);

  // Station B edits the door the key opens: every daughter would link it, so none is made.
  ASSERT_TRUE(b->LockItem(door, true, 0));
  QueueDialogDriver([this](QDialog& dialog) {
    auto& f = static_cast<TSplitForm&>(dialog);
    Type(f, 0, "D", "1");
    f.SaveBtn->click();
    EXPECT_TRUE(f.isVisible());  // nothing made: the input stays for another try
  });
  EXPECT_FALSE(ExecuteSplit(mother));
  EXPECT_NE(ui.AllText().find("am Arbeitsplatz B "), std::string::npos);
  EXPECT_NE(ui.AllText().find("Zeile 1"), std::string::npos) << ui.AllText();
  EXPECT_NE(ui.AllText().find("keine Kopie"), std::string::npos) << ui.AllText();
  EXPECT_EQ(Daughters().size(), 0u);
  b->UnlockItem(door);
}

TEST_F(Split, ADaughterIsNotSplitAgain) {
  const int32_t daughter = SplitStockRecord(*a.db, mother, "T", "", 2);
  ASSERT_NE(daughter, 0);
  EXPECT_FALSE(ExecuteSplit(daughter));
  EXPECT_NE(ui.AllText().find("Eine Kopie kann nicht unterteilt werden."), std::string::npos);
  EXPECT_FALSE(ExecuteSplitRebook(mother));  // a record without mother
}

TEST_F(Split, RebookMovesPiecesBothWaysAndSaysEveryRefusal) {
  const int32_t daughter = SplitStockRecord(*a.db, mother, "T", "", 4);
  ASSERT_NE(daughter, 0);
  auto rebook = [&](bool toDaughter, const std::string& count,
                    std::function<void(TSplitRebookForm&)> before = {},
                    std::function<void(TSplitRebookForm&)> after = {}) {
    QueueDialogDriver([=](QDialog& dialog) {
      auto& f = static_cast<TSplitRebookForm&>(dialog);
      (toDaughter ? f.M2DRadio : f.D2MRadio)->setChecked(true);
      if (before) before(f);
      f.CountEd->setText(ToQString(count));
      Shot(f, "rebook");
      f.DoBtn->click();
      if (after) after(f);
    });
    return ExecuteSplitRebook(daughter);
  };
  EXPECT_TRUE(rebook(true, "2"));
  EXPECT_EQ(Counts(mother), "4 / 10");
  EXPECT_EQ(Counts(daughter), "6 / 6");
  EXPECT_TRUE(rebook(false, "5"));
  EXPECT_EQ(Counts(mother), "9 / 10");
  EXPECT_EQ(Counts(daughter), "1 / 1");

  EXPECT_FALSE(rebook(true, "0"));
  EXPECT_NE(ui.AllText().find("Der Zahlenwert muss 1 oder h\xF6her sein."), std::string::npos);
  EXPECT_FALSE(rebook(false, "2"));  // the daughter holds 1
  EXPECT_NE(ui.AllText().find("Es sind nur 1 St\xFC" "ck verf\xFC" "gbar."), std::string::npos)
      << ui.AllText();
  EXPECT_EQ(Counts(daughter), "1 / 1");

  // Station B books the mother's stock down after the dialog showed it.
  std::string shownAfter;
  EXPECT_FALSE(rebook(
      true, "5",
      [&](TSplitRebookForm&) {
        TStoreWrite write(*b.db, {mother});
        ASSERT_TRUE(write.Ok());
        b->SetField(mother, fkStock, "3");
        ASSERT_TRUE(write.Commit());
      },
      [&](TSplitRebookForm& f) { shownAfter = FromQString(f.MotherCountLabel->text()); }));
  EXPECT_EQ(shownAfter, "3");  // the dialog shows the fresh numbers
  EXPECT_NE(ui.AllText().find("an einem anderen Arbeitsplatz"), std::string::npos) << ui.AllText();
  EXPECT_EQ(Counts(mother), "3 / 10");
  EXPECT_EQ(Counts(daughter), "1 / 1");
  EXPECT_EQ(HistoryText(), "");  // rebooking writes no history line
}

struct Inventory : Split {};

TEST_F(Inventory, SevenOnTenIsStoredAndLoggedAfterTheSave) {
  QueueDialogDriver([](QDialog& dialog) {
    auto& f = static_cast<TIventurForm&>(dialog);
    EXPECT_FALSE(f.SaveBtn->isEnabled());
    for (const char* bad : {"-1", "1.5", "abc", ""}) {
      f.CountEd->setText(bad);
      if (*bad == 'a') Shot(f, "inventory-invalid");
      EXPECT_TRUE(f.CountInvalid()) << bad;
      EXPECT_EQ(f.CountEd->palette().color(QPalette::Base), ColorFromBgr(0xA0A0FF)) << bad;
      f.SaveBtn->click();
      EXPECT_TRUE(f.isVisible());
    }
    f.CountEd->setText("7");
    f.RemEd->setText("Zaehlung Juni");
    f.SaveBtn->click();
  });
  ASSERT_TRUE(ExecuteInventory(mother));
  EXPECT_EQ(Counts(mother), "7 / 10");
  const std::string log = HistoryText();
  EXPECT_NE(log.find("a=Inv"), std::string::npos) << log;
  EXPECT_NE(log.find("stock=7 / 10"), std::string::npos) << log;
  EXPECT_NE(log.find("Zaehlung Juni"), std::string::npos) << log;
}

TEST_F(Inventory, AStockChangedAtAnotherStationIsShownAndConfirmedAgain) {
  QueueDialogDriver([this](QDialog& dialog) {
    auto& f = static_cast<TIventurForm&>(dialog);
    f.CountEd->setText("7");
    {  // station B issues a piece meanwhile
      TStoreWrite write(*b.db, {mother});
      ASSERT_TRUE(write.Ok());
      b->SetField(mother, fkStock, "9");
      ASSERT_TRUE(write.Commit());
    }
    f.SaveBtn->click();
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(Counts(mother), "9 / 10");
    EXPECT_EQ(HistoryText(), "");
    f.SaveBtn->click();  // confirmed against the new stock
  });
  ASSERT_TRUE(ExecuteInventory(mother));
  EXPECT_NE(ui.AllText().find("(jetzt 9)"), std::string::npos) << ui.AllText();
  EXPECT_EQ(Counts(mother), "7 / 10");
}

TEST_F(Inventory, AKeyHeldAtAnotherStationNamesItAndLogsNothing) {
  ASSERT_TRUE(b->LockItem(mother, true, 0));
  QueueDialogDriver([](QDialog& dialog) {
    auto& f = static_cast<TIventurForm&>(dialog);
    f.CountEd->setText("7");
    f.SaveBtn->click();
  });
  EXPECT_FALSE(ExecuteInventory(mother));
  EXPECT_NE(ui.AllText().find("am Arbeitsplatz B "), std::string::npos) << ui.AllText();
  EXPECT_EQ(Counts(mother), "10 / 10");
  EXPECT_EQ(HistoryText(), "");
  b->UnlockItem(mother);
}

}  // namespace
