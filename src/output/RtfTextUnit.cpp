#include "output/RtfTextUnit.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>
#include <QVariant>

#include "basic/Cp1252.h"
#include "basic/RtfParser.h"
#include "basic/widgets/QtGlue.h"

namespace {

// Pictures larger than this on either side are shown at this size.
constexpr double kMaxPictureSide = 20000.0;
constexpr int kMaxColours = 4096;

double PixelsOf(std::int32_t twips) { return twips / kTwipsPerPixel; }
int TwipsOf(double pixels) { return static_cast<int>(std::lround(pixels * kTwipsPerPixel)); }

// =======================================================================================
// Reading

QTextBlockFormat BlockFormatOf(const TRtfParaFormat& p) {
  QTextBlockFormat f;
  switch (p.align) {
    case TRtfAlign::Left:
      f.setAlignment(Qt::AlignLeft);
      break;
    case TRtfAlign::Centre:
      f.setAlignment(Qt::AlignHCenter);
      break;
    case TRtfAlign::Right:
      f.setAlignment(Qt::AlignRight);
      break;
    case TRtfAlign::Justify:
      f.setAlignment(Qt::AlignJustify);
      break;
  }
  if (p.leftTwips) f.setLeftMargin(PixelsOf(p.leftTwips));
  if (p.rightTwips) f.setRightMargin(PixelsOf(p.rightTwips));
  if (p.firstTwips) f.setTextIndent(PixelsOf(p.firstTwips));
  if (p.spaceBeforeTwips) f.setTopMargin(PixelsOf(p.spaceBeforeTwips));
  if (p.spaceAfterTwips) f.setBottomMargin(PixelsOf(p.spaceAfterTwips));
  if (!p.tabStops.empty()) {
    // RTF counts tab stops from the text's left edge, the layout from where a line starts:
    // measured from the first line's start, a label and its value on the first line of a
    // hanging paragraph stand where the word processor put them.
    const double lineStart = PixelsOf(p.leftTwips) + PixelsOf(p.firstTwips);
    QList<QTextOption::Tab> tabs;
    for (std::int32_t t : p.tabStops) {
      const double at = PixelsOf(t) - lineStart;
      if (at > 0) tabs.append(QTextOption::Tab(at, QTextOption::LeftTab));
    }
    f.setTabPositions(tabs);
  }
  return f;
}

class TBuilder : public IRtfSink {
 public:
  // One edit block for the whole load: the document tells its listeners once, at the end.
  explicit TBuilder(QTextDocument& document) : doc_(document), cursor_(&document) {
    cursor_.beginEditBlock();
  }
  ~TBuilder() override { cursor_.endEditBlock(); }

  void Font(const TRtfFont& font) override {
    fonts_[font.index] = QString::fromStdU16String(font.name);
    charFormats_.clear();
  }
  void DefaultFont(int index) override {
    defaultFont_ = index;
    charFormats_.clear();
  }
  void Colour(int index, const TRtfColour& c) override {
    if (index < 0 || index >= kMaxColours) return;
    if (static_cast<int>(colours_.size()) <= index) colours_.resize(index + 1);
    colours_[index] = c.automatic ? QColor() : QColor(c.red, c.green, c.blue);
    charFormats_.clear();
  }

  void Text(std::u16string_view text, const TRtfCharFormat& chars,
            const TRtfParaFormat& para) override {
    const QString s = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    if (para.inTable) {
      cell_.push_back({TOp::Text, s, CharFormat(chars), {}, {}});
      return;
    }
    LeaveTable();
    cursor_.insertText(s, CharFormat(chars));
    blockEmpty_ = false;
  }

