#include <QWidget>
#include <gtest/gtest.h>

#include "app/FrameSizingUnit.h"

namespace {

class FrameSizingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame.resize(400, 300);
    list.setGeometry(10, 10, 200, 100);    // grows with the frame
    grid.setGeometry(10, 120, 200, 50);    // 10 below the list
    panel.setGeometry(220, 130, 100, 40);  // 10 right of the list, 10 below it
    FrameSizingSetDesign(rec, 400, 300);
  }
  QWidget frame;
  QWidget list{&frame}, grid{&frame}, panel{&frame};
  FrameSizingRec rec;
};

TEST_F(FrameSizingTest, AnchorsArePlacedBeforeTheirDependents) {
  // The dependents are registered first, so list order alone would place them against the
  // list's old size.
  FrameSizingItem& g = FrameSizingEntry(rec, &grid);
  FrameSizingSetBelow(g, &list);
  g.widthPercent = 50;
  FrameSizingItem& p = FrameSizingEntry(rec, &panel);
  FrameSizingSetRightOf(p, &list);
  FrameSizingSetBelow(p, &list);
  FrameSizingItem& l = FrameSizingEntry(rec, &list);
  l.widthPercent = 50;
  l.heightPercent = 100;
  EXPECT_EQ(&FrameSizingEntry(rec, &grid), &g) << "a control has one entry";
  EXPECT_EQ(rec.entries.size(), 3u);
  EXPECT_EQ(g.belowDistance, 10);
  EXPECT_EQ(p.rightOfDistance, 10);
  EXPECT_EQ(p.belowDistance, 20);

  FrameSizingResize(rec, 500, 360);  // +100 wide, +60 high
  EXPECT_EQ(rec.widthChange, 100);
  EXPECT_EQ(rec.heightChange, 60);
  EXPECT_EQ(list.geometry(), QRect(10, 10, 250, 160));
  EXPECT_EQ(grid.geometry(), QRect(10, 180, 250, 50));
  EXPECT_EQ(panel.geometry(), QRect(270, 190, 100, 40));

  // Smaller than designed: the shares shrink; the same entries apply again.
  FrameSizingResize(rec, 300, 250);
  EXPECT_EQ(list.geometry(), QRect(10, 10, 150, 50));
  EXPECT_EQ(grid.geometry(), QRect(10, 70, 150, 50));
  EXPECT_EQ(panel.geometry(), QRect(170, 80, 100, 40));

  // At the design size nothing moves.
  FrameSizingResize(rec, 400, 300);
  EXPECT_EQ(list.geometry(), QRect(10, 10, 150, 50));
}

TEST_F(FrameSizingTest, CycleOfAnchorsStops) {
  FrameSizingItem& a = FrameSizingEntry(rec, &list);
  FrameSizingItem& b = FrameSizingEntry(rec, &grid);
  FrameSizingSetBelow(b, &list);  // grid 10 below the list
  FrameSizingSetBelow(a, &grid);  // list -160 "below" the grid: a cycle
  a.heightPercent = 100;
  FrameSizingResize(rec, 400, 320);
  // The list goes first and reaches the grid, which finds the list already done and sits
  // below it; then the list is placed against the grid.
  EXPECT_EQ(grid.geometry(), QRect(10, 120, 200, 50));
  EXPECT_EQ(list.geometry(), QRect(10, 10, 200, 120));
  for (const FrameSizingItem& e : rec.entries) EXPECT_TRUE(e.done);
}

TEST_F(FrameSizingTest, WidthNeverNegative) {
  FrameSizingItem& l = FrameSizingEntry(rec, &list);
  l.widthPercent = 100;
  FrameSizingResize(rec, 100, 300);  // -300: 200 - 300
  EXPECT_EQ(list.width(), 0);
}

}  // namespace
