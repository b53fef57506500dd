#pragma once
// Remembered records: one list of record IDs for the run of the program, shown in a small
// tool window on top of the main window, from which several keys are issued at once.
// The IDs name records of the open client only: opening another client's data forgets them.

#include <cstdint>
#include <vector>

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

// Remembers `id` (not 0, not twice) and refreshes the window when there is one.
void MemorizeRecord(int32_t id);
// The remembered IDs in the order they were remembered.
const std::vector<int32_t>& RememberedRecords();
// Forgets every remembered record and empties the window.
void ForgetRememberedRecords();

class TMemForm : public QWidget {
 public:
  explicit TMemForm(QWidget* parent = nullptr);

  QWidget* TopPanel;
  QPushButton* GotoBtn;
  QPushButton* AddBtn;
  QPushButton* DelBtn;
  QListWidget* Box;
  QWidget* FootPanel;
  QLabel* Label1;
  QPushButton* AusgabeBtn;
  QPushButton* BundBtn;   // no function in this system: disabled
  QPushButton* OrderBtn;  // no function in this system: disabled

  // Refills the list keeping the selection; enables the buttons.
  void Refresh();
  void AddBtnClick();
  void DelBtnClick();
  void GotoBtnClick();
  // Issues the selected keys through the issue-and-return view; false when it stopped.
  bool AusgabeBtnClick();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
};

// Creates the window when needed, placed at the main window's right edge, and shows it.
void ShowMemForm();
// The window, null while there is none.
TMemForm* MemForm();
