#include "views/RenameUnit.h"

#include <utility>
#include <vector>

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/HistoryUnit.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"
#include "data/SampleDataUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

bool RenamedPersonName(const std::string& name, std::string& renamed) {
  const std::string trimmed = Trim(name);
  if (trimmed.find(',') != std::string::npos) return false;
  const size_t blank = trimmed.find(' ');
  if (blank == std::string::npos || blank == 0) return false;
  const std::string last = Trim(trimmed.substr(blank + 1));
  if (last.empty()) return false;
  renamed = last + ", " + trimmed.substr(0, blank);
  return true;
}

int MassRenamePersons(TMiniDB& db, bool quiet) {
  if (!quiet && CheckPendingInput()) return -1;
  if (RightDenied(rtPersons)) return -1;
  TBulkWrite run(db);
  if (!run.Ok()) {
    if (!quiet) TellBulkRefused(db, run.Blocking());
    return -1;
  }
  struct TRename {
    int32_t id;
    std::string now, before;
  };
  std::vector<TRename> renamed;
  TItemList persons;
  db.ListClassValid(icPerson, persons);
  for (int32_t i = 0; i < persons.Count(); ++i) {
    const int32_t id = persons.Get(i);
    const std::string old = db.ReadLineField(id, fkName);
    std::string now;
    if (!RenamedPersonName(old, now) || now == old) continue;
    db.SetField(id, fkName, now);
    renamed.push_back({id, std::move(now), old});
  }
  if (renamed.empty()) {
    run.Rollback();
    return 0;
  }
  const int count = static_cast<int>(renamed.size());
  run.AfterSave([renamed = std::move(renamed)] {
    THistory& history = History();
    for (const TRename& r : renamed) history.Ren(icPerson, r.id, r.now, r.before);
  });
  db.Modified = true;
  return run.Commit() == TBulkResult::Saved ? count : -1;
}

int MassRenamePersons(bool quiet) {
  TMiniDB* db = SessionDB();
  return db ? MassRenamePersons(*db, quiet) : -1;
}

TRenameForm::TRenameForm(QWidget* parent) : QDialog(parent) {
  setObjectName("RenameForm");
  setWindowTitle(ToQString("Massenumbenennung"));
  auto* outer = new QVBoxLayout(this);
  Label1 = new QLabel(ToQString("Personen"), this);
  Label1->setObjectName("Label1");
  outer->addWidget(Label1);
  RenamePersonsBtn = new QPushButton(ToQString("Vorname Nachname  >>  Nachname, Vorname"), this);
  RenamePersonsBtn->setObjectName("RenamePersonsBtn");
  outer->addWidget(RenamePersonsBtn);
  auto* foot = new QHBoxLayout;
  foot->addStretch();
  EscBtn = new QPushButton(ToQString("Abbrechen"), this);
  EscBtn->setObjectName("EscBtn");
  foot->addWidget(EscBtn);
  outer->addLayout(foot);
  connect(RenamePersonsBtn, &QPushButton::clicked, this, [this] { RenamePersonsBtnClick(); });
  connect(EscBtn, &QPushButton::clicked, this, &QDialog::reject);
  TranslateForm(this);
}

void TRenameForm::RenamePersonsBtnClick() {
  std::string question = MLTranslate("Alle Datens\xE4tze (%1) jetzt umbenennen?");
  const size_t at = question.find("%1");
  if (at != std::string::npos) question.replace(at, 2, PersonTerm());
  if (AskYesCancel(question) != mrYes) return;
  if (MassRenamePersons(false) < 1)
    reject();
  else
    accept();
}

bool ShowRenameForm() {
  TRenameForm form;
  return ExecModal(form) == QDialog::Accepted;
}
