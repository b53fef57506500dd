// The issue-and-return view on two workstations sharing one data folder: station A works
// in the view, station B holds records or changes stock meanwhile. What counts is what the
// store, the history and the transfer record hold afterwards.
#include "views/FrameTransferUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <QDialog>
#include "ViewsTestSupport.h"
#include "basic/BasicsUnit.h"
#include "basic/FileCtrl2.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/HolderUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/TransferRulesUnit.h"
#include "output/PdfTextSupport.h"
#include "output/PrintSelectUnit.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrintUnit.h"
#include "output/PrinterServicesUnit.h"

namespace {

constexpr std::uint32_t kLightRed = 0xA0A0FF;

struct TDateFormatScope {
  std::string old = DateFormatText();
  TDateFormatScope() { SetDateFormat("dd.mm.yyyy"); }
  ~TDateFormatScope() { SetDateFormat(old); }
};

struct FrameTransfer : TViewsTest {
  TDateFormatScope dates;
  TStation b{"B"};
  int32_t cabinet = 0, anna = 0, k1 = 0, k2 = 0, k3 = 0;
  std::unique_ptr<TFrameTransfer> view;

  void SetUp() override {
    TViewsTest::SetUp();
    cabinet = Record(icCabinet, "Schrank");
    anna = Record(icPerson, "Anna");
    k1 = Key("K1", "5");
    k2 = Key("K2", "5");
    k3 = Key("K3", "5");
    ASSERT_TRUE(db().Commit());
    ASSERT_TRUE(b.Open(dir));
    ResetTransferRec();
    view = std::make_unique<TFrameTransfer>(nullptr);
    RegisterView(pgIssueReturn, view.get());
    ui.Clear();
  }
  void TearDown() override {
    view.reset();
    ResetTransferRec();
    TViewsTest::TearDown();
  }
  int32_t Key(const std::string& name, const std::string& stock) {
    const int32_t key = Record(icKey, name);
    db().SetField(key, fkStock, stock);
    db().SetField(key, fkTotal, "5");
    db().AddLinkBoth(key, cabinet, icCabinet, icKey);
    return key;
  }
  bool Start(TTransferKind kind, std::vector<int32_t> keys, int32_t holder = 0, int32_t limit = 0) {
    TTransferStartRequest r;
    r.kind = kind;
    r.keys = std::move(keys);
    r.holderId = holder;
    r.quantityLimit = limit;
    r.holdingDate = "2024-05-01";
    r.holdingReceiptNo = "0007";
    return view->StartTransfer(r);
  }
  // Prints nothing: the receipt and the overview would open their print dialogs.
  bool Apply() {
    view->PrintCheck->setChecked(false);
    view->BestandCheck->setChecked(false);
    return view->TransferApplyBtnClick();
  }
  // As the user does: the list opens with every person, Anna is picked.
  void ChooseAnna() {
    view->TransferNewOwnerEd->FillPersons();
    view->TransferNewOwnerEd->setCurrentIndex(view->TransferNewOwnerEd->findText("Anna"));
  }
  std::string Text(QLineEdit* e) { return FromQString(e->text()); }
  std::string OnDisk(int32_t id, const std::string& field) {
    TStation reader("R");
    EXPECT_TRUE(reader.Open(dir));
    return reader->GetField(id, field);
  }
  std::vector<std::string> HistoryLines() {
    std::vector<std::string> lines;
    LoadTextFile(history.FileNameOf(2024), lines);
    return lines;
  }
  int CountIn(const std::vector<std::string>& lines, const std::string& part) {
    int n = 0;
    for (const std::string& l : lines) n += l.find(part) != std::string::npos;
    return n;
  }
  // B writes a stock of its own for the key (a booking made there).
  void StockAtB(int32_t key, const std::string& stock) {
    TStoreWrite write(*b.db, {key});
    ASSERT_TRUE(write.Ok());
    b->SetField(key, fkStock, stock);
    ASSERT_TRUE(write.Commit());
  }
};

// ---------------------------------------------------------------------------------------
// Starting

TEST_F(FrameTransfer, StartTable) {
  struct TCase {
    const char* what;
    TTransferKind pending;
    int issueRight;
    bool withKey;
    bool keysEditing;
    bool started;
    const char* said;  // a part of the message, empty for none
  };
  const TCase cases[] = {
      {"ok", tkNone, rlYes, true, false, true, ""},
      {"return pending", tkReturn, rlYes, true, false, false,
       "(R\xFC"
       "cknahme)"},
      {"no right", tkNone, rlNo, true, false, false, ""},
      {"no key", tkNone, rlYes, false, false, false, ""},
      {"keys view editing", tkNone, rlYes, true, true, false, "Schl\xFCssel-Eingabe"},
  };
  TStandInView keys;
  RegisterView(pgKeys, &keys);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    ResetTransferRec();
    view->ResetFrame();
    ui.Clear();
    TransferRec().Kind = c.pending;
    TransferRec().Remark = "vorher";
    Session().RightLevels[rtIssue] = c.issueRight;
    keys.editing = c.keysEditing;
    EXPECT_EQ(Start(tkIssue, c.withKey ? std::vector<int32_t>{k1} : std::vector<int32_t>{}),
              c.started);
    if (c.started) {
      EXPECT_EQ(TransferRec().Kind, tkIssue);
      EXPECT_EQ(TransferRec().Keys.Count(), 1);
      EXPECT_EQ(TransferRec().OldOwner, (THolderRef{okCabinet, 0}));
      EXPECT_EQ(TransferRec().Remark, "");  // a new operation starts empty
      EXPECT_TRUE(view->TransferApplyBtn->isEnabled());
      EXPECT_EQ(FromQString(view->TransferGroupBox->title()), " Ausgabe ");
    } else {
      // A refusal leaves the record as it was.
      EXPECT_EQ(TransferRec().Kind, c.pending);
      EXPECT_EQ(TransferRec().Remark, "vorher");
      EXPECT_EQ(TransferRec().Keys.Count(), 0);
      EXPECT_FALSE(view->TransferApplyBtn->isEnabled());
    }
    if (*c.said) {
      EXPECT_NE(ui.AllText().find(c.said), std::string::npos) << ui.AllText();
    }
    if (c.pending == tkReturn) {
      EXPECT_EQ(ui.AllText(), FrameTransferTextFmt(ftPendingTransfer, "R\xFC"
                                                                      "cknahme"));
    }
  }
  Session().RightLevels[rtIssue] = rlYes;
  UnregisterView(pgKeys, &keys);
}

