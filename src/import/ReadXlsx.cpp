#include "import/ReadXlsx.h"

#include <expat.h>
#include <zip.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <utility>

#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "platform/OsText.h"

namespace {

// ---------------------------------------------------------------------------------------
// Parts of the archive, parsed as they are unpacked.

// What a part's parser does with the elements (local names: a prefix before ":" is cut).
class TPartHandler {
 public:
  virtual ~TPartHandler() = default;
  virtual void Start(const std::string& name, const char** attributes) = 0;
  virtual void End(const std::string& name) = 0;
  virtual void Text(const char*, int) {}
  // Set by a handler that must stop the parse (a limit was reached).
  std::string error;
};

const char* LocalName(const char* name) {
  const char* colon = std::strrchr(name, ':');
  return colon ? colon + 1 : name;
}

// The value of an attribute by its local name; nullptr when absent.
const char* Attribute(const char** attributes, const char* localName) {
  for (int i = 0; attributes[i]; i += 2)
    if (std::strcmp(LocalName(attributes[i]), localName) == 0) return attributes[i + 1];
  return nullptr;
}

struct TParseState {
  XML_Parser parser;
  TPartHandler* handler;
  bool doctype = false;
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* s = static_cast<TParseState*>(data);
  s->handler->Start(LocalName(name), attributes);
  if (!s->handler->error.empty()) XML_StopParser(s->parser, XML_FALSE);
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
  auto* s = static_cast<TParseState*>(data);
  s->handler->End(LocalName(name));
  if (!s->handler->error.empty()) XML_StopParser(s->parser, XML_FALSE);
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  auto* s = static_cast<TParseState*>(data);
  s->handler->Text(text, length);
  if (!s->handler->error.empty()) XML_StopParser(s->parser, XML_FALSE);
}

void XMLCALL OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  auto* s = static_cast<TParseState*>(data);
  s->doctype = true;
  XML_StopParser(s->parser, XML_FALSE);
}

int ParseInt(const std::string& text, int fallback) {
  int v = 0;
  const char* end = text.data() + text.size();
  auto r = std::from_chars(text.data(), end, v);
  return (r.ec == std::errc() && r.ptr == end) ? v : fallback;
}

// OOXML writes characters XML cannot hold as "_xHHHH_" (and a literal "_x" as "_x005F_x").
std::string DecodeEscapes(const std::string& utf8) {
  if (utf8.find("_x") == std::string::npos) return utf8;
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    if (i + 7 <= utf8.size() && utf8[i] == '_' && utf8[i + 1] == 'x' && utf8[i + 6] == '_') {
      unsigned v = 0;
      auto r = std::from_chars(utf8.data() + i + 2, utf8.data() + i + 6, v, 16);
      if (r.ec == std::errc() && r.ptr == utf8.data() + i + 6) {
        AppendUtf8CodePoint(out, v);
        i += 7;
        continue;
      }
    }
    out += utf8[i++];
  }
  return out;
}

std::string To1252(const std::string& utf8) { return Utf8ToCp1252(DecodeEscapes(utf8)); }

// ---------------------------------------------------------------------------------------
// Number formats

// How a cell style shows a number.
struct TNumberLook {
  enum Kind { General, Date, Time, DateTime, ZeroPad } kind = General;
  int width = 0;  // ZeroPad: digits
};

TNumberLook BuiltInLook(int id) {
  TNumberLook look;
  if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) ||
      (id >= 50 && id <= 58))
    look.kind = TNumberLook::Date;
  else if (id == 22)
    look.kind = TNumberLook::DateTime;
  else if ((id >= 18 && id <= 21) || (id >= 45 && id <= 47) || id == 32 || id == 33)
    look.kind = TNumberLook::Time;
  return look;
}

