#include "import/ReadOOo.h"

#include <cctype>

#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/OfficeLookup.h"
#include "import/ImportText.h"
#include "platform/OsText.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"
#include "platform/ProcessStart.h"

namespace {

// The office program's own options for its text export: TAB between cells, double quotes
// around cells that need them, UTF-8 (76), from the first line.
constexpr const char* kTextFilter = "txt:Text - txt - csv (StarCalc):9,34,76,1";

std::string FileUrl(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : AnsiToOs(path)) {
    if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~') {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += hex[c >> 4];
      url += hex[c & 15];
    }
  }
  return url;
}

// The extension of a file, kept for the copy the office program reads (it recognises some
// formats by it); only letters and digits.
std::string SafeExtension(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  std::string ext;
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    for (unsigned char c : fileName.substr(dot + 1))
      if (std::isalnum(c) && c < 128) ext += static_cast<char>(c);
  return ext.empty() ? "dat" : ext;
}

}  // namespace

bool ConvertWithOffice(const std::vector<std::string>& files,
                       std::vector<std::optional<std::string>>& texts, std::string& error,
                       int timeoutSeconds) {
  texts.assign(files.size(), std::nullopt);
  error.clear();
  const std::string program = OfficeProgram();
  if (!OfficeAvailable()) {
    error = program.empty() ? "no office program (LibreOffice) is installed"
                            : "the office program (LibreOffice) has no spreadsheet part";
    return false;
  }
  if (files.empty()) return true;
  std::string work;
  if (PfCreateTempFolder("~tessaro-office-", work) != 0) {
    error = "no temporary folder for the office program";
    return false;
  }
  const std::string profile = work + "profile/", in = work + "in/", out = work + "out/";
  PfMakeFolders(profile);
  PfMakeFolders(in);
  PfMakeFolders(out);

  // Copies under plain names: the office program names its output after its input, so two
  // files of one name from two folders would collide, and odd characters in a path cannot
  // trip it up.
  std::vector<std::string> args = {"--headless", "--invisible", "--nologo", "--norestore",
                                   "--nodefault", "--nolockcheck",
                                   "-env:UserInstallation=" + FileUrl(profile),
                                   "--convert-to", kTextFilter, "--outdir", out};
  std::vector<bool> copied(files.size(), false);
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string copy = in + std::to_string(i + 1) + "." + SafeExtension(files[i]);
    if (CopyFileReplacing(files[i], copy)) {
      copied[i] = true;
      args.push_back(copy);
    }
  }
  bool ok = true;
  if (args.size() > 11) {
    TProcessStartOptions options;
    options.workDir = work;
    options.newProcessGroup = true;
    options.quiet = true;
    const TProcessStartResult started = StartProcess(program, args, options);
    int exitCode = -1;
    if (!started.started) {
      error = "the office program cannot be started";
      ok = false;
    } else if (!WaitForProcessFor(started.pid, timeoutSeconds * 1000, exitCode)) {
      KillProcessGroup(started.pid);
      error = "the office program did not finish within " + std::to_string(timeoutSeconds) +
              " seconds";
      ok = false;
    }
  }
  if (ok) {
    for (size_t i = 0; i < files.size(); ++i) {
      if (!copied[i]) continue;
      const std::string result = out + std::to_string(i + 1) + ".txt";
      if (GetFileSize64(result) < 0) continue;
      std::string text;
      if (ReadFileToString(result, text) || GetFileSize64(result) == 0) texts[i] = std::move(text);
    }
  }
  PfRemoveTree(work);
  return ok;
}

void ParseOfficeText(const std::string& utf8Text, TSheetCells& cells) {
  cells.Clear();
  const std::string text = DecodeImportBytes(utf8Text);
  const size_t n = text.size();
  int row = 1, col = 1;
  size_t i = 0;
  std::string cell;
  bool pending = false;  // a row has begun
  while (i < n) {
    const char c = text[i];
    if (c == '"' && cell.empty()) {
      // A quoted cell: to the closing quote; what follows it up to the TAB belongs to it.
      ++i;
      while (i < n) {
        if (text[i] == '"') {
          if (i + 1 < n && text[i + 1] == '"') {
            cell += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        cell += text[i++];
      }
      pending = true;
      continue;
    }
    if (c == '\t') {
      cells.Set(col, row, std::move(cell));
      cell.clear();
      ++col;
      pending = true;
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      cells.Set(col, row, std::move(cell));
      cell.clear();
      ++row;
      col = 1;
      pending = false;
      i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    cell += c;
    pending = true;
    ++i;
  }
  if (pending) cells.Set(col, row, std::move(cell));
}

bool TReadOOo::Open(const std::string& fileName) {
  Close();
  error_.clear();
  std::vector<std::optional<std::string>> texts;
  std::string why;
  if (!ConvertWithOffice({fileName}, texts, why, timeoutSeconds_)) return Fail(why);
  if (!texts[0]) return Fail("the office program could not convert the file");
  return OpenConverted(fileName, *texts[0]);
}

bool TReadOOo::OpenConverted(const std::string& fileName, const std::string& utf8Text) {
  Close();
  error_.clear();
  ParseOfficeText(utf8Text, cells_);
  fileName_ = fileName;
  state_ = 2;
  sheet_ = 1;
  return true;
}

bool TReadOOo::SelectSheet(int n) {
  if (IsOpen() && n == 1 && sheet_ == 1) return true;
  cells_.Clear();
  sheet_ = 0;
  return false;
}
