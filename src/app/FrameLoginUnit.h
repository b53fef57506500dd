#pragma once
// The login page: the choice of the client (a grid of the registered clients) and the user
// login (name list, password, OK), with the logo area below. The frame decides nothing on
// its own: LoginUnit.h says which folder, which user and which rights; the frame shows it
// and calls back into the main window through two callbacks.

#include <functional>
#include <string>

#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QMenu;

class TFrameLogin : public QWidget {
 public:
  explicit TFrameLogin(QWidget* parent = nullptr);
  ~TFrameLogin() override;

  // ----- controls -------------------------------------------------------------------------
  QGroupBox* LoginGroupBox;     // " Benutzer-Anmeldung "
  QComboBox* LoginNameCombo;    // sorted, no typing, items carry user IDs
  QLineEdit* LoginPWEd;         // '*', at most 63 characters
  QPushButton* LoginOkBtn;      // "OK"
  QLabel* FirstLoginLabel;      // how to log in while no users exist, shown then only
  QLabel* OpenFailedLabel;      // the data could not be opened: the next steps below it
  QPushButton* OtherFolderBtn;  // "Anderen Datenordner w�hlen ..."
  QPushButton* RetryOpenBtn;    // "Erneut versuchen"
  QWidget* LogoScrollBox;       // the logo area
  QLabel* LogoPanel;            // "Tessaro" + "Merivan Schlüsselverwaltung"
  QLabel* LogoPicture;          // "System/TraderLogo.bmp" when there is one
  QLabel* TraderHomepageLabel;  // the homepage; context menu "URL kopieren"
  QGroupBox* MandantGroupBox;   // " Mandanten-Auswahl "
  QTableWidget* MandantGrid;
  QPushButton* MandantSelectBtn;  // "Auswählen"

  // ----- callbacks set by the main window ---------------------------------------------------
  // The database-chosen callback (OpenDataStore): true when a store is open; the frame
  // then lists its users, otherwise it goes back to the client choice.
  std::function<bool()> OnDatabaseChosen;
  // Asks for another data folder; true when one was chosen (DataPath and DataRoot set).
  // The program's is a folder dialog; tests set their own.
  std::function<bool()> OnChooseDataFolder;
  // The login-succeeded callback (AfterLogin).
  std::function<void()> OnLoginSucceeded;

  // The homepage behind the label.
  static constexpr const char* kHomepage = "https://www.tessaro.example/";

  // ----- the login page ---------------------------------------------------------------------
  // Prepares the frame: logo, client registers, and either the client choice or the
  // database-chosen callback at once.
  void StartLogin();
  // Fills the client grid from LoginState().Clients.
  void FillMandantGrid();
  // Takes the selected client (also the select button and Enter in the grid).
  void MandantGridDblClick();
  // Fills the user list and handles "autoLogin".
  void FillLoginUsers();
  // Checks name and password; calls the login-succeeded callback.
  void LoginOkBtnClick();
  // The store could not be opened: back to the client choice when there is one, else the
  // login stays disabled and the page offers another folder or a retry.
  void ShowOpenFailed();
  // The open-failed page's buttons: the chosen folder is opened at once.
  void OtherFolderBtnClick();
  void RetryOpenBtnClick();
  // The open-failed row is shown.
  bool OpenFailedVisible() const;

  // Small handlers.
  void LoginPWEdEnter();
  void LoginPWEdExit();
  void LoginNameComboSelect();
  void TraderHomepageLabelClick();
  void URLkopieren1Click();
  // The logo objects go once a user is logged in.
  void FreeLogos();

  // The client group box is shown (the client choice is open).
  bool ClientChoiceVisible() const;
  // "autoLogin" asked for an OK click once the page is drawn.
  bool AutoClickPosted() const { return autoClickPosted_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowLogo();
  void LayoutFrame();
  void SetLoginHints(const std::string& hint);
  void ShowOpenFailedRow(bool on);
  void OpenChosenData();
  bool autoClickPosted_ = false;
  QMenu* homepageMenu_ = nullptr;
};

// ShowLoginPage: resets the window to the login state (through the host), reads the
// language and the data root, then StartLogin.
void ShowLoginPage(TFrameLogin& frame);

// The main window's "Logout" (F10): logged in, DoLogout; not logged in with clients and a
// client already chosen, DoLogout (back to the client choice); otherwise `closeWindow`.
void Logout1Click(TFrameLogin& frame, const std::function<void()>& closeWindow);
