#include "app/Unit1.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/AppControlUnit.h"
#include "app/BackupRequesterUnit.h"
#include "app/BackupUnit.h"
#include "app/CommandNames.h"
#include "app/FrameLoginUnit.h"
#include "app/LayoutHelpersUnit.h"
#include "app/ManualUnit.h"
#include "app/MouseEventsUnit.h"
#include "app/SigFormUnit.h"
#include "app/TessaroRestart.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/ParamsUnit.h"
#include "basic/RegistryUnit.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/FolderBrowseUnit.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "basic/widgets/QtLanguageUnit.h"
#include "data/HistoryUnit.h"
#include "data/HolderUnit.h"
#include "data/ItemsLock.h"
#include "data/IniUnit.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/AWebBrowserUnit.h"
#include "output/PrintSettingsUnit.h"
#include "platform/PlatformFiles.h"

namespace {

TTessaroForm* gTessaroForm = nullptr;

// The free font used where Verdana is missing: its letters take about the same room.
constexpr const char* kFallbackFont = "DejaVu Sans";
constexpr const char* kFontNoticeValue = "FontNotice";

}  // namespace

const TMLStringList* MainFormTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("TTessaroForm", 0);
    t->Add255Obj("Die Bildaufl\xF6sung ist zu gering.#13#Bitte stellen Sie mindestens 800x600 "
                 "Pixel ein.", 3);
    t->Add255Obj("Die \xDC" "bergabe-Seite ist selbsterkl\xE4rend durch den Hilfetext am "
                 "rechten Rand.", 5);
    t->Add255Obj("F\xFCr diese Seite ist keine Druckfunktion vorgesehen.", 14);
    t->Add255Obj("Die ben\xF6tigte Schriftart Verdana ist auf Ihrem System nicht installiert.",
                 18);
    t->Add255Obj("nach Position", 22);
    t->Add255Obj("Formular-Editor", 31);
    t->Add255Obj("Sie arbeiten im Sandkasten-Modus.#13#M\xF6" "chten Sie den Sandkasten "
                 "beenden?", 32);
    t->Add255Obj("Im sogenannten Sandkasten k\xF6nnen Sie Test-Eingaben oder#13#Import-Tests "
                 "ohne Wirkung auf die Original-Datenbank vornehmen.", 33);
    t->Add255Obj("M\xF6" "chten Sie einen Sandkasten, d.h. eine vor\xFC" "bergehende Kopie#13#"
                 "Ihrer Datenbank, erstellen?", 34);
    t->Add255Obj("Der Sandkasten konnte nicht angelegt werden.", 35);
    t->Add255Obj("Bitte w\xE4hlen Sie zuerst eine Person aus.", 39);
    t->Add255Obj("Das Feld \"Nr.\" ist leer.#13#M\xF6" "chten Sie eine Blanko-Quittung drucken?",
                 40);
    t->Add255Obj("Person ausw\xE4hlen", 41);
    t->Add255Obj("Schl\xFCssel ausw\xE4hlen", 42);
    t->Add255Obj("Schl\xFCsselausgabe", 43);
    t->Add255Obj("Bei der Echtzeit-Sprachumschaltung kann es zu ungenauen \xDC" "bersetzungen "
                 "kommen.#13#Bei Auff\xE4lligkeiten starten Sie das Programm bitte neu.", 45);
    return t;
  }();
  return table;
}

namespace {

// Tab captions in page order; pages 1, 3, 5, 7 and 11 follow the language's entity
// captions (SetPageCaptions).
const char* const kPageCaptions[kPageCount] = {
    "Login", "Geb\xE4ude", "T\xFCren", "Zylinder", "Gruppen", "Schl\xFCssel", "Schr\xE4nke",
    "Mitarbeiter", "\xDC" "bergabe", "Fristen", "Protokoll", "Benutzer", "Hilfe"};
const char* const kSheetNames[kPageCount] = {
    "LoginSheet",    "BuildingsSheet", "DoorsSheet",   "CylsSheet",    "GroupsSheet",
    "KeysSheet",     "CabinetSheet",   "PersonsSheet", "TransferSheet", "LimitsSheet",
    "HistorySheet",  "UsersSheet",     "HelpSheet"};

QColor Bgr(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

void SetBackgroundColour(QWidget* w, uint32_t bgr) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, Bgr(bgr));
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

bool FileThere(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::File;
}

bool FolderThere(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::Folder;
}

std::string ProgramDir() { return CommandLine().OriginExeDir; }

TScreenRect ToRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

bool SandboxNow() { return MandantState().SandboxMode; }

// The gates of the menu table.
TCommandGate AnyTime() { return {true, {}, false}; }
TCommandGate LoggedInOnly() { return {}; }
TCommandGate Rights(std::vector<int> rights, bool noPending = false) {
  return {false, std::move(rights), noPending};
}
TCommandGate NoPending() { return {false, {}, true}; }

// The pages of the View menu in its order.
struct TViewEntry {
  const char* name;
  int page;
};
constexpr TViewEntry kViewEntries[] = {
    {kMenuViewBuildings1, pgBuildings}, {kMenuViewDoors1, pgDoors},
    {kMenuViewCylinders1, pgCylinders}, {kMenuViewGroups1, pgGroups},
    {kMenuViewCabinets1, pgCabinets},   {kMenuViewTransfer1, pgIssueReturn},
    {kMenuViewLimits1, pgLimits},       {kMenuViewHistory1, pgHistory},
    {kMenuViewUsers1, pgUsers}};

}  // namespace

std::string MainFormText(int number) { return GetMLText(MainFormTexts(), number); }

TTessaroForm* TessaroForm() { return gTessaroForm; }

// =======================================================================================
// Creation.

TTessaroForm::TTessaroForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName("TessaroForm");
  setWindowTitle(ToQString(WinGlue().AppTitle.empty() ? std::string("Tessaro") : WinGlue().AppTitle));

  LoaderEndTimer = new QTimer(this);
  LoaderEndTimer->setObjectName("LoaderEndTimer");
  LoaderEndTimer->setInterval(100);
  LoaderEndTimer->setSingleShot(true);
  connect(LoaderEndTimer, &QTimer::timeout, this, &TTessaroForm::LoaderEndTimerTimer);

  GuiStartTimer = new QTimer(this);
  GuiStartTimer->setObjectName("GuiStartTimer");
  GuiStartTimer->setInterval(50);
  GuiStartTimer->setSingleShot(true);
  connect(GuiStartTimer, &QTimer::timeout, this, &TTessaroForm::GuiStartTimerTimer);

  gTessaroForm = this;
  FormCreate();
}

TTessaroForm::~TTessaroForm() {
  FormDestroy();
  if (gTessaroForm == this) gTessaroForm = nullptr;
}

