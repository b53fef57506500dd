#include "basic/FileCtrl2.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "basic/Cp1252.h"
#include "platform/OsText.h"
#include "platform/PlatformFiles.h"
#include "platform/RangeLock.h"

namespace {

constexpr std::size_t kReadBufferSize = 64512;
constexpr std::size_t kWriteBlockSize = 0x20000;
constexpr unsigned kOwnerWrite = 0200;

// Everything up to and including the last "/"; empty for a bare file name.
std::string FolderOf(const std::string& fileName) {
  std::size_t slash = fileName.rfind('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

bool WriteLines(int fd, const std::vector<std::string>& lines) {
  std::string buffer;
  buffer.reserve(kWriteBlockSize + 1024);
  for (const std::string& line : lines) {
    buffer += line;
    buffer += "\r\n";
    if (buffer.size() >= kWriteBlockSize) {
      if (PfWriteAll(fd, buffer.data(), buffer.size()) != 0) return false;
      buffer.clear();
    }
  }
  return buffer.empty() || PfWriteAll(fd, buffer.data(), buffer.size()) == 0;
}

// Copies everything from `in` to `out` and syncs `out`.
bool CopyBytesSynced(int in, int out) {
  std::string buffer(kReadBufferSize, '\0');
  for (;;) {
    std::size_t got = 0;
    if (PfRead(in, buffer.data(), buffer.size(), got) != 0) return false;
    if (got == 0) break;
    if (PfWriteAll(out, buffer.data(), got) != 0) return false;
  }
  return PfFsync(out) == 0;
}

// Copies a file byte for byte into a new file `to`, synced; a failed copy leaves no `to`.
bool CopyFileSynced(const std::string& from, const std::string& to) {
  int in = -1;
  if (PfOpenRead(from, in) != 0) return false;
  int out = -1;
  if (PfCreateNew(to, 0666, out) != 0) {
    PfClose(in);
    return false;
  }
  bool ok = CopyBytesSynced(in, out);
  ok = PfClose(out) == 0 && ok;
  PfClose(in);
  if (!ok) PfUnlink(to);
  return ok;
}

std::vector<std::string>& UnsyncedSaves() {
  static std::vector<std::string> names;
  return names;
}

// The rename has put the new file in place: the save has happened, whatever the folder
// sync says. A failed sync only leaves its survival of a power cut uncertain.
void SyncFolderAfterRename(const std::string& folder, const std::string& target) {
  if (PfFsyncFolder(folder) == 0) return;
  auto& names = UnsyncedSaves();
  if (std::find(names.begin(), names.end(), target) == names.end()) names.push_back(target);
}

// A fresh "~" name in the folder that nothing uses.
bool FreshTempName(const std::string& folder, std::string& name) {
  int fd = -1;
  if (PfCreateUnique(folder, "~", ".tmp", name, fd) != 0) return false;
  PfClose(fd);
  return PfUnlink(name) == 0;
}

// Makes `backup` a copy of `target`'s current content: a hard link where the file system
// has them, else a byte copy, made under a temporary name and renamed over the older
// backup, so that a backup exists at every moment once there was one.
// `nearName`: a "~...tmp" name this save owns; the link is tried beside it first, which
// spares making and removing a name of its own.
bool MakeBackup(const std::string& target, const std::string& backup,
                const std::string& nearName = std::string()) {
  const std::string folder = FolderOf(backup);
  std::string temp;
  if (nearName.size() > 4) {
    // Named after the held "~" file of the save: a sweep of leftovers keeps it as long as
    // that one is held (SweepStaleTempFiles).
    temp = nearName.substr(0, nearName.size() - 4) + ".bak.tmp";
    if (PfLink(target, temp) != 0 && !CopyFileSynced(target, temp)) {
      PfUnlink(temp);
      return false;
    }
  } else {
    if (!FreshTempName(folder.empty() ? "./" : folder, temp)) return false;
    if (PfLink(target, temp) != 0 && !CopyFileSynced(target, temp)) return false;
  }
  if (PfRename(temp, backup) != 0) {
    PfUnlink(temp);
    return false;
  }
  return true;
}

// Writes the lines into a new temporary file beside the target and puts it in the target's
// place. The target exists throughout: rename replaces it in one step.
// `write` fills the open temporary file; false when it could not.
thread_local int gLastReplaceError = 0;

template <typename TWrite>
bool ReplaceFile(const std::string& fileName, bool keepBackup, TWrite write) {
  gLastReplaceError = EINVAL;
  if (fileName.empty()) return false;
  std::string target = fileName;
  TPfInfo info;
  if (PfLstat(target, info) != 0) return false;
  if (info.kind == TPfKind::Link) {
    // Replace the file the link leads to, not the link.
    std::string resolved;
    if (PfRealPath(target, resolved) == 0) target = resolved;
    if (PfStat(target, info) != 0) return false;
  }
  if (info.kind == TPfKind::Folder || info.kind == TPfKind::Other) return false;
  const bool targetExists = info.kind == TPfKind::File;

  const std::string folder = FolderOf(target);
  std::string temp;
  int fd = -1;
  // The first file made in the folder: missing rights or a read-only disk show here.
  if ((gLastReplaceError = PfCreateUnique(folder, "~", ".tmp", temp, fd)) != 0) return false;
  gLastReplaceError = EIO;
  // Held while it is written, so that another station's sweep of leftovers keeps it.
  HoldWholeFile(fd);

  bool ok = write(fd);
  // The new file keeps the old one's permissions, writable for its owner.
  if (ok && targetExists) PfFchmod(fd, info.mode | kOwnerWrite);
  ok = ok && PfFsync(fd) == 0;
  // Still held until it is in the target's place: its backup's temporary name and the
  // file itself must survive another station's sweep of leftovers meanwhile.
  if (ok && keepBackup && targetExists) ok = MakeBackup(target, target + ".bak", temp);
  ok = ok && PfRename(temp, target) == 0;
  // Synced before: what a close could still report is on disk already.
  PfClose(fd);
  if (!ok) {
    PfUnlink(temp);
    return false;
  }
  gLastReplaceError = 0;
  SyncFolderAfterRename(folder, target);
  return true;
}

bool IsLineBreak(char c) { return c == '\r' || c == '\n' || c == '\x1A'; }

// The first CR, LF or 0x1A in [p, end), or end. Whole blocks of bytes at a time: bytes at
// or below 0x1A are rare in text, and each one found is checked exactly.
#if defined(__SSE2__)
const char* FindLineBreakSse2(const char* p, const char* const end) {
  const __m128i top = _mm_set1_epi8('\x1A');
  // One bit per byte at or below 0x1A: min(x, 0x1A) == x exactly for those (unsigned).
  auto lowBytes = [top](const char* q) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(x, top), x)));
  };
  while (end - p >= 32) {
    unsigned low = lowBytes(p) | (lowBytes(p + 16) << 16);
    for (; low != 0; low &= low - 1) {
      const char* at = p + __builtin_ctz(low);
      if (IsLineBreak(*at)) return at;
    }
    p += 32;
  }
  while (p < end && !IsLineBreak(*p)) ++p;
  return p;
}
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TESSARO_HAVE_AVX2_PATH 1
// The same with 64 bytes a step, on processors that have AVX2 (chosen at run time).
__attribute__((target("avx2"))) const char* FindLineBreakAvx2(const char* p,
                                                              const char* const end) {
  const __m256i top = _mm256_set1_epi8('\x1A');
  while (end - p >= 64) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const std::uint32_t lowA = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(a, top), a)));
    const std::uint32_t lowB = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(b, top), b)));
    std::uint64_t low = lowA | (std::uint64_t{lowB} << 32);
    for (; low != 0; low &= low - 1) {
      const char* at = p + __builtin_ctzll(low);
      if (IsLineBreak(*at)) return at;
    }
    p += 64;
  }
  return FindLineBreakSse2(p, end);
}

