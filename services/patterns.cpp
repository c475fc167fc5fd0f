#include "services/patterns.h"

#include <re2/re2.h>

#include <algorithm>
#include <boost/regex.hpp>
#include <iterator>
#include <locale>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/charset.h"

namespace reader {
namespace {

// The span of capture `group` (0: the whole match) of the first match, as UTF-8; nullopt when the
// pattern is invalid, nothing matches or the group took no part in the match.
std::optional<std::string> firstMatchUtf8(const MatchSubject& text, const GbkText& pattern, int group,
                                          bool caseSensitive) {
  const std::string& subject = text.utf8();
  const std::string utf8Pattern = gbkToUtf8(pattern.view());

  RE2::Options options;
  options.set_encoding(RE2::Options::EncodingUTF8);
  options.set_case_sensitive(caseSensitive);
  options.set_longest_match(false);  // leftmost-first: alternatives in order, lazy quantifiers lazy
  options.set_dot_nl(false);         // `.` stops at LF only; CR is an ordinary character
  options.set_log_errors(false);     // an invalid pattern is an ordinary outcome here
  const RE2 regex(re2::StringPiece(utf8Pattern.data(), utf8Pattern.size()), options);
  if (!regex.ok() || group < 0 || group > regex.NumberOfCapturingGroups()) return std::nullopt;

  std::vector<re2::StringPiece> spans(static_cast<std::size_t>(group) + 1);
  const re2::StringPiece whole(subject.data(), subject.size());
  if (!regex.Match(whole, 0, whole.size(), RE2::UNANCHORED, spans.data(), group + 1)) return std::nullopt;
  const re2::StringPiece& span = spans.back();
  if (span.data() == nullptr) return std::nullopt;
  return std::string(span.data(), span.size());
}

char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// One past the end of the last occurrence of literal in text, ASCII case ignored, stepping byte by byte
// as the byte engine does; npos when it does not occur.
std::size_t endOfLastOccurrence(std::string_view text, std::string_view literal) {
  const auto found = std::find_end(text.begin(), text.end(), literal.begin(), literal.end(),
                                   [](char a, char b) { return asciiLower(a) == asciiLower(b); });
  if (found == text.end()) return std::string_view::npos;
  return static_cast<std::size_t>(found - text.begin()) + literal.size();
}

}  // namespace

// RE2 reads UTF-8, so the subject crosses through code page 936 exactly as it would into a
// character-based engine; bytes that are not code page 936 become U+FFFD and never match a letter.
MatchSubject::MatchSubject(const GbkText& text) : utf8_(gbkToUtf8(text.view())) {}

GbkText firstMatch(const MatchSubject& subject, const GbkText& pattern, bool caseSensitive) {
  const std::optional<std::string> match = firstMatchUtf8(subject, pattern, 0, caseSensitive);
  return match ? utf8ToGbk(*match) : GbkText();
}

GbkText firstMatch(const GbkText& text, const GbkText& pattern, bool caseSensitive) {
  return firstMatch(MatchSubject(text), pattern, caseSensitive);
}

GbkText firstMatchGroup(const MatchSubject& subject, const GbkText& pattern, int group, bool caseSensitive) {
  if (group < 1) return {};
  const std::optional<std::string> match = firstMatchUtf8(subject, pattern, group, caseSensitive);
  return match ? utf8ToGbk(*match) : GbkText();
}

GbkText firstMatchGroup(const GbkText& text, const GbkText& pattern, int group, bool caseSensitive) {
  return firstMatchGroup(MatchSubject(text), pattern, group, caseSensitive);
}

GbkText replaceAllMatches(const GbkText& text, const GbkText& pattern, const GbkText& replacement,
                          const std::optional<GbkText>& closingLiteral) {
  try {
    // The classic locale goes in before the pattern is compiled, because compiling reads the character
    // classes and case folding from it: no byte above 127 is then a word character or has a case, even
    // in a process whose global locale says otherwise.
    boost::regex regex;
    regex.imbue(std::locale::classic());
    regex.assign(pattern.bytes(), boost::regex::perl | boost::regex::icase);
    if (text.empty()) return {};

    const std::string_view subject = text.view();
    std::size_t searchEnd = subject.size();
    if (closingLiteral && !closingLiteral->empty()) {
      searchEnd = endOfLastOccurrence(subject, closingLiteral->view());
      // No match can end anywhere, so there is nothing to replace.
      if (searchEnd == std::string_view::npos) return text;
    }

    std::string result;
    result.reserve(subject.size());
    boost::regex_replace(std::back_inserter(result), subject.data(), subject.data() + searchEnd, regex,
                         replacement.bytes(), boost::match_default | boost::format_all);
    result.append(subject.substr(searchEnd));
    return GbkText(std::move(result));
  } catch (...) {
    // An uncompilable pattern, "Complexity requirements exceeded" and any other engine failure.
    return {};
  }
}

}  // namespace reader
