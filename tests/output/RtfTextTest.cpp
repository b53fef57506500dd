#include <filesystem>
#include <string>

#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <gtest/gtest.h>

#include "basic/widgets/QtGlue.h"
#include "output/RtfTextUnit.h"
#include "support/TestSupport.h"

namespace {

std::string Fixture(const std::string& name) {
  return (std::filesystem::path(TESSARO_TEST_DATA).parent_path() / "fixtures" / "rtf" / name).string();
}

std::string Twips(double pixels) { return std::to_string(static_cast<int>(std::lround(pixels * 15))); }

// The document as text: per block its place (in a table cell or not), alignment, indents,
// and per fragment its text and format; pictures with their size.
std::string Describe(const QTextDocument& doc) {
  std::string out;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    QTextCursor c(b);
    if (QTextTable* t = c.currentTable()) {
      const QTextTableCell cell = t->cellAt(c);
      out += "cell(" + std::to_string(cell.row()) + "," + std::to_string(cell.column()) + ") ";
    }
    const QTextBlockFormat f = b.blockFormat();
    out += "align" + std::to_string(static_cast<int>(f.alignment() & Qt::AlignHorizontal_Mask)) +
           " li" + Twips(f.leftMargin()) + " fi" + Twips(f.textIndent()) + " ri" +
           Twips(f.rightMargin()) + ":";
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment fr = it.fragment();
      const QTextCharFormat cf = fr.charFormat();
      if (cf.isImageFormat()) {
        const QTextImageFormat img = cf.toImageFormat();
        out += " [image " + std::to_string(std::lround(img.width())) + "x" +
               std::to_string(std::lround(img.height())) + "]";
        continue;
      }
      const QStringList fam = cf.fontFamilies().toStringList();
      QString text = fr.text();
      text.replace(QChar(0x2028), QStringLiteral("<BR>"));
      out += " [" + FromQString(text) + "|" + (fam.isEmpty() ? "" : FromQString(fam.first())) +
             " " + std::to_string(std::lround(cf.fontPointSize() * 2)) +
             (cf.fontWeight() >= QFont::DemiBold ? " b" : "") + (cf.fontItalic() ? " i" : "") +
             (cf.fontUnderline() ? " u" : "") +
             (cf.foreground().style() != Qt::NoBrush ? " " + FromQString(cf.foreground().color().name()) : "") +
             "]";
    }
    out += "\n";
  }
  return out;
}

// Read, write, read: the second reading equals the first, and writing it again gives the
// same bytes.
void ExpectRoundTrip(const std::string& rtf, QTextDocument& first) {
  ASSERT_TRUE(LoadRtfIntoDocument(first, rtf));
  const std::string written = DocumentToRtf(first);
  QTextDocument second;
  ASSERT_TRUE(LoadRtfIntoDocument(second, written));
  EXPECT_EQ(Describe(second), Describe(first)) << written;
  EXPECT_EQ(DocumentToRtf(second), written);
  for (char c : written) ASSERT_TRUE(static_cast<unsigned char>(c) < 0x80) << "not ASCII";
}