void TTessaroForm::CreatePages() {
  auto* central = new QWidget(this);
  central->setObjectName("ClientArea");
  setCentralWidget(central);

  LeftColorImage = new QLabel(central);
  LeftColorImage->setObjectName("LeftColorImage");
  LeftColorImage->setScaledContents(true);
  RightColorImage = new QLabel(central);
  RightColorImage->setObjectName("RightColorImage");
  RightColorImage->setScaledContents(true);
  BottomColorPanel = new QWidget(central);
  BottomColorPanel->setObjectName("BottomColorPanel");
  SetBackgroundColour(BottomColorPanel, kBottomPanelColour);

  PageControl = new QTabWidget(central);
  PageControl->setObjectName("PageControl");
  for (int page = 0; page < kPageCount; ++page) {
    auto* sheet = new QWidget;
    sheet->setObjectName(kSheetNames[page]);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Sheets[page] = sheet;
    PageControl->addTab(sheet, ToQString(kPageCaptions[page]));
  }
  FitTabsToWidth(PageControl);
  // The Help page: a bar with the way back above the web view.
  HelpTopPanel = new QWidget(Sheets[pgHelp]);
  HelpTopPanel->setObjectName("HelpTopPanel");
  auto* bar = new QHBoxLayout(HelpTopPanel);
  bar->setContentsMargins(4, 2, 4, 2);
  HelpBackBtn = new QPushButton(ToQString("zur\xFC" "ck zur letzten Karteikarte"), HelpTopPanel);
  HelpBackBtn->setObjectName("HelpBackBtn");
  bar->addWidget(HelpBackBtn);
  bar->addStretch(1);
  HelpTopPanel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  auto* helpLayout = static_cast<QVBoxLayout*>(Sheets[pgHelp]->layout());
  helpLayout->addWidget(HelpTopPanel);
  helpLayout->addStretch(1);  // until the web view takes the room
  connect(HelpBackBtn, &QPushButton::clicked, this, &TTessaroForm::HelpBackBtnClick);

  connect(PageControl->tabBar(), &QTabBar::tabBarClicked, this,
          [this](int index) {
            if (index >= 0 && index != PageControl->currentIndex()) PageControlChanging();
          });
  connect(PageControl, &QTabWidget::currentChanged, this, &TTessaroForm::CurrentPageChanged);
}

void TTessaroForm::FormCreate() {
  // 1. The menu stays detached until the first login page; the window and its page
  // control are published; the registry learns which program runs; texts translated.
  CreatePages();
  CreateMenus();
  MainMenu1->setVisible(false);
  WinGlue().MainWindow = this;
  WinGlue().PageControl = PageControl;
  SetViewCreator([this](int page) { EnsureLazyFrame(page); });
  InstallPrintPreviewSetter([this](bool on, bool store) { SetPrintPreview(on, store); });
  LoginState().Host = this;
  WriteRegistryExecInfo();
  TranslateForm(this);
  ReadProgramSettings();

  const std::string icon = ProgramDir() + "Icons/Tessaro.png";
  if (FileThere(icon)) setWindowIcon(QIcon(ToQString(icon)));

  // 2. Placement.
  std::string windowSwitch;
  QScreen* screen = this->screen() ? this->screen() : QApplication::primaryScreen();
  if (FindParam("window", &windowSwitch) > 0 && windowSwitch == "small" && screen) {
    const TScreenRect r = SmallWindowBounds(ToRect(screen->geometry()));
    setGeometry(r.left, r.top, r.width, r.height);
  } else {
    ApplyWindowState(startWindowState_);
  }

  // 3. Views, each on its page.
  CreateViews();

  // 4. The demo menu and the languages.
  if (QMenu* demo = Menu("Bestellen1")) demo->menuAction()->setVisible(true);
  FillLanguageMenu(Language1, true, [this](const std::string& code) { LanguageMenuClick(code); });

  // 5. Screen and font.
  if (screen && screen->geometry().width() < 800) ShowError(MainFormText(3));
  QFont font = QApplication::font();
  if (IsVerdanaInstalled()) {
    font.setFamily("Verdana");
    QApplication::setFont(font);
  } else if (QFontDatabase::families().contains(kFallbackFont, Qt::CaseInsensitive)) {
    // A metric-compatible free font: the layouts fit as they do with Verdana, so there is
    // nothing to tell the user.
    font.setFamily(kFallbackFont);
    QApplication::setFont(font);
  } else if (RegReadString(false, kFontNoticeValue) != "1") {
    ShowInfo(MainFormText(18));
    RegWriteString(false, kFontNoticeValue, "1");
  }

  // 6. Hover hints; the start timer.
  MouseEventsControls().AddControlTree(this);
  qApp->installEventFilter(this);
  SetLanguage(MLSystem().CurrentLanguage());
  PageControl->setVisible(false);
  PageControl->setEnabled(false);
  GuiStartTimer->start();
}

void TTessaroForm::CreateViews() {
  FrameLogin = new TFrameLogin(Sheets[pgLogin]);
  FrameLogin->setObjectName("FrameLogin");
  Sheets[pgLogin]->layout()->addWidget(FrameLogin);
  FrameLogin->OnDatabaseChosen = [] { return ::OpenDataStore(); };
  FrameLogin->OnLoginSucceeded = [] { ::AfterLogin(); };
  FrameLogin->OnChooseDataFolder = [this] {
    std::string folder;
    TMandantState& state = MandantState();
    if (!BrowseForFolder(this, "Datenordner w\xE4hlen", state.DataPath, false, true, folder))
      return false;
    state.DataRoot = folder;
    state.DataPath = folder;
    // The next start opens it too, unless a "datapath" switch names another.
    WriteSetting(kSettingsProgramLevel, "DataPath", folder);
    return true;
  };
  for (int page : {pgBuildings, pgDoors, pgKeys, pgPersons, pgUsers, pgLimits, pgHistory,
                   pgIssueReturn}) {
    const TViewFactory& factory = ViewFactoryOf(page);
    if (factory && !ViewOf(page)) factory(Sheets[page]);
  }
}

void TTessaroForm::FormDestroy() {
  qApp->removeEventFilter(this);
  if (LoginState().Host == this) {
    // The store, the locksmith store and the journal go with the window.
    ResetLoginState();
    LoginState().Host = nullptr;
  }
  HistoryFlush();
  TWinGlue& glue = WinGlue();
  if (glue.MainWindow == this) {
    InstallPrintPreviewSetter(nullptr);
    ForgetViews();
  }
}

// =======================================================================================
// Messages, timers, window events.

int TTessaroForm::WMCopyData(int code) {
  if (code == kCopyDataActivate) {
    ++activations_;
    // Back from the minimised state into the state before it (maximised stays maximised).
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
  }
  return 1;
}

void TTessaroForm::LoaderEndTimerTimer() {
  LoaderEndTimer->stop();
  NotifyLoader();
}

void TTessaroForm::GuiStartTimerTimer() {
  GuiStartTimer->stop();
  if (PageControl->isVisible()) return;
  UI().ProcessPendingEvents();
  PageControl->setVisible(true);
  ShowLoginPage();
}

void TTessaroForm::FormShow() {
  formShown_ = true;
  ApplyFrameColour();
  LayoutFrame();
}

void TTessaroForm::FormResize() { LayoutFrame(); }

void TTessaroForm::FormPaint() {
  const int page = PageControl->currentIndex();
  if (page == pgCylinders || page == pgKeys)
    if (IPageCommands* c = PageCommandsOf(page)) c->RepaintList();
}

void TTessaroForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  FormShow();
}

void TTessaroForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TTessaroForm::closeEvent(QCloseEvent* event) {
  if (FormClose())
    event->accept();
  else
    event->ignore();
}

bool TTessaroForm::FormClose() {
  if (!FormCloseQuery()) return false;
  return true;
}

bool TTessaroForm::eventFilter(QObject* watched, QEvent* event) {
  // The window sees key presses before its controls.
  if (event->type() == QEvent::KeyPress) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (w && w->window() == this && w->isVisible()) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier &&
          FormKeyPress(Qt::Key_Escape))
        return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TTessaroForm::FormKeyPress(int key) {
  if (key != Qt::Key_Escape) return false;
  const int page = PageControl->currentIndex();
  switch (page) {
    case pgBuildings: case pgDoors: case pgCylinders: case pgGroups: case pgKeys:
    case pgCabinets: case pgPersons: case pgUsers: {
      IView* view = ViewOf(page);
      IPageCommands* commands = PageCommandsOf(page);
      if (view && view->Editing() && commands && commands->CancelEdit()) return true;
      break;
    }
    default:
      break;
  }
  LeavePage(pgHelp);
  return true;
}

// =======================================================================================
// Pages.

