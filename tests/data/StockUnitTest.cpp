// Stock counters, split records, form sequence numbers, logs, sandbox, locksmith store and
// the small program values.

#include "data/StockUnit.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "MiniDBTestSupport.h"
#include "basic/BasicsUnit.h"
#include "basic/DateClock.h"
#include "basic/ParamsUnit.h"
#include "data/ClientSessionUnit.h"
#include "data/HistoryUnit.h"
#include "data/IniUnit.h"
#include "data/MandantUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "platform/RegistryStore.h"
#include "support/RegistryTestRoot.h"

namespace fs = std::filesystem;

namespace {

// Two workstations on one data folder; the data layer's state belongs to station A.
struct StockTest : ::testing::Test {
  TTempDir dir;
  TTempDir programDir;
  TStation a{"A"};
  TStation b{"B"};
  TMandantState state;
  TMandantStateScope stateScope{state};

  void SetUp() override {
    state.DataRoot = dir.Dir();
    state.DataPath = dir.Dir();
    state.Reservations = &a.registry;
    state.ProgramIniName = programDir.File("Tessaro.ini");
    ASSERT_TRUE(a.Open(dir));
  }
  TMiniDB& db() { return *a.db; }
  // What a third station reads from the file.
  std::string OnDisk(int32_t id, const std::string& field) {
    TStation reader("R");
    EXPECT_TRUE(reader.Open(dir));
    return reader->GetField(id, field);
  }
  int32_t Record(int cls, const std::string& name,
                 std::initializer_list<std::pair<const char*, std::string>> fields) {
    const int32_t id = db().NewNamedRecord(cls, name, "");
    for (const auto& [key, value] : fields) db().SetField(id, key, value);
    EXPECT_TRUE(db().Commit());
    return id;
  }
};

// ---------------------------------------------------------------------------------------
// Stock

TEST_F(StockTest, StockOfKeysAndCylinders) {
  const int32_t anna = Record(icPerson, "Anna", {});
  const int32_t door1 = Record(icDoor, "T1", {});
  const int32_t door2 = Record(icDoor, "T2", {});
  const std::string ownAnna = "E" + std::to_string(anna) + "=1|2024-03-05";
  const int32_t cyl = Record(icCylinder, "Z1", {{"total", "5"}, {"own", ownAnna}});
  db().AddLinkBoth(cyl, door1, icDoor, icCylinder);
  db().AddLinkBoth(cyl, door2, icDoor, icCylinder);
  const int32_t bare = Record(icCylinder, "Z2", {});
  const int32_t old = Record(icCylinder, "Z3", {{"ccnt", "3"}});
  const int32_t over = Record(icCylinder, "Z4", {{"total", "1"}});
  db().AddLinkBoth(over, door1, icDoor, icCylinder);
  db().AddLinkBoth(over, door2, icDoor, icCylinder);
  // A key: stock is "cnt", held pieces stay in the holder lines.
  const int32_t key = Record(icKey, "S1", {{"cnt", "4"}, {"total", "7"}, {"own", ownAnna}});
  const int32_t empty = Record(icKey, "S2", {});

  const struct {
    int32_t item;
    std::string total, totalOf, stockText;
    int32_t totalCount, available, clamped;
  } cases[] = {
      {cyl, "5", "5", "2", 5, 2, 2},      // 5 - two doors - one held
      {bare, "", "", "1", 1, 1, 1},       // no count: one piece
      {old, "3", "3", "3", 3, 3, 3},      // older records count in "ccnt"
      {over, "1", "1", "-1", 1, -1, 0},   // more doors than pieces
      {key, "7", "7", "4", 7, 6, 6},
      {empty, "", "", "", 1, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(db().GetName(c.item));
    EXPECT_EQ(GetTotalText(db(), c.item), c.total);
    EXPECT_EQ(TotalTextOf(db(), c.item), c.totalOf);
    EXPECT_EQ(GetTotalCount(db(), c.item), c.totalCount);
    EXPECT_EQ(GetAvailableCount(db(), c.item, false), c.available);
    EXPECT_EQ(GetAvailableCount(db(), c.item, true), c.clamped);
    EXPECT_EQ(StockTextOf(db(), c.item), c.stockText);
    EXPECT_EQ(GetStockOf(db(), c.item), StrToIntZero(c.stockText));
  }
  // "total" of a key is never taken from "ccnt".
  db().SetField(empty, "ccnt", "9");
  EXPECT_EQ(TotalTextOf(db(), empty), "");
  EXPECT_EQ(TotalTextOf(db(), bare), "");

  SetStockOf(db(), key, 3);
  SetStockOf(db(), cyl, 9);
  EXPECT_EQ(db().GetField(key, "cnt"), "3");
  EXPECT_EQ(db().GetField(cyl, "cnt"), "");
  EXPECT_EQ(GetStockOf(db(), cyl), 2);
}

TEST_F(StockTest, MinimumStock) {
  const struct {
    std::string min, cnt;
    bool warn, warnPlusOne;
  } cases[] = {
      {"3", "3", false, true},  {"3", "2", true, true},   {"3", "4", false, false},
      {"0", "0", false, true},  {"0", "-1", true, true},  {"", "0", false, false},
      {"x", "0", false, false}, {"-1", "-5", false, false}, {" 2", "1", true, true},
  };
  for (const auto& c : cases) {
    const int32_t key = Record(icKey, "S", {{"min", c.min}, {"cnt", c.cnt}});
    EXPECT_EQ(CheckMinStock(db(), key, false), c.warn) << c.min << " / " << c.cnt;
    EXPECT_EQ(CheckMinStock(db(), key, true), c.warnPlusOne) << c.min << " / " << c.cnt;
  }
}

// ---------------------------------------------------------------------------------------
// Split records

struct SplitTest : StockTest {
  int32_t mother = 0, door = 0, cabinet = 0, anna = 0;
  void SetUp() override {
    StockTest::SetUp();
    door = Record(icDoor, "T1", {});
    cabinet = Record(icCabinet, "Schrank", {});
    anna = Record(icPerson, "Anna", {});
    mother = Record(icKey, "S1", {{"n2", "Haupt"},
                                   {"cnt", "10"},
                                   {"total", "12"},
                                   {"k304", "A-17"},
                                   {"r", "Bemerkung"},
                                   {"own", "E" + std::to_string(anna) + "=2|2024-03-05"}});
    db().AddLinkBoth(mother, door, icDoor, icKey);
    db().AddLinkBoth(mother, cabinet, icCabinet, icKey);
    db().AddLinkBoth(mother, anna, icPerson, icKey);
    db().SetLinkValue(mother, cabinet, "ct", "5");
    db().SetLinkValue(mother, anna, "x", "1");
    ASSERT_TRUE(db().Commit());
    ASSERT_TRUE(b.Open(dir));
  }
};

TEST_F(SplitTest, SplitGivesTheDaughterItsPiecesAndNoHolders) {
  const int32_t daughter = SplitStockRecord(db(), mother, "S1 Kopie", "", 4);
  ASSERT_NE(daughter, 0);
  EXPECT_EQ(OnDisk(mother, "cnt"), "6");
  EXPECT_EQ(OnDisk(mother, "total"), "12");
  EXPECT_EQ(OnDisk(daughter, "cnt"), "4");
  EXPECT_EQ(OnDisk(daughter, "total"), "4");
  EXPECT_EQ(OnDisk(daughter, "n"), "S1 Kopie");
  EXPECT_EQ(OnDisk(daughter, "n2"), "");
  EXPECT_EQ(OnDisk(daughter, "r"), "Bemerkung");
  EXPECT_EQ(OnDisk(daughter, "k304"), "");
  EXPECT_EQ(OnDisk(daughter, "own"), "");
  EXPECT_EQ(db().GetClass(daughter), icKey);
  // Split links both ways; the mother's other links are the daughter's too, with their
  // values, but nobody holds the daughter.
  EXPECT_EQ(db().GetClass10Link(daughter), mother);
  EXPECT_TRUE(db().HasLink(mother, lkDaughters, daughter));
  EXPECT_TRUE(db().HasLink(daughter, icDoor, door) && db().HasLink(door, icKey, daughter));
  EXPECT_TRUE(db().HasLink(daughter, icCabinet, cabinet) &&
              db().HasLink(cabinet, icKey, daughter));
  EXPECT_EQ(db().GetLinkValue(daughter, cabinet, "ct"), "5");
  EXPECT_FALSE(db().HasLink(daughter, icPerson, anna));
  EXPECT_FALSE(db().HasLink(anna, icKey, daughter));
  EXPECT_EQ(db().GetLinkValue(daughter, anna, "x"), "");
  EXPECT_TRUE(db().HasLink(anna, icKey, mother));
  // Every piece is still there: the mother's stock and the daughter's.
  EXPECT_EQ(GetStockOf(db(), mother) + GetStockOf(db(), daughter), 10);

  // Splitting the whole stock is allowed; 0 pieces too.
  EXPECT_NE(SplitStockRecord(db(), mother, "Rest", "R", 6), 0);
  EXPECT_EQ(db().GetField(mother, "cnt"), "0");
  EXPECT_NE(SplitStockRecord(db(), mother, "Leer", "", 0), 0);
}

TEST_F(SplitTest, RefusedSplitsChangeNothing) {
  TScopedRecorder ui;
  const int32_t lastID = db().LastID;
  const TFileStamp stamp = GetFileStamp(dir.File("Data.ada"));
  EXPECT_EQ(SplitStockRecord(db(), mother, "Zu viel", "", 11), 0);
  EXPECT_EQ(SplitStockRecord(db(), mother, "Negativ", "", -1), 0);
  EXPECT_EQ(SplitStockRecord(db(), 9999, "Keine Mutter", "", 1), 0);
  EXPECT_EQ(GetFileStamp(dir.File("Data.ada")), stamp);

  // Another station took pieces meanwhile: the split judges the file, not the old view.
  b->SetField(mother, "cnt", "3");
  ASSERT_TRUE(b->Commit());
  EXPECT_EQ(SplitStockRecord(db(), mother, "Zu viel", "", 4), 0);
  EXPECT_EQ(db().GetField(mother, "cnt"), "3");

  // The mother (or a record that gets a back-link) edited elsewhere: refused, named.
  ASSERT_TRUE(b->LockItem(door, false, 0));
  EXPECT_EQ(SplitStockRecord(db(), mother, "Gesperrt", "", 1), 0);
  EXPECT_NE(ui.AllText().find("B"), std::string::npos);
  EXPECT_EQ(db().LastID, lastID);
  EXPECT_EQ(OnDisk(mother, "cnt"), "3");
  EXPECT_FALSE(db().HasLinks(mother, lkDaughters));
}

TEST_F(SplitTest, MoveAndReturnPieces) {
  const int32_t daughter = SplitStockRecord(db(), mother, "Kopie", "", 4);
  ASSERT_NE(daughter, 0);
  // Mother to daughter: stock and total of the daughter grow, the mother's stock shrinks.
  ASSERT_TRUE(MoveCountToCopy(db(), daughter, 3));
  EXPECT_EQ(OnDisk(mother, "cnt"), "3");
  EXPECT_EQ(OnDisk(mother, "total"), "12");
  EXPECT_EQ(OnDisk(daughter, "cnt"), "7");
  EXPECT_EQ(OnDisk(daughter, "total"), "7");
  // And back.
  ASSERT_TRUE(MoveCountToCopy(db(), daughter, -2));
  EXPECT_EQ(OnDisk(mother, "cnt"), "5");
  EXPECT_EQ(OnDisk(daughter, "cnt"), "5");
  EXPECT_EQ(OnDisk(daughter, "total"), "5");
  EXPECT_TRUE(MoveCountToCopy(db(), daughter, 0));

  // Returning more than the daughter holds returns what she holds.
  db().SetField(daughter, "cnt", "2");  // three pieces of hers are issued
  ASSERT_TRUE(db().Commit());
  EXPECT_EQ(ReturnCopyStock(db(), daughter, 10), 3);
  EXPECT_EQ(OnDisk(daughter, "cnt"), "0");
  EXPECT_EQ(OnDisk(mother, "cnt"), "7");
  EXPECT_EQ(ReturnCopyStock(db(), daughter, 1), 3);  // nothing left to return
  EXPECT_EQ(OnDisk(mother, "cnt"), "7");
}

TEST_F(SplitTest, RefusedMovesChangeNothing) {
  TScopedRecorder ui;
  const int32_t daughter = SplitStockRecord(db(), mother, "Kopie", "", 4);
  ASSERT_NE(daughter, 0);
  const TFileStamp stamp = GetFileStamp(dir.File("Data.ada"));
  EXPECT_FALSE(MoveCountToCopy(db(), daughter, 7));   // the mother holds 6
  EXPECT_FALSE(MoveCountToCopy(db(), daughter, -5));  // the daughter holds 4
  EXPECT_FALSE(MoveCountToCopy(db(), mother, 1));     // no mother
  EXPECT_EQ(GetFileStamp(dir.File("Data.ada")), stamp);

  // The file counts: another station issued pieces of the daughter meanwhile.
  b->Load();
  b->SetField(daughter, "cnt", "1");
  ASSERT_TRUE(b->Commit());
  EXPECT_FALSE(MoveCountToCopy(db(), daughter, -2));
  EXPECT_EQ(OnDisk(mother, "cnt"), "6");

  ASSERT_TRUE(b->LockItem(mother, false, 0));
  EXPECT_FALSE(MoveCountToCopy(db(), daughter, 1));
  EXPECT_NE(ui.AllText().find("B"), std::string::npos);
  EXPECT_EQ(ReturnCopyStock(db(), daughter, 1), 4);
  EXPECT_EQ(OnDisk(mother, "cnt"), "6");
  EXPECT_EQ(OnDisk(daughter, "cnt"), "1");
}

// ---------------------------------------------------------------------------------------
// Settings record

TEST_F(StockTest, FormSequenceNumbers) {
  // A new client: no settings record to read, the first number drawn is 1.
  EXPECT_EQ(NextFormSeqNo(db(), false), "");
  EXPECT_EQ(NextFormSeqNo(db(), true), "0001");
  const int32_t settings = db().FindOrCreateSingleton(false);
  ASSERT_NE(settings, 0);
  EXPECT_EQ(OnDisk(settings, "FormSeqNo"), "1");
  EXPECT_EQ(NextFormSeqNo(db(), false), "0002");
  EXPECT_EQ(OnDisk(settings, "FormSeqNo"), "1");  // only read

  const struct {
    std::string stored, next;
  } cases[] = {{"41", "0042"}, {"12344", "12345"}, {"", "0001"}, {"abc", "0001"},
               {"0099", "0100"}, {"-7", "0001"}};
  for (const auto& c : cases) {
    db().SetField(settings, "FormSeqNo", c.stored);
    ASSERT_TRUE(db().Commit());
    EXPECT_EQ(NextFormSeqNo(db(), true), c.next) << c.stored;
    EXPECT_EQ(OnDisk(settings, "FormSeqNo"), std::to_string(StrToIntZero(c.next)));
  }
}

TEST_F(StockTest, FormSequenceNumbersOfTwoStations) {
  ASSERT_EQ(NextFormSeqNo(db(), true), "0001");
  ASSERT_TRUE(b.Open(dir));
  // Both stations saw 1; each draws from the file, so neither repeats the other's number.
  EXPECT_EQ(NextFormSeqNo(*b.db, false), "0002");
  EXPECT_EQ(NextFormSeqNo(db(), true), "0002");
  EXPECT_EQ(NextFormSeqNo(*b.db, true), "0003");
  EXPECT_EQ(NextFormSeqNo(db(), true), "0004");

  // The settings record edited at B: A gets no number and stores none, without a message.
  TScopedRecorder ui;
  const int32_t settings = db().FindOrCreateSingleton(false);
  ASSERT_TRUE(b->LockItem(settings, false, 0));
  EXPECT_EQ(NextFormSeqNo(db(), true), "");
  EXPECT_EQ(OnDisk(settings, "FormSeqNo"), "4");
  EXPECT_TRUE(ui.messages.empty());
  // So does a held reservation.
  ASSERT_TRUE(b->UnlockItem(settings));
  int ticket = 0;
  ASSERT_TRUE(b->Reserve(ticket));
  EXPECT_EQ(NextFormSeqNo(db(), true), "");
  b->Release(ticket);
  EXPECT_EQ(NextFormSeqNo(db(), true), "0005");
}

TEST_F(StockTest, SettingsRecordValues) {
  EXPECT_EQ(GetMandantName(db()), "");
  EXPECT_EQ(GetLendCtrlPrintFields(db()), "1000001;1000002;1000003;1000004;1000005;1000006");
  const int32_t settings = db().FindOrCreateSingleton(true);
  db().SetField(settings, "MandantName", "Firma Nord");
  db().SetField(settings, "PrtFieldsLendCtrl", BuildPrintFieldList({7, 2}));
  ASSERT_TRUE(db().Commit());
  EXPECT_EQ(GetMandantName(db()), "Firma Nord");
  EXPECT_EQ(ParsePrintFieldList(GetLendCtrlPrintFields(db())), (std::vector<int32_t>{7, 2}));

  // Entries without the marker bit, empty entries and junk are skipped.
  EXPECT_EQ(ParsePrintFieldList("1000001; 1000003 ;;3;xyz;1000000"),
            (std::vector<int32_t>{1, 3, 0}));
  EXPECT_TRUE(ParsePrintFieldList("").empty());
}

TEST_F(StockTest, MainBuildingOnlyForANewStore) {
  TTempDir fresh;
  TStation c("C");
  ASSERT_TRUE(c.Open(fresh));
  ASSERT_TRUE(c->NewFile);
  ASSERT_TRUE(EnsureMainBuilding(*c.db));
  TStation reader("R");
  ASSERT_TRUE(reader.Open(fresh));
  TItemList buildings, cabinets;
  reader->ListClass(icBuilding, buildings);
  reader->ListClass(icCabinet, cabinets);
  ASSERT_EQ(buildings.Count(), 1);
  ASSERT_EQ(cabinets.Count(), 1);
  EXPECT_EQ(reader->GetName(buildings.Get(0)), CoreText(116));
  EXPECT_EQ(reader->GetName(cabinets.Get(0)), CoreText(117));

  // A store whose file existed is left alone.
  Record(icKey, "S1", {});
  ASSERT_FALSE(db().NewFile);
  ASSERT_TRUE(EnsureMainBuilding(db()));
  EXPECT_EQ(db().CountClass(icBuilding), 0);
}

TEST_F(StockTest, CurrentUserDisplayName) {
  ResetSession();
  const int32_t user = Record(icUser, "MEIER", {{"nice", "Frau Meier"}});
  const int32_t plain = Record(icUser, "KARL", {});
  ClientSession().LendStore(&db());
  Session().LoggedIn = true;
  Session().CurrentUserId = user;
  Session().CurrentUserName = "MEIER";
  EXPECT_EQ(CurrentUserDisplayName(), "Frau Meier");
  Session().CurrentUserId = plain;
  Session().CurrentUserName = "KARL";
  EXPECT_EQ(CurrentUserDisplayName(), "KARL");
  ResetSession();
}

// ---------------------------------------------------------------------------------------
// Logs

TEST(StockLogs, AppendLogLineWritesExactlyOneLinePerEvent) {
  TUtcZone utc;
  TFixedClock clock(EncodeDateTime(2026, 3, 4, 5, 6, 7));
  TClockScope clockScope(clock);
  TTempDir dir;
  const std::string file = dir.Dir() + "logs/2026/errors.log";

  ASSERT_TRUE(AppendLogLine(file, "Error", "Import", ""));  // folders made on the way
  clock.Advance(1.0 / 86400);
  ASSERT_TRUE(AppendLogLine(file, "OK", "a\tb\r\nc", "line1\nline2\r"));
  EXPECT_EQ(ReadAllBytes(file),
            "2026-03-04 05:06:07\tError\tImport\t\r\n"
            "2026-03-04 05:06:08\tOK\ta b  c\tline1 line2 \r\n");

  // Nothing without a file name, a kind or a text.
  EXPECT_FALSE(AppendLogLine("", "Error", "x", "y"));
  EXPECT_FALSE(AppendLogLine(file, "", "x", "y"));
  EXPECT_FALSE(AppendLogLine(file, "Error", "", "y"));
  EXPECT_EQ(FileLines(file).size(), 2u);

  // The error and success logs are the configured files; without one nothing is logged.
  TLogFileNames saved = LogFileNames();
  LogFileNames() = {dir.File("err.log"), ""};
  EXPECT_TRUE(LogFileLoadError("/data/Data.ada"));
  EXPECT_TRUE(LogError("Fehler", "x"));
  EXPECT_FALSE(LogOk("Fertig", ""));
  EXPECT_EQ(ReadAllBytes(dir.File("err.log")),
            "2026-03-04 05:06:08\tError\tFile could not be loaded:\t/data/Data.ada\r\n"
            "2026-03-04 05:06:08\tError\tFehler\tx\r\n");
  LogFileNames() = {"", dir.File("ok.log")};
  EXPECT_TRUE(LogOk("Fertig", ""));
  EXPECT_EQ(ReadAllBytes(dir.File("ok.log")), "2026-03-04 05:06:08\tOK\tFertig\t\r\n");
  LogFileNames() = saved;
}

// ---------------------------------------------------------------------------------------
// Sandbox

struct SandboxTest : StockTest {
  TUtcZone utc;
  TFixedClock clock{EncodeDateTime(2026, 3, 4, 5, 6, 7)};
  TClockScope clockScope{clock};
  TRegistryTestRoot registryRoot;
  THistory history{&a.registry};
  THistoryScope historyScope{history};

  void SetUp() override {
    StockTest::SetUp();
    history.SetFolder(dir.Dir());
    Record(icKey, "S1", {{"cnt", "3"}});
    WriteAllBytes(history.FileNameOf(2026), "history line\r\n");
  }
  TMandantList Clients() {
    TMandantList list;
    LoadClientList(0, list);
    return list;
  }
  void MakeCurrent(const std::string& dataFolder) {
    state.HasCurrentMandant = true;
    state.CurrentMandant = TMandantInfoRec();
    state.CurrentMandant.Title = "Haupt SANDKASTEN";
    state.CurrentMandant.DataFolder = dataFolder;
    state.CurrentMandant.Active = true;
  }
};

TEST_F(SandboxTest, EnterAndCleanUp) {
  ASSERT_TRUE(EnterSandbox(db()));
  const std::string sandbox = dir.Dir() + "Sandbox 2026-03-04 05.06.07/";
  EXPECT_EQ(FileLines(sandbox + "Data.ada"), FileLines(dir.File("Data.ada")));
  EXPECT_EQ(ReadAllBytes(sandbox + fs::path(history.FileNameOf(2026)).filename().string()),
            "history line\r\n");
  TMandantList clients = Clients();
  ASSERT_EQ(clients.size(), 2u);
  EXPECT_EQ(clients[1].DataFolder, sandbox);
  EXPECT_TRUE(clients[1].Active);

  // The same second again: the folder exists, nothing is overwritten or registered.
  EXPECT_FALSE(EnterSandbox(db()));
  EXPECT_EQ(Clients().size(), 2u);

  // Not a sandbox client: nothing happens.
  state.HasCurrentMandant = true;
  state.CurrentMandant = clients[1];
  state.CurrentMandant.Active = false;
  EXPECT_FALSE(CleanupSandbox());
  EXPECT_TRUE(fs::is_directory(sandbox));

  state.CurrentMandant = clients[1];
  EXPECT_TRUE(CleanupSandbox());
  EXPECT_FALSE(fs::exists(sandbox));
  EXPECT_TRUE(fs::exists(dir.File("Data.ada")));
  EXPECT_EQ(Clients().size(), 0u);  // only the header was left: the register is gone
}

TEST_F(SandboxTest, CleanupNeverDeletesAnythingElse) {
  // A production folder, a folder whose name merely contains "Sandbox", a sandbox name
  // one level too deep, a path leaving the data root, and a sandbox name that is a link
  // to production data.
  fs::create_directories(dir.Path() / "Data-Nord");
  WriteAllBytes(dir.File("Data-Nord/Data-Nord.ada"), "\x01\r\n");
  fs::create_directories(dir.Path() / "Sandbox alt");
  fs::create_directories(dir.Path() / "x/Sandbox 2026-03-04 05.06.07");
  fs::create_directories(dir.Path() / "Sandbox 2026-03-04 05.06.08");
  fs::create_directory_symlink(dir.Path() / "Data-Nord", dir.Path() / "Sandbox 2026-01-01 00.00.00");
  const std::string root = dir.Dir();
  const std::string registers[] = {
      "",                                                    // the data root itself
      root,
      "Data-Nord",
      root + "Data-Nord/",
      "Sandbox alt",
      root + "x/Sandbox 2026-03-04 05.06.07/",
      root + "Sandbox 2026-03-04 05.06.08/../Data-Nord/",
      "Sandbox 2026-03-04 05.06.08/..",
      root + "Sandbox 2026-01-01 00.00.00/",
      "/",
  };
  for (const std::string& folder : registers) {
    MakeCurrent(folder);
    ASSERT_TRUE(AddClient(state.CurrentMandant, 0));
    const size_t listed = Clients().size();
    EXPECT_FALSE(CleanupSandbox()) << folder;
    EXPECT_EQ(Clients().size(), listed) << folder;
  }
  EXPECT_TRUE(fs::exists(dir.File("Data.ada")));
  EXPECT_TRUE(fs::exists(dir.File("Data-Nord/Data-Nord.ada")));
  EXPECT_TRUE(fs::is_directory(dir.Path() / "Sandbox alt"));
  EXPECT_TRUE(fs::is_directory(dir.Path() / "x/Sandbox 2026-03-04 05.06.07"));
  EXPECT_TRUE(fs::is_directory(dir.Path() / "Sandbox 2026-03-04 05.06.08"));
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "Sandbox 2026-01-01 00.00.00"));

