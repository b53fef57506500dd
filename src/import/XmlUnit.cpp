#include "import/XmlUnit.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "import/ImportText.h"

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// ISO-8859-15 differs from Latin-1 in eight places; their 1252 bytes.
char FromLatin9(unsigned char c) {
  switch (c) {
    case 0xA4: return '\x80';  // euro sign
    case 0xA6: return '\x8A';  // S caron
    case 0xA8: return '\x9A';  // s caron
    case 0xB4: return '\x8E';  // Z caron
    case 0xB8: return '\x9E';  // z caron
    case 0xBC: return '\x8C';  // OE
    case 0xBD: return '\x9C';  // oe
    case 0xBE: return '\x9F';  // Y diaeresis
    default: return static_cast<char>(c);
  }
}

// The encoding named in an XML declaration at the start of 8-bit text, upper case; empty
// when there is none.
std::string DeclaredEncoding(const std::string& bytes) {
  size_t start = 0;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
  if (bytes.compare(start, 5, "<?xml") != 0) return "";
  const size_t end = bytes.find("?>", start);
  if (end == std::string::npos) return "";
  const std::string decl = bytes.substr(start, end - start);
  const size_t at = decl.find("encoding");
  if (at == std::string::npos) return "";
  size_t i = at + 8;
  while (i < decl.size() && (IsBlank(decl[i]) || decl[i] == '=')) ++i;
  if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) return "";
  const size_t close = decl.find(decl[i], i + 1);
  if (close == std::string::npos) return "";
  return AnsiUpperCase(decl.substr(i + 1, close - i - 1));
}

// The character of a reference or one of the five predefined entities at text[i] ("&...;"):
// appended to `out` as 1252 with the length consumed; 0 when it is none (the "&" stays).
size_t DecodeReference(const std::string& text, size_t i, size_t to, std::string& out) {
  const size_t semi = text.find(';', i + 1);
  if (semi == std::string::npos || semi >= to || semi - i > 12) return 0;
  const std::string name = text.substr(i + 1, semi - i - 1);
  if (name.size() >= 2 && name[0] == '#') {
    unsigned long v = 0;
    const bool isHex = name[1] == 'x' || name[1] == 'X';
    const char* first = name.data() + (isHex ? 2 : 1);
    const char* last = name.data() + name.size();
    auto r = std::from_chars(first, last, v, isHex ? 16 : 10);
    if (r.ec != std::errc() || r.ptr != last || first == last) return 0;
    const int b = v <= 0x10FFFF ? UnicodeToCp1252(static_cast<char32_t>(v)) : -1;
    out += b < 0 ? '?' : static_cast<char>(b);
    return semi - i + 1;
  }
  static const struct {
    const char* name;
    char c;
  } kEntities[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& e : kEntities)
    if (name == e.name) {
      out += e.c;
      return semi - i + 1;
    }
  return 0;
}

void AppendDecoded(const std::string& text, size_t from, size_t to, std::string& out) {
  size_t i = from;
  while (i < to) {
    // Only the piece is searched: a search to the end of the text for every piece of
    // character data made a large file quadratic.
    const size_t found = std::string_view(text).substr(i, to - i).find('&');
    const size_t amp = found == std::string_view::npos ? std::string::npos : i + found;
    if (amp == std::string::npos || amp >= to) {
      out.append(text, i, to - i);
      return;
    }
    out.append(text, i, amp - i);
    const size_t used = DecodeReference(text, amp, to, out);
    if (used == 0) {
      out += '&';
      i = amp + 1;
    } else {
      i = amp + used;
    }
  }
}

}  // namespace

