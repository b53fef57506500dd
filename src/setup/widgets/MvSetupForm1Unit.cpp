#include "setup/widgets/MvSetupForm1Unit.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/FolderBrowseUnit.h"
#include "basic/widgets/InstanceChannel.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "basic/widgets/QtUserInteraction.h"
#include "platform/OsText.h"
#include "platform/PlatformFiles.h"
#include "platform/ProcessStart.h"
#include "setup/SelfLoadSectionsUnit.h"
#include "setup/SetupFormUnit.h"
#include "setup/SetupLanguageUnit.h"
#include "setup/SetupMainUnit.h"
#include "setup/SetupUninstallUnit.h"
#include "setup/widgets/PersonsUnit.h"

namespace {

QLabel* NewLabel(const std::string& text, QWidget* parent, const char* name = nullptr) {
  auto* label = new QLabel(ToQString(text), parent);
  if (name) label->setObjectName(name);
  return label;
}

QPushButton* NewButton(const std::string& text, QWidget* parent, const char* name) {
  auto* button = new QPushButton(ToQString(text), parent);
  button->setObjectName(name);
  button->setMinimumWidth(90);
  return button;
}

QFrame* NewPanel(QWidget* parent, const char* name) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(name);
  panel->setFrameShape(QFrame::NoFrame);
  panel->hide();
  return panel;
}

// The error text without its last "; ".
std::string ErrorDetails() {
  std::string text = SetupState().errorText;
  while (!text.empty() && (text.back() == ' ' || text.back() == ';')) text.pop_back();
  return text;
}

bool ProgramFileInUse(const std::string& folder) {
  TPfInfo info;
  const std::string program = folder + kInstalledProgramName;
  if (PfLstat(program, info) != 0 || info.kind == TPfKind::Missing) return false;
  // Running for this user, or not replaceable by us: both refuse. Nothing is deleted to
  // find out.
  return TMvSetupForm1::ProgramRunning()() || !IsFolderWritable(folder);
}

}  // namespace

std::function<void(TMvSetupForm1&, const std::string&)>& TMvSetupForm1::PanelShown() {
  static std::function<void(TMvSetupForm1&, const std::string&)> hook;
  return hook;
}

std::function<bool()>& TMvSetupForm1::ProgramRunning() {
  static std::function<bool()> running = [] {
    return ChannelListenerExistsOnAnyDisplay(kInstanceChannelName);
  };
  return running;
}

TMvSetupForm1::TMvSetupForm1(std::vector<std::string> args, QWidget* parent)
    : QWidget(parent), args_(std::move(args)) {
  setObjectName("MvSetupForm1");
  setWindowTitle(ToQString("Setup"));
  BuildControls();
  SetupState().programRunning = [] { return ProgramRunning()(); };
}

TMvSetupForm1::~TMvSetupForm1() {
  SetupState().mainWindowExists = false;
  SetupState().programRunning = nullptr;
}

