#include "services/patterns.h"

#include <gtest/gtest.h>

#include <functional>
#include <locale>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace reader {
namespace {

// The patterns the extraction passes to firstMatch.
constexpr const char* kCharsetPattern = "content=[\"'].*?charset=([^'\"]*)";
constexpr const char* kTitlePattern = "<title>.*?</title>";
// 20\d{2}[\-\/年,\.]\d{1,2}[\-\/月,\.]\d{1,2}
constexpr const char* kDatePattern = "20\\d{2}[\\-\\/\xC4\xEA,\\.]\\d{1,2}[\\-\\/\xD4\xC2,\\.]\\d{1,2}";

// --- firstMatch ---

struct FirstMatchCase {
  const char* name;
  std::string text;
  std::string pattern;
  std::string expected;
  bool caseSensitive = false;
};

void PrintTo(const FirstMatchCase& c, std::ostream* out) {
  *out << c.name;
}

class FirstMatch : public testing::TestWithParam<FirstMatchCase> {};

TEST_P(FirstMatch, GivesTheWholeFirstMatch) {
  const FirstMatchCase& c = GetParam();
  EXPECT_EQ(firstMatch(GbkText(c.text), GbkText(c.pattern), c.caseSensitive).bytes(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirstMatch,
    testing::Values(
        // The group is ignored: the match runs from "content=" to just before the closing quote.
        FirstMatchCase{"WholeMatchDespiteGroup", "<meta content='text/html; charset=utf-8'>", kCharsetPattern,
                       "content='text/html; charset=utf-8"},
        FirstMatchCase{"CharsetDoubleQuoted",
                       "<meta http-equiv=\"Content-Type\" CONTENT=\"text/html; Charset=gb2312\" />",
                       kCharsetPattern, "CONTENT=\"text/html; Charset=gb2312"},
        FirstMatchCase{"TitleCaseIgnoredTagsKept", "<head><TITLE>News</TITLE></head>", kTitlePattern,
                       "<TITLE>News</TITLE>"},
        FirstMatchCase{"TitleCaseSensitive", "<TITLE>News</TITLE>", kTitlePattern, "", true},
        FirstMatchCase{"LazyStopsAtFirstClose", "<title>a</title><title>b</title>", kTitlePattern,
                       "<title>a</title>"},
        FirstMatchCase{"DotStopsAtLineFeed", "<title>a\nb</title>", kTitlePattern, ""},
        FirstMatchCase{"DotStopsAtCrLf", "<title>a\r\nb</title>", kTitlePattern, ""},
        FirstMatchCase{"DotMatchesCarriageReturn", "<title>a\rb</title>", kTitlePattern,
                       "<title>a\rb</title>"},
        // 发布 2015年12月7日 gives 2015年12月7: the class holds 年 as one member.
        FirstMatchCase{"DateWithHanziSeparators",
                       "\xB7\xA2\xB2\xBC 2015\xC4\xEA"
                       "12\xD4\xC2"
                       "7\xC8\xD5",
                       kDatePattern,
                       "2015\xC4\xEA"
                       "12\xD4\xC2"
                       "7"},
        FirstMatchCase{"DateWithDashes", "x 2009-3-14 y", kDatePattern, "2009-3-14"},
        // ２０１５年12月7日: full-width digits are not \d.
        FirstMatchCase{"FullWidthYearNotDigits",
                       "\xA3\xB2\xA3\xB0\xA3\xB1\xA3\xB5\xC4\xEA"
                       "12\xD4\xC2"
                       "7",
                       kDatePattern, ""},
        FirstMatchCase{"FullWidthDigit", "\xA3\xB1", "\\d", ""},
        // A two-byte character is one character for `.` and for a repeat.
        FirstMatchCase{"DotTakesWholeCharacter",
                       "a\xD6\xD0"
                       "b",
                       "a.b",
                       "a\xD6\xD0"
                       "b"},
        FirstMatchCase{"RepeatCountsCharacters", "<\xD6\xD0\xCE\xC4>", "<.{2}>", "<\xD6\xD0\xCE\xC4>"},
        // The trail byte 0x61 of 乤 (81 61) is not the letter a.
        FirstMatchCase{"TrailByteIsNotALetter", "x\x81\x61", "a", ""},
        FirstMatchCase{"LeftmostFirstAlternation", "ab", "a|ab", "a"},
        FirstMatchCase{"LeftmostWins", "xxbxa", "a|b", "b"},
        // A byte that is not code page 936 comes back as "?".
        FirstMatchCase{"InvalidByteComesBackAsMark", "a\x81 b", "a.*b", "a? b"},
        FirstMatchCase{"NoMatch", "<html></html>", kTitlePattern, ""},
        FirstMatchCase{"EmptyMatch", "abc", "x*", ""}, FirstMatchCase{"InvalidPattern", "(abc", "(", ""},
        FirstMatchCase{"EmptySubject", "", "a*", ""}),
    [](const testing::TestParamInfo<FirstMatchCase>& info) { return std::string(info.param.name); });

TEST(FirstMatchGroup, GivesOneCaptureGroup) {
  const GbkText meta("<meta content='text/html; charset=utf-8'>");
  EXPECT_EQ(firstMatchGroup(meta, GbkText(kCharsetPattern), 1, false).bytes(), "utf-8");
  EXPECT_EQ(firstMatchGroup(meta, GbkText(kCharsetPattern), 2, false).bytes(), "");
  EXPECT_EQ(firstMatchGroup(meta, GbkText(kCharsetPattern), 0, false).bytes(), "");
  EXPECT_EQ(firstMatchGroup(GbkText("xb"), GbkText("(a)|(b)"), 1, false).bytes(), "");
  EXPECT_EQ(firstMatchGroup(GbkText("xb"), GbkText("(a)|(b)"), 2, false).bytes(), "b");
  EXPECT_EQ(
      firstMatchGroup(GbkText("<title>\xD6\xD0</title>"), GbkText("<title>(.*?)</title>"), 1, false).bytes(),
      "\xD6\xD0");
}

std::string repeated(std::string_view piece, int times) {
  std::string out;
  out.reserve(piece.size() * static_cast<std::size_t>(times));
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// One-line pages that keep a backtracking engine busy for minutes. Each of them has no match.
TEST(FirstMatch, HostileOneLinePagesGiveEmptyText) {
  struct Hostile {
    std::string text;
    const char* pattern;
  };
  const std::vector<Hostile> cases = {
      {"<meta " + repeated("content=\"", 100000), kCharsetPattern},
      {repeated("content='text/html; ", 50000), kCharsetPattern},
      {repeated("<title>", 100000), kTitlePattern},
      {repeated("2015-1", 100000), kDatePattern},
  };
  for (const Hostile& c : cases) {
    EXPECT_EQ(firstMatch(GbkText(c.text), GbkText(c.pattern), false).bytes(), "") << c.pattern;
  }
  // A match after the hostile stretch is still found.
  EXPECT_EQ(
      firstMatch(GbkText(repeated("content=\"", 100000) + "charset=gbk\""), GbkText(kCharsetPattern), false)
          .bytes()
          .size(),
      9u * 100000 + 11);
}

// --- replaceAllMatches ---

struct ReplaceCase {
  const char* name;
  std::string text;
  std::string pattern;
  std::string replacement;
  std::string expected;
};

void PrintTo(const ReplaceCase& c, std::ostream* out) {
  *out << c.name;
}

class ReplaceAllMatches : public testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAllMatches, ReplacesEveryMatch) {
  const ReplaceCase& c = GetParam();
  EXPECT_EQ(replaceAllMatches(GbkText(c.text), GbkText(c.pattern), GbkText(c.replacement)).bytes(),
            c.expected);
}

// Cases whose outcome would change if the process's locale reached the byte engine.
const std::vector<ReplaceCase>& localeSensitiveCases() {
  static const std::vector<ReplaceCase> cases = {
      ReplaceCase{"HighBytesAreNotWordCharacters", "&\xC4\xE4\xC4;&amp;", "&\\w{3,10};", "",
                  "&\xC4\xE4\xC4;"},
      ReplaceCase{"HighBytesHaveNoCase", "\xC4\xE4", "\xC4", "", "\xE4"},
      ReplaceCase{"HighBytesHaveNoCaseEither", "\xC4\xE4", "\xE4", "", "\xC4"},
      ReplaceCase{"HighBytesAreNotAlpha",
                  "a\xC4"
                  "b",
                  "[[:alpha:]]+", "", "\xC4"},
      ReplaceCase{"AsciiCaseStillFolds", "<DIV class=x>a", "<div.*?>", "\r\n", "\r\na"},
  };
  return cases;
}

INSTANTIATE_TEST_SUITE_P(LocaleSensitive, ReplaceAllMatches, testing::ValuesIn(localeSensitiveCases()),
                         [](const testing::TestParamInfo<ReplaceCase>& info) {
                           return std::string(info.param.name);
                         });

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceAllMatches,
    testing::Values(ReplaceCase{"TagsRemoved", "a<b>c</b>", "<.*?>", "", "ac"},
                    ReplaceCase{"ThreeLineScriptRemoved",
                                "before\r\n<script type=\"text/javascript\">\r\nvar a = 1;\r\n</script>after",
                                "<script.*?>.*?<\\/script>", "", "before\r\nafter"},
                    ReplaceCase{"DotMatchesLineFeed", "a<!--x\ny-->b", "<!--.*?-->", "", "ab"},
                    ReplaceCase{"CrLfReplacement", "a<br>b<BR />c", "<br.*?>", "\r\n", "a\r\nb\r\nc"},
                    // Matching counts bytes: &中文; has four bytes inside, &中文字; six.
                    ReplaceCase{"RepeatCountsBytes", "&\xD6\xD0\xCE\xC4;|&\xD6\xD0\xCE\xC4\xD7\xD6;",
                                "&.{1,5};|&#.{1,5};", "", "|&\xD6\xD0\xCE\xC4\xD7\xD6;"},
                    ReplaceCase{"EntitiesRemoved", "a&nbsp;b&#160;c&copy;", "&.{1,5};|&#.{1,5};", "", "abc"},
                    // The replacement is a format string.
                    ReplaceCase{"FormatIsLive", "a<b>c", "<(.*?)>", "[$1$&]", "a[b<b>]c"},
                    ReplaceCase{"NoMatchCopiesText", "plain text", "<.*?>", "", "plain text"},
                    ReplaceCase{"InvalidPattern", "a(b", "(", "", ""},
                    ReplaceCase{"EmptySubject", "", "<.*?>", "", ""},
                    // Each unclosed script start sends the engine to the end of the text and back; its
                    // complexity budget runs out well before a kilobyte and the text is lost.
                    ReplaceCase{"EngineFailure", repeated("<script>a", 120), "<script.*?>.*?<\\/script>", "",
                                ""}),
    [](const testing::TestParamInfo<ReplaceCase>& info) { return std::string(info.param.name); });

TEST(ReplaceAllMatches, ClosingLiteralBoundsTheSearch) {
  const GbkText script("<script.*?>.*?<\\/script>");
  const GbkText literal("</script>");
  const std::string unclosed = repeated("<script>a", 120);
  // The unclosed starts lie after the last close, so they are copied without being searched.
  EXPECT_EQ(replaceAllMatches(GbkText("x<SCRIPT>1</SCRIPT>y" + unclosed), script, GbkText(), literal).bytes(),
            "xy" + unclosed);
  // Without a close anywhere nothing can match: the text comes back unchanged.
  EXPECT_EQ(replaceAllMatches(GbkText(unclosed), script, GbkText(), literal).bytes(), unclosed);
  // The bound does not excuse a bad pattern or an empty text.
  EXPECT_EQ(replaceAllMatches(GbkText(unclosed), GbkText("("), GbkText(), literal).bytes(), "");
  EXPECT_EQ(replaceAllMatches(GbkText(), script, GbkText(), literal).bytes(), "");
  // An empty literal bounds nothing.
  EXPECT_EQ(replaceAllMatches(GbkText("a<b>c"), GbkText("<.*?>"), GbkText(), GbkText()).bytes(), "ac");
}

// --- The process's locale stays out ---

// A ctype in the manner of a Latin-1 locale: C0..DE are capital letters, DF..FE small ones.
class HighBytesAreLetters : public std::ctype<char> {
 public:
  HighBytesAreLetters() : std::ctype<char>(table()) {}

 private:
  static bool isCapital(unsigned char c) { return c >= 0xC0 && c <= 0xDE && c != 0xD7; }
  static bool isSmall(unsigned char c) { return c >= 0xE0 && c <= 0xFE && c != 0xF7; }
  static const mask* table() {
    static const std::vector<mask> masks = [] {
      std::vector<mask> m(classic_table(), classic_table() + table_size);
      for (int c = 0xC0; c <= 0xFE; ++c) {
        if (isCapital(static_cast<unsigned char>(c)))
          m[static_cast<std::size_t>(c)] = alpha | upper | print | graph;
        if (isSmall(static_cast<unsigned char>(c)))
          m[static_cast<std::size_t>(c)] = alpha | lower | print | graph;
      }
      return m;
    }();
    return masks.data();
  }
  char do_tolower(char c) const override {
    const auto u = static_cast<unsigned char>(c);
    return isCapital(u) ? static_cast<char>(u + 0x20) : std::ctype<char>::do_tolower(c);
  }
  char do_toupper(char c) const override {
    const auto u = static_cast<unsigned char>(c);
    return isSmall(u) ? static_cast<char>(u - 0x20) : std::ctype<char>::do_toupper(c);
  }
  const char* do_tolower(char* low, const char* high) const override {
    for (; low < high; ++low) *low = do_tolower(*low);
    return high;
  }
  const char* do_toupper(char* low, const char* high) const override {
    for (; low < high; ++low) *low = do_toupper(*low);
    return high;
  }
};

struct GlobalLocale {
  const char* name;
  std::function<std::locale()> make;
};

void PrintTo(const GlobalLocale& c, std::ostream* out) {
  *out << c.name;
}

class UnderGlobalLocale : public testing::TestWithParam<GlobalLocale> {
 protected:
  void SetUp() override {
    try {
      previous_ = std::locale::global(GetParam().make());
    } catch (const std::runtime_error&) {
      GTEST_SKIP() << GetParam().name << " is not installed";
    }
  }
  void TearDown() override { std::locale::global(previous_); }

 private:
  std::locale previous_;
};

TEST_P(UnderGlobalLocale, ServicesBehaveAsUnderClassic) {
  for (const ReplaceCase& c : localeSensitiveCases()) {
    EXPECT_EQ(replaceAllMatches(GbkText(c.text), GbkText(c.pattern), GbkText(c.replacement)).bytes(),
              c.expected)
        << c.name;
  }
  EXPECT_EQ(firstMatch(GbkText("2015\xC4\xEA"
                               "12\xD4\xC2"
                               "7\xC8\xD5"),
                       GbkText(kDatePattern), false)
                .bytes(),
            "2015\xC4\xEA"
            "12\xD4\xC2"
            "7");
}

INSTANTIATE_TEST_SUITE_P(
    Locales, UnderGlobalLocale,
    testing::Values(GlobalLocale{"CUtf8", [] { return std::locale("C.UTF-8"); }},
                    GlobalLocale{"HighBytesAreLetters",
                                 [] {
                                   std::locale latin(std::locale::classic(), new HighBytesAreLetters);
                                   // Under this locale 0xC4 is a letter whose small form is 0xE4.
                                   const auto& ctype = std::use_facet<std::ctype<char>>(latin);
                                   if (!ctype.is(std::ctype_base::alpha, '\xC4') ||
                                       ctype.tolower('\xC4') != '\xE4')
                                     throw std::logic_error("test locale does not classify high bytes");
                                   return latin;
                                 }}),
    [](const testing::TestParamInfo<GlobalLocale>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reader