  // A register entry with a relative sandbox name is found below the data root.
  MakeCurrent("Sandbox 2026-03-04 05.06.08");
  ASSERT_TRUE(AddClient(state.CurrentMandant, 0));
  EXPECT_TRUE(CleanupSandbox());
  EXPECT_FALSE(fs::exists(dir.Path() / "Sandbox 2026-03-04 05.06.08"));
}

TEST(SandboxNames, ExactlyTheFoldersThisProgramMakes) {
  EXPECT_TRUE(IsSandboxFolderName("Sandbox 2026-03-04 05.06.07"));
  for (const char* name : {"Sandbox", "Sandbox ", "Sandbox 2026-03-04 05.06.0",
                           "Sandbox 2026-03-04 05.06.077", "sandbox 2026-03-04 05.06.07",
                           "Sandbox 2026-03-04 05:06:07", "Sandbox 2026-03-04_05.06.07",
                           "XSandbox 2026-03-04 05.06.07", "Sandbox 2026-03-04 05.06.07/..",
                           "Sandbox 2026-0a-04 05.06.07"})
    EXPECT_FALSE(IsSandboxFolderName(name)) << name;
}

// ---------------------------------------------------------------------------------------
// Locksmith store

struct LocksmithTest : StockTest {
  TLocksmithStore ls;
};

