#pragma once
// Signing on the pad: the dialog "Unterschreiben" sends the pad text to the pad's display,
// waits for the signature, shows it, and lets the operator accept it ("Übernehmen"), ask for
// it again or cancel. An accepted signature goes into the signature store and the journal;
// the caller keeps the journal reference with its booking. The same dialog shows a stored
// signature again.
//
// The pad's driver is bound by output/PadDriverUnit.h. It calls the button handlers on the
// user-interface thread while the dialog runs modally; they stop the capture and hand the
// samples to the dialog. Wherever the capture lets pending events run, user input waits:
// nothing else (a second transfer) may start while the pad is being set up.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QDialog>
#include <QEventLoop>
#include <QPointer>

#include "app/WaitPanelUnit.h"
#include "data/SigPadUnit.h"
#include "platform/PrintKeyGrab.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class TSigFrame;
struct TTransferRecord;

// ---- the capture -----------------------------------------------------------------------------

inline constexpr std::uint8_t kCaptureIdle = 0;
inline constexpr std::uint8_t kCaptureStarting = 1;
inline constexpr std::uint8_t kCaptureRunning = 2;
std::uint8_t PadCaptureState();

// The last capture, as the driver's stopRead and sample array delivered it.
struct TBioData {
  std::uint8_t status1[5] = {};  // kept as delivered, never interpreted
  std::uint8_t status2[6] = {};
  TRawSamples samples;
  void Clear();
};
const TBioData& BioData();
// The most samples taken from one capture: a driver that claims more is not believed.
inline constexpr int kMaxPadSamples = 500000;

// The language of the pad's own texts comes from the program's language (up to 3
// characters; "EN" until the main window sets it).
void SetPadLanguage(const std::string& languageCode);
const std::string& PadLanguage();

// How the capture lets pending events run (always without user input); tests watch it.
// Null: Qt's event loop.
using TPadEventProcessor = std::function<void(QEventLoop::ProcessEventsFlags)>;
void SetPadEventProcessor(TPadEventProcessor processor);

// Called when an accept on the pad delivered at least one sample; the dialog installs it.
void SetPadCaptureListener(std::function<void()> listener);

// Sends the lines (through the pad's character map) to the display and starts a capture.
// Without a driver: the error "StepOver Pad DLL not found" and false; when the driver does
// not start: "Pad startCapture failed" and false.
bool StartPadCapture(const std::vector<std::string>& lines);
// Stops the capture. With `fetch`, takes the samples into BioData() and returns whether any
// came (the listener runs then); without, returns what the driver's stop answered.
bool StopPadCapture(bool fetch);
// What the pad's buttons do: the big one accepts (stop and fetch), the small one cancels
// (stop only; the dialog stays open). Both only while capturing. A capture that ends
// without a signature (cancelled, or accepted without samples) enables "Wiederholen", as
// does a pad that did not start: the operator can ask again or cancel.
void PadBigButtonClick();
void PadSmallButtonClick();

// ---- the dialog --------------------------------------------------------------------------------

// Modal results of the dialog.
inline constexpr int kSigAccepted = 1;
inline constexpr int kSigCancelled = 2;
inline constexpr int kSigRetry = 4;

class TSigForm : public QDialog {
  Q_OBJECT
 public:
  explicit TSigForm(QWidget* parent = nullptr);
  ~TSigForm() override;

  // The pad text of this request, shown in LcdMemo.
  void SetPadText(const std::vector<std::string>& lines);
  const std::vector<std::string>& PadText() const { return padText_; }
  const TSignaturePoints& Points() const { return points_; }

  // Sets the pad up, waits for the signature and runs the dialog until the operator
  // accepts a signature (true), or cancels (false). Retry starts the capture again.
  bool CaptureSignature();
  // Shows a stored signature with its pad text; only "Abbrechen" is offered.
  void ShowStored(const std::string& padText, const TSignaturePoints& points);

  // The listener of the capture: the samples packed and thinned, drawn, and the buttons
  // enabled.
  void CaptureArrived();

  TWaitPanel* WaitPanel() const { return waitPanel_; }

  QLabel* Label1 = nullptr;
  QPlainTextEdit* LcdMemo = nullptr;
  TSigFrame* SigFrame = nullptr;
  QPushButton* SaveBtn = nullptr;
  QPushButton* RetryBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

 protected:
  // While the dialog shows, the print-screen key belongs to this program (X11 only).
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void ShowWait(const std::string& text, bool starting);
  void RemoveWait();

  std::vector<std::string> padText_;
  TSignaturePoints points_;
  QPointer<TWaitPanel> waitPanel_;
  TPrintKeyGrab printKeys_;
};

// The dialog of the run, made on first use and kept; null before that.
TSigForm* SigForm();
TSigForm* ExistingSigForm();
// Frees it (at the end of the run, and between tests).
void FreeSigForm();

// ---- what the views call ------------------------------------------------------------------------

// Captures a signature for the transfer: the pad shows the number and names of its keys and
// the person: the new holder for an issue, the holder giving the keys back otherwise. True
// when the operator accepted a signature. Without a driver: "Kein Signatur-Pad
// installiert." and false.
bool RequestSignature(const TTransferRecord& record);
// Stores the accepted signature (record, then journal) and sets `result` to its journal
// reference "yyyy:ID"; `journalRef` names a journal record to use, or is empty for a new
// one. False and an empty result when there is nothing to store or a write failed.
bool SaveSignature(const std::string& journalRef, std::string& result);
// Shows the signature of the journal reference "yyyy:ID" in the dialog. False, without a
// message, when it cannot be read.
bool ShowSignature(const std::string& journalRef);
// The same on the signatures and journal of `db` (the two above use SignatureDB()).
bool SaveSignature(TSigDB& db, const std::string& journalRef, std::string& result);
bool ShowSignature(TSigDB& db, const std::string& journalRef);

// At the end of the run: a capture still running is stopped without fetching, the last
// capture forgotten, the dialog freed.
void ShutdownSignatureCapture();