void TMvSetupForm1::BuildControls() {
  // Language choice.
  LngPanel = NewPanel(this, "LngPanel");
  LngGermanRadio = new QRadioButton(ToQString("Deutsch"), LngPanel);
  LngGermanRadio->setObjectName("LngGermanRadio");
  LngEnglishRadio = new QRadioButton(ToQString("English"), LngPanel);
  LngEnglishRadio->setObjectName("LngEnglishRadio");
  LngHURadio = new QRadioButton(ToQString("Magyar"), LngPanel);
  LngHURadio->setObjectName("LngHURadio");
  // The language names and the two requests stay as they are in every language.
  for (QWidget* w : {static_cast<QWidget*>(LngGermanRadio), static_cast<QWidget*>(LngEnglishRadio),
                     static_cast<QWidget*>(LngHURadio)})
    SetNoTranslate(w);
  GermanLabel = NewLabel("Bitte w\xE4hlen Sie Ihre bevorzugte Sprache.", LngPanel, "GermanLabel");
  EnglishLabel = NewLabel("Please select your language preference.", LngPanel, "EnglishLabel");
  SetNoTranslate(GermanLabel);
  SetNoTranslate(EnglishLabel);
  LngOkBtn = NewButton("OK", LngPanel, "LngOkBtn");
  LngOkBtn->setDefault(true);
  Button1 = NewButton("Abbrechen", LngPanel, "Button1");
  {
    auto* radios = new QVBoxLayout;
    radios->addWidget(LngGermanRadio);
    radios->addWidget(LngEnglishRadio);
    radios->addWidget(LngHURadio);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(LngOkBtn);
    buttons->addWidget(Button1);
    auto* layout = new QVBoxLayout(LngPanel);
    layout->addWidget(GermanLabel);
    layout->addWidget(EnglishLabel);
    layout->addSpacing(10);
    layout->addLayout(radios);
    layout->addSpacing(10);
    layout->addLayout(buttons);
  }
  connect(LngGermanRadio, &QRadioButton::clicked, this, [this] { LngRadioClick("DE"); });
  connect(LngEnglishRadio, &QRadioButton::clicked, this, [this] { LngRadioClick("EN"); });
  connect(LngHURadio, &QRadioButton::clicked, this, [this] { LngRadioClick("HU"); });
  connect(LngOkBtn, &QPushButton::clicked, this, [this] { LngOkBtnClick(); });
  connect(Button1, &QPushButton::clicked, this, [this] { CloseWith(0); });

  // Target folder.
  AskPanel = NewPanel(this, "AskPanel");
  SetupLabel = NewLabel("Dieses Setup-Programm installiert", AskPanel, "SetupLabel");
  NameVersionLabel = NewLabel("", AskPanel, "NameVersionLabel");
  SetNoTranslate(NameVersionLabel);
  QFont bold = NameVersionLabel->font();
  bold.setBold(true);
  NameVersionLabel->setFont(bold);
  PgmPathEd = new QLineEdit(AskPanel);
  PgmPathEd->setObjectName("PgmPathEd");
  PgmPathEd->setMinimumWidth(320);
  ChooseBtn = NewButton("Durchsuchen ...", AskPanel, "ChooseBtn");
  CreateDesktopLinkCheck =
      new QCheckBox(ToQString("Verkn\xFCpfung auf dem Desktop erstellen"), AskPanel);
  CreateDesktopLinkCheck->setObjectName("CreateDesktopLinkCheck");
  CreateDesktopLinkCheck->setChecked(true);
  StartBtn = NewButton("Ja", AskPanel, "StartBtn");
  StartBtn->setDefault(true);
  NoBtn = NewButton("Abbrechen", AskPanel, "NoBtn");
  {
    auto* product = new QHBoxLayout;
    product->setSpacing(8);  // the name sits 8 pixels right of the text before it
    product->addWidget(SetupLabel);
    product->addWidget(NameVersionLabel);
    product->addStretch();
    auto* folder = new QHBoxLayout;
    folder->addWidget(PgmPathEd, 1);
    folder->addWidget(ChooseBtn);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(StartBtn);
    buttons->addWidget(NoBtn);
    auto* layout = new QVBoxLayout(AskPanel);
    layout->addLayout(product);
    layout->addWidget(NewLabel("auf Ihrem Computer.", AskPanel));
    layout->addSpacing(8);
    layout->addWidget(NewLabel("Programm-Ordner", AskPanel));
    layout->addLayout(folder);
    layout->addWidget(CreateDesktopLinkCheck);
    layout->addSpacing(8);
    layout->addWidget(NewLabel("Installation starten?", AskPanel));
    layout->addLayout(buttons);
  }
  connect(ChooseBtn, &QPushButton::clicked, this, [this] { ChooseBtnClick(); });
  connect(StartBtn, &QPushButton::clicked, this, [this] { StartBtnClick(); });
  connect(NoBtn, &QPushButton::clicked, this, [this] { CloseWith(0); });

  // Progress.
  ProgressPanel = NewPanel(this, "ProgressPanel");
  ProgressLabel = NewLabel("Die Installation l\xE4uft - bitte warten ...", ProgressPanel,
                           "ProgressLabel");
  (new QVBoxLayout(ProgressPanel))->addWidget(ProgressLabel);

  // Uninstall question.
  UninstAskPanel = NewPanel(this, "UninstAskPanel");
  SetupTaskLabel = NewLabel("Setup f\xFCr", UninstAskPanel, "SetupTaskLabel");
  SetupTaskLabel->setFont(bold);
  auto* product = NewLabel("Tessaro", UninstAskPanel, "ProductLabel");
  SetNoTranslate(product);
  product->setFont(bold);
  UninstStartBtn = NewButton("Entfernen", UninstAskPanel, "UninstStartBtn");
  UninstNoBtn = NewButton("Abbrechen", UninstAskPanel, "UninstNoBtn");
  {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(UninstStartBtn);
    buttons->addWidget(UninstNoBtn);
    auto* layout = new QVBoxLayout(UninstAskPanel);
    layout->addWidget(SetupTaskLabel);
    layout->addSpacing(8);
    layout->addWidget(NewLabel("M\xF6" "chten Sie das Programm", UninstAskPanel));
    layout->addWidget(product);
    layout->addWidget(NewLabel("von Ihrem Computer entfernen?", UninstAskPanel));
    layout->addSpacing(8);
    layout->addLayout(buttons);
  }
  connect(UninstStartBtn, &QPushButton::clicked, this, [this] { UninstStartBtnClick(); });
  connect(UninstNoBtn, &QPushButton::clicked, this, [this] { CloseWith(0); });

  auto* grid = new QGridLayout(this);
  for (QFrame* panel : {LngPanel, AskPanel, ProgressPanel, UninstAskPanel})
    grid->addWidget(panel, 0, 0, Qt::AlignCenter);
  setMinimumSize(520, 300);

  FirstCheckTimer = new QTimer(this);
  FirstCheckTimer->setObjectName("FirstCheckTimer");
  FirstCheckTimer->setSingleShot(true);
  FirstCheckTimer->setInterval(200);
  connect(FirstCheckTimer, &QTimer::timeout, this, [this] { FirstCheckTimerTimer(); });
}