TEST_F(LocksmithTest, RecordsPointAtEachOther) {
  const int32_t cyl = Record(icCylinder, "Z1", {});
  EXPECT_FALSE(ls.Open(db(), false));  // not in use
  EXPECT_EQ(ls.Field(db(), cyl, "pin"), "");
  EXPECT_FALSE(ls.SetField(db(), cyl, "pin", "1"));

  ASSERT_TRUE(ls.Open(db(), true));
  const int32_t settings = db().FindOrCreateSingleton(false);
  EXPECT_EQ(OnDisk(settings, "LmDbUse"), "1");
  EXPECT_EQ(OnDisk(settings, "LmDbFn"), "Locksmith.ada");

  EXPECT_TRUE(ls.SetField(db(), cyl, "pin", ""));  // nothing to store: no record
  EXPECT_EQ(db().GetField(cyl, "lmi"), "");
  ASSERT_TRUE(ls.SetField(db(), cyl, "pin", "3-4-5"));
  const int32_t record = StrToIntZero(OnDisk(cyl, "lmi"));
  ASSERT_NE(record, 0);
  EXPECT_EQ(ls.Store()->GetClass(record), kLocksmithClass);
  EXPECT_EQ(ls.Store()->GetField(record, "id1"), std::to_string(cyl));
  EXPECT_EQ(ls.Store()->GetName(record), "Z1");
  EXPECT_EQ(ls.Field(db(), cyl, "pin"), "3-4-5");
  EXPECT_FALSE(ls.SetField(db(), cyl, "id1", "77"));

  // The file is there for every station.
  TStation other("B");
  ASSERT_TRUE(other.Open(dir));
  TLocksmithStore otherLs;
  ASSERT_TRUE(otherLs.Open(*other.db, false));
  EXPECT_EQ(otherLs.Field(*other.db, cyl, "pin"), "3-4-5");
  otherLs.Close();

  // A copy of the cylinder inherits "lmi" but not the locksmith record: writing its pinning
  // gives it a record of its own and leaves the original's alone.
  const int32_t copy = db().DuplicateRecord(cyl, true, false, false);
  ASSERT_NE(copy, 0);
  ASSERT_EQ(db().GetField(copy, "lmi"), std::to_string(record));
  EXPECT_EQ(ls.Field(db(), copy, "pin"), "");
  ASSERT_TRUE(ls.SetField(db(), copy, "pin", "9-9-9"));
  const int32_t copyRecord = StrToIntZero(OnDisk(copy, "lmi"));
  EXPECT_NE(copyRecord, record);
  EXPECT_EQ(ls.Store()->GetField(copyRecord, "id1"), std::to_string(copy));
  EXPECT_EQ(ls.Field(db(), copy, "pin"), "9-9-9");
  EXPECT_EQ(ls.Field(db(), cyl, "pin"), "3-4-5");
}

