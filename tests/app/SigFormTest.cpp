// Signing on the pad with the scripted driver: what the pad is sent, the dialog's buttons,
// the capture's states, and saving and showing the signature.

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <algorithm>

#include "FramesTestSupport.h"
#include "app/SigFormUnit.h"
#include "app/WaitPanelUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/SigDBUnit.h"
#include "data/TransferUnit.h"
#include "output/SigFrameUnit.h"
#include "support/ScriptedPadDriver.h"

namespace {

const char* const kNoPad = "Kein Signatur-Pad installiert.";

struct SigFormTest : TFramesTest {
  int32_t key1 = 0, key2 = 0, anna = 0, bert = 0, cabinet = 0;
  TTransferRecord record;

  std::unique_ptr<TSigTestStore> store;
  TSigDB* db = nullptr;

  void SetUp() override {
    TFramesTest::SetUp();
    store = std::make_unique<TSigTestStore>(dir);
    db = &store->sig;
    key1 = Record(icKey, "K-101");
    key2 = Record(icKey, "K-102");
    anna = Record(icPerson, "Anna Arm");
    bert = Record(icPerson, "Bert Bein");
    cabinet = Record(icCabinet, "Schrank Nord");
    record.Kind = tkIssue;
    record.Keys.Add(key1);
    record.Keys.Add(key2);
    record.OldOwner = {okCabinet, cabinet};
    record.NewOwner = {okPerson, anna};
    SetPadLanguage("EN");
  }
  void TearDown() override {
    ShutdownSignatureCapture();
    SetPadEventProcessor(nullptr);
    store.reset();
    TFramesTest::TearDown();
  }