std::string TMvSetupForm1::CurrentPanel() const {
  for (QFrame* panel : {LngPanel, AskPanel, ProgressPanel, UninstAskPanel})
    if (!panel->isHidden()) return panel->objectName().toStdString();
  return "";
}

void TMvSetupForm1::ShowPanel(QFrame* panel) {
  for (QFrame* p : {LngPanel, AskPanel, ProgressPanel, UninstAskPanel}) p->setVisible(p == panel);
  if (panel && PanelShown()) PanelShown()(*this, panel->objectName().toStdString());
}

void TMvSetupForm1::CloseWith(int exitCode) {
  exitCode_ = exitCode;
  finished_ = true;
  FirstCheckTimer->stop();
  close();
}

void TMvSetupForm1::FormCreate() {
  TranslateForm(this);
  TSetupState& s = SetupState();
  s.mainWindowExists = true;
  uninstall_ = IsUninstallMode(RunningExecutablePath(), args_) ||
               IsUninstallMode(SelfFileName(), args_);
  if (uninstall_) {
    TQStringList values;
    for (const std::string& line : ReadUninstallList())
      if (line.rfind("file=", 0) != 0 && line.rfind("dir=", 0) != 0) values.Add(line);
    const std::string language = values.Value("Lng");
    if (!language.empty()) SwitchLanguage(MLSystem().CurrentLanguage(), language, "");
    SetupTaskLabel->setText(ToQString(SetupFormText(3)));
    ShowPanel(UninstAskPanel);
    return;
  }
  if (!RunSetupCommands(true)) {
    ShowError(SetupFormText(7) + "\r\r" + ErrorDetails());
    CloseWith(1);
    return;
  }
  if (!s.language.empty() && s.language != MLSystem().CurrentLanguage())
    SwitchLanguage(MLSystem().CurrentLanguage(), s.language, "");
  UpdateLanguageControls();
  ShowPanel(LngPanel);
}

void TMvSetupForm1::UpdateLanguageControls() {
  const std::string current = MLSystem().CurrentLanguage();
  LngGermanRadio->setChecked(current == "DE");
  LngEnglishRadio->setChecked(tMLSystem::AliasOf(current) == "EN");
  LngHURadio->setChecked(current == "HU");
  // A language the installer carries no texts for cannot be chosen.
  LngEnglishRadio->setEnabled(MLSystem().IsLanguageLoaded("EN"));
  LngHURadio->setEnabled(MLSystem().IsLanguageLoaded("HU"));
}

void TMvSetupForm1::LngRadioClick(const std::string& code) {
  SwitchLanguage(MLSystem().CurrentLanguage(), code, "");
  UpdateLanguageControls();
}

void TMvSetupForm1::LngOkBtnClick() {
  const TSetupState& s = SetupState();
  std::string name = SetupFormText(1);
  if (!s.version.empty()) name += " (" + SetupFormText(2) + " " + s.version + ")";
  NameVersionLabel->setText(ToQString(name));
  PgmPathEd->setText(ToQString(s.pgmPath));
  ShowPanel(AskPanel);
  FirstCheckTimer->start();
}