// A format code's first section decides: y and d are parts of a date, h and s of a time,
// m is minutes next to h or s and the month elsewhere; quoted text, escaped characters,
// colours and conditions in brackets do not count ("[h]" does: elapsed hours).
TNumberLook CustomLook(const std::string& code) {
  TNumberLook look;
  bool date = false, time = false;
  bool lastWasHour = false;  // the last date/time letter was h (so m means minutes)
  std::string onlyZeros;
  bool zerosOnly = true;
  const size_t n = code.size();
  size_t i = 0;
  auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
  std::vector<size_t> monthAt;  // positions of m that may turn out to be minutes ("mm:ss")
  while (i < n) {
    const char c = code[i];
    if (c == ';') break;
    if (c != '0') zerosOnly = false;
    if (c == '"') {
      const size_t close = code.find('"', i + 1);
      i = close == std::string::npos ? n : close + 1;
      continue;
    }
    if (c == '\\' || c == '_' || c == '*') {
      i += 2;
      continue;
    }
    if (c == '[') {
      const size_t close = code.find(']', i + 1);
      const std::string inner = code.substr(i + 1, close == std::string::npos ? 0 : close - i - 1);
      if (!inner.empty() && (lower(inner[0]) == 'h' || lower(inner[0]) == 'm' || lower(inner[0]) == 's'))
        time = true;
      i = close == std::string::npos ? n : close + 1;
      continue;
    }
    const char l = lower(c);
    if (l == 'a' && (code.compare(i, 5, "AM/PM") == 0 || code.compare(i, 5, "am/pm") == 0)) {
      time = true;
      i += 5;
      continue;
    }
    if (l == 'a' && (code.compare(i, 3, "A/P") == 0 || code.compare(i, 3, "a/p") == 0)) {
      time = true;
      i += 3;
      continue;
    }
    if (l == 'y' || l == 'd') {
      date = true;
      lastWasHour = false;
    } else if (l == 'h') {
      time = true;
      lastWasHour = true;
    } else if (l == 's') {
      time = true;
      // "mm:ss": the m before were minutes.
      if (!monthAt.empty()) monthAt.clear();
      lastWasHour = false;
    } else if (l == 'm') {
      size_t j = i;
      while (j < n && lower(code[j]) == 'm') ++j;
      if (lastWasHour) {
        time = true;
      } else {
        monthAt.push_back(i);
      }
      i = j;
      continue;
    }
    ++i;
  }
  if (!monthAt.empty()) date = true;
  if (date && time)
    look.kind = TNumberLook::DateTime;
  else if (date)
    look.kind = TNumberLook::Date;
  else if (time)
    look.kind = TNumberLook::Time;
  else if (zerosOnly && code.size() >= 2 && code.find(';') == std::string::npos) {
    look.kind = TNumberLook::ZeroPad;
    look.width = static_cast<int>(code.size());
  }
  return look;
}

// ---------------------------------------------------------------------------------------
// The handlers of the parts.

struct TRelationship {
  std::string id, target, type;
};

class TRelsHandler : public TPartHandler {
 public:
  std::vector<TRelationship> rels;
  void Start(const std::string& name, const char** a) override {
    if (name != "Relationship") return;
    const char* id = Attribute(a, "Id");
    const char* target = Attribute(a, "Target");
    const char* type = Attribute(a, "Type");
    const char* mode = Attribute(a, "TargetMode");
    if (!id || !target || (mode && std::strcmp(mode, "External") == 0)) return;
    rels.push_back({id, target, type ? type : ""});
  }
  void End(const std::string&) override {}
};

struct TSheetEntry {
  std::string name;  // 1252
  std::string relId;
  std::string path;  // inside the archive
  bool worksheet = false;
};

class TWorkbookHandler : public TPartHandler {
 public:
  std::vector<TSheetEntry> sheets;
  bool date1904 = false;
  int activeTab = 0;
  void Start(const std::string& name, const char** a) override {
    if (name == "sheet") {
      const char* n = Attribute(a, "name");
      const char* id = Attribute(a, "id");
      sheets.push_back({To1252(n ? n : ""), id ? id : "", "", false});
    } else if (name == "workbookPr") {
      const char* d = Attribute(a, "date1904");
      date1904 = d && (std::strcmp(d, "1") == 0 || std::strcmp(d, "true") == 0);
    } else if (name == "workbookView") {
      const char* t = Attribute(a, "activeTab");
      if (t) activeTab = ParseInt(t, 0);
    }
  }
  void End(const std::string&) override {}
};

