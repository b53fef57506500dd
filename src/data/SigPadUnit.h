#pragma once
// What the signature capture needs without a window: the pad driver's raw samples and their
// packing into the points the signature store keeps, the thinning of those points, the text
// sent to the pad's display, the pad's character set and language code, and the saving and
// reading of a signature through the transaction journal.
//
// The character map and the language map are inline so that the virtual pad (a shared
// library of its own, bin/Pad/SOPad.so) shows the display lines with the same table.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/SigDBUnit.h"

// ---- raw samples ---------------------------------------------------------------------------

// One raw sample as the pad driver delivers it (20 bytes). Only x, y, the level, the stroke
// tag and the pressure mean something to the program; the other bytes are the driver's.
struct TFrames {
  std::uint16_t x = 0;          // bytes 0-1
  std::uint16_t y = 0;          // bytes 2-3
  std::uint8_t level = 0;       // byte 4: drawing level
  std::uint8_t unused1[7] = {};
  std::uint8_t strokeTag = 0;   // byte 12: a change from one sample to the next starts a stroke
  std::uint8_t unused2[3] = {};
  std::uint32_t pressure = 0;   // bytes 16-19
};
static_assert(sizeof(TFrames) == 20, "a pad sample is 20 bytes");
static_assert(offsetof(TFrames, level) == 4 && offsetof(TFrames, strokeTag) == 12 &&
                  offsetof(TFrames, pressure) == 16,
              "the driver's sample layout");
constexpr std::size_t kFramesSize = sizeof(TFrames);

using TRawSamples = std::vector<TFrames>;

// One packed point per sample: x, y and level copied; the pressure byte is pressure div 8,
// where 254 and 255 become 253 and anything above 255 becomes 255 (stored records hold
// these values), with bit 0 cleared, or set when the sample's stroke tag differs from the
// previous sample's (always for the first sample).
void PackSignaturePoints(const TRawSamples& samples, TSignaturePoints& points);

// Thins the points in place: every stroke keeps its first, second and last point and the
// point before the next stroke, and loses about every second point between. An empty
// sequence stays empty.
void ReduceSignaturePoints(TSignaturePoints& points);

// What the dialog does with a capture: one pass, then further passes while 680 or more
// points remain, at most 4 passes in all. Returns the number of passes.
constexpr std::size_t kReduceWhileAtLeast = 680;
constexpr int kMaxReducePasses = 4;
int ReduceForDisplay(TSignaturePoints& points);

// ---- the pad's display ---------------------------------------------------------------------

// Characters per display line before a line is cut.
constexpr int kPadLineWidth = 38;
// Display index at which the signature marker's line stands.
constexpr int kPadSignatureLine = 20;

// The pad text the program uses when nothing else is configured.
std::string DefaultPadText();
// The configured pad text; "<BR>" (any case) marks line breaks. It comes from the source
// the program installs (the receipts' print text "PadText"); without one it is the default.
std::string ConfiguredPadText();
using TPadTextSource = std::function<std::string()>;
// Installs where the configured text comes from; an empty source goes back to the default.
void SetPadTextSource(TPadTextSource source);

// The display lines for a signature request: "#KeyCount#", "#Key#" and "#Person#" replaced
// (every occurrence, in one pass, so a name that happens to contain a marker stays as it
// is), "<BR>" and line ends split into lines, lines longer than 38 characters cut after
// their last blank within reach (at 38 without one) until every piece fits, trailing
// blanks dropped, every non-empty line indented by one blank, and the (last) line reading
// "#Signature#" (any case, blanks around it) emptied and moved down to index 20 by empty
// lines before it; then one empty line on top. Line i goes to display line i + 1.
std::vector<std::string> BuildPadTextLines(const std::string& padText, int keyCount,
                                           const std::string& keyNames,
                                           const std::string& personName);
// The lines joined by CR LF: the first text of the stored signature record.
std::string JoinPadTextLines(const std::vector<std::string>& lines);

// The pad's character set: the Windows-1252 characters it shows differently, in the order
// they are looked up. "ë" goes to 0x94 like "ö": the pad shows it as "ö".
struct TPadCharPair {
  unsigned char ansi;
  unsigned char pad;
};
inline constexpr TPadCharPair kPadCharMap[11] = {
    {0xFC, 0x81},  // ü
    {0xDC, 0x9A},  // Ü
    {0xE4, 0x84},  // ä
    {0xC4, 0x8E},  // Ä
    {0xF6, 0x94},  // ö
    {0xD6, 0x99},  // Ö
    {0xEB, 0x94},  // ë
    {0xCB, 0xD3},  // Ë
    {0xDF, 0x7F},  // ß
    {0x92, 0xEF},  // right single quotation mark
    {0xF3, 0xA2},  // ó
};

// A display line in the pad's characters; other characters pass unchanged.
inline std::string MapPadLine(std::string line) {
  for (char& c : line) {
    const auto u = static_cast<unsigned char>(c);
    for (const TPadCharPair& pair : kPadCharMap)
      if (pair.ansi == u) {
        c = static_cast<char>(pair.pad);
        break;
      }
  }
  return line;
}

// The reverse, as the pad reads a line: the first pair with that pad character wins (0x94
// is "ö").
inline std::string UnmapPadLine(std::string line) {
  for (char& c : line) {
    const auto u = static_cast<unsigned char>(c);
    for (const TPadCharPair& pair : kPadCharMap)
      if (pair.pad == u) {
        c = static_cast<char>(pair.ansi);
        break;
      }
  }
  return line;
}

// The pad's language from the program's language code: trimmed and upper-cased, "DE" is
// "D", "FR" is "F", "ES", "PL" and "NL" stay, everything else is "GB".
std::string PadLanguageOf(const std::string& languageCode);

// ---- saving and reading through the journal -------------------------------------------------

// Stores a signature (pad text, points) as a record of the month `period` ("yyyymm") and
// writes its reference into the journal: into record ID of `journalRef` ("yyyy:ID") when it
// names one, else into a new class-13 record of the year of `journalRef` (its first four
// characters, when it has them) or of the period. Returns the journal reference
// ("yyyy:ID"), or "" when the record or the journal write failed: no booking may refer to
// a signature that is not there.
std::string StoreSignature(TSigDB& db, const std::string& period, const std::string& journalRef,
                           const std::string& padText, const TSignaturePoints& points);

// The pad text and the points of the signature that journal reference "yyyy:ID" names.
// False (both empty) for a malformed reference, a missing journal, record or signature, or
// a signature that does not read back intact; no file or folder is created.
bool LoadJournalSignature(TSigDB& db, const std::string& journalRef, std::string& padText,
                          TSignaturePoints& points);