void TMvSetupForm1::FirstCheckTimerTimer() {
  FirstCheckTimer->stop();
  if (uninstall_ || !NewerVersionInstalled()) return;
  if (AskYesNo(SetupFormText(12)) != mrYes) CloseWith(0);
}

void TMvSetupForm1::ChooseBtnClick() {
  TFolderBrowser browser;
  browser.owner = this;
  browser.caption = SetupFormText(14);
  browser.startFolder = ChooserStartFolder(FromQString(PgmPathEd->text()));
  if (!browser.Execute()) return;
  PgmPathEd->setText(ToQString(ChosenTargetFolder(browser.folder)));
}

void TMvSetupForm1::StartBtnClick() {
  TSetupState& s = SetupState();
  std::string folder;
  if (!CheckSetupFolder(FromQString(PgmPathEd->text()), folder)) {
    ShowError(SetupFormText(4));
    if (PgmPathEd->text().trimmed().isEmpty()) PgmPathEd->setText(ToQString(s.pgmPath));
    return;
  }
  if (NeedsAdminQuestion(folder)) {
    AskPanel->hide();
    if (AskYesCancel(SetupFormText(5)) != mrYes) {
      CloseWith(0);
      return;
    }
    ShowPanel(AskPanel);
  }
  if (ProgramFileInUse(folder)) {
    ShowError(SetupFormText(6));
    return;
  }
  ShowPanel(ProgressPanel);
  repaint();
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

  // The data folder follows the program folder unless an earlier installation named one.
  if (folder != s.pgmPath && !s.dataPathFromRegistry) s.dataPath.clear();
  s.pgmPath = folder;
  s.desktopLink = CreateDesktopLinkCheck->isChecked();
  s.language = MLSystem().CurrentLanguage();
  s.languageChosen = true;
  MoveOlderMenuAndDesktopEntries();
  const bool ok = RunSetupCommands(false);
  ProgressPanel->hide();
  if (ok) {
    if (!s.installedProgram.empty()) {
      FinishInstallation([this] { return AskPersonsTerm(this); });
      ShowInfo(SetupFormText(9));
    } else {
      ShowInfo(SetupFormText(8));
    }
    StartInstalledProgram();
  } else {
    ShowError(SetupFormText(7) + "\r\r" + ErrorDetails());
  }
  CloseWith(ok ? 0 : 1);
}

void TMvSetupForm1::UninstStartBtnClick() {
  if (SetupState().programRunning && SetupState().programRunning()) {
    ShowError(SetupMainTextFmt(2, SetupFormText(1)));
    return;
  }
  ProgressLabel->setText(ToQString(SetupFormText(11)));
  ShowPanel(ProgressPanel);
  repaint();
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  const TUninstallResult result = RunUninstall(args_);
  if (result.refused) {
    ShowError(SetupMainTextFmt(2, SetupFormText(1)));
    ShowPanel(UninstAskPanel);
    return;
  }
  if (!result.listFound) ShowError(SetupFormText(7) + "\r\r" + ErrorDetails());
  if (!result.failed.empty()) {
    std::string text = SetupMainText(3);
    for (const std::string& f : result.failed) text += "\r" + f;
    ShowError(text);
  }
  if (!result.keptData.empty()) {
    std::string text = SetupMainText(4);
    for (const std::string& f : result.dataFolders) text += "\r" + f;
    ShowInfo(text);
  }
  CloseWith(result.listFound && result.failed.empty() ? 0 : 1);
}

int SetupMain(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Setup");
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(OsToAnsi(argv[i]));

  TQtUserInteraction ui;
  SetUserInteraction(&ui);
  InstallSetupLanguageSystem();
  LoadSetupTexts(MLSystem(), RunningExecutablePath());

  int code = 1;
  {
    TSetupInstanceLock lock;
    if (!lock.Acquire()) {
      ShowError(MainDprText(1));
    } else {
      TMvSetupForm1 form(args);
      ui.SetMainWindow(&form);
      form.FormCreate();
      if (!form.Finished()) {
        form.show();
        app.exec();
      }
      code = form.ExitCode();
      ui.SetMainWindow(nullptr);
    }
  }
  SetUserInteraction(nullptr);
  return code;
}
