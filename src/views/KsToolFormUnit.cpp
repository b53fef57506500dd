#include "views/KsToolFormUnit.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/GlueStateUnit.h"
#include "app/ListFillUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"
#include "data/UserRights.h"

const TMLStringList* KsToolTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("KsToolFormUnit", 0);
    t->Add255Obj("%1 Datens\xE4tze wurde ge\xE4ndert.", 1);
    t->Add255Obj("Bitte f\xFChren Sie ggf. die \xC4nderung an den Geb\xE4uden von Hand durch!", 2);
    t->Add255Obj("Es wurde kein Datensatz mit der alten Anlage gefunden.", 3);
    t->Add255Obj("Alle Datens\xE4tze jetzt unwiderruflich \xE4ndern?", 4);
    return t;
  }();
  return table;
}

const TMLStringList* CabinetToolTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("CabinetTool", 0);
    t->Add255Obj("Alle Datens\xE4tze jetzt unwiderruflich \xE4ndern?", 1);
    t->Add255Obj("%1 Datens\xE4tze wurde ge\xE4ndert.", 2);
    t->Add255Obj("Es wurde kein Datensatz mit dieser Schlie\xDF"
                 "anlage gefunden.",
                 3);
    // Not in the dialog's own table before: the tool without a chosen cabinet.
    t->Add255Obj("Bitte w\xE4hlen Sie einen Schl\xFCsselschrank.", 4);
    return t;
  }();
  return table;
}

namespace {

std::string CodeText(TKeySystemCode code) { return code == ksNone ? "" : std::to_string(code); }

bool IsValidOf(const TMiniDB& db, int32_t id, int cls) {
  return id > 0 && db.GetClass(id) == cls && db.IsValid(id);
}

// Refusal of a run: who holds the data, or that the store could not be reserved.
void TellRefused(TMiniDB& db, const std::string& blocking) {
  if (blocking.empty() || blocking == "*")
    ShowLockFailed();
  else
    db.ShowExclusiveDenied(blocking);
}

// Ends a run after its work: saved, cancelled or failed.
int Finish(TBulkWrite& run, int count) {
  if (count == 0) {
    run.Rollback();
    return 0;
  }
  switch (run.Commit()) {
    case TBulkResult::Saved: return count;
    case TBulkResult::Cancelled: return kCancelled;
    default: return kRefused;
  }
}

}  // namespace

std::string KsToolText(int number) { return GetMLText(KsToolTexts(), number); }
std::string CabinetToolText(int number) { return GetMLText(CabinetToolTexts(), number); }

std::vector<TFieldChange> PlanKeySystemChange(const TMiniDB& db, TKeySystemCode from,
                                              TKeySystemCode to) {
  std::vector<TFieldChange> plan;
  if (from == to) return plan;
  const bool buildingsToo = from < ksBuildingBase && to < ksBuildingBase;
  for (int cls : {icBuilding, icDoor, icKey, icCylinder, icGroup}) {
    if (cls == icBuilding && !buildingsToo) continue;
    TItemList all;
    db.ListClass(cls, all);
    for (int32_t i = 0; i < all.Count(); ++i) {
      const int32_t id = all.Get(i);
      if (db.ReadKeySystem(id) != from) continue;
      plan.push_back({id, fkKeySystem, db.ReadLineField(id, fkKeySystem), CodeText(to)});
    }
  }
  return plan;
}

std::vector<TCabinetChange> PlanCabinetAssignment(const TMiniDB& db, TKeySystemCode code,
                                                  int32_t cabinet, bool onlyOrphans,
                                                  int* assigned) {
  std::vector<TCabinetChange> plan;
  if (assigned) *assigned = 0;
  if (!IsValidOf(db, cabinet, icCabinet)) return plan;
  TItemList keys;
  db.ListClass(icKey, keys);
  for (int32_t i = 0; i < keys.Count(); ++i) {
    const int32_t key = keys.Get(i);
    if (db.ReadKeySystem(key) != code) continue;
    TItemList cabinets;
    db.ReadLinks(key, icCabinet, cabinets);
    if (onlyOrphans && cabinets.Count() > 0) continue;
    if (assigned) ++*assigned;
    TCabinetChange change;
    change.key = key;
    change.linkNew = cabinets.IndexOf(cabinet) < 0 || !db.ReadHasLink(cabinet, icKey, key);
    for (int32_t j = 0; j < cabinets.Count(); ++j)
      if (cabinets.Get(j) != cabinet) change.dropped.push_back(cabinets.Get(j));
    if (change.linkNew || !change.dropped.empty()) plan.push_back(std::move(change));
  }
  return plan;
}

