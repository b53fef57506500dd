#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

#include "platform/OsText.h"

void* PfOpenLibrary(const std::string& path, std::string& error) {
  error.clear();
  if (path.empty()) {
    error = "no library named";
    return nullptr;
  }
  // A name without "/" would be searched along the library path; only the file named is meant.
  std::string osPath = AnsiToOs(path);
  if (osPath.find('/') == std::string::npos) osPath = "./" + osPath;
  void* library = dlopen(osPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    error = why ? OsToAnsi(why) : "cannot load " + path;
  }
  return library;
}

void* PfLibrarySymbol(void* library, const std::string& name) {
  if (!library || name.empty()) return nullptr;
  dlerror();
  return dlsym(library, name.c_str());
}