void TTessaroForm::PageControlChanging() {
  const int leaving = PageControl->currentIndex();
  if (leaving != pgHelp) WinGlue().PreviousPage = leaving;
}

void TTessaroForm::CurrentPageChanged(int index) {
  currentPage_ = index;
  switch (index) {
    case pgCylinders: CylsSheetShow(); break;
    case pgGroups: GroupsSheetShow(); break;
    case pgCabinets: CabinetSheetShow(); break;
    case pgKeys: KeysSheetShow(); break;
    case pgIssueReturn:
      TransferSheetShow();
      TransferSheetEnter();
      break;
    case pgHelp: HelpSheetShow(); break;
    default: break;
  }
}

void TTessaroForm::EnsureLazyFrame(int page) {
  if (page != pgCylinders && page != pgGroups && page != pgCabinets) return;
  if (ViewOf(page)) return;
  const TViewFactory& factory = ViewFactoryOf(page);
  if (!factory) return;
  factory(Sheets[page]);
  BuildLockingSystemList();
  if (IView* view = ViewOf(page)) view->RefreshView();
}

void TTessaroForm::CylsSheetShow() { EnsureLazyFrame(pgCylinders); }
void TTessaroForm::GroupsSheetShow() { EnsureLazyFrame(pgGroups); }
void TTessaroForm::CabinetSheetShow() { EnsureLazyFrame(pgCabinets); }

void TTessaroForm::KeysSheetShow() {
  if (IPageCommands* c = PageCommandsOf(pgKeys)) c->RepaintList();
}

void TTessaroForm::TransferSheetShow() {
  // The issue-and-return view makes its own help web view when it is first shown.
  if (const TMenuCommand& show = MenuCommandOf(kHookTransferSheetShow)) show();
}

void TTessaroForm::TransferSheetEnter() {
  // The persons or users view hands over the party it was choosing for the pending
  // transfer; that handover belongs to the issue-and-return view's unit.
  if (const TMenuCommand& enter = MenuCommandOf(kHookTransferSheetEnter)) enter();
}

void TTessaroForm::HelpSheetShow() { CreateHelpBrowser(); }

void TTessaroForm::HelpBackBtnClick() { LeavePage(pgHelp); }

void TTessaroForm::ShowLoginPage() { ::ShowLoginPage(*FrameLogin); }

// =======================================================================================
// Frame, colour, placement.

void TTessaroForm::ApplyFrameColour() {
  const uint32_t colour = FrameColourFor(MandantState().TimeTravelMode, SandboxNow(),
                                         GetWindowsVersionCode());
  SetBackgroundColour(centralWidget(), colour);
  if (colour == frameColour_) return;
  frameColour_ = colour;
  // A vertical gradient from the mode's colour into the colour of the bottom panel.
  QPixmap gradient(16, 256);
  QPainter painter(&gradient);
  QLinearGradient fill(0, 0, 0, 256);
  fill.setColorAt(0, Bgr(colour));
  fill.setColorAt(1, Bgr(kBottomPanelColour));
  painter.fillRect(gradient.rect(), fill);
  painter.end();
  LeftColorImage->setPixmap(gradient);
  RightColorImage->setPixmap(gradient);
}

void TTessaroForm::LayoutFrame() {
  QWidget* client = centralWidget();
  if (!client) return;
  const TFrameLayout l = FrameLayoutFor(client->width(), client->height());
  PageControl->setGeometry(l.pages.left, l.pages.top, l.pages.width, l.pages.height);
  BottomColorPanel->setGeometry(l.bottomPanel.left, l.bottomPanel.top, l.bottomPanel.width,
                                l.bottomPanel.height);
  LeftColorImage->setGeometry(l.leftImage.left, l.leftImage.top, l.leftImage.width,
                              l.leftImage.height);
  RightColorImage->setGeometry(l.rightImage.left, l.rightImage.top, l.rightImage.width,
                               l.rightImage.height);
  BottomColorPanel->lower();
  PageControl->raise();
  if (const TMenuCommand& tour = MenuCommandOf(kHookPlaceTourPanel)) tour();
}

void TTessaroForm::ApplyWindowState(const std::string& text) {
  QScreen* screen = this->screen() ? this->screen() : QApplication::primaryScreen();
  const TScreenRect area = screen ? ToRect(screen->availableGeometry()) : TScreenRect{0, 0, 1024, 768};
  const TWindowPlacement placement = WindowPlacementFor(text, area);
  if (placement.maximised) {
    // Maximising is the window manager's: without one (a bare X server, a kiosk session)
    // the window would keep its unplaced size. It gets the work area itself, which a
    // window manager then maximises as usual.
    setGeometry(area.left, area.top, area.width, area.height);
    setWindowState(windowState() | Qt::WindowMaximized);
    return;
  }
  setWindowState(windowState() & ~Qt::WindowMaximized);
  if (placement.centred) {
    // The default size is the smallest one the layout is made for, as far as the screen
    // has room.
    const int width = std::min(std::max(this->width(), kMinWindowWidth), std::max(area.width, 1));
    const int height =
        std::min(std::max(this->height(), kMinWindowHeight), std::max(area.height, 1));
    resize(width, height);
    move(area.left + (area.width - width) / 2, area.top + (area.height - height) / 2);
    return;
  }
  const TScreenRect& b = placement.bounds;
  resize(b.width, b.height);
  move(b.left, b.top);
}

std::string TTessaroForm::WindowStateText() const {
  const QRect frame = frameGeometry();
  return WindowStateTextFor(isMaximized(), {frame.x(), frame.y(), width(), height()});
}

void TTessaroForm::ReadProgramSettings() {
  activeX_ = ActiveXFlagsOf(ReadSettingStr(kSettingsProgramLevel, "ActiveX"));
  startWindowState_ = ReadDataSettingStr("WindowState").substr(0, kMaxPlacementText);
  const std::string webLinks = Trim(ReadSettingStr(kSettingsProgramLevel, "WebLinks"));
  WinGlue().WebLinks = webLinks != "0";
  // The logs of this installation, beside the program unless a folder is given.
  for (auto [key, target] : {std::pair{"ErrorLogFile", &LogFileNames().ErrorLogFile},
                             std::pair{"SuccessLogFile", &LogFileNames().SuccessLogFile}}) {
    std::string name = Trim(ReadSettingStr(kSettingsProgramLevel, key));
    if (!name.empty()) MakeAbsolutePath(ProgramDir(), name);
    *target = name;
  }
  TProgramValues& values = ProgramValues();
  values.SigPadWanted = Trim(ReadSettingStr(kSettingsProgramLevel, "SigPad")) != "0";
  values.DC = ReadSettingStr(kSettingsProgramLevel, "DC");
  values.ImportPath = Trim(ReadSettingStr(kSettingsProgramLevel, "ImportPath"));
  if (PrintSettings().printerName.empty())
    PrintSettings().printerName = Trim(ReadDataSettingStr("Printer"));
  // The client register that several installations share, beside their own.
  std::string shared = Trim(ReadSettingStr(kSettingsProgramLevel, "MultiSubscriber"));
  if (!shared.empty()) {
    MakeAbsolutePath(ProgramDir(), shared);
    AddBackslash(shared);
    MandantState().SecondRegisterName = shared + kAutomaticRegisterName;
  }
}

// =======================================================================================
// Help.

void TTessaroForm::ShowHelpPage(const std::string& fileName) {
  const std::string path = WinGlue().HelpFolder + fileName;
  if (!FileThere(path)) return;
  helpAddress_ = "file://" + path;
  if (HelpBrowser) HelpBrowser->Navigiere(helpAddress_);
}

