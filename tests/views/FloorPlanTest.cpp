// Floor plans: their file and link names, imports that stay showable, and links that open
// only on a click and a yes.
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "DoorsTestSupport.h"
#include "app/PictureUnit.h"
#include "app/UnitTR100Win.h"
#include "app/WaitPanelUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/FileCtrl2.h"
#include "platform/PlatformFiles.h"
#include "views/FloorPlanUnit.h"

namespace {

TEST(FloorPlan, Names) {
  EXPECT_EQ(FloorHex("EG"), FloorHex(" eg "));
  EXPECT_EQ(FloorHex("K\xFC"
                     "che"),
            "4BDC434845");
  EXPECT_EQ(FloorPlanFileName("/d/", 0x1F, "EG"), "/d/Images/Floorplan/001F-4547.jpg");
  EXPECT_EQ(FloorPlanFileName("/d/", 0x12345, ""), "/d/Images/Floorplan/12345-.jpg");
  EXPECT_EQ(FloorPlanLinkField(" eg"), "FpLnk4547");
}

QImage Noise(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < width * 3; ++x) {
      seed = seed * 1664525u + 1013904223u;
      row[x] = static_cast<uchar>(seed >> 24);
    }
  }
  return image;
}

TEST(FloorPlan, ImportsStayShowable) {
  TDoorsWorld w;
  const std::string plan = FloorPlanFileName(w.dir.Dir(), 7, "EG");
  QImage shown;

  // A JPEG the loader takes: byte for byte.
  const std::string jpeg = w.dir.Dir() + "plan.jpg";
  ASSERT_TRUE(Noise(200, 150).save(QString::fromStdString(jpeg), "JPEG", 90));
  ASSERT_EQ(ImportFloorPlan(jpeg, plan), TPlanImportResult::Stored);
  EXPECT_EQ(ReadAllBytes(plan), ReadAllBytes(jpeg));

  // Unreadable: an error, the old plan stays.
  const std::string junk = w.dir.Dir() + "junk.png";
  WriteAllBytes(junk, std::string(5000, 'x'));
  EXPECT_EQ(ImportFloorPlan(junk, plan), TPlanImportResult::Unreadable);
  EXPECT_EQ(ReadAllBytes(plan), ReadAllBytes(jpeg));

  // A PNG, even a tiny one, becomes a JPEG the loader shows.
  const std::string png = w.dir.Dir() + "plan.png";
  ASSERT_TRUE(Noise(8, 8).save(QString::fromStdString(png), "PNG"));
  ASSERT_EQ(ImportFloorPlan(png, plan), TPlanImportResult::Stored);
  EXPECT_EQ(ReadAllBytes(plan).substr(0, 2), "\xFF\xD8");
  ASSERT_TRUE(LoadJpegFileToBitmap(plan, shown));
  EXPECT_EQ(shown.width(), 8);

  // A JPEG beyond what the loader takes is encoded again until it fits.
  const std::string large = w.dir.Dir() + "large.jpg";
  ASSERT_TRUE(Noise(2200, 1600).save(QString::fromStdString(large), "JPEG", 100));
  ASSERT_GT(GetFileSize64(large), 6 * 1024 * 1024 - 1) << "the file is not large enough";
  ASSERT_EQ(ImportFloorPlan(large, plan), TPlanImportResult::Stored);
  EXPECT_LE(GetFileSize64(plan), kJpegFileMaxBytes);
  ASSERT_TRUE(LoadJpegFileToBitmap(plan, shown));
  EXPECT_GT(shown.width(), 0);

  // No stray temporary files.
  std::vector<TPfFolderEntry> entries;
  PfListFolder(w.dir.Dir() + "Images/Floorplan/", entries);
  EXPECT_EQ(entries.size(), 1u);
}

