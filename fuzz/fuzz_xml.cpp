// The XML reader on arbitrary bytes: it must not crash or loop, must keep its limits, and
// the tree it builds must hang together (every node knows its parent and document, names
// come from the document's table, no empty element is kept).
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "import/XmlUnit.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void Walk(const TMerivanXmlFile& xml, const TMerivanXmlNode* node, int depth) {
  Check(depth <= TMerivanXmlFile::kMaxDepth);
  Check(node->Document() == &xml);
  const std::string& name = node->XmlNodeName();
  Check(!name.empty());
  Check(xml.XmlNameIndex(name) == node->NameIndex());
  if (depth > 0) {
    Check(!node->AttributeText().empty() || !node->Text().empty() || node->ChildCount() > 0);
    Check(name[0] != '/');
  }
  for (const std::string* t : {&node->Text(), &node->AttributeText()})
    if (!t->empty()) Check(static_cast<unsigned char>(t->front()) > 32 &&
                           static_cast<unsigned char>(t->back()) > 32);
  for (int i = 0; i < node->ChildCount(); ++i) {
    const TMerivanXmlNode* child = node->XmlChild(i);
    Check(child->Parent() == node);
    Walk(xml, child, depth + 1);
  }
  if (node->ChildCount() > 0) {
    const std::string& first = node->XmlChild(0)->XmlNodeName();
    Check(node->XmlFirstChildByName(first) == node->XmlChild(0));
    Check(!node->XmlChildrenByName(first).empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  TMerivanXmlFile xml;
  if (!xml.XmlParseText(bytes)) {
    Check(xml.XmlDocumentElement() == nullptr);
    return 0;
  }
  Walk(xml, xml.Root(), 0);
  Check(xml.XmlDocumentElement() == xml.Root()->XmlChild(0));
  // Parsing again gives the same tree.
  TMerivanXmlFile again;
  Check(again.XmlParseText(bytes));
  Check(again.Root()->ChildCount() == xml.Root()->ChildCount());
  return 0;
}