TEST_F(FrameTransfer, AReturnNeedsAHoldingOfAtLeastOnePiece) {
  for (int32_t limit : {0, -2}) {
    ResetTransferRec();
    ui.Clear();
    EXPECT_FALSE(Start(tkReturn, {k1}, anna, limit));
    EXPECT_FALSE(TransferRec().Pending());
    EXPECT_EQ(ui.messages.size(), 1u);
  }
}

TEST_F(FrameTransfer, TheUserShownInTheUsersViewCarriesItOut) {
  const int32_t clerk = Record(icUser, "Clerk");
  TStandInView users;
  users.current = clerk;
  RegisterView(pgUsers, &users);
  ASSERT_TRUE(Start(tkIssue, {k1}));
  EXPECT_EQ(TransferRec().TransferUserId, clerk);
  EXPECT_EQ(Text(view->TransferUserEd), "Clerk");
  UnregisterView(pgUsers, &users);
}

// ---------------------------------------------------------------------------------------
// Inputs

TEST_F(FrameTransfer, InputTable) {
  // Date and time as typed.
  struct TDate {
    const char* typed;
    bool valid;
    const char* timeText;
  };
  for (const TDate& c : {TDate{"05.03.2024 8:05", true,
                               "2024-03-05\xA0"
                               "08:05"},
                         TDate{"05.03.2024", true, ""}, TDate{"05.03.2024 8:5", false, ""},
                         TDate{"05.03.2024 24:00", false, ""}, TDate{"jetzt", false, ""},
                         TDate{"gestern", false, ""}}) {
    TPackedDate date = 0;
    std::string time;
    EXPECT_EQ(ParseDateTimeText(c.typed, date, time), c.valid) << c.typed;
    EXPECT_EQ(time, c.timeText) << c.typed;
    if (c.valid) {
      EXPECT_EQ(PackedDateToIsoStr(date), "2024-03-05");
    }
  }
  EXPECT_TRUE(TransferDateTextValid("JETZT"));
  EXPECT_TRUE(TransferDateTextValid(""));

  // The form: up-downs from "jetzt" and from an empty deadline; quantity bounds.
  ASSERT_TRUE(Start(tkIssue, {k1}));
  EXPECT_EQ(Text(view->TransferDateEd), "jetzt");
  EXPECT_EQ(Text(view->TransferAdjustQuantityEd), "1");
  EXPECT_EQ(TransferRec().QuantityLimit, 999);
  view->DateUpDownClick(true);
  EXPECT_EQ(Text(view->TransferDateEd), "01.06.2024");  // today, no step
  view->DateUpDownClick(true);
  EXPECT_EQ(Text(view->TransferDateEd), "02.06.2024");
  view->LimitUpDownClick(true);
  EXPECT_EQ(Text(view->TransferLimitEd), "02.06.2024");  // tomorrow
  view->TransferLimitEd->clear();
  view->LimitUpDownClick(false);
  EXPECT_EQ(Text(view->TransferLimitEd), "31.05.2024");  // yesterday
  view->TransferDateEd->setText("05.03.2024 8:5");
  EXPECT_EQ(TFrameTransfer::FieldColor(view->TransferDateEd), kLightRed);
  view->TransferLimitEd->setText("kein Datum");
  EXPECT_EQ(TFrameTransfer::FieldColor(view->TransferLimitEd), kLightRed);
  view->TransferAdjustQuantityEd->setText("0");
  EXPECT_EQ(Text(view->TransferAdjustQuantityEd), "1");
  view->TransferAdjustQuantityEd->setText("5000");
  EXPECT_EQ(Text(view->TransferAdjustQuantityEd), "999");
  EXPECT_EQ(Text(view->TransferNewQuantityEd), "-994");
  EXPECT_EQ(TFrameTransfer::FieldColor(view->TransferNewQuantityEd), kLightRed);
  view->TransferAdjustQuantityEd->setText("2");
  EXPECT_EQ(Text(view->TransferNewQuantityEd), "3");

  // A return from a holding of 3 pieces offers 3 of 3.
  view->ResetFrame();
  ResetTransferRec();
  ASSERT_TRUE(Start(tkReturn, {k1}, anna, 3));
  EXPECT_EQ(Text(view->TransferAdjustQuantityEd), "3");
  EXPECT_EQ(TransferRec().QuantityLimit, 3);
  view->QuantityUpDownClick(true);
  EXPECT_EQ(Text(view->TransferAdjustQuantityEd), "3");
  view->QuantityUpDownClick(false);
  EXPECT_EQ(Text(view->TransferAdjustQuantityEd), "2");
  EXPECT_EQ(Text(view->TransferNewQuantityEd), "7");
  EXPECT_FALSE(view->TransferLimitEd->isEnabled());
}

