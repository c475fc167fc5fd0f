#include "services/charset.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace reader {
namespace {

// ICU's table that agrees with Windows code page 936 byte for byte (the names windows-936, GBK and cp936
// resolve to it too). ICU's own "gb2312" is the narrower EUC-CN table, so that name is sent here as well.
constexpr const char* kCodePage936 = "windows-936-2000";

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Writes one "?" (in the target charset) for every code point the target cannot hold. ICU's own
// substitute callback silently drops unassigned default-ignorable code points such as U+200B, where the
// Windows conversion writes "?"; dropping them would close up the text around them and shift every
// position the later stages count in bytes.
void questionMarkFromUnicode(const void* /*context*/, UConverterFromUnicodeArgs* args,
                             const UChar* /*codeUnits*/, int32_t /*length*/, UChar32 /*codePoint*/,
                             UConverterCallbackReason reason, UErrorCode* error) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  static constexpr UChar kQuestionMark[] = {u'?'};
  const UChar* source = kQuestionMark;
  *error = U_ZERO_ERROR;
  ucnv_cbFromUWriteUChars(args, &source, source + 1, 0, error);
}

// Writes one U+FFFD for every byte sequence the source charset does not define. The sequence itself is
// delimited by the converter: for code page 936 an invalid lead byte is one sequence and the byte after
// it is read afresh. (ICU's own callback writes U+001A instead for some single-byte tables.)
void replacementToUnicode(const void* /*context*/, UConverterToUnicodeArgs* args, const char* /*bytes*/,
                          int32_t /*length*/, UConverterCallbackReason reason, UErrorCode* error) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  static constexpr UChar kReplacement[] = {0xFFFD};
  *error = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, kReplacement, 1, 0, error);
}

// A converter for a charset name, with both callbacks of this file installed; empty when ICU does not
// know the name. An empty name would give ICU's default converter, so it is refused here.
Converter openConverter(std::string_view name) {
  if (name.empty()) return {};
  std::string icuName(name);
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  if (lower == "gb2312") icuName = kCodePage936;

  UErrorCode error = U_ZERO_ERROR;
  Converter converter(ucnv_open(icuName.c_str(), &error));
  if (U_FAILURE(error) || !converter) return {};
  ucnv_setFallback(converter.get(), false);
  ucnv_setFromUCallBack(converter.get(), questionMarkFromUnicode, nullptr, nullptr, nullptr, &error);
  ucnv_setToUCallBack(converter.get(), replacementToUnicode, nullptr, nullptr, nullptr, &error);
  if (U_FAILURE(error)) return {};
  return converter;
}

bool fitsInt32(std::size_t size) {
  return size <= static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 4);
}

// Decodes all of bytes, flushing at the end so that a dangling partial sequence gives U+FFFD.
// nullopt on a converter error.
std::optional<std::u16string> decode(UConverter* converter, std::string_view bytes) {
  std::u16string out;
  if (bytes.empty()) return out;
  if (!fitsInt32(bytes.size())) return std::nullopt;
  // Every charset ICU knows gives at most two UTF-16 units per input byte.
  out.resize(bytes.size() * 2 + 2);
  UErrorCode error = U_ZERO_ERROR;
  int32_t length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                 static_cast<int32_t>(bytes.size()), &error);
  if (error == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(static_cast<std::size_t>(length) + 1);
    error = U_ZERO_ERROR;
    length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                           static_cast<int32_t>(bytes.size()), &error);
  }
  if (U_FAILURE(error)) return std::nullopt;
  out.resize(static_cast<std::size_t>(length));
  return out;
}

// Encodes text up to its first U+0000 with the "?" rule. nullopt on a converter error.
std::optional<std::string> encode(UConverter* converter, std::u16string_view text) {
  text = text.substr(0, text.find(u'\0'));
  std::string out;
  if (text.empty()) return out;
  if (!fitsInt32(text.size())) return std::nullopt;
  out.resize(
      static_cast<std::size_t>(UCNV_GET_MAX_BYTES_FOR_STRING(text.size(), ucnv_getMaxCharSize(converter))));
  UErrorCode error = U_ZERO_ERROR;
  int32_t length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()), text.data(),
                                   static_cast<int32_t>(text.size()), &error);
  if (error == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(static_cast<std::size_t>(length) + 1);
    error = U_ZERO_ERROR;
    length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()), text.data(),
                             static_cast<int32_t>(text.size()), &error);
  }
  if (U_FAILURE(error)) return std::nullopt;
  out.resize(static_cast<std::size_t>(length));
  return out;
}

