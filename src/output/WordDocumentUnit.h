#pragma once
// Text documents: receipt templates in which placeholders ("#Key#") are replaced before
// printing. Callers open, replace, print and close, whatever the template is:
//
// - TRTFDoc: an RTF (or plain ".txt") file in a QTextDocument of its own, no widget.
// - TWordDoc: a Word template (".doc", ".dot"). Headless LibreOffice Writer converts it
//   once per template and run into a temporary RTF file, which is then worked on like any
//   RTF; the template itself never changes. Without LibreOffice Writer a Word template
//   does not open, and the receipt falls back to the built-in page.
//
// Values go in as text: whatever characters a value holds, it is written as text, so no
// value can break the document.

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTextDocument;

// A placeholder and its value for TTextDoc::ReplaceAll.
struct TTextReplacement {
  std::string placeholder;
  std::string value;
  // Only the first occurrence is replaced, each line of the value (CR LF, CR or LF between
  // them) its own paragraph; later occurrences stay.
  bool lines = false;
  bool operator==(const TTextReplacement&) const = default;
};

class TTextDoc {
 public:
  TTextDoc() = default;
  virtual ~TTextDoc() = default;
  TTextDoc(const TTextDoc&) = delete;
  TTextDoc& operator=(const TTextDoc&) = delete;

  // Opens the file (an empty name: an empty document). False for a missing file.
  virtual bool Open(const std::string& /*fileName*/) { return false; }
  // Closes the document; with `save` it is written back to its file first.
  virtual void Close(bool /*save*/) {}
  // Finds the text anywhere in the document, ignoring case, and selects it.
  virtual bool FindText(const std::string& /*text*/) { return false; }
  // Replaces every occurrence of the placeholder by the value; true when one was replaced.
  virtual bool ReplaceText(const std::string& /*placeholder*/, const std::string& /*value*/) {
    return false;
  }
  // Replaces the first occurrence by the lines (CR LF, CR or LF between them), each its
  // own paragraph; true when the placeholder was found.
  virtual bool ReplaceLines(const std::string& /*placeholder*/, const std::string& /*lines*/) {
    return false;
  }
  // Replaces the placeholders in one pass over the document's own text: from its start,
  // the next occurrence of any of them (ignoring case; where several start at one place,
  // the earlier in the list) becomes its value, and the search goes on behind the value.
  // So nothing a value brings in is ever replaced: a remark holding "#Person#" is printed
  // as written. Returns how many occurrences were replaced.
  virtual int ReplaceAll(const std::vector<TTextReplacement>& /*replacements*/) { return 0; }
  // Prints it (on the named printer while it is installed, else the chosen one), or shows
  // it in the editor from which the user prints. False when nothing could be printed.
  virtual bool Print(bool /*preview*/, const std::string& /*printerName*/) { return false; }

  bool Opened() const { return opened_; }
  const std::string& FileName() const { return fileName_; }
  bool KeepOpen() const { return keepOpen_; }

 protected:
  bool opened_ = false;
  std::string fileName_;
  bool keepOpen_ = false;
};

class TRTFDoc : public TTextDoc {
 public:
  TRTFDoc();
  ~TRTFDoc() override;

  bool Open(const std::string& fileName) override;
  void Close(bool save) override;
  bool FindText(const std::string& text) override;
  bool ReplaceText(const std::string& placeholder, const std::string& value) override;
  bool ReplaceLines(const std::string& placeholder, const std::string& lines) override;
  int ReplaceAll(const std::vector<TTextReplacement>& replacements) override;
  bool Print(bool preview, const std::string& printerName) override;

  // The open document (nullptr when closed).
  QTextDocument* Document() const { return doc_.get(); }

 protected:
  // Opens the RTF or text file as this document, remembering `fileName` as its name.
  bool Load(const std::string& file, const std::string& fileName);

  std::unique_ptr<QTextDocument> doc_;
  bool plainText_ = false;  // ".txt": read and written as plain text
  bool writable_ = true;    // Close(true) may write the document to its file
  int selStart_ = -1;       // what FindText selected
  int selEnd_ = -1;
};

class TWordDoc : public TRTFDoc {
 public:
  ~TWordDoc() override;
  bool Open(const std::string& fileName) override;
  // The template is never written; `save` has nothing to save into.
  void Close(bool save) override;
};

// Whether the file starts as a Word document does: an OLE2 compound file (the ".doc" of
// Word 97 and later), an RTF ("{\rtf") or a ZIP-based document (".docx" renamed). A
// TWordDoc opens nothing else.
bool IsWordDocumentFile(const std::string& fileName);

// nullptr for a missing file, an extension other than ".rtf", ".txt", ".doc" and ".dot"
// (any case), or a document that does not open.
std::unique_ptr<TTextDoc> OpenTextDoc(const std::string& fileName);

// LibreOffice Writer's program: the office program (OfficeProgram, CsvOrExcelUnit.h) when
// the Writer library lies beside it; looked up once per run, empty when not installed.
std::string WordProcessorProgram();
// Replaces the look-up (tests): an empty name means none is installed. `reset` goes back
// to looking it up.
void SetWordProcessorProgram(const std::string& program, bool reset = false);
// How many conversions of templates ran in this run (tests).
int WordConversionCount();

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* WordDocumentTexts();
