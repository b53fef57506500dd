#pragma once
// The RTF editor ("Editor"): a small rich-text editor window. It edits texts for other
// parts of the program (EditRtfText), shows a filled RTF receipt as its print preview
// (EditRtfFile), from which the user prints, and edits RTF files.
//
// New, open, save, print, clipboard and undo, font name and size, bold, italic, underline,
// centred and right alignment, and a ruler with draggable first-line, left and right
// indents. The status bar shows the caret's column and line and whether the text changed.
// Every dialog runs through ExecModal; questions go through the user interaction.

#include <string>

#include <QDialog>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QMenuBar;
class QSpinBox;
class QStatusBar;
class QTextDocument;
class QTextEdit;
class QToolBar;
class QToolButton;
class TRtfRuler;

// The unit's texts: 1 "Änderungen speichern in %1?", 2 "Überschreiben von %1", 3 "geändert",
// 4 "Zeile", 5 "Spalte"; ours: 6 and 7 the read and save failures, 8 no printer, 9 the
// read-only choice of the open dialog.
std::string RtfEditorText(int number);

class TRtfForm : public QDialog {
  Q_OBJECT

 public:
  explicit TRtfForm(QWidget* parent = nullptr);
  ~TRtfForm() override;

  // The caption without the file name ("Editor" unless the caller gives one).
  void SetBaseCaption(const std::string& caption);
  // Opens the file into the editor; false (with a message) when it cannot be read.
  bool OpenFile(const std::string& fileName);
  // Shows RTF as an unmodified text without a file name.
  bool LoadRtf(const std::string& rtf);
  // Writes the text into the file (RTF; plain text for a ".txt" name) through a temporary
  // file beside it; false (with a message) when that failed.
  bool SaveFile(const std::string& fileName);
  // Asks for a file name (the save dialog), asks before overwriting (only "Ja" goes on),
  // saves. True when saved.
  bool SaveAs();
  // The question before the text is dropped (closing, "Neu", opening another file): true
  // when the text may go (saved, or "Nein"); false on "Abbrechen" or a save that did not
  // happen, and the text stays.
  bool QuerySave();
  void NewText();
  void OpenWithDialog();
  // "Drucken": the text with the window caption as the job's title.
  bool PrintText();
  // The drop of a ruler marker (0 first line, 1 left, 2 right) with its centre at x
  // pixels of the ruler: the indent of the selected paragraphs in whole points.
  void RulerDrop(int marker, int centreX);
  // The current paragraph's indents in points: the first line's and the other lines' from
  // the left edge of the text, the right one from its right edge.
  struct TIndents {
    double first = 0;
    double left = 0;
    double right = 0;
  };
  TIndents ParagraphIndents() const;

  const std::string& FileName() const { return fileName_; }
  // The text stays, its file is forgotten: saving asks for a name.
  void ForgetFileName();
  bool Modified() const;
  std::string StatusText() const;

  // TRtfForm.PrintText: the document on the printer (empty: the chosen one) with margins
  // of 3/4 inch left and right and 1/2 inch at top and bottom. False when there is no
  // printer (said with a message) or the printer refused the job.
  static bool PrintText(const QTextDocument& document, const std::string& jobTitle,
                        const std::string& printer = "");

  QMenuBar* MainMenu = nullptr;
  QAction* FileNewItem = nullptr;
  QAction* FileOpenItem = nullptr;
  QAction* FileSaveItem = nullptr;
  QAction* FileSaveAsItem = nullptr;
  QAction* FilePrintItem = nullptr;
  QAction* FileExitItem = nullptr;
  QAction* EditUndoItem = nullptr;
  QAction* EditCopyItem = nullptr;
  QAction* EditCutItem = nullptr;
  QAction* EditPasteItem = nullptr;
  QAction* EditFontItem = nullptr;
  QToolBar* StandardToolBar = nullptr;
  QToolButton* CutButton = nullptr;
  QToolButton* CopyButton = nullptr;
  QComboBox* FontName = nullptr;
  QSpinBox* FontSize = nullptr;
  QToolButton* BoldButton = nullptr;
  QToolButton* ItalicButton = nullptr;
  QToolButton* UnderlineButton = nullptr;
  QToolButton* CenterButton = nullptr;
  QToolButton* RightButton = nullptr;
  QWidget* EditPanel = nullptr;
  TRtfRuler* Ruler = nullptr;
  QTextEdit* Editor = nullptr;
  QStatusBar* StatusBar = nullptr;
  QLabel* StatusPosition = nullptr;
  QLabel* StatusModified = nullptr;

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void CreateControls();
  void SelectionChanged();
  void UpdateCaption();
  void ApplyCharFormat(const class QTextCharFormat& format);
  void SetAlignment(Qt::Alignment alignment);
  void ChooseFont();
  void FileDropped(const std::string& fileName);

  std::string baseCaption_ = "Editor";
  std::string fileName_;
  bool updating_ = false;
};

// The editor, modal, with that caption; the file is loaded when given. Without keepName
// the loaded text has no name, so saving asks for one.
void EditRtfText(const std::string& caption, const std::string& fileName, bool keepName);
// The editor, modal, showing the RTF as unmodified text with no file name (the print
// preview of a filled template).
void EditRtfFile(const std::string& caption, const std::string& rtf);
// TRtfForm::PrintText for callers without the form.
bool PrintRichText(const QTextDocument& document, const std::string& jobTitle,
                   const std::string& printer = "");

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* RtfEditorTexts();
