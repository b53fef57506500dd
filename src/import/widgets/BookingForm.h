#pragma once
// The viewer of the import journal: the change summaries the plan imports write, one line
// per changed item under the header "Typ / Position / Bezeichnung / Neu / Buchung / Gesamt".

#include <string>
#include <vector>

#include <QDialog>

class QTableWidget;
class TMLStringList;

const TMLStringList* BookingTexts();
std::string BookingText(int number);

class TBookingForm : public QDialog {
 public:
  explicit TBookingForm(QWidget* parent = nullptr);

  QTableWidget* Grid;

  // Rows: one per line (at least 2); column 0 numbers the lines from row 1 on, the TAB
  // fields of each line fill the columns behind it; widths follow the texts (at most 300).
  void ShowLines(const std::vector<std::string>& lines);
};

// Shows the lines in the viewer.
void ShowBookingList(const std::vector<std::string>& lines);
// Shows a journal file; with an empty name the user picks one in the client's journal
// folder ("Keine Dateien gefunden." when there is none yet).
void ShowImportJournal(const std::string& fileName);
