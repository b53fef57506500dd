// Signing end to end with our virtual pad: the registry stand-in names bin/Pad, the
// program loads SOPad.so with the system's loader, the pad's window attaches itself to the
// modal signing dialog, the test writes two strokes with the mouse, presses the pad's "OK"
// and then "Übernehmen"; the saved signature shows again as it was drawn.
// TESSARO_AUTOMATION_SHOTS (a folder): pictures of the dialog and the pad.

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <cstdlib>

#include "FramesTestSupport.h"
#include "app/SigFormUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/SigDBUnit.h"
#include "data/TransferUnit.h"
#include "output/PadDriverUnit.h"
#include "output/SigFrameUnit.h"
#include "platform/RegistryStore.h"
#include "support/RegistryTestRoot.h"
#include "support/ScriptedPadDriver.h"

namespace {

void Shot(QWidget& widget, const char* name) {
  if (const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS"))
    widget.grab().save(QString::fromLocal8Bit(shots) + "/" + name + ".png");
}

QWidget* PadWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "SignaturPad") return w;
  for (QWidget* w : QApplication::allWidgets())
    if (w->isWindow() && w->windowTitle() == "Signatur-Pad") return w;
  return nullptr;
}

void Stroke(QWidget* area, const std::vector<QPoint>& points) {
  QTest::mousePress(area, Qt::LeftButton, {}, points.front());
  for (size_t i = 1; i < points.size(); ++i) QTest::mouseMove(area, points[i]);
  QTest::mouseRelease(area, Qt::LeftButton, {}, points.back());
}

// True when a pixel within `r` of (x, y) is dark.
bool DarkNear(const QImage& image, int x, int y, int r) {
  for (int dy = -r; dy <= r; ++dy)
    for (int dx = -r; dx <= r; ++dx)
      if (image.rect().contains(x + dx, y + dy) && qRed(image.pixel(x + dx, y + dy)) < 160)
        return true;
  return false;
}

struct SigPadEndToEnd : TFramesTest {
  TRegistryTestRoot registry;

  std::unique_ptr<TSigTestStore> store;
  TSigDB* db = nullptr;

  void SetUp() override {
    TFramesTest::SetUp();
    store = std::make_unique<TSigTestStore>(dir);
    db = &store->sig;
    ASSERT_TRUE(TRegistryStore(registry.UserRoot(), registry.MachineRoot())
                    .WriteString(TRegScope::Machine, kPadRegistryKey, kPadRegistryValue,
                                 TESSARO_PAD_DIR));
    SetPadLibraryLoader(nullptr);
    ResetPadLibrary();
    SetPadLanguage("DE");
  }
  void TearDown() override {
    ShutdownSignatureCapture();
    ResetPadLibrary();
    store.reset();
    TFramesTest::TearDown();
  }
  TTransferRecord IssueOfKellerToEva() {
    TTransferRecord record;
    record.Kind = tkIssue;
    record.Keys.Add(Record(icKey, "Keller"));
    record.NewOwner = {okPerson, Record(icPerson, "Eva")};
    return record;
  }
  // The pad's window once the event loop has brought it up; null when it never came.
  static QWidget* WaitForPad() {
    QWidget* pad = nullptr;
    for (int i = 0; i < 200 && !(pad && pad->isVisible()); ++i) {
      QCoreApplication::processEvents();
      pad = PadWindow();
    }
    return pad;
  }
};

