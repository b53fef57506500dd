#include "views/FrameUsersUnit.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/LoginUnit.h"
#include "basic/Cp1252.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/HistoryUnit.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/RemarkTextUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "views/AuthorisationsFormUnit.h"

const TMLStringList* FrameUsersTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FrameUsers", 0);
    t->Add255Obj("Dieser Benutzer wurde zwischenzeitlich gel\xF6scht#13#und kann nicht mehr "
                 "bearbeitet werden.", 1);
    t->Add255Obj("Es gibt bereits einen Benutzer mit diesem Namen.", 2);
    t->Add255Obj("Passwort und Wiederholung m\xFCssen gleich sein.", 3);
    t->Add255Obj("Es kann kein neuer Benutzer angelegt werden.", 4);
    t->Add255Obj("Es ist keinem Benutzer das Recht zur \"Benutzer-\xC4nderung\" zugewiesen.", 5);
    t->Add255Obj("Es ist keinem Benutzer das Recht f\xFCr \"Programm-Einstellungen\" "
                 "zugewiesen.", 6);
    t->Add255Obj("Deshalb tritt solange ein Sonderrecht f\xFCr ALLE Benutzer in Kraft! "
                 "(unsicher)", 7);
    t->Add255Obj("Dieser Benutzer war bereits gel\xF6scht.", 8);
    t->Add255Obj("Benutzer \"%1\" wirklich l\xF6schen?", 9);
    t->Add255Obj("Bitte speichern Sie den neuen Benutzer zun\xE4" "chst#13#und klicken Sie "
                 "anschlie\xDF" "end diese Funktion nochmal an.", 10);
    t->Add255Obj("Alternativer Name f\xFCr Ausdrucke (falls vom Login-Namen abweichend)", 11);
    // The question after a save when other clients are registered, line by line.
    t->Add255Obj("\xC4nderungen gespeichert!", kUsersCopyQuestion);
    t->Add255Obj("FALLS dieser Benutzer in ALLEN Ihren Mandanten-Datenbanken",
                 kUsersCopyQuestion + 1);
    t->Add255Obj("verf\xFC" "gbar sein soll, k\xF6nnen Sie ihn automatisch kopieren lassen.",
                 kUsersCopyQuestion + 2);
    t->Add255Obj("BITTE GENAU LESEN: ... (im Zweifelsfall Nein w\xE4hlen)",
                 kUsersCopyQuestion + 3);
    t->Add255Obj("Soll dieser Benutzer jetzt in ALLE weiteren Mandanten-Datenbanken \xFC"
                 "bertragen werden?",
                 kUsersCopyQuestion + 4);
    t->Add255Obj("Sie k\xF6nnen Ihren eigenen Benutzer nicht l\xF6schen.", kUsersOwnRecord);
    return t;
  }();
  return table;
}