// Code page 936 in both directions as tables read off ICU's converter once per process, so that pages
// cross at memory speed: every byte sequence decodes and every code point encodes exactly as the
// converter with the callbacks above would (the tests hold the two side by side).
class CodePage936Tables {
 public:
  static const CodePage936Tables& get() {
    static const CodePage936Tables tables;
    return tables;
  }

  // Decodes one character at bytes[i]: appends its code unit through emit and returns how many bytes
  // it took.
  template <class Emit>
  std::size_t decodeAt(std::string_view bytes, std::size_t i, Emit&& emit) const {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (!isLead(lead)) {
      emit(single_[lead]);
      return 1;
    }
    if (i + 1 == bytes.size()) {  // a dangling first byte at the end
      emit(char16_t{0xFFFD});
      return 1;
    }
    const char16_t unit = pair_[(lead - 0x80) * 256 + static_cast<unsigned char>(bytes[i + 1])];
    if (unit == kLeadAlone) {  // not a second byte: the first stands alone and the next is read afresh
      emit(char16_t{0xFFFD});
      return 1;
    }
    emit(unit);
    return 2;
  }

  // The bytes of a code point in code page 936 (one or two), or 0 when the code page cannot hold it.
  std::uint16_t encoded(char16_t unit) const { return encode_[unit]; }
  static bool isDoubleByte(std::uint16_t code) { return code > 0xFF; }

 private:
  static constexpr char16_t kLeadAlone = 0;  // no pair ever decodes to U+0000
  static bool isLead(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

  CodePage936Tables() : pair_(128 * 256, kLeadAlone), encode_(65536, 0) {
    Converter converter = openConverter(kCodePage936);
    if (!converter) return;
    // Single bytes, each followed by a space so that nothing runs on.
    std::string singles;
    for (int byte = 0; byte < 256; ++byte) singles += {static_cast<char>(byte), ' '};
    decodeWithOffsets(converter.get(), singles, [&](int offset, char16_t unit) {
      if (offset % 2 == 0) single_[static_cast<std::size_t>(offset / 2)] = unit;
    });
    // Every first byte with every possible next byte, then a space that resynchronises.
    std::string pairs;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0; trail < 256; ++trail) pairs += {static_cast<char>(lead), static_cast<char>(trail), ' '};
    }
    std::vector<int> unitsAt(pairs.size(), 0);
    std::vector<char16_t> firstUnit(pairs.size(), 0);
    decodeWithOffsets(converter.get(), pairs, [&](int offset, char16_t unit) {
      if (unitsAt[static_cast<std::size_t>(offset)]++ == 0) firstUnit[static_cast<std::size_t>(offset)] = unit;
    });
    for (std::size_t base = 0; base < pairs.size(); base += 3) {
      // The pair was read as one character when nothing was decoded from its second byte.
      if (unitsAt[base] == 1 && unitsAt[base + 1] == 0) {
        const auto lead = static_cast<unsigned char>(pairs[base]);
        const auto trail = static_cast<unsigned char>(pairs[base + 1]);
        pair_[(lead - 0x80) * 256 + trail] = firstUnit[base];
      }
    }
    // With fallbacks off the converter encodes only code points that some bytes decode to, so those are
    // the ones to ask about; what cannot be encoded is skipped.
    std::vector<bool> decodable(0x10000, false);
    for (char16_t unit : single_) decodable[unit] = true;
    for (char16_t unit : pair_) decodable[unit] = true;
    std::u16string units;
    for (int unit = 1; unit < 0x10000; ++unit) {
      if (decodable[static_cast<std::size_t>(unit)] && (unit < 0xD800 || unit > 0xDFFF)) units += static_cast<char16_t>(unit);
    }
    UErrorCode error = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_SKIP, nullptr, nullptr, nullptr, &error);
    std::string out(units.size() * 2, '\0');
    std::vector<int32_t> offsets(out.size(), -1);
    char* target = out.data();
    const UChar* source = units.data();
    int32_t* offsetOut = offsets.data();
    ucnv_fromUnicode(converter.get(), &target, out.data() + out.size(), &source, units.data() + units.size(),
                     offsetOut, true, &error);
    if (U_FAILURE(error)) return;
    const std::size_t written = static_cast<std::size_t>(target - out.data());
    for (std::size_t i = 0; i < written; ++i) {
      const char16_t unit = units[static_cast<std::size_t>(offsets[i])];
      encode_[unit] = static_cast<std::uint16_t>((encode_[unit] << 8) | static_cast<unsigned char>(out[i]));
    }
  }

  template <class Record>
  static void decodeWithOffsets(UConverter* converter, const std::string& bytes, Record&& record) {
    std::u16string out(bytes.size() * 2, u'\0');
    std::vector<int32_t> offsets(out.size(), -1);
    UChar* target = out.data();
    const char* source = bytes.data();
    int32_t* offsetOut = offsets.data();
    UErrorCode error = U_ZERO_ERROR;
    ucnv_resetToUnicode(converter);
    ucnv_toUnicode(converter, &target, out.data() + out.size(), &source, bytes.data() + bytes.size(), offsetOut,
                   true, &error);
    if (U_FAILURE(error)) return;
    for (std::size_t i = 0; i < static_cast<std::size_t>(target - out.data()); ++i) record(offsets[i], out[i]);
  }

  std::array<char16_t, 256> single_{};
  std::vector<char16_t> pair_;
  std::vector<std::uint16_t> encode_;
};

