// The keys view on two workstations sharing one data folder: station A works in the view
// (and books through its other views while a key is edited; the edit lock keeps station B
// out of that key), station B books other keys and holds records. What counts is what a
// third store reads from disk.
#include "views/FrameKeysUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include "app/FramesTestSupport.h"
#include "app/LinkingFrameUnit.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/ClientSessionUnit.h"
#include "data/HolderUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/TransferUnit.h"
#include "basic/DateClock.h"
#include "output/PdfTextSupport.h"
#include "output/PrintSelectUnit.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrintUnit.h"
#include "views/CabInFrameUnit.h"

namespace {

// A stand-in for the issue-and-return view: what the keys view hands it.
struct TTransferStandIn : IView {
  std::vector<TTransferStartRequest> requests;
  bool StartTransfer(const TTransferStartRequest& request) override {
    requests.push_back(request);
    return true;
  }
};

struct TKeysWorld {
  TTempDir dir;
  TStation a{"A"};
  TStation b{"B"};
  TEventRecorder ui;
  TUserInteractionScope uiScope{ui};
  THistory history{&a.registry};
  THistoryScope historyScope{history};
  std::unique_ptr<TFrameKeys> view;
  int32_t anna = 0, cab1 = 0, cab2 = 0, door = 0;

  TKeysWorld() {
    ResetViewRegistry();
    ResetWinGlue();
    ResetSession();
    ResetVocabulary();
    ResetTransferRec();
    DropRelationCaches();
    EXPECT_TRUE(a.Open(dir));
    EXPECT_TRUE(b.Open(dir));
    InstallNameFuncs(*a.db);
    ClientSession().LendStore(a.db.get());
    Session().LoggedIn = true;
    Session().RightLevels.fill(rlYes);
    history.SetFolder(dir.Dir());
    anna = Record(icPerson, "Anna");
    cab1 = Record(icCabinet, "Schrank A");
    cab2 = Record(icCabinet, "Schrank B");
    door = Record(icDoor, "Eingang");
    view = std::make_unique<TFrameKeys>(nullptr);
    ui.Clear();
  }
  ~TKeysWorld() {
    view.reset();
    ResetViewRegistry();
    ResetWinGlue();
    ResetSession();
    ResetVocabulary();
    ResetTransferRec();
    DropRelationCaches();
  }

