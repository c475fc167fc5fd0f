#include "text/byte_text.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace reader {
namespace {

using Index = std::int64_t;  // inside a function only: wide enough that no clamp can overflow

bool isLeadByte(unsigned char byte) { return byte >= 0x80; }

unsigned char foldAsciiLetter(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + 0x20) : byte;
}

// Compares search with the bytes of text at 0-based offset p; the caller guarantees they fit.
bool matchesAt(std::string_view text, Index p, std::string_view search, bool folded) {
  const auto* t = reinterpret_cast<const unsigned char*>(text.data()) + p;
  const auto* s = reinterpret_cast<const unsigned char*>(search.data());
  if (!folded) return std::equal(s, s + search.size(), t);
  for (std::size_t i = 0; i < search.size(); ++i) {
    if (foldAsciiLetter(t[i]) != foldAsciiLetter(s[i])) return false;
  }
  return true;
}

// The cheap first test of a candidate: its first byte.
bool firstByteMatches(std::string_view text, Index p, std::string_view search, bool folded) {
  const auto a = static_cast<unsigned char>(text[static_cast<std::size_t>(p)]);
  const auto b = static_cast<unsigned char>(search[0]);
  return folded ? foldAsciiLetter(a) == foldAsciiLetter(b) : a == b;
}

// Next candidate after testing p: one character on.
Index stepCharacter(std::string_view text, Index p) {
  return p + (isLeadByte(static_cast<unsigned char>(text[static_cast<std::size_t>(p)])) ? 2 : 1);
}

// A growable result buffer whose failure to grow is reported as the reader's fatal out-of-memory error.
class ResultBuffer {
 public:
  explicit ResultBuffer(std::size_t expected) { ensure(expected); }
  void append(std::string_view bytes) {
    ensure(bytes_.size() + bytes.size());
    bytes_.append(bytes);
  }
  std::string take() && { return std::move(bytes_); }

 private:
  void ensure(std::size_t needed) {
    if (needed <= bytes_.capacity()) return;
    std::size_t wanted = std::max(needed, bytes_.capacity() * 2);
    try {
      bytes_.reserve(wanted);
    } catch (const std::bad_alloc&) {
      fatalOutOfMemory(wanted);
    }
  }
  std::string bytes_;
};

std::string copyOf(std::string_view bytes) {
  ResultBuffer result(bytes.size());
  result.append(bytes);
  return std::move(result).take();
}

std::string_view leftOf(std::string_view value, int n) {
  if (n <= 0) return {};
  return value.substr(0, static_cast<std::size_t>(n));
}

std::string_view rightOf(std::string_view value, int n) {
  if (n <= 0) return {};
  if (static_cast<std::size_t>(n) >= value.size()) return value;
  return value.substr(value.size() - static_cast<std::size_t>(n));
}

// The splitting rules shared by splitText (character stepping) and splitBytes (byte stepping).
template <class Piece>
Array<Piece> splitPieces(std::string_view value, std::string_view separator, std::optional<int> maximum,
                         bool characterStepping) {
  Array<Piece> pieces;
  const Index length = static_cast<Index>(value.size());
  const Index separatorLength = static_cast<Index>(separator.size());
  std::optional<Index> remaining;
  if (maximum) remaining = std::max<Index>(*maximum, 0);
  if (length == 0 || remaining == 0) return pieces;
  if (separatorLength == 0) {
    pieces.append(Piece(copyOf(value)));
    return pieces;
  }
  Index pieceStart = 0;
  Index p = 0;
  while (length - p >= separatorLength) {
    if (matchesAt(value, p, separator, false)) {
      pieces.append(Piece(copyOf(value.substr(static_cast<std::size_t>(pieceStart),
                                              static_cast<std::size_t>(p - pieceStart)))));
      p += separatorLength;
      pieceStart = p;
      if (remaining && --*remaining == 0) break;
    } else if (characterStepping) {
      p = stepCharacter(value, p);
    } else {
      // Byte stepping: jump straight to the next place the separator's bytes occur.
      auto next = value.find(separator, static_cast<std::size_t>(p + 1));
      p = next == std::string_view::npos ? length : static_cast<Index>(next);
    }
  }
  if (pieceStart < length && remaining != 0) {
    pieces.append(Piece(copyOf(value.substr(static_cast<std::size_t>(pieceStart)))));
  }
  return pieces;
}

}  // namespace