// Writes the UTF-8 form of a BMP code point at out and returns the position after it.
char* writeUtf8(char* out, char16_t unit) {
  if (unit < 0x80) {
    *out++ = static_cast<char>(unit);
  } else if (unit < 0x800) {
    *out++ = static_cast<char>(0xC0 | (unit >> 6));
    *out++ = static_cast<char>(0x80 | (unit & 0x3F));
  } else {
    *out++ = static_cast<char>(0xE0 | (unit >> 12));
    *out++ = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (unit & 0x3F));
  }
  return out;
}

// Reads one UTF-8 character at bytes[i]; returns the code point and how many bytes it took. An
// ill-formed sequence gives one U+FFFD for its longest well-formed beginning ("maximal subpart"), and
// reading goes on at the byte that broke it, as ICU does.
std::pair<char32_t, std::size_t> readUtf8(std::string_view bytes, std::size_t i) {
  const auto lead = static_cast<unsigned char>(bytes[i]);
  if (lead < 0x80) return {lead, 1};
  std::size_t length;
  char32_t codePoint;
  unsigned char low = 0x80, high = 0xBF;  // the range of the byte after the lead
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, codePoint = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, codePoint = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {0xFFFD, 1};
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (i + k >= bytes.size()) return {0xFFFD, k};
    const auto next = static_cast<unsigned char>(bytes[i + k]);
    if (next < low || next > high) return {0xFFFD, k};
    low = 0x80, high = 0xBF;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  return {codePoint, length};
}

// Writes the code page 936 bytes of one code point at out, or "?" when the code page cannot hold it, and
// returns the position after them.
char* writeGbk(char* out, const CodePage936Tables& tables, char32_t codePoint) {
  const std::uint16_t code = codePoint < 0x10000 ? tables.encoded(static_cast<char16_t>(codePoint)) : 0;
  if (code == 0) {
    *out++ = '?';
  } else if (CodePage936Tables::isDoubleByte(code)) {
    *out++ = static_cast<char>(code >> 8);
    *out++ = static_cast<char>(code & 0xFF);
  } else {
    *out++ = static_cast<char>(code);
  }
  return out;
}

