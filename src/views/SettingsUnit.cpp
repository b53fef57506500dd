#include "views/SettingsUnit.h"

#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/BackupFrameUnit.h"
#include "app/BackupUnit.h"
#include "app/LoginUnit.h"
#include "app/MainFormUnit.h"
#include "app/ManualUnit.h"
#include "app/TessaroRestart.h"
#include "app/TextSettingsUnit.h"
#include "app/UnitTR100Win.h"
#include "app/WaitPanelUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/FolderBrowseUnit.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/HolderUnit.h"
#include "data/IniUnit.h"
#include "data/ItemList.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "views/SpecialDeleteUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/PrintSettingsUnit.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"
#include "views/KeyBoxUnit.h"

const TMLStringList* SettingsTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("SettingsForm", 0);
    t->Add255Obj("Angaben", 1);
    t->Add255Obj("Dateien", 2);
    t->Add255Obj("Drucken", 3);
    t->Add255Obj("Nach dem \xC4ndern des Verzeichnisses wird das Programm#13#beendet und muss von "
                 "Ihnen neu gestartet werden.",
                 5);
    t->Add255Obj("Die Daten-Dateien m\xFCssen zuvor von Hand umkopiert/verschoben werden.#13##13#"
                 "Wollen Sie trotzdem fortfahren?",
                 6);
    t->Add255Obj("Datenverzeichnis w\xE4hlen", 7);
    t->Add255Obj("Sicherungsverzeichnis w\xE4hlen", 8);
    t->Add255Obj("Mitarbeiter", 9);
    t->Add255Obj("Mieter", 10);
    t->Add255Obj("Kunden", 11);
    t->Add255Obj("Kennung", 13);
    t->Add255Obj("Kunden-Nr.", 14);
    t->Add255Obj("nie (immer Standard-Drucker);nur beim ersten Ausdruck;immer, f\xFCr jeden Druck",
                 15);
    t->Add255Obj("Es ist ein Neustart des Programms erforderlich, damit die Einstellungen aktiv "
                 "werden.",
                 16);
    t->Add255Obj("Sonstiges", 17);
    t->Add255Obj("Firmen", 18);
    t->Add255Obj("Bereich", 19);
    t->Add255Obj("Der Patch wurde erfolgreich durchgef\xFChrt.", 20);
    t->Add255Obj("Es brauchte keine \xC4nderung vorgenommen werden.", 21);
    t->Add255Obj("%1 Verkn\xFCpfungen wurden wiederhergestellt.", 22);
    t->Add255Obj("%1 Verkn\xFCpfungen wurden entfernt.", 23);
    return t;
  }();
  return table;
}

const TMLStringList* DirSelTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("DirSelForm", 0);
    t->Add255Obj("Der Pfad ist unvollst\xE4ndig oder konnte nicht angelegt werden.", 1);
    return t;
  }();
  return table;
}

const TMLStringList* KeySystemsTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("KeySystemsForm", 0);
    t->Add255Obj("Schlie\xDF" "anlage %1 wird noch verwendet#13#und muss einen Namen behalten.", 1);
    t->Add255Obj("Ein Name wird doppelt verwendet. Bitte \xE4ndern.", 2);
    return t;
  }();
  return table;
}

const TMLStringList* MandantTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("MandantForm", 0);
    t->Add255Obj("Die n\xE4" "chste Laufnummer muss eine Zahl ab 1 aufw\xE4rts sein.", 1);
    return t;
  }();
  return table;
}

