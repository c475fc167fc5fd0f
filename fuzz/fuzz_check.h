// What the fuzz targets share: a check that turns a broken invariant into a crash libFuzzer keeps, and
// small Unicode helpers written independently of the code under test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reader::fuzzing {

// A broken invariant: say which, then abort so that libFuzzer saves the input that did it.
[[noreturn]] inline void invariantBroken(const char* what, const char* file, int line) {
  std::fprintf(stderr, "invariant broken at %s:%d: %s\n", file, line, what);
  std::abort();
}
#define FUZZ_CHECK(condition) \
  ((condition) ? void(0) : ::reader::fuzzing::invariantBroken(#condition, __FILE__, __LINE__))

inline bool hasNul(std::string_view bytes) {
  return bytes.find('\0') != std::string_view::npos;
}

inline char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
inline bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (asciiLower(text[i]) != asciiLower(prefix[i])) return false;
  return true;
}
inline bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         startsWithIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// The code points of UTF-16 text; an unpaired surrogate stands for itself.
inline std::vector<char32_t> codePointsOf(std::u16string_view text) {
  std::vector<char32_t> points;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      points.push_back(0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
      ++i;
    } else {
      points.push_back(unit);
    }
  }
  return points;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. nullopt when bytes is not.
inline std::optional<std::vector<char32_t>> strictUtf8(std::string_view bytes) {
  std::vector<char32_t> points;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    int more = 0;
    char32_t point = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      point = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      more = 1, point = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      more = 2, point = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      more = 3, point = lead & 0x07, least = 0x10000;
    } else {
      return std::nullopt;
    }
    if (i + static_cast<std::size_t>(more) >= bytes.size()) return std::nullopt;  // cut short
    for (int k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      point = (point << 6) | (next & 0x3F);
    }
    if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return std::nullopt;
    points.push_back(point);
    i += static_cast<std::size_t>(more) + 1;
  }
  return points;
}

// UTF-8 of UTF-16 text, written out by hand (for text without unpaired surrogates).
inline std::string utf8Of(std::u16string_view text) {
  std::string out;
  for (char32_t point : codePointsOf(text)) {
    if (point < 0x80) {
      out += static_cast<char>(point);
    } else if (point < 0x800) {
      out += static_cast<char>(0xC0 | (point >> 6));
      out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
      out += static_cast<char>(0xE0 | (point >> 12));
      out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (point >> 18));
      out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (point & 0x3F));
    }
  }
  return out;
}

}  // namespace reader::fuzzing