class TStylesHandler : public TPartHandler {
 public:
  std::vector<TNumberLook> xfLooks;
  void Start(const std::string& name, const char** a) override {
    if (name == "numFmt") {
      const char* id = Attribute(a, "numFmtId");
      const char* code = Attribute(a, "formatCode");
      if (id && code) custom_.emplace_back(ParseInt(id, -1), CustomLook(code));
    } else if (name == "cellXfs") {
      inCellXfs_ = true;
    } else if (name == "xf" && inCellXfs_) {
      const char* id = Attribute(a, "numFmtId");
      xfLooks.push_back(LookOf(id ? ParseInt(id, 0) : 0));
    }
  }
  void End(const std::string& name) override {
    if (name == "cellXfs") inCellXfs_ = false;
  }

 private:
  TNumberLook LookOf(int id) const {
    for (const auto& [customId, look] : custom_)
      if (customId == id) return look;
    return BuiltInLook(id);
  }
  std::vector<std::pair<int, TNumberLook>> custom_;
  bool inCellXfs_ = false;
};

// What a string in a table costs beside its characters.
constexpr std::uint64_t kEntryCost = 48;

class TStringsHandler : public TPartHandler {
 public:
  TStringsHandler(std::vector<std::string>& strings, std::uint64_t& textBytes, std::uint64_t limit)
      : strings_(strings), textBytes_(textBytes), limit_(limit) {}
  void Start(const std::string& name, const char**) override {
    if (name == "si") {
      inSi_ = true;
      current_.clear();
    } else if (name == "rPh") {
      ++inPhonetic_;
    } else if (name == "t" && inSi_ && inPhonetic_ == 0) {
      inT_ = true;
    }
  }
  void End(const std::string& name) override {
    if (name == "si") {
      inSi_ = false;
      // Every string costs its place in the table too, however short it is.
      textBytes_ += kEntryCost;
      if (textBytes_ > limit_) {
        error = "the workbook's texts exceed the size limit";
        return;
      }
      strings_.push_back(To1252(current_));
    } else if (name == "rPh") {
      if (inPhonetic_ > 0) --inPhonetic_;
    } else if (name == "t") {
      inT_ = false;
    }
  }
  void Text(const char* text, int length) override {
    if (!inT_) return;
    textBytes_ += static_cast<std::uint64_t>(length);
    if (textBytes_ > limit_) {
      error = "the workbook's texts exceed the size limit";
      return;
    }
    current_.append(text, static_cast<size_t>(length));
  }

 private:
  std::vector<std::string>& strings_;
  std::uint64_t& textBytes_;
  std::uint64_t limit_;
  std::string current_;
  bool inSi_ = false, inT_ = false;
  int inPhonetic_ = 0;
};

// Column and row of a reference such as "AB12"; false when it is none.
bool ParseCellRef(const char* ref, int& col, int& row) {
  col = 0;
  row = 0;
  const char* p = ref;
  while (*p >= 'A' && *p <= 'Z') {
    col = col * 26 + (*p - 'A' + 1);
    if (col > 16384) return false;
    ++p;
  }
  while (*p == '$') ++p;
  while (*p >= '0' && *p <= '9') {
    row = row * 10 + (*p - '0');
    if (row > 1048576) return false;
    ++p;
  }
  return *p == 0 && col > 0 && row > 0;
}

class TSheetHandler : public TPartHandler {
 public:
  TSheetHandler(TSheetCells& cells, const std::vector<std::string>& strings,
                const std::vector<TNumberLook>& looks, bool date1904, std::uint64_t& textBytes,
                const TXlsxLimits& limits)
      : cells_(cells), strings_(strings), looks_(looks), date1904_(date1904),
        textBytes_(textBytes), limits_(limits) {}

