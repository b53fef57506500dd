#include "app/SigFormUnit.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/WaitPanelUnit.h"
#include "basic/DateClock.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/SigDBUnit.h"
#include "data/TransferUnit.h"
#include "data/UserRights.h"
#include "output/PadDriverUnit.h"
#include "output/SigFrameUnit.h"

namespace {

// What the program calls itself towards the driver.
constexpr const char* kPadApplication = "Tessaro";
// "Pad wird initialisiert" stands on orange (red 255, green 144, blue 0).
constexpr std::uint32_t kStartingColour = 0x0090FF;

std::uint8_t gCaptureState = kCaptureIdle;
TBioData gBioData;
std::string gPadLanguage = "EN";
std::function<void()> gListener;
TPadEventProcessor gEventProcessor;

// Pending events run, but no click or key press: while the pad is set up, the operator
// must not start anything else (a second transfer) behind the dialog.
void ProcessPadEvents() {
  const QEventLoop::ProcessEventsFlags flags = QEventLoop::ExcludeUserInputEvents;
  if (gEventProcessor) gEventProcessor(flags);
  else QCoreApplication::processEvents(flags);
}

// A text for the driver: at most 255 bytes.
std::string PadString(const std::string& text) { return text.substr(0, kPadMaxText); }

void BigButtonHandler() { PadBigButtonClick(); }
void SmallButtonHandler() { PadSmallButtonClick(); }

void ReadSamples(const std::uint8_t* status1, const std::uint8_t* status2) {
  const TPadDriver& driver = PadDriver();
  gBioData.Clear();
  std::memcpy(gBioData.status1, status1, sizeof gBioData.status1);
  std::memcpy(gBioData.status2, status2, sizeof gBioData.status2);
  void* handle = nullptr;
  int count = driver.getBioDataArray(&handle);
  if (count < 0) count = 0;
  if (count > kMaxPadSamples) count = kMaxPadSamples;
  gBioData.samples.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    // A missing item stays a zero sample.
    if (const unsigned char* item = driver.getBioDataArrayItem(handle, i))
      std::memcpy(&gBioData.samples[static_cast<size_t>(i)], item, kFramesSize);
  }
  driver.freeBioDataArray(handle);
}

std::string TodayPeriod() {
  const TPackedDate today = TodayPacked();
  char period[16];
  std::snprintf(period, sizeof period, "%04d%02d", PackedYear(today) % 10000,
                PackedMonth(today) % 100);
  return period;
}

QString MemoText(const std::string& text) {
  std::string lines = text;
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == '\r') {
      out += '\n';
      if (i + 1 < lines.size() && lines[i + 1] == '\n') ++i;
    } else {
      out += lines[i];
    }
  }
  return ToQString(out);
}

std::unique_ptr<TSigForm>& FormHolder() {
  static std::unique_ptr<TSigForm> form;
  return form;
}

}  // namespace

TSigForm* ExistingSigForm() { return FormHolder().get(); }

// ---- the capture -----------------------------------------------------------------------------

void TBioData::Clear() {
  std::memset(status1, 0, sizeof status1);
  std::memset(status2, 0, sizeof status2);
  samples.clear();
}

std::uint8_t PadCaptureState() { return gCaptureState; }

const TBioData& BioData() { return gBioData; }

void SetPadLanguage(const std::string& languageCode) { gPadLanguage = languageCode.substr(0, 3); }

const std::string& PadLanguage() { return gPadLanguage; }

void SetPadEventProcessor(TPadEventProcessor processor) {
  gEventProcessor = std::move(processor);
}

void SetPadCaptureListener(std::function<void()> listener) { gListener = std::move(listener); }

bool StartPadCapture(const std::vector<std::string>& lines) {
  if (!PadLibraryReady()) {
    ShowError("StepOver Pad DLL not found");
    return false;
  }
  const TPadDriver& driver = PadDriver();
  gCaptureState = kCaptureStarting;
  driver.setLang(PadString(PadLanguageOf(gPadLanguage)).c_str());
  ProcessPadEvents();
  driver.RegisterBigButtonHandler(&BigButtonHandler);
  driver.RegisterSmallButtonHandler(&SmallButtonHandler);
  for (size_t i = 0; i < lines.size(); ++i)
    driver.SetSignText(static_cast<int>(i + 1), PadString(MapPadLine(lines[i])).c_str());
  driver.clearBioData();
  const bool started = driver.startCapture(kPadApplication, 1, 1, 1, 1, "", 255) != 0;
  ProcessPadEvents();
  if (!started) {
    gCaptureState = kCaptureIdle;
    ShowError("Pad startCapture failed");
    return false;
  }
  gCaptureState = kCaptureRunning;
  return true;
}

