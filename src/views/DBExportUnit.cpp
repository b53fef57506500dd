#include "views/DBExportUnit.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/SLUnit.h"
#include "basic/ValueString.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "output/MailUnit.h"
#include "platform/PlatformFiles.h"

const TMLStringList* DBExportTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("DBExportForm", 0);
    t->Add255Obj("Eine Datei namens %1 existiert bereits.", 1);
    t->Add255Obj("Bitte w\xE4hlen Sie einen anderen Namen.", 2);
    t->Add255Obj("Fotos, Grundrisse und das Protokoll sind in der exportierten Datenbank nicht "
                 "enthalten.",
                 4);
    return t;
  }();
  return table;
}

namespace {

std::string KeyOfItem(const std::string& item) { return item.substr(0, item.find('=')); }

bool IsKey(const std::string& item, const char* key) {
  return AnsiSameText(KeyOfItem(item), key) && item.size() > std::char_traits<char>::length(key) &&
         item[std::char_traits<char>::length(key)] == '=';
}

bool HeaderIs(const std::string& line, const char* name) {
  const size_t n = std::char_traits<char>::length(name);
  return line.size() > n && line[n] == '=' && AnsiSameText(line.substr(0, n), name);
}

void DropKeys(std::vector<std::string>& items, std::initializer_list<const char*> keys) {
  std::erase_if(items, [&](const std::string& item) {
    for (const char* key : keys)
      if (IsKey(item, key)) return true;
    return false;
  });
}

void SetItem(std::vector<std::string>& items, const char* key, const std::string& stored) {
  for (std::string& item : items)
    if (IsKey(item, key)) {
      item = std::string(key) + "=" + stored;
      return;
    }
  items.push_back(std::string(key) + "=" + stored);
}

// Drops the items of a record line whose key is one of `keys` (ignoring case), keeping every
// other item byte for byte: no item is read, unquoted or written again. True when one was
// dropped.
bool DropRawItems(std::string& line, std::initializer_list<std::string_view> keys) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  const size_t n = line.size();
  std::string out;
  bool dropped = false;
  size_t p = 0;
  while (p < n) {
    const size_t start = p;
    const size_t keyStart = line[p] == '"' ? p + 1 : p;
    if (line[p] == '"') {
      size_t q = p + 1;
      for (;;) {
        q = line.find('"', q);
        if (q == std::string::npos || q + 1 >= n || line[q + 1] != '"') break;
        q += 2;
      }
      p = q == std::string::npos ? n : q + 1;
    }
    const size_t comma = line.find(',', p);
    p = comma == std::string::npos ? n : comma;
    bool drop = false;
    for (std::string_view key : keys) {
      if (keyStart + key.size() >= p || line[keyStart + key.size()] != '=') continue;
      size_t k = 0;
      while (k < key.size() && upper(line[keyStart + k]) == upper(key[k])) ++k;
      if (k == key.size()) drop = true;
    }
    if (drop && !dropped) {
      dropped = true;
      out.reserve(n);
      out.assign(line, 0, start > 0 ? start - 1 : 0);
    } else if (!drop && dropped) {
      if (!out.empty()) out += ',';
      out.append(line, start, p - start);
    }
    if (p < n) ++p;  // the comma
  }
  if (dropped) line.swap(out);
  return dropped;
}

bool FileThere(const std::string& path) {
  TPfInfo info;
  return PfLstat(path, info) == 0 && info.kind != TPfKind::Missing;
}

QPointer<TDBExportForm> gDBExportForm;

}  // namespace

std::string DBExportText(int number) { return GetMLText(DBExportTexts(), number); }