  void Start(const std::string& name, const char** a) override {
    if (name == "row") {
      const char* r = Attribute(a, "r");
      const int wanted = r ? ParseInt(r, -1) : row_ + 1;
      if (wanted < 1 || wanted > 1048576) {
        error = "a row number is out of range";
        return;
      }
      row_ = wanted;
      col_ = 0;
    } else if (name == "c") {
      const char* r = Attribute(a, "r");
      int col = col_ + 1, row = row_ < 1 ? 1 : row_;
      if (r && !ParseCellRef(r, col, row)) {
        error = "a cell reference is out of range";
        return;
      }
      if (col > 16384) {
        error = "a cell reference is out of range";
        return;
      }
      cellCol_ = col;
      cellRow_ = row;
      col_ = col;
      const char* t = Attribute(a, "t");
      type_ = t ? t : "n";
      const char* s = Attribute(a, "s");
      style_ = s ? ParseInt(s, 0) : 0;
      value_.clear();
      inline_.clear();
      inCell_ = true;
    } else if (name == "v" && inCell_) {
      collect_ = &value_;
    } else if (name == "is" && inCell_) {
      inInline_ = true;
    } else if (name == "rPh") {
      ++inPhonetic_;
    } else if (name == "t" && inInline_ && inPhonetic_ == 0) {
      collect_ = &inline_;
    }
  }

  void End(const std::string& name) override {
    if (name == "v" || name == "t") {
      collect_ = nullptr;
    } else if (name == "is") {
      inInline_ = false;
    } else if (name == "rPh") {
      if (inPhonetic_ > 0) --inPhonetic_;
    } else if (name == "c" && inCell_) {
      inCell_ = false;
      std::string text = CellText();
      if (text.empty()) return;
      if (++cellCount_ > limits_.cells) {
        error = "the sheet has more cells than the limit";
        return;
      }
      textBytes_ += text.size() + kEntryCost;
      if (textBytes_ > limits_.textBytes) {
        error = "the workbook's texts exceed the size limit";
        return;
      }
      cells_.Set(cellCol_, cellRow_, std::move(text));
    }
  }

  void Text(const char* text, int length) override {
    if (!collect_) return;
    if (collect_->size() + static_cast<size_t>(length) > limits_.textBytes) {
      error = "the workbook's texts exceed the size limit";
      return;
    }
    collect_->append(text, static_cast<size_t>(length));
  }

 private:
  std::string CellText() const {
    if (type_ == "s") {
      const int index = ParseInt(value_, -1);
      return index >= 0 && static_cast<size_t>(index) < strings_.size()
                 ? strings_[static_cast<size_t>(index)]
                 : std::string();
    }
    if (type_ == "inlineStr") return To1252(inline_);
    if (type_ == "str" || type_ == "e") return To1252(value_);
    if (type_ == "b") return value_ == "1" || value_ == "true" ? "1" : (value_.empty() ? "" : "0");
    if (type_ == "d") return IsoDateText(value_);
    if (value_.empty()) return std::string();
    double v = 0;
    const char* end = value_.data() + value_.size();
    auto r = std::from_chars(value_.data(), end, v);
    if (r.ec != std::errc() || r.ptr != end) return To1252(value_);
    const TNumberLook look = style_ >= 0 && static_cast<size_t>(style_) < looks_.size()
                                 ? looks_[static_cast<size_t>(style_)]
                                 : TNumberLook{};
    switch (look.kind) {
      case TNumberLook::Date:
        return FormatSheetDateTime(Serial(v), TSheetDateKind::Date);
      case TNumberLook::DateTime:
        return FormatSheetDateTime(Serial(v), TSheetDateKind::DateTime);
      case TNumberLook::Time:
        return FormatSheetDateTime(v - static_cast<double>(static_cast<long long>(v)),
                                   TSheetDateKind::Time);
      case TNumberLook::ZeroPad:
        if (v >= 0 && v < 1e15 && v == static_cast<double>(static_cast<long long>(v))) {
          std::string digits = std::to_string(static_cast<long long>(v));
          if (digits.size() < static_cast<size_t>(look.width))
            digits.insert(0, static_cast<size_t>(look.width) - digits.size(), '0');
          return digits;
        }
        break;
      case TNumberLook::General:
        break;
    }
    return FormatSheetNumber(v);
  }

  // Days since 1899-12-30. The 1900 system counts a 29 February 1900 that never was, so
  // its first 60 days are one day off; the 1904 system starts 1462 days later.
  double Serial(double v) const {
    if (date1904_) return v + 1462;
    return v < 60 ? v + 1 : v;
  }

  static std::string IsoDateText(const std::string& text) {
    int y = 0, m = 0, d = 0, h = 0, mi = 0, s = 0;
    const int got = std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d", &y, &m, &d, &h, &mi, &s);
    if (got < 3 || PackDate(y, m, d) == 0) return To1252(text);
    return FormatSheetDateTime(EncodeDateTime(y, m, d, h, mi, s),
                               got > 3 ? TSheetDateKind::DateTime : TSheetDateKind::Date);
  }

