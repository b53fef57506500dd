// The navigation window: a class button goes to its page, the plan button to the locking
// plan's command, F9 closes without changing pages, and the pages shown are stored for the
// user only when they changed, and only as the user's rights allow.
#include "views/NaviUnit.h"

#include <QCheckBox>
#include <QImage>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest/QTest>

#include <cstdlib>
#include <filesystem>

#include "ViewsTestSupport.h"
#include "app/CommandNames.h"
#include "app/MainFormUnit.h"
#include "app/MainImagesUnit.h"
#include "basic/ParamsUnit.h"
#include "basic/widgets/DialogRunner.h"

namespace {

struct TNaviTest : TViewsTest {
  QTabWidget pages;
  int32_t user = 0;
  void SetUp() override {
    TViewsTest::SetUp();
    for (int i = 0; i < kPageCount; ++i) pages.addTab(new QWidget, QString::number(i));
    WinGlue().PageControl = &pages;
    user = Record(icUser, "ANNA");
    ASSERT_TRUE(db().Commit());
    Session().CurrentUserId = user;
    SetStrictDialogs(true);
  }
  void TearDown() override {
    EXPECT_EQ(PendingDialogDrivers(), 0);
    ClearDialogDrivers();
    InstallMenuCommand(kMenuPlan1, nullptr);
    TViewsTest::TearDown();
  }
  std::string File() const { return ReadAllBytes(dir.File("Data.ada")); }
  static void Press(QWidget& w, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &press);
  }
};

// Each button shows the glyph of its row from the program's image list, found beside the
// program as the build puts it there.
TEST_F(TNaviTest, EachButtonShowsTheGlyphOfItsRow) {
  const std::string prog = dir.Dir() + "prog/";
  std::filesystem::create_directories(prog + "Icons");
  std::filesystem::copy_file(TESSARO_RESOURCE_DIR "/Icons/MainImages.png",
                             prog + "Icons/MainImages.png");
  const std::string oldDir = CommandLine().OriginExeDir;
  CommandLine().OriginExeDir = prog;
  ASSERT_EQ(MainImageSize(), 16);
  QImage picture;
  QueueDialogDriver([&](QDialog& d) {
    auto& form = static_cast<TNaviForm&>(d);
    const std::pair<QPushButton*, int> rows[] = {
        {form.BtnKeys, 4},   {form.BtnCyls, 1},   {form.BtnDoors, 3},
        {form.BtnHouses, 0}, {form.BtnGroups, 2}, {form.BtnPersons, 6},
        {form.BtnCabs, 5},   {form.BtnUsers, 10}, {form.BtnSystems, 2}};
    for (const auto& [button, glyph] : rows) {
      ASSERT_FALSE(button->icon().isNull()) << button->objectName().toStdString();
      const QImage shown =
          button->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
      const QImage wanted = MainImage(glyph).toImage().convertToFormat(QImage::Format_ARGB32);
      EXPECT_EQ(shown, wanted) << button->objectName().toStdString();
      // The glyph stands on the button's own face: the tile's corners are transparent.
      EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0);
    }
    EXPECT_NE(MainImage(4).toImage(), MainImage(1).toImage()) << "each class its own glyph";
    d.adjustSize();
    picture = d.grab().toImage();
    if (const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS"))
      picture.save(QString::fromLocal8Bit(shots) + "/navigation.png");
    QTest::mouseClick(form.BtnKeys, Qt::LeftButton);
  });
  EXPECT_EQ(ShowNaviForm(), icKey);
  CommandLine().OriginExeDir = oldDir;
  ASSERT_FALSE(picture.isNull());
}

TEST_F(TNaviTest, AClassButtonGoesToItsPageAndThePlanButtonToThePlan) {
  pages.setTabVisible(pgDoors, false);
  QueueDialogDriver([](QDialog& d) { static_cast<TNaviForm&>(d).BtnDoors->click(); });
  RunNavigation();
  EXPECT_EQ(pages.currentIndex(), pgDoors);
  EXPECT_TRUE(pages.isTabVisible(pgDoors));

  int plans = 0;
  InstallMenuCommand(kMenuPlan1, [&] { ++plans; });
  QueueDialogDriver([](QDialog& d) { static_cast<TNaviForm&>(d).PlanBtn->click(); });
  EXPECT_EQ(ShowNaviForm(), kNaviPlanResult);
  QueueDialogDriver([](QDialog& d) { static_cast<TNaviForm&>(d).PlanBtn->click(); });
  RunNavigation();
  EXPECT_EQ(plans, 1);
}

TEST_F(TNaviTest, PagesAreStoredOnlyWhenTheyChanged) {
  const std::string before = File();
  // F9 closes without changing anything, even with a box unticked.
  QueueDialogDriver([](QDialog& d) {
    auto& form = static_cast<TNaviForm&>(d);
    form.CheckHouses->setChecked(false);
    Press(form, Qt::Key_F9);
  });
  EXPECT_EQ(ShowNaviForm(), 0);
  EXPECT_TRUE(pages.isTabVisible(pgBuildings));
  // OK with every box as it was: nothing written.
  QueueDialogDriver([](QDialog& d) { static_cast<TNaviForm&>(d).BtnKeys->click(); });
  EXPECT_EQ(ShowNaviForm(), icKey);
  EXPECT_EQ(File(), before);
  // The buildings page hidden: stored for the user.
  QueueDialogDriver([](QDialog& d) {
    auto& form = static_cast<TNaviForm&>(d);
    form.CheckHouses->setChecked(false);
    form.BtnKeys->click();
  });
  EXPECT_EQ(ShowNaviForm(), icKey);
  EXPECT_FALSE(pages.isTabVisible(pgBuildings));
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->ReadLineField(user, "ViewTab"), "011111");
  EXPECT_NE(File(), before);
}

TEST_F(TNaviTest, APageWhoseRightIsMissingIsNotShownAgain) {
  pages.setTabVisible(pgBuildings, false);
  pages.setTabVisible(pgCabinets, false);
  Session().RightLevels[rtBuildings] = 0;
  QueueDialogDriver([](QDialog& d) {
    auto& form = static_cast<TNaviForm&>(d);
    EXPECT_FALSE(form.CheckHouses->isEnabled());
    EXPECT_TRUE(form.CheckCabs->isEnabled());
    form.CheckHouses->setChecked(true);
    form.CheckCabs->setChecked(true);
    form.BtnKeys->click();
  });
  EXPECT_EQ(ShowNaviForm(), icKey);
  EXPECT_FALSE(pages.isTabVisible(pgBuildings));
  EXPECT_TRUE(pages.isTabVisible(pgCabinets));
  // F1 opens the manual (none here: the file message) and closes without a class.
  ui.Clear();
  QueueDialogDriver([](QDialog& d) { Press(d, Qt::Key_F1); });
  EXPECT_EQ(ShowNaviForm(), 0);
  EXPECT_NE(ui.AllText().find("Datei nicht gefunden"), std::string::npos);
}

}  // namespace
