#pragma once
// The question what the persons who receive keys are called ("Mitarbeiter", "Mieter", ...),
// asked once when the installer writes a new settings file for the program.

#include <string>

#include <QDialog>

class QListWidget;
class QPushButton;

class TPersonsForm : public QDialog {
  Q_OBJECT
 public:
  explicit TPersonsForm(QWidget* parent = nullptr);

  // The terms, translated into the current language, the first one selected.
  void FillTerms();
  // The German term of the selected row; empty when none is selected.
  std::string SelectedTerm() const;

  QListWidget* TermList = nullptr;
  QPushButton* OkBtn = nullptr;
};

// Shows the dialog (made once, owned by `parent` when given); the German term chosen with
// OK, anything else an empty text.
std::string AskPersonsTerm(QWidget* parent = nullptr);
