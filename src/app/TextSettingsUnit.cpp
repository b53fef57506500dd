#include "app/TextSettingsUnit.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/ManualUnit.h"
#include "app/PrintFieldsFrameUnit.h"
#include "app/UnitTR100Win.h"
#include "app/WaitPanelUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/HolderUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "output/WordDocumentUnit.h"
#include "platform/OsText.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

namespace {

constexpr int kLendControlFieldCount = 9;

const char* const kLegend[] = {
    "Folgende Begriffe, die vom Raute-Zeichen # umschlossen",
    "werden, sind Platzhalter und werden beim Ausdruck ersetzt.",
    "",
    "#Person:Name# wird ersetzt durch den Namen einer Person.",
    "#Person:Dept# wird ersetzt durch die Kennung/Abteilung",
    "einer Person (Mitarbeiter/Mieter).",
    "",
    "<br> im Text erzeugt einen zus\xE4tzlichen Zeilenumbruch.",
};

std::string TrimText(const std::string& text) {
  std::size_t a = 0, b = text.size();
  while (a < b && static_cast<unsigned char>(text[a]) <= ' ') ++a;
  while (b > a && static_cast<unsigned char>(text[b - 1]) <= ' ') --b;
  return text.substr(a, b - a);
}

std::string ExtensionOf(const std::string& fileName) {
  const std::size_t slash = fileName.rfind('/');
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return AnsiLowerCase(fileName.substr(dot));
}

std::string FolderOf(const std::string& fileName) {
  const std::size_t slash = fileName.rfind('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

bool FileThere(const std::string& name) {
  TPfInfo info;
  return !name.empty() && PfStat(name, info) == 0 && info.kind == TPfKind::File;
}

// File names cross to Qt as the system spells them.
QString QtPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(PfOsPath(path)));
}
std::string ProgramPath(const QString& path) { return OsToAnsi(QFile::encodeName(path).toStdString()); }

QPushButton* Button(const std::string& caption, const char* name, QWidget* parent) {
  auto* b = new QPushButton(ToQString(caption), parent);
  b->setObjectName(name);
  return b;
}

}  // namespace

TTextSettingsForm::TTextSettingsForm(QWidget* parent) : QDialog(parent) {
  CreateControls();
  TranslateForm(this);
}

QWidget* TTextSettingsForm::MemoGroup(const std::string& caption, TPrintText text, QWidget* parent) {
  static const char* const names[][3] = {
      {"ReceiptMemo", "ReceiptSaveBtn", "ReceiptUndoBtn"},
      {"LendControl1Memo", "LendControl1SaveBtn", "LendControl1UndoBtn"},
      {"LendControl2Memo", "LendControl2SaveBtn", "LendControl2UndoBtn"},
      {"PadMemo", "PadSaveBtn", "PadUndoBtn"},
  };
  const auto i = static_cast<std::size_t>(text);
  auto* group = new QGroupBox(ToQString(caption), parent);
  auto* memo = new QPlainTextEdit(group);
  memo->setObjectName(names[i][0]);
  memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  QPushButton* save = Button("\xFC" "bernehmen", names[i][1], group);
  QPushButton* undo = Button("alles r\xFC" "ckg\xE4ngig", names[i][2], group);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(save);
  buttons->addWidget(undo);
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(memo, 1);
  layout->addLayout(buttons);
  switch (text) {
    case TPrintText::Receipt: ReceiptMemo = memo, ReceiptSaveBtn = save, ReceiptUndoBtn = undo; break;
    case TPrintText::LendControl1:
      LendControl1Memo = memo, LendControl1SaveBtn = save, LendControl1UndoBtn = undo;
      break;
    case TPrintText::LendControl2:
      LendControl2Memo = memo, LendControl2SaveBtn = save, LendControl2UndoBtn = undo;
      break;
    case TPrintText::Pad: PadMemo = memo, PadSaveBtn = save, PadUndoBtn = undo; break;
  }
  connect(memo, &QPlainTextEdit::textChanged, this, [this, save, undo] {
    if (loading_) return;
    save->setEnabled(true);
    undo->setEnabled(true);
  });
  connect(save, &QPushButton::clicked, this, [this, text] { SaveText(text); });
  connect(undo, &QPushButton::clicked, this, [this, text] { UndoText(text); });
  return group;
}