// ---------------------------------------------------------------------------------------
// "Ausführen"

TEST_F(FrameTransfer, ApplyAsksInOrderAndNoBooksNothing) {
  // K1 carries the identifier 12 at another holder; its stock is 0.
  db().SetField(k1, fkStock, "0");
  db().SetField(k1, fkHolders, "E" + std::to_string(anna) + "=1|2024-01-02|||0107|12");
  ASSERT_TRUE(db().Commit());
  const std::string storeBefore = ReadAllBytes(dir.File("Data.ada"));
  ASSERT_TRUE(Start(tkIssue, {k1}));
  // Nobody chosen: the list is marked and message 5 stops.
  EXPECT_EQ(TFrameTransfer::FieldColor(view->TransferNewOwnerEd), kLightRed);
  EXPECT_EQ(GetComboId(view->TransferNewOwnerEd, 0), 0);
  EXPECT_FALSE(Apply());
  EXPECT_EQ(ui.AllText(), FrameTransferText(ftChooseNewOwner));
  ChooseAnna();
  view->TransferNewOwnerEdSelect();
  EXPECT_NE(TFrameTransfer::FieldColor(view->TransferNewOwnerEd), kLightRed);
  view->TransferKeyEmbossCombo->setEditText("12");
  view->TransferRemEd->setText("Bemerkung");

  struct TStep {
    const char* date;
    const char* deadline;
    std::vector<int> answers;
    const char* asked;  // the last question, empty for none
    const char* said;   // the last message, empty for none
  };
  const TStep steps[] = {
      {"jetzt", "", {mrCancel}, "bereits ausgegeben", ""},
      {"05.03.2024 8:5", "", {mrYes}, "", "vollst\xE4ndiges Datum"},
      {"05.03.2024 8:05", "01.03.2024", {mrYes, mrCancel}, "Fristablauf", ""},
      {"05.03.2024 8:05", "01.03.2024", {mrYes, mrYes, mrCancel}, "negativ", ""},
  };
  for (const TStep& s : steps) {
    SCOPED_TRACE(std::string(s.date) + " / " + std::to_string(s.answers.size()));
    ui.Clear();
    view->TransferDateEd->setText(s.date);
    view->TransferLimitEd->setText(s.deadline);
    for (int a : s.answers) ui.answers.push_back(a);
    EXPECT_FALSE(Apply());
    if (*s.asked) {
      ASSERT_FALSE(ui.questions.empty());
      EXPECT_NE(ui.questions.back().find(s.asked), std::string::npos) << ui.questions.back();
    }
    if (*s.said) {
      EXPECT_NE(ui.AllText().find(s.said), std::string::npos) << ui.AllText();
    }
    // Nothing booked, everything kept.
    EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), storeBefore);
    EXPECT_TRUE(TransferRec().Pending());
    EXPECT_EQ(Text(view->TransferRemEd), "Bemerkung");
    EXPECT_EQ(FromQString(view->TransferKeyEmbossCombo->currentText()), "12");
    EXPECT_TRUE(view->TransferApplyBtn->isEnabled());
  }
  // The stock question names the key and the stock shown.
  EXPECT_NE(ui.questions.back().find("K1 (Bestand: 0)"), std::string::npos);
  // All yes: booked with the time typed.
  ui.Clear();
  view->TransferDateEd->setText("05.03.2024 8:05");
  view->TransferLimitEd->setText("01.04.2024");
  ui.answers = {mrYes, mrYes};
  EXPECT_TRUE(Apply());
  EXPECT_FALSE(TransferRec().Pending());
  EXPECT_EQ(OnDisk(k1, fkStock), "-1");
  const std::string own = OnDisk(k1, fkHolders);
  EXPECT_NE(
      own.find("=1|2024-03-05|2024-04-01|Bemerkung|0001|12||08:05|" + std::to_string(cabinet)),
      std::string::npos)
      << own;
  EXPECT_FALSE(view->TransferGroupBox->isEnabled());
}

