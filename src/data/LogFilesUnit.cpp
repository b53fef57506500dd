#include "data/LogFilesUnit.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unordered_map>

#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/Hex32Unit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "data/AccessProtection.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

// ---------------------------------------------------------------------------------------
// Messages

const TMLStringList* LogFilesTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("LogFilesUnit", 0);
    t->Add255Obj("Protokolldatei-Ladefehler! Beenden Sie das Programm und reparieren Sie die "
                 "Datei.",
                 lfLoadError);
    t->Add255Obj("Protokolldatei-Schreibfehler! Eintr\xE4" "ge konnten noch nicht geschrieben "
                 "werden und werden sp\xE4ter erneut geschrieben.",
                 lfWriteDelayed);
    t->Add255Obj("Protokolldatei-Schreibfehler! Eintr\xE4" "ge konnten nicht geschrieben "
                 "werden und gehen beim Beenden verloren.",
                 lfWriteLost);
    t->Add255Obj("Protokolldatei-Schreibfehler! Eintr\xE4" "ge konnten nicht geschrieben "
                 "werden. Die Datenbank bewahrt sie auf; sie werden beim n\xE4" "chsten "
                 "\xD6" "ffnen der Daten geschrieben.",
                 lfWriteKept);
    return t;
  }();
  return table;
}

std::string LogFilesText(int number) { return GetMLText(LogFilesTexts(), number); }

// ---------------------------------------------------------------------------------------
// Time stamps

std::string LogTimeStampOf(double localDateTime) {
  TDateTimeParts p = DecodeDateTime(localDateTime);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d\xA0%02d:%02d:%02d", p.year, p.month, p.day,
                p.hour, p.minute, p.second);
  return buf;
}

std::string LogTimeStamp() { return LogTimeStampOf(NowLocal()); }

std::string UtcTimeStamp() { return DoubleToHex32(NowUTC()); }

// ---------------------------------------------------------------------------------------
// Appending