int ChangeKeySystem(TMiniDB& db, TKeySystemCode from, TKeySystemCode to,
                    const TBulkProgress& progress) {
  if (from == to) return 0;
  TBulkWrite run(db);
  if (!run.Ok()) {
    TellRefused(db, run.Blocking());
    return kRefused;
  }
  run.SetProgress(progress);
  const std::vector<TFieldChange> plan = PlanKeySystemChange(db, from, to);
  const int64_t total = static_cast<int64_t>(plan.size());
  for (int64_t i = 0; i < total; ++i) {
    if ((i & 63) == 0 && !run.Step(i, total)) break;
    const TFieldChange& c = plan[static_cast<size_t>(i)];
    if (c.to.empty())
      db.DeleteField(c.id, c.field);
    else
      db.SetField(c.id, c.field, c.to);
  }
  return Finish(run, static_cast<int>(plan.size()));
}

int AssignKeysToCabinet(TMiniDB& db, TKeySystemCode code, int32_t cabinet, bool onlyOrphans,
                        const TBulkProgress& progress) {
  if (!IsValidOf(db, cabinet, icCabinet)) {
    UI().ShowMessage(TMsgKind::Error, CabinetToolText(4));
    return kRefused;
  }
  TBulkWrite run(db);
  if (!run.Ok()) {
    TellRefused(db, run.Blocking());
    return kRefused;
  }
  // Gone meanwhile on the fresh data: nothing to link to.
  if (!IsValidOf(db, cabinet, icCabinet)) return kRefused;
  run.SetProgress(progress);
  int assigned = 0;
  const std::vector<TCabinetChange> plan =
      PlanCabinetAssignment(db, code, cabinet, onlyOrphans, &assigned);
  const int64_t total = static_cast<int64_t>(plan.size());
  for (int64_t i = 0; i < total; ++i) {
    if ((i & 63) == 0 && !run.Step(i, total)) break;
    const TCabinetChange& c = plan[static_cast<size_t>(i)];
    for (int32_t old : c.dropped) db.RemoveLinkBoth(c.key, old, icCabinet, icKey);
    if (c.linkNew) db.AddLinkBoth(c.key, cabinet, icCabinet, icKey);
  }
  // Keys that had the cabinet already count as assigned; with nothing to change there is
  // nothing to save.
  if (plan.empty()) {
    run.Rollback();
    return assigned;
  }
  const int saved = Finish(run, static_cast<int>(plan.size()));
  return saved > 0 ? assigned : saved;
}

namespace {

// The result messages of the tools; true when records were changed. A refusal was told by
// the run, a cancel needs no word.
bool TellKsToolResult(int count) {
  if (count == 0) UI().ShowMessage(TMsgKind::Info, KsToolText(3));
  if (count <= 0) return false;
  UI().ShowMessage(TMsgKind::Info, GetMLTextFmt(KsToolTexts(), 1, std::to_string(count)) +
                                              "\r" + KsToolText(2));
  return true;
}

bool TellCabinetToolResult(int count) {
  if (count == 0) UI().ShowMessage(TMsgKind::Info, CabinetToolText(3));
  if (count <= 0) return false;
  UI().ShowMessage(TMsgKind::Info,
                   GetMLTextFmt(CabinetToolTexts(), 2, std::to_string(count)));
  return true;
}

}  // namespace

bool RunKsTool(TMiniDB& db, TKeySystemCode from, TKeySystemCode to,
               const TBulkProgress& progress) {
  if (RightDenied(rtBuildings) || from == to) return false;
  if (UI().Ask(TMsgKind::Confirmation, KsToolText(4), TAskButtons::YesCancel) != mrYes)
    return false;
  return TellKsToolResult(ChangeKeySystem(db, from, to, progress));
}

bool RunCabinetTool(TMiniDB& db, TKeySystemCode code, int32_t cabinet, bool onlyOrphans,
                    const TBulkProgress& progress) {
  if (RightDenied(rtBuildings)) return false;
  if (UI().Ask(TMsgKind::Confirmation, CabinetToolText(1), TAskButtons::YesCancel) != mrYes)
    return false;
  return TellCabinetToolResult(AssignKeysToCabinet(db, code, cabinet, onlyOrphans, progress));
}

// ---------------------------------------------------------------------------------------
// Choosing a locking system.

