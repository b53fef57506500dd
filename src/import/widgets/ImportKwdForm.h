#pragma once
// The KWD import's dialog and its menu command: the file is chosen here, the passes run
// under a wait panel on the main window that can cancel them, and the change summary is
// shown in the journal viewer.

#include <string>

#include <QFileDialog>

class TImportKwdForm : public QFileDialog {
 public:
  explicit TImportKwdForm(QWidget* parent = nullptr);
};

// Imports a KWD file (the wait panel, the check's question, the summary).
void ImportKwdFileWithPanel(const std::string& fileName);
// The menu command: the file dialog, then the import; the page control is hidden meanwhile
// and every view refreshed afterwards.
void RunKwdImport();
