#pragma once
// Opening a client's data, login and logout: everything between the main window being shown
// and a user working in it, and back. The decisions live here as plain functions that need
// no window (where the data folder is, whether a name and password match, which rights a
// user gets, what an "autoLogin" value means, what the opening of a data folder decides);
// the login frame (FrameLoginUnit.h) and the main window only show what they decide.
//
// The main window's own steps (pages, menus, captions, views) are reached through
// ILoginHost, which the main window implements; every member has a default that does
// nothing, so a test or an early window needs only what it uses.
//
// State of the login flow lives in one TLoginState (LoginState()): the client list, the
// user list's facts and the per-user values. The open client's state (its store with the
// change log, the rights, the history, ...) is the client session's (ClientSessionUnit.h):
// opening a client's data starts a new one, logout drops it. The flags of the data folder
// (data root, data path, read-only, time travel with its date, sandbox, current client)
// are MandantState()'s and the page visibility "ViewTab" WinGlue()'s.
//
// Single thread. Messages and questions go through UI().

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/MandantUnit.h"
#include "data/UserRights.h"

class TMiniDB;
class TTimebackLog;
struct TBackupEnvironment;
class TMLStringList;

// ---------------------------------------------------------------------------------------
// Texts.

// The login frame's table ("TFrameLogin"): 1 wrong name or password, 2 the hint while no
// users exist.
const TMLStringList* FrameLoginTexts();
std::string FrameLoginText(int number);
// The main window's texts used by the opening, the login and the logout ("LoginUnit"):
// 1 network warning, 2 data folder not writable, 25-27 store in use at this workstation,
// 28-30 sandbox, 44 delete the sandbox?; and our own: 101 the store file is missing beside
// other data of ours, 102 the store is reserved by another workstation (retry?). A store
// that cannot be opened no longer ends the program, so the old text 4 is gone.
const TMLStringList* LoginTexts();
std::string LoginText(int number);
std::string LoginTextFmt(int number, const std::string& argument);

// Batch-log lines of the error log.
inline constexpr const char* kLogLoginIncomplete =
    "Login incomplete: database selection required";
inline constexpr const char* kLogLoginFailed = "Login failed";
inline constexpr const char* kLogAutoImportUnavailable =
    "Import not run: this program has no unattended table import";

// The unattended import of the profile named by "autoImport" (the table import installs
// it through the composition root): true when imported. Without one the main window logs
// kLogAutoImportUnavailable.
using TAutoImport = std::function<bool(const std::string& profile)>;
void InstallAutoImport(TAutoImport run);
const TAutoImport& InstalledAutoImport();

// The store's application name and the colours of the password field.
inline constexpr const char* kStoreAppName = "Tessaro";
inline constexpr std::uint32_t kPasswordFocusColor = 0xD0FFFF;  // light yellow
inline constexpr std::uint32_t kPasswordDoneColor = 0xC0C0C0;   // grey after login
inline constexpr int kMaxPasswordLength = 63;

// ---------------------------------------------------------------------------------------
// The data root.

// Where the data root may come from, in this order of preference.
struct TDataRootSources {
  std::string dataPathSwitch;   // value of the switch "datapath"
  std::string dataFileSwitch;   // value of the switch "datafile" (its folder counts)
  std::string dataPathSetting;  // program-level setting "DataPath"
  std::string programDir;       // with a trailing "/"
};
// The first of switch "datapath", folder of "datafile", setting "DataPath" (trimmed) that
// is not empty, made absolute against the program folder and given a trailing "/"; the
// program folder + "DemoData/" when none gives a value.
std::string ResolveDataRoot(const TDataRootSources& sources);
// The sources as the command line and the program-level settings give them now.
TDataRootSources CurrentDataRootSources();

// ---------------------------------------------------------------------------------------
// Users and the login check.

struct TLoginUserEntry {
  std::string name;  // as stored
  int32_t id = 0;
};
struct TLoginUserList {
  std::vector<TLoginUserEntry> users;  // valid class-1 records, sorted by name (1252)
  bool someUserHasRights = false;      // one of them has a non-empty "rg"
};
TLoginUserList ListLoginUsers(TMiniDB& db);

