#include "views/DBExportUnit.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

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

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// `line` starts with "name=" (the name's ASCII letters in any case).
bool HeaderIs(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != '=') return false;
  for (size_t k = 0; k < name.size(); ++k)
    if (UpperAscii(line[k]) != UpperAscii(name[k])) return false;
  return true;
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

// Where a line holds commas and double quotes, one bit per byte, found eight bytes at a time.
struct TLineMarks {
  std::vector<uint64_t> commas, quotes;
  size_t n = 0;

  void Mark(std::string_view line) {
    n = line.size();
    const size_t words = (n + 63) / 64;
    commas.assign(words, 0);
    quotes.assign(words, 0);
    const char* s = line.data();
    size_t i = 0;
    // The eight bytes of a word are read in memory order only where the lowest byte comes
    // first; elsewhere the byte loop below does it all.
    if constexpr (std::endian::native == std::endian::little)
      for (; i + 8 <= n; i += 8) {
        uint64_t v;
        std::memcpy(&v, s + i, 8);
        commas[i >> 6] |= Bytes(v, 0x2C2C2C2C2C2C2C2Cull) << (i & 63);
        quotes[i >> 6] |= Bytes(v, 0x2222222222222222ull) << (i & 63);
      }
    for (; i < n; ++i) {
      if (s[i] == ',') commas[i >> 6] |= uint64_t{1} << (i & 63);
      if (s[i] == '"') quotes[i >> 6] |= uint64_t{1} << (i & 63);
    }
  }
  // The first marked byte at or after `from`, or n.
  size_t Next(const std::vector<uint64_t>& bits, size_t from) const {
    size_t w = from >> 6;
    if (from >= n) return n;
    uint64_t m = bits[w] & (~uint64_t{0} << (from & 63));
    while (m == 0) {
      if (++w >= bits.size()) return n;
      m = bits[w];
    }
    return (w << 6) + static_cast<size_t>(std::countr_zero(m));
  }

 private:
  // One bit per byte of the (little-endian) word `v` that equals the byte of `pattern`,
  // without carries between bytes, so every bit is exact.
  static uint64_t Bytes(uint64_t v, uint64_t pattern) {
    const uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    const uint64_t x = v ^ pattern;
    const uint64_t zero = ~(((x & low7) + low7) | x | low7);  // 0x80 where the byte is 0
    return ((zero >> 7) * 0x0102040810204080ull) >> 56;
  }
};

// Appends a record line to `out` without its items whose key is one of `keys` (ignoring
// case), keeping every other item byte for byte: no item is read, unquoted or written again.
void AppendWithoutItems(std::string& out, std::string_view line,
                        std::span<const std::string_view> keys, TLineMarks& marks) {
  const size_t base = out.size();
  const size_t n = line.size();
  const char* const s = line.data();
  marks.Mark(line);
  bool dropped = false;
  size_t p = 0;
  while (p < n) {
    const size_t start = p;
    const size_t keyStart = s[p] == '"' ? p + 1 : p;
    if (s[p] == '"') {
      // To the closing quote; doubled quotes are part of the item.
      size_t q = p + 1;
      for (;;) {
        q = marks.Next(marks.quotes, q);
        if (q >= n || q + 1 >= n || s[q + 1] != '"') break;
        q += 2;
      }
      p = q >= n ? n : q + 1;
    }
    p = marks.Next(marks.commas, p);
    bool drop = false;
    for (std::string_view key : keys) {
      if (keyStart + key.size() >= p || s[keyStart + key.size()] != '=') continue;
      size_t k = 0;
      while (k < key.size() && UpperAscii(s[keyStart + k]) == UpperAscii(key[k])) ++k;
      if (k == key.size()) drop = true;
    }
    if (drop && !dropped) {
      dropped = true;
      out.append(s, start > 0 ? start - 1 : 0);
    } else if (!drop && dropped) {
      if (out.size() > base) out += ',';
      out.append(s + start, p - start);
    }
    if (p < n) ++p;  // the comma
  }
  if (!dropped) out.append(line);
}

void AppendNumber(std::string& out, int32_t value) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

