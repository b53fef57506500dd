#pragma once
// A small key/value store in text files that keeps what the program would keep in a
// system registry. A key path such as "\Software\Merivan\Tessaro" is a folder below the
// scope's root, and the key's values live in one file "values.reg" inside it:
//   user scope     $XDG_CONFIG_HOME (default ~/.config)
//   machine scope  /etc/xdg (writable only with administrator rights)
// With TESSARO_REGISTRY_ROOT set (tests), the roots are <that>/user and <that>/machine.
//
// Key-path components and value names are compared ignoring (ASCII) case. The value file
// is replaced as a whole through a temporary file and a rename, so a reader sees either
// the old or the new file, never half of one. A damaged file is read as far as its lines
// are sound; lines that cannot be read are kept as they are when the file is rewritten.

#include <cstdint>
#include <string>
#include <vector>

enum class TRegScope { User, Machine };

// Strings and integers (a 32-bit number, kept as its decimal text) are written; the other
// types exist so that reading can tell a value that is not a string (the reader then
// treats it as missing).
enum class TRegType { String, ExpandString, Integer, Other };

struct TRegValue {
  TRegType type = TRegType::String;
  std::string name;  // "" is the key's default value
  std::string data;
};

class TRegistryStore {
 public:
  // Roots from the environment (see above).
  TRegistryStore();
  TRegistryStore(std::string userRoot, std::string machineRoot);

  const std::string& Root(TRegScope scope) const;

  // Every sound value of the key, in file order; empty when the key does not exist.
  std::vector<TRegValue> ReadKey(TRegScope scope, const std::string& keyPath) const;
  // False when the key or the value does not exist.
  bool ReadValue(TRegScope scope, const std::string& keyPath, const std::string& name,
                 TRegValue& value) const;
  // Creates the key when needed and sets the value to a plain string. False, with the
  // reason in LastError(), when the key path is invalid or the file cannot be written
  // (for instance the machine scope without administrator rights).
  bool WriteString(TRegScope scope, const std::string& keyPath, const std::string& name,
                   const std::string& value);
  // Likewise, an integer value.
  bool WriteInteger(TRegScope scope, const std::string& keyPath, const std::string& name,
                    uint32_t value);

  // The names of the key's subkeys as they are spelt on disk, sorted by bytes; empty when
  // the key does not exist.
  std::vector<std::string> ListSubkeys(TRegScope scope, const std::string& keyPath) const;
  // Removes the key with its values and every subkey below it. True when the key is gone
  // (also when it never existed); false, with the reason in LastError(), when it could not
  // be removed or the path is invalid. A path of one component (a root key) is refused.
  bool DeleteKey(TRegScope scope, const std::string& keyPath);

  const std::string& LastError() const { return lastError_; }

  // The text form of one value line and its reverse; exposed for tests.
  static std::string FormatLine(const TRegValue& value);
  static bool ParseLine(const std::string& line, TRegValue& value);

 private:
  std::string userRoot_;
  std::string machineRoot_;
  std::string lastError_;

  bool WriteValue(TRegScope scope, const std::string& keyPath, const TRegValue& value);
};

// Components of a key path ("\" or "/" separated, empty parts dropped); false for a path
// that has no component or one that is "." or "..".
bool SplitRegistryKeyPath(const std::string& keyPath, std::vector<std::string>& parts);