  void ParagraphEnd(const TRtfParaFormat& para, const TRtfCharFormat& chars) override {
    if (para.inTable) {
      cell_.push_back({TOp::Para, {}, CharFormat(chars), BlockFormat(para), {}});
      return;
    }
    LeaveTable();
    // A new block starts with its predecessor's format: most paragraphs need no change.
    const QTextBlockFormat& format = BlockFormat(para);
    if (!blockKnown_ || !(para == blockKey_)) cursor_.setBlockFormat(format);
    // An empty paragraph's height comes from its block's character format.
    if (blockEmpty_) cursor_.setBlockCharFormat(CharFormat(chars));
    cursor_.insertBlock(format);
    blockKey_ = para;
    blockKnown_ = true;
    blockEmpty_ = true;
  }

  void Picture(const TRtfPicture& pict, const TRtfCharFormat&, const TRtfParaFormat& para) override {
    QTextImageFormat image;
    if (!ImageFormat(pict, image)) return;
    if (para.inTable) {
      cell_.push_back({TOp::Image, {}, {}, {}, image});
      return;
    }
    LeaveTable();
    cursor_.insertImage(image);
    blockEmpty_ = false;
  }

  void CellEnd(const TRtfParaFormat& para, const TRtfCharFormat& chars) override {
    cell_.push_back({TOp::CellEnd, {}, CharFormat(chars), BlockFormat(para), {}});
    cells_.push_back(std::move(cell_));
    cell_.clear();
  }

  void RowEnd(const TRtfRowDef& row) override {
    if (!cell_.empty()) {
      cells_.push_back(std::move(cell_));
      cell_.clear();
    }
    EmitRow(row);
  }

  void DocumentEnd(const TRtfParaFormat& para, const TRtfCharFormat& chars) override {
    LeaveTable();
    if (!cursor_.block().text().isEmpty() || cursor_.block().previous().isValid()) {
      cursor_.setBlockFormat(BlockFormat(para));
      if (cursor_.atBlockStart()) cursor_.setBlockCharFormat(CharFormat(chars));
    }
  }

 private:
  struct TOp {
    enum Kind { Text, Para, Image, CellEnd } kind;
    QString text;
    QTextCharFormat chars;
    QTextBlockFormat block;
    QTextImageFormat image;
  };

  // Documents use a handful of formats again and again: each is built once.
  const QTextCharFormat& CharFormat(const TRtfCharFormat& c) {
    for (const auto& [key, format] : charFormats_)
      if (key == c) return format;
    if (charFormats_.size() >= 64) charFormats_.clear();
    QTextCharFormat f;
    const auto font = fonts_.find(c.font >= 0 ? c.font : defaultFont_);
    if (font != fonts_.end()) f.setFontFamilies(QStringList{font->second});
    f.setFontPointSize(c.halfPoints / 2.0);
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    f.setFontUnderline(c.underline);
    f.setFontStrikeOut(c.strike);
    if (c.colour > 0 && c.colour < static_cast<int>(colours_.size()) && colours_[c.colour].isValid())
      f.setForeground(colours_[c.colour]);
    // Most recently made first: the next run most likely has the same format.
    charFormats_.insert(charFormats_.begin(), {c, f});
    return charFormats_.front().second;
  }

  const QTextBlockFormat& BlockFormat(const TRtfParaFormat& p) {
    for (const auto& [key, format] : blockFormats_)
      if (key == p) return format;
    if (blockFormats_.size() >= 32) blockFormats_.clear();
    blockFormats_.insert(blockFormats_.begin(), {p, BlockFormatOf(p)});
    return blockFormats_.front().second;
  }