bool StopPadCapture(bool fetch) {
  if (!PadLibraryReady()) return false;
  std::uint8_t status1[kPadStatus1Size] = {};
  std::uint8_t status2[kPadStatus2Size] = {};
  const bool stopped = PadDriver().stopRead(status1, status2) != 0;
  gCaptureState = kCaptureIdle;
  if (!fetch) return stopped;
  ReadSamples(status1, status2);
  if (gBioData.samples.empty()) return false;
  if (gListener) gListener();
  return true;
}

// A capture that ended without a signature leaves the operator the choice to ask again.
void CaptureEndedEmpty() {
  if (TSigForm* form = ExistingSigForm()) form->RetryBtn->setEnabled(true);
}

void PadBigButtonClick() {
  if (gCaptureState != kCaptureRunning) return;
  if (!StopPadCapture(true)) CaptureEndedEmpty();
}

void PadSmallButtonClick() {
  if (gCaptureState != kCaptureRunning) return;
  StopPadCapture(false);
  CaptureEndedEmpty();
}

// ---- the dialog --------------------------------------------------------------------------------

TSigForm::TSigForm(QWidget* parent) : QDialog(parent) {
  setObjectName("SigForm");
  setWindowTitle(ToQString("Unterschreiben"));
  // Always modal, also when a test shows it without a modal loop: the pad's window attaches
  // itself to the modal window of the moment.
  setWindowModality(Qt::ApplicationModal);

  Label1 = new QLabel(ToQString("Darstellung auf dem Signatur-Pad"), this);
  Label1->setObjectName("Label1");
  LcdMemo = new QPlainTextEdit(this);
  LcdMemo->setObjectName("LcdMemo");
  LcdMemo->setReadOnly(true);
  LcdMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  LcdMemo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  const QFontMetrics metrics(LcdMemo->font());
  LcdMemo->setMinimumWidth(metrics.horizontalAdvance(QString(kPadLineWidth + 3, QLatin1Char('M'))) + 24);

  SigFrame = new TSigFrame(this);

  SaveBtn = new QPushButton(ToQString("\xDC" "bernehmen"), this);
  SaveBtn->setObjectName("SaveBtn");
  RetryBtn = new QPushButton(ToQString("Wiederholen"), this);
  RetryBtn->setObjectName("RetryBtn");
  RetryBtn->setToolTip(ToQString("Wiederholen: Unterschrift nochmal anfordern"));
  CancelBtn = new QPushButton(ToQString("Abbrechen"), this);
  CancelBtn->setObjectName("CancelBtn");
  // No button answers Enter by itself: the operator accepts a signature only by clicking.
  for (QPushButton* b : {SaveBtn, RetryBtn, CancelBtn}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }

  auto* left = new QVBoxLayout;
  left->addWidget(Label1);
  left->addWidget(LcdMemo, 1);
  auto* right = new QVBoxLayout;
  right->addWidget(SigFrame);
  right->addStretch();
  auto* top = new QHBoxLayout;
  top->addLayout(left, 1);
  top->addLayout(right);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(SaveBtn);
  buttons->addWidget(RetryBtn);
  buttons->addWidget(CancelBtn);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(top, 1);
  outer->addLayout(buttons);

  connect(SaveBtn, &QPushButton::clicked, this, [this] { done(kSigAccepted); });
  connect(RetryBtn, &QPushButton::clicked, this, [this] { done(kSigRetry); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { done(kSigCancelled); });

  TranslateForm(this);
  SetPadCaptureListener([this] { CaptureArrived(); });
}

TSigForm::~TSigForm() { SetPadCaptureListener(nullptr); }

namespace {

// The X11 connection of the running application, or null on every other platform (on
// Wayland no client may take keys from the others).
xcb_connection_t* X11Connection() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

}  // namespace

void TSigForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  printKeys_.Grab(X11Connection());
}

void TSigForm::hideEvent(QHideEvent* event) {
  printKeys_.Release();
  QDialog::hideEvent(event);
}

void TSigForm::SetPadText(const std::vector<std::string>& lines) {
  padText_ = lines;
  LcdMemo->setPlainText(MemoText(JoinPadTextLines(lines)));
}