TEST(FloorPlan, LinksOpenOnlyOnAClickAndAYesAndNeverAProgram) {
  TDoorsWorld w;
  std::vector<std::string> opened;
  WinGlue().ShellOpener = [&opened](const std::string& target) {
    opened.push_back(target);
    return true;
  };
  const int32_t house = w.Record(icBuilding, "Haus 1");
  const std::string drawing = w.dir.Dir() + "drawing.pdf";
  WriteAllBytes(drawing, "%PDF");
  w.Set(house, FloorPlanLinkField("EG"), drawing + ";x");
  EXPECT_TRUE(FloorPlanExists(*w.a.db, w.dir.Dir(), house, " eg"));

  TFloorPlanFrame frame(nullptr);
  EXPECT_FALSE(frame.ShowPlan(house, "EG"));
  EXPECT_FALSE(frame.InfoLabel3->text().isEmpty());
  EXPECT_TRUE(opened.empty()) << "showing opens nothing";
  w.ui.answers = {mrNo};
  frame.OpenLink();
  EXPECT_TRUE(opened.empty());
  w.ui.answers = {mrYes};
  frame.OpenLink();
  EXPECT_EQ(opened, std::vector<std::string>{drawing});

  // A link to something that could run is never opened.
  for (const char* name : {"run.sh", "start.desktop", "setup.EXE", "x.bat", "y.cmd", "tool"}) {
    const std::string path = w.dir.Dir() + name;
    WriteAllBytes(path, "#!/bin/sh\n");
    if (std::string(name) == "tool") PfChmod(path, 0755);
    w.Set(house, FloorPlanLinkField("EG"), path);
    opened.clear();
    w.ui.answers = {mrYes};
    frame.OpenLink();
    EXPECT_TRUE(opened.empty()) << name;
  }

  // A deleted target is no link: no mark.
  w.Set(house, FloorPlanLinkField("EG"), drawing);
  DeleteFileForce(drawing);
  EXPECT_FALSE(FloorPlanExists(*w.a.db, w.dir.Dir(), house, "EG"));
  frame.ShowPlan(house, "EG");
  EXPECT_TRUE(frame.InfoLabel3->text().isEmpty());
}

TEST(FloorPlan, ShownZoomedAndTurned) {
  TDoorsWorld w;
  const std::string plan = FloorPlanFileName(w.dir.Dir(), 5, "1. OG");
  ASSERT_EQ(ImportFloorPlan(w.dir.Dir() + "none.png", plan), TPlanImportResult::Unreadable);
  const std::string png = w.dir.Dir() + "p.png";
  ASSERT_TRUE(Noise(400, 200).save(QString::fromStdString(png), "PNG"));
  ASSERT_EQ(ImportFloorPlan(png, plan), TPlanImportResult::Stored);
  TFloorPlanFrame frame(nullptr);
  ASSERT_TRUE(frame.ShowPlan(5, " 1. og "));
  frame.SetZoom(25);
  frame.RotateRight();
  EXPECT_EQ(frame.Zoom, 25);
  EXPECT_EQ(frame.Rotation, 90);
  frame.RotateLeft();
  frame.RotateLeft();
  EXPECT_EQ(frame.Rotation, -90);
}

// The full-screen window stands for the program: minimising it minimises the main window,
// and closing it gives the frame back to the view it came from.
TEST(FloorPlan, FullScreenWindowMinimisesTheProgramAndGivesTheFrameBack) {
  TDoorsWorld w;
  QWidget main;
  main.show();
  WinGlue().MainWindow = &main;
  QWidget view;
  auto* frame = new TFloorPlanFrame(&view);
  frame->setGeometry(10, 20, 300, 200);
  view.show();
  bool minimisedWithIt = false;
  QueueDialogDriver([&](QDialog& form) {
    EXPECT_EQ(form.windowTitle(), QString(" Grundriss"));
    EXPECT_EQ(frame->window(), &form);
    form.setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    minimisedWithIt = main.isMinimized() && !form.isMinimized();
    QTest::mouseClick(frame->CloseBtn, Qt::LeftButton);
  });
  QTest::mouseClick(frame->FullScreenBtn, Qt::LeftButton);
  EXPECT_TRUE(minimisedWithIt);
  EXPECT_EQ(frame->parentWidget(), &view);
  EXPECT_EQ(frame->geometry(), QRect(10, 20, 300, 200));
  WinGlue().MainWindow = nullptr;
}

// Loading a plan shows the wait text on the window the caller names, and takes it away.
TEST(FloorPlan, LoadingShowsTheWaitTextOnTheCallersWindow) {
  TDoorsWorld w;
  const std::string plan = FloorPlanFileName(w.dir.Dir(), 7, "EG");
  const std::string png = w.dir.Dir() + "p.png";
  ASSERT_TRUE(Noise(200, 100).save(QString::fromStdString(png), "PNG"));
  ASSERT_EQ(ImportFloorPlan(png, plan), TPlanImportResult::Stored);
  QWidget host;
  host.resize(400, 300);
  host.show();
  TFloorPlanFrame frame(nullptr);
  // The panel is shown while the picture loads: its parent hears of it as a polished child.
  struct TWaitSeen : QObject {
    bool seen = false;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::ChildPolished &&
          qobject_cast<TWaitPanel*>(static_cast<QChildEvent*>(e)->child()))
        seen = true;
      return false;
    }
  } probe;
  host.installEventFilter(&probe);
  ASSERT_TRUE(frame.ShowPlan(7, "EG", &host));
  const bool waitShown = probe.seen;
  EXPECT_TRUE(waitShown);
  EXPECT_TRUE(host.findChildren<TWaitPanel*>().isEmpty());
}

}  // namespace