  bool ImageFormat(const TRtfPicture& pict, QTextImageFormat& image) {
    // Shorter than a PNG's signature and header chunk, or a JPEG's first marker: no picture
    // (and no complaint of the decoder on the console).
    if (pict.data.size() < (pict.kind == TRtfPictureKind::Png ? 33u : 4u)) return false;
    const QByteArray bytes(pict.data.data(), static_cast<qsizetype>(pict.data.size()));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, pict.kind == TRtfPictureKind::Png ? "png" : "jpeg");
    const QSize natural = reader.size();
    if (!reader.canRead() || !natural.isValid() || natural.isEmpty()) return false;
    double w = natural.width(), h = natural.height();
    if (pict.goalWidthTwips > 0)
      w = PixelsOf(pict.goalWidthTwips);
    else if (pict.widthPixels > 0)
      w = pict.widthPixels;
    if (pict.goalHeightTwips > 0)
      h = PixelsOf(pict.goalHeightTwips);
    else if (pict.heightPixels > 0)
      h = pict.heightPixels;
    w = std::clamp(w * pict.scaleX / 100.0, 1.0, kMaxPictureSide);
    h = std::clamp(h * pict.scaleY / 100.0, 1.0, kMaxPictureSide);
    const QString name = QStringLiteral("rtfimage%1").arg(++images_);
    doc_.addResource(QTextDocument::ImageResource, QUrl(name), QVariant(bytes));
    image.setName(name);
    image.setWidth(w);
    image.setHeight(h);
    return true;
  }

  // Cells read without a \row (cut-off input, a table whose last row lacks its end) still
  // become a row; and nothing else may join the last table once text follows it.
  void LeaveTable() {
    if (!cell_.empty()) {
      cells_.push_back(std::move(cell_));
      cell_.clear();
    }
    if (!cells_.empty()) EmitRow(TRtfRowDef{});
    table_ = nullptr;
  }

  QTextTable* NewTable(int columns, const TRtfRowDef& row) {
    blockKnown_ = false;
    // The paragraph before a table ended with \par; the document keeps a block before every
    // table, so that paragraph's block takes the table behind it rather than an empty one.
    if (cursor_.atBlockStart() && cursor_.block().length() <= 1) {
      const QTextBlock previous = cursor_.block().previous();
      if (previous.isValid() && !QTextCursor(previous).currentTable()) cursor_.deletePreviousChar();
    }
    QTextTableFormat f;
    f.setBorder(row.borders ? 1 : 0);
    f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setBorderCollapse(true);
    f.setCellSpacing(0);
    f.setCellPadding(row.gapTwips > 0 ? PixelsOf(row.gapTwips) : 2.0);
    if (row.leftTwips > 0) f.setLeftMargin(PixelsOf(row.leftTwips));
    if (static_cast<int>(row.cellRightTwips.size()) >= columns) {
      QList<QTextLength> widths;
      std::int32_t left = row.leftTwips;
      for (int c = 0; c < columns; ++c) {
        const std::int32_t right = row.cellRightTwips[c];
        widths.append(QTextLength(QTextLength::FixedLength, std::max(PixelsOf(right - left), 4.0)));
        left = right;
      }
      f.setColumnWidthConstraints(widths);
    }
    return cursor_.insertTable(1, columns, f);
  }

  void EmitRow(const TRtfRowDef& row) {
    if (cells_.empty()) return;
    const int columns = std::min<int>(static_cast<int>(cells_.size()), 64);
    int r = 0;
    if (table_ && table_->columns() == columns) {
      table_->appendRows(1);
      r = table_->rows() - 1;
    } else {
      cursor_.movePosition(QTextCursor::End);
      table_ = NewTable(columns, row);
    }
    for (int c = 0; c < columns; ++c) {
      QTextCursor cc = table_->cellAt(r, c).firstCursorPosition();
      for (const TOp& op : cells_[c]) {
        switch (op.kind) {
          case TOp::Text:
            cc.insertText(op.text, op.chars);
            break;
          case TOp::Image:
            cc.insertImage(op.image);
            break;
          case TOp::Para:
            cc.setBlockFormat(op.block);
            cc.setBlockCharFormat(op.chars);
            cc.insertBlock();
            break;
          case TOp::CellEnd:
            cc.setBlockFormat(op.block);
            if (cc.block().text().isEmpty()) cc.setBlockCharFormat(op.chars);
            break;
        }
      }
    }
    cells_.clear();
    cursor_.movePosition(QTextCursor::End);
    // Behind a table: a fresh block of unknown format.
    blockKnown_ = false;
    blockEmpty_ = true;
  }