void TSigForm::ShowWait(const std::string& text, bool starting) {
  RemoveWait();
  waitPanel_ = ShowWaitPanel(SigFrame, text);
  if (starting) {
    QPalette pal = waitPanel_->palette();
    pal.setColor(QPalette::Window, ColorFromBgr(kStartingColour));
    waitPanel_->setPalette(pal);
  }
}

void TSigForm::RemoveWait() {
  if (waitPanel_) delete waitPanel_.data();
  waitPanel_ = nullptr;
}

bool TSigForm::CaptureSignature() {
  int result = 0;
  do {
    if (gCaptureState == kCaptureRunning) StopPadCapture(false);
    points_.clear();
    SaveBtn->setEnabled(false);
    RetryBtn->setEnabled(false);
    setEnabled(false);
    SigFrame->Clear();
    ShowWait("Pad wird initialisiert", true);
    CancelBtn->setFocus();
    show();
    ProcessPadEvents();

    // A pad that did not start can be asked again.
    if (!StartPadCapture(padText_)) RetryBtn->setEnabled(true);
    hide();
    ShowWait("Unterschrift abwarten", false);
    setEnabled(true);
    result = ExecModal(*this);
  } while (result == kSigRetry);

  RemoveWait();
  if (gCaptureState == kCaptureRunning) {
    ProcessPadEvents();
    StopPadCapture(false);
  }
  // A dialog closed as accepted without a signature has nothing to store.
  return result == kSigAccepted && !points_.empty();
}

void TSigForm::CaptureArrived() {
  PackSignaturePoints(gBioData.samples, points_);
  ReduceForDisplay(points_);
  RemoveWait();
  SigFrame->ShowSignature(points_);
  SaveBtn->setEnabled(true);
  RetryBtn->setEnabled(true);
}

void TSigForm::ShowStored(const std::string& padText, const TSignaturePoints& points) {
  RemoveWait();
  // What is shown is no capture of this run: nothing of it may be stored again.
  points_.clear();
  LcdMemo->setPlainText(MemoText(padText));
  SigFrame->ShowSignature(points);
  SaveBtn->setEnabled(false);
  RetryBtn->setEnabled(false);
  setEnabled(true);
  CancelBtn->setFocus();
  ExecModal(*this);
}

TSigForm* SigForm() {
  std::unique_ptr<TSigForm>& form = FormHolder();
  if (!form) form = std::make_unique<TSigForm>();
  return form.get();
}


void FreeSigForm() { FormHolder().reset(); }

// ---- what the views call ------------------------------------------------------------------------

bool RequestSignature(const TTransferRecord& record) {
  if (!PadLibraryReady()) {
    ShowError(MLTranslate("Kein Signatur-Pad installiert."));
    return false;
  }
  std::string keyNames;
  const int keyCount = record.Keys.Count();
  // The person on the receipt: who receives the keys on an issue, who hands them back
  // otherwise (never the cabinet they go into, nor the cabinet a defect comes from).
  const int32_t person = TransferReceiptPerson(record);
  std::string personName;
  if (TMiniDB* db = SessionDB()) {
    for (int32_t i = 0; i < keyCount; ++i) {
      if (i > 0) keyNames += ", ";
      keyNames += db->GetDisplayName(record.Keys.Get(i));
    }
    if (person != 0) personName = db->GetName(person);
  }
  TSigForm* form = SigForm();
  form->SetPadText(BuildPadTextLines(ConfiguredPadText(), keyCount, keyNames, personName));
  return form->CaptureSignature();
}

bool SaveSignature(const std::string& journalRef, std::string& result) {
  return SaveSignature(SignatureDB(), journalRef, result);
}

bool SaveSignature(TSigDB& db, const std::string& journalRef, std::string& result) {
  result.clear();
  TSigForm* form = ExistingSigForm();
  if (!form || form->Points().empty() || form->PadText().empty()) return false;
  result = StoreSignature(db, TodayPeriod(), journalRef, JoinPadTextLines(form->PadText()),
                          form->Points());
  return !result.empty();
}

bool ShowSignature(const std::string& journalRef) {
  return ShowSignature(SignatureDB(), journalRef);
}

bool ShowSignature(TSigDB& db, const std::string& journalRef) {
  std::string padText;
  TSignaturePoints points;
  if (!LoadJournalSignature(db, journalRef, padText, points)) return false;
  SigForm()->ShowStored(padText, points);
  return true;
}

void ShutdownSignatureCapture() {
  if (gCaptureState == kCaptureRunning) StopPadCapture(false);
  gBioData.Clear();
  FreeSigForm();
}