// UTF-8 to code page 936 up to the first U+0000, optionally without one leading U+FEFF. No character
// grows: one to four UTF-8 bytes give at most two bytes here.
std::string utf8ToGbkBytes(std::string_view utf8, bool dropByteOrderMark) {
  const CodePage936Tables& tables = CodePage936Tables::get();
  std::string result(utf8.size(), '\0');
  char* out = result.data();
  std::size_t i = 0;
  if (dropByteOrderMark && utf8.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < utf8.size()) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte == 0) break;
    if (byte < 0x80) {
      *out++ = static_cast<char>(byte);
      ++i;
      continue;
    }
    const auto [codePoint, length] = readUtf8(utf8, i);
    out = writeGbk(out, tables, codePoint);
    i += length;
  }
  result.resize(static_cast<std::size_t>(out - result.data()));
  return result;
}

}  // namespace

std::u16string gbkToUtf16(std::string_view gbkBytes) {
  const CodePage936Tables& tables = CodePage936Tables::get();
  std::u16string out;
  out.reserve(gbkBytes.size());
  for (std::size_t i = 0; i < gbkBytes.size();) {
    i += tables.decodeAt(gbkBytes, i, [&](char16_t unit) { out += unit; });
  }
  return out;
}

std::string gbkToUtf8(std::string_view gbkBytes) {
  const CodePage936Tables& tables = CodePage936Tables::get();
  // One byte gives at most three (0x80 is the euro sign), two bytes at most three.
  std::string result(gbkBytes.size() * 3, '\0');
  char* out = result.data();
  for (std::size_t i = 0; i < gbkBytes.size();) {
    if (static_cast<unsigned char>(gbkBytes[i]) < 0x80) {
      *out++ = gbkBytes[i++];
      continue;
    }
    i += tables.decodeAt(gbkBytes, i, [&](char16_t unit) { out = writeUtf8(out, unit); });
  }
  result.resize(static_cast<std::size_t>(out - result.data()));
  return result;
}

GbkText utf16ToGbk(std::u16string_view text) {
  const CodePage936Tables& tables = CodePage936Tables::get();
  std::string result(text.size() * 2, '\0');
  char* out = result.data();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit == 0) break;
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      // A surrogate pair is one code point beyond the code page; a lone surrogate is one bad unit.
      if (unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
      *out++ = '?';
      continue;
    }
    out = writeGbk(out, tables, unit);
  }
  result.resize(static_cast<std::size_t>(out - result.data()));
  return GbkText(std::move(result));
}

GbkText utf8ToGbk(std::string_view utf8Bytes) { return GbkText(utf8ToGbkBytes(utf8Bytes, false)); }

ByteSeq convertCharset(const ByteSeq& bytes, const GbkText& fromCharset, const GbkText& toCharset) {
  if (bytes.empty()) return {};
  Converter source = openConverter(fromCharset.view());
  Converter target = openConverter(toCharset.view());
  if (!source || !target) return {};
  UErrorCode nameError = U_ZERO_ERROR;
  const std::string_view sourceName = ucnv_getName(source.get(), &nameError);
  const std::string_view targetName = ucnv_getName(target.get(), &nameError);
  if (U_FAILURE(nameError)) return {};
  if (sourceName == "UTF-8" && targetName == kCodePage936) {
    // The page decoding's one call, through the tables.
    return ByteSeq(utf8ToGbkBytes(bytes.view(), true));
  }

  std::optional<std::u16string> decoded = decode(source.get(), bytes.view());
  if (!decoded) return {};
  std::u16string_view text = *decoded;
  if (!text.empty() && text.front() == u'\uFEFF') text.remove_prefix(1);

  // The page continues in code page 936, so whatever that code page cannot hold is already "?" before
  // the target charset sees it.
  GbkText intermediate = utf16ToGbk(text);
  // Into code page 936 itself the second crossing changes nothing: every byte the encoder wrote is a
  // character of the code page or "?", and each decodes and encodes back to itself.
  if (targetName == kCodePage936) return toBytes(intermediate);
  std::optional<std::string> encoded = encode(target.get(), gbkToUtf16(intermediate.view()));
  if (!encoded) return {};
  return ByteSeq(std::move(*encoded));
}

}  // namespace reader