  QTextDocument& doc_;
  QTextCursor cursor_;
  std::map<int, QString> fonts_;
  int defaultFont_ = 0;
  std::vector<QColor> colours_;
  std::vector<std::pair<TRtfCharFormat, QTextCharFormat>> charFormats_;
  std::vector<std::pair<TRtfParaFormat, QTextBlockFormat>> blockFormats_;
  int images_ = 0;

  std::vector<TOp> cell_;                // the cell being read
  std::vector<std::vector<TOp>> cells_;  // the finished cells of the row being read
  QTextTable* table_ = nullptr;          // the table the last row went into
  bool blockKnown_ = false;              // the cursor's block has the format of blockKey_
  TRtfParaFormat blockKey_;
  bool blockEmpty_ = true;               // nothing was inserted into the cursor's block yet
};

// =======================================================================================
// Writing

struct TCharState {
  int font = -1;
  int halfPoints = -1;
  int colour = -1;
  bool bold = false, italic = false, underline = false, strike = false;
  bool operator==(const TCharState&) const = default;
};

void AppendInt(std::string& out, long long v) { out += std::to_string(v); }

// A text as RTF: "\", "{", "}" escaped, 1252 bytes from 0x80 as \'hh, everything 1252 lacks
// as \uN? (N the signed 16-bit unit, each half of a surrogate pair on its own).
void AppendEscaped(std::string& out, const QString& text) {
  static const char* const kHex = "0123456789abcdef";
  for (const QChar qc : text) {
    const char16_t u = qc.unicode();
    if (u == u'\\' || u == u'{' || u == u'}') {
      out += '\\';
      out += static_cast<char>(u);
    } else if (u == u'\t') {
      out += "\\tab ";
    } else if (u == kRtfLineBreak || u == u'\x2029' || u == u'\n' || u == u'\r') {
      out += "\\line ";
    } else if (u < 0x20 || u == 0xFFFC) {
      // control characters and stray object marks carry no text
    } else if (u < 0x80) {
      out += static_cast<char>(u);
    } else {
      const int b = (u >= 0xD800 && u <= 0xDFFF) ? -1 : UnicodeToCp1252(u);
      if (b >= 0x80) {
        out += "\\'";
        out += kHex[b >> 4];
        out += kHex[b & 15];
      } else {
        out += "\\u";
        AppendInt(out, static_cast<std::int16_t>(u));
        out += '?';
      }
    }
  }
}

class TWriter {
 public:
  explicit TWriter(const QTextDocument& document) : doc_(document) {
    const QFont f = doc_.defaultFont();
    defaultFamily_ = f.family();
    defaultPoints_ = f.pointSizeF() > 0 ? f.pointSizeF() : 12.0;
    fonts_.push_back(defaultFamily_);
  }

  std::string Run() {
    WriteFrame(doc_.rootFrame(), true);
    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\r\n{\\fonttbl";
    for (std::size_t i = 0; i < fonts_.size(); ++i) {
      out += "{\\f";
      AppendInt(out, static_cast<long long>(i));
      out += "\\fnil\\fcharset0 ";
      AppendEscaped(out, fonts_[i]);
      out += ";}";
    }
    out += "}\r\n{\\colortbl;";
    for (const QColor& c : colours_) {
      out += "\\red";
      AppendInt(out, c.red());
      out += "\\green";
      AppendInt(out, c.green());
      out += "\\blue";
      AppendInt(out, c.blue());
      out += ';';
    }
    out += "}\r\n\\viewkind4\r\n";
    out += body_;
    out += "}\r\n";
    return out;
  }

 private:
  // One item of a frame: a block, or a child frame (a table, or a frame from pasted HTML).
  struct TItem {
    QTextBlock block;
    QTextFrame* frame = nullptr;
  };

  static std::vector<TItem> ItemsOf(QTextFrame* frame) {
    std::vector<TItem> items;
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
      if (QTextFrame* child = it.currentFrame())
        items.push_back({{}, child});
      else if (it.currentBlock().isValid())
        items.push_back({it.currentBlock(), nullptr});
    }
    return items;
  }

