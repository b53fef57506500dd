#pragma once
// Spreadsheets the program cannot read itself (".ods", ".dbf", workbooks that are really
// web pages, ...) are converted by the office suite: "soffice --headless --convert-to"
// writes the first sheet as UTF-8 TAB text. Each run gets a private profile folder, so it
// neither waits for nor disturbs an office program the user has open, and a time limit:
// a conversion that hangs is ended together with every process it started.

#include <optional>
#include <string>
#include <vector>

#include "import/ExcelReadUnit.h"

// Converts each file into UTF-8 TAB text (cells with a TAB, a quote or a line break in
// double quotes), in one run of the office program for all of them. `texts` gets one entry
// per file: its text, or none when that file could not be converted. False, with a reason
// in `error`, when the office program (OfficeAvailable, basic/OfficeLookup.h) is missing,
// cannot be started or runs longer than
// `timeoutSeconds` (then every entry is none).
bool ConvertWithOffice(const std::vector<std::string>& files,
                       std::vector<std::optional<std::string>>& texts, std::string& error,
                       int timeoutSeconds = 120);

// The cells of such a text: rows end at LF or CR LF, cells at TAB; a cell that starts with
// a double quote runs to its closing quote (a doubled quote is one), TABs and line breaks
// inside are part of it.
void ParseOfficeText(const std::string& utf8Text, TSheetCells& cells);

class TReadOOo : public TReadCells {
 public:
  bool Open(const std::string& fileName) override;
  // Takes a text that ConvertWithOffice made for `fileName` (for callers that convert
  // several files in one run).
  bool OpenConverted(const std::string& fileName, const std::string& utf8Text);
  // The office program writes one sheet: the first.
  bool SelectSheet(int n) override;
  void SetTimeout(int seconds) { timeoutSeconds_ = seconds; }

 private:
  int timeoutSeconds_ = 120;
};
