// The key cabinets view: unique names, the users on both sides in the save's write, the
// count cells, no deleting while keys are inside.
#include <QLineEdit>
#include <QListWidget>

#include "DoorsTestSupport.h"
#include "views/FrameCabinetUnit.h"

namespace {

TEST(CabinetsView, CountCells) {
  const struct {
    const char *current, *maximum, *cell;
  } cases[] = {
      {"3", "5", "\t3 /   5 "}, {"12", "10", "\t12 / 10 "}, {"3", "", "\t3 /   ? "}, {"", "", ""}};
  for (const auto& c : cases) EXPECT_EQ(CabinetCountCell(c.current, c.maximum), c.cell);
}

TEST(CabinetsView, UsersAreReplacedOnBothSidesAndKeysKeepTheCabinet) {
  TDoorsWorld w;
  const int32_t anna = w.Record(icUser, "Anna");
  const int32_t bert = w.Record(icUser, "Bert");
  TFrameCabinet view(nullptr);
  view.NewBtnClick();
  view.NameEd->setText("Schrank 1");
  ASSERT_EQ(view.UsersBox->count(), 2);
  view.UsersBox->item(0)->setCheckState(Qt::Checked);
  ASSERT_TRUE(view.SaveBtnClick()) << w.ui.AllText();
  const int32_t cabinet = view.CurrentId;
  EXPECT_EQ(TDoorsWorld::Links(*TDoorsWorld::TDisk(w.dir), anna, icCabinet),
            std::vector<int32_t>{cabinet});

  // A second user joins a cabinet that has one; the first leaves.
  ASSERT_TRUE(view.StartEdit());
  ASSERT_EQ(view.UsersBox->count(), 2);
  view.UsersBox->item(0)->setCheckState(Qt::Unchecked);
  view.UsersBox->item(1)->setCheckState(Qt::Checked);
  ASSERT_TRUE(view.SaveBtnClick()) << w.ui.AllText();
  {
    TDoorsWorld::TDisk disk(w.dir);
    EXPECT_EQ(TDoorsWorld::Links(*disk, cabinet, icUser), std::vector<int32_t>{bert});
    EXPECT_TRUE(TDoorsWorld::Links(*disk, anna, icCabinet).empty());
  }
  // Without the full users right the box cannot be changed.
  Session().RightLevels[rtUsers] = 1;
  ASSERT_TRUE(view.StartEdit());
  EXPECT_FALSE(view.UsersBox->isEnabled());
  EXPECT_EQ(view.UsersBox->count(), 2) << "still listed";
  view.CancelBtnClick();
  Session().RightLevels[rtUsers] = rlYes;

  // A name taken, in any case.
  view.NewBtnClick();
  view.NameEd->setText(" schrank 1 ");
  EXPECT_FALSE(view.SaveBtnClick());
  EXPECT_NE(w.ui.AllText().find("Es gibt bereits einen Schl\xFCsselschrank"), std::string::npos);
  view.CancelBtnClick();

  // A cabinet with a key is not deleted.
  const int32_t key = w.Record(icKey, "K1");
  w.Link(key, cabinet);
  view.ShowRecord(cabinet);
  w.ui.Clear();
  w.ui.answers = {mrYes};
  view.KillBtnClick();
  EXPECT_NE(w.ui.AllText().find("noch mit Schl\xFCsseln verkn\xFCpft"), std::string::npos)
      << w.ui.AllText();
  EXPECT_TRUE(TDoorsWorld::TDisk(w.dir)->IsValid(cabinet));
}

}  // namespace
