// The persons view on two workstations sharing one data folder: station A works in the
// view, station B changes the same records meanwhile. What counts is what a third store
// reads from disk afterwards.
#include "data/ClientSessionUnit.h"
#include "views/FramePersons2Unit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QToolButton>
#include <gmock/gmock.h>

#include "app/FramesTestSupport.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/QtGlue.h"
#include "data/HolderUnit.h"
#include "data/StoreWriteUnit.h"
#include "output/FakePrinterServices.h"
#include "output/PrintSettingsUnit.h"

namespace {

// One data folder with station A working in the persons view and station B beside it.
struct TPersonsWorld {
  TTempDir dir;
  TStation a{"A"};
  TStation b{"B"};
  TEventRecorder ui;
  TUserInteractionScope uiScope{ui};
  THistory history{&a.registry};
  THistoryScope historyScope{history};
  std::unique_ptr<TFramePersons2> view;
  int32_t anna = 0, house1 = 0, house2 = 0;

  TPersonsWorld() {
    ResetWinGlue();
    ResetSession();
    ResetVocabulary();
    DropRelationCaches();
    EXPECT_TRUE(a.Open(dir));
    EXPECT_TRUE(b.Open(dir));
    InstallNameFuncs(*a.db);
    ClientSession().LendStore(a.db.get());
    Session().LoggedIn = true;
    Session().RightLevels.fill(rlYes);
    history.SetFolder(dir.Dir());
    house1 = Record(icBuilding, "Haus 1");
    house2 = Record(icBuilding, "Haus 2");
    anna = Record(icPerson, "Anna");
    a->SetField(anna, fkPersonNumber, "7");
    Link(anna, house1);
    view = std::make_unique<TFramePersons2>(nullptr);
    ui.Clear();
  }
  ~TPersonsWorld() {
    view.reset();
    ResetWinGlue();
    ResetSession();
    ResetVocabulary();
    DropRelationCaches();
  }