namespace detail {
std::string concatViews(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (auto part : parts) total += part.size();
  ResultBuffer result(total);
  for (auto part : parts) result.append(part);
  return std::move(result).take();
}
}  // namespace detail

int textLength(const GbkText& text) { return static_cast<int>(text.bytes().size()); }
int byteLength(const ByteSeq& bytes) { return static_cast<int>(bytes.bytes().size()); }

GbkText leftText(const GbkText& text, int n) { return GbkText(copyOf(leftOf(text.view(), n))); }
GbkText rightText(const GbkText& text, int n) { return GbkText(copyOf(rightOf(text.view(), n))); }
ByteSeq leftBytes(const ByteSeq& bytes, int n) { return ByteSeq(copyOf(leftOf(bytes.view(), n))); }
ByteSeq rightBytes(const ByteSeq& bytes, int n) { return ByteSeq(copyOf(rightOf(bytes.view(), n))); }

ByteSeq midBytes(const ByteSeq& bytes, int start, int n) {
  const Index length = byteLength(bytes);
  const Index offset = std::clamp<Index>(Index{start} - 1, 0, length);
  Index take = std::max<Index>(n, 0);
  if (offset + take > length) take = length - offset;
  return ByteSeq(copyOf(bytes.view().substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(take))));
}

GbkText charFromCode(int code) {
  const auto byte = static_cast<char>(static_cast<unsigned char>(code));
  return GbkText(std::string_view(&byte, 1));  // byte 0 gives the empty text
}

GbkText blankText(int n) {
  if (n <= 0) return GbkText();
  std::string spaces;
  try {
    spaces.assign(static_cast<std::size_t>(n), ' ');
  } catch (const std::bad_alloc&) {
    fatalOutOfMemory(static_cast<std::size_t>(n));
  }
  return GbkText(std::move(spaces));
}

ByteSeq toBytes(const GbkText& text) { return ByteSeq(copyOf(text.view())); }

GbkText toText(const ByteSeq& bytes) {
  std::string_view view = bytes.view();
  return GbkText(copyOf(view.substr(0, view.find('\0'))));
}

std::int32_t byteValue(const ByteSeq& bytes) {
  std::uint32_t value = 0;
  std::string_view view = bytes.view();
  for (std::size_t i = 0; i < std::min<std::size_t>(view.size(), 4); ++i) {
    value |= std::uint32_t{static_cast<unsigned char>(view[i])} << (8 * i);
  }
  return static_cast<std::int32_t>(value);
}

bool equalText(const GbkText& a, const GbkText& b) { return a.view() == b.view(); }
bool equalBytes(const ByteSeq& a, const ByteSeq& b) { return a.view() == b.view(); }

int findText(const GbkText& text, const GbkText& search, std::optional<int> start, bool caseInsensitive) {
  const std::string_view value = text.view();
  const Index length = static_cast<Index>(value.size());
  const Index searchLength = static_cast<Index>(search.view().size());
  Index windowBegin = 0;  // 0-based first byte of the window; the window always runs to the end
  if (start && *start > 1) windowBegin = std::min<Index>(Index{*start} - 1, length);
  if (searchLength == 0) return windowBegin < length ? 1 : -1;
  for (Index p = windowBegin; length - p >= searchLength; p = stepCharacter(value, p)) {
    if (firstByteMatches(value, p, search.view(), caseInsensitive) && matchesAt(value, p, search.view(), caseInsensitive)) {
      return static_cast<int>(p + 1);
    }
  }
  return -1;
}

