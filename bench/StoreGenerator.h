#pragma once
// The generated record store of the store benchmarks: a realistic mix of buildings, doors
// with cylinders, keys with holder lines, persons, groups, links in both directions with
// link values, remarks and GUIDs. One file per size, made on first use in a temporary
// folder that goes when the program ends. The same seed gives the same file in every
// benchmark program.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <stdlib.h>

#include "basic/FileCtrl2.h"
#include "basic/SLUnit.h"
#include "basic/ValueString.h"

namespace {

std::string Rot(const std::string& s) { return ScrambleStr(s); }

// One generated store file per size, kept for the whole run.
struct TFixture {
  std::string folder;
  std::string file;
  int64_t size = 0;
  int32_t records = 0;
  std::string probeName;  // a person's name to look for
};

std::string Quote(const std::string& item) {
  std::string out;
  AppendCommaItem(out, item);
  return out;
}

// The generated folders go when the program ends.
struct TFixtures : std::map<int32_t, TFixture> {
  ~TFixtures() {
    std::error_code ec;
    for (auto& [n, f] : *this) std::filesystem::remove_all(f.folder, ec);
  }
};

TFixture& Fixture(int32_t records) {
  static TFixtures fixtures;
  auto it = fixtures.find(records);
  if (it != fixtures.end()) return it->second;
  TFixture& f = fixtures[records];
  char tmpl[] = "/tmp/bench_store-XXXXXX";
  f.folder = std::string(mkdtemp(tmpl)) + "/";
  f.file = f.folder + "Data.ada";
  f.records = records;

  std::mt19937 rng(records);
  auto pick = [&](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  // Shares of the mix: 2% buildings, 25% doors, 8% cylinders, 35% keys, 25% persons,
  // 5% groups.
  std::vector<int> classOf(records + 1);
  std::vector<std::vector<int32_t>> byClass(256);
  for (int32_t id = 1; id <= records; ++id) {
    int r = pick(0, 99);
    int cls = r < 2 ? 2 : r < 27 ? 3 : r < 35 ? 6 : r < 70 ? 4 : r < 95 ? 5 : 7;
    if (id == 1) cls = 12;
    classOf[id] = cls;
    byClass[cls].push_back(id);
  }
  auto any = [&](int cls) {
    const auto& v = byClass[cls];
    return v.empty() ? 0 : v[pick(0, static_cast<int32_t>(v.size()) - 1)];
  };
  // Links, made in both directions.
  std::vector<std::map<int, std::vector<int32_t>>> links(records + 1);
  auto link = [&](int32_t a, int32_t b) {
    if (a && b && a != b) {
      links[a][classOf[b]].push_back(b);
      links[b][classOf[a]].push_back(a);
    }
  };
  for (int32_t id = 1; id <= records; ++id) {
    switch (classOf[id]) {
      case 3: link(id, any(2)); link(id, any(6)); break;
      case 4:
        for (int n = pick(1, 4); n > 0; --n) link(id, any(3));
        if (pick(0, 2) == 0) link(id, any(7));
        link(id, any(5));
        break;
      default: break;
    }
  }
  std::vector<std::string> lines = {"\x01", "LastID=" + std::to_string(records), "FileTitle=",
                                    "AppName=Tessaro", "AppOptions=",
                                    "KeysystemNames=Hauptanlage,Nebenanlage"};
  const char* first[] = {"Anna", "Bernd", "Carla", "Dieter", "Eva", "Fritz", "G\xFCnter"};
  const char* last[] = {"M\xFCller", "Schmidt", "Schneider", "Fischer", "Weber", "Meyer"};
  for (int32_t id = 1; id <= records; ++id) {
    const int cls = classOf[id];
    std::string line = "i=" + std::to_string(id) + ",c=" + std::to_string(cls);
    auto field = [&](const std::string& key, const std::string& value) {
      line += "," + Quote(key + "=" + Rot(value));
    };
    switch (cls) {
      case 2: field("n", "Geb\xE4ude " + std::to_string(id)); field("Adr", "Hauptstra\xDF" "e 1"); break;
      case 3:
        field("n", "Raum " + std::to_string(pick(1, 999)) + "." + std::to_string(id));
        field("flr", std::to_string(pick(0, 5)));
        field("ks", std::to_string(pick(1, 3)));
        break;
      case 6: field("n", "Z" + std::to_string(id)); field("len", "30/35"); break;
      case 4: {
        field("n", "S " + std::to_string(id));
        field("ks", std::to_string(pick(1, 3)));
        field("cnt", std::to_string(pick(0, 5)));
        field("total", "5");
        std::string own;
        for (int n = pick(1, 3); n > 0; --n)
          own += "5:" + std::to_string(any(5)) + ";1;2024-0" + std::to_string(pick(1, 9)) +
                 "-1" + std::to_string(pick(0, 9)) + "\xA0" "08:15:00;;|";
        field("own", own);
        break;
      }
      case 5: {
        std::string name = std::string(first[pick(0, 6)]) + " " + std::to_string(id);
        field("n", name);
        field("n2", last[pick(0, 5)]);
        field("Abt", "Abteilung " + std::to_string(pick(1, 20)));
        field("Nr", std::to_string(10000 + id));
        if (f.probeName.empty() && id > records * 9 / 10) f.probeName = name;
        break;
      }
      case 7: field("n", "Gruppe " + std::to_string(id)); break;
      case 12: field("ini", "FormSeqNo=17,MandantName=Werk"); break;
    }
    for (const auto& [kind, ids] : links[id]) {
      std::string list;
      for (int32_t t : ids) list += (list.empty() ? "" : ";") + std::to_string(t);
      line += ",l" + std::to_string(kind) + "=" + list;
      if (kind == 5) line += "," + Quote("o" + std::to_string(ids[0]) + "=" + Rot("seit=2023-05-01"));
    }
    if (pick(0, 9) == 0) field("r", "Bemerkung zu Datensatz " + std::to_string(id));
    field("GUID", "0000." + std::to_string(id));
    lines.push_back(std::move(line));
  }
  if (!SaveTextFileSafe(lines, f.file, false)) std::abort();
  f.size = static_cast<int64_t>(std::filesystem::file_size(f.file));
  return f;
}

}  // namespace
