#pragma once
// Qt's own texts (the file and print dialogs, the standard buttons of Qt's dialogs) in the
// program's language. Qt brings them as "qtbase_<language>.qm"; the build puts the ones the
// program offers into its "System/" folder beside the language file, so an installed
// program does not depend on the package that brings them. Where the folder lacks a file,
// Qt's own translations folder is tried.

#include <string>

// Installs Qt's translation for the language alias ("DE", "EN", ...) and removes the one of
// the language before. English is Qt's own and needs none. False when no file was found
// (Qt then speaks English).
bool LoadQtTranslations(const std::string& programDir, const std::string& languageAlias);
// The lower-case alias whose translation is installed; empty when none is.
std::string QtTranslationsLanguage();
// The file "qtbase_<alias>.qm" for the alias: in `programDir` + "System/", else in Qt's
// translations folder; empty when neither has it.
std::string QtTranslationsFile(const std::string& programDir, const std::string& languageAlias);
