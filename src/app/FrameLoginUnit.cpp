#include "app/FrameLoginUnit.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "app/AppControlUnit.h"
#include "app/LoginUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/ParamsUnit.h"
#include "basic/RegistryUnit.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/IniUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "platform/ProcessPriority.h"

namespace {

constexpr int kMargin = 8;

void SetBackground(QWidget* w, std::uint32_t bgr) {
  QPalette p = w->palette();
  p.setColor(QPalette::Base, ColorFromBgr(bgr));
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

}  // namespace

TFrameLogin::TFrameLogin(QWidget* parent) : QWidget(parent) {
  setObjectName("FrameLogin");

  LoginGroupBox = new QGroupBox(ToQString(" Benutzer-Anmeldung "), this);
  LoginGroupBox->setObjectName("LoginGroupBox");
  auto* nameLabel = new QLabel(ToQString("Benutzer:"), LoginGroupBox);
  nameLabel->setObjectName("LoginNameLabel");
  nameLabel->setGeometry(12, 24, 80, 20);
  LoginNameCombo = new QComboBox(LoginGroupBox);
  LoginNameCombo->setObjectName("LoginNameCombo");
  LoginNameCombo->setEditable(false);
  LoginNameCombo->setGeometry(100, 22, 220, 22);
  auto* pwLabel = new QLabel(ToQString("Passwort:"), LoginGroupBox);
  pwLabel->setObjectName("LoginPWLabel");
  pwLabel->setGeometry(12, 54, 80, 20);
  LoginPWEd = new QLineEdit(LoginGroupBox);
  LoginPWEd->setObjectName("LoginPWEd");
  LoginPWEd->setEchoMode(QLineEdit::Password);
  LoginPWEd->setMaxLength(kMaxPasswordLength);
  LoginPWEd->setGeometry(100, 52, 220, 22);
  LoginOkBtn = new QPushButton(ToQString("OK"), LoginGroupBox);
  LoginOkBtn->setObjectName("LoginOkBtn");
  LoginOkBtn->setGeometry(330, 50, 75, 25);
  // Only a listed store can be logged into.
  LoginOkBtn->setEnabled(false);
  FirstLoginLabel = new QLabel(ToQString(FrameLoginText(3)), LoginGroupBox);
  FirstLoginLabel->setObjectName("FirstLoginLabel");
  FirstLoginLabel->setWordWrap(true);
  FirstLoginLabel->setGeometry(12, 84, 400, 36);
  FirstLoginLabel->hide();
  OpenFailedLabel = new QLabel(ToQString(FrameLoginText(4)), LoginGroupBox);
  OpenFailedLabel->setObjectName("OpenFailedLabel");
  OpenFailedLabel->setWordWrap(true);
  OpenFailedLabel->setGeometry(12, 84, 400, 20);
  OtherFolderBtn = new QPushButton(ToQString("Anderen Datenordner w\xE4hlen ..."), LoginGroupBox);
  OtherFolderBtn->setObjectName("OtherFolderBtn");
  OtherFolderBtn->setGeometry(12, 108, 220, 25);
  RetryOpenBtn = new QPushButton(ToQString("Erneut versuchen"), LoginGroupBox);
  RetryOpenBtn->setObjectName("RetryOpenBtn");
  RetryOpenBtn->setGeometry(240, 108, 165, 25);
  ShowOpenFailedRow(false);
  LoginGroupBox->setGeometry(kMargin, kMargin, 420, 90);

  LogoScrollBox = new QWidget(this);
  LogoScrollBox->setObjectName("LogoScrollBox");
  LogoPanel = new QLabel(ToQString("Tessaro\nMerivan Schl\xFC" "sselverwaltung"), LogoScrollBox);
  LogoPanel->setObjectName("LogoPanel");
  LogoPanel->setAlignment(Qt::AlignCenter);
  LogoPanel->resize(610, 212);
  LogoPicture = new QLabel(LogoScrollBox);
  LogoPicture->setObjectName("LogoPicture");
  LogoPicture->hide();
  TraderHomepageLabel = new QLabel(ToQString(kHomepage), LogoScrollBox);
  TraderHomepageLabel->setObjectName("TraderHomepageLabel");
  SetNoTranslate(TraderHomepageLabel);  // an address, the same in every language
  TraderHomepageLabel->setContextMenuPolicy(Qt::CustomContextMenu);
  TraderHomepageLabel->installEventFilter(this);
  homepageMenu_ = new QMenu(this);
  homepageMenu_->addAction(ToQString("URL kopieren"), this, [this] { URLkopieren1Click(); });
  connect(TraderHomepageLabel, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { homepageMenu_->popup(TraderHomepageLabel->mapToGlobal(at)); });

  MandantGroupBox = new QGroupBox(ToQString(" Mandanten-Auswahl "), this);
  MandantGroupBox->setObjectName("MandantGroupBox");
  MandantGrid = new QTableWidget(MandantGroupBox);
  MandantGrid->setObjectName("MandantGrid");
  MandantGrid->setToolTip(ToQString("Doppelklick zum Ausw\xE4hlen"));
  MandantGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  MandantGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  MandantGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  MandantGrid->verticalHeader()->hide();
  MandantGrid->installEventFilter(this);
  MandantSelectBtn = new QPushButton(ToQString("Ausw\xE4hlen"), MandantGroupBox);
  MandantSelectBtn->setObjectName("MandantSelectBtn");
  MandantGroupBox->hide();

  connect(LoginOkBtn, &QPushButton::clicked, this, [this] { LoginOkBtnClick(); });
  connect(LoginPWEd, &QLineEdit::returnPressed, this, [this] {
    if (LoginOkBtn->isEnabled()) LoginOkBtnClick();
  });
  LoginPWEd->installEventFilter(this);
  connect(LoginNameCombo, qOverload<int>(&QComboBox::activated), this,
          [this](int) { LoginNameComboSelect(); });
  connect(MandantGrid, &QTableWidget::cellDoubleClicked, this,
          [this](int, int) { MandantGridDblClick(); });
  connect(MandantSelectBtn, &QPushButton::clicked, this, [this] { MandantGridDblClick(); });
  connect(OtherFolderBtn, &QPushButton::clicked, this, [this] { OtherFolderBtnClick(); });
  connect(RetryOpenBtn, &QPushButton::clicked, this, [this] { RetryOpenBtnClick(); });
  resize(800, 560);
}

TFrameLogin::~TFrameLogin() = default;

bool TFrameLogin::ClientChoiceVisible() const { return !MandantGroupBox->isHidden(); }

bool TFrameLogin::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LoginPWEd) {
    if (event->type() == QEvent::FocusIn) LoginPWEdEnter();
    else if (event->type() == QEvent::FocusOut) LoginPWEdExit();
  } else if (watched == MandantGrid && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      MandantGridDblClick();
      return true;
    }
  } else if (watched == TraderHomepageLabel && event->type() == QEvent::MouseButtonRelease) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) TraderHomepageLabelClick();
  }
  return QWidget::eventFilter(watched, event);
}

