// The closing literal of a markup rule must not change what replaceAllMatches gives; it only stops the
// engine from searching a tail where no match can end.
#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "extract/stages.h"
#include "services/patterns.h"

namespace reader {
namespace {


GbkText bounded(const GbkText& text, const MarkupRule& rule) {
  return replaceAllMatches(text, GbkText(rule.pattern), GbkText(rule.replacement),
                           GbkText(rule.closingLiteral));
}
GbkText unbounded(const GbkText& text, const MarkupRule& rule) {
  return replaceAllMatches(text, GbkText(rule.pattern), GbkText(rule.replacement));
}

// Pages made of tag fragments, so that every rule finds matches, near-misses and unclosed starts.
std::string randomPage(std::mt19937& random) {
  static const std::vector<std::string> kFragments = {
      "<",
      ">",
      "<script",
      "</script>",
      "<SCRIPT>",
      "</Script>",
      "<style",
      "</style>",
      "<!--",
      "-->",
      "<ul>",
      "</ul>",
      "<UL class=x>",
      "<div",
      "<DIV>",
      "</p>",
      "<br/>",
      "<!DOCTYPE html",
      "&",
      ";",
      "&nbsp;",
      "&#",
      "&hellip;",
      "&middot",
      "a",
      "b c",
      "\r\n",
      "\n",
      "\xD6\xD0",
      "\xCE\xC4",
      "\xC4",
      "\xE4",
      "\x81",
      "-",
      "/",
  };
  std::uniform_int_distribution<std::size_t> pick(0, kFragments.size() - 1);
  std::uniform_int_distribution<int> length(0, 40);
  std::string page;
  for (int n = length(random); n > 0; --n) page += kFragments[pick(random)];
  return page;
}

TEST(MarkupBound, SameResultAsUnboundedSearchOnRandomPages) {
  std::mt19937 random(20151207);
  std::array<int, MarkupRules.size()> changed{};
  std::array<int, MarkupRules.size()> tailLeft{};
  for (int round = 0; round < 3000; ++round) {
    // The rules run in order on each other's output, as the markup stripping runs them.
    GbkText page(randomPage(random));
    for (std::size_t r = 0; r < MarkupRules.size(); ++r) {
      const MarkupRule& rule = MarkupRules[r];
      const GbkText expected = unbounded(page, rule);
      const GbkText actual = bounded(page, rule);
      ASSERT_EQ(actual.bytes(), expected.bytes())
          << "rule " << rule.pattern << " on \"" << page.bytes() << "\"";
      if (expected != page) ++changed[r];
      const auto last = page.view().rfind(rule.closingLiteral);
      if (last != std::string_view::npos &&
          last + std::string_view(rule.closingLiteral).size() < page.view().size())
        ++tailLeft[r];
      page = actual;
    }
  }
  // Every rule both matched and had a tail past its literal, so both halves of the bound were exercised.
  for (std::size_t r = 0; r < MarkupRules.size(); ++r) {
    EXPECT_GT(changed[r], 50) << MarkupRules[r].pattern;
    EXPECT_GT(tailLeft[r], 50) << MarkupRules[r].pattern;
  }
}

std::string repeated(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

const MarkupRule& ruleFor(std::string_view pattern) {
  for (const MarkupRule& rule : MarkupRules)
    if (pattern == rule.pattern) return rule;
  throw std::invalid_argument(std::string(pattern));
}

// Pages on which the unbounded search exhausts the engine and loses the page: `head` followed by `piece`
// many times. The page comes back as `kept` followed by the same repeats.
struct HostileCase {
  const char* name;
  const char* pattern;
  std::string head;
  std::string piece;
  std::size_t times;
  std::string kept;
};

void PrintTo(const HostileCase& c, std::ostream* out) {
  *out << c.name;
}

class MarkupBoundHostile : public testing::TestWithParam<HostileCase> {};

TEST_P(MarkupBoundHostile, KeepsThePage) {
  const HostileCase& c = GetParam();
  const std::string repeats = repeated(c.piece, c.times);
  const GbkText result = bounded(GbkText(c.head + repeats), ruleFor(c.pattern));
  ASSERT_EQ(result.bytes().size(), c.kept.size() + repeats.size());
  EXPECT_TRUE(result.bytes() == c.kept + repeats);
}

constexpr const char* kScriptRule = "<script.*?>.*?<\\/script>";
constexpr const char* kCommentRule = "<!--.*?-->";
constexpr std::size_t kTwoMegabytes = 2 * 1024 * 1024;

INSTANTIATE_TEST_SUITE_P(
    Cases, MarkupBoundHostile,
    testing::Values(HostileCase{"UnclosedScripts", kScriptRule, "", "<script type=\"text/javascript\">a",
                                12000, ""},
                    HostileCase{"UnclosedScriptsAfterAClosedOne", kScriptRule, "<script>x</SCRIPT>|",
                                "<script type=\"text/javascript\">a", 12000, "|"},
                    HostileCase{"LessThansForTags", "<.*?>", "", "<", kTwoMegabytes, ""},
                    HostileCase{"LessThansForDoctype", "<!DOCTYPE.*?>", "", "<", kTwoMegabytes, ""},
                    HostileCase{"LessThansForBreaks", "<br.*?>", "", "<", kTwoMegabytes, ""},
                    HostileCase{"LessThansForScripts", kScriptRule, "", "<", kTwoMegabytes, ""},
                    HostileCase{"UnclosedLists", "<ul.*?>.*?<\\/ul>", "", "<ul>", 100000, ""},
                    HostileCase{"UnclosedComment", kCommentRule, "<!--", "<p>text</p>\r\n", 150000, "<!--"},
                    HostileCase{"UnclosedComments", kCommentRule, "", "<!--a", 100000, ""},
                    HostileCase{"CommentsAfterAClosedOne", kCommentRule, "a<!--b-->c", "<!--a", 100000, "ac"},
                    HostileCase{"AmpersandsForEntities", "&.{1,5};|&#.{1,5};", "", "&a", 1000000, ""}),
    [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reader
