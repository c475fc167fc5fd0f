// The table-driven code page 936 crossing against ICU's converter itself, on every single byte, every
// byte pair and random texts: the tables must never differ from the converter they were read off.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>

#include <random>
#include <string>

#include "services/charset.h"

namespace reader {
namespace {

std::string hexOf(std::string_view bytes) {
  std::string out;
  char buffer[4];
  for (unsigned char c : bytes) {
    std::snprintf(buffer, sizeof buffer, "%02X ", c);
    out += buffer;
  }
  return out;
}

// The converter with the reader's rules: U+FFFD in, one "?" out per code point it cannot hold.
void toReplacement(const void*, UConverterToUnicodeArgs* args, const char*, int32_t, UConverterCallbackReason reason,
                   UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;
  static const UChar replacement = 0xFFFD;
  *error = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, error);
}
void toQuestionMark(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t, UChar32,
                    UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;
  static const UChar mark = u'?';
  const UChar* source = &mark;
  *error = U_ZERO_ERROR;
  ucnv_cbFromUWriteUChars(args, &source, source + 1, 0, error);
}

class Icu936 {
 public:
  Icu936() {
    UErrorCode error = U_ZERO_ERROR;
    converter_ = ucnv_open("windows-936-2000", &error);
    ucnv_setFallback(converter_, false);
    ucnv_setToUCallBack(converter_, toReplacement, nullptr, nullptr, nullptr, &error);
    ucnv_setFromUCallBack(converter_, toQuestionMark, nullptr, nullptr, nullptr, &error);
  }
  ~Icu936() { ucnv_close(converter_); }

  std::u16string decode(std::string_view bytes) {
    std::u16string out(bytes.size() * 2 + 2, u'\0');
    UErrorCode error = U_ZERO_ERROR;
    const int32_t length = ucnv_toUChars(converter_, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                         static_cast<int32_t>(bytes.size()), &error);
    out.resize(static_cast<std::size_t>(length));
    return out;
  }
  std::string encode(std::u16string_view text) {
    text = text.substr(0, text.find(u'\0'));
    std::string out(text.size() * 4 + 4, '\0');
    UErrorCode error = U_ZERO_ERROR;
    const int32_t length = ucnv_fromUChars(converter_, out.data(), static_cast<int32_t>(out.size()), text.data(),
                                           static_cast<int32_t>(text.size()), &error);
    out.resize(static_cast<std::size_t>(length));
    return out;
  }
  std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out(utf8.size() + 1, u'\0');
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, utf8.data(),
                         static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &error);
    out.resize(static_cast<std::size_t>(length));
    return out;
  }

 private:
  UConverter* converter_ = nullptr;
};

// The page decoding's conversion through ICU's own UTF-8 converter: U+FFFD for what is ill-formed, one
// leading U+FEFF dropped, then code page 936 up to the first U+0000.
std::string convertThroughIcu(Icu936& icu, std::string_view utf8) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open("utf-8", &error);
  ucnv_setToUCallBack(converter, toReplacement, nullptr, nullptr, nullptr, &error);
  std::u16string out(utf8.size() * 2 + 2, u'\0');
  const int32_t length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), utf8.data(),
                                       static_cast<int32_t>(utf8.size()), &error);
  ucnv_close(converter);
  out.resize(static_cast<std::size_t>(length));
  std::u16string_view text = out;
  if (!text.empty() && text.front() == 0xFEFF) text.remove_prefix(1);
  return icu.encode(text);
}

TEST(CodePage936Tables, EveryByteAndPairDecodesAsTheConverterDoes) {
  Icu936 icu;
  for (int lead = 0; lead < 256; ++lead) {
    for (int trail = 0; trail < 256; ++trail) {
      for (std::string bytes : {std::string{char(lead)}, std::string{char(lead), char(trail)},
                                std::string{char(lead), char(trail), 'x'}}) {
        if (bytes.size() == 1 && trail > 0) continue;
        ASSERT_EQ(gbkToUtf16(bytes), icu.decode(bytes)) << hexOf(bytes);
      }
    }
  }
}

TEST(CodePage936Tables, EveryBmpCodePointEncodesAsTheConverterDoes) {
  Icu936 icu;
  for (int unit = 1; unit < 0x10000; ++unit) {
    const std::u16string text{char16_t(unit), u'x'};
    ASSERT_EQ(utf16ToGbk(text).bytes(), icu.encode(text)) << std::hex << unit;
  }
  const std::u16string pairAndLone = u"a\U0001F600b\xD800" u"c\xDC00";
  EXPECT_EQ(utf16ToGbk(pairAndLone).bytes(), icu.encode(pairAndLone));
}

TEST(CodePage936Tables, RandomTextsCrossAsTheConverterDoes) {
  Icu936 icu;
  std::mt19937 random(936);
  const std::string interesting = "a\r\n<>\x80\x81\xA1\xA3\xB0\xC4\xD6\xFE\xFF\x40\x7F\xE3\xA2\xD0";
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    const int length = std::uniform_int_distribution<int>(0, 24)(random);
    for (int i = 0; i < length; ++i) {
      bytes += round % 2 ? interesting[std::uniform_int_distribution<std::size_t>(0, interesting.size() - 1)(random)]
                         : static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
    }
    const std::u16string unicode = icu.decode(bytes);
    ASSERT_EQ(gbkToUtf16(bytes), unicode) << hexOf(bytes);
    // The same bytes read as UTF-8: the maximal-subpart rule for ill-formed sequences, then code page 936.
    ASSERT_EQ(utf8ToGbk(bytes).bytes(), icu.encode(icu.utf8ToUtf16(bytes))) << hexOf(bytes);
    ASSERT_EQ(utf16ToGbk(unicode).bytes(), icu.encode(unicode)) << hexOf(bytes);
    const std::string page = (round % 3 == 0 ? "\xEF\xBB\xBF" : "") + bytes;
    ASSERT_EQ(convertCharset(ByteSeq(page), GbkText("utf-8"), GbkText("gb2312")).bytes(), convertThroughIcu(icu, page))
        << hexOf(page);
  }
}

}  // namespace
}  // namespace reader