TEST(RtfTextTest, ReceiptTemplateOfOurOwn) {
  QTextDocument doc;
  ExpectRoundTrip(ReadAllBytes(Fixture("receipt.rtf")), doc);
  const std::string d = Describe(doc);
  // Heading: Arial 16 pt bold, centred, with the umlaut.
  EXPECT_NE(d.find("align4 li0 fi0 ri0: [Quittung zur Schl\xFCsselausgabe|Arial 32 b]"), std::string::npos) << d;
  // Hanging indent, a tab and a colour; a line break stays inside its paragraph.
  EXPECT_NE(d.find("align1 li1134 fi-567 ri0: [Schl\xFCssel:\t|Verdana 20] [#Key#|Verdana 20 #000080]"),
            std::string::npos) << d;
  EXPECT_NE(d.find("[Anlage:\t#System#<BR>Datum:\t|Verdana 20]"), std::string::npos) << d;
  EXPECT_NE(d.find("[#Date#|Verdana 20 i]"), std::string::npos) << d;
  EXPECT_NE(d.find("align2 li0 fi0 ri567: [Empf\xE4nger: |Verdana 20] [#Person#|Verdana 20 u]"),
            std::string::npos) << d;
  // The table: two rows of three cells, the euro sign through \u.
  EXPECT_NE(d.find("cell(0,2) align2 li0 fi0 ri0: [Preis \x80|Verdana 20]"), std::string::npos) << d;
  EXPECT_NE(d.find("cell(1,1) align4 li0 fi0 ri0: [#KeyCount#|Verdana 20]"), std::string::npos) << d;
  // The PNG at its goal size (1200 x 900 twips), the field's result, no field instruction.
  EXPECT_NE(d.find("[image 80x60]"), std::string::npos) << d;
  EXPECT_NE(d.find("[1|Times New Roman 24]"), std::string::npos) << d;
  EXPECT_EQ(d.find("PAGE"), std::string::npos);
  EXPECT_EQ(d.find("Quittung|"), std::string::npos);  // the document's title is no text

  QTextCursor c(&doc);
  const QTextTable* table = nullptr;
  while (!c.atEnd() && !(table = c.currentTable())) c.movePosition(QTextCursor::NextBlock);
  ASSERT_TRUE(table);
  EXPECT_EQ(table->rows(), 2);
  EXPECT_EQ(table->columns(), 3);
}

TEST(RtfTextTest, TemplateSavedByLibreOffice) {
  QTextDocument doc;
  ExpectRoundTrip(ReadAllBytes(Fixture("receipt-libreoffice.rtf")), doc);
  const std::string text = FromQString(doc.toPlainText());
  for (const char* placeholder : {"#Key#", "#System#", "#Date#", "#Person#", "#PersonDept#", "#KeyCount#"})
    EXPECT_NE(text.find(placeholder), std::string::npos) << placeholder;
  EXPECT_NE(text.find("Quittung zur Schl\xFCsselausgabe"), std::string::npos) << text;
  EXPECT_EQ(text.find("Normal"), std::string::npos);  // no style sheet text
  const std::string d = Describe(doc);
  EXPECT_NE(d.find("[image 80x60]"), std::string::npos) << d;  // the PNG, not its metafile twin
  EXPECT_EQ(d.find("[image", d.find("[image") + 1), std::string::npos) << d;
}

