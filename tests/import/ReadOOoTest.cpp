#include "import/ReadOOo.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "basic/TempFilesUnit.h"
#include "basic/ValueString.h"
#include "import/ExcelReadUnit.h"
#include "import/ImportProfileUnit.h"
#include "import/ImportText.h"
#include "import/OfficeScope.h"
#include "import/SheetFixtures.h"
#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"

namespace {

using Rows = std::vector<std::string>;

// A stand-in for the office program: it notes its arguments and "converts" each input by
// copying it (the tests write TAB text into files named ".ods"), as the real one names its
// output: the input's name with ".txt", in the folder after "--outdir".
const char* kFakeOffice = R"SH(#!/bin/sh
log="$(dirname "$0")/calls.log"
echo "call" >> "$log"
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --outdir) out="$2"; shift 2; continue ;;
    -env:*) echo "$1" >> "$log" ;;
    --convert-to) echo "$2" >> "$log"; shift 2; continue ;;
    --*) ;;
    *) if [ -n "$out" ]; then
         base=$(basename "$1"); base="${base%.*}"
         [ "$(cat "$1")" = "?" ] || cp "$1" "$out/$base.txt"
         echo "input $(basename "$1")" >> "$log"
       fi ;;
  esac
  shift
done
)SH";

// Hangs, with a child in its process group, until it is ended.
const char* kHangingOffice = R"SH(#!/bin/sh
sleep 300 &
echo $! > "$(dirname "$0")/child.pid"
wait
)SH";

bool ProcessGoneNow(pid_t pid) {
  if (kill(pid, 0) != 0) return true;
  // A zombie waiting for init to collect it is gone as well.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

// A killed process takes a moment to go, longer on a loaded machine.
bool ProcessGone(pid_t pid) {
  for (int wait = 0; wait < 500; ++wait) {
    if (ProcessGoneNow(pid)) return true;
    usleep(10 * 1000);
  }
  return false;
}

// The system's temporary folder is the test's own for the scope.
class TTempFolderScope {
 public:
  explicit TTempFolderScope(const std::string& folder) {
    if (const char* old = std::getenv("TMPDIR")) old_ = old;
    setenv("TMPDIR", folder.c_str(), 1);
  }
  ~TTempFolderScope() {
    if (old_)
      setenv("TMPDIR", old_->c_str(), 1);
    else
      unsetenv("TMPDIR");
  }

 private:
  std::optional<std::string> old_;
};

class Office : public ::testing::Test {
 protected:
  TTempDir dir;
};

}  // namespace

TEST_F(Office, OneRunConvertsManyFilesInAPrivateProfile) {
  TOfficeScope office(kFakeOffice);
  std::filesystem::create_directories(dir.Path() / "tmp");
  TTempFolderScope temp(dir.File("tmp"));
  std::filesystem::create_directories(dir.Path() / "a");
  std::filesystem::create_directories(dir.Path() / "b");
  // Two files of one name in two folders, and one the office program cannot convert.
  WriteAllBytes(dir.File("a/Liste.ods"), "Name\tNr\n\"M\xC3\xBCller\nHans\"\t0815\n");
  WriteAllBytes(dir.File("b/Liste.ods"), "x\ty\r\n\"\"\"q\"\" 'p\"\t\t\n");
  WriteAllBytes(dir.File("broken.ods"), "?");
  std::vector<std::optional<std::string>> texts;
  std::string error;
  ASSERT_TRUE(ConvertWithOffice({dir.File("a/Liste.ods"), dir.File("b/Liste.ods"),
                                 dir.File("broken.ods"), dir.File("missing.ods")},
                                texts, error))
      << error;
  ASSERT_EQ(texts.size(), 4u);
  ASSERT_TRUE(texts[0] && texts[1]);
  EXPECT_FALSE(texts[2]);
  EXPECT_FALSE(texts[3]);

  const std::string log = ReadAllBytes(office.Folder() + "calls.log");
  EXPECT_EQ(log.find("call"), log.rfind("call"));  // one run for all
  EXPECT_NE(log.find("-env:UserInstallation=file:///"), std::string::npos);
  EXPECT_NE(log.find("txt:Text - txt - csv (StarCalc):9,34,76,1"), std::string::npos);
  EXPECT_NE(log.find("input 1.ods\ninput 2.ods\ninput 3.ods"), std::string::npos);
  // The private folder is gone.
  EXPECT_TRUE(std::filesystem::is_empty(PfTempFolder()));

  TReadOOo reader;
  ASSERT_TRUE(reader.OpenConverted(dir.File("a/Liste.ods"), *texts[0]));
  EXPECT_EQ(reader.GetCell(1, 2), "M\xFCller\nHans");
  EXPECT_EQ(reader.GetCell(2, 2), "0815");
  ASSERT_TRUE(reader.OpenConverted(dir.File("b/Liste.ods"), *texts[1]));
  EXPECT_EQ(reader.GetCell(1, 2), "\"q\" 'p");
  int rows = 0, cols = 0;
  reader.GetSize(rows, cols);
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(cols, 2);
  EXPECT_FALSE(reader.SelectSheet(2));

  // The whole way of an import.
  std::string text;
  ASSERT_TRUE(ReadSpreadsheetFile(dir.File("a/Liste.ods"), text, &error)) << error;
  Rows lines;
  ASSERT_TRUE(ReadImportTextFile(text, lines));
  DeleteTempFile(text);
  CsvLinesToTabLines(lines);
  EXPECT_EQ(lines, (Rows{"Name\tNr", "M\xFCller Hans\t0815"}));
  EXPECT_FALSE(ReadSpreadsheetFile(dir.File("broken.ods"), text));
  EXPECT_EQ(text, "");
}