TEST_F(FrameTransfer, ThreeKeysWhileStationBHoldsTheSecond) {
  ASSERT_TRUE(b->LockItem(k2, true, 0));
  ASSERT_TRUE(Start(tkIssue, {k1, k2, k3}, anna));
  EXPECT_EQ(Text(view->TransferKeyNameEd), "3 " + KeysCaption());
  EXPECT_FALSE(view->TransferAdjustQuantityEd->isEnabled());
  view->TransferRemEd->setText("Bund A");
  EXPECT_TRUE(Apply());
  // The first is booked with the operation's receipt number; the others stay pending.
  EXPECT_EQ(OnDisk(k1, fkStock), "4");
  EXPECT_NE(OnDisk(k1, fkHolders).find("|Bund A|0001"), std::string::npos);
  EXPECT_EQ(OnDisk(k2, fkStock), "5");
  EXPECT_EQ(OnDisk(k3, fkStock), "5");
  ASSERT_EQ(ui.messages.size(), 1u) << ui.AllText();
  const std::string said = ui.messages[0].text;
  EXPECT_NE(said.find(FrameTransferText(ftBookedKeys) + "\rK1"), std::string::npos) << said;
  EXPECT_NE(said.find(FrameTransferText(ftNotBookedKeys) + "\rK2\rK3"), std::string::npos) << said;
  EXPECT_NE(said.find("B"), std::string::npos);
  TTransferRecord& rec = TransferRec();
  EXPECT_EQ(rec.Kind, tkIssue);
  ASSERT_EQ(rec.Keys.Count(), 2);
  EXPECT_EQ(rec.Keys.Get(0), k2);
  EXPECT_EQ(Text(view->TransferRemEd), "Bund A");
  EXPECT_EQ(Text(view->TransferKeyNameEd), "2 " + KeysCaption());
  EXPECT_TRUE(view->TransferApplyBtn->isEnabled());
  EXPECT_TRUE(view->TransferCancelBtn->isEnabled());

  // Once B lets go, "Ausführen" books the rest as an operation of its own.
  ASSERT_TRUE(b->UnlockItem(k2));
  ui.Clear();
  EXPECT_TRUE(Apply());
  EXPECT_FALSE(TransferRec().Pending());
  EXPECT_EQ(ui.messages.size(), 0u) << ui.AllText();
  for (int32_t key : {k2, k3}) {
    EXPECT_EQ(OnDisk(key, fkStock), "4");
    EXPECT_NE(OnDisk(key, fkHolders).find("|Bund A|0002"), std::string::npos);
  }
  EXPECT_EQ(OnDisk(db().FindOrCreateSingleton(false), "FormSeqNo"), "2");
  const auto lines = HistoryLines();
  EXPECT_EQ(CountIn(lines, "a=Trans2"), 3);
  for (int32_t key : {k1, k2, k3}) EXPECT_EQ(CountIn(lines, Obj(key)), 1) << Obj(key);
}