TEST_F(LocksmithTest, FileNameStaysInsideTheDataFolder) {
  TScopedRecorder ui;
  const int32_t settings = db().FindOrCreateSingleton(true);
  for (const std::string name : {"../Locksmith.ada", "/tmp/Locksmith.ada", "sub/L.ada", "..",
                                 "a\\..\\b.ada"}) {
    db().SetField(settings, "LmDbUse", "1");
    db().SetField(settings, "LmDbFn", name);
    ASSERT_TRUE(db().Commit());
    ui.Clear();
    EXPECT_FALSE(ls.Open(db(), false)) << name;
    EXPECT_FALSE(ls.Open(db(), true)) << name;
    EXPECT_FALSE(ls.IsOpen());
    EXPECT_NE(ui.AllText().find(name), std::string::npos) << name;
  }
  EXPECT_FALSE(fs::exists(dir.Path().parent_path() / "Locksmith.ada"));
  EXPECT_EQ(OnDisk(settings, "LmDbFn"), "a\\..\\b.ada");  // the refused name is kept

  db().SetField(settings, "LmDbFn", "Schl\xFC" "ssel.ada");
  ASSERT_TRUE(db().Commit());
  EXPECT_FALSE(ls.Open(db(), false));  // in use, but the file is missing
  ASSERT_TRUE(ls.Open(db(), true));
  EXPECT_TRUE(IsPlainDataFileName("Locksmith.ada"));
}

