#pragma once
// The stock list (" Schlüssel- und Zylinderbestände", F6 "Bestandsliste ..."): the stock of
// keys or of cylinders with filters, availability at a glance, sums of the pieces, print and
// export, and the choice of one record for its caller (picking a key from stock) or to go
// to it.
//
// The list is model/view: a fill over a hundred thousand keys keeps one small row per
// record (its ID and numbers) and the model makes a row's texts when the view shows it, so
// a keystroke in the search box costs the filter, the sort and one model reset. Only the
// newest of overlapping fills shows (RefreshCounter, as the record listings). The store is
// read again at most every 10 seconds, and then only when its file changed (TMiniDB::Load).
// Reads never select a record.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;
class TMLStringList;
class TMiniDB;

// The dialog's message table (group "KeyBoxUnit").
const TMLStringList* KeyBoxTexts();
std::string KeyBoxText(int number);

// Whether the client keeps a minimum stock per key ("MinStkKeys" of its settings record).
// Looked up without rereading the store (a keystroke must not take the reservation).
bool MinimumStockUsed(TMiniDB& db);

// ---------------------------------------------------------------------------------------
// The list without widgets.

struct TStockFilter {
  int itemClass = 4;          // 4 keys, 6 cylinders
  std::string search;         // the display name (search-engine style)
  std::string closing;        // "k603"
  std::string length;         // "len" (cylinders)
  int32_t system = 0x7FFFFFFF;  // the locking system; 0x7FFFFFFF all
  int32_t group = 0;          // only records linked to this group; 0 any
  bool onlyAvailable = false; // stock at least 1
  bool onlySubMin = false;    // below the minimum (plus one)
  bool minColumn = false;     // keys with the minimum-stock check on: the "min. " column
};

// One listed record: what the filter and the sums need; the texts come when shown.
struct TStockRow {
  int32_t id = 0;
  int32_t stock = 0;   // available pieces
  int32_t total = 0;   // pieces in total
  bool belowMin = false;  // "min" greater than the stock
};

struct TStockList {
  std::vector<TStockRow> rows;
  int64_t totalSum = 0;
  int64_t availableSum = 0;  // the positive stocks
};

// The column captions for the kind: record, "Schließung", "Typ" / "Länge", "Schließanlage",
// "verfügbar", ["min. "], cabinet, "Bemerkung".
std::vector<std::string> StockListCaptions(int itemClass, bool minColumn);
// The valid records of the kind that pass the filter, sorted by name (natural names where
// the class asks for them). False when `cancelled` said so on the way.
bool BuildStockList(TMiniDB& db, const TStockFilter& filter, TStockList& list,
                    const std::function<bool()>& cancelled = {});
// The cells of one row: display name, "k603", key type or "len", locking system, available
// " von " total, ["min"], the first cabinet, the remark as one line.
std::vector<std::string> StockCells(TMiniDB& db, const TStockRow& row, int itemClass,
                                    bool minColumn);
// The availability: "<stock> von <total>". A cylinder's total is the number its stock is
// computed from (GetTotalCount), so both agree.
std::string AvailabilityText(const TStockRow& row);
// The foot: message 6 with the rows, a blank, message 7 with the total sum, ", ",
// message 15 with the available sum.
std::string StockFootText(const TStockList& list);
// Light green for a positive stock, light red for a negative one, 0 (none) at 0.
std::uint32_t AvailabilityColor(int32_t stock);
inline constexpr std::uint32_t clStockPositive = 0xE0FFE0;
inline constexpr std::uint32_t clStockNegative = 0xE0E0FF;

// The rows of the grid.
class TStockListModel : public QAbstractTableModel {
 public:
  explicit TStockListModel(QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void SetList(TMiniDB* db, int itemClass, bool minColumn, TStockList list);
  const TStockList& List() const { return list_; }
  int ItemClass() const { return itemClass_; }
  bool MinColumn() const { return minColumn_; }
  int32_t IdAt(int row) const;
  int RowOfId(int32_t id) const;
  // Every row's cells, the captions first (printing).
  std::vector<std::vector<std::string>> AllRows() const;

 private:
  const std::vector<std::string>& CellsOf(int row) const;
  TMiniDB* db_ = nullptr;
  int itemClass_ = 4;
  bool minColumn_ = false;
  std::vector<std::string> captions_;
  TStockList list_;
  mutable int cachedRow_ = -1;
  mutable std::vector<std::string> cached_;
};

// ---------------------------------------------------------------------------------------
// The dialog.

class TKeyBoxForm : public QDialog {
 public:
  explicit TKeyBoxForm(QWidget* parent = nullptr);

  QRadioButton* KeysRadio;      // "Schlüssel"
  QRadioButton* CylsRadio;      // "Zylinder"
  QLineEdit* SeekEd;            // "Suche:" the name
  QLineEdit* SeekLockEd;        // "Schließung"
  QLabel* SeekLenLabel;
  QLineEdit* SeekLenEd;         // "Länge" (cylinders)
  QComboBox* KSCombo;           // "Schließanlage"
  QComboBox* GroupCombo;        // "Schließgruppe"
  QCheckBox* onlyAvailableCheck;
  QCheckBox* onlySubMinCheck;   // "nur Schlüssel unter Mindestbestand"
  QTableView* Grid;
  TStockListModel* Model;
  QLabel* NoResultPanel;
  QLabel* FootLabel;
  QPushButton* GotoBtn;         // "Schlüssel aufrufen" / "Zylinder aufrufen": OK
  QPushButton* PrintBtn;        // "Drucken"
  QPushButton* ExportBtn;       // "Exportieren" (CSV)
  QPushButton* ExcelBtn;        // "Excel"
  QPushButton* CloseBtn;        // "Schließen"

  // Only the newest of overlapping fills shows.
  int RefreshCounter = 0;
  int FillCount = 0;

  int ItemClass() const;
  // The filter as the controls hold it.
  TStockFilter Filter() const;
  // Refills the list (every filter change does).
  void FillGrid();
  // Presets the filters; a text of two double quotes clears its field, an empty one leaves
  // it as it is.
  void Preset(int itemClass, int32_t system, int32_t group, const std::string& closing,
              const std::string& search);
  // The systems and groups as the store holds them now, the choices kept.
  void RefreshCombos();
  int32_t SelectedId() const;
  void SelectId(int32_t id);
  void GridClick();
  void GotoBtnClick();
  // Right 11 first, like every list.
  bool PrintBtnClick();
  bool ExportBtnClick();
  bool ExcelBtnClick();
  // When the store was last read for the list (the clock's UTC days).
  double LastReload = -1;

 private:
  void KindChanged();
  void FillCombos();
  void MarkFilters();
  void ReloadIfDue();
  bool presetting_ = false;
};

// The one dialog of the run (made on first use).
TKeyBoxForm& KeyBoxForm();
// Frees it (logout of the run, tests).
void FreeKeyBoxForm();
// Opens the list preset: kind 4 or 6, the locking system (0x7FFFFFFF all), the group (0
// none), the closing and the search text (two double quotes clear the field).
void ShowStockList(int itemClass, int32_t system, int32_t group, const std::string& closing,
                   const std::string& search);
// Shows the list modally; afterwards the views show the store as it is now. On OK goes to
// the chosen record and returns its ID; else 0.
int32_t SelectFromStockList();
