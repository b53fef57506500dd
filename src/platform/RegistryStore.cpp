#include "platform/RegistryStore.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/OsText.h"
#include "platform/PlatformFiles.h"

namespace {

const char* const kValuesFile = "values.reg";
const char* const kHeader = "TessaroRegistry 1";

unsigned char FoldAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(static_cast<unsigned char>(a[i])) != FoldAscii(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

// Paths here are program texts (1252) like the key paths they are built of; each call into
// the system takes the path's system form.
bool IsDirectory(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::Folder;
}

// The existing subfolder of `dir` whose name equals `name` ignoring case (an exact match
// wins); empty when there is none.
std::string FindSubfolder(const std::string& dir, const std::string& name) {
  if (IsDirectory(dir + name)) return name;
  std::vector<TPfFolderEntry> entries;
  PfListFolder(dir, entries);
  for (const TPfFolderEntry& e : entries) {
    if (e.target == TPfKind::Folder && SameNameIgnoringCase(e.name, name)) return e.name;
  }
  return std::string();
}

// The folder of an existing key ("" when it does not exist).
std::string ExistingKeyFolder(const std::string& root, const std::vector<std::string>& parts) {
  std::string dir = WithSlash(root);
  if (dir.empty() || !IsDirectory(dir)) return "";
  for (const std::string& part : parts) {
    std::string entry = FindSubfolder(dir, part);
    if (entry.empty()) return "";
    dir += entry + "/";
  }
  return dir;
}

bool MakeFolder(const std::string& path, std::string& error) {
  if (mkdir(PfOsPath(path).c_str(), 0755) == 0) return true;
  const int e = errno;
  if (e == EEXIST && IsDirectory(path)) return true;
  error = "cannot create folder " + path + ": " + std::strerror(e);
  return false;
}

// The folder of the key, created with every missing part (root included).
bool CreateKeyFolder(const std::string& root, const std::vector<std::string>& parts,
                     std::string& folder, std::string& error) {
  std::string dir = WithSlash(root);
  if (dir.empty()) {
    error = "no registry root";
    return false;
  }
  // The root itself may be several levels deep (~/.config on a fresh account).
  for (size_t pos = 1; pos < dir.size(); ++pos) {
    if (dir[pos] == '/' && !MakeFolder(dir.substr(0, pos), error)) return false;
  }
  for (const std::string& part : parts) {
    std::string entry = FindSubfolder(dir, part);
    if (entry.empty()) {
      entry = part;
      if (!MakeFolder(dir + entry, error)) return false;
    }
    dir += entry + "/";
  }
  folder = dir;
  return true;
}

std::string ReadWholeFile(const std::string& file) {
  std::ifstream in(PfOsPath(file), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Splits a value file into its sound values and the lines that could not be read.
void ParseFile(const std::string& text, std::vector<TRegValue>& values,
               std::vector<std::string>* unsound) {
  size_t pos = 0;
  bool first = true;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first && line == kHeader) {
      first = false;
      continue;
    }
    first = false;
    if (line.empty()) continue;
    TRegValue value;
    if (!TRegistryStore::ParseLine(line, value)) {
      if (unsound) unsound->push_back(line);
      continue;
    }
    // A name that occurs twice (a hand-edited file): the later line wins, as it would
    // have overwritten the earlier one.
    bool replaced = false;
    for (TRegValue& v : values) {
      if (SameNameIgnoringCase(v.name, value.name)) {
        v = value;
        replaced = true;
        break;
      }
    }
    if (!replaced) values.push_back(value);
  }
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Replaces `file` by `bytes` through a temporary file in the same folder.
bool ReplaceFile(const std::string& folder, const std::string& file, const std::string& bytes,
                 mode_t mode, std::string& error) {
  std::string tmp = PfOsPath(folder) + "~values-XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) {
    error = "cannot write in " + folder + ": " + std::strerror(errno);
    return false;
  }
  bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
  int savedErrno = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && rename(tmp.c_str(), PfOsPath(file).c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    unlink(tmp.c_str());
    error = "cannot write " + file + ": " + std::strerror(savedErrno);
    return false;
  }
  int dfd = open(PfOsPath(folder).c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

void AppendEscaped(std::string& out, const std::string& s) {
  static const char* const hex = "0123456789ABCDEF";
  for (unsigned char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\x";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unescape(const std::string& s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= s.size()) return false;
    switch (s[i]) {
      case '\\': out += '\\'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'x': {
        if (i + 2 >= s.size()) return false;
        int hi = HexDigit(s[i + 1]);
        int lo = HexDigit(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

// Holds an exclusive lock on a key folder while its value file is read and rewritten, so
// two writers of the same key do not lose each other's value.
class TFolderLock {
 public:
  explicit TFolderLock(const std::string& folder)
      : fd_(open(PfOsPath(folder).c_str(), O_RDONLY | O_DIRECTORY)) {
    if (fd_ >= 0) {
      while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~TFolderLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

 private:
  int fd_;
};

}  // namespace

bool SplitRegistryKeyPath(const std::string& keyPath, std::vector<std::string>& parts) {
  parts.clear();
  std::string part;
  for (size_t i = 0; i <= keyPath.size(); ++i) {
    char c = i < keyPath.size() ? keyPath[i] : '\\';
    if (c == '\\' || c == '/') {
      if (part == "." || part == "..") return false;
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else if (c == '\0') {
      return false;
    } else {
      part += c;
    }
  }
  return !parts.empty();
}

TRegistryStore::TRegistryStore() {
  // The environment holds the system's bytes; from here on the roots are program paths.
  const char* testRoot = std::getenv("TESSARO_REGISTRY_ROOT");
  if (testRoot && *testRoot) {
    std::string root = WithSlash(OsToAnsi(testRoot));
    userRoot_ = root + "user/";
    machineRoot_ = root + "machine/";
    return;
  }
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config == '/') {
    userRoot_ = WithSlash(OsToAnsi(config));
  } else {
    const char* home = std::getenv("HOME");
    userRoot_ = (home && *home) ? WithSlash(OsToAnsi(home)) + ".config/" : "";
  }
  machineRoot_ = "/etc/xdg/";
}

TRegistryStore::TRegistryStore(std::string userRoot, std::string machineRoot)
    : userRoot_(WithSlash(std::move(userRoot))), machineRoot_(WithSlash(std::move(machineRoot))) {}

const std::string& TRegistryStore::Root(TRegScope scope) const {
  return scope == TRegScope::Machine ? machineRoot_ : userRoot_;
}

std::vector<TRegValue> TRegistryStore::ReadKey(TRegScope scope, const std::string& keyPath) const {
  std::vector<TRegValue> values;
  std::vector<std::string> parts;
  if (!SplitRegistryKeyPath(keyPath, parts)) return values;
  std::string folder = ExistingKeyFolder(Root(scope), parts);
  if (folder.empty()) return values;
  ParseFile(ReadWholeFile(folder + kValuesFile), values, nullptr);
  return values;
}

bool TRegistryStore::ReadValue(TRegScope scope, const std::string& keyPath,
                               const std::string& name, TRegValue& value) const {
  for (const TRegValue& v : ReadKey(scope, keyPath)) {
    if (SameNameIgnoringCase(v.name, name)) {
      value = v;
      return true;
    }
  }
  return false;
}

bool TRegistryStore::WriteString(TRegScope scope, const std::string& keyPath,
                                 const std::string& name, const std::string& value) {
  return WriteValue(scope, keyPath, TRegValue{TRegType::String, name, value});
}

bool TRegistryStore::WriteInteger(TRegScope scope, const std::string& keyPath,
                                  const std::string& name, uint32_t value) {
  return WriteValue(scope, keyPath, TRegValue{TRegType::Integer, name, std::to_string(value)});
}

bool TRegistryStore::WriteValue(TRegScope scope, const std::string& keyPath,
                                const TRegValue& value) {
  lastError_.clear();
  std::vector<std::string> parts;
  if (!SplitRegistryKeyPath(keyPath, parts)) {
    lastError_ = "invalid registry key \"" + keyPath + "\"";
    return false;
  }
  std::string folder;
  if (!CreateKeyFolder(Root(scope), parts, folder, lastError_)) {
    if (scope == TRegScope::Machine) lastError_ = "machine-wide settings: " + lastError_;
    return false;
  }
  TFolderLock lock(folder);
  const std::string file = folder + kValuesFile;
  std::vector<TRegValue> values;
  std::vector<std::string> unsound;
  ParseFile(ReadWholeFile(file), values, &unsound);

  bool found = false;
  for (TRegValue& v : values) {
    if (SameNameIgnoringCase(v.name, value.name)) {
      v.type = value.type;
      v.data = value.data;
      found = true;
      break;
    }
  }
  if (!found) values.push_back(value);

  std::string text = std::string(kHeader) + "\r\n";
  for (const TRegValue& v : values) text += FormatLine(v) + "\r\n";
  for (const std::string& line : unsound) text += line + "\r\n";

  // The user's values are nobody else's business; machine-wide values are read by all.
  const mode_t mode = scope == TRegScope::Machine ? 0644 : 0600;
  if (!ReplaceFile(folder, file, text, mode, lastError_)) {
    if (scope == TRegScope::Machine) lastError_ = "machine-wide settings: " + lastError_;
    return false;
  }
  return true;
}

std::vector<std::string> TRegistryStore::ListSubkeys(TRegScope scope,
                                                     const std::string& keyPath) const {
  std::vector<std::string> names;
  std::vector<std::string> parts;
  if (!SplitRegistryKeyPath(keyPath, parts)) return names;
  const std::string folder = ExistingKeyFolder(Root(scope), parts);
  if (folder.empty()) return names;
  std::vector<TPfFolderEntry> entries;
  PfListFolder(folder, entries);
  // A link is no key of ours: deleting through it could reach anywhere.
  for (const TPfFolderEntry& e : entries)
    if (e.kind == TPfKind::Folder) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

bool TRegistryStore::DeleteKey(TRegScope scope, const std::string& keyPath) {
  lastError_.clear();
  std::vector<std::string> parts;
  if (!SplitRegistryKeyPath(keyPath, parts) || parts.size() < 2) {
    lastError_ = "invalid registry key \"" + keyPath + "\"";
    return false;
  }
  const std::string folder = ExistingKeyFolder(Root(scope), parts);
  if (folder.empty()) return true;
  // PfRemoveTree never follows a link, so nothing outside the key goes with it.
  if (const int e = PfRemoveTree(folder)) {
    lastError_ = "cannot delete " + folder + ": " + std::strerror(e);
    return false;
  }
  return true;
}

std::string TRegistryStore::FormatLine(const TRegValue& value) {
  std::string line;
  line += value.type == TRegType::String         ? 'S'
          : value.type == TRegType::ExpandString ? 'E'
          : value.type == TRegType::Integer      ? 'D'
                                                 : 'B';
  line += '\t';
  AppendEscaped(line, value.name);
  line += '\t';
  AppendEscaped(line, value.data);
  return line;
}

bool TRegistryStore::ParseLine(const std::string& line, TRegValue& value) {
  if (line.size() < 3 || line[1] != '\t') return false;
  switch (line[0]) {
    case 'S': value.type = TRegType::String; break;
    case 'E': value.type = TRegType::ExpandString; break;
    case 'D': value.type = TRegType::Integer; break;
    case 'B': value.type = TRegType::Other; break;
    default: return false;
  }
  size_t tab = line.find('\t', 2);
  if (tab == std::string::npos || line.find('\t', tab + 1) != std::string::npos) return false;
  return Unescape(line.substr(2, tab - 2), value.name) && Unescape(line.substr(tab + 1), value.data);
}
