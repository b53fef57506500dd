#pragma once
// The installer's tests run in a home of their own: a temporary HOME without the XDG
// variables, a registry root of their own, a fresh run state and an installer file of
// their own (a small image with the payload the test builds) as the "running program".

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "basic/SLUnit.h"
#include "platform/PlatformFiles.h"
#include "setup/SelfLoadSectionsUnit.h"
#include "setup/SetupLanguageUnit.h"
#include "setup/SetupMainUnit.h"
#include "support/RegistryTestRoot.h"
#include "support/TestSupport.h"

// Sets or removes an environment variable for the lifetime of the object.
class TEnvScope {
 public:
  TEnvScope(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~TEnvScope() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }
  TEnvScope(const TEnvScope&) = delete;
  TEnvScope& operator=(const TEnvScope&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// One file the payload carries.
struct TPayloadFile {
  std::string bytes;
  bool compressed = false;
};

class TSetupHome {
 public:
  TSetupHome()
      : home_("HOME", root_.Path().c_str()),
        config_("XDG_CONFIG_HOME", nullptr),
        data_("XDG_DATA_HOME", nullptr),
        state_("XDG_STATE_HOME", nullptr) {
    Fresh();
  }
  ~TSetupHome() {
    ResetSetupState();
    ResetSelfSections();
    SetKeptLanguageText("");
  }

  // A new process: run state and own file forgotten; an ordinary user.
  void Fresh() {
    ResetSetupState();
    ResetSelfSections();
    SetKeptLanguageText("");
    SetupState().isAdmin = false;
    SetupState().startProcess = [this](const std::string& program,
                                       const std::vector<std::string>& args,
                                       const TProcessStartOptions& options) {
      started.push_back({program, args, options});
      TProcessStartResult r;
      r.started = true;
      return r;
    };
  }

  std::string Home() const { return root_.Dir(); }
  std::string Pgm() const { return Home() + ".local/opt/Tessaro/"; }
  const TRegistryTestRoot& Registry() const { return registry_; }

  // The installer file: an image and the sections (language, commands, files).
  std::string MakeInstaller(const std::vector<std::string>& commands,
                            const std::vector<TPayloadFile>& files = {},
                            const std::string& language = "") {
    std::string cmd, data;
    for (const std::string& line : commands) cmd += line + "\r\n";
    for (const TPayloadFile& f : files) data += f.compressed ? CompressBytes(f.bytes) : f.bytes;
    std::vector<TSectionSpec> sections;
    if (!language.empty()) sections.push_back({kSectionLanguage, language});
    sections.push_back({kSectionCommands, CompressBytes(cmd)});
    if (!data.empty()) sections.push_back({kSectionFiles, CompressBytes(data)});
    return Image() + BuildSectionArea(sections);
  }
  // Writes it as the running program's file.
  std::string UseInstaller(const std::string& bytes) {
    const std::string file = tools_.Dir() + "Setup";
    WriteAllBytes(file, bytes);
    SetSelfFileName(file);
    return file;
  }
  static std::string Image() { return std::string("\x7F" "ELF image of the installer", 27); }
  std::string ToolsDir() const { return tools_.Dir(); }

  struct TStart {
    std::string program;
    std::vector<std::string> args;
    TProcessStartOptions options;
  };
  std::vector<TStart> started;

 private:
  TTempDir root_;
  TTempDir tools_;
  TEnvScope home_, config_, data_, state_;
  TRegistryTestRoot registry_;
};

// A save command for `bytes` as carried (raw or compressed).
inline std::string SaveLine(const std::string& file, const TPayloadFile& f,
                            const std::string& extra = "") {
  std::vector<std::string> items = {"action=save", "Filename=" + file,
                                    "OrigLen=" + std::to_string(f.bytes.size())};
  if (f.compressed) items.push_back("ComprLen=" + std::to_string(CompressBytes(f.bytes).size()));
  return BuildCommaText(items) + extra;
}

inline unsigned ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

inline bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// Every path below a folder, relative, sorted.
inline std::vector<std::string> TreeOf(const std::string& folder) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    paths.push_back(std::filesystem::relative(it->path(), folder).string() +
                    (it->is_directory() ? "/" : ""));
  std::sort(paths.begin(), paths.end());
  return paths;
}

inline const char* kPathLine =
    "action=path,Registry=Merivan\\Tessaro,Version=1.0,Lng=DE,PgmPath=*Programs*Tessaro\\,"
    "DataPath=*PgmPath*DemoData\\,MyStartMenu=*StartMenu*";
