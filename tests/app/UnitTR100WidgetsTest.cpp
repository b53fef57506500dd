#include "app/UnitTR100Widgets.h"

#include <QComboBox>
#include <QListWidget>
#include <gtest/gtest.h>

#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/QtGlue.h"
#include "data/UnitTR100.h"

TEST(ClassCombo, AllEntrySecondClassThenOneEntryPerClassByte) {
  QComboBox combo;
  combo.addItem("old");
  FillClassCombo(&combo, "alle", 7, true, std::string("\x03\x04", 2));
  ASSERT_EQ(combo.count(), 4);
  EXPECT_EQ(FromQString(combo.itemText(0)), "alle");
  EXPECT_EQ(ComboItemId(&combo, 0), kAllClassesId);
  const int expected[] = {7, 3, 4};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ComboItemId(&combo, i + 1), expected[i]);
    EXPECT_EQ(FromQString(combo.itemText(i + 1)), ClassCaption(expected[i], true));
  }
  FillClassCombo(&combo, "", 0, false, "\x05");
  ASSERT_EQ(combo.count(), 1);
  EXPECT_EQ(ComboItemId(&combo, 0), 5);
}

TEST(CheckList, TickedTextsAndCount) {
  QListWidget list;
  const char* texts[] = {"T\xFCr 1", "Tor", "Keller"};
  const bool ticked[] = {true, false, true};
  for (int i = 0; i < 3; ++i) {
    auto* item = new QListWidgetItem(ToQString(texts[i]), &list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(ticked[i] ? Qt::Checked : Qt::Unchecked);
  }
  EXPECT_EQ(CheckedItemsText(&list), "T\xFCr 1\tKeller");
  EXPECT_EQ(CountChecked(&list), 2);
  list.item(0)->setCheckState(Qt::Unchecked);
  list.item(2)->setCheckState(Qt::Unchecked);
  EXPECT_EQ(CheckedItemsText(&list), "");
  EXPECT_EQ(CountChecked(&list), 0);
}