namespace {

std::string Trim(const std::string& text) {
  const size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  return text.substr(b, text.find_last_not_of(" \t\r\n") - b + 1);
}

QLabel* FieldLabel(QWidget* parent, const char* caption) {
  auto* label = new QLabel(ToQString(caption), parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

}  // namespace

std::string FrameUsersText(int number) { return GetMLText(FrameUsersTexts(), number); }
std::string FrameUsersTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(FrameUsersTexts(), number, argument);
}

std::string UsersCopyQuestion() {
  const int n = kUsersCopyQuestion;
  return FrameUsersText(n) + "\r\r" + FrameUsersText(n + 1) + "\r" + FrameUsersText(n + 2) +
         "\r\r" + FrameUsersText(n + 3) + "\r" + FrameUsersText(n + 4);
}

bool OtherClientsRegistered(const TMiniDB& db) {
  const TMandantList& clients = LoginState().Clients;
  const TMandantState& state = MandantState();
  for (size_t i = 1; i < clients.size(); ++i) {
    const TMandantInfoRec& rec = clients[i];
    if (state.HasCurrentMandant && SameMandantKey(rec, state.CurrentMandant)) continue;
    const std::string folder = MandantDataFolder(&rec);
    const std::string title = MandantDataFolderName(rec.Name);
    if (folder == db.DataPath && AnsiSameText(title, db.FileTitle)) continue;
    // The data root is offered as a client without being one; only a store makes it one.
    if (GetFileStamp(folder + title + ".ada").exists ||
        GetFileStamp(folder + title + ".adaX").exists)
      return true;
  }
  return false;
}

TFrameUsers::TFrameUsers(QWidget* owner) : TFrameMother(owner, icUser, rtUsers) {
  setObjectName("FrameUsers");
  ListingFrame->SeekCombo->show();
  ListingFrame->FrameResize();
  JournalBtn->show();

  QWidget* panel = EdPanel->widget();
  auto* outer = new QVBoxLayout(panel);
  outer->setContentsMargins(8, 8, 8, 8);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  UserNameEd = new QLineEdit(panel);
  UserNameEd->setObjectName("UserNameEd");
  RealNameLabel = FieldLabel(panel, "Ausgabename:");
  RealNameEd = new QLineEdit(panel);
  RealNameEd->setObjectName("RealNameEd");
  RealNameLabel->setToolTip(ToQString(FrameUsersText(11)));
  RealNameEd->setToolTip(ToQString(FrameUsersText(11)));
  UserRemMemo = new QPlainTextEdit(panel);
  UserRemMemo->setObjectName("UserRemMemo");
  UserRemMemo->setFixedHeight(70);
  UserPW1Ed = new QLineEdit(panel);
  UserPW1Ed->setObjectName("UserPW1Ed");
  UserPW2Ed = new QLineEdit(panel);
  UserPW2Ed->setObjectName("UserPW2Ed");
  for (QLineEdit* pw : {UserPW1Ed, UserPW2Ed}) {
    pw->setEchoMode(QLineEdit::Password);
    pw->setMaxLength(kMaxPasswordLength);
  }
  RemovePasswordCheck = new QCheckBox(ToQString("Passwort entfernen"), panel);
  RemovePasswordCheck->setObjectName("RemovePasswordCheck");
  AuthorisationsBtn = new QPushButton(ToQString("Berechtigungen ..."), panel);
  AuthorisationsBtn->setObjectName("AuthorisationsBtn");
  grid->addWidget(FieldLabel(panel, "Login-Name:"), 0, 0);
  grid->addWidget(UserNameEd, 0, 1);
  grid->addWidget(RealNameLabel, 1, 0);
  grid->addWidget(RealNameEd, 1, 1);
  grid->addWidget(FieldLabel(panel, "Bemerkung:"), 2, 0, Qt::AlignRight | Qt::AlignTop);
  grid->addWidget(UserRemMemo, 2, 1);
  grid->addWidget(FieldLabel(panel, "Passwort:"), 3, 0);
  grid->addWidget(UserPW1Ed, 3, 1);
  grid->addWidget(FieldLabel(panel, "Wiederholung:"), 4, 0);
  grid->addWidget(UserPW2Ed, 4, 1);
  grid->addWidget(RemovePasswordCheck, 5, 1);
  grid->addWidget(AuthorisationsBtn, 6, 1, Qt::AlignLeft);
  grid->setColumnStretch(1, 1);
  outer->addLayout(grid);
  outer->addStretch(1);

  connect(NewBtn, &QToolButton::clicked, this, [this] { NewBtnClick(); });
  connect(SaveBtn, &QToolButton::clicked, this, [this] { SaveBtnClick(); });
  connect(JournalBtn, &QToolButton::clicked, this, [this] {
    if (CurrentId != 0) ShowHistoryOf(CurrentId);
  });
  connect(TransferBtn, &QToolButton::clicked, this, [] { ShowPage(pgIssueReturn, true); });
  connect(AuthorisationsBtn, &QPushButton::clicked, this, [this] { AuthorisationsBtnClick(); });
  connect(RemovePasswordCheck, &QCheckBox::toggled, this, [this](bool on) {
    if (!Editing) return;
    for (QLineEdit* pw : {UserPW1Ed, UserPW2Ed}) {
      if (on) pw->clear();
      ApplyControlLook(pw, on ? TControlLook::Disabled : TControlLook::Editable);
    }
  });
  connect(ListingFrame->ListBox, &QListView::doubleClicked, this, [this] {
    if (!TransferBtn->isHidden()) TransferBtn->click();
  });
  for (QWidget* field :
       std::initializer_list<QWidget*>{UserNameEd, RealNameEd, UserRemMemo, UserPW1Ed, UserPW2Ed})
    field->installEventFilter(this);
  TranslateForm(this);
  ClearDisplay();
}

void TFrameUsers::SetFieldsEditable(bool editable) {
  for (QWidget* field : std::initializer_list<QWidget*>{UserNameEd, RealNameEd, UserRemMemo})
    ApplyControlLook(field, editable ? TControlLook::Editable : TControlLook::ReadOnly);
  for (QLineEdit* pw : {UserPW1Ed, UserPW2Ed}) {
    pw->clear();
    ApplyControlLook(pw, editable ? TControlLook::Editable : TControlLook::Disabled);
  }
  RemovePasswordCheck->setChecked(false);
  RemovePasswordCheck->setEnabled(editable && EditState != 2);
}

void TFrameUsers::ShowViewMode() {
  Editing = false;
  EditState = 0;
  ListingFrame->setEnabled(true);
  const bool shown = CurrentId != 0;
  NewBtn->show();
  EdBtn->setVisible(shown);
  KillBtn->setVisible(shown);
  JournalBtn->setVisible(shown);
  JournalBtn->setEnabled(ViewOf(pgHistory) != nullptr);
  TransferBtn->setVisible(shown && picking_);
  SaveBtn->hide();
  CancelBtn->hide();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(false);
  AuthorisationsBtn->setEnabled(shown);
}

void TFrameUsers::DiscardEdit() {
  rightsEdited_ = false;
  editedRights_.clear();
  ShowViewMode();
}

void TFrameUsers::EnterEditMode() {
  Editing = true;
  if (EditState == 0) EditState = 1;
  ListingFrame->setEnabled(false);
  for (QWidget* b :
       std::initializer_list<QWidget*>{NewBtn, EdBtn, KillBtn, JournalBtn, TransferBtn})
    b->hide();
  SaveBtn->show();
  CancelBtn->show();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(true);
  AuthorisationsBtn->setEnabled(true);
}

void TFrameUsers::ClearDisplay() {
  CurrentId = 0;
  rightsEdited_ = false;
  editedRights_.clear();
  ListingFrame->ClearSelection();
  UserNameEd->clear();
  RealNameEd->clear();
  UserRemMemo->clear();
  ShowViewMode();
}

void TFrameUsers::ShowRecord(int32_t id) {
  TMiniDB* db = GlueDB();
  if (!db || id <= 0) return;
  if (!db->HasRecord(id) || !db->IsValid(id) || db->GetClass(id) != icUser) {
    if (CurrentId == id) ClearDisplay();
    return;
  }
  if (db->GetName(id).empty()) return;
  ListingFrame->SelectId(id);
  if (id != CurrentId) {
    rightsEdited_ = false;
    editedRights_.clear();
  }
  CurrentId = id;
  ShowViewMode();
  UserNameEd->setText(ToQString(db->GetName(id)));
  RealNameEd->setText(ToQString(db->ReadLineField(id, "nice")));
  UserRemMemo->setPlainText(ToQString(RemarkToText(db->ReadLineField(id, fkRemark))));
}

void TFrameUsers::RefreshView() {
  TFrameMother::RefreshView();
  if (!Editing && CurrentId == 0) ShowViewMode();
}

bool TFrameUsers::StartEdit() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || Editing) return false;
  // Every user may change his own record and password.
  if (CurrentId != Session().CurrentUserId && RightDenied(rtUsers)) return false;
  if (!LockCurrentForEdit(FrameUsersText(1))) return false;
  const bool keepRights = rightsEdited_;
  const std::string rights = editedRights_;
  ShowRecord(CurrentId);
  rightsEdited_ = keepRights;
  editedRights_ = rights;
  EditState = 1;
  EnterEditMode();
  FocusControlIfPossible(UserNameEd);
  return true;
}