  int32_t Record(int cls, const std::string& name) {
    const int32_t id = a->NewNamedRecord(cls, name, "");
    EXPECT_GT(id, 0);
    EXPECT_TRUE(a->Commit());
    return id;
  }
  void Link(int32_t x, int32_t y) {
    a->AddLinkBoth(x, y, a->GetClass(y), a->GetClass(x));
    EXPECT_TRUE(a->Commit());
  }
  std::string HistoryText() {
    HistoryFlush();
    std::string all;
    for (int year : history.Years()) {
      const std::string name = history.FileNameOf(year);
      if (std::filesystem::exists(name)) all += ReadAllBytes(name);
    }
    return all;
  }
  // A third station's view of the data folder.
  struct TDisk {
    TStation c{"C"};
    explicit TDisk(const TTempDir& dir) { EXPECT_TRUE(c.Open(dir)); }
    TMiniDB& operator*() { return *c.db; }
    TMiniDB* operator->() { return c.db.get(); }
  };
  void Type(const std::string& name, const std::string& number, int32_t building) {
    view->MaNameEd->setText(ToQString(name));
    view->MaNrEd->setText(ToQString(number));
    SelectComboObject(view->HouseCombo, building);
  }
  static std::vector<int32_t> Persons(TMiniDB& db) {
    TItemList ids;
    db.ListClass(icPerson, ids);
    return std::vector<int32_t>(ids.Items(), ids.Items() + ids.Count());
  }
};

struct PersonsView : ::testing::Test, TPersonsWorld {};

TEST(PersonsViewSave, Cases) {
  const struct {
    const char* what;
    std::function<void(TPersonsWorld&)> act;  // leaves the view editing, ready to save
    bool saved;
    const char* message;  // part of the last message ("" none)
    std::function<void(TPersonsWorld&, TMiniDB& disk)> check;
  } cases[] = {
      {"empty name",
       [](TPersonsWorld& t) {
         t.view->NewBtnClick();
         t.Type("  ", "", 0);
       },
       false, "bitte einen Namen eingeben",
       [](TPersonsWorld& t, TMiniDB& disk) { EXPECT_EQ(t.Persons(disk).size(), 1u); }},
      {"name taken in other case",
       [](TPersonsWorld& t) {
         t.view->NewBtnClick();
         t.Type(" ANNA ", "9", t.house2);
       },
       false, "Es gibt bereits eine Person mit diesem Namen.",
       [](TPersonsWorld& t, TMiniDB& disk) {
         EXPECT_EQ(t.Persons(disk).size(), 1u);
         EXPECT_EQ(disk.LastID, t.anna) << "no record made";
       }},
      {"number used elsewhere: saved, then told",
       [](TPersonsWorld& t) {
         t.view->NewBtnClick();
         t.Type("Bert", " 7 ", 0);
       },
       true, "bei Person: Anna",
       [](TPersonsWorld& t, TMiniDB& disk) {
         const int32_t bert = disk.FindByName("Bert", icPerson, 0);
         ASSERT_NE(bert, 0);
         EXPECT_EQ(disk.GetField(bert, fkPersonNumber), "7");
         EXPECT_NE(t.HistoryText().find("a=New"), std::string::npos);
       }},
      {"rename",
       [](TPersonsWorld& t) {
         t.view->ShowRecord(t.anna);
         ASSERT_TRUE(t.view->StartEdit());
         t.view->MaNameEd->setText("Anne");
       },
       true, "",
       [](TPersonsWorld& t, TMiniDB& disk) {
         EXPECT_EQ(disk.GetName(t.anna), "Anne");
         EXPECT_NE(t.HistoryText().find("a=Ren"), std::string::npos);
         // The edit lock went with the save.
         int ticket = -1;
         ASSERT_TRUE(t.b->Reserve(ticket));
         EXPECT_TRUE(t.b->LockItem(t.anna, false, ticket));
         t.b->Release(ticket);
         t.b->UnlockItem(t.anna);
       }},
      {"building relinked on both sides",
       [](TPersonsWorld& t) {
         t.view->ShowRecord(t.anna);
         ASSERT_TRUE(t.view->StartEdit());
         SelectComboObject(t.view->HouseCombo, t.house2);
       },
       true, "",
       [](TPersonsWorld& t, TMiniDB& disk) {
         TItemList l;
         disk.GetLinks(t.anna, icBuilding, l);
         ASSERT_EQ(l.Count(), 1);
         EXPECT_EQ(l.Get(0), t.house2);
         EXPECT_FALSE(disk.HasLink(t.house1, icPerson, t.anna));
         EXPECT_TRUE(disk.HasLink(t.house2, icPerson, t.anna));
       }},
      {"B holds the building: refused, B named, nothing made",
       [](TPersonsWorld& t) {
         int ticket = -1;
         ASSERT_TRUE(t.b->Reserve(ticket));
         ASSERT_TRUE(t.b->LockItem(t.house2, false, ticket));
         t.b->Release(ticket);
         t.view->NewBtnClick();
         t.Type("Dora", "", t.house2);
       },
       false, "B",
       [](TPersonsWorld& t, TMiniDB& disk) {
         EXPECT_EQ(t.Persons(disk).size(), 1u);
         EXPECT_EQ(disk.LastID, t.anna) << "no nameless record";
         EXPECT_EQ(t.a->LastID, t.anna);
         EXPECT_TRUE(t.view->Editing) << "the input stays for another try";
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TPersonsWorld w;
    c.act(w);
    ASSERT_TRUE(w.view->Editing);
    EXPECT_EQ(w.view->SaveBtnClick(), c.saved);
    if (*c.message) {
      ASSERT_FALSE(w.ui.messages.empty());
      EXPECT_NE(w.ui.messages.back().text.find(c.message), std::string::npos)
          << w.ui.messages.back().text;
    } else {
      EXPECT_TRUE(w.ui.messages.empty()) << w.ui.AllText();
    }
    if (c.saved) {
      EXPECT_FALSE(w.view->Editing);
    }
    TPersonsWorld::TDisk disk(w.dir);
    c.check(w, *disk);
  }
}

TEST_F(PersonsView, DeleteIsRefusedWhenAnotherStationIssuedAKeyMeanwhile) {
  const int32_t key = Record(icKey, "K1");
  const int32_t lostKey = Record(icKey, "K2");
  view->ShowRecord(anna);
  EXPECT_EQ(GridRowCount(view->KeyGrid), 2);  // titles and one empty row
  EXPECT_EQ(view->SelectedHolding(), nullptr);
  {
    // B: one piece of K1 to Anna, and one of K2 that Anna has lost (which does not count).
    TStoreWrite write(*b.db, {key, lostKey, anna});
    ASSERT_TRUE(write.Ok());
    ASSERT_TRUE(BookHolderChange(*b.db, key, false, {okPerson, anna}, 1, 0, 0, "", "", "", "",
                                 "", 0));
    ASSERT_TRUE(write.Commit());
  }
  ui.answers = {mrYes};
  view->KillBtnClick();
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_NE(ui.messages.back().text.find("solange ihr Schl\xFCssel zugeordnet"),
            std::string::npos);
  TDisk disk(dir);
  EXPECT_TRUE(disk->IsValid(anna));

  // Lost pieces do not hold the person back.
  {
    TStoreWrite write(*b.db, {key, lostKey, anna});
    ASSERT_TRUE(write.Ok());
    ASSERT_TRUE(BookHolderChange(*b.db, key, true, {okPerson, anna}, -1, 0, 0, "", "", "", "",
                                 "", 0));
    ASSERT_TRUE(BookHolderChange(*b.db, lostKey, false, {okLost, anna}, 1, 0, 0, "", "", "",
                                 "", "", 0));
    ASSERT_TRUE(write.Commit());
  }
  ui.Clear();
  ui.answers = {mrYes};
  view->ShowRecord(anna);
  view->KillBtnClick();
  TDisk after(dir);
  EXPECT_FALSE(after->IsValid(anna)) << ui.AllText();
  EXPECT_NE(HistoryText().find("a=Del"), std::string::npos);
}

TEST_F(PersonsView, HoldingsGridAndTheReturnOfAHoldingWithoutTransferView) {
  const int32_t key = Record(icKey, "Tor");
  {
    TStoreWrite write(*a.db, {key, anna});
    ASSERT_TRUE(BookHolderChange(*a.db, key, false, {okPerson, anna}, 2, 0, 0, "", "R-17",
                                 "A1", "", "", 0));
    ASSERT_TRUE(write.Commit());
  }
  view->ShowRecord(anna);
  ASSERT_EQ(GridRowCount(view->KeyGrid), 2);
  EXPECT_EQ(GridCell(view->KeyGrid, 0, 1), "Tor");
  // Renamed titles ("Kennung" is "Kenn").
  std::string titles;
  for (int col = 0; col < GridColCount(view->KeyGrid); ++col) titles += GridCell(view->KeyGrid, col, 0) + "|";
  EXPECT_NE(titles.find("Kenn|"), std::string::npos) << titles;
  EXPECT_NE(titles.find("Anz|"), std::string::npos) << titles;
  GridSelectRow(view->KeyGrid, 1);
  ASSERT_NE(view->SelectedHolding(), nullptr);
  EXPECT_EQ(view->SelectedHolding()->ReceiptNo, "R-17");
  // The issue-and-return view does not exist yet: return and loss stay disabled.
  EXPECT_FALSE(view->ReturnBtn->isEnabled());
  EXPECT_FALSE(view->LostBtn->isEnabled());
}

// A stand-in for the issue-and-return view: records what the persons view hands it.
struct TTransferStandIn : IView {
  std::vector<TTransferStartRequest> requests;
  bool StartTransfer(const TTransferStartRequest& request) override {
    requests.push_back(request);
    return true;
  }
};

TEST_F(PersonsView, ReturnAndLossPassTheHoldingsCountAsTheirLimit) {
  TTransferStandIn transfer;
  RegisterView(pgIssueReturn, &transfer);
  const int32_t key = Record(icKey, "Tor");
  const int32_t cabinet = Record(icCabinet, "Schrank");
  {
    TStoreWrite write(*a.db, {key, anna});
    ASSERT_TRUE(BookHolderChange(*a.db, key, false, {okPerson, anna}, 3, 0, 0, "", "R-1", "X",
                                 "", "", cabinet));
    ASSERT_TRUE(write.Commit());
  }
  view->ShowRecord(anna);
  GridSelectRow(view->KeyGrid, 1);
  ASSERT_TRUE(view->ReturnBtn->isEnabled());
  view->ReturnBtnClick();
  view->LostBtnClick();
  ASSERT_EQ(transfer.requests.size(), 2u);
  const TTransferStartRequest& ret = transfer.requests[0];
  EXPECT_EQ(ret.kind, 3);
  EXPECT_EQ(ret.holderId, anna);
  EXPECT_EQ(ret.quantityLimit, 3);
  EXPECT_EQ(ret.cabinetId, cabinet);
  EXPECT_EQ(ret.holdingReceiptNo, "R-1");
  EXPECT_EQ(ret.identifier, "X");
  EXPECT_EQ(ret.keys, std::vector<int32_t>{key});
  EXPECT_EQ(transfer.requests[1].kind, 5);
  EXPECT_EQ(transfer.requests[1].cabinetId, 0);
  EXPECT_EQ(transfer.requests[1].quantityLimit, 3);

  // A count that is no number of pieces is refused, not passed on as "no limit".
  for (const char* count : {"", "0", "x2"}) {
    a->SetField(key, fkHolders, "E" + std::to_string(anna) + "=" + count + "|2024-01-02");
    ASSERT_TRUE(a->Commit());
    view->ShowRecord(anna);
    GridSelectRow(view->KeyGrid, 1);
    ui.Clear();
    view->ReturnBtnClick();
    EXPECT_EQ(transfer.requests.size(), 2u) << count;
    ASSERT_EQ(ui.messages.size(), 1u) << count;
    EXPECT_EQ(ui.messages[0].kind, TMsgKind::Error);
  }
  UnregisterView(pgIssueReturn, &transfer);
}

TEST_F(PersonsView, AGeneralMasterKeyShowsAllOfItsSystemUntilTicked) {
  SetKeySystemName(3, "Nord");
  const int32_t master = Record(icKey, "GHS Nord");
  a->SetField(master, fkKeyType, "5");
  a->SetField(master, fkKeySystem, "3");
  const int32_t door1 = Record(icDoor, "Eingang");
  const int32_t door2 = Record(icDoor, "Keller");
  for (int32_t door : {door1, door2}) a->SetField(door, fkKeySystem, "3");
  a->SetField(door1, fkRoom, "101");
  Link(door1, house1);
  Link(anna, master);
  DropRelationCaches();

  view->ShowRecord(anna);
  EXPECT_TRUE(view->GhsDoorsDetailedCheck->isVisibleTo(view.get()));
  ASSERT_EQ(view->MaMatchingDoorsListBox->count(), 1);
  EXPECT_EQ(FromQString(view->MaMatchingDoorsListBox->item(0)->text()), "alle von Nord");
  EXPECT_EQ(FromQString(view->RoomsListBox->item(0)->text()), "alle von Nord");

  view->GhsDoorsDetailedCheck->click();
  std::vector<std::string> doors;
  for (int i = 0; i < view->MaMatchingDoorsListBox->count(); ++i)
    doors.push_back(FromQString(view->MaMatchingDoorsListBox->item(i)->text()));
  EXPECT_EQ(doors, (std::vector<std::string>{"Eingang (Haus 1)", "Keller"}));
  std::vector<std::string> rooms;
  for (int i = 0; i < view->RoomsListBox->count(); ++i)
    rooms.push_back(FromQString(view->RoomsListBox->item(i)->text()));
  EXPECT_EQ(rooms, (std::vector<std::string>{"101", "Keller"}));
}

TEST_F(PersonsView, NameOrderFollowsTheModeAndIsKeptForTheUser) {
  const int32_t user = Record(icUser, "Chef");
  Session().CurrentUserId = user;
  a->SetField(anna, fkDepartment, "Technik");
  ASSERT_TRUE(a->Commit());
  const struct {
    int mode;
    const char* name;
  } modes[] = {{1, "Technik: Anna (7)"}, {2, "7: Anna (Technik)"}, {3, "Anna (Technik/7)"}};
  for (const auto& m : modes) {
    view->SetListNameMode(m.mode, true);
    EXPECT_EQ(a->GetDisplayName(anna), m.name);
    TDisk disk(dir);
    EXPECT_EQ(disk->GetField(user, "PersonName"), std::to_string(m.mode));
  }
  // Other styles keep their forms.
  EXPECT_EQ(NameWithContext(*a.db, anna, kBracketRound), "Anna (Technik/7)");
}

}  // namespace

namespace {

// The person list: the ticked columns, the keys on one line, or each on a line of its own
// with its locking system; the sheets for all listed persons are asked for first.
TEST(PersonsViewPrint, TheListHoldsTheTickedColumnsAndTheKeys) {
  TPersonsWorld w;
  SetKeySystemName(1, "Haupt");
  const int32_t bert = w.Record(icPerson, "Bert");
  for (const auto& [name, holder] : {std::pair{"K1", w.anna}, {"K2", w.anna}, {"K3", bert}}) {
    const int32_t key = w.Record(icKey, name);
    w.a->SetField(key, fkKeySystem, "1");
    w.a->SetField(key, fkHolders, "E" + std::to_string(holder) + "=1|2024-01-02");
    w.a->AddLinkBoth(key, holder, icPerson, icKey);
    ASSERT_TRUE(w.a->Commit());
  }
  TFakePrinterScope printers;
  PrintSettings().preview = false;  // printed at once, no preview to drive
  auto drawn = [&](size_t job) {
    std::vector<std::string> texts;
    for (const TRecordedPage& page : printers.printers.jobs[job]->pages)
      for (const TRecordedText& t : page.texts) texts.push_back(t.text);
    return texts;
  };
  ASSERT_TRUE(w.view->PrintPersonList({w.anna, bert}));
  ASSERT_EQ(printers.printers.jobs.size(), 1u);
  EXPECT_THAT(drawn(0), ::testing::Contains("K1, K2"));
  EXPECT_THAT(drawn(0), ::testing::Contains("K3"));
  EXPECT_THAT(drawn(0), ::testing::Contains("7"));  // Anna's number

  TPrintFields& columns = w.view->PrintColumns();
  columns[6].checked = true;  // "mehrzeilig mit Anlage" wins over the one-line column
  ASSERT_TRUE(w.view->PrintPersonList({w.anna}));
  ASSERT_EQ(printers.printers.jobs.size(), 2u);
  EXPECT_THAT(drawn(1), ::testing::Contains("K1 (Haupt)"));
  EXPECT_THAT(drawn(1), ::testing::Contains("K2 (Haupt)"));
  EXPECT_THAT(drawn(1), ::testing::Not(::testing::Contains("K1, K2")));

  for (TPrintField& f : columns) f.checked = false;  // nothing ticked: nothing printed
  EXPECT_FALSE(w.view->PrintPersonList({w.anna}));
  EXPECT_EQ(printers.printers.jobs.size(), 2u);
}

}  // namespace