void TTextSettingsForm::CreateControls() {
  setObjectName("TextSettingsForm");
  setWindowTitle(ToQString("Ausdrucke konfigurieren"));
  resize(920, 540);

  MainMenu = new QMenuBar(this);
  MainMenu->setObjectName("MainMenu");
  QMenu* help = MainMenu->addMenu(ToQString("Hilfe"));
  QAction* manual = help->addAction(ToQString("Anleitung als PDF-Datei"));
  manual->setObjectName("Manual1");
  connect(manual, &QAction::triggered, this, [] { OpenManual(); });

  MainPageControl = new QTabWidget(this);
  MainPageControl->setObjectName("MainPageControl");

  // Templates.
  FilesTabSheet = new QWidget;
  FilesTabSheet->setObjectName("FilesTabSheet");
  auto* keys = new QGroupBox(ToQString("Schl\xFCssel"), FilesTabSheet);
  auto* keyGrid = new QGridLayout(keys);
  auto* cylinders = new QGroupBox(ToQString("Zylinder"), FilesTabSheet);
  auto* cylGrid = new QGridLayout(cylinders);
  const char* const labels[] = {"Schl\xFCsselausgabe", "Schl\xFCsselr\xFC" "cknahme", "Verlust",
                                "Defekt/Vernichtung", "Defekt oder Verlust"};
  for (int i = 0; i < kTemplateSlotCount; ++i) {
    QGroupBox* box = i < 4 ? keys : cylinders;
    QGridLayout* grid = i < 4 ? keyGrid : cylGrid;
    const int row = i < 4 ? i : 0;
    auto* edit = new QLineEdit(box);
    edit->setObjectName(QStringLiteral("Ed%1").arg(i + 1));
    edit->setMinimumWidth(420);
    auto* choose = new QPushButton(ToQString("durchsuchen"), box);
    choose->setObjectName(QStringLiteral("ChooseBtn%1").arg(i + 1));
    auto* label = new QLabel(ToQString(labels[i]), box);
    label->setMinimumWidth(150);  // both groups' edits in one column
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    grid->addWidget(choose, row, 2);
    Ed[static_cast<std::size_t>(i)] = edit;
    ChooseBtn[static_cast<std::size_t>(i)] = choose;
    connect(choose, &QPushButton::clicked, this, [this, i] { ChooseTemplate(i + 1); });
  }
  auto* filesLayout = new QVBoxLayout(FilesTabSheet);
  filesLayout->addWidget(keys);
  filesLayout->addWidget(cylinders);
  filesLayout->addStretch();
  MainPageControl->addTab(FilesTabSheet, ToQString("Vorlagen als RTF- oder Word-Dateien"));

  // The texts of the built-in printouts, with the legend beside them.
  OldTabSheet = new QWidget;
  OldTabSheet->setObjectName("OldTabSheet");
  OldPageControl = new QTabWidget(OldTabSheet);
  OldPageControl->setObjectName("OldPageControl");
  LendControlSheet = new QWidget;
  LendControlSheet->setObjectName("LendControlSheet");
  auto* lendLayout = new QVBoxLayout(LendControlSheet);
  lendLayout->addWidget(MemoGroup(" Bestandskontrolle, Text oben ", TPrintText::LendControl1,
                                  LendControlSheet));
  lendLayout->addWidget(MemoGroup(" Bestandskontrolle, Text unten ", TPrintText::LendControl2,
                                  LendControlSheet));
  OldPageControl->addTab(LendControlSheet, ToQString("Bestandskontrolle"));
  ReceiptSheet = new QWidget;
  ReceiptSheet->setObjectName("ReceiptSheet");
  auto* receiptLayout = new QVBoxLayout(ReceiptSheet);
  receiptLayout->addWidget(
      MemoGroup(" Text f\xFCr interne Druckfunktion ", TPrintText::Receipt, ReceiptSheet));
  OldPageControl->addTab(ReceiptSheet, ToQString("Schl\xFCsselquittung"));
  LegendBox = new QGroupBox(ToQString(" Legende "), OldTabSheet);
  LegendBox->setObjectName("LegendBox");
  LegendMemo = new QPlainTextEdit(LegendBox);
  LegendMemo->setObjectName("LegendMemo");
  LegendMemo->setReadOnly(true);
  LegendMemo->setLineWrapMode(QPlainTextEdit::NoWrap);  // the lines are laid out as they stand
  std::string legend;
  for (const char* line : kLegend) legend += (legend.empty() ? "" : "\n") + MLTranslate(line);
  LegendMemo->setPlainText(ToQString(legend));
  auto* legendLayout = new QVBoxLayout(LegendBox);
  legendLayout->addWidget(LegendMemo);
  int widest = 0;
  for (const QString& line : LegendMemo->toPlainText().split(QLatin1Char('\n')))
    widest = std::max(widest, LegendMemo->fontMetrics().horizontalAdvance(line));
  LegendBox->setMinimumWidth(widest + 60);
  auto* oldLayout = new QHBoxLayout(OldTabSheet);
  oldLayout->addWidget(OldPageControl, 2);
  oldLayout->addWidget(LegendBox, 1);
  MainPageControl->addTab(OldTabSheet, ToQString("Interne Druckfunktion"));

  PadTabSheet = new QWidget;
  PadTabSheet->setObjectName("PadTabSheet");
  auto* padLayout = new QVBoxLayout(PadTabSheet);
  padLayout->addWidget(MemoGroup(" Text im Pad-Display ", TPrintText::Pad, PadTabSheet));
  MainPageControl->addTab(PadTabSheet, ToQString("Unterschriften-Pad"));

  TablesSheet = new QWidget;
  TablesSheet->setObjectName("TablesSheet");
  LendControlFieldsFrame = new TPrintFieldsFrame(TablesSheet);
  LendControlFieldsFrame->setObjectName("LendControlFieldsFrame");
  LendControlFieldsFrame->GroupBox->setTitle(ToQString(" Ausleihkontroll\xFC" "bersicht "));
  auto* tablesLayout = new QVBoxLayout(TablesSheet);
  tablesLayout->addWidget(LendControlFieldsFrame, 1);
  connect(LendControlFieldsFrame->SaveBtn, &QPushButton::clicked, this,
          [this] { SaveLendControlFields(); });
  MainPageControl->addTab(TablesSheet, ToQString("Tabellen-Spalten"));

  // Closing is offered on every page (the window's own close does the same).
  CloseBtn = Button("Schlie\xDF" "en", "CloseBtn", this);
  connect(CloseBtn, &QPushButton::clicked, this, [this] { reject(); });
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(CloseBtn);
  auto* outer = new QVBoxLayout(this);
  outer->setMenuBar(MainMenu);
  outer->addWidget(MainPageControl, 1);
  outer->addLayout(bottom);
}

