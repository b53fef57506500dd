#pragma once
// The dialogs of the key and door imports with their fixed columns: open a CSV or TXT
// file, look at it in the grid, read the layout's help below, import.

#include <functional>
#include <string>
#include <vector>

#include <QDialog>

#include "import/ImportKeysUnit.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;
class TAWebBrowser;

class TFixedImportForm : public QDialog {
 public:
  // `doors`: the door layout, else the key layout.
  TFixedImportForm(bool doors, QWidget* parent = nullptr);

  QPushButton* OpenBtn;
  QLabel* FileLabel;
  QCheckBox* HeaderBox;
  QTableWidget* Grid;
  TAWebBrowser* HelpView;
  QPushButton* ImportBtn;
  QPushButton* EscBtn;

  // Reads a file into the grid; false (told) when it cannot be read.
  bool LoadFile(const std::string& fileName);
  // The file dialog, then LoadFile.
  void OpenBtnClick();
  // Checks and imports; closes with OK after a completed import.
  void ImportBtnClick();
  // Forgets the file: lines, grid and name; the import button off.
  void Reset();
  // The captions of the layout (building and cylinder captions from the settings).
  void SetCaptions();

  const std::vector<TFixedImportRow>& Rows() const { return rows_; }
  bool Doors() const { return doors_; }
  // Runs after a saved door import (the cylinders made from the doors' entries).
  std::function<void()> AfterDoorsImport;

 private:
  void FillGrid();

  bool doors_;
  std::string fileName_;
  std::vector<std::string> lines_;
  std::vector<TFixedImportRow> rows_;
};

class TImportKeysForm : public TFixedImportForm {
 public:
  explicit TImportKeysForm(QWidget* parent = nullptr) : TFixedImportForm(false, parent) {}
};
class TImportDoorsForm : public TFixedImportForm {
 public:
  explicit TImportDoorsForm(QWidget* parent = nullptr) : TFixedImportForm(true, parent) {}
};

// The forms made on first use (null before).
TImportKeysForm* ImportKeysForm();
TImportDoorsForm* ImportDoorsForm();

// Shows the dialog modally; true when it closed after an import. The loaded file is
// forgotten afterwards.
bool ExecuteKeysImport();
bool ExecuteDoorsImport(const std::function<void()>& afterImport = {});

// The menu commands: the page shown, refused while its view edits, the page control hidden
// during the dialog, every view refreshed after an import.
void RunKeysImportCommand();
void RunDoorsImportCommand(const std::function<void()>& afterImport);
