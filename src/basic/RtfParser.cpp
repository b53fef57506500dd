#include "basic/RtfParser.h"

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_map>

#include "basic/Cp1252.h"

namespace {

// What the text of a group means.
enum class TDest : std::uint8_t { Normal, Skip, FontTable, ColourTable, Picture };

enum class TKw : std::uint8_t {
  // destinations
  SkipDest, FontTable, ColourTable, Pict, KnownDest,
  // character format
  Plain, Bold, Italic, Underline, UnderlineNone, Strike, Font, FontSize, Colour, FontCharset,
  DefaultFont, Uc, U, Bin,
  // paragraph format
  Pard, AlignLeft, AlignCentre, AlignRight, AlignJustify, LeftIndent, RightIndent, FirstIndent,
  SpaceBefore, SpaceAfter, InTable, TabStop,
  // breaks and special characters
  Par, Line, Tab, Cell, NestCell, Row, NestRow, Char,
  // tables
  RowDefault, CellX, RowLeft, RowGap, Border,
  // colour table
  Red, Green, Blue,
  // pictures
  PngBlip, JpegBlip, OtherBlip, PicW, PicH, PicWGoal, PicHGoal, PicScaleX, PicScaleY,
};

struct TKwInfo {
  TKw kw;
  char16_t ch = 0;  // TKw::Char: the character
};

const std::unordered_map<std::string_view, TKwInfo>& Keywords() {
  static const std::unordered_map<std::string_view, TKwInfo> table = [] {
    std::unordered_map<std::string_view, TKwInfo> t;
    // Destinations without visible text of their own.
    for (std::string_view w :
         {"stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer", "footerl",
          "footerr", "footerf", "footnote", "annotation", "pn", "pnseclvl", "fldinst",
          "nonshppict", "objdata", "objclass", "falt", "panose", "xe", "tc", "txe", "template",
          "revtbl", "rsidtbl", "listtable", "listoverridetable", "generator", "themedata",
          "colorschememapping", "latentstyles", "datastore", "pgdsctbl", "filetbl", "docvar",
          "userprops", "xmlnstbl", "atnid", "atnauthor", "atnref", "atndate", "bkmkstart",
          "bkmkend", "shpinst", "picprop", "blipuid", "comment", "author", "title", "subject",
          "operator", "keywords", "doccomm", "company", "private", "fchars", "lchars",
          "mmathPr", "wgrffmtfilter", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc",
          "aftncn", "pgptbl", "protusertbl", "fontemb", "fontfile", "formfield", "datafield"})
      t[w] = {TKw::SkipDest};
    // Destinations whose text shows (also behind \*).
    for (std::string_view w : {"rtf", "field", "fldrslt", "shppict", "ud", "result", "pntext",
                               "listtext", "shprslt", "shp"})
      t[w] = {TKw::KnownDest};
    t["fonttbl"] = {TKw::FontTable};
    t["colortbl"] = {TKw::ColourTable};
    t["pict"] = {TKw::Pict};

    t["plain"] = {TKw::Plain};
    t["b"] = {TKw::Bold};
    t["i"] = {TKw::Italic};
    for (std::string_view w :
         {"ul", "uld", "uldb", "ulw", "ulwave", "uldash", "uldashd", "uldashdd", "ulth",
          "ulhwave", "ulldash", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash",
          "ululdbwave"})
      t[w] = {TKw::Underline};
    t["ulnone"] = {TKw::UnderlineNone};
    t["strike"] = {TKw::Strike};
    t["striked"] = {TKw::Strike};
    t["f"] = {TKw::Font};
    t["fs"] = {TKw::FontSize};
    t["cf"] = {TKw::Colour};
    t["fcharset"] = {TKw::FontCharset};
    t["deff"] = {TKw::DefaultFont};
    t["uc"] = {TKw::Uc};
    t["u"] = {TKw::U};
    t["bin"] = {TKw::Bin};

    t["pard"] = {TKw::Pard};
    t["ql"] = {TKw::AlignLeft};
    t["qc"] = {TKw::AlignCentre};
    t["qr"] = {TKw::AlignRight};
    t["qj"] = {TKw::AlignJustify};
    t["li"] = {TKw::LeftIndent};
    t["lin"] = {TKw::LeftIndent};
    t["ri"] = {TKw::RightIndent};
    t["rin"] = {TKw::RightIndent};
    t["fi"] = {TKw::FirstIndent};
    t["sb"] = {TKw::SpaceBefore};
    t["sa"] = {TKw::SpaceAfter};
    t["intbl"] = {TKw::InTable};
    t["tx"] = {TKw::TabStop};

    t["par"] = {TKw::Par};
    t["sect"] = {TKw::Par};
    t["page"] = {TKw::Par};
    t["line"] = {TKw::Line};
    t["tab"] = {TKw::Tab};
    t["cell"] = {TKw::Cell};
    t["nestcell"] = {TKw::NestCell};
    t["row"] = {TKw::Row};
    t["nestrow"] = {TKw::NestRow};
    t["emdash"] = {TKw::Char, u'\x2014'};
    t["endash"] = {TKw::Char, u'\x2013'};
    t["bullet"] = {TKw::Char, u'\x2022'};
    t["lquote"] = {TKw::Char, u'\x2018'};
    t["rquote"] = {TKw::Char, u'\x2019'};
    t["ldblquote"] = {TKw::Char, u'\x201C'};
    t["rdblquote"] = {TKw::Char, u'\x201D'};
    t["emspace"] = {TKw::Char, u'\x2003'};
    t["enspace"] = {TKw::Char, u'\x2002'};
    t["qmspace"] = {TKw::Char, u'\x2005'};

    t["trowd"] = {TKw::RowDefault};
    t["cellx"] = {TKw::CellX};
    t["trleft"] = {TKw::RowLeft};
    t["trgaph"] = {TKw::RowGap};
    for (std::string_view w : {"clbrdrt", "clbrdrb", "clbrdrl", "clbrdrr", "trbrdrt",
                               "trbrdrb", "trbrdrl", "trbrdrr", "trbrdrh", "trbrdrv"})
      t[w] = {TKw::Border};

    t["red"] = {TKw::Red};
    t["green"] = {TKw::Green};
    t["blue"] = {TKw::Blue};

    t["pngblip"] = {TKw::PngBlip};
    t["jpegblip"] = {TKw::JpegBlip};
    for (std::string_view w : {"wmetafile", "emfblip", "macpict", "dibitmap", "wbitmap",
                               "pmmetafile"})
      t[w] = {TKw::OtherBlip};
    t["picw"] = {TKw::PicW};
    t["pich"] = {TKw::PicH};
    t["picwgoal"] = {TKw::PicWGoal};
    t["pichgoal"] = {TKw::PicHGoal};
    t["picscalex"] = {TKw::PicScaleX};
    t["picscaley"] = {TKw::PicScaleY};
    return t;
  }();
  return table;
}

// Destinations behind \* that we read rather than skip.
bool ReadBehindStar(std::string_view word) {
  return word == "shppict" || word == "ud" || word == "fldrslt";
}

const std::array<char16_t, 256>& Cp1252Table() {
  static const std::array<char16_t, 256> table = [] {
    std::array<char16_t, 256> t{};
    for (int i = 0; i < 256; ++i)
      t[i] = static_cast<char16_t>(Cp1252ToUnicode(static_cast<unsigned char>(i)));
    return t;
  }();
  return table;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::uint8_t ColourPart(std::int32_t v) {
  return static_cast<std::uint8_t>(std::clamp<std::int32_t>(v, 0, 255));
}

// A twips value for an indent or a spacing: the clamped parameter, kept within what a page
// can hold (a mile of indent helps nobody and overflows the layout's arithmetic).
std::int32_t Twips(std::int32_t v) { return std::clamp<std::int32_t>(v, -31680 * 20, 31680 * 20); }

struct TGroup {
  TRtfCharFormat chars;
  TRtfParaFormat para;
  TDest dest = TDest::Normal;
  int uc = 1;
  bool star = false;  // \* seen: the next control word decides whether the group is read
};

class TParser {
 public:
  TParser(std::string_view input, IRtfSink& sink) : in_(input), sink_(sink) {}

  void Run() {
    stack_.emplace_back();  // the state outside every group
    const std::size_t n = in_.size();
    while (pos_ < n && !done_) {
      switch (in_[pos_]) {
        case '{':
          ++pos_;
          OpenGroup();
          break;
        case '}':
          ++pos_;
          CloseGroup();
          break;
        case '\\':
          ++pos_;
          Control();
          break;
        default:
          PlainText();
      }
    }
    if (!ended_) {
      Flush();
      sink_.DocumentEnd(G().para, G().chars);
    }
  }

 private:
  TGroup& G() { return stack_.back(); }

  // ---- groups

  void OpenGroup() {
    skip_ = 0;
    if (overflow_ > 0 || stack_.size() > static_cast<std::size_t>(kRtfMaxDepth)) {
      ++overflow_;
      return;
    }
    TGroup g = G();
    g.star = false;
    stack_.push_back(std::move(g));
  }

  void CloseGroup() {
    skip_ = 0;
    if (overflow_ > 0) {
      --overflow_;
      return;
    }
    if (stack_.size() == 1) return;  // a stray brace outside every group
    TGroup& g = G();
    if (g.dest == TDest::FontTable) EmitFont();
    if (pictActive_ && stack_.size() == pictDepth_) EmitPicture();
    if (stack_.size() == 2) {
      // The outermost group ends the document; what follows it is not ours.
      Flush();
      sink_.DocumentEnd(g.para, g.chars);
      ended_ = true;
      done_ = true;
    }
    stack_.pop_back();
  }

  // ---- control words and symbols

  void Control() {
    const std::size_t n = in_.size();
    if (pos_ >= n) return;
    const char c = in_[pos_];
    if (!IsLetter(c)) {
      ++pos_;
      Symbol(c);
      return;
    }
    const std::size_t start = pos_;
    while (pos_ < n && IsLetter(in_[pos_])) ++pos_;
    const std::string_view word = in_.substr(start, pos_ - start);
    bool hasParam = false;
    bool negative = false;
    std::int64_t value = 0;
    if (pos_ + 1 < n && in_[pos_] == '-' && IsDigit(in_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    while (pos_ < n && IsDigit(in_[pos_])) {
      hasParam = true;
      value = std::min(value * 10 + (in_[pos_] - '0'), kLimit);
      ++pos_;
    }
    if (pos_ < n && in_[pos_] == ' ') ++pos_;
    std::int32_t param;
    if (negative)
      param = static_cast<std::int32_t>(-value);
    else
      param = static_cast<std::int32_t>(std::min<std::int64_t>(value, kLimit - 1));
    Word(word, hasParam, param);
  }

  void Symbol(char c) {
    if (c == '\'') {
      const std::size_t n = in_.size();
      const int h1 = pos_ < n ? HexValue(in_[pos_]) : -1;
      if (h1 < 0) return;  // not an escape after all: the bytes are read as they come
      ++pos_;
      const int h2 = pos_ < n ? HexValue(in_[pos_]) : -1;
      if (h2 < 0) return;  // half an escape is dropped
      ++pos_;
      if (Skipping()) return;
      Byte(static_cast<unsigned char>(h1 * 16 + h2));
      return;
    }
    if (Skipping()) return;
    switch (c) {
      case '\\':
      case '{':
      case '}':
        Byte(static_cast<unsigned char>(c));
        break;
      case '~':
        Unit(u'\xA0');
        break;
      case '_':
        Unit(u'\x2011');
        break;
      case '-':
        Unit(u'\xAD');
        break;
      case '*':
        if (overflow_ == 0) G().star = true;
        break;
      case '\r':
      case '\n':
        if (Normal()) Par();
        break;
      case '\t':
        Unit(u'\t');
        break;
      default:
        break;
    }
  }

  // True when this control or character is swallowed: inside groups too deep to read, or
  // as one of the characters that stand in for the last \uN.
  bool Skipping() {
    if (overflow_ > 0) return true;
    if (skip_ > 0) {
      --skip_;
      return true;
    }
    return false;
  }

  bool Normal() { return overflow_ == 0 && G().dest == TDest::Normal; }

  void Word(std::string_view word, bool hasParam, std::int32_t param) {
    const auto& table = Keywords();
    const auto it = table.find(word);
    const TKwInfo info = it == table.end() ? TKwInfo{TKw::Char, 0} : it->second;
    const bool known = it != table.end();

    // \bin's bytes are skipped whatever state we are in, or they would be read as RTF.
    if (known && info.kw == TKw::Bin) {
      const std::size_t count =
          std::min<std::size_t>(hasParam && param > 0 ? static_cast<std::size_t>(param) : 0,
                                in_.size() - pos_);
      const std::string_view bytes = in_.substr(pos_, count);
      pos_ += count;
      if (overflow_ == 0 && G().dest == TDest::Picture && pictKnown_) pict_.data.append(bytes);
      return;
    }
    if (overflow_ > 0) return;
    if (skip_ > 0) {
      --skip_;
      return;
    }
    TGroup& g = G();
    if (g.star) {
      g.star = false;
      if (!known || (info.kw != TKw::SkipDest && !ReadBehindStar(word))) {
        g.dest = TDest::Skip;
        return;
      }
    }
    if (!known || g.dest == TDest::Skip) return;

    switch (g.dest) {
      case TDest::Skip:
        return;
      case TDest::FontTable:
        FontTableWord(info.kw, param);
        return;
      case TDest::ColourTable:
        if (info.kw == TKw::Red) colour_.red = ColourPart(param), colour_.automatic = false;
        if (info.kw == TKw::Green) colour_.green = ColourPart(param), colour_.automatic = false;
        if (info.kw == TKw::Blue) colour_.blue = ColourPart(param), colour_.automatic = false;
        return;
      case TDest::Picture:
        PictureWord(info.kw, param);
        return;
      case TDest::Normal:
        break;
    }
    NormalWord(info, hasParam, param);
  }

  void FontTableWord(TKw kw, std::int32_t param) {
    switch (kw) {
      case TKw::Font:
        EmitFont();
        font_ = TRtfFont{};
        font_.index = std::max(param, 0);
        fontPending_ = true;
        break;
      case TKw::FontCharset:
        font_.charset = param;
        break;
      case TKw::SkipDest:
        G().dest = TDest::Skip;
        break;
      case TKw::U:
        FontChar(UnitOf(param));
        skip_ = G().uc;
        break;
      default:
        break;
    }
  }

  void PictureWord(TKw kw, std::int32_t param) {
    switch (kw) {
      case TKw::PngBlip:
        pict_.kind = TRtfPictureKind::Png;
        pictKnown_ = true;
        break;
      case TKw::JpegBlip:
        pict_.kind = TRtfPictureKind::Jpeg;
        pictKnown_ = true;
        break;
      case TKw::OtherBlip:
        pictKnown_ = false;
        pict_.data.clear();
        break;
      case TKw::PicW:
        pict_.widthPixels = std::max(param, 0);
        break;
      case TKw::PicH:
        pict_.heightPixels = std::max(param, 0);
        break;
      case TKw::PicWGoal:
        pict_.goalWidthTwips = std::max(param, 0);
        break;
      case TKw::PicHGoal:
        pict_.goalHeightTwips = std::max(param, 0);
        break;
      case TKw::PicScaleX:
        pict_.scaleX = std::clamp(param, 1, 10000);
        break;
      case TKw::PicScaleY:
        pict_.scaleY = std::clamp(param, 1, 10000);
        break;
      case TKw::SkipDest:
        G().dest = TDest::Skip;
        break;
      default:
        break;
    }
  }

  void NormalWord(const TKwInfo& info, bool hasParam, std::int32_t param) {
    TGroup& g = G();
    const bool on = !hasParam || param != 0;
    switch (info.kw) {
      case TKw::SkipDest:
        g.dest = TDest::Skip;
        break;
      case TKw::KnownDest:
        break;
      case TKw::FontTable:
        g.dest = TDest::FontTable;
        fontPending_ = false;
        break;
      case TKw::ColourTable:
        g.dest = TDest::ColourTable;
        colour_ = TRtfColour{};
        colourIndex_ = 0;
        break;
      case TKw::Pict:
        g.dest = TDest::Picture;
        pictActive_ = true;
        pictDepth_ = stack_.size();
        pict_ = TRtfPicture{};
        pictKnown_ = false;
        hexHigh_ = -1;
        break;

      case TKw::Plain:
        g.chars = TRtfCharFormat{};
        break;
      case TKw::Bold:
        g.chars.bold = on;
        break;
      case TKw::Italic:
        g.chars.italic = on;
        break;
      case TKw::Underline:
        g.chars.underline = on;
        break;
      case TKw::UnderlineNone:
        g.chars.underline = false;
        break;
      case TKw::Strike:
        g.chars.strike = on;
        break;
      case TKw::Font:
        g.chars.font = std::max(param, 0);
        break;
      case TKw::FontSize:
        g.chars.halfPoints = hasParam && param > 0 ? std::min(param, 3276) : 24;
        break;
      case TKw::Colour:
        g.chars.colour = std::max(param, 0);
        break;
      case TKw::DefaultFont:
        sink_.DefaultFont(std::max(param, 0));
        break;
      case TKw::Uc:
        g.uc = std::max(param, 0);
        break;
      case TKw::U:
        Unit(UnitOf(param));
        skip_ = g.uc;
        break;

      case TKw::Pard:
        g.para = TRtfParaFormat{};
        break;
      case TKw::AlignLeft:
        g.para.align = TRtfAlign::Left;
        break;
      case TKw::AlignCentre:
        g.para.align = TRtfAlign::Centre;
        break;
      case TKw::AlignRight:
        g.para.align = TRtfAlign::Right;
        break;
      case TKw::AlignJustify:
        g.para.align = TRtfAlign::Justify;
        break;
      case TKw::LeftIndent:
        g.para.leftTwips = Twips(param);
        break;
      case TKw::RightIndent:
        g.para.rightTwips = Twips(param);
        break;
      case TKw::FirstIndent:
        g.para.firstTwips = Twips(param);
        break;
      case TKw::SpaceBefore:
        g.para.spaceBeforeTwips = std::max(Twips(param), 0);
        break;
      case TKw::SpaceAfter:
        g.para.spaceAfterTwips = std::max(Twips(param), 0);
        break;
      case TKw::InTable:
        g.para.inTable = on;
        break;
      case TKw::TabStop:
        if (g.para.tabStops.size() < 256) g.para.tabStops.push_back(std::max(Twips(param), 0));
        break;

      case TKw::Par:
        Par();
        break;
      case TKw::Line:
        Unit(kRtfLineBreak);
        break;
      case TKw::Tab:
      case TKw::NestCell:
        Unit(u'\t');
        break;
      case TKw::NestRow:
        Par();
        break;
      case TKw::Char:
        if (info.ch) Unit(info.ch);
        break;
      case TKw::Cell:
        Flush();
        sink_.CellEnd(g.para, g.chars);
        break;
      case TKw::Row:
        Flush();
        sink_.RowEnd(row_);
        break;

      case TKw::RowDefault:
        row_ = TRtfRowDef{};
        break;
      case TKw::CellX:
        if (row_.cellRightTwips.size() < 64) row_.cellRightTwips.push_back(Twips(param));
        break;
      case TKw::RowLeft:
        row_.leftTwips = Twips(param);
        break;
      case TKw::RowGap:
        row_.gapTwips = std::max(Twips(param), 0);
        break;
      case TKw::Border:
        row_.borders = true;
        break;
      default:
        break;
    }
  }

  static char16_t UnitOf(std::int32_t param) {
    std::int64_t v = param;
    if (v < 0) v += 65536;
    if (v < 0 || v > 0xFFFF) return u'\xFFFD';
    return static_cast<char16_t>(v);
  }

  // ---- text

  void PlainText() {
    const std::size_t n = in_.size();
    const std::size_t start = pos_;
    while (pos_ < n) {
      const char c = in_[pos_];
      if (c == '\\' || c == '{' || c == '}') break;
      ++pos_;
    }
    if (overflow_ > 0) return;
    const std::string_view run = in_.substr(start, pos_ - start);
    if (G().star && run.find_first_not_of("\r\n") != std::string_view::npos) {
      // \* must be followed by a control word; text there belongs to nothing we read.
      G().star = false;
      G().dest = TDest::Skip;
    }
    switch (G().dest) {
      case TDest::Skip:
        return;
      case TDest::Picture:
        Hex(run);
        return;
      case TDest::FontTable:
        for (char c : run) {
          if (c == '\r' || c == '\n') continue;
          if (skip_ > 0) {
            --skip_;
            continue;
          }
          if (c == ';')
            EmitFont();
          else
            FontChar(Cp1252Table()[static_cast<unsigned char>(c)]);
        }
        return;
      case TDest::ColourTable:
        for (char c : run)
          if (c == ';') {
            sink_.Colour(colourIndex_++, colour_);
            colour_ = TRtfColour{};
          }
        return;
      case TDest::Normal:
        break;
    }
    const auto& table = Cp1252Table();
    bool prepared = false;
    for (char c : run) {
      const auto b = static_cast<unsigned char>(c);
      if (b < 0x20 && b != '\t') continue;  // line ends and control bytes carry no text
      if (skip_ > 0) {
        --skip_;
        continue;
      }
      if (!prepared) {
        PrepareText();
        prepared = true;
      }
      text_.push_back(table[b]);
    }
  }

  void Byte(unsigned char b) { Unit(Cp1252Table()[b]); }

  void Unit(char16_t u) {
    if (overflow_ > 0) return;
    const TDest dest = G().dest;
    if (dest == TDest::FontTable) {
      FontChar(u);
      return;
    }
    if (dest != TDest::Normal) return;
    if (u == 0 || (u < 0x20 && u != u'\t')) return;
    PrepareText();
    text_.push_back(u);
  }

  // Text gathered so far goes out when the format it was gathered in changes.
  void PrepareText() {
    const TGroup& g = G();
    if (!text_.empty() && (g.chars != textChars_ || g.para.inTable != textPara_.inTable))
      Flush();
    if (text_.empty()) {
      textChars_ = g.chars;
      textPara_ = g.para;
    }
  }

  void Flush() {
    if (text_.empty()) return;
    // Surrogates arrive as two \uN; one without its partner becomes the replacement sign.
    for (std::size_t i = 0; i < text_.size(); ++i) {
      const char16_t u = text_[i];
      if (u >= 0xD800 && u <= 0xDBFF) {
        if (i + 1 < text_.size() && text_[i + 1] >= 0xDC00 && text_[i + 1] <= 0xDFFF)
          ++i;
        else
          text_[i] = u'\xFFFD';
      } else if (u >= 0xDC00 && u <= 0xDFFF) {
        text_[i] = u'\xFFFD';
      }
    }
    sink_.Text(text_, textChars_, textPara_);
    text_.clear();
  }

  void Par() {
    Flush();
    sink_.ParagraphEnd(G().para, G().chars);
  }

  void FontChar(char16_t u) {
    if (u < 0x20 || font_.name.size() >= 255) return;
    font_.name.push_back(u);
    fontPending_ = true;
  }

  void EmitFont() {
    if (!fontPending_) return;
    fontPending_ = false;
    std::u16string& name = font_.name;
    while (!name.empty() && name.back() == u' ') name.pop_back();
    std::size_t lead = 0;
    while (lead < name.size() && name[lead] == u' ') ++lead;
    name.erase(0, lead);
    if (!name.empty()) sink_.Font(font_);
    name.clear();
  }

  void Hex(std::string_view run) {
    if (!pictKnown_) return;
    std::string& data = pict_.data;
    for (char c : run) {
      const int v = HexValue(c);
      if (v < 0) continue;  // line ends, blanks and stray characters between the digits
      if (hexHigh_ < 0) {
        hexHigh_ = v;
      } else {
        data.push_back(static_cast<char>(hexHigh_ * 16 + v));
        hexHigh_ = -1;
      }
    }
  }

  void EmitPicture() {
    pictActive_ = false;
    if (!pictKnown_ || pict_.data.empty()) return;
    Flush();
    // The group that holds the picture has the format of the text around it.
    const TGroup& holder = stack_.size() >= 2 ? stack_[stack_.size() - 2] : G();
    sink_.Picture(pict_, holder.chars, holder.para);
    pict_.data.clear();
  }

  std::string_view in_;
  IRtfSink& sink_;
  std::size_t pos_ = 0;
  std::vector<TGroup> stack_;
  int overflow_ = 0;   // groups opened beyond the depth limit and not yet closed
  bool done_ = false;  // the outermost group has ended
  bool ended_ = false;  // DocumentEnd was reported
  int skip_ = 0;       // characters still standing in for the last \uN

  std::u16string text_;
  TRtfCharFormat textChars_;
  TRtfParaFormat textPara_;

  TRtfFont font_;
  bool fontPending_ = false;
  TRtfColour colour_;
  int colourIndex_ = 0;

  bool pictActive_ = false;
  std::size_t pictDepth_ = 0;
  TRtfPicture pict_;
  bool pictKnown_ = false;
  int hexHigh_ = -1;

  TRtfRowDef row_;
};

}  // namespace

bool LooksLikeRtf(std::string_view input) {
  std::size_t i = 0;
  while (i < input.size() && (input[i] == ' ' || input[i] == '\r' || input[i] == '\n' ||
                              input[i] == '\t'))
    ++i;
  return input.substr(i, 5) == "{\\rtf";
}

bool ParseRtf(std::string_view input, IRtfSink& sink) {
  if (input.size() > kRtfMaxInput) return false;
  TParser(input, sink).Run();
  return true;
}
