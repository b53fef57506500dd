#include <filesystem>
#include <string>

#include <QDialog>
#include <QTextDocument>
#include <QTextEdit>
#include <gtest/gtest.h>

#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "output/FakePrinterServices.h"
#include "output/RtfEditorUnit.h"
#include "output/RtfTextUnit.h"
#include "output/WordDocumentUnit.h"
#include "output/WordProcessorStub.h"
#include "support/TestSupport.h"

namespace {

std::string Fixture(const std::string& name) {
  return (std::filesystem::path(TESSARO_TEST_DATA).parent_path() / "fixtures" / "rtf" / name).string();
}

std::string TextOf(const TTextDoc& doc) {
  const auto* rtf = dynamic_cast<const TRTFDoc*>(&doc);
  return rtf && rtf->Document() ? FromQString(rtf->Document()->toPlainText()) : "";
}

class WordDocumentTest : public ::testing::Test {
 protected:
  void TearDown() override { SetWordProcessorProgram("", true); }
  // A copy of a fixture under a name of the test's choosing.
  std::string Copy(const std::string& fixture, const std::string& name) {
    const std::string file = tmp.File(name);
    WriteAllBytes(file, ReadAllBytes(Fixture(fixture)));
    return file;
  }
  TTempDir tmp;
};

// The extension (any case, its first seven characters) chooses the kind; a missing file, an
// unknown extension or a Word template without LibreOffice gives no document. Opening,
// filling and closing without saving leaves the template's bytes as they were.
TEST_F(WordDocumentTest, OpenTextDocByExtension) {
  SetWordProcessorProgram("");  // no LibreOffice
  const std::string rtf = Copy("receipt.rtf", "Quittung.RTF");
  const std::string before = ReadAllBytes(rtf);
  WriteAllBytes(tmp.File("Text.txt"), "Zeile #Key#\r\nzwei {\\b nicht fett}\r\n");
  struct TCase {
    std::string file;
    bool opens;
  } cases[] = {
      {rtf, true},
      {tmp.File("Text.txt"), true},
      {Copy("receipt.doc", "Vorlage.doc"), false},
      {Copy("receipt.doc", "Vorlage.DOT"), false},
      {Copy("receipt.rtf", "Vorlage.docx"), false},
      {Copy("receipt.rtf", "Vorlage.rtfx"), false},
      {Copy("receipt.rtf", "ohne"), false},
      {tmp.File("fehlt.rtf"), false},
  };
  for (const TCase& c : cases) {
    std::unique_ptr<TTextDoc> doc = OpenTextDoc(c.file);
    EXPECT_EQ(doc != nullptr, c.opens) << c.file;
    if (!doc) continue;
    EXPECT_TRUE(doc->Opened());
    EXPECT_EQ(doc->FileName(), c.file);
    EXPECT_TRUE(doc->ReplaceText("#Key#", "4711"));
  }
  EXPECT_EQ(ReadAllBytes(rtf), before);
  std::unique_ptr<TTextDoc> text = OpenTextDoc(tmp.File("Text.txt"));
  ASSERT_TRUE(text);
  EXPECT_EQ(TextOf(*text), "Zeile #Key#\nzwei {\\b nicht fett}\n");  // plain text stays plain

  // The base and a closed document refuse everything.
  TTextDoc base;
  EXPECT_FALSE(base.Open(rtf));
  TRTFDoc closed;
  EXPECT_FALSE(closed.FindText("#Key#"));
  EXPECT_FALSE(closed.ReplaceText("#Key#", "x"));
  EXPECT_FALSE(closed.ReplaceLines("#Key#", "x"));
  EXPECT_FALSE(closed.Print(false, ""));
  EXPECT_TRUE(closed.Open(""));  // an empty document
  EXPECT_EQ(TextOf(closed), "");
}

TEST_F(WordDocumentTest, FindAndReplace) {
  const std::string file = tmp.File("t.rtf");
  WriteAllBytes(file,
                "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Schl\\'fcssel: #Ke{\\b y}#, "
                "#key#\\par Person: #Person#\\par #Doors#\\par Ende #Doors#}");
  TRTFDoc doc;
  ASSERT_TRUE(doc.Open(file));
  // Found without regard to case and across formatting.
  EXPECT_TRUE(doc.FindText("#KEY#"));
  EXPECT_TRUE(doc.FindText("schl\xDCssel"));
  EXPECT_FALSE(doc.FindText("#Cabinet#"));
  EXPECT_FALSE(doc.FindText(""));
  // A value holding the placeholder: every occurrence replaced once, and the call ends.
  EXPECT_TRUE(doc.ReplaceText("#Key#", "A-1 (#KEY#)"));
  EXPECT_FALSE(doc.ReplaceText("#Cabinet#", "x"));
  // Lines: only the first occurrence, each line its own paragraph.
  EXPECT_TRUE(doc.ReplaceLines("#Doors#", "T\xFCr 1\r\nT\xFCr 2\nT\xFCr 3"));
  EXPECT_TRUE(doc.ReplaceText("#Person#", "M\xFCller"));
  EXPECT_EQ(TextOf(doc),
            "Schl\xFCssel: A-1 (#KEY#), A-1 (#KEY#)\nPerson: M\xFCller\nT\xFCr 1\nT\xFCr 2\n"
            "T\xFCr 3\nEnde #Doors#");
}

// Values go in as text: whatever they hold, the RTF written afterwards reads back with
// the values as they were.
TEST_F(WordDocumentTest, ValuesReadBackLiterally) {
  const std::string file = Copy("receipt.rtf", "fill.rtf");
  const std::string values[] = {"C:\\Schl\xFCssel\\neu", "{\\rtf1 \\b fett}", "a\\par b",
                                "\xC4\xD6\xDC\xE4\xF6\xFC\xDF \x80", "}{", "\\'e4 \\u8364?"};
  {
    TRTFDoc doc;
    ASSERT_TRUE(doc.Open(file));
    ASSERT_TRUE(doc.ReplaceText("#Person#", values[0]));
    ASSERT_TRUE(doc.ReplaceText("#System#", values[1]));
    ASSERT_TRUE(doc.ReplaceText("#Date#", values[2]));
    ASSERT_TRUE(doc.ReplaceText("#PersonDept#", values[3]));
    ASSERT_TRUE(doc.ReplaceText("#KeyCount#", values[4]));
    ASSERT_TRUE(doc.ReplaceLines("#Key#", values[5]));
    doc.Close(true);
  }
  TRTFDoc back;
  ASSERT_TRUE(back.Open(file));
  const std::string text = TextOf(back);
  for (const std::string& v : values) EXPECT_NE(text.find(v), std::string::npos) << v << "\n" << text;
  EXPECT_EQ(text.find("#Person#"), std::string::npos);
  EXPECT_NE(text.find("#Key#"), std::string::npos);  // the table's second occurrence stays
}

TEST_F(WordDocumentTest, PrintAndPreview) {
  TFakePrinterScope printers;
  const std::string file = Copy("receipt.rtf", "print.rtf");
  TRTFDoc doc;
  ASSERT_TRUE(doc.Open(file));
  doc.ReplaceText("#Person#", "Erika Mustermann");

  // Directly: on the named printer while it exists.
  EXPECT_TRUE(doc.Print(false, "Lager"));
  const std::string pdf = ReadAllBytes(printers.printers.PdfOf("Lager"));
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  EXPECT_TRUE(doc.Print(false, "weg"));  // unknown: the chosen printer
  EXPECT_FALSE(ReadAllBytes(printers.printers.PdfOf("Empfang")).empty());

  // The preview is the editor, showing the filled text unchanged; closing asks nothing.
  TScopedRecorder ui;
  std::string shown, caption;
  bool modified = true;
  QueueDialogDriver([&](QDialog& d) {
    auto& form = dynamic_cast<TRtfForm&>(d);
    shown = FromQString(form.Editor->toPlainText());
    caption = FromQString(form.windowTitle());
    modified = form.Modified();
  });
  EXPECT_TRUE(doc.Print(true, ""));
  EXPECT_NE(shown.find("Erika Mustermann"), std::string::npos);
  EXPECT_EQ(caption, "Ausdruck");
  EXPECT_FALSE(modified);
  EXPECT_TRUE(ui.questions.empty());
}

// With LibreOffice Writer installed, a Word template converts (once per run) and fills as
// an RTF template does; the template never changes.
TEST_F(WordDocumentTest, WordTemplateThroughLibreOffice) {
  SetWordProcessorProgram("", true);
  if (WordProcessorProgram().empty())
    GTEST_SKIP() << "LibreOffice Writer (soffice with libswlo.so) is not installed";
  const std::string file = Copy("receipt.doc", "Ausgabe.doc");
  const std::string before = ReadAllBytes(file);
  const int conversions = WordConversionCount();
  {
    std::unique_ptr<TTextDoc> doc = OpenTextDoc(file);
    ASSERT_TRUE(doc);
    EXPECT_TRUE(dynamic_cast<TWordDoc*>(doc.get()));
    EXPECT_EQ(doc->FileName(), file);
    EXPECT_TRUE(doc->ReplaceText("#Person#", "Max M\xFCller"));
    EXPECT_TRUE(doc->ReplaceLines("#Key#", "S-100\r\nS-101"));
    const std::string text = TextOf(*doc);
    EXPECT_NE(text.find("Empf\xE4nger: Max M\xFCller"), std::string::npos) << text;
    EXPECT_NE(text.find("S-100\nS-101"), std::string::npos) << text;
    doc->Close(true);  // nothing to save into
  }
  std::unique_ptr<TTextDoc> again = OpenTextDoc(file);
  ASSERT_TRUE(again);
  EXPECT_NE(TextOf(*again).find("#Person#"), std::string::npos);
  EXPECT_EQ(WordConversionCount(), conversions + 1);
  EXPECT_EQ(ReadAllBytes(file), before);
}

}  // namespace

