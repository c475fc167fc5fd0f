#include "services/charset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace reader {
namespace {

using namespace std::string_literals;

std::string hexBytes(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string hexUnits(std::u16string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char16_t unit : text) {
    if (!out.empty()) out += ' ';
    for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(unit >> shift) & 15];
  }
  return out;
}

// --- Code page 936 to Unicode ---

struct DecodeCase {
  const char* name;
  std::string gbk;
  std::u16string unicode;
};

void PrintTo(const DecodeCase& c, std::ostream* out) {
  *out << c.name;
}

class GbkDecoding : public testing::TestWithParam<DecodeCase> {};

TEST_P(GbkDecoding, GivesTheWindowsCodePoints) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(hexUnits(gbkToUtf16(c.gbk)), hexUnits(c.unicode));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GbkDecoding,
    testing::Values(DecodeCase{"Ascii", "ab\r\n", u"ab\r\n"},
                    // 中文
                    DecodeCase{"TwoHanzi", "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
                    DecodeCase{"EuroAt0x80", "\x80", u"\u20AC"},
                    DecodeCase{"MiddleDotAtA1A4", "\xA1\xA4", u"\u00B7"},
                    DecodeCase{"EmDashAtA1AA", "\xA1\xAA", u"\u2014"},
                    // The three user-defined areas start at U+E000, U+E234 and U+E4C6.
                    DecodeCase{"UserDefinedAAA1", "\xAA\xA1", u"\uE000"},
                    DecodeCase{"UserDefinedF8A1", "\xF8\xA1", u"\uE234"},
                    DecodeCase{"UserDefinedA140", "\xA1\x40", u"\uE4C6"},
                    // An invalid lead byte is one U+FFFD; the byte after it is read afresh.
                    DecodeCase{"LeadByteBeforeSpace",
                               "\x81\x20"
                               "A",
                               u"\uFFFD A"},
                    DecodeCase{"LeadByteBeforeDel", "\x81\x7F", u"\uFFFD\u007F"},
                    DecodeCase{"DanglingLeadByte", "a\x81", u"a\uFFFD"}, DecodeCase{"Empty", "", u""}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(GbkDecoding, Utf8FormMatchesUtf16Form) {
  // 中€·—, an invalid lead byte, a user-defined code.
  const std::string gbk = "\xD6\xD0\x80\xA1\xA4\xA1\xAA\x81\x20\xAA\xA1";
  EXPECT_EQ(hexBytes(gbkToUtf8(gbk)),
            hexBytes("\xE4\xB8\xAD\xE2\x82\xAC\xC2\xB7\xE2\x80\x94\xEF\xBF\xBD\x20\xEE\x80\x80"));
}

// --- Unicode to code page 936 ---

struct EncodeCase {
  const char* name;
  std::u16string unicode;
  std::string gbk;
};

void PrintTo(const EncodeCase& c, std::ostream* out) {
  *out << c.name;
}

class GbkEncoding : public testing::TestWithParam<EncodeCase> {};

TEST_P(GbkEncoding, WritesTheCodePageOrOneQuestionMark) {
  const EncodeCase& c = GetParam();
  EXPECT_EQ(hexBytes(utf16ToGbk(c.unicode).view()), hexBytes(c.gbk));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GbkEncoding,
    testing::Values(
        EncodeCase{"TwoHanzi", u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"}, EncodeCase{"Euro", u"\u20AC", "\x80"},
        EncodeCase{"MiddleDot", u"\u00B7", "\xA1\xA4"}, EncodeCase{"EmDash", u"\u2014", "\xA1\xAA"},
        EncodeCase{"PrivateUse", u"\uE000\uE234\uE4C6", "\xAA\xA1\xF8\xA1\xA1\x40"},
        // Default-ignorable code points are not dropped.
        EncodeCase{"ZeroWidthSpace", u"a\u200Bb", "a?b"},
        EncodeCase{"SoftHyphenAndJoiners", u"\u00AD\u200D\u2060\uFEFF", "????"},
        // No best fit: ¢ and À could be approximated by the full-width cent sign and à, but are not.
        EncodeCase{"NoBestFit", u"\u00A2\u00C0", "??"},
        EncodeCase{"SupplementaryIsOneMark", u"a\U0001F600b", "a?b"},
        EncodeCase{"LoneSurrogateIsOneMark",
                   u"a\xD800"
                   u"b",
                   "a?b"},
        EncodeCase{"EndsAtNul", u"a\u0000b"s, "a"}, EncodeCase{"Empty", u"", ""}),
    [](const testing::TestParamInfo<EncodeCase>& info) { return std::string(info.param.name); });

TEST(GbkEncoding, Utf8InputFollowsTheSameRules) {
  EXPECT_EQ(hexBytes(utf8ToGbk("\xE4\xB8\xAD\xE6\x96\x87").view()), hexBytes("\xD6\xD0\xCE\xC4"));
  EXPECT_EQ(hexBytes(utf8ToGbk("\xE2\x82\xAC"
                               "a\xE2\x80\x8B"
                               "b")
                         .view()),
            hexBytes("\x80"
                     "a?b"));
  // Invalid UTF-8 is U+FFFD, which code page 936 cannot hold.
  EXPECT_EQ(utf8ToGbk("a\xC0"
                      "b")
                .bytes(),
            "a?b");
  EXPECT_EQ(utf8ToGbk("a\0b"s).bytes(), "a");
}

// Every two-byte code that decodes to a real character encodes back to itself: the pair is lossless on
// code page 936, user-defined areas included.
TEST(GbkRoundTrip, EveryAssignedTwoByteCodeComesBack) {
  int assigned = 0;
  std::vector<char16_t> privateUse;
  std::vector<std::string> broken;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string unicode = gbkToUtf16(code);
      ASSERT_EQ(unicode.size(), 1u) << hexBytes(code);
      if (unicode[0] == 0xFFFD) continue;
      ++assigned;
      if (unicode[0] >= 0xE000 && unicode[0] <= 0xF8FF) privateUse.push_back(unicode[0]);
      if (utf16ToGbk(unicode).bytes() != code) broken.push_back(hexBytes(code));
    }
  }
  EXPECT_TRUE(broken.empty()) << broken.size() << " codes, first " << broken.front();
  EXPECT_GT(assigned, 21000);
  // The user-defined areas and the holes of the symbol rows take U+E000..U+E864, each code point once.
  std::sort(privateUse.begin(), privateUse.end());
  ASSERT_EQ(privateUse.size(), 0xE865u - 0xE000u);
  for (std::size_t i = 0; i < privateUse.size(); ++i) ASSERT_EQ(privateUse[i], 0xE000 + i);
}

// --- convertCharset ---

struct ConvertCase {
  const char* name;
  std::string bytes;
  const char* from;
  const char* to;
  std::string expected;
};

void PrintTo(const ConvertCase& c, std::ostream* out) {
  *out << c.name;
}

class ConvertCharset : public testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertCharset, ReencodesThroughCodePage936) {
  const ConvertCase& c = GetParam();
  const ByteSeq result = convertCharset(ByteSeq(c.bytes), GbkText(c.from), GbkText(c.to));
  EXPECT_EQ(hexBytes(result.view()), hexBytes(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertCharset,
    testing::Values(
        ConvertCase{"AsciiUnchanged", "<html>\r\n", "utf-8", "gb2312", "<html>\r\n"},
        ConvertCase{"TwoHanzi", "\xE4\xB8\xAD\xE6\x96\x87", "utf-8", "gb2312", "\xD6\xD0\xCE\xC4"},
        // The euro sign is outside GB2312 proper, so this shows "gb2312" means code page 936.
        ConvertCase{"EuroUnderGb2312", "\xE2\x82\xAC", "utf-8", "gb2312", "\x80"},
        ConvertCase{"NameCaseIgnored", "\xE2\x82\xAC", "UTF-8", "GB2312", "\x80"},
        ConvertCase{"GbkName", "\xC2\xB7\xE2\x80\x94", "utf-8", "gbk", "\xA1\xA4\xA1\xAA"},
        ConvertCase{"ZeroWidthSpace", "\xE4\xB8\xAD\xE2\x80\x8B\xE6\x96\x87", "utf-8", "gb2312",
                    "\xD6\xD0?\xCE\xC4"},
        ConvertCase{"UnrepresentableBetweenHanzi", "\xE4\xB8\xAD\xF0\x9F\x98\x80\xE6\x96\x87", "utf-8",
                    "gb2312", "\xD6\xD0?\xCE\xC4"},
        ConvertCase{"InvalidUtf8",
                    "a\xFF"
                    "b\xE4\xB8",
                    "utf-8", "gb2312", "a?b?"},
        ConvertCase{"CutAtNul", "\xE4\xB8\xAD\0\xE6\x96\x87"s, "utf-8", "gb2312", "\xD6\xD0"},
        ConvertCase{"NulFirst", "\0abc"s, "utf-8", "gb2312", ""},
        ConvertCase{"OneBomDropped",
                    "\xEF\xBB\xBF"
                    "ab",
                    "utf-8", "gb2312", "ab"},
        ConvertCase{"OnlyOneBomDropped",
                    "\xEF\xBB\xBF\xEF\xBB\xBF"
                    "ab",
                    "utf-8", "gb2312", "?ab"},
        ConvertCase{"InnerBomIsMark",
                    "a\xEF\xBB\xBF"
                    "b",
                    "utf-8", "gb2312", "a?b"},
        ConvertCase{"BackToUtf8", "\xD6\xD0\x80\xAA\xA1", "gb2312", "utf-8",
                    "\xE4\xB8\xAD\xE2\x82\xAC\xEE\x80\x80"},
        // Characters leave through code page 936 even when the target could hold them.
        ConvertCase{"Utf8ToUtf8LosesWhatGbkCannotHold", "a\xF0\x9F\x98\x80", "utf-8", "utf-8", "a?"},
        ConvertCase{"EmptyInput", "", "utf-8", "gb2312", ""},
        ConvertCase{"UnknownSource", "abc", "no-such-charset", "gb2312", ""},
        ConvertCase{"UnknownTarget", "abc", "utf-8", "no-such-charset", ""},
        ConvertCase{"EmptySourceName", "abc", "", "gb2312", ""},
        ConvertCase{"EmptyTargetName", "abc", "utf-8", "", ""}),
    [](const testing::TestParamInfo<ConvertCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reader