const bool kUseAvx2 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();
#endif

const char* FindLineBreak(const char* p, const char* const end) {
#if defined(TESSARO_HAVE_AVX2_PATH)
  if (kUseAvx2) return FindLineBreakAvx2(p, end);
#endif
#if defined(__SSE2__)
  return FindLineBreakSse2(p, end);
#else
  while (p < end && !IsLineBreak(*p)) ++p;
  return p;
#endif
}

bool MaskMatches(const char* mask, const char* name) {
  // Iterative "*" / "?" matching with one back-tracking point.
  const char* starMask = nullptr;
  const char* starName = nullptr;
  while (*name) {
    if (*mask == '*') {
      starMask = ++mask;
      starName = name;
    } else if (*mask == '?' ||
               (*mask && UpCase1252(static_cast<unsigned char>(*mask)) ==
                             UpCase1252(static_cast<unsigned char>(*name)))) {
      ++mask;
      ++name;
    } else if (starMask) {
      mask = starMask;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*mask == '*') ++mask;
  return *mask == '\0';
}

bool NameMatches(const std::string& mask, const std::string& name) {
  if (mask.empty() || mask == "*" || mask == "*.*") return true;
  return MaskMatches(mask.c_str(), name.c_str());
}

bool LessByName(const std::string& a, const std::string& b) {
  int c = AnsiCompareText(a, b);
  return c != 0 ? c < 0 : a < b;
}

std::string WithSlash(std::string folder) {
  AddBackslash(folder);
  return folder;
}

// The environment holds the system's bytes (UTF-8); the folders become program paths.
std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return (v && *v) ? OsToAnsi(v) : fallback;
}

}  // namespace

