#include "import/XmlUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The tree as one line: name[attributes]{text}(children...), for compact expectations.
std::string Dump(const TMerivanXmlNode* node) {
  std::string out = node->XmlNodeName();
  if (!node->AttributeText().empty()) out += "[" + node->AttributeText() + "]";
  if (!node->Text().empty()) out += "{" + node->Text() + "}";
  if (node->ChildCount() > 0) {
    out += "(";
    for (int i = 0; i < node->ChildCount(); ++i) out += (i ? " " : "") + Dump(node->XmlChild(i));
    out += ")";
  }
  return out;
}

std::string Parsed(const std::string& bytes) {
  TMerivanXmlFile xml;
  EXPECT_TRUE(xml.XmlParseText(bytes)) << bytes;
  return Dump(xml.Root());
}

}  // namespace

TEST(XmlUnit, TreeOfAPlanFile) {
  TMerivanXmlFile xml;
  ASSERT_TRUE(xml.XmlParseText(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<!-- exported > by a planner -->\r\n"
      "<dorider version=\"2\">\r\n"
      "  <Zylinder>\r\n"
      "    <Schliessung><SchluesselNummer>Z 1</SchluesselNummer><Zylinderanzahl>2"
      "</Zylinderanzahl><TuerNr>B&amp;K 1.01</TuerNr></Schliessung>\r\n"
      "    <Schliessung><SchluesselNummer>Z 2</SchluesselNummer><Leer/><Leer></Leer>"
      "</Schliessung>\r\n"
      "  </Zylinder>\r\n"
      "</dorider>\r\n"));
  TMerivanXmlNode* doc = xml.XmlDocumentElement();
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->XmlNodeName(), "dorider");
  EXPECT_EQ(doc->AttributeText(), "version=\"2\"");
  const TMerivanXmlNode* list = doc->XmlFirstChildByName("Zylinder");
  ASSERT_NE(list, nullptr);
  const auto cylinders = list->XmlChildrenByName("Schliessung");
  ASSERT_EQ(cylinders.size(), 2u);
  EXPECT_EQ(cylinders[0]->XmlChildText("SchluesselNummer"), "Z 1");
  EXPECT_EQ(cylinders[0]->XmlChildText("Zylinderanzahl"), "2");
  EXPECT_EQ(cylinders[0]->XmlChildText("TuerNr"), "B&K 1.01");
  EXPECT_EQ(cylinders[1]->XmlChildText("TuerNr"), "");
  // Empty elements are not kept.
  EXPECT_EQ(cylinders[1]->ChildCount(), 1);
  EXPECT_EQ(cylinders[0]->Parent(), list);
  EXPECT_TRUE(list->XmlChildrenByName("Nichts").empty());
  EXPECT_EQ(list->XmlFirstChildByName("Nichts"), nullptr);
  EXPECT_EQ(xml.XmlNameIndex("Nichts"), -1);
  EXPECT_EQ(xml.XmlNameIndex("_Root"), 0);
  EXPECT_GT(xml.XmlNameIndex("Leer"), 0);  // seen, although not kept
}

TEST(XmlUnit, Parsing) {
  struct Case {
    std::string bytes;
    std::string tree;
    const char* what;
  };
  const Case cases[] = {
      {"<a>x &lt;&gt;&amp;&quot;&apos; &#252;&#xFC;&#x20AC;&#x4E2D;</a>",
       "_Root(a{x <>&\"' \xFC\xFC\x80?})", "entities and character references"},
      {"<a>&unknown; &#xZZ; & &#1114112;</a>", "_Root(a{&unknown; &#xZZ; & ?})",
       "what is no reference stays"},
      {"<a><![CDATA[1 < 2 > 0 &amp;]]></a>", "_Root(a{1 < 2 > 0 &amp;})", "CDATA as it is"},
      {"<a t=\"x>y\" u='p>q'>v</a>", "_Root(a[t=\"x>y\" u='p>q']{v})", "> in quoted values"},
      {"<a><!-- <b>x</b> -> --><c>1</c></a>", "_Root(a(c{1}))", "> and tags in comments"},
      {"<a><b>1</a><c>2</c>", "_Root(a(b{1}) c{2})", "an end tag closes the open elements inside"},
      {"<a><b>1</x></b>2</a>", "_Root(a{2}(b{1}))", "an unmatched end tag is ignored"},
      {"<a><b>1</></a>", "_Root(a(b{1}))", "</> closes the current element"},
      {"<a><b>1", "_Root(a(b{1}))", "the end of the text closes everything"},
      {"<a\r\n  k=\"1\"\t/>", "_Root(a[k=\"1\"])", "line breaks and TABs in a tag"},
      {"<a> <b/> <c></c> </a>", "_Root", "nothing but empty elements"},
      {"<!DOCTYPE a [<!ENTITY e \"x>y\"> <!ELEMENT a ANY>]><a>&e;</a>", "_Root(a{&e;})",
       "the document type is skipped, its entities are not expanded"},
      {"<?xml version=\"1.0\"?><?pi a > b ?><a>1</a>", "_Root(a{1})", "processing instructions"},
      {"<a>  x \r\n y  </a>", "_Root(a{x \r\n y})", "text trimmed"},
      {"<a:b xmlns:a=\"u\">1</a:b>", "_Root(a:b[xmlns:a=\"u\"]{1})", "names with a prefix"},
  };
  for (const auto& c : cases) EXPECT_EQ(Parsed(c.bytes), c.tree) << c.what;
}

