#include "import/ImportProfileUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "data/FieldCatalogueUnit.h"
#include "data/StockUnit.h"
#include "data/UserRights.h"
#include "import/ImportTable.h"
#include "support/TestSupport.h"

namespace {

class ImportProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFieldCatalogue();
    ASSERT_TRUE(
        LoadFieldCatalogue(false, std::string(TESSARO_RESOURCE_DIR) + "/System/Fields.csv"));
    SetDateFormat("dd.MM.yyyy");
  }
  void TearDown() override {
    SetTableImportRunner(nullptr);
    LogFileNames().ErrorLogFile.clear();
    LogFileNames().SuccessLogFile.clear();
    Session().LoggedIn = false;
    ResetFieldCatalogue();
  }
  TImportColumn Field(int id) { return ImportColumnOfFieldId(id); }
  TTempDir dir;
};

TEST_F(ImportProfileTest, ProfileRoundTripKeepsEveryChoiceAndItsFixedOrder) {
  TImportSettings saved;
  saved.dataFileName = dir.File("handovers.csv");
  saved.headlines = false;
  saved.dateFormat = "YYYY-MM-DD";
  saved.contentClass = kImportHandoverClass;
  saved.keySystemId = 3;
  saved.buildingId = 17;
  saved.removeUnlistedPersons = true;  // not a persons run: not written
  saved.columns = {Field(184), Field(999), Field(kImportRepeatEntry), Field(191), Field(181)};
  EXPECT_EQ(saved.columns[1].object, 0) << "an unknown ID loads as (ignorieren)";
  EXPECT_EQ(saved.columns[2].object, kImportRepeatEntry);

  const std::string file = dir.File("handovers.ipo");
  ASSERT_TRUE(SaveImportProfile(file, saved));
  EXPECT_EQ(ReadAllBytes(file), "DataFileName=" + saved.dataFileName +
                                    "\r\nContainsColumnHeader=0\r\nDateFormat=YYYY-MM-DD\r\n"
                                    "PrimaryContentClass=15\r\nKeySystemID=3\r\nBuildingID=17\r\n"
                                    "Fields=184;0;2147483647;191;181;\r\n");

  TImportProfileValues values;
  ASSERT_TRUE(ReadImportProfile(file, values));
  TImportSettings loaded;
  ApplyImportProfile(values, loaded);
  EXPECT_EQ(loaded.contentClass, kImportHandoverClass);
  EXPECT_EQ(loaded.keySystemId, 3);
  EXPECT_EQ(loaded.buildingId, 17);
  EXPECT_FALSE(loaded.headlines);
  EXPECT_EQ(loaded.dateFormat, "YYYY-MM-DD");
  EXPECT_FALSE(loaded.removeUnlistedPersons);
  EXPECT_EQ(loaded.columns, saved.columns);

  // Persons with the option write the line; a value other than "1" leaves it off.
  saved.contentClass = 5;
  ASSERT_TRUE(SaveImportProfile(file, saved));
  EXPECT_NE(ReadAllBytes(file).find("\r\nRemoveUnlistedPersons=1\r\nKeySystemID="),
            std::string::npos);
  EXPECT_TRUE(ReadAllBytes(file + ".bak").find("PrimaryContentClass=15") != std::string::npos);
  for (const auto& [value, on] : {std::pair{"1", true}, {"2", false}, {"yes", false}}) {
    WriteAllBytes(file, std::string("PrimaryContentClass=5\r\nRemoveUnlistedPersons=") + value +
                            "\r\nDateFormat=ohne\r\n");
    ASSERT_TRUE(ReadImportProfile(file, values));
    TImportSettings s;
    s.dateFormat = "MM.DD.YYYY";
    ApplyImportProfile(values, s);
    EXPECT_EQ(s.removeUnlistedPersons, on) << value;
    EXPECT_EQ(s.dateFormat, "MM.DD.YYYY") << "a format not offered is not taken";
  }
}

TEST_F(ImportProfileTest, OnlyIpoFilesWithNameValueLinesReadAsProfiles) {
  WriteAllBytes(dir.File("a.IPO"), "Fields=166;\r\n");
  WriteAllBytes(dir.File("b.txt"), "Fields=166;\r\n");
  WriteAllBytes(dir.File("c.ipo"), "just text\r\n");
  WriteAllBytes(dir.File("d.ipo"), "");
  TImportProfileValues values;
  EXPECT_TRUE(ReadImportProfile(dir.File("a.IPO"), values));
  EXPECT_FALSE(ReadImportProfile(dir.File("b.txt"), values));
  EXPECT_FALSE(ReadImportProfile(dir.File("c.ipo"), values));
  EXPECT_FALSE(ReadImportProfile(dir.File("d.ipo"), values));
  EXPECT_FALSE(ReadImportProfile(dir.File("missing.ipo"), values));
}

