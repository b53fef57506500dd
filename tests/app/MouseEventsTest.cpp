#include <QCoreApplication>
#include <QEnterEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include "app/MouseEventsUnit.h"
#include "basic/widgets/QtGlue.h"

namespace {

void Enter(QWidget* w, QPoint pos) {
  QEnterEvent event(pos, w->mapTo(w->window(), pos), w->mapToGlobal(pos));
  QCoreApplication::sendEvent(w, &event);
}

void Move(QWidget* w, QPoint pos) {
  QMouseEvent event(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &event);
}

void Leave(QWidget* w) {
  QEvent event(QEvent::Leave);
  QCoreApplication::sendEvent(w, &event);
}

class HoverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.resize(400, 300);
    lock.setGeometry(10, 10, 100, 20);
    cabinet.setGeometry(300, 100, 90, 20);
    form.show();
  }
  QWidget form;
  QWidget panel{&form};
  QLabel lock{"Schlie\xC3\x9f" "anlage", &form};
  QLabel cabinet{"Schrank", &form};
  TMouseEventsControls events;
};

TEST_F(HoverTest, EnterShowsTheHintBelowTheMouse) {
  events.SetHint(&lock, "Schlie\xDF" "anlage \xF6" "ffnen\r\nzweite Zeile");
  EXPECT_TRUE(events.IsRegistered(&lock));
  EXPECT_EQ(events.HintPanel(), nullptr) << "created on first use";

  Enter(&lock, QPoint(5, 4));
  QFrame* hint = events.HintPanel();
  ASSERT_NE(hint, nullptr);
  EXPECT_TRUE(hint->isVisible());
  EXPECT_EQ(hint->parentWidget(), &form);
  EXPECT_EQ(hint->pos(), QPoint(15, 34)) << "mouse in form coordinates, 20 further down";
  EXPECT_EQ(events.HintText()->text(), QString::fromUtf8("Schließanlage öffnen\nzweite Zeile"));
  EXPECT_EQ(BgrFromColor(hint->palette().color(QPalette::Window)), 0xE0FFFFu);
  EXPECT_EQ(hint->width(), events.HintText()->geometry().right() + 3);
  EXPECT_EQ(hint->height(), events.HintText()->geometry().bottom() + 3);
  EXPECT_EQ(events.LastControl(), &lock);

  Move(&lock, QPoint(30, 6));  // the panel follows the mouse
  EXPECT_EQ(hint->pos(), QPoint(40, 36));

  Leave(&lock);
  EXPECT_FALSE(hint->isVisible());
  EXPECT_EQ(events.LastControl(), nullptr);
}

TEST_F(HoverTest, HintNearTheRightEdgeEndsThere) {
  events.SetHint(&cabinet, "ein recht langer Hinweistext f\xFCr den Schrank");
  Enter(&cabinet, QPoint(80, 5));
  QFrame* hint = events.HintPanel();
  ASSERT_NE(hint, nullptr);
  EXPECT_EQ(hint->geometry().right() + 1, form.width());
  EXPECT_EQ(hint->y(), 125);
}

TEST_F(HoverTest, EnterAndLeaveActionsAndLinkLook) {
  std::vector<std::string> log;
  events.SetHandlers(&cabinet, [&](QWidget*) { log.push_back("enter cabinet"); },
                     [&](QWidget*) { log.push_back("leave cabinet"); });
  SetLinkLook(events, &lock);

  Enter(&lock, QPoint(1, 1));
  EXPECT_TRUE(lock.font().underline());
  EXPECT_EQ(BgrFromColor(lock.palette().color(QPalette::WindowText)), 0xFF0000u);
  EXPECT_EQ(events.HintPanel(), nullptr) << "no hint text: no panel";

  // Moving onto the other control leaves the first one.
  Enter(&cabinet, QPoint(1, 1));
  EXPECT_FALSE(lock.font().underline());
  EXPECT_EQ(BgrFromColor(lock.palette().color(QPalette::WindowText)), 0x800000u);
  Move(&cabinet, QPoint(2, 2));  // same control: no second enter
  Leave(&cabinet);
  Leave(&cabinet);               // already left: nothing more
  EXPECT_EQ(log, (std::vector<std::string>{"enter cabinet", "leave cabinet"}));
}

TEST_F(HoverTest, SetHintHidesTheShownPanelAndClearHint2Silences) {
  events.SetHint2(&lock, &cabinet, "gemeinsam");
  Enter(&lock, QPoint(1, 1));
  ASSERT_TRUE(events.HintPanel()->isVisible());
  events.ClearHint2(&lock, &cabinet);
  EXPECT_FALSE(events.HintPanel()->isVisible());
  Enter(&cabinet, QPoint(1, 1));
  EXPECT_FALSE(events.HintPanel()->isVisible());
  EXPECT_EQ(events.HintOf(&cabinet), "");
}

TEST_F(HoverTest, ControlTreeAndDestroyedControls) {
  auto* inner = new QLabel("innen", &panel);
  events.AddControlTree(&panel);
  EXPECT_TRUE(events.IsRegistered(&panel));
  EXPECT_TRUE(events.IsRegistered(inner));
  events.SetHint(inner, "Hinweis");
  Enter(inner, QPoint(0, 0));
  EXPECT_EQ(events.LastControl(), inner);
  delete inner;  // forgotten with it
  EXPECT_EQ(events.LastControl(), nullptr);
  Enter(&lock, QPoint(0, 0));  // no stale control is touched
  EXPECT_EQ(events.LastControl(), nullptr) << "lock is not registered";
}

TEST(HoverProgram, OneInstanceOwnedByTheApplication) {
  TMouseEventsControls& a = MouseEventsControls();
  EXPECT_EQ(&a, &MouseEventsControls());
  EXPECT_EQ(a.parent(), QCoreApplication::instance());
}

}  // namespace
