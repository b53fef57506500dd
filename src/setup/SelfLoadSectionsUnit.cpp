#include "setup/SelfLoadSectionsUnit.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

#include "basic/FileCtrl2.h"
#include "platform/ProcessStart.h"

namespace {

constexpr std::size_t kLengthBytes = 4;
constexpr std::size_t kCheckDataBytes = 8;

void AppendUint32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t ReadUint32(const std::string& bytes, std::size_t pos) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[pos + i])) << (8 * i);
  return value;
}

bool ValidSectionName(const std::string& name) {
  if (name.empty() || name.size() > kMaxSectionNameLength) return false;
  return std::all_of(name.begin(), name.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

uint32_t Crc32Of(const char* data, std::size_t size) {
  uLong crc = crc32(0L, Z_NULL, 0);
  while (size > 0) {
    const uInt chunk = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
    crc = crc32(crc, reinterpret_cast<const Bytef*>(data), chunk);
    data += chunk;
    size -= chunk;
  }
  return static_cast<uint32_t>(crc);
}

// Reads one section starting at `pos` (a marker) that must end by `end`; advances `pos`.
bool ReadSectionAt(const std::string& bytes, std::size_t& pos, std::size_t end,
                   TSectionEntry& entry, std::string& error) {
  if (pos >= end || static_cast<unsigned char>(bytes[pos]) != kSectionFrameByte) {
    error = "no section marker at byte " + std::to_string(pos);
    return false;
  }
  std::size_t close = pos + 1;
  const std::size_t limit = std::min(end, pos + 2 + kMaxSectionNameLength);
  while (close < limit && static_cast<unsigned char>(bytes[close]) != kSectionFrameByte) ++close;
  if (close >= limit || close == pos + 1) {
    error = "damaged section marker at byte " + std::to_string(pos);
    return false;
  }
  entry.name.clear();
  for (std::size_t i = pos + 1; i < close; ++i)
    entry.name += static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ kSectionNameXor);
  if (!ValidSectionName(entry.name)) {
    error = "damaged section name at byte " + std::to_string(pos);
    return false;
  }
  const std::size_t lengthPos = close + 1;
  if (end - lengthPos < kLengthBytes) {
    error = "section \"" + entry.name + "\" is cut short";
    return false;
  }
  entry.length = ReadUint32(bytes, lengthPos);
  entry.offset = lengthPos + kLengthBytes;
  if (end - entry.offset < entry.length) {
    error = "section \"" + entry.name + "\" is cut short";
    return false;
  }
  pos = entry.offset + entry.length;
  return true;
}

struct TSelfState {
  TSelfLoadState state = TSelfLoadState::NotTried;
  std::string fileName;
  std::string bytes;
  TSectionFile file;
  std::string error;
};

TSelfState& Self() {
  static TSelfState state;
  return state;
}

}  // namespace

std::string MakeSectionMark(const std::string& name) {
  std::string mark;
  mark.reserve(name.size() + 2);
  mark += static_cast<char>(kSectionFrameByte);
  for (char c : name) mark += static_cast<char>(static_cast<unsigned char>(c) ^ kSectionNameXor);
  mark += static_cast<char>(kSectionFrameByte);
  return mark;
}

std::size_t FindSectionMark(const std::string& name, const std::string& text,
                            std::size_t& markLength) {
  const std::string mark = MakeSectionMark(name);
  markLength = mark.size();
  const std::size_t pos = text.find(mark);
  return pos == std::string::npos ? 0 : pos + 1;
}

std::string MakeSection(const std::string& name, const std::string& data) {
  if (!ValidSectionName(name) || data.size() > std::numeric_limits<uint32_t>::max()) return "";
  std::string section = MakeSectionMark(name);
  AppendUint32(section, static_cast<uint32_t>(data.size()));
  section += data;
  return section;
}

std::string MakeCheckSection(const std::string& sectionArea) {
  std::string data;
  AppendUint32(data, static_cast<uint32_t>(sectionArea.size()));
  AppendUint32(data, Crc32Of(sectionArea.data(), sectionArea.size()));
  return MakeSection(kSectionCheck, data);
}

