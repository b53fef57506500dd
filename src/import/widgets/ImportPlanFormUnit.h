#pragma once
// The locking-plan import dialogs: "Schließplan importieren" (the sheet in a grid, the
// recognised areas in colour, manual definitions, options and the import) and
// "Tabellenbereich definieren" (one cell of the sheet as a plan field's heading or first
// data cell). The work without widgets lives in src/import (ImportPlanUnit,
// ImportPlanRecogUnit, ImportPlanDefUnit).

#include <QAbstractTableModel>
#include <QDialog>
#include <QFileDialog>

#include <array>
#include <functional>
#include <string>

#include "import/ImportPlanDefUnit.h"
#include "import/ImportPlanRecogUnit.h"
#include "import/ImportTable.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QTableView;
class QWidget;
class TMLStringList;

const TMLStringList* ImportPlanFormTexts();

// The definitions every showing of the dialog shares (loaded from the data folder's
// "PlanImportSettings.pis" on first use).
TIndiDefList& SharedPlanDefs();
// The shared definitions as those of the open client: read from its data folder on first use
// and again after another client was opened, so one client's definitions are never shown
// in, or saved into, another client's folder.
TIndiDefList& PlanDefsOfClient();

class TImportPlanDefForm : public QDialog {
 public:
  explicit TImportPlanDefForm(QWidget* parent = nullptr);
  // Fills the boxes with the field captions and remembers the cell.
  void Prepare(const TImportTable* grid, int col, int row);

  QListWidget* Box1;  // column fields
  QListWidget* Box2;  // row fields
  QRadioButton* HeadingRadio;
  QRadioButton* DataRadio;
  QRadioButton* NothingRadio;
  QPushButton* OkBtn;
  QPushButton* CancelBtn;

 private:
  void ChoiceChanged();
  void OkBtnClick();
  const TImportTable* grid_ = nullptr;
  int col_ = 0;
  int row_ = 0;
};

// Opens the define-cell dialog for a cell of the plan grid; true when confirmed.
bool ImportPlanDefineCell(const TImportTable& grid, int col, int row);

// The plan grid on the screen: the cells with the recognition's colours and hints.
class TPlanGridModel : public QAbstractTableModel {
 public:
  TPlanGridModel(const TImportTable* grid, const TPlanRecognition* rec, const TIndiDefList* defs,
                 QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  void Refresh();
  // The colour of a cell (BGR), 0xFFFFFFFF when drawn normally.
  uint32_t CellColour(int col, int row) const;
  // The hint of a cell: manual definitions, mapped fields, matrix.
  std::string CellHint(int col, int row) const;
  std::array<std::string, kPlanColumnFieldCount> ColumnCaptions;
  std::array<std::string, kPlanRowFieldCount> RowCaptions;

 private:
  const TImportTable* grid_;
  const TPlanRecognition* rec_;
  const TIndiDefList* defs_;
};

class TImportPlanForm : public QDialog {
 public:
  explicit TImportPlanForm(QWidget* parent = nullptr);
  ~TImportPlanForm() override;

  // Empty grid of 40 rows, no matrix, step 0, combos filled, import disabled.
  void PreparePlanDialog();
  void ResetPlanFields();
  void ShowPlanStep(int step);
  void FillPlanSystemCombo();
  void RefreshPlanBuildingCombo();
  bool LoadPlanTable(const std::string& fileName);
  void RecognisePlan();
  void SetFieldCaptions();
  // The recognition words (LoadPlanWords).
  void SetWords(const TPlanWords& words);
  // The import with the dialog's options; closes the dialog with OK when it ran.
  void ExecutePlanImport();
  void ReadOpenOfficeSheet();
  void LoadDefinitions();
  void SaveDefinitions();
  void ClearDefinitions();
  void DefineCurrentCell();
  void CopyCurrentCell();

  int Step() const { return step_; }
  const TImportTable& Grid() const { return grid_; }
  const TPlanRecognition& Recognition() const { return rec_; }
  TPlanGridModel* Model() const { return model_; }

  QTableView* PlanGrid;
  QLabel* InfoLabel;
  QFrame* InfoPanel;
  QFrame* FilePanel;
  QFrame* OptionsPanel;
  QPushButton* OpenFileBtn;
  QPushButton* OfficeBtn;
  QPushButton* ContinueBtn;
  QPushButton* ImportBtn;
  QComboBox* NamingCombo;
  QCheckBox* AddCountsCheck;
  QCheckBox* IgnoreZeroCheck;
  QCheckBox* SeekByPositionCheck;
  QCheckBox* ReportNewCheck;
  QComboBox* SystemCombo;
  QComboBox* BuildingCombo;
  QMenu* GridMenu;
  QAction* HelpAction;
  // The chosen file names of the open dialogs (tests set what the dialogs would give).
  std::string TableFileName;
  std::string DefsOpenFileName;
  std::string DefsSaveFileName;

 private:
  bool eventFilter(QObject* watched, QEvent* event) override;
  std::string ChooseFile(bool save, const std::string& title, const std::string& filter,
                         const std::string& current);

  TImportTable grid_;
  TPlanRecognition rec_;
  TPlanWords words_;
  TPlanGridModel* model_ = nullptr;
  int step_ = 0;
  int optionsHeight_ = 0;
  int hoverCol_ = -1;
  int hoverRow_ = -1;
};

// Loads "System/LockingPlan.lng" below the program folder once; false (the error shown)
// when it cannot be read.
bool LoadPlanWords(TPlanWords& words);

// The XML import's open dialog: titled for XML plans, XML files first.
class TImportXmlForm : public QFileDialog {
 public:
  explicit TImportXmlForm(QWidget* parent = nullptr);
};

// The main-menu entry: the dialog; true when an import ran.
bool RunPlanImport();
// The XML import's menu entry: the open dialog, the locking system from `chooseSystem`
// (nullptr: code 1), then the import with a wait text. True when the import ran.
bool ExecuteXmlImport(const std::function<int32_t()>& chooseSystem);