int findTextReverse(const GbkText& text, const GbkText& search, std::optional<int> start,
                    bool caseInsensitive) {
  const std::string_view value = text.view();
  const Index length = static_cast<Index>(value.size());
  const Index searchLength = static_cast<Index>(search.view().size());
  Index windowEnd = length;  // 0-based, one past the window's last byte; the window begins at byte 1
  if (start) windowEnd = std::clamp<Index>(Index{*start} - 1, 0, length);
  if (searchLength == 0) return windowEnd > 0 ? 1 : -1;
  int last = -1;
  for (Index p = 0; windowEnd - p >= searchLength; p = stepCharacter(value, p)) {
    if (firstByteMatches(value, p, search.view(), caseInsensitive) && matchesAt(value, p, search.view(), caseInsensitive)) {
      last = static_cast<int>(p + 1);
    }
  }
  return last;
}

GbkText replaceText(const GbkText& text, const GbkText& search, const std::optional<GbkText>& replacement,
                    std::optional<int> start, std::optional<int> maximum, bool caseSensitive) {
  const std::string_view value = text.view();
  const std::string_view pattern = search.view();
  const std::string_view inserted = replacement ? replacement->view() : std::string_view();
  const Index length = static_cast<Index>(value.size());
  const Index searchLength = static_cast<Index>(pattern.size());
  const Index copiedPrefix = start ? std::max<Index>(Index{*start} - 1, 0) : 0;
  std::optional<Index> remaining;
  if (maximum && *maximum >= 0) remaining = *maximum;
  if (length == 0 || searchLength == 0 || copiedPrefix >= length || remaining == 0) return text;

  // Unchanged bytes are copied in spans, from copiedUpTo to the next match, rather than one by one.
  ResultBuffer result(value.size());
  Index copiedUpTo = 0;
  Index p = copiedPrefix;
  const auto* bytes = reinterpret_cast<const unsigned char*>(value.data());
  while (length - p >= searchLength) {
    const unsigned char byte = bytes[p];
    if (firstByteMatches(value, p, pattern, !caseSensitive) && matchesAt(value, p, pattern, !caseSensitive)) {
      result.append(value.substr(static_cast<std::size_t>(copiedUpTo), static_cast<std::size_t>(p - copiedUpTo)));
      result.append(inserted);
      p += searchLength;
      copiedUpTo = p;
      if (remaining && --*remaining == 0) break;
    } else if (isLeadByte(byte)) {
      if (p == length - 1) break;  // a dangling first byte: copied with the rest below
      p += 2;
    } else {
      p += 1;
    }
  }
  result.append(value.substr(static_cast<std::size_t>(copiedUpTo)));
  return GbkText(std::move(result).take());
}

Array<GbkText> splitText(const GbkText& text, const std::optional<GbkText>& separator,
                         std::optional<int> maximum) {
  return splitPieces<GbkText>(text.view(), separator ? separator->view() : std::string_view(","), maximum,
                              /*characterStepping=*/true);
}

int findBytes(const ByteSeq& bytes, const ByteSeq& search, std::optional<int> start) {
  const std::string_view value = bytes.view();
  const Index from = start ? std::max<Index>(Index{*start} - 1, 0) : 0;
  if (from >= static_cast<Index>(value.size())) return -1;
  if (search.empty()) return -1;
  auto found = value.find(search.view(), static_cast<std::size_t>(from));
  return found == std::string_view::npos ? -1 : static_cast<int>(found + 1);
}

Array<ByteSeq> splitBytes(const ByteSeq& bytes, const std::optional<ByteSeq>& separator,
                          std::optional<int> maximum) {
  return splitPieces<ByteSeq>(bytes.view(), separator ? separator->view() : std::string_view("\0", 1), maximum,
                              /*characterStepping=*/false);
}

}  // namespace reader