// Name and password as compared: trimmed, upper-cased through the 1252 table.
std::string LoginCompareForm(const std::string& text);

struct TLoginMatch {
  bool success = false;     // a match, or no named user at all
  int32_t userId = 0;       // 0 when nobody named matched (anyone may enter)
  std::string userName;     // as stored in the matching record
  bool namedUsers = false;  // valid users with a non-empty name exist
};
// The valid class-1 records in store order; the first whose name (compare form) equals the
// typed name is the match, and its "pw" (compare form) must equal the typed password. A
// record with an empty name never matches. Without any named user anyone enters (ID 0).
TLoginMatch CheckLogin(TMiniDB& db, const std::string& typedName,
                       const std::string& typedPassword);

// The rights of the logged-in user: without "rg" on any user every level 2, else the
// user's decoded "rg" (ID 0: all 0); a right among 4 (users) and 9 (settings) that no
// valid user holds (level 2 or 3) becomes 2, so that nobody is locked out of them.
TRightLevels RightsAfterLogin(TMiniDB& db, int32_t userId, bool someUserHasRights);

// The history user text: the object text of class 1 with the user ID and the typed
// (trimmed) name, without its first four characters ("c=1;").
std::string HistoryUserTextFor(int32_t userId, const std::string& typedName);

// ---------------------------------------------------------------------------------------
// "autoLogin".

struct TAutoLogin {
  bool given = false;           // a value was there
  bool taken = false;           // the user ID was taken
  int32_t userId = 0;
  std::string password;         // decoded; empty when it did not decode
  bool hasRecordText = false;   // a decoded user record text came with it
  std::string recordText;
  bool badRecordText = false;   // a record text that does not decode: the program ends
  bool refused = false;         // a record text without time travel: not accepted
};
// The value in force: "autoLogin", or with "timetravel" the content of the hand-over file
// named by "autoLoginFile" (read and removed). False when there is none.
bool AutoLoginValueNow(std::string& value);
// Splits "ID;password;record text". The ID (a whole number of 0 or more) is taken when its
// record is a user or does not exist; password and record text must decode as numbered
// strings for that ID. A record text is accepted only in time-travel mode.
TAutoLogin ParseAutoLogin(TMiniDB& db, const std::string& value, bool timeTravel);
// With a taken ID and a record text: the store is marked never to save, a missing user
// record is made ("unknown", its new ID replaces the given one), its text becomes the given
// text and an empty password is taken from its "pw". False when the record could not be
// made.
bool ApplyAutoLogin(TMiniDB& db, TAutoLogin& autoLogin);

// ---------------------------------------------------------------------------------------
// The client grid.

struct TMandantGridModel {
  int cols = 5;
  int rows = 0;                               // >= 2 when there are entries
  std::vector<std::vector<std::string>> cells;  // [row][col], rows = entry count
  std::vector<int> rowObject;                 // entry index per row
  int selectedRow = -1;                       // the "LastSubscriber" row, -1 none
};
// Entry 0 (the header) decides the columns: its name, then each non-empty text field
// (Title, Text2, Text3, DataFolder) takes the next column; cells are " " + the entry's value
// (the name cut to 32 characters in all). Without any text field in the header, its name
// becomes "ID" and its Title "Title" (in `list`) and the rows are filled once more.
TMandantGridModel BuildMandantGrid(TMandantList& list, const std::string& lastSubscriber);

// ---------------------------------------------------------------------------------------
// Per-user values.

struct TUserValues {
  std::string viewTab;        // "ViewTab" when at least 4 characters, at most 7
  int keyNameMode = 0;        // "KeyName"
  int personNameMode = 1;     // "PersonName"
  std::string planView;       // "PlanView"
  bool printPreview = true;   // "PrintPreview"
  int printerDialog = 1;      // "PrinterDialog": 0, 1 or 2
};
// Reads the values of the user record into `values` (what is absent keeps its value as
// the rules say).
void ReadUserValues(TMiniDB& db, int32_t userId, TUserValues& values);
// The page visibility string: padded with "1" to 4 characters, then with "0" to 6.
std::string PaddedViewTab(const std::string& viewTab);

