#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "basic/Cp1252.h"
#include "basic/RtfParser.h"

namespace {

// Writes the events as one line of text: "[text]" for text (Windows-1252, "|" for a line
// break), "<b>" etc. when the format changes, "P" for a paragraph end (with its alignment
// and indents when set), "C" a cell, "R(cellx...)" a row, "I(kind,bytes)" a picture,
// "F(index name)" a font, "K(index r,g,b)" a colour, "E" the end.
class TTrace : public IRtfSink {
 public:
  std::string out;
  std::vector<TRtfPicture> pictures;
  std::vector<TRtfParaFormat> paragraphs;
  std::u16string text;  // all text, as read

  void Font(const TRtfFont& f) override {
    out += "F(" + std::to_string(f.index) + " " + Utf16ToCp1252(f.name) + ")";
  }
  void Colour(int index, const TRtfColour& c) override {
    out += "K(" + std::to_string(index) + (c.automatic ? std::string(" auto") : " " +
           std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue)) + ")";
  }
  void Text(std::u16string_view t, const TRtfCharFormat& c, const TRtfParaFormat&) override {
    std::string format;
    if (c.bold) format += "b";
    if (c.italic) format += "i";
    if (c.underline) format += "u";
    if (c.font >= 0) format += "f" + std::to_string(c.font);
    if (c.halfPoints != 24) format += "s" + std::to_string(c.halfPoints);
    if (c.colour) format += "c" + std::to_string(c.colour);
    if (format != format_) out += "<" + format + ">";
    format_ = format;
    std::u16string shown(t);
    for (char16_t& u : shown)
      if (u == kRtfLineBreak) u = u'|';
    out += "[" + Utf16ToCp1252(shown) + "]";
    text += t;
  }
  void ParagraphEnd(const TRtfParaFormat& p, const TRtfCharFormat&) override {
    out += "P";
    if (p.align != TRtfAlign::Left) out += "a" + std::to_string(static_cast<int>(p.align));
    if (p.leftTwips || p.firstTwips || p.rightTwips)
      out += "(" + std::to_string(p.leftTwips) + "," + std::to_string(p.firstTwips) + "," +
             std::to_string(p.rightTwips) + ")";
    paragraphs.push_back(p);
  }
  void Picture(const TRtfPicture& p, const TRtfCharFormat&, const TRtfParaFormat&) override {
    out += "I(" + std::string(p.kind == TRtfPictureKind::Png ? "png" : "jpeg") + "," +
           std::to_string(p.data.size()) + ")";
    pictures.push_back(p);
  }
  void CellEnd(const TRtfParaFormat&, const TRtfCharFormat&) override { out += "C"; }
  void RowEnd(const TRtfRowDef& r) override {
    out += "R(";
    for (auto x : r.cellRightTwips) out += std::to_string(x) + ",";
    out += ")";
  }
  void DocumentEnd(const TRtfParaFormat&, const TRtfCharFormat&) override { out += "E"; }

 private:
  std::string format_;
};

std::string Trace(const std::string& rtf) {
  TTrace t;
  EXPECT_TRUE(ParseRtf(rtf, t));
  return t.out;
}

TEST(RtfParserTest, FormatsTablesAndParagraphs) {
  const std::string rtf =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman{\\*\\panose 0}Times "
      "New Roman;}}{\\colortbl;\\red255\\green0\\blue0;}\r\n"
      "\\pard\\qc\\li720\\fi-360 Hallo \\b fett\\b0  \\f1\\fs32\\cf1 rot\\par\r\n"
      "{\\i kursiv}\\line neu\\tab Ende\\par\\pard\\qr\\ri100 rechts}";
  EXPECT_EQ(Trace(rtf),
            "F(0 Arial)F(1 Times New Roman)K(0 auto)K(1 255,0,0)"
            "[Hallo ]<b>[fett]<>[ ]<f1s32c1>[rot]Pa1(720,-360,0)"
            "<if1s32c1>[kursiv]<f1s32c1>[|neu\tEnde]Pa1(720,-360,0)[rechts]E");
}

