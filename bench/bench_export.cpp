// Exports of 10,000 and 100,000 rows of 8 cells through TCsvOrExcel, to CSV text and to an
// ".xlsx" workbook, each against its baseline in the same run on the same folder:
//   CSV:  the same bytes written with one write, fsync and rename (what a text export must
//         do at least);
//   xlsx: libxlsxwriter called directly with the cells already in UTF-8 (the library's own
//         cost; ours adds the conversion, the row bookkeeping and the safe replacement).
// Each export is one complete file: open, every row, close (sync, rename). The first run of
// each case is reported on its own ("first"), then warm repetitions.

#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "basic/Cp1252.h"
#include "output/CsvOrExcelUnit.h"

namespace {

struct TFolder {
  std::filesystem::path path;
  TFolder() {
    char templ[] = "/tmp/tessaro-bench-export-XXXXXX";
    path = mkdtemp(templ);
  }
  ~TFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string File(const std::string& name) const { return (path / name).string(); }
};

TFolder& Folder() {
  static TFolder folder;
  return folder;
}

// Rows like those of a key list: name with umlauts, number with leading zeros, system,
// type, counts, cabinet, a remark.
std::vector<std::vector<std::string>> Rows(int count) {
  std::vector<std::vector<std::string>> rows;
  rows.reserve(static_cast<size_t>(count) + 1);
  rows.push_back({"Schl\xFCssel", "Nr.", "Schlie\xDF" "anlage", "Typ", "verf\xFCgbar", "gesamt",
                  "Schrank", "Bemerkung"});
  for (int i = 1; i <= count; ++i) {
    const std::string n = std::to_string(i);
    rows.push_back({"Geb\xE4ude " + std::to_string(i % 40) + " T\xFCr " + n,
                    "00" + std::to_string(i % 997), "Anlage " + std::to_string(i % 12 + 1), "HS",
                    std::to_string(i % 5), std::to_string(i % 7 + 5), "Pforte Nord",
                    "Schl\xFCssel f\xFCr den Hausmeister, Ersatz " + n});
  }
  return rows;
}

const std::vector<std::vector<std::string>>& RowsOf(int count) {
  static std::vector<std::vector<std::string>> small = Rows(10000);
  static std::vector<std::vector<std::string>> large = Rows(100000);
  return count == 10000 ? small : large;
}

void ExportCsv(benchmark::State& state) {
  const auto& rows = RowsOf(static_cast<int>(state.range(0)));
  const std::string file = Folder().File("liste.csv");
  for (auto _ : state) {
    TCsvOrExcel out;
    if (!out.Open(file)) state.SkipWithError("open");
    for (const auto& row : rows) out.WriteCells(row);
    if (!out.Close()) state.SkipWithError("close");
  }
  state.counters["rows"] = static_cast<double>(rows.size());
}

void ExportXlsx(benchmark::State& state) {
  const auto& rows = RowsOf(static_cast<int>(state.range(0)));
  const std::string file = Folder().File("liste.xlsx");
  for (auto _ : state) {
    TCsvOrExcel out;
    if (!out.Open(file)) state.SkipWithError("open");
    for (const auto& row : rows) out.WriteCells(row);
    if (!out.Close()) state.SkipWithError("close");
  }
  state.counters["rows"] = static_cast<double>(rows.size());
}

// Baseline: the CSV bytes (built before timing) with one write, fsync, rename.
void RawCsvWrite(benchmark::State& state) {
  const auto& rows = RowsOf(static_cast<int>(state.range(0)));
  std::string bytes;
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) bytes += (i ? "\t" : "") + row[i];
    bytes += "\r\n";
  }
  const std::string temp = Folder().File("~raw.csv");
  const std::string file = Folder().File("raw.csv");
  for (auto _ : state) {
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      state.SkipWithError("write");
    fsync(fd);
    close(fd);
    std::rename(temp.c_str(), file.c_str());
  }
}

// Baseline: libxlsxwriter alone, constant memory, cells already UTF-8.
void RawXlsxWrite(benchmark::State& state) {
  const auto& rows = RowsOf(static_cast<int>(state.range(0)));
  std::vector<std::vector<std::string>> utf8;
  for (const auto& row : rows) {
    utf8.emplace_back();
    for (const auto& cell : row) utf8.back().push_back(Cp1252ToUtf8(cell));
  }
  const std::string file = Folder().File("raw.xlsx");
  for (auto _ : state) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(file.c_str(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_row_t r = 0;
    for (const auto& row : utf8) {
      if (r == kRowsPerWorksheet) {
        sheet = workbook_add_worksheet(book, nullptr);
        r = 0;
      }
      for (size_t c = 0; c < row.size(); ++c)
        worksheet_write_string(sheet, r, static_cast<lxw_col_t>(c), row[c].c_str(), nullptr);
      ++r;
    }
    if (workbook_close(book) != LXW_NO_ERROR) state.SkipWithError("close");
  }
}

// First runs (nothing warm yet but the rows themselves), then warm repetitions.
BENCHMARK(ExportCsv)->Name("first/ExportCsv")->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ExportXlsx)->Name("first/ExportXlsx")->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ExportCsv)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(RawCsvWrite)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ExportXlsx)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(RawXlsxWrite)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