namespace {

std::string FolderOf(const std::string& fileName) {
  std::string::size_type slash = fileName.rfind('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash);
}

// Opens the file for appending, creating it (and its folder) when missing. `created` tells
// that the file is new.
int OpenForAppend(const std::string& fileName, int& fd, bool& created) {
  created = false;
  int e = PfOpenAppend(fileName, fd);
  if (e != ENOENT) return e;
  std::string folder = FolderOf(fileName);
  if (!folder.empty()) PfMakeFolders(folder);
  int wfd = -1;
  e = PfCreateNew(fileName, 0666, wfd);
  if (e == 0) {
    PfClose(wfd);
    created = true;
  } else if (e != EEXIST) {
    return e;
  }
  return PfOpenAppend(fileName, fd);
}

// Appends under a reservation the caller holds.
bool AppendHeld(const std::string& fileName, const std::string& text) {
  int fd = -1;
  bool created = false;
  if (OpenForAppend(fileName, fd, created) != 0) return false;
  std::int64_t size = 0;
  bool ok = PfFstatSize(fd, size) == 0;
  std::string data;
  if (ok && size == 0) {
    data = kLogFileStart;  // new, or left empty by an earlier failed first write
  } else if (ok) {
    char last = 0;
    std::size_t got = 0;
    ok = PfReadAt(fd, &last, 1, size - 1, got) == 0 && got == 1;
    if (last == '\r') data = "\n";
    else if (last != '\n') data = "\r\n";
  }
  if (ok) {
    data += text;
    ok = PfWriteAll(fd, data.data(), data.size()) == 0 && PfFsync(fd) == 0;
    // A torn line would garble the file for every station: take back what got written.
    if (!ok) PfTruncate(fd, size);
  }
  PfClose(fd);
  if (ok && created) PfFsyncFolder(FolderOf(fileName).empty() ? "." : FolderOf(fileName));
  if (!ok && created) PfUnlink(fileName);
  return ok;
}

// Reads up to `count` bytes at `offset` of an open file.
bool ReadAt(int fd, std::int64_t offset, std::size_t count, std::string& bytes) {
  bytes.resize(count);
  std::size_t done = 0;
  while (done < count) {
    std::size_t got = 0;
    if (PfReadAt(fd, bytes.data() + done, count - done, offset + static_cast<std::int64_t>(done),
                 got) != 0)
      return false;
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return true;
}

}  // namespace

bool FindMissingLogLines(const std::string& fileName, const std::vector<std::string_view>& lines,
                         std::vector<bool>& missing) {
  missing.assign(lines.size(), true);
  if (lines.empty()) return true;
  // The usual case: the lines were appended last, so the end of the file holds them.
  std::int64_t tail = 256 * 1024;
  for (std::string_view l : lines) tail += 2 * static_cast<std::int64_t>(l.size() + 2);
  std::unordered_map<std::string_view, std::vector<std::size_t>> sought;
  sought.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) sought[lines[i]].push_back(i);
  for (int round = 0; round < 2; ++round) {
    int fd = -1;
    if (const int e = PfOpenRead(fileName, fd); e != 0) return e == ENOENT;
    std::int64_t size = 0;
    std::string text;
    bool ok = PfFstatSize(fd, size) == 0;
    const std::int64_t from = round == 0 && size > tail ? size - tail : 0;
    ok = ok && ReadAt(fd, from, static_cast<std::size_t>(size - from), text);
    PfClose(fd);
    if (!ok) return false;
    // The tail may start inside a line: that part never counts as a whole line, nor does
    // a last line without its end.
    std::size_t at = 0;
    if (from > 0) {
      const std::size_t first = text.find('\n');
      at = first == std::string::npos ? text.size() : first + 1;
    }
    while (at < text.size()) {
      const std::size_t end = text.find('\n', at);
      if (end == std::string::npos) break;
      if (end > at && text[end - 1] == '\r') {
        const auto it = sought.find(std::string_view(text.data() + at, end - 1 - at));
        if (it != sought.end())
          for (std::size_t i : it->second) missing[i] = false;
      }
      at = end + 1;
    }
    if (from == 0 || std::find(missing.begin(), missing.end(), true) == missing.end()) break;
  }
  return true;
}

bool LogFileEnd(const std::string& fileName, std::int64_t& size, std::string& lead) {
  size = 0;
  lead = kLogFileStart;
  int fd = -1;
  if (const int e = PfOpenRead(fileName, fd); e != 0) return e == ENOENT;
  bool ok = PfFstatSize(fd, size) == 0;
  if (ok && size > 0) {
    std::string last;
    ok = ReadAt(fd, size - 1, 1, last) && last.size() == 1;
    lead = !ok || last[0] == '\n' ? "" : last[0] == '\r' ? "\n" : "\r\n";
  }
  PfClose(fd);
  return ok;
}

bool ReadLogFileAt(const std::string& fileName, std::int64_t offset, std::size_t count,
                   std::string& bytes) {
  bytes.clear();
  int fd = -1;
  if (const int e = PfOpenRead(fileName, fd); e != 0) return e == ENOENT;
  const bool ok = ReadAt(fd, offset, count, bytes);
  PfClose(fd);
  return ok;
}

bool CompleteLogFileAt(const std::string& fileName, std::int64_t offset, const std::string& bytes,
                       TAccessProtection& reservation) {
  if (fileName.empty() || offset < 0) return false;
  TReservation held(reservation);
  if (!held.Held()) return false;
  int fd = -1;
  bool created = false;
  if (offset == 0) {
    if (OpenForAppend(fileName, fd, created) != 0) return false;
  } else if (PfOpenAppend(fileName, fd) != 0) {
    return false;
  }
  std::int64_t size = 0;
  std::string there;
  bool ok = PfFstatSize(fd, size) == 0 && size >= offset &&
            ReadAt(fd, offset, bytes.size(), there) && bytes.compare(0, there.size(), there) == 0;
  // Whatever stands behind a complete entry was appended later: the entry is there.
  if (ok && there.size() < bytes.size()) {
    ok = size == offset + static_cast<std::int64_t>(there.size());
    if (ok) {
      ok = PfWriteAll(fd, bytes.data() + there.size(), bytes.size() - there.size()) == 0 &&
           PfFsync(fd) == 0;
      if (!ok) PfTruncate(fd, size);
    }
  }
  PfClose(fd);
  if (ok && created) PfFsyncFolder(FolderOf(fileName).empty() ? "." : FolderOf(fileName));
  if (!ok && created) PfUnlink(fileName);
  return ok;
}

bool AppendToLogFile(const std::string& fileName, const std::string& text,
                     TAccessProtection& reservation) {
  if (fileName.empty()) return false;
  if (text.empty()) return true;
  TReservation held(reservation);
  if (!held.Held()) return false;
  return AppendHeld(fileName, text);
}

bool AppendToLogFile(const std::string& fileName, const std::string& text) {
  return AppendToLogFile(fileName, text, AccessProtections().Default());
}

TLogFileTime GetLogFileTime(const std::string& fileName) {
  TLogFileTime t;
  TPfInfo info;
  if (fileName.empty() || PfStat(fileName, info) != 0 || info.kind != TPfKind::File) return t;
  t.exists = true;
  t.mtimeNs = info.mtimeNs;
  t.size = info.size;
  t.inode = info.inode;
  return t;
}

// ---------------------------------------------------------------------------------------
// TLogFile

TLogFile::TLogFile(TAccessProtectionRegistry* registry) : registry_(registry) {}

TLogFile::~TLogFile() {
  if (!pending_.empty()) Flush(true);
}

TAccessProtection& TLogFile::Reservation() const {
  return (registry_ != nullptr ? *registry_ : AccessProtections()).Default();
}

void TLogFile::Init(const std::string& folder, const std::string& prefix, bool yearFolders,
                    const std::string& ext) {
  Flush(true);
  folder_ = folder;
  AddBackslash(folder_);
  prefix_ = prefix;
  ext_ = ext;
  yearFolders_ = yearFolders;
  lines_.clear();
  loadedPeriod_.clear();
  loadedFile_.clear();
  fileTime_ = TLogFileTime{};
  loadFailed_ = false;
  disabled_ = false;
}

std::string TLogFile::GetFileName(const std::string& period) const {
  if (folder_.empty()) return std::string();
  std::string name = folder_;
  if (yearFolders_) name += period.substr(0, 4) + "/";
  return name + prefix_ + period + ext_;
}

void TLogFile::SetDisabled(bool on) {
  disabled_ = on;
  if (on) pending_.clear();
}

std::string TLogFile::PendingPeriod() const {
  return pending_.empty() ? std::string() : pending_.front().period;
}

std::string TLogFile::PendingText() const {
  std::string text;
  for (const TPendingChunk& c : pending_) text += c.text;
  return text;
}

std::size_t TLogFile::PendingChars() const {
  std::size_t n = 0;
  for (const TPendingChunk& c : pending_) n += c.text.size();
  return n;
}

std::vector<std::pair<std::string, std::string>> TLogFile::PendingLines() const {
  std::vector<std::pair<std::string, std::string>> lines;
  for (const TPendingChunk& c : pending_) {
    std::size_t at = 0;
    while (at < c.text.size()) {
      std::size_t end = c.text.find("\r\n", at);
      if (end == std::string::npos) end = c.text.size();
      if (end > at) lines.emplace_back(c.period, c.text.substr(at, end - at));
      at = end + 2;
    }
  }
  return lines;
}

bool TLogFile::Add(const std::string& period, const std::string& line) {
  if (disabled_ || line.empty() || period.empty()) return false;
  std::string fileName = GetFileName(period);
  if (fileName.empty()) return false;

  std::string clean = line;
  for (char& ch : clean)
    if (ch == '\r' || ch == '\n') ch = ' ';  // would split the entry into two broken lines
  if (period == loadedPeriod_ && !loadFailed_) lines_.push_back(clean);

  // A buffered log writes what it holds of another file before it starts on this one.
  if (buffered_ && !pending_.empty() && pending_.back().fileName != fileName)
    WritePending(false);
  if (pending_.empty() || pending_.back().fileName != fileName)
    pending_.push_back(TPendingChunk{period, fileName, std::string()});
  pending_.back().text += clean;
  pending_.back().text += "\r\n";

  if (!buffered_ || PendingChars() > kLogBufferLimit) WritePending(false);
  return true;
}

bool TLogFile::Waits(const std::string& period, const std::string& line) const {
  const std::string entry = line + "\r\n";
  for (const TPendingChunk& chunk : pending_) {
    if (chunk.period != period) continue;
    for (std::size_t at = chunk.text.find(entry); at != std::string::npos;
         at = chunk.text.find(entry, at + 1))
      if (at == 0 || chunk.text[at - 1] == '\n') return true;
  }
  return false;
}

void TLogFile::LeaveOutWritten(TPendingChunk& chunk) {
  std::vector<std::string_view> lines;
  std::size_t at = 0;
  while (at < chunk.text.size()) {
    std::size_t end = chunk.text.find("\r\n", at);
    if (end == std::string::npos) end = chunk.text.size();
    lines.emplace_back(chunk.text.data() + at, end - at);
    at = end + 2;
  }
  std::vector<bool> missing;
  if (!FindMissingLogLines(chunk.fileName, lines, missing)) return;
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (missing[i]) {
      text += lines[i];
      text += "\r\n";
    }
  chunk.text = std::move(text);
}

bool TLogFile::Flush(bool final) {
  if (disabled_) {
    pending_.clear();
    return true;
  }
  return WritePending(final);
}

bool TLogFile::WritePending(bool final) {
  if (pending_.empty()) return true;
  std::string failedFile;
  {
    TReservation held(Reservation());
    if (!held.Held()) {
      failedFile = pending_.front().fileName;
    } else {
      while (!pending_.empty()) {
        TPendingChunk& chunk = pending_.front();
        if (chunk.retry) LeaveOutWritten(chunk);
        if (!chunk.text.empty() && !AppendHeld(chunk.fileName, chunk.text)) {
          chunk.retry = true;
          failedFile = chunk.fileName;
          break;
        }
        pending_.erase(pending_.begin());
      }
    }
  }
  // Told only after the reservation is back, so other stations are not held up by a dialog.
  if (!failedFile.empty()) {
    ReportWriteFailure(failedFile, final);
    return false;
  }
  failureReported_ = false;
  return true;
}

void TLogFile::ReportWriteFailure(const std::string& fileName, bool final) {
  if (final) {
    UI().ShowMessage(TMsgKind::Error, LogFilesText(lfWriteLost) + "\r" + fileName);
    failureReported_ = true;
  } else if (!failureReported_) {
    UI().ShowMessage(TMsgKind::Error, LogFilesText(lfWriteDelayed) + "\r" + fileName);
    failureReported_ = true;
  }
}

bool TLogFile::LoadPeriod(const std::string& period) {
  std::string fileName = GetFileName(period);
  if (fileName.empty() || period.empty()) {
    lines_.clear();
    loadedPeriod_.clear();
    loadedFile_.clear();
    return false;
  }
  if (!loadFailed_ && period == loadedPeriod_ && fileName == loadedFile_ &&
      GetLogFileTime(fileName) == fileTime_ && pending_.empty())
    return true;

  // Reading never harms the file, so a refused reservation only means that waiting lines
  // are not written first and a line being appended right now may be missed.
  TReservation held(Reservation());
  if (held.Held()) WritePending(false);
  TLogFileTime time = GetLogFileTime(fileName);
  std::vector<std::string> lines;
  int rc = LoadTextFile(fileName, lines);
  held.Release();

  if (rc == ltfRead) {
    lines_ = std::move(lines);
    loadedPeriod_ = period;
    loadedFile_ = fileName;
    fileTime_ = time;
    loadFailed_ = false;
    return true;
  }
  lines_.clear();
  fileTime_ = TLogFileTime{};
  if (rc == ltfMissing) {
    loadedPeriod_.clear();
    loadedFile_.clear();
    loadFailed_ = false;
    return true;
  }
  loadedPeriod_ = period;
  loadedFile_ = fileName;
  loadFailed_ = true;
  UI().ShowMessage(TMsgKind::Error, LogFilesText(lfLoadError) + "\r" + fileName);
  return false;
}
