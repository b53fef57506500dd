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
  mdtWarning = 9,
};
// The text of that number in the current language; "" for an unknown number.
std::string MsgDlgText(int number);
// The same as Unicode (a Greek caption stays Greek).
std::u16string MsgDlgTextW(int number);
// The German default of that number, untranslated; "" for an unknown number.
std::string MsgDlgSourceText(int number);

// What a message box shows, handed to the translation before the box is built: the
// German texts go in, the texts in the current language come out (Unicode).
struct TMsgDlgTexts {
  std::u16string title;
  std::u16string text;
  std::vector<std::u16string> buttons;
};
// The one place where a message box is translated into the current language. Line breaks
// (CR LF, CR or LF) match the "#13#" of the language file and come out as CR. A text the
// language file does not know stays exactly as it was (an "&" in a name is kept).
void TranslateMsgDlg(TMsgDlgTexts& texts);

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* MsgDlgTexts();