TKsSelForm::TKsSelForm(QWidget* parent) : QDialog(parent) {
  setObjectName("KsSelForm");
  setWindowTitle(ToQString("Schlie\xDF" "anlage w\xE4hlen"));
  auto* outer = new QVBoxLayout(this);
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->setWordWrap(true);
  // The caller's text, already in the user's language.
  SetNoTranslate(Label1);
  outer->addWidget(Label1);
  KsCombo = new QComboBox(this);
  KsCombo->setObjectName("KsCombo");
  KsCombo->setMinimumWidth(320);
  SetNoTranslate(KsCombo);
  outer->addWidget(KsCombo);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OkBtn = new QPushButton(ToQString("OK"), this);
  OkBtn->setObjectName("OkBtn");
  OkBtn->setDefault(true);
  CancelBtn = new QPushButton(ToQString("Abbrechen"), this);
  CancelBtn->setObjectName("CancelBtn");
  buttons->addWidget(OkBtn);
  buttons->addWidget(CancelBtn);
  outer->addLayout(buttons);
  connect(OkBtn, &QPushButton::clicked, this, [this] { OkBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  TranslateForm(this);
}

void TKsSelForm::FillSystems(TKeySystemCode preselect) {
  KsCombo->clear();
  FillLockingSystemCombo(KsCombo, true);
  SelectComboById(KsCombo, preselect);
}

TKeySystemCode TKsSelForm::Chosen() const {
  const int index = KsCombo->currentIndex();
  return index < 0 ? ksNone : ComboItemId(KsCombo, index);
}

void TKsSelForm::OkBtnClick() {
  if (Chosen() != ksNone) accept();
}

TKeySystemCode SelectKeySystem(const std::string& caption, TKeySystemCode preselect) {
  TKsSelForm form;
  form.Label1->setText(ToQString(caption));
  form.FillSystems(preselect);
  if (ExecModal(form) != QDialog::Accepted) return ksNone;
  return form.Chosen();
}

// ---------------------------------------------------------------------------------------
// The dialogs of the two tools.

TRunProgress::TRunProgress(QWidget* host) : host_(host) {
  if (!host) return;
  disabled_ = DisableControls(host);
  panel_ = ShowWaitPanel(host, CoreText(45), MLTranslate("Abbrechen"));
}

TRunProgress::~TRunProgress() {
  delete panel_.data();
  if (host_) EnableControls(host_, disabled_);
}

TBulkProgress TRunProgress::Progress() {
  QPointer<TWaitPanel> panel = panel_;
  return [panel](int64_t done, int64_t total) {
    if (!panel) return true;
    panel->SetMax(static_cast<int>(std::min<int64_t>(total, INT32_MAX)));
    panel->SetPosition(static_cast<int>(std::min<int64_t>(done, INT32_MAX)));
    UI().ProcessPendingEvents();
    return !panel || !panel->Cancelled();
  };
}

namespace {

QPushButton* ToolButton(QWidget* parent, const char* caption, const char* name) {
  auto* b = new QPushButton(ToQString(caption), parent);
  b->setObjectName(name);
  return b;
}

QComboBox* CodeCombo(QWidget* parent, const char* name) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  combo->setMinimumWidth(240);
  SetNoTranslate(combo);
  return combo;
}

TKeySystemCode ChosenCode(const QComboBox* combo) {
  const int index = combo->currentIndex();
  return index < 0 ? ksNone : ComboItemId(combo, index);
}

QWidget* DialogParent() { return WinGlue().MainWindow ? WinGlue().MainWindow.data() : nullptr; }

}  // namespace

TKsToolForm::TKsToolForm(QWidget* parent) : QDialog(parent) {
  setObjectName("KsToolForm");
  setWindowTitle(ToQString("Schlie\xDF" "anlagen-Zuordnungen \xE4ndern"));
  auto* outer = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(ToQString("bisher"), this), 0, 0);
  KsOldCombo = CodeCombo(this, "KsOldCombo");
  grid->addWidget(KsOldCombo, 0, 1);
  grid->addWidget(new QLabel(ToQString("Ziel"), this), 1, 0);
  KsNewCombo = CodeCombo(this, "KsNewCombo");
  grid->addWidget(KsNewCombo, 1, 1);
  grid->setColumnStretch(1, 1);
  outer->addLayout(grid);
  outer->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  ChangeBtn = ToolButton(this, "Umstellen", "ChangeBtn");
  CloseBtn = ToolButton(this, "Schlie\xDF" "en", "CloseBtn");
  buttons->addWidget(ChangeBtn);
  buttons->addWidget(CloseBtn);
  outer->addLayout(buttons);
  resize(460, 190);
  connect(ChangeBtn, &QPushButton::clicked, this, [this] { ChangeBtnClick(); });
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
  TranslateForm(this);
}