void TFrameUsers::NewBtnClick() {
  if (Editing || RightDenied(rtUsers)) return;
  ClearDisplay();
  ReloadAndRefresh();
  EditState = 2;
  EnterEditMode();
  FocusControlIfPossible(UserNameEd);
}

bool TFrameUsers::SaveBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db || !Editing) return false;
  const std::string name = Trim(FromQString(UserNameEd->text()));
  if (name.empty()) {
    ShowError(CoreText(31));
    FocusControlIfPossible(UserNameEd);
    return false;
  }
  // The password as the login compares it; both entries alike, or neither given (the
  // stored one stays). Refused before anything is written.
  const bool removePassword = RemovePasswordCheck->isChecked() && EditState != 2;
  const std::string pw1 = LoginCompareForm(FromQString(UserPW1Ed->text()));
  const std::string pw2 = LoginCompareForm(FromQString(UserPW2Ed->text()));
  if (!removePassword && pw1 != pw2) {
    ShowError(FrameUsersText(3));
    FocusControlIfPossible(UserPW1Ed);
    return false;
  }
  const bool setPassword = removePassword || !pw1.empty();
  const std::string nice = Trim(FromQString(RealNameEd->text()));
  const std::string remark = RemarkToStored(FromQString(UserRemMemo->toPlainText()));
  const bool isNew = EditState == 2 || CurrentId == 0;
  const int32_t existing = isNew ? 0 : CurrentId;
  const bool rightsEdited = rightsEdited_;

  ReloadAndRefresh();
  enum class TRefusal { None, Blocked, NameTaken, Gone, NotCreated, NotSaved };
  TRefusal refusal = TRefusal::None;
  std::string blocking;
  std::string oldName;
  int32_t saved = existing;
  {
    TStoreWrite write(*db, existing ? std::vector<int32_t>{existing} : std::vector<int32_t>{});
    if (!write.Ok()) {
      refusal = TRefusal::Blocked;
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    } else if (db->FindByName(name, icUser, existing) != 0) {
      refusal = TRefusal::NameTaken;
    } else if (existing && (!db->HasRecord(existing) || !db->IsValid(existing) ||
                            db->GetClass(existing) != icUser)) {
      refusal = TRefusal::Gone;
    } else {
      if (isNew) {
        // Every check passed: the record is made (and its ID claimed on disk) only now.
        saved = db->NewRecord(icUser);
        if (saved != 0 && !write.Include({saved})) saved = 0;
        if (saved != 0) {
          db->SetField(saved, fkName, name);
          db->GetGUID(saved);
          const int32_t source = Session().CurrentUserId > 0
                                     ? Session().CurrentUserId
                                     : db->FindOrCreateSingleton(false);
          const std::string ini = source > 0 ? db->ReadLineField(source, "ini") : "";
          if (!ini.empty()) db->SetField(saved, "ini", ini);
        }
      } else {
        oldName = db->GetName(existing);
      }
      if (saved == 0) {
        refusal = TRefusal::NotCreated;
      } else {
        db->SetField(saved, fkName, name);
        db->SetField(saved, fkRemark, remark);
        db->SetField(saved, "nice", nice);
        if (setPassword) db->SetField(saved, "pw", removePassword ? std::string() : pw1);
        if (rightsEdited) db->SetField(saved, fkRights, editedRights_);
        if (!write.Commit()) refusal = TRefusal::NotSaved;
      }
    }
  }
  switch (refusal) {
    case TRefusal::None:
      break;
    case TRefusal::Blocked: TellSaveBlocked(blocking); return false;
    case TRefusal::NameTaken: TellNameTaken(FrameUsersText(2), UserNameEd); return false;
    case TRefusal::Gone: TellRecordGone(existing, FrameUsersText(1)); return false;
    case TRefusal::NotCreated:
      ShowError(FrameUsersText(4));
      return false;
    case TRefusal::NotSaved:
      return false;
  }

  std::string notes;
  const bool ownRecord = saved == Session().CurrentUserId && saved > 0;
  if (rightsEdited) {
    if (!editedRights_.empty()) LoginState().SomeUserHasRights = true;
    if (ownRecord)
      Session().RightLevels = RightsAfterLogin(*db, saved, LoginState().SomeUserHasRights);
    // Nobody may change the users or the settings: the logged-in user may, until somebody
    // is given the right (as every user may at login meanwhile).
    for (const auto& [right, text] : {std::pair{rtUsers, 5}, std::pair{rtSettings, 6}}) {
      if (!UsersWithRightText(right).empty()) continue;
      Session().RightLevels[right] = rlYes;
      notes += FrameUsersText(text) + "\r";
    }
  }
  rightsEdited_ = false;
  editedRights_.clear();
  if (existing) db->UnlockItem(existing);
  if (isNew)
    HistoryNew(icUser, saved, name, "");
  else if (oldName != name)
    HistoryRen(icUser, saved, name, oldName);
  if (ownRecord) Session().CurrentUserName = name;
  db->RefreshName(saved);
  CurrentId = saved;
  ShowViewMode();
  RefreshAllFrames();
  if (PageOfView(&GlueView()) < 0) ListingFrame->Refresh();
  ShowRecord(saved);
  FocusList();
  if (!notes.empty()) ShowInfo(notes + FrameUsersText(7));
  if (OtherClientsRegistered(*db) && AskYesNo(UsersCopyQuestion()) == mrYes)
    CopyUserToAllClients(saved, LoginState().Clients);
  return true;
}

