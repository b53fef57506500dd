#pragma once
// Reading RTF: the receipt templates users design in their word processor, and what the
// program's own editor writes. The parser turns the bytes into a stream of events (text of
// one character format, paragraph ends, pictures, table cells and rows) for a sink that
// builds whatever it wants from them; it knows nothing of widgets.
//
// The subset: fonts, sizes, colours, bold, italic, underline, strike-out, paragraphs with
// alignment, indents, spacing and tab stops, line breaks, tabs, simple tables, PNG and JPEG
// pictures, \uN and \'hh (Windows-1252), field results. Every other control word is
// ignored, and every group starting with \* that we do not know is skipped whole, as are
// the destinations that hold no visible text (style sheet, document info, headers and
// footers, footnotes, field instructions, the old numbering definitions, ...).
//
// Hostile input is bounded: at most 32 MB are read (more is refused before anything is
// reported), groups nested deeper than 100 are skipped (their braces are still counted),
// numeric parameters are clamped to the 32-bit range, and a \binN or a picture never
// reaches past the end of the input. Unbalanced or cut-off input ends the document
// where the input ends; text behind the outermost group is ignored.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kRtfMaxInput = 32u * 1024u * 1024u;
inline constexpr int kRtfMaxDepth = 100;

// The character of a line break inside a paragraph (\line), as Unicode's line separator.
inline constexpr char16_t kRtfLineBreak = u'\x2028';

enum class TRtfAlign : std::uint8_t { Left, Centre, Right, Justify };

struct TRtfCharFormat {
  int font = -1;        // index into the font table; -1: the document's default font
  int halfPoints = 24;  // size in half points (12 pt unless the document says otherwise)
  int colour = 0;       // index into the colour table; 0 is the automatic colour
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  bool operator==(const TRtfCharFormat&) const = default;
};

struct TRtfParaFormat {
  TRtfAlign align = TRtfAlign::Left;
  std::int32_t leftTwips = 0;   // left indent of every line
  std::int32_t rightTwips = 0;  // right indent
  std::int32_t firstTwips = 0;  // first line, relative to the left indent (negative: hanging)
  std::int32_t spaceBeforeTwips = 0;
  std::int32_t spaceAfterTwips = 0;
  bool inTable = false;              // the paragraph belongs to a table cell
  std::vector<std::int32_t> tabStops;  // twips from the left margin, in the order given
  bool operator==(const TRtfParaFormat&) const = default;
};

struct TRtfFont {
  int index = 0;
  std::u16string name;
  int charset = 0;
};

struct TRtfColour {
  bool automatic = true;  // the table's empty entry: the reader's default colour
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

enum class TRtfPictureKind : std::uint8_t { Png, Jpeg };

struct TRtfPicture {
  TRtfPictureKind kind = TRtfPictureKind::Png;
  std::string data;                  // the picture file's bytes
  std::int32_t widthPixels = 0;      // \picw, \pich (0: not given)
  std::int32_t heightPixels = 0;
  std::int32_t goalWidthTwips = 0;   // \picwgoal, \pichgoal (0: not given)
  std::int32_t goalHeightTwips = 0;
  std::int32_t scaleX = 100;         // percent
  std::int32_t scaleY = 100;
};

// The definition of a table row (\trowd ... \cellxN), as it stands when \row ends the row.
struct TRtfRowDef {
  std::vector<std::int32_t> cellRightTwips;  // right edge of each cell, from the row's left
  std::int32_t leftTwips = 0;                // \trleft
  std::int32_t gapTwips = 0;                 // \trgaph: half the space between cells
  bool borders = false;                      // any border was asked for in the row
};

class IRtfSink {
 public:
  virtual ~IRtfSink() = default;
  // An entry of the font table, and the document's default font (\deffN).
  virtual void Font(const TRtfFont&) {}
  virtual void DefaultFont(int /*index*/) {}
  // An entry of the colour table; the first entry has index 0.
  virtual void Colour(int /*index*/, const TRtfColour&) {}
  // Text in one character format; a tab is '\t', a line break kRtfLineBreak. `para` is the
  // paragraph format in force, of which only `inTable` is settled before the paragraph ends.
  virtual void Text(std::u16string_view text, const TRtfCharFormat& chars,
                    const TRtfParaFormat& para) = 0;
  // The end of a paragraph (\par) with its format and the character format at its end.
  virtual void ParagraphEnd(const TRtfParaFormat& para, const TRtfCharFormat& chars) = 0;
  virtual void Picture(const TRtfPicture&, const TRtfCharFormat&, const TRtfParaFormat&) {}
  // The end of a table cell (\cell), which also ends the cell's last paragraph.
  virtual void CellEnd(const TRtfParaFormat& /*para*/, const TRtfCharFormat& /*chars*/) {}
  // The end of a table row (\row).
  virtual void RowEnd(const TRtfRowDef&) {}
  // The end of the document: the last paragraph, which has no \par, ends here.
  virtual void DocumentEnd(const TRtfParaFormat& /*para*/, const TRtfCharFormat& /*chars*/) {}
};

// True when the bytes begin (after blanks and line ends) with "{\rtf".
bool LooksLikeRtf(std::string_view input);

// Reads the RTF text and reports it to the sink. False, with nothing reported, when the
// input exceeds kRtfMaxInput; true otherwise, whatever the input holds.
bool ParseRtf(std::string_view input, IRtfSink& sink);