std::vector<std::string> DBExportLines(TMiniDB& db, int flags, const std::string& userName,
                                       const std::string& password) {
  db.Commit();
  std::vector<std::string> lines = db.Lines;
  int32_t lastId = db.LastID;
  int personNumber = 0;
  std::vector<std::string> items;
  std::vector<std::string> scratch;
  for (std::string& line : lines) {
    if (flags != 0 && HeaderIs(line, kPendingHistoryHeader)) {
      line.clear();
      continue;
    }
    if (flags == 0) continue;
    TLineInfo info;
    ScanRecordLine(line, scratch, info);
    if (info.id < 1) continue;
    const std::string head = "i=" + std::to_string(info.id) + ",c=" + std::to_string(info.cls);
    if (info.cls == icPerson && (flags & dbxNoPersons)) {
      line = head + ",v=0";
      continue;
    }
    if (info.cls == icUser && (flags & dbxNoUsers)) {
      line = head + ",v=0";
      continue;
    }
    // Holder lines and links to persons or users go from every record; nothing else of a
    // line is read or written again.
    if (flags & dbxNoPersons) DropRawItems(line, {fkHolders, "l5"});
    if (flags & dbxNoUsers) DropRawItems(line, {"l1"});
    if (info.cls != icPerson || (flags & (dbxPersonNames | dbxPersonDept | dbxPersonNr |
                                          dbxPersonRemark)) == 0)
      continue;
    ParseCommaText(line, items);
    bool changed = false;
    {
      if (flags & dbxPersonNames) {
        SetItem(items, fkName, ScrambleStr("Person" + std::to_string(++personNumber)));
        DropKeys(items, {fkSecondName});
        changed = true;
      }
      if (flags & dbxPersonDept) DropKeys(items, {fkDepartment});
      if (flags & dbxPersonNr) DropKeys(items, {fkPersonNumber});
      if (flags & dbxPersonRemark) DropKeys(items, {fkRemark});
      changed = changed || (flags & (dbxPersonDept | dbxPersonNr | dbxPersonRemark)) != 0;
    }
    if (changed) line = BuildCommaText(items);
  }
  std::erase_if(lines, [](const std::string& line) { return line.empty(); });
  if (flags & dbxNewUser) {
    ++lastId;
    lines.push_back(BuildCommaText({"i=" + std::to_string(lastId), "c=" + std::to_string(icUser),
                                    std::string(fkName) + "=" + ScrambleStr(Trim(userName)),
                                    "pw=" + ScrambleStr(AnsiUpperCase(Trim(password)))}));
  }
  bool haveLast = false;
  for (std::string& line : lines)
    if (HeaderIs(line, "LastID")) {
      line = "LastID=" + std::to_string(lastId);
      haveLast = true;
      break;
    }
  if (!haveLast) lines.push_back("LastID=" + std::to_string(lastId));
  return lines;
}

std::string DBExportTarget(const std::string& chosen, int flags) {
  std::string base = chosen;
  const size_t slash = base.rfind('/');
  const size_t dot = base.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) base.resize(dot);
  return base + (flags != 0 ? ".adaX" : ".ada");
}

bool WriteDBExport(TMiniDB& db, int flags, const std::string& target,
                   const std::string& userName, const std::string& password) {
  if (!db.Opened || target.empty() || AnsiSameText(target, db.FileName)) return false;
  return SaveTextFileSafe(DBExportLines(db, flags, userName, password), target, false);
}

// =======================================================================================