void TTessaroForm::CreateHelpBrowser() {
  if (HelpBrowser || activeX_.empty() || activeX_[0] != '1') return;
  UI().ProcessPendingEvents();
  HelpBrowser = new TAWebBrowser(Sheets[pgHelp]);
  HelpBrowser->setObjectName("HelpBrowser");
  auto* layout = static_cast<QVBoxLayout*>(Sheets[pgHelp]->layout());
  // The web view takes the place of the stretch below the bar.
  if (QLayoutItem* stretch = layout->takeAt(layout->count() - 1)) delete stretch;
  layout->addWidget(HelpBrowser, 1);
  HelpBrowser->show();
  if (!helpAddress_.empty()) HelpBrowser->Navigiere(helpAddress_);
}

void TTessaroForm::HelpF1Click() {
  const int page = PageControl->currentIndex();
  if (page == pgIssueReturn) {
    TransferHelp1Click();
    return;
  }
  const std::string file =
      HelpFileFor(WinGlue().HelpFolder, HelpFileOfPage(page), FileThere);
  ShowHelpPage(file.substr(WinGlue().HelpFolder.size()));
  ShowPage(pgHelp, true);
}

void TTessaroForm::TransferHelp1Click() {
  if (!Session().LoggedIn) return;
  ShowPage(pgIssueReturn, false);
  ShowInfo(MainFormText(5));
}

// =======================================================================================
// Language.

void TTessaroForm::SetLanguage(const std::string& requested) {
  tMLSystem& ml = MLSystem();
  std::string code = requested.substr(0, 3);
  if (code.empty()) code = ml.CurrentLanguage();
  code = ml.ResolveLangCode(AnsiUpperCase(code));
  const std::string second = AnsiSameText(code, "HU") ? "DE" : "EN";
  if (!AnsiSameText(code, ml.CurrentLanguage()) && ml.IsLanguageLoaded(code) &&
      SwitchLanguage(ml.CurrentLanguage(), code, second)) {
    // The texts made once from the message tables (the holder kinds, the display names
    // built with them) follow the new language too; configured terms stay as they are.
    const TVocabulary& words = Vocabulary();
    InitGlobalTexts(words.personTerm, words.departmentTerm);
    if (!words.personTerm.empty()) SetHolderKindName(okPerson, PersonTerm());
    // The choices "all buildings", "without locking system" and their like in the views'
    // boxes come from the shared lists.
    if (WinGlue().LockingSystemsBuilt) BuildLockingSystemList();
    if (!WinGlue().Buildings.Items().empty()) BuildBuildingList();
  }
  SetPadLanguage(ml.CurrentLanguage());
  LoadQtTranslations(ProgramDir(), tMLSystem::AliasOf(ml.CurrentLanguage()));
  SetPageCaptions();
  WinGlue().HelpFolder =
      HelpFolderFor(ProgramDir(), tMLSystem::AliasOf(ml.CurrentLanguage()),
                    tMLSystem::AliasOf(second), FolderThere);
  if (FrameLogin) FrameLogin->update();
  for (int page = 0; page < kPageCount; ++page)
    if (IView* view = ViewOf(page)) view->TermsChanged();
}

void TTessaroForm::SetPageCaptions() {
  PageControl->setTabText(pgBuildings, ToQString(BuildingsCaption()));
  PageControl->setTabText(pgCylinders, ToQString(CylindersCaption()));
  PageControl->setTabText(pgKeys, ToQString(KeysCaption()));
  PageControl->setTabText(pgPersons, ToQString(PersonTerm()));
  PageControl->setTabText(pgUsers, ToQString(UsersCaption()));
  if (QAction* a = MenuItem(kMenuViewBuildings1)) a->setText(ToQString(BuildingsCaption()));
  if (QAction* a = MenuItem(kMenuViewCylinders1)) a->setText(ToQString(CylindersCaption()));
  if (QAction* a = MenuItem(kMenuViewUsers1)) a->setText(ToQString(UsersCaption()));
  if (QAction* a = MenuItem(kMenuUsers1)) a->setText(ToQString(UsersCaption() + " ..."));
}

void TTessaroForm::LanguageMenuClick(const std::string& code) {
  SetLanguage(code);
  WriteSetting(kSettingsProgramLevel, "Lng", tMLSystem::AliasOf(MLSystem().CurrentLanguage()));
  if (MLSystem().SwitchCounter() > 1) ShowInfo(MainFormText(45));
}

// =======================================================================================
// Record commands.

void TTessaroForm::Beep() {
  ++beeps_;
  QApplication::beep();
}

void TTessaroForm::DispatchCommand(char letter) {
  if (!Session().LoggedIn) return;
  IPageCommands* commands = PageCommandsOf(PageControl->currentIndex());
  if (!commands || !commands->HandleCommand(letter)) Beep();
}

void TTessaroForm::New1Click() { DispatchCommand(kCmdNew); }
void TTessaroForm::Ed1Click() { DispatchCommand(kCmdEdit); }
void TTessaroForm::Save1Click() { DispatchCommand(kCmdSave); }

void TTessaroForm::Dup1Click() {
  if (PageAllowsDuplicate(PageControl->currentIndex())) DispatchCommand(kCmdDuplicate);
}

void TTessaroForm::SetPrintPreview(bool on, bool store) {
  SetPrintPreviewFlag(on);
  if (QAction* a = MenuItem(kMenuPrintPreview1)) a->setChecked(on);
  if (!store) return;
  TMiniDB* db = GlueDB();
  const int32_t user = Session().CurrentUserId;
  const std::string value = on ? "1" : "0";
  if (!db || user == 0 || db->GetClass(user) != icUser || db->GetField(user, "PrintPreview") == value)
    return;
  TStoreWrite write(*db, {user});
  if (!write.Ok()) return;
  db->SetField(user, "PrintPreview", value);
  write.Commit();
}

// =======================================================================================
// The menu.

QAction* TTessaroForm::AddCommand(QMenu* menu, const char* name, const char* caption,
                                  const char* keys, TCommandGate gate, THandler handler) {
  QAction* action = menu->addAction(ToQString(caption));
  action->setObjectName(name);
  if (keys && *keys) action->setShortcut(QKeySequence(QString::fromLatin1(keys)));
  action->setShortcutContext(Qt::WindowShortcut);
  commands_[name] = TCommand{action, std::move(gate), handler};
  const std::string key = name;
  connect(action, &QAction::triggered, this, [this, key] { RunMenuCommand(key); });
  return action;
}

