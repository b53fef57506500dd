// The dialogs of the locking-system and cabinet tools, the choice of a locking system and the
// special functions, driven as the user would through the dialog runner.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "ViewsTestSupport.h"
#include "app/ListFillUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "views/KsToolFormUnit.h"

namespace {

struct TBulkDialogsTest : TViewsTest {
  void SetUp() override {
    TViewsTest::SetUp();
    ClearDialogDrivers();
    SetKeySystemName(3, "Nord");
    SetKeySystemName(5, "S\xFC" "d");
    BuildLockingSystemList();
  }
  void TearDown() override {
    EXPECT_EQ(PendingDialogDrivers(), 0);
    ClearDialogDrivers();
    for (TKeySystemCode code : {3, 5}) SetKeySystemName(code, "");
    TViewsTest::TearDown();
  }
  static int IndexOfCode(QComboBox* combo, TKeySystemCode code) {
    for (int i = 0; i < combo->count(); ++i)
      if (ComboItemId(combo, i) == code) return i;
    return -1;
  }
};

TEST_F(TBulkDialogsTest, ChoosingALockingSystemNeedsACode) {
  // Cancelled: 0, whatever was chosen.
  QueueDialogDriver([](QDialog& d) {
    auto& form = static_cast<TKsSelForm&>(d);
    form.KsCombo->setCurrentIndex(IndexOfCode(form.KsCombo, 3));
    form.CancelBtn->click();
  });
  EXPECT_EQ(SelectKeySystem("Anlage?"), 0);

  // OK on "-" keeps the dialog open; the caption stands in the label; then a system.
  bool stayed = false;
  std::string label;
  QueueDialogDriver([&](QDialog& d) {
    auto& form = static_cast<TKsSelForm&>(d);
    label = FromQString(form.Label1->text());
    EXPECT_EQ(form.KsCombo->currentIndex(), 0);
    EXPECT_EQ(form.Chosen(), 0);
    form.OkBtn->click();
    stayed = form.result() != QDialog::Accepted;
    form.KsCombo->setCurrentIndex(IndexOfCode(form.KsCombo, 5));
    form.OkBtn->click();
  });
  EXPECT_EQ(SelectKeySystem("Welche Anlage?"), 5);
  EXPECT_TRUE(stayed);
  EXPECT_EQ(label, "Welche Anlage?");

  // The caller's code comes chosen; OK takes it.
  QueueDialogDriver([](QDialog& d) { static_cast<TKsSelForm&>(d).OkBtn->click(); });
  EXPECT_EQ(SelectKeySystem("x", 3), 3);
}

}  // namespace