void TKsToolForm::FillSystems() {
  for (QComboBox* combo : {KsOldCombo, KsNewCombo}) {
    combo->clear();
    FillLockingSystemCombo(combo, true);
    combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
  }
}

void TKsToolForm::ChangeBtnClick() {
  TMiniDB* db = SessionDB();
  if (!db) return;
  const TKeySystemCode from = ChosenCode(KsOldCombo), to = ChosenCode(KsNewCombo);
  if (from == to || RightDenied(rtBuildings)) return;
  if (UI().Ask(TMsgKind::Confirmation, KsToolText(4), TAskButtons::YesCancel) != mrYes) return;
  int count = 0;
  {
    TRunProgress progress(this);
    count = ChangeKeySystem(*db, from, to, progress.Progress());
  }
  if (!TellKsToolResult(count)) return;
  RefreshAllFrames();
  accept();
}

TCabinetToolForm::TCabinetToolForm(QWidget* parent) : QDialog(parent) {
  setObjectName("CabinetToolForm");
  setWindowTitle(ToQString("Schl\xFCssel und Schl\xFCsselschr\xE4nke"));
  auto* outer = new QVBoxLayout(this);
  Label1 = new QLabel(
      ToQString("Alle Schl\xFCssel einer Schlie\xDF" "anlage zu einem Schl\xFCsselschrank zuordnen."),
      this);
  Label1->setObjectName("Label1");
  Label1->setWordWrap(true);
  outer->addWidget(Label1);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(ToQString("Schlie\xDF" "anlage"), this), 0, 0);
  KsCombo = CodeCombo(this, "KsCombo");
  grid->addWidget(KsCombo, 0, 1);
  grid->addWidget(new QLabel(ToQString("Schl\xFCsselschrank"), this), 1, 0);
  CabCombo = CodeCombo(this, "CabCombo");
  grid->addWidget(CabCombo, 1, 1);
  grid->setColumnStretch(1, 1);
  outer->addLayout(grid);
  OnlyOrphansCheck =
      new QCheckBox(ToQString("nur Schl\xFCssel, die noch keinem Schrank angeh\xF6ren"), this);
  OnlyOrphansCheck->setObjectName("OnlyOrphansCheck");
  outer->addWidget(OnlyOrphansCheck);
  outer->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  ChangeBtn = ToolButton(this, "Ausf\xFChren", "ChangeBtn");
  CloseBtn = ToolButton(this, "Schlie\xDF" "en", "CloseBtn");
  buttons->addWidget(ChangeBtn);
  buttons->addWidget(CloseBtn);
  outer->addLayout(buttons);
  resize(480, 230);
  connect(ChangeBtn, &QPushButton::clicked, this, [this] { ChangeBtnClick(); });
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
  TranslateForm(this);
}

void TCabinetToolForm::FillLists() {
  KsCombo->clear();
  FillLockingSystemCombo(KsCombo, true);
  KsCombo->setCurrentIndex(KsCombo->count() > 0 ? 0 : -1);
  CabCombo->clear();
  TItemList cabinets;
  if (TMiniDB* db = SessionDB()) db->ListClassValid(icCabinet, cabinets);
  FillListFromItemList(CabCombo, cabinets, false, 0);
  CabCombo->setCurrentIndex(CabCombo->count() > 0 ? 0 : -1);
}

void TCabinetToolForm::ChangeBtnClick() {
  TMiniDB* db = SessionDB();
  if (!db || RightDenied(rtBuildings)) return;
  const TKeySystemCode code = ChosenCode(KsCombo);
  const int32_t cabinet = ChosenCode(CabCombo);
  // Without a cabinet every key would lose its cabinet links: refused before the question.
  if (cabinet <= 0) {
    UI().ShowMessage(TMsgKind::Error, CabinetToolText(4));
    return;
  }
  if (UI().Ask(TMsgKind::Confirmation, CabinetToolText(1), TAskButtons::YesCancel) != mrYes)
    return;
  int count = 0;
  {
    TRunProgress progress(this);
    count = AssignKeysToCabinet(*db, code, cabinet, OnlyOrphansCheck->isChecked(),
                                progress.Progress());
  }
  if (!TellCabinetToolResult(count)) return;
  RefreshAllFrames();
  accept();
}

bool ExecuteKsTool() {
  if (RightDenied(rtBuildings)) return false;
  TKsToolForm form(DialogParent());
  form.FillSystems();
  return ExecModal(form) == QDialog::Accepted;
}

bool ExecuteCabinetTool() {
  if (RightDenied(rtBuildings)) return false;
  TCabinetToolForm form(DialogParent());
  form.FillLists();
  return ExecModal(form) == QDialog::Accepted;
}