void TTessaroForm::CreateMenus() {
  MainMenu1 = new QMenuBar(this);
  MainMenu1->setObjectName("MainMenu1");
  setMenuBar(MainMenu1);
  auto addMenu = [this](QWidget* parent, const char* name, const char* caption) {
    QMenu* menu = nullptr;
    if (auto* bar = qobject_cast<QMenuBar*>(parent))
      menu = bar->addMenu(ToQString(caption));
    else
      menu = static_cast<QMenu*>(parent)->addMenu(ToQString(caption));
    menu->setObjectName(name);
    menus_[name] = menu;
    return menu;
  };
  using F = TTessaroForm;

  // "Datei"
  QMenu* file = addMenu(MainMenu1, "File1", "Datei");
  AddCommand(file, kMenuSelDBFile1, "Datenbank ausw\xE4hlen ...", "", AnyTime(), nullptr);
  AddCommand(file, kMenuBackupNow1, "Datensicherung durchf\xFChren", "", AnyTime(), &F::BackupNow1Click);
  AddCommand(file, kMenuSandbox1, "Sandkasten ...", "", LoggedInOnly(), &F::Sandbox1Click);
  file->addSeparator();
  QMenu* import = addMenu(file, "Import1", "Importieren ...");
  AddCommand(import, kMenuImportKWD1, "KWD-Datei importieren ...", "", Rights({rtBuildings, rtKeys}, true), nullptr);
  AddCommand(import, kMenuImportXML1, "XML-Datei importieren ...", "", Rights({rtBuildings, rtKeys}, true), nullptr);
  AddCommand(import, kMenuImportPlan1, "Excel-Schlie\xDF" "plan importieren ...", "", Rights({rtBuildings, rtKeys}, true), nullptr);
  AddCommand(import, kMenuImportBigKey1, "Big-Key importieren ...", "", LoggedInOnly(), nullptr)->setVisible(false);
  AddCommand(import, kMenuImportKeys1, "Schl\xFCssel importieren ...", "", Rights({rtKeys}), nullptr);
  AddCommand(import, kMenuImportPersons1, "Personen importieren ...", "", Rights({rtPersons}), nullptr);
  AddCommand(import, kMenuImportDoors1, "T\xFCren importieren ...", "", Rights({rtDoors}), nullptr);
  AddCommand(import, kMenuImportNew1, "Individueller Import ...", "", Rights({rtBuildings}, true), nullptr);
  import->addSeparator();
  AddCommand(import, kMenuImportShowBooking1, "\xC4nderungsprotokolle anzeigen", "", LoggedInOnly(), nullptr);
  AddCommand(file, kMenuRandomData1, "Daten automatisiert erzeugen ...", "",
             Rights({rtBuildings, rtPersons, rtKeys, rtDoors}), nullptr);
  AddCommand(file, kMenuDBExport1, "Datenbank exportieren ...", "", Rights({rtPrintLists}, true), nullptr);
  QMenu* exports = addMenu(file, "Export1", "Exportieren");
  AddCommand(exports, kMenuExportDoors1, "T\xFCren exportieren", "", LoggedInOnly(), nullptr);
  AddCommand(exports, kMenuExportKeys1, "Schl\xFCssel exportieren", "", LoggedInOnly(), nullptr);
  AddCommand(exports, kMenuExportPersons1, "Personen exportieren", "", LoggedInOnly(), nullptr);
  file->addSeparator();
  AddCommand(file, kMenuPrint1, "Drucken ...", "Ctrl+P", LoggedInOnly(), &F::Print1Click);
  file->addSeparator();
  AddCommand(file, kMenuLogout1, "Logout", "F10", AnyTime(), &F::Logout1Click);
  AddCommand(file, kMenuFileClosePgm, "Programm beenden", "", AnyTime(), &F::FileClosePgmClick);

  // "Bearbeiten"
  QMenu* edit = addMenu(MainMenu1, "Edit1", "Bearbeiten");
  // The record commands check the login themselves: before it they do nothing at all.
  AddCommand(edit, kMenuNew1, "Neu", "Ctrl+N", AnyTime(), &F::New1Click);
  AddCommand(edit, kMenuEd1, "\xC4ndern", "Ctrl+E", AnyTime(), &F::Ed1Click);
  AddCommand(edit, kMenuDup1, "Duplizieren", "Ctrl+D", AnyTime(), &F::Dup1Click);
  AddCommand(edit, kMenuSave1, "Speichern", "Ctrl+S", AnyTime(), &F::Save1Click);
  edit->addSeparator();
  AddCommand(edit, kMenuNewBunch1, "Neues Schl\xFCsselbund", "", LoggedInOnly(), &F::NewBunch1Click);
  QAction* cylSeparator = edit->addSeparator();
  cylSeparator->setObjectName("defectCylSep");
  AddCommand(edit, kMenuDefectCyl1, "Zylinder ausmustern ...", "", LoggedInOnly(), nullptr);
  edit->addSeparator();
  AddCommand(edit, kMenuSeek1, "erweiterte Suche ...", "Ctrl+F", LoggedInOnly(), nullptr);
  AddCommand(edit, kMenuMem1, "Datensatz merken", "Ctrl+M", AnyTime(), nullptr);
  AddCommand(edit, kMenuRelations1, "Beziehungen ...", "", LoggedInOnly(), nullptr);
  AddCommand(edit, kMenuMassRename1, "Massenumbenennung ...", "", NoPending(), nullptr);
  edit->addSeparator();
  AddCommand(edit, kMenuKeysystems1, "Schlie\xDF" "anlagen ...", "", LoggedInOnly(), nullptr);
  AddCommand(edit, kMenuUsers1, "Benutzer ...", "", LoggedInOnly(), &F::Users1Click);
  AddCommand(edit, kMenuSettingsText1, "Ausdrucke konfigurieren ...", "", Rights({rtPrintConfig}), nullptr);
  AddCommand(edit, kMenuSettings1, "Einstellungen ...", "", Rights({rtSettings}), nullptr);

  // "Übergabe"
  QMenu* transfer = addMenu(MainMenu1, "Transfer1", "\xDC" "bergabe");
  AddCommand(transfer, kMenuIssue1, "Schl\xFCsselausgabe", "", LoggedInOnly(), &F::Issue1Click);
  AddCommand(transfer, kMenuSpindIssue1, "Spindschl\xFCssel ausgeben (Personal-Nr. als Schl\xFCssel)", "",
             LoggedInOnly(), &F::SpindIssue1Click);
  AddCommand(transfer, kMenuSpindReturn1, "Spindschl\xFCssel R\xFC" "cknahme", "", LoggedInOnly(),
             &F::SpindReturn1Click);
  transfer->addSeparator();
  AddCommand(transfer, kMenuKeyBox1, "Bestandsliste ...", "F6", LoggedInOnly(), nullptr);
  AddCommand(transfer, kMenuPlan1, "Schlie\xDF" "plan ...", "F7", LoggedInOnly(), nullptr);
  AddCommand(transfer, kMenuNavigation1, "Navigation", "F9", LoggedInOnly(), nullptr);
  AddCommand(transfer, kMenuChangeLog1, "Detailliertes Bearbeitungsprotokoll ...", "", LoggedInOnly(), nullptr);

  // "Ansicht"
  QMenu* view = addMenu(MainMenu1, "View1", "Ansicht");
  for (const TViewEntry& e : kViewEntries) {
    const int page = e.page;
    QAction* a = AddCommand(view, e.name, kPageCaptions[page], "", LoggedInOnly(), nullptr);
    a->setCheckable(true);
    viewEntries_[page] = a;
  }
  view->addSeparator();
  QMenu* sort = addMenu(view, "Sort1", "Sortierung");
  AddCommand(sort, kMenuSortName1, "nach Bezeichnung", "", LoggedInOnly(), &F::SortName1Click)->setCheckable(true);
  AddCommand(sort, kMenuSortLock1, "nach Schlie\xDF" "ung", "", LoggedInOnly(), &F::SortLock1Click)->setCheckable(true);
  AddCommand(sort, kMenuSortPos1, "nach Position", "", LoggedInOnly(), &F::SortPos1Click)->setCheckable(true);
  sort->addSeparator();
  AddCommand(sort, kMenuSortNotAdjust1, "nach Ziffernfolge  1, 10, 11, 2, 3", "", LoggedInOnly(),
             &F::SortNotAdjust1Click)->setCheckable(true);
  AddCommand(sort, kMenuSortAdjust1, "nach Zahlenwert   1, 2, 3, 10, 11", "", LoggedInOnly(),
             &F::SortAdjust1Click)->setCheckable(true);
  AddCommand(view, kMenuPrintPreview1, "Druckvorschau", "", AnyTime(), &F::PrintPreview1Click)->setCheckable(true);
  AddCommand(view, kMenuRefresh1, "Aktualisieren (Netzwerk)", "F5", AnyTime(), &F::Refresh1Click);
  AddCommand(view, kMenuShowMem1, "Gemerkte Datens\xE4tze", "", LoggedInOnly(), nullptr);
  AddCommand(view, kMenuRelations2, "Beziehungen ...", "", LoggedInOnly(), nullptr);
  view->addSeparator();
  AddCommand(view, kMenuSmallWinSize1, "Fenster verkleinern", "", AnyTime(), &F::SmallWinSize1Click);
  AddCommand(view, kMenuOptWinSize1, "Optimale Gr\xF6\xDF" "e", "", AnyTime(), &F::OptWinSize1Click);
  AddCommand(view, kMenuWinForeground1, "Fenster immer im Vordergrund", "", AnyTime(),
             &F::WinForeground1Click)->setCheckable(true);
  AddCommand(view, kMenuScreenshot1, "Screenshot speichern/senden ...", "", AnyTime(), nullptr);
  AddCommand(view, kMenuRTFEditor1, "Formular-Editor ...", "", LoggedInOnly(), nullptr)->setVisible(false);

  // The languages.
  Language1 = addMenu(MainMenu1, "Language1", "Sprache");

  // The demo menu.
  QMenu* demo = addMenu(MainMenu1, "Bestellen1", "Demo");
  AddCommand(demo, kMenuUseDemoData1, "Demo-Datenbank verwenden", "", AnyTime(), &F::useDemoData1Click)->setCheckable(true);
  AddCommand(demo, kMenuUseOwnData1, "Eigene Datenbank verwenden", "", AnyTime(), &F::useOwnData1Click)->setCheckable(true);
  AddCommand(demo, kMenuRandomDataDemo1, "Daten automatisiert erzeugen ...", "",
             Rights({rtBuildings, rtPersons, rtKeys, rtDoors}), nullptr);
  AddCommand(demo, kMenuDeleteDemoData1, "Demo-Daten l\xF6schen", "", AnyTime(), nullptr)->setVisible(false);
  AddCommand(demo, kMenuLoadUpdate1, "Update laden", "", AnyTime(), nullptr)->setVisible(false);
  demo->menuAction()->setVisible(false);

  // "Hilfe"
  QMenu* help = addMenu(MainMenu1, "Help1", "Hilfe");
  AddCommand(help, kMenuHelpF1, "Hilfe", "F1", LoggedInOnly(), &F::HelpF1Click);
  AddCommand(help, kMenuTransferHelp1, "Hilfe zur \xDC" "bergabe", "", LoggedInOnly(), &F::TransferHelp1Click);
  AddCommand(help, kMenuHelpPDF1, "Anleitung als PDF-Datei", "", AnyTime(), &F::HelpPDF1Click);
  AddCommand(help, kMenuDemoTourStart1, "Demo-Tour starten", "", LoggedInOnly(), nullptr);
  help->addSeparator();
  AddCommand(help, kMenuKontakt1, "Info und Kontakt ...", "F2", AnyTime(), nullptr);

  // Each menu adjusts itself when it opens: which commands have their work, then its own
  // rules on top.
  const std::pair<QMenu*, THandler> adjusting[] = {
      {file, &F::File1Click},         {edit, &F::Edit1Click},   {transfer, &F::Transfer1Click},
      {view, &F::View1Click},         {demo, &F::Bestellen1Click},
      // A submenu opens inside its parent: the parent's rules again.
      {import, &F::File1Click},       {exports, &F::File1Click}, {help, nullptr}};
  for (const auto& [menu, adjust] : adjusting)
    connect(menu, &QMenu::aboutToShow, this, [this, menu = menu, adjust = adjust] {
      ApplyInstalledCommands();
      if (adjust) (this->*adjust)();
      DisableEmptySubmenus(menu);
    });
  // The sort entries all have their work here; only their ticks and states change.
  connect(sort, &QMenu::aboutToShow, this, &F::Sort1Click);
  ApplyInstalledCommands();
}