TDBExportForm::TDBExportForm(QWidget* parent) : QDialog(parent) {
  setObjectName("DBExportForm");
  setWindowTitle(ToQString("Datenbank exportieren"));
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(new QLabel(ToQString("Daten-Export"), this));
  WithPersonsRadio = new QRadioButton(ToQString("inklusive Personen"), this);
  WithPersonsRadio->setObjectName("WithPersonsRadio");
  WOPersonsRadio = new QRadioButton(ToQString("ohne Personen"), this);
  WOPersonsRadio->setObjectName("WOPersonsRadio");
  AnoPersonsRadio = new QRadioButton(ToQString("Personen anonymisieren"), this);
  AnoPersonsRadio->setObjectName("AnoPersonsRadio");
  AnoDeptCheck = new QCheckBox(ToQString("Abteilung entfernen"), this);
  AnoDeptCheck->setObjectName("AnoDeptCheck");
  AnoNrCheck = new QCheckBox(ToQString("Nr. entfernen"), this);
  AnoNrCheck->setObjectName("AnoNrCheck");
  AnoRemCheck = new QCheckBox(ToQString("Bemerkungen entfernen"), this);
  AnoRemCheck->setObjectName("AnoRemCheck");
  AnoNamesCheck = new QCheckBox(ToQString("Namen ersetzen (Person1, Person2, ...)"), this);
  AnoNamesCheck->setObjectName("AnoNamesCheck");
  DelUsersCheck = new QCheckBox(ToQString("Benutzer und Passworte entfernen"), this);
  DelUsersCheck->setObjectName("DelUsersCheck");
  NewUserCheck = new QCheckBox(ToQString("Neues Passwort einsetzen"), this);
  NewUserCheck->setObjectName("NewUserCheck");
  UserEd = new QLineEdit(this);
  UserEd->setObjectName("UserEd");
  UserEd->setPlaceholderText(ToQString("Benutzer"));
  PWEd = new QLineEdit(this);
  PWEd->setObjectName("PWEd");
  PWEd->setPlaceholderText(ToQString("Passwort"));
  SendMailCheck = new QCheckBox(ToQString("Exportierte Datei per E-Mail versenden"), this);
  SendMailCheck->setObjectName("SendMailCheck");
  StaticText = new QLabel(ToQString(DBExportText(4)), this);
  StaticText->setWordWrap(true);
  for (QWidget* w : std::initializer_list<QWidget*>{WithPersonsRadio, WOPersonsRadio,
                                                    AnoPersonsRadio})
    outer->addWidget(w);
  for (QWidget* w :
       std::initializer_list<QWidget*>{AnoDeptCheck, AnoNrCheck, AnoRemCheck, AnoNamesCheck}) {
    auto* row = new QHBoxLayout;
    row->addSpacing(20);
    row->addWidget(w);
    outer->addLayout(row);
  }
  outer->addWidget(DelUsersCheck);
  outer->addWidget(NewUserCheck);
  auto* userRow = new QHBoxLayout;
  userRow->addWidget(new QLabel(ToQString("Benutzer"), this));
  userRow->addWidget(UserEd);
  userRow->addWidget(new QLabel(ToQString("Passwort"), this));
  userRow->addWidget(PWEd);
  outer->addLayout(userRow);
  outer->addWidget(SendMailCheck);
  outer->addWidget(StaticText);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  SaveBtn = new QPushButton(ToQString("Speichern unter ..."), this);
  SaveBtn->setObjectName("SaveBtn");
  CancelBtn = new QPushButton(ToQString("Abbrechen"), this);
  CancelBtn->setObjectName("CancelBtn");
  buttons->addWidget(SaveBtn);
  buttons->addWidget(CancelBtn);
  outer->addLayout(buttons);
  WithPersonsRadio->setChecked(true);
  // Unticked, every user's password would leave with the file.
  DelUsersCheck->setChecked(true);
  RadioClick();
  for (QRadioButton* r : {WithPersonsRadio, WOPersonsRadio, AnoPersonsRadio})
    connect(r, &QRadioButton::toggled, this, [this] { RadioClick(); });
  connect(UserEd, &QLineEdit::editingFinished, this, [this] { UserEdExit(); });
  connect(PWEd, &QLineEdit::editingFinished, this, [this] { UserEdExit(); });
  connect(SaveBtn, &QPushButton::clicked, this, [this] { SaveBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
  TranslateForm(this);
}

void TDBExportForm::RadioClick() {
  const bool ano = AnoPersonsRadio->isChecked();
  for (QCheckBox* c : {AnoDeptCheck, AnoNrCheck, AnoRemCheck, AnoNamesCheck}) c->setEnabled(ano);
}

void TDBExportForm::UserEdExit() {
  if (!Trim(FromQString(UserEd->text()) + FromQString(PWEd->text())).empty())
    NewUserCheck->setChecked(true);
}

int TDBExportForm::Flags() {
  int flags = 0;
  if (AnoPersonsRadio->isChecked()) {
    if (AnoNamesCheck->isChecked()) flags |= dbxPersonNames;
    if (AnoDeptCheck->isChecked()) flags |= dbxPersonDept;
    if (AnoNrCheck->isChecked()) flags |= dbxPersonNr;
    if (AnoRemCheck->isChecked()) flags |= dbxPersonRemark;
    if (flags == 0) WithPersonsRadio->setChecked(true);
  } else if (WOPersonsRadio->isChecked()) {
    flags = 31;
  }
  if (DelUsersCheck->isChecked()) flags |= dbxNoUsers;
  if (NewUserCheck->isChecked()) flags |= dbxNewUser;
  return flags;
}

std::string TDBExportForm::ChooseFile() {
  QFileDialog dialog(this, ToQString("Datenbank exportieren"));
  dialog.setObjectName("SaveDialog");
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(ToQString(CoreText(103)) + " (*.ada*)");
  dialog.setDefaultSuffix(QStringLiteral("ada"));
  dialog.selectFile(QStringLiteral("Data.ada"));
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return FromQString(dialog.selectedFiles().first());
}

bool TDBExportForm::SaveBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db) return false;
  const bool anonymiseNothing =
      AnoPersonsRadio->isChecked() && !AnoNamesCheck->isChecked() && !AnoDeptCheck->isChecked() &&
      !AnoNrCheck->isChecked() && !AnoRemCheck->isChecked();
  const int flags = Flags();
  // "Personen anonymisieren" with nothing to anonymise: the choice is set back, nothing saved.
  if (anonymiseNothing) return false;
  const std::string chosen = ChooseFile();
  if (chosen.empty()) return false;
  SaveBtn->setEnabled(false);
  const std::string target = DBExportTarget(chosen, flags);
  if (FileThere(target)) {
    ShowError(GetMLTextFmt(DBExportTexts(), 1, target) + "\r" + DBExportText(2));
    SaveBtn->setEnabled(true);
    return false;
  }
  if (!WriteDBExport(*db, flags, target, FromQString(UserEd->text()), FromQString(PWEd->text()))) {
    ShowError(CoreText(74));
    SaveBtn->setEnabled(true);
    return false;
  }
  SaveBtn->setEnabled(true);
  accept();
  if (SendMailCheck->isChecked())
    SendMailWithAttachment("", "", "", "", "", "", target, target.substr(target.rfind('/') + 1),
                           true);
  return true;
}

void ShowDBExport() {
  if (!gDBExportForm) gDBExportForm = new TDBExportForm(WinGlue().MainWindow.data());
  ExecModal(*gDBExportForm);
}
