#include <gtest/gtest.h>

#include "byte_helpers.h"
#include "extract/stages.h"

namespace reader {
namespace {

using testing::G;
using testing::gbk;
using testing::hex;

// "中文" in UTF-8 and in code page 936.
constexpr std::string_view kUtf8Zhongwen = "\xE4\xB8\xAD\xE6\x96\x87";
constexpr std::string_view kGbkZhongwen = "\xD6\xD0\xCE\xC4";

TEST(DecodePage, StripsOneLeadingLineFeedOnly) {
  struct Case {
    std::string_view page, expected;
  };
  const Case cases[] = {
      {"", ""}, {"\n", ""}, {"\nx", "x"}, {"\n\nx", "\nx"}, {"\r\nx", "\r\nx"}, {" \nx", " \nx"},
  };
  for (const Case& c : cases) {
    DecodedPage decoded = decodePage(ByteSeq(c.page));
    EXPECT_EQ(decoded.pageBytes.bytes(), c.expected) << hex(c.page);
    EXPECT_EQ(decoded.pageText.bytes(), c.expected) << hex(c.page);
  }
  // pageText stops at a 0x00 byte; pageBytes keeps it.
  DecodedPage withNul = decodePage(ByteSeq(std::string_view("ab\0cd", 5)));
  EXPECT_EQ(withNul.pageBytes.bytes().size(), 5u);
  EXPECT_EQ(withNul.pageText.bytes(), "ab");
}

TEST(DecodePage, ConvertsOnlyPagesThatDeclareUtf8) {
  struct Case {
    std::string head;
    bool converted;
  };
  const Case cases[] = {
      {"<meta content='text/html; charset=UTF-8'>", true},
      {"<meta content=\"text/html; charset=utf-8\">", true},
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Utf-8\" />", true},
      {"<meta content=\"text/html; charset=gb2312\">", false},
      {"<meta content=\"text/html; charset=gbk\">", false},
      {"<meta content=\"text/html; charset=big5\">", false},
      {"<html><head></head>", false},
      {"<meta content=\"text/html; charset=utf8\">", false},  // without the hyphen it does not count
      // The HTML5 form, which most pages today use alone.
      {"<meta charset=\"utf-8\">", true},
      {"<META CHARSET=UTF-8>", true},
      {"<meta\n  charset='utf-8' />", true},  // the tag may span lines
      {"<meta name=x charset = \" UTF-8\">", true},
      {"<meta charset=\"utf8\">", false},
      {"<meta charset=\"utf-16\">", false},
      {"<meta charset=\"gbk\">", false},
      // The first declaring tag decides, whichever its form.
      {"<meta http-equiv=\"Content-Type\" content=\"text/html;\n charset=gb2312\"><meta charset=\"utf-8\">", false},
      {"<meta charset=\"gb2312\"><meta charset=\"utf-8\">", false},
      {"<meta name=\"viewport\" content=\"width=device-width\"><meta charset=\"utf-8\">", true},
      // A classic declaration split over two lines is not seen by the classic test, but the tag is.
      {"<meta http-equiv=\"Content-Type\" content=\"text/html;\n charset=utf-8\">", true},
  };
  for (const Case& c : cases) {
    const std::string page = c.head + "<p>" + std::string(kUtf8Zhongwen) + "</p>";
    DecodedPage decoded = decodePage(ByteSeq(page));
    const std::string expected = c.converted ? c.head + "<p>" + std::string(kGbkZhongwen) + "</p>" : page;
    EXPECT_EQ(decoded.pageBytes.bytes(), expected) << c.head;
    EXPECT_EQ(decoded.pageText.bytes(), expected) << c.head;
  }
}

TEST(DecodePage, ClassicMatchRunsFromFirstContentToNearestCharset) {
  // The match begins at the first content=" that has a charset= after it on its line, and the "utf-8"
  // may stand anywhere in that stretch, even in another element.
  const std::string page = "<meta name=a content=\"x\"><meta name=utf-8 charset=\"gbk\">" + std::string(kUtf8Zhongwen);
  EXPECT_EQ(decodePage(ByteSeq(page)).pageText.bytes(),
            "<meta name=a content=\"x\"><meta name=utf-8 charset=\"gbk\">" + std::string(kGbkZhongwen));
}

TEST(ExtractTitle, CutsBeforeTheFirstSeparator) {
  struct Case {
    std::u8string_view page, title;
  };
  const Case cases[] = {
      {u8"<title>Storm warning - Evening News</title>", u8"Storm"},
      {u8"<head><TITLE>新闻标题_滨江新闻网</TITLE>", u8"新闻标题"},
      {u8"<title>没有任何分隔符的标题</title>", u8"没有任何分隔符的标题"},
      {u8"<title>全角，分隔符－不算</title>", u8"全角，分隔符－不算"},
      {u8"<title>ABC(1)</title>", u8"ABC"},
      {u8"<title> leading space</title>", u8""},
      {u8"<title>-dash</title>", u8""},
      {u8"<title></title>", u8""},
      {u8"<p>no title here</p>", u8""},
      {u8"<title id='t'>News</title>", u8""},
      {u8"<title>News <b>today</b></title>", u8"News"},
      {u8"<title>Two\nlines</title>", u8""},
      {u8"<title>first</title><title>second</title>", u8"first"},
      {u8"<title>a,b_c</title>", u8"a"},
      {u8"<title>Q&amp;A</title>", u8"Q&amp;A"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(extractTitle(G(c.page)), G(c.title)) << hex(G(c.page).bytes());
  }
}

TEST(ExtractTitle, SeparatorsAreSearchedByCharacter) {
  // 81 5F is one two-byte character whose second byte has the value of "_".
  EXPECT_EQ(extractTitle(GbkText("<title>A\x81_B</title>")).bytes(), "A\x81_B");
  EXPECT_EQ(extractTitle(GbkText("<title>A\x81_B_C</title>")).bytes(), "A\x81_B");
}

TEST(ExtractTitle, LongTitleWithoutSeparatorKeeps99999Bytes) {
  const std::string longTitle(100005, 'x');
  EXPECT_EQ(extractTitle(GbkText("<title>" + longTitle + "</title>")).bytes().size(), 99999u);
  EXPECT_EQ(extractTitle(GbkText("<title>" + std::string(500, 'y') + "</title>")).bytes(), std::string(500, 'y'));
  (void)gbk;
}

}  // namespace
}  // namespace reader
