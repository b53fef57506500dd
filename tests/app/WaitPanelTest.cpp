#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "app/WaitPanelUnit.h"
#include "basic/widgets/QtGlue.h"

namespace {

bool Centred(const QWidget& child, const QWidget& parent) {
  return child.x() == (parent.width() - child.width()) / 2 && child.y() == (parent.height() - child.height()) / 2;
}

TEST(WaitPanel, TextOnlyPanelIsSizedAroundTheTextAndCentred) {
  QWidget window;
  window.resize(800, 600);
  TWaitPanel* panel = ShowWaitPanel(&window, "Ausdruck l\xE4uft ...");
  QLabel* label = panel->TextLabel();
  EXPECT_EQ(label->text(), QString::fromUtf8("Ausdruck läuft ..."));
  EXPECT_EQ(label->pos(), QPoint(30, 30));
  EXPECT_EQ(panel->size(), QSize(label->width() + 60, label->height() + 60));
  EXPECT_EQ(panel->TextBottom(), label->geometry().bottom() + 1 + 30);
  EXPECT_TRUE(Centred(*panel, window));
  EXPECT_EQ(BgrFromColor(panel->palette().color(QPalette::Window)), 0x808000u);
  EXPECT_EQ(panel->CancelButton(), nullptr);
  EXPECT_EQ(panel->ProgressBar(), nullptr);
  delete panel;
}

TEST(WaitPanel, ProgressBarAppearsWithTheFirstMaximumAboveZero) {
  QWidget window;
  window.resize(800, 600);
  TWaitPanel* panel = ShowWaitPanel(&window, "x");
  panel->SetMax(0);
  EXPECT_EQ(panel->ProgressBar(), nullptr);
  panel->SetMax(-3);
  EXPECT_EQ(panel->Max(), 0);
  EXPECT_EQ(panel->ProgressBar(), nullptr);
  panel->SetMax(5);
  QProgressBar* bar = panel->ProgressBar();
  ASSERT_NE(bar, nullptr);
  // A short text makes a narrow panel: the bar takes its minimum of 200, the panel 260.
  EXPECT_EQ(bar->geometry().topLeft(), QPoint(30, panel->TextBottom()));
  EXPECT_EQ(bar->width(), 200);
  EXPECT_EQ(panel->width(), 260);
  EXPECT_EQ(panel->height(), bar->geometry().bottom() + 1 + 30);
  EXPECT_TRUE(Centred(*panel, window));
  panel->SetPosition(3);
  EXPECT_EQ(bar->value(), 3);
  panel->SetPosition(-1);
  EXPECT_EQ(panel->Position(), 0);
  EXPECT_EQ(bar->value(), 0);
  panel->SetMax(0);  // the bar stays and follows
  EXPECT_EQ(panel->ProgressBar(), bar);
  EXPECT_EQ(bar->maximum(), 0);
  delete panel;
}

TEST(WaitPanel, LongCancelCaptionWidensThePanel) {
  QWidget window;
  window.resize(1000, 600);
  TWaitPanel* panel = ShowWaitPanel(&window, "x", "Abbrechen und alle bisher erzeugten Datens\xE4tze behalten");
  QPushButton* button = panel->CancelButton();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->x(), 30);
  EXPECT_EQ(panel->width(), button->width() + 60);
  EXPECT_EQ(button->y(), panel->TextBottom());
  EXPECT_EQ(panel->height(), button->geometry().bottom() + 1 + 30);
  // With a bar the button moves 30 below it.
  panel->SetMax(10);
  EXPECT_EQ(button->y(), panel->ProgressBar()->geometry().bottom() + 1 + 30);
  EXPECT_EQ(panel->height(), button->geometry().bottom() + 1 + 30);
  EXPECT_TRUE(Centred(*panel, window));
  delete panel;
}

TEST(WaitPanel, CancelByClick) {
  QWidget window;
  window.resize(600, 400);
  window.show();
  TWaitPanel* panel = ShowWaitPanel(&window, "Datens\xE4tze werden erzeugt", "Abbrechen");
  panel->SetMax(99);
  QPushButton* button = panel->CancelButton();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), QStringLiteral("Abbrechen"));
  EXPECT_EQ(button->x(), (panel->width() - button->width()) / 2);
  EXPECT_FALSE(panel->Cancelled());
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_TRUE(panel->Cancelled());
  EXPECT_FALSE(button->isEnabled());
  delete panel;
}

TEST(DisableControls, DisablesOnlyWhatWasEnabledAndRestoresExactlyThat) {
  QWidget window;
  QWidget panel(&window);              // a plain container: entered
  QLineEdit edit(&panel);
  QCheckBox alreadyOff(&panel);
  alreadyOff.setEnabled(false);
  QPushButton ok(&window);
  QGroupBox group(&window);            // not a plain container: disabled as a whole
  QLineEdit inGroup(&group);

  TDisabledControls list = DisableControls(&window);
  EXPECT_EQ(list.size(), 3u);
  EXPECT_TRUE(panel.isEnabled());
  EXPECT_FALSE(edit.isEnabled());
  EXPECT_FALSE(ok.isEnabled());
  EXPECT_FALSE(group.isEnabled());
  EXPECT_FALSE(inGroup.isEnabled());

  // A wait panel shown meanwhile keeps its cancel button usable.
  TWaitPanel* wait = ShowWaitPanel(&window, "bitte warten", "Abbrechen");
  TDisabledControls more;
  DisableControls(&window, more);
  EXPECT_TRUE(more.empty());
  EXPECT_TRUE(wait->CancelButton()->isEnabled());
  delete wait;

  EnableControls(&window, list);
  EXPECT_TRUE(edit.isEnabled());
  EXPECT_TRUE(ok.isEnabled());
  EXPECT_TRUE(inGroup.isEnabled());
  EXPECT_FALSE(alreadyOff.isEnabled()) << "was off before: stays off";
}

TEST(DisableControls, ControlDeletedMeanwhileIsSkipped) {
  QWidget window;
  auto* edit = new QLineEdit(&window);
  QPushButton ok(&window);
  TDisabledControls list = DisableControls(&window);
  delete edit;
  EnableControls(&window, list);
  EXPECT_TRUE(ok.isEnabled());
}

}  // namespace