void TFrameLogin::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutFrame();
}

void TFrameLogin::LayoutFrame() {
  const int w = width() - 2 * kMargin;
  const int h = height();
  int logoTop;
  if (ClientChoiceVisible()) {
    logoTop = h / 2 - 30;
    const int boxBottom = logoTop - 15;
    MandantGroupBox->setGeometry(kMargin, kMargin, w, std::max(60, boxBottom - kMargin));
    const int bw = 90;
    MandantSelectBtn->setGeometry(MandantGroupBox->width() - bw - 8,
                                  MandantGroupBox->height() - 33, bw, 25);
    MandantGrid->setGeometry(8, 20, MandantGroupBox->width() - bw - 24,
                             MandantGroupBox->height() - 28);
    GridAutoColWidths(MandantGrid, true, 300);
  } else {
    logoTop = LoginGroupBox->geometry().bottom() + 15;
  }
  LogoScrollBox->setGeometry(kMargin, logoTop, w, std::max(0, h - kMargin - logoTop));
  QWidget* logo = !LogoPicture->isHidden() ? LogoPicture : LogoPanel;
  const int lx = std::max(0, (LogoScrollBox->width() - logo->width()) / 2);
  const int ly = std::max(0, (LogoScrollBox->height() - logo->height() - 26) / 2);
  logo->move(lx, ly);
  TraderHomepageLabel->adjustSize();
  TraderHomepageLabel->move(std::max(0, (LogoScrollBox->width() - TraderHomepageLabel->width()) / 2),
                            ly + logo->height() + 6);
}