// ---------------------------------------------------------------------------------------
// Program values

TEST(ProgramValues, BackupIntervalDays) {
  const int cases[][2] = {{0, 0}, {1, 1}, {2, 7}, {3, 30}, {4, 1}, {-1, 1}};
  for (const auto& c : cases) EXPECT_EQ(BackupIntervalDays(c[0]), c[1]) << c[0];
}

TEST(ProgramValues, RegistryExecInfo) {
  TRegistryTestRoot root;
  TCommandLine cl;
  cl.RunningExeName = "/opt/tessaro/Tessaro";
  TCommandLineScope scope(cl);
  TRegistryStore store;
  TRegValue value;

  ASSERT_TRUE(WriteRegistryExecInfo());
  ASSERT_TRUE(store.ReadValue(TRegScope::User, kProgramRegistryKey, "Exec", value));
  EXPECT_EQ(value.data, "/opt/tessaro/Tessaro");
  ASSERT_TRUE(store.ReadValue(TRegScope::User, kProgramRegistryKey, "Ver", value));
  EXPECT_EQ(value.data, "2008-04");

  // A second instance started by the first leaves "Exec" alone.
  cl.RunningExeName = "/tmp/copy/Tessaro";
  cl.ActAsOriginExeGiven = true;
  ASSERT_TRUE(WriteRegistryExecInfo());
  ASSERT_TRUE(store.ReadValue(TRegScope::User, kProgramRegistryKey, "Exec", value));
  EXPECT_EQ(value.data, "/opt/tessaro/Tessaro");
}