// Refused because B holds the key, after B booked pieces of it: the form stays pending and
// shows the stock B left, so the next try starts from what is really there.
TEST_F(FrameTransfer, ARefusedBookingShowsTheFreshStock) {
  ASSERT_TRUE(Start(tkIssue, {k1}, anna));
  EXPECT_EQ(Text(view->TransferOldQuantityEd), "5");
  StockAtB(k1, "2");
  ASSERT_TRUE(b->LockItem(k1, true, 0));
  EXPECT_FALSE(Apply());
  EXPECT_TRUE(TransferRec().Pending());
  EXPECT_EQ(OnDisk(k1, fkStock), "2");
  EXPECT_EQ(Text(view->TransferOldQuantityEd), "2");
  EXPECT_EQ(Text(view->TransferNewQuantityEd), "1");
  ASSERT_TRUE(b->UnlockItem(k1));
}

TEST_F(FrameTransfer, TheStockQuestionIsAskedPerKeyAndAgainWhenBChangedTheStock) {
  db().SetField(k1, fkStock, "0");
  db().SetField(k2, fkStock, "3");
  ASSERT_TRUE(db().Commit());
  ASSERT_TRUE(Start(tkIssue, {k1, k2}, anna));
  EXPECT_EQ(Text(view->TransferNewQuantityEd), "");
  EXPECT_NE(TFrameTransfer::FieldColor(view->TransferNewQuantityEd), kLightRed);

  // "Ja" for the stock 0 shown; B books K1 down to -2 before A books: asked again.
  ui.answers = {mrYes};
  TTransferRecord& rec = TransferRec();
  TTransferApplyInput input;
  input.newOwnerId = anna;
  input.dateText = "jetzt";
  input.quantityText = "1";
  ASSERT_TRUE(PrepareTransferApply(db(), rec, input));
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_NE(ui.questions[0].find("K1 (Bestand: 0)"), std::string::npos) << ui.questions[0];
  EXPECT_EQ(ui.questions[0].find("K2"), std::string::npos);
  StockAtB(k1, "-2");
  ui.Clear();
  ui.answers = {mrCancel};
  TTransferOperation op = BookTransferOperation(db(), rec);
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_NE(ui.questions[0].find("K1 (Bestand: -2)"), std::string::npos) << ui.questions[0];
  // "Nein": nothing booked, nothing drawn, still pending with both keys.
  EXPECT_TRUE(op.booked.empty());
  EXPECT_EQ(OnDisk(k1, fkStock), "-2");
  EXPECT_EQ(OnDisk(k2, fkStock), "3");
  EXPECT_EQ(rec.Keys.Count(), 2);
  EXPECT_TRUE(rec.Pending());
  EXPECT_EQ(ui.messages.size(), 0u) << ui.AllText();

  // Again with "Ja" for the stock -2: both booked, the receipt number drawn once.
  ui.Clear();
  ui.answers = {mrYes, mrYes};
  ASSERT_TRUE(PrepareTransferApply(db(), rec, input));
  EXPECT_NE(ui.questions[0].find("K1 (Bestand: -2)"), std::string::npos);
  op = BookTransferOperation(db(), rec);
  EXPECT_EQ(op.booked, (std::vector<int32_t>{k1, k2}));
  EXPECT_EQ(op.done.ReceiptNo, "0001");
  EXPECT_EQ(op.keyText, "K1\rK2");
  EXPECT_EQ(OnDisk(k1, fkStock), "-3");
  EXPECT_EQ(OnDisk(k2, fkStock), "2");
  EXPECT_FALSE(rec.Pending());
}

