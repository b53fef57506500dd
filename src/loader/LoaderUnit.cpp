#include "loader/LoaderUnit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "basic/IndirectRunUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/ParamsUnit.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/InstanceChannel.h"
#include "basic/widgets/QtGlue.h"
#include "basic/widgets/QtUserInteraction.h"

namespace {

// The ready signal of the program.
constexpr int kReadyCode = 1;

const TMLStringList* LoaderTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("Start", 0);
    t->Add255Obj("Tessaro wird gestartet ...", 1);
    t->Add255Obj("Das Programm konnte nicht gestartet werden:#13#%1", 2);
    return t;
  }();
  return table;
}

}  // namespace

TTessaroLoaderForm::TTessaroLoaderForm(int timeoutMs, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("TessaroLoaderForm");
  setAttribute(Qt::WA_DeleteOnClose, false);
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel("Tessaro", this);
  QFont font = title->font();
  font.setPointSize(font.pointSize() * 2);
  font.setBold(true);
  title->setFont(font);
  title->setAlignment(Qt::AlignCenter);
  label_ = new QLabel(ToQString(GetMLText(LoaderTexts(), 1)), this);
  label_->setAlignment(Qt::AlignCenter);
  layout->addWidget(title);
  layout->addWidget(label_);
  setStyleSheet("background-color: #D8E9EC;");
  resize(360, 160);

  timeout_.setSingleShot(true);
  timeout_.setInterval(timeoutMs);
  connect(&timeout_, &QTimer::timeout, this, [this] {
    timedOut_ = true;
    Finish();
  });
}

TTessaroLoaderForm::~TTessaroLoaderForm() = default;

bool TTessaroLoaderForm::Listen() {
  auto listener = std::make_unique<TChannelListener>(kLoaderChannelName);
  if (!listener->Listen()) return false;
  listener->SetReceiver([this](int code) { return WMCopyData(code); });
  listener_ = std::move(listener);
  return true;
}

int TTessaroLoaderForm::WMCopyData(int code) {
  // Closed later, so that the answer is on its way first.
  if (code == kReadyCode) QTimer::singleShot(0, this, &TTessaroLoaderForm::Finish);
  return 1;
}

void TTessaroLoaderForm::Start() {
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
  timeout_.start();
}

void TTessaroLoaderForm::Finish() {
  if (finished_) return;
  finished_ = true;
  timeout_.stop();
  listener_.reset();
  hide();
  emit finished();
}

std::string LoaderTargetProgram(const std::string& loaderFile) {
  const std::size_t slash = loaderFile.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : loaderFile.substr(0, slash + 1);
  return folder + kLoaderTargetName;
}

int LoaderMain(int argc, char** argv) {
  // The arguments go on to the program unchanged, so they are taken before the application
  // object takes out the ones it knows itself.
  InitCommandLine(argc, argv);
  QApplication application(argc, argv);
  TQtUserInteraction interaction;
  SetUserInteraction(&interaction);

  TTessaroLoaderForm form;
  form.Listen();
  form.Start();
  QCoreApplication::processEvents();

  const std::string program = LoaderTargetProgram(RunningExeName());
  if (!RunProgram(program, ParamList(), false)) {
    form.hide();
    ShowError(GetMLTextFmt(LoaderTexts(), 2, program));
    SetUserInteraction(nullptr);
    return 1;
  }
  if (!form.Finished()) {
    QObject::connect(&form, &TTessaroLoaderForm::finished, &application, &QCoreApplication::quit);
    application.exec();
  }
  SetUserInteraction(nullptr);
  return form.TimedOut() ? 2 : 0;
}
