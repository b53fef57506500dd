#pragma once
// The main window of the program: a page control with thirteen pages (one view each, in
// the fixed order of TPage, app/ViewRegistryUnit.h), the main menu with its handlers, the two
// one-shot start-up timers, the coloured frame that shows the program's mode, window
// placement, the help pages, the language switch and the dispatch of the record commands
// New, Edit, Duplicate and Save to the view of the active page.
//
// It receives the messages of other processes of the program (a second start asks it to
// come to the front). The login, the opening of a client's data, the logout and closing are
// LoginUnit's: the window takes part in them through ILoginHost.
//
// Views and commands of other units join through the view registry (app/ViewRegistryUnit.h)
// and app/MainFormUnit.h: a page whose view was not built into the program stays empty, a
// command without its work stays disabled.

#include <array>
#include <map>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QPointer>

#include "app/AppControlUnit.h"
#include "app/LoginUnit.h"
#include "app/MainFormUnit.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QTabWidget;
class QTimer;
class TAWebBrowser;
class TFrameLogin;

// The main window's message table ("TTessaroForm").
std::string MainFormText(int number);

class TTessaroForm : public QMainWindow, public ILoginHost {
  Q_OBJECT
 public:
  explicit TTessaroForm(QWidget* parent = nullptr);
  ~TTessaroForm() override;

  // A message from another process of the program. Always answers 1; code 2 restores the
  // window from the minimised state and brings it to the front; other codes are otherwise
  // ignored.
  int WMCopyData(int code);
  // How often code 2 arrived (for the log and the tests).
  int ActivationCount() const { return activations_; }

  // ----- controls ------------------------------------------------------------------------
  QTabWidget* PageControl = nullptr;
  std::array<QWidget*, kPageCount> Sheets{};  // by page index
  QWidget* HelpTopPanel = nullptr;
  QPushButton* HelpBackBtn = nullptr;   // "zurück zur letzten Karteikarte"
  QLabel* LeftColorImage = nullptr;
  QLabel* RightColorImage = nullptr;
  QWidget* BottomColorPanel = nullptr;
  QMenuBar* MainMenu1 = nullptr;
  QMenu* Language1 = nullptr;
  TFrameLogin* FrameLogin = nullptr;
  // The built-in web view of the Help page; null until made.
  QPointer<TAWebBrowser> HelpBrowser;

  // 100 ms, one-shot, off until the main block enables it right after creating the window.
  QTimer* LoaderEndTimer = nullptr;
  // 50 ms, one-shot, enabled at the end of the window's creation.
  QTimer* GuiStartTimer = nullptr;

  // ----- published handlers ----------------------------------------------------------------
  void FormCreate();
  void FormShow();
  void FormResize();
  void FormPaint();
  // Escape: the edit of the active page cancelled, else back to the previous page. True
  // when the key was taken.
  bool FormKeyPress(int key);
  // False: the window stays open (unsaved input).
  bool FormClose();
  void FormDestroy();
  // The page being left is remembered (never Help).
  void PageControlChanging();
  void CylsSheetShow();
  void GroupsSheetShow();
  void CabinetSheetShow();
  void KeysSheetShow();
  void TransferSheetShow();
  void TransferSheetEnter();
  void HelpSheetShow();
  void HelpBackBtnClick();
  // Each first stops its own timer.
  void LoaderEndTimerTimer();
  void GuiStartTimerTimer();

  // ----- operations ----------------------------------------------------------------------
  void EnsureLazyFrame(int page);
  void SetPrintPreview(bool on, bool store);
  bool PrintPreview() const { return PrintPreviewEnabled(); }
  void ApplyFrameColour();
  // The colour last drawn into the frame images (blue-green-red).
  uint32_t FrameColour() const { return frameColour_; }
  void LayoutFrame();
  void ShowHelpPage(const std::string& fileName);
  void CreateHelpBrowser();
  // The address the Help page shows (or will show once its web view exists).
  const std::string& HelpAddress() const { return helpAddress_; }
  void SetLanguage(const std::string& code);
  void LanguageMenuClick(const std::string& code);
  void ReadProgramSettings();
  void ApplyWindowState(const std::string& text);
  std::string WindowStateText() const;
  // The placement text read at start.
  const std::string& StartWindowState() const { return startWindowState_; }
  // New, Edit, Duplicate, Save to the view of the active page; beeps when refused.
  void DispatchCommand(char letter);
  void ShowLoginPage();