TEST_F(SigPadEndToEnd, SignOnTheVirtualPadAndShowItAgain) {
  TTransferRecord record;
  record.Kind = tkReturn;
  record.Keys.Add(Record(icKey, "Haupteingang"));
  record.OldOwner = {okPerson, Record(icPerson, "J\xFCrgen M\xFCller")};
  record.NewOwner = {okCabinet, Record(icCabinet, "Schrank")};

  QImage captured;
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TSigForm&>(dialog);
    // The pad comes up from the event loop, as a window of the modal dialog.
    QWidget* pad = WaitForPad();
    ASSERT_TRUE(pad && pad->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
    EXPECT_EQ(pad->parentWidget(), &dialog);
    EXPECT_EQ(pad->windowTitle(), "Signatur-Pad");
    // The display shows the program's characters again.
    auto* top = pad->findChild<QLabel*>("PadTextTop");
    ASSERT_NE(top, nullptr);
    EXPECT_TRUE(top->text().contains(QString::fromUtf8("Empfänger: Jürgen Müller"))) << top->text().toStdString();
    EXPECT_TRUE(top->text().contains(QString::fromUtf8("Schlüssel: Haupteingang")));

    Shot(dialog, "signature-waiting");
    QWidget* area = pad->findChild<QWidget*>("PadWriting");
    ASSERT_NE(area, nullptr);
    Stroke(area, {{60, 90}, {120, 150}, {180, 100}, {240, 160}, {300, 120}});
    Stroke(area, {{330, 250}, {420, 200}, {510, 240}});
    Shot(*pad, "signature-pad");
    QTest::mouseClick(pad->findChild<QPushButton*>("PadBigButton"), Qt::LeftButton);
    EXPECT_FALSE(pad->isVisible());
    EXPECT_EQ(PadCaptureState(), kCaptureIdle);
    ASSERT_TRUE(form.SaveBtn->isEnabled());
    captured = form.SigFrame->Picture();
    // The writing area maps onto what the frame shows: (120, 150) of 600 x 300 lands near
    // (80, 100) of 400 x 200, (420, 200) near (280, 133).
    EXPECT_TRUE(DarkNear(captured, 80, 100, 3));
    EXPECT_TRUE(DarkNear(captured, 280, 133, 3));
    EXPECT_FALSE(DarkNear(captured, 200, 20, 10));
    dialog.adjustSize();
    Shot(dialog, "signature-dialog");
    QAbstractButton* take = FindDialogButton(dialog, ToQString("\xDC" "bernehmen"));
    ASSERT_NE(take, nullptr);
    QTest::mouseClick(take, Qt::LeftButton);
  });
  ASSERT_TRUE(RequestSignature(record));
  EXPECT_EQ(PendingDialogDrivers(), 0);
  EXPECT_EQ(PadCaptureState(), kCaptureIdle);
  const TSignaturePoints points = ExistingSigForm()->Points();
  ASSERT_GT(points.size(), 6u);
  EXPECT_EQ(std::count_if(points.begin(), points.end(),
                          [](const TMiniFrames& p) { return p.StartsStroke(); }),
            2);

  std::string ref;
  ASSERT_TRUE(SaveSignature(*db, "", ref)) << db->LastError();
  std::string text;
  TSignaturePoints stored;
  ASSERT_TRUE(LoadJournalSignature(*db, ref, text, stored));
  EXPECT_EQ(stored, points);
  EXPECT_NE(text.find("J\xFCrgen M\xFCller"), std::string::npos);

  // Shown again from the reference: the same points, the same picture.
  ExistingSigForm()->SigFrame->Clear();
  bool shown = false;
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TSigForm&>(dialog);
    shown = true;
    EXPECT_EQ(form.SigFrame->Picture(), captured);
    EXPECT_FALSE(form.SaveBtn->isEnabled());
    EXPECT_EQ(PadWindow() == nullptr || !PadWindow()->isVisible(), true);
    Shot(dialog, "signature-shown");
  });
  EXPECT_TRUE(ShowSignature(*db, ref));
  EXPECT_TRUE(shown);
}

// Nobody places the pad where no window manager runs: it places itself beside the signing
// dialog where the screen has room, else with the dialog in opposite corners; never over
// half of the dialog, never over its buttons.
TEST_F(SigPadEndToEnd, ThePadStandsBesideTheSigningDialog) {
  const TTransferRecord record = IssueOfKellerToEva();
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TSigForm&>(dialog);
    QWidget* pad = WaitForPad();
    ASSERT_TRUE(pad && pad->isVisible());
    ASSERT_NE(dialog.screen(), nullptr);
    const QRect area = dialog.screen()->availableGeometry();
    const QRect d = dialog.frameGeometry();
    const QRect p = pad->frameGeometry();
    EXPECT_TRUE(area.contains(p)) << p.x() << "," << p.y();
    const QRect covered = d.intersected(p);
    const int coveredArea = covered.isEmpty() ? 0 : covered.width() * covered.height();
    if (d.width() + p.width() + 8 <= area.width() || d.height() + p.height() + 8 <= area.height()) {
      EXPECT_EQ(coveredArea, 0) << "the screen has room for both";
    }
    EXPECT_LT(coveredArea, d.width() * d.height() / 2);
    for (QPushButton* b : {form.SaveBtn, form.RetryBtn, form.CancelBtn})
      EXPECT_FALSE(p.intersects(QRect(b->mapToGlobal(QPoint(0, 0)), b->size())))
          << b->objectName().toStdString();
    if (const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS")) {
      QImage screen(area.size(), QImage::Format_RGB32);
      screen.fill(Qt::darkGray);
      QPainter painter(&screen);
      painter.drawPixmap(d.topLeft() - area.topLeft(), dialog.grab());
      painter.drawPixmap(p.topLeft() - area.topLeft(), pad->grab());
      painter.end();
      screen.save(QString::fromLocal8Bit(shots) + "/signature-screen.png");
    }
    QTest::mouseClick(form.CancelBtn, Qt::LeftButton);
  });
  EXPECT_FALSE(RequestSignature(record));
}

// Closing the pad's window cancels like its small button; the operator can ask again.
TEST_F(SigPadEndToEnd, ClosingThePadWindowCancels) {
  const TTransferRecord record = IssueOfKellerToEva();
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TSigForm&>(dialog);
    QWidget* pad = WaitForPad();
    ASSERT_TRUE(pad && pad->isVisible());
    EXPECT_EQ(PadCaptureState(), kCaptureRunning);
    pad->close();
    EXPECT_EQ(PadCaptureState(), kCaptureIdle);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(form.RetryBtn->isEnabled());
    EXPECT_FALSE(form.SaveBtn->isEnabled());
    form.CancelBtn->click();
  });
  EXPECT_FALSE(RequestSignature(record));
}

}  // namespace
