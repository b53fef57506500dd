// The users view and the rights dialog: the stored password and rights texts, and that a
// save leaving nobody the right for users or settings gives it to the logged-in user.
#include "data/ClientSessionUnit.h"
#include "views/FrameUsersUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app/FramesTestSupport.h"
#include "app/LoginUnit.h"
#include "basic/ValueString.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/MandantUnit.h"
#include "views/AuthorisationsFormUnit.h"

namespace {

TRightLevels Levels(const std::string& digits) {
  TRightLevels levels{};
  for (size_t i = 0; i < digits.size(); ++i) levels[i] = static_cast<uint8_t>(digits[i] - '0');
  return levels;
}

struct UsersView : TFramesTest {
  TStation b{"B"};
  std::unique_ptr<TFrameUsers> view;
  int32_t chef = 0, hans = 0;

  void SetUp() override {
    ResetLoginState();  // it closes the client session, so before the store is lent to it
    TFramesTest::SetUp();
    chef = Record(icUser, "Chef");
    hans = Record(icUser, "Hans");
    a->SetField(chef, fkRights, EncodeUserRights(chef, Levels("222222222222")));
    a->SetField(hans, fkRights, EncodeUserRights(hans, Levels("211112222111")));
    a->SetField(hans, "pw", "ALT");
    ASSERT_TRUE(a->Commit());
    ASSERT_TRUE(b.Open(dir));
    Session().CurrentUserId = chef;
    Session().CurrentUserName = "Chef";
    view = std::make_unique<TFrameUsers>(nullptr);
    ui.Clear();
  }
  void TearDown() override {
    view.reset();
    ResetLoginState();
    TFramesTest::TearDown();
  }
  std::string Disk(int32_t id, const std::string& key) {
    TStation c{"C"};
    EXPECT_TRUE(c.Open(dir));
    return c->GetField(id, key);
  }
  bool EditHans() {
    view->ShowRecord(hans);
    return view->StartEdit();
  }
  // The rights dialog, driven: `act` works on the form before OK.
  void Authorise(std::function<void(TAuthorisationsForm&)> act) {
    QueueDialogDriver([act](QDialog& dialog) {
      auto& form = dynamic_cast<TAuthorisationsForm&>(dialog);
      act(form);
      form.OkBtn->click();
    });
    view->AuthorisationsBtnClick();
  }
};

TEST_F(UsersView, PasswordsAreStoredAsTheLoginComparesThem) {
  const std::string file = dir.File("Data.ada");
  const struct {
    const char* what;
    const char* pw1;
    const char* pw2;
    bool remove;
    bool saved;
    const char* stored;
  } cases[] = {
      {"blanks and case", " geheim ", "GEHEIM", false, true, "GEHEIM"},
      {"both empty keep it", "", "", false, true, "GEHEIM"},
      {"differing entries", "geheim", "geheimnis", false, false, "GEHEIM"},
      {"only one entry", "neu", "", false, false, "GEHEIM"},
      {"removed by the tick", "", "", true, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(EditHans());
    EXPECT_TRUE(view->UserPW1Ed->text().isEmpty()) << "never filled from the record";
    view->UserPW1Ed->setText(ToQString(c.pw1));
    view->UserPW2Ed->setText(ToQString(c.pw2));
    view->RemovePasswordCheck->setChecked(c.remove);
    const std::string before = ReadAllBytes(file);
    ui.Clear();
    EXPECT_EQ(view->SaveBtnClick(), c.saved);
    EXPECT_EQ(Disk(hans, "pw"), c.stored);
    if (!c.saved) {
      EXPECT_EQ(ReadAllBytes(file), before) << "refused before any write";
      EXPECT_NE(ui.AllText().find("Passwort und Wiederholung"), std::string::npos);
      view->CancelBtnClick();
    }
  }
  // The login accepts what was typed.
  ASSERT_TRUE(EditHans());
  view->UserPW1Ed->setText(" geheim ");
  view->UserPW2Ed->setText("GEHEIM");
  ASSERT_TRUE(view->SaveBtnClick());
  TStation c{"C"};
  ASSERT_TRUE(c.Open(dir));
  EXPECT_TRUE(CheckLogin(*c.db, "hans", "Geheim").success);
}

TEST_F(UsersView, RightsDialogReadsAnyUsersTextAndWritesTwelveLevels) {
  // A text stored for user 7 shown for Hans: the number is not checked; a byte 7 is no
  // level.
  std::string payload = std::string("\x02\x01\x07\x03", 4);
  a->SetField(hans, fkRights, EncodeNumberedStr(7, payload, false));
  ASSERT_TRUE(a->Commit());
  view->ShowRecord(hans);
  Authorise([](TAuthorisationsForm& form) {
    EXPECT_EQ(form.Level(rtPersons), 2);
    EXPECT_EQ(form.Level(rtKeys), 1);
    EXPECT_EQ(form.Level(rtDoors), 0) << "byte 7";
    EXPECT_EQ(form.Level(rtBuildings), 3);
    EXPECT_EQ(form.Combos[rtBuildings]->count(), 3) << "level 3 offers the cabinet choices";
    // The combos by their names: the first the persons', the last the list printing's.
    EXPECT_EQ(form.PersonsCombo, form.Combos[rtPersons]);
    EXPECT_EQ(form.findChild<QComboBox*>("PrintCombo"), form.Combos[11]);
    EXPECT_EQ(form.findChild<QComboBox*>("TextSettingsCombo"), form.TextSettingsCombo);
    EXPECT_EQ(form.Level(rtUsers), 0);
    EXPECT_NE(FromQString(form.Labels[0]->text()).find("Personen  ..."), std::string::npos);
    form.SetLevel(rtUsers, 2);
  });
  ASSERT_TRUE(view->RightsEdited());
  ASSERT_TRUE(view->SaveBtnClick());
  const std::string stored = Disk(hans, fkRights);
  EXPECT_EQ(stored, EncodeUserRights(hans, Levels("210320000000")));
  EXPECT_EQ(stored.size(), 8u + 24u + 2u) << "twelve levels";
}

TEST_F(UsersView, WithoutAnyRightsTextEveryRightShowsYes) {
  for (int32_t user : {chef, hans}) a->SetField(user, fkRights, "");
  ASSERT_TRUE(a->Commit());
  view->ShowRecord(hans);
  Authorise([](TAuthorisationsForm& form) {
    for (int right = 0; right < 12; ++right) EXPECT_EQ(form.Level(right), 2) << right;
    EXPECT_EQ(FromQString(form.Combos[rtPersons]->currentText()), "Ja");
    EXPECT_EQ(FromQString(form.Combos[rtIssue]->currentText()),
              "f\xFCr alle Schl\xFCsselschr\xE4nke");
  });
}

TEST_F(UsersView, RightsThatLeaveNobodyTheUsersOrTheSettingsGoToTheLoggedInUser) {
  view->resize(900, 600);
  view->show();
  const struct {
    const char* what;
    std::vector<int> demoted;  // set to "Nein" in the rights dialog
    std::vector<int> texts;    // the texts said, before text 7
  } cases[] = {
      {"right 4", {rtUsers}, {5}},
      {"right 9", {rtSettings}, {6}},
      {"both", {rtUsers, rtSettings}, {5, 6}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    a->SetField(chef, fkRights, EncodeUserRights(chef, Levels("222222222222")));
    ASSERT_TRUE(a->Commit());
    Session().RightLevels.fill(rlYes);
    ui.Clear();
    view->ShowRecord(chef);
    QueueDialogDriver([&](QDialog& dialog) {
      auto& form = dynamic_cast<TAuthorisationsForm&>(dialog);
      for (int right : c.demoted) {
        form.Combos[right]->setFocus();
        QTest::keyClick(form.Combos[right], Qt::Key_Up);  // "Ja" -> "Nein"
        EXPECT_EQ(form.Level(right), 1);
      }
      QTest::mouseClick(form.OkBtn, Qt::LeftButton);
    });
    QTest::mouseClick(view->AuthorisationsBtn, Qt::LeftButton);
    ASSERT_TRUE(view->Editing);
    QTest::mouseClick(view->SaveBtn, Qt::LeftButton);
    EXPECT_FALSE(view->Editing);
    const TRightLevels stored = DecodeUserRights(Disk(chef, fkRights));
    std::string said;
    for (int right : c.demoted) {
      EXPECT_EQ(stored[right], rlNo) << right;
      EXPECT_EQ(Session().RightLevels[right], rlYes) << right;
    }
    for (int text : c.texts) said += FrameUsersText(text) + "\r";
    said += FrameUsersText(7);
    ASSERT_EQ(ui.messages.size(), 1u) << ui.AllText();
    EXPECT_EQ(ui.messages[0].text, said);
  }
}

TEST_F(UsersView, TheLastHolderOfTheRightForUsersCanBeDeletedButNobodyDeletesHimself) {
  view->resize(900, 600);
  view->show();
  Session().CurrentUserId = hans;
  Session().CurrentUserName = "Hans";
  view->ShowRecord(chef);
  ui.answers = {mrYes};
  QTest::mouseClick(view->KillBtn, Qt::LeftButton);
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0], FrameUsersTextFmt(9, "Chef"));
  {
    TStation c{"C"};
    ASSERT_TRUE(c.Open(dir));
    EXPECT_FALSE(c->IsValid(chef));
  }
  EXPECT_NE(HistoryText().find("a=Del"), std::string::npos);

  // Nobody deletes his own record.
  ui.Clear();
  view->ShowRecord(hans);
  ui.answers = {mrYes};
  QTest::mouseClick(view->KillBtn, Qt::LeftButton);
  EXPECT_NE(ui.AllText().find("eigenen Benutzer"), std::string::npos);
  EXPECT_TRUE(ui.questions.empty());
  TStation c{"C"};
  ASSERT_TRUE(c.Open(dir));
  EXPECT_TRUE(c->IsValid(hans));
}

TEST_F(UsersView, WithoutASettingsHolderTheLoggedInUserGetsItAndIsTold) {
  Session().RightLevels[rtSettings] = rlNo;
  view->ShowRecord(chef);
  Authorise([](TAuthorisationsForm& form) { form.SetLevel(rtSettings, 1); });
  ASSERT_TRUE(view->SaveBtnClick());
  EXPECT_EQ(Session().RightLevels[rtSettings], rlYes);
  EXPECT_NE(ui.AllText().find("Programm-Einstellungen"), std::string::npos);
  EXPECT_NE(ui.AllText().find("Sonderrecht"), std::string::npos);
}

TEST_F(UsersView, OthersNeedTheRightOwnRecordDoesNot) {
  Session().CurrentUserId = hans;
  Session().RightLevels[rtUsers] = rlNo;
  view->ShowRecord(chef);
  EXPECT_FALSE(view->StartEdit());
  view->ShowRecord(hans);
  ASSERT_TRUE(view->StartEdit());
  view->UserNameEd->setText("Hans Meier");
  ASSERT_TRUE(view->SaveBtnClick());
  EXPECT_EQ(Session().CurrentUserName, "Hans Meier");
  EXPECT_NE(HistoryText().find("a=Ren"), std::string::npos);
}

TEST(UsersViewCopy, ASavedUserIsCopiedByGuidIntoTheOtherClient) {
  TTempDir root;
  TMandantState state;
  TMandantStateScope scope(state);
  TEventRecorder ui;
  TUserInteractionScope uiScope(ui);
  ResetSession();
  ResetLoginState();
  auto client = [&](const std::string& name) {
    std::filesystem::create_directories(root.Path() / name);
    TMandantInfoRec rec;
    rec.Name = name;
    rec.Title = "Firma " + name;
    rec.DataFolder = root.Dir() + name + "/";
    return rec;
  };
  state.DataRoot = root.Dir();
  TMandantList& clients = LoginState().Clients;
  clients = {TMandantInfoRec(), client("A"), client("B")};
  state.HasCurrentMandant = true;
  state.CurrentMandant = clients[1];
  {
    TStation other{"S"};
    ASSERT_TRUE(other->Open(clients[2].DataFolder, MandantDataFolderName("B"), "Tessaro"));
    other->NewNamedRecord(icKey, "K1", "");
    ASSERT_TRUE(other->Commit());
  }
  TStation a{"A"};
  ASSERT_TRUE(a->Open(clients[1].DataFolder, MandantDataFolderName("A"), "Tessaro"));
  THistory history{&a.registry};
  THistoryScope historyScope{history};
  history.SetFolder(clients[1].DataFolder);
  ClientSession().LendStore(a.db.get());
  Session().LoggedIn = true;
  Session().RightLevels.fill(rlYes);
  {
    TFrameUsers view(nullptr);
    view.NewBtnClick();
    view.UserNameEd->setText("Neu");
    view.UserPW1Ed->setText("abc");
    view.UserPW2Ed->setText("abc");
    ui.answers = {mrYes};
    ASSERT_TRUE(view.SaveBtnClick());
  }
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_NE(ui.questions[0].find("ALLE weiteren Mandanten-Datenbanken"), std::string::npos);
  const int32_t user = a->FindByName("Neu", icUser, 0);
  ASSERT_NE(user, 0);
  const std::string guid = a->GetField(user, "GUID");
  ASSERT_FALSE(guid.empty());
  TStation check{"C"};
  ASSERT_TRUE(check->Open(clients[2].DataFolder, MandantDataFolderName("B"), "Tessaro"));
  const int32_t copy = check->FindByGUID(guid, icUser);
  ASSERT_NE(copy, 0);
  EXPECT_EQ(check->GetName(copy), "Neu");
  EXPECT_EQ(check->GetField(copy, "pw"), "ABC");
  ResetSession();
  ResetLoginState();
}

}  // namespace
