// Byte searches the stages share: literals found without regard to ASCII case, as the patterns read them.
#pragma once

#include <array>
#include <string_view>

namespace reader::bytesearch {

inline constexpr std::size_t npos = std::string_view::npos;

inline char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; }

inline bool startsWithFolded(std::string_view text, std::size_t at, std::string_view literal) {
  if (at > text.size() || text.size() - at < literal.size()) return false;
  if (literal.empty()) return true;
  // Most candidates differ at once: the last byte is the cheapest early test ("<!--" against "<div").
  if (foldAscii(text[at + literal.size() - 1]) != foldAscii(literal.back())) return false;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    if (foldAscii(text[at + i]) != foldAscii(literal[i])) return false;
  }
  return true;
}

// A literal to be found without regard to ASCII case, prepared once for many searches. Candidates are
// found with memchr on the literal's first byte that has no case ("<" of "<div", "-" of "utf-8"), which
// is fastest where they are few. Where near misses crowd ("<!--<!--" against "<div") the search goes on by
// Horspool's shifts on the byte under the window's last position, which never visits every byte.
class FoldedLiteral {
 public:
  explicit FoldedLiteral(std::string_view literal) : literal_(literal) {
    const std::size_t m = literal.size();
    shift_.fill(m);
    for (std::size_t i = 0; i + 1 < m; ++i) {
      const char c = foldAscii(literal[i]);
      shift_[static_cast<unsigned char>(c)] = m - 1 - i;
      if (c >= 'a' && c <= 'z') shift_[static_cast<unsigned char>(c - 0x20)] = m - 1 - i;
    }
    while (anchor_ < m && isLetter(foldAscii(literal[anchor_]))) ++anchor_;
  }

  // The first occurrence at or after from, or npos.
  std::size_t find(std::string_view text, std::size_t from) const {
    const std::size_t m = literal_.size();
    if (m == 0) return from <= text.size() ? from : npos;
    if (anchor_ == m) return findByShifts(text, from);  // letters only: no byte to anchor on
    std::size_t misses = 0;
    for (std::size_t at = text.find(literal_[anchor_], from + anchor_); at != npos;
         at = text.find(literal_[anchor_], at + 1)) {
      if (startsWithFolded(text, at - anchor_, literal_)) return at - anchor_;
      // A miss costs a memchr call; a shift costs a few instructions and moves up to the literal's length.
      if (++misses > 16 && misses * 5 * m > at - from) return findByShifts(text, at - anchor_ + 1);
    }
    return npos;
  }

  std::size_t size() const { return literal_.size(); }

 private:
  static bool isLetter(char c) { return c >= 'a' && c <= 'z'; }

  std::size_t findByShifts(std::string_view text, std::size_t from) const {
    const std::size_t m = literal_.size();
    const char last = foldAscii(literal_.back());
    for (std::size_t at = from; at <= text.size() && text.size() - at >= m;) {
      const char end = text[at + m - 1];
      if (foldAscii(end) == last && startsWithFolded(text, at, literal_)) return at;
      at += shift_[static_cast<unsigned char>(end)];
    }
    return npos;
  }

  std::string_view literal_;
  std::array<std::size_t, 256> shift_;
  std::size_t anchor_ = 0;  // the first byte of the literal that has no case, or its size
};

// One search for a literal, ASCII case ignored.
inline std::size_t findFolded(std::string_view text, std::size_t from, std::string_view literal) {
  return FoldedLiteral(literal).find(text, from);
}

}  // namespace reader::bytesearch