QPlainTextEdit* TTextSettingsForm::MemoOf(TPrintText text) const {
  switch (text) {
    case TPrintText::Receipt: return ReceiptMemo;
    case TPrintText::LendControl1: return LendControl1Memo;
    case TPrintText::LendControl2: return LendControl2Memo;
    case TPrintText::Pad: return PadMemo;
  }
  return nullptr;
}

QPushButton* TTextSettingsForm::SaveBtnOf(TPrintText text) const {
  switch (text) {
    case TPrintText::Receipt: return ReceiptSaveBtn;
    case TPrintText::LendControl1: return LendControl1SaveBtn;
    case TPrintText::LendControl2: return LendControl2SaveBtn;
    case TPrintText::Pad: return PadSaveBtn;
  }
  return nullptr;
}

QPushButton* TTextSettingsForm::UndoBtnOf(TPrintText text) const {
  switch (text) {
    case TPrintText::Receipt: return ReceiptUndoBtn;
    case TPrintText::LendControl1: return LendControl1UndoBtn;
    case TPrintText::LendControl2: return LendControl2UndoBtn;
    case TPrintText::Pad: return PadUndoBtn;
  }
  return nullptr;
}

void TTextSettingsForm::ShowStoredText(TPrintText text) {
  loading_ = true;
  QString memo = ToQString(StoredTextToMemo(PrintText(text)));
  memo.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  MemoOf(text)->setPlainText(memo);
  loading_ = false;
  SaveBtnOf(text)->setEnabled(false);
  UndoBtnOf(text)->setEnabled(false);
}

void TTextSettingsForm::FormShow() {
  RefreshPrintTexts();
  for (int i = 0; i < kPrintTextCount; ++i) ShowStoredText(static_cast<TPrintText>(i));

  TQStringList fields;
  for (int code = 1; code <= kLendControlFieldCount; ++code)
    fields.AddObject(PersonKeyListCaption(code), code <= 6 ? (code | kPrintFieldTicked) : code);
  TMiniDB* db = GlueDB();
  LendControlFieldsFrame->Setup(fields, db ? GetLendCtrlPrintFields(*db) : std::string(), true);

  for (int i = 0; i < kTemplateSlotCount; ++i)
    Ed[static_cast<std::size_t>(i)]->setText(ToQString(TemplateSlot(i + 1)));
}

void TTextSettingsForm::ShowPage(int page) {
  MainPageControl->setCurrentWidget(page == 4 ? TablesSheet : FilesTabSheet);
}

void TTextSettingsForm::SaveText(TPrintText text) {
  QPushButton* save = SaveBtnOf(text);
  QPushButton* undo = UndoBtnOf(text);
  save->setEnabled(false);
  undo->setEnabled(false);
  if (!SavePrintText(text, FromQString(MemoOf(text)->toPlainText()))) {
    // Not written: the change stays unsaved, so closing still warns about it.
    UI().ShowMessage(TMsgKind::Error, CoreText(134));
    save->setEnabled(true);
    undo->setEnabled(true);
  }
}