TEST_F(FrameTransfer, TheReceiptNumberIsDrawnOnlyWithABookingThatIsSaved) {
  const int32_t settings = db().FindOrCreateSingleton(true);
  ASSERT_GT(settings, 0);
  TTransferRecord r;
  r.Kind = tkIssue;
  r.Keys.Add(k1);
  r.KeyId = k1;
  r.Quantity = 9;  // below 0 without a confirmation: refused
  SetTransferOwners(db(), r, anna, cabinet);
  r.DrawReceiptNo = true;
  std::string drawn = "x";
  EXPECT_EQ(BookTransfer(db(), r, &drawn), TTransferResult::NegativeStock);
  EXPECT_EQ(drawn, "");
  EXPECT_EQ(OnDisk(settings, "FormSeqNo"), "");
  // The settings record held at station B: refused with B named, nothing booked.
  ASSERT_TRUE(b->LockItem(settings, true, 0));
  r.Quantity = 1;
  ui.Clear();
  EXPECT_EQ(BookTransfer(db(), r, &drawn), TTransferResult::Locked);
  EXPECT_NE(ui.AllText().find("B"), std::string::npos) << ui.AllText();
  EXPECT_EQ(OnDisk(k1, fkStock), "5");
  ASSERT_TRUE(b->UnlockItem(settings));
  EXPECT_EQ(BookTransfer(db(), r, &drawn), TTransferResult::Booked);
  EXPECT_EQ(drawn, "0001");
  EXPECT_EQ(OnDisk(settings, "FormSeqNo"), "1");
  EXPECT_NE(OnDisk(k1, fkHolders).find("|0001"), std::string::npos);
}

TEST_F(FrameTransfer, TheReceiptIsMadeOutToAPersonOnly) {
  struct TCase {
    TTransferKind kind;
    THolderRef oldOwner, newOwner;
    int32_t holder, person;
  };
  const int32_t bunch = Record(icKeyBunch, "Bund");
  for (const TCase& c : {TCase{tkIssue, {okCabinet, cabinet}, {okPerson, anna}, anna, anna},
                         TCase{tkIssue, {okCabinet, cabinet}, {okKeyBunch, bunch}, bunch, 0},
                         TCase{tkReturn, {okPerson, anna}, {okCabinet, cabinet}, anna, anna},
                         TCase{tkDefect, {okCabinet, cabinet}, {okDefective, 0}, cabinet, 0},
                         TCase{tkLoss, {okPerson, anna}, {okLost, anna}, anna, anna},
                         TCase{tkFind, {okLost, anna}, {okCabinet, cabinet}, anna, anna},
                         TCase{tkDelivery, {okSupplier, 0}, {okCabinet, cabinet}, 0, 0}}) {
    TTransferRecord r;
    r.Kind = c.kind;
    r.OldOwner = c.oldOwner;
    r.NewOwner = c.newOwner;
    EXPECT_EQ(TransferReceiptHolder(r), c.holder) << int(c.kind);
    EXPECT_EQ(TransferReceiptPerson(r), c.person) << int(c.kind);
  }
}

TEST_F(FrameTransfer, AMarkedStockTargetNeverBlocks) {
  const int32_t second = Record(icCabinet, "Schrank 2");
  db().AddLinkBoth(k1, second, icCabinet, icKey);
  ASSERT_TRUE(db().Commit());
  ASSERT_TRUE(Start(tkDelivery, {k1}));
  // Two cabinets and none chosen: marked, offered with "-" first.
  EXPECT_EQ(view->TransferNewOwnerEd->count(), 3);
  EXPECT_EQ(TFrameTransfer::FieldColor(view->TransferNewOwnerEd), kLightRed);
  view->TransferAdjustQuantityEd->setText("2");
  EXPECT_TRUE(Apply());
  EXPECT_EQ(OnDisk(k1, fkStock), "7");
  EXPECT_EQ(OnDisk(k1, fkTotal), "7");
}

struct TPickingView : TStandInView {
  std::vector<bool> picking;
  void SetTransferPicking(bool on) override { picking.push_back(on); }
};

