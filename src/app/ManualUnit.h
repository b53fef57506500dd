#pragma once
// The program's manual: the PDF beside the program, opened with the desktop's viewer.

#include <functional>
#include <string>

// The PDF manual in the folder (the program's when empty): "Anleitung_TESSARO.pdf",
// "Anleitung TESSARO.pdf" or "Anleitung.pdf", the first that exists; empty when none.
std::string ManualFileName(const std::string& folder = "");
// Opens a document with the desktop's default application; replaceable for tests.
using TDocumentOpener = std::function<bool(const std::string& file)>;
void SetDocumentOpener(TDocumentOpener opener);
// Opens the manual; "Datei nicht gefunden." when there is none. True when it was opened.
bool OpenManual(const std::string& folder = "");