TEST(XmlUnit, DeclaredEncodingIsHonoured) {
  struct Case {
    std::string bytes;
    std::string text;
    const char* what;
  };
  const std::string utf8 = "<a>M\xC3\xBCller \xE2\x82\xAC</a>";
  const Case cases[] = {
      {utf8, "M\xFCller \x80", "no declaration: UTF-8"},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?>" + utf8, "M\xFCller \x80", "UTF-8"},
      {"<?xml version='1.0' encoding='ISO-8859-1'?><a>M\xFCller</a>", "M\xFCller", "Latin-1"},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\x80 \x8A</a>", "\x80 \x8A", "1252"},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><a>\xA4 \xA6</a>", "\x80 \x8A", "Latin-9"},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>M\xFCller</a>", "M\xFCller",
       "claims UTF-8 but is 1252"},
      {"\xEF\xBB\xBF<a>\xC3\xA4</a>", "\xE4", "UTF-8 mark"},
      {std::string("\xFF\xFE<\0a\0>\0\xE4\0<\0/\0a\0>\0", 18), "\xE4", "UTF-16 LE with mark"},
      {std::string("<\0a\0>\0\xE4\0<\0/\0a\0>\0", 16), "\xE4", "UTF-16 LE without mark"},
      {std::string("\0<\0a\0>\0\xE4\0<\0/\0a\0>", 16), "\xE4", "UTF-16 BE without mark"},
  };
  for (const auto& c : cases) {
    TMerivanXmlFile xml;
    ASSERT_TRUE(xml.XmlParseText(c.bytes)) << c.what;
    ASSERT_NE(xml.XmlDocumentElement(), nullptr) << c.what;
    EXPECT_EQ(xml.XmlDocumentElement()->Text(), c.text) << c.what;
  }
}

TEST(XmlUnit, Limits) {
  std::string deep;
  for (int i = 0; i < 256; ++i) deep += "<e>";
  deep += "x";
  TMerivanXmlFile xml;
  ASSERT_TRUE(xml.XmlParseText(deep));
  const TMerivanXmlNode* node = xml.Root();
  int depth = 0;
  while (node->ChildCount() > 0) {
    node = node->XmlChild(0);
    ++depth;
  }
  EXPECT_EQ(depth, 256);
  EXPECT_EQ(node->Text(), "x");

  EXPECT_FALSE(xml.XmlParseText("<e>" + deep));
  EXPECT_EQ(xml.XmlDocumentElement(), nullptr);
  // Siblings do not add up to depth.
  std::string wide;
  for (int i = 0; i < 1000; ++i) wide += "<e>1</e>";
  EXPECT_TRUE(xml.XmlParseText("<r>" + wide + "</r>"));
  EXPECT_EQ(xml.XmlDocumentElement()->ChildCount(), 1000);

  std::string big(TMerivanXmlFile::kMaxTextBytes + 1, ' ');
  big.replace(0, 8, "<a>1</a>");
  EXPECT_FALSE(xml.XmlParseText(big));
  EXPECT_EQ(xml.XmlDocumentElement(), nullptr);
}
