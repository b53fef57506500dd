#pragma once
// Three dialogs the keys view opens on a key record:
//   - the split ("Datensatz-Splitting"): a summary record (the mother) hands parts of its
//     stock to copies (daughters) that keep them under names of their own;
//   - the rebook ("Splitting Umbuchung"): pieces move between a daughter and its mother;
//   - the inventory ("verfügbarer Bestand laut Inventur"): the stock found at a count.
// The record operations are StockUnit's (SplitStockRecord, MoveCountToCopy), each one write
// of its own; the inventory is one write on the key and logs "a=Inv" after its save. Split
// and rebook write no history line.

#include <cstdint>
#include <string>
#include <vector>

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class TMLStringList;
class TMiniDB;

// ---------------------------------------------------------------------------------------
// Texts: "SplitForm" (1 "Kopie", 2 "Bitte prüfen Sie Ihre Eingaben.", ...), "SplitRebookForm"
// (1 "Der Zahlenwert muss 1 oder höher sein.", ...), "IventurForm".
const TMLStringList* SplitFormTexts();
std::string SplitText(int number);
const TMLStringList* SplitRebookTexts();
std::string SplitRebookText(int number);
const TMLStringList* InventoryTexts();
std::string InventoryText(int number);

// A whole number of 0 or more as typed (blanks around it allowed); false for anything else
// ("", "-1", "1.5", "abc", a number beyond 32 bits).
bool ParseCount(const std::string& text, int32_t& value);

// ---------------------------------------------------------------------------------------
// The split without widgets.

struct TSplitRow {
  std::string name;
  std::string name2;
  std::string quantity;  // as typed
};

struct TSplitCheck {
  bool valid = true;
  int64_t sum = 0;                // the positive quantities
  int64_t newStock = 0;           // the mother's stock less the sum ("verfügbar neu")
  std::vector<bool> rowInvalid;   // a quantity neither empty, "0" nor a positive number
};

// Checks the rows against the mother's stock. A row with a positive quantity and no name
// takes the mother's name (and her second name when its own is empty).
TSplitCheck CheckSplitRows(std::vector<TSplitRow>& rows, const std::string& motherName,
                           const std::string& motherName2, int32_t motherStock);

struct TSplitRun {
  std::vector<int> madeRows;        // 0-based rows that became daughters, in order
  std::vector<int32_t> daughters;   // their records
  int refusedRow = -1;              // the row whose daughter was refused (the run stopped)
};
// A daughter per row with a name and a quantity typed (0 included), in row order, all in
// one write (SplitStockRecords): every row is saved, or none is and the row that was
// refused is named.
TSplitRun RunSplit(TMiniDB& db, int32_t mother, const std::vector<TSplitRow>& rows);

// ---------------------------------------------------------------------------------------
// The inventory without widgets.

enum class TInventorySave { Saved, StockChanged, Gone, Refused };
// Writes `count` as the key's "cnt" in one write, unless "cnt" is no longer `shownStock`
// (then nothing is written and `freshStock` holds what it is now). Logs the inventory
// ("a=Inv", the new "cnt" / "total", the remark) after the save.
TInventorySave SaveInventory(TMiniDB& db, int32_t key, const std::string& shownStock,
                             int32_t count, const std::string& remark, std::string& freshStock,
                             std::string& blocking);

// ---------------------------------------------------------------------------------------
// The dialogs.

class TSplitForm : public QDialog {
 public:
  static constexpr int kRows = 8;
  explicit TSplitForm(QWidget* parent = nullptr);

  QLabel* MotherNameLabel;   // "Bezeichnung"
  QLabel* MotherTotalLabel;  // "Gesamt"
  QLabel* MotherStockLabel;  // "verfügbar"
  QTableWidget* Grid;        // "Kopie n", name, second name, "Anzahl"
  QLabel* NewStockLabel;     // "verfügbar neu"
  QPushButton* SaveBtn;      // "Übernehmen"
  QPushButton* CancelBtn;

  void Load(TMiniDB& db, int32_t mother);
  std::vector<TSplitRow> Rows() const;
  // Checks the input and shows the result (names taken over, invalid cells light red).
  bool CheckInput();
  void SaveBtnClick();
  // The daughters the dialog made.
  const TSplitRun& Run() const { return run_; }

 private:
  void ShowMother();
  TMiniDB* db_ = nullptr;
  int32_t mother_ = 0;
  bool checking_ = false;
  TSplitRun run_;
};

class TSplitRebookForm : public QDialog {
 public:
  explicit TSplitRebookForm(QWidget* parent = nullptr);

  QLabel* MotherNameLabel;
  QLabel* MotherCountLabel;  // "Anzahl"
  QLabel* MotherTotalLabel;  // "von"
  QLabel* DaughterNameLabel;
  QLabel* DaughterCountLabel;
  QLabel* DaughterTotalLabel;
  QRadioButton* M2DRadio;    // "von Mutter auf Tochter übertragen"
  QRadioButton* D2MRadio;    // "von Tochter auf Mutter zurückbuchen"
  QLabel* AvailableLabel;    // the stock of the chosen source
  QLineEdit* CountEd;
  QPushButton* DoBtn;        // "Durchführen"
  QPushButton* CancelBtn;

  void Load(TMiniDB& db, int32_t daughter, int32_t mother);
  // The stock of the chosen source as shown.
  int32_t SourceStock() const;
  void DoBtnClick();

 private:
  void ShowNumbers();
  TMiniDB* db_ = nullptr;
  int32_t daughter_ = 0;
  int32_t mother_ = 0;
  // What the dialog shows: mother stock and total, daughter stock and total.
  std::string shown_[4];
};

class TIventurForm : public QDialog {
 public:
  explicit TIventurForm(QWidget* parent = nullptr);

  QLabel* NameLabel;
  QLineEdit* CountEd;    // "Verfügbare Menge:" ... "Stück"
  QLabel* TotalLabel;    // "von insgesamt ..."
  QLineEdit* RemEd;      // "Bemerkung (für das Protokoll)"
  QPushButton* SaveBtn;  // "Übernehmen", enabled after the first change of the count
  QPushButton* CancelBtn;

  void Load(TMiniDB& db, int32_t key);
  bool CountInvalid() const;
  void CountEdChange();
  void SaveBtnClick();

 private:
  void ShowStock(const std::string& stock);
  TMiniDB* db_ = nullptr;
  int32_t key_ = 0;
  std::string shownStock_;
  bool loading_ = false;
};

// The key's lock (refused: false), the store reloaded, the split dialog, the lock given
// back; true when daughters were made. A daughter cannot be split (core text 78).
bool ExecuteSplit(int32_t key);
// False when the record has no mother (the caller shows core text 84); otherwise the
// rebook dialog; true when pieces were moved.
bool ExecuteSplitRebook(int32_t daughter);
// The inventory dialog on a key; true when saved.
bool ExecuteInventory(int32_t key);