// ---------------------------------------------------------------------------------------
// Opening the data of a client.

// What opening needs of the world; empty members do nothing.
struct TOpenHooks {
  std::function<void()> notifyLoader;       // before the start-up error messages
  std::function<void(const std::string&)> showTitle;  // the client's title
  std::function<void()> readDataSettings;   // the data folder's settings
  std::function<std::string()> backupFolder;  // where backups go (a missing store's copies)
};

// Result of OpenClientData.
enum class TOpenOutcome {
  Opened,        // the store is open (perhaps read-only)
  FolderFailed,  // the data folder cannot be made or written: text 2, read-only, no store
  NotOpened,     // the store could not be opened (busy and not retried, damaged): no store
  Declined,      // the store file is missing beside other data and the user cancelled
  ChooseFolder,  // the store file is missing and the user wants to open another folder
};

struct TOpenRequest {
  std::string programDir;   // with a trailing "/"
  std::string dataFile;     // switch "datafile"; empty = the client's store in DataPath
  bool timeTravel = false;  // a time-travel instance (also read-only for the whole run)
  double timeTravelDate = 0;
  bool sandbox = false;
  const TMandantInfoRec* client = nullptr;  // the current client, null = none
  TAccessProtectionRegistry* registry = nullptr;  // null = the program's
  std::string stationKey;   // empty = the program's
};

struct TOpenResult {
  TOpenOutcome outcome = TOpenOutcome::NotOpened;
  bool readOnly = false;   // ReadOnlyMode for this opening
  bool inUse = false;      // the lock file listed this station already (texts 25-27)
  bool newFile = false;    // the store file was newly started by this opening
};

// Other data of ours in a folder whose store file is missing: history year files, the
// store's ".bak", lock files, the time-travel folder or backups. An unmounted share looks
// like an empty folder, a folder with such files is most likely one whose store is missing.
bool FolderHoldsOurData(const std::string& folder, const std::string& storeFile,
                        const std::string& historyPrefix);

// The newest whole copy of a missing store: its ".bak" beside it, or a dated backup of
// the store's title ("<title> yyyy-mm-dd*.ada") in one of `backupFolders`. Empty when
// there is none.
std::string NewestStoreCopy(const std::string& storeFile,
                            const std::vector<std::string>& backupFolders);

// Before an empty store is made where a ".bak" of the old one lies: the ".bak" is renamed
// to "<store> <yyyy-mm-dd hh.mm.ss>.bak", so the new store's first saves cannot replace the
// only copy of the old data. True when there was none or it was moved.
bool KeepOldStoreBackup(const std::string& storeFile, double localNow);

// The steps of the opening that need no window, on `db` and the program's history:
// network warning, data folder test, history folder, settings, the store (a busy
// reservation offers a retry, a damaged file ends at the client choice, a missing store
// beside other data of ours is asked for first), the station-in-use test, the change log
// or the time-travel replay. The result's readOnly is worked out afresh for every opening:
// only time travel keeps it for the whole run.
// The message when a store's lock file (".wpf") cannot be used at all (`error`: its errno,
// TMiniDB::LockFileError): its name, the cause, and that retrying does not help.
std::string LockFileFailedText(const std::string& lockFile, int error);
TOpenResult OpenClientData(TMiniDB& db, std::unique_ptr<TTimebackLog>& timebackLog,
                           const TOpenRequest& request, const TOpenHooks& hooks = {});