namespace {

// Only what starts as a Word document does (an OLE2 compound file, an RTF, a ZIP-based
// document) goes to the word processor: 2,000 random bytes named ".doc" are no template.
TEST_F(WordDocumentTest, OnlyWordDocumentsAreConverted) {
  SetWordProcessorProgram(AcceptingWordProcessor(tmp));
  std::string noise(2000, '\0');
  unsigned state = 12345;
  for (char& c : noise) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
  noise[0] = 'x';
  struct TCase {
    std::string name, bytes;
    bool opens;
  } cases[] = {{"Zufall.doc", noise, false},
               {"Zufall.dot", noise, false},
               {"Leer.doc", "", false},
               {"Text.doc", "Sehr geehrte Damen und Herren #Key#", false},
               {"Word97.doc", ReadAllBytes(Fixture("receipt.doc")), true},
               {"Rtf.doc", "{\\rtf1 #Key#}", true},
               {"Zip.dot", std::string("PK\x03\x04", 4) + noise, true}};
  for (const TCase& c : cases) {
    const std::string file = tmp.File(c.name);
    WriteAllBytes(file, c.bytes);
    EXPECT_EQ(IsWordDocumentFile(file), c.opens) << c.name;
    const int conversions = WordConversionCount();
    TWordDoc doc;
    EXPECT_EQ(doc.Open(file), c.opens) << c.name;
    EXPECT_EQ(WordConversionCount(), conversions + (c.opens ? 1 : 0)) << c.name;
    if (c.opens) {
      EXPECT_EQ(TextOf(doc), "umgewandelt #Key#") << c.name;
    }
  }
  EXPECT_FALSE(IsWordDocumentFile(tmp.File("fehlt.doc")));
}

}  // namespace
