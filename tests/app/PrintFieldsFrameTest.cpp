#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "app/PrintFieldsFrameUnit.h"
#include "basic/Hex32Unit.h"

namespace {

constexpr std::int32_t T = kPrintFieldTicked;

TQStringList Fields() {
  TQStringList fields;
  fields.AddObject("Name", 1 | T);  // ticked by default
  fields.AddObject("Nummer", 2);
  fields.AddObject("Geb\xE4ude", 3 | T);
  fields.AddObject("T\xFCr", 40);
  fields.AddObject("Bemerkung", 1000);
  return fields;
}

std::vector<std::int32_t> Ids(const TPrintFieldsFrame& f) {
  std::vector<std::int32_t> ids;
  for (int i = 0; i < f.Count(); ++i) ids.push_back(f.FieldId(i));
  return ids;
}

std::vector<bool> Ticks(const TPrintFieldsFrame& f) {
  std::vector<bool> ticks;
  for (int i = 0; i < f.Count(); ++i) ticks.push_back(f.Ticked(i));
  return ticks;
}

TEST(PrintFields, DefaultsWithoutSavedSelection) {
  TPrintFieldsFrame frame;
  frame.Setup(Fields(), "", true);
  EXPECT_EQ(Ids(frame), (std::vector<std::int32_t>{1, 2, 3, 40, 1000}));
  EXPECT_EQ(Ticks(frame), (std::vector<bool>{true, false, true, false, false}));
  EXPECT_EQ(frame.Box->item(2)->text(), QString::fromUtf8("Gebäude"));
  EXPECT_FALSE(frame.SaveBtn->isEnabled());
  std::vector<std::int32_t> ticked;
  EXPECT_EQ(frame.GetSelection(&ticked, false),
            IntToHex32(1 | T, false) + ";2;" + IntToHex32(3 | T, false) + ";18;V8");
  EXPECT_EQ(ticked, (std::vector<std::int32_t>{1 | T, 3 | T}));
  std::vector<std::int32_t> all;
  frame.GetSelection(&all, true);
  EXPECT_EQ(all.size(), 5u);
}

TEST(PrintFields, SavedSelectionOrdersAndTicksUnknownIdsSkipped) {
  TPrintFieldsFrame frame;
  // 1000 ticked first, an unknown 77 (ticked), 2 unticked, 0 ignored, 40 ticked, 1000 again.
  const std::string saved = IntToHex32(1000 | T, false) + ";" + IntToHex32(77 | T, false) + ";2;0;;" +
                            IntToHex32(40 | T, false) + ";" + IntToHex32(1000, false);
  frame.Setup(Fields(), saved, false);
  // Each named field is exchanged with the entry at the next position.
  EXPECT_EQ(Ids(frame), (std::vector<std::int32_t>{1000, 2, 40, 3, 1}));
  // The default ticks do not apply when a selection is saved.
  EXPECT_EQ(Ticks(frame), (std::vector<bool>{true, false, true, false, false}));
  EXPECT_FALSE(frame.SavePanel->isVisibleTo(&frame));
}

TEST(PrintFields, RoundTripThroughTheSelectionText) {
  TPrintFieldsFrame frame;
  frame.Setup(Fields(), "", true);
  frame.show();
  // Bring "Tür" to the top with the up arrow, tick it, untick "Name".
  frame.Box->setCurrentRow(3);
  for (int i = 0; i < 3; ++i) QTest::mouseClick(frame.UpBtn, Qt::LeftButton);
  EXPECT_EQ(frame.Box->currentRow(), 0);
  EXPECT_TRUE(frame.SaveBtn->isEnabled());
  QTest::mouseClick(frame.UpBtn, Qt::LeftButton);  // already at the top: nothing
  frame.BoxDblClick();
  frame.Box->setCurrentRow(1);
  frame.BoxDblClick();
  frame.Box->setCurrentRow(4);
  QTest::mouseClick(frame.DownBtn, Qt::LeftButton);  // already at the bottom
  EXPECT_EQ(Ids(frame), (std::vector<std::int32_t>{40, 1, 2, 3, 1000}));
  EXPECT_EQ(Ticks(frame), (std::vector<bool>{true, false, false, true, false}));

  const std::string text = frame.GetSelection(nullptr, false);
  TPrintFieldsFrame again;
  again.Setup(Fields(), text, true);
  EXPECT_EQ(Ids(again), Ids(frame));
  EXPECT_EQ(Ticks(again), Ticks(frame));
  EXPECT_EQ(again.GetSelection(nullptr, false), text);
  EXPECT_FALSE(again.SaveBtn->isEnabled());
}

TEST(PrintFields, TickingEnablesSave) {
  TPrintFieldsFrame frame;
  frame.Setup(Fields(), "", true);
  frame.Box->item(1)->setCheckState(Qt::Checked);  // as a click on the check box does
  EXPECT_TRUE(frame.SaveBtn->isEnabled());
}

}  // namespace