TEST_F(FrameTransfer, APersonPickedInThePersonsViewBecomesTheNewHolder) {
  const int32_t berta = Record(icPerson, "Berta");
  const int32_t clerk = Record(icUser, "Clerk");
  TPickingView persons, users;
  RegisterView(pgPersons, &persons);
  RegisterView(pgUsers, &users);
  ASSERT_TRUE(Start(tkIssue, {k1}));
  EXPECT_TRUE(view->TransferGoNewOwnerBtn->isEnabled());
  view->TransferGoNewOwnerBtnClick();
  view->TransferGoUserBtnClick();
  EXPECT_EQ(persons.picking, std::vector<bool>{true});
  persons.current = berta;
  users.current = clerk;
  view->TransferSheetEnter();
  EXPECT_EQ(persons.picking, (std::vector<bool>{true, false}));
  EXPECT_EQ(users.picking, (std::vector<bool>{true, false}));
  EXPECT_EQ(TransferRec().NewOwner, (THolderRef{okPerson, berta}));
  EXPECT_EQ(GetComboId(view->TransferNewOwnerEd, 0), berta);
  EXPECT_NE(TFrameTransfer::FieldColor(view->TransferNewOwnerEd), kLightRed);
  EXPECT_EQ(TransferRec().TransferUserId, clerk);
  EXPECT_EQ(Text(view->TransferUserEd), "Clerk");
  // The list still offers every person when it opens, Berta chosen.
  view->TransferNewOwnerEd->FillPersons();
  EXPECT_EQ(view->TransferNewOwnerEd->count(), 2);
  EXPECT_EQ(GetComboId(view->TransferNewOwnerEd, 0), berta);
  EXPECT_TRUE(Apply());
  EXPECT_NE(OnDisk(k1, fkHolders).find("E" + std::to_string(berta) + "=1"), std::string::npos);
  UnregisterView(pgPersons, &persons);
  UnregisterView(pgUsers, &users);
}

TEST_F(FrameTransfer, DecliningThePrintSelectionKeepsTheMinimumStockNotice) {
  const int32_t settings = db().FindOrCreateSingleton(true);
  ASSERT_GT(settings, 0);
  db().SetField(settings, "MinStkKeys", "1");
  db().SetField(k1, fkMinimum, "5");  // 5 in stock: one issued is below the minimum
  ASSERT_TRUE(db().Commit());
  PrintSettings().printerDialog = 2;  // the print selection before every receipt
  ASSERT_TRUE(Start(tkIssue, {k1}, anna));
  view->PrintCheck->setChecked(true);
  int selections = 0;
  QueueDialogDriver([&selections](QDialog& dialog) {
    ++selections;
    dialog.reject();
  });
  EXPECT_TRUE(view->TransferApplyBtnClick());
  PrintSettings().printerDialog = 1;
  EXPECT_EQ(selections, 1);
  EXPECT_EQ(OnDisk(k1, fkStock), "4");
  EXPECT_EQ(ui.AllText(), FrameTransferText(ftBelowMinimum) + "\r\rK1");
}

// Without any printer of the print system a receipt still reaches paper: the receipt's print
// selection offers the program's "PDF-Datei", the receipt asks for its file when it prints,
// and the file reads back with what was booked.
TEST_F(FrameTransfer, TheReceiptGoesIntoAPdfFileWithoutAnyPrinter) {
  if (!PdfToTextAvailable()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  IPrinterServices* before = SetPrinterServices(nullptr);
  ResetPrintSettings();
  ResetReceiptSettings();
  PrintSettings().printerDialog = 2;  // the print selection before every receipt
  SetTemplateFile(kSlotIssue, std::string(TESSARO_RESOURCE_DIR) + "/Formulare/Formular1 Ausgabe.rtf");
  ASSERT_TRUE(Start(tkIssue, {k1}, anna));
  view->show();
  auto tick = [](QCheckBox* box, bool on) {
    if (box->isChecked() != on)
      QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    EXPECT_EQ(box->isChecked(), on) << box->objectName().toStdString();
  };
  tick(view->PrintCheck, true);
  tick(view->BestandCheck, false);
  tick(view->getSignatureCheck, false);
  view->TransferRemEd->setFocus();
  QTest::keyClicks(view->TransferRemEd, "Ersatz im Tresor");
  std::string printer;
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TPrintSelectForm&>(dialog);
    form.PrintersCombo->setFocus();
    QTest::keyClicks(form.PrintersCombo, "PDF");
    printer = FromQString(form.PrintersCombo->currentText());
    if (form.PreviewCheck->isChecked())
      QTest::mouseClick(form.PreviewCheck, Qt::LeftButton, {}, QPoint(6, form.PreviewCheck->height() / 2));
    QTest::mouseClick(form.OkBtn, Qt::LeftButton);
  });
  const std::string pdf = dir.Dir() + "Ausgabe Anna";
  QueueDialogDriver([&](QDialog& dialog) {
    EXPECT_EQ(dialog.objectName(), QStringLiteral("PdfSaveDialog"));
    TypeFileName(dialog, pdf);
  });
  QTest::mouseClick(view->TransferApplyBtn, Qt::LeftButton);
  EXPECT_EQ(PendingDialogDrivers(), 0);
  EXPECT_EQ(printer, "PDF-Datei");
  EXPECT_EQ(OnDisk(k1, fkStock), "4");
  const std::string text = PdfText(pdf + ".pdf");
  for (const char* part : {"K1", "Anna", "0001", "Ersatz im Tresor"})
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  EXPECT_EQ(text.find('#'), std::string::npos) << text;
  ClearDialogDrivers();
  ResetReceiptSettings();
  ResetPrintSettings();
  SetPrinterServices(before);
}