namespace {

void TellBlocked(TMiniDB& db, const std::string& blocking) {
  if (blocking.empty() || blocking == "*")
    ShowLockFailed();
  else
    db.ShowLockedMessage(blocking, true);
}

// A whole number of 1 or more, nothing else.
bool ParseRunningNumber(const std::string& text, int64_t& number) {
  if (text.empty() || text.size() > 15) return false;
  number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return number >= 1;
}

QPointer<TSettingsForm> gSettingsForm;
QPointer<TDirSelForm> gDirSelForm;
QPointer<TKeySystemsForm> gKeySystemsForm;
QPointer<TMandantForm> gMandantForm;

bool FolderThere(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::Folder;
}

// The folder of a file name, with its trailing "/".
std::string FolderOfFile(const std::string& file) {
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

std::string WithCount(std::string text, int count) {
  const size_t at = text.find("%1");
  if (at != std::string::npos) text.replace(at, 2, std::to_string(count));
  return text;
}

QPushButton* Button(QWidget* parent, const char* caption, const char* name) {
  auto* b = new QPushButton(ToQString(caption), parent);
  b->setObjectName(name);
  return b;
}

}  // namespace

std::string SettingsText(int number) { return GetMLText(SettingsTexts(), number); }
std::string DirSelText(int number) { return GetMLText(DirSelTexts(), number); }
std::string KeySystemsText(int number) { return GetMLText(KeySystemsTexts(), number); }
std::string MandantText(int number) { return GetMLText(MandantTexts(), number); }

// =======================================================================================
// Without widgets.

std::set<int> KeySystemsInUse(const TMiniDB& db) {
  std::set<int> used;
  TItemList all;
  db.ListAll(all, true);
  for (int32_t i = 0; i < all.Count(); ++i) {
    const int32_t code = db.ReadKeySystem(all.Get(i));
    if (code >= ksFirstNamed && code <= ksLastNamed) used.insert(code);
  }
  return used;
}

TKeySystemNamesResult SaveKeySystemNamesFromDialog(TMiniDB& db,
                                                   std::array<std::string, 40>& names) {
  const std::set<int> used = KeySystemsInUse(db);
  for (int code = ksFirstNamed; code <= ksLastNamed; ++code) {
    std::string& name = names[static_cast<size_t>(code - 1)];
    name = Trim(name);
    if (name.empty() && used.count(code) != 0) {
      name = KeySystemTableName(code);
      ShowInfo(GetMLTextFmt(KeySystemsTexts(), 1, name));
    }
  }
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i].empty()) continue;
    for (size_t j = i + 1; j < names.size(); ++j)
      if (AnsiSameText(names[i], names[j])) {
        ShowError(KeySystemsText(2));
        return TKeySystemNamesResult::Duplicate;
      }
  }
  std::array<std::string, ksLastNamed + 1> before = Vocabulary().keySystemNames;
  bool saved = false;
  std::string blocking;
  {
    TStoreWrite write(db, {});
    if (!write.Ok()) {
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    } else {
      // The table is read from the file just read, so nothing another station named
      // meanwhile outside the dialog's 40 names is lost.
      ReadKeySystemNames(db);
      for (int code = ksFirstNamed; code <= ksLastNamed; ++code)
        Vocabulary().keySystemNames[static_cast<size_t>(code)] =
            CleanKeySystemName(names[static_cast<size_t>(code - 1)]);
      // A name the header cannot hold is refused there, with its message.
      saved = SaveKeySystemNames(db) && write.Commit();
    }
  }
  if (!blocking.empty()) TellBlocked(db, blocking);
  if (!saved) {
    Vocabulary().keySystemNames = before;
    db.ForgetHeaderChange(kKeySystemNamesHeader);
    return TKeySystemNamesResult::NotSaved;
  }
  LoadKeySystemNames(db);
  return TKeySystemNamesResult::Saved;
}

bool LoadMandantValues(TMiniDB& db, TMandantValues& values) {
  values = TMandantValues{};
  {
    // Read under the reservation, so the dialog starts from what the file holds; without
    // it the fields would start empty and a save would wipe the stored values.
    TStoreWrite write(db, {});
    if (!write.Ok()) {
      ShowLockFailed();
      return false;
    }
  }
  const int32_t settings = db.FindOrCreateSingleton(false);
  if (settings != 0) {
    values.name = db.GetField(settings, "MandantName");
    values.branch = db.GetField(settings, "MandantBranch");
  }
  values.nextSeqNo = NextFormSeqNo(db, false);
  if (values.nextSeqNo.empty()) values.nextSeqNo = "0001";
  return true;
}

bool SaveMandantValues(TMiniDB& db, const TMandantValues& values) {
  int64_t number = 0;
  if (!ParseRunningNumber(Trim(values.nextSeqNo), number)) {
    ShowError(MandantText(1));
    return false;
  }
  const int32_t settings = db.FindOrCreateSingleton(true);
  if (settings == 0) return false;
  std::string blocking;
  bool saved = false;
  {
    TStoreWrite write(db, {settings});
    if (!write.Ok()) {
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    } else {
      db.SetField(settings, "MandantName", Trim(values.name));
      db.SetField(settings, "MandantBranch", Trim(values.branch));
      db.SetField(settings, "FormSeqNo", std::to_string(number - 1));
      saved = write.Commit();
    }
  }
  if (!blocking.empty()) TellBlocked(db, blocking);
  return saved;
}

bool WriteDialogSetting(int level, const std::string& name, const std::string& value) {
  if (MandantState().SandboxMode) return true;
  return WriteSetting(level, name, value);
}

// =======================================================================================
// Folder dialog.

