#pragma once
// Remarks ("r"). The store keeps a remark's lines as one comma text
// ("Zeile eins, mit Komma","mit ""Zitat"" darin"), so a stored value never holds a line
// break. Every writer of a remark goes through RemarkToStored, every reader, print and export
// through RemarkLines (or the texts made from it).

#include <string>
#include <vector>

// The stored form of a text whose lines are apart by CR LF, CR or LF (an empty text: "").
std::string RemarkToStored(const std::string& text);
std::string RemarkLinesToStored(const std::vector<std::string>& lines);
// The lines of a stored remark. A value without quotes that no comma text writer would
// make (an older writer kept the plain text "eine Bemerkung") is read as that plain text.
std::vector<std::string> RemarkLines(const std::string& stored);
// The stored remark as a memo shows it: its lines apart by LF.
std::string RemarkToText(const std::string& stored);
// The stored remark as one line: its lines trimmed, empty ones left out, joined by blanks.
std::string RemarkToLine(const std::string& stored);
