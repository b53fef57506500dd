#pragma once
// Shared pieces of the record store tests: a simulated workstation (its own reservation
// registry and station key, a store on the shared folder) and store files built from lines.

#include <memory>
#include <string>
#include <vector>

#include "data/AccessProtection.h"
#include "data/MiniDBUnit.h"
#include "support/TestSupport.h"

// One workstation on the shared folder. The registry outlives the store.
struct TStation {
  TAccessProtectionRegistry registry;
  std::unique_ptr<TMiniDB> db;
  int waits = 0;

  TStation(const std::string& key) : db(std::make_unique<TMiniDB>()) {
    registry.SetSleeper([this](int) { ++waits; });
    db->Registry = &registry;
    db->StationKey = key;
    db->LocalNow = [] { return 46000.5; };
  }
  ~TStation() { db.reset(); }
  bool Open(const TTempDir& dir, const std::string& title = "Data") {
    return db->Open(dir.Dir(), title, "Tessaro");
  }
  TMiniDB* operator->() { return db.get(); }
};

// A store file: the 0x01 line, then the given lines, each ended by CR LF.
inline std::string StoreBytes(const std::vector<std::string>& lines) {
  std::string bytes = "\x01\r\n";
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

inline void WriteStore(const TTempDir& dir, const std::vector<std::string>& lines,
                       const std::string& name = "Data.ada") {
  WriteAllBytes(dir.File(name), StoreBytes(lines));
}

// The lines of a file as written (CR LF ends), without the line ends.
inline std::vector<std::string> FileLines(const std::string& file) {
  std::string bytes = ReadAllBytes(file);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}