bool TTessaroForm::DisableEmptySubmenus(QMenu* menu) {
  // A submenu of nothing but disabled entries would open on nothing to do.
  bool any = false;
  for (QAction* a : menu->actions()) {
    if (a->isSeparator() || !a->isVisible()) continue;
    if (QMenu* sub = a->menu()) {
      const bool subAny = DisableEmptySubmenus(sub);
      a->setEnabled(a->isEnabled() && subAny);
    }
    any = any || a->isEnabled();
  }
  return any;
}

QAction* TTessaroForm::MenuItem(const std::string& name) const {
  const auto it = commands_.find(name);
  return it == commands_.end() ? nullptr : it->second.action;
}

QMenu* TTessaroForm::Menu(const std::string& name) const {
  const auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second;
}

std::vector<std::string> TTessaroForm::CommandNames() const {
  std::vector<std::string> names;
  for (const auto& [name, command] : commands_) names.push_back(name);
  return names;
}

bool TTessaroForm::CommandHasOwnWork(const std::string& name) const {
  const auto it = commands_.find(name);
  if (it == commands_.end()) return false;
  if (it->second.handler) return true;
  for (const TViewEntry& e : kViewEntries)
    if (name == e.name) return true;
  return false;
}

void TTessaroForm::ApplyInstalledCommands() {
  // A command whose work is another unit's is enabled once that work is installed; the
  // View entries need only the page.
  for (auto& [name, command] : commands_) {
    if (command.handler) continue;
    bool available = static_cast<bool>(MenuCommandOf(name));
    for (const TViewEntry& e : kViewEntries)
      if (name == e.name) available = true;
    command.action->setEnabled(available);
  }
}

bool TTessaroForm::RunMenuCommand(const std::string& name) {
  const auto it = commands_.find(name);
  if (it == commands_.end()) return false;
  const TCommand& command = it->second;
  for (const TViewEntry& e : kViewEntries) {
    if (name != e.name) continue;
    if (!PassCommandGate(command.gate, {[] {
                                          if (Session().LoggedIn) return true;
                                          ShowMsgText30();
                                          return false;
                                        },
                                        nullptr, nullptr}))
      return false;
    ViewPageClick(e.page);
    return true;
  }
  const TMenuCommand& installed = MenuCommandOf(name);
  if (!command.handler && !installed) return false;
  TGateChecks checks;
  checks.loggedIn = [] {
    if (Session().LoggedIn) return true;
    ShowMsgText30();
    return false;
  };
  checks.denied = [](int right) { return RightDenied(right); };
  checks.pendingInput = [] { return CheckPendingInput(); };
  if (!PassCommandGate(command.gate, checks)) return false;
  if (command.handler)
    (this->*command.handler)();
  else
    installed();
  return true;
}

void TTessaroForm::UpdateMenus() {
  ApplyInstalledCommands();
  File1Click();
  Edit1Click();
  Transfer1Click();
  View1Click();
  Sort1Click();
  Bestellen1Click();
}

void TTessaroForm::File1Click() {
  const TMandantState& state = MandantState();
  const bool timeTravel = state.TimeTravelMode;
  if (QAction* a = MenuItem(kMenuSelDBFile1))
    a->setEnabled(a->isEnabled() && !SandboxNow() && !timeTravel);
  if (QAction* a = MenuItem(kMenuBackupNow1)) a->setEnabled(!timeTravel);
  if (QAction* a = MenuItem(kMenuSandbox1)) a->setEnabled(!timeTravel);
  if (QMenu* m = Menu("Import1")) m->menuAction()->setEnabled(!timeTravel);
}