TDirSelForm::TDirSelForm(QWidget* parent) : QDialog(parent) {
  setObjectName("DirSelForm");
  auto* outer = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(ToQString("Pfad"), this));
  DirEd = new QLineEdit(this);
  DirEd->setObjectName("DirEd");
  row->addWidget(DirEd, 1);
  SeekBtn = Button(this, "durchsuchen ...", "SeekBtn");
  row->addWidget(SeekBtn);
  outer->addLayout(row);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OkBtn = Button(this, "OK", "OkBtn");
  CancelBtn = Button(this, "Abbrechen", "CancelBtn");
  buttons->addWidget(OkBtn);
  buttons->addWidget(CancelBtn);
  outer->addLayout(buttons);
  resize(520, 110);
  connect(OkBtn, &QPushButton::clicked, this, [this] { OkBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
  connect(SeekBtn, &QPushButton::clicked, this, [this] { SeekBtnClick(); });
  TranslateForm(this);
}

void TDirSelForm::OkBtnClick() {
  const std::string path = Trim(FromQString(DirEd->text()));
  if (!path.empty() && !FolderThere(path) && (PfMakeFolders(path) != 0 || !FolderThere(path))) {
    ShowError(DirSelText(1));
    return;
  }
  accept();
}

void TDirSelForm::SeekBtnClick() {
  std::string folder;
  if (BrowseForFolder(this, FromQString(windowTitle()), Trim(FromQString(DirEd->text())), false,
                      true, folder))
    DirEd->setText(ToQString(folder));
}

std::string AskDirectoryPath(const std::string& caption, const std::string& path) {
  if (!gDirSelForm) gDirSelForm = new TDirSelForm(WinGlue().MainWindow.data());
  gDirSelForm->setWindowTitle(ToQString(caption));
  gDirSelForm->DirEd->setText(ToQString(path));
  if (ExecModal(*gDirSelForm) != QDialog::Accepted) return {};
  return Trim(FromQString(gDirSelForm->DirEd->text()));
}

// =======================================================================================
// Locking-system names.

TKeySystemsForm::TKeySystemsForm(QWidget* parent) : QDialog(parent) {
  setObjectName("KeySystemsForm");
  setWindowTitle(ToQString(" Schlie\xDF" "anlagen"));
  auto* outer = new QVBoxLayout(this);
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("ScrollBox");
  scroll->setWidgetResizable(true);
  auto* inner = new QWidget(scroll);
  auto* grid = new QGridLayout(inner);
  for (int code = ksFirstNamed; code <= ksLastNamed; ++code) {
    grid->addWidget(new QLabel(QString::number(code), inner), code - 1, 0);
    auto* edit = new QLineEdit(inner);
    edit->setObjectName(QString("Edit%1").arg(code));
    edit->setProperty("tag", code);
    edit->setMaxLength(kKeySystemNameMaxLen);
    grid->addWidget(edit, code - 1, 1);
    Edits[static_cast<size_t>(code - 1)] = edit;
    connect(edit, &QLineEdit::textEdited, this, [this] { EditChange(); });
  }
  scroll->setWidget(inner);
  outer->addWidget(scroll, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  SaveBtn = Button(this, "OK", "SaveBtn");
  CancelBtn = Button(this, "Abbrechen", "CancelBtn");
  buttons->addWidget(SaveBtn);
  buttons->addWidget(CancelBtn);
  outer->addLayout(buttons);
  resize(300, 480);
  connect(SaveBtn, &QPushButton::clicked, this, [this] { SaveBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
  TranslateForm(this);
}

void TKeySystemsForm::LoadNames() {
  for (int code = ksFirstNamed; code <= ksLastNamed; ++code)
    Edits[static_cast<size_t>(code - 1)]->setText(ToQString(KeySystemTableName(code)));
  SaveBtn->setEnabled(false);
}

void TKeySystemsForm::EditChange() { SaveBtn->setEnabled(true); }

void TKeySystemsForm::SaveBtnClick() {
  SaveBtn->setEnabled(false);
  if (RightDenied(rtBuildings)) return;
  UI().ProcessPendingEvents();
  TMiniDB* db = GlueDB();
  if (!db) return;
  std::array<std::string, 40> names;
  for (size_t i = 0; i < names.size(); ++i) names[i] = FromQString(Edits[i]->text());
  const TKeySystemNamesResult result = SaveKeySystemNamesFromDialog(*db, names);
  for (size_t i = 0; i < names.size(); ++i) Edits[i]->setText(ToQString(names[i]));
  if (result != TKeySystemNamesResult::Saved) {
    SaveBtn->setEnabled(true);
    return;
  }
  RefreshAllFrames();
  accept();
}

bool ExecuteKeySystemsDialog() {
  // The names are shown whether or not they may be changed; saving asks again.
  (void)RightDenied(rtBuildings);
  if (!gKeySystemsForm) gKeySystemsForm = new TKeySystemsForm(WinGlue().MainWindow.data());
  gKeySystemsForm->LoadNames();
  return ExecModal(*gKeySystemsForm) == QDialog::Accepted;
}

// =======================================================================================
// Client data.

TMandantForm::TMandantForm(QWidget* parent) : QDialog(parent) {
  setObjectName("MandantForm");
  setWindowTitle(ToQString("Angaben zum Mandanten"));
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(ToQString("Bezeichnung:"), this), 0, 0);
  TitleEd = new QLineEdit(this);
  TitleEd->setObjectName("TitleEd");
  TitleEd->setToolTip(ToQString("Name des Mandanten bzw. des Standorts"));
  grid->addWidget(TitleEd, 0, 1);
  grid->addWidget(new QLabel(ToQString("Filiale Nr.:"), this), 1, 0);
  BranchEd = new QLineEdit(this);
  BranchEd->setObjectName("BranchEd");
  grid->addWidget(BranchEd, 1, 1);
  grid->addWidget(new QLabel(ToQString("N\xE4" "chste Lauf-Nr."), this), 2, 0);
  SeqNrEd = new QLineEdit(this);
  SeqNrEd->setObjectName("SeqNrEd");
  SeqNrEd->setMaxLength(15);
  SeqNrEd->setToolTip(ToQString("Laufende Nummer f\xFCr Formular-Ausdrucke (#SeqNumber#)"));
  grid->addWidget(SeqNrEd, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  SaveBtn = Button(this, "Speichern", "SaveBtn");
  CancelBtn = Button(this, "Abbrechen", "CancelBtn");
  buttons->addWidget(SaveBtn);
  buttons->addWidget(CancelBtn);
  grid->addLayout(buttons, 3, 0, 1, 2);
  resize(420, 150);
  connect(SaveBtn, &QPushButton::clicked, this, [this] { SaveBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
  TranslateForm(this);
}

void TMandantForm::SaveBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db) return;
  TMandantValues values{FromQString(TitleEd->text()), FromQString(BranchEd->text()),
                        FromQString(SeqNrEd->text())};
  if (SaveMandantValues(*db, values)) accept();
}

bool ExecuteMandantDialog() {
  TMiniDB* db = GlueDB();
  if (!db) return false;
  TMandantValues values;
  if (!LoadMandantValues(*db, values)) return false;
  if (!gMandantForm) gMandantForm = new TMandantForm(WinGlue().MainWindow.data());
  gMandantForm->TitleEd->setText(ToQString(values.name));
  gMandantForm->BranchEd->setText(ToQString(values.branch));
  gMandantForm->SeqNrEd->setText(ToQString(values.nextSeqNo));
  return ExecModal(*gMandantForm) == QDialog::Accepted;
}

// =======================================================================================
// The settings dialog.

TSettingsForm::TSettingsForm(QWidget* parent) : QDialog(parent) {
  setObjectName("SettingsForm");
  setWindowTitle(ToQString(" Einstellungen"));
  auto* outer = new QVBoxLayout(this);
  auto* menu = new QMenuBar(this);
  QMenu* help = menu->addMenu(ToQString("Hilfe"));
  help->setObjectName("HelpMenu");
  Help1 = help->addAction(ToQString("Hilfe"));
  Help1->setObjectName("Help1");
  Help1->setShortcut(QKeySequence(Qt::Key_F1));
  Help1->setShortcutContext(Qt::WindowShortcut);
  outer->setMenuBar(menu);
  auto* body = new QHBoxLayout;
  ListBox = new QListWidget(this);
  ListBox->setObjectName("ListBox");
  ListBox->setFixedWidth(130);
  body->addWidget(ListBox);
  Pages = new QStackedWidget(this);
  body->addWidget(Pages, 1);
  outer->addLayout(body, 1);

  // Grundlegende Angaben.
  auto* basics = new QWidget(Pages);
  auto* basicsLayout = new QVBoxLayout(basics);
  basicsLayout->addWidget(new QLabel(ToQString("Grundlegende Angaben"), basics));
  auto* terms = new QGroupBox(ToQString(" Schl\xFCsselbesitzer-Benennung "), basics);
  auto* termsLayout = new QHBoxLayout(terms);
  PersonsTermCombo = new QComboBox(terms);
  PersonsTermCombo->setObjectName("PersonsTermCombo");
  PersonsDeptTermCombo = new QComboBox(terms);
  PersonsDeptTermCombo->setObjectName("PersonsDeptTermCombo");
  PersonsTermTakeBtn = Button(terms, "Ok", "PersonsTermTakeBtn");
  termsLayout->addWidget(PersonsTermCombo);
  termsLayout->addWidget(PersonsDeptTermCombo);
  termsLayout->addWidget(PersonsTermTakeBtn);
  basicsLayout->addWidget(terms);
  KeySystemsBtn = Button(basics, "Schlie\xDF" "anlagen ...", "KeySystemsBtn");
  MandantBtn = Button(basics, "Angaben zum Mandanten ...", "MandantBtn");
  basicsLayout->addWidget(KeySystemsBtn);
  basicsLayout->addWidget(MandantBtn);
  MinStoreKeysCheck = new QCheckBox(
      ToQString("bei Schl\xFCsseln jeweils einen Mindest-Bestand speichern und ggf. warnen"), basics);
  MinStoreKeysCheck->setObjectName("MinStoreKeysCheck");
  basicsLayout->addWidget(MinStoreKeysCheck);
  basicsLayout->addStretch(1);
  Pages->addWidget(basics);

  // Dateien.
  auto* files = new QWidget(Pages);
  auto* filesLayout = new QVBoxLayout(files);
  auto* dirs = new QGroupBox(ToQString(" Verzeichnisse "), files);
  auto* dirsLayout = new QGridLayout(dirs);
  dirsLayout->addWidget(new QLabel(ToQString("Datenverzeichnis:"), dirs), 0, 0);
  DataDirEd = new QLineEdit(dirs);
  DataDirEd->setObjectName("DataDirEd");
  DataDirEd->setReadOnly(true);
  DataDirOpenBtn = Button(dirs, "zeigen", "DataDirOpenBtn");
  DataDirEditBtn = Button(dirs, "\xE4ndern", "DataDirEditBtn");
  dirsLayout->addWidget(DataDirEd, 0, 1);
  dirsLayout->addWidget(DataDirOpenBtn, 0, 2);
  dirsLayout->addWidget(DataDirEditBtn, 0, 3);
  dirsLayout->addWidget(new QLabel(ToQString("Backup-Pfad:"), dirs), 1, 0);
  BackupDirEd = new QLineEdit(dirs);
  BackupDirEd->setObjectName("BackupDirEd");
  BackupDirEd->setReadOnly(true);
  BackupDirOpenBtn = Button(dirs, "zeigen", "BackupDirOpenBtn");
  BackupDirEditBtn = Button(dirs, "\xE4ndern", "BackupDirEditBtn");
  dirsLayout->addWidget(BackupDirEd, 1, 1);
  dirsLayout->addWidget(BackupDirOpenBtn, 1, 2);
  dirsLayout->addWidget(BackupDirEditBtn, 1, 3);
  filesLayout->addWidget(dirs);
  BackupFrame = new TBackupFrame(files);
  filesLayout->addWidget(BackupFrame);
  filesLayout->addStretch(1);
  Pages->addWidget(files);

  // Drucken.
  auto* print = new QWidget(Pages);
  auto* printLayout = new QVBoxLayout(print);
  auto* printers = new QGroupBox(ToQString(" Drucker + Drucktexte "), print);
  auto* printersLayout = new QGridLayout(printers);
  printersLayout->addWidget(new QLabel(ToQString("wann Auswahldialog zeigen ..."), printers), 0, 0);
  SettingsPrinterdialogCombo = new QComboBox(printers);
  SettingsPrinterdialogCombo->setObjectName("SettingsPrinterdialogCombo");
  printersLayout->addWidget(SettingsPrinterdialogCombo, 0, 1);
  SettingPrintPreviewCheckbox = new QCheckBox(ToQString("Vorschau"), printers);
  SettingPrintPreviewCheckbox->setObjectName("SettingPrintPreviewCheckbox");
  printersLayout->addWidget(SettingPrintPreviewCheckbox, 1, 0);
  SettingPrinterSaveBtn = Button(printers, "\xFC" "bernehmen", "SettingPrinterSaveBtn");
  printersLayout->addWidget(SettingPrinterSaveBtn, 1, 1);
  SettingsTextBtn = Button(printers, "Texte f\xFCr Ausdrucke definieren ...", "SettingsTextBtn");
  printersLayout->addWidget(SettingsTextBtn, 2, 0, 1, 2);
  printLayout->addWidget(printers);
  printLayout->addStretch(1);
  Pages->addWidget(print);

  // Sonstiges.
  auto* other = new QWidget(Pages);
  auto* otherLayout = new QVBoxLayout(other);
  WebLinksCheck = new QCheckBox(ToQString("Internet-Links in den Men\xFCs erlauben"), other);
  WebLinksCheck->setObjectName("WebLinksCheck");
  otherLayout->addWidget(WebLinksCheck);
  auto* network = new QGroupBox(ToQString("Optionen f\xFCr Netzwerk / Terminalserver"), other);
  auto* networkLayout = new QVBoxLayout(network);
  RandomUsernameCheck = new QCheckBox(ToQString("Sonderbehandlung Datensatzzugriff:"), network);
  RandomUsernameCheck->setObjectName("RandomUsernameCheck");
  networkLayout->addWidget(RandomUsernameCheck);
  networkLayout->addWidget(
      new QLabel(ToQString("Uneindeutige Reservierung verwenden (nicht empfohlen)"), network));
  otherLayout->addWidget(network);
  SigPadCheck = new QCheckBox(ToQString("Unterschriften-Pad verwenden (falls installiert)"), other);
  SigPadCheck->setObjectName("SigPadCheck");
  otherLayout->addWidget(SigPadCheck);
  KeyCutCheck =
      new QCheckBox(ToQString("Schl\xFCssel-Einschnitte und Zylinder-Bestiftung erfassen"), other);
  KeyCutCheck->setObjectName("KeyCutCheck");
  otherLayout->addWidget(KeyCutCheck);
  auto* autoRow = new QHBoxLayout;
  autoRow->addWidget(new QLabel(ToQString("autoLogin-Parameter:"), other));
  autoLoginEd = new QLineEdit(other);
  autoLoginEd->setObjectName("autoLoginEd");
  autoLoginEd->setReadOnly(true);
  autoRow->addWidget(autoLoginEd, 1);
  otherLayout->addLayout(autoRow);
  auto* special = new QHBoxLayout;
  SettingsSpecialBtn = Button(other, "Spezialfunktionen ...", "SettingsSpecialBtn");
  Patch1Btn = Button(other, "Patch 1", "Patch1Btn");
  Patch2Btn = Button(other, "Patch 2", "Patch2Btn");
  special->addWidget(SettingsSpecialBtn);
  special->addWidget(Patch1Btn);
  special->addWidget(Patch2Btn);
  special->addStretch(1);
  otherLayout->addLayout(special);
  otherLayout->addStretch(1);
  Pages->addWidget(other);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  CloseBtn = Button(this, "Schlie\xDF" "en", "CloseBtn");
  bottom->addWidget(CloseBtn);
  outer->addLayout(bottom);
  resize(640, 460);

  connect(ListBox, &QListWidget::currentRowChanged, this, [this] { ListBoxClick(); });
  connect(DataDirOpenBtn, &QPushButton::clicked, this, [this] { DataDirOpenBtnClick(); });
  connect(BackupDirOpenBtn, &QPushButton::clicked, this, [this] { BackupDirOpenBtnClick(); });
  connect(DataDirEditBtn, &QPushButton::clicked, this, [this] { DataDirEditBtnClick(); });
  connect(BackupDirEditBtn, &QPushButton::clicked, this, [this] { BackupDirEditBtnClick(); });
  connect(SettingsPrinterdialogCombo, QOverload<int>::of(&QComboBox::activated), this,
          [this] { SettingsPrinterdialogComboChange(); });
  connect(SettingPrintPreviewCheckbox, &QCheckBox::clicked, this,
          [this] { SettingPrintPreviewCheckboxClick(); });
  connect(SettingPrinterSaveBtn, &QPushButton::clicked, this, [this] { SettingPrinterSaveBtnClick(); });
  connect(SettingsTextBtn, &QPushButton::clicked, this, [this] { SettingsTextBtnClick(); });
  connect(PersonsTermCombo, QOverload<int>::of(&QComboBox::activated), this,
          [this] { PersonsTermComboChange(); });
  connect(PersonsDeptTermCombo, QOverload<int>::of(&QComboBox::activated), this,
          [this] { PersonsTermComboChange(); });
  connect(PersonsTermTakeBtn, &QPushButton::clicked, this, [this] { PersonsTermTakeBtnClick(); });
  connect(KeySystemsBtn, &QPushButton::clicked, this, [this] { KeySystemsBtnClick(); });
  connect(MandantBtn, &QPushButton::clicked, this, [this] { MandantBtnClick(); });
  connect(WebLinksCheck, &QCheckBox::clicked, this, [this] { WebLinksCheckClick(); });
  connect(RandomUsernameCheck, &QCheckBox::clicked, this, [this] { RandomUsernameCheckClick(); });
  connect(SigPadCheck, &QCheckBox::clicked, this, [this] { SigPadCheckClick(); });
  connect(Patch1Btn, &QPushButton::clicked, this, [this] { Patch1BtnClick(); });
  connect(Patch2Btn, &QPushButton::clicked, this, [this] { Patch2BtnClick(); });
  connect(CloseBtn, &QPushButton::clicked, this, [this] { SettingsHidePanelBtnClick(); });
  connect(SettingsSpecialBtn, &QPushButton::clicked, this, [this] { SettingsSpecialBtnClick(); });
  connect(Help1, &QAction::triggered, this, [this] { Help1Click(); });
  TranslateForm(this);
}

void TSettingsForm::FillLists() {
  const bool was = loading_;
  loading_ = true;
  ListBox->clear();
  for (int text : {1, 2, 3, 17}) ListBox->addItem(ToQString(SettingsText(text)));
  PersonsTermCombo->clear();
  for (const std::string& term : {SettingsText(9), SettingsText(10), HoldersCaption(),
                                  SettingsText(11), CoreText(133), SettingsText(18)})
    PersonsTermCombo->addItem(ToQString(term));
  PersonsDeptTermCombo->clear();
  for (const std::string& term : {CoreText(62), SettingsText(13), SettingsText(14), SettingsText(19)})
    PersonsDeptTermCombo->addItem(ToQString(term));
  SettingsPrinterdialogCombo->clear();
  const std::string choices = SettingsText(15);
  size_t start = 0;
  while (start <= choices.size()) {
    size_t end = choices.find(';', start);
    if (end == std::string::npos) end = choices.size();
    SettingsPrinterdialogCombo->addItem(ToQString(choices.substr(start, end - start)));
    start = end + 1;
  }
  loading_ = was;
}

void TSettingsForm::LoadValues() {
  loading_ = true;
  if (ListBox->count() == 0) FillLists();
  ListBox->setCurrentRow(std::clamp(page_, 0, ListBox->count() - 1));
  Pages->setCurrentIndex(ListBox->currentRow());
  TMiniDB* db = GlueDB();
  MinStoreKeysCheck->setChecked(db && MinimumStockUsed(*db));
  auto select = [](QComboBox* combo, const std::string& term) {
    const int index = combo->findText(ToQString(term));
    combo->setCurrentIndex(index >= 0 ? index : 0);
  };
  select(PersonsTermCombo, PersonTerm());
  select(PersonsDeptTermCombo, DepartmentTerm());
  PersonsTermTakeBtn->setEnabled(false);
  SettingsPrinterdialogCombo->setCurrentIndex(std::clamp(PrintSettings().printerDialog, 0, 2));
  SettingPrintPreviewCheckbox->setChecked(PrintPreviewEnabled());
  SettingPrinterSaveBtn->setEnabled(false);
  const TMandantState& state = MandantState();
  DataDirEd->setText(ToQString(state.DataPath));
  BackupDirEd->setText(state.SandboxMode ? QString() : ToQString(BackupSettings().Path));
  DataDirEditBtn->setEnabled(!state.HasCurrentMandant || state.CurrentMandant.Text3.empty());
  BackupFrame->LoadSettings();
  KeyCutCheck->setChecked(LocksmithStore().IsOpen());
  WebLinksCheck->setChecked(WinGlue().WebLinks);
  RandomUsernameCheck->setChecked(Trim(ReadSettingStr(kSettingsDataLevel, "AltBlocking")) == "1");
  SigPadCheck->setEnabled(false);
  SigPadCheck->setChecked(false);
  // The logged-in user's own value, to start the program for this user without the login.
  autoLoginEd->clear();
  if (db && Session().LoggedIn && Session().CurrentUserId > 0) {
    const int32_t user = Session().CurrentUserId;
    autoLoginEd->setText(ToQString(
        "autoLogin=" + std::to_string(user) + ";" +
        EncodeNumberedStr(user, db->GetField(user, "pw"), true)));
  }
  loading_ = false;
}

void TSettingsForm::ListBoxClick() {
  if (ListBox->currentRow() < 0) return;
  page_ = ListBox->currentRow();
  Pages->setCurrentIndex(page_);
}

void TSettingsForm::DataDirOpenBtnClick() { ShellOpen(MandantState().DataPath); }

void TSettingsForm::BackupDirOpenBtnClick() {
  if (!MandantState().SandboxMode) ShellOpen(BackupSettings().Path);
}

void TSettingsForm::DataDirEditBtnClick() { ChangeDataDirectory(); }

void TSettingsForm::BackupDirEditBtnClick() {
  if (MandantState().SandboxMode) {
    ShowInfo(CoreText(75));
    return;
  }
  std::string folder = AskDirectoryPath(SettingsText(8), BackupSettings().Path);
  if (folder.empty()) return;
  AddBackslash(folder);
  if (!WriteUserSetting("BackupPath", folder)) {
    ShowRestartFailed();
    return;
  }
  BackupSettings().Path = folder;
  BackupDirEd->setText(ToQString(folder));
}

void TSettingsForm::SettingsPrinterdialogComboChange() {
  if (!loading_) SettingPrinterSaveBtn->setEnabled(true);
}

void TSettingsForm::SettingPrintPreviewCheckboxClick() {
  if (!loading_) SettingPrinterSaveBtn->setEnabled(true);
}

void TSettingsForm::SettingPrinterSaveBtnClick() {
  SettingPrinterSaveBtn->setEnabled(false);
  const int mode = std::clamp(SettingsPrinterdialogCombo->currentIndex(), 0, 2);
  PrintSettings().printerDialog = mode;
  LoginState().UserValues.printerDialog = mode;
  TMiniDB* db = GlueDB();
  const int32_t user = Session().CurrentUserId;
  const std::string value = std::to_string(mode);
  if (db && user > 0 && db->GetClass(user) == icUser && db->GetField(user, "PrinterDialog") != value) {
    TStoreWrite write(*db, {user});
    if (write.Ok()) {
      db->SetField(user, "PrinterDialog", value);
      write.Commit();
    }
  }
  SetPrintPreview(SettingPrintPreviewCheckbox->isChecked(), true);
}

void TSettingsForm::SettingsTextBtnClick() {
  if (RightDenied(rtSettings + 1)) return;
  ShowTextSettings(0);
}

void TSettingsForm::PersonsTermComboChange() {
  if (!loading_) PersonsTermTakeBtn->setEnabled(true);
}

void TSettingsForm::PersonsTermTakeBtnClick() {
  PersonsTermTakeBtn->setEnabled(false);
  tMLSystem& ml = MLSystem();
  auto toSource = [&ml](const std::string& text) {
    int grade = mlgNone;
    const std::string source = ml.TranslateText(text, ml.CurrentLanguage(), "DE", grade);
    return grade == mlgNone || source.empty() ? text : source;
  };
  const std::string term = toSource(FromQString(PersonsTermCombo->currentText()));
  const std::string dept = toSource(FromQString(PersonsDeptTermCombo->currentText()));
  WriteDialogSetting(kSettingsDataLevel, "PersonsTerm", term);
  WriteDialogSetting(kSettingsProgramLevel, "PersonsTerm", term);
  WriteDialogSetting(kSettingsDataLevel, "PersonsDeptTerm", dept);
  SetPersonsTerms(term, dept);
}

void TSettingsForm::KeySystemsBtnClick() { ExecuteKeySystemsDialog(); }

void TSettingsForm::MandantBtnClick() { ExecuteMandantDialog(); }

void TSettingsForm::WebLinksCheckClick() {
  if (loading_) return;
  WinGlue().WebLinks = WebLinksCheck->isChecked();
  WriteDialogSetting(kSettingsDataLevel, "WebLinks", WebLinksCheck->isChecked() ? "" : "0");
}

void TSettingsForm::RandomUsernameCheckClick() {
  if (loading_) return;
  WriteDialogSetting(kSettingsDataLevel, "AltBlocking", RandomUsernameCheck->isChecked() ? "1" : "");
  ShowInfo(SettingsText(16));
}

void TSettingsForm::SigPadCheckClick() {
  if (loading_) return;
  ProgramValues().SigPadWanted = SigPadCheck->isChecked();
  WriteDialogSetting(kSettingsProgramLevel, "SigPad", SigPadCheck->isChecked() ? "" : "0");
}

void TSettingsForm::Patch1BtnClick() {
  if (CheckPendingInput()) return;
  TMiniDB* db = GlueDB();
  if (!db) return;
  int count = 0;
  {
    TBulkWrite run(*db);
    if (!run.Ok()) {
      TellBlocked(*db, run.Blocking());
      return;
    }
    setEnabled(false);
    ShowWaitDefault();
    count = SyncAllHolderLinks(*db);
    const bool saved = run.Commit() == TBulkResult::Saved;
    HideWaitText();
    setEnabled(true);
    if (!saved) return;
  }
  RefreshAllFrames();
  ShowInfo(count == 0 ? SettingsText(21)
                      : SettingsText(20) + "\r" +
                            WithCount(SettingsText(22), count));
}

void TSettingsForm::Patch2BtnClick() {
  if (CheckPendingInput()) return;
  TMiniDB* db = GlueDB();
  if (!db) return;
  int count = 0;
  {
    const TDisabledControls disabled = DisableControls(this);
    ShowWaitDefault();
    // The count is of the links removed: a person's first building is taken off and put
    // back, which is no change.
    count = ConvertLinks(*db, icPerson, icBuilding, true, false);
    HideWaitText();
    EnableControls(this, disabled);
  }
  if (count < 0) return;
  if (count > 0) RefreshAllFrames();
  ShowInfo(count == 0 ? SettingsText(21)
                      : SettingsText(20) + "\r" + WithCount(SettingsText(23), count));
}

void TSettingsForm::SettingsSpecialBtnClick() { ShowSpecialFunctions(); }

void TSettingsForm::Help1Click() { OpenManual(); }

void TSettingsForm::SettingsHidePanelBtnClick() { accept(); }

void TSettingsForm::FormClose() {
  TMiniDB* db = GlueDB();
  if (!db) return;
  db->Load();
  bool changed = false;
  const bool keyCuts = KeyCutCheck->isChecked();
  const bool minStock = MinStoreKeysCheck->isChecked();
  const int32_t settings = db->FindOrCreateSingleton(false);
  const bool hasLmDb = settings != 0 && !db->GetField(settings, "LmDbUse").empty();
  if (keyCuts && !LocksmithStore().IsOpen()) {
    LocksmithStore().Open(*db, true);
  } else if (!keyCuts && (LocksmithStore().IsOpen() || hasLmDb)) {
    LocksmithStore().Close();
    changed = hasLmDb;
  }
  const bool stockChanged = minStock != MinimumStockUsed(*db);
  if (stockChanged || (!keyCuts && hasLmDb)) {
    const int32_t record = db->FindOrCreateSingleton(true);
    if (record != 0) {
      TStoreWrite write(*db, {record});
      if (write.Ok()) {
        if (!keyCuts) db->DeleteField(record, "LmDbUse");
        if (stockChanged) db->SetField(record, "MinStkKeys", minStock ? "1" : "");
        changed = write.Commit() || changed;
      } else {
        TellBlocked(*db, write.Blocking());
      }
    }
  }
  if (changed) RefreshAllFrames();
}

void TSettingsForm::done(int result) {
  if (isVisible()) FormClose();
  QDialog::done(result);
}

void ShowSettingsDialog() {
  if (!gSettingsForm) gSettingsForm = new TSettingsForm(WinGlue().MainWindow.data());
  gSettingsForm->FillLists();
  gSettingsForm->Patch1Btn->hide();
  gSettingsForm->Patch2Btn->hide();
  gSettingsForm->LoadValues();
  ExecModal(*gSettingsForm);
}

bool ChangeDataDirectory() {
  if (MandantState().SandboxMode) {
    ShowInfo(CoreText(75));
    return false;
  }
  if (CheckPendingInput()) return false;
  const std::string file = SelectDatabaseDialog(false);
  if (file.empty()) return false;
  // The open store's own file, however the dialog spells its path, changes nothing.
  auto resolved = [](const std::string& path) {
    std::string real;
    return PfRealPath(path, real) == 0 ? real : path;
  };
  TMiniDB* db = GlueDB();
  if (db && AnsiSameText(resolved(file), resolved(db->FileName))) return false;
  UI().ProcessPendingEvents();
  return SwitchDataPathAndRestart(FolderOfFile(file));
}

void FreeSettingsForms() {
  delete gSettingsForm.data();
  delete gDirSelForm.data();
  delete gKeySystemsForm.data();
  delete gMandantForm.data();
}
