#pragma once
// Shared libraries opened at run time and their entry points looked up by name (dlopen and
// dlsym); the one place that knows the system's loader. A library opened here stays loaded
// for the run: the program keeps pointers into it.

#include <string>

// Opens the library at `path` (program text, 1252) with every symbol resolved at once and
// kept local to it. Null when it cannot be loaded; `error` then says why.
void* PfOpenLibrary(const std::string& path, std::string& error);
// The address of the entry point `name`, or null when the library has none.
void* PfLibrarySymbol(void* library, const std::string& name);