TEST_F(Office, AMissingOrHangingOfficeProgramFailsWithAReason) {
  WriteAllBytes(dir.File("Liste.ods"), "a\tb\n");
  std::vector<std::optional<std::string>> texts;
  std::string error;
  {
    TOfficeScope none(nullptr);
    EXPECT_FALSE(ConvertWithOffice({dir.File("Liste.ods")}, texts, error));
    EXPECT_NE(error.find("LibreOffice"), std::string::npos);
  }
  {
    TOfficeScope broken("#!/no/such/shell\n");
    EXPECT_FALSE(ConvertWithOffice({dir.File("Liste.ods")}, texts, error));
    EXPECT_EQ(error, "the office program cannot be started");
  }
  // A conversion that hangs is ended with everything it started.
  TOfficeScope hanging(kHangingOffice);
  EXPECT_FALSE(ConvertWithOffice({dir.File("Liste.ods")}, texts, error, 1));
  EXPECT_EQ(error, "the office program did not finish within 1 seconds");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_FALSE(texts[0]);
  // Under load the script may be ended before it started its child: then there is none.
  const std::string pid = ReadAllBytes(hanging.Folder() + "child.pid");
  if (!pid.empty()) {
    EXPECT_TRUE(ProcessGone(std::stoi(pid)));
  }
}