void TTextLineSplitter::Feed(const char* data, std::size_t size) {
  const char* const end = data + size;
  const char* p = data;
  while (p < end) {
    if (pendingEof_) {
      // Something follows the 0x1A, so it was data.
      current_ += '\x1A';
      pendingEof_ = false;
    }
    const char* run = p;
    p = FindLineBreak(p, end);
    const std::size_t length = static_cast<std::size_t>(p - run);
    if (length > 0) afterCr_ = false;
    if (p == end) {
      current_.append(run, length);
      break;
    }
    const char c = *p++;
    if (c == '\x1A') {
      current_.append(run, length);
      afterCr_ = false;
      pendingEof_ = true;
      continue;
    }
    if (c == '\n' && afterCr_) {
      afterCr_ = false;  // the LF of a CR LF
      continue;
    }
    // A line that lies whole in this piece goes into the list without a detour.
    if (current_.empty()) {
      lines_.emplace_back(run, length);
    } else {
      current_.append(run, length);
      lines_.push_back(std::move(current_));
      current_.clear();
    }
    afterCr_ = c == '\r';
    if (afterCr_ && p < end && *p == '\n') {
      ++p;  // the LF of a CR LF, taken at once
      afterCr_ = false;
    }
  }
}

void TTextLineSplitter::Finish() {
  pendingEof_ = false;  // a final 0x1A is the end-of-file mark
  if (!current_.empty()) lines_.push_back(std::move(current_));
  current_.clear();
  afterCr_ = false;
}

std::vector<std::string> SplitTextLines(const std::string& bytes) {
  std::vector<std::string> lines;
  TTextLineSplitter splitter(lines);
  splitter.Feed(bytes.data(), bytes.size());
  splitter.Finish();
  return lines;
}

int LoadTextFile(const std::string& fileName, std::vector<std::string>& lines,
                 std::size_t capacityHint) {
  int fd = -1;
  int e = PfOpenRead(fileName, fd);
  std::int64_t size = 0;
  if (e == 0 && (e = PfFstatSize(fd, size)) != 0) PfClose(fd);  // a folder is no text file
  if (e != 0) {
    TPfInfo info;
    bool exists = PfLstat(fileName, info) != 0 || info.kind != TPfKind::Missing;
    return exists ? ltfReadError : ltfMissing;
  }

  std::vector<std::string> result;
  if (capacityHint > 20) result.reserve(capacityHint + 20);
  TTextLineSplitter splitter(result);
  std::string buffer(kReadBufferSize, '\0');
  int status = ltfRead;
  bool first = true;
  for (;;) {
    std::size_t got = 0;
    if (PfRead(fd, buffer.data(), buffer.size(), got) != 0) {
      status = ltfReadError;  // keep the complete lines read so far
      break;
    }
    if (got == 0) {
      splitter.Finish();
      break;
    }
    if (first && static_cast<std::uint64_t>(size) > got) {
      // A large file: room for the lines it will likely hold, judged by the first block,
      // so the list does not move its lines again and again while it grows.
      std::size_t ends = 0;
      const char* const end = buffer.data() + got;
      for (const char* p = buffer.data();
           (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))));
           ++p)
        ++ends;
      if (ends > 0) {
        std::uint64_t expected = static_cast<std::uint64_t>(size) / (got / ends);
        // Never more than the file could hold: each line takes at least its line end.
        expected = std::min(expected + expected / 16 + 64, static_cast<std::uint64_t>(size) + 1);
        if (expected > result.capacity()) result.reserve(static_cast<std::size_t>(expected));
      }
    }
    first = false;
    splitter.Feed(buffer.data(), got);
  }
  PfClose(fd);
  lines = std::move(result);
  return status;
}

