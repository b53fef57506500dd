#pragma once
// The installer's texts: the program's language system (basic/MultiLingua.h) with the
// installer's own table of language names, loaded from the language text the installer
// carries in its own file, and written back out for the uninstaller it makes.
//
// The kept language text is what the uninstaller carries: UTF-16 LE bytes with their
// byte-order mark, the same form as the section "Section:Setup.lng".

#include <string>

#include "basic/MultiLingua.h"

// DE, EN, ES, EO, FR, HU, NL, TR ("US" shows the English names through its alias); other
// codes load without names.
const TLanguageNameTable& SetupLanguageNames();

// Loads the lines of a UTF-16 text into the system as a language file would (a leading
// U+FEFF is skipped), keeping the raw lines when asked.
void LoadLanguageText(tMLSystem& system, const std::u16string& text, bool keepRaw);
// The loaded texts as one language text: U+FEFF, then per entry with raw lines its comment
// line (when it has one) and the raw line of every language with a text, then an empty
// line; every line ends with CR LF. Entries without any text give no block.
std::u16string GetLanguageText(const tMLSystem& system);

// Reads "Section:Setup.lng" of the own file; when present and not empty, loads it and keeps
// its bytes as the kept language text. True then.
bool LoadSetupLanguage(tMLSystem& system);
// At program start: LoadSetupLanguage, else the language file named like the own file with
// ".lng" (kept as GetLanguageText of what was loaded). True when texts were loaded.
bool LoadSetupTexts(tMLSystem& system, const std::string& ownFile);
// "<file>.lng": the extension (if any) of the file name exchanged for ".lng".
std::string LanguageFileNameFor(const std::string& file);

const std::string& KeptLanguageText();
void SetKeptLanguageText(std::string bytes);

// UTF-16 text as little-endian bytes, and back (an odd last byte is dropped).
std::string WideToUtf16LEBytes(const std::u16string& text);
std::u16string Utf16LEBytesToWideText(const std::string& bytes);

// A translated text in the program's 1252 form. 1252 lacks the Hungarian double acute
// letters; they become the letters with tilde and circumflex that stood for them wherever
// Hungarian was written in this code page (ő -> õ, ű -> û), instead of a question mark.
std::string SetupTextTo1252(const std::u16string& text);

// A fresh process-wide language system for the installer (source and current language
// "DE", the installer's table of names); returns it.
tMLSystem& InstallSetupLanguageSystem();