  // ----- the menu ------------------------------------------------------------------------
  // The menu item of that name (e.g. "BackupNow1"); null when there is none.
  QAction* MenuItem(const std::string& name) const;
  QMenu* Menu(const std::string& name) const;
  // Runs the command of that name as its menu item does: its gates, then its work.
  // False when a gate refused or the command has no work.
  bool RunMenuCommand(const std::string& name);
  // Brings the menus up to date as opening them does (File1Click, Edit1Click, ...).
  void UpdateMenus();
  // The names of every command of the menu, in name order.
  std::vector<std::string> CommandNames() const;
  // The command's work is the window's own (a handler of its own, or a View entry's page);
  // false for a command whose work another unit installs.
  bool CommandHasOwnWork(const std::string& name) const;
  // The ActiveX flags ("111" unless the setting says otherwise).
  const std::string& ActiveXFlags() const { return activeX_; }
  // How often the system beep sounded (tests).
  int BeepCount() const { return beeps_; }

  // ----- ILoginHost --------------------------------------------------------------------------
  void ResetWindowToLogin() override;
  void SelectLanguage(const std::string& code) override;
  void AttachMenuAndEnablePages() override;
  void ShowClientTitle(const std::string& title) override;
  void UpdateFrameColours() override;
  void ReadDataSettings() override;
  void StoreOpened(bool firstRun, bool minStockUsed) override;
  void ShowPagesAfterLogin(bool issueTab) override;
  void AfterViewsRefreshed() override;
  void ApplyUserValues(const TUserValues& values) override;
  void EnablePageControl(bool on) override;
  void SetWaitCursor(bool on) override;
  void RunAutoImport(const std::string& profile) override;
  void StartGuidedTour() override;
  void StoreWindowSettings() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct TCommand;
  using THandler = void (TTessaroForm::*)();

  void CreatePages();
  void CreateViews();
  void CreateMenus();
  QAction* AddCommand(QMenu* menu, const char* name, const char* caption, const char* keys,
                      TCommandGate gate, THandler handler);
  void SetPageCaptions();
  void Beep();
  void CurrentPageChanged(int index);
  void ApplyInstalledCommands();

  // Menus opening.
  void File1Click();
  void Edit1Click();
  // Disables each submenu of `menu` (at any depth) whose visible entries are all disabled;
  // true when `menu` has an enabled entry.
  static bool DisableEmptySubmenus(QMenu* menu);
  // Resizes and moves the window so that its outer bounds, frame included, are `wanted`
  // (at least its smallest size), within `area`.
  void PlaceOuter(const TScreenRect& wanted, const TScreenRect& area);
  void Transfer1Click();
  void View1Click();
  void Sort1Click();
  void Bestellen1Click();

  // Menu handlers (named after their items).
  void BackupNow1Click();
  void Sandbox1Click();
  void Print1Click();
  void Logout1Click();
  void FileClosePgmClick();
  void New1Click();
  void Ed1Click();
  void Dup1Click();
  void Save1Click();
  void NewBunch1Click();
  void Users1Click();
  void Issue1Click();
  void SpindIssue1Click();
  void SpindReturn1Click();
  void LockerKey(int kind);
  void Refresh1Click();
  void ViewPageClick(int page);
  void PrintPreview1Click();
  void SortName1Click();
  void SortLock1Click();
  void SortPos1Click();
  void SortNotAdjust1Click();
  void SortAdjust1Click();
  void Sort(TSortCommand command);
  void SmallWinSize1Click();
  void OptWinSize1Click();
  void WinForeground1Click();
  void HelpPDF1Click();
  void HelpF1Click();
  void TransferHelp1Click();
  void useDemoData1Click();
  void useOwnData1Click();
  void SwitchDataFolder(const std::string& folder);

  int activations_ = 0;
  int beeps_ = 0;
  bool menuAttached_ = false;
  bool formShown_ = false;
  uint32_t frameColour_ = 0xFFFFFFFF;
  int currentPage_ = 0;
  std::string activeX_ = "111";
  std::string startWindowState_;
  std::string helpAddress_;

  struct TCommand {
    QAction* action = nullptr;
    TCommandGate gate;
    THandler handler = nullptr;
  };
  std::map<std::string, TCommand> commands_;
  std::map<std::string, QMenu*> menus_;
  std::map<int, QAction*> viewEntries_;  // page -> its View menu entry
};

// The one main window of the run; null before it is created and after it is gone.
TTessaroForm* TessaroForm();

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* MainFormTexts();