void TFrameLogin::ShowLogo() {
  LogoPicture->hide();
  LogoPanel->show();
  if (FindParam("autoLogin") > 0 && !GetParam("autoLogin").empty()) return;
  // The Flash film of the old program has no player here: the picture, else the panel.
  const std::string dir = CommandLine().OriginExeDir;
  for (const char* name : {"System/TraderLogo.bmp", "TraderLogo.bmp"}) {
    QPixmap picture;
    if (picture.load(ToQString(dir + name))) {
      LogoPicture->setPixmap(picture);
      LogoPicture->resize(picture.size());
      LogoPicture->show();
      LogoPanel->hide();
      return;
    }
  }
}

void TFrameLogin::FreeLogos() {
  LogoPicture->clear();
  LogoPicture->hide();
}

void TFrameLogin::StartLogin() {
  TSession& session = Session();
  session.LoggedIn = false;
  session.CurrentUserId = 0;
  autoClickPosted_ = false;
  ShowLogo();
  TLoginState& ls = LoginState();
  if (FindParam("datafile") == 0 && FindParam("datapath") == 0)
    LoadClientRegisters(ls.Clients);
  if (!ls.Clients.empty()) {
    if (FindParam("autoLogin") > 0 && FindParam("autoImport") > 0) {
      LogError(kLogLoginIncomplete, "");
      TerminateApplication();
      return;
    }
    FillMandantGrid();
    LoginGroupBox->hide();
    MandantGroupBox->show();
    LoginHost().EnablePageControl(true);
    LayoutFrame();
    return;
  }
  OpenChosenData();
}

void TFrameLogin::FillMandantGrid() {
  TLoginState& ls = LoginState();
  GridClear(MandantGrid);
  SetGridColCount(MandantGrid, 5);
  if (ls.Clients.empty()) return;
  const TMandantGridModel model =
      BuildMandantGrid(ls.Clients, RegReadString(false, "LastSubscriber"));
  SetGridColCount(MandantGrid, model.cols);
  SetGridRowCount(MandantGrid, model.rows);
  for (int row = 0; row < model.rows; ++row) {
    for (int col = 0; col < model.cols; ++col) SetGridCell(MandantGrid, col, row, model.cells[row][col]);
    if (row > 0) SetGridRowId(MandantGrid, row, model.rowObject[row] < 0 ? 0 : model.rowObject[row]);
  }
  if (model.selectedRow > 0) GridSelectRow(MandantGrid, model.selectedRow);
  else GridClearSelection(MandantGrid);
}

void TFrameLogin::MandantGridDblClick() {
  TLoginState& ls = LoginState();
  const int row = GridSelectedRow(MandantGrid);
  if (row <= 0) return;
  const int i = GridRowId(MandantGrid, row);
  if (i <= 0 || i >= static_cast<int>(ls.Clients.size())) return;
  TMandantState& state = MandantState();
  state.CurrentMandant = ls.Clients[i];
  state.HasCurrentMandant = true;
  RegWriteString(false, "LastSubscriber", MandantKey(ls.Clients[i]));
  state.DataPath = MandantDataFolder(&ls.Clients[i]);
  if (OnDatabaseChosen && OnDatabaseChosen()) FillLoginUsers();
  else ShowOpenFailed();
}

