#pragma once
// The Qt-free layers never show a window. Whatever they have to tell or ask the user
// goes through this interface; the program installs an implementation built on message
// boxes, tests install one that records what was said and plays scripted answers.

#include <string>

enum class TMsgKind { Info, Error, Confirmation, ErrorConfirmation, Warning };

// Modal results, numbered as the program's dialogs have always numbered them.
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;
constexpr int mrYes = 6;
constexpr int mrNo = 7;

// Which standard buttons a question offers.
enum class TAskButtons { YesNo, YesCancel };

class IUserInteraction {
 public:
  virtual ~IUserInteraction() = default;
  virtual void ShowMessage(TMsgKind kind, const std::string& text) = 0;
  // A message under a caption of the caller's instead of the kind's (the installer shows its
  // own name); without a caption of its own an implementation shows it as ShowMessage does.
  virtual void ShowCaptionedMessage(TMsgKind kind, const std::string& caption,
                                    const std::string& text) {
    (void)caption;
    ShowMessage(kind, text);
  }
  // Returns the modal result of the pressed button (mrYes, mrNo, mrCancel).
  virtual int Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) = 0;
  // Up to three caller-captioned buttons plus an optional Cancel: 1, 2, 3 or 0.
  virtual int AskButtons(const std::string& text, const std::string& caption1,
                         const std::string& caption2, bool withCancel,
                         const std::string& caption3) = 0;
  // A one-line input; true when confirmed (only then, and only when editable, value changes).
  virtual bool InputText(const std::string& prompt, std::string& value, bool editable) = 0;
  // Keeps the program responsive during long work and while waiting for a lock.
  virtual void ProcessPendingEvents() = 0;
};

// The implementation in force; never null. Without an installed one, messages are
// dropped and every question gets its safe answer (No / Cancel / 0 / not confirmed).
IUserInteraction& UI();
// Installs `ui` (not owned) as the implementation; nullptr restores the silent default.
void SetUserInteraction(IUserInteraction* ui);

// Installs an implementation for the lifetime of a scope and restores the previous one.
class TUserInteractionScope {
 public:
  explicit TUserInteractionScope(IUserInteraction& ui);
  ~TUserInteractionScope();
  TUserInteractionScope(const TUserInteractionScope&) = delete;
  TUserInteractionScope& operator=(const TUserInteractionScope&) = delete;

 private:
  IUserInteraction* previous_;
};