std::string BuildSectionArea(const std::vector<TSectionSpec>& sections) {
  std::string area = MakeSection(kSectionBeginningMark, "");
  for (const TSectionSpec& s : sections) area += MakeSection(s.name, s.data);
  return area + MakeCheckSection(area);
}

std::string CompressBytes(const std::string& bytes, int level) {
  uLongf length = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(length, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &length,
                reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                level) != Z_OK)
    return "";
  out.resize(length);
  return out;
}

bool DecompressBytes(const std::string& compressed, std::size_t maxSize, std::string& bytes) {
  bytes.clear();
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(std::min<std::size_t>(compressed.size(), 1u << 30));
  std::size_t fed = stream.avail_in;
  char buffer[65536];
  int rc = Z_OK;
  bool ok = true;
  while (rc != Z_STREAM_END) {
    if (stream.avail_in == 0 && fed < compressed.size()) {
      stream.avail_in = static_cast<uInt>(std::min<std::size_t>(compressed.size() - fed, 1u << 30));
      fed += stream.avail_in;
    }
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    rc = inflate(&stream, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) {
      ok = false;
      break;
    }
    const std::size_t got = sizeof buffer - stream.avail_out;
    if (bytes.size() + got > maxSize) {
      ok = false;
      break;
    }
    bytes.append(buffer, got);
    // No progress with the whole input fed: the stream does not end.
    if (rc == Z_OK && got == 0 && stream.avail_in == 0 && fed >= compressed.size()) {
      ok = false;
      break;
    }
  }
  // Bytes after the stream's end are no part of it: a joined or damaged section.
  if (ok && (stream.avail_in != 0 || fed != compressed.size())) ok = false;
  inflateEnd(&stream);
  if (!ok) bytes.clear();
  return ok;
}

TSectionFile ParseSectionFile(const std::string& bytes) {
  TSectionFile file;
  file.imageSize = bytes.size();
  std::size_t beginLength = 0;
  const std::size_t beginPos = FindSectionMark(kSectionBeginningMark, bytes, beginLength);
  const std::string checkMark = MakeSectionMark(kSectionCheck);
  const std::size_t checkSize = checkMark.size() + kLengthBytes + kCheckDataBytes;

  auto refuse = [&](const std::string& why) {
    file.status = TSectionsStatus::Damaged;
    file.error = why;
    file.sections.clear();
    return file;
  };

  const bool checkAtEnd =
      bytes.size() >= checkSize &&
      bytes.compare(bytes.size() - checkSize, checkMark.size(), checkMark) == 0 &&
      ReadUint32(bytes, bytes.size() - checkSize + checkMark.size()) == kCheckDataBytes;
  if (!checkAtEnd) {
    if (beginPos == 0) return file;  // a program without a payload
    // A payload that carries a check must pass it: one that is not at the end was cut
    // short or had bytes appended, and a section of the check's size and marker length
    // that ends the file under another name is the check with its marker changed.
    if (bytes.find(checkMark, beginPos - 1) != std::string::npos)
      return refuse("the check section is not at the end (the file is cut short or was changed)");
    const std::size_t lastPos = bytes.size() >= checkSize ? bytes.size() - checkSize : 0;
    if (bytes.size() >= checkSize && lastPos >= beginPos - 1 &&
        static_cast<unsigned char>(bytes[lastPos]) == kSectionFrameByte &&
        static_cast<unsigned char>(bytes[lastPos + checkMark.size() - 1]) == kSectionFrameByte &&
        ReadUint32(bytes, lastPos + checkMark.size()) == kCheckDataBytes)
      return refuse("the check section is damaged (the file was changed)");
    file.status = TSectionsStatus::Unchecked;
    file.imageSize = beginPos - 1;
    return file;
  }
  const std::size_t checkPos = bytes.size() - checkSize;
  const std::size_t dataPos = checkPos + checkMark.size() + kLengthBytes;
  const std::size_t covered = ReadUint32(bytes, dataPos);
  const uint32_t crc = ReadUint32(bytes, dataPos + 4);
  if (covered > checkPos) return refuse("the check section covers more than the file");
  const std::size_t areaPos = checkPos - covered;
  if (Crc32Of(bytes.data() + areaPos, covered) != crc)
    return refuse("the check sum does not match (the file was changed)");

  file.imageSize = areaPos;
  std::size_t pos = areaPos;
  std::string error;
  while (pos < checkPos) {
    TSectionEntry entry;
    if (!ReadSectionAt(bytes, pos, checkPos, entry, error)) return refuse(error);
    if (file.sections.empty() && (entry.name != kSectionBeginningMark || entry.length != 0))
      return refuse("the sections do not start with the beginning mark");
    file.sections.push_back(entry);
  }
  if (file.sections.empty()) return refuse("the sections do not start with the beginning mark");
  TSectionEntry check;
  check.name = kSectionCheck;
  check.offset = dataPos;
  check.length = kCheckDataBytes;
  file.sections.push_back(check);
  file.status = TSectionsStatus::Sound;
  return file;
}

