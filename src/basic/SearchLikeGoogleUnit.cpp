#include "basic/SearchLikeGoogleUnit.h"

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"

namespace {

bool BoundaryFree(std::string_view text, size_t pos) {
  return pos >= text.size() || static_cast<unsigned char>(text[pos]) < '0';
}

}  // namespace

void TSearchLikeGoogle::SetSearchText(const std::string& text) {
  for (int i = 0; i < kMaxTerms; ++i) {
    Terms[i].clear();
    Quoted[i] = false;
  }
  Count = kMaxTerms;
  std::string rest = text;
  for (int i = 0; i < kMaxTerms; ++i) {
    rest = Trim(rest);
    std::string term;
    bool quoted = false;
    if (!rest.empty() && rest[0] == '"') {
      quoted = true;
      size_t close = rest.find('"', 1);
      if (close == std::string::npos) {
        term = rest.substr(1);
        rest.clear();
      } else {
        term = rest.substr(1, close - 1);
        rest.erase(0, close + 1);
      }
    } else {
      size_t blank = rest.find(' ');
      if (blank == std::string::npos) {
        term = rest;
        rest.clear();
      } else {
        term = rest.substr(0, blank);
        rest.erase(0, blank + 1);
      }
    }
    if (Transform) term = Transform(term);
    term = AnsiUpperCase(term);
    if (term.empty()) {
      Count = i;
      break;
    }
    Terms[i] = term;
    Quoted[i] = quoted;
  }
}

bool TSearchLikeGoogle::Matches(const std::string& text) const {
  std::string scratch;
  return Matches(std::string_view(text), scratch);
}

bool TSearchLikeGoogle::Matches(std::string_view text, std::string& scratch) const {
  if (Count <= 0) return true;
  scratch.assign(text);
  AnsiUpperCaseInPlace(scratch.data(), scratch.size());
  return MatchesUpper(scratch);
}

bool TSearchLikeGoogle::MatchesUpper(std::string_view upper) const {
  if (Count <= 0) return true;
  std::string transformed;
  std::string_view t = upper;
  if (Transform) {
    transformed = Transform(std::string(upper));
    t = transformed;
  }
  const int n = Count < kMaxTerms ? Count : kMaxTerms;
  for (int i = 0; i < n; ++i) {
    const std::string& term = Terms[i];
    if (!Quoted[i]) {
      if (t.find(term) == std::string_view::npos) return false;
      continue;
    }
    bool found = false;
    for (size_t p = t.find(term); p != std::string_view::npos; p = t.find(term, p + 1)) {
      if ((p == 0 || static_cast<unsigned char>(t[p - 1]) < '0') && BoundaryFree(t, p + term.size())) {
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

bool TSearchLikeGoogle::Narrows(const TSearchLikeGoogle& wider) const {
  // A transformed text may lose what a term of the other search found.
  if (Transform || wider.Transform) return false;
  const int n = Count < kMaxTerms ? Count : kMaxTerms;
  const int w = wider.Count < kMaxTerms ? wider.Count : kMaxTerms;
  for (int i = 0; i < w; ++i) {
    bool implied = false;
    for (int j = 0; j < n && !implied; ++j) {
      implied = wider.Quoted[i] ? Quoted[j] && Terms[j] == wider.Terms[i]
                                : Terms[j].find(wider.Terms[i]) != std::string::npos;
    }
    if (!implied) return false;
  }
  return true;
}