  TSheetCells& cells_;
  const std::vector<std::string>& strings_;
  const std::vector<TNumberLook>& looks_;
  bool date1904_;
  std::uint64_t& textBytes_;
  const TXlsxLimits& limits_;
  int row_ = 0, col_ = 0;
  int cellCol_ = 0, cellRow_ = 0;
  std::string type_;
  int style_ = 0;
  std::string value_, inline_;
  std::string* collect_ = nullptr;
  bool inCell_ = false, inInline_ = false;
  int inPhonetic_ = 0;
  std::uint64_t cellCount_ = 0;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A relationship's target as a path inside the archive.
std::string ResolveTarget(const std::string& base, const std::string& target) {
  std::string path = target.starts_with("/") ? target.substr(1) : base + target;
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t slash = path.find('/', start);
    const std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

bool EndsWith(const std::string& text, const char* tail) {
  const size_t n = std::strlen(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------

struct TReadXlsx::TImpl {
  std::string bytes;  // the archive; libzip reads from it
  zip_t* zip = nullptr;
  std::vector<std::string> strings;
  std::vector<TNumberLook> looks;
  std::vector<TSheetEntry> sheets;  // worksheets only
  int activeSheet = 1;
  bool date1904 = false;
  std::uint64_t stringBytes = 0;

  ~TImpl() {
    if (zip) zip_discard(zip);
  }

  // Parses a part. A missing part is an error only when `required`.
  bool Parse(const std::string& name, TPartHandler& handler, bool required,
             const TXlsxLimits& limits, std::string& error) {
    const zip_int64_t index = zip_name_locate(zip, name.c_str(), ZIP_FL_NOCASE);
    if (index < 0) {
      if (required) error = "the workbook lacks its part " + name;
      return !required;
    }
    zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
      error = "the part " + name + " cannot be unpacked";
      return false;
    }
    XML_Parser parser = XML_ParserCreate(nullptr);
    TParseState state{parser, &handler};
    XML_SetUserData(parser, &state);
    XML_SetElementHandler(parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser, OnText);
    XML_SetStartDoctypeDeclHandler(parser, OnDoctype);
    std::vector<char> buffer(1 << 16);
    std::uint64_t total = 0;
    bool ok = true;
    for (;;) {
      const zip_int64_t got = zip_fread(file, buffer.data(), buffer.size());
      if (got < 0) {
        error = "the part " + name + " cannot be unpacked";
        ok = false;
        break;
      }
      total += static_cast<std::uint64_t>(got);
      if (total > limits.partBytes) {
        error = "the part " + name + " exceeds the size limit";
        ok = false;
        break;
      }
      if (XML_Parse(parser, buffer.data(), static_cast<int>(got), got == 0) == XML_STATUS_ERROR) {
        if (state.doctype)
          error = "the part " + name + " declares a document type";
        else if (!handler.error.empty())
          error = handler.error;
        else
          error = "the part " + name + " is no well-formed XML (line " +
                  std::to_string(XML_GetCurrentLineNumber(parser)) + ": " +
                  XML_ErrorString(XML_GetErrorCode(parser)) + ")";
        ok = false;
        break;
      }
      if (got == 0) break;
    }
    XML_ParserFree(parser);
    zip_fclose(file);
    return ok;
  }
};

TReadXlsx::TReadXlsx() = default;

TReadXlsx::~TReadXlsx() { Close(); }

void TReadXlsx::Close() {
  impl_.reset();
  TReadCells::Close();
}

bool TReadXlsx::Open(const std::string& fileName) {
  Close();
  error_.clear();
  const std::int64_t size = GetFileSize64(fileName);
  if (size < 0) return Fail("file not found");
  if (static_cast<std::uint64_t>(size) > limits_.fileBytes) return Fail("the file exceeds the size limit");
  impl_ = std::make_unique<TImpl>();
  if (!ReadFileToString(fileName, impl_->bytes)) return Fail("the file cannot be read");
  zip_error_t zipError;
  zip_error_init(&zipError);
  zip_source_t* source =
      zip_source_buffer_create(impl_->bytes.data(), impl_->bytes.size(), 0, &zipError);
  if (source) impl_->zip = zip_open_from_source(source, ZIP_RDONLY, &zipError);
  zip_error_fini(&zipError);
  if (!impl_->zip) {
    if (source) zip_source_free(source);
    return Fail("the file is no zip archive");
  }

  std::string why;
  // The package names its workbook part; "xl/workbook.xml" where it does not.
  TRelsHandler packageRels;
  if (!impl_->Parse("_rels/.rels", packageRels, false, limits_, why)) return Fail(why);
  std::string workbook = "xl/workbook.xml";
  for (const auto& r : packageRels.rels)
    if (EndsWith(r.type, "/officeDocument")) workbook = ResolveTarget("", r.target);
  TWorkbookHandler book;
  if (!impl_->Parse(workbook, book, true, limits_, why)) return Fail(why);
  const std::string base = FolderOf(workbook);
  TRelsHandler bookRels;
  const std::string relsName = base + "_rels/" + workbook.substr(base.size()) + ".rels";
  if (!impl_->Parse(relsName, bookRels, false, limits_, why)) return Fail(why);

  std::string stringsPart, stylesPart;
  for (const auto& r : bookRels.rels) {
    if (EndsWith(r.type, "/sharedStrings")) stringsPart = ResolveTarget(base, r.target);
    if (EndsWith(r.type, "/styles")) stylesPart = ResolveTarget(base, r.target);
  }
  int tab = 0, worksheetIndex = 0;
  for (auto& sheet : book.sheets) {
    for (const auto& r : bookRels.rels)
      if (r.id == sheet.relId) {
        sheet.path = ResolveTarget(base, r.target);
        sheet.worksheet = EndsWith(r.type, "/worksheet");
      }
    if (sheet.relId.empty() && bookRels.rels.empty()) {
      // No relationships at all: the usual names.
      sheet.path = base + "worksheets/sheet" + std::to_string(tab + 1) + ".xml";
      sheet.worksheet = true;
    }
    if (sheet.worksheet) {
      impl_->sheets.push_back(sheet);
      ++worksheetIndex;
      if (tab == book.activeTab) impl_->activeSheet = worksheetIndex;
    }
    ++tab;
  }
  if (impl_->sheets.empty()) return Fail("the workbook has no worksheet");
  if (stringsPart.empty() && zip_name_locate(impl_->zip, (base + "sharedStrings.xml").c_str(), ZIP_FL_NOCASE) >= 0)
    stringsPart = base + "sharedStrings.xml";
  impl_->date1904 = book.date1904;

  if (!stringsPart.empty()) {
    TStringsHandler strings(impl_->strings, impl_->stringBytes, limits_.textBytes);
    if (!impl_->Parse(stringsPart, strings, false, limits_, why)) return Fail(why);
  }
  if (!stylesPart.empty()) {
    TStylesHandler styles;
    if (!impl_->Parse(stylesPart, styles, false, limits_, why)) return Fail(why);
    impl_->looks = std::move(styles.xfLooks);
  }
  fileName_ = fileName;
  state_ = 2;
  if (!SelectSheet(1)) return Fail(error_);
  return true;
}

bool TReadXlsx::SelectSheet(int n) {
  cells_.Clear();
  sheet_ = 0;
  if (!IsOpen() || !impl_ || n < 1 || static_cast<size_t>(n) > impl_->sheets.size()) {
    error_ = "there is no such sheet";
    return false;
  }
  std::uint64_t textBytes = impl_->stringBytes;
  TSheetHandler handler(cells_, impl_->strings, impl_->looks, impl_->date1904, textBytes, limits_);
  if (!impl_->Parse(impl_->sheets[static_cast<size_t>(n) - 1].path, handler, true, limits_, error_)) {
    cells_.Clear();
    return false;
  }
  sheet_ = n;
  return true;
}

void TReadXlsx::SelectActiveSheet() {
  if (impl_) SelectSheet(impl_->activeSheet);
}

std::vector<std::string> TReadXlsx::SheetNames() const {
  std::vector<std::string> names;
  if (impl_)
    for (const auto& s : impl_->sheets) names.push_back(s.name);
  return names;
}