bool TFrameUsers::CanDelete() {
  if (CurrentId != 0 && CurrentId == Session().CurrentUserId) {
    ShowError(FrameUsersText(kUsersOwnRecord));
    return false;
  }
  return true;
}

std::string TFrameUsers::DeleteQuestion(const std::string& name) {
  return FrameUsersTextFmt(9, name);
}

void TFrameUsers::SetTransferPicking(bool on) {
  picking_ = on;
  if (!Editing) ShowViewMode();
}

void TFrameUsers::AuthorisationsBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db) return;
  if (EditState == 2) {
    ShowInfo(FrameUsersText(10));
    return;
  }
  if (CurrentId == 0 || RightDenied(rtUsers)) return;
  const bool started = !Editing;
  if (started && !StartEdit()) return;
  std::string rights = rightsEdited_ ? editedRights_ : db->ReadLineField(CurrentId, fkRights);
  if (ExecuteAuthorisations(CurrentId, rights)) {
    editedRights_ = rights;
    rightsEdited_ = true;
  } else if (started) {
    CancelBtnClick();
  }
}

void RegisterUsersView() {
  RegisterViewFactory(pgUsers, [](QWidget* page) {
    auto* view = new TFrameUsers(page);
    view->PlaceIn(page);
    RegisterView(pgUsers, &view->GlueView());
  });
}