  void WriteFrame(QTextFrame* frame, bool isRoot) {
    const std::vector<TItem> items = ItemsOf(frame);
    for (std::size_t i = 0; i < items.size(); ++i) {
      const TItem& item = items[i];
      if (item.frame) {
        if (auto* table = qobject_cast<QTextTable*>(item.frame))
          WriteTable(table);
        else
          WriteFrame(item.frame, false);
        continue;
      }
      const bool last = isRoot && i + 1 == items.size();
      const bool beforeTable = i + 1 < items.size() && items[i + 1].frame;
      // The document's first block stands empty before a table that opens the document:
      // it is the document's, not the user's, and a reader makes it again.
      if (isRoot && i == 0 && beforeTable && item.block.length() <= 1) continue;
      WriteBlock(item.block, false);
      if (!last) Word("\\par");
      body_ += "\r\n";
      needSpace_ = false;
    }
  }

  static void CollectBlocks(QTextFrame::iterator it, std::vector<QTextBlock>& blocks) {
    for (; !it.atEnd(); ++it) {
      if (QTextFrame* child = it.currentFrame()) {
        if (auto* table = qobject_cast<QTextTable*>(child)) {
          // A table inside a cell comes out as the paragraphs of its cells.
          for (int r = 0; r < table->rows(); ++r)
            for (int c = 0; c < table->columns(); ++c) {
              const QTextTableCell cell = table->cellAt(r, c);
              if (cell.row() == r && cell.column() == c) CollectBlocks(cell.begin(), blocks);
            }
        } else {
          CollectBlocks(child->begin(), blocks);
        }
      } else if (it.currentBlock().isValid()) {
        blocks.push_back(it.currentBlock());
      }
    }
  }

  void WriteTable(QTextTable* table) {
    const QTextTableFormat tf = table->format();
    const int columns = table->columns();
    const QList<QTextLength> constraints = tf.columnWidthConstraints();
    const double available = doc_.textWidth() > 0 ? doc_.textWidth() : 624.0;  // 6.5 inches
    std::vector<double> widths(columns, available / std::max(columns, 1));
    for (int c = 0; c < columns && c < constraints.size(); ++c) {
      const QTextLength& l = constraints[c];
      if (l.type() == QTextLength::FixedLength)
        widths[c] = l.rawValue();
      else if (l.type() == QTextLength::PercentageLength)
        widths[c] = available * l.rawValue() / 100.0;
    }
    const bool borders = tf.border() > 0;
    const int gap = TwipsOf(tf.cellPadding());
    const int left = TwipsOf(tf.leftMargin());
    for (int r = 0; r < table->rows(); ++r) {
      Word("\\trowd\\trgaph");
      AppendInt(body_, gap);
      if (left > 0) {
        Word("\\trleft");
        AppendInt(body_, left);
      }
      int right = left;
      for (int c = 0; c < columns; ++c) {
        if (borders) Word("\\clbrdrt\\brdrs\\clbrdrl\\brdrs\\clbrdrb\\brdrs\\clbrdrr\\brdrs");
        right += std::max(TwipsOf(widths[c]), 1);
        Word("\\cellx");
        AppendInt(body_, right);
      }
      body_ += "\r\n";
      needSpace_ = false;
      for (int c = 0; c < columns; ++c) {
        const QTextTableCell cell = table->cellAt(r, c);
        std::vector<QTextBlock> blocks;
        if (cell.row() == r && cell.column() == c) CollectBlocks(cell.begin(), blocks);
        if (blocks.empty()) {
          Word("\\pard\\intbl");
        } else {
          for (std::size_t b = 0; b < blocks.size(); ++b) {
            WriteBlock(blocks[b], true);
            if (b + 1 < blocks.size()) Word("\\par");
          }
        }
        Word("\\cell");
        body_ += "\r\n";
        needSpace_ = false;
      }
      Word("\\row");
      body_ += "\r\n";
      needSpace_ = false;
    }
  }

