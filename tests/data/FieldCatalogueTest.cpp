#include "data/FieldCatalogueUnit.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "basic/ValueString.h"
#include "data/DomainFixture.h"
#include "data/StockUnit.h"
#include "support/TestSupport.h"

namespace {

const std::string kShipped = std::string(TESSARO_RESOURCE_DIR) + "/System/Fields.csv";
const std::string kHeader = "Class\tClassName\tRefClass\tField\tDB Field\tCheck\tDocVar\tStatus\tID";

struct Catalogue : ::testing::Test {
  TTempDir dir;
  TScopedRecorder ui;
  void SetUp() override {
    ResetFieldCatalogue();
    ResetVocabulary();
  }
  void TearDown() override {
    ResetFieldCatalogue();
    ResetVocabulary();
  }
  // A catalogue file of the header and the given entry lines (CR LF).
  std::string Write(const std::vector<std::string>& lines, const std::string& header = kHeader) {
    std::string bytes = header + "\r\n";
    for (const std::string& line : lines) bytes += line + "\r\n";
    const std::string file = dir.File("Fields.csv");
    WriteAllBytes(file, bytes);
    return file;
  }
  static int Index(int id) { return FieldIndexById(id); }
  static const TFieldEntry& Entry(int id) { return FieldCatalogue()[static_cast<size_t>(Index(id))]; }
};

TEST_F(Catalogue, ShippedFileHoldsTheHundredEntriesInOrder) {
  const std::string bytes = ReadAllBytes(kShipped);
  ASSERT_EQ(bytes.substr(0, kHeader.size() + 2), kHeader + "\r\n");
  // Every line ends with CR LF, none with a lone LF.
  size_t lfs = 0;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == '\n') {
      ++lfs;
      ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "at byte " << i;
    }
  EXPECT_EQ(lfs, 101u);
  EXPECT_NE(bytes.find("2\tGeb\xE4ude\t\tName (Geb\xE4ude)\t(n12)"), std::string::npos);  // 1252

  ASSERT_TRUE(LoadFieldCatalogue(false, kShipped));
  const auto& entries = FieldCatalogue();
  ASSERT_EQ(entries.size(), 101u);
  std::vector<int> ids;
  for (size_t i = 1; i < entries.size(); ++i) ids.push_back(entries[i].id);
  std::vector<int> expected;
  for (int id = 100; id <= 196; ++id) {
    expected.push_back(id);
    if (id == 152) expected.push_back(1001);
    if (id == 181) expected.push_back(1002);
    if (id == 195) expected.push_back(1003);
  }
  EXPECT_EQ(ids, expected);
  EXPECT_TRUE(entries[0].obsolete && entries[0].readonly && entries[0].isVirtual);