// What each escape turns into; the \uN replacement characters (\ucN of them) are dropped.
TEST(RtfParserTest, EscapesAndUnicode) {
  struct TCase {
    const char* rtf;
    std::u16string text;
  } cases[] = {
      {"{\\rtf1 Schl\\'fcssel \\'80}", u"Schl\u00FCssel \u20AC"},
      {"{\\rtf1 \\u8364?x}", u"\u20ACx"},
      {"{\\rtf1\\uc2 \\u8364\\'80\\'81x}", u"\u20ACx"},
      {"{\\rtf1\\uc0 \\u228 x}", u"\u00E4x"},
      {"{\\rtf1 \\u-32768?\\u-10179?\\u-8704?}", u"\u8000\U0001F600"},
      {"{\\rtf1 \\u-10179?a}", u"\uFFFDa"},  // half a surrogate pair
      {"{\\rtf1 \\\\ \\{\\} a\\~b\\_c}", u"\\ {} a\u00A0b\u2011c"},
      {"{\\rtf1 bad \\'zz \\'4x end}", u"bad zz x end"},
      {"{\\rtf1 \\emdash\\bullet\\ldblquote q\\rdblquote}", u"\u2014\u2022\u201Cq\u201D"},
      {"{\\rtf1 {\\*\\unknown secret}{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}"
       "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt Link}}{\\*\\bkmkstart b}"
       "{\\header Kopf}{\\footnote Fuss}{\\*\\shppict shown}{\\nonshppict hidden}}",
       u"Linkshown"},
      {"{\\rtf1 {\\*\nskipped}text}", u"text"},
      {"{\\rtf1 a}}}} b", u"a"},
      {"{\\rtf1 {\\b a", u"a"},
      {"{\\rtf1 {\\fonttbl{\\f0 Ari", u""},
      {"{\\rtf1 x\\", u"x"},
      {"{\\rtf1 a\\bin2000000000 }}}}", u"a"},
      {"{\\rtf1 a\\bin3 {}}b}", u"ab"},
      {"{\\rtf1 \\fs99999999999999 \\li-99999999999 a}", u"a"},
      {"plain text", u"plain text"},
  };
  for (const TCase& c : cases) {
    TTrace t;
    ASSERT_TRUE(ParseRtf(c.rtf, t)) << c.rtf;
    EXPECT_EQ(t.text, c.text) << c.rtf << " -> " << t.out;
  }
}

TEST(RtfParserTest, DeepNestingIsSkippedBeyondTheLimit) {
  const int depth = 10000;
  const std::string rtf = "{\\rtf1 x" + std::string(depth, '{') + "y" + std::string(depth, '}') +
                          "z{{{\\b w}}}}";
  TTrace t;
  ASSERT_TRUE(ParseRtf(rtf, t));
  EXPECT_EQ(t.text, u"xzw");
  EXPECT_EQ(t.out.substr(t.out.size() - 1), "E");
}

TEST(RtfParserTest, ParametersAreClamped) {
  TTrace t;
  ASSERT_TRUE(ParseRtf("{\\rtf1\\fs99999999999 a\\par\\li-99999999999 b\\par}", t));
  ASSERT_EQ(t.paragraphs.size(), 2u);
  EXPECT_LE(t.paragraphs[1].leftTwips, 0);
  EXPECT_GE(t.paragraphs[1].leftTwips, -31680 * 20);
  EXPECT_NE(t.out.find("<s3276>"), std::string::npos) << t.out;
}

TEST(RtfParserTest, TablesAndPictures) {
  EXPECT_EQ(Trace("{\\rtf1\\trowd\\cellx1000\\cellx2000\\pard\\intbl A\\cell B\\par C\\cell\\row"
                  "\\pard nach}"),
            "[A]C[B]P[C]CR(1000,2000,)[nach]E");

  TTrace t;
  ASSERT_TRUE(ParseRtf(
      "{\\rtf1 {\\pict\\pngblip\\picw2\\pich1\\picwgoal300\\pichgoal150 89 50\r\n4e 4Zx}"
      "{\\pict\\jpegblip\\bin4 \xFF\xD8}{x}"
      "{\\pict\\wmetafile8 0102}{\\*\\shppict{\\pict\\pngblip{\\*\\blipuid 00ff}0a0b}}}",
      t));
  EXPECT_EQ(t.out, "I(png,3)I(jpeg,4)I(png,2)E");
  ASSERT_EQ(t.pictures.size(), 3u);
  EXPECT_EQ(t.pictures[0].data, "\x89PN");  // bad hex digits and the odd last one dropped
  EXPECT_EQ(t.pictures[0].goalWidthTwips, 300);
  EXPECT_EQ(t.pictures[1].data, std::string("\xFF\xD8}{", 4));
  EXPECT_EQ(t.pictures[2].data, "\x0a\x0b");

  // \bin never reaches past the end of the input.
  TTrace cut;
  ASSERT_TRUE(ParseRtf("{\\rtf1 {\\pict\\pngblip\\bin999999 abc", cut));
  EXPECT_TRUE(cut.pictures.empty());
}

TEST(RtfParserTest, InputOverTheLimitIsRefused) {
  TTrace t;
  std::string big = "{\\rtf1 ";
  big.resize(kRtfMaxInput + 1, 'a');
  EXPECT_FALSE(ParseRtf(big, t));
  EXPECT_TRUE(t.out.empty());
  EXPECT_TRUE(LooksLikeRtf(" \r\n{\\rtf1}"));
  EXPECT_FALSE(LooksLikeRtf("{\\rt"));
}

}  // namespace