// A question while "Ausführen" runs: the events processed meanwhile (here: the click the
// question handler makes) start no second run.
struct TReentrantUser : TRecordingInteraction {
  TFrameTransfer* view = nullptr;
  std::vector<bool> secondRun, enabled;
  int Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) override {
    enabled.push_back(view->TransferApplyBtn->isEnabled());
    secondRun.push_back(view->TransferApplyBtnClick());
    TRecordingInteraction::Ask(kind, text, buttons);
    return mrYes;
  }
};

TEST_F(FrameTransfer, ApplyIsDisabledWhileItRunsAndCancelDropsTheOperation) {
  db().SetField(k1, fkStock, "0");
  ASSERT_TRUE(db().Commit());
  ASSERT_TRUE(Start(tkIssue, {k1}, anna));
  TReentrantUser user;
  user.view = view.get();
  {
    TUserInteractionScope scope(user);
    EXPECT_TRUE(Apply());
  }
  EXPECT_EQ(user.enabled, std::vector<bool>{false});
  EXPECT_EQ(user.secondRun, std::vector<bool>{false});
  EXPECT_EQ(OnDisk(k1, fkStock), "-1");
  EXPECT_EQ(CountIn(HistoryLines(), "a=Trans2"), 1);

  // Cancel asks; "Nein" keeps the operation, "Ja" drops it.
  ASSERT_TRUE(Start(tkIssue, {k2}, anna));
  ui.answers = {mrNo};
  view->TransferCancelBtnClick();
  EXPECT_TRUE(TransferRec().Pending());
  EXPECT_TRUE(view->TransferApplyBtn->isEnabled());
  ui.answers = {mrYes};
  view->TransferCancelBtnClick();
  EXPECT_FALSE(TransferRec().Pending());
  EXPECT_FALSE(view->TransferApplyBtn->isEnabled());
  EXPECT_EQ(OnDisk(k2, fkStock), "5");
}

TEST(FrameTransferLanguage, EveryTextOfTheViewHasItsEnglishEntry) {
  TScopedMLSystem ml;
  ASSERT_TRUE(ml.System().LoadLanguageFile(
      std::string(TESSARO_RESOURCE_DIR) + "/System/Tessaro.lng", false));
  std::vector<std::string> texts;
  for (int i = 0; i < TransferTexts()->Count(); ++i)
    if (TransferTexts()->Number(i) == txNoReceiptNo) texts.push_back(TransferTexts()->Text(i));
  EXPECT_EQ(texts.size(), 1u);
  for (int i = 0; i < FrameTransferTexts()->Count(); ++i)
    if (FrameTransferTexts()->Number(i) > 0) texts.push_back(FrameTransferTexts()->Text(i));
  TFrameTransfer german(nullptr);
  for (QWidget* w : german.findChildren<QWidget*>()) {
    QString shown;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) shown = b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) shown = l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) shown = g->title();
    if (!shown.isEmpty() && shown != "+" && shown != "...") texts.push_back(FromQString(shown));
    if (!w->toolTip().isEmpty()) texts.push_back(FromQString(w->toolTip()));
  }
  for (const std::string& text : texts) {
    int grade = 0;
    ml.System().TranslateText(text, "DE", "EN", grade);
    EXPECT_GE(grade, mlgExact) << text;
  }
  ml.System().SetCurrentLanguage("EN");
  TFrameTransfer english(nullptr);
  EXPECT_EQ(english.TransferApplyBtn->text(), QStringLiteral("Execute"));
  EXPECT_EQ(english.TransferGroupBox->title(), QStringLiteral(" Handover "));
  EXPECT_EQ(TransferKindCaption(tkReturn), "Return");
}

}  // namespace