TEST_F(ImportProfileTest, CaptionsFollowTheMappingAndRepeatTheGroupBehindTheRepetition) {
  const TImportColumn person = Field(184), key = Field(191), date = Field(181);
  const TImportColumn repeat = Field(kImportRepeatEntry);
  const std::string undefined = " (undefiniert)";
  struct Case {
    std::vector<TImportColumn> columns;
    std::vector<std::string> captions;
  } cases[] = {
      {{person, key}, {" " + person.caption, " " + key.caption, undefined, undefined, undefined}},
      {{person, repeat, key, date},
       {" " + person.caption, " " + key.caption, " " + date.caption, " " + key.caption,
        " " + date.caption}},
      // Last in the list the repetition does nothing.
      {{person, key, repeat},
       {" " + person.caption, " " + key.caption, undefined, undefined, undefined}},
      {{}, {undefined, undefined, undefined, undefined, undefined}},
  };
  for (const Case& c : cases) {
    TImportTable table;
    table.SetColCount(5);
    table.SetRowCount(2);
    LayoutImportCaptions(table, c.columns);
    for (int col = 0; col < 5; ++col) {
      EXPECT_EQ(table.Cell(col, 0), c.captions[static_cast<size_t>(col)]) << col;
      if (c.captions[static_cast<size_t>(col)] == undefined) {
        EXPECT_EQ(table.CaptionObject(col), 0);
      }
    }
  }
  TImportTable table;
  table.SetColCount(4);
  LayoutImportCaptions(table, {person, repeat, key});
  for (int col = 1; col < 4; ++col) EXPECT_EQ(table.CaptionObject(col), key.object);
}

TEST_F(ImportProfileTest, EveryKindOfRowEndGivesOneRowPerLine) {
  const std::vector<std::pair<const char*, std::string>> files = {
      {"lf.csv", "Name;Abt\nAnna;A\nBert;B\nCora;C\n"},
      {"cr.csv", "Name;Abt\rAnna;A\rBert;B\rCora;C"},
      {"crlf.txt", "Name\tAbt\r\nAnna\tA\r\nBert\tB\r\nCora\tC\r\n"},
      {"lfcr.csv", "Name;Abt\n\rAnna;A\n\rBert;B\n\rCora;C\n\r"},
      {"quoted.csv", "Name;Abt\n\"Anna\";\"A\"\nBert;'B'\nCora;C"},
  };
  for (const auto& [name, bytes] : files) {
    WriteAllBytes(dir.File(name), bytes);
    TImportTable table;
    ASSERT_TRUE(LoadTableFile(table, dir.File(name), true, true, {Field(166), Field(169)})) << name;
    EXPECT_EQ(table.RowCount(), 5) << name;
    EXPECT_EQ(table.ColCount(), 2) << name;
    EXPECT_EQ(table.FixedRows(), 2);
    EXPECT_EQ(table.Cell(0, 1), " Name") << name;
    EXPECT_EQ(table.Cell(0, 3), " Bert") << name;
    EXPECT_EQ(table.Cell(1, 4), " C") << name;
    EXPECT_EQ(table.CaptionObject(1), Field(169).object);
  }
}

TEST_F(ImportProfileTest, ATableThatCannotBeReadLeavesTheLoadedOneAndSaysWhy) {
  TImportTable table;
  WriteAllBytes(dir.File("ok.csv"), "a;b\r\n");
  ASSERT_TRUE(LoadTableFile(table, dir.File("ok.csv"), false, false, {}));
  {
    TScopedRecorder ui;
    EXPECT_FALSE(LoadTableFile(table, dir.File("gone.csv"), false, false, {}));
    EXPECT_EQ(ui.AllText(), "Die Datei konnte nicht geladen werden.\r" + dir.File("gone.csv"));
  }
  LogFileNames().ErrorLogFile = dir.File("errors.log");
  {
    TScopedRecorder ui;
    EXPECT_FALSE(LoadTableFile(table, dir.File("gone.csv"), true, false, {}));
    EXPECT_TRUE(ui.messages.empty());
  }
  EXPECT_NE(ReadAllBytes(dir.File("errors.log")).find("File could not be loaded:"),
            std::string::npos);
  EXPECT_EQ(table.Cell(1, 1), " b");
}

