#include "basic/MsgDlgUnit.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

// An implementation that writes into the value whatever the flags say.
class TCarelessInput : public TRecordingInteraction {
 public:
  bool InputText(const std::string&, std::string& value, bool) override {
    value = "changed";
    return confirm;
  }
  bool confirm = true;
};

TEST(MsgDlgUnit, InputTextChangesTheValueOnlyWhenConfirmedAndEditable) {
  TCarelessInput ui;
  TUserInteractionScope scope(ui);
  struct Case {
    bool confirm, editable, result;
    const char* value;
  } cases[] = {
      {true, true, true, "changed"},
      {true, false, true, "old"},
      {false, true, false, "old"},
      {false, false, false, "old"},
  };
  for (const Case& c : cases) {
    ui.confirm = c.confirm;
    std::string value = "old";
    EXPECT_EQ(InputText("Name", value, c.editable), c.result);
    EXPECT_EQ(value, c.value) << c.confirm << c.editable;
  }
}

TEST(MsgDlgUnit, ForwardsToTheInstalledInteraction) {
  TScopedRecorder ui;
  ui.answers = {mrYes, mrCancel, mrYes, 2};
  ShowInfo("info");
  ShowError("error");
  EXPECT_EQ(AskYesNo("q1"), mrYes);
  EXPECT_EQ(AskYesCancel("q2"), mrCancel);
  EXPECT_EQ(AskErrorYesCancel("q3"), mrYes);
  EXPECT_EQ(AskButtons("q4", "A", "B", false, ""), 2);
  // Without any button nothing is asked.
  EXPECT_EQ(AskButtons("q5", "", "", false, ""), 0);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].kind, TMsgKind::Info);
  EXPECT_EQ(ui.messages[1].kind, TMsgKind::Error);
  EXPECT_EQ(ui.questions.size(), 4u);
}

TEST(MsgDlgUnit, NumberedTexts) {
  EXPECT_EQ(MsgDlgText(mdtInput), "Eingabe");
  EXPECT_EQ(MsgDlgText(mdtConfirmation), "Best\xE4tigung");
  EXPECT_EQ(MsgDlgText(mdtWarning), "Warnung");
  EXPECT_EQ(MsgDlgText(99), "");
}

}  // namespace
