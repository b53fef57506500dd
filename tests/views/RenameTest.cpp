// The mass rename of persons: one bulk write, the names as the table says, refused without
// the right, with unsaved input or while another station holds a record.
#include "views/RenameUnit.h"

#include <QDialog>
#include <QPushButton>

#include "ViewsTestSupport.h"
#include "basic/widgets/DialogRunner.h"
#include "data/StoreWriteUnit.h"
#include "platform/PlatformFiles.h"

namespace {

struct TRenameTest : TViewsTest {
  std::vector<int32_t> persons;
  const std::vector<std::pair<const char*, const char*>> table = {
      {"Anna Maria Schmidt", "Maria Schmidt, Anna"},
      {"Schmidt, Anna", "Schmidt, Anna"},
      {" Anna", " Anna"},
      {"Anna ", "Anna "},
      {"Anna  Schmidt", "Schmidt, Anna"},
      {"Otto", "Otto"},
  };
  void SetUp() override {
    TViewsTest::SetUp();
    for (const auto& [name, renamed] : table) {
      const int32_t id = Record(icPerson, "x");
      db().SetField(id, fkName, name);
      persons.push_back(id);
    }
    ASSERT_TRUE(db().Commit());
  }
  std::string File() const { return ReadAllBytes(dir.File("Data.ada")); }
  // The renames of files in the data folder while `work` runs.
  template <class F>
  int Renames(F work) {
    int renames = 0;
    TPfFaultScope count([&](TPfOp op, const std::string&) {
      renames += op == TPfOp::Rename;
      return 0;
    });
    work();
    return renames;
  }
};

TEST_F(TRenameTest, TheNamesOfTheTableInOneSave) {
  for (const auto& [name, renamed] : table) {
    std::string out;
    const bool changes = RenamedPersonName(name, out);
    EXPECT_EQ(changes ? out : std::string(name), renamed) << name;
  }
  // A bulk run that saves one change once costs as many renames as the whole run may.
  const int perSave = Renames([&] {
    TBulkWrite run(db());
    ASSERT_TRUE(run.Ok());
    db().SetField(persons.back(), fkRemark, "x");
    ASSERT_EQ(run.Commit(), TBulkResult::Saved);
  });
  int count = 0;
  EXPECT_EQ(Renames([&] { count = MassRenamePersons(db(), true); }), perSave);
  EXPECT_EQ(count, 2);
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  for (size_t i = 0; i < table.size(); ++i)
    EXPECT_EQ(reader->ReadLineField(persons[i], fkName), table[i].second) << table[i].first;
  const std::string log = HistoryBytes();
  size_t lines = 0;
  for (size_t at = log.find("a=Ren"); at != std::string::npos; at = log.find("a=Ren", at + 1))
    ++lines;
  EXPECT_EQ(lines, 2u);
  // Run again: nothing left to rename.
  EXPECT_EQ(MassRenamePersons(db(), true), 0);
}

TEST_F(TRenameTest, RefusalsLeaveTheFileAsItWas) {
  TStandInView editing;
  editing.editing = true;
  TStation b("B");
  ASSERT_TRUE(b.Open(dir));
  const struct {
    const char* what;
    std::function<void()> arrange;
    bool quiet;
  } cases[] = {
      {"unsaved input", [&] { RegisterView(pgPersons, &editing); }, false},
      {"no right to change persons", [&] { Session().RightLevels[rtPersons] = rlNo; }, true},
      {"another station holds a record", [&] { ASSERT_TRUE(b->LockItem(persons[0], false, 0)); },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = File();
    c.arrange();
    ui.Clear();
    EXPECT_EQ(MassRenamePersons(db(), c.quiet), -1);
    EXPECT_EQ(File(), file);
    EXPECT_FALSE(ui.messages.empty());
    EXPECT_EQ(db().ReadLineField(persons[0], fkName), "Anna Maria Schmidt");
    ResetViewRegistry();
    Session().RightLevels.fill(rlYes);
  }
}

TEST_F(TRenameTest, TheDialogAsksAndClosesWithOkWhenPersonsWereRenamed) {
  ui.answers = {mrYes};
  QueueDialogDriver(
      [](QDialog& dialog) { static_cast<TRenameForm&>(dialog).RenamePersonsBtn->click(); });
  EXPECT_TRUE(ShowRenameForm());
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_NE(ui.questions[0].find("jetzt umbenennen?"), std::string::npos);
  EXPECT_EQ(db().ReadLineField(persons[0], fkName), "Maria Schmidt, Anna");
  // Asked again, nothing left: closed with cancel.
  ui.answers = {mrYes};
  QueueDialogDriver(
      [](QDialog& dialog) { static_cast<TRenameForm&>(dialog).RenamePersonsBtn->click(); });
  EXPECT_FALSE(ShowRenameForm());
}

}  // namespace