  std::string Messages() const { return ui.AllText(); }
  static TSigForm& Form(QDialog& d) { return static_cast<TSigForm&>(d); }
  static std::string WaitText(TSigForm& form) {
    return form.WaitPanel() ? FromQString(form.WaitPanel()->TextLabel()->text()) : "";
  }
};

// Two strokes as a pad delivers them.
TRawSamples TwoStrokes() {
  TRawSamples s;
  for (int i = 0; i < 30; ++i) s.push_back(PadSample(1000 + 50 * i, 1300 + 20 * i, 90, 1200, 1));
  for (int i = 0; i < 20; ++i) s.push_back(PadSample(1500 + 60 * i, 2600 - 10 * i, 70, 900, 0));
  return s;
}

TEST_F(SigFormTest, WithoutCompleteDriverNoRequest) {
  struct TCase {
    const char* name;
    bool value, file;
    const char* missing;
  };
  for (const TCase& c : {TCase{"no value", false, true, ""}, TCase{"no file", true, false, ""},
                         TCase{"a name missing", true, true, "isPadavAvailable"}}) {
    ui.Clear();
    TScriptedPadScope scope(c.value, c.file);
    if (*c.missing) scope.pad.missing = {c.missing};
    EXPECT_FALSE(RequestSignature(record)) << c.name;
    EXPECT_EQ(Messages(), kNoPad) << c.name;
    EXPECT_EQ(ui.messages.at(0).kind, TMsgKind::Error);
    EXPECT_EQ(PadDriverStatus(), *c.missing ? kPadIncomplete : kPadNotLoaded) << c.name;
    EXPECT_EQ(scope.pad.startCalls, 0);
  }
}

TEST_F(SigFormTest, PadReceivesTextLanguageAndApplication) {
  TScriptedPadScope scope;
  SetPadLanguage("de ");
  // While the pad starts: the dialog disabled, the orange panel.
  scope.pad.onStart = [&] {
    TSigForm& form = *ExistingSigForm();
    EXPECT_FALSE(form.isEnabled());
    EXPECT_EQ(WaitText(form), "Pad wird initialisiert");
    EXPECT_EQ(BgrFromColor(form.WaitPanel()->palette().color(QPalette::Window)), 0x0090FFu);
    EXPECT_EQ(PadCaptureState(), kCaptureStarting);
  };
  QueueDialogDriver([&](QDialog& d) {
    TSigForm& form = Form(d);
    EXPECT_EQ(PadCaptureState(), kCaptureRunning);
    EXPECT_EQ(WaitText(form), "Unterschrift abwarten");
    EXPECT_FALSE(form.SaveBtn->isEnabled());
    EXPECT_FALSE(form.RetryBtn->isEnabled());
    EXPECT_TRUE(form.isEnabled());
    EXPECT_EQ(FromQString(form.windowTitle()), "Unterschreiben");
    form.CancelBtn->click();
  });
  EXPECT_FALSE(RequestSignature(record));
  TScriptedPad& pad = scope.pad;
  EXPECT_EQ(pad.language, "D");
  EXPECT_EQ(pad.application, "Tessaro");
  EXPECT_EQ(pad.clearCalls, 1);
  EXPECT_EQ(pad.startCalls, 1);
  // Cancelled in the dialog while capturing: the capture is stopped, nothing fetched.
  EXPECT_EQ(pad.stopCalls, 1);
  EXPECT_EQ(PadCaptureState(), kCaptureIdle);
  ASSERT_NE(ExistingSigForm(), nullptr);
  const std::vector<std::string>& lines = ExistingSigForm()->PadText();
  ASSERT_EQ(pad.lines.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(pad.lines[static_cast<int>(i + 1)], MapPadLine(lines[i]));
  // The pad's own characters on the display, the program's in the dialog's copy.
  const std::string keys = " Schl\xFCssel: " + a->GetDisplayName(key1) + ", " + a->GetDisplayName(key2);
  ASSERT_NE(std::find(lines.begin(), lines.end(), keys), lines.end()) << keys;
  EXPECT_NE(std::find(lines.begin(), lines.end(), " \xDC" "bergabe, Anzahl der Schl\xFCssel: 2"), lines.end());
  bool mapped = false;
  for (const auto& [n, text] : pad.lines) mapped |= text == MapPadLine(keys) && text.find('\x81') != std::string::npos;
  EXPECT_TRUE(mapped);
  EXPECT_NE(FromQString(ExistingSigForm()->LcdMemo->toPlainText()).find(keys), std::string::npos);
}

// The person on the pad: whoever receives the keys on an issue, whoever hands them back
// otherwise, never the cabinet they go into.
TEST_F(SigFormTest, PersonOnThePad) {
  struct TCase {
    TTransferKind kind;
    THolderRef from, to;
    std::string person;
  };
  const std::vector<TCase> cases = {
      {tkIssue, {okCabinet, cabinet}, {okPerson, anna}, "Anna Arm"},
      {tkReturn, {okPerson, bert}, {okCabinet, cabinet}, "Bert Bein"},
      {tkLoss, {okPerson, anna}, {okLost, anna}, "Anna Arm"},
  };
  for (const TCase& c : cases) {
    TScriptedPadScope scope;
    record.Kind = c.kind;
    record.OldOwner = c.from;
    record.NewOwner = c.to;
    QueueDialogDriver(ClickButtonDriver("Abbrechen"));
    EXPECT_FALSE(RequestSignature(record));
    const std::string line = MapPadLine(" Empf\xE4nger: " + c.person);
    bool found = false;
    for (const auto& [n, text] : scope.pad.lines) found |= text == line;
    EXPECT_TRUE(found) << int(c.kind);
  }
}

TEST_F(SigFormTest, StartCaptureFailsButTheDialogStays) {
  TScriptedPadScope scope;
  scope.pad.startResult = 0;
  bool shown = false;
  QueueDialogDriver([&](QDialog& d) {
    shown = true;
    EXPECT_EQ(PadCaptureState(), kCaptureIdle);
    EXPECT_FALSE(Form(d).SaveBtn->isEnabled());
    // The operator can retry or cancel.
    EXPECT_TRUE(Form(d).RetryBtn->isEnabled());
    EXPECT_TRUE(Form(d).CancelBtn->isEnabled());
    Form(d).CancelBtn->click();
  });
  EXPECT_FALSE(RequestSignature(record));
  EXPECT_TRUE(shown);
  EXPECT_EQ(Messages(), "Pad startCapture failed");
  // Nothing to stop: the capture never ran.
  EXPECT_EQ(scope.pad.stopCalls, 0);
}

TEST_F(SigFormTest, AcceptWithoutSamplesKeepsSaveDisabled) {
  TScriptedPadScope scope;
  QueueDialogDriver([&](QDialog& d) {
    TSigForm& form = Form(d);
    scope.pad.PressBig();
    EXPECT_EQ(scope.pad.stopCalls, 1);
    EXPECT_EQ(PadCaptureState(), kCaptureIdle);
    EXPECT_FALSE(form.SaveBtn->isEnabled());
    EXPECT_TRUE(form.RetryBtn->isEnabled());
    EXPECT_EQ(WaitText(form), "Unterschrift abwarten");
    EXPECT_TRUE(form.SigFrame->Canvas().IsWhite());
    // A second press does nothing: no capture runs.
    scope.pad.PressBig();
    EXPECT_EQ(scope.pad.stopCalls, 1);
    // Even a dialog closed as accepted has no signature to give.
    form.accept();
  });
  EXPECT_FALSE(RequestSignature(record));
  std::string ref = "x";
  EXPECT_FALSE(SaveSignature(*db, "", ref));
  EXPECT_EQ(ref, "");
  EXPECT_EQ(BioData().status1[0], 'A');  // the status records as the driver filled them
  EXPECT_EQ(BioData().status2[5], 'K');
}

TEST_F(SigFormTest, SmallButtonRetryAndAccept) {
  TScriptedPadScope scope;
  scope.pad.samples = TwoStrokes();
  // Round 1: the small button stops the capture, the dialog stays; Retry starts again.
  QueueDialogDriver([&](QDialog& d) {
    TSigForm& form = Form(d);
    scope.pad.PressSmall();
    EXPECT_EQ(PadCaptureState(), kCaptureIdle);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.SaveBtn->isEnabled());
    ASSERT_TRUE(form.RetryBtn->isEnabled());
    form.RetryBtn->click();
  });
  // Round 2: accepted on the pad, shown, taken over.
  QueueDialogDriver([&](QDialog& d) {
    TSigForm& form = Form(d);
    EXPECT_EQ(scope.pad.startCalls, 2);
    EXPECT_TRUE(form.SigFrame->Canvas().IsWhite());
    scope.pad.PressBig();
    EXPECT_TRUE(form.SaveBtn->isEnabled());
    EXPECT_TRUE(form.RetryBtn->isEnabled());
    EXPECT_EQ(form.WaitPanel(), nullptr);
    EXPECT_FALSE(form.SigFrame->Canvas().IsWhite());
    form.SaveBtn->click();
  });
  ASSERT_TRUE(RequestSignature(record));
  TSigForm& form = *ExistingSigForm();
  TSignaturePoints expected;
  PackSignaturePoints(TwoStrokes(), expected);
  ReduceForDisplay(expected);
  EXPECT_EQ(form.Points(), expected);
  EXPECT_EQ(BioData().samples.size(), TwoStrokes().size());
  const QImage drawn = form.SigFrame->Picture();

  std::string ref;
  ASSERT_TRUE(SaveSignature(*db, "", ref)) << db->LastError();
  int32_t id = 0;
  std::string year;
  ASSERT_TRUE(ParseJournalReference(ref, year, id)) << ref;
  EXPECT_EQ(year, std::to_string(PackedYear(TodayPacked())));
  // Stored: the program's lines joined by CR LF, and the points as drawn.
  std::string text;
  TSignaturePoints points;
  ASSERT_TRUE(LoadJournalSignature(*db, ref, text, points));
  EXPECT_EQ(text, JoinPadTextLines(form.PadText()));
  EXPECT_NE(text.find("Anna Arm"), std::string::npos);
  EXPECT_EQ(points, expected);

  // Shown again: the same picture and text; only cancelling is offered.
  form.SigFrame->Clear();
  form.LcdMemo->clear();
  QueueDialogDriver([&](QDialog& d) {
    TSigForm& shown = Form(d);
    EXPECT_EQ(shown.SigFrame->Picture(), drawn);
    EXPECT_FALSE(shown.SaveBtn->isEnabled());
    EXPECT_FALSE(shown.RetryBtn->isEnabled());
    EXPECT_NE(FromQString(shown.LcdMemo->toPlainText()).find(" Empf\xE4nger: Anna Arm"),
              std::string::npos);
  });
  EXPECT_TRUE(ShowSignature(*db, ref));
  // A shown signature is no new capture: nothing to store again.
  std::string again = "x";
  EXPECT_FALSE(SaveSignature(*db, "", again));
  EXPECT_EQ(again, "");

  // Unreadable references: false, no message, no dialog (strict mode would count one).
  for (const char* bad : {"", "2026", "2026:", "2026:abc", "1999:1", ref.c_str() + 1})
    EXPECT_FALSE(ShowSignature(*db, bad)) << bad;
  EXPECT_EQ(Messages(), "");
}

// While the pad is set up, pending events run without user input, so no second transfer
// can start behind the dialog.
TEST_F(SigFormTest, CaptureProcessesEventsWithoutUserInput) {
  TScriptedPadScope scope;
  std::vector<QEventLoop::ProcessEventsFlags> calls;
  SetPadEventProcessor([&](QEventLoop::ProcessEventsFlags flags) { calls.push_back(flags); });
  QueueDialogDriver(ClickButtonDriver("Abbrechen"));
  EXPECT_FALSE(RequestSignature(record));
  EXPECT_GE(calls.size(), 3u);
  for (QEventLoop::ProcessEventsFlags flags : calls)
    EXPECT_TRUE(flags.testFlag(QEventLoop::ExcludeUserInputEvents));
}

TEST_F(SigFormTest, ShutdownStopsARunningCapture) {
  TScriptedPadScope scope;
  scope.pad.samples = TwoStrokes();
  ASSERT_TRUE(StartPadCapture({"", " Hallo"}));
  EXPECT_EQ(PadCaptureState(), kCaptureRunning);
  ShutdownSignatureCapture();
  EXPECT_EQ(scope.pad.stopCalls, 1);
  EXPECT_EQ(PadCaptureState(), kCaptureIdle);
  EXPECT_TRUE(BioData().samples.empty());
  EXPECT_EQ(ExistingSigForm(), nullptr);
}

}  // namespace