// ---------------------------------------------------------------------------------------
// The main window's part. The main window implements it; the defaults do nothing.
class ILoginHost {
 public:
  virtual ~ILoginHost() = default;
  // ShowLoginPage: only the Login (and Help) tab, caption from "multistart", lists of the
  // doors, keys and history views emptied (the views are cleared through the glue).
  virtual void ResetWindowToLogin() {}
  // The program-level setting "Lng" (trimmed).
  virtual void SelectLanguage(const std::string& /*code*/) {}
  // The main menu attached (once), the page control enabled.
  virtual void AttachMenuAndEnablePages() {}
  // The caption and application title for the client's title.
  virtual void ShowClientTitle(const std::string& /*title*/) {}
  // The window frame colours (sandbox red, time travel ...).
  virtual void UpdateFrameColours() {}
  // The data folder's settings (the window keeps them).
  virtual void ReadDataSettings() {}
  // After the store opened and the shared lists of locking systems and buildings were
  // built: minimum stock used or not, the start page (first run: Help with
  // "firstrun/index.html"; else Login with "login.html"), doors and keys views in viewing
  // mode, users view prepared.
  virtual void StoreOpened(bool /*firstRun*/, bool /*minStockUsed*/) {}
  // AfterLogin, window side: minimum size, pages by rights and WinGlue().ViewTab (already
  // padded), Keys and Persons tabs, the Issue tab unless `issueTab` is false, Keys active,
  // Login tab hidden. The views are refreshed afterwards (RefreshAllFrames).
  virtual void ShowPagesAfterLogin(bool /*issueTab*/) {}
  // After the views were refreshed: keys and doors views viewing, the users view on the
  // current user, the limits check (Limits page when keys are overdue), help pages.
  virtual void AfterViewsRefreshed() {}
  // The sort options, key and person naming, plan view, printing choices of the user.
  virtual void ApplyUserValues(const TUserValues& /*values*/) {}
  virtual void EnablePageControl(bool /*on*/) {}
  virtual void SetWaitCursor(bool /*on*/) {}
  // Runs the import profile unattended ("autoImport").
  virtual void RunAutoImport(const std::string& /*profile*/) {}
  virtual void StartGuidedTour() {}
  // FormClose, window side: placement to "WindowState" (unless "window"), "Printer",
  // page control disabled, hourglass.
  virtual void StoreWindowSettings() {}
};

// ---------------------------------------------------------------------------------------
// Program-wide state of this part.
struct TLoginState {
  TMandantList Clients;                   // both registers; entry 0 the header
  bool StoreOpen = false;                 // the session's store is open for the current data
  bool NewStore = false;                  // the store file was started by this opening
  bool SomeUserHasRights = false;
  TAutoLogin AutoLogin;
  TUserValues UserValues;
  std::string HistoryUserText;
  TOpenOutcome LastOpenOutcome = TOpenOutcome::Opened;  // of the last OpenDataStore
  ILoginHost* Host = nullptr;             // the main window, null = nothing to show
  // For tests: the reservations and the station key of the store.
  TAccessProtectionRegistry* Registry = nullptr;
  std::string StationKey;
};
TLoginState& LoginState();
// Drops the client session (the store is saved and closed) and forgets everything
// (shutdown, tests).
void ResetLoginState();
// The host or a do-nothing one.
ILoginHost& LoginHost();

// The steps of the main window that are no widget work:

// ShowLoginPage without the frame: sandbox colours off, window reset, language, the data
// root (once per run) and DataPath when empty, menu attached.
void PrepareLoginPage();
// OpenDataStore: drops the client session in force and opens the current client's data
// (MandantState().DataPath) in a new one. True when its store is open afterwards.
bool OpenDataStore();
// The login succeeded for `match` (typed name for the history text): session, "LastUser",
// history line.
void CompleteLogin(const TLoginMatch& match, const std::string& typedName);
// AfterLogin steps without widgets: rights, per-user values, pages (through the host),
// default records, records to show, sandbox note, "autoImport", guided tour.
void AfterLogin();
// LoadUserValues: reads the per-user values and hands them to the host.
void LoadUserValues();
// DoLogout: false when refused (unsaved input). `showLoginPage` is called at the end
// unless the program ends (store never to save).
bool DoLogout(const std::function<void()>& showLoginPage);
// What a backup needs of the running program: the open store, the data folder and the
// modes, the question before an automatic backup and the hourglass.
TBackupEnvironment LoginBackupEnvironment();
// FormClose: false when a view holds unsaved input (its page is shown, the window stays);
// otherwise the automatic backup runs when due, the window stores its settings, true.
bool FormCloseQuery();