void TFrameLogin::ShowOpenFailed() {
  LoginNameCombo->clear();
  LoginPWEd->clear();
  LoginOkBtn->setEnabled(false);
  FirstLoginLabel->hide();
  if (!LoginState().Clients.empty()) {
    ShowOpenFailedRow(false);
    FillMandantGrid();
    LoginGroupBox->hide();
    MandantGroupBox->show();
  } else {
    MandantGroupBox->hide();
    LoginGroupBox->show();
    LoginNameCombo->setEnabled(false);
    LoginPWEd->setEnabled(false);
    ShowOpenFailedRow(true);
  }
  LayoutFrame();
  // The user asked for another folder instead of an empty store.
  if (LoginState().LastOpenOutcome == TOpenOutcome::ChooseFolder && LoginState().Clients.empty())
    OtherFolderBtnClick();
}

void TFrameLogin::ShowOpenFailedRow(bool on) {
  for (QWidget* w : {static_cast<QWidget*>(OpenFailedLabel), static_cast<QWidget*>(OtherFolderBtn),
                     static_cast<QWidget*>(RetryOpenBtn)})
    w->setVisible(on);
  if (on) {
    OpenFailedLabel->setText(ToQString(FrameLoginText(4) + " " + MandantState().DataPath));
    OpenFailedLabel->setToolTip(ToQString(MandantState().DataPath));
  }
  const int extra = on ? 50 : !FirstLoginLabel->isHidden() ? 40 : 0;
  LoginGroupBox->resize(420, 90 + extra);
}

bool TFrameLogin::OpenFailedVisible() const { return !OtherFolderBtn->isHidden(); }

void TFrameLogin::OpenChosenData() {
  if (OnDatabaseChosen && OnDatabaseChosen()) {
    ShowOpenFailedRow(false);
    FillLoginUsers();
  } else {
    ShowOpenFailed();
  }
}

void TFrameLogin::OtherFolderBtnClick() {
  if (!OnChooseDataFolder || !OnChooseDataFolder()) return;
  OpenChosenData();
}

void TFrameLogin::RetryOpenBtnClick() { OpenChosenData(); }

void TFrameLogin::SetLoginHints(const std::string& hint) {
  const QString text = ToQString(hint);
  for (QWidget* w : {static_cast<QWidget*>(LoginNameCombo), static_cast<QWidget*>(LoginPWEd)})
    w->setToolTip(text);
  for (const char* name : {"LoginNameLabel", "LoginPWLabel"})
    if (auto* label = LoginGroupBox->findChild<QLabel*>(name)) label->setToolTip(text);
}