bool SaveTextFile(const std::vector<std::string>& lines, const std::string& fileName) {
  return ReplaceFile(fileName, false, [&](int fd) { return WriteLines(fd, lines); });
}

bool SaveTextFileSafe(const std::vector<std::string>& lines, const std::string& fileName,
                      bool keepBackup) {
  return ReplaceFile(fileName, keepBackup, [&](int fd) { return WriteLines(fd, lines); });
}

int LastSafeSaveError() { return gLastReplaceError; }

bool SaveBytesFileSafe(std::string_view bytes, const std::string& fileName, bool keepBackup) {
  return ReplaceFile(fileName, keepBackup, [&](int fd) {
    return bytes.empty() || PfWriteAll(fd, bytes.data(), bytes.size()) == 0;
  });
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
  std::string folder = to.substr(0, to.rfind('/') == std::string::npos ? 0 : to.rfind('/') + 1);
  if (folder.empty()) folder = "./";
  int in = -1;
  if (PfOpenRead(from, in) != 0) return false;
  std::string temp;
  int out = -1;
  if (PfCreateUnique(folder, "~", ".tmp", temp, out) != 0) {
    PfClose(in);
    return false;
  }
  HoldWholeFile(out);
  bool ok = CopyBytesSynced(in, out);
  PfClose(in);
  // Held until renamed, so that a sweep of leftovers keeps it (see ReplaceFile).
  ok = ok && PfRename(temp, to) == 0;
  PfClose(out);
  if (!ok) {
    PfUnlink(temp);
    return false;
  }
  SyncFolderAfterRename(folder, to);
  return true;
}

std::vector<std::string> TakeUnsyncedSaves() { return std::exchange(UnsyncedSaves(), {}); }

int SweepStaleTempFiles(const std::string& folder, double maxAgeSeconds, double nowSeconds) {
  std::vector<TPfFolderEntry> entries;
  if (PfListFolder(folder, entries) != 0) return 0;
  std::string base = folder;
  AddBackslash(base);
  int removed = 0;
  const std::string backupTail = ".bak.tmp";
  for (const TPfFolderEntry& entry : entries) {
    const std::string& n = entry.name;
    if (entry.kind != TPfKind::File || n.size() < 6 || n[0] != '~' ||
        n.compare(n.size() - 4, 4, ".tmp") != 0)
      continue;
    const std::string path = base + n;
    TPfInfo info;
    if (PfLstat(path, info) != 0 || info.kind != TPfKind::File) continue;
    const double age = nowSeconds - static_cast<double>(info.ctimeNs) / 1e9;
    if ((maxAgeSeconds > 0 && age < maxAgeSeconds) || FileHeldByAnyone(path)) continue;
    // A save's backup under its temporary name is held through the save's own "~" file
    // (which it is named after), not by a lock of its own.
    if (n.size() > backupTail.size() &&
        n.compare(n.size() - backupTail.size(), backupTail.size(), backupTail) == 0 &&
        FileHeldByAnyone(base + n.substr(0, n.size() - backupTail.size()) + ".tmp"))
      continue;
    if (PfUnlink(path) == 0) ++removed;
  }
  return removed;
}

bool ReadFileToString(const std::string& fileName, std::string& text) {
  text.clear();
  int fd = -1;
  if (PfOpenRead(fileName, fd) != 0) return false;
  std::int64_t size = 0;
  bool ok = PfFstatSize(fd, size) == 0 && size > 0 && size < (std::int64_t{1} << 31);
  if (ok) {
    text.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (ok && done < text.size()) {
      std::size_t got = 0;
      ok = PfRead(fd, text.data() + done, text.size() - done, got) == 0 && got > 0;
      done += got;
    }
  }
  PfClose(fd);
  if (!ok) text.clear();
  return ok;
}