  struct TCase {
    int id, cls, ref;
    const char *caption, *key, *check, *doc;
    bool obsolete, readonly, writeonly, isVirtual;
  };
  const TCase cases[] = {
      {100, 9, 0, "Name (Anlage)", "n", "", "", false, false, false, false},
      {104, 2, 0, "Name1", "n", "", "", true, false, false, false},
      {109, 2, 0, "ID (Tessaro)", "(DbID)", "int", "", false, true, false, false},
      {126, 6, 4, "schlie\xDF" "ender Schl\xFCssel", "(MultiRef)", "name:(n12)", "", false, false, true, false},
      {145, 3, 0, "Schlie\xDF" "anlage", "(ks)", "", "", false, false, false, true},
      {146, 4, 0, "Name (Schl\xFCssel)", "(n12)", "", "#Key#", false, false, false, false},
      {1001, 4, 0, "verf\xFCgbare Anzahl", "cnt", "int", "", false, true, false, false},
      {175, 12, 0, "Mandant", "(Mandator)", "", "#Subscriber#", false, false, false, false},
      {184, 15, 5, "Person (voller Name)", "(none)", "name:n", "", false, false, false, false},
      {1003, 15, 0, "Big-Key Flag", "BigKeyFlag", "int", "", false, false, false, true},
      {196, 15, 0, "Bemerkung zur \xDC" "bergabe", "rem", "", "", false, false, false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.id);
    const TFieldEntry& e = Entry(c.id);
    EXPECT_EQ(e.cls, c.cls);
    EXPECT_EQ(e.refClass, c.ref);
    EXPECT_EQ(e.name, c.caption);
    EXPECT_EQ(e.caption, c.caption);
    EXPECT_EQ(e.dbKey, c.key);
    EXPECT_EQ(e.check, c.check);
    EXPECT_EQ(e.docVar, c.doc);
    EXPECT_EQ(e.obsolete, c.obsolete);
    EXPECT_EQ(e.readonly, c.readonly);
    EXPECT_EQ(e.writeonly, c.writeonly);
    EXPECT_EQ(e.isVirtual, c.isVirtual);
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Catalogue, ListsCaptionsAndFindsFields) {
  ASSERT_TRUE(LoadFieldCatalogue(false, kShipped));
  TQStringList keys;
  EXPECT_EQ(ListFieldsOfClass(icKey, false, false, keys, false), 11);
  EXPECT_EQ(keys.Get(0), "Name (Schl\xFCssel)");
  EXPECT_EQ(keys.GetObject(0), Index(146));
  EXPECT_EQ(keys.GetObject(5), Index(1001));
  TQStringList all;
  EXPECT_EQ(ListFieldsOfClass(icKey, true, true, all, true), 15);
  TQStringList everything;
  EXPECT_EQ(ListFieldsOfClass(0, true, true, everything, true), 100);
  TQStringList persons;  // the two virtual name parts only on request
  EXPECT_EQ(ListFieldsOfClass(icPerson, false, false, persons, false), 7);

  std::string text = "vorher";
  FieldCaption(Index(146), true, text);
  EXPECT_EQ(text, KeysCaption());
  FieldCaption(Index(146), false, text);
  EXPECT_EQ(text, KeyCaption());
  FieldCaption(Index(147), true, text);  // obsolete: its own caption
  EXPECT_EQ(text, "Name1");
  FieldCaption(Index(166), true, text);  // "n" of a person: the persons term
  EXPECT_EQ(text, PersonTerm());
  FieldCaption(Index(169), false, text);
  EXPECT_EQ(text, "Abteilung");
  for (int bad : {0, -1, 101, 5000}) {
    text = "unver\xE4ndert";
    FieldCaption(bad, false, text);
    EXPECT_EQ(text, "unver\xE4ndert");
  }

  EXPECT_EQ(FieldIndexById(4711), 0);
  std::string caption = "keins";
  EXPECT_TRUE(FindFieldByName(icKey, "N12", caption));
  EXPECT_EQ(caption, "Name (Schl\xFCssel)");
  EXPECT_TRUE(FindFieldByName(icDoor, "lonelyREF", caption));
  EXPECT_EQ(caption, "Geb\xE4ude");
  EXPECT_TRUE(FindFieldByName(icPerson, "abt", caption));
  EXPECT_EQ(caption, "Abteilung");
  caption = "keins";
  EXPECT_FALSE(FindFieldByName(icDoor, "Abt", caption));
  EXPECT_EQ(caption, "keins");
}

TEST_F(Catalogue, ReadsQuotedFieldsStatusWordsAndWideIds) {
  const std::vector<std::string> plain = {
      "4\tSchl\xFCssel\t\tName\t(n12)\t\t#Key#\tObsolete, READONLY\t146",
      "4\t\t6\tZylinder\t(MultiRef)\tname:(n12)\t\twriteOnly virtual\t70000",
      "4\t\t\tKennung\tembs\t\t\t\t0",
      "300\t\t-1\tFalsch\tx\t\t\t\tzehn",
  };
  ASSERT_TRUE(LoadFieldCatalogue(false, Write(plain)));
  std::vector<TFieldEntry> unquoted = FieldCatalogue();
  ResetFieldCatalogue();

  // The same file as a spreadsheet program saves it: every field quoted (blanks inside the
  // quotes are trimmed too).
  std::vector<std::string> quoted;
  for (const std::string& line : plain) {
    std::string rest = line;
    std::string out;
    while (!rest.empty()) {
      const std::string field = FetchTabField(rest);
      out += (out.empty() ? "" : "\t") + std::string("\" ") + field + " \"";
    }
    quoted.push_back(out);
  }
  ASSERT_TRUE(LoadFieldCatalogue(false, Write(quoted, "\"Class\"\t\"ClassName\"\t\"RefClass\"\t"
                                                      "\"Field\"\t\"DB Field\"\t\"Check\"\t"
                                                      "\"DocVar\"\t\"Status\"\t\"ID\"")));
  const auto& entries = FieldCatalogue();
  ASSERT_EQ(entries.size(), 5u);
  ASSERT_EQ(unquoted.size(), 5u);
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(entries[i].id, unquoted[i].id);
    EXPECT_EQ(entries[i].cls, unquoted[i].cls);
    EXPECT_EQ(entries[i].refClass, unquoted[i].refClass);
    EXPECT_EQ(entries[i].caption, unquoted[i].caption);
    EXPECT_EQ(entries[i].dbKey, unquoted[i].dbKey);
    EXPECT_EQ(entries[i].check, unquoted[i].check);
    EXPECT_EQ(entries[i].docVar, unquoted[i].docVar);
    EXPECT_EQ(entries[i].obsolete, unquoted[i].obsolete);
    EXPECT_EQ(entries[i].readonly, unquoted[i].readonly);
    EXPECT_EQ(entries[i].writeonly, unquoted[i].writeonly);
    EXPECT_EQ(entries[i].isVirtual, unquoted[i].isVirtual);
  }
  EXPECT_TRUE(entries[1].obsolete && entries[1].readonly);
  EXPECT_FALSE(entries[1].writeonly || entries[1].isVirtual);
  EXPECT_TRUE(entries[2].writeonly && entries[2].isVirtual);
  EXPECT_EQ(entries[2].refClass, 6);
  EXPECT_EQ(entries[2].id, 0);  // 70000 does not fit
  EXPECT_EQ(entries[4].cls, 0);
  EXPECT_EQ(entries[4].refClass, 0);
  EXPECT_EQ(entries[4].id, 0);
  // ID 0: the first entry holding it, never the placeholder.
  EXPECT_EQ(FieldIndexById(0), 2);
  EXPECT_EQ(FieldIndexById(146), 1);
}