// The unattended run never logs success for a profile that imported nothing.
TEST_F(ImportProfileTest, ProfileRunLogsSuccessOnlyWhenTheTableWasImported) {
  LogFileNames().ErrorLogFile = dir.File("errors.log");
  LogFileNames().SuccessLogFile = dir.File("ok.log");
  WriteAllBytes(dir.File("persons.csv"), "Name\nAnna\nBert\n");
  int runs = 0;
  bool engineResult = true;
  TImportSettings seen;
  int rowsSeen = 0;
  SetTableImportRunner([&](TImportTable& table, const TImportSettings& s, bool dry, bool batch) {
    ++runs;
    seen = s;
    rowsSeen = table.RowCount() - table.FixedRows();
    EXPECT_FALSE(dry);
    EXPECT_TRUE(batch);
    return engineResult;
  });
  const std::string good =
      "DataFileName=persons.csv\r\nContainsColumnHeader=1\r\nPrimaryContentClass=5\r\n"
      "Fields=166;\r\n";
  struct Case {
    const char* name;
    std::string profile;
    bool loggedIn;
    bool engine;
    bool result;
    const char* errorLine;
  } cases[] = {
      {"nologin.ipo", good, false, true, false, "Login missing"},
      {"nofile.ipo", "PrimaryContentClass=5\r\nFields=166;\r\n", true, true, false,
       "Import failed"},
      {"class.ipo", "DataFileName=persons.csv\r\nPrimaryContentClass=99\r\nFields=166;\r\n", true,
       true, false, "Import failed"},
      {"noclass.ipo", "DataFileName=persons.csv\r\nFields=166;\r\n", true, true, false,
       "Import failed"},
      {"table.ipo", "DataFileName=gone.csv\r\nPrimaryContentClass=5\r\n", true, true, false,
       "File could not be loaded:"},
      {"engine.ipo", good, true, false, false, "Import failed"},
      {"good.ipo", good, true, true, true, nullptr},
  };
  for (const Case& c : cases) {
    WriteAllBytes(dir.File(c.name), c.profile);
    WriteAllBytes(dir.File("errors.log"), "");
    WriteAllBytes(dir.File("ok.log"), "");
    Session().LoggedIn = c.loggedIn;
    engineResult = c.engine;
    runs = 0;
    TScopedRecorder ui;
    EXPECT_EQ(RunProfileImport(dir.File(c.name), true), c.result) << c.name;
    EXPECT_TRUE(ui.messages.empty()) << c.name;
    const std::string errors = ReadAllBytes(dir.File("errors.log"));
    const std::string ok = ReadAllBytes(dir.File("ok.log"));
    if (c.result) {
      EXPECT_NE(ok.find("Import successful"), std::string::npos) << c.name;
      EXPECT_EQ(errors, "") << c.name;
    } else {
      EXPECT_EQ(ok.find("Import successful"), std::string::npos) << c.name;
      EXPECT_NE(errors.find(c.errorLine), std::string::npos) << c.name << errors;
    }
    const bool engineReached = std::string(c.name) == "engine.ipo" || c.result;
    EXPECT_EQ(runs, engineReached ? 1 : 0) << c.name;
  }
  EXPECT_EQ(seen.contentClass, 5);
  EXPECT_EQ(seen.dataFileName, dir.File("persons.csv"));
  EXPECT_EQ(seen.dateFormat, "MM.DD.YYYY") << "the second format unless the profile names one";
  EXPECT_EQ(rowsSeen, 2);
}

}  // namespace

// A file whose one line holds a vast number of separators (a broken export, or a hostile
// file) must not make a grid of every row times that many columns: it is refused as a file
// that could not be loaded, and the loaded table stays.
TEST_F(ImportProfileTest, ATableTooLargeForTheGridIsRefusedAndTheLoadedOneStays) {
  TImportTable table;
  WriteAllBytes(dir.File("ok.csv"), "a;b\r\n");
  ASSERT_TRUE(LoadTableFile(table, dir.File("ok.csv"), false, false, {}));
  std::string bytes(400000, ';');
  bytes += "\r\n";
  for (int i = 0; i < 100000; ++i) bytes += "x\r\n";
  WriteAllBytes(dir.File("wide.csv"), bytes);
  TScopedRecorder ui;
  EXPECT_FALSE(LoadTableFile(table, dir.File("wide.csv"), false, false, {}));
  EXPECT_EQ(ui.AllText(), "Die Datei konnte nicht geladen werden.\r" + dir.File("wide.csv"));
  EXPECT_EQ(table.Cell(1, 1), " b");
}