void TTextSettingsForm::UndoText(TPrintText text) { ShowStoredText(text); }

bool TTextSettingsForm::TakeTemplate(int slot, const std::string& fileName) {
  if (slot < 1 || slot > kTemplateSlotCount) return false;
  const std::string ext = ExtensionOf(fileName);
  bool ok = false;
  {
    std::unique_ptr<TWaitPanel> wait(WaitTextDefault(this));
    if (ext == ".rtf" || ext == ".txt") {
      ok = FileThere(fileName);
    } else if (ext == ".doc" || ext == ".dot") {
      TWordDoc doc;
      ok = doc.Open(fileName);
      doc.Close(false);
    }
  }
  if (!ok) {
    UI().ShowMessage(TMsgKind::Error, TextSettingsText(5));
    return false;
  }
  Ed[static_cast<std::size_t>(slot - 1)]->setText(ToQString(fileName));
  if (!SetTemplateFile(slot, fileName)) UI().ShowMessage(TMsgKind::Error, CoreText(134));
  return true;
}

void TTextSettingsForm::ChooseTemplate(int slot) {
  if (slot < 1 || slot > kTemplateSlotCount) return;
  QPushButton* button = ChooseBtn[static_cast<std::size_t>(slot - 1)];
  button->setEnabled(false);
  const std::string current = TrimText(FromQString(Ed[static_cast<std::size_t>(slot - 1)]->text()));
  QFileDialog dialog(this);
  dialog.setObjectName("WordOpenDialog");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("doc"));
  dialog.setNameFilters({QStringLiteral("Text Documents (*.doc *.dot *.rtf *.txt)"),
                         QStringLiteral("Microsoft Word (*.doc *.dot)"),
                         QStringLiteral("Rich Text (*.rtf)"), QStringLiteral("Text (*.txt)")});
  const std::string start = !startFolder_.empty() ? startFolder_ : FolderOf(current);
  if (!start.empty()) dialog.setDirectory(QtPath(start));
  if (ExecModal(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    const std::string file = ProgramPath(dialog.selectedFiles().first());
    startFolder_ = FolderOf(file);
    TakeTemplate(slot, file);
  }
  button->setEnabled(true);
}

bool TTextSettingsForm::SaveLendControlFields() {
  LendControlFieldsFrame->SaveBtn->setEnabled(false);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  const std::string fields = LendControlFieldsFrame->GetSelection(nullptr, false);
  TMiniDB* db = GlueDB();
  bool saved = false;
  if (db) {
    const int32_t settings = db->FindOrCreateSingleton(true);
    if (settings == 0) {
      ShowLockFailed();
    } else {
      TStoreWrite write(*db, {settings});
      if (!write.Ok()) {
        if (!write.Blocking().empty()) db->ShowLockedMessage(write.Blocking(), false);
      } else if (db->HasRecord(settings)) {
        db->SetField(settings, "PrtFieldsLendCtrl", fields);
        saved = write.Commit();
      }
    }
  }
  if (!saved) {
    // Nothing stored: the choice stays open for another try.
    LendControlFieldsFrame->SaveBtn->setEnabled(true);
    return false;
  }
  RefreshAllFrames();
  return true;
}

bool TTextSettingsForm::CloseQuery() {
  int message = 0;
  QWidget* sheet = nullptr;
  QWidget* inner = nullptr;
  if (PadSaveBtn->isEnabled()) message = 16, sheet = PadTabSheet;
  if (LendControl2SaveBtn->isEnabled()) message = 2, sheet = OldTabSheet, inner = LendControlSheet;
  if (LendControl1SaveBtn->isEnabled()) message = 3, sheet = OldTabSheet, inner = LendControlSheet;
  if (ReceiptSaveBtn->isEnabled()) message = 4, sheet = OldTabSheet, inner = ReceiptSheet;
  if (message != 0) {
    UI().ShowMessage(TMsgKind::Warning, TextSettingsText(message) + "\r" + TextSettingsText(1));
    MainPageControl->setCurrentWidget(sheet);
    if (inner) OldPageControl->setCurrentWidget(inner);
    return false;
  }
  bool written = true;
  for (int i = 0; i < kTemplateSlotCount; ++i)
    written = SetTemplateFile(i + 1, TrimText(FromQString(Ed[static_cast<std::size_t>(i)]->text()))) &&
              written;
  if (!written) UI().ShowMessage(TMsgKind::Error, CoreText(134));
  return true;
}

void TTextSettingsForm::reject() {
  if (CloseQuery()) QDialog::reject();
}

void ShowTextSettings(int page) {
  TTextSettingsForm form(WinGlue().MainWindow);
  form.FormShow();
  form.ShowPage(page);
  ExecModal(form);
}