void TTessaroForm::Edit1Click() {
  const int page = PageControl->currentIndex();
  // A page without its view has no record to make, change or save.
  const bool recordPage = PageCommandsOf(page) != nullptr;
  for (const char* name : {kMenuNew1, kMenuEd1, kMenuSave1})
    if (QAction* a = MenuItem(name)) a->setEnabled(recordPage);
  if (QAction* a = MenuItem(kMenuNewBunch1)) {
    a->setVisible(page == pgKeys);
    a->setEnabled(ViewOf(pgKeys) != nullptr);
  }
  if (QAction* a = MenuItem(kMenuMassRename1)) a->setEnabled(a->isEnabled() && page == pgPersons);
  if (QAction* a = MenuItem(kMenuDup1)) a->setEnabled(recordPage && PageAllowsDuplicate(page));
  const bool timeTravel = MandantState().TimeTravelMode;
  for (const char* name : {kMenuSettingsText1, kMenuSettings1})
    if (QAction* a = MenuItem(name)) a->setEnabled(a->isEnabled() && !timeTravel);
  IView* cylinders = ViewOf(pgCylinders);
  const bool cylVisible = page == pgCylinders && cylinders;
  if (QAction* a = MenuItem(kMenuDefectCyl1)) {
    a->setVisible(cylVisible);
    a->setEnabled(a->isEnabled() && cylinders && cylinders->CurrentItemId() != 0);
  }
  if (QMenu* m = Menu("Edit1"))
    if (auto* sep = m->findChild<QAction*>("defectCylSep")) sep->setVisible(cylVisible);
}

void TTessaroForm::Transfer1Click() {
  QAction* issue = MenuItem(kMenuIssue1);
  if (!issue) return;
  std::string caption = MainFormText(43);
  IView* keys = ViewOf(pgKeys);
  IView* persons = ViewOf(pgPersons);
  if (!keys || keys->CurrentItemId() == 0)
    caption += ": " + MainFormText(42);
  else if (!persons || persons->CurrentItemId() == 0)
    caption += ": " + MainFormText(41);
  issue->setText(ToQString(caption));
}

void TTessaroForm::View1Click() {
  for (const auto& [page, action] : viewEntries_) action->setChecked(PageControl->isTabVisible(page));
  if (QAction* a = MenuItem(kMenuPrintPreview1)) a->setChecked(PrintPreviewEnabled());
}

void TTessaroForm::Sort1Click() {
  const int cls = CurrentItemType();
  const TSortMenuState s = SortMenuStateFor(cls);
  auto set = [this](const char* name, bool enabled, bool checked) {
    if (QAction* a = MenuItem(name)) {
      a->setEnabled(enabled);
      a->setChecked(checked);
    }
  };
  set(kMenuSortNotAdjust1, s.numberEnabled, s.numberEnabled && !s.numberByValue);
  set(kMenuSortAdjust1, s.numberEnabled, s.numberEnabled && s.numberByValue);
  set(kMenuSortName1, s.nameEnabled, s.nameEnabled && s.nameChecked);
  set(kMenuSortLock1, s.closingEnabled, s.closingEnabled && s.closingChecked);
  set(kMenuSortPos1, s.positionEnabled, s.positionEnabled && s.positionChecked);
  if (QAction* a = MenuItem(kMenuSortPos1)) {
    std::string caption = MainFormText(22);
    if (cls == icDoor)
      caption += " (" + ClassCaption(icDoor, false) + ", " + CylinderCaption() + ")";
    else if (cls == icCylinder)
      caption += " (" + ClassCaption(icDoor, false) + ")";
    a->setText(ToQString(caption));
  }
}

void TTessaroForm::Bestellen1Click() {
  std::string root = MandantState().DataRoot;
  while (!root.empty() && root.back() == '/') root.pop_back();
  const std::string last = AnsiLowerCase(root.substr(root.find_last_of('/') + 1));
  if (QAction* a = MenuItem(kMenuUseDemoData1)) {
    a->setChecked(last == "demodata");
    a->setEnabled(last != "demodata");
  }
  if (QAction* a = MenuItem(kMenuUseOwnData1)) {
    a->setChecked(last == "data");
    a->setEnabled(last != "data");
  }
}

// ---------------------------------------------------------------------------------------
// Menu handlers.

void TTessaroForm::BackupNow1Click() { ::BackupNow1Click(LoginBackupEnvironment()); }

void TTessaroForm::Sandbox1Click() {
  if (SandboxNow()) {
    if (UI().Ask(TMsgKind::Confirmation, MainFormText(32), TAskButtons::YesCancel) == mrYes)
      Logout1Click();
    return;
  }
  if (UI().Ask(TMsgKind::Confirmation, MainFormText(33) + "\r\r" + MainFormText(34),
               TAskButtons::YesCancel) != mrYes)
    return;
  if (CheckPendingInput()) return;
  TMiniDB* db = SessionDB();
  if (!db || !EnterSandbox(*db)) {
    ShowError(MainFormText(35));
    return;
  }
  // The logout leads through the login page into the sandbox client.
  Logout1Click();
}

void TTessaroForm::Print1Click() {
  const int page = PageControl->currentIndex();
  if (page == pgHelp) {
    if (HelpBrowser) HelpBrowser->PrintWebBrowser();
    return;
  }
  IPageCommands* commands = PageCommandsOf(page);
  const bool printable = page == pgBuildings || page == pgCylinders || page == pgPersons ||
                         page == pgDoors || page == pgKeys || page == pgLimits ||
                         page == pgHistory;
  if (printable && commands && commands->Print()) return;
  ShowInfo(MainFormText(14));
}

void TTessaroForm::Logout1Click() {
  ::Logout1Click(*FrameLogin, [this] { close(); });
}

void TTessaroForm::FileClosePgmClick() { close(); }

void TTessaroForm::NewBunch1Click() {
  if (!PageControl->isTabVisible(pgKeys) || !ViewOf(pgKeys)) return;
  ShowPage(pgKeys, false);
  KeysViewCall(kCmdNew, 0);
}

void TTessaroForm::Users1Click() { ShowPage(pgUsers, true); }

void TTessaroForm::Issue1Click() {
  IView* keys = ViewOf(pgKeys);
  IView* persons = ViewOf(pgPersons);
  if (!keys || keys->CurrentItemId() == 0) {
    ShowPage(pgKeys, true);
  } else if (!persons || persons->CurrentItemId() == 0) {
    ShowPage(pgPersons, true);
  } else {
    KeysViewCall('T', keys->CurrentItemId());
  }
}

void TTessaroForm::SpindIssue1Click() { LockerKey(2); }
void TTessaroForm::SpindReturn1Click() { LockerKey(3); }

void TTessaroForm::LockerKey(int kind) {
  ShowPage(pgPersons, true);
  IView* persons = ViewOf(pgPersons);
  const int32_t person = persons ? persons->CurrentItemId() : 0;
  if (person == 0) {
    ShowInfo(MainFormText(39));
    return;
  }
  TMiniDB* db = GlueDB();
  std::string identifier = db ? db->GetField(person, "Nr") : std::string();
  if (identifier.empty()) {
    if (UI().Ask(TMsgKind::Confirmation, MainFormText(40), TAskButtons::YesCancel) != mrYes)
      return;
    identifier = " ";
  }
  // No record changes: the receipt is the whole of it.
  if (const TLockerReceiptPrinter& print = LockerReceiptPrinter())
    print(kind, person, Session().CurrentUserName, NowLocal(), "1", identifier);
}

void TTessaroForm::Refresh1Click() { ReloadAndRefresh(); }

void TTessaroForm::ViewPageClick(int page) {
  ClosePage(page, true);
  View1Click();
}

void TTessaroForm::PrintPreview1Click() { SetPrintPreview(!PrintPreviewEnabled(), true); }

void TTessaroForm::Sort(TSortCommand command) {
  if (!ApplySortCommand(CurrentItemType(), command)) return;
  RefreshAllFrames();
  SaveViewSort();
}

void TTessaroForm::SortName1Click() { Sort(TSortCommand::Name); }
void TTessaroForm::SortLock1Click() { Sort(TSortCommand::Closing); }
void TTessaroForm::SortPos1Click() { Sort(TSortCommand::Position); }
void TTessaroForm::SortNotAdjust1Click() { Sort(TSortCommand::NumberByDigits); }
void TTessaroForm::SortAdjust1Click() { Sort(TSortCommand::NumberByValue); }

