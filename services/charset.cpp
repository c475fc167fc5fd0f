#include "services/charset.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <algorithm>
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

// UTF-8 <-> UTF-16 without a converter object; invalid UTF-8 gives U+FFFD per maximal ill-formed part.
std::u16string utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  if (utf8.empty() || !fitsInt32(utf8.size())) return out;
  out.resize(utf8.size() + 1);
  UErrorCode error = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, utf8.data(),
                       static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &error);
  if (U_FAILURE(error)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
  std::string out;
  if (text.empty() || !fitsInt32(text.size())) return out;
  out.resize(text.size() * 3 + 1);
  UErrorCode error = U_ZERO_ERROR;
  int32_t length = 0;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                     static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &error);
  if (U_FAILURE(error)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

}  // namespace

std::u16string gbkToUtf16(std::string_view gbkBytes) {
  Converter converter = openConverter(kCodePage936);
  if (!converter) return {};
  return decode(converter.get(), gbkBytes).value_or(std::u16string());
}

std::string gbkToUtf8(std::string_view gbkBytes) {
  return utf16ToUtf8(gbkToUtf16(gbkBytes));
}

GbkText utf16ToGbk(std::u16string_view text) {
  Converter converter = openConverter(kCodePage936);
  if (!converter) return {};
  return GbkText(encode(converter.get(), text).value_or(std::string()));
}

GbkText utf8ToGbk(std::string_view utf8Bytes) {
  return utf16ToGbk(utf8ToUtf16(utf8Bytes));
}

ByteSeq convertCharset(const ByteSeq& bytes, const GbkText& fromCharset, const GbkText& toCharset) {
  if (bytes.empty()) return {};
  Converter source = openConverter(fromCharset.view());
  Converter target = openConverter(toCharset.view());
  if (!source || !target) return {};

  std::optional<std::u16string> decoded = decode(source.get(), bytes.view());
  if (!decoded) return {};
  std::u16string_view text = *decoded;
  if (!text.empty() && text.front() == u'\uFEFF') text.remove_prefix(1);

  // The page continues in code page 936, so whatever that code page cannot hold is already "?" before
  // the target charset sees it.
  GbkText intermediate = utf16ToGbk(text);
  // Into code page 936 itself the second crossing changes nothing: every byte the encoder wrote is a
  // character of the code page or "?", and each decodes and encodes back to itself.
  UErrorCode nameError = U_ZERO_ERROR;
  if (std::string_view(ucnv_getName(target.get(), &nameError)) == kCodePage936 && U_SUCCESS(nameError)) {
    return toBytes(intermediate);
  }
  std::optional<std::string> encoded = encode(target.get(), gbkToUtf16(intermediate.view()));
  if (!encoded) return {};
  return ByteSeq(std::move(*encoded));
}

}  // namespace reader
