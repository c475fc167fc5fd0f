// The code page 936 conversions and the page decoding's charset conversion on arbitrary bytes.
//
// The same input is read four ways: as GBK bytes, as UTF-16 code units, as UTF-8 and as the UTF-8 page that
// convertCharset re-encodes. Each result is held against ICU's own converter driven the way the charset
// service documents (U+FFFD for each undefined sequence, one "?" for each code point the code page cannot
// hold, no best fit), and against invariants of its own: no GbkText holds 0x00, every code point becomes
// exactly one character or one "?", and text that is valid GBK comes back byte for byte.
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "services/charset.h"

using reader::ByteSeq;
using reader::GbkText;
using reader::fuzzing::codePointsOf;
using reader::fuzzing::hasNul;

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// --- ICU's converter, as the reference ---

void questionMark(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t, UChar32,
                  UConverterCallbackReason reason, UErrorCode* error) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  static constexpr UChar kMark[] = {u'?'};
  const UChar* source = kMark;
  *error = U_ZERO_ERROR;
  ucnv_cbFromUWriteUChars(args, &source, source + 1, 0, error);
}

void replacementCharacter(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                          UConverterCallbackReason reason, UErrorCode* error) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  static constexpr UChar kMark[] = {kReplacement};
  *error = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, kMark, 1, 0, error);
}

UConverter* openReference(const char* name) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &error);
  FUZZ_CHECK(U_SUCCESS(error) && converter != nullptr);
  ucnv_setFallback(converter, false);
  ucnv_setFromUCallBack(converter, questionMark, nullptr, nullptr, nullptr, &error);
  ucnv_setToUCallBack(converter, replacementCharacter, nullptr, nullptr, nullptr, &error);
  FUZZ_CHECK(U_SUCCESS(error));
  return converter;
}

// Opened once for the life of the fuzzer.
UConverter* referenceGbk() {
  static UConverter* const converter = openReference("windows-936-2000");
  return converter;
}
UConverter* referenceUtf8() {
  static UConverter* const converter = openReference("utf-8");
  return converter;
}

std::u16string referenceDecode(UConverter* converter, std::string_view bytes) {
  std::u16string out(bytes.size() * 2 + 2, u'\0');
  UErrorCode error = U_ZERO_ERROR;
  ucnv_resetToUnicode(converter);
  const int32_t length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                       static_cast<int32_t>(bytes.size()), &error);
  FUZZ_CHECK(U_SUCCESS(error));
  out.resize(static_cast<std::size_t>(length));
  return out;
}

// Up to the first U+0000.
std::string referenceEncode(std::u16string_view text) {
  text = text.substr(0, text.find(u'\0'));
  std::string out(text.size() * 2 + 2, '\0');
  UErrorCode error = U_ZERO_ERROR;
  ucnv_resetFromUnicode(referenceGbk());
  const int32_t length = ucnv_fromUChars(referenceGbk(), out.data(), static_cast<int32_t>(out.size()),
                                         text.data(), static_cast<int32_t>(text.size()), &error);
  FUZZ_CHECK(U_SUCCESS(error));
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::u16string referenceUtf8ToUtf16(std::string_view bytes) {
  std::u16string out(bytes.size() + 1, u'\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, bytes.data(),
                       static_cast<int32_t>(bytes.size()), kReplacement, nullptr, &error);
  FUZZ_CHECK(U_SUCCESS(error));
  out.resize(static_cast<std::size_t>(length));
  return out;
}

// --- Invariants ---

bool hasReplacement(std::u16string_view text) {
  return text.find(kReplacement) != std::u16string_view::npos;
}

// gbk is the encoding of the code points `points`: each one is there itself or as one "?".
void expectOneCharacterPerCodePoint(const GbkText& gbk, const std::vector<char32_t>& points) {
  const std::u16string decoded = reader::gbkToUtf16(gbk.view());
  FUZZ_CHECK(!hasReplacement(decoded));
  FUZZ_CHECK(decoded.size() == points.size());
  for (std::size_t i = 0; i < points.size(); ++i) FUZZ_CHECK(decoded[i] == points[i] || decoded[i] == u'?');
}

void readAsGbk(std::string_view bytes) {
  const std::u16string text = reader::gbkToUtf16(bytes);
  FUZZ_CHECK(text == referenceDecode(referenceGbk(), bytes));
  // At most one UTF-16 unit per byte, and never a surrogate: code page 936 lies within the BMP.
  FUZZ_CHECK(text.size() <= bytes.size());
  for (char16_t unit : text) FUZZ_CHECK(unit < 0xD800 || unit > 0xDFFF);
  FUZZ_CHECK(reader::gbkToUtf8(bytes) == reader::fuzzing::utf8Of(text));

  const GbkText back = reader::utf16ToGbk(text);
  FUZZ_CHECK(!hasNul(back.view()));
  FUZZ_CHECK(reader::utf8ToGbk(reader::gbkToUtf8(bytes)) == back);
  // Valid GBK comes back byte for byte (a GbkText ends before its first 0x00, so only without one).
  if (!hasNul(bytes) && !hasReplacement(text)) FUZZ_CHECK(back.view() == bytes);
  // What the encoder writes is valid GBK and comes back unchanged.
  const std::u16string again = reader::gbkToUtf16(back.view());
  FUZZ_CHECK(!hasReplacement(again));
  FUZZ_CHECK(reader::utf16ToGbk(again) == back);
}

void readAsUtf16(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  const GbkText gbk = reader::utf16ToGbk(units);
  FUZZ_CHECK(!hasNul(gbk.view()));
  FUZZ_CHECK(gbk.view() == referenceEncode(units));
  // The text ends before its first U+0000; an unpaired surrogate is one "?" like any other unmappable.
  const std::u16string_view kept = std::u16string_view(units).substr(0, units.find(u'\0'));
  expectOneCharacterPerCodePoint(gbk, codePointsOf(kept));
}

void readAsUtf8(std::string_view bytes) {
  const GbkText gbk = reader::utf8ToGbk(bytes);
  FUZZ_CHECK(!hasNul(gbk.view()));
  FUZZ_CHECK(gbk.view() == referenceEncode(referenceUtf8ToUtf16(bytes)));
  FUZZ_CHECK(!hasReplacement(reader::gbkToUtf16(gbk.view())));
  if (auto points = reader::fuzzing::strictUtf8(bytes)) {
    for (std::size_t i = 0; i < points->size(); ++i) {
      if ((*points)[i] == 0) {
        points->resize(i);
        break;
      }
    }
    expectOneCharacterPerCodePoint(gbk, *points);
  }

  // The page decoding's one conversion: as utf8ToGbk, after one leading byte order mark.
  const ByteSeq converted = reader::convertCharset(ByteSeq(bytes), GbkText("utf-8"), GbkText("gb2312"));
  FUZZ_CHECK(!hasNul(converted.view()));
  std::u16string decoded = referenceDecode(referenceUtf8(), bytes);
  if (!decoded.empty() && decoded.front() == u'\uFEFF') decoded.erase(0, 1);
  FUZZ_CHECK(converted.view() == referenceEncode(decoded));
  const std::string_view withoutMark = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? bytes.substr(3) : bytes;
  FUZZ_CHECK(converted.view() == reader::utf8ToGbk(withoutMark).view());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  readAsGbk(bytes);
  readAsUtf16(bytes);
  readAsUtf8(bytes);
  return 0;
}