  void WriteBlock(const QTextBlock& block, bool inTable) {
    const QTextBlockFormat bf = block.blockFormat();
    Word(inTable ? "\\pard\\intbl" : "\\pard");
    const Qt::Alignment align = bf.alignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignHCenter)
      Word("\\qc");
    else if (align & Qt::AlignRight)
      Word("\\qr");
    else if ((align & Qt::AlignJustify) == Qt::AlignJustify)
      Word("\\qj");
    auto number = [this](const char* word, double pixels) {
      const int twips = TwipsOf(pixels);
      if (twips == 0) return;
      Word(word);
      AppendInt(body_, twips);
    };
    number("\\li", bf.leftMargin());
    number("\\ri", bf.rightMargin());
    number("\\fi", bf.textIndent());
    number("\\sb", bf.topMargin());
    number("\\sa", bf.bottomMargin());
    const double lineStart = bf.leftMargin() + bf.textIndent();
    for (const QTextOption::Tab& tab : bf.tabPositions()) {
      Word("\\tx");
      AppendInt(body_, TwipsOf(tab.position + lineStart));
    }
    written_ = TCharState{};  // \pard does not reset the character format, but be explicit
    bool any = false;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid()) continue;
      const QTextCharFormat cf = fragment.charFormat();
      if (cf.isImageFormat()) {
        const QTextImageFormat image = cf.toImageFormat();
        for (int n = 0; n < fragment.length(); ++n) WriteImage(image);
        any = true;
        continue;
      }
      CharState(cf);
      const QString text = fragment.text();
      if (text.isEmpty()) continue;
      if (needSpace_) body_ += ' ';
      needSpace_ = false;
      AppendEscaped(body_, text);
      // A control word written by the escape ("\tab ", "\line ") is closed by its blank.
      any = true;
    }
    if (!any) CharState(block.charFormat());
  }

  void CharState(const QTextCharFormat& cf) {
    TCharState s;
    QString family;
    const QStringList families = cf.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty()) family = families.first();
    if (family.isEmpty()) family = defaultFamily_;
    s.font = FontIndex(family);
    const double points = cf.hasProperty(QTextFormat::FontPointSize) && cf.fontPointSize() > 0
                              ? cf.fontPointSize()
                              : defaultPoints_;
    s.halfPoints = std::clamp(static_cast<int>(std::lround(points * 2)), 2, 3276);
    const QBrush fg = cf.foreground();
    s.colour = fg.style() == Qt::NoBrush ? 0 : ColourIndex(fg.color());
    s.bold = cf.hasProperty(QTextFormat::FontWeight) ? cf.fontWeight() >= QFont::DemiBold
                                                     : doc_.defaultFont().bold();
    s.italic = cf.fontItalic();
    s.underline = cf.fontUnderline();
    s.strike = cf.fontStrikeOut();
    if (s == written_) return;
    written_ = s;
    Word("\\plain\\f");
    AppendInt(body_, s.font);
    Word("\\fs");
    AppendInt(body_, s.halfPoints);
    if (s.colour > 0) {
      Word("\\cf");
      AppendInt(body_, s.colour);
    }
    if (s.bold) Word("\\b");
    if (s.italic) Word("\\i");
    if (s.underline) Word("\\ul");
    if (s.strike) Word("\\strike");
  }

  int FontIndex(const QString& family) {
    for (std::size_t i = 0; i < fonts_.size(); ++i)
      if (fonts_[i].compare(family, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    fonts_.push_back(family);
    return static_cast<int>(fonts_.size() - 1);
  }

  int ColourIndex(const QColor& c) {
    const QColor rgb = c.toRgb();
    for (std::size_t i = 0; i < colours_.size(); ++i)
      if (colours_[i].rgb() == rgb.rgb()) return static_cast<int>(i + 1);
    colours_.push_back(rgb);
    return static_cast<int>(colours_.size());
  }

  void WriteImage(const QTextImageFormat& image) {
    const QVariant resource = doc_.resource(QTextDocument::ImageResource, QUrl(image.name()));
    QByteArray bytes;
    const char* blip = "\\pngblip";
    QSize natural;
    if (resource.userType() == QMetaType::QByteArray) {
      bytes = resource.toByteArray();
      QBuffer buffer(&bytes);
      buffer.open(QIODevice::ReadOnly);
      QImageReader reader(&buffer);
      const QByteArray format = reader.format();
      natural = reader.size();
      if (format == "jpeg") {
        blip = "\\jpegblip";
      } else if (format != "png") {
        // Another format: written as PNG, which every reader understands.
        QImage decoded;
        if (!reader.read(&decoded)) return;
        bytes.clear();
        QBuffer out(&bytes);
        out.open(QIODevice::WriteOnly);
        decoded.save(&out, "PNG");
      }
    } else {
      QImage decoded;
      if (resource.userType() == QMetaType::QImage)
        decoded = resource.value<QImage>();
      else if (resource.canConvert<QImage>())
        decoded = resource.value<QImage>();
      if (decoded.isNull()) return;
      natural = decoded.size();
      QBuffer out(&bytes);
      out.open(QIODevice::WriteOnly);
      decoded.save(&out, "PNG");
    }
    if (bytes.isEmpty() || !natural.isValid()) return;
    const double w = image.width() > 0 ? image.width() : natural.width();
    const double h = image.height() > 0 ? image.height() : natural.height();
    body_ += "{\\pict";
    body_ += blip;
    body_ += "\\picw";
    AppendInt(body_, natural.width());
    body_ += "\\pich";
    AppendInt(body_, natural.height());
    body_ += "\\picwgoal";
    AppendInt(body_, TwipsOf(w));
    body_ += "\\pichgoal";
    AppendInt(body_, TwipsOf(h));
    body_ += "\r\n";
    static const char* const kHex = "0123456789abcdef";
    for (qsizetype i = 0; i < bytes.size(); ++i) {
      const auto b = static_cast<unsigned char>(bytes[i]);
      body_ += kHex[b >> 4];
      body_ += kHex[b & 15];
      if (i % 64 == 63) body_ += "\r\n";
    }
    body_ += "}";
    needSpace_ = false;
  }

  // A control word; the blank that ends it is written only when text follows.
  void Word(const char* word) {
    body_ += word;
    needSpace_ = true;
  }

  const QTextDocument& doc_;
  QString defaultFamily_;
  double defaultPoints_ = 12.0;
  std::string body_;
  std::vector<QString> fonts_;
  std::vector<QColor> colours_;
  TCharState written_;
  bool needSpace_ = false;
};

}  // namespace