std::string XmlBytesToAnsi(const std::string& bytes) {
  auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const size_t n = bytes.size();
  // A mark decides; so does UTF-16 without one, recognisable by its "<" next to a 0 byte.
  if ((n >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) ||
      (n >= 2 && ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF))))
    return DecodeImportBytes(bytes);
  if (n >= 4 && at(0) == '<' && at(1) == 0 && at(2) != 0 && at(3) == 0)
    return DecodeImportBytes(std::string("\xFF\xFE", 2) + bytes);
  if (n >= 4 && at(0) == 0 && at(1) == '<' && at(2) == 0 && at(3) != 0)
    return DecodeImportBytes(std::string("\xFE\xFF", 2) + bytes);
  const std::string enc = DeclaredEncoding(bytes);
  if (enc == "ISO-8859-1" || enc == "ISO8859-1" || enc == "LATIN1" || enc == "LATIN-1" ||
      enc == "WINDOWS-1252" || enc == "CP1252" || enc == "US-ASCII" || enc == "ASCII")
    return bytes;  // 1252 holds Latin-1's characters where they are printable
  if (enc == "ISO-8859-15" || enc == "ISO8859-15" || enc == "LATIN9" || enc == "LATIN-9") {
    std::string out = bytes;
    for (char& c : out) c = FromLatin9(static_cast<unsigned char>(c));
    return out;
  }
  // UTF-8, declared or by default: when it is valid UTF-8; otherwise the file was written
  // in the old code page whatever it claims.
  return DecodeImportBytes(bytes);
}

// ---------------------------------------------------------------------------------------
// TMerivanXmlNode

TMerivanXmlNode::TMerivanXmlNode(TMerivanXmlFile* document, TMerivanXmlNode* parent,
                                 std::int32_t nameIndex)
    : document_(document), parent_(parent), nameIndex_(document ? nameIndex : -1) {}

const std::string& TMerivanXmlNode::XmlNodeName() const {
  static const std::string empty;
  return document_ ? document_->NameAt(nameIndex_) : empty;
}

TMerivanXmlNode* TMerivanXmlNode::XmlChild(int index) const {
  return index >= 0 && index < ChildCount() ? children_[static_cast<size_t>(index)].get() : nullptr;
}

std::vector<TMerivanXmlNode*> TMerivanXmlNode::XmlChildrenByName(const std::string& name) const {
  std::vector<TMerivanXmlNode*> found;
  const std::int32_t index = document_ ? document_->XmlNameIndex(name) : -1;
  if (index < 0) return found;
  for (const auto& child : children_)
    if (child->nameIndex_ == index) found.push_back(child.get());
  return found;
}

TMerivanXmlNode* TMerivanXmlNode::XmlFirstChildByName(const std::string& name) const {
  const std::int32_t index = document_ ? document_->XmlNameIndex(name) : -1;
  if (index < 0) return nullptr;
  for (const auto& child : children_)
    if (child->nameIndex_ == index) return child.get();
  return nullptr;
}

std::string TMerivanXmlNode::XmlChildText(const std::string& name) const {
  const TMerivanXmlNode* child = XmlFirstChildByName(name);
  return child ? child->text_ : std::string();
}

// ---------------------------------------------------------------------------------------
// TMerivanXmlFile

TMerivanXmlFile::TMerivanXmlFile() {
  root_ = std::make_unique<TMerivanXmlNode>(this, nullptr, XmlNameIndexAdd("_Root"));
}

std::int32_t TMerivanXmlFile::XmlNameIndex(const std::string& name) const {
  auto it = nameIndex_.find(name);
  return it == nameIndex_.end() ? -1 : it->second;
}

std::int32_t TMerivanXmlFile::XmlNameIndexAdd(const std::string& name) {
  auto it = nameIndex_.find(name);
  if (it != nameIndex_.end()) return it->second;
  const auto index = static_cast<std::int32_t>(names_.size());
  names_.push_back(name);
  nameIndex_.emplace(name, index);
  return index;
}

const std::string& TMerivanXmlFile::NameAt(std::int32_t index) const {
  static const std::string empty;
  return index >= 0 && static_cast<size_t>(index) < names_.size() ? names_[static_cast<size_t>(index)]
                                                                   : empty;
}

TMerivanXmlNode* TMerivanXmlFile::XmlDocumentElement() const { return root_->XmlChild(0); }

