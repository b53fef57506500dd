#pragma once
// The key cabinets view: the page that lists and edits key cabinets (records of class 8):
// name, hook count, grid size, remark, the users allowed to use a cabinet, and the keys
// kept in it with hook and count.
//
// Saving is one write over the cabinet and the users whose link changes: the name is
// checked against the other cabinets on the fresh data before a record is created, and
// the fields and the users' links are saved together or not at all. A cabinet that still
// holds keys cannot be deleted. Saving writes no history line.

#include <cstdint>
#include <string>
#include <vector>

#include "app/FrameMotherUnit.h"

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTableWidget;
class TMLStringList;

const TMLStringList* FrameCabinetTexts();
std::string FrameCabinetText(int number);

// The count cell of a key in a cabinet: empty when neither the current count nor the
// maximum is set; else TAB + current + " / " + maximum + " ", a missing value shown as "?"
// and a one-character maximum preceded by two blanks.
std::string CabinetCountCell(const std::string& current, const std::string& maximum);

// One row of the keys grid.
struct TCabinetKeyRow {
  int32_t key = 0;
  std::string hook, name, count;
};
std::vector<TCabinetKeyRow> CabinetKeyRows(const TMiniDB& db, int32_t cabinet);

class TFrameCabinet : public TFrameMother {
 public:
  // The keys grid's titles in the language now in force.
  void TermsChanged() override;
  explicit TFrameCabinet(QWidget* owner);
  ~TFrameCabinet() override;

  int EditState = 0;  // 0 view, 1 editing, 2 new
  QLineEdit* NameEd;
  QLineEdit* PanelEd;
  QLineEdit* ColEd;
  QLineEdit* RowEd;
  QPlainTextEdit* RemMemo;
  QListWidget* UsersBox;
  QTableWidget* KeysGrid;

  void InitLayout() override;
  void DiscardEdit() override;
  void EnterEditMode() override;
  void ClearDisplay() override;
  void ShowRecord(int32_t id) override;
  void RefreshView() override;
  bool StartEdit() override;
  bool CanDelete() override;

  void NewBtnClick();
  bool SaveBtnClick();
  // Lists every user, the cabinet's ticked; changeable only with the full users right.
  void FillUsersBox(int32_t cabinet);
  std::vector<int32_t> CheckedUsers() const;

 private:
  void ShowViewMode();
  void SetFieldsEditable(bool editable);
};

void RegisterCabinetsView();