bool SectionData(const std::string& bytes, const TSectionFile& file, const std::string& name,
                 std::string& data) {
  data.clear();
  if (file.status == TSectionsStatus::Unchecked) {
    if (file.imageSize > bytes.size()) return false;
    const std::string mark = MakeSectionMark(name);
    const std::size_t pos = bytes.find(mark, file.imageSize);
    if (pos == std::string::npos) return false;
    const std::size_t lengthPos = pos + mark.size();
    if (bytes.size() - lengthPos < kLengthBytes) return false;
    const std::size_t offset = lengthPos + kLengthBytes;
    data = bytes.substr(offset,
                        std::min<std::size_t>(ReadUint32(bytes, lengthPos), bytes.size() - offset));
    return true;
  }
  if (file.status != TSectionsStatus::Sound) return false;
  for (const TSectionEntry& e : file.sections) {
    if (e.name != name) continue;
    data = bytes.substr(e.offset, e.length);
    return true;
  }
  return false;
}

void LoadSelfSections() {
  TSelfState& self = Self();
  if (self.state != TSelfLoadState::NotTried) return;
  if (self.fileName.empty()) self.fileName = RunningExecutablePath();
  if (self.fileName.empty() || !ReadFileToString(self.fileName, self.bytes)) {
    self.bytes.clear();
    self.error = "cannot read " + self.fileName;
    self.state = TSelfLoadState::Failed;
    return;
  }
  self.file = ParseSectionFile(self.bytes);
  if (self.file.status == TSectionsStatus::Damaged) {
    self.error = self.file.error;
    self.state = TSelfLoadState::Failed;
    return;
  }
  self.state = TSelfLoadState::Loaded;
}

TSelfLoadState SelfSectionsState() { return Self().state; }

bool SelfSectionsPresent() {
  return Self().state == TSelfLoadState::Loaded &&
         (Self().file.status == TSectionsStatus::Sound ||
          Self().file.status == TSectionsStatus::Unchecked);
}

bool SelfSectionsDamaged() { return Self().file.status == TSectionsStatus::Damaged; }

const std::string& SelfSectionsError() { return Self().error; }

bool ReadSection(const std::string& name, std::string& data) {
  data.clear();
  if (Self().state != TSelfLoadState::Loaded) return false;
  return SectionData(Self().bytes, Self().file, name, data);
}

std::string SelfImage() {
  const TSelfState& self = Self();
  if (self.state != TSelfLoadState::Loaded) return "";
  return self.bytes.substr(0, self.file.imageSize);
}

void SetSelfFileName(const std::string& fileName) {
  ResetSelfSections();
  Self().fileName = fileName;
}

const std::string& SelfFileName() { return Self().fileName; }

void ResetSelfSections() { Self() = TSelfState(); }