void TTessaroForm::SmallWinSize1Click() {
  setWindowState(windowState() & ~Qt::WindowMaximized);
  QScreen* screen = this->screen();
  const TScreenRect area = screen ? ToRect(screen->availableGeometry()) : TScreenRect{0, 0, 1024, 768};
  PlaceOuter(SmallerWindowBounds({x(), y(), width(), height()}, area), area);
}

void TTessaroForm::PlaceOuter(const TScreenRect& wanted, const TScreenRect& area) {
  // The bounds are the window's outer ones; Qt sizes the inside, below the title bar.
  const QSize frame = frameGeometry().size() - geometry().size();
  const TScreenRect r = FitOuterBounds(wanted, area, minimumWidth() + frame.width(),
                                       minimumHeight() + frame.height());
  resize(r.width - frame.width(), r.height - frame.height());
  move(r.left, r.top);
}

void TTessaroForm::OptWinSize1Click() {
  setWindowState(windowState() & ~Qt::WindowMaximized);
  QScreen* screen = this->screen();
  const TScreenRect area = screen ? ToRect(screen->availableGeometry()) : TScreenRect{0, 0, 1024, 768};
  PlaceOuter(OptimalWindowBounds(area), area);
}

void TTessaroForm::WinForeground1Click() {
  QAction* a = MenuItem(kMenuWinForeground1);
  const bool on = !(windowFlags() & Qt::WindowStaysOnTopHint);
  if (on) setWindowState(windowState() & ~Qt::WindowMaximized);
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  show();
  if (a) a->setChecked(on);
}

void TTessaroForm::HelpPDF1Click() { OpenManual(); }

void TTessaroForm::useDemoData1Click() { SwitchDataFolder("DemoData/"); }
void TTessaroForm::useOwnData1Click() { SwitchDataFolder("Data/"); }

void TTessaroForm::SwitchDataFolder(const std::string& folder) {
  if (SandboxNow()) {
    ShowInfo(CoreText(75));
    return;
  }
  if (CheckPendingInput()) return;
  SwitchDataPathAndRestart(ProgramDir() + folder);
}

// =======================================================================================
// ILoginHost.

void TTessaroForm::ResetWindowToLogin() {
  ApplyFrameColour();
  PageControl->setTabVisible(pgLogin, true);
  PageControl->setCurrentIndex(pgLogin);
  WinGlue().PreviousPage = 0;
  for (int page = 1; page < kPageCount; ++page)
    if (page != pgHelp) PageControl->setTabVisible(page, false);
  ClearAllFrames();
  const std::string multistart = GetParam("multistart");
  setWindowTitle(ToQString(FormatAboutLine(multistart)));
  SetAppTitle(multistart);
}

void TTessaroForm::SelectLanguage(const std::string& code) {
  if (!code.empty()) SetLanguage(code);
}

void TTessaroForm::AttachMenuAndEnablePages() {
  if (!menuAttached_) {
    menuAttached_ = true;
    MainMenu1->setVisible(true);
    // The shortcuts work once the menu is attached.
    for (auto& [name, command] : commands_) addAction(command.action);
  }
  PageControl->setEnabled(true);
}

void TTessaroForm::ShowClientTitle(const std::string& title) {
  setWindowTitle(ToQString(FormatAboutLine(title)));
  SetAppTitle(title);
}

void TTessaroForm::UpdateFrameColours() { ApplyFrameColour(); }

void TTessaroForm::ReadDataSettings() {
  ReadBackupSettings(BackupSettings(), ProgramDir());
  // Set afresh at every opening: one client's "0" must not switch links off for the next.
  WinGlue().WebLinks = Trim(ReadSettingStr(kSettingsDataLevel, "WebLinks")) != "0";
  // A client without terms of its own shows the defaults, not the previous client's.
  TVocabulary& words = Vocabulary();
  words.personTerm.clear();
  words.departmentTerm.clear();
  SetHolderKindName(okPerson, PersonTerm());
  // The term chosen at installation sits beside the program; a data folder that names its
  // own keeps it.
  std::string personsTerm = Trim(ReadSettingStr(kSettingsDataLevel, "PersonsTerm"));
  if (personsTerm.empty()) personsTerm = Trim(ReadSettingStr(kSettingsProgramLevel, "PersonsTerm"));
  SetPersonsTerms(personsTerm, Trim(ReadSettingStr(kSettingsDataLevel, "PersonsDeptTerm")));
  // Stations that share one login and computer name tell their runs apart; the key is
  // set before the store opens with it.
  InitStationName(Trim(ReadSettingStr(kSettingsDataLevel, "AltBlocking")) == "1");
}

void TTessaroForm::StoreOpened(bool firstRun, bool /*minStockUsed*/) {
  if (firstRun) CreateHelpBrowser();
  if (firstRun && HelpBrowser) {
    PageControl->setCurrentIndex(pgHelp);
    ShowHelpPage("firstrun/index.html");
  } else {
    PageControl->setCurrentIndex(pgLogin);
    ShowHelpPage("login.html");
  }
}

void TTessaroForm::ShowPagesAfterLogin(bool issueTab) {
  setMinimumSize(kSmallWindowWidth, PageControl->y() + kSmallWindowHeight);
  ApplyViewTabs();
  const TSession& session = Session();
  PageControl->setTabVisible(pgGroups, true);
  PageControl->setTabVisible(pgKeys, true);
  PageControl->setTabVisible(pgPersons, true);
  PageControl->setTabVisible(pgIssueReturn, issueTab);
  // The users page is for those who may manage users.
  PageControl->setTabVisible(pgUsers, session.RightLevels[rtUsers] >= rlYes);
  PageControl->setCurrentIndex(pgKeys);
  PageControl->setTabVisible(pgLogin, false);
  FrameLogin->FreeLogos();
}

void TTessaroForm::AfterViewsRefreshed() {
  const TSession& session = Session();
  if (session.CurrentUserId > 0)
    if (IView* users = ViewOf(pgUsers)) users->ShowItem(session.CurrentUserId);
  // The limits view moves to its page itself when it finds overdue keys.
  if (const TMenuCommand& limits = MenuCommandOf(kHookLimitsCheck)) limits();
  ShowHelpPage("index.html");
  ShowTransferDocument("index.html");
}

void TTessaroForm::ApplyUserValues(const TUserValues& values) {
  // The values are the login state's (LoginState().UserValues); the window keeps no copy.
  SetPrintPreview(values.printPreview, false);
}

void TTessaroForm::EnablePageControl(bool on) { PageControl->setEnabled(on); }

void TTessaroForm::SetWaitCursor(bool on) {
  if (on)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void TTessaroForm::RunAutoImport(const std::string& profile) {
  // The import logs its own outcome ("Import successful" or why it failed).
  if (const TAutoImport& run = InstalledAutoImport()) {
    run(profile);
    return;
  }
  // An unattended start that did nothing must say so where its caller looks.
  LogError(kLogAutoImportUnavailable, profile);
}

void TTessaroForm::StartGuidedTour() {
  if (const TMenuCommand& tour = MenuCommandOf(kMenuDemoTourStart1)) tour();
}

void TTessaroForm::StoreWindowSettings() {
  if (FindParam("window") == 0) {
    const std::string state = WindowStateText();
    if (state != startWindowState_) WriteDataSetting("WindowState", state);
  }
  // The printer chosen in this run is the next run's first choice.
  const std::string& printer = PrintSettings().printerName;
  if (!printer.empty() && printer != Trim(ReadDataSettingStr("Printer")))
    WriteDataSetting("Printer", printer);
  PageControl->setEnabled(false);
}