bool TMerivanXmlFile::XmlParseText(const std::string& bytes) {
  names_.clear();
  nameIndex_.clear();
  root_ = std::make_unique<TMerivanXmlNode>(this, nullptr, XmlNameIndexAdd("_Root"));
  if (bytes.size() > kMaxTextBytes) return false;
  const std::string text = XmlBytesToAnsi(bytes);
  const size_t n = text.size();

  // The open elements; the root at the bottom. A closed element joins its parent's
  // children only when it carries something.
  std::vector<TMerivanXmlNode*> open{root_.get()};
  std::vector<std::unique_ptr<TMerivanXmlNode>> owned;  // open elements below the root
  auto closeTop = [&] {
    TMerivanXmlNode* node = open.back();
    node->text_ = Trim(node->text_);
    open.pop_back();
    std::unique_ptr<TMerivanXmlNode> self = std::move(owned.back());
    owned.pop_back();
    if (!node->attributes_.empty() || !node->text_.empty() || !node->children_.empty())
      open.back()->children_.push_back(std::move(self));
  };

  size_t i = 0;
  while (i < n) {
    const size_t lt = text.find('<', i);
    const size_t textEnd = lt == std::string::npos ? n : lt;
    if (textEnd > i) AppendDecoded(text, i, textEnd, open.back()->text_);
    if (lt == std::string::npos) break;
    i = lt;
    if (text.compare(i, 4, "<!--") == 0) {
      const size_t end = text.find("-->", i + 4);
      i = end == std::string::npos ? n : end + 3;
      continue;
    }
    if (text.compare(i, 9, "<![CDATA[") == 0) {
      const size_t end = text.find("]]>", i + 9);
      const size_t stop = end == std::string::npos ? n : end;
      open.back()->text_.append(text, i + 9, stop - i - 9);
      i = end == std::string::npos ? n : end + 3;
      continue;
    }
    if (text.compare(i, 2, "<?") == 0) {
      const size_t end = text.find("?>", i + 2);
      i = end == std::string::npos ? n : end + 2;
      continue;
    }
    if (text.compare(i, 2, "<!") == 0) {
      // The document type (or another declaration): to its ">", past quoted literals and
      // an internal subset in brackets, whose declarations are not used.
      size_t k = i + 2;
      int brackets = 0;
      while (k < n) {
        const char c = text[k];
        if (c == '"' || c == '\'') {
          const size_t close = text.find(c, k + 1);
          k = close == std::string::npos ? n : close + 1;
          continue;
        }
        if (c == '[') ++brackets;
        if (c == ']' && brackets > 0) --brackets;
        if (c == '>' && brackets == 0) break;
        ++k;
      }
      i = k < n ? k + 1 : n;
      continue;
    }
    // A tag: to its ">", past quoted attribute values.
    size_t k = i + 1;
    while (k < n && text[k] != '>') {
      if (text[k] == '"' || text[k] == '\'') {
        const size_t close = text.find(text[k], k + 1);
        k = close == std::string::npos ? n : close + 1;
        continue;
      }
      ++k;
    }
    std::string tag = Trim(text.substr(i + 1, (k < n ? k : n) - i - 1));
    i = k < n ? k + 1 : n;
    if (tag.empty()) continue;
    if (tag[0] == '/') {
      const std::string name = Trim(tag.substr(1));
      if (name.empty()) {
        if (open.size() > 1) closeTop();
        continue;
      }
      const std::int32_t index = XmlNameIndex(name);
      size_t match = open.size();
      for (size_t d = open.size(); d-- > 1;)
        if (open[d]->nameIndex_ == index) {
          match = d;
          break;
        }
      if (index < 0 || match == open.size()) continue;  // closes nothing open: ignored
      while (open.size() > match) closeTop();
      continue;
    }
    const bool empty = tag.back() == '/';
    if (empty) tag = Trim(tag.substr(0, tag.size() - 1));
    size_t blank = 0;
    while (blank < tag.size() && !IsBlank(tag[blank])) ++blank;
    const std::string name = tag.substr(0, blank);
    if (name.empty()) continue;
    if (static_cast<int>(open.size()) > kMaxDepth) {
      names_.clear();
      nameIndex_.clear();
      root_ = std::make_unique<TMerivanXmlNode>(this, nullptr, XmlNameIndexAdd("_Root"));
      return false;
    }
    auto node = std::make_unique<TMerivanXmlNode>(this, open.back(), XmlNameIndexAdd(name));
    node->attributes_ = Trim(tag.substr(blank));
    open.push_back(node.get());
    owned.push_back(std::move(node));
    if (empty) closeTop();
  }
  while (open.size() > 1) closeTop();
  root_->text_ = Trim(root_->text_);
  return true;
}
