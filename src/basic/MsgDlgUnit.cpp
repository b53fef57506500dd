#include "basic/MsgDlgUnit.h"

#include "basic/MultiLingua.h"

// The German defaults of the boxes' titles and standard buttons.
const TMLStringList* MsgDlgTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("MsgDlgUnit", 0);
    t->Add255Obj("Information", mdtInformation);
    t->Add255Obj("Fehler", mdtError);
    t->Add255Obj("Best\xE4tigung", mdtConfirmation);
    t->Add255Obj("Eingabe", mdtInput);
    t->Add255Obj("OK", mdtOk);
    t->Add255Obj("Abbrechen", mdtCancel);
    t->Add255Obj("&Ja", mdtYes);
    t->Add255Obj("&Nein", mdtNo);
    t->Add255Obj("Warnung", mdtWarning);
    return t;
  }();
  return table;
}

namespace {

// A box's text from the source into the current language; see TranslateMsgDlg.
std::u16string TranslateBoxText(const tMLSystem& ml, const std::u16string& text) {
  std::u16string keyed = ReplaceAllOnce(text, u"\r\n", u"#13#");
  keyed = ReplaceAllOnce(ReplaceAllOnce(keyed, u"\r", u"#13#"), u"\n", u"#13#");
  int grade = mlgNone;
  const std::u16string out =
      ml.TranslateText(keyed, ml.SourceLanguage(), ml.CurrentLanguage(), grade);
  // Without a match the translation would still have dropped an "&" and trimmed the text.
  if (grade == mlgNone || out == keyed) return text;
  return ReplaceLineBreakMarks(out, u"\r");
}

}  // namespace

void ShowInfo(const std::string& text) { UI().ShowMessage(TMsgKind::Info, text); }

void ShowError(const std::string& text) { UI().ShowMessage(TMsgKind::Error, text); }

int AskYesNo(const std::string& text) {
  return UI().Ask(TMsgKind::Confirmation, text, TAskButtons::YesNo);
}

int AskYesCancel(const std::string& text) {
  return UI().Ask(TMsgKind::Confirmation, text, TAskButtons::YesCancel);
}

int AskErrorYesCancel(const std::string& text) {
  return UI().Ask(TMsgKind::ErrorConfirmation, text, TAskButtons::YesCancel);
}

int AskButtons(const std::string& text, const std::string& caption1, const std::string& caption2,
               bool withCancel, const std::string& caption3) {
  if (caption1.empty() && caption2.empty() && caption3.empty() && !withCancel) return 0;
  return UI().AskButtons(text, caption1, caption2, withCancel, caption3);
}

bool InputText(const std::string& prompt, std::string& value, bool editable) {
  // The interface promises not to touch the value unless confirmed and editable; hold
  // every implementation to it.
  std::string edited = value;
  if (!UI().InputText(prompt, edited, editable)) return false;
  if (editable) value = edited;
  return true;
}

std::string MsgDlgText(int number) { return GetMLText(MsgDlgTexts(), number); }

std::u16string MsgDlgTextW(int number) { return GetMLTextW(MsgDlgTexts(), number); }

std::string MsgDlgSourceText(int number) {
  const std::string* german = MsgDlgTexts()->Find(number);
  return german ? *german : std::string();
}

void TranslateMsgDlg(TMsgDlgTexts& texts) {
  const tMLSystem* ml = MLSystemOrNull();
  if (!ml || ml->Entries().empty()) return;
  texts.title = TranslateBoxText(*ml, texts.title);
  texts.text = TranslateBoxText(*ml, texts.text);
  for (std::u16string& b : texts.buttons) b = TranslateBoxText(*ml, b);
}
