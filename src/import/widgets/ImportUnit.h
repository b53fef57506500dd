#pragma once
// The table import dialog: a foreign table (CSV, TXT, or a spreadsheet) loaded into a
// preview grid, the content class chosen, the table's columns mapped in order to fields of
// the field catalogue, locking system, building and date format chosen, a check pass
// ("Prüfen") and then the import ("Import ausführen"). The mapping with these choices is
// kept as an import profile (".ipo"), which the unattended start ("autoImport") replays.
// The choices, the profile file and the table loading live without widgets in
// import/ImportProfileUnit.h; the rows are the row engine's.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QDialog>

#include "import/ImportProfileUnit.h"
#include "import/ImportTable.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenuBar;
class QPushButton;
class QTableView;
class QToolButton;
class QWidget;
class TImportTableModel;

class TImportForm : public QDialog {
 public:
  explicit TImportForm(QWidget* parent = nullptr);
  ~TImportForm() override;

  // Controls.
  QMenuBar* MainMenu;
  QAction* OpenTable1;        // "Tabelle laden ..."
  QAction* ReadExcel1;        // "aus Office einlesen (geöffnetes Fenster) ..."
  QAction* LoadFields1;       // "Felder-Zuordnung laden ..."
  QAction* SaveFields1;       // "Felder-Zuordnung speichern unter ..."
  QAction* ConcatCells1;      // "Tabellenzellen verbinden ...", only with a table
  QAction* ImportBigKey1;     // "Big-Key importieren ..."
  QAction* Close1;            // "Schließen"
  QAction* canCreateHouses1;  // options
  QAction* canCreateDoors1;
  QAction* RemoveUnlistedPersons1;
  QAction* overwriteDoors1;
  QPushButton* OpenBtn;
  QLineEdit* FnEd;
  QCheckBox* HeadlinesCheck;
  QWidget* GridPanel;
  QTableView* Grid;
  QComboBox* TableContentCombo;
  QComboBox* KeysystemCombo;
  QComboBox* HouseCombo;
  QComboBox* DateFormatCombo;
  QListWidget* StockBox;
  QListWidget* GoodBox;
  QPushButton* AddBtn;
  QPushButton* DelBtn;
  QToolButton* UpBtn;  // the two halves of the up-down control
  QToolButton* DownBtn;
  QPushButton* CheckBtn;
  QPushButton* ImportBtn;

  // Prepares the dialog for a run: the field catalogue (its result is the result), the
  // locking systems, buildings, content classes and (once) date formats, the headline
  // setting; CheckBtn and ImportBtn disabled, OpenBtn bold and focused. With `batch` a
  // catalogue that cannot be read is logged, not shown.
  bool Prepare(bool batch = false);
  // Frees the table and the grid's rows, clears the file name, disables both run buttons.
  void FreeTable();

  // The choices of the controls, and the controls set from choices (class, systems,
  // building, date format, options, mapping; the data file name is only shown).
  TImportSettings Settings() const;
  void ShowSettings(const TImportSettings& settings);

  // Loads a table file into the grid (see LoadTableFile of ImportProfileUnit.h); the
  // captions refreshed, CheckBtn enabled when a mapping exists, ImportBtn disabled.
  bool LoadTableFile(const std::string& fileName, bool batch);
  // Loads a profile: its choices, then (asked unless `withoutAsking`) its data file.
  bool LoadImportProfile(const std::string& fileName, bool withoutAsking, bool batch);
  // Writes the profile through the safe save; false when not written.
  bool SaveImportProfile(const std::string& fileName);
  // The unattended run of a profile with this dialog showing its choices and its table
  // while the import works (see RunProfileImport of ImportProfileUnit.h).
  bool RunProfileShown(const std::string& profileFile, bool batch);

  bool TableLoaded() const { return loaded_; }
  const TImportTable& Table() const { return table_; }
  TImportTableModel* Model() const { return model_; }

  // Handlers.
  void OpenBtnClick();
  void ReadExcel1Click();
  void LoadFields1Click();
  void SaveFields1Click();
  void CheckBtnClick();
  void ImportBtnClick();
  void AddBtnClick();
  void DelBtnClick();
  void UpDownClick(bool up);
  void StockBoxClick();
  void GoodBoxClick();
  void TableContentComboChange();
  void KeysystemComboChange();
  void HeadlinesCheckClick();
  void Close1Click();
  // Joins two neighbouring columns of the loaded table (ShowConcatCells); afterwards the
  // grid and its captions are shown anew and the changed table must be checked again.
  void ConcatCells1Click();
  void ImportBigKey1Click();

  // The profile run's file dialog and the table's (made on first use).
  QFileDialog& TableOpenDialog();
  QFileDialog& FieldsOpenDialog();
  QFileDialog& FieldsSaveDialog();

 private:
  void RefreshCaptions();
  void MappingChanged();
  void UpdateButtons();
  void FillContentCombo();
  void FillHouseCombo();
  void SetBold(QPushButton* button, bool bold);
  bool RunEngine(bool dryRun, bool batch);

  TImportTable table_;
  TImportTableModel* model_ = nullptr;
  bool loaded_ = false;
  std::unique_ptr<QFileDialog> tableDialog_, fieldsOpenDialog_, fieldsSaveDialog_;
  std::string profileName_;
};

// The dialog of the program (made on first use, kept); FreeImportForm drops it (tests, end).
TImportForm& ImportForm();
void FreeImportForm();

// The table import from the menu: the dialog prepared, for persons (class 5) preset with
// the persons' default columns, shown modally; true when it closed after an import. The
// table is freed afterwards. With `bigKey` the Big-Key step runs first.
bool ExecuteTableImport(int contentClass, bool bigKey = false);

// The unattended run of a profile with the dialog shown while it works (see
// RunProfileImport of ImportProfileUnit.h).
bool RunProfileImportShown(const std::string& profileFile, bool batch);

// The locking-system question of the Big-Key step: its caption text in, the chosen code
// out (0 = none). The composition root points it at the views' selection dialog.
using TKeySystemChooser = std::function<std::int32_t(const std::string& caption)>;
void SetKeySystemChooser(TKeySystemChooser chooser);

// The menu commands of the table import ("ImportNew1", "ImportPersons1", "ImportBigKey1")
// and the unattended start's hook, installed by the composition root.
void ImportNew1Click();
void ImportPersons1Click();
void ImportBigKey1MenuClick();
