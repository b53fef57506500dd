// The import journal file and the shared procedures that fill it: totals taken from an
// imported file, the entries that count, the summary table.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "data/MandantUnit.h"
#include "data/MiniDBTestSupport.h"
#include "data/UnitTR100.h"
#include "import/ImportEngineUnit.h"
#include "import/ImportJournalUnit.h"

namespace {

TEST(ImportJournal, TwoRunsInOneSecondWriteTwoSortedFiles) {
  TUtcZone zone;
  TFixedClock clock{EncodeDateTime(2024, 3, 5, 10, 30, 7)};
  TClockScope clockScope{clock};
  TTempDir dir;
  const std::string folder = dir.Dir() + "ImportJournal/";
  const std::vector<std::string> lines{"Key\t\tZ\tNeu\t\t", "Key\t\tA\t\t+2\t7"};
  const std::string first = WriteImportJournal(lines, folder);
  const std::string second = WriteImportJournal(lines, folder);
  EXPECT_EQ(first, folder + "2024-03-05 10.30.07.csv");
  EXPECT_EQ(second, folder + "2024-03-05 10.30.07 (2).csv");
  EXPECT_EQ(ImportJournalFileName(folder, EncodeDateTime(2024, 3, 5, 10, 30, 7)),
            folder + "2024-03-05 10.30.07 (3).csv");
  EXPECT_EQ(ReadAllBytes(first), "Typ\tPosition\tBezeichnung\tNeu\tBuchung\tGesamt\r\n"
                                 "Key\t\tA\t\t+2\t7\r\nKey\t\tZ\tNeu\t\t\r\n");
  std::vector<std::string> read;
  ASSERT_TRUE(ReadImportJournal(second, read));
  EXPECT_EQ(read, (std::vector<std::string>{kImportSummaryHeader, lines[1], lines[0]}));
  EXPECT_FALSE(ReadImportJournal(folder + "missing.csv", read));
  // A folder that cannot be made: no file, no false name.
  WriteAllBytes(dir.File("plain"), "x");
  EXPECT_EQ(WriteImportJournal(lines, dir.File("plain") + "/sub/"), "");
}

// The journal goes into the client's data folder or nowhere: never relative to the folder
// the program happens to run in.
TEST(ImportJournal, WithoutADataFolderNothingIsWrittenIntoTheWorkingFolder) {
  TTempDir work, data;
  const std::filesystem::path oldCwd = std::filesystem::current_path();
  ASSERT_EQ(chdir(work.Dir().c_str()), 0);
  TMandantState state;
  TMandantStateScope scope(state);
  const std::vector<std::string> lines{"Key\t\tA\t\t+2\t7"};

  state.DataRoot = "";
  EXPECT_EQ(ImportJournalFolder(), "");
  EXPECT_EQ(WriteImportJournal(lines), "");
  EXPECT_EQ(WriteImportJournal(lines, "ImportJournal/"), "");
  state.DataRoot = "Daten/";  // a relative data folder is no place either
  EXPECT_EQ(WriteImportJournal(lines), "");
  EXPECT_TRUE(std::filesystem::is_empty(work.Dir()));

  // With a data folder the journal lands in its "ImportJournal".
  state.DataRoot = data.Dir();
  const std::string written = WriteImportJournal(lines);
  EXPECT_EQ(written.rfind(data.Dir() + "ImportJournal/", 0), 0u) << written;
  EXPECT_TRUE(std::filesystem::is_regular_file(written));
  EXPECT_TRUE(std::filesystem::is_empty(work.Dir()));
  std::filesystem::current_path(oldCwd);
}

TEST(ImportJournal, SummaryOfTheEntriesThatCount) {
  TTempDir dir;
  TScopedRecorder ui;
  TStation a{"A"};
  ASSERT_TRUE(a.Open(dir));
  const int32_t key = a->NewNamedRecord(icKey, "S1", "");
  a->SetField(key, fkTotal, "5");
  a->SetField(key, fkStock, "4");

  TImportImportantList important;
  TQStringList entry;
  ImportRowQuery(entry, icKey, "S1", "12");
  EXPECT_EQ(entry.GetCommaText(), "Class=Key,k205=12,Name=S1");
  // An unchanged count is no news; a changed one is, with its difference.
  ASSERT_TRUE(ApplyCountChange(*a.db, key, "5", fkTotal, entry, fkStock));
  EXPECT_FALSE(MarkImportant(entry, important));
  ASSERT_TRUE(ApplyCountChange(*a.db, key, "8", fkTotal, entry, fkStock));
  EXPECT_EQ(a->ReadLineField(key, fkStock), "7");
  EXPECT_TRUE(MarkImportant(entry, important));
  EXPECT_EQ(entry.Value("Important"), "");

  TQStringList cyl;
  ImportRowQuery(cyl, icCylinder, "Z1", "");
  SetAbsCount(cyl, "");
  EXPECT_TRUE(MarkImportant(cyl, important));
  TQStringList down;
  ImportRowQuery(down, icKey, "S0", "3");
  down.SetValue("CntDiff", "-2");
  down.SetValue("Important", "1");
  MarkImportant(down, important);

  EXPECT_EQ(ImportSummaryTable(important),
            (std::vector<std::string>{kImportSummaryHeader, "Cyl\t\tZ1\tNeu\t\t",
                                      "Key\t12\tS1\t\t+3\t8", "Key\t3\tS0\t\t-2\t"}));

  EXPECT_FALSE(ApplyCountChange(*a.db, 0, "1", fkTotal, entry, ""));
  EXPECT_NE(ui.AllText().find("Internal Error: ChangeCount()"), std::string::npos);
}

TEST(ImportJournal, ImportedTotals) {
  TTempDir dir;
  TStation a{"A"};
  ASSERT_TRUE(a.Open(dir));
  const struct {
    const char *imported, *total, *stock;
    const char *newTotal, *newStock;
  } keys[] = {
      {"7", "5", "3", "7", "5"},  // two more: the stock follows
      {"5", "5", "", "5", "5"},   // no stock yet: the total
      {"", "4", "", "4", "4"},    // nothing imported, no stock: the total
      {"2", "6", "6", "2", "2"},  // fewer
      {"9", "", "", "9", "9"},
  };
  std::vector<int32_t> ids;
  for (const auto& k : keys) {
    const int32_t id = a->NewNamedRecord(icKey, "K", "");
    a->SetField(id, "imptotal", k.imported);
    a->SetField(id, fkTotal, k.total);
    a->SetField(id, fkStock, k.stock);
    ids.push_back(id);
  }
  const int32_t cyl = a->NewNamedRecord(icCylinder, "Z", "");
  a->SetField(cyl, "imptotal", "3");
  a->SetField(cyl, fkTotal, "9");
  ApplyImportedKeyTotals(*a.db);
  ApplyImportedCylinderTotals(*a.db);
  for (size_t i = 0; i < ids.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(a->ReadLineField(ids[i], "imptotal"), "");
    EXPECT_EQ(a->ReadLineField(ids[i], fkTotal), keys[i].newTotal);
    EXPECT_EQ(a->ReadLineField(ids[i], fkStock), keys[i].newStock);
  }
  EXPECT_EQ(a->ReadLineField(cyl, "imptotal"), "");
  EXPECT_EQ(a->ReadLineField(cyl, fkTotal), "");
  EXPECT_EQ(a->ReadLineField(cyl, fkCylinderCount), "3");
}

TEST(ImportJournal, TheDoneNoteGoesThroughTheUserInteraction) {
  TScopedRecorder ui;
  ShowImportDoneNote();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, TMsgKind::Info);
  EXPECT_EQ(ui.messages[0].text.rfind("Die Datei wurde verarbeitet.\r\rBitte", 0), 0u)
      << ui.messages[0].text;
}

}  // namespace
