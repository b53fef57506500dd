// Remembered records: one entry per record, and issuing from the list stops before anything
// is issued when a selected key has no piece in stock.
#include "views/MemFormUnit.h"

#include <QListWidget>
#include <QPushButton>

#include "ViewsTestSupport.h"
#include "app/GlueStateUnit.h"
#include "basic/widgets/ScreenPlaceUnit.h"

namespace {

// The issue-and-return view: what it is asked to start.
struct TTransferStandIn : TStandInView {
  std::vector<TTransferStartRequest> started;
  bool StartTransfer(const TTransferStartRequest& request) override {
    started.push_back(request);
    return true;
  }
};

struct TMemFormTest : TViewsTest {
  TTransferStandIn transfer;
  int32_t k1 = 0, k2 = 0, door = 0;
  void SetUp() override {
    TViewsTest::SetUp();
    ForgetRememberedRecords();
    RegisterView(pgIssueReturn, &transfer);
    k1 = Record(icKey, "K1");
    k2 = Record(icKey, "K2");
    door = Record(icDoor, "Tor");
    db().SetField(k1, fkStock, "2");
    db().SetField(k2, fkStock, "0");
    ASSERT_TRUE(db().Commit());
  }
  void TearDown() override {
    ForgetRememberedRecords();
    delete MemForm();
    TViewsTest::TearDown();
  }
  void Select(const std::vector<int32_t>& ids) {
    QListWidget* box = MemForm()->Box;
    for (int i = 0; i < box->count(); ++i)
      box->item(i)->setSelected(
          std::find(ids.begin(), ids.end(), box->item(i)->data(Qt::UserRole).toInt()) != ids.end());
  }
};

// The list opens at the main window's right edge, by the width its layout gives it, and
// always on the screen: also beside a main window that nobody placed (200 x 100 at the top
// left, as without a window manager).
TEST_F(TMemFormTest, TheListOpensOnTheScreenAtTheMainWindowsRightEdge) {
  QWidget probe;
  const QRect area = WorkAreaOf(&probe);
  ASSERT_FALSE(area.isEmpty());
  const QRect mains[] = {{area.left(), area.top(), 200, 100},
                         {area.right() - 510, area.top() + 20, 500, 400},
                         {area.left() + 10, area.top() + 10, area.width() - 20, 300}};
  MemorizeRecord(k1);
  for (const QRect& bounds : mains) {
    QWidget mainWindow;
    mainWindow.setGeometry(bounds);
    mainWindow.show();
    WinGlue().MainWindow = &mainWindow;
    delete MemForm();
    ShowMemForm();
    TMemForm* form = MemForm();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(area.contains(form->frameGeometry()))
        << bounds.x() << "," << bounds.width() << ": " << form->x() << "," << form->width();
    if (bounds.width() > form->width() + 2) {
      EXPECT_EQ(form->x(), mainWindow.frameGeometry().right() - form->width() - 2)
          << "at the main window's right edge";
    }
    delete MemForm();
    WinGlue().MainWindow = nullptr;
  }
}

TEST_F(TMemFormTest, OneEntryPerRecordAndNoneForNothing) {
  for (int32_t id : {k1, 0, door, k1}) MemorizeRecord(id);
  EXPECT_EQ(RememberedRecords(), (std::vector<int32_t>{k1, door}));
  ShowMemForm();
  ASSERT_NE(MemForm(), nullptr);
  EXPECT_EQ(MemForm()->Box->count(), 2);
  EXPECT_TRUE(MemForm()->AusgabeBtn->isEnabled());
  EXPECT_FALSE(MemForm()->BundBtn->isEnabled());
  Select({k1});
  MemForm()->DelBtnClick();
  EXPECT_EQ(RememberedRecords(), (std::vector<int32_t>{door}));
  EXPECT_FALSE(MemForm()->AusgabeBtn->isEnabled());
  // Another client's data: its IDs name other records.
  ForgetRememberedRecords();
  EXPECT_TRUE(RememberedRecords().empty());
  EXPECT_EQ(MemForm()->Box->count(), 0);
}

TEST_F(TMemFormTest, ASelectedKeyWithoutStockStopsBeforeAnythingIsIssued) {
  for (int32_t id : {k1, k2, door}) MemorizeRecord(id);
  ShowMemForm();
  Select({k1, k2});
  EXPECT_FALSE(MemForm()->AusgabeBtnClick());
  EXPECT_TRUE(transfer.started.empty());
  EXPECT_NE(ui.AllText().find("kein freies Exemplar"), std::string::npos);
  // Only the first selected: asked whether to go on with the selected keys only.
  ui.Clear();
  Select({k1});
  ui.answers = {mrYes};
  EXPECT_TRUE(MemForm()->AusgabeBtnClick());
  ASSERT_EQ(transfer.started.size(), 1u);
  EXPECT_EQ(transfer.started[0].kind, 2);
  EXPECT_EQ(transfer.started[0].keys, (std::vector<int32_t>{k1}));
  EXPECT_EQ(ui.questions.size(), 1u);
  // Nothing selected.
  ui.Clear();
  Select({});
  EXPECT_FALSE(MemForm()->AusgabeBtnClick());
  EXPECT_EQ(ui.AllText(), "Es ist kein Schl\xFCssel markiert.");
}

}  // namespace