TEST_F(Office, RealOfficeProgramConvertsAnOpenDocumentSheet) {
  ResetOfficeLookup();
  if (!OfficeAvailable())
    GTEST_SKIP() << "LibreOffice (soffice) is not installed: .ods files are not tested";
  const std::string oldFormat = DateFormatText();
  SetDateFormat("dd.MM.yyyy");
  const std::string content =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\">"
      "<office:body><office:spreadsheet><table:table table:name=\"Personen\">"
      "<table:table-row><table:table-cell office:value-type=\"string\"><text:p>Name</text:p>"
      "</table:table-cell><table:table-cell office:value-type=\"string\"><text:p>Nr</text:p>"
      "</table:table-cell><table:table-cell office:value-type=\"string\"><text:p>Betrag</text:p>"
      "</table:table-cell></table:table-row>"
      "<table:table-row><table:table-cell office:value-type=\"string\"><text:p>M\xC3\xBCller</text:p>"
      "<text:p>Hans \xE2\x82\xAC</text:p></table:table-cell>"
      "<table:table-cell office:value-type=\"string\"><text:p>0815</text:p></table:table-cell>"
      "<table:table-cell office:value-type=\"float\" office:value=\"42\"><text:p>42</text:p>"
      "</table:table-cell></table:table-row>"
      "<table:table-row><table:table-cell office:value-type=\"string\"><text:p>'s-Hertogenbosch"
      "</text:p></table:table-cell></table:table-row>"
      "</table:table><table:table table:name=\"Zwei\"><table:table-row><table:table-cell "
      "office:value-type=\"string\"><text:p>zwei</text:p></table:table-cell></table:table-row>"
      "</table:table></office:spreadsheet></office:body></office:document-content>";
  const std::string manifest =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
      "manifest:version=\"1.2\"><manifest:file-entry manifest:full-path=\"/\" "
      "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>"
      "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
      "</manifest:manifest>";
  std::filesystem::create_directories(dir.Path() / "Schl\xC3\xBCssel #1");
  const std::string file = dir.File("Schl\xC3\xBCssel #1/Liste.ods");
  WriteAllBytes(file, MakeZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                               {"META-INF/manifest.xml", manifest},
                               {"content.xml", content}}));
  // One run of the office program, the way an import reads the file (the folder name is
  // the program's text: 1252).
  std::string text;
  std::string error;
  ASSERT_TRUE(ReadSpreadsheetFile(dir.Dir() + "Schl\xFCssel #1/Liste.ods", text, &error)) << error;
  Rows lines;
  ASSERT_TRUE(ReadImportTextFile(text, lines));
  DeleteTempFile(text);
  CsvLinesToTabLines(lines);
  EXPECT_EQ(lines, (Rows{"Name\tNr\tBetrag", "M\xFCller Hans \x80\t0815\t42", "'s-Hertogenbosch"}));
  SetDateFormat(oldFormat);
}

// Bytes of no workbook under a workbook's name: the office program would read them as text
// and the import would take its lines for persons. The file is refused before any office
// program runs, as the other unreadable files are; a web page saved as ".xls" still goes
// to the office program.
TEST_F(Office, RandomBytesNamedAsAWorkbookAreNoTable) {
  TOfficeScope office(kFakeOffice);
  std::filesystem::create_directories(dir.Path() / "tmp");
  TTempFolderScope temp(dir.File("tmp"));
  std::string garbage;
  uint32_t x = 4711;
  for (int i = 0; i < 200 * 1024; ++i) {
    x = x * 1103515245u + 12345u;
    garbage += static_cast<char>(x >> 24);
  }
  garbage[0] = 'M';  // readable text at first sight, as a stray file may be
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"garbage.xls", garbage},
      {"garbage.XLSX", garbage},
      {"text.xls", "Name\tNr\r\nM\xFCller\t1\r\n"},
      {"empty.xls", ""},
  };
  for (const auto& c : cases) {
    WriteAllBytes(dir.File(c.name), c.bytes);
    EXPECT_EQ(TableReaderKindOf(dir.File(c.name)), TTableReaderKind::NoSpreadsheet) << c.name;
    std::string error;
    EXPECT_EQ(CreateFileReader(dir.File(c.name), &error), nullptr) << c.name;
    EXPECT_EQ(error, "not a spreadsheet file") << c.name;
    std::vector<std::string> rows;
    EXPECT_EQ(ReadImportTableFile(dir.File(c.name), rows), 2) << c.name;  // "nicht geladen"
    EXPECT_TRUE(rows.empty()) << c.name;
  }
  EXPECT_FALSE(std::filesystem::exists(office.Folder() + "calls.log"));

  for (const char* page :
       {"<html><body><table><tr><td>1</td></tr></table></body></html>",
        "\xEF\xBB\xBF\r\n  <?xml version=\"1.0\"?><Workbook/>", "\xFF\xFE<\0h\0t\0m\0l\0>\0"}) {
    WriteAllBytes(dir.File("page.xls"), std::string(page, page[0] == '\xFF' ? 14 : strlen(page)));
    EXPECT_EQ(TableReaderKindOf(dir.File("page.xls")), TTableReaderKind::Office) << page;
  }
  // Other spreadsheet names stay with the office program, which knows them better.
  WriteAllBytes(dir.File("garbage.ods"), garbage);
  EXPECT_EQ(TableReaderKindOf(dir.File("garbage.ods")), TTableReaderKind::Office);
}
