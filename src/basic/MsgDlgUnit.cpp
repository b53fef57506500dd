#include "basic/MsgDlgUnit.h"

namespace {

struct TNumberedText {
  int number;
  const char* text;
};

// The German defaults, kept in one numbered table so that a language file can translate them.
const TNumberedText kMsgDlgTexts[] = {
    {mdtInformation, "Information"},
    {mdtError, "Fehler"},
    {mdtConfirmation, "Best\xE4tigung"},
    {mdtInput, "Eingabe"},
    {mdtOk, "OK"},
    {mdtCancel, "Abbrechen"},
    {mdtYes, "&Ja"},
    {mdtNo, "&Nein"},
};

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

std::string MsgDlgText(int number) {
  for (const TNumberedText& t : kMsgDlgTexts) {
    if (t.number == number) return t.text;
  }
  return "";
}

void TranslateMsgDlg(TMsgDlgTexts&) {}