TEST_F(StockTest, ViewFlags) {
  EXPECT_FALSE(SetViewFlag('K', -1));
  EXPECT_TRUE(SetViewFlag('K', 1));
  EXPECT_TRUE(SetViewFlag('K', 5));  // already set: nothing written twice
  EXPECT_TRUE(ToggleViewFlag('P'));
  EXPECT_EQ(ReadSettingStr(kSettingsDataLevel, "SomeViews"), "KP");
  EXPECT_FALSE(ToggleViewFlag('K'));
  EXPECT_FALSE(SetViewFlag('K', -1));
  EXPECT_TRUE(SetViewFlag('P', -1));
  EXPECT_EQ(ReadAllBytes(dir.File("Tessaro.ini")), "SomeViews=P\r\n");

  // Seven letters at most; clearing a letter that is not set changes nothing.
  for (char c : std::string("ABCDEF")) EXPECT_TRUE(SetViewFlag(c, 1));
  EXPECT_FALSE(SetViewFlag('G', 1));
  EXPECT_FALSE(SetViewFlag('G', 0));
  EXPECT_EQ(ReadSettingStr(kSettingsDataLevel, "SomeViews"), "PABCDEF");

  // Another station's change within the cache's lifetime is not written back away.
  WriteAllBytes(dir.File("Tessaro.ini"), "SomeViews=PABCDEFX\r\n");
  EXPECT_FALSE(SetViewFlag('A', 0));
  EXPECT_EQ(ReadAllBytes(dir.File("Tessaro.ini")), "SomeViews=PBCDEFX\r\n");
}

}  // namespace
