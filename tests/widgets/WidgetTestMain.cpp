// The widget tests run on Qt's offscreen platform and never wait on a modal dialog: in
// strict mode a dialog without a queued driver is closed at once and counted.
#include <cstdlib>

#include <QApplication>
#include <gtest/gtest.h>

#include "basic/widgets/DialogRunner.h"

namespace {

class TNoStrayDialogs : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { undriven_ = UndrivenDialogCount(); }
  void OnTestEnd(const ::testing::TestInfo&) override {
    EXPECT_EQ(PendingDialogDrivers(), 0) << "a queued dialog driver was not used";
    EXPECT_EQ(UndrivenDialogCount(), undriven_) << "a dialog opened without a driver";
    ClearDialogDrivers();
  }
  int undriven_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // also when run by hand
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  SetStrictDialogs(true);
  ::testing::UnitTest::GetInstance()->listeners().Append(new TNoStrayDialogs);
  return RUN_ALL_TESTS();
}
