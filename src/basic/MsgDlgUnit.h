#pragma once
// The program's message boxes and its one-line input box. These functions are Qt-free and
// forward to the user interaction in force (basic/UserInteraction.h); the program installs
// the message-box implementation (basic/widgets/QtUserInteraction.h) at start-up.

#include <string>
#include <vector>

#include "basic/UserInteraction.h"

void ShowInfo(const std::string& text);
void ShowError(const std::string& text);
// mrYes (6) or mrNo (7); closing the box answers No.
int AskYesNo(const std::string& text);
// mrYes (6) or mrCancel (2); closing the box answers Cancel.
int AskYesCancel(const std::string& text);
// An error box with Yes and Cancel: mrYes or mrCancel.
int AskErrorYesCancel(const std::string& text);
// Up to three buttons captioned by the caller (an empty caption leaves its button out) plus
// an optional Cancel: 1, 2 or 3 for the captioned button pressed, 0 for Cancel or closing.
// Without any button nothing is shown and the result is 0.
int AskButtons(const std::string& text, const std::string& caption1, const std::string& caption2,
               bool withCancel, const std::string& caption3);
// A one-line input ("Eingabe"). True when confirmed with OK; only then, and only when
// `editable`, `value` takes the edited text. The read-only form shows OK alone.
bool InputText(const std::string& prompt, std::string& value, bool editable);

// The texts of the message boxes' titles and standard buttons, by number (German defaults
// in the unit's message table, in the current language).
enum TMsgDlgTextNo {
  mdtInformation = 1,
  mdtError = 2,
  mdtConfirmation = 3,
  mdtInput = 4,
  mdtOk = 5,
  mdtCancel = 6,
  mdtYes = 7,
  mdtNo = 8,
};
// The text of that number in the current language; "" for an unknown number.
std::string MsgDlgText(int number);

// What a message box shows, handed to the translation before the box is built.
struct TMsgDlgTexts {
  std::string title;
  std::string text;
  std::vector<std::string> buttons;
};
// The one place where a message box is translated into the current language. Does nothing
// until the language system is in place.
void TranslateMsgDlg(TMsgDlgTexts& texts);
