// The record generator's window: the counts corrected as shown, a run and its message, and
// every run checking login and rights again.
#include "views/DemoDataUnit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "ViewsTestSupport.h"
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
