// The record generator's window: the counts corrected as shown, a run and its message, and
// every run checking login and rights again.
#include "views/DemoDataUnit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "ViewsTestSupport.h"
#include "app/GlueStateUnit.h"
#include "app/WaitPanelUnit.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/QtGlue.h"

namespace {

struct TDemoDataTest : TViewsTest {
  int32_t house = 0;
  void SetUp() override {
    TViewsTest::SetUp();
    house = Record(icBuilding, "Haus");
    ASSERT_TRUE(db().Commit());
    ShowRecordGenerator(true);
    ASSERT_NE(RecordGeneratorForm(), nullptr);
  }
  void TearDown() override {
    CloseRecordGenerator();
    TViewsTest::TearDown();
  }
  TDemoDataForm& form() { return *RecordGeneratorForm(); }
};

TEST_F(TDemoDataTest, CountsAreCorrectedAndARunReportsItsNewRecords) {
  EXPECT_EQ(FromQString(form().RemEd->text()), "eine Bemerkung");
  EXPECT_EQ(form().ChosenClass(), icDoor);
  form().CntEd->setText("0");
  EXPECT_EQ(form().GenerateRecords(), -1);
  EXPECT_EQ(form().CntEd->text(), "1");
  form().CntEd->setText("10");
  form().NameEd->setText("  Raum ");
  SelectComboObject(form().HouseCombo, house);
  ui.Clear();
  EXPECT_EQ(form().GenerateRecords(), 10);
  EXPECT_EQ(ui.AllText(), "Es wurden 10 neue Datens\xE4tze angelegt.");
  const int32_t door = db().FindByName("Raum 1", icDoor, 0);
  ASSERT_NE(door, 0);
  EXPECT_EQ(db().ReadLineField(door, fkRemark), "\"eine Bemerkung\"");
  EXPECT_TRUE(db().ReadHasLink(door, icBuilding, house));
  ui.Clear();
  EXPECT_EQ(form().GenerateRecords(), 0);
  EXPECT_NE(ui.AllText().find("Es wurden 0 neue"), std::string::npos);
  EXPECT_NE(ui.AllText().find("10 Datens\xE4tze gab es schon"), std::string::npos);
}

// Serves the events while a run lets them in, as the program's message boxes do.
struct TServingRecorder : TRecordingInteraction {
  void ProcessPendingEvents() override {
    TRecordingInteraction::ProcessPendingEvents();
    QCoreApplication::processEvents();
  }
};

// The generator stays on top of the main window; its wait panel must not lie under it,
// or its "Abbrechen" could not be reached for the whole run.
TEST_F(TDemoDataTest, TheWaitPanelStandsWhereItsCancelCanBeClicked) {
  TServingRecorder serving;
  TUserInteractionScope scope(serving);
  CloseRecordGenerator();
  QWidget mainWindow;
  mainWindow.setGeometry(0, 0, 790, 540);
  mainWindow.show();
  WinGlue().MainWindow = &mainWindow;
  ShowRecordGenerator(true);
  TDemoDataForm& generator = form();
  ASSERT_TRUE(generator.isVisible());
  generator.CntEd->clear();
  QTest::keyClicks(generator.CntEd, "2000");
  generator.NameEd->clear();
  QTest::keyClicks(generator.NameEd, "Raum");

  bool seen = false;
  QTimer::singleShot(0, [&] {
    TWaitPanel* wait = generator.findChild<TWaitPanel*>();
    if (!wait) wait = mainWindow.findChild<TWaitPanel*>();
    ASSERT_NE(wait, nullptr);
    seen = true;
    QPushButton* cancel = wait->CancelButton();
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->isVisible());
    // On the generator itself, within its bounds; or anywhere off the generator.
    const QRect panel(wait->mapToGlobal(QPoint(0, 0)), wait->size());
    if (wait->window() == &generator) {
      EXPECT_TRUE(QRect(generator.mapToGlobal(QPoint(0, 0)), generator.size()).contains(panel));
    } else {
      EXPECT_FALSE(generator.frameGeometry().intersects(panel))
          << "the panel lies under the window that stays on top";
    }
    QTest::mouseClick(cancel, Qt::LeftButton);
  });
  QTest::mouseClick(generator.OkBtn, Qt::LeftButton);
  EXPECT_TRUE(seen);
  EXPECT_NE(serving.AllText().find("Es wurden "), std::string::npos) << serving.AllText();
  EXPECT_EQ(serving.AllText().find("Es wurden 2000 "), std::string::npos) << "cancelled";
  EXPECT_TRUE(generator.OkBtn->isEnabled());
  CloseRecordGenerator();
  WinGlue().MainWindow = nullptr;
}

TEST_F(TDemoDataTest, EachRunChecksLoginAndRightsAgain) {
  const std::string file = ReadAllBytes(dir.File("Data.ada"));
  Session().RightLevels[rtDoors] = rlNo;
  EXPECT_EQ(form().GenerateRecords(), -1);
  Session().RightLevels.fill(rlYes);
  Session().LoggedIn = false;
  EXPECT_EQ(form().GenerateRecords(), -1);
  EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), file);
  // The window closes; the generator closed with the client's data is gone.
  CloseRecordGenerator();
  EXPECT_EQ(RecordGeneratorForm(), nullptr);
}

}  // namespace