void TFrameLogin::FillLoginUsers() {
  TLoginState& ls = LoginState();
  MandantGroupBox->hide();
  LoginGroupBox->show();
  LoginOkBtn->setEnabled(false);
  LoginNameCombo->setEnabled(true);
  LoginPWEd->setEnabled(true);
  LoginPWEd->clear();
  SetBackground(LoginPWEd, 0xFFFFFF);
  UI().ProcessPendingEvents();
  LayoutFrame();
  if (!SessionDB()) return;
  TMiniDB& db = *SessionDB();

  std::string value;
  ls.AutoLogin = TAutoLogin();
  if (AutoLoginValueNow(value)) {
    ls.AutoLogin = ParseAutoLogin(db, value, MandantState().TimeTravelMode);
    if (ls.AutoLogin.badRecordText) {
      LogError(kLogLoginFailed, "");
      TerminateApplication();
      return;
    }
    if (ls.AutoLogin.refused) LogError(kLogLoginFailed, "");
    if (!ApplyAutoLogin(db, ls.AutoLogin)) ls.AutoLogin.taken = false;
    // A store that never saves makes the program read-only: nothing may look editable
    // and then be dropped.
    if (db.NoSave) MandantState().ReadOnlyMode = true;
  }

  const TLoginUserList users = ListLoginUsers(db);
  ls.SomeUserHasRights = users.someUserHasRights;
  LoginNameCombo->clear();
  for (const auto& user : users.users) AddComboItem(LoginNameCombo, user.name, user.id);

  int index = -1;
  if (ls.AutoLogin.taken) {
    index = LoginNameCombo->findData(ls.AutoLogin.userId);
  } else {
    const QString last = ToQString(RegReadString(false, "LastUser"));
    index = LoginNameCombo->findText(last, Qt::MatchFixedString | Qt::MatchCaseSensitive);
  }
  if (index < 0 && LoginNameCombo->count() > 0) index = 0;
  LoginNameCombo->setCurrentIndex(index);
  if (ls.AutoLogin.taken && index >= 0 &&
      ComboItemId(LoginNameCombo, index) == ls.AutoLogin.userId)
    LoginPWEd->setText(ToQString(ls.AutoLogin.password));

  if (LoginNameCombo->count() == 0) SetLoginHints(FrameLoginText(2));
  // The tooltip alone is easily missed on the very first start.
  FirstLoginLabel->setText(ToQString(FrameLoginText(3)));
  FirstLoginLabel->setVisible(LoginNameCombo->count() == 0);
  ShowOpenFailedRow(false);
  LoginOkBtn->setEnabled(true);
  LoginOkBtn->setDefault(true);
  if (ls.AutoLogin.taken) {
    UI().ProcessPendingEvents();
    autoClickPosted_ = true;
    QTimer::singleShot(0, this, [this] {
      if (LoginOkBtn->isEnabled()) LoginOkBtnClick();
    });
  }
  if (LoginNameCombo->count() > 0) LoginNameCombo->setFocus();
  else LoginPWEd->setFocus();
  // The start-up ran at a raised priority until the login page stands.
  SetProcessPriority(TProcessPriority::Normal);
}

void TFrameLogin::LoginOkBtnClick() {
  TLoginState& ls = LoginState();
  SetLoginHints("");
  if (!SessionDB()) return;
  const std::string name = FromQString(LoginNameCombo->currentText());
  const std::string password = FromQString(LoginPWEd->text());
  const TLoginMatch match = CheckLogin(*SessionDB(), name, password);
  if (match.success) {
    CompleteLogin(match, name);
    LoginOkBtn->setDefault(false);
    LoginOkBtn->setEnabled(false);
    LoginNameCombo->setEnabled(false);
    LoginPWEd->setEnabled(false);
    LoginPWEd->clear();
    SetBackground(LoginPWEd, kPasswordDoneColor);
    UI().ProcessPendingEvents();
    if (OnLoginSucceeded) OnLoginSucceeded();
    return;
  }
  if (ls.AutoLogin.given) {
    LogError(kLogLoginFailed, "");
    if (FindParam("autoImport") > 0) {
      TerminateApplication();
      return;
    }
  }
  UI().ShowMessage(TMsgKind::Error, FrameLoginText(1));
  LoginPWEd->setFocus();
}

void TFrameLogin::LoginPWEdEnter() {
  if (!Trim(FromQString(LoginNameCombo->currentText())).empty())
    SetBackground(LoginPWEd, kPasswordFocusColor);
}

void TFrameLogin::LoginPWEdExit() {
  if (LoginPWEd->isEnabled()) SetBackground(LoginPWEd, 0xFFFFFF);
}

void TFrameLogin::LoginNameComboSelect() { LoginPWEd->setFocus(); }

void TFrameLogin::TraderHomepageLabelClick() {
  OpenInternetLinkFrom(TraderHomepageLabel, kHomepage);
}

void TFrameLogin::URLkopieren1Click() {
  QApplication::clipboard()->setText(ToQString(kHomepage));
}

// =======================================================================================

void ShowLoginPage(TFrameLogin& frame) {
  PrepareLoginPage();
  frame.StartLogin();
}

void Logout1Click(TFrameLogin& frame, const std::function<void()>& closeWindow) {
  auto back = [&frame] { ShowLoginPage(frame); };
  if (Session().LoggedIn) {
    DoLogout(back);
  } else if (!LoginState().Clients.empty() && !frame.ClientChoiceVisible()) {
    DoLogout(back);
  } else if (closeWindow) {
    closeWindow();
  }
}