TEST_F(Catalogue, MissingOrWrongFilesAreReportedAndReadAgainLater) {
  const std::string file = dir.File("System/Fields.csv");
  for (int call = 0; call < 2; ++call) {
    EXPECT_FALSE(LoadFieldCatalogue(false, file));
    EXPECT_TRUE(FieldCatalogue().empty());
  }
  ASSERT_EQ(ui.messages.size(), 2u);  // once per call
  EXPECT_EQ(ui.messages[0].kind, TMsgKind::Error);
  EXPECT_EQ(ui.messages[0].text, "Datei nicht gefunden.\r" + file);

  // With the log flag the error log gets the line and nobody sees a box.
  ui.Clear();
  LogFileNames().ErrorLogFile = dir.File("errors.log");
  EXPECT_FALSE(LoadFieldCatalogue(true, file));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_NE(ReadAllBytes(dir.File("errors.log")).find("Error\tFile not found:\t" + file),
            std::string::npos);

  // A header alone, an empty file and another header: all a wrong version, said out loud.
  struct TCase {
    const char* bytes;
  };
  const TCase wrong[] = {{"Class\tClassName\tRefClass\tField\tDB Field\tCheck\tDocVar\tStatus\tID\r\n"},
                         {""},
                         {"Class\tName\tRefClass\r\n4\t\t\tName\tn\t\t\t\t146\r\n"}};
  std::filesystem::create_directories(dir.Path() / "System");
  for (const TCase& c : wrong) {
    ui.Clear();
    WriteAllBytes(file, c.bytes);
    EXPECT_FALSE(LoadFieldCatalogue(false, file));
    EXPECT_TRUE(FieldCatalogue().empty());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Falsche Datei-Version.\r" + file);
    EXPECT_FALSE(LoadFieldCatalogue(true, file));
    EXPECT_EQ(ui.messages.size(), 1u);
  }
  EXPECT_NE(ReadAllBytes(dir.File("errors.log")).find("Invalid file format:"), std::string::npos);
  LogFileNames().ErrorLogFile.clear();

  // Placed now: the next call reads it, and later calls keep what was read.
  WriteAllBytes(file, ReadAllBytes(kShipped));
  ui.Clear();
  EXPECT_TRUE(LoadFieldCatalogue(false, file));
  EXPECT_EQ(FieldCatalogue().size(), 101u);
  std::filesystem::remove(file);
  EXPECT_TRUE(LoadFieldCatalogue(false, file));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Catalogue, ValuesOfRecordsComeFromTheStoreWithoutSelectingThem) {
  ASSERT_TRUE(LoadFieldCatalogue(false, kShipped));
  TDomainStore store(dir);
  TMiniDB& db = *store;
  InstallNameFuncs(db);
  SetKeySystemName(2, "Haupt");
  const int32_t building = store.Add(icBuilding, "Werk 1");
  const int32_t door = store.Add(icDoor, "Eingang");
  store.Link(door, building);
  const int32_t cabinet = store.Add(icCabinet, "Pforte");
  const int32_t key = store.Add(icKey, "K1", 2, "4");
  db.SetField(key, "r", "erste Zeile,\"  zweite Zeile  \"");
  db.SetField(key, fkTotal, "7");
  db.SetField(key, fkStock, "5");
  db.SetField(key, "extID", "X-9");
  db.Commit();
  store.Link(key, cabinet);
  const int32_t cylinder = store.Add(icCylinder, "Z1");
  db.SetField(cylinder, fkCylinderCount, "3");
  db.Commit();
  const int32_t person = store.Add(icPerson, "Meier, Anna");
  db.SetField(person, "Nr", "0042");
  db.Commit();
  const int32_t settings = db.FindOrCreateSingleton(true);
  db.SetField(settings, "MandantName", "Stadtwerke");
  db.Commit();

  struct TCase {
    int fieldId;
    int32_t id;
    std::string expected;
  };
  const TCase cases[] = {
      {146, key, db.GetDisplayName(key)},
      {149, key, "Haupt"},
      {150, key, "HS"},
      {152, key, "7"},
      {1001, key, "5"},
      {153, key, "Pforte"},
      {155, key, "erste Zeile zweite Zeile"},
      {156, key, std::to_string(key)},
      {157, key, "X-9"},
      {158, key, ""},         // (MultiRef): the imports' business
      {121, cylinder, "3"},
      {136, door, "Werk 1"},  // (LonelyRef) of class 2
      {144, door, ""},        // no cylinder linked
      {170, person, "0042"},
      {175, settings, "Stadtwerke"},
      {146, 0, ""},
  };
  // A view edits the person meanwhile: no value read may store or switch its record.
  ASSERT_TRUE(db.SelectRecord(person));
  db.Current.Add("zz=ungespeichert");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.fieldId);
    EXPECT_EQ(FieldValueOfRecord(db, Index(c.fieldId), c.id), c.expected);
  }
  EXPECT_EQ(db.CurrentID, person);
  EXPECT_EQ(db.Current.ValueOf("zz"), "ungespeichert");
  EXPECT_EQ(FieldValueOfRecord(db, 0, key), "");
  EXPECT_EQ(FieldValueOfRecord(db, 500, key), "");
  // The cylinder total: "total" first, "ccnt" only for cylinders.
  db.SetField(cylinder, fkTotal, "4");
  EXPECT_EQ(FieldValueOfRecord(db, Index(121), cylinder), "3");

  // A value as stored, in the same words without reading a record (the change log's
  // values); entries found by their store key.
  const struct {
    int cls;
    std::string key, value, expected;
  } stored[] = {
      {icKey, "ks", "2", "Haupt"},
      {icKey, "ks", "9", ""},  // a code without a name
      {icKey, "kt", "4", "HS"},
      {icKey, "r", "erste Zeile,\"  zweite Zeile  \"", "erste Zeile zweite Zeile"},
      {icKey, "n", "K1", "K1"},  // "Name1": a plain field
      {icPerson, "Nr", "0042", "0042"},
      {icKey, "zz", "frei", "frei"},  // no entry
  };
  for (const auto& c : stored) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(FieldValueOfStored(db, FieldIndexByKey(c.cls, c.key), c.value), c.expected);
  }
  EXPECT_EQ(FieldIndexByKey(icKey, "KT"), Index(150));
  EXPECT_EQ(FieldIndexByKey(icKey, "n"), Index(147));
  EXPECT_EQ(FieldIndexByKey(icKey, "zz"), 0);

  // A handover row: the person's fields come from the person slot, not the handover's.
  std::array<int32_t, 256> row{};
  row[icPerson] = person;
  row[icKey] = key;
  EXPECT_EQ(FieldValueText(db, Index(187), row), "0042");
  EXPECT_EQ(FieldValueText(db, Index(189), row), std::to_string(person));
  EXPECT_EQ(FieldValueText(db, Index(193), row), std::to_string(key));
  EXPECT_EQ(FieldValueText(db, Index(195), row), "Haupt");
  EXPECT_EQ(FieldValueText(db, Index(170), row), "0042");
  EXPECT_EQ(FieldValueText(db, Index(196), row), "");  // slot 15 is empty
}

}  // namespace
