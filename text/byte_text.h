// Byte text and byte sequences: the values every other part of the reader is written in.
//
// All text inside the reader is a byte string in code page 936 (GBK). Lengths, positions and counts are
// numbers of bytes; positions are 1-based and a search that finds nothing returns -1. Counts and positions
// outside a value are clamped, never reported.
//
// Three kinds of operation treat the bytes differently:
//  - byte counting (lengths, cuts, building, conversions, joining, equality) never looks at characters,
//    so a cut may split a two-byte character;
//  - text scans (findText, findTextReverse, replaceText, splitText) step one character at a time: a byte
//    0x80..0xFF starts a two-byte character together with the byte after it, whatever that byte is;
//  - byte scans (findBytes, splitBytes) step one byte at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/fatal_error.h"

namespace reader {

// Text in code page 936. Never holds the byte 0x00: construction keeps the bytes before the first one.
class GbkText {
 public:
  GbkText() = default;
  explicit GbkText(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\0'))) {}
  explicit GbkText(std::string&& bytes) : bytes_(std::move(bytes)) {
    if (auto nul = bytes_.find('\0'); nul != std::string::npos) bytes_.resize(nul);
  }
  explicit GbkText(const char* bytes) : GbkText(std::string_view(bytes)) {}

  const std::string& bytes() const { return bytes_; }
  std::string_view view() const { return bytes_; }
  bool empty() const { return bytes_.empty(); }

  friend bool operator==(const GbkText&, const GbkText&) = default;

 private:
  std::string bytes_;
};

// Any bytes, 0x00 included, with no encoding of its own.
class ByteSeq {
 public:
  ByteSeq() = default;
  explicit ByteSeq(std::string bytes) : bytes_(std::move(bytes)) {}
  explicit ByteSeq(std::string_view bytes) : bytes_(bytes) {}
  explicit ByteSeq(const char* bytes) : bytes_(bytes) {}

  const std::string& bytes() const { return bytes_; }
  std::string_view view() const { return bytes_; }
  bool empty() const { return bytes_.empty(); }
  // Hands the storage over without a copy, for the owner that is done with the value.
  std::string release() && { return std::move(bytes_); }

  friend bool operator==(const ByteSeq&, const ByteSeq&) = default;

 private:
  std::string bytes_;
};

// An ordered, growable array numbered from 1. Reading outside 1..count ends the process through
// fatalRuntimeError (code 4 below 1, code 1 above the count).
template <class T>
class Array {
 public:
  Array() = default;
  explicit Array(std::vector<T> items) : items_(std::move(items)) {}

  int count() const { return static_cast<int>(items_.size()); }
  const T& item(int index) const {
    if (index < 1) fatalRuntimeError(4, GbkText(kIndexBelowOne));
    if (index > count()) fatalRuntimeError(1, GbkText(kIndexBeyondCount));
    return items_[static_cast<std::size_t>(index - 1)];
  }
  void append(T value) { items_.push_back(std::move(value)); }

  // 0-based access for iteration inside the library; the 1-based interface is item().
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  const std::vector<T>& items() const { return items_; }

  friend bool operator==(const Array&, const Array&) = default;

 private:
  // "数组成员引用下标必须大于等于1" and "数组成员引用下标超出定义范围" in code page 936.
  static constexpr const char* kIndexBelowOne =
      "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB1\xD8\xD0\xEB\xB4\xF3\xD3\xDA"
      "\xB5\xC8\xD3\xDA\x31";
  static constexpr const char* kIndexBeyondCount =
      "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB3\xAC\xB3\xF6\xB6\xA8\xD2\xE5"
      "\xB7\xB6\xCE\xA7";
  std::vector<T> items_;
};

template <class T>
int arrayCount(const Array<T>& array) {
  return array.count();
}
template <class T>
const T& arrayItem(const Array<T>& array, int index) {
  return array.item(index);
}
template <class T>
void arrayAppend(Array<T>& array, T value) {
  array.append(std::move(value));
}

// --- Measuring and cutting (byte counting) ---
int textLength(const GbkText& text);
int byteLength(const ByteSeq& bytes);
// The first / last n bytes: n <= 0 gives the empty value, n >= length the whole value.
GbkText leftText(const GbkText& text, int n);
GbkText rightText(const GbkText& text, int n);
ByteSeq leftBytes(const ByteSeq& bytes, int n);
ByteSeq rightBytes(const ByteSeq& bytes, int n);
// n bytes from position start; a start below 1 reads from byte 1 and still delivers up to n bytes.
ByteSeq midBytes(const ByteSeq& bytes, int start, int n);

// --- Building and converting ---
GbkText charFromCode(int code);  // code 0 gives the empty text
GbkText blankText(int n);        // n spaces
ByteSeq toBytes(const GbkText& text);
GbkText toText(const ByteSeq& bytes);  // the bytes before the first 0x00
// Signed 32-bit little-endian value of the first four bytes; missing high bytes count as 0.
std::int32_t byteValue(const ByteSeq& bytes);

namespace detail {
std::string concatViews(std::initializer_list<std::string_view> parts);
}
template <class... More>
GbkText concatText(const GbkText& a, const GbkText& b, const More&... more) {
  return GbkText(detail::concatViews({a.view(), b.view(), more.view()...}));
}
template <class... More>
ByteSeq concatBytes(const ByteSeq& a, const ByteSeq& b, const More&... more) {
  return ByteSeq(detail::concatViews({a.view(), b.view(), more.view()...}));
}

bool equalText(const GbkText& a, const GbkText& b);
bool equalBytes(const ByteSeq& a, const ByteSeq& b);

// --- Text scans: character stepping, a match never begins on a second byte ---
// First match within the window (start absent or <= 1: whole text). An empty search gives 1 when the
// window is not empty. caseInsensitive folds A-Z onto a-z and nothing else.
int findText(const GbkText& text, const GbkText& search, std::optional<int> start, bool caseInsensitive);
// Last match lying wholly before position start (absent: in the whole text).
int findTextReverse(const GbkText& text, const GbkText& search, std::optional<int> start,
                    bool caseInsensitive);
// Every occurrence from position start on, left to right and never overlapping, at most maximum of them
// (absent or negative: no limit); an absent replacement removes the occurrences.
GbkText replaceText(const GbkText& text, const GbkText& search, const std::optional<GbkText>& replacement,
                    std::optional<int> start, std::optional<int> maximum, bool caseSensitive);
// Pieces between separators (absent: ","); no empty last piece; at most maximum pieces.
Array<GbkText> splitText(const GbkText& text, const std::optional<GbkText>& separator,
                         std::optional<int> maximum);

// --- Byte scans: byte stepping ---
int findBytes(const ByteSeq& bytes, const ByteSeq& search, std::optional<int> start);
// As splitText, stepping byte by byte; the separator is the byte 0x00 when absent.
Array<ByteSeq> splitBytes(const ByteSeq& bytes, const std::optional<ByteSeq>& separator,
                          std::optional<int> maximum);

}  // namespace reader
