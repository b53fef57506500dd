#pragma once
// The import journal: after an import that changed something, a TAB-separated summary of
// what it changed, one file per run in the client's folder "ImportJournal" (data folder +
// "ImportJournal", + "-" + client name for a named client). The file is named after the
// time of writing, "yyyy-mm-dd hh.nn.ss.csv"; a second run in the same second gets
// " (2)" before ".csv" (then " (3)" ...), so no journal overwrites another. The first line
// is kImportSummaryHeader, the lines below it sorted; written safely with CR LF ends.

#include <string>
#include <vector>

// The open client's journal folder, with a trailing "/"; empty without a data folder.
std::string ImportJournalFolder();

// The file name a journal written at `time` (local date-time, days since 1899-12-30) gets
// in `folder`: the first of "yyyy-mm-dd hh.nn.ss.csv", "... (2).csv", ... not yet there.
std::string ImportJournalFileName(const std::string& folder, double time);

// Writes `lines` (the summary: header first, or without it: the header is put first) into
// a new journal file in `folder` (empty: ImportJournalFolder()), made when missing. The
// lines below the header are sorted. The file's full name, empty when it could not be
// written. Nothing is written without a folder named in full (no data folder, or a
// relative folder): the journal never lands in the working folder.
std::string WriteImportJournal(const std::vector<std::string>& lines,
                               const std::string& folder = "");

// Reads a journal file: its lines without line ends (the header first). False when it
// cannot be read.
bool ReadImportJournal(const std::string& fileName, std::vector<std::string>& lines);
