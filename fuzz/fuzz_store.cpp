// Arbitrary bytes as a record store file and as record lines. The loader must refuse or
// read any file without crashing, without running away in time and without allocating
// beyond what the file's size justifies; whatever it reads must index consistently; and a
// record line built from any fields must be one line that reads back to the same fields.
// The bytes reach the loader without a file (LoadFromBytes, the reader Open uses), so a
// run costs no disk access. About one store input in 32 goes through a real file in
// memory-backed storage as well: the opened store must hold what the bytes gave, and a
// record added to it must survive saving and reopening.
// fuzz-seconds: 15

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "basic/BasicsUnit.h"
#include "basic/FileCtrl2.h"
#include "data/AccessProtection.h"
#include "data/MiniDBUnit.h"
#include "platform/PlatformFiles.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The folder of the file runs, in memory-backed storage where there is one (syncs of a
// save cost nothing there); removed at exit.
struct TScratchFolder {
  std::string path;
  TScratchFolder() {
    const std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : PfTempFolder();
    std::string tmpl = base + "/fuzz_store-XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    path = tmpl + "/";
  }
  ~TScratchFolder() { DeleteFolderTree(path); }
};

const std::string& Folder() {
  static TScratchFolder folder;
  return folder.path;
}

TAccessProtectionRegistry& Registry() {
  static TAccessProtectionRegistry* registry = [] {
    auto* r = new TAccessProtectionRegistry;
    r->SetSleeper([](int) {});
    return r;
  }();
  return *registry;
}

bool HasBadByte(const std::string& s) {
  for (char c : s)
    if (c == '\r' || c == '\n' || c == '\0' || c == '\x1A') return true;
  return false;
}

// The index's one-pass line scanner must read exactly what the comma-text reader reads.
void ScanAgreesWithCommaText(const std::string& line) {
  TLineInfo info;
  std::vector<std::string> scratch;
  ScanRecordLine(line, scratch, info);
  std::vector<std::string> items;
  ParseCommaText(line, items);
  TLineInfo ref;
  bool haveI = false, haveC = false, haveV = false;
  for (const std::string& item : items) {
    if (item.size() < 2 || item[1] != '=') continue;
    const char k = static_cast<char>(item[0] >= 'a' && item[0] <= 'z' ? item[0] - 32 : item[0]);
    const std::string value = item.substr(2);
    if (k == 'I' && !haveI) {
      haveI = true;
      ref.id = StrToIntZero(value);
    } else if (k == 'C' && !haveC) {
      haveC = true;
      ref.cls = StrToByteZero(value);
    } else if (k == 'V' && !haveV) {
      haveV = true;
      ref.valid = value != "0";
    } else if (k == 'N' && !ref.hasName) {
      ref.hasName = true;
      ref.rawName = value;
    }
  }
  Check(info.id == ref.id && info.cls == ref.cls && info.valid == ref.valid &&
        info.hasName == ref.hasName && info.rawName == ref.rawName);
}

