// The groups view: names per system, subgroups on the parent only, no cycles.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QTabWidget>

#include "DoorsTestSupport.h"
#include "app/LinkingFrameUnit.h"
#include "app/ListFillUnit.h"
#include "views/FrameGroupsUnit.h"

namespace {

struct TGroupsWorld : TDoorsWorld {
  std::unique_ptr<TFrameGroups> view;
  TGroupsWorld() {
    SetKeySystemName(3, "Nord");
    SetKeySystemName(4, "Sued");
    view = std::make_unique<TFrameGroups>(nullptr);
    ui.Clear();
  }
  ~TGroupsWorld() { view.reset(); }
  void TypeNew(const std::string& name, int32_t system) {
    view->NewBtnClick();
    view->NameEd->setText(ToQString(name));
    SelectComboObject(view->KeysystemCombo, system);
  }
  void Tick(TLinkingFrame* frame, int32_t id) {
    view->LinkFrameEdBtnClick(frame);
    const int row = frame->CheckModel->RowOfId(id);
    ASSERT_GE(row, 0);
    frame->CheckModel->SetChecked(row, true);
  }
};

TEST(GroupsView, TheGroupKeysSitBelowTheListAndTheLinksRightOfIt) {
  TGroupsWorld w;
  w.view->resize(1000, 700);
  w.view->show();
  QApplication::processEvents();
  const QRect list = w.view->ListingFrame->geometry();
  const QRect keys = w.view->KeyPageControl->geometry();
  EXPECT_EQ(list.width(), 500);
  EXPECT_EQ(keys.left(), 0);
  EXPECT_EQ(keys.top(), list.bottom() + 1);
  EXPECT_EQ(keys.width(), list.width());
  EXPECT_NEAR(keys.height(), list.height(), 1);
  EXPECT_EQ(w.view->EdPanel->geometry().left(), list.right() + 1);
  EXPECT_EQ(w.view->LinkPageControl->count(), 2) << "subgroups and cylinders";
  // A group with a key marks the keys' tab.
  const int32_t group = w.Record(icGroup, "G");
  const int32_t key = w.Record(icKey, "K");
  w.Link(group, key);
  w.view->ShowRecord(group);
  EXPECT_TRUE(w.view->KeyPageControl->tabText(0).endsWith(QChar(0x2022)))
      << w.view->KeyPageControl->tabText(0).toStdString();
}

TEST(GroupsView, NamesAreUniquePerSystem) {
  TGroupsWorld w;
  const struct {
    const char* name;
    int32_t system;
    bool saved;
  } cases[] = {{"G1", 3, true}, {"G1", 4, true}, {" g1 ", 3, false}};
  for (const auto& c : cases) {
    w.TypeNew(c.name, c.system);
    const int32_t last = w.a->LastID;
    EXPECT_EQ(w.view->SaveBtnClick(), c.saved) << c.name << w.ui.AllText();
    if (!c.saved) {
      EXPECT_NE(w.ui.AllText().find("Es gibt bereits eine Gruppe mit diesem Namen."),
                std::string::npos);
      EXPECT_EQ(TDoorsWorld::TDisk(w.dir)->LastID, last);
      w.view->CancelBtnClick();
    }
  }
  EXPECT_EQ(TDoorsWorld::All(*TDoorsWorld::TDisk(w.dir), icGroup).size(), 2u);
}

TEST(GroupsView, SubgroupsLiveOnTheParentAndNeverCycle) {
  TGroupsWorld w;
  const int32_t child = w.Record(icGroup, "Kind");
  w.Set(child, fkKeySystem, "3");
  const int32_t cyl = w.Record(icCylinder, "Z1");
  w.Set(cyl, fkKeySystem, "3");
  w.TypeNew("Eltern", 3);
  w.Tick(w.view->LinkSubgroupsFrame, child);
  w.Tick(w.view->LinkCylsFrame, cyl);
  ASSERT_TRUE(w.view->SaveBtnClick()) << w.ui.AllText();
  const int32_t parent = w.view->CurrentId;
  {
    TDoorsWorld::TDisk disk(w.dir);
    EXPECT_EQ(TDoorsWorld::Links(*disk, parent, icGroup), std::vector<int32_t>{child});
    EXPECT_TRUE(TDoorsWorld::Links(*disk, child, icGroup).empty()) << "on the parent only";
    EXPECT_EQ(TDoorsWorld::Links(*disk, cyl, icGroup), std::vector<int32_t>{parent});
  }
  // The parent below its child: refused, nothing changed.
  w.view->ShowRecord(child);
  ASSERT_TRUE(w.view->StartEdit());
  w.Tick(w.view->LinkSubgroupsFrame, parent);
  EXPECT_FALSE(w.view->SaveBtnClick());
  EXPECT_NE(w.ui.AllText().find("untergeordnet"), std::string::npos) << w.ui.AllText();
  EXPECT_TRUE(w.view->Editing);
  EXPECT_TRUE(TDoorsWorld::Links(*TDoorsWorld::TDisk(w.dir), child, icGroup).empty());
  EXPECT_EQ(CyclingSubgroups(*w.a.db, child, {child, parent, cyl}),
            (std::vector<int32_t>{child, parent}));
  // A stored cycle still reads.
  w.a->AddLink(child, parent, icGroup);
  ASSERT_TRUE(w.a->Commit());
  EXPECT_EQ(CyclingSubgroups(*w.a.db, parent, {parent}), std::vector<int32_t>{parent});
}

}  // namespace
