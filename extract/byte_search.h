// Byte searches the stages share: literals found without regard to ASCII case, as the patterns read them.
#pragma once

#include <string_view>

namespace reader::bytesearch {

inline constexpr std::size_t npos = std::string_view::npos;

inline char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; }

inline bool startsWithFolded(std::string_view text, std::size_t at, std::string_view literal) {
  if (at > text.size() || text.size() - at < literal.size()) return false;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    if (foldAscii(text[at + i]) != foldAscii(literal[i])) return false;
  }
  return true;
}

// The first occurrence of literal at or after from, ASCII case ignored. Candidates are found with memchr
// on the literal's first byte that has no case ("<" of "<div", "-" of "utf-8").
inline std::size_t findFolded(std::string_view text, std::size_t from, std::string_view literal) {
  std::size_t anchor = 0;
  for (; anchor < literal.size(); ++anchor) {
    const char c = foldAscii(literal[anchor]);
    if (c < 'a' || c > 'z') break;
  }
  if (anchor == literal.size()) {  // letters only: look at every byte
    for (std::size_t at = from; at < text.size(); ++at) {
      if (startsWithFolded(text, at, literal)) return at;
    }
    return npos;
  }
  for (std::size_t at = text.find(literal[anchor], from + anchor); at != npos; at = text.find(literal[anchor], at + 1)) {
    if (startsWithFolded(text, at - anchor, literal)) return at - anchor;
  }
  return npos;
}

}  // namespace reader::bytesearch