// Record line: fields from the bytes (one per NUL-separated piece) are built into a line
// and read back.
void LineRoundTrip(const std::string& bytes) {
  TQStringList fields;
  std::string piece;
  for (char c : bytes) {
    if (c == '\0') {
      fields.Add(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  fields.Add(piece);
  const std::string line = BuildRecordLine(fields);
  Check(!HasBadByte(line));
  std::vector<std::string> back;
  ParseCommaText(line, back);
  if (fields.Count() == 1 && fields.Get(0).empty()) return;  // "" reads as nothing
  Check(back.size() == static_cast<size_t>(fields.Count()));
  for (int i = 0; i < fields.Count(); ++i)
    if (!HasBadByte(fields.Get(i))) Check(back[i] == fields.Get(i));
  ScanAgreesWithCommaText(bytes);
  ScanAgreesWithCommaText(line);
}

// About one input in 32, picked by a hash of all its bytes. Picked by a fixed byte, the
// inputs kept for what the file runs reach would pass that byte on to their mutations,
// and most runs would end up on the disk again; a hash draws anew for every mutation.
bool FileRun(const uint8_t* data, size_t size) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return (hash & 31) == 0;
}

// What every read store must show, however it was read.
void CheckLoaded(TMiniDB& db) {
  // Memory stays proportional to the file: no ID beyond the lines plus a fixed margin.
  Check(db.LastID <= static_cast<int64_t>(db.Lines.size()) + kMaxIDBeyondLines);
  Check(db.IndexLine.size() == static_cast<size_t>(db.LastID) + 1);
  Check(db.Names.size() == db.IndexLine.size() && db.ClassOf.size() == db.IndexLine.size());
  TItemList all;
  db.ListAll(all, false);
  for (int32_t i = 0; i < all.Count(); ++i) {
    int32_t id = all.Get(i);
    Check(db.HasRecord(id));
    Check(db.IndexLine[id] >= 2 && static_cast<size_t>(db.IndexLine[id]) < db.Lines.size());
  }
  TItemList links;
  for (int32_t id = 1; id <= db.LastID && id < 64; ++id) {
    db.GetName(id);
    db.GetLinks(id, 3, links);
    db.GetIniText(id, "x");
  }
  db.FindByName("a", 3, 0);
}

// The bytes as a file, opened as the program opens it. `read` is the store read from the
// same bytes without the file.
void LoadFile(const std::string& bytes, const TMiniDB& read, bool write) {
  const std::string file = Folder() + "Data.ada";
  unlink((file + ".bak").c_str());
  FILE* f = fopen(file.c_str(), "wb");
  if (!f) std::abort();
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  TMiniDB db;
  db.Registry = &Registry();
  db.StationKey = "fuzz";
  db.LocalNow = [] { return 1.0; };
  const bool opened = db.Open(Folder(), "Data", "Fuzz");
  Check(opened == !read.LoadErrorReadOnly);
  if (!opened) {
    Check(db.LoadErrorReadOnly || db.IndexLine.empty());
    return;
  }
  Check(db.Lines == read.Lines && db.LastID == read.LastID && db.IndexLine == read.IndexLine &&
        db.ClassOf == read.ClassOf && db.Valid == read.Valid && db.Names == read.Names);
  CheckLoaded(db);
  if (write && db.LastID < 5000) {
    int32_t id = db.NewRecord(3);
    Check(id == 0 || id == db.LastID);
    if (id) {
      db.SetField(id, "n", bytes.substr(0, 40));
      Check(db.Commit() || db.LoadErrorReadOnly);
      const int32_t last = db.LastID;
      TMiniDB again;
      again.Registry = &Registry();
      again.StationKey = "fuzz2";
      if (!db.LoadErrorReadOnly) {
        Check(again.Open(Folder(), "Data", "Fuzz"));
        Check(again.LastID == last);
        Check(again.GetClass(id) == 3);
      }
    }
  }
}

void LoadStore(const std::string& bytes, bool onDisk, bool write) {
  TMiniDB db;
  if (db.LoadFromBytes(bytes) != ldRead) {
    Check(db.LoadErrorReadOnly && db.IndexLine.empty() && db.Lines.empty());
  } else {
    Check(!db.LoadErrorReadOnly && !db.Opened);
    CheckLoaded(db);
    Check(db.NewRecord(3) == 0);  // nothing to write to
  }
  if (onDisk) LoadFile(bytes, db, write);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const bool onDisk = FileRun(data, size);
  switch (mode & 3) {
    case 0:
      LineRoundTrip(bytes);
      break;
    case 1:
      LoadStore(bytes, onDisk, false);
      break;
    default:
      // Most files start right, so the reader gets past the first line.
      LoadStore("\x01\r\n" + bytes, onDisk, true);
      break;
  }
  return 0;
}
