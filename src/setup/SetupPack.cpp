// SetupPack: our build tool that turns a built Setup into the installer file. It appends the
// payload sections to the program image:
//
//   SetupPack --image <built Setup> --bin <folder of the built programs>
//             --commands <command list> --language <language file> [--level 1-9]
//             --out <installer>
//
// The command list is the installer's (one comma text of Name=Value pairs a line; empty
// lines and lines starting with "//" are skipped), with two additions for this tool:
//   action=save,Source=<file below --bin>,Filename=...[,Mode=755]
//       carries that file; OrigLen is filled in, Mode defaults to the file's own (755 when
//       anybody may execute it, else 644)
//   action=savetree,Source=<folder below --bin>,Filename=<target folder>
//       becomes one save per file below that folder, in name order
// Source is removed from the lines the installer gets. The files travel raw, one after
// another, in the one zlib stream of "Section:Setup.bin"; the command list is compressed
// into "Section:Setup.cmd"; the language file goes in as UTF-16 LE with its mark
// ("Section:Setup.lng"; a 1252 file is converted). A check section closes the file.
// --level sets the files' zlib level (default zlib's own): test builds pack fast.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "basic/SLUnit.h"
#include "basic/UnicodeFunUnit.h"
#include "basic/Cp1252.h"
#include "setup/SelfLoadSectionsUnit.h"
#include "setup/SetupLanguageUnit.h"

namespace fs = std::filesystem;

namespace {

struct TPackError {
  std::string text;
};

[[noreturn]] void Fail(const std::string& text) { throw TPackError{text}; }

// In one read: the files are the built programs, hundreds of megabytes in a debug build.
std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) Fail("cannot read " + file.string());
  std::string bytes(static_cast<size_t>(in.tellg()), '\0');
  in.seekg(0);
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
    Fail("cannot read " + file.string());
  return bytes;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string ModeOf(const fs::path& file) {
  struct stat st {};
  if (stat(file.c_str(), &st) != 0) Fail("cannot read " + file.string());
  return (st.st_mode & 0111) != 0 ? "755" : "644";
}

// One save line for a file of bin/.
std::string SaveLine(TQStringList cmd, const fs::path& file, const std::string& target,
                     std::string& data) {
  const std::string bytes = ReadFile(file);
  if (bytes.empty()) Fail("an empty file cannot be carried: " + file.string());
  data += bytes;
  cmd.SetValue("Source", "");
  cmd.SetValue("Filename", target);
  cmd.SetValue("OrigLen", std::to_string(bytes.size()));
  cmd.SetValue("ComprLen", "");
  if (cmd.Value("Mode").empty()) cmd.SetValue("Mode", ModeOf(file));
  return cmd.GetCommaText();
}

std::string LanguageSection(const std::string& bytes) {
  int markLength = 0;
  switch (DetectTextEncoding(bytes.data(), bytes.size(), markLength)) {
    case teUtf16LE:
      return bytes;
    case teNone:
      return WideToUtf16LEBytes(u"\xFEFF" + Cp1252ToUtf16(bytes));
    default:
      Fail("the language file is neither UTF-16 LE with its mark nor 1252 text");
  }
}

int Pack(const std::vector<std::string>& args) {
  std::string image, bin, commands, language, out;
  int level = -1;
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    const std::string& key = args[i];
    const std::string& value = args[i + 1];
    if (key == "--image") image = value;
    else if (key == "--bin") bin = value;
    else if (key == "--commands") commands = value;
    else if (key == "--language") language = value;
    else if (key == "--out") out = value;
    else if (key == "--level") {
      if (value.size() != 1 || value[0] < '1' || value[0] > '9') Fail("--level takes 1 to 9");
      level = value[0] - '0';
    }
    else Fail("unknown option " + key);
  }
  if (args.size() % 2 != 0 || image.empty() || bin.empty() || commands.empty() || out.empty())
    Fail("usage: SetupPack --image FILE --bin FOLDER --commands FILE [--language FILE] "
         "[--level 1-9] --out FILE");

  const std::string imageBytes = ReadFile(image);
  // The image must be a plain program: the installer finds its payload by the markers.
  for (const char* name : {kSectionBeginningMark, kSectionLanguage, kSectionCommands,
                           kSectionFiles, kSectionUninstall, kSectionCheck}) {
    size_t length = 0;
    if (FindSectionMark(name, imageBytes, length) != 0)
      Fail(image + " holds the marker of " + name + " (packed already?)");
  }

  std::string cmdText, data;
  for (const std::string& line : SplitLines(ReadFile(commands))) {
    if (line.empty() || line.rfind("//", 0) == 0) continue;
    TQStringList cmd;
    cmd.SetCommaText(line);
    const std::string action = cmd.Value("action");
    const std::string source = cmd.Value("Source");
    if ((action == "save" || action == "saveifnotexists") && !source.empty()) {
      cmdText += SaveLine(cmd, fs::path(bin) / source, cmd.Value("Filename"), data) + "\r\n";
    } else if (action == "savetree") {
      const fs::path root = fs::path(bin) / source;
      if (source.empty() || !fs::is_directory(root)) Fail("no folder " + root.string());
      std::vector<fs::path> files;
      for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
      std::string target = cmd.Value("Filename");
      if (!target.empty() && target.back() != '/' && target.back() != '\\') target += '/';
      TQStringList save = cmd;
      save.SetValue("action", "save");
      for (const fs::path& file : files)
        cmdText += SaveLine(save, file, target + fs::relative(file, root).generic_string(), data) +
                   "\r\n";
    } else {
      cmdText += line + "\r\n";
    }
  }

  std::vector<TSectionSpec> sections;
  if (!language.empty()) sections.push_back({kSectionLanguage, LanguageSection(ReadFile(language))});
  sections.push_back({kSectionCommands, CompressBytes(cmdText)});
  if (!data.empty()) sections.push_back({kSectionFiles, CompressBytes(data, level)});
  for (const TSectionSpec& s : sections)
    if (s.data.empty()) Fail("cannot compress " + s.name);
  const std::string packed = imageBytes + BuildSectionArea(sections);
  if (ParseSectionFile(packed).status != TSectionsStatus::Sound) Fail("the packed file does not read back");

  // Written beside the target and renamed over it: never a half-written installer.
  const fs::path target(out);
  if (target.has_parent_path()) fs::create_directories(target.parent_path());
  const fs::path tmp = target.string() + ".tmp";
  {
    std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
    file.write(packed.data(), static_cast<std::streamsize>(packed.size()));
    if (!file.flush()) Fail("cannot write " + tmp.string());
  }
  fs::permissions(tmp, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec);
  fs::rename(tmp, target);
  std::printf("SetupPack: %s (%zu bytes of files)\n", out.c_str(), data.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Pack(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const TPackError& e) {
    std::fprintf(stderr, "SetupPack: %s\n", e.text.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "SetupPack: %s\n", e.what());
  }
  return 1;
}
