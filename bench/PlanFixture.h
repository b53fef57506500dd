#pragma once
// The plan of the relation and plan benchmarks: 2,000 keys, 300 groups, 5,000 cylinders and
// 5,000 doors as a store file, written directly (no store operations in the timing).

#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "basic/SLUnit.h"
#include "basic/ValueString.h"
#include "data/UnitTR100.h"

constexpr int kKeys = 2000;
constexpr int kGroups = 300;
constexpr int kCylinders = 5000;
constexpr int kDoors = 5000;
constexpr int kPlanSystems = 4;

struct TPlanRecord {
  int cls = 0;
  std::string name;
  int ks = 0;
  std::string keyType;
  std::map<int, std::vector<int32_t>> links;
};

class TPlan {
 public:
  // `systems` locking systems share the records in turn (1: one plan of everything).
  explicit TPlan(int systems = kPlanSystems) {
    std::mt19937 random(4711);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::vector<int32_t> groups, cylinders, doors, keys;
    for (int g = 0; g < kGroups; ++g) groups.push_back(Add(icGroup, "G" + std::to_string(g), 1 + g % systems));
    // A tree: 30 groups at the top, every other group below one of lower number.
    for (int g = 30; g < kGroups; ++g) Link(groups[static_cast<size_t>(g / 10)], groups[static_cast<size_t>(g)], false);
    for (int c = 0; c < kCylinders; ++c) {
      int32_t cyl = Add(icCylinder, "Z" + std::to_string(c), 1 + c % systems);
      cylinders.push_back(cyl);
      Link(groups[static_cast<size_t>(30 + c % (kGroups - 30))], cyl, true);
      if (c % 7 == 0) Link(groups[static_cast<size_t>(30 + pick(kGroups - 30))], cyl, true);
    }
    for (int d = 0; d < kDoors; ++d) {
      // Every 50th door carries a code of its own that differs from its cylinder's.
      int ks = d % 50 == 0 ? 1 + (d + 1) % systems : 1 + d % systems;
      int32_t door = Add(icDoor, "T" + std::to_string(d), ks);
      doors.push_back(door);
      Link(door, cylinders[static_cast<size_t>(d)], true);
    }
    for (int k = 0; k < kKeys; ++k) {
      std::string type = k < 20 ? "5" : (k < 400 ? "2" : "1");
      int32_t key = Add(icKey, "S" + std::to_string(k), 1 + k % systems, type);
      keys.push_back(key);
      if (k < 20) continue;
      if (k < 400) {
        Link(key, groups[static_cast<size_t>(pick(kGroups))], true);
      } else {
        for (int n = 1 + pick(3); n > 0; --n) Link(key, cylinders[static_cast<size_t>(pick(kCylinders))], true);
        if (k % 10 == 0) Link(key, doors[static_cast<size_t>(pick(kDoors))], true);
      }
    }
    keys_ = keys;
    doors_ = doors;
  }

  void Write(const std::string& file) const {
    std::ofstream out(file, std::ios::binary);
    out << "\x01\r\nLastID=" << records_.size() << "\r\nFileTitle=\r\nAppName=Tessaro\r\nAppOptions=\r\n";
    std::vector<std::string> items;
    for (size_t i = 0; i < records_.size(); ++i) {
      const TPlanRecord& r = records_[i];
      items.clear();
      items.push_back("i=" + std::to_string(i + 1));
      items.push_back("c=" + std::to_string(r.cls));
      items.push_back("n=" + ScrambleStr(r.name));
      if (r.ks) items.push_back("ks=" + ScrambleStr(std::to_string(r.ks)));
      if (!r.keyType.empty()) items.push_back("kt=" + ScrambleStr(r.keyType));
      for (const auto& [kind, ids] : r.links) {
        std::string list;
        for (int32_t id : ids) list += (list.empty() ? "" : ";") + std::to_string(id);
        items.push_back("l" + std::to_string(kind) + "=" + list);
      }
      out << BuildCommaText(items) << "\r\n";
    }
  }

  const std::vector<int32_t>& Keys() const { return keys_; }
  const std::vector<int32_t>& Doors() const { return doors_; }

 private:
  int32_t Add(int cls, const std::string& name, int ks, const std::string& keyType = "") {
    records_.push_back({cls, name, ks, keyType, {}});
    return static_cast<int32_t>(records_.size());
  }
  TPlanRecord& At(int32_t id) { return records_[static_cast<size_t>(id - 1)]; }
  void Link(int32_t a, int32_t b, bool bothSides) {
    At(a).links[At(b).cls].push_back(b);
    if (bothSides) At(b).links[At(a).cls].push_back(a);
  }

  std::vector<TPlanRecord> records_;
  std::vector<int32_t> keys_, doors_;
};
