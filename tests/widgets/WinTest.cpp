#include <QComboBox>
#include <QLineEdit>
#include <QTextEdit>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/QtGlue.h"

namespace {

TEST(ControlLook, TableOfLooks) {
  QLineEdit edit;
  QComboBox combo;
  QTextEdit memo;
  struct Case {
    QWidget* control;
    TControlLook look;
    bool enabled, readOnly;
    std::uint32_t color;
  } cases[] = {
      {&edit, TControlLook::Editable, true, false, 0xD0FFFF},
      {&edit, TControlLook::ReadOnly, true, true, 0xFFFFFF},
      {&edit, TControlLook::Disabled, true, true, 0xD0D0D0},
      {&combo, TControlLook::Editable, true, false, 0xD0FFFF},
      {&combo, TControlLook::ReadOnly, false, false, 0xFFFFFF},
      {&combo, TControlLook::Disabled, false, false, 0xD0D0D0},
      {&memo, TControlLook::Editable, true, false, 0xD0FFFF},
      {&memo, TControlLook::ReadOnly, true, true, 0xFFFFFF},
      {&memo, TControlLook::Disabled, true, true, 0xFFFFFF},  // a memo has no grey look
  };
  for (const Case& c : cases) {
    ApplyControlLook(c.control, c.look);
    const char* name = c.control->metaObject()->className();
    EXPECT_EQ(c.control->isEnabled(), c.enabled) << name << int(c.look);
    bool readOnly = false;
    if (auto* e = qobject_cast<QLineEdit*>(c.control)) readOnly = e->isReadOnly();
    if (auto* e = qobject_cast<QTextEdit*>(c.control)) readOnly = e->isReadOnly();
    EXPECT_EQ(readOnly, c.readOnly) << name << int(c.look);
    for (auto group : {QPalette::Active, QPalette::Disabled})
      EXPECT_EQ(BgrFromColor(c.control->palette().color(group, QPalette::Base)), c.color)
          << name << int(c.look);
  }
  // A widget of no field kind keeps its own state.
  QWidget other;
  ApplyControlLook(&other, TControlLook::Disabled);
  EXPECT_TRUE(other.isEnabled());
}

TEST(ControlLook, TheThreeSettersPickTheirLooks) {
  QLineEdit edit;
  QTextEdit memo;
  auto color = [](QWidget& w) { return BgrFromColor(w.palette().color(QPalette::Base)); };
  SetControlEditable(&edit, false);
  EXPECT_EQ(color(edit), clFieldReadOnly);
  SetControlEditableOrDisabled(&edit, false);
  EXPECT_EQ(color(edit), clFieldDisabled);
  SetControlEditableOrDisabled(&memo, false);
  EXPECT_EQ(color(memo), clFieldReadOnly);
  SetControlReadOnlyOrDisabled(&edit, true);
  EXPECT_EQ(color(edit), clFieldReadOnly);
  SetControlReadOnlyOrDisabled(&edit, false);
  EXPECT_EQ(color(edit), clFieldDisabled);
  SetControlEditableOrDisabled(&edit, true);
  EXPECT_EQ(color(edit), clFieldEditable);
  EXPECT_FALSE(edit.isReadOnly());
}

class ComboIdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddComboItem(&combo, "Haupthaus", 10);
    AddComboItem(&combo, "Nebengeb\xE4ude", 20);
    AddComboItem(&combo, "Garage", 30);
    combo.setCurrentIndex(-1);
  }
  QComboBox combo;
};

TEST_F(ComboIdTest, GetComboIdGivesTheDefaultWithoutSelection) {
  EXPECT_EQ(GetComboId(&combo, 0), 0);
  EXPECT_EQ(GetComboId(&combo, -1), -1);
  combo.setCurrentIndex(1);
  EXPECT_EQ(GetComboId(&combo, -1), 20);
  EXPECT_EQ(combo.currentText(), QStringLiteral("Nebengebäude"));
}

TEST_F(ComboIdTest, SetComboIdOrIndex) {
  struct Case {
    int id, index, expectedIndex;
  } cases[] = {
      {30, 0, 2},   // the ID wins over the index
      {99, 1, 1},   // no such ID: the index
      {99, 3, 1},   // index beyond the items: unchanged
      {99, -1, -1}, // no ID, index -1: nothing selected
  };
  for (const Case& c : cases) {
    SetComboIdOrIndex(&combo, c.id, c.index);
    EXPECT_EQ(combo.currentIndex(), c.expectedIndex) << c.id << "/" << c.index;
  }
}

TEST_F(ComboIdTest, SelectComboIdIfPresentAndSelectComboId) {
  combo.setCurrentIndex(1);
  SelectComboIdIfPresent(&combo, 0);
  EXPECT_EQ(combo.currentIndex(), 1);
  SelectComboIdIfPresent(&combo, 99);
  EXPECT_EQ(combo.currentIndex(), 1);
  SelectComboIdIfPresent(&combo, 30);
  EXPECT_EQ(combo.currentIndex(), 2);

  AddComboItem(&combo, "Garage (alt)", 30);
  combo.setCurrentIndex(3);
  SelectComboId(30, &combo);  // already has the ID: kept
  EXPECT_EQ(combo.currentIndex(), 3);
  SelectComboId(10, &combo);
  EXPECT_EQ(combo.currentIndex(), 0);
  SelectComboId(99, &combo);
  EXPECT_EQ(combo.currentIndex(), -1);
}

TEST(Focus, OnlyWhenTheWholeChainIsVisibleAndEnabled) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* panel = new QWidget;
  layout->addWidget(panel);
  auto* edit = new QLineEdit(panel);
  EXPECT_FALSE(CanFocusControl(edit));  // window not shown
  window.show();
  EXPECT_TRUE(CanFocusControl(edit));
  panel->setEnabled(false);
  EXPECT_FALSE(CanFocusControl(edit));
  EXPECT_FALSE(FocusControlIfPossible(edit));
  panel->setEnabled(true);
  panel->hide();
  EXPECT_FALSE(CanFocusControl(edit));
  panel->show();
  EXPECT_TRUE(FocusControlIfPossible(edit));
  EXPECT_FALSE(CanFocusControl(nullptr));
}

}  // namespace
