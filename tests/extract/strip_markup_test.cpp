#include <gtest/gtest.h>

#include <vector>

#include "byte_helpers.h"
#include "extract/stages.h"

namespace reader {
namespace {

using testing::hex;

std::vector<std::string> linesOf(const StrippedPage& page) {
  std::vector<std::string> lines;
  for (const ByteSeq& line : page.lineBytes) lines.push_back(line.bytes());
  return lines;
}
using Lines = std::vector<std::string>;

TEST(StripMarkup, TurnsPagesIntoLines) {
  struct Case {
    std::string_view page;
    Lines lines;
  };
  const Case cases[] = {
      {"<p>One</p>\r\n<p>Two</p>", {"One", "Two"}},
      {"<div class=a>x</div><div>y</div>", {"", "x", "y"}},
      {"a<br/>b", {"a", "b"}},
      {"a<BR>b", {"a", "b"}},
      {"<h1>A</h1><h2>B</h2>", {"AB"}},
      {"x<script type=\"t\">\r\nvar a = 1;\r\n</script>y", {"xy"}},
      {"x<STYLE>\np{}\n</style>y", {"xy"}},
      {"x<ul>\n<li>a</li>\n</ul>y<ul><li>b</li></ul>z", {"xyz"}},
      {"x<!-- one\ntwo -->y", {"xy"}},
      {"<!DOCTYPE html>z", {"z"}},
      {"1 < 2\nthree > 4", {"1 4"}},  // a lone "<" takes everything up to the next ">", across lines
      {"1 < 2", {"1 < 2"}},             // with no ">" after it, it stays
      {"a&nbsp;b&#12345;c&hellip;d", {"abcd"}},
      {"AT&T; x", {"AT x"}},
      {"a\r\n\r\n\r\nb", {"a", "", "b"}},  // three CR LF: one empty line
      {"a\n\nb", {"a", "", "b"}},          // two LF are not halved
      {"a\rb", {"a", "b"}},
      {"a\tb", {"ab"}},
      {"  a   b  ", {"a b "}},
      {"a\n   b", {"a", " b"}},
      {"", {}},
      {"<p></p>", {""}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(linesOf(stripMarkup(GbkText(c.page))), c.lines) << hex(c.page);
  }
}

TEST(StripMarkup, CleanedTextIsTheLinesJoined) {
  StrippedPage page = stripMarkup(GbkText("<p>One</p>\n<p>Two</p>"));
  EXPECT_EQ(page.pageText.bytes(), "One\r\n\r\nTwo\r\n");
  EXPECT_EQ(linesOf(page), (Lines{"One", "", "Two"}));
}

TEST(StripMarkup, LineBreaksAfterALeadByteStayInMalformedText) {
  // C4 0D: the CR is taken as the second byte of a character, so it is not normalised; the final split
  // still splits at the CR LF pair that follows.
  EXPECT_EQ(linesOf(stripMarkup(GbkText("a\xC4\r\nb"))), (Lines{"a\xC4\r", "b"}));
  EXPECT_EQ(linesOf(stripMarkup(GbkText("a\xC4\tb"))), (Lines{"a\xC4\tb"}));
}

TEST(StripMarkup, HostilePagesKeepTheirText) {
  // Unclosed openings must not lose the page: each rule only searches up to its closing literal.
  std::string manyScripts;
  for (int i = 0; i < 20000; ++i) manyScripts += "<script x";
  manyScripts += "\ntail";
  StrippedPage page = stripMarkup(GbkText(manyScripts));
  EXPECT_EQ(linesOf(page).back(), "tail");
  // Openings without ">" before one closing tag at the end: the regex engine gives up on this page even
  // within its closing literal; the stage must still keep it (no match exists, so nothing changes).
  std::string unclosedBeforeClose;
  for (int i = 0; i < 5000; ++i) unclosedBeforeClose += "<script x ";
  unclosedBeforeClose += "</script>\ntail";
  const Lines kept = linesOf(stripMarkup(GbkText(unclosedBeforeClose)));
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(kept.back(), "tail");
  const std::string twoMegabytesOfLess(2 << 20, '<');
  EXPECT_EQ(stripMarkup(GbkText(twoMegabytesOfLess)).pageText.bytes().size(), twoMegabytesOfLess.size());
}

TEST(CollapseRuns, ShrinksRunsAndDropsTheLeadingOne) {
  struct Case {
    std::string_view text, expected;
  };
  const Case cases[] = {
      {"  a   b  ", "a b "}, {"    ", ""}, {"", ""}, {"a", "a"}, {"\xA1\xA1 \xA1\xA1", "\xA1\xA1 \xA1\xA1"},
      {"x\r\n  y", "x\r\n y"},
  };
  for (const Case& c : cases) EXPECT_EQ(collapseRuns(GbkText(c.text), ' ').bytes(), c.expected) << hex(c.text);
  EXPECT_EQ(collapseRuns(GbkText("aabaa"), 'a').bytes(), "ba");
}

}  // namespace
}  // namespace reader
