#pragma once
// A small XML reader for the locking-plan files of planning programs: the text becomes a
// tree of named nodes, each with its attribute text (kept whole, as written), its
// character data and its children. There is no writer.
//
// The text is decoded first: a UTF-8 or UTF-16 mark decides, else the encoding the XML
// declaration names (UTF-8, ISO-8859-1, ISO-8859-15, windows-1252, US-ASCII), else UTF-8;
// a text that claims UTF-8 but is not valid UTF-8 is read as 1252, as the older planning
// programs wrote it. Character data is 1252 with its entities and character references
// decoded ("&amp;", "&#252;", "&#xFC;"; characters 1252 lacks become "?") and CDATA sections
// taken as they are. Comments, processing instructions and the document type are skipped,
// a ">" inside them or inside a quoted attribute value included; entities the document
// type declares are not expanded.
//
// An end tag closes the open element of its name (and every element opened inside it that
// is still open); an end tag that matches no open element is ignored, and "</>" closes the
// current one. The end of the text closes everything. An element with neither attribute
// text, nor character data, nor children is not kept.
//
// Limits: texts of more than 64 MiB and elements nested deeper than 256 are refused.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TMerivanXmlFile;

class TMerivanXmlNode {
 public:
  TMerivanXmlNode(TMerivanXmlFile* document, TMerivanXmlNode* parent, std::int32_t nameIndex);
  TMerivanXmlNode(const TMerivanXmlNode&) = delete;
  TMerivanXmlNode& operator=(const TMerivanXmlNode&) = delete;

  // The element's name; empty for a node of no document.
  const std::string& XmlNodeName() const;
  std::int32_t NameIndex() const { return nameIndex_; }
  // The start tag after its name, trimmed (without the "/" of an empty element).
  const std::string& AttributeText() const { return attributes_; }
  // The character data directly inside the element, trimmed.
  const std::string& Text() const { return text_; }
  TMerivanXmlNode* Parent() const { return parent_; }
  TMerivanXmlFile* Document() const { return document_; }

  int ChildCount() const { return static_cast<int>(children_.size()); }
  // The child at `index` (from 0); nullptr outside.
  TMerivanXmlNode* XmlChild(int index) const;
  // The children of that name, in order (an empty list when there is none).
  std::vector<TMerivanXmlNode*> XmlChildrenByName(const std::string& name) const;
  // The first child of that name; nullptr when there is none.
  TMerivanXmlNode* XmlFirstChildByName(const std::string& name) const;
  // The text of the first child of that name; empty when there is none.
  std::string XmlChildText(const std::string& name) const;

 private:
  friend class TMerivanXmlFile;
  TMerivanXmlFile* document_;
  TMerivanXmlNode* parent_;
  std::int32_t nameIndex_;
  std::string attributes_;
  std::string text_;
  std::vector<std::unique_ptr<TMerivanXmlNode>> children_;
};

class TMerivanXmlFile {
 public:
  static constexpr std::size_t kMaxTextBytes = 64u << 20;
  static constexpr int kMaxDepth = 256;

  TMerivanXmlFile();
  TMerivanXmlFile(const TMerivanXmlFile&) = delete;
  TMerivanXmlFile& operator=(const TMerivanXmlFile&) = delete;

  // Parses a file's bytes into the tree below the root "_Root" (the old tree goes). False,
  // with an empty tree, for a text beyond the limits.
  bool XmlParseText(const std::string& bytes);
  // The root's first child: the document element; nullptr when there is none.
  TMerivanXmlNode* XmlDocumentElement() const;
  TMerivanXmlNode* Root() const { return root_.get(); }

  // The index of a name in the document's table of names; -1 when it never occurred.
  std::int32_t XmlNameIndex(const std::string& name) const;
  // The same, adding the name when it is new.
  std::int32_t XmlNameIndexAdd(const std::string& name);
  const std::string& NameAt(std::int32_t index) const;

 private:
  std::unique_ptr<TMerivanXmlNode> root_;
  std::vector<std::string> names_;
  std::unordered_map<std::string, std::int32_t> nameIndex_;
};

// The bytes of an XML file as 1252 text, decoded as described above.
std::string XmlBytesToAnsi(const std::string& bytes);