// What our own writer makes of a document built in the editor: a table and a PNG among
// formatted text, values with the characters RTF uses itself.
TEST(RtfTextTest, EditorDocumentWithTableAndPicture) {
  QTextDocument doc;
  QTextCursor c(&doc);
  QTextCharFormat bold;
  bold.setFontWeight(QFont::Bold);
  bold.setFontFamilies({"Verdana"});
  bold.setFontPointSize(11);
  c.insertText("Kopf {mit} \\par und \\'e4 \xE2\x82\xAC", bold);
  c.insertText(QString::fromUtf8(" \xC3\xA4\xC3\xB6\xC3\xBC \xC5\x93 \xE2\x86\x92 \xF0\x9F\x94\x91"));
  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  c.insertBlock(centred);
  c.insertText("Mitte");
  c.insertBlock(QTextBlockFormat());
  QTextTableFormat tf;
  tf.setColumnWidthConstraints({QTextLength(QTextLength::FixedLength, 100),
                                QTextLength(QTextLength::FixedLength, 150)});
  QTextTable* table = c.insertTable(2, 2, tf);
  table->cellAt(0, 0).firstCursorPosition().insertText("A");
  table->cellAt(0, 1).firstCursorPosition().insertText("B");
  QTextCursor cell = table->cellAt(1, 1).firstCursorPosition();
  cell.insertText("C1");
  cell.insertBlock();
  cell.insertText("C2");
  c.movePosition(QTextCursor::End);
  QImage picture(6, 4, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  doc.addResource(QTextDocument::ImageResource, QUrl("bild"), picture);
  QTextImageFormat image;
  image.setName("bild");
  image.setWidth(12);
  image.setHeight(8);
  c.insertImage(image);
  c.insertText("Ende");

  const std::string rtf = DocumentToRtf(doc);
  EXPECT_NE(rtf.find("Kopf \\{mit\\} \\\\par und \\\\'e4 \\'80 \\'e4\\'f6\\'fc \\'9c \\u8594? \\u-10179?\\u-8943?"),
            std::string::npos) << rtf;
  QTextDocument back;
  ASSERT_TRUE(LoadRtfIntoDocument(back, rtf));
  EXPECT_EQ(back.toPlainText(), doc.toPlainText());
  const std::string d = Describe(back);
  EXPECT_NE(d.find("cell(1,1) align1 li0 fi0 ri0: [C2|"), std::string::npos) << d;
  EXPECT_NE(d.find("[image 12x8] [Ende|"), std::string::npos) << d;
  EXPECT_NE(d.find("align4 li0 fi0 ri0: [Mitte|"), std::string::npos) << d;
  QTextDocument third;
  ExpectRoundTrip(rtf, third);

  // The picture really is there: rendering the document shows blue.
  QImage canvas(400, 300, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  back.drawContents(&painter);
  painter.end();
  bool blue = false;
  for (int y = 0; y < canvas.height() && !blue; ++y)
    for (int x = 0; x < canvas.width() && !blue; ++x) blue = canvas.pixelColor(x, y) == QColor(Qt::blue);
  EXPECT_TRUE(blue);
}

// Broken input loads without harm; a file over the limit is refused and changes nothing.
TEST(RtfTextTest, BrokenInputLoadsWithoutHarm) {
  const std::string deep = "{\\rtf1 a" + std::string(10000, '{') + "b" + std::string(10000, '}') + "c}";
  const std::string cases[] = {
      "{\\rtf1 {\\b fett}}}}} danach",
      "{\\rtf1 {\\b offen",
      deep,
      "{\\rtf1 x\\bin999999999 }",
      "{\\rtf1 \\'zz\\'4 \\u-32768?}",
      "{\\rtf1 \\trowd\\cellx100\\pard\\intbl A\\cell",  // a row without its end
      "{\\rtf1 \\pard\\intbl A\\cell B\\row}",             // cells without a row definition
      "{\\rtf1 {\\pict\\pngblip 89504e47}}",              // a picture that is no picture
      "{\\rtf1 {\\pict\\jpegblip\\picwgoal999999999\\picscalex9999 ffd8ffe0",
      "{\\rtf1 \\trowd\\cellx1000\\intbl A\\cell\\row\\trowd\\cellx500\\cellx900\\intbl B\\cell C\\cell\\row}",
      "{\\rtf1 \\fs-5 \\li99999999999 \\cf999 \\f77 x}",
  };
  for (const std::string& rtf : cases) {
    QTextDocument doc;
    ASSERT_TRUE(LoadRtfIntoDocument(doc, rtf)) << rtf.substr(0, 60);
    QTextDocument again;
    EXPECT_TRUE(LoadRtfIntoDocument(again, DocumentToRtf(doc))) << rtf.substr(0, 60);
    EXPECT_EQ(again.toPlainText(), doc.toPlainText()) << rtf.substr(0, 60);
  }
  QTextDocument doc;
  ASSERT_TRUE(LoadRtfIntoDocument(doc, "{\\rtf1 a" + std::string(10000, '{') + "b" + std::string(10000, '}') + "c}"));
  EXPECT_EQ(doc.toPlainText(), "ac");

  doc.setPlainText("bleibt");
  std::string big = "{\\rtf1 ";
  big.resize(32u * 1024 * 1024 + 1, 'x');
  EXPECT_FALSE(LoadRtfIntoDocument(doc, big));
  EXPECT_EQ(doc.toPlainText(), "bleibt");

  // Plain text where RTF was expected opens as text.
  ASSERT_TRUE(LoadRtfIntoDocument(doc, "Zeile 1\r\nZeile {2}\r\n"));
  EXPECT_EQ(FromQString(doc.toPlainText()), "Zeile 1\nZeile {2}\n");
  EXPECT_FALSE(doc.isModified());
}

TEST(RtfTextTest, PlainText) {
  QTextDocument doc;
  LoadPlainTextIntoDocument(doc, "Schl\xFCssel\r\nzwei\rdrei\nvier");
  EXPECT_EQ(doc.blockCount(), 4);
  EXPECT_EQ(DocumentToPlainText(doc), "Schl\xFCssel\r\nzwei\r\ndrei\r\nvier");
}

}  // namespace