  int32_t Record(int cls, const std::string& name) {
    const int32_t id = a->NewNamedRecord(cls, name, "");
    EXPECT_GT(id, 0);
    EXPECT_TRUE(a->Commit());
    return id;
  }
  int32_t Key(const std::string& name, int total, int stock, int system = 0) {
    const int32_t id = Record(icKey, name);
    a->SetField(id, fkTotal, std::to_string(total));
    a->SetField(id, fkStock, std::to_string(stock));
    if (system) a->SetField(id, fkKeySystem, std::to_string(system));
    EXPECT_TRUE(a->Commit());
    return id;
  }
  void Link(int32_t x, int32_t y) {
    a->AddLinkBoth(x, y, a->GetClass(y), a->GetClass(x));
    EXPECT_TRUE(a->Commit());
  }
  // A station books `n` pieces of the key to a holder, as an issue does (B by default).
  void BookOnB(int32_t key, THolderRef holder, int n, const std::string& receipt = "",
               int32_t cabinet = 0, TMiniDB* on = nullptr) {
    TMiniDB& db = on ? *on : *b.db;
    db.Load();
    TStoreWrite write(db, {key, holder.id});
    ASSERT_TRUE(write.Ok());
    ASSERT_TRUE(
        BookHolderChange(db, key, false, holder, n, 0, 0, "", receipt, "", "", "", cabinet));
    db.SetField(key, fkStock, std::to_string(StrToIntZero(db.GetField(key, fkStock)) - n));
    ASSERT_TRUE(write.Commit());
  }
  // While A edits the key its lock keeps B out; the issue-and-return view of A books.
  void BookOnA(int32_t key, THolderRef holder, int n, const std::string& receipt = "") {
    BookOnB(key, holder, n, receipt, 0, a.db.get());
  }
  void LockOnB(int32_t id) {
    int ticket = -1;
    ASSERT_TRUE(b->Reserve(ticket));
    ASSERT_TRUE(b->LockItem(id, false, ticket));
    b->Release(ticket);
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
  struct TDisk {
    TStation c{"C"};
    explicit TDisk(const TTempDir& dir) { EXPECT_TRUE(c.Open(dir)); }
    TMiniDB* operator->() { return c.db.get(); }
  };
  void TypeTotal(const std::string& total) { view->KeyTotalEd->setText(ToQString(total)); }
  std::string LastMessage() const { return ui.messages.empty() ? "" : ui.messages.back().text; }
  // Ticks a record in a link frame's check list.
  static void Tick(TLinkingFrame* frame, int32_t id) {
    const int row = frame->CheckModel->RowOfId(id);
    ASSERT_GE(row, 0);
    frame->CheckModel->SetChecked(row, true);
  }
};

std::string Holders(TMiniDB* db, int32_t key) { return db->GetField(key, fkHolders); }

// ---------------------------------------------------------------------------------------
// Saving the counts.

TEST(KeysViewStoreKey, CountsChangeByWhatTheUserChanged) {
  const struct {
    const char* what;
    std::function<void(TKeysWorld&)> act;  // leaves the view editing
    bool saved;
    std::function<void(TKeysWorld&, TKeysWorld::TDisk&)> check;
  } cases[] = {
      {"new key: 1 / 1",
       [](TKeysWorld& w) {
         ASSERT_TRUE(w.view->NewKey(icKey, "", 0, 0));
         EXPECT_EQ(FromQString(w.view->KeyTotalEd->text()), "1");
         w.view->KeyNameEd->setText("K1");
       },
       true,
       [](TKeysWorld& w, TKeysWorld::TDisk& disk) {
         const int32_t k = disk->FindByName("K1", icKey, 0);
         ASSERT_NE(k, 0);
         EXPECT_EQ(disk->GetField(k, fkStock), "1");
         EXPECT_EQ(disk->GetField(k, fkTotal), "1");
         const std::string h = w.HistoryText();
         EXPECT_NE(h.find("a=New"), std::string::npos) << h;
         EXPECT_NE(h.find("1 / 1"), std::string::npos) << h;
         EXPECT_EQ(h.find("a=Total"), std::string::npos) << "only for stored records";
       }},
      {"total 3 -> 5 with 2 available: 4 / 5, logged +2",
       [](TKeysWorld& w) {
         const int32_t k = w.Key("K2", 3, 2);
         w.view->ShowKey(k);
         ASSERT_TRUE(w.view->StartEditKey(false));
         w.TypeTotal("5");
       },
       true,
       [](TKeysWorld& w, TKeysWorld::TDisk& disk) {
         const int32_t k = disk->FindByName("K2", icKey, 0);
         EXPECT_EQ(disk->GetField(k, fkStock), "4");
         EXPECT_EQ(disk->GetField(k, fkTotal), "5");
         const std::string h = w.HistoryText();
         EXPECT_NE(h.find("a=Total"), std::string::npos) << h;
         EXPECT_NE(h.find("cnt=+2"), std::string::npos) << h;
         EXPECT_NE(h.find("4 / 5"), std::string::npos) << h;
       }},
      {"an issue booked during the edit survives",
       [](TKeysWorld& w) {
         const int32_t k = w.Key("K3", 3, 2);
         w.view->ShowKey(k);
         ASSERT_TRUE(w.view->StartEditKey(false));
         w.BookOnA(k, {okPerson, w.anna}, 1, "0007");
         w.TypeTotal("5");
       },
       true,
       [](TKeysWorld& w, TKeysWorld::TDisk& disk) {
         const int32_t k = disk->FindByName("K3", icKey, 0);
         EXPECT_EQ(disk->GetField(k, fkStock), "3") << "1 left by B, +2 by the user";
         EXPECT_EQ(disk->GetField(k, fkTotal), "5");
         EXPECT_NE(Holders(disk.c.db.get(), k).find("E" + std::to_string(w.anna) + "=1"),
                   std::string::npos);
       }},
      {"a renamed key with an untouched total keeps the booking",
       [](TKeysWorld& w) {
         const int32_t k = w.Key("K4", 3, 3);
         w.view->ShowKey(k);
         ASSERT_TRUE(w.view->StartEditKey(false));
         w.BookOnA(k, {okPerson, w.anna}, 2);
         w.view->KeyNameEd->setText("K4 neu");
       },
       true,
       [](TKeysWorld& w, TKeysWorld::TDisk& disk) {
         const int32_t k = disk->FindByName("K4 neu", icKey, 0);
         EXPECT_EQ(disk->GetField(k, fkStock), "1");
         EXPECT_EQ(disk->GetField(k, fkTotal), "3");
         const std::string h = w.HistoryText();
         EXPECT_NE(h.find("a=Ren"), std::string::npos) << h;
         EXPECT_EQ(h.find("a=Total"), std::string::npos) << h;
       }},
      {"\"x\" refused",
       [](TKeysWorld& w) {
         const int32_t k = w.Key("K5", 3, 3);
         w.view->ShowKey(k);
         ASSERT_TRUE(w.view->StartEditKey(false));
         w.TypeTotal("x");
       },
       false,
       [](TKeysWorld& w, TKeysWorld::TDisk& disk) {
         EXPECT_EQ(disk->GetField(disk->FindByName("K5", icKey, 0), fkTotal), "3");
         EXPECT_EQ(w.view->KeyTotalEd->palette().color(QPalette::Base), ColorFromBgr(0xA0A0FF));
       }},
      {"a cabinet row with a count but no cabinet: shown, nothing stored",
       [](TKeysWorld& w) {
         const int32_t k = w.Key("K7", 3, 3);
         w.view->ShowKey(k);
         ASSERT_TRUE(w.view->StartEditKey(false));
         w.TypeTotal("4");
         w.view->CabInFrame->Count(0)->setText("2");
       },
       false,
       [](TKeysWorld& w, TKeysWorld::TDisk& disk) {
         EXPECT_EQ(disk->GetField(disk->FindByName("K7", icKey, 0), fkTotal), "3");
         EXPECT_NE(w.LastMessage().find("kein Schrank gew\xE4hlt"), std::string::npos);
       }},
      {"\"-2\" refused for a new key, nothing made",
       [](TKeysWorld& w) {
         ASSERT_TRUE(w.view->NewKey(icKey, "K6", 0, 0));
         w.TypeTotal("-2");
       },
       false,
       [](TKeysWorld&, TKeysWorld::TDisk& disk) {
         EXPECT_EQ(disk->FindByName("K6", icKey, 0), 0);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TKeysWorld w;
    c.act(w);
    ASSERT_TRUE(w.view->Editing);
    EXPECT_EQ(w.view->KeySaveBtnClick(), c.saved) << w.ui.AllText();
    EXPECT_EQ(w.view->Editing, !c.saved);
    if (!c.saved) {
      EXPECT_FALSE(w.ui.messages.empty());
    }
    TKeysWorld::TDisk disk(w.dir);
    c.check(w, disk);
  }
}

TEST(KeysViewStoreKey, AClearedTotalKeepsTheStoredOneAndTheRestIsSaved) {
  TKeysWorld w;
  const int32_t k = w.Key("K8", 3, 2);
  w.view->resize(1000, 700);
  w.view->show();
  w.view->ShowKey(k);
  QTest::mouseClick(w.view->KeyEdBtn, Qt::LeftButton);
  ASSERT_TRUE(w.view->Editing);
  // The total emptied as a hand does it, and a remark typed.
  w.view->KeyTotalEd->setFocus();
  QTest::keyClick(w.view->KeyTotalEd, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(w.view->KeyTotalEd, Qt::Key_Delete);
  ASSERT_EQ(w.view->KeyTotalEd->text(), QString());
  QTest::keyClicks(w.view->KeyRemMemo, "neu");
  QTest::mouseClick(w.view->KeySaveBtn, Qt::LeftButton);
  EXPECT_FALSE(w.view->Editing);
  EXPECT_TRUE(w.ui.messages.empty()) << w.ui.AllText();
  TKeysWorld::TDisk disk(w.dir);
  EXPECT_EQ(disk->GetField(k, fkTotal), "3");
  EXPECT_EQ(disk->GetField(k, fkStock), "2");
  EXPECT_EQ(disk->GetField(k, fkRemark), "neu");
  EXPECT_EQ(FromQString(w.view->KeyTotalEd->text()), "3");
  EXPECT_EQ(w.HistoryText().find("a=Total"), std::string::npos);
}

TEST(KeysViewStoreKey, CabinetCountsAreWrittenOnlyWhenChangedAndByTheDifference) {
  TKeysWorld w;
  const int32_t k = w.Key("K", 4, 4);
  w.Link(k, w.cab1);
  w.Link(k, w.cab2);
  for (int32_t cab : {w.cab1, w.cab2}) {
    w.a->SetLinkValue(k, cab, fkCabinetStock, "2");
    w.a->SetLinkValue(k, cab, fkCabinetOwned, "2");
  }
  ASSERT_TRUE(w.a->Commit());
  w.view->ShowKey(k);
  ASSERT_TRUE(w.view->StartEditKey(false));
  // One piece is issued from each cabinet meanwhile.
  {
    TStoreWrite write(*w.a.db, {k});
    for (int32_t cab : {w.cab1, w.cab2}) AddCabinetCount(*w.a.db, k, cab, -1);
    ASSERT_TRUE(write.Commit());
  }
  // The user leaves row 0 ("Schrank A") alone and raises row 1's count from 2 to 3.
  ASSERT_EQ(w.view->CabInFrame->RowCount(), 3);  // two cabinets and the empty row to add one
  w.view->CabInFrame->Count(1)->setText("3");
  ASSERT_TRUE(w.view->KeySaveBtnClick()) << w.ui.AllText();
  TKeysWorld::TDisk disk(w.dir);
  EXPECT_EQ(disk->GetLinkValue(k, w.cab1, fkCabinetStock), "1") << "untouched: the booking stays";
  EXPECT_EQ(disk->GetLinkValue(k, w.cab2, fkCabinetStock), "2") << "1 after the booking, +1";
  EXPECT_EQ(disk->GetLinkValue(k, w.cab2, fkCabinetOwned), "2");
}

// ---------------------------------------------------------------------------------------
// All or none.

TEST(KeysViewSave, ADoorHeldByAnotherStationLeavesEverythingAsItWasUntilItIsFree) {
  TKeysWorld w;
  const int32_t k = w.Key("K", 2, 2);
  w.view->ShowKey(k);
  ASSERT_TRUE(w.view->StartEditKey(false));
  w.view->KeyNameEd->setText("K neu");
  w.TypeTotal("3");
  w.view->CabInFrame->Combo(0)->setCurrentIndex(
      w.view->CabInFrame->Combo(0)->findText("Schrank A"));
  w.view->LinkFrameEdBtnClick(w.view->LinkDoorsFrame);
  TKeysWorld::Tick(w.view->LinkDoorsFrame, w.door);
  w.LockOnB(w.door);

  EXPECT_FALSE(w.view->KeySaveBtnClick());
  EXPECT_NE(w.LastMessage().find("B"), std::string::npos) << w.ui.AllText();
  EXPECT_TRUE(w.view->Editing);
  EXPECT_EQ(w.view->CurrentId, k);
  {
    TKeysWorld::TDisk disk(w.dir);
    EXPECT_EQ(disk->GetName(k), "K");
    EXPECT_EQ(disk->GetField(k, fkTotal), "2");
    EXPECT_EQ(disk->GetLinkText(k, icCabinet), "");
    EXPECT_EQ(disk->GetLinkText(k, icDoor), "");
  }
  // B lets go: the same input is saved, once.
  w.b->UnlockItem(w.door);
  const int32_t lastId = w.a->LastID;
  ASSERT_TRUE(w.view->KeySaveBtnClick()) << w.ui.AllText();
  TKeysWorld::TDisk disk(w.dir);
  EXPECT_EQ(disk->GetName(k), "K neu");
  EXPECT_EQ(disk->GetField(k, fkTotal), "3");
  EXPECT_EQ(disk->GetField(k, fkStock), "3");
  EXPECT_TRUE(disk->HasLink(k, icCabinet, w.cab1));
  EXPECT_TRUE(disk->HasLink(w.cab1, icKey, k));
  EXPECT_TRUE(disk->HasLink(k, icDoor, w.door));
  EXPECT_TRUE(disk->HasLink(w.door, icKey, k));
  EXPECT_EQ(disk->LastID, lastId);
}

TEST(KeysViewSave, ANewKeyRefusedKeepsItsIdAndCancelRemovesIt) {
  TKeysWorld w;
  ASSERT_TRUE(w.view->NewKey(icKey, "Neu", 0, 0));
  w.view->LinkFrameEdBtnClick(w.view->LinkDoorsFrame);
  TKeysWorld::Tick(w.view->LinkDoorsFrame, w.door);
  w.LockOnB(w.door);
  EXPECT_FALSE(w.view->KeySaveBtnClick());
  EXPECT_FALSE(w.view->KeySaveBtnClick());
  EXPECT_TRUE(w.view->Editing);
  w.b->UnlockItem(w.door);
  ASSERT_TRUE(w.view->KeySaveBtnClick()) << w.ui.AllText();
  TKeysWorld::TDisk disk(w.dir);
  TItemList keys;
  disk->ListClassValid(icKey, keys);
  ASSERT_EQ(keys.Count(), 1) << "one record for one key";
  EXPECT_TRUE(disk->HasLink(keys.Get(0), icDoor, w.door));
  EXPECT_EQ(w.view->PendingNewId(), 0);
}

TEST(KeysViewSave, AGeneralMasterKeyKeepsNoDoorLinksAndShowsItsSystem) {
  TKeysWorld w;
  SetKeySystemName(3, "Nord");
  const int32_t k = w.Key("GHS Nord", 1, 1, 3);
  w.Link(k, w.door);
  w.view->ShowKey(k);
  ASSERT_TRUE(w.view->StartEditKey(false));
  w.view->LinkFrameEdBtnClick(w.view->LinkDoorsFrame);  // still a plain key: check list
  w.view->KeyTypeCombo->setCurrentIndex(kKeyTypeGeneralMaster);
  ASSERT_TRUE(w.view->KeySaveBtnClick()) << w.ui.AllText();
  TKeysWorld::TDisk disk(w.dir);
  EXPECT_EQ(disk->GetLinkText(k, icDoor), "");
  EXPECT_EQ(disk->GetLinkText(w.door, icKey), "");
  ASSERT_EQ(w.view->LinkDoorsFrame->ListModel->Count(), 1);
  EXPECT_EQ(w.view->LinkDoorsFrame->ListModel->Row(0).text, "alle von Nord");
  EXPECT_TRUE(w.view->GhsDoorsDetailedCheck->isVisibleTo(w.view.get()));
}

TEST(KeysViewSave, DuplicateNames) {
  const struct {
    const char* what;
    int cls;
    const char* name;
    const char* name2;
    int system;
    bool saved;
  } cases[] = {
      {"same name, same system", icKey, "Tor", "", 3, false},
      {"same name, other system", icKey, "Tor", "", 4, true},
      {"same name, another second name", icKey, "Tor", "Nord", 3, true},
      {"the full name of a key with a second name", icKey, "Hof [Ost]", "", 3, false},
      {"no system is 1001", icKey, "Keller", "", 0, false},
      {"bunches across systems", icKeyBunch, "Bund 1", "", 4, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TKeysWorld w;
    SetKeySystemName(3, "Nord");
    SetKeySystemName(4, "Sued");
    w.Key("Tor", 1, 1, 3);
    const int32_t hof = w.Key("Hof", 1, 1, 3);
    w.a->SetField(hof, fkSecondName, "Ost");
    const int32_t keller = w.Key("Keller", 1, 1);
    w.a->SetField(keller, fkKeySystem, "1001");
    const int32_t bunch = w.Record(icKeyBunch, "Bund 1");
    w.a->SetField(bunch, fkKeySystem, "3");
    ASSERT_TRUE(w.a->Commit());
    BuildLockingSystemList();
    ASSERT_TRUE(w.view->NewKey(c.cls, c.name, 0, c.system));
    w.view->KeyName2Ed->setText(c.name2);
    EXPECT_EQ(w.view->KeySaveBtnClick(), c.saved) << w.ui.AllText();
    if (!c.saved) {
      EXPECT_NE(w.LastMessage().find("Es gibt bereits einen Schl\xFCssel"), std::string::npos);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Deleting.

TEST(KeysViewDelete, Cases) {
  const struct {
    const char* what;
    std::function<int32_t(TKeysWorld&)> make;  // the record to delete
    int answer;
    bool deleted;
    const char* message;
    std::function<void(TKeysWorld&, TKeysWorld::TDisk&, int32_t)> check;
  } cases[] = {
      {"a mother with a copy",
       [](TKeysWorld& w) {
         const int32_t m = w.Key("M", 5, 5);
         EXPECT_NE(SplitStockRecord(*w.a.db, m, "T", "", 2), 0);
         return m;
       },
       mrYes, false, "solange Kopien vorhanden sind", nullptr},
      {"a copy: its pieces go back to the mother",
       [](TKeysWorld& w) {
         const int32_t m = w.Key("M", 5, 5);
         return SplitStockRecord(*w.a.db, m, "T", "", 2);
       },
       mrYes, true, "",
       [](TKeysWorld&, TKeysWorld::TDisk& disk, int32_t d) {
         const int32_t m = disk->FindByName("M", icKey, 0);
         EXPECT_EQ(disk->GetField(m, fkStock), "5");
         EXPECT_FALSE(disk->IsValid(d));
       }},
      {"a copy, \"Nein\": nothing moves",
       [](TKeysWorld& w) {
         const int32_t m = w.Key("M", 5, 5);
         return SplitStockRecord(*w.a.db, m, "T", "", 2);
       },
       mrNo, false, "",
       [](TKeysWorld&, TKeysWorld::TDisk& disk, int32_t d) {
         EXPECT_EQ(disk->GetField(disk->FindByName("M", icKey, 0), fkStock), "3");
         EXPECT_EQ(disk->GetField(d, fkStock), "2");
         EXPECT_TRUE(disk->IsValid(d));
       }},
      {"held by a person (booked by B)",
       [](TKeysWorld& w) {
         const int32_t k = w.Key("K", 2, 2);
         w.view->ShowKey(k);
         w.BookOnB(k, {okPerson, w.anna}, 1);
         return k;
       },
       mrYes, false, "solange er einem Besitzer zugeordnet ist", nullptr},
      {"lost by a person",
       [](TKeysWorld& w) {
         const int32_t k = w.Key("K", 2, 2);
         w.BookOnB(k, {okLost, w.anna}, 1);
         return k;
       },
       mrYes, false, "solange er einem Besitzer zugeordnet ist", nullptr},
      {"on a bunch",
       [](TKeysWorld& w) {
         const int32_t k = w.Key("K", 2, 2);
         const int32_t bunch = w.Record(icKeyBunch, "Bund");
         w.BookOnB(k, {okKeyBunch, bunch}, 1);
         return k;
       },
       mrYes, false, "solange er einem Besitzer zugeordnet ist", nullptr},
      {"only defective pieces: deleted",
       [](TKeysWorld& w) {
         const int32_t k = w.Key("K", 2, 2);
         w.BookOnB(k, {okDefective, 0}, 1);
         return k;
       },
       mrYes, true, "", nullptr},
      {"a bunch with keys",
       [](TKeysWorld& w) {
         const int32_t k = w.Key("K", 2, 2);
         const int32_t bunch = w.Record(icKeyBunch, "Bund");
         w.Link(bunch, k);
         return bunch;
       },
       mrYes, false, "Dem Bund sind noch Schl\xFCssel zugeordnet.", nullptr},
      {"an empty bunch: logged with class 14",
       [](TKeysWorld& w) { return w.Record(icKeyBunch, "Bund"); }, mrYes, true, "",
       [](TKeysWorld& w, TKeysWorld::TDisk&, int32_t bunch) {
         const std::string h = w.HistoryText();
         EXPECT_NE(h.find("a=Del"), std::string::npos) << h;
         EXPECT_NE(h.find("c=14;i=" + std::to_string(bunch)), std::string::npos) << h;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TKeysWorld w;
    const int32_t id = c.make(w);
    ASSERT_NE(id, 0);
    w.a->Load();
    w.view->ShowKey(id);
    ASSERT_EQ(w.view->CurrentId, id);
    w.ui.Clear();
    w.ui.answers = {c.answer};
    w.view->KillBtnClick();
    if (*c.message) {
      EXPECT_NE(w.ui.AllText().find(c.message), std::string::npos) << w.ui.AllText();
    }
    TKeysWorld::TDisk disk(w.dir);
    EXPECT_EQ(!disk->IsValid(id), c.deleted) << w.ui.AllText();
    if (c.check) c.check(w, disk, id);
  }
}

// ---------------------------------------------------------------------------------------
// Cabinet rows.

TCabRowInput Row(int32_t cabinet, const char* count, const char* total, const char* hook) {
  TCabRowInput row;
  row.cabinet = cabinet;
  row.count = count;
  row.total = total;
  row.hook = hook;
  return row;
}

TEST(KeysViewCabinetRows, CheckRefusesWrongRows) {
  const struct {
    const char* what;
    std::vector<TCabRowInput> rows;
    const char* error;
  } cases[] = {
      {"content without a cabinet", {Row(0, "1", "", "")}, "kein Schrank gew\xE4hlt"},
      {"\"3a\" as count",
       {Row(5, "3a", "", "")},
       "kein g\xFCl"
       "ter Zahlenwert"},
      {"a total that is no number",
       {Row(5, "", "x", "")},
       "kein g\xFCl"
       "ter Zahlenwert"},
      {"a cabinet twice", {Row(5, "1", "", ""), Row(5, "", "", "")}, "mehrfach"},
      {"empty rows are fine", {Row(0, "", "", ""), Row(5, "2", "3", "H1")}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<int32_t> cabinets;
    std::string error;
    EXPECT_EQ(CheckCabinetRows(c.rows, cabinets, error), *c.error == 0);
    if (*c.error) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
  }
}

TEST(KeysViewCabinetRows, RoundTripWithARemovedRowAndTheHeightChange) {
  TKeysWorld w;
  const int32_t k = w.Key("K", 3, 3);
  const int32_t plain = w.Key("L", 1, 1);
  w.view->ShowKey(k);
  ASSERT_TRUE(w.view->StartEditKey(false));
  TCabInFrame* rows = w.view->CabInFrame;
  ASSERT_EQ(rows->RowCount(), 1);
  rows->Combo(0)->setCurrentIndex(rows->Combo(0)->findText("Schrank A"));
  rows->Count(0)->setText("2");
  rows->Total(0)->setText("3");
  rows->Hook(0)->setText("H7");
  rows->MoreLines1Click();
  ASSERT_EQ(rows->RowCount(), 2);
  rows->Combo(1)->setCurrentIndex(rows->Combo(1)->findText("Schrank B"));
  rows->Count(1)->setText("1");
  ASSERT_TRUE(w.view->KeySaveBtnClick()) << w.ui.AllText();
  {
    TKeysWorld::TDisk disk(w.dir);
    EXPECT_EQ(disk->GetLinkValue(k, w.cab1, fkCabinetStock), "2");
    EXPECT_EQ(disk->GetLinkValue(k, w.cab1, fkCabinetOwned), "3");
    EXPECT_EQ(disk->GetLinkValue(k, w.cab1, "po"), "H7");
    EXPECT_EQ(disk->GetLinkValue(k, w.cab2, fkCabinetStock), "1");
  }
  // Shown again: two rows, in name order, with their values.
  ASSERT_EQ(rows->RowCount(), 2);
  EXPECT_EQ(FromQString(rows->Hook(0)->text()), "H7");
  // Schrank A taken out of its row: the link and its values go.
  ASSERT_TRUE(w.view->StartEditKey(false));
  rows->Combo(0)->setCurrentIndex(-1);
  rows->Count(0)->clear();
  rows->Total(0)->clear();
  rows->Hook(0)->clear();
  ASSERT_TRUE(w.view->KeySaveBtnClick()) << w.ui.AllText();
  {
    TKeysWorld::TDisk disk(w.dir);
    EXPECT_FALSE(disk->HasLink(k, icCabinet, w.cab1));
    EXPECT_FALSE(disk->HasLink(w.cab1, icKey, k));
    EXPECT_EQ(disk->GetLinkValue(k, w.cab1, fkCabinetStock), "");
    EXPECT_TRUE(disk->HasLink(k, icCabinet, w.cab2));
  }
  // Two rows before (one cabinet + nothing), now a key with none: the height shrinks.
  w.a->AddLinkBoth(k, w.cab1, icCabinet, icKey);
  ASSERT_TRUE(w.a->Commit());
  w.view->ShowKey(k);
  ASSERT_EQ(rows->RowCount(), 2);
  const int delta = rows->LoadRows(plain);
  EXPECT_LT(delta, 0);
  EXPECT_EQ(rows->RowCount(), 1);
  EXPECT_EQ(rows->FocusedRow, 0);
}

// ---------------------------------------------------------------------------------------
// Holders grid.

TEST(KeysViewHolders, ActionsFollowTheKindOfTheSelectedHolding) {
  const struct {
    const char* what;
    THolderRef holder;
    std::vector<std::string> enabled;  // buttons and menu entries by name
  } cases[] = {
      {"person",
       {okPerson, -1},
       {"KeyGotoMaBtn", "KeyRetractionBtn", "KeyLostBtn", "Frist1", "KeyPrintReceipt1",
        "PrintLendControl1", "KeyPrintOwners1"}},
      {"bunch: no loss",
       {okKeyBunch, -2},
       {"KeyRetractionBtn", "Frist1", "KeyPrintReceipt1", "PrintLendControl1", "KeyPrintOwners1"}},
      {"lost",
       {okLost, -1},
       {"KeyGotoMaBtn", "KeyFoundBtn", "Frist1", "KeyPrintReceipt1", "PrintLendControl1",
        "KeyPrintOwners1"}},
      {"defective", {okDefective, 0}, {"Frist1", "KeyPrintReceipt1", "KeyPrintOwners1"}},
      {"cabinet stock", {okCabinet, 0}, {"Frist1", "KeyPrintOwners1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TKeysWorld w;
    const int32_t k = w.Key("K", 3, 3);
    THolderRef holder = c.holder;
    if (holder.id == -1) holder.id = w.anna;
    if (holder.id == -2) holder.id = w.Record(icKeyBunch, "Bund");
    w.BookOnB(k, holder, 1);
    w.a->Load();
    w.view->ShowKey(k);
    ASSERT_EQ(GridRowCount(w.view->OwnersGrid), 2);
    GridSelectRow(w.view->OwnersGrid, 1);
    ASSERT_NE(w.view->SelectedHolding(), nullptr);
    const std::map<std::string, bool> state = {
        {"KeyGotoMaBtn", w.view->KeyGotoMaBtn->isEnabled()},
        {"KeyRetractionBtn", w.view->KeyRetractionBtn->isEnabled()},
        {"KeyLostBtn", w.view->KeyLostBtn->isEnabled()},
        {"KeyFoundBtn", w.view->KeyFoundBtn->isEnabled()},
        {"Frist1", w.view->Frist1->isEnabled()},
        {"KeyPrintReceipt1", w.view->KeyPrintReceipt1->isEnabled()},
        {"PrintLendControl1", w.view->PrintLendControl1->isEnabled()},
        {"KeyPrintOwners1", w.view->KeyPrintOwners1->isEnabled()}};
    for (const auto& [name, on] : state) {
      const bool wanted = std::find(c.enabled.begin(), c.enabled.end(), name) != c.enabled.end();
      EXPECT_EQ(on, wanted) << name;
    }
    // While the key is edited, no holder action.
    ASSERT_TRUE(w.view->StartEditKey(false));
    GridSelectRow(w.view->OwnersGrid, 1);
    EXPECT_FALSE(w.view->KeyRetractionBtn->isEnabled());
    EXPECT_FALSE(w.view->Frist1->isEnabled());
  }
}

TEST(KeysViewHolders, SelectHolder) {
  TKeysWorld w;
  TTransferStandIn transfer;
  RegisterView(pgIssueReturn, &transfer);
  const int32_t k = w.Key("K", 9, 9);
  const int32_t bert = w.Record(icPerson, "Bert");
  w.BookOnB(k, {okPerson, w.anna}, 2, "0001");
  w.BookOnB(k, {okPerson, w.anna}, 1, "0002");
  w.BookOnB(k, {okPerson, bert}, 3, "0003", w.cab1);
  w.BookOnB(k, {okLost, bert}, 1);
  w.a->Load();

  // Two holdings of Anna: the search narrows the grid to her, nothing starts.
  EXPECT_EQ(w.view->SelectHolder(k, w.anna, 3, "", ""), 2);
  EXPECT_EQ(w.view->CurrentId, k);
  EXPECT_EQ(FromQString(w.view->OwnerSeekEd->text()), "Anna");
  EXPECT_EQ(GridRowCount(w.view->OwnersGrid), 3);
  ASSERT_NE(w.view->SelectedHolding(), nullptr);
  EXPECT_EQ(w.view->SelectedHolding()->HolderId, w.anna);
  EXPECT_TRUE(transfer.requests.empty());

  // One of them by its receipt number, mode 3: its return starts with its count as limit.
  EXPECT_EQ(w.view->SelectHolder(k, w.anna, 3, "0002", ""), 1);
  ASSERT_EQ(transfer.requests.size(), 1u);
  EXPECT_EQ(transfer.requests[0].kind, 3);
  EXPECT_EQ(transfer.requests[0].holderId, w.anna);
  EXPECT_EQ(transfer.requests[0].holdingReceiptNo, "0002");
  EXPECT_EQ(transfer.requests[0].quantityLimit, 1);

  // Bert holds 3 and has lost 1: the lost line is never taken for a return.
  EXPECT_EQ(w.view->SelectHolder(k, bert, 3, "", ""), 1);
  ASSERT_EQ(transfer.requests.size(), 2u);
  EXPECT_EQ(transfer.requests[1].quantityLimit, 3);
  EXPECT_EQ(transfer.requests[1].cabinetId, w.cab1);
  EXPECT_EQ(transfer.requests[1].holdingReceiptNo, "0003");

  // Through the glue, while the key is edited: nothing.
  RegisterView(pgKeys, &w.view->KeysGlue());
  ASSERT_TRUE(w.view->StartEditKey(false));
  EXPECT_EQ(SelectKeyHolder(k, bert, 3, "", ""), 0);
  EXPECT_EQ(KeysEditState(), 1);
  EXPECT_EQ(CurrentKeyId(), k);
  EXPECT_EQ(transfer.requests.size(), 2u);
  UnregisterView(pgKeys, &w.view->KeysGlue());
  UnregisterView(pgIssueReturn, &transfer);
}

TEST(KeysViewHolders, AHoldingBelowOnePieceStartsNothing) {
  TKeysWorld w;
  TTransferStandIn transfer;
  RegisterView(pgIssueReturn, &transfer);
  const int32_t k = w.Key("K", 2, 2);
  w.a->SetField(k, fkHolders, "E" + std::to_string(w.anna) + "=0|2024-01-02");
  ASSERT_TRUE(w.a->Commit());
  w.view->ShowKey(k);
  GridSelectRow(w.view->OwnersGrid, 1);
  w.view->KeyRetractionBtnClick();
  EXPECT_TRUE(transfer.requests.empty());
  ASSERT_FALSE(w.ui.messages.empty());
  EXPECT_EQ(w.ui.messages.back().kind, TMsgKind::Error);
  UnregisterView(pgIssueReturn, &transfer);
}

// ---------------------------------------------------------------------------------------
// Issue, duplicate, the glue.

TEST(KeysViewIssue, APendingTransferOfTheShownKeyIsShownAnotherIsRefused) {
  TKeysWorld w;
  TTransferStandIn transfer;
  RegisterView(pgIssueReturn, &transfer);
  const int32_t k = w.Key("K", 2, 2);
  const int32_t other = w.Key("L", 2, 2);
  w.view->CabInFrame->LoadRows(k);
  w.view->ShowKey(k);
  w.view->KeyTransferBtnClick();
  ASSERT_EQ(transfer.requests.size(), 1u);
  EXPECT_EQ(transfer.requests[0].kind, 2);
  EXPECT_EQ(transfer.requests[0].keys, std::vector<int32_t>{k});

  // The transfer view has prepared it: the key is in its list, no booking runs yet.
  TransferRec().Kind = tkIssue;
  TransferRec().Keys.Add(k);
  w.ui.Clear();
  w.view->KeyTransferBtnClick();
  EXPECT_TRUE(w.ui.messages.empty()) << w.ui.AllText();
  EXPECT_EQ(transfer.requests.size(), 1u);
  w.view->ShowKey(other);
  w.view->KeyTransferBtnClick();
  EXPECT_NE(w.LastMessage().find("anderem Schl\xFCssel"), std::string::npos) << w.ui.AllText();
  UnregisterView(pgIssueReturn, &transfer);
}

TEST(KeysViewDuplicate, TheCopyHoldsNothing) {
  TKeysWorld w;
  const int32_t k = w.Key("K", 3, 3);
  w.Link(k, w.door);
  w.Link(k, w.cab1);
  w.a->SetLinkValue(k, w.cab1, fkCabinetStock, "2");
  w.a->SetField(k, fkIssuedIdents, "A1");
  ASSERT_TRUE(w.a->Commit());
  w.BookOnB(k, {okPerson, w.anna}, 2, "0001");
  w.a->Load();
  w.view->ShowKey(k);
  const int32_t copy = w.view->DuplicateKey();
  ASSERT_NE(copy, 0) << w.ui.AllText();
  EXPECT_TRUE(w.view->Editing);
  w.view->KeyCancelBtnClick();
  TKeysWorld::TDisk disk(w.dir);
  EXPECT_EQ(disk->GetName(copy), "K *Kopie*");
  EXPECT_EQ(disk->GetField(copy, fkHolders), "");
  EXPECT_EQ(disk->GetField(copy, fkIssuedIdents), "");
  EXPECT_EQ(disk->GetLinkText(copy, icPerson), "");
  EXPECT_EQ(disk->GetField(copy, fkStock), "3");
  EXPECT_EQ(disk->GetField(copy, fkTotal), "3");
  EXPECT_TRUE(disk->HasLink(copy, icDoor, w.door));
  EXPECT_TRUE(disk->HasLink(w.door, icKey, copy));
  EXPECT_TRUE(disk->HasLink(copy, icCabinet, w.cab1));
  EXPECT_EQ(disk->GetLinkValue(copy, w.cab1, fkCabinetStock), "");
  // The original keeps its holding.
  EXPECT_NE(disk->GetField(k, fkHolders), "");
}

TEST(KeysViewShow, ARecordWithoutNameIsShownAndTheFocusedRowIsZero) {
  TKeysWorld w;
  const int32_t k = w.Key("", 1, 1);
  const int32_t named = w.Key("Tor", 1, 1);
  w.Link(named, w.cab2);
  w.Link(named, w.cab1);
  w.view->ShowKey(named);
  w.view->CabInFrame->FocusedRow = 1;
  w.view->ShowKey(k);
  EXPECT_EQ(w.view->CurrentId, k);
  EXPECT_EQ(w.view->KeyNameEd->text(), QString());
  EXPECT_EQ(w.view->CabInFrame->FocusedRow, 0);
  EXPECT_EQ(w.view->CabInFrame->SelectedCabinet(), 0) << "no cabinet the user did not choose";
}

TEST(KeysViewShow, ListNamingFollowsTheModeAndIsKeptForTheUser) {
  TKeysWorld w;
  const int32_t user = w.Record(icUser, "Chef");
  Session().CurrentUserId = user;
  SetKeySystemName(3, "Nord");
  const int32_t k = w.Key("Tor", 1, 1, 3);
  w.a->SetField(k, "k603", "S12");
  ASSERT_TRUE(w.a->Commit());
  for (int mode : {1, 0}) {
    w.view->SetListNameMode(mode, true, false);
    EXPECT_EQ(w.view->ListingFrame->ListOption, mode);
    w.view->ListingFrame->Refresh();
    ASSERT_EQ(w.view->ListingFrame->Count(), 1);
    const std::string text = w.view->ListingFrame->Model->Row(0).text;
    EXPECT_EQ(text, mode == 1 ? "Tor\tS12" : "Tor\tNord");
    TKeysWorld::TDisk disk(w.dir);
    EXPECT_EQ(disk->GetField(user, "KeyName"), std::to_string(mode));
  }
}

TEST(KeysViewPrint, TheMenuOffersWhatTheShownKeyAndTheSelectedHoldingAllow) {
  TKeysWorld w;
  const int32_t k = w.Key("Tor", 3, 3);
  w.BookOnB(k, {okPerson, w.anna}, 1, "0001");
  w.a->Load();
  w.view->ShowKey(k);
  std::vector<TPrintChoice> choices;
  auto capture = [&choices](QDialog& dialog) {
    // The options as the dialog shows them.
    for (QRadioButton* option : dynamic_cast<TPrintSelectForm&>(dialog).Options)
      choices.push_back({FromQString(option->text()), option->property("code").toInt(),
                         option->isEnabled(), option->isChecked(), false});
    dialog.reject();
  };
  const struct {
    bool select;
    std::vector<std::tuple<std::string, bool, bool>> expected;  // caption, enabled, checked
  } cases[] = {
      {true,
       {{"nur der angezeigte Schl\xFCssel", true, false},
        {"die in der Liste angezeigten Schl\xFCssel", true, true},
        {"Liste aller Besitzer von Tor", true, false},
        {"Quittung zur Ausgabe an Anna", true, false},
        {"am Bund enthaltene Schl\xFCssel", false, false}}},
      {false,
       {{"nur der angezeigte Schl\xFCssel", true, false},
        {"die in der Liste angezeigten Schl\xFCssel", true, true},
        {"Liste aller Besitzer von Tor", true, false},
        {"Schl\xFCsselquittung", false, false},
        {"am Bund enthaltene Schl\xFCssel", false, false}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.select);
    if (c.select)
      GridSelectRow(w.view->OwnersGrid, 1);
    else
      GridClearSelection(w.view->OwnersGrid);
    choices.clear();
    QueueDialogDriver(capture);
    w.view->PrintMenu();
    ASSERT_EQ(choices.size(), c.expected.size());
    for (size_t i = 0; i < choices.size(); ++i) {
      EXPECT_EQ(choices[i].code, static_cast<int>(i));
      EXPECT_EQ(choices[i].caption, std::get<0>(c.expected[i]));
      EXPECT_EQ(choices[i].enabled, std::get<1>(c.expected[i])) << choices[i].caption;
      EXPECT_EQ(choices[i].checked, std::get<2>(c.expected[i])) << choices[i].caption;
    }
  }
  // Without the right to print lists: the right's message, no dialog.
  Session().RightLevels[rtPrintLists] = rlNo;
  w.ui.Clear();
  w.view->PrintMenu();
  EXPECT_FALSE(w.ui.messages.empty());
  EXPECT_EQ(UndrivenDialogCount(), 0);
}

}  // namespace

namespace {

// A receipt printed again from the holders grid shows the holding's dates as the first one
// did, in the user's date format (not as the holding keeps them, "2026-12-11").
TEST(KeysViewHolders, AReceiptPrintedAgainShowsTheDatesAsTheFirstDid) {
  if (!PdfToTextAvailable()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  const std::string format = DateFormatText();
  SetDateFormat("dd.mm.yyyy");
  TKeysWorld w;
  const int32_t k = w.Key("K", 3, 3);
  {
    TStoreWrite write(*w.a.db, {k, w.anna});
    ASSERT_TRUE(write.Ok());
    ASSERT_TRUE(BookHolderChange(*w.a.db, k, false, {okPerson, w.anna}, 1, PackDate(2026, 12, 11),
                                 PackDate(2026, 12, 31), "", "0042", "", "", "", 0));
    ASSERT_TRUE(write.Commit());
  }
  w.view->ShowKey(k);
  ASSERT_EQ(GridRowCount(w.view->OwnersGrid), 2);
  GridSelectRow(w.view->OwnersGrid, 1);
  ResetReceiptSettings();
  ResetPrintSettings();
  PrintSettings().printerDialog = 0;
  PrintSettings().preview = false;
  const std::string form = w.dir.File("Ausgabe.rtf");
  WriteAllBytes(form, "{\\rtf1 Datum=#Date#\\par Frist=#Deadline#\\par Nummer=#SeqNumber#\\par}");
  SetTemplateFile(kSlotIssue, form);
  const std::string pdf = w.dir.File("Quittung.pdf");
  PrintSettings().formTargetFile = pdf;
  w.view->KeyPrintReceipt1->trigger();
  const std::string text = PdfText(pdf);
  EXPECT_NE(text.find("Datum=11.12.2026"), std::string::npos) << text;
  EXPECT_NE(text.find("Frist=31.12.2026"), std::string::npos) << text;
  EXPECT_NE(text.find("Nummer=0042"), std::string::npos) << text;
  ResetReceiptSettings();
  ResetPrintSettings();
  SetDateFormat(format);
}

}  // namespace
