// The two regular-expression services of the extraction. They follow different rules, and each caller's
// patterns are written for the service it calls.
#pragma once

#include <optional>
#include <string>

#include "text/byte_text.h"

namespace reader {

// A text decoded once for several firstMatch calls against it.
class MatchSubject {
 public:
  explicit MatchSubject(const GbkText& text);
  const std::string& utf8() const { return utf8_; }

 private:
  std::string utf8_;
};

// The whole text of the first match of pattern in text, never a group. Matches characters: subject and
// pattern are decoded from code page 936 and the match is encoded back ("?" for what cannot go back).
// `.` does not match LF (it does match CR), \d is ASCII only, quantifiers may be lazy, the leftmost match
// wins and alternatives are tried in order. Linear in the text whatever the pattern. An invalid pattern,
// no match and an empty match all give the empty text.
GbkText firstMatch(const GbkText& text, const GbkText& pattern, bool caseSensitive);
GbkText firstMatch(const MatchSubject& subject, const GbkText& pattern, bool caseSensitive);

// The text of capture group `group` (1-based) of the first match, matched under the same rules as
// firstMatch; the empty text when there is no match or the group took no part in it.
GbkText firstMatchGroup(const GbkText& text, const GbkText& pattern, int group, bool caseSensitive);
GbkText firstMatchGroup(const MatchSubject& subject, const GbkText& pattern, int group, bool caseSensitive);

// Every match of pattern in text replaced by replacement, left to right without overlap. Matches bytes in
// Perl syntax without regard to ASCII case; `.` matches every byte, CR and LF included; no byte above 127
// is a word character or has a case, whatever the process's locale. The replacement is a format string
// with all format extensions live.
//
// closingLiteral: when every match of the pattern ends with this literal, the search stops after its
// last occurrence (ASCII case ignored) and the rest is copied unchanged. The result is the same; the
// engine just never wanders through a tail where no match can end, which on large pages would otherwise
// exhaust its complexity budget and lose the whole page.
//
// A pattern that does not compile, an empty text and any failure of the engine give the empty text.
GbkText replaceAllMatches(const GbkText& text, const GbkText& pattern, const GbkText& replacement,
                          const std::optional<GbkText>& closingLiteral = std::nullopt);

}  // namespace reader