bool IsFolderWritable(const std::string& folder) {
  std::string name;
  int fd = -1;
  if (PfCreateUnique(WithSlash(folder), "~", ".tmp", name, fd) != 0) return false;
  PfClose(fd);
  return PfUnlink(name) == 0;
}

std::int64_t GetFileSize64(const std::string& fileName) {
  TPfInfo info;
  if (PfStat(fileName, info) != 0 || info.kind != TPfKind::File) return -1;
  return info.size;
}

void ListFiles(const std::string& folder, const std::string& mask,
               std::vector<TListedFile>& files) {
  const std::string dir = WithSlash(folder);
  std::vector<TPfFolderEntry> entries;
  PfListFolder(dir, entries);
  std::vector<TListedFile> found;
  for (const TPfFolderEntry& entry : entries) {
    if (entry.target == TPfKind::File && NameMatches(mask, entry.name)) {
      found.push_back({entry.name, entry.size});
    }
  }
  std::sort(found.begin(), found.end(),
            [](const TListedFile& a, const TListedFile& b) { return LessByName(a.name, b.name); });
  for (TListedFile& f : found) files.push_back({dir + f.name, f.size});
}

void ListSubfolders(const std::string& folder, std::vector<std::string>& names) {
  std::vector<TPfFolderEntry> entries;
  PfListFolder(WithSlash(folder), entries);
  std::vector<std::string> found;
  for (const TPfFolderEntry& entry : entries) {
    if (entry.kind == TPfKind::Folder) found.push_back(entry.name);
  }
  std::sort(found.begin(), found.end(), LessByName);
  names.insert(names.end(), found.begin(), found.end());
}

void ListFilesRecursive(const std::string& folder, const std::string& mask,
                        std::vector<TListedFile>& files) {
  const std::string dir = WithSlash(folder);
  ListFiles(dir, mask, files);
  std::vector<std::string> subfolders;
  ListSubfolders(dir, subfolders);
  for (const std::string& sub : subfolders) ListFilesRecursive(dir + sub + "/", mask, files);
}

bool DeleteFolderTree(const std::string& folder) { return PfRemoveTree(folder) == 0; }

bool DeleteFileForce(const std::string& fileName) {
  TPfInfo info;
  if (fileName.empty() || PfLstat(fileName, info) != 0) return false;
  if (info.kind == TPfKind::Missing) return true;
  if (info.kind == TPfKind::Folder) return false;
  int e = PfUnlink(fileName);
  return e == 0 || e == ENOENT;
}

void AddBackslash(std::string& path) {
  if (!path.empty() && path.back() != '/') path += '/';
}

std::string DelTrailingSlash(const std::string& path) {
  if (!path.empty() && (path.back() == '/' || path.back() == '\\')) {
    return path.substr(0, path.size() - 1);
  }
  return path;
}

void MakeAbsolutePath(const std::string& base, std::string& path) {
  if (base.empty() || path.empty() || path[0] == '/') return;
  path = WithSlash(base) + path;
}

std::string CleanFileName(const std::string& text) {
  static const char kForbidden[] = "\\:/\"<>[]|*?";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 32) continue;
    if (std::strchr(kForbidden, c)) continue;
    out += c;
  }
  std::size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  std::size_t last = out.find_last_not_of(' ');
  out = out.substr(first, last - first + 1);
  // "." and ".." name the folder itself and its parent, never a file.
  if (out == "." || out == "..") return std::string();
  return out;
}

std::string GetSpecialFolderPath(int shellFolder) {
  const std::string home = EnvOr("HOME", std::string());
  switch (shellFolder) {
    case sfDesktop:
      return home.empty() ? std::string() : home + "/Desktop";
    case sfPersonal:
      return home.empty() ? std::string() : home + "/Documents";
    case sfAppData:
      return EnvOr("XDG_CONFIG_HOME", home.empty() ? std::string() : home + "/.config");
    case sfLocalAppData:
      return EnvOr("XDG_DATA_HOME", home.empty() ? std::string() : home + "/.local/share");
    case sfCommonAppData:
      return "/var/lib";
    default:
      return std::string();
  }
}
