#pragma once
// The program's IUserInteraction: modal message boxes centred on the main window, with the
// German standard captions of basic/MsgDlgUnit.h. The program installs one at start-up:
//   TQtUserInteraction ui(&mainWindow);  SetUserInteraction(&ui);
// Every box runs through ExecModal (DialogRunner.h), so tests drive it with queued drivers.

#include <string>

#include <QPointer>

#include "basic/UserInteraction.h"

class QWidget;

class TQtUserInteraction : public IUserInteraction {
 public:
  explicit TQtUserInteraction(QWidget* mainWindow = nullptr);

  // The window the boxes belong to and are centred on; without one, the active window.
  void SetMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }

  void ShowMessage(TMsgKind kind, const std::string& text) override;
  void ShowCaptionedMessage(TMsgKind kind, const std::string& caption,
                            const std::string& text) override;
  int Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) override;
  int AskButtons(const std::string& text, const std::string& caption1,
                 const std::string& caption2, bool withCancel,
                 const std::string& caption3) override;
  bool InputText(const std::string& prompt, std::string& value, bool editable) override;
  void ProcessPendingEvents() override;

 private:
  QWidget* Owner() const;
  QPointer<QWidget> mainWindow_;
};
