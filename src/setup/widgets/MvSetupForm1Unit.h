#pragma once
// The installer's window. It leads through four panels, exactly one visible at a time and
// centred: the language choice, the target folder with the desktop option, the progress,
// and (as uninstaller) the uninstall question. Before anything is written it checks the
// folder, asks about administrator rights when the target lies outside the home folder,
// and makes sure the installed program is not in use; afterwards it writes the program's
// settings file, asks what the persons are called, and starts the program.

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

class TMvSetupForm1 : public QWidget {
  Q_OBJECT
 public:
  // `args`: the program's arguments (uninstall mode, "UninstallKey").
  explicit TMvSetupForm1(std::vector<std::string> args, QWidget* parent = nullptr);
  ~TMvSetupForm1() override;

  // Translates the window; as uninstaller shows the uninstall question, otherwise runs the
  // path commands and shows the language choice. When the payload is missing or refused
  // the window says so and is finished at once (exit code 1).
  void FormCreate();

  bool UninstallMode() const { return uninstall_; }
  // The window has closed itself (also during FormCreate).
  bool Finished() const { return finished_; }
  // 0 after an installation or uninstall that succeeded or was cancelled, 1 after a failure.
  int ExitCode() const { return exitCode_; }
  // The panel shown now ("LngPanel", "AskPanel", "ProgressPanel", "UninstAskPanel").
  std::string CurrentPanel() const;

  // The handlers.
  void LngRadioClick(const std::string& code);
  void LngOkBtnClick();
  void FirstCheckTimerTimer();
  void ChooseBtnClick();
  void StartBtnClick();
  void UninstStartBtnClick();

  // Called whenever a panel is shown, with the panel's name (pictures of the driver build).
  static std::function<void(TMvSetupForm1&, const std::string&)>& PanelShown();
  // Tessaro is in use for this user: its instance channel answers (tests replace it).
  static std::function<bool()>& ProgramRunning();

  // ----- controls ------------------------------------------------------------------------
  QFrame* LngPanel = nullptr;
  QRadioButton* LngGermanRadio = nullptr;
  QRadioButton* LngEnglishRadio = nullptr;
  QRadioButton* LngHURadio = nullptr;
  QLabel* GermanLabel = nullptr;
  QLabel* EnglishLabel = nullptr;
  QPushButton* LngOkBtn = nullptr;
  QPushButton* Button1 = nullptr;

  QFrame* AskPanel = nullptr;
  QLabel* SetupLabel = nullptr;
  QLabel* NameVersionLabel = nullptr;
  QLineEdit* PgmPathEd = nullptr;
  QPushButton* ChooseBtn = nullptr;
  QCheckBox* CreateDesktopLinkCheck = nullptr;
  QPushButton* StartBtn = nullptr;
  QPushButton* NoBtn = nullptr;

  QFrame* ProgressPanel = nullptr;
  QLabel* ProgressLabel = nullptr;

  QFrame* UninstAskPanel = nullptr;
  QLabel* SetupTaskLabel = nullptr;
  QPushButton* UninstStartBtn = nullptr;
  QPushButton* UninstNoBtn = nullptr;

  QTimer* FirstCheckTimer = nullptr;

 private:
  void BuildControls();
  void ShowPanel(QFrame* panel);
  void UpdateLanguageControls();
  void CloseWith(int exitCode);

  std::vector<std::string> args_;
  bool uninstall_ = false;
  bool finished_ = false;
  int exitCode_ = 0;
};

// The installer's main block: texts, the lock against a second installer, the window, the
// message loop. Returns the exit code.
int SetupMain(int argc, char** argv);