bool FileThere(const std::string& path) {
  TPfInfo info;
  return PfLstat(path, info) == 0 && info.kind != TPfKind::Missing;
}

QPointer<TDBExportForm> gDBExportForm;

}  // namespace

std::string DBExportText(int number) { return GetMLText(DBExportTexts(), number); }

std::string DBExportBytes(TMiniDB& db, int flags, const std::string& userName,
                          const std::string& password) {
  db.Commit();
  // One pass over the store's own lines into one buffer: nothing of the store is copied
  // or changed, and a line that stays as it is costs one append.
  size_t size = 64 + 4 * (userName.size() + password.size());
  for (const std::string& line : db.Lines) size += line.size() + 2;
  std::string out;
  out.reserve(size);
  const int32_t lastId = db.LastID + ((flags & dbxNewUser) ? 1 : 0);
  const std::string lastLine = "LastID=" + std::to_string(lastId);
  bool haveLast = false;
  const bool anonymise =
      (flags & (dbxPersonNames | dbxPersonDept | dbxPersonNr | dbxPersonRemark)) != 0;
  // Holder lines and links to persons or users go from every record.
  std::string_view dropKeys[2];
  size_t dropCount = 0;
  if (flags & dbxNoPersons) {
    dropKeys[dropCount++] = fkHolders;
    dropKeys[dropCount++] = "l5";
  }
  const std::span<const std::string_view> drop(dropKeys, dropCount);
  int personNumber = 0;
  std::vector<std::string> items;
  std::vector<std::string> scratch;
  std::string personLine;
  TLineMarks marks;
  for (const std::string& line : db.Lines) {
    const size_t mark = out.size();
    TLineInfo info;
    if (flags != 0) {
      if (HeaderIs(line, kPendingHistoryHeader)) continue;
      ScanRecordLine(line, scratch, info);
    }
    if (info.id < 1) {
      out += line;
    } else if (info.cls == icUser && (flags & dbxNoUsers)) {
      // A removed user stays as a deleted "User" without password: his links on both sides
      // stay as they are, so the copy opens without one-sided links.
      ParseCommaText(line, items);
      SetItem(items, fkName, ScrambleStr("User"));
      SetItem(items, "v", "0");
      DropKeys(items, {"pw"});
      out += BuildCommaText(items);
    } else if (info.cls == icPerson && (flags & dbxNoPersons)) {
      // A removed person keeps only what marks its ID as taken.
      out += "i=";
      AppendNumber(out, info.id);
      out += ",c=";
      AppendNumber(out, info.cls);
      out += ",v=0";
    } else if (info.cls == icPerson && anonymise) {
      personLine.clear();
      AppendWithoutItems(personLine, line, drop, marks);
      ParseCommaText(personLine, items);
      if (flags & dbxPersonNames) {
        SetItem(items, fkName, ScrambleStr("Person" + std::to_string(++personNumber)));
        DropKeys(items, {fkSecondName});
      }
      if (flags & dbxPersonDept) DropKeys(items, {fkDepartment});
      if (flags & dbxPersonNr) DropKeys(items, {fkPersonNumber});
      if (flags & dbxPersonRemark) DropKeys(items, {fkRemark});
      out += BuildCommaText(items);
    } else if (dropCount > 0) {
      AppendWithoutItems(out, line, drop, marks);
    } else {
      out += line;
    }
    if (out.size() == mark) continue;  // empty lines are left out
    if (!haveLast && HeaderIs(std::string_view(out).substr(mark), "LastID")) {
      out.resize(mark);
      out += lastLine;
      haveLast = true;
    }
    out += "\r\n";
  }
  if (flags & dbxNewUser) {
    out += BuildCommaText({"i=" + std::to_string(lastId), "c=" + std::to_string(icUser),
                           std::string(fkName) + "=" + ScrambleStr(Trim(userName)),
                           "pw=" + ScrambleStr(AnsiUpperCase(Trim(password)))});
    out += "\r\n";
  }
  if (!haveLast) {
    out += lastLine;
    out += "\r\n";
  }
  return out;
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
  return SaveBytesFileSafe(DBExportBytes(db, flags, userName, password), target, false);
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
