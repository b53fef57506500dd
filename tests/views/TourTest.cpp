// The guided tour: no tour file, no panel; every step's text from the shipped file, the
// frame around the control named for the step (none when it is missing), and the tour ending
// after its last step.
#include "views/TourUnit.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ViewsTestSupport.h"
#include "basic/MultiLingua.h"

namespace {

struct TTourTest : TViewsTest {
  QWidget main;
  QTabWidget* pages = nullptr;
  QWidget* keysList = nullptr;
  const std::string file = TESSARO_RESOURCE_DIR "/System/DemoTour.lng";
  void SetUp() override {
    TViewsTest::SetUp();
    ResetTour();
    main.resize(1000, 700);
    pages = new QTabWidget(&main);
    pages->setGeometry(0, 0, 1000, 700);
    for (int i = 0; i < kPageCount; ++i) pages->addTab(new QWidget, QString::number(i));
    // The keys page's list, where the tour frames it.
    keysList = new QWidget(pages->widget(pgKeys));
    keysList->setObjectName("ListingFrame");
    keysList->setGeometry(10, 20, 200, 300);
    WinGlue().MainWindow = &main;
    WinGlue().PageControl = pages;
    main.show();
  }
  void TearDown() override {
    ResetTour();
    TViewsTest::TearDown();
  }
  static std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\r', start)) != std::string::npos; start = end + 1)
      lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
  }
};

TEST_F(TTourTest, NoTourFileNoPanel) {
  const std::string missing = dir.File("DemoTour.lng");
  EXPECT_FALSE(StartTour(missing));
  EXPECT_EQ(ui.AllText(), "Datei nicht gefunden.\r" + missing);
  EXPECT_EQ(Tour(), nullptr);
  EXPECT_EQ(main.findChild<QWidget*>("TourPanel"), nullptr);
}

TEST_F(TTourTest, EveryStepShowsItsTextAndFramesItsControl) {
  ASSERT_TRUE(StartTour(file));
  TTour* tour = Tour();
  ASSERT_NE(tour, nullptr);
  EXPECT_TRUE(ui.AllText().empty());
  EXPECT_EQ(tour->NextBtn()->text(), "Weiter");
  EXPECT_EQ(tour->EndBtn()->text(), "Beenden");
  for (int step = 0; step < kTourStepCount; ++step) {
    SCOPED_TRACE(step);
    ASSERT_EQ(tour->Step(), step);
    EXPECT_TRUE(tour->Visible());
    const std::string text = tour->StepText(step);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(tour->Lines(), Split(text));
    // The panel is as high as its lines need and centred in the window.
    const QRect panel = tour->Panel()->geometry();
    EXPECT_EQ(panel.center().x(), QRect(0, 0, 1000, 700).center().x());
    EXPECT_GE(panel.height(), 20 + 24 * static_cast<int>(tour->Lines().size()));
    const TTourStep& s = TourStep(step);
    if (s.page >= 0) {
      EXPECT_EQ(pages->currentIndex(), s.page);
    }
    if (step == 2) {
      // The keys list, framed 12 pixels outside.
      EXPECT_TRUE(tour->MarksVisible());
      EXPECT_EQ(tour->MarkedRect(), QRect(keysList->mapTo(&main, QPoint(0, 0)), keysList->size()));
    } else {
      // Every other control is missing here: the text alone.
      EXPECT_FALSE(tour->MarksVisible());
    }
    tour->NextBtn()->click();
  }
  // After the last step the tour has ended.
  EXPECT_FALSE(tour->Visible());
  EXPECT_FALSE(tour->MarksVisible());
  // A new start begins at the first step again.
  ASSERT_TRUE(StartTour(file));
  EXPECT_EQ(tour->Step(), 0);
  EXPECT_TRUE(tour->Visible());
}

TEST_F(TTourTest, EndingHidesEverythingAndTheTextFollowsTheLanguage) {
  ASSERT_TRUE(StartTour(file));
  TTour* tour = Tour();
  tour->NextBtn()->click();
  tour->NextBtn()->click();
  ASSERT_TRUE(tour->MarksVisible());
  tour->EndBtn()->click();
  EXPECT_FALSE(tour->Visible());
  EXPECT_FALSE(tour->MarksVisible());
  // Started again: the step where it was left.
  ASSERT_TRUE(StartTour(file));
  EXPECT_EQ(tour->Step(), 2);
  EXPECT_TRUE(tour->MarksVisible());
  // The window resized: the frame follows its control.
  keysList->move(40, 60);
  PlaceTourPanel();
  EXPECT_EQ(tour->MarkedRect().topLeft(), keysList->mapTo(&main, QPoint(0, 0)));

  const std::string before = MLSystem().CurrentLanguage();
  MLSystem().SetCurrentLanguage("EN");
  EXPECT_EQ(Split(tour->StepText(0)).front(), "Welcome to the demo tour through Tessaro.");
  MLSystem().SetCurrentLanguage(before);
  EXPECT_EQ(Split(tour->StepText(0)).front(), "Willkommen zur Demo-Tour durch Tessaro.");
  // The last text ends with a dot.
  EXPECT_EQ(Split(tour->StepText(13)).back(), "Viel Erfolg mit Tessaro.");
}

}  // namespace
