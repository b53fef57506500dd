#pragma once
// The matcher behind the search boxes: up to four terms separated by blanks, each of which
// must occur in the text; a term in double quotes must stand as a whole word.

#include <functional>
#include <string>
#include <string_view>

class TSearchLikeGoogle {
 public:
  static constexpr int kMaxTerms = 4;

  int Count = 0;
  std::string Terms[kMaxTerms];  // upper-cased (1252 table)
  bool Quoted[kMaxTerms] = {};
  // Applied to every term and to every searched text, e.g. to fold umlauts; may be empty.
  std::function<std::string(const std::string&)> Transform;

  // Splits `text` into up to four terms; everything from an earlier search is forgotten.
  void SetSearchText(const std::string& text);
  // True when `text` satisfies every term (always true without terms).
  bool Matches(const std::string& text) const;
  // The same, upper-casing into `scratch`: a list filler tests every record with one buffer.
  bool Matches(std::string_view text, std::string& scratch) const;
  // The same for a text upper-cased already (1252 table): a list that keeps its names
  // upper-cased between searches tests them as they are.
  bool MatchesUpper(std::string_view upper) const;
  // True when every text that this search accepts is accepted by `wider` too, so that its
  // matches can be looked for among those of `wider`: each term of `wider` is contained in
  // one of this search's terms (a quoted one only in the same quoted term).
  bool Narrows(const TSearchLikeGoogle& wider) const;
};
