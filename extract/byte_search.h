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

// A literal to be found without regard to ASCII case, prepared once for many searches. A one-byte literal
// is found with memchr; a longer one by Horspool's shifts on the byte under the window's last position,
// so that pages dense with near misses ("<!--<!--" against "<div") are not visited byte by byte.
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
  }

  // The first occurrence at or after from, or npos.
  std::size_t find(std::string_view text, std::size_t from) const {
    const std::size_t m = literal_.size();
    if (m == 0) return from <= text.size() ? from : npos;
    const char last = foldAscii(literal_.back());
    if (m == 1 && !(last >= 'a' && last <= 'z')) return text.find(literal_[0], from);
    for (std::size_t at = from; at <= text.size() && text.size() - at >= m;) {
      const char end = text[at + m - 1];
      if (foldAscii(end) == last && startsWithFolded(text, at, literal_)) return at;
      at += shift_[static_cast<unsigned char>(end)];
    }
    return npos;
  }

  std::size_t size() const { return literal_.size(); }

 private:
  std::string_view literal_;
  std::array<std::size_t, 256> shift_;
};

// One search for a literal, ASCII case ignored.
inline std::size_t findFolded(std::string_view text, std::size_t from, std::string_view literal) {
  return FoldedLiteral(literal).find(text, from);
}

}  // namespace reader::bytesearch