bool LoadRtfIntoDocument(QTextDocument& document, const std::string& bytes) {
  if (!LooksLikeRtf(bytes)) {
    LoadPlainTextIntoDocument(document, bytes);
    return true;
  }
  if (bytes.size() > kRtfMaxInput) return false;
  const bool undo = document.isUndoRedoEnabled();
  document.setUndoRedoEnabled(false);
  document.clear();
  // The word processors' default tab stops: every half inch.
  QTextOption option = document.defaultTextOption();
  option.setTabStopDistance(48);
  document.setDefaultTextOption(option);
  {
    TBuilder builder(document);
    ParseRtf(bytes, builder);
  }
  document.setUndoRedoEnabled(undo);
  document.setModified(false);
  return true;
}

void LoadPlainTextIntoDocument(QTextDocument& document, const std::string& bytes) {
  QString text = ToQString(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  const bool undo = document.isUndoRedoEnabled();
  document.setUndoRedoEnabled(false);
  document.setPlainText(text);
  document.setUndoRedoEnabled(undo);
  document.setModified(false);
}

std::string DocumentToRtf(const QTextDocument& document) { return TWriter(document).Run(); }

std::string DocumentToPlainText(const QTextDocument& document) {
  QString text = document.toPlainText();
  text.replace(QChar(0x2028), QLatin1Char('\n'));
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return FromQString(text);
}
