#pragma once
// Reading printouts back as a user would: the text of a PDF file through pdftotext, and a
// file dialog answered by typing a name into it.

#include <algorithm>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include "basic/widgets/QtGlue.h"
#include "platform/PlatformFiles.h"

// Whether pdftotext (poppler-utils) can be run.
inline bool PdfToTextAvailable() { return QProcess::execute("pdftotext", {"-v"}) >= 0; }

// The text of the PDF file as pdftotext reads it, in Windows-1252; empty when it cannot be
// read.
inline std::string PdfText(const std::string& file) {
  QProcess reader;
  reader.start("pdftotext", {ToQString(file), "-"});
  if (!reader.waitForFinished(30000) || reader.exitCode() != 0) return {};
  return FromQString(QString::fromUtf8(reader.readAllStandardOutput()));
}

// The names of the PDF files in the folder, sorted.
inline std::vector<std::string> PdfFilesIn(const std::string& folder) {
  std::vector<TPfFolderEntry> entries;
  PfListFolder(folder, entries);
  std::vector<std::string> names;
  for (const TPfFolderEntry& e : entries)
    if (e.kind == TPfKind::File && e.name.size() > 4 && e.name.substr(e.name.size() - 4) == ".pdf")
      names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

// Types the name into the file dialog's name field and presses Enter, as a user does.
inline void TypeFileName(QDialog& dialog, const std::string& fileName) {
  auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (!edit) return;
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, ToQString(fileName));
  QTest::keyClick(edit, Qt::Key_Return);
  // Where the field's completion took Enter, the name is chosen again and the dialog's
  // own button takes it.
  if (dialog.isVisible() && dialog.result() != QDialog::Accepted) {
    if (auto* files = qobject_cast<QFileDialog*>(&dialog)) files->selectFile(ToQString(fileName));
  }
  if (dialog.isVisible() && dialog.result() != QDialog::Accepted)
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
      for (QAbstractButton* b : buttons->buttons())
        if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole) {
          QTest::mouseClick(b, Qt::LeftButton);
          break;
        }
}
