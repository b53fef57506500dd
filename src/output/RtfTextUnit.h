#pragma once
// RTF into a QTextDocument and back: how receipt templates, the editor's files and the
// print preview of a filled template travel. The parser (basic/RtfParser.h) reads; the
// builder here turns its events into the document through one cursor with undo off; the
// writer produces RTF that this reader, word processors and the old program's files agree
// on: Windows-1252 text, \'hh for its bytes from 0x80, \uN? beyond it, "\", "{" and "}"
// escaped, so no text the user typed or a template got filled with can break the file.
//
// Document units: the document's lengths (indents, image sizes, column widths) are pixels
// at 96 per inch, as QTextEdit lays them out on screen: one point is 4/3 pixels, one pixel
// 15 twips.

#include <string>

class QTextDocument;

// Twips per document pixel (1440 per inch, 96 pixels per inch).
inline constexpr double kTwipsPerPixel = 15.0;

// Replaces the document's content by the RTF text, or by the bytes as plain Windows-1252
// text when they are no RTF (a ".rtf" that holds plain text opens as the old editor opened
// it). The document ends unmodified and its undo history empty. False, with the document
// unchanged, when the text exceeds the reader's limit (32 MB).
bool LoadRtfIntoDocument(QTextDocument& document, const std::string& bytes);

// Replaces the document's content by plain Windows-1252 text (CR LF, CR or LF end lines).
void LoadPlainTextIntoDocument(QTextDocument& document, const std::string& bytes);

// The document as RTF (ASCII only, CR LF line ends).
std::string DocumentToRtf(const QTextDocument& document);

// The document's text as Windows-1252 with CR LF line ends (characters 1252 lacks
// become "?").
std::string DocumentToPlainText(const QTextDocument& document);
